// Personalities on each database: a parent table with two child tables and a grandchild read
// as one data object, edited and saved in foreign-key order, read again; the parent's index
// table made from the personality file, kept in step row by row and used for deep reads;
// reads by row unit, by criteria and over two personalities.
#include "dataobject/personality_read.h"

#include <apr_pools.h>
#include <apr_strings.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "dataobject/data_object_save.h"
#include "dataobject/index_table.h"
#include "dataobject/personality_defn.h"
#include "dataobject/personality_file.h"
#include "dataobject/row_collection.h"
#include "dataobject/row_unit.h"
#include "db/connection_pool.h"
#include "persist/tamber_init.h"
#include "tests/dataobject/personality_fixture.h"
#include "tests/persist/persist_fixture.h"
#include "util/mempool.h"

namespace {

using Rows = std::vector<std::string>;
using kvtest::UnitTexts;

const char kFamily[] = R"(<?xml version="1.0"?>
<Personalities>
  <PersonalityConfiguration personalityname="Family" description="A parent and all its rows"
                            dominanttableid="Parent">
    <ConstituentTable tableindex="1" tableid="Child" fkconstraint_id="fk_Child1" mandatory="false"/>
    <ConstituentTable tableindex="2" tableid="Note"/>
    <ConstituentTable tableindex="3" tableid="Item"/>
  </PersonalityConfiguration>
  <PersonalityConfiguration personalityname="Notes" dominanttableid="Parent">
    <ConstituentTable tableindex="1" tableid="Note"/>
  </PersonalityConfiguration>
  <PersonalityConfiguration personalityname="Odd" dominanttableid="Parent">
    <ConstituentTable tableindex="0" tableid="Parent"/>
    <ConstituentTable tableindex="1" tableid="Lonely"/>
    <ConstituentTable tableindex="2" tableid="Child"/>
    <ConstituentTable tableindex="3" tableid="Nowhere"/>
  </PersonalityConfiguration>
  <DominantTableConfig DOMINANTTABLEID="Parent" isindexed="true"/>
</Personalities>
)";

class PersonalityDatabase : public ::testing::TestWithParam<kvtest::PersistEngine> {
  protected:
    void SetUp() override {
        KV_SCRATCH_DATABASE(GetParam(), root_.data(), database_);
        using kvtest::Table;
        root_.Write("datadictionary.txt", "tables.xml\n");
        root_.Write("tables.xml",
                    "<?xml version=\"1.0\"?>\n<data-dictionary>" +
                        Table("Parent", {"ID", "NAME:20"}, {"ID"}) +
                        Table("Child", {"ID", "PARENT_ID", "NAME:20"}, {"ID"},
                              {{"PARENT_ID", "Parent", "ID"}}) +
                        Table("Note", {"PARENT_ID", "NO", "BODY:40"}, {"PARENT_ID", "NO"},
                              {{"PARENT_ID", "Parent", "ID"}}) +
                        Table("Item", {"PARENT_ID", "NO", "ITEM"}, {"PARENT_ID", "NO", "ITEM"},
                              {{"PARENT_ID", "Note", "PARENT_ID"}, {"NO", "Note", "NO"}}) +
                        Table("Lonely", {"ID"}, {"ID"}) + "</data-dictionary>\n");
        root_.Write("dsn_table_map.txt",
                    "Parent main\nChild main\nNote main\nItem main\nLonely main\n");
        root_.Write("connparams.txt", database_->ConnParamsLine());
        root_.Write("loadtablelist.txt", "");
        root_.Write("family.xml", kFamily);
        ASSERT_EQ(1, InitTamber(root_.root().c_str())) << root_.LogText();
        ASSERT_EQ(1, InitPersonality());
        ASSERT_EQ(1, CreatePersonalityFromXMLFile(root_.file("family.xml").c_str()));
        ASSERT_EQ(1, CreateChildMemPool(&pool_));
        Store();
    }
    // The personality list goes with the library.
    void TearDown() override {
        if (pool_ != nullptr) apr_pool_destroy(pool_);
        DeInitTamber();
    }

    // Files every changed unit of the object in the index, then saves the object.
    void IndexAndSave(DataObject *object) {
        for (RowCollection *c = object->firstCollection; c != nullptr; c = c->next) {
            for (RowUnit *u = c->firstRowUnit; u != nullptr; u = u->next) {
                RowObject *row = GetRowObjectFromRowUnit(u, object);
                ASSERT_NE(nullptr, row);
                ASSERT_EQ(1, AddEntryToIndexTable(c->tableName, row)) << root_.LogText();
            }
        }
        ASSERT_EQ(1, SaveDataObject(object));
    }
    // Three parents (the third without any rows of its own), their children, notes, items.
    void Store() {
        DataObject *object = CreateDataObject();
        ASSERT_NE(nullptr, object);
        // The child tables come first: saving must still write the parents first.
        for (const char *table : {"Item", "Note", "Child", "Parent"})
            ASSERT_EQ(1, AddTableToDO(object, table, nullptr));
        struct Row {
            const char *table, *a, *b, *c;
        } rows[] = {{"Parent", "1", "p1", nullptr}, {"Parent", "2", "p2", nullptr},
                    {"Parent", "3", "p3", nullptr}, {"Child", "10", "1", "c10"},
                    {"Child", "11", "1", "c11"},    {"Child", "20", "2", "c20"},
                    {"Note", "1", "1", "n11"},      {"Note", "1", "2", "n12"},
                    {"Item", "1", "1", "100"},      {"Item", "1", "1", "101"}};
        for (const Row &r : rows) {
            char **texts = r.c != nullptr ? MakeStringColumnValuesList(object, 3, r.a, r.b, r.c)
                                          : MakeStringColumnValuesList(object, 2, r.a, r.b);
            ASSERT_EQ(1, InsertStringRowIntoDO(object, r.table, texts)) << r.table << r.a;
        }
        IndexAndSave(object);
        FreeDataObject(object);
    }
    std::vector<std::string> IndexRows() {
        ConnectionHandle *handle = GetConnectionHandle(nullptr);
        ResultSet *set = ExecuteQuery(handle, "SELECT ID, TABLENAME FROM Parent_IDX");
        ReleaseConnectionHandle(nullptr);
        Rows out;
        while (set != nullptr && NextResultRow(set) != nullptr) {
            const ResultCell *id = set->cursor->values;
            char *text =
                ConvertColumnValueToString(id->bytes, id->length, set->columns[0].dataType);
            out.push_back(
                std::string(text) + ":" +
                std::string(reinterpret_cast<char *>(id->next->bytes), size_t(id->next->length)));
            free(text);
        }
        FreeResultSet(set);
        std::sort(out.begin(), out.end());
        return out;
    }
    // Replaces one column of the unit that the criteria find with a new value (state 5).
    void Update(DataObject *object, const char *table, const char *criteria, const char *column,
                const char *text) {
        RowUnit *found = FindRowUnitOnCriteria(table, object, criteria);
        ASSERT_NE(nullptr, found) << criteria;
        RowCollection *c = GetRowCollection(table, object);
        const int count = CountCollectionColumns(c);
        void **values = static_cast<void **>(apr_pcalloc(object->pool, sizeof(void *) * count));
        int *lengths = static_cast<int *>(apr_pcalloc(object->pool, sizeof(int) * count));
        for (int i = 0; i < count; ++i) {
            values[i] = found->values[i];
            lengths[i] = found->lengths[i];
            if (strcmp(c->columnNames[i], column) == 0) {
                values[i] = apr_pstrdup(object->pool, text);
                lengths[i] = int(strlen(text));
            }
        }
        ASSERT_EQ(1, UpdateRowUnit(CreateRowUnit(table, values, lengths, object->pool), object));
    }
    RowUnit *ParentUnit(DataObject *object, const char *id) {
        return FindRowUnitOnCriteria("Parent", object, (std::string("ID = ") + id).c_str());
    }
    // A criterion "table.column = value" for an integer or text column.
    QueryCriterion *Equals(const char *table, const char *column, const char *text) {
        unsigned char type = GetColumnDataType(table, column);
        int length = int(strlen(text));
        void *value = ConvertStringToColumnValue(text, &length, type);
        QueryCriterion *criterion =
            CreateCriterion(CreateSelectColumn(table, nullptr, column, nullptr, 0, type, 0, pool_),
                            value, length, OPERATOR_EQUAL, pool_);
        free(value);
        return criterion;
    }
    size_t LogMark() const { return root_.LogText().size(); }
    bool LoggedSince(size_t mark, const std::string &text) const {
        return root_.LogText().find(text, mark) != std::string::npos;
    }

    kvtest::DataRoot root_;
    std::unique_ptr<kvtest::ScratchDatabase> database_;
    apr_pool_t *pool_ = nullptr;
};

TEST_P(PersonalityDatabase, ReadEditSaveAndReadAgain) {
    DataObject *object = GetDOFromPersonality("Family");
    ASSERT_NE(nullptr, object) << root_.LogText();
    EXPECT_EQ(4, object->tableCount);
    // The third parent has no rows in the other tables: its outer-join row adds none there.
    EXPECT_EQ((Rows{"1:p1:1", "2:p2:1", "3:p3:1"}), UnitTexts(object, "Parent"));
    EXPECT_EQ((Rows{"10:1:c10:1", "11:1:c11:1", "20:2:c20:1"}), UnitTexts(object, "Child"));
    EXPECT_EQ((Rows{"1:1:n11:1", "1:2:n12:1"}), UnitTexts(object, "Note"));
    EXPECT_EQ((Rows{"1:1:100:1", "1:1:101:1"}), UnitTexts(object, "Item"));

    Update(object, "Child", "ID = 11", "NAME", "c11b");
    ASSERT_EQ(1, DeleteRowUnitOnCriteria("Item", object, "ITEM = 101"));
    ASSERT_EQ(1, InsertStringRowIntoDO(object, "Note",
                                       MakeStringColumnValuesList(object, 3, "2", "1", "n21")));
    ASSERT_EQ(1, InsertStringRowIntoDO(object, "Child",
                                       MakeStringColumnValuesList(object, 3, "30", "3", "c30")));
    IndexAndSave(object);
    FreeDataObject(object);

    object = GetDOFromPersonality("Family");
    ASSERT_NE(nullptr, object);
    EXPECT_EQ((Rows{"1:p1:1", "2:p2:1", "3:p3:1"}), UnitTexts(object, "Parent"));
    EXPECT_EQ((Rows{"10:1:c10:1", "11:1:c11b:1", "20:2:c20:1", "30:3:c30:1"}),
              UnitTexts(object, "Child"));
    EXPECT_EQ((Rows{"1:1:n11:1", "1:2:n12:1", "2:1:n21:1"}), UnitTexts(object, "Note"));
    EXPECT_EQ((Rows{"1:1:100:1"}), UnitTexts(object, "Item"));
    FreeDataObject(object);
    // One index row per referring row written, less the one deleted.
    EXPECT_EQ(
        (Rows{"1:Child", "1:Child", "1:Item", "1:Note", "1:Note", "2:Child", "2:Note", "3:Child"}),
        IndexRows());
}

TEST_P(PersonalityDatabase, ConstituentsWithoutAPathToTheDominantTableAreNotJoined) {
    // The entry without a table name stands for nothing; the first named table is joined.
    const size_t mark = LogMark();
    DataObject *object = GetDOFromPersonality("Odd");
    ASSERT_NE(nullptr, object) << root_.LogText();
    EXPECT_EQ(2, object->tableCount);
    EXPECT_EQ((Rows{"1:p1:1", "2:p2:1", "3:p3:1"}), UnitTexts(object, "Parent"));
    EXPECT_EQ((Rows{"10:1:c10:1", "11:1:c11:1", "20:2:c20:1"}), UnitTexts(object, "Child"));
    EXPECT_EQ(0, ContainsTableInDO("Lonely", object));
    FreeDataObject(object);
    EXPECT_TRUE(LoggedSince(mark,
                            "Constituent table Lonely has no foreign key to Parent.ID; it "
                            "is not joined."));
    EXPECT_TRUE(LoggedSince(mark, "No table definition found for Nowhere; it is not joined."));
}

TEST_P(PersonalityDatabase, DeepReadsFollowTheIndex) {
    EXPECT_EQ((Rows{"1:Child", "1:Child", "1:Item", "1:Item", "1:Note", "1:Note", "2:Child"}),
              IndexRows());
    DataObject *all = GetDOFromPersonality("Family");
    ASSERT_NE(nullptr, all);
    struct Case {
        const char *id;
        Rows child, note, item;
    } cases[] = {
        {"1", {"10:1:c10:1", "11:1:c11:1"}, {"1:1:n11:1", "1:2:n12:1"}, {"1:1:100:1", "1:1:101:1"}},
        {"2", {"20:2:c20:1"}, {"<none>"}, {"<none>"}},
    };
    for (const Case &c : cases) {
        DataObject *deep = DeepRetrieveDO("Parent", ParentUnit(all, c.id));
        ASSERT_NE(nullptr, deep) << root_.LogText();
        EXPECT_EQ((Rows{std::string(c.id) + ":p" + c.id + ":1"}), UnitTexts(deep, "Parent"));
        EXPECT_EQ(c.child, UnitTexts(deep, "Child")) << c.id;
        EXPECT_EQ(c.note, UnitTexts(deep, "Note")) << c.id;
        EXPECT_EQ(c.item, UnitTexts(deep, "Item")) << c.id;
        FreeDataObject(deep);
    }
    const size_t mark = LogMark();
    EXPECT_EQ(nullptr, DeepRetrieveDO("Parent", ParentUnit(all, "3")));
    EXPECT_TRUE(LoggedSince(mark,
                            "Query: SELECT TABLENAME FROM Parent_IDX WHERE ID = 3. No tables "
                            "indexed.  Cannot deep retrieve DO for Parent"))
        << root_.LogText().substr(mark);
    EXPECT_EQ(nullptr, DeepRetrieveDO("Child", ParentUnit(all, "1")));
    FreeDataObject(all);
}

TEST_P(PersonalityDatabase, ReadsByRowUnitByCriteriaAndOverTwoPersonalities) {
    DataObject *all = GetDOFromPersonality("Family");
    ASSERT_NE(nullptr, all);
    // A parent whose notes and items are missing still comes back, with its child.
    DataObject *read = GetDOFromPersonalityByRowUnit("Family", ParentUnit(all, "2"));
    ASSERT_NE(nullptr, read) << root_.LogText();
    EXPECT_EQ((Rows{"2:p2:1"}), UnitTexts(read, "Parent"));
    EXPECT_EQ((Rows{"20:2:c20:1"}), UnitTexts(read, "Child"));
    EXPECT_EQ(Rows{}, UnitTexts(read, "Note"));
    EXPECT_EQ(Rows{}, UnitTexts(read, "Item"));
    FreeDataObject(read);

    struct Case {
        const char *table, *column, *value;
        Rows parent, child, note;
    } cases[] = {
        {"Child", "NAME", "c11", {"1:p1:1"}, {"11:1:c11:1"}, {"1:1:n11:1", "1:2:n12:1"}},
        {"Parent", "ID", "3", {"3:p3:1"}, {}, {}},
        {"Note", "NO", "9", {}, {}, {}},
    };
    for (const Case &c : cases) {
        read = GetDOFromPersonalityByCriteria("Family", Equals(c.table, c.column, c.value));
        ASSERT_NE(nullptr, read) << root_.LogText();
        EXPECT_EQ(c.parent, UnitTexts(read, "Parent")) << c.value;
        EXPECT_EQ(c.child, UnitTexts(read, "Child")) << c.value;
        EXPECT_EQ(c.note, UnitTexts(read, "Note")) << c.value;
        FreeDataObject(read);
    }

    // Two personalities over shared tables: every row once, each still as stored.
    Vector names;
    InitVector(&names, nullptr);
    AddElementData(&names, const_cast<char *>("Notes"));
    AddElementData(&names, const_cast<char *>("Family"));
    read = GetDOFromPersonalities(&names);
    ASSERT_NE(nullptr, read);
    EXPECT_EQ((Rows{"1:p1:1", "2:p2:1", "3:p3:1"}), UnitTexts(read, "Parent"));
    EXPECT_EQ((Rows{"1:1:n11:1", "1:2:n12:1"}), UnitTexts(read, "Note"));
    EXPECT_EQ((Rows{"10:1:c10:1", "11:1:c11:1", "20:2:c20:1"}), UnitTexts(read, "Child"));
    FreeDataObject(read);
    read = GetDOFromPersonalitiesByRowUnit(&names, ParentUnit(all, "1"));
    ASSERT_NE(nullptr, read);
    EXPECT_EQ((Rows{"1:p1:1"}), UnitTexts(read, "Parent"));
    EXPECT_EQ((Rows{"1:1:100:1", "1:1:101:1"}), UnitTexts(read, "Item"));
    FreeDataObject(read);
    read = GetDOFromPersonalitiesByCriteria(&names, Equals("Parent", "ID", "2"));
    ASSERT_NE(nullptr, read);
    EXPECT_EQ((Rows{"2:p2:1"}), UnitTexts(read, "Parent"));
    EXPECT_EQ((Rows{"20:2:c20:1"}), UnitTexts(read, "Child"));
    FreeDataObject(read);

    AddElementData(&names, const_cast<char *>("Nobody"));
    const size_t mark = LogMark();
    EXPECT_EQ(nullptr, GetDOFromPersonalities(&names));
    for (const char *text : {"Personality Nobody not found in gv_personalityDefnVect",
                             "No personality found for Nobody", "Cannot Merge DO's."}) {
        EXPECT_TRUE(LoggedSince(mark, text)) << text;
    }
    EXPECT_EQ(nullptr, GetDOFromPersonality(nullptr));
    EXPECT_TRUE(LoggedSince(mark, "Cannot get Personality.  personalityName is NULL"));
    FreeVector(&names);
    FreeDataObject(all);
}

INSTANTIATE_TEST_SUITE_P(Databases, PersonalityDatabase,
                         ::testing::ValuesIn(kvtest::kPersistEngines), kvtest::EngineName);

}  // namespace
