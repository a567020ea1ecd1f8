// Loading tables from and saving them to each database: every column type, NULLs and quotes
// round trip; each row state gives its statement; refused rows stay pending; the list files.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "db/connection_pool.h"
#include "persist/table_load.h"
#include "persist/table_save.h"
#include "persist/tamber_init.h"
#include "store/result_data.h"
#include "store/table_data.h"
#include "store/table_xml.h"
#include "tests/persist/persist_fixture.h"

namespace {

const char kTables[] = R"(<?xml version="1.0"?>
<data-dictionary>
  <table name="Kind">
    <columns>
      <column name="ID"><data-type>INTEGER</data-type><nullable>false</nullable></column>
      <column name="TINY"><data-type>VEL_SQL_TINYINT</data-type></column>
      <column name="SMALL"><data-type>VEL_SQL_SMALLINT</data-type></column>
      <column name="NUM"><data-type>INTEGER</data-type></column>
      <column name="BIG"><data-type>BIGINT</data-type></column>
      <column name="CODE"><data-type>VEL_SQL_CHAR</data-type><max-size>10</max-size></column>
      <column name="LABEL"><data-type>CHAR</data-type><max-size>60</max-size></column>
      <column name="DAY"><data-type>DATE</data-type></column>
      <column name="AT"><data-type>TIME</data-type></column>
      <column name="SEEN"><data-type>DATETIME</data-type></column>
      <column name="FLAG"><data-type>BOOLEAN</data-type></column>
      <column name="NOTE"><data-type>TEXT</data-type></column>
    </columns>
    <primary-key><primary-key-column>ID</primary-key-column></primary-key>
  </table>
  <table name="Named">
    <columns>
      <column name="ID"><data-type>INTEGER</data-type><nullable>false</nullable></column>
      <column name="NAME"><data-type>CHAR</data-type><max-size>20</max-size>
        <nullable>false</nullable><unique>true</unique></column>
    </columns>
    <primary-key><primary-key-column>ID</primary-key-column></primary-key>
  </table>
  <table name="Extra">
    <columns>
      <column name="ID"><data-type>INTEGER</data-type><nullable>false</nullable></column>
      <column name="NAME"><data-type>CHAR</data-type><max-size>20</max-size></column>
    </columns>
    <primary-key><primary-key-column>ID</primary-key-column></primary-key>
  </table>
  <table name="Plain">
    <columns>
      <column name="ID"><data-type>INTEGER</data-type><nullable>false</nullable></column>
    </columns>
    <primary-key><primary-key-column>ID</primary-key-column></primary-key>
  </table>
</data-dictionary>
)";

using Texts = std::vector<std::optional<std::string>>;

// A value's text, dates and times cut to the part their type holds (a value made from text
// carries both parts, one read from a database only its own).
std::string ValueText(const void *value, int length, unsigned char type) {
    if (value == nullptr) return "NULL";
    char *text = ConvertColumnValueToString(value, length, type);
    std::string out = text ? text : "(no text)";
    free(text);
    if (type == VEL_SQL_DATE) return out.substr(0, 10);
    if (type == VEL_SQL_TIME && out.size() > 8) return out.substr(out.size() - 8);
    return out;
}

std::vector<std::string> RowTexts(const char *table, const RowObject *row) {
    std::vector<std::string> texts;
    const TableDefn *defn = GetTableDefn(table);
    int i = 0;
    for (VectorNode *node = defn->columns->head; node; node = node->next, ++i) {
        auto *column = static_cast<ColumnDefn *>(node->element);
        texts.push_back(ValueText(row->values[i], row->lengths[i], column->dataType));
    }
    return texts;
}

// The rows of a loaded table by their first column's text.
std::map<std::string, RowObject *> RowsById(const char *table) {
    std::map<std::string, RowObject *> rows;
    const TableData *data = GetTableDataByName(table);
    for (RowObject *row = data ? data->firstRow : nullptr; row; row = row->next) {
        rows[RowTexts(table, row)[0]] = row;
    }
    return rows;
}

class TablePersistence : public ::testing::TestWithParam<kvtest::PersistEngine> {
  protected:
    void SetUp() override {
        KV_SCRATCH_DATABASE(GetParam(), root_.data(), database_);
        root_.Write("datadictionary.txt", "tables.xml\n");
        root_.Write("tables.xml", kTables);
        root_.Write("dsn_table_map.txt", "Kind main\nNamed main\nExtra main\nPlain main\n");
        root_.Write("connparams.txt", database_->ConnParamsLine());
        root_.Write("loadtablelist.txt", "");
        ASSERT_EQ(1, InitTamber(root_.root().c_str())) << root_.LogText();
    }
    void TearDown() override { DeInitTamber(); }

    void Exec(const std::string &sql) {
        ConnectionHandle *handle = GetConnectionHandle("main");
        ASSERT_NE(nullptr, handle);
        EXPECT_EQ(1, ExecuteUpdate(handle, sql.c_str())) << sql;
        ReleaseConnectionHandle("main");
    }
    // Each row of the select as its values' texts joined by ":".
    std::vector<std::string> Select(const std::string &sql) {
        std::vector<std::string> out;
        ConnectionHandle *handle = GetConnectionHandle("main");
        ResultSet *set = ExecuteQuery(handle, sql.c_str());
        ReleaseConnectionHandle("main");
        EXPECT_NE(nullptr, set) << sql;
        while (set && NextResultRow(set)) {
            std::string line;
            int i = 0;
            for (ResultCell *cell = set->cursor->values; cell; cell = cell->next, ++i) {
                const unsigned char type = set->columns[i].dataType;
                line += (i ? ":" : "") + (type == VEL_SQL_NOT_SUPPORTED_TYPE && cell->bytes
                                              ? std::string(reinterpret_cast<char *>(cell->bytes),
                                                            size_t(cell->length))
                                              : ValueText(cell->bytes, cell->length, type));
            }
            out.push_back(line);
        }
        FreeResultSet(set);
        return out;
    }
    // What the log gained since the mark.
    std::string LogSince(size_t mark) const { return root_.LogText().substr(mark); }
    size_t LogMark() const { return root_.LogText().size(); }
    // A new row from value texts (nullopt: NULL) in the forms table-data XML gives values,
    // the way rows reach the store to be saved.
    RowObject *Add(const char *table, const Texts &texts) {
        const TableDefn *defn = GetTableDefn(table);
        EXPECT_EQ(size_t(defn->columns->count), texts.size());
        auto **values = static_cast<void **>(calloc(texts.size(), sizeof(void *)));
        auto *lengths = static_cast<int *>(calloc(texts.size(), sizeof(int)));
        size_t i = 0;
        for (VectorNode *node = defn->columns->head; node; node = node->next, ++i) {
            if (!texts[i]) continue;
            auto *column = static_cast<ColumnDefn *>(node->element);
            EXPECT_EQ(1, AllocateAndCopyColumnValue(&values[i], &lengths[i], column->dataType,
                                                    texts[i]->c_str()));
        }
        RowObject *row = CreateNewRowObject(values, lengths);
        EXPECT_NE(nullptr, row);
        EXPECT_EQ(1, AddNewRow(table, row));
        return row;
    }

    kvtest::DataRoot root_;
    std::unique_ptr<kvtest::ScratchDatabase> database_;
};

TEST_P(TablePersistence, SaveThenReloadKeepsEveryTypeNullsAndQuotes) {
    const std::optional<std::string> none;
    const std::vector<Texts> rows = {
        {"1", "-5", "-300", "123456", "5000000000", "AB'C", "it's \"q\" \\ end", "2024-02-29",
         "23:59:58", "2024-02-29 23:59:58", "true", "line one\nit's line two; -- not SQL"},
        {"2", none, none, none, none, none, none, none, none, none, none, none},
        {"3", "0", "0", "-2147483648", "-5000000000", "", "", "1999-12-31", "00:00:00",
         "2000-01-01 00:00:00", "false", ""},
    };
    ASSERT_EQ(1, CreateTable("Kind"));
    std::map<std::string, std::vector<std::string>> expected;
    for (const Texts &texts : rows) {
        RowObject *row = Add("Kind", texts);
        expected[*texts[0]] = RowTexts("Kind", row);
    }
    const size_t mark = LogMark();
    ASSERT_EQ(1, SaveTable("Kind"));
    for (auto [id, row] : RowsById("Kind")) {
        EXPECT_EQ(ROW_STATE_STORED, row->state) << "row " << id << "\n" << LogSince(mark);
    }

    ASSERT_EQ(1, UnLoadTable("Kind"));
    ASSERT_EQ(1, LoadTable("Kind")) << root_.LogText();
    std::map<std::string, RowObject *> loaded = RowsById("Kind");
    ASSERT_EQ(3u, loaded.size());
    for (auto [id, row] : loaded) {
        EXPECT_EQ(ROW_STATE_STORED, row->state);
        EXPECT_EQ(expected[id], RowTexts("Kind", row)) << "row " << id;
    }

    // A changed and a deleted row go back as an update and a delete.
    const char *label = "O'Brien \\ again";
    ASSERT_EQ(1, UpdateRowObject("Kind", loaded["1"], "LABEL", label, int(strlen(label)) + 1));
    ASSERT_EQ(1, DeleteRowObject("Kind", loaded["2"]));
    EXPECT_EQ(ROW_STATE_STORED | ROW_STATE_MODIFIED, loaded["1"]->state);
    EXPECT_EQ(ROW_STATE_STORED | ROW_STATE_DELETED, loaded["2"]->state);
    ASSERT_EQ(1, SaveTable("Kind"));
    EXPECT_EQ(2u, RowsById("Kind").size()) << "the deleted row left memory";
    ASSERT_EQ(1, UnLoadTable("Kind"));
    ASSERT_EQ(1, LoadTable("Kind"));
    loaded = RowsById("Kind");
    ASSERT_EQ(2u, loaded.size());
    expected["1"][6] = label;
    EXPECT_EQ(expected["1"], RowTexts("Kind", loaded["1"]));
    EXPECT_EQ(expected["3"], RowTexts("Kind", loaded["3"]));
}

TEST_P(TablePersistence, EachRowStateGivesItsStatementInRowOrder) {
    // Names in the order of the keys: a database may return the rows in either order.
    Exec("insert into Named values (1, 'n1')");
    Exec("insert into Named values (2, 'n2')");
    Exec("insert into Named values (3, 'n3')");
    ASSERT_EQ(1, LoadTable("Named"));
    std::map<std::string, RowObject *> rows = RowsById("Named");
    ASSERT_EQ(3u, rows.size());
    ASSERT_EQ(rows["1"], GetTableDataByName("Named")->firstRow);
    ASSERT_EQ(rows["3"], GetTableDataByName("Named")->firstRow->next->next);
    ASSERT_EQ(1, UpdateRowObject("Named", rows["2"], "NAME", "n2b", 4));
    ASSERT_EQ(1, DeleteRowObject("Named", rows["3"]));
    RowObject *inserted = Add("Named", {"4", "four"});
    RowObject *newAndDeleted = Add("Named", {"5", "five"});
    newAndDeleted->state = ROW_STATE_NEW | ROW_STATE_DELETED;  // 10: no statement

    const size_t mark = LogMark();
    ASSERT_EQ(1, SaveTable("Named"));
    const std::string log = LogSince(mark);
    EXPECT_EQ(1u, kvtest::Occurrences(log, "Generated Update Query"));
    EXPECT_EQ(1u, kvtest::Occurrences(log, "Generated Delete Query"));
    EXPECT_EQ(1u, kvtest::Occurrences(log, "Generated Insert Query"));
    EXPECT_LT(log.find("Generated Update Query"), log.find("Generated Delete Query"));
    EXPECT_LT(log.find("Generated Delete Query"), log.find("Generated Insert Query"));

    rows = RowsById("Named");
    EXPECT_EQ(0u, rows.count("3"));
    EXPECT_EQ(ROW_STATE_STORED, rows["1"]->state);
    EXPECT_EQ(ROW_STATE_STORED, rows["2"]->state);
    EXPECT_EQ(ROW_STATE_STORED, inserted->state);
    EXPECT_EQ(ROW_STATE_NEW | ROW_STATE_DELETED, newAndDeleted->state);
    EXPECT_EQ((std::vector<std::string>{"1:n1", "2:n2b", "4:four"}),
              Select("select ID, NAME from Named order by ID"));
    EXPECT_EQ(0, SaveTable("NotLoaded"));
}

TEST_P(TablePersistence, ARefusedRowStaysPendingAndTheNextSaveWritesIt) {
    ASSERT_EQ(1, CreateTable("Named"));
    RowObject *first = Add("Named", {"10", "dup"});
    RowObject *second = Add("Named", {"11", "dup"});
    const size_t mark = LogMark();
    EXPECT_EQ(1, SaveTable("Named")) << "refused rows do not change the result";
    const std::string log = LogSince(mark);
    EXPECT_EQ(ROW_STATE_STORED, first->state);
    EXPECT_EQ(ROW_STATE_NEW, second->state);
    EXPECT_TRUE(kvtest::Holds(log, "Error in executing update query"));
    EXPECT_TRUE(kvtest::Holds(log, "QUERY : insert into"));

    ASSERT_EQ(1, UpdateRowObject("Named", second, "NAME", "unique", 7));
    EXPECT_EQ(ROW_STATE_NEW | ROW_STATE_MODIFIED, second->state);
    EXPECT_EQ(1, SaveTable("Named"));
    EXPECT_EQ(ROW_STATE_STORED, second->state);
    EXPECT_EQ((std::vector<std::string>{"10:dup", "11:unique"}),
              Select("select ID, NAME from Named order by ID"));
}

// A save runs its statements in transactions; a refused statement sends its transaction's
// rows back to be written one by one. Each case refuses one insert between an update, a
// delete and inserts that the database takes: every other row must end up written, the
// refused one pending, and nothing of the rolled-back attempt left behind (a row written
// twice would itself be refused, a row lost would be missing below).
TEST_P(TablePersistence, ARowRefusedInTheMiddleOfASaveStaysPendingAndEveryOtherRowIsWritten) {
    const std::optional<std::string> none;
    const struct {
        const char *what;
        Texts refused;
    } kRefusals[] = {
        {"a duplicate key", {"1", "other"}},
        {"a duplicate of a unique value", {"40", "n1"}},
        {"no value for a NOT NULL column", {"41", none}},
    };
    for (const auto &refusal : kRefusals) {
        SCOPED_TRACE(refusal.what);
        Exec("delete from Named");
        Exec("insert into Named values (1, 'n1')");
        Exec("insert into Named values (2, 'n2')");
        Exec("insert into Named values (3, 'n3')");
        ASSERT_EQ(1, LoadTable("Named"));
        std::map<std::string, RowObject *> rows = RowsById("Named");
        ASSERT_EQ(1, UpdateRowObject("Named", rows["2"], "NAME", "n2b", 4));
        ASSERT_EQ(1, DeleteRowObject("Named", rows["3"]));
        RowObject *before = Add("Named", {"20", "a"});
        RowObject *refused = Add("Named", refusal.refused);
        RowObject *after = Add("Named", {"21", "b"});

        const size_t mark = LogMark();
        EXPECT_EQ(1, SaveTable("Named"));
        const std::string log = LogSince(mark);
        EXPECT_EQ(ROW_STATE_STORED, rows["2"]->state);
        EXPECT_EQ(0u, RowsById("Named").count("3")) << "the deleted row left memory";
        EXPECT_EQ(ROW_STATE_STORED, before->state);
        EXPECT_EQ(ROW_STATE_NEW, refused->state);
        EXPECT_EQ(ROW_STATE_STORED, after->state);
        EXPECT_EQ((std::vector<std::string>{"1:n1", "2:n2b", "20:a", "21:b"}),
                  Select("select ID, NAME from Named order by ID"));
        EXPECT_EQ(1u, kvtest::Occurrences(log, "Error in executing update query"));
        EXPECT_EQ(1u, kvtest::Occurrences(log, "QUERY : insert into")) << log;
        EXPECT_EQ(1u, kvtest::Occurrences(log,
                                          "Generated Insert Query: insert into  Named "
                                          "values(21"))
            << "a statement is generated once, also when it is written again";
        ASSERT_EQ(1, UnLoadTable("Named"));
    }
}

// More rows than one transaction holds: the first transaction is committed, and a refusal in
// the next one sends back only that transaction's rows.
TEST_P(TablePersistence, ARefusalInALaterTransactionKeepsTheCommittedRows) {
    constexpr int kRows = 10003;
    constexpr int kRefused = 10001;  // a duplicate of the first row's unique name
    ASSERT_EQ(1, CreateTable("Named"));
    std::vector<RowObject *> rows;
    for (int i = 0; i < kRows; ++i) {
        const std::string id = std::to_string(i);
        rows.push_back(Add("Named", {id, i == kRefused ? "n0" : "n" + id}));
    }
    const size_t mark = LogMark();
    EXPECT_EQ(1, SaveTable("Named"));
    EXPECT_EQ(1u, kvtest::Occurrences(LogSince(mark), "Error in executing update query"));
    for (int i = 0; i < kRows; ++i) {
        ASSERT_EQ(i == kRefused ? ROW_STATE_NEW : ROW_STATE_STORED, rows[size_t(i)]->state)
            << "row " << i;
    }
    EXPECT_EQ((std::vector<std::string>{std::to_string(kRows - 1)}),
              Select("select count(*) from Named"));
    EXPECT_TRUE(Select("select ID from Named where ID = " + std::to_string(kRefused)).empty());
}

TEST_P(TablePersistence, ATableUnlikeItsDefinitionIsNotLoaded) {
    Exec("drop table Extra");
    Exec("create table Extra (ID int, NAME varchar(20), MORE int)");
    Exec("insert into Extra values (1, 'one', 1)");
    const size_t mark = LogMark();
    EXPECT_EQ(0, LoadTable("Extra"));
    EXPECT_TRUE(kvtest::Holds(LogSince(mark),
                              "LoadTable Failed for Extra table as there is mismatch between "
                              "table definition in datadictionary and actual table in database"));
    EXPECT_EQ(nullptr, GetTableDataByName("Extra"));
    EXPECT_EQ(0, LoadTable("NoSuchTable"));
}

TEST_P(TablePersistence, ARefusedQueryGivesAnEmptyTableAndALoadedTableIsLoadedOnce) {
    size_t mark = LogMark();
    EXPECT_EQ(1, LoadTableByQuery("Named", "select nonsense from nowhere"));
    EXPECT_TRUE(kvtest::Holds(LogSince(mark), "Error in executing select query"));
    ASSERT_NE(nullptr, GetTableDataByName("Named"));
    EXPECT_EQ(nullptr, GetTableDataByName("Named")->firstRow);
    ASSERT_EQ(1, UnLoadTable("Named"));

    Exec("insert into Named values (1, 'one')");
    ASSERT_EQ(1, LoadTable("Named"));
    Exec("insert into Named values (2, 'two')");
    EXPECT_EQ(0, LoadTable("Named"));
    EXPECT_EQ(0, LoadTableByQuery("Named", "select * from Named"));
    EXPECT_EQ(1u, RowsById("Named").size()) << "the loaded table stays as it was";
}

TEST_P(TablePersistence, TheLoadListReadsEachLineForm) {
    Exec("insert into Named values (1, 'one')");
    Exec("insert into Named values (2, 'two')");
    Exec("insert into Kind (ID) values (1)");
    Exec("insert into Kind (ID) values (2)");
    Exec("insert into Extra values (5, 'five')");
    Exec("insert into Extra values (6, 'six')");
    Exec("insert into Plain values (7)");
    root_.Write("loadtablelist.txt",
                "Named select * from Named where ID = 1\r\n"
                "Kind SELECT * FROM Kind WHERE ID = 2\n"
                "\n"
                "Extra Select * from Extra where ID = 5\n"  // "Select" is no select text
                "Plain");                                   // the last line without its end
    auto counts = [] {
        std::map<std::string, size_t> n;
        for (const char *t : {"Named", "Kind", "Extra", "Plain"}) n[t] = RowsById(t).size();
        return n;
    };
    const std::map<std::string, size_t> expected = {
        {"Named", 1}, {"Kind", 1}, {"Extra", 2}, {"Plain", 1}};
    ASSERT_EQ(1, LoadAllTables());
    EXPECT_EQ(expected, counts());
    EXPECT_EQ(1u, RowsById("Named").count("1"));
    EXPECT_EQ(1u, RowsById("Kind").count("2"));
    Exec("insert into Plain values (8)");
    EXPECT_EQ(1, ReloadTableData());
    EXPECT_EQ(2u, RowsById("Plain").size()) << "reloaded from the database";

    ASSERT_EQ(1, UnLoadAllTable());
    EXPECT_EQ(nullptr, GetTableDataList()->head);
    root_.Write("other.txt", "Plain\n");
    EXPECT_EQ(1, LoadTablesFromList(root_.file("other.txt").c_str()));
    EXPECT_EQ(2u, RowsById("Plain").size());
    EXPECT_EQ(nullptr, GetTableDataByName("Named"));
}

TEST_P(TablePersistence, AViewHoldsTheRowsOfItsSelectAndIsNeverSaved) {
    Exec("insert into Named values (1, 'one')");
    Exec("insert into Named values (2, 'two')");
    Exec("insert into Named values (3, 'three')");
    ASSERT_EQ(1, LoadViewByQuery("LaterNames", "Named", "select * from Named where ID > 1"));
    const TableData *view = GetTableDataByName("LaterNames");
    ASSERT_NE(nullptr, view);
    EXPECT_EQ(TABLE_DATA_VIEW, view->kind);
    ResultData *result = SelectRows("LaterNames", nullptr);
    ASSERT_NE(nullptr, result);
    std::vector<std::string> names;
    while (GotoNextRowObject(result)) {
        int length = 0;
        names.emplace_back(static_cast<char *>(GetColumnValueByName("NAME", &length, result)));
    }
    FreeResultData(result);
    std::sort(names.begin(), names.end());
    EXPECT_EQ((std::vector<std::string>{"three", "two"}), names);
    EXPECT_EQ(0, LoadViewByQuery("LaterNames", "Named", "select * from Named"));
    EXPECT_EQ(0, LoadViewByQuery("Other", "NoSuchTable", "select * from Named"));

    const size_t mark = LogMark();
    EXPECT_EQ(1, SaveAllTables());
    EXPECT_FALSE(kvtest::Holds(LogSince(mark), "Generated"));
    EXPECT_EQ(1, UnLoadTable("LaterNames"));
}

TEST_P(TablePersistence, DefaultDataFilesAndTheSaveList) {
    root_.Write("defaultdata.txt", "first.xml\n  second.xml");
    root_.Write("first.xml", "<Data>\n  <Named ID=\"20\" NAME=\"twenty\"/>\n</Data>\n");
    root_.Write("second.xml",
                "<Data>\n  <Named ID=\"30\" NAME=\"thirty\"/>\n  <Plain ID=\"31\"/>\n</Data>\n");
    const size_t mark = LogMark();
    EXPECT_EQ(1, SaveDefaultData());
    const std::string log = LogSince(mark);
    EXPECT_NE(std::string::npos, log.find("Named values(20"));
    EXPECT_LT(log.find("Named values(20"), log.find("Named values(30"))
        << "the files are stored in list order\n"
        << log;
    EXPECT_EQ((std::vector<std::string>{"20:twenty", "30:thirty"}),
              Select("select ID, NAME from Named order by ID"));
    EXPECT_EQ((std::vector<std::string>{"31"}), Select("select ID from Plain"));

    root_.Write("savetableslist.txt", "Named and what follows\nPlain\n");
    ASSERT_EQ(1, UpdateRowObject("Named", RowsById("Named")["20"], "NAME", "twenty-b", 9));
    Add("Plain", {"32"});
    EXPECT_EQ(1, SaveTablesFromList());
    EXPECT_EQ((std::vector<std::string>{"20:twenty-b", "30:thirty"}),
              Select("select ID, NAME from Named order by ID"));
    EXPECT_EQ((std::vector<std::string>{"31", "32"}), Select("select ID from Plain order by ID"));

    // The result is the last file's.
    root_.Write("defaultdata.txt", "broken.xml");
    root_.Write("broken.xml", "<Data><Named ID=");
    EXPECT_EQ(0, SaveDefaultData());
}

INSTANTIATE_TEST_SUITE_P(Databases, TablePersistence, ::testing::ValuesIn(kvtest::kPersistEngines),
                         kvtest::EngineName);

}  // namespace
