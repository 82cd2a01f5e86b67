// The receiving end of the core's events: a locked queue per window, worked
// off by its owner on its own GUI thread.
#pragma once

#include <functional>
#include <list>
#include <vector>

#include "base/Locks.h"
#include "events/VoipEvent.h"

// Which events a caller wants.
typedef std::function<bool(const VoipEvent&)> VoipEventFilter;

class VoipEventQueue {
public:
    VoipEventQueue() {}
    ~VoipEventQueue();
    VoipEventQueue(const VoipEventQueue&) = delete;
    VoipEventQueue& operator=(const VoipEventQueue&) = delete;

    // Takes ownership.
    void Push(VoipEvent* event);
    bool IsEmpty();
    // The oldest event, now the caller's; null when there is none.
    VoipEvent* TakeFront();
    // Copies of the events that wanted picks, oldest first, now the
    // caller's; the queue keeps its own.
    std::vector<VoipEvent*> CopyWhere(const VoipEventFilter& wanted);

private:
    std::list<VoipEvent*> events_;
    CriticalSection lock_;
};

class VoIPMsgHandler {
public:
    VoIPMsgHandler() {}
    VoIPMsgHandler(const VoIPMsgHandler&) = delete;
    VoIPMsgHandler& operator=(const VoIPMsgHandler&) = delete;

    // Called by the owner on its own thread, never by the core.
    virtual void ProcessEvents() = 0;

    // The oldest event, which the caller destroys after handling; null when
    // the queue is empty.
    VoipEvent* PopEvent();

    // Queues a new event with its own copy of the record. False when the
    // record is not the one the kind carries (nothing is queued).
    bool PostEvent(VoipEventKind kind);
    template <typename Record>
    bool PostEvent(VoipEventKind kind, const Record& record)
    {
        return Queue(VoipEvent::Make(kind, record));
    }

protected:
    // Owners are destroyed as what they are, never through this base.
    ~VoIPMsgHandler() {}

private:
    friend class HandlerRegistry;

    bool Queue(VoipEvent* event);
    // Queues copies of the events waiting in other's queue that wanted
    // picks, in their order.
    void CopyWaiting(VoIPMsgHandler& other, const VoipEventFilter& wanted);

    VoipEventQueue queue_;
};

// The handler a dialog holds as a member and polls from its own timer.
class CoreMessageHandler : public VoIPMsgHandler {
public:
    void ProcessEvents() override {}
    virtual ~CoreMessageHandler() {}
};
