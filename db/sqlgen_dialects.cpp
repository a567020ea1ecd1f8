// The four dialects: the table of their differences, their operation tables and the entries
// under their own names; the generator itself is sqlgen.cpp.
#include "db/sqlgen.h"

#include <initializer_list>

#include "store/column_defn.h"
#include "util/strings.h"

namespace {

constexpr uint32_t Bit(int type) {
    return uint32_t(1) << type;
}

constexpr SqlColumnForm kNone = {nullptr, SQL_DEFAULT_NONE};
constexpr SqlColumnForm kInt = {"\t{n} int {d}", SQL_DEFAULT_INTEGER};
constexpr SqlColumnForm kBigint = {"\t{n} bigint {d}", SQL_DEFAULT_INTEGER};
constexpr SqlColumnForm kVarchar = {"\t{n} varchar({s}) {d}", SQL_DEFAULT_TEXT};
constexpr SqlColumnForm kText = {"\t{n} text ", SQL_DEFAULT_NONE};
constexpr SqlColumnForm kDate = {"\t{n} date", SQL_DEFAULT_NONE};
constexpr SqlColumnForm kTime = {"\t{n} time", SQL_DEFAULT_NONE};
constexpr SqlColumnForm kTimestamp = {"\t{n} timestamp", SQL_DEFAULT_NONE};
constexpr SqlColumnForm kDateAsText = {"\t{n} varchar(30)", SQL_DEFAULT_NONE};

}  // namespace

extern "C" {

const SqlDialect gv_pgsqlDialect = {
    .name = "PGSQL",
    .operationNames = {"PgsqlGenSelectQuery", "PgsqlGenUpdateQuery", "PgsqlGenInsertQuery",
                       "PgsqlGenDeleteQuery", "PgsqlGenCreateQuery",
                       "PgsqlConvResultsetToRowobject"},
    .limitStyle = SQL_LIMIT_OFFSET,
    .joinAliasPrefix = "as ",
    .tableAliasPrefix = " as ",
    .criteriaTrue = " 't' ",
    .criteriaFalse = " 'f' ",
    .booleanDigits = 0,
    .updateKeyQuotedTypes = Bit(VEL_SQL_CHAR) | Bit(VEL_SQL_VARCHAR),
    .insertEnd = ");",
    // PostgreSQL's boolean takes no integer: an insert of 1 or 0 would be refused.
    .insertBooleanQuoted = 1,
    .columnForms = {kNone,   kInt,  kNone,      kInt,
                    kNone,   kInt,  kNone,      kBigint,
                    kBigint, kNone, kNone,      kNone,
                    kNone,   kNone, kVarchar,   kVarchar,
                    kDate,   kTime, kTimestamp, {"\t{n} boolean {d} ", SQL_DEFAULT_BOOLEAN_QUOTED},
                    kNone,   kNone, kText},
    .varcharExtra = 1,
    .foreignKeyIndexes = 0,
    .createEnd = "\n);\n\n",
    .readsDatesAsText = 0,
    .escapesBackslash = 0,
};

// MariaDB and MySQL read a backslash in a quoted text as an escape, so it is doubled too.
const SqlDialect gv_mysqlDialect = {
    .name = "MYSQL",
    .operationNames = {"MysqlGenSelectQuery", "MysqlGenUpdateQuery", "MysqlGenInsertQuery",
                       "MysqlGenDelteQuery", "MysqlGenCreateQuery",
                       "MysqlConvResultsetToRowobject"},
    .limitStyle = SQL_LIMIT_SKIP_FIRST,
    .joinAliasPrefix = "as ",
    .tableAliasPrefix = " as ",
    .criteriaTrue = "1",
    .criteriaFalse = "0",
    .booleanDigits = 1,
    .updateKeyQuotedTypes = ~uint32_t(0),
    .insertEnd = ")",
    .insertBooleanQuoted = 0,
    .columnForms = {kNone,
                    kInt,
                    kNone,
                    kInt,
                    kNone,
                    kInt,
                    kNone,
                    kBigint,
                    kNone,
                    kNone,
                    kNone,
                    kNone,
                    kNone,
                    kNone,
                    kVarchar,
                    kVarchar,
                    kDate,
                    kTime,
                    {"\t{n} datetime", SQL_DEFAULT_NONE},
                    {"\t{n} tinyint {d} ", SQL_DEFAULT_BOOLEAN_DIGITS},
                    {"\t{n} blob {d}", SQL_DEFAULT_TEXT},
                    {"\t{n} blob {d}", SQL_DEFAULT_TEXT},
                    kText},
    .varcharExtra = 0,
    .foreignKeyIndexes = 1,
    // MariaDB and MySQL 5.5 on know the table type only as ENGINE; "Type = InnoDB" is refused.
    .createEnd = "\n) ENGINE = InnoDB;\n\n",
    .readsDatesAsText = 0,
    .escapesBackslash = 1,
};

const SqlDialect gv_firebirdDialect = {
    .name = "FIREBIRD",
    .operationNames = {"FirebirdGenSelectQuery", "FirebirdGenUpdateQuery", "FirebirdGenInsertQuery",
                       "FirebirdGenDeleteQuery", "FirebirdGenCreateQuery",
                       "FirebirdConvResultsetToRowobject"},
    .limitStyle = SQL_FIRST_SKIP_HEAD,
    .joinAliasPrefix = "",
    .tableAliasPrefix = " ",
    .criteriaTrue = "'t'",
    .criteriaFalse = "'f'",
    .booleanDigits = 0,
    .updateKeyQuotedTypes = Bit(VEL_SQL_CHAR) | Bit(VEL_SQL_VARCHAR) | Bit(VEL_SQL_TEXT),
    .insertEnd = ");",
    .insertBooleanQuoted = 0,
    .columnForms = {kNone, kInt,  kNone,      kInt,
                    kNone, kInt,  kNone,      kInt,
                    kNone, kNone, kNone,      kNone,
                    kNone, kNone, kVarchar,   kVarchar,
                    kDate, kTime, kTimestamp, {"\t{n} SMALLINT {d} ", SQL_DEFAULT_BOOLEAN_DIGITS},
                    kNone, kNone, kText},
    .varcharExtra = 0,
    .foreignKeyIndexes = 0,
    .createEnd = "\n);\n\n",
    .readsDatesAsText = 0,
    .escapesBackslash = 0,
};

// SQLite keeps a boolean as the 1 or 0 that every insert writes; a 't' written by an update
// or a default would stay text beside them and never equal a true value again, so booleans
// are 1 and 0 throughout this dialect. A BIGINT column is declared bigint: its ODBC driver
// reports a column declared int as a 32-bit integer, and larger values would not load back.
const SqlDialect gv_sqliteDialect = {
    .name = "SQLITE",
    .operationNames = {"SqliteGenSelectQuery", "SqliteGenUpdateQuery", "SqliteGenInsertQuery",
                       "SqliteGenDeleteQuery", "SqliteGenCreateQuery",
                       "SqliteConvResultsetToRowobject"},
    .limitStyle = SQL_LIMIT_OFFSET,
    .joinAliasPrefix = "as ",
    .tableAliasPrefix = " as ",
    .criteriaTrue = "1",
    .criteriaFalse = "0",
    .booleanDigits = 1,
    .updateKeyQuotedTypes = Bit(VEL_SQL_CHAR) | Bit(VEL_SQL_VARCHAR) | Bit(VEL_SQL_TEXT),
    .insertEnd = ");",
    .insertBooleanQuoted = 0,
    .columnForms =
        {kNone,       kInt,        kNone,       kInt,
         kNone,       kInt,        kNone,       kBigint,
         kNone,       kNone,       kNone,       kNone,
         kNone,       kNone,       kVarchar,    kVarchar,
         kDateAsText, kDateAsText, kDateAsText, {"\t{n} boolean {d} ", SQL_DEFAULT_BOOLEAN_DIGITS},
         kNone,       kNone,       kText},
    .varcharExtra = 0,
    .foreignKeyIndexes = 0,
    .createEnd = "\n);\n\n",
    .readsDatesAsText = 1,
    .escapesBackslash = 0,
};

// The entries under the dialects' own names.
#define KV_DIALECT_ENTRIES(Prefix, dialect, DeleteName)                                  \
    char *Prefix##GenSelectQuery(SelectQuery *query) {                                   \
        return SqlGenSelect(&dialect, query);                                            \
    }                                                                                    \
    char *Prefix##GenUpdateQuery(const char *tableName, RowObject *row) {                \
        return SqlGenUpdate(&dialect, tableName, row);                                   \
    }                                                                                    \
    char *Prefix##GenInsertQuery(const char *tableName, RowObject *row) {                \
        return SqlGenInsert(&dialect, tableName, row);                                   \
    }                                                                                    \
    char *DeleteName(const char *tableName, RowObject *row) {                            \
        return SqlGenDelete(&dialect, tableName, row);                                   \
    }                                                                                    \
    char *Prefix##GenCreateQuery(const char *tableName) {                                \
        return SqlGenCreate(&dialect, tableName);                                        \
    }                                                                                    \
    RowObject *Prefix##ConvResultsetToRowobject(ResultSet *set, const char *tableName) { \
        return SqlConvResultRow(&dialect, set, tableName);                               \
    }                                                                                    \
    const QueryGenerator *Get##Prefix##Generator(void) {                                 \
        static const QueryGenerator table = {dialect.name,                               \
                                             Prefix##GenSelectQuery,                     \
                                             Prefix##GenUpdateQuery,                     \
                                             Prefix##GenInsertQuery,                     \
                                             DeleteName,                                 \
                                             Prefix##GenCreateQuery,                     \
                                             Prefix##ConvResultsetToRowobject};          \
        return &table;                                                                   \
    }

KV_DIALECT_ENTRIES(Pgsql, gv_pgsqlDialect, PgsqlGenDeleteQuery)
KV_DIALECT_ENTRIES(Mysql, gv_mysqlDialect, MysqlGenDelteQuery)
KV_DIALECT_ENTRIES(Firebird, gv_firebirdDialect, FirebirdGenDeleteQuery)
KV_DIALECT_ENTRIES(Sqlite, gv_sqliteDialect, SqliteGenDeleteQuery)

#undef KV_DIALECT_ENTRIES

const QueryGenerator *GetDialectGenerator(const char *name) {
    if (name == nullptr) return nullptr;
    for (const QueryGenerator *generator :
         {GetPgsqlGenerator(), GetMysqlGenerator(), GetSqliteGenerator(), GetFirebirdGenerator()}) {
        if (StrCompareNoCase(generator->name, name) == 0) return generator;
    }
    return nullptr;
}

}  // extern "C"
