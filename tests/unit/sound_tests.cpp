// SoundSet: the six paths beside the executable, the files there, and which
// player calls each operation makes with sounds on and off.
#include <windows.h>
#include <mmsystem.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "media/SoundSet.h"
#include "settings/AppConfig.h"

namespace {

struct Call {
    std::wstring path;
    UINT flags;
};
std::vector<Call> g_calls;

BOOL WINAPI Recorder(LPCWSTR path, UINT flags)
{
    g_calls.push_back({path ? path : L"<null>", flags});
    return TRUE;
}

std::wstring ExeFolder()
{
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring s(path);
    return s.substr(0, s.rfind(L'\\') + 1);
}

struct Op {
    const char* name;
    void (SoundSet::*play)();
    const wchar_t* file;
    UINT flags;
};
const Op kOps[] = {
    {"dialing", &SoundSet::PlayCallerDialing, L"sounds\\CallerDialing.wav", SND_ASYNC},
    {"caller ring", &SoundSet::PlayCallerRing, L"sounds\\CallerRing.wav", SND_ASYNC | SND_LOOP},
    {"end of call", &SoundSet::PlayEndOfCall, L"sounds\\BothEndOfCall.wav", SND_ASYNC},
    {"recipient ring", &SoundSet::PlayRecipientRing, L"sounds\\RecipientRing.wav",
     SND_ASYNC | SND_LOOP},
    {"call started", &SoundSet::PlayCallStarted, L"sounds\\BothCallStarted.wav", SND_ASYNC},
    {"message", &SoundSet::PlayMessage, L"sounds\\message.wav", SND_ASYNC},
    {"stop", &SoundSet::Stop, nullptr, 0},
};

class Sounds : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_calls.clear();
        GetSoundSet()->SetPlayer(Recorder);
    }
    void TearDown() override
    {
        GetSoundSet()->SetPlayer(nullptr);
        GetAppConfig()->SetSoundsEnabled(1);
    }
};

}  // namespace

TEST_F(Sounds, EachOperationPlaysItsFileInItsMode)
{
    GetAppConfig()->SetSoundsEnabled(1);
    for (const Op& op : kOps) {
        SCOPED_TRACE(op.name);
        g_calls.clear();
        (GetSoundSet()->*op.play)();
        ASSERT_EQ(1u, g_calls.size());
        EXPECT_EQ(op.file ? ExeFolder() + op.file : L"<null>", g_calls[0].path);
        EXPECT_EQ(op.flags, g_calls[0].flags);
    }
}

TEST_F(Sounds, WithSoundsOffNothingReachesThePlayer)
{
    GetAppConfig()->SetSoundsEnabled(1);
    GetSoundSet()->PlayRecipientRing();
    GetAppConfig()->SetSoundsEnabled(0);
    for (const Op& op : kOps)
        (GetSoundSet()->*op.play)();
    // The ring that started while sounds were on is not even stopped.
    ASSERT_EQ(1u, g_calls.size());
    EXPECT_EQ(UINT(SND_ASYNC | SND_LOOP), g_calls[0].flags);
}

// Every file the set names lies beside the executable and is a short PCM wave.
TEST(SoundFiles, AreShortPcmWavesBesideTheExecutable)
{
    for (int slot = 0; slot < SoundSet::kSlots; ++slot) {
        const wchar_t* path = GetSoundSet()->GetPath(static_cast<SoundSet::Slot>(slot));
        SCOPED_TRACE(testing::Message() << "slot " << slot);
        FILE* f = _wfopen(path, L"rb");
        ASSERT_NE(nullptr, f);
        unsigned char head[44] = {};
        size_t got = fread(head, 1, sizeof(head), f);
        fseek(f, 0, SEEK_END);
        long size = ftell(f);
        fclose(f);
        ASSERT_EQ(sizeof(head), got);
        EXPECT_EQ(0, std::memcmp(head, "RIFF", 4));
        EXPECT_EQ(0, std::memcmp(head + 8, "WAVEfmt ", 8));
        uint16_t tag, channels, bits;
        uint32_t rate;
        std::memcpy(&tag, head + 20, 2);
        std::memcpy(&channels, head + 22, 2);
        std::memcpy(&rate, head + 24, 4);
        std::memcpy(&bits, head + 34, 2);
        EXPECT_EQ(WAVE_FORMAT_PCM, tag);
        EXPECT_EQ(1, channels);
        EXPECT_EQ(16, bits);
        double seconds = (size - 44) / (rate * 2.0);
        EXPECT_GT(seconds, 0.2);
        EXPECT_LT(seconds, 4.0);
    }
}
