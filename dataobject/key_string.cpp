#include "dataobject/key_string.h"

#include <apr_pools.h>
#include <apr_strings.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "logging/log.h"

namespace {

int DefnPosition(const TableDefn *defn, const char *name) {
    int position = 0;
    for (VectorNode *n = defn->columns->head; n != nullptr; n = n->next, ++position) {
        if (strcmp(static_cast<ColumnDefn *>(n->element)->name, name) == 0) return position;
    }
    return -1;
}

ColumnDefn *DefnColumnAt(const TableDefn *defn, int position) {
    VectorNode *n = defn->columns->head;
    for (int i = 0; n != nullptr && i < position; ++i) n = n->next;
    return n != nullptr ? static_cast<ColumnDefn *>(n->element) : nullptr;
}

}  // namespace

extern "C" {

int *GetColumnIndex(Vector *names, const char *tableName, int *count, apr_pool_t *pool) {
    *count = 0;
    TableDefn *defn = GetTableDefn(tableName);
    if (defn == nullptr) {
        LogError("No Table Definition found for table %s.\n",
                 tableName != nullptr ? tableName : "");
        return nullptr;
    }
    int total = names != nullptr ? names->count : 0;
    int *positions = static_cast<int *>(apr_palloc(pool, sizeof(int) * (total + 1)));
    if (positions == nullptr) return nullptr;
    for (VectorNode *n = names != nullptr ? names->head : nullptr; n != nullptr; n = n->next) {
        if (n->element == nullptr) continue;
        int position = DefnPosition(defn, static_cast<const char *>(n->element));
        if (position >= 0) positions[(*count)++] = position;
    }
    return positions;
}

Vector *GetColumnListFromSelectQuery(SelectQuery *selectQuery, const char *tableName,
                                     apr_pool_t *pool) {
    if (selectQuery == nullptr) {
        LogError("SelectQueryPtr is NULL.\n");
        return nullptr;
    }
    Vector *list = static_cast<Vector *>(apr_palloc(pool, sizeof(Vector)));
    if (list == nullptr) return nullptr;
    InitVector(list, nullptr);
    if (selectQuery->columns.count == 0) {
        TableDefn *defn = GetTableDefn(tableName);
        if (defn == nullptr) {
            LogError("No definition for table %s.\n", tableName != nullptr ? tableName : "");
            return nullptr;
        }
        for (VectorNode *n = defn->columns->head; n != nullptr; n = n->next) {
            if (!AppendPoolElement(list, static_cast<ColumnDefn *>(n->element)->name, pool)) {
                LogError("AddElement Failed.\n");
                return nullptr;
            }
        }
        return list;
    }
    for (VectorNode *n = selectQuery->columns.head; n != nullptr; n = n->next) {
        SelectColumn *column = static_cast<SelectColumn *>(n->element);
        if (column->tableName == nullptr || column->columnName == nullptr || tableName == nullptr ||
            strcmp(column->tableName, tableName) != 0) {
            continue;
        }
        if (!AppendPoolElement(list, column->columnName, pool)) {
            LogError("AddElement Failed.\n");
            return nullptr;
        }
    }
    return list;
}

int CheckSelectedColumnsForPK(const char *tableName, SelectQuery *selectQuery, Vector *columns,
                              apr_pool_t *pool) {
    TableDefn *defn = GetTableDefn(tableName);
    if (defn == nullptr) {
        LogError("No Table Definition found for table %s.\n",
                 tableName != nullptr ? tableName : "");
        return 0;
    }
    if (defn->constraints == nullptr) {
        LogError("No Primary Keys mentioned for table %s. \n", tableName);
        return 0;
    }
    if (columns == nullptr) columns = GetColumnListFromSelectQuery(selectQuery, tableName, pool);
    if (columns == nullptr) return 0;
    int count = 0;
    int *positions = GetColumnIndex(columns, tableName, &count, pool);
    if (positions == nullptr) return 0;
    int keyCount = defn->constraints->primaryKeyCount;
    int found = 0;
    for (int k = 0; k < keyCount; ++k) {
        int key = DefnPosition(defn, defn->constraints->primaryKeyColumns[k]);
        for (int i = 0; i < count; ++i) {
            if (positions[i] == key) {
                ++found;
                break;
            }
        }
    }
    if (found >= keyCount) return 1;
    LogError("\nALL PRIMARY KEY COLUMNS SHOULD BE SELECTED FOR %s\n", tableName);
    return 0;
}

char *GenerateKeyString(const RowUnit *rowUnit, SelectQuery *selectQuery, Vector *columns,
                        apr_pool_t *pool) {
    LogTrace("@@@ Inside GenerateKeyString @@@\n");
    if (selectQuery == nullptr && columns == nullptr) {
        LogError("Cannot construct keystring.  Both selectQueryPtr and columnList are NULL");
        return nullptr;
    }
    if (rowUnit == nullptr || pool == nullptr) return nullptr;
    TableDefn *defn = GetTableDefn(rowUnit->tableName);
    if (defn == nullptr) {
        LogError("No Table Definition found for table %s.\n", rowUnit->tableName);
        return nullptr;
    }
    if (defn->constraints == nullptr) {
        LogError("No Primary Keys mentioned for table %s. \n", rowUnit->tableName);
        return nullptr;
    }
    if (columns == nullptr)
        columns = GetColumnListFromSelectQuery(selectQuery, rowUnit->tableName, pool);
    if (columns == nullptr) return nullptr;
    // Positions per listed name, keeping the unit's own value order (a name the definition
    // lacks still holds a value slot).
    std::string key = rowUnit->tableName;
    for (int k = 0; k < defn->constraints->primaryKeyCount; ++k) {
        const char *keyName = defn->constraints->primaryKeyColumns[k];
        int place = 0;
        VectorNode *n = columns->head;
        for (; n != nullptr; n = n->next, ++place) {
            if (n->element != nullptr && strcmp(static_cast<char *>(n->element), keyName) == 0)
                break;
        }
        if (n == nullptr) continue;
        const void *value = rowUnit->values != nullptr ? rowUnit->values[place] : nullptr;
        if (value == nullptr) {
            key += "[-]";
            continue;
        }
        ColumnDefn *column = DefnColumnAt(defn, DefnPosition(defn, keyName));
        char *text = ConvertColumnValueToString(value, rowUnit->lengths[place],
                                                column != nullptr ? column->dataType : 0);
        if (text == nullptr) return nullptr;
        key += "[" + std::to_string(strlen(text)) + ":" + text + "]";
        free(text);
    }
    char *copy = apr_pstrdup(pool, key.c_str());
    if (copy != nullptr) LogTrace("KeyStr %s\n", copy);
    return copy;
}

int CheckForPKEntry(const char *keyString, RowUnit *rowUnit, DataObject *dataObject) {
    if (keyString == nullptr || dataObject == nullptr) return 0;
    if (ContainsHashKey(dataObject->keyHash, keyString)) {
        LogDebug("HashKey %s Not Inserted\n", keyString);
        return 0;
    }
    if (PutHashEntry(dataObject->keyHash, keyString, rowUnit)) {
        LogTrace("HashKey Inserted\n");
        return 1;
    }
    LogDebug("HashKey %s Not Inserted\n", keyString);
    return 0;
}

}  // extern "C"
