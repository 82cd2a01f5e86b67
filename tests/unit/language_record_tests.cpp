// Language records and source lines.
#include <gtest/gtest.h>

#include <cstring>

#include "crypto/RecordKey.h"
#include "settings/LanguageRecords.h"

namespace {

struct Ciphers {
    Ciphers()
    {
        unsigned char key[kRecordKeySize];
        BuildRecordKey(key);
        enc.SetKey(key, sizeof(key));
        dec.SetKey(key, sizeof(key));
    }
    CryptoPP::AES::Encryption enc;
    CryptoPP::AES::Decryption dec;
};

TEST(LanguageRecord, TextsRoundTripAndFitTheirRecord)
{
    Ciphers c;
    struct { std::string text, back; } cases[] = {
        {"", ""},
        {"Sign In", "Sign In"},
        {std::string(255, 'L'), std::string(255, 'L')},
        {std::string(300, 'L'), std::string(255, 'L')},
    };
    for (auto& k : cases) {
        unsigned char record[kLanguageRecord + 8];
        std::memset(record, 0xCC, sizeof(record));
        EncryptLanguageRecord(c.enc, k.text, record);
        EXPECT_EQ(0xCC, record[kLanguageRecord]);
        EXPECT_EQ(k.back, DecryptLanguageRecord(c.dec, record, kLanguageRecord)) << k.text.size();
    }
}

TEST(LanguageRecord, ShortAndGarbageRecordsStayInBounds)
{
    Ciphers c;
    unsigned char record[kLanguageRecord];
    EncryptLanguageRecord(c.enc, "0123456789abcdefXYZ", record);
    // A short last record: its missing bytes are zeros before deciphering,
    // so whole blocks that came still read right.
    EXPECT_EQ("0123456789abcdef", DecryptLanguageRecord(c.dec, record, 16).substr(0, 16));
    // Noise deciphers to at most a record's worth of text.
    unsigned char noise[kLanguageRecord];
    for (unsigned i = 0; i < kLanguageRecord; ++i)
        noise[i] = static_cast<unsigned char>(i * 37 + 11);
    EXPECT_LE(DecryptLanguageRecord(c.dec, noise, kLanguageRecord).size(), kMaxLanguageText + 1);
}

TEST(LanguageSource, LinesKeepEveryLetter)
{
    struct { std::string source; std::vector<std::string> lines; } cases[] = {
        {"", {}},
        {"one\ntwo\n", {"one", "two"}},
        {"one\r\ntwo\r\n", {"one", "two"}},
        // A last line without a break keeps its last letter.
        {"one\ntwo", {"one", "two"}},
        {"\n\nthree\n", {"", "", "three"}},
        {std::string(600, 'x') + "\nnext\n", {std::string(600, 'x'), "next"}},
    };
    for (auto& k : cases)
        EXPECT_EQ(k.lines, SplitSourceLines(k.source)) << k.source.substr(0, 20);
}

}  // namespace
