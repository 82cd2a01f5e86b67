// The add-contact dialog: sends the request for a typed name and waits for
// the server's answer.
#pragma once

#include <string>

#include "DialogImpl.h"
#include "events/VoIPMsgHandler.h"
#include "ModalGuard.h"
#include "resource.h"

class CAddContactDlg : public ATL::CDialogImpl<CAddContactDlg> {
public:
    enum { IDD = IDD_ADD_CONTACT };
    static const UINT_PTR kTimerId = 177;

    // DoModal returns 1 once the contact was added, 2 when the dialog was
    // closed or the session was reset.
    BEGIN_MSG_MAP(CAddContactDlg)
        MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
        MESSAGE_HANDLER(WM_TIMER, OnTimer)
        MESSAGE_HANDLER(WM_DESTROY, OnDestroy)
        MESSAGE_HANDLER(WM_CLOSE, OnClose)
        MESSAGE_HANDLER(WM_PAINT, OnPaint)
        COMMAND_ID_HANDLER(IDC_ADD, OnAdd)
    END_MSG_MAP()

private:
    LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnTimer(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnDestroy(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnClose(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnPaint(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnAdd(WORD, WORD, HWND, BOOL&);

    // Ready: name and button enabled; waiting: both disabled.
    void SetWaiting(bool waiting);
    bool IsListed(const std::string& name);

    CoreMessageHandler handler_;
    // The name of the request in flight.
    std::string pendingName_;
    ATL::CWindow statusText_;
    ATL::CWindow nameEdit_;
    ATL::CWindow addButton_;
    // The dialog's boxes: no event is taken while one is open.
    ModalGuard boxes_;
};
