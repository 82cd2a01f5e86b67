#include "settings/LanguageRecords.h"

#include <algorithm>
#include <cstring>

void EncryptLanguageRecord(const CryptoPP::AES::Encryption& cipher, const std::string& text,
                           unsigned char* record)
{
    unsigned char plain[kLanguageRecord] = {};
    std::memcpy(plain, text.data(), std::min<size_t>(text.size(), kMaxLanguageText));
    cipher.AdvancedProcessBlocks(plain, nullptr, record, kLanguageRecord, 0);
}

std::string DecryptLanguageRecord(const CryptoPP::AES::Decryption& cipher,
                                  const unsigned char* record, uint32_t got)
{
    unsigned char in[kLanguageRecord] = {};
    std::memcpy(in, record, std::min(got, kLanguageRecord));
    char plain[kLanguageRecord + 1] = {};
    cipher.AdvancedProcessBlocks(in, nullptr, reinterpret_cast<unsigned char*>(plain),
                                 kLanguageRecord, 0);
    return std::string(plain, strnlen(plain, kLanguageRecord));
}

std::vector<std::string> SplitSourceLines(const std::string& source)
{
    std::vector<std::string> lines;
    size_t at = 0;
    while (at < source.size()) {
        size_t end = source.find('\n', at);
        size_t next = end == std::string::npos ? source.size() : end + 1;
        if (end == std::string::npos)
            end = source.size();
        if (end > at && source[end - 1] == '\r' && end != source.size())
            --end;
        lines.push_back(source.substr(at, end - at));
        at = next;
    }
    return lines;
}
