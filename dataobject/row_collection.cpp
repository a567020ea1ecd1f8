#include "dataobject/row_collection.h"

#include <apr_pools.h>
#include <apr_strings.h>
#include <string.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "dataobject/key_string.h"
#include "logging/log.h"
#include "store/row_object.h"

namespace {

bool EndOfNames(const char *name) {
    return name == nullptr || name[0] == '\0';
}

RowCollection *FindCollection(const char *tableName, DataObject *dataObject) {
    for (RowCollection *c = dataObject->firstCollection; c != nullptr; c = c->next) {
        if (strcmp(c->tableName, tableName) == 0) return c;
    }
    return nullptr;
}

int ColumnPosition(const RowCollection *collection, const char *columnName) {
    if (columnName == nullptr) return -1;
    for (int i = 0; !EndOfNames(collection->columnNames[i]); ++i) {
        if (strcmp(collection->columnNames[i], columnName) == 0) return i;
    }
    return -1;
}

// The table's collection and the column's place in it, logging "Invalid Column Entered.\n"
// for a column the collection lacks.
RowCollection *CollectionAndColumn(const char *columnName, const char *tableName,
                                   DataObject *dataObject, int *position) {
    RowCollection *collection = GetRowCollection(tableName, dataObject);
    if (collection == nullptr) return nullptr;
    *position = ColumnPosition(collection, columnName);
    if (*position < 0) {
        LogError("Invalid Column Entered.\n");
        return nullptr;
    }
    return collection;
}

int SetValue(RowUnit *unit, int position, const RowCollection *collection, const void *value,
             int length, apr_pool_t *pool) {
    void *copy = nullptr;
    if (value != nullptr) {
        copy = CopyValueIntoPool(value, length, collection->columnTypes[position], pool);
        if (copy == nullptr) {
            LogError("Memcpy Failed.\n");
            return 0;
        }
    }
    unit->values[position] = copy;
    unit->lengths[position] = length;
    unit->state |= ROW_STATE_MODIFIED;
    return 1;
}

bool IsKeyColumn(const RowCollection *collection, int position) {
    const TableDefn *defn = collection->tableDefn;
    if (defn == nullptr || defn->constraints == nullptr) return false;
    for (int k = 0; k < defn->constraints->primaryKeyCount; ++k) {
        if (strcmp(defn->constraints->primaryKeyColumns[k], collection->columnNames[position]) == 0)
            return true;
    }
    return false;
}

// The unit's key string by the collection's layout; with a value given, as if the unit held
// it at position.
std::string UnitKey(RowUnit *unit, const RowCollection *collection, DataObject *dataObject,
                    int position = -1, const void *value = nullptr, int length = 0) {
    Vector names;
    InitVector(&names, nullptr);
    for (int i = 0; i < CountCollectionColumns(collection); ++i) {
        if (!AppendPoolElement(&names, collection->columnNames[i], dataObject->pool)) return {};
    }
    void *heldValue = position >= 0 ? unit->values[position] : nullptr;
    int heldLength = position >= 0 ? unit->lengths[position] : 0;
    if (position >= 0) {
        unit->values[position] = const_cast<void *>(value);
        unit->lengths[position] = length;
    }
    char *key = GenerateKeyString(unit, nullptr, &names, dataObject->pool);
    if (position >= 0) {
        unit->values[position] = heldValue;
        unit->lengths[position] = heldLength;
    }
    return key != nullptr ? key : "";
}

// The units filed again under their new keys, or nothing changed (see SetValues).
int SetKeyValues(const std::vector<RowUnit *> &units, int position, RowCollection *collection,
                 const void *value, int length, DataObject *dataObject) {
    std::vector<std::string> oldKeys, newKeys;
    std::set<std::string> taken;
    for (RowUnit *unit : units) {
        oldKeys.push_back(UnitKey(unit, collection, dataObject));
        newKeys.push_back(UnitKey(unit, collection, dataObject, position, value, length));
        if (oldKeys.back().empty() || newKeys.back().empty()) return 0;
        RowUnit *holder =
            static_cast<RowUnit *>(GetHashValue(dataObject->keyHash, newKeys.back().c_str()));
        bool ours =
            holder == nullptr || std::find(units.begin(), units.end(), holder) != units.end();
        if (!ours || !taken.insert(newKeys.back()).second) {
            LogError("Row with keyStr %s already exists.\n", newKeys.back().c_str());
            return 0;
        }
    }
    for (RowUnit *unit : units) {
        if (!SetValue(unit, position, collection, value, length, dataObject->pool)) return 0;
    }
    for (size_t i = 0; i < units.size(); ++i) {
        if (GetHashValue(dataObject->keyHash, oldKeys[i].c_str()) == units[i])
            RemoveHashEntry(dataObject->keyHash, oldKeys[i].c_str());
    }
    for (size_t i = 0; i < units.size(); ++i) {
        if (!PutHashEntry(dataObject->keyHash, newKeys[i].c_str(), units[i])) return 0;
    }
    return 1;
}

// Sets the value in each of units. On a key column the units are filed again under their
// new keys; a new key that another unit holds, or that two of the units would share, refuses
// the whole change ("Row with keyStr %s already exists.\n") and nothing is set.
int SetValues(const std::vector<RowUnit *> &units, int position, RowCollection *collection,
              const void *value, int length, DataObject *dataObject) {
    if (!IsKeyColumn(collection, position)) {
        for (RowUnit *unit : units) {
            if (!SetValue(unit, position, collection, value, length, dataObject->pool)) return 0;
        }
        return 1;
    }
    try {
        return SetKeyValues(units, position, collection, value, length, dataObject);
    } catch (const std::bad_alloc &) {
        LogError("Memcpy Failed.\n");
        return 0;
    }
}

// The collection of tableName and the position of columnName in it, or null after logging
// what is missing; nameInMessage: the unknown column is named in the message.
RowCollection *FindColumn(const char *columnName, const char *tableName, DataObject *dataObject,
                          int *position, bool nameInMessage) {
    RowCollection *collection = dataObject != nullptr && tableName != nullptr
                                    ? FindCollection(tableName, dataObject)
                                    : nullptr;
    if (collection == nullptr) {
        LogError(" Table %s is not present in DO\n", tableName != nullptr ? tableName : "");
        return nullptr;
    }
    *position = ColumnPosition(collection, columnName);
    if (*position < 0) {
        if (nameInMessage) {
            LogError("Passed column %s is not present in DO.\n",
                     columnName != nullptr ? columnName : "");
        } else {
            LogError("Passed column is not present in DO.\n");
        }
        return nullptr;
    }
    return collection;
}

}  // namespace

extern "C" {

int CountCollectionColumns(const RowCollection *rowCollection) {
    int count = 0;
    while (rowCollection != nullptr && !EndOfNames(rowCollection->columnNames[count])) ++count;
    return count;
}

RowCollection *CreateRowCollection(const char *tableName, char **columnNames,
                                   unsigned char *columnTypes, apr_pool_t *pool) {
    LogTrace("@@@ Inside CreateRowCollection @@@\n");
    if (tableName == nullptr || columnNames == nullptr || pool == nullptr) return nullptr;
    Vector names;
    InitVector(&names, nullptr);
    for (int i = 0; !EndOfNames(columnNames[i]); ++i) {
        if (!AppendPoolElement(&names, columnNames[i], pool)) return nullptr;
    }
    if (!CheckSelectedColumnsForPK(tableName, nullptr, &names, pool)) {
        LogError("All Primary key columns were not selected.\n");
        return nullptr;
    }
    RowCollection *collection =
        static_cast<RowCollection *>(apr_pcalloc(pool, sizeof(RowCollection)));
    if (collection == nullptr) return nullptr;
    collection->tableName = apr_pstrdup(pool, tableName);
    collection->tableDefn = GetTableDefn(tableName);
    collection->columnNames = columnNames;
    collection->columnTypes = columnTypes;
    return collection;
}

int AddRowCollectionToDO(DataObject *dataObject, RowCollection *rowCollection) {
    LogTrace("@@@ Inside AddRowCollectionToDO @@@\n");
    if (rowCollection == nullptr) {
        LogError("Cannot add Row Collection to DO.  Row Collection is NULL.\n");
        return 0;
    }
    if (dataObject == nullptr) return 0;
    if (!AppendPoolElement(dataObject->tableList, rowCollection->tableName, dataObject->pool)) {
        return 0;
    }
    ++dataObject->tableCount;
    RowCollection **link = &dataObject->firstCollection;
    while (*link != nullptr) link = &(*link)->next;
    *link = rowCollection;
    return 1;
}

int AddTableToDO(DataObject *dataObject, const char *tableName, char **columnNames) {
    LogTrace("@@@ Inside AddTableToDO @@@\n");
    if (dataObject == nullptr) {
        LogError("DO is NULL.\n");
        return 0;
    }
    TableDefn *defn = tableName != nullptr ? GetTableDefn(tableName) : nullptr;
    if (defn == nullptr) {
        LogError("Table Definition not found for %s.\n", tableName != nullptr ? tableName : "");
        return 0;
    }
    apr_pool_t *pool = dataObject->pool;
    int count = 0;
    if (columnNames != nullptr) {
        while (!EndOfNames(columnNames[count])) ++count;
    } else {
        count = defn->columns->count;
        columnNames = static_cast<char **>(apr_palloc(pool, sizeof(char *) * (count + 1)));
        if (columnNames == nullptr) return 0;
        int i = 0;
        for (VectorNode *n = defn->columns->head; n != nullptr; n = n->next) {
            columnNames[i++] = apr_pstrdup(pool, static_cast<ColumnDefn *>(n->element)->name);
        }
        columnNames[count] = apr_pstrdup(pool, "");
    }
    unsigned char *types = static_cast<unsigned char *>(apr_pcalloc(pool, count + 1));
    if (types == nullptr) return 0;
    for (int i = 0; i < count; ++i) {
        ColumnDefn *column = GetColumnDefnEntry(defn->name, columnNames[i]);
        types[i] = column != nullptr ? column->dataType : 0;
    }
    if (!AddRowCollectionToDO(dataObject,
                              CreateRowCollection(tableName, columnNames, types, pool))) {
        LogError("ADD ROW COLLECTION FAILED\n");
        return 0;
    }
    return 1;
}

RowCollection *GetRowCollection(const char *tableName, DataObject *dataObject) {
    LogTrace("@@@ Inside GetRowCollection @@@\n");
    if (dataObject == nullptr || !ContainsTableInDO(tableName, dataObject)) {
        LogError("Table %s is not present in DO.\n", tableName != nullptr ? tableName : "");
        return nullptr;
    }
    RowCollection *collection = FindCollection(tableName, dataObject);
    if (collection != nullptr) dataObject->currentCollection = collection;
    return collection;
}

Vector *GetColumnListFromDO(const char *tableName, DataObject *dataObject) {
    LogTrace("@@@ Inside GetColumnListFromDO @@@\n");
    RowCollection *collection = GetRowCollection(tableName, dataObject);
    if (collection == nullptr) {
        LogError("rowCollectionPtr is NULL.\n");
        return nullptr;
    }
    Vector *list = static_cast<Vector *>(apr_palloc(dataObject->pool, sizeof(Vector)));
    if (list == nullptr) return nullptr;
    InitVector(list, nullptr);
    for (int i = 0; !EndOfNames(collection->columnNames[i]); ++i) {
        if (!AppendPoolElement(list, collection->columnNames[i], dataObject->pool)) return nullptr;
    }
    return list;
}

RowUnit *GetFirstRowUnit(const char *tableName, DataObject *dataObject) {
    LogTrace("@@@ Inside GetFirstRowUnit @@@\n");
    RowCollection *collection = GetRowCollection(tableName, dataObject);
    return collection != nullptr ? collection->firstRowUnit : nullptr;
}

RowUnit *GetLastRowUnit(const char *tableName, DataObject *dataObject) {
    LogTrace("@@@ Inside GetLastRowUnit @@@\n");
    if (dataObject == nullptr || !ContainsTableInDO(tableName, dataObject)) {
        LogError("Table %s not present in DO\n", tableName != nullptr ? tableName : "");
        return nullptr;
    }
    RowCollection *collection = GetRowCollection(tableName, dataObject);
    if (collection == nullptr) return nullptr;
    RowUnit *unit = collection->firstRowUnit;
    while (unit != nullptr && unit->next != nullptr) unit = unit->next;
    collection->currentRowUnit = unit;
    return unit;
}

RowUnit *GetNthRowUnit(int n, const char *tableName, DataObject *dataObject) {
    LogTrace("@@@ Inside GetNthRowUnit @@@\n");
    RowUnit *unit = GetFirstRowUnit(tableName, dataObject);
    for (int i = 1; unit != nullptr && i < n; ++i) {
        unit = unit->next;
        if (unit == nullptr) LogError("Cannot get %d row. \n", n);
    }
    return unit;
}

RowUnit *GotoNextRowUnit(RowCollection *rowCollection) {
    LogTrace("@@@ Inside GotoNextRowUnit @@@\n");
    if (rowCollection == nullptr) {
        LogError("RowCollectionPtr is NULL.\n");
        return nullptr;
    }
    if (rowCollection->currentRowUnit == nullptr) {
        rowCollection->currentRowUnit = rowCollection->firstRowUnit;
        if (rowCollection->currentRowUnit == nullptr) {
            LogError("No RowUnits present in RowCollection.\n");
        }
        return rowCollection->currentRowUnit;
    }
    rowCollection->currentRowUnit = rowCollection->currentRowUnit->next;
    if (rowCollection->currentRowUnit == nullptr) LogDebug("Reached end of rowUnits.\n");
    return rowCollection->currentRowUnit;
}

void *GetFirstValue(const char *columnName, const char *tableName, DataObject *dataObject) {
    LogTrace("@@@ Inside GetFirstValue @@@\n");
    int position = 0;
    RowCollection *collection = CollectionAndColumn(columnName, tableName, dataObject, &position);
    if (collection == nullptr || collection->firstRowUnit == nullptr) return nullptr;
    return collection->firstRowUnit->values[position];
}

void **GetColumnValuesFromDO(const char *columnName, const char *tableName,
                             DataObject *dataObject) {
    LogTrace("@@@ Inside GetColumnValuesFromDO @@@\n");
    int position = 0;
    RowCollection *collection = CollectionAndColumn(columnName, tableName, dataObject, &position);
    if (collection == nullptr) return nullptr;
    int count = 0;
    for (RowUnit *u = collection->firstRowUnit; u != nullptr; u = u->next) ++count;
    void **values =
        static_cast<void **>(apr_pcalloc(dataObject->pool, sizeof(void *) * (count + 1)));
    if (values == nullptr) return nullptr;
    int i = 0;
    for (RowUnit *u = collection->firstRowUnit; u != nullptr; u = u->next, ++i) {
        if (u->values[position] == nullptr) continue;
        values[i] = CopyValueIntoPool(u->values[position], u->lengths[position],
                                      collection->columnTypes[position], dataObject->pool);
        if (values[i] == nullptr) return nullptr;
    }
    return values;
}

void *GetColumnValueFromDO(DataObject *dataObject, const char *tableName, const char *columnName,
                           int n) {
    LogTrace("@@@ Inside GetColumnValueFromDO @@@\n");
    int position = 0;
    RowCollection *collection = CollectionAndColumn(columnName, tableName, dataObject, &position);
    if (collection == nullptr || n < 1) return nullptr;
    RowUnit *unit = collection->firstRowUnit;
    for (int i = 1; unit != nullptr && i < n; ++i) unit = unit->next;
    if (unit == nullptr) return nullptr;
    return CopyValueIntoPool(unit->values[position], unit->lengths[position],
                             collection->columnTypes[position], dataObject->pool);
}

int SetValueForRowUnit(const char *columnName, const char *tableName, const void *value, int length,
                       DataObject *dataObject) {
    LogTrace("@@@ Inside SetValueForRowUnit @@@\n");
    int position = -1;
    RowCollection *collection = FindColumn(columnName, tableName, dataObject, &position, true);
    if (collection == nullptr) return 0;
    RowUnit *last = collection->firstRowUnit;
    while (last != nullptr && last->next != nullptr) last = last->next;
    if (last == nullptr) return 0;
    return SetValues({last}, position, collection, value, length, dataObject);
}

int SetValueForAllRowUnits(const char *columnName, const char *tableName, const void *value,
                           int length, DataObject *dataObject) {
    LogTrace("@@@ Inside SetValueForAllRowUnits @@@\n");
    int position = -1;
    RowCollection *collection = FindColumn(columnName, tableName, dataObject, &position, false);
    if (collection == nullptr) return 0;
    std::vector<RowUnit *> units;
    for (RowUnit *u = collection->firstRowUnit; u != nullptr; u = u->next) units.push_back(u);
    return SetValues(units, position, collection, value, length, dataObject);
}

}  // extern "C"
