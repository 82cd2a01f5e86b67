#include "WebAddress.h"

#include <cwctype>

namespace {
bool StartsWithNoCase(const std::wstring& text, const wchar_t* prefix)
{
    size_t i = 0;
    for (; prefix[i]; ++i)
        if (i >= text.size() || std::towlower(text[i]) != prefix[i]) return false;
    return true;
}

bool StaysOneArgument(wchar_t c) { return c > L' ' && c < 0x7F && c != L'"'; }
}  // namespace

bool IsWebAddress(const std::wstring& text)
{
    size_t schemeEnd = 0;
    if (StartsWithNoCase(text, L"http://"))
        schemeEnd = 7;
    else if (StartsWithNoCase(text, L"https://"))
        schemeEnd = 8;
    else
        return false;
    if (text.size() == schemeEnd) return false;
    for (wchar_t c : text)
        if (!StaysOneArgument(c)) return false;
    return true;
}
