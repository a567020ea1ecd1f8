#include "store/datetime.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <memory>
#include <string>

namespace {

std::string Take(char *text) {
    std::unique_ptr<char, decltype(&free)> owned(text, free);
    return text != nullptr ? std::string(text) : "<null>";
}

using DateTimePtr = std::unique_ptr<VelDateTime, decltype(&FreeVelDateTime)>;
DateTimePtr Own(VelDateTime *value) {
    return DateTimePtr(value, FreeVelDateTime);
}

TEST(VelDateTimeText, ConstructorsAndRendering) {
    DateTimePtr both = Own(CreateVelGenDateTime(2024, 1, 5, 7, 5, 0, 1, 2, 3));
    ASSERT_NE(nullptr, both);
    EXPECT_EQ("2024-01-05 07:05:00", Take(VelDateTimeToString(both.get())));
    EXPECT_EQ("2024-01-05", Take(VelDateToString(both->date)));
    EXPECT_EQ("07:05:00", Take(VelTimeToString(both->time)));
    EXPECT_EQ(3, both->extra3);
    EXPECT_EQ(0, Own(CreateVelDateTime(1, 1, 1, 1, 1, 1))->extra1);

    VelDateTime neither{};
    EXPECT_EQ("<null>", Take(VelDateTimeToString(&neither)));
    EXPECT_EQ("<null>", Take(VelDateTimeToString(nullptr)));
    EXPECT_EQ("<null>", Take(VelDateToString(nullptr)));

    // Arguments are cut to the field widths.
    DateTimePtr cut = Own(CreateVelDateTime(65536 + 2024, 256 + 3, 4, 5, 6, 7));
    EXPECT_EQ("2024-03-04 05:06:07", Take(VelDateTimeToString(cut.get())));
}

TEST(VelDateTimeText, ConvertFromText) {
    struct Case {
        const char *text;
        const char *full;  // ConvertStringToVelDateTime, rendered
        const char *gen;   // ConvertStringToVelGenDateTime, rendered
    } cases[] = {
        {"2024-02-30 10:20:30", "2024-02-30 10:20:30", "2024-02-30 10:20:30"},
        {"2024-02-30", "2024-02-30 00:00:00", "2024-02-30"},
        {"10:20", "0000-00-00 10:20:00", "10:20:00"},
        {"2024-1-5 7:5:0", "2024-01-05 07:05:00", "2024-01-05 07:05:00"},
        {"99999999999-1-1", "-001-01-01 00:00:00", "-001-01-01"},  // INT_MAX cut to 16 bits
        {"20240105", "<null>", "<null>"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        DateTimePtr full = Own(ConvertStringToVelDateTime(c.text));
        EXPECT_EQ(c.full, Take(VelDateTimeToString(full.get())));
        DateTimePtr gen = Own(ConvertStringToVelGenDateTime(c.text));
        EXPECT_EQ(c.gen, Take(VelDateTimeToString(gen.get())));
    }
    EXPECT_EQ(nullptr, ConvertStringToVelDateTime(nullptr));
    EXPECT_EQ(nullptr, ConvertStringToVelGenDateTime(nullptr));

    VelDate *date = static_cast<VelDate *>(ConvertStringToVelDateTimePart("2024-02-30"));
    ASSERT_NE(nullptr, date);
    EXPECT_EQ(2024, date->year);
    EXPECT_EQ(30, date->day);
    free(date);
    VelTime *time = static_cast<VelTime *>(ConvertStringToVelDateTimePart("10:20:30"));
    ASSERT_NE(nullptr, time);
    EXPECT_EQ(30, time->second);
    free(time);
    DateTimePtr part =
        Own(static_cast<VelDateTime *>(ConvertStringToVelDateTimePart("2024-1-2 3:4:5")));
    EXPECT_EQ("2024-01-02 03:04:05", Take(VelDateTimeToString(part.get())));
    EXPECT_EQ(nullptr, ConvertStringToVelDateTimePart("plain"));
}

TEST(VelDateTimeCompare, StrictlyLater) {
    DateTimePtr base = Own(CreateVelDateTime(2024, 5, 6, 7, 8, 9));
    struct Case {
        int year, month, day, hour, minute, second;
        int laterThanBase, baseLater;
    } cases[] = {
        {2024, 5, 6, 7, 8, 9, 0, 0},  // equal both ways
        {2024, 5, 6, 7, 8, 10, 1, 0},
        {2023, 12, 31, 23, 59, 59, 0, 1},
        {2024, 6, 1, 0, 0, 0, 1, 0},  // the month decides before the day
    };
    for (const Case &c : cases) {
        DateTimePtr other =
            Own(CreateVelDateTime(c.year, c.month, c.day, c.hour, c.minute, c.second));
        EXPECT_EQ(c.laterThanBase, CompareVelDateTime(other.get(), base.get()));
        EXPECT_EQ(c.baseLater, CompareVelDateTime(base.get(), other.get()));
    }
    DateTimePtr timeOnly = Own(ConvertStringToVelGenDateTime("23:00:00"));
    EXPECT_EQ(0, CompareVelDateTime(timeOnly.get(), base.get()));
    EXPECT_EQ(0, CompareVelDateTime(nullptr, base.get()));
}

TEST(VelDateTimeArithmetic, UnitsAndNormalisation) {
    struct Case {
        const char *start;
        bool add;
        unsigned amount;
        int unit;
        const char *expected;
    } cases[] = {
        {"2024-01-31 10:00:00", true, 1, VEL_UNIT_MONTHS, "2024-03-02 10:00:00"},
        {"2024-01-01 00:00:00", true, 1500, VEL_UNIT_MILLISECONDS, "2024-01-01 00:00:01"},
        {"2024-01-01 00:00:00", true, 999999, VEL_UNIT_MICROSECONDS, "2024-01-01 00:00:00"},
        {"2024-01-01 00:00:00", true, 3000000000u, VEL_UNIT_NANOSECONDS, "2024-01-01 00:00:03"},
        {"2024-01-01 23:59:30", true, 61, VEL_UNIT_MINUTES, "2024-01-02 01:00:30"},
        {"2024-02-28 12:00:00", true, 36, VEL_UNIT_HOURS, "2024-03-01 00:00:00"},
        {"2024-12-31 00:00:00", true, 1, VEL_UNIT_DAYS, "2025-01-01 00:00:00"},
        {"2024-01-01 00:00:00", true, 2, VEL_UNIT_WEEKS, "2024-01-15 00:00:00"},
        {"2024-11-15 08:00:00", true, 14, VEL_UNIT_MONTHS, "2026-01-15 08:00:00"},
        {"2024-03-01 00:00:00", false, 1, VEL_UNIT_SECONDS, "2024-02-29 23:59:59"},
        {"2024-01-15 00:00:00", false, 1, VEL_UNIT_MONTHS, "2023-12-15 00:00:00"},
        {"2024-03-31 00:00:00", false, 1, VEL_UNIT_MONTHS, "2024-03-02 00:00:00"},
        {"2024-01-01 00:00:00", true, 5, 10, "2024-01-01 00:00:00"},  // unknown unit
        // Large amounts are carried through whole days instead of overflowing a field.
        {"2000-01-01 00:00:00", true, 4000000000u, VEL_UNIT_SECONDS, "2126-10-03 07:06:40"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.start) + " unit " + std::to_string(c.unit));
        DateTimePtr value = Own(ConvertStringToVelDateTime(c.start));
        VelDateTime *result = c.add ? AddToVelDateTime(value.get(), c.amount, c.unit)
                                    : SubtractFromVelDateTime(value.get(), c.amount, c.unit);
        EXPECT_EQ(value.get(), result);
        EXPECT_EQ(c.expected, Take(VelDateTimeToString(value.get())));
    }
}

TEST(VelDateTimeArithmetic, RefusesWhatItCannotMove) {
    DateTimePtr timeOnly = Own(ConvertStringToVelGenDateTime("10:20:00"));
    EXPECT_EQ(nullptr, AddToVelDateTime(timeOnly.get(), 1, VEL_UNIT_HOURS));
    EXPECT_EQ(nullptr, AddToVelDateTime(nullptr, 1, VEL_UNIT_HOURS));

    struct Case {
        const char *start;
        unsigned amount;
        int unit;
    } cases[] = {
        {"10:20:00", 1, VEL_UNIT_HOURS},                       // zero date cannot be read back
        {"2024-13-01 00:00:00", 1, VEL_UNIT_DAYS},             // month 13 likewise
        {"32000-01-01 00:00:00", 1, VEL_UNIT_DAYS},            // year beyond %Y
        {"9999-01-01 00:00:00", 4000000000u, VEL_UNIT_WEEKS},  // beyond a 16-bit year
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.start);
        DateTimePtr value = Own(ConvertStringToVelDateTime(c.start));
        std::string before = Take(VelDateTimeToString(value.get()));
        EXPECT_EQ(nullptr, AddToVelDateTime(value.get(), c.amount, c.unit));
        EXPECT_EQ(before, Take(VelDateTimeToString(value.get())));  // left unchanged
    }
}

TEST(VelDateTimeNow, CurrentLocalTime) {
    DateTimePtr now = Own(GetCurrentVelDateTime());
    ASSERT_NE(nullptr, now);
    ASSERT_NE(nullptr, now->date);
    ASSERT_NE(nullptr, now->time);
    EXPECT_GE(now->date->year, 2024);
    EXPECT_GE(now->date->month, 1);
    EXPECT_LE(now->date->month, 12);
    EXPECT_LE(now->time->hour, 23);
}

struct ParseCase {
    const char *text;
    const char *format;
    int consumed;  // characters consumed, or -1 for a mismatch
    int year, month, day, hour, minute, second, wday, yday;
};

constexpr int X = -99;  // field not expected to be set

TEST(ParseDateTimeText, DirectiveTable) {
    const ParseCase cases[] = {
        {"2024-03-05 13:07:09", "%Y-%m-%d %H:%M:%S", 19, 124, 2, 5, 13, 7, 9, X, X},
        {"12:30:00 PM", "%I:%M:%S %p", 11, X, X, X, 12, 30, 0, X, X},
        {"12:30:00 AM", "%I:%M:%S %p", 11, X, X, X, 0, 30, 0, X, X},
        {"01:05:06 pm", "%r", 11, X, X, X, 13, 5, 6, X, X},
        {"11:59 am", "%l:%M %p", 8, X, X, X, 11, 59, X, X, X},
        {"13:00 PM", "%H:%M %p", -1, X, X, X, X, X, X, X, X},        // PM needs hour <= 11
        {"10:00 PM extra", "%H:%M %p", -1, X, X, X, X, X, X, X, X},  // %p ends the text
        {"Tuesday 5 february", "%A %e %B", 18, X, 1, 5, X, X, X, 2, X},
        {"tue feb", "%a %b", 7, X, 1, X, X, X, X, 2, X},
        {"Sept", "%h", 3, X, 8, X, X, X, X, X, X},  // abbreviation, rest left
        {"Fox", "%a", -1, X, X, X, X, X, X, X, X},
        {"03/04/05", "%D", 8, 105, 2, 4, X, X, X, X, X},
        {"03/04/69", "%x", 8, 69, 2, 4, X, X, X, X, X},
        {"03/04/68 01:02:03", "%c", 17, 168, 2, 4, 1, 2, 3, X, X},
        {"19 05", "%C %y", 5, 5, X, X, X, X, X, X, X},
        {"05 19", "%y %C", 5, 5, X, X, X, X, X, X, X},
        {"20", "%C", 2, 100, X, X, X, X, X, X, X},
        {"07:08", "%R", 5, X, X, X, 7, 8, X, X, X},
        {"7:8:9", "%T", 5, X, X, X, 7, 8, 9, X, X},
        {"23:59:61", "%X", 8, X, X, X, 23, 59, 61, X, X},
        {"366", "%j", 3, X, X, X, X, X, X, X, 365},
        {"367", "%j", -1, X, X, X, X, X, X, X, X},
        {"53 6", "%U %w", 4, X, X, X, X, X, X, 6, X},
        {"54", "%W", -1, X, X, X, X, X, X, X, X},
        {"100%", "%Y%%", 4, -1800, X, X, X, X, X, X, X},
        {"a\t \nb", "a%nb", 5, X, X, X, X, X, X, X, X},
        {"ab", "a %t b", 2, X, X, X, X, X, X, X, X},  // white space may also be absent
        {"x", "y", -1, X, X, X, X, X, X, X, X},
        {"12345", "%Y", 4, -1900 + 1234, X, X, X, X, X, X, X},  // digits stop at the maximum
        {"13", "%m", -1, X, X, X, X, X, X, X, X},
        {"0", "%d", -1, X, X, X, X, X, X, X, X},
        {" 5", "%d", -1, X, X, X, X, X, X, X, X},  // must start with a digit
        {"24", "%k", -1, X, X, X, X, X, X, X, X},
        {"2024", "%EY", 4, 124, X, X, X, X, X, X, X},
        {"05", "%Od", 2, X, X, 5, X, X, X, X, X},
        {"05", "%Ey", 2, 105, X, X, X, X, X, X, X},
        {"05", "%Oy", 2, 105, X, X, X, X, X, X, X},
        {"05", "%Ed", -1, X, X, X, X, X, X, X, X},  // E is not allowed before d
        {"05", "%Ok", -1, X, X, X, X, X, X, X, X},
        {"Mon", "%EA", -1, X, X, X, X, X, X, X, X},
        {"5", "%Q", -1, X, X, X, X, X, X, X, X},
        {"5", "%", -1, X, X, X, X, X, X, X, X},
        {"5", "%E", -1, X, X, X, X, X, X, X, X},
    };
    for (const ParseCase &c : cases) {
        SCOPED_TRACE(std::string(c.text) + " / " + c.format);
        struct tm t;
        memset(&t, 0, sizeof t);
        t.tm_year = t.tm_mon = t.tm_mday = t.tm_hour = t.tm_min = t.tm_sec = X;
        t.tm_wday = t.tm_yday = X;
        char *end = ParseDateTimeText(c.text, c.format, &t);
        if (c.consumed < 0) {
            EXPECT_EQ(nullptr, end);
            continue;
        }
        ASSERT_NE(nullptr, end);
        EXPECT_EQ(c.consumed, end - c.text);
        EXPECT_EQ(c.year, t.tm_year);
        EXPECT_EQ(c.month, t.tm_mon);
        EXPECT_EQ(c.day, t.tm_mday);
        EXPECT_EQ(c.hour, t.tm_hour);
        EXPECT_EQ(c.minute, t.tm_min);
        EXPECT_EQ(c.second, t.tm_sec);
        EXPECT_EQ(c.wday, t.tm_wday);
        EXPECT_EQ(c.yday, t.tm_yday);
    }
    struct tm t {};
    EXPECT_EQ(nullptr, ParseDateTimeText(nullptr, "%Y", &t));
    EXPECT_EQ(nullptr, ParseDateTimeText("2024", nullptr, &t));
}

}  // namespace
