#include "WindowSettings.h"

#include <commctrl.h>

#include <cwchar>

#include "UserRegistry.h"

namespace {
std::wstring ValueName(const wchar_t* prefix, const wchar_t* suffix) { return std::wstring(prefix) + suffix; }

// "%s%i_" with the prefix and the band's index, then the suffix.
std::wstring BandValueName(const wchar_t* prefix, size_t band, const wchar_t* suffix)
{
    wchar_t head[128];
    swprintf(head, 128, L"%ls%i_", prefix, static_cast<int>(band));
    return std::wstring(head) + suffix;
}

// Only a value stored as REG_DWORD is taken.
bool ReadDword(HKEY key, const std::wstring& name, DWORD& value)
{
    DWORD type = 0, v = 0, size = sizeof(v);
    if (RegQueryValueExW(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&v), &size) != ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof(v))
        return false;
    value = v;
    return true;
}

bool WriteDword(HKEY key, const std::wstring& name, DWORD value)
{
    return RegSetValueExW(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value)) ==
           ERROR_SUCCESS;
}
}  // namespace

WindowSettings::WindowSettings() : m_placement() { m_placement.length = sizeof(m_placement); }

bool WindowSettings::Load(const wchar_t* keyPath, const wchar_t* prefix, HKEY root)
{
    RegistryKey k;
    if (!k.Open(root, keyPath)) return false;
    WINDOWPLACEMENT stored = {};
    DWORD type = 0, size = sizeof(stored);
    if (RegQueryValueExW(k.key, ValueName(prefix, L"WindowPlacement").c_str(), nullptr, &type,
                         reinterpret_cast<BYTE*>(&stored), &size) != ERROR_SUCCESS ||
        size != sizeof(stored))
        return false;
    m_placement = stored;
    // The stored record was written by this program; its length field is
    // what SetWindowPlacement insists on.
    m_placement.length = sizeof(m_placement);
    return true;
}

bool WindowSettings::Save(const wchar_t* keyPath, const wchar_t* prefix, HKEY root) const
{
    RegistryKey k;
    if (!k.Create(root, keyPath)) return false;
    return RegSetValueExW(k.key, ValueName(prefix, L"WindowPlacement").c_str(), 0, REG_BINARY,
                          reinterpret_cast<const BYTE*>(&m_placement), sizeof(m_placement)) == ERROR_SUCCESS;
}

bool WindowSettings::GetFrom(HWND window)
{
    m_placement.length = sizeof(m_placement);
    return GetWindowPlacement(window, &m_placement) != FALSE;
}

void WindowSettings::ApplyTo(HWND window, int showCommand) const
{
    SetWindowPlacement(window, &m_placement);
    const bool storedMinimised = m_placement.showCmd == SW_SHOWMINIMIZED || m_placement.showCmd == SW_MINIMIZE;
    if (showCommand != SW_SHOWNORMAL || storedMinimised) ShowWindow(window, showCommand);
}

bool ReBarSettings::Load(const wchar_t* keyPath, const wchar_t* prefix, HKEY root)
{
    RegistryKey k;
    if (!k.Open(root, keyPath)) return false;
    DWORD count = 0;
    if (!ReadDword(k.key, ValueName(prefix, L"BandCount"), count)) return false;
    std::vector<Band> bands;
    for (DWORD i = 0; i < count; ++i) {
        Band band = {};
        DWORD breakLine = 0;
        if (!ReadDword(k.key, BandValueName(prefix, i, L"ID"), band.id) ||
            !ReadDword(k.key, BandValueName(prefix, i, L"CX"), band.width) ||
            !ReadDword(k.key, BandValueName(prefix, i, L"BreakLine"), breakLine))
            return false;
        band.breakLine = breakLine != 0;
        bands.push_back(band);
    }
    m_bands.swap(bands);
    return true;
}

bool ReBarSettings::Save(const wchar_t* keyPath, const wchar_t* prefix, HKEY root) const
{
    RegistryKey k;
    if (!k.Create(root, keyPath)) return false;
    if (!WriteDword(k.key, ValueName(prefix, L"BandCount"), static_cast<DWORD>(m_bands.size()))) return false;
    for (size_t i = 0; i < m_bands.size(); ++i) {
        if (!WriteDword(k.key, BandValueName(prefix, i, L"ID"), m_bands[i].id) ||
            !WriteDword(k.key, BandValueName(prefix, i, L"CX"), m_bands[i].width) ||
            !WriteDword(k.key, BandValueName(prefix, i, L"BreakLine"), m_bands[i].breakLine ? 1 : 0))
            return false;
    }
    return true;
}

void ReBarSettings::GetFrom(HWND rebar)
{
    m_bands.clear();
    const int count = static_cast<int>(SendMessageW(rebar, RB_GETBANDCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        REBARBANDINFOW info = {};
        info.cbSize = sizeof(info);
        info.fMask = RBBIM_ID | RBBIM_SIZE | RBBIM_STYLE;
        if (!SendMessageW(rebar, RB_GETBANDINFOW, i, reinterpret_cast<LPARAM>(&info))) continue;
        m_bands.push_back(Band{info.wID, info.cx, (info.fStyle & RBBS_BREAK) != 0});
    }
}

void ReBarSettings::ApplyTo(HWND rebar) const
{
    for (size_t i = 0; i < m_bands.size(); ++i) {
        const int from = static_cast<int>(SendMessageW(rebar, RB_IDTOINDEX, m_bands[i].id, 0));
        if (from < 0) continue;
        if (from != static_cast<int>(i)) SendMessageW(rebar, RB_MOVEBAND, from, i);
        REBARBANDINFOW info = {};
        info.cbSize = sizeof(info);
        info.fMask = RBBIM_STYLE;
        SendMessageW(rebar, RB_GETBANDINFOW, i, reinterpret_cast<LPARAM>(&info));
        info.fMask = RBBIM_SIZE | RBBIM_STYLE;
        info.cx = m_bands[i].width;
        info.fStyle = m_bands[i].breakLine ? (info.fStyle | RBBS_BREAK) : (info.fStyle & ~RBBS_BREAK);
        SendMessageW(rebar, RB_SETBANDINFOW, i, reinterpret_cast<LPARAM>(&info));
    }
}

bool SplitterSettings::Load(const wchar_t* keyPath, const wchar_t* prefix, HKEY root)
{
    RegistryKey k;
    return k.Open(root, keyPath) && ReadDword(k.key, ValueName(prefix, L"SplitterPos"), m_position);
}

bool SplitterSettings::Save(const wchar_t* keyPath, const wchar_t* prefix, HKEY root) const
{
    RegistryKey k;
    return k.Create(root, keyPath) && WriteDword(k.key, ValueName(prefix, L"SplitterPos"), m_position);
}
