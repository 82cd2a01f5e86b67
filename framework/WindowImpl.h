// Windows implemented by a C++ object: the object's message map receives
// every message of its window. Each object gets a small executable stub as
// its window procedure, which puts the object in place of the window handle,
// so several objects can subclass one window in layers.
#pragma once

#include "MessageMap.h"
#include "Window.h"

namespace ATL {
namespace detail {

class CWndProcThunk {
public:
    CWndProcThunk() : code_(nullptr) {}
    ~CWndProcThunk();
    CWndProcThunk(const CWndProcThunk&) = delete;
    CWndProcThunk& operator=(const CWndProcThunk&) = delete;

    // Builds the stub that calls proc with object as its first argument;
    // false when no executable memory could be had.
    bool Init(void* proc, void* object);
    WNDPROC GetWndProc() const { return reinterpret_cast<WNDPROC>(code_); }
    DLGPROC GetDlgProc() const { return reinterpret_cast<DLGPROC>(code_); }

private:
    unsigned char* code_;
};

// A window being created takes its object from here at its first message.
void SetCreatingObject(void* stub, HWND* handleSlot);
LRESULT CALLBACK StartWindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK StartDialogProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);

LRESULT ReflectToChild(HWND self, UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
LRESULT ForwardToParent(HWND self, UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
BOOL DefaultReflection(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult);
// What a dialog procedure returns for a handled message: some messages
// answer directly, the rest through DWLP_MSGRESULT.
INT_PTR DialogAnswer(HWND hWnd, UINT uMsg, LRESULT lResult);

}  // namespace detail

// A window class registered on first use. With an original class name it is
// a superclass: the original's attributes and procedure under a new name.
struct CWndClassInfo {
    WNDCLASSEXW m_wc;
    LPCWSTR m_lpszOrigName;
    WNDPROC m_pfnSuperWindowProc;
    LPCWSTR m_lpszCursorID;
    BOOL m_bSystemCursor;
    ATOM m_atom;
    wchar_t m_szAutoName[24];

    // Registers once; hands back the procedure that unhandled messages go to.
    ATOM Register(WNDPROC* superProc);
};

// How deeply the handling of one window object's messages is nested on its
// thread's stack: a handler that runs a modal loop (a box, a file dialog)
// has the object's further messages handled inside that loop. While any is
// on the stack the object must not be freed, since each returns into it.
class CMessageNesting {
public:
    int GetMessageDepth() const { return m_nestDepth; }
    bool IsHandlingMessage() const { return m_nestDepth > 0; }

protected:
    // The object is released only when the outermost message returns after
    // WM_NCDESTROY.
    int m_nestDepth = 0;
    bool m_destroyed = false;
};

template <class TBase = CWindow>
class CWindowImplRoot : public TBase, public CMessageMap, public CMessageNesting {
public:
    virtual ~CWindowImplRoot() {}

    LRESULT ReflectNotifications(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled)
    {
        return detail::ReflectToChild(this->m_hWnd, uMsg, wParam, lParam, bHandled);
    }
    LRESULT ForwardNotifications(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled)
    {
        return detail::ForwardToParent(this->m_hWnd, uMsg, wParam, lParam, bHandled);
    }
    static BOOL DefaultReflectionHandler(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult)
    {
        return detail::DefaultReflection(hWnd, uMsg, wParam, lParam, lResult);
    }
};

template <class TBase = CWindow, class TWinTraits = CControlWinTraits>
class CWindowImplBaseT : public CWindowImplRoot<TBase> {
public:
    WNDPROC m_pfnSuperWindowProc = ::DefWindowProcW;

    ~CWindowImplBaseT() override
    {
        // The window may outlive its object: give it back its own procedure
        // so no message reaches the freed stub.
        if (this->m_hWnd && ::IsWindow(this->m_hWnd) && CurrentProcIsOurs(this->m_hWnd))
            ::SetWindowLongPtrW(this->m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuperWindowProc));
    }

    virtual WNDPROC GetWindowProc() { return WindowProc; }
    // Called after the last message of the window; the object may delete
    // itself here.
    virtual void OnFinalMessage(HWND /*hWnd*/) {}

    static DWORD GetWndStyle(DWORD style) { return TWinTraits::GetWndStyle(style); }
    static DWORD GetWndExStyle(DWORD exStyle) { return TWinTraits::GetWndExStyle(exStyle); }

    LRESULT DefWindowProc(UINT uMsg, WPARAM wParam, LPARAM lParam)
    {
        return ::CallWindowProcW(m_pfnSuperWindowProc, this->m_hWnd, uMsg, wParam, lParam);
    }

    BOOL SubclassWindow(HWND hWnd)
    {
        if (this->m_hWnd || !::IsWindow(hWnd)) return FALSE;
        if (!m_thunk.Init(reinterpret_cast<void*>(GetWindowProc()), this)) return FALSE;
        LONG_PTR old = ::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_thunk.GetWndProc()));
        if (!old) return FALSE;
        m_pfnSuperWindowProc = reinterpret_cast<WNDPROC>(old);
        this->m_hWnd = hWnd;
        return TRUE;
    }

    // Gives the window back its previous procedure. Refused while another
    // procedure has been put on top of ours, unless forced.
    HWND UnsubclassWindow(BOOL force = FALSE)
    {
        HWND hWnd = this->m_hWnd;
        if (!hWnd) return nullptr;
        if (!CurrentProcIsOurs(hWnd) && !force) return nullptr;
        ::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuperWindowProc));
        m_pfnSuperWindowProc = ::DefWindowProcW;
        this->m_hWnd = nullptr;
        return hWnd;
    }

    HWND Create(HWND parent, const RECT* rect, LPCWSTR name, DWORD style, DWORD exStyle, UINT_PTR menuOrId,
                ATOM atom, LPVOID param)
    {
        if (atom == 0 || this->m_hWnd) return nullptr;
        if (!m_thunk.Init(reinterpret_cast<void*>(GetWindowProc()), this)) {
            ::SetLastError(ERROR_OUTOFMEMORY);
            return nullptr;
        }
        const RECT& r = rect ? *rect : CWindow::rcDefault;
        detail::SetCreatingObject(reinterpret_cast<void*>(m_thunk.GetWndProc()), &this->m_hWnd);
        HWND hWnd = ::CreateWindowExW(exStyle, MAKEINTATOM(atom), name, style, r.left, r.top, r.right - r.left,
                                      r.bottom - r.top, parent, reinterpret_cast<HMENU>(menuOrId),
                                      GetModuleInstance(), param);
        detail::SetCreatingObject(nullptr, nullptr);
        return hWnd;
    }

    static LRESULT CALLBACK WindowProc(HWND hThis, UINT uMsg, WPARAM wParam, LPARAM lParam)
    {
        CWindowImplBaseT* self = reinterpret_cast<CWindowImplBaseT*>(hThis);
        HWND hWnd = self->m_hWnd;
        ++self->m_nestDepth;
        LRESULT lResult = 0;
        BOOL handled = self->ProcessWindowMessage(hWnd, uMsg, wParam, lParam, lResult, 0);
        if (!handled) lResult = self->DefWindowProc(uMsg, wParam, lParam);
        --self->m_nestDepth;
        if (uMsg == WM_NCDESTROY) self->m_destroyed = true;
        if (self->m_destroyed && self->m_nestDepth == 0) {
            self->m_destroyed = false;
            if (self->CurrentProcIsOurs(hWnd))
                ::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(self->m_pfnSuperWindowProc));
            self->m_pfnSuperWindowProc = ::DefWindowProcW;
            self->m_hWnd = nullptr;
            self->OnFinalMessage(hWnd);
        }
        return lResult;
    }

private:
    bool CurrentProcIsOurs(HWND hWnd) const
    {
        return reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(hWnd, GWLP_WNDPROC)) == m_thunk.GetWndProc();
    }

    detail::CWndProcThunk m_thunk;
};

// Window class declarations, placed inside the class body. The background
// is a system colour index, as the class's brush is that colour plus one.
#define DECLARE_WND_CLASS_EX(WndClassName, classStyle, bkgnd)                                      \
    static ATL::CWndClassInfo& GetWndClassInfo()                                                   \
    {                                                                                              \
        static ATL::CWndClassInfo wc = {                                                           \
            {sizeof(WNDCLASSEXW), static_cast<UINT>(classStyle), ATL::detail::StartWindowProc, 0, 0, \
             nullptr, nullptr, nullptr, reinterpret_cast<HBRUSH>(static_cast<INT_PTR>((bkgnd) + 1)), \
             nullptr, WndClassName, nullptr},                                                      \
            nullptr, nullptr, IDC_ARROW, TRUE, 0, L""};                                            \
        return wc;                                                                                 \
    }

#define DECLARE_WND_CLASS(WndClassName) \
    DECLARE_WND_CLASS_EX(WndClassName, CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS, COLOR_WINDOW)

#define DECLARE_WND_SUPERCLASS(WndClassName, OrigWndClassName)                                     \
    static ATL::CWndClassInfo& GetWndClassInfo()                                                   \
    {                                                                                              \
        static ATL::CWndClassInfo wc = {                                                           \
            {sizeof(WNDCLASSEXW), 0, ATL::detail::StartWindowProc, 0, 0, nullptr, nullptr, nullptr,  \
             nullptr, nullptr, WndClassName, nullptr},                                             \
            OrigWndClassName, nullptr, nullptr, TRUE, 0, L""};                                     \
        return wc;                                                                                 \
    }

template <class T, class TBase = CWindow, class TWinTraits = CControlWinTraits>
class CWindowImpl : public CWindowImplBaseT<TBase, TWinTraits> {
public:
    DECLARE_WND_CLASS(nullptr)

    HWND Create(HWND parent, const RECT* rect = nullptr, LPCWSTR name = nullptr, DWORD style = 0,
                DWORD exStyle = 0, UINT_PTR menuOrId = 0, LPVOID param = nullptr)
    {
        ATOM atom = T::GetWndClassInfo().Register(&this->m_pfnSuperWindowProc);
        return CWindowImplBaseT<TBase, TWinTraits>::Create(parent, rect, name, T::GetWndStyle(style),
                                                          T::GetWndExStyle(exStyle), menuOrId, atom, param);
    }
};

}  // namespace ATL
