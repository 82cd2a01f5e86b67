#include "ChatDlg.h"

#include <cwchar>
#include <memory>

#include "PelvaneFrame.h"
#include "session/VoIPManager.h"
#include "settings/LanguageTable.h"
#include "WideText.h"

namespace {
class SessionChatCore : public CChatCore {
public:
    bool RequestPeerKey(const std::string& contactName) override
    {
        return GetVoIPManager()->RequestPeerKey(contactName);
    }
    bool SendChatMessage(const std::string& contactName, const std::wstring& text) override
    {
        return GetVoIPManager()->SendChatMessage(contactName, text);
    }
    std::string GetOwnName() override { return GetVoIPManager()->GetOwnName(); }
};

SessionChatCore g_sessionChatCore;
CChatCore* g_chatCore = &g_sessionChatCore;

HandlerRegistry& Registry() { return GetVoIPManager()->GetHandlerRegistry(); }
}  // namespace

CChatCore* GetChatCore() { return g_chatCore; }

void SetChatCore(CChatCore* core) { g_chatCore = core ? core : &g_sessionChatCore; }

std::wstring ChatLineHeader(const std::wstring& name, const SYSTEMTIME& time)
{
    wchar_t stamp[64];
    std::swprintf(stamp, 64, L" (%i:%i:%i %i/%i/%i)", time.wHour, time.wMinute, time.wSecond, time.wDay, time.wMonth,
                  time.wYear);
    return name + stamp;
}

// ---------------------------------------------------------------- input panel

void CInputPanelDlg::DoPaint(WTL::CDCHandle dc)
{
    DrawBackground(dc);
    if (!m_sendButton.m_button.IsWindow()) return;
    CaptureParentBackground(m_sendButton.m_button, dc);
    m_sendButton.m_button.InvalidateRect(nullptr, TRUE);
}

LRESULT CInputPanelDlg::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&)
{
    m_edit = GetDlgItem(IDC_INPUT_EDIT);
    m_edit.SendMessage(EM_LIMITTEXT, kMaxTextLength);
    m_editEx.SubclassWindow(m_edit);
    if (m_sendButton.Subclass(GetDlgItem(IDC_SEND), IDB_BUTTON_SEND))
        m_sendButton.m_button.MoveWindow(0, 0, kButtonWidth, kButtonHeight, TRUE);
    m_veiledBackground = false;
    m_whiteBorder = false;
    m_banner = false;
    return TRUE;
}

LRESULT CInputPanelDlg::OnSize(UINT, WPARAM, LPARAM, BOOL&)
{
    WTL::CRect client;
    GetClientRect(&client);
    const int width = client.Width();
    const int editRight = width - (width / 4 + 2);
    if (m_edit.IsWindow()) m_edit.MoveWindow(0, client.top, editRight, client.Height(), TRUE);
    if (m_sendButton.m_button.IsWindow())
        m_sendButton.m_button.MoveWindow(editRight + kButtonGap, client.top, kButtonSpan, client.Height(), FALSE);
    return 0;
}

LRESULT CInputPanelDlg::OnSend(WORD, WORD, HWND, BOOL&)
{
    // The page takes the text before this returns: a local copy serves.
    const std::wstring text = GetWindowTextLimited(m_edit, kMaxTextLength);
    ::SendMessageW(GetParent(), WM_CHAT_SEND_TEXT, reinterpret_cast<WPARAM>(text.c_str()), 1);
    m_edit.SetWindowText(L"");
    m_edit.SetFocus();
    return 0;
}

// ---------------------------------------------------------------- chat page

CChatDlg::CChatDlg(const std::string& contactName, const std::wstring& displayText)
    : m_displayText(displayText), m_contactName(contactName)
{
}

CChatDlg::~CChatDlg()
{
    // A page freed without its window's WM_DESTROY must not stay behind in
    // the registry either.
    Registry().UnregisterHandler(&m_handler);
}

void CChatDlg::SetHosts(CTabHost* tabHost, CPelvaneFrame* frame)
{
    m_tabHost = tabHost;
    m_frame = frame;
    if (!frame) {
        Registry().RegisterHandler(&m_handler);
        return;
    }
    // The contact's texts the frame holds but has not taken yet were
    // broadcast before this page listened, to the frame alone: the page
    // takes copies of them as it registers, and the frame, finding the page
    // when it takes them, leaves them to it.
    const std::string contact = m_contactName;
    Registry().RegisterHandler(&m_handler, *frame, [contact](const VoipEvent& event) {
        const VoipEventChat* chat = event.Payload<VoipEventChat>();
        return chat && chat->first == contact;
    });
}

WTL::CBitmap* CChatDlg::GetParentBackground() { return m_tabHost ? m_tabHost->GetBackgroundBitmap() : nullptr; }

void CChatDlg::TakeFocus()
{
    if (m_inputPanel.m_edit.IsWindow()) m_inputPanel.m_edit.SetFocus();
}

void CChatDlg::InvalidateView()
{
    if (m_view.IsWindow()) m_view.Invalidate();
}

void CChatDlg::AppendLine(const std::wstring& name, const std::wstring& text, bool own)
{
    if (!m_view.IsWindow()) return;
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    // The header is a stretch of its own colour, in bold.
    m_view.AppendStyledText(ChatLineHeader(name, now), L"", L" ", L"", own ? kOwnColour : kContactColour, true,
                            true);
    m_view.AppendText(L"\n", true);
    m_view.AppendText(text, true);
    m_view.AppendText(L"\n\n", true);
    m_view.SendMessage(WM_VSCROLL, SB_BOTTOM, 0);
}

void CChatDlg::Layout()
{
    WTL::CRect area;
    GetClientRect(&area);
    area.DeflateRect(kMargin, kMargin);
    int panelHeight = 0;
    if (m_inputPanel.IsWindow()) {
        WTL::CRect panel;
        m_inputPanel.GetWindowRect(&panel);
        panelHeight = panel.Height();
    }
    area.bottom -= panelHeight + kPanelGap + kBannerBand;
    if (m_view.IsWindow()) m_view.MoveWindow(&area, TRUE);
    if (m_inputPanel.IsWindow())
        m_inputPanel.MoveWindow(area.left, area.bottom + kPanelGap, area.Width(), panelHeight, TRUE);
    RequestRepaint();
}

LRESULT CChatDlg::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&)
{
    m_childBackground.SetPage(m_hWnd, this);
    m_view.m_host = &m_childBackground;
    m_view.Create(m_hWnd, nullptr, nullptr, kViewStyle);
    LOGFONTW face = BoldTahoma(80);
    face.lfWeight = FW_DONTCARE;
    m_font.CreatePointFontIndirect(&face);
    if (m_view.IsWindow()) m_view.SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(static_cast<HFONT>(m_font)), TRUE);

    m_inputPanel.m_host = &m_childBackground;
    m_inputPanel.Create(m_hWnd);

    // The page registers for the core's events once it knows the frame
    // (SetHosts). The key is at hand before the first text is sent.
    GetChatCore()->RequestPeerKey(m_contactName);
    return TRUE;
}

LRESULT CChatDlg::OnSize(UINT, WPARAM, LPARAM, BOOL&)
{
    Layout();
    return 0;
}

LRESULT CChatDlg::OnSendText(UINT, WPARAM wParam, LPARAM, BOOL&)
{
    const wchar_t* typed = reinterpret_cast<const wchar_t*>(wParam);
    if (!typed || !*typed) return 0;
    const std::wstring text(typed);
    CChatCore* core = GetChatCore();
    const std::wstring ownName = FromAnsi(core->GetOwnName());
    // A text that did not go is not kept: the user sees that it failed.
    if (core->SendChatMessage(m_contactName, text))
        AppendLine(ownName, text, true);
    else
        AppendLine(ownName, LanguageTable[kNotSentText], true);
    return 0;
}

LRESULT CChatDlg::OnPollEvents(UINT, WPARAM, LPARAM, BOOL&)
{
    std::unique_ptr<VoipEvent> event(m_handler.PopEvent());
    if (!event || event->GetKind() != VE_ChatText) return 0;
    const VoipEventChat* chat = event->Payload<VoipEventChat>();
    // Texts from other contacts are the main frame's business: it opens
    // their own pages.
    if (!chat || chat->first != m_contactName) return 0;
    AppendLine(FromAnsi(chat->second), chat->wide, false);
    if (m_tabHost) m_tabHost->DisplayTab(m_hWnd, FALSE, FALSE);
    if (m_frame) m_frame->ShowAndFlash();
    return 0;
}

LRESULT CChatDlg::OnDestroy(UINT, WPARAM, LPARAM, BOOL& bHandled)
{
    m_capturedBackground.DeleteObject();
    Registry().UnregisterHandler(&m_handler);
    bHandled = FALSE;
    return 0;
}
