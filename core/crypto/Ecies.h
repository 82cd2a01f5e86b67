// The ECIES scheme of chat texts and file keys: secp384r1 with compressed
// points. Peers built against other releases of the library exist, so every
// option of the scheme is spelled out: SHA-1 KDF2 and HMAC, DHAES mode off.
#pragma once

#include <cryptopp/eccrypto.h>
#include <cryptopp/osrng.h>
#include <cryptopp/secblock.h>

#include <cstddef>

#include "wire/Buf.h"

typedef CryptoPP::ECIES<CryptoPP::ECP, CryptoPP::SHA1, CryptoPP::NoCofactorMultiplication, false,
                        false>
    ChatEcies;

namespace Ecies {

// Compressed point, then the 20-byte tag: a ciphertext is plaintext + 69.
const unsigned kOverhead = 69;
const unsigned kPublicKeySize = 49;

// Library failures come back as false; nothing here throws.
bool MakeKeyPair(CryptoPP::RandomNumberGenerator& rng, ChatEcies::PrivateKey& priv,
                 ChatEcies::PublicKey& pub);
bool KeyIsMade(const ChatEcies::PrivateKey& key);
// The public point, compressed (49 bytes).
bool ExportPoint(const ChatEcies::PrivateKey& priv, const ChatEcies::PublicKey& pub, Buf& out);
// Enciphers to a compressed point; a point that does not decode or lies
// off the curve fails.
bool EncryptTo(const Buf& peerKey, const void* plain, size_t length, Buf& out);
// Deciphers with the own key. False when the tag or the point does not
// verify; otherwise plain holds length recovered bytes.
bool DecryptWith(const ChatEcies::PrivateKey& priv, const Buf& cipher, CryptoPP::SecByteBlock& plain,
                 size_t& length);

}  // namespace Ecies
