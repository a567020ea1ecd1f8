// StringBuffer: growth by whole steps, never past the capacity, refusals.
#include <gtest/gtest.h>

#include <stdint.h>

#include <string>
#include <vector>

#include "db/string_buffer.h"

namespace {

TEST(StringBufferTest, GrowsByTheSmallestWholeNumberOfSteps) {
    struct Case {
        uint32_t capacity, step;
        std::vector<size_t> appends;  // lengths appended in turn
        uint32_t finalCapacity;
    } cases[] = {
        {10, 5, {3}, 10},          // fits in place
        {10, 5, {10}, 10},         // exactly full
        {10, 5, {3, 10}, 15},      // 13 needs one step
        {10, 5, {3, 10, 20}, 35},  // 33 needs four more
        {10, 0, {3, 10}, 13},      // no step: grows by what is missing
        {0, 512, {1}, 512},       {512, 512, {513}, 1024},
    };
    for (const Case &c : cases) {
        StringBuffer buffer;
        ASSERT_EQ(1, InitStringBuffer(&buffer, c.capacity, c.step));
        std::string expected;
        char letter = 'a';
        for (size_t n : c.appends) {
            std::string piece(n, letter++);
            ASSERT_EQ(1, AppendToStringBuffer(&buffer, piece.c_str()));
            expected += piece;
        }
        EXPECT_EQ(c.finalCapacity, buffer.capacity) << c.capacity << "/" << c.step;
        EXPECT_EQ(expected.size(), buffer.length);
        EXPECT_EQ(expected, std::string(buffer.text));
        FreeStringBuffer(&buffer);
        EXPECT_EQ(nullptr, buffer.text);
    }
}

TEST(StringBufferTest, DefaultsAndRefusals) {
    StringBuffer buffer;
    ASSERT_EQ(1, InitStringBuffer(&buffer));
    EXPECT_EQ(10000u, buffer.capacity);
    EXPECT_EQ(1000u, buffer.step);
    EXPECT_EQ(0, AppendToStringBuffer(&buffer, nullptr));
    EXPECT_EQ(0, AppendToStringBuffer(nullptr, "x"));
    // More than a 32-bit length can count is refused before anything is read or allocated.
    const char byte = 'x';
    EXPECT_EQ(99, AppendBytesToStringBuffer(&buffer, &byte, size_t(UINT32_MAX) + 2));
    EXPECT_EQ(0u, buffer.length);
    FreeStringBuffer(&buffer);
    EXPECT_EQ(0, AppendToStringBuffer(&buffer, "x"));  // freed: no text to append to
    EXPECT_EQ(99, InitStringBuffer(&buffer, UINT32_MAX, 1));
    FreeStringBuffer(&buffer);
}

}  // namespace
