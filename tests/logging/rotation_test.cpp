// Log rotation: the size check, copy names, the shifting of copies, mode 0, name lists, the
// timer chain, and no line lost while other threads log during rotations.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <set>
#include <thread>

#include "logging/log.h"
#include "logging/rotation.h"
#include "tests/support/test_support.h"

namespace {

using kvtest::FileExists;
using kvtest::ReadFile;
using kvtest::TempDir;
using kvtest::WriteFile;

TEST(CheckLogSizeReached, TheLimitIsReachedAtExactlyItsSize) {
    TempDir dir;
    WriteFile(dir / "under.log", std::string(1999999, 'x'));
    WriteFile(dir / "at.log", std::string(2000000, 'x'));
    struct Case {
        std::string path;
        int expected;
    } cases[] = {
        {dir / "under.log", 0},
        {dir / "at.log", 1},
        {dir / "missing.log", 0},
        {dir.path(), 0},  // a folder measures 0
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.expected, CheckLogSizeReached(c.path.c_str(), 2000000)) << c.path;
}

TEST(BuildRotatedFileName, StemNumberAndExtension) {
    struct Case {
        const char *name;
        int k;
        const char *expected;
    } cases[] = {
        {"kvprereqhandler.log", 1, "F\\\\kvprereqhandler1.log"},
        {"kvprereqhandler.log", 0, "F\\\\kvprereqhandler0.log"},
        {"app.log.old", 12, "F\\\\app12.log"},
        {"noext", 3, "F\\\\3.log"},
        {"x.log", 123456, "F\\\\x123456.log"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.expected, BuildRotatedFileName("F\\", c.name, c.k)) << c.name;
}

TEST(FindNoOfRepeatedFileNames, CountsEveryEntryBeginningWithTheStem) {
    TempDir dir;
    for (const char *name : {"app.log", "app1.log", "APP2.log", "apple.txt", "other.log"})
        WriteFile(dir / name, "");
    EXPECT_EQ(4, FindNoOfRepeatedFileNames(dir.path().c_str(), "app"));
    EXPECT_EQ(7, FindNoOfRepeatedFileNames(dir.path().c_str(), "")) << "every entry, . and .. too";
    EXPECT_EQ(-1, FindNoOfRepeatedFileNames(dir.path().c_str(), "zzz"));
    EXPECT_EQ(-1, FindNoOfRepeatedFileNames((dir / "missing").c_str(), "app"));
}

// Rotates the live file L.log in dir, first writing "generation g" into it.
void RotateGenerations(const TempDir &dir, int generations, int maxFiles) {
    std::string folder = dir.path() + "\\";
    for (int g = 1; g <= generations; ++g) {
        WriteFile(dir / "L.log", "generation " + std::to_string(g));
        ASSERT_EQ(0u, RotateSpecificLogs(folder.c_str(), "L.log", maxFiles, 0, 1));
    }
}

TEST(RotateSpecificLogs, TenRotationsKeepTheLiveFileAndFourCopiesOldestLast) {
    TempDir dir;
    RotateGenerations(dir, 10, 5);
    EXPECT_EQ("", ReadFile(dir / "L.log"));
    for (int k = 1; k <= 4; ++k)
        EXPECT_EQ("generation " + std::to_string(11 - k),
                  ReadFile(dir / ("L" + std::to_string(k) + ".log")));
    EXPECT_FALSE(FileExists(dir / "L5.log"));
    EXPECT_FALSE(FileExists(dir / "L0.log"));
}

TEST(RotateSpecificLogs, WithOnlyTheLiveFileOnePassMakesCopyOne) {
    TempDir dir;
    RotateGenerations(dir, 1, 5);
    EXPECT_EQ("generation 1", ReadFile(dir / "L1.log"));
    EXPECT_EQ("", ReadFile(dir / "L.log"));
}

TEST(RotateSpecificLogs, ModeZeroRotatesOnlyFilesOverTheLimitAndDeletesThem) {
    TempDir dir;
    WriteFile(dir / "small.log", std::string(10, 's'));
    WriteFile(dir / "big.log", std::string(11, 'b'));
    std::string names = "small.log;big.log;missing.log";
    std::string folder = dir.path() + "\\";
    EXPECT_EQ(0u, RotateSpecificLogs(folder.c_str(), names.c_str(), 5, 10, 0));
    EXPECT_EQ("small.log;big.log;missing.log", names) << "the caller's list stays whole";
    EXPECT_TRUE(FileExists(dir / "small.log"));
    EXPECT_FALSE(FileExists(dir / "small1.log"));
    EXPECT_FALSE(FileExists(dir / "big.log"));
    EXPECT_EQ(std::string(11, 'b'), ReadFile(dir / "big1.log"));
}

TEST(RotateSpecificLogs, TheLiveLogIsEmptiedAndKeepsReceivingLines) {
    TempDir dir;
    InitLogSettings();
    SetLogSettings("L.log", dir.path().c_str(), 4);
    ASSERT_TRUE(OpenLogAppend());
    LogInfo("before rotation\n");
    ASSERT_EQ(0u, RotateLoggerForEverRunningProcess(dir.path().c_str(), "L.log", 5, 1));
    LogInfo("after rotation\n");
    CloseLog();
    FreeLogSettings();
    std::string copy = ReadFile(dir / "L1.log"), live = ReadFile(dir / "L.log");
    EXPECT_NE(std::string::npos, copy.find("before rotation"));
    EXPECT_EQ(std::string::npos, copy.find("after rotation"));
    EXPECT_EQ(std::string::npos, live.find("before rotation"));
    EXPECT_EQ(0u, live.find("[ ")) << "the live file starts afresh: " << live.substr(0, 40);
    EXPECT_NE(std::string::npos, live.find("after rotation"));
}

TEST(RotateSpecificLogs, NoLineWrittenDuringRotationsIsLost) {
    TempDir dir;
    InitLogSettings();
    SetLogSettings("L.log", dir.path().c_str(), 1);
    ASSERT_TRUE(OpenLogAppend());
    constexpr int kThreads = 3, kLines = 3000;
    std::atomic<int> running{kThreads};
    std::vector<std::thread> writers;
    for (int t = 0; t < kThreads; ++t) {
        writers.emplace_back([t, &running] {
            for (int i = 0; i < kLines; ++i) LogInfo("line %d.%d\n", t, i);
            --running;
        });
    }
    std::string folder = dir.path() + "\\";
    int rotations = 0;
    while (running > 0 && rotations < 200) {
        RotateSpecificLogs(folder.c_str(), "L.log", 1000, 0, 1);
        ++rotations;
    }
    for (auto &w : writers) w.join();
    CloseLog();
    FreeLogSettings();
    EXPECT_GT(rotations, 1);

    std::multiset<std::string> seen;
    for (const auto &entry : std::filesystem::directory_iterator(dir.path())) {
        for (const std::string &line : kvtest::SplitLines(ReadFile(entry.path()))) {
            size_t at = line.find("[INFO] line ");
            if (at != std::string::npos) seen.insert(line.substr(at + 12));
        }
    }
    for (int t = 0; t < kThreads; ++t) {
        for (int i = 0; i < kLines; ++i) {
            std::string id = std::to_string(t) + "." + std::to_string(i);
            ASSERT_EQ(1u, seen.count(id)) << "line " << id;
        }
    }
}

TEST(StartLogging, RotatesAtStartThenOnEachTimerUntilStopped) {
    kvtest::TempRegistry reg;
    TempDir dir;
    WriteFile(dir / "T.log", std::string(100, 'o'));
    LoggerSettings settings;
    settings.fileName = "T.log";
    settings.logDir = dir.path();
    settings.sizeLimit = 50;
    settings.periodMs = 20;
    ASSERT_EQ(0, StartLogging(&settings));
    EXPECT_EQ(std::string(100, 'o'), ReadFile(dir / "T1.log"))
        << "rotated at start, before the log opened";
    EXPECT_EQ(std::string::npos, ReadFile(dir / "T.log").find("RotateSpecificLogs"))
        << "its lines went nowhere";
    for (int i = 0; i < 200 && !FileExists(dir / "T2.log"); ++i) {
        LogInfo("%s\n", std::string(60, 'n').c_str());
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_TRUE(FileExists(dir / "T2.log")) << "the timer rotated again";
    EXPECT_EQ(0, StopLogging());
    EXPECT_EQ(nullptr, gv_timerQueue);
    std::string afterStop = ReadFile(dir / "T.log");
    WriteFile(dir / "T.log", std::string(100, 'z'));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(std::string(100, 'z'), ReadFile(dir / "T.log")) << "no rotation after StopLogging";
}

}  // namespace
