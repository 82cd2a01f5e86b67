// GDI holders. The plain names (CDC, CBitmap, CFont, CPen, CBrush, CRgn)
// own their handle and release it when they go; the ...Handle names only
// wrap a handle that belongs to someone else. Device contexts obtained for a
// window (paint, client, window DCs) are given back by their holders.
#pragma once

#include <windows.h>

#include "Geometry.h"
#include "Window.h"

namespace WTL {

namespace detail {
template <bool t_bManaged>
struct CopyPolicy {};
template <>
struct CopyPolicy<true> {
    CopyPolicy() = default;
    CopyPolicy(const CopyPolicy&) = delete;
    CopyPolicy& operator=(const CopyPolicy&) = delete;
};
}  // namespace detail

template <typename H, bool t_bManaged>
class CGdiObjectT : private detail::CopyPolicy<t_bManaged> {
public:
    H m_hObj;

    CGdiObjectT(H h = nullptr) : m_hObj(h) {}
    ~CGdiObjectT()
    {
        if (t_bManaged) DeleteObject();
    }
    operator H() const { return m_hObj; }
    bool IsNull() const { return m_hObj == nullptr; }

    // A holder that owns its handle releases the old one first.
    void Attach(H h)
    {
        if (t_bManaged && m_hObj && m_hObj != h) ::DeleteObject(m_hObj);
        m_hObj = h;
    }
    H Detach()
    {
        H h = m_hObj;
        m_hObj = nullptr;
        return h;
    }
    BOOL DeleteObject()
    {
        if (!m_hObj) return FALSE;
        BOOL ok = ::DeleteObject(m_hObj);
        m_hObj = nullptr;
        return ok;
    }
};

template <bool t_bManaged>
class CBitmapT : public CGdiObjectT<HBITMAP, t_bManaged> {
public:
    CBitmapT(HBITMAP h = nullptr) : CGdiObjectT<HBITMAP, t_bManaged>(h) {}

    HBITMAP LoadBitmap(UINT id);
    HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height)
    {
        this->Attach(::CreateCompatibleBitmap(dc, width, height));
        return this->m_hObj;
    }
    int GetBitmap(BITMAP* info) const { return ::GetObjectW(this->m_hObj, sizeof(BITMAP), info); }
    // The bitmap's size in pixels; false for no bitmap.
    bool GetSize(SIZE& size) const
    {
        BITMAP info = {};
        if (!this->m_hObj || !GetBitmap(&info)) return false;
        size.cx = info.bmWidth;
        size.cy = info.bmHeight;
        return true;
    }
};
typedef CBitmapT<true> CBitmap;
typedef CBitmapT<false> CBitmapHandle;

HFONT CreatePointFontFromLogFont(const LOGFONTW& pointFont, HDC dc);

template <bool t_bManaged>
class CFontT : public CGdiObjectT<HFONT, t_bManaged> {
public:
    CFontT(HFONT h = nullptr) : CGdiObjectT<HFONT, t_bManaged>(h) {}

    HFONT CreateFontIndirect(const LOGFONTW* font)
    {
        this->Attach(::CreateFontIndirectW(font));
        return this->m_hObj;
    }
    // lfHeight is in tenths of a point; it is converted to the logical
    // height of that size on dc (the screen when none is given).
    HFONT CreatePointFontIndirect(const LOGFONTW* font, HDC dc = nullptr)
    {
        this->Attach(CreatePointFontFromLogFont(*font, dc));
        return this->m_hObj;
    }
    HFONT CreatePointFont(int pointTenths, LPCWSTR face, HDC dc = nullptr, bool bold = false, bool italic = false)
    {
        LOGFONTW font = {};
        font.lfHeight = pointTenths;
        font.lfWeight = bold ? FW_BOLD : FW_NORMAL;
        font.lfItalic = italic ? TRUE : FALSE;
        font.lfCharSet = DEFAULT_CHARSET;
        lstrcpynW(font.lfFaceName, face ? face : L"", LF_FACESIZE);
        return CreatePointFontIndirect(&font, dc);
    }
    int GetLogFont(LOGFONTW* font) const { return ::GetObjectW(this->m_hObj, sizeof(LOGFONTW), font); }
};
typedef CFontT<true> CFont;
typedef CFontT<false> CFontHandle;

template <bool t_bManaged>
class CPenT : public CGdiObjectT<HPEN, t_bManaged> {
public:
    CPenT(HPEN h = nullptr) : CGdiObjectT<HPEN, t_bManaged>(h) {}
    HPEN CreatePen(int style, int width, COLORREF color)
    {
        this->Attach(::CreatePen(style, width, color));
        return this->m_hObj;
    }
};
typedef CPenT<true> CPen;
typedef CPenT<false> CPenHandle;

template <bool t_bManaged>
class CBrushT : public CGdiObjectT<HBRUSH, t_bManaged> {
public:
    CBrushT(HBRUSH h = nullptr) : CGdiObjectT<HBRUSH, t_bManaged>(h) {}
    HBRUSH CreateSolidBrush(COLORREF color)
    {
        this->Attach(::CreateSolidBrush(color));
        return this->m_hObj;
    }
};
typedef CBrushT<true> CBrush;
typedef CBrushT<false> CBrushHandle;

template <bool t_bManaged>
class CRgnT : public CGdiObjectT<HRGN, t_bManaged> {
public:
    CRgnT(HRGN h = nullptr) : CGdiObjectT<HRGN, t_bManaged>(h) {}
    HRGN CreateRectRgn(int l, int t, int r, int b)
    {
        this->Attach(::CreateRectRgn(l, t, r, b));
        return this->m_hObj;
    }
    HRGN CreateRectRgnIndirect(const RECT* r) { return CreateRectRgn(r->left, r->top, r->right, r->bottom); }
    int CombineRgn(HRGN a, HRGN b, int mode) { return ::CombineRgn(this->m_hObj, a, b, mode); }
    // Replaces this region by a new copy of source.
    int CopyRgn(HRGN source)
    {
        CreateRectRgn(0, 0, 0, 0);
        return this->m_hObj ? ::CombineRgn(this->m_hObj, source, nullptr, RGN_COPY) : ERROR;
    }
};
typedef CRgnT<true> CRgn;
typedef CRgnT<false> CRgnHandle;

template <bool t_bManaged>
class CDCT : private detail::CopyPolicy<t_bManaged> {
public:
    HDC m_hDC;

    CDCT(HDC dc = nullptr) : m_hDC(dc) {}
    ~CDCT()
    {
        if (t_bManaged && m_hDC) ::DeleteDC(m_hDC);
    }
    operator HDC() const { return m_hDC; }
    bool IsNull() const { return m_hDC == nullptr; }

    void Attach(HDC dc)
    {
        if (t_bManaged && m_hDC && m_hDC != dc) ::DeleteDC(m_hDC);
        m_hDC = dc;
    }
    HDC Detach()
    {
        HDC dc = m_hDC;
        m_hDC = nullptr;
        return dc;
    }
    HDC CreateCompatibleDC(HDC dc = nullptr)
    {
        Attach(::CreateCompatibleDC(dc));
        return m_hDC;
    }

    HBITMAP SelectBitmap(HBITMAP b) const { return static_cast<HBITMAP>(::SelectObject(m_hDC, b)); }
    HFONT SelectFont(HFONT f) const { return static_cast<HFONT>(::SelectObject(m_hDC, f)); }
    HPEN SelectPen(HPEN p) const { return static_cast<HPEN>(::SelectObject(m_hDC, p)); }
    HBRUSH SelectBrush(HBRUSH b) const { return static_cast<HBRUSH>(::SelectObject(m_hDC, b)); }
    HGDIOBJ SelectStockObject(int index) const { return ::SelectObject(m_hDC, ::GetStockObject(index)); }
    HBITMAP GetCurrentBitmap() const { return static_cast<HBITMAP>(::GetCurrentObject(m_hDC, OBJ_BITMAP)); }
    HFONT GetCurrentFont() const { return static_cast<HFONT>(::GetCurrentObject(m_hDC, OBJ_FONT)); }

    int SaveDC() const { return ::SaveDC(m_hDC); }
    BOOL RestoreDC(int saved) const { return ::RestoreDC(m_hDC, saved); }
    int GetDeviceCaps(int index) const { return ::GetDeviceCaps(m_hDC, index); }

    COLORREF SetTextColor(COLORREF c) const { return ::SetTextColor(m_hDC, c); }
    COLORREF GetTextColor() const { return ::GetTextColor(m_hDC); }
    COLORREF SetBkColor(COLORREF c) const { return ::SetBkColor(m_hDC, c); }
    int SetBkMode(int mode) const { return ::SetBkMode(m_hDC, mode); }
    int SetStretchBltMode(int mode) const { return ::SetStretchBltMode(m_hDC, mode); }

    BOOL SetViewportOrg(int x, int y, POINT* old = nullptr) const { return ::SetViewportOrgEx(m_hDC, x, y, old); }
    BOOL GetViewportOrg(POINT* p) const { return ::GetViewportOrgEx(m_hDC, p); }
    int GetClipBox(RECT* r) const { return ::GetClipBox(m_hDC, r); }
    int IntersectClipRect(const RECT* r) const { return ::IntersectClipRect(m_hDC, r->left, r->top, r->right, r->bottom); }
    int SelectClipRgn(HRGN rgn) const { return ::SelectClipRgn(m_hDC, rgn); }

    BOOL BitBlt(int x, int y, int w, int h, HDC src, int xSrc, int ySrc, DWORD rop) const
    {
        return ::BitBlt(m_hDC, x, y, w, h, src, xSrc, ySrc, rop);
    }
    BOOL StretchBlt(int x, int y, int w, int h, HDC src, int xSrc, int ySrc, int wSrc, int hSrc, DWORD rop) const
    {
        return ::StretchBlt(m_hDC, x, y, w, h, src, xSrc, ySrc, wSrc, hSrc, rop);
    }
    BOOL TransparentBlt(int x, int y, int w, int h, HDC src, int xSrc, int ySrc, int wSrc, int hSrc,
                        UINT transparent) const
    {
        return ::TransparentBlt(m_hDC, x, y, w, h, src, xSrc, ySrc, wSrc, hSrc, transparent);
    }
    BOOL AlphaBlend(int x, int y, int w, int h, HDC src, int xSrc, int ySrc, int wSrc, int hSrc,
                    BLENDFUNCTION bf) const
    {
        return ::AlphaBlend(m_hDC, x, y, w, h, src, xSrc, ySrc, wSrc, hSrc, bf);
    }
    BOOL GradientFill(TRIVERTEX* vertices, ULONG count, void* mesh, ULONG meshCount, ULONG mode) const
    {
        return ::GradientFill(m_hDC, vertices, count, mesh, meshCount, mode);
    }

    int FillRect(const RECT* r, HBRUSH brush) const { return ::FillRect(m_hDC, r, brush); }
    // Fills with one colour without a brush of its own (ExtTextOut's opaque
    // background); the background colour is put back.
    void FillSolidRect(const RECT* r, COLORREF color) const
    {
        COLORREF old = ::SetBkColor(m_hDC, color);
        ::ExtTextOutW(m_hDC, 0, 0, ETO_OPAQUE, r, nullptr, 0, nullptr);
        ::SetBkColor(m_hDC, old);
    }
    int FrameRect(const RECT* r, HBRUSH brush) const { return ::FrameRect(m_hDC, r, brush); }
    BOOL Rectangle(int l, int t, int r, int b) const { return ::Rectangle(m_hDC, l, t, r, b); }
    BOOL RoundRect(const RECT* r, POINT corner) const
    {
        return ::RoundRect(m_hDC, r->left, r->top, r->right, r->bottom, corner.x, corner.y);
    }
    BOOL DrawEdge(RECT* r, UINT edge, UINT flags) const { return ::DrawEdge(m_hDC, r, edge, flags); }
    BOOL DrawFocusRect(const RECT* r) const { return ::DrawFocusRect(m_hDC, r); }
    BOOL MoveTo(int x, int y, POINT* old = nullptr) const { return ::MoveToEx(m_hDC, x, y, old); }
    BOOL LineTo(int x, int y) const { return ::LineTo(m_hDC, x, y); }
    COLORREF GetPixel(int x, int y) const { return ::GetPixel(m_hDC, x, y); }
    COLORREF SetPixel(int x, int y, COLORREF c) const { return ::SetPixel(m_hDC, x, y, c); }
    BOOL FloodFill(int x, int y, COLORREF border) const { return ::FloodFill(m_hDC, x, y, border); }
    BOOL DrawIconEx(int x, int y, HICON icon, int w, int h, UINT flags = DI_NORMAL) const
    {
        return ::DrawIconEx(m_hDC, x, y, icon, w, h, 0, nullptr, flags);
    }

    int DrawText(LPCWSTR text, int count, RECT* r, UINT format) const
    {
        return ::DrawTextW(m_hDC, text, count, r, format);
    }
    // dx, when given, is the distance from each character to the next.
    BOOL ExtTextOut(int x, int y, UINT options, const RECT* r, LPCWSTR text, UINT count,
                    const INT* dx = nullptr) const
    {
        return ::ExtTextOutW(m_hDC, x, y, options, r, text, count, dx);
    }
    BOOL GetTextExtent(LPCWSTR text, int count, SIZE* size) const
    {
        return ::GetTextExtentPoint32W(m_hDC, text, count, size);
    }
    BOOL GetTextMetrics(TEXTMETRICW* metrics) const { return ::GetTextMetricsW(m_hDC, metrics); }
};
typedef CDCT<true> CDC;
typedef CDCT<false> CDCHandle;

// BeginPaint/EndPaint for a window's WM_PAINT.
class CPaintDC : public CDCHandle {
public:
    HWND m_hWnd;
    PAINTSTRUCT m_ps;

    explicit CPaintDC(HWND hWnd) : m_hWnd(hWnd) { m_hDC = ::BeginPaint(hWnd, &m_ps); }
    ~CPaintDC() { ::EndPaint(m_hWnd, &m_ps); }
    CPaintDC(const CPaintDC&) = delete;
    CPaintDC& operator=(const CPaintDC&) = delete;
};

class CClientDC : public CDCHandle {
public:
    HWND m_hWnd;

    explicit CClientDC(HWND hWnd) : m_hWnd(hWnd) { m_hDC = ::GetDC(hWnd); }
    ~CClientDC() { ::ReleaseDC(m_hWnd, m_hDC); }
    CClientDC(const CClientDC&) = delete;
    CClientDC& operator=(const CClientDC&) = delete;
};

class CWindowDC : public CDCHandle {
public:
    HWND m_hWnd;

    explicit CWindowDC(HWND hWnd) : m_hWnd(hWnd) { m_hDC = ::GetWindowDC(hWnd); }
    ~CWindowDC() { ::ReleaseDC(m_hWnd, m_hDC); }
    CWindowDC(const CWindowDC&) = delete;
    CWindowDC& operator=(const CWindowDC&) = delete;
};

// An off-screen copy of one area of a target DC: drawing goes to a memory
// bitmap, in the target's coordinates, and lands on the target in one copy
// when the holder goes.
class CMemoryDC : public CDC {
public:
    CMemoryDC(HDC target, const RECT& area);
    ~CMemoryDC();

private:
    HDC target_;
    CRect area_;
    CBitmap bitmap_;
    HBITMAP oldBitmap_;
};

template <bool t_bManaged>
HBITMAP CBitmapT<t_bManaged>::LoadBitmap(UINT id)
{
    this->Attach(::LoadBitmapW(ATL::GetModuleInstance(), MAKEINTRESOURCEW(id)));
    return this->m_hObj;
}

}  // namespace WTL
