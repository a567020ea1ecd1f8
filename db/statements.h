/*
 * SQL text in a table's dialect, and the creation of tables and databases.
 *
 * Each Generate* call returns new malloc'd text that the caller frees, or null, and logs the
 * text it produced ("(null)" when none) at DEBUG level. The dialect is the table's
 * connection's when the data source map decides dialects (gv_dsnMapValid 1), else the
 * default dialect.
 */
#ifndef KV_DB_STATEMENTS_H
#define KV_DB_STATEMENTS_H

#include "db/provider.h"

#ifdef __cplusplus
extern "C" {
#endif

char *GenerateSelectQuery(SelectQuery *query);
char *GenerateUpdateQuery(const char *tableName, struct RowObject *row);
char *GenerateInsertQuery(const char *tableName, struct RowObject *row);
char *GenerateDeleteQuery(const char *tableName, struct RowObject *row);
char *GenerateCreateTableQuery(const char *tableName);
struct RowObject *ConvertResultSetToRowObject(ResultSet *set, const char *dialect,
                                              const char *tableName);

int CreateTableInDB(const char *tableName, const char *connectionName);
/* Creates every defined table in order; false at the first failure (the rest not tried). */
int CreateAllTables(void);
int CreateDB(const char *databaseName);

#ifdef __cplusplus
}
#endif

#endif /* KV_DB_STATEMENTS_H */
