#include "base/DebugLog.h"

#include <string>

#include "base/FileHandle.h"

// An auto-reset event: the wait that takes the lock also closes it, so two
// writers can never both pass it.
CEventLock::CEventLock()
{
    if (event_.Create(0, 0, nullptr))
        event_.Set();
}

void CEventLock::Acquire()
{
    WaitForSingleObject(event_.GetHandle(), INFINITE);
}

void CEventLock::Release()
{
    event_.Set();
}

namespace Debug {

COutputter::COutputter() : stream_(nullptr)
{
    wchar_t path[MAX_PATH];
    if (GetModuleDirPath(L"log.txt", path, MAX_PATH))
        stream_ = _wfopen(path, L"w");
}

COutputter::~COutputter()
{
    if (stream_)
        fclose(stream_);
}

void COutputter::OutputMsg(const CallSite& site, const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    Output(L"[Msg] ", site, format, args);
    va_end(args);
}

void COutputter::OutputError(const CallSite& site, const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    Output(L"[<Error>] ", site, format, args);
    va_end(args);
}

void COutputter::Output(const wchar_t* prefix, const CallSite& site, const wchar_t* format,
                        va_list args)
{
    if (!stream_)
        return;
    // Source file names are plain ASCII.
    std::wstring file;
    for (const char* p = site.file ? site.file : ""; *p; ++p)
        file += static_cast<wchar_t>(static_cast<unsigned char>(*p));
    CEventLock* lock = GetLogLock();
    if (lock)
        lock->Acquire();
    fputws(prefix, stream_);
    vfwprintf(stream_, format, args);
    fflush(stream_);
    fwprintf(stream_, L"\t[File:%ls, Line:%d, Time:%d] ", file.c_str(), site.line, site.time);
    fflush(stream_);
    fputws(L"\n", stream_);
    fflush(stream_);
    if (lock)
        lock->Release();
}

}  // namespace Debug
