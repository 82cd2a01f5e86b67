#include "WindowImpl.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#if !defined(__i386__) && !defined(__x86_64__)
#error "the window procedure stub is x86 or x86-64 code"
#endif

namespace ATL {

namespace {
HINSTANCE g_moduleInstance = nullptr;

struct Creation {
    void* stub;
    HWND* handleSlot;
};
thread_local Creation t_creation = {nullptr, nullptr};

HANDLE ExecutableHeap()
{
    static HANDLE heap = ::HeapCreate(HEAP_CREATE_ENABLE_EXECUTE, 0, 0);
    return heap;
}

bool IsReflectable(UINT uMsg)
{
    switch (uMsg) {
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_PARENTNOTIFY:
    case WM_DRAWITEM:
    case WM_MEASUREITEM:
    case WM_COMPAREITEM:
    case WM_DELETEITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_HSCROLL:
    case WM_VSCROLL:
        return true;
    default:
        return uMsg >= WM_CTLCOLORMSGBOX && uMsg <= WM_CTLCOLORSTATIC;
    }
}
}  // namespace

void SetModuleInstance(HINSTANCE instance) { g_moduleInstance = instance; }

HINSTANCE GetModuleInstance()
{
    return g_moduleInstance ? g_moduleInstance : ::GetModuleHandleW(nullptr);
}

RECT CWindow::rcDefault = {CW_USEDEFAULT, CW_USEDEFAULT, 0, 0};

BOOL CWindow::CenterWindow(HWND center)
{
    DWORD style = GetStyle();
    if (!center) center = (style & WS_CHILD) ? ::GetParent(m_hWnd) : ::GetWindow(m_hWnd, GW_OWNER);
    RECT self, area, reference;
    ::GetWindowRect(m_hWnd, &self);
    if (style & WS_CHILD) {
        HWND parent = ::GetParent(m_hWnd);
        ::GetClientRect(parent, &area);
        if (center) {
            ::GetClientRect(center, &reference);
            ::MapWindowPoints(center, parent, reinterpret_cast<POINT*>(&reference), 2);
        } else {
            reference = area;
        }
    } else {
        if (center && (!::IsWindowVisible(center) || ::IsIconic(center))) center = nullptr;
        MONITORINFO info = {};
        info.cbSize = sizeof(info);
        ::GetMonitorInfoW(::MonitorFromWindow(center ? center : m_hWnd, MONITOR_DEFAULTTONEAREST), &info);
        area = info.rcWork;
        if (center)
            ::GetWindowRect(center, &reference);
        else
            reference = area;
    }
    int width = self.right - self.left;
    int height = self.bottom - self.top;
    int x = (reference.left + reference.right) / 2 - width / 2;
    int y = (reference.top + reference.bottom) / 2 - height / 2;
    if (x + width > area.right) x = area.right - width;
    if (x < area.left) x = area.left;
    if (y + height > area.bottom) y = area.bottom - height;
    if (y < area.top) y = area.top;
    // A child's coordinates are already its parent's client coordinates.
    return ::SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

namespace detail {

CWndProcThunk::~CWndProcThunk()
{
    if (code_) ::HeapFree(ExecutableHeap(), 0, code_);
}

bool CWndProcThunk::Init(void* proc, void* object)
{
    if (!code_) {
        HANDLE heap = ExecutableHeap();
        if (!heap) return false;
        code_ = static_cast<unsigned char*>(::HeapAlloc(heap, 0, 32));
        if (!code_) return false;
    }
#if defined(__x86_64__)
    // mov rcx, object   (the first argument, the window handle, travels in rcx)
    // mov rax, proc
    // jmp rax
    const uint64_t objectBits = reinterpret_cast<uintptr_t>(object);
    const uint64_t procBits = reinterpret_cast<uintptr_t>(proc);
    code_[0] = 0x48;
    code_[1] = 0xB9;
    std::memcpy(code_ + 2, &objectBits, 8);
    code_[10] = 0x48;
    code_[11] = 0xB8;
    std::memcpy(code_ + 12, &procBits, 8);
    code_[20] = 0xFF;
    code_[21] = 0xE0;
    const size_t size = 22;
#else
    // mov dword ptr [esp+4], object   (the first argument, the window handle)
    // jmp proc
    const uint32_t objectBits = reinterpret_cast<uint32_t>(object);
    const int32_t jump = static_cast<int32_t>(reinterpret_cast<intptr_t>(proc) - reinterpret_cast<intptr_t>(code_ + 13));
    code_[0] = 0xC7;
    code_[1] = 0x44;
    code_[2] = 0x24;
    code_[3] = 0x04;
    std::memcpy(code_ + 4, &objectBits, 4);
    code_[8] = 0xE9;
    std::memcpy(code_ + 9, &jump, 4);
    const size_t size = 13;
#endif
    ::FlushInstructionCache(::GetCurrentProcess(), code_, size);
    return true;
}

void SetCreatingObject(void* stub, HWND* handleSlot) { t_creation = {stub, handleSlot}; }

LRESULT CALLBACK StartWindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    Creation c = t_creation;
    t_creation = {nullptr, nullptr};
    if (!c.stub) return ::DefWindowProcW(hWnd, uMsg, wParam, lParam);
    *c.handleSlot = hWnd;
    WNDPROC proc = reinterpret_cast<WNDPROC>(c.stub);
    ::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(proc));
    return proc(hWnd, uMsg, wParam, lParam);
}

INT_PTR CALLBACK StartDialogProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    Creation c = t_creation;
    t_creation = {nullptr, nullptr};
    if (!c.stub) return FALSE;
    *c.handleSlot = hWnd;
    DLGPROC proc = reinterpret_cast<DLGPROC>(c.stub);
    ::SetWindowLongPtrW(hWnd, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(proc));
    return proc(hWnd, uMsg, wParam, lParam);
}

LRESULT ReflectToChild(HWND self, UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled)
{
    HWND child = nullptr;
    switch (uMsg) {
    case WM_COMMAND:
        child = reinterpret_cast<HWND>(lParam);
        break;
    case WM_NOTIFY:
        child = reinterpret_cast<LPNMHDR>(lParam)->hwndFrom;
        break;
    case WM_PARENTNOTIFY:
        if (LOWORD(wParam) == WM_CREATE || LOWORD(wParam) == WM_DESTROY) child = reinterpret_cast<HWND>(lParam);
        break;
    case WM_DRAWITEM:
        if (wParam) child = reinterpret_cast<LPDRAWITEMSTRUCT>(lParam)->hwndItem;
        break;
    case WM_MEASUREITEM:
        if (wParam) child = ::GetDlgItem(self, static_cast<int>(reinterpret_cast<LPMEASUREITEMSTRUCT>(lParam)->CtlID));
        break;
    case WM_COMPAREITEM:
        if (wParam) child = reinterpret_cast<LPCOMPAREITEMSTRUCT>(lParam)->hwndItem;
        break;
    case WM_DELETEITEM:
        if (wParam) child = reinterpret_cast<LPDELETEITEMSTRUCT>(lParam)->hwndItem;
        break;
    default:
        // Scroll bars, item-key messages and colour requests name the control in lParam.
        if (IsReflectable(uMsg)) child = reinterpret_cast<HWND>(lParam);
        break;
    }
    if (!child || !::IsWindow(child)) {
        bHandled = FALSE;
        return 1;
    }
    return ::SendMessageW(child, OCM__BASE + uMsg, wParam, lParam);
}

LRESULT ForwardToParent(HWND self, UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled)
{
    if (!IsReflectable(uMsg)) {
        bHandled = FALSE;
        return 0;
    }
    return ::SendMessageW(::GetParent(self), uMsg, wParam, lParam);
}

BOOL DefaultReflection(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult)
{
    if (uMsg < OCM__BASE || !IsReflectable(uMsg - OCM__BASE)) return FALSE;
    lResult = ::DefWindowProcW(hWnd, uMsg - OCM__BASE, wParam, lParam);
    return TRUE;
}

INT_PTR DialogAnswer(HWND hWnd, UINT uMsg, LRESULT lResult)
{
    switch (uMsg) {
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_INITDIALOG:
    case WM_QUERYDRAGICON:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
        return static_cast<INT_PTR>(lResult);
    default:
        if (::IsWindow(hWnd)) ::SetWindowLongPtrW(hWnd, DWLP_MSGRESULT, lResult);
        return TRUE;
    }
}

}  // namespace detail

ATOM CWndClassInfo::Register(WNDPROC* superProc)
{
    if (m_atom == 0) {
        HINSTANCE instance = GetModuleInstance();
        WNDCLASSEXW wc = m_wc;
        if (m_lpszOrigName) {
            WNDCLASSEXW original = {};
            original.cbSize = sizeof(original);
            if (!::GetClassInfoExW(nullptr, m_lpszOrigName, &original) &&
                !::GetClassInfoExW(instance, m_lpszOrigName, &original))
                return 0;
            m_pfnSuperWindowProc = original.lpfnWndProc;
            wc = original;
            wc.cbSize = sizeof(wc);
            wc.style &= ~CS_GLOBALCLASS;
            wc.lpfnWndProc = detail::StartWindowProc;
            wc.lpszClassName = m_wc.lpszClassName;
        } else {
            m_pfnSuperWindowProc = ::DefWindowProcW;
            if (!wc.hCursor && m_lpszCursorID)
                wc.hCursor = ::LoadCursorW(m_bSystemCursor ? nullptr : instance, m_lpszCursorID);
        }
        wc.hInstance = instance;
        if (!wc.lpszClassName) {
            std::swprintf(m_szAutoName, sizeof(m_szAutoName) / sizeof(m_szAutoName[0]), L"Pelvane:%p",
                          static_cast<void*>(this));
            wc.lpszClassName = m_szAutoName;
        }
        m_atom = ::RegisterClassExW(&wc);
    }
    *superProc = m_pfnSuperWindowProc;
    return m_atom;
}

}  // namespace ATL
