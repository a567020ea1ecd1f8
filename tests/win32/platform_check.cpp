// The Win32 backend's timer queues, threads, files, texts and command lines, checked on the
// system's own calls (run under Wine by platform_test.sh). Prints one line per failed check and
// exits with the number of failures.
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <atomic>
#include <string>
#include <vector>

#include "platform/errors.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/text.h"
#include "platform/threads.h"
#include "platform/timer_queue.h"

namespace {

int g_failures = 0;

void Check(bool ok, const char *what) {
    if (!ok) {
        printf("FAIL %s\n", what);
        ++g_failures;
    }
}

bool WaitFor(const std::atomic<int> &value, int wanted) {
    for (int i = 0; i < 1000 && value < wanted; ++i) PlatSleep(5);
    return value >= wanted;
}

struct Chain {
    PlatTimerQueue *queue;
    std::atomic<int> fired{0};
};

void Rearm(void *context, int timerFired) {
    auto *chain = static_cast<Chain *>(context);
    if (timerFired == 1 && ++chain->fired < 5)
        PlatCreateTimer(chain->queue, Rearm, chain, 1, nullptr);
}

void Slow(void *context, int) {
    PlatSleep(100);
    ++*static_cast<std::atomic<int> *>(context);
}

void Timers() {
    Chain chain{PlatCreateTimerQueue()};
    Check(chain.queue != nullptr, "a timer queue is created");
    Check(PlatCreateTimer(chain.queue, Rearm, &chain, 1, nullptr) == 0, "a timer is armed");
    Check(WaitFor(chain.fired, 5), "each callback arms the next one-shot timer, five in a row");
    Check(PlatDeleteTimerQueue(chain.queue) == 0, "the queue is deleted");

    std::atomic<int> done{0};
    PlatTimerQueue *queue = PlatCreateTimerQueue();
    PlatCreateTimer(queue, Slow, &done, 0, nullptr);
    PlatCreateTimer(queue, Slow, &done, 60000, nullptr);
    PlatSleep(30);
    Check(PlatDeleteTimerQueue(queue) == 0 && done == 1,
          "deleting waits for the running callback and cancels the pending one");
    Check(PlatDeleteTimerQueue(nullptr) == ERROR_INVALID_HANDLE, "no queue: invalid handle");
}

struct Worker {
    PlatThread *self = nullptr;
    std::atomic<int> stage{0};
    DWORD id = 0;
};

DWORD SuspendItself(void *argument) {
    auto *w = static_cast<Worker *>(argument);
    w->id = PlatCurrentThreadId();
    while (w->self == nullptr) PlatSleep(1);
    PlatSleep(50);  // the resume arrives before the suspension and must not be lost
    PlatSuspendThread(w->self);
    w->stage = 1;
    PlatSuspendThread(w->self);
    w->stage = 2;
    return 0;
}

void Threads() {
    Worker w;
    PlatThread *t = PlatCreateThread(SuspendItself, &w);
    Check(t != nullptr, "a thread is created");
    w.self = t;
    PlatResumeThread(t);
    Check(WaitFor(w.stage, 1), "a resume before the suspension is kept");
    PlatSleep(50);
    Check(w.stage == 1, "a thread suspended by itself stays suspended");
    PlatResumeThread(t);
    Check(WaitFor(w.stage, 2), "a resume wakes a thread suspended by itself");
    Check(PlatJoinThread(t) == 0, "the thread is joined");
    Check(w.id != 0 && w.id != PlatCurrentThreadId(), "each thread has its own id");
    PlatCloseThread(t);
}

void Files(const std::string &dir) {
    std::string live = dir + "\\app.log";
    FILE *f = PlatOpenStream(live.c_str(), "wb");
    Check(f != nullptr, "a stream opens");
    if (f) {
        fputs("12345", f);
        fclose(f);
    }
    uint64_t size = 99;
    Check(PlatGetFileSize(live.c_str(), &size) == 0 && size == 5, "a file's size");
    Check(PlatGetFileSize(dir.c_str(), &size) == 0 && size == 0, "a folder counts as 0 bytes");
    Check(PlatGetFileSize((dir + "\\none").c_str(), &size) == ERROR_FILE_NOT_FOUND,
          "a missing file: 2");
    Check(PlatCopyFile(live.c_str(), (dir + "\\app1.log").c_str()) == 0, "a copy");
    PlatFile *held = nullptr;
    Check(PlatOpenExclusive(live.c_str(), &held) == 0, "an exclusive open");
    PlatFile *second = nullptr;
    Check(PlatOpenExclusive(live.c_str(), &second) == ERROR_SHARING_VIOLATION,
          "a second exclusive open: sharing violation");
    PlatCloseFile(held);
    Check(PlatTruncateFile(live.c_str()) == 0 && PlatGetFileSize(live.c_str(), &size) == 0 &&
              size == 0,
          "truncation in place");
    std::vector<std::string> names;
    // The rotation's folder ends in a separator; the doubled one that follows names the same.
    Check(PlatListByPrefix((dir + "\\").c_str(), "APP", &names) == 0 && names.size() == 2,
          "listing by prefix, without regard to case");
    Check(PlatListByPrefix(dir.c_str(), "", &names) == 0 && names.size() == 4,
          "an empty prefix lists every entry, . and .. included");
    Check(PlatListByPrefix(dir.c_str(), "zz", &names) == ERROR_FILE_NOT_FOUND, "no match: 2");
    Check(PlatListByPrefix((dir + "\\none").c_str(), "a", &names) == ERROR_PATH_NOT_FOUND,
          "a missing folder: 3");
    Check(PlatDeleteFile((dir + "\\app1.log").c_str()) == 0 &&
              PlatDeleteFile((dir + "\\app1.log").c_str()) == ERROR_FILE_NOT_FOUND,
          "delete, then 2");
    Check(PlatMakeDirectory((dir + "\\sub").c_str()) == 0, "a folder is made");
    Check(PlatMakeDirectory((dir + "\\sub").c_str()) == EEXIST, "an existing folder: EEXIST");
    Check(PlatMakeDirectory((dir + "\\a\\b").c_str()) == ENOENT, "a missing parent: ENOENT");
}

void Texts() {
    // The system's wording differs between Windows and Wine: only the form is checked.
    const char *success = PlatSystemMessage(0, 1);
    Check(success != nullptr && strlen(success) > 1 && success[strlen(success) - 1] == ' ' &&
              !strchr(success, '\n'),
          "code 0 has a one-line text ending in a blank");
    const char *missing = PlatSystemMessage(2, 0);
    Check(missing != nullptr && strstr(missing, "\r\n") != nullptr,
          "code 2 has a text ending in a line break");
    Check(PlatSystemMessage(17025, 1) == nullptr, "an installer code has no system text");
    PlatSetLastError(5);
    PlatSystemMessage(2, 1);
    Check(PlatGetLastError() == 5, "looking up a text keeps the last error");
    Check(Utf16ToUtf8(u"Grüße \U0001F600") == "Grüße \U0001F600", "UTF-16 to UTF-8");
    Check(Utf8ToUtf16("a\xFF\x62") == u"a\uFFFDb", "invalid UTF-8 becomes U+FFFD");
    char16_t small[2];
    Check(PlatUtf8ToUtf16("abc", -1, small, 2) == 0 &&
              PlatGetLastError() == ERROR_INSUFFICIENT_BUFFER,
          "a short buffer: 0 and insufficient buffer");
}

void CommandLines() {
    // The stand-in gpupdate.exe sits in "dir\bin (x86)", on PATH; dir\cwd, the current folder,
    // holds another one that must never run.
    Check(PlatRunCommandLine("gpupdate/force") == 0, "gpupdate/force runs gpupdate with /force");
    Check(PlatRunCommandLine("nosuchprogram /x") == -1, "a missing program: -1");
    Check(PlatRunCommandLine("   ") == -1, "an empty line: -1");
    Check(PlatRunCommandLine("planted") == -1, "a program in the current folder is not run");
}

}  // namespace

int main(int argc, char **argv) {
    if (argc < 2) return 100;
    std::string dir = argv[1];
    Timers();
    Threads();
    Files(dir + "\\files");
    Texts();
    CommandLines();
    printf("%d failed\n", g_failures);
    return g_failures;
}
