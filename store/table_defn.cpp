// Table definitions, their constraints, the global definition list and its lookups; see
// column_defn.h for the contract.
#include <stdlib.h>

#include "logging/log.h"
#include "store/column_defn.h"
#include "util/strings.h"

namespace {

// Unsorted, so definitions stay in load order and lookups find the first one loaded.
Vector gv_tableDefnList = {nullptr, 0, nullptr, nullptr};

TableDefn *FindTableDefn(const char *tableName, VectorNode **nodeOut) {
    for (VectorNode *node = gv_tableDefnList.head; node != nullptr; node = node->next) {
        TableDefn *defn = static_cast<TableDefn *>(node->element);
        if (defn != nullptr && StrCompareNoCase(defn->name, tableName) == 0) {
            if (nodeOut != nullptr) *nodeOut = node;
            return defn;
        }
    }
    return nullptr;
}

// The lookups' shared search, with their shared error messages.
ColumnDefn *FindColumn(const char *tableName, const char *columnName) {
    if (tableName == nullptr || columnName == nullptr) {
        LogError("Cannot fetch default value;\n");
        return nullptr;
    }
    TableDefn *defn = FindTableDefn(tableName, nullptr);
    if (defn == nullptr) {
        LogError("No definition found for table %s\n", tableName);
        return nullptr;
    }
    if (defn->columns == nullptr) return nullptr;
    for (VectorNode *node = defn->columns->head; node != nullptr; node = node->next) {
        ColumnDefn *column = static_cast<ColumnDefn *>(node->element);
        if (column != nullptr && StrCompare(column->name, columnName) == 0) return column;
    }
    return nullptr;
}

const char *Shown(const char *text) {
    return text != nullptr ? text : "(null)";
}

}  // namespace

extern "C" {

void InitTableDefnList(void) {
    InitVector(&gv_tableDefnList, nullptr);
}

Vector *GetTableDefnList(void) {
    return &gv_tableDefnList;
}

TableDefn *CreateTableDefn(const char *name, const char *description, Vector *columns,
                           TableConstraints *constraints) {
    if (name == nullptr) return nullptr;
    TableDefn *defn = static_cast<TableDefn *>(calloc(1, sizeof(TableDefn)));
    if (defn == nullptr) return nullptr;
    if (AllocCopyString(&defn->name, name) != 1 ||
        (description != nullptr && AllocCopyString(&defn->description, description) != 1)) {
        free(defn->name);
        free(defn);
        return nullptr;
    }
    defn->columns = columns;
    defn->constraints = constraints;
    return defn;
}

int AddTableDefn(TableDefn *tableDefn) {
    if (tableDefn == nullptr) return 0;
    return AddElementData(&gv_tableDefnList, tableDefn) == 1 ? 1 : 0;
}

TableConstraints *CreateTableConstraints(void) {
    return static_cast<TableConstraints *>(calloc(1, sizeof(TableConstraints)));
}

int AddPrimaryKeyColumn(TableConstraints *constraints, const char *columnName) {
    if (constraints == nullptr || columnName == nullptr) return 0;
    char *copy = nullptr;
    if (AllocCopyString(&copy, columnName) != 1) return 0;
    char **grown = static_cast<char **>(realloc(
        constraints->primaryKeyColumns, sizeof(char *) * size_t(constraints->primaryKeyCount + 1)));
    if (grown == nullptr) {
        free(copy);
        return 0;
    }
    grown[constraints->primaryKeyCount++] = copy;
    constraints->primaryKeyColumns = grown;
    return 1;
}

ForeignKeyDefn *CreateForeignKeyDefn(const char *localColumn, const char *referenceColumn,
                                     const char *referenceTable, unsigned char onDeleteCascade,
                                     unsigned char isBidirectional) {
    ForeignKeyDefn *key = static_cast<ForeignKeyDefn *>(calloc(1, sizeof(ForeignKeyDefn)));
    if (key == nullptr) return nullptr;
    if (AllocCopyString(&key->localColumn, localColumn) != 1 ||
        AllocCopyString(&key->referenceColumn, referenceColumn) != 1 ||
        AllocCopyString(&key->referenceTable, referenceTable) != 1) {
        FreeForeignKeyDefn(key);
        return nullptr;
    }
    key->onDeleteCascade = onDeleteCascade;
    key->isBidirectional = isBidirectional;
    return key;
}

int AddForeignKeyDefn(TableConstraints *constraints, ForeignKeyDefn *foreignKeyDefn) {
    if (constraints == nullptr || foreignKeyDefn == nullptr) return 0;
    bool created = false;
    if (constraints->foreignKeys == nullptr) {
        constraints->foreignKeys = NewVector();
        if (constraints->foreignKeys == nullptr) return 0;
        created = true;
    }
    if (AddElementData(constraints->foreignKeys, foreignKeyDefn) == 1) return 1;
    if (created) {
        free(constraints->foreignKeys);
        constraints->foreignKeys = nullptr;
    }
    return 0;
}

void FreeForeignKeyDefn(ForeignKeyDefn *key) {
    if (key == nullptr) return;
    free(key->localColumn);
    free(key->referenceColumn);
    free(key->referenceTable);
    free(key);
}

void FreeTableConstraints(TableConstraints *constraints) {
    if (constraints == nullptr) return;
    for (int i = 0; i < constraints->primaryKeyCount; ++i) free(constraints->primaryKeyColumns[i]);
    free(constraints->primaryKeyColumns);
    if (constraints->foreignKeys != nullptr) {
        for (VectorNode *node = constraints->foreignKeys->head; node != nullptr;
             node = node->next) {
            FreeForeignKeyDefn(static_cast<ForeignKeyDefn *>(node->element));
        }
        FreeVector(constraints->foreignKeys);
        free(constraints->foreignKeys);
    }
    free(constraints);
}

TableDefn *GetTableDefn(const char *tableName) {
    if (tableName == nullptr) {
        LogError("Table Name is NULL.\n");
        return nullptr;
    }
    return FindTableDefn(tableName, nullptr);
}

ColumnDefn *GetColumnDefnEntry(const char *tableName, const char *columnName) {
    LogTrace("@@@ Inside GetColumnDefnEntry @@@\n");
    return FindColumn(tableName, columnName);
}

unsigned char GetColumnDataType(const char *tableName, const char *columnName) {
    ColumnDefn *column = GetColumnDefnEntry(tableName, columnName);
    return column != nullptr ? column->dataType
                             : static_cast<unsigned char>(VEL_SQL_NOT_SUPPORTED_TYPE);
}

void *GetDefaultValue(const char *tableName, const char *columnName, int *found) {
    LogTrace("@@@ Inside GetDefaultValue @@@\n");
    ColumnDefn *column = FindColumn(tableName, columnName);
    if (column == nullptr) return nullptr;
    if (found != nullptr) *found = 1;
    return column->defaultValue;
}

ForeignKeyDefn *GetForeignKeyDefn(const TableDefn *tableDefn, const char *localColumnName) {
    if (tableDefn == nullptr) return nullptr;
    if (tableDefn->constraints == nullptr) {
        LogError("No constraint Definition \n");
        return nullptr;
    }
    const Vector *keys = tableDefn->constraints->foreignKeys;
    if (keys == nullptr || keys->head == nullptr) {
        LogError("No Foreignkey Entries in Definition \n");
        return nullptr;
    }
    if (localColumnName == nullptr) return nullptr;
    for (VectorNode *node = keys->head; node != nullptr; node = node->next) {
        ForeignKeyDefn *key = static_cast<ForeignKeyDefn *>(node->element);
        if (key != nullptr && StrCompareNoCase(key->localColumn, localColumnName) == 0) return key;
    }
    return nullptr;
}

void FreeTableDefnRecord(TableDefn *defn) {
    if (defn == nullptr) return;
    if (defn->columns != nullptr) {
        for (VectorNode *node = defn->columns->head; node != nullptr; node = node->next) {
            FreeColumnDefn(static_cast<ColumnDefn *>(node->element));
        }
        FreeVector(defn->columns);
        free(defn->columns);
    }
    FreeTableConstraints(defn->constraints);
    free(defn->name);
    free(defn->description);
    free(defn);
}

int FreeTableDefn(const char *tableName) {
    if (tableName == nullptr) return 0;
    VectorNode *node = nullptr;
    TableDefn *defn = FindTableDefn(tableName, &node);
    if (defn == nullptr) return 0;
    DeleteElement(&gv_tableDefnList, node);
    FreeTableDefnRecord(defn);
    return 1;
}

void FreeAllTableDefns(void) {
    for (VectorNode *node = gv_tableDefnList.head; node != nullptr; node = node->next) {
        FreeTableDefnRecord(static_cast<TableDefn *>(node->element));
    }
    FreeVector(&gv_tableDefnList);
}

void PrintTableDefn(const TableDefn *defn) {
    if (defn == nullptr || defn->columns == nullptr || defn->columns->head == nullptr) return;
    LogDebug("Table Name : %s\n", Shown(defn->name));
    LogDebug("Description: %s\n", Shown(defn->description));
    LogDebug("---------------------------------------\n\n");
    for (VectorNode *node = defn->columns->head; node != nullptr; node = node->next) {
        const ColumnDefn *column = static_cast<const ColumnDefn *>(node->element);
        if (column == nullptr) continue;
        LogDebug("Column Name : %s\n", Shown(column->name));
        LogDebug("Column Type : %d\n", column->dataType);
        LogDebug("Unique Flag : %s\n", column->unique ? "TRUE" : "FALSE");
        LogDebug("Description : %s\n", Shown(column->description));
        LogDebug("---------------------------------------\n\n");
    }
    const TableConstraints *constraints = defn->constraints;
    if (constraints == nullptr) return;
    for (int i = 0; i < constraints->primaryKeyCount; ++i) {
        LogDebug("Primary key : %s\n\n", Shown(constraints->primaryKeyColumns[i]));
    }
    if (constraints->foreignKeys == nullptr || constraints->foreignKeys->head == nullptr) return;
    LogDebug("Foreign key Constraints\n");
    LogDebug("********************************\n");
    for (VectorNode *node = constraints->foreignKeys->head; node != nullptr; node = node->next) {
        const ForeignKeyDefn *key = static_cast<const ForeignKeyDefn *>(node->element);
        if (key == nullptr) continue;
        LogDebug("Column Name : %s\n", Shown(key->localColumn));
        LogDebug("Ref Column  : %s\n", Shown(key->referenceColumn));
        LogDebug("Tablename : %s\n", Shown(key->referenceTable));
    }
    LogDebug("********************************\n");
}

void PrintAllTableDefns(void) {
    for (VectorNode *node = gv_tableDefnList.head; node != nullptr; node = node->next) {
        PrintTableDefn(static_cast<const TableDefn *>(node->element));
    }
}

}  // extern "C"
