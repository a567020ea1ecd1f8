// Reserving sequence batches in SeqGenState; see sequence_store.h for the contract.
#include "db/sequence_store.h"

#include <limits.h>
#include <stdlib.h>

#include <chrono>
#include <new>
#include <string>
#include <thread>

#include "db/conn_params.h"
#include "db/connection_pool.h"
#include "logging/log.h"
#include "store/column_defn.h"
#include "store/sequence_generator.h"
#include "util/strings.h"

namespace {

enum class Outcome { kReserved, kMissingTable, kFailed };

// A quote inside a name would end the literal: doubled, it stays part of it.
std::string Quoted(const char *text) {
    std::string out = "'";
    for (const char *p = text; *p != '\0'; ++p) {
        if (*p == '\'') out += '\'';
        out += *p;
    }
    return out + "'";
}

// The first row's CURRENTBATCHEND, whatever binary form the driver gave it.
bool ReadBatchEnd(ResultSet *set, long long *end) {
    int32_t length = 0;
    unsigned char *value = GetResultValueByName("CURRENTBATCHEND", &length, set);
    if (value == nullptr) return false;
    unsigned char type = GetResultColumnType("CURRENTBATCHEND", set);
    if (type >= VEL_SQL_TINYINT && type <= VEL_SQL_UNSIGNED_LONG_INT) {
        if (length != 1 && length != 2 && length != 4 && length != 8) return false;
        *end = ReadStoredInteger(value, length, type);
        return true;
    }
    // Numeric columns and drivers that answer in text.
    std::string text(reinterpret_cast<const char *>(value), size_t(length > 0 ? length : 0));
    char *stop = nullptr;
    long long parsed = strtoll(text.c_str(), &stop, 10);
    if (stop == text.c_str() || (*stop != '\0' && *stop != '.')) return false;
    *end = parsed;
    return true;
}

// The batch end after the update, when the sequence has a row: 1 found, 0 no row, -1 the
// query failed.
int SelectEnd(ConnectionHandle *handle, const std::string &select, long long *end) {
    LogTrace("Query %s\n", select.c_str());
    ResultSet *set = ExecuteQuery(handle, select.c_str());
    if (set == nullptr) return -1;
    int found = 0;
    if (NextResultRow(set) != nullptr) {
        found = ReadBatchEnd(set, end) ? 1 : -1;
        if (found < 0) LogError("Cannot read CURRENTBATCHEND for UpdateSeqGen\n");
    }
    FreeResultSet(set);
    return found;
}

class Reservation {
  public:
    Reservation(ConnectionHandle *handle, const char *dialect, const char *name, int batchSize)
        : handle_(handle), dialect_(dialect), batchSize_(batchSize) {
        const std::string quoted = Quoted(name);
        select_ = "select * from SeqGenState where SEQNAME = " + quoted + ";";
        update_ = "update SeqGenState set CURRENTBATCHEND = CURRENTBATCHEND + " +
                  std::to_string(batchSize) + " where SEQNAME = " + quoted + ";";
        insert_ =
            "insert into SeqGenState values (" + quoted + "," + std::to_string(batchSize) + ");";
    }

    Outcome Run(long long *end) {
        // Inside the caller's transaction the row stays locked until the caller commits.
        own_ = !InOwnTransaction(handle_);
        if (own_ && !BeginTransaction(handle_)) {
            LogError("Cannot begin a transaction for UpdateSeqGen\n");
            return Outcome::kFailed;
        }
        Outcome outcome = Reserve(end);
        if (outcome != Outcome::kReserved) {
            if (own_) RollbackTransaction(handle_);
            return outcome;
        }
        if (own_ && !CommitTransaction(handle_)) {
            LogError("Cannot commit the batch reserved for UpdateSeqGen\n");
            RollbackTransaction(handle_);
            return Outcome::kFailed;
        }
        return Outcome::kReserved;
    }

  private:
    // Moves the end on in place, then reads it; inserts the row a new sequence lacks.
    Outcome Reserve(long long *end) {
        Outcome moved = MoveAndRead(end);
        if (moved != Outcome::kFailed || found_ != 0) return moved;
        if (StrCompareNoCase(dialect_, "PGSQL") == 0) {
            // Two transactions that both find no row would both insert one; the table lock
            // lets one insert while the other waits, then finds the row.
            if (!ExecuteUpdate(handle_, "lock table SeqGenState in share row exclusive mode;")) {
                LogError("Cannot lock SeqGenState for UpdateSeqGen\n");
                return Outcome::kFailed;
            }
            moved = MoveAndRead(end);
            if (moved != Outcome::kFailed || found_ != 0) return moved;
        }
        LogTrace("Insert Query %s\n", insert_.c_str());
        if (!ExecuteUpdate(handle_, insert_.c_str())) {
            LogError("ExecuteUpdate Failed for insert\n");
            return Outcome::kFailed;
        }
        *end = batchSize_;
        return Outcome::kReserved;
    }

    // found_: 1 when the row was moved on and read, 0 when there is none, -1 on failure.
    Outcome MoveAndRead(long long *end) {
        found_ = -1;
        LogTrace("Update Query %s\n", update_.c_str());
        if (!ExecuteUpdate(handle_, update_.c_str())) {
            return MissingTable() ? Outcome::kMissingTable : Outcome::kFailed;
        }
        found_ = SelectEnd(handle_, select_, end);
        if (found_ < 0) return MissingTable() ? Outcome::kMissingTable : Outcome::kFailed;
        return found_ == 1 ? Outcome::kReserved : Outcome::kFailed;
    }

    // Whether a failed statement failed for want of the table (asked outside the broken
    // transaction, which a failed statement may have aborted).
    bool MissingTable() {
        if (own_) {
            RollbackTransaction(handle_);
            own_ = false;
        }
        ResultSet *set = ExecuteQuery(handle_, select_.c_str());
        if (set == nullptr) {
            LogError("Table doesn't Exists for UpdateSeqGen\n");
            return true;
        }
        FreeResultSet(set);
        LogError("ExecuteUpdate Failed for update\n");
        return false;
    }

    ConnectionHandle *handle_;
    const char *dialect_;
    int batchSize_;
    bool own_ = false;
    int found_ = -1;
    std::string select_, update_, insert_;
};

}  // namespace

extern "C" {

int ReserveSeqGenBatch(const char *tableName, const char *sequenceName, int batchSize,
                       int *batchEnd) {
    LogTrace("@@@ Inside ReserveSeqGenBatch @@@\n");
    if (sequenceName == nullptr || batchEnd == nullptr || batchSize <= 0) return 0;
    const char *connection =
        tableName != nullptr ? GetConnectionNameForTable(tableName) : GetDefaultConnectionName();
    if (connection == nullptr) return 0;
    ConnectionHandle *handle = GetConnectionHandle(connection);
    if (handle == nullptr) {
        LogError("No connection %s for UpdateSeqGen\n", connection);
        return 0;
    }
    const char *dialect = GetDialectForConnection(connection);
    int reserved = 0;
    try {
        Reservation reservation(handle, dialect != nullptr ? dialect : "", sequenceName, batchSize);
        for (int attempt = 1; attempt <= SEQUENCE_STORE_ATTEMPTS; ++attempt) {
            long long end = 0;
            Outcome outcome = reservation.Run(&end);
            if (outcome == Outcome::kMissingTable) break;
            if (outcome == Outcome::kReserved) {
                if (end < batchSize || end >= INT_MAX) {
                    LogError("Sequence %s has run out of numbers (batch end %lld)\n", sequenceName,
                             end);
                    break;
                }
                *batchEnd = int(end);
                reserved = 1;
                break;
            }
            LogError("Reserving a batch of sequence %s failed (attempt %d of %d)\n", sequenceName,
                     attempt, int(SEQUENCE_STORE_ATTEMPTS));
            // A conflicting process is given a moment to finish its transaction.
            std::this_thread::sleep_for(std::chrono::milliseconds(20 * attempt));
        }
    } catch (const std::bad_alloc &) {
        LogError("Memory allocation Failed\n");
    }
    ReleaseConnectionHandle(connection);
    return reserved;
}

void RegisterSequenceStore(void) {
    SetSeqGenReserveFn(&ReserveSeqGenBatch);
}

}  // extern "C"
