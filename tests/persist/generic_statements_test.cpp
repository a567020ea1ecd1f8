// SQL text for one row without a dialect, and rows copied out of a result set.
#include "persist/generic_statements.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <optional>
#include <string>
#include <vector>

#include "db/result_set.h"
#include "persist/table_load.h"
#include "store/datetime.h"
#include "tests/db/sqlgen_fixture.h"

namespace {

class GenericStatements : public ::testing::Test {
  protected:
    void SetUp() override {
        InitTableDefnList();
        kvtest::AddTestTable("device",
                             {{"id", VEL_SQL_INT},
                              {"name", VEL_SQL_CHAR, 20},
                              {"owner", VEL_SQL_INT},
                              {"managed", VEL_SQL_BOOLEAN}},
                             {"id"});
        kvtest::AddTestTable("visit",
                             {{"site", VEL_SQL_VARCHAR, 20},
                              {"day", VEL_SQL_DATE},
                              {"note", VEL_SQL_TEXT, 1000},
                              {"big", VEL_SQL_BIGINT},
                              {"ok", VEL_SQL_BOOLEAN}},
                             {"SITE", "day"});
        kvtest::AddTestTable("odd", {{"id", VEL_SQL_INT}, {"raw", VEL_SQL_NOT_SUPPORTED_TYPE}},
                             {"id"});
        kvtest::AddTestTable("bare", {}, {});
    }
    void TearDown() override { FreeAllTableDefns(); }
};

using Maker = char *(*)(const char *, RowObject *, TableDefn *);

TEST_F(GenericStatements, TextsByTypeKeyAndMissingValue) {
    const std::optional<std::string> none;
    struct Case {
        const char *what;
        Maker make;
        const char *table;
        std::vector<std::optional<std::string>> values;
        std::optional<std::string> expected;
    } cases[] = {
        {"insert: numbers bare, character quoted, missing NULL, boolean 1",
         MakeInsertQuery,
         "device",
         {"5", "abc", none, "true"},
         "insert into  device values(5,'abc',NULL,1)"},
        {"insert: false boolean",
         MakeInsertQuery,
         "device",
         {"6", "x", "7", "false"},
         "insert into  device values(6,'x',7,0)"},
        {"update: every column set, key in the condition",
         MakeUpdateQuery,
         "device",
         {"5", "abc", none, "true"},
         "update device set id=5,name='abc',owner=NULL,managed='t' where id=5"},
        {"delete: key only",
         MakeDeleteQuery,
         "device",
         {"5", "abc", none, "false"},
         "delete from device where id=5"},
        {"quotes doubled inside a value",
         MakeInsertQuery,
         "device",
         {"1", "it's", none, none},
         "insert into  device values(1,'it''s',NULL,NULL)"},
        // Text, dates and times are literals only between quotes. A date made from text holds
        // both parts, as the store makes it.
        {"insert: text and date quoted",
         MakeInsertQuery,
         "visit",
         {"hq", "2024-02-29", "it's \"here\"", "5000000000", "true"},
         "insert into  visit values('hq','2024-02-29 00:00:00','it''s \"here\"',5000000000,1)"},
        {"update: two key columns matched ignoring case, in column order",
         MakeUpdateQuery,
         "visit",
         {"hq", "2024-02-29", none, none, "false"},
         "update visit set site='hq',day='2024-02-29 00:00:00',note=NULL,big=NULL,ok='f' where "
         "site='hq' and day='2024-02-29 00:00:00'"},
        {"delete: two key columns",
         MakeDeleteQuery,
         "visit",
         {"o'hare", "2024-01-01", none, none, none},
         "delete from visit where site='o''hare' and day='2024-01-01 00:00:00'"},
        {"a value of a type without text form gives none",
         MakeInsertQuery,
         "odd",
         {"1", "x"},
         none},
    };
    for (const Case &c : cases) {
        RowObject *row = kvtest::MakeRow(c.table, c.values);
        ASSERT_NE(nullptr, row) << c.what;
        EXPECT_EQ(c.expected, kvtest::Taken(c.make(c.table, row, GetTableDefn(c.table)))) << c.what;
        FreeRowObject(row, kvtest::ColumnCount(c.table));
    }
}

TEST_F(GenericStatements, NothingForMissingArgumentsOrADefinitionWithoutColumns) {
    RowObject *row = kvtest::MakeRow("device", {"1", "a", "2", "true"});
    ASSERT_NE(nullptr, row);
    for (Maker make : {MakeInsertQuery, MakeUpdateQuery, MakeDeleteQuery}) {
        EXPECT_EQ(nullptr, make("device", row, nullptr));
        EXPECT_EQ(nullptr, make("device", nullptr, GetTableDefn("device")));
        EXPECT_EQ(nullptr, make(nullptr, row, GetTableDefn("device")));
        EXPECT_EQ(nullptr, make("bare", row, GetTableDefn("bare")));
    }
    FreeRowObject(row, 4);
    // A long value is never cut.
    const std::string longName(5000, 'n');
    row = kvtest::MakeRow("device", {"1", longName, "2", "true"});
    std::optional<std::string> text =
        kvtest::Taken(MakeInsertQuery("device", row, GetTableDefn("device")));
    ASSERT_TRUE(text);
    EXPECT_EQ("insert into  device values(1,'" + longName + "',2,1)", *text);
    FreeRowObject(row, 4);
}

ResultColumn *Columns(std::initializer_list<std::pair<const char *, unsigned char>> columns) {
    auto *out = static_cast<ResultColumn *>(calloc(columns.size(), sizeof(ResultColumn)));
    size_t i = 0;
    for (auto [name, type] : columns) out[i++] = {strdup(name), type};
    return out;
}

TEST(RowFromResultSet, CopiesEachValueAndOutlivesTheSet) {
    const int32_t id = 42;
    VelDate date{2024, 2, 29};
    VelTime time{23, 59, 58};
    ResultCell *cells = AppendResultValue(nullptr, 4, &id);
    cells = AppendResultValue(cells, 0, nullptr);
    cells = AppendResultValue(cells, 5, "hello");
    cells =
        AppendResultValueOwned(cells, VEL_DATETIME_LENGTH, CreateDateTimeColumnValue(&date, &time));
    ResultSet *set = CreateResultSet(AppendResultRow(nullptr, cells),
                                     Columns({{"id", VEL_SQL_INT},
                                              {"gone", VEL_SQL_VARCHAR},
                                              {"name", VEL_SQL_VARCHAR},
                                              {"seen", VEL_SQL_DATETIME}}),
                                     4);
    ASSERT_NE(nullptr, set);
    EXPECT_EQ(nullptr, MakeRowObjectFromResultSet(set)) << "no current row before the first step";
    ASSERT_NE(nullptr, NextResultRow(set));
    RowObject *row = MakeRowObjectFromResultSet(set);
    FreeResultSet(set);  // the row must not point into the set
    ASSERT_NE(nullptr, row);
    EXPECT_EQ(ROW_STATE_STORED, row->state);
    EXPECT_EQ(nullptr, row->next);
    EXPECT_EQ(42, *static_cast<int32_t *>(row->values[0]));
    EXPECT_EQ(nullptr, row->values[1]);
    EXPECT_EQ(0, row->lengths[1]);
    EXPECT_EQ("hello", std::string(static_cast<char *>(row->values[2]), size_t(row->lengths[2])));
    EXPECT_EQ(VEL_DATETIME_LENGTH, row->lengths[3]);
    char *seen = ConvertColumnValueToString(row->values[3], row->lengths[3], VEL_SQL_DATETIME);
    EXPECT_STREQ("2024-02-29 23:59:58", seen);
    free(seen);
    FreeRowObject(row, 4);
    EXPECT_EQ(nullptr, MakeRowObjectFromResultSet(nullptr));
}

}  // namespace
