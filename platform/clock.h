/*
 * Wall-clock time in the local time zone. Both calls are thread-safe.
 */
#ifndef KV_PLATFORM_CLOCK_H
#define KV_PLATFORM_CLOCK_H

#include <time.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The current local time, broken down, with its milliseconds. */
void PlatLocalNow(struct tm *out, int *milliseconds);

/* Thread-safe localtime: 1 on success, 0 when t cannot be represented. */
int PlatLocalTime(const time_t *t, struct tm *out);

#ifdef __cplusplus
}
#endif

#endif /* KV_PLATFORM_CLOCK_H */
