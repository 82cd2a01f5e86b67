// Top-level frame windows: the frame resources (title string, menu,
// accelerators and icon under one id), the bars along the top and bottom
// edges (a rebar in place of a tool bar, a status bar) with the client view
// filling the rest, and the menu and tool bar check states.
#pragma once

#include <map>
#include <vector>

#include "Controls.h"
#include "WindowImpl.h"

#define ATL_IDW_TOOLBAR 0xE800
#define ATL_IDW_STATUS_BAR 0xE801
#define ATL_IDW_COMMAND_BAR 0xE802
#define ID_VIEW_TOOLBAR 0xE800
#define ID_VIEW_STATUS_BAR 0xE801

#define ATL_SIMPLE_CMDBAR_PANE_STYLE \
    (WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | CCS_NODIVIDER | CCS_NORESIZE | CCS_NOPARENTALIGN)
#define ATL_SIMPLE_REBAR_NOBORDER_STYLE                                                                   \
    (WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | RBS_VARHEIGHT | RBS_BANDBORDERS | RBS_AUTOSIZE | \
     CCS_NODIVIDER)

namespace WTL {

// A frame class also loads the frame's icons from its resource id.
struct CFrameWndClassInfo : ATL::CWndClassInfo {
    UINT m_uCommonResourceID;
    ATOM Register(WNDPROC* superProc);
};

#define DECLARE_FRAME_WND_CLASS(WndClassName, uCommonResourceID)                                       \
    static WTL::CFrameWndClassInfo& GetWndClassInfo()                                                  \
    {                                                                                                  \
        static WTL::CFrameWndClassInfo wc = {                                                          \
            {{sizeof(WNDCLASSEXW), CS_DBLCLKS, ATL::detail::StartWindowProc, 0, 0, nullptr, nullptr,      \
              nullptr, reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1)), nullptr,         \
              WndClassName, nullptr},                                                                  \
             nullptr, nullptr, IDC_ARROW, TRUE, 0, L""},                                               \
            uCommonResourceID};                                                                        \
        return wc;                                                                                     \
    }

// A rebar for the top edge and one band in it; both non-template so every
// frame shares them.
HWND CreateSimpleReBarCtrl(HWND parent, DWORD style = ATL_SIMPLE_REBAR_NOBORDER_STYLE, UINT id = ATL_IDW_TOOLBAR);
BOOL AddSimpleReBarBandCtrl(HWND rebar, HWND band, int id = 0, LPCWSTR title = nullptr, BOOL newRow = FALSE,
                            int cxWidth = 0, BOOL fullWidthAlways = FALSE);
// Takes the visible bars off the edges of rect (resizing them first when
// asked); what remains is the client view's.
void PlaceFrameBars(HWND toolBar, HWND statusBar, RECT& rect, BOOL resizeBars);

template <class TBase = ATL::CWindow, class TWinTraits = ATL::CFrameWinTraits>
class CFrameWindowImplBase : public ATL::CWindowImplBaseT<TBase, TWinTraits> {
public:
    HWND m_hWndToolBar = nullptr;
    HWND m_hWndStatusBar = nullptr;
    HWND m_hWndClient = nullptr;
    HACCEL m_hAccel = nullptr;

    void UpdateBarsPosition(RECT& rect, BOOL resizeBars = TRUE)
    {
        PlaceFrameBars(m_hWndToolBar, m_hWndStatusBar, rect, resizeBars);
    }
    void UpdateLayout(BOOL resizeBars = TRUE)
    {
        RECT rect;
        this->GetClientRect(&rect);
        UpdateBarsPosition(rect, resizeBars);
        if (m_hWndClient)
            ::SetWindowPos(m_hWndClient, nullptr, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                           SWP_NOZORDER | SWP_NOACTIVATE);
    }

    // The frame's accelerators, for its message filter.
    BOOL PreTranslateMessage(MSG* pMsg)
    {
        return m_hAccel && ::TranslateAcceleratorW(this->m_hWnd, m_hAccel, pMsg);
    }

    BOOL CreateSimpleReBar(DWORD style = ATL_SIMPLE_REBAR_NOBORDER_STYLE, UINT id = ATL_IDW_TOOLBAR)
    {
        m_hWndToolBar = CreateSimpleReBarCtrl(this->m_hWnd, style, id);
        return m_hWndToolBar != nullptr;
    }
    BOOL AddSimpleReBarBand(HWND band, LPCWSTR title = nullptr, BOOL newRow = FALSE, int cxWidth = 0,
                            BOOL fullWidthAlways = FALSE)
    {
        return AddSimpleReBarBandCtrl(m_hWndToolBar, band, 0, title, newRow, cxWidth, fullWidthAlways);
    }

    BEGIN_MSG_MAP(CFrameWindowImplBase)
        MESSAGE_HANDLER(WM_SIZE, OnSize)
        MESSAGE_HANDLER(WM_SETFOCUS, OnSetFocus)
    END_MSG_MAP()

    LRESULT OnSize(UINT, WPARAM wParam, LPARAM, BOOL& bHandled)
    {
        if (wParam != SIZE_MINIMIZED) UpdateLayout();
        bHandled = FALSE;
        return 0;
    }
    LRESULT OnSetFocus(UINT, WPARAM, LPARAM, BOOL& bHandled)
    {
        if (m_hWndClient && ::IsWindowVisible(m_hWndClient)) ::SetFocus(m_hWndClient);
        bHandled = FALSE;
        return 0;
    }
};

template <class T, class TBase = ATL::CWindow, class TWinTraits = ATL::CFrameWinTraits>
class CFrameWindowImpl : public CFrameWindowImplBase<TBase, TWinTraits> {
public:
    DECLARE_FRAME_WND_CLASS(nullptr, 0)

    HWND Create(HWND parent = nullptr, const RECT* rect = nullptr, LPCWSTR name = nullptr, DWORD style = 0,
                DWORD exStyle = 0, HMENU menu = nullptr, LPVOID param = nullptr)
    {
        ATOM atom = T::GetWndClassInfo().Register(&this->m_pfnSuperWindowProc);
        return CFrameWindowImplBase<TBase, TWinTraits>::Create(parent, rect, name, T::GetWndStyle(style),
                                                              T::GetWndExStyle(exStyle),
                                                              reinterpret_cast<UINT_PTR>(menu), atom, param);
    }

    // Creates the frame with the title, menu and accelerators of its
    // resource id.
    HWND CreateEx(HWND parent = nullptr, const RECT* rect = nullptr, DWORD style = 0, DWORD exStyle = 0,
                  LPVOID param = nullptr)
    {
        HINSTANCE instance = ATL::GetModuleInstance();
        UINT id = T::GetWndClassInfo().m_uCommonResourceID;
        wchar_t title[256] = L"";
        ::LoadStringW(instance, id, title, 256);
        HMENU menu = ::LoadMenuW(instance, MAKEINTRESOURCEW(id));
        HWND hWnd = Create(parent, rect, title, style, exStyle, menu, param);
        if (!hWnd) {
            if (menu) ::DestroyMenu(menu);
            return nullptr;
        }
        this->m_hAccel = ::LoadAcceleratorsW(instance, MAKEINTRESOURCEW(id));
        return hWnd;
    }
};

// Check and enable states of command ids, applied to menus as they open and
// to the tool bars handed to UIAddToolBar when UIUpdateToolBar runs.
template <class T>
class CUpdateUI {
public:
    BOOL UISetCheck(UINT id, int check)
    {
        states_[id].check = check;
        return TRUE;
    }
    BOOL UIEnable(UINT id, BOOL enable)
    {
        states_[id].enabled = enable != FALSE;
        return TRUE;
    }
    int UIGetCheck(UINT id) const
    {
        auto it = states_.find(id);
        return it == states_.end() ? 0 : it->second.check;
    }
    BOOL UIAddToolBar(HWND toolBar)
    {
        if (!toolBar) return FALSE;
        toolBars_.push_back(toolBar);
        return TRUE;
    }
    BOOL UIUpdateToolBar()
    {
        for (HWND bar : toolBars_) {
            if (!::IsWindow(bar)) continue;
            for (const auto& entry : states_) {
                ::SendMessageW(bar, TB_CHECKBUTTON, entry.first, MAKELPARAM(entry.second.check != 0, 0));
                ::SendMessageW(bar, TB_ENABLEBUTTON, entry.first, MAKELPARAM(entry.second.enabled, 0));
            }
        }
        return TRUE;
    }

    BEGIN_MSG_MAP(CUpdateUI)
        MESSAGE_HANDLER(WM_INITMENUPOPUP, OnInitMenuPopup)
    END_MSG_MAP()

    LRESULT OnInitMenuPopup(UINT, WPARAM wParam, LPARAM, BOOL& bHandled)
    {
        HMENU menu = reinterpret_cast<HMENU>(wParam);
        for (const auto& entry : states_) {
            ::CheckMenuItem(menu, entry.first, MF_BYCOMMAND | (entry.second.check ? MF_CHECKED : MF_UNCHECKED));
            ::EnableMenuItem(menu, entry.first, MF_BYCOMMAND | (entry.second.enabled ? MF_ENABLED : MF_GRAYED));
        }
        bHandled = FALSE;
        return 0;
    }

private:
    struct State {
        int check = 0;
        bool enabled = true;
    };
    std::map<UINT, State> states_;
    std::vector<HWND> toolBars_;
};

// Drop-down tool bar buttons and tool bar combo boxes. The program's frame
// registers none of either, so this routes no message; it keeps the frame's
// map in the order of its bases.
template <class T>
class CToolBarHelper {
public:
    BEGIN_MSG_MAP(CToolBarHelper)
    END_MSG_MAP()
};

}  // namespace WTL
