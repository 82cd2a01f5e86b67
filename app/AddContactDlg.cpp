#include "AddContactDlg.h"

#include <memory>

#include "Gdi.h"
#include "session/ContactTable.h"
#include "session/VoIPManager.h"
#include "settings/LanguageTable.h"
#include "WideText.h"

namespace {
const int kMaxNameUnits = 1023;
}  // namespace

LRESULT CAddContactDlg::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&)
{
    statusText_.Attach(GetDlgItem(IDC_STATUS));
    nameEdit_.Attach(GetDlgItem(IDC_NAME));
    addButton_.Attach(GetDlgItem(IDC_ADD));
    GetVoIPManager()->GetHandlerRegistry().RegisterHandler(&handler_);
    CenterWindow(GetParent());
    SetTimer(kTimerId, 100);
    SetWaiting(false);
    SetWindowText(LanguageTable[116]);
    addButton_.SetWindowText(LanguageTable[122]);
    nameEdit_.SetFocus();
    return FALSE;
}

void CAddContactDlg::SetWaiting(bool waiting)
{
    nameEdit_.EnableWindow(!waiting);
    addButton_.EnableWindow(!waiting);
    statusText_.SetWindowText(LanguageTable[waiting ? 73 : 72]);
}

bool CAddContactDlg::IsListed(const std::string& name)
{
    ContactTable contacts;
    GetVoIPManager()->GetContacts(contacts);
    for (const auto& entry : contacts.Entries())
        if (entry.second.secondText == name) return true;
    return false;
}

LRESULT CAddContactDlg::OnAdd(WORD, WORD, HWND, BOOL&)
{
    std::string name = ToAnsi(GetWindowTextLimited(nameEdit_, kMaxNameUnits));
    if (name.empty()) {
        boxes_.Box(m_hWnd, LanguageTable[79], LanguageTable[80], MB_ICONEXCLAMATION);
        return 0;
    }
    if (IsListed(name)) {
        boxes_.Box(m_hWnd, FormatWithText(LanguageTable[140], FromAnsi(name)).c_str(), LanguageTable[76],
                   MB_ICONEXCLAMATION);
        return 0;
    }
    pendingName_ = name;
    GetVoIPManager()->AddContact(name);
    SetWaiting(true);
    return 0;
}

LRESULT CAddContactDlg::OnTimer(UINT, WPARAM, LPARAM, BOOL&)
{
    if (boxes_.IsOpen()) return 0;
    std::unique_ptr<VoipEvent> event(handler_.PopEvent());
    if (!event) return 0;
    switch (event->GetKind()) {
    case VE_SessionReset:
        boxes_.Box(m_hWnd, LanguageTable[74], LanguageTable[75], MB_ICONEXCLAMATION);
        EndDialog(2);
        break;
    case VE_AddContactFailed: {
        TextPair* refusal = event->Payload<TextPair>();
        if (refusal && !pendingName_.empty() && refusal->first == pendingName_) {
            boxes_.Box(m_hWnd, LanguageTable[138], LanguageTable[76], MB_ICONEXCLAMATION);
            SetWaiting(false);
        }
        break;
    }
    case VE_AddContactDone: {
        VoipEventText* added = event->Payload<VoipEventText>();
        if (added && !pendingName_.empty() && added->text == pendingName_) {
            boxes_.Box(m_hWnd, LanguageTable[77], LanguageTable[78], MB_OK);
            EndDialog(1);
        }
        break;
    }
    default:
        break;
    }
    return 0;
}

LRESULT CAddContactDlg::OnDestroy(UINT, WPARAM, LPARAM, BOOL&)
{
    GetVoIPManager()->GetHandlerRegistry().UnregisterHandler(&handler_);
    KillTimer(kTimerId);
    return 0;
}

LRESULT CAddContactDlg::OnClose(UINT, WPARAM, LPARAM, BOOL&)
{
    EndDialog(2);
    return 0;
}

LRESULT CAddContactDlg::OnPaint(UINT, WPARAM, LPARAM, BOOL&)
{
    WTL::CPaintDC dc(m_hWnd);
    return 0;
}
