// The connection layer over the ODBC provider on the real databases: pooled connections
// taken and released by several threads at once, statements and transactions through them.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <set>
#include <thread>

#include "db/conn_params.h"
#include "db/connection_pool.h"
#include "db/providers.h"
#include "tests/support/test_databases.h"
#include "tests/support/test_support.h"

namespace {

struct PoolEngine {
    const char *name;
    const char *variable;
    const char *dialect;
    bool sqlite;
};

void PrintTo(const PoolEngine &engine, std::ostream *out) {
    *out << engine.name;
}

class PooledDatabase : public ::testing::TestWithParam<PoolEngine> {
  protected:
    void SetUp() override {
        std::string setting;
        KV_REQUIRE_DATABASE(GetParam().variable, setting);
        std::string connection =
            GetParam().sqlite
                ? "Driver=" + setting + ";Database=" + dir_ / "pool.db" + ";FKSupport=1"
                : setting;
        FreeDBProviders();
        ASSERT_TRUE(InitDBProvider());
        ASSERT_TRUE(InsertConnParamsEntry(
            CreateConnParamsEntry("ODBC", 1, "kvtest", "kvtest", "NULL", 0, "main", 1,
                                  connection.c_str(), "ODBC", GetParam().dialect)));
        table_ = "kvp_pool_" + std::to_string(getpid());
    }
    void TearDown() override {
        if (ConnectionHandle *h = GetConnectionHandle("main")) {
            ExecuteUpdate(h, ("drop table if exists " + table_).c_str());
            ReleaseConnectionHandle("main");
        }
        CloseAllDBConnections();
        FreeAllConnParamsEntries();
        FreeDBProviders();
    }
    // The test table holds one row, whose id is 2 (the committed one of a rolled-back 1).
    void ExpectOnlyIdTwo(ConnectionHandle *h) {
        ResultSet *rows = ExecuteQuery(h, ("select id from " + table_).c_str());
        ASSERT_NE(nullptr, rows);
        ASSERT_EQ(1, rows->rowCount);
        ASSERT_NE(nullptr, NextResultRow(rows));
        int32_t length = 0;
        unsigned char *id = GetResultValueByName("id", &length, rows);
        ASSERT_NE(nullptr, id);
        EXPECT_EQ(2, *reinterpret_cast<int32_t *>(id));
        FreeResultSet(rows);
    }
    kvtest::TempDir dir_;
    std::string table_;
};

TEST_P(PooledDatabase, ThreadsTakeAndReleasePooledConnectionsAtOnce) {
    ASSERT_TRUE(EstablishDBConnectionPool(3));
    ConnectionHandle *setup = GetConnectionHandle("main");
    ASSERT_NE(nullptr, setup);
    ASSERT_TRUE(ExecuteUpdate(setup, ("create table " + table_ + " (id int, worker int)").c_str()));
    ASSERT_TRUE(ReleaseConnectionHandle("main"));

    constexpr int kThreads = 6, kRounds = 5;
    std::atomic<int> inserted{0}, failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < kRounds;) {
                ConnectionHandle *h = GetConnectionHandle("main");
                if (h == nullptr) {  // all three are held by other threads
                    std::this_thread::yield();
                    continue;
                }
                std::string sql = "insert into " + table_ + " values(" +
                                  std::to_string(t * 100 + round) + ", " + std::to_string(t) + ")";
                if (ExecuteUpdate(h, sql.c_str())) {
                    ++inserted;
                } else {
                    ++failures;
                }
                ReleaseConnectionHandle("main");
                ++round;
            }
        });
    }
    for (auto &th : threads) th.join();
    EXPECT_EQ(0, failures);
    EXPECT_EQ(kThreads * kRounds, inserted);

    ConnectionHandle *h = GetConnectionHandle("main");
    ResultSet *rows = ExecuteQuery(h, ("select id from " + table_).c_str());
    ASSERT_NE(nullptr, rows);
    EXPECT_EQ(kThreads * kRounds, rows->rowCount);
    FreeResultSet(rows);
    ReleaseConnectionHandle("main");
}

TEST_P(PooledDatabase, TransactionsCommitAndRollBackThroughThePool) {
    ASSERT_TRUE(EstablishDBConnections());
    ConnectionHandle *h = GetConnectionHandle("main");
    ASSERT_TRUE(ExecuteUpdate(h, ("create table " + table_ + " (id int)").c_str()));
    ASSERT_TRUE(BeginTransaction(h));
    ASSERT_TRUE(ExecuteUpdate(h, ("insert into " + table_ + " values(1)").c_str()));
    ASSERT_TRUE(RollbackTransaction(h));
    ASSERT_TRUE(BeginTransaction(h));
    ASSERT_TRUE(ExecuteUpdate(h, ("insert into " + table_ + " values(2)").c_str()));
    ASSERT_TRUE(CommitTransaction(h));
    ExpectOnlyIdTwo(h);
    EXPECT_FALSE(ExecuteUpdate(h, "this is not sql"))
        << "a refused statement is a failure, not a crash";
    ReleaseConnectionHandle("main");
}

// One connection shared by every thread: a statement another thread runs while a transaction
// is open waits for it to end, so the rollback takes back the transaction's rows only.
TEST_P(PooledDatabase, AnotherThreadsStatementWaitsForAnOpenTransaction) {
    ASSERT_TRUE(EstablishDBConnections());
    ConnectionHandle *h = GetConnectionHandle("main");
    ASSERT_TRUE(ExecuteUpdate(h, ("create table " + table_ + " (id int)").c_str()));
    ASSERT_TRUE(BeginTransaction(h));
    EXPECT_TRUE(InOwnTransaction(h));
    ASSERT_TRUE(ExecuteUpdate(h, ("insert into " + table_ + " values(1)").c_str()));
    std::atomic<bool> written{false};
    std::thread other([&] {
        ConnectionHandle *shared = GetConnectionHandle("main");
        EXPECT_EQ(h, shared);
        EXPECT_FALSE(InOwnTransaction(shared));
        EXPECT_TRUE(ExecuteUpdate(shared, ("insert into " + table_ + " values(2)").c_str()));
        written = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_FALSE(written) << "the statement ran inside the other thread's transaction";
    ASSERT_TRUE(RollbackTransaction(h));
    EXPECT_FALSE(InOwnTransaction(h));
    other.join();
    EXPECT_TRUE(written);
    ExpectOnlyIdTwo(h);
    ReleaseConnectionHandle("main");
}

TEST(PooledDatabaseErrors, AServerThatIsDownOrAWrongPasswordFailsToEstablish) {
    FreeDBProviders();
    ASSERT_TRUE(InitDBProvider());
    ASSERT_TRUE(InsertConnParamsEntry(CreateConnParamsEntry(
        "ODBC", 1, "kvtest", "kvtest", "NULL", 0, "down", 1,
        "Driver=PostgreSQL "
        "Unicode;Server=127.0.0.1;Port=1;Database=kvtest;Uid=kvtest;Pwd=secret-word",
        "ODBC", "PGSQL")));
    kvtest::CapturedLog log(4);
    EXPECT_FALSE(EstablishDBConnections());
    EXPECT_EQ(nullptr, GetConnectionHandle("down"));
    EXPECT_NE(std::string::npos, log.text().find("Cannot establish connection."));
    EXPECT_EQ(std::string::npos, log.text().find("secret-word")) << "no password reaches the log";
    FreeAllConnParamsEntries();
    FreeDBProviders();
}

INSTANTIATE_TEST_SUITE_P(
    Databases, PooledDatabase,
    ::testing::Values(PoolEngine{"SQLite", "KV_TEST_SQLITE_DRIVER", "SQLITE", true},
                      PoolEngine{"PostgreSQL", "KV_TEST_PGSQL_CONN", "PGSQL", false},
                      PoolEngine{"MariaDB", "KV_TEST_MYSQL_CONN", "MYSQL", false}),
    [](const ::testing::TestParamInfo<PoolEngine> &info) { return std::string(info.param.name); });

}  // namespace
