// The sign-in dialog: takes the e-mail address and password, starts the
// session manager, shows the sign-in's progress from the core's events,
// enrols a new device on the way, and keeps the two start options.
#pragma once

#include <string>

#include "AppMessages.h"
#include "Controls.h"
#include "DialogImpl.h"
#include "events/VoIPMsgHandler.h"
#include "ModalGuard.h"
#include "resource.h"

class CLoginDlg : public ATL::CDialogImpl<CLoginDlg> {
public:
    enum { IDD = IDD_SIGN_IN };
    static const UINT_PTR kTimerId = 10;
    static const uint16_t kServerPort = 20015;

    // DoModal returns 1 once signed in (the core stays signed in for the
    // main frame), 2 otherwise.
    BEGIN_MSG_MAP(CLoginDlg)
        MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
        MESSAGE_HANDLER(WM_TIMER, OnTimer)
        MESSAGE_HANDLER(WM_DESTROY, OnDestroy)
        MESSAGE_HANDLER(WM_CLOSE, OnClose)
        MESSAGE_HANDLER(WM_LANGUAGE_CHANGE_NOTICE, OnLanguageChanged)
        MESSAGE_HANDLER(WM_ENDSESSION, OnEndSession)
        COMMAND_ID_HANDLER(IDOK, OnOK)
        COMMAND_ID_HANDLER(IDC_CANCEL_SIGN_IN, OnCancel)
        COMMAND_ID_HANDLER(IDC_SETTINGS, OnSettings)
        COMMAND_ID_HANDLER(IDC_SIGN_IN, OnSignIn)
        COMMAND_ID_HANDLER(IDC_AUTO_SIGN_IN, OnAutoSignIn)
        COMMAND_ID_HANDLER(IDC_START_WITH_WINDOWS, OnStartWithWindows)
    END_MSG_MAP()

private:
    LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnTimer(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnDestroy(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnClose(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnLanguageChanged(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnEndSession(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnOK(WORD, WORD, HWND, BOOL&);
    LRESULT OnCancel(WORD, WORD, HWND, BOOL&);
    LRESULT OnSettings(WORD, WORD, HWND, BOOL&);
    LRESULT OnSignIn(WORD, WORD, HWND, BOOL&);
    LRESULT OnAutoSignIn(WORD, WORD, HWND, BOOL&) { return 0; }
    LRESULT OnStartWithWindows(WORD, WORD, HWND, BOOL&);

    void LoadOptions();
    // The settings file keeps the password only for signing in
    // automatically; without that it holds an empty one.
    void KeepPasswordOnlyForAutoSignIn();
    void SaveOptions();
    // The options and the settings file, as closing the dialog and the
    // program would leave them.
    void SaveAll();
    void WriteRunValue();
    void SetTexts();
    void HandleEvent(VoipEvent& event);
    void CancelSignIn();
    void RunEnrolment();

    CoreMessageHandler handler_;
    WTL::CComboBox nameCombo_;
    WTL::CEdit passwordEdit_;
    WTL::CButton signInButton_;
    WTL::CButton cancelButton_;
    WTL::CButton settingsButton_;
    WTL::CButton autoSignInCheck_;
    WTL::CButton startWithWindowsCheck_;
    WTL::CProgressBarCtrl progress_;
    WTL::CStatic statusText_;
    bool started_ = false;
    bool autoSignInPending_ = false;
    // What was signed in with last (or the saved password of an automatic
    // sign-in), in the ANSI code page.
    std::string signInPassword_;
    // The dialog's own boxes and dialogs: no event is taken while one is
    // open.
    ModalGuard modal_;
    // An enrolment succeeded and its success is still queued: requests for
    // one before it are answered.
    bool enrolled_ = false;
};
