// CryptoCore: block-cipher length rules, names under the built-in key, the
// call key exchange, ECIES chat texts and fingerprints. Nothing here touches
// the pad file.
#include <gtest/gtest.h>

#include <cryptopp/aes.h>
#include <cryptopp/dh.h>
#include <cryptopp/modes.h>
#include <cryptopp/oids.h>

#include <cstring>
#include <vector>

#include "crypto/CryptoCore.h"
#include "SafePrimeGroups.h"
#include "TestBytes.h"
#include "TestHex.h"

namespace {

// The relay holds this key as text; the client's constant must be the same bytes.
const char kBuiltinKeyHex[] = "e3b9131dd4b3f16db7332a2ade8cd0d459fdab550621c08da088a536b31466fb";

Bytes AesEcb(const unsigned char* key, const Bytes& plain)
{
    CryptoPP::ECB_Mode<CryptoPP::AES>::Encryption e(key, 32);
    Bytes out(plain.size());
    e.ProcessData(out.data(), plain.data(), plain.size());
    return out;
}

// One pair of generated objects per test program: generation is slow.
CryptoCore& Generated(int which)
{
    static CryptoCore* pair[2] = {};
    if (!pair[which]) {
        pair[which] = new CryptoCore;
        EXPECT_TRUE(pair[which]->GenerateKeys());
    }
    return *pair[which];
}

CryptoCore& Alice() { return Generated(0); }
CryptoCore& Bob() { return Generated(1); }

TEST(VoiceCipher, RoundsLengthsUpToWholeBlocks)
{
    CryptoCore c;
    struct { uint32_t length, rounded; } cases[] = {{0, 0}, {1, 16}, {15, 16}, {16, 16}, {17, 32}, {608, 608}};
    for (auto& k : cases) {
        unsigned char in[640] = {}, out[640];
        std::memset(out, 0xAA, sizeof(out));
        EXPECT_EQ(k.rounded, c.EncryptBuffer(in, k.length, out)) << k.length;
        // Nothing past the rounded length is written.
        EXPECT_EQ(0xAA, out[k.rounded]) << k.length;
    }
}

TEST(VoiceCipher, IsBareAesUnderTheSessionKeyAndRoundTripsInPlace)
{
    CryptoCore& c = Alice();
    Bytes packet(608);
    for (size_t i = 0; i < packet.size(); ++i)
        packet[i] = static_cast<unsigned char>(i * 7);
    Bytes expected = AesEcb(c.GetSessionKey(), packet);

    Bytes work = packet;
    ASSERT_EQ(608u, c.EncryptBuffer(work.data(), 608, work.data()));
    EXPECT_EQ(expected, work);
    c.DecryptBuffer(work.data(), 608, work.data());
    EXPECT_EQ(packet, work);
}

TEST(VoiceCipher, RefusedLengthsWriteNothing)
{
    CryptoCore c;
    for (uint32_t length : {0u, 15u, 17u}) {
        unsigned char in[32] = {1, 2, 3}, out[32];
        std::memset(out, 0x5C, sizeof(out));
        c.DecryptBuffer(in, length, out);
        for (unsigned char b : out)
            ASSERT_EQ(0x5C, b) << length;
    }
}

TEST(BuiltinKey, NamesAreBareAesUnderTheSharedKey)
{
    Bytes key = FromHex(kBuiltinKeyHex);
    CryptoCore c;
    // Text, its terminator and zero filler up to the rounded length.
    Bytes plain(32, 0);
    std::memcpy(plain.data(), "alice@example.com", 17);
    Buf name = c.EncryptName("alice@example.com");
    EXPECT_EQ("051d624323c55e1d9cd138a9a9d18e1b91864bf7417457f59c024d82587b9bca",
              ToHex(name.GetData(), name.GetSize()));
    EXPECT_EQ(AesEcb(key.data(), plain), ToBytes(name));
    EXPECT_EQ("alice@example.com", c.DecryptName(name));
}

TEST(BuiltinKey, LengthRulesAndLimits)
{
    CryptoCore c;
    struct {
        std::string text;
        uint32_t rounded;
        std::string back;
    } cases[] = {
        {"", 0, ""},
        {"a", 16, "a"},
        // Exactly one block: no terminator travels; the receiver's zeroed area ends it.
        {"0123456789abcdef", 16, "0123456789abcdef"},
        {"0123456789abcdefg", 32, "0123456789abcdefg"},
        {std::string(255, 'n'), 256, std::string(255, 'n')},
        // Longer names are cut so that they fit the receiver's area with a terminator.
        {std::string(300, 'n'), 256, std::string(255, 'n')},
    };
    for (auto& k : cases) {
        Buf name = c.EncryptName(k.text);
        EXPECT_EQ(k.rounded, static_cast<uint32_t>(name.GetSize())) << k.text.size();
        EXPECT_EQ(k.back, c.DecryptName(name)) << k.text.size();
    }
    EXPECT_EQ("1276aba569d2c54ec19fa3cc64f450b5",
              ToHex(c.EncryptName("0123456789abcdef").GetData(), 16));
}

TEST(BuiltinKey, ARoundedLengthBeyondTheTextReadsOnlyTheText)
{
    // A length larger than the text: the rest is enciphered as zeros, not
    // as whatever follows the text in memory.
    CryptoCore c;
    unsigned char a[256] = {}, b[256] = {};
    EXPECT_EQ(32u, c.EncryptWithBuiltinKey("abc", 20, a));
    EXPECT_EQ(16u, c.EncryptWithBuiltinKey("abc", 3, b));
    EXPECT_EQ(0, std::memcmp(a, b, 16));
}

TEST(BuiltinKey, DecipheringKeepsTheTailAndTheAreaBound)
{
    CryptoCore c;
    Buf name = c.EncryptName("0123456789abcdefXYZ");
    ASSERT_EQ(32, name.GetSize());
    unsigned char out[CryptoCore::kNameArea + 16];
    std::memset(out, 0x77, sizeof(out));
    // 20 bytes: one whole block, the 4-byte tail is left as it was.
    c.DecryptWithBuiltinKey(name.GetData(), 20, out);
    EXPECT_EQ(0, std::memcmp(out, "0123456789abcdef", 16));
    EXPECT_EQ(0x77, out[16]);

    // A received name larger than the area is cut to the area.
    Bytes big(512, 0x41);
    std::memset(out, 0x77, sizeof(out));
    c.DecryptWithBuiltinKey(big.data(), 512, out);
    EXPECT_EQ(0x77, out[CryptoCore::kNameArea]);
}

TEST(Fingerprint, IsLowerCaseMd5)
{
    struct { const char* text; const char* md5; } cases[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"password", "5f4dcc3b5aa765d61d8327deb882cf99"},
    };
    for (auto& k : cases) {
        std::string out;
        CryptoCore::MakeFingerprint(out, k.text);
        EXPECT_EQ(k.md5, out);
    }
}

TEST(KeyExchange, OfferAndAnswerAgreeOnOneKeyAndCode)
{
    CryptoCore& a = Alice();
    CryptoCore& b = Bob();
    Bytes bobBefore(b.GetSessionKey(), b.GetSessionKey() + 32);

    BufList offer;
    ASSERT_TRUE(a.MakeKeyOffer(offer));
    ASSERT_EQ(3u, offer.size());
    EXPECT_EQ(64, offer[0].GetSize());
    EXPECT_EQ(1, offer[1].GetSize());
    EXPECT_EQ(64, offer[2].GetSize());
    unsigned g = offer[1].GetData()[0];
    EXPECT_TRUE(g == 2 || g == 3 || g == 4) << g;

    ASSERT_TRUE(b.AcceptKeyOffer(offer));
    EXPECT_NE(bobBefore, Bytes(b.GetSessionKey(), b.GetSessionKey() + 32));
    BufList answer;
    ASSERT_TRUE(b.MakeKeyAnswer(answer));
    ASSERT_EQ(1u, answer.size());
    EXPECT_EQ(64, answer[0].GetSize());
    ASSERT_TRUE(a.FinishKeyAnswer(answer));

    EXPECT_EQ(0, std::memcmp(a.GetSessionKey(), b.GetSessionKey(), 32));
    EXPECT_EQ(5u, std::wcslen(a.GetVerificationCode()));
    EXPECT_EQ(std::wstring(a.GetVerificationCode()), std::wstring(b.GetVerificationCode()));

    // The offered group served this exchange only: the accepting side's own
    // offers keep its own group, so no peer picks the group of later calls.
    BufList again;
    ASSERT_TRUE(b.MakeKeyOffer(again));
    EXPECT_NE(offer[0], again[0]);
    BufList ownBefore;
    CryptoCore fresh;
    ASSERT_TRUE(fresh.GenerateKeys());
    ASSERT_TRUE(fresh.MakeKeyOffer(ownBefore));
    ASSERT_TRUE(fresh.AcceptKeyOffer(offer));
    BufList ownAfter;
    ASSERT_TRUE(fresh.MakeKeyOffer(ownAfter));
    EXPECT_EQ(ownBefore[0], ownAfter[0]);
    EXPECT_EQ(ownBefore[2], ownAfter[2]);

    // A voice packet crosses.
    unsigned char packet[608], wire[608];
    for (int i = 0; i < 608; ++i)
        packet[i] = static_cast<unsigned char>(i);
    a.EncryptBuffer(packet, 608, wire);
    b.DecryptBuffer(wire, 608, wire);
    EXPECT_EQ(0, std::memcmp(packet, wire, 608));
}

TEST(KeyExchange, MalformedOffersAndAnswersChangeNoKey)
{
    CryptoCore& a = Alice();
    CryptoCore& b = Bob();
    BufList offer;
    ASSERT_TRUE(a.MakeKeyOffer(offer));
    Bytes before(b.GetSessionKey(), b.GetSessionKey() + 32);
    BufList b0;
    ASSERT_TRUE(b.MakeKeyOffer(b0));

    BufList two(offer.begin(), offer.begin() + 2);
    BufList four = offer;
    four.push_back(offer[0]);
    BufList shortPublic = offer;
    shortPublic[2].Assign(offer[2].GetData(), 63);
    // An even modulus is no group: refused before any agreement.
    Buf p;
    a.DecryptWithPadKey(offer[0], p);
    p.GetData()[p.GetSize() - 1] ^= 1;
    BufList evenModulus = offer;
    a.EncryptWithPadKey(p, evenModulus[0]);
    BufList zeroModulus = offer;
    zeroModulus[0] = Buf();
    // Odd, of the right size and form, but not a safe prime.
    a.DecryptWithPadKey(offer[0], p);
    p.GetData()[p.GetSize() - 1] ^= 4;
    BufList composite = offer;
    a.EncryptWithPadKey(p, composite[0]);
    // A real safe-prime group, too small to protect a call.
    CryptoPP::AutoSeededRandomPool rng;
    CryptoPP::DH weak;
    weak.AccessGroupParameters().GenerateRandomWithKeySize(rng, 256);
    BufList small = OfferOfGroup(b, weak.GetGroupParameters().GetModulus(),
                                       weak.GetGroupParameters().GetGenerator());
    // Real groups of sizes beyond the protocol's: taking them would cost
    // the connection thread far more than the protocol's own.
    BufList larger = OfferOfGroup(b, IntegerFromHex(kSafePrime520Hex), 2);
    BufList largest = OfferOfGroup(b, IntegerFromHex(kSafePrime4096Hex), 2);
    BufList none;

    for (const BufList* bad : {&two, &four, &shortPublic, &evenModulus, &zeroModulus, &composite,
                               &small, &larger, &largest, &none}) {
        EXPECT_FALSE(b.AcceptKeyOffer(*bad));
        EXPECT_EQ(before, Bytes(b.GetSessionKey(), b.GetSessionKey() + 32));
    }
    BufList b1;
    ASSERT_TRUE(b.MakeKeyOffer(b1));
    EXPECT_EQ(b0[0], b1[0]);

    BufList emptyAnswer, shortAnswer(1);
    shortAnswer[0] = MakeBuf(Bytes(10, 1));
    Bytes aBefore(a.GetSessionKey(), a.GetSessionKey() + 32);
    EXPECT_FALSE(a.FinishKeyAnswer(emptyAnswer));
    EXPECT_FALSE(a.FinishKeyAnswer(shortAnswer));
    EXPECT_EQ(aBefore, Bytes(a.GetSessionKey(), a.GetSessionKey() + 32));
}

TEST(VerificationCode, FiveDigitsForEveryKey)
{
    struct { unsigned char key[5]; const wchar_t* code; } cases[] = {
        {{0, 0, 0, 0, 0}, L"00000"},
        {{1, 2, 3, 4, 5}, L"12345"},
        {{255, 255, 255, 255, 255}, L"25525"},
        {{0, 10, 200, 7, 9}, L"01020"},
    };
    for (auto& k : cases) {
        wchar_t code[CryptoCore::kVerificationUnits];
        CryptoCore::FormatVerificationCode(k.key, code);
        EXPECT_EQ(std::wstring(k.code), std::wstring(code));
    }
}

TEST(ChatCipher, RoundTripToThePeersKeyAtTheDocumentedLength)
{
    Buf key;
    ASSERT_TRUE(Bob().GetPublicKey(key));
    ASSERT_EQ(49, key.GetSize());
    EXPECT_TRUE(key.GetData()[0] == 2 || key.GetData()[0] == 3);

    for (size_t n : {0u, 1u, 255u}) {
        std::wstring text;
        for (size_t i = 0; i < n; ++i)
            text.push_back(static_cast<wchar_t>(0x41 + i % 26 + (i % 3 == 0 ? 0x3000 : 0)));
        Buf cipher;
        ASSERT_TRUE(Alice().EncryptForPeer(text, key, cipher));
        EXPECT_EQ(static_cast<int>(2 * n + 71), cipher.GetSize());
        std::wstring back;
        ASSERT_TRUE(Bob().DecryptFromPeer(cipher, back));
        EXPECT_EQ(text, back);
        // Only the key's owner can read it.
        std::wstring other = L"unchanged";
        EXPECT_FALSE(Alice().DecryptFromPeer(cipher, other));
        EXPECT_TRUE(other.empty());
    }
}

TEST(ChatCipher, DamagedCiphertextsAndKeysGiveFalseAndNoText)
{
    Buf key;
    ASSERT_TRUE(Bob().GetPublicKey(key));
    Buf cipher;
    ASSERT_TRUE(Alice().EncryptForPeer(L"hello", key, cipher));

    Buf tag = cipher, point = cipher, shortOne;
    tag.GetData()[tag.GetSize() - 1] ^= 1;
    point.GetData()[5] ^= 0x40;
    shortOne.Assign(cipher.GetData(), 69);
    for (const Buf* bad : {&tag, &point, &shortOne}) {
        std::wstring text = L"x";
        EXPECT_FALSE(Bob().DecryptFromPeer(*bad, text));
        EXPECT_TRUE(text.empty());
    }

    Buf noPoint = MakeBuf(Bytes(49, 0xFF));
    noPoint.GetData()[0] = 2;
    Buf truncated;
    truncated.Assign(key.GetData(), 20);
    for (const Buf* bad : {&noPoint, &truncated, &shortOne}) {
        Buf out = MakeBuf(Bytes(3, 1));
        EXPECT_FALSE(Alice().EncryptForPeer(L"hello", *bad, out));
        EXPECT_EQ(0, out.GetSize());
    }

    // A fresh object has no key pair yet.
    CryptoCore fresh;
    Buf none;
    EXPECT_FALSE(fresh.GetPublicKey(none));
    std::wstring text;
    EXPECT_FALSE(fresh.DecryptFromPeer(cipher, text));
}

// Encrypts to Bob's public point with the scheme options given here, not
// with the client's own typedef.
template <bool DHAES>
Buf EncryptToBob(const Bytes& plain)
{
    typedef CryptoPP::ECIES<CryptoPP::ECP, CryptoPP::SHA1, CryptoPP::NoCofactorMultiplication,
                            DHAES, false>
        Scheme;
    Buf key;
    EXPECT_TRUE(Bob().GetPublicKey(key));
    typename Scheme::PublicKey peer;
    peer.AccessGroupParameters().Initialize(CryptoPP::ASN1::secp384r1());
    peer.AccessGroupParameters().SetPointCompression(true);
    CryptoPP::ECP::Point q;
    EXPECT_TRUE(peer.GetGroupParameters().GetCurve().DecodePoint(q, key.GetData(), 49));
    peer.SetPublicElement(q);
    typename Scheme::Encryptor e(peer);
    e.AccessKey().AccessGroupParameters().SetPointCompression(true);
    CryptoPP::AutoSeededRandomPool rng;
    Buf cipher;
    cipher.Resize(static_cast<int>(e.CiphertextLength(plain.size())));
    e.Encrypt(rng, plain.data(), plain.size(), cipher.GetData());
    return cipher;
}

TEST(ChatCipher, APlaintextIsTakenByItsRecoveredLength)
{
    // A peer's plaintext without its zero unit, one of odd length, one with
    // an early zero unit.
    struct { Bytes plain; std::wstring text; } cases[] = {
        {{'a', 0, 'b', 0}, L"ab"},
        {{'a', 0, 'b', 0, 'c'}, L"ab"},
        {{'a', 0, 0, 0, 'z', 0}, L"a"},
    };
    for (auto& k : cases) {
        std::wstring text;
        ASSERT_TRUE(Bob().DecryptFromPeer(EncryptToBob<false>(k.plain), text));
        EXPECT_EQ(k.text, text);
    }
}

TEST(ChatCipher, TheSchemeRunsWithDhaesModeOff)
{
    // Peers of either library default must meet on one scheme: DHAES off.
    Bytes plain = {'h', 0, 'i', 0, 0, 0};
    std::wstring text;
    EXPECT_TRUE(Bob().DecryptFromPeer(EncryptToBob<false>(plain), text));
    EXPECT_EQ(L"hi", text);
    EXPECT_FALSE(Bob().DecryptFromPeer(EncryptToBob<true>(plain), text));
}

TEST(SelfTest, ExchangeAndChatRoundTripSucceed)
{
    EXPECT_TRUE(CryptoCore::SelfTest());
}

}  // namespace
