// Connection parameters, the pool's hand-out rules, and the statement dispatch, over a
// stand-in provider that records what reaches it.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>
#include <thread>

#include "db/conn_params.h"
#include "db/connection_pool.h"
#include "db/providers.h"
#include "db/statements.h"
#include "tests/support/test_support.h"

namespace {

struct Recorded {
    std::mutex mu;
    std::vector<std::string> calls;
    int opens = 0;
    int closes = 0;
    bool failOpen = false;
} g_recorded;

void Record(const std::string &call) {
    std::lock_guard<std::mutex> lock(g_recorded.mu);
    g_recorded.calls.push_back(call);
}

ConnectionHandle *FakeOpen(ConnParamsEntry *entry) {
    if (g_recorded.failOpen) return nullptr;
    auto *handle = static_cast<ConnectionHandle *>(calloc(1, sizeof(ConnectionHandle)));
    handle->connectionName = strdup(entry->connectionName);
    std::lock_guard<std::mutex> lock(g_recorded.mu);
    ++g_recorded.opens;
    return handle;
}
int FakeUpdate(ConnectionHandle *, const char *sql) {
    Record(std::string("update ") + sql);
    return 1;
}
ResultSet *FakeQuery(ConnectionHandle *, const char *sql) {
    Record(std::string("query ") + sql);
    return nullptr;
}
int FakeClose(ConnectionHandle *) {
    std::lock_guard<std::mutex> lock(g_recorded.mu);
    ++g_recorded.closes;
    return 1;
}
int FakeBegin(ConnectionHandle *) {
    Record("begin");
    return 1;
}
int FakeCommit(ConnectionHandle *) {
    Record("commit");
    return 1;
}
int FakeRollback(ConnectionHandle *) {
    Record("rollback");
    return 1;
}

const DBProvider kFake = {"FAKE",    FakeOpen,   FakeUpdate,   FakeQuery, FakeClose,
                          FakeBegin, FakeCommit, FakeRollback, nullptr,   nullptr};

uint32_t g_now = 1000000;
uint32_t FakeClock() {
    return g_now;
}

class PoolTest : public ::testing::Test {
  protected:
    void SetUp() override {
        FreeDBProviders();
        InitConnectionVectors();
        ASSERT_TRUE(RegisterDBProvider(&kFake));
        ASSERT_TRUE(LoadDBProvider("FAKE"));
        SetPoolClock(FakeClock);
        g_now = 1000000;
        g_recorded.calls.clear();
        g_recorded.opens = g_recorded.closes = 0;
        g_recorded.failOpen = false;
    }
    void TearDown() override {
        CloseAllDBConnections();
        FreeAllConnParamsEntries();
        FreeDBProviders();
        SetPoolClock(nullptr);
    }
    void AddEntry(const char *name) {
        ASSERT_TRUE(InsertConnParamsEntry(CreateConnParamsEntry(
            "x", 1, "dsn", "user", "NULL", 0, name, 0, nullptr, "FAKE", "SQLITE")));
    }
};

TEST(ConnParams, ReadsEntriesTokenByToken) {
    kvtest::TempDir dir;
    std::string longToken(256, 'k');
    kvtest::WriteFile(dir / "connparams.txt",
                      "ODBC 1 dsnA userA NULL x connA ODBC PGSQL NO ignored rest\n"
                      "ODBC 2 dsnB\n  userB null x connB ODBC MYSQL yes Driver=X;Server=1.2.3.4\n"
                      "ODBC 3 " +
                          longToken +
                          " u p x connC ODBC SQLITE NO\n"
                          "ODBC 4 dsnD userD pw x connD ODBC FIREBIRD NO\n"
                          "ODBC 5 dsnE incomplete\n");
    kvtest::CapturedLog log(2);
    ASSERT_TRUE(LoadConnParamsEntryFromFile((dir / "connparams.txt").c_str()));
    ConnParamsEntry *a = GetConnParamsEntry("connA");
    ASSERT_NE(nullptr, a);
    EXPECT_EQ(nullptr, a->password) << "\"NULL\" means no password";
    EXPECT_EQ(0, a->useConnectionString);
    EXPECT_EQ(nullptr, a->connectionString);
    EXPECT_STREQ("PGSQL", a->dialect);
    ConnParamsEntry *b = GetConnParamsEntry("connB");
    ASSERT_NE(nullptr, b);
    EXPECT_STREQ("null", b->password);
    EXPECT_EQ(1, b->useConnectionString);
    EXPECT_STREQ("Driver=X;Server=1.2.3.4", b->connectionString);
    EXPECT_EQ(nullptr, GetConnParamsEntry("connC")) << "an oversized token refuses its entry";
    EXPECT_NE(nullptr, GetConnParamsEntry("connD"));
    EXPECT_EQ(3, gv_dataSourceVect.count) << "the incomplete last entry is dropped";
    EXPECT_STREQ("connA", GetDefaultConnectionName());
    EXPECT_STREQ("MYSQL", GetDialectForConnection("connB"));
    EXPECT_EQ(nullptr, GetConnParamsEntry("conna")) << "names compare with case";
    EXPECT_NE(std::string::npos, log.text().find("refused"));
    FreeAllConnParamsEntries();
    EXPECT_FALSE(LoadConnParamsEntryFromFile((dir / "missing.txt").c_str()));
}

TEST_F(PoolTest, ANullNameMeansTheOnlyConnectionName) {
    AddEntry("one");
    ASSERT_TRUE(EstablishDBConnections());
    EXPECT_NE(nullptr, GetConnectionHandle(nullptr));
    AddEntry("two");
    CloseAllDBConnections();
    ASSERT_TRUE(EstablishDBConnections());
    EXPECT_EQ(nullptr, GetConnectionHandle(nullptr));
    EXPECT_NE(nullptr, GetConnectionHandle("two"));
    EXPECT_EQ(nullptr, GetConnectionHandle("three"));
}

TEST_F(PoolTest, AThreadKeepsItsConnectionUntilItReleasesIt) {
    AddEntry("db");
    ASSERT_TRUE(EstablishDBConnectionPool(2));
    ConnectionHandle *mine = GetConnectionHandle("db");
    ASSERT_NE(nullptr, mine);
    EXPECT_EQ(mine, GetConnectionHandle("db"));
    ConnectionHandle *theirs = nullptr, *third = reinterpret_cast<ConnectionHandle *>(1);
    std::thread([&] { theirs = GetConnectionHandle("db"); }).join();
    std::thread([&] { third = GetConnectionHandle("db"); }).join();
    EXPECT_NE(nullptr, theirs);
    EXPECT_NE(mine, theirs);
    EXPECT_EQ(nullptr, third) << "both connections are held";
    EXPECT_TRUE(ReleaseConnectionHandle("db"));
    EXPECT_FALSE(ReleaseConnectionHandle("db")) << "nothing left to release for this thread";
}

TEST_F(PoolTest, ASingleConnectionIsSharedByAllThreads) {
    AddEntry("db");
    ASSERT_TRUE(EstablishDBConnections());
    ConnectionHandle *mine = GetConnectionHandle("db");
    ConnectionHandle *theirs = nullptr;
    std::thread([&] { theirs = GetConnectionHandle("db"); }).join();
    EXPECT_EQ(mine, theirs);
    bool released = false;
    std::thread([&] { released = ReleaseConnectionHandle("db"); }).join();
    EXPECT_TRUE(released);
    EXPECT_EQ(CONNECTION_FREE, mine->owner);
}

TEST_F(PoolTest, ConnectionsOlderThanTheLimitAreReplaced) {
    AddEntry("db");
    ASSERT_TRUE(EstablishDBConnectionPool(2));
    ConnectionHandle *first = GetConnectionHandle("db");
    g_now += CONNECTION_MAX_AGE;
    EXPECT_EQ(first, GetConnectionHandle("db")) << "exactly at the limit it is kept";
    g_now += 1;
    ConnectionHandle *fresh = GetConnectionHandle("db");
    ASSERT_NE(nullptr, fresh);
    EXPECT_EQ(g_now, fresh->openedAt);
    EXPECT_EQ(3, g_recorded.opens);
    EXPECT_EQ(1, g_recorded.closes) << "the stale connection is closed";
    EXPECT_NE(CONNECTION_FREE, fresh->owner) << "the replacement is held by the caller";
    EXPECT_EQ(fresh, GetConnectionHandle("db"));
}

TEST_F(PoolTest, PoolOfZeroMakesFiveAttempts) {
    AddEntry("db");
    ASSERT_TRUE(EstablishDBConnectionPool(0));
    EXPECT_EQ(5, g_recorded.opens);
}

TEST_F(PoolTest, AFailedOpenStopsEstablishing) {
    AddEntry("db");
    g_recorded.failOpen = true;
    kvtest::CapturedLog log(2);
    EXPECT_FALSE(EstablishDBConnections());
    EXPECT_NE(std::string::npos, log.text().find("Cannot establish connection."));
    EXPECT_EQ(0, gv_connectionPoolVect.count);
}

TEST_F(PoolTest, ClaimingAFreeConnectionIsExclusive) {
    AddEntry("db");
    ASSERT_TRUE(EstablishDBConnectionPool(4));
    std::mutex mu;
    std::multiset<ConnectionHandle *> claimed;
    std::atomic<int> nulls{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&] {
            ConnectionHandle *h = GetConnectionHandle("db");
            std::lock_guard<std::mutex> lock(mu);
            if (h) {
                claimed.insert(h);
            } else {
                ++nulls;
            }
        });
    }
    for (auto &t : threads) t.join();
    EXPECT_EQ(4u, claimed.size());
    for (ConnectionHandle *h : claimed)
        EXPECT_EQ(1u, claimed.count(h)) << "a handle went to two threads";
    EXPECT_EQ(4, nulls);
}

TEST_F(PoolTest, StatementsAndTransactionsReachTheProvider) {
    AddEntry("db");
    ASSERT_TRUE(EstablishDBConnections());
    ConnectionHandle *h = GetConnectionHandle("db");
    kvtest::CapturedLog log(2);
    EXPECT_EQ(0, ExecuteUpdate(nullptr, "x"));
    EXPECT_EQ(0, ExecuteUpdate(h, nullptr));
    EXPECT_EQ(nullptr, ExecuteQuery(nullptr, "y"));
    EXPECT_EQ(
        (std::vector<std::string>{"ERROR ConnectionHandle NULL in ExecuteUpdate for Query x ",
                                  "ERROR  No Query To be Updated ",
                                  "ERROR ConnectionHandle NULL in ExecuteQuery for Query y "}),
        log.Lines());
    EXPECT_FALSE(CommitTransaction(h)) << "no transaction begun";
    EXPECT_FALSE(RollbackTransaction(h));
    EXPECT_TRUE(BeginTransaction(h));
    EXPECT_EQ(1, h->inTransaction);
    EXPECT_EQ(1, ExecuteUpdate(h, "insert"));
    EXPECT_TRUE(CommitTransaction(h));
    EXPECT_EQ(0, h->inTransaction);
    EXPECT_EQ((std::vector<std::string>{"begin", "update insert", "commit"}), g_recorded.calls);
}

TEST_F(PoolTest, CreateDBRefusesNamesThatAreNotPlainIdentifiers) {
    AddEntry("db");
    ASSERT_TRUE(EstablishDBConnections());
    EXPECT_TRUE(CreateDB("inventory_2"));
    EXPECT_FALSE(CreateDB("x; drop table host"));
    EXPECT_FALSE(CreateDB(""));
    EXPECT_EQ((std::vector<std::string>{"update create database inventory_2"}), g_recorded.calls);
}

TEST(Providers, SlotsAndTheDialectChoice) {
    FreeDBProviders();
    ASSERT_TRUE(RegisterDBProvider(&kFake));
    EXPECT_EQ(&kFake, GetDBProvider("FAKE"));
    EXPECT_EQ(nullptr, GetDBProvider("fake")) << "provider names compare with case";
    EXPECT_TRUE(LoadDBProvider("FAKE"));
    EXPECT_EQ(0, GetDBProviderIndex("FAKE"));
    EXPECT_FALSE(LoadDBProvider("NONE"));
    EXPECT_EQ(-1, GetDBProviderIndex("NONE"));
    EXPECT_TRUE(UnloadDBProvider("FAKE"));
    EXPECT_EQ(-1, GetDBProviderIndex("FAKE"));

    kvtest::CapturedLog log(2);
    SetDSNMapValid(7, 0);
    EXPECT_NE(std::string::npos, log.text().find("Invalid Status"));
    SetDSNMapValid(0, 2);
    EXPECT_STREQ("FIREBIRD", GetDialectForTable("anything"));
    SetDSNMapValid(0, 3);
    EXPECT_STREQ("SQLITE", GetDialectForTable("anything"));
    FreeDBProviders();
}

}  // namespace
