// Hex, integer, counter and date conversions and the small services beside them; the OID
// and IPv4 conversions live in oid.cpp. See conversions.h for the contract.
#include "util/conversions.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <climits>
#include <filesystem>
#include <string>
#include <system_error>

#include "logging/log.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "util/lock.h"
#include "util/strings.h"

namespace {

char *NewString(const std::string &text) {
    char *copy = nullptr;
    return AllocCopyBytes(&copy, text.data(), text.size()) == 1 ? copy : nullptr;
}

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Years are scanned as int; the offset to 1900 is taken in 64 bits so that a clamped
// extreme does not overflow.
int YearsSince1900(int year) {
    return int(std::clamp<long long>(static_cast<long long>(year) - 1900, INT_MIN, INT_MAX));
}

template <typename Map>
char *MapCopy(const char *text, Map map) {
    if (text == nullptr) return nullptr;
    std::string result(text);
    for (char &c : result) c = map(c);
    return NewString(result);
}

}  // namespace

extern "C" {

char GetHexValue(char c) {
    LogTrace("@@@ Inside GetHexValue @@@\n");
    int value = HexDigitValue(c);
    return value >= 0 ? char(value) : c;
}

int ConvertToDecimalFromHexa(char c) {
    LogTrace("@@@ Inside ConvertToDecimalFromHexa @@@\n");
    return std::max(HexDigitValue(c), 0);
}

int ConvertToHexValue(char *text, int length) {
    LogTrace("@@@ Inside ConvertToHexValue @@@\n");
    if (text == nullptr || length < 2) return 0;
    // Byte i is made from digits 2i and 2i + 1, which lie at or after i: packing in place
    // never overwrites a digit still to be read, so no bounded scratch buffer is needed.
    int bytes = length / 2;
    for (int i = 0; i < bytes; ++i) {
        int high = std::max(HexDigitValue(text[2 * i]), 0);
        int low = std::max(HexDigitValue(text[2 * i + 1]), 0);
        text[i] = char(high << 4 | low);
    }
    return bytes;
}

void ConvertToStringFromHex(char *out, const unsigned char *bytes, int length) {
    LogTrace("@@@ Inside ConvertToStringFromHex @@@\n");
    for (int i = 0; out != nullptr && bytes != nullptr && i < length; ++i) {
        out[2 * i] = char(bytes[i] >> 4);
        out[2 * i + 1] = char(bytes[i] & 0x0F);
    }
}

char *ToString(const void *value, int length, int kind) {
    LogTrace("@@@ Inside ToString @@@\n");
    (void)length;
    char *result = nullptr;
    if (kind == 0) {
        if (value == nullptr) return nullptr;
        result = ConvertToStringFromInteger(static_cast<const int *>(value));
    } else if (kind == 1) {
        AllocCopyString(&result, value != nullptr ? "TRUE" : "FALSE");
    } else {
        return nullptr;
    }
    if (result == nullptr) LogError("Unable to allocate buffer !!! \n");
    return result;
}

char *ConvertToStringFromInteger(const int *value) {
    LogTrace("@@@ Inside ConvertToStringFromInteger @@@\n");
    if (value == nullptr) return nullptr;
    char *text = NewString(std::to_string(*value));
    if (text != nullptr) LogTrace("The string is %s\n", text);
    return text;
}

char *ConvertToStringFromUnsignedInteger(const uint32_t *value, int *length) {
    LogTrace("@@@ Inside ConvertToStringFromUnsignedInteger @@@\n");
    if (value == nullptr) return nullptr;
    LogTrace("The value is %d\n", static_cast<int>(*value));
    char *text = NewString(std::to_string(*value));
    if (text == nullptr) return nullptr;
    LogTrace("The string is %s\n", text);
    if (length != nullptr) *length = int(strlen(text));
    return text;
}

char *Counter64ToString(const Counter64 *counter) {
    LogTrace("@@@ Inside Counter64ToString @@@\n");
    if (counter == nullptr) return nullptr;
    char *text =
        NewString(std::to_string(ConvertToULongLongFromCounter64(counter->high, counter->low)));
    if (text != nullptr) LogDebug("The String is : %s\n", text);
    return text;
}

unsigned long long ConvertToULongLongFromCounter64(uint32_t high, uint32_t low) {
    LogTrace("@@@ Inside ConvertToULongLongFromCounter64 @@@\n");
    return static_cast<unsigned long long>(high) << 32 | low;
}

Counter64 ConvertToCounter64FromULongLong(unsigned long long value) {
    LogTrace("@@@ Inside ConvertToCounter64FromULongLong @@@\n");
    return Counter64{uint32_t(value >> 32), uint32_t(value & 0xFFFFFFFFu)};
}

uint32_t ConvertToCounter64(Counter64 *counter, const unsigned char *bytes, int length) {
    LogTrace("@@@ Inside ConvertToCounter64 @@@\n");
    Counter64 result{0, 0};
    if (bytes != nullptr && length >= 1 && length <= 9) {
        if (length == 9) {
            ++bytes;  // the leading zero that keeps a full 64-bit value positive
            --length;
        }
        int lowCount = std::min(length, 4);
        for (int i = 0; i < length - lowCount; ++i) result.high = result.high << 8 | bytes[i];
        for (int i = length - lowCount; i < length; ++i) result.low = result.low << 8 | bytes[i];
    }
    if (counter != nullptr) *counter = result;
    return result.low;
}

char *ConvertToStringFromDateTime(const unsigned char *octets, int *length) {
    LogTrace("@@@ Inside ConvertToStringFromDateTime @@@\n");
    if (octets == nullptr || length == nullptr) return nullptr;
    // Anything shorter than the form it selects would be read past its end.
    if (*length != 8 && *length < 11) {
        LogError("Invalid DateAndTime length %d\n", *length);
        return nullptr;
    }
    char buffer[96];
    int year = octets[0] << 8 | octets[1];
    if (*length == 8) {
        snprintf(buffer, sizeof buffer, "%d-%d-%d,%d:%d:%d.%d", year, octets[2], octets[3],
                 octets[4], octets[5], octets[6], octets[7]);
    } else {
        snprintf(buffer, sizeof buffer, "%d-%d-%d,%d:%d:%d.%d,%c%d:%d", year, octets[2], octets[3],
                 octets[4], octets[5], octets[6], octets[7], octets[8], octets[9], octets[10]);
    }
    char *text = NewString(buffer);
    if (text == nullptr) return nullptr;
    LogTrace("The retVal is %s\n", text);
    *length = int(strlen(text));
    return text;
}

unsigned char *ConvertToDateTimeFromString(const char *text, int *length) {
    LogTrace("@@@ Inside ConvertToDateTimeFromString @@@\n");
    if (text == nullptr) return nullptr;
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, deci = 0;
    int utcHours = 0, utcMinutes = 0;
    char direction = 0;
    int fields = ScanText(text, "%d-%d-%d,%d:%d:%d.%d,%c%d:%d", &year, &month, &day, &hour, &minute,
                          &second, &deci, &direction, &utcHours, &utcMinutes);
    int count = fields == 10 ? 11 : fields == 7 ? 8 : 0;
    if (count == 0) return nullptr;
    unsigned char *octets = static_cast<unsigned char *>(calloc(size_t(count), 1));
    if (octets == nullptr) {
        LogError("Unable to allocate memory\n");
        return nullptr;
    }
    // Each number keeps its low 8 bits, as the octet encoding does.
    const int numbers[] = {year >> 8, year, month,     day,      hour,      minute,
                           second,    deci, direction, utcHours, utcMinutes};
    for (int i = 0; i < count; ++i) {
        octets[i] = static_cast<unsigned char>(numbers[i] & 0xFF);
        LogTrace("%.02x\n", octets[i]);
    }
    if (length != nullptr) *length = count;
    return octets;
}

int ParseMonth(const char *name) {
    LogTrace("@@@ Inside ParseMonth @@@\n");
    static const char *const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    for (int i = 0; name != nullptr && i < 12; ++i) {
        if (StrCompareNoCase(name, kMonths[i]) == 0) return i;
    }
    return -1;
}

struct tm *ParseDateTime(const char *text) {
    LogTrace("@@@ Inside ParseDateTime @@@\n");
    if (text == nullptr) return nullptr;
    char weekday[20] = "", monthName[20] = "", zone[20] = "";
    int day = 0, year = 0, hour = 0, minute = 0, second = 0;
    int yearsSince1900;
    if (ScanText(text, "%19s %d %19s %d %d:%d:%d %19s", weekday, &day, monthName, &year, &hour,
                 &minute, &second, zone) == 8) {
        yearsSince1900 = YearsSince1900(year);  // RFC 1123
    } else if (ScanText(text, "%19s %d-%3s-%d %d:%d:%d %19s", weekday, &day, monthName, &year,
                        &hour, &minute, &second, zone) == 8) {
        yearsSince1900 = year;  // RFC 850: a two-digit year counts from 1900
    } else if (ScanText(text, "%19s %19s %d %d:%d:%d %d", weekday, monthName, &day, &hour, &minute,
                        &second, &year) == 7) {
        yearsSince1900 = YearsSince1900(year);  // asctime
    } else {
        return nullptr;
    }
    int month = ParseMonth(monthName);
    if (month < 0) return nullptr;
    struct tm *result = static_cast<struct tm *>(calloc(1, sizeof(struct tm)));
    if (result == nullptr) {
        LogError("Unable to allocate memory\n");
        return nullptr;
    }
    result->tm_sec = second;
    result->tm_min = minute;
    result->tm_hour = hour;
    result->tm_mday = day;
    result->tm_mon = month;
    result->tm_year = yearsSince1900;
    return result;
}

int CompareTime(const struct tm *a, const struct tm *b) {
    LogTrace("@@@ Inside CompareTime @@@\n");
    if (a == nullptr || b == nullptr) return 0;
    const int left[] = {a->tm_year, a->tm_mon, a->tm_mday, a->tm_hour, a->tm_min, a->tm_sec};
    const int right[] = {b->tm_year, b->tm_mon, b->tm_mday, b->tm_hour, b->tm_min, b->tm_sec};
    for (int i = 0; i < 6; ++i) {
        if (left[i] != right[i]) return left[i] > right[i] ? 1 : 0;
    }
    return 1;
}

char *GetCurrentDateTimeString(void) {
    LogTrace("@@@ Inside GetCurrentDateTimeString @@@\n");
    struct tm now {};
    int milliseconds = 0;
    PlatLocalNow(&now, &milliseconds);
    char buffer[64];
    snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", now.tm_year + 1900,
             now.tm_mon + 1, now.tm_mday, now.tm_hour, now.tm_min, now.tm_sec);
    return NewString(buffer);
}

char *ToLowerCopy(const char *text) {
    LogTrace("@@@ Inside ToLowerCopy @@@\n");
    return MapCopy(text, [](char c) { return (c >= 'A' && c <= 'Z') ? char(c + 32) : c; });
}

char *ToUpperCopy(const char *text) {
    LogTrace("@@@ Inside ToUpperCopy @@@\n");
    return MapCopy(text, [](char c) { return (c >= 'a' && c <= 'z') ? char(c - 32) : c; });
}

int IsDirectory(const char *path) {
    LogTrace("@@@ Inside IsDirectory @@@\n");
    if (path == nullptr) return 0;
    std::error_code error;
    return std::filesystem::is_directory(PlatNativePath(path), error);
}

int EncryptDecryptKey(unsigned char *buffer, int length, int n) {
    LogTrace("@@@ Inside EncryptDecryptKey @@@\n");
    if (buffer == nullptr || length <= 0) return 0;
    // n + 9 in 32-bit arithmetic, wrapping as the key derivation always has, but without
    // the signed overflow.
    int32_t k = static_cast<int32_t>(static_cast<uint32_t>(n) + 9u);
    if (k >= 256) k %= 255;
    unsigned char key = static_cast<unsigned char>(k & 0xFF);
    for (int i = 0; i < length; ++i) buffer[i] ^= key;
    return length;
}

int AddRcvdMsgToQueue(Vector *queue, void *message) {
    LogTrace("@@@ Inside AddRcvdMsgToQueue @@@\n");
    if (queue == nullptr) return 0;
    VectorNode *node = static_cast<VectorNode *>(malloc(sizeof(VectorNode)));
    if (node == nullptr) {
        LogError("Buffer allocation is failed !!!\n");
        return 0;
    }
    node->element = message;
    node->next = nullptr;
    int added = AddElement(queue, node);
    if (added != 1) free(node);
    return added;
}

void *ReadMsgFromQueueForProcessing(Vector *queue) {
    LogTrace("@@@ Inside ReadMsgFromQueueForProcessing @@@\n");
    if (queue == nullptr) return nullptr;
    VectorNode *node;
    {
        // Unlinked by hand: DeleteElementAt would take the same, non-recursive lock.
        ObjectLock lock(queue);
        node = queue->head;
        if (node == nullptr) return nullptr;
        queue->head = node->next;
        if (queue->head == nullptr) queue->tail = nullptr;
        queue->count = queue->head != nullptr ? queue->count - 1 : 0;
    }
    void *message = node->element;
    free(node);
    return message;
}

}  // extern "C"
