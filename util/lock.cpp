// The per-object lock.
//
// Held keys sit in an open-addressing set of addresses, so taking and releasing a key costs
// the same however many other keys are held, and no allocation happens per lock. A thread
// that finds its key held blocks on a condition variable until a release, instead of the
// polling sleep that grows with the process's age: waits stay as short as the holder's work.
#include "util/lock.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

#include "logging/log.h"

namespace {

// Addresses 0 and 1 mark empty and deleted slots; keys with those values are kept aside.
constexpr uintptr_t kEmpty = 0;
constexpr uintptr_t kDeleted = 1;

class KeySet {
  public:
    // Adds the key unless it is held already; false when it is. Throws std::bad_alloc when
    // the table cannot grow.
    bool TryInsert(uintptr_t key) {
        if (key <= kDeleted) {
            if (special_[key]) return false;
            special_[key] = true;
            return true;
        }
        if ((used_ + 1) * 2 > slots_.size()) Rehash();
        size_t free = SIZE_MAX;
        for (size_t i = Home(key);; i = (i + 1) & Mask()) {
            if (slots_[i] == key) return false;
            if (slots_[i] == kDeleted && free == SIZE_MAX) free = i;
            if (slots_[i] == kEmpty) {
                if (free == SIZE_MAX) {
                    free = i;
                    ++used_;
                }
                slots_[free] = key;
                return true;
            }
        }
    }

    bool Erase(uintptr_t key) {
        if (key <= kDeleted) {
            bool was = special_[key];
            special_[key] = false;
            return was;
        }
        if (slots_.empty()) return false;
        for (size_t i = Home(key);; i = (i + 1) & Mask()) {
            if (slots_[i] == key) {
                slots_[i] = kDeleted;  // used_ still counts it until the next rehash
                return true;
            }
            if (slots_[i] == kEmpty) return false;
        }
    }

    void Clear() {
        slots_.clear();
        used_ = 0;
        special_[0] = special_[1] = false;
    }

  private:
    size_t Mask() const { return slots_.size() - 1; }
    size_t Home(uintptr_t key) const {
        return size_t((key >> 3) * 0x9E3779B97F4A7C15ull >> 16) & Mask();
    }

    // Sized for the live keys at most half full; deleted slots are dropped, so a table that
    // only churns does not grow.
    void Rehash() {
        std::vector<uintptr_t> old;
        old.swap(slots_);
        size_t live = 0;
        for (uintptr_t k : old) live += k > kDeleted;
        size_t capacity = 64;
        while ((live + 1) * 2 > capacity) capacity *= 2;
        try {
            slots_.assign(capacity, kEmpty);
        } catch (...) {
            slots_.swap(old);
            throw;
        }
        used_ = 0;
        for (uintptr_t k : old) {
            if (k > kDeleted) {
                size_t i = Home(k);
                while (slots_[i] != kEmpty) i = (i + 1) & Mask();
                slots_[i] = k;
                ++used_;
            }
        }
    }

    std::vector<uintptr_t> slots_;
    size_t used_ = 0;  // live and deleted slots
    bool special_[2] = {false, false};
};

// Guards the key set for the few instructions of a lookup; cheaper than a mutex when free,
// and it spins only while another thread is inside one of those lookups.
class SpinLock {
  public:
    void lock() {
        for (int spins = 0; busy_.exchange(true, std::memory_order_acquire);) {
            while (busy_.load(std::memory_order_relaxed)) {
                if (++spins < 64) {
                    Pause();
                } else {
                    std::this_thread::yield();
                }
            }
        }
    }
    void unlock() { busy_.store(false, std::memory_order_release); }

  private:
    static void Pause() {
#if defined(__x86_64__) || defined(__i386__)
        __builtin_ia32_pause();
#endif
    }
    std::atomic<bool> busy_{false};
};

// A thread that finds its key held sleeps on the condition variable until a release bumps
// the release count; the count is read under the same spin lock as the failed key check,
// so a release that happens after the check always wakes the sleeper.
struct LockTable {
    SpinLock spin;
    KeySet held;
    int waiters = 0;  // guarded by spin
    std::mutex sleepMu;
    std::condition_variable released;
    std::atomic<uint64_t> releases{0};

    void WakeSleepers() {
        {
            std::lock_guard<std::mutex> lock(sleepMu);
            releases.fetch_add(1, std::memory_order_relaxed);
        }
        released.notify_all();
    }

    // Sleeps until a release after seen; the caller has counted itself among the waiters.
    void Sleep(uint64_t seen, bool briefly) {
        std::unique_lock<std::mutex> lock(sleepMu);
        auto changed = [&] { return releases.load(std::memory_order_relaxed) != seen; };
        if (briefly) {
            released.wait_for(lock, std::chrono::milliseconds(1), changed);
        } else {
            released.wait(lock, changed);
        }
    }
};

// Never destroyed, so locks taken by threads still running at exit stay valid.
LockTable &Table() {
    static LockTable *table = new LockTable;
    return *table;
}

}  // namespace

extern "C" {

void InitMutex(void) {
    LogTrace("@@@ Inside InitMutex @@@\n");
}

void CloseGlobalMutex(void) {}

int LockObject(const void *key) {
    LockTable &t = Table();
    uintptr_t k = reinterpret_cast<uintptr_t>(key);
    for (;;) {
        bool noMemory = false;
        t.spin.lock();
        try {
            if (t.held.TryInsert(k)) {
                t.spin.unlock();
                return LOCK_TAKEN;
            }
        } catch (const std::bad_alloc &) {
            noMemory = true;  // looks like contention: wait a little and retry
        }
        ++t.waiters;
        uint64_t seen = t.releases.load(std::memory_order_relaxed);
        t.spin.unlock();
        t.Sleep(seen, noMemory);
        t.spin.lock();
        --t.waiters;
        t.spin.unlock();
    }
}

int UnlockObject(const void *key) {
    LockTable &t = Table();
    t.spin.lock();
    bool held = t.held.Erase(reinterpret_cast<uintptr_t>(key));
    bool wake = held && t.waiters > 0;
    t.spin.unlock();
    if (wake) t.WakeSleepers();
    return held ? LOCK_RELEASED : LOCK_BUSY;
}

void ResetLockList(void) {
    LockTable &t = Table();
    t.spin.lock();
    t.held.Clear();
    t.spin.unlock();
    t.WakeSleepers();
}

}  // extern "C"
