// The data source map: loading dsn_table_map.txt, lookups ignoring case, deletion.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "db/data_source_map.h"
#include "logging/log.h"
#include "tests/support/test_support.h"

namespace {

class DataSourceMap : public ::testing::Test {
  protected:
    void SetUp() override { InitDataSourceMap(); }
    void TearDown() override {
        FreeAllDataSourceMapEntries();
        gv_rootPath = nullptr;
    }

    static std::vector<std::string> Pairs() {
        std::vector<std::string> pairs;
        for (VectorNode *node = gv_dataSourceMapVect.head; node; node = node->next) {
            auto *entry = static_cast<DataSourceMapEntry *>(node->element);
            pairs.push_back(std::string(entry->tableName) + ":" + entry->connectionName);
        }
        return pairs;
    }

    kvtest::TempDir dir_;
};

bool HasLine(const std::vector<std::string> &lines, const std::string &line) {
    for (const std::string &l : lines) {
        if (l == line) return true;
    }
    return false;
}

TEST_F(DataSourceMap, LoadsPairsInFileOrderAndDropsWhatIsIncompleteOrTooLong) {
    std::string tooLong(256, 't');
    kvtest::WriteFile(dir_ / "map.txt",
                      "host main\n"
                      "Device\tinventory\n"
                      "split\n  across\r\n" +
                          tooLong +
                          " main\n"
                          "host other\n"
                          "dangling\n");
    kvtest::CapturedLog log(2);
    EXPECT_EQ(1, LoadDataSourceMapEntryFromFile((dir_ / "map.txt").c_str()));
    EXPECT_EQ(
        (std::vector<std::string>{"host:main", "Device:inventory", "split:across", "host:other"}),
        Pairs());
    EXPECT_TRUE(HasLine(log.Lines(),
                        "ERROR DataSourceMap token longer than 255 characters, entry skipped."));

    // 255 characters is the longest token kept.
    std::string longest(255, 'k');
    kvtest::WriteFile(dir_ / "longest.txt", longest + " c\n");
    EXPECT_EQ(1, LoadDataSourceMapEntryFromFile((dir_ / "longest.txt").c_str()));
    EXPECT_NE(nullptr, GetDataSourceMapEntry(longest.c_str()));
}

TEST_F(DataSourceMap, LooksUpIgnoringCaseAndDeletesOnlyTheFirstEntry) {
    for (auto [table, connection] :
         {std::pair{"host", "main"}, {"device", "inv"}, {"host", "other"}}) {
        ASSERT_EQ(1, AddDataSourceMapEntry(CreateDataSourceMapEntry(table, connection)));
    }
    DataSourceMapEntry *entry = GetDataSourceMapEntry("HOST");
    ASSERT_NE(nullptr, entry);
    EXPECT_STREQ("main", entry->connectionName);
    EXPECT_EQ(nullptr, GetDataSourceMapEntry("missing"));
    EXPECT_EQ(nullptr, GetDataSourceMapEntry(nullptr));

    EXPECT_EQ(1, DeleteDataSourceMapEntry("Host"));
    EXPECT_STREQ("other", GetDataSourceMapEntry("host")->connectionName);
    EXPECT_EQ((std::vector<std::string>{"device:inv", "host:other"}), Pairs());
    EXPECT_EQ(0, DeleteDataSourceMapEntry("missing"));
    EXPECT_EQ(nullptr, CreateDataSourceMapEntry(nullptr, "c"));
    EXPECT_EQ(0, AddDataSourceMapEntry(nullptr));

    FreeAllDataSourceMapEntries();
    EXPECT_EQ(0, DeleteDataSourceMapEntry("device"));
    EXPECT_EQ(nullptr, GetDataSourceMapEntry("device"));
}

TEST_F(DataSourceMap, FallsBackToTheDataFolderUnderTheRoot) {
    std::string root = dir_.path();
    MakeDirectory((root + "/data").c_str());
    kvtest::WriteFile(root + "/data/dsn_table_map.txt", "host main\n");
    gv_rootPath = root.data();
    kvtest::CapturedLog log(3);
    EXPECT_EQ(1, LoadDataSourceMapEntryFromFile((dir_ / "absent.txt").c_str()));
    EXPECT_EQ((std::vector<std::string>{"host:main"}), Pairs());
    EXPECT_TRUE(HasLine(log.Lines(), "DEBUG Opening " + root + "/data/dsn_table_map.txt"));
    EXPECT_EQ(1, LoadDataSourceMapEntryFromFile(nullptr));
    EXPECT_EQ(2u, Pairs().size());
}

TEST_F(DataSourceMap, FailsWhenNeitherFileOpens) {
    kvtest::CapturedLog log(2);
    EXPECT_EQ(0, LoadDataSourceMapEntryFromFile((dir_ / "absent.txt").c_str()));
    gv_rootPath = const_cast<char *>("/nonexistent-kv-root");
    EXPECT_EQ(0, LoadDataSourceMapEntryFromFile((dir_ / "absent.txt").c_str()));
    EXPECT_TRUE(HasLine(log.Lines(), "ERROR Cannot open DataSourceMap Entry File."));
    EXPECT_TRUE(Pairs().empty());
}

}  // namespace
