// The diagnostic log "log.txt" beside the executable, emptied at every start,
// and the lock that keeps the lines of concurrent writers whole.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <cstdio>

#include "base/Locks.h"

class CEventLock {
public:
    // Starts free.
    CEventLock();
    void Acquire();
    void Release();

private:
    CEvent event_;
};

namespace Debug {

struct CallSite {
    const char* file;
    int32_t line;
    int32_t time;
};

class COutputter {
public:
    COutputter();
    virtual ~COutputter();
    COutputter(const COutputter&) = delete;
    COutputter& operator=(const COutputter&) = delete;

    void OutputMsg(const CallSite& site, const wchar_t* format, ...);
    void OutputError(const CallSite& site, const wchar_t* format, ...);

private:
    void Output(const wchar_t* prefix, const CallSite& site, const wchar_t* format, va_list args);

    FILE* stream_;
};

COutputter* GetOutputter();

}  // namespace Debug

CEventLock* GetLogLock();

#define PV_CALL_SITE (::Debug::CallSite{__FILE__, __LINE__, static_cast<int32_t>(GetTickCount())})
