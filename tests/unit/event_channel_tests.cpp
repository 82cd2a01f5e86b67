// The event channel: per-handler queues, the registry's broadcast, order,
// ownership, and a producer thread racing the consumer.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "events/HandlerRegistry.h"

// Live heap blocks of this program, to see that destroyed queues release
// their events and payloads.
static std::atomic<long> g_liveBlocks(0);

void* operator new(size_t n)
{
    void* p = std::malloc(n ? n : 1);
    if (!p)
        throw std::bad_alloc();
    ++g_liveBlocks;
    return p;
}

void operator delete(void* p) noexcept
{
    if (p) {
        --g_liveBlocks;
        std::free(p);
    }
}

void operator delete(void* p, size_t) noexcept { operator delete(p); }

namespace {

typedef std::unique_ptr<VoipEvent> Event;

TEST(EventChannel, BroadcastGivesEveryHandlerItsOwnCopy)
{
    HandlerRegistry registry;
    CoreMessageHandler a, b, c;
    for (auto* h : {&a, &b, &c})
        registry.RegisterHandler(h);
    registry.Broadcast(VE_IncomingCall, TextPair{"carol", "Carol C."});

    Event ea(a.PopEvent()), eb(b.PopEvent()), ec(c.PopEvent());
    ASSERT_TRUE(ea && eb && ec);
    TextPair* pa = ea->Payload<TextPair>();
    ASSERT_TRUE(pa);
    pa->first = "changed";
    ea.reset();
    for (Event* e : {&eb, &ec}) {
        EXPECT_EQ(VE_IncomingCall, (*e)->GetKind());
        EXPECT_EQ("carol", (*e)->Payload<TextPair>()->first);
        EXPECT_EQ("Carol C.", (*e)->Payload<TextPair>()->second);
    }
    for (auto* h : {&a, &b, &c})
        EXPECT_EQ(nullptr, h->PopEvent());
}

TEST(EventChannel, OnlyRegisteredHandlersReceiveOnce)
{
    HandlerRegistry registry;
    CoreMessageHandler a, b;
    registry.Broadcast(VE_Connecting);
    registry.RegisterHandler(&a);
    EXPECT_EQ(nullptr, a.PopEvent());

    registry.RegisterHandler(&a);
    registry.Broadcast(VE_Connected);
    EXPECT_TRUE(Event(a.PopEvent()));
    EXPECT_EQ(nullptr, a.PopEvent());

    registry.UnregisterHandler(&b);
    registry.UnregisterHandler(&a);
    registry.Broadcast(VE_Connected);
    EXPECT_EQ(nullptr, a.PopEvent());

    registry.RegisterHandler(&a);
    registry.RegisterHandler(&b);
    registry.Clear();
    registry.Broadcast(VE_SessionReset);
    EXPECT_EQ(nullptr, a.PopEvent());
    EXPECT_EQ(nullptr, b.PopEvent());
}

TEST(EventChannel, EventsPopInPostingOrderWithTheirPayloads)
{
    CoreMessageHandler h;
    EXPECT_TRUE(h.PostEvent(VE_ConnectFailed));
    EXPECT_TRUE(h.PostEvent(VE_CallReply, VoipEventValue{-5}));
    EXPECT_TRUE(h.PostEvent(VE_CallRequested, VoipEventByte{1}));
    EXPECT_TRUE(h.PostEvent(VE_SessionReset));
    // A kind with the wrong record, or a payload kind without one, is not queued.
    EXPECT_FALSE(h.PostEvent(VE_CallRequested, VoipEventValue{1}));
    EXPECT_FALSE(h.PostEvent(VE_ProbeStatus));

    Event e(h.PopEvent());
    ASSERT_TRUE(e);
    ASSERT_EQ(VE_ConnectFailed, e->GetKind());
    e.reset(h.PopEvent());
    ASSERT_TRUE(e);
    ASSERT_EQ(VE_CallReply, e->GetKind());
    EXPECT_EQ(-5, e->Payload<VoipEventValue>()->value);
    e.reset(h.PopEvent());
    ASSERT_TRUE(e);
    ASSERT_EQ(VE_CallRequested, e->GetKind());
    EXPECT_EQ(1, e->Payload<VoipEventByte>()->value);
    e.reset(h.PopEvent());
    ASSERT_TRUE(e);
    ASSERT_EQ(VE_SessionReset, e->GetKind());
    EXPECT_EQ(nullptr, e->Payload<VoipEventText>());
    EXPECT_EQ(nullptr, h.PopEvent());
}

TEST(EventChannel, AHandlerDestroyedWithEventsReleasesThem)
{
    long before = g_liveBlocks;
    {
        HandlerRegistry registry;
        CoreMessageHandler h;
        registry.RegisterHandler(&h);
        std::string longText(500, 'x');
        registry.Broadcast(VE_SignInFailed, VoipEventText{longText});
        registry.Broadcast(VE_ChatText, VoipEventChat{"a", longText, std::wstring(300, L'w')});
        registry.Broadcast(VE_TransferProgress, VoipEventProgress{longText, 100, 40});
        EXPECT_GT(g_liveBlocks.load(), before + 6);
    }
    EXPECT_EQ(before, g_liveBlocks.load());
}

TEST(EventChannel, AProducerThreadAndTheConsumerLoseNothing)
{
    HandlerRegistry registry;
    CoreMessageHandler h;
    registry.RegisterHandler(&h);
    const int kCount = 2000;
    std::thread producer([&] {
        for (int i = 0; i < kCount; ++i)
            registry.Broadcast(VE_ContactState, VoipEventTextInt{"c", i});
    });
    int next = 0, misplaced = 0;
    DWORD start = GetTickCount();
    while (next < kCount && GetTickCount() - start < 20000) {
        Event e(h.PopEvent());
        if (!e)
            continue;
        if (e->Payload<VoipEventTextInt>()->value != next)
            ++misplaced;
        ++next;
    }
    producer.join();
    EXPECT_EQ(kCount, next);
    EXPECT_EQ(0, misplaced);
}

// What a late handler picks from an earlier one: chat texts of one sender.
bool FromAlice(const VoipEvent& e)
{
    const VoipEventChat* chat = e.Payload<VoipEventChat>();
    return chat && chat->first == "alice";
}

std::vector<std::wstring> TextsOf(CoreMessageHandler& h)
{
    std::vector<std::wstring> texts;
    while (VoipEvent* e = h.PopEvent()) {
        const VoipEventChat* chat = e->Payload<VoipEventChat>();
        texts.push_back(chat ? chat->wide : L"<other kind>");
        delete e;
    }
    return texts;
}

TEST(EventChannel, ALateHandlerCatchesUpOnceOnWhatAnEarlierOneStillHolds)
{
    HandlerRegistry registry;
    CoreMessageHandler earlier, late;
    registry.RegisterHandler(&earlier);
    auto chat = [&](const char* sender, const wchar_t* text) {
        registry.Broadcast(VE_ChatText, VoipEventChat(sender, sender, text));
    };
    chat("alice", L"a1");
    chat("bob", L"b1");
    registry.Broadcast(VE_Connected);
    chat("alice", L"a2");
    // Taken by its owner already: not there to be copied.
    Event taken(earlier.PopEvent());
    registry.RegisterHandler(&late, earlier, FromAlice);
    chat("alice", L"a3");
    chat("bob", L"b2");
    // Registered again: nothing more.
    registry.RegisterHandler(&late, earlier, FromAlice);

    EXPECT_EQ((std::vector<std::wstring>{L"a2", L"a3", L"b2"}), TextsOf(late));
    EXPECT_EQ((std::vector<std::wstring>{L"b1", L"<other kind>", L"a2", L"a3", L"b2"}), TextsOf(earlier));
}

TEST(EventChannel, CatchingUpWhileAProducerBroadcastsMissesNoneAndDoublesNone)
{
    HandlerRegistry registry;
    CoreMessageHandler earlier, late;
    registry.RegisterHandler(&earlier);
    const int kCount = 3000;
    std::atomic<int> sent(0);
    std::thread producer([&] {
        for (int i = 0; i < kCount; ++i) {
            registry.Broadcast(VE_ChatText, VoipEventChat("alice", "Alice", std::to_wstring(i)));
            ++sent;
        }
    });
    // Registered while texts are on their way.
    DWORD start = GetTickCount();
    while (sent < kCount / 3 && GetTickCount() - start < 20000)
        Sleep(0);
    registry.RegisterHandler(&late, earlier, FromAlice);
    producer.join();
    std::vector<std::wstring> expected;
    for (int i = 0; i < kCount; ++i)
        expected.push_back(std::to_wstring(i));
    EXPECT_EQ(expected, TextsOf(late));
}

}  // namespace
