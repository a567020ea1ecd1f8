// Timer queues for the POSIX backend: a thread per queue sleeping until the next timer.
#include "platform/timer_queue.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <new>
#include <thread>

#include "platform/errors.h"

using Clock = std::chrono::steady_clock;

struct PlatTimer {
    PlatTimerCallback callback;
    void *context;
};

struct PlatTimerQueue {
    std::mutex mu;
    std::condition_variable changed;
    std::multimap<Clock::time_point, PlatTimer *> pending;  // guarded by mu
    bool stopping = false;                                  // guarded by mu
    bool freeOnExit = false;  // deleted from its own callback: the thread frees the queue
    std::thread worker;

    void Run();
};

void PlatTimerQueue::Run() {
    std::unique_lock<std::mutex> lock(mu);
    while (!stopping) {
        if (pending.empty()) {
            changed.wait(lock);
            continue;
        }
        auto next = pending.begin();
        if (Clock::now() < next->first) {
            changed.wait_until(lock, next->first);
            continue;
        }
        PlatTimer *timer = next->second;
        pending.erase(next);
        lock.unlock();
        timer->callback(timer->context, 1);
        delete timer;  // a one-shot timer is done once it has fired
        lock.lock();
    }
    for (auto &entry : pending) delete entry.second;
    pending.clear();
    bool free = freeOnExit;
    lock.unlock();
    if (free) delete this;
}

namespace {

PlatTimerQueue *NewQueue() {
    auto *queue = new (std::nothrow) PlatTimerQueue;
    if (queue == nullptr) return nullptr;
    try {
        queue->worker = std::thread([queue] { queue->Run(); });
    } catch (...) {
        delete queue;
        return nullptr;
    }
    return queue;
}

std::atomic<PlatTimerQueue *> g_defaultQueue{nullptr};

// The process's default queue: made at first use, never deleted.
PlatTimerQueue *DefaultQueue() {
    static PlatTimerQueue *queue = [] {
        PlatTimerQueue *q = NewQueue();
        g_defaultQueue = q;
        return q;
    }();
    return queue;
}

}  // namespace

extern "C" {

PlatTimerQueue *PlatCreateTimerQueue(void) {
    PlatTimerQueue *queue = NewQueue();
    if (queue == nullptr) PlatSetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return queue;
}

DWORD PlatCreateTimer(PlatTimerQueue *queue, PlatTimerCallback callback, void *context, DWORD dueMs,
                      PlatTimer **out) {
    if (callback == nullptr) return ERROR_INVALID_PARAMETER;
    if (queue == nullptr) queue = DefaultQueue();
    auto *timer = new (std::nothrow) PlatTimer{callback, context};
    if (queue == nullptr || timer == nullptr) {
        delete timer;
        PlatSetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    {
        std::lock_guard<std::mutex> lock(queue->mu);
        if (queue->stopping) {
            delete timer;
            PlatSetLastError(ERROR_INVALID_HANDLE);
            return ERROR_INVALID_HANDLE;
        }
        queue->pending.emplace(Clock::now() + std::chrono::milliseconds(dueMs), timer);
    }
    queue->changed.notify_one();
    if (out) *out = timer;
    return ERROR_SUCCESS;
}

DWORD PlatDeleteTimerQueue(PlatTimerQueue *queue) {
    if (queue == nullptr || queue == g_defaultQueue.load()) return ERROR_INVALID_HANDLE;
    bool fromOwnCallback = std::this_thread::get_id() == queue->worker.get_id();
    {
        std::lock_guard<std::mutex> lock(queue->mu);
        queue->stopping = true;
        queue->freeOnExit = fromOwnCallback;
    }
    queue->changed.notify_one();
    if (fromOwnCallback) {
        queue->worker.detach();
        return ERROR_SUCCESS;
    }
    queue->worker.join();
    delete queue;
    return ERROR_SUCCESS;
}

}  // extern "C"
