// A user at the sign-in dialog, for the integration tests: it runs the
// program's sign-in dialog (and, once signed in, the add-contact dialog)
// against a real server and works them as a user would: it types the
// account, presses Sign In, names the device when asked, answers every box,
// and prints what it sees, one line each.
//
// Options: --host H (the primary server; the dialog connects to port 20015)
//          --udp-port N --user U (typed only when given) --password P
//          --device NAME --add NAME (repeatable)
// Output:  SHOWN <name field>, STATUS <text>, ENROL <name>, BOX <caption>|<text>,
//          RESULT <sign-in result>, ADD <name> <result>,
//          REG AutoLogin=<v> AutoStart=<v> Run=<v>, BYE
#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "AddContactDlg.h"
#include "DialogAccess.h"
#include "LoginDlg.h"
#include "session/VoIPManager.h"
#include "settings/AppConfig.h"
#include "settings/LanguageTable.h"
#include "UserRegistry.h"
#include "Utf8.h"
#include "WideText.h"

using namespace dlgtest;

namespace {
struct Options {
    std::string host;
    int udpPort = 0;
    std::wstring user;
    std::wstring password;
    std::wstring device;
    std::vector<std::wstring> contacts;
};

void Say(const std::string& line)
{
    printf("%s\n", line.c_str());
    fflush(stdout);
}

// What the user does on every look at the screen, 30 ms apart.
class User {
public:
    explicit User(const Options& options) : options_(options) {}

    void Watch()
    {
        timer_ = SetTimer(nullptr, 0, 30, Look);
        current_ = this;
        started_ = GetTickCount();
    }
    void Stop() { KillTimer(nullptr, timer_); }
    // The next dialog run gets the add-contact user for this name.
    void Adding(const std::wstring& name)
    {
        adding_ = name;
        addPressed_ = false;
        refused_ = false;
    }

private:
    static void CALLBACK Look(HWND, UINT, UINT_PTR, DWORD) { current_->LookOnce(); }

    void LookOnce()
    {
        if (GetTickCount() - started_ > 90000) {
            Say("TIMEOUT");
            for (HWND d : ThreadDialogs()) PostMessageW(d, WM_CLOSE, 0, 0);
            return;
        }
        for (HWND d : ThreadDialogs()) {
            if (GetDlgItem(d, IDC_SIGN_IN))
                AtSignIn(d);
            else if (GetDlgItem(d, IDC_REGISTER))
                AtEnrolment(d);
            else if (GetDlgItem(d, IDC_ADD) && GetDlgItem(d, IDC_STATUS))
                AtAddContact(d);
            else
                AtBox(d);
        }
    }

    void AtBox(HWND box)
    {
        if (!answered_.insert(box).second) return;
        ShownBox shown = ReadBox(box);
        Say("BOX " + ToUtf8(shown.caption) + "|" + ToUtf8(shown.text));
        // Refusals leave their dialog open for another try; this user gives up.
        if (shown.caption == LanguageTable[1] || shown.text == LanguageTable[138]) refused_ = true;
        PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    }

    void AtSignIn(HWND d)
    {
        std::wstring status = ItemText(d, IDC_STATUS);
        if (status != status_) {
            status_ = status;
            Say("STATUS " + ToUtf8(status));
        }
        if (FindOwnedDialog(d)) return;
        if (!signInPressed_) {
            signInPressed_ = true;
            Say("SHOWN " + ToUtf8(ItemText(d, IDC_NAME)));
            if (!options_.user.empty()) {
                SetDlgItemTextW(d, IDC_NAME, L"");
                TypeText(GetDlgItem(d, IDC_NAME), options_.user);
            }
            SetDlgItemTextW(d, IDC_PASSWORD, L"");
            TypeText(GetDlgItem(d, IDC_PASSWORD), options_.password);
            Click(d, IDC_SIGN_IN);
        } else if (refused_ && ItemEnabled(d, IDC_SIGN_IN)) {
            refused_ = false;
            PostMessageW(d, WM_CLOSE, 0, 0);
        }
    }

    void AtEnrolment(HWND d)
    {
        if (enrolled_ || FindOwnedDialog(d)) return;
        enrolled_ = true;
        Say("ENROL " + ToUtf8(options_.device));
        TypeText(GetDlgItem(d, IDC_NAME), options_.device);
        Click(d, IDC_REGISTER);
    }

    void AtAddContact(HWND d)
    {
        if (FindOwnedDialog(d)) return;
        if (!addPressed_) {
            addPressed_ = true;
            TypeText(GetDlgItem(d, IDC_NAME), adding_);
            Click(d, IDC_ADD);
        } else if (refused_ && ItemEnabled(d, IDC_ADD)) {
            refused_ = false;
            PostMessageW(d, WM_CLOSE, 0, 0);
        }
    }

    static User* current_;
    const Options& options_;
    UINT_PTR timer_ = 0;
    DWORD started_ = 0;
    std::set<HWND> answered_;
    bool signInPressed_ = false;
    bool enrolled_ = false;
    bool refused_ = false;
    std::wstring status_;
    std::wstring adding_;
    bool addPressed_ = false;
};
User* User::current_ = nullptr;

// A registry text of any length; empty when missing.
std::wstring Value(const wchar_t* key, const wchar_t* name)
{
    wchar_t buffer[1024];
    DWORD size = sizeof(buffer);
    if (RegGetValueW(HKEY_CURRENT_USER, key, name, RRF_RT_REG_SZ, nullptr, buffer, &size) != ERROR_SUCCESS)
        return std::wstring();
    return buffer;
}

bool ReadOptions(int argc, wchar_t** argv, Options& o)
{
    for (int i = 1; i + 1 < argc; i += 2) {
        std::wstring name = argv[i], value = argv[i + 1];
        if (name == L"--host") o.host = ToAnsi(value);
        else if (name == L"--udp-port") o.udpPort = _wtoi(value.c_str());
        else if (name == L"--user") o.user = value;
        else if (name == L"--password") o.password = value;
        else if (name == L"--device") o.device = value;
        else if (name == L"--add") o.contacts.push_back(value);
        else return false;
    }
    return !o.host.empty();
}
}  // namespace

int wmain(int argc, wchar_t** argv)
{
    Options options;
    if (!ReadOptions(argc, argv, options)) {
        Say("usage: dialog_driver --host H [--udp-port N] [--user U] --password P [--device NAME] [--add NAME]...");
        return 2;
    }
    AppConfig* config = GetAppConfig();
    if (!config->Load()) config->SetDefaults();
    config->SetServerHost(options.host);
    config->SetBackupServerHost("");
    if (options.udpPort) config->SetPort(static_cast<uint16_t>(options.udpPort));
    if (!LoadLanguage(static_cast<uint32_t>(config->GetLanguageIndex())) && !LoadLanguage(0)) {
        Say("no language file");
        return 1;
    }
    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 2), &wsa);
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);

    User user(options);
    user.Watch();
    INT_PTR result;
    {
        CLoginDlg signIn;
        result = signIn.DoModal(nullptr);
    }
    Say("RESULT " + std::to_string(result));
    if (result == 1) {
        for (const std::wstring& name : options.contacts) {
            user.Adding(name);
            CAddContactDlg add;
            Say("ADD " + ToUtf8(name) + " " + std::to_string(add.DoModal(nullptr)));
        }
    }
    user.Stop();
    Say("REG AutoLogin=" + ToUtf8(Value(kProgramKey, L"AutoLogin")) + " AutoStart=" +
        ToUtf8(Value(kProgramKey, L"AutoStart")) + " Run=" + ToUtf8(Value(kRunKey, kRunValue)));
    GetVoIPManager()->Stop();
    WSACleanup();
    config->Save();
    Say("BYE");
    return 0;
}
