// Off-screen painting, the GDI holders and the bitmap button.
#include <gtest/gtest.h>

#include "BitmapButton.h"
#include "Gdi.h"
#include "GuiHarness.h"
#include "OffscreenDraw.h"
#include "OwnerDraw.h"
#include "WindowImpl.h"

using gui::Rgb;

namespace {
const uint32_t kRed = Rgb(200, 30, 30);
const uint32_t kGreen = Rgb(30, 160, 60);

COLORREF ToColorRef(uint32_t rgb) { return RGB(gui::Red(rgb), gui::Green(rgb), gui::Blue(rgb)); }

// Red everywhere, with a green square at client (25, 25)-(30, 30).
class PaintedWnd : public ATL::CWindowImpl<PaintedWnd>, public WTL::COffscreenDrawRect<PaintedWnd> {
public:
    int paints = 0;
    WTL::CRect lastPaintRect;
    BEGIN_MSG_MAP(PaintedWnd)
        CHAIN_MSG_MAP(WTL::COffscreenDrawRect<PaintedWnd>)
    END_MSG_MAP()

    void DoPaint(WTL::CDCHandle dc)
    {
        ++paints;
        lastPaintRect = PaintRect();
        WTL::CRect client;
        GetClientRect(&client);
        dc.FillSolidRect(&client, ToColorRef(kRed));
        WTL::CRect square(25, 25, 30, 30);
        dc.FillSolidRect(&square, ToColorRef(kGreen));
    }
};
}  // namespace

TEST(OffscreenDraw, PrintClientPaintsTheWholeClientThroughDoPaint)
{
    PaintedWnd wnd;
    RECT r = {0, 0, 80, 60};
    AdjustWindowRectEx(&r, WS_POPUP, FALSE, 0);
    ASSERT_NE(nullptr, wnd.Create(nullptr, &r, L"painted", WS_POPUP));
    HDC dc = GetDC(wnd);
    EXPECT_EQ(1, wnd.SendMessage(WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc)));
    ReleaseDC(wnd, dc);
    gui::Pixels p = gui::CaptureClient(wnd);
    ASSERT_EQ(80, p.width);
    EXPECT_EQ(WTL::CRect(0, 0, 80, 60), wnd.lastPaintRect);
    EXPECT_EQ(kRed, p.At(0, 0));
    EXPECT_EQ(kRed, p.At(79, 59));
    EXPECT_EQ(kGreen, p.At(25, 25));
    EXPECT_EQ(kGreen, p.At(29, 29));
    EXPECT_EQ(kRed, p.At(30, 30));
    wnd.DestroyWindow();
}

TEST(OffscreenDraw, PartialPaintDrawsInClientCoordinatesOnTheScreen)
{
    PaintedWnd wnd;
    RECT r = {100, 100, 180, 160};
    ASSERT_NE(nullptr, wnd.Create(nullptr, &r, L"painted", WS_POPUP | WS_VISIBLE));
    gui::PumpMessages(100);
    // Paint everything blue behind the window's back, then let it repaint a
    // part: only that part may change, and in the right place.
    {
        HDC dc = GetDC(wnd);
        RECT all = {0, 0, 80, 60};
        HBRUSH blue = CreateSolidBrush(RGB(0, 0, 255));
        FillRect(dc, &all, blue);
        DeleteObject(blue);
        ReleaseDC(wnd, dc);
    }
    RECT part = {20, 20, 40, 40};
    wnd.InvalidateRect(&part, FALSE);
    int before = wnd.paints;
    wnd.UpdateWindow();
    EXPECT_EQ(before + 1, wnd.paints);
    EXPECT_EQ(WTL::CRect(part), wnd.lastPaintRect);

    HDC dc = GetDC(wnd);
    gui::Pixels p = gui::CaptureDC(dc, 0, 0, 80, 60);
    ReleaseDC(wnd, dc);
    EXPECT_EQ(Rgb(0, 0, 255), p.At(10, 10)) << "outside the painted part";
    EXPECT_EQ(kRed, p.At(21, 21));
    EXPECT_EQ(kGreen, p.At(27, 27));
    EXPECT_EQ(Rgb(0, 0, 255), p.At(45, 45));
    wnd.DestroyWindow();
}

TEST(GdiHolders, OwningHoldersReleaseTheirHandles)
{
    HDC screen = GetDC(nullptr);
    HBITMAP bitmapHandle;
    HFONT fontHandle;
    HRGN copyHandle;
    {
        WTL::CBitmap bitmap;
        bitmapHandle = bitmap.CreateCompatibleBitmap(screen, 7, 5);
        SIZE size;
        ASSERT_TRUE(bitmap.GetSize(size));
        EXPECT_EQ(7, size.cx);
        EXPECT_EQ(5, size.cy);
        WTL::CBitmapHandle borrowed(bitmapHandle);
        (void)borrowed;

        WTL::CFont font;
        fontHandle = font.CreatePointFont(75, L"Tahoma", screen, true);
        LOGFONTW lf;
        ASSERT_TRUE(font.GetLogFont(&lf));
        EXPECT_EQ(-MulDiv(75, GetDeviceCaps(screen, LOGPIXELSY), 720), lf.lfHeight);
        EXPECT_EQ(FW_BOLD, lf.lfWeight);

        WTL::CRgn source, copy;
        source.CreateRectRgn(1, 2, 3, 4);
        EXPECT_EQ(SIMPLEREGION, copy.CopyRgn(source));
        copyHandle = copy;
        RECT box;
        GetRgnBox(copy, &box);
        EXPECT_EQ(WTL::CRect(1, 2, 3, 4), box);
    }
    EXPECT_EQ(0u, GetObjectType(bitmapHandle));
    EXPECT_EQ(0u, GetObjectType(fontHandle));
    EXPECT_EQ(0u, GetObjectType(copyHandle));
    ReleaseDC(nullptr, screen);
}

TEST(GdiHolders, PointFontsFollowTheDeviceResolution)
{
    HDC screen = GetDC(nullptr);
    int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    for (int tenths : {70, 75, 80, 90, 120}) {
        SCOPED_TRACE(tenths);
        LOGFONTW in = {};
        in.lfHeight = tenths;
        lstrcpyW(in.lfFaceName, L"Tahoma");
        WTL::CFont font;
        ASSERT_NE(nullptr, font.CreatePointFontIndirect(&in));
        LOGFONTW out;
        font.GetLogFont(&out);
        EXPECT_EQ(-MulDiv(tenths, dpi, 720), out.lfHeight);
    }
    ReleaseDC(nullptr, screen);
}

namespace {
const uint32_t kFrameColours[3] = {Rgb(10, 120, 200), Rgb(10, 60, 100), Rgb(120, 200, 250)};

// An image list of three solid 20 x 12 frames: normal, pushed, hover.
HIMAGELIST SolidImages()
{
    HIMAGELIST list = ImageList_Create(20, 12, ILC_COLOR32, 3, 0);
    HDC screen = GetDC(nullptr);
    for (uint32_t colour : kFrameColours) {
        HDC dc = CreateCompatibleDC(screen);
        HBITMAP bitmap = CreateCompatibleBitmap(screen, 20, 12);
        HGDIOBJ old = SelectObject(dc, bitmap);
        WTL::CDCHandle(dc).FillSolidRect(WTL::CRect(0, 0, 20, 12), ToColorRef(colour));
        SelectObject(dc, old);
        ImageList_Add(list, bitmap, nullptr);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    ReleaseDC(nullptr, screen);
    return list;
}

class ImageButton : public WTL::CBitmapButtonImpl<ImageButton> {
public:
    DECLARE_WND_SUPERCLASS(L"PvTestImageButton", L"BUTTON")
    explicit ImageButton(DWORD style) : WTL::CBitmapButtonImpl<ImageButton>(style) {}
};

class ButtonHost : public ATL::CWindowImpl<ButtonHost> {
public:
    int clicks = 0;
    BEGIN_MSG_MAP(ButtonHost)
        COMMAND_CODE_HANDLER(BN_CLICKED, OnClicked)
    END_MSG_MAP()
    LRESULT OnClicked(WORD, WORD, HWND, BOOL&)
    {
        ++clicks;
        return 0;
    }
};

struct BitmapButton : ::testing::Test {
    ButtonHost host;
    HWND control = nullptr;
    void SetUp() override
    {
        RECT r = {0, 0, 200, 100};
        ASSERT_NE(nullptr, host.Create(nullptr, &r, L"host", WS_POPUP | WS_VISIBLE));
        control = CreateWindowExW(0, L"BUTTON", L"x", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 10, 10, 90, 40, host,
                                  reinterpret_cast<HMENU>(5), nullptr, nullptr);
        ASSERT_NE(nullptr, control);
    }
    void TearDown() override { host.DestroyWindow(); }
    uint32_t Face(ImageButton& b) { return gui::CaptureClient(b).At(4, 4); }
};
}  // namespace

TEST_F(BitmapButton, AutosizeAndTheImageOfEachState)
{
    ImageButton button(BMPBTN_AUTOSIZE);
    button.SetImageList(SolidImages());
    button.SetImages(0, 1, 2);
    ASSERT_TRUE(button.SubclassWindow(control));
    EXPECT_EQ(static_cast<DWORD>(BS_OWNERDRAW), button.GetStyle() & 0x0F);
    RECT client;
    button.GetClientRect(&client);
    EXPECT_EQ(WTL::CRect(0, 0, 20, 12), client);

    SetFocus(host);
    EXPECT_EQ(kFrameColours[0], Face(button));
    button.SetFocus();
    EXPECT_EQ(kFrameColours[2], Face(button)) << "focus shows the third image outside hover mode";
    button.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
    EXPECT_EQ(kFrameColours[1], Face(button));
    button.EnableWindow(FALSE);
    EXPECT_EQ(kFrameColours[0], Face(button)) << "no disabled image: the normal one";
    button.EnableWindow(TRUE);
    ReleaseCapture();
}

TEST_F(BitmapButton, ClickOnlyWhenReleasedOverTheButton)
{
    ImageButton button(BMPBTN_AUTOSIZE);
    button.SetImageList(SolidImages());
    button.SetImages(0, 1, 2);
    ASSERT_TRUE(button.SubclassWindow(control));

    button.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
    button.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
    EXPECT_EQ(1, host.clicks);

    button.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
    button.SendMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(60, 60));
    EXPECT_EQ(kFrameColours[2], Face(button)) << "dragged off: no longer pushed";
    button.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(60, 60));
    EXPECT_EQ(1, host.clicks);

    button.SendMessage(WM_KEYDOWN, VK_SPACE, 0);
    button.SendMessage(WM_KEYUP, VK_SPACE, 0);
    EXPECT_EQ(2, host.clicks);
}

TEST_F(BitmapButton, HoverModeFollowsTheMouseNotTheFocus)
{
    ImageButton button(BMPBTN_AUTOSIZE | BMPBTN_HOVER);
    button.SetImageList(SolidImages());
    button.SetImages(0, 1, 2);
    ASSERT_TRUE(button.SubclassWindow(control));
    button.SetFocus();
    EXPECT_EQ(kFrameColours[0], Face(button));
    button.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));
    EXPECT_EQ(kFrameColours[2], Face(button));
    button.SendMessage(WM_MOUSELEAVE);
    EXPECT_EQ(kFrameColours[0], Face(button));
}

namespace {
class OwnerDrawHost : public ATL::CWindowImpl<OwnerDrawHost>, public WTL::COwnerDraw<OwnerDrawHost> {
public:
    UINT drawnId = 0;
    BEGIN_MSG_MAP(OwnerDrawHost)
        CHAIN_MSG_MAP(WTL::COwnerDraw<OwnerDrawHost>)
    ALT_MSG_MAP(1)
        CHAIN_MSG_MAP_ALT(WTL::COwnerDraw<OwnerDrawHost>, 1)
    END_MSG_MAP()
    void DrawItem(LPDRAWITEMSTRUCT item) { drawnId = item->CtlID; }
    void MeasureItem(LPMEASUREITEMSTRUCT item) { item->itemHeight = 32; }
};
}  // namespace

TEST(OwnerDraw, ItemMessagesReachTheOverridesAndTheRestPassOn)
{
    OwnerDrawHost host;
    ASSERT_NE(nullptr, host.Create(nullptr, nullptr, L"od", WS_POPUP));
    DRAWITEMSTRUCT draw = {};
    draw.CtlID = 61406;
    EXPECT_EQ(TRUE, host.SendMessage(WM_DRAWITEM, 61406, reinterpret_cast<LPARAM>(&draw)));
    EXPECT_EQ(61406u, host.drawnId);
    MEASUREITEMSTRUCT measure = {};
    host.SendMessage(WM_MEASUREITEM, 1, reinterpret_cast<LPARAM>(&measure));
    EXPECT_EQ(32u, measure.itemHeight);
    // Not overridden: unhandled, so default processing answers.
    COMPAREITEMSTRUCT compare = {};
    EXPECT_EQ(0, host.SendMessage(WM_COMPAREITEM, 1, reinterpret_cast<LPARAM>(&compare)));
    // The reflected forms are in map 1.
    LRESULT result = 0;
    draw.CtlID = 7;
    EXPECT_TRUE(host.ProcessWindowMessage(host, OCM_DRAWITEM, 7, reinterpret_cast<LPARAM>(&draw), result, 1));
    EXPECT_EQ(7u, host.drawnId);
    EXPECT_FALSE(host.ProcessWindowMessage(host, OCM_COMPAREITEM, 7, reinterpret_cast<LPARAM>(&compare), result, 1));
    host.DestroyWindow();
}
