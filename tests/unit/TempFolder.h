// A fixture with a fresh folder of its own under the temporary path, emptied
// and removed after each case.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

class TempFolder : public ::testing::Test {
protected:
    void SetUp() override
    {
        wchar_t base[MAX_PATH];
        ASSERT_NE(0u, GetTempPathW(MAX_PATH, base));
        dir_ = std::wstring(base) + L"pvfiles_" + std::to_wstring(GetCurrentProcessId());
        ASSERT_TRUE(CreateDirectoryW(dir_.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    }
    void TearDown() override
    {
        WIN32_FIND_DATAW found;
        HANDLE h = FindFirstFileW((dir_ + L"\\*").c_str(), &found);
        if (h != INVALID_HANDLE_VALUE) {
            do {
                if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                    DeleteFileW(Path(found.cFileName).c_str());
            } while (FindNextFileW(h, &found));
            FindClose(h);
        }
        RemoveDirectoryW(dir_.c_str());
    }
    std::wstring Path(const wchar_t* name) const { return dir_ + L"\\" + name; }

    std::wstring dir_;
};
