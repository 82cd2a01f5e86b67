// The name the save dialog proposes for an offered file, and the one the
// question about the offer shows: each offered name and what it gives.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "SaveName.h"

namespace {

// UTF-16 units spelled out, so that a pair is two units wherever wchar_t is wider.
const wchar_t kHigh = static_cast<wchar_t>(0xD83D), kLow = static_cast<wchar_t>(0xDE00);
const std::wstring kPair = {kHigh, kLow};

std::wstring Repeat(wchar_t c, size_t n) { return std::wstring(n, c); }

struct Case {
    const char* what;
    std::wstring offered;
    std::wstring initial;
};

TEST(InitialSaveName, TakesTheNameApartFromWhatWindowsWouldReadAsAPathADeviceOrAStream)
{
    const std::vector<Case> cases = {
        {"a plain name", L"report.pdf", L"report.pdf"},
        {"an absolute path", L"C:\\Users\\Public\\Start Menu\\Programs\\Startup\\update.exe", L"update.exe"},
        {"a relative path up", L"..\\..\\x.exe", L"x.exe"},
        {"forward slashes", L"../../x.exe", L"x.exe"},
        {"both kinds of slash", L"dir/sub\\mixed.txt", L"mixed.txt"},
        {"a UNC path", L"\\\\host\\share\\x", L"x"},
        {"a drive-relative name", L"C:x.exe", L"Cx.exe"},
        {"a named stream", L"a.txt:stream", L"a.txtstream"},
        {"the data stream", L"a.txt::$DATA", L"a.txt$DATA"},
        {"a device", L"CON", L"_CON"},
        {"a device in small letters", L"con", L"_con"},
        {"a device with an extension", L"nul.txt", L"_nul.txt"},
        {"a device with two extensions", L"Aux.tar.gz", L"_Aux.tar.gz"},
        {"a device before a space", L"PRN .txt", L"_PRN .txt"},
        {"a port", L"Com1.log", L"_Com1.log"},
        {"the last printer port", L"LPT9", L"_LPT9"},
        {"a port with a superscript digit", std::wstring(L"COM") + wchar_t(0xB9), std::wstring(L"_COM") + wchar_t(0xB9)},
        {"a device once its dot is gone", L"aux.", L"_aux"},
        {"port 0 is no device", L"COM0", L"COM0"},
        {"a longer word is no device", L"CONSOLE.txt", L"CONSOLE.txt"},
        {"a device name inside a name", L"my con.txt", L"my con.txt"},
        {"trailing dots and spaces", L"name. . .", L"name"},
        {"trailing spaces after an extension", L"notes.txt  ", L"notes.txt"},
        {"leading spaces stay", L" a.txt", L" a.txt"},
        {"controls", std::wstring(L"a\tb") + wchar_t(1) + L"c" + wchar_t(31) + L".txt", L"abc.txt"},
        {"refused characters among others", L"a<b>c\"d|e?f*g.txt", L"abcdefg.txt"},
        {"only refused characters", L"<>:\"|?*", L"file"},
        {"only slashes", L"\\/\\", L"file"},
        {"a folder alone", L"C:\\Windows\\", L"file"},
        {"only dots and spaces", L". . .", L"file"},
        {"empty", L"", L"file"},
        {"a right-to-left override cannot disguise the extension", std::wstring(L"photo") + wchar_t(0x202E) + L"gpj.exe",
         L"photogpj.exe"},
        {"every direction mark goes", std::wstring(L"a") + wchar_t(0x200F) + wchar_t(0x2066) + L"b" + wchar_t(0x061C) + L".txt",
         L"ab.txt"},
        {"a pair stays whole", kPair + L".png", kPair + L".png"},
        {"the longest name", Repeat(L'a', 251) + L".txt", Repeat(L'a', 251) + L".txt"},
        {"a long name keeps its extension", Repeat(L'a', 4092) + L".txt", Repeat(L'a', 251) + L".txt"},
        {"a long name without an extension", Repeat(L'a', 4096), Repeat(L'a', 255)},
        {"an extension too long to keep", L"a." + Repeat(L'b', 300), L"a." + Repeat(L'b', 253)},
        {"a long path", L"C:\\" + Repeat(L'd', 300) + L"\\" + Repeat(L'n', 300) + L".exe",
         Repeat(L'n', 251) + L".exe"},
        {"a cut inside a pair", Repeat(L'a', 254) + kPair + Repeat(L'b', 10), Repeat(L'a', 254)},
        {"a cut inside a pair, before the extension", Repeat(L'a', 250) + kPair + Repeat(L'c', 10) + L".txt",
         Repeat(L'a', 250) + L".txt"},
        {"a pair that fits before the cut", Repeat(L'a', 253) + kPair + L"b", Repeat(L'a', 253) + kPair},
        {"a cut before a space", Repeat(L'a', 254) + L" " + Repeat(L'b', 10), Repeat(L'a', 254)},
        {"a long device name", L"nul." + Repeat(L'x', 300), L"_nul." + Repeat(L'x', 250)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::wstring initial = InitialSaveName(c.offered);
        EXPECT_EQ(c.initial, initial);
        EXPECT_LE(initial.size(), kMaxFileNameUnits);
    }
}

TEST(ShownOfferName, ShowsTheNameAsItCameButForItsDirectionAndItsLength)
{
    const std::wstring rlo(1, wchar_t(0x202E)), ellipsis(1, wchar_t(0x2026));
    const struct {
        const char* what;
        std::wstring offered, shown;
    } cases[] = {
        {"a plain name", L"report.pdf", L"report.pdf"},
        {"a path stays a path", L"..\\..\\x.exe", L"..\\..\\x.exe"},
        {"an override that would turn the question round", L"photo" + rlo + L"gpj.exe", L"photogpj.exe"},
        {"the longest name shown whole", Repeat(L'a', kShownNameUnits), Repeat(L'a', kShownNameUnits)},
        {"a longer name is cut", Repeat(L'a', 507) + L".txt", Repeat(L'a', kShownNameUnits) + ellipsis},
        {"a cut inside a pair", Repeat(L'a', kShownNameUnits - 1) + kPair, Repeat(L'a', kShownNameUnits - 1) + ellipsis},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.shown, ShownOfferName(c.offered));
    }
}

TEST(InitialSaveName, FitsTheRoomItIsGiven)
{
    EXPECT_EQ(std::wstring(L"abcd.txt"), InitialSaveName(L"abcdefgh.txt", 8));
    EXPECT_EQ(std::wstring(L"abcdefgh"), InitialSaveName(L"abcdefghij", 8));
    // A device name that a cut makes still gets its mark, within the room.
    EXPECT_EQ(std::wstring(L"_CO"), InitialSaveName(L"CONxxxxxx", 3));
    EXPECT_EQ(std::wstring(L"_COM1.txt"), InitialSaveName(L"COM1 xxxxxxx.txt", 9));
}

}  // namespace
