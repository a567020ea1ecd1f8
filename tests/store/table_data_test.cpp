// In-memory tables: creation, adding rows with generators and defaults, selecting, updating
// and deleting, over the fixture dictionary.
#include "store/table_data.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "store/criteria.h"
#include "store/datetime.h"
#include "store/result_data.h"
#include "tests/store/store_fixture.h"

namespace {

using kvtest::StoreTest;

// The (table, state) of every notification sent while it lives.
struct Recorder {
    static std::vector<std::pair<std::string, int>> &Seen() {
        static std::vector<std::pair<std::string, int>> seen;
        return seen;
    }
    static int Callback(IMDSNotification *n, const char *) {
        Seen().push_back({n->tableName, n->row->state});
        return 0;
    }
    Recorder() {
        Seen().clear();
        static char *tables[] = {const_cast<char *>("host"), nullptr};
        char *name = strdup("recorder");
        EXPECT_EQ(1, AddNotificationListener(name, 0, &Callback, 1, tables));
    }
};

class Tables : public StoreTest {
  protected:
    void SetUp() override {
        StoreTest::SetUp();
        LoadFixtureDictionary();
    }
    // Adds a host row and returns it.
    RowObject *AddHost(const char *name, unsigned char state = ROW_STATE_NEW) {
        RowObject *row = MakeRow("host", {{"host_name", name}}, state);
        EXPECT_EQ(1, AddNewRow("host", row));
        return row;
    }
    std::vector<std::string> HostNames() {
        std::vector<std::string> names;
        for (RowObject *row : Rows("host")) names.push_back(Value("host", row, "host_name"));
        return names;
    }
};

TEST_F(Tables, CreateTable) {
    const struct {
        const char *name;
        int expected;
    } cases[] = {
        {"host", 1},     {"HOST", 0},     // loaded already, in any case
        {"Software", 1}, {"no_such", 0},  // no definition
        {nullptr, 0},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(c.expected, CreateTable(c.name)) << (c.name ? c.name : "(null)");
    }
    TableData *host = GetTableDataByName("hOsT");
    ASSERT_NE(nullptr, host);
    EXPECT_STREQ("host", host->name);
    EXPECT_EQ(TABLE_DATA_TABLE, host->kind);
    EXPECT_EQ(18, host->columnCount);
    EXPECT_EQ(0, host->rowCount);
    // The definition's spelling, whatever the caller wrote.
    EXPECT_STREQ("software", GetTableDataByName("SOFTWARE")->name);
    EXPECT_EQ(2, GetTableDataList()->count);
    EXPECT_EQ(nullptr, GetTableDataByName(nullptr));
    EXPECT_EQ(nullptr, GetTableDataByName("no_such"));
}

TEST_F(Tables, AddNewRowFillsGeneratedColumnsAndDefaults) {
    ASSERT_EQ(1, SequenceGenerator());
    ASSERT_EQ(1, CreateTable("host"));
    RowObject *first = AddHost("a");
    RowObject *given = MakeRow("host", {{"host_name", "b"}, {"os_family", "linux"}});
    ASSERT_EQ(1, AddNewRow("host", given));

    // A generated number is 4 bytes, whatever the column's type (host_id is BIGINT).
    const int id = ColumnIndex("host", "host_id");
    EXPECT_EQ(4, first->lengths[id]);
    EXPECT_EQ("1", Value("host", first, "host_id"));
    EXPECT_EQ("2", Value("host", given, "host_id"));
    EXPECT_EQ("corp.local", Value("host", first, "domain"));
    EXPECT_EQ("windows", Value("host", first, "os_family"));
    EXPECT_EQ("linux", Value("host", given, "os_family"));  // the caller's value stays
    EXPECT_EQ("'t'", Value("host", first, "is_managed"));
    EXPECT_EQ("NULL", Value("host", first, "ram_mb"));  // no default, no generator
    // The default is a copy: the row and the definition do not share the buffer.
    EXPECT_NE(GetColumnDefnEntry("host", "domain")->defaultValue,
              first->values[ColumnIndex("host", "domain")]);
    EXPECT_EQ(2, GetTableDataByName("host")->rowCount);
}

TEST_F(Tables, ARowLoadedFromTheDatabaseKeepsItsNulls) {
    ASSERT_EQ(1, SequenceGenerator());
    ASSERT_EQ(1, CreateTable("host"));
    RowObject *loaded = MakeRow("host", {{"host_name", "stored"}});
    loaded->state = ROW_STATE_STORED;
    ASSERT_EQ(1, AddNewRow("host", loaded));
    EXPECT_EQ("NULL", Value("host", loaded, "domain")) << "no default over a stored NULL";
    EXPECT_EQ("NULL", Value("host", loaded, "host_id")) << "no new id for a stored row";
    EXPECT_EQ(ROW_STATE_STORED, loaded->state);
}

TEST_F(Tables, GeneratedColumnWithoutBatchGetsMinusOne) {
    ASSERT_EQ(1, CreateTable("host"));
    RowObject *row = AddHost("a");
    EXPECT_EQ("-1", Value("host", row, "host_id"));
}

// A date-time default is one block whose parts point into it: the row gets its own block.
TEST_F(Tables, DateTimeDefaultIsCopiedAsABlock) {
    LoadDictionary(
        "<table name=\"event\"><columns>"
        "<column name=\"id\"><data-type>INTEGER</data-type></column>"
        "<column name=\"at\"><data-type>DATETIME</data-type>"
        "<default-value>2024-01-02 03:04:05</default-value></column>"
        "</columns></table>");
    ASSERT_EQ(1, CreateTable("event"));
    RowObject *row = MakeRow("event", {{"id", "1"}});
    ASSERT_EQ(1, AddNewRow("event", row));
    const ColumnDefn *at = GetColumnDefnEntry("event", "at");
    const VelDateTime *copy = static_cast<const VelDateTime *>(row->values[1]);
    const VelDateTime *source = static_cast<const VelDateTime *>(at->defaultValue);
    ASSERT_NE(nullptr, copy);
    EXPECT_EQ(VEL_DATETIME_LENGTH, row->lengths[1]);
    EXPECT_NE(source->date, copy->date);
    EXPECT_EQ(static_cast<const void *>(copy + 1), static_cast<const void *>(copy->date));
    EXPECT_EQ("2024-01-02 03:04:05", Value("event", row, "at"));
}

TEST_F(Tables, AddNewRowRefusals) {
    RowObject *row = MakeRow("host", {{"host_name", "a"}});
    EXPECT_EQ(0, AddNewRow("host", row));  // not loaded
    EXPECT_EQ(0, AddNewRow(nullptr, row));
    ASSERT_EQ(1, CreateTable("host"));
    EXPECT_EQ(0, AddNewRow("host", nullptr));
    FreeRowObject(row, 18);  // a refused row stays the caller's
}

// Appending keeps insertion order, also after the last row was unlinked.
TEST_F(Tables, RowsStayInInsertionOrderAcrossDeletes) {
    ASSERT_EQ(1, CreateTable("host"));
    AddHost("a");
    AddHost("b");
    RowObject *c = AddHost("c");
    ASSERT_EQ(1, DeleteRowObject("host", c));
    AddHost("d");
    EXPECT_EQ((std::vector<std::string>{"a", "b", "d"}), HostNames());
    ASSERT_EQ(1, DeleteAllTableRowObjects("host"));
    EXPECT_TRUE(HostNames().empty());
    AddHost("e");
    EXPECT_EQ((std::vector<std::string>{"e"}), HostNames());
    // Code that relinks rows itself may forget the append position.
    GetTableDataByName("host")->lastRow = nullptr;
    AddHost("f");
    EXPECT_EQ((std::vector<std::string>{"e", "f"}), HostNames());
    EXPECT_EQ(2, GetTableDataByName("host")->rowCount);
}

TEST_F(Tables, SelectRows) {
    ASSERT_EQ(1, CreateTable("host"));
    ASSERT_EQ(1, CreateTable("software"));
    const char *names[] = {"n1", "n7", "n7", "n3"};
    const char *cpus[] = {"4", "16", "2", "32"};
    for (int i = 0; i < 4; ++i) {
        // Equal keys are accepted: host_id is NULL-generated -1 in every row.
        ASSERT_EQ(1, AddNewRow("host",
                               MakeRow("host", {{"host_name", names[i]}, {"cpu_count", cpus[i]}})));
    }
    Rows("host")[3]->state = ROW_STATE_STORED | ROW_STATE_DELETED;  // still selected

    const struct {
        const char *criteria;
        std::vector<std::string> names;  // empty with ok false: null result
        bool ok;
    } cases[] = {
        {nullptr, {"n1", "n7", "n7", "n3"}, true},
        {"cpu_count >= 4 and host_name = 'n7'", {"n7"}, true},
        {"host_name = 'n7'", {"n7", "n7"}, true},
        {"CPU_COUNT > 3", {"n1", "n7", "n3"}, true},
        {"host_id = -1", {}, false},  // "-" is no token
        {"host_name = 'x'", {}, true},
        {"no_column = 1", {}, true},
        {"cpu_count >", {}, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.criteria ? c.criteria : "(null)");
        ResultData *result = SelectRows("host", c.criteria);
        if (!c.ok) {
            EXPECT_EQ(nullptr, result);
            continue;
        }
        ASSERT_NE(nullptr, result);
        EXPECT_EQ(nullptr, result->cursor);
        EXPECT_EQ(int(c.names.size()), result->rowCount);
        EXPECT_EQ(c.names, Column("host", result, "host_name"));
        FreeResultData(result);
    }
    EXPECT_EQ(nullptr, SelectRows("no_such", nullptr));
    ResultData *empty = SelectRows("software", "software_id = 1");
    ASSERT_NE(nullptr, empty);
    EXPECT_EQ(0, empty->rowCount);
    FreeResultData(empty);
}

TEST_F(Tables, UpdateRowObject) {
    ASSERT_EQ(1, CreateTable("host"));
    RowObject *row = AddHost("a");
    const int cpu = 7;
    const struct {
        const char *column;
        int expected;
    } cases[] = {
        {"host_id", 0},  // a primary-key column, in any case
        {"HOST_ID", 0},
        {"no_such", 0},
        {"CPU_count", 1},  // other columns match ignoring case
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.column);
        EXPECT_EQ(c.expected, UpdateRowObject("host", row, c.column, &cpu, 1));
    }
    EXPECT_EQ("7", Value("host", row, "cpu_count"));
    EXPECT_EQ("-1", Value("host", row, "host_id"));
    EXPECT_EQ(ROW_STATE_NEW | ROW_STATE_MODIFIED, row->state);

    // The copy carries a zero byte after the given bytes.
    ASSERT_EQ(1, UpdateRowObject("host", row, "host_name", "abcdef", 3));
    EXPECT_STREQ("abc", static_cast<const char *>(row->values[ColumnIndex("host", "host_name")]));
    EXPECT_EQ(3, row->lengths[ColumnIndex("host", "host_name")]);
    // A null value stores SQL NULL.
    ASSERT_EQ(1, UpdateRowObject("host", row, "host_name", nullptr, 0));
    EXPECT_EQ("NULL", Value("host", row, "host_name"));

    EXPECT_EQ(0, UpdateRowObject("no_such", row, "cpu_count", &cpu, 1));
    EXPECT_EQ(0, UpdateRowObject("host", row, "cpu_count", &cpu, -1));
    kvtest::CapturedLog log(2);
    EXPECT_EQ(0, UpdateRowObject("host", nullptr, "cpu_count", &cpu, 1));
    EXPECT_EQ(0, UpdateRowObject("host", row, "Host_Id", &cpu, 4));
    EXPECT_EQ((std::vector<std::string>{
                  "ERROR \t@@@@@ rowPtr passed as parameter in NULL @@@@@ ",
                  "ERROR @@@ UpdateRowObject Failed as PrimaryKey is being updated @@@"}),
              log.Lines());
}

TEST_F(Tables, UpdatedDateTimeIsCopiedAsABlock) {
    ASSERT_EQ(1, CreateTable("host"));
    RowObject *row = AddHost("a");
    int length = 0;
    void *when = ConvertStringToColumnValue("2023-04-05 06:07:08", &length, VEL_SQL_DATETIME);
    ASSERT_EQ(1, UpdateRowObject("host", row, "first_seen", when, length));
    free(when);  // the row holds its own block
    EXPECT_EQ("2023-04-05 06:07:08", Value("host", row, "first_seen"));
}

TEST_F(Tables, DeleteRowObject) {
    ASSERT_EQ(1, CreateTable("host"));
    RowObject *stored = AddHost("stored", ROW_STATE_STORED);
    RowObject *fresh = AddHost("fresh");
    Recorder recorder;

    EXPECT_EQ(1, DeleteRowObject("host", stored));
    EXPECT_EQ(ROW_STATE_STORED | ROW_STATE_DELETED, stored->state);
    EXPECT_TRUE(Recorder::Seen().empty());  // marking sends nothing
    EXPECT_EQ(2, GetTableDataByName("host")->rowCount);

    EXPECT_EQ(1, DeleteRowObject("host", fresh));
    EXPECT_EQ((std::vector<std::pair<std::string, int>>{{"host", ROW_STATE_NEW}}),
              Recorder::Seen());
    EXPECT_EQ((std::vector<std::string>{"stored"}), HostNames());
    EXPECT_EQ(1, GetTableDataByName("host")->rowCount);

    RowObject *outside = MakeRow("host", {{"host_name", "x"}});
    EXPECT_EQ(0, DeleteRowObject("host", outside));
    EXPECT_EQ(0, DeleteRowObject("no_such", outside));
    EXPECT_EQ(0, DeleteRowObject("host", nullptr));
    FreeRowObject(outside, 18);
}

TEST_F(Tables, DeleteRowObjectByCriteria) {
    ASSERT_EQ(1, CreateTable("host"));
    AddHost("a");
    AddHost("b", ROW_STATE_STORED);
    AddHost("b");
    AddHost("c");
    AddHost("b");
    Recorder recorder;
    EXPECT_EQ(1, DeleteRowObjectByCriteria("host", "host_name = 'b'"));
    EXPECT_EQ((std::vector<std::string>{"a", "b", "c"}), HostNames());
    EXPECT_EQ(ROW_STATE_STORED | ROW_STATE_DELETED, Rows("host")[1]->state);
    EXPECT_EQ(2u, Recorder::Seen().size());
    EXPECT_EQ(3, GetTableDataByName("host")->rowCount);

    EXPECT_EQ(0, DeleteRowObjectByCriteria("host", nullptr));
    EXPECT_EQ(0, DeleteRowObjectByCriteria("host", "host_name = "));
    EXPECT_EQ(0, DeleteRowObjectByCriteria("no_such", "host_name = 'a'"));
    EXPECT_EQ(1, DeleteRowObjectByCriteria("host", "host_name = 'zzz'"));
    EXPECT_EQ(3u, HostNames().size());
}

TEST_F(Tables, DeleteAllTableRowObjects) {
    ASSERT_EQ(1, CreateTable("host"));
    AddHost("s1", ROW_STATE_STORED);
    AddHost("n1");
    AddHost("s2", ROW_STATE_STORED);
    ASSERT_EQ(1, DeleteAllTableRowObjects("HOST"));
    EXPECT_EQ((std::vector<std::string>{"s1", "s2"}), HostNames());
    for (RowObject *row : Rows("host")) {
        EXPECT_EQ(ROW_STATE_STORED | ROW_STATE_DELETED, row->state);
    }
    kvtest::CapturedLog log(2);
    EXPECT_EQ(0, DeleteAllTableRowObjects(nullptr));
    EXPECT_EQ(0, DeleteAllTableRowObjects("no_such"));
    EXPECT_EQ((std::vector<std::string>{"ERROR \t tableName NULL ",
                                        "ERROR \t GetTableDataByName returned NULL "}),
              log.Lines());
}

// Views take rows as they come, refuse criteria and row deletion by table operations.
TEST_F(Tables, ViewsInTheTableList) {
    ColumnDefn *name = GetColumnDefnEntry("host", "host_name");
    Vector *columns = NewVector();
    AddElementData(columns, CreateViewColumnDefn(name->name, 0, 0, name));
    char **bases = static_cast<char **>(calloc(1, sizeof(char *)));
    bases[0] = strdup("host");
    CustomViewDefn *defn = CreateCustomViewDefn(1, bases, columns);
    ASSERT_EQ(1, CreateCustomViewData("host_names", defn));
    TableData *view = GetTableDataByName("HOST_NAMES");
    ASSERT_NE(nullptr, view);
    EXPECT_EQ(TABLE_DATA_VIEW, view->kind);
    EXPECT_EQ(1, view->columnCount);
    EXPECT_EQ(0, CreateTable("host_names"));
    EXPECT_EQ(0, CreateCustomViewData("host_names", defn));  // defn stays the view's

    void **values = static_cast<void **>(calloc(1, sizeof(void *)));
    int *lengths = static_cast<int *>(calloc(1, sizeof(int)));
    RowObject *row = CreateNewRowObject(values, lengths);
    ASSERT_EQ(1, AddNewRow("host_names", row));
    EXPECT_EQ(nullptr, row->values[0]);  // nothing filled in
    EXPECT_EQ(nullptr, SelectRows("host_names", "host_name = 'a'"));
    ResultData *all = SelectRows("host_names", nullptr);
    ASSERT_NE(nullptr, all);
    EXPECT_EQ(1, all->rowCount);
    FreeResultData(all);
    EXPECT_EQ(1, UpdateRowObject("host_names", row, "HOST_NAME", "x", 1));
    EXPECT_STREQ("x", static_cast<const char *>(row->values[0]));
    EXPECT_EQ(0, DeleteRowObjectByCriteria("host_names", "host_name = 'x'"));
    EXPECT_EQ(0, DeleteAllTableRowObjects("host_names"));
}

TEST(TableList, SortTableByNameIsCaseSensitive) {
    TableData a{}, b{};
    a.name = const_cast<char *>("Alpha");
    b.name = const_cast<char *>("alpha");
    VectorNode na{&a, nullptr}, nb{&b, nullptr};
    EXPECT_LT(SortTableByName(&na, &nb), 0);
    EXPECT_GT(SortTableByName(&nb, &na), 0);
    EXPECT_EQ(0, SortTableByName(&na, &na));
}

}  // namespace
