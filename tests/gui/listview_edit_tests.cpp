// The chat page's extended list view, painted over its host's background,
// and the input edit box whose Enter key asks the parent to send.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "BackgroundHost.h"
#include "EditEx.h"
#include "GuiHarness.h"
#include "ListViewEx.h"
#include "resource.h"

using gui::Rgb;

namespace {
// A surface far from the colours the items are written in.
uint32_t Surface(int x, int y) { return Rgb((x * 3) & 0xFF, (y * 5) & 0xFF, 200); }
uint32_t FromColorRef(COLORREF c) { return Rgb(GetRValue(c), GetGValue(c), GetBValue(c)); }

// The window the controls live in: it owns the background, reflects the
// controls' notifications back to them, and counts send requests.
class Host : public BackgroundHost, public CBackgroundHost {
public:
    std::vector<LPARAM> sends;

    WTL::CBitmap* GetParentBackground() override { return &background; }

    BEGIN_MSG_MAP(Host)
        COMMAND_ID_HANDLER(IDC_SEND, OnSend)
        CHAIN_MSG_MAP(BackgroundHost)
        REFLECT_NOTIFICATIONS()
    END_MSG_MAP()

    LRESULT OnSend(WORD code, WORD, HWND control, BOOL&)
    {
        EXPECT_EQ(0, code);
        sends.push_back(reinterpret_cast<LPARAM>(control));
        return 0;
    }
};

struct Controls : ::testing::Test {
    Host host;
    static constexpr int kLeft = 16, kTop = 24;

    void SetUp() override
    {
        host.background.Attach(gui::PatternBitmap(480, 504, Surface));
        // Clear of the windows of the other window tests.
        RECT r = {40, 470, 40 + 420, 470 + 260};
        ASSERT_NE(nullptr, host.Create(nullptr, &r, L"host", WS_POPUP | WS_CLIPCHILDREN));
        // Shown, but not activated: a prefix whose windows a window manager
        // may take waits two seconds for one when an activated window goes.
        host.ShowWindow(SW_SHOWNA);
    }
    void TearDown() override { host.DestroyWindow(); }
};

// Pixels of a rectangle of p that are close to colour.
int CountNear(const gui::Pixels& p, const RECT& r, uint32_t colour)
{
    int n = 0;
    for (int y = std::max(0L, r.top); y < std::min<long>(p.height, r.bottom); ++y)
        for (int x = std::max(0L, r.left); x < std::min<long>(p.width, r.right); ++x) n += gui::Near(p.At(x, y), colour, 40);
    return n;
}

struct ListView : Controls {
    CListViewEx list;

    void SetUp() override
    {
        Controls::SetUp();
        RECT r = {kLeft, kTop, kLeft + 300, kTop + 120};
        // The chat page's style: report, single selection, no header.
        ASSERT_NE(nullptr, list.Create(host, &r, nullptr, WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_SINGLESEL |
                                                              LVS_SHOWSELALWAYS | LVS_NOCOLUMNHEADER));
        list.m_host = &host;
        list.InsertColumn(0, L"", LVCFMT_LEFT, 110);
        list.InsertColumn(1, L"", LVCFMT_LEFT, 180);
    }
    void Add(int index, const wchar_t* name, const wchar_t* text, LPARAM data)
    {
        ASSERT_EQ(index, list.InsertItem(index, name, data));
        list.SetItemText(index, 1, text);
    }
    RECT Column(int item, int column)
    {
        RECT bounds = {}, second = {};
        list.GetItemRect(item, &bounds, LVIR_BOUNDS);
        list.GetSubItemRect(item, 1, LVIR_BOUNDS, &second);
        if (column == 0) bounds.right = second.left - 1;
        return column == 0 ? bounds : second;
    }
};
}  // namespace

TEST_F(ListView, AnEmptyListShowsOnlyTheHostsBackground)
{
    gui::Pixels p = gui::CaptureClient(list);
    ASSERT_EQ(300, p.width);
    int wrong = 0;
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) wrong += p.At(x, y) != Surface(x + kLeft, y + kTop);
    EXPECT_EQ(0, wrong);
}

TEST_F(ListView, EachItemsDataChoosesItsColourInBothColumns)
{
    Add(0, L"alice", L"has joined", 1);
    Add(1, L"bob", L"left a message", 7);
    Add(2, L"carol", L"is away", 0);
    gui::Pixels p = gui::CaptureClient(list);
    const uint32_t marked = FromColorRef(CListViewEx::kMarkedColour), other = FromColorRef(CListViewEx::kOtherColour);
    for (int column = 0; column < 2; ++column) {
        SCOPED_TRACE(column);
        EXPECT_GT(CountNear(p, Column(0, column), marked), 5);
        EXPECT_EQ(0, CountNear(p, Column(0, column), other));
        for (int item : {1, 2}) {
            EXPECT_GT(CountNear(p, Column(item, column), other), 5) << item;
            EXPECT_EQ(0, CountNear(p, Column(item, column), marked)) << item;
        }
    }
    // The second column's text starts 8 pixels in.
    RECT lead = Column(1, 1);
    lead.right = lead.left + 8;
    EXPECT_EQ(0, CountNear(p, lead, other));

    host.background.DeleteObject();
    host.background.LoadBitmap(IDB_BACKGROUND);
    host.Invalidate();
    EXPECT_TRUE(gui::SavePng(gui::CaptureScreen(host), "listview_ex"));
}

TEST_F(ListView, SelectionIsNotDrawn)
{
    Add(0, L"alice", L"one", 1);
    Add(1, L"bob", L"two", 7);
    gui::Pixels before = gui::CaptureClient(list);
    LVITEMW state = {};
    state.stateMask = state.state = LVIS_SELECTED | LVIS_FOCUSED;
    list.SendMessage(LVM_SETITEMSTATE, 1, LPARAM(&state));
    gui::Pixels after = gui::CaptureClient(list);
    EXPECT_EQ(before.data, after.data);
}

namespace {
struct Edit : Controls {
    CEditEx edit;

    void SetUp() override
    {
        Controls::SetUp();
        Make(ES_AUTOHSCROLL);
    }
    void Make(DWORD style)
    {
        if (edit.m_hWnd) ::DestroyWindow(edit.UnsubclassWindow());
        WTL::CEdit plain;
        RECT r = {kLeft, kTop, kLeft + 240, kTop + 24};
        ASSERT_NE(nullptr, plain.Create(host, &r, nullptr, WS_CHILD | WS_VISIBLE | style, 0, IDC_INPUT_EDIT));
        ASSERT_TRUE(edit.SubclassWindow(plain));
    }
    LRESULT Key(UINT msg, WPARAM key, LPARAM flags = 1) { return edit.SendMessage(msg, key, flags); }
};
}  // namespace

TEST_F(Edit, EveryEnterAsksTheParentToSend)
{
    Key(WM_KEYDOWN, VK_RETURN);
    Key(WM_KEYDOWN, VK_RETURN, 0x40000001);  // held down: a repeat
    Key(WM_KEYDOWN, 'A');
    Key(WM_KEYDOWN, VK_SPACE);
    ASSERT_EQ(2u, host.sends.size());
    for (LPARAM sent : host.sends) EXPECT_EQ(1, sent);
}

TEST_F(Edit, TheCarriageReturnNeverReachesTheText)
{
    // An edit box that would take it as a line break.
    Make(ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL);
    Key(WM_CHAR, 'a');
    Key(WM_CHAR, '\r');
    Key(WM_CHAR, 'b');
    EXPECT_EQ(L"ab", edit.GetWindowText());
    EXPECT_TRUE(host.sends.empty()) << "characters do not send";

    // Other keys still work the text: Home, then a character goes first.
    Key(WM_KEYDOWN, VK_HOME);
    Key(WM_CHAR, 'c');
    EXPECT_EQ(L"cab", edit.GetWindowText());
}

TEST_F(Edit, WhiteTextOnDarkBlue)
{
    host.background.DeleteObject();
    host.background.LoadBitmap(IDB_BACKGROUND);
    edit.SetWindowText(L"Hello there");
    gui::Pixels p = gui::CaptureScreen(host);
    RECT inside = {kLeft + 4, kTop + 4, kLeft + 236, kTop + 20};
    const uint32_t back = FromColorRef(CEditEx::kBackColour);
    EXPECT_GT(CountNear(p, inside, back), 2000);
    EXPECT_GT(CountNear(p, inside, Rgb(255, 255, 255)), 10) << "the text";
    EXPECT_TRUE(gui::SavePng(p, "edit_ex"));

    // A brush for every request, white text on the blue ground.
    HDC dc = GetDC(edit);
    HBRUSH first = reinterpret_cast<HBRUSH>(host.SendMessage(WM_CTLCOLOREDIT, WPARAM(dc), LPARAM(edit.m_hWnd)));
    EXPECT_EQ(CEditEx::kTextColour, GetTextColor(dc));
    EXPECT_EQ(CEditEx::kBackColour, GetBkColor(dc));
    LOGBRUSH brush = {};
    ASSERT_TRUE(GetObjectW(first, sizeof(brush), &brush));
    EXPECT_EQ(CEditEx::kBackColour, brush.lbColor);
    HBRUSH second = reinterpret_cast<HBRUSH>(host.SendMessage(WM_CTLCOLOREDIT, WPARAM(dc), LPARAM(edit.m_hWnd)));
    ReleaseDC(edit, dc);
    EXPECT_NE(nullptr, second);
    EXPECT_EQ(0, GetObjectW(first, sizeof(brush), &brush)) << "the brush before is deleted";
}
