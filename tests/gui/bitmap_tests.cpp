// The DIB section bitmap and the bitmap drawer.
#include <gtest/gtest.h>

#include <vector>

#include "DIBDrawer.h"
#include "DIBSection.h"
#include "GuiHarness.h"
#include "resource.h"

using gui::Rgb;

TEST(DibRules, ColorCountAndRowStride)
{
    struct Count {
        UINT bits;
        DWORD compression, used;
        UINT expected;
    };
    for (Count c : {Count{1, BI_RGB, 0, 2}, Count{4, BI_RGB, 0, 16}, Count{8, BI_RGB, 0, 256}, Count{8, BI_RGB, 16, 16},
                    Count{8, BI_RGB, 300, 256}, Count{16, BI_RGB, 0, 0}, Count{16, BI_BITFIELDS, 0, 3},
                    Count{32, BI_BITFIELDS, 2, 2}, Count{24, BI_RGB, 0, 0}, Count{24, BI_RGB, 5, 0}}) {
        EXPECT_EQ(c.expected, DibColorCount(c.bits, c.compression, c.used)) << c.bits << "/" << c.used;
    }
    EXPECT_EQ(4u, DibRowStride(1, 1));
    EXPECT_EQ(4u, DibRowStride(32, 1));
    EXPECT_EQ(8u, DibRowStride(33, 1));
    EXPECT_EQ(12u, DibRowStride(3, 24));
    EXPECT_EQ(12u, DibRowStride(4, 24));
    EXPECT_EQ(16u, DibRowStride(5, 24));
    EXPECT_EQ(20u, DibRowStride(5, 32));
}

TEST(DIBSection, CreateDescribesTheSection)
{
    CDIBSection dib;
    ASSERT_TRUE(dib.Create(7, 5, 32));
    EXPECT_EQ(0u, dib.GetColorCount());
    EXPECT_EQ(7u * 4 * 5, dib.GetBitmapInfo()->bmiHeader.biSizeImage);
    EXPECT_NE(nullptr, dib.GetBits());
    ASSERT_TRUE(dib.Create(3, 2, 8));
    EXPECT_EQ(256u, dib.GetColorCount());
    EXPECT_EQ(256u, dib.GetBitmapInfo()->bmiHeader.biClrUsed);
    EXPECT_EQ(4u * 2, dib.GetBitmapInfo()->bmiHeader.biSizeImage);
}

namespace {
struct PaletteInfo {
    BITMAPINFOHEADER header;
    RGBQUAD colors[256];
};
PaletteInfo EightBit(DWORD used)
{
    PaletteInfo info = {};
    info.header.biSize = sizeof(BITMAPINFOHEADER);
    info.header.biWidth = 4;
    info.header.biHeight = 4;
    info.header.biPlanes = 1;
    info.header.biBitCount = 8;
    info.header.biClrUsed = used;
    for (int i = 0; i < 256; ++i) info.colors[i] = {BYTE(i), BYTE(255 - i), 7, 0};
    return info;
}
}  // namespace

TEST(DIBSection, CreateFromInfoCopiesTheColoursInUse)
{
    for (DWORD used : {0u, 16u}) {
        SCOPED_TRACE(used);
        PaletteInfo info = EightBit(used);
        CDIBSection dib;
        ASSERT_TRUE(dib.CreateFromInfo(reinterpret_cast<BITMAPINFO*>(&info)));
        UINT count = used ? used : 256;
        EXPECT_EQ(count, dib.GetColorCount());
        EXPECT_EQ(info.colors[count - 1].rgbBlue, dib.GetColorTable()[count - 1].rgbBlue);
        if (count < 256) {
            EXPECT_EQ(0, dib.GetColorTable()[count].rgbRed) << "entries beyond stay zero";
        }
        EXPECT_EQ(16u, dib.GetBitmapInfo()->bmiHeader.biSizeImage) << "zero image size computed";
    }
}

TEST(DIBSection, TopDownSourceDrawsRightWayUp)
{
    // Two rows of 2 x 24-bit pixels, first row red, second blue, top-down.
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), 2, -2, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    const unsigned char rows[16] = {0, 0, 255, 0, 0, 255, 0, 0, 255, 0, 0, 255, 0, 0, 0, 0};
    CDIBSection dib;
    ASSERT_TRUE(dib.CreateFromInfo(&info, rows));
    EXPECT_EQ(2, dib.GetHeight());
    EXPECT_EQ(16u, dib.GetBitmapInfo()->bmiHeader.biSizeImage);

    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP target = CreateCompatibleBitmap(screen, 8, 8);
    HGDIOBJ old = SelectObject(dc, target);
    EXPECT_EQ(2, dib.Draw(dc, {3, 3}));
    EXPECT_EQ(RGB(255, 0, 0), GetPixel(dc, 3, 3));
    EXPECT_EQ(RGB(0, 0, 255), GetPixel(dc, 4, 4));
    EXPECT_NE(0, dib.Stretch(dc, {0, 4}, {4, 4}));
    EXPECT_EQ(RGB(255, 0, 0), GetPixel(dc, 0, 4));
    EXPECT_EQ(RGB(0, 0, 255), GetPixel(dc, 3, 7));
    SelectObject(dc, old);
    DeleteObject(target);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
}

TEST(DIBSection, HeaderClaimingMoreThanTheSectionIsNotWrittenPast)
{
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), 4, 4, 1, 32, BI_RGB, 1u << 22, 0, 0, 0, 0};
    std::vector<uint32_t> source((1u << 22) / 4, 0x00ABCDEF);
    CDIBSection dib;
    ASSERT_TRUE(dib.CreateFromInfo(&info, source.data()));
    EXPECT_EQ(0x00ABCDEFu, static_cast<uint32_t*>(dib.GetBits())[15]);
}

TEST(DIBSection, ColorTableOnlyForSectionsWithOne)
{
    PaletteInfo info = EightBit(0);
    CDIBSection dib;
    ASSERT_TRUE(dib.CreateFromInfo(reinterpret_cast<BITMAPINFO*>(&info)));
    RGBQUAD grey[257];
    for (int i = 0; i < 257; ++i) grey[i] = {BYTE(i), BYTE(i), BYTE(i), 0};
    EXPECT_FALSE(dib.SetColorTable(0, grey));
    EXPECT_FALSE(dib.SetColorTable(257, grey));
    EXPECT_FALSE(dib.SetColorTable(4, nullptr));
    EXPECT_EQ(255, dib.GetColorTable()[0].rgbGreen) << "unchanged";
    EXPECT_TRUE(dib.SetColorTable(2, grey));
    EXPECT_EQ(0, dib.GetColorTable()[0].rgbGreen);
    EXPECT_EQ(253, dib.GetColorTable()[2].rgbGreen);

    CDIBSection trueColour;
    ASSERT_TRUE(trueColour.Create(2, 2, 24));
    EXPECT_FALSE(trueColour.SetColorTable(2, grey));

    CDIBSection copy;
    ASSERT_TRUE(copy.CopyFrom(dib));
    EXPECT_EQ(256u, copy.GetColorCount());
    EXPECT_EQ(0, copy.GetColorTable()[0].rgbGreen);
}

TEST(DIBSection, EmptyObjectDrawsNothing)
{
    CDIBSection dib;
    HDC dc = CreateCompatibleDC(nullptr);
    EXPECT_EQ(0, dib.Draw(dc, {0, 0}));
    EXPECT_EQ(0, dib.Stretch(dc, {0, 0}, {5, 5}));
    DeleteDC(dc);
    EXPECT_FALSE(dib.CreateFromInfo(nullptr));
    EXPECT_FALSE(dib.CopyFromBitmap(nullptr));
    EXPECT_FALSE(dib.LoadResource(MAKEINTRESOURCEW(9999)));
    EXPECT_EQ(nullptr, dib.GetBitmap());
}

TEST(DIBSection, ResourcesAndBitmapsAreCopiedPixelForPixel)
{
    CDIBSection background;
    ASSERT_TRUE(background.LoadResource(MAKEINTRESOURCEW(IDB_BACKGROUND)));
    EXPECT_EQ(480, background.GetWidth());
    EXPECT_EQ(504, background.GetHeight());
    EXPECT_EQ(24, background.GetBitmapInfo()->bmiHeader.biBitCount);

    HDC screen = GetDC(nullptr);
    HBITMAP source = CreateCompatibleBitmap(screen, 6, 4);
    HDC dc = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(dc, source);
    RECT all = {0, 0, 6, 4};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    SetPixel(dc, 5, 0, RGB(10, 200, 30));
    SelectObject(dc, old);
    CDIBSection copy;
    ASSERT_TRUE(copy.CopyFromBitmap(source));
    EXPECT_EQ(6, copy.GetWidth());
    old = SelectObject(dc, copy.GetBitmap());
    EXPECT_EQ(RGB(10, 200, 30), GetPixel(dc, 5, 0));
    EXPECT_EQ(RGB(255, 255, 255), GetPixel(dc, 0, 3));
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(source);
    ReleaseDC(nullptr, screen);
}

namespace {
const uint32_t kWhite = 0xFFFFFFFF;
const uint32_t kRed = 0xFFFF0000;

// A 32 x 24 white image with guard words after it, to catch writes past
// the buffer.
struct Drawer : ::testing::Test {
    static constexpr int W = 32, H = 24, kGuard = 64;
    std::vector<uint32_t> buffer = std::vector<uint32_t>(W * H + kGuard, kWhite);
    winDIB dib{nullptr};

    void SetUp() override { dib.SetBits(buffer.data(), W * H * 4, W, H, 32); }
    uint32_t At(int x, int y) const { return buffer[y * W + x]; }
    int CountNot(uint32_t value) const
    {
        int n = 0;
        for (int i = 0; i < W * H; ++i) n += buffer[i] != value;
        return n;
    }
    bool GuardIntact() const
    {
        for (int i = W * H; i < W * H + kGuard; ++i)
            if (buffer[i] != kWhite) return false;
        return true;
    }
};
}  // namespace

TEST_F(Drawer, FormatsDescribeTheBuffer)
{
    struct Format {
        int bits;
        WORD bitCount;
        DWORD compression, red;
        DWORD bytes;
    };
    for (Format f : {Format{15, 16, BI_BITFIELDS, 0x7C00, 2}, Format{16, 16, BI_BITFIELDS, 0xF800, 2},
                     Format{24, 24, BI_RGB, 0, 3}, Format{32, 32, BI_RGB, 0, 4}, Format{12, 0, BI_RGB, 0, 0}}) {
        SCOPED_TRACE(f.bits);
        dib.SetFormat(f.bits);
        const BITMAPINFOHEADER& h = dib.GetHeader();
        EXPECT_EQ(f.bitCount, h.biBitCount);
        EXPECT_EQ(f.compression, h.biCompression);
        EXPECT_EQ(-H, h.biHeight) << "rows top-down";
        EXPECT_EQ(W * H * f.bytes, h.biSizeImage);
        if (f.red) {
            EXPECT_EQ(f.red, reinterpret_cast<const DWORD*>(&h + 1)[0]);
        }
    }
}

TEST_F(Drawer, DrawCopiesTheWholeImageByDefault)
{
    buffer[0] = 0xFF102030;
    buffer[(H - 1) * W + W - 1] = 0xFF405060;
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP target = CreateCompatibleBitmap(screen, W, H);
    HGDIOBJ old = SelectObject(dc, target);
    winDIB onDc(dc);
    onDc.SetBits(buffer.data(), W * H * 4, W, H, 32);
    EXPECT_EQ(H, onDc.Draw());
    EXPECT_EQ(RGB(0x10, 0x20, 0x30), GetPixel(dc, 0, 0));
    EXPECT_EQ(RGB(0x40, 0x50, 0x60), GetPixel(dc, W - 1, H - 1));
    EXPECT_NE(0, onDc.StretchDraw());
    SelectObject(dc, old);
    DeleteObject(target);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
}

TEST_F(Drawer, HorizontalLineIsOneRow)
{
    dib.DrawLine(2, 5, 20, 5, kRed);
    for (int x = 2; x < 20; ++x) EXPECT_EQ(kRed, At(x, 5)) << x;
    EXPECT_EQ(18, CountNot(kWhite));
}

TEST_F(Drawer, LinesOutsideTheSourceDrawNothing)
{
    dib.SetSourceRect({0, 10, W, H});
    dib.DrawLine(0, 2, 30, 6, kRed);
    dib.DrawLineAA(0, 2, 30, 6, kRed);
    EXPECT_EQ(0, CountNot(kWhite));
    dib.DrawLine(-10, 15, 50, 15, kRed);
    EXPECT_GT(CountNot(kWhite), 0);
}

TEST_F(Drawer, SourceLargerThanTheImageStillClipsToTheBuffer)
{
    dib.SetSourceRect({-100, -100, 1000, 1000});
    dib.DrawLine(-50, -40, 500, 600, kRed);
    dib.DrawLineAA(500, -40, -50, 600, kRed);
    dib.DrawLine(0, 500, 31, 23, kRed);
    EXPECT_TRUE(GuardIntact());
    EXPECT_GT(CountNot(kWhite), 0);
}

TEST_F(Drawer, LineRunningOffTheImageStopsAtTheImagesMargin)
{
    dib.SetSourceRect({0, 0, 1000, 1000});
    dib.DrawLine(0, 5, 1000, 5, kRed);
    EXPECT_EQ(kRed, At(W - 3, 5));
    EXPECT_EQ(kWhite, At(W - 2, 5));
    EXPECT_EQ(kWhite, At(W - 1, 5));
}

TEST_F(Drawer, ZeroLengthLineMarksItsPixel)
{
    dib.DrawLine(7.5f, 9.25f, 7.5f, 9.25f, kRed);
    EXPECT_EQ(kRed, At(7, 9));
    EXPECT_EQ(1, CountNot(kWhite));
    dib.DrawLineAA(3, 3, 3, 3, kRed);
    EXPECT_NE(kWhite, At(3, 3));
}

TEST_F(Drawer, SteepAndReversedLines)
{
    dib.DrawLine(4, 20, 4, 2, kRed);  // drawn down the rows whatever the order
    for (int y = 2; y < 20; ++y) EXPECT_EQ(kRed, At(4, y)) << y;
    dib.DrawLine(20, 2, 10, 12, kRed);
    EXPECT_EQ(kRed, At(20, 2));
    EXPECT_EQ(kRed, At(15, 7));
}

TEST_F(Drawer, AntialiasedLineSplitsCoverageAcrossNeighbours)
{
    const uint32_t black = 0xFF000000;
    dib.DrawLineAA(2, 6.5f, 28, 6.5f, black);
    for (int x = 4; x < 26; ++x) {
        int upper = gui::Red(At(x, 6)), lower = gui::Red(At(x, 7));
        EXPECT_LT(upper, 255) << x;
        EXPECT_LT(lower, 255) << x;
        // Together the two pixels hold about one pixel of ink.
        EXPECT_NEAR(255, (255 - upper) + (255 - lower), 6) << x;
    }
    EXPECT_EQ(kWhite, At(10, 5));
    EXPECT_EQ(kWhite, At(10, 8));
}

TEST_F(Drawer, FillBlendsAndClamps)
{
    dib.FillRectangle(-5, -5, 3, 3, kRed);
    EXPECT_EQ(16, CountNot(kWhite));
    EXPECT_EQ(kRed, At(3, 3));
    EXPECT_EQ(kWhite, At(4, 4));

    dib.FillRectangle(10, 10, 11, 11, 0x80000080);
    uint32_t half = At(10, 10);
    EXPECT_NEAR(127, gui::Red(half), 2);
    EXPECT_NEAR(127, gui::Green(half), 2);
    EXPECT_NEAR(191, gui::Blue(half), 2);
    EXPECT_EQ(0u, half >> 24) << "a blended fill leaves alpha 0";

    dib.FillRectangle(W, 0, W + 5, 5, kRed);
    dib.FillRectangle(5, 5, 4, 9, kRed);
    EXPECT_EQ(16 + 4, CountNot(kWhite));
    dib.FillRectangle(0, 0, 10000, 10000, kRed);
    EXPECT_TRUE(GuardIntact());
}

TEST_F(Drawer, BuffersOfOtherDepthsAreNotDrawnInto)
{
    dib.SetBits(buffer.data(), W * H * 3, W, H, 24);
    dib.DrawLine(0, 0, 30, 20, kRed);
    dib.FillRectangle(0, 0, W, H, kRed);
    EXPECT_EQ(0, CountNot(kWhite));
    dib.SetBits(buffer.data(), W * H * 4 - 4, W, H, 32);
    dib.FillRectangle(0, 0, W, H, kRed);
    EXPECT_EQ(0, CountNot(kWhite)) << "a buffer too small for the image";
}
