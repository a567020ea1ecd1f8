// `tamber personality` run as a process on a copy of the example data folder: the example
// personalities read whole or by criteria on each database, and the answers to what cannot
// be read.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tests/persist/persist_fixture.h"

namespace {

using kvtest::ExampleFolder;
using kvtest::Shown;

// The listing's rows per table, sorted: the first two cells of each row ("1 ws-berlin-01").
std::map<std::string, std::vector<std::string>> Listed(const std::string &out) {
    std::map<std::string, std::vector<std::string>> tables;
    std::string table;
    bool header = false;
    for (const std::string &line : kvtest::SplitLines(out)) {
        if (line.rfind("Table Name: ", 0) == 0) {
            table = line.substr(12);
            tables[table];
            header = true;
            continue;
        }
        if (table.empty() || line.empty()) continue;
        if (header) {  // the column names
            header = false;
            continue;
        }
        const size_t first = line.find('\t'), second = line.find('\t', first + 1);
        tables[table].push_back(line.substr(1, first - 1) + " " +
                                line.substr(first + 2, second - first - 2));
    }
    for (auto &[name, rows] : tables) std::sort(rows.begin(), rows.end());
    return tables;
}

using Listing = std::map<std::string, std::vector<std::string>>;

using TamberPersonality = kvtest::ExampleFolderTest;

TEST_P(TamberPersonality, PrintsTheExamplePersonalities) {
    struct Case {
        std::vector<std::string> args;
        Listing listing;
    } cases[] = {
        {{"personality", "Device"},
         {{"Device", {"1 ws-berlin-01", "2 lt-field-07", "3 srv-files-01"}},
          {"NetworkInterface", {"1 1", "2 1", "3 1", "3 2"}},
          {"InstalledSoftware",
           {"1 Office Suite", "1 PDF Reader", "2 Office Suite", "2 VPN Client",
            "3 Backup Agent"}}}},
        // The criteria restrict the joined rows: the device of that interface, only that
        // interface, and all of the device's software.
        {{"personality", "Device", "NetworkInterface", "IF_NAME = 'eno2'"},
         {{"Device", {"3 srv-files-01"}},
          {"NetworkInterface", {"3 2"}},
          {"InstalledSoftware", {"3 Backup Agent"}}}},
        {{"personality", "DeviceNetwork", "device", "hostname = 'lt-field-07' or STATUS = 3"},
         {{"Device", {"2 lt-field-07"}}, {"NetworkInterface", {"2 1"}}}},
        {{"personality", "DeviceNetwork", "Device", "DEVICE_ID > 5"},
         {{"Device", {}}, {"NetworkInterface", {}}}},
    };
    for (const Case &c : cases) {
        kvtest::CommandResult r = folder_.Run(c.args);
        ASSERT_EQ(0, r.exitCode) << Shown(r);
        EXPECT_EQ(c.listing, Listed(r.out)) << r.out;
        EXPECT_TRUE(kvtest::Holds(r.out, "Tables selected in DataObject: ")) << r.out;
    }
}

INSTANTIATE_TEST_SUITE_P(Databases, TamberPersonality, ::testing::ValuesIn(kvtest::kPersistEngines),
                         kvtest::EngineName);

TEST(TamberPersonalityErrors, EachFailureSaysWhat) {
    std::string driver;
    KV_REQUIRE_DATABASE("KV_TEST_SQLITE_DRIVER", driver);
    ExampleFolder folder;
    kvtest::WriteFile(folder.data() + "/broken.xml", "<Personalities><PersonalityConfiguration");
    struct Case {
        std::vector<std::string> args;
        int exit;
        const char *message;
        const char *list;  // personalities.txt for the case, or null to remove it
    } cases[] = {
        {{"personality", "Nobody"},
         1,
         "tamber: no personality Nobody in the files of data/personalities.txt",
         "inventory-personality.xml\n"},
        {{"personality", "Device", "Nope", "A = 1"},
         1,
         "tamber: table Nope is not a table of personality Device",
         "inventory-personality.xml\n"},
        {{"personality", "DeviceNetwork", "InstalledSoftware", "PRODUCT = 'x'"},
         1,
         "tamber: table InstalledSoftware is not a table of personality DeviceNetwork",
         "inventory-personality.xml\n"},
        {{"personality", "Device", "Device", "HOSTNAME ="},
         1,
         "tamber: cannot select from personality Device: the criteria do not parse",
         "inventory-personality.xml\n"},
        {{"personality", "Device", "Device", "COLOR = 1"},
         1,
         "column COLOR is not a column of Device",
         "inventory-personality.xml\n"},
        {{"personality", "Device", "Device", "STATUS = 'busy'"},
         1,
         "'busy' is not a value of Device.STATUS",
         "inventory-personality.xml\n"},
        {{"personality", "Device", "Device"},
         2,
         "tamber: wrong arguments for personality",
         "inventory-personality.xml\n"},
        {{"personality", "Device"},
         1,
         "tamber: cannot read the personality file data/broken.xml (see the log)",
         "# the example, then a broken file\n\ninventory-personality.xml\n  broken.xml  \n"},
        {{"personality", "Device"},
         1,
         "tamber: cannot open data/personalities.txt (the list of personality files)",
         nullptr},
    };
    for (const Case &c : cases) {
        if (c.list != nullptr) {
            kvtest::WriteFile(folder.data() + "/personalities.txt", c.list);
        } else {
            std::filesystem::remove(folder.data() + "/personalities.txt");
        }
        kvtest::CommandResult r = folder.Run(c.args);
        EXPECT_EQ(c.exit, r.exitCode) << Shown(r);
        EXPECT_TRUE(kvtest::Holds(r.err, c.message)) << c.message << "\n" << Shown(r);
        EXPECT_EQ("", r.out) << Shown(r);
    }
}

}  // namespace
