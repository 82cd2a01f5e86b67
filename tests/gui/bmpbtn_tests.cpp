// The page buttons: the image-list button over its captured background,
// and the four-frame alpha strip button over the backdrop it first saw.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "BackgroundDlg.h"
#include "base/FileHandle.h"
#include "BmpBtn.h"
#include "DIBSection.h"
#include "GuiHarness.h"
#include "resource.h"
#include "WindowImpl.h"

using gui::Rgb;

namespace {
uint32_t Pattern(int x, int y) { return Rgb((x * 7) & 0xFF, (y * 11) & 0xFF, (x * y) & 0xFF); }
uint32_t OtherPattern(int x, int y) { return Rgb(255 - ((x * 5) & 0xFF), 90, (y * 13) & 0xFF); }

// A 32-bit memory surface filled with a pattern, to paint buttons on.
class Canvas {
public:
    Canvas(int width, int height, uint32_t (*pattern)(int, int)) : width_(width), height_(height)
    {
        dib_.Create(width, -height, 32);
        uint32_t* p = static_cast<uint32_t*>(dib_.GetBits());
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) p[y * width + x] = pattern(x, y);
        dc_ = CreateCompatibleDC(nullptr);
        old_ = SelectObject(dc_, dib_.GetBitmap());
    }
    ~Canvas()
    {
        SelectObject(dc_, old_);
        DeleteDC(dc_);
    }
    HDC dc() const { return dc_; }
    gui::Pixels Read() const { return gui::CaptureDC(dc_, 0, 0, width_, height_); }

private:
    int width_, height_;
    CDIBSection dib_;
    HDC dc_;
    HGDIOBJ old_;
};

// What a button paints with WM_PRINTCLIENT over a patterned surface.
gui::Pixels PaintOver(HWND button, uint32_t (*pattern)(int, int) = Pattern)
{
    RECT r;
    GetClientRect(button, &r);
    Canvas canvas(r.right, r.bottom, pattern);
    SendMessageW(button, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(canvas.dc()), PRF_CLIENT);
    return canvas.Read();
}

// A top-level window that paints the pattern and counts its buttons' clicks.
class Host : public ATL::CWindowImpl<Host> {
public:
    uint32_t (*pattern)(int, int) = Pattern;
    std::vector<int> clicks;

    BEGIN_MSG_MAP(Host)
        MESSAGE_HANDLER(WM_ERASEBKGND, OnErase)
        MESSAGE_HANDLER(WM_PAINT, OnPaint)
        MESSAGE_HANDLER(WM_COMMAND, OnCommand)
    END_MSG_MAP()

    LRESULT OnErase(UINT, WPARAM, LPARAM, BOOL&) { return 1; }
    LRESULT OnPaint(UINT, WPARAM, LPARAM, BOOL&)
    {
        WTL::CPaintDC dc(m_hWnd);
        WTL::CRect client;
        GetClientRect(&client);
        Canvas canvas(client.Width(), client.Height(), pattern);
        dc.BitBlt(0, 0, client.Width(), client.Height(), canvas.dc(), 0, 0, SRCCOPY);
        return 0;
    }
    LRESULT OnCommand(UINT, WPARAM wParam, LPARAM, BOOL&)
    {
        if (HIWORD(wParam) == BN_CLICKED) clicks.push_back(LOWORD(wParam));
        return 0;
    }
};

struct ButtonHost : ::testing::Test {
    Host host;
    void SetUp() override
    {
        // Away from where the tab tests put their windows and the cursor.
        RECT r = {600, 440, 600 + 300, 440 + 200};
        ASSERT_NE(nullptr, host.Create(nullptr, &r, L"buttons", WS_POPUP));
        // Not activated: Wine without a window manager takes seconds to
        // destroy a window that was.
        host.ShowWindow(SW_SHOWNOACTIVATE);
        gui::PumpMessages(50);
    }
    void TearDown() override { host.DestroyWindow(); }
    HWND AddButton(int id, int x, int y, int width = 80, int height = 30)
    {
        return CreateWindowExW(0, L"BUTTON", L"role", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, x, y, width, height, host,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
    }
};

// A page, for its capture of a button's background.
class Page : public CBackgroundDlg<Page> {
public:
    enum { IDD = IDD_ABOUT };
    WTL::CBitmap* GetParentBackground() { return nullptr; }
};

SIZE ClientSize(HWND hWnd)
{
    RECT r;
    GetClientRect(hWnd, &r);
    return {r.right, r.bottom};
}
}  // namespace

TEST(BlendPixel, ChannelsMixByTheSourceAlpha)
{
    struct Case {
        uint32_t backdrop, source, expected;
    };
    for (Case c : {Case{0xFF102030, 0x00FFFFFF, 0xFF102030},    // transparent: the backdrop as it is
                   Case{0xFF102030, 0xFFC8641E, 0xFFC8641E},    // opaque: the strip colour exactly
                   Case{0xFF000000, 0x80FFFFFF, 0x80808080},    // half over black
                   Case{0xFFFFFFFF, 0x80000000, 0x807F7F7F},    // half over white
                   Case{0xFF204060, 0x01FF0000, 0x01214060}}) { // a trace of red
        EXPECT_EQ(c.expected, BlendPixel(c.backdrop, c.source)) << std::hex << c.backdrop << " " << c.source;
    }
}

namespace {
// A synthetic strip of four 6 x 5 frames: frame k opaque in Colour(k), its
// pixel (0,0) transparent and pixel (1,0) half covered.
const int kFrameW = 6, kFrameH = 5;
uint32_t Colour(int frame)
{
    static const uint32_t colours[4] = {Rgb(200, 30, 30), Rgb(30, 200, 30), Rgb(30, 30, 200), Rgb(120, 120, 120)};
    return colours[frame];
}

std::vector<uint8_t> SyntheticStrip(bool horizontal)
{
    const int width = horizontal ? 4 * kFrameW : kFrameW, height = horizontal ? kFrameH : 4 * kFrameH;
    std::vector<uint8_t> bytes(size_t(width) * height * 4);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int frame = horizontal ? x / kFrameW : y / kFrameH;
            const int fx = horizontal ? x % kFrameW : x, fy = horizontal ? y : y % kFrameH;
            const uint32_t c = Colour(frame);
            uint8_t* p = &bytes[(size_t(y) * width + x) * 4];
            p[0] = uint8_t(gui::Red(c));
            p[1] = uint8_t(gui::Green(c));
            p[2] = uint8_t(gui::Blue(c));
            p[3] = (fx == 0 && fy == 0) ? 0 : (fx == 1 && fy == 0) ? 128 : 255;
        }
    }
    return bytes;
}

// A file beside the executable, removed again; its name is the process's
// own, so that parallel runs do not meet.
class StripFile {
public:
    explicit StripFile(const std::vector<uint8_t>& bytes)
    {
        name_ = L"strip_" + std::to_wstring(GetCurrentProcessId()) + L".raw";
        wchar_t path[MAX_PATH];
        GetModuleDirPath(name_.c_str(), path, MAX_PATH);
        path_ = path;
        FILE* f = _wfopen(path, L"wb");
        if (f) {
            fwrite(bytes.data(), 1, bytes.size(), f);
            fclose(f);
        }
    }
    ~StripFile() { DeleteFileW(path_.c_str()); }
    const wchar_t* name() const { return name_.c_str(); }

private:
    std::wstring name_, path_;
};

uint32_t Expected(int frame, int x, int y, uint32_t (*backdrop)(int, int) = Pattern)
{
    const uint32_t b = backdrop(x, y) | 0xFF000000u;
    const uint32_t alpha = (x == 0 && y == 0) ? 0 : (x == 1 && y == 0) ? 128 : 255;
    return BlendPixel(b, (alpha << 24) | Colour(frame)) & 0xFFFFFF;
}
}  // namespace

TEST_F(ButtonHost, StripFramesFollowTheButtonState)
{
    for (bool horizontal : {true, false}) {
        SCOPED_TRACE(horizontal ? "side by side" : "stacked");
        StripFile file(SyntheticStrip(horizontal));
        CBmpBtnEx button;
        ASSERT_TRUE(button.SubclassWindow(AddButton(1019, 10, 10)));
        button.SetHorizontalStrip(horizontal);
        ASSERT_TRUE(button.LoadStripFile(file.name(), horizontal ? 4 * kFrameW : kFrameW,
                                         horizontal ? kFrameH : 4 * kFrameH));
        EXPECT_EQ(kFrameW, ClientSize(button).cx);
        EXPECT_EQ(kFrameH, ClientSize(button).cy);

        struct State {
            const char* name;
            DWORD extendedStyle;
            bool focus, mouseOver, pressed, disabled;
            int frame;
        };
        const State states[] = {
            {"normal", BMPBTN_HOVER, false, false, false, false, 0},
            {"hover", BMPBTN_HOVER, false, true, false, false, 2},
            {"focus in hover mode", BMPBTN_HOVER, true, false, false, false, 0},
            {"focus", 0, true, false, false, false, 2},
            {"mouse without hover mode", 0, false, true, false, false, 0},
            {"pressed", BMPBTN_HOVER, false, true, true, false, 1},
            {"disabled", 0, false, false, false, true, 3},
            {"disabled while pressed and hovered", BMPBTN_HOVER, false, true, true, true, 3},
        };
        for (const State& s : states) {
            SCOPED_TRACE(s.name);
            button.SetBitmapButtonExtendedStyle(s.extendedStyle);
            button.EnableWindow(TRUE);
            SetFocus(s.focus ? static_cast<HWND>(button) : static_cast<HWND>(host));
            if (s.mouseOver) button.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));
            if (s.pressed) button.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
            if (s.disabled) button.EnableWindow(FALSE);
            EXPECT_EQ(s.frame, button.ChooseFrame());
            button.ResetBackdrop();
            gui::Pixels p = PaintOver(button);
            for (POINT at : {POINT{0, 0}, POINT{1, 0}, POINT{3, 2}, POINT{kFrameW - 1, kFrameH - 1}})
                EXPECT_EQ(Expected(s.frame, at.x, at.y), p.At(at.x, at.y)) << at.x << "," << at.y;
            if (s.pressed) button.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(50, 50));
            button.SendMessage(WM_MOUSELEAVE);
        }
        button.DestroyWindow();
    }
}

TEST_F(ButtonHost, BackdropIsTakenOnceAtTheFirstPaint)
{
    StripFile file(SyntheticStrip(true));
    CBmpBtnEx button;
    ASSERT_TRUE(button.SubclassWindow(AddButton(1019, 10, 10)));
    button.SetHorizontalStrip(true);
    ASSERT_TRUE(button.LoadStripFile(file.name(), 4 * kFrameW, kFrameH));
    button.ResetBackdrop();
    PaintOver(button, Pattern);
    gui::Pixels again = PaintOver(button, OtherPattern);
    EXPECT_EQ(Expected(0, 0, 0, Pattern), again.At(0, 0)) << "a later surface does not replace the backdrop";
    EXPECT_EQ(Expected(0, 1, 0, Pattern), again.At(1, 0));
    button.ResetBackdrop();
    gui::Pixels fresh = PaintOver(button, OtherPattern);
    EXPECT_EQ(Expected(0, 0, 0, OtherPattern), fresh.At(0, 0));
    EXPECT_EQ(Expected(0, 1, 0, OtherPattern), fresh.At(1, 0));
}

TEST_F(ButtonHost, StripsThatCannotBeUsedLeaveAnOrdinaryButton)
{
    StripFile file(SyntheticStrip(true));
    struct Case {
        const char* name;
        bool resource;
        UINT id;
        const wchar_t* fileName;
        int width, height;
    };
    const Case cases[] = {
        {"missing resource", true, 4242, nullptr, 124, 34},
        {"resource shorter than the size asked for", true, IDR_CALL_LAMP, nullptr, 124, 40},
        {"missing file", false, 0, L"no_such_strip.raw", 24, 5},
        {"file shorter than the size asked for", false, 0, file.name(), 24, 6},
        {"strip too narrow for four frames", false, 0, file.name(), 3, 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CBmpBtnEx button;
        ASSERT_TRUE(button.SubclassWindow(AddButton(1019, 10, 10)));
        button.SetHorizontalStrip(true);
        EXPECT_FALSE(c.resource ? button.LoadStripResource(c.id, c.width, c.height)
                                : button.LoadStripFile(c.fileName, c.width, c.height));
        EXPECT_FALSE(button.HasStrip());
        EXPECT_EQ(80, ClientSize(button).cx) << "the size stays";
        gui::Pixels p = PaintOver(button);
        EXPECT_NE(static_cast<DWORD>(BS_OWNERDRAW), button.GetStyle() & 0x0F);
        // The button class drew its own face over the whole client area.
        const COLORREF face = GetSysColor(COLOR_BTNFACE);
        EXPECT_TRUE(gui::Near(Rgb(GetRValue(face), GetGValue(face), GetBValue(face)), p.At(8, 8), 8));
        button.DestroyWindow();
    }
    // Rejected a file name that would have created the file.
    wchar_t path[MAX_PATH];
    GetModuleDirPath(L"no_such_strip.raw", path, MAX_PATH);
    EXPECT_FALSE(FileExists(path));
}

TEST_F(ButtonHost, CallIndicatorFromItsResource)
{
    CBmpBtnEx button;
    ASSERT_TRUE(button.SubclassWindow(AddButton(IDC_CALL_LAMP, 120, 60)));
    button.SetBitmapButtonExtendedStyle(BMPBTN_HOVER);
    button.SetHorizontalStrip(true);
    ASSERT_TRUE(button.LoadStripResource(IDR_CALL_LAMP, 124, 34));
    EXPECT_EQ(31, ClientSize(button).cx);
    EXPECT_EQ(34, ClientSize(button).cy);
    EXPECT_EQ(static_cast<DWORD>(BS_OWNERDRAW), button.GetStyle() & 0x0F);

    HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(IDR_CALL_LAMP), L"RAW");
    const uint8_t* strip = static_cast<const uint8_t*>(LockResource(LoadResource(nullptr, found)));
    ASSERT_NE(nullptr, strip);
    button.ResetBackdrop();
    gui::Pixels p = PaintOver(button);
    for (POINT at : {POINT{0, 0}, POINT{15, 17}, POINT{5, 30}}) {
        const uint8_t* s = strip + (at.y * 124 + at.x) * 4;
        uint32_t source = (uint32_t(s[3]) << 24) | Rgb(s[0], s[1], s[2]);
        EXPECT_EQ(BlendPixel(Pattern(at.x, at.y) | 0xFF000000u, source) & 0xFFFFFF, p.At(at.x, at.y))
            << at.x << "," << at.y;
    }
    EXPECT_EQ(Pattern(0, 0), p.At(0, 0)) << "the corner is transparent";
}

TEST_F(ButtonHost, OnScreenTheIndicatorKeepsTheBackdropOfItsFirstPlace)
{
    CBmpBtnEx button;
    ASSERT_TRUE(button.SubclassWindow(AddButton(IDC_CALL_LAMP, 120, 60)));
    button.SetHorizontalStrip(true);
    ASSERT_TRUE(button.LoadStripResource(IDR_CALL_LAMP, 124, 34));
    gui::Pixels first = gui::CaptureScreen(host);
    EXPECT_EQ(Pattern(120, 60), first.At(120, 60)) << "transparent corner over the host's surface";
    EXPECT_NE(Pattern(135, 77), first.At(135, 77)) << "the lamp itself";

    button.MoveWindow(200, 100, 31, 34);
    gui::Pixels moved = gui::CaptureScreen(host);
    EXPECT_EQ(Pattern(120, 60), moved.At(200, 100)) << "still the backdrop of the first place";
    EXPECT_EQ(first.At(135, 77), moved.At(215, 117));
    EXPECT_TRUE(gui::SavePng(moved, "call_indicator_moved"));
}

TEST_F(ButtonHost, ImageButtonDrawsItsImageOverTheCapturedBackground)
{
    CBmpBtnItem item;
    HWND hWnd = AddButton(IDC_CHAT_BUTTON, 20, 30);
    ASSERT_TRUE(item.Subclass(hWnd, IDB_BUTTON_CHAT));
    EXPECT_EQ(hWnd, static_cast<HWND>(item.m_item));
    EXPECT_EQ(73, ClientSize(hWnd).cx) << "sized to one image";
    EXPECT_EQ(23, ClientSize(hWnd).cy);

    // The host's surface under the button, as a page's paint would capture it.
    Canvas surface(300, 200, Pattern);
    Page::CaptureParentBackground(item.m_button, surface.dc());
    ASSERT_FALSE(item.m_button.BackgroundBitmap().IsNull());

    // What each image looks like drawn over that background by the list.
    auto imageOverBackground = [&](int image) {
        Canvas expected(73, 23, [](int x, int y) { return Pattern(x + 20, y + 30); });
        item.m_button.m_ImageList.Draw(expected.dc(), image, 0, 0, ILD_NORMAL);
        return expected.Read();
    };
    struct State {
        const char* name;
        bool mouseOver, pressed, disabled;
        int image;
    };
    for (State s : {State{"normal", false, false, false, 0}, State{"hover", true, false, false, 2},
                    State{"pressed", true, true, false, 1}, State{"disabled: no image of its own", false, false, true, 0}}) {
        SCOPED_TRACE(s.name);
        item.m_button.EnableWindow(!s.disabled);
        if (s.mouseOver) item.m_button.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
        if (s.pressed) item.m_button.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
        gui::Pixels p = PaintOver(item.m_button, OtherPattern);
        gui::Pixels expected = imageOverBackground(s.image);
        int differing = 0;
        for (size_t i = 0; i < p.data.size(); ++i) differing += p.data[i] != expected.data[i];
        EXPECT_EQ(0, differing);
        if (s.pressed) item.m_button.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
        item.m_button.SendMessage(WM_MOUSELEAVE);
    }
    EXPECT_EQ(std::vector<int>{IDC_CHAT_BUTTON}, host.clicks) << "the press ended on the button";
}

TEST_F(ButtonHost, ScreenshotOfThePageButtons)
{
    host.pattern = [](int x, int y) { return Rgb(226 + x / 30, 235 + y / 40, 243); };
    host.Invalidate();
    const UINT bitmaps[] = {IDB_BUTTON_CALL, IDB_BUTTON_CHAT, IDB_BUTTON_FILE, IDB_BUTTON_ACCEPT,
                            IDB_BUTTON_END,  IDB_BUTTON_SEND, IDB_BUTTON_CANCEL, IDB_BUTTON_SPEAK};
    CBmpBtnItem items[8];
    Canvas surface(300, 200, host.pattern);
    for (int k = 0; k < 8; ++k) {
        ASSERT_TRUE(items[k].Subclass(AddButton(100 + k, 10 + (k % 3) * 90, 10 + (k / 3) * 40), bitmaps[k]));
        Page::CaptureParentBackground(items[k].m_button, surface.dc());
    }
    items[1].m_button.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    CBmpBtnEx lamp;
    ASSERT_TRUE(lamp.SubclassWindow(AddButton(IDC_CALL_LAMP, 250, 140)));
    lamp.SetHorizontalStrip(true);
    ASSERT_TRUE(lamp.LoadStripResource(IDR_CALL_LAMP, 124, 34));
    EXPECT_TRUE(gui::SavePng(gui::CaptureScreen(host), "page_buttons"));
}
