/*
 * Windows names for the few types, registry roots and error codes that the code above the
 * platform layer uses. On Windows the SDK defines the same names with the same values; every
 * definition here is guarded, so a translation unit of the Win32 backend may include both.
 */
#ifndef KV_PLATFORM_WIN_DEFS_H
#define KV_PLATFORM_WIN_DEFS_H

#include <stdint.h>

#ifdef _WIN32
typedef unsigned long DWORD; /* 32 bits on every Windows compiler */
#else
typedef uint32_t DWORD;
#endif
typedef unsigned char BYTE;

#ifndef _WINDEF_
struct HKEY__ {
    int unused;
};
typedef struct HKEY__ *HKEY;
#endif

/* Sign-extended from 32 bits as the SDK does, so the values match on 64-bit Windows too. */
#ifndef HKEY_CLASSES_ROOT
#define HKEY_CLASSES_ROOT ((HKEY)(intptr_t)(int32_t)0x80000000)
#define HKEY_CURRENT_USER ((HKEY)(intptr_t)(int32_t)0x80000001)
#define HKEY_LOCAL_MACHINE ((HKEY)(intptr_t)(int32_t)0x80000002)
#define HKEY_USERS ((HKEY)(intptr_t)(int32_t)0x80000003)
#define HKEY_CURRENT_CONFIG ((HKEY)(intptr_t)(int32_t)0x80000005)
#endif

#ifndef REG_NONE
#define REG_NONE 0
#define REG_SZ 1
#define REG_EXPAND_SZ 2
#define REG_BINARY 3
#define REG_DWORD 4
#define REG_DWORD_BIG_ENDIAN 5
#define REG_LINK 6
#define REG_MULTI_SZ 7
#define REG_QWORD 11
#endif

#ifndef KEY_QUERY_VALUE
#define KEY_QUERY_VALUE 0x0001
#define KEY_SET_VALUE 0x0002
#define KEY_CREATE_SUB_KEY 0x0004
#define KEY_ENUMERATE_SUB_KEYS 0x0008
#define KEY_READ 0x20019
#define KEY_WRITE 0x20006
#define KEY_ALL_ACCESS 0xF003F
#endif

#ifndef REG_CREATED_NEW_KEY
#define REG_CREATED_NEW_KEY 1
#define REG_OPENED_EXISTING_KEY 2
#endif

#ifndef ERROR_SUCCESS
#define ERROR_SUCCESS 0
#define ERROR_INVALID_FUNCTION 1
#define ERROR_FILE_NOT_FOUND 2
#define ERROR_PATH_NOT_FOUND 3
#define ERROR_TOO_MANY_OPEN_FILES 4
#define ERROR_ACCESS_DENIED 5
#define ERROR_INVALID_HANDLE 6
#define ERROR_NOT_ENOUGH_MEMORY 8
#define ERROR_INVALID_DATA 13
#define ERROR_OUTOFMEMORY 14
#define ERROR_NOT_SAME_DEVICE 17
#define ERROR_NO_MORE_FILES 18
#define ERROR_GEN_FAILURE 31
#define ERROR_SHARING_VIOLATION 32
#define ERROR_LOCK_VIOLATION 33
#define ERROR_HANDLE_DISK_FULL 39
#define ERROR_NOT_SUPPORTED 50
#define ERROR_FILE_EXISTS 80
#define ERROR_INVALID_PARAMETER 87
#define ERROR_BROKEN_PIPE 109
#define ERROR_DISK_FULL 112
#define ERROR_INSUFFICIENT_BUFFER 122
#define ERROR_DIR_NOT_EMPTY 145
#define ERROR_BUSY 170
#define ERROR_ALREADY_EXISTS 183
#define ERROR_FILENAME_EXCED_RANGE 206
#define ERROR_MORE_DATA 234
#define ERROR_NO_MORE_ITEMS 259
#define ERROR_DIRECTORY 267
#define ERROR_NOT_OWNER 288
#define ERROR_BADDB 1009
#define ERROR_BADKEY 1010
#define ERROR_CANTOPEN 1011
#define ERROR_CANTREAD 1012
#define ERROR_CANTWRITE 1013
#define ERROR_KEY_DELETED 1018
#define ERROR_CANCELLED 1223
#endif

#endif /* KV_PLATFORM_WIN_DEFS_H */
