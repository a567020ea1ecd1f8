#include "dataobject/row_unit.h"

#include <apr_pools.h>
#include <apr_strings.h>
#include <stdlib.h>
#include <string.h>

#include "dataobject/key_string.h"
#include "dataobject/row_collection.h"
#include "logging/log.h"
#include "store/criteria.h"
#include "store/sequence_generator.h"
#include "util/lock.h"

namespace {

RowCollection *FindCollection(const char *tableName, DataObject *dataObject) {
    if (tableName == nullptr || dataObject == nullptr) return nullptr;
    for (RowCollection *c = dataObject->firstCollection; c != nullptr; c = c->next) {
        if (strcmp(c->tableName, tableName) == 0) return c;
    }
    return nullptr;
}

char *CollectionKeyString(const RowUnit *unit, DataObject *dataObject) {
    RowCollection *collection = FindCollection(unit->tableName, dataObject);
    if (collection == nullptr) return nullptr;
    Vector names;
    InitVector(&names, nullptr);
    for (int i = 0; i < CountCollectionColumns(collection); ++i) {
        if (!AppendPoolElement(&names, collection->columnNames[i], dataObject->pool))
            return nullptr;
    }
    return GenerateKeyString(unit, dataObject->selectQuery, &names, dataObject->pool);
}

// Runs the criteria over the table's units under the global criteria lock: marks every
// match deleted (stopAtFirst false) or returns the first match. *failed reports a unit
// that cannot become a row.
RowUnit *WalkOnCriteria(const char *tableName, DataObject *dataObject, const char *criteria,
                        bool stopAtFirst, bool *failed) {
    *failed = false;
    RowCollection *collection = GetRowCollection(tableName, dataObject);
    if (collection == nullptr) {
        *failed = true;
        return nullptr;
    }
    LockObject(gv_criteriaLockKey);
    CriteriaNode *tree = ParseCriteria(criteria);
    if (tree == nullptr) {
        UnlockObject(gv_criteriaLockKey);
        LogError("Invalid criteria %s.\n", criteria != nullptr ? criteria : "");
        *failed = true;
        return nullptr;
    }
    ResolveCriteriaColumns(collection->tableDefn->columns, tree);
    RowUnit *found = nullptr;
    for (RowUnit *u = collection->firstRowUnit; u != nullptr; u = u->next) {
        RowObject *row = GetRowObjectFromRowUnit(u, dataObject);
        if (row == nullptr) {
            LogError("RowObject is NULL.\n");
            *failed = true;
            break;
        }
        if (!EvaluateCriteria(row, tree)) continue;
        if (stopAtFirst) {
            found = u;
            break;
        }
        u->state |= ROW_STATE_DELETED;
    }
    FreeCriteriaTree(tree);
    UnlockObject(gv_criteriaLockKey);
    return found;
}

}  // namespace

extern "C" {

RowUnit *CreateRowUnit(const char *tableName, void **values, int *lengths, apr_pool_t *pool) {
    LogTrace("@@@ Inside CreateRowUnit @@@\n");
    if (tableName == nullptr || pool == nullptr) return nullptr;
    RowUnit *unit = static_cast<RowUnit *>(apr_pcalloc(pool, sizeof(RowUnit)));
    if (unit == nullptr) return nullptr;
    unit->tableName = apr_pstrdup(pool, tableName);
    unit->values = values;
    unit->lengths = lengths;
    return unit;
}

int AddRowUnitToRowCollection(RowUnit *rowUnit, RowCollection *rowCollection) {
    LogTrace("@@@ Inside AddRowUnitToRowCollection @@@\n");
    if (rowUnit == nullptr || rowCollection == nullptr) return 1;
    RowUnit **link = &rowCollection->firstRowUnit;
    while (*link != nullptr) link = &(*link)->next;
    *link = rowUnit;
    rowUnit->next = nullptr;
    return 1;
}

int InsertRowUnit(RowUnit *rowUnit, DataObject *dataObject) {
    LogTrace("@@@ Inside InsertRowUnit @@@\n");
    if (rowUnit == nullptr || dataObject == nullptr) return 0;
    RowCollection *collection = FindCollection(rowUnit->tableName, dataObject);
    if (collection == nullptr) {
        LogError("The RowUnit belongs to Table %s, which is not in DO\n", rowUnit->tableName);
        return 0;
    }
    if (rowUnit->values == nullptr || rowUnit->lengths == nullptr) return 0;
    rowUnit->columnCount = CountCollectionColumns(collection);
    LogDebug("Inserting Row\n");
    for (int i = 0; i < rowUnit->columnCount; ++i) {
        if (rowUnit->values[i] != nullptr) continue;
        ColumnDefn *column = GetColumnDefnEntry(collection->tableName, collection->columnNames[i]);
        if (column == nullptr) continue;
        if (column->generatorName != nullptr) {
            // The generated id is held as a 4-byte number, so its length is 4 whatever the
            // caller had put there: a longer length would read past the copy.
            int id = GenerateID(collection->tableName, column);
            rowUnit->values[i] = CopyValueIntoPool(&id, sizeof id, VEL_SQL_INT, dataObject->pool);
            rowUnit->lengths[i] = sizeof id;
        } else if (column->defaultValue != nullptr) {
            // The definition's default length is the stored length of the default (a date
            // is one 11-byte block, a small integer may be 1 byte): taking a type's nominal
            // width or a text length instead would misread the copy.
            rowUnit->values[i] = CopyValueIntoPool(column->defaultValue, column->defaultLength,
                                                   column->dataType, dataObject->pool);
            rowUnit->lengths[i] = column->defaultLength;
        }
    }
    char *key = CollectionKeyString(rowUnit, dataObject);
    if (key == nullptr) return 0;
    if (!CheckForPKEntry(key, rowUnit, dataObject)) {
        LogDebug("Row with keyStr %s already exists.\n", key);
        return 0;
    }
    rowUnit->state = ROW_STATE_NEW;
    AddRowUnitToRowCollection(rowUnit, collection);
    return 1;
}

int UpdateRowUnit(RowUnit *rowUnit, DataObject *dataObject) {
    LogTrace("@@@ Inside UpdateRowUnit @@@\n");
    if (rowUnit == nullptr || dataObject == nullptr) return 0;
    char *key = CollectionKeyString(rowUnit, dataObject);
    RowUnit *stored =
        key != nullptr ? static_cast<RowUnit *>(GetHashValue(dataObject->keyHash, key)) : nullptr;
    if (stored == nullptr) {
        LogError("Row to be updated is not present in DO. \n");
        return 0;
    }
    LogDebug("Updating Row\n");
    stored->values = rowUnit->values;
    stored->lengths = rowUnit->lengths;
    stored->state |= ROW_STATE_MODIFIED;
    return 1;
}

int DeleteRowUnit(RowUnit *rowUnit, DataObject *dataObject) {
    LogTrace("@@@ Inside DeleteRowUnit @@@\n");
    (void)dataObject;
    if (rowUnit != nullptr) rowUnit->state |= ROW_STATE_DELETED;
    return 1;
}

int DeleteRowUnitOnCriteria(const char *tableName, DataObject *dataObject, const char *criteria) {
    LogTrace("@@@ Inside DeleteRowUnitOnCriteria @@@\n");
    bool failed = false;
    WalkOnCriteria(tableName, dataObject, criteria, false, &failed);
    return failed ? 0 : 1;
}

RowUnit *FindRowUnitOnCriteria(const char *tableName, DataObject *dataObject,
                               const char *criteria) {
    LogTrace("@@@ Inside FindRowUnitOnCriteria @@@\n");
    bool failed = false;
    return WalkOnCriteria(tableName, dataObject, criteria, true, &failed);
}

RowUnit *FindRowUnit(RowUnit *rowUnit, DataObject *dataObject) {
    LogTrace("@@@ Inside FindRowUnit @@@\n");
    if (rowUnit == nullptr || dataObject == nullptr) return nullptr;
    char *key = CollectionKeyString(rowUnit, dataObject);
    RowUnit *stored =
        key != nullptr ? static_cast<RowUnit *>(GetHashValue(dataObject->keyHash, key)) : nullptr;
    if (stored == nullptr) LogError("Row to be found is not present in DO. \n");
    return stored;
}

RowObject *GetRowObjectFromRowUnit(RowUnit *rowUnit, DataObject *dataObject) {
    LogTrace("@@@ Inside GetRowObjectFromRowUnit @@@\n");
    if (rowUnit == nullptr || dataObject == nullptr) return nullptr;
    RowCollection *collection = FindCollection(rowUnit->tableName, dataObject);
    if (collection == nullptr || collection->tableDefn == nullptr) return nullptr;
    apr_pool_t *pool = dataObject->pool;
    int columnCount = collection->tableDefn->columns->count;
    int held = CountCollectionColumns(collection);
    RowObject *row = static_cast<RowObject *>(apr_pcalloc(pool, sizeof(RowObject)));
    void **values = static_cast<void **>(apr_pcalloc(pool, sizeof(void *) * (columnCount + 1)));
    int *lengths = static_cast<int *>(apr_pcalloc(pool, sizeof(int) * (columnCount + 1)));
    if (row == nullptr || values == nullptr || lengths == nullptr) return nullptr;
    int i = 0;
    for (VectorNode *n = collection->tableDefn->columns->head; n != nullptr; n = n->next, ++i) {
        ColumnDefn *column = static_cast<ColumnDefn *>(n->element);
        int place = -1;
        for (int p = 0; p < held; ++p) {
            if (strcmp(collection->columnNames[p], column->name) == 0) {
                place = p;
                break;
            }
        }
        // The row shares the unit's and the definition's buffers: both outlive it, and the
        // row is never freed on its own.
        if (place >= 0 && rowUnit->values[place] != nullptr) {
            values[i] = rowUnit->values[place];
            lengths[i] = rowUnit->lengths[place];
        } else if (column->defaultValue != nullptr) {
            values[i] = column->defaultValue;
            lengths[i] = column->defaultLength;
        } else if (!column->nullable) {
            LogError(
                "Cannot save RowUnit. Column %s is not not nullable and does not have a default "
                "value\n",
                column->name);
            return nullptr;
        }
    }
    row->values = values;
    row->lengths = lengths;
    row->state = rowUnit->state;
    return row;
}

void FreeRowUnit(RowUnit *rowUnit) {
    LogTrace("@@@ Inside FreeRowUnit @@@\n");
    if (rowUnit == nullptr) return;
    if (rowUnit->values != nullptr) {
        for (int i = 0; i < rowUnit->columnCount; ++i) free(rowUnit->values[i]);
        free(rowUnit->values);
    }
    free(rowUnit->lengths);
    free(rowUnit->tableName);
    free(rowUnit);
}

int InsertRowIntoDO(DataObject *dataObject, const char *tableName, void **values, int *lengths) {
    LogTrace("@@@ Inside InsertRowIntoDO @@@\n");
    if (dataObject == nullptr) return 0;
    RowUnit *unit = CreateRowUnit(tableName, values, lengths, dataObject->pool);
    if (unit == nullptr) {
        LogError("Cannot create rowUnit.\n");
        return 0;
    }
    if (!InsertRowUnit(unit, dataObject)) {
        LogError("Cannot Insert RowUnit.\n");
        return 0;
    }
    return 1;
}

int InsertStringRowIntoDO(DataObject *dataObject, const char *tableName, char **texts) {
    LogTrace("@@@ Inside InsertStringRowIntoDO @@@\n");
    RowCollection *collection = GetRowCollection(tableName, dataObject);
    if (collection == nullptr || texts == nullptr) return 0;
    apr_pool_t *pool = dataObject->pool;
    int count = CountCollectionColumns(collection);
    void **values = static_cast<void **>(apr_pcalloc(pool, sizeof(void *) * (count + 1)));
    int *lengths = static_cast<int *>(apr_pcalloc(pool, sizeof(int) * (count + 1)));
    if (values == nullptr || lengths == nullptr) return 0;
    for (int i = 0; i < count; ++i) {
        int length = texts[i] != nullptr ? static_cast<int>(strlen(texts[i])) : 0;
        void *value = ConvertStringToColumnValue(texts[i], &length, collection->columnTypes[i]);
        if (value == nullptr) {
            lengths[i] = 4;
            continue;
        }
        values[i] = CopyValueIntoPool(value, length, collection->columnTypes[i], pool);
        free(value);
        if (values[i] == nullptr) return 0;
        lengths[i] = length;
    }
    RowUnit *unit = CreateRowUnit(tableName, values, lengths, pool);
    if (unit == nullptr) {
        LogError("Cannot create RowUnit.\n");
        return 0;
    }
    if (!InsertRowUnit(unit, dataObject)) {
        LogError("Cannot insert RowUnit.\n");
        return 0;
    }
    return 1;
}

}  // extern "C"
