// The tab strip's behaviour: its item list and selection with their
// notifications and vetoes, both layouts, scrolling, hit-testing, the mouse
// (clicks, buttons, hot tracking, dragging), the keyboard and the tooltip.
#include <gtest/gtest.h>

#include "TabTestWindows.h"

using tabtest::Notice;

namespace {

struct TabStrip : ::testing::Test, tabtest::StripFixture {
    void TearDown() override { Destroy(); }

    void Make(DWORD styles, int width = 400, std::initializer_list<const wchar_t*> texts = {L"A", L"B", L"C"})
    {
        ASSERT_TRUE(Create(styles, width));
        for (const wchar_t* t : texts) Add(t);
        log.clear();
    }
    std::wstring TextAt(int index) { return strip.GetItem(index) ? strip.GetItem(index)->GetText() : L"(none)"; }
    std::wstring Order()
    {
        std::wstring s;
        for (int i = 0; i < strip.GetItemCount(); ++i) s += strip.GetItem(i)->GetText();
        return s;
    }
    int NaturalWidth(int index)
    {
        HFONT font = index == strip.GetCurSel() ? strip.GetSelectedFont() : strip.GetFont();
        return tabtest::TextWidth(strip, font, strip.GetItem(index)->GetText().c_str()) + 14;
    }
    int Width(int index) { return WTL::CRect(strip.GetItem(index)->GetRect()).Width(); }
    std::vector<std::wstring> Many(int n, const wchar_t* stem)
    {
        std::vector<std::wstring> texts;
        for (int i = 0; i < n; ++i) texts.push_back(stem + std::to_wstring(i + 1));
        return texts;
    }
    void AddAll(const std::vector<std::wstring>& texts)
    {
        for (const auto& t : texts) Add(t.c_str());
        log.clear();
    }
};

const int kSelChanging = CTCN_SELCHANGING, kSelChange = CTCN_SELCHANGE;

}  // namespace

// Item list and selection -------------------------------------------------

TEST_F(TabStrip, TheFirstItemIsSelectedAndEveryStepIsToldInOrder)
{
    ASSERT_TRUE(Create(CTCS_TOOLTIPS));
    EXPECT_EQ(0, Add(L"One"));
    EXPECT_EQ(0, strip.GetCurSel());
    ASSERT_EQ((std::vector<int>{CTCN_INSERTITEM, kSelChanging, kSelChanging, kSelChange, kSelChange}), Codes());
    // Changing goes to the grandparent first, changed to the parent first.
    EXPECT_EQ(grandparent.m_hWnd, log[1].to);
    EXPECT_EQ(parent.m_hWnd, log[2].to);
    EXPECT_EQ(parent.m_hWnd, log[3].to);
    EXPECT_EQ(grandparent.m_hWnd, log[4].to);
    EXPECT_EQ(-1, log[3].first);
    EXPECT_EQ(0, log[3].second);
    EXPECT_EQ(UINT_PTR(kStripId), log[0].idFrom);
    EXPECT_EQ(WPARAM(kStripId), log[0].wParam);
    EXPECT_EQ(-1, log[0].pt.x);

    // Later items are not selected unless asked.
    log.clear();
    EXPECT_EQ(1, Add(L"Two"));
    EXPECT_EQ(0, strip.GetCurSel());
    EXPECT_EQ((std::vector<int>{CTCN_INSERTITEM}), Codes());
    EXPECT_EQ(2, Add(L"Three", nullptr, true));
    EXPECT_EQ(2, strip.GetCurSel());
}

TEST_F(TabStrip, InsertingOutsideTheListAppends)
{
    Make(0);
    for (int index : {-1, 99, 6}) {
        CTabViewTabItem* item = new CTabViewTabItem;
        item->SetText(L"x" + std::to_wstring(index));
        const int count = strip.GetItemCount();
        EXPECT_EQ(count, strip.InsertItem(index, item));
        EXPECT_EQ(L"x" + std::to_wstring(index), TextAt(count));
    }
    EXPECT_EQ(-1, strip.InsertItem(0, nullptr));
}

TEST_F(TabStrip, InsertingBeforeTheSelectionKeepsTheSelectedItem)
{
    Make(0);
    strip.SetCurSel(2);
    CTabViewTabItem* item = new CTabViewTabItem;
    item->SetText(L"Z");
    strip.InsertItem(0, item);
    EXPECT_EQ(3, strip.GetCurSel());
    EXPECT_EQ(L"C", TextAt(strip.GetCurSel()));
}

TEST_F(TabStrip, DeletingMovesTheSelectionAsTheItemsGo)
{
    struct Case {
        int count, selected, index;
        bool update;
        int selection;          // afterwards
        const wchar_t* text;    // of the selected item afterwards
        bool toldChange;        // -551 was sent
    } cases[] = {
        {3, 2, 2, true, 1, L"B", true},       // the selected last item: the previous one, at once
        {3, 1, 1, true, 1, L"C", true},       // elsewhere: its successor, after removal
        {3, 2, 0, true, 1, L"C", false},      // an item before it: the same item, one place down
        {3, 0, 2, true, 0, L"A", false},      // an item after it: nothing changes
        {1, 0, 0, true, -1, L"(none)", false},  // the only item
        {3, 2, 2, false, -1, L"(none)", false},  // the selected last item, without updating
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.count << " items, selected " << c.selected << ", deleting " << c.index);
        std::vector<const wchar_t*> texts = {L"A", L"B", L"C"};
        ASSERT_TRUE(Create(0));
        for (int i = 0; i < c.count; ++i) Add(texts[i]);
        strip.SetCurSel(c.selected);
        log.clear();
        EXPECT_TRUE(strip.DeleteItem(c.index, c.update));
        EXPECT_EQ(c.count - 1, strip.GetItemCount());
        EXPECT_EQ(c.selection, strip.GetCurSel());
        EXPECT_EQ(c.text, TextAt(strip.GetCurSel()));
        EXPECT_EQ(c.toldChange, !Of(kSelChange).empty());
        ASSERT_FALSE(Of(CTCN_DELETEITEM).empty());
        EXPECT_EQ(c.index, Of(CTCN_DELETEITEM)[0].first);
        Destroy();
        log.clear();
    }
}

TEST_F(TabStrip, DeletingIsRefusedOutOfRangeAndWhenThePartnerVetoes)
{
    Make(0);
    EXPECT_FALSE(strip.DeleteItem(3));
    EXPECT_FALSE(strip.DeleteItem(-1));
    parent.replies[CTCN_DELETEITEM] = 1;
    EXPECT_FALSE(strip.DeleteItem(1));
    EXPECT_EQ(L"ABC", Order());
    // Without notifying nobody is asked.
    EXPECT_TRUE(strip.DeleteItem(1, true, false));
    EXPECT_EQ(L"AC", Order());
}

TEST_F(TabStrip, EmptyingTheStripCannotBeVetoed)
{
    Make(0);
    parent.replies[CTCN_DELETEITEM] = 1;
    strip.DeleteAllItems();
    EXPECT_EQ(0, strip.GetItemCount());
    EXPECT_EQ(-1, strip.GetCurSel());
}

TEST_F(TabStrip, SelectingNotifiesAndTheParentCanVeto)
{
    Make(0);
    strip.SetCurSel(1);
    log.clear();

    // An index at or past the end re-selects the current item, still told.
    EXPECT_EQ(1, strip.SetCurSel(5));
    EXPECT_EQ(1, strip.GetCurSel());
    ASSERT_EQ(2u, Of(kSelChange).size());
    EXPECT_EQ(1, Of(kSelChange)[0].second);

    // The grandparent's answer is not asked for; the parent's is.
    log.clear();
    grandparent.replies[kSelChanging] = 1;
    EXPECT_EQ(1, strip.SetCurSel(2));
    EXPECT_EQ(2, strip.GetCurSel());
    parent.replies[kSelChanging] = 1;
    EXPECT_EQ(-1, strip.SetCurSel(0));
    EXPECT_EQ(2, strip.GetCurSel());
    EXPECT_EQ(2u, Of(kSelChange).size());

    // Without notifying, and a negative index leaves nothing selected.
    parent.replies.clear();
    log.clear();
    EXPECT_EQ(2, strip.SetCurSel(-1, false));
    EXPECT_EQ(-1, strip.GetCurSel());
    EXPECT_TRUE(log.empty());
}

TEST_F(TabStrip, FindingAnItemByItsViewHandsBackTheWholeItem)
{
    ASSERT_TRUE(Create(0));
    HWND views[] = {HWND(0x1010), HWND(0x2020), HWND(0x3030)};
    Add(L"A", views[0]);
    Add(L"B", views[1]);
    Add(L"B", views[2]);
    strip.GetItem(1)->SetImageIndex(4);

    CTabViewTabItem probe;
    probe.SetTabView(views[1]);
    EXPECT_EQ(1, strip.FindItem(&probe, kMatchTabView));
    EXPECT_EQ(L"B", probe.GetText());
    EXPECT_EQ(4, probe.GetImageIndex());
    EXPECT_TRUE(WTL::CRect(strip.GetItem(1)->GetRect()) == probe.GetRect());

    CTabViewTabItem byText;
    byText.SetText(L"B");
    EXPECT_EQ(1, strip.FindItem(&byText, kMatchText));
    EXPECT_EQ(2, strip.FindItem(&byText, kMatchText, 1));
    EXPECT_EQ(-1, strip.FindItem(&byText, kMatchText, 2));
    // Every flag given must match.
    CTabViewTabItem both;
    both.SetText(L"B");
    both.SetTabView(views[0]);
    EXPECT_EQ(-1, strip.FindItem(&both, kMatchText | kMatchTabView));
}

TEST_F(TabStrip, MovingAnItemKeepsTheSelectionOnItsItem)
{
    Make(0);
    EXPECT_TRUE(strip.MoveItem(0, 2, true, true));
    EXPECT_EQ(L"BCA", Order());
    EXPECT_EQ(2, strip.GetCurSel());
    ASSERT_EQ(1u, Of(CTCN_MOVEITEM).size());
    EXPECT_EQ(0, Of(CTCN_MOVEITEM)[0].first);
    EXPECT_EQ(2, Of(CTCN_MOVEITEM)[0].second);

    // Another item moved across the selected one.
    EXPECT_TRUE(strip.MoveItem(0, 2, true, false));
    EXPECT_EQ(L"CAB", Order());
    EXPECT_EQ(L"A", TextAt(strip.GetCurSel()));
    EXPECT_FALSE(strip.MoveItem(3, 0));
    EXPECT_FALSE(strip.MoveItem(0, -1));
    // The rectangles follow the new order.
    EXPECT_LT(strip.GetItem(0)->GetRect().left, strip.GetItem(1)->GetRect().left);
}

TEST_F(TabStrip, NoLayoutWhileRedrawingIsOff)
{
    Make(0);
    strip.SendMessage(WM_SETREDRAW, FALSE);
    Add(L"Late");
    EXPECT_TRUE(WTL::CRect(strip.GetItem(3)->GetRect()).IsRectEmpty());
    strip.SendMessage(WM_SETREDRAW, TRUE);
    EXPECT_FALSE(WTL::CRect(strip.GetItem(3)->GetRect()).IsRectEmpty());
}

// Layout ------------------------------------------------------------------

TEST_F(TabStrip, TabsThatFitKeepTheirNaturalWidths)
{
    Make(0, 400, {L"One", L"Two", L"Three"});
    int x = 5;
    for (int i = 0; i < 3; ++i) {
        WTL::CRect r = strip.GetItem(i)->GetRect();
        EXPECT_EQ(x, r.left) << i;
        EXPECT_EQ(NaturalWidth(i), r.Width()) << i;
        EXPECT_EQ(0, r.top);
        EXPECT_EQ(24, r.bottom);
        x = r.right;
    }
    // Tabs at the top leave two pixels on either side of the item area.
    EXPECT_EQ(WTL::CRect(2, 0, 398, 24), strip.GetTabItemArea());
}

TEST_F(TabStrip, TooManyTabsShareTheRoomLeftBesideTheSelectedOne)
{
    Make(0, 400, {});
    AddAll(Many(10, L"Conversation "));
    strip.SetCurSel(3);
    std::vector<int> natural;
    int total = 10;
    for (int i = 0; i < 10; ++i) total += natural.emplace_back(NaturalWidth(i));
    const int available = 396 - 10 - natural[3];
    const double ratio = double(available) / (total - 10 - natural[3]);
    ASSERT_GT(natural[0] * ratio, 22) << "the others get proportional widths";
    EXPECT_EQ(natural[3], Width(3));
    for (int i : {0, 5, 9}) EXPECT_EQ(int(natural[i] * ratio + 0.5), Width(i)) << i;
    EXPECT_LE(strip.GetItem(9)->GetRect().right, 398);

    // One short text among long ones: the others share equally.
    strip.SetItemText(5, L"X");
    const int selected = NaturalWidth(3);
    for (int i : {0, 5, 9}) EXPECT_EQ((396 - 10 - selected) / 9, Width(i)) << i;
    EXPECT_EQ(selected, Width(3));
}

TEST_F(TabStrip, WhenEvenAFewLettersDoNotFitAllTabsAreEqual)
{
    Make(0, 400, {});
    AddAll(Many(30, L"Conversation "));
    strip.SetCurSel(4);
    for (int i : {0, 4, 29}) EXPECT_EQ((396 - 10) / 30, Width(i)) << i;
}

TEST_F(TabStrip, ScrollingTabsKeepNaturalWidthsAndTheOffsetStaysInRange)
{
    Make(CTCS_SCROLL, 300, {});
    AddAll(Many(8, L"Conversation "));
    const WTL::CRect area = strip.GetTabItemArea();
    EXPECT_EQ(WTL::CRect(281, 4, 296, 19), strip.GetScrollRightRect());
    EXPECT_EQ(WTL::CRect(266, 4, 281, 19), strip.GetScrollLeftRect());
    EXPECT_EQ(266, area.right);
    EXPECT_EQ(NaturalWidth(5), Width(5));
    EXPECT_TRUE(strip.IsOverflowingRight());
    EXPECT_FALSE(strip.IsOverflowingLeft());

    strip.ScrollRight();
    EXPECT_EQ(-40, strip.GetScrollOffset());
    EXPECT_TRUE(strip.IsOverflowingLeft());
    strip.ScrollLeft();
    strip.ScrollLeft();
    EXPECT_EQ(0, strip.GetScrollOffset());
    EXPECT_FALSE(strip.IsOverflowingLeft());

    // The last tab never leaves a gap at the right.
    for (int i = 0; i < 50; ++i) strip.ScrollRight();
    const int last = strip.GetItemCount() - 1;
    EXPECT_EQ(area.right - 5, strip.GetItem(last)->GetRect().right + strip.GetScrollOffset());
    EXPECT_FALSE(strip.IsOverflowingRight());

    // Without the scroll style the offset is gone.
    strip.ModifyStyle(CTCS_SCROLL, 0);
    EXPECT_EQ(0, strip.GetScrollOffset());
    EXPECT_TRUE(strip.GetScrollRightRect().IsRectEmpty());
}

TEST_F(TabStrip, SelectingAHiddenTabScrollsItIntoView)
{
    Make(CTCS_SCROLL, 300, {});
    AddAll(Many(8, L"Conversation "));
    const WTL::CRect area = strip.GetTabItemArea();
    strip.SetCurSel(6);
    WTL::CRect r = strip.GetItem(6)->GetRect();
    r.OffsetRect(strip.GetScrollOffset(), 0);
    EXPECT_LT(strip.GetScrollOffset(), 0);
    EXPECT_LE(r.right, area.right);
    EXPECT_GE(r.left, area.left);
    strip.SetCurSel(0);
    EXPECT_EQ(0, strip.GetScrollOffset());
}

TEST_F(TabStrip, ButtonsSitAtTheRightEnd)
{
    struct Case {
        DWORD style;
        WTL::CRect close, right, left;
        int areaRight;
    } cases[] = {
        {CTCS_SCROLL | CTCS_CLOSEBUTTON, {281, 4, 296, 19}, {266, 4, 281, 19}, {251, 4, 266, 19}, 251},
        {CTCS_CLOSEBUTTON, {281, 4, 296, 19}, {}, {}, 281},
        {CTCS_BOTTOM | CTCS_CLOSEBUTTON, {282, 6, 297, 21}, {}, {}, 282},
        {CTCS_BOTTOM | CTCS_SCROLL, {}, {282, 6, 297, 21}, {267, 6, 282, 21}, 267},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.style);
        Make(c.style, 300);
        EXPECT_EQ(c.close, strip.GetCloseButtonRect());
        EXPECT_EQ(c.right, strip.GetScrollRightRect());
        EXPECT_EQ(c.left, strip.GetScrollLeftRect());
        EXPECT_EQ(c.areaRight, strip.GetTabItemArea().right);
        Destroy();
    }
}

TEST_F(TabStrip, TheCloseButtonIsOnlyThereForATabThatCanClose)
{
    Make(CTCS_CLOSEBUTTON, 300);
    strip.GetItem(1)->SetCanClose(false);
    strip.SetCurSel(1);
    EXPECT_TRUE(strip.GetCloseButtonRect().IsRectEmpty());
    strip.SetCurSel(-1);
    EXPECT_TRUE(strip.GetCloseButtonRect().IsRectEmpty());
    strip.SetCurSel(2);
    EXPECT_FALSE(strip.GetCloseButtonRect().IsRectEmpty());
}

TEST_F(TabStrip, HitTestNamesWhatLiesUnderAPoint)
{
    Make(CTCS_SCROLL | CTCS_CLOSEBUTTON, 300);
    struct Case {
        POINT pt;
        int index;
        UINT flags;
    } cases[] = {
        {{288, 10}, -1, CTCHT_ONCLOSEBTN},   {{270, 10}, -1, CTCHT_ONSCROLLRIGHTBTN},
        {{255, 10}, -1, CTCHT_ONSCROLLLEFTBTN}, {ItemCentre(1), 1, CTCHT_ONITEM},
        {{240, 10}, -1, CTCHT_NOWHERE},      {{1, 10}, -1, CTCHT_NOWHERE},
    };
    for (const Case& c : cases) {
        UINT flags = 0;
        EXPECT_EQ(c.index, strip.HitTest(c.pt, &flags)) << c.pt.x;
        EXPECT_EQ(c.flags, flags) << c.pt.x;
    }
}

// Mouse and keyboard --------------------------------------------------------

TEST_F(TabStrip, PressingATabSelectsItUnlessTheParentTakesTheClick)
{
    Make(0);
    const POINT at = ItemCentre(1);
    Mouse(WM_LBUTTONDOWN, at);
    EXPECT_EQ(1, strip.GetCurSel());
    EXPECT_EQ(strip.m_hWnd, GetCapture());
    ASSERT_FALSE(Of(NM_CLICK).empty());
    EXPECT_EQ(1, Of(NM_CLICK)[0].first);
    EXPECT_EQ(at.x, Of(NM_CLICK)[0].pt.x);
    Mouse(WM_LBUTTONUP, at);
    EXPECT_EQ(nullptr, GetCapture());
    EXPECT_TRUE(Of(CTCN_CLOSE).empty());

    parent.replies[NM_CLICK] = 1;
    Mouse(WM_LBUTTONDOWN, ItemCentre(2));
    EXPECT_EQ(1, strip.GetCurSel());
    EXPECT_EQ(nullptr, GetCapture());
}

TEST_F(TabStrip, TheButtonsReportClicksThatStartAndEndOnThem)
{
    Make(CTCS_SCROLL | CTCS_CLOSEBUTTON, 300);
    strip.SetCurSel(2);
    log.clear();
    const POINT close = strip.GetCloseButtonRect().CenterPoint();
    Mouse(WM_LBUTTONDOWN, close);
    Mouse(WM_LBUTTONUP, close);
    ASSERT_EQ(1u, Of(CTCN_CLOSE).size());
    EXPECT_EQ(2, Of(CTCN_CLOSE)[0].first);
    EXPECT_EQ(close.x, Of(CTCN_CLOSE)[0].pt.x);

    // A double click on it is one click: the second press does nothing.
    log.clear();
    for (UINT msg : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP}) Mouse(msg, close);
    EXPECT_EQ(std::vector<int>{CTCN_CLOSE}, Codes());

    // Pressed, then moved away and released: nothing.
    log.clear();
    Mouse(WM_LBUTTONDOWN, close);
    Mouse(WM_MOUSEMOVE, {100, 10});
    Mouse(WM_LBUTTONUP, {100, 10});
    EXPECT_TRUE(log.empty());

    // Each scroll button names its side as id, index and wParam; the
    // strip does not scroll by itself.
    for (int side : {1, -1}) {
        log.clear();
        const POINT at = (side > 0 ? strip.GetScrollRightRect() : strip.GetScrollLeftRect()).CenterPoint();
        Mouse(WM_LBUTTONDOWN, at);
        Mouse(WM_LBUTTONUP, at);
        ASSERT_EQ(1u, log.size()) << side;
        EXPECT_EQ(CTCN_MOVEITEM, log[0].code);
        EXPECT_EQ(UINT_PTR(INT_PTR(side)), log[0].idFrom);
        EXPECT_EQ(WPARAM(INT_PTR(side)), log[0].wParam);
        EXPECT_EQ(side, log[0].first);
        EXPECT_EQ(0, log[0].pt.x);
        EXPECT_EQ(0, strip.GetScrollOffset());
    }
}

TEST_F(TabStrip, OtherButtonsAreReportedWithTheTabUnderThem)
{
    Make(0);
    struct Case {
        UINT msg;
        int code;
    } cases[] = {{WM_LBUTTONDBLCLK, int(NM_DBLCLK)}, {WM_RBUTTONDBLCLK, int(NM_RDBLCLK)}, {WM_MBUTTONDOWN, CTCN_MCLICK},
                 {WM_MBUTTONDBLCLK, CTCN_MDBLCLK}};
    for (const Case& c : cases) {
        log.clear();
        Mouse(c.msg, ItemCentre(2));
        ASSERT_EQ(1u, log.size()) << c.code;
        EXPECT_EQ(c.code, log[0].code);
        EXPECT_EQ(2, log[0].first);
        EXPECT_EQ(0, strip.GetCurSel());
    }
    // A right click selects, unless the parent answers it.
    Mouse(WM_RBUTTONDOWN, ItemCentre(1));
    EXPECT_EQ(1, strip.GetCurSel());
    parent.replies[NM_RCLICK] = 1;
    Mouse(WM_RBUTTONDOWN, ItemCentre(2));
    EXPECT_EQ(1, strip.GetCurSel());
}

TEST_F(TabStrip, HotTrackingFollowsTheMouseOverTheTabs)
{
    Make(CTCS_HOTTRACK);
    Mouse(WM_MOUSEMOVE, ItemCentre(1));
    Mouse(WM_MOUSEMOVE, ItemCentre(1));
    EXPECT_EQ(1, strip.GetHotItem());
    Mouse(WM_MOUSEMOVE, ItemCentre(2));
    EXPECT_EQ(2, strip.GetHotItem());
    Mouse(WM_MOUSEMOVE, {1, 12});  // outside the item area
    EXPECT_EQ(-1, strip.GetHotItem());
    // Back over the tabs, the first move only notes the mouse is there.
    Mouse(WM_MOUSEMOVE, ItemCentre(0));
    EXPECT_EQ(-1, strip.GetHotItem());
    Mouse(WM_MOUSEMOVE, ItemCentre(0));
    EXPECT_EQ(0, strip.GetHotItem());
    strip.SendMessage(WM_MOUSELEAVE);
    EXPECT_EQ(-1, strip.GetHotItem());

    // Without the style no tab is hot.
    strip.ModifyStyle(CTCS_HOTTRACK, 0);
    Mouse(WM_MOUSEMOVE, ItemCentre(1));
    Mouse(WM_MOUSEMOVE, ItemCentre(1));
    EXPECT_EQ(-1, strip.GetHotItem());
}

TEST_F(TabStrip, DraggingATabMovesItPastTheMiddleOfAnother)
{
    Make(CTCS_DRAGREARRANGE);
    const POINT press = ItemCentre(0);
    Mouse(WM_LBUTTONDOWN, press);
    Mouse(WM_MOUSEMOVE, {press.x, press.y + 3});
    EXPECT_FALSE(strip.IsDragging());
    EXPECT_TRUE(Of(CTCN_BEGINITEMDRAG).empty());
    Mouse(WM_MOUSEMOVE, {press.x + 1, press.y});
    ASSERT_TRUE(strip.IsDragging());
    ASSERT_EQ(1u, Of(CTCN_BEGINITEMDRAG).size());
    EXPECT_EQ(0, Of(CTCN_BEGINITEMDRAG)[0].first);
    EXPECT_EQ(press.x, Of(CTCN_BEGINITEMDRAG)[0].pt.x);

    // Short of the middle of C nothing moves; past it, A goes behind C.
    WTL::CRect c = strip.GetItem(2)->GetRect();
    Mouse(WM_MOUSEMOVE, {c.left + 2, press.y});
    EXPECT_EQ(L"ABC", Order());
    Mouse(WM_MOUSEMOVE, {c.right - 2, press.y});
    EXPECT_EQ(L"BCA", Order());
    EXPECT_EQ(2, strip.GetCurSel());
    EXPECT_TRUE(Of(CTCN_MOVEITEM).empty());

    Mouse(WM_LBUTTONUP, {c.right - 2, press.y});
    EXPECT_FALSE(strip.IsDragging());
    EXPECT_EQ(nullptr, GetCapture());
    ASSERT_EQ(1u, Of(CTCN_ACCEPTITEMDRAG).size());
    EXPECT_EQ(0, Of(CTCN_ACCEPTITEMDRAG)[0].first);
    EXPECT_EQ(2, Of(CTCN_ACCEPTITEMDRAG)[0].second);
}

TEST_F(TabStrip, ACancelledDragPutsTheTabBack)
{
    Make(CTCS_DRAGREARRANGE);
    for (bool byEscape : {true, false}) {
        SCOPED_TRACE(byEscape ? "escape" : "capture lost");
        log.clear();
        const POINT press = ItemCentre(0);
        Mouse(WM_LBUTTONDOWN, press);
        Mouse(WM_MOUSEMOVE, {press.x + 1, press.y});
        Mouse(WM_MOUSEMOVE, ItemCentre(2));
        Mouse(WM_MOUSEMOVE, {strip.GetItem(2)->GetRect().right - 1, press.y});
        ASSERT_EQ(L"BCA", Order());
        if (byEscape)
            strip.SendMessage(WM_KEYDOWN, VK_ESCAPE);
        else
            ReleaseCapture();
        EXPECT_EQ(L"ABC", Order());
        EXPECT_FALSE(strip.IsDragging());
        ASSERT_EQ(1u, Of(CTCN_CANCELITEMDRAG).size());
        EXPECT_EQ(0, Of(CTCN_CANCELITEMDRAG)[0].first);
        ReleaseCapture();
    }
}

TEST_F(TabStrip, AVetoedDragIsNotAskedForAgain)
{
    Make(CTCS_DRAGREARRANGE);
    parent.replies[CTCN_BEGINITEMDRAG] = 1;
    const POINT press = ItemCentre(0);
    Mouse(WM_LBUTTONDOWN, press);
    Mouse(WM_MOUSEMOVE, {press.x + 1, press.y});
    Mouse(WM_MOUSEMOVE, {press.x + 2, press.y});
    EXPECT_FALSE(strip.IsDragging());
    EXPECT_EQ(1u, Of(CTCN_BEGINITEMDRAG).size());
    Mouse(WM_LBUTTONUP, press);
    EXPECT_TRUE(Of(CTCN_ACCEPTITEMDRAG).empty());

    // Without the style a tab is not dragged at all.
    parent.replies.clear();
    strip.ModifyStyle(CTCS_DRAGREARRANGE, 0);
    log.clear();
    Mouse(WM_LBUTTONDOWN, press);
    Mouse(WM_MOUSEMOVE, {press.x + 5, press.y});
    EXPECT_FALSE(strip.IsDragging());
    EXPECT_TRUE(Of(CTCN_BEGINITEMDRAG).empty());
    Mouse(WM_LBUTTONUP, press);
}

TEST_F(TabStrip, DraggingIntoTheRightEdgeScrolls)
{
    Make(CTCS_SCROLL | CTCS_DRAGREARRANGE, 300, {});
    AddAll(Many(8, L"Conversation "));
    const POINT press = ItemCentre(0);
    Mouse(WM_LBUTTONDOWN, press);
    Mouse(WM_MOUSEMOVE, {press.x + 1, press.y});
    ASSERT_TRUE(strip.IsDragging());
    Mouse(WM_MOUSEMOVE, {strip.GetTabItemArea().right - 5, press.y});
    EXPECT_EQ(-40, strip.GetScrollOffset());
    Mouse(WM_LBUTTONUP, {strip.GetTabItemArea().right - 5, press.y});
}

TEST_F(TabStrip, TheArrowKeysMoveTheSelection)
{
    Make(0);
    EXPECT_NE(0, strip.SendMessage(WM_GETDLGCODE) & DLGC_WANTARROWS);
    strip.SetCurSel(1);
    const std::pair<WPARAM, int> steps[] = {{VK_LEFT, 0}, {VK_LEFT, 0}, {VK_RIGHT, 1}, {VK_RIGHT, 2}, {VK_RIGHT, 2}};
    for (const auto& step : steps) {
        strip.SendMessage(WM_KEYDOWN, step.first);
        EXPECT_EQ(step.second, strip.GetCurSel());
    }
}

// Tooltip -------------------------------------------------------------------

TEST_F(TabStrip, TheTooltipHasAToolPerTabAndButton)
{
    Make(CTCS_TOOLTIPS | CTCS_SCROLL | CTCS_CLOSEBUTTON, 300);
    WTL::CToolTipCtrl tips(strip.GetToolTips());
    ASSERT_TRUE(tips.IsWindow());
    EXPECT_EQ(3 + 3, tips.GetToolCount());
    strip.DeleteItem(0);
    EXPECT_EQ(3 + 2, tips.GetToolCount());
    strip.ModifyStyle(CTCS_SCROLL, 0);
    EXPECT_EQ(1 + 2, tips.GetToolCount());
    strip.ModifyStyle(CTCS_CLOSEBUTTON, 0);
    EXPECT_EQ(2, tips.GetToolCount());

    // A tab's tip is its tooltip text, else its text.
    strip.GetItem(1)->SetToolTip(L"Talk to C");
    for (int id : {1, 2}) {
        NMTTDISPINFOW info = {};
        info.hdr = {tips.m_hWnd, UINT_PTR(id), UINT(TTN_GETDISPINFOW)};
        strip.SendMessage(WM_NOTIFY, 0, LPARAM(&info));
        ASSERT_NE(nullptr, info.lpszText);
        EXPECT_STREQ(id == 1 ? L"B" : L"Talk to C", info.lpszText);
    }
}
