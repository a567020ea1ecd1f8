// The leveled log writer.
#include "logging/log.h"

#include <errno.h>
#include <stdarg.h>
#include <stdlib.h>
#include <string.h>

#include <atomic>
#include <charconv>
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

// Any thread may log while start-up opens the log or changes its level (the tool arms its
// rotation timer before the log is open), so the three values a line depends on are read and
// written atomically. They stay plain globals for the C callers that name them.
template <typename T>
T Load(T &global) {
    return std::atomic_ref<T>(global).load(std::memory_order_acquire);
}

template <typename T>
void Store(T &global, T value) {
    std::atomic_ref<T>(global).store(value, std::memory_order_release);
}

// Appends value in decimal, zero-padded to width digits as "%0<width>d" writes it.
void AppendPadded(std::string &out, int value, int width) {
    char digits[16];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    const int length = int(end - digits);
    const int sign = value < 0 ? 1 : 0;
    if (sign) out.push_back('-');
    if (length < width) out.append(size_t(width - length), '0');
    out.append(digits + sign, size_t(length - sign));
}

// "%d-%02d-%02d %02d:%02d:%02d:%03d", written without snprintf: a stamp starts every line.
void AppendStamp(std::string &out) {
    struct tm t;
    int ms;
    PlatLocalNow(&t, &ms);
    AppendPadded(out, t.tm_year + 1900, 1);
    out.push_back('-');
    AppendPadded(out, t.tm_mon + 1, 2);
    out.push_back('-');
    AppendPadded(out, t.tm_mday, 2);
    out.push_back(' ');
    AppendPadded(out, t.tm_hour, 2);
    out.push_back(':');
    AppendPadded(out, t.tm_min, 2);
    out.push_back(':');
    AppendPadded(out, t.tm_sec, 2);
    out.push_back(':');
    AppendPadded(out, ms, 3);
}

std::string Stamp() {
    std::string stamp;
    AppendStamp(stamp);
    return stamp;
}

// A full disk took only part of a line: that part is cut off again, so the file holds whole
// lines only and the first line written once there is room does not run on from a torn one.
// The stream is unbuffered (see Open), so what fwrite counted is what reached the file.
void CutTornLine(FILE *stream, size_t written) {
    clearerr(stream);
    if (written > 0 && fseek(stream, 0, SEEK_END) == 0) {
        const long end = ftell(stream);
        if (end >= long(written)) PlatTruncateStream(stream, uint64_t(end) - written);
    }
    clearerr(stream);
}

// A Windows text-mode stream writes every "\n" as "\r\n"; the log file keeps that layout.
void WriteText(const std::string &text) {
    // One buffer per thread, kept: a line costs no allocation once it has grown.
    thread_local std::string out;
    out.clear();
    for (size_t at = 0; at < text.size();) {
        const size_t end = text.find('\n', at);
        if (end == std::string::npos) {
            out.append(text, at, std::string::npos);
            break;
        }
        out.append(text, at, end - at);
        out.append("\r\n");
        at = end + 1;
    }
    FILE *stream = Load(gv_logFilePtr);
    const size_t written = fwrite(out.data(), 1, out.size(), stream);
    if (written != out.size() || fflush(stream) != 0) CutTornLine(stream, written);
}

void AppendPrefix(std::string &prefix, const char *tag) {
    prefix.append("[ ");
    AppendStamp(prefix);
    prefix.append(" ] [ ");
    prefix.append(std::to_string(PlatCurrentThreadId()));
    prefix.append(" ] ");
    prefix.append(tag);
    prefix.push_back(' ');
}

std::string Prefix(const char *tag) {
    std::string prefix;
    AppendPrefix(prefix, tag);
    return prefix;
}

// The open and close lines: written at any level, without the lock.
void WriteMarker(const char *text) {
    WriteText(Prefix("[INFO]") + text + Stamp() + "\n");
}

void WriteLine(unsigned char threshold, const char *tag, const char *format, va_list args) {
    char *key = Load(gv_logLockKey);
    if (Load(gv_logFilePtr) == nullptr || Load(gv_logLevel) < threshold || key == nullptr) return;
    // Buffers per thread, kept: a line costs no allocation once they have grown.
    thread_local std::string text;
    thread_local std::string line;
    text.clear();
    AppendFormatted(text, format, args);
    ObjectLock lock(key);
    // The stamp is taken under the lock so that the file stays in time order; the stream is
    // checked again since it may have been closed meanwhile.
    if (Load(gv_logFilePtr) == nullptr) return;
    line.clear();
    AppendPrefix(line, tag);
    line += text;
    WriteText(line);
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
    if (Load(gv_logFilePtr) != nullptr) {
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
    // Each line goes out in one write and is flushed anyway; unbuffered, a write that fails
    // leaves nothing behind in the stream to come out later in the middle of another line.
    setvbuf(f, nullptr, _IONBF, 0);
    Store(gv_logFilePtr, f);
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
    if (Load(gv_logFilePtr) != nullptr) {
        Store(gv_logLevel, kDefaultLevel);
        return 1;
    }
    if (gv_logFileName != nullptr) return 1;
    if (!ReplaceString(&gv_logFileName, "tamber.log")) return 0;
    char *key = static_cast<char *>(malloc(1));
    free(Load(gv_logLockKey));
    Store(gv_logLockKey, key);
    if (key == nullptr) return 0;
    free(gv_logDir);
    free(gv_logFilePath);
    gv_logDir = gv_logFilePath = nullptr;
    Store(gv_logLevel, kDefaultLevel);
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
    Store(gv_logLevel, level);
}

int SetLogFilePtr(FILE *stream) {
    if (stream == nullptr) return 0;
    Store(gv_logFilePtr, stream);
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
    if (Load(gv_logFilePtr) == nullptr) return;
    // A thread still logging (a timer callback, a worker) finishes its line first and then
    // finds the stream gone, instead of writing into a closed one.
    char *key = Load(gv_logLockKey);
    if (key != nullptr) LockObject(key);
    FILE *stream = Load(gv_logFilePtr);
    if (stream != nullptr) {
        WriteMarker("Log close time: ");
        Store(gv_logFilePtr, static_cast<FILE *>(nullptr));
        fclose(stream);
    }
    if (key != nullptr) UnlockObject(key);
}

void FreeLogSettings(void) {
    free(gv_logFileName);
    free(gv_logDir);
    free(gv_logFilePath);
    char *key = Load(gv_logLockKey);
    Store(gv_logLockKey, static_cast<char *>(nullptr));
    free(key);
    gv_logFileName = gv_logDir = gv_logFilePath = nullptr;
}

const void *GetLogLockKey(void) {
    return Load(gv_logLockKey);
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
