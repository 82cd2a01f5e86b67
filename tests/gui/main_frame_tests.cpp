// The main frame: what its creation builds, its size limits, hiding and
// showing, the core's events as it takes them (one per tick), the page
// opener, a language change through the settings and the orderly exit.
// The pages are the tests' own (TestPages.h). Screenshot: main_frame.png.
#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "DialogTestKit.h"
#include "FrameTest.h"
#include "GuiHarness.h"
#include "LoginDlg.h"
#include "media/SoundSet.h"
#include "PelvaneFrame.h"
#include "session/VoIPManager.h"
#include "settings/AppConfig.h"
#include "settings/LanguageTable.h"
#include "SettingsDlg.h"
#include "TestPages.h"
#include "TrayNotifyIcon.h"
#include "WideText.h"
#include "WindowSettings.h"

using namespace testpages;
using dlgtest::Script;

namespace {

struct MainFrame : dlgtest::FrameTest {
    void SetUp() override
    {
        FrameTest::SetUp();
        Pages().Reset();
        GetAppConfig()->SetDeviceName("Desk");
        dlgtest::DeliverContactList({{"bob@pelvane.test", "Bob Baker"}, {"carol@pelvane.test", "Carol Cooper"}});
        ASSERT_TRUE(OpenFrame());
    }
    void TearDown() override
    {
        FrameTest::TearDown();
        LoadLanguage(0);
    }

    // Posts as the core does and lets the frame take it, as its timer would.
    template <typename Record>
    void Deliver(VoipEventKind kind, const Record& record)
    {
        GetVoIPManager()->GetHandlerRegistry().Broadcast(kind, record);
        frame.ProcessEvents();
    }
    void Deliver(VoipEventKind kind)
    {
        GetVoIPManager()->GetHandlerRegistry().Broadcast(kind);
        frame.ProcessEvents();
    }
    // Runs act while a box over the frame is answered with button: what
    // it said, all empty when none was shown.
    dlgtest::ShownBox Answering(std::function<void()> act, int button = IDOK)
    {
        HWND owner = frame;
        return dlgtest::Answering([owner] { return owner; }, act, button);
    }
    template <typename... Args>
    dlgtest::ShownBox DeliverAnswering(Args... args)
    {
        return Answering([&] { Deliver(args...); });
    }

    std::vector<std::wstring> Rows()
    {
        std::vector<std::wstring> rows;
        for (int i = 0; i < frame.m_contactList.GetCount(); ++i) rows.push_back(frame.m_contactList.GetText(i));
        return rows;
    }
    int32_t StatusOf(int row) { return frame.m_contactList.GetRow(row)->status; }
    int TabCount() { return frame.m_tabbedWnd.m_tabStrip->GetItemCount(); }
    // The first WM_QUIT waiting in this thread's queue: its exit code, or
    // none.
    bool TakeQuit(int& code)
    {
        MSG msg;
        if (!PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) return false;
        code = static_cast<int>(msg.wParam);
        return true;
    }
};

std::wstring MenuText(HMENU menu, int position)
{
    wchar_t text[128] = L"";
    GetMenuStringW(menu, position, text, 128, MF_BYPOSITION);
    return text;
}

std::wstring ItemText(HMENU popup, UINT id)
{
    wchar_t text[128] = L"";
    GetMenuStringW(popup, id, text, 128, MF_BYCOMMAND);
    return text;
}
}  // namespace

TEST_F(MainFrame, CreationBuildsTheMenuBarTheContactTabAndTheTrayIcon)
{
    // The menu lives in the menu bar, not on the frame.
    EXPECT_EQ(nullptr, frame.GetMenu());
    HMENU menu = frame.m_commandBar.GetMenu();
    ASSERT_NE(nullptr, menu);
    ASSERT_EQ(2, GetMenuItemCount(menu));
    EXPECT_EQ(LanguageTable[115], MenuText(menu, 0));
    EXPECT_EQ(LanguageTable[119], MenuText(menu, 1));
    HMENU file = GetSubMenu(menu, 0);
    EXPECT_EQ(LanguageTable[116], ItemText(file, ID_ADD_CONTACT));
    EXPECT_EQ(LanguageTable[117], ItemText(file, ID_SETTINGS));
    EXPECT_EQ(LanguageTable[118], ItemText(file, ID_APP_EXIT));
    EXPECT_EQ(LanguageTable[120], ItemText(GetSubMenu(menu, 1), ID_APP_ABOUT));

    EXPECT_EQ(ATL_IDW_TOOLBAR, GetDlgCtrlID(frame.m_hWndToolBar));
    EXPECT_EQ(1, frame.UIGetCheck(ID_VIEW_TOOLBAR));
    EXPECT_EQ(0u, frame.GetStyle() & WS_MAXIMIZEBOX);
    EXPECT_EQ(L"Quorvel: Desk", frame.GetWindowText());

    ASSERT_EQ(1, TabCount());
    EXPECT_EQ(std::wstring(LanguageTable[91]), frame.m_tabbedWnd.m_tabStrip->GetItem(0)->GetText());
    EXPECT_EQ(IDC_CONTACT_LIST, GetDlgCtrlID(frame.m_contactList));
    // The list keeps its scroll bar only while the rows need it.
    EXPECT_EQ(0x52210161u & ~WS_VSCROLL, frame.m_contactList.GetStyle() & ~WS_VSCROLL);
    EXPECT_EQ(static_cast<HWND>(*frame.m_contactListDlg), ::GetParent(frame.m_contactList));

    // The contacts the session holds, unreachable until their states come.
    EXPECT_EQ((std::vector<std::wstring>{L"Bob Baker", L"Carol Cooper"}), Rows());
    EXPECT_EQ(kContactUnreachable, StatusOf(0));
    EXPECT_EQ(kFrameIdle, frame.m_frameState);
    EXPECT_FALSE(frame.m_connected);

    CTrayNotifyIcon* tray = GetTrayIcon();
    ASSERT_TRUE(tray->IsCreated());
    EXPECT_EQ(std::wstring(LanguageTable[18]), tray->GetTooltipText());
    EXPECT_EQ(CPelvaneFrame::TrayImage(true), tray->GetIcon());
    EXPECT_TRUE(gui::SavePng(gui::CaptureScreen(frame), "main_frame"));
}

TEST_F(MainFrame, ItsSizeStaysWithinItsLimits)
{
    MINMAXINFO info = {};
    frame.SendMessage(WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    EXPECT_EQ(375, info.ptMinTrackSize.x);
    EXPECT_EQ(250, info.ptMinTrackSize.y);
    EXPECT_EQ(475, info.ptMaxTrackSize.x);
    EXPECT_EQ(550, info.ptMaxTrackSize.y);
}

TEST_F(MainFrame, TheConversationsFillTheFrameBelowTheMenuBar)
{
    frame.SetWindowPos(nullptr, 0, 0, 440, 500, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    RECT client, bar;
    frame.GetClientRect(&client);
    frame.m_commandBar.GetClientRect(&bar);
    const RECT tabbed = gui::PlaceIn(frame.m_tabbedWnd, frame);
    EXPECT_EQ(bar.bottom + 4, tabbed.top);
    EXPECT_EQ(client.bottom, tabbed.bottom);
    EXPECT_EQ(client.right, tabbed.right);
}

TEST_F(MainFrame, ClosingHidesItAndRestoreBringsItBack)
{
    frame.SendMessage(WM_CLOSE);
    EXPECT_TRUE(frame.IsWindow());
    EXPECT_FALSE(frame.IsWindowVisible());
    frame.SendMessage(WM_COMMAND, ID_RESTORE);
    EXPECT_TRUE(frame.IsWindowVisible());
    frame.SendMessage(WM_COMMAND, ID_RESTORE);
    EXPECT_FALSE(frame.IsWindowVisible());
}

TEST_F(MainFrame, ConnectionEventsKeepTheStateTheRowsAndTheTrayIcon)
{
    CTrayNotifyIcon* tray = GetTrayIcon();
    Deliver(VE_Connected);
    EXPECT_EQ(kFrameIdle, frame.m_frameState);
    EXPECT_TRUE(frame.m_connected);

    // A reset: offline, one centred row, no row buttons, only the contacts' tab.
    frame.OpenContactPage(L"", L"", kPageAbout);
    ASSERT_EQ(2, TabCount());
    Deliver(VE_SessionReset);
    EXPECT_EQ(kFrameOffline, frame.m_frameState);
    EXPECT_FALSE(frame.m_connected);
    EXPECT_EQ(1, TabCount());
    EXPECT_EQ(CPelvaneFrame::TrayImage(false), tray->GetIcon());
    EXPECT_EQ(std::vector<std::wstring>{LanguageTable[23]}, Rows());
    EXPECT_EQ(kContactCentred, StatusOf(0));
    for (CBmpBtnItem* b : {&frame.m_contactListDlg->m_callButton, &frame.m_contactListDlg->m_chatButton,
                           &frame.m_contactListDlg->m_sendFileButton})
        EXPECT_FALSE(b->m_button.IsWindowVisible());

    // Signed in again: the icon and the list come back.
    Deliver(VE_SignedIn);
    EXPECT_EQ(CPelvaneFrame::TrayImage(true), tray->GetIcon());
    EXPECT_EQ((std::vector<std::wstring>{L"Bob Baker", L"Carol Cooper"}), Rows());

    for (VoipEventKind kind : {VE_ConnectFailed, VE_Connecting}) {
        Deliver(VE_ContactsChanged);
        Deliver(kind);
        EXPECT_EQ(std::vector<std::wstring>{LanguageTable[23]}, Rows());
    }
}

TEST_F(MainFrame, AContactsStateMovesItsRowAndAnUnknownNameNothing)
{
    Deliver(VE_ContactState, VoipEventTextInt{"carol@pelvane.test", kContactReachable});
    EXPECT_EQ((std::vector<std::wstring>{L"Carol Cooper", L"Bob Baker"}), Rows());
    EXPECT_EQ(kContactReachable, StatusOf(0));
    Deliver(VE_ContactState, VoipEventTextInt{"CAROL@pelvane.test", kContactUnreachable});
    Deliver(VE_ContactState, VoipEventTextInt{"nobody", kContactReachable});
    EXPECT_EQ((std::vector<std::wstring>{L"Carol Cooper", L"Bob Baker"}), Rows());
    EXPECT_EQ(kContactReachable, StatusOf(0));
}

TEST_F(MainFrame, TheRowButtonsActOnTheSelectedContactWhereverItsRowMoved)
{
    dlgtest::DeliverContactList({{"alice@pelvane.test", "Alice Archer"}, {"bob@pelvane.test", "Bob Baker"},
                                 {"carol@pelvane.test", "Carol Cooper"}});
    // The list told as changed.
    frame.ProcessEvents();
    Deliver(VE_ContactState, VoipEventTextInt{"carol@pelvane.test", kContactReachable});
    ASSERT_EQ((std::vector<std::wstring>{L"Carol Cooper", L"Alice Archer", L"Bob Baker"}), Rows());
    // The user picks Carol's row.
    frame.m_contactList.SetCurSel(0);
    frame.m_contactListDlg->SendMessage(WM_COMMAND, MAKEWPARAM(IDC_CONTACT_LIST, LBN_SELCHANGE),
                                        reinterpret_cast<LPARAM>(frame.m_contactList.m_hWnd));

    Deliver(VE_ContactState, VoipEventTextInt{"alice@pelvane.test", kContactReachable});
    ASSERT_EQ((std::vector<std::wstring>{L"Alice Archer", L"Carol Cooper", L"Bob Baker"}), Rows());
    EXPECT_EQ(1, frame.m_contactList.GetCurSel());
    EXPECT_EQ(1, frame.m_contactListDlg->m_lastSelection) << "the page knows where the selection went";
    frame.m_contactList.SendMessage(WM_COMMAND, MAKEWPARAM(IDC_CHAT_BUTTON, BN_CLICKED), 0);
    ASSERT_EQ(1u, frame.m_tabbedWnd.m_chatPages.size());
    const ChatPage* page = static_cast<ChatPage*>(frame.m_tabbedWnd.m_chatPages.begin()->second);
    EXPECT_EQ("carol@pelvane.test", page->contactName);
    EXPECT_EQ(L"Carol Cooper", page->displayText);

    // A new list from the server: rebuilt, sorted, still on Carol; once she
    // has left it, on nobody.
    dlgtest::DeliverContactList({{"dave@pelvane.test", "Dave Dunn"}, {"carol@pelvane.test", "Carol Cooper"},
                                 {"alice@pelvane.test", "Alice Archer"}});
    frame.ProcessEvents();
    ASSERT_EQ((std::vector<std::wstring>{L"Alice Archer", L"Carol Cooper", L"Dave Dunn"}), Rows());
    EXPECT_EQ(1, frame.m_contactList.GetCurSel());
    dlgtest::DeliverContactList({{"alice@pelvane.test", "Alice Archer"}, {"bob@pelvane.test", "Bob Baker"}});
    frame.ProcessEvents();
    EXPECT_EQ(-1, frame.m_contactList.GetCurSel());
    EXPECT_EQ(-1, frame.m_contactListDlg->m_lastSelection) << "a click on row 1 is a change again";
}

TEST_F(MainFrame, CallEventsSetTheFrameState)
{
    const struct {
        VoipEventKind kind;
        int32_t value;
        int32_t state;
    } cases[] = {
        {VE_CallReply, 0, kFrameCallSetUp},   {VE_CallReply, 2, kFrameIdle},
        {VE_CallRequested, 1, kFrameCallSetUp}, {VE_PeerAccepted, 0, kFrameCallRunning},
        {VE_CallEnded, 0, kFrameIdle},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kind);
        frame.m_frameState = kFrameOffline;
        const dlgtest::ShownBox box = Answering([&] {
            dlgtest::PostValue(c.kind, c.value);
            frame.ProcessEvents();
        });
        EXPECT_EQ(c.state, frame.m_frameState);
        EXPECT_EQ(L"", box.text);
    }
}

TEST_F(MainFrame, ARefusedCallIsReportedOnlyByANormalInstance)
{
    dlgtest::ShownBox seen = DeliverAnswering(VE_CallReply, VoipEventValue{1});
    EXPECT_EQ(std::wstring(LanguageTable[96]), seen.text);
    EXPECT_EQ(std::wstring(LanguageTable[20]), seen.caption);
    EXPECT_EQ(kFrameIdle, frame.m_frameState);

    GetAppConfig()->SetInstanceIndex(3);
    EXPECT_EQ(L"", DeliverAnswering(VE_CallReply, VoipEventValue{1}).text);
}

TEST_F(MainFrame, AnIncomingCallOpensItsPageWhenItsMediaConnects)
{
    Deliver(VE_IncomingCall, TextPair{"bob@pelvane.test", "Bob Baker"});
    EXPECT_EQ(kFrameCallSetUp, frame.m_frameState);
    EXPECT_EQ(1, TabCount());
    frame.ShowWindow(SW_HIDE);
    Deliver(VE_MediaConnected);
    EXPECT_EQ(kFrameCallConnected, frame.m_frameState);
    // The hidden frame comes back for the caller.
    EXPECT_TRUE(frame.IsWindowVisible());
    ASSERT_EQ(1u, frame.m_tabbedWnd.m_callPages.size());
    CallPage* page = static_cast<CallPage*>(frame.m_tabbedWnd.m_callPages.begin()->second);
    EXPECT_EQ("bob@pelvane.test", page->contactName);
    EXPECT_EQ(L"Bob Baker", page->displayText);
    EXPECT_FALSE(page->outgoing);

    // A call this side asked for has its page already.
    Deliver(VE_CallEnded);
    Deliver(VE_CallRequested, VoipEventByte{1});
    Deliver(VE_MediaConnected);
    EXPECT_EQ(1u, frame.m_tabbedWnd.m_callPages.size());
    EXPECT_FALSE(page->active);
}

TEST_F(MainFrame, AChatFromAContactWithoutAPageOpensOneWithTheMessage)
{
    Deliver(VE_ChatText, VoipEventChat("bob@pelvane.test", "Bob Baker", L"hello"));
    ASSERT_EQ(1u, frame.m_tabbedWnd.m_chatPages.size());
    ChatPage* page = static_cast<ChatPage*>(frame.m_tabbedWnd.m_chatPages.begin()->second);
    ASSERT_EQ(1u, page->lines.size());
    EXPECT_EQ(L"Bob Baker", page->lines[0].name);
    EXPECT_EQ(L"hello", page->lines[0].text);
    EXPECT_FALSE(page->lines[0].own);
    ASSERT_EQ(1u, dlgtest::PlayedSounds().size());
    EXPECT_EQ(std::wstring(GetSoundSet()->GetPath(SoundSet::kMessage)), dlgtest::PlayedSounds()[0]);

    // The page takes the second from its own queue.
    Deliver(VE_ChatText, VoipEventChat("bob@pelvane.test", "Bob Baker", L"again"));
    EXPECT_EQ(1u, frame.m_tabbedWnd.m_chatPages.size());
    EXPECT_EQ(1u, page->lines.size());
    EXPECT_EQ(2u, dlgtest::PlayedSounds().size());
}

TEST_F(MainFrame, ARefusedLoginDropsTheConnection)
{
    GetVoIPManager()->SetDropConnection(false);
    Deliver(VE_LoginFailed, VoipEventText{"refused"});
    EXPECT_TRUE(GetVoIPManager()->GetDropConnection());
    GetVoIPManager()->SetDropConnection(false);
}

TEST_F(MainFrame, OnlyANewerVersionIsOffered)
{
    for (const char* version : {"4.4", "4.39", "", "soon"}) {
        SCOPED_TRACE(version);
        EXPECT_EQ(L"", DeliverAnswering(VE_UpdateNotice, TextPair{version, "http://127.0.0.1:1/"}).text);
    }
    for (const char* version : {"4.5", "5"}) {
        SCOPED_TRACE(version);
        // The question is answered No: nothing is opened.
        const dlgtest::ShownBox seen =
            Answering([&] { Deliver(VE_UpdateNotice, TextPair{version, "http://127.0.0.1:1/"}); }, IDNO);
        EXPECT_EQ(FormatWithText(LanguageTable[24], L"http://127.0.0.1:1/"), seen.text);
        EXPECT_EQ(std::wstring(LanguageTable[18]), seen.caption);
    }
}

namespace {
// What the frame would have run, by ShellExecuteW's arguments.
struct Run {
    std::wstring verb, program, arguments;
    int show;
};
std::vector<Run> g_runs;
HINSTANCE WINAPI RecordRun(HWND, LPCWSTR verb, LPCWSTR program, LPCWSTR arguments, LPCWSTR, INT show)
{
    g_runs.push_back({verb ? verb : L"", program ? program : L"", arguments ? arguments : L"", show});
    return reinterpret_cast<HINSTANCE>(static_cast<INT_PTR>(33));
}

std::wstring Lower(std::wstring text)
{
    CharLowerBuffW(&text[0], static_cast<DWORD>(text.size()));
    return text;
}

// The command this system opens web addresses with, in lower case; the
// stock browser's name when none is registered.
std::wstring WebCommand()
{
    wchar_t command[1024];
    DWORD size = sizeof(command);
    if (RegGetValueW(HKEY_CLASSES_ROOT, L"http\\shell\\open\\command", nullptr, RRF_RT_REG_SZ, nullptr, command,
                     &size) != ERROR_SUCCESS)
        return L"iexplore.exe";
    return Lower(command);
}
}  // namespace

TEST_F(MainFrame, AnUpdateOffersOnlyAWebAddressAndGivesItToTheBrowser)
{
    frame.m_runProgram = RecordRun;
    const struct {
        const char* address;
        bool offered;
    } cases[] = {
        {"file:///C:/windows/system32/calc.exe", false},
        {"C:\\windows\\system32\\calc.exe", false},
        {"\\\\server\\share\\setup.exe", false},
        {"setup.exe", false},
        {"ftp://pelvane.test/setup.exe", false},
        {"http://", false},
        // A quote or a space would end the browser's argument.
        {"http://pelvane.test/a\" --flag \"b", false},
        {"https://pelvane.test/new version", false},
        {"http://pelvane.test/update", true},
        {"HTTPS://Pelvane.test/Update?v=5", true},
    };
    const std::wstring webCommand = WebCommand();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.address);
        g_runs.clear();
        const std::wstring address = FromAnsi(c.address);
        const dlgtest::ShownBox seen =
            Answering([&] { Deliver(VE_UpdateNotice, TextPair{"5", c.address}); }, IDYES);
        if (!c.offered) {
            EXPECT_EQ(L"", seen.text);
            EXPECT_TRUE(g_runs.empty());
            continue;
        }
        EXPECT_EQ(FormatWithText(LanguageTable[24], address), seen.text);
        ASSERT_EQ(1u, g_runs.size());
        EXPECT_EQ(L"open", g_runs[0].verb);
        // The browser runs, with the address as its one argument.
        EXPECT_FALSE(g_runs[0].program.empty());
        EXPECT_NE(std::wstring::npos, webCommand.find(Lower(g_runs[0].program))) << g_runs[0].program;
        EXPECT_EQ(L"\"" + address + L"\"", g_runs[0].arguments);
        EXPECT_EQ(SW_SHOW, g_runs[0].show);
    }
}

TEST_F(MainFrame, AFileOfferIsAskedAboutAndDeclined)
{
    const dlgtest::ShownBox seen = Answering(
        [&] {
            Deliver(VE_FileOffer, VoipEventFileOffer{"bob@pelvane.test", "Bob Baker", "id-1", L"notes.txt", 1234});
        },
        IDCANCEL);
    EXPECT_EQ(L"Bob Baker wants to send you the file \"notes.txt\" (1234 bytes). Do you want to receive it?", seen.text);
    EXPECT_EQ(std::wstring(LanguageTable[28]), seen.caption);
    EXPECT_TRUE(frame.m_tabbedWnd.m_fileTransferPages.empty());
}

TEST_F(MainFrame, EventsWaitWhileTheOfferBoxOrTheSaveDialogIsOpen)
{
    Deliver(VE_Connected);
    frame.OpenContactPage(L"", L"", kPageAbout);
    ASSERT_EQ(2, TabCount());
    HWND owner = frame;
    auto frameWindow = [owner] { return owner; };
    // What the frame shows and is while one of its boxes or dialogs is open.
    struct Seen {
        size_t open = 0;
        int32_t state = 0;
        int tabs = 0;
    } duringFirst, duringSave, duringSecond;
    auto look = [&](Seen& seen) -> Script::Step {
        Script::Step count = dlgtest::CountOpenAfter(frameWindow, 400, &seen.open);
        Seen* into = &seen;
        return [this, count, into] {
            if (!count()) return false;
            into->state = frame.m_frameState;
            into->tabs = TabCount();
            return true;
        };
    };
    dlgtest::ShownBox first, second;
    HWND saveDialog = nullptr;
    Script script({// The session is reset while the first box is open.
                   [owner] { return dlgtest::FindOwnedDialog(owner) != nullptr; },
                   dlgtest::Do([] { dlgtest::Post(VE_SessionReset); }), look(duringFirst),
                   dlgtest::AnswerBox(frameWindow, &first, IDOK),
                   [&] {
                       HWND d = dlgtest::FindOwnedDialog(owner);
                       if (!d || dlgtest::ReadBox(d).caption == first.caption) return false;
                       saveDialog = d;
                       return true;
                   },
                   look(duringSave), dlgtest::Do([&] {
                       PostMessageW(saveDialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
                   }),
                   look(duringSecond), dlgtest::AnswerBox(frameWindow, &second, IDCANCEL)});
    script.Start();
    // Two offers together; the frame takes the first, as on its timer.
    GetVoIPManager()->GetHandlerRegistry().Broadcast(
        VE_FileOffer, VoipEventFileOffer{"bob@pelvane.test", "Bob Baker", "id-1", L"notes.txt", 1234});
    GetVoIPManager()->GetHandlerRegistry().Broadcast(
        VE_FileOffer, VoipEventFileOffer{"carol@pelvane.test", "Carol Cooper", "id-2", L"plan.pdf", 99});
    frame.ProcessEvents();
    EXPECT_TRUE(gui::PumpUntil([&] { return script.Finished() && frame.m_frameState == kFrameOffline; }));

    EXPECT_EQ(L"Bob Baker wants to send you the file \"notes.txt\" (1234 bytes). Do you want to receive it?",
              first.text);
    EXPECT_EQ(L"Carol Cooper wants to send you the file \"plan.pdf\" (99 bytes). Do you want to receive it?",
              second.text);
    // One at a time, with the session as it was until the last one closed.
    for (const Seen* seen : {&duringFirst, &duringSave, &duringSecond}) {
        EXPECT_EQ(1u, seen->open);
        EXPECT_EQ(kFrameIdle, seen->state);
        EXPECT_EQ(2, seen->tabs);
    }
    EXPECT_EQ(1, TabCount());
    EXPECT_TRUE(frame.m_tabbedWnd.m_fileTransferPages.empty());
}

TEST_F(MainFrame, AnOfferWaitsForTheSettingsDialog)
{
    HWND owner = frame;
    auto frameWindow = [owner] { return owner; };
    size_t openWithSettings = 0;
    dlgtest::ShownBox offer;
    Script script({[owner] { return dlgtest::FindOwnedDialog(owner) != nullptr; }, dlgtest::Do([] {
                       GetVoIPManager()->GetHandlerRegistry().Broadcast(
                           VE_FileOffer, VoipEventFileOffer{"bob@pelvane.test", "Bob Baker", "id-1", L"a.txt", 5});
                   }),
                   dlgtest::CountOpenAfter(frameWindow, 400, &openWithSettings), dlgtest::Do([owner] {
                       PostMessageW(dlgtest::FindOwnedDialog(owner), WM_CLOSE, 0, 0);
                   }),
                   dlgtest::AnswerBox(frameWindow, &offer, IDCANCEL)});
    script.Start();
    frame.SendMessage(WM_COMMAND, ID_SETTINGS);
    EXPECT_TRUE(gui::PumpUntil([&] { return script.Finished(); }));
    EXPECT_EQ(1u, openWithSettings);
    EXPECT_EQ(std::wstring(LanguageTable[28]), offer.caption);
}

TEST_F(MainFrame, TheFatalEventEndsTheLoopWithMinusOne)
{
    dlgtest::ShownBox seen = DeliverAnswering(VE_Fatal);
    EXPECT_EQ(std::wstring(LanguageTable[26]), seen.text);
    EXPECT_EQ(std::wstring(LanguageTable[25]), seen.caption);
    int code = 0;
    ASSERT_TRUE(TakeQuit(code));
    EXPECT_EQ(-1, code);
}

TEST_F(MainFrame, OneEventATick)
{
    GetVoIPManager()->GetHandlerRegistry().Broadcast(VE_Connected);
    GetVoIPManager()->GetHandlerRegistry().Broadcast(VE_PeerAccepted);
    frame.SendMessage(WM_TIMER, CPelvaneFrame::kEventTimer);
    EXPECT_TRUE(frame.m_connected);
    EXPECT_EQ(kFrameIdle, frame.m_frameState);
    frame.SendMessage(WM_TIMER, CPelvaneFrame::kEventTimer);
    EXPECT_EQ(kFrameCallRunning, frame.m_frameState);
}

TEST_F(MainFrame, TheCallActionIsRefusedWhileACallRunsOrIsBeingSetUp)
{
    frame.OpenContactPage(L"Bob Baker", L"bob@pelvane.test", kPageCall);
    ASSERT_EQ(1u, frame.m_tabbedWnd.m_callPages.size());
    CallPage* page = static_cast<CallPage*>(frame.m_tabbedWnd.m_callPages.begin()->second);
    EXPECT_TRUE(page->outgoing);
    EXPECT_EQ("bob@pelvane.test", page->contactName);
    ASSERT_EQ(1u, dlgtest::PlayedSounds().size());
    EXPECT_EQ(std::wstring(GetSoundSet()->GetPath(SoundSet::kCallerDialing)), dlgtest::PlayedSounds()[0]);

    const struct {
        bool pageActive;
        int32_t state;
        int text;
    } cases[] = {{true, kFrameIdle, 19}, {false, kFrameCallSetUp, 21}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        page->active = c.pageActive;
        frame.m_frameState = c.state;
        const dlgtest::ShownBox seen =
            Answering([&] { frame.OpenContactPage(L"Carol Cooper", L"carol@pelvane.test", kPageCall); });
        EXPECT_EQ(std::wstring(LanguageTable[c.text]), seen.text);
        EXPECT_EQ(std::wstring(LanguageTable[20]), seen.caption);
        EXPECT_EQ(1u, frame.m_tabbedWnd.m_callPages.size());
    }
}

TEST_F(MainFrame, TheChatAndAboutActionsOpenTheirPages)
{
    frame.OpenContactPage(L"Bob Baker", L"bob@pelvane.test", kPageChat);
    frame.OpenContactPage(L"Bob Baker", L"bob@pelvane.test", kPageChat);
    ASSERT_EQ(1u, frame.m_tabbedWnd.m_chatPages.size());
    EXPECT_TRUE(static_cast<ChatPage*>(frame.m_tabbedWnd.m_chatPages.begin()->second)->lines.empty());
    frame.SendMessage(WM_COMMAND, ID_APP_ABOUT);
    EXPECT_EQ(1u, frame.m_tabbedWnd.m_aboutPages.size());
    EXPECT_EQ(3, TabCount());
}

TEST_F(MainFrame, SendingAFileStartsWithTheUsersChoiceOfFile)
{
    // The open dialog is cancelled: no page.
    Script script({[] {
        HWND dialog = gui::FindThreadDialog();
        if (!dialog) return false;
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        return true;
    }});
    script.Start();
    frame.OpenContactPage(L"Bob Baker", L"bob@pelvane.test", kPageSendFile);
    EXPECT_TRUE(script.Finished());
    EXPECT_TRUE(frame.m_tabbedWnd.m_fileTransferPages.empty());
}

TEST_F(MainFrame, ALanguageChangeInTheSettingsRenamesMenusAndTabs)
{
    frame.OpenContactPage(L"", L"", kPageAbout);
    HWND owner = frame;
    Script script({[owner] {
                       HWND settings = dlgtest::FindOwnedDialog(owner);
                       if (!settings) return false;
                       SendDlgItemMessageW(settings, IDC_LANGUAGE, CB_SETCURSEL, 1, 0);
                       dlgtest::Click(settings, IDOK);
                       return true;
                   }});
    script.Start();
    frame.SendMessage(WM_COMMAND, ID_SETTINGS);
    EXPECT_TRUE(script.Finished());
    ASSERT_EQ(1, GetAppConfig()->GetLanguageIndex());
    HMENU menu = frame.m_commandBar.GetMenu();
    ASSERT_EQ(2, GetMenuItemCount(menu));
    EXPECT_EQ(LanguageTable[115], MenuText(menu, 0));
    EXPECT_EQ(LanguageTable[119], MenuText(menu, 1));
    EXPECT_EQ(LanguageTable[117], ItemText(GetSubMenu(menu, 0), ID_SETTINGS));
    EXPECT_EQ(std::wstring(LanguageTable[91]), frame.m_tabbedWnd.m_tabStrip->GetItem(0)->GetText());
    EXPECT_EQ(std::wstring(LanguageTable[123]), frame.m_tabbedWnd.m_tabStrip->GetItem(1)->GetText());
    EXPECT_EQ(std::wstring(LanguageTable[18]), GetTrayIcon()->GetTooltipText());
    EXPECT_TRUE(gui::SavePng(gui::CaptureScreen(frame), "main_frame_spanish"));
    GetAppConfig()->SetLanguageIndex(0);
}

TEST_F(MainFrame, ExitSavesThePlacementAndEndsTheLoopWithZero)
{
    // The frame ends Winsock as the program's last user of it.
    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 2), &wsa);
    frame.SetWindowPos(nullptr, 33, 44, 400, 480, SWP_NOZORDER | SWP_NOACTIVATE);
    frame.SendMessage(WM_COMMAND, ID_APP_EXIT);
    EXPECT_FALSE(frame.IsWindow());
    int code = -5;
    ASSERT_TRUE(TakeQuit(code));
    EXPECT_EQ(0, code);

    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, L"SoftWare\\Quorvel\\Pelvane", 0, KEY_READ, &key));
    BYTE stored[64];
    DWORD type = 0, size = sizeof(stored);
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, L"MainFrameWindowPlacement", nullptr, &type, stored, &size));
    RegCloseKey(key);
    EXPECT_EQ(static_cast<DWORD>(REG_BINARY), type);
    ASSERT_EQ(44u, size);
    const WINDOWPLACEMENT* placement = reinterpret_cast<const WINDOWPLACEMENT*>(stored);
    EXPECT_EQ(44u, placement->length);
    EXPECT_EQ(33, placement->rcNormalPosition.left);
    EXPECT_EQ(44 + 480, placement->rcNormalPosition.bottom);
}

TEST_F(MainFrame, TheSessionsEndSavesTheSettingsAndThePlacementAndStopsTheCore)
{
    const std::wstring configFile = dlgtest::BesideExe(L"pvconf.dat");
    DeleteFileW(configFile.c_str());
    AppConfig* config = GetAppConfig();
    config->SetUserName("alice@pelvane.test");
    config->SetPassword("demo");
    config->SetServerHost("relay.example");
    VoIPManager* manager = GetVoIPManager();
    ASSERT_TRUE(manager->Start("", CLoginDlg::kServerPort, "alice@pelvane.test", "demo", config->GetPort()));
    frame.SetWindowPos(nullptr, 37, 41, 410, 490, SWP_NOZORDER | SWP_NOACTIVATE);
    // In the tray, as it mostly is when Windows ends.
    frame.ShowWindow(SW_HIDE);
    auto placementSaved = [] {
        HKEY key;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, L"SoftWare\\Quorvel\\Pelvane", 0, KEY_READ, &key) != ERROR_SUCCESS)
            return WINDOWPLACEMENT{};
        WINDOWPLACEMENT stored = {};
        DWORD size = sizeof(stored);
        RegQueryValueExW(key, L"MainFrameWindowPlacement", nullptr, nullptr, reinterpret_cast<BYTE*>(&stored), &size);
        RegCloseKey(key);
        return stored;
    };

    EXPECT_EQ(TRUE, frame.SendMessage(WM_QUERYENDSESSION, 0, 0));
    // Another program refused: the session goes on, and so does the program.
    frame.SendMessage(WM_ENDSESSION, FALSE, 0);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(configFile.c_str()));
    EXPECT_EQ(0u, placementSaved().length);
    EXPECT_FALSE(manager->Start("", CLoginDlg::kServerPort, "x", "y", config->GetPort())) << "the core was stopped";

    frame.SendMessage(WM_ENDSESSION, TRUE, 0);
    AppConfig saved;
    ASSERT_TRUE(saved.Load());
    EXPECT_EQ("alice@pelvane.test", saved.GetUserName());
    EXPECT_EQ("demo", saved.GetPassword());
    EXPECT_EQ("relay.example", saved.GetServerHost());
    const WINDOWPLACEMENT placement = placementSaved();
    EXPECT_EQ(44u, placement.length);
    EXPECT_EQ(37, placement.rcNormalPosition.left);
    EXPECT_EQ(41 + 490, placement.rcNormalPosition.bottom);
    // Stopped: it starts anew.
    EXPECT_TRUE(manager->Start("", CLoginDlg::kServerPort, "x", "y", config->GetPort()));
    // Windows ends the process; nothing is destroyed before.
    EXPECT_TRUE(frame.IsWindow());
    int code = 0;
    EXPECT_FALSE(TakeQuit(code));
    DeleteFileW(configFile.c_str());
}
