// Mutual exclusion and timing holders over the Win32 primitives.
#pragma once

#include <windows.h>

#include <cstdint>

class CriticalSection {
public:
    CriticalSection();
    ~CriticalSection();
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;

    // Re-entrant for the owning thread.
    void Enter() { EnterCriticalSection(&cs_); }
    void Leave() { LeaveCriticalSection(&cs_); }

private:
    CRITICAL_SECTION cs_;
};

class ScopedLock {
public:
    explicit ScopedLock(CriticalSection& cs) : cs_(&cs) { cs_->Enter(); }
    ~ScopedLock() { cs_->Leave(); }
    ScopedLock(const ScopedLock&) = delete;
    ScopedLock& operator=(const ScopedLock&) = delete;

private:
    CriticalSection* cs_;
};

// The system tick count in milliseconds. Tests replace the source to reach
// the 32-bit wrap without waiting for it; nullptr restores GetTickCount.
typedef uint32_t (*TickSource)();
uint32_t GetTicks();
void SetTickSource(TickSource source);

class IntervalTimer {
public:
    explicit IntervalTimer(uint32_t periodMs) : period_(periodMs), last_(0) {}

    uint32_t Stamp() { return last_ = GetTicks(); }
    // Unsigned arithmetic keeps the timer right across the tick count's wrap.
    bool Expired() const { return period_ < static_cast<uint32_t>(GetTicks() - last_); }
    void SetPeriod(uint32_t periodMs) { period_ = periodMs; }
    uint32_t GetPeriod() const { return period_; }

private:
    uint32_t period_;
    uint32_t last_;
};

template <typename T>
class LockedValue {
public:
    LockedValue() : value_() {}
    T Get()
    {
        ScopedLock lock(cs_);
        return value_;
    }
    void Set(T v)
    {
        ScopedLock lock(cs_);
        value_ = v;
    }

private:
    T value_;
    CriticalSection cs_;
};

typedef LockedValue<int32_t> LockedInt;
typedef LockedValue<bool> LockedBool;

class NamedMutex {
public:
    NamedMutex() : handle_(nullptr) {}
    ~NamedMutex() { Close(); }
    NamedMutex(const NamedMutex&) = delete;
    NamedMutex& operator=(const NamedMutex&) = delete;

    // The caller reads GetLastError right after to learn whether it existed.
    bool Create(bool initialOwner, const wchar_t* name);
    bool Close();
    HANDLE GetHandle() const { return handle_; }

private:
    HANDLE handle_;
};

class CEvent {
public:
    CEvent() : handle_(nullptr) {}
    ~CEvent() { Close(); }
    CEvent(const CEvent&) = delete;
    CEvent& operator=(const CEvent&) = delete;

    // A manual-reset event (manualReset 1) is also put in its initial state
    // explicitly, so that reopening a named event gives the state asked for.
    bool Create(int manualReset, int initialState, const wchar_t* name);
    bool Set() { return SetEvent(handle_) != FALSE; }
    bool Reset() { return ResetEvent(handle_) != FALSE; }
    bool Pulse();
    bool Close();
    HANDLE GetHandle() const { return handle_; }

private:
    HANDLE handle_;
};
