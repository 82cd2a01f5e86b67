// How many threads and kernel handles this process holds: what a start
// that leaks shows as, long before anything crashes.
#pragma once

#include <windows.h>
#include <tlhelp32.h>

#include <cstdint>

inline int ProcessThreadCount()
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return -1;
    THREADENTRY32 entry;
    entry.dwSize = sizeof(entry);
    const DWORD self = GetCurrentProcessId();
    int count = 0;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        if (entry.th32OwnerProcessID == self)
            ++count;
    CloseHandle(snapshot);
    return count;
}

// Wine answers GetProcessHandleCount with 0, so the handle values are
// probed one by one instead; they are small multiples of four there.
inline int ProcessHandleCount()
{
    DWORD reported = 0;
    if (GetProcessHandleCount(GetCurrentProcess(), &reported) && reported > 0)
        return static_cast<int>(reported);
    int count = 0;
    for (uintptr_t value = 4; value < 0x10000; value += 4) {
        DWORD flags = 0;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags))
            ++count;
    }
    return count;
}
