#include "events/VoIPMsgHandler.h"

VoipEventQueue::~VoipEventQueue()
{
    for (VoipEvent* e : events_)
        delete e;
}

void VoipEventQueue::Push(VoipEvent* event)
{
    ScopedLock lock(lock_);
    events_.push_back(event);
}

bool VoipEventQueue::IsEmpty()
{
    ScopedLock lock(lock_);
    return events_.empty();
}

VoipEvent* VoipEventQueue::TakeFront()
{
    ScopedLock lock(lock_);
    if (events_.empty())
        return nullptr;
    VoipEvent* e = events_.front();
    events_.pop_front();
    return e;
}

std::vector<VoipEvent*> VoipEventQueue::CopyWhere(const VoipEventFilter& wanted)
{
    std::vector<VoipEvent*> copies;
    ScopedLock lock(lock_);
    for (const VoipEvent* e : events_) {
        if (!wanted(*e))
            continue;
        if (VoipEvent* copy = e->Copy())
            copies.push_back(copy);
    }
    return copies;
}

VoipEvent* VoIPMsgHandler::PopEvent()
{
    return queue_.IsEmpty() ? nullptr : queue_.TakeFront();
}

bool VoIPMsgHandler::PostEvent(VoipEventKind kind)
{
    return Queue(VoipEvent::Make(kind));
}

bool VoIPMsgHandler::Queue(VoipEvent* event)
{
    if (!event)
        return false;
    queue_.Push(event);
    return true;
}

void VoIPMsgHandler::CopyWaiting(VoIPMsgHandler& other, const VoipEventFilter& wanted)
{
    // One queue lock at a time: the copies are made under the other's lock
    // and queued here after it is released.
    for (VoipEvent* copy : other.queue_.CopyWhere(wanted))
        queue_.Push(copy);
}
