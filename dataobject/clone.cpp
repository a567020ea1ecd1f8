#include "dataobject/clone.h"

#include <apr_pools.h>
#include <apr_strings.h>
#include <string.h>

#include "dataobject/key_string.h"
#include "dataobject/row_collection.h"
#include "dataobject/row_unit.h"
#include "logging/log.h"

namespace {

RowCollection *SourceCollection(const RowUnit *unit, DataObject *source) {
    for (RowCollection *c = source->firstCollection; c != nullptr; c = c->next) {
        if (strcmp(c->tableName, unit->tableName) == 0) return c;
    }
    return nullptr;
}

Vector *ColumnList(const RowCollection *collection, apr_pool_t *pool) {
    Vector *list = static_cast<Vector *>(apr_palloc(pool, sizeof(Vector)));
    if (list == nullptr) return nullptr;
    InitVector(list, nullptr);
    for (int i = 0; i < CountCollectionColumns(collection); ++i) {
        if (!AppendPoolElement(list, collection->columnNames[i], pool)) return nullptr;
    }
    return list;
}

}  // namespace

extern "C" {

RowUnit *CloneRowUnit(RowUnit *rowUnit, DataObject *clone, DataObject *source) {
    LogTrace("@@@ Inside CloneRowUnit @@@\n");
    if (rowUnit == nullptr || clone == nullptr || source == nullptr) return nullptr;
    RowCollection *collection = SourceCollection(rowUnit, source);
    if (collection == nullptr) return nullptr;
    apr_pool_t *pool = clone->pool;
    int count = CountCollectionColumns(collection);
    RowUnit *copy = static_cast<RowUnit *>(apr_pcalloc(pool, sizeof(RowUnit)));
    void **values = static_cast<void **>(apr_pcalloc(pool, sizeof(void *) * (count + 1)));
    int *lengths = static_cast<int *>(apr_pcalloc(pool, sizeof(int) * (count + 1)));
    if (copy == nullptr || values == nullptr || lengths == nullptr) return nullptr;
    for (int i = 0; i < count; ++i) {
        lengths[i] = rowUnit->lengths[i];
        if (rowUnit->values[i] == nullptr) continue;
        values[i] = CopyValueIntoPool(rowUnit->values[i], rowUnit->lengths[i],
                                      collection->columnTypes[i], pool);
        if (values[i] == nullptr) return nullptr;
    }
    copy->tableName = apr_pstrdup(pool, rowUnit->tableName);
    copy->columnCount = count;
    copy->values = values;
    copy->lengths = lengths;
    copy->state = rowUnit->state;
    // The collection's own column list names the values exactly; a query's list may hold
    // names the definition lacks, so it serves only when there is nothing better.
    char *key = GenerateKeyString(copy, clone->selectQuery, ColumnList(collection, pool), pool);
    if (key == nullptr || !CheckForPKEntry(key, copy, clone)) {
        LogError("Cannot add the newRowUnit into hash table.\n");
        return nullptr;
    }
    return copy;
}

RowCollection *CloneRowCollection(RowCollection *rowCollection, DataObject *clone,
                                  DataObject *source) {
    LogTrace("@@@ Inside CloneRowCollection @@@\n");
    if (rowCollection == nullptr || clone == nullptr) return nullptr;
    apr_pool_t *pool = clone->pool;
    RowCollection *copy = static_cast<RowCollection *>(apr_pcalloc(pool, sizeof(RowCollection)));
    int count = CountCollectionColumns(rowCollection);
    char **names = static_cast<char **>(apr_palloc(pool, sizeof(char *) * (count + 1)));
    unsigned char *types = static_cast<unsigned char *>(apr_pcalloc(pool, count + 1));
    if (copy == nullptr || names == nullptr || types == nullptr) {
        LogError("MEMEORY_ALLOCATION_FAILURE.\n");
        return nullptr;
    }
    copy->tableName = apr_pstrdup(pool, rowCollection->tableName);
    copy->tableDefn = GetTableDefn(rowCollection->tableName);
    if (copy->tableDefn == nullptr) {
        LogError("No Table Definition found for table %s.\n", rowCollection->tableName);
        return nullptr;
    }
    for (int i = 0; i < count; ++i) {
        names[i] = apr_pstrdup(pool, rowCollection->columnNames[i]);
        types[i] = rowCollection->columnTypes != nullptr ? rowCollection->columnTypes[i] : 0;
    }
    names[count] = apr_pstrdup(pool, "");
    copy->columnNames = names;
    copy->columnTypes = types;
    for (RowUnit *u = rowCollection->firstRowUnit; u != nullptr; u = u->next) {
        RowUnit *unit = CloneRowUnit(u, clone, source);
        if (unit == nullptr) return nullptr;
        AddRowUnitToRowCollection(unit, copy);
    }
    return copy;
}

DataObject *CloneDataObject(DataObject *source) {
    LogTrace("@@@ Inside CloneDataObject @@@\n");
    if (source == nullptr) return nullptr;
    DataObject *clone = CreateDataObject();
    if (clone == nullptr) return nullptr;
    for (VectorNode *n = source->tableList->head; n != nullptr; n = n->next) {
        char *name = apr_pstrdup(clone->pool, static_cast<char *>(n->element));
        if (name == nullptr || !AppendPoolElement(clone->tableList, name, clone->pool)) {
            FreeDataObject(clone);
            return nullptr;
        }
    }
    clone->tableCount = source->tableCount;
    clone->selectQuery = source->selectQuery;
    RowCollection **link = &clone->firstCollection;
    for (RowCollection *c = source->firstCollection; c != nullptr; c = c->next) {
        *link = CloneRowCollection(c, clone, source);
        if (*link == nullptr) {
            FreeDataObject(clone);
            return nullptr;
        }
        link = &(*link)->next;
    }
    return clone;
}

}  // extern "C"
