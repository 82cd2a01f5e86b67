// The program's one top-level window: the menu bar, the tray icon, and the
// conversation window with the contact list as its first page. It takes
// the core's events on a 100 ms timer, keeps the contact rows in step with
// the session manager, turns the user's contact actions into pages, and
// hides instead of closing: the program lives on in the tray until Exit.
#pragma once

#include <windows.h>

#include <string>

#include "AppMessages.h"
#include "AppModule.h"
#include "CommandBar.h"
#include "ContactListDlg.h"
#include "events/VoIPMsgHandler.h"
#include "Frame.h"
#include "ModalGuard.h"
#include "resource.h"
#include "TabbedWnd.h"

// The frame state word: what the connection and the call are doing.
enum FrameState : int32_t {
    kFrameOffline = 2,
    kFrameIdle = 4,
    kFrameCallSetUp = 6,
    kFrameCallConnected = 7,
    kFrameCallRunning = 8,
};

// The kinds of page OpenContactPage opens.
enum ContactPageKind : int32_t { kPageCall = 0, kPageChat = 1, kPageSendFile = 2, kPageAbout = 3 };

const UINT WM_TRAY_NOTIFY = WM_USER + 100;

// ShellExecuteW's form: how the frame runs another program.
typedef HINSTANCE(WINAPI* RunProgramProc)(HWND, LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR, INT);

class CPelvaneFrame : public WTL::CFrameWindowImpl<CPelvaneFrame>,
                      public WTL::CUpdateUI<CPelvaneFrame>,
                      public WTL::CToolBarHelper<CPelvaneFrame>,
                      public WTL::CMessageFilter,
                      public WTL::CIdleHandler,
                      public VoIPMsgHandler {
public:
    DECLARE_FRAME_WND_CLASS(L"Pelvane_frame", IDR_MAINFRAME)

    enum { kEventTimer = 1, kEventPeriodMs = 100 };
    // The language text of the product's name: the tray's tooltip.
    enum { kProductNameText = 18 };
    // Exit asks first while files are sent or received, then gives the
    // link this long at most to send the transfers' cancels.
    enum { kExitWithTransfersText = 142 };
    static const uint32_t kCancelsWaitMs = 3000;
    enum { kMinWidth = 375, kMinHeight = 250, kMaxWidth = 475, kMaxHeight = 550 };
    // Commands without an action of their own.
    enum { kIdleCommandA = 32775, kIdleCommandB = 32776 };
    static const wchar_t kPlacementPrefix[];

    CPelvaneFrame();
    ~CPelvaneFrame() override;

    CContactListDlg* m_contactListDlg;
    COwnerDrawListBox m_contactList;
    CTabbedWnd m_tabbedWnd;
    WTL::CCommandBarCtrl m_commandBar;
    HMENU m_menu;
    int32_t m_frameState;
    bool m_callRequested;
    bool m_connected;
    // The caller of the last incoming call, until its media connects.
    TextPair m_incomingCall;
    // Runs the browser for an update's address (ShellExecuteW).
    RunProgramProc m_runProgram;

    // The one way from a contact action to a page; the contact name reaches
    // the page in the ANSI code page.
    void OpenContactPage(const wchar_t* displayText, const wchar_t* contactName, int kind);
    void ProcessEvents() override;
    // The one orderly exit: stops the core, saves the placement, destroys
    // the windows and ends the message loop.
    void ShutDown();
    // Under the program's key, where the next start finds it.
    void SavePlacement();

    void AddContactRow(const wchar_t* displayText, const wchar_t* contactName, const wchar_t* unused1,
                       const wchar_t* unused2, int32_t flag);
    void ClearContactList();
    void ShowPlaceholderRow(const wchar_t* text);
    void RefreshContactList();
    void UpdateContactStatus(const std::string& contactName, int32_t flag);
    void RebuildMenus();

    void ToggleVisible();
    void ShowAndFlash();
    void ForceForeground();
    void UpdateTrayIcon();
    // The tray's two images, offline and signed in.
    static HICON TrayImage(bool online);

    BOOL PreTranslateMessage(MSG* pMsg) override;
    BOOL OnIdle() override { return FALSE; }

    BEGIN_MSG_MAP(CPelvaneFrame)
        MESSAGE_HANDLER(WM_ERASEBKGND, OnEraseBackground)
        MESSAGE_HANDLER(WM_CREATE, OnCreate)
        MESSAGE_HANDLER(WM_SIZE, OnSize)
        MESSAGE_HANDLER(WM_GETMINMAXINFO, OnGetMinMaxInfo)
        MESSAGE_HANDLER(WM_CLOSE, OnClose)
        MESSAGE_HANDLER(WM_DESTROY, OnDestroy)
        MESSAGE_HANDLER(WM_KEYDOWN, OnKeyDown)
        MESSAGE_HANDLER(WM_TRAY_NOTIFY, OnTrayNotify)
        MESSAGE_HANDLER(WM_ACTIVATEAPP, OnActivateApp)
        MESSAGE_HANDLER(WM_QUERYENDSESSION, OnQueryEndSession)
        MESSAGE_HANDLER(WM_ENDSESSION, OnEndSession)
        MESSAGE_HANDLER(WM_LANGUAGE_CHANGE_NOTICE, OnLanguageChangeNotice)
        MESSAGE_HANDLER(WM_TIMER, OnTimer)
        COMMAND_ID_HANDLER(kIdleCommandA, OnIdleCommand)
        COMMAND_ID_HANDLER(kIdleCommandB, OnIdleCommand)
        COMMAND_ID_HANDLER(ID_SETTINGS, OnSettings)
        COMMAND_ID_HANDLER(ID_ADD_CONTACT, OnAddContact)
        COMMAND_ID_HANDLER(ID_APP_ABOUT, OnAbout)
        COMMAND_ID_HANDLER(ID_SHOW_CONVERSATIONS, OnShowConversations)
        COMMAND_ID_HANDLER(ID_APP_EXIT, OnExit)
        COMMAND_ID_HANDLER(ID_RESTORE, OnRestore)
        COMMAND_ID_HANDLER(ID_VIEW_TOOLBAR, OnViewToolBar)
        COMMAND_ID_HANDLER(ID_VIEW_STATUS_BAR, OnViewStatusBar)
        NOTIFY_CODE_HANDLER(NM_CLICK, OnClickNotice)
        REFLECT_NOTIFICATIONS()
        CHAIN_MSG_MAP(WTL::CUpdateUI<CPelvaneFrame>)
        CHAIN_MSG_MAP(WTL::CFrameWindowImpl<CPelvaneFrame>)
        CHAIN_MSG_MAP(WTL::CToolBarHelper<CPelvaneFrame>)
    END_MSG_MAP()

private:
    void HandleEvent(VoipEvent& event);
    void OnFileOffer(const VoipEventFileOffer& offer);
    void OnUpdateNotice(const TextPair& notice);
    void OpenCallPage(const std::wstring& displayText, const std::string& contactName);
    void OpenSendFilePage(const std::wstring& displayText, const std::string& contactName);
    // The contact's chat page, opened or brought forward, in the shown
    // conversation window; firstText is a text that came with it, or null.
    void OpenChatPage(const std::wstring& displayText, const std::string& contactName, const wchar_t* firstText);
    void ToggleBar(HWND bar, UINT command);

    // The frame's own boxes and dialogs: no event is taken while one is
    // open.
    ModalGuard m_modal;

    LRESULT OnEraseBackground(UINT, WPARAM, LPARAM, BOOL&) { return 1; }
    LRESULT OnCreate(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnSize(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnGetMinMaxInfo(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnClose(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnDestroy(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnKeyDown(UINT, WPARAM, LPARAM, BOOL&) { return 0; }
    LRESULT OnTrayNotify(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnActivateApp(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnLanguageChangeNotice(UINT, WPARAM, LPARAM, BOOL&) { return 0; }
    LRESULT OnTimer(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnIdleCommand(WORD, WORD, HWND, BOOL&) { return 0; }
    LRESULT OnSettings(WORD, WORD, HWND, BOOL&);
    LRESULT OnAddContact(WORD, WORD, HWND, BOOL&);
    LRESULT OnAbout(WORD, WORD, HWND, BOOL&);
    LRESULT OnShowConversations(WORD, WORD, HWND, BOOL&);
    LRESULT OnExit(WORD, WORD, HWND, BOOL&);
    LRESULT OnRestore(WORD, WORD, HWND, BOOL&);
    LRESULT OnViewToolBar(WORD, WORD, HWND, BOOL&);
    LRESULT OnViewStatusBar(WORD, WORD, HWND, BOOL&);
    LRESULT OnClickNotice(int, LPNMHDR, BOOL&) { return 0; }
    LRESULT OnQueryEndSession(UINT, WPARAM, LPARAM, BOOL&) { return TRUE; }
    LRESULT OnEndSession(UINT, WPARAM, LPARAM, BOOL&);
};
