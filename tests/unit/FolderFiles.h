// Files beside the test executable, read and written whole.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FileHandle.h"

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
