// Files and folders for the POSIX backend.
#include "platform/files.h"

#include <errno.h>
#include <sys/stat.h>

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
