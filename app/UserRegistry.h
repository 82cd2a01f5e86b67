// Text values under the current user's registry key: the sign-in dialog's
// start options and the start-with-Windows entry.
#pragma once

#include <windows.h>

#include <string>

// An open registry key, closed with the holder.
class RegistryKey {
public:
    RegistryKey() = default;
    ~RegistryKey()
    {
        if (key) RegCloseKey(key);
    }
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    // An existing key, for reading.
    bool Open(HKEY root, const wchar_t* path)
    {
        return RegOpenKeyExW(root, path, 0, KEY_READ, &key) == ERROR_SUCCESS;
    }
    // An existing key, for changing its values: the system's answer.
    LONG OpenForWriting(HKEY root, const wchar_t* path)
    {
        return RegOpenKeyExW(root, path, 0, KEY_SET_VALUE, &key);
    }
    // The key, made when missing, for writing and reading.
    bool Create(HKEY root, const wchar_t* path)
    {
        return RegCreateKeyExW(root, path, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &key, nullptr) ==
               ERROR_SUCCESS;
    }

    HKEY key = nullptr;
};

extern const wchar_t kProgramKey[];  // SoftWare\Quorvel\Pelvane
extern const wchar_t kRunKey[];      // the Windows Run key
extern const wchar_t kRunValue[];    // Pelvane

// The value as text; empty when the key or the value is missing or does not
// fit the 100-byte buffer it is read into.
std::wstring ReadUserString(const wchar_t* key, const wchar_t* name);
// Creates the key when needed; false when the value could not be written.
bool WriteUserString(const wchar_t* key, const wchar_t* name, const std::wstring& value);
// False when the value is still there afterwards; a missing key or value is
// already what was asked for.
bool DeleteUserValue(const wchar_t* key, const wchar_t* name);
