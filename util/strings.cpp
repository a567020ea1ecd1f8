// String and byte-buffer helpers; see strings.h for the contract.
#include "util/strings.h"

#include <limits.h>
#include <stdarg.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "logging/log.h"

namespace {

constexpr size_t kNotFound = std::string_view::npos;

// A difference of two unsigned bytes spans -255..255; clamping keeps its sign where a plain
// cast to 8 bits would flip it (and make sorted vectors inconsistent).
signed char Clamp8(int difference) {
    return static_cast<signed char>(std::clamp(difference, -128, 127));
}

// Null orders before any text.
bool NullOrder(const void *a, const void *b, signed char *result) {
    if (a != nullptr && b != nullptr) return false;
    *result = a == b ? 0 : (a == nullptr ? -1 : 1);
    return true;
}

char *NewString(std::string_view text) {
    char *copy = static_cast<char *>(calloc(text.size() + 1, 1));
    if (copy != nullptr && !text.empty()) memcpy(copy, text.data(), text.size());
    return copy;
}

// Position of pattern at or after from; an empty pattern is never found, so callers that
// continue after a match always advance.
size_t FindFrom(std::string_view text, std::string_view pattern, size_t from) {
    if (pattern.empty() || from > text.size()) return kNotFound;
    return text.find(pattern, from);
}

// Last occurrence as the left-to-right, non-overlapping scan meets them.
size_t FindLast(std::string_view text, std::string_view pattern) {
    size_t last = kNotFound;
    for (size_t at = FindFrom(text, pattern, 0); at != kNotFound;
         at = FindFrom(text, pattern, at + pattern.size())) {
        last = at;
    }
    return last;
}

char *RemoveAt(std::string_view text, size_t at, size_t length) {
    std::string result(text.substr(0, at));
    result.append(text.substr(at + length));
    return NewString(result);
}

bool IsAsciiLetter(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
bool IsAsciiDigit(unsigned char c) {
    return c >= '0' && c <= '9';
}
unsigned char FoldCase(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? c + 32 : c;
}

template <typename Keep>
char *Filter(const char *text, Keep keep) {
    if (text == nullptr) return nullptr;
    std::string result;
    for (const char *p = text; *p != '\0'; ++p) {
        if (keep(static_cast<unsigned char>(*p))) result.push_back(*p);
    }
    return NewString(result);
}

}  // namespace

extern "C" {

int AllocCopyString(char **out, const char *text) {
    if (out == nullptr) return 0;
    *out = nullptr;
    if (text == nullptr) return 0;
    *out = NewString(text);
    return *out != nullptr ? 1 : 99;
}

int AllocCopyBytes(char **out, const void *bytes, size_t n) {
    if (out == nullptr) return 0;
    *out = nullptr;
    if (bytes == nullptr && n > 0) return 0;
    char *copy = n < SIZE_MAX ? static_cast<char *>(calloc(n + 1, 1)) : nullptr;
    if (copy == nullptr) {
        LogError("Unable to allocate memory\n");
        return 99;
    }
    if (n > 0) memcpy(copy, bytes, n);
    *out = copy;
    return 1;
}

char *ConcatStrings(const char *first, const char *second) {
    if (first == nullptr || second == nullptr) return nullptr;
    std::string joined(first);
    joined.append(second);
    return NewString(joined);
}

signed char StrCompare(const char *a, const char *b) {
    return StrNCompare(a, b, std::numeric_limits<size_t>::max());
}

signed char StrNCompare(const char *a, const char *b, size_t n) {
    signed char order;
    if (NullOrder(a, b, &order)) return order;
    for (size_t i = 0; i < n; ++i) {
        unsigned char x = a[i], y = b[i];
        if (x != y) return Clamp8(int(x) - int(y));
        if (x == '\0') break;
    }
    return 0;
}

signed char StrCompareNoCase(const char *a, const char *b) {
    signed char order;
    if (NullOrder(a, b, &order)) return order;
    for (size_t i = 0;; ++i) {
        unsigned char x = FoldCase(a[i]), y = FoldCase(b[i]);
        if (x != y) return Clamp8(int(x) - int(y));
        if (x == '\0') return 0;
    }
}

signed char StrNCompareNoCase(const char *a, const char *b, size_t n) {
    signed char order;
    if (NullOrder(a, b, &order)) return order;
    size_t la = strlen(a), lb = strlen(b);
    size_t common = std::min({la, lb, n});
    for (size_t i = 0; i < common; ++i) {
        int x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x == y || x == y + 32 || y == x + 32) continue;
        return x > y ? 1 : -1;
    }
    if (common < n && la != lb) return la > lb ? 1 : -1;
    return 0;
}

signed char CompareBytes(const void *a, const void *b, size_t n) {
    signed char order;
    if (NullOrder(a, b, &order)) return order;
    const unsigned char *x = static_cast<const unsigned char *>(a);
    const unsigned char *y = static_cast<const unsigned char *>(b);
    for (size_t i = 0; i < n; ++i) {
        if (x[i] != y[i]) return Clamp8(int(x[i]) - int(y[i]));
    }
    return 0;
}

int IsInteger(const char *text, int length) {
    if (length <= 0) return 1;
    if (text == nullptr) return 0;
    for (int i = 0; i < length && text[i] != '\0'; ++i) {
        bool sign = i == 0 && (text[i] == '+' || text[i] == '-');
        if (!sign && !IsAsciiDigit(text[i])) return 0;
    }
    return 1;
}

int IsDecimal(const char *text, int length) {
    if (length <= 0) return 1;
    if (text == nullptr) return 0;
    int points = 0;
    for (int i = 0; i < length && text[i] != '\0'; ++i) {
        if (text[i] == '.') {
            if (++points > 1) return 0;
        } else if (!IsAsciiDigit(text[i])) {
            return 0;
        }
    }
    return 1;
}

int StringToInt(const char *text) {
    if (text == nullptr) return -1;
    size_t length = strlen(text);
    if (length > size_t(std::numeric_limits<int>::max()) || !IsInteger(text, int(length))) {
        return -1;
    }
    bool negative = text[0] == '-';
    const char *p = (text[0] == '-' || text[0] == '+') ? text + 1 : text;
    // Accumulate the magnitude in 64 bits and stop as soon as it leaves the 32-bit range.
    const long long limit = negative ? 2147483648LL : 2147483647LL;
    long long magnitude = 0;
    for (; *p != '\0'; ++p) {
        magnitude = magnitude * 10 + (*p - '0');
        if (magnitude > limit) return -1;
    }
    return static_cast<int>(negative ? -magnitude : magnitude);
}

double StringToDouble(const char *text) {
    if (text == nullptr) return 0;
    size_t length = strlen(text);
    if (length > size_t(std::numeric_limits<int>::max()) || !IsDecimal(text, int(length))) {
        return 0;
    }
    double whole = 0;
    const char *p = text;
    for (; IsAsciiDigit(*p); ++p) whole = whole * 10 + (*p - '0');
    if (*p != '.') return whole;
    // Digits beyond the 17th significant one cannot change a double, so they are dropped;
    // the scale may still run to infinity on a very long fraction, which only gives 0.
    double fraction = 0, scale = 1;
    for (++p; IsAsciiDigit(*p); ++p) {
        if (fraction >= 1e17) continue;
        fraction = fraction * 10 + (*p - '0');
        scale *= 10;
    }
    return whole + fraction / scale;
}

long long IntPower(int base, int exponent) {
    unsigned long long result = 1;
    for (int i = 0; i < exponent; ++i) result *= static_cast<unsigned long long>(base);
    return static_cast<long long>(result);
}

int ConvertToInteger(const unsigned char *bytes, int length) {
    LogTrace("@@@ Inside ConvertToInteger @@@\n");
    if (length == 0) return 0;
    if (length < 0 || length > 4 || bytes == nullptr) return -1;
    uint32_t value = 0;
    for (int i = 0; i < length; ++i) value = (value << 8) | bytes[i];
    if ((bytes[0] & 0x80) != 0 && length < 4) value |= ~uint32_t(0) << (8 * length);
    return static_cast<int32_t>(value);
}

unsigned int BytesToUnsigned(const unsigned char *bytes, int length) {
    uint32_t value = 0;
    for (int i = 0; bytes != nullptr && i < length; ++i) value = (value << 8) | bytes[i];
    return value;
}

void ReverseString(char *text, int n) {
    if (text != nullptr && n > 1) std::reverse(text, text + n);
}

char *LocateChar(const char *text, int c) {
    return text != nullptr ? const_cast<char *>(strchr(text, c)) : nullptr;
}

void *FindByte(const void *bytes, int c, size_t n) {
    return bytes != nullptr && n > 0 ? const_cast<void *>(memchr(bytes, c, n)) : nullptr;
}

int GetIndex(const char *text, int n, char c) {
    LogTrace("@@@ Inside GetIndex @@@\n");
    for (int i = 0; text != nullptr && i < n; ++i) {
        if (text[i] == c) return i;
        if (text[i] == '\0') break;
    }
    return -1;
}

char *FindAnyOf(const char *text, const char *set) {
    if (text == nullptr || set == nullptr) return nullptr;
    return const_cast<char *>(strpbrk(text, set));
}

size_t SpanOf(const char *text, const char *set) {
    return text != nullptr && set != nullptr ? strspn(text, set) : 0;
}

char *SubString(const char *text, const char *pattern) {
    LogTrace("@@@ Inside SubString @@@\n");
    if (text == nullptr || pattern == nullptr) return nullptr;
    size_t at = FindFrom(text, pattern, 0);
    return at != kNotFound ? const_cast<char *>(text + at) : nullptr;
}

int FindSubString(const char *text, const char *pattern) {
    LogTrace("@@@ Inside FindSubString @@@\n");
    return text != nullptr && pattern != nullptr && FindFrom(text, pattern, 0) != kNotFound;
}

int IndexOfSubstring(const char *text, const char *pattern) {
    if (text == nullptr || pattern == nullptr) return -1;
    size_t at = FindFrom(text, pattern, 0);
    return at != kNotFound ? int(at) : 0;
}

int LastIndexOfSubstring(const char *text, const char *pattern) {
    if (text == nullptr || pattern == nullptr) return -1;
    size_t at = FindLast(text, pattern);
    return at != kNotFound ? int(at) : -1;
}

int CountSubstring(const char *text, const char *pattern) {
    if (text == nullptr || pattern == nullptr) return -1;
    std::string_view t(text), p(pattern);
    int count = 0;
    for (size_t at = FindFrom(t, p, 0); at != kNotFound; at = FindFrom(t, p, at + p.size())) {
        ++count;
    }
    return count;
}

int StartsWith(const void *bytes, int length, const void *prefix, int prefixLength) {
    if (bytes == nullptr || prefix == nullptr || prefixLength < 0 || length < prefixLength) {
        return 0;
    }
    return memcmp(bytes, prefix, size_t(prefixLength)) == 0;
}

char *SubstringBefore(const char *text, const char *pattern) {
    if (text == nullptr || pattern == nullptr) return nullptr;
    std::string_view t(text);
    size_t at = FindFrom(t, pattern, 0);
    return NewString(at != kNotFound ? t.substr(0, at) : std::string_view());
}

char *SubstringAfter(const char *text, const char *pattern) {
    if (text == nullptr || pattern == nullptr) return nullptr;
    std::string_view t(text), p(pattern);
    size_t at = FindFrom(t, p, 0);
    return at != kNotFound ? NewString(t.substr(at + p.size())) : nullptr;
}

char *SubstringAfterLast(const char *text, const char *pattern) {
    if (text == nullptr || pattern == nullptr) return nullptr;
    std::string_view t(text), p(pattern);
    size_t at = FindLast(t, p);
    return NewString(at != kNotFound ? t.substr(at + p.size()) : t);
}

char *RemoveFirstSubstring(const char *text, const char *pattern) {
    if (text == nullptr || pattern == nullptr) return nullptr;
    std::string_view t(text), p(pattern);
    size_t at = FindFrom(t, p, 0);
    return at != kNotFound ? RemoveAt(t, at, p.size()) : nullptr;
}

char *RemoveLastSubstring(const char *text, const char *pattern) {
    if (text == nullptr || pattern == nullptr) return nullptr;
    std::string_view t(text), p(pattern);
    size_t at = FindLast(t, p);
    return at != kNotFound ? RemoveAt(t, at, p.size()) : nullptr;
}

char *RemoveAllSubstrings(const char *text, const char *pattern) {
    if (text == nullptr || pattern == nullptr) return nullptr;
    std::string_view t(text), p(pattern);
    std::string result;
    size_t from = 0;
    for (size_t at = FindFrom(t, p, 0); at != kNotFound; at = FindFrom(t, p, from)) {
        result.append(t.substr(from, at - from));
        from = at + p.size();
    }
    result.append(t.substr(from));
    return NewString(result);
}

char *KeepLetters(const char *text) {
    return Filter(text, IsAsciiLetter);
}

char *KeepAlphanumerics(const char *text) {
    return Filter(text, [](unsigned char c) { return IsAsciiLetter(c) || IsAsciiDigit(c); });
}

char *RemoveAlphanumerics(const char *text) {
    return Filter(text, [](unsigned char c) { return !IsAsciiLetter(c) && !IsAsciiDigit(c); });
}

char *TrimLeading(const char *text, char c) {
    if (text == nullptr || *text == '\0') return nullptr;
    std::string_view t(text);
    size_t first = t.find_first_not_of(c);
    return NewString(first != kNotFound ? t.substr(first) : std::string_view());
}

char *TrimTrailing(const char *text, char c) {
    if (text == nullptr) return nullptr;
    std::string_view t(text);
    size_t last = t.find_last_not_of(c);
    return NewString(last != kNotFound ? t.substr(0, last + 1) : std::string_view());
}

char *TrimChar(const char *text, char c) {
    char *leading = TrimLeading(text, c);
    if (leading == nullptr) return nullptr;
    char *both = TrimTrailing(leading, c);
    free(leading);
    return both;
}

char **SplitString(const char *text, const char *separator) {
    if (text == nullptr || separator == nullptr) return nullptr;
    std::string_view t(text), p(separator);
    std::vector<std::string_view> pieces;
    size_t from = 0;
    for (size_t at = FindFrom(t, p, 0); at != kNotFound; at = FindFrom(t, p, from)) {
        pieces.push_back(t.substr(from, at - from));
        from = at + p.size();
    }
    pieces.push_back(t.substr(from));
    char **array = static_cast<char **>(calloc(pieces.size() + 1, sizeof(char *)));
    if (array == nullptr) return nullptr;
    for (size_t i = 0; i < pieces.size(); ++i) {
        array[i] = NewString(pieces[i]);
        if (array[i] == nullptr) {
            FreeStringArray(array, int(i));
            return nullptr;
        }
    }
    return array;
}

char *StrTokenize(char *text, const char *delimiters, char **cursor) {
    if (cursor == nullptr) return nullptr;
    if (delimiters == nullptr) delimiters = "";
    char *start = text != nullptr ? text : *cursor;
    if (start == nullptr) return nullptr;
    start += strspn(start, delimiters);
    if (*start == '\0') {
        *cursor = nullptr;
        return nullptr;
    }
    char *end = start + strcspn(start, delimiters);
    if (*end != '\0') {
        *end = '\0';
        *cursor = end + 1;
    } else {
        *cursor = nullptr;
    }
    return start;
}

char **SplitBuffer(const char *bytes, int length, char separator, int *count, int **lengths) {
    if (count == nullptr || lengths == nullptr) return nullptr;
    *count = 0;
    *lengths = nullptr;
    if (length < 0 || (bytes == nullptr && length > 0)) return nullptr;
    int pieces = CountChar(bytes, length, separator) + 1;
    // One spare null entry so the array can also be walked to its end.
    char **array = static_cast<char **>(calloc(size_t(pieces) + 1, sizeof(char *)));
    int *sizes = static_cast<int *>(calloc(size_t(pieces), sizeof(int)));
    if (array == nullptr || sizes == nullptr) {
        free(array);
        free(sizes);
        return nullptr;
    }
    int start = 0, piece = 0;
    for (int i = 0; i <= length; ++i) {
        if (i < length && bytes[i] != separator) continue;
        sizes[piece] = i - start;
        array[piece] = NewString(std::string_view(bytes + start, size_t(i - start)));
        if (array[piece] == nullptr) {
            FreeStringArray(array, piece);
            free(sizes);
            return nullptr;
        }
        ++piece;
        start = i + 1;
    }
    *count = pieces;
    *lengths = sizes;
    return array;
}

int CountChar(const char *bytes, int length, char c) {
    int count = 0;
    for (int i = 0; bytes != nullptr && i < length; ++i) count += bytes[i] == c;
    return count;
}

int FindSeparator(const char *bytes, int length, char c, int *found) {
    for (int i = 0; bytes != nullptr && i < length; ++i) {
        if (bytes[i] == c) {
            if (found != nullptr) *found = 1;
            return i + 1;
        }
    }
    if (found != nullptr) *found = 0;
    return length;
}

int IsStringMatched(const char *list, int listLength, const char *item, int itemLength) {
    LogTrace("@@@ Inside IsStringMatched @@@\n");
    if (item == nullptr || itemLength < 0) return 0;
    int count = 0;
    int *lengths = nullptr;
    char **pieces = SplitBuffer(list, listLength, ',', &count, &lengths);
    if (pieces == nullptr) return 0;
    int matched = 0;
    for (int i = 0; i < count && !matched; ++i) {
        matched = lengths[i] == itemLength && memcmp(pieces[i], item, size_t(itemLength)) == 0;
    }
    FreeStringArray(pieces, count);
    free(lengths);
    return matched;
}

void FreeStringArray(char **strings, int count) {
    LogTrace("@@@ Inside FreeStringArray @@@\n");
    if (strings == nullptr) return;
    for (int i = 0; i < count; ++i) free(strings[i]);
    free(strings);
}

int StrLCopy(char *destination, const char *source, int size) {
    if (destination == nullptr || source == nullptr || size <= 0) return 0;
    size_t length = strlen(source);
    size_t copied = std::min(length, size_t(size) - 1);
    memcpy(destination, source, copied);
    destination[copied] = '\0';
    return int(std::min(length, size_t(std::numeric_limits<int>::max())));
}

int StrLCat(char *destination, const char *source, int size) {
    if (destination == nullptr || source == nullptr || size <= 0) return 0;
    // The destination may lack a terminator within size bytes; never read beyond them.
    size_t used = strnlen(destination, size_t(size));
    size_t length = strlen(source);
    if (used + 1 < size_t(size)) {
        size_t copied = std::min(length, size_t(size) - 1 - used);
        memcpy(destination + used, source, copied);
        destination[used + copied] = '\0';
    }
    return int(std::min(used + length, size_t(std::numeric_limits<int>::max())));
}

int ScanText(const char *text, const char *format, ...) {
    if (text == nullptr || format == nullptr) return 0;
    auto isSpace = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
    va_list args;
    va_start(args, format);
    int stored = 0;
    const char *t = text;
    for (const char *f = format; *f != '\0'; ++f) {
        if (isSpace(*f)) {
            while (isSpace(*t)) ++t;
            continue;
        }
        if (*f != '%' || f[1] == '%') {
            if (*f == '%') ++f;
            if (*t != *f) break;
            ++t;
            continue;
        }
        ++f;
        size_t width = 0;
        while (IsAsciiDigit(*f)) width = width * 10 + size_t(*f++ - '0');
        if (*f == 'd') {
            while (isSpace(*t)) ++t;
            const char *p = t;
            bool negative = *p == '-';
            if (*p == '-' || *p == '+') ++p;
            if (!IsAsciiDigit(*p)) break;
            long long value = 0;
            for (; IsAsciiDigit(*p); ++p) {
                if (value <= INT_MAX) value = value * 10 + (*p - '0');
            }
            if (negative) value = -value;
            *va_arg(args, int *) = int(std::clamp<long long>(value, INT_MIN, INT_MAX));
            t = p;
        } else if (*f == 'c') {
            if (*t == '\0') break;
            *va_arg(args, char *) = *t++;
        } else if (*f == 's' && width > 0) {
            while (isSpace(*t)) ++t;
            if (*t == '\0') break;
            char *out = va_arg(args, char *);
            size_t n = 0;
            while (n < width && *t != '\0' && !isSpace(*t)) out[n++] = *t++;
            out[n] = '\0';
        } else {
            break;
        }
        ++stored;
    }
    va_end(args);
    return stored;
}

void CopyBytes(void *destination, const void *source, size_t n) {
    if (destination != nullptr && source != nullptr && n > 0) memmove(destination, source, n);
}

void FillBytes(void *bytes, int c, size_t n) {
    if (bytes != nullptr && n > 0) memset(bytes, c, n);
}

size_t StrLength(const char *text) {
    return text != nullptr ? strlen(text) : 0;
}

}  // extern "C"
