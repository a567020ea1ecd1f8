// The select query model: builders, their refusals, criteria trees, column removal.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "db/select_query.h"
#include "tests/support/test_support.h"

namespace {

class SelectQueryTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(InitializeMemPool());
        query = CreateSelectQuery();
        ASSERT_NE(nullptr, query);
    }
    void TearDown() override {
        FreeSelectQuery(query);
        TerminateMemPool();
    }
    std::vector<std::string> SelectedNames() const {
        std::vector<std::string> names;
        for (VectorNode *n = query->columns.head; n; n = n->next) {
            auto *c = static_cast<SelectColumn *>(n->element);
            names.push_back(std::string(c->tableName ? c->tableName : "-") + "." + c->columnName);
        }
        return names;
    }
    SelectQuery *query = nullptr;
};

TEST_F(SelectQueryTest, ANewQueryIsEmpty) {
    EXPECT_EQ(0, query->columns.count);
    EXPECT_EQ(0, query->tables.count);
    EXPECT_EQ(0, query->joins.count);
    EXPECT_EQ(nullptr, query->criteria);
    EXPECT_EQ(nullptr, query->groupBy);
    EXPECT_EQ(nullptr, query->sort);
    EXPECT_EQ(0, query->first);
    EXPECT_EQ(0, query->skip);
}

TEST_F(SelectQueryTest, ColumnBuildersCheckNameAndType) {
    struct Case {
        const char *columnName;
        unsigned char dataType;
        unsigned char aggregate;
        bool list;
        bool made;
        const char *logged;
    } cases[] = {
        {"a", 5, 0, false, true, nullptr},
        {nullptr, 5, 2, false, true, nullptr},  // COUNT(*)
        {nullptr, 5, 0, false, false, "Column Name is NULL"},
        {nullptr, 5, 2, true, false, "Column Name is NULL"},
        {"a", 21, 0, false, true, nullptr},
        {"a", 22, 0, false, false, "Invalid Data Type"},
        {"a", 22, 0, true, false, "Invalid Data Type"},
    };
    for (const Case &c : cases) {
        kvtest::CapturedLog log(2);
        SelectColumn *column =
            c.list ? CreateListColumn("t", nullptr, c.columnName, nullptr, 0, c.dataType, c.aggregate, query->pool)
                   : CreateSelectColumn("t", nullptr, c.columnName, nullptr, 0, c.dataType, c.aggregate, query->pool);
        EXPECT_EQ(c.made, column != nullptr) << (c.columnName ? c.columnName : "null") << int(c.dataType);
        if (c.logged) {
            EXPECT_NE(std::string::npos, log.text().find(c.logged));
        }
    }
}

TEST_F(SelectQueryTest, BuildersCopyTheirTexts) {
    char table[] = "host";
    SelectColumn *column = CreateSelectColumn(table, "h", "name", "n", 0, 15, 0, query->pool);
    ASSERT_NE(nullptr, column);
    table[0] = 'X';
    EXPECT_STREQ("host", column->tableName);
    EXPECT_STREQ("h", column->tableAlias);
    EXPECT_EQ(nullptr, CreateSelectTable("t", nullptr, query->pool)->alias);
}

TEST_F(SelectQueryTest, RemoveSelectColumnMatchesTableAndNameOrNameAlone) {
    for (auto [table, name] : {std::pair{"t1", "a"}, {"t2", "a"}, {nullptr, "a"}, {"t1", "b"}}) {
        ASSERT_TRUE(AddSelectColumn(query, CreateSelectColumn(table, nullptr, name, nullptr, 0, 5, 0, query->pool)));
    }
    EXPECT_TRUE(RemoveSelectColumn(query, "A", "T1"));
    EXPECT_EQ((std::vector<std::string>{"t2.a", "t1.b"}), SelectedNames());
    EXPECT_EQ(2, query->columns.count);
    ASSERT_TRUE(RemoveSelectColumn(query, "b", "t1"));
    EXPECT_EQ(query->columns.head, query->columns.tail) << "the tail follows removals";
    ASSERT_TRUE(AddSelectColumn(query, CreateSelectColumn("t3", nullptr, "c", nullptr, 0, 5, 0, query->pool)));
    EXPECT_EQ((std::vector<std::string>{"t2.a", "t3.c"}), SelectedNames());

    kvtest::CapturedLog log(2);
    EXPECT_FALSE(RemoveSelectColumn(query, "zzz", "t1"));
    EXPECT_NE(std::string::npos, log.text().find("Invalid Column Name"));
}

TEST_F(SelectQueryTest, CriteriaTreesLinkParents) {
    SelectColumn *age = CreateSelectColumn("p", nullptr, "age", nullptr, 0, 5, 0, query->pool);
    int32_t eighteen = 18;
    QueryCriterion *a = CreateCriterion(age, &eighteen, 4, OPERATOR_GREATER_EQUAL, query->pool);
    QueryCriterion *b = CreateCriterion(age, "x", 1, OPERATOR_EQUAL, query->pool);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(0, memcmp(a->value, &eighteen, 4));
    EXPECT_EQ(0, b->value[1]) << "a zero byte after the copied value";
    QueryCriterion *both = CriteriaAnd(a, b, query->pool);
    EXPECT_EQ(both, a->parent);
    EXPECT_EQ(both, b->parent);
    EXPECT_EQ(nullptr, both->parent);
    EXPECT_EQ(OPERATOR_AND, both->op);
    EXPECT_EQ(nullptr, both->column);
    QueryCriterion *either = CriteriaOr(both, a, query->pool);
    EXPECT_EQ(either, both->parent);
    EXPECT_EQ(nullptr, CriteriaOr(nullptr, a, query->pool));

    kvtest::CapturedLog log(2);
    EXPECT_EQ(nullptr, CreateCriterion(nullptr, "x", 1, OPERATOR_EQUAL, query->pool));
    EXPECT_NE(std::string::npos, log.text().find("Empty Column Assigned"));
}

TEST_F(SelectQueryTest, TextTablesMatchTheirCodes) {
    EXPECT_STREQ("COUNT", gv_aggregateTexts[AGGREGATE_COUNT]);
    EXPECT_STREQ("AVG", gv_aggregateTexts[AGGREGATE_AVG]);
    EXPECT_STREQ("!=", gv_operatorTexts[OPERATOR_NOT_EQUAL]);
    EXPECT_STREQ("BETWEEN", gv_operatorTexts[OPERATOR_BETWEEN]);
    EXPECT_STREQ("LEFT_JOIN", gv_joinTypeTexts[LEFT_JOIN]);
}

TEST_F(SelectQueryTest, ListsJoinsGroupingAndSort) {
    Vector *base = NewColumnList(query->pool);
    Vector *ref = NewColumnList(query->pool);
    ASSERT_TRUE(AppendListColumn(query->pool, CreateListColumn("h", nullptr, "id", nullptr, 0, 5, 0, query->pool), base));
    ASSERT_TRUE(AppendListColumn(query->pool, CreateListColumn("i", nullptr, "host_id", nullptr, 0, 5, 0, query->pool), ref));
    SelectJoin *join = CreateSelectJoin("host", "h", "iface", "i", LEFT_JOIN, base, ref, query->pool);
    ASSERT_TRUE(AddSelectJoin(query, join));
    EXPECT_EQ(base, join->baseColumns) << "taken as given";
    EXPECT_TRUE(SetSortOrder(query, CreateSortOrder(base, '0', query->pool)));
    EXPECT_EQ('0', query->sort->direction);
    EXPECT_TRUE(SetGroupBy(query, CreateGroupBy(ref, nullptr, query->pool)));
    EXPECT_EQ(ref, query->groupBy->columns);
}

}  // namespace
