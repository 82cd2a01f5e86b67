// The secure-device enrolment dialog: the server does not know this
// computer yet, so the user names it and the core enrols it.
#pragma once

#include "DialogImpl.h"
#include "events/VoIPMsgHandler.h"
#include "ModalGuard.h"
#include "resource.h"

class CRegisterMidDlg : public ATL::CDialogImpl<CRegisterMidDlg> {
public:
    enum { IDD = IDD_ADD_DEVICE };
    static const UINT_PTR kTimerId = 15;

    CRegisterMidDlg() {}
    ~CRegisterMidDlg();
    CRegisterMidDlg(const CRegisterMidDlg&) = delete;
    CRegisterMidDlg& operator=(const CRegisterMidDlg&) = delete;

    // DoModal returns 1 once the device is registered, 2 when the user
    // closed the dialog (a request already sent is not withdrawn).
    BEGIN_MSG_MAP(CRegisterMidDlg)
        MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
        MESSAGE_HANDLER(WM_PAINT, OnPaint)
        MESSAGE_HANDLER(WM_TIMER, OnTimer)
        MESSAGE_HANDLER(WM_DESTROY, OnDestroy)
        MESSAGE_HANDLER(WM_CLOSE, OnClose)
        COMMAND_ID_HANDLER(IDC_REGISTER, OnRegister)
    END_MSG_MAP()

private:
    LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnPaint(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnTimer(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnDestroy(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnClose(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnRegister(WORD, WORD, HWND, BOOL&);

    // The installation's picture, pics\logo.jpg; null when there is none.
    HBITMAP picture_ = nullptr;
    ATL::CWindow pictureArea_;
    ATL::CWindow statusText_;
    ATL::CWindow registerButton_;
    CoreMessageHandler handler_;
    // The dialog's boxes: no event is taken while one is open.
    ModalGuard boxes_;
};
