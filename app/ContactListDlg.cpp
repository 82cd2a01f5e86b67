#include "ContactListDlg.h"

#include <cwchar>

CContactListDlg::CContactListDlg() : m_contactList(nullptr), m_lastSelection(-1), m_host(nullptr)
{
    m_markReachable.LoadBitmap(IDB_MARK_REACHABLE);
    m_markUnreachable.LoadBitmap(IDB_MARK_UNREACHABLE);
}

bool CContactListDlg::HasList() const { return m_contactList && m_contactList->IsWindow(); }

void CContactListDlg::CreateButtons()
{
    if (!HasList()) return;
    const struct {
        CBmpBtnItem* item;
        int id;
        UINT bitmap;
    } buttons[] = {{&m_callButton, IDC_CALL_BUTTON, IDB_BUTTON_CALL},
                   {&m_chatButton, IDC_CHAT_BUTTON, IDB_BUTTON_CHAT},
                   {&m_sendFileButton, IDC_SEND_FILE_BUTTON, IDB_BUTTON_FILE}};
    for (const auto& b : buttons) {
        HWND button = ::CreateWindowExW(0, L"Button", L"", WS_CHILD, 0, 0, 0, 0, *m_contactList,
                                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(b.id)),
                                        ATL::GetModuleInstance(), nullptr);
        if (button) b.item->Subclass(button, b.bitmap);
    }
}

LRESULT CContactListDlg::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&)
{
    m_alphaTrackbar.Attach(GetDlgItem(IDC_ALPHA));
    m_alphaTrackbar.SendMessage(TBM_SETRANGE, TRUE, MAKELPARAM(0, 255));
    m_alphaLabel.Attach(GetDlgItem(IDC_ALPHA_LABEL));
    return TRUE;
}

LRESULT CContactListDlg::OnSize(UINT, WPARAM, LPARAM, BOOL&)
{
    WTL::CRect r;
    GetClientRect(&r);
    r.DeflateRect(kMargin, kMargin);
    r.bottom -= kBannerBand;
    if (HasList()) m_contactList->MoveWindow(&r, TRUE);
    if (m_alphaTrackbar.IsWindow()) {
        WTL::CRect bar;
        m_alphaTrackbar.GetWindowRect(&bar);
        const int width = bar.Width();
        m_alphaTrackbar.MoveWindow(0, r.bottom - 20, width, 15, TRUE);
        if (m_alphaLabel.IsWindow()) m_alphaLabel.MoveWindow(width + 30, r.bottom - 20, 30, 15, TRUE);
    }
    RequestRepaint();
    return 0;
}

LRESULT CContactListDlg::OnDestroy(UINT, WPARAM, LPARAM, BOOL& bHandled)
{
    m_capturedBackground.DeleteObject();
    bHandled = FALSE;
    return 0;
}

// The selected row is drawn taller: the list repaints only when it really
// moved.
LRESULT CContactListDlg::OnSelectionChange(WORD, WORD, HWND, BOOL&)
{
    if (!HasList()) return 0;
    const int selection = m_contactList->GetCurSel();
    if (selection == m_lastSelection) return 0;
    m_contactList->Invalidate(TRUE);
    m_lastSelection = selection;
    return 0;
}

LRESULT CContactListDlg::OnAlphaScroll(UINT, WPARAM, LPARAM, BOOL&)
{
    const int alpha = static_cast<int>(m_alphaTrackbar.SendMessage(TBM_GETPOS));
    m_veilAlpha = alpha;
    Invalidate(TRUE);
    if (HasList()) m_contactList->Invalidate(TRUE);
    m_alphaTrackbar.Invalidate(TRUE);
    wchar_t text[16];
    std::swprintf(text, 16, L"%d", alpha);
    m_alphaLabel.SetWindowText(text);
    return 0;
}
