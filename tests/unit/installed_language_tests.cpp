// The language files the build placed beside the executables.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "FolderFiles.h"
#include "settings/LanguageRecords.h"
#include "settings/LanguageTable.h"

namespace {

const wchar_t* const kSources[] = {L"dat\\string_engilsh.txt", L"dat\\string_spanish.txt",
                                   L"dat\\string_portuguese.txt", L"dat\\string_chinese.txt",
                                   L"dat\\string_romanian.txt"};

std::wstring FromAcp(const std::string& s)
{
    std::wstring w(s.size() + 1, L'\0');
    int n = MultiByteToWideChar(CP_ACP, 0, s.data(), static_cast<int>(s.size()), &w[0],
                                static_cast<int>(w.size()));
    w.resize(n > 0 ? n : 0);
    return w;
}

TEST(InstalledLanguages, EverySourceLineIsItsLanguageText)
{
    for (uint32_t i = 0; i < kLanguageCount; ++i) {
        std::vector<unsigned char> raw = ReadAll(BesideExe(kSources[i]));
        std::vector<std::string> lines =
            SplitSourceLines(std::string(raw.begin(), raw.end()));
        ASSERT_GT(lines.size(), 141u) << i;
        ASSERT_TRUE(LoadLanguage(i)) << i;
        for (size_t k = 0; k < lines.size(); ++k)
            EXPECT_EQ(FromAcp(lines[k]), std::wstring(LanguageTable[k])) << i << " text " << k;
    }
}

TEST(InstalledLanguages, TemplateTextsAreInPlace)
{
    ASSERT_TRUE(LoadLanguage(0));
    struct { int id; const wchar_t* text; } cases[] = {
        {104, L"Sign In"}, {105, L"Quorvel Sign In"}, {106, L"E-mail:"}, {107, L"password:"},
        {108, L"Settings..."}, {109, L"Sign me in when Quorvel starts"},
        {110, L"Start Quorvel when windows starts"}, {111, L"Cancel"}, {116, L"Add Contact..."},
        {72, L"Secure Contact Name:"}, {100, L"English"}, {101, L"Spanish"}, {102, L"Portuguese"},
        {103, L"Chinese"}, {128, L"Romanian"},
    };
    for (auto& k : cases)
        EXPECT_EQ(std::wstring(k.text), std::wstring(LanguageTable[k.id])) << k.id;
}

TEST(InstalledLanguages, FormatTextsTakeTheirArguments)
{
    // Every language's format texts take the arguments the windows pass.
    for (uint32_t i = 0; i < kLanguageCount; ++i) {
        ASSERT_TRUE(LoadLanguage(i));
        wchar_t out[1024];
        swprintf(out, 1024, LanguageTable[27], L"Bob", L"a.txt", 1234);
        std::wstring s(out);
        EXPECT_NE(std::wstring::npos, s.find(L"Bob")) << i;
        EXPECT_NE(std::wstring::npos, s.find(L"a.txt")) << i;
        EXPECT_NE(std::wstring::npos, s.find(L"1234")) << i;
        for (int id : {2, 24, 140}) {
            swprintf(out, 1024, LanguageTable[id], L"ARG");
            EXPECT_NE(std::wstring::npos, std::wstring(out).find(L"ARG")) << i << " " << id;
        }
    }
}

}  // namespace
