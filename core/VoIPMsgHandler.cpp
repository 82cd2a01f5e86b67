#include "VoIPMsgHandler.h"

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
