// Helpers of the SQL generation tests: table definitions built in the global list, rows made
// from value texts, owned statement texts, and the four dialects by name.
#ifndef KV_TESTS_DB_SQLGEN_FIXTURE_H
#define KV_TESTS_DB_SQLGEN_FIXTURE_H

#include <gtest/gtest.h>

#include <stdlib.h>

#include <optional>
#include <string>
#include <vector>

#include "db/sqlgen.h"
#include "store/column_defn.h"
#include "store/row_object.h"

namespace kvtest {

struct ColumnSpec {
    const char *name;
    unsigned char type;
    int maxSize = 0;
    const char *defaultText = nullptr;
    bool nullable = true;
    bool unique = false;
};

struct ForeignKeySpec {
    const char *local;
    const char *referenceColumn;
    const char *referenceTable;
};

// Adds a definition to the global list (which then owns it).
inline void AddTestTable(const char *name, const std::vector<ColumnSpec> &columns,
                         const std::vector<const char *> &keys = {},
                         const std::vector<ForeignKeySpec> &foreignKeys = {}) {
    Vector *vector = NewVector();
    ASSERT_NE(nullptr, vector);
    for (const ColumnSpec &c : columns) {
        int length = c.defaultText ? int(strlen(c.defaultText)) : 0;
        ColumnDefn *column = CreateColumnDefn(c.name, c.type, c.defaultText, length, c.unique,
                                              nullptr, nullptr, c.maxSize, c.nullable, nullptr);
        ASSERT_NE(nullptr, column);
        ASSERT_TRUE(AddElementData(vector, column));
    }
    TableConstraints *constraints = CreateTableConstraints();
    ASSERT_NE(nullptr, constraints);
    for (const char *key : keys) ASSERT_TRUE(AddPrimaryKeyColumn(constraints, key));
    for (const ForeignKeySpec &fk : foreignKeys) {
        ASSERT_TRUE(AddForeignKeyDefn(
            constraints,
            CreateForeignKeyDefn(fk.local, fk.referenceColumn, fk.referenceTable, 1, 0)));
    }
    TableDefn *defn = CreateTableDefn(name, nullptr, vector, constraints);
    ASSERT_NE(nullptr, defn);
    ASSERT_TRUE(AddTableDefn(defn));
}

inline int ColumnCount(const char *table) {
    TableDefn *defn = GetTableDefn(table);
    return defn ? defn->columns->count : 0;
}

// A row of the table from the text of each value (nullopt: SQL NULL), converted to the
// columns' stored forms.
inline RowObject *MakeRow(const char *table, const std::vector<std::optional<std::string>> &texts) {
    TableDefn *defn = GetTableDefn(table);
    if (defn == nullptr || size_t(defn->columns->count) != texts.size()) return nullptr;
    auto **values = static_cast<void **>(calloc(texts.size(), sizeof(void *)));
    auto *lengths = static_cast<int *>(calloc(texts.size(), sizeof(int)));
    size_t i = 0;
    for (VectorNode *n = defn->columns->head; n; n = n->next, ++i) {
        if (!texts[i]) continue;
        auto *column = static_cast<ColumnDefn *>(n->element);
        lengths[i] = int(texts[i]->size());
        values[i] = ConvertStringToColumnValue(texts[i]->c_str(), &lengths[i], column->dataType);
    }
    return CreateNewRowObject(values, lengths);
}

// A statement as a std::string (nullopt for null), freeing the text.
inline std::optional<std::string> Taken(char *text) {
    if (text == nullptr) return std::nullopt;
    std::string out(text);
    free(text);
    return out;
}

struct Dialect {
    const char *name;
    const SqlDialect *record;
};
inline const Dialect kDialects[] = {{"PGSQL", &gv_pgsqlDialect},
                                    {"MYSQL", &gv_mysqlDialect},
                                    {"FIREBIRD", &gv_firebirdDialect},
                                    {"SQLITE", &gv_sqliteDialect}};

inline const SqlDialect *DialectNamed(const std::string &name) {
    for (const Dialect &d : kDialects) {
        if (name == d.name) return d.record;
    }
    return nullptr;
}

// Shows "\n" and "\t" in failure messages of expected statements.
inline std::string Visible(const std::optional<std::string> &text) {
    if (!text) return "(null)";
    std::string out;
    for (char c : *text) {
        if (c == '\n')
            out += "\\n";
        else if (c == '\t')
            out += "\\t";
        else
            out += c;
    }
    return out;
}

}  // namespace kvtest

#endif  // KV_TESTS_DB_SQLGEN_FIXTURE_H
