#include "SettingsDlg.h"

#include "AppMessages.h"
#include "settings/AppConfig.h"
#include "settings/DeviceIdentity.h"
#include "settings/LanguageTable.h"
#include "WideText.h"

namespace {
const int kLanguageTexts[kLanguageCount] = {100, 101, 102, 103, 128};
const uint16_t kDefaultMediaPort = 11500;
const int kMaxHostUnits = 1024;
const int kErrorCaptionText = 12;
const int kNotSavedText = 150;
const int kLanguageNotLoadedText = 151;

// The item the combo box shows. The boxes are editable: a typed text picks
// the item it names, and one that names none picks nothing (-1), so that
// only real items are ever stored.
int ChosenItem(const WTL::CComboBox& combo)
{
    std::wstring text = combo.GetWindowText();
    return static_cast<int>(
        combo.SendMessage(CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(text.c_str())));
}
}  // namespace

LRESULT CSettingsDlg::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&)
{
    serverChanged = false;
    CenterWindow(GetParent());
    serverEdit_.Attach(GetDlgItem(IDC_NAME));
    backupServerEdit_.Attach(GetDlgItem(IDC_PASSWORD));
    deviceIdEdit_.Attach(GetDlgItem(IDC_DEVICE_ID));
    languageCombo_.Attach(GetDlgItem(IDC_LANGUAGE));
    soundCombo_.Attach(GetDlgItem(IDC_SOUNDS));
    FillTexts();
    AppConfig* config = GetAppConfig();
    serverEdit_.SetWindowText(FromAnsi(config->GetServerHost()).c_str());
    backupServerEdit_.SetWindowText(FromAnsi(config->GetBackupServerHost()).c_str());
    ShowDeviceId();
    return FALSE;
}

void CSettingsDlg::FillTexts()
{
    SetDlgItemText(IDC_DEVICE_ID_LABEL, LanguageTable[112]);
    SetDlgItemText(IDC_SERVER_LABEL, LanguageTable[113]);
    SetDlgItemText(IDC_LANGUAGE_LABEL, LanguageTable[114]);
    SetDlgItemText(IDC_SOUNDS_LABEL, LanguageTable[124]);
    for (uint32_t i = 0; i < kLanguageCount; ++i) languageCombo_.InsertString(static_cast<int>(i), LanguageTable[kLanguageTexts[i]]);
    languageCombo_.SetCurSel(GetAppConfig()->GetLanguageIndex());
    soundCombo_.InsertString(0, LanguageTable[125]);
    soundCombo_.InsertString(1, LanguageTable[126]);
    soundCombo_.SetCurSel(GetAppConfig()->GetSoundsEnabled() ? 0 : 1);
}

void CSettingsDlg::ShowDeviceId()
{
    deviceIdEdit_.SetWindowText(L"...");
    std::string id;
    if (GetMachineId(id)) deviceIdEdit_.SetWindowText(FromAnsi(id).c_str());
}

LRESULT CSettingsDlg::OnCancel(UINT, WPARAM, LPARAM, BOOL&)
{
    EndDialog(2);
    return 0;
}

LRESULT CSettingsDlg::OnOK(WORD, WORD id, HWND, BOOL&)
{
    AppConfig* config = GetAppConfig();
    std::string server = ToAnsi(GetWindowTextLimited(serverEdit_, kMaxHostUnits));
    std::string backup = ToAnsi(GetWindowTextLimited(backupServerEdit_, kMaxHostUnits));
    if (server != config->GetServerHost()) serverChanged = true;
    config->SetServerHost(server);
    config->SetBackupServerHost(backup);
    config->SetPort(kDefaultMediaPort);

    int language = ChosenItem(languageCombo_);
    if (language >= 0 && language != config->GetLanguageIndex()) {
        // A language whose file cannot be loaded is not kept: saved, it
        // would be the language of every later start.
        if (LoadLanguage(static_cast<uint32_t>(language))) {
            config->SetLanguageIndex(language);
            ::SendMessageW(GetParent(), WM_LANGUAGE_CHANGE_NOTICE, reinterpret_cast<WPARAM>(m_hWnd), 0);
        } else {
            MessageBox(LanguageTable[kLanguageNotLoadedText], LanguageTable[kErrorCaptionText], MB_ICONEXCLAMATION);
        }
    }
    int sound = ChosenItem(soundCombo_);
    if (sound >= 0) config->SetSoundsEnabled(sound == 0 ? 1 : 0);
    if (!config->SaveChosen())
        MessageBox(LanguageTable[kNotSavedText], LanguageTable[kErrorCaptionText], MB_ICONERROR);
    EndDialog(id);
    return 0;
}
