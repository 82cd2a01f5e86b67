// The version-information reader: on this program's own file and on
// libraries built with different version resources (tests/gui/version),
// and the choice of a translation for the user's language.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "VersionInfo.h"

namespace {
std::wstring Fixture(const wchar_t* name)
{
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir(path, n);
    dir.resize(dir.find_last_of(L'\\') + 1);
    return dir + L"versioninfo\\" + name + L".dll";
}
}  // namespace

TEST(TranslationChoice, UserLanguageThenRelativesThenNeutralThenEnglishThenFirst)
{
    struct Case {
        const char* name;
        LANGID user;
        std::vector<DWORD> entries;
        int expected;
    };
    const Case cases[] = {
        {"exact match wins over an earlier relative", 0x0409, {0x04B00809, 0x04B00409}, 1},
        {"a relative: same low 8 bits", 0x0409, {0x04E30419, 0x04B00809}, 1},
        {"a relative before language 0", 0x0C0A, {0x04E30419, 0x04B00000, 0x04E4040A}, 2},
        {"language 0 before English", 0x0C0A, {0x04E30419, 0x04B00409, 0x04B00000}, 2},
        {"English when nothing closer", 0x0C0A, {0x04E30419, 0x04B00809}, 1},
        {"the first entry otherwise", 0x0C0A, {0x04E30419, 0x04E30407}, 0},
        {"a lone foreign entry", 0x0409, {0x04E30419}, 0},
        {"an empty table has no choice", 0x0409, {}, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.expected, CFileVersionInfo::FindTranslation(c.entries.data(), static_cast<int>(c.entries.size()), c.user));
    }
}

struct VersionFile : ::testing::Test {
    void SetUp() override
    {
        // The test binaries are chosen for an English (United States) user;
        // the test run sets the locale that gives one.
        ASSERT_EQ(0x0409, GetUserDefaultLangID());
    }
};

TEST_F(VersionFile, FullResourceGivesFixedInformationAndAllStrings)
{
    CFileVersionInfo info;
    ASSERT_TRUE(info.ReadFile(Fixture(L"full").c_str()));
    EXPECT_EQ(1, info.GetFileVersionWord(3));
    EXPECT_EQ(2, info.GetFileVersionWord(2));
    EXPECT_EQ(3, info.GetFileVersionWord(1));
    EXPECT_EQ(4, info.GetFileVersionWord(0));
    EXPECT_EQ(0, info.GetFileVersionWord(4));
    EXPECT_EQ(5, info.GetProductVersionWord(3));
    EXPECT_EQ(8, info.GetProductVersionWord(0));
    EXPECT_EQ(0x3Fu, info.GetFileFlagsMask());
    EXPECT_EQ(static_cast<DWORD>(VS_FF_PRERELEASE), info.GetFileFlags());
    EXPECT_EQ(static_cast<DWORD>(VOS_NT_WINDOWS32), info.GetFileOS());
    EXPECT_EQ(static_cast<DWORD>(VFT_DLL), info.GetFileType());
    EXPECT_EQ(0u, info.GetFileSubtype());
    EXPECT_EQ(L"Company", info.GetCompanyName());
    EXPECT_EQ(L"Description", info.GetFileDescription());
    EXPECT_EQ(L"1.2.3.4", info.GetFileVersion());
    EXPECT_EQ(L"Internal", info.GetInternalName());
    EXPECT_EQ(L"Copyright", info.GetLegalCopyright());
    EXPECT_EQ(L"Original.dll", info.GetOriginalFileName());
    EXPECT_EQ(L"Product", info.GetProductName());
    EXPECT_EQ(L"5.6", info.GetProductVersion());
    EXPECT_EQ(L"Comments", info.GetComments());
    EXPECT_EQ(L"Trademarks", info.GetLegalTrademarks());
    EXPECT_EQ(L"Private", info.GetPrivateBuild());
    EXPECT_EQ(L"Special", info.GetSpecialBuild());

    info.Reset();
    EXPECT_EQ(L"", info.GetProductName());
    EXPECT_EQ(0, info.GetFileVersionWord(3));
}

TEST_F(VersionFile, StringBlockFollowsTheTranslationChosen)
{
    struct Case {
        const wchar_t* file;
        const wchar_t* product;
    };
    for (Case c : {Case{L"foreign", L"Russian"}, Case{L"relative", L"British"}, Case{L"exact", L"American"},
                   Case{L"neutral", L"Neutral"}}) {
        SCOPED_TRACE(std::string(c.file, c.file + wcslen(c.file)));
        CFileVersionInfo info;
        ASSERT_TRUE(info.ReadFile(Fixture(c.file).c_str()));
        EXPECT_EQ(c.product, info.GetProductName());
        EXPECT_EQ(9, info.GetProductVersionWord(3));
    }
}

TEST_F(VersionFile, NoTranslationTableLeavesTheStringsEmpty)
{
    CFileVersionInfo info;
    EXPECT_TRUE(info.ReadFile(Fixture(L"notranslation").c_str()));
    EXPECT_EQ(9, info.GetFileVersionWord(3)) << "the fixed information is still read";
    EXPECT_EQ(L"", info.GetProductName());
}

TEST_F(VersionFile, FileWithoutVersionResourceReadsNothing)
{
    CFileVersionInfo info;
    ASSERT_TRUE(info.ReadFile(Fixture(L"full").c_str()));
    EXPECT_FALSE(info.ReadFile(Fixture(L"none").c_str()));
    EXPECT_EQ(L"", info.GetProductName()) << "the earlier read is gone";
    EXPECT_EQ(0, info.GetFileVersionWord(3));
    EXPECT_FALSE(info.ReadFile(L"Z:\\no\\such\\file.dll"));
}

TEST_F(VersionFile, TheProgramsOwnVersion)
{
    CFileVersionInfo info;
    ASSERT_TRUE(info.Open(nullptr));
    EXPECT_EQ(L"4.4", info.GetProductVersion());
    EXPECT_EQ(L"Pelvane", info.GetProductName());
    EXPECT_EQ(4, info.GetFileVersionWord(3));
    EXPECT_EQ(4, info.GetFileVersionWord(2));
    EXPECT_EQ(static_cast<DWORD>(VFT_APP), info.GetFileType());
}
