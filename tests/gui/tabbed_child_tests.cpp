// The tabbed child window: tabs for view windows, the view of the selected
// tab shown beside the strip, the tab area's height and place, the strip's
// notifications and the keyboard passed on, and the background picture that
// the strip and the pages share. Screenshot: tabbed_child_window.png.
#include <gtest/gtest.h>

#include <string>

#include "TabTestWindows.h"
#include "TabbedChildWindow.h"

namespace {

typedef CTabbedChildWindow<CDotNetTabCtrl<CTabViewTabItem>> Host;

// A page: it notes where it is put and what reaches it, and paints its
// host's picture under a veil, as the program's pages do.
class View : public ATL::CWindowImpl<View> {
public:
    DECLARE_WND_CLASS_EX(L"PvTabTestView", 0, COLOR_WINDOW)

    std::string name;
    std::vector<std::string>* events = nullptr;
    std::vector<WTL::CRect> placements;
    std::vector<UINT> received;
    Host* host = nullptr;

    BEGIN_MSG_MAP(View)
        MESSAGE_HANDLER(WM_WINDOWPOSCHANGED, OnPlaced)
        MESSAGE_HANDLER(WM_KEYDOWN, OnReceived)
        MESSAGE_HANDLER(WM_CHAR, OnReceived)
        MESSAGE_HANDLER(WM_COMMAND, OnReceived)
        MESSAGE_HANDLER(WM_FORWARDMSG, OnReceived)
        MESSAGE_HANDLER(WM_ERASEBKGND, OnErase)
        MESSAGE_HANDLER(WM_PAINT, OnPaint)
    END_MSG_MAP()

    LRESULT OnPlaced(UINT, WPARAM, LPARAM lParam, BOOL& bHandled)
    {
        const WINDOWPOS* pos = reinterpret_cast<const WINDOWPOS*>(lParam);
        if (!(pos->flags & SWP_NOSIZE)) placements.push_back(WTL::CRect(pos->x, pos->y, pos->x + pos->cx, pos->y + pos->cy));
        if (events && (pos->flags & SWP_SHOWWINDOW)) events->push_back(name + " shown");
        if (events && (pos->flags & SWP_HIDEWINDOW)) events->push_back(name + " hidden");
        bHandled = FALSE;
        return 0;
    }
    LRESULT OnReceived(UINT uMsg, WPARAM, LPARAM, BOOL&)
    {
        received.push_back(uMsg);
        return 40 + uMsg % 2;
    }
    LRESULT OnErase(UINT, WPARAM, LPARAM, BOOL&) { return 1; }
    LRESULT OnPaint(UINT, WPARAM, LPARAM, BOOL&)
    {
        WTL::CPaintDC dc(m_hWnd);
        WTL::CRect client;
        GetClientRect(&client);
        PaintParentBackgroundVeiled(dc, *host, m_hWnd, host->GetBackgroundBitmap(), 25);
        dc.SetBkMode(TRANSPARENT);
        std::wstring text(name.begin(), name.end());
        dc.DrawText(text.c_str(), -1, &client, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        return 0;
    }
};

struct TabbedChild : ::testing::Test {
    std::vector<tabtest::Notice> log;
    std::vector<std::string> events;
    tabtest::Recorder owner;
    Host host;
    View views[3];
    int kWidth = 520, kHeight = 360;

    void TearDown() override
    {
        if (owner.IsWindow()) owner.DestroyWindow();
    }

    void Make(DWORD tabStyles, int width = 520, int height = 360)
    {
        kWidth = width;
        kHeight = height;
        RECT r = {30, 30, 30 + kWidth, 30 + kHeight};
        ASSERT_TRUE(owner.Create(nullptr, &r, L"tabbed", WS_POPUP | WS_CLIPCHILDREN));
        tabtest::ShowUnactivated(owner);
        owner.log = &log;
        host.SetTabStyles(tabStyles);
        host.SetReflectNotifications(true);
        RECT all = {0, 0, kWidth, kHeight};
        ASSERT_TRUE(host.Create(owner, &all));
        const char* names[] = {"Contacts", "Alice", "Bob"};
        for (int i = 0; i < 3; ++i) {
            views[i].name = names[i];
            views[i].events = &events;
            views[i].host = &host;
            ASSERT_TRUE(views[i].Create(host, nullptr, nullptr, WS_CHILD | WS_CLIPSIBLINGS));
        }
    }
    WTL::CRect Client(HWND hWnd) { return gui::PlaceIn(hWnd, host); }
    // The height the tab area takes for the strip's font.
    int ExpectedTabAreaHeight()
    {
        HDC dc = GetDC(host.GetTabCtrl());
        HGDIOBJ old = SelectObject(dc, host.GetTabCtrl().GetFont());
        TEXTMETRICW tm = {};
        GetTextMetricsW(dc, &tm);
        SelectObject(dc, old);
        ReleaseDC(host.GetTabCtrl(), dc);
        return 24 + (MulDiv(24, tm.tmAscent, 11) - 24) / 2;
    }
    WTL::CRect HostClient()
    {
        WTL::CRect r;
        host.GetClientRect(&r);
        return r;
    }
};

}  // namespace

TEST_F(TabbedChild, TheTabAreaAppearsWithTheFirstTab)
{
    Make(CTCS_TOOLTIPS | CTCS_BOTTOM);
    ASSERT_TRUE(host.GetTabCtrl().IsWindow());
    EXPECT_TRUE(host.AreTabsHidden());
    EXPECT_EQ(0, host.GetTabAreaHeight());
    EXPECT_EQ(-1, host.AddTab(nullptr, L"nothing"));

    EXPECT_EQ(0, host.AddTab(views[0], L"Contacts"));
    EXPECT_FALSE(host.AreTabsHidden());
    const int h = ExpectedTabAreaHeight();
    EXPECT_EQ(h, host.GetTabAreaHeight());
    const WTL::CRect client = HostClient();
    // First the view had the whole window, then the strip took its place
    // along the bottom.
    ASSERT_GE(views[0].placements.size(), 2u);
    EXPECT_EQ(client, views[0].placements.front());
    EXPECT_EQ(WTL::CRect(0, 0, client.right, client.bottom - h), Client(views[0]));
    EXPECT_EQ(WTL::CRect(0, client.bottom - h, client.right, client.bottom), Client(host.GetTabCtrl()));
    EXPECT_TRUE(views[0].IsWindowVisible());
    EXPECT_EQ(views[0].m_hWnd, host.GetActiveView());
}

TEST_F(TabbedChild, TabsAtTheTopStandInsideMargins)
{
    Make(CTCS_SCROLL | CTCS_CLOSEBUTTON | CTCS_HOTTRACK | CTCS_DRAGREARRANGE | CTCS_TOOLTIPS);
    host.AddTab(views[0], L"Contacts");
    const int h = host.GetTabAreaHeight();
    const WTL::CRect c = HostClient();
    EXPECT_EQ(WTL::CRect(15, 15, c.right - 15, 15 + h), Client(host.GetTabCtrl()));
    EXPECT_EQ(WTL::CRect(15, 15 + h, c.right - 15, c.bottom - 15), Client(views[0]));
}

TEST_F(TabbedChild, SelectingATabShowsItsViewAndHidesTheOtherAfterwards)
{
    Make(CTCS_TOOLTIPS | CTCS_BOTTOM);
    host.AddTab(views[0], L"Contacts");
    host.AddTab(views[1], L"Alice");
    EXPECT_EQ(views[0].m_hWnd, host.GetActiveView());
    EXPECT_FALSE(views[1].IsWindowVisible());
    events.clear();

    host.GetTabCtrl().SetCurSel(1);
    EXPECT_EQ(views[1].m_hWnd, host.GetActiveView());
    EXPECT_EQ((std::vector<std::string>{"Alice shown", "Contacts hidden"}), events);
    EXPECT_EQ(views[1].m_hWnd, GetFocus());
    EXPECT_EQ(Client(views[1]), WTL::CRect(0, 0, HostClient().right, HostClient().bottom - host.GetTabAreaHeight()));

    // Selecting the view already shown changes nothing.
    events.clear();
    const size_t placed = views[1].placements.size();
    host.GetTabCtrl().SetCurSel(1);
    EXPECT_TRUE(events.empty());
    EXPECT_EQ(placed, views[1].placements.size());
    // The conversation window hears of the change too.
    bool told = false;
    for (const auto& n : log) told |= n.code == CTCN_SELCHANGE;
    EXPECT_TRUE(told);
}

TEST_F(TabbedChild, DisplayTabFindsOrAddsTheViewsTab)
{
    Make(CTCS_TOOLTIPS | CTCS_BOTTOM);
    auto& strip = host.GetTabCtrl();
    // Not there and not to be added.
    EXPECT_EQ(-1, host.DisplayTab(views[0], FALSE));
    EXPECT_EQ(0, strip.GetItemCount());
    EXPECT_EQ(-1, host.DisplayTab(nullptr));

    // No window text and no icon: "Untitled".
    EXPECT_EQ(0, host.DisplayTab(views[0]));
    EXPECT_EQ(L"Untitled", strip.GetItem(0)->GetText());
    EXPECT_EQ(-1, strip.GetItem(0)->GetImageIndex());

    // The window text, and with the icon wanted the window's small icon.
    views[1].SetWindowText(L"Alice chat");
    HICON icon = LoadIconW(nullptr, MAKEINTRESOURCEW(32512));
    views[1].SendMessage(WM_SETICON, ICON_SMALL, LPARAM(icon));
    EXPECT_EQ(1, host.DisplayTab(views[1], TRUE, TRUE));
    EXPECT_EQ(L"Alice chat", strip.GetItem(1)->GetText());
    EXPECT_EQ(0, strip.GetItem(1)->GetImageIndex());
    EXPECT_EQ(1, ImageList_GetImageCount(host.GetImageList()));
    EXPECT_EQ(1, strip.GetCurSel());
    EXPECT_EQ(views[1].m_hWnd, host.GetActiveView());

    // A view that has its tab gets it selected; nothing is added.
    EXPECT_EQ(0, host.DisplayTab(views[0], TRUE, TRUE));
    EXPECT_EQ(2, strip.GetItemCount());
    EXPECT_EQ(views[0].m_hWnd, host.GetActiveView());
}

TEST_F(TabbedChild, UpdateTabTextReportsWhetherTheTextChanged)
{
    Make(CTCS_TOOLTIPS | CTCS_BOTTOM);
    host.AddTab(views[0], L"Alice");
    struct Case {
        const wchar_t* windowText;
        const wchar_t* caption;  // null: take the window text
        bool changed;
        const wchar_t* text;     // the tab's afterwards
    } cases[] = {
        {L"", L"Alice", false, L"Alice"},
        {L"", L"Alice (2)", true, L"Alice (2)"},
        {L"", nullptr, false, L"Alice (2)"},
        {L"Window text", nullptr, true, L"Window text"},
        {L"Window text", nullptr, false, L"Window text"},
    };
    for (const Case& c : cases) {
        views[0].SetWindowText(c.windowText);
        EXPECT_EQ(c.changed, host.UpdateTabText(views[0], c.caption)) << (c.caption ? "caption" : "window text");
        EXPECT_EQ(c.text, host.GetTabCtrl().GetItem(0)->GetText());
    }
    EXPECT_FALSE(host.UpdateTabText(views[1], L"no tab"));
}

TEST_F(TabbedChild, AMinimisedWindowKeepsItsLayout)
{
    Make(CTCS_TOOLTIPS | CTCS_BOTTOM);
    host.AddTab(views[0], L"Contacts");
    views[0].MoveWindow(3, 3, 50, 50);
    host.SendMessage(WM_SIZE, SIZE_MINIMIZED, MAKELPARAM(0, 0));
    EXPECT_EQ(WTL::CRect(3, 3, 53, 53), Client(views[0]));
    host.SendMessage(WM_SIZE, SIZE_RESTORED, MAKELPARAM(kWidth, kHeight));
    EXPECT_EQ(0, Client(views[0]).left);
    EXPECT_GT(Client(views[0]).Width(), 50);
}

TEST_F(TabbedChild, TheStripsClicksReachTheParent)
{
    Make(CTCS_TOOLTIPS | CTCS_BOTTOM | CTCS_CLOSEBUTTON);
    host.AddTab(views[0], L"Contacts");
    host.AddTab(views[1], L"Alice");
    auto& strip = host.GetTabCtrl();
    auto click = [&](UINT down, UINT up, POINT at) {
        strip.SendMessage(down, 0, MAKELPARAM(at.x, at.y));
        if (up) strip.SendMessage(up, 0, MAKELPARAM(at.x, at.y));
    };
    log.clear();
    const WTL::CRect tab = strip.GetItem(1)->GetRect();
    click(WM_LBUTTONDBLCLK, 0, tab.CenterPoint());
    click(WM_LBUTTONDOWN, WM_LBUTTONUP, strip.GetCloseButtonRect().CenterPoint());
    strip.MoveItem(0, 1, false, true);
    std::vector<int> codes;
    for (const auto& n : log)
        if (n.code != CTCN_SELCHANGE && n.code != CTCN_SELCHANGING) codes.push_back(n.code);
    EXPECT_EQ((std::vector<int>{int(NM_DBLCLK), CTCN_CLOSE, CTCN_MOVEITEM}), codes);
    for (const auto& n : log) EXPECT_EQ(strip.m_hWnd, n.from);
}

TEST_F(TabbedChild, ClickingTheSelectedTabOrDroppingATabFocusesItsView)
{
    Make(CTCS_TOOLTIPS | CTCS_BOTTOM | CTCS_DRAGREARRANGE);
    host.AddTab(views[0], L"Contacts");
    host.AddTab(views[1], L"Alice");
    auto& strip = host.GetTabCtrl();
    strip.SetFocus();
    const POINT first = WTL::CRect(strip.GetItem(0)->GetRect()).CenterPoint();
    strip.SendMessage(WM_LBUTTONDOWN, 0, MAKELPARAM(first.x, first.y));
    strip.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(first.x, first.y));
    EXPECT_EQ(views[0].m_hWnd, GetFocus());

    // A drag ends with the dragged tab's view focused.
    const POINT second = WTL::CRect(strip.GetItem(1)->GetRect()).CenterPoint();
    strip.SendMessage(WM_LBUTTONDOWN, 0, MAKELPARAM(second.x, second.y));
    strip.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(second.x - 1, second.y));
    ASSERT_TRUE(strip.IsDragging());
    EXPECT_EQ(strip.m_hWnd, GetFocus());
    strip.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(second.x - 1, second.y));
    EXPECT_EQ(views[1].m_hWnd, GetFocus());

    // The window itself hands its focus on to the active view.
    host.SetFocus();
    EXPECT_EQ(views[1].m_hWnd, GetFocus());
}

TEST_F(TabbedChild, KeysCommandsAndForwardedMessagesGoToTheActiveView)
{
    Make(CTCS_TOOLTIPS | CTCS_BOTTOM);
    // Without a view the keys stay with the host.
    EXPECT_EQ(0, host.SendMessage(WM_KEYDOWN, 'A'));
    host.AddTab(views[0], L"Contacts");
    host.AddTab(views[1], L"Alice");
    host.GetTabCtrl().SetCurSel(1);
    EXPECT_EQ(40 + WM_KEYDOWN % 2, host.SendMessage(WM_KEYDOWN, 'A'));
    EXPECT_EQ(40 + WM_CHAR % 2, host.SendMessage(WM_CHAR, 'a'));
    host.SendMessage(WM_COMMAND, MAKEWPARAM(59395, 0));
    MSG msg = {};
    EXPECT_EQ(40 + WM_FORWARDMSG % 2, host.SendMessage(WM_FORWARDMSG, 5, LPARAM(&msg)));
    EXPECT_EQ((std::vector<UINT>{WM_KEYDOWN, WM_CHAR, WM_COMMAND, WM_FORWARDMSG}), views[1].received);
    EXPECT_TRUE(views[0].received.empty());
}

TEST_F(TabbedChild, TheHostPaintsThePictureThatTheStripAndPagesShare)
{
    Make(CTCS_SCROLL | CTCS_CLOSEBUTTON | CTCS_HOTTRACK | CTCS_DRAGREARRANGE | CTCS_TOOLTIPS);
    EXPECT_EQ(nullptr, host.GetBackgroundBitmap());
    host.AddTab(views[0], L"Contacts");
    host.AddTab(views[1], L"Alice Chat");
    host.AddTab(views[2], L"Bob Call");
    host.GetTabCtrl().SetCurSel(1);
    host.RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    gui::PumpMessages(100);
    ASSERT_NE(nullptr, host.GetBackgroundBitmap());
    EXPECT_EQ(host.GetBackgroundBitmap(), host.GetTabCtrl().GetBackgroundBitmap());
    SIZE size = {};
    ASSERT_TRUE(host.GetBackgroundBitmap()->GetSize(size));
    EXPECT_EQ(480, size.cx);
    EXPECT_EQ(504, size.cy);

    // In the margins: the picture at its own size, white beyond it.
    HDC dc = GetDC(host);
    gui::Pixels shown = gui::CaptureDC(dc, 0, 0, kWidth - 4, kHeight - 4);
    ReleaseDC(host, dc);
    HDC memory = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(memory, *host.GetBackgroundBitmap());
    gui::Pixels art = gui::CaptureDC(memory, 0, 0, 480, 504);
    SelectObject(memory, old);
    DeleteDC(memory);
    for (POINT at : {POINT{3, 3}, POINT{200, 8}, POINT{5, 300}, POINT{470, 340}})
        EXPECT_EQ(art.At(at.x, at.y), shown.At(at.x, at.y)) << at.x << "," << at.y;
    EXPECT_EQ(gui::Rgb(255, 255, 255), shown.At(500, 8));
}

TEST_F(TabbedChild, Screenshots)
{
    // The conversation window's strip, at a size within the picture.
    Make(CTCS_SCROLL | CTCS_CLOSEBUTTON | CTCS_HOTTRACK | CTCS_DRAGREARRANGE | CTCS_TOOLTIPS, 460, 380);
    host.AddTab(views[0], L"Contacts");
    host.AddTab(views[1], L"Alice Chat");
    host.AddTab(views[2], L"Bob Call");
    host.GetTabCtrl().SetCurSel(1);
    EXPECT_TRUE(gui::SavePng(gui::CaptureScreen(owner), "tabbed_child_window"));

    // The close button hot, painted on its own as the mouse comes over it.
    auto& strip = host.GetTabCtrl();
    POINT at = strip.GetCloseButtonRect().CenterPoint();
    strip.ClientToScreen(&at);
    SetCursorPos(at.x, at.y);
    strip.ScreenToClient(&at);
    strip.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(at.x, at.y));
    strip.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(at.x, at.y));
    strip.UpdateWindow();
    gui::PumpMessages(100);
    HDC dc = GetDC(owner);
    RECT r;
    GetClientRect(owner, &r);
    EXPECT_TRUE(gui::SavePng(gui::CaptureDC(dc, 0, 0, r.right, r.bottom), "tabbed_child_window_close_hot"));
    ReleaseDC(owner, dc);
}
