// The ODBC provider against the real databases (SQLite file, PostgreSQL, MariaDB): one body
// per behaviour, run on each engine; plus the connection string and the refusals that need
// no server.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "db/odbc_provider.h"
#include "db/result_set.h"
#include "store/column_defn.h"
#include "store/datetime.h"
#include "tests/support/test_databases.h"
#include "tests/support/test_support.h"

namespace {

// ---- helpers ----

struct HandleCloser {
    void operator()(ConnectionHandle *handle) const {
        ODBCCloseConnection(handle);
        free(handle->connectionName);
        free(handle);
    }
};
using Handle = std::unique_ptr<ConnectionHandle, HandleCloser>;

struct SetFreer {
    void operator()(ResultSet *set) const { FreeResultSet(set); }
};
using Rows = std::unique_ptr<ResultSet, SetFreer>;

ConnParamsEntry Entry(const char *dsn, const char *user, const char *password,
                      const char *connectionString) {
    ConnParamsEntry entry{};
    entry.dsn = const_cast<char *>(dsn);
    entry.userId = const_cast<char *>(user);
    entry.password = const_cast<char *>(password);
    entry.connectionName = const_cast<char *>("main");
    entry.providerName = const_cast<char *>("ODBC");
    entry.useConnectionString = connectionString ? 1 : 0;
    entry.connectionString = const_cast<char *>(connectionString);
    return entry;
}

Handle Open(const std::string &connectionString) {
    ConnParamsEntry entry = Entry("kvtest", nullptr, nullptr, connectionString.c_str());
    return Handle(ODBCOpenConnection(&entry));
}

bool HasLine(const std::vector<std::string> &lines, const std::string &line) {
    for (const std::string &l : lines) {
        if (l == line) return true;
    }
    return false;
}

std::string Two(int n) {
    char text[8];
    snprintf(text, sizeof text, "%02d", n);
    return text;
}

// A stored value as text, so expectations read as the values inserted.
std::string Render(const unsigned char *bytes, int32_t length, unsigned char type) {
    if (bytes == nullptr) return "NULL";
    switch (type) {
        case VEL_SQL_SMALLINT:
        case VEL_SQL_INT:
        case VEL_SQL_BIGINT:
            return std::to_string(ReadStoredInteger(bytes, length, type));
        case VEL_SQL_DOUBLE: {
            double value = 0;
            if (length != 8) return "bad length " + std::to_string(length);
            memcpy(&value, bytes, sizeof value);
            char text[64];
            snprintf(text, sizeof text, "%.15g", value);
            return text;
        }
        case VEL_SQL_BOOLEAN:
            return length == 1 ? (bytes[0] == 1 ? "true" : bytes[0] == 0 ? "false" : "?") : "?";
        case VEL_SQL_DATE:
        case VEL_SQL_TIME:
        case VEL_SQL_DATETIME: {
            if (length != 11) return "bad length " + std::to_string(length);
            auto *value = reinterpret_cast<const VelDateTime *>(bytes);
            std::string text;
            if (value->date) {
                text = std::to_string(value->date->year) + "-" + Two(value->date->month) + "-" +
                       Two(value->date->day);
            }
            if (value->time) {
                text += (text.empty() ? "" : " ") + Two(value->time->hour) + ":" +
                        Two(value->time->minute) + ":" + Two(value->time->second);
            }
            return text;
        }
        default:
            return std::string(reinterpret_cast<const char *>(bytes), size_t(length));
    }
}

std::string Value(ResultSet *set, const char *column) {
    int32_t length = -1;
    unsigned char *bytes = GetResultValueByName(column, &length, set);
    return Render(bytes, length, GetResultColumnType(column, set));
}

// ---- the engines ----

struct ColumnCase {
    const char *name;
    const char *ddl;
    const char *literal;
    unsigned char type;
    const char *value;  // as Render gives it; null: not compared
};

// Twenty two-byte characters: 40 bytes of UTF-8 in a column that reports a size of 20.
const char *const kWide = "ĀāĂăĄąĆćĈĉĊċČčĎďĐđĒē";

struct Engine {
    const char *name;
    const char *variable;  // the environment variable that finds it
    bool sqlite;
    bool deferredConstraints;
    const char *blobType;
    const char *longTextType;
    const char *trueInInsert;  // how a boolean is written: the dialects' inserts, then updates
    const char *falseInInsert;
    const char *trueInUpdate;  // how the dialect's update writes a boolean
    const char *falseInUpdate;
    bool tinyint;
    std::vector<ColumnCase> columns;
    std::vector<std::pair<std::string, std::string>> badConnections;  // replace first by second
};

const std::vector<Engine> &Engines() {
    static const std::vector<Engine> engines = {
        {.name = "SQLite",
         .variable = "KV_TEST_SQLITE_DRIVER",
         .sqlite = true,
         .deferredConstraints = true,
         .blobType = "blob",
         .longTextType = "text",
         .trueInInsert = "1",
         .falseInInsert = "0",
         .trueInUpdate = "'t'",
         .falseInUpdate = "'f'",
         .tinyint = true,
         .columns =
             {
                 {"c_int", "int", "-123456", VEL_SQL_INT, "-123456"},
                 {"c_big", "bigint", "5000000000", VEL_SQL_BIGINT, "5000000000"},
                 {"c_small", "smallint", "-12", VEL_SQL_SMALLINT, "-12"},
                 {"c_double", "double", "3.141592653589793", VEL_SQL_DOUBLE, "3.14159265358979"},
                 {"c_real", "real", "2.5", VEL_SQL_DOUBLE, "2.5"},
                 {"c_numeric", "numeric(10,2)", "12.34", VEL_SQL_DOUBLE, "12.34"},
                 {"c_char", "char(5)", "'abcde'", VEL_SQL_VARCHAR, "abcde"},
                 {"c_varchar", "varchar(20)", nullptr, VEL_SQL_VARCHAR, kWide},
                 {"c_text", "text", "'some text'", VEL_SQL_BLOB, "some text"},
                 {"c_date", "date", "'2024-01-02'", VEL_SQL_DATE, "2024-01-02"},
                 {"c_time", "time", "'03:04:05'", VEL_SQL_TIME, "03:04:05"},
                 {"c_ts", "timestamp", "'2024-01-02 03:04:05'", VEL_SQL_DATETIME,
                  "2024-01-02 03:04:05"},
                 {"c_bool", "boolean", "1", VEL_SQL_BOOLEAN, "true"},
                 {"c_tiny", "tinyint", "1", VEL_SQL_BOOLEAN, "true"},
                 {"c_blob", "blob", "X'4142'", VEL_SQL_BLOB, nullptr},
             },
         .badConnections = {{"Database=", "Database=/nonexistent-kv-dir/"},
                            {"Driver=", "Driver=kv-no-driver-"}}},
        {.name = "PostgreSQL",
         .variable = "KV_TEST_PGSQL_CONN",
         .sqlite = false,
         .deferredConstraints = true,
         .blobType = "bytea",
         .longTextType = "text",
         .trueInInsert = "'1'",  // PostgreSQL takes no integer for a boolean
         .falseInInsert = "'0'",
         .trueInUpdate = "'t'",
         .falseInUpdate = "'f'",
         .tinyint = false,
         .columns =
             {
                 {"c_int", "int", "-123456", VEL_SQL_INT, "-123456"},
                 {"c_big", "bigint", "5000000000", VEL_SQL_BIGINT, "5000000000"},
                 {"c_small", "smallint", "-12", VEL_SQL_SMALLINT, "-12"},
                 {"c_double", "double precision", "3.141592653589793", VEL_SQL_DOUBLE,
                  "3.14159265358979"},
                 {"c_real", "real", "2.5", VEL_SQL_NOT_SUPPORTED_TYPE, "2.5"},
                 {"c_numeric", "numeric(10,2)", "12.34", VEL_SQL_NUMERIC, "12.34"},
                 {"c_char", "char(5)", "'abcde'", VEL_SQL_CHAR, "abcde"},
                 {"c_varchar", "varchar(20)", nullptr, VEL_SQL_VARCHAR, kWide},
                 {"c_text", "text", "'some text'", VEL_SQL_BLOB, "some text"},
                 {"c_date", "date", "'2024-01-02'", VEL_SQL_DATE, "2024-01-02"},
                 {"c_time", "time", "'03:04:05'", VEL_SQL_TIME, "03:04:05"},
                 {"c_ts", "timestamp", "'2024-01-02 03:04:05'", VEL_SQL_DATETIME,
                  "2024-01-02 03:04:05"},
                 {"c_bool", "boolean", "true", VEL_SQL_BOOLEAN, "true"},
                 {"c_blob", "bytea", "'\\x4142'", VEL_SQL_BLOB, nullptr},
             },
         .badConnections = {{"Pwd=", "Pwd=Wr0ngSecret;Old="}, {"Port=", "Port=1;Old="}}},
        {.name = "MariaDB",
         .variable = "KV_TEST_MYSQL_CONN",
         .sqlite = false,
         .deferredConstraints = false,
         .blobType = "longblob",
         .longTextType = "longtext",  // text holds 64 KiB only
         .trueInInsert = "1",
         .falseInInsert = "0",
         .trueInUpdate = "1",
         .falseInUpdate = "0",
         .tinyint = true,
         .columns =
             {
                 {"c_int", "int", "-123456", VEL_SQL_INT, "-123456"},
                 {"c_big", "bigint", "5000000000", VEL_SQL_BIGINT, "5000000000"},
                 {"c_small", "smallint", "-12", VEL_SQL_SMALLINT, "-12"},
                 {"c_double", "double", "3.141592653589793", VEL_SQL_DOUBLE, "3.14159265358979"},
                 {"c_real", "float", "2.5", VEL_SQL_NOT_SUPPORTED_TYPE, "2.5"},
                 {"c_numeric", "numeric(10,2)", "12.34", VEL_SQL_NOT_SUPPORTED_TYPE, "12.34"},
                 {"c_char", "char(5)", "'abcde'", VEL_SQL_CHAR, "abcde"},
                 {"c_varchar", "varchar(20)", nullptr, VEL_SQL_VARCHAR, kWide},
                 {"c_text", "text", "'some text'", VEL_SQL_BLOB, "some text"},
                 {"c_date", "date", "'2024-01-02'", VEL_SQL_DATE, "2024-01-02"},
                 {"c_time", "time", "'03:04:05'", VEL_SQL_TIME, "03:04:05"},
                 {"c_ts", "datetime", "'2024-01-02 03:04:05'", VEL_SQL_DATETIME,
                  "2024-01-02 03:04:05"},
                 {"c_bool", "boolean", "1", VEL_SQL_BOOLEAN, "true"},
                 {"c_tiny", "tinyint", "1", VEL_SQL_BOOLEAN, "true"},
                 {"c_blob", "longblob", "X'4142'", VEL_SQL_BLOB, nullptr},
             },
         .badConnections = {{"Pwd=", "Pwd=Wr0ngSecret;Old="}, {"Port=", "Port=1;Old="}}},
    };
    return engines;
}

class OdbcEngine : public ::testing::TestWithParam<Engine> {
  protected:
    void SetUp() override {
        std::string setting;
        KV_REQUIRE_DATABASE(GetParam().variable, setting);
        connection_ = GetParam().sqlite
                          ? "Driver=" + setting + ";Database=" + dir_ / "kv.db" + ";FKSupport=1"
                          : setting;
        handle_ = Open(connection_);
        ASSERT_NE(nullptr, handle_) << "cannot connect to " << GetParam().name;
    }
    void TearDown() override {
        if (handle_ == nullptr) return;
        for (const std::string &table : tables_) Update("drop table if exists " + table);
    }

    // A table name of this process, so concurrent test processes never meet.
    std::string Table(const std::string &stem) {
        tables_.insert(tables_.begin(), "kvo_" + stem + "_" + std::to_string(getpid()));
        Update("drop table if exists " + tables_.front());
        return tables_.front();
    }
    int Update(const std::string &sql, ConnectionHandle *handle = nullptr) {
        return ODBCExecuteUpdate(handle ? handle : handle_.get(), sql.c_str());
    }
    Rows Query(const std::string &sql, ConnectionHandle *handle = nullptr) {
        return Rows(ODBCExecuteQuery(handle ? handle : handle_.get(), sql.c_str()));
    }
    int Count(const std::string &table, ConnectionHandle *handle = nullptr) {
        Rows rows = Query("select * from " + table, handle);
        return rows ? rows->rowCount : -1;
    }

    kvtest::TempDir dir_;
    std::string connection_;
    Handle handle_;
    std::vector<std::string> tables_;
};

void PrintTo(const Engine &engine, std::ostream *out) {
    *out << engine.name;
}

std::string EngineName(const ::testing::TestParamInfo<Engine> &info) {
    return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(Databases, OdbcEngine, ::testing::ValuesIn(Engines()), EngineName);

// ---- statements, types, NULLs ----

TEST_P(OdbcEngine, EveryColumnTypeReadsBackAsItsLibraryTypeAndNullsStayNull) {
    const Engine &engine = GetParam();
    std::string table = Table("types");
    std::string create = "create table " + table + " (id int";
    std::string values = "insert into " + table + " values (1";
    std::string nulls = "insert into " + table + " values (2";
    for (const ColumnCase &column : engine.columns) {
        create += std::string(", ") + column.name + " " + column.ddl;
        values += std::string(", ") +
                  (column.literal ? column.literal : "'" + std::string(column.value) + "'");
        nulls += ", NULL";
    }
    ASSERT_EQ(1, Update(create + ")"));
    ASSERT_EQ(1, Update(values + ")"));
    ASSERT_EQ(1, Update(nulls + ")"));

    Rows rows = Query("select * from " + table + " order by id");
    ASSERT_NE(nullptr, rows);
    ASSERT_EQ(int32_t(engine.columns.size() + 1), rows->columnCount);
    EXPECT_EQ(2, rows->rowCount);
    ASSERT_NE(nullptr, NextResultRow(rows.get()));
    EXPECT_EQ("1", Value(rows.get(), "id"));
    for (const ColumnCase &column : engine.columns) {
        SCOPED_TRACE(column.name);
        EXPECT_EQ(column.type, GetResultColumnType(column.name, rows.get()));
        if (column.value) {
            EXPECT_EQ(column.value, Value(rows.get(), column.name));
        }
    }
    ASSERT_NE(nullptr, NextResultRow(rows.get()));
    for (const ColumnCase &column : engine.columns) {
        int32_t length = -1;
        EXPECT_EQ(nullptr, GetResultValueByName(column.name, &length, rows.get())) << column.name;
        EXPECT_EQ(0, length);
    }
    EXPECT_EQ(nullptr, NextResultRow(rows.get()));
}

TEST_P(OdbcEngine, BooleansSavedAndLoadedBackStayTheSame) {
    const Engine &engine = GetParam();
    std::string table = Table("bool");
    ASSERT_EQ(1, Update("create table " + table + " (id int, b boolean" +
                        (engine.tinyint ? ", t tinyint" : "") + ")"));
    const char *tiny = engine.tinyint ? ", 1" : "";
    std::string yes = engine.trueInInsert, no = engine.falseInInsert;
    for (const std::string &row : {"1, " + yes, "2, " + no, "3, " + no, "4, " + yes}) {
        ASSERT_EQ(1, Update("insert into " + table + " values (" + row + tiny + ")"));
    }
    ASSERT_EQ(1, Update("update " + table + " set b=" + engine.trueInUpdate + " where id=3"));
    ASSERT_EQ(1, Update("update " + table + " set b=" + engine.falseInUpdate + " where id=4"));
    if (engine.tinyint) {
        ASSERT_EQ(1, Update("update " + table + " set t=2 where id=2"));
    }

    Rows rows = Query("select * from " + table + " order by id");
    ASSERT_NE(nullptr, rows);
    std::vector<std::string> got;
    while (NextResultRow(rows.get())) {
        got.push_back(Value(rows.get(), "b"));
        // A tinyint is a boolean: 1 reads as true, anything else as false.
        if (engine.tinyint) got.back() += "/" + Value(rows.get(), "t");
    }
    std::vector<std::string> want = {"true", "false", "true", "false"};
    if (engine.tinyint) want = {"true/true", "false/false", "true/true", "false/true"};
    EXPECT_EQ(want, got);
}

TEST_P(OdbcEngine, ValuesLongerThanTheReportedColumnSizeAreReadWhole) {
    std::string table = Table("long");
    ASSERT_EQ(1, Update("create table " + table + " (id int, t " + GetParam().longTextType + ")"));
    std::string text;
    while (text.size() < 100000) text += "0123456789abcdef" + std::string(kWide);
    ASSERT_EQ(1, Update("insert into " + table + " values (1, '" + text + "')"));

    Rows rows = Query("select t from " + table);
    ASSERT_NE(nullptr, rows);
    ASSERT_NE(nullptr, NextResultRow(rows.get()));
    int32_t length = 0;
    unsigned char *bytes = GetResultValueByName("t", &length, rows.get());
    ASSERT_NE(nullptr, bytes);
    EXPECT_EQ(text.size(), size_t(length));
    EXPECT_TRUE(std::string(reinterpret_cast<char *>(bytes), size_t(length)) == text);
}

TEST_P(OdbcEngine, QueryWithoutRowsDescribesItsColumns) {
    std::string table = Table("empty");
    ASSERT_EQ(1, Update("create table " + table + " (id int, name varchar(10))"));
    Rows rows = Query("select id, name from " + table + " where id = 1");
    ASSERT_NE(nullptr, rows);
    EXPECT_EQ(2, rows->columnCount);
    EXPECT_EQ(0, rows->rowCount);
    EXPECT_STREQ("name", GetResultColumnName(1, rows.get()));
    EXPECT_EQ(VEL_SQL_INT, GetResultColumnType("ID", rows.get()));
    EXPECT_EQ(nullptr, NextResultRow(rows.get()));
}

TEST_P(OdbcEngine, LongColumnNamesAreNotCut) {
    std::string name(120, 'n');
    Rows rows = Query("select 1 as " + name);
    ASSERT_NE(nullptr, rows);
    // PostgreSQL itself keeps 63 characters of an identifier.
    EXPECT_EQ(std::string(GetParam().name) == "PostgreSQL" ? name.substr(0, 63) : name,
              GetResultColumnName(0, rows.get()));
}

TEST_P(OdbcEngine, RefusedStatementsFailAndHarmlessNoticesDoNot) {
    kvtest::CapturedLog log(2);
    EXPECT_EQ(0, Update("insert into kv_no_such_table values (1)"));
    EXPECT_EQ(nullptr, Query("select * from kv_no_such_table"));
    EXPECT_TRUE(HasLine(log.Lines(), "ERROR SQLExecDirect failed"));
    EXPECT_EQ(0, Update("this is not sql"));
    // A notice ("does not exist, skipping") is not a failure: the statement ran.
    EXPECT_EQ(1, Update("drop table if exists kv_never_created"));
    std::string table = Table("upd");
    ASSERT_EQ(1, Update("create table " + table + " (id int)"));
    // An update that touches no row has still succeeded.
    EXPECT_EQ(1, Update("update " + table + " set id = 2 where id = 1"));
    EXPECT_EQ(1, Update("delete from " + table));
    // A statement without a result set gives an empty one.
    Rows none = Query("delete from " + table);
    ASSERT_NE(nullptr, none);
    EXPECT_EQ(0, none->columnCount);
    EXPECT_EQ(0, none->rowCount);
}

// ---- transactions and connections ----

TEST_P(OdbcEngine, TransactionsCommitAndRollBackAndConnectionsCloseAlone) {
    std::string table = Table("tx");
    ASSERT_EQ(1, Update("create table " + table + " (id int)"));
    Handle other = Open(connection_);
    ASSERT_NE(nullptr, other);

    ASSERT_EQ(1, ODBCBeginTransaction(handle_.get()));
    ASSERT_EQ(1, Update("insert into " + table + " values (1)"));
    ASSERT_EQ(1, ODBCRollbackTransaction(handle_.get()));
    EXPECT_EQ(0, Count(table, other.get()));

    ASSERT_EQ(1, ODBCBeginTransaction(handle_.get()));
    ASSERT_EQ(1, Update("insert into " + table + " values (2)"));
    ASSERT_EQ(1, ODBCCommitTransaction(handle_.get()));
    EXPECT_EQ(1, Count(table, other.get()));

    // Autocommit is back on after the commit.
    ASSERT_EQ(1, Update("insert into " + table + " values (3)"));
    EXPECT_EQ(2, Count(table, other.get()));

    // Each connection has its own environment: closing one leaves the other working.
    handle_.reset();
    EXPECT_EQ(2, Count(table, other.get()));
    handle_ = std::move(other);
}

TEST_P(OdbcEngine, AFailedCommitLeavesNoTransactionOpen) {
    if (!GetParam().deferredConstraints) GTEST_SKIP() << "no deferred constraints";
    std::string parent = Table("parent");
    std::string child = Table("child");  // dropped first
    ASSERT_EQ(1, Update("create table " + parent + " (id int primary key)"));
    ASSERT_EQ(1, Update("create table " + child + " (pid int references " + parent +
                        "(id) deferrable initially deferred)"));
    Handle other = Open(connection_);
    ASSERT_NE(nullptr, other);

    kvtest::CapturedLog log(2);
    ASSERT_EQ(1, ODBCBeginTransaction(handle_.get()));
    ASSERT_EQ(1, Update("insert into " + child + " values (99)"));
    EXPECT_EQ(0, ODBCCommitTransaction(handle_.get()));
    auto lines = log.Lines();
    EXPECT_TRUE(HasLine(lines, "ERROR Error in commiting transaction"));
    EXPECT_TRUE(HasLine(lines, "ERROR Error in starting transaction"));

    // The next statement runs in autocommit again, so the other connection sees it.
    ASSERT_EQ(1, Update("insert into " + parent + " values (1)"));
    EXPECT_EQ(1, Count(parent, other.get()));
    EXPECT_EQ(0, Count(child, other.get()));
}

TEST_P(OdbcEngine, ThreadsSharingOneConnectionRunOneAfterTheOther) {
    std::string table = Table("threads");
    ASSERT_EQ(1, Update("create table " + table + " (id int)"));
    std::vector<std::thread> threads;
    std::vector<int> failures(4, 0);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 20; ++i) {
                if (Update("insert into " + table + " values (" + std::to_string(t) + ")") != 1 ||
                    Query("select count(*) from " + table) == nullptr) {
                    ++failures[size_t(t)];
                }
            }
        });
    }
    for (std::thread &thread : threads) thread.join();
    EXPECT_EQ(std::vector<int>(4, 0), failures);
    EXPECT_EQ(80, Count(table));
}

TEST_P(OdbcEngine, BadConnectionsAreRefusedWithoutShowingThePassword) {
    for (const auto &[from, to] : GetParam().badConnections) {
        std::string bad = connection_;
        size_t at = bad.find(from);
        ASSERT_NE(std::string::npos, at) << from;
        bad.replace(at, from.size(), to);
        SCOPED_TRACE(to);
        kvtest::CapturedLog log(4);
        EXPECT_EQ(nullptr, Open(bad));
        EXPECT_TRUE(HasLine(log.Lines(), "ERROR Connecting to driver failed"));
        EXPECT_EQ(std::string::npos, log.text().find("Wr0ngSecret"));
    }
}

// ---- streamed binary values ----

struct Chunks {
    const std::string *data;
    size_t offset = 0;
    size_t step;
};

unsigned char NextChunk(unsigned char **chunk, int32_t *length, void *userData) {
    auto *source = static_cast<Chunks *>(userData);
    if (source->offset >= source->data->size()) return 2;
    size_t n = std::min(source->step, source->data->size() - source->offset);
    *chunk = reinterpret_cast<unsigned char *>(const_cast<char *>(source->data->data())) +
             source->offset;
    *length = int32_t(n);
    source->offset += n;
    return 1;
}

unsigned char BadChunk(unsigned char **chunk, int32_t *length, void *) {
    static unsigned char byte = 0;
    *chunk = &byte;
    *length = -5;
    return 1;
}

struct Collected {
    std::vector<std::string> values{std::string()};
    size_t largestPiece = 0;
};

void Collect(const unsigned char *chunk, int32_t length, void *userData) {
    auto *sink = static_cast<Collected *>(userData);
    if (chunk == nullptr) {
        sink->values.emplace_back();
        return;
    }
    sink->values.back().append(reinterpret_cast<const char *>(chunk), size_t(length));
    sink->largestPiece = std::max(sink->largestPiece, size_t(length));
}

TEST_P(OdbcEngine, BlobsLargerThanAMebibyteStreamInAndOutWhole) {
    std::string table = Table("blob");
    ASSERT_EQ(1, Update("create table " + table + " (id int, data " + GetParam().blobType +
                        ", note varchar(10))"));
    std::string data(1536 * 1024 + 17, '\0');
    uint32_t seed = 12345;
    for (char &c : data) {
        seed = seed * 1103515245u + 12345u;
        c = char(seed >> 24);
    }
    Chunks source{&data, 0, 4000};
    ASSERT_EQ(1, ODBCExecuteUpdateBlob(handle_.get(),
                                       ("insert into " + table + " values (1, ?, 'one')").c_str(),
                                       NextChunk, &source));
    ASSERT_EQ(1, Update("insert into " + table + " values (2, NULL, 'two')"));

    Collected sink;
    Rows rows(ODBCExecuteQueryBlob(handle_.get(),
                                   ("select id, data, note from " + table + " order by id").c_str(),
                                   Collect, &sink));
    ASSERT_NE(nullptr, rows);
    ASSERT_EQ(3u, sink.values.size());  // one closing call per row, then the next value's start
    EXPECT_EQ(data.size(), sink.values[0].size());
    EXPECT_TRUE(sink.values[0] == data);
    EXPECT_EQ("", sink.values[1]);
    EXPECT_LE(sink.largestPiece, 1024u);
    EXPECT_EQ(VEL_SQL_BLOB, GetResultColumnType("data", rows.get()));
    std::vector<std::string> got;
    while (NextResultRow(rows.get())) {
        got.push_back(Value(rows.get(), "id") + " " + Value(rows.get(), "data") + " " +
                      Value(rows.get(), "note"));
    }
    EXPECT_EQ((std::vector<std::string>{"1 NULL one", "2 NULL two"}), got);
}

TEST_P(OdbcEngine, LongTextStreamsWholeThroughTheBlobQuery) {
    std::string table = Table("ltext");
    ASSERT_EQ(1, Update("create table " + table + " (t text)"));
    std::string text(20000, 'q');
    text += "end";
    ASSERT_EQ(1, Update("insert into " + table + " values ('" + text + "')"));
    Collected sink;
    Rows rows(
        ODBCExecuteQueryBlob(handle_.get(), ("select t from " + table).c_str(), Collect, &sink));
    ASSERT_NE(nullptr, rows);
    ASSERT_EQ(2u, sink.values.size());
    EXPECT_EQ(text.size(), sink.values[0].size());
    size_t at = 0;
    while (at < text.size() && sink.values[0][at] == text[at]) ++at;
    EXPECT_EQ(text.size(), at) << sink.values[0].substr(at > 10 ? at - 10 : 0, 40);
}

TEST_P(OdbcEngine, RefusedBlobUpdatesFail) {
    std::string table = Table("blobbad");
    ASSERT_EQ(1, Update("create table " + table + " (id int not null, data " + GetParam().blobType +
                        ")"));
    std::string data(3000, 'x');
    Chunks source{&data, 0, 1000};
    std::string insert = "insert into " + table + " (id, data) values (1, ?)";
    EXPECT_EQ(0, ODBCExecuteUpdateBlob(handle_.get(), "insert into kv_no_such_table values (?)",
                                       NextChunk, &source));
    // Refused only once the value has been sent: the missing id breaks a constraint.
    source.offset = 0;
    EXPECT_EQ(0, ODBCExecuteUpdateBlob(handle_.get(),
                                       ("insert into " + table + " (data) values (?)").c_str(),
                                       NextChunk, &source));
    EXPECT_EQ(0, ODBCExecuteUpdateBlob(handle_.get(), insert.c_str(), BadChunk, nullptr));
    EXPECT_EQ(0, Count(table));
    // The connection is still usable afterwards; no chunk at all is an empty value.
    source.offset = 0;
    EXPECT_EQ(1, ODBCExecuteUpdateBlob(handle_.get(), insert.c_str(), NextChunk, &source));
    EXPECT_EQ(1, ODBCExecuteUpdateBlob(handle_.get(), insert.c_str(), nullptr, nullptr));
    Collected sink;
    Rows rows(
        ODBCExecuteQueryBlob(handle_.get(), ("select data from " + table).c_str(), Collect, &sink));
    ASSERT_NE(nullptr, rows);
    EXPECT_EQ(2, rows->rowCount);
    std::sort(sink.values.begin(), sink.values.end());
    EXPECT_EQ((std::vector<std::string>{"", "", data}), sink.values);
}

// ---- PostgreSQL's default boolean columns ----

TEST(OdbcPostgreSQL, BooleansReportedAsVarcharStillReadAsBooleans) {
    std::string setting;
    KV_REQUIRE_DATABASE("KV_TEST_PGSQL_CONN", setting);
    // psqlODBC's default: booleans come as varchar "1"/"0" (the later keyword wins).
    Handle handle = Open(setting + ";BoolsAsChar=1");
    ASSERT_NE(nullptr, handle);
    Rows rows(ODBCExecuteQuery(handle.get(), "select true as yes, false as no"));
    ASSERT_NE(nullptr, rows);
    ASSERT_NE(nullptr, NextResultRow(rows.get()));
    EXPECT_EQ(VEL_SQL_BOOLEAN, GetResultColumnType("yes", rows.get()));
    EXPECT_EQ("true", Value(rows.get(), "yes"));
    EXPECT_EQ("false", Value(rows.get(), "no"));
}

// ---- without a server ----

TEST(OdbcConnectionString, IsBuiltFromTheEntry) {
    struct Case {
        const char *dsn, *user, *password, *connectionString, *want;
    } cases[] = {
        {"inventory", "agent", nullptr, nullptr, "DSN=inventory;UID=agent;;Driver={ODBC}"},
        {"inventory", "agent", "pw", nullptr, "DSN=inventory;UID=agent;PWD=pw;Driver={ODBC}"},
        {"inventory", nullptr, nullptr, nullptr, "DSN=inventory;;;Driver={ODBC}"},
        {"inv", "agent", "pw", "Driver=X;Server=h", "Driver=X;Server=h"},
        // A value that would end the keyword early, or add another, is put in braces.
        {"inv", "agent", "a;DSN=other", nullptr,
         "DSN=inv;UID=agent;PWD={a;DSN=other};Driver={ODBC}"},
        {"inv", "agent", "x}y", nullptr, "DSN=inv;UID=agent;PWD={x}}y};Driver={ODBC}"},
    };
    for (const Case &c : cases) {
        ConnParamsEntry entry = Entry(c.dsn, c.user, c.password, c.connectionString);
        char *text = ODBCBuildConnectionString(&entry);
        ASSERT_NE(nullptr, text);
        EXPECT_STREQ(c.want, text);
        free(text);
    }
    EXPECT_EQ(nullptr, ODBCBuildConnectionString(nullptr));
}

TEST(OdbcOpenConnection, RefusesEntriesWithoutADsnOrThatNameNoDataSource) {
    // An empty user data source file (the system's own stays in use: the driver manager
    // keeps the first ODBCSYSINI it sees for the life of the process).
    kvtest::TempDir dir;
    kvtest::WriteFile(dir / "odbc.ini", "");
    kvtest::ScopedEnv ini("ODBCINI", dir / "odbc.ini");
    kvtest::CapturedLog log(4);

    ConnParamsEntry noDsn = Entry(nullptr, "agent", "S3cretPw", "Driver=SQLite3;Database=x");
    ConnParamsEntry noString = Entry("inv", "agent", "S3cretPw", nullptr);
    noString.useConnectionString = 1;
    EXPECT_EQ(nullptr, ODBCOpenConnection(nullptr));
    EXPECT_EQ(nullptr, ODBCOpenConnection(&noDsn));
    EXPECT_EQ(nullptr, ODBCOpenConnection(&noString));
    EXPECT_TRUE(HasLine(log.Lines(), "ERROR ODBC connection Parameter missing"));

    ConnParamsEntry missing = Entry("kv_no_such_dsn", "agent", "S3cretPw", nullptr);
    EXPECT_EQ(nullptr, ODBCOpenConnection(&missing));
    EXPECT_TRUE(HasLine(log.Lines(), "ERROR Connecting to driver failed"));
    EXPECT_EQ(std::string::npos, log.text().find("S3cretPw"));
}

TEST(OdbcProvider, NullHandlesAreRefused) {
    EXPECT_EQ(0, ODBCExecuteUpdate(nullptr, "select 1"));
    EXPECT_EQ(nullptr, ODBCExecuteQuery(nullptr, "select 1"));
    EXPECT_EQ(0, ODBCExecuteUpdateBlob(nullptr, "select ?", NextChunk, nullptr));
    EXPECT_EQ(nullptr, ODBCExecuteQueryBlob(nullptr, "select 1", Collect, nullptr));
    EXPECT_EQ(0, ODBCBeginTransaction(nullptr));
    EXPECT_EQ(0, ODBCCommitTransaction(nullptr));
    EXPECT_EQ(0, ODBCRollbackTransaction(nullptr));
    EXPECT_EQ(0, ODBCCloseConnection(nullptr));
    const DBProvider *provider = GetODBCProvider();
    EXPECT_STREQ("ODBC", provider->name);
    EXPECT_EQ(&ODBCExecuteQueryBlob, provider->executeBlobQuery);
}

}  // namespace
