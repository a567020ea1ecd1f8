/*
 * Date and time values of the VEL_SQL_DATE, VEL_SQL_TIME and VEL_SQL_DATETIME columns, their
 * text forms ("%04d-%02d-%02d", "%02d:%02d:%02d", both joined by a blank), the current local
 * time, comparison, calendar arithmetic, and ParseDateTimeText, a strptime-style parser.
 *
 * Ownership: every record returned is new malloc'd memory owned by the caller; a VelDateTime
 * owns its date and time parts, so FreeVelDateTime releases all three. Strings returned are
 * malloc'd and freed with free().
 *
 * Failures give null, logged at ERROR level; nothing is thrown. Fields are not range-checked
 * (2024-02-30 is kept as written). No lock is taken; the local-time conversion used by the
 * current time and the arithmetic is the thread-safe kind, so any thread may call.
 */
#ifndef KV_STORE_DATETIME_H
#define KV_STORE_DATETIME_H

#include <stdint.h>
#include <time.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct VelDate {
    int16_t year;  /* the full year, e.g. 2024 */
    uint8_t month; /* 1 to 12 */
    uint8_t day;   /* 1 to 31 */
} VelDate;

typedef struct VelTime {
    uint8_t hour;
    uint8_t minute;
    uint8_t second;
} VelTime;

/* Either part may be null. The three one-byte fields are only set by CreateVelGenDateTime;
 * the library does not read them. A VelDateTime counts as 11 bytes as a column value. */
typedef struct VelDateTime {
    VelDate *date;
    VelTime *time;
    uint8_t extra1;
    uint8_t extra2;
    uint8_t extra3;
} VelDateTime;

/* The same record as made by ConvertStringToVelGenDateTime, where one part may be null. */
typedef VelDateTime VelGenDateTime;

/* Arguments are cut to the field widths (year 16 bits, the others 8). Failures log
 * "VelDate creation failed", "VelTime creation failed" or "VelDateTime creation failed". */
VelDate *CreateVelDate(int year, int month, int day);
VelTime *CreateVelTime(int hour, int minute, int second);
VelDateTime *CreateVelDateTime(int year, int month, int day, int hour, int minute, int second);
VelDateTime *CreateVelGenDateTime(int year, int month, int day, int hour, int minute, int second,
                                  uint8_t extra1, uint8_t extra2, uint8_t extra3);
/* Frees the record and both parts; null is ignored. */
void FreeVelDateTime(VelDateTime *dateTime);

/* Text of a value; null for a null argument (or one with neither part) or on OOM. */
char *VelDateToString(const VelDate *date);
char *VelTimeToString(const VelTime *time);
char *VelDateTimeToString(const VelDateTime *dateTime);

/* Text with "-" and ":" is read as "%d-%d-%d %d:%d:%d", with "-" only as a date, with ":"
 * only as a time; fields not scanned stay 0. ConvertStringToVelDateTime always builds both
 * parts; ConvertStringToVelGenDateTime leaves the lacking part null;
 * ConvertStringToVelDateTimePart returns a VelDateTime, a bare VelDate or a bare VelTime
 * (the caller knows which from the column type). Null for text that is none of these. */
VelDateTime *ConvertStringToVelDateTime(const char *text);
VelGenDateTime *ConvertStringToVelGenDateTime(const char *text);
void *ConvertStringToVelDateTimePart(const char *text);

VelDateTime *GetCurrentVelDateTime(void);

/* 1 when first is strictly later than second; 0 otherwise, also when either value is null
 * or lacks a part. */
int CompareVelDateTime(const VelDateTime *first, const VelDateTime *second);

/* Units of the calendar arithmetic. */
enum {
    VEL_UNIT_NANOSECONDS = 1,
    VEL_UNIT_MICROSECONDS = 2,
    VEL_UNIT_MILLISECONDS = 3,
    VEL_UNIT_SECONDS = 4,
    VEL_UNIT_MINUTES = 5,
    VEL_UNIT_HOURS = 6,
    VEL_UNIT_DAYS = 7,
    VEL_UNIT_WEEKS = 8,
    VEL_UNIT_MONTHS = 9
};

/* Move the value in place by amount units, normalised as local time (January 31 plus one
 * month is March 2 or 3), and return it. Other unit codes change nothing. Null, with the
 * value unchanged, when it is null or lacks a part, when its fields cannot be read back
 * (a zero month, say) or when the result falls outside what the record or the calendar
 * can hold. */
VelDateTime *AddToVelDateTime(VelDateTime *dateTime, unsigned int amount, int unit);
VelDateTime *SubtractFromVelDateTime(VelDateTime *dateTime, unsigned int amount, int unit);

/* Fills the named fields of *calendar (which the caller zeroes first) from text following
 * format, in the manner of POSIX strptime. Returns the position after the last character
 * consumed, or null at the first mismatch (fields set so far stay set). */
char *ParseDateTimeText(const char *text, const char *format, struct tm *calendar);

#ifdef __cplusplus
}
#endif

#endif /* KV_STORE_DATETIME_H */
