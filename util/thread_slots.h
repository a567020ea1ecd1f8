/*
 * A fixed pool of worker threads held in an array of slots that the caller owns.
 *
 * A worker marks itself idle and suspends itself with SuspendThreadSlot on its own slot; a
 * dispatcher finds an idle worker with CheckThreadPool, hands it work and calls
 * ResumeThreadSlot; the worker, resumed inside SuspendThreadSlot, marks itself busy and runs.
 * A resume that reaches the worker before it has suspended is not lost.
 */
#ifndef KV_UTIL_THREAD_SLOTS_H
#define KV_UTIL_THREAD_SLOTS_H

#include <stdint.h>

#include "platform/threads.h"

#ifdef __cplusplus
extern "C" {
#endif

enum { SLOT_EMPTY = 0, SLOT_IDLE = 1, SLOT_BUSY = 2 };

#pragma pack(push, 1)
typedef struct ThreadSlot {
    int8_t state;
    PlatThread *handle;
} ThreadSlot;
#pragma pack(pop)

void InitThreadInfo(void);
void ResetThreadSlots(ThreadSlot *slots, uint16_t count);
/* Empties every used slot and closes its thread handle (the thread itself runs on). */
void FreeThreadSlots(ThreadSlot *slots, uint16_t count);
/* The new thread's handle, or null after logging "Unable to create Thread\n". */
PlatThread *CreateNewThread(PlatThreadStart start, void *argument);
/* 1 with *foundIndex set to the first idle slot; else 4 when count < maximum, else 5. */
int CheckThreadPool(const ThreadSlot *slots, uint16_t count, uint16_t *foundIndex,
                    uint16_t maximum);
void SuspendThreadSlot(ThreadSlot *slot);
void ResumeThreadSlot(ThreadSlot *slot);

#ifdef __cplusplus
}
#endif

#endif /* KV_UTIL_THREAD_SLOTS_H */
