// Conversation pages for the window tests, made by the tests' own page
// factory (TestPages.cpp) in place of the program's: each records what the
// conversation window asks of it, and paints its host's background with its
// name, as the program's pages paint their backgrounds.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "BackgroundDlg.h"
#include "ConversationPages.h"
#include "resource.h"

namespace testpages {

class PageDialog : public CBackgroundDlg<PageDialog> {
public:
    enum { IDD = IDD_CHAT };
    CTabHost* host = nullptr;
    std::wstring label;
    int polls = 0;
    // Runs inside the page's own handling of a poll.
    std::function<void()> onPoll;

    WTL::CBitmap* GetParentBackground() { return host ? host->GetBackgroundBitmap() : nullptr; }
    void DoPaint(WTL::CDCHandle dc);

    BEGIN_MSG_MAP(PageDialog)
        CHAIN_MSG_MAP(CBackgroundDlg<PageDialog>)
        MESSAGE_HANDLER(WM_PAGE_POLL, OnPoll)
    END_MSG_MAP()

    LRESULT OnPoll(UINT, WPARAM, LPARAM, BOOL&);
};

// What every test page shares: its dialog and what it was given.
template <class TInterface>
class TestPage : public TInterface {
public:
    PageDialog dialog;
    std::string contactName;
    std::wstring displayText;
    CTabHost* host = nullptr;
    CPelvaneFrame* frame = nullptr;
    int hostsSet = 0;

    TestPage();
    ~TestPage() override;
    HWND CreatePage(HWND tabHost) override { return dialog.Create(tabHost); }
    HWND GetPageWindow() const override { return dialog.m_hWnd; }
    const ATL::CMessageNesting* GetWindowObject() const override { return &dialog; }
    void SetHosts(CTabHost* tabHost, CPelvaneFrame* mainFrame) override
    {
        host = dialog.host = tabHost;
        frame = mainFrame;
        ++hostsSet;
    }
    std::wstring GetDisplayText() const override { return displayText; }
};

class CallPage : public TestPage<CCallPage> {
public:
    bool outgoing = false;
    bool active = true;
    bool IsCallActive() const override { return active; }
    void MarkEnded() override { active = false; }
    // As the call page ends itself: its tab first, then the message.
    void CloseItself();
};

class ChatPage : public TestPage<CChatPage> {
public:
    struct Line {
        std::wstring name, text;
        bool own;
    };
    std::vector<Line> lines;
    int focusTaken = 0;
    int viewInvalidated = 0;
    std::string GetContactName() const override { return contactName; }
    void TakeFocus() override { ++focusTaken; }
    void InvalidateView() override { ++viewInvalidated; }
    void AppendLine(const std::wstring& name, const std::wstring& text, bool own) override
    {
        lines.push_back({name, text, own});
    }
};

class FileTransferPage : public TestPage<CFileTransferPage> {
public:
    std::wstring path, fileTitle;
    std::string transferId;
    bool outgoing = false;
    // The user's answer to the cancel question.
    bool answerYes = false;
    int asked = 0;
    // Runs while the question is open, before the answer.
    std::function<void()> whileAsking;
    void AskCancel() override;
    // As the page ends itself: its tab first, then the message.
    void CloseItself();
};

class AboutPage : public TestPage<CConversationPage> {};

// What the factory made and freed, in order.
struct Registry {
    std::vector<CConversationPage*> made;
    std::vector<CConversationPage*> freed;
    // Kinds the factory refuses to make.
    bool noCallPages = false;
    void Reset() { *this = Registry(); }
    bool Freed(const CConversationPage* page) const;
    int TimesFreed(const CConversationPage* page) const;
};
Registry& Pages();

}  // namespace testpages
