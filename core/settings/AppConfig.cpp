#include "settings/AppConfig.h"

#include <algorithm>
#include <cstring>
#include <type_traits>

#include "crypto/RecordKey.h"

namespace {

const char kDefaultServerHost[] = "relay.pelvane.net";
const uint16_t kDefaultPort = 11500;
const char kMark[] = "!#!";
const uint32_t kMarkSize = 3;

// File offsets of the nine records.
const uint32_t kServerHostAt = 0;
const uint32_t kSpareTextAt = 1024;
const uint32_t kVolumeAt = 2048;
const uint32_t kUserNameAt = 2052;
const uint32_t kPasswordAt = 3076;
const uint32_t kPortAt = 4100;
const uint32_t kLanguageAt = 4102;
const uint32_t kSoundsAt = 4106;
const uint32_t kBackupHostAt = 4110;

// One record of the file as a sequential read gets it: false when not a
// byte of it is there; a short record is zero-filled.
class RecordReader {
public:
    RecordReader(const unsigned char* data, uint32_t size) : data_(data), size_(size) {}

    bool Take(uint32_t at, uint32_t length, unsigned char* out) const
    {
        std::memset(out, 0, length);
        if (at >= size_)
            return false;
        std::memcpy(out, data_ + at, std::min(length, size_ - at));
        return true;
    }

    bool Text(uint32_t at, std::string& text) const
    {
        unsigned char record[AppConfig::kTextRecord];
        if (!Take(at, sizeof(record), record))
            return false;
        const char* s = reinterpret_cast<const char*>(record);
        text.assign(s, strnlen(s, sizeof(record)));
        return true;
    }

    template <typename T>
    bool Number(uint32_t at, T& value) const
    {
        unsigned char b[sizeof(T)];
        if (!Take(at, sizeof(T), b))
            return false;
        typename std::make_unsigned<T>::type v = 0;
        for (size_t i = sizeof(T); i-- > 0;)
            v = static_cast<decltype(v)>((v << 8) | b[i]);
        value = static_cast<T>(v);
        return true;
    }

private:
    const unsigned char* data_;
    uint32_t size_;
};

template <typename T>
void PutNumber(unsigned char* out, T value)
{
    typename std::make_unsigned<T>::type v = static_cast<decltype(v)>(value);
    for (size_t i = 0; i < sizeof(T); ++i)
        out[i] = static_cast<unsigned char>(v >> (8 * i));
}

void PutText(unsigned char* record, const std::string& text)
{
    std::memcpy(record, text.data(), std::min<size_t>(text.size(), AppConfig::kMaxTextLength));
}

}  // namespace

AppConfig::AppConfig()
{
    unsigned char key[kRecordKeySize];
    BuildRecordKey(key);
    recordEncryptor.SetKey(key, kRecordKeySize);
    recordDecryptor.SetKey(key, kRecordKeySize);
    std::memset(key, 0, sizeof(key));
}

void AppConfig::SetDefaults()
{
    serverHost = kDefaultServerHost;
    backupServerHost.clear();
    spareText.clear();
    volumePercent = 100;
    userName.clear();
    password.clear();
    port = kDefaultPort;
    languageIndex = 0;
    soundsEnabled = 1;
}

std::string AppConfig::ReadSecret(const unsigned char* record) const
{
    const char* s = reinterpret_cast<const char*>(record);
    if (std::memcmp(record, kMark, kMarkSize) != 0)
        return std::string(s, strnlen(s, kTextRecord));
    unsigned char plain[kSecretArea];
    recordDecryptor.AdvancedProcessBlocks(record + kMarkSize, nullptr, plain, kSecretArea, 0);
    s = reinterpret_cast<const char*>(plain);
    return std::string(s, strnlen(s, kSecretArea));
}

void AppConfig::WriteSecret(const std::string& text, unsigned char* record) const
{
    // A text the area cannot hold with its terminator is not kept at all:
    // a cut password or sign-in name would be wrong at the next sign-in.
    unsigned char plain[kSecretArea] = {};
    if (text.size() <= kMaxSecretLength)
        std::memcpy(plain, text.data(), text.size());
    std::memcpy(record, kMark, kMarkSize);
    recordEncryptor.AdvancedProcessBlocks(plain, nullptr, record + kMarkSize, kSecretArea, 0);
}

bool AppConfig::Parse(const unsigned char* data, uint32_t size)
{
    RecordReader r(data, size);
    unsigned char record[kTextRecord];
    if (!r.Text(kServerHostAt, serverHost) || !r.Text(kSpareTextAt, spareText)
        || !r.Number(kVolumeAt, volumePercent))
        return false;
    if (!r.Take(kUserNameAt, kTextRecord, record))
        return false;
    userName = ReadSecret(record);
    if (!r.Take(kPasswordAt, kTextRecord, record))
        return false;
    password = ReadSecret(record);
    if (!r.Number(kPortAt, port))
        return false;
    if (!r.Number(kLanguageAt, languageIndex))
        languageIndex = 0;
    if (!r.Number(kSoundsAt, soundsEnabled))
        soundsEnabled = 1;
    if (!r.Text(kBackupHostAt, backupServerHost))
        backupServerHost.clear();
    return true;
}

void AppConfig::Format(unsigned char* out) const
{
    std::memset(out, 0, kFileSize);
    PutText(out + kServerHostAt, serverHost);
    PutText(out + kSpareTextAt, spareText);
    PutNumber(out + kVolumeAt, volumePercent);
    WriteSecret(userName, out + kUserNameAt);
    WriteSecret(password, out + kPasswordAt);
    PutNumber(out + kPortAt, port);
    PutNumber(out + kLanguageAt, languageIndex);
    PutNumber(out + kSoundsAt, soundsEnabled);
    PutText(out + kBackupHostAt, backupServerHost);
}
