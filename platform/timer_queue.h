/*
 * Timer queues: one-shot timers whose callbacks run on the queue's own thread, one at a
 * time, in the order they fall due.
 *
 * A callback may arm further timers on its queue. PlatDeleteTimerQueue cancels the pending
 * timers and waits for a running callback to finish (a callback that deletes its own queue
 * does not wait for itself). A timer handle stays valid until its timer has fired or its
 * queue is deleted; nobody frees it.
 */
#ifndef KV_PLATFORM_TIMER_QUEUE_H
#define KV_PLATFORM_TIMER_QUEUE_H

#include "platform/win_defs.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct PlatTimerQueue PlatTimerQueue;
typedef struct PlatTimer PlatTimer;
/* timerFired is 1: the timer fell due (the form Windows timer callbacks take). */
typedef void (*PlatTimerCallback)(void *context, int timerFired);

/* Null with the last error set on failure. */
PlatTimerQueue *PlatCreateTimerQueue(void);
/* Arms a one-shot timer due in dueMs; a null queue means the process's default queue. */
DWORD PlatCreateTimer(PlatTimerQueue *queue, PlatTimerCallback callback, void *context, DWORD dueMs,
                      PlatTimer **out);
DWORD PlatDeleteTimerQueue(PlatTimerQueue *queue);

#ifdef __cplusplus
}
#endif

#endif /* KV_PLATFORM_TIMER_QUEUE_H */
