// Text crossing between the windows (UTF-16) and the core (ANSI code page).
#pragma once

#include <windows.h>

#include <string>

std::string ToAnsi(const std::wstring& text);
std::wstring FromAnsi(const std::string& text);
// A window's text, at most maxUnits UTF-16 units of it.
std::wstring GetWindowTextLimited(HWND window, int maxUnits);
// A language text used as a format ("%ls" for a text, "%d" for a number);
// the format itself when it cannot be filled.
std::wstring FormatText(const wchar_t* format, ...);
// The same with one text argument.
std::wstring FormatWithText(const wchar_t* format, const std::wstring& argument);
