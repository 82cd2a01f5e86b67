#include "TestPages.h"

#include <algorithm>

namespace testpages {

Registry& Pages()
{
    static Registry registry;
    return registry;
}

bool Registry::Freed(const CConversationPage* page) const { return TimesFreed(page) > 0; }

int Registry::TimesFreed(const CConversationPage* page) const
{
    return static_cast<int>(std::count(freed.begin(), freed.end(), page));
}

void PageDialog::DoPaint(WTL::CDCHandle dc)
{
    DrawBackground(dc);
    WTL::CRect client;
    GetClientRect(&client);
    client.bottom -= 80;
    dc.SetBkMode(TRANSPARENT);
    dc.SetTextColor(RGB(20, 43, 84));
    dc.DrawText(label.c_str(), -1, &client, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

LRESULT PageDialog::OnPoll(UINT, WPARAM, LPARAM, BOOL&)
{
    ++polls;
    if (onPoll) onPoll();
    return 0;
}

template <class TInterface>
TestPage<TInterface>::TestPage()
{
    Pages().made.push_back(this);
}

template <class TInterface>
TestPage<TInterface>::~TestPage()
{
    Pages().freed.push_back(this);
}

template class TestPage<CCallPage>;
template class TestPage<CChatPage>;
template class TestPage<CFileTransferPage>;
template class TestPage<CConversationPage>;

namespace {
// A page deletes its own tab before it asks to be removed.
void DeleteOwnTab(CTabHost* host, HWND page)
{
    const int index = host->FindTab(page);
    if (index > 0) host->GetTabCtrl().DeleteItem(index);
}
}  // namespace

void CallPage::CloseItself()
{
    DeleteOwnTab(host, dialog);
    ::SendMessageW(host->GetParent(), WM_REMOVE_CALL_PAGE, reinterpret_cast<WPARAM>(dialog.m_hWnd), 0);
}

void FileTransferPage::AskCancel()
{
    ++asked;
    if (whileAsking) whileAsking();
    if (answerYes) CloseItself();
}

void FileTransferPage::CloseItself()
{
    DeleteOwnTab(host, dialog);
    ::SendMessageW(host->GetParent(), WM_REMOVE_TRANSFER_PAGE, reinterpret_cast<WPARAM>(dialog.m_hWnd), 0);
}

}  // namespace testpages

using namespace testpages;

CCallPage* NewCallPage(const std::string& contactName, const std::wstring& displayText, bool outgoing)
{
    if (Pages().noCallPages) return nullptr;
    CallPage* page = new CallPage;
    page->contactName = contactName;
    page->displayText = displayText;
    page->outgoing = outgoing;
    page->dialog.label = L"Call with " + displayText;
    return page;
}

CChatPage* NewChatPage(const std::string& contactName, const std::wstring& displayText)
{
    ChatPage* page = new ChatPage;
    page->contactName = contactName;
    page->displayText = displayText;
    page->dialog.label = L"Chat with " + displayText;
    return page;
}

CFileTransferPage* NewFileTransferPage(const std::string& contactName, const std::wstring& displayText,
                                       const std::wstring& path, const std::wstring& fileTitle,
                                       const std::string& transferId, bool outgoing)
{
    FileTransferPage* page = new FileTransferPage;
    page->contactName = contactName;
    page->displayText = displayText;
    page->path = path;
    page->fileTitle = fileTitle;
    page->transferId = transferId;
    page->outgoing = outgoing;
    page->dialog.label = L"File " + fileTitle;
    return page;
}

CConversationPage* NewAboutPage()
{
    AboutPage* page = new AboutPage;
    page->dialog.label = L"About";
    return page;
}
