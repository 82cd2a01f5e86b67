// The program's own message box: one text beside the program icon, and OK.
#pragma once

#include "DialogImpl.h"
#include "events/VoIPMsgHandler.h"
#include "resource.h"

class CMsgBox : public ATL::CDialogImpl<CMsgBox> {
public:
    enum { IDD = IDD_MESSAGE_BOX };

    // The text is the caller's and must outlive the dialog.
    explicit CMsgBox(const wchar_t* text) : text_(text) {}

    // DoModal returns 1 after OK, 2 after the close box, -1 when the dialog
    // could not be prepared. Escape does not close it.
    BEGIN_MSG_MAP(CMsgBox)
        MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
        MESSAGE_HANDLER(WM_DESTROY, OnDestroy)
        MESSAGE_HANDLER(WM_CLOSE, OnClose)
        MESSAGE_HANDLER(WM_PAINT, OnPaint)
        COMMAND_HANDLER(IDOK, BN_CLICKED, OnOK)
    END_MSG_MAP()

private:
    LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnDestroy(UINT, WPARAM, LPARAM, BOOL&) { return 0; }
    LRESULT OnClose(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnPaint(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnOK(WORD, WORD, HWND, BOOL&);

    // Never registered with the core: the box takes no events.
    CoreMessageHandler handler_;
    ATL::CWindow textControl_;
    const wchar_t* text_;
};
