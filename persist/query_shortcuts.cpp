// Short-cuts for building select queries; see query_shortcuts.h for the contract.
#include "persist/query_shortcuts.h"

#include <apr_pools.h>
#include <stdarg.h>

#include "logging/log.h"
#include "store/column_defn.h"

namespace {

// A vector whose nodes come from the pool, as the query's own lists do: the pool frees them.
bool PoolAdd(apr_pool_t *pool, Vector *list, void *element) {
    auto *node = static_cast<VectorNode *>(apr_pcalloc(pool, sizeof(VectorNode)));
    if (node == nullptr || element == nullptr) return false;
    node->element = element;
    return AddElement(list, node) == 1;
}

Vector *PoolVector(apr_pool_t *pool) {
    if (pool == nullptr) return nullptr;
    auto *list = static_cast<Vector *>(apr_pcalloc(pool, sizeof(Vector)));
    if (list != nullptr) InitVector(list, nullptr);
    return list;
}

// n SelectColumns (type 5, no alias, no aggregate) of tableName, or null.
Vector *ColumnsOf(apr_pool_t *pool, const char *tableName, int n, va_list names) {
    Vector *list = n >= 0 ? PoolVector(pool) : nullptr;
    for (int i = 0; list != nullptr && i < n; ++i) {
        const char *name = va_arg(names, const char *);
        SelectColumn *column =
            CreateSelectColumn(tableName, nullptr, name, nullptr, 0, VEL_SQL_INT, 0, pool);
        if (!PoolAdd(pool, list, column)) list = nullptr;
    }
    return list;
}

}  // namespace

extern "C" {

Vector *MakeColumnVector(apr_pool_t *pool, int n, ...) {
    LogTrace("@@@ Inside MakeColumnVector @@@\n");
    Vector *list = n >= 0 ? PoolVector(pool) : nullptr;
    va_list texts;
    va_start(texts, n);
    for (int i = 0; list != nullptr && i < n; ++i) {
        char *copy = nullptr;
        const char *text = va_arg(texts, const char *);
        if (text == nullptr || !PoolCopyString(&copy, text, pool) || !PoolAdd(pool, list, copy)) {
            list = nullptr;
        }
    }
    va_end(texts);
    return list;
}

Vector *MakeColumnVectorForJoin(apr_pool_t *pool, const char *tableName, int n, ...) {
    LogTrace("@@@ Inside MakeColumnVectorForJoin @@@\n");
    va_list names;
    va_start(names, n);
    Vector *list = ColumnsOf(pool, tableName, n, names);
    va_end(names);
    return list;
}

int AddColumnToSelectQuery(SelectQuery *query, const char *tableName, const char *tableAlias,
                           const char *columnName, const char *columnAlias, int32_t value,
                           unsigned char dataType, unsigned char aggregate) {
    LogTrace("@@@ Inside AddColumnToSelectQuery @@@\n");
    if (query == nullptr) return 0;
    SelectColumn *column = CreateSelectColumn(tableName, tableAlias, columnName, columnAlias, value,
                                              dataType, aggregate, query->pool);
    return column != nullptr && AddSelectColumn(query, column) ? 1 : 0;
}

int AddJoinToSelectQuery(SelectQuery *query, const char *baseTable, const char *baseAlias,
                         const char *refTable, const char *refAlias, unsigned char joinType,
                         Vector *baseColumns, Vector *refColumns) {
    LogTrace("@@@ Inside AddJoinToSelectQuery @@@\n");
    if (query == nullptr) return 0;
    SelectJoin *join = CreateSelectJoin(baseTable, baseAlias, refTable, refAlias, joinType,
                                        baseColumns, refColumns, query->pool);
    return join != nullptr && AddSelectJoin(query, join) ? 1 : 0;
}

int AddJoinOnColumns(SelectQuery *query, const char *baseTable, const char *baseAlias,
                     const char *refTable, const char *refAlias, unsigned char joinType, int n,
                     ...) {
    LogTrace("@@@ Inside AddJoinOnColumns @@@\n");
    if (query == nullptr) return 0;
    va_list names;
    va_start(names, n);
    // Columns without a table: the generator writes each side's table in front.
    Vector *columns = ColumnsOf(query->pool, nullptr, n, names);
    va_end(names);
    if (columns == nullptr) return 0;
    return AddJoinToSelectQuery(query, baseTable, baseAlias, refTable, refAlias, joinType, columns,
                                columns);
}

}  // extern "C"
