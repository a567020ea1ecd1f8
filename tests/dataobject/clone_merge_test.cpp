// Cloning a data object and merging one into another: independence of the copies, states,
// keys, and the merge table of unit states.
#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <vector>

#include "dataobject/clone.h"
#include "dataobject/merge.h"
#include "dataobject/row_collection.h"
#include "dataobject/row_unit.h"
#include "tests/store/store_fixture.h"
#include "util/mempool.h"

namespace {

class CloneMerge : public kvtest::StoreTest {
  protected:
    void SetUp() override {
        StoreTest::SetUp();
        LoadFixtureDictionary();
        ASSERT_EQ(1, InitializeMemPool());
    }
    void TearDown() override {
        for (DataObject *o : objects_) FreeDataObject(o);
        TerminateMemPool();
        StoreTest::TearDown();
    }
    DataObject *Track(DataObject *o) {
        if (o != nullptr) objects_.push_back(o);
        return o;
    }
    // An object with interfaces (host_id, if_index, if_name) given as {host, index, name, state}.
    struct Row {
        const char *host, *index, *name;
        unsigned char state;
    };
    DataObject *Interfaces(const std::vector<Row> &rows, bool withHosts = false) {
        DataObject *o = Track(CreateDataObject());
        if (withHosts) {
            EXPECT_EQ(1, AddTableToDO(o, "host", MakeColumnList(o, 2, "host_id", "host_name")));
        }
        EXPECT_EQ(1, AddTableToDO(o, "host_interface",
                                  MakeColumnList(o, 3, "host_id", "if_index", "if_name")));
        for (const Row &r : rows) {
            EXPECT_EQ(1, InsertStringRowIntoDO(
                             o, "host_interface",
                             MakeStringColumnValuesList(o, 3, r.host, r.index, r.name)));
            GetLastRowUnit("host_interface", o)->state = r.state;
        }
        return o;
    }
    // "host:index:name:state" per unit of host_interface, in chain order.
    static std::vector<std::string> Units(DataObject *o) {
        std::vector<std::string> out;
        for (RowUnit *u = GetFirstRowUnit("host_interface", o); u != nullptr; u = u->next) {
            std::string line;
            for (int i = 0; i < 3; ++i) {
                char *text = ConvertColumnValueToString(
                    u->values[i], u->lengths[i],
                    i == 2 ? VEL_SQL_CHAR : (i == 0 ? VEL_SQL_BIGINT : VEL_SQL_INT));
                line += std::string(text) + ":";
                free(text);
            }
            out.push_back(line + std::to_string(u->state));
        }
        return out;
    }
    std::vector<DataObject *> objects_;
};

TEST_F(CloneMerge, CloneIsIndependent) {
    DataObject *source = Interfaces({{"1", "1", "eth0", 1}, {"1", "2", "eth1", 5}}, true);
    ASSERT_EQ(1, InsertStringRowIntoDO(source, "host",
                                       MakeStringColumnValuesList(source, 2, "1", "pc1")));
    DataObject *clone = Track(CloneDataObject(source));
    ASSERT_NE(nullptr, clone);
    EXPECT_EQ(2, clone->tableCount);
    ASSERT_EQ(2, clone->tableList->count);
    EXPECT_STREQ("host", static_cast<char *>(clone->tableList->head->element));
    EXPECT_STREQ("host_interface", static_cast<char *>(clone->tableList->tail->element));
    EXPECT_EQ(3, CountHashEntries(clone->keyHash));
    EXPECT_EQ((std::vector<std::string>{"1:1:eth0:1", "1:2:eth1:5"}), Units(clone));
    EXPECT_NE(GetFirstValue("if_name", "host_interface", source),
              GetFirstValue("if_name", "host_interface", clone));
    FreeDataObject(source);
    objects_.erase(objects_.begin());
    EXPECT_EQ((std::vector<std::string>{"1:1:eth0:1", "1:2:eth1:5"}), Units(clone));
    EXPECT_EQ(1, InsertStringRowIntoDO(clone, "host_interface",
                                       MakeStringColumnValuesList(clone, 3, "1", "3", "eth2")));
    EXPECT_EQ(0, InsertStringRowIntoDO(clone, "host_interface",
                                       MakeStringColumnValuesList(clone, 3, "1", "2", "dup")));
}

TEST_F(CloneMerge, MergeFollowsTheStateTable) {
    DataObject *target = Interfaces(
        {{"1", "1", "old", 1}, {"1", "2", "old", 1}, {"1", "3", "old", 1}, {"1", "4", "old", 1}});
    DataObject *source = Interfaces({
        {"1", "1", "upd", 5},   // held: updated
        {"1", "2", "ins", 2},   // held: refused
        {"1", "3", "del", 9},   // held: marked deleted
        {"1", "4", "same", 1},  // other states: nothing
        {"2", "1", "new", 5},   // not held: inserted
        {"2", "2", "gone", 9},  // not held: inserted, back to 9
        {"2", "3", "skip", 3},  // other states: nothing
    });
    kvtest::CapturedLog log(2);
    EXPECT_EQ(target, MergeDataObject(target, source));
    EXPECT_EQ((std::vector<std::string>{"ERROR Cannot Insert Row with keystring "
                                        "host_interface[1:1][1:2].  Row already exists."}),
              log.Lines());
    EXPECT_EQ((std::vector<std::string>{"1:1:upd:5", "1:2:old:1", "1:3:old:9", "1:4:old:1",
                                        "2:1:new:2", "2:2:gone:9"}),
              Units(target));
    EXPECT_EQ(6, CountHashEntries(target->keyHash));
    EXPECT_EQ(7, int(Units(source).size()));
}

TEST_F(CloneMerge, MergeAddsMissingTables) {
    DataObject *target = Track(CreateDataObject());
    ASSERT_EQ(1, AddTableToDO(target, "host", nullptr));
    DataObject *source = Interfaces({{"1", "1", "a", 1}, {"1", "2", "b", 10}, {"1", "3", "c", 9}});
    EXPECT_EQ(target, MergeDataObject(target, source));
    EXPECT_EQ(2, target->tableCount);
    EXPECT_EQ((std::vector<std::string>{"1:1:a:2", "1:3:c:9"}), Units(target));
    FreeDataObject(source);
    objects_.pop_back();
    EXPECT_EQ((std::vector<std::string>{"1:1:a:2", "1:3:c:9"}), Units(target));
}

}  // namespace
