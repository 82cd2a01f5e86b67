// The set of windows' handlers that the core broadcasts its events to.
#pragma once

#include <set>

#include "base/Locks.h"
#include "events/VoIPMsgHandler.h"

class HandlerRegistry {
public:
    HandlerRegistry() {}
    HandlerRegistry(const HandlerRegistry&) = delete;
    HandlerRegistry& operator=(const HandlerRegistry&) = delete;

    // Registering twice has no further effect; handlers are not owned.
    void RegisterHandler(VoIPMsgHandler* handler);
    // Registers handler with what it would have had, had it registered
    // when earlier did: copies of the events still waiting in earlier's
    // queue that wanted picks. Both in one step, so that every event earlier
    // holds reaches handler once, by the copy when it was broadcast before
    // and by the broadcast itself after. An already registered handler
    // gets nothing more.
    void RegisterHandler(VoIPMsgHandler* handler, VoIPMsgHandler& earlier, const VoipEventFilter& wanted);
    // Once this returns, no broadcast reaches the handler.
    void UnregisterHandler(VoIPMsgHandler* handler);
    void Clear();

    // Every registered handler receives its own event and payload copy.
    void Broadcast(VoipEventKind kind);
    template <typename Record>
    void Broadcast(VoipEventKind kind, const Record& record)
    {
        ScopedLock lock(lock_);
        for (VoIPMsgHandler* h : handlers_)
            h->PostEvent(kind, record);
    }

private:
    std::set<VoIPMsgHandler*> handlers_;
    CriticalSection lock_;
};
