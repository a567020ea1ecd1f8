// Splitting a command line such as "gpupdate/force" the way Windows' command interpreter
// does: the program name is the text before the first "/" or blank, the rest follows it.
// Shared by both backends' PlatRunCommandLine. Internal to platform/ (C++ only).
#ifndef KV_PLATFORM_COMMAND_LINE_H
#define KV_PLATFORM_COMMAND_LINE_H

#include <string>

// False for a line of blanks only.
inline bool SplitCommandLine(const std::string &line, std::string *program, std::string *rest) {
    size_t nameStart = line.find_first_not_of(" \t");
    if (nameStart == std::string::npos) return false;
    size_t nameEnd = line.find_first_of("/ \t", nameStart);
    if (nameEnd == std::string::npos) nameEnd = line.size();
    *program = line.substr(nameStart, nameEnd - nameStart);
    *rest = line.substr(nameEnd);
    return true;
}

#endif  // KV_PLATFORM_COMMAND_LINE_H
