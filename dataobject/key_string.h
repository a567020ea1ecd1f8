/*
 * The key string of a row unit: its table name followed by its primary-key values in the
 * order of the table's primary key, each written as "[<length>:<text>]" (the text from
 * ConvertColumnValueToString) and a missing value as "[-]". The length prefix keeps keys
 * (1, 23) and (12, 3) apart whatever the values hold; the string is never cut.
 *
 * Also here: the column-list helpers the key is built with, and the primary-key checks.
 * Lists and arrays returned come from the given pool (list nodes too), and the key string
 * is a copy in the pool. Results: null / 0 on failure, logged at error level. No lock.
 */
#ifndef KV_DATAOBJECT_KEY_STRING_H
#define KV_DATAOBJECT_KEY_STRING_H

#include "dataobject/data_object.h"

#ifdef __cplusplus
extern "C" {
#endif

/* columns (texts) names the unit's values in order; without it, the query's columns of the
 * unit's table are taken. Null when both are null or the table has no definition or key. */
char *GenerateKeyString(const RowUnit *rowUnit, SelectQuery *selectQuery, Vector *columns,
                        apr_pool_t *pool);
/* 1 when the key was new and now maps to rowUnit; 0 when present (nothing changes). */
int CheckForPKEntry(const char *keyString, RowUnit *rowUnit, DataObject *dataObject);
/* The definition positions of the listed names that the table has, in list order, with
 * *count set; null (count 0) without a definition. An empty list gives a non-null array. */
int *GetColumnIndex(Vector *names, const char *tableName, int *count, apr_pool_t *pool);
/* The table's columns that the query selects (all of its definition for a select of "*"). */
Vector *GetColumnListFromSelectQuery(SelectQuery *selectQuery, const char *tableName,
                                     apr_pool_t *pool);
/* 1 when every primary-key column is among the columns (from the query when null). */
int CheckSelectedColumnsForPK(const char *tableName, SelectQuery *selectQuery, Vector *columns,
                              apr_pool_t *pool);

#ifdef __cplusplus
}
#endif

#endif /* KV_DATAOBJECT_KEY_STRING_H */
