// Result data: references to table rows with a cursor; see result_data.h for the contract.
#include "store/result_data.h"

#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <new>
#include <vector>

#include "logging/log.h"
#include "util/strings.h"

namespace {

const Vector *ColumnsOf(const ResultData *result) {
    if (result->kind == TABLE_DATA_TABLE && result->tableDefn != nullptr) {
        return result->tableDefn->columns;
    }
    if (result->kind == TABLE_DATA_VIEW && result->viewDefn != nullptr) {
        return result->viewDefn->columns;
    }
    return nullptr;
}

// The position of the named column (ignoring case): a table's ColumnDefn name, or a view's
// own column name; -1 when there is none.
int ColumnIndex(const ResultData *result, const char *columnName) {
    const Vector *columns = ColumnsOf(result);
    if (columns == nullptr || columnName == nullptr) return -1;
    int i = 0;
    for (const VectorNode *node = columns->head; node != nullptr; node = node->next, ++i) {
        if (node->element == nullptr) continue;
        const char *name = result->kind == TABLE_DATA_TABLE
                               ? static_cast<const ColumnDefn *>(node->element)->name
                               : static_cast<const ViewColumnDefn *>(node->element)->columnName;
        if (StrCompareNoCase(name, columnName) == 0) return i;
    }
    return -1;
}

unsigned char TypeAt(const ResultData *result, int index) {
    const Vector *columns = ColumnsOf(result);
    const VectorNode *node = columns != nullptr ? columns->head : nullptr;
    for (int i = 0; i < index && node != nullptr; ++i) node = node->next;
    if (node == nullptr || node->element == nullptr) return VEL_SQL_NOT_SUPPORTED_TYPE;
    if (result->kind == TABLE_DATA_TABLE) {
        return static_cast<const ColumnDefn *>(node->element)->dataType;
    }
    const ColumnDefn *base = static_cast<const ViewColumnDefn *>(node->element)->columnDefn;
    return base != nullptr ? base->dataType : (unsigned char)VEL_SQL_NOT_SUPPORTED_TYPE;
}

// The sort key of a value: integers of codes 1 to 8 read at their stored width as their type
// says; any other value as a signed integer of its first four bytes, or of all its bytes when
// it is narrower, so no value is read past its end.
long long SortKey(const void *value, int length, unsigned char type) {
    if (type >= VEL_SQL_TINYINT && type <= VEL_SQL_UNSIGNED_LONG_INT &&
        (length == 1 || length == 2 || length == 4 || length == 8)) {
        return ReadStoredInteger(value, length, type);
    }
    const int width = length < 4 ? length : 4;
    if (width <= 0) return 0;
    const unsigned char *bytes = static_cast<const unsigned char *>(value);
    unsigned long long raw = 0;
    for (int i = 0; i < width; ++i) raw |= static_cast<unsigned long long>(bytes[i]) << (8 * i);
    if (bytes[width - 1] & 0x80) raw |= ~0ULL << (8 * width);  // sign extension
    return static_cast<long long>(raw);
}

struct SortEntry {
    bool isNull;
    long long key;
    ResultNode *node;
};

}  // namespace

extern "C" {

ResultData *CreateResultData(int rowCount, int columnCount, TableData *tableData) {
    LogTrace("@@@ Inside CreateResultData @@@\n");
    if (tableData == nullptr) return nullptr;
    ResultData *result = static_cast<ResultData *>(calloc(1, sizeof(ResultData)));
    if (result == nullptr) return nullptr;
    result->kind = tableData->kind;
    result->tableDefn = tableData->tableDefn;
    result->viewDefn = tableData->viewDefn;
    result->rowCount = rowCount;
    result->columnCount = columnCount;
    return result;
}

void FreeResultData(ResultData *result) {
    LogTrace("@@@ Inside FreeResultData @@@\n");
    if (result == nullptr) return;
    for (ResultNode *node = result->firstNode; node != nullptr;) {
        ResultNode *next = node->next;
        free(node);
        node = next;
    }
    free(result);
}

int AddRowToResultData(RowObject *row, ResultData *result) {
    if (result == nullptr) return 0;
    ResultNode *node = static_cast<ResultNode *>(malloc(sizeof(ResultNode)));
    if (node == nullptr) return 0;
    node->row = row;
    node->next = nullptr;
    // The cursor is the append position while rows are added; after a reset, or when it was
    // moved by a reader, the end is found by a walk.
    ResultNode *last = result->cursor != nullptr ? result->cursor : result->firstNode;
    if (last == nullptr) {
        result->firstNode = node;
    } else {
        while (last->next != nullptr) last = last->next;
        last->next = node;
    }
    result->cursor = node;
    ++result->rowCount;
    return 1;
}

RowObject *GotoNextRowObject(ResultData *result) {
    if (result == nullptr) return nullptr;
    result->cursor = result->cursor == nullptr ? result->firstNode : result->cursor->next;
    return result->cursor != nullptr ? result->cursor->row : nullptr;
}

void ResetResultDataCursor(ResultData *result) {
    if (result != nullptr) result->cursor = nullptr;
}

void *GetColumnValueByName(const char *columnName, int *length, ResultData *result) {
    if (result == nullptr || result->cursor == nullptr || result->cursor->row == nullptr) {
        return nullptr;
    }
    if (result->kind != TABLE_DATA_TABLE && result->kind != TABLE_DATA_VIEW) return nullptr;
    const int index = ColumnIndex(result, columnName);
    if (index < 0 || index >= result->columnCount) return nullptr;
    const RowObject *row = result->cursor->row;
    if (row->values == nullptr || row->lengths == nullptr) return nullptr;
    if (length != nullptr) *length = row->lengths[index];
    return row->values[index];
}

void *GetColumnValue(const char *tableName, const char *columnName, const char *criteria,
                     int *length) {
    LogTrace("@@@ Inside GetColumnValue @@@\n");
    ResultData *result = SelectRows(tableName, criteria);
    if (result == nullptr) {
        LogError("Error in executing SelectRows(%s,%s)\n", tableName ? tableName : "(null)",
                 criteria ? criteria : "(null)");
        return nullptr;
    }
    if (GotoNextRowObject(result) == nullptr) {
        LogTrace("No such row available in the %s for %s", tableName ? tableName : "(null)",
                 criteria ? criteria : "(null)");
        FreeResultData(result);
        return nullptr;
    }
    void *value = GetColumnValueByName(columnName, length, result);
    if (value == nullptr) {
        LogError("columnValue is NULL for :%s\n", columnName ? columnName : "(null)");
    }
    FreeResultData(result);
    return value;
}

unsigned char GetColumnTypeByName(const char *columnName, ResultData *result) {
    if (result == nullptr || columnName == nullptr) return 0;
    const Vector *columns = ColumnsOf(result);
    if (columns == nullptr) return 0;
    for (const VectorNode *node = columns->head; node != nullptr; node = node->next) {
        const ColumnDefn *column =
            result->kind == TABLE_DATA_TABLE
                ? static_cast<const ColumnDefn *>(node->element)
                : (node->element != nullptr
                       ? static_cast<const ViewColumnDefn *>(node->element)->columnDefn
                       : nullptr);
        if (column != nullptr && StrCompareNoCase(column->name, columnName) == 0) {
            return column->dataType;
        }
    }
    return 0;
}

const char *GetColumnNameByIndex(int index, ResultData *result) {
    if (result == nullptr || index < 0) return nullptr;
    const Vector *columns = ColumnsOf(result);
    const VectorNode *node = columns != nullptr ? columns->head : nullptr;
    for (int i = 0; i < index && node != nullptr; ++i) node = node->next;
    if (node == nullptr || node->element == nullptr) return nullptr;
    return result->kind == TABLE_DATA_TABLE
               ? static_cast<const ColumnDefn *>(node->element)->name
               : static_cast<const ViewColumnDefn *>(node->element)->columnName;
}

const char *GetTableNameFromResultData(ResultData *result) {
    if (result == nullptr) return nullptr;
    if (result->kind == TABLE_DATA_TABLE && result->tableDefn != nullptr) {
        return result->tableDefn->name;
    }
    if (result->kind == TABLE_DATA_VIEW && result->viewDefn != nullptr &&
        result->viewDefn->baseTableNames != nullptr && result->viewDefn->baseTableCount > 0) {
        return result->viewDefn->baseTableNames[0];
    }
    return nullptr;
}

const char *GetTableNameOfView(const char *name) {
    const TableData *table = GetTableDataByName(name);
    if (table != nullptr && table->kind == TABLE_DATA_VIEW && table->viewDefn != nullptr &&
        table->viewDefn->baseTableNames != nullptr && table->viewDefn->baseTableCount > 0) {
        return table->viewDefn->baseTableNames[0];
    }
    return name;
}

ResultData *SelectRowByRowIdx(const char *tableName, int index) {
    LogTrace("@@@ Inside SelectRowByRowIdx @@@\n");
    TableData *table = GetTableDataByName(tableName);
    if (table == nullptr || table->rowCount < index) return nullptr;
    ResultData *result = CreateResultData(0, table->columnCount, table);
    if (result == nullptr) return nullptr;
    RowObject *row = table->firstRow;
    for (int step = 1; step < index && row != nullptr; ++step) row = row->next;
    if (row != nullptr && !AddRowToResultData(row, result)) {
        FreeResultData(result);
        return nullptr;
    }
    ResetResultDataCursor(result);
    return result;
}

int SortResultSet(ResultData *result, const char *columnName, int order) {
    LogTrace("@@@ Inside SortResultSet @@@\n");
    if (result == nullptr || columnName == nullptr) return 0;
    if (result->tableDefn == nullptr && result->viewDefn == nullptr) return 0;
    const Vector *columns = ColumnsOf(result);
    if (columns == nullptr || columns->head == nullptr) return 0;
    const int index = ColumnIndex(result, columnName);
    if (index < 0 || index >= result->columnCount) return 0;
    if (result->firstNode == nullptr) return 1;
    if (result->firstNode->next == nullptr) {
        if (result->rowCount != 1) return 0;
        LogDebug("Number of Rows is 1 for the Relvar to be Sorted \n");
        return 1;
    }
    const unsigned char type = TypeAt(result, index);
    try {
        std::vector<SortEntry> entries;
        for (ResultNode *node = result->firstNode; node != nullptr; node = node->next) {
            const RowObject *row = node->row;
            const void *value =
                row != nullptr && row->values != nullptr ? row->values[index] : nullptr;
            const int length = value != nullptr ? row->lengths[index] : 0;
            entries.push_back({value == nullptr, value ? SortKey(value, length, type) : 0, node});
        }
        const bool ascending = order == 1;
        // Stable, as swapping only unequal neighbours is: equal keys keep their order.
        std::stable_sort(entries.begin(), entries.end(),
                         [ascending](const SortEntry &a, const SortEntry &b) {
                             if (a.isNull || b.isNull) return a.isNull && !b.isNull;
                             return ascending ? a.key < b.key : a.key > b.key;
                         });
        for (size_t i = 0; i + 1 < entries.size(); ++i) entries[i].node->next = entries[i + 1].node;
        entries.back().node->next = nullptr;
        result->firstNode = entries.front().node;
    } catch (const std::bad_alloc &) {
        return 0;
    }
    return 1;
}

}  // extern "C"
