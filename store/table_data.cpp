// In-memory tables and their rows; see table_data.h for the contract.
#include "store/table_data.h"

#include <stdlib.h>

#include "logging/log.h"
#include "store/change_notify.h"
#include "store/criteria.h"
#include "store/result_data.h"
#include "store/sequence_generator.h"
#include "util/lock.h"
#include "util/strings.h"

namespace {

// Unsorted: tables stay in creation order and a lookup finds the first one created.
Vector gv_tableDataVect = {nullptr, 0, nullptr, nullptr};

TableData *Table(const VectorNode *node) {
    return static_cast<TableData *>(node->element);
}

// The columns a criteria binds to and a row is checked against; null for a view.
Vector *DefinedColumns(const TableData *table) {
    if (table->kind != TABLE_DATA_TABLE || table->tableDefn == nullptr) return nullptr;
    Vector *columns = table->tableDefn->columns;
    return columns != nullptr && columns->head != nullptr ? columns : nullptr;
}

void Append(TableData *table, RowObject *row) {
    row->next = nullptr;
    if (table->firstRow == nullptr) {
        table->firstRow = row;
    } else {
        RowObject *last = table->lastRow != nullptr ? table->lastRow : table->firstRow;
        while (last->next != nullptr) last = last->next;  // only after outside relinking
        last->next = row;
    }
    table->lastRow = row;
    ++table->rowCount;
}

// Deletes one row whose predecessor in the list is known (null for the first row): a stored
// row is only marked, any other is unlinked, announced and freed. Returns whether the row
// left the list.
bool DeleteListedRow(TableData *table, RowObject *previous, RowObject *row) {
    if (row->state & ROW_STATE_STORED) {
        row->state |= ROW_STATE_DELETED;
        return false;
    }
    if (previous == nullptr) {
        table->firstRow = row->next;
    } else {
        previous->next = row->next;
    }
    if (table->lastRow == row) table->lastRow = previous;
    row->next = nullptr;
    --table->rowCount;
    SendNotification(row, table->name);
    FreeRowObject(row, table->columnCount);
    return true;
}

// Runs DeleteListedRow for every row the plan accepts (every row for a null plan), taking
// the next row before the current one goes.
void DeleteMatching(TableData *table, const CriteriaPlan *plan) {
    RowObject *previous = nullptr;
    for (RowObject *row = table->firstRow; row != nullptr;) {
        RowObject *next = row->next;
        if ((plan == nullptr || EvaluateCriteriaPlan(row, plan)) &&
            DeleteListedRow(table, previous, row)) {
            row = next;
            continue;
        }
        previous = row;
        row = next;
    }
}

// Parses and binds criteria for a table under the criteria lock (which the caller holds).
// Null, with the tree freed, for a parse failure or a table without columns.
CriteriaNode *ParseFor(const TableData *table, const char *criteria) {
    CriteriaNode *tree = ParseCriteria(criteria);
    if (tree == nullptr) return nullptr;
    Vector *columns = DefinedColumns(table);
    if (columns == nullptr) {
        FreeCriteriaTree(tree);
        return nullptr;
    }
    ResolveCriteriaColumns(columns, tree);
    return tree;
}

// Fills the row's still-null generated columns and defaults; false when memory runs out.
bool ApplyGeneratorsAndDefaults(const TableData *table, RowObject *row) {
    int i = 0;
    for (const VectorNode *node = table->tableDefn->columns->head;
         node != nullptr && i < table->columnCount; node = node->next, ++i) {
        const ColumnDefn *column = static_cast<const ColumnDefn *>(node->element);
        if (column == nullptr || row->values[i] != nullptr) continue;
        if (column->generatorName != nullptr) {
            int generated = GenerateID(table->name, column);
            int *value = static_cast<int *>(malloc(sizeof(int)));
            if (value == nullptr) return false;
            *value = generated;
            row->values[i] = value;
            row->lengths[i] = int(sizeof(int));
        }
        if (row->values[i] == nullptr && column->defaultValue != nullptr) {
            row->values[i] =
                CopyColumnValue(column->defaultValue, column->defaultLength, column->dataType);
            if (row->values[i] == nullptr) return false;
            row->lengths[i] = column->defaultLength;
        }
    }
    return true;
}

}  // namespace

extern "C" {

void InitTableDataList(void) {
    LogTrace("@@@ Inside InitTableDataList @@@\n");
    InitVector(&gv_tableDataVect, nullptr);
}

Vector *GetTableDataList(void) {
    return &gv_tableDataVect;
}

int CreateTable(const char *tableName) {
    LogTrace("@@@ Inside CreateTable @@@\n");
    if (tableName == nullptr) return 0;
    TableDefn *defn = GetTableDefn(tableName);
    if (defn == nullptr || GetTableDataByName(tableName) != nullptr) return 0;
    TableData *table = static_cast<TableData *>(calloc(1, sizeof(TableData)));
    if (table == nullptr) return 0;
    if (AllocCopyString(&table->name, defn->name) != 1) {
        free(table);
        return 0;
    }
    table->kind = TABLE_DATA_TABLE;
    table->tableDefn = defn;
    table->columnCount = defn->columns != nullptr ? defn->columns->count : 0;
    if (AddElementData(&gv_tableDataVect, table) != 1) {
        free(table->name);
        free(table);
        return 0;
    }
    return 1;
}

TableData *GetTableDataByName(const char *name) {
    LogTrace("@@@ Inside GetTableDataByName @@@\n");
    if (name == nullptr) return nullptr;
    for (VectorNode *node = gv_tableDataVect.head; node != nullptr; node = node->next) {
        TableData *table = Table(node);
        if (table != nullptr && StrCompareNoCase(table->name, name) == 0) return table;
    }
    return nullptr;
}

signed char SortTableByName(const VectorNode *a, const VectorNode *b) {
    return StrCompare(Table(a)->name, Table(b)->name);
}

int AddNewRow(const char *tableName, RowObject *row) {
    LogTrace("@@@ Inside AddNewRow @@@\n");
    TableData *table = GetTableDataByName(tableName);
    if (table == nullptr || row == nullptr || row->values == nullptr || row->lengths == nullptr) {
        return 0;
    }
    if (table->kind == TABLE_DATA_TABLE) {
        // A view's rows come from the database as they are: nothing to generate or default.
        if (DefinedColumns(table) == nullptr) return 0;
        // A row loaded from the database holds what is stored: a NULL there is a value, and
        // filling it with a default or a new id would be written back by the next save.
        if (!(row->state & ROW_STATE_STORED) && !ApplyGeneratorsAndDefaults(table, row)) return 0;
    } else if (table->columnCount <= 0) {
        return 0;
    }
    Append(table, row);
    SendNotification(row, table->name);
    return 1;
}

ResultData *SelectRows(const char *tableName, const char *criteria) {
    LogTrace("@@@ Inside SelectRows @@@\n");
    TableData *table = GetTableDataByName(tableName);
    if (table == nullptr) return nullptr;
    if (criteria == nullptr) {
        ResultData *result = CreateResultData(0, table->columnCount, table);
        if (result == nullptr) return nullptr;
        for (RowObject *row = table->firstRow; row != nullptr; row = row->next) {
            if (!AddRowToResultData(row, result)) {
                LogError("not able to Add row \n");
                FreeResultData(result);
                return nullptr;
            }
        }
        ResetResultDataCursor(result);
        return result;
    }
    ObjectLock lock(gv_criteriaLockKey);
    CriteriaNode *tree = ParseFor(table, criteria);
    if (tree == nullptr) return nullptr;
    CriteriaPlan *plan = PrepareCriteria(tree);
    ResultData *result = plan != nullptr ? CreateResultData(0, table->columnCount, table) : nullptr;
    for (RowObject *row = table->firstRow; result != nullptr && row != nullptr; row = row->next) {
        if (EvaluateCriteriaPlan(row, plan) && !AddRowToResultData(row, result)) {
            LogError("not able to Add row \n");
            FreeResultData(result);
            result = nullptr;
        }
    }
    if (result != nullptr) ResetResultDataCursor(result);
    FreeCriteriaPlan(plan);
    FreeCriteriaTree(tree);
    return result;
}

int UpdateRowObject(const char *tableName, RowObject *row, const char *columnName,
                    const void *value, int length) {
    LogTrace("@@@ Inside UpdateRowObject @@@\n");
    TableData *table = GetTableDataByName(tableName);
    if (table == nullptr) return 0;
    if (row == nullptr) {
        LogError("\t@@@@@ rowPtr passed as parameter in NULL @@@@@ \n");
        return 0;
    }
    if (columnName == nullptr || length < 0 || row->values == nullptr || row->lengths == nullptr) {
        return 0;
    }
    int index = -1;
    unsigned char type = VEL_SQL_NOT_SUPPORTED_TYPE;
    if (table->kind == TABLE_DATA_TABLE) {
        const TableDefn *defn = table->tableDefn;
        const TableConstraints *constraints = defn != nullptr ? defn->constraints : nullptr;
        for (int k = 0; constraints != nullptr && k < constraints->primaryKeyCount; ++k) {
            if (StrCompareNoCase(constraints->primaryKeyColumns[k], columnName) == 0) {
                LogError("@@@ UpdateRowObject Failed as PrimaryKey is being updated @@@\n");
                return 0;
            }
        }
        int i = 0;
        for (const VectorNode *node = defn != nullptr && defn->columns ? defn->columns->head
                                                                       : nullptr;
             node != nullptr; node = node->next, ++i) {
            const ColumnDefn *column = static_cast<const ColumnDefn *>(node->element);
            if (column != nullptr && StrCompareNoCase(column->name, columnName) == 0) {
                index = i;
                type = column->dataType;
                break;
            }
        }
    } else if (table->viewDefn != nullptr && table->viewDefn->columns != nullptr) {
        int i = 0;
        for (const VectorNode *node = table->viewDefn->columns->head; node != nullptr;
             node = node->next, ++i) {
            const ViewColumnDefn *column = static_cast<const ViewColumnDefn *>(node->element);
            if (column != nullptr && StrCompareNoCase(column->columnName, columnName) == 0) {
                index = i;
                type = column->columnDefn != nullptr ? column->columnDefn->dataType : type;
                break;
            }
        }
    }
    if (index < 0 || index >= table->columnCount) return 0;
    void *copy = nullptr;
    if (value != nullptr) {
        copy = CopyColumnValue(value, length, type);
        if (copy == nullptr) return 0;
    }
    void *old = row->values[index];
    row->values[index] = copy;
    row->lengths[index] = value != nullptr ? length : 0;
    row->state |= ROW_STATE_MODIFIED;
    SendNotification(row, table->name);
    free(old);
    return 1;
}

int DeleteRowObject(const char *tableName, RowObject *row) {
    LogTrace("@@@ Inside DeleteRowObject @@@\n");
    if (row == nullptr) return 0;
    if (row->state & ROW_STATE_STORED) {
        // Saving the table deletes it from the database, then from the list.
        row->state |= ROW_STATE_DELETED;
        return 1;
    }
    TableData *table = GetTableDataByName(tableName);
    if (table == nullptr) return 0;
    RowObject *previous = nullptr;
    for (RowObject *current = table->firstRow; current != nullptr;
         previous = current, current = current->next) {
        if (current == row) return DeleteListedRow(table, previous, row) ? 1 : 0;
    }
    return 0;
}

int DeleteRowObjectByCriteria(const char *tableName, const char *criteria) {
    LogTrace("@@@ Inside DeleteRowObjectByCriteria @@@\n");
    if (criteria == nullptr) return 0;
    ObjectLock lock(gv_criteriaLockKey);
    TableData *table = GetTableDataByName(tableName);
    if (table == nullptr) return 0;
    CriteriaNode *tree = ParseFor(table, criteria);
    if (tree == nullptr) return 0;
    CriteriaPlan *plan = PrepareCriteria(tree);
    if (plan != nullptr) DeleteMatching(table, plan);
    FreeCriteriaPlan(plan);
    FreeCriteriaTree(tree);
    return plan != nullptr ? 1 : 0;
}

int DeleteAllTableRowObjects(const char *tableName) {
    LogTrace("@@@ Inside DeleteAllTableRowObjects @@@\n");
    if (tableName == nullptr) {
        LogError("\t tableName NULL \n");
        return 0;
    }
    TableData *table = GetTableDataByName(tableName);
    if (table == nullptr) {
        LogError("\t GetTableDataByName returned NULL \n");
        return 0;
    }
    if (DefinedColumns(table) == nullptr) return 0;
    DeleteMatching(table, nullptr);
    return 1;
}

void FreeTableData(TableData *tableData) {
    if (tableData == nullptr) return;
    LogTrace("\t %s is being freed\n", tableData->name != nullptr ? tableData->name : "(null)");
    for (RowObject *row = tableData->firstRow; row != nullptr;) {
        RowObject *next = row->next;
        FreeRowObject(row, tableData->columnCount);
        row = next;
    }
    tableData->firstRow = nullptr;
    tableData->lastRow = nullptr;
    tableData->rowCount = 0;
    free(tableData->name);
    tableData->name = nullptr;
    if (tableData->kind == TABLE_DATA_VIEW && tableData->viewDefn != nullptr) {
        FreeCustomViewDefn(tableData->viewDefn);
        free(tableData->viewDefn);
        tableData->viewDefn = nullptr;
    }
}

}  // extern "C"
