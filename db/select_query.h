/*
 * A select statement held as data: selected columns, tables and joins, a tree of
 * comparisons, grouping with an optional having leaf, ordering, first and skip counts.
 *
 * Ownership: everything that belongs to a query (columns, tables, joins, criteria, list
 * vectors and their nodes, copied texts and values) is allocated from the query's own pool,
 * a child of the library's root pool, and released at once by FreeSelectQuery. Builders
 * copy the texts they are given; callers keep theirs. The pool must not be touched after
 * FreeSelectQuery. A query and its pool belong to one thread at a time.
 *
 * Failures: builders return null (or 0) after logging the messages below; nothing already
 * built is undone. The memory pools must be started (InitializeMemPool).
 */
#ifndef KV_DB_SELECT_QUERY_H
#define KV_DB_SELECT_QUERY_H

#include <stdint.h>

#include "util/mempool.h"
#include "util/vector.h"

#ifdef __cplusplus
extern "C" {
#endif

enum SelectAggregate {
    AGGREGATE_NONE = 0,
    AGGREGATE_DISTINCT = 1,
    AGGREGATE_COUNT = 2,
    AGGREGATE_MIN = 3,
    AGGREGATE_MAX = 4,
    AGGREGATE_SUM = 5,
    AGGREGATE_AVG = 6
};

enum SelectOperator {
    OPERATOR_INVALID = 0,
    OPERATOR_LESS = 1,
    OPERATOR_GREATER = 2,
    OPERATOR_LESS_EQUAL = 3,
    OPERATOR_GREATER_EQUAL = 4,
    OPERATOR_EQUAL = 5,
    OPERATOR_NOT_EQUAL = 6,
    OPERATOR_AND = 7,
    OPERATOR_OR = 8,
    OPERATOR_LIKE = 9,
    OPERATOR_BETWEEN = 10
};

enum SelectJoinType { INNER_JOIN = 0, LEFT_JOIN = 1 };

/* The texts a generator writes and the stored-query tables hold, indexed by the codes above. */
extern const char *const gv_aggregateTexts[7];
extern const char *const gv_operatorTexts[11];
extern const char *const gv_joinTypeTexts[2];

typedef struct SelectColumn {
    char *tableName;
    char *tableAlias;   /* written instead of the table name when present */
    char *columnName;   /* absent only for an aggregate over all rows */
    char *columnAlias;
    int32_t value;
    unsigned char dataType; /* 0 .. 21 */
    unsigned char aggregate;
} SelectColumn;

typedef struct SelectTable {
    char *name;
    char *alias;
} SelectTable;

typedef struct SelectJoin {
    char *baseTable;
    char *baseAlias;
    char *refTable;
    char *refAlias;
    unsigned char joinType;
    Vector *baseColumns; /* the n-th base column is compared with the n-th reference column */
    Vector *refColumns;
} SelectJoin;

typedef struct QueryCriterion {
    SelectColumn *column;  /* null for an AND or OR node */
    unsigned char *value;  /* binary form of the column's type, one zero byte after it */
    int32_t length;
    unsigned char op;
    struct QueryCriterion *left;
    struct QueryCriterion *right;
    struct QueryCriterion *parent;
} QueryCriterion;

typedef struct SelectGroupBy {
    Vector *columns;
    QueryCriterion *having; /* a leaf or null */
} SelectGroupBy;

typedef struct SelectSort {
    Vector *columns;
    unsigned char direction; /* 0 descending, any other value ascending */
} SelectSort;

typedef struct SelectQuery {
    apr_pool_t *pool;
    Vector columns; /* SelectColumn; empty selects "*" */
    Vector joins;   /* SelectJoin */
    QueryCriterion *criteria;
    SelectGroupBy *groupBy;
    SelectSort *sort;
    Vector tables; /* SelectTable */
    int32_t first; /* 0: no limit */
    int32_t skip;
} SelectQuery;

SelectQuery *CreateSelectQuery(void);
void FreeSelectQuery(SelectQuery *query);

SelectColumn *CreateSelectColumn(const char *tableName, const char *tableAlias, const char *columnName,
                                 const char *columnAlias, int32_t value, unsigned char dataType,
                                 unsigned char aggregate, apr_pool_t *pool);
int AddSelectColumn(SelectQuery *query, SelectColumn *column);
int RemoveSelectColumn(SelectQuery *query, const char *columnName, const char *tableName);

/* The column lists of joins, group-by and sort. A list column always needs a name. */
Vector *NewColumnList(apr_pool_t *pool);
SelectColumn *CreateListColumn(const char *tableName, const char *tableAlias, const char *columnName,
                               const char *columnAlias, int32_t value, unsigned char dataType,
                               unsigned char aggregate, apr_pool_t *pool);
int AppendListColumn(apr_pool_t *pool, SelectColumn *column, Vector *list);

SelectTable *CreateSelectTable(const char *name, const char *alias, apr_pool_t *pool);
int AddSelectTable(SelectQuery *query, SelectTable *table);
/* The column vectors are taken as given, not copied. */
SelectJoin *CreateSelectJoin(const char *baseTable, const char *baseAlias, const char *refTable,
                             const char *refAlias, unsigned char joinType, Vector *baseColumns,
                             Vector *refColumns, apr_pool_t *pool);
int AddSelectJoin(SelectQuery *query, SelectJoin *join);

QueryCriterion *CreateCriterion(SelectColumn *column, const void *value, int32_t length, unsigned char op,
                                apr_pool_t *pool);
/* New inner nodes; both operands (which must not be null) get the node as parent. */
QueryCriterion *CriteriaAnd(QueryCriterion *left, QueryCriterion *right, apr_pool_t *pool);
QueryCriterion *CriteriaOr(QueryCriterion *left, QueryCriterion *right, apr_pool_t *pool);
void SetCriteria(SelectQuery *query, QueryCriterion *root);

SelectGroupBy *CreateGroupBy(Vector *columns, QueryCriterion *having, apr_pool_t *pool);
int SetGroupBy(SelectQuery *query, SelectGroupBy *groupBy);
SelectSort *CreateSortOrder(Vector *columns, unsigned char direction, apr_pool_t *pool);
int SetSortOrder(SelectQuery *query, SelectSort *sort);

/* Zero-filled pool copies with one zero byte after the copied bytes; 1, or 0 when the pool
 * is exhausted or an argument is null (text null copies nothing and stores null). */
int PoolCopyString(char **out, const char *text, apr_pool_t *pool);
int PoolCopyBytes(unsigned char **out, const void *bytes, int32_t n, apr_pool_t *pool);

#ifdef __cplusplus
}
#endif

#endif /* KV_DB_SELECT_QUERY_H */
