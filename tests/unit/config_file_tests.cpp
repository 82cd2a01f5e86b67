// Loading and saving pvconf.dat beside the executable.
#include <windows.h>

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "FolderFiles.h"
#include "SaveLoop.h"
#include "settings/AppConfig.h"

namespace {

std::wstring ConfigPath() { return BesideExe(L"pvconf.dat"); }

class ConfigOnDisk : public ::testing::Test {
protected:
    void SetUp() override { DeleteFileAt(ConfigPath().c_str()); }
    void TearDown() override { DeleteFileAt(ConfigPath().c_str()); }
};

TEST_F(ConfigOnDisk, AMissingFileFailsToLoadAndIsWrittenInFullOnSave)
{
    AppConfig c;
    EXPECT_FALSE(c.Load());
    // Loading only reads.
    EXPECT_FALSE(FileExists(ConfigPath().c_str()));

    c.SetDefaults();
    c.SetUserName("someone@example.com");
    c.SetPassword("secret");
    c.SetLanguageIndex(4);
    ASSERT_TRUE(c.Save());
    std::vector<unsigned char> saved = ReadAll(ConfigPath());
    ASSERT_EQ(5134u, saved.size());

    AppConfig d;
    ASSERT_TRUE(d.Load());
    EXPECT_EQ("someone@example.com", d.GetUserName());
    EXPECT_EQ("secret", d.GetPassword());
    EXPECT_EQ(4, d.GetLanguageIndex());
    EXPECT_EQ(11500, d.GetPort());
    EXPECT_EQ(100, d.GetVolumePercent());

    // Saving again replaces the file with identical bytes.
    ASSERT_TRUE(d.Save());
    EXPECT_EQ(saved, ReadAll(ConfigPath()));
}

TEST_F(ConfigOnDisk, AFileOfTheFirstSixRecordsLoads)
{
    AppConfig c;
    c.SetDefaults();
    c.SetLanguageIndex(2);
    c.SetSoundsEnabled(0);
    c.SetBackupServerHost("b.example");
    std::vector<unsigned char> image(AppConfig::kFileSize);
    c.Format(image.data());
    WriteAll(ConfigPath(), image.data(), 4102);
    AppConfig d;
    ASSERT_TRUE(d.Load());
    EXPECT_EQ(0, d.GetLanguageIndex());
    EXPECT_EQ(1, d.GetSoundsEnabled());
    EXPECT_EQ("", d.GetBackupServerHost());
    EXPECT_EQ(c.GetServerHost(), d.GetServerHost());
}

TEST_F(ConfigOnDisk, SaveReplacesALongerFile)
{
    WriteAll(ConfigPath(), std::vector<unsigned char>(6000, 0x33));
    AppConfig c;
    c.SetDefaults();
    ASSERT_TRUE(c.Save());
    EXPECT_EQ(5134u, ReadAll(ConfigPath()).size());
}

// Held by another program without sharing, as a backup or an editor may.
HANDLE HoldWhole(const std::wstring& path)
{
    return CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
}

TEST_F(ConfigOnDisk, AFileHeldForAMomentAtStartIsWaitedFor)
{
    WriteAll(ConfigPath(), saveloop::ConfigImage(1));
    HANDLE held = HoldWhole(ConfigPath());
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    std::thread release([held] {
        Sleep(700);
        CloseHandle(held);
    });
    AppConfig c;
    EXPECT_TRUE(c.Load());
    release.join();
    AppConfig expected;
    saveloop::Choose(expected, 1);
    EXPECT_EQ(expected.GetServerHost(), c.GetServerHost());
    EXPECT_EQ(expected.GetUserName(), c.GetUserName());
    EXPECT_EQ(expected.GetBackupServerHost(), c.GetBackupServerHost());
}

TEST_F(ConfigOnDisk, AFileThatStaysUnreadableIsKeptUntilTheUserSaves)
{
    const std::vector<unsigned char> users = saveloop::ConfigImage(0);
    WriteAll(ConfigPath(), users);
    HANDLE held = HoldWhole(ConfigPath());
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    AppConfig c;
    EXPECT_FALSE(c.Load());
    CloseHandle(held);
    // The run goes on with the defaults; what it saves by itself (at a
    // sign-in, at the end) leaves the user's file alone.
    c.SetDefaults();
    c.SetUserName("someone@example.com");
    EXPECT_FALSE(c.Save());
    EXPECT_EQ(users, ReadAll(ConfigPath()));
    // The user's own save replaces it, and so does every save after it.
    EXPECT_TRUE(c.SaveChosen());
    c.SetUserName("other@example.com");
    EXPECT_TRUE(c.Save());
    AppConfig d;
    ASSERT_TRUE(d.Load());
    EXPECT_EQ("other@example.com", d.GetUserName());
    EXPECT_EQ(c.GetServerHost(), d.GetServerHost());
}

}  // namespace
