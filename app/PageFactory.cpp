// The program's conversation pages, made for the conversation window.
#include "AboutDlg.h"
#include "CallDlg.h"
#include "ChatDlg.h"
#include "ConversationPages.h"
#include "FileTransferDlg.h"

CCallPage* NewCallPage(const std::string& contactName, const std::wstring& displayText, bool outgoing)
{
    return new CCallDlg(contactName, displayText, outgoing);
}

CChatPage* NewChatPage(const std::string& contactName, const std::wstring& displayText)
{
    return new CChatDlg(contactName, displayText);
}

CFileTransferPage* NewFileTransferPage(const std::string& contactName, const std::wstring& displayText,
                                       const std::wstring& path, const std::wstring& fileTitle,
                                       const std::string& transferId, bool outgoing)
{
    return new CFileTransferDlg(contactName, displayText, path, fileTitle, transferId, outgoing);
}

CConversationPage* NewAboutPage() { return new CAboutDlg; }
