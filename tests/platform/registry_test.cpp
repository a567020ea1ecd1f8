// The file-backed registry: value round trips, names, errors, corrupt files, concurrent
// writers and interrupted writes.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <thread>

#include "platform/posix/reg_store.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "tests/support/test_support.h"

namespace {

using kvtest::ReadFile;
using kvtest::TempRegistry;

std::vector<BYTE> Wide(std::u16string text, int extraNulls = 1) {
    text.append(size_t(extraNulls), u'\0');
    std::vector<BYTE> bytes(text.size() * 2);
    memcpy(bytes.data(), text.data(), bytes.size());
    return bytes;
}

DWORD SetValue(const char *subkey, const char16_t *name, DWORD type,
               const std::vector<BYTE> &data) {
    PlatRegKey *key = nullptr;
    DWORD code = PlatRegCreateKey(HKEY_LOCAL_MACHINE, subkey, KEY_ALL_ACCESS, &key, nullptr);
    if (code != 0) return code;
    code = PlatRegSetValueW(key, name, type, data.data(), DWORD(data.size()));
    PlatRegCloseKey(key);
    return code;
}

// The raw stored bytes, read back by parsing the file again.
std::vector<uint8_t> StoredBytes(const char *subkey, const char *name, DWORD *type) {
    regstore::Hive hive("HKEY_LOCAL_MACHINE");
    EXPECT_EQ(0u, regstore::LoadHive(hive));
    regstore::Key *key = hive.Find(subkey);
    if (!key) return {};
    regstore::Value *v = key->FindValue(name);
    if (!v) return {};
    *type = v->type;
    return v->data;
}

TEST(RegistryStore, EveryTypeOfValueSurvivesTheFileByteForByte) {
    TempRegistry reg;
    struct Case {
        const char *name;
        DWORD type;
        std::vector<BYTE> data;
    } cases[] = {
        {"plain", REG_SZ, Wide(u"C:\\Program Files\\KV\\")},
        {"quotes", REG_SZ, Wide(u"say \"hi\" \\ bye")},
        {"unicode", REG_SZ, Wide(u"Grüße 日本 \U0001F600")},
        {"line break", REG_SZ, Wide(u"two\r\nlines")},
        {"no terminator", REG_SZ, Wide(u"abc", 0)},
        {"odd length", REG_SZ, {0x41, 0x00, 0x42}},
        {"lone surrogate", REG_SZ, Wide(std::u16string(1, char16_t(0xD800)))},
        {"empty sz", REG_SZ, Wide(u"")},
        {"expand", REG_EXPAND_SZ, Wide(u"%SystemRoot%\\x")},
        {"multi", REG_MULTI_SZ, Wide(u"a\0b", 2)},
        {"dword", REG_DWORD, {0xff, 0xff, 0xff, 0xff}},
        {"short dword", REG_DWORD, {0x01, 0x02}},
        {"qword", REG_QWORD, {1, 2, 3, 4, 5, 6, 7, 8}},
        {"binary long", REG_BINARY, std::vector<BYTE>(300, 0xAB)},
        {"empty binary", REG_BINARY, {}},
        {"type 0x1234", 0x1234, {9}},
    };
    for (const Case &c : cases) {
        ASSERT_EQ(0u, SetValue("Software\\Types", Utf8ToUtf16(c.name).c_str(), c.type, c.data))
            << c.name;
    }
    for (const Case &c : cases) {
        DWORD type = 0;
        EXPECT_EQ(c.data, StoredBytes("Software\\Types", c.name, &type)) << c.name;
        EXPECT_EQ(c.type, type) << c.name;
    }
}

TEST(RegistryStore, WritesTheRegExportLayout) {
    TempRegistry reg;
    ASSERT_EQ(0u, SetValue("Software\\Pol", u"On", REG_DWORD, {1, 0, 0, 0}));
    ASSERT_EQ(0u, SetValue("Software\\Pol", u"", REG_SZ, Wide(u"x\"y")));
    ASSERT_EQ(0u, SetValue("Software\\Pol", u"Bin", REG_BINARY, std::vector<BYTE>(48, 0xab)));
    // Long byte lists break where regedit breaks them: after the comma that reaches column 77.
    std::string bin = "\"Bin\"=hex:";
    for (int i = 0; i < 23; ++i) bin += "ab,";
    bin += "\\\n  ";
    for (int i = 0; i < 24; ++i) bin += "ab,";
    bin += "ab\n";
    EXPECT_EQ(
        "Windows Registry Editor Version 5.00\n\n"
        "[HKEY_LOCAL_MACHINE\\Software]\n\n"
        "[HKEY_LOCAL_MACHINE\\Software\\Pol]\n"
        "\"On\"=dword:00000001\n"
        "@=\"x\\\"y\"\n" +
            bin + "\n",
        ReadFile(reg.hiveFile()));
}

TEST(RegistryStore, NamesAreCaseInsensitiveAndKeepTheirFirstCase) {
    TempRegistry reg;
    ASSERT_EQ(0u, SetValue("Software\\Velmora", u"InstallDir", REG_SZ, Wide(u"old")));
    ASSERT_EQ(0u, SetValue("SOFTWARE\\VELMORA\\", u"INSTALLDIR", REG_SZ, Wide(u"new")));
    std::string file = ReadFile(reg.hiveFile());
    EXPECT_NE(std::string::npos, file.find("[HKEY_LOCAL_MACHINE\\Software\\Velmora]"));
    EXPECT_NE(std::string::npos, file.find("\"InstallDir\"=\"new\""));
    EXPECT_EQ(std::string::npos, file.find("VELMORA"));

    PlatRegKey *key = nullptr;
    ASSERT_EQ(0u, PlatRegOpenKey(HKEY_LOCAL_MACHINE, "software\\velmora", KEY_QUERY_VALUE, &key));
    char buf[16];
    DWORD size = sizeof buf, type = 0;
    ASSERT_EQ(0u,
              PlatRegQueryValue(key, "installdir", &type, reinterpret_cast<BYTE *>(buf), &size));
    EXPECT_EQ(REG_SZ, type);
    EXPECT_EQ(4u, size);  // UTF-8 text with its terminator
    EXPECT_STREQ("new", buf);
    PlatRegCloseKey(key);
}

TEST(RegistryStore, ReportsMissingKeysValuesAndShortBuffers) {
    TempRegistry reg;
    PlatRegKey *key = nullptr;
    EXPECT_EQ(2u, PlatRegOpenKey(HKEY_LOCAL_MACHINE, "Software\\Nothing", KEY_QUERY_VALUE, &key));
    EXPECT_EQ(nullptr, key);
    ASSERT_EQ(0u, SetValue("Software\\K", u"Text", REG_SZ, Wide(u"Grüße")));
    ASSERT_EQ(0u, PlatRegOpenKey(HKEY_LOCAL_MACHINE, "Software\\K", KEY_QUERY_VALUE, &key));
    DWORD size = 0;
    EXPECT_EQ(2u, PlatRegQueryValue(key, "Other", nullptr, nullptr, &size));
    EXPECT_EQ(0u, PlatRegQueryValue(key, "Text", nullptr, nullptr, &size));
    EXPECT_EQ(8u, size);  // "Grüße" is seven bytes of UTF-8 and a terminator
    BYTE small[4];
    size = sizeof small;
    EXPECT_EQ(234u, PlatRegQueryValue(key, "Text", nullptr, small, &size));
    EXPECT_EQ(8u, size);
    EXPECT_EQ(5u, PlatRegSetValueW(key, u"x", REG_SZ, small, 0))
        << "a read-only handle must not write";
    PlatRegCloseKey(key);
    EXPECT_EQ(2u, PlatRegDeleteTree(HKEY_LOCAL_MACHINE, "Software\\Nothing"));
}

TEST(RegistryStore, DeleteTreeRemovesTheKeyAndEverythingBelowIt) {
    TempRegistry reg;
    ASSERT_EQ(0u, SetValue("A\\B\\C", u"v", REG_DWORD, {1, 0, 0, 0}));
    ASSERT_EQ(0u, SetValue("A-sibling", u"v", REG_DWORD, {2, 0, 0, 0}));
    ASSERT_EQ(0u, PlatRegDeleteTree(HKEY_LOCAL_MACHINE, "a\\b"));
    regstore::Hive hive("HKEY_LOCAL_MACHINE");
    ASSERT_EQ(0u, regstore::LoadHive(hive));
    EXPECT_NE(nullptr, hive.Find("A"));
    EXPECT_EQ(nullptr, hive.Find("A\\B"));
    EXPECT_EQ(nullptr, hive.Find("A\\B\\C"));
    EXPECT_NE(nullptr, hive.Find("A-sibling"));
}

// regedit's export: UTF-16LE after a byte-order mark.
std::string Utf16LeFile(const std::string &utf8) {
    std::string out = "\xFF\xFE";
    for (char16_t c : Utf8ToUtf16(utf8)) {
        out.push_back(char(c & 0xFF));
        out.push_back(char(c >> 8));
    }
    return out;
}

TEST(RegistryStore, ReadsFilesWrittenByHandOrOnWindows) {
    const std::string body =
        "Windows Registry Editor Version 5.00\r\n\r\n"
        "; a comment\r\n"
        "[HKEY_LOCAL_MACHINE\\Software\\K]\r\n"
        "\"Bin\"=hex:01,02,\\\r\n  03,04\r\n"
        "\"N\"=dword:0000000a\r\n"
        "\"Text\"=\"Grüße\\r\\n\\\\n\\\"\"\r\n";
    const std::string files[] = {"\xEF\xBB\xBF" + body, Utf16LeFile(body)};
    for (const std::string &file : files) {
        TempRegistry reg;
        PlatRegKey *key = nullptr;
        ASSERT_EQ(0u, PlatRegCreateKey(HKEY_LOCAL_MACHINE, "X", KEY_ALL_ACCESS, &key, nullptr));
        PlatRegCloseKey(key);
        kvtest::WriteFile(reg.hiveFile(), file);
        DWORD type = 0;
        EXPECT_EQ((std::vector<uint8_t>{1, 2, 3, 4}), StoredBytes("Software\\K", "Bin", &type));
        EXPECT_EQ((std::vector<uint8_t>{10, 0, 0, 0}), StoredBytes("Software\\K", "N", &type));
        std::vector<BYTE> text = Wide(u"Grüße\r\n\\n\"");
        EXPECT_EQ(text, StoredBytes("Software\\K", "Text", &type));
    }
    TempRegistry reg;
    std::filesystem::create_directories(reg.dir());
    kvtest::WriteFile(reg.hiveFile(), Utf16LeFile(body) + "x");
    PlatRegKey *key = nullptr;
    EXPECT_EQ(1009u, PlatRegOpenKey(HKEY_LOCAL_MACHINE, "Software\\K", KEY_QUERY_VALUE, &key))
        << "a UTF-16 file cut in the middle of a character";
}

// Value names holding the escaped line breaks and zero bytes that a file may carry: the next
// write of the hive must escape them again rather than leave a file that no longer parses.
TEST(RegistryStore, EscapedCharactersInNamesSurviveTheNextWrite) {
    const std::string header = "Windows Registry Editor Version 5.00\n\n";
    const struct {
        std::string file;
        std::string name;  // as read
    } cases[] = {
        // Found by fuzzing the reader.
        {header + "[HKEY_LOCAL_MACHINE\\U]\n\"d\\n\"=hex:\n", "d\n"},
        {header + "[HKEY_LOCAL_MACHINE\\U]\n\"a\\rb\"=dword:00000002\n", "a\rb"},
        {header + "[HKEY_LOCAL_MACHINE\\U]\n\"z\\0\\\\0\"=\"t\"\n", std::string("z\0\\0", 4)},
    };
    // The value as the store file holds it now; null when the file or the value is missing.
    auto read = [](const std::string &name, regstore::Value *out) {
        regstore::Hive hive("HKEY_LOCAL_MACHINE");
        regstore::Key *key = regstore::LoadHive(hive) == 0 ? hive.Find("U") : nullptr;
        regstore::Value *value = key != nullptr ? key->FindValue(name) : nullptr;
        if (value != nullptr) *out = *value;
        return value != nullptr;
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.file);
        TempRegistry reg;
        std::filesystem::create_directories(reg.dir());
        kvtest::WriteFile(reg.hiveFile(), c.file);
        regstore::Value before, after;
        ASSERT_TRUE(read(c.name, &before));
        ASSERT_EQ(0u, SetValue("Other", u"v", REG_DWORD, {1, 0, 0, 0}));
        ASSERT_TRUE(read(c.name, &after)) << ReadFile(reg.hiveFile());
        EXPECT_EQ(before.type, after.type);
        EXPECT_EQ(before.data, after.data);
    }
}

TEST(RegistryStore, ACorruptFileIsReportedAndNeverRewritten) {
    const char *header = "Windows Registry Editor Version 5.00\n\n";
    const std::string cases[] = {
        "Windows Registry Editor Version 4.00\n",
        std::string(header) + "\"v\"=dword:00000001\n",                // value before any key
        std::string(header) + "[HKEY_LOCAL_MACHINE\\K]\n\"v=\"x\"\n",  // broken name
        std::string(header) + "[HKEY_LOCAL_MACHINE\\K]\n\"v\"=\"unclosed\n",  // broken text
        std::string(header) + "[HKEY_LOCAL_MACHINE\\K]\n\"v\"=hex:0g,01\n",   // bad hex
        std::string(header) + "[HKEY_LOCAL_MACHINE\\K]\n\"v\"=dword:123\n",   // short dword
        std::string(header) + "[HKEY_CURRENT_USER\\K]\n",                     // another root
        std::string(header) + "[HKEY_LOCAL_MACHINE\\K\n",                     // unclosed key
        std::string(header) + "[HKEY_LOCAL_MACHINE\\K]\ngarbage\n",
    };
    for (const std::string &text : cases) {
        TempRegistry reg;
        std::filesystem::create_directories(reg.dir());
        kvtest::WriteFile(reg.hiveFile(), text);
        PlatRegKey *key = nullptr;
        EXPECT_EQ(1009u, PlatRegOpenKey(HKEY_LOCAL_MACHINE, "K", KEY_QUERY_VALUE, &key)) << text;
        EXPECT_EQ(1009u,
                  PlatRegCreateKey(HKEY_LOCAL_MACHINE, "Other", KEY_ALL_ACCESS, &key, nullptr))
            << text;
        EXPECT_EQ(text, ReadFile(reg.hiveFile()));
    }
}

TEST(RegistryStore, AStoreThatCannotBeWrittenGivesAccessDeniedAndStaysReadable) {
    TempRegistry reg;
    ASSERT_EQ(0u, SetValue("Software\\K", u"v", REG_DWORD, {7, 0, 0, 0}));
    if (!kvtest::RunningAsRoot()) GTEST_SKIP() << "needs root to run the writer as another user";
    std::string before = ReadFile(reg.hiveFile());
    int status = kvtest::RunUnprivileged([] {
        PlatRegKey *key = nullptr;
        if (PlatRegCreateKey(HKEY_LOCAL_MACHINE, "Software\\New", KEY_ALL_ACCESS, &key, nullptr) !=
            5)
            return 1;
        if (PlatRegOpenKey(HKEY_LOCAL_MACHINE, "Software\\K", KEY_ALL_ACCESS, &key) != 0) return 2;
        BYTE one[4] = {1, 0, 0, 0};
        DWORD code = PlatRegSetValueW(key, u"v", REG_DWORD, one, 4);
        DWORD value = 0, size = 4;
        DWORD read = PlatRegQueryValue(key, "v", nullptr, reinterpret_cast<BYTE *>(&value), &size);
        PlatRegCloseKey(key);
        return code == 5 && read == 0 && value == 7 ? 0 : 3;
    });
    EXPECT_EQ(0, status);
    EXPECT_EQ(before, ReadFile(reg.hiveFile()));
}

TEST(RegistryStore, ConcurrentWritersInSeveralProcessesKeepEveryValue) {
    TempRegistry reg;
    constexpr int kProcesses = 4, kValues = 25;
    std::vector<pid_t> children;
    for (int p = 0; p < kProcesses; ++p) {
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            int failures = 0;
            for (int i = 0; i < kValues; ++i) {
                std::u16string name =
                    Utf8ToUtf16("p" + std::to_string(p) + "v" + std::to_string(i));
                failures +=
                    SetValue("Software\\Shared", name.c_str(), REG_DWORD, {BYTE(i), 0, 0, 0}) != 0;
            }
            _exit(failures);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    regstore::Hive hive("HKEY_LOCAL_MACHINE");
    ASSERT_EQ(0u, regstore::LoadHive(hive));
    ASSERT_NE(nullptr, hive.Find("Software\\Shared"));
    EXPECT_EQ(size_t(kProcesses * kValues), hive.Find("Software\\Shared")->values.size());
}

TEST(RegistryStore, AWriterKilledMidWriteLeavesAWholeFile) {
    TempRegistry reg;
    ASSERT_EQ(0u, SetValue("Software\\K", u"seed", REG_BINARY, std::vector<BYTE>(20000, 1)));
    for (int round = 0; round < 20; ++round) {
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            for (int i = 0;; ++i)
                SetValue("Software\\K", u"churn", REG_BINARY,
                         std::vector<BYTE>(20000 + i % 7, BYTE(i)));
        }
        usleep(1000 + 1500 * (round % 5));
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        regstore::Hive hive("HKEY_LOCAL_MACHINE");
        ASSERT_EQ(0u, regstore::LoadHive(hive)) << "round " << round;
        ASSERT_NE(nullptr, hive.Find("Software\\K")->FindValue("seed"));
    }
    // The next writer clears away the temporary files that killed writers left behind.
    ASSERT_EQ(0u, SetValue("Software\\K", u"last", REG_DWORD, {1, 0, 0, 0}));
    size_t files = 0;
    for (const auto &entry : std::filesystem::directory_iterator(reg.dir())) {
        (void)entry;
        ++files;
    }
    EXPECT_EQ(2u, files) << "the hive and its lock file";
}

}  // namespace
