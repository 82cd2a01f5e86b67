// The chat input's edit box: white text on dark blue, and the Enter key asks
// the parent to send (the Send button's command) instead of reaching the
// text. The parent reflects WM_CTLCOLOREDIT back to it.
#pragma once

#include <windows.h>

#include "Controls.h"
#include "Gdi.h"
#include "WindowImpl.h"

class CEditEx : public ATL::CWindowImpl<CEditEx, WTL::CEditT<ATL::CWindow>> {
public:
    static constexpr COLORREF kTextColour = 0xFFFFFF;
    static constexpr COLORREF kBackColour = 0x71390A;

    BEGIN_MSG_MAP(CEditEx)
        MESSAGE_HANDLER(OCM_CTLCOLOREDIT, OnCtlColorEdit)
        MESSAGE_HANDLER(WM_KEYDOWN, OnKeyDown)
        MESSAGE_HANDLER(WM_CHAR, OnChar)
    END_MSG_MAP()

    LRESULT OnCtlColorEdit(UINT, WPARAM wParam, LPARAM, BOOL&);
    LRESULT OnKeyDown(UINT, WPARAM wParam, LPARAM, BOOL& bHandled);
    LRESULT OnChar(UINT, WPARAM wParam, LPARAM, BOOL& bHandled);

private:
    WTL::CBrush m_background;
};
