// A log line at level 4 with its flush, against fprintf and fflush of the same text.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "logging/log.h"

namespace {

std::string TempFolder() {
    char pattern[] = "/tmp/kvbench.XXXXXX";
    return mkdtemp(pattern);
}

void BM_LogInfoLine(benchmark::State &state) {
    std::string dir = TempFolder();
    InitLogSettings();
    SetLogSettings("bench.log", dir.c_str(), 4);
    OpenLog();
    int i = 0;
    for (auto _ : state)
        LogInfo("RotateSpecificLogs : Log File Name : %s %d\n", "kvprereqhandler.log", i++);
    CloseLog();
    FreeLogSettings();
    unlink((dir + "/bench.log").c_str());
    rmdir(dir.c_str());
}
BENCHMARK(BM_LogInfoLine);

void BM_FprintfFflushLine(benchmark::State &state) {
    std::string dir = TempFolder();
    std::string path = dir + "/plain.log";
    FILE *f = fopen(path.c_str(), "w");
    int i = 0;
    for (auto _ : state) {
        fprintf(f,
                "[ 2026-12-11 10:00:00:000 ] [ 1234 ] [INFO] RotateSpecificLogs : Log File Name : "
                "%s %d\r\n",
                "kvprereqhandler.log", i++);
        fflush(f);
    }
    fclose(f);
    unlink(path.c_str());
    rmdir(dir.c_str());
}
BENCHMARK(BM_FprintfFflushLine);

}  // namespace

BENCHMARK_MAIN();
