// The chat page: one text conversation with one contact, as a tab of the
// conversation window. The conversation shows in a hypertext view; the input
// panel below it (an edit box and a Send button) hands typed text to the
// page, which encrypts it for the contact through the core. The contact's
// messages arrive as core events, one taken per poll of the window.
#pragma once

#include <windows.h>

#include <string>

#include "AppMessages.h"
#include "BackgroundDlg.h"
#include "BmpBtn.h"
#include "ConversationPages.h"
#include "EditEx.h"
#include "events/VoIPMsgHandler.h"
#include "HyperTextCtrl.h"
#include "resource.h"

// What a chat page asks of the core. The program's is the session manager;
// a test may put another in its place (SetChatCore).
class CChatCore {
public:
    // Asks the server for the contact's public key; false when not asked.
    virtual bool RequestPeerKey(const std::string& contactName) = 0;
    // False when the text did not go: no link, or no key for the contact.
    virtual bool SendChatMessage(const std::string& contactName, const std::wstring& text) = 0;
    // The name the server gave this user at sign-in (ANSI code page).
    virtual std::string GetOwnName() = 0;

protected:
    ~CChatCore() = default;
};

CChatCore* GetChatCore();
// Null puts the session manager back.
void SetChatCore(CChatCore* core);

// The header of a line of the conversation: the name and the time it was
// written, numbers without leading zeros: "name (9:5:7 3/2/2024)".
std::wstring ChatLineHeader(const std::wstring& name, const SYSTEMTIME& time);

// The edit box and the Send button under the conversation. It paints the
// background under it unveiled, without border or banner, and hands every
// Send (button or Enter) to its parent, the chat page.
class CInputPanelDlg : public CBackgroundDlg<CInputPanelDlg> {
public:
    enum { IDD = IDD_INPUT_PANEL };
    enum { kMaxTextLength = 255 };
    // The Send button before the first layout, and its place beside the
    // edit box after it.
    enum { kButtonWidth = 72, kButtonHeight = 28, kButtonGap = 4, kButtonSpan = 74 };

    CBmpBtnItem m_sendButton;
    ATL::CWindow m_edit;
    CEditEx m_editEx;
    // The chat page's, for the background under the panel.
    CBackgroundHost* m_host = nullptr;

    WTL::CBitmap* GetParentBackground() { return m_host ? m_host->GetParentBackground() : nullptr; }
    // The background first, then a fresh copy of it for the Send button,
    // which repaints over it.
    void DoPaint(WTL::CDCHandle dc);

    BEGIN_MSG_MAP(CInputPanelDlg)
        CHAIN_MSG_MAP(CBackgroundDlg<CInputPanelDlg>)
        MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
        MESSAGE_HANDLER(WM_SIZE, OnSize)
        COMMAND_ID_HANDLER(IDOK, OnIgnoredCommand)
        COMMAND_ID_HANDLER(IDCANCEL, OnIgnoredCommand)
        COMMAND_ID_HANDLER(IDC_SEND, OnSend)
        // The edit box colours itself; the Send button draws itself.
        REFLECT_NOTIFICATIONS()
    END_MSG_MAP()

private:
    LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnSize(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnIgnoredCommand(WORD, WORD, HWND, BOOL&) { return 0; }
    LRESULT OnSend(WORD, WORD, HWND, BOOL&);
};

class CChatDlg : public CBackgroundDlg<CChatDlg>, public CChatPage, public CBackgroundHost {
public:
    enum { IDD = IDD_CHAT };
    // The view's styles: wrapped lines, scroll bars by content, links
    // underlined under the mouse, tooltips.
    static constexpr DWORD kViewStyle =
        WS_CHILD | WS_VISIBLE | HTC_WORDWRAP | HTC_AUTOSCROLLBARS | HTC_UNDERLINEHOVER | HTC_TOOLTIPS;
    // The margin round the view and the panel, the gap between them, and
    // the band at the foot where the base draws the encryption banner.
    enum { kMargin = 5, kPanelGap = 4, kBannerBand = 75 };
    static constexpr COLORREF kOwnColour = RGB(255, 0, 0);
    static constexpr COLORREF kContactColour = RGB(0, 0, 255);
    // Shown in place of a text that could not be sent.
    enum { kNotSentText = 40 };

    CChatDlg(const std::string& contactName, const std::wstring& displayText);
    ~CChatDlg() override;

    // The page as the conversation window holds it.
    HWND CreatePage(HWND tabHost) override { return Create(tabHost); }
    HWND GetPageWindow() const override { return m_hWnd; }
    void SetHosts(CTabHost* tabHost, CPelvaneFrame* frame) override;
    std::wstring GetDisplayText() const override { return m_displayText; }
    std::string GetContactName() const override { return m_contactName; }
    void TakeFocus() override;
    void InvalidateView() override;
    void AppendLine(const std::wstring& name, const std::wstring& text, bool own) override;

    // The tab host's background picture, which the page is cut from.
    WTL::CBitmap* GetParentBackground() override;

    const CChatCtrl& View() const { return m_view; }
    CInputPanelDlg& InputPanel() { return m_inputPanel; }

    BEGIN_MSG_MAP(CChatDlg)
        CHAIN_MSG_MAP(CBackgroundDlg<CChatDlg>)
        MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
        MESSAGE_HANDLER(WM_KEYDOWN, OnIgnored)
        MESSAGE_HANDLER(WM_SETTINGCHANGE, OnIgnored)
        MESSAGE_HANDLER(WM_SIZE, OnSize)
        MESSAGE_HANDLER(WM_CHAT_SEND_TEXT, OnSendText)
        MESSAGE_HANDLER(WM_PAGE_POLL, OnPollEvents)
        MESSAGE_HANDLER(WM_DESTROY, OnDestroy)
        COMMAND_ID_HANDLER(IDOK, OnIgnoredCommand)
        COMMAND_ID_HANDLER(IDCANCEL, OnIgnoredCommand)
    END_MSG_MAP()

private:
    void Layout();

    LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnIgnored(UINT, WPARAM, LPARAM, BOOL&) { return 0; }
    LRESULT OnSize(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnSendText(UINT, WPARAM wParam, LPARAM, BOOL&);
    LRESULT OnPollEvents(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnDestroy(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnIgnoredCommand(WORD, WORD, HWND, BOOL&) { return 0; }

    std::wstring m_displayText;
    CInputPanelDlg m_inputPanel;
    std::string m_contactName;
    CoreMessageHandler m_handler;
    CChatCtrl m_view;
    CPelvaneFrame* m_frame = nullptr;
    CTabHost* m_tabHost = nullptr;
    // What the view and the panel paint from: the part of the picture under
    // the page.
    CPageBackground m_childBackground;
    // Tahoma 8 point, the view's for the page's lifetime.
    WTL::CFont m_font;
};
