// tamber: starts the data-store library on a data folder and runs one command on it.
//
//   tamber --root DIR [--log-level N] COMMAND [ARGS]
//
// Exit 0 on success, 1 when the command fails, 2 for a bad command line, 3 when the library
// cannot start (the message names the step).
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <system_error>
#include <vector>

#include "db/conn_params.h"
#include "db/connection_pool.h"
#include "db/statements.h"
#include "logging/log.h"
#include "persist/stored_query.h"
#include "persist/table_load.h"
#include "persist/table_save.h"
#include "persist/tamber_init.h"
#include "store/column_defn.h"
#include "store/result_data.h"
#include "store/table_data.h"
#include "tamber/personality_command.h"

namespace {

namespace fs = std::filesystem;

const char kUsage[] =
    "Usage: tamber --root DIR [--log-level N] COMMAND [ARGS]\n"
    "\n"
    "Starts the Tamber data store on the data folder DIR/data, runs COMMAND and stops it.\n"
    "\n"
    "Commands:\n"
    "  tables                   the loaded tables and their row counts\n"
    "  select TABLE [CRITERIA]  the rows of TABLE (those matching CRITERIA, such as\n"
    "                           \"STATUS = 1 and HOSTNAME = 'ws-01'\") as a table\n"
    "  load-xml FILE            adds the rows of a table-data XML file and saves its tables\n"
    "  save [TABLE...]          saves the tables named, or those of savetableslist.txt\n"
    "  stored-queries           runs every stored query and prints its rows\n"
    "  personality NAME [CRITERIA-TABLE CRITERIA]\n"
    "                           the data object of a personality of the files that\n"
    "                           data/personalities.txt lists: its dominant table's rows with\n"
    "                           their constituents' rows (those where CRITERIA, written\n"
    "                           against one of its tables, holds)\n"
    "\n"
    "  --log-level N            0 none, 1 info, 2 errors, 3 debug (default), 4 trace;\n"
    "                           the log is DIR/logs/tamber.log\n";

enum Exit { kOk = 0, kFailed = 1, kBadCommandLine = 2, kNoStart = 3 };

struct Options {
    std::string root;
    int logLevel = -1;
    std::string command;
    std::vector<std::string> args;
};

bool ParseOptions(int argc, char **argv, Options *options, std::string *error) {
    int i = 1;
    for (; i < argc && argv[i][0] == '-' && argv[i][1] == '-'; ++i) {
        const std::string option = argv[i];
        if (option == "--help") {
            *error = "";
            return false;
        }
        if (i + 1 >= argc) {
            *error = option + " needs a value";
            return false;
        }
        if (option == "--root") {
            options->root = argv[++i];
        } else if (option == "--log-level") {
            char *end = nullptr;
            const long level = strtol(argv[++i], &end, 10);
            if (*end != '\0' || level < 0 || level > 4) {
                *error = "--log-level takes 0 to 4";
                return false;
            }
            options->logLevel = int(level);
        } else {
            *error = "unknown option " + option;
            return false;
        }
    }
    if (options->root.empty()) {
        *error = "--root DIR is required";
        return false;
    }
    if (i >= argc) {
        *error = "no command given";
        return false;
    }
    options->command = argv[i++];
    for (; i < argc; ++i) options->args.emplace_back(argv[i]);
    const std::string &c = options->command;
    const size_t n = options->args.size();
    const bool fits = (c == "tables" && n == 0) || (c == "select" && (n == 1 || n == 2)) ||
                      (c == "load-xml" && n == 1) || c == "save" ||
                      (c == "stored-queries" && n == 0) ||
                      (c == "personality" && (n == 1 || n == 3));
    if (!fits) {
        const bool known = c == "tables" || c == "select" || c == "load-xml" ||
                           c == "stored-queries" || c == "personality";
        *error = known ? "wrong arguments for " + c : "unknown command " + c;
        return false;
    }
    return true;
}

// What a failed start-up step means for the person who runs the command.
const char *StepMeaning(const char *step) {
    static const std::map<std::string, const char *> meanings = {
        {"OpenLogAppend", "cannot open the log file in DIR/logs"},
        {"InitializeMemPool", "the memory pools cannot start"},
        {"LoadAllDataDictFiles", "cannot open the data dictionary list data/datadictionary.txt"},
        {"LoadDataSourceMapEntryFromFile", "cannot open data/dsn_table_map.txt"},
        {"LoadConnParamsEntryFromFile", "cannot open data/connparams.txt"},
        {"ConnParamsEntry", "data/connparams.txt holds no connection entry"},
        {"EstablishDBConnections", "cannot connect to the database that data/connparams.txt names"},
        {"SequenceGenerator", "cannot reserve id numbers in the table SeqGenState"},
        {"SaveDefaultData", "cannot store the default data that data/defaultdata.txt lists"},
    };
    auto found = step != nullptr ? meanings.find(step) : meanings.end();
    return found != meanings.end() ? found->second : "the library cannot start";
}

// A value as a person reads it.
std::string ValueText(const void *value, int length, unsigned char type) {
    if (value == nullptr) return "NULL";
    switch (type) {
        case VEL_SQL_BOOLEAN:
            return *static_cast<const unsigned char *>(value) ? "true" : "false";
        case VEL_SQL_BLOB:
        case VEL_SQL_CLOB:
            return "<" + std::to_string(length) + " bytes>";
        case VEL_SQL_NOT_SUPPORTED_TYPE:
            // A column the driver reports in a type the store does not read arrives as text.
            return std::string(static_cast<const char *>(value), size_t(length > 0 ? length : 0));
        default:
            break;
    }
    char *text = ConvertColumnValueToString(value, length, type);
    std::string out = text != nullptr ? text : "?";
    free(text);
    return out;
}

// Prints a header and rows as columns padded to their widest text.
void PrintGrid(const std::vector<std::string> &header,
               const std::vector<std::vector<std::string>> &rows) {
    std::vector<size_t> widths(header.size());
    for (size_t i = 0; i < header.size(); ++i) widths[i] = header[i].size();
    for (const auto &row : rows) {
        for (size_t i = 0; i < row.size() && i < widths.size(); ++i) {
            widths[i] = std::max(widths[i], row[i].size());
        }
    }
    auto line = [&](const std::vector<std::string> &cells) {
        std::string out;
        for (size_t i = 0; i < cells.size() && i < widths.size(); ++i) {
            if (i > 0) out += "  ";
            out += cells[i];
            if (i + 1 < cells.size()) out += std::string(widths[i] - cells[i].size(), ' ');
        }
        printf("%s\n", out.c_str());
    };
    line(header);
    std::vector<std::string> rule;
    for (size_t width : widths) rule.emplace_back(width, '-');
    line(rule);
    for (const auto &row : rows) line(row);
    printf("(%zu row%s)\n", rows.size(), rows.size() == 1 ? "" : "s");
}

int CountRows(const TableData *table) {
    int n = 0;
    for (const RowObject *row = table->firstRow; row != nullptr; row = row->next) ++n;
    return n;
}

std::map<std::string, int> RowCounts() {
    std::map<std::string, int> counts;
    for (VectorNode *node = GetTableDataList()->head; node != nullptr; node = node->next) {
        const auto *table = static_cast<const TableData *>(node->element);
        counts[table->name] = CountRows(table);
    }
    return counts;
}

// Rows that a save left unwritten (the database refused their statements).
int PendingRows(const TableData *table) {
    int n = 0;
    for (const RowObject *row = table->firstRow; row != nullptr; row = row->next) {
        if (row->state != ROW_STATE_STORED) ++n;
    }
    return n;
}

int ReportPending(const std::vector<std::string> &tables) {
    int pending = 0;
    for (const std::string &name : tables) {
        const TableData *table = GetTableDataByName(name.c_str());
        const int n = table != nullptr ? PendingRows(table) : 0;
        if (n > 0) {
            fprintf(stderr, "tamber: %d row%s of %s could not be saved (see the log)\n", n,
                    n == 1 ? "" : "s", table->name);
        }
        pending += n;
    }
    return pending > 0 ? kFailed : kOk;
}

std::vector<std::string> LoadedTableNames() {
    std::vector<std::string> names;
    for (VectorNode *node = GetTableDataList()->head; node != nullptr; node = node->next) {
        names.emplace_back(static_cast<const TableData *>(node->element)->name);
    }
    return names;
}

int Tables() {
    std::vector<std::vector<std::string>> rows;
    for (VectorNode *node = GetTableDataList()->head; node != nullptr; node = node->next) {
        const auto *table = static_cast<const TableData *>(node->element);
        rows.push_back({table->name, table->kind == TABLE_DATA_VIEW ? "view" : "table",
                        std::to_string(CountRows(table))});
    }
    PrintGrid({"name", "kind", "rows"}, rows);
    return kOk;
}

int Select(const std::string &tableName, const char *criteria) {
    if (GetTableDataByName(tableName.c_str()) == nullptr && !LoadTable(tableName.c_str())) {
        fprintf(stderr, "tamber: table %s is not loaded and cannot be loaded (see the log)\n",
                tableName.c_str());
        return kFailed;
    }
    ResultData *result = SelectRows(tableName.c_str(), criteria);
    if (result == nullptr) {
        fprintf(stderr, "tamber: cannot select from %s: the criteria do not parse\n",
                tableName.c_str());
        return kFailed;
    }
    std::vector<std::string> header;
    std::vector<unsigned char> types;
    for (int i = 0; const char *name = GetColumnNameByIndex(i, result); ++i) {
        header.emplace_back(name);
        types.push_back(GetColumnTypeByName(name, result));
    }
    std::vector<std::vector<std::string>> rows;
    ResetResultDataCursor(result);
    while (RowObject *row = GotoNextRowObject(result)) {
        if (row->state & ROW_STATE_DELETED) continue;
        std::vector<std::string> cells;
        for (size_t i = 0; i < header.size(); ++i) {
            cells.push_back(ValueText(row->values[i], row->lengths[i], types[i]));
        }
        rows.push_back(std::move(cells));
    }
    FreeResultData(result);
    PrintGrid(header, rows);
    return kOk;
}

int LoadXml(const std::string &path) {
    const std::map<std::string, int> before = RowCounts();
    if (!SaveDataInXML(path.c_str())) {
        fprintf(stderr, "tamber: cannot load %s (see the log)\n", path.c_str());
        return kFailed;
    }
    std::vector<std::vector<std::string>> rows;
    for (const auto &[name, count] : RowCounts()) {
        auto old = before.find(name);
        const int added = count - (old != before.end() ? old->second : 0);
        if (added != 0) rows.push_back({name, std::to_string(added)});
    }
    printf("Loaded %s\n", path.c_str());
    PrintGrid({"table", "rows added"}, rows);
    return ReportPending(LoadedTableNames());
}

int Save(const std::vector<std::string> &tables) {
    if (tables.empty()) {
        SaveTablesFromList();
        printf("Saved the tables of savetableslist.txt\n");
        return ReportPending(LoadedTableNames());
    }
    int exit = kOk;
    for (const std::string &name : tables) {
        if (GetTableDataByName(name.c_str()) == nullptr) {
            fprintf(stderr, "tamber: table %s is not loaded\n", name.c_str());
            exit = kFailed;
        } else if (!SaveTable(name.c_str())) {
            fprintf(stderr,
                    "tamber: cannot save %s: no entry in dsn_table_map.txt or no connection\n",
                    name.c_str());
            exit = kFailed;
        } else {
            printf("Saved %s\n", name.c_str());
        }
    }
    return ReportPending(tables) != kOk ? kFailed : exit;
}

std::vector<std::vector<std::string>> ResultRows(ResultSet *set, std::vector<std::string> *header) {
    for (int32_t i = 0; i < set->columnCount; ++i) {
        header->emplace_back(set->columns[i].name ? set->columns[i].name : "");
    }
    std::vector<std::vector<std::string>> rows;
    for (const ResultRow *row = set->firstRow; row != nullptr; row = row->next) {
        std::vector<std::string> cells;
        int32_t i = 0;
        for (const ResultCell *cell = row->values; cell != nullptr && i < set->columnCount;
             cell = cell->next, ++i) {
            cells.push_back(ValueText(cell->bytes, cell->length, set->columns[i].dataType));
        }
        rows.push_back(std::move(cells));
    }
    return rows;
}

int StoredQueries() {
    const char *connection = GetConnectionNameForTable("QueryDetails");
    ConnectionHandle *handle = GetConnectionHandle(connection);
    ResultSet *ids = ExecuteQuery(handle, "SELECT QUERY_ID FROM QueryDetails ORDER BY QUERY_ID");
    if (handle != nullptr) ReleaseConnectionHandle(connection);
    if (ids == nullptr) {
        fprintf(stderr, "tamber: cannot read the stored queries from QueryDetails (see the log)\n");
        return kFailed;
    }
    int exit = kOk;
    while (NextResultRow(ids) != nullptr) {
        const ResultCell *cell = ids->cursor->values;
        if (cell == nullptr || cell->bytes == nullptr) continue;
        const int id = int(ReadStoredInteger(cell->bytes, cell->length, ids->columns[0].dataType));
        SelectQuery *query = CreateStoredQuery(id);
        char *sql = query != nullptr ? GenerateSelectQuery(query) : nullptr;
        FreeSelectQuery(query);
        if (sql == nullptr) {
            fprintf(stderr, "tamber: stored query %d cannot be written as SQL\n", id);
            exit = kFailed;
            continue;
        }
        printf("Stored query %d: %s\n", id, sql);
        ConnectionHandle *queryHandle = GetConnectionHandle(connection);
        ResultSet *rows = ExecuteQuery(queryHandle, sql);
        if (queryHandle != nullptr) ReleaseConnectionHandle(connection);
        free(sql);
        if (rows == nullptr) {
            fprintf(stderr, "tamber: stored query %d failed (see the log)\n", id);
            exit = kFailed;
            continue;
        }
        std::vector<std::string> header;
        std::vector<std::vector<std::string>> cells = ResultRows(rows, &header);
        PrintGrid(header, cells);
        printf("\n");
        FreeResultSet(rows);
    }
    FreeResultSet(ids);
    return exit;
}

int Run(const Options &options) {
    const std::string &c = options.command;
    if (c == "tables") return Tables();
    if (c == "select") {
        return Select(options.args[0], options.args.size() > 1 ? options.args[1].c_str() : nullptr);
    }
    if (c == "load-xml") return LoadXml(options.args[0]);
    if (c == "save") return Save(options.args);
    if (c == "personality") {
        const bool byCriteria = options.args.size() == 3;
        return PersonalityCommand(options.args[0], byCriteria ? options.args[1].c_str() : nullptr,
                                  byCriteria ? options.args[2].c_str() : nullptr);
    }
    return StoredQueries();
}

}  // namespace

int main(int argc, char **argv) {
    Options options;
    std::string error;
    if (!ParseOptions(argc, argv, &options, &error)) {
        if (!error.empty()) fprintf(stderr, "tamber: %s\n\n", error.c_str());
        fputs(kUsage, error.empty() ? stdout : stderr);
        return error.empty() ? kOk : kBadCommandLine;
    }
    std::error_code ec;
    std::string root = fs::absolute(options.root, ec).lexically_normal().string();
    while (root.size() > 1 && root.back() == '/') root.pop_back();
    // A file named on the command line is meant from where the command was run.
    if (options.command == "load-xml") options.args[0] = fs::absolute(options.args[0], ec).string();
    // The library first looks for its files in "../data" from the working folder, and the
    // example connection string names its database file the same way: working in the data
    // folder itself makes both mean DIR/data.
    const fs::path data = fs::path(root) / "data";
    fs::current_path(data, ec);
    if (ec) {
        fprintf(stderr, "tamber: start-up failed: no data folder %s (%s)\n", data.string().c_str(),
                ec.message().c_str());
        return kNoStart;
    }
    // Settings made before the start are kept by it: the level then holds for the start-up too.
    if (options.logLevel >= 0 && InitLogSettings()) {
        SetLogLevel(static_cast<unsigned char>(options.logLevel));
    }
    if (!InitTamber(root.c_str())) {
        const char *step = GetInitTamberFailure();
        fprintf(stderr, "tamber: start-up failed at %s: %s (see %s/logs/tamber.log)\n",
                step ? step : "InitTamber", StepMeaning(step), root.c_str());
        DeInitTamber();
        return kNoStart;
    }
    const int exit = Run(options);
    DeInitTamber();
    fflush(stdout);
    return exit;
}
