// The data folder's list files when they are missing, and how SaveDataInXML gathers the tables
// it saves: none of it needs a database.
#include <gtest/gtest.h>

#include <string>

#include "logging/log.h"
#include "persist/table_load.h"
#include "persist/table_save.h"
#include "store/column_defn.h"
#include "store/dictionary_loader.h"
#include "store/table_data.h"
#include "tests/persist/persist_fixture.h"

namespace {

class ListFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        InitTableDefnList();
        InitTableDataList();
        gv_rootPath = const_cast<char *>(root_.root().c_str());
    }
    void TearDown() override {
        UnLoadAllTable();
        FreeAllTableDefns();
        gv_rootPath = nullptr;
    }
    kvtest::DataRoot root_;
};

TEST_F(ListFiles, MissingListsGiveTheDescribedMessagesAndResults) {
    kvtest::CapturedLog log(3);
    EXPECT_EQ(0, LoadAllTables());
    EXPECT_EQ(0, LoadTablesFromList(root_.file("nothing.txt").c_str()));
    EXPECT_EQ(1, SaveTablesFromList());
    EXPECT_EQ(1, SaveDefaultData());
    EXPECT_EQ(0, SaveDataInXML(root_.file("absent.xml").c_str()));
    const std::string text = log.text();
    EXPECT_TRUE(kvtest::Holds(text, "Cannot open LoadTableList Entry File."));
    EXPECT_TRUE(kvtest::Holds(text, "No tables to be saved."));
    EXPECT_TRUE(kvtest::Holds(text, "No default data to be prepopulated."));
    EXPECT_TRUE(kvtest::Holds(text, "Cannot create DO from " + root_.file("absent.xml") + "."));
    EXPECT_TRUE(kvtest::Holds(text, "Opening " + root_.file("savetableslist.txt")))
        << "the save list is looked for under the root folder";
    EXPECT_EQ(0, UnLoadTable("nothing"));
}

TEST_F(ListFiles, SaveDataInXMLSavesEachTableOnceAtMostFiftyAtATime) {
    std::string dictionary = "<?xml version=\"1.0\"?>\n<data-dictionary>\n";
    for (int i = 1; i <= 60; ++i) {
        dictionary += "<table name=\"T" + std::to_string(i) +
                      "\"><columns><column name=\"ID\"><data-type>INTEGER</data-type></column>"
                      "</columns></table>\n";
    }
    root_.Write("tables.xml", dictionary + "</data-dictionary>\n");
    ASSERT_EQ(1, LoadDataDictFromXMLFile(root_.file("tables.xml").c_str()));
    ASSERT_NE(nullptr, GetTableDefn("T60"));

    auto rows = [](const std::vector<std::string> &tables) {
        std::string xml = "<?xml version=\"1.0\"?>\n<Data>\n  <!-- rows -->\n";
        int id = 0;
        for (const std::string &t : tables)
            xml += "  <" + t + " ID=\"" + std::to_string(++id) + "\"/>\n";
        return xml + "</Data>\n";
    };
    std::vector<std::string> threeTables, sixty, fiftyOneAndTheFirstAgain;
    for (int i = 0; i < 120; ++i)
        threeTables.push_back(i % 3 == 0 ? "T1" : i % 3 == 1 ? "t2" : "T3");
    for (int i = 1; i <= 60; ++i) sixty.push_back("T" + std::to_string(i));
    for (int i = 1; i <= 51; ++i) fiftyOneAndTheFirstAgain.push_back("T" + std::to_string(i));
    fiftyOneAndTheFirstAgain.push_back("T1");
    struct Case {
        const char *what;
        std::vector<std::string> tables;
        size_t saves;
    } cases[] = {
        {"120 rows of three tables (names compared ignoring case)", threeTables, 3},
        {"60 tables: the first 50 when the 50th is added, the other 10 at the end", sixty, 60},
        // The collection is emptied after 50 names, so T1 counts as new again.
        {"51 tables and the first one again", fiftyOneAndTheFirstAgain, 52},
    };
    for (const Case &c : cases) {
        root_.Write("rows.xml", rows(c.tables));
        kvtest::CapturedLog log(4);
        EXPECT_EQ(1, SaveDataInXML(root_.file("rows.xml").c_str())) << c.what;
        EXPECT_EQ(c.saves, kvtest::Occurrences(log.text(), "@@@ Inside SaveTable @@@")) << c.what;
    }
    EXPECT_EQ(120 + 60 + 52, [] {
        int n = 0;
        for (VectorNode *node = GetTableDataList()->head; node; node = node->next) {
            n += static_cast<TableData *>(node->element)->rowCount;
        }
        return n;
    }()) << "every row was added (and stays pending: no table has a connection)";
}

}  // namespace
