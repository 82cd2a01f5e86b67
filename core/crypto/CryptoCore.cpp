#include "crypto/CryptoCore.h"

#include <cryptopp/filters.h>
#include <cryptopp/hex.h>
#include <cryptopp/md5.h>

#include <algorithm>
#include <cstring>
#include <cwchar>

using CryptoPP::Integer;
using CryptoPP::SecByteBlock;

namespace {

// Shared with the relay server: it enciphers and deciphers every name the
// two exchange.
const unsigned char kBuiltinKey[CryptoCore::kKeySize] = {
    0xe3, 0xb9, 0x13, 0x1d, 0xd4, 0xb3, 0xf1, 0x6d, 0xb7, 0x33, 0x2a, 0x2a, 0xde, 0x8c, 0xd0, 0xd4,
    0x59, 0xfd, 0xab, 0x55, 0x06, 0x21, 0xc0, 0x8d, 0xa0, 0x88, 0xa5, 0x36, 0xb3, 0x14, 0x66, 0xfb,
};

const unsigned kDhModulusBits = 512;
// Offers come from peers through the server and are validated on the
// connection thread, which meanwhile reads no command and answers no
// keep-alive: a group of the protocol's size costs a few milliseconds, one
// of 4,096 bits some seventy times as much, and offers can come back to
// back. Every client offers the protocol's size, so only that is taken.
const unsigned kMaxOfferedModulusBits = kDhModulusBits;
// Level 2 also tests p and (p - 1) / 2 for primality.
const int kOfferValidation = 2;
const uint32_t kBlock = CryptoPP::AES::BLOCKSIZE;

uint32_t RoundUp(uint32_t length)
{
    return (length + kBlock - 1) & ~(kBlock - 1);
}

void ProcessBlocks(const CryptoPP::BlockTransformation& cipher, const void* in, void* out,
                   uint32_t length)
{
    if (length)
        cipher.AdvancedProcessBlocks(static_cast<const CryptoPP::byte*>(in), nullptr,
                                     static_cast<CryptoPP::byte*>(out), length, 0);
}

bool EncodeInteger(const Integer& value, Buf& out)
{
    size_t n = value.MinEncodedSize();
    if (!out.Resize(static_cast<int>(n)))
        return false;
    value.Encode(out.GetData(), n);
    return true;
}

Integer DecodeInteger(const Buf& in)
{
    return Integer(in.GetData(), static_cast<size_t>(in.GetSize()));
}

}  // namespace

CryptoCore::CryptoCore()
{
    std::memset(sessionKey, 0, sizeof(sessionKey));
    std::memset(verificationCode, 0, sizeof(verificationCode));
    std::memset(padKey, 0, sizeof(padKey));
    // Every cipher is keyed from the start, so that a use before the real
    // keys are in place gives wrong bytes instead of touching an empty schedule.
    KeySession();
    builtinEncryptor.SetKey(kBuiltinKey, kKeySize);
    builtinDecryptor.SetKey(kBuiltinKey, kKeySize);
    padEncryptor.SetKey(padKey, kKeySize);
    padDecryptor.SetKey(padKey, kKeySize);
}

void CryptoCore::KeySession()
{
    sessionEncryptor.SetKey(sessionKey, kKeySize);
    sessionDecryptor.SetKey(sessionKey, kKeySize);
}

bool CryptoCore::GenerateKeys()
{
    try {
        dhDomain.AccessGroupParameters().GenerateRandomWithKeySize(randomPool, kDhModulusBits);
        dhPrivate.New(dhDomain.PrivateKeyLength());
        dhPublic.New(dhDomain.PublicKeyLength());
        dhAgreed.New(dhDomain.AgreedValueLength());
        dhDomain.GenerateKeyPair(randomPool, dhPrivate, dhPublic);
        answerPublic.New(0);

        for (uint32_t i = 0; i < kKeySize; ++i)
            sessionKey[i] = randomPool.GenerateByte();
        KeySession();

    } catch (...) {
        return false;
    }
    if (!Ecies::MakeKeyPair(randomPool, ownPrivateKey, ownPublicKey))
        return false;
    LoadPad();
    builtinEncryptor.SetKey(kBuiltinKey, kKeySize);
    builtinDecryptor.SetKey(kBuiltinKey, kKeySize);
    return true;
}

bool CryptoCore::SetPad(Buf& received)
{
    if (static_cast<uint32_t>(received.GetSize()) != kPadSize)
        return false;
    pad.TakeFrom(received);
    SavePad();
    return true;
}

bool CryptoCore::HashPad(Buf& out) const
{
    if (!out.Resize(CryptoPP::SHA256::DIGESTSIZE) || !HasPad())
        return false;
    CryptoPP::SHA256().CalculateDigest(out.GetData(), pad.GetData(), kPadSize);
    return true;
}

bool CryptoCore::SelectPadKey(uint32_t offset)
{
    // The offset only gates the selection: an offset above the pad size wraps
    // and passes. The key is always the first 32 bytes, so both peers agree.
    if (kPadSize - offset < kKeySize || !HasPad())
        return false;
    std::memcpy(padKey, pad.GetData(), kKeySize);
    padEncryptor.SetKey(padKey, kKeySize);
    padDecryptor.SetKey(padKey, kKeySize);
    return true;
}

void CryptoCore::PadTransform(const CryptoPP::BlockTransformation& cipher, const Buf& in,
                              Buf& out) const
{
    // A tail shorter than a block travels as it is.
    if (!out.Assign(in.GetData(), in.GetSize()))
        return;
    uint32_t whole = static_cast<uint32_t>(out.GetSize()) & ~(kBlock - 1);
    ProcessBlocks(cipher, out.GetData(), out.GetData(), whole);
}

void CryptoCore::EncryptWithPadKey(const Buf& in, Buf& out) const
{
    PadTransform(padEncryptor, in, out);
}

void CryptoCore::DecryptWithPadKey(const Buf& in, Buf& out) const
{
    PadTransform(padDecryptor, in, out);
}

bool CryptoCore::MakeKeyOffer(BufList& out) const
{
    try {
        const CryptoPP::DL_GroupParameters_GFP& group = dhDomain.GetGroupParameters();
        Buf p, g, pub, sent;
        if (!EncodeInteger(group.GetModulus(), p) || !EncodeInteger(group.GetGenerator(), g)
            || !pub.Assign(dhPublic.data(), static_cast<int>(dhPublic.size())))
            return false;
        for (const Buf* value : {&p, &g, &pub}) {
            EncryptWithPadKey(*value, sent);
            out.push_back(sent);
        }
    } catch (...) {
        return false;
    }
    return true;
}

bool CryptoCore::AcceptKeyOffer(const BufList& offer)
{
    if (offer.size() != 3)
        return false;
    Buf p, g, peerPublic;
    DecryptWithPadKey(offer[0], p);
    DecryptWithPadKey(offer[1], g);
    DecryptWithPadKey(offer[2], peerPublic);
    try {
        return AgreeWithGroup(DecodeInteger(p), DecodeInteger(g), peerPublic);
    } catch (...) {
        return false;
    }
}

bool CryptoCore::AgreeWithGroup(const Integer& p, const Integer& g, const Buf& peerPublic)
{
    // The offered group serves this exchange only: the own group and pair
    // stay for the offers this side makes, so that no peer can choose the
    // group of every later call. It must be a real safe-prime group of the
    // protocol's size, checked before any agreement.
    if (p.BitCount() < kDhModulusBits || p.BitCount() > kMaxOfferedModulusBits)
        return false;
    CryptoPP::DH domain;
    domain.AccessGroupParameters().Initialize(p, g);
    if (!domain.GetGroupParameters().Validate(randomPool, kOfferValidation))
        return false;
    SecByteBlock priv(domain.PrivateKeyLength());
    SecByteBlock pub(domain.PublicKeyLength());
    SecByteBlock agreed(domain.AgreedValueLength());
    // Agree reads a whole public block from the peer's value.
    if (static_cast<size_t>(peerPublic.GetSize()) != pub.size())
        return false;
    domain.GenerateKeyPair(randomPool, priv, pub);
    if (!domain.Agree(agreed, priv, peerPublic.GetData(), true))
        return false;
    answerPublic.swap(pub);
    dhAgreed.swap(agreed);
    DeriveSessionKey();
    return true;
}

bool CryptoCore::MakeKeyAnswer(BufList& out) const
{
    // Until an offer is accepted the answer carries the own public value.
    const SecByteBlock& value = answerPublic.size() ? answerPublic : dhPublic;
    Buf pub, sent;
    if (!pub.Assign(value.data(), static_cast<int>(value.size())))
        return false;
    EncryptWithPadKey(pub, sent);
    out.push_back(sent);
    return true;
}

bool CryptoCore::FinishKeyAnswer(const BufList& answer)
{
    if (answer.empty())
        return false;
    Buf peerPublic;
    DecryptWithPadKey(answer[0], peerPublic);
    try {
        if (static_cast<size_t>(peerPublic.GetSize()) != dhDomain.PublicKeyLength()
            || dhPrivate.size() != dhDomain.PrivateKeyLength())
            return false;
        SecByteBlock agreed(dhDomain.AgreedValueLength());
        if (!dhDomain.Agree(agreed, dhPrivate, peerPublic.GetData(), true))
            return false;
        dhAgreed.swap(agreed);
    } catch (...) {
        return false;
    }
    DeriveSessionKey();
    return true;
}

void CryptoCore::DeriveSessionKey()
{
    CryptoPP::SHA256().CalculateDigest(sessionKey, dhAgreed.data(), dhAgreed.size());
    KeySession();
    MakeVerificationCode();
}

void CryptoCore::MakeVerificationCode()
{
    FormatVerificationCode(sessionKey, verificationCode);
}

void CryptoCore::FormatVerificationCode(const unsigned char* key, wchar_t* out)
{
    std::wmemset(out, 0, kVerificationUnits);
    swprintf(out, kVerificationUnits - 1, L"%d%d%d%d%d", key[0], key[1], key[2], key[3], key[4]);
    out[5] = 0;
}

uint32_t CryptoCore::EncryptBuffer(const void* in, uint32_t length, void* out) const
{
    if (length > UINT32_MAX - (kBlock - 1))
        return 0;
    uint32_t rounded = RoundUp(length);
    ProcessBlocks(sessionEncryptor, in, out, rounded);
    return rounded;
}

void CryptoCore::DecryptBuffer(const void* in, uint32_t length, void* out) const
{
    if (length < kBlock || length % kBlock)
        return;
    ProcessBlocks(sessionDecryptor, in, out, length);
}

uint32_t CryptoCore::EncryptWithBuiltinKey(std::string text, uint32_t length, void* out) const
{
    // Enciphered from a zero-filled copy, so that rounding up never reads
    // past the text.
    length = std::min(length, kMaxNameLength);
    unsigned char area[kNameArea] = {};
    std::memcpy(area, text.data(), std::min<size_t>(text.size(), length));
    uint32_t rounded = RoundUp(length);
    ProcessBlocks(builtinEncryptor, area, out, rounded);
    return rounded;
}

void CryptoCore::DecryptWithBuiltinKey(const void* in, uint32_t length, void* out) const
{
    ProcessBlocks(builtinDecryptor, in, out, std::min(length, kNameArea) & ~(kBlock - 1));
}

Buf CryptoCore::EncryptName(const std::string& text) const
{
    unsigned char area[kNameArea] = {};
    uint32_t n = EncryptWithBuiltinKey(text, static_cast<uint32_t>(text.size()), area);
    Buf out;
    out.Assign(area, static_cast<int>(n));
    return out;
}

std::string CryptoCore::DecryptName(const Buf& in) const
{
    char area[kNameArea] = {};
    DecryptWithBuiltinKey(in.GetData(), static_cast<uint32_t>(in.GetSize()), area);
    return std::string(area, strnlen(area, kNameArea));
}

bool CryptoCore::GetPublicKey(Buf& out) const
{
    return Ecies::ExportPoint(ownPrivateKey, ownPublicKey, out);
}

bool CryptoCore::EncryptForPeer(const std::wstring& text, const Buf& peerKey, Buf& out) const
{
    // UTF-16LE units and a zero unit, whatever the width of wchar_t here.
    SecByteBlock plain(2 * text.size() + 2);
    for (size_t i = 0; i <= text.size(); ++i) {
        unsigned unit = i < text.size() ? static_cast<unsigned>(text[i]) : 0;
        plain[2 * i] = static_cast<CryptoPP::byte>(unit);
        plain[2 * i + 1] = static_cast<CryptoPP::byte>(unit >> 8);
    }
    return Ecies::EncryptTo(peerKey, plain.data(), plain.size(), out);
}

bool CryptoCore::DecryptFromPeer(const Buf& cipher, std::wstring& text) const
{
    text.clear();
    SecByteBlock plain;
    size_t length = 0;
    if (!Ecies::DecryptWith(ownPrivateKey, cipher, plain, length))
        return false;
    // Taken by the recovered length: a text without its zero unit ends there.
    for (size_t i = 0; i + 1 < length; i += 2) {
        wchar_t unit = static_cast<wchar_t>(plain[i] | (plain[i + 1] << 8));
        if (!unit)
            break;
        text.push_back(unit);
    }
    return true;
}

void CryptoCore::MakeFingerprint(std::string& out, const std::string& text)
{
    out.clear();
    try {
        CryptoPP::Weak::MD5 md5;
        CryptoPP::StringSource source(
            text, true,
            new CryptoPP::HashFilter(
                md5, new CryptoPP::HexEncoder(new CryptoPP::StringSink(out), false)));
    } catch (...) {
        out.clear();
    }
}

bool CryptoCore::SelfTest()
{
    CryptoCore caller, callee;
    if (!caller.GenerateKeys() || !callee.GenerateKeys())
        return false;
    BufList offer, answer;
    bool agreed = caller.MakeKeyOffer(offer) && callee.AcceptKeyOffer(offer)
        && callee.MakeKeyAnswer(answer) && caller.FinishKeyAnswer(answer)
        && std::memcmp(caller.sessionKey, callee.sessionKey, kKeySize) == 0;

    CryptoCore sender, receiver;
    if (!sender.GenerateKeys() || !receiver.GenerateKeys())
        return false;
    std::wstring text(10230, L'x'), back;
    Buf key, cipher;
    bool carried = receiver.GetPublicKey(key) && sender.EncryptForPeer(text, key, cipher)
        && receiver.DecryptFromPeer(cipher, back) && back == text;
    return agreed && carried;
}
