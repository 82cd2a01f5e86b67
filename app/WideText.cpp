#include "WideText.h"

#include <cstdarg>
#include <cwchar>
#include <vector>

std::string ToAnsi(const std::wstring& text)
{
    if (text.empty()) return std::string();
    const int units = static_cast<int>(text.size());
    int n = WideCharToMultiByte(CP_ACP, 0, text.data(), units, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return std::string();
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), units, &out[0], n, nullptr, nullptr);
    return out;
}

std::wstring FromAnsi(const std::string& text)
{
    if (text.empty()) return std::wstring();
    const int bytes = static_cast<int>(text.size());
    int n = MultiByteToWideChar(CP_ACP, 0, text.data(), bytes, nullptr, 0);
    if (n <= 0) return std::wstring();
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), bytes, &out[0], n);
    return out;
}

std::wstring GetWindowTextLimited(HWND window, int maxUnits)
{
    std::vector<wchar_t> buffer(static_cast<size_t>(maxUnits) + 1, L'\0');
    int n = GetWindowTextW(window, buffer.data(), maxUnits + 1);
    return std::wstring(buffer.data(), n > 0 ? static_cast<size_t>(n) : 0);
}

std::wstring FormatText(const wchar_t* format, ...)
{
    // A cut-short text and a bad format look alike here: the buffer grows
    // a few times, then the format stands.
    for (size_t size = wcslen(format) + 256; size <= 65536; size *= 4) {
        std::vector<wchar_t> buffer(size);
        va_list arguments;
        va_start(arguments, format);
        const int n = vswprintf(buffer.data(), buffer.size(), format, arguments);
        va_end(arguments);
        if (n >= 0 && static_cast<size_t>(n) < size) return std::wstring(buffer.data(), static_cast<size_t>(n));
    }
    return format;
}

std::wstring FormatWithText(const wchar_t* format, const std::wstring& argument)
{
    return FormatText(format, argument.c_str());
}
