#include "RelayCrypto.h"

#define CRYPTOPP_ENABLE_NAMESPACE_WEAK 1
#include <cryptopp/aes.h>
#include <cryptopp/md5.h>
#include <cryptopp/sha.h>

namespace relay {

const uint8_t kNameKey[32] = {
    0xe3, 0xb9, 0x13, 0x1d, 0xd4, 0xb3, 0xf1, 0x6d, 0xb7, 0x33, 0x2a, 0x2a, 0xde, 0x8c, 0xd0, 0xd4,
    0x59, 0xfd, 0xab, 0x55, 0x06, 0x21, 0xc0, 0x8d, 0xa0, 0x88, 0xa5, 0x36, 0xb3, 0x14, 0x66, 0xfb,
};

namespace {

// Crypto++ reports errors by throwing; with a fixed key of valid length it
// does not, but nothing may escape either way.
template <class Cipher>
bool ProcessBlocks(const uint8_t key[32], const uint8_t* in, uint8_t* out, size_t blocks) {
    try {
        Cipher c(key, 32);
        for (size_t i = 0; i < blocks; ++i) c.ProcessBlock(in + 16 * i, out + 16 * i);
        return true;
    } catch (...) {
        return false;
    }
}

}  // namespace

Bytes EncipherName(const std::string& text) {
    Bytes plain((text.size() + 15) / 16 * 16, 0);
    std::copy(text.begin(), text.end(), plain.begin());
    Bytes out(plain.size());
    if (!ProcessBlocks<CryptoPP::AES::Encryption>(kNameKey, plain.data(), out.data(), plain.size() / 16)) return {};
    return out;
}

std::string DecipherName(const Bytes& blob) {
    size_t blocks = blob.size() / 16;
    Bytes plain(16 * blocks);
    if (!ProcessBlocks<CryptoPP::AES::Decryption>(kNameKey, blob.data(), plain.data(), blocks)) return {};
    size_t n = 0;
    while (n < plain.size() && plain[n] != 0) ++n;
    return std::string(plain.begin(), plain.begin() + n);
}

Bytes EncipherBlocks(const Bytes& data) {
    Bytes out = data;
    ProcessBlocks<CryptoPP::AES::Encryption>(kNameKey, data.data(), out.data(), data.size() / 16);
    return out;
}

void EncipherBlock(const uint8_t key[32], const uint8_t in[16], uint8_t out[16]) {
    ProcessBlocks<CryptoPP::AES::Encryption>(key, in, out, 1);
}

std::string Md5Hex(const std::string& text) {
    uint8_t digest[16];
    try {
        CryptoPP::Weak::MD5().CalculateDigest(digest, reinterpret_cast<const uint8_t*>(text.data()), text.size());
    } catch (...) {
        return {};
    }
    return Hex(digest, sizeof digest);
}

Bytes Sha256(const Bytes& data) {
    Bytes digest(32);
    try {
        CryptoPP::SHA256().CalculateDigest(digest.data(), data.data(), data.size());
    } catch (...) {
        return {};
    }
    return digest;
}

Bytes DefaultPad() {
    // SHA-256 in counter mode over a fixed label: stable, and without any
    // structure a client could lean on.
    Bytes pad;
    for (uint32_t counter = 0; pad.size() < kPadSize; ++counter) {
        std::string label = "pelvane test relay pad " + std::to_string(counter);
        Bytes block = Sha256(Bytes(label.begin(), label.end()));
        pad.insert(pad.end(), block.begin(), block.end());
    }
    pad.resize(kPadSize);
    return pad;
}

}  // namespace relay
