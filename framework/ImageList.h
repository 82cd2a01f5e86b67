// Image lists. CImageList wraps a handle without owning it (image lists are
// often shared between controls); CImageListManaged destroys its own.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "Window.h"

namespace WTL {

class CImageList {
public:
    HIMAGELIST m_hImageList;

    CImageList(HIMAGELIST h = nullptr) : m_hImageList(h) {}
    operator HIMAGELIST() const { return m_hImageList; }
    bool IsNull() const { return m_hImageList == nullptr; }

    HIMAGELIST Create(int cx, int cy, UINT flags, int initial, int grow)
    {
        m_hImageList = ::ImageList_Create(cx, cy, flags, initial, grow);
        return m_hImageList;
    }
    // Frames of cx pixels cut from a bitmap resource, mask colour keyed.
    HIMAGELIST CreateFromImage(UINT bitmapId, int cx, int grow, COLORREF mask, UINT type = IMAGE_BITMAP,
                               UINT flags = LR_CREATEDIBSECTION)
    {
        m_hImageList = ::ImageList_LoadImageW(ATL::GetModuleInstance(), MAKEINTRESOURCEW(bitmapId), cx, grow, mask,
                                              type, flags);
        return m_hImageList;
    }
    BOOL Destroy()
    {
        if (!m_hImageList) return FALSE;
        BOOL ok = ::ImageList_Destroy(m_hImageList);
        m_hImageList = nullptr;
        return ok;
    }
    HIMAGELIST Detach()
    {
        HIMAGELIST h = m_hImageList;
        m_hImageList = nullptr;
        return h;
    }

    int GetImageCount() const { return ::ImageList_GetImageCount(m_hImageList); }
    BOOL GetIconSize(int& cx, int& cy) const { return ::ImageList_GetIconSize(m_hImageList, &cx, &cy); }
    BOOL GetImageInfo(int index, IMAGEINFO* info) const { return ::ImageList_GetImageInfo(m_hImageList, index, info); }
    int ReplaceIcon(int index, HICON icon) { return ::ImageList_ReplaceIcon(m_hImageList, index, icon); }
    int AddIcon(HICON icon) { return ReplaceIcon(-1, icon); }
    BOOL Draw(HDC dc, int index, int x, int y, UINT style) const
    {
        return ::ImageList_Draw(m_hImageList, index, dc, x, y, style);
    }
};

class CImageListManaged : public CImageList {
public:
    CImageListManaged(HIMAGELIST h = nullptr) : CImageList(h) {}
    ~CImageListManaged() { Destroy(); }
    CImageListManaged(const CImageListManaged&) = delete;
    CImageListManaged& operator=(const CImageListManaged&) = delete;
};

}  // namespace WTL
