/*
 * Files and folders. Paths may use "\" as a folder separator, as the Windows code builds
 * them; the POSIX backend turns each "\" into "/" before it asks the system.
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

#ifdef __cplusplus
}

#include <string>
/* The path with every "\" turned into the native separator. */
std::string PlatNativePath(const char *path);
#endif

#endif /* KV_PLATFORM_FILES_H */
