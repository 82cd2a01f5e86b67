// The tray icon: the records it hands the shell, the mouse on the icon, the
// context menu, the hook on the owner window; and, where Wine shows the
// notification area in a window of its own, the icon in it.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "GuiHarness.h"
#include "TrayNotifyIcon.h"
#include "WindowImpl.h"
#include "resource.h"
#include "tray_test_ids.h"

// The process-wide objects this program needs, in their order.
CTrayNotifyIcon g_trayIcon;
UINT g_taskbarCreatedMessage = ::RegisterWindowMessageW(L"TaskbarCreated");
CTrayNotifyIcon* GetTrayIcon() { return &g_trayIcon; }
UINT GetTaskbarCreatedMessage() { return g_taskbarCreatedMessage; }

namespace {
const UINT kIconId = IDR_TRAY_MENU;
const UINT kCallback = WM_USER + 100;

// The shell as the tests see it: every call recorded, answered by choice.
struct ShellCall {
    DWORD message;
    NOTIFYICONDATAW data;
};
std::vector<ShellCall> g_calls;
std::function<BOOL(DWORD)> g_answer;

BOOL WINAPI RecordingShell(DWORD message, PNOTIFYICONDATAW data)
{
    g_calls.push_back({message, *data});
    return g_answer ? g_answer(message) : TRUE;
}

// The window the icon reports to, as the main frame is.
class Owner : public ATL::CWindowImpl<Owner> {
public:
    CTrayNotifyIcon* tray = nullptr;
    std::vector<UINT> commands;
    int destroyed = 0;
    int taskbarCreatedSeen = 0;

    BEGIN_MSG_MAP(Owner)
        MESSAGE_HANDLER(kCallback, OnTray)
        MESSAGE_HANDLER(WM_COMMAND, OnCommand)
        MESSAGE_HANDLER(WM_DESTROY, OnDestroy)
        if (uMsg == GetTaskbarCreatedMessage()) ++taskbarCreatedSeen;
    END_MSG_MAP()

    LRESULT OnTray(UINT, WPARAM wParam, LPARAM lParam, BOOL&) { return tray->OnTrayNotification(wParam, lParam); }
    LRESULT OnCommand(UINT, WPARAM wParam, LPARAM, BOOL&)
    {
        commands.push_back(LOWORD(wParam));
        return 0;
    }
    LRESULT OnDestroy(UINT, WPARAM, LPARAM, BOOL&)
    {
        ++destroyed;
        return 0;
    }
};

HWND CreateOwner(Owner& owner, CTrayNotifyIcon* tray)
{
    owner.tray = tray;
    RECT r = {650, 100, 850, 200};
    return owner.Create(nullptr, &r, L"tray owner", WS_POPUP);
}

struct RecordedShell : ::testing::Test {
    std::unique_ptr<CTrayNotifyIcon> tray;
    Owner owner;
    HICON icon = nullptr;

    void SetUp() override { UseShellVersion(6); }
    void UseShellVersion(int version)
    {
        SetTrayShell(RecordingShell, version);
        g_calls.clear();
        g_answer = nullptr;
        if (owner.m_hWnd) owner.DestroyWindow();
        tray.reset(new CTrayNotifyIcon);
        ASSERT_NE(nullptr, CreateOwner(owner, tray.get()));
        if (!icon) icon = CTrayNotifyIcon::LoadSmallIcon(IDI_TRAY_OFFLINE);
    }
    void TearDown() override
    {
        if (owner.m_hWnd) owner.DestroyWindow();
        tray.reset();
        DestroyIcon(icon);
        SetTrayShell(nullptr, 0);
        g_answer = nullptr;
    }
    // As the main frame creates it.
    bool CreateAsTheFrameDoes()
    {
        return tray->Create(&owner, kIconId, L"Pelvane", L"", L"", 10, CTrayNotifyIcon::kUser, icon, kCallback, 0,
                            true);
    }
    std::vector<DWORD> Messages() const
    {
        std::vector<DWORD> messages;
        for (const ShellCall& c : g_calls) messages.push_back(c.message);
        return messages;
    }
};

WNDPROC ProcedureOf(HWND hWnd) { return reinterpret_cast<WNDPROC>(GetWindowLongPtrW(hWnd, GWLP_WNDPROC)); }
}  // namespace

TEST_F(RecordedShell, CreateAddsTheRecordTheMainFrameAsksFor)
{
    ASSERT_TRUE(CreateAsTheFrameDoes());
    EXPECT_TRUE(tray->IsCreated());
    ASSERT_EQ((std::vector<DWORD>{NIM_ADD, NIM_SETVERSION}), Messages());
    const NOTIFYICONDATAW& add = g_calls[0].data;
    EXPECT_EQ(static_cast<DWORD>(NOTIFYICONDATAW_V3_SIZE), add.cbSize);
    EXPECT_EQ(owner.m_hWnd, add.hWnd);
    EXPECT_EQ(kIconId, add.uID);
    EXPECT_EQ(static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_INFO), add.uFlags);
    EXPECT_EQ(kCallback, add.uCallbackMessage);
    EXPECT_EQ(icon, add.hIcon);
    EXPECT_STREQ(L"Pelvane", add.szTip);
    EXPECT_STREQ(L"", add.szInfo) << "no balloon text, so no balloon";
    EXPECT_STREQ(L"", add.szInfoTitle);
    EXPECT_EQ(10u, add.uTimeout);
    EXPECT_EQ(static_cast<DWORD>(NIIF_USER | NIIF_NOSOUND), add.dwInfoFlags);
    EXPECT_EQ(static_cast<UINT>(NOTIFYICON_VERSION), g_calls[1].data.uVersion);
    EXPECT_EQ(10u, tray->GetBalloonTimeout()) << "the version shares the time-out's field";

    HMENU popup = GetSubMenu(tray->GetMenu(), 0);
    EXPECT_EQ(static_cast<UINT>(ID_RESTORE), GetMenuDefaultItem(popup, FALSE, 0)) << "the first item";
}

TEST(TrayRecord, SizeFollowsTheShellVersion)
{
    struct Case {
        int version;
        DWORD size;
    };
    // The shell's record sizes, whatever the pointer size.
    const DWORD v1 = NOTIFYICONDATAW_V1_SIZE, v2 = NOTIFYICONDATAW_V2_SIZE, v3 = NOTIFYICONDATAW_V3_SIZE;
    for (Case c : {Case{3, v1}, Case{4, v1}, Case{5, v2}, Case{6, v3}, Case{10, v3}}) {
        SetTrayShell(RecordingShell, c.version);
        g_calls.clear();
        Owner owner;
        CTrayNotifyIcon tray;
        ASSERT_NE(nullptr, CreateOwner(owner, &tray));
        ASSERT_TRUE(tray.Create(&owner, kIconId, L"tip", nullptr, kCallback, 0));
        EXPECT_EQ(c.size, g_calls[0].data.cbSize) << c.version;
        // Only a shell that knows versions is told one.
        EXPECT_EQ(c.version > 4 ? 2u : 1u, g_calls.size()) << c.version;
        owner.DestroyWindow();
    }
    SetTrayShell(nullptr, 0);
}

TEST_F(RecordedShell, BalloonStylesAndSound)
{
    struct Case {
        int style;
        bool noSound;
        DWORD flags;
    };
    for (Case c : {Case{0, false, NIIF_WARNING}, Case{1, false, NIIF_ERROR}, Case{2, true, NIIF_INFO | NIIF_NOSOUND},
                   Case{3, false, NIIF_NONE}, Case{4, false, NIIF_USER}}) {
        g_calls.clear();
        ASSERT_TRUE(tray->Create(&owner, kIconId, L"tip", L"text", L"title", 5, c.style, icon, kCallback, 0, c.noSound));
        EXPECT_EQ(c.flags, g_calls[0].data.dwInfoFlags) << c.style;
        EXPECT_STREQ(L"text", g_calls[0].data.szInfo);
        EXPECT_STREQ(L"title", g_calls[0].data.szInfoTitle);
    }
    g_calls.clear();
    HICON balloonIcon = LoadIconW(nullptr, IDI_INFORMATION);
    ASSERT_TRUE(tray->SetBalloonDetails(L"later", L"news", CTrayNotifyIcon::kUser, 7, balloonIcon));
    ASSERT_EQ(1u, g_calls.size());
    EXPECT_EQ(static_cast<DWORD>(NIM_MODIFY), g_calls[0].message);
    EXPECT_EQ(static_cast<UINT>(NIF_INFO | NIF_ICON), g_calls[0].data.uFlags) << "a user balloon brings its icon";
    EXPECT_EQ(balloonIcon, g_calls[0].data.hIcon);
    EXPECT_EQ(L"later", tray->GetBalloonText());
    EXPECT_EQ(L"news", tray->GetBalloonTitle());
    EXPECT_EQ(7u, tray->GetBalloonTimeout());
}

TEST_F(RecordedShell, FailedCreationsLeaveNothingBehind)
{
    const WNDPROC before = ProcedureOf(owner);
    EXPECT_FALSE(tray->Create(&owner, kIconId, L"tip", icon, kCallback, IDR_TEST_NO_MENU));
    EXPECT_FALSE(tray->Create(&owner, kIconId, L"tip", icon, kCallback, IDR_TEST_FLAT_MENU)) << "no popup first";
    EXPECT_TRUE(g_calls.empty());
    EXPECT_EQ(before, ProcedureOf(owner));

    g_answer = [](DWORD message) { return message == NIM_ADD ? FALSE : TRUE; };
    EXPECT_FALSE(CreateAsTheFrameDoes()) << "the shell refused the icon";
    EXPECT_FALSE(tray->IsCreated());
    EXPECT_EQ(before, ProcedureOf(owner)) << "the window is not left hooked";

    g_answer = nullptr;
    EXPECT_TRUE(CreateAsTheFrameDoes()) << "a later attempt can succeed";
    EXPECT_NE(before, ProcedureOf(owner));
}

TEST_F(RecordedShell, SettersAreRefusedBeforeCreation)
{
    Owner other;
    ASSERT_NE(nullptr, CreateOwner(other, tray.get()));
    const std::vector<std::pair<const char*, std::function<bool()>>> setters = {
        {"icon", [&] { return tray->SetIcon(icon); }},
        {"icon from a resource", [&] { return tray->SetIconFromResource(IDI_TRAY_ONLINE); }},
        {"standard icon", [&] { return tray->SetStandardIcon(IDI_APPLICATION); }},
        {"animation", [&] { return tray->SetAnimatedIcon(&icon, 1, 100); }},
        {"tooltip", [&] { return tray->SetTooltipText(L"tip"); }},
        {"balloon", [&] { return tray->SetBalloonDetails(L"a", L"b", 2, 5); }},
        {"window", [&] { return tray->SetNotificationWindow(&other); }},
        {"menu", [&] { return tray->SetMenu(CreatePopupMenu()); }},
        {"default item", [&] { return tray->SetDefaultMenuItem(1, true); }},
        {"focus", [&] { return tray->SetFocus(); }},
        {"hide", [&] { return tray->Hide(); }},
        {"show", [&] { return tray->Show(); }},
    };
    for (const auto& s : setters) EXPECT_FALSE(s.second()) << s.first;
    EXPECT_TRUE(g_calls.empty());
    other.DestroyWindow();
}

TEST_F(RecordedShell, HidingAndShowingFollowTheShellVersion)
{
    for (int version : {4, 6}) {
        SCOPED_TRACE(version);
        UseShellVersion(version);
        ASSERT_TRUE(CreateAsTheFrameDoes());
        g_calls.clear();
        EXPECT_TRUE(tray->Hide());
        EXPECT_TRUE(tray->Hide());
        EXPECT_TRUE(tray->IsHidden());
        EXPECT_TRUE(tray->Show());
        EXPECT_TRUE(tray->Show());
        EXPECT_FALSE(tray->IsHidden());
        ASSERT_EQ(2u, g_calls.size()) << "hiding a hidden icon or showing a shown one asks nothing";
        if (version < 5) {
            EXPECT_EQ(static_cast<DWORD>(NIM_DELETE), g_calls[0].message);
            EXPECT_EQ(static_cast<DWORD>(NIM_ADD), g_calls[1].message);
            EXPECT_EQ(static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP), g_calls[1].data.uFlags);
        } else {
            for (const ShellCall& c : g_calls) {
                EXPECT_EQ(static_cast<DWORD>(NIM_MODIFY), c.message);
                EXPECT_EQ(static_cast<UINT>(NIF_STATE), c.data.uFlags);
                EXPECT_EQ(static_cast<DWORD>(NIS_HIDDEN), c.data.dwStateMask);
            }
            EXPECT_EQ(static_cast<DWORD>(NIS_HIDDEN), g_calls[0].data.dwState);
            EXPECT_EQ(0u, g_calls[1].data.dwState);
        }
    }
}

TEST_F(RecordedShell, TooltipMustFitItsField)
{
    ASSERT_TRUE(CreateAsTheFrameDoes());
    g_calls.clear();
    const std::wstring longest(127, L'x');
    EXPECT_TRUE(tray->SetTooltipText(longest.c_str()));
    ASSERT_EQ(1u, g_calls.size());
    EXPECT_EQ(static_cast<UINT>(NIF_TIP), g_calls[0].data.uFlags);
    EXPECT_EQ(longest, g_calls[0].data.szTip);
    EXPECT_FALSE(tray->SetTooltipText(std::wstring(128, L'y').c_str()));
    EXPECT_EQ(longest, tray->GetTooltipText());
    EXPECT_TRUE(tray->SetTooltipText(static_cast<UINT>(IDR_MAINFRAME))) << "a string resource";
    EXPECT_EQ(L"Pelvane", tray->GetTooltipText());
}

TEST_F(RecordedShell, AnimationCyclesItsFramesUntilAnIconIsSet)
{
    HICON frames[3] = {LoadIconW(nullptr, IDI_APPLICATION), LoadIconW(nullptr, IDI_WARNING),
                       LoadIconW(nullptr, IDI_ERROR)};
    ASSERT_TRUE(tray->CreateAnimated(&owner, kIconId, L"tip", frames, 3, 60000, kCallback, 0));
    EXPECT_EQ(frames[0], g_calls[0].data.hIcon);
    EXPECT_EQ(frames[0], tray->GetIcon());
    g_calls.clear();
    for (int tick = 0; tick < 4; ++tick) owner.SendMessage(WM_TIMER, kIconId);
    ASSERT_EQ(4u, g_calls.size());
    const HICON expected[4] = {frames[1], frames[2], frames[0], frames[1]};
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(static_cast<DWORD>(NIM_MODIFY), g_calls[k].message);
        EXPECT_EQ(static_cast<UINT>(NIF_ICON), g_calls[k].data.uFlags);
        EXPECT_EQ(expected[k], g_calls[k].data.hIcon) << k;
    }
    EXPECT_EQ(frames[1], tray->GetIcon());

    ASSERT_TRUE(tray->SetIcon(icon));
    EXPECT_EQ(icon, tray->GetIcon());
    g_calls.clear();
    owner.SendMessage(WM_TIMER, kIconId);
    EXPECT_TRUE(g_calls.empty()) << "the animation stopped";

    // The frames change on a timer of the owner window.
    ASSERT_TRUE(tray->SetAnimatedIcon(frames, 3, 20));
    g_calls.clear();
    gui::PumpMessages(300);
    EXPECT_GE(g_calls.size(), 3u);
}

TEST_F(RecordedShell, LeftClicksSendTheMenusDefaultCommand)
{
    ASSERT_TRUE(CreateAsTheFrameDoes());
    EXPECT_EQ(1, owner.SendMessage(kCallback, kIconId, WM_LBUTTONDOWN));
    EXPECT_EQ(std::vector<UINT>{ID_RESTORE}, owner.commands) << "a single click, once";
    // A double click comes as a button-down and then a double-click.
    owner.SendMessage(kCallback, kIconId, WM_LBUTTONDOWN);
    owner.SendMessage(kCallback, kIconId, WM_LBUTTONDBLCLK);
    EXPECT_EQ(3u, owner.commands.size());
    owner.SendMessage(kCallback, kIconId, WM_MOUSEMOVE);
    owner.SendMessage(kCallback, kIconId, WM_LBUTTONUP);
    EXPECT_EQ(3u, owner.commands.size());
    EXPECT_EQ(0, owner.SendMessage(kCallback, kIconId + 1, WM_LBUTTONDOWN)) << "another icon's notification";
    EXPECT_EQ(3u, owner.commands.size());

    ASSERT_TRUE(tray->SetDefaultMenuItem(ID_APP_EXIT, false));
    owner.SendMessage(kCallback, kIconId, WM_LBUTTONDOWN);
    EXPECT_EQ(static_cast<UINT>(ID_APP_EXIT), owner.commands.back());
}

TEST_F(RecordedShell, RightClickShowsTheMenuAtTheCursor)
{
    ASSERT_TRUE(CreateAsTheFrameDoes());
    owner.ShowWindow(SW_SHOWNOACTIVATE);
    SetCursorPos(700, 300);
    RECT menuRect = {};
    bool shown = false;
    gui::ModalDriver closeByClickingElsewhere({[&] {
        HWND popup = gui::FindThreadPopupMenu();
        shown = popup && IsWindowVisible(popup);
        if (popup) GetWindowRect(popup, &menuRect);
        gui::Pixels shot = gui::CaptureDisplay(popup);
        gui::SavePng(shot, "tray_menu");
        // A click on the owner, far from the menu.
        owner.PostMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
        owner.PostMessage(WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    }}, false);
    closeByClickingElsewhere.Start();
    owner.SendMessage(kCallback, kIconId, WM_RBUTTONUP);
    EXPECT_TRUE(closeByClickingElsewhere.Finished());
    EXPECT_TRUE(shown);
    EXPECT_EQ(700, menuRect.left);
    EXPECT_EQ(300, menuRect.top);
    EXPECT_TRUE(owner.commands.empty()) << "nothing chosen";
    EXPECT_EQ(nullptr, gui::FindThreadPopupMenu());
    bool nullPosted = false;
    for (MSG msg; PeekMessageW(&msg, owner, 0, 0, PM_REMOVE);) nullPosted |= msg.message == WM_NULL;
    EXPECT_TRUE(nullPosted) << "the menu is followed by WM_NULL";

    gui::ModalDriver chooseTheSecondItem({[&] {
        HWND popup = gui::FindThreadPopupMenu();
        for (WPARAM key : {WPARAM(VK_DOWN), WPARAM(VK_DOWN), WPARAM(VK_RETURN)}) PostMessageW(popup, WM_KEYDOWN, key, 0);
    }}, false);
    chooseTheSecondItem.Start();
    owner.SendMessage(kCallback, kIconId, WM_RBUTTONUP);
    gui::PumpMessages(50);
    EXPECT_EQ(std::vector<UINT>{ID_SHOW_CONVERSATIONS}, owner.commands);
}

TEST_F(RecordedShell, AShellRestartBringsTheShownIconBack)
{
    ASSERT_TRUE(CreateAsTheFrameDoes());
    g_calls.clear();
    owner.SendMessage(GetTaskbarCreatedMessage());
    ASSERT_EQ((std::vector<DWORD>{NIM_ADD, NIM_SETVERSION}), Messages());
    EXPECT_EQ(static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP), g_calls[0].data.uFlags);
    EXPECT_EQ(icon, g_calls[0].data.hIcon);
    EXPECT_EQ(0, owner.taskbarCreatedSeen) << "the hook answers it";

    ASSERT_TRUE(tray->Hide());
    g_calls.clear();
    owner.SendMessage(GetTaskbarCreatedMessage());
    EXPECT_TRUE(g_calls.empty()) << "a hidden icon stays away";
    // The new shell does not know the hidden icon: showing adds it.
    g_answer = [](DWORD message) { return message == NIM_MODIFY ? FALSE : TRUE; };
    EXPECT_TRUE(tray->Show());
    EXPECT_EQ((std::vector<DWORD>{NIM_MODIFY, NIM_ADD, NIM_SETVERSION}), Messages());
}

TEST_F(RecordedShell, TheHookSitsOnTheTopLevelWindowAndLeavesWithTheIcon)
{
    HWND child = CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 10, 10, owner, nullptr, nullptr, nullptr);
    ATL::CWindow childWindow(child);
    const WNDPROC before = ProcedureOf(owner), childBefore = ProcedureOf(child);
    ASSERT_TRUE(tray->Create(&childWindow, kIconId, L"tip", icon, kCallback, 0));
    EXPECT_EQ(child, g_calls[0].data.hWnd) << "the child receives the notifications";
    EXPECT_NE(before, ProcedureOf(owner));
    EXPECT_EQ(childBefore, ProcedureOf(child));
    g_calls.clear();
    owner.SendMessage(GetTaskbarCreatedMessage());
    EXPECT_EQ(static_cast<DWORD>(NIM_ADD), Messages().at(0));

    g_calls.clear();
    tray->RemoveIcon();
    EXPECT_EQ(std::vector<DWORD>{NIM_DELETE}, Messages());
    EXPECT_EQ(before, ProcedureOf(owner));
    EXPECT_FALSE(tray->IsCreated());
}

TEST_F(RecordedShell, DestroyingTheOwnerRemovesTheIcon)
{
    ASSERT_TRUE(CreateAsTheFrameDoes());
    g_calls.clear();
    owner.DestroyWindow();
    EXPECT_EQ(1, owner.destroyed) << "the window's own handler still runs";
    EXPECT_EQ(std::vector<DWORD>{NIM_DELETE}, Messages());
    EXPECT_FALSE(tray->IsCreated());
}

TEST_F(RecordedShell, TheDestructorRemovesTheIconAndTheMenu)
{
    HMENU menu;
    {
        CTrayNotifyIcon scoped;
        ASSERT_TRUE(scoped.Create(&owner, kIconId, L"tip", icon, kCallback, 0));
        menu = scoped.GetMenu();
        EXPECT_TRUE(IsMenu(menu));
        g_calls.clear();
    }
    EXPECT_EQ(std::vector<DWORD>{NIM_DELETE}, Messages());
    EXPECT_FALSE(IsMenu(menu));
}

TEST_F(RecordedShell, ANewNotificationWindowTakesTheIconOver)
{
    Owner other;
    ASSERT_NE(nullptr, CreateOwner(other, tray.get()));
    ASSERT_TRUE(CreateAsTheFrameDoes());
    g_calls.clear();
    ASSERT_TRUE(tray->SetNotificationWindow(&other));
    ASSERT_EQ((std::vector<DWORD>{NIM_DELETE, NIM_ADD, NIM_SETVERSION}), Messages());
    EXPECT_EQ(owner.m_hWnd, g_calls[0].data.hWnd);
    EXPECT_EQ(other.m_hWnd, g_calls[1].data.hWnd);
    EXPECT_EQ(&other, tray->GetNotificationWindow());
    other.SendMessage(kCallback, kIconId, WM_LBUTTONDOWN);
    EXPECT_EQ(std::vector<UINT>{ID_RESTORE}, other.commands);
    EXPECT_TRUE(owner.commands.empty());
    g_calls.clear();
    other.DestroyWindow();
    EXPECT_EQ(std::vector<DWORD>{NIM_DELETE}, Messages()) << "the new window's end removes it";
}

TEST(TrayIcons, SmallIconsAreSixteenPixels)
{
    for (UINT id : {IDI_TRAY_OFFLINE, IDI_TRAY_ONLINE}) {
        HICON icon = CTrayNotifyIcon::LoadSmallIcon(id);
        ASSERT_NE(nullptr, icon) << id;
        ICONINFO info = {};
        ASSERT_TRUE(GetIconInfo(icon, &info));
        BITMAP bitmap = {};
        GetObjectW(info.hbmColor, sizeof(bitmap), &bitmap);
        EXPECT_EQ(16, bitmap.bmWidth);
        EXPECT_EQ(16, bitmap.bmHeight);
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        DestroyIcon(icon);
    }
}

// ---------------------------------------------------------------- Wine's own notification area

namespace {
// Wine, without a notification area on the display, shows the icons in a
// window of its own, each icon a child window.
HWND StandaloneTray() { return FindWindowW(L"__winex11_standalone_tray", nullptr); }

std::vector<HWND> TrayIconWindows()
{
    std::vector<HWND> icons;
    for (HWND child = FindWindowExW(StandaloneTray(), nullptr, L"__winex11_tray_icon", nullptr); child;
         child = FindWindowExW(StandaloneTray(), child, L"__winex11_tray_icon", nullptr))
        if (IsWindowVisible(child)) icons.push_back(child);
    return icons;
}

bool TrayShows() { return StandaloneTray() && IsWindowVisible(StandaloneTray()) && !TrayIconWindows().empty(); }

// The notification area lives in another process: it answers in its own
// time.
bool Eventually(const std::function<bool()>& condition)
{
    for (int wait = 0; wait < 100; ++wait) {
        if (condition()) return true;
        gui::PumpMessages(20);
    }
    return condition();
}
bool EventuallyShown() { return Eventually(TrayShows); }
bool EventuallyGone() { return Eventually([] { return !TrayShows(); }); }
}  // namespace

TEST(NotificationArea, TheProcessIconLivesInTheNotificationArea)
{
    CTrayNotifyIcon* tray = GetTrayIcon();
    Owner owner;
    ASSERT_NE(nullptr, CreateOwner(owner, tray));
    HICON offline = CTrayNotifyIcon::LoadSmallIcon(IDI_TRAY_OFFLINE), online = CTrayNotifyIcon::LoadSmallIcon(IDI_TRAY_ONLINE);
    ASSERT_TRUE(tray->Create(&owner, kIconId, L"Pelvane", L"", L"", 10, CTrayNotifyIcon::kUser, offline, kCallback, 0,
                             true));
    if (!Eventually([] { return StandaloneTray() != nullptr; }))
        GTEST_SKIP() << "the display has a notification area of its own";
    ASSERT_TRUE(EventuallyShown());
    ASSERT_EQ(1u, TrayIconWindows().size());
    ASSERT_TRUE(tray->SetIcon(online));
    gui::PumpMessages(100);
    EXPECT_TRUE(gui::SavePng(gui::CaptureDisplay(StandaloneTray()), "tray_icon"));

    // A click on the icon reaches the owner as the menu's default command.
    HWND iconWindow = TrayIconWindows().front();
    PostMessageW(iconWindow, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(8, 8));
    PostMessageW(iconWindow, WM_LBUTTONUP, 0, MAKELPARAM(8, 8));
    EXPECT_TRUE(Eventually([&] { return !owner.commands.empty(); }));
    EXPECT_EQ(std::vector<UINT>{ID_RESTORE}, owner.commands);

    // A right click opens the menu.
    bool menuShown = false;
    gui::ModalDriver driver({[&] {
        HWND popup = gui::FindThreadPopupMenu();
        menuShown = popup && IsWindowVisible(popup);
        EndMenu();
    }}, false);
    driver.Start();
    PostMessageW(iconWindow, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(8, 8));
    PostMessageW(iconWindow, WM_RBUTTONUP, 0, MAKELPARAM(8, 8));
    EXPECT_TRUE(Eventually([&] { return driver.Finished(); }));
    EXPECT_TRUE(menuShown);

    ASSERT_TRUE(tray->Hide());
    EXPECT_TRUE(EventuallyGone());
    ASSERT_TRUE(tray->Show());
    EXPECT_TRUE(EventuallyShown());

    // The shell forgets the icon, as a restarted shell would; its
    // announcement brings the icon back without the owner doing anything.
    NOTIFYICONDATAW gone = {};
    gone.cbSize = sizeof(gone);
    gone.hWnd = owner;
    gone.uID = kIconId;
    ASSERT_TRUE(Shell_NotifyIconW(NIM_DELETE, &gone));
    ASSERT_TRUE(EventuallyGone());
    SendMessageW(owner, GetTaskbarCreatedMessage(), 0, 0);
    EXPECT_TRUE(EventuallyShown());
    EXPECT_EQ(0, owner.taskbarCreatedSeen);

    owner.DestroyWindow();
    EXPECT_TRUE(EventuallyGone()) << "the icon went with its window";
    EXPECT_FALSE(tray->IsCreated());
    DestroyIcon(offline);
    DestroyIcon(online);
}
