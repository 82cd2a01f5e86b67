// LoadLanguage and the enc_resource tool on files in this program's own
// folder.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "crypto/RecordKey.h"
#include "FolderFiles.h"
#include "settings/LanguageRecords.h"
#include "settings/LanguageTable.h"

namespace {

const wchar_t* const kCodes[] = {L"en", L"sp", L"pt", L"ch", L"ro"};
const wchar_t* const kSources[] = {L"string_engilsh.txt", L"string_spanish.txt",
                                   L"string_portuguese.txt", L"string_chinese.txt",
                                   L"string_romanian.txt"};

std::wstring Dat(const std::wstring& name) { return BesideExe((L"dat\\" + name).c_str()); }
std::wstring LanguageFile(int i) { return Dat(std::wstring(kCodes[i]) + L".dat"); }

std::vector<unsigned char> Records(const std::vector<std::string>& texts)
{
    CryptoPP::AES::Encryption enc;
    unsigned char key[kRecordKeySize];
    BuildRecordKey(key);
    enc.SetKey(key, sizeof(key));
    std::vector<unsigned char> out(texts.size() * kLanguageRecord);
    for (size_t k = 0; k < texts.size(); ++k)
        EncryptLanguageRecord(enc, texts[k], &out[k * kLanguageRecord]);
    return out;
}

class LanguageFolder : public ::testing::Test {
protected:
    void SetUp() override
    {
        CreateDirectoryW(BesideExe(L"dat").c_str(), nullptr);
        Clean();
        for (auto& slot : LanguageTable)
            slot[0] = 0;
    }
    void TearDown() override { Clean(); }
    void Clean()
    {
        for (int i = 0; i < 5; ++i) {
            DeleteFileAt(LanguageFile(i).c_str());
            DeleteFileAt(Dat(kSources[i]).c_str());
        }
    }
    static void Put(const std::wstring& path, const std::string& text)
    {
        WriteAll(path, text.data(), text.size());
    }
};

TEST_F(LanguageFolder, LoadFillsSlotsFromRecordsAndKeepsTheRest)
{
    wcscpy(LanguageTable[2], L"old two");
    WriteAll(LanguageFile(1), Records({"cero", "uno"}));
    ASSERT_TRUE(LoadLanguage(1));
    EXPECT_EQ(L"cero", std::wstring(LanguageTable[0]));
    EXPECT_EQ(L"uno", std::wstring(LanguageTable[1]));
    EXPECT_EQ(L"old two", std::wstring(LanguageTable[2]));
    EXPECT_EQ("uno", GetLanguageString(1));
    EXPECT_EQ("", GetLanguageString(-1));
    EXPECT_EQ("", GetLanguageString(256));
}

TEST_F(LanguageFolder, AShortLastRecordIsZeroFilled)
{
    // 300 bytes: one whole record and 44 bytes of the next.
    std::vector<unsigned char> bytes = Records({"zero", "0123456789abcdefghij"});
    bytes.resize(300);
    WriteAll(LanguageFile(0), bytes);
    ASSERT_TRUE(LoadLanguage(0));
    EXPECT_EQ(L"zero", std::wstring(LanguageTable[0]));
    EXPECT_EQ(L"0123456789abcdefghij", std::wstring(LanguageTable[1]));
}

TEST_F(LanguageFolder, OnlyTheFirst256RecordsLoad)
{
    std::vector<std::string> texts(300);
    for (size_t k = 0; k < texts.size(); ++k)
        texts[k] = "t" + std::to_string(k);
    WriteAll(LanguageFile(2), Records(texts));
    ASSERT_TRUE(LoadLanguage(2));
    EXPECT_EQ(L"t255", std::wstring(LanguageTable[255]));
}

TEST_F(LanguageFolder, MissingEmptyOrUnknownLanguagesFailAndChangeNothing)
{
    wcscpy(LanguageTable[0], L"kept");
    EXPECT_FALSE(LoadLanguage(3));
    // A missing file is not created: the next start fails the same way.
    EXPECT_FALSE(FileExists(LanguageFile(3).c_str()));
    WriteAll(LanguageFile(3), nullptr, 0);
    EXPECT_FALSE(LoadLanguage(3));
    WriteAll(LanguageFile(0), Records({"x"}));
    EXPECT_FALSE(LoadLanguage(5));
    EXPECT_EQ(L"kept", std::wstring(LanguageTable[0]));
}

TEST_F(LanguageFolder, AtStartTheChosenLanguageLoadsOrElseTheFirstThatCan)
{
    struct Case {
        std::vector<int> present;
        int32_t chosen;
        int32_t loaded;
    } cases[] = {{{0, 3}, 3, 3}, {{0, 4}, 3, 0}, {{0}, 7, 0}, {{0}, -1, 0}, {{2, 4}, 1, 2}, {{}, 0, -1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.chosen);
        Clean();
        wcscpy(LanguageTable[0], L"before");
        for (int i : c.present)
            WriteAll(LanguageFile(i), Records({"text of " + std::to_string(i)}));
        EXPECT_EQ(c.loaded, LoadStartLanguage(c.chosen));
        EXPECT_EQ(c.loaded < 0 ? L"before" : L"text of " + std::to_wstring(c.loaded), std::wstring(LanguageTable[0]));
    }
}

TEST_F(LanguageFolder, TheToolWritesOnlyTheLanguagesWhoseSourceIsThere)
{
    Put(Dat(kSources[1]), "hola\r\n\r\nadios");
    // An older, longer file must not keep its surplus records.
    WriteAll(LanguageFile(1), Records({"a", "b", "c", "d", "e"}));
    EncryptLanguageFiles();
    for (int i : {0, 2, 3, 4})
        EXPECT_FALSE(FileExists(LanguageFile(i).c_str())) << i;
    EXPECT_EQ(3 * kLanguageRecord, ReadAll(LanguageFile(1)).size());
    ASSERT_TRUE(LoadLanguage(1));
    EXPECT_EQ(L"hola", std::wstring(LanguageTable[0]));
    EXPECT_EQ(L"", std::wstring(LanguageTable[1]));
    EXPECT_EQ(L"adios", std::wstring(LanguageTable[2]));
}

TEST_F(LanguageFolder, TheToolKeeps255LettersAndCutsLongerLines)
{
    Put(Dat(kSources[0]), std::string(255, 'a') + "\n" + std::string(700, 'b') + "\nend\n");
    EncryptLanguageFiles();
    ASSERT_TRUE(LoadLanguage(0));
    EXPECT_EQ(std::wstring(255, L'a'), std::wstring(LanguageTable[0]));
    EXPECT_EQ(std::wstring(255, L'b'), std::wstring(LanguageTable[1]));
    EXPECT_EQ(L"end", std::wstring(LanguageTable[2]));
}

}  // namespace
