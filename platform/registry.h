/*
 * The registry as the code above the platform sees it: keys under a root, opened into a
 * handle, values read in the narrow form and written in the wide form.
 *
 * Every call returns 0 or a Windows error code: a missing key or value gives
 * ERROR_FILE_NOT_FOUND (2), a store that cannot be written ERROR_ACCESS_DENIED (5), a store
 * file that does not parse ERROR_BADDB (1009), a too-small buffer ERROR_MORE_DATA (234) with
 * the size needed stored in *size. Names are case-insensitive and keep the case they were
 * created with; a null or empty value name means the key's default value.
 *
 * A handle belongs to the caller, who releases it with PlatRegCloseKey. Handles may be used
 * from any thread; each change is atomic against other threads and processes.
 */
#ifndef KV_PLATFORM_REGISTRY_H
#define KV_PLATFORM_REGISTRY_H

#include "platform/win_defs.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct PlatRegKey PlatRegKey;

/* Creates the key and any missing parents, or opens it when it exists; *disposition (may be
 * null) receives REG_CREATED_NEW_KEY or REG_OPENED_EXISTING_KEY. */
DWORD PlatRegCreateKey(HKEY root, const char *subkey, DWORD access, PlatRegKey **out,
                       DWORD *disposition);
DWORD PlatRegOpenKey(HKEY root, const char *subkey, DWORD access, PlatRegKey **out);
DWORD PlatRegCloseKey(PlatRegKey *key);

/* Narrow read: string types stored as UTF-16 come back as narrow text, UTF-8 on POSIX and
 * the ANSI code page on Windows (RegQueryValueExA's, which the narrow file calls take too).
 * type and data may be null; with data null only the size is reported (on Windows an upper
 * bound for string types). */
DWORD PlatRegQueryValue(PlatRegKey *key, const char *name, DWORD *type, BYTE *data, DWORD *size);

/* Stores size bytes of data under the UTF-16 name as they are. */
DWORD PlatRegSetValueW(PlatRegKey *key, const char16_t *name, DWORD type, const BYTE *data,
                       DWORD size);

DWORD PlatRegDeleteValue(PlatRegKey *key, const char *name);
/* Deletes the key with all its subkeys and values. */
DWORD PlatRegDeleteTree(HKEY root, const char *subkey);

#ifdef __cplusplus
}
#endif

#endif /* KV_PLATFORM_REGISTRY_H */
