#include "base/Locks.h"

#include <cstring>

CriticalSection::CriticalSection()
{
    std::memset(&cs_, 0, sizeof(cs_));
    InitializeCriticalSection(&cs_);
}

CriticalSection::~CriticalSection()
{
    DeleteCriticalSection(&cs_);
}

namespace {
TickSource g_tickSource = nullptr;
}

uint32_t GetTicks()
{
    return g_tickSource ? g_tickSource() : GetTickCount();
}

void SetTickSource(TickSource source)
{
    g_tickSource = source;
}

bool NamedMutex::Create(bool initialOwner, const wchar_t* name)
{
    Close();
    handle_ = CreateMutexW(nullptr, initialOwner ? TRUE : FALSE, name);
    return handle_ != nullptr;
}

bool NamedMutex::Close()
{
    if (!handle_)
        return true;
    BOOL ok = CloseHandle(handle_);
    handle_ = nullptr;
    return ok != FALSE;
}

bool CEvent::Create(int manualReset, int initialState, const wchar_t* name)
{
    Close();
    handle_ = CreateEventW(nullptr, manualReset ? TRUE : FALSE, initialState ? TRUE : FALSE, name);
    if (!handle_)
        return false;
    if (manualReset == 1) {
        if (initialState == 1)
            Set();
        else
            Reset();
    }
    return true;
}

bool CEvent::Pulse()
{
    bool set = Set();
    bool reset = Reset();
    return set && reset;
}

bool CEvent::Close()
{
    if (!handle_)
        return false;
    BOOL ok = CloseHandle(handle_);
    handle_ = nullptr;
    return ok != FALSE;
}
