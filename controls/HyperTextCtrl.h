// The hypertext view: a read-only window that shows a growing text in which
// web and mail addresses are links that open on a click, and stretches of
// text can carry a colour of their own. It draws no background of its own:
// it copies, under a white veil, the background of the window behind it and
// writes the text over it. CChatCtrl is the conversation view of a chat page.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <string>

#include "BackgroundDlg.h"
#include "Controls.h"
#include "Gdi.h"
#include "HyperText.h"
#include "OffscreenDraw.h"
#include "WindowImpl.h"

// The view's own styles, in the low word of its window style.
const DWORD HTC_WORDWRAP = 0x0001;        // lines wrap at the client width
const DWORD HTC_AUTOSCROLLBARS = 0x0002;  // the scroll bars come and go with the content
const DWORD HTC_UNDERLINELINKS = 0x0004;
const DWORD HTC_UNDERLINEHOVER = 0x0008;
const DWORD HTC_TOOLTIPS = 0x0010;  // every drawn link piece has a tooltip

namespace HyperTextControl {

// ShellExecuteW's form: how a clicked run's target is opened.
typedef HINSTANCE(WINAPI* OpenTargetProc)(HWND, LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR, INT);

template <class TBase>
class CHyperTextCtrlT : public TBase {
public:
    CHyperTextCtrlT();
    ~CHyperTextCtrlT() override;

    BEGIN_MSG_MAP(CHyperTextCtrlT)
        MESSAGE_HANDLER(WM_CREATE, OnCreate)
        MESSAGE_HANDLER(WM_SETTEXT, OnSetText)
        MESSAGE_HANDLER(WM_GETTEXT, OnGetText)
        MESSAGE_HANDLER(WM_GETTEXTLENGTH, OnGetTextLength)
        MESSAGE_HANDLER(WM_SETFONT, OnSetFont)
        MESSAGE_HANDLER(WM_GETFONT, OnGetFont)
        MESSAGE_HANDLER(WM_SIZE, OnSize)
        MESSAGE_HANDLER(WM_SHOWWINDOW, OnShowWindow)
        MESSAGE_HANDLER(WM_HSCROLL, OnHScroll)
        MESSAGE_HANDLER(WM_VSCROLL, OnVScroll)
        MESSAGE_HANDLER(WM_CAPTURECHANGED, OnCaptureChanged)
        MESSAGE_RANGE_HANDLER(WM_MOUSEFIRST, WM_XBUTTONDBLCLK, OnMouseMessage)
    END_MSG_MAP()

    // Replaces the whole text; its links become runs.
    void SetText(const std::wstring& text);
    // Appends plain text, whose links become runs.
    void AppendText(const std::wstring& text, bool redraw);
    // Appends text as one run of its own: a link to target, or with
    // isStatic a stretch in colour and bold that opens nothing.
    void AppendStyledText(const std::wstring& text, const std::wstring& tooltip, const std::wstring& target,
                          const std::wstring& directory, COLORREF colour, bool isStatic, bool redraw);

    const HyperTextModel& Model() const { return m_model; }
    const HyperTextLayout& Layout() const { return m_layout; }
    const HyperTextPieces& VisiblePieces() const { return m_visible; }
    // The first piece of the hovered link, or kNoPiece.
    int HoveredPiece() const { return m_hoveredPiece; }
    HFONT LinkFont() const { return m_linkFont; }
    HFONT HoverFont() const { return m_hoverFont; }
    HFONT BoldFont() const { return m_boldFont; }
    HWND ToolTipWindow() const { return m_tooltip; }

    // The background of the window behind the view; none by default.
    virtual WTL::CBitmap* GetParentBackground() { return nullptr; }

    // Opens a clicked run's target; tests put a recorder here.
    OpenTargetProc m_openTarget;

protected:
    // Draws the visible pieces over what dc holds.
    void PaintPieces(HDC dc);

private:
    LRESULT OnCreate(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnSetText(UINT, WPARAM, LPARAM lParam, BOOL&);
    LRESULT OnGetText(UINT, WPARAM wParam, LPARAM lParam, BOOL&);
    LRESULT OnGetTextLength(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnSetFont(UINT, WPARAM wParam, LPARAM lParam, BOOL&);
    LRESULT OnGetFont(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnSize(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnShowWindow(UINT, WPARAM wParam, LPARAM, BOOL&);
    LRESULT OnHScroll(UINT, WPARAM wParam, LPARAM, BOOL&);
    LRESULT OnVScroll(UINT, WPARAM wParam, LPARAM, BOOL&);
    LRESULT OnCaptureChanged(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnMouseMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL&);

    // Lays the text out again. After an append, when the window, its style
    // and its font are as the last layout left them, only the lines the
    // appended text can change are measured.
    void CalcLines(bool redraw, bool appended = false);
    bool ExtendLines(bool redraw);
    void LayOutAllLines(bool redraw);
    void UpdateVisiblePieces();
    void CreateLinkFonts();
    void Scroll(int bar, WPARAM request);
    void OnMouseMove(LPARAM lParam);
    void OnLButtonDown(LPARAM lParam);
    void OnMouseWheel(WPARAM wParam, LPARAM lParam);
    // The piece under a client point whose coordinates are the unsigned
    // words of a mouse message; kNoPiece outside or over nothing.
    int PieceUnder(LPARAM lParam) const;
    void SetHoverPiece(int piece);
    // With repaintBackground the background under the pieces is drawn
    // again first; without, the link colour is written over the hover
    // colour (the pieces are about to be drawn anew anyway).
    void ClearHover(bool repaintBackground);
    void DrawHoverChain(HFONT font, COLORREF colour, bool repaintBackground);
    // Writes a piece's characters at its left and top in the DC's font and colour.
    void DrawPiece(HDC dc, int index);
    void OpenRunTarget(const HyperTextRun& run);

    // Text model and layout.
    HyperTextModel m_model;
    HyperTextLayout m_layout;
    bool m_layingOut;
    int m_vScrollPercent;
    int m_hScrollPercent;
    HFONT m_font;  // not owned when it came from WM_SETFONT

    // Drawing state.
    COLORREF m_backColour;
    COLORREF m_textColour;
    COLORREF m_linkColour;
    COLORREF m_hoverColour;
    HCURSOR m_linkCursor;
    HCURSOR m_normalCursor;
    WTL::CToolTipCtrl m_tooltip;
    WTL::CFont m_defaultFont;
    WTL::CFont m_linkFont;
    WTL::CFont m_hoverFont;
    WTL::CFont m_boldFont;
    HyperTextPieces m_visible;
    int m_hoveredPiece;
    int m_wheelAccumulator;
    int m_toolCount;

    // What the last layout was made for: the area its lines fill, and the
    // client rectangle, style and font its lines and bars were made for.
    WTL::CRect m_layoutArea;
    WTL::CRect m_layoutClient;
    DWORD m_layoutStyle;
    HFONT m_layoutFont;
};

}  // namespace HyperTextControl

// The conversation view of a chat page (window class "PLV_HTChatCtrl").
class CChatCtrl : public HyperTextControl::CHyperTextCtrlT<ATL::CWindowImpl<CChatCtrl>>,
                  public WTL::COffscreenDrawRect<CChatCtrl> {
public:
    typedef HyperTextControl::CHyperTextCtrlT<ATL::CWindowImpl<CChatCtrl>> Base;

    DECLARE_WND_CLASS_EX(L"PLV_HTChatCtrl", CS_HREDRAW | CS_DBLCLKS, COLOR_WINDOW)

    // The page that hosts the view, asked for the background behind it.
    CBackgroundHost* m_host = nullptr;

    BEGIN_MSG_MAP(CChatCtrl)
        CHAIN_MSG_MAP(WTL::COffscreenDrawRect<CChatCtrl>)
        CHAIN_MSG_MAP(Base)
    END_MSG_MAP()

    WTL::CBitmap* GetParentBackground() override { return m_host ? m_host->GetParentBackground() : nullptr; }
    void DoPaint(WTL::CDCHandle dc);
};
