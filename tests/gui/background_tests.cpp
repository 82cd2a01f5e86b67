// The painted dialog base: the host's background under the page, the veil,
// the border, the banner, and the captures of what was painted.
#include <gtest/gtest.h>

#include <cstring>

#include "BackgroundDlg.h"
#include "BackgroundHost.h"
#include "GuiHarness.h"
#include "WindowImpl.h"

using gui::Pattern;
using gui::PatternBitmap;
using gui::Rgb;
using gui::Veil;
using gui::Veiled;

namespace {
// The English texts of the banner's slots.
void FillBannerTexts()
{
    const wchar_t* texts[] = {L"Elliptic Curve Encryption:", L"Key Exchange:", L"Voice Encryption:",
                              L"File Encryption:", L"384 Bits", L"512 Bits", L"AES 256 Bits", L"Version: ",
                              L"AES 256 Bits"};
    for (int k = 0; k < 9; ++k) lstrcpynW(LanguageTable[129 + k], texts[k], kLanguageSlotUnits);
}

typedef BackgroundHost Host;

class Page : public CBackgroundDlg<Page> {
public:
    enum { IDD = IDD_ABOUT };
    Host* host = nullptr;
    HWND captureControl = nullptr;
    WTL::CBitmap controlBackground;

    WTL::CBitmap* GetParentBackground() { return host ? &host->background : nullptr; }

    BEGIN_MSG_MAP(Page)
        CHAIN_MSG_MAP(CBackgroundDlg<Page>)
    END_MSG_MAP()

    void DoPaint(WTL::CDCHandle dc)
    {
        DrawBackground(dc);
        if (captureControl) CaptureControlBackground(captureControl, controlBackground, dc);
    }
};

struct PaintedPage : ::testing::Test {
    Host host;
    Page page;
    static constexpr int kLeft = 30, kTop = 40, kWidth = 360, kHeight = 240;

    void SetUp() override
    {
        FillBannerTexts();
        RECT r = {100, 100, 100 + 480, 100 + 320};
        ASSERT_NE(nullptr, host.Create(nullptr, &r, L"host", WS_POPUP | WS_CLIPCHILDREN));
        page.host = &host;
        ASSERT_NE(nullptr, page.Create(host));
        page.MoveWindow(kLeft, kTop, kWidth, kHeight, FALSE);
    }
    void TearDown() override { host.DestroyWindow(); }

    void UsePattern() { host.background.Attach(PatternBitmap(480, 504)); }
    void Plain()
    {
        page.m_banner = false;
        page.m_whiteBorder = false;
    }
    gui::Pixels Paint() { return gui::CaptureClient(page); }
};
}  // namespace

TEST_F(PaintedPage, HostBackgroundUnderThePageUnderAVeil)
{
    UsePattern();
    Plain();
    gui::Pixels p = Paint();
    ASSERT_EQ(kWidth, p.width);
    for (POINT at : {POINT{0, 0}, POINT{17, 3}, POINT{150, 120}, POINT{kWidth - 1, kHeight - 1}}) {
        SCOPED_TRACE(std::to_string(at.x) + "," + std::to_string(at.y));
        EXPECT_TRUE(gui::Near(Veiled(Pattern(at.x + kLeft, at.y + kTop)), p.At(at.x, at.y), 1));
    }
    page.m_veiledBackground = false;
    p = Paint();
    EXPECT_EQ(Pattern(kLeft, kTop), p.At(0, 0));
    EXPECT_EQ(Pattern(kLeft + 150, kTop + 120), p.At(150, 120));
}

TEST_F(PaintedPage, VeilStrengthFollowsTheSetting)
{
    UsePattern();
    Plain();
    page.m_veilAlpha = 128;
    gui::Pixels p = Paint();
    uint32_t under = Pattern(kLeft + 10, kTop + 10);
    uint32_t expected = Rgb(Veil(gui::Red(under), 128), Veil(gui::Green(under), 128), Veil(gui::Blue(under), 128));
    EXPECT_TRUE(gui::Near(expected, p.At(10, 10), 1));
}

TEST_F(PaintedPage, WithoutABackgroundTheVeilBorderAndBannerStillShow)
{
    page.host = nullptr;
    gui::Pixels p = Paint();
    EXPECT_TRUE(gui::Near(Rgb(Veil(0), Veil(0), Veil(0)), p.At(20, 20), 1)) << "the veil over an empty surface";
    EXPECT_EQ(Rgb(255, 255, 255), p.At(kWidth - 1, 10));
    EXPECT_EQ(Rgb(255, 255, 255), p.At(10, kHeight - 1));
    int bannerPixels = 0;
    for (int y = kHeight - 70; y < kHeight - 2; ++y)
        for (int x = 1; x < kWidth - 1; ++x) bannerPixels += !gui::Near(p.At(x, y), Rgb(Veil(0), Veil(0), Veil(0)), 1);
    EXPECT_GT(bannerPixels, 500);
}

TEST_F(PaintedPage, BorderDrawsRightBottomAndLeftEdges)
{
    UsePattern();
    page.m_banner = false;
    gui::Pixels p = Paint();
    const uint32_t white = Rgb(255, 255, 255);
    for (int y = 0; y < kHeight; ++y) EXPECT_EQ(white, p.At(kWidth - 1, y)) << "right " << y;
    for (int x = 0; x < kWidth; ++x) EXPECT_EQ(white, p.At(x, kHeight - 1)) << "bottom " << x;
    for (int y = 1; y < kHeight; ++y) EXPECT_EQ(white, p.At(0, y)) << "left " << y;
    // The top edge is not drawn: only the right edge's first pixel lies on it.
    for (int x = 0; x < kWidth - 1; ++x)
        EXPECT_TRUE(gui::Near(Veiled(Pattern(x + kLeft, kTop)), p.At(x, 0), 1)) << "top " << x;
}

namespace {
struct BannerLayout {
    int x, y, logoWidth, logoHeight, firstWidth;
};
BannerLayout Layout(int width, int height)
{
    WTL::CFont font;
    font.CreatePointFontIndirect(&Page::BannerFont());
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    SIZE first, second;
    GetTextExtentPoint32W(dc, L"Elliptic Curve Encryption:", 26, &first);
    GetTextExtentPoint32W(dc, L"16,384 Bits", 11, &second);
    SelectObject(dc, old);
    DeleteDC(dc);
    WTL::CBitmap logo;
    logo.LoadBitmap(IDB_LOGO);
    SIZE size = {};
    logo.GetSize(size);
    int total = first.cx + second.cx + 80 + size.cx;
    return {width / 2 - total / 2, height - 70, size.cx, size.cy, first.cx};
}

uint32_t LogoPixel(int x, int y)
{
    WTL::CBitmap logo;
    logo.LoadBitmap(IDB_LOGO);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, logo);
    COLORREF c = GetPixel(dc, x, y);
    SelectObject(dc, old);
    DeleteDC(dc);
    return Rgb(GetRValue(c), GetGValue(c), GetBValue(c));
}
}  // namespace

TEST_F(PaintedPage, BannerIsLaidOutFromTheFixedStrings)
{
    UsePattern();
    page.m_whiteBorder = false;
    gui::Pixels p = Paint();
    BannerLayout l = Layout(kWidth, kHeight);
    ASSERT_GE(l.x, 0);
    auto background = [&](int x, int y) { return Veiled(Pattern(x + kLeft, y + kTop)); };

    EXPECT_EQ(LogoPixel(l.logoWidth / 2, l.logoHeight / 2), p.At(l.x + l.logoWidth / 2, l.y + l.logoHeight / 2));
    EXPECT_TRUE(gui::Near(background(l.x, l.y), p.At(l.x, l.y), 1)) << "the logo's key colour is transparent";
    for (int x = 0; x < kWidth; ++x)
        ASSERT_TRUE(gui::Near(background(x, l.y - 3), p.At(x, l.y - 3), 1)) << "nothing above the banner " << x;
    for (int x = l.x + l.logoWidth + 1; x < l.x + l.logoWidth + 17; ++x)
        EXPECT_TRUE(gui::Near(background(x, l.y + 8), p.At(x, l.y + 8), 1)) << "gap before the first column " << x;

    // First column, row 0: grey text with a white copy one pixel up-left.
    int white = 0, changed = 0;
    for (int y = l.y - 1; y < l.y + 16; ++y)
        for (int x = l.x + l.logoWidth + 19; x < l.x + l.logoWidth + 20 + l.firstWidth; ++x) {
            white += p.At(x, y) == Rgb(255, 255, 255);
            changed += !gui::Near(background(x, y), p.At(x, y), 1);
        }
    EXPECT_GT(white, 20);
    EXPECT_GT(changed, 60);
    // Second column, row 0: blue text.
    int blue = 0;
    for (int y = l.y - 1; y < l.y + 16; ++y)
        for (int x = l.x + l.logoWidth + l.firstWidth + 79; x < kWidth; ++x) {
            uint32_t c = p.At(x, y);
            blue += gui::Blue(c) - gui::Red(c) > 60;
        }
    EXPECT_GT(blue, 10);
}

TEST_F(PaintedPage, NarrowPagePutsTheLogoLeftOfItsEdge)
{
    UsePattern();
    page.m_whiteBorder = false;
    page.MoveWindow(kLeft, kTop, 280, kHeight, FALSE);
    gui::Pixels p = Paint();
    BannerLayout l = Layout(280, kHeight);
    ASSERT_LT(l.x, 0);
    int inside = l.logoWidth / 2 + 10;
    ASSERT_GE(l.x + inside, 0);
    EXPECT_EQ(LogoPixel(inside, l.logoHeight / 2), p.At(l.x + inside, l.y + l.logoHeight / 2));
}

TEST_F(PaintedPage, CaptureAfterRequestEqualsThePaintedClientArea)
{
    UsePattern();
    host.ShowWindow(SW_SHOW);
    page.ShowWindow(SW_SHOW);
    gui::PumpMessages(50);
    page.m_capturedBackground.DeleteObject();
    page.RequestRepaint();
    EXPECT_TRUE(page.m_captureRequested);
    page.UpdateWindow();
    EXPECT_FALSE(page.m_captureRequested);
    ASSERT_FALSE(page.m_capturedBackground.IsNull());

    HDC memory = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(memory, page.m_capturedBackground);
    gui::Pixels captured = gui::CaptureDC(memory, 0, 0, kWidth, kHeight);
    SelectObject(memory, old);
    DeleteDC(memory);
    HDC window = GetDC(page);
    gui::Pixels shown = gui::CaptureDC(window, 0, 0, kWidth, kHeight);
    ReleaseDC(page, window);
    EXPECT_TRUE(captured.data == shown.data) << "border and banner included";

    // Without a request the copy stays as it was.
    HBITMAP kept = page.m_capturedBackground;
    page.Invalidate();
    page.UpdateWindow();
    EXPECT_EQ(kept, static_cast<HBITMAP>(page.m_capturedBackground));
}

TEST_F(PaintedPage, ControlCapturesWhatThePagePaintedUnderIt)
{
    UsePattern();
    Plain();
    HWND button = CreateWindowExW(0, L"BUTTON", L"", WS_CHILD, 50, 60, 73, 23, page, nullptr, nullptr, nullptr);
    page.captureControl = button;
    gui::Pixels p = Paint();
    ASSERT_FALSE(page.controlBackground.IsNull());
    HDC memory = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(memory, page.controlBackground);
    gui::Pixels captured = gui::CaptureDC(memory, 0, 0, 73, 23);
    SelectObject(memory, old);
    DeleteDC(memory);
    for (POINT at : {POINT{0, 0}, POINT{72, 22}, POINT{30, 11}})
        EXPECT_EQ(p.At(50 + at.x, 60 + at.y), captured.At(at.x, at.y)) << at.x << "," << at.y;
}

TEST_F(PaintedPage, RectanglePainterCopiesOnlyItsRectangle)
{
    UsePattern();
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP target = CreateCompatibleBitmap(screen, 40, 40);
    HGDIOBJ old = SelectObject(dc, target);
    RECT rect = {10, 12, 20, 25};
    PaintParentBackgroundRect(dc, host, page, rect, &host.background);
    gui::Pixels p = gui::CaptureDC(dc, 0, 0, 40, 40);
    EXPECT_EQ(Pattern(kLeft + 10, kTop + 12), p.At(10, 12));
    EXPECT_EQ(Pattern(kLeft + 19, kTop + 24), p.At(19, 24));
    EXPECT_EQ(0u, p.At(9, 12));
    EXPECT_EQ(0u, p.At(20, 24));
    PaintParentBackgroundRect(dc, host, page, {0, 0, 5, 5}, nullptr);
    EXPECT_EQ(0u, gui::CaptureDC(dc, 0, 0, 5, 5).At(2, 2)) << "no bitmap, no copy";
    SelectObject(dc, old);
    DeleteObject(target);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
}

TEST(PaintedPageLook, ScreenshotOverTheProgramsBackground)
{
    FillBannerTexts();
    Host host;
    RECT r = {60, 60, 60 + 420, 60 + 380};
    ASSERT_NE(nullptr, host.Create(nullptr, &r, L"painted page", WS_POPUP | WS_CLIPCHILDREN | WS_VISIBLE));
    host.background.LoadBitmap(IDB_BACKGROUND);
    Page page;
    page.host = &host;
    ASSERT_NE(nullptr, page.Create(host));
    page.MoveWindow(15, 15, 390, 350, FALSE);
    page.ShowWindow(SW_SHOW);
    gui::PumpMessages(100);
    gui::Pixels shot = gui::CaptureScreen(host);
    EXPECT_TRUE(gui::SavePng(shot, "painted_page"));
    host.DestroyWindow();
}
