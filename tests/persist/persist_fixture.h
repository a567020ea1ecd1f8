// Helpers of the persistence tests: the three engines, an empty scratch database per test
// (a SQLite file, a PostgreSQL schema, a MariaDB database, so that tests running at once and
// other tests on the same servers never meet), data folders in temporary folders, and the
// library's log file read back.
#ifndef KV_TESTS_PERSIST_PERSIST_FIXTURE_H
#define KV_TESTS_PERSIST_PERSIST_FIXTURE_H

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "db/connection_pool.h"
#include "db/result_set.h"
#include "store/column_defn.h"
#include "tests/support/test_databases.h"
#include "tests/support/test_support.h"

namespace kvtest {

const std::string kExampleData = KV_SOURCE_DIR "/examples/data";
const std::string kTamber = KV_BINARY_DIR "/tamber/tamber";

enum class EngineKind { kSqlite, kPgsql, kMysql };

struct PersistEngine {
    const char *name;
    const char *variable;
    const char *dialect;
    EngineKind kind;
};

inline void PrintTo(const PersistEngine &engine, std::ostream *out) {
    *out << engine.name;
}

inline const PersistEngine kPersistEngines[] = {
    {"SQLite", "KV_TEST_SQLITE_DRIVER", "SQLITE", EngineKind::kSqlite},
    {"PostgreSQL", "KV_TEST_PGSQL_CONN", "PGSQL", EngineKind::kPgsql},
    {"MariaDB", "KV_TEST_MYSQL_CONN", "MYSQL", EngineKind::kMysql},
};

inline std::string EngineName(const ::testing::TestParamInfo<PersistEngine> &info) {
    return info.param.name;
}

// "Key=value;..." of an ODBC connection string.
inline std::map<std::string, std::string> ConnectionSettings(const std::string &connection) {
    std::map<std::string, std::string> settings;
    size_t start = 0;
    while (start < connection.size()) {
        size_t end = connection.find(';', start);
        if (end == std::string::npos) end = connection.size();
        const std::string pair = connection.substr(start, end - start);
        const size_t equals = pair.find('=');
        if (equals != std::string::npos) settings[pair.substr(0, equals)] = pair.substr(equals + 1);
        start = end + 1;
    }
    return settings;
}

inline std::string OnPath(const char *program) {
    for (const char *dir : {"/usr/bin", "/usr/local/bin", "/bin"}) {
        const std::string path = std::string(dir) + "/" + program;
        if (access(path.c_str(), X_OK) == 0) return path;
    }
    return program;
}

// An empty database of one engine for one test, dropped afterwards. SQLite: a file in the
// given folder. PostgreSQL: a schema of its own, made the connection's search path.
// MariaDB: a database of its own (the test user may make databases named kvtest_*).
class ScratchDatabase {
  public:
    ScratchDatabase(const PersistEngine &engine, const std::string &setting,
                    const std::string &folder)
        : engine_(engine), setting_(setting) {
        static std::atomic<int> counter{0};
        name_ = "kvtest_p" + std::to_string(getpid()) + "_" + std::to_string(++counter);
        switch (engine.kind) {
            case EngineKind::kSqlite:
                connection_ = "Driver=" + setting + ";Database=" + folder + "/" + name_ +
                              ".db;FKSupport=1;JournalMode=WAL";
                ready_ = true;
                break;
            case EngineKind::kPgsql:
                ready_ = Admin("create schema " + name_);
                connection_ = setting + ";ConnSettings=set search_path to " + name_;
                break;
            case EngineKind::kMysql: {
                ready_ = Admin("create database " + name_);
                const std::string from = "Database=" + ConnectionSettings(setting)["Database"];
                connection_ = setting;
                const size_t at = connection_.find(from);
                if (at != std::string::npos) {
                    connection_.replace(at, from.size(), "Database=" + name_);
                }
                break;
            }
        }
    }
    ~ScratchDatabase() {
        if (!ready_) return;
        if (engine_.kind == EngineKind::kPgsql) Admin("drop schema " + name_ + " cascade");
        if (engine_.kind == EngineKind::kMysql) Admin("drop database " + name_);
    }
    ScratchDatabase(const ScratchDatabase &) = delete;
    ScratchDatabase &operator=(const ScratchDatabase &) = delete;

    bool ready() const { return ready_; }
    const std::string &connection() const { return connection_; }
    const std::string &error() const { return error_; }

    // The connparams.txt entry "main" of this database.
    std::string ConnParamsLine() const {
        return std::string("ODBC 1 tamber tamber NULL 0 main ODBC ") + engine_.dialect + " YES " +
               connection_ + "\n";
    }

  private:
    // Runs a statement as the test user through the engine's own client.
    bool Admin(const std::string &sql) {
        std::map<std::string, std::string> s = ConnectionSettings(setting_);
        CommandResult result;
        if (engine_.kind == EngineKind::kPgsql) {
            result =
                RunCommand({OnPath("psql"), "-X", "-q", "-v", "ON_ERROR_STOP=1", "-h", s["Server"],
                            "-p", s["Port"], "-U", s["Uid"], "-d", s["Database"], "-c", sql},
                           {"PGPASSWORD=" + s["Pwd"]});
        } else {
            result = RunCommand(
                {OnPath("mariadb"), "-h", s["Server"], "-P", s["Port"], "-u", s["Uid"], "-e", sql},
                {"MYSQL_PWD=" + s["Pwd"]});
        }
        if (result.exitCode != 0) error_ = sql + ": " + result.err;
        return result.exitCode == 0;
    }

    PersistEngine engine_;
    std::string setting_;
    std::string name_;
    std::string connection_;
    std::string error_;
    bool ready_ = false;
};

// A library root in a temporary folder: ROOT/data holds the data files, and the working folder
// is ROOT/bin for the fixture's life, as in an installed layout, so that the library's first
// try "..\data\" finds the same folder as its root form.
class DataRoot {
  public:
    DataRoot() {
        std::filesystem::create_directories(data());
        std::filesystem::create_directories(dir_ / "bin");
        old_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_ / "bin");
    }
    ~DataRoot() {
        std::error_code ec;
        std::filesystem::current_path(old_, ec);
    }
    DataRoot(const DataRoot &) = delete;
    DataRoot &operator=(const DataRoot &) = delete;

    const std::string &root() const { return dir_.path(); }
    std::string data() const { return dir_ / "data"; }
    std::string file(const std::string &name) const { return data() + "/" + name; }
    void Write(const std::string &name, const std::string &text) const {
        WriteFile(file(name), text);
    }
    // Copies the example data folder here.
    void CopyExamples() const {
        std::filesystem::copy(kExampleData, data(),
                              std::filesystem::copy_options::recursive |
                                  std::filesystem::copy_options::overwrite_existing);
    }
    std::string LogText() const { return ReadFile(dir_ / "logs/tamber.log"); }

  private:
    TempDir dir_;
    std::filesystem::path old_;
};

// Whether the text holds the line fragment.
inline bool Holds(const std::string &text, const std::string &fragment) {
    return text.find(fragment) != std::string::npos;
}

inline size_t Occurrences(const std::string &text, const std::string &fragment) {
    size_t n = 0;
    for (size_t at = text.find(fragment); at != std::string::npos;
         at = text.find(fragment, at + fragment.size())) {
        ++n;
    }
    return n;
}

// A copy of the example data folder under a temporary root, and the tamber command run on it.
class ExampleFolder {
  public:
    ExampleFolder() {
        std::filesystem::copy(kExampleData, data(), std::filesystem::copy_options::recursive);
    }
    std::string root() const { return dir_.path(); }
    std::string data() const { return dir_ / "data"; }
    CommandResult Run(const std::vector<std::string> &args) const {
        std::vector<std::string> argv = {kTamber, "--root", root()};
        argv.insert(argv.end(), args.begin(), args.end());
        return RunCommand(argv);
    }

  private:
    TempDir dir_;
};

// The rows a select returns on the named connection (null: the default one), each as its
// values' texts joined by ":"; one entry "<no result set>" when the select fails.
inline std::vector<std::string> SelectedRows(const char *connection, const std::string &sql) {
    ResultSet *set = ExecuteQuery(GetConnectionHandle(connection), sql.c_str());
    ReleaseConnectionHandle(connection);
    if (set == nullptr) return {"<no result set>"};
    std::vector<std::string> out;
    while (NextResultRow(set) != nullptr) {
        std::string line;
        int i = 0;
        for (ResultCell *cell = set->cursor->values; cell != nullptr; cell = cell->next, ++i) {
            char *text =
                ConvertColumnValueToString(cell->bytes, cell->length, set->columns[i].dataType);
            line += (i ? ":" : "") + std::string(text != nullptr ? text : "?");
            free(text);
        }
        out.push_back(line);
    }
    FreeResultSet(set);
    return out;
}

// A command's result as a failure message shows it.
inline std::string Shown(const CommandResult &r) {
    return "exit " + std::to_string(r.exitCode) + "\n--- out\n" + r.out + "--- err\n" + r.err;
}

}  // namespace kvtest

// Skips (or under CI fails) without the engine's settings and makes the scratch database.
#define KV_SCRATCH_DATABASE(engine, folder, into)                                                \
    do {                                                                                         \
        std::string kv_scratch_setting_;                                                         \
        KV_REQUIRE_DATABASE((engine).variable, kv_scratch_setting_);                             \
        into = std::make_unique<::kvtest::ScratchDatabase>(engine, kv_scratch_setting_, folder); \
        ASSERT_TRUE(into->ready()) << into->error();                                             \
    } while (0)

namespace kvtest {

// The tamber command's tests on each engine: the example folder, its connection pointed at a
// scratch database of the engine.
class ExampleFolderTest : public ::testing::TestWithParam<PersistEngine> {
  protected:
    void SetUp() override {
        KV_SCRATCH_DATABASE(GetParam(), folder_.data(), database_);
        WriteFile(folder_.data() + "/connparams.txt", database_->ConnParamsLine());
    }

    ExampleFolder folder_;
    std::unique_ptr<ScratchDatabase> database_;
};

}  // namespace kvtest

#endif  // KV_TESTS_PERSIST_PERSIST_FIXTURE_H
