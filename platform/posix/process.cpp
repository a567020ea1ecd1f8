// Running a command line for the POSIX backend.
#include "platform/process.h"

#include "platform/command_line.h"

#include <errno.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

extern char **environ;

namespace {

// Only absolute PATH entries count: an empty or relative entry would name the current
// folder, where a planted program must never be run.
std::string FindOnPath(const std::string &program) {
    if (program.empty() || program.find('/') != std::string::npos) return "";
    const char *path = getenv("PATH");
    std::string entries = path ? path : "";
    size_t start = 0;
    while (start <= entries.size()) {
        size_t end = entries.find(':', start);
        if (end == std::string::npos) end = entries.size();
        std::string dir = entries.substr(start, end - start);
        start = end + 1;
        if (dir.empty() || dir[0] != '/') continue;
        std::string candidate = dir + "/" + program;
        struct stat st;
        if (stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
            access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
    }
    return "";
}

std::vector<std::string> SplitBlanks(const std::string &text) {
    std::vector<std::string> words;
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
        size_t end = text.find_first_of(" \t", i);
        if (end == std::string::npos) end = text.size();
        if (end > i) words.push_back(text.substr(i, end - i));
        i = end;
    }
    return words;
}

}  // namespace

extern "C" {

int PlatRunCommandLine(const char *commandLine) {
    if (commandLine == nullptr) return -1;
    std::string name, rest;
    if (!SplitCommandLine(commandLine, &name, &rest)) return -1;
    std::string program = FindOnPath(name);
    if (program.empty()) return -1;

    std::vector<std::string> args{program};
    for (std::string &word : SplitBlanks(rest)) args.push_back(std::move(word));
    std::vector<char *> argv;
    for (std::string &a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    pid_t pid;
    if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0) return -1;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // extern "C"
