// Loading and saving pvconf.dat beside the executable.
#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "AppConfig.h"
#include "FolderFiles.h"

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
    EXPECT_TRUE(FileExists(ConfigPath().c_str()));
    EXPECT_EQ(0u, ReadAll(ConfigPath()).size());

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

}  // namespace
