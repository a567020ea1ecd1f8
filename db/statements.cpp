// SQL text in a table's dialect, and creating tables and databases.
#include "db/statements.h"

#include <ctype.h>
#include <stdlib.h>

#include <string>

#include "db/conn_params.h"
#include "db/connection_pool.h"
#include "db/providers.h"
#include "logging/log.h"
#include "store/column_defn.h"

namespace {

// The table that decides a select's dialect: its first table, else its first join's base.
const char *SelectTableName(const SelectQuery *query) {
    if (query->tables.head)
        return static_cast<const SelectTable *>(query->tables.head->element)->name;
    if (query->joins.head)
        return static_cast<const SelectJoin *>(query->joins.head->element)->baseTable;
    return nullptr;
}

char *Logged(const char *format, char *text) {
    LogDebug(format, text);
    return text;
}

// Runs a create statement (taken over) on a pooled handle of the connection.
bool RunOnConnection(char *sql, const char *connectionName) {
    ConnectionHandle *handle = GetConnectionHandle(connectionName);
    int ok = ExecuteUpdate(handle, sql);
    ReleaseConnectionHandle(connectionName);
    free(sql);
    return ok != 0;
}

bool PlainIdentifier(const char *name) {
    if (name == nullptr || *name == '\0') return false;
    for (const char *p = name; *p; ++p) {
        if (!isalnum(static_cast<unsigned char>(*p)) && *p != '_') return false;
    }
    return true;
}

}  // namespace

extern "C" {

char *GenerateSelectQuery(SelectQuery *query) {
    if (query == nullptr) return nullptr;
    const char *table = SelectTableName(query);
    if (table == nullptr && gv_dsnMapValid == 1) {
        LogError("No Tables selected in select query.\n");
        return nullptr;
    }
    const QueryGenerator *generator = GetGeneratorForTable(table);
    return Logged("Generated Select Query: %s\n",
                  generator ? generator->GenSelectQuery(query) : nullptr);
}

char *GenerateUpdateQuery(const char *tableName, RowObject *row) {
    const QueryGenerator *generator = GetGeneratorForTable(tableName);
    return Logged("Generated Update Query: %s\n",
                  generator ? generator->GenUpdateQuery(tableName, row) : nullptr);
}

char *GenerateInsertQuery(const char *tableName, RowObject *row) {
    const QueryGenerator *generator = GetGeneratorForTable(tableName);
    return Logged("Generated Insert Query: %s\n",
                  generator ? generator->GenInsertQuery(tableName, row) : nullptr);
}

char *GenerateDeleteQuery(const char *tableName, RowObject *row) {
    const QueryGenerator *generator = GetGeneratorForTable(tableName);
    return Logged("Generated Delete Query: %s\n",
                  generator ? generator->GenDeleteQuery(tableName, row) : nullptr);
}

char *GenerateCreateTableQuery(const char *tableName) {
    const char *dialect = GetDialectForTable(tableName);
    if (dialect == nullptr && gv_dsnMapValid == 1) return nullptr;
    const QueryGenerator *generator = GetQueryGenerator(dialect);
    return Logged("Generated Create Table Query: %s\n",
                  generator ? generator->GenCreateQuery(tableName) : nullptr);
}

RowObject *ConvertResultSetToRowObject(ResultSet *set, const char *dialect, const char *tableName) {
    const QueryGenerator *generator = GetQueryGenerator(dialect);
    return generator ? generator->ConvResultsetToRowobject(set, tableName) : nullptr;
}

int CreateTableInDB(const char *tableName, const char *connectionName) {
    LogTrace("@@@ Inside CreateTableInDB @@@\n");
    const char *dialect =
        gv_dsnMapValid == 1
            ? GetDialectForConnection(connectionName)
            : (gv_defaultDialect < 4 ? gv_dialectNames[gv_defaultDialect] : nullptr);
    const QueryGenerator *generator = GetQueryGenerator(dialect);
    return RunOnConnection(generator ? generator->GenCreateQuery(tableName) : nullptr,
                           connectionName);
}

int CreateAllTables(void) {
    LogTrace("@@@ Inside CreateAllTables @@@\n");
    Vector *definitions = GetTableDefnList();
    for (VectorNode *n = definitions ? definitions->head : nullptr; n; n = n->next) {
        const char *table = static_cast<TableDefn *>(n->element)->name;
        char *sql = GenerateCreateTableQuery(table);
        if (!RunOnConnection(sql, GetConnectionNameForTable(table))) return 0;
    }
    return 1;
}

int CreateDB(const char *databaseName) {
    LogTrace("@@@ Inside CreateDB @@@\n");
    // The name goes into the statement as it stands: anything but a plain identifier could
    // change the statement, so it is refused.
    if (!PlainIdentifier(databaseName)) {
        LogError("Cannot create database %s.\n", databaseName);
        return 0;
    }
    ConnectionHandle *handle = GetConnectionHandle(nullptr);
    if (handle == nullptr) {
        LogError("Cannot create DB.  Connection not established.\n");
        return 0;
    }
    std::string sql = std::string("create database ") + (databaseName ? databaseName : "");
    int ok = ExecuteUpdate(handle, sql.c_str());
    ReleaseConnectionHandle(nullptr);
    if (!ok) {
        LogError("Cannot create database %s.\n", databaseName);
        return 0;
    }
    return 1;
}

}  // extern "C"
