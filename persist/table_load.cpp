// Loading tables and views from the database; see table_load.h for the contract.
#include "persist/table_load.h"

#include <stdlib.h>
#include <string.h>

#include <new>
#include <string>

#include "db/conn_params.h"
#include "db/connection_pool.h"
#include "db/data_source_map.h"
#include "db/providers.h"
#include "db/statements.h"
#include "logging/log.h"
#include "persist/data_folder.h"
#include "platform/files.h"
#include "store/custom_view.h"
#include "store/table_data.h"

namespace {

// The connection a load runs on and the dialect its rows are read in.
struct TableConnection {
    ConnectionHandle *handle = nullptr;
    const char *name = nullptr; /* null: the default connection */
    const char *dialect = nullptr;
};

// With the data source map in use, the table's own connection and its dialect; otherwise the
// default connection and the default dialect. False (nothing logged) when the map is in use
// and the table has no entry or its connection has no free handle.
bool ChooseTableConnection(const char *tableName, TableConnection *out) {
    if (gv_dsnMapValid == 1) {
        const DataSourceMapEntry *entry = GetDataSourceMapEntry(tableName);
        if (entry == nullptr) return false;
        out->name = entry->connectionName;
        out->handle = GetConnectionHandle(out->name);
        if (out->handle == nullptr) return false;
        out->dialect = GetDialectForConnection(out->name);
        return true;
    }
    out->name = nullptr;
    out->dialect = gv_defaultDialect < 4 ? gv_dialectNames[gv_defaultDialect] : nullptr;
    // No handle here is reported by the statement that then cannot run.
    out->handle = GetConnectionHandle(nullptr);
    return true;
}

// Runs a select on the table's connection and gives the connection back at once, before any
// row is converted. Null when no connection can be had or the statement fails.
ResultSet *RunSelect(const TableConnection &connection, const char *sql) {
    ResultSet *set = ExecuteQuery(connection.handle, sql);
    ReleaseConnectionHandle(connection.name);
    return set;
}

// Rows converted for a table hold a slot per result column; an owner frees a row by its own
// column count, so values past that count (a select returning extra columns) are dropped
// here rather than left to leak.
void TrimRow(RowObject *row, int resultColumns, int ownerColumns) {
    for (int i = ownerColumns; i < resultColumns; ++i) {
        free(row->values[i]);
        row->values[i] = nullptr;
        row->lengths[i] = 0;
    }
}

// Converts every row of the set for tableName and adds it to target (the table itself, or a
// view laid out like it). False at the first row that cannot be converted or added; the rows
// added before it stay.
bool AddResultRows(ResultSet *set, const char *dialect, const char *tableName, const char *target) {
    if (set == nullptr) return true;
    const TableData *owner = GetTableDataByName(target);
    const int ownerColumns = owner != nullptr ? owner->columnCount : 0;
    ResetResultCursor(set);
    while (NextResultRow(set) != nullptr) {
        RowObject *row = ConvertResultSetToRowObject(set, dialect, tableName);
        if (row == nullptr) return false;
        TrimRow(row, set->columnCount, ownerColumns);
        if (!AddNewRow(target, row)) {
            LogError("Cannot add a row loaded from the database to %s\n", target);
            FreeRowObject(row, set->columnCount > ownerColumns ? set->columnCount : ownerColumns);
            return false;
        }
    }
    return true;
}

int CountColumns(const TableDefn *defn) {
    return defn != nullptr && defn->columns != nullptr ? defn->columns->count : 0;
}

// Loads every line of a list in the loadtablelist.txt format; each table's result is ignored.
void LoadListedTables(FILE *file) {
    std::string line;
    while (ReadDataLine(file, &line)) {
        if (line.empty()) continue;
        const size_t blank = line.find(' ');
        if (blank == std::string::npos) {
            LoadTable(line.c_str());
            continue;
        }
        const std::string name = line.substr(0, blank);
        const std::string rest = line.substr(blank + 1);
        // Only these two spellings mark a select text: "Select" does not.
        if (rest.find("select") != std::string::npos || rest.find("SELECT") != std::string::npos) {
            LogTrace("LOADTABLE_QUERY : %s\n", rest.c_str());
            LoadTableByQuery(name.c_str(), rest.c_str());
        } else {
            LogTrace("LOADTABLE : %s\n", name.c_str());
            LoadTable(name.c_str());
        }
    }
}

void FreeViewColumns(Vector *columns) {
    if (columns == nullptr) return;
    for (VectorNode *node = columns->head; node != nullptr; node = node->next) free(node->element);
    FreeVector(columns);
    free(columns);
}

// The in-memory view: a definition over the one table, with every column of the table.
bool CreateViewLikeTable(const char *viewName, const char *tableName, const TableDefn *defn) {
    Vector *columns = NewVector();
    if (columns == nullptr) return false;
    for (VectorNode *node = defn->columns->head; node != nullptr; node = node->next) {
        auto *column = static_cast<ColumnDefn *>(node->element);
        LogTrace("%s\t", column->name);
        ViewColumnDefn *viewColumn = CreateViewColumnDefn(column->name, 0, 0, column);
        if (viewColumn != nullptr && !AddElementData(columns, viewColumn)) free(viewColumn);
    }
    char **baseNames = static_cast<char **>(malloc(sizeof(char *)));
    char *baseName = baseNames != nullptr ? strdup(tableName) : nullptr;
    if (baseName == nullptr) {
        free(baseNames);
        FreeViewColumns(columns);
        return false;
    }
    baseNames[0] = baseName;
    CustomViewDefn *viewDefn = CreateCustomViewDefn(1, baseNames, columns);
    if (viewDefn == nullptr) {
        free(baseName);
        free(baseNames);
        FreeViewColumns(columns);
        return false;
    }
    if (!CreateCustomViewData(viewName, viewDefn)) {
        FreeCustomViewDefn(viewDefn);
        free(viewDefn);
        return false;
    }
    return true;
}

}  // namespace

extern "C" {

int LoadTable(const char *tableName) {
    LogTrace("@@@ Inside LoadTable @@@\n");
    LogTrace("\nLoading Table : %s\n", tableName ? tableName : "(null)");
    if (tableName == nullptr) return 0;
    try {
        TableConnection connection;
        if (!ChooseTableConnection(tableName, &connection)) return 0;
        ResultSet *set = RunSelect(connection, (std::string("select * from ") + tableName).c_str());
        if (set == nullptr) {
            LogError("Error in executing select query for %s\n", tableName);
            return 0;
        }
        const TableDefn *defn = GetTableDefn(tableName);
        int ok = 0;
        if (defn == nullptr) {
            LogError("Error in getting Table Definition for %s\n", tableName);
        } else if (set->columnCount != CountColumns(defn)) {
            LogError(
                "\nLoadTable Failed for %s table as there is mismatch between table definition "
                "in datadictionary and actual table in database\n",
                tableName);
        } else if (!CreateTable(tableName)) {
            LogError("CreateTable Failed \n");
        } else {
            ok = AddResultRows(set, connection.dialect, tableName, tableName) ? 1 : 0;
        }
        FreeResultSet(set);
        return ok;
    } catch (const std::bad_alloc &) {
        LogError("Unable to allocate memory\n");
        return 0;
    }
}

int LoadTableByQuery(const char *tableName, const char *query) {
    LogTrace("@@@ Inside LoadTableByQuery @@@\n");
    LogTrace("\nLoading Table : %s\n", tableName ? tableName : "(null)");
    LogTrace("\nSelect Query  : %s\n", query ? query : "(null)");
    if (tableName == nullptr) return 0;
    TableConnection connection;
    if (!ChooseTableConnection(tableName, &connection)) return 0;
    ResultSet *set = RunSelect(connection, query);
    if (set == nullptr) LogError("Error in executing select query \n");
    int ok = CreateTable(tableName) && AddResultRows(set, connection.dialect, tableName, tableName);
    FreeResultSet(set);
    return ok;
}

int LoadViewByQuery(const char *viewName, const char *tableName, const char *query) {
    LogTrace("@@@ Inside LoadViewByQuery @@@\n");
    LogTrace("\nLoading View Data : %s\n", viewName ? viewName : "(null)");
    if (viewName == nullptr || tableName == nullptr) return 0;
    TableConnection connection;
    if (!ChooseTableConnection(tableName, &connection)) return 0;
    ResultSet *set = RunSelect(connection, query);
    if (set == nullptr) LogError("Error in executing select query \n");
    const TableDefn *defn = GetTableDefn(tableName);
    int ok = defn != nullptr && defn->columns != nullptr &&
             CreateViewLikeTable(viewName, tableName, defn) &&
             AddResultRows(set, connection.dialect, tableName, viewName);
    FreeResultSet(set);
    return ok;
}

int LoadTablesFromList(const char *path) {
    LogTrace("@@@ Inside LoadTablesFromList @@@\n");
    FILE *file = path != nullptr ? PlatOpenStream(path, "r") : nullptr;
    if (file == nullptr) return 0;
    try {
        LoadListedTables(file);
    } catch (const std::bad_alloc &) {
        LogError("Unable to allocate memory\n");
    }
    fclose(file);
    return 1;
}

int LoadAllTables(void) {
    LogTrace("@@@ Inside LoadAllTables @@@\n");
    FILE *file = OpenDataFolderFile("loadtablelist.txt", 1, nullptr);
    if (file == nullptr) {
        LogError("Cannot open LoadTableList Entry File.\n");
        return 0;
    }
    try {
        LoadListedTables(file);
    } catch (const std::bad_alloc &) {
        LogError("Unable to allocate memory\n");
    }
    fclose(file);
    return 1;
}

int UnLoadTable(const char *tableName) {
    LogTrace("@@@ Inside UnLoadTable @@@\n");
    TableData *table = GetTableDataByName(tableName);
    if (table == nullptr) return 0;
    DeleteLCDVector(GetTableDataList(), table);
    FreeTableData(table);
    free(table);
    return 1;
}

int UnLoadAllTable(void) {
    LogTrace("@@@ Inside UnLoadAllTable @@@\n");
    Vector *list = GetTableDataList();
    while (list->head != nullptr) {
        auto *table = static_cast<TableData *>(list->head->element);
        FreeTableData(table);
        free(table);
        DeleteElementAt(list, 0);
    }
    return 1;
}

int ReloadTableData(void) {
    LogTrace("@@@ Inside ReloadTableData @@@\n");
    UnLoadAllTable();
    return LoadAllTables();
}

RowObject *MakeRowObjectFromResultSet(ResultSet *set) {
    LogTrace("@@@ Inside MakeRowObjectFromResultSet @@@\n");
    if (set == nullptr || set->cursor == nullptr || set->columnCount < 0) return nullptr;
    const size_t count = size_t(set->columnCount) > 0 ? size_t(set->columnCount) : 1;
    void **values = static_cast<void **>(calloc(count, sizeof(void *)));
    int *lengths = static_cast<int *>(calloc(count, sizeof(int)));
    RowObject *row = values && lengths ? CreateNewRowObject(values, lengths) : nullptr;
    if (row == nullptr) {
        free(values);
        free(lengths);
        return nullptr;
    }
    row->state = ROW_STATE_STORED;
    int i = 0;
    for (const ResultCell *cell = set->cursor->values; cell != nullptr && i < set->columnCount;
         cell = cell->next, ++i) {
        if (cell->bytes == nullptr) continue;
        // A date or time cell holds pointers into the result set: CopyColumnValue copies what
        // they point to, so the row outlives the set.
        void *copy = CopyColumnValue(cell->bytes, cell->length, set->columns[i].dataType);
        if (copy == nullptr) {
            FreeRowObject(row, set->columnCount);
            return nullptr;
        }
        row->values[i] = copy;
        row->lengths[i] = cell->length;
    }
    return row;
}

}  // extern "C"
