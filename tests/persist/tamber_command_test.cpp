// The tamber command run as a process on a copy of the example data folder, against each
// database, and its answers to bad command lines and failed start-ups.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "tests/persist/persist_fixture.h"

namespace {

// The words of the first output line whose first word is first; empty when none.
std::vector<std::string> LineOf(const std::string &out, const std::string &first) {
    for (const std::string &line : kvtest::SplitLines(out)) {
        std::istringstream words(line);
        std::vector<std::string> tokens;
        for (std::string word; words >> word;) tokens.push_back(word);
        if (!tokens.empty() && tokens[0] == first) return tokens;
    }
    return {};
}

using kvtest::ExampleFolder;
using kvtest::Shown;

using TamberCommand = kvtest::ExampleFolderTest;

TEST_P(TamberCommand, RunsEachCommandOnTheExampleFolder) {
    kvtest::CommandResult r = folder_.Run({"tables"});
    ASSERT_EQ(0, r.exitCode) << Shown(r);
    EXPECT_EQ((std::vector<std::string>{"Device", "table", "3"}), LineOf(r.out, "Device"));
    EXPECT_EQ((std::vector<std::string>{"InstalledSoftware", "table", "5"}),
              LineOf(r.out, "InstalledSoftware"))
        << "loaded through the select of loadtablelist.txt";

    r = folder_.Run({"select", "Device", "STATUS = 1"});
    ASSERT_EQ(0, r.exitCode) << Shown(r);
    EXPECT_TRUE(kvtest::Holds(r.out, "(2 rows)")) << r.out;
    EXPECT_FALSE(LineOf(r.out, "DEVICE_ID").empty());
    EXPECT_TRUE(kvtest::Holds(r.out, "ws-berlin-01")) << r.out;
    EXPECT_TRUE(kvtest::Holds(r.out, "Reception desk; it's the visitors' machine")) << r.out;
    EXPECT_FALSE(kvtest::Holds(r.out, "lt-field-07")) << r.out;

    r = folder_.Run({"stored-queries"});
    ASSERT_EQ(0, r.exitCode) << Shown(r);
    for (const char *text : {"Stored query 1: select", "Stored query 2: select",
                             "Stored query 3: select", "(4 rows)"}) {
        EXPECT_TRUE(kvtest::Holds(r.out, text)) << text << "\n" << r.out;
    }
    EXPECT_EQ((std::vector<std::string>{"lt-field-07", "wlan0", "192.168.8.23"}),
              LineOf(r.out, "lt-field-07"));

    const std::string added = folder_.root() + "/added.xml";
    kvtest::WriteFile(
        added,
        "<Rows>\n"
        "  <Device DEVICE_ID=\"Device:DEVICE_ID:n\" HOSTNAME=\"ws-new-02\" STATUS=\"2\"/>\n"
        "  <NetworkInterface DEVICE_ID=\"Device:DEVICE_ID:n\" IF_INDEX=\"1\" "
        "IF_NAME=\"eth9\"/>\n"
        "</Rows>\n");
    r = folder_.Run({"load-xml", added});
    ASSERT_EQ(0, r.exitCode) << Shown(r);
    EXPECT_EQ((std::vector<std::string>{"Device", "1"}), LineOf(r.out, "Device"));
    EXPECT_EQ((std::vector<std::string>{"NetworkInterface", "1"}),
              LineOf(r.out, "NetworkInterface"));

    r = folder_.Run({"select", "NetworkInterface", "IF_NAME = 'eth9'"});
    ASSERT_EQ(0, r.exitCode) << Shown(r);
    EXPECT_TRUE(kvtest::Holds(r.out, "(1 row)")) << r.out;
    r = folder_.Run({"tables"});
    EXPECT_EQ((std::vector<std::string>{"Device", "table", "4"}), LineOf(r.out, "Device"))
        << "a later start stores no default data again";

    // The same host name again: the database refuses the rows, and the command says so.
    r = folder_.Run({"load-xml", added});
    EXPECT_EQ(1, r.exitCode) << Shown(r);
    EXPECT_TRUE(kvtest::Holds(r.err, "could not be saved")) << r.err;

    r = folder_.Run({"save", "Device", "NetworkInterface"});
    EXPECT_EQ(0, r.exitCode) << Shown(r);
    EXPECT_TRUE(kvtest::Holds(r.out, "Saved Device")) << r.out;
    r = folder_.Run({"save"});
    EXPECT_EQ(0, r.exitCode) << Shown(r);

    r = folder_.Run({"select", "NoSuchTable"});
    EXPECT_EQ(1, r.exitCode) << Shown(r);
    EXPECT_TRUE(kvtest::Holds(r.err, "table NoSuchTable is not loaded")) << r.err;
    r = folder_.Run({"select", "Device", "STATUS ="});
    EXPECT_EQ(1, r.exitCode) << Shown(r);
    EXPECT_TRUE(kvtest::Holds(r.err, "the criteria do not parse")) << r.err;
    r = folder_.Run({"save", "NoSuchTable"});
    EXPECT_EQ(1, r.exitCode) << Shown(r);
}

INSTANTIATE_TEST_SUITE_P(Databases, TamberCommand, ::testing::ValuesIn(kvtest::kPersistEngines),
                         kvtest::EngineName);

TEST(TamberCommandLine, BadCommandLinesExitWithTwoAndTheUsage) {
    kvtest::TempDir dir;
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"tables"},
        {"--root"},
        {"--root", dir.path()},
        {"--root", dir.path(), "frobnicate"},
        {"--root", dir.path(), "select"},
        {"--root", dir.path(), "tables", "extra"},
        {"--root", dir.path(), "load-xml"},
        {"--root", dir.path(), "--log-level", "9", "tables"},
        {"--root", dir.path(), "--verbose", "tables"},
    };
    for (const auto &args : cases) {
        std::vector<std::string> argv = {kvtest::kTamber};
        argv.insert(argv.end(), args.begin(), args.end());
        kvtest::CommandResult r = kvtest::RunCommand(argv);
        std::string shown;
        for (const std::string &a : args) shown += a + " ";
        EXPECT_EQ(2, r.exitCode) << shown << Shown(r);
        EXPECT_TRUE(kvtest::Holds(r.err, "Usage: tamber --root DIR")) << shown << r.err;
    }
    kvtest::CommandResult help = kvtest::RunCommand({kvtest::kTamber, "--help"});
    EXPECT_EQ(0, help.exitCode);
    EXPECT_TRUE(kvtest::Holds(help.out, "stored-queries"));
}

TEST(TamberCommandLine, AFailedStartNamesTheStepAndExitsWithThree) {
    kvtest::TempDir empty;
    kvtest::CommandResult r =
        kvtest::RunCommand({kvtest::kTamber, "--root", empty.path(), "tables"});
    EXPECT_EQ(3, r.exitCode) << Shown(r);
    EXPECT_TRUE(kvtest::Holds(r.err, "no data folder")) << r.err;

    struct Case {
        const char *what;
        const char *connparams;  // null: the file is removed
        const char *expected;
    } cases[] = {
        {"no connparams.txt", nullptr,
         "start-up failed at LoadConnParamsEntryFromFile: cannot open data/connparams.txt"},
        {"a server that is down",
         "ODBC 1 x x NULL 0 main ODBC PGSQL YES Driver=PostgreSQL Unicode;Server=127.0.0.1;"
         "Port=1;Database=x;Uid=x;Pwd=x\n",
         "start-up failed at EstablishDBConnections"},
    };
    for (const Case &c : cases) {
        ExampleFolder folder;
        if (c.connparams) {
            kvtest::WriteFile(folder.data() + "/connparams.txt", c.connparams);
        } else {
            std::filesystem::remove(folder.data() + "/connparams.txt");
        }
        r = folder.Run({"tables"});
        EXPECT_EQ(3, r.exitCode) << c.what << Shown(r);
        EXPECT_TRUE(kvtest::Holds(r.err, c.expected)) << c.what << "\n" << r.err;
        EXPECT_TRUE(kvtest::Holds(r.err, folder.root() + "/logs/tamber.log")) << r.err;
    }
}

}  // namespace
