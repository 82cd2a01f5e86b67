// The language file form: 256-byte records, each the bare AES-256 blocks of
// one ANSI text NUL-padded to 256 bytes; and the plain source form, one text
// per line. Platform-free, for the loader and the encryptor tool.
#pragma once

#include <cryptopp/aes.h>

#include <cstdint>
#include <string>
#include <vector>

const uint32_t kLanguageRecord = 256;
// A text must leave room for its terminator in the record.
const uint32_t kMaxLanguageText = kLanguageRecord - 1;

// Longer texts are cut to kMaxLanguageText bytes.
void EncryptLanguageRecord(const CryptoPP::AES::Encryption& cipher, const std::string& text,
                           unsigned char* record);
// got bytes of a record (a short last record is zero-filled first); the
// text ends at its first NUL or at the end of the record.
std::string DecryptLanguageRecord(const CryptoPP::AES::Decryption& cipher,
                                  const unsigned char* record, uint32_t got);

// The lines of a source file: "\n" or "\r\n" ends a line, a last line
// without a break is kept whole, and a line's length is not limited here.
std::vector<std::string> SplitSourceLines(const std::string& source);
