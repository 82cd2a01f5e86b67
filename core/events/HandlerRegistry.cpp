#include "events/HandlerRegistry.h"

void HandlerRegistry::RegisterHandler(VoIPMsgHandler* handler)
{
    ScopedLock lock(lock_);
    handlers_.insert(handler);
}

void HandlerRegistry::RegisterHandler(VoIPMsgHandler* handler, VoIPMsgHandler& earlier,
                                      const VoipEventFilter& wanted)
{
    ScopedLock lock(lock_);
    if (handlers_.insert(handler).second && handler != &earlier)
        handler->CopyWaiting(earlier, wanted);
}

void HandlerRegistry::UnregisterHandler(VoIPMsgHandler* handler)
{
    ScopedLock lock(lock_);
    handlers_.erase(handler);
}

void HandlerRegistry::Clear()
{
    ScopedLock lock(lock_);
    handlers_.clear();
}

void HandlerRegistry::Broadcast(VoipEventKind kind)
{
    ScopedLock lock(lock_);
    for (VoIPMsgHandler* h : handlers_)
        h->PostEvent(kind);
}
