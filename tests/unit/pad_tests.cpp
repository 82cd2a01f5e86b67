// The pad: adoption by size, its digest, the pad-key selection rule and the
// pad-key cipher, and a key exchange protected by it.
#include <gtest/gtest.h>

#include <cryptopp/integer.h>

#include <cstring>
#include <vector>

#include "crypto/CryptoCore.h"
#include "TestBytes.h"
#include "TestHex.h"

namespace {

Buf PadOf(int size, unsigned char salt = 0)
{
    Buf b;
    b.Resize(size);
    for (int i = 0; i < size; ++i)
        b.GetData()[i] = static_cast<unsigned char>(i + salt);
    return b;
}

TEST(Pad, OnlyExactlyTwoKilobytesAreAdopted)
{
    CryptoCore c;
    Buf hash;
    EXPECT_FALSE(c.HasPad());
    EXPECT_FALSE(c.HashPad(hash));
    EXPECT_FALSE(c.SelectPadKey(0));

    Buf good = PadOf(2048);
    ASSERT_TRUE(c.SetPad(good));
    ASSERT_TRUE(c.HasPad());
    ASSERT_TRUE(c.HashPad(hash));
    EXPECT_EQ("10fc3c51a152e90e5b90319b601d92ccf37290ef53c35ff92507687d8a911a08",
              ToHex(hash.GetData(), hash.GetSize()));

    // A refused pad leaves the one held so far in place.
    for (int size : {2047, 2049, 0}) {
        Buf bad = PadOf(size, 9);
        EXPECT_FALSE(c.SetPad(bad)) << size;
        EXPECT_TRUE(c.HasPad()) << size;
        Buf again;
        ASSERT_TRUE(c.HashPad(again));
        EXPECT_EQ(hash, again) << size;
    }
}

TEST(Pad, KeySelectionGatesOnTheOffsetButAlwaysTakesTheFirstBytes)
{
    struct { uint32_t offset; bool ok; } cases[] = {
        {0, true}, {2016, true}, {2017, false}, {2048, false}, {2049, true}, {0xFFFFFFFFu, true},
    };
    for (auto& k : cases) {
        CryptoCore c;
        Buf pad = PadOf(2048, 0x40);
        ASSERT_TRUE(c.SetPad(pad));
        EXPECT_EQ(k.ok, c.SelectPadKey(k.offset)) << k.offset;
        if (k.ok) {
            Buf expected = PadOf(32, 0x40);
            EXPECT_EQ(0, std::memcmp(expected.GetData(), c.GetPadKey(), 32)) << k.offset;
        }
    }
}

TEST(Pad, CipherProcessesWholeBlocksAndLeavesTheTail)
{
    // Pad bytes 0..31 are the AES-256 standard key 00 01 .. 1f.
    CryptoCore c;
    Buf pad = PadOf(2048);
    ASSERT_TRUE(c.SetPad(pad));
    ASSERT_TRUE(c.SelectPadKey(0));
    const std::string block = "00112233445566778899aabbccddeeff";
    const std::string cipher = "8ea2b7ca516745bfeafc49904b496089";

    struct { std::string in, out; } cases[] = {
        {"5a", "5a"},
        {block + "01020304", cipher + "01020304"},
        {block + block + block + block, cipher + cipher + cipher + cipher},
    };
    for (auto& k : cases) {
        Buf out, back;
        c.EncryptWithPadKey(MakeBuf(FromHex(k.in)), out);
        EXPECT_EQ(k.out, ToHex(out.GetData(), out.GetSize()));
        c.DecryptWithPadKey(out, back);
        EXPECT_EQ(k.in, ToHex(back.GetData(), back.GetSize()));
    }
}

TEST(Pad, ProtectsTheKeyExchange)
{
    CryptoCore caller, callee, outsider;
    for (CryptoCore* c : {&caller, &callee, &outsider})
        ASSERT_TRUE(c->GenerateKeys());
    Buf shared = PadOf(2048, 3), other = PadOf(2048, 4);
    Buf shared2 = shared;
    ASSERT_TRUE(caller.SetPad(shared));
    ASSERT_TRUE(callee.SetPad(shared2));
    ASSERT_TRUE(outsider.SetPad(other));
    for (CryptoCore* c : {&caller, &callee, &outsider})
        ASSERT_TRUE(c->SelectPadKey(0));

    BufList offer;
    ASSERT_TRUE(caller.MakeKeyOffer(offer));
    // The modulus travels enciphered: only the pad key shows the odd 512-bit prime.
    Buf p;
    caller.DecryptWithPadKey(offer[0], p);
    EXPECT_NE(p, offer[0]);
    CryptoPP::Integer modulus(p.GetData(), p.GetSize());
    EXPECT_EQ(512u, modulus.BitCount());
    EXPECT_TRUE(modulus.IsOdd());

    // Under another pad the offer deciphers to no group at all: refused, and
    // the outsider's key and code stay as they were.
    unsigned char outsiderKey[32];
    std::memcpy(outsiderKey, outsider.GetSessionKey(), sizeof(outsiderKey));
    const std::wstring outsiderCode = outsider.GetVerificationCode();
    EXPECT_FALSE(outsider.AcceptKeyOffer(offer));
    EXPECT_EQ(0, std::memcmp(outsiderKey, outsider.GetSessionKey(), sizeof(outsiderKey)));
    EXPECT_EQ(outsiderCode, std::wstring(outsider.GetVerificationCode()));

    ASSERT_TRUE(callee.AcceptKeyOffer(offer));
    BufList answer;
    ASSERT_TRUE(callee.MakeKeyAnswer(answer));
    ASSERT_TRUE(caller.FinishKeyAnswer(answer));
    EXPECT_EQ(0, std::memcmp(caller.GetSessionKey(), callee.GetSessionKey(), 32));
    EXPECT_EQ(std::wstring(caller.GetVerificationCode()), std::wstring(callee.GetVerificationCode()));
}

}  // namespace
