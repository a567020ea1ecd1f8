// Local time for the POSIX backend.
#include "platform/clock.h"

#include <sys/time.h>

extern "C" {

void PlatLocalNow(struct tm *out, int *milliseconds) {
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    time_t seconds = now.tv_sec;
    localtime_r(&seconds, out);
    *milliseconds = int(now.tv_nsec / 1000000);
}

int PlatLocalTime(const time_t *t, struct tm *out) {
    return t != nullptr && out != nullptr && localtime_r(t, out) != nullptr;
}

}  // extern "C"
