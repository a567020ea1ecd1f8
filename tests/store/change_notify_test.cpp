// Change notifications: registration, the event-type filter, the table lookup and the copy
// a listener receives.
#include "store/change_notify.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "store/datetime.h"
#include "tests/store/store_fixture.h"

namespace {

using kvtest::StoreTest;

struct Received {
    std::string listener;
    std::string table;
    int state;
    std::string hostName;  // the copied row's host_name
    const void *nameBuffer;
};

std::vector<Received> &Log() {
    static std::vector<Received> log;
    return log;
}

int Record(IMDSNotification *n, const char *listener) {
    EXPECT_NE(nullptr, n->timeStamp);
    EXPECT_EQ(nullptr, n->row->next);
    const void *name = n->row->values[1];
    Log().push_back({listener, n->tableName, n->row->state,
                     name ? static_cast<const char *>(name) : "NULL", name});
    return 0;
}

class Notifications : public StoreTest {
  protected:
    void SetUp() override {
        StoreTest::SetUp();
        Log().clear();
        LoadFixtureDictionary();
        ASSERT_EQ(1, CreateTable("host"));
        ASSERT_EQ(1, CreateTable("software"));
    }
    void TearDown() override {
        StoreTest::TearDown();
        for (RowObject *row : loose_) FreeRowObject(row, 18);
    }
    int Listen(const char *name, unsigned char eventType, std::vector<const char *> tables,
               unsigned char enabled = 1) {
        tables.push_back(nullptr);
        arrays_.push_back(std::vector<char *>());
        for (const char *t : tables) arrays_.back().push_back(const_cast<char *>(t));
        return AddNotificationListener(strdup(name), eventType, &Record, enabled,
                                       arrays_.back().data());
    }
    // A host row that is no table's, in the given state.
    RowObject *Row(unsigned char state) {
        loose_.push_back(MakeRow("host", {{"host_name", "h"}}, state));
        return loose_.back();
    }
    std::vector<int> StatesSeen() {
        std::vector<int> states;
        for (const Received &r : Log()) states.push_back(r.state);
        return states;
    }

    std::vector<std::vector<char *>> arrays_;  // kept: listeners keep the arrays
    std::vector<RowObject *> loose_;
};

TEST_F(Notifications, EventTypeFilter) {
    const struct {
        unsigned char eventType;
        std::vector<int> received;  // of states 1 to 10
    } cases[] = {
        {0, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}},
        {2, {2, 3, 6, 10}},  // t, t|1, t|4, t|8
        {1, {1, 5, 9}},      // t|1 is t itself
        {4, {4, 5}},         // t|4 is t itself; t|8 = 12 is not sent here
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(int(c.eventType));
        Log().clear();
        ASSERT_EQ(1, Listen("l", c.eventType, {"host"}));
        for (int state = 1; state <= 10; ++state) SendNotification(Row(state), "host");
        EXPECT_EQ(c.received, StatesSeen());
        ASSERT_EQ(1, RemoveNotificationListener("L"));
    }
}

TEST_F(Notifications, TableNamesAreFoundInAnyCase) {
    ASSERT_EQ(1, Listen("l", 0, {"Zeta", "alpha", "Beta"}));
    EXPECT_STREQ("alpha", arrays_[0][0]);  // sorted in place, ignoring case
    EXPECT_STREQ("Beta", arrays_[0][1]);
    EXPECT_STREQ("Zeta", arrays_[0][2]);
    for (const char *name : {"zeta", "ALPHA", "beta", "Zeta"}) {
        EXPECT_EQ(1, IsListContains(arrays_[0].data(), name)) << name;
    }
    for (const char *name : {"gamma", "", "a", "zz"}) {
        EXPECT_EQ(0, IsListContains(arrays_[0].data(), name)) << name;
    }
    char *one[] = {const_cast<char *>("only"), nullptr};
    EXPECT_EQ(1, IsListContains(one, "ONLY"));
    char *none[] = {nullptr};
    EXPECT_EQ(0, IsListContains(none, "only"));
}

TEST_F(Notifications, OnlyWatchingEnabledListenersAreCalled) {
    ASSERT_EQ(1, Listen("hosts", 0, {"host"}));
    ASSERT_EQ(1, Listen("software", 0, {"software"}));
    ASSERT_EQ(1, Listen("off", 0, {"host"}, 0));
    ASSERT_EQ(1, Listen("later", 0, {"host"}));
    ASSERT_EQ(1, DisableNotificationListener("LATER"));
    SendNotification(Row(ROW_STATE_NEW), "HOST");
    ASSERT_EQ(1u, Log().size());
    EXPECT_EQ("hosts", Log()[0].listener);
    EXPECT_EQ("HOST", Log()[0].table);

    kvtest::CapturedLog log(2);
    EXPECT_EQ(0, DisableNotificationListener("nobody"));
    EXPECT_EQ(0, RemoveNotificationListener("nobody"));
    EXPECT_EQ((std::vector<std::string>{"ERROR Listener with name nobody doesn't exists",
                                        "ERROR Listener with name nobody doesn't exists"}),
              log.Lines());
}

TEST_F(Notifications, RegistrationRules) {
    kvtest::CapturedLog log(2);
    ASSERT_EQ(1, Listen("first", 0, {"host"}));
    // Same name in another case: logged, nothing registered, the name released.
    EXPECT_EQ(1, Listen("FIRST", 2, {"software"}));
    SendNotification(Row(ROW_STATE_NEW), "software");
    EXPECT_TRUE(Log().empty());
    // A listener must watch a table.
    char *none[] = {nullptr};
    char *name = strdup("empty");
    EXPECT_EQ(0, AddNotificationListener(name, 0, &Record, 1, none));
    free(name);
    EXPECT_EQ(1, RemoveNotificationListener("first"));
    EXPECT_EQ(0, RemoveNotificationListener("first"));  // empty list
    EXPECT_EQ(0, DisableNotificationListener("first"));
    EXPECT_EQ((std::vector<std::string>{"ERROR Listener with same name exists FIRST",
                                        "ERROR Listener empty watches no table"}),
              log.Lines());
}

// Nothing is copied for nobody: the notification is not even built.
TEST_F(Notifications, NoListenerNoCopy) {
    RowObject *row = Row(ROW_STATE_NEW);
    kvtest::CapturedLog log(4);
    SendNotification(row, "host");
    EXPECT_EQ((std::vector<std::string>{"TRACE In send notification"}), log.Lines());
}

TEST_F(Notifications, RowChangesAreAnnouncedWithACopy) {
    ASSERT_EQ(1, Listen("all", 0, {"host"}));
    RowObject *stored = MakeRow("host", {{"host_name", "s"}}, ROW_STATE_STORED);
    RowObject *fresh = MakeRow("host", {{"host_name", "f"}, {"first_seen", "2024-01-02 03:04:05"}});
    ASSERT_EQ(1, AddNewRow("host", stored));
    ASSERT_EQ(1, AddNewRow("host", fresh));
    ASSERT_EQ(1, UpdateRowObject("host", fresh, "host_name", "g", 1));
    ASSERT_EQ(1, DeleteRowObject("host", stored));  // only marked: silent
    ASSERT_EQ(1, DeleteRowObject("host", fresh));
    EXPECT_EQ((std::vector<int>{1, 2, 6, 6}), StatesSeen());
    EXPECT_EQ("s", Log()[0].hostName);
    EXPECT_EQ("g", Log()[2].hostName);
    EXPECT_NE(static_cast<const void *>(stored->values[1]), Log()[0].nameBuffer);
}

TEST_F(Notifications, CreateIMDSNotificationCopiesEveryValue) {
    RowObject *row = Row(ROW_STATE_NEW | ROW_STATE_MODIFIED);
    int length = 0;
    row->values[10] = ConvertStringToColumnValue("2024-01-02 03:04:05", &length, VEL_SQL_DATETIME);
    row->lengths[10] = length;
    IMDSNotification *n = CreateIMDSNotification(row, "host");
    ASSERT_NE(nullptr, n);
    EXPECT_STREQ("host", n->tableName);
    EXPECT_EQ(row->state, n->row->state);
    for (int i = 0; i < 18; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(row->lengths[i], n->row->lengths[i]);
        EXPECT_EQ(row->values[i] == nullptr, n->row->values[i] == nullptr);
        if (row->values[i] != nullptr) {
            EXPECT_NE(row->values[i], n->row->values[i]);
        }
    }
    const VelDateTime *copy = static_cast<const VelDateTime *>(n->row->values[10]);
    EXPECT_EQ(static_cast<const void *>(copy + 1), static_cast<const void *>(copy->date));
    char *text = VelDateTimeToString(copy);
    EXPECT_STREQ("2024-01-02 03:04:05", text);
    free(text);
    FreeIMDSNotification(n);
    EXPECT_EQ(nullptr, CreateIMDSNotification(row, "no_such"));
}

TEST_F(Notifications, DeInitRemovesEveryListener) {
    ASSERT_EQ(1, Listen("a", 0, {"host"}));
    ASSERT_EQ(1, Listen("b", 0, {"host"}));
    DeInitNotification();
    SendNotification(Row(ROW_STATE_NEW), "host");
    EXPECT_TRUE(Log().empty());
    EXPECT_EQ(1, Listen("a", 0, {"host"}));  // the name is free again
}

}  // namespace
