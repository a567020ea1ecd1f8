/*
 * Short-cuts for building a SelectQuery (db/select_query.h) by hand: column lists, a column
 * added in one call, and joins over equally named columns.
 *
 * Everything made here lives in the pool given (or the query's own pool) and goes with it; the
 * texts handed in stay the caller's. Results: a pointer or 1, null or 0 when something cannot
 * be made (logged by the builders). No lock: a query belongs to one thread at a time.
 */
#ifndef KV_PERSIST_QUERY_SHORTCUTS_H
#define KV_PERSIST_QUERY_SHORTCUTS_H

#include <stdint.h>

#include "db/select_query.h"

#ifdef __cplusplus
extern "C" {
#endif

/* A Vector from the pool holding pool copies of the n texts that follow, in order. */
Vector *MakeColumnVector(apr_pool_t *pool, int n, ...);
/* A Vector of n SelectColumns of the table, one per column name that follows (type 5). */
Vector *MakeColumnVectorForJoin(apr_pool_t *pool, const char *tableName, int n, ...);
/* Creates a SelectColumn with the given parts and appends it to the query. */
int AddColumnToSelectQuery(SelectQuery *query, const char *tableName, const char *tableAlias,
                           const char *columnName, const char *columnAlias, int32_t value,
                           unsigned char dataType, unsigned char aggregate);
/* Creates a SelectJoin (the column vectors taken as they are) and appends it to the query. */
int AddJoinToSelectQuery(SelectQuery *query, const char *baseTable, const char *baseAlias,
                         const char *refTable, const char *refAlias, unsigned char joinType,
                         Vector *baseColumns, Vector *refColumns);
/* A join comparing each of the n named columns that follow with the column of the same name
 * in the other table. */
int AddJoinOnColumns(SelectQuery *query, const char *baseTable, const char *baseAlias,
                     const char *refTable, const char *refAlias, unsigned char joinType, int n,
                     ...);

#ifdef __cplusplus
}
#endif

#endif /* KV_PERSIST_QUERY_SHORTCUTS_H */
