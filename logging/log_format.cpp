// The log's formatter: walks the format one conversion at a time, so that "%S" can be
// rendered from UTF-16 while everything else goes through snprintf unchanged.
#include "logging/log_format.h"

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <type_traits>

#include "platform/text.h"

namespace {

// A wint_t argument arrives as an int where wint_t is narrower (16 bits on Windows).
using PromotedWint = std::conditional_t<(sizeof(wint_t) < sizeof(int)), int, wint_t>;

template <typename... Args>
void AppendPrintf(std::string &out, const char *conversion, Args... args) {
    char small[256];
    int n = snprintf(small, sizeof small, conversion, args...);
    if (n < 0) return;
    if (size_t(n) < sizeof small) {
        out.append(small, size_t(n));
        return;
    }
    size_t at = out.size();
    out.resize(at + size_t(n) + 1);
    snprintf(&out[at], size_t(n) + 1, conversion, args...);
    out.resize(at + size_t(n));
}

// Formats one argument with the star arguments that came before it.
template <typename T>
void AppendOne(std::string &out, const char *conversion, int stars, const int *star, T value) {
    if (stars == 0) AppendPrintf(out, conversion, value);
    if (stars == 1) AppendPrintf(out, conversion, star[0], value);
    if (stars == 2) AppendPrintf(out, conversion, star[0], star[1], value);
}

}  // namespace

void AppendFormatted(std::string &out, const char *format, va_list args) {
    if (format == nullptr) return;
    va_list ap;
    va_copy(ap, args);
    const char *p = format;
    while (*p) {
        const char *pct = strchr(p, '%');
        if (pct == nullptr) {
            out.append(p);
            break;
        }
        out.append(p, size_t(pct - p));
        const char *q = pct + 1;
        if (*q == '%') {
            out.push_back('%');
            p = q + 1;
            continue;
        }
        int star[2];
        int stars = 0;
        q += strspn(q, "-+ #0'");
        if (*q == '*') {
            star[stars++] = va_arg(ap, int);
            ++q;
        } else {
            q += strspn(q, "0123456789");
        }
        if (*q == '.') {
            ++q;
            if (*q == '*') {
                star[stars++] = va_arg(ap, int);
                ++q;
            } else {
                q += strspn(q, "0123456789");
            }
        }
        const char *lengthStart = q;
        q += strspn(q, "hlLjztq");
        std::string length(lengthStart, size_t(q - lengthStart));
        char conv = *q;
        if (conv == '\0') {  // a format ending inside a conversion is copied as it stands
            out.append(pct);
            break;
        }
        p = q + 1;
        // The plain "%s" and "%d" of most lines skip snprintf; the output is the same.
        if (q == pct + 1 && conv == 's') {
            const char *text = va_arg(ap, const char *);
            out.append(text != nullptr ? text : "(null)");
            continue;
        }
        if (q == pct + 1 && conv == 'd') {
            char digits[16];
            const auto end = std::to_chars(digits, digits + sizeof digits, va_arg(ap, int)).ptr;
            out.append(digits, size_t(end - digits));
            continue;
        }
        std::string conversion(pct, size_t(q - pct + 1));
        switch (conv) {
            case 'd':
            case 'i':
                if (length == "ll" || length == "q" || length == "j") {
                    AppendOne(out, conversion.c_str(), stars, star, va_arg(ap, long long));
                } else if (length == "l" || length == "z" || length == "t") {
                    AppendOne(out, conversion.c_str(), stars, star, va_arg(ap, long));
                } else {
                    AppendOne(out, conversion.c_str(), stars, star, va_arg(ap, int));
                }
                break;
            case 'u':
            case 'o':
            case 'x':
            case 'X':
                if (length == "ll" || length == "q" || length == "j") {
                    AppendOne(out, conversion.c_str(), stars, star, va_arg(ap, unsigned long long));
                } else if (length == "l" || length == "z" || length == "t") {
                    AppendOne(out, conversion.c_str(), stars, star, va_arg(ap, unsigned long));
                } else {
                    AppendOne(out, conversion.c_str(), stars, star, va_arg(ap, unsigned));
                }
                break;
            case 'c':
                if (length == "l") {
                    AppendOne(out, conversion.c_str(), stars, star,
                              wint_t(va_arg(ap, PromotedWint)));
                } else {
                    AppendOne(out, conversion.c_str(), stars, star, va_arg(ap, int));
                }
                break;
            case 's':
                if (length == "l") {
                    AppendOne(out, conversion.c_str(), stars, star, va_arg(ap, const wchar_t *));
                } else {
                    AppendOne(out, conversion.c_str(), stars, star, va_arg(ap, const char *));
                }
                break;
            case 'S': {
                const char16_t *wide = va_arg(ap, const char16_t *);
                std::string narrow = wide ? Utf16ToUtf8(wide) : "(null)";
                conversion.back() = 's';
                AppendOne(out, conversion.c_str(), stars, star, narrow.c_str());
                break;
            }
            case 'p':
                AppendOne(out, conversion.c_str(), stars, star, va_arg(ap, void *));
                break;
            case 'f':
            case 'F':
            case 'e':
            case 'E':
            case 'g':
            case 'G':
            case 'a':
            case 'A':
                if (length == "L") {
                    AppendOne(out, conversion.c_str(), stars, star, va_arg(ap, long double));
                } else {
                    AppendOne(out, conversion.c_str(), stars, star, va_arg(ap, double));
                }
                break;
            case 'n':
                (void)va_arg(ap, void *);
                break;  // writes through a pointer: never
            default:
                out.append(conversion);
                break;
        }
    }
    va_end(ap);
}
