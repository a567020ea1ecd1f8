// The Windows API for the Win32 backend, and only for it: each of its sources includes this
// header first, so that <windows.h> defines the names platform/win_defs.h defines too (that
// header steps aside for them) and its macros over common names (DeleteFile, CreateFile, min,
// max) never reach code above the platform layer.
#ifndef KV_PLATFORM_WIN32_WIN_API_H
#define KV_PLATFORM_WIN32_WIN_API_H

#ifndef _WIN32
#error "platform/win32/ is the backend for Windows targets; other systems build platform/posix/"
#endif

#ifndef _WIN32_WINNT
#define _WIN32_WINNT 0x0601  // Windows 7; RegDeleteTree needs at least Vista
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "platform/win_defs.h"

#endif  // KV_PLATFORM_WIN32_WIN_API_H
