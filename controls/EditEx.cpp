#include "EditEx.h"

#include "resource.h"

LRESULT CEditEx::OnCtlColorEdit(UINT, WPARAM wParam, LPARAM, BOOL&)
{
    WTL::CDCHandle dc(reinterpret_cast<HDC>(wParam));
    dc.SetTextColor(kTextColour);
    dc.SetBkColor(kBackColour);
    // A fresh brush each time; the one before goes.
    m_background.CreateSolidBrush(kBackColour);
    return reinterpret_cast<LRESULT>(static_cast<HBRUSH>(m_background));
}

LRESULT CEditEx::OnKeyDown(UINT, WPARAM wParam, LPARAM, BOOL& bHandled)
{
    // Every Enter, repeats included, whatever Shift or Ctrl say.
    if (LOWORD(wParam) == VK_RETURN) ::SendMessageW(GetParent(), WM_COMMAND, MAKEWPARAM(IDC_SEND, 0), 1);
    bHandled = FALSE;
    return 0;
}

LRESULT CEditEx::OnChar(UINT, WPARAM wParam, LPARAM, BOOL& bHandled)
{
    // The carriage return of Enter never reaches the text.
    if (wParam != '\r') bHandled = FALSE;
    return 0;
}
