// Files beside the test executable, read and written whole.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "base/FileHandle.h"

inline std::wstring BesideExe(const wchar_t* name)
{
    wchar_t path[MAX_PATH];
    EXPECT_TRUE(GetModuleDirPath(name, path, MAX_PATH));
    return path;
}

inline std::vector<unsigned char> ReadAll(const std::wstring& path)
{
    std::vector<unsigned char> bytes(1 << 20);
    CFileHandle f;
    uint32_t got = 0;
    if (!f.OpenRead(path.c_str()) || !f.Read(bytes.data(), static_cast<uint32_t>(bytes.size()), &got))
        got = 0;
    bytes.resize(got);
    return bytes;
}

inline void WriteAll(const std::wstring& path, const void* data, size_t size)
{
    CFileHandle f;
    ASSERT_TRUE(f.OpenReadWrite(path.c_str(), true));
    if (size) {
        ASSERT_TRUE(f.Write(data, static_cast<uint32_t>(size)));
    }
}

inline void WriteAll(const std::wstring& path, const std::vector<unsigned char>& bytes)
{
    WriteAll(path, bytes.data(), bytes.size());
}

// A folder's files by name with their bytes, read while others may hold
// them open: to compare a folder whole before and after.
inline std::map<std::wstring, std::string> FolderContents(const std::wstring& dir)
{
    std::map<std::wstring, std::string> files;
    WIN32_FIND_DATAW found;
    HANDLE h = FindFirstFileW((dir + L"\\*").c_str(), &found);
    if (h == INVALID_HANDLE_VALUE)
        return files;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            continue;
        std::string bytes;
        HANDLE raw = CreateFileW((dir + L"\\" + found.cFileName).c_str(), GENERIC_READ,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, 0, nullptr);
        if (raw != INVALID_HANDLE_VALUE) {
            char b[256];
            DWORD got = 0;
            while (ReadFile(raw, b, sizeof(b), &got, nullptr) && got)
                bytes.append(b, got);
            CloseHandle(raw);
        }
        files[found.cFileName] = bytes;
    } while (FindNextFileW(h, &found));
    FindClose(h);
    return files;
}
