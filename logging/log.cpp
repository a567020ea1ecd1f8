// The leveled log writer.
#include "logging/log.h"

#include <errno.h>
#include <stdarg.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "logging/log_format.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/threads.h"
#include "util/lock.h"
#include "util/registry.h"

FILE *gv_logFilePtr = nullptr;
char *gv_logFileName = nullptr;
char *gv_logDir = nullptr;
unsigned char gv_logLevel = 0;
char *gv_logFilePath = nullptr;
char *gv_logLockKey = nullptr;
char *gv_rootPath = nullptr;

namespace {

constexpr unsigned char kDefaultLevel = 3;
constexpr const char *kAgentKey = "Software\\Velmora\\Corvane\\KVAgent";

std::string Stamp() {
    struct tm t;
    int ms;
    PlatLocalNow(&t, &ms);
    char buf[64];
    snprintf(buf, sizeof buf, "%d-%02d-%02d %02d:%02d:%02d:%03d", t.tm_year + 1900, t.tm_mon + 1,
             t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec, ms);
    return buf;
}

// A Windows text-mode stream writes every "\n" as "\r\n"; the log file keeps that layout.
void WriteText(const std::string &text) {
    std::string out;
    out.reserve(text.size() + 8);
    for (char c : text) {
        if (c == '\n') out.push_back('\r');
        out.push_back(c);
    }
    fwrite(out.data(), 1, out.size(), gv_logFilePtr);
    fflush(gv_logFilePtr);
}

std::string Prefix(const char *tag) {
    return "[ " + Stamp() + " ] [ " + std::to_string(PlatCurrentThreadId()) + " ] " + tag + " ";
}

// The open and close lines: written at any level, without the lock.
void WriteMarker(const char *text) {
    WriteText(Prefix("[INFO]") + text + Stamp() + "\n");
}

void WriteLine(unsigned char threshold, const char *tag, const char *format, va_list args) {
    if (gv_logFilePtr == nullptr || gv_logLevel < threshold || gv_logLockKey == nullptr) return;
    std::string text;
    AppendFormatted(text, format, args);
    ObjectLock lock(gv_logLockKey);
    // The stamp is taken under the lock so that the file stays in time order; the stream is
    // checked again since it may have been closed meanwhile.
    if (gv_logFilePtr != nullptr) WriteText(Prefix(tag) + text);
}

bool ReplaceString(char **slot, const char *value) {
    if (value == nullptr) return false;
    char *copy = strdup(value);
    if (copy == nullptr) return false;
    free(*slot);
    *slot = copy;
    return true;
}

int Open(const char *mode) {
    if (gv_logFilePtr != nullptr) {
        LogTrace("gv_logFilePtr already Set\n");
        return 1;
    }
    if (gv_logFileName == nullptr) return 0;
    std::string path;
    if (gv_logDir != nullptr) {
        MakeDirectoryTree(gv_logDir);
        path = std::string(gv_logDir) + "/" + gv_logFileName;
    } else if (gv_rootPath != nullptr) {
        std::string dir = std::string(gv_rootPath) + "/logs";
        MakeDirectoryTree(dir.c_str());
        path = dir + "/" + gv_logFileName;
    } else {
        MakeDirectory("../logs");
        path = std::string("../logs/") + gv_logFileName;
    }
    if (!ReplaceString(&gv_logFilePath, path.c_str())) return 0;
    FILE *f = PlatOpenStream(path.c_str(), mode);
    if (f == nullptr) return 0;
    gv_logFilePtr = f;
    WriteMarker("Log open time: ");
    return 1;
}

}  // namespace

extern "C" {

int InitAgentLog(const char *fileName, const char *logDir, int openMode) {
    InitMutex();
    if (!InitLogSettings()) return 13;
    DWORD level = 0;
    if (ReadDwordRegistryData(HKEY_LOCAL_MACHINE, kAgentKey, "KVAgentLogLevel", &level) != 0)
        level = 2;
    if (!SetLogSettings(fileName, logDir, static_cast<unsigned char>(level & 0xFF))) return 13;
    int opened = openMode == 2 ? OpenLog() : OpenLogAppend();
    return opened ? 0 : 13;
}

int InitLogSettings(void) {
    if (gv_logFilePtr != nullptr) {
        gv_logLevel = kDefaultLevel;
        return 1;
    }
    if (gv_logFileName != nullptr) return 1;
    if (!ReplaceString(&gv_logFileName, "tamber.log")) return 0;
    free(gv_logLockKey);
    gv_logLockKey = static_cast<char *>(malloc(1));
    if (gv_logLockKey == nullptr) return 0;
    free(gv_logDir);
    free(gv_logFilePath);
    gv_logDir = gv_logFilePath = nullptr;
    gv_logLevel = kDefaultLevel;
    return 1;
}

int SetLogSettings(const char *fileName, const char *logDir, unsigned char level) {
    if (fileName == nullptr || logDir == nullptr) return 0;
    if (!SetLogFileName(fileName) || !SetLogDirectory(logDir)) return 0;
    SetLogLevel(level);
    return 1;
}

int SetLogFileName(const char *name) {
    return ReplaceString(&gv_logFileName, name);
}

int SetLogDirectory(const char *dir) {
    return ReplaceString(&gv_logDir, dir);
}

void SetLogLevel(unsigned char level) {
    gv_logLevel = level;
}

int SetLogFilePtr(FILE *stream) {
    if (stream == nullptr) return 0;
    gv_logFilePtr = stream;
    return 1;
}

// Binary streams: WriteText already ends lines with "\r\n", which a Windows text-mode stream
// would turn into "\r\r\n"; the file's bytes are the same on every system.
int OpenLog(void) {
    return Open("wb");
}

int OpenLogAppend(void) {
    return Open("a+b");
}

void CloseLog(void) {
    if (gv_logFilePtr == nullptr) return;
    WriteMarker("Log close time: ");
    fclose(gv_logFilePtr);
    gv_logFilePtr = nullptr;
}

void FreeLogSettings(void) {
    free(gv_logFileName);
    free(gv_logDir);
    free(gv_logFilePath);
    free(gv_logLockKey);
    gv_logFileName = gv_logDir = gv_logFilePath = gv_logLockKey = nullptr;
}

#define KV_LOG_FUNCTION(name, threshold, tag)    \
    void name(const char *format, ...) {         \
        va_list args;                            \
        va_start(args, format);                  \
        WriteLine(threshold, tag, format, args); \
        va_end(args);                            \
    }

KV_LOG_FUNCTION(LogInfo, 1, "[INFO]")
KV_LOG_FUNCTION(LogError, 2, "[ERROR]")
KV_LOG_FUNCTION(LogDebug, 3, "[DEBUG]")
KV_LOG_FUNCTION(LogTrace, 4, "[TRACE]")

char *GetTimeStamp(void) {
    return strdup(Stamp().c_str());
}

int MakeDirectory(const char *path) {
    return PlatMakeDirectory(path);
}

int MakeDirectoryTree(const char *path) {
    if (path == nullptr) return EINVAL;
    int rc = MakeDirectory(path);
    if (rc == EEXIST) return 1;
    if (rc != ENOENT) return rc;
    std::string parent(path);
    while (!parent.empty() && parent.back() == '/') parent.pop_back();
    size_t slash = parent.rfind('/');
    if (slash == std::string::npos || slash == 0) return rc;
    parent.resize(slash);
    int made = MakeDirectoryTree(parent.c_str());
    // 1: another process made the parent meanwhile.
    return made == 0 || made == 1 ? MakeDirectory(path) : made;
}

}  // extern "C"
