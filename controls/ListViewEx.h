// A report-style list view that paints itself over its host's background:
// two columns a row, in bold Tahoma, coloured by each item's data. Selection
// and focus are not drawn.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "BackgroundDlg.h"
#include "Controls.h"
#include "Gdi.h"
#include "OffscreenDraw.h"
#include "WindowImpl.h"

class CListViewEx : public ATL::CWindowImpl<CListViewEx, WTL::CListViewCtrlT<ATL::CWindow>>,
                    public WTL::COffscreenDrawRect<CListViewEx> {
public:
    DECLARE_WND_SUPERCLASS(nullptr, WC_LISTVIEWW)

    // Item data 1 gives the first colour, anything else the second.
    static constexpr COLORREF kMarkedColour = 0x71390A;
    static constexpr COLORREF kOtherColour = 0x0099FF;
    // The height of a painted row.
    static constexpr int kRowHeight = 15;

    // The dialog that hosts the list, asked for the background behind it.
    CBackgroundHost* m_host = nullptr;

    BEGIN_MSG_MAP(CListViewEx)
        CHAIN_MSG_MAP(WTL::COffscreenDrawRect<CListViewEx>)
    END_MSG_MAP()

    void DoPaint(WTL::CDCHandle dc);
    void DrawItem(WTL::CDCHandle dc, int item);

    static COLORREF ItemColour(LPARAM data) { return data == 1 ? kMarkedColour : kOtherColour; }
};
