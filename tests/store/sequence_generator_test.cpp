// The sequence generator's batches over a stand-in store: start-up, handing out, renewal,
// failed renewals and threads sharing a sequence.
#include "store/sequence_generator.h"

#include <gtest/gtest.h>
#include <limits.h>

#include <set>
#include <string>
#include <thread>
#include <vector>

#include "tests/store/store_fixture.h"

namespace {

using kvtest::FakeSequenceStore;
using kvtest::StoreTest;

class Sequences : public StoreTest {
  protected:
    void SetUp() override {
        StoreTest::SetUp();
        LoadFixtureDictionary();
        host_id_ = GetColumnDefnEntry("host", "host_id");
        ASSERT_NE(nullptr, host_id_);
    }
    const ColumnDefn *host_id_ = nullptr;
};

TEST_F(Sequences, FirstBatchThenRenewal) {
    ASSERT_EQ(1, SequenceGenerator());
    EXPECT_EQ((std::map<std::string, int>{{"host_seq", 300}, {"software_seq", 300}}),
              FakeSequenceStore::Ends());
    for (int expected = 1; expected <= 300; ++expected) {
        ASSERT_EQ(expected, GenerateID("host", host_id_));
    }
    EXPECT_EQ(301, GenerateID("host", host_id_));
    EXPECT_EQ(600, FakeSequenceStore::Ends()["host_seq"]);
    const SeqGenBatch *batch =
        static_cast<const SeqGenBatch *>(GetHashValue(GetSeqGenTable(), "host_seq"));
    EXPECT_EQ(302, batch->next);
    EXPECT_EQ(600, batch->last);
}

TEST_F(Sequences, ExistingRowContinues) {
    FakeSequenceStore::Ends()["host_seq"] = 900;
    ASSERT_EQ(1, SequenceGenerator());
    EXPECT_EQ(901, GenerateID("host", host_id_));
    EXPECT_EQ(1200, FakeSequenceStore::Ends()["host_seq"]);
}

TEST_F(Sequences, UnknownSequencesGiveMinusOne) {
    ASSERT_EQ(1, SequenceGenerator());
    ColumnDefn *plain = GetColumnDefnEntry("host", "host_name");
    EXPECT_EQ(-1, GenerateID("host", plain));  // no generator
    EXPECT_EQ(-1, GenerateID("host", nullptr));
    EXPECT_EQ(-1, GenerateInstanceID());  // no column uses INSTANCE_ID
}

TEST_F(Sequences, DefinitionWithoutColumnsStopsStartUp) {
    FreeAllTableDefns();
    InitTableDefnList();
    LoadDictionary(
        "<table name=\"first\"><columns><column name=\"id\"><data-type>INTEGER</data-type>"
        "<uniquevalue-generation><generator-name>first_seq</generator-name>"
        "</uniquevalue-generation></column></columns></table>");
    ASSERT_EQ(1, AddTableDefn(CreateTableDefn("empty", nullptr, NewVector(), nullptr)));
    LoadDictionary(
        "<table name=\"last\"><columns><column name=\"id\"><data-type>INTEGER</data-type>"
        "<uniquevalue-generation><generator-name>INSTANCE_ID</generator-name>"
        "</uniquevalue-generation></column></columns></table>");
    EXPECT_EQ(0, SequenceGenerator());
    EXPECT_EQ((std::map<std::string, int>{{"first_seq", 300}}), FakeSequenceStore::Ends());
    EXPECT_EQ(-1, GenerateID("last", GetColumnDefnEntry("last", "id")));
    EXPECT_EQ(-1, GenerateInstanceID());

    // Without the empty table the instance sequence gets its batch.
    ASSERT_EQ(1, FreeTableDefn("empty"));
    ASSERT_EQ(1, SequenceGenerator());
    EXPECT_EQ(1, GenerateInstanceID());
    EXPECT_EQ(2, GenerateInstanceID());
}

// A renewal that keeps failing gives -1 after a bounded number of tries; a later call
// renews again and carries on where the store stands.
TEST_F(Sequences, FailedRenewalIsBounded) {
    ASSERT_EQ(1, SequenceGenerator());
    for (int i = 0; i < 300; ++i) ASSERT_EQ(i + 1, GenerateID("host", host_id_));
    FakeSequenceStore::Failures() = 1000;
    const int callsBefore = FakeSequenceStore::Calls();
    {
        kvtest::CapturedLog log(2);
        EXPECT_EQ(-1, GenerateID("host", host_id_));
        EXPECT_EQ((std::vector<std::string>{
                      "ERROR Cannot renew the batch of sequence host_seq after 3 attempts"}),
                  log.Lines());
    }
    EXPECT_EQ(SEQGEN_RENEW_ATTEMPTS, FakeSequenceStore::Calls() - callsBefore);
    FakeSequenceStore::Failures() = 2;  // fails twice, then works
    EXPECT_EQ(301, GenerateID("host", host_id_));
}

TEST_F(Sequences, NoStoreNoBatch) {
    SetSeqGenReserveFn(nullptr);
    kvtest::CapturedLog log(2);
    EXPECT_EQ(0, UpdateSeqGen("host", "host_seq"));
    EXPECT_EQ(-1, GenerateID("host", host_id_));
    EXPECT_EQ(1u, log.Lines().size());
}

// Ends the store cannot hand out from are refused instead of overflowing.
TEST_F(Sequences, BatchEndsOutOfRangeAreRefused) {
    FakeSequenceStore::Ends()["s"] = INT_MAX - 300;
    EXPECT_EQ(0, UpdateSeqGen(nullptr, "s"));
    FakeSequenceStore::Ends()["t"] = -1000;
    EXPECT_EQ(0, UpdateSeqGen(nullptr, "t"));
    FakeSequenceStore::Ends()["u"] = INT_MAX - 301;
    EXPECT_EQ(1, UpdateSeqGen(nullptr, "u"));
}

TEST_F(Sequences, ThreadsNeverShareANumber) {
    ASSERT_EQ(1, SequenceGenerator());
    const int threads = 4, each = 1000;
    std::vector<std::vector<int>> taken(threads);
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&, t] {
            for (int i = 0; i < each; ++i) taken[t].push_back(GenerateID("host", host_id_));
        });
    }
    for (std::thread &w : workers) w.join();
    std::set<int> all;
    for (const auto &numbers : taken) all.insert(numbers.begin(), numbers.end());
    EXPECT_EQ(size_t(threads * each), all.size());
    EXPECT_EQ(1, *all.begin());
    EXPECT_EQ(threads * each, *all.rbegin());
}

}  // namespace
