// Registry wrappers: stored data per type, placeholders, key creation, reads, and the log
// lines each path writes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "platform/registry.h"
#include "tests/support/test_support.h"
#include "util/registry.h"

namespace {

constexpr const char *kKey = "SOFTWARE\\Policies\\Test";

std::vector<uint8_t> Stored(const char *subkey, const char *name, DWORD *type = nullptr) {
    PlatRegKey *key = nullptr;
    if (PlatRegOpenKey(HKEY_LOCAL_MACHINE, subkey, KEY_QUERY_VALUE, &key) != 0) return {};
    uint8_t buf[256];
    DWORD size = sizeof buf;
    DWORD code = PlatRegQueryValue(key, name, type, buf, &size);
    PlatRegCloseKey(key);
    return code == 0 ? std::vector<uint8_t>(buf, buf + size) : std::vector<uint8_t>{};
}

std::vector<uint8_t> Dword(uint32_t n) {
    return {uint8_t(n), uint8_t(n >> 8), uint8_t(n >> 16), uint8_t(n >> 24)};
}

bool Contains(const std::vector<std::string> &lines, const std::string &line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

TEST(WriteValue, DwordDataIsTheLeadingSignedNumberOfTheText) {
    kvtest::TempRegistry reg;
    struct Case {
        const char *data;
        uint32_t stored;
    } cases[] = {
        {"1", 1},
        {"0", 0},
        {"abc", 0},
        {"--", 0},
        {"  42xyz", 42},
        {"+7", 7},
        {"-1", 0xFFFFFFFF},
        {"2147483647", 2147483647},
        {"99999999999", 2147483647},
        {"-99999999999", 0x80000000},
        {"", 0},
    };
    for (const Case &c : cases) {
        ASSERT_EQ(0u, writeValue(HKEY_LOCAL_MACHINE, kKey, "V", c.data, REG_DWORD)) << c.data;
        DWORD type = 0;
        EXPECT_EQ(Dword(c.stored), Stored(kKey, "V", &type)) << c.data;
        EXPECT_EQ(REG_DWORD, type);
    }
}

TEST(WriteValue, TextTypesAreStoredAsUtf16AndReadBackAsUtf8) {
    kvtest::TempRegistry reg;
    ASSERT_EQ(0u, writeValue(HKEY_LOCAL_MACHINE, kKey, "Dir", "C:\\Programme\\Grüße\\", REG_SZ));
    char *text = nullptr;
    ASSERT_EQ(0u, ReadRegSZ(HKEY_LOCAL_MACHINE, kKey, "Dir", &text));
    EXPECT_STREQ("C:\\Programme\\Grüße\\", text);
    free(text);

    ASSERT_EQ(0u, writeValue(HKEY_LOCAL_MACHINE, kKey, "Multi", "one", REG_MULTI_SZ));
    EXPECT_EQ((std::vector<uint8_t>{'o', 'n', 'e', 0, 0}), Stored(kKey, "Multi"))
        << "list ends with an empty string";

    ASSERT_EQ(0u, writeValue(HKEY_LOCAL_MACHINE, kKey, "Bin", "AB", REG_BINARY));
    EXPECT_EQ((std::vector<uint8_t>{'A', 0, 'B', 0, 0, 0}), Stored(kKey, "Bin"))
        << "the UTF-16 of the text";

    ASSERT_EQ(0u, writeValue(HKEY_LOCAL_MACHINE, kKey, "Q", "x", REG_QWORD));
    EXPECT_EQ((std::vector<uint8_t>{'x', 0, 0, 0}), Stored(kKey, "Q")) << "four bytes, padded";
}

TEST(WriteValue, PlaceholdersMeanTheDefaultValueAndEmptyData) {
    kvtest::TempRegistry reg;
    kvtest::CapturedLog log(4);
    ASSERT_EQ(0u, writeValue(HKEY_LOCAL_MACHINE, kKey, "--", "--", REG_SZ));
    EXPECT_EQ((std::vector<uint8_t>{0}), Stored(kKey, ""));
    auto lines = log.Lines();
    EXPECT_TRUE(Contains(lines, "INFO writeValue : going to add the (default) value ."));
    EXPECT_TRUE(Contains(lines, "INFO writeValue : going to add the value data as 0 value ."));
}

TEST(WriteValue, NullNameOrDataIsRefusedBeforeTheRegistryIsTouched) {
    kvtest::TempRegistry reg;
    kvtest::CapturedLog log(4);
    EXPECT_EQ(13u, writeValue(HKEY_LOCAL_MACHINE, kKey, nullptr, "1", REG_DWORD));
    EXPECT_EQ(13u, writeValue(HKEY_LOCAL_MACHINE, kKey, "V", nullptr, REG_DWORD));
    EXPECT_FALSE(kvtest::FileExists(reg.hiveFile()));
    EXPECT_TRUE(Contains(log.Lines(), "INFO writeValue : Valuename or Valuedata is Empty "));
}

TEST(WriteValue, LogsEachStepOfASuccessfulWrite) {
    kvtest::TempRegistry reg;
    kvtest::CapturedLog log(4);
    ASSERT_EQ(0u, writeValue(HKEY_LOCAL_MACHINE, kKey, "V", "1", REG_DWORD));
    ASSERT_EQ(0u, writeValue(HKEY_LOCAL_MACHINE, kKey, "V", "0", REG_DWORD));
    auto lines = log.Lines();
    const char *expected[] = {
        "DEBUG writeValue: Subkey : SOFTWARE\\Policies\\Test ",
        "DEBUG writeValue: Value Name: V ",
        "DEBUG writeValue: Value Data: 1 ",
        "DEBUG UTF String Received:1",
        "DEBUG writeValue:  REG_DWORD -- sizeOfInputData: 4",
        "DEBUG addRegistryKey:  Create registry key function successfull: 1 ",
        "DEBUG addRegistryKey:  Opened already existing key! ",
        "DEBUG writeValue:  Key found ...!: 0",
        "DEBUG writeValue:  After addRegistryKey method in writeValue method!!",
        "INFO Message : The operation completed successfully.  ",
    };
    for (const char *line : expected) EXPECT_TRUE(Contains(lines, line)) << line;
}

TEST(WriteValue, AFailedWriteReturnsTheCodeAndLogsTheDataByItsType) {
    kvtest::TempRegistry reg;
    ASSERT_EQ(0u, addRegistryKey(HKEY_LOCAL_MACHINE, kKey));
    if (!kvtest::RunningAsRoot()) GTEST_SKIP() << "needs root to run the writer as another user";
    kvtest::TempDir logDir;
    int status = kvtest::RunUnprivileged([&] {
        kvtest::CapturedLog log(4);
        DWORD code = writeValue(HKEY_LOCAL_MACHINE, kKey, "V", "1", REG_DWORD);
        auto lines = log.Lines();
        bool logged = Contains(lines, "ERROR writeValue:  Function WriteValue failure!:5") &&
                      Contains(lines, "ERROR writeValue:    Valuename: V ") &&
                      Contains(lines, "ERROR writeValue:    Valuedata: 1 ") &&
                      Contains(lines, "ERROR writeValue:    Datatype: 4 ");
        return code == 5 && logged ? 0 : 1;
    });
    EXPECT_EQ(0, status);
    EXPECT_TRUE(Stored(kKey, "V").empty());
}

TEST(ReadRegistry, MissingKeysAndValues) {
    kvtest::TempRegistry reg;
    kvtest::CapturedLog log(4);
    DWORD value = 77;
    EXPECT_EQ(2u, ReadDwordRegistryData(HKEY_LOCAL_MACHINE, "Software\\Missing", "Level", &value));
    EXPECT_EQ(
        (std::vector<std::string>{"DEBUG ReadDwordRegistryData:  value  Level Not found: 2 "}),
        log.Lines());
    ASSERT_EQ(0u, addRegistryKey(HKEY_LOCAL_MACHINE, "Software\\Present"));
    EXPECT_EQ(2u, ReadDwordRegistryData(HKEY_LOCAL_MACHINE, "Software\\Present", "Level", &value));
    EXPECT_EQ(77u, value);

    size_t before = log.Lines().size();
    char *text = reinterpret_cast<char *>(1);
    EXPECT_EQ(2u, ReadRegSZ(HKEY_LOCAL_MACHINE, "Software\\Present", "Dir", &text));
    EXPECT_EQ(nullptr, text);
    EXPECT_EQ(before, log.Lines().size()) << "a missing value is not logged";
}

TEST(ReadRegistry, DwordReadsTakeAnyValueOfAtMostFourBytes) {
    kvtest::TempRegistry reg;
    ASSERT_EQ(0u, writeValue(HKEY_LOCAL_MACHINE, kKey, "Level", "4", REG_DWORD));
    ASSERT_EQ(0u, writeValue(HKEY_LOCAL_MACHINE, kKey, "Long", "too long", REG_SZ));
    DWORD value = 0;
    EXPECT_EQ(0u, ReadDwordRegistryData(HKEY_LOCAL_MACHINE, kKey, "Level", &value));
    EXPECT_EQ(4u, value);
    EXPECT_EQ(234u, ReadDwordRegistryData(HKEY_LOCAL_MACHINE, kKey, "Long", &value));
}

TEST(ReadRegistry, ReadRegSZPadsWithFiveZeroBytes) {
    kvtest::TempRegistry reg;
    ASSERT_EQ(0u, writeValue(HKEY_LOCAL_MACHINE, "Software\\Velmora\\Corvane\\KVAgent",
                             "KVAgentInstallDir", "/opt/kvagent/", REG_SZ));
    char *dir = nullptr;
    ASSERT_EQ(0u, ReadAgentInstallDir(&dir));
    EXPECT_STREQ("/opt/kvagent/", dir);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(0, dir[strlen("/opt/kvagent/") + 1 + i]);
    free(dir);
}

TEST(ReadRegistry, ACorruptStoreIsAnErrorNotAnEmptyStore) {
    kvtest::TempRegistry reg;
    ASSERT_EQ(0u, addRegistryKey(HKEY_LOCAL_MACHINE, kKey));
    kvtest::WriteFile(reg.hiveFile(), "not a registry file\n");
    char *text = nullptr;
    EXPECT_EQ(1009u, ReadAgentInstallDir(&text));
    EXPECT_EQ(1009u, writeValue(HKEY_LOCAL_MACHINE, kKey, "V", "1", REG_DWORD));
    EXPECT_EQ("not a registry file\n", kvtest::ReadFile(reg.hiveFile()));
}

}  // namespace
