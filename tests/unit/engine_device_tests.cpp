// AudioEngine with real devices: run against a private sound server of null
// devices, whose microphone delivers paced silence. What the engine sends is
// read on a socket of the test; what it plays is fed from that socket.
#include <winsock2.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "crypto/CryptoCore.h"
#include "media/AudioEngine.h"
#include "media/CodecSet.h"
#include "media/VoicePacket.h"
#include "ProcessCounts.h"

namespace {

const uint32_t kLoopback = 0x7F000001;

// One side of a start-and-stop race: runs its action a number of times,
// with pauses of a few milliseconds that vary from round to round.
struct RaceSide {
    AudioEngine* engine;
    void (*action)(AudioEngine& engine);
    int rounds;

    static DWORD WINAPI Main(LPVOID self)
    {
        const RaceSide& side = *static_cast<RaceSide*>(self);
        for (int i = 0; i < side.rounds; ++i) {
            side.action(*side.engine);
            Sleep(static_cast<DWORD>((i * 7) % 23));
        }
        return 0;
    }
};

struct Datagram {
    std::vector<unsigned char> bytes;
    DWORD at;
};

class Engine : public ::testing::Test {
protected:
    void SetUp() override
    {
        WSADATA wsa;
        ASSERT_EQ(0, WSAStartup(MAKEWORD(2, 2), &wsa));
        ASSERT_TRUE(GetCodecSet()->Init());
        GetCodecSet()->SetType(CodecSet::kAmrMode1);
        ASSERT_TRUE(peerCodecs_.Init());
        peerCodecs_.SetType(CodecSet::kAmrMode1);
        ASSERT_TRUE(engine_.OpenSocket(0));
        ASSERT_TRUE(peer_.Open(0));
        engine_.SetRemote(kLoopback, peer_.GetLocalPort());
        peer_.SetDestination(kLoopback, engine_.GetSocket()->GetLocalPort());
    }
    void TearDown() override
    {
        engine_.SignalStop();
        engine_.Stop();
        engine_.CloseSocket();
        peer_.Close();
        WSACleanup();
    }

    // What reaches the peer's socket within ms milliseconds.
    std::vector<Datagram> Collect(DWORD ms)
    {
        std::vector<Datagram> got;
        DWORD start = GetTickCount();
        while (GetTickCount() - start < ms) {
            unsigned char buffer[UdpSocket::kReceiveBytes];
            int n = peer_.Receive(buffer);
            if (n >= 0)
                got.push_back({std::vector<unsigned char>(buffer, buffer + n), GetTickCount()});
            else
                Sleep(2);
        }
        return got;
    }

    void SendVoice(int datagrams)
    {
        std::vector<int16_t> tone(CodecSet::kSamples);
        for (int i = 0; i < CodecSet::kSamples; ++i)
            tone[i] = static_cast<int16_t>((i % 20) * 800 - 8000);
        for (int d = 0; d < datagrams; ++d) {
            VoicePacker packer;
            for (int f = 0; f < VoicePacket::kFrames; ++f)
                packer.AddBlock(peerCodecs_, tone.data(), VoicePacket::kBlockBytes,
                                VoicePacket::kBlockBytes);
            unsigned char out[VoicePacket::kDatagramBytes];
            ASSERT_TRUE(peer_.Send(out, packer.Seal(*GetCryptoCore(), out)));
        }
    }

    // The sound server takes about a second to deliver the first captured
    // audio; voice then flows every 320 ms.
    bool VoiceFlows()
    {
        return Within(3000, [&] { return !Collect(20).empty(); });
    }

    // Polls for up to ms until the condition holds.
    template <typename F>
    static bool Within(DWORD ms, F condition)
    {
        DWORD start = GetTickCount();
        do {
            if (condition())
                return true;
            Sleep(5);
        } while (GetTickCount() - start < ms);
        return condition();
    }

    AudioEngine engine_;
    UdpSocket peer_;
    CodecSet peerCodecs_;
};

}  // namespace

TEST_F(Engine, SendsOneDatagramPerSixteenCapturedBlocks)
{
    ASSERT_TRUE(engine_.Start());
    ASSERT_TRUE(VoiceFlows());
    std::vector<Datagram> got = Collect(2000);
    // 320 ms of audio each: about six in two seconds.
    EXPECT_GE(got.size(), 5u);
    EXPECT_LE(got.size(), 8u);
    for (const Datagram& d : got) {
        ASSERT_EQ(225u, d.bytes.size());
        EXPECT_EQ(0, d.bytes.back());
    }
    for (size_t i = 1; i < got.size(); ++i) {
        DWORD gap = got[i].at - got[i - 1].at;
        EXPECT_GT(gap, 150u);
        EXPECT_LT(gap, 500u);
    }
}

TEST_F(Engine, ALateAddressDoesNotReviveStoppingMedia)
{
    ASSERT_TRUE(engine_.Start());
    ASSERT_TRUE(VoiceFlows());
    engine_.SignalStop();
    engine_.SetRemote(kLoopback, peer_.GetLocalPort());
    Collect(400);
    EXPECT_TRUE(Collect(1000).empty());
    DWORD start = GetTickCount();
    EXPECT_TRUE(engine_.Stop());
    EXPECT_LT(GetTickCount() - start, 2000u);
    EXPECT_FALSE(engine_.IsRunning());
}

TEST_F(Engine, EveryCallStartsAfreshWithItsVolume)
{
    const uint32_t half = PercentToVolume(50);
    engine_.SetVolume(half);
    for (int call = 0; call < 3; ++call) {
        SCOPED_TRACE(call);
        engine_.SetState(AudioEngine::kStateTalking);
        ASSERT_TRUE(engine_.Start());
        EXPECT_FALSE(engine_.Start());
        // A mono device keeps one level, in the low half of the word.
        EXPECT_TRUE(Within(1000, [&] {
            return (engine_.GetPlaybackVolume() & 0xFFFF) == (half & 0xFFFF);
        }));
        EXPECT_TRUE(VoiceFlows());
        engine_.SignalStop();
        engine_.SetState(AudioEngine::kStateProbing);
        EXPECT_TRUE(engine_.Stop());
        EXPECT_FALSE(engine_.IsRunning());
    }
}

TEST_F(Engine, ProbesGoOutOnlyWhileTheMediaIsIdle)
{
    const std::string id = "brannow_simul_2";
    EXPECT_TRUE(engine_.SendProbe("127.0.0.1", peer_.GetLocalPort(), id));
    std::vector<Datagram> got = Collect(300);
    ASSERT_EQ(1u, got.size());
    EXPECT_EQ(id.size() + 1, got[0].bytes.size());
    EXPECT_EQ(0, std::memcmp(id.c_str(), got[0].bytes.data(), id.size() + 1));
    EXPECT_FALSE(engine_.SendProbe("no-such-host.invalid", peer_.GetLocalPort(), id));

    ASSERT_TRUE(engine_.Start());
    EXPECT_FALSE(engine_.SendProbe("127.0.0.1", peer_.GetLocalPort(), id));
    ASSERT_TRUE(VoiceFlows());
    for (const Datagram& d : Collect(500))
        EXPECT_EQ(225u, d.bytes.size());
}

TEST_F(Engine, PlaysWhatArrivesOnlyWhileTalkingAndBoundsTheQueue)
{
    engine_.SetState(AudioEngine::kStateProbing);
    ASSERT_TRUE(engine_.Start());
    Sleep(300);  // playback has begun
    SendVoice(3);
    Sleep(150);
    EXPECT_EQ(0u, engine_.GetPlaybackQueueLength());

    engine_.SetState(AudioEngine::kStateTalking);
    SendVoice(5);  // 80 blocks, 1.6 s of audio
    EXPECT_TRUE(Within(300, [&] { return engine_.GetPlaybackQueueLength() > 0; }));
    Sleep(100);
    EXPECT_LE(engine_.GetPlaybackQueueLength(), AudioEngine::kMaxPlaybackBlocks);
    // One block every 18 ms: the bounded queue drains in about a second.
    EXPECT_TRUE(Within(2500, [&] { return engine_.GetPlaybackQueueLength() == 0; }));
}

// An accept on the window's thread meets a hang-up on a core thread: the
// two must take turns, or a thread outlives its handle or a handle is
// closed twice. After the last stop, all that any start made is gone.
TEST_F(Engine, StartsAndStopsFromTwoThreadsLeaveNoThreadOrHandle)
{
    // The sound system keeps threads and handles of its own after the first
    // open, and ends one of its threads a moment after every close.
    ASSERT_TRUE(engine_.Start());
    engine_.SignalStop();
    engine_.Stop();
    Sleep(1000);
    const int threads = ProcessThreadCount();
    const int handles = ProcessHandleCount();
    ASSERT_GT(threads, 0);
    ASSERT_GT(handles, 0);

    const int rounds = 25;
    RaceSide starter = {&engine_, [](AudioEngine& e) { e.Start(); }, rounds};
    RaceSide stopper = {&engine_, [](AudioEngine& e) {
                            e.SignalStop();
                            e.Stop();
                        }, rounds};
    HANDLE sides[] = {CreateThread(nullptr, 0, RaceSide::Main, &starter, 0, nullptr),
                      CreateThread(nullptr, 0, RaceSide::Main, &stopper, 0, nullptr)};
    ASSERT_NE(nullptr, sides[0]);
    ASSERT_NE(nullptr, sides[1]);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForMultipleObjects(2, sides, TRUE, 60000));
    CloseHandle(sides[0]);
    CloseHandle(sides[1]);

    engine_.SignalStop();
    EXPECT_TRUE(engine_.Stop());
    EXPECT_FALSE(engine_.IsRunning());
    EXPECT_TRUE(Within(3000, [&] {
        return ProcessThreadCount() == threads && ProcessHandleCount() == handles;
    })) << ProcessThreadCount() << " threads and " << ProcessHandleCount() << " handles, "
        << threads << " and " << handles << " before";

    // And the engine still works.
    ASSERT_TRUE(engine_.Start());
    EXPECT_TRUE(VoiceFlows());
}
