/*
 * Stored select queries: a SelectQuery (db/select_query.h) kept as rows of fourteen
 * query-definition tables (QueryDetails, QueryvsColumns, ColumnDetails, QueryvsTables,
 * TableDetails, QueryvsJoins, JoinDetails, QueryvsGB, GroupByDetails, QueryvsSort, SortDetails,
 * QueryvsCriteria, BooleanExp, RelationalExp) and rebuilt from them by its query id, the
 * criteria tree written out as text for the log, and a runner of every stored query.
 *
 * Each read runs on the connection the data source map names for the table read, taken and
 * released around the statement (the criteria tree: around the whole tree). Identifier
 * columns are read as integers, the other columns as text; a part that has no row, or holds
 * SQL NULL, is left out of the query (no columns select all, no criteria give no where).
 * Criteria ids share one number space: an id names a BooleanExp row when one exists, else the
 * RelationalExp row with that R_ID. An id that names neither gives no leaf ("\nInvalid ID\n"),
 * and an AND or OR node with one operand missing stands for the other one; an id that refers
 * back to a node above it is left out as well, so a looping tree cannot run away.
 *
 * Ownership: everything a loader adds to a query lives in the pool given (the query's own);
 * queries and result sets returned are the caller's. Nothing is thrown.
 *
 * Threads: the loaders run on the calling thread. RunStoredQueries and GenerateStoredQuery
 * start parts of the library themselves and are meant for a process in which nothing else
 * uses it.
 */
#ifndef KV_PERSIST_STORED_QUERY_H
#define KV_PERSIST_STORED_QUERY_H

#include "db/provider.h"
#include "db/select_query.h"
#include "db/string_buffer.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Each adds what is stored for the query and returns 1 (also when nothing is stored). */
int LoadQueryColumns(int queryId, SelectQuery *query, apr_pool_t *pool);
int LoadQueryTables(int queryId, SelectQuery *query, apr_pool_t *pool);
int LoadQueryJoins(int queryId, SelectQuery *query, apr_pool_t *pool);
int LoadQueryGroupBy(int queryId, SelectQuery *query, apr_pool_t *pool);
int LoadQuerySort(int queryId, SelectQuery *query, apr_pool_t *pool);
int LoadQueryCriteria(int queryId, SelectQuery *query, apr_pool_t *pool);

/* The criteria subtree of the id, read through handle (a BooleanExp connection), or null. */
QueryCriterion *LoadBooleanExp(int id, apr_pool_t *pool, ConnectionHandle *handle);
/* The criteria leaf of the RelationalExp row with R_ID id, or null ("\nInvalid ID\n"). */
QueryCriterion *LoadRelationalExp(int id, apr_pool_t *pool);

/* Logs the query's stored criteria as one text without blanks (STATUS=1ANDNAMELIKEA%) at
 * debug level; nothing when the query has none. 1. */
int PrintQueryCriteria(int queryId, apr_pool_t *pool);
/* Append a node's text to text; 1, or 0 when the buffer cannot take it. */
int AppendBooleanExpText(int id, ConnectionHandle *handle, StringBuffer *text);
int AppendRelationalExpText(int id, StringBuffer *text);

/* A new query built from the stored definition (CreateSelectQuery, then the six loaders in
 * the order above); null when no query can be made. Free it with FreeSelectQuery. The memory
 * pools must be started. */
SelectQuery *CreateStoredQuery(int queryId);
/* Starts the memory pools, builds the stored query, makes its text (logged by
 * GenerateSelectQuery), frees both and ends the pools; 1. */
int GenerateStoredQuery(int queryId);
/* Starts the library from the data folder by itself (log, pools, provider, dictionary, data
 * source map, connection parameters, connections) and runs every stored query of
 * QueryDetails, logging each result; 0 when the query list cannot be read ("Query
 * failed\n"). */
int RunStoredQueries(void);

#ifdef __cplusplus
}
#endif

#endif /* KV_PERSIST_STORED_QUERY_H */
