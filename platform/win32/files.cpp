// Files and folders for the Win32 backend. Paths go to the system as they are: Windows takes
// "\" and "/" alike, and collapses doubled separators.
#include "platform/win32/win_api.h"

#include <direct.h>
#include <errno.h>
#include <io.h>
#include <stdlib.h>

#include "platform/errors.h"
#include "platform/files.h"

namespace {

DWORD Last() {
    return GetLastError();
}

// After a failed C runtime call: the system's own code when the runtime kept it.
void SetLastFromRuntime() {
    SetLastError(_doserrno != 0 ? DWORD(_doserrno) : PlatErrorFromErrno(errno));
}

HANDLE Open(const char *path, DWORD access, DWORD share, DWORD disposition, DWORD flags) {
    return CreateFileA(path, access, share, nullptr, disposition, flags, nullptr);
}

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

}  // namespace

struct PlatFile {
    HANDLE handle;
};

std::string PlatNativePath(const char *path) {
    return path ? path : "";
}

DWORD PlatListByPrefix(const char *folder, const char *prefix, std::vector<std::string> *names) {
    names->clear();
    std::string pattern = folder ? folder : "";
    if (!pattern.empty() && pattern.back() != '\\' && pattern.back() != '/') pattern += '\\';
    pattern += std::string(prefix ? prefix : "") + "*.*";
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA(pattern.c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return Last();
    do {
        names->push_back(entry.cFileName);
    } while (FindNextFileA(search, &entry));
    DWORD code = Last();
    FindClose(search);
    if (code == ERROR_NO_MORE_FILES) return ERROR_SUCCESS;
    SetLastError(code);
    return code;
}

extern "C" {

FILE *PlatOpenStream(const char *path, const char *mode) {
    if (path == nullptr || mode == nullptr) {
        errno = EINVAL;
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    _doserrno = 0;
    FILE *f = fopen(path, mode);
    if (f == nullptr) SetLastFromRuntime();
    return f;
}

int PlatMakeDirectory(const char *path) {
    if (path == nullptr) return EINVAL;
    _doserrno = 0;
    if (_mkdir(path) == 0) return 0;
    int err = errno;
    SetLastFromRuntime();
    return err;
}

DWORD PlatGetFileSize(const char *path, uint64_t *size) {
    if (path == nullptr || size == nullptr) return ERROR_INVALID_PARAMETER;
    // Attribute access only: neither write permission nor another process's sharing mode
    // can refuse it. Backup semantics let a folder open too.
    HANDLE h =
        Open(path, FILE_READ_ATTRIBUTES, kShareAll, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
    if (h == INVALID_HANDLE_VALUE) return Last();
    BY_HANDLE_FILE_INFORMATION info;
    LARGE_INTEGER bytes;
    DWORD code = ERROR_SUCCESS;
    if (!GetFileInformationByHandle(h, &info)) {
        code = Last();
    } else if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        *size = 0;
    } else if (GetFileSizeEx(h, &bytes)) {
        *size = uint64_t(bytes.QuadPart);
    } else {
        code = Last();
    }
    CloseHandle(h);
    if (code != ERROR_SUCCESS) SetLastError(code);
    return code;
}

DWORD PlatCopyFile(const char *source, const char *target) {
    if (source == nullptr || target == nullptr) return ERROR_INVALID_PARAMETER;
    return CopyFileA(source, target, FALSE) ? ERROR_SUCCESS : Last();
}

DWORD PlatDeleteFile(const char *path) {
    if (path == nullptr) return ERROR_INVALID_PARAMETER;
    return DeleteFileA(path) ? ERROR_SUCCESS : Last();
}

DWORD PlatTruncateStream(FILE *stream, uint64_t length) {
    if (stream == nullptr) return ERROR_INVALID_PARAMETER;
    const errno_t err = _chsize_s(_fileno(stream), static_cast<__int64>(length));
    return err == 0 ? ERROR_SUCCESS : PlatErrorFromErrno(err);
}

DWORD PlatTruncateFile(const char *path) {
    if (path == nullptr) return ERROR_INVALID_PARAMETER;
    // Shares everything, so the log stream this process holds open does not block it.
    HANDLE h = Open(path, GENERIC_READ | GENERIC_WRITE, kShareAll, TRUNCATE_EXISTING,
                    FILE_ATTRIBUTE_NORMAL);
    if (h == INVALID_HANDLE_VALUE) return Last();
    CloseHandle(h);
    return ERROR_SUCCESS;
}

DWORD PlatOpenExclusive(const char *path, PlatFile **out) {
    if (path == nullptr || out == nullptr) return ERROR_INVALID_PARAMETER;
    *out = nullptr;
    HANDLE h = Open(path, GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL);
    if (h == INVALID_HANDLE_VALUE) return Last();
    *out = new PlatFile{h};
    return ERROR_SUCCESS;
}

void PlatCloseFile(PlatFile *file) {
    if (file == nullptr) return;
    CloseHandle(file->handle);
    delete file;
}

}  // extern "C"
