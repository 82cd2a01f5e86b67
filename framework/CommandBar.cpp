#include "CommandBar.h"

#include <cwctype>
#include <string>

namespace WTL {

namespace {
// The bar whose popup is open on this thread, for the menu hook.
thread_local CCommandBarCtrl* t_tracking = nullptr;
thread_local HHOOK t_hook = nullptr;
}  // namespace

CCommandBarCtrl::CCommandBarCtrl() : menu_(nullptr), loop_(nullptr), openIndex_(-1), nextIndex_(-1) {}

CCommandBarCtrl::~CCommandBarCtrl()
{
    if (loop_) loop_->RemoveMessageFilter(this);
    if (menu_) ::DestroyMenu(menu_);
}

HWND CCommandBarCtrl::Create(HWND parent, const RECT* rect, LPCWSTR name, DWORD style, DWORD exStyle, UINT id)
{
    return ATL::CWindowImpl<CCommandBarCtrl, ATL::CWindow, ATL::CControlWinTraits>::Create(
        parent, rect, name, style | TBSTYLE_FLAT | TBSTYLE_LIST | TBSTYLE_TRANSPARENT, exStyle, id);
}

LRESULT CCommandBarCtrl::OnCreate(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL&)
{
    LRESULT result = DefWindowProc(uMsg, wParam, lParam);
    if (result == -1) return result;
    SendMessage(TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON));
    SendMessage(TB_SETBITMAPSIZE, 0, MAKELPARAM(0, 0));
    // Keyboard access needs the thread's message loop, when it has one.
    loop_ = ActiveAppModuleLoop();
    if (loop_) loop_->AddMessageFilter(this);
    return result;
}

LRESULT CCommandBarCtrl::OnDestroy(UINT, WPARAM, LPARAM, BOOL& bHandled)
{
    if (loop_) loop_->RemoveMessageFilter(this);
    loop_ = nullptr;
    bHandled = FALSE;
    return 0;
}

BOOL CCommandBarCtrl::AttachMenu(HMENU menu)
{
    if (!m_hWnd || !::IsMenu(menu)) return FALSE;
    if (menu_ && menu_ != menu) ::DestroyMenu(menu_);
    menu_ = menu;
    SetRedraw(FALSE);
    while (SendMessage(TB_BUTTONCOUNT) > 0) SendMessage(TB_DELETEBUTTON, 0);
    int count = ::GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        wchar_t text[128] = L"";
        ::GetMenuStringW(menu, static_cast<UINT>(i), text, 128, MF_BYPOSITION);
        TBBUTTON button = {};
        button.iBitmap = I_IMAGENONE;
        button.idCommand = i + 1;
        button.fsState = TBSTATE_ENABLED;
        button.fsStyle = BTNS_BUTTON | BTNS_AUTOSIZE | BTNS_SHOWTEXT;
        button.iString = reinterpret_cast<INT_PTR>(text);
        SendMessage(TB_ADDBUTTONSW, 1, reinterpret_cast<LPARAM>(&button));
    }
    SendMessage(TB_AUTOSIZE);
    SetRedraw(TRUE);
    Invalidate();
    return TRUE;
}

int CCommandBarCtrl::ButtonAt(POINT screenPoint) const
{
    POINT p = screenPoint;
    ::ScreenToClient(m_hWnd, &p);
    int index = static_cast<int>(SendMessage(TB_HITTEST, 0, reinterpret_cast<LPARAM>(&p)));
    return index >= 0 && index < static_cast<int>(SendMessage(TB_BUTTONCOUNT)) ? index : -1;
}

int CCommandBarCtrl::FindMnemonic(wchar_t key) const
{
    int count = menu_ ? ::GetMenuItemCount(menu_) : 0;
    for (int i = 0; i < count; ++i) {
        wchar_t text[128] = L"";
        ::GetMenuStringW(menu_, static_cast<UINT>(i), text, 128, MF_BYPOSITION);
        for (const wchar_t* c = text; *c; ++c) {
            if (*c != L'&') continue;
            if (c[1] == L'&') {
                ++c;
                continue;
            }
            if (std::towupper(c[1]) == std::towupper(key)) return i;
            break;
        }
    }
    return -1;
}

LRESULT CCommandBarCtrl::OnLButtonDown(UINT, WPARAM, LPARAM lParam, BOOL&)
{
    POINT p = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    ClientToScreen(&p);
    int index = ButtonAt(p);
    if (index >= 0) TrackPopup(index);
    return 0;
}

void CCommandBarCtrl::TrackPopup(int index)
{
    HWND owner = GetTopLevelWindow();
    nextIndex_ = index;
    while (nextIndex_ >= 0 && menu_) {
        openIndex_ = nextIndex_;
        nextIndex_ = -1;
        HMENU popup = ::GetSubMenu(menu_, openIndex_);
        if (!popup) break;
        RECT button = {};
        SendMessage(TB_GETITEMRECT, openIndex_, reinterpret_cast<LPARAM>(&button));
        ::MapWindowPoints(m_hWnd, nullptr, reinterpret_cast<POINT*>(&button), 2);
        SendMessage(TB_PRESSBUTTON, openIndex_ + 1, MAKELPARAM(TRUE, 0));
        UpdateWindow();

        TPMPARAMS params = {sizeof(params), button};
        t_tracking = this;
        t_hook = ::SetWindowsHookExW(WH_MSGFILTER, MenuHook, nullptr, ::GetCurrentThreadId());
        ::TrackPopupMenuEx(popup, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_LEFTBUTTON | TPM_VERTICAL, button.left,
                           button.bottom, owner, &params);
        if (t_hook) ::UnhookWindowsHookEx(t_hook);
        t_hook = nullptr;
        t_tracking = nullptr;
        if (::IsWindow(m_hWnd)) SendMessage(TB_PRESSBUTTON, openIndex_ + 1, MAKELPARAM(FALSE, 0));
        openIndex_ = -1;
    }
}

LRESULT CALLBACK CCommandBarCtrl::MenuHook(int code, WPARAM wParam, LPARAM lParam)
{
    CCommandBarCtrl* bar = t_tracking;
    MSG* msg = reinterpret_cast<MSG*>(lParam);
    if (code == MSGF_MENU && bar && msg) {
        int count = static_cast<int>(bar->SendMessage(TB_BUTTONCOUNT));
        int next = -1;
        if (msg->message == WM_MOUSEMOVE) {
            int index = bar->ButtonAt(msg->pt);
            if (index >= 0 && index != bar->openIndex_) next = index;
        } else if (msg->message == WM_KEYDOWN && count > 0 && (msg->wParam == VK_LEFT || msg->wParam == VK_RIGHT)) {
            next = (bar->openIndex_ + (msg->wParam == VK_RIGHT ? 1 : count - 1)) % count;
        }
        if (next >= 0) {
            bar->nextIndex_ = next;
            ::EndMenu();
            return 1;
        }
    }
    return ::CallNextHookEx(t_hook, code, wParam, lParam);
}

BOOL CCommandBarCtrl::PreTranslateMessage(MSG* pMsg)
{
    if (!m_hWnd || !menu_ || !pMsg->hwnd) return FALSE;
    if (::GetAncestor(pMsg->hwnd, GA_ROOT) != GetTopLevelWindow()) return FALSE;
    int index = -1;
    if (pMsg->message == WM_SYSCHAR) index = FindMnemonic(static_cast<wchar_t>(pMsg->wParam));
    else if (pMsg->message == WM_SYSKEYDOWN && pMsg->wParam == VK_F10 && ::GetMenuItemCount(menu_) > 0) index = 0;
    if (index < 0) return FALSE;
    TrackPopup(index);
    return TRUE;
}

}  // namespace WTL
