#include "SaveName.h"

#include <algorithm>

#include "base/TextHelpers.h"

namespace {

const wchar_t kDefaultName[] = L"file";

// The direction marks and overrides are allowed in a name, but they let
// "photo<RLO>gpj.exe" show as "photoexe.jpg": the name would lie about what
// a double click on the file does.
bool IsDirectionControl(wchar_t c)
{
    return c == 0x061C || c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

bool IsRefused(wchar_t c)
{
    return c < 32 || std::wstring(L"<>:\"/\\|?*").find(c) != std::wstring::npos || IsDirectionControl(c);
}

void TrimEnd(std::wstring& name)
{
    while (!name.empty() && (name.back() == L'.' || name.back() == L' ')) name.pop_back();
}

wchar_t Upper(wchar_t c) { return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c; }

// Windows opens the device for such a name whatever its extension, and it
// takes the superscript digits for COM and LPT ports as well.
bool IsDeviceName(const std::wstring& name)
{
    std::wstring base = name.substr(0, name.find(L'.'));
    while (!base.empty() && base.back() == L' ') base.pop_back();
    std::transform(base.begin(), base.end(), base.begin(), Upper);
    if (base == L"CON" || base == L"PRN" || base == L"AUX" || base == L"NUL") return true;
    if (base.size() != 4 || (base.compare(0, 3, L"COM") != 0 && base.compare(0, 3, L"LPT") != 0)) return false;
    const wchar_t digit = base[3];
    return (digit >= L'1' && digit <= L'9') || digit == 0xB9 || digit == 0xB2 || digit == 0xB3;
}

// At most maxUnits, the extension kept when it leaves the name at least
// half the room; never ending in a dot or a space.
std::wstring Fit(const std::wstring& name, size_t maxUnits)
{
    if (name.size() <= maxUnits) return name;
    const size_t dot = name.rfind(L'.');
    const size_t extension = dot == std::wstring::npos || dot == 0 ? 0 : name.size() - dot;
    std::wstring cut = extension && extension <= maxUnits / 2
                           ? HeadUnits(name.substr(0, dot), maxUnits - extension) + name.substr(dot)
                           : HeadUnits(name, maxUnits);
    TrimEnd(cut);
    return cut.empty() ? kDefaultName : cut;
}

}  // namespace

std::wstring ShownOfferName(const std::wstring& offered)
{
    std::wstring shown = offered;
    shown.erase(std::remove_if(shown.begin(), shown.end(), IsDirectionControl), shown.end());
    if (shown.size() > kShownNameUnits) shown = HeadUnits(shown, kShownNameUnits) + L'\x2026';
    return shown;
}

std::wstring InitialSaveName(const std::wstring& offered, size_t maxUnits)
{
    const size_t slash = offered.find_last_of(L"\\/");
    std::wstring name = slash == std::wstring::npos ? offered : offered.substr(slash + 1);
    name.erase(std::remove_if(name.begin(), name.end(), IsRefused), name.end());
    TrimEnd(name);
    if (name.empty()) name = kDefaultName;
    name = Fit(name, maxUnits);
    if (IsDeviceName(name)) name = Fit(L"_" + name, maxUnits);
    return name;
}
