// Result sets.
#include "db/result_set.h"

#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include <string>

#include "logging/log.h"
#include "store/datetime.h"

namespace {

int ColumnIndex(const char *name, const ResultSet *set) {
    if (name == nullptr || set == nullptr) return -1;
    for (int32_t i = 0; i < set->columnCount; ++i) {
        if (set->columns[i].name && strcasecmp(set->columns[i].name, name) == 0) return i;
    }
    return -1;
}

// The text of a date or time value in any of its stored forms: a VelDateTime (11), a bare
// VelDate (4) or a bare VelTime (3).
std::string DateTimeText(const ResultCell *cell) {
    char *text = nullptr;
    if (cell->length == 4) {
        text = VelDateToString(reinterpret_cast<const VelDate *>(cell->bytes));
    } else if (cell->length == 3) {
        text = VelTimeToString(reinterpret_cast<const VelTime *>(cell->bytes));
    } else {
        text = VelDateTimeToString(reinterpret_cast<const VelDateTime *>(cell->bytes));
    }
    std::string out = text ? text : "";
    free(text);
    return out;
}

std::string CellText(const ResultCell *cell, unsigned char type) {
    if (cell->bytes == nullptr) return "NULL";
    if (type >= 1 && type <= 10) {
        int32_t n = 0;
        memcpy(&n, cell->bytes, cell->length < 4 ? size_t(cell->length) : 4);
        return std::to_string(n);
    }
    if (type >= 16 && type <= 18) return DateTimeText(cell);
    return reinterpret_cast<const char *>(cell->bytes);
}

ResultCell *Link(ResultCell *row, ResultCell *cell) {
    if (row == nullptr) {
        cell->last = cell;
        return cell;
    }
    row->last->next = cell;
    row->last = cell;
    return row;
}

}  // namespace

extern "C" {

ResultCell *AppendResultValue(ResultCell *row, int32_t length, const void *bytes) {
    auto *cell = static_cast<ResultCell *>(calloc(1, sizeof(ResultCell)));
    if (cell == nullptr) return nullptr;
    if (bytes != nullptr) {
        if (length < 0) length = 0;
        cell->bytes = static_cast<unsigned char *>(malloc(size_t(length) + 1));
        if (cell->bytes == nullptr) {
            free(cell);
            return nullptr;
        }
        memcpy(cell->bytes, bytes, size_t(length));
        cell->bytes[length] = 0;
        cell->length = length;
    }
    return Link(row, cell);
}

ResultCell *AppendResultValueOwned(ResultCell *row, int32_t length, void *buffer) {
    auto *cell = static_cast<ResultCell *>(calloc(1, sizeof(ResultCell)));
    if (cell == nullptr) return nullptr;
    cell->bytes = static_cast<unsigned char *>(buffer);
    cell->length = buffer ? length : 0;
    return Link(row, cell);
}

ResultRow *AppendResultRow(ResultRow *rows, ResultCell *row) {
    auto *link = static_cast<ResultRow *>(calloc(1, sizeof(ResultRow)));
    if (link == nullptr) return nullptr;
    link->values = row;
    if (rows == nullptr) {
        link->last = link;
        return link;
    }
    rows->last->next = link;
    rows->last = link;
    return rows;
}

ResultSet *CreateResultSet(ResultRow *rows, ResultColumn *columns, int32_t columnCount) {
    auto *set = static_cast<ResultSet *>(calloc(1, sizeof(ResultSet)));
    if (set == nullptr) return nullptr;
    set->firstRow = rows;
    set->columns = columns;
    set->columnCount = columnCount;
    for (ResultRow *r = rows; r != nullptr; r = r->next) ++set->rowCount;
    return set;
}

ResultCell *NextResultRow(ResultSet *set) {
    if (set == nullptr) return nullptr;
    set->cursor = set->cursor == nullptr ? set->firstRow : set->cursor->next;
    return set->cursor ? set->cursor->values : nullptr;
}

void ResetResultCursor(ResultSet *set) {
    if (set) set->cursor = nullptr;
}

unsigned char *GetResultValueByName(const char *columnName, int32_t *length, ResultSet *set) {
    if (length) *length = 0;
    int index = ColumnIndex(columnName, set);
    if (index < 0 || set->cursor == nullptr) return nullptr;
    ResultCell *cell = set->cursor->values;
    for (int i = 0; cell != nullptr && i < index; ++i) cell = cell->next;
    if (cell == nullptr) return nullptr;
    if (length) *length = cell->length;
    return cell->bytes;
}

unsigned char GetResultColumnType(const char *columnName, ResultSet *set) {
    int index = ColumnIndex(columnName, set);
    return index < 0 ? 0 : set->columns[index].dataType;
}

const char *GetResultColumnName(int32_t index, ResultSet *set) {
    if (set == nullptr || index < 0 || index >= set->columnCount) return nullptr;
    return set->columns[index].name;
}

void PrintResultSet(ResultSet *set) {
    if (set == nullptr) return;
    std::string line;
    for (int32_t i = 0; i < set->columnCount; ++i) line += std::string(set->columns[i].name ? set->columns[i].name : "") + "\t";
    LogDebug("%s\n", line.c_str());
    for (ResultRow *r = set->firstRow; r != nullptr; r = r->next) {
        line.clear();
        int32_t i = 0;
        for (ResultCell *c = r->values; c != nullptr; c = c->next, ++i) {
            line += CellText(c, i < set->columnCount ? set->columns[i].dataType : 0) + "\t";
        }
        LogDebug("%s\n", line.c_str());
    }
}

void FreeResultValues(ResultCell *row) {
    while (row != nullptr) {
        ResultCell *next = row->next;
        free(row->bytes);
        free(row);
        row = next;
    }
}

void FreeResultRows(ResultRow *rows) {
    while (rows != nullptr) {
        ResultRow *next = rows->next;
        FreeResultValues(rows->values);
        free(rows);
        rows = next;
    }
}

void FreeColumnDescs(ResultColumn *columns, int32_t count) {
    if (columns == nullptr) return;
    for (int32_t i = 0; i < count; ++i) free(columns[i].name);
    free(columns);
}

void FreeResultSet(ResultSet *set) {
    if (set == nullptr) return;
    FreeResultRows(set->firstRow);
    FreeColumnDescs(set->columns, set->columnCount);
    free(set);
}

}  // extern "C"
