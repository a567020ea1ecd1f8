/*
 * Threads, thread ids and sleeping.
 *
 * PlatCreateThread starts a thread at once and returns its handle, or null with the last
 * error set. The handle belongs to the caller, who releases it with PlatCloseThread; the
 * thread itself runs on until its start routine returns.
 *
 * A thread that suspends itself sleeps in PlatSuspendThread until another thread resumes it.
 * A resume that arrives before the suspension is kept, so the pair cannot lose a wake-up.
 * Suspending another thread gives ERROR_NOT_SUPPORTED on POSIX; on Windows it suspends that
 * thread as SuspendThread does, until a PlatResumeThread.
 */
#ifndef KV_PLATFORM_THREADS_H
#define KV_PLATFORM_THREADS_H

#include "platform/win_defs.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct PlatThread PlatThread;
typedef DWORD (*PlatThreadStart)(void *argument);

PlatThread *PlatCreateThread(PlatThreadStart start, void *argument);
/* 0 on success, else a Windows error code. */
DWORD PlatSuspendThread(PlatThread *thread);
DWORD PlatResumeThread(PlatThread *thread);
/* Waits for the thread to end; 0, or ERROR_INVALID_HANDLE for the calling thread itself. */
DWORD PlatJoinThread(PlatThread *thread);
void PlatCloseThread(PlatThread *thread);

/* The kernel's id of the calling thread, as Windows' GetCurrentThreadId gives it. */
DWORD PlatCurrentThreadId(void);
/* 0 ms gives up the rest of the time slice. */
void PlatSleep(DWORD milliseconds);

#ifdef __cplusplus
}
#endif

#endif /* KV_PLATFORM_THREADS_H */
