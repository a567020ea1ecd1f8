// The sequence generator on the real databases: batches reserved in SeqGenState, and several
// processes reserving from one database at the same time without ever sharing a number.
#include "db/sequence_store.h"

#include <gtest/gtest.h>
#include <stdio.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "db/conn_params.h"
#include "db/connection_pool.h"
#include "db/providers.h"
#include "store/sequence_generator.h"
#include "tests/support/test_databases.h"
#include "tests/support/test_support.h"

namespace {

struct Engine {
    const char *name;
    const char *variable;
    const char *dialect;
    bool sqlite;
};

void PrintTo(const Engine &engine, std::ostream *out) {
    *out << engine.name;
}

// Opens the pool on one connection and starts the generator over it.
bool Open(const std::string &connection, const char *dialect) {
    FreeDBProviders();
    if (!InitDBProvider()) return false;
    if (!InsertConnParamsEntry(CreateConnParamsEntry("ODBC", 1, "kvtest", "kvtest", "NULL", 0,
                                                     "main", 1, connection.c_str(), "ODBC",
                                                     dialect))) {
        return false;
    }
    if (!EstablishDBConnections()) return false;
    RegisterSequenceStore();
    return InitSeqGenTable() == 1;
}

void Close() {
    FreeSeqGenTable();
    SetSeqGenReserveFn(nullptr);
    CloseAllDBConnections();
    FreeAllConnParamsEntries();
    FreeDBProviders();
}

class SequenceStore : public ::testing::TestWithParam<Engine> {
  protected:
    void SetUp() override {
        std::string setting;
        KV_REQUIRE_DATABASE(GetParam().variable, setting);
        connection_ = GetParam().sqlite
                          ? "Driver=" + setting + ";Database=" + dir_ / "seq.db" + ";Timeout=60000"
                          : setting;
        // Names of this process only: other runs may share the server's table.
        prefix_ = "kvseq_" + std::to_string(getpid()) + "_";
        ASSERT_TRUE(Open(connection_, GetParam().dialect));
        // The SQLite file is this test's own: no key on SEQNAME there, so the reservation
        // is seen not to rely on one. The servers' table is shared with other runs and keeps
        // the library dictionary's shape.
        ASSERT_TRUE(Run(GetParam().sqlite
                            ? "create table SeqGenState (SEQNAME varchar(64), "
                              "CURRENTBATCHEND integer)"
                            : "create table if not exists SeqGenState (SEQNAME varchar(64) not "
                              "null primary key, CURRENTBATCHEND integer not null)"));
    }
    void TearDown() override {
        if (ConnectionHandle *h = GetConnectionHandle("main")) {
            ExecuteUpdate(
                h, ("delete from SeqGenState where SEQNAME like '" + prefix_ + "%'").c_str());
            ReleaseConnectionHandle("main");
        }
        Close();
    }
    bool Run(const std::string &sql) {
        ConnectionHandle *h = GetConnectionHandle("main");
        bool ok = h != nullptr && ExecuteUpdate(h, sql.c_str());
        ReleaseConnectionHandle("main");
        return ok;
    }
    // The sequence's CURRENTBATCHEND values, one per row.
    std::vector<long long> Ends(const std::string &sequence) {
        std::vector<long long> ends;
        ConnectionHandle *h = GetConnectionHandle("main");
        std::string select =
            "select CURRENTBATCHEND from SeqGenState where SEQNAME = '" + sequence + "'";
        ResultSet *set = ExecuteQuery(h, select.c_str());
        EXPECT_NE(nullptr, set);
        while (set != nullptr && NextResultRow(set) != nullptr) {
            int32_t length = 0;
            unsigned char *value = GetResultValueByName("CURRENTBATCHEND", &length, set);
            ends.push_back(
                ReadStoredInteger(value, length, GetResultColumnType("CURRENTBATCHEND", set)));
        }
        FreeResultSet(set);
        ReleaseConnectionHandle("main");
        return ends;
    }
    const SeqGenBatch *Batch(const std::string &sequence) {
        return static_cast<const SeqGenBatch *>(GetHashValue(GetSeqGenTable(), sequence.c_str()));
    }

    kvtest::TempDir dir_;
    std::string connection_;
    std::string prefix_;
};

TEST_P(SequenceStore, NewSequenceThenRenewal) {
    const std::string name = prefix_ + "new";
    ASSERT_EQ(1, UpdateSeqGen(nullptr, name.c_str()));
    EXPECT_EQ(1, Batch(name)->next);
    EXPECT_EQ(300, Batch(name)->last);
    EXPECT_EQ(std::vector<long long>{300}, Ends(name));
    ColumnDefn *column =
        CreateColumnDefn("id", VEL_SQL_INT, nullptr, 0, 0, name.c_str(), nullptr, 0, 1, nullptr);
    for (int expected = 1; expected <= 301; ++expected) {
        ASSERT_EQ(expected, GenerateID(nullptr, column));
    }
    EXPECT_EQ(std::vector<long long>{600}, Ends(name));
    FreeColumnDefn(column);
}

TEST_P(SequenceStore, ExistingRowAndQuotedName) {
    const std::string name = prefix_ + "it's";
    ASSERT_TRUE(Run("insert into SeqGenState values ('" + prefix_ + "it''s', 900)"));
    ASSERT_EQ(1, UpdateSeqGen(nullptr, name.c_str()));
    EXPECT_EQ(901, Batch(name)->next);
    EXPECT_EQ(1200, Batch(name)->last);
    EXPECT_EQ(std::vector<long long>{1200}, Ends(prefix_ + "it''s"));
}

// Several processes start one new sequence at the same moment and each takes more than a
// batch: every number is handed out once, and the row ends at the sum of all batches.
TEST_P(SequenceStore, ProcessesNeverShareANumber) {
    const std::string name = prefix_ + "shared";
    constexpr int kProcesses = 4, kEach = 3000, kBatches = 10;
    Close();  // children open their own connections; none may be inherited
    int start[2];
    ASSERT_EQ(0, pipe(start));
    std::vector<pid_t> children;
    for (int p = 0; p < kProcesses; ++p) {
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            close(start[1]);
            int status = 1;
            if (Open(connection_, GetParam().dialect)) {
                ColumnDefn *column = CreateColumnDefn("id", VEL_SQL_INT, nullptr, 0, 0,
                                                      name.c_str(), nullptr, 0, 1, nullptr);
                char go;
                if (read(start[0], &go, 1) == 1 && UpdateSeqGen(nullptr, name.c_str())) {
                    std::ofstream out(dir_ / ("numbers." + std::to_string(p)));
                    for (int i = 0; i < kEach; ++i) out << GenerateID(nullptr, column) << "\n";
                    status = out.good() ? 0 : 1;
                }
                FreeColumnDefn(column);
                Close();
            }
            _exit(status);
        }
        children.push_back(pid);
    }
    close(start[0]);
    ASSERT_EQ(kProcesses, int(write(start[1], "gogo", kProcesses)));
    close(start[1]);
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(pid, waitpid(pid, &status, 0));
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child " << pid;
    }

    std::set<long long> numbers;
    size_t count = 0;
    for (int p = 0; p < kProcesses; ++p) {
        std::ifstream in(dir_ / ("numbers." + std::to_string(p)));
        for (long long n; in >> n; ++count) {
            EXPECT_GT(n, 0);
            numbers.insert(n);
        }
    }
    EXPECT_EQ(size_t(kProcesses * kEach), count);
    EXPECT_EQ(count, numbers.size()) << "a number was handed out twice";
    ASSERT_TRUE(Open(connection_, GetParam().dialect));
    // Each process reserved its first batch and nine renewals.
    EXPECT_EQ(std::vector<long long>{kProcesses * kBatches * 300}, Ends(name));
    EXPECT_LE(*numbers.rbegin(), kProcesses * kBatches * 300);
}

INSTANTIATE_TEST_SUITE_P(
    Engines, SequenceStore,
    ::testing::Values(Engine{"PostgreSQL", "KV_TEST_PGSQL_CONN", "PGSQL", false},
                      Engine{"MariaDB", "KV_TEST_MYSQL_CONN", "MYSQL", false},
                      Engine{"SQLite", "KV_TEST_SQLITE_DRIVER", "SQLITE", true}),
    [](const auto &info) { return std::string(info.param.name); });

// A database without SeqGenState: the reservation fails at once, with the message, and the
// sequence gets no batch.
TEST(SequenceStoreErrors, MissingTable) {
    std::string driver;
    KV_REQUIRE_DATABASE("KV_TEST_SQLITE_DRIVER", driver);
    kvtest::TempDir dir;
    ASSERT_TRUE(Open("Driver=" + driver + ";Database=" + dir / "empty.db", "SQLITE"));
    {
        kvtest::CapturedLog log(2);
        EXPECT_EQ(0, UpdateSeqGen(nullptr, "s"));
        EXPECT_NE(std::string::npos, log.text().find("Table doesn't Exists for UpdateSeqGen"));
        EXPECT_EQ(std::string::npos, log.text().find("attempt"));  // not retried
    }
    ColumnDefn *column =
        CreateColumnDefn("id", VEL_SQL_INT, nullptr, 0, 0, "s", nullptr, 0, 1, nullptr);
    EXPECT_EQ(-1, GenerateID(nullptr, column));
    FreeColumnDefn(column);
    // No connection at all.
    EXPECT_EQ(0, UpdateSeqGen("no_table_in_the_map", "s"));
    Close();
}

}  // namespace
