/*
 * The process-wide leveled log shared by the tool and the data-store library.
 *
 * Settings and the open stream are process globals. The settings calls and the opens take
 * no lock: they run at start-up and shut-down. The stream, the level and the lock key are
 * read and written atomically, so a thread that logs meanwhile sees either the old or the
 * new value. The four leveled calls may come from any thread; each line is written whole
 * under the per-object lock keyed on gv_logLockKey and flushed at once; CloseLog takes the
 * same lock, so a line being written is finished before the stream closes. While no log is
 * open, or after FreeLogSettings, every leveled call writes nothing and returns.
 *
 * Lines: "[ <stamp> ] [ <thread id> ] [TAG] <text>", every "\n" written as "\r\n" as a
 * Windows text-mode stream writes it. Formats follow printf; "%S" takes a UTF-16
 * (char16_t) string and is written as UTF-8.
 *
 * Strings returned (GetTimeStamp) are malloc'd and freed by the caller.
 */
#ifndef KV_LOGGING_LOG_H
#define KV_LOGGING_LOG_H

#include <stdio.h>

#ifdef __cplusplus
extern "C" {
#endif

extern FILE *gv_logFilePtr;
extern char *gv_logFileName;
extern char *gv_logDir;
extern unsigned char gv_logLevel;
extern char *gv_logFilePath;
extern char *gv_logLockKey;

/* Opens the tool's log: global mutex, defaults, level from "KVAgentLogLevel" (2 when it
 * cannot be read), then the file (emptied when openMode is 2, else appended to). 0 or 13. */
int InitAgentLog(const char *fileName, const char *logDir, int openMode);

int InitLogSettings(void);
int SetLogSettings(const char *fileName, const char *logDir, unsigned char level);
int SetLogFileName(const char *name);
int SetLogDirectory(const char *dir);
void SetLogLevel(unsigned char level);
int SetLogFilePtr(FILE *stream);
int OpenLog(void);
int OpenLogAppend(void);
void CloseLog(void);
void FreeLogSettings(void);
/* gv_logLockKey, read as the leveled calls read it: for a thread other than the one that
 * starts and stops the log (the rotation's truncation). */
const void *GetLogLockKey(void);

void LogError(const char *format, ...);
void LogInfo(const char *format, ...);
void LogDebug(const char *format, ...);
void LogTrace(const char *format, ...);

char *GetTimeStamp(void);

/* 0, or errno (EEXIST when the folder exists, ENOENT when a folder on the way is missing). */
int MakeDirectory(const char *path);
/* 0 when created, 1 when it already existed, else an errno value. Only "/" separates. */
int MakeDirectoryTree(const char *path);

/* The library's root folder; null until SetTamberRoot sets it. Read by OpenLog. */
extern char *gv_rootPath;

#ifdef __cplusplus
}
#endif

#endif /* KV_LOGGING_LOG_H */
