// Index tables: the root tables of reference chains, the key texts of the index statements
// (quoted for the dialect), and the index rows one row's state writes, checked on SQLite.
#include "dataobject/index_table.h"

#include <apr_pools.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "dataobject/personality_defn.h"
#include "dataobject/personality_file.h"
#include "dataobject/row_unit.h"
#include "db/connection_pool.h"
#include "db/providers.h"
#include "persist/tamber_init.h"
#include "tests/dataobject/personality_fixture.h"
#include "tests/persist/persist_fixture.h"
#include "tests/store/store_fixture.h"
#include "util/mempool.h"

namespace {

std::string Take(char *text) {
    std::string out = text != nullptr ? text : "<null>";
    free(text);
    return out;
}

class IndexTable : public kvtest::StoreTest {
  protected:
    void SetUp() override {
        StoreTest::SetUp();
        LoadDictionary(kvtest::PersonalityTables() +
                       kvtest::Table("Odd'Name", {"ID", "RESOURCE_ID"}, {"ID"},
                                     {{"RESOURCE_ID", "Resource", "RESOURCE_ID"}}));
        ASSERT_EQ(1, InitializeMemPool());
        ASSERT_EQ(1, CreateChildMemPool(&pool_));
        ASSERT_EQ(1, InitPersonality());
        oldValid_ = gv_dsnMapValid;
        oldDialect_ = gv_defaultDialect;
        gv_dsnMapValid = 0;
    }
    void TearDown() override {
        for (auto &[row, table] : rows_) FreeRowObject(row, GetTableDefn(table)->columns->count);
        gv_dsnMapValid = oldValid_;
        gv_defaultDialect = oldDialect_;
        FreePersonalityDefns();
        apr_pool_destroy(pool_);
        TerminateMemPool();
        StoreTest::TearDown();
    }
    // A unit of the table holding texts in definition order, as a data object read holds it.
    RowUnit *Unit(const char *table, const std::vector<const char *> &texts) {
        RowObject *row = kvtest::RowOf(table, texts, ROW_STATE_STORED);
        rows_.emplace_back(row, table);
        return CreateRowUnit(table, row->values, row->lengths, pool_);
    }
    void Dominant(const char *table) {
        ASSERT_EQ(1, AddPersonalityDefn(CreatePersonalityDefn(table, nullptr, table)));
    }
    apr_pool_t *pool_ = nullptr;
    std::vector<std::pair<RowObject *, const char *>> rows_;  // the units' arrays
    unsigned char oldValid_ = 0, oldDialect_ = 0;
};

TEST_F(IndexTable, RootTablesAreWhereTheChainsEnd) {
    struct Case {
        const char *table, *column;
        std::vector<std::string> roots;
    } cases[] = {
        {"Resource", nullptr, {"Resource.(none)"}},
        {"ResourceOS", nullptr, {"Resource.RESOURCE_ID"}},
        // OS_ID leads to ResourceOS.OS_ID, which no key of ResourceOS carries on.
        {"OsPatch", nullptr, {"Resource.RESOURCE_ID"}},
        {"OsPatch", "RESOURCE_ID", {"Resource.RESOURCE_ID"}},
        {"OsPatch", "OS_ID", {}},
        {"TaggedRes", nullptr, {"Resource.RESOURCE_ID", "Tag.CODE"}},
        {"Link", nullptr, {"Host.ID", "Host.ID"}},
        {"Node", nullptr, {}},
        {"CycleA", nullptr, {}},
        {"Nope", nullptr, {}},
    };
    for (const Case &c : cases) {
        Vector roots, columns;
        InitVector(&roots, nullptr);
        InitVector(&columns, nullptr);
        FindRootTable(c.table, c.column, &roots, &columns);
        std::vector<std::string> found;
        for (VectorNode *r = roots.head, *k = columns.head; r != nullptr && k != nullptr;
             r = r->next, k = k->next) {
            found.push_back(std::string(static_cast<char *>(r->element)) + "." +
                            (k->element ? static_cast<char *>(k->element) : "(none)"));
        }
        EXPECT_EQ(roots.count, columns.count) << c.table;
        EXPECT_EQ(c.roots, found) << c.table << " " << (c.column ? c.column : "");
        FreeVector(&roots);
        FreeVector(&columns);
    }
    kvtest::CapturedLog log(4);
    Vector roots, columns;
    InitVector(&roots, nullptr);
    InitVector(&columns, nullptr);
    FindRootTable("Nope", nullptr, &roots, &columns);
    EXPECT_EQ(std::vector<std::string>{"No table definition found for Nope"}, log.Tagged("ERROR"));
}

TEST_F(IndexTable, KeyColumnTextsAndPositions) {
    struct Case {
        const char *table, *text;
    } cases[] = {
        {"Resource", "RESOURCE_ID INT, "},
        {"TaggedRes", "RESOURCE_ID INT, CODE VARCHAR(10), "},
        {"Loose", ""},
    };
    for (const Case &c : cases) {
        Vector *info = GetPKColumnInfo(c.table);
        ASSERT_NE(nullptr, info) << c.table;
        EXPECT_EQ(c.text, Take(ConstructPKColumnString(info))) << c.table;
        FreeVector(info);
        free(info);
    }
    EXPECT_EQ(nullptr, ConstructPKColumnString(nullptr));
    kvtest::CapturedLog log(4);
    EXPECT_EQ(nullptr, GetPKColumnInfo(nullptr));
    EXPECT_EQ(nullptr, GetPKColumnInfo("Nope"));
    EXPECT_EQ((std::vector<std::string>{"Cannot get PKColumnInfo.  TableName is NULL",
                                        "No table definition found for Nope."}),
              log.Tagged("ERROR"));

    EXPECT_EQ(1, GetColIndex("NAME", "Resource", nullptr));
    EXPECT_EQ(2, GetColIndex("OS_NAME", nullptr, GetTableDefn("ResourceOS")));
    EXPECT_EQ(-1, GetColIndex("name", "Resource", nullptr));
    EXPECT_EQ(-1, GetColIndex(nullptr, "Resource", nullptr));
    EXPECT_EQ(-1, GetColIndex("NAME", "Nope", nullptr));
}

TEST_F(IndexTable, KeyConditionsAreQuotedForTheDialect) {
    struct Case {
        unsigned char dialect;  // index of gv_dialectNames
        const char *table;
        std::vector<const char *> texts;
        const char *condition;
    } cases[] = {
        {3, "Resource", {"7", "r"}, "RESOURCE_ID = 7"},
        {3, "TaggedRes", {"-7", "it's"}, "RESOURCE_ID = -7 AND CODE = 'it''s'"},
        {1, "TaggedRes", {"7", "a\\b'"}, "RESOURCE_ID = 7 AND CODE = 'a\\b'''"},
        {0, "TaggedRes", {"7", "a\\b'"}, "RESOURCE_ID = 7 AND CODE = 'a\\\\b'''"},
        {3, "Tag", {"x' OR '1'='1", "l"}, "CODE = 'x'' OR ''1''=''1'"},
    };
    for (const Case &c : cases) {
        gv_defaultDialect = c.dialect;
        EXPECT_EQ(c.condition, Take(ConstructPKValueString(c.table, Unit(c.table, c.texts))))
            << gv_dialectNames[c.dialect];
    }
    // A condition longer than any fixed buffer comes back whole.
    const std::string code(600, 'q');
    EXPECT_EQ("CODE = '" + code + "'",
              Take(ConstructPKValueString("Tag", Unit("Tag", {code.c_str(), "l"}))));
    kvtest::CapturedLog log(4);
    EXPECT_EQ(nullptr, ConstructPKValueString("TaggedRes", Unit("TaggedRes", {"7", nullptr})));
    EXPECT_EQ(nullptr, ConstructPKValueString("Nope", Unit("Resource", {"7"})));
    EXPECT_EQ(nullptr, ConstructPKValueString("Resource", nullptr));
    EXPECT_EQ((std::vector<std::string>{"No usable value for key column CODE of TaggedRes.",
                                        "No table definition found for Nope.",
                                        "No primary columns in the dominant table."}),
              log.Tagged("ERROR"));
}

TEST_F(IndexTable, StatementsPairEachKeyWithItsOwnChain) {
    // Without a connection the statements are logged and then refused.
    Dominant("Resource");
    gv_defaultDialect = 3;
    struct Case {
        const char *table;
        std::vector<const char *> texts;
        unsigned char state;
        const char *statement;  // the trace of the insert, or the query before a delete
    } cases[] = {
        // The first key of OsPatch (OS_ID 70) leads nowhere; its second carries 7.
        {"OsPatch",
         {"70", "7", "1"},
         ROW_STATE_NEW,
         "Insert Query for Resource_IDX: INSERT INTO Resource_IDX VALUES (7, 'OsPatch')"},
        {"Odd'Name",
         {"1", "7"},
         ROW_STATE_NEW | ROW_STATE_MODIFIED,
         "Insert Query for Resource_IDX: INSERT INTO Resource_IDX VALUES (7, 'Odd''Name')"},
        {"Odd'Name",
         {"1", "7"},
         ROW_STATE_STORED | ROW_STATE_DELETED,
         "ConnectionHandle NULL in ExecuteQuery for Query SELECT TABLENAME FROM Resource_IDX "
         "WHERE RESOURCE_ID = 7 AND TABLENAME = 'Odd''Name' "},
    };
    for (const Case &c : cases) {
        RowObject *row = kvtest::RowOf(c.table, c.texts, c.state);
        kvtest::CapturedLog log(4);
        EXPECT_EQ(0, AddEntryToIndexTable(c.table, row));
        std::vector<std::string> lines = log.Lines();
        EXPECT_NE(lines.end(), std::find_if(lines.begin(), lines.end(),
                                            [&](const std::string &l) {
                                                return l.find(c.statement) != std::string::npos;
                                            }))
            << c.statement;
        EXPECT_EQ("Cannot Add Entry Into Index Table", log.Tagged("ERROR").back());
        FreeRowObject(row, GetTableDefn(c.table)->columns->count);
    }
}

// The index rows written for each row state, on a real SQLite database.
class IndexTableSqlite : public ::testing::Test {
  protected:
    void SetUp() override {
        KV_SCRATCH_DATABASE(kvtest::kPersistEngines[0], root_.data(), database_);
        root_.Write("datadictionary.txt", "tables.xml\n");
        root_.Write("tables.xml", "<?xml version=\"1.0\"?>\n<data-dictionary>" +
                                      kvtest::PersonalityTables() + "</data-dictionary>\n");
        std::string map;
        for (const char *t : {"Resource", "ResourceOS", "ResourceHW", "OsPatch", "Tag", "TaggedRes",
                              "Node", "CycleA", "CycleB", "Host", "Link", "Loose"}) {
            map += std::string(t) + " main\n";
        }
        root_.Write("dsn_table_map.txt", map);
        root_.Write("connparams.txt", database_->ConnParamsLine());
        root_.Write("loadtablelist.txt", "");
        ASSERT_EQ(1, InitTamber(root_.root().c_str())) << root_.LogText();
        ASSERT_EQ(1, InitPersonality());
        root_.Write("p.xml", R"(<Personalities>
            <PersonalityConfiguration personalityname="R" dominanttableid="Resource">
              <ConstituentTable tableindex="1" tableid="ResourceOS"/>
            </PersonalityConfiguration>
            <PersonalityConfiguration personalityname="H" dominanttableid="Host"/>
            <PersonalityConfiguration personalityname="T" dominanttableid="Tag"/>
            <DominantTableConfig DOMINANTTABLEID="Resource" isindexed="true"/>
            <DominantTableConfig DOMINANTTABLEID="Host" isindexed="true"/>
            <DominantTableConfig DOMINANTTABLEID="Tag" isindexed="true"/>
          </Personalities>)");
        ASSERT_EQ(1, CreatePersonalityFromXMLFile(root_.file("p.xml").c_str())) << root_.LogText();
    }
    // DeInitTamber frees the personality list as well.
    void TearDown() override { DeInitTamber(); }

    std::vector<std::string> Index(const char *dominant) {
        std::vector<std::string> out =
            kvtest::SelectedRows(nullptr, std::string("SELECT * FROM ") + dominant + "_IDX");
        std::sort(out.begin(), out.end());
        return out;
    }

    kvtest::DataRoot root_;
    std::unique_ptr<kvtest::ScratchDatabase> database_;
};

TEST_F(IndexTableSqlite, EachStateWritesItsIndexRows) {
    using Rows = std::vector<std::string>;
    struct Case {
        const char *table;
        std::vector<const char *> texts;
        unsigned char state;
        Rows resource, host;
    } cases[] = {
        {"ResourceOS", {"70", "7", "os"}, 2, {"7:ResourceOS"}, {}},
        {"ResourceOS", {"71", "7", "os"}, 6, {"7:ResourceOS", "7:ResourceOS"}, {}},
        {"ResourceHW", {"80", "7"}, 2, {"7:ResourceHW", "7:ResourceOS", "7:ResourceOS"}, {}},
        {"ResourceOS", {"70", "7", "os"}, 1, {"7:ResourceHW", "7:ResourceOS", "7:ResourceOS"}, {}},
        {"ResourceOS", {"70", "7", "os"}, 5, {"7:ResourceHW", "7:ResourceOS", "7:ResourceOS"}, {}},
        {"ResourceOS", {"70", "7", "os"}, 10, {"7:ResourceHW", "7:ResourceOS", "7:ResourceOS"}, {}},
        // A deletion takes out one row of its own table; the other rows of the key stay.
        {"ResourceOS", {"70", "7", "os"}, 9, {"7:ResourceHW", "7:ResourceOS"}, {}},
        {"ResourceOS", {"71", "7", "os"}, 13, {"7:ResourceHW"}, {}},
        {"ResourceOS", {"71", "7", "os"}, 9, {"7:ResourceHW"}, {}},
        {"OsPatch", {"70", "7", "1"}, 2, {"7:OsPatch", "7:ResourceHW"}, {}},
        // Only integer keys are indexed: Tag's index stays empty.
        {"TaggedRes", {"7", "x"}, 2, {"7:OsPatch", "7:ResourceHW", "7:TaggedRes"}, {}},
        {"Link",
         {"1", "5", "6"},
         2,
         {"7:OsPatch", "7:ResourceHW", "7:TaggedRes"},
         {"5:Link", "6:Link"}},
        {"ResourceOS",
         {"72", nullptr, "os"},
         2,
         {"7:OsPatch", "7:ResourceHW", "7:TaggedRes"},
         {"5:Link", "6:Link"}},
        {"Resource",
         {"7", "r"},
         2,
         {"7:OsPatch", "7:ResourceHW", "7:TaggedRes"},
         {"5:Link", "6:Link"}},
    };
    for (const Case &c : cases) {
        RowObject *row = kvtest::RowOf(c.table, c.texts, c.state);
        EXPECT_EQ(1, AddEntryToIndexTable(c.table, row)) << c.table << " " << int(c.state);
        FreeRowObject(row, GetTableDefn(c.table)->columns->count);
        EXPECT_EQ(c.resource, Index("Resource")) << c.table << " " << int(c.state);
        EXPECT_EQ(c.host, Index("Host")) << c.table << " " << int(c.state);
    }
    EXPECT_EQ(Rows{}, Index("Tag"));

    // An index table that is gone fails the statement, and the caller hears of it.
    ConnectionHandle *handle = GetConnectionHandle(nullptr);
    ASSERT_EQ(1, ExecuteUpdate(handle, "DROP TABLE Host_IDX"));
    ReleaseConnectionHandle(nullptr);
    RowObject *row = kvtest::RowOf("Link", {"2", "5", "6"}, ROW_STATE_NEW);
    const size_t mark = root_.LogText().size();
    EXPECT_EQ(0, AddEntryToIndexTable("Link", row));
    FreeRowObject(row, GetTableDefn("Link")->columns->count);
    EXPECT_NE(std::string::npos, root_.LogText().find("Cannot Add Entry Into Index Table", mark));

    // Reading the file again finds the tables made: they are refused, the list still grows.
    EXPECT_EQ(1, CreatePersonalityFromXMLFile(root_.file("p.xml").c_str()));
    EXPECT_EQ(6, gv_personalityDefnVect->count);
    EXPECT_EQ(Rows{}, Index("Host")) << "made again: the others existed, Host_IDX did not";
}

}  // namespace
