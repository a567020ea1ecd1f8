// The generated statements against the real engines: SQLite through its C library,
// PostgreSQL through psql, MariaDB through the mariadb client, Firebird through isql-fb on an
// embedded database file. One body runs per engine. The tables are the fixture dictionary's,
// under a per-run prefix so that runs and other tests never share a table.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "db/sqlgen.h"
#include "store/datetime.h"
#include "store/dictionary_loader.h"
#include "tests/db/sqlgen_fixture.h"
#include "tests/support/test_databases.h"
#include "tests/support/test_support.h"

namespace {

using kvtest::Taken;
using Cell = std::optional<std::string>;
using Rows = std::vector<std::vector<Cell>>;

const std::string kFixture = KV_SOURCE_DIR "/tests/fixtures/data";
const std::vector<std::string> kFixtureTables = {"host", "host_interface", "interface_address",
                                                 "software", "software_install"};

// ---- the engines ----

// The program's path on PATH (the tests' process runner does not search).
std::string OnPath(const std::string &program) {
    const char *path = getenv("PATH");
    std::string folders = path ? path : "/usr/bin";
    size_t start = 0;
    while (start <= folders.size()) {
        size_t end = folders.find(':', start);
        if (end == std::string::npos) end = folders.size();
        std::string candidate = folders.substr(start, end - start) + "/" + program;
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
        start = end + 1;
    }
    return program;
}

struct Outcome {
    bool ok;
    std::string error;  // the engine's message when refused
    Rows rows;
};

class Engine {
  public:
    virtual ~Engine() = default;
    // Runs one statement (a trailing ";" and blanks are the client's business and dropped).
    virtual Outcome Run(const std::string &sql) = 0;

  protected:
    static std::string Statement(std::string sql) {
        while (!sql.empty() && (sql.back() == '\n' || sql.back() == ' ' || sql.back() == ';'))
            sql.pop_back();
        return sql;
    }
    static std::vector<std::string> Split(const std::string &text, char separator) {
        std::vector<std::string> parts;
        size_t start = 0;
        for (size_t at; (at = text.find(separator, start)) != std::string::npos; start = at + 1) {
            parts.push_back(text.substr(start, at - start));
        }
        parts.push_back(text.substr(start));
        return parts;
    }
    static Outcome Ran(const kvtest::CommandResult &result) {
        return {result.exitCode == 0, result.err + result.out, {}};
    }
};

class SqliteEngine : public Engine {
  public:
    SqliteEngine() {
        sqlite3_open((dir_ / "sqlgen.db").c_str(), &db_);
        sqlite3_exec(db_, "PRAGMA foreign_keys = ON", nullptr, nullptr, nullptr);
    }
    ~SqliteEngine() override { sqlite3_close(db_); }
    Outcome Run(const std::string &sql) override {
        sqlite3_stmt *statement = nullptr;
        Outcome out{true, {}, {}};
        if (sqlite3_prepare_v2(db_, Statement(sql).c_str(), -1, &statement, nullptr) != SQLITE_OK) {
            return {false, sqlite3_errmsg(db_), {}};
        }
        int step;
        while ((step = sqlite3_step(statement)) == SQLITE_ROW) {
            std::vector<Cell> row;
            for (int i = 0; i < sqlite3_column_count(statement); ++i) {
                if (sqlite3_column_type(statement, i) == SQLITE_NULL) {
                    row.push_back(std::nullopt);
                } else {
                    auto *text = reinterpret_cast<const char *>(sqlite3_column_text(statement, i));
                    row.push_back(std::string(text, size_t(sqlite3_column_bytes(statement, i))));
                }
            }
            out.rows.push_back(std::move(row));
        }
        if (step != SQLITE_DONE) out = {false, sqlite3_errmsg(db_), {}};
        sqlite3_finalize(statement);
        return out;
    }

  private:
    kvtest::TempDir dir_;
    sqlite3 *db_ = nullptr;
};

// The Server, Port, Database, Uid and Pwd of an ODBC connection string.
std::map<std::string, std::string> OdbcSettings(const std::string &connection) {
    std::map<std::string, std::string> settings;
    size_t start = 0;
    while (start < connection.size()) {
        size_t end = connection.find(';', start);
        if (end == std::string::npos) end = connection.size();
        std::string pair = connection.substr(start, end - start);
        size_t equals = pair.find('=');
        if (equals != std::string::npos) settings[pair.substr(0, equals)] = pair.substr(equals + 1);
        start = end + 1;
    }
    return settings;
}

class PsqlEngine : public Engine {
  public:
    explicit PsqlEngine(const std::string &connection) : s_(OdbcSettings(connection)) {}
    Outcome Run(const std::string &sql) override {
        kvtest::CommandResult result = kvtest::RunCommand(
            {OnPath("psql"), "-X", "-q",      "-A", "-t",           "-v", "ON_ERROR_STOP=1", "-F",
             "\x1f",         "-R", "\x1e",    "-P", "null=\x01",    "-h", s_["Server"],      "-p",
             s_["Port"],     "-U", s_["Uid"], "-d", s_["Database"], "-c", Statement(sql)},
            {"PGPASSWORD=" + s_["Pwd"], "PGCLIENTENCODING=UTF8"});
        Outcome out = Ran(result);
        if (!out.ok) return out;
        std::string text = result.out;
        if (!text.empty() && text.back() == '\n') text.pop_back();
        if (text.empty()) return out;
        for (const std::string &record : Split(text, '\x1e')) {
            std::vector<Cell> row;
            for (const std::string &field : Split(record, '\x1f')) {
                row.push_back(field == "\x01" ? Cell() : Cell(field));
            }
            out.rows.push_back(std::move(row));
        }
        return out;
    }

  private:
    std::map<std::string, std::string> s_;
};

class MariadbEngine : public Engine {
  public:
    explicit MariadbEngine(const std::string &connection) : s_(OdbcSettings(connection)) {}
    Outcome Run(const std::string &sql) override {
        kvtest::CommandResult result = kvtest::RunCommand(
            {OnPath("mariadb"), "-h", s_["Server"], "-P", s_["Port"], "-u", s_["Uid"], "--batch",
             "--skip-column-names", "--default-character-set=utf8mb4", s_["Database"], "-e",
             Statement(sql)},
            {"MYSQL_PWD=" + s_["Pwd"]});
        Outcome out = Ran(result);
        if (!out.ok || result.out.empty()) return out;
        std::string text = result.out;
        if (text.back() == '\n') text.pop_back();
        for (const std::string &line : Split(text, '\n')) {
            std::vector<Cell> row;
            for (const std::string &field : Split(line, '\t'))
                row.push_back(field == "NULL" ? Cell() : Unescaped(field));
            out.rows.push_back(std::move(row));
        }
        return out;
    }

  private:
    // Batch output writes a tab, newline, backslash and zero byte as \t, \n, \\ and \0.
    static std::string Unescaped(const std::string &field) {
        std::string out;
        for (size_t i = 0; i < field.size(); ++i) {
            if (field[i] != '\\' || i + 1 == field.size()) {
                out += field[i];
                continue;
            }
            char next = field[++i];
            out += next == 't' ? '\t' : next == 'n' ? '\n' : next == '0' ? '\0' : next;
        }
        return out;
    }
    std::map<std::string, std::string> s_;
};

class FirebirdEngine : public Engine {
  public:
    explicit FirebirdEngine(const std::string &isql) : isql_(isql), database_(dir_ / "sqlgen.fdb") {
        kvtest::WriteFile(dir_ / "create.sql",
                          "CREATE DATABASE '" + database_ +
                              "' USER 'SYSDBA' PASSWORD 'masterkey' PAGE_SIZE 8192 "
                              "DEFAULT CHARACTER SET UTF8;\nCOMMIT;\n");
        created_ = kvtest::RunCommand({isql_, "-q", "-b", "-i", dir_ / "create.sql"}).exitCode == 0;
    }
    bool created() const { return created_; }
    Outcome Run(const std::string &sql) override {
        kvtest::WriteFile(dir_ / "run.sql", "SET LIST ON;\n" + Statement(sql) + ";\nCOMMIT;\n");
        kvtest::CommandResult result =
            kvtest::RunCommand({isql_, "-q", "-b", "-ch", "UTF8", "-user", "SYSDBA", database_,
                                "-i", dir_ / "run.sql"});
        Outcome out = Ran(result);
        if (!out.ok) return out;
        // List mode: a record per block of "NAME<padding to column 32>value" lines.
        std::vector<Cell> row;
        for (const std::string &line : Split(result.out, '\n')) {
            if (line.empty()) {
                if (!row.empty()) out.rows.push_back(std::move(row));
                row.clear();
                continue;
            }
            std::string value = line.size() > 32 ? line.substr(32) : "";
            row.push_back(value == "<null>" ? Cell() : Cell(value));
        }
        if (!row.empty()) out.rows.push_back(std::move(row));
        return out;
    }

  private:
    kvtest::TempDir dir_;
    std::string isql_;
    std::string database_;
    bool created_ = false;
};

// ---- the tables ----

std::string Prefix() {
    return "sg" + std::to_string(getpid()) + "_";
}

// Copies of the fixture's definitions under the prefix, with only the columns keep() accepts
// (keys and foreign keys on dropped columns go with them), and key columns marked unique
// only when uniqueKeys says so. Date and time defaults are left out: no dialect writes them
// and their stored form holds pointers.
void AddPrefixedTables(const std::function<bool(const ColumnDefn &)> &keep,
                       bool uniqueKeys = true) {
    for (const std::string &name : kFixtureTables) {
        TableDefn *source = GetTableDefn(name.c_str());
        ASSERT_NE(nullptr, source) << name;
        Vector *columns = NewVector();
        std::vector<std::string> kept;
        for (VectorNode *n = source->columns->head; n; n = n->next) {
            const ColumnDefn &c = *static_cast<ColumnDefn *>(n->element);
            if (!keep(c)) continue;
            bool key = false;
            for (int i = 0; i < source->constraints->primaryKeyCount; ++i) {
                key = key || strcmp(source->constraints->primaryKeyColumns[i], c.name) == 0;
            }
            ColumnDefn *copy =
                CreateColumnDefn(c.name, c.dataType, nullptr, 0, key && !uniqueKeys ? 0 : c.unique,
                                 nullptr, nullptr, c.maxSize, c.nullable, nullptr);
            ASSERT_NE(nullptr, copy);
            if (c.defaultValue && (c.dataType < VEL_SQL_DATE || c.dataType > VEL_SQL_DATETIME)) {
                copy->defaultValue = calloc(size_t(c.defaultLength) + 1, 1);
                memcpy(copy->defaultValue, c.defaultValue, size_t(c.defaultLength));
                copy->defaultLength = c.defaultLength;
            }
            AddElementData(columns, copy);
            kept.push_back(c.name);
        }
        auto isKept = [&](const char *column) {
            return std::find(kept.begin(), kept.end(), column) != kept.end();
        };
        TableConstraints *constraints = CreateTableConstraints();
        for (int i = 0; i < source->constraints->primaryKeyCount; ++i) {
            const char *key = source->constraints->primaryKeyColumns[i];
            if (isKept(key)) AddPrimaryKeyColumn(constraints, key);
        }
        if (source->constraints->foreignKeys) {
            for (VectorNode *n = source->constraints->foreignKeys->head; n; n = n->next) {
                auto *fk = static_cast<ForeignKeyDefn *>(n->element);
                if (!isKept(fk->localColumn)) continue;
                AddForeignKeyDefn(constraints,
                                  CreateForeignKeyDefn(fk->localColumn, fk->referenceColumn,
                                                       (Prefix() + fk->referenceTable).c_str(),
                                                       fk->onDeleteCascade, fk->isBidirectional));
            }
        }
        ASSERT_TRUE(AddTableDefn(
            CreateTableDefn((Prefix() + name).c_str(), nullptr, columns, constraints)));
    }
}

std::vector<ColumnDefn *> ColumnsOf(const std::string &table) {
    std::vector<ColumnDefn *> out;
    for (VectorNode *n = GetTableDefn(table.c_str())->columns->head; n; n = n->next) {
        out.push_back(static_cast<ColumnDefn *>(n->element));
    }
    return out;
}

bool IsKey(const std::string &table, const char *column) {
    const TableConstraints *constraints = GetTableDefn(table.c_str())->constraints;
    for (int i = 0; i < constraints->primaryKeyCount; ++i) {
        if (strcmp(constraints->primaryKeyColumns[i], column) == 0) return true;
    }
    return false;
}

// ---- the values ----

// Texts that must reach the database unchanged: quotes, backslashes, non-ASCII text.
std::string Tricky(int variant, int maxSize) {
    const char *const longer[] = {"it's C:\\tmp\\ Zürich", "o'k \\' 東京 ''", "naïve \\\\ 'q'"};
    const char *const shorter[] = {"a'\\é", "b\\'", "'\\ü"};
    return (maxSize > 0 && maxSize < 20) ? shorter[variant] : longer[variant];
}

// The text of a column's value in row variant 0 (A), 1 (B) or 2 (A updated); keys depend on
// the row only, so A and its update share them.
std::string ValueText(const ColumnDefn &column, bool key, int variant) {
    const int row = key && variant == 2 ? 0 : variant;
    switch (column.dataType) {
        case VEL_SQL_TINYINT:
        case VEL_SQL_SMALLINT:
        case VEL_SQL_INT:
            return std::to_string(key ? row + 1 : 7 + variant);
        case VEL_SQL_BIGINT:
            return key ? std::to_string(row + 1) : std::to_string(5000000000LL + variant);
        case VEL_SQL_UNSIGNED_LONG_INT:
            return std::to_string(4000000000LL + variant);
        case VEL_SQL_BOOLEAN:
            return variant == 1 ? "false" : "true";
        case VEL_SQL_DATETIME:
            return variant == 2 ? "2025-12-31 23:59:58" : "2024-01-02 03:04:05";
        case VEL_SQL_DATE:
            return variant == 2 ? "2025-12-31" : "2024-01-01";
        case VEL_SQL_TIME:
            return variant == 2 ? "23:59:58" : "02:30:00";
        default:
            return key ? Tricky(row, column.maxSize) + std::to_string(row)
                       : Tricky(variant, column.maxSize);
    }
}

// A row of the table, DATE and TIME values in the bare forms that rows read from a database
// hold.
RowObject *Row(const std::string &table, int variant) {
    std::vector<ColumnDefn *> columns = ColumnsOf(table);
    auto **values = static_cast<void **>(calloc(columns.size(), sizeof(void *)));
    auto *lengths = static_cast<int *>(calloc(columns.size(), sizeof(int)));
    for (size_t i = 0; i < columns.size(); ++i) {
        const ColumnDefn &c = *columns[i];
        std::string text = ValueText(c, IsKey(table, c.name), variant);
        if (c.dataType == VEL_SQL_DATE || c.dataType == VEL_SQL_TIME) {
            values[i] = ConvertStringToVelDateTimePart(text.c_str());
            lengths[i] = c.dataType == VEL_SQL_DATE ? VEL_DATE_LENGTH : VEL_TIME_LENGTH;
        } else {
            lengths[i] = int(text.size());
            values[i] = ConvertStringToColumnValue(text.c_str(), &lengths[i], c.dataType);
        }
    }
    return CreateNewRowObject(values, lengths);
}

// How the engine shows a value it was given as text.
std::string Shown(const std::string &engine, unsigned char type, const std::string &text) {
    if (type == VEL_SQL_BOOLEAN) {
        bool truth = text == "true";
        if (engine == "PGSQL") return truth ? "t" : "f";
        return truth ? "1" : "0";
    }
    if (engine == "FIREBIRD" && (type == VEL_SQL_DATETIME || type == VEL_SQL_TIME))
        return text + ".0000";
    return text;
}

std::vector<Cell> Expected(const std::string &engine, const std::string &table, int variant) {
    std::vector<Cell> row;
    for (const ColumnDefn *c : ColumnsOf(table)) {
        row.push_back(Shown(engine, c->dataType, ValueText(*c, IsKey(table, c->name), variant)));
    }
    return row;
}

std::string RowsText(const Rows &rows) {
    std::string out;
    for (const auto &row : rows) {
        for (const Cell &cell : row) out += (cell ? *cell : "<NULL>") + " | ";
        out += "\n";
    }
    return out;
}

// ---- the test body ----

class SqlGenEngineTest : public ::testing::TestWithParam<std::string> {
  protected:
    void SetUp() override {
        const std::string &dialect = GetParam();
        dialect_ = kvtest::DialectNamed(dialect);
        std::string setting;
        if (dialect == "SQLITE") {
            engine_ = std::make_unique<SqliteEngine>();
        } else if (dialect == "PGSQL") {
            KV_REQUIRE_DATABASE("KV_TEST_PGSQL_CONN", setting);
            engine_ = std::make_unique<PsqlEngine>(setting);
        } else if (dialect == "MYSQL") {
            KV_REQUIRE_DATABASE("KV_TEST_MYSQL_CONN", setting);
            engine_ = std::make_unique<MariadbEngine>(setting);
        } else {
            KV_REQUIRE_DATABASE("KV_TEST_ISQL_FB", setting);
            auto firebird = std::make_unique<FirebirdEngine>(setting);
            ASSERT_TRUE(firebird->created()) << "isql-fb could not create a database";
            engine_ = std::move(firebird);
        }
        ASSERT_TRUE(InitializeMemPool());
        InitTableDefnList();
        ASSERT_EQ(1, LoadDataDictFiles(kFixture.c_str()));
    }
    void TearDown() override {
        if (engine_ && (GetParam() == "PGSQL" || GetParam() == "MYSQL")) {
            std::vector<std::string> names = {"plain", "texts", "uniquekey"};
            names.insert(names.end(), kFixtureTables.rbegin(), kFixtureTables.rend());
            for (const std::string &name : names) {
                engine_->Run("DROP TABLE IF EXISTS " + Prefix() + name +
                             (GetParam() == "PGSQL" ? " CASCADE" : ""));
            }
        }
        FreeAllTableDefns();
        TerminateMemPool();
    }

    Outcome Run(char *statement) {
        std::optional<std::string> text = Taken(statement);
        if (!text) return {false, "the generator gave no statement", {}};
        return engine_->Run(*text);
    }

    // The select of one table's rows: by the key of row variant, or all in key order with
    // first/skip.
    std::optional<std::string> Select(const std::string &table, int keyOf, int first = 0,
                                      int skip = 0) {
        SelectQuery *query = CreateSelectQuery();
        AddSelectTable(query, CreateSelectTable(table.c_str(), nullptr, query->pool));
        RowObject *row = Row(table, keyOf < 0 ? 0 : keyOf);
        std::vector<ColumnDefn *> columns = ColumnsOf(table);
        QueryCriterion *criteria = nullptr;
        const char *firstKey = nullptr;
        for (size_t i = 0; i < columns.size(); ++i) {
            if (!IsKey(table, columns[i]->name)) continue;
            if (!firstKey) firstKey = columns[i]->name;
            if (keyOf < 0) continue;
            SelectColumn *column = CreateSelectColumn(nullptr, nullptr, columns[i]->name, nullptr,
                                                      0, columns[i]->dataType, 0, query->pool);
            QueryCriterion *leaf = CreateCriterion(column, row->values[i], row->lengths[i],
                                                   OPERATOR_EQUAL, query->pool);
            criteria = criteria ? CriteriaAnd(criteria, leaf, query->pool) : leaf;
        }
        SetCriteria(query, criteria);
        Vector *sort = NewColumnList(query->pool);
        AppendListColumn(
            query->pool,
            CreateListColumn(table.c_str(), nullptr, firstKey, nullptr, 0, 5, 0, query->pool),
            sort);
        SetSortOrder(query, CreateSortOrder(sort, 1, query->pool));
        query->first = first;
        query->skip = skip;
        std::optional<std::string> text = Taken(SqlGenSelect(dialect_, query));
        FreeSelectQuery(query);
        FreeRowObject(row, int(columns.size()));
        return text;
    }

    Rows Query(const std::optional<std::string> &select) {
        if (!select) {
            ADD_FAILURE() << "no select generated";
            return {};
        }
        Outcome out = engine_->Run(*select);
        EXPECT_TRUE(out.ok) << *select << "\n" << out.error;
        return out.rows;
    }

    void Create(const std::string &table) {
        std::optional<std::string> text = Taken(SqlGenCreate(dialect_, table.c_str()));
        ASSERT_TRUE(text) << table;
        Outcome out = engine_->Run(*text);
        ASSERT_TRUE(out.ok) << *text << "\n" << out.error;
    }

    const SqlDialect *dialect_ = nullptr;
    std::unique_ptr<Engine> engine_;
};

// The fixture's tables as the dialect writes them. Most hold a column type the dialect
// writes no definition for (an empty item in the column list), so the engine refuses them;
// a table whose parent was refused is refused for its foreign key, except by SQLite, which
// does not check foreign-key targets when a table is made.
TEST_P(SqlGenEngineTest, FixtureTablesAsDescribed) {
    AddPrefixedTables([](const ColumnDefn &) { return true; });
    const std::map<std::string, std::vector<std::string>> accepted = {
        {"PGSQL", {}},
        {"MYSQL", {}},
        {"FIREBIRD", {}},
        {"SQLITE", {"interface_address", "software_install"}}};
    for (const std::string &name : kFixtureTables) {
        std::optional<std::string> text = Taken(SqlGenCreate(dialect_, (Prefix() + name).c_str()));
        ASSERT_TRUE(text) << name;
        const auto &ok = accepted.at(GetParam());
        const bool expected = std::find(ok.begin(), ok.end(), name) != ok.end();
        Outcome out = engine_->Run(*text);
        EXPECT_EQ(expected, out.ok) << name << "\n" << *text << "\n" << out.error;
    }
}

// Each fixture table restricted to what the dialect defines and its engine takes (PGSQL: no
// booleans, whose 1/0 insert PostgreSQL refuses; FIREBIRD: no text columns, which it has no
// type for, no booleans, whose 't' update it refuses, and no UNIQUE on a key column):
// created, two rows inserted, selected by key and by position, one updated, one deleted,
// read back each time.
TEST_P(SqlGenEngineTest, FixtureRowsRoundTrip) {
    const std::string engine = GetParam();
    const SqlDialect *dialect = dialect_;
    AddPrefixedTables(
        [&](const ColumnDefn &c) {
            if (dialect->columnForms[c.dataType].form == nullptr) return false;
            if (engine == "PGSQL" && c.dataType == VEL_SQL_BOOLEAN) return false;
            if (engine == "FIREBIRD" &&
                (c.dataType == VEL_SQL_TEXT || c.dataType == VEL_SQL_BOOLEAN))
                return false;
            return true;
        },
        engine != "FIREBIRD");
    for (const std::string &name : kFixtureTables) ASSERT_NO_FATAL_FAILURE(Create(Prefix() + name));

    for (const std::string &name : kFixtureTables) {
        const std::string table = Prefix() + name;
        const int columns = int(ColumnsOf(table).size());
        for (int variant : {0, 1}) {
            RowObject *row = Row(table, variant);
            Outcome out = Run(SqlGenInsert(dialect_, table.c_str(), row));
            EXPECT_TRUE(out.ok) << table << " insert " << variant << ": " << out.error;
            FreeRowObject(row, columns);
        }
        EXPECT_EQ(RowsText({Expected(engine, table, 0)}), RowsText(Query(Select(table, 0))))
            << table;
        EXPECT_EQ(RowsText({Expected(engine, table, 1)}), RowsText(Query(Select(table, -1, 1, 1))))
            << table;
        EXPECT_EQ(RowsText({Expected(engine, table, 0), Expected(engine, table, 1)}),
                  RowsText(Query(Select(table, -1))))
            << table;

        RowObject *updated = Row(table, 2);
        Outcome out = Run(SqlGenUpdate(dialect_, table.c_str(), updated));
        FreeRowObject(updated, columns);
        EXPECT_TRUE(out.ok) << table << " update: " << out.error;
        EXPECT_EQ(RowsText({Expected(engine, table, 2)}), RowsText(Query(Select(table, 0))))
            << table;
    }
    // Children first, so that the cascades have nothing to do.
    for (auto name = kFixtureTables.rbegin(); name != kFixtureTables.rend(); ++name) {
        const std::string table = Prefix() + *name;
        RowObject *row = Row(table, 1);
        Outcome out = Run(SqlGenDelete(dialect_, table.c_str(), row));
        EXPECT_TRUE(out.ok) << table << " delete: " << out.error;
        FreeRowObject(row, int(ColumnsOf(table).size()));
        EXPECT_EQ(1u, Query(Select(table, -1)).size()) << table;
    }
}

// Described texts each engine refuses, one row per case: the engine's own message is
// expected, so that a change on either side shows. Values are in the store's own forms (a
// DATE or TIME value holds both parts, as the dictionary and row conversions make it).
TEST_P(SqlGenEngineTest, DescribedTextsTheEngineRefuses) {
    const std::string plain = Prefix() + "plain";
    kvtest::AddTestTable(plain.c_str(),
                         {{"id", VEL_SQL_INT, 0, nullptr, false},
                          {"flag", VEL_SQL_BOOLEAN},
                          {"starts", VEL_SQL_TIME},
                          {"since", VEL_SQL_DATE},
                          {"big", VEL_SQL_BIGINT}},
                         {"id"});
    kvtest::AddTestTable((Prefix() + "texts").c_str(),
                         {{"id", VEL_SQL_INT}, {"note", VEL_SQL_TEXT, 1000}}, {"id"});
    kvtest::AddTestTable((Prefix() + "uniquekey").c_str(),
                         {{"id", VEL_SQL_INT, 0, nullptr, false, true}}, {"id"});
    ASSERT_NO_FATAL_FAILURE(Create(plain));
    const std::optional<std::string> none;
    // A set flag, for the boolean comparison to be converted.
    const std::optional<std::string> flag("false");
    RowObject *first = kvtest::MakeRow(plain.c_str(), {"1", flag, none, none, none});
    ASSERT_TRUE(Run(SqlGenInsert(dialect_, plain.c_str(), first)).ok);
    FreeRowObject(first, 5);

    struct Case {
        const char *dialect;
        char kind;  // c create, i insert, u update, s select by the boolean
        const char *table;
        std::vector<std::optional<std::string>> row;
        const char *refusal;
    } cases[] = {
        {"PGSQL",
         'i',
         "plain",
         {"2", none, "02:30:00", none, none},
         "date/time field value out of range"},
        {"FIREBIRD", 'c', "texts", {}, "TEXT does not exist"},
        {"FIREBIRD",
         'c',
         "uniquekey",
         {},
         "Same set of columns cannot be used in more than one PRIMARY KEY"},
        {"FIREBIRD",
         'i',
         "plain",
         {"2", none, none, "2024-01-01", none},
         "conversion error from string"},
        {"FIREBIRD",
         'i',
         "plain",
         {"2", none, "02:30:00", none, none},
         "conversion error from string"},
        {"FIREBIRD", 'i', "plain", {"2", none, none, none, "5000000000"}, "numeric overflow"},
        {"FIREBIRD",
         'u',
         "plain",
         {"1", "true", none, none, none},
         "conversion error from string \"t\""},
        {"FIREBIRD", 's', "plain", {}, "conversion error from string \"t\""},
    };
    for (const Case &c : cases) {
        if (GetParam() != c.dialect) continue;
        const std::string table = Prefix() + c.table;
        RowObject *row = c.row.empty() ? nullptr : kvtest::MakeRow(table.c_str(), c.row);
        std::optional<std::string> text;
        if (c.kind == 'c') text = Taken(SqlGenCreate(dialect_, table.c_str()));
        if (c.kind == 'i') text = Taken(SqlGenInsert(dialect_, table.c_str(), row));
        if (c.kind == 'u') text = Taken(SqlGenUpdate(dialect_, table.c_str(), row));
        if (c.kind == 's') {
            SelectQuery *query = CreateSelectQuery();
            AddSelectTable(query, CreateSelectTable(table.c_str(), nullptr, query->pool));
            const unsigned char yes = 1;
            SetCriteria(query,
                        CreateCriterion(CreateSelectColumn(nullptr, nullptr, "flag", nullptr, 0,
                                                           VEL_SQL_BOOLEAN, 0, query->pool),
                                        &yes, 1, OPERATOR_EQUAL, query->pool));
            text = Taken(SqlGenSelect(dialect_, query));
            FreeSelectQuery(query);
        }
        if (row) FreeRowObject(row, kvtest::ColumnCount(table.c_str()));
        ASSERT_TRUE(text) << c.refusal;
        Outcome out = engine_->Run(*text);
        EXPECT_FALSE(out.ok) << *text;
        EXPECT_NE(std::string::npos, out.error.find(c.refusal)) << *text << "\n" << out.error;
    }
}

INSTANTIATE_TEST_SUITE_P(Engines, SqlGenEngineTest,
                         ::testing::Values("SQLITE", "PGSQL", "MYSQL", "FIREBIRD"),
                         [](const auto &info) { return info.param; });

}  // namespace
