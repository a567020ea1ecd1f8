// The per-object lock against std::mutex: an uncontended pair with no other keys held and
// with 1,000 held, two threads on different keys (against a mutex each), and two threads on
// one key (against one mutex).
#include <benchmark/benchmark.h>

#include <mutex>
#include <vector>

#include "util/lock.h"

namespace {

std::mutex g_mutex;
int g_sharedKey;
std::vector<int> g_held(1000);

void BM_StdMutexPair(benchmark::State &state) {
    for (auto _ : state) {
        g_mutex.lock();
        g_mutex.unlock();
    }
}
BENCHMARK(BM_StdMutexPair);

void BM_LockObjectPair(benchmark::State &state) {
    int key;
    for (auto _ : state) {
        LockObject(&key);
        UnlockObject(&key);
    }
}
BENCHMARK(BM_LockObjectPair);

void BM_LockObjectPairWith1000KeysHeld(benchmark::State &state) {
    for (int &k : g_held) LockObject(&k);
    int key;
    for (auto _ : state) {
        LockObject(&key);
        UnlockObject(&key);
    }
    for (int &k : g_held) UnlockObject(&k);
}
BENCHMARK(BM_LockObjectPairWith1000KeysHeld);

void BM_LockObjectTwoThreadsDifferentKeys(benchmark::State &state) {
    int key;  // one per thread
    for (auto _ : state) {
        LockObject(&key);
        UnlockObject(&key);
    }
}
BENCHMARK(BM_LockObjectTwoThreadsDifferentKeys)->Threads(2)->UseRealTime();

void BM_StdMutexTwoThreadsOwnMutex(benchmark::State &state) {
    std::mutex mutex;  // one per thread
    for (auto _ : state) {
        mutex.lock();
        mutex.unlock();
    }
}
BENCHMARK(BM_StdMutexTwoThreadsOwnMutex)->Threads(2)->UseRealTime();

void BM_StdMutexTwoThreadsOneMutex(benchmark::State &state) {
    for (auto _ : state) {
        g_mutex.lock();
        g_mutex.unlock();
    }
}
BENCHMARK(BM_StdMutexTwoThreadsOneMutex)->Threads(2)->UseRealTime();

void BM_LockObjectTwoThreadsOneKey(benchmark::State &state) {
    for (auto _ : state) {
        LockObject(&g_sharedKey);
        UnlockObject(&g_sharedKey);
    }
}
BENCHMARK(BM_LockObjectTwoThreadsOneKey)->Threads(2)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
