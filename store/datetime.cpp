// Date and time values and the format-driven parser; see datetime.h for the contract.
#include "store/datetime.h"

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <climits>
#include <string>

#include "logging/log.h"
#include "platform/clock.h"
#include "util/strings.h"

namespace {

const char *const kDayNames[7] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                  "Thursday", "Friday", "Saturday"};
const char *const kDayAbbreviations[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char *const kMonthNames[12] = {"January",   "February", "March",    "April",
                                     "May",       "June",     "July",     "August",
                                     "September", "October",  "November", "December"};
const char *const kMonthAbbreviations[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                             "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

char *NewString(const char *format, ...) {
    char buffer[64];  // the longest form, with 16-bit year and 8-bit fields, needs 20
    va_list args;
    va_start(args, format);
    vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    char *copy = nullptr;
    AllocCopyString(&copy, buffer);
    return copy;
}

bool IsSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
char Fold(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c + 32) : c;
}

// Whether name is a case-insensitive prefix of text.
bool MatchesPrefix(const char *text, const char *name) {
    for (; *name != '\0'; ++name, ++text) {
        if (*text == '\0' || Fold(*text) != Fold(*name)) return false;
    }
    return true;
}

// Index of the first name (full before abbreviated) that prefixes *text; consumes it.
int ReadName(const char **text, const char *const *full, const char *const *abbreviated,
             int count) {
    for (int i = 0; i < count; ++i) {
        for (const char *name : {full[i], abbreviated[i]}) {
            if (MatchesPrefix(*text, name)) {
                *text += strlen(name);
                return i;
            }
        }
    }
    return -1;
}

// Reads a number in [low, high]: a digit first, then digits while the value times ten
// stays within high and no more digits than high has. Never overflows.
bool ReadNumber(const char **text, int *out, int low, int high) {
    const char *p = *text;
    if (!IsDigit(*p)) return false;
    int value = 0;
    int digitsLeft = high;
    do {
        value = value * 10 + (*p++ - '0');
        digitsLeft /= 10;
    } while (value * 10 <= high && digitsLeft > 0 && IsDigit(*p));
    if (value < low || value > high) return false;
    *out = value;
    *text = p;
    return true;
}

// The century and the two-digit year combine whichever comes first.
struct YearParts {
    int century = -1;
    int twoDigitYear = -1;
};

const char *Parse(const char *text, const char *format, struct tm *calendar, YearParts *year) {
    while (*format != '\0') {
        char c = *format++;
        if (IsSpace(c)) {
            while (IsSpace(*text)) ++text;
            continue;
        }
        if (c != '%') {
            if (*text != c) return nullptr;
            ++text;
            continue;
        }
        char modifier = 0;
        if (*format == 'E' || *format == 'O') modifier = *format++;
        c = *format;
        if (c == '\0') return nullptr;
        ++format;
        // Which modifiers each directive accepts; any other pairing is an error.
        auto allows = [modifier](const char *accepted) {
            return modifier == 0 || strchr(accepted, modifier) != nullptr;
        };
        int value = 0;
        switch (c) {
            case '%':
                if (modifier != 0 || *text != '%') return nullptr;
                ++text;
                break;
            case 'A':
            case 'a':
                if (modifier != 0) return nullptr;
                value = ReadName(&text, kDayNames, kDayAbbreviations, 7);
                if (value < 0) return nullptr;
                calendar->tm_wday = value;
                break;
            case 'B':
            case 'b':
            case 'h':
                if (modifier != 0) return nullptr;
                value = ReadName(&text, kMonthNames, kMonthAbbreviations, 12);
                if (value < 0) return nullptr;
                calendar->tm_mon = value;
                break;
            case 'C':
                if (!allows("E") || !ReadNumber(&text, &value, 0, 99)) return nullptr;
                year->century = value;
                calendar->tm_year =
                    value * 100 + (year->twoDigitYear >= 0 ? year->twoDigitYear : 0) - 1900;
                break;
            case 'c':
                if (!allows("E") || (text = Parse(text, "%x %X", calendar, year)) == nullptr) {
                    return nullptr;
                }
                break;
            case 'D':
            case 'x':
                if (!allows(c == 'x' ? "E" : "") ||
                    (text = Parse(text, "%m/%d/%y", calendar, year)) == nullptr) {
                    return nullptr;
                }
                break;
            case 'd':
            case 'e':
                if (!allows("O") || !ReadNumber(&text, &value, 1, 31)) return nullptr;
                calendar->tm_mday = value;
                break;
            case 'H':
            case 'k':
                if (!allows(c == 'H' ? "O" : "") || !ReadNumber(&text, &value, 0, 23)) {
                    return nullptr;
                }
                calendar->tm_hour = value;
                break;
            case 'I':
            case 'l':
                if (!allows(c == 'I' ? "O" : "") || !ReadNumber(&text, &value, 1, 12)) {
                    return nullptr;
                }
                calendar->tm_hour = value == 12 ? 0 : value;
                break;
            case 'j':
                if (modifier != 0 || !ReadNumber(&text, &value, 1, 366)) return nullptr;
                calendar->tm_yday = value - 1;
                break;
            case 'M':
                if (!allows("O") || !ReadNumber(&text, &value, 0, 59)) return nullptr;
                calendar->tm_min = value;
                break;
            case 'm':
                if (!allows("O") || !ReadNumber(&text, &value, 1, 12)) return nullptr;
                calendar->tm_mon = value - 1;
                break;
            case 'n':
            case 't':
                if (modifier != 0) return nullptr;
                while (IsSpace(*text)) ++text;
                break;
            case 'p':
                // The meridian word must be all that is left of the text.
                if (modifier != 0 || calendar->tm_hour > 11) return nullptr;
                if (StrCompareNoCase(text, "PM") == 0) {
                    calendar->tm_hour += 12;
                } else if (StrCompareNoCase(text, "AM") != 0) {
                    return nullptr;
                }
                text += 2;
                break;
            case 'R':
            case 'r':
            case 'T':
            case 'X': {
                const char *expansion = c == 'R' ? "%H:%M" : c == 'r' ? "%I:%M:%S %p" : "%H:%M:%S";
                if (!allows(c == 'X' ? "E" : "") ||
                    (text = Parse(text, expansion, calendar, year)) == nullptr) {
                    return nullptr;
                }
                break;
            }
            case 'S':
                if (!allows("O") || !ReadNumber(&text, &value, 0, 61)) return nullptr;
                calendar->tm_sec = value;
                break;
            case 'U':
            case 'W':
                if (!allows("O") || !ReadNumber(&text, &value, 0, 53)) return nullptr;
                break;
            case 'w':
                if (!allows("O") || !ReadNumber(&text, &value, 0, 6)) return nullptr;
                calendar->tm_wday = value;
                break;
            case 'Y':
                if (!allows("E") || !ReadNumber(&text, &value, 0, 9999)) return nullptr;
                calendar->tm_year = value - 1900;
                break;
            case 'y':
                if (!allows("EO") || !ReadNumber(&text, &value, 0, 99)) return nullptr;
                year->twoDigitYear = value;
                if (year->century >= 0) {
                    value += year->century * 100;
                } else {
                    value += value <= 68 ? 2000 : 1900;
                }
                calendar->tm_year = value - 1900;
                break;
            default:
                return nullptr;
        }
    }
    return text;
}

// Scans text into six numbers the way the conversions read it; 0 for text with neither
// "-" nor ":". Returns 1 for date and time, 2 for a date only, 3 for a time only.
int ScanDateTime(const char *text, int fields[6]) {
    bool hasDate = strchr(text, '-') != nullptr;
    bool hasTime = strchr(text, ':') != nullptr;
    if (hasDate && hasTime) {
        ScanText(text, "%d-%d-%d %d:%d:%d", &fields[0], &fields[1], &fields[2], &fields[3],
                 &fields[4], &fields[5]);
        return 1;
    }
    if (hasDate) {
        ScanText(text, "%d-%d-%d", &fields[0], &fields[1], &fields[2]);
        return 2;
    }
    if (hasTime) {
        ScanText(text, "%d:%d:%d", &fields[3], &fields[4], &fields[5]);
        return 3;
    }
    return 0;
}

VelDateTime *NewDateTime(VelDate *date, VelTime *time) {
    VelDateTime *dateTime = static_cast<VelDateTime *>(calloc(1, sizeof(VelDateTime)));
    if (dateTime == nullptr) {
        free(date);
        free(time);
        return nullptr;
    }
    dateTime->date = date;
    dateTime->time = time;
    return dateTime;
}

bool HasBothParts(const VelDateTime *value) {
    return value != nullptr && value->date != nullptr && value->time != nullptr;
}

// Adds (or subtracts) amount units through the calendar: render, parse, move the fields,
// let mktime carry them into a proper date, write back.
VelDateTime *Shift(VelDateTime *dateTime, unsigned int amount, int unit, bool add) {
    if (!HasBothParts(dateTime)) {
        LogError("Date arithmetic needs a value with a date and a time\n");
        return nullptr;
    }
    char *text = VelDateTimeToString(dateTime);
    if (text == nullptr) return nullptr;
    struct tm calendar {};
    bool parsed = ParseDateTimeText(text, "%Y-%m-%d %H:%M:%S", &calendar) != nullptr;
    if (!parsed) LogError("Date arithmetic cannot read the value %s\n", text);
    free(text);
    if (!parsed) return nullptr;

    long long seconds = 0, days = 0, months = 0;
    switch (unit) {
        case VEL_UNIT_NANOSECONDS:
            seconds = amount / 1000000000u;
            break;
        case VEL_UNIT_MICROSECONDS:
            seconds = amount / 1000000u;
            break;
        case VEL_UNIT_MILLISECONDS:
            seconds = amount / 1000u;
            break;
        case VEL_UNIT_SECONDS:
            seconds = amount;
            break;
        case VEL_UNIT_MINUTES:
            seconds = amount * 60LL;
            break;
        case VEL_UNIT_HOURS:
            seconds = amount * 3600LL;
            break;
        case VEL_UNIT_DAYS:
            days = amount;
            break;
        case VEL_UNIT_WEEKS:
            days = amount * 7LL;
            break;
        case VEL_UNIT_MONTHS:
            months = amount;
            break;
        default:
            return dateTime;
    }
    // Whole days go to the day of month so that no field overflows an int on the way.
    days += seconds / 86400;
    seconds %= 86400;
    if (!add) {
        seconds = -seconds;
        days = -days;
        months = -months;
    }
    long long second = calendar.tm_sec + seconds;
    long long dayOfMonth = calendar.tm_mday + days;
    long long month = calendar.tm_mon + months;
    if (dayOfMonth < INT_MIN || dayOfMonth > INT_MAX || month < INT_MIN || month > INT_MAX) {
        LogError("Date arithmetic result is out of range\n");
        return nullptr;
    }
    calendar.tm_sec = int(second);
    calendar.tm_mday = int(dayOfMonth);
    calendar.tm_mon = int(month);
    calendar.tm_isdst = -1;  // let the normaliser decide daylight saving for the new date
    calendar.tm_yday = -1;   // set by mktime only when it succeeds
    time_t normalised = mktime(&calendar);
    long long year = calendar.tm_year + 1900LL;
    if ((normalised == time_t(-1) && calendar.tm_yday == -1) || year < INT16_MIN ||
        year > INT16_MAX) {
        LogError("Date arithmetic result is out of range\n");
        return nullptr;
    }
    dateTime->date->year = int16_t(year);
    dateTime->date->month = uint8_t(calendar.tm_mon + 1);
    dateTime->date->day = uint8_t(calendar.tm_mday);
    dateTime->time->hour = uint8_t(calendar.tm_hour);
    dateTime->time->minute = uint8_t(calendar.tm_min);
    dateTime->time->second = uint8_t(calendar.tm_sec);
    return dateTime;
}

}  // namespace

extern "C" {

VelDate *CreateVelDate(int year, int month, int day) {
    VelDate *date = static_cast<VelDate *>(malloc(sizeof(VelDate)));
    if (date == nullptr) {
        LogError("VelDate creation failed");
        return nullptr;
    }
    date->year = int16_t(year);
    date->month = uint8_t(month);
    date->day = uint8_t(day);
    return date;
}

VelTime *CreateVelTime(int hour, int minute, int second) {
    VelTime *time = static_cast<VelTime *>(malloc(sizeof(VelTime)));
    if (time == nullptr) {
        LogError("VelTime creation failed");
        return nullptr;
    }
    time->hour = uint8_t(hour);
    time->minute = uint8_t(minute);
    time->second = uint8_t(second);
    return time;
}

VelDateTime *CreateVelDateTime(int year, int month, int day, int hour, int minute, int second) {
    return CreateVelGenDateTime(year, month, day, hour, minute, second, 0, 0, 0);
}

VelDateTime *CreateVelGenDateTime(int year, int month, int day, int hour, int minute, int second,
                                  uint8_t extra1, uint8_t extra2, uint8_t extra3) {
    VelDate *date = CreateVelDate(year, month, day);
    VelTime *time = date != nullptr ? CreateVelTime(hour, minute, second) : nullptr;
    VelDateTime *dateTime = time != nullptr ? NewDateTime(date, time) : nullptr;
    if (dateTime == nullptr) {
        if (time == nullptr) free(date);
        LogError("VelDateTime creation failed");
        return nullptr;
    }
    dateTime->extra1 = extra1;
    dateTime->extra2 = extra2;
    dateTime->extra3 = extra3;
    return dateTime;
}

void FreeVelDateTime(VelDateTime *dateTime) {
    if (dateTime == nullptr) return;
    free(dateTime->date);
    free(dateTime->time);
    free(dateTime);
}

char *VelDateToString(const VelDate *date) {
    LogTrace("@@@ Inside VelDateToString @@@\n");
    if (date == nullptr) return nullptr;
    return NewString("%04d-%02d-%02d", date->year, date->month, date->day);
}

char *VelTimeToString(const VelTime *time) {
    LogTrace("@@@ Inside VelTimeToString @@@\n");
    if (time == nullptr) return nullptr;
    return NewString("%02d:%02d:%02d", time->hour, time->minute, time->second);
}

char *VelDateTimeToString(const VelDateTime *dateTime) {
    LogTrace("@@@ Inside VelDateTimeToString @@@\n");
    if (dateTime == nullptr) return nullptr;
    const VelDate *d = dateTime->date;
    const VelTime *t = dateTime->time;
    if (d != nullptr && t != nullptr) {
        return NewString("%04d-%02d-%02d %02d:%02d:%02d", d->year, d->month, d->day, t->hour,
                         t->minute, t->second);
    }
    if (t != nullptr) return VelTimeToString(t);
    if (d != nullptr) return VelDateToString(d);
    return nullptr;
}

VelDateTime *ConvertStringToVelDateTime(const char *text) {
    LogTrace("@@@ Inside ConvertStringToVelDateTime @@@\n");
    if (text == nullptr) {
        LogError("datetimeStr NULL \n");
        return nullptr;
    }
    int f[6] = {0, 0, 0, 0, 0, 0};
    if (ScanDateTime(text, f) == 0) return nullptr;
    return CreateVelDateTime(f[0], f[1], f[2], f[3], f[4], f[5]);
}

VelGenDateTime *ConvertStringToVelGenDateTime(const char *text) {
    LogTrace("@@@ Inside ConvertStringToVelGenDateTime @@@\n");
    if (text == nullptr) {
        LogError("datetimeStr NULL \n");
        return nullptr;
    }
    int f[6] = {0, 0, 0, 0, 0, 0};
    int kind = ScanDateTime(text, f);
    if (kind == 0) {
        LogError("The String is not a datetimeStr \n");
        return nullptr;
    }
    if (kind == 1) return CreateVelDateTime(f[0], f[1], f[2], f[3], f[4], f[5]);
    VelDate *date = kind == 2 ? CreateVelDate(f[0], f[1], f[2]) : nullptr;
    VelTime *time = kind == 3 ? CreateVelTime(f[3], f[4], f[5]) : nullptr;
    if (date == nullptr && time == nullptr) return nullptr;
    VelDateTime *dateTime = NewDateTime(date, time);
    if (dateTime == nullptr) LogError("VelDateTime creation failed");
    return dateTime;
}

void *ConvertStringToVelDateTimePart(const char *text) {
    LogTrace("@@@ Inside ConvertStringToVelDateTimePart @@@\n");
    if (text == nullptr) {
        LogError("datetimeStr NULL \n");
        return nullptr;
    }
    int f[6] = {0, 0, 0, 0, 0, 0};
    switch (ScanDateTime(text, f)) {
        case 1:
            return CreateVelDateTime(f[0], f[1], f[2], f[3], f[4], f[5]);
        case 2:
            return CreateVelDate(f[0], f[1], f[2]);
        case 3:
            return CreateVelTime(f[3], f[4], f[5]);
        default:
            return nullptr;
    }
}

VelDateTime *GetCurrentVelDateTime(void) {
    LogTrace("@@@ Inside GetCurrentVelDateTime @@@\n");
    time_t now = time(nullptr);
    struct tm local {};
    if (!PlatLocalTime(&now, &local)) {
        LogError("Local time conversion failed\n");
        return nullptr;
    }
    VelDateTime *dateTime = static_cast<VelDateTime *>(calloc(1, sizeof(VelDateTime)));
    if (dateTime == nullptr) {
        LogError("MEMORY ALLOCATION FAILURE FOR dateTimePtr");
        return nullptr;
    }
    dateTime->date = CreateVelDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
    if (dateTime->date == nullptr) {
        LogError("CreateVelDate Failed");
        FreeVelDateTime(dateTime);
        return nullptr;
    }
    dateTime->time = CreateVelTime(local.tm_hour, local.tm_min, local.tm_sec);
    if (dateTime->time == nullptr) {
        LogError("CreateVelTime Failed");
        FreeVelDateTime(dateTime);
        return nullptr;
    }
    return dateTime;
}

int CompareVelDateTime(const VelDateTime *first, const VelDateTime *second) {
    if (!HasBothParts(first) || !HasBothParts(second)) return 0;
    const int a[] = {first->date->year, first->date->month,  first->date->day,
                     first->time->hour, first->time->minute, first->time->second};
    const int b[] = {second->date->year, second->date->month,  second->date->day,
                     second->time->hour, second->time->minute, second->time->second};
    for (int i = 0; i < 6; ++i) {
        if (a[i] != b[i]) return a[i] > b[i] ? 1 : 0;
    }
    return 0;
}

VelDateTime *AddToVelDateTime(VelDateTime *dateTime, unsigned int amount, int unit) {
    return Shift(dateTime, amount, unit, true);
}

VelDateTime *SubtractFromVelDateTime(VelDateTime *dateTime, unsigned int amount, int unit) {
    return Shift(dateTime, amount, unit, false);
}

char *ParseDateTimeText(const char *text, const char *format, struct tm *calendar) {
    if (text == nullptr || format == nullptr || calendar == nullptr) return nullptr;
    YearParts year;
    return const_cast<char *>(Parse(text, format, calendar, &year));
}

}  // extern "C"
