// The tab strip's behaviour: a single row of self-drawn tabs that fit the
// strip or scroll, with hot tracking, a close button for the selected tab,
// scroll buttons, drag rearranging and tooltips. Every user action and every
// change of the item list is told to the parent as WM_NOTIFY. How the strip
// looks is CDotNetTabCtrlImpl's business (DotNetTabCtrl.h).
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include <climits>
#include <memory>
#include <string>
#include <vector>

#include "Controls.h"
#include "CustomTabItem.h"
#include "Gdi.h"
#include "WindowImpl.h"

// Window style bits of the strip, beside the standard child styles.
enum CustomTabStyle : DWORD {
    CTCS_SCROLL = 0x0001,           // natural widths, scrolling, scroll buttons
    CTCS_BOTTOM = 0x0002,           // tabs along the bottom edge
    CTCS_CLOSEBUTTON = 0x0008,      // a close button for the selected tab
    CTCS_HOTTRACK = 0x0040,         // the tab under the mouse is hot
    CTCS_FLATEDGE = 0x0100,         // tabs at the top: right frame edge in the shadow colour
    CTCS_DRAGREARRANGE = 0x0400,    // tabs move when dragged
    CTCS_BOLDSELECTEDTAB = 0x2000,  // the selected tab in a bold font
    CTCS_TOOLTIPS = 0x4000,
};

// Notification codes the strip sends to its parent.
enum CustomTabNotify : int {
    CTCN_SELCHANGE = -551,        // NMCTC2ITEMS: old, new selection
    CTCN_SELCHANGING = -552,      // NMCTC2ITEMS: old selection, requested index; 1 vetoes
    CTCN_INSERTITEM = -561,       // NMCTCITEM: new index
    CTCN_DELETEITEM = -562,       // NMCTCITEM: index; 1 vetoes
    CTCN_MOVEITEM = -563,         // NMCTC2ITEMS: from, to; or a scroll button clicked
    CTCN_CLOSE = -565,            // NMCTCITEM: the selection, release point
    CTCN_BEGINITEMDRAG = -571,    // NMCTCITEM: index, press point; non-zero vetoes
    CTCN_ACCEPTITEMDRAG = -572,   // NMCTC2ITEMS: starting index, final index
    CTCN_CANCELITEMDRAG = -573,   // NMCTCITEM: starting index
    CTCN_MCLICK = -574,           // NMCTCITEM: hit index, point
    CTCN_MDBLCLK = -575,
};

// HitTest's answer flags.
enum CustomTabHit : UINT {
    CTCHT_NOWHERE = 1,
    CTCHT_ONITEM = 6,
    CTCHT_ONCLOSEBTN = 16,
    CTCHT_ONSCROLLRIGHTBTN = 32,
    CTCHT_ONSCROLLLEFTBTN = 64,
};

struct NMCTCITEM {
    NMHDR hdr;
    int iItem;
    POINT pt;  // client coordinates; (-1, -1) when no mouse is involved
};

struct NMCTC2ITEMS {
    NMHDR hdr;
    int iItem1;
    int iItem2;
    POINT pt;
};

// The button tools of the strip's tooltip; tab i is tool i + 1.
enum : UINT_PTR {
    kToolScrollLeft = UINT_PTR(-14),
    kToolScrollRight = UINT_PTR(-15),
    kToolClose = UINT_PTR(-16),
};

template <class T, class TItem = CCustomTabItem, class TBase = ATL::CWindow,
          class TWinTraits = ATL::CWinTraits<0x56004000, 0>>
class CCustomTabCtrl : public ATL::CWindowImpl<T, TBase, TWinTraits> {
    typedef CCustomTabCtrl<T, TItem, TBase, TWinTraits> thisClass;

public:
    typedef TItem TabItem;

    CCustomTabCtrl()
        : m_iCurSel(-1),
          m_iHotItem(-1),
          m_nTextSpacing(0),
          m_nMargin(0),
          m_nSelectedMargin(0),
          m_nIndent(0),
          m_imageList(nullptr),
          m_rcTabItemArea(),
          m_rcCloseButton(),
          m_rcScrollRight(),
          m_rcScrollLeft(),
          m_iDragItem(-1),
          m_iDragItemOriginal(-1),
          m_ptDragOrigin{0, 0},
          m_hCursorMove(nullptr),
          m_hCursorNoDrop(nullptr),
          m_iScrollOffset(0),
          m_dwState(kRedrawEnabled | (40u << kScrollStepShift) | 0x8000)
    {
    }

    BEGIN_MSG_MAP(thisClass)
        MESSAGE_RANGE_HANDLER(WM_MOUSEFIRST, WM_MOUSELAST, OnRelayToToolTip)
        MESSAGE_HANDLER(WM_CREATE, OnCreate)
        MESSAGE_HANDLER(WM_DESTROY, OnDestroy)
        MESSAGE_HANDLER(WM_SIZE, OnSize)
        MESSAGE_HANDLER(WM_SETREDRAW, OnSetRedraw)
        MESSAGE_HANDLER(WM_SETFONT, OnSetFont)
        MESSAGE_HANDLER(WM_GETFONT, OnGetFont)
        MESSAGE_HANDLER(WM_STYLECHANGED, OnStyleChanged)
        MESSAGE_HANDLER(WM_MOUSEMOVE, OnMouseMove)
        MESSAGE_HANDLER(WM_MOUSELEAVE, OnMouseLeave)
        MESSAGE_HANDLER(WM_LBUTTONDOWN, OnLButtonDown)
        MESSAGE_HANDLER(WM_LBUTTONUP, OnLButtonUp)
        MESSAGE_HANDLER(WM_LBUTTONDBLCLK, OnLButtonDblClk)
        MESSAGE_HANDLER(WM_RBUTTONDOWN, OnRButtonDown)
        MESSAGE_HANDLER(WM_RBUTTONDBLCLK, OnOtherButton)
        MESSAGE_HANDLER(WM_MBUTTONDOWN, OnOtherButton)
        MESSAGE_HANDLER(WM_MBUTTONDBLCLK, OnOtherButton)
        MESSAGE_HANDLER(WM_CAPTURECHANGED, OnCaptureChanged)
        MESSAGE_HANDLER(WM_TIMER, OnTimer)
        MESSAGE_HANDLER(WM_KEYDOWN, OnKeyDown)
        MESSAGE_HANDLER(WM_GETDLGCODE, OnGetDlgCode)
        NOTIFY_CODE_HANDLER(TTN_GETDISPINFOW, OnGetToolTipInfo)
    END_MSG_MAP()

    // Item list ----------------------------------------------------------

    // Takes ownership of item, also when it is refused (-1: no window, or
    // no item). Indexes outside 0..count append.
    int InsertItem(int index, TItem* item, bool select = false)
    {
        std::unique_ptr<TItem> owned(item);
        if (!this->IsWindow() || !item) return -1;
        const int count = GetItemCount();
        if (index < 0 || index > count) index = count;
        m_items.insert(m_items.begin() + index, std::move(owned));
        // The selection stays on its item.
        if (m_iCurSel >= index) ++m_iCurSel;
        // Lay out first, so that selecting can scroll the new tab into view.
        UpdateLayout();
        NotifyItem(CTCN_INSERTITEM, index, kNoPoint);
        if (GetItemCount() == 1)
            SetCurSel(0);
        else if (select)
            SetCurSel(index);
        AddTool(static_cast<UINT_PTR>(GetItemCount()), LPSTR_TEXTCALLBACKW, CRectEmpty());
        UpdateLayout();
        this->Invalidate();
        return index;
    }

    bool DeleteItem(int index, bool updateSelection = true, bool notify = true)
    {
        if (static_cast<unsigned>(index) >= static_cast<unsigned>(GetItemCount())) return false;
        if (notify) {
            if (NotifyItem(CTCN_DELETEITEM, index, kNoPoint) == 1) return false;
            if (static_cast<unsigned>(index) >= static_cast<unsigned>(GetItemCount())) return false;
        }
        const int count = GetItemCount();
        int pending = -1;
        if (count <= 1) {
            m_iCurSel = -1;
        } else if (updateSelection) {
            if (index < m_iCurSel) {
                --m_iCurSel;
                EnsureVisible(m_iCurSel, false, false);
            } else if (index == m_iCurSel) {
                if (index == count - 1)
                    SetCurSel(index - 1);
                else
                    pending = index;
            }
        } else if (index == m_iCurSel && index == count - 1) {
            m_iCurSel = -1;
        }
        DelTool(static_cast<UINT_PTR>(count));
        if (m_iHotItem >= index) m_iHotItem = -1;
        m_items.erase(m_items.begin() + index);
        if (pending >= 0) SetCurSel(pending);
        UpdateLayout();
        this->Invalidate();
        return true;
    }

    void DeleteAllItems(bool redraw = true)
    {
        m_iCurSel = -1;
        this->SendMessage(WM_SETREDRAW, FALSE);
        while (GetItemCount() > 0) {
            // A parent that refuses cannot keep the items of a strip that
            // is emptied.
            if (!DeleteItem(0, false, true)) DeleteItem(0, false, false);
        }
        this->SendMessage(WM_SETREDRAW, TRUE);
        if (redraw) this->Invalidate();
    }

    bool MoveItem(int from, int to, bool updateSelection = true, bool notify = true)
    {
        const unsigned count = static_cast<unsigned>(GetItemCount());
        if (!this->IsWindow() || static_cast<unsigned>(from) >= count || static_cast<unsigned>(to) >= count)
            return false;
        std::unique_ptr<TItem> item = std::move(m_items[from]);
        m_items.erase(m_items.begin() + from);
        m_items.insert(m_items.begin() + to, std::move(item));
        if (updateSelection) {
            if (from == m_iCurSel)
                SetCurSel(to);
            else if (from < m_iCurSel && to >= m_iCurSel)
                --m_iCurSel;
            else if (from > m_iCurSel && to <= m_iCurSel && m_iCurSel >= 0)
                ++m_iCurSel;
        }
        if (notify) NotifyItems(CTCN_MOVEITEM, from, to);
        UpdateLayout();
        this->Invalidate();
        return true;
    }

    int FindItem(TItem* probe, DWORD flags, int startAfter = -1) const
    {
        if (!probe) return -1;
        for (int i = startAfter < 0 ? 0 : startAfter + 1; i < GetItemCount(); ++i) {
            if (m_items[i]->MatchItem(*probe, flags)) {
                *probe = *m_items[i];
                return i;
            }
        }
        return -1;
    }

    TItem* GetItem(int index) const
    {
        if (static_cast<unsigned>(index) >= static_cast<unsigned>(GetItemCount())) return nullptr;
        return m_items[index].get();
    }
    int GetItemCount() const { return static_cast<int>(m_items.size()); }
    int GetCurSel() const { return m_iCurSel; }
    int GetHotItem() const { return m_iHotItem; }

    // The previous selection, or -1 when the parent vetoed the change.
    int SetCurSel(int index, bool notify = true)
    {
        if (index >= GetItemCount()) index = m_iCurSel;
        const int old = m_iCurSel;
        if (notify) {
            if (HWND grandparent = ::GetParent(this->GetParent()))
                NotifyItems(CTCN_SELCHANGING, old, index, grandparent);
            if (NotifyItems(CTCN_SELCHANGING, old, index) == 1) return -1;
        }
        m_iCurSel = index;
        EnsureVisible(index, false, false);
        UpdateLayout();
        this->Invalidate();
        if (notify) {
            NotifyItems(CTCN_SELCHANGE, old, index);
            if (HWND grandparent = ::GetParent(this->GetParent())) NotifyItems(CTCN_SELCHANGE, old, index, grandparent);
        }
        return old;
    }

    bool SetItemText(int index, const std::wstring& text) { return SetItemField(index, [&](TItem* i) { i->SetText(text); }); }
    bool SetItemImage(int index, int image) { return SetItemField(index, [&](TItem* i) { i->SetImageIndex(image); }); }
    bool SetItemTabView(int index, HWND view) { return SetItemField(index, [&](TItem* i) { i->SetTabView(view); }); }

    HIMAGELIST GetImageList() const { return m_imageList; }
    HIMAGELIST SetImageList(HIMAGELIST list)
    {
        HIMAGELIST old = m_imageList;
        m_imageList = list;
        return old;
    }

    // Geometry ------------------------------------------------------------

    bool EnsureVisible(int index, bool partialOk = false, bool recalculate = true)
    {
        if (!(m_dwState & (kOverflowLeft | kOverflowRight))) return true;
        if (static_cast<unsigned>(index) >= static_cast<unsigned>(GetItemCount())) return false;
        WTL::CRect rc = ScrolledRect(index);
        const int before = m_iScrollOffset;
        const WTL::CRect& area = m_rcTabItemArea;
        if (rc.left >= area.left && rc.right > area.right && (!partialOk || rc.left > area.right))
            m_iScrollOffset += area.right - rc.right - 20;
        else if (rc.left < area.left && (!partialOk || rc.right < area.left))
            m_iScrollOffset += area.left + 20 - rc.left;
        if (m_iScrollOffset > 0) m_iScrollOffset = 0;
        if (recalculate && m_iScrollOffset != before) {
            UpdateLayout();
            this->Invalidate();
        }
        return true;
    }

    int HitTest(POINT pt, UINT* flags = nullptr) const
    {
        UINT where = CTCHT_NOWHERE;
        int index = -1;
        if (::PtInRect(&m_rcCloseButton, pt)) {
            where = CTCHT_ONCLOSEBTN;
        } else if (::PtInRect(&m_rcScrollRight, pt)) {
            where = CTCHT_ONSCROLLRIGHTBTN;
        } else if (::PtInRect(&m_rcScrollLeft, pt)) {
            where = CTCHT_ONSCROLLLEFTBTN;
        } else if (::PtInRect(&m_rcTabItemArea, pt)) {
            for (int i = 0; i < GetItemCount(); ++i) {
                WTL::CRect rc = ScrolledRect(i);
                if (rc.PtInRect(pt)) {
                    where = CTCHT_ONITEM;
                    index = i;
                    break;
                }
            }
        }
        if (flags) *flags = where;
        return index;
    }

    void ScrollLeft(bool redraw = true) { ScrollBy(ScrollStep(), redraw); }
    void ScrollRight(bool redraw = true) { ScrollBy(-ScrollStep(), redraw); }

    int GetScrollOffset() const { return m_iScrollOffset; }
    bool IsOverflowingLeft() const { return (m_dwState & kOverflowLeft) != 0; }
    bool IsOverflowingRight() const { return (m_dwState & kOverflowRight) != 0; }
    bool IsDragging() const { return (m_dwState & kDragging) != 0; }
    const WTL::CRect& GetTabItemArea() const { return m_rcTabItemArea; }
    const WTL::CRect& GetCloseButtonRect() const { return m_rcCloseButton; }
    const WTL::CRect& GetScrollRightRect() const { return m_rcScrollRight; }
    const WTL::CRect& GetScrollLeftRect() const { return m_rcScrollLeft; }
    HWND GetToolTips() const { return m_tooltip.m_hWnd; }
    HFONT GetSelectedFont() const { return m_fontSelected; }

    // Places the buttons and the tabs; runs only while the window exists
    // and redrawing is on.
    void UpdateLayout()
    {
        if (!this->IsWindow() || !(m_dwState & kRedrawEnabled)) return;
        const DWORD style = this->GetStyle();
        const bool bottom = (style & CTCS_BOTTOM) != 0;
        WTL::CRect client;
        this->GetClientRect(&client);
        m_rcTabItemArea = client;
        if (!bottom) m_rcTabItemArea.DeflateRect(2, 0, 2, 0);

        m_rcCloseButton.SetRectEmpty();
        TItem* selected = GetItem(m_iCurSel);
        if ((style & CTCS_CLOSEBUTTON) && selected && selected->CanClose() && m_rcTabItemArea.Width() >= 15) {
            WTL::CRect r = m_rcTabItemArea;
            if (bottom)
                r.DeflateRect(0, 3, 3, 0);
            else
                r.DeflateRect(0, 1, 2, 2);
            m_rcCloseButton = ButtonAt(r.right - 15, r);
            m_rcTabItemArea.right = m_rcCloseButton.left;
        }
        SetToolRect(kToolClose, m_rcCloseButton);

        if (style & CTCS_SCROLL) {
            m_rcScrollRight.SetRectEmpty();
            m_rcScrollLeft.SetRectEmpty();
            if (m_rcTabItemArea.Width() >= 15) {
                WTL::CRect r = m_rcTabItemArea;
                const int rightInset = (style & CTCS_CLOSEBUTTON) ? 0 : (bottom ? 3 : 2);
                if (bottom)
                    r.DeflateRect(0, 3, rightInset, 0);
                else
                    r.DeflateRect(0, 1, rightInset, 2);
                m_rcScrollRight = ButtonAt(r.right - 15, r);
                m_rcScrollLeft = ButtonAt(r.right - 30, r);
                m_rcTabItemArea.right = m_rcScrollLeft.left;
            }
            SetToolRect(kToolScrollRight, m_rcScrollRight);
            SetToolRect(kToolScrollLeft, m_rcScrollLeft);
            ScrollToFitLayout(client);
            UpdateOverflow();
        } else {
            m_rcScrollRight.SetRectEmpty();
            m_rcScrollLeft.SetRectEmpty();
            FitLayout();
        }

        for (int i = 0; i < GetItemCount(); ++i) {
            WTL::CRect tool;
            tool.IntersectRect(ScrolledRect(i), m_rcTabItemArea);
            SetToolRect(static_cast<UINT_PTR>(i + 1), tool);
        }
    }

protected:
    enum StateBits : DWORD {
        kMouseInside = 0x00000001,
        kOverflowLeft = 0x00000002,
        kOverflowRight = 0x00000004,
        kRedrawEnabled = 0x00000008,
        kDragging = 0x00000010,
        kScrollStepMask = 0x00003F00,
        kScrollRepeatMask = 0x0000C000,
    };
    enum { kScrollStepShift = 8 };
    // The strip's elements, as its state word names them.
    enum Element { kNoElement = 0, kCloseButton = 1, kScrollRightButton = 2, kScrollLeftButton = 3, kTabItems = 4 };
    // Where in the state word each mark keeps its element.
    enum Mark { kHot = 16, kPressed = 20, kUnderMouse = 24 };
    enum { kTimerScrollLeft = 16, kTimerScrollRight = 32 };
    static constexpr POINT kNoPoint = {-1, -1};

    Element GetMark(Mark mark) const { return static_cast<Element>((m_dwState >> mark) & 0xF); }
    void SetMark(Mark mark, Element e) { m_dwState = (m_dwState & ~(DWORD(0xF) << mark)) | (DWORD(e) << mark); }

    int ScrollStep() const { return static_cast<int>((m_dwState & kScrollStepMask) >> kScrollStepShift); }

    WTL::CRect ScrolledRect(int index) const
    {
        WTL::CRect rc = m_items[index]->GetRect();
        rc.OffsetRect(m_iScrollOffset, 0);
        return rc;
    }

    static WTL::CRect CRectEmpty() { return WTL::CRect(); }

    // A 15 x 15 button with its left edge at left, centred in r's height.
    static WTL::CRect ButtonAt(int left, const WTL::CRect& r)
    {
        const int top = (r.top + r.bottom - 15) / 2;
        return WTL::CRect(left, top, left + 15, top + 15);
    }

    // Notifications ---------------------------------------------------------

    HWND NotifyTarget(HWND to) const { return to ? to : this->GetParent(); }

    LRESULT NotifyItem(int code, int item, POINT pt, HWND to = nullptr)
    {
        const UINT_PTR id = static_cast<UINT_PTR>(this->GetDlgCtrlID());
        NMCTCITEM record = {{this->m_hWnd, id, static_cast<UINT>(code)}, item, pt};
        return ::SendMessageW(NotifyTarget(to), WM_NOTIFY, id, reinterpret_cast<LPARAM>(&record));
    }

    LRESULT NotifyItems(int code, int first, int second, HWND to = nullptr)
    {
        const UINT_PTR id = static_cast<UINT_PTR>(this->GetDlgCtrlID());
        NMCTC2ITEMS record = {{this->m_hWnd, id, static_cast<UINT>(code)}, first, second, kNoPoint};
        return ::SendMessageW(NotifyTarget(to), WM_NOTIFY, id, reinterpret_cast<LPARAM>(&record));
    }

    // A scroll button's click names the side instead of the strip: +1 for
    // right, -1 for left, as control id, index and wParam.
    void NotifyScrollButton(int side)
    {
        const UINT_PTR id = static_cast<UINT_PTR>(static_cast<INT_PTR>(side));
        NMCTCITEM record = {{this->m_hWnd, id, static_cast<UINT>(CTCN_MOVEITEM)}, side, {0, 0}};
        ::SendMessageW(this->GetParent(), WM_NOTIFY, id, reinterpret_cast<LPARAM>(&record));
    }

    template <class F>
    bool SetItemField(int index, F change)
    {
        TItem* item = GetItem(index);
        if (!item) return false;
        change(item);
        UpdateLayout();
        this->Invalidate();
        return true;
    }

    // Layout --------------------------------------------------------------

    // margin, image, text with its spacing, margin; the selected tab is
    // measured in its own font.
    int NaturalWidth(HDC dc, int index) const
    {
        const TItem* item = m_items[index].get();
        ::SelectObject(dc, index == m_iCurSel ? m_fontSelected.m_hObj : m_font.m_hObj);
        int width = 2 * m_nMargin;
        if (item->GetImageIndex() >= 0 && m_imageList) {
            IMAGEINFO info = {};
            if (::ImageList_GetImageInfo(m_imageList, item->GetImageIndex(), &info))
                width += info.rcImage.right - info.rcImage.left;
        }
        if (!item->GetText().empty()) {
            RECT measured = {0, 0, 0, 0};
            ::DrawTextW(dc, item->GetText().c_str(), -1, &measured, DT_SINGLELINE | DT_CALCRECT);
            width += measured.right - measured.left + 2 * m_nTextSpacing;
        }
        return width;
    }

    std::vector<int> NaturalWidths() const
    {
        std::vector<int> widths(m_items.size());
        WTL::CClientDC dc(this->m_hWnd);
        HGDIOBJ old = ::GetCurrentObject(dc, OBJ_FONT);
        for (int i = 0; i < GetItemCount(); ++i) widths[i] = NaturalWidth(dc, i);
        ::SelectObject(dc, old);
        return widths;
    }

    // Tabs at their natural widths, one after the other over the full height;
    // the offset is pulled back so that the last tab leaves no gap.
    void ScrollToFitLayout(const WTL::CRect& client)
    {
        const std::vector<int> widths = NaturalWidths();
        int x = m_nIndent;
        for (int i = 0; i < GetItemCount(); ++i) {
            m_items[i]->SetRect(WTL::CRect(x, client.top, x + widths[i], client.bottom));
            x += widths[i];
        }
        const int total = x + m_nIndent;
        if (total + m_iScrollOffset < m_rcTabItemArea.right) m_iScrollOffset = m_rcTabItemArea.right - total;
    }

    void UpdateOverflow()
    {
        if (m_iScrollOffset < 0) {
            m_dwState |= kOverflowLeft;
        } else {
            m_iScrollOffset = 0;
            m_dwState &= ~kOverflowLeft;
        }
        if (GetItemCount() > 0 && ScrolledRect(GetItemCount() - 1).right > m_rcTabItemArea.right)
            m_dwState |= kOverflowRight;
        else
            m_dwState &= ~kOverflowRight;
    }

    // Without scrolling every tab must fit: the selected one keeps its
    // natural width and the others share what is left, in proportion while
    // that leaves them room for some text, else equally; when not even that
    // fits, all tabs get equal shares.
    void FitLayout()
    {
        const WTL::CRect& area = m_rcTabItemArea;
        const std::vector<int> widths = NaturalWidths();
        const int count = GetItemCount();
        int x = m_nIndent;
        int narrowest = INT_MAX;
        for (int i = 0; i < count; ++i) {
            m_items[i]->SetRect(WTL::CRect(x, area.top, x + widths[i], area.bottom));
            x += widths[i];
            if (i != m_iCurSel && widths[i] < narrowest) narrowest = widths[i];
        }
        const int total = x + m_nIndent;
        const int width = area.Width();
        if (total <= width || count == 0 || m_iCurSel < 0 || m_iCurSel >= count) return;

        const int selectedWidth = widths[m_iCurSel];
        const int available = width - 2 * m_nIndent - selectedWidth;
        const int othersTotal = total - 2 * m_nIndent - selectedWidth;
        const double ratio = othersTotal ? static_cast<double>(available) / othersTotal : 0.0;
        const int minimumTab = static_cast<const T*>(this)->GetMinWidthToDisplayText() + 2 * m_nMargin + m_nTextSpacing;
        x = m_nIndent;
        if ((count - 1) * minimumTab < available) {
            const bool equal = minimumTab > narrowest * ratio;
            for (int i = 0; i < count; ++i) {
                int w;
                if (i == m_iCurSel)
                    w = selectedWidth;
                else if (equal && count > 1)
                    w = static_cast<int>(static_cast<unsigned>(available) / static_cast<unsigned>(count - 1));
                else
                    w = static_cast<int>(widths[i] * ratio + 0.5);
                m_items[i]->SetRect(WTL::CRect(x, area.top, x + w, area.bottom));
                x += w;
            }
        } else {
            const int w = (width - 2 * m_nIndent) / count;
            for (int i = 0; i < count; ++i) {
                m_items[i]->SetRect(WTL::CRect(x, area.top, x + w, area.bottom));
                x += w;
            }
        }
    }

    void ScrollBy(int delta, bool redraw)
    {
        m_iScrollOffset += delta;
        UpdateLayout();
        if (redraw) this->Invalidate();
    }

    // Tooltip -------------------------------------------------------------

    void AddTool(UINT_PTR id, LPCWSTR text, const RECT& rect)
    {
        if (!m_tooltip.IsWindow()) return;
        TOOLINFOW tool = ToolInfo(id);
        tool.rect = rect;
        tool.lpszText = const_cast<LPWSTR>(text);
        m_tooltip.AddTool(&tool);
    }
    void DelTool(UINT_PTR id)
    {
        if (!m_tooltip.IsWindow()) return;
        TOOLINFOW tool = ToolInfo(id);
        m_tooltip.DelTool(&tool);
    }
    void SetToolRect(UINT_PTR id, const RECT& rect)
    {
        if (!m_tooltip.IsWindow()) return;
        TOOLINFOW tool = ToolInfo(id);
        tool.rect = rect;
        m_tooltip.SetToolRect(&tool);
    }
    TOOLINFOW ToolInfo(UINT_PTR id) const
    {
        TOOLINFOW tool = {};
        tool.cbSize = sizeof(tool);
        tool.hwnd = this->m_hWnd;
        tool.uId = id;
        return tool;
    }
    void AddScrollTools()
    {
        AddTool(kToolScrollRight, L"Scroll Right", m_rcScrollRight);
        AddTool(kToolScrollLeft, L"Scroll Left", m_rcScrollLeft);
    }
    void AddCloseTool() { AddTool(kToolClose, L"Close", m_rcCloseButton); }

    // Messages ------------------------------------------------------------

    LRESULT OnCreate(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL&)
    {
        LRESULT result = this->DefWindowProc(uMsg, wParam, lParam);
        if (result == -1) return -1;
        if (!m_tooltip.IsWindow()) {
            m_tooltip.Create(this->m_hWnd, nullptr, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                             WS_EX_TOOLWINDOW);
            m_tooltip.SetWindowPos(HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
            const int dbl = static_cast<int>(::GetDoubleClickTime());
            m_tooltip.SetDelayTime(TTDT_INITIAL, dbl);
            m_tooltip.SetDelayTime(TTDT_AUTOPOP, dbl * 20);
            m_tooltip.SetDelayTime(TTDT_RESHOW, dbl / 5);
            const DWORD style = this->GetStyle();
            m_tooltip.Activate((style & CTCS_TOOLTIPS) != 0);
            if (style & CTCS_SCROLL) AddScrollTools();
            if (style & CTCS_CLOSEBUTTON) AddCloseTool();
        }
        // The appearance layer takes its fonts, colours and metrics.
        this->SendMessage(WM_WININICHANGE);
        return result;
    }

    LRESULT OnDestroy(UINT, WPARAM, LPARAM, BOOL& bHandled)
    {
        DelTool(kToolClose);
        DelTool(kToolScrollRight);
        DelTool(kToolScrollLeft);
        DeleteAllItems(false);
        if (m_tooltip.IsWindow()) m_tooltip.DestroyWindow();
        m_tooltip.m_hWnd = nullptr;
        bHandled = FALSE;
        return 0;
    }

    LRESULT OnSize(UINT, WPARAM, LPARAM, BOOL& bHandled)
    {
        UpdateLayout();
        this->Invalidate();
        bHandled = FALSE;
        return 0;
    }

    LRESULT OnSetRedraw(UINT, WPARAM wParam, LPARAM, BOOL& bHandled)
    {
        if (wParam) {
            const bool wasOff = !(m_dwState & kRedrawEnabled);
            m_dwState |= kRedrawEnabled;
            if (wasOff) UpdateLayout();
        } else {
            m_dwState &= ~kRedrawEnabled;
        }
        bHandled = FALSE;
        return 0;
    }

    LRESULT OnSetFont(UINT, WPARAM wParam, LPARAM lParam, BOOL&)
    {
        LOGFONTW font = {};
        if (wParam && ::GetObjectW(reinterpret_cast<HFONT>(wParam), sizeof(font), &font)) {
            m_font.DeleteObject();
            m_font.CreateFontIndirect(&font);
        }
        if (LOWORD(lParam)) this->Invalidate();
        return 0;
    }

    LRESULT OnGetFont(UINT, WPARAM, LPARAM, BOOL&) { return reinterpret_cast<LRESULT>(m_font.m_hObj); }

    LRESULT OnStyleChanged(UINT, WPARAM wParam, LPARAM lParam, BOOL& bHandled)
    {
        if (static_cast<int>(wParam) != GWL_STYLE) {
            bHandled = FALSE;
            return 0;
        }
        const STYLESTRUCT* change = reinterpret_cast<const STYLESTRUCT*>(lParam);
        const DWORD turnedOn = change->styleNew & ~change->styleOld;
        const DWORD turnedOff = change->styleOld & ~change->styleNew;
        if ((turnedOn | turnedOff) & CTCS_TOOLTIPS) m_tooltip.Activate((change->styleNew & CTCS_TOOLTIPS) != 0);
        if (turnedOn & CTCS_SCROLL) AddScrollTools();
        if (turnedOff & CTCS_SCROLL) {
            DelTool(kToolScrollRight);
            DelTool(kToolScrollLeft);
            m_iScrollOffset = 0;
        }
        if (turnedOn & CTCS_CLOSEBUTTON) AddCloseTool();
        if (turnedOff & CTCS_CLOSEBUTTON) DelTool(kToolClose);
        UpdateLayout();
        this->Invalidate();
        return 0;
    }

    LRESULT OnRelayToToolTip(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled)
    {
        if (m_tooltip.IsWindow()) {
            MSG msg = {this->m_hWnd, uMsg, wParam, lParam, 0, {0, 0}};
            m_tooltip.RelayEvent(&msg);
        }
        bHandled = FALSE;
        return 0;
    }

    LRESULT OnGetToolTipInfo(int, LPNMHDR header, BOOL& bHandled)
    {
        NMTTDISPINFOW* info = reinterpret_cast<NMTTDISPINFOW*>(header);
        const INT_PTR id = static_cast<INT_PTR>(header->idFrom);
        if (header->hwndFrom != m_tooltip.m_hWnd || id < 1 || id > GetItemCount()) {
            bHandled = FALSE;
            return 0;
        }
        const TItem* item = m_items[id - 1].get();
        m_toolTipText = item->GetToolTip().empty() ? item->GetText() : item->GetToolTip();
        info->lpszText = const_cast<LPWSTR>(m_toolTipText.c_str());
        info->hinst = nullptr;
        return 0;
    }

    // Repaints what an element covers on the screen.
    void InvalidateElement(Element e)
    {
        switch (e) {
        case kCloseButton:
            this->InvalidateRect(&m_rcCloseButton, FALSE);
            break;
        case kScrollRightButton:
            this->InvalidateRect(&m_rcScrollRight, FALSE);
            break;
        case kScrollLeftButton:
            this->InvalidateRect(&m_rcScrollLeft, FALSE);
            break;
        case kTabItems:
            if (GetItem(m_iHotItem)) {
                WTL::CRect rc = ScrolledRect(m_iHotItem);
                this->InvalidateRect(&rc, FALSE);
            }
            break;
        default:
            break;
        }
    }

    void ClearHot()
    {
        const Element hot = GetMark(kHot);
        if (hot == kNoElement) return;
        InvalidateElement(hot);
        SetMark(kHot, kNoElement);
        m_iHotItem = -1;
    }

    void ClearUnderMouse()
    {
        const Element under = GetMark(kUnderMouse);
        if (under == kNoElement) return;
        if (under != kTabItems) InvalidateElement(under);
        SetMark(kUnderMouse, kNoElement);
    }

    LRESULT OnMouseMove(UINT, WPARAM, LPARAM lParam, BOOL&)
    {
        const WTL::CPoint pt(lParam);
        if (!(m_dwState & kMouseInside)) {
            TRACKMOUSEEVENT track = {sizeof(track), TME_LEAVE, this->m_hWnd, 0};
            if (::TrackMouseEvent(&track)) {
                m_dwState |= kMouseInside;
                UpdateLayout();
                this->Invalidate();
            }
        }
        const bool inside = (m_dwState & kMouseInside) != 0;
        if (m_iDragItem >= 0 && inside && !IsDragging() && GetMark(kPressed) == kTabItems &&
            pt.x != m_ptDragOrigin.x && (this->GetStyle() & CTCS_DRAGREARRANGE)) {
            BeginItemDrag(m_iDragItem, m_ptDragOrigin);
        } else if (IsDragging()) {
            ContinueItemDrag(pt);
        } else if (inside) {
            TrackButton(kCloseButton, m_rcCloseButton, pt);
            TrackButton(kScrollRightButton, m_rcScrollRight, pt);
            TrackButton(kScrollLeftButton, m_rcScrollLeft, pt);
            TrackItems(pt);
        }
        return 0;
    }

    // Buttons are hot-tracked whatever the style: a button becomes hot on
    // the second move over it while no button is pressed.
    void TrackButton(Element button, const WTL::CRect& rect, POINT pt)
    {
        if (rect.PtInRect(pt)) {
            if (GetMark(kUnderMouse) != button) {
                ClearUnderMouse();
                SetMark(kUnderMouse, button);
                if (GetMark(kPressed) == button) InvalidateElement(button);
            } else if (GetMark(kPressed) == kNoElement && GetMark(kHot) != button) {
                ClearHot();
                SetMark(kHot, button);
                InvalidateElement(button);
            }
        } else {
            if (GetMark(kUnderMouse) == button) {
                SetMark(kUnderMouse, kNoElement);
                InvalidateElement(button);
            }
            if (GetMark(kHot) == button) ClearHot();
        }
    }

    void TrackItems(POINT pt)
    {
        const bool hotTrack = (this->GetStyle() & CTCS_HOTTRACK) != 0;
        if (!m_rcTabItemArea.PtInRect(pt)) {
            if (GetMark(kUnderMouse) == kTabItems) SetMark(kUnderMouse, kNoElement);
            if (hotTrack && GetMark(kHot) == kTabItems) ClearHot();
            return;
        }
        if (GetMark(kUnderMouse) != kTabItems) {
            SetMark(kUnderMouse, kTabItems);
            return;
        }
        if (!hotTrack) return;
        const int hit = HitTest(pt);
        if (GetMark(kHot) == kTabItems && hit == m_iHotItem) return;
        ClearHot();
        if (hit >= 0) {
            SetMark(kHot, kTabItems);
            m_iHotItem = hit;
            InvalidateElement(kTabItems);
        }
    }

    LRESULT OnMouseLeave(UINT, WPARAM, LPARAM, BOOL&)
    {
        m_dwState &= ~kMouseInside;
        SetMark(kHot, kNoElement);
        SetMark(kUnderMouse, kNoElement);
        m_iHotItem = -1;
        UpdateLayout();
        this->Invalidate();
        return 0;
    }

    LRESULT OnLButtonDown(UINT, WPARAM, LPARAM lParam, BOOL&)
    {
        const WTL::CPoint pt(lParam);
        if (m_rcCloseButton.PtInRect(pt)) {
            SetMark(kPressed, kCloseButton);
            SetMark(kUnderMouse, kCloseButton);
            InvalidateElement(kCloseButton);
        } else if (m_rcScrollRight.PtInRect(pt)) {
            SetMark(kPressed, kScrollRightButton);
            SetMark(kUnderMouse, kScrollRightButton);
            InvalidateElement(kScrollRightButton);
        } else if (m_rcScrollLeft.PtInRect(pt)) {
            SetMark(kPressed, kScrollLeftButton);
            SetMark(kUnderMouse, kScrollLeftButton);
            InvalidateElement(kScrollLeftButton);
        } else {
            const int hit = HitTest(pt);
            if (NotifyItem(NM_CLICK, hit, pt) != 0 || hit < 0) return 0;
            SetCurSel(hit);
            // The pressed tab is the candidate for a drag.
            m_iDragItem = hit;
            m_ptDragOrigin = pt;
            SetMark(kPressed, kTabItems);
        }
        this->SetCapture();
        return 0;
    }

    LRESULT OnLButtonUp(UINT, WPARAM, LPARAM lParam, BOOL& bHandled)
    {
        if (::GetCapture() != this->m_hWnd) {
            bHandled = FALSE;
            return 0;
        }
        const WTL::CPoint pt(lParam);
        if (IsDragging()) AcceptItemDrag();
        const DWORD saved = m_dwState;
        ::ReleaseCapture();
        const Element pressed = static_cast<Element>((saved >> kPressed) & 0xF);
        const Element under = static_cast<Element>((saved >> kUnderMouse) & 0xF);
        // A button is clicked when it was pressed and the button comes up
        // over it.
        if (pressed == under) {
            if (pressed == kCloseButton && m_rcCloseButton.PtInRect(pt))
                NotifyItem(CTCN_CLOSE, m_iCurSel, pt);
            else if (pressed == kScrollRightButton && m_rcScrollRight.PtInRect(pt))
                NotifyScrollButton(1);
            else if (pressed == kScrollLeftButton && m_rcScrollLeft.PtInRect(pt))
                NotifyScrollButton(-1);
        }
        UpdateLayout();
        this->Invalidate();
        return 0;
    }

    LRESULT OnCaptureChanged(UINT, WPARAM, LPARAM, BOOL&)
    {
        const Element pressed = GetMark(kPressed);
        SetMark(kPressed, kNoElement);
        if (pressed != kNoElement && pressed != kTabItems) InvalidateElement(pressed);
        if (IsDragging()) CancelItemDrag(false);
        return 0;
    }

    LRESULT OnLButtonDblClk(UINT, WPARAM, LPARAM lParam, BOOL&)
    {
        const WTL::CPoint pt(lParam);
        // A double click on a button is two clicks of it. On the close
        // button the first click has closed a tab already; the second must
        // not close the tab selected after it as well.
        if (!m_rcCloseButton.PtInRect(pt) && !m_rcScrollRight.PtInRect(pt) && !m_rcScrollLeft.PtInRect(pt))
            NotifyItem(NM_DBLCLK, HitTest(pt), pt);
        return 0;
    }

    LRESULT OnRButtonDown(UINT, WPARAM, LPARAM lParam, BOOL&)
    {
        const WTL::CPoint pt(lParam);
        const int hit = HitTest(pt);
        if (NotifyItem(NM_RCLICK, hit, pt) == 0 && hit >= 0) SetCurSel(hit);
        return 0;
    }

    LRESULT OnOtherButton(UINT uMsg, WPARAM, LPARAM lParam, BOOL&)
    {
        const WTL::CPoint pt(lParam);
        const int code = uMsg == WM_RBUTTONDBLCLK ? int(NM_RDBLCLK) : uMsg == WM_MBUTTONDOWN ? int(CTCN_MCLICK) : int(CTCN_MDBLCLK);
        NotifyItem(code, HitTest(pt), pt);
        return 0;
    }

    LRESULT OnTimer(UINT, WPARAM wParam, LPARAM, BOOL& bHandled)
    {
        if (wParam == kTimerScrollLeft)
            ScrollTimer(kTimerScrollLeft, kOverflowLeft, kScrollLeftButton);
        else if (wParam == kTimerScrollRight)
            ScrollTimer(kTimerScrollRight, kOverflowRight, kScrollRightButton);
        else
            bHandled = FALSE;
        return 0;
    }

    void ScrollTimer(UINT_PTR timer, DWORD overflowBit, Element button)
    {
        if (!(m_dwState & overflowBit)) {
            this->KillTimer(timer);
        } else if (IsDragging()) {
            this->KillTimer(timer);
            POINT pt;
            ::GetCursorPos(&pt);
            this->ScreenToClient(&pt);
            ContinueItemDrag(pt);
        } else if (GetMark(kPressed) == button && GetMark(kUnderMouse) == button) {
            if (button == kScrollLeftButton)
                ScrollLeft(true);
            else
                ScrollRight(true);
            if (!(m_dwState & kScrollRepeatMask)) this->KillTimer(timer);
        } else {
            this->KillTimer(timer);
        }
    }

    LRESULT OnKeyDown(UINT, WPARAM wParam, LPARAM, BOOL& bHandled)
    {
        switch (wParam) {
        case VK_ESCAPE:
            if (IsDragging()) CancelItemDrag(true);
            break;
        case VK_LEFT:
            if (m_iCurSel > 0) SetCurSel(m_iCurSel - 1);
            break;
        case VK_RIGHT:
            if (m_iCurSel < GetItemCount() - 1) SetCurSel(m_iCurSel + 1);
            break;
        default:
            bHandled = FALSE;
            break;
        }
        return 0;
    }

    LRESULT OnGetDlgCode(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL&)
    {
        return this->DefWindowProc(uMsg, wParam, lParam) | DLGC_WANTARROWS;
    }

    // Dragging ------------------------------------------------------------

    void BeginItemDrag(int index, POINT pt)
    {
        if (index < 0) return;
        if (NotifyItem(CTCN_BEGINITEMDRAG, index, pt) != 0) {
            m_iDragItem = -1;
            return;
        }
        this->SetCapture();
        this->SetFocus();
        // Brings the OLE library in, whose drag cursors the strip shows.
        DWORD effect = 0;
        ::DoDragDrop(nullptr, nullptr, 0, &effect);
        if (HMODULE ole = ::GetModuleHandleW(L"OLE32.dll")) {
            m_hCursorMove = ::LoadCursorW(ole, MAKEINTRESOURCEW(2));
            m_hCursorNoDrop = ::LoadCursorW(ole, MAKEINTRESOURCEW(1));
        }
        m_dwState |= kDragging;
        m_iDragItem = m_iDragItemOriginal = index;
        m_ptDragOrigin = pt;
    }

    void ContinueItemDrag(POINT pt)
    {
        WTL::CRect client;
        this->GetClientRect(&client);
        ::SetCursor(client.PtInRect(pt) ? m_hCursorMove : m_hCursorNoDrop);
        const int hit = HitTest(pt);
        if (hit >= 0 && hit != m_iDragItem) {
            const WTL::CRect rc = ScrolledRect(hit);
            const int middle = (rc.left + rc.right) / 2;
            if ((m_iDragItem < hit && pt.x > middle) || (m_iDragItem > hit && pt.x < middle)) {
                MoveItem(m_iDragItem, hit, true, false);
                m_iDragItem = hit;
            }
        }
        if (!(this->GetStyle() & CTCS_SCROLL)) return;
        if (pt.x >= client.left && pt.x < m_rcTabItemArea.left + 20 && IsOverflowingLeft()) {
            ScrollLeft(true);
            this->SetTimer(kTimerScrollLeft, 100);
        } else if (pt.x >= m_rcTabItemArea.right - 20 && pt.x < client.right && IsOverflowingRight()) {
            ScrollRight(true);
            this->SetTimer(kTimerScrollRight, 100);
        }
    }

    void AcceptItemDrag()
    {
        NotifyItems(CTCN_ACCEPTITEMDRAG, m_iDragItemOriginal, m_iDragItem);
        StopItemDrag(true);
    }

    void CancelItemDrag(bool redraw)
    {
        const int start = m_iDragItemOriginal;
        if (GetItem(start) && GetItem(m_iDragItem) && start != m_iDragItem) {
            MoveItem(m_iDragItem, start, true, false);
            EnsureVisible(start, false, true);
        }
        NotifyItem(CTCN_CANCELITEMDRAG, start, kNoPoint);
        StopItemDrag(redraw);
    }

    void StopItemDrag(bool redraw)
    {
        if (!IsDragging()) return;
        m_dwState &= ~kDragging;
        ::SetCursor(reinterpret_cast<HCURSOR>(::GetClassLongPtrW(this->m_hWnd, GCLP_HCURSOR)));
        if (m_hCursorMove) ::DestroyCursor(m_hCursorMove);
        if (m_hCursorNoDrop) ::DestroyCursor(m_hCursorNoDrop);
        m_hCursorMove = m_hCursorNoDrop = nullptr;
        m_iDragItem = m_iDragItemOriginal = -1;
        m_ptDragOrigin = POINT{0, 0};
        if (redraw) this->Invalidate();
    }

    std::vector<std::unique_ptr<TItem>> m_items;
    int m_iCurSel;
    int m_iHotItem;
    signed char m_nTextSpacing;
    signed char m_nMargin;
    signed char m_nSelectedMargin;
    signed char m_nIndent;
    WTL::CFont m_font;
    WTL::CFont m_fontSelected;
    HIMAGELIST m_imageList;  // borrowed
    WTL::CToolTipCtrl m_tooltip;
    WTL::CRect m_rcTabItemArea;
    WTL::CRect m_rcCloseButton;
    WTL::CRect m_rcScrollRight;
    WTL::CRect m_rcScrollLeft;
    int m_iDragItem;
    int m_iDragItemOriginal;
    POINT m_ptDragOrigin;
    HCURSOR m_hCursorMove;
    HCURSOR m_hCursorNoDrop;
    int m_iScrollOffset;  // 0 or negative
    DWORD m_dwState;
    std::wstring m_toolTipText;  // what the tooltip is showing
};
