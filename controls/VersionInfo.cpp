#include "VersionInfo.h"

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <vector>

namespace {
const wchar_t* const kKeys[] = {L"CompanyName",    L"FileDescription", L"FileVersion",     L"InternalName",
                                L"LegalCopyright", L"OriginalFileName", L"ProductName",    L"ProductVersion",
                                L"Comments",       L"LegalTrademarks", L"PrivateBuild",    L"SpecialBuild"};

WORD Word(DWORD most, DWORD least, int part)
{
    switch (part) {
    case 0:
        return LOWORD(least);
    case 1:
        return HIWORD(least);
    case 2:
        return LOWORD(most);
    case 3:
        return HIWORD(most);
    default:
        return 0;
    }
}

// An exact match, or with relatives also the first entry of the same
// language family (the low 8 bits).
int Match(const DWORD* entries, int count, LANGID language, bool relatives)
{
    for (int i = 0; i < count; ++i)
        if (LOWORD(entries[i]) == language) return i;
    if (relatives)
        for (int i = 0; i < count; ++i)
            if ((LOWORD(entries[i]) & 0xFF) == (language & 0xFF)) return i;
    return -1;
}
}  // namespace

CFileVersionInfo::CFileVersionInfo() { Reset(); }

CFileVersionInfo::~CFileVersionInfo() {}

void CFileVersionInfo::Reset()
{
    std::memset(&fixed_, 0, sizeof(fixed_));
    for (std::wstring& s : strings_) s.clear();
}

bool CFileVersionInfo::Open(HMODULE module)
{
    wchar_t path[MAX_PATH] = L"";
    DWORD length = ::GetModuleFileNameW(module, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        Reset();
        return false;
    }
    return ReadFile(path);
}

int CFileVersionInfo::FindTranslation(const DWORD* entries, int count, LANGID userLanguage)
{
    if (!entries || count <= 0) return -1;
    int found = Match(entries, count, userLanguage, false);
    if (found < 0) found = Match(entries, count, userLanguage, true);
    if (found < 0) found = Match(entries, count, 0, true);
    if (found < 0) found = Match(entries, count, 9, true);
    return found < 0 ? 0 : found;
}

bool CFileVersionInfo::ReadFile(const wchar_t* fileName)
{
    Reset();
    DWORD handle = 0;
    DWORD size = ::GetFileVersionInfoSizeW(fileName, &handle);
    if (size == 0) return false;
    std::vector<BYTE> data(size);
    if (!::GetFileVersionInfoW(fileName, 0, size, data.data())) return false;

    void* value = nullptr;
    UINT length = 0;
    if (::VerQueryValueW(data.data(), L"\\", &value, &length) && length == sizeof(VS_FIXEDFILEINFO))
        std::memcpy(&fixed_, value, sizeof(fixed_));

    // Without a translation table there is no string block to choose: the
    // strings stay empty.
    if (!::VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", &value, &length)) return true;
    const DWORD* entries = static_cast<const DWORD*>(value);
    int chosen = FindTranslation(entries, static_cast<int>(length / sizeof(DWORD)), ::GetUserDefaultLangID());
    if (chosen < 0) return true;

    wchar_t prefix[40];
    std::swprintf(prefix, 40, L"\\StringFileInfo\\%04X%04X\\", LOWORD(entries[chosen]), HIWORD(entries[chosen]));
    for (int i = 0; i < kStringCount; ++i) {
        std::wstring path = std::wstring(prefix) + kKeys[i];
        if (::VerQueryValueW(data.data(), path.c_str(), &value, &length) && value) {
            const wchar_t* text = static_cast<const wchar_t*>(value);
            strings_[i].assign(text, ::wcsnlen(text, length));
        }
    }
    return true;
}

WORD CFileVersionInfo::GetFileVersionWord(int word) const
{
    return Word(fixed_.dwFileVersionMS, fixed_.dwFileVersionLS, word);
}

WORD CFileVersionInfo::GetProductVersionWord(int word) const
{
    return Word(fixed_.dwProductVersionMS, fixed_.dwProductVersionLS, word);
}
