#include "tests/support/test_databases.h"

#include <cstdlib>
#include <cstring>

namespace kvtest {

std::optional<std::string> DatabaseSetting(const char *variable) {
    const char *value = getenv(variable);
    if (value == nullptr || *value == '\0') return std::nullopt;
    return std::string(value);
}

bool InCi() {
    const char *ci = getenv("CI");
    return ci != nullptr && strcmp(ci, "true") == 0;
}

std::string MissingDatabaseMessage(const char *variable) {
    return std::string(variable) +
           " is not set: start the test databases with 'bash scripts/start-dbs', then "
           "'set -a; source build/test-dbs.env; set +a' before running the tests";
}

}  // namespace kvtest
