// The application module and the message loops of its GUI threads. A loop
// offers each message to its message filters (the last added first) before
// it is translated and dispatched, and calls its idle handlers when the
// queue has run dry.
#pragma once

#include <windows.h>

#include <map>
#include <vector>

namespace ATL {
void SetModuleInstance(HINSTANCE instance);
}

namespace WTL {

class CMessageFilter {
public:
    // True when the message was dealt with and must not be dispatched.
    virtual BOOL PreTranslateMessage(MSG* pMsg) = 0;
};

class CIdleHandler {
public:
    virtual BOOL OnIdle() = 0;
};

class CMessageLoop {
public:
    BOOL AddMessageFilter(CMessageFilter* filter);
    BOOL RemoveMessageFilter(CMessageFilter* filter);
    BOOL AddIdleHandler(CIdleHandler* handler);
    BOOL RemoveIdleHandler(CIdleHandler* handler);

    // Runs until WM_QUIT and returns its exit code.
    int Run();

    // Offers the message to the filters; also used by modal loops.
    BOOL PreTranslateMessage(MSG* pMsg);
    BOOL OnIdle(int idleCount);

    // Messages that do not end an idle period (mouse and caret noise).
    static bool IsIdleMessage(const MSG* pMsg);

private:
    std::vector<CMessageFilter*> filters_;
    std::vector<CIdleHandler*> idleHandlers_;
};

// Process-wide; fit to be a global object (it needs nothing at
// construction). Each GUI thread registers its loop under its thread id.
class CAppModule {
public:
    CAppModule();
    ~CAppModule();
    CAppModule(const CAppModule&) = delete;
    CAppModule& operator=(const CAppModule&) = delete;

    HRESULT Init(HINSTANCE instance);
    void Term();
    HINSTANCE GetModuleInstance() const;
    HINSTANCE GetResourceInstance() const { return GetModuleInstance(); }

    BOOL AddMessageLoop(CMessageLoop* loop);
    BOOL RemoveMessageLoop();
    CMessageLoop* GetMessageLoop(DWORD threadId = ::GetCurrentThreadId()) const;

private:
    HINSTANCE instance_;
    mutable CRITICAL_SECTION lock_;
    std::map<DWORD, CMessageLoop*> loops_;
};

// The loop of the calling thread in the module that was last initialised,
// or none; controls that need keyboard filtering register with it.
CMessageLoop* ActiveAppModuleLoop();

}  // namespace WTL
