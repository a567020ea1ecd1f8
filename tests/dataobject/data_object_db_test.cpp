// Data objects on each database: reading one select split per table (join repeats held
// once), saving in foreign-key order with one statement per changed unit, and the units
// that have nothing to save.
#include <apr_pools.h>
#include "dataobject/data_object_read.h"
#include "dataobject/data_object_save.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "dataobject/row_collection.h"
#include "dataobject/row_unit.h"
#include "db/connection_pool.h"
#include "db/result_set.h"
#include "persist/tamber_init.h"
#include "tests/persist/persist_fixture.h"
#include "util/mempool.h"

namespace {

const char kTables[] = R"(<?xml version="1.0"?>
<data-dictionary>
  <table name="Parent">
    <columns>
      <column name="ID"><data-type>INTEGER</data-type><nullable>false</nullable></column>
      <column name="NAME"><data-type>CHAR</data-type><max-size>20</max-size><nullable>false</nullable></column>
    </columns>
    <primary-key><primary-key-column>ID</primary-key-column></primary-key>
  </table>
  <table name="Child">
    <columns>
      <column name="ID"><data-type>INTEGER</data-type><nullable>false</nullable></column>
      <column name="PARENT_ID"><data-type>INTEGER</data-type><nullable>false</nullable></column>
      <column name="NAME"><data-type>CHAR</data-type><max-size>20</max-size></column>
    </columns>
    <primary-key><primary-key-column>ID</primary-key-column></primary-key>
    <foreign-keys>
      <foreign-key name="fk_child_parent" reference-table-name="Parent">
        <fk-columns><fk-column><fk-local-column>PARENT_ID</fk-local-column>
        <fk-reference-column>ID</fk-reference-column></fk-column></fk-columns>
      </foreign-key>
    </foreign-keys>
  </table>
</data-dictionary>
)";

class DataObjectDatabase : public ::testing::TestWithParam<kvtest::PersistEngine> {
  protected:
    void SetUp() override {
        KV_SCRATCH_DATABASE(GetParam(), root_.data(), database_);
        root_.Write("datadictionary.txt", "tables.xml\n");
        root_.Write("tables.xml", kTables);
        root_.Write("dsn_table_map.txt", "Parent main\nChild main\n");
        root_.Write("connparams.txt", database_->ConnParamsLine());
        root_.Write("loadtablelist.txt", "");
        ASSERT_EQ(1, InitTamber(root_.root().c_str())) << root_.LogText();
        object_ = CreateDataObject();
        ASSERT_NE(nullptr, object_);
    }
    void TearDown() override {
        FreeDataObject(object_);
        for (SelectQuery *q : queries_) FreeSelectQuery(q);
        DeInitTamber();
    }
    std::vector<std::string> Select(const std::string &sql) {
        return kvtest::SelectedRows("main", sql);
    }
    int Insert(const char *table, int n, const char *a, const char *b, const char *c = nullptr) {
        return InsertStringRowIntoDO(object_, table,
                                     n == 2 ? MakeStringColumnValuesList(object_, 2, a, b)
                                            : MakeStringColumnValuesList(object_, 3, a, b, c));
    }
    void Exec(const std::string &sql) {
        ConnectionHandle *handle = GetConnectionHandle("main");
        ASSERT_NE(nullptr, handle);
        EXPECT_EQ(1, ExecuteUpdate(handle, sql.c_str())) << sql;
        ReleaseConnectionHandle("main");
    }
    void Family() {
        for (const char *sql :
             {"insert into Parent values (1, 'p1')", "insert into Parent values (2, 'p2')",
              "insert into Child values (10, 1, 'c10')", "insert into Child values (11, 1, 'c11')",
              "insert into Child values (12, 1, 'c12')",
              "insert into Child values (20, 2, 'c20')"}) {
            Exec(sql);
        }
    }
    // Parent inner join Child on Parent.ID = Child.PARENT_ID, with the named columns (none: all).
    SelectQuery *Join(const std::vector<std::pair<const char *, const char *>> &columns) {
        SelectQuery *query = CreateSelectQuery();
        Vector *base = static_cast<Vector *>(apr_palloc(query->pool, sizeof(Vector)));
        Vector *ref = static_cast<Vector *>(apr_palloc(query->pool, sizeof(Vector)));
        InitVector(base, nullptr);
        InitVector(ref, nullptr);
        AppendListColumn(
            query->pool,
            CreateListColumn("Parent", nullptr, "ID", nullptr, 0, VEL_SQL_INT, 0, query->pool),
            base);
        AppendListColumn(query->pool,
                         CreateListColumn("Child", nullptr, "PARENT_ID", nullptr, 0, VEL_SQL_INT, 0,
                                          query->pool),
                         ref);
        AddSelectJoin(query, CreateSelectJoin("Parent", nullptr, "Child", nullptr, INNER_JOIN, base,
                                              ref, query->pool));
        for (const auto &c : columns) {
            AddSelectColumn(query, CreateSelectColumn(c.first, nullptr, c.second, nullptr, 0, 0, 0,
                                                      query->pool));
        }
        queries_.push_back(query);
        return query;
    }
    // "v:v:...:state" per unit of the table in chain order.
    static std::vector<std::string> Units(DataObject *o, const char *table) {
        std::vector<std::string> out;
        RowCollection *c = GetRowCollection(table, o);
        if (c == nullptr) return {"<none>"};
        for (RowUnit *u = c->firstRowUnit; u != nullptr; u = u->next) {
            std::string line;
            for (int i = 0; i < CountCollectionColumns(c); ++i) {
                char *text =
                    ConvertColumnValueToString(u->values[i], u->lengths[i], c->columnTypes[i]);
                line += std::string(text) + ":";
                free(text);
            }
            out.push_back(line + std::to_string(u->state));
        }
        return out;
    }
    std::vector<SelectQuery *> queries_;
    size_t LogMark() const { return root_.LogText().size(); }
    std::string LogSince(size_t mark) const { return root_.LogText().substr(mark); }

    kvtest::DataRoot root_;
    std::unique_ptr<kvtest::ScratchDatabase> database_;
    DataObject *object_ = nullptr;
};

TEST_P(DataObjectDatabase, ParentsAreSavedBeforeChildrenAndStatesPickStatements) {
    // The child table comes first in the object; the parent rows must still be written first.
    ASSERT_EQ(1, AddTableToDO(object_, "Child", nullptr));
    ASSERT_EQ(1, AddTableToDO(object_, "Parent", nullptr));
    ASSERT_EQ(1, Insert("Child", 3, "10", "1", "c10"));
    ASSERT_EQ(1, Insert("Child", 3, "11", "1", "c11"));
    ASSERT_EQ(1, Insert("Parent", 2, "1", "p1"));
    ASSERT_EQ(1, SaveDataObject(object_));
    EXPECT_STREQ("Parent", static_cast<char *>(object_->tableList->head->element));
    EXPECT_EQ((std::vector<std::string>{"10:1:c10", "11:1:c11"}),
              Select("select ID, PARENT_ID, NAME from Child order by ID"));
    EXPECT_EQ((std::vector<std::string>{"1:p1"}), Select("select ID, NAME from Parent"));

    // As if read back: stored units, then edited.
    for (const char *table : {"Child", "Parent"}) {
        for (RowUnit *u = GetFirstRowUnit(table, object_); u != nullptr; u = u->next)
            u->state = ROW_STATE_STORED;
    }
    ASSERT_EQ(1, SetValueForRowUnit("NAME", "Child", "c11b", 5, object_));  // last unit: 5
    ASSERT_EQ(1, DeleteRowUnitOnCriteria("Child", object_, "ID = 10"));     // 9
    ASSERT_EQ(1, Insert("Child", 3, "12", "1", "c12"));                     // 2
    const size_t mark = LogMark();
    ASSERT_EQ(1, SaveDataObject(object_));
    const std::string log = LogSince(mark);
    EXPECT_EQ((std::vector<std::string>{"11:1:c11b", "12:1:c12"}),
              Select("select ID, PARENT_ID, NAME from Child order by ID"));
    EXPECT_NE(std::string::npos, log.find("QueryPtr is NULL."));  // the unchanged parent
    EXPECT_EQ(ROW_STATE_NEW, GetLastRowUnit("Child", object_)->state);

    struct Case {
        unsigned char state;
        int saved;
        bool invalid;
    } cases[] = {{1, 0, false}, {3, 0, true}, {10, 0, false}, {4, 0, true}};
    for (const Case &c : cases) {
        RowUnit *unit = GetFirstRowUnit("Parent", object_);
        unit->state = c.state;
        const size_t before = LogMark();
        EXPECT_EQ(c.saved, SaveRowUnit(unit, object_)) << int(c.state);
        const std::string text = LogSince(before);
        EXPECT_EQ(c.invalid,
                  text.find("Invalid State for keyStr.  Cannot Save.") != std::string::npos);
        EXPECT_NE(std::string::npos, text.find("QueryPtr is NULL."));
    }
}

TEST_P(DataObjectDatabase, AFailedRowIsLoggedAndTheOthersAreSaved) {
    ASSERT_EQ(1, AddTableToDO(object_, "Parent", nullptr));
    ASSERT_EQ(1, Insert("Parent", 2, "1", "p1"));
    ASSERT_EQ(1, Insert("Parent", 2, "2", nullptr));  // NAME is not nullable
    ASSERT_EQ(1, Insert("Parent", 2, "3", "p3"));
    const size_t mark = LogMark();
    ASSERT_EQ(1, SaveDataObject(object_));
    EXPECT_EQ((std::vector<std::string>{"1:p1", "3:p3"}),
              Select("select ID, NAME from Parent order by ID"));
    const std::string log = LogSince(mark);
    EXPECT_NE(std::string::npos, log.find("Cannot convert RowUnit to RowObject."));
    // Saving again runs the inserts again; the database refuses them and says so.
    ASSERT_EQ(1, SaveDataObject(object_));
    EXPECT_NE(std::string::npos, LogSince(mark).find("Error in executing update query "));
}

TEST_P(DataObjectDatabase, AJoinIsSplitPerTableAndRepeatsAreHeldOnce) {
    Family();
    struct Case {
        std::vector<std::pair<const char *, const char *>> columns;
        std::vector<std::string> parents, children;
    } cases[] = {
        {{}, {"1:p1:1", "2:p2:1"}, {"10:1:c10:1", "11:1:c11:1", "12:1:c12:1", "20:2:c20:1"}},
        {{{"Child", "NAME"}, {"Parent", "ID"}, {"Child", "ID"}},
         {"1:1", "2:1"},
         {"c10:10:1", "c11:11:1", "c12:12:1", "c20:20:1"}},
        {{{"Parent", "NAME"}, {"Child", "ID"}}, {}, {"10:1", "11:1", "12:1", "20:1"}},
    };
    for (const Case &c : cases) {
        DataObject *read = GetDataObject(Join(c.columns));
        ASSERT_NE(nullptr, read) << root_.LogText();
        EXPECT_EQ(2, read->tableCount);
        EXPECT_STREQ("Parent", static_cast<char *>(read->tableList->head->element));
        std::vector<std::string> parents = Units(read, "Parent"), children = Units(read, "Child");
        std::sort(children.begin(), children.end());
        std::sort(parents.begin(), parents.end());
        EXPECT_EQ(c.parents, parents);
        EXPECT_EQ(c.children, children);
        FreeDataObject(read);
    }
    EXPECT_NE(std::string::npos,
              root_.LogText().find("ALL PRIMARY KEY COLUMNS SHOULD BE SELECTED FOR Parent"));
    EXPECT_EQ(nullptr, GetDataObject(nullptr));
}

TEST_P(DataObjectDatabase, ReadEditSaveAndReadAgain) {
    Family();
    apr_pool_t *pool = nullptr;
    ASSERT_EQ(1, CreateChildMemPool(&pool));
    int one = 1;
    QueryCriterion *criteria = CreateCriterion(
        CreateSelectColumn("Child", nullptr, "PARENT_ID", nullptr, 0, VEL_SQL_INT, 0, pool), &one,
        4, OPERATOR_EQUAL, pool);
    Vector tables;
    InitVector(&tables, nullptr);
    AppendPoolElement(&tables, const_cast<char *>("Child"), pool);
    DataObject *read = GetDataObjectByCriteria(&tables, criteria);
    ASSERT_NE(nullptr, read);
    EXPECT_EQ((std::vector<std::string>{"10:1:c10:1", "11:1:c11:1", "12:1:c12:1"}),
              Units(read, "Child"));
    ASSERT_EQ(1, DeleteRowUnitOnCriteria("Child", read, "ID = 11"));
    ASSERT_EQ(1, SetValueForRowUnit("NAME", "Child", "c12b", 5, read));
    ASSERT_EQ(1, InsertStringRowIntoDO(read, "Child",
                                       MakeStringColumnValuesList(read, 3, "13", "1", "c13")));
    ASSERT_EQ(1, SaveDataObject(read));
    FreeDataObject(read);
    read = GetDataObjectByCriteria(&tables, criteria);
    ASSERT_NE(nullptr, read);
    EXPECT_EQ((std::vector<std::string>{"10:1:c10:1", "12:1:c12b:1", "13:1:c13:1"}),
              Units(read, "Child"));
    FreeDataObject(read);
    apr_pool_destroy(pool);
}

TEST_P(DataObjectDatabase, ARowIsReadWithTheRowsThatReferToIt) {
    Family();
    apr_pool_t *pool = nullptr;
    ASSERT_EQ(1, CreateChildMemPool(&pool));
    int one = 1;
    QueryCriterion *criteria = CreateCriterion(
        CreateSelectColumn("Parent", nullptr, "ID", nullptr, 0, VEL_SQL_INT, 0, pool), &one, 4,
        OPERATOR_EQUAL, pool);
    Vector parentOnly, family, childOnly;
    for (Vector *v : {&parentOnly, &family, &childOnly}) InitVector(v, nullptr);
    AppendPoolElement(&parentOnly, const_cast<char *>("Parent"), pool);
    AppendPoolElement(&family, const_cast<char *>("Parent"), pool);
    AppendPoolElement(&family, const_cast<char *>("Child"), pool);
    AppendPoolElement(&childOnly, const_cast<char *>("Child"), pool);
    DataObject *parent = GetDataObjectByCriteria(&parentOnly, criteria);
    ASSERT_NE(nullptr, parent);
    RowUnit *unit = GetFirstRowUnit("Parent", parent);
    ASSERT_NE(nullptr, unit);

    DataObject *read = GetDataObjectByRowUnit(&family, unit);
    ASSERT_NE(nullptr, read) << root_.LogText();
    EXPECT_EQ((std::vector<std::string>{"1:p1:1"}), Units(read, "Parent"));
    std::vector<std::string> children = Units(read, "Child");
    std::sort(children.begin(), children.end());
    EXPECT_EQ((std::vector<std::string>{"10:1:c10:1", "11:1:c11:1", "12:1:c12:1"}), children);
    FreeDataObject(read);

    const size_t mark = LogMark();
    EXPECT_EQ(nullptr, GetDataObjectByRowUnit(&childOnly, unit));
    EXPECT_NE(std::string::npos,
              LogSince(mark).find(
                  "RowUnit belongs to table Parent, which is not present in the tableList."));
    FreeDataObject(parent);
    apr_pool_destroy(pool);
}

INSTANTIATE_TEST_SUITE_P(Databases, DataObjectDatabase,
                         ::testing::ValuesIn(kvtest::kPersistEngines), kvtest::EngineName);

}  // namespace
