// Files and folders for the POSIX backend.
#include "platform/files.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/errors.h"

std::string PlatNativePath(const char *path) {
    std::string out(path ? path : "");
    for (char &c : out) {
        if (c == '\\') c = '/';
    }
    return out;
}

extern "C" {

FILE *PlatOpenStream(const char *path, const char *mode) {
    if (path == nullptr || mode == nullptr) {
        errno = EINVAL;
        PlatSetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    FILE *f = fopen(PlatNativePath(path).c_str(), mode);
    if (f == nullptr) PlatSetLastError(PlatErrorFromErrno(errno));
    return f;
}

int PlatMakeDirectory(const char *path) {
    if (path == nullptr) return EINVAL;
    if (mkdir(PlatNativePath(path).c_str(), 0777) == 0) return 0;
    PlatSetLastError(PlatErrorFromErrno(errno));
    return errno;
}

}  // extern "C"

namespace {

DWORD LastErrno() {
    DWORD code = PlatErrorFromErrno(errno);
    PlatSetLastError(code);
    return code;
}

bool WriteAll(int fd, const char *data, size_t size) {
    while (size > 0) {
        ssize_t n = write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= size_t(n);
    }
    return true;
}

}  // namespace

struct PlatFile {
    int fd;
};

DWORD PlatListByPrefix(const char *folder, const char *prefix, std::vector<std::string> *names) {
    names->clear();
    DIR *dir = opendir(PlatNativePath(folder).c_str());
    if (dir == nullptr) {
        DWORD code =
            errno == ENOENT || errno == ENOTDIR ? ERROR_PATH_NOT_FOUND : PlatErrorFromErrno(errno);
        PlatSetLastError(code);
        return code;
    }
    size_t n = strlen(prefix ? prefix : "");
    while (struct dirent *entry = readdir(dir)) {
        if (strncasecmp(entry->d_name, prefix ? prefix : "", n) == 0)
            names->push_back(entry->d_name);
    }
    closedir(dir);
    if (names->empty()) {
        PlatSetLastError(ERROR_FILE_NOT_FOUND);
        return ERROR_FILE_NOT_FOUND;
    }
    return ERROR_SUCCESS;
}

extern "C" {

DWORD PlatGetFileSize(const char *path, uint64_t *size) {
    if (path == nullptr || size == nullptr) return ERROR_INVALID_PARAMETER;
    struct stat st;
    if (stat(PlatNativePath(path).c_str(), &st) != 0) return LastErrno();
    *size = S_ISDIR(st.st_mode) ? 0 : uint64_t(st.st_size);
    return ERROR_SUCCESS;
}

DWORD PlatCopyFile(const char *source, const char *target) {
    if (source == nullptr || target == nullptr) return ERROR_INVALID_PARAMETER;
    int in = open(PlatNativePath(source).c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return LastErrno();
    struct stat st;
    mode_t mode = fstat(in, &st) == 0 ? (st.st_mode & 0777) : 0644;
    int out = open(PlatNativePath(target).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
    if (out < 0) {
        DWORD code = LastErrno();
        close(in);
        return code;
    }
    DWORD code = ERROR_SUCCESS;
    char buf[65536];
    for (;;) {
        ssize_t n = read(in, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 || (n > 0 && !WriteAll(out, buf, size_t(n)))) {
            code = LastErrno();
            break;
        }
        if (n == 0) break;
    }
    close(in);
    if (close(out) != 0 && code == ERROR_SUCCESS) code = LastErrno();
    // A copy cut short (a full disk) would pass for a whole one: it is not left behind.
    if (code != ERROR_SUCCESS) unlink(PlatNativePath(target).c_str());
    return code;
}

DWORD PlatDeleteFile(const char *path) {
    if (path == nullptr) return ERROR_INVALID_PARAMETER;
    return unlink(PlatNativePath(path).c_str()) == 0 ? ERROR_SUCCESS : LastErrno();
}

DWORD PlatTruncateStream(FILE *stream, uint64_t length) {
    if (stream == nullptr) return ERROR_INVALID_PARAMETER;
    return ftruncate(fileno(stream), off_t(length)) == 0 ? ERROR_SUCCESS : LastErrno();
}

DWORD PlatTruncateFile(const char *path) {
    if (path == nullptr) return ERROR_INVALID_PARAMETER;
    int fd = open(PlatNativePath(path).c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0) return LastErrno();
    close(fd);
    return ERROR_SUCCESS;
}

DWORD PlatOpenExclusive(const char *path, PlatFile **out) {
    if (path == nullptr || out == nullptr) return ERROR_INVALID_PARAMETER;
    *out = nullptr;
    int fd = open(PlatNativePath(path).c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return LastErrno();
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        PlatSetLastError(ERROR_SHARING_VIOLATION);
        return ERROR_SHARING_VIOLATION;
    }
    *out = new PlatFile{fd};
    return ERROR_SUCCESS;
}

void PlatCloseFile(PlatFile *file) {
    if (file == nullptr) return;
    close(file->fd);
    delete file;
}

}  // extern "C"
