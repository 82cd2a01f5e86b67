#include "settings/LanguageTable.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "base/FileHandle.h"
#include "crypto/RecordKey.h"
#include "settings/LanguageRecords.h"

wchar_t LanguageTable[kLanguageSlots][kLanguageSlotUnits];

namespace {

const wchar_t* const kLanguageFiles[kLanguageCount] = {
    L"dat\\en.dat", L"dat\\sp.dat", L"dat\\pt.dat", L"dat\\ch.dat", L"dat\\ro.dat",
};

const wchar_t* const kSourceFiles[kLanguageCount] = {
    L"dat\\string_engilsh.txt", L"dat\\string_spanish.txt", L"dat\\string_portuguese.txt",
    L"dat\\string_chinese.txt", L"dat\\string_romanian.txt",
};

template <typename Cipher>
void KeyWithRecordKey(Cipher& cipher)
{
    unsigned char key[kRecordKeySize];
    BuildRecordKey(key);
    cipher.SetKey(key, kRecordKeySize);
    SecureZeroMemory(key, sizeof(key));
}

// Source files are a few kilobytes; a language file beyond its 256 records
// is not read.
const size_t kMaxSourceBytes = 1 << 20;
const size_t kMaxLanguageBytes = kLanguageSlots * kLanguageRecord;

bool ReadWhole(const wchar_t* path, size_t limit, std::string& out)
{
    CFileHandle file;
    if (!file.OpenExisting(path))
        return false;
    out.clear();
    char chunk[4096];
    uint32_t got = 0;
    while (out.size() < limit && file.Read(chunk, sizeof(chunk), &got))
        out.append(chunk, std::min<size_t>(got, limit - out.size()));
    return true;
}

}  // namespace

bool LoadLanguage(uint32_t index)
{
    if (index >= kLanguageCount)
        return false;
    wchar_t path[MAX_PATH];
    if (!GetModuleDirPath(kLanguageFiles[index], path, MAX_PATH))
        return false;
    // Read first and applied only when there is at least one record, so a
    // failed load leaves every slot as it was.
    std::string bytes;
    if (!ReadWhole(path, kMaxLanguageBytes, bytes) || bytes.empty())
        return false;
    CryptoPP::AES::Decryption cipher;
    KeyWithRecordKey(cipher);
    const unsigned char* data = reinterpret_cast<const unsigned char*>(bytes.data());
    uint32_t size = static_cast<uint32_t>(bytes.size());
    for (uint32_t k = 0; k < kLanguageSlots && k * kLanguageRecord < size; ++k) {
        uint32_t at = k * kLanguageRecord;
        std::string text = DecryptLanguageRecord(cipher, data + at, size - at);
        wchar_t* slot = LanguageTable[k];
        // At most 256 bytes give at most 256 units: the slot always has room
        // for the terminator.
        int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), slot,
                                    kLanguageSlotUnits - 1);
        slot[n > 0 ? n : 0] = 0;
    }
    return true;
}

int32_t LoadStartLanguage(int32_t chosen)
{
    if (chosen >= 0 && LoadLanguage(static_cast<uint32_t>(chosen)))
        return chosen;
    for (uint32_t i = 0; i < kLanguageCount; ++i)
        if (static_cast<int32_t>(i) != chosen && LoadLanguage(i))
            return static_cast<int32_t>(i);
    return -1;
}

std::string GetLanguageString(int32_t id)
{
    if (id < 0 || static_cast<uint32_t>(id) >= kLanguageSlots)
        return std::string();
    const wchar_t* slot = LanguageTable[id];
    int units = static_cast<int>(wcsnlen(slot, kLanguageSlotUnits));
    if (units == 0)
        return std::string();
    std::vector<char> out(2 * units + 1, 0);
    int n = WideCharToMultiByte(CP_ACP, 0, slot, units, out.data(), 2 * units, nullptr, nullptr);
    return std::string(out.data(), n > 0 ? n : 0);
}

void EncryptLanguageFiles()
{
    CryptoPP::AES::Encryption cipher;
    KeyWithRecordKey(cipher);
    for (uint32_t i = 0; i < kLanguageCount; ++i) {
        wchar_t sourcePath[MAX_PATH], targetPath[MAX_PATH];
        std::string source;
        if (!GetModuleDirPath(kSourceFiles[i], sourcePath, MAX_PATH)
            || !ReadWhole(sourcePath, kMaxSourceBytes, source))
            continue;
        std::vector<std::string> lines = SplitSourceLines(source);
        std::vector<unsigned char> records(lines.size() * kLanguageRecord);
        for (size_t k = 0; k < lines.size(); ++k)
            EncryptLanguageRecord(cipher, lines[k], &records[k * kLanguageRecord]);
        // Replaced whole: records of an older, longer file must not remain.
        CFileHandle target;
        if (!GetModuleDirPath(kLanguageFiles[i], targetPath, MAX_PATH)
            || !target.OpenReadWrite(targetPath, true))
            return;
        if (!records.empty())
            target.Write(records.data(), static_cast<uint32_t>(records.size()));
    }
}
