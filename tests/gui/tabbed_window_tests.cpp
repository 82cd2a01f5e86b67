// The conversation window: its pages as tabs (opened, found again, titled,
// closed or kept), the 500 ms polls of the call and chat pages, pages that
// remove themselves, and the strip's notifications. The pages are the
// tests' own (TestPages.h). Screenshot: tabbed_window.png.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "GuiHarness.h"
#include "settings/AppConfig.h"
#include "settings/LanguageTable.h"
#include "TabbedWnd.h"
#include "TestPages.h"
#include "TrayNotifyIcon.h"

using namespace testpages;

// The process-wide GUI objects the application library reaches.
CTrayNotifyIcon g_trayIcon;
UINT g_taskbarCreatedMessage = ::RegisterWindowMessageW(L"TaskbarCreated");
CTrayNotifyIcon* GetTrayIcon() { return &g_trayIcon; }
UINT GetTaskbarCreatedMessage() { return g_taskbarCreatedMessage; }

namespace {

// Stands in for the main frame: the conversation window's parent.
class FrameStandIn : public ATL::CWindowImpl<FrameStandIn> {
public:
    DECLARE_WND_CLASS_EX(L"PvTabbedWindowTestFrame", 0, COLOR_WINDOW)
    BEGIN_MSG_MAP(FrameStandIn)
    END_MSG_MAP()
};

const int kWidth = 420, kHeight = 360;

struct TabbedWindow : ::testing::Test {
    FrameStandIn frame;
    CTabbedWnd tabbed;
    PageDialog contacts;

    void SetUp() override
    {
        ASSERT_TRUE(LoadLanguage(0));
        GetAppConfig()->SetDeviceName("Office PC");
        Pages().Reset();
        RECT r = {30, 400, 30 + kWidth, 400 + kHeight};
        ASSERT_TRUE(frame.Create(nullptr, &r, L"", WS_POPUP | WS_CLIPCHILDREN));
        RECT all = {0, 0, kWidth, kHeight};
        ASSERT_TRUE(tabbed.Create(frame, &all, nullptr, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN));
        // The contact list's place, as the main frame fills it.
        contacts.host = &tabbed.m_tabHost;
        contacts.label = L"Contacts";
        ASSERT_TRUE(contacts.Create(tabbed.m_tabHost));
        ASSERT_EQ(0, tabbed.m_tabHost.AddTab(contacts, LanguageTable[91]));
        frame.ShowWindow(SW_SHOWNOACTIVATE);
        gui::PumpMessages(50);
    }
    void TearDown() override
    {
        if (frame.IsWindow()) frame.DestroyWindow();
    }

    CDotNetTabCtrl<CTabViewTabItem>& Strip() { return *tabbed.m_tabStrip; }
    int Count() { return Strip().GetItemCount(); }
    int Selected() { return Strip().GetCurSel(); }
    HWND ViewAt(int index) { return Strip().GetItem(index)->GetTabView(); }
    std::wstring TextAt(int index) { return Strip().GetItem(index)->GetText(); }
    std::vector<std::wstring> Texts()
    {
        std::vector<std::wstring> texts;
        for (int i = 0; i < Count(); ++i) texts.push_back(TextAt(i));
        return texts;
    }
    template <class T>
    T* Last()
    {
        return dynamic_cast<T*>(Pages().made.back());
    }
    CallPage* OpenCall(const char* name, const wchar_t* text, bool outgoing = true)
    {
        return tabbed.OpenCallPage(name, text, outgoing) ? Last<CallPage>() : nullptr;
    }
    ChatPage* OpenChat(const char* name, const wchar_t* text, const wchar_t* message = nullptr)
    {
        return tabbed.OpenChatPage(name, text, message) ? Last<ChatPage>() : nullptr;
    }
    FileTransferPage* OpenFile(const char* name, const wchar_t* text)
    {
        return tabbed.OpenFileTransferPage(name, text, L"C:\\files\\plan.txt", L"plan.txt", "", true)
                   ? Last<FileTransferPage>()
                   : nullptr;
    }
    AboutPage* OpenAbout() { return tabbed.OpenAboutPage() ? Last<AboutPage>() : nullptr; }
    void Select(HWND page) { Strip().SetCurSel(tabbed.m_tabHost.FindTab(page)); }
    // A notification as the tab host passes the strip's on.
    LRESULT Notify(int code, WPARAM wParam = 0)
    {
        NMCTCITEM record = {{Strip().m_hWnd, 0, static_cast<UINT>(code)}, Selected(), {-1, -1}};
        return tabbed.SendMessage(WM_NOTIFY, wParam, reinterpret_cast<LPARAM>(&record));
    }
    static std::wstring Text(int id) { return LanguageTable[id]; }
};

}  // namespace

TEST_F(TabbedWindow, CreationStylesTheStripAndNamesTheFrame)
{
    EXPECT_EQ(0x4449u, tabbed.m_tabHost.GetTabStyles());
    EXPECT_EQ(0x4449u, Strip().GetStyle() & 0xFFFF);
    EXPECT_EQ(Text(18) + L": Office PC", frame.GetWindowText());
    EXPECT_EQ(L"Pelvane_tabbed", [&] {
        wchar_t name[64] = L"";
        GetClassNameW(tabbed, name, 64);
        return std::wstring(name);
    }());
}

TEST_F(TabbedWindow, EveryKindOfPageGetsItsOwnSelectedTab)
{
    CallPage* call = OpenCall("alice@example.com", L"Alice", true);
    ASSERT_NE(nullptr, call);
    EXPECT_EQ(1, Selected());
    FileTransferPage* file = OpenFile("bob@example.com", L"Bob");
    ASSERT_NE(nullptr, file);
    EXPECT_EQ(2, Selected());
    ChatPage* chat = OpenChat("carol@example.com", L"Carol");
    ASSERT_NE(nullptr, chat);
    EXPECT_EQ(3, Selected());
    AboutPage* about = OpenAbout();
    ASSERT_NE(nullptr, about);
    EXPECT_EQ(4, Selected());

    EXPECT_EQ((std::vector<std::wstring>{Text(91), L"Alice" + Text(92), L"Bob" + Text(93), L"Carol" + Text(94),
                                         Text(123)}),
              Texts());
    EXPECT_EQ(1u, tabbed.m_callPages.count(call->dialog));
    EXPECT_EQ(1u, tabbed.m_fileTransferPages.count(file->dialog));
    EXPECT_EQ(1u, tabbed.m_chatPages.count(chat->dialog));
    EXPECT_EQ(1u, tabbed.m_aboutPages.count(about->dialog));

    // What each page was made with and given.
    EXPECT_EQ("alice@example.com", call->contactName);
    EXPECT_TRUE(call->outgoing);
    EXPECT_EQ(L"C:\\files\\plan.txt", file->path);
    EXPECT_EQ(L"plan.txt", file->fileTitle);
    EXPECT_TRUE(file->transferId.empty());
    for (auto* page : std::vector<CConversationPage*>{call, file, chat, about})
        EXPECT_EQ(tabbed.m_tabHost.m_hWnd, GetParent(page->GetPageWindow()));
    EXPECT_EQ(1, chat->hostsSet);
    EXPECT_EQ(&tabbed.m_tabHost, chat->host);

    // Only the selected page shows, in the tab host's view area.
    EXPECT_TRUE(IsWindowVisible(about->dialog));
    EXPECT_FALSE(IsWindowVisible(chat->dialog));
    EXPECT_FALSE(IsWindowVisible(contacts));
    const RECT place = gui::PlaceIn(about->dialog, tabbed.m_tabHost);
    EXPECT_EQ(15, place.left);
    EXPECT_EQ(15 + tabbed.m_tabHost.GetTabAreaHeight(), place.top);

    Select(chat->dialog);
    gui::PumpMessages(100);
    EXPECT_TRUE(gui::SavePng(gui::CaptureScreen(frame), "tabbed_window"));
}

TEST_F(TabbedWindow, AContactHasOneChatPage)
{
    ChatPage* carol = OpenChat("carol", L"Carol", L"Hello there");
    ASSERT_NE(nullptr, carol);
    ASSERT_EQ(1u, carol->lines.size());
    EXPECT_EQ(L"Carol", carol->lines[0].name);
    EXPECT_EQ(L"Hello there", carol->lines[0].text);
    EXPECT_FALSE(carol->lines[0].own);
    EXPECT_EQ(1, carol->focusTaken);
    EXPECT_EQ(1, carol->viewInvalidated);

    ASSERT_NE(nullptr, OpenCall("dave", L"Dave"));
    const size_t made = Pages().made.size();
    // The second message finds the page: it shows it from its own queue.
    EXPECT_TRUE(tabbed.OpenChatPage("carol", L"Carol", L"Second"));
    EXPECT_EQ(made, Pages().made.size());
    EXPECT_EQ(1, Selected());
    EXPECT_EQ(1u, carol->lines.size());

    EXPECT_TRUE(tabbed.HasChatPage("carol"));
    EXPECT_FALSE(tabbed.HasChatPage("dave"));
    ChatPage* dave = OpenChat("dave", L"Dave");
    ASSERT_NE(nullptr, dave);
    EXPECT_NE(carol, dave);
    EXPECT_TRUE(dave->lines.empty());

    // The about page, too, opens once.
    AboutPage* about = OpenAbout();
    ASSERT_NE(nullptr, about);
    Select(carol->dialog);
    const size_t pages = Pages().made.size();
    EXPECT_TRUE(tabbed.OpenAboutPage());
    EXPECT_EQ(pages, Pages().made.size());
    EXPECT_EQ(about->dialog.m_hWnd, ViewAt(Selected()));
}

TEST_F(TabbedWindow, WhichTabsClose)
{
    CallPage* call = OpenCall("alice", L"Alice");
    ChatPage* chat = OpenChat("bob", L"Bob");
    FileTransferPage* file = OpenFile("carol", L"Carol");
    AboutPage* about = OpenAbout();
    ASSERT_TRUE(call && chat && file && about);

    // The contact list never closes.
    Strip().SetCurSel(0);
    tabbed.CloseCurrentTab();
    EXPECT_EQ(5, Count());

    // A running call keeps its tab; once it ended, the page goes with it.
    Select(call->dialog);
    tabbed.CloseCurrentTab();
    EXPECT_EQ(5, Count());
    EXPECT_TRUE(tabbed.HasActiveCallPage());
    tabbed.EndAllCalls();
    EXPECT_FALSE(tabbed.HasActiveCallPage());
    HWND callWindow = call->dialog;
    tabbed.CloseCurrentTab();
    EXPECT_EQ(4, Count());
    EXPECT_FALSE(IsWindow(callWindow));
    EXPECT_EQ(1, Pages().TimesFreed(call));
    EXPECT_EQ(0u, tabbed.m_callPages.size());
    EXPECT_EQ(0, Selected()) << "the tab before it";

    // A transfer asks first: No keeps it.
    Select(file->dialog);
    tabbed.CloseCurrentTab();
    EXPECT_EQ(1, file->asked);
    EXPECT_EQ(4, Count());
    EXPECT_EQ(1u, tabbed.m_fileTransferPages.size());
    // Yes: the page has cancelled and removed itself.
    file->answerYes = true;
    HWND fileWindow = file->dialog;
    tabbed.CloseCurrentTab();
    EXPECT_EQ(3, Count());
    EXPECT_FALSE(IsWindow(fileWindow));
    EXPECT_EQ(0u, tabbed.m_fileTransferPages.size());
    EXPECT_EQ(1, Selected());
    gui::PumpMessages(700);
    EXPECT_EQ(1, Pages().TimesFreed(file));

    // Chat and about pages close and are freed.
    Select(about->dialog);
    tabbed.CloseCurrentTab();
    EXPECT_EQ(1, Pages().TimesFreed(about));
    EXPECT_EQ(0u, tabbed.m_aboutPages.size());
    Select(chat->dialog);
    tabbed.CloseCurrentTab();
    EXPECT_EQ(1, Pages().TimesFreed(chat));
    EXPECT_EQ(1, Count());
    EXPECT_EQ(0, Selected()) << "the last closable tab leaves the contact list selected";
    EXPECT_TRUE(IsWindowVisible(contacts));

    // A new About after closing the old one opens a new page.
    AboutPage* again = OpenAbout();
    ASSERT_NE(nullptr, again);
    EXPECT_NE(about, again);
}

TEST_F(TabbedWindow, TheContactListNeverClosesWhereverItWasDragged)
{
    ASSERT_NE(nullptr, OpenChat("bob", L"Bob"));
    ASSERT_TRUE(Strip().MoveItem(0, 1));
    ASSERT_EQ(contacts.m_hWnd, ViewAt(1));
    Strip().SetCurSel(1);
    tabbed.CloseCurrentTab();
    EXPECT_EQ(2, Count());
    EXPECT_EQ(contacts.m_hWnd, ViewAt(1));
}

TEST_F(TabbedWindow, ASessionResetLeavesTheTabsThatRefuseToClose)
{
    CallPage* running = OpenCall("alice", L"Alice");
    ChatPage* chat = OpenChat("bob", L"Bob");
    FileTransferPage* file = OpenFile("carol", L"Carol");
    AboutPage* about = OpenAbout();
    CallPage* ended = OpenCall("dave", L"Dave");
    ASSERT_TRUE(running && chat && file && about && ended);
    ended->active = false;
    Select(chat->dialog);

    tabbed.CloseAllButFirst();
    EXPECT_EQ((std::vector<std::wstring>{Text(91), L"Alice" + Text(92), L"Carol" + Text(93)}), Texts());
    EXPECT_EQ(1, file->asked);
    for (CConversationPage* page : std::vector<CConversationPage*>{chat, about, ended})
        EXPECT_EQ(1, Pages().TimesFreed(page));
    EXPECT_FALSE(Pages().Freed(running));
}

TEST_F(TabbedWindow, CallAndChatPagesAreToldTwiceASecondToTakeAnEvent)
{
    CallPage* call = OpenCall("alice", L"Alice");
    ChatPage* chat = OpenChat("bob", L"Bob");
    FileTransferPage* file = OpenFile("carol", L"Carol");
    AboutPage* about = OpenAbout();
    ASSERT_TRUE(call && chat && file && about);
    gui::PumpMessages(1150);
    EXPECT_GE(call->dialog.polls, 2);
    EXPECT_LE(call->dialog.polls, 3);
    EXPECT_GE(chat->dialog.polls, 2);
    EXPECT_LE(chat->dialog.polls, 3);
    EXPECT_EQ(0, file->dialog.polls);
    EXPECT_EQ(0, about->dialog.polls);
}

TEST_F(TabbedWindow, APageThatRemovesItselfIsFreedOnceItsHandlerReturned)
{
    CallPage* call = OpenCall("alice", L"Alice");
    CallPage* other = OpenCall("bob", L"Bob");
    ASSERT_TRUE(call && other);
    HWND window = call->dialog;
    bool aliveAfterRemoval = false;
    call->dialog.onPoll = [&] {
        call->dialog.onPoll = nullptr;
        call->CloseItself();
        // Still inside the page's own handler: the object must live.
        aliveAfterRemoval = !Pages().Freed(call) && call->dialog.polls == 1;
    };
    gui::PumpMessages(650);
    EXPECT_TRUE(aliveAfterRemoval);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(0u, tabbed.m_callPages.count(window));
    EXPECT_EQ(2, Count());
    gui::PumpMessages(600);
    EXPECT_EQ(1, Pages().TimesFreed(call));

    // A window that is no page of that kind is left alone.
    tabbed.SendMessage(WM_REMOVE_TRANSFER_PAGE, reinterpret_cast<WPARAM>(other->dialog.m_hWnd));
    tabbed.SendMessage(WM_REMOVE_CALL_PAGE, reinterpret_cast<WPARAM>(contacts.m_hWnd));
    EXPECT_TRUE(IsWindow(other->dialog));
    EXPECT_TRUE(IsWindow(contacts));
    EXPECT_EQ(1u, tabbed.m_callPages.size());
}

// A handler of a page that runs a modal loop (a box, a file dialog) lets
// every timer run below it, and so anything that closes the page: the
// page's own close, the window's question to a transfer page, the user's
// close of its tab. Whichever comes, the page is not freed, nor its window
// destroyed from outside, until that handler returned.
TEST_F(TabbedWindow, NoPageGoesWhileOneOfItsHandlersRuns)
{
    // Long enough for the window's timer to tick twice inside the loop.
    const DWORD kLoopMs = 2 * CTabbedWnd::kPollPeriodMs + 300;
    {
        SCOPED_TRACE("a call page closes itself under its own handler");
        CallPage* call = OpenCall("alice", L"Alice");
        ASSERT_NE(nullptr, call);
        HWND window = call->dialog;
        bool returned = false, freedInside = true;
        call->dialog.onPoll = [&] {
            if (call->dialog.polls == 1) {
                gui::PumpMessages(kLoopMs);
                freedInside = Pages().Freed(call);
                returned = true;
            } else if (call->dialog.polls == 2) {
                call->CloseItself();
            }
        };
        ASSERT_TRUE(gui::PumpUntil([&] { return returned; }, 3 * kLoopMs));
        EXPECT_FALSE(freedInside);
        EXPECT_FALSE(IsWindow(window));
        EXPECT_TRUE(gui::PumpUntil([&] { return Pages().Freed(call); }, 2000));
        EXPECT_EQ(1, Pages().TimesFreed(call));
    }
    {
        SCOPED_TRACE("a transfer page closes itself while the window asks it");
        FileTransferPage* file = OpenFile("carol", L"Carol");
        ASSERT_NE(nullptr, file);
        bool freedInside = true;
        file->whileAsking = [&] {
            file->CloseItself();
            gui::PumpMessages(kLoopMs);
            freedInside = Pages().Freed(file);
        };
        Select(file->dialog);
        tabbed.CloseCurrentTab();
        EXPECT_FALSE(freedInside);
        EXPECT_EQ(0u, tabbed.m_fileTransferPages.size());
        EXPECT_TRUE(gui::PumpUntil([&] { return Pages().Freed(file); }, 2000));
        EXPECT_EQ(1, Pages().TimesFreed(file));
    }
    {
        SCOPED_TRACE("the user closes the tab of a page inside its handler");
        ChatPage* chat = OpenChat("bob", L"Bob");
        ASSERT_NE(nullptr, chat);
        HWND window = chat->dialog;
        bool returned = false, keptInside = false;
        chat->dialog.onPoll = [&] {
            if (chat->dialog.polls != 1) return;
            Select(window);
            tabbed.CloseCurrentTab();
            gui::PumpMessages(kLoopMs);
            keptInside = !Pages().Freed(chat) && IsWindow(window) && tabbed.m_chatPages.count(window) == 1;
            returned = true;
        };
        ASSERT_TRUE(gui::PumpUntil([&] { return returned; }, 3 * kLoopMs));
        EXPECT_TRUE(keptInside);
        // Once the handler returned, the tab closes as usual.
        Select(window);
        tabbed.CloseCurrentTab();
        EXPECT_FALSE(IsWindow(window));
        EXPECT_EQ(1, Pages().TimesFreed(chat));
        EXPECT_EQ(1, Count());
    }
}

TEST_F(TabbedWindow, StripNotificationsStepAndCloseTabs)
{
    ChatPage* bob = OpenChat("bob", L"Bob");
    ChatPage* carol = OpenChat("carol", L"Carol");
    ASSERT_TRUE(bob && carol);
    Strip().SetCurSel(1);
    Notify(CTCN_MOVEITEM, 1);
    EXPECT_EQ(2, Selected());
    Notify(CTCN_MOVEITEM, 1);
    EXPECT_EQ(2, Selected()) << "not past the last tab";
    for (int i = 0; i < 3; ++i) Notify(CTCN_MOVEITEM, static_cast<WPARAM>(-1));
    EXPECT_EQ(0, Selected()) << "not before the first";
    EXPECT_EQ(0, Notify(CTCN_SELCHANGING)) << "no change is vetoed";

    Strip().SetCurSel(2);
    Notify(CTCN_CLOSE);
    EXPECT_EQ(2, Count());
    EXPECT_TRUE(Pages().Freed(carol));
    Notify(NM_DBLCLK);
    EXPECT_EQ(1, Count());
    EXPECT_TRUE(Pages().Freed(bob));
}

TEST_F(TabbedWindow, ADoubleClickOnTheCloseButtonClosesOneTab)
{
    ChatPage* alice = OpenChat("alice", L"A");
    ChatPage* bob = OpenChat("bob", L"B");
    ChatPage* carol = OpenChat("carol", L"C");
    ASSERT_TRUE(alice && bob && carol);
    Select(bob->dialog);
    const POINT close = Strip().GetCloseButtonRect().CenterPoint();
    ASSERT_TRUE(Strip().GetCloseButtonRect().PtInRect(close));
    for (UINT msg : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP})
        Strip().SendMessage(msg, msg == WM_LBUTTONUP ? 0 : MK_LBUTTON, MAKELPARAM(close.x, close.y));
    EXPECT_EQ((std::vector<std::wstring>{Text(91), L"A" + Text(94), L"C" + Text(94)}), Texts());
    EXPECT_TRUE(Pages().Freed(bob));
    EXPECT_FALSE(Pages().Freed(alice)) << "A's page keeps its chat history";

    // A double click on a tab still closes it.
    POINT tab = WTL::CRect(Strip().GetItem(2)->GetRect()).CenterPoint();
    tab.x += Strip().GetScrollOffset();
    ASSERT_EQ(2, Strip().HitTest(tab));
    Strip().SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(tab.x, tab.y));
    Strip().SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(tab.x, tab.y));
    Strip().SendMessage(WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(tab.x, tab.y));
    Strip().SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(tab.x, tab.y));
    EXPECT_EQ((std::vector<std::wstring>{Text(91), L"A" + Text(94)}), Texts());
    EXPECT_TRUE(Pages().Freed(carol));
}

TEST_F(TabbedWindow, CommandsAndCloseHideOrCloseTabs)
{
    ChatPage* bob = OpenChat("bob", L"Bob");
    ASSERT_NE(nullptr, bob);
    tabbed.SendMessage(WM_COMMAND, ID_CLOSE_TAB);
    EXPECT_EQ(1, Count());
    tabbed.SendMessage(WM_COMMAND, ID_HIDE_TABS);
    EXPECT_FALSE(tabbed.IsWindowVisible());
    tabbed.ShowWindow(SW_SHOW);
    tabbed.SendMessage(WM_CLOSE);
    EXPECT_FALSE(tabbed.IsWindowVisible());
    EXPECT_TRUE(tabbed.IsWindow()) << "closing only hides";
}

TEST_F(TabbedWindow, TabTextsFollowTheLanguage)
{
    ASSERT_TRUE(OpenCall("alice", L"Alice") && OpenFile("bob", L"Bob") && OpenChat("carol", L"Carol") && OpenAbout());
    const std::wstring contactsTab = TextAt(0);
    ASSERT_TRUE(LoadLanguage(1));
    ASSERT_NE(L" - Call", Text(92));
    tabbed.RefreshTabTexts();
    // The contact list's tab is the frame's to rename.
    EXPECT_EQ((std::vector<std::wstring>{contactsTab, L"Alice" + Text(92), L"Bob" + Text(93), L"Carol" + Text(94),
                                         Text(123)}),
              Texts());
    ASSERT_TRUE(LoadLanguage(0));
}

TEST_F(TabbedWindow, NoPageOfAKindOpensNothing)
{
    Pages().noCallPages = true;
    EXPECT_FALSE(tabbed.OpenCallPage("alice", L"Alice", true));
    EXPECT_EQ(1, Count());
    EXPECT_TRUE(tabbed.m_callPages.empty());
}

TEST_F(TabbedWindow, TheTabHostFillsTheWindow)
{
    ASSERT_NE(nullptr, OpenChat("bob", L"Bob"));
    frame.MoveWindow(30, 400, 380, 300);
    tabbed.MoveWindow(0, 0, 380, 300);
    RECT client;
    tabbed.GetClientRect(&client);
    const RECT host = gui::PlaceIn(tabbed.m_tabHost, tabbed);
    EXPECT_EQ(client.right, host.right);
    EXPECT_EQ(client.bottom, host.bottom);
    EXPECT_EQ(0, host.left);
    EXPECT_EQ(0, host.top);
}
