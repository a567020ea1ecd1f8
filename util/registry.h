/*
 * Registry wrappers used by the tool's start-up and the policy switch.
 *
 * Each returns 0 or the Windows error code of the step that failed, and logs every step.
 * Text handed in is the caller's and is UTF-8; values are stored as UTF-16. Buffers handed
 * out (*out of ReadRegSZ, ReadAgentInstallDir, ChangeUtf8ToWideStr) are malloc'd and freed
 * by the caller. A name or data text of exactly "--" means the default value or empty data.
 */
#ifndef KV_UTIL_REGISTRY_H
#define KV_UTIL_REGISTRY_H

#include "platform/win_defs.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The agent's install folder as read by ReadAgentInstallDir at start-up, or null. */
extern char *gv_agentInstallDir;

DWORD addRegistryKey(HKEY root, const char *subkey);
/* 13 when valueName or valueData is null. */
DWORD writeValue(HKEY root, const char *subkey, const char *valueName, const char *valueData,
                 DWORD dataType);
DWORD ReadDwordRegistryData(HKEY root, const char *subkey, const char *valueName, DWORD *out);
/* *out is null first, then a zeroed buffer of the value's size plus 5 bytes. */
DWORD ReadRegSZ(HKEY root, const char *subkey, const char *valueName, char **out);
DWORD ReadAgentInstallDir(char **out);
/* 1, or 0 for a null text or a failed conversion. */
int ChangeUtf8ToWideStr(const char *text, char16_t **out);

#ifdef __cplusplus
}
#endif

#endif /* KV_UTIL_REGISTRY_H */
