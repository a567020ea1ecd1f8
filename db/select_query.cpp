// The select query model and its builders.
#include "db/select_query.h"

#include <apr_pools.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include "logging/log.h"

const char *const gv_aggregateTexts[7] = {"INVALID TYPE", "DISTINCT", "COUNT", "MIN", "MAX", "SUM", "AVG"};
const char *const gv_operatorTexts[11] = {"INVALID OPERATOR", "<", ">", "<=", ">=", "=", "!=",
                                          "AND",              "OR", "LIKE", "BETWEEN"};
const char *const gv_joinTypeTexts[2] = {"INNER_JOIN", "LEFT_JOIN"};

namespace {

constexpr unsigned char kLastColumnType = 21;  // VEL_SQL_CLOB; TEXT cannot be selected

template <typename T>
T *PoolNew(apr_pool_t *pool) {
    return pool ? static_cast<T *>(apr_pcalloc(pool, sizeof(T))) : nullptr;
}

// Appends an element through a list node taken from the pool (the vector's own nodes are
// never freed one by one: the pool goes at once).
int PoolAppend(apr_pool_t *pool, Vector *list, void *element) {
    if (list == nullptr || element == nullptr) return 0;
    VectorNode *node = PoolNew<VectorNode>(pool);
    if (node == nullptr) return 0;
    node->element = element;
    return AddElement(list, node);
}

SelectColumn *NewColumn(const char *tableName, const char *tableAlias, const char *columnName,
                        const char *columnAlias, int32_t value, unsigned char dataType, unsigned char aggregate,
                        apr_pool_t *pool) {
    SelectColumn *column = PoolNew<SelectColumn>(pool);
    if (column == nullptr) return nullptr;
    if (!PoolCopyString(&column->tableName, tableName, pool) || !PoolCopyString(&column->tableAlias, tableAlias, pool) ||
        !PoolCopyString(&column->columnName, columnName, pool) ||
        !PoolCopyString(&column->columnAlias, columnAlias, pool)) {
        return nullptr;
    }
    if (dataType > kLastColumnType) {
        LogError("\nInvalid Data Type\n");
        return nullptr;
    }
    column->value = value;
    column->dataType = dataType;
    column->aggregate = aggregate;
    return column;
}

QueryCriterion *Combine(QueryCriterion *left, QueryCriterion *right, unsigned char op, apr_pool_t *pool) {
    if (left == nullptr || right == nullptr) return nullptr;
    QueryCriterion *node = PoolNew<QueryCriterion>(pool);
    if (node == nullptr) return nullptr;
    node->op = op;
    node->left = left;
    node->right = right;
    left->parent = right->parent = node;
    return node;
}

bool SameText(const char *a, const char *b) { return a && b && strcasecmp(a, b) == 0; }

}  // namespace

extern "C" {

int PoolCopyString(char **out, const char *text, apr_pool_t *pool) {
    if (out == nullptr) return 0;
    *out = nullptr;
    if (text == nullptr) return 1;  // an absent text stays absent
    size_t n = strlen(text);
    char *copy = pool ? static_cast<char *>(apr_pcalloc(pool, n + 1)) : nullptr;
    if (copy == nullptr) return 0;
    memcpy(copy, text, n);
    *out = copy;
    return 1;
}

int PoolCopyBytes(unsigned char **out, const void *bytes, int32_t n, apr_pool_t *pool) {
    if (out == nullptr || n < 0 || (bytes == nullptr && n > 0)) return 0;
    unsigned char *copy = pool ? static_cast<unsigned char *>(apr_pcalloc(pool, size_t(n) + 1)) : nullptr;
    if (copy == nullptr) return 0;
    if (n > 0) memcpy(copy, bytes, size_t(n));
    *out = copy;
    return 1;
}

SelectQuery *CreateSelectQuery(void) {
    auto *query = static_cast<SelectQuery *>(calloc(1, sizeof(SelectQuery)));
    if (query == nullptr) return nullptr;
    InitVector(&query->columns, nullptr);
    InitVector(&query->joins, nullptr);
    InitVector(&query->tables, nullptr);
    if (!CreateChildMemPool(&query->pool)) {
        LogError("\nMEMORY ALLOCATION FOR SELECTQUERYPTR FAILED\n");
        free(query);
        return nullptr;
    }
    return query;
}

void FreeSelectQuery(SelectQuery *query) {
    if (query == nullptr) return;
    apr_pool_destroy(query->pool);
    free(query);
}

SelectColumn *CreateSelectColumn(const char *tableName, const char *tableAlias, const char *columnName,
                                 const char *columnAlias, int32_t value, unsigned char dataType,
                                 unsigned char aggregate, apr_pool_t *pool) {
    if (columnName == nullptr && aggregate == AGGREGATE_NONE) {
        LogError("\nColumn Name is NULL\n");
        return nullptr;
    }
    return NewColumn(tableName, tableAlias, columnName, columnAlias, value, dataType, aggregate, pool);
}

SelectColumn *CreateListColumn(const char *tableName, const char *tableAlias, const char *columnName,
                               const char *columnAlias, int32_t value, unsigned char dataType,
                               unsigned char aggregate, apr_pool_t *pool) {
    if (columnName == nullptr) {
        LogError("\nColumn Name is NULL\n");
        return nullptr;
    }
    return NewColumn(tableName, tableAlias, columnName, columnAlias, value, dataType, aggregate, pool);
}

int AddSelectColumn(SelectQuery *query, SelectColumn *column) {
    return query ? PoolAppend(query->pool, &query->columns, column) : 0;
}

int RemoveSelectColumn(SelectQuery *query, const char *columnName, const char *tableName) {
    if (query == nullptr) return 0;
    int removed = 0;
    VectorNode *previous = nullptr;
    for (VectorNode *node = query->columns.head; node != nullptr;) {
        auto *column = static_cast<SelectColumn *>(node->element);
        bool match = column->columnName != nullptr &&
                     (column->tableName != nullptr
                          ? SameText(column->columnName, columnName) && SameText(column->tableName, tableName)
                          : SameText(column->columnName, columnName));
        VectorNode *next = node->next;
        if (match) {
            // The node lives in the query's pool: unlink it by hand rather than have the
            // vector free() it.
            if (previous) {
                previous->next = next;
            } else {
                query->columns.head = next;
            }
            if (query->columns.tail == node) query->columns.tail = previous;
            --query->columns.count;
            ++removed;
        } else {
            previous = node;
        }
        node = next;
    }
    if (removed == 0) LogError("Invalid Column Name");
    return removed > 0;
}

Vector *NewColumnList(apr_pool_t *pool) {
    Vector *list = PoolNew<Vector>(pool);
    if (list) InitVector(list, nullptr);
    return list;
}

int AppendListColumn(apr_pool_t *pool, SelectColumn *column, Vector *list) { return PoolAppend(pool, list, column); }

SelectTable *CreateSelectTable(const char *name, const char *alias, apr_pool_t *pool) {
    SelectTable *table = PoolNew<SelectTable>(pool);
    if (table == nullptr || !PoolCopyString(&table->name, name, pool) || !PoolCopyString(&table->alias, alias, pool)) {
        return nullptr;
    }
    return table;
}

int AddSelectTable(SelectQuery *query, SelectTable *table) {
    return query ? PoolAppend(query->pool, &query->tables, table) : 0;
}

SelectJoin *CreateSelectJoin(const char *baseTable, const char *baseAlias, const char *refTable, const char *refAlias,
                             unsigned char joinType, Vector *baseColumns, Vector *refColumns, apr_pool_t *pool) {
    SelectJoin *join = PoolNew<SelectJoin>(pool);
    if (join == nullptr || !PoolCopyString(&join->baseTable, baseTable, pool) ||
        !PoolCopyString(&join->baseAlias, baseAlias, pool) || !PoolCopyString(&join->refTable, refTable, pool) ||
        !PoolCopyString(&join->refAlias, refAlias, pool)) {
        return nullptr;
    }
    join->joinType = joinType;
    join->baseColumns = baseColumns;
    join->refColumns = refColumns;
    return join;
}

int AddSelectJoin(SelectQuery *query, SelectJoin *join) {
    return query ? PoolAppend(query->pool, &query->joins, join) : 0;
}

QueryCriterion *CreateCriterion(SelectColumn *column, const void *value, int32_t length, unsigned char op,
                                apr_pool_t *pool) {
    if (column == nullptr) {
        LogError("\nEmpty Column Assigned\n");
        return nullptr;
    }
    QueryCriterion *node = PoolNew<QueryCriterion>(pool);
    if (node == nullptr || !PoolCopyBytes(&node->value, value, value ? length : 0, pool)) return nullptr;
    node->column = column;
    node->length = value ? length : 0;
    node->op = op;
    return node;
}

QueryCriterion *CriteriaAnd(QueryCriterion *left, QueryCriterion *right, apr_pool_t *pool) {
    return Combine(left, right, OPERATOR_AND, pool);
}

QueryCriterion *CriteriaOr(QueryCriterion *left, QueryCriterion *right, apr_pool_t *pool) {
    return Combine(left, right, OPERATOR_OR, pool);
}

void SetCriteria(SelectQuery *query, QueryCriterion *root) {
    if (query) query->criteria = root;
}

SelectGroupBy *CreateGroupBy(Vector *columns, QueryCriterion *having, apr_pool_t *pool) {
    SelectGroupBy *groupBy = PoolNew<SelectGroupBy>(pool);
    if (groupBy) {
        groupBy->columns = columns;
        groupBy->having = having;
    }
    return groupBy;
}

int SetGroupBy(SelectQuery *query, SelectGroupBy *groupBy) {
    if (query) query->groupBy = groupBy;
    return 1;
}

SelectSort *CreateSortOrder(Vector *columns, unsigned char direction, apr_pool_t *pool) {
    SelectSort *sort = PoolNew<SelectSort>(pool);
    if (sort) {
        sort->columns = columns;
        sort->direction = direction;
    }
    return sort;
}

int SetSortOrder(SelectQuery *query, SelectSort *sort) {
    if (query) query->sort = sort;
    return 1;
}

}  // extern "C"
