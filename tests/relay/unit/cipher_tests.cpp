// Name encipherment with the built-in key, and the shared secrets.
#include <gtest/gtest.h>

#include "RelayCrypto.h"

using namespace relay;

TEST(RelayCipher, BlockCipherIsRawAes256) {
    // The AES-256 example of the AES standard (FIPS-197, appendix C.3).
    uint8_t key[32], in[16], out[16];
    for (int i = 0; i < 32; ++i) key[i] = uint8_t(i);
    for (int i = 0; i < 16; ++i) in[i] = uint8_t(i * 0x11);
    EncipherBlock(key, in, out);
    EXPECT_EQ(Hex(out, 16), "8ea2b7ca516745bfeafc49904b496089");
}

TEST(RelayCipher, NameKeyIsTheSharedConstant) {
    EXPECT_EQ(Hex(kNameKey, 32), "e3b9131dd4b3f16db7332a2ade8cd0d459fdab550621c08da088a536b31466fb");
}

TEST(RelayCipher, NameLengthsRoundUpToWholeBlocks) {
    struct Case {
        size_t length, enciphered;
    } cases[] = {{0, 0}, {1, 16}, {15, 16}, {16, 16}, {17, 32}, {31, 32}, {32, 32}, {255, 256}, {256, 256}};
    for (const auto& c : cases) {
        std::string name(c.length, 'n');
        Bytes b = EncipherName(name);
        EXPECT_EQ(b.size(), c.enciphered) << c.length;
        EXPECT_EQ(DecipherName(b), name) << c.length;
    }
}

TEST(RelayCipher, ShortNameCarriesItsZeroAndZeroFiller) {
    Bytes b = EncipherName("bob@pelvane.test");  // 16 bytes: no terminator travels
    ASSERT_EQ(b.size(), 16u);
    Bytes c = EncipherName("bob");
    ASSERT_EQ(c.size(), 16u);
    // Deciphering block by block must give the text, its zero and zero filler.
    uint8_t plain[16] = {'b', 'o', 'b'};
    uint8_t expect[16];
    EncipherBlock(kNameKey, plain, expect);
    EXPECT_EQ(Hex(c), Hex(expect, 16));
    // Equal blocks encipher equally: no chaining between blocks.
    Bytes twice = EncipherName(std::string(16, 'a') + std::string(16, 'a'));
    EXPECT_TRUE(std::equal(twice.begin(), twice.begin() + 16, twice.begin() + 16));
}

TEST(RelayCipher, DecipherStopsAtTheFirstZeroAndIgnoresATail) {
    Bytes b = EncipherName("alice");
    b.push_back(0x41);  // 17 bytes: the tail is not a block
    EXPECT_EQ(DecipherName(b), "alice");
    EXPECT_EQ(DecipherName(Bytes(5, 1)), "");
    Bytes odd = EncipherBlocks(Bytes(17, 'x'));
    ASSERT_EQ(odd.size(), 17u);
    EXPECT_EQ(odd[16], 'x');
    EXPECT_EQ(DecipherName(odd), std::string(16, 'x'));
}

TEST(RelayCipher, DigestsAndPad) {
    EXPECT_EQ(Md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(Md5Hex("demo"), "fe01ce2a7fbac8fafaed7c982a04e229");
    EXPECT_EQ(Hex(Sha256(Bytes{'a', 'b', 'c'})), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    Bytes pad = DefaultPad();
    EXPECT_EQ(pad.size(), kPadSize);
    EXPECT_EQ(pad, DefaultPad());
}
