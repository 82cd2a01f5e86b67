// CriticalSection re-entry, IntervalTimer arithmetic (wrap included),
// LockedValue defaults and NamedMutex ownership.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "base/Locks.h"

namespace {
uint32_t g_now = 0;
uint32_t FakeTicks() { return g_now; }

struct FakeClock : ::testing::Test {
    void SetUp() override { SetTickSource(FakeTicks); }
    void TearDown() override { SetTickSource(nullptr); }
};
}  // namespace

TEST_F(FakeClock, IntervalTimerBoundaryAndWrap)
{
    struct Case {
        const char* name;
        uint32_t stamp;
        uint32_t elapsed;
        bool expired;
    };
    const Case cases[] = {
        {"exactly the period", 5000, 1000, false},
        {"one tick past", 5000, 1001, true},
        {"wrap: 488 ticks after 0", 0xFFFFFFFFu - 511, 1000, false},
        {"wrap: one tick more", 0xFFFFFFFFu - 511, 1001, true},
        {"just stamped", 123, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        IntervalTimer t(1000);
        g_now = c.stamp;
        EXPECT_EQ(c.stamp, t.Stamp());
        g_now = c.stamp + c.elapsed;
        EXPECT_EQ(c.expired, t.Expired());
    }
}

TEST_F(FakeClock, UnstampedTimerComparesAgainstZero)
{
    IntervalTimer t(20000);
    g_now = 20000;
    EXPECT_FALSE(t.Expired());
    g_now = 20001;
    EXPECT_TRUE(t.Expired());
    t.SetPeriod(10000);
    g_now = 10000;
    EXPECT_FALSE(t.Expired());
}

TEST(Locks, CriticalSectionIsReentrantAndExcludesOthers)
{
    CriticalSection cs;
    std::atomic<bool> entered(false);
    cs.Enter();
    cs.Enter();  // the owner may enter again
    std::thread other([&] {
        ScopedLock lock(cs);
        entered = true;
    });
    Sleep(50);
    EXPECT_FALSE(entered.load());
    cs.Leave();
    Sleep(20);
    EXPECT_FALSE(entered.load());  // still held once
    cs.Leave();
    other.join();
    EXPECT_TRUE(entered.load());
}

TEST(Locks, LockedValuesStartCleared)
{
    LockedBool b;
    LockedInt i;
    EXPECT_FALSE(b.Get());
    EXPECT_EQ(0, i.Get());
    b.Set(true);
    i.Set(-7);
    EXPECT_TRUE(b.Get());
    EXPECT_EQ(-7, i.Get());
}

TEST(Locks, NamedMutexCreateCloseAndExisting)
{
    NamedMutex empty;
    EXPECT_TRUE(empty.Close());

    const wchar_t* name = L"Pelvane_lock_tests_mutex";
    NamedMutex first;
    ASSERT_TRUE(first.Create(true, name));
    EXPECT_NE(ERROR_ALREADY_EXISTS, GetLastError());

    NamedMutex second;
    ASSERT_TRUE(second.Create(false, name));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ALREADY_EXISTS), GetLastError());

    // A second Create on one holder closes the first handle: once the other
    // holder lets go too, the first name is free again.
    ASSERT_TRUE(first.Create(false, L"Pelvane_lock_tests_other"));
    EXPECT_TRUE(second.Close());
    NamedMutex third;
    ASSERT_TRUE(third.Create(false, name));
    EXPECT_NE(static_cast<DWORD>(ERROR_ALREADY_EXISTS), GetLastError());
    EXPECT_TRUE(first.Close());
    EXPECT_EQ(nullptr, first.GetHandle());
}
