// The time the window thread spends showing one incoming chat text on a
// chat page of the conversation window, from the page's poll to the view
// painted: after 1,000 earlier texts, and after a text of 16 MiB of line
// breaks that came through the core (which deciphers and cuts it on the
// connection thread, timed apart). Then the page's own append of such texts
// of line breaks, uncut, and of the text after each.
//   chat_bench [largest uncut text in MiB, default 16]
#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "BenchTiming.h"
#include "ChatDlg.h"
#include "crypto/CryptoCore.h"
#include "ServerBody.h"
#include "session/VoIPManager.h"
#include "settings/LanguageTable.h"
#include "TabbedWnd.h"
#include "TrayNotifyIcon.h"
#include "WindowImpl.h"

// What the application library reaches of the program's own objects.
CTrayNotifyIcon g_trayIcon;
CTrayNotifyIcon* GetTrayIcon() { return &g_trayIcon; }
UINT GetTaskbarCreatedMessage()
{
    static const UINT id = ::RegisterWindowMessageW(L"TaskbarCreated");
    return id;
}

namespace {

// The main frame's place: the conversation window's parent.
class Frame : public ATL::CWindowImpl<Frame> {
public:
    DECLARE_WND_CLASS_EX(L"PvChatBenchFrame", 0, COLOR_WINDOW)
    BEGIN_MSG_MAP(Frame)
    END_MSG_MAP()
};

const char kContact[] = "alice@pelvane.test";
const std::wstring kTypical = L"Thanks, the notes are at www.example.org/notes; see you at ten.";

class Conversation {
public:
    bool Open()
    {
        RECT r = {40, 40, 40 + 480, 40 + 460};
        if (!frame_.Create(nullptr, &r, L"", WS_POPUP | WS_CLIPCHILDREN)) return false;
        RECT all = {0, 0, 480, 460};
        if (!tabbed_.Create(frame_, &all, nullptr, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN))
            return false;
        frame_.ShowWindow(SW_SHOWNOACTIVATE);
        return NewPage();
    }
    // A page of a contact of its own: the texts broadcast for the first
    // contact do not reach it.
    bool NewPage()
    {
        const std::string contact = pages_++ ? "contact" + std::to_string(pages_) + "@pelvane.test" : kContact;
        if (!tabbed_.OpenChatPage(contact, L"Alice", nullptr)) return false;
        page_ = nullptr;
        for (const auto& p : tabbed_.m_chatPages)
            if (p.second->GetContactName() == contact) page_ = dynamic_cast<CChatDlg*>(p.second);
        Pump();
        return page_ != nullptr;
    }
    ~Conversation()
    {
        if (frame_.IsWindow()) frame_.DestroyWindow();
    }

    // The page takes the event waiting for it, and the view paints.
    double Show()
    {
        const double begun = Now();
        page_->SendMessage(WM_PAGE_POLL, 0, 0);
        ::RedrawWindow(page_->View().m_hWnd, nullptr, nullptr, RDW_UPDATENOW);
        return Now() - begun;
    }
    // The page's append of a text it did not get as an event.
    double Append(const std::wstring& text)
    {
        const double begun = Now();
        page_->AppendLine(L"Alice", text, false);
        ::RedrawWindow(page_->View().m_hWnd, nullptr, nullptr, RDW_UPDATENOW);
        return Now() - begun;
    }
    size_t Lines() const { return page_->View().Layout().lines.size(); }

    static void Pump()
    {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }

private:
    Frame frame_;
    CTabbedWnd tabbed_;
    CChatDlg* page_ = nullptr;
    int pages_ = 0;
};

void Broadcast(const std::wstring& text)
{
    GetVoIPManager()->GetHandlerRegistry().Broadcast(VE_ChatText, VoipEventChat(kContact, "Alice", text));
}

// A chat text from the contact as the server hands it on: command 18 with
// the sender, the second name and the cipher text for this user's key.
void Deliver(const Buf& cipher)
{
    const Body body = Body(18).Str(kContact).Str("Alice").Blob(cipher);
    DeliverBody(*GetVoIPManager(), body.bytes, body.bytes.size());
}

}  // namespace

int main(int argc, char** argv)
{
    const int largestMiB = argc > 1 ? std::atoi(argv[1]) : 16;
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    if (!LoadLanguage(0)) {
        printf("no language table beside the program\n");
        return 1;
    }
    Conversation conversation;
    if (!conversation.Open()) {
        printf("no chat page\n");
        return 1;
    }

    // A conversation of 1,000 texts, then the texts that follow it.
    const int kEarlier = 1000, kTimed = 50;
    std::vector<double> firsts, laters;
    for (int i = 0; i < kEarlier; ++i) {
        Broadcast(kTypical);
        const double t = conversation.Show();
        if (i < kTimed) firsts.push_back(t);
    }
    for (int i = 0; i < kTimed; ++i) {
        Broadcast(kTypical);
        laters.push_back(conversation.Show());
    }
    const Figures first = Summarise(firsts), later = Summarise(laters);
    printf("Chat page, one text of %u characters: the first %d texts median %.2f ms (worst %.2f); after %d "
           "texts (%u lines) median %.2f ms (worst %.2f)\n",
           static_cast<unsigned>(kTypical.size()), kTimed, first.median * 1e3, first.worst * 1e3, kEarlier,
           static_cast<unsigned>(conversation.Lines()), later.median * 1e3, later.worst * 1e3);

    // A frame's worth of line breaks from the contact, through the core.
    CryptoCore* crypto = GetCryptoCore();
    CryptoCore peer;
    Buf ownKey, cipher;
    if (!crypto->GenerateKeys() || !peer.GenerateKeys() || !crypto->GetPublicKey(ownKey)) return 1;
    const std::wstring frameOfBreaks((16u << 20) / 2 - 200, L'\n');
    if (!peer.EncryptForPeer(frameOfBreaks, ownKey, cipher)) return 1;
    double begun = Now();
    Deliver(cipher);
    const double core = Now() - begun;
    const double shown = conversation.Show();
    Broadcast(kTypical);
    const double next = conversation.Show();
    printf("A text of %u line breaks (a 16 MiB frame) through the core: deciphered and cut on the connection "
           "thread in %.1f ms; shown in %.2f ms; the text after it in %.2f ms\n",
           static_cast<unsigned>(frameOfBreaks.size()), core * 1e3, shown * 1e3, next * 1e3);

    // The page's own append of long texts of line breaks, each on a page of
    // its own.
    for (int mib : {0, 1, 16}) {
        const size_t units = mib ? (static_cast<size_t>(mib) << 20) / 2 : 32u << 10;
        if (mib > largestMiB) break;
        if (!conversation.NewPage()) return 1;
        const double appended = conversation.Append(std::wstring(units, L'\n'));
        const double after = conversation.Append(kTypical);
        printf("The page's append of %u line breaks (%u KiB), uncut: %.1f ms (%.3f us a line); the text after it "
               "%.2f ms\n",
               static_cast<unsigned>(units), static_cast<unsigned>(units * 2 / 1024), appended * 1e3,
               appended * 1e6 / units, after * 1e3);
    }
    return 0;
}
