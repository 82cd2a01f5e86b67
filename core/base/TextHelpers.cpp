#include "base/TextHelpers.h"

#include <cstdio>

std::string FormatIpPort(uint32_t address, uint16_t port)
{
    char text[32];
    std::snprintf(text, sizeof(text), "%d.%d.%d.%d:%d", static_cast<int>(address >> 24),
                  static_cast<int>((address >> 16) & 0xFF), static_cast<int>((address >> 8) & 0xFF),
                  static_cast<int>(address & 0xFF), static_cast<int>(port));
    return text;
}

std::string CopyText(const std::string& text)
{
    return text;
}

std::string IntToString(int32_t value)
{
    char text[16];
    std::snprintf(text, sizeof(text), "%d", static_cast<int>(value));
    return text;
}

std::wstring HeadUnits(const std::wstring& text, size_t units)
{
    if (units >= text.size())
        return text;
    if (units > 0 && text[units - 1] >= 0xD800 && text[units - 1] <= 0xDBFF && text[units] >= 0xDC00
        && text[units] <= 0xDFFF)
        --units;
    return text.substr(0, units);
}
