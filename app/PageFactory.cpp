// The program's conversation pages, made for the conversation window. A
// kind whose page this program does not have yet gives null: the window
// then opens nothing for it.
#include "AboutDlg.h"
#include "ChatDlg.h"
#include "ConversationPages.h"

CCallPage* NewCallPage(const std::string&, const std::wstring&, bool) { return nullptr; }

CChatPage* NewChatPage(const std::string& contactName, const std::wstring& displayText)
{
    return new CChatDlg(contactName, displayText);
}

CFileTransferPage* NewFileTransferPage(const std::string&, const std::wstring&, const std::wstring&,
                                       const std::wstring&, const std::string&, bool)
{
    return nullptr;
}

CConversationPage* NewAboutPage() { return new CAboutDlg; }
