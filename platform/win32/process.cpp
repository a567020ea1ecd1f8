// Running a command line for the Win32 backend.
//
// The line still goes through the C runtime's system(), and so through the command
// interpreter, but with its program found first: on PATH only, as the POSIX backend does,
// since the interpreter would look in the current folder before PATH and run a program
// planted there. The line is handed on as "<full path>" <arguments>, which also spares
// interpreters that do not end a program name at "/" (Wine's cmd takes "gpupdate/force"
// for the file force in a folder gpupdate).
#include "platform/win32/win_api.h"

#include <stdlib.h>

#include <string>
#include <vector>

#include "platform/command_line.h"
#include "platform/process.h"

namespace {

std::string Env(const char *name) {
    DWORD n = GetEnvironmentVariableA(name, nullptr, 0);
    if (n == 0) return "";
    std::string value(n, '\0');
    n = GetEnvironmentVariableA(name, &value[0], n);
    value.resize(n);
    return value;
}

std::vector<std::string> Split(const std::string &text, char separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(separator, start);
        if (end == std::string::npos) end = text.size();
        parts.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

// "C:\..." or "\\server\...": a PATH entry that does not depend on the current folder.
bool Absolute(const std::string &dir) {
    if (dir.size() >= 3 && dir[1] == ':' && (dir[2] == '\\' || dir[2] == '/')) return true;
    return dir.size() >= 2 && (dir[0] == '\\' || dir[0] == '/') &&
           (dir[1] == '\\' || dir[1] == '/');
}

bool IsFile(const std::string &path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The program's full path: each absolute PATH entry in turn, with the name as given when it
// has an extension, then with each extension of PATHEXT, as the interpreter tries them.
std::string FindOnPath(const std::string &program) {
    if (program.empty() || program.find_first_of("\\:\"") != std::string::npos) return "";
    std::string pathExt = Env("PATHEXT");
    if (pathExt.empty()) pathExt = ".COM;.EXE;.BAT;.CMD";
    std::vector<std::string> suffixes;
    if (program.find('.') != std::string::npos) suffixes.push_back("");
    for (const std::string &ext : Split(pathExt, ';')) {
        if (!ext.empty()) suffixes.push_back(ext);
    }
    for (std::string dir : Split(Env("PATH"), ';')) {
        if (dir.size() >= 2 && dir.front() == '"' && dir.back() == '"')
            dir = dir.substr(1, dir.size() - 2);
        if (!Absolute(dir)) continue;
        if (dir.back() != '\\' && dir.back() != '/') dir += '\\';
        for (const std::string &suffix : suffixes) {
            if (IsFile(dir + program + suffix)) return dir + program + suffix;
        }
    }
    return "";
}

}  // namespace

extern "C" {

int PlatRunCommandLine(const char *commandLine) {
    if (commandLine == nullptr) return -1;
    std::string name, rest;
    if (!SplitCommandLine(commandLine, &name, &rest)) return -1;
    std::string program = FindOnPath(name);
    if (program.empty()) return -1;
    if (!rest.empty() && rest[0] == '/') rest = " " + rest;
    // Output already buffered by this process must reach the console before the program's.
    fflush(nullptr);
    // The interpreter keeps the quotes around a program's path only in narrow cases ("(" in
    // "Program Files (x86)" is not one of them), and otherwise drops the first and last quote
    // of the line: an outer pair is what it drops.
    return system(("\"\"" + program + "\"" + rest + "\"").c_str());
}

}  // extern "C"
