// Threads for the Win32 backend.
//
// Another thread is suspended and resumed with SuspendThread and ResumeThread. A thread that
// suspends itself waits on a semaphore instead: a resume that arrives before the suspension
// is then kept, where ResumeThread on a running thread would be lost and leave the thread
// suspended for ever.
#include "platform/win32/win_api.h"

#include <atomic>
#include <new>

#include "platform/errors.h"
#include "platform/threads.h"

// Shared by the handle and the running thread; the last of the two to let go frees it.
struct PlatThread {
    HANDLE handle = nullptr;
    DWORD id = 0;
    HANDLE resumes = nullptr;  // semaphore: one count per resume not yet taken
    PlatThreadStart start = nullptr;
    void *argument = nullptr;
    std::atomic<int> refs{2};
};

namespace {

thread_local PlatThread *t_self = nullptr;

void Release(PlatThread *t) {
    if (t->refs.fetch_sub(1) == 1) {
        if (t->handle) CloseHandle(t->handle);
        if (t->resumes) CloseHandle(t->resumes);
        delete t;
    }
}

DWORD WINAPI Run(void *context) {
    auto *t = static_cast<PlatThread *>(context);
    t_self = t;
    DWORD result = t->start(t->argument);
    Release(t);
    return result;
}

}  // namespace

extern "C" {

PlatThread *PlatCreateThread(PlatThreadStart start, void *argument) {
    if (start == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto *t = new (std::nothrow) PlatThread;
    if (t == nullptr) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    t->start = start;
    t->argument = argument;
    t->resumes = CreateSemaphoreA(nullptr, 0, LONG_MAX, nullptr);
    if (t->resumes != nullptr) t->handle = CreateThread(nullptr, 0, Run, t, 0, &t->id);
    if (t->handle == nullptr) {
        DWORD code = GetLastError();
        if (t->resumes) CloseHandle(t->resumes);
        delete t;
        SetLastError(code);
        return nullptr;
    }
    return t;
}

DWORD PlatSuspendThread(PlatThread *t) {
    if (t == nullptr) return ERROR_INVALID_HANDLE;
    if (t == t_self) {
        return WaitForSingleObject(t->resumes, INFINITE) == WAIT_OBJECT_0 ? ERROR_SUCCESS
                                                                          : GetLastError();
    }
    return SuspendThread(t->handle) != DWORD(-1) ? ERROR_SUCCESS : GetLastError();
}

DWORD PlatResumeThread(PlatThread *t) {
    if (t == nullptr) return ERROR_INVALID_HANDLE;
    DWORD previous = ResumeThread(t->handle);
    if (previous == DWORD(-1)) return GetLastError();
    if (previous > 0) return ERROR_SUCCESS;  // it was suspended by another thread
    return ReleaseSemaphore(t->resumes, 1, nullptr) ? ERROR_SUCCESS : GetLastError();
}

DWORD PlatJoinThread(PlatThread *t) {
    if (t == nullptr || t == t_self) return ERROR_INVALID_HANDLE;
    return WaitForSingleObject(t->handle, INFINITE) == WAIT_OBJECT_0 ? ERROR_SUCCESS
                                                                     : GetLastError();
}

void PlatCloseThread(PlatThread *t) {
    if (t != nullptr) Release(t);
}

DWORD PlatCurrentThreadId(void) {
    return GetCurrentThreadId();
}

void PlatSleep(DWORD milliseconds) {
    Sleep(milliseconds);
}

}  // extern "C"
