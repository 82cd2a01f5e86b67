#include "TabbedWnd.h"

#include <algorithm>

#include "OwnerDrawListBox.h"
#include "PelvaneFrame.h"
#include "resource.h"
#include "settings/AppConfig.h"
#include "settings/LanguageTable.h"

CTabbedWnd::CTabbedWnd() : m_frame(nullptr), m_tabStrip(nullptr) {}

CTabbedWnd::~CTabbedWnd()
{
    // The windows went with this one; only the objects are left.
    for (auto& page : m_callPages) m_retiredPages.push_back(page.second);
    for (auto& page : m_chatPages) m_retiredPages.push_back(page.second);
    for (auto& page : m_aboutPages) m_retiredPages.push_back(page.second);
    for (auto& page : m_fileTransferPages) m_retiredPages.push_back(page.second);
    // A page still in use would be returned into: it is left, not freed.
    FreeRetiredPages();
}

std::wstring CTabbedWnd::TabText(const CConversationPage& page, int suffix) const
{
    return page.GetDisplayText() + LanguageTable[suffix];
}

int CTabbedWnd::FindTab(HWND page) { return m_tabHost.FindTab(page); }

HWND CTabbedWnd::AddPage(CConversationPage* page, const std::wstring& tabText, int rightBottomInset, bool flash)
{
    if (!page) return nullptr;
    HWND window = page->CreatePage(m_tabHost);
    if (!window) {
        delete page;
        return nullptr;
    }
    page->SetHosts(&m_tabHost, m_frame);
    if (flash && m_frame) m_frame->ShowAndFlash();
    WTL::CRect place;
    GetClientRect(&place);
    place.right -= rightBottomInset;
    place.bottom -= rightBottomInset;
    if (m_tabStrip->IsWindow()) place.top += m_tabHost.GetTabAreaHeight();
    ::MoveWindow(window, place.left, place.top, place.Width(), place.Height(), TRUE);
    const int index = m_tabHost.AddTab(window, tabText.c_str(), -1);
    if (index < 0) {
        ::DestroyWindow(window);
        delete page;
        return nullptr;
    }
    return window;
}

bool CTabbedWnd::OpenCallPage(const std::string& contactName, const std::wstring& displayText, bool outgoing)
{
    CCallPage* page = NewCallPage(contactName, displayText, outgoing);
    if (!page) return false;
    const std::wstring text = TabText(*page, kCallSuffix);
    // A numbered instance is a test client: it stays where it is.
    HWND window = AddPage(page, text, 5, GetAppConfig()->GetInstanceIndex() == -1);
    if (!window) return false;
    m_callPages[window] = page;
    m_tabStrip->SetCurSel(FindTab(window));
    ::InvalidateRect(window, nullptr, TRUE);
    return true;
}

bool CTabbedWnd::OpenChatPage(const std::string& contactName, const std::wstring& displayText,
                              const wchar_t* firstMessage)
{
    const std::wstring wanted = ToWideText(contactName);
    for (int i = 0; i < m_tabStrip->GetItemCount(); ++i) {
        auto it = m_chatPages.find(m_tabStrip->GetItem(i)->GetTabView());
        if (it == m_chatPages.end() || ToWideText(it->second->GetContactName()) != wanted) continue;
        ::InvalidateRect(it->first, nullptr, TRUE);
        m_tabStrip->SetCurSel(i);
        return true;
    }
    CChatPage* page = NewChatPage(contactName, displayText);
    if (!page) return false;
    const std::wstring text = TabText(*page, kChatSuffix);
    HWND window = AddPage(page, text, 2, true);
    if (!window) return false;
    m_chatPages[window] = page;
    m_tabStrip->SetCurSel(FindTab(window));
    ::InvalidateRect(window, nullptr, TRUE);
    page->TakeFocus();
    page->InvalidateView();
    if (firstMessage) page->AppendLine(displayText, firstMessage, false);
    return true;
}

bool CTabbedWnd::OpenFileTransferPage(const std::string& contactName, const std::wstring& displayText,
                                      const std::wstring& path, const std::wstring& fileTitle,
                                      const std::string& transferId, bool outgoing)
{
    CFileTransferPage* page = NewFileTransferPage(contactName, displayText, path, fileTitle, transferId, outgoing);
    if (!page) return false;
    const std::wstring text = TabText(*page, kFileSuffix);
    HWND window = AddPage(page, text, 5, true);
    if (!window) return false;
    m_fileTransferPages[window] = page;
    m_tabStrip->SetCurSel(FindTab(window));
    ::InvalidateRect(window, nullptr, TRUE);
    return true;
}

bool CTabbedWnd::OpenAboutPage()
{
    for (int i = 0; i < m_tabStrip->GetItemCount(); ++i) {
        HWND view = m_tabStrip->GetItem(i)->GetTabView();
        if (!m_aboutPages.count(view)) continue;
        ::InvalidateRect(view, nullptr, TRUE);
        m_tabStrip->SetCurSel(i);
        return true;
    }
    CConversationPage* page = NewAboutPage();
    if (!page) return false;
    HWND window = AddPage(page, LanguageTable[kAboutText], 5, false);
    if (!window) return false;
    m_aboutPages[window] = page;
    m_tabStrip->SetCurSel(FindTab(window));
    ::InvalidateRect(window, nullptr, TRUE);
    return true;
}

bool CTabbedWnd::HasActiveCallPage() const
{
    return std::any_of(m_callPages.begin(), m_callPages.end(),
                       [](const std::pair<HWND const, CCallPage*>& p) { return p.second->IsCallActive(); });
}

bool CTabbedWnd::HasChatPage(const std::string& contactName) const
{
    const std::wstring wanted = ToWideText(contactName);
    for (const auto& page : m_chatPages)
        if (ToWideText(page.second->GetContactName()) == wanted) return true;
    return false;
}

void CTabbedWnd::EndAllCalls()
{
    for (auto& page : m_callPages) page.second->MarkEnded();
}

template <class TPage>
void CTabbedWnd::DestroyPage(std::map<HWND, TPage*>& pages, HWND window)
{
    auto it = pages.find(window);
    TPage* page = it->second;
    pages.erase(it);
    ::DestroyWindow(window);
    delete page;
}

void CTabbedWnd::CloseCurrentTab()
{
    const int index = m_tabStrip->GetCurSel();
    if (index <= 0) return;
    HWND view = m_tabStrip->GetItem(index)->GetTabView();
    auto call = m_callPages.find(view);
    auto transfer = m_fileTransferPages.find(view);
    CConversationPage* page = PageAt(view);
    // Tabs can be dragged: the contact list may stand anywhere, and it
    // never closes.
    if (!page) return;
    if (call != m_callPages.end() && call->second->IsCallActive()) return;
    // A page whose handler runs a box or dialog stays: its window is not
    // pulled from under that handler.
    if (page->IsInUse()) return;
    if (transfer != m_fileTransferPages.end()) {
        {
            // The question is a modal loop: the page may close itself in
            // it, and must outlive the call.
            ModalGuard::Scope asking(transfer->second->CallersBoxes());
            transfer->second->AskCancel();
        }
        // On yes the page has removed its tab and itself.
        if (m_fileTransferPages.count(view)) return;
    } else {
        m_tabStrip->DeleteItem(index);
        if (call != m_callPages.end()) DestroyPage(m_callPages, view);
        if (m_chatPages.count(view)) DestroyPage(m_chatPages, view);
        // A closed about page is never shown again: the next About opens a
        // new one.
        if (m_aboutPages.count(view)) DestroyPage(m_aboutPages, view);
    }
    const int count = m_tabStrip->GetItemCount();
    if (count > 0)
        m_tabStrip->SetCurSel(std::min(std::max(index - 1, 0), count - 1));
    else
        ShowWindow(SW_HIDE);
}

void CTabbedWnd::CloseAllButFirst()
{
    for (int i = m_tabStrip->GetItemCount() - 1; i >= 1; --i) {
        if (i >= m_tabStrip->GetItemCount()) continue;
        m_tabStrip->SetCurSel(i);
        CloseCurrentTab();
    }
}

void CTabbedWnd::RefreshTabTexts()
{
    for (auto& page : m_callPages) m_tabHost.UpdateTabText(page.first, TabText(*page.second, kCallSuffix).c_str());
    for (auto& page : m_fileTransferPages)
        m_tabHost.UpdateTabText(page.first, TabText(*page.second, kFileSuffix).c_str());
    for (auto& page : m_chatPages) m_tabHost.UpdateTabText(page.first, TabText(*page.second, kChatSuffix).c_str());
    for (auto& page : m_aboutPages) m_tabHost.UpdateTabText(page.first, LanguageTable[kAboutText]);
}

void CTabbedWnd::LayoutPages()
{
    WTL::CRect client;
    GetClientRect(&client);
    m_tabHost.MoveWindow(&client, TRUE);
    m_tabHost.UpdateLayout();
    m_tabHost.Invalidate();
}

template <class TPage>
bool CTabbedWnd::RetirePage(std::map<HWND, TPage*>& pages, HWND window)
{
    auto it = pages.find(window);
    if (it == pages.end()) return false;
    // The page is inside its own handler: its object lives on until a tick
    // finds none of its handlers running.
    m_retiredPages.push_back(it->second);
    pages.erase(it);
    ::DestroyWindow(window);
    return true;
}

void CTabbedWnd::FreeRetiredPages()
{
    std::vector<CConversationPage*> inUse;
    for (CConversationPage* page : m_retiredPages) {
        if (page->IsInUse())
            inUse.push_back(page);
        else
            delete page;
    }
    m_retiredPages.swap(inUse);
}

CConversationPage* CTabbedWnd::PageAt(HWND window) const
{
    if (auto it = m_callPages.find(window); it != m_callPages.end()) return it->second;
    if (auto it = m_chatPages.find(window); it != m_chatPages.end()) return it->second;
    if (auto it = m_aboutPages.find(window); it != m_aboutPages.end()) return it->second;
    if (auto it = m_fileTransferPages.find(window); it != m_fileTransferPages.end()) return it->second;
    return nullptr;
}

LRESULT CTabbedWnd::OnCreate(UINT, WPARAM, LPARAM, BOOL&)
{
    m_tabHost.SetTabStyles(kTabStyles);
    m_tabHost.SetReflectNotifications(true);
    if (!m_tabHost.Create(m_hWnd, &rcDefault)) return -1;
    m_tabStrip = &m_tabHost.GetTabCtrl();
    SetTimer(kPollTimer, kPollPeriodMs);
    const std::wstring caption =
        std::wstring(LanguageTable[kProductName]) + L": " + ToWideText(GetAppConfig()->GetDeviceName());
    ::SetWindowTextW(GetParent(), caption.c_str());
    return 0;
}

LRESULT CTabbedWnd::OnDestroy(UINT, WPARAM, LPARAM, BOOL& bHandled)
{
    KillTimer(kPollTimer);
    bHandled = FALSE;
    return 0;
}

LRESULT CTabbedWnd::OnPaint(UINT uMsg, WPARAM, LPARAM, BOOL&)
{
    WTL::CPaintDC dc(m_hWnd);
    dc.FillRect(&dc.m_ps.rcPaint, ::GetSysColorBrush(COLOR_WINDOW));
    DefWindowProc(uMsg, reinterpret_cast<WPARAM>(dc.m_hDC), 0);
    return 0;
}

LRESULT CTabbedWnd::OnDoubleClick(UINT, WPARAM, LPARAM, BOOL&)
{
    CloseCurrentTab();
    return 0;
}

LRESULT CTabbedWnd::OnSize(UINT, WPARAM, LPARAM, BOOL& bHandled)
{
    LayoutPages();
    bHandled = FALSE;
    return 0;
}

LRESULT CTabbedWnd::OnClose(UINT, WPARAM, LPARAM, BOOL&)
{
    ShowWindow(SW_HIDE);
    return 0;
}

LRESULT CTabbedWnd::OnTimer(UINT, WPARAM wParam, LPARAM, BOOL& bHandled)
{
    if (wParam != kPollTimer) {
        bHandled = FALSE;
        return 0;
    }
    FreeRetiredPages();
    for (auto& page : m_callPages) ::PostMessageW(page.first, WM_PAGE_POLL, 0, 0);
    for (auto& page : m_chatPages) ::PostMessageW(page.first, WM_PAGE_POLL, 0, 0);
    return 0;
}

LRESULT CTabbedWnd::OnRemoveCallPage(UINT, WPARAM wParam, LPARAM, BOOL&)
{
    RetirePage(m_callPages, reinterpret_cast<HWND>(wParam));
    return 0;
}

LRESULT CTabbedWnd::OnRemoveTransferPage(UINT, WPARAM wParam, LPARAM, BOOL&)
{
    RetirePage(m_fileTransferPages, reinterpret_cast<HWND>(wParam));
    return 0;
}

LRESULT CTabbedWnd::OnCloseTabCommand(WORD, WORD, HWND, BOOL&)
{
    CloseCurrentTab();
    return 0;
}

LRESULT CTabbedWnd::OnHideCommand(WORD, WORD, HWND, BOOL&)
{
    ShowWindow(SW_HIDE);
    return 0;
}

LRESULT CTabbedWnd::OnCloseNotice(int, LPNMHDR, BOOL&)
{
    CloseCurrentTab();
    return 0;
}

// The strip's scroll buttons step the selection: wParam is +1 or -1.
LRESULT CTabbedWnd::OnStepNotice(int step, LPNMHDR, BOOL&)
{
    const int count = m_tabStrip->GetItemCount();
    if (count == 0) return 0;
    const int index = std::min(std::max(m_tabStrip->GetCurSel() + step, 0), count - 1);
    m_tabStrip->SetCurSel(index);
    return 0;
}
