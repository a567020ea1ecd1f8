/*
 * Windows error codes on every backend: the thread's last error, the mapping of the C
 * runtime's errno values to Windows codes, and the system text of a code: on POSIX the
 * English text of the codes the backend can produce, on Windows FormatMessage's text in the
 * user's default language.
 */
#ifndef KV_PLATFORM_ERRORS_H
#define KV_PLATFORM_ERRORS_H

#include "platform/win_defs.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The calling thread's last error, set by every platform call that fails. */
DWORD PlatGetLastError(void);
void PlatSetLastError(DWORD code);

/* The Windows code for a host errno value (ENOENT -> 2, EACCES -> 5, ...). */
DWORD PlatErrorFromErrno(int err);

/* The system's text for code, as FormatMessage gives it: one line ending in " " when
 * oneLine is set, else ending in "\r\n". Null for a code without a system text. The text
 * is static; the caller must not free it. */
const char *PlatSystemMessage(DWORD code, int oneLine);

#ifdef __cplusplus
}
#endif

#endif /* KV_PLATFORM_ERRORS_H */
