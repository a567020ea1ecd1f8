// Timer queues for the Win32 backend, over the system's timer queues.
//
// Every timer is a one-shot timer; a callback re-arms by creating a new one, since changing a
// timer that has fired never makes it fire again. Each timer's record is kept by its queue,
// and the records of timers that have fired are released when the next timer is armed, so a
// chain of re-armed timers in a long-running process does not grow without bound.
#include "platform/win32/win_api.h"

#include <atomic>
#include <mutex>
#include <new>
#include <vector>

#include "platform/errors.h"
#include "platform/timer_queue.h"

struct PlatTimer {
    PlatTimerQueue *queue;
    PlatTimerCallback callback;
    void *context;
    HANDLE handle = nullptr;
    std::atomic<bool> done{false};  // set once the callback has returned
};

struct PlatTimerQueue {
    HANDLE handle;  // null: the process's default queue
    std::mutex mu;
    std::vector<PlatTimer *> timers;  // guarded by mu
};

namespace {

thread_local PlatTimerQueue *t_runningQueue = nullptr;

void CALLBACK Fire(void *context, BOOLEAN /*timerOrWaitFired*/) {
    auto *timer = static_cast<PlatTimer *>(context);
    PlatTimerQueue *outer = t_runningQueue;
    t_runningQueue = timer->queue;
    timer->callback(timer->context, 1);
    t_runningQueue = outer;
    timer->done = true;  // the last touch: the record may be released from here on
}

// Drops the records of fired timers. The system timer is deleted without waiting: its
// callback has returned, and only the thread pool's bookkeeping may still be running.
void ReleaseFired(PlatTimerQueue *queue) {
    auto &timers = queue->timers;
    for (size_t i = 0; i < timers.size();) {
        PlatTimer *timer = timers[i];
        if (!timer->done) {
            ++i;
            continue;
        }
        DeleteTimerQueueTimer(queue->handle, timer->handle, nullptr);
        delete timer;
        timers[i] = timers.back();
        timers.pop_back();
    }
}

PlatTimerQueue g_defaultQueue{nullptr, {}, {}};

}  // namespace

extern "C" {

PlatTimerQueue *PlatCreateTimerQueue(void) {
    HANDLE handle = CreateTimerQueue();
    if (handle == nullptr) return nullptr;
    auto *queue = new (std::nothrow) PlatTimerQueue{handle, {}, {}};
    if (queue == nullptr) {
        DeleteTimerQueueEx(handle, nullptr);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    }
    return queue;
}

DWORD PlatCreateTimer(PlatTimerQueue *queue, PlatTimerCallback callback, void *context, DWORD dueMs,
                      PlatTimer **out) {
    if (callback == nullptr) return ERROR_INVALID_PARAMETER;
    if (queue == nullptr) queue = &g_defaultQueue;
    auto *timer = new (std::nothrow) PlatTimer{queue, callback, context};
    if (timer == nullptr) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    std::lock_guard<std::mutex> lock(queue->mu);
    ReleaseFired(queue);
    // Held under the lock, so a callback that fires at once finds its record in the list.
    if (!CreateTimerQueueTimer(&timer->handle, queue->handle, Fire, timer, dueMs, 0,
                               WT_EXECUTEDEFAULT)) {
        DWORD code = GetLastError();
        delete timer;
        SetLastError(code);
        return code;
    }
    queue->timers.push_back(timer);
    if (out) *out = timer;
    return ERROR_SUCCESS;
}

DWORD PlatDeleteTimerQueue(PlatTimerQueue *queue) {
    if (queue == nullptr || queue == &g_defaultQueue) return ERROR_INVALID_HANDLE;
    if (t_runningQueue == queue) {
        // From one of its own callbacks: waiting for the callbacks would wait for this one.
        // The system finishes the deletion once the callback returns; the records stay, as
        // the running callback still uses its own.
        if (!DeleteTimerQueueEx(queue->handle, nullptr) && GetLastError() != ERROR_IO_PENDING)
            return GetLastError();
        return ERROR_SUCCESS;
    }
    // INVALID_HANDLE_VALUE: cancel pending timers and wait for running callbacks.
    if (!DeleteTimerQueueEx(queue->handle, INVALID_HANDLE_VALUE)) return GetLastError();
    for (PlatTimer *timer : queue->timers) delete timer;
    delete queue;
    return ERROR_SUCCESS;
}

}  // extern "C"
