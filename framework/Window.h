// A thin, copyable wrapper of a window handle (it owns nothing), and the
// style traits that window classes are created with.
#pragma once

#include <windows.h>

#include <string>

namespace ATL {

// The module whose resources and window classes the framework uses: the one
// given to CAppModule::Init, else the executable.
HINSTANCE GetModuleInstance();

class CWindow {
public:
    HWND m_hWnd;

    // Where a window goes when the caller gives no rectangle.
    static RECT rcDefault;

    CWindow(HWND hWnd = nullptr) : m_hWnd(hWnd) {}
    CWindow& operator=(HWND hWnd)
    {
        m_hWnd = hWnd;
        return *this;
    }
    operator HWND() const { return m_hWnd; }

    void Attach(HWND hWnd) { m_hWnd = hWnd; }
    HWND Detach()
    {
        HWND h = m_hWnd;
        m_hWnd = nullptr;
        return h;
    }

    HWND Create(LPCWSTR className, HWND parent, const RECT* rect = nullptr, LPCWSTR name = nullptr,
                DWORD style = 0, DWORD exStyle = 0, UINT id = 0, LPVOID param = nullptr)
    {
        const RECT& r = rect ? *rect : rcDefault;
        m_hWnd = ::CreateWindowExW(exStyle, className, name, style, r.left, r.top, r.right - r.left,
                                   r.bottom - r.top, parent, reinterpret_cast<HMENU>(UINT_PTR(id)),
                                   GetModuleInstance(), param);
        return m_hWnd;
    }
    BOOL DestroyWindow()
    {
        if (!::DestroyWindow(m_hWnd)) return FALSE;
        m_hWnd = nullptr;
        return TRUE;
    }

    BOOL IsWindow() const { return ::IsWindow(m_hWnd); }
    BOOL IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }
    BOOL IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd); }
    BOOL IsIconic() const { return ::IsIconic(m_hWnd); }
    BOOL EnableWindow(BOOL enable = TRUE) { return ::EnableWindow(m_hWnd, enable); }
    BOOL ShowWindow(int cmd) { return ::ShowWindow(m_hWnd, cmd); }

    LRESULT SendMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) const
    {
        return ::SendMessageW(m_hWnd, msg, wParam, lParam);
    }
    BOOL PostMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) const
    {
        return ::PostMessageW(m_hWnd, msg, wParam, lParam);
    }

    DWORD GetStyle() const { return static_cast<DWORD>(::GetWindowLongW(m_hWnd, GWL_STYLE)); }
    DWORD GetExStyle() const { return static_cast<DWORD>(::GetWindowLongW(m_hWnd, GWL_EXSTYLE)); }
    // Changes style bits; with flags, also lets the frame take the change.
    BOOL ModifyStyle(DWORD remove, DWORD add, UINT flags = 0) { return ModifyLong(GWL_STYLE, remove, add, flags); }
    BOOL ModifyStyleEx(DWORD remove, DWORD add, UINT flags = 0) { return ModifyLong(GWL_EXSTYLE, remove, add, flags); }

    BOOL SetWindowText(LPCWSTR text) { return ::SetWindowTextW(m_hWnd, text); }
    int GetWindowTextLength() const { return ::GetWindowTextLengthW(m_hWnd); }
    int GetWindowText(LPWSTR buffer, int count) const { return ::GetWindowTextW(m_hWnd, buffer, count); }
    std::wstring GetWindowText() const
    {
        std::wstring text(static_cast<size_t>(GetWindowTextLength()) + 1, L'\0');
        text.resize(static_cast<size_t>(::GetWindowTextW(m_hWnd, &text[0], static_cast<int>(text.size()))));
        return text;
    }

    void SetFont(HFONT font, BOOL redraw = TRUE) { SendMessage(WM_SETFONT, WPARAM(font), MAKELPARAM(redraw, 0)); }
    HFONT GetFont() const { return reinterpret_cast<HFONT>(SendMessage(WM_GETFONT)); }
    void SetRedraw(BOOL redraw = TRUE) { SendMessage(WM_SETREDRAW, redraw); }

    HWND GetParent() const { return ::GetParent(m_hWnd); }
    HWND SetParent(HWND parent) { return ::SetParent(m_hWnd, parent); }
    HWND GetTopLevelWindow() const { return ::GetAncestor(m_hWnd, GA_ROOT); }
    HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
    int GetDlgCtrlID() const { return ::GetDlgCtrlID(m_hWnd); }

    BOOL GetClientRect(LPRECT rect) const { return ::GetClientRect(m_hWnd, rect); }
    BOOL GetWindowRect(LPRECT rect) const { return ::GetWindowRect(m_hWnd, rect); }
    BOOL ClientToScreen(LPPOINT p) const { return ::ClientToScreen(m_hWnd, p); }
    BOOL ClientToScreen(LPRECT r) const
    {
        return ::ClientToScreen(m_hWnd, reinterpret_cast<LPPOINT>(r)) &&
               ::ClientToScreen(m_hWnd, reinterpret_cast<LPPOINT>(r) + 1);
    }
    BOOL ScreenToClient(LPPOINT p) const { return ::ScreenToClient(m_hWnd, p); }
    BOOL ScreenToClient(LPRECT r) const
    {
        return ::ScreenToClient(m_hWnd, reinterpret_cast<LPPOINT>(r)) &&
               ::ScreenToClient(m_hWnd, reinterpret_cast<LPPOINT>(r) + 1);
    }
    BOOL MoveWindow(int x, int y, int width, int height, BOOL repaint = TRUE)
    {
        return ::MoveWindow(m_hWnd, x, y, width, height, repaint);
    }
    BOOL MoveWindow(const RECT* r, BOOL repaint = TRUE)
    {
        return ::MoveWindow(m_hWnd, r->left, r->top, r->right - r->left, r->bottom - r->top, repaint);
    }
    BOOL SetWindowPos(HWND after, int x, int y, int cx, int cy, UINT flags)
    {
        return ::SetWindowPos(m_hWnd, after, x, y, cx, cy, flags);
    }
    BOOL SetWindowPos(HWND after, const RECT* r, UINT flags)
    {
        return ::SetWindowPos(m_hWnd, after, r->left, r->top, r->right - r->left, r->bottom - r->top, flags);
    }
    BOOL BringWindowToTop() { return ::BringWindowToTop(m_hWnd); }
    int SetWindowRgn(HRGN region, BOOL redraw = FALSE) { return ::SetWindowRgn(m_hWnd, region, redraw); }

    // Centres over the owner (or the parent, or the screen's work area) and
    // keeps the window inside the work area of the monitor it lands on.
    BOOL CenterWindow(HWND center = nullptr);

    BOOL Invalidate(BOOL erase = TRUE) { return ::InvalidateRect(m_hWnd, nullptr, erase); }
    BOOL InvalidateRect(const RECT* r, BOOL erase = TRUE) { return ::InvalidateRect(m_hWnd, r, erase); }
    BOOL UpdateWindow() { return ::UpdateWindow(m_hWnd); }
    BOOL RedrawWindow(const RECT* r = nullptr, HRGN rgn = nullptr,
                      UINT flags = RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE)
    {
        return ::RedrawWindow(m_hWnd, r, rgn, flags);
    }
    HDC GetDC() { return ::GetDC(m_hWnd); }
    HDC GetWindowDC() { return ::GetWindowDC(m_hWnd); }
    int ReleaseDC(HDC dc) { return ::ReleaseDC(m_hWnd, dc); }

    UINT_PTR SetTimer(UINT_PTR id, UINT elapse, TIMERPROC proc = nullptr)
    {
        return ::SetTimer(m_hWnd, id, elapse, proc);
    }
    BOOL KillTimer(UINT_PTR id) { return ::KillTimer(m_hWnd, id); }

    HWND SetFocus() { return ::SetFocus(m_hWnd); }
    HWND SetCapture() { return ::SetCapture(m_hWnd); }
    BOOL SetForegroundWindow() { return ::SetForegroundWindow(m_hWnd); }
    BOOL FlashWindow(BOOL invert) { return ::FlashWindow(m_hWnd, invert); }

    HMENU GetMenu() const { return ::GetMenu(m_hWnd); }
    BOOL SetMenu(HMENU menu) { return ::SetMenu(m_hWnd, menu); }
    HICON SetIcon(HICON icon, BOOL big = TRUE)
    {
        return reinterpret_cast<HICON>(SendMessage(WM_SETICON, big ? ICON_BIG : ICON_SMALL, LPARAM(icon)));
    }

    int MessageBox(LPCWSTR text, LPCWSTR caption = nullptr, UINT type = MB_OK)
    {
        return ::MessageBoxW(m_hWnd, text, caption, type);
    }

    // Dialog item helpers.
    BOOL SetDlgItemText(int id, LPCWSTR text) { return ::SetDlgItemTextW(m_hWnd, id, text); }
    UINT IsDlgButtonChecked(int id) const { return ::IsDlgButtonChecked(m_hWnd, id); }
    BOOL CheckDlgButton(int id, UINT check) { return ::CheckDlgButton(m_hWnd, id, check); }

private:
    BOOL ModifyLong(int index, DWORD remove, DWORD add, UINT flags)
    {
        DWORD old = static_cast<DWORD>(::GetWindowLongW(m_hWnd, index));
        DWORD value = (old & ~remove) | add;
        if (value == old) return FALSE;
        ::SetWindowLongW(m_hWnd, index, static_cast<LONG>(value));
        if (flags) ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | flags);
        return TRUE;
    }
};

// The styles a window class is created with when Create is given none.
template <DWORD t_dwStyle = 0, DWORD t_dwExStyle = 0>
class CWinTraits {
public:
    static DWORD GetWndStyle(DWORD style) { return style == 0 ? t_dwStyle : style; }
    static DWORD GetWndExStyle(DWORD exStyle) { return exStyle == 0 ? t_dwExStyle : exStyle; }
};

typedef CWinTraits<0, 0> CNullTraits;
typedef CWinTraits<WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, 0> CControlWinTraits;
typedef CWinTraits<WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, WS_EX_APPWINDOW | WS_EX_WINDOWEDGE>
    CFrameWinTraits;

}  // namespace ATL
