#include "dataobject/merge.h"

#include <apr_pools.h>
#include <apr_strings.h>
#include <string.h>

#include "dataobject/key_string.h"
#include "dataobject/row_collection.h"
#include "dataobject/row_unit.h"
#include "logging/log.h"

namespace {

RowCollection *FindCollection(const char *tableName, DataObject *dataObject) {
    for (RowCollection *c = dataObject->firstCollection; c != nullptr; c = c->next) {
        if (strcmp(c->tableName, tableName) == 0) return c;
    }
    return nullptr;
}

// A copy of unit (laid out by from's columns) in to's layout, in pool, with unit's state.
RowUnit *CopyInto(const RowUnit *unit, const RowCollection *from, const RowCollection *to,
                  apr_pool_t *pool) {
    int fromCount = CountCollectionColumns(from);
    int toCount = CountCollectionColumns(to);
    void **values = static_cast<void **>(apr_pcalloc(pool, sizeof(void *) * (toCount + 1)));
    int *lengths = static_cast<int *>(apr_pcalloc(pool, sizeof(int) * (toCount + 1)));
    if (values == nullptr || lengths == nullptr) return nullptr;
    for (int i = 0; i < toCount; ++i) {
        for (int p = 0; p < fromCount; ++p) {
            if (strcmp(from->columnNames[p], to->columnNames[i]) != 0) continue;
            lengths[i] = unit->lengths[p];
            if (unit->values[p] != nullptr) {
                values[i] = CopyValueIntoPool(unit->values[p], unit->lengths[p],
                                              from->columnTypes[p], pool);
                if (values[i] == nullptr) return nullptr;
            }
            break;
        }
    }
    RowUnit *copy = CreateRowUnit(unit->tableName, values, lengths, pool);
    if (copy != nullptr) {
        copy->columnCount = toCount;
        copy->state = unit->state;
    }
    return copy;
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

void MergeUnit(RowUnit *unit, RowCollection *from, RowCollection *to, DataObject *target) {
    unsigned char state = unit->state;
    if (state != 5 && state != 2 && state != 6 && state != 9) return;
    RowUnit *copy = CopyInto(unit, from, to, target->pool);
    if (copy == nullptr) return;
    char *key = GenerateKeyString(copy, nullptr, ColumnList(to, target->pool), target->pool);
    if (key == nullptr) return;
    RowUnit *held = static_cast<RowUnit *>(GetHashValue(target->keyHash, key));
    if (held == nullptr) {
        if (InsertRowUnit(copy, target) && state == 9) copy->state = 9;
        return;
    }
    if (state == 5) {
        UpdateRowUnit(copy, target);
    } else if (state == 9) {
        DeleteRowUnit(held, target);
    } else {
        LogError("Cannot Insert Row with keystring %s.  Row already exists.", key);
    }
}

// A new collection of target for from's table with from's columns, or null (logged).
RowCollection *AddCollectionLike(const RowCollection *from, DataObject *target) {
    int count = CountCollectionColumns(from);
    char **names = static_cast<char **>(apr_palloc(target->pool, sizeof(char *) * (count + 1)));
    unsigned char *types = static_cast<unsigned char *>(apr_pcalloc(target->pool, count + 1));
    if (names != nullptr && types != nullptr) {
        for (int i = 0; i < count; ++i) {
            names[i] = apr_pstrdup(target->pool, from->columnNames[i]);
            types[i] = from->columnTypes[i];
        }
        names[count] = apr_pstrdup(target->pool, "");
    }
    RowCollection *to = names != nullptr && types != nullptr
                            ? CreateRowCollection(from->tableName, names, types, target->pool)
                            : nullptr;
    if (to == nullptr || !AddRowCollectionToDO(target, to)) {
        LogError("tempRowCollection is NULL\n");
        return nullptr;
    }
    return to;
}

}  // namespace

extern "C" {

DataObject *MergeDataObject(DataObject *target, DataObject *source) {
    LogTrace("@@@ Inside MergeDataObject @@@\n");
    if (target == nullptr || source == nullptr) return nullptr;
    for (RowCollection *from = source->firstCollection; from != nullptr; from = from->next) {
        RowCollection *to = FindCollection(from->tableName, target);
        if (to != nullptr) {
            for (RowUnit *u = from->firstRowUnit; u != nullptr; u = u->next)
                MergeUnit(u, from, to, target);
            continue;
        }
        to = AddCollectionLike(from, target);
        if (to == nullptr) return nullptr;
        for (RowUnit *u = from->firstRowUnit; u != nullptr; u = u->next) {
            if (u->state == 10) continue;
            RowUnit *copy = CopyInto(u, from, to, target->pool);
            if (copy != nullptr && InsertRowUnit(copy, target) && u->state == 9) copy->state = 9;
        }
    }
    return target;
}

DataObject *CombineDataObjects(DataObject *target, DataObject *source) {
    LogTrace("@@@ Inside CombineDataObjects @@@\n");
    if (target == nullptr || source == nullptr) return nullptr;
    for (RowCollection *from = source->firstCollection; from != nullptr; from = from->next) {
        // A collection without columns (its key was not selected) holds no rows.
        if (CountCollectionColumns(from) == 0) continue;
        RowCollection *to = FindCollection(from->tableName, target);
        if (to == nullptr) to = AddCollectionLike(from, target);
        if (to == nullptr) return nullptr;
        Vector *columns = ColumnList(to, target->pool);
        if (columns == nullptr) return nullptr;
        for (RowUnit *u = from->firstRowUnit; u != nullptr; u = u->next) {
            RowUnit *copy = CopyInto(u, from, to, target->pool);
            if (copy == nullptr) return nullptr;
            char *key = GenerateKeyString(copy, nullptr, columns, target->pool);
            if (key == nullptr) return nullptr;
            // A row that two objects both hold is kept once, as the target has it.
            if (CheckForPKEntry(key, copy, target)) AddRowUnitToRowCollection(copy, to);
        }
    }
    return target;
}

}  // extern "C"
