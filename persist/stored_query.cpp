// Stored select queries; see stored_query.h for the contract.
#include "persist/stored_query.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "db/conn_params.h"
#include "db/connection_pool.h"
#include "db/data_source_map.h"
#include "db/providers.h"
#include "db/statements.h"
#include "logging/log.h"
#include "persist/data_folder.h"
#include "platform/files.h"
#include "store/column_defn.h"
#include "store/dictionary_loader.h"
#include "util/mempool.h"

namespace {

// A value read from a result cell: its text, and its number when it has one.
struct Value {
    std::string text;
    long long number = 0;
};

Value CellValue(const unsigned char *bytes, int32_t length, unsigned char type) {
    Value value;
    if (type >= VEL_SQL_TINYINT && type <= VEL_SQL_UNSIGNED_LONG_INT) {
        value.number = ReadStoredInteger(bytes, length, type);
        value.text = std::to_string(value.number);
    } else {
        value.text.assign(reinterpret_cast<const char *>(bytes), size_t(length > 0 ? length : 0));
        value.number = strtoll(value.text.c_str(), nullptr, 10);
    }
    return value;
}

// The first value of the set's current row; nullopt for SQL NULL or no row.
std::optional<Value> FirstValue(ResultSet *set) {
    if (set == nullptr || set->cursor == nullptr || set->cursor->values == nullptr) {
        return std::nullopt;
    }
    const ResultCell *cell = set->cursor->values;
    if (cell->bytes == nullptr) return std::nullopt;
    return CellValue(cell->bytes, cell->length,
                     set->columnCount > 0 ? set->columns[0].dataType : 0);
}

// The named column of the set's current row; nullopt for SQL NULL or an unknown column.
std::optional<Value> NamedValue(ResultSet *set, const char *column) {
    int32_t length = 0;
    const unsigned char *bytes = GetResultValueByName(column, &length, set);
    if (bytes == nullptr) return std::nullopt;
    return CellValue(bytes, length, GetResultColumnType(column, set));
}

std::string WithId(const char *format, int id) {
    char number[16];
    snprintf(number, sizeof number, "%d", id);
    std::string sql(format);
    sql.replace(sql.find("%d"), 2, number);
    return sql;
}

// A statement on the table's connection, the handle released straight after it ran.
class TableStatement {
  public:
    TableStatement(const char *table, const std::string &sql) {
        const char *connection = GetConnectionNameForTable(table);
        ConnectionHandle *handle = GetConnectionHandle(connection);
        set_ = ExecuteQuery(handle, sql.c_str());
        if (handle != nullptr) ReleaseConnectionHandle(connection);
    }
    TableStatement(ConnectionHandle *handle, const std::string &sql)
        : set_(ExecuteQuery(handle, sql.c_str())) {}
    ~TableStatement() { FreeResultSet(set_); }
    TableStatement(const TableStatement &) = delete;
    TableStatement &operator=(const TableStatement &) = delete;

    ResultSet *set() const { return set_; }
    bool HasRows() const { return set_ != nullptr && set_->firstRow != nullptr; }
    // The first value of the first row.
    std::optional<Value> Single() {
        if (set_ == nullptr) return std::nullopt;
        ResetResultCursor(set_);
        if (NextResultRow(set_) == nullptr) return std::nullopt;
        return FirstValue(set_);
    }
    // The first value of every row, in result order (rows holding NULL are passed over).
    std::vector<int> Ids() {
        std::vector<int> ids;
        if (set_ == nullptr) return ids;
        ResetResultCursor(set_);
        while (NextResultRow(set_) != nullptr) {
            if (std::optional<Value> id = FirstValue(set_)) ids.push_back(int(id->number));
        }
        return ids;
    }

  private:
    ResultSet *set_ = nullptr;
};

std::optional<std::string> ReadText(const char *table, const char *format, int id) {
    TableStatement statement(table, WithId(format, id));
    std::optional<Value> value = statement.Single();
    if (!value) return std::nullopt;
    return value->text;
}

std::optional<long long> ReadNumber(const char *table, const char *format, int id) {
    TableStatement statement(table, WithId(format, id));
    std::optional<Value> value = statement.Single();
    if (!value) return std::nullopt;
    return value->number;
}

std::optional<std::string> ReadTextOn(ConnectionHandle *handle, const char *format, int id) {
    TableStatement statement(handle, WithId(format, id));
    std::optional<Value> value = statement.Single();
    if (!value) return std::nullopt;
    return value->text;
}

// The ids of one of the query's lists; empty (with the message at debug level) when there
// are none.
std::vector<int> ListIds(const char *table, const char *format, int queryId, const char *none) {
    TableStatement statement(table, WithId(format, queryId));
    std::vector<int> ids = statement.Ids();
    if (ids.empty()) LogDebug("%s", none);
    return ids;
}

const char *Or(const std::optional<std::string> &text) {
    return text ? text->c_str() : nullptr;
}

// The position of text in the table of texts, 0 when absent or not there.
unsigned char Position(const std::optional<std::string> &text, const char *const *texts,
                       int count) {
    if (!text) return 0;
    for (int i = 0; i < count; ++i) {
        if (*text == texts[i]) return static_cast<unsigned char>(i);
    }
    return 0;
}

// The dictionary's type for a selected column; CHAR when the dictionary does not know it.
// A select column holds no TEXT code (the select model stops at CLOB), so a TEXT column is
// selected as VARCHAR rather than refused.
unsigned char SelectType(const std::optional<std::string> &table,
                         const std::optional<std::string> &column) {
    const ColumnDefn *defn = table && column ? GetColumnDefnEntry(Or(table), Or(column)) : nullptr;
    if (defn == nullptr) return VEL_SQL_CHAR;
    return defn->dataType == VEL_SQL_TEXT ? static_cast<unsigned char>(VEL_SQL_VARCHAR)
                                          : defn->dataType;
}

std::optional<int> CriteriaRoot(int queryId) {
    std::optional<long long> root = ReadNumber(
        "QueryvsCriteria", "SELECT B_ID FROM QueryvsCriteria WHERE QUERY_ID = %d", queryId);
    if (!root) return std::nullopt;
    return int(*root);
}

// The criteria ids from the root down to the node being read: an id met again on its own
// path would make the tree endless.
class CriteriaPath {
  public:
    bool Enter(int id) {
        if (std::find(ids_.begin(), ids_.end(), id) != ids_.end()) {
            LogError("Criteria id %d of a stored query refers back to itself; left out\n", id);
            return false;
        }
        ids_.push_back(id);
        return true;
    }
    void Leave() { ids_.pop_back(); }

  private:
    std::vector<int> ids_;
};

QueryCriterion *BooleanSubtree(int id, apr_pool_t *pool, ConnectionHandle *handle,
                               CriteriaPath *path) {
    if (!path->Enter(id)) return nullptr;
    TableStatement statement(handle, WithId("SELECT * FROM BooleanExp WHERE B_ID = %d", id));
    if (!statement.HasRows()) {
        path->Leave();
        return LoadRelationalExp(id, pool);
    }
    ResultSet *set = statement.set();
    ResetResultCursor(set);
    NextResultRow(set);
    std::optional<Value> left = NamedValue(set, "LEXPRESSION");
    std::optional<Value> right = NamedValue(set, "REXPRESSION");
    std::optional<Value> op = NamedValue(set, "OPERATOR");
    QueryCriterion *leftTree =
        left ? BooleanSubtree(int(left->number), pool, handle, path) : nullptr;
    QueryCriterion *rightTree =
        right ? BooleanSubtree(int(right->number), pool, handle, path) : nullptr;
    path->Leave();
    // A node missing one operand stands for the other, as a missing part is left out.
    if (leftTree == nullptr) return rightTree;
    if (rightTree == nullptr) return leftTree;
    if (op && op->text == "AND") return CriteriaAnd(leftTree, rightTree, pool);
    return CriteriaOr(leftTree, rightTree, pool);
}

int BooleanText(int id, ConnectionHandle *handle, StringBuffer *text, CriteriaPath *path) {
    if (!path->Enter(id)) return 1;
    int ok = 1;
    TableStatement node(handle, WithId("SELECT B_ID FROM BooleanExp WHERE B_ID = %d", id));
    if (!node.HasRows()) {
        ok = AppendRelationalExpText(id, text);
    } else {
        std::optional<std::string> left =
            ReadTextOn(handle, "SELECT LEXPRESSION FROM BooleanExp WHERE B_ID = %d", id);
        if (left) ok = BooleanText(int(strtol(left->c_str(), nullptr, 10)), handle, text, path);
        std::optional<std::string> op =
            ReadTextOn(handle, "SELECT OPERATOR FROM BooleanExp WHERE B_ID = %d", id);
        if (ok && op) ok = AppendToStringBuffer(text, op->c_str()) == 1;
        std::optional<std::string> right =
            ReadTextOn(handle, "SELECT REXPRESSION FROM BooleanExp WHERE B_ID = %d", id);
        if (ok && right)
            ok = BooleanText(int(strtol(right->c_str(), nullptr, 10)), handle, text, path);
    }
    path->Leave();
    return ok;
}

// Runs the loader, turning lack of memory into its failure.
template <typename F>
int Guarded(F &&body) {
    try {
        return body();
    } catch (const std::bad_alloc &) {
        LogError("Unable to allocate memory\n");
        return 0;
    }
}

}  // namespace

extern "C" {

int LoadQueryColumns(int queryId, SelectQuery *query, apr_pool_t *pool) {
    LogTrace("@@@ Inside LoadQueryColumns @@@\n");
    return Guarded([&] {
        for (int id :
             ListIds("QueryvsColumns", "SELECT COLUMN_ID FROM QueryvsColumns WHERE QUERY_ID = %d",
                     queryId, "\nNo Columns to be selected.\n")) {
            auto column = ReadText("ColumnDetails",
                                   "SELECT COLUMNNAME FROM ColumnDetails WHERE COLUMN_ID = %d", id);
            auto columnAlias = ReadText(
                "ColumnDetails", "SELECT COLUMNALIAS FROM ColumnDetails WHERE COLUMN_ID = %d", id);
            auto table = ReadText("ColumnDetails",
                                  "SELECT TABLENAME FROM ColumnDetails WHERE COLUMN_ID = %d", id);
            auto tableAlias = ReadText(
                "ColumnDetails", "SELECT TABLEALIAS FROM ColumnDetails WHERE COLUMN_ID = %d", id);
            auto function = ReadText(
                "ColumnDetails", "SELECT FUNCTIONNAME FROM ColumnDetails WHERE COLUMN_ID = %d", id);
            SelectColumn *selected = CreateSelectColumn(
                Or(table), Or(tableAlias), Or(column), Or(columnAlias), 0,
                SelectType(table, column), Position(function, gv_aggregateTexts, 7), pool);
            if (selected != nullptr) AddSelectColumn(query, selected);
        }
        return 1;
    });
}

int LoadQueryTables(int queryId, SelectQuery *query, apr_pool_t *pool) {
    LogTrace("@@@ Inside LoadQueryTables @@@\n");
    return Guarded([&] {
        for (int id :
             ListIds("QueryvsTables", "SELECT TABLE_ID FROM QueryvsTables WHERE QUERY_ID = %d",
                     queryId, "\nNo Tables to be selected\n")) {
            auto name = ReadText("TableDetails",
                                 "SELECT TABLENAME FROM TableDetails WHERE TABLE_ID = %d", id);
            auto alias = ReadText("TableDetails",
                                  "SELECT TABLEALIAS FROM TableDetails WHERE TABLE_ID = %d", id);
            if (alias) {
                printf("\nTable Alias = %s", alias->c_str());
                fflush(stdout);
            }
            SelectTable *table = name ? CreateSelectTable(Or(name), Or(alias), pool) : nullptr;
            if (table != nullptr) AddSelectTable(query, table);
        }
        return 1;
    });
}

int LoadQueryJoins(int queryId, SelectQuery *query, apr_pool_t *pool) {
    LogTrace("@@@ Inside LoadQueryJoins @@@\n");
    return Guarded([&] {
        for (int id :
             ListIds("QueryvsJoins", "SELECT JOIN_ID FROM QueryvsJoins WHERE QUERY_ID = %d",
                     queryId, "\nNo Join details\n")) {
            const char *t = "JoinDetails";
            auto base = ReadText(t, "SELECT BASETABLENAME FROM JoinDetails WHERE JOIN_ID = %d", id);
            auto baseAlias =
                ReadText(t, "SELECT BASETABLEALIAS FROM JoinDetails WHERE JOIN_ID = %d", id);
            auto ref = ReadText(t, "SELECT REFTABLENAME FROM JoinDetails WHERE JOIN_ID = %d", id);
            auto refAlias =
                ReadText(t, "SELECT REFTABLEALIAS FROM JoinDetails WHERE JOIN_ID = %d", id);
            auto baseColumn =
                ReadText(t, "SELECT BASETABLECOLUMN FROM JoinDetails WHERE JOIN_ID = %d", id);
            auto refColumn =
                ReadText(t, "SELECT REFTABLECOLUMN FROM JoinDetails WHERE JOIN_ID = %d", id);
            auto type = ReadText(t, "SELECT JOINTYPE FROM JoinDetails WHERE JOIN_ID = %d", id);
            Vector *baseList = NewColumnList(pool);
            Vector *refList = NewColumnList(pool);
            SelectColumn *baseSelected =
                CreateListColumn(Or(base), nullptr, Or(baseColumn), nullptr, 0, 0, 0, pool);
            SelectColumn *refSelected =
                CreateListColumn(Or(ref), nullptr, Or(refColumn), nullptr, 0, 0, 0, pool);
            // A join without its column pair would compare nothing: it is left out.
            if (baseList == nullptr || refList == nullptr || baseSelected == nullptr ||
                refSelected == nullptr || !AppendListColumn(pool, baseSelected, baseList) ||
                !AppendListColumn(pool, refSelected, refList)) {
                LogError("Join %d of stored query %d is incomplete; left out\n", id, queryId);
                continue;
            }
            SelectJoin *join =
                CreateSelectJoin(Or(base), Or(baseAlias), Or(ref), Or(refAlias),
                                 Position(type, gv_joinTypeTexts, 2), baseList, refList, pool);
            if (join != nullptr) AddSelectJoin(query, join);
        }
        return 1;
    });
}

int LoadQueryGroupBy(int queryId, SelectQuery *query, apr_pool_t *pool) {
    LogTrace("@@@ Inside LoadQueryGroupBy @@@\n");
    return Guarded([&] {
        std::vector<int> ids =
            ListIds("QueryvsGB", "SELECT GB_ID FROM QueryvsGB WHERE QUERY_ID = %d", queryId,
                    "\nNo GroupBy details\n");
        if (ids.empty()) return 1;
        Vector *list = NewColumnList(pool);
        for (int id : ids) {
            auto table = ReadText("GroupByDetails",
                                  "SELECT TABLENAME FROM GroupByDetails WHERE GB_ID = %d", id);
            auto column = ReadText("GroupByDetails",
                                   "SELECT COLUMNNAME FROM GroupByDetails WHERE GB_ID = %d", id);
            SelectColumn *selected =
                CreateSelectColumn(Or(table), nullptr, Or(column), nullptr, 0, 0, 0, pool);
            if (selected != nullptr) AppendListColumn(pool, selected, list);
        }
        if (list != nullptr && list->count > 0)
            SetGroupBy(query, CreateGroupBy(list, nullptr, pool));
        return 1;
    });
}

int LoadQuerySort(int queryId, SelectQuery *query, apr_pool_t *pool) {
    LogTrace("@@@ Inside LoadQuerySort @@@\n");
    return Guarded([&] {
        std::vector<int> ids =
            ListIds("QueryvsSort", "SELECT SORT_ID FROM QueryvsSort WHERE QUERY_ID = %d", queryId,
                    "\nNo Sort details\n");
        if (ids.empty()) return 1;
        Vector *list = NewColumnList(pool);
        // The whole sort goes the way the last row says; ascending until a row says otherwise.
        unsigned char direction = 1;
        for (int id : ids) {
            auto table =
                ReadText("SortDetails", "SELECT TABLENAME FROM SortDetails WHERE SORT_ID = %d", id);
            auto column = ReadText("SortDetails",
                                   "SELECT COLUMNNAME FROM SortDetails WHERE SORT_ID = %d", id);
            auto type = ReadNumber("SortDetails",
                                   "SELECT SORTTYPE FROM SortDetails WHERE SORT_ID = %d", id);
            if (type) direction = static_cast<unsigned char>(*type & 0xFF);
            SelectColumn *selected =
                CreateSelectColumn(Or(table), nullptr, Or(column), nullptr, 0, 0, 0, pool);
            if (selected != nullptr) AppendListColumn(pool, selected, list);
        }
        if (list != nullptr && list->count > 0) {
            SetSortOrder(query, CreateSortOrder(list, direction, pool));
        }
        return 1;
    });
}

int LoadQueryCriteria(int queryId, SelectQuery *query, apr_pool_t *pool) {
    LogTrace("@@@ Inside LoadQueryCriteria @@@\n");
    return Guarded([&] {
        std::optional<int> root = CriteriaRoot(queryId);
        if (!root) return 1;
        const char *connection = GetConnectionNameForTable("BooleanExp");
        ConnectionHandle *handle = GetConnectionHandle(connection);
        QueryCriterion *tree = LoadBooleanExp(*root, pool, handle);
        if (handle != nullptr) ReleaseConnectionHandle(connection);
        SetCriteria(query, tree);
        return 1;
    });
}

QueryCriterion *LoadBooleanExp(int id, apr_pool_t *pool, ConnectionHandle *handle) {
    LogTrace("@@@ Inside LoadBooleanExp @@@\n");
    try {
        CriteriaPath path;
        return BooleanSubtree(id, pool, handle, &path);
    } catch (const std::bad_alloc &) {
        LogError("Unable to allocate memory\n");
        return nullptr;
    }
}

QueryCriterion *LoadRelationalExp(int id, apr_pool_t *pool) {
    LogTrace("@@@ Inside LoadRelationalExp @@@\n");
    try {
        TableStatement statement("RelationalExp",
                                 WithId("SELECT * FROM RelationalExp WHERE R_ID = %d", id));
        if (!statement.HasRows()) {
            LogDebug("\nInvalid ID\n");
            return nullptr;
        }
        ResultSet *set = statement.set();
        ResetResultCursor(set);
        NextResultRow(set);
        std::optional<Value> column = NamedValue(set, "LIDENTIFIER");
        std::optional<Value> value = NamedValue(set, "RIDENTIFIER");
        std::optional<Value> op = NamedValue(set, "OPERATOR");
        SelectColumn *selected =
            CreateSelectColumn(nullptr, nullptr, column ? column->text.c_str() : nullptr, nullptr,
                               0, VEL_SQL_VARCHAR, 0, pool);
        std::optional<std::string> opText;
        if (op) opText = op->text;
        return CreateCriterion(selected, value ? value->text.c_str() : nullptr,
                               value ? int32_t(value->text.size()) : 0,
                               Position(opText, gv_operatorTexts, 11), pool);
    } catch (const std::bad_alloc &) {
        LogError("Unable to allocate memory\n");
        return nullptr;
    }
}

int PrintQueryCriteria(int queryId, apr_pool_t *pool) {
    LogTrace("@@@ Inside PrintQueryCriteria @@@\n");
    (void)pool;
    return Guarded([&] {
        std::optional<int> root = CriteriaRoot(queryId);
        if (!root) return 1;
        StringBuffer text{};
        if (InitStringBuffer(&text, 256, 256) != 1) return 1;
        const char *connection = GetConnectionNameForTable("BooleanExp");
        ConnectionHandle *handle = GetConnectionHandle(connection);
        AppendBooleanExpText(*root, handle, &text);
        if (handle != nullptr) ReleaseConnectionHandle(connection);
        LogDebug("\n%s\n", text.text);
        FreeStringBuffer(&text);
        return 1;
    });
}

int AppendBooleanExpText(int id, ConnectionHandle *handle, StringBuffer *text) {
    LogTrace("@@@ Inside AppendBooleanExpText @@@\n");
    return Guarded([&] {
        CriteriaPath path;
        return BooleanText(id, handle, text, &path);
    });
}

int AppendRelationalExpText(int id, StringBuffer *text) {
    LogTrace("@@@ Inside AppendRelationalExpText @@@\n");
    return Guarded([&] {
        for (const char *format : {"SELECT LIDENTIFIER FROM RelationalExp WHERE R_ID = %d",
                                   "SELECT OPERATOR FROM RelationalExp WHERE R_ID = %d",
                                   "SELECT RIDENTIFIER FROM RelationalExp WHERE R_ID = %d"}) {
            std::optional<std::string> part = ReadText("RelationalExp", format, id);
            if (part && AppendToStringBuffer(text, part->c_str()) != 1) return 0;
        }
        return 1;
    });
}

SelectQuery *CreateStoredQuery(int queryId) {
    LogTrace("@@@ Inside CreateStoredQuery @@@\n");
    SelectQuery *query = CreateSelectQuery();
    if (query == nullptr) return nullptr;
    apr_pool_t *pool = query->pool;
    LoadQueryColumns(queryId, query, pool);
    LoadQueryTables(queryId, query, pool);
    LoadQueryJoins(queryId, query, pool);
    LoadQueryGroupBy(queryId, query, pool);
    LoadQuerySort(queryId, query, pool);
    LoadQueryCriteria(queryId, query, pool);
    return query;
}

int GenerateStoredQuery(int queryId) {
    LogTrace("@@@ Inside GenerateStoredQuery @@@\n");
    InitializeMemPool();
    SelectQuery *query = CreateStoredQuery(queryId);
    free(GenerateSelectQuery(query));
    FreeSelectQuery(query);
    TerminateMemPool();
    return 1;
}

int RunStoredQueries(void) {
    LogTrace("@@@ Inside RunStoredQueries @@@\n");
    return Guarded([] {
        InitLogSettings();
        OpenLog();
        InitializeMemPool();
        InitDBProvider();
        InitTableDefnList();
        InitQueryGenerators();
        LoadDBProvider("FIREBIRD");
        LoadAllDataDictFiles();
        PrintAllTableDefns();
        LoadDataSourceMapEntryFromFile(
            PlatNativePath(DATA_FOLDER_RELATIVE "dsn_table_map.txt").c_str());
        LoadConnParamsEntryFromFile(PlatNativePath(DATA_FOLDER_RELATIVE "connparams.txt").c_str());
        EstablishDBConnections();

        const char *connection = GetConnectionNameForTable("QueryDetails");
        ConnectionHandle *handle = GetConnectionHandle(connection);
        ResultSet *ids = ExecuteQuery(handle, "SELECT QUERY_ID FROM QueryDetails");
        if (ids == nullptr) {
            if (handle != nullptr) ReleaseConnectionHandle(connection);
            LogError("Query failed\n");
            return 0;
        }
        while (NextResultRow(ids) != nullptr) {
            std::optional<Value> id = FirstValue(ids);
            if (!id) continue;
            SelectQuery *query = CreateStoredQuery(int(id->number));
            char *sql = GenerateSelectQuery(query);
            ResultSet *rows = sql != nullptr ? ExecuteQuery(handle, sql) : nullptr;
            PrintResultSet(rows);
            FreeResultSet(rows);
            free(sql);
            FreeSelectQuery(query);
        }
        FreeResultSet(ids);
        ReleaseConnectionHandle(connection);
        TerminateMemPool();
        return 1;
    });
}

}  // extern "C"
