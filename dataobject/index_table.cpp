// Index tables of dominant tables; see index_table.h for the contract.
#include "dataobject/index_table.h"

#include <stdlib.h>
#include <string.h>

#include <new>
#include <string>
#include <vector>

#include "dataobject/personality_defn.h"
#include "dataobject/personality_file.h"
#include "dataobject/save_order.h"
#include "db/conn_params.h"
#include "db/connection_pool.h"
#include "db/providers.h"
#include "db/sqlgen.h"
#include "logging/log.h"
#include "util/strings.h"

namespace {

// The width of the index table's TABLENAME column.
constexpr size_t kTableNameWidth = 40;

const char *Shown(const char *text) {
    return text != nullptr ? text : "(null)";
}

bool IntegerKeyType(unsigned char type) {
    return type == VEL_SQL_TINYINT || type == VEL_SQL_SMALLINT || type == VEL_SQL_INT ||
           type == VEL_SQL_BIGINT;
}

bool TextKeyType(unsigned char type) {
    return type == VEL_SQL_CHAR || type == VEL_SQL_VARCHAR;
}

std::string IndexTableName(const TableDefn *defn) {
    return std::string(defn->name) + "_IDX";
}

// The dialect of the default connection, which holds the index tables.
const char *DefaultDialect() {
    if (gv_dsnMapValid == 1 && gv_connectionPoolVect.count == 1) {
        const auto *entry =
            static_cast<const ConnectionPoolEntry *>(gv_connectionPoolVect.head->element);
        const char *dialect = GetDialectForConnection(entry->connectionName);
        if (dialect != nullptr && GetDialectGenerator(dialect) != nullptr) return dialect;
    }
    return gv_defaultDialect < 4 ? gv_dialectNames[gv_defaultDialect] : nullptr;
}

// text as a quoted SQL literal for the default connection; false when it cannot be made.
bool AppendQuoted(std::string *sql, const char *text) {
    char *quoted = QuoteSqlText(DefaultDialect(), text);
    if (quoted == nullptr) return false;
    *sql += quoted;
    free(quoted);
    return true;
}

// A handle of the default connection for one statement, released when it goes.
class DefaultHandle {
  public:
    DefaultHandle() : handle_(GetConnectionHandle(nullptr)) {}
    ~DefaultHandle() {
        if (handle_ != nullptr) ReleaseConnectionHandle(nullptr);
    }
    DefaultHandle(const DefaultHandle &) = delete;
    DefaultHandle &operator=(const DefaultHandle &) = delete;
    ConnectionHandle *get() const { return handle_; }

  private:
    ConnectionHandle *handle_;
};

bool RunUpdate(const std::string &sql) {
    DefaultHandle handle;
    return ExecuteUpdate(handle.get(), sql.c_str()) == 1;
}

bool CreateOne(const char *dominantTable) {
    Vector *keyColumns = GetPKColumnInfo(dominantTable);
    if (keyColumns == nullptr || keyColumns->head == nullptr) {
        // Without a key column there is nothing to pair the table names with.
        LogError("Cannot create Index Table for %s\n", Shown(dominantTable));
        free(keyColumns);
        return false;
    }
    char *columns = ConstructPKColumnString(keyColumns);
    FreeVector(keyColumns);
    free(keyColumns);
    if (columns == nullptr) return false;
    try {
        const std::string sql = "CREATE TABLE " + IndexTableName(GetTableDefn(dominantTable)) +
                                "(" + columns + " TABLENAME VARCHAR(40))";
        free(columns);
        return RunUpdate(sql);
    } catch (const std::bad_alloc &) {
        free(columns);
        LogError("MEMORY_ALLOCATION_FAILURE\n");
        return false;
    }
}

// The index targets: the dominant tables (once each) with one integer key column, other than
// the table itself (a table's rows are not indexed under its own key).
std::vector<TableDefn *> IndexTargets(const TableDefn *table) {
    std::vector<TableDefn *> targets;
    char **dominants = GetDominantTables();
    for (int i = 0; dominants != nullptr && dominants[i][0] != '\0'; ++i) {
        TableDefn *defn = GetTableDefn(dominants[i]);
        if (defn == nullptr || defn == table || defn->constraints == nullptr ||
            defn->constraints->primaryKeyCount != 1) {
            continue;
        }
        ColumnDefn *key = GetColumnDefnEntry(defn->name, defn->constraints->primaryKeyColumns[0]);
        if (key == nullptr || !IntegerKeyType(key->dataType)) continue;
        bool listed = false;
        for (TableDefn *t : targets) listed = listed || t == defn;
        if (!listed) targets.push_back(defn);
    }
    FreeNameList(dominants);
    return targets;
}

std::string KeyCondition(const TableDefn *dominant, long long value, const std::string &table) {
    return std::string(dominant->constraints->primaryKeyColumns[0]) + " = " +
           std::to_string(value) + " AND TABLENAME = " + table;
}

std::string InsertStatement(const TableDefn *dominant, long long value, const std::string &table) {
    return "INSERT INTO " + IndexTableName(dominant) + " VALUES (" + std::to_string(value) + ", " +
           table + ")";
}

// Takes out one index row of (value, table): the other rows of that table that refer to the
// same key keep theirs, and so do other tables. The rows are alike, so all of them go and
// all but one come back, in one transaction (or in the caller's, when one is open).
bool RemoveOne(const TableDefn *dominant, long long value, const std::string &table) {
    DefaultHandle handle;
    const std::string where = " WHERE " + KeyCondition(dominant, value, table);
    ResultSet *rows = ExecuteQuery(
        handle.get(), ("SELECT TABLENAME FROM " + IndexTableName(dominant) + where).c_str());
    if (rows == nullptr) return false;
    int held = 0;
    for (ResultRow *r = rows->firstRow; r != nullptr; r = r->next) ++held;
    FreeResultSet(rows);
    if (held == 0) return true;
    const bool own = handle.get()->inTransaction != 1 && BeginTransaction(handle.get()) == 1;
    const std::string sql = "DELETE FROM " + IndexTableName(dominant) + where;
    LogTrace("Delete Query for %s: %s\n", IndexTableName(dominant).c_str(), sql.c_str());
    bool ok = ExecuteUpdate(handle.get(), sql.c_str()) == 1;
    for (int i = 1; ok && i < held; ++i) {
        ok = ExecuteUpdate(handle.get(), InsertStatement(dominant, value, table).c_str()) == 1;
    }
    if (own && ok) ok = CommitTransaction(handle.get()) == 1;
    if (own && !ok) RollbackTransaction(handle.get());
    return ok;
}

// One index statement for the row's value of the key's local column, if the key leads to
// the dominant table; false when a statement fails.
bool IndexOne(const TableDefn *table, const ForeignKeyDefn *key, const TableDefn *dominant,
              const RowObject *row, bool add) {
    unsigned char found = 0;
    CompareRootRefTable(key->referenceTable, key->referenceColumn, dominant->name,
                        dominant->constraints->primaryKeyColumns[0], &found);
    if (!found) return true;
    const int position = GetColIndex(key->localColumn, table->name, const_cast<TableDefn *>(table));
    if (position < 0) return true;
    const ColumnDefn *column = GetColumnDefnEntry(table->name, key->localColumn);
    const void *value = row->values[position];
    // A row that refers to nothing through this key has no index row.
    if (value == nullptr || column == nullptr || !IntegerKeyType(column->dataType)) return true;
    const long long number = ReadStoredInteger(value, row->lengths[position], column->dataType);
    if (strlen(table->name) > kTableNameWidth) {
        LogError("Table name %s is longer than the %d characters of %s.TABLENAME.\n", table->name,
                 int(kTableNameWidth), IndexTableName(dominant).c_str());
        return false;
    }
    std::string quoted;
    if (!AppendQuoted(&quoted, table->name)) return false;
    if (!add) return RemoveOne(dominant, number, quoted);
    const std::string sql = InsertStatement(dominant, number, quoted);
    LogTrace("Insert Query for %s_IDX: %s\n", dominant->name, sql.c_str());
    return RunUpdate(sql);
}

// Appends "<key> = <value>" per key column, joined by " AND "; false (logged) when a key
// value is missing or of a type the index table cannot hold.
bool AppendKeyCondition(Vector *keyColumns, const char *tableName, TableDefn *defn,
                        const RowUnit *rowUnit, std::string *text) {
    for (VectorNode *n = keyColumns->head; n != nullptr; n = n->next) {
        const ColumnDefn *column = static_cast<const ColumnDefn *>(n->element);
        const int position = GetColIndex(column->name, tableName, defn);
        const bool held = position >= 0 &&
                          (rowUnit->columnCount == 0 || position < rowUnit->columnCount) &&
                          rowUnit->values[position] != nullptr;
        // "= NULL" matches nothing, and a key of another type has no column in the index
        // table to compare with: either would only make a condition that reads nothing.
        if (!held || !(IntegerKeyType(column->dataType) || TextKeyType(column->dataType))) {
            LogError("No usable value for key column %s of %s.\n", column->name, tableName);
            return false;
        }
        if (n != keyColumns->head) *text += " AND ";
        *text += std::string(column->name) + " = ";
        const void *value = rowUnit->values[position];
        if (!IntegerKeyType(column->dataType)) {
            if (!AppendQuoted(text, static_cast<const char *>(value))) return false;
            continue;
        }
        *text +=
            std::to_string(ReadStoredInteger(value, rowUnit->lengths[position], column->dataType));
    }
    return true;
}

using Chain = std::vector<const TableDefn *>;

void CollectRoots(const char *tableName, const char *columnName, Vector *roots, Vector *columns,
                  Chain &chain) {
    TableDefn *defn = GetTableDefn(tableName);
    if (defn == nullptr) {
        LogError("No table definition found for %s\n", tableName);
        return;
    }
    Vector *keys = defn->constraints != nullptr ? defn->constraints->foreignKeys : nullptr;
    if (keys == nullptr || keys->head == nullptr) {
        AddElementData(roots, const_cast<char *>(tableName));
        AddElementData(columns, const_cast<char *>(columnName));
        return;
    }
    for (const TableDefn *onChain : chain) {
        if (onChain == defn) return;
    }
    chain.push_back(defn);
    for (VectorNode *k = keys->head; k != nullptr; k = k->next) {
        const ForeignKeyDefn *key = static_cast<const ForeignKeyDefn *>(k->element);
        if (key->referenceTable == nullptr) continue;
        if (columnName != nullptr &&
            (key->localColumn == nullptr || strcmp(key->localColumn, columnName) != 0)) {
            continue;
        }
        CollectRoots(key->referenceTable, key->referenceColumn, roots, columns, chain);
    }
    chain.pop_back();
}

}  // namespace

extern "C" {

int CreateIndexTable(Vector *doNodeVect) {
    LogTrace("@@@ Inside CreateIndexTable @@@\n");
    if (doNodeVect == nullptr) return 0;
    int result = 1;
    for (VectorNode *n = doNodeVect->head; n != nullptr; n = n->next) {
        const DoNode *node = static_cast<const DoNode *>(n->element);
        if (node == nullptr || StrCompareNoCase(node->name, "DominantTableConfig") != 0) continue;
        const char *dominant = nullptr;
        for (VectorNode *a = node->attributes.head; a != nullptr; a = a->next) {
            const DoNodeAttribute *attribute = static_cast<const DoNodeAttribute *>(a->element);
            if (StrCompareNoCase(attribute->name, "DOMINANTTABLEID") == 0) {
                dominant = attribute->value;
            } else if (StrCompareNoCase(attribute->name, "isindexed") == 0 &&
                       StrCompareNoCase(attribute->value, "true") == 0) {
                // One failure (an index table made on an earlier start, say) must not keep
                // the later tables of the file from being made.
                if (!CreateOne(dominant)) result = 0;
                break;
            }
        }
    }
    return result;
}

Vector *GetPKColumnInfo(const char *tableName) {
    LogTrace("@@@ Inside GetPKColumnInfo @@@\n");
    if (tableName == nullptr) {
        LogError("Cannot get PKColumnInfo.  TableName is NULL\n");
        return nullptr;
    }
    TableDefn *defn = GetTableDefn(tableName);
    if (defn == nullptr) {
        LogError("No table definition found for %s.\n", tableName);
        return nullptr;
    }
    if (defn->constraints == nullptr) {
        LogError("No constraints for table %s\n", tableName);
        return nullptr;
    }
    Vector *columns = NewVector();
    if (columns == nullptr) return nullptr;
    for (int k = 0; k < defn->constraints->primaryKeyCount; ++k) {
        ColumnDefn *column =
            GetColumnDefnEntry(defn->name, defn->constraints->primaryKeyColumns[k]);
        if (column != nullptr && AddElementData(columns, column) != 1) {
            LogError("MEMORY_ALLOCATION_FAILURE\n");
            FreeVector(columns);
            free(columns);
            return nullptr;
        }
    }
    return columns;
}

char *ConstructPKColumnString(Vector *pkColumnInfo) {
    LogTrace("@@@ Inside ConstructPKColumnString @@@\n");
    if (pkColumnInfo == nullptr) return nullptr;
    try {
        std::string text;
        for (VectorNode *n = pkColumnInfo->head; n != nullptr; n = n->next) {
            const ColumnDefn *column = static_cast<const ColumnDefn *>(n->element);
            text += std::string(column->name) + " ";
            if (IntegerKeyType(column->dataType)) {
                text += "INT, ";
            } else if (TextKeyType(column->dataType)) {
                text += "VARCHAR(" + std::to_string(column->maxSize) + "), ";
            }
        }
        return strdup(text.c_str());
    } catch (const std::bad_alloc &) {
        LogError("MEMORY_ALLOCATION_FAILURE\n");
        return nullptr;
    }
}

char *ConstructPKValueString(const char *tableName, RowUnit *rowUnit) {
    LogTrace("@@@ Inside ConstructPKValueString @@@\n");
    Vector *keyColumns = GetPKColumnInfo(tableName);
    if (keyColumns == nullptr || keyColumns->head == nullptr) {
        LogError("No primary columns in the dominant table.\n");
        if (keyColumns != nullptr) free(keyColumns);
        return nullptr;
    }
    TableDefn *defn = GetTableDefn(tableName);
    std::string text;
    bool ok = rowUnit != nullptr && rowUnit->values != nullptr && rowUnit->lengths != nullptr;
    try {
        ok = ok && AppendKeyCondition(keyColumns, tableName, defn, rowUnit, &text);
    } catch (const std::bad_alloc &) {
        LogError("MEMORY_ALLOCATION_FAILURE\n");
        ok = false;
    }
    FreeVector(keyColumns);
    free(keyColumns);
    return ok ? strdup(text.c_str()) : nullptr;
}

int AddEntryToIndexTable(const char *tableName, RowObject *row) {
    LogTrace("@@@ Inside AddEntryToIndexTable @@@\n");
    TableDefn *defn = tableName != nullptr ? GetTableDefn(tableName) : nullptr;
    Vector *keys =
        defn != nullptr && defn->constraints != nullptr ? defn->constraints->foreignKeys : nullptr;
    if (keys == nullptr || keys->head == nullptr) {
        LogTrace("No References.\n");
        return 1;
    }
    if (row == nullptr || row->values == nullptr || row->lengths == nullptr) {
        LogError("Cannot Add Entry Into Index Table\n");
        return 0;
    }
    const bool remove = (row->state & (ROW_STATE_STORED | ROW_STATE_DELETED)) ==
                        (ROW_STATE_STORED | ROW_STATE_DELETED);
    const bool add =
        row->state == ROW_STATE_NEW || row->state == (ROW_STATE_NEW | ROW_STATE_MODIFIED);
    if (!remove && !add) return 1;
    try {
        const std::vector<TableDefn *> targets = IndexTargets(defn);
        for (VectorNode *k = keys->head; k != nullptr; k = k->next) {
            const ForeignKeyDefn *key = static_cast<const ForeignKeyDefn *>(k->element);
            if (key->referenceTable == nullptr || key->referenceColumn == nullptr) continue;
            for (const TableDefn *dominant : targets) {
                if (!IndexOne(defn, key, dominant, row, add)) {
                    LogError("Cannot Add Entry Into Index Table\n");
                    return 0;
                }
            }
        }
    } catch (const std::bad_alloc &) {
        LogError("MEMORY_ALLOCATION_FAILURE\n");
        return 0;
    }
    return 1;
}

void FindRootTable(const char *tableName, const char *columnName, Vector *rootTables,
                   Vector *rootColumns) {
    LogTrace("@@@ Inside FindRootTable @@@\n");
    if (tableName == nullptr || rootTables == nullptr || rootColumns == nullptr) return;
    try {
        Chain chain;
        CollectRoots(tableName, columnName, rootTables, rootColumns, chain);
    } catch (const std::bad_alloc &) {
        LogError("MEMORY_ALLOCATION_FAILURE\n");
    }
}

int GetColIndex(const char *columnName, const char *tableName, TableDefn *tableDefn) {
    LogTrace("@@@ Inside GetColIndex @@@\n");
    if (tableDefn == nullptr && tableName != nullptr) tableDefn = GetTableDefn(tableName);
    if (columnName == nullptr || tableDefn == nullptr) return -1;
    int position = 0;
    for (VectorNode *n = tableDefn->columns->head; n != nullptr; n = n->next, ++position) {
        if (strcmp(static_cast<ColumnDefn *>(n->element)->name, columnName) == 0) return position;
    }
    return -1;
}

}  // extern "C"
