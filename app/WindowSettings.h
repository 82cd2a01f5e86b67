// Window layout in the current user's registry: a window's placement, the
// bands of a rebar and a splitter position, each under a key path and a
// value-name prefix of the caller's. Nothing is cached between calls.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class WindowSettings {
public:
    WindowSettings();

    // The placement value (prefix + "WindowPlacement", 44 bytes).
    bool Load(const wchar_t* keyPath, const wchar_t* prefix, HKEY root);
    bool Save(const wchar_t* keyPath, const wchar_t* prefix, HKEY root) const;
    bool GetFrom(HWND window);
    // With the normal start-up show command the stored placement decides
    // alone, unless it is minimised; any other command is applied after it.
    void ApplyTo(HWND window, int showCommand) const;

    WINDOWPLACEMENT m_placement;
};

class ReBarSettings {
public:
    struct Band {
        DWORD id;
        DWORD width;
        bool breakLine;
    };

    bool Load(const wchar_t* keyPath, const wchar_t* prefix, HKEY root);
    bool Save(const wchar_t* keyPath, const wchar_t* prefix, HKEY root) const;
    void GetFrom(HWND rebar);
    void ApplyTo(HWND rebar) const;

    std::vector<Band> m_bands;
};

class SplitterSettings {
public:
    bool Load(const wchar_t* keyPath, const wchar_t* prefix, HKEY root);
    bool Save(const wchar_t* keyPath, const wchar_t* prefix, HKEY root) const;

    DWORD m_position = 0;
};
