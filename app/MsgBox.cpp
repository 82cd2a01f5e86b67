#include "MsgBox.h"

#include "Gdi.h"

LRESULT CMsgBox::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&)
{
    textControl_.Attach(GetDlgItem(IDC_MESSAGE_TEXT));
    textControl_.SetWindowText(text_ ? text_ : L"");
    return TRUE;
}

LRESULT CMsgBox::OnClose(UINT, WPARAM, LPARAM, BOOL&)
{
    EndDialog(2);
    return 0;
}

LRESULT CMsgBox::OnPaint(UINT, WPARAM, LPARAM, BOOL&)
{
    WTL::CPaintDC dc(m_hWnd);
    return 0;
}

LRESULT CMsgBox::OnOK(WORD, WORD, HWND, BOOL&)
{
    EndDialog(1);
    return 0;
}
