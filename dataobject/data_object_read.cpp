#include "dataobject/data_object_read.h"

#include <apr_pools.h>
#include <apr_strings.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "dataobject/key_string.h"
#include "dataobject/row_collection.h"
#include "dataobject/row_unit.h"
#include "dataobject/save_order.h"
#include "db/conn_params.h"
#include "db/connection_pool.h"
#include "db/statements.h"
#include "logging/log.h"

namespace {

apr_status_t FreeOwnedQuery(void *query) {
    FreeSelectQuery(static_cast<SelectQuery *>(query));
    return APR_SUCCESS;
}

const char *FirstTable(SelectQuery *query) {
    if (query->tables.head != nullptr)
        return static_cast<SelectTable *>(query->tables.head->element)->name;
    if (query->joins.head != nullptr)
        return static_cast<SelectJoin *>(query->joins.head->element)->baseTable;
    return nullptr;
}

}  // namespace

extern "C" {

Vector *CreateTableListForDO(SelectQuery *selectQuery, apr_pool_t *pool) {
    LogTrace("@@@ Inside CreateTableListForDO @@@\n");
    if (selectQuery == nullptr || pool == nullptr) return nullptr;
    Vector *list = static_cast<Vector *>(apr_palloc(pool, sizeof(Vector)));
    if (list == nullptr) return nullptr;
    InitVector(list, nullptr);
    int i = 0;
    for (VectorNode *n = selectQuery->joins.head; n != nullptr; n = n->next, ++i) {
        SelectJoin *join = static_cast<SelectJoin *>(n->element);
        if (i == 0 && join->baseTable != nullptr && !AppendPoolElement(list, join->baseTable, pool))
            return nullptr;
        if (join->refTable != nullptr && !AppendPoolElement(list, join->refTable, pool))
            return nullptr;
    }
    for (VectorNode *n = selectQuery->tables.head; n != nullptr; n = n->next) {
        SelectTable *table = static_cast<SelectTable *>(n->element);
        if (table->name != nullptr && !AppendPoolElement(list, table->name, pool)) return nullptr;
    }
    return list;
}

int *GetResultColumnPositions(SelectQuery *selectQuery, Vector *columns, const char *tableName,
                              int *offset, int *count, apr_pool_t *pool) {
    LogTrace("@@@ Inside GetResultColumnPositions @@@\n");
    *count = 0;
    TableDefn *defn = tableName != nullptr ? GetTableDefn(tableName) : nullptr;
    if (defn == nullptr || selectQuery == nullptr) {
        LogError("No definition for table %s.\n", tableName != nullptr ? tableName : "");
        return nullptr;
    }
    if (selectQuery->columns.count == 0) {
        if (offset == nullptr) return nullptr;
        int total = defn->columns->count;
        int *positions = static_cast<int *>(apr_palloc(pool, sizeof(int) * (total + 1)));
        if (positions == nullptr) return nullptr;
        for (int i = 0; i < total; ++i) positions[i] = *offset + i;
        *offset += total;
        *count = total;
        return positions;
    }
    int *positions =
        static_cast<int *>(apr_palloc(pool, sizeof(int) * (selectQuery->columns.count + 1)));
    if (positions == nullptr) return nullptr;
    int place = 0;
    for (VectorNode *n = selectQuery->columns.head; n != nullptr; n = n->next, ++place) {
        SelectColumn *column = static_cast<SelectColumn *>(n->element);
        if (column->tableName == nullptr || column->columnName == nullptr ||
            strcmp(column->tableName, tableName) != 0) {
            continue;
        }
        // Only names the definition has take a value slot, as in the collection's layout.
        if (GetColumnDefnEntry(defn->name, column->columnName) == nullptr) continue;
        bool listed = columns == nullptr;
        for (VectorNode *c = columns != nullptr ? columns->head : nullptr; c != nullptr && !listed;
             c = c->next) {
            listed = strcmp(static_cast<char *>(c->element), column->columnName) == 0;
        }
        if (listed) positions[(*count)++] = place;
    }
    return positions;
}

RowUnit *CreateRowUnitFromResultSet(const char *tableName, ResultCell *row,
                                    const unsigned char *types, const int *resultPositions,
                                    int count, apr_pool_t *pool) {
    LogTrace("@@@ Inside CreateRowUnitFromResultSet @@@\n");
    if (tableName == nullptr || GetTableDefn(tableName) == nullptr) {
        LogError("No Table Definition found for table %s.\n",
                 tableName != nullptr ? tableName : "");
        return nullptr;
    }
    std::vector<ResultCell *> cells;
    for (ResultCell *cell = row; cell != nullptr; cell = cell->next) cells.push_back(cell);
    void **values = static_cast<void **>(apr_pcalloc(pool, sizeof(void *) * (count + 1)));
    int *lengths = static_cast<int *>(apr_pcalloc(pool, sizeof(int) * (count + 1)));
    if (values == nullptr || lengths == nullptr) return nullptr;
    for (int i = 0; i < count; ++i) {
        int position = resultPositions[i];
        if (position < 0 || size_t(position) >= cells.size()) continue;
        ResultCell *cell = cells[size_t(position)];
        lengths[i] = cell->length;
        if (cell->bytes == nullptr) continue;
        values[i] = CopyValueIntoPool(cell->bytes, cell->length, types[i], pool);
        if (values[i] == nullptr) {
            LogError("Cannot memcopy value.\n");
            return nullptr;
        }
    }
    RowUnit *unit = CreateRowUnit(tableName, values, lengths, pool);
    if (unit == nullptr) return nullptr;
    unit->columnCount = count;
    unit->state = ROW_STATE_STORED;
    return unit;
}

RowCollection *CreateRowCollectionFromResultSet(const char *tableName, ResultSet *resultSet,
                                                SelectQuery *selectQuery, DataObject *dataObject,
                                                int *offset) {
    LogTrace("@@@ Inside CreateRowCollectionFromResultSet @@@\n");
    if (tableName == nullptr || resultSet == nullptr || selectQuery == nullptr ||
        dataObject == nullptr) {
        return nullptr;
    }
    apr_pool_t *pool = dataObject->pool;
    RowCollection *collection =
        static_cast<RowCollection *>(apr_pcalloc(pool, sizeof(RowCollection)));
    if (collection == nullptr) return nullptr;
    collection->tableName = apr_pstrdup(pool, tableName);
    collection->tableDefn = GetTableDefn(tableName);
    collection->columnNames = static_cast<char **>(apr_pcalloc(pool, sizeof(char *)));
    Vector *columns = GetColumnListFromSelectQuery(selectQuery, tableName, pool);
    // The offset moves past this table's columns even when the table is not read.
    int resultCount = 0;
    int *resultPositions =
        columns != nullptr
            ? GetResultColumnPositions(selectQuery, columns, tableName, offset, &resultCount, pool)
            : nullptr;
    if (columns == nullptr || !CheckSelectedColumnsForPK(tableName, selectQuery, columns, pool))
        return collection;
    int count = 0;
    int *defnPositions = GetColumnIndex(columns, tableName, &count, pool);
    if (defnPositions == nullptr) {
        LogError("colListPtr is NULL.\n");
        return nullptr;
    }
    if (resultPositions == nullptr || resultCount != count) {
        LogError("masterColListPtr is NULL.\n");
        return nullptr;
    }
    char **names = static_cast<char **>(apr_palloc(pool, sizeof(char *) * (count + 1)));
    unsigned char *types = static_cast<unsigned char *>(apr_pcalloc(pool, count + 1));
    if (names == nullptr || types == nullptr) return nullptr;
    std::vector<ColumnDefn *> defnColumns;
    for (VectorNode *n = collection->tableDefn->columns->head; n != nullptr; n = n->next) {
        defnColumns.push_back(static_cast<ColumnDefn *>(n->element));
    }
    Vector keyColumns;
    InitVector(&keyColumns, nullptr);
    for (int i = 0; i < count; ++i) {
        ColumnDefn *column = defnColumns[size_t(defnPositions[i])];
        names[i] = apr_pstrdup(pool, column->name);
        types[i] = column->dataType;
        if (!AppendPoolElement(&keyColumns, names[i], pool)) return nullptr;
    }
    names[count] = apr_pstrdup(pool, "");
    collection->columnNames = names;
    collection->columnTypes = types;
    // Where the key's places in the layout hold no value, an outer join found no row of this
    // table: such a result row has nothing of it (a stored row always has its key).
    std::vector<int> keyPlaces;
    for (int k = 0; collection->tableDefn->constraints != nullptr &&
                    k < collection->tableDefn->constraints->primaryKeyCount;
         ++k) {
        for (int i = 0; i < count; ++i) {
            if (strcmp(names[i], collection->tableDefn->constraints->primaryKeyColumns[k]) == 0) {
                keyPlaces.push_back(i);
                break;
            }
        }
    }
    RowUnit **link = &collection->firstRowUnit;
    bool first = true;
    for (ResultRow *row = resultSet->firstRow; row != nullptr; row = row->next, first = false) {
        RowUnit *unit =
            CreateRowUnitFromResultSet(tableName, row->values, types, resultPositions, count, pool);
        if (unit == nullptr) return nullptr;
        bool absent = !keyPlaces.empty();
        for (int place : keyPlaces) absent = absent && unit->values[place] == nullptr;
        if (absent) continue;
        // The key is built from the collection's own layout: the query's list may name
        // columns the definition lacks, which hold no value slot.
        char *key = GenerateKeyString(unit, selectQuery, &keyColumns, pool);
        if (key == nullptr || !CheckForPKEntry(key, unit, dataObject)) {
            if (first) return nullptr;
            continue;
        }
        *link = unit;
        link = &unit->next;
    }
    return collection;
}

DataObject *CreateDataObjectFromResultSet(ResultSet *resultSet, SelectQuery *selectQuery) {
    LogTrace("@@@ Inside CreateDataObjectFromResultSet @@@\n");
    DataObject *dataObject = CreateDataObject();
    if (dataObject == nullptr || resultSet == nullptr || selectQuery == nullptr) {
        FreeResultSet(resultSet);
        FreeDataObject(dataObject);
        return nullptr;
    }
    Vector *tables = CreateTableListForDO(selectQuery, dataObject->pool);
    Vector *order = tables != nullptr ? SortTableByFK(tables, dataObject->pool) : nullptr;
    if (order == nullptr) {
        FreeResultSet(resultSet);
        FreeDataObject(dataObject);
        return nullptr;
    }
    dataObject->tableList = order;
    dataObject->tableCount = order->count;
    dataObject->selectQuery = selectQuery;
    int offset = 0;
    RowCollection **link = &dataObject->firstCollection;
    for (VectorNode *n = tables->head; n != nullptr; n = n->next) {
        const char *table = static_cast<const char *>(n->element);
        LogTrace("TableName %s\n", table);
        RowCollection *collection =
            CreateRowCollectionFromResultSet(table, resultSet, selectQuery, dataObject, &offset);
        if (collection == nullptr) continue;
        *link = collection;
        link = &collection->next;
    }
    FreeResultSet(resultSet);
    return dataObject;
}

DataObject *GetDataObject(SelectQuery *selectQuery) {
    LogTrace("@@@ Inside GetDataObject @@@\n");
    if (selectQuery == nullptr) {
        LogError("Cannot construct DO. Select Query pointer is NULL.\n");
        return nullptr;
    }
    const char *table = FirstTable(selectQuery);
    const char *connection = table != nullptr ? GetConnectionNameForTable(table) : nullptr;
    char *sql = GenerateSelectQuery(selectQuery);
    ResultSet *result = nullptr;
    if (sql != nullptr) {
        ConnectionHandle *handle = GetConnectionHandle(connection);
        if (handle != nullptr) {
            result = ExecuteQuery(handle, sql);
            ReleaseConnectionHandle(connection);
        }
        free(sql);
    }
    if (result == nullptr) {
        LogError("Cannot create DataObject.  No entries returned for SelectQuery\n");
        return nullptr;
    }
    return CreateDataObjectFromResultSet(result, selectQuery);
}

DataObject *GetDataObjectByCriteria(Vector *tables, QueryCriterion *criteria) {
    LogTrace("@@@ Inside GetDataObjectByCriteria @@@\n");
    SelectQuery *query = CreateSelectQuery();
    bool ok = query != nullptr && tables != nullptr;
    for (VectorNode *n = ok ? tables->head : nullptr; n != nullptr && ok; n = n->next) {
        SelectTable *table =
            CreateSelectTable(static_cast<char *>(n->element), nullptr, query->pool);
        ok = table != nullptr && AddSelectTable(query, table);
    }
    DataObject *dataObject = nullptr;
    if (ok) {
        SetCriteria(query, criteria);
        dataObject = GetDataObject(query);
    }
    if (dataObject == nullptr) {
        LogError("Cannot create DataObject.\n");
        if (query != nullptr) FreeSelectQuery(query);
        return nullptr;
    }
    apr_pool_cleanup_register(dataObject->pool, query, FreeOwnedQuery, apr_pool_cleanup_null);
    return dataObject;
}

DataObject *GetDataObjectByRowUnit(Vector *tables, RowUnit *rowUnit) {
    LogTrace("@@@ Inside GetDataObjectByRowUnit @@@\n");
    if (tables == nullptr || rowUnit == nullptr || rowUnit->tableName == nullptr) return nullptr;
    bool listed = false;
    for (VectorNode *n = tables->head; n != nullptr && !listed; n = n->next) {
        listed = n->element != nullptr &&
                 strcmp(static_cast<char *>(n->element), rowUnit->tableName) == 0;
    }
    if (!listed) {
        LogError("RowUnit belongs to table %s, which is not present in the tableList.\n",
                 rowUnit->tableName);
        return nullptr;
    }
    TableDefn *defn = GetTableDefn(rowUnit->tableName);
    if (defn == nullptr || defn->constraints == nullptr || rowUnit->values == nullptr) {
        LogError("No Table Definition found for table %s.\n", rowUnit->tableName);
        return nullptr;
    }
    SelectQuery *query = CreateSelectQuery();
    if (query == nullptr) return nullptr;
    apr_pool_t *pool = query->pool;
    const char *unitTable = rowUnit->tableName;
    bool ok = true;
    // The unit's own row, by the key values it holds at their definition positions.
    QueryCriterion *criteria = nullptr;
    for (int k = 0; k < defn->constraints->primaryKeyCount && ok; ++k) {
        const char *keyName = defn->constraints->primaryKeyColumns[k];
        int position = 0;
        VectorNode *c = defn->columns->head;
        for (; c != nullptr; c = c->next, ++position) {
            if (strcmp(static_cast<ColumnDefn *>(c->element)->name, keyName) == 0) break;
        }
        if (c == nullptr) continue;
        ColumnDefn *column = static_cast<ColumnDefn *>(c->element);
        QueryCriterion *leaf = CreateCriterion(
            CreateSelectColumn(unitTable, nullptr, keyName, nullptr, 0, column->dataType, 0, pool),
            rowUnit->values[position], rowUnit->lengths[position], OPERATOR_EQUAL, pool);
        criteria = leaf == nullptr       ? nullptr
                   : criteria == nullptr ? leaf
                                         : CriteriaAnd(criteria, leaf, pool);
        ok = criteria != nullptr;
    }
    // Every other listed table whose keys lead to the unit's key is left-joined to the
    // unit's row on those keys: a table without such rows then leaves the others' rows in
    // place (a plain list of tables would give no row at all). A table named twice in the
    // select would make its columns ambiguous, so each is joined once.
    std::vector<const TableDefn *> added = {defn};
    for (VectorNode *n = tables->head; n != nullptr && ok; n = n->next) {
        const char *table = static_cast<const char *>(n->element);
        TableDefn *tableDefn = table != nullptr ? GetTableDefn(table) : nullptr;
        if (tableDefn == defn) continue;
        Vector *keys = tableDefn != nullptr && tableDefn->constraints != nullptr
                           ? tableDefn->constraints->foreignKeys
                           : nullptr;
        if (keys == nullptr) {
            LogError("No constraints for table %s.\n", table != nullptr ? table : "");
            continue;
        }
        bool joined = false;
        for (const TableDefn *t : added) joined = joined || t == tableDefn;
        if (joined) continue;
        Vector *baseColumns = NewColumnList(pool);
        Vector *refColumns = NewColumnList(pool);
        ok = baseColumns != nullptr && refColumns != nullptr;
        for (VectorNode *f = keys->head; f != nullptr && ok; f = f->next) {
            ForeignKeyDefn *key = static_cast<ForeignKeyDefn *>(f->element);
            for (int k = 0; k < defn->constraints->primaryKeyCount && ok; ++k) {
                unsigned char found = 0;
                CompareRootRefTable(key->referenceTable, key->referenceColumn, rowUnit->tableName,
                                    defn->constraints->primaryKeyColumns[k], &found);
                if (!found) continue;
                SelectColumn *base =
                    CreateSelectColumn(unitTable, nullptr, defn->constraints->primaryKeyColumns[k],
                                       nullptr, 0, 5, 0, pool);
                SelectColumn *ref =
                    CreateSelectColumn(table, nullptr, key->localColumn, nullptr, 0, 5, 0, pool);
                ok = base != nullptr && ref != nullptr &&
                     AppendListColumn(pool, base, baseColumns) &&
                     AppendListColumn(pool, ref, refColumns);
            }
        }
        if (!ok || refColumns->count == 0) continue;
        SelectJoin *join = CreateSelectJoin(unitTable, nullptr, table, nullptr, LEFT_JOIN,
                                            baseColumns, refColumns, pool);
        ok = join != nullptr && AddSelectJoin(query, join);
        added.push_back(tableDefn);
    }
    if (ok && query->joins.count == 0) {
        SelectTable *selectTable = CreateSelectTable(unitTable, nullptr, pool);
        ok = selectTable != nullptr && AddSelectTable(query, selectTable);
    }
    DataObject *dataObject = nullptr;
    if (ok) {
        SetCriteria(query, criteria);
        dataObject = GetDataObject(query);
    }
    if (dataObject == nullptr) {
        FreeSelectQuery(query);
        return nullptr;
    }
    apr_pool_cleanup_register(dataObject->pool, query, FreeOwnedQuery, apr_pool_cleanup_null);
    return dataObject;
}

}  // extern "C"
