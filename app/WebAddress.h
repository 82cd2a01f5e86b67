// Addresses that come from outside and are only ever shown to a browser.
#pragma once

#include <string>

// "http://" or "https://", in any letter case, then an address of printable
// ASCII without spaces or quotes: one argument on any command line, never a
// file, a share or a program.
bool IsWebAddress(const std::wstring& text);
