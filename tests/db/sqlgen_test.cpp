// SQL generation: the texts of every dialect for selects, updates, inserts, deletes and
// create-table statements, the refusals of bad input, escaping, and result rows turned back
// into RowObjects.
#include <gtest/gtest.h>

#include <stdint.h>
#include <string.h>

#include <functional>
#include <map>
#include <optional>
#include <string>

#include "db/sqlgen.h"
#include "store/datetime.h"
#include "tests/db/sqlgen_fixture.h"
#include "tests/support/test_support.h"

namespace {

using kvtest::MakeRow;
using kvtest::Taken;
using kvtest::Visible;

class SqlGenTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(InitializeMemPool());
        InitTableDefnList();
        kvtest::AddTestTable(
            "host", {{"id", VEL_SQL_INT, 0, nullptr, false}, {"name", VEL_SQL_VARCHAR, 64}},
            {"id"});
        kvtest::AddTestTable("item",
                             {{"id", VEL_SQL_INT, 0, "7", false},
                              {"big", VEL_SQL_BIGINT, 0, "5000000000"},
                              {"ulong", VEL_SQL_UNSIGNED_LONG_INT},
                              {"label", VEL_SQL_VARCHAR, 20, "it's"},
                              {"note", VEL_SQL_VARCHAR, 300},
                              {"seen", VEL_SQL_DATETIME},
                              {"day", VEL_SQL_DATE},
                              {"at", VEL_SQL_TIME},
                              {"flag", VEL_SQL_BOOLEAN, 0, "true", false},
                              {"data", VEL_SQL_BLOB},
                              {"ratio", VEL_SQL_FLOAT, 0, nullptr, false, true},
                              {"host_id", VEL_SQL_INT},
                              {"owner_id", VEL_SQL_INT},
                              {"owner_code", VEL_SQL_VARCHAR, 8}},
                             {"id"},
                             {{"host_id", "id", "host"},
                              {"owner_id", "id", "owner"},
                              {"owner_code", "code", "OWNER"}});
        kvtest::AddTestTable("link", {{"a", VEL_SQL_INT}}, {}, {{"a", "id", "host"}});
        kvtest::AddTestTable("tag",
                             {{"id", VEL_SQL_INT},
                              {"code", VEL_SQL_VARCHAR, 8},
                              {"name", VEL_SQL_VARCHAR, 20},
                              {"flag", VEL_SQL_BOOLEAN},
                              {"seen", VEL_SQL_DATETIME},
                              {"note", VEL_SQL_VARCHAR, 300},
                              {"amount", VEL_SQL_DECIMAL}},
                             {"ID", "code"});
        kvtest::AddTestTable("nokey", {{"a", VEL_SQL_INT}, {"b", VEL_SQL_VARCHAR, 10}});
        kvtest::AddTestTable("keysonly", {{"a", VEL_SQL_INT}}, {"a"});
        kvtest::AddTestTable("odd", {{"id", VEL_SQL_INT}, {"raw", VEL_SQL_NOT_SUPPORTED_TYPE}},
                             {"id"});
    }
    void TearDown() override {
        FreeAllTableDefns();
        TerminateMemPool();
    }
};

// ---- create table ----

TEST_F(SqlGenTest, CreateTableTexts) {
    const std::string pgsqlItem =
        "CREATE TABLE item(\n"
        "\tid int DEFAULT 7 NOT NULL,\n"
        "\tbig bigint DEFAULT 5000000000,\n"
        "\tulong bigint  ,\n"
        "\tlabel varchar(21) DEFAULT 'it''s',\n"
        "\tnote text ,\n"
        "\tseen timestamp,\n"
        "\tday date,\n"
        "\tat time,\n"
        "\tflag boolean DEFAULT 't'  NOT NULL,\n"
        ",\n"
        " NOT NULL UNIQUE,\n"
        "\thost_id int  ,\n"
        "\towner_id int  ,\n"
        "\towner_code varchar(9)  ,\n"
        "\tPRIMARY KEY(id),\n"
        "\tFOREIGN KEY(host_id) REFERENCES host (id) ON DELETE CASCADE,\n"
        "\tFOREIGN KEY(owner_id,owner_code) REFERENCES owner (id,code) ON DELETE CASCADE"
        "\n);\n\n";
    const std::string mysqlItem =
        "CREATE TABLE item(\n"
        "\tid int DEFAULT 7 NOT NULL,\n"
        "\tbig bigint DEFAULT 5000000000,\n"
        ",\n"
        "\tlabel varchar(20) DEFAULT 'it''s',\n"
        "\tnote text ,\n"
        "\tseen datetime,\n"
        "\tday date,\n"
        "\tat time,\n"
        "\tflag tinyint DEFAULT 1  NOT NULL,\n"
        "\tdata blob  ,\n"
        " NOT NULL UNIQUE,\n"
        "\thost_id int  ,\n"
        "\towner_id int  ,\n"
        "\towner_code varchar(8)  ,\n"
        "\tPRIMARY KEY(id),\n"
        "\tFOREIGN KEY(host_id) REFERENCES host (id) ON DELETE CASCADE,\n"
        "\tINDEX item_IDX0 (host_id),\n"
        "\tFOREIGN KEY(owner_id,owner_code) REFERENCES owner (id,code) ON DELETE CASCADE,\n"
        "\tINDEX item_IDX1 (owner_id,owner_code)"
        "\n) ENGINE = InnoDB;\n\n";
    auto firebirdOrSqlite = [](const char *bigType, const char *dateForms, const char *flag) {
        return std::string(
                   "CREATE TABLE item(\n"
                   "\tid int DEFAULT 7 NOT NULL,\n"
                   "\tbig ") +
               bigType +
               " DEFAULT 5000000000,\n"
               ",\n"
               "\tlabel varchar(20) DEFAULT 'it''s',\n"
               "\tnote text ,\n" +
               dateForms + flag +
               ",\n"
               " NOT NULL UNIQUE,\n"
               "\thost_id int  ,\n"
               "\towner_id int  ,\n"
               "\towner_code varchar(8)  ,\n"
               "\tPRIMARY KEY(id),\n"
               "\tFOREIGN KEY(host_id) REFERENCES host (id) ON DELETE CASCADE,\n"
               "\tFOREIGN KEY(owner_id,owner_code) REFERENCES owner (id,code) ON DELETE CASCADE"
               "\n);\n\n";
    };
    const std::string host =
        "CREATE TABLE host(\n\tid int   NOT NULL,\n\tname varchar(65)  ,\n\tPRIMARY "
        "KEY(id)\n);\n\n";
    const std::string link =
        "CREATE TABLE link(\n\ta int  \n,\n\tFOREIGN KEY(a) REFERENCES host (id) ON DELETE "
        "CASCADE\n);\n\n";
    struct Case {
        const char *dialect;
        const char *table;
        std::optional<std::string> expected;
    } cases[] = {
        {"PGSQL", "host", host},  // the worked example
        {"PGSQL", "item", pgsqlItem},
        {"MYSQL", "item", mysqlItem},
        {"FIREBIRD", "item",
         firebirdOrSqlite("int", "\tseen timestamp,\n\tday date,\n\tat time,\n",
                          "\tflag SMALLINT DEFAULT 1  NOT NULL,\n")},
        {"SQLITE", "item",
         firebirdOrSqlite("bigint", "\tseen varchar(30),\n\tday varchar(30),\n\tat varchar(30),\n",
                          "\tflag boolean DEFAULT 1  NOT NULL,\n")},
        {"PGSQL", "link", link},  // foreign keys without a primary key
        {"MYSQL", "HOST",
         "CREATE TABLE HOST(\n\tid int   NOT NULL,\n\tname varchar(64)  ,\n\tPRIMARY KEY(id)\n) "
         "ENGINE = InnoDB;\n\n"},
        {"SQLITE", "missing", std::nullopt},
        {"FIREBIRD", nullptr, std::nullopt},
    };
    for (const Case &c : cases) {
        std::optional<std::string> text =
            Taken(SqlGenCreate(kvtest::DialectNamed(c.dialect), c.table));
        EXPECT_EQ(Visible(c.expected), Visible(text))
            << c.dialect << " " << (c.table ? c.table : "null");
    }
}

// ---- select ----

struct QueryBuilder {
    SelectQuery *q;
    SelectColumn *Column(const char *table, const char *alias, const char *name, unsigned char type,
                         unsigned char aggregate = 0, const char *columnAlias = nullptr) {
        return CreateSelectColumn(table, alias, name, columnAlias, 0, type, aggregate, q->pool);
    }
    SelectColumn *ListColumn(const char *table, const char *alias, const char *name,
                             unsigned char type = 5, unsigned char aggregate = 0,
                             const char *columnAlias = nullptr) {
        return CreateListColumn(table, alias, name, columnAlias, 0, type, aggregate, q->pool);
    }
    Vector *List(std::initializer_list<SelectColumn *> columns) {
        Vector *list = NewColumnList(q->pool);
        for (SelectColumn *c : columns) AppendListColumn(q->pool, c, list);
        return list;
    }
    QueryCriterion *Leaf(SelectColumn *column, const void *value, int32_t length,
                         unsigned char op) {
        return CreateCriterion(column, value, length, op, q->pool);
    }
    QueryCriterion *Text(SelectColumn *column, const char *text,
                         unsigned char op = OPERATOR_EQUAL) {
        return Leaf(column, text, int32_t(strlen(text)), op);
    }
    void Table(const char *name, const char *alias = nullptr) {
        AddSelectTable(q, CreateSelectTable(name, alias, q->pool));
    }
};

using Build = std::function<void(QueryBuilder &)>;

const std::map<std::string, Build> &Queries() {
    static const std::map<std::string, Build> queries = {
        {"worked example",
         [](QueryBuilder &b) {
             AddSelectColumn(b.q, b.Column("device", nullptr, "name", VEL_SQL_VARCHAR));
             AddSelectColumn(b.q,
                             b.Column(nullptr, nullptr, nullptr, VEL_SQL_INT, AGGREGATE_COUNT));
             b.Table("device", "d");
             SetCriteria(b.q, b.Text(b.Column(nullptr, "d", "os", VEL_SQL_VARCHAR), "win"));
             SetSortOrder(b.q, CreateSortOrder(b.List({b.ListColumn("device", nullptr, "name")}), 1,
                                               b.q->pool));
             b.q->first = 10;
             b.q->skip = 20;
         }},
        {"joins and tables",
         [](QueryBuilder &b) {
             AddSelectJoin(
                 b.q,
                 CreateSelectJoin("host", "h", "device", "d", INNER_JOIN,
                                  b.List({b.ListColumn(nullptr, nullptr, "id")}),
                                  b.List({b.ListColumn(nullptr, nullptr, "host_id")}), b.q->pool));
             AddSelectJoin(b.q,
                           CreateSelectJoin("device", "d", "owner", "o", LEFT_JOIN,
                                            b.List({b.ListColumn(nullptr, "d", "owner_id")}),
                                            b.List({b.ListColumn(nullptr, "o", "id")}), b.q->pool));
             b.Table("site");
             const unsigned char yes = 1;
             const int32_t five = 5;
             QueryCriterion *either = CriteriaOr(
                 b.Leaf(b.Column(nullptr, "d", "flag", VEL_SQL_BOOLEAN), &yes, 1, OPERATOR_EQUAL),
                 b.Leaf(b.Column(nullptr, "h", "id", VEL_SQL_INT), &five, 4, OPERATOR_GREATER),
                 b.q->pool);
             SetCriteria(
                 b.q, CriteriaAnd(either,
                                  b.Text(b.Column(nullptr, nullptr, "name", VEL_SQL_VARCHAR), "a%",
                                         OPERATOR_LIKE),
                                  b.q->pool));
             b.q->first = 5;
         }},
        {"group, having, descending, skip alone",
         [](QueryBuilder &b) {
             AddSelectColumn(b.q, b.Column("device", nullptr, "os", VEL_SQL_VARCHAR));
             AddSelectColumn(b.q, b.Column(nullptr, "d", "id", VEL_SQL_INT, AGGREGATE_COUNT));
             b.Table("device");
             const int32_t two = 2;
             SetGroupBy(b.q, CreateGroupBy(b.List({b.ListColumn("device", nullptr, "os"),
                                                   b.ListColumn(nullptr, nullptr, "x", 5, 0, "n")}),
                                           b.Leaf(b.ListColumn(nullptr, "d", "id", VEL_SQL_INT,
                                                               AGGREGATE_COUNT),
                                                  &two, 4, OPERATOR_GREATER),
                                           b.q->pool));
             SetSortOrder(b.q, CreateSortOrder(b.List({b.ListColumn("device", nullptr, "os")}), 0,
                                               b.q->pool));
             b.q->skip = 5;
         }},
        {"values that carry quotes",
         [](QueryBuilder &b) {
             b.Table("t");
             QueryCriterion *name =
                 b.Text(b.Column(nullptr, nullptr, "name", VEL_SQL_VARCHAR), "it's \\ x");
             // Written bare by the described text, so it must be a number or be quoted.
             QueryCriterion *amount =
                 b.Text(b.Column(nullptr, nullptr, "amount", VEL_SQL_DECIMAL), "1; drop table t");
             QueryCriterion *range =
                 b.Text(b.Column(nullptr, nullptr, "n", VEL_SQL_INT), "1 AND 10", OPERATOR_BETWEEN);
             QueryCriterion *when = b.Text(b.Column(nullptr, nullptr, "seen", VEL_SQL_DATETIME),
                                           "2024-01-02 03:04:05");
             SetCriteria(b.q, CriteriaAnd(CriteriaAnd(name, amount, b.q->pool),
                                          CriteriaOr(range, when, b.q->pool), b.q->pool));
         }},
    };
    return queries;
}

std::optional<std::string> GenerateSelect(const char *dialect, const Build &build) {
    SelectQuery *query = CreateSelectQuery();
    if (query == nullptr) return std::nullopt;
    QueryBuilder builder{query};
    build(builder);
    std::optional<std::string> text = Taken(SqlGenSelect(kvtest::DialectNamed(dialect), query));
    FreeSelectQuery(query);
    return text;
}

TEST_F(SqlGenTest, SelectTexts) {
    const std::string worked =
        "select device.name, COUNT(*) \nfrom device as d \nwhere  d.os =  'win' order by "
        "device.name  asc ";
    const std::string joinsPg =
        "select * from  host as h  inner join  device as d  on h.id = d.host_id  left join  owner "
        "as o  on d.owner_id = "
        "o.id ,site\nwhere ";
    const std::string group =
        "device.os, COUNT(d.id) \nfrom device\ngroup by device.os,n\nhaving  COUNT(d.id)  >  2 "
        "order by device.os  desc ";
    const std::string quoted =
        "select * from t\nwhere name =  'it''s \\ x'  AND amount =  '1; drop table t'  AND "
        "(n BETWEEN  1 AND 10  OR seen =  '2024-01-02 03:04:05' )";
    struct Case {
        const char *query;
        const char *dialect;
        std::string expected;
    } cases[] = {
        {"worked example", "PGSQL", worked + "limit 10 offset 20"},
        {"worked example", "SQLITE", worked + "limit 10 offset 20"},
        {"worked example", "MYSQL", worked + "limit 20 , 10"},
        {"worked example", "FIREBIRD",
         "select first 10 skip 20 device.name, COUNT(*) \nfrom device d \nwhere  d.os =  'win' "
         "order by device.name  "
         "asc "},
        {"joins and tables", "PGSQL",
         joinsPg + "( d.flag =   't'   OR  h.id >  5 ) AND name LIKE  'a%' limit 5"},
        {"joins and tables", "SQLITE",
         joinsPg + "( d.flag =  1  OR  h.id >  5 ) AND name LIKE  'a%' limit 5"},
        {"joins and tables", "MYSQL",
         joinsPg + "( d.flag =  1  OR  h.id >  5 ) AND name LIKE  'a%' limit 5"},
        {"joins and tables", "FIREBIRD",
         "select first 5  * from  host h  inner join  device d  on h.id = d.host_id  left join  "
         "owner o  on d.owner_id "
         "= o.id ,site\nwhere ( d.flag =  't'  OR  h.id >  5 ) AND name LIKE  'a%' "},
        {"group, having, descending, skip alone", "PGSQL", "select " + group},
        {"group, having, descending, skip alone", "MYSQL", "select " + group},
        {"group, having, descending, skip alone", "SQLITE", "select " + group},
        {"group, having, descending, skip alone", "FIREBIRD", "select skip 5 " + group},
        {"values that carry quotes", "PGSQL", quoted},
        {"values that carry quotes", "FIREBIRD",
         "select  * from" + quoted.substr(strlen("select * from"))},
        {"values that carry quotes", "SQLITE", quoted},
        {"values that carry quotes", "MYSQL",
         "select * from t\nwhere name =  'it''s \\\\ x'  AND amount =  '1; drop table t'  AND (n "
         "BETWEEN  1 AND 10  OR "
         "seen =  '2024-01-02 03:04:05' )"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(Visible(c.expected), Visible(GenerateSelect(c.dialect, Queries().at(c.query))))
            << c.query << " / " << c.dialect;
    }
}

TEST_F(SqlGenTest, BadSelectsAreRefusedWithTheirMessage) {
    struct Case {
        const char *name;
        Build build;
        const char *message;  // the log writes "\n" as "\r\n", so messages are matched inside
    } cases[] = {
        {"no tables", [](QueryBuilder &b) { AddSelectColumn(b.q, b.Column("t", nullptr, "a", 5)); },
         "No Tables To Be Selected"},
        {"unknown join type",
         [](QueryBuilder &b) {
             AddSelectJoin(
                 b.q, CreateSelectJoin("a", nullptr, "b", nullptr, 2, nullptr, nullptr, b.q->pool));
         },
         "Invalid Join Type"},
        {"join columns that do not pair up",
         [](QueryBuilder &b) {
             AddSelectJoin(
                 b.q, CreateSelectJoin("a", nullptr, "b", nullptr, INNER_JOIN,
                                       b.List({b.ListColumn(nullptr, nullptr, "x"),
                                               b.ListColumn(nullptr, nullptr, "y")}),
                                       b.List({b.ListColumn(nullptr, nullptr, "x")}), b.q->pool));
         },
         "Incomplete select query"},
        {"a value of a type without text",
         [](QueryBuilder &b) {
             b.Table("t");
             SetCriteria(
                 b.q, b.Text(b.Column(nullptr, nullptr, "raw", VEL_SQL_NOT_SUPPORTED_TYPE), "x"));
         },
         "Unsupported Datatype Used in Query generation."},
        {"a date-time record, whose pointers a criterion cannot carry",
         [](QueryBuilder &b) {
             b.Table("t");
             int length = 0;
             void *when =
                 ConvertStringToColumnValue("2024-01-02 03:04:05", &length, VEL_SQL_DATETIME);
             SetCriteria(b.q, b.Leaf(b.Column(nullptr, nullptr, "seen", VEL_SQL_DATETIME), when,
                                     length, OPERATOR_EQUAL));
             free(when);
         },
         "Unsupported Datatype Used in Query generation."},
        {"a BETWEEN range that adds SQL",
         [](QueryBuilder &b) {
             b.Table("t");
             SetCriteria(b.q, b.Text(b.Column(nullptr, nullptr, "n", 5), "1 AND 2; drop table t",
                                     OPERATOR_BETWEEN));
         },
         "Invalid BETWEEN range"},
        {"a leaf with an AND operator",
         [](QueryBuilder &b) {
             b.Table("t");
             SetCriteria(b.q, b.Text(b.Column(nullptr, nullptr, "n", 5), "1", OPERATOR_AND));
         },
         "Invalid Operator"},
        {"having on a plain column",
         [](QueryBuilder &b) {
             b.Table("t");
             SetGroupBy(b.q, CreateGroupBy(b.List({b.ListColumn(nullptr, nullptr, "a")}),
                                           b.Text(b.ListColumn(nullptr, nullptr, "a", 15), "x"),
                                           b.q->pool));
         },
         "Invalid Aggregate"},
        {"an order-by without columns",
         [](QueryBuilder &b) {
             b.Table("t");
             SetSortOrder(b.q, CreateSortOrder(b.List({}), 1, b.q->pool));
         },
         "Incomplete select query"},
    };
    for (const kvtest::Dialect &dialect : kvtest::kDialects) {
        for (const Case &c : cases) {
            kvtest::CapturedLog log(2);
            EXPECT_EQ(std::nullopt, GenerateSelect(dialect.name, c.build))
                << c.name << " / " << dialect.name;
            EXPECT_NE(std::string::npos, log.text().find(c.message))
                << c.name << " / " << dialect.name;
        }
    }
}

TEST_F(SqlGenTest, DeepCriteriaAreRefusedNotOverflowingTheStack) {
    SelectQuery *query = CreateSelectQuery();
    ASSERT_NE(nullptr, query);
    QueryBuilder b{query};
    b.Table("t");
    const int32_t one = 1;
    SelectColumn *column = b.Column(nullptr, nullptr, "n", VEL_SQL_INT);
    QueryCriterion *root = b.Leaf(column, &one, 4, OPERATOR_EQUAL);
    for (int i = 0; i < 5000; ++i)
        root = CriteriaAnd(root, b.Leaf(column, &one, 4, OPERATOR_EQUAL), query->pool);
    SetCriteria(query, root);
    EXPECT_EQ(std::nullopt, Taken(SqlGenSelect(&gv_pgsqlDialect, query)));
    FreeSelectQuery(query);
}

// ---- update, insert, delete ----

TEST_F(SqlGenTest, RowStatementTexts) {
    const std::vector<std::optional<std::string>> full = {
        "3", "k'1", "it's \\ ok", "true", "2024-01-02 03:04:05", std::nullopt, "12.50"};
    // A text "NULL" is a value; a false boolean; a DECIMAL that is no number stays a quoted text.
    const std::vector<std::optional<std::string>> edge = {
        "4", "b", "NULL", "false", std::nullopt, "line", "1); drop table tag; --"};
    const std::string keys = " where id=3 and code='k''1'";
    const std::string pgSet =
        "update tag set name='it''s \\ ok',flag='t',seen='2024-01-02 "
        "03:04:05',note=NULL,amount=12.50";
    const std::string firebirdInsert =
        "insert into  tag values(3,'k''1','it''s \\ ok',1,'2024-01-02 03:04:05',NULL,12.50);";
    // PostgreSQL's boolean takes no integer, so its insert writes the boolean's text form.
    const std::string pgInsert =
        "insert into  tag values(3,'k''1','it''s \\ ok','t','2024-01-02 03:04:05',NULL,12.50);";
    struct Case {
        const char *dialect;
        char kind;  // u, i, d
        const std::vector<std::optional<std::string>> *row;
        std::string expected;
    } cases[] = {
        {"PGSQL", 'u', &full, pgSet + keys},
        {"FIREBIRD", 'u', &full, pgSet + keys},
        {"SQLITE", 'u', &full,
         "update tag set name='it''s \\ ok',flag=1,seen='2024-01-02 "
         "03:04:05',note=NULL,amount=12.50" +
             keys},
        {"MYSQL", 'u', &full,
         "update tag set name='it''s \\\\ ok',flag=1,seen='2024-01-02 "
         "03:04:05',note=NULL,amount=12.50 where id='3' "
         "and code='k''1'"},
        {"PGSQL", 'i', &full, pgInsert},
        {"FIREBIRD", 'i', &full, firebirdInsert},
        {"SQLITE", 'i', &full, firebirdInsert},
        {"MYSQL", 'i', &full,
         "insert into  tag values(3,'k''1','it''s \\\\ ok',1,'2024-01-02 03:04:05',NULL,12.50)"},
        {"PGSQL", 'd', &full, "delete from tag " + keys},
        {"MYSQL", 'd', &full, "delete from tag " + keys},
        {"FIREBIRD", 'd', &full, "delete from tag " + keys},
        {"SQLITE", 'd', &full, "delete from tag " + keys},
        {"PGSQL", 'u', &edge,
         "update tag set name='NULL',flag='f',seen=NULL,note='line',amount='1); drop table tag; "
         "--' where id=4 and "
         "code='b'"},
        {"MYSQL", 'u', &edge,
         "update tag set name='NULL',flag=0,seen=NULL,note='line',amount='1); drop table tag; --' "
         "where id='4' and "
         "code='b'"},
        {"PGSQL", 'i', &edge,
         "insert into  tag values(4,'b','NULL','f',NULL,'line','1); drop table tag; --');"},
    };
    for (const Case &c : cases) {
        RowObject *row = MakeRow("tag", *c.row);
        ASSERT_NE(nullptr, row);
        const SqlDialect *dialect = kvtest::DialectNamed(c.dialect);
        char *text = c.kind == 'u'   ? SqlGenUpdate(dialect, "tag", row)
                     : c.kind == 'i' ? SqlGenInsert(dialect, "tag", row)
                                     : SqlGenDelete(dialect, "tag", row);
        EXPECT_EQ(Visible(c.expected), Visible(Taken(text))) << c.dialect << " " << c.kind;
        FreeRowObject(row, kvtest::ColumnCount("tag"));
    }
}

TEST_F(SqlGenTest, RowStatementsThatCannotBeWrittenAreRefused) {
    struct Case {
        char kind;
        const char *table;
        std::vector<std::optional<std::string>> row;
        const char *message;  // null: refused without a message
    } cases[] = {
        // The described text would end in " where " (or, for MYSQL, reach every row).
        {'u',
         "tag",
         {std::nullopt, "k", "n", "true", std::nullopt, std::nullopt, "1"},
         "No primary key value"},
        {'d',
         "tag",
         {std::nullopt, "k", "n", "true", std::nullopt, std::nullopt, "1"},
         "No primary key value"},
        {'u', "nokey", {"1", "x"}, "No primary key value"},
        {'d', "nokey", {"1", "x"}, "No primary key value"},
        {'u', "keysonly", {"1"}, "No column to set"},
        {'u', "odd", {"1", "x"}, "Unsupported Datatype Used in Query generation."},
        {'i', "odd", {"1", "x"}, "Unsupported Datatype Used in Query generation."},
        {'d', "odd", {"1", "x"}, nullptr},
        {'u', "missing", {}, nullptr},
        {'i', "missing", {}, nullptr},
        {'d', "missing", {}, nullptr},
    };
    for (const kvtest::Dialect &dialect : kvtest::kDialects) {
        for (const Case &c : cases) {
            RowObject *row =
                c.row.empty() ? CreateNewRowObject(static_cast<void **>(calloc(1, sizeof(void *))),
                                                   static_cast<int *>(calloc(1, sizeof(int))))
                              : MakeRow(c.table, c.row);
            ASSERT_NE(nullptr, row) << c.table;
            kvtest::CapturedLog log(2);
            char *text = c.kind == 'u'   ? SqlGenUpdate(dialect.record, c.table, row)
                         : c.kind == 'i' ? SqlGenInsert(dialect.record, c.table, row)
                                         : SqlGenDelete(dialect.record, c.table, row);
            EXPECT_EQ(std::nullopt, Taken(text)) << dialect.name << " " << c.kind << " " << c.table;
            if (c.message) {
                EXPECT_NE(std::string::npos, log.text().find(c.message))
                    << dialect.name << " " << c.table;
            } else {
                EXPECT_EQ(std::string::npos, log.text().find("[ERROR]")) << log.text();
            }
            FreeRowObject(row, c.row.empty() ? 1 : kvtest::ColumnCount(c.table));
        }
    }
    // Absent values are fine where the statement has room for NULL.
    RowObject *row = MakeRow("nokey", {std::nullopt, std::nullopt});
    EXPECT_EQ("insert into  nokey values(NULL,NULL);",
              Taken(SqlGenInsert(&gv_sqliteDialect, "nokey", row)));
    FreeRowObject(row, 2);
}

TEST_F(SqlGenTest, LongValuesAreNeverCut) {
    const std::string longText(50000, 'q');
    kvtest::AddTestTable("wide", {{"id", VEL_SQL_INT}, {"body", VEL_SQL_TEXT, 60000}}, {"id"});
    RowObject *row = MakeRow("wide", {"1", longText});
    ASSERT_NE(nullptr, row);
    for (const kvtest::Dialect &dialect : kvtest::kDialects) {
        std::optional<std::string> insert = Taken(SqlGenInsert(dialect.record, "wide", row));
        ASSERT_TRUE(insert.has_value()) << dialect.name;
        EXPECT_NE(std::string::npos, insert->find("'" + longText + "'")) << dialect.name;
        std::optional<std::string> update = Taken(SqlGenUpdate(dialect.record, "wide", row));
        ASSERT_TRUE(update.has_value()) << dialect.name;
        EXPECT_EQ(0u, update->find("update wide set body='" + longText + "' where id="))
            << dialect.name;
    }
    FreeRowObject(row, 2);
}

// ---- operation tables ----

TEST_F(SqlGenTest, EachDialectHasItsOperationTable) {
    const QueryGenerator expected[] = {
        {"PGSQL", PgsqlGenSelectQuery, PgsqlGenUpdateQuery, PgsqlGenInsertQuery,
         PgsqlGenDeleteQuery, PgsqlGenCreateQuery, PgsqlConvResultsetToRowobject},
        {"MYSQL", MysqlGenSelectQuery, MysqlGenUpdateQuery, MysqlGenInsertQuery, MysqlGenDelteQuery,
         MysqlGenCreateQuery, MysqlConvResultsetToRowobject},
        {"FIREBIRD", FirebirdGenSelectQuery, FirebirdGenUpdateQuery, FirebirdGenInsertQuery,
         FirebirdGenDeleteQuery, FirebirdGenCreateQuery, FirebirdConvResultsetToRowobject},
        {"SQLITE", SqliteGenSelectQuery, SqliteGenUpdateQuery, SqliteGenInsertQuery,
         SqliteGenDeleteQuery, SqliteGenCreateQuery, SqliteConvResultsetToRowobject},
    };
    const QueryGenerator *tables[] = {GetPgsqlGenerator(), GetMysqlGenerator(),
                                      GetFirebirdGenerator(), GetSqliteGenerator()};
    for (int i = 0; i < 4; ++i) {
        const QueryGenerator &want = expected[i];
        const QueryGenerator *table = tables[i];
        ASSERT_NE(nullptr, table);
        EXPECT_STREQ(want.name, table->name);
        EXPECT_EQ(table, GetDialectGenerator(want.name));
        EXPECT_EQ(want.GenSelectQuery, table->GenSelectQuery) << want.name;
        EXPECT_EQ(want.GenUpdateQuery, table->GenUpdateQuery) << want.name;
        EXPECT_EQ(want.GenInsertQuery, table->GenInsertQuery) << want.name;
        EXPECT_EQ(want.GenDeleteQuery, table->GenDeleteQuery) << want.name;
        EXPECT_EQ(want.GenCreateQuery, table->GenCreateQuery) << want.name;
        EXPECT_EQ(want.ConvResultsetToRowobject, table->ConvResultsetToRowobject) << want.name;
    }
    EXPECT_EQ(GetFirebirdGenerator(), GetDialectGenerator("firebird"));
    EXPECT_EQ(nullptr, GetDialectGenerator("ORACLE"));
    EXPECT_EQ(nullptr, GetDialectGenerator(nullptr));
    // The entries under the dialects' names write their dialect.
    EXPECT_EQ(
        "CREATE TABLE host(\n\tid int   NOT NULL,\n\tname varchar(65)  ,\n\tPRIMARY "
        "KEY(id)\n);\n\n",
        Taken(GetPgsqlGenerator()->GenCreateQuery("host")));
}

// ---- result rows ----

// One result row: an INT, a VARCHAR, a NULL and a date-time column, in the forms a provider
// stores them (the date-time as a VelDateTime record, or as text for SQLite).
ResultSet *OneRow(bool datesAsText) {
    ResultColumn *columns = static_cast<ResultColumn *>(calloc(4, sizeof(ResultColumn)));
    const char *names[] = {"id", "name", "none", "seen"};
    const unsigned char types[] = {
        VEL_SQL_INT, VEL_SQL_VARCHAR, VEL_SQL_VARCHAR,
        (unsigned char)(datesAsText ? VEL_SQL_VARCHAR : VEL_SQL_DATETIME)};
    for (int i = 0; i < 4; ++i) {
        columns[i].name = strdup(names[i]);
        columns[i].dataType = types[i];
    }
    const int32_t id = 42;
    ResultCell *cells = AppendResultValue(nullptr, 4, &id);
    AppendResultValue(cells, int32_t(strlen("it's é")), "it's é");
    AppendResultValue(cells, 0, nullptr);
    if (datesAsText) {
        AppendResultValue(cells, 19, "2024-01-02 03:04:05");
    } else {
        int length = 0;
        void *when = ConvertStringToColumnValue("2024-01-02 03:04:05", &length, VEL_SQL_DATETIME);
        AppendResultValueOwned(cells, length, when);
    }
    return CreateResultSet(AppendResultRow(nullptr, cells), columns, 4);
}

std::string DateTimeOf(const RowObject *row, int i) {
    char *text = VelDateTimeToString(static_cast<const VelDateTime *>(row->values[i]));
    std::string out = text ? text : "(null)";
    free(text);
    return out;
}

TEST_F(SqlGenTest, ResultRowsBecomeStoredRowObjects) {
    kvtest::AddTestTable("seenrow", {{"id", VEL_SQL_INT},
                                     {"name", VEL_SQL_VARCHAR, 20},
                                     {"none", VEL_SQL_VARCHAR, 20},
                                     {"seen", VEL_SQL_DATETIME}});
    for (const kvtest::Dialect &dialect : kvtest::kDialects) {
        const bool sqlite = dialect.record == &gv_sqliteDialect;
        ResultSet *set = OneRow(sqlite);
        ASSERT_NE(nullptr, set);
        EXPECT_EQ(nullptr, SqlConvResultRow(dialect.record, set, "seenrow")) << "no current row";
        ASSERT_NE(nullptr, NextResultRow(set));
        RowObject *row = SqlConvResultRow(dialect.record, set, "seenrow");
        FreeResultSet(set);  // the row must not lean on the set's buffers
        ASSERT_NE(nullptr, row) << dialect.name;
        EXPECT_EQ(ROW_STATE_STORED, row->state);
        EXPECT_EQ(nullptr, row->next);
        EXPECT_EQ(4, row->lengths[0]);
        EXPECT_EQ(42, *static_cast<int32_t *>(row->values[0]));
        EXPECT_STREQ("it's é", static_cast<char *>(row->values[1]));
        EXPECT_EQ(nullptr, row->values[2]);
        EXPECT_EQ(VEL_DATETIME_LENGTH, row->lengths[3]);
        EXPECT_EQ("2024-01-02 03:04:05", DateTimeOf(row, 3)) << dialect.name;
        FreeRowObject(row, 4);
    }
}

TEST_F(SqlGenTest, SqliteReadsDatesAndTimesFromText) {
    kvtest::AddTestTable("dates",
                         {{"d", VEL_SQL_DATE}, {"t", VEL_SQL_TIME}, {"dt", VEL_SQL_DATETIME}});
    auto set = [](const char *d, const char *t, const char *dt) {
        ResultColumn *columns = static_cast<ResultColumn *>(calloc(3, sizeof(ResultColumn)));
        for (int i = 0; i < 3; ++i) {
            columns[i].name = strdup("c");
            columns[i].dataType = VEL_SQL_VARCHAR;
        }
        ResultCell *cells = AppendResultValue(nullptr, int32_t(strlen(d)), d);
        AppendResultValue(cells, int32_t(strlen(t)), t);
        AppendResultValue(cells, int32_t(strlen(dt)), dt);
        ResultSet *s = CreateResultSet(AppendResultRow(nullptr, cells), columns, 3);
        NextResultRow(s);
        return s;
    };
    ResultSet *good = set("2024-01-02", "0000-00-00 03:04:05", "2024-01-02");
    RowObject *row = SqlConvResultRow(&gv_sqliteDialect, good, "dates");
    ASSERT_NE(nullptr, row);
    EXPECT_EQ(VEL_DATE_LENGTH, row->lengths[0]);
    const VelDate *date = static_cast<const VelDate *>(row->values[0]);
    EXPECT_EQ(2024, date->year);
    EXPECT_EQ(1, date->month);
    EXPECT_EQ(2, date->day);
    EXPECT_EQ(VEL_TIME_LENGTH, row->lengths[1]);
    const VelTime *time = static_cast<const VelTime *>(row->values[1]);
    EXPECT_EQ(3, time->hour);
    EXPECT_EQ(5, time->second);
    EXPECT_EQ("2024-01-02 00:00:00", DateTimeOf(row, 2));
    FreeRowObject(row, 3);
    FreeResultSet(good);

    ResultSet *bad = set("2024-01-02", "03:04:05", "yesterday");
    kvtest::CapturedLog log(2);
    EXPECT_EQ(nullptr, SqlConvResultRow(&gv_sqliteDialect, bad, "dates"));
    EXPECT_NE(std::string::npos, log.text().find("Cannot read yesterday"));
    EXPECT_EQ(nullptr, SqlConvResultRow(&gv_sqliteDialect, bad, "unknown"));
    FreeResultSet(bad);
}

}  // namespace
