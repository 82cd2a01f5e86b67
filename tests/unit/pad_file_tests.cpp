// The pad file "conf.dat" beside the executable.
#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "CryptoCore.h"
#include "FileHandle.h"

namespace {

std::wstring PadPath()
{
    wchar_t path[MAX_PATH];
    EXPECT_TRUE(GetModuleDirPath(L"conf.dat", path, MAX_PATH));
    return path;
}

void WriteFileBytes(const std::wstring& path, const std::vector<unsigned char>& bytes)
{
    CFileHandle f;
    ASSERT_TRUE(f.OpenReadWrite(path.c_str(), true));
    if (!bytes.empty()) {
        ASSERT_TRUE(f.Write(bytes.data(), static_cast<uint32_t>(bytes.size())));
    }
}

std::vector<unsigned char> ReadFileBytes(const std::wstring& path)
{
    std::vector<unsigned char> bytes(4096);
    CFileHandle f;
    uint32_t got = 0;
    if (!f.OpenRead(path.c_str()) || !f.Read(bytes.data(), 4096, &got))
        got = 0;
    bytes.resize(got);
    return bytes;
}

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
        WriteFileBytes(PadPath(), bytes);
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
    std::vector<unsigned char> saved = ReadFileBytes(PadPath());
    ASSERT_EQ(2048u, saved.size());
    EXPECT_EQ(0, memcmp(copy.GetData(), saved.data(), 2048));

    // A refused pad later keeps both the held pad and the file.
    Buf bad;
    bad.Resize(10);
    EXPECT_FALSE(c.SetPad(bad));
    EXPECT_EQ(saved, ReadFileBytes(PadPath()));

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
    WriteFileBytes(PadPath(), bytes);
    CryptoCore c;
    ASSERT_TRUE(c.GenerateKeys());
    EXPECT_TRUE(c.HasPad());
}

}  // namespace
