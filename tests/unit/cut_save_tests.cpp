// Saves of pvconf.dat and conf.dat that are cut or fail: the file on disk
// is always the old one or the new one, whole.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "crypto/CryptoCore.h"
#include "FolderFiles.h"
#include "SaveLoop.h"
#include "settings/AppConfig.h"

namespace {

struct SavedFile {
    const wchar_t* name;
    const char* mode;  // save_loop's
    std::vector<unsigned char> (*image)(int which);
};

const SavedFile kFiles[] = {{L"pvconf.dat", "config", saveloop::ConfigImage},
                            {L"conf.dat", "pad", saveloop::PadImage}};

// What replacements left in the folder: their new files, "~pv" and eight
// hexadecimal digits with ".tmp".
std::vector<std::wstring> Leftovers()
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE h = FindFirstFileW(BesideExe(L"~pv*.tmp").c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) return names;
    do
        names.push_back(found.cFileName);
    while (FindNextFileW(h, &found));
    FindClose(h);
    return names;
}

class CutSaves : public ::testing::Test {
protected:
    void SetUp() override { Clean(); }
    void TearDown() override { Clean(); }
    // The files these tests make, and what cut saves left behind.
    void Clean()
    {
        for (const SavedFile& f : kFiles)
            DeleteFileAt(BesideExe(f.name).c_str());
        for (const std::wstring& name : Leftovers())
            DeleteFileAt(BesideExe(name.c_str()).c_str());
    }
    static bool Save(const SavedFile& f, int which)
    {
        if (f.image == saveloop::PadImage) {
            CryptoCore crypto;
            Buf pad = saveloop::Pad(which);
            return crypto.SetPad(pad) && crypto.SavePad();
        }
        AppConfig config;
        saveloop::Choose(config, which);
        return config.Save();
    }
};

// A process that saves in a loop is killed at moments spread over its
// saves, again and again; each time the file is one of the two it saves.
TEST_F(CutSaves, AKilledSaveLeavesTheOldFileOrTheNewOne)
{
    const int kRounds = 10;
    for (const SavedFile& f : kFiles) {
        SCOPED_TRACE(f.mode);
        const std::wstring path = BesideExe(f.name);
        const std::vector<unsigned char> images[] = {f.image(0), f.image(1)};
        for (int round = 0; round < kRounds; ++round) {
            const std::string event = "pv_save_loop_" + std::to_string(GetCurrentProcessId());
            HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, event.c_str());
            ASSERT_NE(nullptr, ready);
            std::wstring command = L"save_loop.exe " + std::wstring(f.mode, f.mode + strlen(f.mode)) + L" " +
                                   std::wstring(event.begin(), event.end());
            STARTUPINFOW start = {};
            start.cb = sizeof(start);
            PROCESS_INFORMATION saver = {};
            ASSERT_TRUE(CreateProcessW(BesideExe(L"save_loop.exe").c_str(), &command[0], nullptr, nullptr, FALSE, 0,
                                       nullptr, nullptr, &start, &saver));
            HANDLE either[] = {ready, saver.hProcess};
            const DWORD woke = WaitForMultipleObjects(2, either, FALSE, 20000);
            ASSERT_EQ(WAIT_OBJECT_0, woke) << "the saver did not save";
            Sleep(round % 17);
            TerminateProcess(saver.hProcess, 9);
            WaitForSingleObject(saver.hProcess, INFINITE);
            CloseHandle(saver.hThread);
            CloseHandle(saver.hProcess);
            CloseHandle(ready);

            const std::vector<unsigned char> on = ReadAll(path);
            EXPECT_TRUE(on == images[0] || on == images[1]) << "round " << round << ": " << on.size() << " bytes";
            // Beside it a cut may leave the new file it was writing, never
            // more than that one.
            const std::vector<std::wstring> left = Leftovers();
            EXPECT_LE(left.size(), 1u) << "round " << round;
            for (const std::wstring& name : left)
                DeleteFileAt(BesideExe(name.c_str()).c_str());
        }
        if (f.image == saveloop::ConfigImage) {
            AppConfig loaded;
            EXPECT_TRUE(loaded.Load());
        } else {
            CryptoCore loaded;
            EXPECT_TRUE(loaded.LoadPad());
        }
    }
}

// Another program reads the file and lets others write it, but not replace
// it: the save fails and leaves the file as it was, and nothing beside it.
TEST_F(CutSaves, AFailedSaveLeavesTheOldFile)
{
    for (const SavedFile& f : kFiles) {
        SCOPED_TRACE(f.mode);
        const std::wstring path = BesideExe(f.name);
        ASSERT_TRUE(Save(f, 0));
        HANDLE held = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, held);
        EXPECT_FALSE(Save(f, 1));
        CloseHandle(held);
        EXPECT_EQ(f.image(0), ReadAll(path));
        EXPECT_TRUE(Leftovers().empty());
        ASSERT_TRUE(Save(f, 1));
        EXPECT_EQ(f.image(1), ReadAll(path));
    }
}

}  // namespace
