// The main frame as the session-wide consumer of the core's events, and the
// one place where the user's contact actions become pages.
#include <winsock2.h>
#include <windows.h>

#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <cstdlib>
#include <memory>

#include "media/SoundSet.h"
#include "MsgBox.h"
#include "PelvaneFrame.h"
#include "SaveName.h"
#include "session/VoIPManager.h"
#include "settings/AppConfig.h"
#include "settings/LanguageTable.h"
#include "TrayNotifyIcon.h"
#include "WebAddress.h"
#include "WideText.h"

namespace {
// The program's own version: only a strictly newer one is offered.
const double kOwnVersion = 4.4;

bool IsNumberedInstance() { return GetAppConfig()->GetInstanceIndex() != -1; }

// The program the user's system opens web addresses with; the stock browser
// when none is registered.
std::wstring BrowserProgram()
{
    wchar_t program[MAX_PATH * 4] = L"";
    DWORD size = sizeof(program) / sizeof(program[0]);
    if (SUCCEEDED(::AssocQueryStringW(ASSOCF_NOTRUNCATE, ASSOCSTR_EXECUTABLE, L"http", L"open", program, &size)) &&
        program[0])
        return program;
    return L"iexplore.exe";
}

// A file dialog's buffer: a path of any length the shell hands back.
// The dialogs start in the user's documents: the current folder is mostly
// the program's own, where a saved file named like one of the libraries the
// program loads would run at its next start. Nor may a dialog move the
// current folder for the next one.
struct FileChoice {
    wchar_t path[MAX_PATH * 4] = {};
    wchar_t title[MAX_PATH] = {};
    wchar_t folder[MAX_PATH] = {};
    OPENFILENAMEW ofn = {};

    FileChoice(HWND owner, const wchar_t* initialName)
    {
        if (initialName) lstrcpynW(path, initialName, MAX_PATH);
        ofn.lStructSize = sizeof(ofn);
        ofn.hwndOwner = owner;
        ofn.lpstrFile = path;
        ofn.nMaxFile = sizeof(path) / sizeof(path[0]);
        ofn.lpstrFileTitle = title;
        ofn.nMaxFileTitle = sizeof(title) / sizeof(title[0]);
        if (SUCCEEDED(::SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, folder)))
            ofn.lpstrInitialDir = folder;
        ofn.Flags = OFN_OVERWRITEPROMPT | OFN_NOCHANGEDIR;
    }
};
}  // namespace

void CPelvaneFrame::ProcessEvents()
{
    if (m_modal.IsOpen()) return;
    std::unique_ptr<VoipEvent> event(PopEvent());
    if (event) HandleEvent(*event);
}

void CPelvaneFrame::HandleEvent(VoipEvent& event)
{
    switch (event.GetKind()) {
    case VE_ConnectFailed:
    case VE_Connecting:
        ShowPlaceholderRow(LanguageTable[23]);
        break;
    case VE_Connected:
        m_frameState = kFrameIdle;
        m_connected = true;
        break;
    case VE_SessionReset:
        m_frameState = kFrameOffline;
        m_connected = false;
        m_tabbedWnd.CloseAllButFirst();
        UpdateTrayIcon();
        ShowPlaceholderRow(LanguageTable[23]);
        break;
    case VE_Fatal:
        m_modal.Box(m_hWnd, LanguageTable[26], LanguageTable[25], MB_OK);
        ::PostQuitMessage(-1);
        break;
    case VE_ContactsChanged:
        RefreshContactList();
        break;
    case VE_CallReply:
        if (const VoipEventValue* reply = event.Payload<VoipEventValue>()) {
            m_frameState = reply->value == 0 ? kFrameCallSetUp : kFrameIdle;
            if (reply->value == 1 && !IsNumberedInstance())
                m_modal.Box(m_hWnd, LanguageTable[96], LanguageTable[20], MB_OK);
        }
        break;
    case VE_CallRequested:
        if (const VoipEventByte* requested = event.Payload<VoipEventByte>()) {
            m_callRequested = requested->value != 0;
            m_frameState = kFrameCallSetUp;
            UpdateTrayIcon();
        }
        break;
    case VE_IncomingCall:
        if (const TextPair* caller = event.Payload<TextPair>()) {
            m_callRequested = false;
            m_frameState = kFrameCallSetUp;
            m_incomingCall = *caller;
        }
        break;
    case VE_MediaConnected:
        m_frameState = kFrameCallConnected;
        if (!m_callRequested) {
            if (!IsWindowVisible() && !IsNumberedInstance()) ToggleVisible();
            ForceForeground();
            m_tabbedWnd.OpenCallPage(m_incomingCall.first, FromAnsi(m_incomingCall.second), false);
            m_tabbedWnd.ShowWindow(SW_SHOW);
        }
        UpdateTrayIcon();
        break;
    case VE_PeerAccepted:
        m_frameState = kFrameCallRunning;
        break;
    case VE_CallEnded:
        m_frameState = kFrameIdle;
        m_tabbedWnd.EndAllCalls();
        break;
    case VE_ChatText:
        if (const VoipEventChat* chat = event.Payload<VoipEventChat>()) {
            GetSoundSet()->PlayMessage();
            if (!m_tabbedWnd.HasChatPage(chat->first))
                OpenChatPage(FromAnsi(chat->second), chat->first, chat->wide.c_str());
        }
        break;
    case VE_ContactState:
        if (const VoipEventTextInt* state = event.Payload<VoipEventTextInt>())
            UpdateContactStatus(state->text, state->value);
        break;
    case VE_LoginFailed:
        GetVoIPManager()->SetDropConnection(true);
        break;
    case VE_SignedIn:
        GetTrayIcon()->SetIcon(TrayImage(true));
        RefreshContactList();
        break;
    case VE_FileOffer:
        if (const VoipEventFileOffer* offer = event.Payload<VoipEventFileOffer>()) OnFileOffer(*offer);
        break;
    case VE_UpdateNotice:
        if (const TextPair* notice = event.Payload<TextPair>()) OnUpdateNotice(*notice);
        break;
    default:
        break;
    }
}

void CPelvaneFrame::OnFileOffer(const VoipEventFileOffer& offer)
{
    // The question and the file dialog after it are one exchange.
    ModalGuard::Scope asking(m_modal);
    ShowAndFlash();
    GetSoundSet()->PlayMessage();
    const std::wstring question =
        FormatText(LanguageTable[27], FromAnsi(offer.second).c_str(), ShownOfferName(offer.wide).c_str(), offer.value);
    VoIPManager* manager = GetVoIPManager();
    if (m_modal.Box(m_hWnd, question.c_str(), LanguageTable[28], MB_OKCANCEL) != IDOK) {
        manager->CancelFileTransfer(offer.third);
        return;
    }
    // The offered name is shown as it came, but the dialog gets only a name
    // of its own making: a path in it would pick the folder the file goes to.
    FileChoice choice(m_hWnd, InitialSaveName(offer.wide).c_str());
    if (!::GetSaveFileNameW(&choice.ofn)) {
        manager->CancelFileTransfer(offer.third);
        return;
    }
    // The page first: a transfer that fails at once reports to it.
    m_tabbedWnd.OpenFileTransferPage(offer.first, FromAnsi(offer.second), choice.path, choice.title, offer.third,
                                     false);
    manager->AcceptFileOffer(offer.first, choice.path, offer.wide, offer.third, static_cast<uint32_t>(offer.value));
}

void CPelvaneFrame::OnUpdateNotice(const TextPair& notice)
{
    if (std::atof(notice.first.c_str()) <= kOwnVersion) return;
    const std::wstring address = FromAnsi(notice.second);
    // The address is the server's word: anything but a web address could
    // name a program or a file to open, so nothing else is offered.
    if (!IsWebAddress(address)) return;
    const std::wstring question = FormatWithText(LanguageTable[24], address);
    if (m_modal.Box(m_hWnd, question.c_str(), LanguageTable[18], MB_YESNO | MB_ICONINFORMATION) == IDYES)
        m_runProgram(nullptr, L"open", BrowserProgram().c_str(), (L"\"" + address + L"\"").c_str(), nullptr, SW_SHOW);
}

void CPelvaneFrame::OpenContactPage(const wchar_t* displayText, const wchar_t* contactName, int kind)
{
    const std::wstring display = displayText ? displayText : L"";
    const std::string contact = ToAnsi(contactName ? contactName : L"");
    switch (kind) {
    case kPageCall:
        OpenCallPage(display, contact);
        break;
    case kPageChat:
        OpenChatPage(display, contact, nullptr);
        break;
    case kPageSendFile:
        OpenSendFilePage(display, contact);
        break;
    case kPageAbout:
        m_tabbedWnd.OpenAboutPage();
        break;
    default:
        break;
    }
}

void CPelvaneFrame::OpenCallPage(const std::wstring& displayText, const std::string& contactName)
{
    if (m_tabbedWnd.HasActiveCallPage()) {
        m_modal.Box(m_hWnd, LanguageTable[19], LanguageTable[20], MB_OK);
        return;
    }
    if (m_frameState == kFrameCallSetUp) {
        m_modal.Box(m_hWnd, LanguageTable[21], LanguageTable[20], MB_OK);
        return;
    }
    GetSoundSet()->PlayCallerDialing();
    m_tabbedWnd.OpenCallPage(contactName, displayText, true);
    m_tabbedWnd.ShowWindow(SW_SHOW);
}

void CPelvaneFrame::OpenSendFilePage(const std::wstring& displayText, const std::string& contactName)
{
    ModalGuard::Scope choosing(m_modal);
    VoIPManager* manager = GetVoIPManager();
    if (manager->CountOutgoingTransfers() > 0 || manager->CountIncomingTransfers() > 0) {
        CMsgBox busy(LanguageTable[99]);
        busy.DoModal(m_hWnd);
        return;
    }
    FileChoice choice(m_hWnd, L"*.*");
    choice.ofn.lpstrDefExt = L"*.*";
    choice.ofn.lpstrFilter = L"*.*\0*.*\0";
    if (!::GetOpenFileNameW(&choice.ofn)) return;
    m_tabbedWnd.OpenFileTransferPage(contactName, displayText, choice.path, choice.title, std::string(), true);
}

void CPelvaneFrame::OpenChatPage(const std::wstring& displayText, const std::string& contactName,
                                 const wchar_t* firstText)
{
    m_tabbedWnd.OpenChatPage(contactName, displayText, firstText);
    m_tabbedWnd.ShowWindow(SW_SHOW);
    m_tabbedWnd.LayoutPages();
}
