// Conversions between text and the stored form of column values, both ways, for every type.
#include <apr_pools.h>
#include <gtest/gtest.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <memory>
#include <string>

#include "store/column_defn.h"
#include "store/datetime.h"
#include "util/mempool.h"

namespace {

std::string Take(char *text) {
    std::unique_ptr<char, decltype(&free)> owned(text, free);
    return text != nullptr ? std::string(text) : "<null>";
}

std::string LittleEndian(uint64_t bits, int width) {
    std::string bytes;
    for (int i = 0; i < width; ++i) bytes.push_back(char((bits >> (8 * i)) & 0xff));
    return bytes;
}

std::string FloatBytes(float f) {
    return std::string(reinterpret_cast<char *>(&f), sizeof f);
}
std::string DoubleBytes(double d) {
    return std::string(reinterpret_cast<char *>(&d), sizeof d);
}

struct TextCase {
    unsigned char type;
    const char *text;
    int givenLength;     // the byte count handed in (used by the byte-copied types)
    std::string stored;  // expected bytes; for dates unused
    int storedLength;
    const char *back;  // ConvertColumnValueToString of the stored value
};

TEST(ColumnValue, TextToStoredAndBack) {
    const TextCase cases[] = {
        // Integers: sign, trailing junk, empty, wrap-around without overflow checks, and
        // every value at its own width.
        {VEL_SQL_INT, "-12", 3, LittleEndian(uint32_t(-12), 4), 4, "-12"},
        {VEL_SQL_INT, "+7", 2, LittleEndian(7, 4), 4, "7"},
        {VEL_SQL_INT, "12a", 3, LittleEndian(0, 4), 4, "0"},
        {VEL_SQL_INT, "", 0, LittleEndian(0, 4), 4, "0"},
        {VEL_SQL_INT, "2147483648", 10, LittleEndian(0x80000000u, 4), 4, "-2147483648"},
        {VEL_SQL_TINYINT, "-1", 2, "\xff", 1, "-1"},
        {VEL_SQL_TINYINT, "128", 3, "\x80", 1, "-128"},
        {VEL_SQL_UNSIGNED_TINYINT, "255", 3, "\xff", 1, "255"},
        {VEL_SQL_UNSIGNED_TINYINT, "256", 3, std::string(1, '\0'), 1, "0"},
        {VEL_SQL_SMALLINT, "-300", 4, LittleEndian(uint16_t(-300), 2), 2, "-300"},
        {VEL_SQL_UNSIGNED_SMALLINT, "65535", 5, "\xff\xff", 2, "65535"},
        {VEL_SQL_UNSIGNED_INT, "4294967295", 10, "\xff\xff\xff\xff", 4, "4294967295"},
        {VEL_SQL_BIGINT, "5000000000", 10, LittleEndian(5000000000ull, 8), 8, "5000000000"},
        {VEL_SQL_BIGINT, "-9223372036854775808", 20, LittleEndian(1ull << 63, 8), 8,
         "-9223372036854775808"},
        {VEL_SQL_UNSIGNED_LONG_INT, "18446744073709551615", 20, LittleEndian(~0ull, 8), 8,
         "18446744073709551615"},
        // Reals: no exponent syntax, junk gives 0.
        {VEL_SQL_FLOAT, "1.5", 3, FloatBytes(1.5f), 4, "1.500000"},
        {VEL_SQL_FLOAT, "-.25", 4, FloatBytes(-0.25f), 4, "-0.250000"},
        {VEL_SQL_FLOAT, "1e5", 3, FloatBytes(0.0f), 4, "0.000000"},
        {VEL_SQL_REAL, "2.75", 4, FloatBytes(2.75f), 4, "2.750000"},
        {VEL_SQL_DOUBLE, "3.125", 5, DoubleBytes(3.125), 8, "3.125000"},
        // Byte-copied types keep exactly the given count.
        {VEL_SQL_DECIMAL, "12.50", 5, "12.50", 5, "12.50"},
        {VEL_SQL_NUMERIC, "1e9x", 4, "1e9x", 4, "1e9x"},
        {VEL_SQL_BLOB, "abcdef", 3, "abc", 3, "abc"},
        {VEL_SQL_CLOB, "long text", 9, "long text", 9, "long text"},
        // Text types take the whole text whatever length is given.
        {VEL_SQL_CHAR, "hello", 99, "hello", 5, "hello"},
        {VEL_SQL_VARCHAR, "it's", 0, "it's", 4, "it's"},
        {VEL_SQL_TEXT, "", 7, "", 0, ""},
        // Booleans in any case.
        {VEL_SQL_BOOLEAN, "true", 4, "\x01", 1, "'t'"},
        {VEL_SQL_BOOLEAN, "FaLsE", 5, std::string(1, '\0'), 1, "'f'"},
    };
    for (const TextCase &c : cases) {
        SCOPED_TRACE(std::string("type ") + std::to_string(c.type) + " text '" + c.text + "'");
        int length = c.givenLength;
        void *value = ConvertStringToColumnValue(c.text, &length, c.type);
        ASSERT_NE(nullptr, value);
        EXPECT_EQ(c.storedLength, length);
        EXPECT_EQ(c.stored, std::string(static_cast<char *>(value), size_t(length)));
        EXPECT_EQ(c.back, Take(ConvertColumnValueToString(value, length, c.type)));
        free(value);
    }
}

TEST(ColumnValue, CopiedBuffersCarryATrailingZero) {
    for (unsigned char type :
         {VEL_SQL_NOT_SUPPORTED_TYPE, VEL_SQL_DECIMAL, VEL_SQL_BLOB, VEL_SQL_CHAR, VEL_SQL_TEXT}) {
        int length = 3;
        char *value = static_cast<char *>(ConvertStringToColumnValue("xyz!", &length, type));
        ASSERT_NE(nullptr, value);
        EXPECT_EQ('\0', value[length]) << int(type);
        free(value);
    }
}

TEST(ColumnValue, DatesAreWholeDateTimesInOneBlock) {
    const struct {
        unsigned char type;
        const char *text;
        const char *back;
    } cases[] = {
        {VEL_SQL_DATE, "2024-02-29", "2024-02-29 00:00:00"},
        {VEL_SQL_TIME, "10:20:30", "0000-00-00 10:20:30"},
        {VEL_SQL_DATETIME, "2024-01-02 03:04:05", "2024-01-02 03:04:05"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        int length = 0;
        void *value = ConvertStringToColumnValue(c.text, &length, c.type);
        ASSERT_NE(nullptr, value);
        EXPECT_EQ(VEL_DATETIME_LENGTH, length);
        const VelDateTime *dateTime = static_cast<const VelDateTime *>(value);
        ASSERT_NE(nullptr, dateTime->date);
        ASSERT_NE(nullptr, dateTime->time);
        EXPECT_EQ(c.back, Take(ConvertColumnValueToString(value, length, c.type)));
        free(value);  // one block: a plain free releases both parts (ASan would see a leak)
    }
}

TEST(ColumnValue, TextsThatAreNoValueGiveNull) {
    const struct {
        unsigned char type;
        const char *text;
    } cases[] = {
        {VEL_SQL_BOOLEAN, "yes"},
        {VEL_SQL_BOOLEAN, ""},
        {VEL_SQL_DATE, "soon"},
        {VEL_SQL_DATETIME, ""},
        {23, "1"},
        {255, "x"},
        {VEL_SQL_INT, nullptr},
        {VEL_SQL_TEXT, nullptr},
    };
    for (const auto &c : cases) {
        int length = 1;
        EXPECT_EQ(nullptr, ConvertStringToColumnValue(c.text, &length, c.type))
            << int(c.type) << " " << (c.text ? c.text : "(null)");
    }
    EXPECT_EQ(nullptr, ConvertStringToColumnValue("1", nullptr, VEL_SQL_INT));
    int negative = -1;
    EXPECT_EQ(nullptr, ConvertStringToColumnValue("abc", &negative, VEL_SQL_BLOB));
}

TEST(ColumnValue, StoredValuesAreReadAtTheirStoredWidth) {
    int32_t wide300 = 300, wideNegative = -70000;
    uint32_t wideMax = 0xffffffffu;
    unsigned char flag2 = 2, flag1 = 1;
    VelDate date = {2024, 5, 6};
    VelTime time = {7, 8, 9};
    VelDateTime dateOnly = {&date, nullptr, 0, 0, 0};
    const struct {
        const void *value;
        int length;
        unsigned char type;
        const char *text;
    } cases[] = {
        {nullptr, 0, VEL_SQL_INT, "NULL"},
        {nullptr, 0, VEL_SQL_NOT_SUPPORTED_TYPE, "NULL"},
        // 32-bit-class integers held at 4 bytes in columns of the narrow types.
        {&wide300, 4, VEL_SQL_TINYINT, "300"},
        {&wideNegative, 4, VEL_SQL_SMALLINT, "-70000"},
        {&wideMax, 4, VEL_SQL_UNSIGNED_TINYINT, "4294967295"},
        {&wideMax, 2, VEL_SQL_UNSIGNED_SMALLINT, "65535"},
        {&wideMax, 1, VEL_SQL_TINYINT, "-1"},
        // Widths that no integer or real has: no text rather than a read past the value.
        {&wide300, 3, VEL_SQL_INT, "<null>"},
        {&wide300, 0, VEL_SQL_BIGINT, "<null>"},
        {&wide300, 2, VEL_SQL_FLOAT, "<null>"},
        {&flag2, 0, VEL_SQL_BOOLEAN, "<null>"},
        {&flag2, 1, VEL_SQL_BOOLEAN, "'f'"},
        {&flag1, 1, VEL_SQL_BOOLEAN, "'t'"},
        // Dates stored as bare parts, told apart by the length.
        {&date, VEL_DATE_LENGTH, VEL_SQL_DATE, "2024-05-06"},
        {&time, VEL_TIME_LENGTH, VEL_SQL_TIME, "07:08:09"},
        {&dateOnly, VEL_DATETIME_LENGTH, VEL_SQL_DATE, "2024-05-06"},
        {&date, 5, VEL_SQL_DATE, "<null>"},
        // No text form.
        {"abc", 3, VEL_SQL_NOT_SUPPORTED_TYPE, "<null>"},
        {"abc", 3, 23, "<null>"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(c.text, Take(ConvertColumnValueToString(c.value, c.length, c.type)))
            << "type " << int(c.type) << " length " << c.length;
    }
    EXPECT_EQ(300, ReadStoredInteger(&wide300, 4, VEL_SQL_TINYINT));
    EXPECT_EQ(-1, ReadStoredInteger(&wideMax, 2, VEL_SQL_SMALLINT));
    EXPECT_EQ(65535, ReadStoredInteger(&wideMax, 2, VEL_SQL_UNSIGNED_SMALLINT));
    EXPECT_EQ(0, ReadStoredInteger(&wideMax, 3, VEL_SQL_INT));
    EXPECT_EQ(0, ReadStoredInteger(&wideMax, 4, VEL_SQL_FLOAT));
}

TEST(ColumnValue, PoolTextCoversIntegersRealsTextsAndBooleansOnly) {
    ASSERT_EQ(1, InitializeMemPool());
    apr_pool_t *pool = nullptr;
    ASSERT_EQ(1, CreateChildMemPool(&pool));
    for (unsigned char type = 0; type <= VEL_SQL_LAST_TYPE; ++type) {
        SCOPED_TRACE(int(type));
        const char *text = type == VEL_SQL_BOOLEAN ? "true"
                           : (type >= VEL_SQL_DATE && type <= VEL_SQL_DATETIME)
                               ? "2024-01-02 03:04:05"
                               : "42";
        int length = int(strlen(text));
        void *value = ConvertStringToColumnValue(text, &length, type);
        char *pooled = ConvertColumnValueToPoolString(value, length, type, pool);
        bool covered =
            (type >= VEL_SQL_TINYINT && type <= VEL_SQL_VARCHAR) || type == VEL_SQL_BOOLEAN;
        if (covered) {
            ASSERT_NE(nullptr, pooled);
            EXPECT_EQ(Take(ConvertColumnValueToString(value, length, type)), pooled);
        } else {
            EXPECT_EQ(nullptr, pooled);
        }
        EXPECT_STREQ("NULL", ConvertColumnValueToPoolString(nullptr, 0, type, pool));
        free(value);
    }
    int length = 1;
    void *big = ConvertStringToColumnValue("-5000000000", &length, VEL_SQL_BIGINT);
    EXPECT_STREQ("-5000000000", ConvertColumnValueToPoolString(big, length, VEL_SQL_BIGINT, pool));
    EXPECT_EQ(nullptr, ConvertColumnValueToPoolString(big, length, VEL_SQL_BIGINT, nullptr));
    EXPECT_EQ(nullptr, ConvertColumnValueToPoolString(big, length, 23, pool));
    free(big);
    apr_pool_destroy(pool);
    TerminateMemPool();
}

// A copy of a date or time block is a block of its own: its parts point into the copy, so
// freeing the source leaves it whole. Other values are copied byte for byte with a zero after.
TEST(ColumnValue, CopyColumnValue) {
    int length = 0;
    void *source = ConvertStringToColumnValue("2024-05-06 07:08:09", &length, VEL_SQL_DATETIME);
    void *copy = CopyColumnValue(source, length, VEL_SQL_DATETIME);
    ASSERT_NE(nullptr, copy);
    const VelDateTime *block = static_cast<const VelDateTime *>(copy);
    EXPECT_EQ(static_cast<const void *>(block + 1), static_cast<const void *>(block->date));
    free(source);
    EXPECT_EQ("2024-05-06 07:08:09", Take(VelDateTimeToString(block)));
    free(copy);

    VelTime time{1, 2, 3};
    void *timeOnly = CreateDateTimeColumnValue(nullptr, &time);
    copy = CopyColumnValue(timeOnly, VEL_DATETIME_LENGTH, VEL_SQL_TIME);
    EXPECT_EQ(nullptr, static_cast<VelDateTime *>(copy)->date);
    EXPECT_EQ("01:02:03", Take(VelDateTimeToString(static_cast<VelDateTime *>(copy))));
    free(timeOnly);
    free(copy);

    copy = CopyColumnValue("abcdef", 3, VEL_SQL_VARCHAR);
    EXPECT_STREQ("abc", static_cast<char *>(copy));
    free(copy);
    // Eleven bytes of another type are just bytes.
    copy = CopyColumnValue("hello world", 11, VEL_SQL_TEXT);
    EXPECT_STREQ("hello world", static_cast<char *>(copy));
    free(copy);
    EXPECT_EQ(nullptr, CopyColumnValue(nullptr, 4, VEL_SQL_INT));
    EXPECT_EQ(nullptr, CopyColumnValue("x", -1, VEL_SQL_INT));
}

}  // namespace
