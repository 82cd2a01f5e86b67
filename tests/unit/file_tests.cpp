// CFileHandle, the path helpers and CEvent on real files in a temporary folder.
#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "base/FileHandle.h"
#include "base/Locks.h"
#include "FolderFiles.h"
#include "TempFolder.h"

namespace {

TEST_F(TempFolder, OpenReadCreatesAMissingFileWhoseFirstReadFails)
{
    std::wstring p = Path(L"a.bin");
    EXPECT_FALSE(FileExists(p.c_str()));
    CFileHandle f;
    ASSERT_TRUE(f.OpenRead(p.c_str()));
    EXPECT_TRUE(FileExists(p.c_str()));
    char b[4];
    uint32_t got = 7;
    EXPECT_FALSE(f.Read(b, 4, &got));
    EXPECT_EQ(0u, got);
    uint32_t size = 1;
    EXPECT_TRUE(f.GetSize(size));
    EXPECT_EQ(0u, size);
}

TEST_F(TempFolder, WriteSeekReadAndShortReads)
{
    std::wstring p = Path(L"a.bin");
    CFileHandle f;
    ASSERT_TRUE(f.OpenReadWrite(p.c_str(), false));
    ASSERT_TRUE(f.Write("0123456789", 10));
    ASSERT_TRUE(f.Seek(0, 4));
    char b[16] = {};
    uint32_t got = 0;
    // A short read still counts; a read at the end does not.
    EXPECT_TRUE(f.Read(b, 16, &got));
    EXPECT_EQ(6u, got);
    EXPECT_EQ(std::string("456789"), std::string(b));
    EXPECT_FALSE(f.Read(b, 16));
    EXPECT_FALSE(f.Seek(1, 0));
    EXPECT_TRUE(f.Seek(0, 0));
    uint32_t size = 0;
    ASSERT_TRUE(f.GetSize(size));
    EXPECT_EQ(10u, size);
    EXPECT_TRUE(f.Close());
    EXPECT_FALSE(f.Close());

    uint32_t high = 5;
    EXPECT_TRUE(FileHasContent(p.c_str(), high));
    EXPECT_EQ(0u, high);
}

TEST_F(TempFolder, CreateAlwaysEmptiesAndOpenAlwaysKeeps)
{
    std::wstring p = Path(L"a.bin");
    {
        CFileHandle f;
        ASSERT_TRUE(f.OpenReadWrite(p.c_str(), true));
        ASSERT_TRUE(f.Write("abc", 3));
    }
    {
        CFileHandle f;
        ASSERT_TRUE(f.OpenReadWrite(p.c_str(), false));
        uint32_t size = 0;
        ASSERT_TRUE(f.GetSize(size));
        EXPECT_EQ(3u, size);
    }
    {
        CFileHandle f;
        ASSERT_TRUE(f.OpenReadWrite(p.c_str(), true));
        uint32_t size = 1;
        ASSERT_TRUE(f.GetSize(size));
        EXPECT_EQ(0u, size);
    }
    uint32_t high = 0;
    EXPECT_FALSE(FileHasContent(p.c_str(), high));
    EXPECT_TRUE(DeleteFileAt(p.c_str()));
    EXPECT_FALSE(DeleteFileAt(p.c_str()));
    EXPECT_FALSE(FileHasContent(p.c_str(), high));
}

TEST_F(TempFolder, AHeldHandleIsKeptAndRefusedOpensLeaveNone)
{
    CFileHandle f;
    ASSERT_TRUE(f.OpenReadWrite(Path(L"a.bin").c_str(), true));
    EXPECT_FALSE(f.OpenRead(Path(L"b.bin").c_str()));
    EXPECT_FALSE(f.OpenReadWrite(Path(L"b.bin").c_str(), true));
    EXPECT_FALSE(FileExists(Path(L"b.bin").c_str()));
    EXPECT_TRUE(f.Write("x", 1));

    CFileHandle g;
    std::wstring nowhere = dir_ + L"\\no_such_folder\\c.bin";
    EXPECT_FALSE(g.OpenRead(nowhere.c_str()));
    EXPECT_FALSE(g.IsOpen());
    char b[1];
    EXPECT_FALSE(g.Read(b, 1));
    EXPECT_FALSE(g.Write("x", 1));
    uint32_t size;
    EXPECT_FALSE(g.GetSize(size));
}

TEST_F(TempFolder, AWriteOfFewerBytesThanAskedFails)
{
    // A handle opened for reading only writes nothing.
    std::wstring p = Path(L"a.bin");
    CFileHandle f;
    ASSERT_TRUE(f.OpenRead(p.c_str()));
    EXPECT_FALSE(f.Write("0123456789", 10));
}

TEST_F(TempFolder, AReplacingFileLeavesTheTargetAloneUntilItsCommit)
{
    const std::wstring target = Path(L"keep.bin");
    WriteAll(target, "the user's own bytes", 20);
    CReplacingFile file;
    ASSERT_TRUE(file.Open(target.c_str()));
    ASSERT_TRUE(file.Write("new", 3));
    auto during = FolderContents(dir_);
    ASSERT_EQ(2u, during.size());
    EXPECT_EQ("the user's own bytes", during[L"keep.bin"]);
    const std::wstring temp = file.GetTempPath();
    const std::wstring name = temp.substr(temp.rfind(L'\\') + 1);
    EXPECT_EQ(dir_ + L"\\" + name, temp);
    EXPECT_EQ(0u, name.find(L"~pv"));
    EXPECT_EQ(15u, name.size());
    EXPECT_EQ(L".tmp", name.substr(11));

    ASSERT_TRUE(file.Commit());
    EXPECT_FALSE(file.IsOpen());
    std::map<std::wstring, std::string> after{{L"keep.bin", "new"}};
    EXPECT_EQ(after, FolderContents(dir_));
}

TEST_F(TempFolder, AnAbandonedOrFailedReplacementLeavesOnlyWhatWasThere)
{
    const std::wstring target = Path(L"keep.bin");
    WriteAll(target, "old", 3);
    const auto before = FolderContents(dir_);
    {
        CReplacingFile dropped;
        ASSERT_TRUE(dropped.Open(target.c_str()));
        ASSERT_TRUE(dropped.Write("half", 4));
    }
    EXPECT_EQ(before, FolderContents(dir_));

    CReplacingFile abandoned;
    ASSERT_TRUE(abandoned.Open(target.c_str()));
    abandoned.Abandon();
    EXPECT_FALSE(abandoned.Commit());
    EXPECT_EQ(before, FolderContents(dir_));

    // Another program holds the target without letting it be deleted.
    HANDLE held = CreateFileW(target.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    CReplacingFile refused;
    ASSERT_TRUE(refused.Open(target.c_str()));
    ASSERT_TRUE(refused.Write("new", 3));
    EXPECT_FALSE(refused.Commit());
    CloseHandle(held);
    EXPECT_EQ(before, FolderContents(dir_));

    // A folder in the target's place.
    const std::wstring folder = Path(L"sub");
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    EXPECT_FALSE(ReplaceFileContents(folder.c_str(), "x", 1));
    EXPECT_EQ(before, FolderContents(dir_));
    RemoveDirectoryW(folder.c_str());

    CReplacingFile nowhere;
    EXPECT_FALSE(nowhere.Open((dir_ + L"\\no_such_folder\\a.bin").c_str()));
    EXPECT_FALSE(nowhere.Open(L""));
    EXPECT_TRUE(nowhere.GetTempPath().empty());
}

TEST_F(TempFolder, ReplacementsCreateMissingTargetsAndNeverShareANewFile)
{
    const std::wstring target = Path(L"new.bin");
    CReplacingFile first, second;
    ASSERT_TRUE(first.Open(target.c_str()));
    ASSERT_TRUE(second.Open(target.c_str()));
    EXPECT_NE(first.GetTempPath(), second.GetTempPath());
    ASSERT_TRUE(first.Write("first", 5));
    ASSERT_TRUE(second.Write("second", 6));
    ASSERT_TRUE(first.Commit());
    ASSERT_TRUE(second.Commit());
    std::map<std::wstring, std::string> after{{L"new.bin", "second"}};
    EXPECT_EQ(after, FolderContents(dir_));

    ASSERT_TRUE(ReplaceFileContents(target.c_str(), "whole", 5));
    after[L"new.bin"] = "whole";
    EXPECT_EQ(after, FolderContents(dir_));
}

TEST(ModuleDirPath, PlacesNamesBesideTheExecutable)
{
    wchar_t exe[MAX_PATH], path[MAX_PATH];
    ASSERT_NE(0u, GetModuleFileNameW(nullptr, exe, MAX_PATH));
    ASSERT_TRUE(GetModuleDirPath(L"pvconf.dat", path, MAX_PATH));
    std::wstring e(exe), p(path);
    std::wstring dir = e.substr(0, e.rfind(L'\\') + 1);
    EXPECT_EQ(dir + L"pvconf.dat", p);

    // A result that does not fit fails and writes nothing past the buffer.
    wchar_t small[MAX_PATH + 8];
    for (wchar_t& c : small)
        c = L'#';
    uint32_t units = static_cast<uint32_t>(dir.size()) + 3;
    EXPECT_FALSE(GetModuleDirPath(L"pvconf.dat", small, units));
    EXPECT_EQ(L'\0', small[0]);
    EXPECT_EQ(L'#', small[units]);
    EXPECT_TRUE(GetModuleDirPath(L"ab", small, units));
    EXPECT_EQ(dir + L"ab", std::wstring(small));
}

TEST(Event, ManualAndAutoResetStates)
{
    CEvent manual;
    ASSERT_TRUE(manual.Create(1, 1, nullptr));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(manual.GetHandle(), 0));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(manual.GetHandle(), 0));
    EXPECT_TRUE(manual.Reset());
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(manual.GetHandle(), 0));
    EXPECT_TRUE(manual.Pulse());
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(manual.GetHandle(), 0));

    CEvent automatic;
    ASSERT_TRUE(automatic.Create(0, 1, nullptr));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(automatic.GetHandle(), 0));
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(automatic.GetHandle(), 0));
    EXPECT_TRUE(automatic.Close());
    EXPECT_FALSE(automatic.Close());
}

TEST(Event, ReopeningANamedManualEventSetsTheAskedState)
{
    std::wstring name = L"pv_event_" + std::to_wstring(GetCurrentProcessId());
    CEvent first, second;
    ASSERT_TRUE(first.Create(1, 1, name.c_str()));
    ASSERT_TRUE(second.Create(1, 0, name.c_str()));
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(first.GetHandle(), 0));
}

}  // namespace
