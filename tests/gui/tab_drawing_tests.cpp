// How the tab strip looks: its colours and metrics from the system settings,
// the painted background, edges, separators, the selected tab, the buttons,
// and the parent's part through custom drawing. Screenshots of the strip in
// its styles go to build/win/screenshots/tab_strip_*.png.
#include <gtest/gtest.h>

#include "TabTestWindows.h"
#include "resource.h"

using gui::Rgb;

namespace {

uint32_t Pixel(COLORREF c) { return Rgb(GetRValue(c), GetGValue(c), GetBValue(c)); }
uint32_t Sys(int index) { return Pixel(GetSysColor(index)); }

using gui::Pattern;
using gui::Veiled;

struct TabDrawing : ::testing::Test, tabtest::StripFixture {
    WTL::CBitmap picture;
    static constexpr int kLeft = 10, kTop = 10;  // the strip in its parent

    void TearDown() override { Destroy(); }

    void Make(DWORD styles, int width = 360, std::initializer_list<const wchar_t*> texts = {L"First", L"Second",
                                                                                         L"Third"})
    {
        ASSERT_TRUE(Create(styles, width));
        for (const wchar_t* t : texts) Add(t);
        picture.Attach(gui::PatternBitmap(width + 40, 80));
        strip.SetBackgroundBitmap(&picture);
    }
    // What the parent's picture shows, veiled, under a strip pixel.
    uint32_t Under(int x, int y) const { return Veiled(Pattern(x + kLeft, y + kTop)); }
    WTL::CRect ItemRect(int index) const { return strip.GetItem(index)->GetRect(); }
};

}  // namespace

// Settings -----------------------------------------------------------------

TEST(TabStripColors, ComeFromTheButtonColoursAndTheDisplayDepth)
{
    struct Case {
        int bitsPerPixel;
        COLORREF face, text;
        bool windowBrush;
        COLORREF background, inactiveText;
    } cases[] = {
        {8, RGB(200, 200, 200), RGB(0, 0, 0), true, 0, RGB(1, 2, 3)},           // the window brush, grey text
        {32, RGB(0, 0, 0), RGB(0, 0, 0), false, RGB(35, 35, 35), RGB(0, 0, 0)},  // black face and text
        {32, RGB(236, 233, 216), RGB(255, 255, 255), false, RGB(255, 252, 233), RGB(211, 211, 211)},
        {24, RGB(100, 50, 0), RGB(128, 20, 60), false, RGB(135, 68, 0), RGB(84, 10, 39)},
        {16, RGB(220, 110, 0), RGB(42, 43, 0), false, RGB(255, 128, 0), RGB(21, 0, 0)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bitsPerPixel);
        const TabStripColors colors = ChooseTabStripColors(c.bitsPerPixel, c.face, c.text, RGB(1, 2, 3));
        EXPECT_EQ(c.windowBrush, colors.windowBrush);
        if (!c.windowBrush) {
            EXPECT_EQ(Pixel(c.background), Pixel(colors.background));
        }
        EXPECT_EQ(Pixel(c.inactiveText), Pixel(colors.inactiveText));
    }
}

TEST(TabStripColors, TheTextMovesDownForLargerFonts)
{
    const std::pair<LONG, int> cases[] = {{-11, 0}, {-12, 0}, {-13, 1}, {-15, 2}, {-21, 5}};
    for (const auto& c : cases) EXPECT_EQ(c.second, TabTextTopOffset(c.first)) << c.first;
}

TEST_F(TabDrawing, TheStripTakesItsLookFromTheSystemAtCreation)
{
    Make(CTCS_BOLDSELECTEDTAB);
    HDC dc = GetDC(strip);
    const TabStripColors expected = ChooseTabStripColors(GetDeviceCaps(dc, BITSPIXEL), GetSysColor(COLOR_BTNFACE),
                                                         GetSysColor(COLOR_BTNTEXT), GetSysColor(COLOR_GRAYTEXT));
    ReleaseDC(strip, dc);
    LOGBRUSH brush = {};
    ASSERT_TRUE(GetObjectW(strip.GetBackgroundBrush(), sizeof(brush), &brush));
    EXPECT_EQ(Pixel(expected.background), Pixel(brush.lbColor));
    EXPECT_EQ(Pixel(expected.inactiveText), Pixel(strip.GetInactiveTextColor()));

    LOGFONTW icon = {}, normal = {}, selected = {};
    SystemParametersInfoW(SPI_GETICONTITLELOGFONT, sizeof(icon), &icon, 0);
    GetObjectW(strip.GetFont(), sizeof(normal), &normal);
    GetObjectW(strip.GetSelectedFont(), sizeof(selected), &selected);
    EXPECT_STREQ(icon.lfFaceName, normal.lfFaceName);
    EXPECT_EQ(icon.lfHeight, normal.lfHeight);
    EXPECT_EQ(icon.lfWeight, normal.lfWeight);
    EXPECT_EQ(FW_BOLD, selected.lfWeight);
    EXPECT_EQ(TabTextTopOffset(icon.lfHeight), strip.GetTextTopOffset());

    // A settings change keeps fonts that still match.
    HFONT before = strip.GetFont();
    strip.SendMessage(WM_SETTINGCHANGE);
    EXPECT_EQ(before, strip.GetFont());

    // A font set from outside is copied.
    WTL::CFont other;
    other.CreatePointFont(140, L"Tahoma");
    strip.SetFont(other);
    LOGFONTW copied = {};
    GetObjectW(strip.GetFont(), sizeof(copied), &copied);
    EXPECT_NE(other.m_hObj, strip.GetFont());
    EXPECT_STREQ(L"Tahoma", copied.lfFaceName);
}

// Painting -------------------------------------------------------------------

TEST_F(TabDrawing, TabsAtTheTopStandInAFrameOverTheVeiledPicture)
{
    Make(0);
    strip.SetCurSel(1);
    gui::Pixels p = gui::CaptureClient(strip);
    ASSERT_EQ(360, p.width);
    const int w = p.width, base = 24 - 3;
    // Beyond the last tab only the picture shows.
    const int free = ItemRect(2).right + 10;
    EXPECT_TRUE(gui::Near(Under(free, 10), p.At(free, 10), 1));
    EXPECT_EQ(Sys(COLOR_BTNHIGHLIGHT), p.At(free, base));
    EXPECT_EQ(Sys(COLOR_BTNSHADOW), p.At(0, 10));
    EXPECT_EQ(Sys(COLOR_BTNSHADOW), p.At(free, 0));
    EXPECT_EQ(Sys(COLOR_BTNHIGHLIGHT), p.At(w - 1, 10));
    EXPECT_EQ(Sys(COLOR_BTNFACE), p.At(1, 10));
    EXPECT_EQ(Sys(COLOR_BTNFACE), p.At(w - 2, 10));
    // Below the base line the picture again.
    EXPECT_TRUE(gui::Near(Under(free, 23), p.At(free, 23), 1));

    // The tab before the selected one has no separator, the one after it
    // has; the selected one is washed white, lit on the left and top, dark
    // on the right.
    const WTL::CRect first = ItemRect(0), second = ItemRect(1), third = ItemRect(2);
    EXPECT_TRUE(gui::Near(Under(first.right - 1, 12), p.At(first.right - 1, 12), 1));
    EXPECT_EQ(Sys(COLOR_BTNSHADOW), p.At(third.right - 1, 12));
    EXPECT_EQ(Sys(COLOR_BTNSHADOW), p.At(third.right - 1, 5));
    EXPECT_TRUE(gui::Near(Under(third.right - 1, 4), p.At(third.right - 1, 4), 1));
    EXPECT_EQ(Sys(COLOR_BTNHIGHLIGHT), p.At(second.left, 12));
    EXPECT_EQ(Sys(COLOR_BTNHIGHLIGHT), p.At(second.left + 5, 3));
    EXPECT_EQ(Sys(COLOR_BTNTEXT), p.At(second.right - 1, 12));
    EXPECT_TRUE(gui::Near(Veiled(Under(second.left + 2, 6)), p.At(second.left + 2, 6), 2));
    gui::SavePng(p, "tab_strip_top_plain");
}

TEST_F(TabDrawing, TabsAtTheBottomHangFromADarkLine)
{
    Make(CTCS_BOTTOM);
    strip.SetCurSel(0);
    gui::Pixels p = gui::CaptureClient(strip);
    const int free = ItemRect(2).right + 10;
    EXPECT_EQ(Sys(COLOR_BTNFACE), p.At(free, 0));
    EXPECT_EQ(Sys(COLOR_BTNFACE), p.At(free, 1));
    EXPECT_EQ(Sys(COLOR_BTNTEXT), p.At(free, 2));
    EXPECT_TRUE(gui::Near(Under(free, 12), p.At(free, 12), 1));

    const WTL::CRect first = ItemRect(0), second = ItemRect(1);
    EXPECT_EQ(Sys(COLOR_BTNHIGHLIGHT), p.At(first.left, 10));
    EXPECT_EQ(Sys(COLOR_BTNTEXT), p.At(first.right - 1, 10));
    EXPECT_EQ(Sys(COLOR_BTNTEXT), p.At(first.left + 4, 22));
    EXPECT_TRUE(gui::Near(Veiled(Under(first.left + 2, 5)), p.At(first.left + 2, 5), 2));
    // A separator from three pixels below the tab's top.
    EXPECT_EQ(Sys(COLOR_BTNSHADOW), p.At(second.right - 1, 12));
    EXPECT_TRUE(gui::Near(Under(second.right - 1, 5), p.At(second.right - 1, 5), 1));
    gui::SavePng(p, "tab_strip_bottom_plain");
}

TEST_F(TabDrawing, AHighlightedTabIsFilledAndItsTextLit)
{
    Make(CTCS_BOTTOM);
    strip.GetItem(2)->SetHighlighted(true);
    gui::Pixels p = gui::CaptureClient(strip);
    const WTL::CRect third = ItemRect(2);
    // (left + 1, top + 3 + 3, right - 2, bottom - 2 - 1) of the item.
    EXPECT_EQ(Sys(COLOR_HIGHLIGHT), p.At(third.left + 1, 6));
    EXPECT_EQ(Sys(COLOR_HIGHLIGHT), p.At(third.right - 3, 20));
    EXPECT_NE(Sys(COLOR_HIGHLIGHT), p.At(third.left + 1, 5));
}

TEST_F(TabDrawing, TheCloseButtonIsAnXThatRisesWhenHot)
{
    Make(CTCS_CLOSEBUTTON | CTCS_SCROLL);
    const WTL::CRect close = strip.GetCloseButtonRect();
    const uint32_t ink = Pixel(strip.GetInactiveTextColor());
    gui::Pixels p = gui::CaptureClient(strip);
    for (POINT at : {POINT{close.left + 3, close.top + 4}, POINT{close.left + 4, close.top + 4},
                     POINT{close.left + 3, close.bottom - 5}, POINT{close.left + 7, close.top + 8}})
        EXPECT_EQ(ink, p.At(at.x, at.y)) << at.x << "," << at.y;
    EXPECT_TRUE(gui::Near(Under(close.left + 7, close.top + 2), p.At(close.left + 7, close.top + 2), 1));

    // Two moves over the button make it hot: a raised edge.
    Mouse(WM_MOUSEMOVE, close.CenterPoint());
    Mouse(WM_MOUSEMOVE, close.CenterPoint());
    p = gui::CaptureClient(strip);
    EXPECT_EQ(Sys(COLOR_BTNHIGHLIGHT), p.At(close.left + 3, close.top));
    EXPECT_EQ(Sys(COLOR_BTNSHADOW), p.At(close.left + 3, close.bottom - 1));
    // Pressed: sunken, and the X one pixel down and right.
    Mouse(WM_LBUTTONDOWN, close.CenterPoint());
    p = gui::CaptureClient(strip);
    EXPECT_EQ(Sys(COLOR_BTNSHADOW), p.At(close.left + 3, close.top));
    EXPECT_EQ(ink, p.At(close.left + 4, close.top + 5));
    EXPECT_NE(ink, p.At(close.left + 3, close.top + 4));
    Mouse(WM_LBUTTONUP, close.CenterPoint());
}

TEST_F(TabDrawing, TheScrollButtonsPointLeftAndRight)
{
    Make(CTCS_SCROLL, 240, {L"Conversation one", L"Conversation two", L"Conversation three"});
    const uint32_t ink = Pixel(strip.GetInactiveTextColor());
    gui::Pixels p = gui::CaptureClient(strip);
    const WTL::CRect right = strip.GetScrollRightRect(), left = strip.GetScrollLeftRect();
    const int middle = (right.top + right.bottom) / 2;
    // The right one's broad side is on its left, the left one's on its right.
    EXPECT_EQ(ink, p.At(right.left + 5, right.top + 3));
    EXPECT_EQ(ink, p.At(right.right - 6, middle));
    EXPECT_TRUE(gui::Near(Under(right.right - 6, right.top + 3), p.At(right.right - 6, right.top + 3), 1));
    EXPECT_EQ(ink, p.At(left.right - 6, left.top + 3));
    EXPECT_EQ(ink, p.At(left.left + 5, middle));
    EXPECT_TRUE(gui::Near(Under(left.left + 5, left.top + 3), p.At(left.left + 5, left.top + 3), 1));
    // Tabs do not run under the buttons, though the third one reaches there.
    for (int i = 0; i < 3; ++i) strip.GetItem(i)->SetHighlighted(true);
    p = gui::CaptureClient(strip);
    ASSERT_GT(ItemRect(2).right, left.right);
    EXPECT_EQ(Sys(COLOR_HIGHLIGHT), p.At(left.left - 2, 12));
    EXPECT_TRUE(gui::Near(Under(left.left + 2, 12), p.At(left.left + 2, 12), 1));
}

TEST_F(TabDrawing, SkippingTheDefaultShowsOnlyTheParentsDrawing)
{
    Make(CTCS_CLOSEBUTTON);
    parent.customDraw = [](NMCTCCUSTOMDRAW* cd) -> LRESULT {
        if (cd->nmcd.dwDrawStage != CDDS_PREPAINT) return CDRF_DODEFAULT;
        HBRUSH green = CreateSolidBrush(RGB(20, 180, 60));
        FillRect(cd->nmcd.hdc, &cd->nmcd.rc, green);
        DeleteObject(green);
        return CDRF_SKIPDEFAULT;
    };
    gui::Pixels p = gui::CaptureClient(strip);
    for (uint32_t v : p.data) ASSERT_EQ(Rgb(20, 180, 60), v);
}

TEST_F(TabDrawing, TheParentIsAskedForEachItemWithItsState)
{
    Make(CTCS_HOTTRACK);
    strip.SetCurSel(1);
    strip.GetItem(2)->SetHighlighted(true);
    Mouse(WM_MOUSEMOVE, ItemCentre(0));
    Mouse(WM_MOUSEMOVE, ItemCentre(0));
    ASSERT_EQ(0, strip.GetHotItem());

    struct Stage {
        DWORD stage;
        DWORD_PTR item;
        UINT state;
        RECT rc;
    };
    std::vector<Stage> stages;
    NMCTCCUSTOMDRAW first = {};
    parent.customDraw = [&](NMCTCCUSTOMDRAW* cd) -> LRESULT {
        stages.push_back({cd->nmcd.dwDrawStage, cd->nmcd.dwItemSpec, cd->nmcd.uItemState, cd->nmcd.rc});
        if (cd->nmcd.dwDrawStage == CDDS_PREPAINT) {
            first = *cd;
            return CDRF_NOTIFYITEMDRAW | CDRF_NOTIFYPOSTPAINT;
        }
        return cd->nmcd.dwDrawStage == CDDS_ITEMPREPAINT && cd->nmcd.dwItemSpec == 2 ? CDRF_NOTIFYPOSTPAINT : 0;
    };
    gui::CaptureClient(strip);
    ASSERT_EQ(6u, stages.size());
    const DWORD expected[][3] = {{CDDS_PREPAINT, 0, 0},
                                 {CDDS_ITEMPREPAINT, 0, CDIS_HOT},
                                 {CDDS_ITEMPREPAINT, 2, CDIS_MARKED},
                                 {CDDS_ITEMPOSTPAINT, 2, CDIS_MARKED},
                                 {CDDS_ITEMPREPAINT, 1, CDIS_SELECTED},
                                 {CDDS_POSTPAINT, 0, 0}};
    for (size_t i = 0; i < stages.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(expected[i][0], stages[i].stage);
        if (stages[i].stage & CDDS_ITEM) {
            EXPECT_EQ(expected[i][1], stages[i].item);
            EXPECT_EQ(expected[i][2], stages[i].state);
            EXPECT_TRUE(WTL::CRect(stages[i].rc) == ItemRect(static_cast<int>(stages[i].item)));
        }
    }
    EXPECT_EQ(strip.GetFont(), first.hFontInactive);
    EXPECT_EQ(strip.GetBackgroundBrush(), first.hBrushBackground);
    EXPECT_EQ(strip.GetInactiveTextColor(), first.clrTextInactiveTab);
    EXPECT_EQ(GetSysColor(COLOR_BTNTEXT), first.clrTextSelectedTab);
    EXPECT_EQ(GetSysColor(COLOR_BTNFACE), first.clrSelectedTab);
    EXPECT_EQ(GetSysColor(COLOR_HOTLIGHT), first.clrHighlightHotTrack);
    EXPECT_EQ(GetSysColor(COLOR_BTNSHADOW), first.clrBtnShadow);
    EXPECT_TRUE(WTL::CRect(stages[5].rc) == WTL::CRect(0, 0, 360, 24));
}

// Screenshots of the strip as the conversation window uses it ---------------

TEST_F(TabDrawing, ScreenshotsOverTheProgramsPicture)
{
    struct Shot {
        const char* name;
        DWORD style;
        int width;
    } shots[] = {
        {"tab_strip_top", CTCS_SCROLL | CTCS_CLOSEBUTTON | CTCS_HOTTRACK | CTCS_DRAGREARRANGE | CTCS_TOOLTIPS, 440},
        {"tab_strip_bottom", CTCS_BOTTOM | CTCS_CLOSEBUTTON | CTCS_HOTTRACK | CTCS_TOOLTIPS, 440},
        {"tab_strip_overflow", CTCS_SCROLL | CTCS_CLOSEBUTTON | CTCS_HOTTRACK | CTCS_TOOLTIPS, 300},
        {"tab_strip_fit_crowded", CTCS_CLOSEBUTTON | CTCS_BOLDSELECTEDTAB | CTCS_TOOLTIPS, 300},
    };
    WTL::CBitmap art;
    ASSERT_TRUE(art.LoadBitmap(IDB_BACKGROUND));
    for (const Shot& s : shots) {
        SCOPED_TRACE(s.name);
        ASSERT_TRUE(Create(s.style, s.width));
        for (const wchar_t* t : {L"Contacts", L"Alice Chat", L"Bob Call", L"Carol File transfer", L"About"}) Add(t);
        strip.SetBackgroundBitmap(&art);
        strip.SetCurSel(1);
        Mouse(WM_MOUSEMOVE, ItemCentre(2));
        Mouse(WM_MOUSEMOVE, ItemCentre(2));
        gui::Pixels p = gui::CaptureClient(strip);
        ASSERT_FALSE(p.Empty());
        EXPECT_TRUE(gui::SavePng(p, s.name));
        Destroy();
        log.clear();
    }
}
