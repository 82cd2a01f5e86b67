#include "UserRegistry.h"

#include <cwchar>

const wchar_t kProgramKey[] = L"SoftWare\\Quorvel\\Pelvane";
const wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const wchar_t kRunValue[] = L"Pelvane";

std::wstring ReadUserString(const wchar_t* key, const wchar_t* name)
{
    RegistryKey k;
    if (!k.Open(HKEY_CURRENT_USER, key)) return std::wstring();
    wchar_t buffer[50] = {};
    DWORD type = 0, size = sizeof(buffer);
    if (RegQueryValueExW(k.key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        return std::wstring();
    // The stored text need not carry its terminator.
    return std::wstring(buffer, wcsnlen(buffer, size / sizeof(wchar_t)));
}

bool WriteUserString(const wchar_t* key, const wchar_t* name, const std::wstring& value)
{
    RegistryKey k;
    if (!k.Create(HKEY_CURRENT_USER, key)) return false;
    const DWORD bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
    return RegSetValueExW(k.key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), bytes) ==
           ERROR_SUCCESS;
}

bool DeleteUserValue(const wchar_t* key, const wchar_t* name)
{
    RegistryKey k;
    LONG result = k.OpenForWriting(HKEY_CURRENT_USER, key);
    if (result == ERROR_SUCCESS) result = RegDeleteValueW(k.key, name);
    return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
}
