// The pvconf.dat layout: record offsets, marked records, short and damaged files.
#include <gtest/gtest.h>

#include <cryptopp/aes.h>
#include <cryptopp/modes.h>

#include <cstring>
#include <vector>

#include "crypto/RecordKey.h"
#include "settings/AppConfig.h"

namespace {

typedef std::vector<unsigned char> Bytes;

Bytes Formatted(const AppConfig& c)
{
    Bytes b(AppConfig::kFileSize + 16, 0xEE);
    c.Format(b.data());
    EXPECT_EQ(0xEE, b[AppConfig::kFileSize]);
    b.resize(AppConfig::kFileSize);
    return b;
}

uint32_t Le(const Bytes& b, size_t at, size_t n)
{
    uint32_t v = 0;
    for (size_t i = n; i-- > 0;)
        v = v << 8 | b[at + i];
    return v;
}

void Fill(AppConfig& c)
{
    c.SetDefaults();
    c.SetServerHost("primary.example");
    c.SetBackupServerHost("secondary.example");
    c.spareText = "spare";
    c.SetVolumePercent(-7);
    c.SetUserName(std::string(127, 'u'));
    c.SetPassword("p4ss w0rd");
    c.SetPort(0xBEEF);
    c.SetLanguageIndex(3);
    c.SetSoundsEnabled(0);
}

TEST(ConfigFile, RecordsStandAtTheirOffsets)
{
    AppConfig c;
    Fill(c);
    Bytes b = Formatted(c);
    EXPECT_EQ("primary.example", std::string(reinterpret_cast<char*>(&b[0])));
    EXPECT_EQ("spare", std::string(reinterpret_cast<char*>(&b[1024])));
    EXPECT_EQ(static_cast<uint32_t>(-7), Le(b, 2048, 4));
    EXPECT_EQ(0, std::memcmp(&b[2052], "!#!", 3));
    EXPECT_EQ(0, std::memcmp(&b[3076], "!#!", 3));
    EXPECT_EQ(0xBEEFu, Le(b, 4100, 2));
    EXPECT_EQ(3u, Le(b, 4102, 4));
    EXPECT_EQ(0u, Le(b, 4106, 4));
    EXPECT_EQ("secondary.example", std::string(reinterpret_cast<char*>(&b[4110])));
    // The rest of every record is zero, the marked ones past their 131 bytes too.
    for (size_t at : {1023u, 2047u, 2052u + 131u, 3075u, 3076u + 131u, 4099u, 5133u})
        EXPECT_EQ(0, b[at]) << at;
}

TEST(ConfigFile, MarkedRecordsAreBareAesOfTheNulPaddedText)
{
    AppConfig c;
    Fill(c);
    Bytes b = Formatted(c);
    unsigned char key[kRecordKeySize];
    BuildRecordKey(key);
    CryptoPP::ECB_Mode<CryptoPP::AES>::Encryption e(key, sizeof(key));
    unsigned char plain[128] = {}, expected[128];
    std::memcpy(plain, "p4ss w0rd", 9);
    e.ProcessData(expected, plain, 128);
    EXPECT_EQ(0, std::memcmp(&b[3076 + 3], expected, 128));

    // No IV: the same settings give the same bytes.
    AppConfig d;
    Fill(d);
    EXPECT_EQ(b, Formatted(d));
}

TEST(ConfigFile, RoundTripKeepsEverySavedFieldAndNoRunTimeOne)
{
    AppConfig c;
    Fill(c);
    Bytes b = Formatted(c);
    AppConfig d;
    d.SetInstanceIndex(4);
    d.SetDeviceName("desk");
    ASSERT_TRUE(d.Parse(b.data(), static_cast<uint32_t>(b.size())));
    EXPECT_EQ(c.GetServerHost(), d.GetServerHost());
    EXPECT_EQ(c.GetBackupServerHost(), d.GetBackupServerHost());
    EXPECT_EQ(c.spareText, d.spareText);
    EXPECT_EQ(c.GetVolumePercent(), d.GetVolumePercent());
    EXPECT_EQ(c.GetUserName(), d.GetUserName());
    EXPECT_EQ(c.GetPassword(), d.GetPassword());
    EXPECT_EQ(c.GetPort(), d.GetPort());
    EXPECT_EQ(c.GetLanguageIndex(), d.GetLanguageIndex());
    EXPECT_EQ(c.GetSoundsEnabled(), d.GetSoundsEnabled());
    EXPECT_EQ(4, d.GetInstanceIndex());
    EXPECT_EQ("desk", d.GetDeviceName());
}

TEST(ConfigFile, ShortFilesLoadAsFarAsTheyGo)
{
    AppConfig c;
    Fill(c);
    Bytes full = Formatted(c);
    struct {
        uint32_t size;
        bool ok;
        int32_t language, sounds;
        const char* backup;
    } cases[] = {
        {0, false, 3, 0, "secondary.example"},
        {1, false, 3, 0, "secondary.example"},
        {4100, false, 3, 0, "secondary.example"},
        // The first six records: language 0, sounds on, no secondary host.
        {4102, true, 0, 1, ""},
        {4103, true, 3, 1, ""},
        {4110, true, 3, 0, ""},
        {4111, true, 3, 0, "s"},
        {5134, true, 3, 0, "secondary.example"},
    };
    for (auto& k : cases) {
        AppConfig d;
        Fill(d);
        EXPECT_EQ(k.ok, d.Parse(full.data(), k.size)) << k.size;
        EXPECT_EQ(k.language, d.GetLanguageIndex()) << k.size;
        EXPECT_EQ(k.sounds, d.GetSoundsEnabled()) << k.size;
        EXPECT_EQ(k.backup, d.GetBackupServerHost()) << k.size;
    }
    // Records read before a failure keep their new values.
    AppConfig e;
    e.SetDefaults();
    EXPECT_FALSE(e.Parse(full.data(), 2050));
    EXPECT_EQ("primary.example", e.GetServerHost());
    EXPECT_EQ(0xFFF9, e.GetVolumePercent());
}

TEST(ConfigFile, PlainAndDamagedRecordsStayInBounds)
{
    Bytes b(AppConfig::kFileSize, 0);
    // Plain text in the user-name record is taken as it stands; a record
    // without any NUL ends at its own end.
    std::memcpy(&b[2052], "hand@made", 9);
    std::memset(&b[0], 'h', 1024);
    std::memset(&b[1024], 's', 1024);
    // A marked record whose cipher bytes are noise.
    std::memcpy(&b[3076], "!#!", 3);
    for (int i = 3; i < 1024; ++i)
        b[3076 + i] = static_cast<unsigned char>(i * 131 + 7);
    AppConfig c;
    ASSERT_TRUE(c.Parse(b.data(), static_cast<uint32_t>(b.size())));
    EXPECT_EQ("hand@made", c.GetUserName());
    EXPECT_EQ(std::string(1024, 'h'), c.GetServerHost());
    EXPECT_EQ(std::string(1024, 's'), c.spareText);
    EXPECT_LE(c.GetPassword().size(), 128u);
}

TEST(ConfigFile, TextsBeyondTheirRecordsAreNotWrittenPastThem)
{
    AppConfig c;
    c.SetDefaults();
    c.SetServerHost(std::string(2000, 'a'));
    c.SetUserName(std::string(128, 'n'));
    c.SetPassword(std::string(127, 'p'));
    Bytes b = Formatted(c);
    AppConfig d;
    ASSERT_TRUE(d.Parse(b.data(), static_cast<uint32_t>(b.size())));
    EXPECT_EQ(std::string(1023, 'a'), d.GetServerHost());
    // A sign-in name the file cannot hold is not kept rather than kept cut.
    EXPECT_EQ("", d.GetUserName());
    EXPECT_EQ(std::string(127, 'p'), d.GetPassword());
}

TEST(ConfigFile, DefaultsAreTheDocumentedOnes)
{
    AppConfig c;
    EXPECT_EQ(0, c.GetVolumePercent());
    EXPECT_EQ(0, c.GetPort());
    c.SetInstanceIndex(2);
    c.SetDeviceName("kept");
    c.SetDefaults();
    EXPECT_FALSE(c.GetServerHost().empty());
    EXPECT_EQ("", c.GetBackupServerHost());
    EXPECT_EQ(100, c.GetVolumePercent());
    EXPECT_EQ(11500, c.GetPort());
    EXPECT_EQ(0, c.GetLanguageIndex());
    EXPECT_EQ(1, c.GetSoundsEnabled());
    EXPECT_EQ(2, c.GetInstanceIndex());
    EXPECT_EQ("kept", c.GetDeviceName());
}

}  // namespace
