#include "Frame.h"

namespace WTL {

ATOM CFrameWndClassInfo::Register(WNDPROC* superProc)
{
    if (m_atom == 0 && m_uCommonResourceID != 0) {
        HINSTANCE instance = ATL::GetModuleInstance();
        LPCWSTR name = MAKEINTRESOURCEW(m_uCommonResourceID);
        m_wc.hIcon = static_cast<HICON>(::LoadImageW(instance, name, IMAGE_ICON, ::GetSystemMetrics(SM_CXICON),
                                                     ::GetSystemMetrics(SM_CYICON), LR_DEFAULTCOLOR));
        m_wc.hIconSm = static_cast<HICON>(::LoadImageW(instance, name, IMAGE_ICON, ::GetSystemMetrics(SM_CXSMICON),
                                                       ::GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
    }
    return ATL::CWndClassInfo::Register(superProc);
}

HWND CreateSimpleReBarCtrl(HWND parent, DWORD style, UINT id)
{
    HWND rebar = ::CreateWindowExW(WS_EX_TOOLWINDOW, REBARCLASSNAMEW, nullptr, style, 0, 0, 100, 100, parent,
                                   reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), ATL::GetModuleInstance(),
                                   nullptr);
    if (!rebar) return nullptr;
    REBARINFO info = {};
    info.cbSize = sizeof(info);
    ::SendMessageW(rebar, RB_SETBARINFO, 0, reinterpret_cast<LPARAM>(&info));
    return rebar;
}

BOOL AddSimpleReBarBandCtrl(HWND rebar, HWND band, int id, LPCWSTR title, BOOL newRow, int cxWidth,
                            BOOL fullWidthAlways)
{
    if (!rebar || !band) return FALSE;
    // A tool bar band is as high as its buttons and, at least, as wide as
    // they are unless it is to take the whole row.
    RECT bounds = {};
    int count = static_cast<int>(::SendMessageW(band, TB_BUTTONCOUNT, 0, 0));
    if (count > 0) {
        RECT last = {};
        ::SendMessageW(band, TB_GETITEMRECT, count - 1, reinterpret_cast<LPARAM>(&last));
        bounds.right = last.right;
        bounds.bottom = last.bottom;
    } else {
        ::GetWindowRect(band, &bounds);
        ::OffsetRect(&bounds, -bounds.left, -bounds.top);
    }
    REBARBANDINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = RBBIM_CHILD | RBBIM_CHILDSIZE | RBBIM_STYLE | RBBIM_ID | RBBIM_SIZE | (title ? RBBIM_TEXT : 0);
    info.fStyle = RBBS_CHILDEDGE | RBBS_NOGRIPPER | (newRow ? RBBS_BREAK : 0);
    info.lpText = const_cast<LPWSTR>(title);
    info.hwndChild = band;
    info.wID = id ? static_cast<UINT>(id)
                  : static_cast<UINT>(ATL_IDW_TOOLBAR + ::SendMessageW(rebar, RB_GETBANDCOUNT, 0, 0));
    info.cxMinChild = fullWidthAlways ? bounds.right : 0;
    info.cyMinChild = bounds.bottom;
    info.cx = cxWidth ? cxWidth : bounds.right;
    return ::SendMessageW(rebar, RB_INSERTBANDW, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&info)) != 0;
}

void PlaceFrameBars(HWND toolBar, HWND statusBar, RECT& rect, BOOL resizeBars)
{
    if (toolBar && (::GetWindowLongW(toolBar, GWL_STYLE) & WS_VISIBLE)) {
        if (resizeBars) ::SendMessageW(toolBar, WM_SIZE, 0, 0);
        RECT bar;
        ::GetWindowRect(toolBar, &bar);
        rect.top += bar.bottom - bar.top;
    }
    if (statusBar && (::GetWindowLongW(statusBar, GWL_STYLE) & WS_VISIBLE)) {
        if (resizeBars) ::SendMessageW(statusBar, WM_SIZE, 0, 0);
        RECT bar;
        ::GetWindowRect(statusBar, &bar);
        rect.bottom -= bar.bottom - bar.top;
    }
}

}  // namespace WTL
