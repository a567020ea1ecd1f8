// The test databases that scripts/start-dbs starts: their ODBC connection strings come from
// the environment (KV_TEST_PGSQL_CONN, KV_TEST_MYSQL_CONN, KV_TEST_SQLITE_DRIVER,
// KV_TEST_ISQL_FB), which scripts/test loads from build/test-dbs.env. A test whose database is
// missing is skipped with a message saying how to start it; under CI=true it fails instead.
#ifndef KV_TESTS_SUPPORT_TEST_DATABASES_H
#define KV_TESTS_SUPPORT_TEST_DATABASES_H

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace kvtest {

// The variable's value, or nullopt when it is unset or empty.
std::optional<std::string> DatabaseSetting(const char *variable);
// What a test does when its database is missing: the message it skips (or fails) with.
std::string MissingDatabaseMessage(const char *variable);
bool InCi();

}  // namespace kvtest

// Skips (outside CI) or fails (under CI=true) the current test when the variable is unset;
// otherwise stores its value in `into`.
#define KV_REQUIRE_DATABASE(variable, into)                                              \
    do {                                                                                 \
        auto kv_setting_ = ::kvtest::DatabaseSetting(variable);                          \
        if (!kv_setting_) {                                                              \
            if (::kvtest::InCi()) FAIL() << ::kvtest::MissingDatabaseMessage(variable);  \
            GTEST_SKIP() << ::kvtest::MissingDatabaseMessage(variable);                  \
        }                                                                                \
        into = *kv_setting_;                                                             \
    } while (0)

#endif  // KV_TESTS_SUPPORT_TEST_DATABASES_H
