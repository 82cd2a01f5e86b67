// The window that hosts painted pages in the tests, in place of the
// conversation window's part: it owns the background bitmap and shows it at
// its top-left over white.
#pragma once

#include <windows.h>

#include <cstdint>

#include "BackgroundDlg.h"
#include "GuiHarness.h"
#include "WindowImpl.h"

class BackgroundHost : public ATL::CWindowImpl<BackgroundHost> {
public:
    WTL::CBitmap background;

    BEGIN_MSG_MAP(BackgroundHost)
        MESSAGE_HANDLER(WM_ERASEBKGND, OnErase)
    END_MSG_MAP()

    LRESULT OnErase(UINT, WPARAM wParam, LPARAM, BOOL&)
    {
        WTL::CDCHandle dc(reinterpret_cast<HDC>(wParam));
        WTL::CRect client;
        GetClientRect(&client);
        dc.FillSolidRect(&client, RGB(255, 255, 255));
        SIZE size;
        if (background.GetSize(size)) {
            CCompatibleDC memory(dc);
            HGDIOBJ old = SelectObject(memory, background);
            dc.BitBlt(0, 0, size.cx, size.cy, memory, 0, 0, SRCCOPY);
            SelectObject(memory, old);
        }
        return 1;
    }

    // A pixel of the background bitmap, 0x00RRGGBB.
    uint32_t BackgroundAt(int x, int y) const
    {
        CCompatibleDC memory(nullptr);
        HGDIOBJ old = SelectObject(memory, background);
        COLORREF c = GetPixel(memory, x, y);
        SelectObject(memory, old);
        return gui::Rgb(GetRValue(c), GetGValue(c), GetBValue(c));
    }
};
