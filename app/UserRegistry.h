// Text values under the current user's registry key: the sign-in dialog's
// start options and the start-with-Windows entry.
#pragma once

#include <string>

extern const wchar_t kProgramKey[];  // SoftWare\Quorvel\Pelvane
extern const wchar_t kRunKey[];      // the Windows Run key
extern const wchar_t kRunValue[];    // Pelvane

// The value as text; empty when the key or the value is missing or does not
// fit the 100-byte buffer it is read into.
std::wstring ReadUserString(const wchar_t* key, const wchar_t* name);
// Creates the key when needed; false when the value could not be written.
bool WriteUserString(const wchar_t* key, const wchar_t* name, const std::wstring& value);
