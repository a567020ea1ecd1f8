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

// A row's sort key with its place in the result: ordering equal keys by place makes an
// unstable sort give the stable order.
struct SortEntry {
    long long key;
    size_t place;
};

// Sorts the nodes in place: rows whose value is NULL first, in result order, then the others
// by key, equal keys in result order. Throws std::bad_alloc.
void SortNodes(ResultData *result, int index, unsigned char type, bool ascending) {
    std::vector<ResultNode *> nodes;
    std::vector<ResultNode *> nulls;
    std::vector<SortEntry> entries;
    nodes.reserve(size_t(result->rowCount > 0 ? result->rowCount : 0));
    entries.reserve(nodes.capacity());
    for (ResultNode *node = result->firstNode; node != nullptr; node = node->next) {
        const RowObject *row = node->row;
        const void *value = row != nullptr && row->values != nullptr ? row->values[index] : nullptr;
        if (value == nullptr) {
            nulls.push_back(node);
            continue;
        }
        entries.push_back({SortKey(value, row->lengths[index], type), nodes.size()});
        nodes.push_back(node);
    }
    if (ascending) {
        std::sort(entries.begin(), entries.end(), [](const SortEntry &a, const SortEntry &b) {
            return a.key < b.key || (a.key == b.key && a.place < b.place);
        });
    } else {
        std::sort(entries.begin(), entries.end(), [](const SortEntry &a, const SortEntry &b) {
            return a.key > b.key || (a.key == b.key && a.place < b.place);
        });
    }
    ResultNode *first = nullptr;
    ResultNode **link = &first;
    for (ResultNode *node : nulls) {
        *link = node;
        link = &node->next;
    }
    for (const SortEntry &entry : entries) {
        *link = nodes[entry.place];
        link = &(*link)->next;
    }
    *link = nullptr;
    result->firstNode = first;
}

// A result and the blocks its nodes are cut from, so that a select of many rows makes one
// allocation per block instead of one per row. Callers see the ResultData, its first member;
// every result is made by CreateResultData, so every ResultData sits in a ResultStore.
struct NodeBlock {
    NodeBlock *next;
    size_t used;
    size_t capacity;
    ResultNode *nodes() { return reinterpret_cast<ResultNode *>(this + 1); }
};
static_assert(sizeof(NodeBlock) % alignof(ResultNode) == 0, "nodes follow the block header");

struct ResultStore {
    ResultData data;
    NodeBlock *blocks;  // the newest first
};

constexpr size_t kFirstBlockNodes = 8;
constexpr size_t kLargestBlockNodes = 4096;

ResultStore *StoreOf(ResultData *result) {
    return reinterpret_cast<ResultStore *>(result);
}

// A node from the newest block, or from a new block twice the size of the last; null when
// memory runs out.
ResultNode *NewNode(ResultStore *store) {
    NodeBlock *block = store->blocks;
    if (block == nullptr || block->used == block->capacity) {
        const size_t capacity =
            block == nullptr ? kFirstBlockNodes : std::min(block->capacity * 2, kLargestBlockNodes);
        auto *grown =
            static_cast<NodeBlock *>(malloc(sizeof(NodeBlock) + capacity * sizeof(ResultNode)));
        if (grown == nullptr) return nullptr;
        *grown = NodeBlock{block, 0, capacity};
        store->blocks = block = grown;
    }
    return &block->nodes()[block->used++];
}

}  // namespace

extern "C" {

ResultData *CreateResultData(int rowCount, int columnCount, TableData *tableData) {
    LogTrace("@@@ Inside CreateResultData @@@\n");
    if (tableData == nullptr) return nullptr;
    ResultStore *store = static_cast<ResultStore *>(calloc(1, sizeof(ResultStore)));
    if (store == nullptr) return nullptr;
    ResultData *result = &store->data;
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
    ResultStore *store = StoreOf(result);
    for (NodeBlock *block = store->blocks; block != nullptr;) {
        NodeBlock *next = block->next;
        free(block);
        block = next;
    }
    free(store);
}

int AddRowToResultData(RowObject *row, ResultData *result) {
    if (result == nullptr) return 0;
    ResultNode *node = NewNode(StoreOf(result));
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
        SortNodes(result, index, type, order == 1);
    } catch (const std::bad_alloc &) {
        return 0;
    }
    return 1;
}

}  // extern "C"
