// The call page as the conversation window opens it: its states under the
// core's events (one per poll), accepting and hanging up, the numbered test
// instances that answer or hang up by themselves, the volume, the ringing
// bar, the speak buttons, and the page closing its own tab. The polls are
// the test's own (the window's 500 ms timer is stopped), the clock is the
// test's, and the sounds are recorded instead of played. Screenshots:
// call_page_*.png.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/Locks.h"
#include "CallDlg.h"
#include "ConversationHost.h"
#include "crypto/CryptoCore.h"
#include "DialogTestKit.h"
#include "GuiHarness.h"
#include "media/SoundSet.h"
#include "session/VoIPManager.h"
#include "settings/AppConfig.h"
#include "settings/LanguageTable.h"
#include "TabbedWnd.h"

namespace {
// The test's clock.
uint32_t g_now = 1000000;
uint32_t Now() { return g_now; }

// The sounds asked for, by name; a ring that loops says so.
std::vector<std::string> g_played;

std::string SoundName(const wchar_t* path, UINT flags)
{
    if (!path) return "stop";
    static const char* const kNames[SoundSet::kSlots] = {"dialing",        "caller ring", "end",
                                                         "recipient ring", "started",     "message"};
    for (int slot = 0; slot < SoundSet::kSlots; ++slot)
        if (lstrcmpW(path, GetSoundSet()->GetPath(static_cast<SoundSet::Slot>(slot))) == 0)
            return std::string(kNames[slot]) + ((flags & SND_LOOP) ? " loop" : "");
    return "?";
}

BOOL WINAPI RecordSound(LPCWSTR path, UINT flags)
{
    g_played.push_back(SoundName(path, flags));
    return TRUE;
}

typedef std::vector<std::string> Sounds;

struct CallPage : dlgtest::DialogTest {
    ConversationHost host;
    FrameStandIn& frame = host.frame;
    CTabbedWnd& tabbed = host.tabbed;
    HWND contacts = nullptr;
    CCallDlg* page = nullptr;
    HWND pageWindow = nullptr;

    void SetUp() override
    {
        DialogTest::SetUp();
        SetTickSource(Now);
        g_played.clear();
        GetSoundSet()->SetPlayer(RecordSound);
        GetAppConfig()->SetVolumePercent(95);
        GetVoIPManager()->GetAudioEngine().SetCallMode(256);
        ASSERT_TRUE(host.Create(480, 460));
        // The polls are the test's own.
        tabbed.KillTimer(CTabbedWnd::kPollTimer);
        ASSERT_TRUE(contacts = host.AddContactsTab());
    }
    void TearDown() override
    {
        host.Destroy();
        GetSoundSet()->SetPlayer(nullptr);
        SetTickSource(nullptr);
        DialogTest::TearDown();
    }

    void Open(bool outgoing)
    {
        ASSERT_TRUE(tabbed.OpenCallPage("alice@example.com", L"Alice", outgoing));
        ASSERT_EQ(1u, tabbed.m_callPages.size());
        page = dynamic_cast<CCallDlg*>(tabbed.m_callPages.begin()->second);
        ASSERT_NE(nullptr, page);
        pageWindow = page->m_hWnd;
        gui::PumpMessages(50);
    }

    void Poll() { page->SendMessage(WM_PAGE_POLL); }
    void Press(int id) { page->SendMessage(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), LPARAM(page->GetDlgItem(id))); }
    // What the core queued for the page and the test does not want taken
    // yet: here no sound device lets accepting start the audio, so the core
    // ends the call it was asked to accept.
    void Discard()
    {
        while (VoipEvent* e = page->GetEventHandler().PopEvent()) delete e;
    }
    // Paints until nothing of the page waits to be painted.
    void Settle()
    {
        for (int i = 0; i < 5 && GetUpdateRect(pageWindow, nullptr, FALSE); ++i) UpdateWindow(pageWindow);
    }
    bool Closed() const { return !IsWindow(pageWindow) && tabbed.m_callPages.empty(); }
    // As after a session reset: the window marks the call ended and may
    // then close its tab.
    void CloseThroughWindow()
    {
        tabbed.EndAllCalls();
        tabbed.CloseCurrentTab();
    }
    void WaitUntilClosed()
    {
        gui::PumpUntil([this] { return Closed(); }, 2000);
    }
    Sounds PlayedSince(size_t from) const { return Sounds(g_played.begin() + from, g_played.end()); }

    HWND Item(int id) const { return GetDlgItem(pageWindow, id); }
    bool Shown(int id) const { return (GetWindowLongW(Item(id), GWL_STYLE) & WS_VISIBLE) != 0; }
    RECT InPage(int id) const { return gui::PlaceIn(Item(id), pageWindow); }
    int PageWidth() const
    {
        RECT r;
        GetClientRect(pageWindow, &r);
        return r.right;
    }
    uint32_t EngineVolume() { return GetVoIPManager()->GetAudioEngine().GetVolume(); }
};

// Ways to bring a page into a state.
struct Reach {
    const char* name;
    bool outgoing;
    std::function<void(CallPage&)> steps;
    CallPageState state;
};

const Reach kCalling = {"calling", true, [](CallPage& t) { t.Poll(); }, kCallCalling};
const Reach kIncoming = {"incoming", false, [](CallPage&) {}, kCallRinging};
const Reach kRinging = {"ringing", true,
                        [](CallPage& t) {
                            t.Poll();
                            dlgtest::Post(VE_MediaConnected);
                            t.Poll();
                        },
                        kCallRinging};
const Reach kAnswering = {"answering", false,
                          [](CallPage& t) {
                              t.Press(IDC_ACCEPT);
                              t.Discard();
                          },
                          kCallAnswering};
const Reach kAcceptedAtOnce = {"accepted at once", false,
                               [](CallPage& t) {
                                   t.page->SendMessage(CCallDlg::WM_ACCEPT_CALL);
                                   t.Discard();
                               },
                               kCallTalking};
const Reach kTalking = {"talking", true,
                        [](CallPage& t) {
                            t.Poll();
                            dlgtest::Post(VE_MediaConnected);
                            t.Poll();
                            dlgtest::Post(VE_PeerAccepted);
                            t.Poll();
                            t.Discard();
                        },
                        kCallTalking};
const Reach kRefused = {"refused", true,
                        [](CallPage& t) {
                            t.Poll();
                            dlgtest::PostValue(VE_CallReply, 3);
                            t.Poll();
                        },
                        kCallRefused};
const Reach kCancelled = {"marked ended", true,
                          [](CallPage& t) {
                              t.Poll();
                              t.page->MarkEnded();
                          },
                          kCallEndedBeforeTalking};
const Reach kEnded = {"ended", true,
                      [](CallPage& t) {
                          t.Poll();
                          dlgtest::Post(VE_CallEnded);
                          t.Poll();
                          // The page has left the broadcasts; put back, it
                          // shows what it would make of a late event.
                          GetVoIPManager()->GetHandlerRegistry().RegisterHandler(&t.page->GetEventHandler());
                      },
                      kCallEndedAfterTalking};

void Feed(VoipEventKind kind, int32_t value)
{
    switch (ShapeOfKind(kind)) {
    case VP_Value:
    case VP_Byte:
        dlgtest::PostValue(kind, value);
        break;
    case VP_Text:
        dlgtest::Post(kind, "Direct probing...");
        break;
    default:
        dlgtest::Post(kind);
    }
}

// The red of the ringing bar's fill: its width on the fill's middle row.
int RedWidth(const gui::Pixels& p, const RECT& area)
{
    const int y = (area.top + area.bottom) / 2;
    int width = 0;
    for (int x = area.left; x < area.right; ++x)
        if (gui::Red(p.At(x, y)) > 100 && gui::Green(p.At(x, y)) < 40 && gui::Blue(p.At(x, y)) < 40) ++width;
    return width;
}
}  // namespace

TEST_F(CallPage, OpensAsASelectedTabAndStartsTheCallItsWay)
{
    const struct {
        bool outgoing;
        CallPageState state;
        bool volumeHidden;
        std::vector<int> broadcast;
        Sounds sounds;
        const char* screenshot;
    } cases[] = {
        {true, kCallCalling, true, {VE_CallRequested}, {}, "call_page_calling"},
        {false, kCallRinging, false, {}, {"recipient ring loop"}, "call_page_incoming"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.outgoing ? "outgoing" : "incoming");
        g_played.clear();
        dlgtest::EventProbe probe;
        Open(c.outgoing);
        EXPECT_EQ(L"Alice" + std::wstring(LanguageTable[92]),
                  host.Selected()->GetText());
        EXPECT_EQ(pageWindow, host.Selected()->GetTabView());
        EXPECT_EQ(L"Alice", page->GetDisplayText());
        EXPECT_EQ(c.state, page->GetState());
        EXPECT_TRUE(page->IsCallActive());
        EXPECT_TRUE(tabbed.HasActiveCallPage());
        EXPECT_EQ(c.volumeHidden, page->IsVolumeHidden());
        EXPECT_EQ(!c.volumeHidden, Shown(IDC_VOLUME));
        EXPECT_EQ(c.broadcast, probe.Kinds());
        EXPECT_EQ(c.sounds, g_played);
        // The stored volume, as the trackbar's step and the engine's level.
        EXPECT_EQ(9, SendMessageW(Item(IDC_VOLUME), TBM_GETPOS, 0, 0));
        EXPECT_EQ(PercentToVolume(95), EngineVolume());
        EXPECT_FALSE(IsWindowEnabled(Item(IDC_CALL_LAMP)));

        // The call buttons' row, 30 pixels below the trackbar's place:
        // accept and end apart while an incoming call rings, else the end
        // button alone in the middle.
        Settle();
        const RECT bar = InPage(IDC_VOLUME), end = InPage(IDC_END_CALL);
        EXPECT_EQ(bar.bottom + 30, end.top);
        EXPECT_EQ(73, end.right - end.left);
        EXPECT_EQ(!c.outgoing, Shown(IDC_ACCEPT));
        if (c.outgoing) {
            EXPECT_EQ(PageWidth() / 2 - 36, end.left);
        } else {
            EXPECT_EQ(bar.right - 83, end.left);
            EXPECT_EQ(bar.left + 10, InPage(IDC_ACCEPT).left);
            EXPECT_EQ(end.top, InPage(IDC_ACCEPT).top);
        }
        EXPECT_TRUE(Shown(IDC_OPEN_CHAT) && Shown(IDC_SEND_FILE) && Shown(IDC_END_CALL) && Shown(IDC_CALL_LAMP));
        EXPECT_FALSE(Shown(IDC_SPEAK) || Shown(IDC_SPEAK_WAIT));
        EXPECT_TRUE(gui::SavePng(gui::CaptureScreen(frame), c.screenshot));

        // Enter and Escape, and the chat and file buttons without a main
        // frame, leave the page as it is.
        for (int id : {IDOK, IDCANCEL, IDC_OPEN_CHAT, IDC_SEND_FILE}) Press(id);
        gui::PumpMessages(50);
        EXPECT_TRUE(IsWindow(pageWindow));
        EXPECT_EQ(2, tabbed.m_tabStrip->GetItemCount());

        CloseThroughWindow();
        ASSERT_TRUE(Closed());
    }
}

TEST_F(CallPage, EachEventMovesThePageAsItsStateAllows)
{
    // toCore: taking the event, the page started or ended the call in the
    // core: the engine runs, or the core reports the call ended (as it does
    // when no sound device lets the audio start).
    const struct {
        const Reach& from;
        VoipEventKind kind;
        int32_t value;
        CallPageState to;
        bool repainted;
        Sounds sounds;
        bool toCore;
    } cases[] = {
        {kCalling, VE_CallReply, 0, kCallCalling, true, {}, false},
        {kTalking, VE_CallReply, 0, kCallCalling, true, {}, false},
        {kIncoming, VE_CallReply, 2, kCallRefused, true, {}, false},
        {kRinging, VE_CallRequested, 1, kCallCalling, true, {}, false},
        {kCalling, VE_ProbeStatus, 0, kCallCalling, true, {}, false},
        {kIncoming, VE_CallValue, 7, kCallRinging, true, {}, false},
        {kRefused, VE_CallValue, 7, kCallRefused, false, {}, false},
        {kCancelled, VE_CallValue, 7, kCallEndedBeforeTalking, false, {}, false},
        {kEnded, VE_CallValue, 7, kCallEndedAfterTalking, false, {}, false},
        {kCalling, VE_MediaConnected, 0, kCallRinging, true, {"caller ring loop"}, false},
        {kAnswering, VE_MediaConnected, 0, kCallRinging, true, {"caller ring loop"}, false},
        {kTalking, VE_MediaConnected, 0, kCallRinging, true, {"caller ring loop"}, false},
        {kRefused, VE_MediaConnected, 0, kCallRefused, false, {}, false},
        {kCancelled, VE_MediaConnected, 0, kCallEndedBeforeTalking, false, {}, false},
        {kEnded, VE_MediaConnected, 0, kCallEndedAfterTalking, false, {}, false},
        // The peer's acceptance starts the audio only on the caller's page;
        // the callee's starts with its user's accept, and the acceptance
        // only shows the call as running once that was given.
        {kRinging, VE_PeerAccepted, 0, kCallTalking, true, {"stop", "started"}, true},
        {kIncoming, VE_PeerAccepted, 0, kCallRinging, false, {}, false},
        {kAnswering, VE_PeerAccepted, 0, kCallTalking, true, {"stop", "started"}, false},
        {kAcceptedAtOnce, VE_PeerAccepted, 0, kCallTalking, true, {"stop", "started"}, false},
        {kCalling, VE_CallEnded, 0, kCallEndedAfterTalking, true, {"stop", "end"}, true},
        {kRefused, VE_CallEnded, 0, kCallEndedAfterTalking, true, {"stop", "end"}, true},
        {kCancelled, VE_CallEnded, 0, kCallEndedAfterTalking, true, {"stop", "end"}, true},
        {kEnded, VE_CallEnded, 0, kCallEndedAfterTalking, false, {}, false},
        {kTalking, VE_CallPageSignal, 0, kCallTalking, true, {}, false},
        {kIncoming, VE_SignedIn, 0, kCallRinging, false, {}, false},
        {kIncoming, VE_ChatText, 0, kCallRinging, false, {}, false},
    };
    AudioEngine& engine = GetVoIPManager()->GetAudioEngine();
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.from.name) + " + kind " + std::to_string(c.kind));
        Open(c.from.outgoing);
        c.from.steps(*this);
        ASSERT_EQ(c.from.state, page->GetState());
        Settle();
        const size_t played = g_played.size();
        if (c.kind == VE_ChatText)
            GetVoIPManager()->GetHandlerRegistry().Broadcast(VE_ChatText, VoipEventChat("bob", "Bob", L"Hi"));
        else
            Feed(c.kind, c.value);
        const bool ran = engine.IsRunning();
        dlgtest::EventProbe core;
        Poll();
        EXPECT_EQ(c.to, page->GetState());
        EXPECT_EQ(c.repainted, GetUpdateRect(pageWindow, nullptr, FALSE) != FALSE);
        EXPECT_EQ(c.sounds, PlayedSince(played));
        const std::vector<int> reported = core.Kinds();
        EXPECT_EQ(c.toCore, (!ran && engine.IsRunning())
                                || std::find(reported.begin(), reported.end(), VE_CallEnded) != reported.end());
        if (c.to == kCallRinging && c.kind == VE_MediaConnected) {
            EXPECT_TRUE(Shown(IDC_VOLUME));
        }
        CloseThroughWindow();
        ASSERT_TRUE(Closed());
    }
}

TEST_F(CallPage, FiveQueuedEventsTakeFivePolls)
{
    Open(false);
    dlgtest::EventProbe probe;
    dlgtest::PostValue(VE_CallRequested, 1);
    dlgtest::Post(VE_MediaConnected);
    dlgtest::PostValue(VE_CallReply, 0);
    dlgtest::Post(VE_MediaConnected);
    dlgtest::Post(VE_CallEnded);
    probe.Kinds();
    std::vector<int> states;
    for (int i = 0; i < 6; ++i) {
        Poll();
        states.push_back(page->GetState());
    }
    EXPECT_EQ((std::vector<int>{kCallCalling, kCallRinging, kCallCalling, kCallRinging, kCallEndedAfterTalking,
                                kCallEndedAfterTalking}),
              states);
    // The peer's hang-up is answered with this side's, once.
    EXPECT_EQ(std::vector<int>{VE_CallEnded}, probe.Kinds());
}

TEST_F(CallPage, AcceptingStartsTheAudioAndTalksAfterTheAnsweringDelay)
{
    Open(false);
    dlgtest::EventProbe probe;
    Press(IDC_ACCEPT);
    EXPECT_EQ(kCallAnswering, page->GetState());
    EXPECT_EQ((Sounds{"recipient ring loop", "stop"}), g_played);
    // The call was accepted: the core talks, or, with no sound device to
    // start, it ended the call.
    const std::vector<int> kinds = probe.Kinds();
    EXPECT_TRUE(GetVoIPManager()->GetCallState() == 6 || kinds == std::vector<int>{VE_CallEnded});
    Discard();
    Settle();
    EXPECT_FALSE(Shown(IDC_ACCEPT));
    EXPECT_EQ(PageWidth() / 2 - 36, InPage(IDC_END_CALL).left);

    g_now += CCallDlg::kAnsweringMs;
    Poll();
    EXPECT_EQ(kCallAnswering, page->GetState());
    g_now += 1;
    // The code of an all-zero session key.
    GetCryptoCore()->MakeVerificationCode();
    Poll();
    EXPECT_EQ(kCallTalking, page->GetState());
    Settle();
    gui::Pixels screen = gui::CaptureScreen(frame);
    EXPECT_TRUE(gui::SavePng(screen, "call_page_talking"));
    // The lamp's transparent corner shows the page painted under it.
    POINT corner = {1, 1};
    MapWindowPoints(Item(IDC_CALL_LAMP), pageWindow, &corner, 1);
    POINT inFrame = corner;
    MapWindowPoints(pageWindow, frame, &inFrame, 1);
    EXPECT_TRUE(gui::Near(gui::CaptureClient(pageWindow).At(corner.x, corner.y), screen.At(inFrame.x, inFrame.y), 8));
    // The lamp blinks with the polls while the call runs.
    std::vector<bool> lamp;
    for (int i = 0; i < 3; ++i) {
        Poll();
        lamp.push_back(IsWindowEnabled(Item(IDC_CALL_LAMP)) != FALSE);
    }
    EXPECT_TRUE(lamp[0] != lamp[1] && lamp[1] != lamp[2]);
    // Accepting again does nothing.
    const size_t played = g_played.size();
    Press(IDC_ACCEPT);
    page->SendMessage(CCallDlg::WM_ACCEPT_CALL);
    EXPECT_EQ(kCallTalking, page->GetState());
    EXPECT_TRUE(PlayedSince(played).empty());
}

TEST_F(CallPage, OnlyARingingIncomingCallIsAccepted)
{
    const struct {
        const Reach& from;
        bool byMessage;
        CallPageState to;
        Sounds sounds;
    } cases[] = {
        {kIncoming, true, kCallTalking, {"stop", "started"}},
        {kRinging, true, kCallRinging, {}},
        {kRinging, false, kCallRinging, {}},
        {kCalling, false, kCallCalling, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.from.name) + (c.byMessage ? " by message" : " by button"));
        Open(c.from.outgoing);
        c.from.steps(*this);
        const size_t played = g_played.size();
        if (c.byMessage)
            page->SendMessage(CCallDlg::WM_ACCEPT_CALL);
        else
            Press(IDC_ACCEPT);
        EXPECT_EQ(c.to, page->GetState());
        EXPECT_EQ(c.sounds, PlayedSince(played));
        CloseThroughWindow();
        ASSERT_TRUE(Closed());
    }
}

TEST_F(CallPage, HangingUpTwiceEndsTheCallOnceAndTheEndSoundPlaysOut)
{
    const struct {
        const Reach& from;
        CallPageState to;
        const char* screenshot;
    } cases[] = {
        {kCalling, kCallEndedBeforeTalking, nullptr},
        {kIncoming, kCallEndedBeforeTalking, nullptr},
        {kTalking, kCallEndedAfterTalking, "call_page_ended"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.from.name);
        Open(c.from.outgoing);
        c.from.steps(*this);
        dlgtest::EventProbe probe;
        const size_t played = g_played.size();
        Press(IDC_END_CALL);
        EXPECT_EQ(c.to, page->GetState());
        EXPECT_FALSE(page->IsCallActive());
        EXPECT_FALSE(tabbed.HasActiveCallPage());
        Press(IDC_END_CALL);
        // A poll before the page goes finds nothing left of the call.
        Poll();
        EXPECT_EQ(c.to, page->GetState());
        EXPECT_EQ(std::vector<int>{VE_CallEnded}, probe.Kinds());
        if (c.screenshot) {
            Settle();
            EXPECT_TRUE(gui::SavePng(gui::CaptureClient(pageWindow), c.screenshot));
        }
        WaitUntilClosed();
        ASSERT_TRUE(Closed());
        EXPECT_EQ(1, tabbed.m_tabStrip->GetItemCount());
        EXPECT_EQ(0, tabbed.m_tabStrip->GetCurSel());
        // The end sound is not cut short when the page goes.
        EXPECT_EQ((Sounds{"stop", "end"}), PlayedSince(played));
    }
}

TEST_F(CallPage, ARingingPageClosedByTheWindowStopsItsRing)
{
    Open(false);
    tabbed.EndAllCalls();
    EXPECT_EQ(kCallEndedBeforeTalking, page->GetState());
    EXPECT_FALSE(tabbed.HasActiveCallPage());
    tabbed.CloseCurrentTab();
    ASSERT_TRUE(Closed());
    EXPECT_EQ((Sounds{"recipient ring loop", "stop"}), g_played);
}

TEST_F(CallPage, NumberedInstancesAnswerOrHangUpByThemselves)
{
    const struct {
        int32_t instance;
        bool outgoing;
        CallPageState opened;
        CallPageState at14000;
        CallPageState after;
    } cases[] = {
        {-1, true, kCallCalling, kCallCalling, kCallCalling},
        {-1, false, kCallRinging, kCallRinging, kCallRinging},
        {4, false, kCallAnswering, kCallTalking, kCallTalking},
        {4, true, kCallCalling, kCallCalling, kCallCalling},
        {3, true, kCallCalling, kCallCalling, kCallEndedBeforeTalking},
        {3, false, kCallRinging, kCallRinging, kCallEndedBeforeTalking},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.instance) + (c.outgoing ? " outgoing" : " incoming"));
        GetAppConfig()->SetInstanceIndex(c.instance);
        Open(c.outgoing);
        EXPECT_EQ(c.opened, page->GetState());
        Discard();
        dlgtest::EventProbe probe;
        g_now += CCallDlg::kAutoHangUpMs;
        Poll();
        EXPECT_EQ(c.at14000, page->GetState());
        g_now += 1;
        Poll();
        Poll();
        EXPECT_EQ(c.after, page->GetState());
        // An automatic hang-up runs once.
        EXPECT_EQ(c.after == kCallEndedBeforeTalking ? std::vector<int>{VE_CallEnded} : std::vector<int>{},
                  probe.Kinds());
        CloseThroughWindow();
        ASSERT_TRUE(Closed());
    }
}

TEST_F(CallPage, TheTrackbarSetsTheStoredVolumeAndTheEnginesLevel)
{
    Open(false);
    HWND bar = Item(IDC_VOLUME);
    const struct {
        WPARAM key;
        int position;
        int32_t percent;
    } cases[] = {
        {VK_LEFT, 8, 80}, {VK_LEFT, 7, 70}, {VK_HOME, 0, 0}, {VK_END, 10, 100}, {VK_LEFT, 9, 90},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.position);
        SendMessageW(bar, WM_KEYDOWN, c.key, 0);
        SendMessageW(bar, WM_KEYUP, c.key, 0);
        EXPECT_EQ(c.position, SendMessageW(bar, TBM_GETPOS, 0, 0));
        EXPECT_EQ(c.percent, GetAppConfig()->GetVolumePercent());
        EXPECT_EQ(PercentToVolume(c.percent), EngineVolume());
    }
}

TEST_F(CallPage, TheRingingBarFillsInQuartersWhileTheTrackbarIsHidden)
{
    Open(true);
    kCalling.steps(*this);
    Settle();
    const RECT area = page->GetVolumeArea();
    ASSERT_GT(area.right - area.left, 40);
    // The fill lies 4 pixels inside the bar's frame.
    const int full = (area.right - area.left) - 8;
    for (int i = 0; i < 5 && page->GetRingStep() != 0; ++i) gui::CaptureClient(pageWindow);
    ASSERT_EQ(0, page->GetRingStep());
    std::vector<int> widths;
    for (int i = 0; i < 6; ++i) widths.push_back(RedWidth(gui::CaptureClient(pageWindow), area));
    const int expected[] = {0, full / 4, full / 2, full * 3 / 4, full, 0};
    for (int i = 0; i < 6; ++i) EXPECT_NEAR(expected[i], widths[i], 1) << "paint " << i;

    // Once the callee's phone rings the trackbar shows, and the bar is gone.
    dlgtest::Post(VE_MediaConnected);
    Poll();
    Settle();
    const int step = page->GetRingStep();
    gui::Pixels shown = gui::CaptureClient(pageWindow);
    EXPECT_EQ(step, page->GetRingStep());
    EXPECT_FALSE(page->IsVolumeHidden());
    EXPECT_TRUE(Shown(IDC_VOLUME));
    EXPECT_EQ(0, RedWidth(shown, area));
}

TEST_F(CallPage, TheSpeakButtonsShowOnlyInCallMode512)
{
    for (int32_t mode : {256, 512}) {
        SCOPED_TRACE(mode);
        GetVoIPManager()->GetAudioEngine().SetCallMode(mode);
        Open(true);
        kTalking.steps(*this);
        ASSERT_EQ(kCallTalking, page->GetState());
        Settle();
        const RECT bar = InPage(IDC_VOLUME);
        const int row = bar.bottom + 30;
        EXPECT_EQ(mode == 512, Shown(IDC_SPEAK));
        EXPECT_FALSE(Shown(IDC_SPEAK_WAIT));
        EXPECT_EQ(mode == 512 ? bar.right - 83 : PageWidth() / 2 - 36, InPage(IDC_END_CALL).left);
        if (mode == 512) {
            EXPECT_EQ(bar.left + 10, InPage(IDC_SPEAK).left);
            EXPECT_EQ(row, InPage(IDC_SPEAK).top);
            EXPECT_TRUE(gui::SavePng(gui::CaptureScreen(frame), "call_page_talking_speak"));
            // Pressed, it waits for the answer in its other face.
            Press(IDC_SPEAK);
            EXPECT_FALSE(page->IsSpeakOffered());
            EXPECT_FALSE(Shown(IDC_SPEAK));
            EXPECT_TRUE(Shown(IDC_SPEAK_WAIT));
            Settle();
            EXPECT_EQ(bar.left + 10, InPage(IDC_SPEAK_WAIT).left);
        }
        dlgtest::Post(VE_CallPageSignal);
        Poll();
        Settle();
        EXPECT_TRUE(page->IsSpeakOffered());
        EXPECT_EQ(mode == 512, Shown(IDC_SPEAK));
        EXPECT_FALSE(Shown(IDC_SPEAK_WAIT));
        CloseThroughWindow();
        ASSERT_TRUE(Closed());
    }
}

TEST_F(CallPage, TheVerificationCodeStaysInsideANarrowPage)
{
    GetCryptoCore()->MakeVerificationCode();
    Open(true);
    kTalking.steps(*this);
    ASSERT_EQ(kCallTalking, page->GetState());
    for (int width : {440, 330, 260}) {
        SCOPED_TRACE(width);
        page->MoveWindow(0, 30, width, 420);
        const RECT bar = InPage(IDC_VOLUME);
        gui::Pixels p = gui::CaptureClient(pageWindow);
        // The status line's red, between 60 and 35 pixels above the trackbar.
        int left = p.width, right = -1;
        for (int y = bar.top - 60; y < bar.top - 35; ++y)
            for (int x = 0; x < p.width; ++x)
                if (gui::Red(p.At(x, y)) > 200 && gui::Green(p.At(x, y)) < 80 && gui::Blue(p.At(x, y)) < 80) {
                    left = std::min(left, x);
                    right = std::max(right, x);
                }
        ASSERT_LE(left, right);
        // Nothing of it cut at the line's ends, 30 pixels in from the sides.
        EXPECT_GT(left, 30);
        EXPECT_LT(right, width - 31);
        if (width == 330) {
            EXPECT_TRUE(gui::SavePng(p, "call_page_narrow"));
        }
    }
}

TEST_F(CallPage, ARefusedCallClosesItsOwnTabOnTheWindowsPolls)
{
    Open(true);
    tabbed.SetTimer(CTabbedWnd::kPollTimer, CTabbedWnd::kPollPeriodMs);
    dlgtest::PostValue(VE_CallReply, 3);
    WaitUntilClosed();
    ASSERT_TRUE(Closed());
    EXPECT_EQ(1, tabbed.m_tabStrip->GetItemCount());
    EXPECT_EQ(contacts, tabbed.m_tabStrip->GetItem(0)->GetTabView());
    EXPECT_FALSE(tabbed.HasActiveCallPage());
}

TEST_F(CallPage, AClosingPageTakesItsTabWhereverItWasDragged)
{
    Open(true);
    ASSERT_TRUE(tabbed.m_tabStrip->MoveItem(1, 0));
    ASSERT_EQ(pageWindow, tabbed.m_tabStrip->GetItem(0)->GetTabView());
    tabbed.SetTimer(CTabbedWnd::kPollTimer, CTabbedWnd::kPollPeriodMs);
    dlgtest::PostValue(VE_CallReply, 3);
    WaitUntilClosed();
    ASSERT_TRUE(Closed());
    ASSERT_EQ(1, tabbed.m_tabStrip->GetItemCount());
    EXPECT_EQ(contacts, tabbed.m_tabStrip->GetItem(0)->GetTabView());
}

TEST(CallPageFont, FitFontGivesTheLargestSizeThatFits)
{
    const struct {
        RECT area;
        const wchar_t* text;
        bool bold;
    } cases[] = {
        {{0, 0, 400, 20}, L"Call with Alice", true},
        {{0, 0, 120, 60}, L"Talking - verification code: ", false},
        {{10, 10, 300, 35}, L"Volume", false},
    };
    HDC dc = GetDC(nullptr);
    auto measure = [dc](HFONT font, const wchar_t* text) {
        HGDIOBJ old = SelectObject(dc, font);
        RECT r = {0, 0, 0, 0};
        DrawTextW(dc, text, -1, &r, DT_CALCRECT | DT_SINGLELINE);
        SelectObject(dc, old);
        return SIZE{r.right, r.bottom};
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.text, c.text + lstrlenW(c.text)));
        WTL::CFont font(FitFont(dc, c.bold, c.area, c.text));
        ASSERT_FALSE(font.IsNull());
        LOGFONTW fitted;
        font.GetLogFont(&fitted);
        EXPECT_EQ(c.bold ? FW_BOLD : FW_NORMAL, fitted.lfWeight);
        const SIZE size = measure(font, c.text);
        EXPECT_LT(size.cx, c.area.right - c.area.left);
        EXPECT_LT(size.cy, c.area.bottom - c.area.top);
        // A step is under a pixel: two pixels more no longer fit.
        LOGFONTW larger = fitted;
        larger.lfHeight = fitted.lfHeight - 2;
        WTL::CFont bigger(CreateFontIndirectW(&larger));
        const SIZE more = measure(bigger, c.text);
        EXPECT_TRUE(more.cx >= c.area.right - c.area.left || more.cy >= c.area.bottom - c.area.top);
    }
    ReleaseDC(nullptr, dc);
}
