// Object identifiers and IPv4 addresses as sub-identifier arrays; see conversions.h.
#include <stdlib.h>
#include <string.h>

#include <string>
#include <string_view>

#include "logging/log.h"
#include "util/conversions.h"
#include "util/strings.h"

namespace {

// Longest part the parser accepts; anything longer cannot be a 32-bit number anyway.
constexpr size_t kMaxPartLength = 19;

int BoundedLength(const char *text, int length) {
    if (text == nullptr || length <= 0) return 0;
    return int(strnlen(text, size_t(length)));
}

// A sub-identifier is unsigned 32-bit: the text must read with StringToInt's rules (an
// optional sign, digits only, at least one digit) and lie within 0 .. 4294967295. The
// upper half of that range is taken here rather than through StringToInt, whose int
// result would have to wrap to reach it.
bool ReadSubId(std::string_view part, uint32_t *value) {
    if (part.empty() || part.size() > kMaxPartLength) return false;
    std::string text(part);
    if (!IsInteger(text.c_str(), int(text.size()))) return false;
    bool negative = text[0] == '-';
    size_t start = (text[0] == '-' || text[0] == '+') ? 1 : 0;
    if (start == text.size()) return false;  // a lone sign
    unsigned long long number = 0;
    for (size_t i = start; i < text.size(); ++i) {
        number = number * 10 + unsigned(text[i] - '0');
        if (number > 0xFFFFFFFFull) return false;
    }
    if (negative && number != 0) return false;
    *value = uint32_t(number);
    return true;
}

std::string OidText(const uint32_t *values, int count) {
    std::string text;
    for (int i = 0; values != nullptr && i < count; ++i) {
        text.push_back('.');
        text.append(std::to_string(values[i]));
    }
    return text;
}

}  // namespace

extern "C" {

int GetOidLength(const char *text, int length) {
    LogTrace("@@@ Inside GetOidLength @@@\n");
    return CountChar(text, BoundedLength(text, length), '.');
}

int IsValidOid(const char *text, int length) {
    LogTrace("@@@ Inside IsValidOid @@@\n");
    return BoundedLength(text, length) > 0 && text[0] == '.' && GetOidLength(text, length) > 1;
}

int ConvertToOidOrIpFromString(uint32_t **out, const char *text, int isIp) {
    LogTrace("@@@ Inside ConvertToOidOrIpFromString @@@\n");
    const char *badFormat = isIp ? "Incorrect format of IpAddress\n" : "Incorrect format of OID\n";
    if (out == nullptr) return -1;
    *out = nullptr;
    size_t textLength = text != nullptr ? strlen(text) : 0;
    int dots = textLength <= 0x7FFFFFFF ? GetOidLength(text, int(textLength)) : 0;
    if (dots == 0 || (!isIp && text[0] != '.')) {
        LogError(badFormat);
        return -1;
    }
    int count = isIp ? dots + 1 : dots;
    std::string_view rest(isIp ? text : text + 1);
    uint32_t *values = static_cast<uint32_t *>(calloc(size_t(count) + 1, sizeof(uint32_t)));
    if (values == nullptr) {
        LogError("Unable to allocate buffer !!! \n");
        return -1;
    }
    int read = 0;
    for (;;) {
        size_t dot = rest.find('.');
        if (read == count || !ReadSubId(rest.substr(0, dot), &values[read])) {
            free(values);
            LogError(badFormat);
            return -1;
        }
        ++read;
        if (dot == std::string_view::npos) break;
        rest.remove_prefix(dot + 1);
    }
    if (read != count) {
        free(values);
        return 0;
    }
    *out = values;
    return count;
}

char *ConvertToStringFromOID(const uint32_t *values, int *length) {
    LogTrace("@@@ Inside ConvertToStringFromOID @@@\n");
    if (length == nullptr || *length < 0 || (values == nullptr && *length >= 4)) return nullptr;
    int count = *length / 4;
    std::string text;
    for (int i = 0; i < count; ++i) {
        LogTrace("The SubId IS %ld\n", static_cast<long>(values[i]));
        // Appended rather than "." + to_string(...), which GCC 12 at -O3 flags with a false
        // -Wrestrict warning.
        std::string piece(1, '.');
        piece += std::to_string(values[i]);
        LogTrace("The String rep as SubId is %s\n", piece.c_str());
        text += piece;
    }
    char *result = nullptr;
    if (AllocCopyBytes(&result, text.data(), text.size()) != 1) return nullptr;
    LogTrace("The String rep as OID is %s\n", result);
    *length = int(text.size());
    return result;
}

int ConvertToStringFromOid(const uint32_t *values, int count, char *out, int size) {
    LogTrace("@@@ Inside ConvertToStringFromOid @@@\n");
    if (out == nullptr || size <= 0) return 0;
    std::string text = OidText(values, count);
    if (text.size() >= size_t(size)) {
        out[0] = '\0';
        return 0;
    }
    memcpy(out, text.c_str(), text.size() + 1);
    return 1;
}

int CompareOid(const uint32_t *a, int aCount, const uint32_t *b, int bCount) {
    LogTrace("@@@ Inside CompareOid @@@\n");
    if (a == nullptr || aCount < 0) aCount = 0;
    if (b == nullptr || bCount < 0) bCount = 0;
    for (int i = 0; i < aCount && i < bCount; ++i) {
        if (a[i] != b[i]) return a[i] > b[i] ? 1 : -1;
    }
    return aCount == bCount ? 0 : (aCount > bCount ? 1 : -1);
}

void CopyOid(uint32_t *destination, const uint32_t *source, int count) {
    LogTrace("@@@ Inside CopyOid @@@\n");
    if (destination != nullptr && source != nullptr && count > 0) {
        memmove(destination, source, size_t(count) * sizeof(uint32_t));
    }
}

void SetNOid(uint32_t *destination, const uint32_t *source, int offset, int count) {
    LogTrace("@@@ Inside SetNOid @@@\n");
    if (destination != nullptr && offset >= 0) CopyOid(destination + offset, source, count);
}

uint32_t GetNextSubId(uint32_t value, const uint32_t *values, int count) {
    LogTrace("@@@ Inside GetNextSubId @@@\n");
    for (int i = 0; values != nullptr && i < count; ++i) {
        if (values[i] > value) return values[i];
    }
    return 0;
}

int ReallocateAndSetOID(uint32_t **target, int *targetCount, const uint32_t *source, int count) {
    LogTrace("@@@ Inside ReallocateAndSetOID @@@\n");
    if (target == nullptr || targetCount == nullptr || count < 0 ||
        (source == nullptr && count > 0)) {
        return 0;
    }
    // The copy is made before the old array goes, so source may point into it.
    uint32_t *values = static_cast<uint32_t *>(calloc(size_t(count) + 1, sizeof(uint32_t)));
    if (values == nullptr) {
        LogError("Unable to allocate memory");
        return 99;
    }
    CopyOid(values, source, count);
    free(*target);
    *target = values;
    *targetCount = count;
    return 1;
}

int ReallocateAndSetString(char **target, const char *bytes, int n) {
    LogTrace("@@@ Inside ReallocateAndSetString @@@\n");
    if (target == nullptr || n < 0 || (bytes == nullptr && n > 0)) return 0;
    char *copy = static_cast<char *>(calloc(size_t(n) + 1, 1));
    if (copy == nullptr) {
        LogError("Unable to allocate memory\n");
        return 99;
    }
    if (n > 0) memcpy(copy, bytes, size_t(n));
    free(*target);
    *target = copy;
    return 1;
}

void CopyStringToOid(uint32_t *destination, const char *text) {
    LogTrace("@@@ Inside CopyStringToOid @@@\n");
    for (int i = 0; destination != nullptr && text != nullptr && text[i] != '\0'; ++i) {
        destination[i] = uint32_t(int32_t(static_cast<signed char>(text[i])));
    }
}

void CopyStringToOID(uint32_t *destination, const unsigned char *bytes, int length) {
    LogTrace("@@@ Inside CopyStringToOID @@@\n");
    for (int i = 0; destination != nullptr && bytes != nullptr && i < length; ++i) {
        destination[i] = bytes[i];
    }
}

void ConvertToCharArray(char *out, const uint32_t *values, int offset, int length) {
    LogTrace("@@@ Inside ConvertToCharArray @@@\n");
    if (out == nullptr) return;
    int written = 0;
    for (int i = offset; values != nullptr && offset >= 0 && i < length; ++i) {
        out[written++] = char(values[i] % 255);
    }
    out[written] = '\0';
}

void PrintStream(const unsigned char *bytes, int length, const char *format) {
    LogTrace("@@@ Inside PrintStream @@@\n");
    if (format == nullptr) format = "%02x ";
    for (int i = 0; bytes != nullptr && i < length; ++i) LogDebug(format, bytes[i]);
    LogDebug("\n");
}

void PrintOid(const uint32_t *values, int count) {
    LogTrace("@@@ Inside PrintOid @@@\n");
    for (int i = 0; values != nullptr && i < count; ++i) {
        LogDebug("%lu\t", static_cast<unsigned long>(values[i]));
    }
    LogDebug("\n");
}

int IsValidIPAddress(const char *text, int length) {
    LogTrace("len is %d\n", length);
    std::string_view address(text != nullptr ? text : "", size_t(BoundedLength(text, length)));
    if (address.empty() || address.front() == '.' || address.back() == '.') return 0;
    if (address.find("..") != std::string_view::npos) return 0;
    int dots = 0;
    for (char c : address) dots += c == '.';
    if (dots != 3) return 0;
    while (!address.empty()) {
        size_t dot = address.find('.');
        std::string part(address.substr(0, dot));
        int value = StringToInt(part.c_str());
        if (value < 0 || value > 255) return 0;
        if (value == 0 && part.find_first_not_of('0') != std::string::npos) return 0;
        address.remove_prefix(dot == std::string_view::npos ? address.size() : dot + 1);
    }
    return 1;
}

int ConvertToIpAddressFromOid(char *out, const uint32_t *values, int from, int to) {
    LogTrace("@@@ Inside ConvertToIpAddressFromOid @@@\n");
    if (out == nullptr) return 0;
    out[0] = '\0';
    if (to <= from) return 1;
    if (values == nullptr || from < 0 || to - from > 4) return 0;
    std::string text;
    for (int i = from; i < to; ++i) {
        if (values[i] > 255) return 0;
        if (i > from) text.push_back('.');
        text.append(std::to_string(values[i]));
    }
    memcpy(out, text.c_str(), text.size() + 1);
    return 1;
}

}  // extern "C"
