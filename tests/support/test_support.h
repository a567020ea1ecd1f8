// Helpers shared by the tests: temporary folders, environment overrides, whole-file reads,
// running code as an unprivileged user, and a log opened into a temporary file.
#ifndef KV_TESTS_SUPPORT_TEST_SUPPORT_H
#define KV_TESTS_SUPPORT_TEST_SUPPORT_H

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kvtest {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;
    const std::string &path() const { return path_; }
    std::string operator/(const std::string &name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

// Sets (or, with nullopt, unsets) an environment variable for one scope.
class ScopedEnv {
  public:
    ScopedEnv(const char *name, std::optional<std::string> value);
    ~ScopedEnv();

  private:
    std::string name_;
    std::optional<std::string> old_;
};

// A private registry store for one test: KVAGENT_REGISTRY_DIR points into a TempDir.
class TempRegistry {
  public:
    TempRegistry();
    std::string dir() const { return tmp_ / "registry"; }
    std::string hiveFile() const { return dir() + "/HKEY_LOCAL_MACHINE.reg"; }

  private:
    TempDir tmp_;
    ScopedEnv env_;
};

std::string ReadFile(const std::string &path);
void WriteFile(const std::string &path, const std::string &text);
bool FileExists(const std::string &path);
std::vector<std::string> SplitLines(const std::string &text);  // at "\r\n" or "\n"

// Runs body in a child process without write access to files owned by root (as the user
// nobody when the tests run as root); returns the child's exit status, or -1.
int RunUnprivileged(const std::function<int()> &body);
// True when RunUnprivileged drops privileges by switching user (the tests run as root).
bool RunningAsRoot();

struct CommandResult {
    int exitCode;
    std::string out;
    std::string err;
};
// Runs argv with the current environment plus extra "NAME=value" entries; stdin is empty.
// unprivileged runs it as RunUnprivileged does.
CommandResult RunCommand(const std::vector<std::string> &argv,
                         const std::vector<std::string> &extraEnv = {}, bool unprivileged = false);

// The texts of a log file's lines as "TAG text" (the prefix "[ stamp ] [ tid ] [TAG] " taken
// off, line ends dropped); the open and close lines are left out.
std::vector<std::string> LogTexts(const std::string &fileText);

// Opens the process log at level into a temporary file for one scope, and closes and frees
// it afterwards.
class CapturedLog {
  public:
    explicit CapturedLog(unsigned char level);
    ~CapturedLog();
    std::string text() const;  // everything written so far
    // The caller's texts of the lines written since the log opened, without the prefix
    // "[ stamp ] [ tid ] [TAG] " and with "\r\n" turned back into "\n"; tagged "TAG text".
    std::vector<std::string> Lines() const;
    // Those of the lines tagged tag ("ERROR", "TRACE" ...), the tag and its blank taken off.
    std::vector<std::string> Tagged(const std::string &tag) const;

  private:
    TempDir dir_;
};

}  // namespace kvtest

#endif  // KV_TESTS_SUPPORT_TEST_SUPPORT_H
