#include "Locks.h"

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
