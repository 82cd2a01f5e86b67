// Dialogs implemented by a C++ object over a dialog template resource
// (T::IDD), modal or modeless. The message map is the dialog procedure:
// a handled message answers through DWLP_MSGRESULT (or directly, for the
// messages whose answer is the procedure's return value); an unhandled one
// goes to the dialog manager.
#pragma once

#include "WindowImpl.h"

namespace ATL {

template <class TBase = CWindow>
class CDialogImplBaseT : public CWindowImplRoot<TBase> {
public:
    ~CDialogImplBaseT() override
    {
        if (this->m_hWnd && ::IsWindow(this->m_hWnd) &&
            reinterpret_cast<DLGPROC>(::GetWindowLongPtrW(this->m_hWnd, DWLP_DLGPROC)) == m_thunk.GetDlgProc())
            ::SetWindowLongPtrW(this->m_hWnd, DWLP_DLGPROC, 0);
    }

    virtual DLGPROC GetDialogProc() { return DialogProc; }
    // Called after the last message of the dialog; the object may delete
    // itself here.
    virtual void OnFinalMessage(HWND /*hWnd*/) {}

    // The dialog manager does the default processing, so there is nothing
    // to call here.
    LRESULT DefWindowProc(UINT, WPARAM, LPARAM) { return 0; }

    BOOL MapDialogRect(LPRECT rect) { return ::MapDialogRect(this->m_hWnd, rect); }

    static INT_PTR CALLBACK DialogProc(HWND hThis, UINT uMsg, WPARAM wParam, LPARAM lParam)
    {
        CDialogImplBaseT* self = reinterpret_cast<CDialogImplBaseT*>(hThis);
        HWND hWnd = self->m_hWnd;
        ++self->m_nestDepth;
        LRESULT lResult = 0;
        BOOL handled = self->ProcessWindowMessage(hWnd, uMsg, wParam, lParam, lResult, 0);
        --self->m_nestDepth;
        INT_PTR answer = handled ? detail::DialogAnswer(hWnd, uMsg, lResult) : FALSE;
        if (uMsg == WM_NCDESTROY) self->m_destroyed = true;
        if (self->m_destroyed && self->m_nestDepth == 0) {
            self->m_destroyed = false;
            self->m_hWnd = nullptr;
            self->OnFinalMessage(hWnd);
        }
        return answer;
    }

protected:
    // Prepares the stub and the hand-over of the object to the new dialog.
    bool PrepareCreation()
    {
        if (this->m_hWnd || !m_thunk.Init(reinterpret_cast<void*>(GetDialogProc()), this)) {
            if (!this->m_hWnd) ::SetLastError(ERROR_OUTOFMEMORY);
            return false;
        }
        detail::SetCreatingObject(reinterpret_cast<void*>(m_thunk.GetDlgProc()), &this->m_hWnd);
        return true;
    }

private:
    detail::CWndProcThunk m_thunk;
};

template <class T, class TBase = CWindow>
class CDialogImpl : public CDialogImplBaseT<TBase> {
public:
    // Runs the dialog until EndDialog; -1 when it could not be shown.
    INT_PTR DoModal(HWND parent = ::GetActiveWindow(), LPARAM initParam = 0)
    {
        if (!this->PrepareCreation()) return -1;
        INT_PTR result = ::DialogBoxParamW(GetModuleInstance(), MAKEINTRESOURCEW(T::IDD), parent,
                                           detail::StartDialogProc, initParam);
        detail::SetCreatingObject(nullptr, nullptr);
        return result;
    }
    BOOL EndDialog(INT_PTR result) { return ::EndDialog(this->m_hWnd, result); }

    // A modeless dialog; the caller destroys it with DestroyWindow.
    HWND Create(HWND parent, LPARAM initParam = 0)
    {
        if (!this->PrepareCreation()) return nullptr;
        HWND hWnd = ::CreateDialogParamW(GetModuleInstance(), MAKEINTRESOURCEW(T::IDD), parent,
                                         detail::StartDialogProc, initParam);
        detail::SetCreatingObject(nullptr, nullptr);
        return hWnd;
    }
};

}  // namespace ATL
