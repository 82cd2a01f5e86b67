// The conversation window: the main frame's child below its menu bar. Its
// tab host shows the contact list as the first tab and the call, chat,
// file-transfer and about pages as further tabs; it opens, finds, activates
// and closes those pages, titles their tabs, and tells the call and chat
// pages every 500 ms to take their next core event.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "ConversationPages.h"
#include "Frame.h"
#include "OwnerDraw.h"

class CTabbedWnd : public WTL::CFrameWindowImpl<CTabbedWnd>, public WTL::COwnerDraw<CTabbedWnd> {
public:
    DECLARE_FRAME_WND_CLASS(L"Pelvane_tabbed", 0)

    enum { kPollTimer = 1, kPollPeriodMs = 500 };
    // The tab strip's styles: scrolling, close button, hot tracking, drag
    // rearranging, tooltips.
    static const DWORD kTabStyles = 0x4449;
    // Language texts that end a page's tab text, and the about tab's text.
    enum { kCallSuffix = 92, kFileSuffix = 93, kChatSuffix = 94, kAboutText = 123, kProductName = 18 };

    CTabbedWnd();
    ~CTabbedWnd() override;
    CTabbedWnd(const CTabbedWnd&) = delete;
    CTabbedWnd& operator=(const CTabbedWnd&) = delete;

    // Every open page by its window; the window owns them.
    std::map<HWND, CCallPage*> m_callPages;
    std::map<HWND, CChatPage*> m_chatPages;
    std::map<HWND, CConversationPage*> m_aboutPages;
    std::map<HWND, CFileTransferPage*> m_fileTransferPages;
    CPelvaneFrame* m_frame;
    CTabHost m_tabHost;
    CDotNetTabCtrl<CTabViewTabItem>* m_tabStrip;

    // Each selects the page's tab; false when the page could not be made.
    bool OpenCallPage(const std::string& contactName, const std::wstring& displayText, bool outgoing);
    // Selects the contact's chat tab when there is one (firstMessage is then
    // not shown: that page has it in its own queue).
    bool OpenChatPage(const std::string& contactName, const std::wstring& displayText, const wchar_t* firstMessage);
    bool OpenFileTransferPage(const std::string& contactName, const std::wstring& displayText,
                              const std::wstring& path, const std::wstring& fileTitle,
                              const std::string& transferId, bool outgoing);
    bool OpenAboutPage();

    bool HasActiveCallPage() const;
    bool HasChatPage(const std::string& contactName) const;
    void EndAllCalls();
    // The contact list's tab never closes, nor an active call's; a file
    // transfer's asks the user first.
    void CloseCurrentTab();
    void CloseAllButFirst();
    void RefreshTabTexts();
    void LayoutPages();

    BEGIN_MSG_MAP(CTabbedWnd)
        MESSAGE_HANDLER(WM_CREATE, OnCreate)
        MESSAGE_HANDLER(WM_DESTROY, OnDestroy)
        MESSAGE_HANDLER(WM_ERASEBKGND, OnEraseBackground)
        MESSAGE_HANDLER(WM_PAINT, OnPaint)
        MESSAGE_HANDLER(WM_LBUTTONDBLCLK, OnDoubleClick)
        MESSAGE_HANDLER(WM_SIZE, OnSize)
        MESSAGE_HANDLER(WM_CLOSE, OnClose)
        MESSAGE_HANDLER(WM_TIMER, OnTimer)
        MESSAGE_HANDLER(WM_REMOVE_CALL_PAGE, OnRemoveCallPage)
        MESSAGE_HANDLER(WM_REMOVE_TRANSFER_PAGE, OnRemoveTransferPage)
        COMMAND_ID_HANDLER(ID_CLOSE_TAB, OnCloseTabCommand)
        COMMAND_ID_HANDLER(ID_HIDE_TABS, OnHideCommand)
        NOTIFY_CODE_HANDLER(CTCN_SELCHANGING, OnSelectionNotice)
        NOTIFY_CODE_HANDLER(CTCN_SELCHANGE, OnSelectionNotice)
        NOTIFY_CODE_HANDLER(CTCN_CLOSE, OnCloseNotice)
        NOTIFY_CODE_HANDLER(NM_DBLCLK, OnCloseNotice)
        NOTIFY_CODE_HANDLER(CTCN_MOVEITEM, OnStepNotice)
        CHAIN_MSG_MAP(WTL::COwnerDraw<CTabbedWnd>)
        CHAIN_MSG_MAP(WTL::CFrameWindowImpl<CTabbedWnd>)
    END_MSG_MAP()

private:
    // Creates, hosts, places and tabs a page (flashing the frame when
    // asked); takes ownership, freeing the page when it fails. Returns its
    // window or null.
    HWND AddPage(CConversationPage* page, const std::wstring& tabText, int rightBottomInset, bool flash);
    std::wstring TabText(const CConversationPage& page, int suffix) const;
    int FindTab(HWND page);
    // The page of any kind whose window that is, or null.
    CConversationPage* PageAt(HWND window) const;
    // Frees the pages that closed themselves, once nothing of theirs runs.
    void FreeRetiredPages();
    template <class TPage>
    bool RetirePage(std::map<HWND, TPage*>& pages, HWND window);
    template <class TPage>
    static void DestroyPage(std::map<HWND, TPage*>& pages, HWND window);

    LRESULT OnCreate(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnDestroy(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnEraseBackground(UINT, WPARAM, LPARAM, BOOL&) { return 1; }
    LRESULT OnPaint(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnDoubleClick(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnSize(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnClose(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnTimer(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnRemoveCallPage(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnRemoveTransferPage(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnCloseTabCommand(WORD, WORD, HWND, BOOL&);
    LRESULT OnHideCommand(WORD, WORD, HWND, BOOL&);
    LRESULT OnSelectionNotice(int, LPNMHDR, BOOL&) { return 0; }
    LRESULT OnCloseNotice(int, LPNMHDR, BOOL&);
    LRESULT OnStepNotice(int, LPNMHDR, BOOL&);

    std::vector<CConversationPage*> m_retiredPages;
};
