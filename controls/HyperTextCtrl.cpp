#include "HyperTextCtrl.h"

#include <algorithm>
#include <cstdlib>

namespace HyperTextControl {

namespace {
// The layout's measure: the font selected into a DC.
class DCMeasure : public TextMeasure {
public:
    explicit DCMeasure(HDC dc) : dc_(dc) {}
    bool Measure(const wchar_t* text, int count, int maxExtent, int& fit, int& width, int& height,
                 int* extents) override
    {
        INT fitted = 0;
        SIZE size = {};
        if (!::GetTextExtentExPointW(dc_, text, count, maxExtent, &fitted, extents, &size)) return false;
        fit = fitted;
        width = size.cx;
        height = size.cy;
        return true;
    }

private:
    HDC dc_;
};

// The view's white veil over the background behind it.
const BYTE kVeilAlpha = 25;
const int kWheelNotch = WHEEL_DELTA;

TOOLINFOW Tool(HWND owner, UINT id)
{
    TOOLINFOW tool = {};
    // The size every common-controls version takes.
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.hwnd = owner;
    tool.uId = id;
    return tool;
}

RECT ToRect(const PieceRect& r) { return {r.left, r.top, r.right, r.bottom}; }
}  // namespace

template <class TBase>
CHyperTextCtrlT<TBase>::CHyperTextCtrlT()
    : m_openTarget(::ShellExecuteW),
      m_layingOut(false),
      m_vScrollPercent(0),
      m_hScrollPercent(0),
      m_font(nullptr),
      m_backColour(0),
      m_textColour(0),
      m_linkColour(0xFF0000),
      m_hoverColour(0x0000FF),
      m_linkCursor(nullptr),
      m_normalCursor(nullptr),
      m_hoveredPiece(kNoPiece),
      m_wheelAccumulator(0),
      m_toolCount(0),
      m_layoutStyle(0),
      m_layoutFont(nullptr)
{
}

template <class TBase>
CHyperTextCtrlT<TBase>::~CHyperTextCtrlT()
{
    if (m_tooltip.IsWindow()) m_tooltip.DestroyWindow();
}

template <class TBase>
void CHyperTextCtrlT<TBase>::SetText(const std::wstring& text)
{
    m_model.SetText(text);
    CalcLines(this->IsWindowVisible() != FALSE);
}

template <class TBase>
void CHyperTextCtrlT<TBase>::AppendText(const std::wstring& text, bool redraw)
{
    m_model.AppendText(text);
    CalcLines(redraw, true);
}

template <class TBase>
void CHyperTextCtrlT<TBase>::AppendStyledText(const std::wstring& text, const std::wstring& tooltip,
                                              const std::wstring& target, const std::wstring& directory,
                                              COLORREF colour, bool isStatic, bool redraw)
{
    m_model.AppendStyledText(text, tooltip, target, directory, colour, isStatic);
    CalcLines(redraw, true);
}

template <class TBase>
LRESULT CHyperTextCtrlT<TBase>::OnCreate(UINT, WPARAM, LPARAM, BOOL&)
{
    m_layout = HyperTextLayout();
    m_layoutFont = nullptr;
    m_layingOut = false;
    m_vScrollPercent = m_hScrollPercent = 0;
    m_defaultFont.CreatePointFont(100, L"Times New Roman");
    m_font = m_defaultFont;
    m_backColour = ::GetSysColor(COLOR_WINDOW);
    m_textColour = ::GetSysColor(COLOR_WINDOWTEXT);
    m_linkColour = 0xFF0000;
    m_hoverColour = 0x0000FF;
    m_linkCursor = m_normalCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    m_hoveredPiece = kNoPiece;
    m_wheelAccumulator = 0;
    // No prefix processing: an '&' in a link target stays visible.
    if (m_tooltip.Create(this->m_hWnd, nullptr, nullptr, WS_POPUP | TTS_NOPREFIX)) m_tooltip.Activate(TRUE);
    CreateLinkFonts();
    return 0;
}

template <class TBase>
LRESULT CHyperTextCtrlT<TBase>::OnSetText(UINT, WPARAM, LPARAM lParam, BOOL&)
{
    const wchar_t* text = reinterpret_cast<const wchar_t*>(lParam);
    SetText(text ? text : L"");
    return TRUE;
}

template <class TBase>
LRESULT CHyperTextCtrlT<TBase>::OnGetText(UINT, WPARAM wParam, LPARAM lParam, BOOL&)
{
    wchar_t* buffer = reinterpret_cast<wchar_t*>(lParam);
    if (!buffer || wParam == 0) return 0;
    const std::wstring& text = m_model.Text();
    const size_t count = std::min<size_t>(wParam - 1, text.size());
    text.copy(buffer, count);
    buffer[count] = L'\0';
    return static_cast<LRESULT>(count);
}

// Kept in step with WM_GETTEXT, so that GetWindowTextLength sizes a buffer
// for the whole text.
template <class TBase>
LRESULT CHyperTextCtrlT<TBase>::OnGetTextLength(UINT, WPARAM, LPARAM, BOOL&)
{
    return static_cast<LRESULT>(m_model.Text().size());
}

template <class TBase>
LRESULT CHyperTextCtrlT<TBase>::OnSetFont(UINT, WPARAM wParam, LPARAM lParam, BOOL&)
{
    // No font means the view's own again, as for the standard controls.
    HFONT font = reinterpret_cast<HFONT>(wParam);
    m_font = font ? font : static_cast<HFONT>(m_defaultFont);
    CreateLinkFonts();
    CalcLines(LOWORD(lParam) != 0);
    return 0;
}

template <class TBase>
LRESULT CHyperTextCtrlT<TBase>::OnGetFont(UINT, WPARAM, LPARAM, BOOL&)
{
    return reinterpret_cast<LRESULT>(m_font);
}

template <class TBase>
LRESULT CHyperTextCtrlT<TBase>::OnSize(UINT, WPARAM, LPARAM, BOOL&)
{
    CalcLines(this->IsWindowVisible() != FALSE);
    return 0;
}

template <class TBase>
LRESULT CHyperTextCtrlT<TBase>::OnShowWindow(UINT, WPARAM wParam, LPARAM, BOOL&)
{
    if (wParam) CalcLines(false);
    return 0;
}

template <class TBase>
LRESULT CHyperTextCtrlT<TBase>::OnHScroll(UINT, WPARAM wParam, LPARAM, BOOL&)
{
    Scroll(SB_HORZ, wParam);
    return 1;
}

template <class TBase>
LRESULT CHyperTextCtrlT<TBase>::OnVScroll(UINT, WPARAM wParam, LPARAM, BOOL&)
{
    Scroll(SB_VERT, wParam);
    return 1;
}

// The mouse left the view (or another window took the mouse): the link is
// drawn as a link again, on its own background, so that no trace of the
// hover colour or underline stays.
template <class TBase>
LRESULT CHyperTextCtrlT<TBase>::OnCaptureChanged(UINT, WPARAM, LPARAM, BOOL&)
{
    ClearHover(true);
    return 0;
}

template <class TBase>
void CHyperTextCtrlT<TBase>::CalcLines(bool redraw, bool appended)
{
    if (m_layingOut) return;
    m_layingOut = true;
    if (!appended || !ExtendLines(redraw)) LayOutAllLines(redraw);
    const WTL::CRect& area = m_layoutArea;

    DWORD style = this->GetStyle();
    if ((style & HTC_AUTOSCROLLBARS) && !(style & HTC_WORDWRAP) && area.Width() < m_layout.totalWidth) {
        ::ShowScrollBar(this->m_hWnd, SB_HORZ, TRUE);
        style |= WS_HSCROLL;
    }
    // The window as these lines were laid out for it, before the ranges are
    // set: a range that fits its page hides the bar the overflow check
    // brought (the check allows for a bar taller than a line), and a whole
    // layout would bring it back as soon as a line is added. A bar hidden
    // here is a change, and the next append lays everything out.
    this->GetClientRect(&m_layoutClient);
    m_layoutStyle = this->GetStyle();
    m_layoutFont = m_font;
    ScrollRange range;
    if ((style & WS_HSCROLL) && HorizontalRange(m_layout, area.Width(), m_hScrollPercent, range)) {
        SCROLLINFO info = {sizeof(info), SIF_RANGE | SIF_PAGE | SIF_POS, 0, range.maximum,
                           static_cast<UINT>(range.page), range.position, 0};
        ::SetScrollInfo(this->m_hWnd, SB_HORZ, &info, FALSE);
    }
    if ((style & WS_VSCROLL) && VerticalRange(m_layout, area.Height(), m_vScrollPercent, range)) {
        SCROLLINFO info = {sizeof(info), SIF_RANGE | SIF_PAGE | SIF_POS, 0, range.maximum,
                           static_cast<UINT>(range.page), range.position, 0};
        ::SetScrollInfo(this->m_hWnd, SB_VERT, &info, FALSE);
    }
    m_layingOut = false;
    UpdateVisiblePieces();
}

// Lines the last layout made for a window that has not changed since stay
// as they are, and so do the scroll bars: a whole layout would hide them,
// find the same overflow and show them again. Only text that makes the lines
// outgrow the area for the first time needs the whole layout, for the
// narrower client the vertical bar leaves.
template <class TBase>
bool CHyperTextCtrlT<TBase>::ExtendLines(bool redraw)
{
    WTL::CRect client;
    this->GetClientRect(&client);
    if (!m_layoutFont || m_layoutFont != m_font || m_layoutStyle != this->GetStyle() || client != m_layoutClient)
        return false;
    WTL::CClientDC dc(this->m_hWnd);
    HFONT oldFont = dc.SelectFont(m_font);
    DCMeasure measure(dc);
    const LayoutResult result = m_layout.Extend(m_model, measure);
    dc.SelectFont(oldFont);
    if (result == LayoutResult::Overflow) return false;
    if (result == LayoutResult::Done && redraw) this->InvalidateRect(&m_layoutArea, TRUE);
    return true;
}

template <class TBase>
void CHyperTextCtrlT<TBase>::LayOutAllLines(bool redraw)
{
    DWORD style = this->GetStyle();
    bool checkOverflow = false;
    if (style & HTC_AUTOSCROLLBARS) {
        // Showing or hiding a bar resizes the client area, and the WM_SIZE
        // that brings finds this layout in progress.
        ::ShowScrollBar(this->m_hWnd, SB_BOTH, FALSE);
        checkOverflow = true;
    }
    WTL::CClientDC dc(this->m_hWnd);
    HFONT oldFont = dc.SelectFont(m_font);
    const int barHeight = ::GetSystemMetrics(SM_CYHSCROLL);
    DCMeasure measure(dc);
    WTL::CRect& area = m_layoutArea;
    for (;;) {
        this->GetClientRect(&area);
        area.left += 2;
        area.right -= 2;
        const LayoutResult result = m_layout.Pass(m_model, measure, area.Width(), area.Height(),
                                                  (style & HTC_WORDWRAP) != 0, checkOverflow, barHeight);
        if (result == LayoutResult::Overflow) {
            // The bar makes the client narrower: lay out once more.
            checkOverflow = false;
            ::ShowScrollBar(this->m_hWnd, SB_VERT, TRUE);
            style |= WS_VSCROLL;
            continue;
        }
        if (result == LayoutResult::Done && redraw) this->InvalidateRect(&area, TRUE);
        break;
    }
    dc.SelectFont(oldFont);
}

template <class TBase>
void CHyperTextCtrlT<TBase>::UpdateVisiblePieces()
{
    ClearHover(false);
    if (m_tooltip.IsWindow())
        for (int id = 1; id <= m_toolCount; ++id) {
            TOOLINFOW tool = Tool(this->m_hWnd, static_cast<UINT>(id));
            m_tooltip.DelTool(&tool);
        }
    m_toolCount = 0;
    m_visible.Clear();

    const DWORD style = this->GetStyle();
    const int firstLine = (style & WS_VSCROLL) ? ::GetScrollPos(this->m_hWnd, SB_VERT) : 0;
    const int charShift = (style & WS_HSCROLL) ? ::GetScrollPos(this->m_hWnd, SB_HORZ) : 0;
    if (firstLine < static_cast<int>(m_layout.lines.size())) {
        WTL::CClientDC dc(this->m_hWnd);
        HFONT oldFont = dc.SelectFont(m_font);
        DCMeasure measure(dc);
        WTL::CRect client;
        this->GetClientRect(&client);
        m_visible.Build(m_model, m_layout, firstLine, charShift, client.right, client.bottom, measure);
        dc.SelectFont(oldFont);
    }

    if ((style & HTC_TOOLTIPS) && m_tooltip.IsWindow())
        for (const HyperTextPiece& piece : m_visible.Pieces()) {
            if (piece.run == kNoRun) continue;
            TOOLINFOW tool = Tool(this->m_hWnd, static_cast<UINT>(++m_toolCount));
            tool.rect = ToRect(piece.rect);
            tool.lpszText = const_cast<LPWSTR>(m_model.Runs()[piece.run].tooltip.c_str());
            m_tooltip.AddTool(&tool);
        }
}

template <class TBase>
void CHyperTextCtrlT<TBase>::CreateLinkFonts()
{
    m_linkFont.DeleteObject();
    m_hoverFont.DeleteObject();
    m_boldFont.DeleteObject();
    LOGFONTW font = {};
    ::GetObjectW(m_font, sizeof(font), &font);
    const DWORD style = this->GetStyle();
    LOGFONTW derived = font;
    if (style & HTC_UNDERLINELINKS) derived.lfUnderline = TRUE;
    m_linkFont.CreateFontIndirect(&derived);
    derived = font;
    if (style & HTC_UNDERLINEHOVER) derived.lfUnderline = TRUE;
    m_hoverFont.CreateFontIndirect(&derived);
    derived = font;
    derived.lfWeight = FW_BOLD;
    m_boldFont.CreateFontIndirect(&derived);
}

template <class TBase>
void CHyperTextCtrlT<TBase>::Scroll(int bar, WPARAM request)
{
    SCROLLINFO info = {sizeof(info), SIF_ALL, 0, 0, 0, 0, 0};
    if (!::GetScrollInfo(this->m_hWnd, bar, &info)) return;
    int position = info.nPos;
    const int page = static_cast<int>(info.nPage);
    switch (LOWORD(request)) {
    case SB_LINEUP:
        if (position > info.nMin) --position;
        break;
    case SB_LINEDOWN:
        if (position < info.nMax) ++position;
        break;
    case SB_PAGEUP:
        if (position > info.nMin) position = std::max(position - page, info.nMin);
        break;
    case SB_PAGEDOWN:
        if (position < info.nMax) position = std::min(position + page, info.nMax);
        break;
    case SB_THUMBTRACK:
        position = info.nTrackPos;
        break;
    case SB_TOP:
        position = info.nMin;
        break;
    case SB_BOTTOM:
        position = info.nMax;
        break;
    default:
        break;
    }
    if (info.nMax != info.nMin)
        (bar == SB_VERT ? m_vScrollPercent : m_hScrollPercent) = position * 100 / (info.nMax - info.nMin);
    info.fMask = SIF_POS;
    info.nPos = position;
    ::SetScrollInfo(this->m_hWnd, bar, &info, TRUE);
    UpdateVisiblePieces();
    this->Invalidate(FALSE);
}

template <class TBase>
LRESULT CHyperTextCtrlT<TBase>::OnMouseMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL&)
{
    if (m_tooltip.IsWindow()) {
        MSG msg = {this->m_hWnd, uMsg, wParam, lParam, 0, {0, 0}};
        m_tooltip.RelayEvent(&msg);
    }
    switch (uMsg) {
    case WM_MOUSEMOVE:
        OnMouseMove(lParam);
        break;
    case WM_LBUTTONDOWN:
        OnLButtonDown(lParam);
        break;
    case WM_MOUSEWHEEL:
        OnMouseWheel(wParam, lParam);
        break;
    default:
        break;
    }
    return 0;
}

template <class TBase>
int CHyperTextCtrlT<TBase>::PieceUnder(LPARAM lParam) const
{
    const POINT at = {LOWORD(lParam), HIWORD(lParam)};
    WTL::CRect client;
    this->GetClientRect(&client);
    if (!::PtInRect(&client, at)) return kNoPiece;
    return m_visible.At(at.x, at.y, m_layout.lineHeight);
}

template <class TBase>
void CHyperTextCtrlT<TBase>::OnMouseMove(LPARAM lParam)
{
    // Unsigned words: a captured mouse left or above the view is far right
    // or below, so outside as well.
    const POINT at = {LOWORD(lParam), HIWORD(lParam)};
    WTL::CRect client;
    this->GetClientRect(&client);
    if (!::PtInRect(&client, at)) {
        if (::GetCapture() == this->m_hWnd) ::ReleaseCapture();
        return;
    }
    // The capture tells when the mouse leaves the view.
    if (::GetCapture() != this->m_hWnd) this->SetCapture();
    if (m_layout.lineHeight == 0) return;
    const int piece = m_visible.At(at.x, at.y, m_layout.lineHeight);
    const int run = piece == kNoPiece ? kNoRun : m_visible.Pieces()[piece].run;
    if (run != kNoRun && !m_model.Runs()[run].isStatic)
        SetHoverPiece(piece);
    else
        ClearHover(true);
}

template <class TBase>
void CHyperTextCtrlT<TBase>::OnLButtonDown(LPARAM lParam)
{
    const int piece = PieceUnder(lParam);
    if (piece == kNoPiece) return;
    const int run = m_visible.Pieces()[piece].run;
    // Only links open. A styled stretch (a line's sender and time) is
    // text, whatever target it carries.
    if (run != kNoRun && !m_model.Runs()[run].isStatic) OpenRunTarget(m_model.Runs()[run]);
}

template <class TBase>
void CHyperTextCtrlT<TBase>::OnMouseWheel(WPARAM wParam, LPARAM lParam)
{
    // Signed: a screen left of or above the first one has negative coordinates.
    const WTL::CPoint at(lParam);
    WTL::CRect window;
    this->GetWindowRect(&window);
    if (!::PtInRect(&window, at)) return;
    UINT lines = 3;
    ::SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines, 0);
    m_wheelAccumulator -= static_cast<short>(HIWORD(wParam));
    if (std::abs(m_wheelAccumulator) < kWheelNotch) return;
    const bool down = m_wheelAccumulator > 0;
    if (lines == WHEEL_PAGESCROLL) {
        // "One screen per notch": a page, not four thousand million lines.
        this->PostMessage(WM_VSCROLL, down ? SB_PAGEDOWN : SB_PAGEUP);
    } else {
        for (UINT i = 0; i < lines; ++i) this->PostMessage(WM_VSCROLL, down ? SB_LINEDOWN : SB_LINEUP);
    }
    m_wheelAccumulator %= kWheelNotch;
}

template <class TBase>
void CHyperTextCtrlT<TBase>::SetHoverPiece(int piece)
{
    const int first = m_visible.FirstOfChain(piece);
    if (first == m_hoveredPiece) return;
    ClearHover(true);
    m_hoveredPiece = first;
    DrawHoverChain(m_hoverFont, m_hoverColour, true);
    ::SetCursor(m_linkCursor);
}

template <class TBase>
void CHyperTextCtrlT<TBase>::ClearHover(bool repaintBackground)
{
    if (m_hoveredPiece == kNoPiece) return;
    DrawHoverChain(m_linkFont, m_linkColour, repaintBackground);
    m_hoveredPiece = kNoPiece;
    ::SetCursor(m_normalCursor);
}

template <class TBase>
void CHyperTextCtrlT<TBase>::DrawHoverChain(HFONT font, COLORREF colour, bool repaintBackground)
{
    WTL::CClientDC dc(this->m_hWnd);
    HFONT oldFont = dc.SelectFont(font);
    dc.SetBkColor(m_backColour);
    dc.SetTextColor(colour);
    dc.SetBkMode(TRANSPARENT);
    WTL::CBitmap* background = GetParentBackground();
    const bool hasBackground = background && !background->IsNull();
    const auto& pieces = m_visible.Pieces();
    for (int i = m_hoveredPiece; i != kNoPiece; i = pieces[i].next) {
        const HyperTextPiece& piece = pieces[i];
        const RECT rect = ToRect(piece.rect);
        // The same surface the full paint lays down: the background
        // behind the view under its veil.
        if (repaintBackground && hasBackground) {
            PaintParentBackgroundRect(dc, this->GetParent(), this->m_hWnd, rect, background);
            VeilRect(dc, rect, kVeilAlpha);
        }
        DrawPiece(dc, i);
    }
    dc.SelectFont(oldFont);
}

// Left to itself ExtTextOutW spaces the letters by advances of its own,
// which need not be the ones it measured (Wine draws small Tahoma up to a
// pixel a letter narrower): the text would fall short of its rectangle,
// leave a gap before the next piece and end before its own underline. So
// each letter goes where it was measured. Bold letters are wider than the
// measuring font's and keep their own spacing.
template <class TBase>
void CHyperTextCtrlT<TBase>::DrawPiece(HDC dc, int index)
{
    const HyperTextPiece& piece = m_visible.Pieces()[index];
    const bool bold = piece.run != kNoRun && m_model.Runs()[piece.run].isStatic;
    WTL::CDCHandle(dc).ExtTextOut(piece.rect.left, piece.rect.top, 0, nullptr,
                                  m_model.Text().data() + piece.textStart, static_cast<UINT>(piece.count),
                                  bold ? nullptr : m_visible.Advances(index));
}

template <class TBase>
void CHyperTextCtrlT<TBase>::OpenRunTarget(const HyperTextRun& run)
{
    const wchar_t* directory = run.directory.empty() ? nullptr : run.directory.c_str();
    m_openTarget(nullptr, nullptr, run.target.c_str(), nullptr, directory, SW_SHOWDEFAULT);
}

template <class TBase>
void CHyperTextCtrlT<TBase>::PaintPieces(HDC target)
{
    WTL::CDCHandle dc(target);
    HFONT oldFont = dc.SelectFont(m_font);
    dc.SetBkColor(m_backColour);
    dc.SetBkMode(TRANSPARENT);
    const auto& pieces = m_visible.Pieces();
    const int hoveredRun = m_hoveredPiece == kNoPiece ? kNoRun : pieces[m_hoveredPiece].run;
    for (size_t i = 0; i < pieces.size(); ++i) {
        const HyperTextPiece& piece = pieces[i];
        if (piece.run == kNoRun) {
            dc.SetTextColor(m_textColour);
        } else if (piece.run == hoveredRun) {
            dc.SetTextColor(m_hoverColour);
            dc.SelectFont(m_hoverFont);
        } else if (m_model.Runs()[piece.run].isStatic) {
            dc.SetTextColor(m_model.Runs()[piece.run].colour);
            dc.SelectFont(m_boldFont);
        } else {
            dc.SetTextColor(m_linkColour);
            dc.SelectFont(m_linkFont);
        }
        DrawPiece(dc, static_cast<int>(i));
        if (piece.run != kNoRun) dc.SelectFont(m_font);
    }
    dc.SelectFont(oldFont);
}

template class CHyperTextCtrlT<ATL::CWindowImpl<CChatCtrl>>;

}  // namespace HyperTextControl

void CChatCtrl::DoPaint(WTL::CDCHandle dc)
{
    PaintParentBackgroundVeiled(dc, GetParent(), m_hWnd, GetParentBackground(), HyperTextControl::kVeilAlpha);
    PaintPieces(dc);
}
