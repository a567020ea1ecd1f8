// UTF-8 <-> UTF-16 conversion for the POSIX backend, decoding as Windows does.
#include "platform/text.h"

#include <string.h>

#include "platform/errors.h"

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one code point at text[i], advancing i; malformed input gives U+FFFD and
// consumes one byte, as Windows does.
char32_t DecodeUtf8(const unsigned char *text, size_t len, size_t &i) {
    unsigned char c = text[i++];
    if (c < 0x80) return c;
    int extra;
    char32_t cp;
    if ((c & 0xE0) == 0xC0) {
        extra = 1;
        cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
        extra = 2;
        cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
        extra = 3;
        cp = c & 0x07;
    } else {
        return kReplacement;
    }
    if (i + extra > len) return kReplacement;
    for (int k = 0; k < extra; ++k) {
        if ((text[i + k] & 0xC0) != 0x80) return kReplacement;
        cp = (cp << 6) | (text[i + k] & 0x3F);
    }
    static const char32_t kMin[] = {0, 0x80, 0x800, 0x10000};
    if (cp < kMin[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return kReplacement;
    i += extra;
    return cp;
}

char32_t DecodeUtf16(const char16_t *text, size_t len, size_t &i) {
    char16_t c = text[i++];
    if (c < 0xD800 || c > 0xDFFF) return c;
    if (c <= 0xDBFF && i < len && text[i] >= 0xDC00 && text[i] <= 0xDFFF) {
        char32_t cp = 0x10000 + ((char32_t(c) - 0xD800) << 10) + (text[i] - 0xDC00);
        ++i;
        return cp;
    }
    return kReplacement;
}

void AppendUtf16(std::u16string &out, char32_t cp) {
    if (cp < 0x10000) {
        out.push_back(char16_t(cp));
    } else {
        cp -= 0x10000;
        out.push_back(char16_t(0xD800 + (cp >> 10)));
        out.push_back(char16_t(0xDC00 + (cp & 0x3FF)));
    }
}

void AppendUtf8(std::string &out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(char(cp));
    } else if (cp < 0x800) {
        out.push_back(char(0xC0 | (cp >> 6)));
        out.push_back(char(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(char(0xE0 | (cp >> 12)));
        out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(char(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(char(0xF0 | (cp >> 18)));
        out.push_back(char(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(char(0x80 | (cp & 0x3F)));
    }
}

// Copies a converted result out the way the Windows calls do.
template <typename Unit, typename Str>
int Deliver(const Str &converted, Unit *out, int outLen) {
    int n = static_cast<int>(converted.size());
    if (out == nullptr || outLen == 0) return n;
    if (outLen < n) {
        PlatSetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    memcpy(out, converted.data(), n * sizeof(Unit));
    return n;
}

}  // namespace

std::u16string Utf8ToUtf16(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    const auto *p = reinterpret_cast<const unsigned char *>(text.data());
    for (size_t i = 0; i < text.size();) AppendUtf16(out, DecodeUtf8(p, text.size(), i));
    return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) AppendUtf8(out, DecodeUtf16(text.data(), text.size(), i));
    return out;
}

extern "C" {

size_t PlatWideLength(const char16_t *text) {
    size_t n = 0;
    while (text[n] != 0) ++n;
    return n;
}

int PlatUtf8ToUtf16(const char *src, int srcLen, char16_t *out, int outLen) {
    if (src == nullptr || outLen < 0) {
        PlatSetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    size_t n = srcLen < 0 ? strlen(src) + 1 : size_t(srcLen);
    return Deliver(Utf8ToUtf16(std::string_view(src, n)), out, outLen);
}

int PlatUtf16ToUtf8(const char16_t *src, int srcLen, char *out, int outLen) {
    if (src == nullptr || outLen < 0) {
        PlatSetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    size_t n = srcLen < 0 ? PlatWideLength(src) + 1 : size_t(srcLen);
    return Deliver(Utf16ToUtf8(std::u16string_view(src, n)), out, outLen);
}

}  // extern "C"
