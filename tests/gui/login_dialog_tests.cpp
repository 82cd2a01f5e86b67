// The sign-in dialog, run modally and driven from inside its loop: its
// texts and start options, the core it starts and stops, the events that
// drive its status line, its boxes and results, the enrolment it opens.
#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "DialogTestKit.h"
#include "GuiHarness.h"
#include "LoginDlg.h"
#include "session/VoIPManager.h"
#include "settings/AppConfig.h"
#include "settings/LanguageTable.h"
#include "UserRegistry.h"

using namespace dlgtest;

namespace {
const wchar_t kProgram[] = L"SoftWare\\Quorvel\\Pelvane";
const wchar_t kRun[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

HWND SignIn() { return FindOwnedDialog(nullptr); }

// The executable's path as the Run value holds it.
std::wstring RunCommand() { return L"\"" + BesideExe(L"dialog_tests.exe") + L"\""; }

std::string Narrow(const std::wstring& w) { return std::string(w.begin(), w.end()); }

struct SignInDialog : DialogTest {
    CLoginDlg dialog;

    void SaveOptions(const wchar_t* autoLogin, const wchar_t* autoStart)
    {
        WriteString(kProgram, L"AutoLogin", autoLogin);
        WriteString(kProgram, L"AutoStart", autoStart);
    }
    void SavedUser(const char* name, const char* password)
    {
        GetAppConfig()->SetUserName(name);
        GetAppConfig()->SetPassword(password);
    }
    // The status line shows a text of the started core.
    static bool CoreReports() { return ItemText(SignIn(), IDC_STATUS) == LanguageTable[4]; }
    // A step: Sign In pressed for alice once the dialog is there.
    static bool SignInAsAlice()
    {
        if (!SignIn()) return false;
        TypeText(GetDlgItem(SignIn(), IDC_NAME), L"alice@pelvane.test");
        Click(SignIn(), IDC_SIGN_IN);
        return true;
    }
};

HHOOK g_pressSettings = nullptr;

LRESULT CALLBACK PressSettingsWhenShown(int code, WPARAM wParam, LPARAM lParam)
{
    const CWPSTRUCT* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && call->message == WM_SHOWWINDOW && call->wParam && !GetWindow(call->hwnd, GW_OWNER) &&
        GetDlgItem(call->hwnd, IDC_SIGN_IN))
        PostMessageW(call->hwnd, WM_COMMAND, MAKEWPARAM(IDC_SETTINGS, BN_CLICKED), 0);
    return CallNextHookEx(g_pressSettings, code, wParam, lParam);
}

// Marks the dialog's slots so that a text taken from the template instead
// of the table shows.
void MarkSlots()
{
    for (int id = 104; id <= 111; ++id) swprintf(LanguageTable[id], kLanguageSlotUnits, L"<%d>", id);
}
}  // namespace

TEST_F(SignInDialog, AFirstStartOffersStartWithWindowsAndSignsNothingIn)
{
    MarkSlots();
    std::wstring caption, status;
    bool autoChecked = true, startChecked = false, cancelEnabled = true, stillIdle = false;
    std::vector<std::pair<int, std::wstring>> texts;
    Script script({[&] {
                       HWND d = SignIn();
                       if (!d) return false;
                       wchar_t text[64];
                       GetWindowTextW(d, text, 64);
                       caption = text;
                       for (int id : {IDC_SIGN_IN, IDC_CANCEL_SIGN_IN, IDC_SETTINGS, IDC_AUTO_SIGN_IN, IDC_STATIC,
                                      IDC_NAME_LABEL, IDC_PASSWORD_LABEL, IDC_START_WITH_WINDOWS})
                           texts.push_back({id, ItemText(d, id)});
                       autoChecked = ItemChecked(d, IDC_AUTO_SIGN_IN);
                       startChecked = ItemChecked(d, IDC_START_WITH_WINDOWS);
                       cancelEnabled = ItemEnabled(d, IDC_CANCEL_SIGN_IN);
                       return true;
                   },
                   Pause(500), Do([&] {
                       HWND d = SignIn();
                       stillIdle = ItemEnabled(d, IDC_SIGN_IN) && !ItemEnabled(d, IDC_CANCEL_SIGN_IN);
                       status = ItemText(d, IDC_STATUS);
                       PostMessageW(d, WM_CLOSE, 0, 0);
                   })});
    script.Start();
    EXPECT_EQ(2, dialog.DoModal(nullptr));
    EXPECT_TRUE(script.Finished());
    EXPECT_EQ(L"<104>", caption);
    std::vector<std::pair<int, std::wstring>> expected = {
        {IDC_SIGN_IN, L"<104>"},   {IDC_CANCEL_SIGN_IN, L"<111>"}, {IDC_SETTINGS, L"<108>"},
        {IDC_AUTO_SIGN_IN, L"<109>"}, {IDC_STATIC, L"<105>"},      {IDC_NAME_LABEL, L"<106>"},
        {IDC_PASSWORD_LABEL, L"<107>"}, {IDC_START_WITH_WINDOWS, L"<110>"}};
    EXPECT_EQ(expected, texts);
    EXPECT_FALSE(autoChecked);
    EXPECT_TRUE(startChecked);
    EXPECT_FALSE(cancelEnabled);
    EXPECT_TRUE(stillIdle);
    EXPECT_EQ(L"", status);
    // The options as they were shown, and the Run entry that goes with the
    // checked box.
    EXPECT_EQ(L"0", ReadString(kProgram, L"AutoLogin"));
    EXPECT_EQ(L"1", ReadString(kProgram, L"AutoStart"));
    EXPECT_EQ(RunCommand(), ReadString(kRun, L"Pelvane"));
}

TEST_F(SignInDialog, SavedOptionsAreShownAndAnAutomaticSignInClicksOnce)
{
    struct Case {
        const wchar_t* autoLogin;
        const wchar_t* autoStart;
        bool signsIn;
    } cases[] = {{L"1", L"0", true}, {L"0", L"1", false}, {L"", L"", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.autoLogin) + "/" + Narrow(c.autoStart));
        SavedUser("alice@pelvane.test", "demo");
        SaveOptions(c.autoLogin, c.autoStart);
        CLoginDlg login;
        std::wstring name, password;
        bool autoChecked = false, startChecked = false, started = false, startedAgain = true;
        Script script({[&] {
                           HWND d = SignIn();
                           if (!d) return false;
                           name = ItemText(d, IDC_NAME);
                           password = ItemText(d, IDC_PASSWORD);
                           autoChecked = ItemChecked(d, IDC_AUTO_SIGN_IN);
                           startChecked = ItemChecked(d, IDC_START_WITH_WINDOWS);
                           return true;
                       },
                       Pause(600), Do([&] {
                           started = ItemEnabled(SignIn(), IDC_CANCEL_SIGN_IN);
                           if (started) Click(SignIn(), IDC_CANCEL_SIGN_IN);
                       }),
                       [&] { return ItemEnabled(SignIn(), IDC_SIGN_IN); }, Pause(600), Do([&] {
                           startedAgain = ItemEnabled(SignIn(), IDC_CANCEL_SIGN_IN);
                           PostMessageW(SignIn(), WM_CLOSE, 0, 0);
                       })});
        script.Start();
        EXPECT_EQ(2, login.DoModal(nullptr));
        EXPECT_TRUE(script.Finished());
        EXPECT_EQ(L"alice@pelvane.test", name);
        EXPECT_EQ(c.signsIn ? L"demo" : L"", password);
        EXPECT_EQ(c.signsIn, autoChecked);
        EXPECT_EQ(c.autoStart == std::wstring(L"1"), startChecked);
        EXPECT_EQ(c.signsIn, started);
        EXPECT_FALSE(startedAgain);
        GetVoIPManager()->Stop();
    }
}

TEST_F(SignInDialog, SettingsBeforeTheFirstTickCancelsTheAutomaticSignIn)
{
    SavedUser("alice@pelvane.test", "demo");
    SaveOptions(L"1", L"1");
    // Settings is pressed as soon as the dialog shows: a posted command comes
    // ahead of any tick of its timer.
    g_pressSettings = SetWindowsHookExW(WH_CALLWNDPROC, PressSettingsWhenShown, nullptr, GetCurrentThreadId());
    ASSERT_NE(nullptr, g_pressSettings);
    bool idleUnderSettings = false, idleAfter = false;
    Script script({[&] { return SignIn() && FindOwnedDialog(SignIn()); }, Pause(400), Do([&] {
                       idleUnderSettings = ItemEnabled(SignIn(), IDC_SIGN_IN);
                       PostMessageW(FindOwnedDialog(SignIn()), WM_CLOSE, 0, 0);
                   }),
                   [&] { return !FindOwnedDialog(SignIn()); }, Pause(500), Do([&] {
                       HWND d = SignIn();
                       idleAfter = ItemEnabled(d, IDC_SIGN_IN) && !ItemEnabled(d, IDC_CANCEL_SIGN_IN) &&
                                   ItemText(d, IDC_STATUS).empty();
                       PostMessageW(d, WM_CLOSE, 0, 0);
                   })});
    script.Start();
    EXPECT_EQ(2, dialog.DoModal(nullptr));
    UnhookWindowsHookEx(g_pressSettings);
    EXPECT_TRUE(script.Finished());
    EXPECT_TRUE(idleUnderSettings);
    EXPECT_TRUE(idleAfter);
}

TEST_F(SignInDialog, AnEmptyAddressIsRefusedAndTheButtonsWaitForCancel)
{
    EventProbe probe;
    ShownBox box;
    bool signInAfterBox = true, settingsAfterBox = true, cancelAfterBox = false;
    bool settingsAfterCancel = false, cancelAfterCancel = true;
    Script script({[&] {
                       if (!SignIn()) return false;
                       TypeText(GetDlgItem(SignIn(), IDC_PASSWORD), L"demo");
                       Click(SignIn(), IDC_SIGN_IN);
                       return true;
                   },
                   AnswerBox(SignIn, &box), [&] { return !FindOwnedDialog(SignIn()); }, Do([&] {
                       HWND d = SignIn();
                       signInAfterBox = ItemEnabled(d, IDC_SIGN_IN);
                       settingsAfterBox = ItemEnabled(d, IDC_SETTINGS);
                       cancelAfterBox = ItemEnabled(d, IDC_CANCEL_SIGN_IN);
                       Click(d, IDC_CANCEL_SIGN_IN);
                   }),
                   [&] { return ItemEnabled(SignIn(), IDC_SIGN_IN); }, Pause(1500), Do([&] {
                       HWND d = SignIn();
                       settingsAfterCancel = ItemEnabled(d, IDC_SETTINGS);
                       cancelAfterCancel = ItemEnabled(d, IDC_CANCEL_SIGN_IN);
                       PostMessageW(d, WM_CLOSE, 0, 0);
                   })});
    script.Start();
    EXPECT_EQ(2, dialog.DoModal(nullptr));
    EXPECT_TRUE(script.Finished());
    EXPECT_EQ(LanguageTable[9], box.text);
    EXPECT_EQ(LanguageTable[10], box.caption);
    EXPECT_EQ(BoxIcon(MB_ICONEXCLAMATION), box.icon);
    EXPECT_FALSE(signInAfterBox);
    EXPECT_FALSE(settingsAfterBox);
    EXPECT_TRUE(cancelAfterBox);
    EXPECT_TRUE(settingsAfterCancel);
    EXPECT_FALSE(cancelAfterCancel);
    // Nothing was started: no core reported anything.
    EXPECT_TRUE(probe.Kinds().empty());
    EXPECT_EQ("", GetAppConfig()->GetUserName());
}

TEST_F(SignInDialog, AnAccountIsNeverLongerThanTheSettingsFileKeeps)
{
    const std::wstring typed(AppConfig::kMaxSecretLength + 3, L'x');
    size_t nameShown = 0, passwordShown = 0;
    Script script({[&] {
                       if (!SignIn()) return false;
                       TypeText(GetDlgItem(SignIn(), IDC_NAME), typed);
                       TypeText(GetDlgItem(SignIn(), IDC_PASSWORD), typed);
                       // Kept, for signing in automatically.
                       CheckDlgButton(SignIn(), IDC_AUTO_SIGN_IN, BST_CHECKED);
                       nameShown = ItemText(SignIn(), IDC_NAME).size();
                       passwordShown = ItemText(SignIn(), IDC_PASSWORD).size();
                       Click(SignIn(), IDC_SIGN_IN);
                       return true;
                   },
                   CoreReports, Do([&] { Click(SignIn(), IDC_CANCEL_SIGN_IN); }),
                   [&] { return ItemEnabled(SignIn(), IDC_SIGN_IN); },
                   Do([&] { PostMessageW(SignIn(), WM_CLOSE, 0, 0); })});
    script.Start();
    EXPECT_EQ(2, dialog.DoModal(nullptr));
    EXPECT_TRUE(script.Finished());
    EXPECT_EQ(AppConfig::kMaxSecretLength, nameShown);
    EXPECT_EQ(AppConfig::kMaxSecretLength, passwordShown);
    // What was signed in with survives the settings file.
    std::vector<unsigned char> file(AppConfig::kFileSize);
    GetAppConfig()->Format(file.data());
    AppConfig reloaded;
    ASSERT_TRUE(reloaded.Parse(file.data(), AppConfig::kFileSize));
    EXPECT_EQ(std::string(AppConfig::kMaxSecretLength, 'x'), reloaded.GetUserName());
    EXPECT_EQ(std::string(AppConfig::kMaxSecretLength, 'x'), reloaded.GetPassword());
}

TEST_F(SignInDialog, SignInStartsTheCoreWithTheTypedAccountAndCancelStopsItForGood)
{
    std::wstring statusAfterCancel = L"?";
    bool cancelEnabled = false, settingsEnabled = true;
    std::unique_ptr<EventProbe> probe;
    Script script({[&] {
                       if (!SignIn()) return false;
                       TypeText(GetDlgItem(SignIn(), IDC_NAME), L"alice@pelvane.test");
                       TypeText(GetDlgItem(SignIn(), IDC_PASSWORD), L"demo");
                       Click(SignIn(), IDC_SIGN_IN);
                       return true;
                   },
                   CoreReports, Do([&] {
                       HWND d = SignIn();
                       cancelEnabled = ItemEnabled(d, IDC_CANCEL_SIGN_IN);
                       settingsEnabled = ItemEnabled(d, IDC_SETTINGS);
                       EXPECT_TRUE(gui::SavePng(gui::CaptureScreen(d), "sign_in_connecting"));
                       // A success the session queued just before it was stopped is
                       // not taken for one.
                       Post(VE_SignedIn);
                       SendMessageW(d, WM_COMMAND, MAKEWPARAM(IDC_CANCEL_SIGN_IN, BN_CLICKED), 0);
                   }),
                   [&] { return ItemEnabled(SignIn(), IDC_SIGN_IN); },
                   // Registered after the stop: a core still running would reach it.
                   Do([&] { probe.reset(new EventProbe); }), Pause(2500), Do([&] {
                       statusAfterCancel = ItemText(SignIn(), IDC_STATUS);
                       PostMessageW(SignIn(), WM_CLOSE, 0, 0);
                   })});
    script.Start();
    EXPECT_EQ(2, dialog.DoModal(nullptr));
    EXPECT_TRUE(script.Finished());
    EXPECT_EQ("alice@pelvane.test", GetAppConfig()->GetUserName());
    EXPECT_EQ("", GetAppConfig()->GetPassword()) << "not kept without automatic sign-in";
    EXPECT_TRUE(cancelEnabled);
    EXPECT_FALSE(settingsEnabled);
    EXPECT_EQ(L"", statusAfterCancel);
    ASSERT_TRUE(probe);
    EXPECT_TRUE(probe->Kinds().empty());
}

TEST_F(SignInDialog, EventsSetTheStatusLineOnePerTick)
{
    struct Case {
        VoipEventKind kind;
        int text;  // -1: the line stays as it was
    } cases[] = {{VE_StartSucceeded, 0}, {VE_ContactsChanged, -1}, {VE_ConnectFailed, 4}, {VE_Connecting, 5},
                 {VE_DeviceRegistered, -1}, {VE_Connected, 6}, {VE_SignInSending, 7}, {VE_SessionReset, -1}};
    std::vector<std::wstring> shown;
    Script script({[&] {
        HWND d = SignIn();
        if (!d) return false;
        // Two events at a time; each tick takes one.
        for (size_t i = 0; i + 1 < sizeof(cases) / sizeof(cases[0]); i += 2) {
            Post(cases[i].kind);
            Post(cases[i + 1].kind);
            for (int tick = 0; tick < 2; ++tick) {
                SendMessageW(d, WM_TIMER, CLoginDlg::kTimerId, 0);
                shown.push_back(ItemText(d, IDC_STATUS));
            }
        }
        PostMessageW(d, WM_CLOSE, 0, 0);
        return true;
    }});
    script.Start();
    EXPECT_EQ(2, dialog.DoModal(nullptr));
    std::vector<std::wstring> expected;
    std::wstring line;
    for (const Case& c : cases) {
        if (c.text >= 0) line = LanguageTable[c.text];
        expected.push_back(line);
    }
    EXPECT_EQ(expected, shown);
}

TEST_F(SignInDialog, ARefusedLoginStopsTheCoreAndASecondSignInStartsItAnew)
{
    ShownBox box;
    bool idle = false;
    std::wstring statusAfterRefusal = L"?";
    std::unique_ptr<EventProbe> probe;
    std::vector<int> afterRefusal;
    bool restarted = false;
    Script script({SignInAsAlice, CoreReports, Do([&] { Post(VE_LoginFailed, "Wrong e-mail address or password"); }),
                   AnswerBox(SignIn, &box), [&] { return ItemEnabled(SignIn(), IDC_SIGN_IN); }, Do([&] {
                       HWND d = SignIn();
                       idle = ItemEnabled(d, IDC_SETTINGS) && !ItemEnabled(d, IDC_CANCEL_SIGN_IN);
                       probe.reset(new EventProbe);
                   }),
                   Pause(2500), Do([&] {
                       statusAfterRefusal = ItemText(SignIn(), IDC_STATUS);
                       afterRefusal = probe->Kinds();
                       Click(SignIn(), IDC_SIGN_IN);
                   }),
                   CoreReports, Do([&] {
                       restarted = ItemEnabled(SignIn(), IDC_CANCEL_SIGN_IN);
                       PostMessageW(SignIn(), WM_CLOSE, 0, 0);
                   })});
    script.Start();
    EXPECT_EQ(2, dialog.DoModal(nullptr));
    EXPECT_TRUE(script.Finished());
    EXPECT_EQ(L"Wrong e-mail address or password", box.text);
    EXPECT_EQ(LanguageTable[1], box.caption);
    EXPECT_EQ(BoxIcon(MB_ICONEXCLAMATION), box.icon);
    EXPECT_TRUE(idle);
    EXPECT_EQ(L"", statusAfterRefusal);
    EXPECT_TRUE(afterRefusal.empty());
    EXPECT_TRUE(restarted);
}

TEST_F(SignInDialog, EventsWaitWhileARefusalIsShown)
{
    ShownBox box;
    size_t openWithRefusal = 0;
    bool idle = false;
    Script script({SignInAsAlice, CoreReports, Do([&] { Post(VE_LoginFailed, "Wrong e-mail address or password"); }),
                   // A success the refused session queued comes while the refusal is shown.
                   [&] { return FindOwnedDialog(SignIn()) != nullptr; }, Do([] { Post(VE_SignedIn); }),
                   CountOpenAfter(SignIn, 400, &openWithRefusal), AnswerBox(SignIn, &box),
                   [&] { return ItemEnabled(SignIn(), IDC_SIGN_IN); }, Pause(400), Do([&] {
                       HWND d = SignIn();
                       idle = ItemEnabled(d, IDC_SETTINGS) && !ItemEnabled(d, IDC_CANCEL_SIGN_IN);
                       PostMessageW(d, WM_CLOSE, 0, 0);
                   })});
    script.Start();
    // Not signed in: the refusal stopped the session, and what it had
    // queued went with it.
    EXPECT_EQ(2, dialog.DoModal(nullptr));
    EXPECT_TRUE(script.Finished());
    EXPECT_EQ(1u, openWithRefusal);
    EXPECT_EQ(L"Wrong e-mail address or password", box.text);
    EXPECT_TRUE(idle);
}

TEST_F(SignInDialog, FailuresOfTheCoreAreShownAndEndTheDialogWithTwo)
{
    const std::string reason = "The voice port could not be opened.";
    std::wstring wideReason(reason.begin(), reason.end());
    wchar_t started[512];
    swprintf(started, 512, LanguageTable[2], wideReason.c_str());
    struct Case {
        VoipEventKind kind;
        std::wstring text;
        std::wstring caption;
        UINT icon;
    } cases[] = {{VE_StartFailed, started, LanguageTable[3], 0},
                 {VE_SignInFailed, wideReason, LanguageTable[8], MB_ICONERROR}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        CLoginDlg login;
        ShownBox box;
        Script script({[&] {
                           if (!SignIn()) return false;
                           Post(c.kind, reason);
                           return true;
                       },
                       AnswerBox(SignIn, &box)});
        script.Start();
        EXPECT_EQ(2, login.DoModal(nullptr));
        EXPECT_TRUE(script.Finished());
        EXPECT_EQ(c.text, box.text);
        EXPECT_EQ(c.caption, box.caption);
        EXPECT_EQ(BoxIcon(c.icon), box.icon);
    }
}

TEST_F(SignInDialog, ASignedInCoreEndsTheDialogWithOne)
{
    Script script({[&] {
        if (!SignIn()) return false;
        Post(VE_SignedIn);
        return true;
    }});
    script.Start();
    EXPECT_EQ(1, dialog.DoModal(nullptr));
}

TEST_F(SignInDialog, ACoreThatDoesNotStartIsReportedAndEndsWithTwo)
{
    // Already running: the dialog's start is refused.
    ASSERT_TRUE(GetVoIPManager()->Start("", CLoginDlg::kServerPort, "x", "y", GetAppConfig()->GetPort()));
    ShownBox box;
    Script script({SignInAsAlice, AnswerBox(SignIn, &box)});
    script.Start();
    EXPECT_EQ(2, dialog.DoModal(nullptr));
    EXPECT_TRUE(script.Finished());
    EXPECT_EQ(LanguageTable[11], box.text);
    EXPECT_EQ(LanguageTable[12], box.caption);
    EXPECT_EQ(nullptr, box.icon);
}

TEST_F(SignInDialog, AnUnknownDeviceOpensOneEnrolmentDialog)
{
    struct Case {
        bool registered;
        int result;
    } cases[] = {{false, 2}, {true, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.registered);
        CLoginDlg login;
        size_t enrolments = 0;
        ShownBox box;
        HWND enrolment = nullptr;
        std::vector<Script::Step> steps = {[&] {
                                               if (!SignIn()) return false;
                                               Post(VE_DeviceUnknown);
                                               return true;
                                           },
                                           [&] { return (enrolment = FindOwnedDialog(SignIn())) != nullptr; },
                                           // Asked again (after a reconnect): the open dialog answers.
                                           Do([&] { Post(VE_DeviceUnknown); }), Pause(500), Do([&] {
                                               enrolments = OwnedDialogs(SignIn()).size();
                                               if (c.registered)
                                                   Post(VE_DeviceRegistered);
                                               else
                                                   PostMessageW(enrolment, WM_CLOSE, 0, 0);
                                           })};
        if (c.registered)
            steps.insert(steps.end(), {AnswerBox([&] { return enrolment; }, &box),
                                       [&] { return !IsWindow(enrolment); }, Do([&] { Post(VE_SignedIn); })});
        Script script(steps);
        script.Start();
        EXPECT_EQ(c.result, login.DoModal(nullptr));
        EXPECT_TRUE(script.Finished());
        EXPECT_EQ(1u, enrolments);
        if (c.registered) {
            EXPECT_EQ(LanguageTable[43], box.text);
        }
    }
}

TEST_F(SignInDialog, ALanguageChosenInTheSettingsRenamesEveryText)
{
    const std::wstring englishCaption = LanguageTable[104];
    std::wstring caption;
    std::vector<std::wstring> texts;
    Script script({[&] {
                       if (!SignIn()) return false;
                       EXPECT_TRUE(gui::SavePng(gui::CaptureScreen(SignIn()), "sign_in"));
                       Click(SignIn(), IDC_SETTINGS);
                       return true;
                   },
                   [&] { return FindOwnedDialog(SignIn()) != nullptr; }, Do([&] {
                       HWND settings = FindOwnedDialog(SignIn());
                       SendDlgItemMessageW(settings, IDC_LANGUAGE, CB_SETCURSEL, 1, 0);
                       Click(settings, IDOK);
                   }),
                   [&] { return !FindOwnedDialog(SignIn()); }, Do([&] {
                       HWND d = SignIn();
                       wchar_t text[128];
                       GetWindowTextW(d, text, 128);
                       caption = text;
                       for (int id : {IDC_SIGN_IN, IDC_CANCEL_SIGN_IN, IDC_SETTINGS, IDC_AUTO_SIGN_IN, IDC_STATIC,
                                      IDC_NAME_LABEL, IDC_PASSWORD_LABEL, IDC_START_WITH_WINDOWS})
                           texts.push_back(ItemText(d, id));
                       EXPECT_TRUE(gui::SavePng(gui::CaptureScreen(d), "sign_in_spanish"));
                       PostMessageW(d, WM_CLOSE, 0, 0);
                   })});
    script.Start();
    EXPECT_EQ(2, dialog.DoModal(nullptr));
    EXPECT_TRUE(script.Finished());
    EXPECT_EQ(1, GetAppConfig()->GetLanguageIndex());
    EXPECT_NE(englishCaption, caption);
    EXPECT_EQ(LanguageTable[104], caption);
    std::vector<std::wstring> expected;
    for (int id : {104, 111, 108, 109, 105, 106, 107, 110}) expected.push_back(LanguageTable[id]);
    EXPECT_EQ(expected, texts);
}

TEST_F(SignInDialog, StartWithWindowsFollowsItsBoxAndOkSavesTheOptions)
{
    SavedUser("alice@pelvane.test", "demo");
    SaveOptions(L"0", L"0");
    // An entry an earlier installation left goes when the dialog closes
    // with the box off.
    WriteString(kRun, L"Pelvane", L"\"C:\\Old\\Pelvane.exe\"");
    {
        CLoginDlg closed;
        Script script({[&] {
            if (!SignIn()) return false;
            PostMessageW(SignIn(), WM_CLOSE, 0, 0);
            return true;
        }});
        script.Start();
        EXPECT_EQ(2, closed.DoModal(nullptr));
        EXPECT_TRUE(script.Finished());
    }
    EXPECT_EQ(L"<missing>", ReadString(kRun, L"Pelvane"));

    std::vector<std::wstring> runValues;
    Script script({[&] {
                       if (!SignIn()) return false;
                       Click(SignIn(), IDC_START_WITH_WINDOWS);
                       return true;
                   },
                   [&] { return ItemChecked(SignIn(), IDC_START_WITH_WINDOWS); }, Do([&] {
                       runValues.push_back(ReadString(kRun, L"Pelvane"));
                       Click(SignIn(), IDC_START_WITH_WINDOWS);
                   }),
                   [&] { return !ItemChecked(SignIn(), IDC_START_WITH_WINDOWS); }, Do([&] {
                       runValues.push_back(ReadString(kRun, L"Pelvane"));
                       CheckDlgButton(SignIn(), IDC_AUTO_SIGN_IN, BST_CHECKED);
                       PostMessageW(SignIn(), WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
                   })});
    script.Start();
    EXPECT_EQ(1, dialog.DoModal(nullptr));
    EXPECT_TRUE(script.Finished());
    EXPECT_EQ((std::vector<std::wstring>{RunCommand(), L"<missing>"}), runValues);
    EXPECT_EQ(L"1", ReadString(kProgram, L"AutoLogin"));
    EXPECT_EQ(L"0", ReadString(kProgram, L"AutoStart"));
    EXPECT_EQ(L"<missing>", ReadString(kRun, L"Pelvane"));
}

// Saves the settings file as the program does at exit, and reads it back.
void SaveAsAtExit(AppConfig& saved)
{
    EXPECT_TRUE(GetAppConfig()->Save());
    EXPECT_TRUE(saved.Load());
}

TEST_F(SignInDialog, ThePasswordIsSavedOnlyForAnAutomaticSignIn)
{
    struct Case {
        const wchar_t* autoLogin;  // as saved before
        bool typed;                // "demo" typed and Sign In pressed; else the automatic sign-in with "old"
        bool checkedAtSignIn;
        bool checkedAtEnd;
        const char* saved;
    } cases[] = {{L"0", true, false, false, ""},     {L"0", true, true, true, "demo"},
                 {L"0", true, false, true, "demo"},  {L"1", false, true, true, "old"},
                 {L"1", false, true, false, ""}};
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.autoLogin) + (c.typed ? " typed " : " automatic ") + std::to_string(c.checkedAtSignIn) +
                     std::to_string(c.checkedAtEnd));
        SavedUser("alice@pelvane.test", "old");
        SaveOptions(c.autoLogin, L"0");
        DeleteFileW(BesideExe(L"pvconf.dat").c_str());
        CLoginDlg login;
        Script script({[&] {
                           HWND d = SignIn();
                           if (!d) return false;
                           if (c.typed) {
                               TypeText(GetDlgItem(d, IDC_PASSWORD), L"demo");
                               CheckDlgButton(d, IDC_AUTO_SIGN_IN, c.checkedAtSignIn ? BST_CHECKED : BST_UNCHECKED);
                               Click(d, IDC_SIGN_IN);
                           }
                           return true;
                       },
                       CoreReports, Do([&] {
                           CheckDlgButton(SignIn(), IDC_AUTO_SIGN_IN, c.checkedAtEnd ? BST_CHECKED : BST_UNCHECKED);
                           Post(VE_SignedIn);
                       })});
        script.Start();
        EXPECT_EQ(1, login.DoModal(nullptr));
        EXPECT_TRUE(script.Finished());
        // Saved as the sign-in succeeded, before any exit.
        AppConfig atSignIn;
        ASSERT_TRUE(atSignIn.Load());
        EXPECT_EQ("alice@pelvane.test", atSignIn.GetUserName());
        EXPECT_EQ(c.saved, atSignIn.GetPassword());
        AppConfig saved;
        SaveAsAtExit(saved);
        EXPECT_EQ("alice@pelvane.test", saved.GetUserName());
        EXPECT_EQ(c.saved, saved.GetPassword());
        GetVoIPManager()->Stop();
    }
}

TEST_F(SignInDialog, TheSettingsSaveNoPasswordWithoutAutomaticSignIn)
{
    SavedUser("alice@pelvane.test", "old");
    SaveOptions(L"1", L"0");
    AppConfig saved;
    bool loaded = false;
    // A password typed and signed in with, then cancelled; the box unchecked.
    Script script({[&] {
                       if (!SignIn()) return false;
                       CheckDlgButton(SignIn(), IDC_AUTO_SIGN_IN, BST_UNCHECKED);
                       return true;
                   },
                   CoreReports, Do([&] { Click(SignIn(), IDC_CANCEL_SIGN_IN); }),
                   [&] { return ItemEnabled(SignIn(), IDC_SETTINGS); }, Do([&] {
                       TypeText(GetDlgItem(SignIn(), IDC_PASSWORD), L"demo");
                       Click(SignIn(), IDC_SETTINGS);
                   }),
                   [&] { return FindOwnedDialog(SignIn()) != nullptr; },
                   Do([&] { Click(FindOwnedDialog(SignIn()), IDOK); }),
                   [&] { return !FindOwnedDialog(SignIn()); }, Do([&] {
                       loaded = saved.Load();
                       PostMessageW(SignIn(), WM_CLOSE, 0, 0);
                   })});
    script.Start();
    EXPECT_EQ(2, dialog.DoModal(nullptr));
    EXPECT_TRUE(script.Finished());
    ASSERT_TRUE(loaded);
    EXPECT_EQ("alice@pelvane.test", saved.GetUserName());
    EXPECT_EQ("", saved.GetPassword());
}

TEST_F(SignInDialog, TheSessionsEndSavesWhatClosingWould)
{
    const std::wstring configFile = BesideExe(L"pvconf.dat");
    DeleteFileW(configFile.c_str());
    LRESULT query = FALSE;
    bool keptAfterRefusal = false, loaded = false;
    std::wstring autoLogin;
    AppConfig saved;
    Script script({[&] {
                       if (!SignIn()) return false;
                       TypeText(GetDlgItem(SignIn(), IDC_NAME), L"alice@pelvane.test");
                       TypeText(GetDlgItem(SignIn(), IDC_PASSWORD), L"demo");
                       CheckDlgButton(SignIn(), IDC_AUTO_SIGN_IN, BST_CHECKED);
                       Click(SignIn(), IDC_SIGN_IN);
                       return true;
                   },
                   CoreReports, Do([&] {
                       HWND d = SignIn();
                       query = SendMessageW(d, WM_QUERYENDSESSION, 0, 0);
                       // Another program refused: nothing ends, nothing is saved yet.
                       SendMessageW(d, WM_ENDSESSION, FALSE, 0);
                       keptAfterRefusal = GetFileAttributesW(configFile.c_str()) == INVALID_FILE_ATTRIBUTES &&
                                          ReadString(kProgram, L"AutoLogin") == L"<missing>";
                       // Windows ends the process once this returns.
                       SendMessageW(d, WM_ENDSESSION, TRUE, 0);
                       loaded = saved.Load();
                       autoLogin = ReadString(kProgram, L"AutoLogin");
                       PostMessageW(d, WM_CLOSE, 0, 0);
                   })});
    script.Start();
    EXPECT_EQ(2, dialog.DoModal(nullptr));
    EXPECT_TRUE(script.Finished());
    EXPECT_NE(FALSE, query);
    EXPECT_TRUE(keptAfterRefusal);
    ASSERT_TRUE(loaded);
    EXPECT_EQ("alice@pelvane.test", saved.GetUserName());
    EXPECT_EQ("demo", saved.GetPassword());
    EXPECT_EQ(L"1", autoLogin);
    DeleteFileW(configFile.c_str());
}
