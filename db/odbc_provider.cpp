// The ODBC provider; see odbc_provider.h.
#include "db/odbc_provider.h"

#include <sql.h>
#include <sqlext.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <atomic>
#include <new>
#include <string>
#include <vector>

#include "db/odbc_types.h"
#include "db/providers.h"
#include "logging/log.h"
#include "store/column_defn.h"
#include "util/lock.h"

namespace {

// The provider's record behind ConnectionHandle::providerHandle. Each connection has an
// environment of its own, so freeing one never pulls the ground from under another.
struct OdbcConnection {
    SQLHENV env = SQL_NULL_HENV;
    SQLHDBC dbc = SQL_NULL_HDBC;
    // Kept to connect again after the server dropped the connection; wiped when freed.
    char *connectText = nullptr;
    // The driver said the connection is gone (the server stopped or restarted).
    std::atomic<bool> lost{false};
};

OdbcConnection *ConnectionOf(const ConnectionHandle *handle) {
    if (handle == nullptr) return nullptr;
    return static_cast<OdbcConnection *>(handle->providerHandle);
}

SQLHDBC DbcOf(const ConnectionHandle *handle) {
    OdbcConnection *connection = ConnectionOf(handle);
    return connection != nullptr ? connection->dbc : nullptr;
}

// Text that may hold a password is cleared before its memory is given back.
void Wipe(void *bytes, size_t n) {
    volatile unsigned char *p = static_cast<volatile unsigned char *>(bytes);
    while (n-- > 0) *p++ = 0;
}

// The statement ran: a notice or warning (success with information) or an update that
// touched no row (no data) does not make it a failure.
bool Ran(SQLRETURN rc) {
    return SQL_SUCCEEDED(rc) || rc == SQL_NO_DATA;
}

// One statement handle for one operation, released on every return.
class Statement {
  public:
    explicit Statement(bool query) : query_(query) {}
    ~Statement() {
        if (handle_ == SQL_NULL_HSTMT) return;
        // A statement still waiting for parameter data cannot be freed until cancelled.
        if (needsCancel_) SQLCancel(handle_);
        if (query_) {
            SQLCloseCursor(handle_);
            SQLFreeStmt(handle_, SQL_UNBIND);
        } else {
            SQLFreeStmt(handle_, SQL_CLOSE);
        }
        SQLFreeHandle(SQL_HANDLE_STMT, handle_);
    }
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    bool Allocate(SQLHDBC dbc) {
        if (SQL_SUCCEEDED(SQLAllocStmt(dbc, &handle_))) return true;
        handle_ = SQL_NULL_HSTMT;
        LogError("Allocating Statement Handle failed\n");
        return false;
    }
    void NeedsCancel() { needsCancel_ = true; }
    SQLHSTMT get() const { return handle_; }

  private:
    SQLHSTMT handle_ = SQL_NULL_HSTMT;
    bool query_;
    bool needsCancel_ = false;
};

SQLCHAR *Text(const char *text) {
    return reinterpret_cast<SQLCHAR *>(const_cast<char *>(text));
}

bool Prepare(const Statement &statement, const char *sql) {
    if (sql != nullptr && SQL_SUCCEEDED(SQLPrepare(statement.get(), Text(sql), SQL_NTS))) {
        return true;
    }
    LogError("SQLPrepare failed\n");
    return false;
}

std::string Braced(const char *value) {
    std::string text(value);
    bool plain = text.find_first_of(";{}") == std::string::npos &&
                 (text.empty() || (text.front() != ' ' && text.back() != ' '));
    if (plain) return text;
    std::string out = "{";
    for (char c : text) {
        out += c;
        if (c == '}') out += '}';
    }
    return out + "}";
}

struct Column {
    std::string name;
    SQLSMALLINT sqlType = 0;
    unsigned char type = VEL_SQL_NOT_SUPPORTED_TYPE;
    bool streamed = false;
    std::vector<char> buffer;  // reused for every row
};

bool IsLongOrBinary(SQLSMALLINT sqlType) {
    return sqlType == SQL_LONGVARCHAR || sqlType == SQL_BINARY || sqlType == SQL_VARBINARY ||
           sqlType == SQL_LONGVARBINARY;
}

// The first piece of a value is read into column size + 1 bytes; long and unsized columns
// (PostgreSQL text reports 8190, MariaDB longtext 4 GiB) start smaller and grow on demand.
constexpr SQLULEN kLargestFirstPiece = 64 * 1024;
constexpr size_t kLargestGrowth = 16 * 1024 * 1024;

bool DescribeColumn(SQLHSTMT statement, SQLUSMALLINT number, Column *column) {
    std::vector<SQLCHAR> name(99);
    SQLSMALLINT nameLength = 0, digits = 0, nullable = 0;
    SQLULEN size = 0;
    for (;;) {
        SQLRETURN rc = SQLDescribeCol(statement, number, name.data(), SQLSMALLINT(name.size()),
                                      &nameLength, &column->sqlType, &size, &digits, &nullable);
        if (!SQL_SUCCEEDED(rc)) return false;
        // A name that fills the buffer may have been cut (the SQLite driver cuts without a
        // word): it is asked for again with more room.
        if (nameLength < SQLSMALLINT(name.size()) - 1 || name.size() >= size_t(INT16_MAX)) break;
        name.resize(std::min(std::max(size_t(nameLength) + 1, name.size() * 2), size_t(INT16_MAX)));
    }
    column->name.assign(reinterpret_cast<const char *>(name.data()),
                        strnlen(reinterpret_cast<const char *>(name.data()), name.size()));
    SQLCHAR typeName[64] = {0};
    if (column->sqlType == SQL_CHAR || column->sqlType == SQL_VARCHAR) {
        SQLSMALLINT typeNameLength = 0;
        if (!SQL_SUCCEEDED(SQLColAttribute(statement, number, SQL_DESC_TYPE_NAME, typeName,
                                           sizeof typeName - 1, &typeNameLength, nullptr))) {
            typeName[0] = 0;
        }
    }
    column->type = ODBCGetColumnType(column->sqlType, reinterpret_cast<const char *>(typeName));
    SQLULEN first = (size == 0 || size >= kLargestFirstPiece) ? kLargestFirstPiece : size + 1;
    column->buffer.resize(std::max<SQLULEN>(first, 2));
    return true;
}

enum class Fetched { kValue, kNull, kError };

// The current row's value of a column as text, whole. The column size does not bound the
// text (multi-byte characters, long text), so when the driver reports truncation the rest
// is read piece by piece until the value is complete.
Fetched ReadText(SQLHSTMT statement, SQLUSMALLINT number, Column *column, std::string *out) {
    out->clear();
    std::vector<char> &buffer = column->buffer;
    for (;;) {
        SQLLEN indicator = 0;
        SQLRETURN rc = SQLGetData(statement, number, SQL_C_CHAR, buffer.data(),
                                  SQLLEN(buffer.size()), &indicator);
        if (rc == SQL_NO_DATA) return Fetched::kValue;  // the last piece was already read
        if (!SQL_SUCCEEDED(rc)) return Fetched::kError;
        if (indicator == SQL_NULL_DATA) return out->empty() ? Fetched::kNull : Fetched::kValue;
        if (indicator < 0 && indicator != SQL_NO_TOTAL) return Fetched::kError;
        size_t room = buffer.size() - 1;  // one byte goes to the terminating zero
        bool truncated =
            rc == SQL_SUCCESS_WITH_INFO && (indicator == SQL_NO_TOTAL || size_t(indicator) > room);
        out->append(buffer.data(), truncated ? room : std::min(size_t(indicator), room));
        if (!truncated) return Fetched::kValue;
        size_t wanted =
            indicator == SQL_NO_TOTAL ? buffer.size() * 2 : size_t(indicator) - room + 1;
        buffer.resize(std::min(std::max(wanted, buffer.size()), kLargestGrowth));
    }
}

// Hands a binary or long column to the sink in pieces of at most 1024 bytes, then closes it
// with (null, 0). A read error is not passed off as the end of the value. Long text is read
// as characters: psqlODBC loses the last byte of a text value read as binary.
bool StreamColumn(SQLHSTMT statement, SQLUSMALLINT number, bool text, BlobChunkSink sink,
                  void *userData) {
    unsigned char piece[1024];
    const SQLLEN room = text ? SQLLEN(sizeof piece) - 1 : SQLLEN(sizeof piece);
    for (;;) {
        SQLLEN indicator = 0;
        SQLRETURN rc = SQLGetData(statement, number, text ? SQL_C_CHAR : SQL_C_BINARY, piece,
                                  sizeof piece, &indicator);
        if (rc == SQL_NO_DATA) break;
        if (!SQL_SUCCEEDED(rc) ||
            (indicator < 0 && indicator != SQL_NULL_DATA && indicator != SQL_NO_TOTAL)) {
            LogError("SQLGetData failed\n");
            return false;
        }
        if (indicator == SQL_NULL_DATA) break;
        SQLLEN length = (indicator == SQL_NO_TOTAL || indicator > room) ? room : indicator;
        if (length > 0 && sink != nullptr) sink(piece, int32_t(length), userData);
        if (rc == SQL_SUCCESS) break;
    }
    if (sink != nullptr) sink(nullptr, 0, userData);
    return true;
}

// Takes the source's next chunk; 0 when it has no more, -1 (logged) for a chunk that
// cannot be right.
int NextChunk(BlobChunkSource source, void *userData, unsigned char **chunk, int32_t *length) {
    *chunk = nullptr;
    *length = 0;
    if (source == nullptr || source(chunk, length, userData) == 2) return 0;
    if (*length < 0 || (*chunk == nullptr && *length > 0)) {
        LogError("Invalid blob chunk of length %d\n", int(*length));
        return -1;
    }
    return 1;
}

bool Put(SQLHSTMT statement, const unsigned char *bytes, size_t length) {
    static unsigned char nothing = 0;
    if (SQL_SUCCEEDED(SQLPutData(statement, const_cast<unsigned char *>(bytes ? bytes : &nothing),
                                 SQLLEN(length)))) {
        return true;
    }
    LogError("SQLPutData failed\n");
    return false;
}

// Whether the driver must be told a long value's length before its data (the SQLite
// driver takes a single piece otherwise).
bool NeedsLongDataLength(SQLHDBC dbc) {
    char answer[8] = {0};
    SQLSMALLINT length = 0;
    return SQL_SUCCEEDED(SQLGetInfo(dbc, SQL_NEED_LONG_DATA_LEN, answer, sizeof answer, &length)) &&
           (answer[0] == 'Y' || answer[0] == 'y');
}

int UpdateBlob(SQLHDBC dbc, const char *sql, BlobChunkSource source, void *userData) {
    Statement statement(false);
    if (!statement.Allocate(dbc) || !Prepare(statement, sql)) return 0;
    SQLHSTMT stmt = statement.get();
    // A driver that needs the length first gets the chunks gathered; it would hold the
    // whole value before sending it anyway.
    bool gather = NeedsLongDataLength(dbc);
    std::string gathered;
    unsigned char *chunk = nullptr;
    int32_t length = 0;
    for (int more; gather && (more = NextChunk(source, userData, &chunk, &length)) != 0;) {
        if (more < 0) return 0;
        gathered.append(reinterpret_cast<const char *>(chunk), size_t(length));
    }
    SQLLEN indicator = SQL_LEN_DATA_AT_EXEC(gather ? SQLLEN(gathered.size()) : 0);
    if (!SQL_SUCCEEDED(SQLBindParameter(stmt, 1, SQL_PARAM_INPUT, SQL_C_BINARY, SQL_LONGVARBINARY,
                                        0, 0, reinterpret_cast<SQLPOINTER>(1), 0, &indicator))) {
        LogError("SQLBindParameter failed\n");
        return 0;
    }
    SQLRETURN rc = SQLExecute(stmt);
    if (rc == SQL_NEED_DATA) {
        statement.NeedsCancel();
        SQLPOINTER token = nullptr;
        rc = SQLParamData(stmt, &token);
        if (rc == SQL_NEED_DATA) {
            if (gather) {
                if (!Put(stmt, reinterpret_cast<const unsigned char *>(gathered.data()),
                         gathered.size())) {
                    return 0;
                }
            } else {
                bool put = false;
                for (int more; (more = NextChunk(source, userData, &chunk, &length)) != 0;) {
                    if (more < 0 || !Put(stmt, chunk, size_t(length))) return 0;
                    put = true;
                }
                // No chunk at all is an empty value, not a missing one.
                if (!put && !Put(stmt, nullptr, 0)) return 0;
            }
            rc = SQLParamData(stmt, &token);
        }
    }
    // Whatever ended the exchange decides: a refused statement is not reported as done.
    if (!Ran(rc)) {
        LogError("SQLExecute failed\n");
        return 0;
    }
    SQLLEN rows = 0;
    if (!SQL_SUCCEEDED(SQLRowCount(stmt, &rows))) {
        LogError("No Rows Affected \n");
        return 0;
    }
    return 1;
}

ResultColumn *MakeColumnDescs(const std::vector<Column> &columns) {
    auto *descs = static_cast<ResultColumn *>(calloc(columns.size() + 1, sizeof(ResultColumn)));
    if (descs == nullptr) return nullptr;
    for (size_t i = 0; i < columns.size(); ++i) {
        descs[i].name = strdup(columns[i].name.c_str());
        descs[i].dataType = columns[i].type;
        if (descs[i].name == nullptr) {
            FreeColumnDescs(descs, int32_t(i));
            return nullptr;
        }
    }
    return descs;
}

// Appends one value to a row; false when memory runs out (the row is then unchanged).
bool AppendValue(ResultCell **row, unsigned char type, void *value, int32_t length) {
    ResultCell *grown = nullptr;
    if (value == nullptr) {
        grown = AppendResultValue(*row, 0, nullptr);
    } else if (type == VEL_SQL_DATE || type == VEL_SQL_TIME || type == VEL_SQL_DATETIME) {
        // The record holds pointers into its own block: taken over, never byte-copied.
        grown = AppendResultValueOwned(*row, length, value);
        if (grown == nullptr) free(value);
    } else {
        grown = AppendResultValue(*row, length, value);
        free(value);
    }
    if (grown == nullptr) return false;
    *row = grown;
    return true;
}

// Reads the current row into a new value chain; false after logging a failure.
bool ReadRow(SQLHSTMT statement, std::vector<Column> &columns, bool streaming, BlobChunkSink sink,
             void *userData, ResultCell **row) {
    std::string text;
    for (size_t i = 0; i < columns.size(); ++i) {
        Column &column = columns[i];
        SQLUSMALLINT number = SQLUSMALLINT(i + 1);
        void *value = nullptr;
        int32_t length = 0;
        if (column.streamed) {
            if (!StreamColumn(statement, number, column.sqlType == SQL_LONGVARCHAR, sink,
                              userData)) {
                return false;
            }
        } else {
            Fetched fetched = ReadText(statement, number, &column, &text);
            if (fetched == Fetched::kError) {
                LogError("SQLGetData failed\n");
                return false;
            }
            if (fetched == Fetched::kValue &&
                !ODBCMakeColumnValue(text.c_str(), text.size(), column.type, &value, &length) &&
                !streaming) {
                LogError("Cannot convert the value of column %s\n", column.name.c_str());
                return false;
            }
        }
        if (!AppendValue(row, column.type, value, length)) {
            LogError("Unable to allocate memory\n");
            return false;
        }
    }
    return true;
}

ResultSet *RunQuery(SQLHDBC dbc, const char *sql, bool streaming, BlobChunkSink sink,
                    void *userData) {
    Statement statement(true);
    if (!statement.Allocate(dbc)) return nullptr;
    SQLHSTMT stmt = statement.get();
    if (streaming) {
        if (!Prepare(statement, sql)) return nullptr;
        if (!Ran(SQLExecute(stmt))) {
            LogError("SQLExecute failed\n");
            return nullptr;
        }
    } else if (sql == nullptr || !Ran(SQLExecDirect(stmt, Text(sql), SQL_NTS))) {
        LogError("SQLExecDirect failed\n");
        return nullptr;
    }
    SQLLEN rowCount = 0;
    if (!SQL_SUCCEEDED(SQLRowCount(stmt, &rowCount))) {
        LogError("No Rows Affected\n");
        return nullptr;
    }
    SQLSMALLINT columnCount = 0;
    if (!SQL_SUCCEEDED(SQLNumResultCols(stmt, &columnCount)) || columnCount < 0) {
        LogError("SQLNumResultCols Failed\n");
        return nullptr;
    }
    std::vector<Column> columns(static_cast<size_t>(columnCount));
    for (SQLSMALLINT i = 0; i < columnCount; ++i) {
        if (!DescribeColumn(stmt, SQLUSMALLINT(i + 1), &columns[size_t(i)])) {
            LogError("SQLDescribeCol failed\n");
            return nullptr;
        }
        columns[size_t(i)].streamed = streaming && IsLongOrBinary(columns[size_t(i)].sqlType);
    }
    ResultRow *rows = nullptr;
    // A statement without a result (no columns) has no rows to fetch.
    while (columnCount > 0) {
        SQLRETURN rc = SQLFetch(stmt);
        if (rc == SQL_NO_DATA) break;
        ResultCell *row = nullptr;
        if (!SQL_SUCCEEDED(rc)) {
            LogError("SQLFetch failed\n");
        } else if (ReadRow(stmt, columns, streaming, sink, userData, &row)) {
            ResultRow *grown = AppendResultRow(rows, row);
            if (grown != nullptr) {
                rows = grown;
                continue;
            }
            LogError("Unable to allocate memory\n");
        }
        FreeResultValues(row);
        FreeResultRows(rows);
        return nullptr;
    }
    ResultColumn *descs = MakeColumnDescs(columns);
    ResultSet *set = descs ? CreateResultSet(rows, descs, columnCount) : nullptr;
    if (set == nullptr) {
        LogError("Unable to allocate memory\n");
        FreeColumnDescs(descs, columnCount);
        FreeResultRows(rows);
    }
    return set;
}

ResultSet *Query(ConnectionHandle *handle, const char *sql, bool streaming, BlobChunkSink sink,
                 void *userData) {
    SQLHDBC dbc = DbcOf(handle);
    if (dbc == nullptr) return nullptr;
    try {
        return RunQuery(dbc, sql, streaming, sink, userData);
    } catch (const std::bad_alloc &) {
        LogError("Unable to allocate memory\n");
        return nullptr;
    }
}

SQLRETURN SetAutocommit(SQLHDBC dbc, SQLULEN mode) {
    return SQLSetConnectAttr(dbc, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(mode),
                             SQL_IS_INTEGER);
}

void NoteFailure(OdbcConnection *connection);

int EndTransaction(ConnectionHandle *handle, SQLSMALLINT completion, const char *failure) {
    SQLHDBC dbc = DbcOf(handle);
    if (dbc == nullptr) return 0;
    if (!SQL_SUCCEEDED(SQLEndTran(SQL_HANDLE_DBC, dbc, completion))) {
        LogError("%s", failure);
        ODBCLogDiagnostics(dbc);
        NoteFailure(ConnectionOf(handle));
        // A failed commit must not leave the transaction open: the statements that follow
        // would run inside it and never be committed.
        if (completion == SQL_COMMIT &&
            SQL_SUCCEEDED(SQLEndTran(SQL_HANDLE_DBC, dbc, SQL_ROLLBACK))) {
            SetAutocommit(dbc, SQL_AUTOCOMMIT_ON);
        }
        return 0;
    }
    if (!SQL_SUCCEEDED(SetAutocommit(dbc, SQL_AUTOCOMMIT_ON))) {
        LogError("Error in setting SQL_AUTOCOMMIT_ON\n");
        ODBCLogDiagnostics(dbc);
        return 0;
    }
    return 1;
}

void FreeConnection(OdbcConnection *connection, bool connected) {
    if (connected && !SQL_SUCCEEDED(SQLDisconnect(connection->dbc))) {
        // A driver refuses to disconnect inside a transaction; what it holds is given up.
        SQLEndTran(SQL_HANDLE_DBC, connection->dbc, SQL_ROLLBACK);
        SQLDisconnect(connection->dbc);
    }
    if (connection->dbc != SQL_NULL_HDBC) SQLFreeHandle(SQL_HANDLE_DBC, connection->dbc);
    if (connection->env != SQL_NULL_HENV) SQLFreeHandle(SQL_HANDLE_ENV, connection->env);
    if (connection->connectText != nullptr) {
        Wipe(connection->connectText, strlen(connection->connectText));
        free(connection->connectText);
    }
    delete connection;
}

// Connects the record's connection handle with its kept text; logs a refusal.
bool Connect(OdbcConnection *connection) {
    SQLCHAR completed[1025];
    SQLSMALLINT completedLength = 0;
    SQLRETURN rc =
        SQLDriverConnect(connection->dbc, nullptr, Text(connection->connectText), SQL_NTS,
                         completed, sizeof completed, &completedLength, SQL_DRIVER_NOPROMPT);
    Wipe(completed, sizeof completed);  // may hold the password
    if (SQL_SUCCEEDED(rc)) return true;
    LogError("Connecting to driver failed\n");
    return false;
}

// After a failed call: marks the connection lost when the driver says the server dropped it.
// Asked only after a failure, since a driver may ask the server to answer.
void NoteFailure(OdbcConnection *connection) {
    if (connection == nullptr || connection->lost) return;
    SQLUINTEGER dead = SQL_CD_FALSE;
    if (SQL_SUCCEEDED(
            SQLGetConnectAttr(connection->dbc, SQL_ATTR_CONNECTION_DEAD, &dead, 0, nullptr)) &&
        dead == SQL_CD_TRUE) {
        connection->lost = true;
        LogError("The connection to the database was lost\n");
    }
}

// Connects a lost connection again, so that a pooled connection outlives a restart of its
// server. Never inside a transaction: the new connection would silently run the rest of it on
// its own. False only when connecting again was tried and failed. The caller holds the
// handle's lock.
bool Recover(ConnectionHandle *handle) {
    OdbcConnection *connection = ConnectionOf(handle);
    if (connection == nullptr || !connection->lost || handle->inTransaction != 0) return true;
    // The server is gone: disconnecting only makes the driver let go of its side.
    SQLDisconnect(connection->dbc);
    SQLFreeHandle(SQL_HANDLE_DBC, connection->dbc);
    connection->dbc = SQL_NULL_HDBC;
    if (SQLAllocConnect(connection->env, &connection->dbc) != SQL_SUCCESS) {
        connection->dbc = SQL_NULL_HDBC;
        LogError("Allocating connection Handle failed\n");
        return false;
    }
    if (!Connect(connection)) return false;
    connection->lost = false;
    LogDebug(" %s : Connection Established\n",
             handle->connectionName != nullptr ? handle->connectionName : "(null)");
    return true;
}

// Whether a call that failed may run once more on a new connection: the connection was lost
// outside a transaction and is connected again. A statement that reached a server which then
// went away has not run (a stopped server ends its transactions), so running it again cannot
// apply it twice, short of a commit whose answer was lost on the way.
bool RecoveredAfterFailure(ConnectionHandle *handle) {
    OdbcConnection *connection = ConnectionOf(handle);
    NoteFailure(connection);
    if (connection == nullptr || !connection->lost || handle->inTransaction != 0) return false;
    if (!Recover(handle)) return false;
    LogError("Running the statement again on the new connection\n");
    return true;
}

constexpr DBProvider kProvider = {
    "ODBC",
    ODBCOpenConnection,
    ODBCExecuteUpdate,
    ODBCExecuteQuery,
    ODBCCloseConnection,
    ODBCBeginTransaction,
    ODBCCommitTransaction,
    ODBCRollbackTransaction,
    ODBCExecuteUpdateBlob,
    ODBCExecuteQueryBlob,
};

}  // namespace

extern "C" {

const DBProvider *GetODBCProvider(void) {
    return &kProvider;
}

int RegisterODBCProvider(void) {
    return RegisterDBProvider(&kProvider) == 1 ? 1 : 0;
}

char *ODBCBuildConnectionString(const ConnParamsEntry *entry) {
    if (entry == nullptr) return nullptr;
    if (entry->useConnectionString == 1) {
        return entry->connectionString ? strdup(entry->connectionString) : nullptr;
    }
    try {
        std::string text;
        if (entry->dsn != nullptr) text += "DSN=" + Braced(entry->dsn);
        text += ";";
        if (entry->userId != nullptr) text += "UID=" + Braced(entry->userId);
        text += ";";
        if (entry->password != nullptr) text += "PWD=" + Braced(entry->password);
        text += ";";
        if (entry->providerName != nullptr)
            text += "Driver={" + std::string(entry->providerName) + "}";
        char *copy = strdup(text.c_str());
        Wipe(text.data(), text.size());
        return copy;
    } catch (const std::bad_alloc &) {
        return nullptr;
    }
}

ConnectionHandle *ODBCOpenConnection(ConnParamsEntry *entry) {
    LogTrace("@@@ Inside ODBCOpenConnection @@@\n");
    if (entry == nullptr || entry->dsn == nullptr ||
        (entry->useConnectionString == 1 && entry->connectionString == nullptr)) {
        LogError("ODBC connection Parameter missing\n");
        return nullptr;
    }
    SQLHENV env = SQL_NULL_HENV;
    if (SQLAllocEnv(&env) != SQL_SUCCESS) {
        LogError("Allocating Env Handle failed\n");
        return nullptr;
    }
    auto *connection = new (std::nothrow) OdbcConnection;
    if (connection == nullptr) {
        LogError("Error in allocating SQLHDBC\n");
        SQLFreeHandle(SQL_HANDLE_ENV, env);
        return nullptr;
    }
    connection->env = env;
    if (SQLAllocConnect(env, &connection->dbc) != SQL_SUCCESS) {
        LogError("Allocating connection Handle failed\n");
        connection->dbc = SQL_NULL_HDBC;
        FreeConnection(connection, false);
        return nullptr;
    }
    connection->connectText = ODBCBuildConnectionString(entry);
    if (connection->connectText == nullptr) {
        LogError("Unable to allocate memory\n");
        FreeConnection(connection, false);
        return nullptr;
    }
    if (!Connect(connection)) {
        FreeConnection(connection, false);
        return nullptr;
    }
    auto *handle = static_cast<ConnectionHandle *>(calloc(1, sizeof(ConnectionHandle)));
    char *name = entry->connectionName ? strdup(entry->connectionName) : nullptr;
    if (handle == nullptr || (entry->connectionName != nullptr && name == nullptr)) {
        LogError("Unable to allocate memory\n");
        free(handle);
        free(name);
        FreeConnection(connection, true);
        return nullptr;
    }
    handle->providerHandle = connection;
    handle->connectionName = name;
    return handle;
}

// One plain statement on the connection; 1 or 0.
int RunUpdate(SQLHDBC dbc, const char *sql) {
    Statement statement(false);
    if (!statement.Allocate(dbc)) return 0;
    // One call: a text that runs once gains nothing from being prepared first, and psqlODBC
    // makes and drops a server-side plan for each prepared statement (five round trips in a
    // transaction instead of one).
    if (sql == nullptr || !Ran(SQLExecDirect(statement.get(), Text(sql), SQL_NTS))) {
        // Preparing the refused text again (which runs nothing) tells which step refused it.
        Statement again(false);
        if (again.Allocate(dbc) && Prepare(again, sql)) LogError("SQLExecute failed\n");
        return 0;
    }
    // The count is not examined: an update that changes no row has still succeeded.
    SQLLEN rows = 0;
    if (!SQL_SUCCEEDED(SQLRowCount(statement.get(), &rows))) {
        LogError("No Rows Affected \n");
        return 0;
    }
    return 1;
}

int ODBCExecuteUpdate(ConnectionHandle *handle, const char *sql) {
    LogTrace("@@@ Inside ODBCExecuteUpdate @@@\n");
    if (DbcOf(handle) == nullptr) return 0;
    ObjectLock lock(handle);
    if (!Recover(handle)) return 0;
    if (RunUpdate(DbcOf(handle), sql) == 1) return 1;
    return RecoveredAfterFailure(handle) ? RunUpdate(DbcOf(handle), sql) : 0;
}

ResultSet *ODBCExecuteQuery(ConnectionHandle *handle, const char *sql) {
    LogTrace("@@@ Inside ODBCExecuteQuery @@@\n");
    if (DbcOf(handle) == nullptr) return nullptr;
    ObjectLock lock(handle);
    if (!Recover(handle)) return nullptr;
    if (ResultSet *set = Query(handle, sql, false, nullptr, nullptr)) return set;
    return RecoveredAfterFailure(handle) ? Query(handle, sql, false, nullptr, nullptr) : nullptr;
}

// The streamed calls are not run again after a lost connection: the chunks already handed
// over cannot be taken back or asked for twice.
ResultSet *ODBCExecuteQueryBlob(ConnectionHandle *handle, const char *sql, BlobChunkSink sink,
                                void *userData) {
    LogTrace("@@@ Inside ODBCExecuteQueryBlob @@@\n");
    if (DbcOf(handle) == nullptr) return nullptr;
    {
        ObjectLock lock(handle);
        if (!Recover(handle)) return nullptr;
    }
    ResultSet *set = Query(handle, sql, true, sink, userData);
    if (set == nullptr) NoteFailure(ConnectionOf(handle));
    return set;
}

int ODBCExecuteUpdateBlob(ConnectionHandle *handle, const char *sql, BlobChunkSource source,
                          void *userData) {
    LogTrace("@@@ Inside ODBCExecuteUpdateBlob @@@\n");
    if (DbcOf(handle) == nullptr) return 0;
    {
        ObjectLock lock(handle);
        if (!Recover(handle)) return 0;
    }
    int done = 0;
    try {
        done = UpdateBlob(DbcOf(handle), sql, source, userData);
    } catch (const std::bad_alloc &) {
        LogError("Unable to allocate memory\n");
        return 0;
    }
    if (done != 1) NoteFailure(ConnectionOf(handle));
    return done;
}

int ODBCCloseConnection(ConnectionHandle *handle) {
    LogTrace("@@@ Inside ODBCCloseConnection @@@\n");
    if (handle == nullptr || handle->providerHandle == nullptr) return 0;
    FreeConnection(static_cast<OdbcConnection *>(handle->providerHandle), true);
    handle->providerHandle = nullptr;
    return 1;
}

int ODBCBeginTransaction(ConnectionHandle *handle) {
    LogTrace("@@@ Inside ODBCBeginTransaction @@@\n");
    if (DbcOf(handle) == nullptr) return 0;
    {
        // A transaction begins on a live connection, not on one the server dropped.
        ObjectLock lock(handle);
        if (!Recover(handle)) return 0;
    }
    SQLHDBC dbc = DbcOf(handle);
    if (!SQL_SUCCEEDED(SetAutocommit(dbc, SQL_AUTOCOMMIT_OFF))) {
        LogError("Error in setting SQL_AUTOCOMMIT_OFF\n");
        ODBCLogDiagnostics(dbc);
        NoteFailure(ConnectionOf(handle));
        return 0;
    }
    return 1;
}

int ODBCCommitTransaction(ConnectionHandle *handle) {
    LogTrace("@@@ Inside ODBCCommitTransaction @@@\n");
    return EndTransaction(handle, SQL_COMMIT, "Error in commiting transaction\n");
}

int ODBCRollbackTransaction(ConnectionHandle *handle) {
    LogTrace("@@@ Inside ODBCRollbackTransaction @@@\n");
    return EndTransaction(handle, SQL_ROLLBACK, "Error in rollbacking transaction\n");
}

void ODBCLogDiagnostics(void *hdbc) {
    SQLCHAR state[6] = {0};
    SQLINTEGER native = 0;
    SQLCHAR message[255] = {0};
    SQLSMALLINT length = 0;
    if (hdbc == nullptr || !SQL_SUCCEEDED(SQLGetDiagRec(SQL_HANDLE_DBC, hdbc, 1, state, &native,
                                                        message, sizeof message, &length))) {
        state[0] = 0;
        message[0] = 0;
    }
    LogError("Error in starting transaction\n");
    LogError("STATE: %s\n", reinterpret_cast<const char *>(state));
    LogError("NAT: %ld\n", long(native));
    LogError("MSG: %s\n", reinterpret_cast<const char *>(message));
}

}  // extern "C"
