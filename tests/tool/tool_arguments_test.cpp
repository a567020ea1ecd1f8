// The tool's command line read without running the tool: results and the switches' effect.
// The log lines it writes are checked by the end-to-end tests.
#include "tool/tool_arguments.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(ToolArguments, Table) {
    const struct {
        std::vector<const char *> argv;  // the program name first
        int result;
        int action;
        int includeAutoUpdate;
    } cases[] = {
        {{}, 13, 1, 1},
        {{"kvprereqhandler"}, 13, 1, 1},
        {{"kvprereqhandler", "-enable"}, 0, 0, 1},
        {{"kvprereqhandler", "-ENABLE"}, 0, 0, 1},
        {{"kvprereqhandler", "-disable"}, 0, 1, 1},
        {{"kvprereqhandler", "-NotIncludeAutoUpdate"}, 0, 1, 0},
        {{"kvprereqhandler", "-notincludeautoupdate", "-Enable"}, 0, 0, 0},
        {{"kvprereqhandler", "-enable", "-disable"}, 0, 1, 1},
        {{"kvprereqhandler", "-disable", "-enable"}, 0, 0, 1},
        // What was read before a bad argument stays; the result is 13 all the same.
        {{"kvprereqhandler", "-enable", "-bogus", "-NotIncludeAutoUpdate"}, 13, 0, 1},
        {{"kvprereqhandler", "enable"}, 13, 1, 1},
        {{"kvprereqhandler", "-enable "}, 13, 1, 1},
        {{"kvprereqhandler", ""}, 13, 1, 1},
        {{"kvprereqhandler", "-"}, 13, 1, 1},
    };
    for (const auto &c : cases) {
        std::string shown;
        for (const char *a : c.argv) shown += std::string("[") + a + "]";
        SCOPED_TRACE(shown);
        std::vector<const char *> argv = c.argv;
        argv.push_back(nullptr);
        ToolArguments arguments;
        arguments.action = 7;  // overwritten on every path
        EXPECT_EQ(c.result, ParseToolArguments(int(c.argv.size()), argv.data(), &arguments));
        EXPECT_EQ(c.action, arguments.action);
        EXPECT_EQ(c.includeAutoUpdate, arguments.includeAutoUpdate);
    }
}

}  // namespace
