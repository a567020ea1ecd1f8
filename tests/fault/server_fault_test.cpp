// The library while its database server goes away: stopped before a call, restarted between
// two calls, killed in the middle of a save. Each test runs its own PostgreSQL or MariaDB
// (private_server.h), never the shared ones. After each fault the failure is logged, nothing
// crashes, no pending row is marked saved or lost, and once the server is back the next save
// writes what was left, on the pooled connection the library already had.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <algorithm>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <thread>

#include "dataobject/data_object.h"
#include "dataobject/data_object_save.h"
#include "dataobject/row_collection.h"
#include "dataobject/row_unit.h"
#include "persist/table_load.h"
#include "persist/table_save.h"
#include "persist/tamber_init.h"
#include "store/column_defn.h"
#include "store/sequence_generator.h"
#include "store/table_data.h"
#include "store/table_xml.h"
#include "tests/fault/private_server.h"
#include "tests/persist/persist_fixture.h"

namespace {

using kvtest::PrivateServer;
using kvtest::ServerKind;
using Halt = PrivateServer::Halt;

const char kTables[] = R"(<?xml version="1.0"?>
<data-dictionary>
  <table name="SeqGenState">
    <columns>
      <column name="SEQNAME"><data-type>CHAR</data-type><max-size>64</max-size>
        <nullable>false</nullable></column>
      <column name="CURRENTBATCHEND"><data-type>INTEGER</data-type>
        <nullable>false</nullable></column>
    </columns>
    <primary-key><primary-key-column>SEQNAME</primary-key-column></primary-key>
  </table>
  <table name="Item">
    <columns>
      <column name="ID"><data-type>INTEGER</data-type><nullable>false</nullable>
        <uniquevalue-generation><generator-name>ITEM_SEQ</generator-name>
        </uniquevalue-generation></column>
      <column name="NAME"><data-type>CHAR</data-type><max-size>40</max-size>
        <nullable>false</nullable></column>
    </columns>
    <primary-key><primary-key-column>ID</primary-key-column></primary-key>
  </table>
</data-dictionary>
)";

struct Engine {
    const char *name;
    ServerKind kind;
};

void PrintTo(const Engine &engine, std::ostream *out) {
    *out << engine.name;
}

// A row's ID as the library holds it (a 4-byte number).
int RowId(const RowObject *row) {
    return *static_cast<const int *>(row->values[0]);
}

// The in-memory rows of Item: ID -> state.
std::map<int, int> States() {
    std::map<int, int> states;
    const TableData *table = GetTableDataByName("Item");
    for (const RowObject *row = table ? table->firstRow : nullptr; row; row = row->next) {
        states[RowId(row)] = row->state;
    }
    return states;
}

RowObject *FindRow(int id) {
    const TableData *table = GetTableDataByName("Item");
    for (RowObject *row = table ? table->firstRow : nullptr; row; row = row->next) {
        if (RowId(row) == id) return row;
    }
    return nullptr;
}

class ServerFault : public ::testing::TestWithParam<Engine> {
  protected:
    void SetUp() override {
        server_ = std::make_unique<PrivateServer>(GetParam().kind);
        const std::string unavailable = server_->Unavailable();
        if (!unavailable.empty()) GTEST_SKIP() << unavailable;
        const std::string failure = server_->Start();
        ASSERT_EQ("", failure);
        root_.Write("datadictionary.txt", "tables.xml\n");
        root_.Write("tables.xml", kTables);
        root_.Write("dsn_table_map.txt", "SeqGenState main\nItem main\n");
        root_.Write("loadtablelist.txt", "Item\n");
        root_.Write("connparams.txt", std::string("ODBC 1 kv kv NULL 0 main ODBC ") +
                                          server_->dialect() + " YES " + server_->connection() +
                                          "\n");
        ASSERT_EQ(1, InitTamber(root_.root().c_str())) << root_.LogText();
        started_ = true;
    }
    void TearDown() override {
        if (started_) DeInitTamber();
    }

    // Adds a row in state new; a null id takes the next number of the sequence.
    RowObject *Add(const char *name, const char *id = nullptr) {
        const TableDefn *defn = GetTableDefn("Item");
        auto **values = static_cast<void **>(calloc(2, sizeof(void *)));
        auto *lengths = static_cast<int *>(calloc(2, sizeof(int)));
        auto *idColumn = static_cast<ColumnDefn *>(defn->columns->head->element);
        auto *nameColumn = static_cast<ColumnDefn *>(defn->columns->head->next->element);
        if (id != nullptr) {
            EXPECT_EQ(1,
                      AllocateAndCopyColumnValue(&values[0], &lengths[0], idColumn->dataType, id));
        }
        EXPECT_EQ(1,
                  AllocateAndCopyColumnValue(&values[1], &lengths[1], nameColumn->dataType, name));
        RowObject *row = CreateNewRowObject(values, lengths);
        EXPECT_NE(nullptr, row);
        EXPECT_EQ(1, AddNewRow("Item", row));
        return row;
    }
    RowObject *Find(int id) {
        const TableData *table = GetTableDataByName("Item");
        for (RowObject *row = table ? table->firstRow : nullptr; row; row = row->next) {
            if (RowId(row) == id) return row;
        }
        return nullptr;
    }
    // The stored rows of Item as "ID:NAME", ordered by ID.
    std::set<std::string> Stored() {
        std::string out;
        EXPECT_TRUE(server_->Admin("select ID, NAME from Item order by ID", &out)) << out;
        std::set<std::string> rows;
        for (const std::string &line : kvtest::SplitLines(out)) {
            if (line.empty()) continue;
            std::string row = line;
            std::replace(row.begin(), row.end(), '\t', ':');
            rows.insert(row);
        }
        return rows;
    }
    std::set<int> StoredIds() {
        std::set<int> ids;
        for (const std::string &row : Stored()) ids.insert(atoi(row.c_str()));
        return ids;
    }
    size_t LogMark() const { return root_.LogText().size(); }
    std::string LogSince(size_t mark) const { return root_.LogText().substr(mark); }
    const ColumnDefn *IdColumn() const {
        return static_cast<const ColumnDefn *>(GetTableDefn("Item")->columns->head->element);
    }

    kvtest::DataRoot root_;
    std::unique_ptr<PrivateServer> server_;
    bool started_ = false;
};

TEST_P(ServerFault, CallsWhileTheServerIsDownFailAndTheNextSaveAfterItWritesWhatIsLeft) {
    for (const char *name : {"one", "two", "three"}) Add(name);
    ASSERT_EQ(1, SaveTable("Item"));
    ASSERT_EQ((std::set<std::string>{"1:one", "2:two", "3:three"}), Stored());

    server_->Stop(Halt::kGraceful);
    size_t mark = LogMark();
    // Pending changes of every kind while the server is away.
    Add("four");
    Add("five");
    const char renamed[] = "uno";
    ASSERT_EQ(1, UpdateRowObject("Item", Find(1), "NAME", renamed, int(sizeof renamed - 1)));
    ASSERT_EQ(1, DeleteRowObject("Item", Find(2)));
    const std::map<int, int> pending = {{1, ROW_STATE_STORED | ROW_STATE_MODIFIED},
                                        {2, ROW_STATE_STORED | ROW_STATE_DELETED},
                                        {3, ROW_STATE_STORED},
                                        {4, ROW_STATE_NEW},
                                        {5, ROW_STATE_NEW}};
    ASSERT_EQ(pending, States());
    EXPECT_EQ(1, SaveTable("Item")) << "refused rows do not fail the save";
    EXPECT_EQ(pending, States()) << "no row is marked saved while its statement failed";
    std::string log = LogSince(mark);
    EXPECT_TRUE(kvtest::Holds(log, "Error in executing update query")) << log;
    EXPECT_TRUE(kvtest::Holds(log, "QUERY : insert into")) << log;
    EXPECT_TRUE(kvtest::Holds(log, "The connection to the database was lost")) << log;

    // A load fails and leaves the loaded table as it was.
    EXPECT_EQ(0, LoadTable("Item"));
    EXPECT_EQ(pending, States());

    // The batch runs out while the server is away: the renewal fails after a bounded number
    // of tries, and so does every later call.
    int last = 0;
    for (int n = 0; n < 300; ++n) {
        const int id = GenerateID("Item", IdColumn());
        if (id < 0) break;
        EXPECT_GT(id, last);
        last = id;
    }
    EXPECT_EQ(300, last) << "the batch reserved at start-up is handed out in full";
    EXPECT_EQ(-1, GenerateID("Item", IdColumn()));
    EXPECT_TRUE(kvtest::Holds(LogSince(mark), "Cannot renew the batch of sequence ITEM_SEQ"));

    // A data object saved meanwhile keeps its row for the next save.
    DataObject *object = CreateDataObject();
    ASSERT_NE(nullptr, object);
    ASSERT_EQ(1, AddTableToDO(object, "Item", nullptr));
    ASSERT_EQ(1, InsertStringRowIntoDO(object, "Item",
                                       MakeStringColumnValuesList(object, 2, "1000", "object")));
    mark = LogMark();
    EXPECT_EQ(1, SaveDataObject(object));
    EXPECT_TRUE(kvtest::Holds(LogSince(mark), "Error in executing update query"));
    EXPECT_EQ(ROW_STATE_NEW, GetFirstRowUnit("Item", object)->state);

    ASSERT_TRUE(server_->Resume()) << server_->ReadLog();
    // Everything on the connection the pool opened before the server went away.
    EXPECT_EQ(1, SaveTable("Item"));
    EXPECT_EQ((std::map<int, int>{{1, ROW_STATE_STORED},
                                  {3, ROW_STATE_STORED},
                                  {4, ROW_STATE_STORED},
                                  {5, ROW_STATE_STORED}}),
              States());
    EXPECT_EQ((std::set<std::string>{"1:uno", "3:three", "4:four", "5:five"}), Stored());
    EXPECT_EQ(1, SaveDataObject(object));
    EXPECT_EQ(1u, StoredIds().count(1000));
    FreeDataObject(object);
    // A new batch follows the one reserved before: no number is handed out twice.
    EXPECT_EQ(301, GenerateID("Item", IdColumn()));
    EXPECT_EQ("600", server_->Value("select CURRENTBATCHEND from SeqGenState"));
    ASSERT_EQ(1, UnLoadTable("Item"));
    EXPECT_EQ(1, LoadTable("Item"));
    EXPECT_EQ((std::set<int>{1, 3, 4, 5, 1000}), StoredIds());
    EXPECT_EQ(5u, States().size());
}

TEST_P(ServerFault, AServerRestartedBetweenTwoCallsIsNotNoticedByTheSecond) {
    Add("before");
    ASSERT_EQ(1, SaveTable("Item"));
    // Stopped and started while the library is idle: its pooled connection is dead, but no
    // call has failed on it yet.
    server_->Stop(Halt::kGraceful);
    ASSERT_TRUE(server_->Resume()) << server_->ReadLog();
    Add("after");
    const size_t mark = LogMark();
    EXPECT_EQ(1, SaveTable("Item"));
    EXPECT_EQ((std::map<int, int>{{1, ROW_STATE_STORED}, {2, ROW_STATE_STORED}}), States())
        << LogSince(mark);
    EXPECT_EQ((std::set<std::string>{"1:before", "2:after"}), Stored());

    server_->Stop(Halt::kKill);
    ASSERT_TRUE(server_->Resume()) << server_->ReadLog();
    EXPECT_EQ(1, UnLoadTable("Item"));
    EXPECT_EQ(1, LoadTable("Item")) << "a load after a crash and restart";
    EXPECT_EQ(2u, States().size());
    server_->Stop(Halt::kGraceful);
    ASSERT_TRUE(server_->Resume()) << server_->ReadLog();
    for (int n = 3; n <= 300; ++n) ASSERT_EQ(n, GenerateID("Item", IdColumn()));
    EXPECT_EQ(301, GenerateID("Item", IdColumn())) << "a renewal after a restart";
}

// The server dies while a statement of the save runs (a trigger holds the 20th insert): rows
// are marked saved exactly when they are stored, and the next save stores the rest once.
TEST_P(ServerFault, AServerKilledInTheMiddleOfASaveLosesNoPendingRow) {
    constexpr int kRows = 40, kHeld = 20;
    for (int n = 1; n <= kRows; ++n) Add(("row" + std::to_string(n)).c_str());
    std::string out;
    if (GetParam().kind == ServerKind::kPostgreSQL) {
        ASSERT_TRUE(
            server_->Admin("create function slow_insert() returns trigger language plpgsql as $$ "
                           "begin if new.ID = " +
                               std::to_string(kHeld) +
                               " then perform pg_sleep(30); end if; return new; end $$; "
                               "create trigger slow_insert before insert on Item for each row "
                               "execute function slow_insert()",
                           &out))
            << out;
    } else {
        ASSERT_TRUE(
            server_->Admin("create trigger slow_insert before insert on Item for each row "
                           "set @held = if(new.ID = " +
                               std::to_string(kHeld) + ", sleep(30), 0)",
                           &out))
            << out;
    }
    const std::string sleeping =
        GetParam().kind == ServerKind::kPostgreSQL
            ? "select count(*) from pg_stat_activity where wait_event = 'PgSleep'"
            : "select count(*) from information_schema.processlist where state = 'User sleep'";

    const size_t mark = LogMark();
    int saved = -1;
    std::thread save([&] { saved = SaveTable("Item"); });
    bool held = false;
    for (int i = 0; i < 400 && !held; ++i) {
        held = server_->Value(sleeping) == "1";
        if (!held) std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    server_->Stop(Halt::kKill);
    save.join();
    ASSERT_TRUE(held) << "the save never reached the held row";
    EXPECT_EQ(1, saved);
    EXPECT_TRUE(kvtest::Holds(LogSince(mark), "The connection to the database was lost"))
        << LogSince(mark);

    ASSERT_TRUE(server_->Resume()) << server_->ReadLog();
    const std::set<int> stored = StoredIds();
    EXPECT_EQ(0u, stored.count(kHeld)) << "the statement the server died in is not stored";
    for (const auto &[id, state] : States()) {
        EXPECT_EQ(stored.count(id) ? ROW_STATE_STORED : ROW_STATE_NEW, state) << "row " << id;
    }
    ASSERT_TRUE(server_->Admin(GetParam().kind == ServerKind::kPostgreSQL
                                   ? "drop trigger slow_insert on Item"
                                   : "drop trigger slow_insert",
                               &out))
        << out;
    EXPECT_EQ(1, SaveTable("Item"));
    EXPECT_EQ(size_t(kRows), StoredIds().size());
    for (const auto &[id, state] : States()) EXPECT_EQ(ROW_STATE_STORED, state) << "row " << id;
}

INSTANTIATE_TEST_SUITE_P(Servers, ServerFault,
                         ::testing::Values(Engine{"PostgreSQL", ServerKind::kPostgreSQL},
                                           Engine{"MariaDB", ServerKind::kMariaDB}),
                         [](const ::testing::TestParamInfo<Engine> &info) {
                             return std::string(info.param.name);
                         });

// A SQLite database the process may not write: the file itself read-only, or the folder that
// must take its journal. The library starts on it, reads it, reports each refused write and
// keeps the rows pending; the database keeps what it held.
TEST(SqliteFault, AReadOnlyDatabaseFileOrFolderRefusesWritesAndKeepsRowsPending) {
    if (!kvtest::RunningAsRoot()) GTEST_SKIP() << "needs root to run the library as another user";
    std::string driver;
    KV_REQUIRE_DATABASE("KV_TEST_SQLITE_DRIVER", driver);
    struct Case {
        const char *what;
        mode_t file, folder;
    } cases[] = {
        {"read-only file", 0444, 0777},
        {"read-only folder", 0666, 0755},
    };
    for (const Case &c : cases) {
        kvtest::DataRoot root;
        const std::string folder = root.root() + "/db";
        std::filesystem::create_directories(folder);
        root.Write("datadictionary.txt", "tables.xml\n");
        root.Write("tables.xml", kTables);
        root.Write("dsn_table_map.txt", "SeqGenState main\nItem main\n");
        root.Write("loadtablelist.txt", "Item\n");
        root.Write("connparams.txt", "ODBC 1 kv kv NULL 0 main ODBC SQLITE YES Driver=" + driver +
                                         ";Database=" + folder + "/t.db\n");
        ASSERT_EQ(1, InitTamber(root.root().c_str())) << root.LogText();
        {
            const TableDefn *defn = GetTableDefn("Item");
            auto **values = static_cast<void **>(calloc(2, sizeof(void *)));
            auto *lengths = static_cast<int *>(calloc(2, sizeof(int)));
            auto *name = static_cast<ColumnDefn *>(defn->columns->head->next->element);
            ASSERT_EQ(1,
                      AllocateAndCopyColumnValue(&values[1], &lengths[1], name->dataType, "kept"));
            ASSERT_EQ(1, AddNewRow("Item", CreateNewRowObject(values, lengths)));
            ASSERT_EQ(1, SaveTable("Item"));
        }
        DeInitTamber();
        const std::string log = root.root() + "/logs/tamber.log";
        ASSERT_EQ(0, chmod((root.root() + "/logs").c_str(), 0777));
        ASSERT_EQ(0, chmod(log.c_str(), 0666));
        ASSERT_EQ(0, chmod((folder + "/t.db").c_str(), c.file)) << c.what;
        ASSERT_EQ(0, chmod(folder.c_str(), c.folder)) << c.what;
        const size_t mark = root.LogText().size();
        const int status = kvtest::RunUnprivileged([&] {
            if (InitTamber(root.root().c_str()) != 1) return 1;
            if (States() != std::map<int, int>{{1, ROW_STATE_STORED}}) return 2;
            const TableDefn *defn = GetTableDefn("Item");
            auto **values = static_cast<void **>(calloc(2, sizeof(void *)));
            auto *lengths = static_cast<int *>(calloc(2, sizeof(int)));
            auto *id = static_cast<ColumnDefn *>(defn->columns->head->element);
            auto *name = static_cast<ColumnDefn *>(defn->columns->head->next->element);
            AllocateAndCopyColumnValue(&values[0], &lengths[0], id->dataType, "2");
            AllocateAndCopyColumnValue(&values[1], &lengths[1], name->dataType, "refused");
            if (AddNewRow("Item", CreateNewRowObject(values, lengths)) != 1) return 3;
            const char renamed[] = "renamed";
            if (UpdateRowObject("Item", FindRow(1), "NAME", renamed, int(sizeof renamed - 1)) != 1)
                return 4;
            if (SaveTable("Item") != 1) return 5;
            const std::map<int, int> pending = {{1, ROW_STATE_STORED | ROW_STATE_MODIFIED},
                                                {2, ROW_STATE_NEW}};
            if (States() != pending) return 6;
            DeInitTamber();
            return 0;
        });
        EXPECT_EQ(0, status) << c.what << ": 1 start, 2 load, 3 add, 4 change, 5 save, 6 states\n"
                             << root.LogText().substr(mark);
        const std::string since = root.LogText().substr(mark);
        EXPECT_TRUE(kvtest::Holds(since, "Error in executing update query")) << c.what << since;
        // Back to the owner: the database holds what it held before.
        ASSERT_EQ(1, InitTamber(root.root().c_str())) << c.what;
        EXPECT_EQ((std::map<int, int>{{1, ROW_STATE_STORED}}), States()) << c.what;
        DeInitTamber();
    }
}

}  // namespace
