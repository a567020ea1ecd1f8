// The C runtime's errno values as Windows error codes, for both backends: the POSIX backend
// maps every failed system call this way, the Win32 backend the C runtime calls it makes.
// Some values exist on one system only.
#include <errno.h>

#include "platform/errors.h"

extern "C" {

DWORD PlatErrorFromErrno(int err) {
    switch (err) {
        case 0:
            return ERROR_SUCCESS;
        case ENOENT:
            return ERROR_FILE_NOT_FOUND;
        case ENOTDIR:
            return ERROR_PATH_NOT_FOUND;
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR:
            return ERROR_ACCESS_DENIED;
        case EBADF:
            return ERROR_INVALID_HANDLE;
        case ENOMEM:
            return ERROR_NOT_ENOUGH_MEMORY;
        case EMFILE:
        case ENFILE:
            return ERROR_TOO_MANY_OPEN_FILES;
        case EXDEV:
            return ERROR_NOT_SAME_DEVICE;
        case EBUSY:
#ifdef ETXTBSY
        case ETXTBSY:
#endif
            return ERROR_SHARING_VIOLATION;
#ifdef EWOULDBLOCK
        case EWOULDBLOCK:
            return ERROR_LOCK_VIOLATION;
#endif
        case EEXIST:
            return ERROR_ALREADY_EXISTS;
        case EINVAL:
            return ERROR_INVALID_PARAMETER;
        case EPIPE:
            return ERROR_BROKEN_PIPE;
        case ENOSPC:
#ifdef EDQUOT
        case EDQUOT:
#endif
            return ERROR_DISK_FULL;
        case ENAMETOOLONG:
            return ERROR_FILENAME_EXCED_RANGE;
        case ENOTEMPTY:
            return ERROR_DIR_NOT_EMPTY;
#ifdef ENOTSUP
        case ENOTSUP:
            return ERROR_NOT_SUPPORTED;
#endif
        default:
            return ERROR_GEN_FAILURE;
    }
}

}  // extern "C"
