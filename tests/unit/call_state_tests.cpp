// The call state machine as the dispatch drives it, fed with server bodies:
// which command is taken in which state, and what each one changes. There
// is no link, so nothing the handlers send leaves.
#include <winsock2.h>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "crypto/CryptoCore.h"
#include "media/CodecSet.h"
#include "media/UdpSocket.h"
#include "ProcessCounts.h"
#include "ServerBody.h"
#include "session/VoIPManager.h"

namespace {

class CallState : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(GetCodecSet()->Init()); }

    void SetUp() override
    {
        manager.reset(new VoIPManager);
        manager->GetHandlerRegistry().RegisterHandler(&events);
    }
    void TearDown() override
    {
        manager->GetHandlerRegistry().Clear();
        Events();
    }

    void Deliver(const Body& body) { DeliverBody(*manager, body.bytes, body.bytes.size()); }
    std::vector<std::string> Events() { return DrainEvents(events); }

    // An incoming call from alice with the given offer.
    void Ring(uint32_t offer = 0x30F, bool twin = false)
    {
        Deliver(Body(twin ? 109 : 8, twin).Text("alice@pelvane.test").Text("Alice").U32(offer));
    }
    void DirectProbing() { Deliver(Body(9).U32(0x7F000001).U32(11500)); }

    std::unique_ptr<VoIPManager> manager;
    CoreMessageHandler events;
};

typedef std::vector<std::string> Seen;

TEST_F(CallState, AnIncomingCallIsTakenOnlyWhileIdle)
{
    Ring(0x30F, true);
    EXPECT_EQ(1, manager->GetCallState());
    EXPECT_EQ(Seen{"14:alice@pelvane.test|Alice"}, Events());
    EXPECT_EQ(CodecSet::kAmrMode1, GetCodecSet()->GetType());
    EXPECT_EQ(256, manager->GetAudioEngine().GetCallMode());

    // Busy: a second call is ignored, the state stays.
    Ring(0x208);
    EXPECT_EQ(1, manager->GetCallState());
    EXPECT_EQ(Seen{}, Events());
    EXPECT_EQ(CodecSet::kAmrMode1, GetCodecSet()->GetType());
}

TEST_F(CallState, ProbingCommandsCountOnlyInTheirState)
{
    // Direct probing while idle is ignored.
    DirectProbing();
    EXPECT_EQ(0, manager->GetCallState());
    EXPECT_EQ(Seen{}, Events());

    Ring();
    Events();
    // Server probing and media connected need a probe report first.
    Deliver(Body(14).Str("127.0.0.1").U32(20016));
    Deliver(Body(11));
    EXPECT_EQ(1, manager->GetCallState());
    EXPECT_EQ(Seen{}, Events());

    DirectProbing();
    EXPECT_EQ(2, manager->GetCallState());
    EXPECT_EQ(Seen{"12:Direct probing..."}, Events());
    // A second one, and server probing before the report, change nothing.
    DirectProbing();
    Deliver(Body(14).Str("127.0.0.1").U32(20016));
    EXPECT_EQ(2, manager->GetCallState());
    EXPECT_EQ(Seen{}, Events());
}

TEST_F(CallState, KeysAndAcceptanceAreRefusedOutsideTheirState)
{
    CryptoCore* crypto = GetCryptoCore();
    ASSERT_TRUE(crypto->GenerateKeys());
    std::wstring before = crypto->GetVerificationCode();
    BufList offer;
    ASSERT_TRUE(crypto->MakeKeyOffer(offer));
    Body keyOffer(15);
    for (const Buf& v : offer)
        keyOffer.Blob(v);

    // Idle: an offer would re-key the voice cipher of whatever runs.
    Deliver(keyOffer);
    EXPECT_EQ(before, crypto->GetVerificationCode());
    // The peer's acceptance before the media is connected is ignored.
    Deliver(Body(12).U32(CodecSet::kAmrMode7).U32(512));
    EXPECT_EQ(Seen{}, Events());

    // Agreed: the offer is taken.
    Ring();
    Events();
    Deliver(keyOffer);
    const std::wstring agreed = crypto->GetVerificationCode();
    EXPECT_NE(before, agreed);
    EXPECT_EQ(5u, manager->GetVerificationCode().size());

    // The server may start the probing before it passes a key on: an offer
    // is still taken while the path is probed.
    DirectProbing();
    ASSERT_EQ(2, manager->GetCallState());
    ASSERT_TRUE(crypto->MakeKeyOffer(offer));
    Body later(15);
    for (const Buf& v : offer)
        later.Blob(v);
    Deliver(later);
    EXPECT_NE(agreed, crypto->GetVerificationCode());
}

TEST_F(CallState, ARefusalOrAnEndReturnsToIdleAndAStrayReplyIsIgnored)
{
    // No call was placed: a reply of either kind changes nothing.
    for (uint32_t code : {0u, 3u}) {
        Deliver(Body(7).U32(code));
        EXPECT_EQ(0, manager->GetCallState());
        EXPECT_EQ(Seen{}, Events());
    }
    Ring();
    Events();
    Deliver(Body(13));
    EXPECT_EQ(0, manager->GetCallState());
    EXPECT_EQ(Seen{"17"}, Events());
    // Hang-up while idle still reports the end.
    manager->EndCall();
    EXPECT_EQ(Seen{"17"}, Events());
    Deliver(Body(44));
    EXPECT_EQ(Seen{"36"}, Events());
}

TEST_F(CallState, AResetEndsTheCallSoTheNextOneIsTaken)
{
    Ring();
    DirectProbing();
    Events();
    manager->ResetSession();
    EXPECT_EQ(0, manager->GetCallState());
    EXPECT_EQ((Seen{"17", "5"}), Events());
    Ring();
    EXPECT_EQ(1, manager->GetCallState());
    EXPECT_EQ(Seen{"14:alice@pelvane.test|Alice"}, Events());
}

// The callee accepts first and talks; the server then passes the caller's
// acceptance on. Run with a sound server of null devices, so that the
// callee's media really starts.
TEST_F(CallState, ATalkingCalleeTakesTheCallersAcceptanceWithoutASecondStart)
{
    Ring();
    Events();
    ASSERT_TRUE(manager->AcceptCall());
    ASSERT_EQ(6, manager->GetCallState());
    ASSERT_TRUE(manager->GetAudioEngine().IsRunning());
    const int threads = ProcessThreadCount();

    // Taken once: a repeated acceptance is ignored.
    for (int i = 0; i < 2; ++i)
        Deliver(Body(12).U32(CodecSet::kAmrMode1).U32(256));
    EXPECT_EQ(Seen{"16"}, Events());
    EXPECT_EQ(6, manager->GetCallState());
    // A second accept finds the media running and starts nothing.
    EXPECT_TRUE(manager->AcceptCall());
    EXPECT_EQ(threads, ProcessThreadCount());
    EXPECT_TRUE(manager->GetAudioEngine().IsRunning());

    manager->EndCall();
    EXPECT_FALSE(manager->GetAudioEngine().IsRunning());
}

// Where this side's voice goes in the cases below: a socket of the test's
// own, which counts what arrives.
class VoiceListener {
public:
    VoiceListener()
    {
        WSADATA wsa;
        started_ = WSAStartup(MAKEWORD(2, 2), &wsa) == 0;
        open_ = started_ && socket_.Open(0);
    }
    ~VoiceListener()
    {
        socket_.Close();
        if (started_)
            WSACleanup();
    }
    bool IsOpen() const { return open_; }
    uint16_t Port() { return socket_.GetLocalPort(); }
    // The datagrams that arrive within ms.
    int CountFor(DWORD ms)
    {
        int count = 0;
        const DWORD start = GetTickCount();
        while (GetTickCount() - start < ms) {
            unsigned char buffer[UdpSocket::kReceiveBytes];
            if (socket_.Receive(buffer) >= 0)
                ++count;
            else
                Sleep(2);
        }
        return count;
    }
    // The first datagram, within ms: the sound server takes about a second
    // to deliver the first captured audio, then voice leaves every 320 ms.
    bool Arrives(DWORD ms)
    {
        const DWORD start = GetTickCount();
        while (GetTickCount() - start < ms)
            if (CountFor(20) > 0)
                return true;
        return false;
    }
    // What left before now and still waits.
    void Drain()
    {
        unsigned char buffer[UdpSocket::kReceiveBytes];
        while (socket_.Receive(buffer) >= 0) {
        }
    }

private:
    bool started_ = false;
    bool open_ = false;
    UdpSocket socket_;
};

// However the call ends, the core stops its media as it takes the end, with
// no window to help: nothing of the call leaves afterwards, and the next
// call starts its media as the first did.
TEST_F(CallState, EveryEndOfACallStopsItsMediaAndTheNextCallTalksAgain)
{
    VoiceListener peer;
    ASSERT_TRUE(peer.IsOpen());
    AudioEngine& engine = manager->GetAudioEngine();
    ASSERT_TRUE(engine.OpenSocket(0));
    const struct {
        const char* name;
        std::function<void()> end;
        Seen events;
    } endings[] = {
        {"the peer hangs up", [this] { Deliver(Body(13)); }, {"17"}},
        {"this side hangs up", [this] { manager->EndCall(); }, {"17"}},
        {"the session is reset", [this] { manager->ResetSession(); }, {"17", "5"}},
        // Once more: the call after a peer's hang-up is a call as any.
        {"the peer hangs up again", [this] { Deliver(Body(13)); }, {"17"}},
    };
    for (const auto& e : endings) {
        SCOPED_TRACE(e.name);
        Ring();
        engine.SetRemote(0x7F000001, peer.Port());
        ASSERT_TRUE(manager->AcceptCall());
        ASSERT_TRUE(peer.Arrives(3000));
        Events();

        e.end();
        EXPECT_EQ(0, manager->GetCallState());
        EXPECT_EQ(e.events, Events());
        EXPECT_FALSE(engine.IsRunning());
        peer.Drain();
        // Three datagrams' time.
        EXPECT_EQ(0, peer.CountFor(1000));
    }
    engine.CloseSocket();
}

// The peer's hang-up and this side's accept race: an accept taken after the
// end starts nothing; the accept reports the call ended, as a failed start
// does.
TEST_F(CallState, AnAcceptAfterTheEndStartsNoMedia)
{
    Ring();
    Deliver(Body(13));
    EXPECT_EQ((Seen{"14:alice@pelvane.test|Alice", "17"}), Events());
    EXPECT_FALSE(manager->AcceptCall());
    EXPECT_FALSE(manager->GetAudioEngine().IsRunning());
    EXPECT_EQ(0, manager->GetCallState());
    EXPECT_EQ(Seen{"17"}, Events());
}

// The peer's hang-up, taken on the connect thread, after a pause.
struct PeerHangUp {
    VoIPManager* manager;
    DWORD delayMs;

    static DWORD WINAPI Main(LPVOID self)
    {
        const PeerHangUp& p = *static_cast<PeerHangUp*>(self);
        Sleep(p.delayMs);
        const Body end(13);
        DeliverBody(*p.manager, end.bytes, end.bytes.size());
        return 0;
    }
};

// The peer hangs up while this side accepts, or hangs up too, on the
// window's thread. Whichever comes first, both return, and no media runs
// after them.
TEST_F(CallState, AnEndRacingAnAcceptOrAHangUpLeavesNoMedia)
{
    AudioEngine& engine = manager->GetAudioEngine();
    const struct {
        const char* name;
        bool talking;
        std::function<void()> act;
    } races[] = {
        {"accept", false, [this] { manager->AcceptCall(); }},
        {"hang-up", true, [this] { manager->EndCall(); }},
    };
    for (const auto& race : races) {
        for (DWORD round = 0; round < 6; ++round) {
            SCOPED_TRACE(std::string(race.name) + " round " + std::to_string(round));
            Ring();
            if (race.talking) {
                ASSERT_TRUE(manager->AcceptCall());
            }
            PeerHangUp peer{manager.get(), round * 4};
            HANDLE thread = CreateThread(nullptr, 0, PeerHangUp::Main, &peer, 0, nullptr);
            ASSERT_NE(nullptr, thread);
            Sleep(10);
            race.act();
            EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, 10000));
            CloseHandle(thread);
            EXPECT_FALSE(engine.IsRunning());
            EXPECT_EQ(0, manager->GetCallState());
            Events();
        }
    }
}

// A page that goes while its media runs ends its call by the media's
// number; a number of an earlier call ends nothing of a later one.
TEST_F(CallState, OnlyTheMediaOfItsOwnNumberIsEndedByIt)
{
    AudioEngine& engine = manager->GetAudioEngine();
    Ring();
    ASSERT_TRUE(manager->AcceptCall());
    const uint32_t first = manager->GetMediaNumber();
    manager->EndCall();
    EXPECT_FALSE(manager->EndCallOfMedia(first));
    Ring();
    ASSERT_TRUE(manager->AcceptCall());
    const uint32_t second = manager->GetMediaNumber();
    EXPECT_NE(first, second);
    Events();

    EXPECT_FALSE(manager->EndCallOfMedia(first));
    EXPECT_TRUE(engine.IsRunning());
    EXPECT_EQ(6, manager->GetCallState());
    EXPECT_EQ(Seen{}, Events());

    EXPECT_TRUE(manager->EndCallOfMedia(second));
    EXPECT_FALSE(engine.IsRunning());
    EXPECT_EQ(0, manager->GetCallState());
    EXPECT_EQ(Seen{"17"}, Events());
    EXPECT_FALSE(manager->EndCallOfMedia(second));
}

}  // namespace
