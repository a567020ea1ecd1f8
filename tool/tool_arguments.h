// The tool's command line: which way to switch Windows Update access, and whether the
// automatic-update value is written too.
//
// ParseToolArguments reads argv[1..argc) in order, switches compared ignoring case; a later
// switch overrides an earlier one. It logs each switch it reads at info level and the first
// argument that is no switch ("Invalid Arguement for %s\n"), then stops there. It touches
// neither the registry nor any process, keeps no state and may run on any thread; argv is
// only read.
#ifndef KV_TOOL_TOOL_ARGUMENTS_H
#define KV_TOOL_TOOL_ARGUMENTS_H

struct ToolArguments {
    int action = 1;             // 1 turns access off (-disable), 0 on (-enable)
    int includeAutoUpdate = 1;  // 0 after -NotIncludeAutoUpdate
};

// 0 with *arguments filled; 13, the tool's exit code for a bad command line, when there is no
// argument after the program name or one of them is no switch (*arguments then holds what
// was read before it).
int ParseToolArguments(int argc, const char *const *argv, ToolArguments *arguments);

#endif  // KV_TOOL_TOOL_ARGUMENTS_H
