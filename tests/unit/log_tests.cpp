// The debug log: emptied at every start, the two line forms, whole lines
// from concurrent writers.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>

#include "base/DebugLog.h"
#include "FolderFiles.h"

namespace {

// The writer holds the file open, so it is read with write sharing allowed.
std::string LogText()
{
    std::wstring path = BesideExe(L"log.txt");
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return "<missing>";
    std::string text(1 << 20, '\0');
    DWORD got = 0;
    ReadFile(h, &text[0], static_cast<DWORD>(text.size()), &got, nullptr);
    CloseHandle(h);
    text.resize(got);
    return text;
}

TEST(DebugLog, LinesEndWithTheCallSiteTrailer)
{
    std::string before = LogText();
    Debug::GetOutputter()->OutputError(Debug::CallSite{"a", 7, 100}, L"boom %d", 5);
    Debug::GetOutputter()->OutputMsg(Debug::CallSite{"core\\x.cpp", 12, -3}, L"%ls=%d", L"n", 4);
    EXPECT_EQ(before
                  + "[<Error>] boom 5\t[File:a, Line:7, Time:100] \r\n"
                    "[Msg] n=4\t[File:core\\x.cpp, Line:12, Time:-3] \r\n",
              LogText());
}

TEST(DebugLog, ConcurrentWritersKeepTheirLinesWhole)
{
    std::string before = LogText();
    const int kLines = 300;
    auto writer = [](const wchar_t* word) {
        for (int i = 0; i < kLines; ++i)
            Debug::GetOutputter()->OutputMsg(Debug::CallSite{"t", i, 0}, L"%ls", word);
    };
    std::thread a(writer, L"alpha"), b(writer, L"bravo");
    a.join();
    b.join();
    std::string text = LogText().substr(before.size());
    int lines = 0;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find("\r\n", at);
        ASSERT_NE(std::string::npos, end);
        std::string line = text.substr(at, end - at);
        bool whole = line.compare(0, 12, "[Msg] alpha\t") == 0 || line.compare(0, 12, "[Msg] bravo\t") == 0;
        EXPECT_TRUE(whole) << line;
        at = end + 2;
        ++lines;
    }
    EXPECT_EQ(2 * kLines, lines);
}

// Last: the other start empties the file under this program's open stream.
TEST(DebugLog, EveryStartEmptiesTheLog)
{
    Debug::GetOutputter()->OutputMsg(PV_CALL_SITE, L"left from this run");
    ASSERT_NE("", LogText());
    // A second start of this program (listing its tests only).
    wchar_t exe[MAX_PATH];
    ASSERT_NE(0u, GetModuleFileNameW(nullptr, exe, MAX_PATH));
    std::wstring command = L"\"" + std::wstring(exe) + L"\" --gtest_list_tests";
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    PROCESS_INFORMATION pi = {};
    ASSERT_TRUE(CreateProcessW(exe, &command[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                               nullptr, nullptr, &si, &pi));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(pi.hProcess, 60000));
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    EXPECT_EQ("", LogText());
}

}  // namespace
