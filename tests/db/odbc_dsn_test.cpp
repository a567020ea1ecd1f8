// Data source registration through the ODBC installer, into ini files in a temporary folder
// (ODBCSYSINI, ODBCINI), then used for a connection.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <map>
#include <sstream>
#include <string>

#include "db/odbc_dsn.h"
#include "db/odbc_provider.h"
#include "tests/support/test_databases.h"
#include "tests/support/test_support.h"

namespace {

using Ini = std::map<std::string, std::map<std::string, std::string>>;

Ini ReadIni(const std::string &path) {
    Ini ini;
    std::istringstream in(kvtest::FileExists(path) ? kvtest::ReadFile(path) : "");
    std::string line, section;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.size() > 2 && line.front() == '[' && line.back() == ']') {
            section = line.substr(1, line.size() - 2);
            ini[section];
        } else if (size_t eq = line.find('='); eq != std::string::npos && !section.empty()) {
            auto trim = [](std::string s) {
                s.erase(0, s.find_first_not_of(" \t"));
                s.erase(s.find_last_not_of(" \t") + 1);
                return s;
            };
            ini[section][trim(line.substr(0, eq))] = trim(line.substr(eq + 1));
        }
    }
    return ini;
}

bool HasLine(const std::vector<std::string> &lines, const std::string &line) {
    for (const std::string &l : lines) {
        if (l == line) return true;
    }
    return false;
}

std::string SqliteDriverLibrary() {
    for (const char *path : {"/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so",
                             "/usr/lib/aarch64-linux-gnu/odbc/libsqlite3odbc.so",
                             "/usr/lib/i386-linux-gnu/odbc/libsqlite3odbc.so",
                             "/usr/lib/odbc/libsqlite3odbc.so", "/usr/lib64/libsqlite3odbc.so"}) {
        if (kvtest::FileExists(path)) return path;
    }
    return "";
}

// unixODBC keeps the first ODBCSYSINI it sees for the life of the process, so every test of
// this program shares one private installer folder (removed at exit): the SQLite driver
// under its usual name, and a user data source file emptied for each test.
const std::string &InstallerFolder() {
    static kvtest::TempDir folder;
    return folder.path();
}

class OdbcDsn : public ::testing::Test {
  protected:
    void SetUp() override {
        KV_REQUIRE_DATABASE("KV_TEST_SQLITE_DRIVER", driver_);
        std::string library = SqliteDriverLibrary();
        if (library.empty()) GTEST_SKIP() << "the SQLite ODBC driver library was not found";
        kvtest::WriteFile(InstallerFolder() + "/odbcinst.ini",
                          "[" + driver_ + "]\nDriver=" + library + "\n");
        kvtest::WriteFile(userIni(), "");
    }
    static std::string userIni() { return InstallerFolder() + "/user.ini"; }

    kvtest::TempDir dir_;
    kvtest::ScopedEnv sys_{"ODBCSYSINI", InstallerFolder()};
    kvtest::ScopedEnv user_{"ODBCINI", userIni()};
    std::string driver_;
};

TEST_F(OdbcDsn, RegistersADataSourceThatThenConnects) {
    kvtest::CapturedLog log(4);
    std::string database = dir_ / "one.db";
    ASSERT_EQ(1, CreateDSN("kv_one", "null", "NULL", "NULL", "S3cretPw", database.c_str(),
                           driver_.c_str()));
    Ini ini = ReadIni(userIni());
    ASSERT_EQ(1u, ini.count("kv_one"));
    const std::map<std::string, std::string> want = {
        {"Driver", driver_}, {"PWD", "S3cretPw"}, {"DATABASE", database}};
    EXPECT_EQ(want, ini["kv_one"]);

    // Connecting makes the driver manager keep this ODBCSYSINI too: done in a child process,
    // so the other tests of this program still find the system's drivers.
    EXPECT_EXIT(
        {
            ConnParamsEntry entry{};
            entry.dsn = const_cast<char *>("kv_one");
            entry.connectionName = const_cast<char *>("one");
            entry.providerName = const_cast<char *>("ODBC");
            ConnectionHandle *handle = ODBCOpenConnection(&entry);
            int ran = handle ? ODBCExecuteUpdate(handle, "create table t (x int)") : 0;
            if (handle) ODBCCloseConnection(handle);
            _exit(ran == 1 ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_TRUE(kvtest::FileExists(database));
    EXPECT_EQ(std::string::npos, log.text().find("S3cretPw"));
}

TEST_F(OdbcDsn, RefusesMissingNamesUnknownDriversAndLineBreaks) {
    kvtest::CapturedLog log(2);
    EXPECT_EQ(0, CreateDSN(nullptr, "d", "s", "u", "p", "db", driver_.c_str()));
    EXPECT_EQ(0, CreateDSN("kv_x", "d", "s", "u", "p", "db", nullptr));
    EXPECT_TRUE(HasLine(log.Lines(), "ERROR DriverName or DSN name is NULL "));
    EXPECT_EQ(0, CreateDSN("kv_x", "d", "s", "u", "p", "db", "kv no such driver"));
    EXPECT_TRUE(HasLine(log.Lines(), "ERROR SQLConfigDataSource returned FALSE "));
    // A line break would add an ini line of the caller's choosing.
    EXPECT_EQ(0, CreateDSN("kv_x", "d", "s", "u", "p\nDriver=/tmp/evil.so", "db", driver_.c_str()));
    EXPECT_EQ(0, CreateDSN("kv_x]\n[kv_y", "d", "s", "u", "p", "db", driver_.c_str()));
    EXPECT_EQ(0u, ReadIni(userIni()).size());
}

TEST_F(OdbcDsn, RegistersEachLineOfAFileAndGoesOnPastBadOnes) {
    std::string tooLong(300, 'n');
    std::string file = dir_ / "dsns.txt";
    kvtest::WriteFile(file, "kv_a Inventory NULL agent S3cretPw /tmp/a.db   " + driver_ +
                                "\n"
                                "kv_b null\n  NULL NULL NULL /tmp/b.db " +
                                driver_ +
                                "\n"
                                "kv_c NULL NULL NULL NULL /tmp/c.db kv no such driver\n"
                                "kv_d NULL NULL NULL " +
                                tooLong + " /tmp/d.db " + driver_ +
                                "\n"
                                "kv_e NULL NULL NULL NULL /tmp/e.db " +
                                driver_ +
                                "\r\n"
                                "kv_f NULL NULL\n");
    kvtest::CapturedLog log(4);
    EXPECT_EQ(1, CreateDSNFromFile(file.c_str()));
    Ini ini = ReadIni(userIni());
    EXPECT_EQ((std::map<std::string, std::string>{{"Driver", driver_},
                                                  {"DESCRIPTION", "Inventory"},
                                                  {"UID", "agent"},
                                                  {"PWD", "S3cretPw"},
                                                  {"DATABASE", "/tmp/a.db"}}),
              ini["kv_a"]);
    EXPECT_EQ((std::map<std::string, std::string>{{"Driver", driver_}, {"DATABASE", "/tmp/b.db"}}),
              ini["kv_b"]);
    EXPECT_EQ(driver_, ini["kv_e"]["Driver"]);
    EXPECT_EQ(0u, ini.count("kv_c"));
    EXPECT_EQ(0u, ini.count("kv_d"));
    EXPECT_EQ(0u, ini.count("kv_f"));
    auto lines = log.Lines();
    EXPECT_TRUE(HasLine(lines, "ERROR Creating DSN kv_c Failed"));
    EXPECT_TRUE(HasLine(lines, "ERROR DSN definition too long, line skipped"));
    EXPECT_EQ(std::string::npos, log.text().find("S3cretPw"));
}

TEST(OdbcDsnFile, MissingFileFails) {
    kvtest::CapturedLog log(2);
    EXPECT_EQ(0, CreateDSNFromFile("/nonexistent/kv-dsns.txt"));
    EXPECT_EQ(0, CreateDSNFromFile(nullptr));
    EXPECT_TRUE(HasLine(log.Lines(), "ERROR Error opening File /nonexistent/kv-dsns.txt "));
}

}  // namespace
