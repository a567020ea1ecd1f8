// Saving in-memory tables to the database; see table_save.h for the contract.
#include "persist/table_save.h"

#include <ctype.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <stdlib.h>

#include <algorithm>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "db/connection_pool.h"
#include "db/data_source_map.h"
#include "db/statements.h"
#include "logging/log.h"
#include "persist/data_folder.h"
#include "platform/files.h"
#include "store/criteria.h"
#include "store/table_data.h"
#include "store/table_xml.h"
#include "util/lock.h"
#include "util/strings.h"

namespace {

// The tables SaveDataInXML saves together at most.
constexpr size_t kSaveBatch = 50;

enum class Statement { kNone, kUpdate, kDelete, kInsert };

// The tests run in this order, so a stored, deleted row is deleted whatever else it says.
Statement StatementFor(unsigned char state) {
    if (state == 0 || state == ROW_STATE_STORED) return Statement::kNone;
    if (state == (ROW_STATE_STORED | ROW_STATE_MODIFIED)) return Statement::kUpdate;
    if ((state & ROW_STATE_STORED) && (state & ROW_STATE_DELETED)) return Statement::kDelete;
    if (state == ROW_STATE_NEW || state == (ROW_STATE_NEW | ROW_STATE_MODIFIED)) {
        return Statement::kInsert;
    }
    return Statement::kNone;
}

char *StatementText(Statement kind, const char *tableName, RowObject *row) {
    switch (kind) {
        case Statement::kUpdate:
            return GenerateUpdateQuery(tableName, row);
        case Statement::kDelete:
            return GenerateDeleteQuery(tableName, row);
        case Statement::kInsert:
            return GenerateInsertQuery(tableName, row);
        case Statement::kNone:
            break;
    }
    return nullptr;
}

// Rows written in one transaction at most. A statement the database refuses sends the rows of
// its transaction back to be written one by one, so the bound also bounds that cost, and the
// statement texts a transaction keeps for it.
constexpr size_t kTransactionRows = 10000;

struct Written {
    RowObject *row;
    Statement kind;
    char *sql;
};

// Writes the pending rows of a table. Statements run in transactions (one autocommit statement
// per row costs a disk sync or a round trip each), and a row's state changes only once its
// statement is committed. When a statement is refused, its transaction is rolled back and its
// rows are written one by one, each statement on its own, exactly as without a transaction:
// a refused row keeps its state and every other row is written.
class TableSaver {
  public:
    TableSaver(const char *tableName, ConnectionHandle *handle)
        : tableName_(tableName), handle_(handle) {}
    ~TableSaver() {
        for (const Written &written : batch_) free(written.sql);
    }
    TableSaver(const TableSaver &) = delete;
    TableSaver &operator=(const TableSaver &) = delete;

    void Save(TableData *table) {
        // Inside the caller's own transaction the statements are the caller's to commit.
        transactions_ = InOwnTransaction(handle_) == 0;
        // Reserved once, so that keeping a statement for its transaction never fails halfway.
        batch_.reserve(
            std::min(kTransactionRows, size_t(table->rowCount > 0 ? table->rowCount : 0)));
        for (RowObject *row = table->firstRow; row != nullptr;) {
            // Taken first: a deleted row leaves the list once its statement is committed.
            RowObject *next = row->next;
            const Statement kind = StatementFor(row->state);
            char *sql = StatementText(kind, tableName_, row);
            if (sql != nullptr) Write({row, kind, sql});
            row = next;
        }
        if (!batch_.empty()) Commit();
    }

  private:
    void Write(const Written &written) {
        if (stopped_) {
            free(written.sql);
            return;
        }
        if (batch_.empty() && !Begin()) {
            WriteAlone(written);
            return;
        }
        batch_.push_back(written);
        if (ExecuteUpdate(handle_, written.sql) != 1) {
            if (RollbackTransaction(handle_) == 1) {
                WriteEachAlone();
            } else {
                // Whether the connection still holds the statements is unknown: the rest of
                // the save waits for the next one rather than mark rows that may be lost.
                Clear();
                stopped_ = true;
            }
        } else if (batch_.size() == kTransactionRows) {
            Commit();
        }
    }

    // A connection that cannot begin a transaction writes as if none existed.
    bool Begin() {
        if (transactions_) transactions_ = BeginTransaction(handle_) == 1;
        return transactions_;
    }

    void Commit() {
        if (CommitTransaction(handle_) != 1) {
            // A failed commit is rolled back by the provider: the rows are still to be written.
            WriteEachAlone();
            return;
        }
        for (const Written &written : batch_) MarkWritten(written);
        Clear();
    }

    void WriteEachAlone() {
        for (const Written &written : batch_) WriteAlone(written);
        batch_.clear();
    }

    void WriteAlone(const Written &written) {
        if (ExecuteUpdate(handle_, written.sql) == 1) {
            MarkWritten(written);
        } else {
            LogError("Error in executing update query \n");
            LogError("QUERY : %s\n", written.sql);
        }
        free(written.sql);
    }

    void MarkWritten(const Written &written) {
        if (written.kind == Statement::kDelete) {
            // No longer stored: DeleteRowObject now unlinks and frees it.
            written.row->state = ROW_STATE_DELETED;
            DeleteRowObject(tableName_, written.row);
        } else {
            written.row->state = ROW_STATE_STORED;
        }
    }

    void Clear() {
        for (const Written &written : batch_) free(written.sql);
        batch_.clear();
    }

    const char *tableName_;
    ConnectionHandle *handle_;
    std::vector<Written> batch_;  // run in the open transaction, not yet committed
    bool transactions_ = true;
    bool stopped_ = false;
};

bool ReadWord(FILE *file, std::string *word) {
    word->clear();
    int c = 0;
    while ((c = fgetc(file)) != EOF && isspace(c)) {
    }
    while (c != EOF && !isspace(c)) {
        word->push_back(char(c));
        c = fgetc(file);
    }
    return !word->empty();
}

void SaveTables(std::vector<std::string> *names) {
    for (const std::string &name : *names) SaveTable(name.c_str());
    names->clear();
}

bool Collected(const std::vector<std::string> &names, const char *name) {
    for (const std::string &known : names) {
        if (StrCompareNoCase(known.c_str(), name) == 0) return true;
    }
    return false;
}

}  // namespace

extern "C" {

int SaveTable(const char *tableName) {
    LogTrace("@@@ Inside SaveTable @@@\n");
    TableData *table = GetTableDataByName(tableName);
    if (table == nullptr) return 0;
    ObjectLock lock(gv_criteriaLockKey);
    const DataSourceMapEntry *entry = GetDataSourceMapEntry(tableName);
    if (entry == nullptr) return 0;
    ConnectionHandle *handle = GetConnectionHandle(entry->connectionName);
    if (handle == nullptr) return 0;
    try {
        TableSaver(tableName, handle).Save(table);
    } catch (const std::bad_alloc &) {
        // Rows whose statement was not committed keep their state for the next save.
        if (handle->inTransaction == 1) RollbackTransaction(handle);
        LogError("Unable to allocate memory\n");
    }
    ReleaseConnectionHandle(entry->connectionName);
    return 1;
}

int SaveAllTables(void) {
    LogTrace("@@@ Inside SaveAllTables @@@\n");
    for (VectorNode *node = GetTableDataList()->head; node != nullptr; node = node->next) {
        SaveTable(static_cast<TableData *>(node->element)->name);
    }
    return 1;
}

int SaveTablesFromList(void) {
    LogTrace("@@@ Inside SaveTablesFromList @@@\n");
    FILE *file = OpenDataFolderFile("savetableslist.txt", 0, nullptr);
    if (file == nullptr) {
        LogError("No tables to be saved.\n");
        return 1;
    }
    try {
        std::string line;
        while (ReadDataLine(file, &line)) {
            const std::string name = line.substr(0, line.find(' '));
            if (!name.empty()) SaveTable(name.c_str());
        }
    } catch (const std::bad_alloc &) {
        LogError("Unable to allocate memory\n");
    }
    fclose(file);
    return 1;
}

int SaveDefaultData(void) {
    LogTrace("@@@ Inside SaveDefaultData @@@\n");
    int relative = 0;
    FILE *file = OpenDataFolderFile("defaultdata.txt", 1, &relative);
    if (file == nullptr) {
        LogError("No default data to be prepopulated.\n");
        return 1;
    }
    int result = 1;
    try {
        std::string word;
        while (ReadWord(file, &word)) {
            const std::string path =
                relative ? std::string(DATA_FOLDER_RELATIVE) + word : RootDataPath(word.c_str());
            result = SaveDataInXML(path.c_str());
        }
    } catch (const std::bad_alloc &) {
        LogError("Unable to allocate memory\n");
        result = 0;
    }
    fclose(file);
    return result;
}

int SaveDataInXML(const char *path) {
    LogTrace("@@@ Inside SaveDataInXML @@@\n");
    if (path == nullptr) return 0;
    try {
        const std::string native = PlatNativePath(path);
        if (!ConstructTableDataFromXMLFile(native.c_str())) {
            LogError("Cannot create DO from %s.\n", path);
            return 0;
        }
        std::unique_ptr<xmlDoc, void (*)(xmlDoc *)> document(xmlParseFile(native.c_str()),
                                                             xmlFreeDoc);
        if (document == nullptr) {
            LogError("Error: could not parse file : %s\n", path);
            return 0;
        }
        std::vector<std::string> names;
        const xmlNode *root = xmlDocGetRootElement(document.get());
        for (const xmlNode *child = root ? root->children : nullptr; child != nullptr;
             child = child->next) {
            if (child->type != XML_ELEMENT_NODE) continue;
            const char *name = reinterpret_cast<const char *>(child->name);
            if (Collected(names, name)) continue;
            names.emplace_back(name);
            if (names.size() == kSaveBatch) SaveTables(&names);
        }
        SaveTables(&names);
        // libxml2's global clean-up (xmlCleanupParser) is left to the process: another thread
        // may be parsing.
    } catch (const std::bad_alloc &) {
        LogError("Unable to allocate memory\n");
        return 0;
    }
    return 1;
}

}  // extern "C"
