// Worker slots: finding an idle worker, and the suspend/resume hand-over between threads.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "util/thread_slots.h"

namespace {

TEST(ThreadSlots, CheckThreadPoolFindsTheFirstIdleSlotOrSaysWhetherToGrow) {
    struct Case {
        std::vector<int8_t> states;
        uint16_t maximum;
        int result;
        uint16_t index;
    } cases[] = {
        {{SLOT_BUSY, SLOT_IDLE, SLOT_IDLE}, 4, 1, 1},
        {{SLOT_IDLE}, 1, 1, 0},
        {{SLOT_BUSY, SLOT_BUSY, SLOT_BUSY}, 4, 4, 0},
        {{SLOT_BUSY, SLOT_BUSY, SLOT_BUSY, SLOT_BUSY}, 4, 5, 0},
        {{SLOT_EMPTY, SLOT_BUSY}, 2, 5, 0},
        {{}, 0, 5, 0},
    };
    for (const Case &c : cases) {
        std::vector<ThreadSlot> slots(c.states.size());
        for (size_t i = 0; i < slots.size(); ++i) slots[i].state = c.states[i];
        uint16_t index = 0;
        EXPECT_EQ(c.result,
                  CheckThreadPool(slots.data(), uint16_t(slots.size()), &index, c.maximum));
        if (c.result == 1) {
            EXPECT_EQ(c.index, index);
        }
    }
}

TEST(ThreadSlots, ResetAndFreeEmptyEverySlot) {
    ThreadSlot slots[3] = {{SLOT_BUSY, nullptr}, {SLOT_IDLE, nullptr}, {SLOT_EMPTY, nullptr}};
    ResetThreadSlots(slots, 3);
    for (const ThreadSlot &s : slots) EXPECT_EQ(SLOT_EMPTY, s.state);
    EXPECT_EQ(1 + sizeof(PlatThread *), sizeof(ThreadSlot))
        << "packed: the state byte, then the handle";
}

struct Worker {
    ThreadSlot *slot;
    std::atomic<int> jobs{0};
    std::atomic<bool> stop{false};
    std::atomic<bool> handed{false};  // the slot holds the worker's handle
};

DWORD WorkerMain(void *argument) {
    auto *w = static_cast<Worker *>(argument);
    // The dispatcher stores the handle only once the thread runs; suspending reads it.
    while (!w->handed) std::this_thread::yield();
    while (!w->stop) {
        SuspendThreadSlot(w->slot);  // idle until the dispatcher hands over work
        if (!w->stop) ++w->jobs;
    }
    return 0;
}

TEST(ThreadSlots, ADispatcherWakesAnIdleWorkerForEachJob) {
    ThreadSlot slot{SLOT_BUSY, nullptr};
    Worker worker{&slot};
    PlatThread *handle = CreateNewThread(WorkerMain, &worker);
    ASSERT_NE(nullptr, handle);
    slot.handle = handle;
    worker.handed = true;
    for (int job = 1; job <= 50; ++job) {
        uint16_t index = 99;
        while (CheckThreadPool(&slot, 1, &index, 1) != 1) std::this_thread::yield();
        EXPECT_EQ(0, index);
        ResumeThreadSlot(&slot);
        while (worker.jobs < job) std::this_thread::yield();
    }
    worker.stop = true;
    ResumeThreadSlot(&slot);
    PlatJoinThread(handle);
    FreeThreadSlots(&slot, 1);
    EXPECT_EQ(SLOT_EMPTY, slot.state);
    EXPECT_EQ(50, worker.jobs);
}

}  // namespace
