// The settings dialog: primary and backup server, language and event
// sounds, and the device ID of this computer (read only).
#pragma once

#include "Controls.h"
#include "DialogImpl.h"
#include "resource.h"

class CSettingsDlg : public ATL::CDialogImpl<CSettingsDlg> {
public:
    enum { IDD = IDD_SETTINGS };

    // DoModal returns 1 after OK (everything stored and saved), 2 after the
    // close box (nothing stored). Escape does not close it. OK says so when
    // the chosen language cannot be loaded (the old one stays) and when the
    // settings cannot be saved (the old file stays).
    BEGIN_MSG_MAP(CSettingsDlg)
        MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
        MESSAGE_HANDLER(WM_CLOSE, OnCancel)
        COMMAND_ID_HANDLER(IDOK, OnOK)
    END_MSG_MAP()

    // Read by the opener after DoModal: the primary server host changed
    // (an exact comparison: a change of letter case counts).
    bool serverChanged = false;

private:
    LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnCancel(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnOK(WORD, WORD id, HWND, BOOL&);
    void FillTexts();
    void ShowDeviceId();

    ATL::CWindow serverEdit_;
    ATL::CWindow backupServerEdit_;
    WTL::CComboBox languageCombo_;
    WTL::CComboBox soundCombo_;
    ATL::CWindow deviceIdEdit_;
};
