// A child window that hosts a tab strip and any number of view windows: the
// view of the selected tab is shown beside the strip, the others are hidden.
// The window keeps the background picture that the strip and the pages in
// its tabs paint from.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "DotNetTabCtrl.h"
#include "ImageList.h"
#include "WindowImpl.h"
#include "resource.h"

#ifndef WM_FORWARDMSG
// A message a window hands on to its active view for translation.
#define WM_FORWARDMSG 0x037F
#endif

// The owner of the strip: the strip itself, its image list and the rule
// that keeps the tab area hidden until there are enough tabs.
template <class T, class TTabCtrl>
class CCustomTabOwnerImpl {
public:
    typedef typename TTabCtrl::TabItem TabItem;

    CCustomTabOwnerImpl()
        : m_cxImage(16), m_cyImage(16), m_nTabAreaHeight(24), m_nMinTabCountForVisibleTabs(1),
          m_bTabsHidden(m_nMinTabCountForVisibleTabs != 0)
    {
    }

    TTabCtrl& GetTabCtrl() { return m_TabCtrl; }
    int GetTabAreaHeight() const { return m_nTabAreaHeight; }
    bool AreTabsHidden() const { return m_bTabsHidden; }
    HIMAGELIST GetImageList() const { return m_ImageList; }

    // The bitmap the strip paints from, once this window has painted it.
    WTL::CBitmap* GetBackgroundBitmap() const { return m_TabCtrl.GetBackgroundBitmap(); }

    // A tab for view, at the end, not selected.
    int AddTab(HWND view, LPCWSTR caption, int imageIndex = -1)
    {
        if (!view) return -1;
        TabItem* item = new TabItem;
        item->SetText(caption ? caption : L"");
        item->SetImageIndex(imageIndex);
        item->SetTabView(view);
        const int before = m_TabCtrl.GetItemCount();
        const int index = m_TabCtrl.InsertItem(before, item, false);
        if (m_TabCtrl.GetItemCount() == before + 1) static_cast<T*>(this)->OnAddTab(before + 1);
        return index;
    }

    int AddTabWithIcon(HWND view, LPCWSTR caption, HICON icon)
    {
        if (!view) return -1;
        const int image = m_ImageList.IsNull() ? -1 : m_ImageList.ReplaceIcon(-1, icon);
        return AddTab(view, caption, image);
    }

    void OnAddTab(int count)
    {
        if (count == static_cast<int>(m_nMinTabCountForVisibleTabs)) static_cast<T*>(this)->ShowTabControl();
    }

    int FindTab(HWND view)
    {
        TabItem probe;
        probe.SetTabView(view);
        return m_TabCtrl.FindItem(&probe, kMatchTabView, -1);
    }

    // Selects view's tab, first adding one when addIfMissing is 1: captioned
    // with the view's window text (and icon), else "Untitled".
    int DisplayTab(HWND view, BOOL addIfMissing = TRUE, BOOL useWindowIcon = FALSE)
    {
        if (!view) return -1;
        int index = FindTab(view);
        if (index < 0 && addIfMissing == TRUE) {
            const std::wstring caption = ATL::CWindow(view).GetWindowText();
            if (!caption.empty()) {
                HICON icon = useWindowIcon ? WindowIcon(view) : nullptr;
                index = icon ? AddTabWithIcon(view, caption.c_str(), icon) : AddTab(view, caption.c_str(), -1);
            }
            if (index < 0) index = AddTab(view, L"Untitled", -1);
        }
        if (index >= 0) m_TabCtrl.SetCurSel(index);
        return index;
    }

    // True when the tab's text changed. Without a caption the view's window
    // text is taken, unless it is empty.
    bool UpdateTabText(HWND view, LPCWSTR caption = nullptr)
    {
        const int index = FindTab(view);
        if (index < 0) return false;
        const std::wstring text = caption ? std::wstring(caption) : ATL::CWindow(view).GetWindowText();
        if (!caption && text.empty()) return false;
        TabItem* item = m_TabCtrl.GetItem(index);
        if (item->GetText() == text) return false;
        item->SetText(text);
        m_TabCtrl.UpdateLayout();
        m_TabCtrl.Invalidate();
        return true;
    }

protected:
    static HICON WindowIcon(HWND view)
    {
        HICON icon = reinterpret_cast<HICON>(::SendMessageW(view, WM_GETICON, ICON_SMALL, 0));
        if (!icon) icon = reinterpret_cast<HICON>(::GetClassLongPtrW(view, GCLP_HICONSM));
        if (!icon) icon = reinterpret_cast<HICON>(::SendMessageW(view, WM_GETICON, ICON_BIG, 0));
        if (!icon) icon = reinterpret_cast<HICON>(::GetClassLongPtrW(view, GCLP_HICON));
        return icon;
    }

    TTabCtrl m_TabCtrl;
    WTL::CImageListManaged m_ImageList;
    int m_cxImage;
    int m_cyImage;
    int m_nTabAreaHeight;
    unsigned m_nMinTabCountForVisibleTabs;
    bool m_bTabsHidden;
};

template <class T, class TBase = ATL::CWindow,
          class TWinTraits = ATL::CWinTraits<WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, WS_EX_CLIENTEDGE>>
class CTabbedChildWindowBase : public ATL::CWindowImpl<T, TBase, TWinTraits> {
public:
    DECLARE_WND_CLASS_EX(L"TabbedChildWindow", 0, COLOR_APPWORKSPACE)
};

// Joins the window and the strip: layout, focus, message routing and the
// answers to the strip's notifications.
template <class T, class TTabCtrl, class TBase>
class CTabbedFrameImpl : public TBase, public CCustomTabOwnerImpl<T, TTabCtrl> {
    typedef CTabbedFrameImpl<T, TTabCtrl, TBase> thisClass;

public:
    // The map's reflecting and forwarding entries name these.
    using TBase::ForwardNotifications;
    using TBase::ReflectNotifications;

    explicit CTabbedFrameImpl(bool reflectNotifications = false, bool forwardNotifications = false)
        : m_bReflectNotifications(reflectNotifications),
          m_bForwardNotifications(forwardNotifications),
          m_nTabSideMargin(0),
          m_nTabTopMargin(0),
          m_nTabStyles(CTCS_TOOLTIPS | CTCS_BOTTOM),
          m_hWndActive(nullptr)
    {
    }

    void SetReflectNotifications(bool reflect) { m_bReflectNotifications = reflect; }
    void SetForwardNotifications(bool forward) { m_bForwardNotifications = forward; }
    void SetTabStyles(DWORD styles) { m_nTabStyles = styles; }
    DWORD GetTabStyles() const { return m_nTabStyles; }
    HWND GetActiveView() const { return m_hWndActive; }

    BEGIN_MSG_MAP(thisClass)
        MESSAGE_HANDLER(WM_CREATE, OnCreate)
        MESSAGE_HANDLER(WM_DESTROY, OnDestroy)
        MESSAGE_HANDLER(WM_WININICHANGE, OnSettingChange)
        MESSAGE_HANDLER(WM_ERASEBKGND, OnEraseBackground)
        MESSAGE_HANDLER(WM_SETFOCUS, OnSetFocus)
        MESSAGE_HANDLER(WM_FORWARDMSG, OnForwardMsg)
        NOTIFY_CODE_HANDLER(NM_CLICK, OnClick)
        NOTIFY_CODE_HANDLER(NM_DBLCLK, OnPassToParent)
        NOTIFY_CODE_HANDLER(CTCN_CLOSE, OnPassToParent)
        NOTIFY_CODE_HANDLER(CTCN_MOVEITEM, OnPassToParent)
        NOTIFY_CODE_HANDLER(CTCN_ACCEPTITEMDRAG, OnAcceptItemDrag)
        NOTIFY_CODE_HANDLER(CTCN_CANCELITEMDRAG, OnCancelItemDrag)
        NOTIFY_CODE_HANDLER(CTCN_SELCHANGE, OnSelChange)
        MESSAGE_HANDLER(WM_SIZE, OnSize)
        MESSAGE_RANGE_HANDLER(WM_KEYFIRST, 0x0109, OnKeyMessage)
        MESSAGE_HANDLER(WM_COMMAND, OnCommand)
        if (m_bReflectNotifications) REFLECT_NOTIFICATIONS()
        if (m_bForwardNotifications) FORWARD_NOTIFICATIONS()
    END_MSG_MAP()

    void UpdateTabAreaHeight()
    {
        LOGFONTW iconFont = {};
        ::SystemParametersInfoW(SPI_GETICONTITLELOGFONT, sizeof(iconFont), &iconFont, 0);
        int units = -iconFont.lfHeight;
        if (this->m_TabCtrl.IsWindow()) {
            if (HFONT font = this->m_TabCtrl.GetFont()) {
                WTL::CClientDC dc(this->m_TabCtrl);
                HFONT old = dc.SelectFont(font);
                TEXTMETRICW metrics = {};
                dc.GetTextMetrics(&metrics);
                dc.SelectFont(old);
                units = metrics.tmAscent;
            }
        }
        SetTabAreaHeight(24 + (::MulDiv(24, units, 11) - 24) / 2);
    }

    void SetTabAreaHeight(int height)
    {
        if (this->m_bTabsHidden) {
            this->m_nTabAreaHeight = 0;
        } else {
            if (height == this->m_nTabAreaHeight) return;
            this->m_nTabAreaHeight = height;
        }
        UpdateLayout();
        this->Invalidate();
    }

    // Once shown, the tabs stay: nothing hides them again.
    void ShowTabControl()
    {
        if (!this->m_bTabsHidden) return;
        this->m_bTabsHidden = false;
        UpdateTabAreaHeight();
    }

    // Places the strip and the active view. A tabbed child window has no
    // bars of its own to resize.
    void UpdateLayout(BOOL /*resizeBars*/ = TRUE)
    {
        if (!this->IsWindow()) return;
        WTL::CRect client;
        this->GetClientRect(&client);
        TTabCtrl& strip = this->m_TabCtrl;
        const bool haveStrip = strip.IsWindow() != FALSE;
        const bool haveView = ::IsWindow(m_hWndActive) != FALSE;
        const int count = (haveStrip ? 1 : 0) + (haveView ? 1 : 0);
        if (count > 0) {
            const int h = this->m_nTabAreaHeight;
            const int width = client.Width();
            const bool bottom = haveStrip && (strip.GetStyle() & CTCS_BOTTOM);
            WTL::CRect stripRect, viewRect;
            if (bottom) {
                stripRect = WTL::CRect(client.left, client.bottom - h, client.right, client.bottom);
                viewRect = WTL::CRect(client.left, client.top, client.right, client.bottom - h);
            } else {
                const int side = m_nTabSideMargin, top = m_nTabTopMargin;
                stripRect = WTL::CRect(client.left + side, client.top + top, client.left + side + width - 2 * side,
                                       client.top + top + h);
                viewRect = WTL::CRect(client.left + side, client.top + h + top, client.left + side + width - 2 * side,
                                      client.top + h + top + client.bottom - (client.top + h) - 2 * top);
            }
            HDWP batch = ::BeginDeferWindowPos(count);
            if (haveStrip)
                batch = ::DeferWindowPos(batch, strip, nullptr, stripRect.left, stripRect.top, stripRect.Width(),
                                         stripRect.Height(), SWP_NOZORDER | SWP_NOACTIVATE);
            if (haveView)
                batch = ::DeferWindowPos(batch, m_hWndActive, nullptr, viewRect.left, viewRect.top, viewRect.Width(),
                                         viewRect.Height(), SWP_NOZORDER | SWP_SHOWWINDOW);
            ::EndDeferWindowPos(batch);
        }
        strip.UpdateLayout();
    }

protected:
    LRESULT OnCreate(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL&)
    {
        m_nTabSideMargin = 15;
        m_nTabTopMargin = 15;
        m_background.LoadBitmap(IDB_BACKGROUND);
        if (this->DefWindowProc(uMsg, wParam, lParam) == -1) return -1;
        CreateTabWindow();
        return 0;
    }

    void CreateTabWindow()
    {
        TTabCtrl& strip = this->m_TabCtrl;
        if (strip.IsWindow()) strip.DestroyWindow();
        this->m_ImageList.Destroy();
        this->m_ImageList.Create(this->m_cxImage, this->m_cyImage, ILC_COLOR32 | ILC_MASK, 4, 4);
        strip.SetImageList(this->m_ImageList);
        strip.Create(this->m_hWnd, nullptr, nullptr,
                     m_nTabStyles | WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN);
        UpdateTabAreaHeight();
    }

    LRESULT OnDestroy(UINT, WPARAM, LPARAM, BOOL& bHandled)
    {
        this->m_ImageList.Destroy();
        bHandled = FALSE;
        return 0;
    }

    LRESULT OnSettingChange(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled)
    {
        if (this->m_TabCtrl.IsWindow()) this->m_TabCtrl.SendMessage(uMsg, wParam, lParam);
        UpdateTabAreaHeight();
        bHandled = FALSE;
        return 0;
    }

    // The picture at its own size in the top-left corner, white elsewhere;
    // the strip and the pages then paint from the same picture.
    LRESULT OnEraseBackground(UINT, WPARAM, LPARAM, BOOL& bHandled)
    {
        if (!m_hWndActive) {
            bHandled = FALSE;
            return 0;
        }
        WTL::CRect client;
        this->GetClientRect(&client);
        HDC window = ::GetDC(this->m_hWnd);
        {
            WTL::CDC memory;
            memory.CreateCompatibleDC(window);
            WTL::CBitmap surface;
            surface.CreateCompatibleBitmap(window, client.Width(), client.Height());
            HBITMAP oldSurface = memory.SelectBitmap(surface);
            WTL::CBrush white;
            white.CreateSolidBrush(RGB(255, 255, 255));
            memory.FillRect(&client, white);
            SIZE size;
            if (m_background.GetSize(size)) {
                WTL::CDC picture;
                picture.CreateCompatibleDC(window);
                HBITMAP oldPicture = picture.SelectBitmap(m_background);
                memory.BitBlt(0, 0, size.cx, size.cy, picture, 0, 0, SRCCOPY);
                picture.SelectBitmap(oldPicture);
            }
            ::BitBlt(window, 0, 0, client.Width(), client.Height(), memory, 0, 0, SRCCOPY);
            memory.SelectBitmap(oldSurface);
        }
        ::ReleaseDC(this->m_hWnd, window);
        this->m_TabCtrl.SetBackgroundBitmap(&m_background);
        return 1;
    }

    LRESULT OnSetFocus(UINT, WPARAM, LPARAM, BOOL& bHandled)
    {
        if (::IsWindow(m_hWndActive) && ::GetCapture() != this->m_TabCtrl.m_hWnd) ::SetFocus(m_hWndActive);
        bHandled = FALSE;
        return 0;
    }

    LRESULT OnForwardMsg(UINT, WPARAM, LPARAM lParam, BOOL&)
    {
        return ::SendMessageW(m_hWndActive, WM_FORWARDMSG, 0, lParam);
    }

    bool FromStrip(LPNMHDR header) const { return header->hwndFrom == this->m_TabCtrl.m_hWnd; }

    void FocusTabView(int index)
    {
        if (index < 0) return;
        if (auto* item = this->m_TabCtrl.GetItem(index))
            if (HWND view = item->GetTabView()) ::SetFocus(view);
    }

    LRESULT OnClick(int, LPNMHDR header, BOOL& bHandled)
    {
        if (FromStrip(header)) {
            const int index = reinterpret_cast<NMCTCITEM*>(header)->iItem;
            if (index >= 0 && index == this->m_TabCtrl.GetCurSel()) FocusTabView(index);
        }
        bHandled = FALSE;
        return 0;
    }

    LRESULT OnPassToParent(int id, LPNMHDR header, BOOL& bHandled)
    {
        if (FromStrip(header))
            ::SendMessageW(this->GetParent(), WM_NOTIFY, static_cast<WPARAM>(id), reinterpret_cast<LPARAM>(header));
        bHandled = FALSE;
        return 0;
    }

    LRESULT OnAcceptItemDrag(int, LPNMHDR header, BOOL& bHandled)
    {
        if (FromStrip(header)) FocusTabView(reinterpret_cast<NMCTC2ITEMS*>(header)->iItem2);
        bHandled = FALSE;
        return 0;
    }

    LRESULT OnCancelItemDrag(int, LPNMHDR header, BOOL& bHandled)
    {
        if (FromStrip(header)) FocusTabView(reinterpret_cast<NMCTCITEM*>(header)->iItem);
        bHandled = FALSE;
        return 0;
    }

    // The selected tab's view takes the place of the one shown so far.
    LRESULT OnSelChange(int, LPNMHDR header, BOOL& bHandled)
    {
        bHandled = FALSE;
        if (!FromStrip(header)) return 0;
        auto* item = this->m_TabCtrl.GetItem(this->m_TabCtrl.GetCurSel());
        HWND view = item ? item->GetTabView() : nullptr;
        if (!view || view == m_hWndActive) return 0;
        HWND previous = m_hWndActive;
        m_hWndActive = view;
        UpdateLayout();
        if (previous) ::ShowWindow(previous, SW_HIDE);
        ::SetFocus(view);
        return 0;
    }

    LRESULT OnSize(UINT, WPARAM wParam, LPARAM, BOOL& bHandled)
    {
        if (wParam != SIZE_MINIMIZED) UpdateLayout();
        bHandled = FALSE;
        return 0;
    }

    LRESULT OnKeyMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled)
    {
        if (!::IsWindow(m_hWndActive)) {
            bHandled = FALSE;
            return 0;
        }
        return ::SendMessageW(m_hWndActive, uMsg, wParam, lParam);
    }

    LRESULT OnCommand(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled)
    {
        if (m_hWndActive) ::SendMessageW(m_hWndActive, uMsg, wParam, lParam);
        bHandled = FALSE;
        return 0;
    }

    bool m_bReflectNotifications;
    bool m_bForwardNotifications;
    int m_nTabSideMargin;
    int m_nTabTopMargin;
    DWORD m_nTabStyles;
    HWND m_hWndActive;
    WTL::CBitmap m_background;
};

template <class TTabCtrl = CDotNetTabCtrl<CTabViewTabItem>>
class CTabbedChildWindow
    : public CTabbedFrameImpl<CTabbedChildWindow<TTabCtrl>, TTabCtrl,
                              CTabbedChildWindowBase<CTabbedChildWindow<TTabCtrl>>> {
public:
    CTabbedChildWindow() {}
};
