#include "util/conversions.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <climits>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "util/strings.h"

namespace {

std::string Take(char *text) {
    std::unique_ptr<char, decltype(&free)> owned(text, free);
    return text != nullptr ? std::string(text) : "<null>";
}

TEST(HexConversions, DigitsAndPacking) {
    EXPECT_EQ(11, GetHexValue('b'));
    EXPECT_EQ(11, GetHexValue('B'));
    EXPECT_EQ('g', GetHexValue('g'));
    EXPECT_EQ(15, ConvertToDecimalFromHexa('F'));
    EXPECT_EQ(0, ConvertToDecimalFromHexa('g'));

    char digits[] = "0aFF10";
    EXPECT_EQ(3, ConvertToHexValue(digits, 6));
    EXPECT_EQ(0x0A, static_cast<unsigned char>(digits[0]));
    EXPECT_EQ(0xFF, static_cast<unsigned char>(digits[1]));
    EXPECT_EQ(0x10, static_cast<unsigned char>(digits[2]));

    // Longer than the 64 digits a fixed scratch buffer would hold: packed in place.
    std::string longText(200, 'a');
    EXPECT_EQ(100, ConvertToHexValue(longText.data(), 200));
    EXPECT_EQ(0xAA, static_cast<unsigned char>(longText[99]));

    const unsigned char bytes[] = {0xA5, 0x0F};
    char out[4];
    ConvertToStringFromHex(out, bytes, 2);
    EXPECT_EQ(0, memcmp(out, "\x0a\x05\x00\x0f", 4));
}

TEST(NumberConversions, IntegersBooleansAndCounters) {
    struct Case {
        int value;
        const char *text;
    } ints[] = {{0, "0"}, {-42, "-42"}, {INT_MAX, "2147483647"}, {INT_MIN, "-2147483648"}};
    for (const Case &c : ints) {
        EXPECT_EQ(c.text, Take(ConvertToStringFromInteger(&c.value)));
        EXPECT_EQ(c.text, Take(ToString(&c.value, 4, 0)));
    }
    EXPECT_EQ("FALSE", Take(ToString(nullptr, 0, 1)));
    EXPECT_EQ("TRUE", Take(ToString(reinterpret_cast<void *>(1), 0, 1)));
    EXPECT_EQ("<null>", Take(ToString(&ints[0].value, 4, 2)));

    uint32_t big = 4294967295u;
    int length = 0;
    EXPECT_EQ("4294967295", Take(ConvertToStringFromUnsignedInteger(&big, &length)));
    EXPECT_EQ(10, length);

    Counter64 all{0xFFFFFFFFu, 0xFFFFFFFFu};
    EXPECT_EQ("18446744073709551615", Take(Counter64ToString(&all)));
    EXPECT_EQ(0x0000000100000002ull, ConvertToULongLongFromCounter64(1, 2));
    Counter64 split = ConvertToCounter64FromULongLong(0x0000000100000002ull);
    EXPECT_EQ(1u, split.high);
    EXPECT_EQ(2u, split.low);
}

TEST(NumberConversions, Counter64Octets) {
    struct Case {
        std::vector<unsigned char> octets;
        uint32_t high, low;
    } cases[] = {
        {{0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, 0xFFFFFFFFu, 0xFFFFFFFFu},
        {{0x05}, 0, 5},
        {{0x01, 0x02, 0x03, 0x04, 0x05}, 0x01, 0x02030405},
        {{0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08}, 0x01020304, 0x05060708},
        {{}, 0, 0},
        {std::vector<unsigned char>(10, 0xFF), 0, 0},  // more than 9 octets is refused
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.octets.size());
        Counter64 counter{7, 7};
        EXPECT_EQ(c.low, ConvertToCounter64(&counter, c.octets.data(), int(c.octets.size())));
        EXPECT_EQ(c.high, counter.high);
        EXPECT_EQ(c.low, counter.low);
    }
}

TEST(OidConversions, ParseOidAndAddressText) {
    struct Case {
        const char *text;
        int isIp;
        int count;
        std::vector<uint32_t> values;
    } cases[] = {
        {"10.0.0.1", 1, 4, {10, 0, 0, 1}},
        {".1.3.6", 0, 3, {1, 3, 6}},
        {".1.3.6.1.4.1.4294967295", 0, 7, {1, 3, 6, 1, 4, 1, 4294967295u}},
        {".0", 0, 1, {0}},
        {"1..2", 1, -1, {}},
        {"1..2", 0, -1, {}},
        {"1.3.6", 0, -1, {}},  // an OID starts with "."
        {"10", 1, -1, {}},     // no "." at all
        {"", 0, -1, {}},
        {".1.", 0, -1, {}},
        {".1.+", 0, -1, {}},  // a lone sign
        {".1.-5", 0, -1, {}},
        {".1.4294967296", 0, -1, {}},
        {".1.x", 0, -1, {}},
        {".1.00000000000000000001", 0, -1, {}},  // part longer than 19 characters
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        uint32_t *values = reinterpret_cast<uint32_t *>(1);
        EXPECT_EQ(c.count, ConvertToOidOrIpFromString(&values, c.text, c.isIp));
        if (c.count > 0) {
            ASSERT_NE(nullptr, values);
            EXPECT_EQ(c.values, std::vector<uint32_t>(values, values + c.count));
        } else {
            EXPECT_EQ(nullptr, values);
        }
        free(values);
    }
    EXPECT_EQ(-1, ConvertToOidOrIpFromString(nullptr, ".1", 0));
}

TEST(OidConversions, TextFormsAndComparisons) {
    const uint32_t oid[] = {1, 3, 4294967295u};
    int length = int(sizeof oid);
    EXPECT_EQ(".1.3.4294967295", Take(ConvertToStringFromOID(oid, &length)));
    EXPECT_EQ(15, length);
    length = 0;
    EXPECT_EQ("", Take(ConvertToStringFromOID(oid, &length)));

    char out[16];
    EXPECT_EQ(1, ConvertToStringFromOid(oid, 3, out, sizeof out));
    EXPECT_STREQ(".1.3.4294967295", out);
    char small[8];
    memset(small, '#', sizeof small);
    EXPECT_EQ(0, ConvertToStringFromOid(oid, 3, small, sizeof small));  // refused, not overrun
    EXPECT_STREQ("", small);

    EXPECT_EQ(3, GetOidLength(".1.3.6", 6));
    EXPECT_EQ(2, GetOidLength(".1.3.6", 4));
    EXPECT_TRUE(IsValidOid(".1.3", 4));
    EXPECT_FALSE(IsValidOid(".1", 2));
    EXPECT_FALSE(IsValidOid("1.3.6", 5));

    const uint32_t a[] = {1, 3, 6}, b[] = {1, 3, 7}, prefix[] = {1, 3}, high[] = {1, 0x80000000u};
    struct Case {
        const uint32_t *x;
        int xCount;
        const uint32_t *y;
        int yCount;
        int expected;
    } cases[] = {
        {a, 3, a, 3, 0},       {a, 3, b, 3, -1},     {b, 3, a, 3, 1},
        {prefix, 2, a, 3, -1}, {a, 3, prefix, 2, 1}, {high, 2, a, 3, 1},  // unsigned order
    };
    for (const Case &c : cases) EXPECT_EQ(c.expected, CompareOid(c.x, c.xCount, c.y, c.yCount));

    EXPECT_EQ(6u, GetNextSubId(3, a, 3));
    EXPECT_EQ(0u, GetNextSubId(6, a, 3));
    EXPECT_EQ(0x80000000u, GetNextSubId(1, high, 2));
}

TEST(OidConversions, CopiesAndReallocation) {
    uint32_t target[5] = {9, 9, 9, 9, 9};
    const uint32_t source[] = {1, 2};
    SetNOid(target, source, 2, 2);
    EXPECT_EQ((std::vector<uint32_t>{9, 9, 1, 2, 9}), std::vector<uint32_t>(target, target + 5));

    uint32_t *owned = static_cast<uint32_t *>(calloc(2, sizeof(uint32_t)));
    owned[0] = 42;
    int count = 2;
    // Re-setting from the array itself: the copy is taken before the old array goes.
    EXPECT_EQ(1, ReallocateAndSetOID(&owned, &count, owned, 1));
    EXPECT_EQ(1, count);
    EXPECT_EQ(42u, owned[0]);
    free(owned);

    char *text = nullptr;
    AllocCopyString(&text, "old text");
    EXPECT_EQ(1, ReallocateAndSetString(&text, text + 4, 4));
    EXPECT_STREQ("text", text);
    free(text);

    uint32_t chars[3];
    CopyStringToOid(chars, "A\xe9");
    EXPECT_EQ(65u, chars[0]);
    EXPECT_EQ(0xFFFFFFE9u, chars[1]);  // characters are taken as signed bytes
    const unsigned char bytes[] = {0xE9};
    CopyStringToOID(chars, bytes, 1);
    EXPECT_EQ(0xE9u, chars[0]);

    const uint32_t values[] = {7, 72, 255, 256, 105};
    char out[8];
    ConvertToCharArray(out, values, 1, 5);
    EXPECT_EQ(0, memcmp(out, "H\0\1i\0", 5));  // modulo 255: 255 -> 0, 256 -> 1
}

TEST(IpConversions, ValidationTable) {
    struct Case {
        const char *text;
        int expected;
    } cases[] = {
        {"192.168.0.1", 1},
        {"0.0.0.0", 1},
        {"255.255.255.255", 1},
        {"00.1.1.1", 1},
        {"192.168.0.", 0},
        {".1.2.3", 0},
        {"256.1.1.1", 0},
        {"1.2.3", 0},
        {"1..2.3", 0},
        {"1.2.3.4.5", 0},
        {"a.1.1.1", 0},
        {"-1.1.1.1", 0},
        {"+0.1.1.1", 0},
        {"4294967297.1.1.1", 0},
        {"", 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(c.expected, IsValidIPAddress(c.text, int(strlen(c.text))));
    }
    EXPECT_EQ(1, IsValidIPAddress("1.2.3.4junk", 7));  // only the first length characters
    EXPECT_EQ(0, IsValidIPAddress(nullptr, 7));

    const uint32_t values[] = {1, 10, 0, 0, 255, 256};
    char out[16];
    EXPECT_EQ(1, ConvertToIpAddressFromOid(out, values, 1, 5));
    EXPECT_STREQ("10.0.0.255", out);
    EXPECT_EQ(1, ConvertToIpAddressFromOid(out, values, 2, 2));
    EXPECT_STREQ("", out);
    EXPECT_EQ(0, ConvertToIpAddressFromOid(out, values, 0, 5));  // five values
    EXPECT_EQ(0, ConvertToIpAddressFromOid(out, values, 3, 6));  // 256
    EXPECT_STREQ("", out);
}

TEST(DateConversions, DateAndTimeOctets) {
    int length = 0;
    unsigned char *octets = ConvertToDateTimeFromString("2026-12-9,13:5:7.3", &length);
    ASSERT_NE(nullptr, octets);
    ASSERT_EQ(8, length);
    EXPECT_EQ(0, memcmp(octets, "\x07\xEA\x0C\x09\x0D\x05\x07\x03", 8));
    EXPECT_EQ("2026-12-9,13:5:7.3", Take(ConvertToStringFromDateTime(octets, &length)));
    EXPECT_EQ(18, length);
    free(octets);

    octets = ConvertToDateTimeFromString("1999-1-2,3:4:5.6,-5:30", &length);
    ASSERT_NE(nullptr, octets);
    ASSERT_EQ(11, length);
    EXPECT_EQ(0, memcmp(octets, "\x07\xCF\x01\x02\x03\x04\x05\x06-\x05\x1E", 11));
    EXPECT_EQ("1999-1-2,3:4:5.6,-5:30", Take(ConvertToStringFromDateTime(octets, &length)));
    free(octets);

    for (const char *bad : {"2026-12-9", "2026-12-9,13:5:7.3,+", "", "junk"}) {
        EXPECT_EQ(nullptr, ConvertToDateTimeFromString(bad, &length)) << bad;
    }
    // A count shorter than the form it would select is refused, not over-read.
    const unsigned char shortOctets[9] = {0x07, 0xEA, 1, 1, 0, 0, 0, 0, '+'};
    length = 9;
    EXPECT_EQ(nullptr, ConvertToStringFromDateTime(shortOctets, &length));
}

TEST(DateConversions, HttpDatesAndComparison) {
    struct Case {
        const char *text;
        int year, month, day, hour, minute, second;
    } cases[] = {
        {"Sun, 06 Nov 1994 08:49:37 GMT", 94, 10, 6, 8, 49, 37},
        {"Sunday, 06-Nov-94 08:49:37 GMT", 94, 10, 6, 8, 49, 37},
        {"Sun Nov  6 08:49:37 1994", 94, 10, 6, 8, 49, 37},
        {"Thu, 01 jan 2026 00:00:00 GMT", 126, 0, 1, 0, 0, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        struct tm *t = ParseDateTime(c.text);
        ASSERT_NE(nullptr, t);
        EXPECT_EQ(c.year, t->tm_year);
        EXPECT_EQ(c.month, t->tm_mon);
        EXPECT_EQ(c.day, t->tm_mday);
        EXPECT_EQ(c.hour, t->tm_hour);
        EXPECT_EQ(c.minute, t->tm_min);
        EXPECT_EQ(c.second, t->tm_sec);
        free(t);
    }
    for (const char *bad : {"Sun, 06 Foo 1994 08:49:37 GMT", "yesterday", "",
                            "Sunday-with-a-very-long-weekday-name, 06 Nov 1994 08:49:37 GMT"}) {
        EXPECT_EQ(nullptr, ParseDateTime(bad)) << bad;
    }
    EXPECT_EQ(8, ParseMonth("sep"));
    EXPECT_EQ(0, ParseMonth("JAN"));
    EXPECT_EQ(-1, ParseMonth("January"));
    EXPECT_EQ(-1, ParseMonth(nullptr));

    struct tm a {
    }, b{};
    a.tm_year = b.tm_year = 100;
    EXPECT_EQ(1, CompareTime(&a, &b));
    b.tm_sec = 1;
    EXPECT_EQ(0, CompareTime(&a, &b));
    a.tm_mon = 1;  // a larger month outweighs b's seconds
    EXPECT_EQ(1, CompareTime(&a, &b));

    std::string now = Take(GetCurrentDateTimeString());
    ASSERT_EQ(19u, now.size());
    EXPECT_EQ('-', now[4]);
    EXPECT_EQ(' ', now[10]);
    EXPECT_EQ(':', now[16]);
}

TEST(OtherConversions, CaseDirectoryAndKey) {
    EXPECT_EQ("abc-\xc9", Take(ToLowerCopy("AbC-\xc9")));
    EXPECT_EQ("ABC-\xe9", Take(ToUpperCopy("aBc-\xe9")));
    EXPECT_EQ("<null>", Take(ToLowerCopy(nullptr)));

    std::string directory = std::filesystem::temp_directory_path().string();
    EXPECT_TRUE(IsDirectory(directory.c_str()));
    EXPECT_FALSE(IsDirectory((directory + "/no-such-entry-kv").c_str()));
    EXPECT_FALSE(IsDirectory(KV_SOURCE_DIR "/CMakeLists.txt"));

    struct Case {
        int n;
        unsigned char key;
    } cases[] = {
        {0, 9},
        {246, 255},          // n + 9 = 255 stays below 256
        {247, 1},            // 256 mod 255
        {INT_MAX, 0x08},     // n + 9 wraps to a negative value: low 8 bits
        {INT_MAX - 9, 127},  // INT_MAX mod 255
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.n);
        unsigned char buffer[3] = {0x00, 0xFF, 0x5A};
        EXPECT_EQ(3, EncryptDecryptKey(buffer, 3, c.n));
        EXPECT_EQ(c.key, buffer[0]);
        EXPECT_EQ(0xFF ^ c.key, buffer[1]);
        EncryptDecryptKey(buffer, 3, c.n);
        EXPECT_EQ(0x5A, buffer[2]);
    }
}

TEST(OtherConversions, MessageQueueIsFirstInFirstOut) {
    Vector queue;
    InitVector(&queue, nullptr);
    int messages[3] = {1, 2, 3};
    for (int &m : messages) EXPECT_EQ(1, AddRcvdMsgToQueue(&queue, &m));
    EXPECT_EQ(&messages[0], ReadMsgFromQueueForProcessing(&queue));
    EXPECT_EQ(&messages[1], ReadMsgFromQueueForProcessing(&queue));
    EXPECT_EQ(1, AddRcvdMsgToQueue(&queue, &messages[0]));  // tail still right after reads
    EXPECT_EQ(&messages[2], ReadMsgFromQueueForProcessing(&queue));
    EXPECT_EQ(&messages[0], ReadMsgFromQueueForProcessing(&queue));
    EXPECT_EQ(nullptr, ReadMsgFromQueueForProcessing(&queue));
    EXPECT_EQ(0, queue.count);
    EXPECT_EQ(nullptr, queue.tail);
    EXPECT_EQ(nullptr, ReadMsgFromQueueForProcessing(nullptr));
    EXPECT_EQ(0, AddRcvdMsgToQueue(nullptr, &messages[0]));
}

}  // namespace
