// Text renderings of tables, views and results; see row_render.h for the contract.
#include "store/row_render.h"

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <new>
#include <string>
#include <vector>

#include "logging/log.h"
#include "store/datetime.h"
#include "util/strings.h"

namespace {

struct Column {
    const char *name;
    unsigned char type;
};

// A table's or view's columns in order, with the type each renders by.
std::vector<Column> ColumnsOf(unsigned char kind, const TableDefn *tableDefn,
                              const CustomViewDefn *viewDefn) {
    std::vector<Column> columns;
    const Vector *list = kind == TABLE_DATA_TABLE && tableDefn != nullptr ? tableDefn->columns
                         : kind == TABLE_DATA_VIEW && viewDefn != nullptr ? viewDefn->columns
                                                                          : nullptr;
    if (list == nullptr) return columns;
    for (const VectorNode *node = list->head; node != nullptr; node = node->next) {
        if (kind == TABLE_DATA_TABLE) {
            const ColumnDefn *column = static_cast<const ColumnDefn *>(node->element);
            columns.push_back(
                {column ? column->name : nullptr, column ? column->dataType : (unsigned char)0});
        } else {
            const ViewColumnDefn *column = static_cast<const ViewColumnDefn *>(node->element);
            const ColumnDefn *base = column ? column->columnDefn : nullptr;
            columns.push_back(
                {column ? column->columnName : nullptr, base ? base->dataType : (unsigned char)0});
        }
    }
    return columns;
}

void AppendNumber(std::string *out, const char *format, ...) __attribute__((format(printf, 2, 3)));
void AppendNumber(std::string *out, const char *format, ...) {
    char text[64];
    va_list args;
    va_start(args, format);
    int n = vsnprintf(text, sizeof text, format, args);
    va_end(args);
    if (n > 0) out->append(text, size_t(n) < sizeof text ? size_t(n) : sizeof text - 1);
}

// A "%f" rendering of a large real needs more than a small buffer.
void AppendReal(std::string *out, double real) {
    int n = snprintf(nullptr, 0, "%f", real);
    if (n <= 0) return;
    std::string text(size_t(n) + 1, '\0');
    snprintf(text.data(), text.size(), "%f", real);
    out->append(text.data(), size_t(n));
}

void AppendOwned(std::string *out, char *text) {
    if (text == nullptr) return;
    out->append(text);
    free(text);
}

// The stored form tells the parts: a block of length 11, a bare VelDate of 4, a bare VelTime
// of 3. The column type picks the part shown.
void AppendDateTime(std::string *out, const void *value, int length, unsigned char type) {
    if (length == VEL_DATETIME_LENGTH) {
        const VelDateTime *dateTime = static_cast<const VelDateTime *>(value);
        if (type == VEL_SQL_DATE && dateTime->date != nullptr) {
            AppendOwned(out, VelDateToString(dateTime->date));
        } else if (type == VEL_SQL_TIME && dateTime->time != nullptr) {
            AppendOwned(out, VelTimeToString(dateTime->time));
        } else {
            AppendOwned(out, VelDateTimeToString(dateTime));
        }
    } else if (length == VEL_DATE_LENGTH) {
        AppendOwned(out, VelDateToString(static_cast<const VelDate *>(value)));
    } else if (length == VEL_TIME_LENGTH) {
        AppendOwned(out, VelTimeToString(static_cast<const VelTime *>(value)));
    }
}

// One value and its tab; the types without a text form add nothing at all.
void AppendValue(std::string *out, const void *value, int length, unsigned char type) {
    switch (type) {
        case VEL_SQL_UNSIGNED_SMALLINT:
        case VEL_SQL_UNSIGNED_LONG_INT:
        case VEL_SQL_REAL:
        case VEL_SQL_DECIMAL:
        case VEL_SQL_NUMERIC:
        case VEL_SQL_BLOB:
        case VEL_SQL_CLOB:
            return;
        default:
            break;
    }
    if (value == nullptr) {
        out->append("NULL\t");
        return;
    }
    switch (type) {
        case VEL_SQL_TINYINT:
        case VEL_SQL_UNSIGNED_TINYINT:
        case VEL_SQL_SMALLINT:
        case VEL_SQL_INT:
        case VEL_SQL_UNSIGNED_INT:
        case VEL_SQL_BIGINT:
            // Read at the stored width: a narrow value is never read past its end.
            AppendNumber(out, "%lld", ReadStoredInteger(value, length, type));
            break;
        case VEL_SQL_FLOAT:
        case VEL_SQL_DOUBLE:
            if (length == int(sizeof(float))) {
                float single;
                memcpy(&single, value, sizeof single);
                AppendReal(out, single);
            } else if (length == int(sizeof(double))) {
                double real;
                memcpy(&real, value, sizeof real);
                AppendReal(out, real);
            }
            break;
        case VEL_SQL_CHAR:
        case VEL_SQL_VARCHAR:
        case VEL_SQL_TEXT:
            out->append(static_cast<const char *>(value),
                        length > 0 ? strnlen(static_cast<const char *>(value), size_t(length)) : 0);
            break;
        case VEL_SQL_DATE:
        case VEL_SQL_TIME:
        case VEL_SQL_DATETIME:
            AppendDateTime(out, value, length, type);
            break;
        case VEL_SQL_BOOLEAN:
            if (length >= 1) AppendNumber(out, "%d", *static_cast<const unsigned char *>(value));
            break;
        default:
            break;
    }
    out->push_back('\t');
}

// The whole rendering; false when memory runs out.
bool Render(const std::vector<Column> &columns, const RowObject *firstRow,
            const ResultNode *firstNode, bool skipDeleted, std::string *out) {
    try {
        for (const Column &column : columns) {
            if (column.name != nullptr) out->append(column.name);
            out->push_back('\t');
        }
        out->push_back('\n');
        auto renderRow = [&](const RowObject *row) {
            if (row == nullptr || (skipDeleted && (row->state & ROW_STATE_DELETED))) return;
            for (size_t i = 0; i < columns.size(); ++i) {
                const void *value = row->values != nullptr ? row->values[i] : nullptr;
                const int length = row->lengths != nullptr ? row->lengths[i] : 0;
                AppendValue(out, value, length, columns[i].type);
            }
            out->push_back('\n');
        };
        for (const RowObject *row = firstRow; row != nullptr; row = row->next) renderRow(row);
        for (const ResultNode *node = firstNode; node != nullptr; node = node->next) {
            renderRow(node->row);
        }
    } catch (const std::bad_alloc &) {
        return false;
    }
    return true;
}

// The rendering of a loaded table or view, as a view when it is one; false when it is
// unknown, has no columns or memory runs out.
bool RenderTable(const char *name, std::string *out) {
    const TableData *table = GetTableDataByName(name);
    if (table == nullptr) return false;
    try {
        std::vector<Column> columns = ColumnsOf(table->kind, table->tableDefn, table->viewDefn);
        if (columns.empty()) return false;
        // Rows hold columnCount values; never read a value past that.
        if (columns.size() > size_t(table->columnCount > 0 ? table->columnCount : 0)) {
            columns.resize(size_t(table->columnCount > 0 ? table->columnCount : 0));
        }
        return Render(columns, table->firstRow, nullptr, false, out);
    } catch (const std::bad_alloc &) {
        return false;
    }
}

char *ToString(const char *name) {
    std::string text;
    if (!RenderTable(name, &text)) return nullptr;
    char *copy = nullptr;
    if (AllocCopyBytes(&copy, text.data(), text.size()) != 1) return nullptr;
    LogTrace("String Value of Relvar Data\n %s\n", copy);
    return copy;
}

void Print(const char *name) {
    std::string text;
    if (RenderTable(name, &text)) LogDebug("%s", text.c_str());
}

}  // namespace

extern "C" {

void PrintTableData(const char *tableName) {
    LogTrace("@@@ Inside PrintTableData @@@\n");
    Print(tableName);
}

void PrintCustomViewData(const char *viewName) {
    LogTrace("@@@ Inside PrintCustomViewData @@@\n");
    Print(viewName);
}

void PrintResultData(ResultData *result) {
    LogTrace("@@@ Inside PrintResultData @@@\n");
    if (result == nullptr) return;
    std::string text;
    try {
        std::vector<Column> columns = ColumnsOf(result->kind, result->tableDefn, result->viewDefn);
        if (columns.size() > size_t(result->columnCount > 0 ? result->columnCount : 0)) {
            columns.resize(size_t(result->columnCount > 0 ? result->columnCount : 0));
        }
        if (!Render(columns, nullptr, result->firstNode, true, &text)) return;
    } catch (const std::bad_alloc &) {
        return;
    }
    LogDebug("%s", text.c_str());
}

char *ToStringTableData(const char *tableName) {
    LogTrace("@@@ Inside ToStringTableData @@@\n");
    return ToString(tableName);
}

char *ToStringCustomViewData(const char *viewName) {
    LogTrace("@@@ Inside ToStringCustomViewData @@@\n");
    return ToString(viewName);
}

}  // extern "C"
