// The tool's command-line reading on arbitrary argument lists (the input split at zero bytes,
// the first piece the program name; an empty input is an empty argv): no input may crash or
// overrun, the result is 0 or 13, and 0 only when every argument is one of the switches.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <strings.h>

#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "tool/tool_arguments.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const bool quiet = (kvfuzz::QuietLog(), true);
    (void)quiet;
    std::vector<std::string> pieces;
    const char *text = reinterpret_cast<const char *>(data);
    for (size_t start = 0; start < size;) {
        size_t end = start;
        while (end < size && text[end] != '\0') ++end;
        pieces.emplace_back(text + start, end - start);
        start = end + 1;
    }
    std::vector<const char *> argv;
    for (const std::string &piece : pieces) argv.push_back(piece.c_str());
    argv.push_back(nullptr);  // as main's argv ends
    ToolArguments arguments;
    const int result = ParseToolArguments(int(pieces.size()), argv.data(), &arguments);
    bool allSwitches = pieces.size() >= 2;
    for (size_t i = 1; i < pieces.size(); ++i) {
        const char *a = pieces[i].c_str();
        allSwitches =
            allSwitches && (strcasecmp(a, "-enable") == 0 || strcasecmp(a, "-disable") == 0 ||
                            strcasecmp(a, "-NotIncludeAutoUpdate") == 0);
    }
    if (result != (allSwitches ? 0 : 13)) abort();
    if (arguments.action != 0 && arguments.action != 1) abort();
    return 0;
}
