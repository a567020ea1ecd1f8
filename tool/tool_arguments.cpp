// The tool's command line; see tool_arguments.h.
#include "tool/tool_arguments.h"

#include <strings.h>

#include "logging/log.h"

int ParseToolArguments(int argc, const char *const *argv, ToolArguments *arguments) {
    *arguments = ToolArguments{};
    if (argc < 2 || argv == nullptr) {
        LogInfo("Invalid Arguement for %s\n", argc > 0 && argv && argv[0] ? argv[0] : "");
        return 13;
    }
    for (int i = 1; i < argc; ++i) {
        const char *argument = argv[i] != nullptr ? argv[i] : "";
        if (strcasecmp(argument, "-enable") == 0) {
            arguments->action = 0;
            LogInfo("Enable Pivotwell\n");
        } else if (strcasecmp(argument, "-disable") == 0) {
            arguments->action = 1;
            LogInfo("Disable Pivotwell\n");
        } else if (strcasecmp(argument, "-NotIncludeAutoUpdate") == 0) {
            arguments->includeAutoUpdate = 0;
            LogInfo("AutoUpdate Modification has not been Included\n");
        } else {
            LogInfo("Invalid Arguement for %s\n", argument);
            return 13;
        }
    }
    return 0;
}
