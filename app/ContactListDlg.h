// The contact list page: the first tab of the conversation window. It holds
// the contact list box, the chat, call and send-file buttons that the list
// puts on its selected row, and the status marks it draws. The main frame
// fills the list; this page never talks to the core.
#pragma once

#include <windows.h>

#include "BackgroundDlg.h"
#include "BmpBtn.h"
#include "ConversationPages.h"
#include "OwnerDrawListBox.h"
#include "resource.h"

class CPelvaneFrame;
class CContactListDlg;
typedef COwnerDrawListBoxT<CPelvaneFrame, CContactListDlg> COwnerDrawListBox;

class CContactListDlg : public CBackgroundDlg<CContactListDlg> {
public:
    enum { IDD = IDD_CONTACT_LIST };
    // Room left under the list for the encryption banner.
    enum { kMargin = 5, kBannerBand = 80 };

    CContactListDlg();

    ATL::CWindow m_alphaTrackbar;
    ATL::CWindow m_alphaLabel;
    WTL::CBitmap m_markReachable;
    WTL::CBitmap m_markUnreachable;
    CBmpBtnItem m_callButton;
    CBmpBtnItem m_chatButton;
    CBmpBtnItem m_sendFileButton;
    COwnerDrawListBox* m_contactList;
    int m_lastSelection;
    CTabHost* m_host;

    // The buttons, as hidden children of the list box (whose commands they
    // are); nothing while the list box has no window.
    void CreateButtons();
    WTL::CBitmap* GetParentBackground() { return m_host ? m_host->GetBackgroundBitmap() : nullptr; }

    BEGIN_MSG_MAP(CContactListDlg)
        CHAIN_MSG_MAP(CBackgroundDlg<CContactListDlg>)
        MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
        MESSAGE_HANDLER(WM_SIZE, OnSize)
        MESSAGE_HANDLER(WM_DESTROY, OnDestroy)
        COMMAND_HANDLER(IDC_CONTACT_LIST, LBN_SELCHANGE, OnSelectionChange)
        MESSAGE_HANDLER(WM_HSCROLL, OnAlphaScroll)
        MESSAGE_HANDLER(WM_COMPAREITEM, OnCompareItem)
        REFLECT_NOTIFICATIONS()
    END_MSG_MAP()

private:
    bool HasList() const;
    LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnSize(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnDestroy(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnSelectionChange(WORD, WORD, HWND, BOOL&);
    LRESULT OnAlphaScroll(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnCompareItem(UINT, WPARAM, LPARAM, BOOL&) { return 0; }
};
