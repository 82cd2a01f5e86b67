#include "WideText.h"

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

std::wstring FormatWithText(const wchar_t* format, const std::wstring& argument)
{
    std::vector<wchar_t> buffer(wcslen(format) + argument.size() + 1);
    int n = swprintf(buffer.data(), buffer.size(), format, argument.c_str());
    return n >= 0 ? std::wstring(buffer.data(), static_cast<size_t>(n)) : std::wstring(format);
}
