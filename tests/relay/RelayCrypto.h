// The relay's side of the shared secrets: the built-in name key, the name
// encipherment that uses it, the shared pad and the password digest.
#pragma once

#include <string>

#include "Wire.h"

namespace relay {

// Shared with the client; both must encipher names with the same key.
extern const uint8_t kNameKey[32];

const size_t kPadSize = 2048;

// A name travels as raw AES-256 blocks: text, zero byte, zero filler up to a
// multiple of 16; a text already a multiple of 16 goes without its zero byte,
// and the empty text becomes no bytes at all.
Bytes EncipherName(const std::string& text);
// Deciphers the whole blocks and reads up to the first zero byte; a tail
// shorter than a block is not deciphered and is dropped.
std::string DecipherName(const Bytes& blob);
// Enciphers the whole blocks of `data` and copies a shorter tail as it is:
// names of lengths no client would send, for fault injection.
Bytes EncipherBlocks(const Bytes& data);
// Raw AES-256 of one 16-byte block under `key`, for checks against known vectors.
void EncipherBlock(const uint8_t key[32], const uint8_t in[16], uint8_t out[16]);

// MD5 of the text as 32 lower-case hexadecimal digits.
std::string Md5Hex(const std::string& text);
Bytes Sha256(const Bytes& data);

// The pad every account shares; the same on every run so that a client keeps
// the pad it was given until the relay is started with another one.
Bytes DefaultPad();

}  // namespace relay
