// The hypertext view as a window: its text and font messages, layout with
// scroll bars, scrolling by bar and wheel, links under the mouse, clicks,
// tooltips, and painting over the background of the window behind it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "BackgroundHost.h"
#include "GuiHarness.h"
#include "HyperTextCtrl.h"
#include "WindowImpl.h"

using gui::Rgb;
using HyperTextControl::HyperTextPiece;
using HyperTextControl::kNoPiece;
using HyperTextControl::kNoRun;

namespace {
// The chat page's style for the view.
const DWORD kChatStyle = WS_CHILD | WS_VISIBLE | HTC_WORDWRAP | HTC_AUTOSCROLLBARS | HTC_UNDERLINEHOVER | HTC_TOOLTIPS;
static_assert(kChatStyle == 0x5000001B, "the style bits the chat page passes as a number");

// A quiet surface, far from the colours the text is written in.
uint32_t Surface(int x, int y) { return Rgb(40 + x / 4, 60 + y / 4, 90); }


uint32_t FromColorRef(COLORREF c) { return Rgb(GetRValue(c), GetGValue(c), GetBValue(c)); }

// The page behind the view: it owns the background and shows it.
class Host : public BackgroundHost, public CBackgroundHost {
public:
    WTL::CBitmap* GetParentBackground() override { return &background; }
};

struct Opened {
    std::wstring target;
    bool directoryGiven;
    bool verbGiven;
    INT show;
};
std::vector<Opened> g_opened;

HINSTANCE WINAPI RecordOpen(HWND, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters, LPCWSTR directory, INT show)
{
    EXPECT_EQ(nullptr, parameters);
    g_opened.push_back({file ? file : L"", directory != nullptr, verb != nullptr, show});
    return reinterpret_cast<HINSTANCE>(33);
}

LPARAM Point(int x, int y) { return MAKELPARAM(x, y); }

struct ChatView : ::testing::Test {
    Host host;
    CChatCtrl view;
    WTL::CFont font;
    static constexpr int kLeft = 20, kTop = 30, kWidth = 300, kHeight = 160;

    void SetUp() override
    {
        g_opened.clear();
        host.background.Attach(gui::PatternBitmap(480, 504, Surface));
        // Clear of the windows of the other window tests.
        RECT r = {40, 470, 40 + 400, 470 + 260};
        ASSERT_NE(nullptr, host.Create(nullptr, &r, L"host", WS_POPUP | WS_CLIPCHILDREN));
        // Shown, but not activated: a prefix whose windows a window manager
        // may take waits two seconds for one when an activated window goes.
        host.ShowWindow(SW_SHOWNA);
        Create(kChatStyle);
    }
    void TearDown() override
    {
        ReleaseCapture();
        host.DestroyWindow();
    }

    void Create(DWORD style)
    {
        if (view.m_hWnd) view.DestroyWindow();
        RECT r = {kLeft, kTop, kLeft + kWidth, kTop + kHeight};
        ASSERT_NE(nullptr, view.Create(host, &r, nullptr, style));
        view.m_host = &host;
        view.m_openTarget = RecordOpen;
        font.CreatePointFont(80, L"Tahoma");
        view.SetFont(font, TRUE);
    }

    const std::vector<HyperTextPiece>& Pieces() const { return view.VisiblePieces().Pieces(); }
    std::wstring TextOf(const HyperTextPiece& p) const
    {
        return view.Model().Text().substr(static_cast<size_t>(p.textStart), static_cast<size_t>(p.count));
    }
    // The first piece that shows the given characters.
    int FindPiece(const std::wstring& text) const
    {
        for (size_t i = 0; i < Pieces().size(); ++i)
            if (TextOf(Pieces()[i]) == text) return static_cast<int>(i);
        return kNoPiece;
    }
    POINT Middle(int piece) const
    {
        const auto& r = Pieces()[piece].rect;
        return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    }
    void MoveTo(POINT p) { view.SendMessage(WM_MOUSEMOVE, 0, Point(p.x, p.y)); }
    // What the view shows now, as drawn (a hover paints straight to it).
    gui::Pixels OnScreen()
    {
        HDC dc = GetDC(view);
        gui::Pixels p = gui::CaptureDC(dc, 0, 0, kWidth, kHeight);
        ReleaseDC(view, dc);
        return p;
    }
    // What a full paint draws now.
    gui::Pixels Painted() { return gui::CaptureClient(view); }
    void Show()
    {
        host.Invalidate();
        host.UpdateWindow();
        view.UpdateWindow();
        gui::PumpMessages(50);
    }
    int FirstVisibleLine() const
    {
        const auto& lines = view.Layout().lines;
        const int start = Pieces().empty() ? -1 : Pieces()[0].textStart;
        for (size_t l = 0; l < lines.size(); ++l)
            if (lines[l].start <= start && start <= lines[l].end) return static_cast<int>(l);
        return -1;
    }
    void FillLines(int count)
    {
        std::wstring text;
        for (int i = 0; i < count; ++i) text += L"line " + std::to_wstring(i) + L"\n";
        view.SetWindowText(text.c_str());
    }
};

// Pixels of rect in p that are close to colour.
int CountNear(const gui::Pixels& p, const HyperTextControl::PieceRect& r, uint32_t colour, int tolerance)
{
    int n = 0;
    for (int y = std::max(0, r.top); y < std::min(p.height, r.bottom); ++y)
        for (int x = std::max(0, r.left); x < std::min(p.width, r.right); ++x) n += gui::Near(p.At(x, y), colour, tolerance);
    return n;
}

int Differences(const gui::Pixels& a, const gui::Pixels& b)
{
    int n = 0;
    for (size_t i = 0; i < a.data.size() && i < b.data.size(); ++i) n += a.data[i] != b.data[i];
    return n;
}

// The columns from the first to the last pixel close to colour in rows
// top..bottom and columns from..to (both exclusive at the end); -1 for none.
struct Ink {
    int left = -1, right = -1;
};
Ink InkOf(const gui::Pixels& p, int top, int bottom, int from, int to, uint32_t colour)
{
    Ink ink;
    for (int x = std::max(0, from); x < std::min(p.width, to); ++x)
        for (int y = std::max(0, top); y < std::min(p.height, bottom); ++y)
            if (gui::Near(p.At(x, y), colour, 60)) {
                if (ink.left < 0) ink.left = x;
                ink.right = x;
                break;
            }
    return ink;
}
}  // namespace

TEST_F(ChatView, TextComesBackWithinTheCallersBuffer)
{
    view.SetWindowText(L"hello www.a.org");
    ASSERT_EQ(1u, view.Model().Runs().size());
    EXPECT_EQ(L"http://www.a.org", view.Model().Runs()[0].target);

    wchar_t buffer[8];
    wmemset(buffer, L'#', 8);
    EXPECT_EQ(4, view.SendMessage(WM_GETTEXT, 5, LPARAM(buffer)));
    EXPECT_EQ(std::wstring(L"hell"), buffer);
    EXPECT_EQ(L'#', buffer[5]);
    EXPECT_EQ(0, view.SendMessage(WM_GETTEXT, 0, LPARAM(buffer)));
    EXPECT_EQ(L'h', buffer[0]) << "nothing written for a zero-sized buffer";
    EXPECT_EQ(0, view.SendMessage(WM_GETTEXT, 8, 0));
    EXPECT_EQ(L"hello www.a.org", view.GetWindowText());

    view.SetWindowText(L"");
    EXPECT_EQ(0, view.SendMessage(WM_GETTEXT, 8, LPARAM(buffer)));
    EXPECT_EQ(L'\0', buffer[0]);
    EXPECT_TRUE(view.Model().Runs().empty());
}

TEST_F(ChatView, RegistersItsWindowClass)
{
    WNDCLASSEXW info = {};
    info.cbSize = sizeof(info);
    ASSERT_TRUE(GetClassInfoExW(ATL::GetModuleInstance(), L"PLV_HTChatCtrl", &info));
    EXPECT_EQ(UINT(CS_HREDRAW | CS_DBLCLKS), info.style);
    EXPECT_EQ(reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1), info.hbrBackground);
    EXPECT_EQ(LoadCursorW(nullptr, IDC_ARROW), info.hCursor);
}

TEST_F(ChatView, FontsFollowTheStyle)
{
    EXPECT_EQ(static_cast<HFONT>(font), view.GetFont());
    LOGFONTW link, hover, bold;
    GetObjectW(view.LinkFont(), sizeof(link), &link);
    GetObjectW(view.HoverFont(), sizeof(hover), &hover);
    GetObjectW(view.BoldFont(), sizeof(bold), &bold);
    EXPECT_FALSE(link.lfUnderline);
    EXPECT_TRUE(hover.lfUnderline);
    EXPECT_FALSE(bold.lfUnderline);
    EXPECT_EQ(FW_BOLD, bold.lfWeight);
    EXPECT_STREQ(L"Tahoma", bold.lfFaceName);

    Create(kChatStyle | HTC_UNDERLINELINKS);
    GetObjectW(view.LinkFont(), sizeof(link), &link);
    EXPECT_TRUE(link.lfUnderline);

    // No font: the view's own again.
    view.SetFont(nullptr, FALSE);
    HFONT own = view.GetFont();
    ASSERT_NE(nullptr, own);
    LOGFONTW face;
    GetObjectW(own, sizeof(face), &face);
    EXPECT_STREQ(L"Times New Roman", face.lfFaceName);
    GetObjectW(view.BoldFont(), sizeof(bold), &bold);
    EXPECT_STREQ(L"Times New Roman", bold.lfFaceName);
}

TEST_F(ChatView, LinesTakeTheFontsHeight)
{
    view.SetWindowText(L"one\r\n\r\nthree");
    HDC dc = GetDC(view);
    HGDIOBJ old = SelectObject(dc, font);
    TEXTMETRICW metrics;
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, old);
    ReleaseDC(view, dc);
    ASSERT_EQ(3u, view.Layout().lines.size());
    EXPECT_EQ(metrics.tmHeight, view.Layout().lineHeight);
    EXPECT_EQ(3 * metrics.tmHeight, view.Layout().totalHeight);
    EXPECT_FALSE(view.GetStyle() & WS_VSCROLL) << "it all fits";
}

TEST_F(ChatView, AutomaticBarsComeWithTheContent)
{
    FillLines(40);
    ASSERT_TRUE(view.GetStyle() & WS_VSCROLL);
    SCROLLINFO info = {};
    info.cbSize = sizeof(info);
    info.fMask = SIF_ALL;
    ASSERT_TRUE(GetScrollInfo(view, SB_VERT, &info));
    EXPECT_EQ(0, info.nMin);
    EXPECT_EQ(40, info.nMax) << "one step a line";
    WTL::CRect client;
    view.GetClientRect(&client);
    EXPECT_EQ(UINT(client.Height() * 40 / view.Layout().totalHeight), info.nPage);
    EXPECT_FALSE(view.GetStyle() & WS_HSCROLL) << "wrapped lines never need one";

    FillLines(2);
    EXPECT_FALSE(view.GetStyle() & WS_VSCROLL);

    // Without wrapping a long line stays whole and brings a horizontal bar.
    Create(kChatStyle & ~HTC_WORDWRAP);
    view.SetWindowText((std::wstring(200, L'w') + L"\nshort").c_str());
    ASSERT_EQ(2u, view.Layout().lines.size());
    EXPECT_EQ(199, view.Layout().lines[0].end);
    EXPECT_TRUE(view.GetStyle() & WS_HSCROLL);
    ASSERT_TRUE(GetScrollInfo(view, SB_HORZ, &info));
    EXPECT_EQ(300, info.nMax) << "characters: the longest line and half as much again";
}

TEST_F(ChatView, WrapsAtTheClientWidth)
{
    view.SetWindowText(L"alpha beta gamma delta epsilon zeta eta theta iota kappa lambda mu nu xi omicron pi rho");
    const auto& lines = view.Layout().lines;
    ASSERT_GT(lines.size(), 1u);
    const std::wstring& text = view.Model().Text();
    for (size_t l = 0; l + 1 < lines.size(); ++l) {
        EXPECT_EQ(L' ', text[lines[l].end + 1]) << "broken at a space " << l;
        EXPECT_EQ(lines[l].end + 2, lines[l + 1].start) << "the space is dropped " << l;
    }
    WTL::CRect client;
    view.GetClientRect(&client);
    for (const HyperTextPiece& p : Pieces()) EXPECT_LE(p.rect.right, client.right - 2);
}

TEST_F(ChatView, ATinyClientAreaHoldsNoLines)
{
    view.SetWindowText(L"some text");
    ASSERT_FALSE(view.Layout().lines.empty());
    view.MoveWindow(0, 0, 9, 30);
    EXPECT_TRUE(view.Layout().lines.empty());
    EXPECT_TRUE(Pieces().empty());
    view.MoveWindow(0, 0, 10, 30);
    EXPECT_FALSE(view.Layout().lines.empty());
}

TEST_F(ChatView, ScrollBarRequestsMoveTheFirstLine)
{
    FillLines(40);
    ASSERT_EQ(0, FirstVisibleLine());
    view.SendMessage(WM_VSCROLL, SB_LINEDOWN);
    EXPECT_EQ(1, FirstVisibleLine());
    view.SendMessage(WM_VSCROLL, SB_LINEDOWN);
    view.SendMessage(WM_VSCROLL, SB_LINEUP);
    EXPECT_EQ(1, FirstVisibleLine());
    view.SendMessage(WM_VSCROLL, SB_TOP);
    EXPECT_EQ(0, FirstVisibleLine());
    view.SendMessage(WM_VSCROLL, SB_LINEUP);
    EXPECT_EQ(0, FirstVisibleLine());

    SCROLLINFO info = {};
    info.cbSize = sizeof(info);
    info.fMask = SIF_ALL;
    GetScrollInfo(view, SB_VERT, &info);
    view.SendMessage(WM_VSCROLL, SB_PAGEDOWN);
    EXPECT_EQ(int(info.nPage), FirstVisibleLine());
    view.SendMessage(WM_VSCROLL, SB_PAGEUP);
    EXPECT_EQ(0, FirstVisibleLine());

    // The bottom: the last line shows, and stays shown as lines are added.
    view.SendMessage(WM_VSCROLL, SB_BOTTOM);
    const int last = static_cast<int>(view.Layout().lines.size()) - 1;
    EXPECT_EQ(view.Layout().lines[last].start, Pieces()[view.VisiblePieces().Rows().back().first].textStart);
    view.AppendText(L"one more\nand another\n", true);
    const int newLast = static_cast<int>(view.Layout().lines.size()) - 1;
    ASSERT_EQ(last + 2, newLast);
    bool shown = false;
    for (const HyperTextPiece& p : Pieces()) shown |= p.textStart == view.Layout().lines[newLast].start;
    EXPECT_TRUE(shown);
}

namespace {
SCROLLINFO ScrollInfo(HWND window, int bar)
{
    SCROLLINFO info = {};
    info.cbSize = sizeof(info);
    info.fMask = SIF_ALL;
    if (!GetScrollInfo(window, bar, &info)) info = SCROLLINFO();
    return info;
}

// The view as a layout of the whole text leaves it: a new view of the same
// style, size and font is given all of the text at once.
void ExpectShownAsWhole(const CChatCtrl& view, HWND host, DWORD style, const std::wstring& all, bool atBottom)
{
    WTL::CRect r;
    view.GetWindowRect(&r);
    ::MapWindowPoints(nullptr, host, reinterpret_cast<POINT*>(&r), 2);
    CChatCtrl whole;
    ASSERT_NE(nullptr, whole.Create(host, &r, nullptr, style));
    whole.SetFont(view.GetFont(), TRUE);
    whole.SetWindowText(all.c_str());
    if (atBottom) whole.SendMessage(WM_VSCROLL, SB_BOTTOM);

    const HyperTextControl::HyperTextLayout& a = view.Layout();
    const HyperTextControl::HyperTextLayout& b = whole.Layout();
    ASSERT_EQ(b.lines.size(), a.lines.size());
    for (size_t l = 0; l < a.lines.size(); ++l) {
        EXPECT_EQ(b.lines[l].start, a.lines[l].start) << l;
        EXPECT_EQ(b.lines[l].end, a.lines[l].end) << l;
    }
    EXPECT_EQ(b.totalWidth, a.totalWidth);
    EXPECT_EQ(b.totalHeight, a.totalHeight);
    EXPECT_EQ(whole.GetStyle(), view.GetStyle());
    // What a hidden bar holds does not show.
    for (int bar : {SB_VERT, SB_HORZ}) {
        if (!(view.GetStyle() & (bar == SB_VERT ? WS_VSCROLL : WS_HSCROLL))) continue;
        const SCROLLINFO x = ScrollInfo(whole, bar), y = ScrollInfo(view, bar);
        EXPECT_EQ(x.nMax, y.nMax) << bar;
        EXPECT_EQ(x.nPage, y.nPage) << bar;
        EXPECT_EQ(x.nPos, y.nPos) << bar;
    }
    const auto& expected = whole.VisiblePieces().Pieces();
    const auto& shown = view.VisiblePieces().Pieces();
    ASSERT_EQ(expected.size(), shown.size());
    for (size_t i = 0; i < shown.size(); ++i) {
        EXPECT_EQ(expected[i].textStart, shown[i].textStart) << i;
        EXPECT_EQ(expected[i].count, shown[i].count) << i;
        const HyperTextControl::PieceRect &x = expected[i].rect, &y = shown[i].rect;
        EXPECT_TRUE(x.left == y.left && x.top == y.top && x.right == y.right && x.bottom == y.bottom) << i;
    }
    whole.DestroyWindow();
}
}  // namespace

// The view lays out only what an append can change; after every append it
// must stand as a layout of the whole text leaves it: lines, bars, ranges
// and pieces, also when its size, font or style changed since the last one.
TEST_F(ChatView, AppendedTextShowsAsTheWholeTextWould)
{
    std::wstring history;
    for (int i = 0; i < 40; ++i) history += L"line " + std::to_wstring(i) + L"\n";
    std::vector<std::wstring> oneByOne;
    for (int i = 1; i < 16; ++i) oneByOne.push_back(L"line " + std::to_wstring(i) + L"\n");
    const std::wstring paragraph = L"alpha beta gamma delta epsilon zeta eta theta iota kappa lambda mu nu xi";

    // A view whose height is a whole number of lines: the lines that first
    // outgrow it with the bar's height below them fit it without, so the bar
    // the overflow brings goes again when its range is set.
    view.SetWindowText(L"x");
    const int lineHeight = view.Layout().lineHeight;
    ASSERT_GT(GetSystemMetrics(SM_CYHSCROLL), lineHeight) << "no view height gives a bar that goes again";
    const int wholeLines = 12 * lineHeight;

    WTL::CFont larger;
    larger.CreatePointFont(120, L"Tahoma");

    // What changes before a piece is appended: the view's size, its font,
    // its style (none when empty).
    struct Append {
        std::wstring text;
        SIZE size = {0, 0};
        HFONT font = nullptr;
        DWORD style = 0;
    };
    struct Case {
        const char* what;
        DWORD style;
        int height;
        std::wstring first;
        std::vector<Append> appended;
        bool atBottom;
    };
    auto plain = [](const std::vector<std::wstring>& texts) {
        std::vector<Append> appended;
        for (const std::wstring& t : texts) appended.push_back({t});
        return appended;
    };
    const Case cases[] = {
        {"a chat line below a view scrolled to its end", kChatStyle, kHeight, history,
         plain({L"Bob (1:2:3 4/5/2024)", L"\n", L"see www.example.org for it", L"\n\n"}), true},
        {"the lines outgrow the view and bring the bar", kChatStyle, kHeight, L"one\ntwo\n", plain({history, L"end"}),
         false},
        {"a long text line wraps as it grows", kChatStyle, kHeight, L"start ",
         plain({L"alpha beta gamma delta epsilon zeta eta", L" theta iota kappa lambda mu nu xi omicron pi"}), false},
        {"a CR and then its LF", kChatStyle, kHeight, L"a\r", plain({L"\nb\r", L"\n"}), false},
        {"without wrapping a line grows past the view", kChatStyle & ~HTC_WORDWRAP, kHeight, L"short\nlong",
         plain({std::wstring(100, L'w'), L"\nnext"}), false},
        {"one line at a time past the first overflow, in a view of whole lines", kChatStyle, wholeLines,
         L"line 0\n", plain(oneByOne), false},
        {"the view is resized between appends", kChatStyle, kHeight, paragraph,
         {{L" omicron pi", {kWidth - 120, kHeight}},
          {L" rho sigma"},
          {L"\n" + history, {kWidth, 46}},
          {L"end", {kWidth + 40, 3 * kHeight}},
          {L" tau"}},
         false},
        {"the font changes between appends", kChatStyle, kHeight, paragraph,
         {{L" omicron pi", {}, larger}, {L" rho sigma\n" + history}, {L"end", {}, font}, {L" tau"}}, false},
        {"the style changes between appends", kChatStyle, kHeight, paragraph,
         {{L" omicron pi", {}, nullptr, kChatStyle & ~HTC_WORDWRAP},
          {L" rho sigma\n"},
          {history, {}, nullptr, kChatStyle},
          {L"end"}},
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Create(c.style);
        view.SetWindowPos(nullptr, 0, 0, kWidth, c.height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        std::wstring all = c.first;
        DWORD style = c.style;
        view.SetWindowText(c.first.c_str());
        if (c.atBottom) view.SendMessage(WM_VSCROLL, SB_BOTTOM);
        for (size_t i = 0; i < c.appended.size(); ++i) {
            SCOPED_TRACE(i);
            const Append& a = c.appended[i];
            if (a.size.cx)
                view.SetWindowPos(nullptr, 0, 0, a.size.cx, a.size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
            if (a.font) view.SetFont(a.font, TRUE);
            if (a.style) {
                // The bars stay as the view left them.
                style = a.style;
                const DWORD bars = view.GetStyle() & (WS_VSCROLL | WS_HSCROLL);
                ::SetWindowLongW(view, GWL_STYLE, static_cast<LONG>(style | bars));
            }
            view.AppendText(a.text, true);
            all += a.text;
            ExpectShownAsWhole(view, host, style, all, c.atBottom);
        }
    }
}

TEST_F(ChatView, AHorizontalStepHidesOneMoreCharacterOfEveryLine)
{
    Create(kChatStyle & ~HTC_WORDWRAP);
    view.SetWindowText((std::wstring(120, L'a') + L"\n" + std::wstring(100, L'b')).c_str());
    ASSERT_TRUE(view.GetStyle() & WS_HSCROLL);
    const auto& rows = view.VisiblePieces().Rows();
    ASSERT_EQ(2u, rows.size());
    for (int step = 1; step <= 3; ++step) {
        view.SendMessage(WM_HSCROLL, SB_LINEDOWN);
        EXPECT_EQ(step, Pieces()[rows[0].first].textStart);
        EXPECT_EQ(121 + step, Pieces()[rows[1].first].textStart);
        EXPECT_EQ(2, Pieces()[rows[1].first].rect.left);
    }
}

TEST_F(ChatView, WheelNotchesBecomeLineSteps)
{
    UINT lines = 0;
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines, 0));
    ASSERT_GT(lines, 0u);
    ASSERT_NE(WHEEL_PAGESCROLL, lines);
    gui::PumpMessages();
    RECT window;
    view.GetWindowRect(&window);
    const LPARAM inside = Point(window.left + 5, window.top + 5);
    auto posted = [&](WPARAM code) {
        int n = 0;
        MSG msg;
        while (PeekMessageW(&msg, view, WM_VSCROLL, WM_VSCROLL, PM_REMOVE)) n += msg.wParam == code;
        return n;
    };

    view.SendMessage(WM_MOUSEWHEEL, MAKEWPARAM(0, 60), inside);
    EXPECT_EQ(0, posted(SB_LINEUP));
    view.SendMessage(WM_MOUSEWHEEL, MAKEWPARAM(0, 60), inside);
    EXPECT_EQ(int(lines), posted(SB_LINEUP));
    view.SendMessage(WM_MOUSEWHEEL, MAKEWPARAM(0, WORD(-120)), inside);
    EXPECT_EQ(int(lines), posted(SB_LINEDOWN));
    // A notch and a half, then the other half: the remainder is kept.
    view.SendMessage(WM_MOUSEWHEEL, MAKEWPARAM(0, 180), inside);
    EXPECT_EQ(int(lines), posted(SB_LINEUP));
    view.SendMessage(WM_MOUSEWHEEL, MAKEWPARAM(0, 60), inside);
    EXPECT_EQ(int(lines), posted(SB_LINEUP));
    view.SendMessage(WM_MOUSEWHEEL, MAKEWPARAM(0, WORD(-120)), Point(window.right + 5, window.top + 5));
    EXPECT_EQ(0, posted(SB_LINEDOWN)) << "outside the window";

    // "One screen per notch" scrolls by a page.
    ASSERT_TRUE(SystemParametersInfoW(SPI_SETWHEELSCROLLLINES, WHEEL_PAGESCROLL, nullptr, 0));
    view.SendMessage(WM_MOUSEWHEEL, MAKEWPARAM(0, WORD(-120)), inside);
    SystemParametersInfoW(SPI_SETWHEELSCROLLLINES, lines, nullptr, 0);
    EXPECT_EQ(1, posted(SB_PAGEDOWN));
}

TEST_F(ChatView, ALinkUnderTheMouseIsHighlightedAndLetGo)
{
    view.SetWindowText(L"see www.example.org now");
    Show();
    const int link = FindPiece(L"www.example.org");
    const int plain = FindPiece(L" now");
    ASSERT_NE(kNoPiece, link);
    ASSERT_NE(kNoPiece, plain);
    const gui::Pixels before = Painted();
    const auto& rect = Pieces()[link].rect;
    EXPECT_GT(CountNear(before, rect, Rgb(0, 0, 255), 60), 5) << "blue as a link";

    MoveTo(Middle(link));
    EXPECT_EQ(view.m_hWnd, GetCapture());
    EXPECT_EQ(link, view.HoveredPiece());
    gui::Pixels hovered = OnScreen();
    EXPECT_GT(CountNear(hovered, rect, Rgb(255, 0, 0), 60), 5) << "red while hovered";
    EXPECT_EQ(0, CountNear(hovered, rect, Rgb(0, 0, 255), 60));
    EXPECT_EQ(0, Differences(hovered, Painted())) << "a repaint shows the same";

    // Onto plain text: the link is a link again, exactly as painted.
    MoveTo(Middle(plain));
    EXPECT_EQ(kNoPiece, view.HoveredPiece());
    EXPECT_EQ(view.m_hWnd, GetCapture());
    EXPECT_EQ(0, Differences(OnScreen(), before));

    // Out of the view: the capture goes, and the hover with it.
    MoveTo(Middle(link));
    ASSERT_EQ(link, view.HoveredPiece());
    view.SendMessage(WM_MOUSEMOVE, 0, Point(-3, 10));
    EXPECT_EQ(nullptr, GetCapture());
    EXPECT_EQ(kNoPiece, view.HoveredPiece());
    EXPECT_EQ(0, Differences(OnScreen(), before));
}

TEST_F(ChatView, ALinkOverTwoLinesIsHighlightedWhole)
{
    view.SetWindowText((L"start " + std::wstring(30, L'x') + L" http://example.org/" + std::wstring(40, L'p')).c_str());
    Show();
    int first = kNoPiece;
    for (size_t i = 0; i < Pieces().size(); ++i)
        if (Pieces()[i].run != kNoRun && Pieces()[i].next != kNoPiece) first = static_cast<int>(i);
    ASSERT_NE(kNoPiece, first) << "the link wraps";
    const int second = Pieces()[first].next;
    EXPECT_GT(Pieces()[second].rect.top, Pieces()[first].rect.top);

    MoveTo(Middle(second));
    EXPECT_EQ(first, view.HoveredPiece()) << "the hover starts at the link's first piece";
    gui::Pixels p = OnScreen();
    EXPECT_GT(CountNear(p, Pieces()[first].rect, Rgb(255, 0, 0), 60), 5);
    EXPECT_GT(CountNear(p, Pieces()[second].rect, Rgb(255, 0, 0), 60), 5);
    MoveTo(Middle(first));
    EXPECT_EQ(first, view.HoveredPiece());

    // Both pieces carry the link's tooltip.
    EXPECT_EQ(2, SendMessageW(view.ToolTipWindow(), TTM_GETTOOLCOUNT, 0, 0));
    for (UINT id = 1; id <= 2; ++id) {
        wchar_t tip[128] = {};
        TOOLINFOW tool = {};
        tool.cbSize = TTTOOLINFOW_V2_SIZE;
        tool.hwnd = view;
        tool.uId = id;
        tool.lpszText = tip;
        SendMessageW(view.ToolTipWindow(), TTM_GETTEXTW, 128, LPARAM(&tool));
        EXPECT_EQ(view.Model().Runs()[0].tooltip, std::wstring(tip)) << id;
    }
}

// A piece's rectangle places the piece after it, takes the mouse and the
// tooltip and bounds the hover underline, so the letters must fill it: no
// gap opens around a link, and the underline ends with the link's text.
TEST_F(ChatView, PiecesAreDrawnAsWideAsTheyWereMeasured)
{
    view.SetWindowText(L"notes at www.example.org/notes, have a look\nmail carol@example.org too");
    Show();
    const gui::Pixels painted = Painted();
    HDC dc = GetDC(view);
    HGDIOBJ old = SelectObject(dc, font);
    auto textEnd = [&](const HyperTextPiece& piece) {
        std::wstring text = TextOf(piece);
        while (!text.empty() && iswspace(text.back())) text.pop_back();
        SIZE size = {};
        GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
        return piece.rect.left + static_cast<int>(size.cx);
    };
    ASSERT_EQ(6u, Pieces().size());
    for (const HyperTextPiece& piece : Pieces()) {
        const uint32_t colour = piece.run == kNoRun ? FromColorRef(GetSysColor(COLOR_WINDOWTEXT)) : Rgb(0, 0, 255);
        const Ink ink = InkOf(painted, piece.rect.top, piece.rect.bottom, piece.rect.left, piece.rect.right + 4, colour);
        EXPECT_NEAR(textEnd(piece), ink.right + 1, 2) << TextOf(piece);
    }

    // Hovered, the underline is the row with the most pixels of the hover colour.
    const int carol = FindPiece(L"carol@example.org");
    ASSERT_NE(kNoPiece, carol);
    const auto& rect = Pieces()[carol].rect;
    MoveTo(Middle(carol));
    const gui::Pixels hovered = OnScreen();
    int underline = -1, widest = 0;
    for (int y = rect.top; y < rect.bottom; ++y) {
        const Ink row = InkOf(hovered, y, y + 1, rect.left, rect.right + 4, Rgb(255, 0, 0));
        if (row.right - row.left > widest) widest = row.right - row.left, underline = y;
    }
    ASSERT_GE(underline, 0);
    const Ink line = InkOf(hovered, underline, underline + 1, rect.left, rect.right + 4, Rgb(255, 0, 0));
    const Ink letters = InkOf(hovered, rect.top, underline, rect.left, rect.right + 4, Rgb(255, 0, 0));
    EXPECT_NEAR(textEnd(Pieces()[carol]), letters.right + 1, 2);
    EXPECT_NEAR(letters.right, line.right, 2) << "the underline ends with the letters";
    SelectObject(dc, old);
    ReleaseDC(view, dc);
}

TEST_F(ChatView, StyledTextIsColouredBoldAndNeverHovered)
{
    view.AppendStyledText(L"Alice (9:5:7 3/2/2024)", L"", L" ", L"", RGB(255, 0, 0), true, true);
    view.AppendText(L"\nhello there\n\n", true);
    view.AppendStyledText(L"Bob (9:6:0 3/2/2024)", L"", L" ", L"", RGB(0, 0, 255), true, true);
    Show();
    const gui::Pixels p = Painted();
    const int alice = FindPiece(L"Alice (9:5:7 3/2/2024)");
    const int bob = FindPiece(L"Bob (9:6:0 3/2/2024)");
    const int body = FindPiece(L"hello there");
    ASSERT_NE(kNoPiece, alice);
    ASSERT_NE(kNoPiece, bob);
    ASSERT_NE(kNoPiece, body);
    EXPECT_GT(CountNear(p, Pieces()[alice].rect, Rgb(255, 0, 0), 60), 5);
    EXPECT_EQ(0, CountNear(p, Pieces()[alice].rect, Rgb(0, 0, 255), 60));
    EXPECT_GT(CountNear(p, Pieces()[bob].rect, Rgb(0, 0, 255), 60), 5);
    EXPECT_GT(CountNear(p, Pieces()[body].rect, FromColorRef(GetSysColor(COLOR_WINDOWTEXT)), 60), 5);

    MoveTo(Middle(alice));
    EXPECT_EQ(kNoPiece, view.HoveredPiece());
    // Its tooltip tool is there all the same, one per styled piece.
    EXPECT_EQ(2, SendMessageW(view.ToolTipWindow(), TTM_GETTOOLCOUNT, 0, 0));
}

TEST_F(ChatView, ClicksOpenLinksAndNothingElse)
{
    view.AppendStyledText(L"Alice", L"", L" ", L"", RGB(255, 0, 0), true, true);
    view.AppendText(L"\nmail bob@example.org, or see ftp.example.org", true);
    const int name = FindPiece(L"Alice");
    const int mail = FindPiece(L"bob@example.org");
    const int ftp = FindPiece(L"ftp.example.org");
    const int plain = FindPiece(L"mail ");
    for (int piece : {name, mail, ftp, plain}) ASSERT_NE(kNoPiece, piece);
    for (int piece : {name, mail, ftp, plain}) {
        POINT at = Middle(piece);
        view.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, Point(at.x, at.y));
        view.SendMessage(WM_LBUTTONUP, 0, Point(at.x, at.y));
    }
    ASSERT_EQ(2u, g_opened.size()) << "neither the styled name nor plain text opens anything";
    EXPECT_EQ(L"mailto:bob@example.org", g_opened[0].target);
    EXPECT_EQ(L"ftp://ftp.example.org", g_opened[1].target);
    for (const Opened& o : g_opened) {
        EXPECT_FALSE(o.verbGiven);
        EXPECT_FALSE(o.directoryGiven);
        EXPECT_EQ(SW_SHOWDEFAULT, o.show);
    }
}

TEST_F(ChatView, NothingLaidOutNothingUnderTheMouse)
{
    view.SetWindowText(L"");
    MoveTo({40, 10});
    EXPECT_EQ(view.m_hWnd, GetCapture()) << "the capture is taken all the same";
    view.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, Point(40, 10));
    EXPECT_TRUE(g_opened.empty());
    EXPECT_EQ(kNoPiece, view.HoveredPiece());
}

TEST_F(ChatView, PaintsTheHostsBackgroundUnderAVeil)
{
    view.SetWindowText(L"top line");
    const gui::Pixels p = Painted();
    ASSERT_EQ(kWidth, p.width);
    for (POINT at : {POINT{200, 100}, POINT{5, kHeight - 2}, POINT{kWidth - 1, 40}}) {
        SCOPED_TRACE(std::to_string(at.x) + "," + std::to_string(at.y));
        EXPECT_TRUE(gui::Near(gui::Veiled(Surface(at.x + kLeft, at.y + kTop)), p.At(at.x, at.y), 1));
    }
}

// A conversation as the chat page writes it, over the program's background.
TEST_F(ChatView, Screenshot)
{
    host.background.DeleteObject();
    host.background.LoadBitmap(IDB_BACKGROUND);
    view.MoveWindow(10, 10, 380, 240);
    const wchar_t* lines[][2] = {
        {L"alice (9:5:7 3/2/2024)", L"Morning! The notes are at www.example.org/notes, have a look."},
        {L"bob (9:6:12 3/2/2024)", L"Thanks. Mail carol@example.org too, she asked for http://example.org/plan."},
        {L"alice (9:7:30 3/2/2024)", L"Will do."},
    };
    bool own = true;
    for (auto& line : lines) {
        view.AppendStyledText(line[0], L"", L" ", L"", own ? RGB(255, 0, 0) : RGB(0, 0, 255), true, true);
        view.AppendText(L"\n", true);
        view.AppendText(line[1], true);
        view.AppendText(L"\n\n", true);
        own = !own;
    }
    Show();
    MoveTo(Middle(FindPiece(L"carol@example.org")));
    EXPECT_TRUE(gui::SavePng(gui::CaptureScreen(host), "hypertext_chat"));
}
