/*
 * Rotation of a log that a long-running process holds open: the live file is copied to
 * numbered copies in its folder ("name1.log" newest .. "name<maxFiles-1>.log" oldest) and
 * emptied in place, at start and then on a chain of one-shot timers.
 *
 * StartLogging and StopLogging bracket the tool's logging: StartLogging rotates, arms the
 * timer and opens the log (InitAgentLog); StopLogging deletes the timer queue, closes the log
 * and releases its settings. A LoggerSettings record must live as long as its timer can fire.
 *
 * Copy and truncation of the live file happen under the log's lock, so a line written by
 * another thread during a rotation lands in the copy or in the emptied file, never nowhere.
 * Rotation never fails its caller: file-system failures are logged and skipped.
 */
#ifndef KV_LOGGING_ROTATION_H
#define KV_LOGGING_ROTATION_H

#include <cstdint>
#include <string>

#include "platform/timer_queue.h"

struct LoggerSettings {
    LoggerSettings();  // the defaults below; reads the install folder when not yet known

    std::string fileName = "computer.log";
    std::string logDir;       // install folder + "logs", without a trailing separator
    int maxFiles = 5;         // the live file plus copies 1 .. maxFiles - 1
    int sizeLimit = 2000000;  // bytes at which the live file is rotated
    int periodMs = 900000;    // rotation timer delay (15 minutes)
    int openMode = 1;         // 2 opens the log from empty, anything else appends
    bool useTimer = true;     // false: rotate once at start, no timer
};

extern PlatTimerQueue *gv_timerQueue;
extern PlatTimer *gv_loggerTimer;

/* Returns InitAgentLog's result: 0, or 13 when the log could not be opened. */
int StartLogging(LoggerSettings *settings);
int StopLogging();

/* Rotates, then arms the next one-shot timer; 0 or the error of arming it. */
DWORD LoggerTimerMethod(LoggerSettings *settings);
/* The timer callback: context is the LoggerSettings. */
void LoggerTimerRoutine(void *settings, int timerFired);

/* Rotates logDir\fileName (mode 1) when it has reached sizeLimit; 0 or RotateSpecificLogs'. */
DWORD RotateLoggerForEverRunningProcess(const char *logDir, const char *fileName, int maxFiles,
                                        int sizeLimit);
/* 1 when the file has at least sizeLimit bytes; a missing file counts as empty. */
int CheckLogSizeReached(const char *path, int sizeLimit);
/* Rotates each ";"-separated name in folder (which ends with a separator; null: the install
 * folder's logs). mode 1: copy and truncate; mode 0: copy and delete, only files larger than
 * sizeLimit. 0, or the registry error when the install folder could not be read. fileNames
 * is not changed. */
DWORD RotateSpecificLogs(const char *folder, const char *fileNames, int maxFiles, int sizeLimit,
                         int mode);
/* folder + "\" + the name up to its first ".log" + k + ".log". */
std::string BuildRotatedFileName(const std::string &folder, const std::string &fileName, int k);
/* The number of entries of folder whose names begin with stem, or -1 on failure. */
int FindNoOfRepeatedFileNames(const char *folder, const char *stem);
/* False for a null argument or a file that cannot be measured; *size is 0 then. */
bool GetFileSizeByName(const char *path, uint64_t *size);

#endif  // KV_LOGGING_ROTATION_H
