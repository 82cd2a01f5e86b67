// The settings dialog: what it shows, what OK stores and saves, what the
// close box keeps, and the language change it reports to its owner.
#include <windows.h>

#include <gtest/gtest.h>

#include "AppMessages.h"
#include "base/FileHandle.h"
#include "DialogTestKit.h"
#include "GuiHarness.h"
#include "settings/AppConfig.h"
#include "settings/DeviceIdentity.h"
#include "settings/LanguageTable.h"
#include "SettingsDlg.h"
#include "WindowImpl.h"

using namespace dlgtest;

namespace {
HWND Settings(HWND owner = nullptr) { return FindOwnedDialog(owner); }

std::wstring ComboItem(HWND d, int id, int index)
{
    wchar_t text[600] = {};
    SendDlgItemMessageW(d, id, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text));
    return text;
}

int ComboSelection(HWND d, int id) { return static_cast<int>(SendDlgItemMessageW(d, id, CB_GETCURSEL, 0, 0)); }

void SetItemText(HWND d, int id, const wchar_t* text) { SetDlgItemTextW(d, id, text); }

std::string FileBytes(const std::wstring& path)
{
    std::string bytes(AppConfig::kFileSize + 1, '\0');
    CFileHandle file;
    uint32_t got = 0;
    if (!file.OpenExisting(path.c_str()) || !file.Read(&bytes[0], static_cast<uint32_t>(bytes.size()), &got)) got = 0;
    bytes.resize(got);
    return bytes;
}

// A step: the box over the settings dialog, kept in a screenshot.
Script::Step ShotOfBox(HWND owner, const char* name)
{
    return [owner, name] {
        HWND d = Settings(owner);
        HWND box = d ? FindOwnedDialog(d) : nullptr;
        if (!box) return false;
        EXPECT_TRUE(gui::SavePng(gui::CaptureScreen(box), name));
        return true;
    };
}

// Records the language-change notices it is sent.
class Owner : public ATL::CWindowImpl<Owner> {
public:
    std::vector<HWND> notices;
    BEGIN_MSG_MAP(Owner)
        MESSAGE_HANDLER(WM_LANGUAGE_CHANGE_NOTICE, OnLanguageChanged)
    END_MSG_MAP()
    LRESULT OnLanguageChanged(UINT, WPARAM wParam, LPARAM, BOOL&)
    {
        notices.push_back(reinterpret_cast<HWND>(wParam));
        return 0;
    }
};

struct SettingsDialog : DialogTest {
    CSettingsDlg dialog;
    std::wstring configFile = BesideExe(L"pvconf.dat");

    void SetUp() override
    {
        DialogTest::SetUp();
        AppConfig* config = GetAppConfig();
        config->SetServerHost("relay.example");
        config->SetBackupServerHost("backup.example");
        config->SetPort(12345);
        config->SetLanguageIndex(0);
        config->SetSoundsEnabled(1);
        DeleteFileW(configFile.c_str());
    }
    void TearDown() override
    {
        DeleteFileW(configFile.c_str());
        DialogTest::TearDown();
    }
};
}  // namespace

TEST_F(SettingsDialog, ShowsTheConfigurationAndTheDeviceId)
{
    GetAppConfig()->SetSoundsEnabled(0);
    GetAppConfig()->SetLanguageIndex(3);
    std::vector<std::wstring> labels, languages, sounds;
    std::wstring server, backup, deviceId, backupLabel;
    int language = -1, sound = -1;
    Script script({[&] {
        HWND d = Settings();
        if (!d) return false;
        for (int id : {IDC_DEVICE_ID_LABEL, IDC_SERVER_LABEL, IDC_LANGUAGE_LABEL, IDC_SOUNDS_LABEL})
            labels.push_back(ItemText(d, id));
        backupLabel = ItemText(d, IDC_BACKUP_SERVER_LABEL);
        for (int i = 0; i < 5; ++i) languages.push_back(ComboItem(d, IDC_LANGUAGE, i));
        for (int i = 0; i < 2; ++i) sounds.push_back(ComboItem(d, IDC_SOUNDS, i));
        language = ComboSelection(d, IDC_LANGUAGE);
        sound = ComboSelection(d, IDC_SOUNDS);
        server = ItemText(d, IDC_NAME);
        backup = ItemText(d, IDC_PASSWORD);
        deviceId = ItemText(d, IDC_DEVICE_ID);
        EXPECT_TRUE(gui::SavePng(gui::CaptureScreen(d), "settings"));
        PostMessageW(d, WM_CLOSE, 0, 0);
        return true;
    }});
    script.Start();
    EXPECT_EQ(2, dialog.DoModal(nullptr));
    EXPECT_EQ((std::vector<std::wstring>{LanguageTable[112], LanguageTable[113], LanguageTable[114],
                                         LanguageTable[124]}),
              labels);
    EXPECT_EQ(L"Backup Server:", backupLabel);
    // In the order of the language indexes, though the box sorts.
    EXPECT_EQ((std::vector<std::wstring>{LanguageTable[100], LanguageTable[101], LanguageTable[102],
                                         LanguageTable[103], LanguageTable[128]}),
              languages);
    EXPECT_EQ((std::vector<std::wstring>{LanguageTable[125], LanguageTable[126]}), sounds);
    EXPECT_EQ(3, language);
    EXPECT_EQ(1, sound);
    EXPECT_EQ(L"relay.example", server);
    EXPECT_EQ(L"backup.example", backup);
    std::string id;
    ASSERT_TRUE(GetMachineId(id));
    EXPECT_EQ(std::wstring(id.begin(), id.end()), deviceId);
    EXPECT_TRUE(dialog.serverChanged == false);
}

TEST_F(SettingsDialog, OkStoresTheFieldsResetsTheMediaPortAndSaves)
{
    struct Case {
        const wchar_t* server;
        const wchar_t* backup;
        bool changed;
    } cases[] = {{nullptr, nullptr, false},
                 {L"Relay.Example", nullptr, true},
                 {L"relay2.example", L"", true},
                 {nullptr, L"other.example", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.server ? std::string(c.server, c.server + wcslen(c.server)) : "unchanged");
        SetUp();
        CSettingsDlg settings;
        Script script({[&] {
            HWND d = Settings();
            if (!d) return false;
            if (c.server) SetItemText(d, IDC_NAME, c.server);
            if (c.backup) SetItemText(d, IDC_PASSWORD, c.backup);
            Click(d, IDOK);
            return true;
        }});
        script.Start();
        EXPECT_EQ(1, settings.DoModal(nullptr));
        EXPECT_EQ(c.changed, settings.serverChanged);
        AppConfig* config = GetAppConfig();
        const std::wstring server = c.server ? c.server : L"relay.example";
        const std::wstring backup = c.backup ? c.backup : L"backup.example";
        EXPECT_EQ(std::string(server.begin(), server.end()), config->GetServerHost());
        EXPECT_EQ(std::string(backup.begin(), backup.end()), config->GetBackupServerHost());
        EXPECT_EQ(11500, config->GetPort());
        EXPECT_EQ(0, config->GetLanguageIndex());
        EXPECT_EQ(1, config->GetSoundsEnabled());
        // Saved: what a fresh load reads back.
        config->SetServerHost("");
        config->SetPort(1);
        ASSERT_TRUE(config->Load());
        EXPECT_EQ(std::string(server.begin(), server.end()), config->GetServerHost());
        EXPECT_EQ(11500, config->GetPort());
    }
}

TEST_F(SettingsDialog, TheCloseBoxKeepsEverythingAsItWas)
{
    Script script({[&] {
        HWND d = Settings();
        if (!d) return false;
        SetItemText(d, IDC_NAME, L"typed.example");
        SetItemText(d, IDC_PASSWORD, L"typed-backup.example");
        SendDlgItemMessageW(d, IDC_LANGUAGE, CB_SETCURSEL, 2, 0);
        SendDlgItemMessageW(d, IDC_SOUNDS, CB_SETCURSEL, 1, 0);
        // Escape does not close it; the close box does.
        PostMessageW(d, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        return true;
    },
                   Pause(200), Do([&] { PostMessageW(Settings(), WM_CLOSE, 0, 0); })});
    script.Start();
    EXPECT_EQ(2, dialog.DoModal(nullptr));
    EXPECT_TRUE(script.Finished());
    const AppConfig* config = GetAppConfig();
    EXPECT_EQ("relay.example", config->GetServerHost());
    EXPECT_EQ("backup.example", config->GetBackupServerHost());
    EXPECT_EQ(12345, config->GetPort());
    EXPECT_EQ(0, config->GetLanguageIndex());
    EXPECT_EQ(1, config->GetSoundsEnabled());
    EXPECT_FALSE(dialog.serverChanged);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(configFile.c_str()));
}

TEST_F(SettingsDialog, AnotherLanguageIsLoadedAndTheOwnerIsTold)
{
    Owner owner;
    RECT r = {50, 50, 350, 250};
    ASSERT_NE(nullptr, owner.Create(nullptr, &r, L"owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE));
    const std::wstring english = LanguageTable[104];
    HWND shown = nullptr;
    struct Case {
        int chosen;
        bool told;
    } cases[] = {{0, false}, {1, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.chosen);
        owner.notices.clear();
        CSettingsDlg settings;
        Script script({[&] {
            HWND d = Settings(owner);
            if (!d) return false;
            shown = d;
            SendDlgItemMessageW(d, IDC_LANGUAGE, CB_SETCURSEL, c.chosen, 0);
            SendDlgItemMessageW(d, IDC_SOUNDS, CB_SETCURSEL, 1, 0);
            Click(d, IDOK);
            return true;
        }});
        script.Start();
        EXPECT_EQ(1, settings.DoModal(owner));
        EXPECT_EQ(c.chosen, GetAppConfig()->GetLanguageIndex());
        EXPECT_EQ(0, GetAppConfig()->GetSoundsEnabled());
        EXPECT_EQ(c.told ? std::vector<HWND>{shown} : std::vector<HWND>{}, owner.notices);
        EXPECT_EQ(c.told, english != LanguageTable[104]);
    }
    owner.DestroyWindow();
}

TEST_F(SettingsDialog, ATypedChoiceCountsOnlyWhenItNamesAnItem)
{
    struct Case {
        const wchar_t* language;
        const wchar_t* sound;
        int languageIndex;
        int soundsEnabled;
    } cases[] = {{L"Portuguese", L"Off", 2, 0}, {L"Klingon", L"Loud", 0, 1}, {L"", L"", 0, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.language, c.language + wcslen(c.language)));
        SetUp();
        CSettingsDlg settings;
        Script script({[&] {
            HWND d = Settings();
            if (!d) return false;
            SetItemText(d, IDC_LANGUAGE, c.language);
            SetItemText(d, IDC_SOUNDS, c.sound);
            Click(d, IDOK);
            return true;
        }});
        script.Start();
        EXPECT_EQ(1, settings.DoModal(nullptr));
        EXPECT_EQ(c.languageIndex, GetAppConfig()->GetLanguageIndex());
        EXPECT_EQ(c.soundsEnabled, GetAppConfig()->GetSoundsEnabled());
        LoadLanguage(0);
    }
}

TEST_F(SettingsDialog, ALanguageThatCannotBeLoadedIsRefusedAndTheOldOneKept)
{
    // This installation has lost its Romanian file.
    const std::wstring file = BesideExe(L"dat\\ro.dat"), away = file + L".away";
    ASSERT_TRUE(MoveFileW(file.c_str(), away.c_str()));
    struct PutBack {
        std::wstring from, to;
        ~PutBack() { MoveFileW(from.c_str(), to.c_str()); }
    } putBack{away, file};
    Owner owner;
    RECT r = {50, 50, 350, 250};
    ASSERT_NE(nullptr, owner.Create(nullptr, &r, L"owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE));
    const std::wstring caption = LanguageTable[104];
    ShownBox box;
    Script script({[&] {
                       HWND d = Settings(owner);
                       if (!d) return false;
                       SendDlgItemMessageW(d, IDC_LANGUAGE, CB_SETCURSEL, 4, 0);
                       SendDlgItemMessageW(d, IDC_SOUNDS, CB_SETCURSEL, 1, 0);
                       Click(d, IDOK);
                       return true;
                   },
                   ShotOfBox(owner, "settings_language_refused"),
                   AnswerBox([&] { return Settings(owner); }, &box)});
    script.Start();
    EXPECT_EQ(1, dialog.DoModal(owner));
    EXPECT_TRUE(script.Finished());
    EXPECT_EQ(LanguageTable[151], box.text);
    EXPECT_EQ(LanguageTable[12], box.caption);
    EXPECT_EQ(BoxIcon(MB_ICONEXCLAMATION), box.icon);
    EXPECT_TRUE(owner.notices.empty());
    EXPECT_EQ(caption, LanguageTable[104]);
    // The other settings are taken and saved with the old language.
    EXPECT_EQ(0, GetAppConfig()->GetLanguageIndex());
    EXPECT_EQ(0, GetAppConfig()->GetSoundsEnabled());
    AppConfig saved;
    ASSERT_TRUE(saved.Load());
    EXPECT_EQ(0, saved.GetLanguageIndex());
    EXPECT_EQ(0, saved.GetSoundsEnabled());
    owner.DestroyWindow();
}

TEST_F(SettingsDialog, ASaveThatFailsIsReportedAndLeavesTheOldFile)
{
    ASSERT_TRUE(GetAppConfig()->Save());
    const std::string before = FileBytes(configFile);
    ASSERT_EQ(AppConfig::kFileSize, before.size());
    // A backup reads the file, letting others write it but not replace it.
    HANDLE held = CreateFileW(configFile.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    ShownBox box;
    Script script({[&] {
                       HWND d = Settings();
                       if (!d) return false;
                       SetItemText(d, IDC_NAME, L"other.example");
                       Click(d, IDOK);
                       return true;
                   },
                   ShotOfBox(nullptr, "settings_not_saved"), AnswerBox([] { return Settings(); }, &box)});
    script.Start();
    EXPECT_EQ(1, dialog.DoModal(nullptr));
    CloseHandle(held);
    EXPECT_TRUE(script.Finished());
    EXPECT_EQ(LanguageTable[150], box.text);
    EXPECT_EQ(LanguageTable[12], box.caption);
    EXPECT_EQ(BoxIcon(MB_ICONERROR), box.icon);
    EXPECT_EQ(before, FileBytes(configFile));
    // They hold for this run.
    EXPECT_EQ("other.example", GetAppConfig()->GetServerHost());
}
