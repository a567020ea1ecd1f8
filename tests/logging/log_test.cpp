// The leveled log: levels, line layout, opening and closing, folders, threads, formats.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <thread>

#include "logging/log.h"
#include "platform/registry.h"
#include "tests/support/test_support.h"
#include "util/registry.h"

namespace {

using kvtest::CapturedLog;

void WriteOneOfEach() {
    LogInfo("i\n");
    LogError("e\n");
    LogDebug("d\n");
    LogTrace("t\n");
}

TEST(LogLevels, EachLevelAddsOneKindOfLine) {
    struct Case {
        unsigned char level;
        std::vector<std::string> lines;
    } cases[] = {
        {0, {}},
        {1, {"INFO i"}},
        {2, {"INFO i", "ERROR e"}},
        {3, {"INFO i", "ERROR e", "DEBUG d"}},
        {4, {"INFO i", "ERROR e", "DEBUG d", "TRACE t"}},
        {255, {"INFO i", "ERROR e", "DEBUG d", "TRACE t"}},
    };
    for (const Case &c : cases) {
        CapturedLog log(c.level);
        WriteOneOfEach();
        EXPECT_EQ(c.lines, log.Lines()) << int(c.level);
    }
}

TEST(LogLayout, PrefixTimeStampThreadIdTagAndCrLf) {
    CapturedLog log(4);
    LogInfo("hello %d\n", 42);
    std::string text = log.text();
    std::vector<std::string> lines = kvtest::SplitLines(text);
    ASSERT_EQ(2u, lines.size());
    EXPECT_TRUE(lines[0].find("] [INFO] Log open time: ") != std::string::npos);
    // [ 2026-12-09 14:03:07:042 ] [ 812 ] [INFO] hello 42
    const std::string &line = lines[1];
    ASSERT_GT(line.size(), 30u);
    EXPECT_EQ("[ ", line.substr(0, 2));
    for (size_t i : {2, 3, 4, 5, 7, 8, 10, 11, 13, 14, 16, 17, 19, 20, 22, 23, 24}) {
        EXPECT_TRUE(isdigit(static_cast<unsigned char>(line[i]))) << line;
    }
    EXPECT_EQ(" ] [ " + std::to_string(gettid()) + " ] [INFO] hello 42", line.substr(25));
    EXPECT_NE(std::string::npos, text.find("hello 42\r\n")) << "text-mode line ends";
}

TEST(LogLifecycle, NothingIsWrittenBeforeSetUpOrAfterRelease) {
    kvtest::TempDir dir;
    std::string path = dir / "direct.log";
    FILE *f = fopen(path.c_str(), "w");
    SetLogFilePtr(f);  // a stream but no settings: no lock key yet
    LogInfo("before\n");
    gv_logFilePtr = nullptr;
    InitLogSettings();
    SetLogFilePtr(f);
    SetLogLevel(4);
    LogInfo("during\n");
    FreeLogSettings();
    LogInfo("after\n");
    EXPECT_FALSE(SetLogFilePtr(nullptr));
    gv_logFilePtr = nullptr;
    fclose(f);
    std::string text = kvtest::ReadFile(path);
    EXPECT_EQ(std::string::npos, text.find("before"));
    EXPECT_NE(std::string::npos, text.find("during"));
    EXPECT_EQ(std::string::npos, text.find("after"));
}

TEST(LogLifecycle, AppendKeepsContentOpenEmptiesAndASecondOpenKeepsTheFirstFile) {
    kvtest::TempDir dir;
    kvtest::WriteFile(dir / "a.log", "old line\r\n");
    InitLogSettings();
    SetLogSettings("a.log", dir.path().c_str(), 3);
    ASSERT_TRUE(OpenLogAppend());
    SetLogFileName("b.log");
    EXPECT_TRUE(OpenLog()) << "already open: true, and the first file stays in use";
    LogInfo("x\n");
    CloseLog();
    std::string text = kvtest::ReadFile(dir / "a.log");
    EXPECT_EQ(0u, text.find("old line\r\n"));
    EXPECT_NE(std::string::npos, text.find("Log open time: "));
    EXPECT_NE(std::string::npos, text.find("[INFO] x\r\n"));
    EXPECT_NE(std::string::npos, text.find("Log close time: "));
    EXPECT_FALSE(kvtest::FileExists(dir / "b.log"));

    SetLogFileName("a.log");
    ASSERT_TRUE(OpenLog());
    CloseLog();
    FreeLogSettings();
    EXPECT_EQ(std::string::npos, kvtest::ReadFile(dir / "a.log").find("old line"));
}

TEST(LogLifecycle, WithoutFolderOrRootTheLogGoesToDotDotLogs) {
    kvtest::TempDir dir;
    std::filesystem::create_directories(dir / "bin");
    std::string cwd = std::filesystem::current_path();
    ASSERT_EQ(0, chdir((dir / "bin").c_str()));
    InitLogSettings();
    bool opened = OpenLogAppend();
    CloseLog();
    FreeLogSettings();
    ASSERT_EQ(0, chdir(cwd.c_str()));
    EXPECT_TRUE(opened);
    EXPECT_TRUE(kvtest::FileExists(dir / "logs/tamber.log"));
}

TEST(LogLifecycle, UnderTheLibraryRootTheLogGoesToRootLogs) {
    kvtest::TempDir dir;
    std::string root = dir / "root";
    gv_rootPath = root.data();
    InitLogSettings();
    bool opened = OpenLogAppend();
    CloseLog();
    FreeLogSettings();
    gv_rootPath = nullptr;
    EXPECT_TRUE(opened);
    EXPECT_TRUE(kvtest::FileExists(dir / "root/logs/tamber.log"));
}

TEST(LogFormat, WideStringsAndPrintfConversions) {
    CapturedLog log(4);
    LogInfo("%S|%S|%-4s|%5.1f|%lld|%x|%c|%%|%*d|%.2s\n", u"Grüße \U0001F600",
            static_cast<const char16_t *>(nullptr), "ab", 3.14159, -9000000000LL, 255u, 'z', 3, 7,
            "xyz");
    EXPECT_EQ(
        std::vector<std::string>{
            "INFO Grüße \xF0\x9F\x98\x80|(null)|ab  |  3.1|-9000000000|ff|z|%|  7|xy"},
        log.Lines());
}

TEST(LogThreads, LinesFromManyThreadsNeverInterleave) {
    CapturedLog log(4);
    constexpr int kThreads = 4, kLines = 500;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < kLines; ++i)
                LogInfo("thread %d line %d %s\n", t, i, std::string(100, 'a' + t).c_str());
        });
    }
    for (auto &th : threads) th.join();
    std::vector<std::string> lines = log.Lines();
    ASSERT_EQ(size_t(kThreads * kLines), lines.size());
    std::vector<int> next(kThreads, 0);
    for (const std::string &line : lines) {
        int t = -1, i = -1;
        char tail[128] = {};
        ASSERT_EQ(3, sscanf(line.c_str(), "INFO thread %d line %d %127s", &t, &i, tail)) << line;
        ASSERT_EQ(next[t]++, i) << "each thread's lines in order";
        EXPECT_EQ(std::string(100, char('a' + t)), tail);
    }
}

// A worker or timer thread may still log while the log is closed, reopened or its level
// changed: its line is written whole into the open file or not at all, never into a closed
// stream.
TEST(LogThreads, LinesWrittenWhileTheLogClosesAndReopensStayWhole) {
    CapturedLog log(4);
    std::atomic<bool> stop{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < 3; ++t) {
        threads.emplace_back([t, &stop] {
            for (int i = 0; !stop; ++i) LogInfo("thread %d line %d %s\n", t, i, "tail");
        });
    }
    for (int round = 0; round < 200; ++round) {
        CloseLog();
        SetLogLevel(round % 2 ? 4 : 1);
        ASSERT_EQ(1, OpenLogAppend());
    }
    stop = true;
    for (auto &th : threads) th.join();
    const std::vector<std::string> lines = log.Lines();
    EXPECT_FALSE(lines.empty());
    for (const std::string &line : lines) {
        int t = -1, i = -1;
        char tail[8] = {};
        ASSERT_EQ(3, sscanf(line.c_str(), "INFO thread %d line %d %7s", &t, &i, tail)) << line;
        EXPECT_STREQ("tail", tail) << line;
    }
}

TEST(MakeDirectoryTree, CreatesExistsAndBackslashPaths) {
    kvtest::TempDir dir;
    EXPECT_EQ(0, MakeDirectoryTree((dir / "a/b/c").c_str()));
    EXPECT_TRUE(std::filesystem::is_directory(dir / "a/b/c"));
    EXPECT_EQ(1, MakeDirectoryTree((dir / "a/b/c").c_str()));
    EXPECT_EQ(1, MakeDirectoryTree((dir / "a/b/c/").c_str()));
    // Only "/" separates folders here: a "\" path whose parent is missing is not built.
    EXPECT_EQ(ENOENT, MakeDirectoryTree((dir / "x\\y").c_str()));
    EXPECT_EQ(0, MakeDirectoryTree((dir / "a\\d").c_str())) << "its parent exists";
    EXPECT_TRUE(std::filesystem::is_directory(dir / "a/d"));
    EXPECT_EQ(EEXIST, MakeDirectory((dir / "a").c_str()));
}

TEST(InitAgentLog, TakesTheLevelFromTheRegistry) {
    struct Case {
        const char *level;  // null: the value is absent
        std::vector<std::string> lines;
    } cases[] = {
        {nullptr, {"INFO i", "ERROR e"}},
        {"1", {"INFO i"}},
        {"4", {"INFO i", "ERROR e", "DEBUG d", "TRACE t"}},
        {"256", {}},
    };
    for (const Case &c : cases) {
        kvtest::TempRegistry reg;
        kvtest::TempDir logs;
        if (c.level) {
            ASSERT_EQ(0u, writeValue(HKEY_LOCAL_MACHINE, "Software\\Velmora\\Corvane\\KVAgent",
                                     "KVAgentLogLevel", c.level, REG_DWORD));
        }
        ASSERT_EQ(0, InitAgentLog("agent.log", logs.path().c_str(), 1));
        WriteOneOfEach();
        CloseLog();
        FreeLogSettings();
        std::vector<std::string> got;
        for (const std::string &line : kvtest::SplitLines(kvtest::ReadFile(logs / "agent.log"))) {
            if (line.find("Log open time") == std::string::npos &&
                line.find("Log close time") == std::string::npos) {
                got.push_back(line.substr(line.find("] [", 28) + 3));
            }
        }
        for (std::string &g : got) g = g.substr(0, g.find(']')) + " " + g.substr(g.find("] ") + 2);
        EXPECT_EQ(c.lines, got) << (c.level ? c.level : "absent");
    }
}

TEST(InitAgentLog, AnUnopenableLogGives13) {
    kvtest::TempRegistry reg;
    kvtest::TempDir dir;
    kvtest::WriteFile(dir / "file", "x");
    EXPECT_EQ(13, InitAgentLog("agent.log", (dir / "file/sub").c_str(), 1));
    LogInfo("dropped\n");
    FreeLogSettings();
}

}  // namespace
