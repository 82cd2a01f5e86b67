// The session crypto object: the call key exchange and the voice cipher, the
// built-in name cipher shared with the relay server, the pad from "conf.dat",
// the own ECIES key pair for chat texts, and password fingerprints.
//
// Every AES use here is the bare block cipher on independent 16-byte blocks:
// no IV, no chaining, no padding scheme. Lengths that are not a multiple of
// 16 are handled per key, and those rules are part of the wire formats.
#pragma once

#include <cryptopp/aes.h>
#include <cryptopp/dh.h>
#include <cryptopp/osrng.h>
#include <cryptopp/secblock.h>
#include <cryptopp/sha.h>

#include <cstdint>
#include <string>
#include <vector>

#include "crypto/Ecies.h"
#include "wire/Buf.h"

typedef std::vector<Buf> BufList;

class CryptoCore {
public:
    static constexpr uint32_t kKeySize = 32;
    static constexpr uint32_t kPadSize = 2048;
    // Received names are deciphered into an area of this size.
    static constexpr uint32_t kNameArea = 256;
    // Longest name text that fits the area together with its terminator.
    static constexpr uint32_t kMaxNameLength = kNameArea - 1;
    // A longer name would be cut by the cipher and address someone else:
    // every request refuses it instead.
    static bool NameFits(const std::string& name) { return name.size() <= kMaxNameLength; }
    static constexpr uint32_t kVerificationUnits = 32;
    static constexpr uint32_t kEciesOverhead = Ecies::kOverhead;
    static constexpr uint32_t kPublicKeySize = Ecies::kPublicKeySize;

    CryptoCore();
    CryptoCore(const CryptoCore&) = delete;
    CryptoCore& operator=(const CryptoCore&) = delete;

    // Start-up: DH group and pair, random session key, own EC pair, the pad
    // from "conf.dat", the built-in ciphers. False only when the library
    // fails, which the caller reports as a key-generation failure.
    bool GenerateKeys();

    bool LoadPad();
    bool SavePad();
    // Adopts and saves a pad of exactly kPadSize bytes; any other size is
    // refused, and the pad held so far stays.
    bool SetPad(Buf& received);
    bool HasPad() const { return static_cast<uint32_t>(pad.GetSize()) == kPadSize; }
    bool HashPad(Buf& out) const;
    bool SelectPadKey(uint32_t offset);
    void EncryptWithPadKey(const Buf& in, Buf& out) const;
    void DecryptWithPadKey(const Buf& in, Buf& out) const;

    // The call key exchange: the caller offers (p, g, own public value), the
    // callee accepts and answers (its public value), the caller finishes.
    bool MakeKeyOffer(BufList& out) const;
    bool AcceptKeyOffer(const BufList& offer);
    bool MakeKeyAnswer(BufList& out) const;
    bool FinishKeyAnswer(const BufList& answer);
    void DeriveSessionKey();
    void MakeVerificationCode();
    // Key bytes 0-4 as decimal numbers, cut to five digits.
    static void FormatVerificationCode(const unsigned char* key, wchar_t* out);
    const wchar_t* GetVerificationCode() const { return verificationCode; }

    // The voice cipher. in may equal out; both areas must hold the length
    // rounded up to 16, which EncryptBuffer returns.
    uint32_t EncryptBuffer(const void* in, uint32_t length, void* out) const;
    // Lengths below 16 or not a multiple of 16 are refused: nothing is written.
    void DecryptBuffer(const void* in, uint32_t length, void* out) const;

    // Names: the text, its terminator and zero filler, rounded up to 16 bytes,
    // into out (at least kNameArea bytes). Texts longer than kMaxNameLength
    // are cut there, so that every enciphered name fits the receiver's area.
    uint32_t EncryptWithBuiltinKey(std::string text, uint32_t length, void* out) const;
    // Whole blocks only, and at most kNameArea bytes: out must hold kNameArea.
    void DecryptWithBuiltinKey(const void* in, uint32_t length, void* out) const;
    // The forms the commands carry: a name in its enciphered Buf, and back.
    Buf EncryptName(const std::string& text) const;
    std::string DecryptName(const Buf& in) const;

    bool GetPublicKey(Buf& out) const;
    // UTF-16 units with a zero unit, enciphered to the peer's public point.
    bool EncryptForPeer(const std::wstring& text, const Buf& peerKey, Buf& out) const;
    // False, and an empty text, when the tag or the point does not verify.
    bool DecryptFromPeer(const Buf& cipher, std::wstring& text) const;

    // MD5 of the text's bytes as 32 lower-case hexadecimal digits.
    static void MakeFingerprint(std::string& out, const std::string& text);

    // An exchange and a chat round trip between fresh objects.
    static bool SelfTest();

    const unsigned char* GetSessionKey() const { return sessionKey; }
    const unsigned char* GetPadKey() const { return padKey; }

private:
    bool AgreeWithGroup(const CryptoPP::Integer& p, const CryptoPP::Integer& g,
                        const Buf& peerPublic);
    void PadTransform(const CryptoPP::BlockTransformation& cipher, const Buf& in,
                      Buf& out) const;
    void KeySession();

    unsigned char sessionKey[kKeySize];
    CryptoPP::AES::Encryption sessionEncryptor;
    CryptoPP::AES::Decryption sessionDecryptor;
    wchar_t verificationCode[kVerificationUnits];
    CryptoPP::AES::Encryption builtinEncryptor;
    CryptoPP::AES::Decryption builtinDecryptor;
    CryptoPP::AutoSeededRandomPool randomPool;
    CryptoPP::DH dhDomain;
    CryptoPP::SecByteBlock dhPrivate;
    CryptoPP::SecByteBlock dhPublic;
    CryptoPP::SecByteBlock dhAgreed;
    ChatEcies::PrivateKey ownPrivateKey;
    ChatEcies::PublicKey ownPublicKey;
    Buf pad;
    unsigned char padKey[kKeySize];
    CryptoPP::AES::Encryption padEncryptor;
    CryptoPP::AES::Decryption padDecryptor;
    // The own public value of the last accepted offer, in the offerer's group.
    CryptoPP::SecByteBlock answerPublic;
};

CryptoCore* GetCryptoCore();
