// The pages of the conversation window (CTabbedWnd) as that window handles
// them: each kind of page is reached through one of these interfaces and
// made by one of the factory functions below, so that the window knows no
// page class. PageFactory.cpp makes the program's pages; a page class either
// implements its interface itself or is wrapped there.
//
// What a page can count on: it is made by the factory, its window is made
// with CreatePage as a hidden child of the tab host, it gets SetHosts at
// once, and it is placed, given its tab and selected. When it closes itself
// (a call page with WM_USER+156, a file-transfer page with WM_USER+157 to the
// tab host's parent, its own tab deleted first), its window is destroyed at
// once and the object freed later, once its messages have returned; it must
// not enter a modal loop after that message. Any other way, the window
// destroys the page's window and frees the object itself.
//
// No page is freed while it is in use (IsInUse): while one of its handlers
// is on the stack, since a box or dialog run from there lets every timer of
// the program, and so any close, run below it. The window frees such a page
// once that handler returned, and closes no tab of a page in use.
#pragma once

#include <windows.h>

#include <string>

#include "ModalGuard.h"
#include "TabbedChildWindow.h"

class CPelvaneFrame;

// The tab host of the conversation window: its strip holds the pages' tabs
// (a page finds its own by its window), it keeps the background picture the
// pages paint from (GetBackgroundBitmap), and its parent is the conversation
// window.
typedef CTabbedChildWindow<CDotNetTabCtrl<CTabViewTabItem>> CTabHost;

// Private messages between the conversation window and its pages.
const UINT WM_PAGE_POLL = WM_USER + 155;             // to call and chat pages: take one core event
const UINT WM_REMOVE_CALL_PAGE = WM_USER + 156;      // to the conversation window, wParam the page
const UINT WM_REMOVE_TRANSFER_PAGE = WM_USER + 157;  // the same for a file-transfer page

// How a call or file-transfer page closes itself: it deletes its own tab,
// wherever it was dragged to, then asks the conversation window (with
// removeMessage) to dispose of it. The window destroys the page's window in
// there.
inline void RemovePageTab(CTabHost* host, HWND page, UINT removeMessage)
{
    if (!host) return;
    const int index = host->FindTab(page);
    if (index >= 0) host->GetTabCtrl().DeleteItem(index, true, true);
    ::SendMessageW(host->GetParent(), removeMessage, reinterpret_cast<WPARAM>(page), 0);
}

class CConversationPage {
public:
    virtual ~CConversationPage() {}

    // The boxes the page shows inside a caller's call (the cancel
    // question): the caller holds it open round such a call.
    ModalGuard& CallersBoxes() { return callersBoxes_; }

    // True while a handler of the page's window object is on the stack, or
    // a caller's call into it runs a box: the page must not be freed then,
    // nor closed from outside.
    bool IsInUse() const
    {
        const ATL::CMessageNesting* window = GetWindowObject();
        return callersBoxes_.IsOpen() || (window && window->IsHandlingMessage());
    }

    // Makes the page's window as a child of the tab host; null on failure.
    virtual HWND CreatePage(HWND tabHost) = 0;
    virtual HWND GetPageWindow() const = 0;
    // The tab host and the main frame (the page opener: OpenContactPage).
    virtual void SetHosts(CTabHost* tabHost, CPelvaneFrame* frame) = 0;
    // The contact's display text, which begins the page's tab text (empty
    // for the about page).
    virtual std::wstring GetDisplayText() const = 0;
    // The window object that handles the page's messages: the page itself
    // when it is one; a page that holds its window object apart names it.
    virtual const ATL::CMessageNesting* GetWindowObject() const
    {
        return dynamic_cast<const ATL::CMessageNesting*>(this);
    }

private:
    ModalGuard callersBoxes_;
};

class CCallPage : public CConversationPage {
public:
    // False once the call was refused or has ended.
    virtual bool IsCallActive() const = 0;
    // The call ended without the page's knowing (the session was reset).
    virtual void MarkEnded() = 0;
};

// A chat page listens to the core from SetHosts on, taking with it the
// contact's texts still waiting in the frame's queue: each text reaches it
// once, from the frame's hand (the one that opened it) or from its queue.
class CChatPage : public CConversationPage {
public:
    // The contact's account name (ANSI code page).
    virtual std::string GetContactName() const = 0;
    // The keyboard focus goes to the page's input.
    virtual void TakeFocus() = 0;
    virtual void InvalidateView() = 0;
    // A line of the conversation: the name with the time, then the text.
    virtual void AppendLine(const std::wstring& name, const std::wstring& text, bool own) = 0;
};

class CFileTransferPage : public CConversationPage {
public:
    // Asks the user whether to cancel the transfer; on yes the page cancels
    // it and closes itself (WM_REMOVE_TRANSFER_PAGE).
    virtual void AskCancel() = 0;
};

// Each returns a new page (the caller owns it), or null when this program
// has no page of that kind.
CCallPage* NewCallPage(const std::string& contactName, const std::wstring& displayText, bool outgoing);
CChatPage* NewChatPage(const std::string& contactName, const std::wstring& displayText);
// transferId is empty for a new outgoing transfer: the page makes the offer.
CFileTransferPage* NewFileTransferPage(const std::string& contactName, const std::wstring& displayText,
                                       const std::wstring& path, const std::wstring& fileTitle,
                                       const std::string& transferId, bool outgoing);
CConversationPage* NewAboutPage();
