#include "store/row_object.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

namespace {

TEST(RowObject, NewRowTakesOverItsArraysAndFreesThem) {
    void **values = static_cast<void **>(calloc(3, sizeof(void *)));
    int *lengths = static_cast<int *>(calloc(3, sizeof(int)));
    values[0] = strdup("abc");
    lengths[0] = 3;
    values[2] = malloc(4);  // values[1] is SQL NULL
    lengths[2] = 4;
    RowObject *row = CreateNewRowObject(values, lengths);
    ASSERT_NE(nullptr, row);
    EXPECT_EQ(ROW_STATE_NEW, row->state);
    EXPECT_EQ(nullptr, row->next);
    EXPECT_EQ(values, row->values);
    EXPECT_EQ(lengths, row->lengths);
    FreeRowObject(row, 3);  // ASan reports any value left behind
}

TEST(RowObject, FreeingWithNoColumnsReleasesOnlyTheArraysAndTheRow) {
    void **values = static_cast<void **>(calloc(1, sizeof(void *)));
    int *lengths = static_cast<int *>(calloc(1, sizeof(int)));
    char owned[] = "stays";
    values[0] = owned;  // not heap memory: a count of 0 must not touch it
    RowObject *row = CreateNewRowObject(values, lengths);
    ASSERT_NE(nullptr, row);
    RowObject other = {nullptr, nullptr, ROW_STATE_STORED, nullptr};
    row->next = &other;  // the next row is never followed
    FreeRowObject(row, 0);
    FreeRowObject(nullptr, 5);
    EXPECT_STREQ("stays", owned);
}

}  // namespace
