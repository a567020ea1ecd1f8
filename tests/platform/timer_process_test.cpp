// Timer queues and running a command line.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/process.h"
#include "platform/timer_queue.h"
#include "tests/support/test_support.h"

namespace {

using namespace std::chrono_literals;

struct Chain {
    PlatTimerQueue *queue;
    std::atomic<int> fired{0};
    int rearm;
};

void Fire(void *context, int timerFired) {
    auto *chain = static_cast<Chain *>(context);
    EXPECT_EQ(1, timerFired);
    if (++chain->fired < chain->rearm) PlatCreateTimer(chain->queue, Fire, chain, 1, nullptr);
}

TEST(TimerQueue, ACallbackCanArmTheNextTimer) {
    Chain chain{PlatCreateTimerQueue(), {}, 5};
    ASSERT_NE(nullptr, chain.queue);
    ASSERT_EQ(0u, PlatCreateTimer(chain.queue, Fire, &chain, 1, nullptr));
    for (int i = 0; i < 500 && chain.fired < 5; ++i) std::this_thread::sleep_for(2ms);
    EXPECT_EQ(0u, PlatDeleteTimerQueue(chain.queue));
    EXPECT_EQ(5, chain.fired);
}

void Slow(void *context, int) {
    std::this_thread::sleep_for(50ms);
    static_cast<std::atomic<int> *>(context)->fetch_add(1);
}

TEST(TimerQueue, DeletingWaitsForARunningCallbackAndCancelsPendingOnes) {
    std::atomic<int> done{0};
    PlatTimerQueue *queue = PlatCreateTimerQueue();
    ASSERT_EQ(0u, PlatCreateTimer(queue, Slow, &done, 0, nullptr));
    ASSERT_EQ(0u, PlatCreateTimer(queue, Slow, &done, 60000, nullptr));
    std::this_thread::sleep_for(10ms);  // the first callback is running
    EXPECT_EQ(0u, PlatDeleteTimerQueue(queue));
    EXPECT_EQ(1, done) << "the running callback finished, the pending one never ran";
    EXPECT_NE(0u, PlatDeleteTimerQueue(nullptr));
}

TEST(RunCommandLine, SplitsAtTheSlashAndSearchesOnlyAbsolutePathEntries) {
    kvtest::TempDir dir;
    std::string bin = dir / "bin", record = dir / "record";
    mkdir(bin.c_str(), 0755);
    kvtest::WriteFile(bin + "/gpupdate", "#!/bin/sh\necho \"$@\" > " + record + "\nexit 3\n");
    chmod((bin + "/gpupdate").c_str(), 0755);
    {
        kvtest::ScopedEnv path("PATH", bin + ":/usr/bin:/bin");
        EXPECT_EQ(3, PlatRunCommandLine("gpupdate/force"));
        EXPECT_EQ("/force\n", kvtest::ReadFile(record));
        EXPECT_EQ(-1, PlatRunCommandLine("nosuchprogram /x"));
        EXPECT_EQ(-1, PlatRunCommandLine(""));
    }
    // A program in the current folder is never run, even with "." or an empty entry on PATH.
    std::string cwd = std::filesystem::current_path();
    ASSERT_EQ(0, chdir(bin.c_str()));
    {
        kvtest::ScopedEnv path("PATH", ".::/usr/bin");
        EXPECT_EQ(-1, PlatRunCommandLine("gpupdate/force"));
    }
    ASSERT_EQ(0, chdir(cwd.c_str()));
}

}  // namespace
