// The main frame's creation, its contact rows, its commands and the one
// orderly shut-down.
#include <winsock2.h>
#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include "AddContactDlg.h"
#include "PelvaneFrame.h"
#include "session/VoIPManager.h"
#include "settings/AppConfig.h"
#include "settings/LanguageTable.h"
#include "SettingsDlg.h"
#include "TrayNotifyIcon.h"
#include "UserRegistry.h"
#include "WideText.h"
#include "WindowSettings.h"

const wchar_t CPelvaneFrame::kPlacementPrefix[] = L"MainFrame";

namespace {
const DWORD kContactListStyle = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_VSCROLL | WS_TABSTOP |
                                LBS_NOINTEGRALHEIGHT | LBS_HASSTRINGS | LBS_OWNERDRAWVARIABLE | LBS_NOTIFY;
const DWORD kTabbedWindowStyle = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
const UINT_PTR kListSubclassId = 1;

// The selected row is drawn taller than the others: a click anywhere
// repaints the whole list, so no half-grown row is left behind.
LRESULT CALLBACK ContactListClickProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                      DWORD_PTR)
{
    if (message == WM_LBUTTONDOWN && IsWindow(window)) InvalidateRect(window, nullptr, TRUE);
    return DefSubclassProc(window, message, wParam, lParam);
}
}  // namespace

CPelvaneFrame::CPelvaneFrame()
    : m_contactListDlg(nullptr), m_menu(nullptr), m_frameState(kFrameIdle), m_callRequested(false),
      m_connected(false), m_runProgram(::ShellExecuteW)
{
}

CPelvaneFrame::~CPelvaneFrame()
{
    // The core must never post to a frame that is gone, whichever way the
    // message loop ended.
    GetVoIPManager()->GetHandlerRegistry().UnregisterHandler(this);
    if (IsWindow()) DestroyWindow();
    delete m_contactListDlg;
}

LRESULT CPelvaneFrame::OnCreate(UINT, WPARAM, LPARAM, BOOL&)
{
    m_commandBar.Create(m_hWnd, &rcDefault, nullptr, ATL_SIMPLE_CMDBAR_PANE_STYLE);
    m_menu = GetMenu();
    m_commandBar.AttachMenu(m_menu);
    SetMenu(nullptr);
    RebuildMenus();

    CreateSimpleReBar(ATL_SIMPLE_REBAR_NOBORDER_STYLE, ATL_IDW_TOOLBAR);
    AddSimpleReBarBand(m_commandBar);
    UISetCheck(ID_VIEW_TOOLBAR, 1);

    WTL::CRect client;
    GetClientRect(&client);
    m_tabbedWnd.m_frame = this;
    m_tabbedWnd.Create(m_hWnd, &client, nullptr, kTabbedWindowStyle);

    m_contactListDlg = new CContactListDlg;
    m_contactListDlg->Create(m_tabbedWnd.m_tabHost);
    m_contactListDlg->m_host = &m_tabbedWnd.m_tabHost;
    m_tabbedWnd.m_tabHost.AddTab(*m_contactListDlg, LanguageTable[91], -1);

    HWND list = CreateWindowExW(0, L"LISTBOX", nullptr, kContactListStyle, 0, 0, 0, 0, *m_contactListDlg,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_CONTACT_LIST)),
                                ATL::GetModuleInstance(), nullptr);
    if (list) m_contactList.SubclassWindow(list);
    m_contactList.m_mainFrame = this;
    m_contactList.m_owner = m_contactListDlg;
    m_contactListDlg->m_contactList = &m_contactList;
    m_contactListDlg->CreateButtons();
    m_contactList.Invalidate(TRUE);
    SetWindowSubclass(m_contactList, ContactListClickProc, kListSubclassId, 0);

    ClearContactList();
    if (WTL::CMessageLoop* loop = WTL::ActiveAppModuleLoop()) {
        loop->AddMessageFilter(this);
        loop->AddIdleHandler(this);
    }

    if (!GetTrayIcon()->Create(this, IDR_TRAY_MENU, LanguageTable[kProductNameText], L"", L"", 10, CTrayNotifyIcon::kUser,
                               TrayImage(false), WM_TRAY_NOTIFY, 0, true))
        return -1;

    GetVoIPManager()->GetHandlerRegistry().RegisterHandler(this);
    SetTimer(kEventTimer, kEventPeriodMs);
    m_connected = false;
    m_frameState = kFrameIdle;
    UpdateTrayIcon();
    RefreshContactList();
    GetVoIPManager()->SendCommand120();
    ModifyStyle(WS_MAXIMIZEBOX, 0);
    return 0;
}

void CPelvaneFrame::RebuildMenus()
{
    if (!m_menu) return;
    DeleteMenu(m_menu, 0, MF_BYPOSITION);
    DeleteMenu(m_menu, 0, MF_BYPOSITION);
    HMENU file = CreatePopupMenu();
    AppendMenuW(file, MF_STRING, ID_ADD_CONTACT, LanguageTable[116]);
    AppendMenuW(file, MF_STRING, ID_SETTINGS, LanguageTable[117]);
    AppendMenuW(file, MF_STRING, ID_APP_EXIT, LanguageTable[118]);
    HMENU help = CreatePopupMenu();
    AppendMenuW(help, MF_STRING, ID_APP_ABOUT, LanguageTable[120]);
    InsertMenuW(m_menu, 0, MF_BYPOSITION | MF_POPUP, reinterpret_cast<UINT_PTR>(file), LanguageTable[115]);
    InsertMenuW(m_menu, 1, MF_BYPOSITION | MF_POPUP, reinterpret_cast<UINT_PTR>(help), LanguageTable[119]);
    if (m_commandBar.IsWindow()) m_commandBar.AttachMenu(m_menu);
}

void CPelvaneFrame::AddContactRow(const wchar_t* displayText, const wchar_t* contactName, const wchar_t*,
                                  const wchar_t*, int32_t flag)
{
    if (m_contactList.IsWindow()) m_contactList.AddItem(displayText, contactName, flag);
}

void CPelvaneFrame::ClearContactList()
{
    if (m_contactList.IsWindow()) m_contactList.ResetContent();
}

void CPelvaneFrame::ShowPlaceholderRow(const wchar_t* text)
{
    ClearContactList();
    AddContactRow(text, L"***", L"", L"", kContactCentred);
}

void CPelvaneFrame::RefreshContactList()
{
    // The selected contact stays selected through the rebuild, unless it
    // has left the list.
    std::string selected;
    const bool keepSelection = m_contactList.IsWindow() && m_contactList.GetSelectedContact(selected);
    ClearContactList();
    ContactTable table;
    VoIPManager* manager = GetVoIPManager();
    manager->GetContacts(table);
    for (const auto& entry : table.Entries())
        AddContactRow(FromAnsi(entry.second.secondText).c_str(), FromAnsi(entry.second.name).c_str(), L"", L"",
                      kContactUnreachable);
    if (m_contactList.IsWindow()) {
        m_contactList.SortItems();
        if (keepSelection) m_contactList.SelectContact(selected);
    }
    manager->SendContactQueries();
}

void CPelvaneFrame::UpdateContactStatus(const std::string& contactName, int32_t flag)
{
    if (!m_contactList.IsWindow()) return;
    const std::wstring wanted = FromAnsi(contactName);
    for (int i = 0, count = m_contactList.GetCount(); i < count; ++i) {
        ContactRow* row = m_contactList.GetRow(i);
        if (!row) return;
        if (FromAnsi(row->contactName) != wanted) continue;
        if (row->status != flag) {
            row->status = flag;
            m_contactList.SortItems();
        }
        return;
    }
}

void CPelvaneFrame::ShutDown()
{
    GetVoIPManager()->Stop();
    WSACleanup();
    SavePlacement();
    m_tabbedWnd.DestroyWindow();
    DestroyWindow();
    PostQuitMessage(0);
}

void CPelvaneFrame::SavePlacement()
{
    WindowSettings placement;
    placement.GetFrom(m_hWnd);
    placement.Save(kProgramKey, kPlacementPrefix, HKEY_CURRENT_USER);
}

BOOL CPelvaneFrame::PreTranslateMessage(MSG* pMsg) { return WTL::CFrameWindowImpl<CPelvaneFrame>::PreTranslateMessage(pMsg); }

LRESULT CPelvaneFrame::OnSize(UINT, WPARAM, LPARAM, BOOL& bHandled)
{
    if (m_tabbedWnd.IsWindow()) {
        WTL::CRect client, bar;
        GetClientRect(&client);
        if (m_commandBar.IsWindow()) m_commandBar.GetClientRect(&bar);
        client.top += bar.Height() + 4;
        m_tabbedWnd.MoveWindow(&client, TRUE);
    }
    bHandled = FALSE;
    return 0;
}

LRESULT CPelvaneFrame::OnGetMinMaxInfo(UINT, WPARAM, LPARAM lParam, BOOL&)
{
    MINMAXINFO* info = reinterpret_cast<MINMAXINFO*>(lParam);
    info->ptMinTrackSize = {kMinWidth, kMinHeight};
    info->ptMaxTrackSize = {kMaxWidth, kMaxHeight};
    return 0;
}

LRESULT CPelvaneFrame::OnClose(UINT, WPARAM, LPARAM, BOOL&)
{
    ShowWindow(SW_HIDE);
    return 0;
}

LRESULT CPelvaneFrame::OnDestroy(UINT, WPARAM, LPARAM, BOOL& bHandled)
{
    KillTimer(kEventTimer);
    GetVoIPManager()->GetHandlerRegistry().UnregisterHandler(this);
    if (WTL::CMessageLoop* loop = WTL::ActiveAppModuleLoop()) {
        loop->RemoveMessageFilter(this);
        loop->RemoveIdleHandler(this);
    }
    bHandled = FALSE;
    return 0;
}

LRESULT CPelvaneFrame::OnTrayNotify(UINT, WPARAM wParam, LPARAM lParam, BOOL&)
{
    return GetTrayIcon()->OnTrayNotification(wParam, lParam);
}

LRESULT CPelvaneFrame::OnActivateApp(UINT, WPARAM, LPARAM, BOOL&)
{
    if (m_contactListDlg && m_contactListDlg->IsWindow() && m_contactList.IsWindow()) {
        m_contactListDlg->Invalidate(FALSE);
        m_contactList.Invalidate(TRUE);
    }
    return 0;
}

LRESULT CPelvaneFrame::OnTimer(UINT, WPARAM, LPARAM, BOOL&)
{
    UIUpdateToolBar();
    ProcessEvents();
    return 0;
}

LRESULT CPelvaneFrame::OnSettings(WORD, WORD, HWND, BOOL&)
{
    CSettingsDlg settings;
    {
        ModalGuard::Scope open(m_modal);
        settings.DoModal(m_hWnd);
    }
    if (settings.serverChanged) GetVoIPManager()->ResetSession();
    // The language may have changed: every text of the frame is read anew.
    RebuildMenus();
    GetTrayIcon()->SetTooltipText(LanguageTable[kProductNameText]);
    if (m_contactListDlg && m_contactListDlg->IsWindow()) m_contactListDlg->Invalidate(FALSE);
    if (m_contactList.IsWindow()) m_contactList.Invalidate(TRUE);
    if (m_contactListDlg) m_tabbedWnd.m_tabHost.UpdateTabText(*m_contactListDlg, LanguageTable[91]);
    m_tabbedWnd.RefreshTabTexts();
    return 0;
}

LRESULT CPelvaneFrame::OnAddContact(WORD, WORD, HWND, BOOL&)
{
    ModalGuard::Scope open(m_modal);
    CAddContactDlg addContact;
    addContact.DoModal(m_hWnd);
    return 0;
}

LRESULT CPelvaneFrame::OnAbout(WORD, WORD, HWND, BOOL&)
{
    OpenContactPage(L"", L"", kPageAbout);
    return 0;
}

LRESULT CPelvaneFrame::OnShowConversations(WORD, WORD, HWND, BOOL&)
{
    if (m_tabbedWnd.m_tabStrip && m_tabbedWnd.m_tabStrip->GetItemCount() > 0) {
        m_tabbedWnd.ShowWindow(SW_SHOW);
        ::SetForegroundWindow(m_tabbedWnd);
    }
    return 0;
}

LRESULT CPelvaneFrame::OnExit(WORD, WORD, HWND, BOOL&)
{
    VoIPManager* manager = GetVoIPManager();
    if (manager->CountOutgoingTransfers() > 0 || manager->CountIncomingTransfers() > 0) {
        if (m_modal.Box(m_hWnd, LanguageTable[kExitWithTransfersText], LanguageTable[kProductNameText],
                        MB_YESNO | MB_ICONQUESTION) != IDYES)
            return 0;
        // The peers learn of it before the link goes, and no page of
        // theirs waits for ever.
        manager->CancelAllTransfers(kCancelsWaitMs);
    }
    ShutDown();
    return 0;
}

LRESULT CPelvaneFrame::OnRestore(WORD, WORD, HWND, BOOL&)
{
    ToggleVisible();
    return 0;
}

void CPelvaneFrame::ToggleBar(HWND bar, UINT command)
{
    const bool show = bar && !::IsWindowVisible(bar);
    if (bar) ::ShowWindow(bar, show ? SW_SHOWNOACTIVATE : SW_HIDE);
    UISetCheck(command, show ? 1 : 0);
    UpdateLayout();
}

LRESULT CPelvaneFrame::OnViewToolBar(WORD, WORD, HWND, BOOL&)
{
    ToggleBar(m_hWndToolBar, ID_VIEW_TOOLBAR);
    return 0;
}

LRESULT CPelvaneFrame::OnViewStatusBar(WORD, WORD, HWND, BOOL&)
{
    ToggleBar(m_hWndStatusBar, ID_VIEW_STATUS_BAR);
    return 0;
}

namespace {
// Windows ends the process soon after WM_ENDSESSION returns, and takes a
// program that keeps it waiting more than about five seconds for a hung
// one: the core is given part of that time to stop, and its link part of
// that to tell the peers that the transfers end.
const DWORD kSessionEndStopMs = 2500;
const uint32_t kSessionEndCancelsMs = 1000;

DWORD WINAPI StopCore(void*)
{
    VoIPManager* manager = GetVoIPManager();
    manager->CancelAllTransfers(kSessionEndCancelsMs);
    manager->Stop();
    return 0;
}
}  // namespace

LRESULT CPelvaneFrame::OnEndSession(UINT, WPARAM ending, LPARAM, BOOL&)
{
    // Not ending: another program refused, and the session goes on.
    if (!ending) return 0;
    // The process is ended without a return to the message loop, so what
    // Exit and the end of the program would save is saved now, first. No
    // event is taken any more: the core may still be stopping when this
    // returns.
    KillTimer(kEventTimer);
    GetAppConfig()->Save();
    SavePlacement();
    if (HANDLE stopper = CreateThread(nullptr, 0, StopCore, nullptr, 0, nullptr)) {
        WaitForSingleObject(stopper, kSessionEndStopMs);
        CloseHandle(stopper);
    }
    return 0;
}
