// kvprereqhandler run as a process: a private registry store, an agent install folder, and a
// stand-in gpupdate on PATH that records each run. Results are read back from the store, the
// log file and the exit code.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

#include "tests/support/test_support.h"

namespace {

const std::string kTool = KV_BINARY_DIR "/tool/kvprereqhandler";
const std::string kKvreg = KV_BINARY_DIR "/kvreg";
const std::string kWuKey = "HKLM\\SOFTWARE\\Policies\\Microsoft\\Windows\\WindowsUpdate";
const std::string kAuKey = kWuKey + "\\AU";
const std::string kAgentKey = "HKLM\\Software\\Velmora\\Corvane\\KVAgent";

class Agent {
  public:
    Agent() {
        std::filesystem::create_directories(bin());
        std::filesystem::create_directories(installDir());
        chmod(root_.path().c_str(), 0755);
        kvtest::WriteFile(bin() + "/gpupdate",
                          "#!/bin/sh\necho \"$@\" | tee -a " + (root_ / "gpupdate.calls") + "\n");
        chmod((bin() + "/gpupdate").c_str(), 0755);
    }

    std::string bin() const { return root_ / "bin"; }
    std::string installDir() const { return root_ / "agent"; }
    std::string logFile() const { return installDir() + "/logs/kvprereqhandler.log"; }
    std::string registryDir() const { return root_ / "registry"; }
    int gpupdateRuns() const {
        return int(kvtest::SplitLines(kvtest::ReadFile(root_ / "gpupdate.calls")).size());
    }

    std::vector<std::string> Env() const {
        return {"KVAGENT_REGISTRY_DIR=" + registryDir(), "PATH=" + bin() + ":/usr/bin:/bin"};
    }

    void Reg(const std::vector<std::string> &args) const {
        std::vector<std::string> argv{kKvreg};
        argv.insert(argv.end(), args.begin(), args.end());
        argv.push_back("/f");
        kvtest::CommandResult r = kvtest::RunCommand(argv, Env());
        ASSERT_EQ(0, r.exitCode) << r.err;
    }

    void Install() const {
        Reg({"add", kAgentKey, "/v", "KVAgentInstallDir", "/d", installDir() + "/"});
    }

    // The value's data as kvreg shows it, or "absent".
    std::string Value(const std::string &key, const std::string &name) const {
        kvtest::CommandResult r = kvtest::RunCommand({kKvreg, "query", key, "/v", name}, Env());
        if (r.exitCode != 0) return "absent";
        std::string out = r.out;
        size_t at = out.find("REG_DWORD    ");
        return at == std::string::npos ? out : out.substr(at + 13, out.find('\n', at) - at - 13);
    }

    bool KeyExists(const std::string &key) const {
        return kvtest::RunCommand({kKvreg, "query", key}, Env()).exitCode == 0;
    }

    kvtest::CommandResult Run(const std::vector<std::string> &args,
                              bool unprivileged = false) const {
        std::vector<std::string> argv{kTool};
        argv.insert(argv.end(), args.begin(), args.end());
        return kvtest::RunCommand(argv, Env(), unprivileged);
    }

    std::vector<std::string> LogLines() const {
        return kvtest::LogTexts(kvtest::ReadFile(logFile()));
    }

  private:
    kvtest::TempDir root_;
};

// The INFO lines of the run that are this tool's own decisions, in order.
std::vector<std::string> DecisionLines(const std::vector<std::string> &lines) {
    std::vector<std::string> out;
    for (const std::string &line : lines) {
        if (line.find("Pivotwell") != std::string::npos ||
            line.find("Invalid Arguement") != std::string::npos ||
            line.find("AutoUpdate Modification") != std::string::npos ||
            line.find("*****") != std::string::npos || line.find("NoAutoUpdate ") == 6) {
            out.push_back(line);
        }
    }
    return out;
}

const std::string kAllUpdated =
    "INFO *********************************** ALL Keys Updated ***********************************";
const std::string kRefresh =
    "INFO *********************************** Updating Group Policy "
    "***********************************";

TEST(Kvprereqhandler, CommandLines) {
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        std::string ux, access, noAuto;  // policy values afterwards: "0x1", "0x0" or "absent"
        std::vector<std::string> lines;
    } cases[] = {
        {{"-disable"}, 0, "0x1", "0x1", "0x1", {"INFO Disable Pivotwell", kAllUpdated, kRefresh}},
        {{"-enable"}, 0, "0x0", "0x0", "0x0", {"INFO Enable Pivotwell", kAllUpdated, kRefresh}},
        {{"-ENABLE"}, 0, "0x0", "0x0", "0x0", {"INFO Enable Pivotwell", kAllUpdated, kRefresh}},
        {{"-Disable"}, 0, "0x1", "0x1", "0x1", {"INFO Disable Pivotwell", kAllUpdated, kRefresh}},
        {{"-enable", "-disable"},
         0,
         "0x1",
         "0x1",
         "0x1",
         {"INFO Enable Pivotwell", "INFO Disable Pivotwell", kAllUpdated, kRefresh}},
        {{"-disable", "-enable"},
         0,
         "0x0",
         "0x0",
         "0x0",
         {"INFO Disable Pivotwell", "INFO Enable Pivotwell", kAllUpdated, kRefresh}},
        {{"-NotIncludeAutoUpdate"},
         0,
         "0x1",
         "0x1",
         "absent",
         {"INFO AutoUpdate Modification has not been Included", kAllUpdated, kRefresh}},
        {{"-notincludeautoupdate", "-NotIncludeAutoUpdate", "-enable"},
         0,
         "0x0",
         "0x0",
         "absent",
         {"INFO AutoUpdate Modification has not been Included",
          "INFO AutoUpdate Modification has not been Included", "INFO Enable Pivotwell",
          kAllUpdated, kRefresh}},
        {{"enable"}, 13, "absent", "absent", "absent", {"INFO Invalid Arguement for enable"}},
        {{"/enable"}, 13, "absent", "absent", "absent", {"INFO Invalid Arguement for /enable"}},
        {{"-enabled"}, 13, "absent", "absent", "absent", {"INFO Invalid Arguement for -enabled"}},
        {{"-enable", "bogus"},
         13,
         "absent",
         "absent",
         "absent",
         {"INFO Enable Pivotwell", "INFO Invalid Arguement for bogus"}},
        {{""}, 13, "absent", "absent", "absent", {"INFO Invalid Arguement for "}},
        {{}, 13, "absent", "absent", "absent", {"INFO Invalid Arguement for " + kTool}},
    };
    for (const Case &c : cases) {
        std::string shown;
        for (const auto &a : c.args) shown += "'" + a + "' ";
        Agent agent;
        agent.Install();
        kvtest::CommandResult r = agent.Run(c.args);
        EXPECT_EQ(c.exitCode, r.exitCode) << shown << r.err;
        EXPECT_EQ(c.ux, agent.Value(kWuKey, "SetDisableUXWUAccess")) << shown;
        EXPECT_EQ(c.access, agent.Value(kWuKey, "DisableWindowsUpdateAccess")) << shown;
        EXPECT_EQ(c.noAuto, agent.Value(kAuKey, "NoAutoUpdate")) << shown;
        if (c.noAuto == "absent") {
            EXPECT_FALSE(agent.KeyExists(kAuKey)) << shown;
        }
        EXPECT_EQ(c.lines, DecisionLines(agent.LogLines())) << shown;
        EXPECT_EQ(c.exitCode == 0 ? 1 : 0, agent.gpupdateRuns()) << shown;
        EXPECT_EQ(c.exitCode == 0 ? "/force\n" : "", r.out)
            << "the console shows gpupdate's output only";
    }
}

TEST(Kvprereqhandler, LeavingOutAutoUpdateKeepsAnExistingValue) {
    Agent agent;
    agent.Install();
    agent.Reg({"add", kAuKey, "/v", "NoAutoUpdate", "/t", "REG_DWORD", "/d", "5"});
    EXPECT_EQ(0, agent.Run({"-enable", "-NotIncludeAutoUpdate"}).exitCode);
    EXPECT_EQ("0x5", agent.Value(kAuKey, "NoAutoUpdate"));
    EXPECT_EQ("0x0", agent.Value(kWuKey, "SetDisableUXWUAccess"));
}

TEST(Kvprereqhandler, WithoutTheAgentKeyItExits13AndWritesNoLog) {
    Agent agent;
    kvtest::CommandResult r = agent.Run({"-disable"});
    EXPECT_EQ(13, r.exitCode);
    EXPECT_FALSE(kvtest::FileExists(agent.logFile()));
    EXPECT_FALSE(std::filesystem::exists(agent.installDir() + "/logs"));
    EXPECT_EQ("absent", agent.Value(kWuKey, "SetDisableUXWUAccess"));
    EXPECT_EQ(0, agent.gpupdateRuns());
}

TEST(Kvprereqhandler, AUserWhoCannotWriteTheStoreGetsAccessDeniedForEachValue) {
    if (!kvtest::RunningAsRoot()) GTEST_SKIP() << "needs root to run the tool as another user";
    Agent agent;
    agent.Install();
    agent.Reg({"add", kWuKey, "/v", "SetDisableUXWUAccess", "/t", "REG_DWORD", "/d", "0"});
    std::filesystem::create_directories(agent.installDir() + "/logs");
    chmod((agent.installDir() + "/logs").c_str(), 0777);
    chmod(agent.installDir().c_str(), 0755);
    kvtest::WriteFile(agent.logFile(), "");
    chmod(agent.logFile().c_str(), 0666);
    chmod(agent.bin().c_str(), 0755);
    std::filesystem::permissions(std::filesystem::path(agent.bin()).parent_path(),
                                 std::filesystem::perms(0777));

    kvtest::CommandResult r = agent.Run({"-disable"}, /*unprivileged=*/true);
    EXPECT_EQ(5, r.exitCode) << r.err;
    EXPECT_EQ("0x0", agent.Value(kWuKey, "SetDisableUXWUAccess")) << "nothing changed";
    EXPECT_FALSE(agent.KeyExists(kAuKey));
    std::vector<std::string> lines = agent.LogLines();
    EXPECT_NE(
        lines.end(),
        std::find(lines.begin(), lines.end(),
                  "ERROR NoAutoUpdate 5 , SetDisableUXWUAccess 5, DisableWindowsUpdateAccess 5"));
    EXPECT_EQ(1, agent.gpupdateRuns()) << "group policy is refreshed all the same";
}

TEST(Kvprereqhandler, LogLevelFromTheRegistry) {
    struct Case {
        const char *level;  // null: the value is absent
        bool toolLines;
        bool errorLines;
    } cases[] = {
        {nullptr, true, false},
        {"0", false, false},
        {"4", true, true},
    };
    for (const Case &c : cases) {
        Agent agent;
        agent.Install();
        if (c.level)
            agent.Reg(
                {"add", kAgentKey, "/v", "KVAgentLogLevel", "/t", "REG_DWORD", "/d", c.level});
        ASSERT_EQ(0, agent.Run({"-disable"}).exitCode);
        std::vector<std::string> lines = agent.LogLines();
        EXPECT_EQ(c.toolLines, !lines.empty()) << (c.level ? c.level : "absent");
        bool debug = std::any_of(lines.begin(), lines.end(),
                                 [](const std::string &l) { return l.rfind("DEBUG", 0) == 0; });
        EXPECT_EQ(c.errorLines, debug) << (c.level ? c.level : "absent");
        std::string text = kvtest::ReadFile(agent.logFile());
        EXPECT_NE(std::string::npos, text.find("Log open time: "));
        EXPECT_NE(std::string::npos, text.find("Log close time: "));
    }
}

TEST(Kvprereqhandler, TheLogIsRotatedAtStartOnceItHasReachedTwoMillionBytes) {
    struct Case {
        size_t size;
        bool rotated;
    } cases[] = {{1999999, false}, {2000000, true}};
    for (const Case &c : cases) {
        Agent agent;
        agent.Install();
        std::filesystem::create_directories(agent.installDir() + "/logs");
        kvtest::WriteFile(agent.logFile(), std::string(c.size, 'o'));
        ASSERT_EQ(0, agent.Run({"-disable"}).exitCode);
        std::string copy = agent.installDir() + "/logs/kvprereqhandler1.log";
        EXPECT_EQ(c.rotated, kvtest::FileExists(copy)) << c.size;
        std::string live = kvtest::ReadFile(agent.logFile());
        if (c.rotated) {
            EXPECT_EQ(std::string(c.size, 'o'), kvtest::ReadFile(copy));
            EXPECT_EQ(0u, live.find("[ ")) << "the live log starts afresh";
            EXPECT_EQ(std::string::npos, live.find("RotateSpecificLogs"))
                << "rotation lines are not logged";
        } else {
            EXPECT_EQ(0u, live.find(std::string(c.size, 'o')));
        }
    }
}

TEST(Kvprereqhandler, ALogThatCannotBeOpenedDoesNotStopTheTool) {
    Agent agent;
    kvtest::WriteFile(agent.installDir() + "/logs", "a file where the log folder should be");
    agent.Install();
    EXPECT_EQ(0, agent.Run({"-disable"}).exitCode);
    EXPECT_EQ("0x1", agent.Value(kWuKey, "DisableWindowsUpdateAccess"));
    EXPECT_EQ(1, agent.gpupdateRuns());
}

TEST(Kvprereqhandler, WithoutGpupdateTheResultIsUnchanged) {
    Agent agent;
    agent.Install();
    std::filesystem::remove(agent.bin() + "/gpupdate");
    kvtest::CommandResult r = agent.Run({"-enable"});
    EXPECT_EQ(0, r.exitCode);
    EXPECT_EQ("", r.out + r.err) << "nothing is reported about the missing program";
}

}  // namespace
