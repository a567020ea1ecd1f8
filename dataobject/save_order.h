/*
 * Foreign-key order over a data object's tables: a table is saved after every table of the
 * object that it refers to. A table that refers to itself, or tables that refer to each
 * other in a cycle, end the walk: a table already on the current chain of calls is not
 * entered again, so every table is placed exactly once.
 *
 * Lists returned are built in the given pool (nodes and name copies); the list handed in
 * is not changed. Results: null / 0 on failure, logged at error level. No lock: definitions
 * are only read.
 */
#ifndef KV_DATAOBJECT_SAVE_ORDER_H
#define KV_DATAOBJECT_SAVE_ORDER_H

#include "dataobject/data_object.h"

#ifdef __cplusplus
extern "C" {
#endif

/* A new list of the same names in save order, or null. */
Vector *SortTableByFK(Vector *tables, apr_pool_t *pool);
/* Moves one table (tableName or a table it leads to) from remaining (a list whose nodes and
 * names are malloc'd, as CloneVector makes) to the end of result. */
int SortTablesForDO(const char *tableName, Vector *remaining, Vector *result, apr_pool_t *pool);
/* Sets *found when a chain of foreign keys from (table, column) reaches (targetTable,
 * targetColumn), the start included; each step follows the keys whose local column is the
 * column reached. Returns 1 only when the start itself matches. */
int CompareRootRefTable(const char *tableName, const char *columnName, const char *targetTable,
                        const char *targetColumn, unsigned char *found);

#ifdef __cplusplus
}
#endif

#endif /* KV_DATAOBJECT_SAVE_ORDER_H */
