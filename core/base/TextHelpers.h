// Small text helpers: numbers and addresses as text, and UTF-16 texts cut
// to a length.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// "a.b.c.d:port" from an address in host order, most significant byte first.
std::string FormatIpPort(uint32_t address, uint16_t port);
std::string CopyText(const std::string& text);
std::string IntToString(int32_t value);
// The first units of a UTF-16 text, one fewer where the cut would split a
// surrogate pair.
std::wstring HeadUnits(const std::wstring& text, size_t units);
