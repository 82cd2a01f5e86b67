// AudioEngine without sound devices: the call mode word, the volume word,
// and a start that cannot open a device.
#include <winsock2.h>

#include <gtest/gtest.h>

#include "media/AudioEngine.h"

TEST(CallMode, AgreementAndReading)
{
    struct Case {
        int32_t offered;
        int32_t agreed;
        int32_t readAfter;  // starting from 512
    };
    const Case cases[] = {
        {0x20F, 512, 512}, {0x30F, 256, 256}, {0x200, 512, 512}, {0x100, 256, 256},
        {0x00F, 256, 256}, {0, 0, 512},       {-1, 0, 512},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.offered);
        AudioEngine engine;
        engine.SetCallMode(512);
        EXPECT_EQ(c.agreed, engine.AgreeCallMode(c.offered));
        EXPECT_EQ(c.readAfter, engine.GetCallMode());
    }
    AudioEngine engine;
    EXPECT_EQ(256, engine.GetCallMode());
    for (int32_t stored : {0, 1, 255, 257, 768, -512}) {
        engine.SetCallMode(stored);
        EXPECT_EQ(256, engine.GetCallMode()) << stored;
    }
    EXPECT_EQ(0x300, AudioEngine::GetSupportedModes());
}

TEST(Volume, PercentToVolume)
{
    struct Case {
        int32_t percent;
        uint32_t word;
    };
    const Case cases[] = {
        {50, 0x7FFF7FFF}, {100, 0xFFFFFFFF}, {-5, 0},           {0, 0},
        {1, 0x028F028F},  {99, 0xFD6FFD6F},  {250, 0xFFFFFFFF},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.word, PercentToVolume(c.percent)) << c.percent;
}

// Run with a sound server that does not exist: no device opens.
TEST(EngineWithoutDevices, AFailedStartLeavesNothingRunning)
{
    WSADATA wsa;
    ASSERT_EQ(0, WSAStartup(MAKEWORD(2, 2), &wsa));
    AudioEngine engine;
    ASSERT_TRUE(engine.OpenSocket(0));
    UdpSocket listener;
    ASSERT_TRUE(listener.Open(0));
    for (int attempt = 0; attempt < 2; ++attempt) {
        EXPECT_FALSE(engine.Start());
        EXPECT_FALSE(engine.IsRunning());
        EXPECT_EQ(0u, engine.GetPlaybackVolume());
        // Media is not running, so probes go out.
        EXPECT_TRUE(engine.SendProbe("127.0.0.1", listener.GetLocalPort(), "id"));
    }
    EXPECT_TRUE(engine.Stop());
    engine.CloseSocket();
    EXPECT_EQ(nullptr, engine.GetSocket());
    EXPECT_FALSE(engine.SendProbe("127.0.0.1", listener.GetLocalPort(), "id"));
    WSACleanup();
}
