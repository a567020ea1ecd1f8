#include "util/strings.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <climits>
#include <memory>
#include <string>
#include <vector>

namespace {

// Owns a malloc'd string from the code under test; null stays distinguishable from "".
struct Owned {
    explicit Owned(char *p) : text(p, free) {}
    bool IsNull() const { return text == nullptr; }
    std::string Str() const { return text ? std::string(text.get()) : "<null>"; }
    std::unique_ptr<char, decltype(&free)> text;
};

int Sign(int value) {
    return (value > 0) - (value < 0);
}

TEST(StringCopies, AllocCopyStringAndBytes) {
    char *out = reinterpret_cast<char *>(1);
    EXPECT_EQ(1, AllocCopyString(&out, "abc"));
    EXPECT_STREQ("abc", out);
    free(out);

    EXPECT_EQ(0, AllocCopyString(&out, nullptr));
    EXPECT_EQ(nullptr, out);

    // Embedded zero bytes are copied and one more terminator follows.
    const char bytes[] = {'a', '\0', 'b'};
    ASSERT_EQ(1, AllocCopyBytes(&out, bytes, 3));
    EXPECT_EQ(0, memcmp(out, bytes, 3));
    EXPECT_EQ('\0', out[3]);
    free(out);

    ASSERT_EQ(1, AllocCopyBytes(&out, nullptr, 0));
    EXPECT_STREQ("", out);
    free(out);

    EXPECT_EQ(99, AllocCopyBytes(&out, "x", SIZE_MAX));
    EXPECT_EQ(nullptr, out);

    EXPECT_EQ("abcd", Owned(ConcatStrings("ab", "cd")).Str());
    EXPECT_TRUE(Owned(ConcatStrings(nullptr, "cd")).IsNull());
}

TEST(StringCompare, SignsIncludingNullsAndHighBytes) {
    struct Case {
        const char *a, *b;
        int strCompare, noCase;
    } cases[] = {
        {nullptr, nullptr, 0, 0},
        {nullptr, "a", -1, -1},
        {"a", nullptr, 1, 1},
        {"abc", "abc", 0, 0},
        {"abc", "abd", -1, -1},
        {"abc", "ab", 1, 1},
        {"ABC", "abc", -1, 0},
        {"Zeta", "alpha", -1, 1},
        // Differences beyond 8 bits must keep their sign: 0xFF sorts after 'z' and after "".
        {"\xff", "z", 1, 1},
        {"\xff", "", 1, 1},
        {"\x80", "\x01", 1, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.a ? c.a : "<null>") + " vs " + (c.b ? c.b : "<null>"));
        EXPECT_EQ(c.strCompare, Sign(StrCompare(c.a, c.b)));
        EXPECT_EQ(c.noCase, Sign(StrCompareNoCase(c.a, c.b)));
    }
    // Exact byte difference for ASCII.
    EXPECT_EQ('a' - 'c', StrCompare("a", "c"));
}

TEST(StringCompare, BoundedAndByteCompares) {
    EXPECT_EQ(0, StrNCompare("abcX", "abcY", 3));
    EXPECT_GT(0, StrNCompare("abcX", "abcY", 4));
    EXPECT_EQ(0, StrNCompare("ab", "ab", 10));  // stops after the zero byte

    struct Case {
        const char *a, *b;
        size_t n;
        int expected;
    } noCase[] = {
        {"HELLO", "hello", 5, 0}, {"abc", "abd", 3, -1}, {"abd", "abc", 3, 1},
        {"abc", "abcd", 10, -1},  // equal prefix, shorter length below n: longer is greater
        {"abcd", "abc", 10, 1},   {"abc", "abcd", 3, 0},  // n reached before the lengths differ
        {"@", "`", 1, 0},  // bytes 32 apart count as equal, letters or not
    };
    for (const auto &c : noCase) {
        SCOPED_TRACE(std::string(c.a) + " vs " + c.b);
        EXPECT_EQ(c.expected, StrNCompareNoCase(c.a, c.b, c.n));
    }

    EXPECT_EQ(0, CompareBytes("a\0b", "a\0b", 3));
    EXPECT_GT(0, CompareBytes("a\0b", "a\0c", 3));
    EXPECT_GT(0, CompareBytes(nullptr, "a", 1));
    EXPECT_LT(0, CompareBytes("\xfe", "\x01", 1));
}

TEST(StringNumbers, StringToIntTable) {
    struct Case {
        const char *text;
        int expected;
    } cases[] = {
        {"+12", 12},
        {"-7", -7},
        {"0", 0},
        {"", 0},
        {"+", 0},
        {"-", 0},
        {"1-2", -1},
        {"x", -1},
        {" 1", -1},
        {"12a", -1},
        {"2147483647", INT_MAX},
        {"-2147483648", INT_MIN},
        {"0000000000000000000042", 42},
        // Beyond 32 bits: refused rather than wrapped into an unrelated number.
        {"2147483648", -1},
        {"-2147483649", -1},
        {"4294967297", -1},
        {"99999999999999999999999999", -1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(c.expected, StringToInt(c.text));
    }
    EXPECT_EQ(-1, StringToInt(nullptr));
}

TEST(StringNumbers, DecimalsAndValidity) {
    struct Case {
        const char *text;
        double expected;
    } cases[] = {
        {"12.5", 12.5},
        {"0.25", 0.25},
        {"7", 7},
        {".5", 0.5},
        {"3.", 3},
        {"", 0},
        {"1.2.3", 0},
        {"-1.5", 0},
        {"1e5", 0},
        {"123456789.987654321", 123456789.987654321},
        // Longer parts than nine digits are read, not overflowed.
        {"12345678901234", 12345678901234.0},
        {"0.00000000000000000000000000000000000001", 1e-38},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_DOUBLE_EQ(c.expected, StringToDouble(c.text));
    }
    EXPECT_TRUE(IsInteger("12x", 2));  // only the first length bytes count
    EXPECT_FALSE(IsInteger("1+2", 3));
    EXPECT_TRUE(IsInteger(nullptr, 0));
    EXPECT_TRUE(IsDecimal("1.5x", 3));
    EXPECT_FALSE(IsDecimal("1..5", 4));
}

TEST(StringNumbers, PowersAndByteIntegers) {
    EXPECT_EQ(1, IntPower(7, 0));
    EXPECT_EQ(1024, IntPower(2, 10));
    EXPECT_EQ(-27, IntPower(-3, 3));
    EXPECT_EQ(0, IntPower(2, 64));  // wraps modulo 2^64 instead of overflowing

    struct Case {
        std::vector<unsigned char> bytes;
        int expected;
    } cases[] = {
        {{0x80, 0x00}, -32768},
        {{0xFF}, -1},
        {{0x7F}, 127},
        {{0x01, 0x00}, 256},
        {{0xFF, 0xFF, 0xFF, 0xFE}, -2},
        {{0x7F, 0xFF, 0xFF, 0xFF}, INT_MAX},
        {{0x80, 0x00, 0x00, 0x00}, INT_MIN},
        {{0x00, 0x00, 0x00, 0x00, 0x01}, -1},  // more than four bytes
    };
    for (const Case &c : cases) {
        EXPECT_EQ(c.expected, ConvertToInteger(c.bytes.data(), int(c.bytes.size())));
    }
    const unsigned char big[] = {0xFF, 0xFF, 0xFF, 0xFE};
    EXPECT_EQ(0xFFFFFFFEu, BytesToUnsigned(big, 4));
    const unsigned char longer[] = {0x12, 0x00, 0x00, 0x00, 0x01};
    EXPECT_EQ(1u, BytesToUnsigned(longer, 5));  // only the last four bytes fit

    char text[] = "abcdef";
    ReverseString(text, 3);
    EXPECT_STREQ("cbadef", text);
}

TEST(StringSearch, FindsAndMisses) {
    const char *text = "a:b::c";
    EXPECT_EQ(text + 1, LocateChar(text, ':'));
    EXPECT_EQ(nullptr, LocateChar(text, 'z'));
    EXPECT_EQ(text + 2, FindByte(text, 'b', 6));
    EXPECT_EQ(nullptr, FindByte(text, 'c', 5));
    EXPECT_EQ(2, GetIndex(text, 6, 'b'));
    EXPECT_EQ(-1, GetIndex(text, 2, 'b'));
    EXPECT_EQ(-1, GetIndex(text, 0, 'a'));
    EXPECT_EQ(-1, GetIndex("ab", 100, 'z'));  // the scan stops at the terminator
    EXPECT_EQ(text + 1, FindAnyOf(text, ":c"));
    EXPECT_EQ(2u, SpanOf("aab", "a"));
    EXPECT_EQ(nullptr, SubString("ab", "abc"));
    EXPECT_EQ(text + 3, SubString(text, "::"));
    EXPECT_TRUE(FindSubString(text, "::"));
    EXPECT_FALSE(FindSubString(text, ":::"));
    EXPECT_TRUE(StartsWith("hello", 5, "he", 2));
    EXPECT_FALSE(StartsWith("he", 2, "hello", 5));
    EXPECT_FALSE(StartsWith("hello", 5, "hex", 3));
}

TEST(StringSearch, IndexCountAndLast) {
    struct Case {
        const char *text, *pattern;
        int index, last, count;
    } cases[] = {
        {"a:b:c", ":", 1, 3, 2},
        {"aab", "ab", 1, 1, 1},  // occurrence inside a longer partial match
        {"xyz", "q", 0, -1, 0},
        {"aaaa", "aa", 0, 2, 2},  // non-overlapping
        {"aaa", "aa", 0, 0, 1},
        {"abc", "", 0, -1, 0},  // an empty pattern never occurs
        {nullptr, "a", -1, -1, -1},
        {"a", nullptr, -1, -1, -1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.text ? c.text : "<null>") + " / " +
                     (c.pattern ? c.pattern : "<null>"));
        EXPECT_EQ(c.index, IndexOfSubstring(c.text, c.pattern));
        EXPECT_EQ(c.last, LastIndexOfSubstring(c.text, c.pattern));
        EXPECT_EQ(c.count, CountSubstring(c.text, c.pattern));
    }
}

TEST(StringDerive, SubstringsAndRemovals) {
    struct Case {
        const char *text, *pattern;
        const char *before, *after, *afterLast, *removeFirst, *removeLast, *removeAll;
    } cases[] = {
        {"kvprereqhandler.log", ".log", "kvprereqhandler", "", "", "kvprereqhandler",
         "kvprereqhandler", "kvprereqhandler"},
        {"a.b.c", ".", "a", "b.c", "c", "ab.c", "a.bc", "abc"},
        {"none", ".log", "", "<null>", "none", "<null>", "<null>", "none"},
        {"xx", "x", "", "x", "", "x", "x", ""},
        {"", "x", "", "<null>", "", "<null>", "<null>", ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.text) + " / " + c.pattern);
        EXPECT_EQ(c.before, Owned(SubstringBefore(c.text, c.pattern)).Str());
        EXPECT_EQ(c.after, Owned(SubstringAfter(c.text, c.pattern)).Str());
        EXPECT_EQ(c.afterLast, Owned(SubstringAfterLast(c.text, c.pattern)).Str());
        EXPECT_EQ(c.removeFirst, Owned(RemoveFirstSubstring(c.text, c.pattern)).Str());
        EXPECT_EQ(c.removeLast, Owned(RemoveLastSubstring(c.text, c.pattern)).Str());
        EXPECT_EQ(c.removeAll, Owned(RemoveAllSubstrings(c.text, c.pattern)).Str());
    }
    // Absent pattern: a copy, never the caller's own string.
    const char *text = "plain";
    char *copy = SubstringAfterLast(text, "/");
    EXPECT_NE(text, copy);
    free(copy);
    EXPECT_TRUE(Owned(SubstringBefore(nullptr, "a")).IsNull());
    EXPECT_TRUE(Owned(RemoveAllSubstrings("a", nullptr)).IsNull());
}

TEST(StringDerive, FiltersAndTrims) {
    EXPECT_EQ("abZ", Owned(KeepLetters("a1-b2 Z\xe9")).Str());
    EXPECT_EQ("a1b2Z", Owned(KeepAlphanumerics("a1-b2 Z\xe9")).Str());
    EXPECT_EQ("- \xe9", Owned(RemoveAlphanumerics("a1-b2 Z\xe9")).Str());

    struct Case {
        const char *text;
        char c;
        const char *leading, *trailing, *both;
    } cases[] = {
        {"ax", 'x', "ax", "a", "a"},           {"xx", 'x', "", "", ""},
        {"xaxbx", 'x', "axbx", "xaxb", "axb"}, {"", 'x', "<null>", "", "<null>"},
        {"abc", 'x', "abc", "abc", "abc"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(c.leading, Owned(TrimLeading(c.text, c.c)).Str());
        EXPECT_EQ(c.trailing, Owned(TrimTrailing(c.text, c.c)).Str());
        EXPECT_EQ(c.both, Owned(TrimChar(c.text, c.c)).Str());
    }
}

std::vector<std::string> Pieces(char **array) {
    std::vector<std::string> out;
    for (int i = 0; array != nullptr && array[i] != nullptr; ++i) out.push_back(array[i]);
    return out;
}

TEST(StringSplit, SplitStringPieces) {
    struct Case {
        const char *text, *separator;
        std::vector<std::string> expected;
    } cases[] = {
        {"a:b:c", ":", {"a", "b", "c"}},
        {"a::b", "::", {"a", "b"}},
        {":a:", ":", {"", "a", ""}},
        {"solo", ":", {"solo"}},
        {"", ":", {""}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        char **array = SplitString(c.text, c.separator);
        ASSERT_NE(nullptr, array);
        EXPECT_EQ(c.expected, Pieces(array));
        if (c.expected.size() == 1) {
            EXPECT_NE(c.text, array[0]);  // a copy, freeable
        }
        FreeStringArray(array, int(c.expected.size()));
    }
    EXPECT_EQ(nullptr, SplitString(nullptr, ":"));
}

TEST(StringSplit, TokenizeLikeStrtokR) {
    char text[] = ",,a,b,,c";
    char *cursor = nullptr;
    std::vector<std::string> tokens;
    for (char *token = StrTokenize(text, ",", &cursor); token != nullptr;
         token = StrTokenize(nullptr, ",", &cursor)) {
        tokens.push_back(token);
    }
    EXPECT_EQ((std::vector<std::string>{"a", "b", "c"}), tokens);
    EXPECT_EQ(nullptr, cursor);
    EXPECT_EQ(nullptr, StrTokenize(nullptr, ",", &cursor));

    char only[] = ",,,";
    EXPECT_EQ(nullptr, StrTokenize(only, ",", &cursor));
    EXPECT_EQ(nullptr, cursor);
}

TEST(StringSplit, SplitBufferAndMatching) {
    struct Case {
        const char *bytes;
        int length;
        std::vector<std::string> pieces;
    } cases[] = {
        {"red,green", 9, {"red", "green"}},
        {"a,", 2, {"a", ""}},
        {"", 0, {""}},
        {"x,y,z,w", 3, {"x", "y"}},  // only the first length bytes
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.bytes);
        int count = -1;
        int *lengths = nullptr;
        char **pieces = SplitBuffer(c.bytes, c.length, ',', &count, &lengths);
        ASSERT_NE(nullptr, pieces);
        ASSERT_EQ(int(c.pieces.size()), count);
        for (int i = 0; i < count; ++i) {
            EXPECT_EQ(c.pieces[i], pieces[i]);
            EXPECT_EQ(int(c.pieces[i].size()), lengths[i]);
        }
        FreeStringArray(pieces, count);
        free(lengths);
    }

    struct Match {
        const char *item;
        int itemLength;
        int expected;
    } matches[] = {
        {"green", 5, 1}, {"gree", 4, 0}, {"red", 3, 1}, {"greenery", 5, 1}, {"", 0, 0},
    };
    for (const Match &m : matches) {
        SCOPED_TRACE(m.item);
        EXPECT_EQ(m.expected, IsStringMatched("red,green", 9, m.item, m.itemLength));
    }
    EXPECT_EQ(1, IsStringMatched("a,,b", 4, "", 0));  // the empty piece matches

    EXPECT_EQ(3, CountChar("a,b,c,", 6, ','));
    int found = -1;
    EXPECT_EQ(2, FindSeparator("a,b", 3, ',', &found));
    EXPECT_EQ(1, found);
    EXPECT_EQ(3, FindSeparator("abc", 3, ',', &found));
    EXPECT_EQ(0, found);
}

TEST(StringBounded, LCopyAndLCat) {
    char buffer[8];
    memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(5, StrLCopy(buffer, "hello", 4));
    EXPECT_STREQ("hel", buffer);
    EXPECT_EQ('#', buffer[4]);  // nothing written past size
    EXPECT_EQ(0, StrLCopy(buffer, "x", 0));
    EXPECT_EQ(0, StrLCopy(nullptr, "x", 4));

    struct Case {
        const char *start, *append;
        int size;
        const char *result;
        int returned;
    } cases[] = {
        {"ab", "cd", 8, "abcd", 4},
        {"ab", "cdefgh", 6, "abcde", 8},
        {"abcde", "x", 6, "abcde", 6},  // already fills size - 1
        {"", "xyz", 2, "x", 3},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.start) + "+" + c.append);
        char out[16];
        memset(out, '#', sizeof out);
        strcpy(out, c.start);
        EXPECT_EQ(c.returned, StrLCat(out, c.append, c.size));
        EXPECT_STREQ(c.result, out);
        EXPECT_EQ('#', out[c.size]);
    }
    // A destination without a terminator within size is left alone and not over-read.
    char full[4] = {'a', 'b', 'c', 'd'};
    EXPECT_EQ(4 + 2, StrLCat(full, "xy", 4));
    EXPECT_EQ('d', full[3]);
    EXPECT_EQ(0, StrLCat(buffer, "x", 0));

    EXPECT_EQ(0u, StrLength(nullptr));
    EXPECT_EQ(3u, StrLength("abc"));
}

TEST(StringScan, FieldsLikeSscanfWithoutOverflow) {
    int a = 0, b = 0, c = 0;
    char word[4] = "";
    char ch = 0;
    EXPECT_EQ(3, ScanText("2024-1-5", "%d-%d-%d", &a, &b, &c));
    EXPECT_EQ(2024, a);
    EXPECT_EQ(5, c);
    EXPECT_EQ(1, ScanText("7:x", "%d:%d", &a, &b));  // stops at the first mismatch
    EXPECT_EQ(2, ScanText("  -3 +4", "%d %d", &a, &b));
    EXPECT_EQ(-3, a);
    EXPECT_EQ(4, b);
    EXPECT_EQ(2, ScanText("November-9", "%3s%c", word, &ch));
    EXPECT_STREQ("Nov", word);
    EXPECT_EQ('e', ch);
    EXPECT_EQ(2, ScanText("99999999999 -99999999999", "%d %d", &a, &b));
    EXPECT_EQ(INT_MAX, a);
    EXPECT_EQ(INT_MIN, b);
    EXPECT_EQ(0, ScanText("", "%d", &a));
    EXPECT_EQ(1, ScanText("5%", "%d%%", &a));
}

}  // namespace
