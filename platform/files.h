/*
 * Files and folders. Paths may use "\" as a folder separator, as the Windows code builds
 * them; the POSIX backend turns each "\" into "/" before it asks the system, the Win32
 * backend hands paths on as they are.
 *
 * Calls return 0 or a Windows error code (the last error is set too), except
 * PlatMakeDirectory, which keeps the C runtime's convention of errno values, and
 * PlatOpenStream, which returns a C stream or null.
 */
#ifndef KV_PLATFORM_FILES_H
#define KV_PLATFORM_FILES_H

#include <stdint.h>
#include <stdio.h>

#include "platform/win_defs.h"

#ifdef __cplusplus
extern "C" {
#endif

/* fopen with the path made native; null with errno and the last error set on failure. */
FILE *PlatOpenStream(const char *path, const char *mode);

/* Creates one folder: 0, or errno (EEXIST when it exists, ENOENT when a parent is missing). */
int PlatMakeDirectory(const char *path);

/* The size of an existing file; a folder counts as 0 bytes. */
DWORD PlatGetFileSize(const char *path, uint64_t *size);
/* Copies source over target, which is created or overwritten; a copy that fails part way
 * (a full disk) is removed, not left cut short. */
DWORD PlatCopyFile(const char *source, const char *target);
DWORD PlatDeleteFile(const char *path);
/* Cuts the file of an open stream to length bytes (the stream's own buffer is not touched:
 * meant for unbuffered streams). 0, or a Windows error code. */
DWORD PlatTruncateStream(FILE *stream, uint64_t length);
/* Empties an existing file in place; writers that append go on at the new end. */
DWORD PlatTruncateFile(const char *path);

/* Opens an existing file for reading and writing, refused with ERROR_SHARING_VIOLATION
 * while another exclusive open holds it. The caller closes it with PlatCloseFile. */
typedef struct PlatFile PlatFile;
DWORD PlatOpenExclusive(const char *path, PlatFile **out);
void PlatCloseFile(PlatFile *file);

#ifdef __cplusplus
}

#include <string>
#include <vector>
/* The path with every "\" turned into the native separator (unchanged on Windows). */
std::string PlatNativePath(const char *path);

/* The names in folder that begin with prefix, compared without regard to case as Windows
 * matches "prefix*.*" (an empty prefix matches every entry, "." and ".." included), in the
 * order the system lists them. ERROR_PATH_NOT_FOUND for a missing folder,
 * ERROR_FILE_NOT_FOUND when nothing matches. */
DWORD PlatListByPrefix(const char *folder, const char *prefix, std::vector<std::string> *names);
#endif

#endif /* KV_PLATFORM_FILES_H */
