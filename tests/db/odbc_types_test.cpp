// The ODBC column type table, date and time parsing, and fetched text to stored values.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "db/odbc_types.h"
#include "store/column_defn.h"

namespace {

TEST(OdbcTypes, TableMapsEveryListedCode) {
    struct Case {
        int sqlType;
        const char *typeName;
        unsigned char want;
    } cases[] = {
        {-5, nullptr, VEL_SQL_BIGINT},
        {5, nullptr, VEL_SQL_SMALLINT},
        {4, nullptr, VEL_SQL_INT},
        {6, nullptr, VEL_SQL_DOUBLE},  // SQL_FLOAT is double precision
        {8, nullptr, VEL_SQL_DOUBLE},
        {2, nullptr, VEL_SQL_NUMERIC},
        {1, nullptr, VEL_SQL_CHAR},
        {12, nullptr, VEL_SQL_VARCHAR},
        {-1, nullptr, VEL_SQL_BLOB},
        {-2, nullptr, VEL_SQL_BLOB},
        {-3, nullptr, VEL_SQL_BLOB},
        {-4, nullptr, VEL_SQL_BLOB},
        {9, nullptr, VEL_SQL_DATE},
        {10, nullptr, VEL_SQL_TIME},
        {11, nullptr, VEL_SQL_DATETIME},
        {-6, nullptr, VEL_SQL_BOOLEAN},
        {-7, nullptr, VEL_SQL_BOOLEAN},  // SQLite's and psqlODBC's boolean
        {7, nullptr, VEL_SQL_NOT_SUPPORTED_TYPE},
        {3, nullptr, VEL_SQL_NOT_SUPPORTED_TYPE},
        {-11, nullptr, VEL_SQL_NOT_SUPPORTED_TYPE},
        {-8, nullptr, VEL_SQL_NOT_SUPPORTED_TYPE},
        {-9, nullptr, VEL_SQL_NOT_SUPPORTED_TYPE},
        {-10, nullptr, VEL_SQL_NOT_SUPPORTED_TYPE},
        {101, nullptr, VEL_SQL_NOT_SUPPORTED_TYPE},
        {113, nullptr, VEL_SQL_NOT_SUPPORTED_TYPE},
        {91, nullptr, VEL_SQL_NOT_SUPPORTED_TYPE},  // not listed at all
        {0, nullptr, VEL_SQL_NOT_SUPPORTED_TYPE},
        // psqlODBC's default boolean: varchar, type name "bool".
        {12, "bool", VEL_SQL_BOOLEAN},
        {1, "BOOLEAN", VEL_SQL_BOOLEAN},
        {12, "varchar", VEL_SQL_VARCHAR},
        {4, "bool", VEL_SQL_INT},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(c.want, ODBCGetColumnType(c.sqlType, c.typeName)) << c.sqlType;
    }
}

TEST(OdbcTypes, ParsesDatesTimesAndTimestampsIntoTheirParts) {
    struct Case {
        const char *text;
        unsigned char type;
        bool ok;
        int date[3];  // year, month, day; year 0: no date part
        int time[3];  // -1: no time part
    } cases[] = {
        {"2024-01-02", VEL_SQL_DATE, true, {2024, 1, 2}, {-1, 0, 0}},
        {"03:04:05", VEL_SQL_TIME, true, {0, 0, 0}, {3, 4, 5}},
        {"03:04:05.5", VEL_SQL_TIME, true, {0, 0, 0}, {3, 4, 5}},
        {"2024-01-02 03:04:05.123456", VEL_SQL_DATETIME, true, {2024, 1, 2}, {3, 4, 5}},
        {"2024-01-02", VEL_SQL_DATETIME, true, {2024, 1, 2}, {0, 0, 0}},
        {"2024-01-02 03:04", VEL_SQL_DATETIME, false, {}, {}},
        {"03:04", VEL_SQL_TIME, false, {}, {}},
        {"yesterday", VEL_SQL_DATE, false, {}, {}},
        {"", VEL_SQL_DATE, false, {}, {}},
        {"40000-01-02", VEL_SQL_DATE, false, {}, {}},  // would not fit the record
        {"2024-01-02", VEL_SQL_VARCHAR, false, {}, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        int32_t length = 0;
        VelDateTime *value = ODBCParseDateTime(c.text, &length, c.type);
        EXPECT_EQ(11, length);
        ASSERT_EQ(c.ok, value != nullptr);
        if (!value) continue;
        if (c.date[0] == 0) {
            EXPECT_EQ(nullptr, value->date);
        } else {
            ASSERT_NE(nullptr, value->date);
            EXPECT_EQ(c.date[0], value->date->year);
            EXPECT_EQ(c.date[1], value->date->month);
            EXPECT_EQ(c.date[2], value->date->day);
        }
        if (c.time[0] < 0) {
            EXPECT_EQ(nullptr, value->time);
        } else {
            ASSERT_NE(nullptr, value->time);
            EXPECT_EQ(c.time[0], value->time->hour);
            EXPECT_EQ(c.time[1], value->time->minute);
            EXPECT_EQ(c.time[2], value->time->second);
        }
        free(value);  // one block
    }
    EXPECT_EQ(nullptr, ODBCParseDateTime(nullptr, nullptr, VEL_SQL_DATE));
}

TEST(OdbcTypes, FetchedTextBecomesTheStoredValue) {
    struct Case {
        const char *text;
        unsigned char type;
        int32_t length;
        const char *bytes;  // the stored bytes
    } cases[] = {
        {"1", VEL_SQL_BOOLEAN, 1, "\x01"},
        {"t", VEL_SQL_BOOLEAN, 1, "\x01"},  // SQLite keeps an updated 't' as it was written
        {"TRUE", VEL_SQL_BOOLEAN, 1, "\x01"},
        {"0", VEL_SQL_BOOLEAN, 1, "\x00"},
        {"2", VEL_SQL_BOOLEAN, 1, "\x00"},
        {"f", VEL_SQL_BOOLEAN, 1, "\x00"},
        {"", VEL_SQL_BOOLEAN, 1, "\x00"},
        {"-2", VEL_SQL_INT, 4, "\xfe\xff\xff\xff"},
        {"300", VEL_SQL_SMALLINT, 2, "\x2c\x01"},
        {"abc", VEL_SQL_VARCHAR, 3, "abc"},
        {"12.50", VEL_SQL_NUMERIC, 5, "12.50"},
        {"1.5", VEL_SQL_NOT_SUPPORTED_TYPE, 3, "1.5"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        void *value = nullptr;
        int32_t length = -1;
        ASSERT_EQ(1, ODBCMakeColumnValue(c.text, strlen(c.text), c.type, &value, &length));
        ASSERT_EQ(c.length, length);
        EXPECT_EQ(0, memcmp(c.bytes, value, size_t(length)));
        free(value);
    }
    // Text values keep every byte, an embedded zero byte included.
    void *value = nullptr;
    int32_t length = 0;
    ASSERT_EQ(1, ODBCMakeColumnValue("a\0b", 3, VEL_SQL_BLOB, &value, &length));
    EXPECT_EQ(3, length);
    free(value);
    // A date that cannot be read yields nothing.
    EXPECT_EQ(0, ODBCMakeColumnValue("soon", 4, VEL_SQL_DATE, &value, &length));
    EXPECT_EQ(nullptr, value);
}

}  // namespace
