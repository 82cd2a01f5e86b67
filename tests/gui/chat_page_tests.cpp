// The chat page as the conversation window opens it: its view and input
// panel, the line format with its time stamp and colours, sending (through a
// recording core, and through the session manager without a link), the
// contact's texts taken one per poll, and the layout. Screenshot:
// chat_page.png. Then the main frame over these pages: the contacts' texts
// as they come, with the frame and the pages each taking them in turn.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cwchar>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "ChatDlg.h"
#include "ConversationHost.h"
#include "DialogTestKit.h"
#include "FrameTest.h"
#include "GuiHarness.h"
#include "session/VoIPManager.h"
#include "settings/LanguageTable.h"
#include "TabbedWnd.h"
#include "WideText.h"

using gui::Rgb;
using HyperTextControl::HyperTextRun;

namespace {
// Stands in for the session manager: records what the page asks and
// answers sends as told.
class RecordingCore : public CChatCore {
public:
    std::vector<std::string> keyRequests;
    std::vector<std::pair<std::string, std::wstring>> sent;
    bool delivers = true;

    bool RequestPeerKey(const std::string& contactName) override
    {
        keyRequests.push_back(contactName);
        return true;
    }
    bool SendChatMessage(const std::string& contactName, const std::wstring& text) override
    {
        sent.emplace_back(contactName, text);
        return delivers;
    }
    std::string GetOwnName() override { return "me@example.com"; }
};

const char kContact[] = "alice@example.com";
const wchar_t kOwnName[] = L"me@example.com";

SYSTEMTIME Time(WORD hour, WORD minute, WORD second, WORD day, WORD month, WORD year)
{
    SYSTEMTIME t = {};
    t.wHour = hour;
    t.wMinute = minute;
    t.wSecond = second;
    t.wDay = day;
    t.wMonth = month;
    t.wYear = year;
    return t;
}

// Seconds since 1601, for comparing time stamps.
ULONGLONG Seconds(const SYSTEMTIME& t)
{
    SYSTEMTIME whole = t;
    whole.wMilliseconds = 0;
    whole.wDayOfWeek = 0;
    FILETIME f;
    if (!SystemTimeToFileTime(&whole, &f)) return 0;
    return ((ULONGLONG(f.dwHighDateTime) << 32) | f.dwLowDateTime) / 10000000;
}

// The view's text with every header's time stamp checked (written by the
// page's clock since the test began, in the header's format) and shown as
// "(time)", so that whole lines can be compared.
std::wstring ShownLines(const CChatDlg& chat, const SYSTEMTIME& since)
{
    const HyperTextControl::HyperTextModel& model = chat.View().Model();
    const std::wstring& text = model.Text();
    SYSTEMTIME now;
    GetLocalTime(&now);
    std::wstring out;
    size_t at = 0;
    for (const HyperTextRun& run : model.Runs()) {
        if (!run.isStatic) continue;
        const std::wstring header = text.substr(run.start, run.end - run.start + 1);
        const size_t open = header.rfind(L" (");
        int h = 0, m = 0, s = 0, d = 0, mo = 0, y = 0;
        if (open == std::wstring::npos ||
            swscanf(header.c_str() + open, L" (%d:%d:%d %d/%d/%d)", &h, &m, &s, &d, &mo, &y) != 6) {
            ADD_FAILURE() << "no time stamp in a header";
            continue;
        }
        const SYSTEMTIME stamp = Time(WORD(h), WORD(m), WORD(s), WORD(d), WORD(mo), WORD(y));
        EXPECT_EQ(ChatLineHeader(header.substr(0, open), stamp), header);
        EXPECT_LE(Seconds(since), Seconds(stamp));
        EXPECT_LE(Seconds(stamp), Seconds(now));
        out += text.substr(at, run.start - at) + header.substr(0, open) + L" (time)";
        at = run.end + 1;
    }
    return out + text.substr(at);
}

// A line as ShownLines shows it.
std::wstring Line(const std::wstring& name, const std::wstring& text)
{
    return name + L" (time)\n" + text + L"\n\n";
}

void PostChat(const std::string& sender, const std::string& secondName, const std::wstring& text)
{
    GetVoIPManager()->GetHandlerRegistry().Broadcast(VE_ChatText, VoipEventChat(sender, secondName, text));
}

std::wstring Repeated(const wchar_t* piece, size_t length)
{
    std::wstring text;
    while (text.size() < length) text += piece;
    return text.substr(0, length);
}

bool PutOnClipboard(HWND owner, const std::wstring& text)
{
    if (!OpenClipboard(owner)) return false;
    EmptyClipboard();
    const SIZE_T bytes = (text.size() + 1) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    bool put = false;
    if (memory) {
        memcpy(GlobalLock(memory), text.c_str(), bytes);
        GlobalUnlock(memory);
        put = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
        if (!put) GlobalFree(memory);
    }
    CloseClipboard();
    return put;
}

// The page opened for one contact, in a conversation window whose frame
// stands in for the main frame.
struct ChatPage : dlgtest::DialogTest {
    ConversationHost host;
    FrameStandIn& frame = host.frame;
    CTabbedWnd& tabbed = host.tabbed;
    RecordingCore core;
    CChatDlg* page = nullptr;
    SYSTEMTIME opened = {};

    void SetUp() override
    {
        DialogTest::SetUp();
        SetChatCore(&core);
        GetLocalTime(&opened);
        ASSERT_TRUE(host.Create(480, 460));
        page = Open(kContact, L"Alice");
        ASSERT_NE(nullptr, page);
        gui::PumpMessages(50);
    }
    void TearDown() override
    {
        host.Destroy();
        SetChatCore(nullptr);
        DialogTest::TearDown();
    }

    // The chat page the window selected after opening it.
    CChatDlg* Open(const char* contact, const wchar_t* display, const wchar_t* message = nullptr)
    {
        if (!tabbed.OpenChatPage(contact, display, message)) return nullptr;
        auto it = tabbed.m_chatPages.find(host.Selected()->GetTabView());
        return it == tabbed.m_chatPages.end() ? nullptr : dynamic_cast<CChatDlg*>(it->second);
    }

    HWND Panel() { return page->InputPanel(); }
    HWND Edit() { return page->InputPanel().m_edit; }
    HWND SendButton() { return page->InputPanel().m_sendButton.m_button; }
    std::wstring EditText() { return dlgtest::ItemText(Panel(), IDC_INPUT_EDIT); }
    void Type(const std::wstring& text) { dlgtest::TypeText(Edit(), text); }
    // A press of the Send button as the user makes it.
    void PressSend() { SendMessageW(SendButton(), BM_CLICK, 0, 0); }
    void Poll() { page->SendMessage(WM_PAGE_POLL, 0, 0); }

    std::wstring Shown(CChatDlg* chat = nullptr) { return ShownLines(chat ? *chat : *page, opened); }
    std::vector<COLORREF> HeaderColours()
    {
        std::vector<COLORREF> colours;
        for (const HyperTextRun& run : page->View().Model().Runs())
            if (run.isStatic) colours.push_back(run.colour);
        return colours;
    }
};

::testing::AssertionResult SameRect(const RECT& expected, const RECT& actual)
{
    if (EqualRect(&expected, &actual)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "(" << actual.left << "," << actual.top << ")-(" << actual.right << ","
                                         << actual.bottom << ") instead of (" << expected.left << "," << expected.top
                                         << ")-(" << expected.right << "," << expected.bottom << ")";
}

// Pixels of a rectangle of p within tolerance of colour.
int CountNear(const gui::Pixels& p, const RECT& r, uint32_t colour, int tolerance)
{
    int n = 0;
    for (int y = std::max(0L, r.top); y < std::min<long>(p.height, r.bottom); ++y)
        for (int x = std::max(0L, r.left); x < std::min<long>(p.width, r.right); ++x)
            n += gui::Near(p.At(x, y), colour, tolerance);
    return n;
}
}  // namespace

TEST(ChatLineHeader, NumbersWithoutLeadingZeros)
{
    const struct {
        const wchar_t* name;
        SYSTEMTIME time;
        const wchar_t* header;
    } cases[] = {
        {L"alice", Time(9, 5, 7, 3, 2, 2024), L"alice (9:5:7 3/2/2024)"},
        {L"Bob B", Time(23, 59, 10, 31, 12, 1999), L"Bob B (23:59:10 31/12/1999)"},
        {L"carol", Time(0, 0, 0, 1, 1, 2000), L"carol (0:0:0 1/1/2000)"},
        // Without a sign-in the own name is empty.
        {L"", Time(12, 30, 45, 15, 6, 2025), L" (12:30:45 15/6/2025)"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.header, ChatLineHeader(c.name, c.time));
}

TEST_F(ChatPage, OpensWithItsViewPanelAndKeyRequest)
{
    EXPECT_EQ((std::vector<std::string>{kContact}), core.keyRequests);
    EXPECT_EQ(L"Alice" + std::wstring(LanguageTable[94]),
              host.Selected()->GetText());

    HWND view = page->View().m_hWnd;
    ASSERT_TRUE(IsWindow(view));
    EXPECT_EQ(static_cast<HWND>(*page), GetParent(view));
    wchar_t className[64] = L"";
    GetClassNameW(view, className, 64);
    EXPECT_STREQ(L"PLV_HTChatCtrl", className);
    // The bars come and go with the content.
    EXPECT_EQ(0x5000001Bu, GetWindowLongW(view, GWL_STYLE) & ~DWORD(WS_VSCROLL | WS_HSCROLL));

    LOGFONTW font = {};
    HFONT viewFont = reinterpret_cast<HFONT>(SendMessageW(view, WM_GETFONT, 0, 0));
    ASSERT_NE(nullptr, viewFont);
    ASSERT_TRUE(GetObjectW(viewFont, sizeof(font), &font));
    EXPECT_STREQ(L"Tahoma", font.lfFaceName);
    HDC screen = GetDC(nullptr);
    EXPECT_EQ(-MulDiv(GetDeviceCaps(screen, LOGPIXELSY), 8, 72), font.lfHeight);
    ReleaseDC(nullptr, screen);
    EXPECT_EQ(FW_DONTCARE, font.lfWeight);
    EXPECT_EQ(CLEARTYPE_QUALITY, font.lfQuality);

    EXPECT_EQ(static_cast<HWND>(*page), GetParent(Panel()));
    EXPECT_EQ(255u, SendMessageW(Edit(), EM_GETLIMITTEXT, 0, 0));
    EXPECT_TRUE(page->m_banner && page->m_whiteBorder && page->m_veiledBackground);
    const CInputPanelDlg& panel = page->InputPanel();
    EXPECT_FALSE(panel.m_banner || panel.m_whiteBorder || panel.m_veiledBackground);
    EXPECT_TRUE(Shown().empty());
}

TEST_F(ChatPage, TheMessageThatOpenedAPageIsTheContactsFirstLine)
{
    CChatDlg* bob = Open("bob@example.com", L"Bob", L"Plans at www.example.org/plan");
    ASSERT_NE(nullptr, bob);
    EXPECT_EQ(Line(L"Bob", L"Plans at www.example.org/plan"), Shown(bob));
    EXPECT_EQ((std::vector<std::string>{kContact, "bob@example.com"}), core.keyRequests);
}

TEST_F(ChatPage, ASentTextIsTheOwnLineInRedAndAContactsInBlue)
{
    Type(L"Notes: http://example.org/notes");
    PressSend();
    ASSERT_EQ(1u, core.sent.size());
    EXPECT_EQ(kContact, core.sent[0].first);
    EXPECT_EQ(L"Notes: http://example.org/notes", core.sent[0].second);
    EXPECT_EQ(L"", EditText());

    PostChat(kContact, "Alice A.", L"Thanks!");
    Poll();
    EXPECT_EQ(Line(kOwnName, L"Notes: http://example.org/notes") + Line(L"Alice A.", L"Thanks!"), Shown());
    EXPECT_EQ((std::vector<COLORREF>{RGB(255, 0, 0), RGB(0, 0, 255)}), HeaderColours());

    // The header is one styled run; the link in the text became a run.
    const std::vector<HyperTextRun>& runs = page->View().Model().Runs();
    ASSERT_EQ(3u, runs.size());
    EXPECT_EQ(0, runs[0].start);
    EXPECT_EQ(L"", runs[0].tooltip);
    EXPECT_EQ(L" ", runs[0].target);
    EXPECT_EQ(L"", runs[0].directory);
    EXPECT_FALSE(runs[1].isStatic);
    EXPECT_EQ(L"http://example.org/notes", runs[1].target);
}

TEST_F(ChatPage, AnEmptyEditSendsNothing)
{
    PressSend();
    SendMessageW(Edit(), WM_KEYDOWN, VK_RETURN, 1);
    SendMessageW(Edit(), WM_CHAR, L'\r', 1);
    EXPECT_TRUE(core.sent.empty());
    EXPECT_TRUE(Shown().empty());
}

TEST_F(ChatPage, EnterInTheEditSendsTheText)
{
    Type(L"On my way");
    SendMessageW(Edit(), WM_KEYDOWN, VK_RETURN, 1);
    SendMessageW(Edit(), WM_CHAR, L'\r', 1);
    ASSERT_EQ(1u, core.sent.size());
    EXPECT_EQ(L"On my way", core.sent[0].second);
    EXPECT_EQ(L"", EditText());
    EXPECT_EQ(Line(kOwnName, L"On my way"), Shown());
}

TEST_F(ChatPage, APasteIsCutTo255Characters)
{
    const std::wstring pasted = Repeated(L"0123456789", 300);
    ASSERT_TRUE(PutOnClipboard(*page, pasted));
    SendMessageW(Edit(), WM_PASTE, 0, 0);
    EXPECT_EQ(pasted.substr(0, 255), EditText());
    PressSend();
    ASSERT_EQ(1u, core.sent.size());
    EXPECT_EQ(pasted.substr(0, 255), core.sent[0].second);
}

TEST_F(ChatPage, ATextThatCannotGoShowsTheFailureInsteadOfTheText)
{
    // The core refuses (no key for the contact yet), or the session manager
    // has no link although it holds the contact's key.
    Buf key;
    ASSERT_TRUE(key.Assign("public key", 10));
    GetVoIPManager()->StorePeerKey(kContact, key);
    const struct {
        const char* what;
        CChatCore* core;
        std::wstring ownName;
    } cases[] = {{"refused", &core, kOwnName}, {"no link", nullptr, FromAnsi(GetVoIPManager()->GetOwnName())}};
    std::wstring expected;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        core.delivers = false;
        SetChatCore(c.core);
        Type(L"secret plans");
        PressSend();
        EXPECT_EQ(L"", EditText());
        expected += Line(c.ownName, LanguageTable[CChatDlg::kNotSentText]);
        EXPECT_EQ(expected, Shown());
    }
    GetVoIPManager()->RemovePeerKey(kContact);
    EXPECT_EQ((std::vector<COLORREF>{RGB(255, 0, 0), RGB(255, 0, 0)}), HeaderColours());
}

TEST_F(ChatPage, TakesOnlyItsContactsTextsAndBringsItsTabForward)
{
    const struct {
        const char* what;
        std::function<void()> post;
        bool shown;
    } cases[] = {
        {"this contact", [] { PostChat(kContact, "Alice A.", L"one"); }, true},
        {"another contact", [] { PostChat("bob@example.com", "Bob", L"two"); }, false},
        {"the name in another case", [] { PostChat("Alice@example.com", "Alice A.", L"three"); }, false},
        {"another kind", [] { dlgtest::PostPair(VE_IncomingCall, kContact, "Alice A."); }, false},
    };
    ASSERT_TRUE(tabbed.OpenAboutPage());
    HWND about = host.Selected()->GetTabView();
    std::wstring expected;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        tabbed.m_tabStrip->SetCurSel(tabbed.m_tabHost.FindTab(about));
        c.post();
        // The text after it is taken on the next poll: this one was used up.
        PostChat(kContact, "Alice A.", L"next");
        Poll();
        if (c.shown) expected += Line(L"Alice A.", L"one");
        EXPECT_EQ(expected, Shown());
        EXPECT_EQ(c.shown ? static_cast<HWND>(*page) : about, host.Selected()->GetTabView());
        Poll();
        expected += Line(L"Alice A.", L"next");
        EXPECT_EQ(expected, Shown());
    }
}

TEST_F(ChatPage, QueuedTextsAppearOnePerPoll)
{
    PostChat(kContact, "Alice A.", L"first");
    PostChat(kContact, "Alice A.", L"second");
    Poll();
    EXPECT_EQ(Line(L"Alice A.", L"first"), Shown());
    Poll();
    EXPECT_EQ(Line(L"Alice A.", L"first") + Line(L"Alice A.", L"second"), Shown());
    Poll();
    EXPECT_EQ(Line(L"Alice A.", L"first") + Line(L"Alice A.", L"second"), Shown());
}

TEST_F(ChatPage, LaysOutTheViewAndThePanelAboveTheBanner)
{
    RECT panel;
    GetWindowRect(Panel(), &panel);
    SetWindowPos(Panel(), nullptr, 0, 0, panel.right - panel.left, 40, SWP_NOMOVE | SWP_NOZORDER);
    page->SetWindowPos(nullptr, 0, 0, 600, 500, SWP_NOMOVE | SWP_NOZORDER);
    RECT client;
    page->GetClientRect(&client);
    ASSERT_EQ(600, client.right);
    ASSERT_EQ(500, client.bottom);
    EXPECT_TRUE(SameRect({5, 5, 595, 376}, gui::PlaceIn(page->View().m_hWnd, *page)));
    EXPECT_TRUE(SameRect({5, 380, 595, 420}, gui::PlaceIn(Panel(), *page)));
    // In the panel, 590 wide: the edit box, then the button 4 pixels on.
    EXPECT_TRUE(SameRect({0, 0, 441, 40}, gui::PlaceIn(Edit(), Panel())));
    EXPECT_TRUE(SameRect({445, 0, 519, 40}, gui::PlaceIn(SendButton(), Panel())));
}

TEST_F(ChatPage, PaintsTheLinesInTheirColoursOverTheHostsBackground)
{
    Type(L"The notes are at www.example.org/notes, have a look.");
    PressSend();
    PostChat(kContact, "Alice A.", L"Thanks. Mail carol@example.org too.");
    Poll();
    Type(L"Will do");
    gui::PumpMessages(150);
    EXPECT_TRUE(gui::SavePng(gui::CaptureScreen(frame), "chat_page"));

    gui::Pixels p = gui::CaptureScreen(*page);
    ASSERT_FALSE(p.Empty());
    const RECT view = gui::PlaceIn(page->View().m_hWnd, *page);
    EXPECT_GT(CountNear(p, view, Rgb(255, 0, 0), 60), 10);
    EXPECT_GT(CountNear(p, view, Rgb(0, 0, 255), 60), 10);
    // The edit box colours itself dark blue, the text white.
    const RECT edit = gui::PlaceIn(Edit(), *page);
    EXPECT_GT(CountNear(p, edit, Rgb(0x0A, 0x39, 0x71), 8), (edit.right - edit.left) * (edit.bottom - edit.top) / 2);
    EXPECT_GT(CountNear(p, edit, Rgb(255, 255, 255), 60), 10);
}

TEST_F(ChatPage, TheViewAndThePanelShowThePartOfThePictureUnderThem)
{
    gui::PumpMessages(100);
    // Where the window put the page, then moved to the tab host's corner.
    const RECT first = gui::PlaceIn(*page, tabbed.m_tabHost);
    const POINT places[] = {{first.left, first.top}, {0, 0}};
    for (const POINT& place : places) {
        SCOPED_TRACE(place.x);
        page->SetWindowPos(nullptr, place.x, place.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        const gui::Pixels p = gui::CaptureScreen(*page);
        ASSERT_FALSE(p.Empty());
        // Selected only now: a picture selected into this DC could not be
        // painted from.
        WTL::CBitmap* picture = tabbed.m_tabHost.GetBackgroundBitmap();
        ASSERT_TRUE(picture && !picture->IsNull());
        CCompatibleDC memory(nullptr);
        HGDIOBJ old = SelectObject(memory, *picture);
        auto under = [&](POINT at) {
            const COLORREF c = GetPixel(memory, place.x + at.x, place.y + at.y);
            return Rgb(GetRValue(c), GetGValue(c), GetBValue(c));
        };
        const RECT view = gui::PlaceIn(page->View().m_hWnd, *page);
        const RECT panel = gui::PlaceIn(Panel(), *page);
        const RECT button = gui::PlaceIn(SendButton(), *page);
        // The page and the view under the same veil, the panel without;
        // none of the points has text on it.
        const struct {
            const char* what;
            POINT at;
            bool veiled;
        } points[] = {
            {"page margin", {2, (view.top + view.bottom) / 2}, true},
            {"view, top left", {view.left + 2, view.top + 2}, true},
            {"view, middle", {(view.left + view.right) / 2, (view.top + view.bottom) / 2}, true},
            {"view, bottom right", {view.right - 3, view.bottom - 3}, true},
            {"panel beside the button", {(button.right + panel.right) / 2, (panel.top + panel.bottom) / 2}, false},
        };
        for (const auto& point : points) {
            SCOPED_TRACE(point.what);
            const uint32_t expected = point.veiled ? gui::Veiled(under(point.at)) : under(point.at);
            EXPECT_TRUE(gui::Near(expected, p.At(point.at.x, point.at.y), 2))
                << std::hex << expected << " expected, " << p.At(point.at.x, point.at.y) << " shown";
        }
        SelectObject(memory, old);
    }
}

namespace {
// The main frame with the program's chat pages. Nothing is pumped while a
// case runs: the frame takes an event and the pages poll only when told.
struct IncomingChat : dlgtest::FrameTest {
    RecordingCore core;
    SYSTEMTIME opened = {};

    void SetUp() override
    {
        FrameTest::SetUp();
        SetChatCore(&core);
        GetLocalTime(&opened);
        ASSERT_TRUE(OpenFrame());
    }
    void TearDown() override
    {
        FrameTest::TearDown();
        SetChatCore(nullptr);
    }
    std::vector<CChatDlg*> PagesOf(const std::string& contact)
    {
        std::vector<CChatDlg*> pages;
        for (auto& p : frame.m_tabbedWnd.m_chatPages)
            if (p.second->GetContactName() == contact) pages.push_back(dynamic_cast<CChatDlg*>(p.second));
        return pages;
    }
    // As the two timers go: the pages are told to poll every fifth tick of
    // the frame's.
    void PollPages()
    {
        for (auto& p : frame.m_tabbedWnd.m_chatPages) ::SendMessageW(p.first, WM_PAGE_POLL, 0, 0);
    }
    void WorkOff()
    {
        for (int round = 0; round < 12; ++round) {
            for (int tick = 0; tick < 5; ++tick) frame.ProcessEvents();
            PollPages();
        }
    }
};
}  // namespace

TEST_F(IncomingChat, EveryTextReachesItsSendersPageOnceAndInOrder)
{
    // b and c: a text from Bob or Carol; t: the frame takes one event; p:
    // the pages poll; o: the user opens Bob's chat.
    const struct {
        const char* what;
        const char* steps;
    } cases[] = {
        {"one text before any page", "b"},
        {"two texts before any page", "bb"},
        {"five texts before any page", "bbbbb"},
        {"a burst the opening of the page straddles", "bbtbb"},
        {"the user opens the page in between", "bbobb"},
        {"a page open before", "obbb"},
        {"two senders' bursts", "bcbtcpbc"},
    };
    int caseNumber = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        // Contacts of the case's own: the pages of earlier cases stay open.
        const std::string tag = std::to_string(++caseNumber);
        const std::string bob = "bob" + tag + "@pelvane.test", carol = "carol" + tag + "@pelvane.test";
        std::wstring bobLines, carolLines;
        int bobTexts = 0, carolTexts = 0;
        bool bobOpened = false;
        for (const char* step = c.steps; *step; ++step) {
            switch (*step) {
            case 'b': {
                const std::wstring text = L"bob's text " + std::to_wstring(++bobTexts);
                PostChat(bob, "Bob", text);
                bobLines += Line(L"Bob", text);
                break;
            }
            case 'c': {
                const std::wstring text = L"carol's text " + std::to_wstring(++carolTexts);
                PostChat(carol, "Carol", text);
                carolLines += Line(L"Carol", text);
                break;
            }
            case 't': frame.ProcessEvents(); break;
            case 'p': PollPages(); break;
            case 'o':
                frame.OpenContactPage(L"Bob", FromAnsi(bob).c_str(), kPageChat);
                bobOpened = true;
                break;
            }
        }
        WorkOff();
        const struct {
            const std::string& contact;
            bool page;
            const std::wstring& lines;
        } expected[] = {{bob, bobTexts > 0 || bobOpened, bobLines}, {carol, carolTexts > 0, carolLines}};
        for (const auto& e : expected) {
            SCOPED_TRACE(e.contact);
            const std::vector<CChatDlg*> pages = PagesOf(e.contact);
            ASSERT_EQ(e.page ? 1u : 0u, pages.size());
            if (e.page) {
                EXPECT_EQ(e.lines, ShownLines(*pages[0], opened));
            }
        }
    }
    EXPECT_TRUE(gui::SavePng(gui::CaptureScreen(frame), "chat_burst"));
}
