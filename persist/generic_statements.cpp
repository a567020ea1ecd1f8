// SQL text for one row without a dialect; see generic_statements.h for the contract.
#include "persist/generic_statements.h"

#include <stdlib.h>
#include <string.h>

#include <new>
#include <string>
#include <vector>

#include "logging/log.h"
#include "util/strings.h"

namespace {

// A value as the statement writes it.
struct ValueText {
    bool missing;
    bool quoted;
    bool boolean;
    std::string text;
};

// Character and text values, and dates and times, are literals only between quotes: bare,
// a text is no SQL at all and a date 2024-01-02 reads as a subtraction.
bool QuotedType(unsigned char type) {
    return type == VEL_SQL_CHAR || type == VEL_SQL_VARCHAR || type == VEL_SQL_TEXT ||
           type == VEL_SQL_DATE || type == VEL_SQL_TIME || type == VEL_SQL_DATETIME;
}

// The quote doubled keeps a value's quote from ending the literal.
std::string Escaped(const std::string &text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        out.push_back(c);
        if (c == '\'') out.push_back('\'');
    }
    return out;
}

std::vector<ColumnDefn *> Columns(const TableDefn *defn) {
    std::vector<ColumnDefn *> columns;
    if (defn == nullptr || defn->columns == nullptr) return columns;
    for (VectorNode *node = defn->columns->head; node != nullptr; node = node->next) {
        columns.push_back(static_cast<ColumnDefn *>(node->element));
    }
    return columns;
}

// Every value's text, or false when one has no text form.
bool ValueTexts(const RowObject *row, const std::vector<ColumnDefn *> &columns,
                std::vector<ValueText> *out) {
    for (size_t i = 0; i < columns.size(); ++i) {
        const void *value = row->values[i];
        char *text = ConvertColumnValueToString(value, row->lengths[i], columns[i]->dataType);
        if (text == nullptr) return false;
        ValueText item{value == nullptr, QuotedType(columns[i]->dataType),
                       columns[i]->dataType == VEL_SQL_BOOLEAN, text};
        free(text);
        out->push_back(std::move(item));
    }
    return true;
}

// "name=value", quoted as the type needs; a missing value is a bare NULL.
std::string Assignment(const ColumnDefn *column, const ValueText &value) {
    if (value.missing) return std::string(column->name) + "=NULL";
    if (value.quoted) return std::string(column->name) + "='" + Escaped(value.text) + "'";
    return std::string(column->name) + "=" + value.text;
}

bool IsKeyColumn(const TableDefn *defn, const char *name) {
    const TableConstraints *constraints = defn->constraints;
    if (constraints == nullptr || name == nullptr) return false;
    for (int i = 0; i < constraints->primaryKeyCount; ++i) {
        const char *key = constraints->primaryKeyColumns[i];
        if (key != nullptr && StrCompareNoCase(key, name) == 0) return true;
    }
    return false;
}

std::string Condition(const TableDefn *defn, const std::vector<ColumnDefn *> &columns,
                      const std::vector<ValueText> &values) {
    std::string out;
    for (size_t i = 0; i < columns.size(); ++i) {
        if (!IsKeyColumn(defn, columns[i]->name)) continue;
        if (!out.empty()) out += " and ";
        out += Assignment(columns[i], values[i]);
    }
    return out;
}

char *HeapText(const std::string &text) {
    char *copy = static_cast<char *>(malloc(text.size() + 1));
    if (copy != nullptr) memcpy(copy, text.c_str(), text.size() + 1);
    return copy;
}

enum class Kind { kUpdate, kInsert, kDelete };

char *Make(Kind kind, const char *tableName, const RowObject *row, const TableDefn *defn) {
    if (tableName == nullptr || row == nullptr || row->values == nullptr ||
        row->lengths == nullptr || defn == nullptr) {
        return nullptr;
    }
    try {
        const std::vector<ColumnDefn *> columns = Columns(defn);
        if (columns.empty()) return nullptr;
        std::vector<ValueText> values;
        if (!ValueTexts(row, columns, &values)) return nullptr;
        std::string sql;
        switch (kind) {
            case Kind::kUpdate:
                sql = std::string("update ") + tableName + " set ";
                for (size_t i = 0; i < columns.size(); ++i) {
                    sql += (i > 0 ? "," : "") + Assignment(columns[i], values[i]);
                }
                sql += " where " + Condition(defn, columns, values);
                break;
            case Kind::kInsert:
                sql = std::string("insert into  ") + tableName + " values(";
                for (size_t i = 0; i < columns.size(); ++i) {
                    if (i > 0) sql += ",";
                    const ValueText &value = values[i];
                    if (value.missing) {
                        sql += "NULL";
                    } else if (value.quoted) {
                        sql += "'" + Escaped(value.text) + "'";
                    } else if (value.boolean) {
                        sql += StrCompareNoCase(value.text.c_str(), "'t'") == 0 ? "1" : "0";
                    } else {
                        sql += value.text;
                    }
                }
                sql += ")";
                break;
            case Kind::kDelete:
                sql = std::string("delete from ") + tableName + " where " +
                      Condition(defn, columns, values);
                break;
        }
        return HeapText(sql);
    } catch (const std::bad_alloc &) {
        LogError("Unable to allocate memory\n");
        return nullptr;
    }
}

}  // namespace

extern "C" {

char *MakeUpdateQuery(const char *tableName, RowObject *row, TableDefn *tableDefn) {
    LogTrace("@@@ Inside MakeUpdateQuery @@@\n");
    return Make(Kind::kUpdate, tableName, row, tableDefn);
}

char *MakeInsertQuery(const char *tableName, RowObject *row, TableDefn *tableDefn) {
    LogTrace("@@@ Inside MakeInsertQuery @@@\n");
    return Make(Kind::kInsert, tableName, row, tableDefn);
}

char *MakeDeleteQuery(const char *tableName, RowObject *row, TableDefn *tableDefn) {
    LogTrace("@@@ Inside MakeDeleteQuery @@@\n");
    return Make(Kind::kDelete, tableName, row, tableDefn);
}

}  // extern "C"
