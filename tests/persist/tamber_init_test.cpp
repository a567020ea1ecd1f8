// The library's start-up and shutdown on the example data folder: against an empty database
// on each engine, again against the same database, and the start-up's failures.
#include "persist/tamber_init.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "db/providers.h"
#include "logging/log.h"
#include "store/result_data.h"
#include "store/table_data.h"
#include "tests/persist/persist_fixture.h"

namespace {

int RowCount(const char *table) {
    const TableData *data = GetTableDataByName(table);
    if (data == nullptr) return -1;
    int n = 0;
    for (const RowObject *row = data->firstRow; row != nullptr; row = row->next) ++n;
    return n;
}

std::string Text(const char *table, const char *criteria, const char *column) {
    ResultData *result = SelectRows(table, criteria);
    if (result == nullptr || GotoNextRowObject(result) == nullptr) {
        FreeResultData(result);
        return "(no row)";
    }
    int length = 0;
    void *value = GetColumnValueByName(column, &length, result);
    char *text = ConvertColumnValueToString(value, length, GetColumnTypeByName(column, result));
    std::string out = text ? text : "(no text)";
    free(text);
    FreeResultData(result);
    return out;
}

class TamberStart : public ::testing::TestWithParam<kvtest::PersistEngine> {
  protected:
    void SetUp() override {
        root_.CopyExamples();
        KV_SCRATCH_DATABASE(GetParam(), root_.data(), database_);
        root_.Write("connparams.txt", database_->ConnParamsLine());
    }
    void TearDown() override { DeInitTamber(); }

    kvtest::DataRoot root_;
    std::unique_ptr<kvtest::ScratchDatabase> database_;
};

TEST_P(TamberStart, CreatesAndFillsAnEmptyDatabaseThenStartsOnItWithoutChangingIt) {
    ASSERT_EQ(1, InitTamber(root_.root().c_str())) << root_.LogText();
    EXPECT_EQ(nullptr, GetInitTamberFailure());
    EXPECT_EQ(root_.root(), gv_rootPath);
    EXPECT_EQ(1, gv_dsnMapValid) << "the entry's dialect decides, connection string or not";
    EXPECT_STREQ(GetParam().dialect, GetDialectForTable("Device"));
    // Tables of loadtablelist.txt, holding the default data just stored.
    EXPECT_EQ(3, RowCount("Device"));
    EXPECT_EQ(4, RowCount("NetworkInterface"));
    EXPECT_EQ(5, RowCount("InstalledSoftware"));
    EXPECT_EQ(3, RowCount("QueryDetails"));
    EXPECT_EQ("Reception desk; it's the visitors' machine",
              Text("Device", "HOSTNAME = 'ws-berlin-01'", "NOTES"));
    EXPECT_EQ("549755813888", Text("Device", "HOSTNAME = 'ws-berlin-01'", "STORAGE_BYTES"));
    EXPECT_EQ("NULL", Text("Device", "HOSTNAME = 'lt-field-07'", "BACKUP_TIME"));
    // Every default row was written: none is left pending.
    for (const char *table : {"Device", "NetworkInterface", "InstalledSoftware", "ColumnDetails"}) {
        for (const RowObject *row = GetTableDataByName(table)->firstRow; row; row = row->next) {
            EXPECT_EQ(ROW_STATE_STORED, row->state) << table;
        }
    }
    const std::string firstLog = root_.LogText();
    EXPECT_EQ(18u, kvtest::Occurrences(firstLog, "Generated Create Table Query"));
    EXPECT_TRUE(kvtest::Holds(firstLog, "Welcome to Tamber."));
    DeInitTamber();
    EXPECT_EQ(nullptr, GetTableDataByName("Device"));

    // Once more on the database that now holds the tables: the first create fails, nothing
    // else is created and no default row is stored twice.
    ASSERT_EQ(1, InitTamber(root_.root().c_str())) << root_.LogText();
    const std::string secondLog = root_.LogText().substr(firstLog.size());
    EXPECT_TRUE(kvtest::Holds(secondLog, "InitDBProvider failed. Already initialized."));
    EXPECT_EQ(1u, kvtest::Occurrences(secondLog, "Generated Create Table Query"));
    EXPECT_FALSE(kvtest::Holds(secondLog, "Generated Insert Query"));
    EXPECT_EQ(3, RowCount("Device"));
    EXPECT_EQ(5, RowCount("InstalledSoftware"));
    EXPECT_EQ(3, RowCount("QueryDetails"));
}

INSTANTIATE_TEST_SUITE_P(Databases, TamberStart, ::testing::ValuesIn(kvtest::kPersistEngines),
                         kvtest::EngineName);

// A server that is not there: no database is needed to see the start-up fail.
const char kDownServer[] =
    "Driver=PostgreSQL Unicode;Server=127.0.0.1;Port=1;Database=kvtest;Uid=kvtest;Pwd=secret";

TEST(TamberStartFailure, NamesTheStepThatFailedAndCanBeStoppedAfterwards) {
    struct Case {
        const char *what;
        const char *removed;     // a data file taken away
        const char *connparams;  // or connparams.txt replaced
        const char *step;
        const char *message;
    } cases[] = {
        {"no dictionary list", "datadictionary.txt", nullptr, "LoadAllDataDictFiles",
         "LoadAllDataDictFiles failed."},
        {"no data source map", "dsn_table_map.txt", nullptr, "LoadDataSourceMapEntryFromFile",
         "LoadDataSourceMapEntryFromFile failed."},
        {"no connection parameters", "connparams.txt", nullptr, "LoadConnParamsEntryFromFile",
         "LoadConnParamsEntryFromFile failed."},
        {"no connection entry", nullptr, "\n", "ConnParamsEntry",
         "No entires in data source vector. InitTamber failed."},
        {"a server that is down", nullptr, "down", "EstablishDBConnections",
         "EstablishDBConnections failed."},
    };
    for (const Case &c : cases) {
        kvtest::DataRoot root;
        root.CopyExamples();
        if (c.removed) std::filesystem::remove(root.file(c.removed));
        if (c.connparams) {
            root.Write(
                "connparams.txt",
                std::string(c.connparams) == "down"
                    ? std::string("ODBC 1 x x NULL 0 main ODBC PGSQL YES ") + kDownServer + "\n"
                    : std::string(c.connparams));
        }
        EXPECT_EQ(0, InitTamber(root.root().c_str())) << c.what;
        EXPECT_STREQ(c.step, GetInitTamberFailure()) << c.what;
        DeInitTamber();
        const std::string log = root.LogText();
        EXPECT_TRUE(kvtest::Holds(log, c.message)) << c.what << "\n" << log;
        EXPECT_FALSE(kvtest::Holds(log, "secret")) << "no password reaches the log";
    }
    // A log that cannot be opened fails the start without a message.
    kvtest::DataRoot root;
    root.CopyExamples();
    kvtest::WriteFile(root.root() + "/logs", "a file where the log folder belongs");
    EXPECT_EQ(0, InitTamber(root.root().c_str()));
    EXPECT_STREQ("OpenLogAppend", GetInitTamberFailure());
    DeInitTamber();
}

TEST(TamberStartFailure, TheFirstEntrysDialectDecidesWhenItIsOneOfTheFour) {
    struct Case {
        const char *what;
        const char *dialect;
        const char *useString;
        unsigned char mapValid;
        const char *deviceDialect;
    } cases[] = {
        {"pgsql by data source name", "pgsql", "NO", 1, "PGSQL"},
        {"pgsql by connection string", "pgsql", "YES", 1, "PGSQL"},
        {"SQLITE by connection string", "SQLITE", "yes", 1, "SQLITE"},
        {"another dialect name leaves the default", "ORACLE", "YES", 0, "MYSQL"},
    };
    for (const Case &c : cases) {
        kvtest::DataRoot root;
        root.CopyExamples();
        // The connection then fails: the dialect is chosen before the connections open.
        root.Write("connparams.txt", std::string("ODBC 1 nodsn x NULL 0 main ODBC ") + c.dialect +
                                         " " + c.useString + " " + kDownServer + "\n");
        SetDSNMapValid(0, 0);
        EXPECT_EQ(0, InitTamber(root.root().c_str())) << c.what;
        EXPECT_EQ(c.mapValid, gv_dsnMapValid) << c.what;
        EXPECT_STRCASEEQ(c.deviceDialect, GetDialectForTable("Device")) << c.what;
        DeInitTamber();
    }
    SetDSNMapValid(0, 0);
}

TEST(TamberStartFailure, ANullRootKeepsThePreviousOne) {
    static const char previous[] = "/kv/previous-root";
    SetTamberRoot(previous);
    kvtest::CapturedLog log(3);
    SetTamberRoot(nullptr);
    EXPECT_STREQ(previous, gv_rootPath);
    EXPECT_TRUE(kvtest::Holds(log.text(), "Default Path Used"));
    gv_rootPath = nullptr;
}

}  // namespace
