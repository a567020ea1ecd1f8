// Local time for the Win32 backend.
#include "platform/win32/win_api.h"

#include "platform/clock.h"

extern "C" {

void PlatLocalNow(struct tm *out, int *milliseconds) {
    // One call gives the fields and the milliseconds of the same instant.
    SYSTEMTIME now;
    GetLocalTime(&now);
    static const int kDaysBefore[] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
    int year = now.wYear;
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    *out = tm{};
    out->tm_year = year - 1900;
    out->tm_mon = now.wMonth - 1;
    out->tm_mday = now.wDay;
    out->tm_hour = now.wHour;
    out->tm_min = now.wMinute;
    out->tm_sec = now.wSecond;
    out->tm_wday = now.wDayOfWeek;
    out->tm_yday = kDaysBefore[out->tm_mon] + now.wDay - 1 + (leap && now.wMonth > 2 ? 1 : 0);
    out->tm_isdst = -1;
    *milliseconds = now.wMilliseconds;
}

int PlatLocalTime(const time_t *t, struct tm *out) {
    if (t == nullptr || out == nullptr) return 0;
    // The C runtime's localtime keeps its result per thread, so the copy is not raced.
    struct tm *local = localtime(t);
    if (local == nullptr) return 0;
    *out = *local;
    return 1;
}

}  // extern "C"
