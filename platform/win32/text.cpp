// UTF-8 <-> UTF-16 conversion for the Win32 backend: the system's own conversion.
#include "platform/win32/win_api.h"

#include <climits>

#include "platform/text.h"

namespace {

LPWSTR Wide(char16_t *text) {
    return reinterpret_cast<LPWSTR>(text);
}

LPCWSTR Wide(const char16_t *text) {
    return reinterpret_cast<LPCWSTR>(text);
}

}  // namespace

std::u16string Utf8ToUtf16(std::string_view text) {
    if (text.empty() || text.size() > INT_MAX) return {};
    int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0);
    std::u16string out(size_t(n), u'\0');
    if (n > 0) MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), Wide(&out[0]), n);
    return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
    if (text.empty() || text.size() > INT_MAX) return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, Wide(text.data()), int(text.size()), nullptr, 0,
                                nullptr, nullptr);
    std::string out(size_t(n), '\0');
    if (n > 0)
        WideCharToMultiByte(CP_UTF8, 0, Wide(text.data()), int(text.size()), &out[0], n, nullptr,
                            nullptr);
    return out;
}

extern "C" {

size_t PlatWideLength(const char16_t *text) {
    return wcslen(Wide(text));
}

int PlatUtf8ToUtf16(const char *src, int srcLen, char16_t *out, int outLen) {
    if (srcLen == 0) return 0;  // Windows calls an empty source an error; nothing is converted
    return MultiByteToWideChar(CP_UTF8, 0, src, srcLen, Wide(out), out ? outLen : 0);
}

int PlatUtf16ToUtf8(const char16_t *src, int srcLen, char *out, int outLen) {
    if (srcLen == 0) return 0;
    return WideCharToMultiByte(CP_UTF8, 0, Wide(src), srcLen, out, out ? outLen : 0, nullptr,
                               nullptr);
}

}  // extern "C"
