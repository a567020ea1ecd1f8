// Stored select queries read back from the query-definition tables of each database, their
// criteria text, and the runner of every stored query.
#include "persist/stored_query.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "logging/log.h"
#include "persist/query_shortcuts.h"
#include "persist/table_save.h"
#include "persist/tamber_init.h"
#include "store/column_defn.h"
#include "tests/persist/persist_fixture.h"
#include "util/mempool.h"

namespace {

// Query definitions beside the example ones: 50 without columns; 51 with every kind of part;
// 52 whose criteria root names no BooleanExp row; 53 whose tree loops and names nothing.
const char kDefinitions[] = R"(<?xml version="1.0"?>
<Rows>
  <QueryDetails QUERY_ID="50"/>
  <TableDetails TABLE_ID="50" TABLENAME="Device" TABLEALIAS="d"/>
  <QueryvsTables QUERY_ID="50" TABLE_ID="50"/>

  <QueryDetails QUERY_ID="51"/>
  <ColumnDetails COLUMN_ID="511" COLUMNNAME="HOSTNAME" COLUMNALIAS="H" TABLENAME="Device"/>
  <ColumnDetails COLUMN_ID="512" COLUMNNAME="STATUS" TABLENAME="Device"/>
  <ColumnDetails COLUMN_ID="513" COLUMNNAME="RAM_MB" TABLENAME="Device" FUNCTIONNAME="COUNT"/>
  <ColumnDetails COLUMN_ID="514" COLUMNNAME="RAM_MB" TABLENAME="Device" FUNCTIONNAME="SUM"/>
  <ColumnDetails COLUMN_ID="515" COLUMNNAME="NOTES" TABLENAME="Device" FUNCTIONNAME=""/>
  <ColumnDetails COLUMN_ID="516" COLUMNNAME="ELSEWHERE" TABLENAME="Device" FUNCTIONNAME="count"/>
  <QueryvsColumns QUERY_ID="51" COLUMN_ID="511"/>
  <QueryvsColumns QUERY_ID="51" COLUMN_ID="512"/>
  <QueryvsColumns QUERY_ID="51" COLUMN_ID="513"/>
  <QueryvsColumns QUERY_ID="51" COLUMN_ID="514"/>
  <QueryvsColumns QUERY_ID="51" COLUMN_ID="515"/>
  <QueryvsColumns QUERY_ID="51" COLUMN_ID="516"/>
  <JoinDetails JOIN_ID="51" BASETABLENAME="Device" REFTABLENAME="NetworkInterface"
               BASETABLECOLUMN="DEVICE_ID" REFTABLECOLUMN="DEVICE_ID" JOINTYPE="LEFT_JOIN"/>
  <JoinDetails JOIN_ID="52" BASETABLENAME="Device" REFTABLENAME="InstalledSoftware"
               BASETABLECOLUMN="DEVICE_ID" REFTABLECOLUMN="DEVICE_ID" JOINTYPE="OUTER_JOIN"/>
  <JoinDetails JOIN_ID="53" BASETABLENAME="Device" REFTABLENAME="InstalledSoftware"
               BASETABLECOLUMN="DEVICE_ID" JOINTYPE="INNER_JOIN"/>
  <QueryvsJoins QUERY_ID="51" JOIN_ID="51"/>
  <QueryvsJoins QUERY_ID="51" JOIN_ID="52"/>
  <QueryvsJoins QUERY_ID="51" JOIN_ID="53"/>
  <GroupByDetails GB_ID="51" TABLENAME="Device" COLUMNNAME="HOSTNAME"/>
  <QueryvsGB QUERY_ID="51" GB_ID="51"/>
  <SortDetails SORT_ID="51" TABLENAME="Device" COLUMNNAME="HOSTNAME" SORTTYPE="1"/>
  <SortDetails SORT_ID="52" TABLENAME="Device" COLUMNNAME="STATUS" SORTTYPE="0"/>
  <QueryvsSort QUERY_ID="51" SORT_ID="51"/>
  <QueryvsSort QUERY_ID="51" SORT_ID="52"/>
  <BooleanExp B_ID="500" LEXPRESSION="501" OPERATOR="AND" REXPRESSION="502"/>
  <RelationalExp R_ID="501" LIDENTIFIER="STATUS" OPERATOR="=" RIDENTIFIER="1"/>
  <RelationalExp R_ID="502" LIDENTIFIER="NAME" OPERATOR="LIKE" RIDENTIFIER="A%"/>
  <QueryvsCriteria QUERY_ID="51" B_ID="500"/>

  <QueryDetails QUERY_ID="52"/>
  <QueryvsCriteria QUERY_ID="52" B_ID="501"/>

  <QueryDetails QUERY_ID="53"/>
  <BooleanExp B_ID="530" LEXPRESSION="530" OPERATOR="AND" REXPRESSION="501"/>
  <BooleanExp B_ID="531" LEXPRESSION="599" OPERATOR="AND" REXPRESSION="502"/>
  <BooleanExp B_ID="540" LEXPRESSION="530" OPERATOR="or" REXPRESSION="531"/>
  <QueryvsCriteria QUERY_ID="53" B_ID="540"/>
</Rows>
)";

template <typename T>
std::vector<T *> Elements(const Vector *vector) {
    std::vector<T *> out;
    for (VectorNode *node = vector ? vector->head : nullptr; node; node = node->next) {
        out.push_back(static_cast<T *>(node->element));
    }
    return out;
}

std::string Str(const char *text) {
    return text ? text : "(none)";
}

std::string Value(const QueryCriterion *leaf) {
    return leaf && leaf->value
               ? std::string(reinterpret_cast<char *>(leaf->value), size_t(leaf->length))
               : "(none)";
}

class StoredQueries : public ::testing::TestWithParam<kvtest::PersistEngine> {
  protected:
    void SetUp() override {
        root_.CopyExamples();
        KV_SCRATCH_DATABASE(GetParam(), root_.data(), database_);
        root_.Write("connparams.txt", database_->ConnParamsLine());
        root_.Write("definitions.xml", kDefinitions);
        ASSERT_EQ(1, InitTamber(root_.root().c_str())) << root_.LogText();
        ASSERT_EQ(1, SaveDataInXML(root_.file("definitions.xml").c_str()));
    }
    void TearDown() override { DeInitTamber(); }

    kvtest::DataRoot root_;
    std::unique_ptr<kvtest::ScratchDatabase> database_;
};

TEST_P(StoredQueries, EveryPartIsReadBack) {
    SelectQuery *all = CreateStoredQuery(50);
    ASSERT_NE(nullptr, all);
    EXPECT_EQ(0, all->columns.count) << "no column rows select every column";
    std::vector<SelectTable *> tables = Elements<SelectTable>(&all->tables);
    ASSERT_EQ(1u, tables.size());
    EXPECT_EQ("Device", Str(tables[0]->name));
    EXPECT_EQ("d", Str(tables[0]->alias));
    EXPECT_EQ(nullptr, all->criteria);
    EXPECT_EQ(nullptr, all->sort);
    FreeSelectQuery(all);

    SelectQuery *query = CreateStoredQuery(51);
    ASSERT_NE(nullptr, query);
    struct ColumnCase {
        const char *name;
        const char *alias;
        unsigned char type;
        unsigned char aggregate;
    } columns[] = {
        {"HOSTNAME", "H", VEL_SQL_VARCHAR, AGGREGATE_NONE},
        {"STATUS", "(none)", VEL_SQL_SMALLINT, AGGREGATE_NONE},
        {"RAM_MB", "(none)", VEL_SQL_INT, AGGREGATE_COUNT},
        {"RAM_MB", "(none)", VEL_SQL_INT, AGGREGATE_SUM},
        // A TEXT column is selected as VARCHAR: the select model holds no TEXT code.
        {"NOTES", "(none)", VEL_SQL_VARCHAR, AGGREGATE_NONE},
        // Unknown to the dictionary: CHAR; the aggregate name compared exactly.
        {"ELSEWHERE", "(none)", VEL_SQL_CHAR, AGGREGATE_NONE},
    };
    std::vector<SelectColumn *> selected = Elements<SelectColumn>(&query->columns);
    ASSERT_EQ(std::size(columns), selected.size());
    for (size_t i = 0; i < selected.size(); ++i) {
        EXPECT_EQ(columns[i].name, Str(selected[i]->columnName)) << i;
        EXPECT_EQ(columns[i].alias, Str(selected[i]->columnAlias)) << i;
        EXPECT_EQ("Device", Str(selected[i]->tableName)) << i;
        EXPECT_EQ(columns[i].type, selected[i]->dataType) << i;
        EXPECT_EQ(columns[i].aggregate, selected[i]->aggregate) << i;
    }
    std::vector<SelectJoin *> joins = Elements<SelectJoin>(&query->joins);
    ASSERT_EQ(2u, joins.size()) << "a join without its column pair is left out";
    EXPECT_EQ(LEFT_JOIN, joins[0]->joinType);
    EXPECT_EQ(INNER_JOIN, joins[1]->joinType) << "an unknown join type is inner";
    EXPECT_EQ("NetworkInterface", Str(joins[0]->refTable));
    ASSERT_EQ(1, joins[0]->baseColumns->count);
    EXPECT_EQ("DEVICE_ID", Str(Elements<SelectColumn>(joins[0]->refColumns)[0]->columnName));
    ASSERT_NE(nullptr, query->groupBy);
    EXPECT_EQ(1, query->groupBy->columns->count);
    ASSERT_NE(nullptr, query->sort);
    EXPECT_EQ(2, query->sort->columns->count);
    EXPECT_EQ(0, query->sort->direction) << "the last row's SORTTYPE 0: descending";

    const QueryCriterion *root = query->criteria;
    ASSERT_NE(nullptr, root);
    EXPECT_EQ(OPERATOR_AND, root->op);
    ASSERT_NE(nullptr, root->left);
    ASSERT_NE(nullptr, root->right);
    EXPECT_EQ(OPERATOR_EQUAL, root->left->op);
    EXPECT_EQ("STATUS", Str(root->left->column->columnName));
    EXPECT_EQ("1", Value(root->left));
    EXPECT_EQ(OPERATOR_LIKE, root->right->op);
    EXPECT_EQ("A%", Value(root->right));
    EXPECT_EQ(root, root->left->parent);
    FreeSelectQuery(query);

    const size_t mark = root_.LogText().size();
    EXPECT_EQ(1, PrintQueryCriteria(51, nullptr));
    EXPECT_TRUE(kvtest::Holds(root_.LogText().substr(mark), "STATUS=1ANDNAMELIKEA%"));
}

TEST_P(StoredQueries, CriteriaOfOneLeafALoopAndAMissingId) {
    SelectQuery *leaf = CreateStoredQuery(52);
    ASSERT_NE(nullptr, leaf);
    ASSERT_NE(nullptr, leaf->criteria);
    EXPECT_EQ(nullptr, leaf->criteria->left);
    EXPECT_EQ("STATUS", Str(leaf->criteria->column->columnName));
    EXPECT_EQ(VEL_SQL_VARCHAR, leaf->criteria->column->dataType);
    FreeSelectQuery(leaf);

    const size_t mark = root_.LogText().size();
    SelectQuery *odd = CreateStoredQuery(53);
    ASSERT_NE(nullptr, odd);
    // 540 = 530 OR 531; 530 loops back to itself on the left, 531 names nothing on the left:
    // each stands for its other operand.
    const QueryCriterion *root = odd->criteria;
    ASSERT_NE(nullptr, root);
    EXPECT_EQ(OPERATOR_OR, root->op) << "any operator but AND is OR";
    ASSERT_NE(nullptr, root->left);
    ASSERT_NE(nullptr, root->right);
    EXPECT_EQ("1", Value(root->left));
    EXPECT_EQ("A%", Value(root->right));
    FreeSelectQuery(odd);
    EXPECT_EQ(1, PrintQueryCriteria(53, nullptr));
    const std::string log = root_.LogText().substr(mark);
    EXPECT_TRUE(kvtest::Holds(log, "Invalid ID"));
    EXPECT_TRUE(kvtest::Holds(log, "refers back"));
    EXPECT_EQ(1, PrintQueryCriteria(50, nullptr)) << "no criteria: nothing to print";
}

TEST_P(StoredQueries, TheRunnerStartsByItselfAndRunsEveryQuery) {
    const size_t mark = root_.LogText().size();
    EXPECT_EQ(1, GenerateStoredQuery(1));
    EXPECT_TRUE(kvtest::Holds(root_.LogText().substr(mark),
                              "Generated Select Query: select Device.HOSTNAME,Device.DEVICE_TYPE"));
    DeInitTamber();

    EXPECT_EQ(1, RunStoredQueries());
    const std::string log = root_.LogText();
    // Seven stored queries; 52 and 53 name no table, so no text is made for them.
    EXPECT_EQ(5u, kvtest::Occurrences(log, "Generated Select Query"));
    EXPECT_EQ(2u, kvtest::Occurrences(log, "No Tables selected in select query."));
    for (const char *row : {"lt-field-07\twlan0\t192.168.8.23", "srv-files-01\teno2\t10.2.0.5"}) {
        EXPECT_TRUE(kvtest::Holds(log, row)) << row << "\n" << log;
    }
}

INSTANTIATE_TEST_SUITE_P(Databases, StoredQueries, ::testing::ValuesIn(kvtest::kPersistEngines),
                         kvtest::EngineName);

TEST(QueryShortcuts, ColumnListsAndJoinsOverEquallyNamedColumns) {
    ASSERT_EQ(1, InitializeMemPool());
    SelectQuery *query = CreateSelectQuery();
    ASSERT_NE(nullptr, query);
    Vector *texts = MakeColumnVector(query->pool, 3, "a", "b", "c");
    ASSERT_NE(nullptr, texts);
    std::vector<std::string> copied;
    for (char *text : Elements<char>(texts)) copied.emplace_back(text);
    EXPECT_EQ((std::vector<std::string>{"a", "b", "c"}), copied);
    EXPECT_EQ(0, MakeColumnVector(query->pool, 0)->count);

    Vector *joinColumns = MakeColumnVectorForJoin(query->pool, "Device", 2, "DEVICE_ID", "SITE");
    ASSERT_NE(nullptr, joinColumns);
    for (SelectColumn *column : Elements<SelectColumn>(joinColumns)) {
        EXPECT_EQ("Device", Str(column->tableName));
        EXPECT_EQ(VEL_SQL_INT, column->dataType);
    }
    EXPECT_EQ(nullptr, MakeColumnVectorForJoin(query->pool, "Device", 1, nullptr));

    EXPECT_EQ(1, AddColumnToSelectQuery(query, "Device", nullptr, "HOSTNAME", "H", 0,
                                        VEL_SQL_VARCHAR, AGGREGATE_NONE));
    EXPECT_EQ(0, AddColumnToSelectQuery(query, "Device", nullptr, nullptr, nullptr, 0,
                                        VEL_SQL_VARCHAR, AGGREGATE_NONE));
    EXPECT_EQ(1, AddJoinOnColumns(query, "Device", nullptr, "NetworkInterface", "n", LEFT_JOIN, 2,
                                  "DEVICE_ID", "SITE"));
    std::vector<SelectJoin *> joins = Elements<SelectJoin>(&query->joins);
    ASSERT_EQ(1u, joins.size());
    EXPECT_EQ(joins[0]->baseColumns, joins[0]->refColumns) << "one list for both sides";
    std::vector<SelectColumn *> on = Elements<SelectColumn>(joins[0]->baseColumns);
    ASSERT_EQ(2u, on.size());
    EXPECT_EQ(nullptr, on[0]->tableName);
    EXPECT_EQ("SITE", Str(on[1]->columnName));
    EXPECT_EQ(1, query->columns.count);
    FreeSelectQuery(query);
    TerminateMemPool();
}

}  // namespace
