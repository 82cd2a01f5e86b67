#include "LoginDlg.h"

#include <memory>

#include "RegisterMidDlg.h"
#include "session/VoIPManager.h"
#include "settings/AppConfig.h"
#include "settings/LanguageTable.h"
#include "SettingsDlg.h"
#include "UserRegistry.h"
#include "WideText.h"

namespace {
const int kMaxFieldUnits = 1024;
const wchar_t kAutoLogin[] = L"AutoLogin";
const wchar_t kAutoStart[] = L"AutoStart";

const wchar_t* Flag(bool on) { return on ? L"1" : L"0"; }
}  // namespace

LRESULT CLoginDlg::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&)
{
    CenterWindow(GetParent());
    started_ = false;
    nameCombo_.Attach(GetDlgItem(IDC_NAME));
    passwordEdit_.Attach(GetDlgItem(IDC_PASSWORD));
    signInButton_.Attach(GetDlgItem(IDC_SIGN_IN));
    cancelButton_.Attach(GetDlgItem(IDC_CANCEL_SIGN_IN));
    settingsButton_.Attach(GetDlgItem(IDC_SETTINGS));
    autoSignInCheck_.Attach(GetDlgItem(IDC_AUTO_SIGN_IN));
    startWithWindowsCheck_.Attach(GetDlgItem(IDC_START_WITH_WINDOWS));
    progress_.Attach(GetDlgItem(IDC_PROGRESS));
    statusText_.Attach(GetDlgItem(IDC_STATUS));
    // No longer than the settings file keeps: a longer one would sign in
    // once and be forgotten.
    nameCombo_.LimitText(AppConfig::kMaxSecretLength);
    passwordEdit_.LimitText(AppConfig::kMaxSecretLength);
    LoadOptions();
    // A password an older run left in the file goes with the next save.
    KeepPasswordOnlyForAutoSignIn();
    SetTimer(kTimerId, 100);
    GetVoIPManager()->GetHandlerRegistry().RegisterHandler(&handler_);
    autoSignInPending_ = autoSignInCheck_.GetCheck() == BST_CHECKED;
    if (autoSignInPending_) progress_.SetPos(0);
    SetTexts();
    return TRUE;
}

void CLoginDlg::LoadOptions()
{
    const AppConfig* config = GetAppConfig();
    nameCombo_.SetWindowText(FromAnsi(config->GetUserName()).c_str());
    if (config->GetUserName().empty()) {
        // A first start: offered to start with Windows, never signed in
        // automatically.
        startWithWindowsCheck_.SetCheck(BST_CHECKED);
        autoSignInCheck_.SetCheck(BST_UNCHECKED);
        return;
    }
    startWithWindowsCheck_.SetCheck(ReadUserString(kProgramKey, kAutoStart) == L"1" ? BST_CHECKED : BST_UNCHECKED);
    if (ReadUserString(kProgramKey, kAutoLogin) == L"1") {
        autoSignInCheck_.SetCheck(BST_CHECKED);
        signInPassword_ = config->GetPassword();
        passwordEdit_.SetWindowText(FromAnsi(signInPassword_).c_str());
    } else {
        autoSignInCheck_.SetCheck(BST_UNCHECKED);
    }
}

void CLoginDlg::KeepPasswordOnlyForAutoSignIn()
{
    GetAppConfig()->SetPassword(autoSignInCheck_.GetCheck() == BST_CHECKED ? signInPassword_ : std::string());
}

void CLoginDlg::SaveOptions()
{
    // The settings file is written after the dialog has gone.
    KeepPasswordOnlyForAutoSignIn();
    WriteUserString(kProgramKey, kAutoLogin, Flag(autoSignInCheck_.GetCheck() == BST_CHECKED));
    WriteUserString(kProgramKey, kAutoStart, Flag(startWithWindowsCheck_.GetCheck() == BST_CHECKED));
    // The box is also checked without a click (on a first start): the Run
    // entry follows it whichever way it got its state.
    WriteRunValue();
}

void CLoginDlg::SaveAll()
{
    SaveOptions();
    GetAppConfig()->Save();
}

void CLoginDlg::WriteRunValue()
{
    // Not starting with Windows leaves no entry behind, not even an empty
    // one.
    if (startWithWindowsCheck_.GetCheck() != BST_CHECKED) {
        DeleteUserValue(kRunKey, kRunValue);
        return;
    }
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return;
    // Quoted, so that a folder name with a space cannot start another
    // program.
    WriteUserString(kRunKey, kRunValue, L"\"" + std::wstring(path, n) + L"\"");
}

void CLoginDlg::SetTexts()
{
    SetWindowText(LanguageTable[104]);
    signInButton_.SetWindowText(LanguageTable[104]);
    cancelButton_.SetWindowText(LanguageTable[111]);
    settingsButton_.SetWindowText(LanguageTable[108]);
    autoSignInCheck_.SetWindowText(LanguageTable[109]);
    SetDlgItemText(IDC_STATIC, LanguageTable[105]);
    SetDlgItemText(IDC_NAME_LABEL, LanguageTable[106]);
    SetDlgItemText(IDC_PASSWORD_LABEL, LanguageTable[107]);
    startWithWindowsCheck_.SetWindowText(LanguageTable[110]);
}

LRESULT CLoginDlg::OnSignIn(WORD, WORD, HWND, BOOL&)
{
    progress_.SetPos(100);
    signInButton_.EnableWindow(FALSE);
    settingsButton_.EnableWindow(FALSE);
    cancelButton_.EnableWindow(TRUE);
    std::wstring name = GetWindowTextLimited(nameCombo_, kMaxFieldUnits);
    std::wstring password = GetWindowTextLimited(passwordEdit_, kMaxFieldUnits);
    if (name.empty()) {
        modal_.Box(m_hWnd, LanguageTable[9], LanguageTable[10], MB_ICONEXCLAMATION | MB_SETFOREGROUND);
        return 0;
    }
    AppConfig* config = GetAppConfig();
    config->SetUserName(ToAnsi(name));
    signInPassword_ = ToAnsi(password);
    KeepPasswordOnlyForAutoSignIn();
    VoIPManager* manager = GetVoIPManager();
    manager->GetHandlerRegistry().RegisterHandler(&handler_);
    if (manager->Start(config->GetServerHost().c_str(), kServerPort, config->GetUserName().c_str(),
                       signInPassword_.c_str(), config->GetPort())) {
        started_ = true;
    } else {
        modal_.Box(m_hWnd, LanguageTable[11], LanguageTable[12], MB_OK);
        EndDialog(2);
    }
    return 0;
}

LRESULT CLoginDlg::OnTimer(UINT, WPARAM, LPARAM, BOOL&)
{
    if (modal_.IsOpen()) return 0;
    if (autoSignInPending_ && !started_) {
        autoSignInPending_ = false;
        SendMessage(WM_COMMAND, MAKEWPARAM(IDC_SIGN_IN, BN_CLICKED), 0);
    }
    std::unique_ptr<VoipEvent> event(handler_.PopEvent());
    if (event) HandleEvent(*event);
    return 0;
}

void CLoginDlg::HandleEvent(VoipEvent& event)
{
    VoipEventText* payload = event.Payload<VoipEventText>();
    const std::wstring text = payload ? FromAnsi(payload->text) : std::wstring();
    switch (event.GetKind()) {
    case VE_StartSucceeded:
        statusText_.SetWindowText(LanguageTable[0]);
        break;
    case VE_StartFailed:
        modal_.Box(m_hWnd, FormatWithText(LanguageTable[2], text).c_str(), LanguageTable[3], MB_OK);
        EndDialog(2);
        break;
    case VE_ConnectFailed:
        statusText_.SetWindowText(LanguageTable[4]);
        break;
    case VE_Connecting:
        statusText_.SetWindowText(LanguageTable[5]);
        break;
    case VE_Connected:
        statusText_.SetWindowText(LanguageTable[6]);
        break;
    case VE_SignInSending:
        statusText_.SetWindowText(LanguageTable[7]);
        break;
    case VE_SignInFailed:
        modal_.Box(m_hWnd, text.c_str(), LanguageTable[8], MB_ICONERROR);
        EndDialog(2);
        break;
    case VE_LoginFailed:
        modal_.Box(m_hWnd, text.c_str(), LanguageTable[1], MB_ICONEXCLAMATION | MB_SETFOREGROUND);
        CancelSignIn();
        break;
    case VE_DeviceUnknown:
        // Asked again meanwhile (after a reconnect): the enrolment that
        // succeeded since has answered it.
        if (!enrolled_) RunEnrolment();
        break;
    case VE_DeviceRegistered:
        // What came after this is asked anew.
        enrolled_ = false;
        break;
    case VE_SignedIn:
        // Kept at once: a program in the tray often ends with Windows, not
        // by Exit.
        SaveAll();
        EndDialog(1);
        break;
    default:
        break;
    }
}

void CLoginDlg::RunEnrolment()
{
    INT_PTR result = 0;
    {
        ModalGuard::Scope open(modal_);
        CRegisterMidDlg enrolment;
        result = enrolment.DoModal(m_hWnd);
    }
    // It ended on the registration's success, which this dialog's queue
    // holds too, behind every request that success answered.
    enrolled_ = result == 1;
    // Without a device name the sign-in cannot go on.
    if (result != 1) EndDialog(2);
}

void CLoginDlg::CancelSignIn()
{
    if (started_) {
        GetVoIPManager()->Stop();
        started_ = false;
        // What the stopped session queued before it ended is stale: a late
        // success must not end the dialog as signed in.
        while (VoipEvent* stale = handler_.PopEvent()) delete stale;
        enrolled_ = false;
    }
    signInButton_.EnableWindow(TRUE);
    settingsButton_.EnableWindow(TRUE);
    cancelButton_.EnableWindow(FALSE);
    statusText_.SetWindowText(L"");
    progress_.SetPos(0);
}

LRESULT CLoginDlg::OnCancel(WORD, WORD, HWND, BOOL&)
{
    CancelSignIn();
    return 0;
}

LRESULT CLoginDlg::OnSettings(WORD, WORD, HWND, BOOL&)
{
    autoSignInPending_ = false;
    progress_.SetPos(0);
    // The settings dialog saves the file.
    KeepPasswordOnlyForAutoSignIn();
    ModalGuard::Scope open(modal_);
    CSettingsDlg settings;
    settings.DoModal(m_hWnd);
    return 0;
}

LRESULT CLoginDlg::OnStartWithWindows(WORD, WORD, HWND, BOOL&)
{
    WriteRunValue();
    return 0;
}

LRESULT CLoginDlg::OnOK(WORD, WORD, HWND, BOOL&)
{
    SaveOptions();
    EndDialog(1);
    return 0;
}

LRESULT CLoginDlg::OnLanguageChanged(UINT, WPARAM, LPARAM, BOOL&)
{
    SetTexts();
    return 0;
}

LRESULT CLoginDlg::OnDestroy(UINT, WPARAM, LPARAM, BOOL&)
{
    SaveOptions();
    KillTimer(kTimerId);
    GetVoIPManager()->GetHandlerRegistry().UnregisterHandler(&handler_);
    return 0;
}

LRESULT CLoginDlg::OnEndSession(UINT, WPARAM ending, LPARAM, BOOL&)
{
    // Windows ends the process after this, without closing the dialog.
    if (ending) SaveAll();
    return 0;
}

LRESULT CLoginDlg::OnClose(UINT, WPARAM, LPARAM, BOOL&)
{
    EndDialog(2);
    return 0;
}
