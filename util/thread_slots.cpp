// Worker thread slots.
#include "util/thread_slots.h"

#include <atomic>

#include "logging/log.h"

namespace {

// The dispatcher reads a slot's state while its worker changes it.
int8_t LoadState(const ThreadSlot &slot) {
    return std::atomic_ref<int8_t>(const_cast<int8_t &>(slot.state)).load();
}

void StoreState(ThreadSlot &slot, int8_t state) {
    std::atomic_ref<int8_t>(slot.state).store(state);
}

}  // namespace

extern "C" {

void InitThreadInfo(void) {
    LogTrace("@@@ Inside InitThreadInfo @@@\n");
}

void ResetThreadSlots(ThreadSlot *slots, uint16_t count) {
    if (slots == nullptr) return;
    for (uint16_t i = 0; i < count; ++i) slots[i].state = SLOT_EMPTY;
}

void FreeThreadSlots(ThreadSlot *slots, uint16_t count) {
    if (slots == nullptr) return;
    for (uint16_t i = 0; i < count; ++i) {
        if (slots[i].state == SLOT_EMPTY) continue;
        slots[i].state = SLOT_EMPTY;
        PlatCloseThread(slots[i].handle);
        slots[i].handle = nullptr;
    }
}

PlatThread *CreateNewThread(PlatThreadStart start, void *argument) {
    PlatThread *thread = PlatCreateThread(start, argument);
    if (thread == nullptr) LogDebug("Unable to create Thread\n");
    return thread;
}

int CheckThreadPool(const ThreadSlot *slots, uint16_t count, uint16_t *foundIndex,
                    uint16_t maximum) {
    LogTrace("@@@ Inside CheckThreadPool @@@\n");
    for (uint16_t i = 0; slots != nullptr && i < count; ++i) {
        if (LoadState(slots[i]) == SLOT_IDLE) {
            if (foundIndex) *foundIndex = i;
            return 1;
        }
    }
    return count < maximum ? 4 : 5;
}

void SuspendThreadSlot(ThreadSlot *slot) {
    if (slot == nullptr) return;
    StoreState(*slot, SLOT_IDLE);
    PlatSuspendThread(slot->handle);
    StoreState(*slot, SLOT_BUSY);
}

void ResumeThreadSlot(ThreadSlot *slot) {
    if (slot != nullptr) PlatResumeThread(slot->handle);
}

}  // extern "C"
