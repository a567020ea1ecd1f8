// Data objects built by hand over the fixture dictionary: tables and collections, insertion
// with generated ids and defaults, unambiguous keys, cursors, value edits, criteria and the
// listing.
#include "dataobject/data_object.h"

#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <vector>

#include "dataobject/data_object_print.h"
#include "dataobject/key_string.h"
#include "dataobject/row_collection.h"
#include "dataobject/row_unit.h"
#include "tests/store/store_fixture.h"
#include "util/mempool.h"

namespace {

class DataObjects : public kvtest::StoreTest {
  protected:
    void SetUp() override {
        StoreTest::SetUp();
        LoadFixtureDictionary();
        ASSERT_EQ(1, InitializeMemPool());
        object_ = CreateDataObject();
        ASSERT_NE(nullptr, object_);
    }
    void TearDown() override {
        FreeDataObject(object_);
        TerminateMemPool();
        StoreTest::TearDown();
    }
    // Inserts a host_interface row (host_id, if_index, if_name).
    int InsertInterface(const char *host, const char *index, const char *name = "eth0") {
        return InsertStringRowIntoDO(object_, "host_interface",
                                     MakeStringColumnValuesList(object_, 3, host, index, name));
    }
    void AddInterfaces() {
        ASSERT_EQ(1, AddTableToDO(object_, "host_interface",
                                  MakeColumnList(object_, 3, "host_id", "if_index", "if_name")));
    }
    std::string Text(const char *column, int n) {
        RowCollection *c = GetRowCollection("host_interface", object_);
        int place = 0;
        while (strcmp(c->columnNames[place], column) != 0) ++place;
        RowUnit *unit = GetNthRowUnit(n, "host_interface", object_);
        char *text = ConvertColumnValueToString(unit->values[place], unit->lengths[place],
                                                c->columnTypes[place]);
        std::string out = text;
        free(text);
        return out;
    }
    DataObject *object_ = nullptr;
};

TEST_F(DataObjects, TablesAndCollections) {
    EXPECT_EQ(1, IsDOEmpty(object_));
    ASSERT_EQ(1, AddTableToDO(object_, "host", nullptr));
    AddInterfaces();
    EXPECT_EQ(0, IsDOEmpty(object_));
    EXPECT_EQ(2, object_->tableCount);
    EXPECT_EQ(2, GetTableList(object_)->count);
    EXPECT_EQ(1, ContainsTableInDO("host_interface", object_));
    EXPECT_EQ(0, ContainsTableInDO("HOST", object_));
    Vector *columns = GetColumnListFromDO("host", object_);
    ASSERT_NE(nullptr, columns);
    EXPECT_EQ(GetTableDefn("host")->columns->count, columns->count);
    EXPECT_STREQ("host_id", static_cast<char *>(columns->head->element));

    kvtest::CapturedLog log(4);
    EXPECT_EQ(nullptr, GetRowCollection("software", object_));
    EXPECT_EQ(0, AddTableToDO(object_, "no_such", nullptr));
    EXPECT_EQ(0, AddTableToDO(nullptr, "host", nullptr));
    EXPECT_EQ(nullptr, GetTableList(nullptr));
    EXPECT_EQ((std::vector<std::string>{"Table software is not present in DO.",
                                        "Table Definition not found for no_such.", "DO is NULL.",
                                        "DataObjectPtr is NULL."}),
              log.Tagged("ERROR"));
}

TEST_F(DataObjects, ColumnsWithoutTheWholeKeyAreRefused) {
    kvtest::CapturedLog log(4);
    EXPECT_EQ(0, AddTableToDO(object_, "host_interface",
                              MakeColumnList(object_, 2, "host_id", "if_name")));
    EXPECT_EQ(
        (std::vector<std::string>{"\nALL PRIMARY KEY COLUMNS SHOULD BE SELECTED FOR host_interface",
                                  "All Primary key columns were not selected.",
                                  "Cannot add Row Collection to DO.  Row Collection is NULL.",
                                  "ADD ROW COLLECTION FAILED"}),
        log.Tagged("ERROR"));
    EXPECT_EQ(1, IsDOEmpty(object_));
}

TEST_F(DataObjects, KeysAreUnambiguousAndDuplicatesRefused) {
    AddInterfaces();
    struct Case {
        const char *host, *index;
        int inserted;
    } cases[] = {{"1", "23", 1}, {"12", "3", 1}, {"1", "23", 0}, {"123", "0", 1}, {"12", "3", 0}};
    for (const Case &c : cases) {
        kvtest::CapturedLog log(4);
        EXPECT_EQ(c.inserted, InsertInterface(c.host, c.index)) << c.host << "," << c.index;
        if (!c.inserted) {
            EXPECT_EQ((std::vector<std::string>{"Cannot insert RowUnit."}), log.Tagged("ERROR"));
            std::string key = std::string("host_interface[") + std::to_string(strlen(c.host)) +
                              ":" + c.host + "][" + std::to_string(strlen(c.index)) + ":" +
                              c.index + "]";
            std::vector<std::string> debug = log.Tagged("DEBUG");
            ASSERT_LE(2u, debug.size());
            EXPECT_EQ((std::vector<std::string>{"HashKey " + key + " Not Inserted",
                                                "Row with keyStr " + key + " already exists."}),
                      std::vector<std::string>(debug.end() - 2, debug.end()));
        }
    }
    EXPECT_EQ(3, CountHashEntries(object_->keyHash));
    EXPECT_EQ("12", Text("host_id", 2));
    ASSERT_NE(nullptr, GetNthRowUnit(3, "host_interface", object_));
    EXPECT_EQ(nullptr, GetNthRowUnit(3, "host_interface", object_)->next);
}

TEST_F(DataObjects, KeyStringIsNeverCut) {
    ASSERT_EQ(1, AddTableToDO(object_, "interface_address",
                              MakeColumnList(object_, 3, "host_id", "if_index", "address")));
    std::string longAddress(300, 'a');
    ASSERT_EQ(1, InsertStringRowIntoDO(
                     object_, "interface_address",
                     MakeStringColumnValuesList(object_, 3, "1", "2", longAddress.c_str())));
    std::string shorter(299, 'a');
    EXPECT_EQ(1, InsertStringRowIntoDO(
                     object_, "interface_address",
                     MakeStringColumnValuesList(object_, 3, "1", "2", shorter.c_str())));
    RowUnit *unit = GetFirstRowUnit("interface_address", object_);
    char *key = GenerateKeyString(unit, nullptr, GetColumnListFromDO("interface_address", object_),
                                  object_->pool);
    EXPECT_EQ("interface_address[1:1][1:2][300:" + longAddress + "]", std::string(key));
    kvtest::CapturedLog log(4);
    EXPECT_EQ(nullptr, GenerateKeyString(unit, nullptr, nullptr, object_->pool));
    EXPECT_EQ((std::vector<std::string>{
                  "Cannot construct keystring.  Both selectQueryPtr and columnList are NULL"}),
              log.Tagged("ERROR"));
}

TEST_F(DataObjects, GeneratedIdsAndDefaultsFillMissingValues) {
    ASSERT_EQ(
        1, AddTableToDO(object_, "host",
                        MakeColumnList(object_, 4, "host_id", "host_name", "domain", "cpu_count")));
    ASSERT_EQ(1, SequenceGenerator());
    for (const char *name : {"pc1", "pc2"}) {
        ASSERT_EQ(1, InsertStringRowIntoDO(
                         object_, "host",
                         MakeStringColumnValuesList(object_, 4, nullptr, name, nullptr, nullptr)));
    }
    const ColumnDefn *cpu = GetColumnDefnEntry("host", "cpu_count");
    const int expectedIds[] = {1, 2};
    for (int n = 1; n <= 2; ++n) {
        RowUnit *unit = GetNthRowUnit(n, "host", object_);
        EXPECT_EQ(ROW_STATE_NEW, unit->state);
        EXPECT_EQ(4, unit->lengths[0]);
        EXPECT_EQ(expectedIds[n - 1], ReadStoredInteger(unit->values[0], 4, VEL_SQL_INT));
        EXPECT_STREQ("corp.local", static_cast<char *>(unit->values[2]));
        EXPECT_EQ(int(strlen("corp.local")), unit->lengths[2]);
        EXPECT_EQ(cpu->defaultLength, unit->lengths[3]);
        EXPECT_EQ(1, ReadStoredInteger(unit->values[3], unit->lengths[3], VEL_SQL_TINYINT));
    }
}

TEST_F(DataObjects, CursorsAndNthUnit) {
    AddInterfaces();
    RowCollection *c = GetRowCollection("host_interface", object_);
    {
        kvtest::CapturedLog log(4);
        EXPECT_EQ(nullptr, GotoNextRowUnit(c));
        EXPECT_EQ(nullptr, GetLastRowUnit("host_interface", object_));
        EXPECT_EQ((std::vector<std::string>{"No RowUnits present in RowCollection."}),
                  log.Tagged("ERROR"));
    }
    ASSERT_EQ(1, InsertInterface("1", "1"));
    ASSERT_EQ(1, InsertInterface("1", "2"));
    RowUnit *first = GetFirstRowUnit("host_interface", object_);
    RowUnit *second = GetLastRowUnit("host_interface", object_);
    EXPECT_EQ(second, first->next);
    c->currentRowUnit = nullptr;
    kvtest::CapturedLog log(4);
    EXPECT_EQ(first, GotoNextRowUnit(c));
    EXPECT_EQ(second, GotoNextRowUnit(c));
    EXPECT_EQ(nullptr, GotoNextRowUnit(c));
    EXPECT_EQ(first, GotoNextRowUnit(c));
    struct Case {
        int n;
        RowUnit *unit;
    } cases[] = {{-1, first}, {1, first}, {2, second}, {3, nullptr}};
    for (const Case &k : cases)
        EXPECT_EQ(k.unit, GetNthRowUnit(k.n, "host_interface", object_)) << k.n;
    EXPECT_EQ((std::vector<std::string>{"Reached end of rowUnits."}), log.Tagged("DEBUG"));
    EXPECT_EQ((std::vector<std::string>{"Cannot get 3 row. "}), log.Tagged("ERROR"));
}

TEST_F(DataObjects, ValuesAreCopiedAndSet) {
    AddInterfaces();
    ASSERT_EQ(1, InsertInterface("1", "1", "a"));
    ASSERT_EQ(1, InsertInterface("1", "2", "b"));
    ASSERT_EQ(1, InsertInterface("1", "3", nullptr));
    void **names = GetColumnValuesFromDO("if_name", "host_interface", object_);
    ASSERT_NE(nullptr, names);
    EXPECT_STREQ("a", static_cast<char *>(names[0]));
    EXPECT_STREQ("b", static_cast<char *>(names[1]));
    EXPECT_EQ(nullptr, names[2]);
    EXPECT_NE(GetFirstValue("if_name", "host_interface", object_), names[0]);
    EXPECT_STREQ(
        "b", static_cast<char *>(GetColumnValueFromDO(object_, "host_interface", "if_name", 2)));
    EXPECT_EQ(nullptr, GetColumnValueFromDO(object_, "host_interface", "if_name", 4));

    for (RowUnit *u = GetFirstRowUnit("host_interface", object_); u != nullptr; u = u->next) {
        u->state = ROW_STATE_STORED;
    }
    ASSERT_EQ(1, SetValueForAllRowUnits("if_name", "host_interface", "x", 2, object_));
    for (int n = 1; n <= 3; ++n) {
        EXPECT_EQ("x", Text("if_name", n));
        EXPECT_EQ(5, GetNthRowUnit(n, "host_interface", object_)->state);
    }
    ASSERT_EQ(1, SetValueForRowUnit("if_name", "host_interface", "last", 5, object_));
    EXPECT_EQ("x", Text("if_name", 2));
    EXPECT_EQ("last", Text("if_name", 3));

    kvtest::CapturedLog log(4);
    EXPECT_EQ(nullptr, GetColumnValuesFromDO("mtu", "host_interface", object_));
    EXPECT_EQ(0, SetValueForRowUnit("mtu", "host_interface", "1", 2, object_));
    EXPECT_EQ(0, SetValueForAllRowUnits("mtu", "host_interface", "1", 2, object_));
    EXPECT_EQ(0, SetValueForRowUnit("if_name", "host", "1", 2, object_));
    EXPECT_EQ((std::vector<std::string>{
                  "Invalid Column Entered.", "Passed column mtu is not present in DO.",
                  "Passed column is not present in DO.", " Table host is not present in DO"}),
              log.Tagged("ERROR"));
}

TEST_F(DataObjects, KeyEditsFileTheUnitUnderItsNewKey) {
    AddInterfaces();
    for (const char *index : {"1", "2", "3"}) ASSERT_EQ(1, InsertInterface("1", index));
    // A probe of host_interface (host_id, if_index, if_name), found by its key.
    long long host = 1;
    int index = 0;
    void *values[] = {&host, &index, const_cast<char *>("eth0")};
    int lengths[] = {8, 4, 4};
    RowUnit *probe = CreateRowUnit("host_interface", values, lengths, object_->pool);
    auto found = [&](long long h, int i) {
        host = h;
        index = i;
        kvtest::CapturedLog quiet(0);
        return FindRowUnit(probe, object_);
    };
    RowUnit *last = GetNthRowUnit(3, "host_interface", object_);

    int four = 4;
    ASSERT_EQ(1, SetValueForRowUnit("if_index", "host_interface", &four, 4, object_));
    EXPECT_EQ(last, found(1, 4));
    EXPECT_EQ(nullptr, found(1, 3));
    ASSERT_EQ(1, InsertInterface("1", "3")) << "the old key is free again";
    EXPECT_EQ(4, CountHashEntries(object_->keyHash));

    struct Case {
        bool all;
        const char *column;
        long long value;
        int length;
        const char *refused;  // the key already held, or null when the edit is taken
    } cases[] = {
        {false, "if_index", 2, 4, "host_interface[1:1][1:2]"},
        {true, "host_id", 5, 8, nullptr},
        {true, "if_index", 9, 4, "host_interface[1:5][1:9]"},
    };
    for (const Case &c : cases) {
        kvtest::CapturedLog log(4);
        int narrow = int(c.value);
        const void *value = c.length == 8 ? static_cast<const void *>(&c.value) : &narrow;
        const std::vector<std::string> before = {Text("if_index", 1), Text("if_index", 4),
                                                 Text("host_id", 1)};
        const unsigned char state = GetNthRowUnit(4, "host_interface", object_)->state;
        const int result =
            c.all ? SetValueForAllRowUnits(c.column, "host_interface", value, c.length, object_)
                  : SetValueForRowUnit(c.column, "host_interface", value, c.length, object_);
        EXPECT_EQ(c.refused == nullptr ? 1 : 0, result) << c.column;
        if (c.refused != nullptr) {
            EXPECT_EQ(std::vector<std::string>{"Row with keyStr " + std::string(c.refused) +
                                               " already exists."},
                      log.Tagged("ERROR"));
            EXPECT_EQ(before, (std::vector<std::string>{Text("if_index", 1), Text("if_index", 4),
                                                        Text("host_id", 1)}));
            EXPECT_EQ(state, GetNthRowUnit(4, "host_interface", object_)->state);
        }
    }
    EXPECT_EQ(GetNthRowUnit(2, "host_interface", object_), found(5, 2));
    EXPECT_EQ(nullptr, found(1, 2));
    EXPECT_EQ(4, CountHashEntries(object_->keyHash));
}

TEST_F(DataObjects, UpdateFindAndRowObjects) {
    ASSERT_EQ(1, AddTableToDO(object_, "host", MakeColumnList(object_, 2, "host_id", "host_name")));
    ASSERT_EQ(1, InsertStringRowIntoDO(object_, "host",
                                       MakeStringColumnValuesList(object_, 2, "7", "pc7")));
    ASSERT_EQ(1, InsertStringRowIntoDO(object_, "host",
                                       MakeStringColumnValuesList(object_, 2, "8", nullptr)));
    RowUnit *probe = CreateRowUnit("host", nullptr, nullptr, object_->pool);
    int id = 7;
    int idLength = 4;
    void *values[] = {&id, const_cast<char *>("renamed")};
    int lengths[] = {idLength, 7};
    probe->values = values;
    probe->lengths = lengths;
    EXPECT_EQ(GetFirstRowUnit("host", object_), FindRowUnit(probe, object_));
    // The updated unit shares the arrays, which live to the end of this test.
    ASSERT_EQ(1, UpdateRowUnit(probe, object_));
    EXPECT_STREQ("renamed", static_cast<char *>(GetFirstValue("host_name", "host", object_)));
    EXPECT_EQ(ROW_STATE_NEW | ROW_STATE_MODIFIED, GetFirstRowUnit("host", object_)->state);

    RowObject *row = GetRowObjectFromRowUnit(GetFirstRowUnit("host", object_), object_);
    ASSERT_NE(nullptr, row);
    EXPECT_EQ("renamed", Value("host", row, "host_name"));
    EXPECT_EQ("corp.local", Value("host", row, "domain"));
    EXPECT_EQ("NULL", Value("host", row, "ram_mb"));

    kvtest::CapturedLog log(4);
    id = 9;
    EXPECT_EQ(0, UpdateRowUnit(probe, object_));
    EXPECT_EQ(nullptr, FindRowUnit(probe, object_));
    EXPECT_EQ(nullptr, GetRowObjectFromRowUnit(GetLastRowUnit("host", object_), object_));
    EXPECT_EQ((std::vector<std::string>{"Row to be updated is not present in DO. ",
                                        "Row to be found is not present in DO. ",
                                        "Cannot save RowUnit. Column host_name is not not nullable "
                                        "and does not have a default value"}),
              log.Tagged("ERROR"));
}

TEST_F(DataObjects, CriteriaFindAndDelete) {
    AddInterfaces();
    ASSERT_EQ(1, InsertInterface("1", "1", "eth0"));
    ASSERT_EQ(1, InsertInterface("1", "2", "eth1"));
    ASSERT_EQ(1, InsertInterface("2", "1", "eth0"));
    EXPECT_EQ(GetNthRowUnit(2, "host_interface", object_),
              FindRowUnitOnCriteria("host_interface", object_, "if_name = 'eth1'"));
    EXPECT_EQ(nullptr, FindRowUnitOnCriteria("host_interface", object_, "if_index > 5"));
    ASSERT_EQ(1, DeleteRowUnitOnCriteria("host_interface", object_, "if_name = 'eth0'"));
    const int states[] = {10, 2, 10};
    for (int n = 1; n <= 3; ++n)
        EXPECT_EQ(states[n - 1], GetNthRowUnit(n, "host_interface", object_)->state);
    EXPECT_EQ(1, DeleteRowUnit(GetNthRowUnit(2, "host_interface", object_), object_));
    EXPECT_EQ(10, GetNthRowUnit(2, "host_interface", object_)->state);
    EXPECT_EQ(3, CountHashEntries(object_->keyHash));
    EXPECT_EQ(0, DeleteRowUnitOnCriteria("host_interface", object_, "if_name = "));
    EXPECT_EQ(0, DeleteRowUnitOnCriteria("software", object_, "a = 1"));
}

TEST_F(DataObjects, InsertionErrors) {
    AddInterfaces();
    kvtest::CapturedLog log(4);
    void **values = static_cast<void **>(calloc(3, sizeof(void *)));
    EXPECT_EQ(0, InsertRowIntoDO(object_, "host", values, MakeLengthList(object_, 3, 4, 4, 4)));
    free(values);
    EXPECT_EQ((std::vector<std::string>{"The RowUnit belongs to Table host, which is not in DO",
                                        "Cannot Insert RowUnit."}),
              log.Tagged("ERROR"));
    int *lengths = MakeLengthList(object_, 2, 4, 11);
    EXPECT_EQ(4, lengths[0]);
    EXPECT_EQ(11, lengths[1]);
}

TEST_F(DataObjects, Listing) {
    AddInterfaces();
    ASSERT_EQ(1, InsertInterface("1", "2", "eth0"));
    ASSERT_EQ(1, InsertInterface("1", "3", nullptr));
    kvtest::CapturedLog log(3);
    ASSERT_EQ(1, PrintDataObject(object_));
    std::string text;
    for (const std::string &line : log.Lines()) text += line + "\n";
    EXPECT_NE(std::string::npos, text.find("Tables selected in DataObject: "));
    EXPECT_NE(std::string::npos, text.find("Table Name: host_interface"));
    EXPECT_NE(std::string::npos, text.find(" host_id\t if_index\t if_name\tRowState"));
    // host_id is a BIGINT, whose cells the listing leaves empty.
    EXPECT_NE(std::string::npos, text.find("\n 2\t eth0\t2\n 3\t NULL\t2\n"));
    EXPECT_EQ(0, PrintDataObject(nullptr));

    struct Case {
        const char *text;
        unsigned char type;
        const char *cell;
    } cases[] = {{"5", VEL_SQL_TINYINT, " 5\t"},         {"-300", VEL_SQL_SMALLINT, " -300\t"},
                 {"1.5", VEL_SQL_DOUBLE, " 1.500000\t"}, {"abc", VEL_SQL_VARCHAR, " abc\t"},
                 {"true", VEL_SQL_BOOLEAN, " 1\t"},      {"x", VEL_SQL_BLOB, ""}};
    for (const Case &c : cases) {
        int length = int(strlen(c.text));
        void *value = ConvertStringToColumnValue(c.text, &length, c.type);
        char cell[32];
        EXPECT_EQ(1, PrintRowUnitValue(value, length, cell, sizeof cell, c.type)) << c.text;
        EXPECT_STREQ(c.cell, cell);
        char small[3];
        if (strlen(c.cell) >= sizeof small) {
            EXPECT_EQ(0, PrintRowUnitValue(value, length, small, sizeof small, c.type));
        }
        free(value);
    }
}

}  // namespace
