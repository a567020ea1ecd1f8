// The registry calls for the Win32 backend: the system registry, keys created and opened
// through the narrow calls, values read narrow and written wide. The process works in its
// own registry view (no 32- or 64-bit view flag), as the code above expects.
#include "platform/win32/win_api.h"

#include <new>

#include "platform/errors.h"
#include "platform/registry.h"

struct PlatRegKey {
    HKEY handle;
};

namespace {

DWORD Fail(LSTATUS code) {
    if (code != ERROR_SUCCESS) SetLastError(DWORD(code));
    return DWORD(code);
}

DWORD NewHandle(HKEY handle, PlatRegKey **out) {
    *out = new (std::nothrow) PlatRegKey{handle};
    if (*out != nullptr) return ERROR_SUCCESS;
    RegCloseKey(handle);
    return Fail(ERROR_NOT_ENOUGH_MEMORY);
}

}  // namespace

extern "C" {

DWORD PlatRegCreateKey(HKEY root, const char *subkey, DWORD access, PlatRegKey **out,
                       DWORD *disposition) {
    if (out == nullptr) return Fail(ERROR_INVALID_PARAMETER);
    *out = nullptr;
    HKEY handle = nullptr;
    DWORD made = 0;
    LSTATUS code = RegCreateKeyExA(root, subkey ? subkey : "", 0, nullptr, REG_OPTION_NON_VOLATILE,
                                   access, nullptr, &handle, &made);
    if (code != ERROR_SUCCESS) return Fail(code);
    if (disposition) *disposition = made;
    return NewHandle(handle, out);
}

DWORD PlatRegOpenKey(HKEY root, const char *subkey, DWORD access, PlatRegKey **out) {
    if (out == nullptr) return Fail(ERROR_INVALID_PARAMETER);
    *out = nullptr;
    HKEY handle = nullptr;
    LSTATUS code = RegOpenKeyExA(root, subkey, 0, access, &handle);
    if (code != ERROR_SUCCESS) return Fail(code);
    return NewHandle(handle, out);
}

DWORD PlatRegCloseKey(PlatRegKey *key) {
    if (key == nullptr) return Fail(ERROR_INVALID_HANDLE);
    LSTATUS code = RegCloseKey(key->handle);
    delete key;
    return Fail(code);
}

DWORD PlatRegQueryValue(PlatRegKey *key, const char *name, DWORD *type, BYTE *data, DWORD *size) {
    if (key == nullptr) return Fail(ERROR_INVALID_HANDLE);
    return Fail(RegQueryValueExA(key->handle, name, nullptr, type, data, size));
}

DWORD PlatRegSetValueW(PlatRegKey *key, const char16_t *name, DWORD type, const BYTE *data,
                       DWORD size) {
    if (key == nullptr) return Fail(ERROR_INVALID_HANDLE);
    return Fail(RegSetValueExW(key->handle, reinterpret_cast<LPCWSTR>(name), 0, type, data, size));
}

DWORD PlatRegDeleteValue(PlatRegKey *key, const char *name) {
    if (key == nullptr) return Fail(ERROR_INVALID_HANDLE);
    return Fail(RegDeleteValueA(key->handle, name));
}

DWORD PlatRegDeleteTree(HKEY root, const char *subkey) {
    if (subkey == nullptr || *subkey == '\0') {
        // Only the subkeys and values of a root can go; the root stays.
        return Fail(RegDeleteTreeA(root, nullptr));
    }
    return Fail(RegDeleteTreeA(root, subkey));
}

}  // extern "C"
