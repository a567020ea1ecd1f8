// Tables moved through ODBC against the same work done with plain ODBC calls, on each database
// whose settings are in the environment (scripts/bench loads build/test-dbs.env as scripts/test
// does; SQLite needs none): SaveTable of 100,000 new rows against the same rows inserted with
// one prepared statement in one transaction; LoadTable against a fetch loop over bound columns
// (on SQLite also at 10,000 and 1,000,000 rows, to show how it grows); and generating 100,000
// insert statements against writing the same text with snprintf.
//
// The library runs as InitTamber starts it, on a data folder of its own with one table
// people (id int key, age int, name char(64)) in a scratch database: a SQLite file with the
// example folder's settings, a PostgreSQL schema, a MariaDB database named kvtest_*. Its log is
// written at the level InitTamber sets, as in use. Each database workload runs once per round,
// ours and the peer's one after the other, for KV_BENCH_DB_ROUNDS rounds (default 2): one run is
// seconds long, and alternating keeps a server's slow spell from falling on one side only.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sql.h>
#include <sqlext.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "db/connection_pool.h"
#include "db/statements.h"
#include "persist/table_load.h"
#include "persist/table_save.h"
#include "persist/tamber_init.h"
#include "store/column_defn.h"
#include "store/table_data.h"

namespace {

constexpr const char *kTable = "people";
constexpr int kRows = 100000;

const char kDictionary[] = R"(<?xml version="1.0"?>
<data-dictionary>
  <table name="people">
    <columns>
      <column name="id"><data-type>INTEGER</data-type><nullable>false</nullable></column>
      <column name="age"><data-type>INTEGER</data-type></column>
      <column name="name"><data-type>CHAR</data-type><max-size>64</max-size></column>
    </columns>
    <primary-key><primary-key-column>id</primary-key-column></primary-key>
  </table>
</data-dictionary>
)";

enum class Kind { kSqlite, kPgsql, kMysql };

struct Engine {
    const char *name;
    const char *variable;  // the connection string, or for SQLite the driver name
    const char *dialect;
    Kind kind;
};

const Engine kEngines[] = {
    {"SQLite", "KV_TEST_SQLITE_DRIVER", "SQLITE", Kind::kSqlite},
    {"PostgreSQL", "KV_TEST_PGSQL_CONN", "PGSQL", Kind::kPgsql},
    {"MariaDB", "KV_TEST_MYSQL_CONN", "MYSQL", Kind::kMysql},
};

int Age(int i) {
    return (i * 7) % 100;
}

SQLCHAR *Text(const std::string &text) {
    return reinterpret_cast<SQLCHAR *>(const_cast<char *>(text.c_str()));
}

// A connection of plain ODBC calls: the peer side, and the scratch databases' set-up.
class PlainOdbc {
  public:
    ~PlainOdbc() {
        if (dbc_ != SQL_NULL_HDBC) {
            SQLDisconnect(dbc_);
            SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
        }
        if (env_ != SQL_NULL_HENV) SQLFreeHandle(SQL_HANDLE_ENV, env_);
    }
    bool Connect(const std::string &connection) {
        SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env_);
        SQLSetEnvAttr(env_, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
        SQLAllocHandle(SQL_HANDLE_DBC, env_, &dbc_);
        return SQL_SUCCEEDED(SQLDriverConnect(dbc_, nullptr, Text(connection), SQL_NTS, nullptr, 0,
                                              nullptr, SQL_DRIVER_NOPROMPT));
    }
    bool Exec(const std::string &sql) {
        SQLHSTMT statement = SQL_NULL_HSTMT;
        SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &statement);
        const SQLRETURN rc = SQLExecDirect(statement, Text(sql), SQL_NTS);
        SQLFreeHandle(SQL_HANDLE_STMT, statement);
        return SQL_SUCCEEDED(rc) || rc == SQL_NO_DATA;
    }
    SQLHDBC dbc() const { return dbc_; }

  private:
    SQLHENV env_ = SQL_NULL_HENV;
    SQLHDBC dbc_ = SQL_NULL_HDBC;
};

// An empty database for one benchmark, dropped afterwards.
class ScratchDatabase {
  public:
    ScratchDatabase(const Engine &engine, const std::string &setting, const std::string &folder)
        : engine_(engine), setting_(setting) {
        const std::string name = "kvtest_bench_" + std::to_string(getpid());
        switch (engine.kind) {
            case Kind::kSqlite:
                // The example data folder's settings, as the library ships them.
                connection_ = "Driver=" + setting + ";Database=" + folder +
                              "/bench.db;FKSupport=1;JournalMode=WAL";
                ready_ = true;
                break;
            case Kind::kPgsql:
                drop_ = "drop schema " + name + " cascade";
                ready_ = Admin("create schema " + name);
                connection_ = setting + ";ConnSettings=set search_path to " + name;
                break;
            case Kind::kMysql: {
                drop_ = "drop database " + name;
                ready_ = Admin("create database " + name);
                connection_ = setting;
                const size_t at = connection_.find("Database=");
                const size_t end = connection_.find(';', at);
                if (at != std::string::npos) {
                    connection_.replace(at, end == std::string::npos ? end : end - at,
                                        "Database=" + name);
                }
                break;
            }
        }
    }
    ~ScratchDatabase() {
        if (ready_ && !drop_.empty()) Admin(drop_);
    }
    ScratchDatabase(const ScratchDatabase &) = delete;
    ScratchDatabase &operator=(const ScratchDatabase &) = delete;

    bool ready() const { return ready_; }
    Kind kind() const { return engine_.kind; }
    const std::string &connection() const { return connection_; }

    // count rows of (i, Age(i), "n<i % 10>") in one statement, for the loads to read.
    std::string FillStatement(int count) const {
        const std::string last = std::to_string(count - 1);
        switch (engine_.kind) {
            case Kind::kSqlite:
                return "with recursive s(g) as (select 0 union all select g + 1 from s where g < " +
                       last +
                       ") insert into people select g, (g * 7) % 100, 'n' || (g % 10) from s";
            case Kind::kPgsql:
                return "insert into people select g, (g * 7) % 100, 'n' || (g % 10) from "
                       "generate_series(0, " +
                       last + ") g";
            case Kind::kMysql:
                return "insert into people with recursive s(g) as (select 0 union all select g + "
                       "1 from s where g < " +
                       last + ") select g, (g * 7) % 100, concat('n', g % 10) from s";
        }
        return "";
    }

  private:
    bool Admin(const std::string &sql) {
        PlainOdbc admin;
        return admin.Connect(setting_) && admin.Exec(sql);
    }

    Engine engine_;
    std::string setting_;
    std::string connection_;
    std::string drop_;
    bool ready_ = false;
};

// The library started on a data folder of its own over a scratch database; the working folder
// is ROOT/bin meanwhile, as the library's first-try paths expect.
class Library {
  public:
    Library(const Engine &engine, const std::string &setting) {
        char pattern[] = "/tmp/kvbench.XXXXXX";
        root_ = mkdtemp(pattern);
        std::filesystem::create_directories(root_ + "/data");
        std::filesystem::create_directories(root_ + "/bin");
        database_ = std::make_unique<ScratchDatabase>(engine, setting, root_ + "/data");
        if (!database_->ready()) return;
        Write("datadictionary.txt", "tables.xml\n");
        Write("tables.xml", kDictionary);
        Write("dsn_table_map.txt", "people main\n");
        Write("loadtablelist.txt", "");
        Write("connparams.txt", std::string("ODBC 1 tamber tamber NULL 0 main ODBC ") +
                                    engine.dialect + " YES " + database_->connection() + "\n");
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(root_ + "/bin");
        started_ = InitTamber(root_.c_str()) == 1;
    }
    ~Library() {
        if (started_) DeInitTamber();
        if (!previous_.empty()) std::filesystem::current_path(previous_);
        database_.reset();
        std::filesystem::remove_all(root_);
    }
    Library(const Library &) = delete;
    Library &operator=(const Library &) = delete;

    bool started() const { return started_; }
    const ScratchDatabase &database() const { return *database_; }

    // Runs a statement on the library's own connection.
    bool Exec(const std::string &sql) {
        ConnectionHandle *handle = GetConnectionHandle("main");
        const int ok = ExecuteUpdate(handle, sql.c_str());
        ReleaseConnectionHandle("main");
        return ok == 1;
    }

  private:
    void Write(const char *name, const std::string &text) {
        std::ofstream(root_ + "/data/" + name) << text;
    }

    std::string root_;
    std::filesystem::path previous_;
    std::unique_ptr<ScratchDatabase> database_;
    bool started_ = false;
};

void *IntValue(int value) {
    int *stored = static_cast<int *>(malloc(sizeof(int)));
    *stored = value;
    return stored;
}

// A new row (i, Age(i), "n<i % 10>") in the store's value forms.
RowObject *PersonRow(int i) {
    void **values = static_cast<void **>(malloc(3 * sizeof(void *)));
    int *lengths = static_cast<int *>(malloc(3 * sizeof(int)));
    char name[16];
    const int length = snprintf(name, sizeof name, "n%d", i % 10);
    values[0] = IntValue(i);
    values[1] = IntValue(Age(i));
    values[2] = malloc(size_t(length) + 1);
    memcpy(values[2], name, size_t(length) + 1);
    lengths[0] = lengths[1] = 4;
    lengths[2] = length;
    return CreateNewRowObject(values, lengths);
}

// The in-memory table people holding count new rows.
void AddNewPeople(int count) {
    UnLoadTable(kTable);
    CreateTable(kTable);
    for (int i = 0; i < count; ++i) AddNewRow(kTable, PersonRow(i));
}

// The setting an engine needs, or a skip that says how to provide it.
bool Setting(benchmark::State &state, const Engine &engine, std::string *setting) {
    const char *value = getenv(engine.variable);
    if (value != nullptr && *value != '\0') {
        *setting = value;
        return true;
    }
    if (engine.kind == Kind::kSqlite) {
        *setting = "SQLite3";  // the embedded default needs no server
        return true;
    }
    state.SkipWithError((std::string(engine.variable) +
                         " is not set: run scripts/start-dbs and load build/test-dbs.env")
                            .c_str());
    return false;
}

// The library started on the engine's scratch database, or null after a skip that says why.
std::unique_ptr<Library> Start(benchmark::State &state, const Engine &engine) {
    std::string setting;
    if (!Setting(state, engine, &setting)) return nullptr;
    auto library = std::make_unique<Library>(engine, setting);
    if (!library->started()) {
        state.SkipWithError("InitTamber failed");
        return nullptr;
    }
    return library;
}

// ---- saving ----

void SaveTableRun(benchmark::State &state, const Engine &engine) {
    std::unique_ptr<Library> library = Start(state, engine);
    if (library == nullptr) return;
    const int count = int(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        library->Exec("delete from people");
        AddNewPeople(count);
        state.ResumeTiming();
        SaveTable(kTable);
    }
    const TableData *table = GetTableDataByName(kTable);
    int saved = 0;
    for (const RowObject *row = table->firstRow; row != nullptr; row = row->next) {
        saved += row->state == ROW_STATE_STORED;
    }
    if (saved != count) state.SkipWithError("not every row was saved");
    state.SetItemsProcessed(state.iterations() * count);
}

void PreparedInsertRun(benchmark::State &state, const Engine &engine) {
    std::unique_ptr<Library> library = Start(state, engine);
    if (library == nullptr) return;
    PlainOdbc peer;
    if (!peer.Connect(library->database().connection())) {
        return state.SkipWithError("cannot connect");
    }
    const int count = int(state.range(0));
    bool failed = false;
    for (auto _ : state) {
        state.PauseTiming();
        peer.Exec("delete from people");
        state.ResumeTiming();
        SQLSetConnectAttr(peer.dbc(), SQL_ATTR_AUTOCOMMIT,
                          reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), SQL_IS_UINTEGER);
        SQLHSTMT statement = SQL_NULL_HSTMT;
        SQLAllocHandle(SQL_HANDLE_STMT, peer.dbc(), &statement);
        SQLPrepare(statement, Text("insert into people values (?, ?, ?)"), SQL_NTS);
        SQLINTEGER id = 0, age = 0;
        char name[16];
        SQLLEN nameLength = 0;
        SQLBindParameter(statement, 1, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, &id, 0,
                         nullptr);
        SQLBindParameter(statement, 2, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, &age, 0,
                         nullptr);
        SQLBindParameter(statement, 3, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, 64, 0, name,
                         sizeof name, &nameLength);
        for (int i = 0; i < count; ++i) {
            id = i;
            age = Age(i);
            nameLength = snprintf(name, sizeof name, "n%d", i % 10);
            failed |= !SQL_SUCCEEDED(SQLExecute(statement));
        }
        SQLFreeHandle(SQL_HANDLE_STMT, statement);
        SQLEndTran(SQL_HANDLE_DBC, peer.dbc(), SQL_COMMIT);
        SQLSetConnectAttr(peer.dbc(), SQL_ATTR_AUTOCOMMIT,
                          reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), SQL_IS_UINTEGER);
    }
    if (failed) state.SkipWithError("an insert failed");
    state.SetItemsProcessed(state.iterations() * count);
}

// ---- loading ----

// A load starts from the same heap whatever ran before it: what earlier runs freed goes back to
// the system rather than leaving free lists for the load to pick its way through.
void ReturnFreedMemory() {
#ifdef __GLIBC__
    malloc_trim(0);
#endif
}

bool Fill(Library &library, int count) {
    // MariaDB stops a recursive query after 1,000 rounds unless told otherwise.
    if (library.database().kind() == Kind::kMysql &&
        !library.Exec("set max_recursive_iterations = " + std::to_string(count))) {
        return false;
    }
    return library.Exec(library.database().FillStatement(count));
}

void LoadTableRun(benchmark::State &state, const Engine &engine) {
    std::unique_ptr<Library> library = Start(state, engine);
    if (library == nullptr) return;
    const int count = int(state.range(0));
    if (!Fill(*library, count)) return state.SkipWithError("cannot fill the table");
    int loaded = 0;
    for (auto _ : state) {
        state.PauseTiming();
        UnLoadTable(kTable);
        ReturnFreedMemory();
        state.ResumeTiming();
        if (!LoadTable(kTable)) state.SkipWithError("LoadTable failed");
        state.PauseTiming();
        const TableData *table = GetTableDataByName(kTable);
        loaded = table != nullptr ? table->rowCount : 0;
        state.ResumeTiming();
    }
    if (loaded != count) state.SkipWithError("not every row was loaded");
    state.SetItemsProcessed(state.iterations() * count);
}

void FetchLoopRun(benchmark::State &state, const Engine &engine) {
    std::unique_ptr<Library> library = Start(state, engine);
    if (library == nullptr) return;
    const int count = int(state.range(0));
    if (!Fill(*library, count)) return state.SkipWithError("cannot fill the table");
    PlainOdbc peer;
    if (!peer.Connect(library->database().connection())) {
        return state.SkipWithError("cannot connect");
    }
    int fetched = 0;
    for (auto _ : state) {
        SQLHSTMT statement = SQL_NULL_HSTMT;
        SQLAllocHandle(SQL_HANDLE_STMT, peer.dbc(), &statement);
        SQLExecDirect(statement, Text("select * from people"), SQL_NTS);
        SQLINTEGER id = 0, age = 0;
        char name[65];
        SQLLEN indicators[3] = {0, 0, 0};
        SQLBindCol(statement, 1, SQL_C_SLONG, &id, 0, &indicators[0]);
        SQLBindCol(statement, 2, SQL_C_SLONG, &age, 0, &indicators[1]);
        SQLBindCol(statement, 3, SQL_C_CHAR, name, sizeof name, &indicators[2]);
        fetched = 0;
        while (SQL_SUCCEEDED(SQLFetch(statement))) ++fetched;
        SQLFreeHandle(SQL_HANDLE_STMT, statement);
    }
    if (fetched != count) state.SkipWithError("not every row was fetched");
    state.SetItemsProcessed(state.iterations() * count);
}

// ---- generating statements ----

void BM_GenerateInsertQuery(benchmark::State &state) {
    std::unique_ptr<Library> library = Start(state, kEngines[0]);
    if (library == nullptr) return;
    std::vector<RowObject *> rows;
    for (int i = 0; i < kRows; ++i) rows.push_back(PersonRow(i));
    for (auto _ : state) {
        for (RowObject *row : rows) free(GenerateInsertQuery(kTable, row));
    }
    for (RowObject *row : rows) FreeRowObject(row, 3);
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_GenerateInsertQuery)->Unit(benchmark::kMillisecond)->Iterations(5);

// The same text as the SQLITE insert, written with snprintf into a new buffer per statement.
void BM_SnprintfInsert(benchmark::State &state) {
    for (auto _ : state) {
        for (int i = 0; i < kRows; ++i) {
            char *text = static_cast<char *>(malloc(64));
            snprintf(text, 64, "insert into  people values(%d,%d,'n%d');", i, Age(i), i % 10);
            benchmark::DoNotOptimize(text);
            free(text);
        }
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_SnprintfInsert)->Unit(benchmark::kMillisecond)->Iterations(5);

void Register(const char *workload, void (*run)(benchmark::State &, const Engine &),
              const Engine &engine, int rows) {
    const std::string name = std::string("BM_") + workload + "_" + engine.name;
    benchmark::RegisterBenchmark(name.c_str(), run, engine)
        ->Arg(rows)
        ->Iterations(1)
        ->UseRealTime()
        ->Unit(benchmark::kMillisecond);
}

}  // namespace

int main(int argc, char **argv) {
    // The same work of ours and of the peer alternates, round after round, so that a server
    // that is slower for a while slows both sides; the report takes the median of the rounds.
    const char *rounds = getenv("KV_BENCH_DB_ROUNDS");
    const int roundCount = rounds != nullptr && atoi(rounds) > 0 ? atoi(rounds) : 2;
    for (int round = 0; round < roundCount; ++round) {
        for (const Engine &engine : kEngines) {
            Register("SaveTable", SaveTableRun, engine, kRows);
            Register("PreparedInsert", PreparedInsertRun, engine, kRows);
            for (int rows : {10000, kRows, 1000000}) {
                if (rows != kRows && engine.kind != Kind::kSqlite) continue;
                Register("LoadTable", LoadTableRun, engine, rows);
                Register("FetchLoop", FetchLoopRun, engine, rows);
            }
        }
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
