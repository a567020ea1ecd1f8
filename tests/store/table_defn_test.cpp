// Table and column definitions: type words, column construction, the global list and its
// lookups, freeing and printing.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "store/column_defn.h"
#include "tests/support/test_support.h"

namespace {

bool Contains(const std::vector<std::string> &lines, const std::string &line) {
    for (const std::string &l : lines) {
        if (l == line) return true;
    }
    return false;
}

TEST(DataTypeWords, EveryWordAndItsCode) {
    const struct {
        const char *word;
        unsigned char code;
    } cases[] = {
        {"VEL_SQL_NOT_SUPPORTED_TYPE", 0},
        {"VEL_SQL_TINYINT", 1},
        {"VEL_SQL_UNSIGNED_TINYINT", 2},
        {"VEL_SQL_SMALLINT", 3},
        {"VEL_SQL_UNSIGNED_SMALLINT", 4},
        {"VEL_SQL_INT", 5},
        {"INTEGER", 5},
        {"integer", 5},
        {"Integer", 5},
        {"LONG", 5},
        {"VEL_SQL_UNSIGNED_INT", 6},
        {"BIGINT", 7},
        {"VEL_SQL_UNSIGNED_LONG_INT", 8},
        {"VEL_SQL_FLOAT", 9},
        {"FLOAT", 9},
        {"VEL_SQL_DOUBLE", 10},
        {"VEL_SQL_REAL", 11},
        {"VEL_SQL_DECIMAL", 12},
        {"VEL_SQL_NUMERIC", 13},
        {"VEL_SQL_CHAR", 14},
        {"CHAR", 15},
        {"nchar", 15},
        {"VEL_SQL_DATE", 16},
        {"DATE", 16},
        {"VEL_SQL_TIME", 17},
        {"TIME", 17},
        {"VEL_SQL_DATETIME", 18},
        {"DATETIME", 18},
        {"TimeStamp", 18},
        {"BOOLEAN", 19},
        {"VEL_SQL_BLOB", 20},
        {"BLOB", 20},
        {"VEL_SQL_CLOB", 21},
        {"CLOB", 21},
        {"VEL_SQL_TEXT", 22},
        {"text", 22},
        // Words a dictionary cannot use: internal names and unknown words are code 0.
        {"VARCHAR", 0},
        {"VEL_SQL_BIGINT", 0},
        {"VEL_SQL_VARCHAR", 0},
        {"VEL_SQL_BOOLEAN", 0},
        {"", 0},
        {" INTEGER", 0},
    };
    kvtest::CapturedLog log(4);
    for (const auto &c : cases) EXPECT_EQ(c.code, GetDataTypeFromString(c.word)) << c.word;
    EXPECT_TRUE(log.Lines().empty());  // an unknown word is not reported
    EXPECT_EQ(0, GetDataTypeFromString(nullptr));
    EXPECT_TRUE(Contains(log.Lines(),
                         "ERROR Column data type not supported - Error while "
                         "creating column definition."));
}

TEST(ColumnDefnCreation, CharacterTypesWiderThan255BecomeText) {
    const struct {
        unsigned char type;
        int maxSize;
        unsigned char stored;
    } cases[] = {
        {VEL_SQL_VARCHAR, 255, VEL_SQL_VARCHAR}, {VEL_SQL_VARCHAR, 256, VEL_SQL_TEXT},
        {VEL_SQL_CHAR, 255, VEL_SQL_CHAR},       {VEL_SQL_CHAR, 300, VEL_SQL_TEXT},
        {VEL_SQL_INT, 5000, VEL_SQL_INT},        {VEL_SQL_BLOB, 1 << 20, VEL_SQL_BLOB},
        {VEL_SQL_VARCHAR, -1, VEL_SQL_VARCHAR},
    };
    for (const auto &c : cases) {
        ColumnDefn *column =
            CreateColumnDefn("c", c.type, nullptr, 0, 0, nullptr, nullptr, c.maxSize, 1, nullptr);
        ASSERT_NE(nullptr, column);
        EXPECT_EQ(c.stored, column->dataType) << int(c.type) << " " << c.maxSize;
        FreeColumnDefn(column);
    }
}

TEST(ColumnDefnCreation, FieldsCopiesAndDefaults) {
    const char *bounds[] = {"1", "9"};
    AllowedValues *range = CreateAllowedValues(bounds, 2, 1);
    ASSERT_NE(nullptr, range);
    std::string description = "the id", generator = "id_seq";
    ColumnDefn *column = CreateColumnDefn("id", VEL_SQL_INT, "42", 2, 1, generator.c_str(),
                                          description.c_str(), 10, 0, range);
    ASSERT_NE(nullptr, column);
    EXPECT_STREQ("id", column->name);
    EXPECT_EQ(4, column->defaultLength);
    EXPECT_EQ(42, ReadStoredInteger(column->defaultValue, column->defaultLength, VEL_SQL_INT));
    EXPECT_EQ(1, column->unique);
    EXPECT_EQ(10, column->maxSize);
    EXPECT_EQ(0, column->nullable);
    EXPECT_EQ(range, column->allowedValues);  // taken over
    EXPECT_NE(description.c_str(), column->description);
    EXPECT_STREQ("the id", column->description);
    EXPECT_STREQ("id_seq", column->generatorName);
    FreeColumnDefn(column);

    // A default that is no value of the type leaves none, without an error.
    kvtest::CapturedLog log(4);
    column =
        CreateColumnDefn("flag", VEL_SQL_BOOLEAN, "maybe", 5, 0, nullptr, nullptr, 0, 1, nullptr);
    ASSERT_NE(nullptr, column);
    EXPECT_EQ(nullptr, column->defaultValue);
    EXPECT_EQ(0, column->defaultLength);
    FreeColumnDefn(column);
    // A text default is never read past its end, whatever length is claimed.
    column =
        CreateColumnDefn("price", VEL_SQL_DECIMAL, "9.5", 1000, 0, nullptr, nullptr, 0, 1, nullptr);
    ASSERT_NE(nullptr, column);
    EXPECT_EQ(3, column->defaultLength);
    EXPECT_STREQ("9.5", static_cast<char *>(column->defaultValue));
    FreeColumnDefn(column);
    EXPECT_EQ(nullptr, CreateColumnDefn(nullptr, VEL_SQL_INT, nullptr, 0, 0, nullptr, nullptr, 0, 1,
                                        nullptr));
}

TEST(ColumnDefnCreation, AllowedValuesListAndRange) {
    const char *list[] = {"A", "B", nullptr};
    AllowedValues *allowed = CreateAllowedValues(list, 3, 0);
    ASSERT_NE(nullptr, allowed);
    EXPECT_EQ(0, allowed->isRange);
    EXPECT_STREQ("A", allowed->values[0]);
    EXPECT_STREQ("B", allowed->values[1]);
    EXPECT_STREQ("", allowed->values[2]);  // an absent value does not cut the list short
    EXPECT_EQ(nullptr, allowed->values[3]);
    FreeAllowedValues(allowed);
    EXPECT_EQ(nullptr, CreateAllowedValues(list, 3, 1));  // a range has exactly two bounds
    EXPECT_EQ(nullptr, CreateAllowedValues(nullptr, 1, 0));
}

// A list of two tables whose names differ only in case, built through the public calls.
class TableDefnList : public ::testing::Test {
  protected:
    void SetUp() override {
        InitTableDefnList();
        ASSERT_EQ(1, AddTableDefn(MakeTable("Employee", "first", "EmpId", "7")));
        ASSERT_EQ(1, AddTableDefn(MakeTable("employee", "second", "empid", nullptr)));
    }
    void TearDown() override {
        FreeAllTableDefns();
        EXPECT_EQ(0, GetTableDefnList()->count);
    }

    static TableDefn *MakeTable(const char *name, const char *description, const char *idName,
                                const char *idDefault) {
        Vector *columns = NewVector();
        AddElementData(columns, CreateColumnDefn(idName, VEL_SQL_INT, idDefault,
                                                 idDefault ? int(strlen(idDefault)) : 0, 1, nullptr,
                                                 nullptr, 0, 0, nullptr));
        AddElementData(columns, CreateColumnDefn("Name", VEL_SQL_VARCHAR, nullptr, 0, 0, nullptr,
                                                 "employee name", 40, 1, nullptr));
        TableConstraints *constraints = CreateTableConstraints();
        AddPrimaryKeyColumn(constraints, idName);
        AddForeignKeyDefn(constraints, CreateForeignKeyDefn("DeptId", "Id", "Dept", 1, 1));
        AddForeignKeyDefn(constraints, CreateForeignKeyDefn("deptid", "Id2", "Dept", 1, 0));
        return CreateTableDefn(name, description, columns, constraints);
    }
};

TEST_F(TableDefnList, LookupsFindTheFirstTableIgnoringCaseAndColumnsExactly) {
    TableDefn *first = GetTableDefn("EMPLOYEE");
    ASSERT_NE(nullptr, first);
    EXPECT_STREQ("first", first->description);
    EXPECT_EQ(first, GetTableDefn("employee"));
    EXPECT_EQ(nullptr, GetTableDefn("staff"));

    kvtest::CapturedLog log(2);
    EXPECT_EQ(nullptr, GetColumnDefnEntry("employee", "empid"));  // defined as EmpId
    ColumnDefn *id = GetColumnDefnEntry("employee", "EmpId");
    ASSERT_NE(nullptr, id);
    EXPECT_EQ(VEL_SQL_INT, GetColumnDataType("EMPLOYEE", "EmpId"));
    EXPECT_EQ(VEL_SQL_VARCHAR, GetColumnDataType("employee", "Name"));
    EXPECT_EQ(0, GetColumnDataType("employee", "Salary"));
    EXPECT_TRUE(log.Lines().empty());  // a missing column is not logged

    int found = 0;
    EXPECT_EQ(id->defaultValue, GetDefaultValue("employee", "EmpId", &found));
    EXPECT_EQ(1, found);
    found = 0;
    EXPECT_EQ(nullptr, GetDefaultValue("employee", "Name", &found));  // exists, no default
    EXPECT_EQ(1, found);
    found = 5;
    EXPECT_EQ(nullptr, GetDefaultValue("employee", "Salary", &found));
    EXPECT_EQ(5, found);  // untouched for a missing column
}

TEST_F(TableDefnList, LookupErrorsAreLogged) {
    const struct {
        const char *table;
        const char *column;
        const char *message;
    } cases[] = {
        {nullptr, "EmpId", "ERROR Cannot fetch default value;"},
        {"employee", nullptr, "ERROR Cannot fetch default value;"},
        {"staff", "EmpId", "ERROR No definition found for table staff"},
    };
    for (const auto &c : cases) {
        kvtest::CapturedLog log(2);
        int found = 0;
        EXPECT_EQ(nullptr, GetColumnDefnEntry(c.table, c.column));
        EXPECT_EQ(0, GetColumnDataType(c.table, c.column));
        EXPECT_EQ(nullptr, GetDefaultValue(c.table, c.column, &found));
        EXPECT_EQ(0, found);
        std::vector<std::string> expected(3, c.message);
        EXPECT_EQ(expected, log.Lines());
    }
    kvtest::CapturedLog log(2);
    EXPECT_EQ(nullptr, GetTableDefn(nullptr));
    EXPECT_EQ(std::vector<std::string>{"ERROR Table Name is NULL."}, log.Lines());
}

TEST_F(TableDefnList, ForeignKeyLookup) {
    TableDefn *table = GetTableDefn("employee");
    ForeignKeyDefn *key = GetForeignKeyDefn(table, "DEPTID");
    ASSERT_NE(nullptr, key);
    EXPECT_STREQ("Id", key->referenceColumn);  // the first match, ignoring case
    EXPECT_STREQ("Dept", key->referenceTable);
    EXPECT_EQ(1, key->onDeleteCascade);
    EXPECT_EQ(1, key->isBidirectional);
    EXPECT_EQ(nullptr, GetForeignKeyDefn(table, "Name"));

    TableConstraints empty = {nullptr, 0, nullptr};
    TableDefn bare = {nullptr, nullptr, nullptr, nullptr};
    kvtest::CapturedLog log(2);
    EXPECT_EQ(nullptr, GetForeignKeyDefn(&bare, "DeptId"));
    bare.constraints = &empty;
    EXPECT_EQ(nullptr, GetForeignKeyDefn(&bare, "DeptId"));
    EXPECT_EQ((std::vector<std::string>{"ERROR No constraint Definition ",
                                        "ERROR No Foreignkey Entries in Definition "}),
              log.Lines());
}

TEST_F(TableDefnList, FreeingOneDefinitionKeepsTheOthersInOrder) {
    EXPECT_EQ(0, FreeTableDefn("staff"));
    EXPECT_EQ(1, FreeTableDefn("EMPLOYEE"));  // the first one loaded
    ASSERT_EQ(1, GetTableDefnList()->count);
    EXPECT_STREQ("second", GetTableDefn("Employee")->description);
    ASSERT_EQ(1, AddTableDefn(MakeTable("Dept", nullptr, "Id", nullptr)));
    EXPECT_STREQ("Dept", static_cast<TableDefn *>(GetTableDefnList()->tail->element)->name);
}

TEST_F(TableDefnList, PrintingLogsEveryPartAtDebugLevel) {
    kvtest::CapturedLog log(3);
    PrintTableDefn(GetTableDefn("Employee"));
    const std::vector<std::string> expected = {
        "DEBUG Table Name : Employee",
        "DEBUG Description: first",
        "DEBUG ---------------------------------------\n",
        "DEBUG Column Name : EmpId",
        "DEBUG Column Type : 5",
        "DEBUG Unique Flag : TRUE",
        "DEBUG Description : (null)",
        "DEBUG ---------------------------------------\n",
        "DEBUG Column Name : Name",
        "DEBUG Column Type : 15",
        "DEBUG Unique Flag : FALSE",
        "DEBUG Description : employee name",
        "DEBUG ---------------------------------------\n",
        "DEBUG Primary key : EmpId\n",
        "DEBUG Foreign key Constraints",
        "DEBUG ********************************",
        "DEBUG Column Name : DeptId",
        "DEBUG Ref Column  : Id",
        "DEBUG Tablename : Dept",
        "DEBUG Column Name : deptid",
        "DEBUG Ref Column  : Id2",
        "DEBUG Tablename : Dept",
        "DEBUG ********************************",
    };
    EXPECT_EQ(expected, log.Lines());

    kvtest::CapturedLog quiet(3);
    TableDefn noColumns = {const_cast<char *>("x"), nullptr, nullptr, nullptr};
    PrintTableDefn(&noColumns);
    EXPECT_TRUE(quiet.Lines().empty());
}

}  // namespace
