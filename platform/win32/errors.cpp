// Windows error codes and the system's message texts for the Win32 backend.
#include "platform/win32/win_api.h"

#include <map>
#include <mutex>
#include <string>
#include <utility>

#include "platform/errors.h"
#include "platform/text.h"

namespace {

// FormatMessageW's text in UTF-8, or "" when the system has none.
std::string LookUp(DWORD code, bool oneLine) {
    DWORD flags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS |
                  FORMAT_MESSAGE_ALLOCATE_BUFFER | (oneLine ? FORMAT_MESSAGE_MAX_WIDTH_MASK : 0);
    wchar_t *buffer = nullptr;
    DWORD n = FormatMessageW(flags, nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                             reinterpret_cast<wchar_t *>(&buffer), 0, nullptr);
    std::string text;
    if (n != 0 && buffer != nullptr)
        text = Utf16ToUtf8(std::u16string_view(reinterpret_cast<const char16_t *>(buffer), n));
    if (buffer != nullptr) LocalFree(buffer);
    return text;
}

}  // namespace

extern "C" {

DWORD PlatGetLastError(void) {
    return GetLastError();
}

void PlatSetLastError(DWORD code) {
    SetLastError(code);
}

const char *PlatSystemMessage(DWORD code, int oneLine) {
    // The texts are handed out as static strings: each is looked up once and kept, so a
    // caller's pointer stays valid; the set of codes a process meets is small.
    static std::mutex mu;
    static std::map<std::pair<DWORD, bool>, std::string> *cache =
        new std::map<std::pair<DWORD, bool>, std::string>;
    DWORD saved = GetLastError();  // callers report the last error after asking for its text
    std::lock_guard<std::mutex> lock(mu);
    auto key = std::make_pair(code, oneLine != 0);
    auto it = cache->find(key);
    if (it == cache->end()) it = cache->emplace(key, LookUp(code, oneLine != 0)).first;
    SetLastError(saved);
    return it->second.empty() ? nullptr : it->second.c_str();
}

}  // extern "C"
