// The file-transfer page as the conversation window opens it: the offer a
// sending page makes, a receive that could not start, the end events and
// their boxes, progress and its bar, the header's lines, the cancel question
// and the ends that come while it is open, one event per tick. Events are
// broadcast as the core posts them. Screenshots: file_transfer_sending.png,
// file_transfer_receiving.png.
#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "ConversationHost.h"
#include "DialogTestKit.h"
#include "FileTransferDlg.h"
#include "GuiHarness.h"
#include "session/VoIPManager.h"
#include "settings/LanguageTable.h"

using namespace dlgtest;
using gui::Rgb;

namespace {
const char kId[] = "{6B29FC40-CA47-1067-B31D-00DD010662DA}";
const char kOtherId[] = "{0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0}";
const wchar_t kPath[] = L"C:\\Downloads\\plan.txt";
const uint32_t kHeaderColour = Rgb(0, 0, 94);

template <typename Record>
void Broadcast(VoipEventKind kind, const Record& record)
{
    GetVoIPManager()->GetHandlerRegistry().Broadcast(kind, record);
}

void PostProgress(const std::string& id, int32_t total, int32_t remaining)
{
    Broadcast(VE_TransferProgress, VoipEventProgress{id, total, remaining});
}

// Where the page draws its bar: the inner part a full bar fills, in a
// client area of the given size.
struct BarPlace {
    int top, fillLeft, fillRight;
};
BarPlace BarIn(int width, int height)
{
    const int barWidth = width - 100, left = width / 2 - barWidth / 2;
    // The percentage takes 20 pixels; a white frame and 3 pixels inside it.
    return {height / 2 + 10, left + 4, left + barWidth - 20 - 4};
}

// An end of the transfer as the core posts it, and the text the page then
// shows (-1: the event's own).
struct EndCase {
    const char* name;
    std::function<void()> post;
    int text;
};

bool IsRed(uint32_t p) { return gui::Red(p) > 90 && gui::Green(p) < 30 && gui::Blue(p) < 30; }

// The leftmost and one past the rightmost red column of row y; (0, 0)
// when there is none.
std::pair<int, int> RedSpan(const gui::Pixels& p, int y)
{
    int left = -1, right = -1;
    for (int x = 0; x < p.width; ++x)
        if (IsRed(p.At(x, y))) {
            if (left < 0) left = x;
            right = x + 1;
        }
    return left < 0 ? std::make_pair(0, 0) : std::make_pair(left, right);
}

// The header's lines from the top down: each line's first and last row and
// its leftmost and rightmost column in the header's colour.
struct TextLine {
    int top, bottom, left, right;
};
std::vector<TextLine> HeaderLines(const gui::Pixels& p)
{
    std::vector<TextLine> lines;
    bool inLine = false;
    for (int y = 50; y < p.height / 2 - 20; ++y) {
        int left = p.width, right = -1;
        for (int x = 0; x < p.width; ++x)
            if (gui::Near(p.At(x, y), kHeaderColour, 40)) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
        if (right < 0) {
            inLine = false;
            continue;
        }
        if (!inLine) lines.push_back({y, y, left, right});
        TextLine& line = lines.back();
        line.bottom = y;
        line.left = std::min(line.left, left);
        line.right = std::max(line.right, right);
        inLine = true;
    }
    return lines;
}

struct TransferPage : DialogTest {
    ConversationHost host;
    FrameStandIn& frame = host.frame;
    CTabbedWnd& tabbed = host.tabbed;
    HWND contacts = nullptr;
    // The page opened last.
    CFileTransferDlg* page = nullptr;
    HWND window = nullptr;
    std::function<HWND()> owner = [this] { return frame.m_hWnd; };

    void SetUp() override
    {
        DialogTest::SetUp();
        ASSERT_TRUE(host.Create(480, 460));
        ASSERT_TRUE(contacts = host.AddContactsTab());
        // The strip paints the background the pages are cut from.
        gui::PumpMessages(50);
    }
    void TearDown() override
    {
        host.Destroy();
        DialogTest::TearDown();
    }

    void Open(const std::wstring& path, const std::string& id = kId, bool sending = false)
    {
        const std::wstring title = path.substr(path.find_last_of(L'\\') + 1);
        ASSERT_TRUE(tabbed.OpenFileTransferPage("bob@pelvane.test", L"Bob", path, title, id, sending));
        window = host.Selected()->GetTabView();
        auto it = tabbed.m_fileTransferPages.find(window);
        ASSERT_TRUE(it != tabbed.m_fileTransferPages.end());
        page = dynamic_cast<CFileTransferDlg*>(it->second);
        ASSERT_NE(nullptr, page);
    }

    CDotNetTabCtrl<CTabViewTabItem>& Strip() { return *tabbed.m_tabStrip; }
    bool Closed() { return !IsWindow(window) && tabbed.m_fileTransferPages.count(window) == 0; }
    // Pumps until the page closed itself, answering the one box it shows.
    ShownBox EndsWithBox()
    {
        ShownBox box;
        Script script({AnswerBox(owner, &box)});
        script.Start();
        EXPECT_TRUE(gui::PumpUntil([&] { return Closed() && script.Finished(); }));
        return box;
    }
    // Long enough for the page to take a handful of events.
    void Ticks(int n) { gui::PumpMessages(n * CFileTransferDlg::kTimerPeriodMs + 150); }
    // The page's client area as it paints it, its children left out.
    gui::Pixels Paint() { return gui::CaptureClient(*page); }
};
}  // namespace

TEST_F(TransferPage, ASendingPageOffersTheFileAndShowsWhyTheOfferFailed)
{
    const std::wstring source = BesideExe(L"transfer_source.bin");
    HANDLE file = CreateFileW(source.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    std::vector<char> bytes(3000, 'x');
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);

    ASSERT_NO_FATAL_FAILURE(Open(source, "", true));
    EXPECT_EQ(L"Bob" + std::wstring(LanguageTable[93]), host.Selected()->GetText());
    EXPECT_EQ(L"Bob", page->GetDisplayText());
    // The manager gave the page the new transfer's identifier.
    ASSERT_EQ(38u, page->GetTransferId().size());
    EXPECT_EQ('{', page->GetTransferId().front());
    // Signed in nowhere, the offer cannot go out.
    ShownBox box = EndsWithBox();
    EXPECT_EQ(LanguageTable[67], box.text);
    EXPECT_EQ(L"File Transfer", box.caption);
    EXPECT_EQ(1, Strip().GetItemCount());
    EXPECT_EQ(contacts, Strip().GetItem(0)->GetTabView());
    EXPECT_EQ(0, GetVoIPManager()->CountOutgoingTransfers());
    DeleteFileW(source.c_str());
}

TEST_F(TransferPage, EachEndOfTheTransferShowsItsTextAndClosesThePage)
{
    const EndCase cases[] = {
        {"refused as not supported", [] { PostPair(VE_TransferFailed, kId, "Not supported"); }, 139},
        {"failed, lower case", [] { PostPair(VE_TransferFailed, kId, "not supported"); }, 97},
        {"failed", [] { PostPair(VE_TransferFailed, kId, "The disk is full."); }, 97},
        {"cancelled by the peer", [] { Post(VE_TransferCancelled, kId); }, 83},
        {"complete", [] { Post(VE_TransferComplete, kId); }, 85},
        {"could not start, for this transfer and path",
         [] { Broadcast(VE_FileOfferFailed, VoipEventTransferAnswer{kId, kPath, "No offer."}); }, -1},
    };
    for (const EndCase& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_NO_FATAL_FAILURE(Open(kPath));
        c.post();
        ShownBox box = EndsWithBox();
        EXPECT_EQ(c.text < 0 ? std::wstring(L"No offer.") : std::wstring(LanguageTable[c.text]), box.text);
        EXPECT_EQ(1, Strip().GetItemCount());
        EXPECT_EQ(0, Strip().GetCurSel());
    }
}

TEST_F(TransferPage, EventsOfOtherTransfersAndOtherKindsLeaveThePageAlone)
{
    ASSERT_NO_FATAL_FAILURE(Open(kPath));
    PostPair(VE_TransferFailed, kOtherId, "Not supported");
    Post(VE_TransferCancelled, kOtherId);
    Post(VE_TransferComplete, kOtherId);
    PostProgress(kOtherId, 1000, 0);
    Broadcast(VE_FileOfferFailed, VoipEventTransferAnswer{"bob@pelvane.test", L"C:\\Downloads\\other.txt", "No."});
    Post(VE_FileOfferSent);
    Post(VE_SessionReset);
    Post(VE_AddContactDone, kId);
    EXPECT_EQ(L"", Answering(owner, [&] { Ticks(8); }).text);
    EXPECT_FALSE(Closed());
    EXPECT_EQ(0, page->GetProgress());
    EXPECT_EQ(2, Strip().GetItemCount());
}

TEST_F(TransferPage, ProgressIsThePartDoneAndTheBarShowsIt)
{
    ASSERT_NO_FATAL_FAILURE(Open(kPath));
    struct Case {
        int32_t total, remaining;
        int percent;
    } cases[] = {
        {1000, 500, 50},
        {1000, 999, 0},
        {1000, 0, 100},
        // 3,000,000,000 bytes, a third left: the sizes are unsigned.
        {static_cast<int32_t>(3000000000u), 1000000000, 66},
        // Nothing to transfer is done; more left than the whole is nothing.
        {0, 0, 100},
        {1000, 2000, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.total) + " " + std::to_string(c.remaining));
        PostProgress(kId, c.total, c.remaining);
        EXPECT_TRUE(gui::PumpUntil([&] { return page->GetProgress() == c.percent; }, 3000));
        if (c.percent != 0 && c.percent != 100) continue;
        gui::Pixels p = Paint();
        const BarPlace bar = BarIn(p.width, p.height);
        for (int y = bar.top + 4; y < bar.top + 12; ++y) {
            const std::pair<int, int> red = RedSpan(p, y);
            if (c.percent == 0) {
                EXPECT_EQ(0, red.second - red.first) << "row " << y;
            } else {
                EXPECT_EQ(bar.fillLeft, red.first) << "row " << y;
                EXPECT_EQ(bar.fillRight, red.second) << "row " << y;
            }
        }
        // Nothing red above or below the filled part.
        EXPECT_EQ(0, RedSpan(p, bar.top + 3).second);
        EXPECT_EQ(0, RedSpan(p, bar.top + 12).second);
    }
    EXPECT_FALSE(Closed());
}

TEST_F(TransferPage, TheCancelButtonStandsCentredBelowTheBar)
{
    ASSERT_NO_FATAL_FAILURE(Open(L"C:\\Projects\\Pelvane\\design-notes.pdf", kId, true));
    PostProgress(kId, 80000, 46400);
    ASSERT_TRUE(gui::PumpUntil([&] { return page->GetProgress() == 42; }));
    gui::PumpMessages(200);
    RECT client;
    page->GetClientRect(&client);
    HWND button = GetDlgItem(*page, IDCANCEL);
    ASSERT_TRUE(IsWindowVisible(button));
    const RECT place = gui::PlaceIn(button, *page);
    EXPECT_EQ(client.right / 2 - 36, place.left);
    EXPECT_EQ(client.bottom / 2 + 10 + 16 + 50, place.top);
    EXPECT_EQ(73, place.right - place.left);
    EXPECT_EQ(23, place.bottom - place.top);
    EXPECT_TRUE(gui::SavePng(gui::CaptureScreen(frame), "file_transfer_sending"));

    ASSERT_NO_FATAL_FAILURE(Open(L"C:\\Users\\bob\\Downloads\\holiday photos.zip", kOtherId, false));
    gui::PumpMessages(200);
    EXPECT_TRUE(gui::SavePng(gui::CaptureScreen(frame), "file_transfer_receiving"));
}

TEST_F(TransferPage, ALongFileNameIsBrokenIntoCentredLinesThatFitThePage)
{
    ASSERT_NO_FATAL_FAILURE(Open(L"C:\\Downloads\\PLAN.TXT"));
    gui::Pixels p = Paint();
    ASSERT_EQ(1u, HeaderLines(p).size());

    ASSERT_NO_FATAL_FAILURE(Open(L"C:\\Downloads\\QUARTERLY-REPORT-OF-THE-NORTHERN-REGION-2024-FINAL-VERSION-"
                                 L"WITH-ALL-APPENDICES-AND-THE-REVIEWED-FIGURES-AS-SENT-TO-THE-BOARD-"
                                 L"BEFORE-THE-MEETING-IN-MARCH.PDF"));
    p = Paint();
    EXPECT_TRUE(gui::SavePng(p, "file_transfer_long_name"));
    const std::vector<TextLine> lines = HeaderLines(p);
    ASSERT_GE(lines.size(), 3u);
    for (const TextLine& line : lines) {
        EXPECT_LE(line.right - line.left + 1, p.width - 40);
        EXPECT_NEAR(p.width / 2, (line.left + line.right + 1) / 2, 4);
    }
    // Every line but the last is filled up to the limit, nearly.
    EXPECT_GT(lines.front().right - lines.front().left + 1, p.width - 40 - 30);
}

TEST_F(TransferPage, APartialRepaintShowsTheSameLinesAndButton)
{
    ASSERT_NO_FATAL_FAILURE(Open(L"C:\\Downloads\\MINUTES-OF-THE-ANNUAL-MEETING-OF-THE-SHAREHOLDERS-AND-THE-"
                                 L"BOARD-2024.PDF"));
    auto shown = [this] {
        RECT r;
        GetClientRect(window, &r);
        HDC dc = GetDC(window);
        gui::Pixels p = gui::CaptureDC(dc, 0, 0, r.right, r.bottom);
        ReleaseDC(window, dc);
        return p;
    };
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    gui::PumpMessages(100);
    const gui::Pixels whole = shown();
    ASSERT_GE(HeaderLines(whole).size(), 2u);
    // The upper left quarter only, which holds no part of the button; then
    // the button paints from whatever background it holds.
    RECT quarter = {0, 0, whole.width / 2, whole.height / 2};
    InvalidateRect(window, &quarter, FALSE);
    UpdateWindow(window);
    HWND button = GetDlgItem(window, IDCANCEL);
    InvalidateRect(button, nullptr, FALSE);
    UpdateWindow(button);
    const gui::Pixels part = shown();
    ASSERT_EQ(whole.data.size(), part.data.size());
    EXPECT_TRUE(whole.data == part.data);
}

TEST_F(TransferPage, TheHeaderNamesOnlyWhatFollowsThePathsLastBackslash)
{
    // Pages whose headers must look alike, and unlike.
    struct Case {
        const wchar_t* path;
        const wchar_t* same;
        bool alike;
    } cases[] = {
        {L"plan.txt", L"C:\\Downloads\\", true},
        {L"C:\\a\\b\\plan.txt", L"D:\\plan.txt", true},
        {L"C:\\Downloads\\plan.txt", L"C:\\Downloads\\", false},
    };
    auto header = [this](const wchar_t* path) {
        Open(path);
        gui::Pixels p = Paint();
        return std::vector<uint32_t>(p.data.begin() + 50 * p.width, p.data.begin() + (p.height / 2 - 20) * p.width);
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::wstring(c.path) + L" / " + c.same);
        EXPECT_EQ(c.alike, header(c.path) == header(c.same));
    }
    // A file name is no menu text: its ampersand is shown, not taken as a
    // mnemonic.
    Open(L"C:\\Downloads\\R&D.txt");
    const std::vector<TextLine> withAmpersand = HeaderLines(Paint());
    Open(L"C:\\Downloads\\RD.txt");
    const std::vector<TextLine> without = HeaderLines(Paint());
    ASSERT_EQ(1u, withAmpersand.size());
    ASSERT_EQ(1u, without.size());
    EXPECT_GT(withAmpersand[0].right - withAmpersand[0].left, without[0].right - without[0].left + 4);
}

TEST(TransferHeader, LinesKeepEveryCharacterAndAtLeastOneEach)
{
    HDC dc = GetDC(nullptr);
    EXPECT_EQ(L"Receiving: abc", BreakIntoLines(dc, L"Receiving: abc", 1000));
    // Narrower than any character: one per line, never an empty line.
    EXPECT_EQ(L"a\nb\nc", BreakIntoLines(dc, L"abc", 1));
    const std::wstring header = L"Receiving: a-name-much-wider-than-the-limit-given-here.txt";
    const std::wstring lines = BreakIntoLines(dc, header, 60);
    std::wstring joined;
    size_t start = 0;
    while (start <= lines.size()) {
        size_t end = lines.find(L'\n', start);
        if (end == std::wstring::npos) end = lines.size();
        const std::wstring line = lines.substr(start, end - start);
        SIZE size;
        GetTextExtentPoint32W(dc, line.c_str(), static_cast<int>(line.size()), &size);
        EXPECT_LE(size.cx, 60) << std::string(line.begin(), line.end());
        joined += line;
        start = end + 1;
    }
    EXPECT_EQ(header, joined);
    ReleaseDC(nullptr, dc);
}

TEST_F(TransferPage, EnterDoesNothingAndNoKeepsTheTransfer)
{
    ASSERT_NO_FATAL_FAILURE(Open(kPath));
    // Enter, as the dialog manager passes it on.
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    ShownBox question;
    bool openAfterNo = false;
    Script script({AnswerBox(owner, &question, IDNO), Pause(300), Do([&] {
                       NoBoxOver(frame);
                       openAfterNo = !Closed();
                   })});
    script.Start();
    // The Cancel button, pressed.
    Click(window, IDCANCEL);
    EXPECT_TRUE(gui::PumpUntil([&] { return script.Finished(); }));
    EXPECT_EQ(LanguageTable[127], question.text);
    EXPECT_EQ(LanguageTable[28], question.caption);
    EXPECT_EQ(BoxIcon(MB_ICONQUESTION), question.icon);
    EXPECT_TRUE(openAfterNo);
    // The page still follows its transfer.
    PostProgress(kId, 1000, 250);
    EXPECT_TRUE(gui::PumpUntil([&] { return page->GetProgress() == 75; }));
}

TEST_F(TransferPage, YesCancelsAndTheConversationWindowLosesTheTab)
{
    ASSERT_NO_FATAL_FAILURE(Open(kPath));
    ShownBox question, cancelled;
    Script script({AnswerBox(owner, &question, IDYES), AnswerBox(owner, &cancelled)});
    script.Start();
    // Closing the tab asks the page.
    tabbed.CloseCurrentTab();
    EXPECT_TRUE(script.Finished());
    EXPECT_EQ(LanguageTable[127], question.text);
    EXPECT_EQ(LanguageTable[86], cancelled.text);
    EXPECT_TRUE(Closed());
    EXPECT_EQ(1, Strip().GetItemCount());
    EXPECT_EQ(0, Strip().GetCurSel());
}

TEST_F(TransferPage, AClosingPageTakesItsTabWhereverItWasDragged)
{
    ASSERT_NO_FATAL_FAILURE(Open(kPath));
    ASSERT_TRUE(Strip().MoveItem(1, 0));
    ASSERT_EQ(window, Strip().GetItem(0)->GetTabView());
    Post(VE_TransferComplete, kId);
    EXPECT_EQ(LanguageTable[85], EndsWithBox().text);
    ASSERT_EQ(1, Strip().GetItemCount());
    EXPECT_EQ(contacts, Strip().GetItem(0)->GetTabView());
}

TEST_F(TransferPage, TwoEventsAreTakenInTwoTicks)
{
    ASSERT_NO_FATAL_FAILURE(Open(kPath));
    PostProgress(kId, 1000, 500);
    Post(VE_TransferComplete, kId);
    ShownBox box;
    Script script({AnswerBox(owner, &box)});
    script.Start();
    // Ticks given by hand, nothing pumped between them.
    SendMessageW(window, WM_TIMER, CFileTransferDlg::kTimerId, 0);
    EXPECT_EQ(50, page->GetProgress());
    EXPECT_FALSE(script.Finished());
    EXPECT_FALSE(Closed());
    SendMessageW(window, WM_TIMER, CFileTransferDlg::kTimerId, 0);
    EXPECT_TRUE(script.Finished());
    EXPECT_EQ(LanguageTable[85], box.text);
    EXPECT_TRUE(Closed());
}

TEST_F(TransferPage, EventsWaitWhileTheCancelQuestionIsOpen)
{
    ASSERT_NO_FATAL_FAILURE(Open(kPath));
    ShownBox question, complete;
    bool openWhileAsked = false;
    Script script({Do([&] { Post(VE_TransferComplete, kId); }), Pause(400), Do([&] {
                       // One box at a time, and the page still there.
                       openWhileAsked = !Closed() && OwnedDialogs(frame).size() == 1;
                   }),
                   AnswerBox(owner, &question, IDNO), AnswerBox(owner, &complete)});
    script.Start();
    page->AskCancel();
    EXPECT_TRUE(gui::PumpUntil([&] { return Closed() && script.Finished(); }));
    EXPECT_TRUE(openWhileAsked);
    EXPECT_EQ(LanguageTable[127], question.text);
    EXPECT_EQ(LanguageTable[85], complete.text);
}

TEST_F(TransferPage, ASessionResetDuringAnOpenBoxLeavesThePageToThatBox)
{
    ASSERT_NO_FATAL_FAILURE(Open(kPath));
    Post(VE_TransferComplete, kId);
    ShownBox complete;
    size_t boxesAfterReset = 0;
    int tabsAfterReset = 0;
    Script script({[&] { return FindOwnedDialog(frame) != nullptr; }, Do([&] {
                       // What the main frame does on a session reset.
                       tabbed.CloseAllButFirst();
                       boxesAfterReset = OwnedDialogs(frame).size();
                       tabsAfterReset = Strip().GetItemCount();
                   }),
                   AnswerBox(owner, &complete)});
    script.Start();
    EXPECT_TRUE(gui::PumpUntil([&] { return Closed() && script.Finished(); }));
    EXPECT_EQ(1u, boxesAfterReset);
    EXPECT_EQ(2, tabsAfterReset);
    EXPECT_EQ(LanguageTable[85], complete.text);
    EXPECT_EQ(1, Strip().GetItemCount());
}

TEST_F(TransferPage, AReceiveThatCouldNotStartShowsWhyAndOnlyOnItsOwnPage)
{
    ASSERT_NO_FATAL_FAILURE(Open(kPath));
    // Another receive refused for the same file, and an offer of a file of
    // that name that could not be made: neither is this page's.
    Broadcast(VE_FileOfferFailed, VoipEventTransferAnswer{kOtherId, kPath, "Another receive."});
    Broadcast(VE_FileOfferFailed, VoipEventTransferAnswer{"bob@pelvane.test", kPath, "An offer."});
    EXPECT_EQ(L"", Answering(owner, [&] { Ticks(4); }).text);
    EXPECT_FALSE(Closed());
    Broadcast(VE_FileOfferFailed, VoipEventTransferAnswer{kId, kPath, GetLanguageString(68)});
    EXPECT_EQ(LanguageTable[68], EndsWithBox().text);
    EXPECT_EQ(1, Strip().GetItemCount());
}

TEST_F(TransferPage, AnEndThatCameWhileTheCancelQuestionWasOpenIsReportedAsItWas)
{
    const EndCase cases[] = {
        {"complete", [] { Post(VE_TransferComplete, kId); }, 85},
        {"failed", [] { PostPair(VE_TransferFailed, kId, "Disk full"); }, 97},
        {"cancelled by the peer", [] { Post(VE_TransferCancelled, kId); }, 83},
        // Progress is no end: the cancel ends it.
        {"still running", [] { PostProgress(kId, 1000, 500); }, 86},
    };
    for (const EndCase& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_NO_FATAL_FAILURE(Open(kPath));
        ShownBox question, end;
        Script script({Do(c.post), Pause(300), AnswerBox(owner, &question, IDYES), AnswerBox(owner, &end)});
        script.Start();
        page->AskCancel();
        EXPECT_TRUE(gui::PumpUntil([&] { return Closed() && script.Finished(); }));
        EXPECT_EQ(LanguageTable[127], question.text);
        EXPECT_EQ(LanguageTable[c.text], end.text);
        EXPECT_EQ(1, Strip().GetItemCount());
    }
}

TEST_F(TransferPage, ASessionResetReportsTheEndItBroughtWithoutAsking)
{
    ASSERT_NO_FATAL_FAILURE(Open(kPath));
    // A reset reports every transfer failed, then the frame closes the pages.
    PostPair(VE_TransferFailed, kId, GetLanguageString(97));
    ShownBox box;
    Script script({AnswerBox(owner, &box)}, 3000);
    script.Start();
    tabbed.CloseAllButFirst();
    EXPECT_TRUE(gui::PumpUntil([&] { return Closed() && script.Finished(); }, 5000));
    EXPECT_EQ(LanguageTable[97], box.text);
    EXPECT_EQ(1, Strip().GetItemCount());
}
