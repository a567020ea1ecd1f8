#include "tests/support/test_support.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "logging/log.h"

extern char **environ;

namespace kvtest {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "kvtest.XXXXXX").string();
    char *made = mkdtemp(pattern.data());
    if (made == nullptr) abort();
    path_ = made;
    chmod(path_.c_str(), 0755);  // readable by the unprivileged child of RunUnprivileged
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

ScopedEnv::ScopedEnv(const char *name, std::optional<std::string> value) : name_(name) {
    if (const char *old = getenv(name)) old_ = old;
    if (value) {
        setenv(name, value->c_str(), 1);
    } else {
        unsetenv(name);
    }
}

ScopedEnv::~ScopedEnv() {
    if (old_) {
        setenv(name_.c_str(), old_->c_str(), 1);
    } else {
        unsetenv(name_.c_str());
    }
}

TempRegistry::TempRegistry() : env_("KVAGENT_REGISTRY_DIR", tmp_ / "registry") {}

std::string ReadFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void WriteFile(const std::string &path, const std::string &text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

bool FileExists(const std::string &path) {
    return access(path.c_str(), F_OK) == 0;
}

std::vector<std::string> SplitLines(const std::string &text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

bool RunningAsRoot() {
    return geteuid() == 0;
}

namespace {

bool DropPrivileges() {
    struct passwd *nobody = getpwnam("nobody");
    uid_t uid = nobody ? nobody->pw_uid : 65534;
    gid_t gid = nobody ? nobody->pw_gid : 65534;
    return setgroups(0, nullptr) == 0 && setgid(gid) == 0 && setuid(uid) == 0;
}

}  // namespace

int RunUnprivileged(const std::function<int()> &body) {
    fflush(nullptr);
    pid_t pid = fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        if (RunningAsRoot() && !DropPrivileges()) _exit(98);
        _exit(body());
    }
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

CommandResult RunCommand(const std::vector<std::string> &argv,
                         const std::vector<std::string> &extraEnv, bool unprivileged) {
    TempDir capture;
    std::string outPath = capture / "out", errPath = capture / "err";
    std::vector<std::string> env;
    for (char **e = environ; *e; ++e) env.emplace_back(*e);
    for (const std::string &extra : extraEnv) {
        std::string name = extra.substr(0, extra.find('='));
        std::erase_if(env, [&](const std::string &e) {
            return e.compare(0, name.size() + 1, name + "=") == 0;
        });
        env.push_back(extra);
    }
    std::vector<char *> cargv, cenv;
    for (const auto &a : argv) cargv.push_back(const_cast<char *>(a.c_str()));
    cargv.push_back(nullptr);
    for (const auto &e : env) cenv.push_back(const_cast<char *>(e.c_str()));
    cenv.push_back(nullptr);
    fflush(nullptr);
    CommandResult result{-1, "", ""};
    pid_t pid = fork();
    if (pid == 0) {
        int in = open("/dev/null", O_RDONLY);
        int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
        int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
        if (in < 0 || out < 0 || err < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0)
            _exit(126);
        if (unprivileged && RunningAsRoot() && !DropPrivileges()) _exit(98);
        execve(cargv[0], cargv.data(), cenv.data());
        _exit(127);
    }
    if (pid > 0) {
        int status = 0;
        waitpid(pid, &status, 0);
        result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    result.out = ReadFile(outPath);
    result.err = ReadFile(errPath);
    return result;
}

CapturedLog::CapturedLog(unsigned char level) {
    InitLogSettings();
    SetLogSettings("test.log", dir_.path().c_str(), level);
    OpenLog();
}

CapturedLog::~CapturedLog() {
    CloseLog();
    FreeLogSettings();
}

std::string CapturedLog::text() const {
    return ReadFile(dir_ / "test.log");
}

namespace {

// "[ 2026-12-09 14:03:07:042 ] [ 812 ] [INFO] text" -> "INFO text"; false for other lines.
bool StripPrefix(const std::string &line, std::string *out) {
    if (line.size() < 30 || line.compare(0, 2, "[ ") != 0 || line.compare(25, 5, " ] [ ") != 0)
        return false;
    size_t idClose = line.find(" ] [", 30);
    if (idClose == std::string::npos) return false;
    size_t tagClose = line.find("] ", idClose + 4);
    if (tagClose == std::string::npos) return false;
    *out = line.substr(idClose + 4, tagClose - idClose - 4) + " " + line.substr(tagClose + 2);
    return true;
}

}  // namespace

std::vector<std::string> LogTexts(const std::string &fileText) {
    std::vector<std::string> lines;
    for (const std::string &line : SplitLines(fileText)) {
        std::string stripped;
        if (!StripPrefix(line, &stripped)) {
            if (!lines.empty()) lines.back() += "\n" + line;  // a text with a line break of its own
            continue;
        }
        if (stripped.rfind("INFO Log open time: ", 0) == 0 ||
            stripped.rfind("INFO Log close time: ", 0) == 0)
            continue;
        lines.push_back(stripped);
    }
    return lines;
}

std::vector<std::string> CapturedLog::Lines() const {
    return LogTexts(text());
}

std::vector<std::string> CapturedLog::Tagged(const std::string &tag) const {
    std::vector<std::string> out;
    for (const std::string &line : Lines()) {
        if (line.rfind(tag + " ", 0) == 0) out.push_back(line.substr(tag.size() + 1));
    }
    return out;
}

}  // namespace kvtest
