// Log rotation and its timer.
#include "logging/rotation.h"

#include <stdlib.h>
#include <string.h>

#include <cstdio>
#include <vector>

#include "logging/log.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "util/error_text.h"
#include "util/lock.h"
#include "util/registry.h"

PlatTimerQueue *gv_timerQueue = nullptr;
PlatTimer *gv_loggerTimer = nullptr;

namespace {

// The name up to its first ".log"; a name without one has an empty stem.
std::string Stem(const std::string &fileName) {
    size_t at = fileName.find(".log");
    return at == std::string::npos ? "" : fileName.substr(0, at);
}

void LogDeleted(const std::string &path, const char *unableFormat) {
    DWORD code = PlatDeleteFile(path.c_str());
    if (code == ERROR_SUCCESS) {
        LogInfo("RotateSpecificLogs : The file %s was successfully deleted..:\n", path.c_str());
    } else {
        LogInfo(unableFormat, path.c_str(), int(code));
    }
}

constexpr const char *kUnableToDelete =
    "RotateSpecificLogs : Unable to delete the file %s and the error code is :%d\n";
constexpr const char *kUnableToDeleteLive =
    "RotateSpecificLogs : Unable to delete the file %s and the error code is  :%d\n";

// Mode 0: a file nobody holds open is rotated only when it is larger than the limit.
bool LargeEnoughToRotate(const std::string &path, int sizeLimit) {
    PlatFile *file = nullptr;
    DWORD code = PlatOpenExclusive(path.c_str(), &file);
    if (code != ERROR_SUCCESS) {
        LogError(
            "RotateSpecificLogs : hFile is NULL or not AVAILABLE (Errorcode : %d) for the file "
            "name %s . \n",
            int(code), path.c_str());
        return false;
    }
    uint64_t size = 0;
    if (GetFileSizeByName(path.c_str(), &size)) {
        LogInfo("RotateSpecificLogs : Sucessfully got the %s File size = %lld \n", path.c_str(),
                (long long)size);
    } else {
        LogInfo(
            "RotateSpecificLogs : The %s File size detection is failed and the error code is %d \n",
            path.c_str(), int(PlatGetLastError()));
        size = 0;
        LogDeleted(path, kUnableToDeleteLive);
    }
    PlatCloseFile(file);
    return size > uint64_t(sizeLimit < 0 ? 0 : sizeLimit);
}

// Copies the live file to copy 1, then empties it (mode 1) or deletes it (mode 0). In mode 1
// both steps run under the log's lock, so no line written meanwhile is lost; the lines about
// it are logged after the lock is released, since logging takes the same lock.
void RotateLiveFile(const std::string &live, const std::string &target, int mode) {
    if (mode == 1) {
        DWORD copied, truncated = ERROR_SUCCESS;
        {
            ObjectLock lock(GetLogLockKey());
            copied = PlatCopyFile(live.c_str(), target.c_str());
            if (copied == ERROR_SUCCESS) truncated = PlatTruncateFile(live.c_str());
        }
        if (copied != ERROR_SUCCESS) {
            LogInfo(
                "RotateSpecificLogs : CopyFile failed to move from %s to  %s and the error code is "
                "%d \n",
                live.c_str(), target.c_str(), int(copied));
            return;
        }
        LogInfo("RotateSpecificLogs : File copied from %s to  %s , going to truncate %s . \n",
                live.c_str(), target.c_str(), live.c_str());
        if (truncated != ERROR_SUCCESS) {
            printf(
                "RotateSpecificLogs : Unable to truncate the file %s and the error code is %d \n",
                live.c_str(), int(truncated));
            fflush(stdout);
        }
        return;
    }
    DWORD copied = PlatCopyFile(live.c_str(), target.c_str());
    if (copied != ERROR_SUCCESS) {
        LogInfo(
            "RotateSpecificLogs : CopyFile failed to move from %s to  %s and the error code is %d "
            "\n",
            live.c_str(), target.c_str(), int(copied));
        return;
    }
    LogInfo("RotateSpecificLogs : File successfully copied from %s to  %s . \n", live.c_str(),
            target.c_str());
    LogDeleted(live, kUnableToDeleteLive);
}

void RotateOne(const std::string &folder, const std::string &name, int maxFiles, int sizeLimit,
               int mode) {
    LogInfo("RotateSpecificLogs : Log File Name : %s\n", name.c_str());
    std::string live = folder + "\\" + name;
    if (mode == 0 && !LargeEnoughToRotate(live, sizeLimit)) return;
    if (mode != 0 && mode != 1) return;

    int count = FindNoOfRepeatedFileNames(folder.c_str(), Stem(name).c_str());
    LogInfo(
        "RotateSpecificLogs : The return Value from FindNumberOfRepeatedFileNames method is : %d "
        "\n",
        count);
    for (int c = count; c >= 1; --c) {
        std::string source = BuildRotatedFileName(folder, name, c - 1);
        LogInfo("RotateSpecificLogs : The tempFileName1 : %s . \n", source.c_str());
        if (c >= maxFiles) {
            LogDeleted(source, kUnableToDelete);
            c = maxFiles - 1;
            if (c < 1) break;  // nothing is kept beside the live file
            source = BuildRotatedFileName(folder, name, c - 1);
        }
        std::string target = BuildRotatedFileName(folder, name, c);
        LogInfo("RotateSpecificLogs : The tempFileName2 : %s . \n", target.c_str());
        if (c > 1) {
            DWORD code = PlatCopyFile(source.c_str(), target.c_str());
            if (code != ERROR_SUCCESS) {
                LogInfo(
                    "RotateSpecificLogs : CopyFile failed to move from %s to  %s and the error "
                    "code is %d \n",
                    source.c_str(), target.c_str(), int(code));
            } else {
                LogInfo("RotateSpecificLogs : File copied from %s to  %s . \n", source.c_str(),
                        target.c_str());
                LogDeleted(source, kUnableToDelete);
            }
        } else {
            RotateLiveFile(live, target, mode);
        }
    }
}

}  // namespace

LoggerSettings::LoggerSettings() {
    if (gv_agentInstallDir == nullptr) ReadAgentInstallDir(&gv_agentInstallDir);
    logDir = std::string(gv_agentInstallDir ? gv_agentInstallDir : "") + "logs";
}

int StartLogging(LoggerSettings *settings) {
    if (settings->useTimer) {
        gv_timerQueue = PlatCreateTimerQueue();
        if (gv_timerQueue != nullptr) {
            LogInfo("ServiceMain : TimerQueue is created successfully \n");
        } else {
            LogError("ServiceMain : CreateTimerQueue is failed due to following error !! \n");
            LogErrorCode(int(PlatGetLastError()));
        }
        LoggerTimerMethod(settings);
    } else {
        RotateLoggerForEverRunningProcess(settings->logDir.c_str(), settings->fileName.c_str(),
                                          settings->maxFiles, settings->sizeLimit);
    }
    return InitAgentLog(settings->fileName.c_str(), settings->logDir.c_str(), settings->openMode);
}

int StopLogging() {
    if (gv_timerQueue != nullptr) {
        DWORD code = PlatDeleteTimerQueue(gv_timerQueue);
        if (code != ERROR_SUCCESS) {
            LogError("ServiceMain : DeleteTimerQueue is failed due to following error !! \n");
            LogErrorCode(int(code));
        }
        gv_timerQueue = nullptr;
        gv_loggerTimer = nullptr;
    }
    CloseLog();
    FreeLogSettings();
    CloseGlobalMutex();
    return 0;
}

DWORD LoggerTimerMethod(LoggerSettings *settings) {
    RotateLoggerForEverRunningProcess(settings->logDir.c_str(), settings->fileName.c_str(),
                                      settings->maxFiles, settings->sizeLimit);
    DWORD periodMs = settings->periodMs < 0 ? 0 : DWORD(settings->periodMs);
    DWORD code =
        PlatCreateTimer(gv_timerQueue, LoggerTimerRoutine, settings, periodMs, &gv_loggerTimer);
    if (code == ERROR_SUCCESS) {
        LogDebug("LoggerTimerMethod : Registered the TimerRoutime callback in next %d minutes . \n",
                 settings->periodMs / 60000);
        return 0;
    }
    LogError("LoggerTimerMethod : CreateTimerQueueTimer failed due to following error \n");
    LogErrorCode(int(code));
    return code;
}

void LoggerTimerRoutine(void *settings, int /*timerFired*/) {
    LogInfo("LoggerTimerRoutine : Inside LoggerTimerRoutine Method\n");
    LoggerTimerMethod(static_cast<LoggerSettings *>(settings));
    LogInfo("LoggerTimerRoutine : End of LoggerTimerRoutine Method\n");
}

DWORD RotateLoggerForEverRunningProcess(const char *logDir, const char *fileName, int maxFiles,
                                        int sizeLimit) {
    std::string folder = logDir
                             ? std::string(logDir) + "\\"
                             : std::string(gv_agentInstallDir ? gv_agentInstallDir : "") + "logs\\";
    std::string path = folder + (fileName ? fileName : "");
    LogInfo("RotateLoggerForEverRunningProcess : cSfileName : %s \n", path.c_str());
    if (CheckLogSizeReached(path.c_str(), sizeLimit) != 1) return 0;
    return RotateSpecificLogs(folder.c_str(), fileName, maxFiles, sizeLimit, 1);
}

int CheckLogSizeReached(const char *path, int sizeLimit) {
    uint64_t size = 0;
    DWORD code = PlatGetFileSize(path, &size);
    if (code != ERROR_SUCCESS) {
        LogError("CheckLogSizeReached : Unable to get the file handle \n");
        LogErrorText(int(code));
        LogError("CheckLogSizeReached : Error occurred in getting the size %d \n", int(code));
        size = 0;
    }
    LogInfo("CheckLogSizeReached : The log file size of %s is given by %lld \n", path,
            (long long)size);
    if (size >= uint64_t(sizeLimit < 0 ? 0 : sizeLimit)) {
        LogInfo("CheckLogSizeReached : The size is greater than the given size .........\n");
        return 1;
    }
    LogDebug("CheckLogSizeReached : The size is less the required size \n");
    return 0;
}

DWORD RotateSpecificLogs(const char *folder, const char *fileNames, int maxFiles, int sizeLimit,
                         int mode) {
    LogInfo("RotateSpecificLogs : Entering RotateSpecificLogs \n");
    std::string dir;
    if (folder != nullptr) {
        dir = folder;
    } else {
        char *installDir = nullptr;
        DWORD code = ReadAgentInstallDir(&installDir);
        if (code != ERROR_SUCCESS) {
            free(installDir);
            printf("RotateSpecificLogs : Unable to get the agent installed directory %d \n",
                   int(code));
            fflush(stdout);
            return code;
        }
        dir = std::string(installDir) + "logs\\";
        free(installDir);
    }
    // The list is split on a copy: the caller's text (a timer's settings) must stay whole for
    // the next rotation.
    std::string names = fileNames ? fileNames : "";
    size_t start = 0;
    while (start <= names.size()) {
        size_t end = names.find(';', start);
        if (end == std::string::npos) end = names.size();
        std::string name = names.substr(start, end - start);
        if (!name.empty()) RotateOne(dir, name, maxFiles, sizeLimit, mode);
        start = end + 1;
    }
    LogInfo("RotateSpecificLogs : Exiting RotateSpecificLogs with the code %d \n", 0);
    return 0;
}

std::string BuildRotatedFileName(const std::string &folder, const std::string &fileName, int k) {
    return folder + "\\" + Stem(fileName) + std::to_string(k) + ".log";
}

int FindNoOfRepeatedFileNames(const char *folder, const char *stem) {
    std::string pattern = std::string(folder ? folder : "") + "\\" + (stem ? stem : "") + "*.*";
    LogInfo(
        "FindNoOfRepeatedFileNames : Successfully allocated szFormattedPath and the value is %s  "
        ".\n",
        pattern.c_str());
    std::vector<std::string> names;
    DWORD code = PlatListByPrefix(folder, stem, &names);
    LogInfo("FindNoOfRepeatedFileNames : Successfully finded out first file  %d  .\n",
            code == ERROR_SUCCESS ? 1 : -1);
    if (code != ERROR_SUCCESS) {
        LogErrorCode(int(code));
        LogError("FindNumberOfRepeatedFileNames : Unable to find the files/folder.\n");
        return -1;
    }
    for (const std::string &name : names) {
        LogInfo("FindNoOfRepeatedFileNames : after memset of szSrcPath is  %s  .\n",
                (std::string(folder) + "\\" + name).c_str());
    }
    LogInfo("FindNoOfRepeatedFileNames : Going to Free the allocated memory in this method.\n");
    return int(names.size());
}

bool GetFileSizeByName(const char *path, uint64_t *size) {
    if (path == nullptr || size == nullptr) return false;
    *size = 0;
    return PlatGetFileSize(path, size) == ERROR_SUCCESS;
}
