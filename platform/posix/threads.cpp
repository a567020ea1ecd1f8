// Threads for the POSIX backend.
#include "platform/threads.h"

#include <errno.h>
#include <sched.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <new>
#include <thread>

#include "platform/errors.h"

// Shared by the handle and the running thread; the last of the two to let go frees it.
struct PlatThread {
    std::thread thread;
    PlatThreadStart start;
    void *argument;
    std::mutex mu;  // guards the suspension state
    std::condition_variable resumed;
    std::mutex joinMu;
    int pendingResumes = 0;
    bool suspended = false;
    bool joined = false;
    std::atomic<int> refs{2};
};

namespace {

thread_local PlatThread *t_self = nullptr;

void Release(PlatThread *t) {
    if (t->refs.fetch_sub(1) == 1) {
        if (t->thread.joinable()) t->thread.detach();
        delete t;
    }
}

}  // namespace

extern "C" {

PlatThread *PlatCreateThread(PlatThreadStart start, void *argument) {
    if (start == nullptr) {
        PlatSetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto *t = new (std::nothrow) PlatThread;
    if (t == nullptr) {
        PlatSetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    t->start = start;
    t->argument = argument;
    try {
        t->thread = std::thread([t] {
            t_self = t;
            t->start(t->argument);
            Release(t);
        });
    } catch (...) {
        delete t;
        PlatSetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    return t;
}

DWORD PlatSuspendThread(PlatThread *t) {
    if (t == nullptr) return ERROR_INVALID_HANDLE;
    if (t != t_self) return ERROR_NOT_SUPPORTED;
    std::unique_lock<std::mutex> lock(t->mu);
    t->suspended = true;
    t->resumed.wait(lock, [t] { return t->pendingResumes > 0; });
    --t->pendingResumes;
    t->suspended = false;
    return ERROR_SUCCESS;
}

DWORD PlatResumeThread(PlatThread *t) {
    if (t == nullptr) return ERROR_INVALID_HANDLE;
    {
        std::lock_guard<std::mutex> lock(t->mu);
        ++t->pendingResumes;
    }
    t->resumed.notify_one();
    return ERROR_SUCCESS;
}

DWORD PlatJoinThread(PlatThread *t) {
    if (t == nullptr || t == t_self) return ERROR_INVALID_HANDLE;
    // Not under mu: the thread may need mu to get out of a suspension before it can end.
    std::lock_guard<std::mutex> lock(t->joinMu);
    if (!t->joined && t->thread.joinable()) t->thread.join();
    t->joined = true;
    return ERROR_SUCCESS;
}

void PlatCloseThread(PlatThread *t) {
    if (t != nullptr) Release(t);
}

DWORD PlatCurrentThreadId(void) {
    // Every log line asks; the system call is made once per thread.
    static thread_local DWORD id = DWORD(syscall(SYS_gettid));
    return id;
}

void PlatSleep(DWORD milliseconds) {
    if (milliseconds == 0) {
        sched_yield();
        return;
    }
    struct timespec ts = {time_t(milliseconds / 1000), long(milliseconds % 1000) * 1000000L};
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

}  // extern "C"
