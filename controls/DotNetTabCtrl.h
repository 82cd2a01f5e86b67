// How the tab strip looks: fonts, colours and metrics from the system
// settings, and all of its painting, double-buffered over the host's
// background picture. The parent can take part in every paint through
// NM_CUSTOMDRAW.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "BackgroundDlg.h"
#include "CustomTabCtrl.h"
#include "OffscreenDraw.h"

// The custom-draw record of the strip: the standard one, then what the
// strip draws with.
struct NMCTCCUSTOMDRAW {
    NMCUSTOMDRAW nmcd;
    HFONT hFontInactive;
    HFONT hFontSelected;
    HBRUSH hBrushBackground;
    COLORREF clrTextInactiveTab;
    COLORREF clrTextSelectedTab;
    COLORREF clrSelectedTab;
    COLORREF clrBtnFace;
    COLORREF clrBtnShadow;
    COLORREF clrBtnHighlight;
    COLORREF clrBtnText;
    COLORREF clrHighlight;
    COLORREF clrHighlightHotTrack;
    COLORREF clrHighlightText;
};

// The strip's colours for a display depth and the system's button colours.
struct TabStripColors {
    bool windowBrush;          // the system window brush instead of our own
    COLORREF background;       // our own brush's colour
    COLORREF inactiveText;
};
TabStripColors ChooseTabStripColors(int bitsPerPixel, COLORREF buttonFace, COLORREF buttonText, COLORREF grayText);
// How far the tab texts move down for an icon-title font of this height.
int TabTextTopOffset(LONG fontHeight);

enum TabButtonEdge { kEdgeNone, kEdgeRaised, kEdgeSunken };
// An X of double strokes; pressed moves it by (1, 1).
void DrawTabCloseButton(HDC dc, const RECT& r, bool pressed, TabButtonEdge edge, COLORREF color);
// A filled triangle pointing right or left.
void DrawTabScrollButton(HDC dc, const RECT& r, bool right, bool pressed, TabButtonEdge edge, COLORREF color);
// A one-pixel line from (x1, y1) up to, not including, (x2, y2).
void DrawTabLine(HDC dc, int x1, int y1, int x2, int y2, COLORREF color);

template <class T, class TItem = CCustomTabItem, class TBase = ATL::CWindow,
          class TWinTraits = ATL::CWinTraits<0x56004000, 0>>
class CDotNetTabCtrlImpl : public CCustomTabCtrl<T, TItem, TBase, TWinTraits>, public WTL::COffscreenDrawRect<T> {
    typedef CCustomTabCtrl<T, TItem, TBase, TWinTraits> baseClass;
    typedef CDotNetTabCtrlImpl<T, TItem, TBase, TWinTraits> thisClass;

public:
    CDotNetTabCtrlImpl()
        : m_hbrBackground(nullptr),
          m_ownsBrush(false),
          m_clrTextInactiveTab(::GetSysColor(COLOR_GRAYTEXT)),
          m_clrSelectedTab(::GetSysColor(COLOR_BTNFACE)),
          m_nFontSizeTextTopOffset(0),
          m_nMinWidthToDisplayText(12),
          m_background(nullptr)
    {
    }
    ~CDotNetTabCtrlImpl() { ReleaseBrush(); }

    BEGIN_MSG_MAP(thisClass)
        MESSAGE_HANDLER(WM_WININICHANGE, OnSettingChange)
        MESSAGE_HANDLER(WM_SYSCOLORCHANGE, OnSettingChange)
        CHAIN_MSG_MAP(WTL::COffscreenDrawRect<T>)
        CHAIN_MSG_MAP(baseClass)
    END_MSG_MAP()

    int GetMinWidthToDisplayText() const { return m_nMinWidthToDisplayText; }
    int GetTextTopOffset() const { return m_nFontSizeTextTopOffset; }
    HBRUSH GetBackgroundBrush() const { return m_hbrBackground; }
    COLORREF GetInactiveTextColor() const { return m_clrTextInactiveTab; }

    // The owner's background picture, which the strip paints from and the
    // tab pages ask for; the strip never deletes it.
    WTL::CBitmap* GetBackgroundBitmap() const { return m_background; }
    void SetBackgroundBitmap(WTL::CBitmap* background) { m_background = background; }

    LRESULT OnSettingChange(UINT, WPARAM, LPARAM, BOOL&)
    {
        LOGFONTW iconFont = {};
        ::SystemParametersInfoW(SPI_GETICONTITLELOGFONT, sizeof(iconFont), &iconFont, 0);
        UpdateFonts(iconFont);

        ReleaseBrush();
        int bitsPerPixel;
        {
            WTL::CWindowDC dc(this->m_hWnd);
            bitsPerPixel = dc.GetDeviceCaps(BITSPIXEL);
        }
        const TabStripColors colors = ChooseTabStripColors(bitsPerPixel, ::GetSysColor(COLOR_BTNFACE),
                                                           ::GetSysColor(COLOR_BTNTEXT), ::GetSysColor(COLOR_GRAYTEXT));
        if (colors.windowBrush) {
            m_hbrBackground = ::GetSysColorBrush(COLOR_WINDOW);
        } else {
            m_hbrBackground = ::CreateSolidBrush(colors.background);
            m_ownsBrush = true;
        }
        m_clrTextInactiveTab = colors.inactiveText;

        this->m_nIndent = 5;
        this->m_nTextSpacing = 4;
        this->m_nMargin = 3;
        this->m_nSelectedMargin = 3;
        m_nFontSizeTextTopOffset = static_cast<signed char>(TabTextTopOffset(iconFont.lfHeight));
        this->UpdateLayout();
        this->Invalidate();
        return 0;
    }

    // Off-screen painting of the paint rectangle.
    void DoPaint(WTL::CDCHandle dc)
    {
        WTL::CRect client;
        this->GetClientRect(&client);
        const int saved = dc.SaveDC();
        dc.IntersectClipRect(&client);
        dc.SelectFont(this->m_font);

        NMCTCCUSTOMDRAW cd;
        InitCustomDraw(cd, dc, client);
        const DWORD reply = SendCustomDraw(cd, CDDS_PREPAINT);
        const bool skipDefault = (reply & CDRF_SKIPDEFAULT) != 0;
        if (!skipDefault) PaintBackground(dc, cd, client);
        if (reply == CDRF_DODEFAULT || (reply & CDRF_NOTIFYITEMDRAW)) DrawItems(dc, cd, reply);
        if (!skipDefault) DrawButtons(dc, cd);
        if (reply & CDRF_NOTIFYPOSTPAINT) {
            cd.nmcd.rc = client;
            cd.nmcd.dwItemSpec = 0;
            cd.nmcd.uItemState = 0;
            cd.nmcd.lItemlParam = 0;
            SendCustomDraw(cd, CDDS_POSTPAINT);
        }
        dc.RestoreDC(saved);
    }

protected:
    void ReleaseBrush()
    {
        if (m_ownsBrush && m_hbrBackground) ::DeleteObject(m_hbrBackground);
        m_hbrBackground = nullptr;
        m_ownsBrush = false;
    }

    void UpdateFonts(const LOGFONTW& iconFont)
    {
        LOGFONTW current = {};
        if (!this->m_font.IsNull() && this->m_font.GetLogFont(&current) &&
            ::lstrcmpiW(current.lfFaceName, iconFont.lfFaceName) == 0 && current.lfHeight == iconFont.lfHeight)
            return;
        this->m_font.DeleteObject();
        this->m_fontSelected.DeleteObject();
        LOGFONTW selected = iconFont;
        if (this->GetStyle() & CTCS_BOLDSELECTEDTAB) selected.lfWeight = FW_BOLD;
        if (!this->m_font.CreateFontIndirect(&iconFont))
            this->m_font.Attach(static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT)));
        if (!this->m_fontSelected.CreateFontIndirect(&selected))
            this->m_fontSelected.Attach(static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT)));
    }

    void InitCustomDraw(NMCTCCUSTOMDRAW& cd, HDC dc, const RECT& client) const
    {
        cd = NMCTCCUSTOMDRAW();
        cd.nmcd.hdr.hwndFrom = this->m_hWnd;
        cd.nmcd.hdr.idFrom = static_cast<UINT_PTR>(this->GetDlgCtrlID());
        cd.nmcd.hdr.code = static_cast<UINT>(NM_CUSTOMDRAW);
        cd.nmcd.hdc = dc;
        cd.nmcd.rc = client;
        cd.hFontInactive = this->m_font;
        cd.hFontSelected = this->m_fontSelected;
        cd.hBrushBackground = m_hbrBackground;
        cd.clrTextInactiveTab = m_clrTextInactiveTab;
        cd.clrTextSelectedTab = ::GetSysColor(COLOR_BTNTEXT);
        cd.clrSelectedTab = m_clrSelectedTab;
        cd.clrBtnFace = ::GetSysColor(COLOR_BTNFACE);
        cd.clrBtnShadow = ::GetSysColor(COLOR_BTNSHADOW);
        cd.clrBtnHighlight = ::GetSysColor(COLOR_BTNHIGHLIGHT);
        cd.clrBtnText = ::GetSysColor(COLOR_BTNTEXT);
        cd.clrHighlight = ::GetSysColor(COLOR_HIGHLIGHT);
        cd.clrHighlightHotTrack = ::GetSysColor(COLOR_HOTLIGHT);
        cd.clrHighlightText = ::GetSysColor(COLOR_HIGHLIGHTTEXT);
    }

    DWORD SendCustomDraw(NMCTCCUSTOMDRAW& cd, DWORD stage)
    {
        cd.nmcd.dwDrawStage = stage;
        return static_cast<DWORD>(
            ::SendMessageW(this->GetParent(), WM_NOTIFY, cd.nmcd.hdr.idFrom, reinterpret_cast<LPARAM>(&cd)));
    }

    // The veiled picture under the strip, then the edge the tabs hang from.
    void PaintBackground(WTL::CDCHandle dc, const NMCTCCUSTOMDRAW& cd, const WTL::CRect& client)
    {
        PaintParentBackgroundVeiled(dc, this->GetParent(), this->m_hWnd, m_background, 25);
        dc.SetTextColor(cd.clrBtnText);
        dc.SetBkMode(TRANSPARENT);
        WTL::CRect clip;
        dc.GetClipBox(&clip);
        if (clip == this->m_rcCloseButton || clip == this->m_rcScrollRight || clip == this->m_rcScrollLeft) {
            HBRUSH old = dc.SelectBrush(cd.hBrushBackground);
            ::PatBlt(dc, clip.left, clip.top, clip.Width(), clip.Height(), PATCOPY);
            dc.SelectBrush(old);
        } else if (this->GetStyle() & CTCS_BOTTOM) {
            WTL::CRect band(client.left, client.top, client.right, client.top + 3);
            dc.FillSolidRect(&band, cd.clrBtnFace);
            DrawTabLine(dc, client.left, band.bottom - 1, client.right, band.bottom - 1, cd.clrBtnText);
        } else {
            const int base = client.bottom - 3;
            DrawTabLine(dc, client.left, base, client.right, base, cd.clrBtnHighlight);
            const COLORREF rightEdge = (this->GetStyle() & CTCS_FLATEDGE) ? cd.clrBtnShadow : cd.clrBtnHighlight;
            DrawTabLine(dc, client.left, base, client.left, client.top, cd.clrBtnShadow);
            DrawTabLine(dc, client.left, client.top, client.right - 1, client.top, cd.clrBtnShadow);
            DrawTabLine(dc, client.right - 1, client.top, client.right - 1, base + 1, rightEdge);
            DrawTabLine(dc, client.left + 1, base, client.left + 1, client.top, cd.clrBtnFace);
            DrawTabLine(dc, client.right - 2, base, client.right - 2, client.top, cd.clrBtnFace);
        }
    }

    // Every tab that meets the paint rectangle, the selected one last so
    // that it lies on top.
    void DrawItems(WTL::CDCHandle dc, NMCTCCUSTOMDRAW& cd, DWORD reply)
    {
        const bool scroll = (this->GetStyle() & CTCS_SCROLL) != 0;
        const int saved = dc.SaveDC();
        if (scroll) {
            dc.IntersectClipRect(&this->m_rcTabItemArea);
            ::OffsetViewportOrgEx(dc, this->m_iScrollOffset, 0, nullptr);
        }
        const WTL::CRect& paint = this->PaintRect();
        for (int i = 0; i < this->GetItemCount(); ++i) {
            if (i != this->m_iCurSel && Meets(i, paint)) DrawOneItem(dc, cd, i, reply);
        }
        if (this->GetItem(this->m_iCurSel) && Meets(this->m_iCurSel, paint)) DrawOneItem(dc, cd, this->m_iCurSel, reply);
        dc.RestoreDC(saved);
    }

    bool Meets(int index, const WTL::CRect& paint) const
    {
        WTL::CRect common;
        return common.IntersectRect(this->ScrolledRect(index), paint);
    }

    void DrawOneItem(WTL::CDCHandle dc, NMCTCCUSTOMDRAW& cd, int index, DWORD reply)
    {
        const TItem* item = this->m_items[index].get();
        UINT state = 0;
        if (index == this->m_iCurSel) state |= CDIS_SELECTED;
        if ((this->GetStyle() & CTCS_HOTTRACK) && index == this->m_iHotItem) state |= CDIS_HOT;
        if (item->IsHighlighted()) state |= CDIS_MARKED;
        cd.nmcd.dwItemSpec = static_cast<DWORD_PTR>(index);
        cd.nmcd.uItemState = state;
        cd.nmcd.lItemlParam = reinterpret_cast<LPARAM>(item);
        cd.nmcd.rc = item->GetRect();
        DWORD itemReply = 0;
        if (reply & CDRF_NOTIFYITEMDRAW) itemReply = SendCustomDraw(cd, CDDS_ITEMPREPAINT);
        if (!(reply & CDRF_SKIPDEFAULT)) DrawItem(dc, cd);
        if (itemReply & CDRF_NOTIFYPOSTPAINT) SendCustomDraw(cd, CDDS_ITEMPOSTPAINT);
    }

    void DrawItem(WTL::CDCHandle dc, const NMCTCCUSTOMDRAW& cd)
    {
        const int index = static_cast<int>(cd.nmcd.dwItemSpec);
        const TItem* item = this->m_items[index].get();
        const bool bottom = (this->GetStyle() & CTCS_BOTTOM) != 0;
        const UINT state = cd.nmcd.uItemState;
        const bool selected = (state & CDIS_SELECTED) != 0;
        const WTL::CRect rcItem = cd.nmcd.rc;
        WTL::CRect rcTab(rcItem.left, rcItem.top + 3, rcItem.right, rcItem.bottom - 2);
        WTL::CRect rcText(rcItem.left, (bottom ? rcTab.top : rcItem.top) + 1 + m_nFontSizeTextTopOffset, rcItem.right,
                          rcItem.bottom);
        const int iconReference = (rcItem.top + rcItem.bottom) / 2 + rcTab.top / 2;

        if (selected) {
            rcTab.right -= 1;
            VeilRect(dc, rcTab, 25);
            if (bottom) {
                DrawTabLine(dc, rcTab.right, rcTab.top, rcTab.right, rcTab.bottom + 1, cd.clrBtnText);
                DrawTabLine(dc, rcTab.left, rcTab.bottom, rcTab.right, rcTab.bottom, cd.clrBtnText);
                DrawTabLine(dc, rcTab.left, rcTab.top, rcTab.left, rcTab.bottom, cd.clrBtnHighlight);
            } else {
                DrawTabLine(dc, rcTab.left, rcTab.bottom - 1, rcTab.left, rcTab.top, cd.clrBtnHighlight);
                DrawTabLine(dc, rcTab.left, rcTab.top, rcTab.right, rcTab.top, cd.clrBtnHighlight);
                DrawTabLine(dc, rcTab.right, rcTab.top, rcTab.right, rcTab.bottom, cd.clrBtnText);
            }
        } else {
            const bool followsSelected = index == this->m_iCurSel + 1 && this->m_iCurSel >= 0;
            if (state & CDIS_MARKED) {
                WTL::CRect fill = bottom ? WTL::CRect(rcTab.left + 1, rcTab.top + 3, rcTab.right - 2, rcTab.bottom - 1)
                                         : WTL::CRect(rcTab.left + 1, rcTab.top + 2, rcTab.right - 2, rcTab.bottom - 2);
                if (followsSelected) fill.left = rcTab.left + 2;
                dc.FillSolidRect(&fill, cd.clrHighlight);
            }
            if (index + 1 != this->m_iCurSel) {
                const int x = rcTab.right - 1;
                if (bottom)
                    DrawTabLine(dc, x, rcTab.top + 3, x, rcTab.bottom - 1, cd.clrBtnShadow);
                else
                    DrawTabLine(dc, x, rcTab.top + 2, x, rcTab.bottom - 2, cd.clrBtnShadow);
            }
        }

        dc.SelectFont(selected ? cd.hFontSelected : cd.hFontInactive);
        COLORREF text = cd.clrTextInactiveTab;
        if (state & CDIS_MARKED)
            text = cd.clrHighlightText;
        else if (state & CDIS_HOT)
            text = cd.clrHighlightHotTrack;
        else if (selected)
            text = cd.clrTextSelectedTab;
        dc.SetTextColor(text);
        dc.SetBkMode(TRANSPARENT);
        rcText.DeflateRect(this->m_nMargin, 0, this->m_nMargin, 0);
        if (item->GetImageIndex() >= 0 && this->m_imageList) {
            int cx = 0, cy = 0;
            ::ImageList_GetIconSize(this->m_imageList, &cx, &cy);
            if (cx < rcTab.Width()) {
                ::ImageList_Draw(this->m_imageList, item->GetImageIndex(), dc, rcText.left,
                                 iconReference + m_nFontSizeTextTopOffset - cy / 2, ILD_NORMAL);
                rcText.left += cx;
            }
        }
        rcText.DeflateRect(this->m_nTextSpacing, 0, this->m_nTextSpacing, 0);
        if (rcText.left + m_nMinWidthToDisplayText < rcText.right)
            dc.DrawText(item->GetText().c_str(), -1, &rcText, DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS);
    }

    TabButtonEdge EdgeOf(typename baseClass::Element button) const
    {
        if (this->GetMark(baseClass::kPressed) == button && this->GetMark(baseClass::kUnderMouse) == button)
            return kEdgeSunken;
        if (this->GetMark(baseClass::kHot) == button) return kEdgeRaised;
        return kEdgeNone;
    }

    void DrawButtons(WTL::CDCHandle dc, const NMCTCCUSTOMDRAW& cd)
    {
        const DWORD style = this->GetStyle();
        const TItem* selected = this->GetItem(this->m_iCurSel);
        if ((style & CTCS_CLOSEBUTTON) && selected && selected->CanClose() && !this->m_rcCloseButton.IsRectEmpty()) {
            const TabButtonEdge edge = EdgeOf(baseClass::kCloseButton);
            DrawTabCloseButton(dc, this->m_rcCloseButton, edge == kEdgeSunken, edge, cd.clrTextInactiveTab);
        }
        if (style & CTCS_SCROLL) {
            TabButtonEdge edge = EdgeOf(baseClass::kScrollRightButton);
            if (!this->m_rcScrollRight.IsRectEmpty())
                DrawTabScrollButton(dc, this->m_rcScrollRight, true, edge == kEdgeSunken && this->IsOverflowingRight(),
                                    edge, cd.clrTextInactiveTab);
            edge = EdgeOf(baseClass::kScrollLeftButton);
            if (!this->m_rcScrollLeft.IsRectEmpty())
                DrawTabScrollButton(dc, this->m_rcScrollLeft, false, edge == kEdgeSunken && this->IsOverflowingLeft(),
                                    edge, cd.clrTextInactiveTab);
        }
    }

    HBRUSH m_hbrBackground;
    bool m_ownsBrush;
    COLORREF m_clrTextInactiveTab;
    COLORREF m_clrSelectedTab;
    signed char m_nFontSizeTextTopOffset;
    signed char m_nMinWidthToDisplayText;
    WTL::CBitmap* m_background;
};

// The strip the tabbed window uses.
template <class TItem = CTabViewTabItem>
class CDotNetTabCtrl : public CDotNetTabCtrlImpl<CDotNetTabCtrl<TItem>, TItem> {
public:
    DECLARE_WND_CLASS_EX(L"Pelvane_tabstrip", CS_DBLCLKS, COLOR_WINDOW)

    CDotNetTabCtrl() {}
    ~CDotNetTabCtrl() {}
};
