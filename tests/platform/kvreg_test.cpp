// kvreg as a person runs it: a table of command lines with their exit codes and output.
#include <gtest/gtest.h>

#include "tests/support/test_support.h"

namespace {

const std::string kKvreg = KV_BINARY_DIR "/kvreg";

kvtest::CommandResult Kvreg(const std::vector<std::string> &args) {
    std::vector<std::string> argv{kKvreg};
    argv.insert(argv.end(), args.begin(), args.end());
    return kvtest::RunCommand(argv);
}

TEST(Kvreg, CommandLinesInSequence) {
    kvtest::TempRegistry reg;
    const std::string key = "HKLM\\SOFTWARE\\Policies\\Microsoft\\Windows\\WindowsUpdate";
    struct Step {
        std::vector<std::string> args;
        int exitCode;
        std::string out;  // exact stdout, or "" when not checked
        std::string err;  // a fragment of stderr
    } steps[] = {
        {{"query", key},
         1,
         "",
         "ERROR: The system was unable to find the specified registry key or value."},
        {{"add", key, "/v", "SetDisableUXWUAccess", "/t", "REG_DWORD", "/d", "1", "/f"},
         0,
         "The operation completed successfully.\n",
         ""},
        {{"ADD", key + "\\AU", "/V", "NoAutoUpdate", "/T", "reg_dword", "/D", "0x0", "/F"},
         0,
         "",
         ""},
        {{"add", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Policies\\Microsoft\\Windows\\WindowsUpdate", "/v",
          "Name", "/d", "text with \"quotes\"", "/f"},
         0,
         "",
         ""},
        {{"add", key, "/ve", "/d", "default", "/f"}, 0, "", ""},
        {{"query", key},
         0,
         "\nHKEY_LOCAL_MACHINE\\SOFTWARE\\Policies\\Microsoft\\Windows\\WindowsUpdate\n"
         "    SetDisableUXWUAccess    REG_DWORD    0x1\n"
         "    Name    REG_SZ    text with \"quotes\"\n"
         "    (Default)    REG_SZ    default\n"
         "\n"
         "HKEY_LOCAL_MACHINE\\SOFTWARE\\Policies\\Microsoft\\Windows\\WindowsUpdate\\AU\n",
         ""},
        {{"query", "hklm\\software\\policies\\microsoft\\windows\\windowsupdate\\au", "/v",
          "noautoupdate"},
         0,
         "\nHKEY_LOCAL_MACHINE\\SOFTWARE\\Policies\\Microsoft\\Windows\\WindowsUpdate\\AU\n"
         "    NoAutoUpdate    REG_DWORD    0x0\n\n",
         ""},
        {{"add", key, "/v", "Bin", "/t", "REG_BINARY", "/d", "0aFF", "/f"}, 0, "", ""},
        {{"query", key, "/v", "Bin"},
         0,
         "\nHKEY_LOCAL_MACHINE\\SOFTWARE\\Policies\\Microsoft\\Windows\\WindowsUpdate\n    Bin    "
         "REG_BINARY    0AFF\n\n",
         ""},
        // An existing value is not overwritten without /f when nobody answers.
        {{"add", key, "/v", "Bin", "/t", "REG_BINARY", "/d", "00"}, 1, "", "cancelled"},
        {{"delete", key, "/v", "Bin"}, 1, "", "cancelled"},
        {{"delete", key, "/v", "Bin", "/f"}, 0, "The operation completed successfully.\n", ""},
        {{"query", key, "/v", "Bin"}, 1, "", "unable to find"},
        {{"delete", key, "/v", "Missing", "/f"}, 1, "", "unable to find"},
        // Bad input: one line on stderr, exit 1, nothing changed.
        {{}, 1, "", "Invalid syntax"},
        {{"frobnicate", key}, 1, "", "unknown operation frobnicate"},
        {{"query"}, 1, "", "missing KEY"},
        {{"query", "HKXX\\Software"}, 1, "", "Invalid key name"},
        {{"add", key, "/v"}, 1, "", "/v needs a value"},
        {{"add", key, "/v", "x", "/t", "REG_FLOAT", "/d", "1", "/f"},
         1,
         "",
         "Invalid type: REG_FLOAT"},
        {{"add", key, "/v", "x", "/t", "REG_DWORD", "/d", "4294967296", "/f"},
         1,
         "",
         "Invalid data for REG_DWORD"},
        {{"add", key, "/v", "x", "/t", "REG_DWORD", "/d", "-1", "/f"},
         1,
         "",
         "Invalid data for REG_DWORD"},
        {{"add", key, "/v", "x", "/t", "REG_BINARY", "/d", "abc", "/f"},
         1,
         "",
         "Invalid data for REG_BINARY"},
        {{"query", key, "/z"}, 1, "", "unexpected /z"},
        {{"delete", "HKLM", "/f"}, 1, "", "a root cannot be deleted"},
        {{"delete", key, "/f"}, 0, "", ""},
        {{"query", key + "\\AU"}, 1, "", "unable to find"},
    };
    for (const Step &s : steps) {
        std::string shown;
        for (const auto &a : s.args) shown += a + " ";
        kvtest::CommandResult r = Kvreg(s.args);
        EXPECT_EQ(s.exitCode, r.exitCode) << shown << "\n" << r.err;
        if (!s.out.empty()) {
            EXPECT_EQ(s.out, r.out) << shown;
        }
        if (!s.err.empty()) {
            EXPECT_NE(std::string::npos, r.err.find(s.err)) << shown << "\n" << r.err;
        }
        if (s.exitCode != 0) {
            EXPECT_EQ(1u, kvtest::SplitLines(r.err).size()) << shown << "\n" << r.err;
        }
    }
}

TEST(Kvreg, HelpPrintsUsage) {
    kvtest::CommandResult r = Kvreg({"--help"});
    EXPECT_EQ(0, r.exitCode);
    EXPECT_NE(std::string::npos, r.out.find("kvreg query  KEY"));
}

}  // namespace
