// The pad file "conf.dat" beside the executable.
#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "crypto/CryptoCore.h"
#include "FolderFiles.h"

namespace {

std::wstring PadPath() { return BesideExe(L"conf.dat"); }

class PadFile : public ::testing::Test {
protected:
    void SetUp() override { DeleteFileAt(PadPath().c_str()); }
    void TearDown() override { DeleteFileAt(PadPath().c_str()); }
};

TEST_F(PadFile, LoadsOnlyAWholePad)
{
    struct { size_t size; bool ok; } cases[] = {{0, false}, {1, false}, {2047, false}, {2048, true}};
    for (auto& k : cases) {
        std::vector<unsigned char> bytes(k.size);
        for (size_t i = 0; i < k.size; ++i)
            bytes[i] = static_cast<unsigned char>(i * 3);
        WriteAll(PadPath(), bytes);
        CryptoCore c;
        EXPECT_EQ(k.ok, c.LoadPad()) << k.size;
        EXPECT_EQ(k.ok, c.HasPad()) << k.size;
        if (k.ok) {
            ASSERT_TRUE(c.SelectPadKey(0));
            EXPECT_EQ(0, memcmp(bytes.data(), c.GetPadKey(), 32));
        }
    }
}

TEST_F(PadFile, MissingFileIsCreatedEmptyAndGivesNoPad)
{
    CryptoCore c;
    EXPECT_FALSE(c.LoadPad());
    EXPECT_FALSE(c.HasPad());
    EXPECT_TRUE(FileExists(PadPath().c_str()));
    uint32_t high = 0;
    EXPECT_FALSE(FileHasContent(PadPath().c_str(), high));
}

TEST_F(PadFile, AnAdoptedPadIsSavedAndARefusedOneWritesNothing)
{
    CryptoCore c;
    for (int size : {2047, 2049}) {
        Buf bad;
        bad.Resize(size);
        EXPECT_FALSE(c.SetPad(bad));
        EXPECT_FALSE(FileExists(PadPath().c_str())) << size;
    }
    Buf good;
    good.Resize(2048);
    for (int i = 0; i < 2048; ++i)
        good.GetData()[i] = static_cast<unsigned char>(255 - i);
    Buf copy = good;
    ASSERT_TRUE(c.SetPad(good));
    std::vector<unsigned char> saved = ReadAll(PadPath());
    ASSERT_EQ(2048u, saved.size());
    EXPECT_EQ(0, memcmp(copy.GetData(), saved.data(), 2048));

    // A refused pad later keeps both the held pad and the file.
    Buf bad;
    bad.Resize(10);
    EXPECT_FALSE(c.SetPad(bad));
    EXPECT_EQ(saved, ReadAll(PadPath()));

    CryptoCore reloaded;
    EXPECT_TRUE(reloaded.LoadPad());
    Buf h1, h2;
    ASSERT_TRUE(c.HashPad(h1));
    ASSERT_TRUE(reloaded.HashPad(h2));
    EXPECT_EQ(h1, h2);
}

TEST_F(PadFile, GenerateKeysLoadsThePad)
{
    std::vector<unsigned char> bytes(2048, 0x11);
    WriteAll(PadPath(), bytes);
    CryptoCore c;
    ASSERT_TRUE(c.GenerateKeys());
    EXPECT_TRUE(c.HasPad());
}

}  // namespace
