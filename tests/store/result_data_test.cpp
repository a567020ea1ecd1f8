// Result data: the cursor, value lookups by name, single rows by position, sorting, and
// results over custom views.
#include "store/result_data.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "store/custom_view.h"
#include "tests/store/store_fixture.h"

namespace {

using kvtest::StoreTest;

class Results : public StoreTest {
  protected:
    void SetUp() override {
        StoreTest::SetUp();
        LoadFixtureDictionary();
        ASSERT_EQ(1, CreateTable("host"));
    }
    RowObject *Add(std::map<std::string, const char *> texts) {
        RowObject *row = MakeRow("host", texts);
        EXPECT_EQ(1, AddNewRow("host", row));
        return row;
    }
    // Adds one row per value of column (nullptr for NULL), named r0, r1, ...
    void AddColumn(const char *column, const std::vector<const char *> &values) {
        for (size_t i = 0; i < values.size(); ++i) {
            names_.push_back("r" + std::to_string(i));
            Add({{"host_name", names_.back().c_str()}, {column, values[i]}});
        }
    }
    std::vector<std::string> SortedNames(const char *column, int order) {
        ResultData *result = SelectRows("host", nullptr);
        EXPECT_EQ(1, SortResultSet(result, column, order));
        std::vector<std::string> names = Column("host", result, "host_name");
        FreeResultData(result);
        return names;
    }
    std::vector<std::string> names_;
};

TEST_F(Results, CursorWalksAndStartsAgain) {
    RowObject *a = Add({{"host_name", "a"}});
    RowObject *b = Add({{"host_name", "b"}});
    RowObject *c = Add({{"host_name", "c"}});
    ResultData *result = SelectRows("host", nullptr);
    ASSERT_NE(nullptr, result);
    int length = -1;
    EXPECT_EQ(nullptr, GetColumnValueByName("host_name", &length, result));  // before row 1
    EXPECT_EQ(a, GotoNextRowObject(result));
    EXPECT_STREQ("a", static_cast<char *>(GetColumnValueByName("HOST_NAME", &length, result)));
    EXPECT_EQ(1, length);
    EXPECT_EQ(nullptr, GetColumnValueByName("no_such", &length, result));
    EXPECT_EQ(b, GotoNextRowObject(result));
    EXPECT_EQ(c, GotoNextRowObject(result));
    EXPECT_EQ(nullptr, GotoNextRowObject(result));
    EXPECT_EQ(a, GotoNextRowObject(result));
    ResetResultDataCursor(result);
    EXPECT_EQ(a, GotoNextRowObject(result));
    FreeResultData(result);
    EXPECT_EQ(nullptr, GotoNextRowObject(nullptr));
    FreeResultData(nullptr);
}

TEST_F(Results, AddingAfterAReadAppendsAtTheEnd) {
    RowObject *a = Add({{"host_name", "a"}});
    RowObject *b = Add({{"host_name", "b"}});
    ResultData *result = SelectRows("host", nullptr);
    GotoNextRowObject(result);  // the cursor is on the first node
    ASSERT_EQ(1, AddRowToResultData(a, result));
    ResetResultDataCursor(result);
    ASSERT_EQ(1, AddRowToResultData(b, result));
    EXPECT_EQ((std::vector<std::string>{"a", "b", "a", "b"}), Column("host", result, "host_name"));
    EXPECT_EQ(4, result->rowCount);
    FreeResultData(result);
}

TEST_F(Results, SelectRowByRowIdx) {
    Add({{"host_name", "a"}});
    Add({{"host_name", "b"}});
    Add({{"host_name", "c"}});
    const struct {
        int index;
        const char *name;  // null: no result
    } cases[] = {{-1, "a"}, {0, "a"}, {1, "a"}, {2, "b"}, {3, "c"}, {4, nullptr}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.index);
        ResultData *result = SelectRowByRowIdx("host", c.index);
        if (c.name == nullptr) {
            EXPECT_EQ(nullptr, result);
            continue;
        }
        ASSERT_NE(nullptr, result);
        EXPECT_EQ(nullptr, result->cursor);
        EXPECT_EQ(std::vector<std::string>{c.name}, Column("host", result, "host_name"));
        FreeResultData(result);
    }
    EXPECT_EQ(nullptr, SelectRowByRowIdx("no_such", 1));
}

TEST_F(Results, GetColumnValue) {
    Add({{"host_name", "a"}, {"cpu_count", "4"}});
    Add({{"host_name", "b"}, {"cpu_count", "8"}});
    int length = 0;
    void *value = GetColumnValue("host", "host_name", "cpu_count > 4", &length);
    EXPECT_STREQ("b", static_cast<char *>(value));
    EXPECT_EQ(1, length);

    kvtest::CapturedLog log(4);
    EXPECT_EQ(nullptr, GetColumnValue("host", "host_name", "cpu_count > 99", &length));
    EXPECT_EQ(nullptr, GetColumnValue("host", "host_name", "cpu_count >", &length));
    EXPECT_EQ(nullptr, GetColumnValue("host", "ram_mb", "cpu_count = 4", &length));
    std::vector<std::string> wanted = {
        "TRACE No such row available in the host for cpu_count > 99",
        "ERROR Error in executing SelectRows(host,cpu_count >)",
        "ERROR columnValue is NULL for :ram_mb",
    };
    // The trace message has no line break of its own.
    std::vector<std::string> seen;
    for (const std::string &line : log.Lines()) {
        if (line.rfind("TRACE No such", 0) == 0) {
            seen.push_back(line.substr(0, line.find('[')));
        } else if (line.rfind("ERROR", 0) == 0) {
            seen.push_back(line);
        }
    }
    EXPECT_EQ(wanted, seen);
}

TEST_F(Results, ColumnNamesTypesAndTableName) {
    Add({{"host_name", "a"}});
    ResultData *result = SelectRows("host", nullptr);
    EXPECT_STREQ("host_id", GetColumnNameByIndex(0, result));
    EXPECT_STREQ("notes", GetColumnNameByIndex(17, result));
    EXPECT_EQ(nullptr, GetColumnNameByIndex(18, result));
    EXPECT_EQ(nullptr, GetColumnNameByIndex(-1, result));
    EXPECT_EQ(VEL_SQL_BIGINT, GetColumnTypeByName("HOST_ID", result));
    EXPECT_EQ(0, GetColumnTypeByName("no_such", result));
    EXPECT_STREQ("host", GetTableNameFromResultData(result));
    EXPECT_EQ(nullptr, GetTableNameFromResultData(nullptr));
    EXPECT_STREQ("host", GetTableNameOfView("host"));
    FreeResultData(result);
}

TEST_F(Results, SortIntegersAscendingAndDescending) {
    AddColumn("cpu_count", {"3", "1", "2"});
    EXPECT_EQ((std::vector<std::string>{"r1", "r2", "r0"}), SortedNames("cpu_count", 1));
    EXPECT_EQ((std::vector<std::string>{"r0", "r2", "r1"}), SortedNames("cpu_count", 0));
    EXPECT_EQ((std::vector<std::string>{"r0", "r2", "r1"}), SortedNames("CPU_COUNT", 7));
}

// NULL first in either order; equal values keep their order; integers read at their own
// width and signedness (a one-byte -5, an unsigned 200, a 64-bit value beyond 32 bits).
TEST_F(Results, SortNullsNarrowAndWideValues) {
    const struct {
        const char *column;
        std::vector<const char *> values;
        std::vector<std::string> ascending;
        std::vector<std::string> descending;
    } cases[] = {
        {"disk_gb",
         {"3", nullptr, "65000", "3", nullptr},
         {"r1", "r4", "r0", "r3", "r2"},
         {"r1", "r4", "r2", "r0", "r3"}},
        {"cpu_count", {"3", "-5", "1"}, {"r1", "r2", "r0"}, {"r0", "r2", "r1"}},
        {"status", {"200", "100", "1"}, {"r2", "r1", "r0"}, {"r0", "r1", "r2"}},
        {"agent_port", {"-300", "300", "0"}, {"r0", "r2", "r1"}, {"r1", "r2", "r0"}},
        {"uptime_secs", {"5000000000", "1", "4294967296"}, {"r1", "r2", "r0"}, {"r0", "r2", "r1"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.column);
        ASSERT_EQ(1, DeleteAllTableRowObjects("host"));
        names_.clear();
        AddColumn(c.column, c.values);
        EXPECT_EQ(c.ascending, SortedNames(c.column, 1));
        EXPECT_EQ(c.descending, SortedNames(c.column, 0));
    }
}

TEST_F(Results, SortRefusalsAndSmallResults) {
    EXPECT_EQ(0, SortResultSet(nullptr, "cpu_count", 1));
    ResultData *empty = SelectRows("host", nullptr);
    EXPECT_EQ(1, SortResultSet(empty, "cpu_count", 1));
    EXPECT_EQ(0, SortResultSet(empty, "no_such", 1));
    EXPECT_EQ(0, SortResultSet(empty, nullptr, 1));
    FreeResultData(empty);

    Add({{"host_name", "only"}});
    ResultData *one = SelectRows("host", nullptr);
    kvtest::CapturedLog log(3);
    EXPECT_EQ(1, SortResultSet(one, "cpu_count", 1));
    EXPECT_EQ((std::vector<std::string>{"DEBUG Number of Rows is 1 for the Relvar to be Sorted "}),
              log.Lines());
    one->rowCount = 2;  // a count that disagrees with the single node
    EXPECT_EQ(0, SortResultSet(one, "cpu_count", 1));
    FreeResultData(one);
}

// A bubble sort of this many rows would not end within the test's time.
TEST_F(Results, SortManyRows) {
    const int count = 100000;
    TableData *host = GetTableDataByName("host");
    const int ram = ColumnIndex("host", "ram_mb");
    for (int i = 0; i < count; ++i) {
        int value = (i * 7919) % count;
        RowObject *row = MakeRow("host", {});
        row->values[ram] = malloc(sizeof(int));
        memcpy(row->values[ram], &value, sizeof value);
        row->lengths[ram] = 4;
        ASSERT_EQ(1, AddNewRow("host", row));
    }
    ASSERT_EQ(count, host->rowCount);
    ResultData *result = SelectRows("host", nullptr);
    ASSERT_EQ(1, SortResultSet(result, "ram_mb", 1));
    int expected = 0;
    for (RowObject *row = GotoNextRowObject(result); row != nullptr;
         row = GotoNextRowObject(result)) {
        int value;
        memcpy(&value, row->values[ram], sizeof value);
        ASSERT_EQ(expected++, value);
    }
    EXPECT_EQ(count, expected);
    FreeResultData(result);
}

class Views : public Results {
  protected:
    void SetUp() override {
        Results::SetUp();
        ColumnDefn *name = GetColumnDefnEntry("host", "host_name");
        ColumnDefn *cpus = GetColumnDefnEntry("host", "cpu_count");
        Vector *columns = NewVector();
        AddElementData(columns, CreateViewColumnDefn(const_cast<char *>("label"), 0, 0, name));
        AddElementData(columns, CreateViewColumnDefn(cpus->name, 0, 0, cpus));
        char **bases = static_cast<char **>(calloc(2, sizeof(char *)));
        bases[0] = strdup("host");
        bases[1] = strdup("host_interface");
        ASSERT_EQ(1, CreateCustomViewData("v", CreateCustomViewDefn(2, bases, columns)));
        for (const char *label : {"x", "y"}) {
            void **values = static_cast<void **>(calloc(2, sizeof(void *)));
            int *lengths = static_cast<int *>(calloc(2, sizeof(int)));
            values[0] = strdup(label);
            lengths[0] = 1;
            ASSERT_EQ(1, AddNewRow("v", CreateNewRowObject(values, lengths)));
        }
    }
};

TEST_F(Views, ResultsReadViewColumns) {
    ResultData *result = SelectRows("V", nullptr);
    ASSERT_NE(nullptr, result);
    EXPECT_EQ(TABLE_DATA_VIEW, result->kind);
    EXPECT_EQ(2, result->columnCount);
    ASSERT_NE(nullptr, GotoNextRowObject(result));
    int length = 0;
    EXPECT_STREQ("x", static_cast<char *>(GetColumnValueByName("LABEL", &length, result)));
    EXPECT_EQ(nullptr, GetColumnValueByName("host_name", &length, result));
    EXPECT_STREQ("label", GetColumnNameByIndex(0, result));
    // Types are found by the base column's name.
    EXPECT_EQ(GetColumnDefnEntry("host", "host_name")->dataType,
              GetColumnTypeByName("host_name", result));
    EXPECT_EQ(0, GetColumnTypeByName("label", result));
    EXPECT_STREQ("host", GetTableNameFromResultData(result));
    EXPECT_STREQ("host", GetTableNameOfView("v"));
    EXPECT_EQ(1, SortResultSet(result, "cpu_count", 1));
    FreeResultData(result);
    EXPECT_EQ(nullptr, SelectRows("v", "label = 'x'"));
}

}  // namespace
