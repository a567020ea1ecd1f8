// Result sets: building rows, the cursor, lookups by column name, printing, freeing.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "db/result_set.h"
#include "store/column_defn.h"
#include "tests/support/test_support.h"

namespace {

ResultColumn *Columns(std::initializer_list<std::pair<const char *, unsigned char>> columns) {
    auto *out = static_cast<ResultColumn *>(calloc(columns.size(), sizeof(ResultColumn)));
    size_t i = 0;
    for (auto [name, type] : columns) out[i++] = {strdup(name), type};
    return out;
}

ResultCell *Row(int32_t id, const char *name) {
    ResultCell *row = AppendResultValue(nullptr, 4, &id);
    return AppendResultValue(row, name ? int32_t(strlen(name)) : 0, name);
}

TEST(ResultSet, CursorStepsResetsAndFindsValuesByName) {
    ResultRow *rows = nullptr;
    rows = AppendResultRow(rows, Row(1, "alpha"));
    rows = AppendResultRow(rows, Row(2, nullptr));
    rows = AppendResultRow(rows, Row(3, "gamma"));
    ResultSet *set = CreateResultSet(rows, Columns({{"Id", 5}, {"Name", 15}}), 2);
    ASSERT_NE(nullptr, set);
    EXPECT_EQ(3, set->rowCount);
    EXPECT_EQ(5, GetResultColumnType("ID", set));
    EXPECT_EQ(0, GetResultColumnType("missing", set));
    EXPECT_STREQ("Name", GetResultColumnName(1, set));
    EXPECT_EQ(nullptr, GetResultColumnName(2, set));

    std::vector<std::string> names;
    while (NextResultRow(set)) {
        int32_t length = -1;
        unsigned char *name = GetResultValueByName("name", &length, set);
        names.push_back(name ? std::string(reinterpret_cast<char *>(name), size_t(length)) : "NULL");
    }
    EXPECT_EQ((std::vector<std::string>{"alpha", "NULL", "gamma"}), names);
    EXPECT_EQ(nullptr, set->cursor) << "past the end there is no current row";
    int32_t none = -1;
    EXPECT_EQ(nullptr, GetResultValueByName("name", &none, set));
    ResetResultCursor(set);
    ASSERT_NE(nullptr, NextResultRow(set));
    int32_t length = 0;
    unsigned char *id = GetResultValueByName("id", &length, set);
    ASSERT_NE(nullptr, id);
    EXPECT_EQ(4, length);
    EXPECT_EQ(1, *reinterpret_cast<int32_t *>(id));
    EXPECT_EQ(nullptr, GetResultValueByName("unknown", &length, set));
    FreeResultSet(set);
}

TEST(ResultSet, ColumnsWithoutRows) {
    ResultSet *set = CreateResultSet(nullptr, Columns({{"a", 5}}), 1);
    EXPECT_EQ(0, set->rowCount);
    EXPECT_EQ(nullptr, NextResultRow(set));
    FreeResultSet(set);
}

TEST(ResultSet, ValuesAreCopiedWithATrailingZero) {
    char text[] = "abc";
    ResultCell *row = AppendResultValue(nullptr, 3, text);
    text[0] = 'X';
    EXPECT_EQ(0, memcmp(row->bytes, "abc", 4));
    FreeResultValues(row);
}

TEST(ResultSet, PrintWritesNamesThenEachRowByType) {
    kvtest::CapturedLog log(3);
    int length = 0;
    void *when = ConvertStringToColumnValue("2024-01-02 03:04:05", &length, VEL_SQL_DATETIME);
    ASSERT_NE(nullptr, when);
    ResultCell *row = Row(7, "x");
    row = AppendResultValueOwned(row, length, when);
    ResultRow *rows = AppendResultRow(nullptr, row);
    ResultSet *set = CreateResultSet(rows, Columns({{"id", 5}, {"name", 15}, {"at", 18}}), 3);
    PrintResultSet(set);
    EXPECT_EQ((std::vector<std::string>{"DEBUG id\tname\tat\t", "DEBUG 7\tx\t2024-01-02 03:04:05\t"}), log.Lines());
    FreeResultSet(set);
}

}  // namespace
