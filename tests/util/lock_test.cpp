// The per-object lock: result codes, exclusion, independence of keys, waking of waiters.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "util/lock.h"

namespace {

using namespace std::chrono_literals;

TEST(ObjectLockCodes, TakeReleaseAndReleaseOfAKeyNotHeld) {
    int a = 0, b = 0;
    EXPECT_EQ(1, LockObject(&a));
    EXPECT_EQ(1, LockObject(&b)) << "another key is independent";
    EXPECT_EQ(4, UnlockObject(&a));
    EXPECT_EQ(2, UnlockObject(&a)) << "a second release";
    EXPECT_EQ(4, UnlockObject(&b));
    EXPECT_EQ(2, UnlockObject(&b));
    EXPECT_EQ(1, LockObject(nullptr)) << "any address is a key, null too";
    EXPECT_EQ(4, UnlockObject(nullptr));
}

TEST(ObjectLock, ASecondLockerWaitsUntilTheFirstReleases) {
    int key = 0;
    ASSERT_EQ(1, LockObject(&key));
    std::atomic<bool> taken{false};
    std::thread other([&] {
        EXPECT_EQ(1, LockObject(&key));
        taken = true;
        UnlockObject(&key);
    });
    std::this_thread::sleep_for(50ms);
    EXPECT_FALSE(taken);
    EXPECT_EQ(4, UnlockObject(&key));
    other.join();
    EXPECT_TRUE(taken);
}

TEST(ObjectLock, AnyThreadMayReleaseAKey) {
    int key = 0;
    ASSERT_EQ(1, LockObject(&key));
    int code = 0;
    std::thread([&] { code = UnlockObject(&key); }).join();
    EXPECT_EQ(4, code);
}

TEST(ObjectLock, KeysHeldElsewhereDoNotBlockOtherKeys) {
    std::vector<int> held(1000);
    for (int &k : held) ASSERT_EQ(1, LockObject(&k));
    int mine = 0;
    std::thread([&] {
        EXPECT_EQ(1, LockObject(&mine));
        EXPECT_EQ(4, UnlockObject(&mine));
    }).join();
    for (int &k : held) ASSERT_EQ(4, UnlockObject(&k));
}

TEST(ObjectLock, GuardsCountersUnderContentionAcrossManyKeys) {
    constexpr int kThreads = 4, kRounds = 20000, kKeys = 3;
    long counters[kKeys] = {0, 0, 0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kRounds; ++i) {
                long *c = &counters[(i + t) % kKeys];
                ObjectLock lock(c);
                long v = *c;
                *c = v + 1;
            }
        });
    }
    for (auto &th : threads) th.join();
    EXPECT_EQ(long(kThreads) * kRounds, counters[0] + counters[1] + counters[2]);
}

TEST(ObjectLock, WaitsStayShortLateInALongLivedProcess) {
    // Thousands of contended waits must not make later waits slower: a waiter is woken by
    // the release, it does not sleep for a time that grows with the number of waits so far.
    int key = 0;
    for (int round = 0; round < 3000; ++round) {
        ASSERT_EQ(1, LockObject(&key));
        std::thread waiter([&] {
            LockObject(&key);
            UnlockObject(&key);
        });
        std::this_thread::yield();
        UnlockObject(&key);
        waiter.join();
    }
    ASSERT_EQ(1, LockObject(&key));
    auto start = std::chrono::steady_clock::now();
    std::thread waiter([&] {
        LockObject(&key);
        UnlockObject(&key);
    });
    std::this_thread::sleep_for(5ms);
    UnlockObject(&key);
    waiter.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
}

TEST(ObjectLock, ResetLockListForgetsEveryKeyAndWakesWaiters) {
    int key = 0;
    ASSERT_EQ(1, LockObject(&key));
    std::atomic<bool> taken{false};
    std::thread waiter([&] {
        LockObject(&key);
        taken = true;
    });
    std::this_thread::sleep_for(20ms);
    ResetLockList();
    waiter.join();
    EXPECT_TRUE(taken);
    EXPECT_EQ(4, UnlockObject(&key));
}

}  // namespace
