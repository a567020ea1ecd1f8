#include "store/hash_table.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

// The bucket a key lands in, by the table's rule: h = (h * 26 + byte) mod buckets.
int ExpectedBucket(const std::string &key, int buckets) {
    long long h = 0;
    for (unsigned char c : key) h = (h * 26 + c) % buckets;
    return int(h);
}

bool InBucket(const StringHashTable &table, int bucket, const char *key) {
    for (const HashEntry *e = table.buckets[bucket]; e != nullptr; e = e->next) {
        if (e->key != nullptr && std::string(e->key) == key) return true;
    }
    return false;
}

class HashTableTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(1, CreateHashTable(&table, 7)); }
    void TearDown() override { FreeHashTable(&table); }
    StringHashTable table;
    int one = 1, two = 2, three = 3;
};

TEST_F(HashTableTest, DefaultBucketCountAndRefusals) {
    StringHashTable other;
    ASSERT_EQ(1, CreateHashTable(&other, 0));
    EXPECT_EQ(10, other.bucketCount);
    for (int i = 0; i < other.bucketCount; ++i) {
        ASSERT_NE(nullptr, other.buckets[i]);  // every bucket has its first entry
        EXPECT_EQ(nullptr, other.buckets[i]->key);
    }
    FreeHashTable(&other);
    FreeHashTable(&other);  // a second free is harmless
    EXPECT_EQ(0, CreateHashTable(&other, -1));
    EXPECT_EQ(0, CreateHashTable(nullptr, 5));
    EXPECT_EQ(0, PutHashEntry(&table, nullptr, &one));
    EXPECT_EQ(0, ContainsHashKey(nullptr, "a"));
    EXPECT_EQ(nullptr, GetHashValue(&table, nullptr));
}

TEST_F(HashTableTest, PutGetReplaceRemove) {
    EXPECT_EQ(1, PutHashEntry(&table, "key", &one));
    EXPECT_EQ(1, PutHashEntry(&table, "key", &two));  // same key: new value, one entry
    EXPECT_EQ(1, CountHashEntries(&table));
    EXPECT_EQ(&two, GetHashValue(&table, "key"));
    EXPECT_EQ(1, PutHashEntry(&table, "Key", &three));  // case matters
    EXPECT_EQ(2, CountHashEntries(&table));
    EXPECT_EQ(&three, GetHashValue(&table, "Key"));
    EXPECT_EQ(1, ContainsHashKey(&table, "key"));
    EXPECT_EQ(0, ContainsHashKey(&table, "KEY"));

    EXPECT_EQ(1, RemoveHashEntry(&table, "key"));
    EXPECT_EQ(0, RemoveHashEntry(&table, "key"));
    EXPECT_EQ(nullptr, GetHashValue(&table, "key"));
    EXPECT_EQ(1, CountHashEntries(&table));

    // The key is copied: the caller's buffer may change afterwards.
    std::string key = "temp";
    PutHashEntry(&table, key.c_str(), &one);
    key[0] = 'X';
    EXPECT_EQ(&one, GetHashValue(&table, "temp"));
}

TEST_F(HashTableTest, KeysLandInTheirBucketIncludingHighBytes) {
    const char *keys[] = {"", "a", "abc", "\xff\xfe\xfd", "\x80", "long key with many bytes \xe9"};
    for (const char *key : keys) {
        SCOPED_TRACE(key);
        ASSERT_EQ(1, PutHashEntry(&table, key, &one));
        EXPECT_TRUE(InBucket(table, ExpectedBucket(key, table.bucketCount), key));
        EXPECT_EQ(&one, GetHashValue(&table, key));
    }
    EXPECT_EQ(int(std::size(keys)), CountHashEntries(&table));
}

TEST_F(HashTableTest, ChainsKeepEntryAddressesThroughRemoval) {
    // Keys of one bucket: with 7 buckets, "a" (97) and "h" (104) share bucket 6.
    ASSERT_EQ(ExpectedBucket("a", 7), ExpectedBucket("h", 7));
    ASSERT_EQ(ExpectedBucket("a", 7), ExpectedBucket("o", 7));
    PutHashEntry(&table, "a", &one);
    PutHashEntry(&table, "h", &two);
    PutHashEntry(&table, "o", &three);
    HashEntry *h = GetHashEntry(&table, "h");

    EXPECT_EQ(1, RemoveHashEntry(&table, "a"));  // the bucket's first key
    EXPECT_EQ(&two, GetHashValue(&table, "h"));
    EXPECT_EQ(h, GetHashEntry(&table, "h"));  // same entry record, usable as a lock key
    EXPECT_EQ(h, table.buckets[ExpectedBucket("h", 7)]);

    EXPECT_EQ(1, RemoveHashEntry(&table, "o"));  // last in the chain
    EXPECT_EQ(1, RemoveHashEntry(&table, "h"));  // alone: the first entry is cleared
    EXPECT_EQ(nullptr, table.buckets[ExpectedBucket("h", 7)]->key);
    EXPECT_EQ(0, CountHashEntries(&table));

    PutHashEntry(&table, "o", &one);  // an emptied bucket takes keys again
    EXPECT_EQ(&one, GetHashValue(&table, "o"));
}

TEST_F(HashTableTest, KeysInBucketAndChainOrder) {
    for (const char *key : {"h", "b", "a"}) PutHashEntry(&table, key, &one);
    char **keys = GetHashKeys(&table);
    ASSERT_NE(nullptr, keys);
    std::vector<std::string> listed;
    for (int i = 0; keys[i] != nullptr; ++i) listed.push_back(keys[i]);
    free(keys);
    // "b" (98) is bucket 0; "h" then "a" share bucket 6 in insertion order.
    EXPECT_EQ((std::vector<std::string>{"b", "h", "a"}), listed);

    StringHashTable empty;
    CreateHashTable(&empty, 3);
    keys = GetHashKeys(&empty);
    ASSERT_NE(nullptr, keys);
    EXPECT_EQ(nullptr, keys[0]);
    free(keys);
    FreeHashTable(&empty);
}

TEST_F(HashTableTest, MergeFillsOnlyAbsentKeys) {
    StringHashTable source;
    ASSERT_EQ(1, CreateHashTable(&source, 3));
    PutHashEntry(&source, "shared", &one);
    PutHashEntry(&source, "new", &two);
    PutHashEntry(&source, "nullInTarget", &three);
    PutHashEntry(&table, "shared", &three);
    PutHashEntry(&table, "nullInTarget", nullptr);

    EXPECT_EQ(1, MergeHashTables(&source, &table));
    EXPECT_EQ(&three, GetHashValue(&table, "shared"));  // not overwritten
    EXPECT_EQ(&two, GetHashValue(&table, "new"));
    EXPECT_EQ(&three, GetHashValue(&table, "nullInTarget"));  // null counts as absent
    EXPECT_EQ(3, CountHashEntries(&table));
    EXPECT_EQ(0, MergeHashTables(nullptr, &table));
    EXPECT_EQ(0, MergeHashTables(&source, nullptr));
    FreeHashTable(&source);
}

}  // namespace
