// The connection pool and the statement dispatch.
#include "db/connection_pool.h"

#include <stdlib.h>
#include <string.h>
#include <time.h>

#include <algorithm>
#include <vector>

#include "db/conn_params.h"
#include "db/providers.h"
#include "logging/log.h"
#include "platform/threads.h"
#include "util/lock.h"

Vector gv_connectionPoolVect = {nullptr, 0, nullptr, nullptr};

namespace {

uint32_t SystemClock() {
    return uint32_t(time(nullptr));
}

PoolClock g_clock = SystemClock;

// Guards every choice and change of a handle's owner, so that claiming is exclusive.
char g_poolLock;

const DBProvider *ProviderOf(const ConnectionHandle *handle) {
    if (handle == nullptr || handle->providerIndex < 0 ||
        handle->providerIndex >= DB_PROVIDER_SLOTS)
        return nullptr;
    return gv_dbProviders[handle->providerIndex];
}

constexpr const char *kNoUpdate = " No Query To be Updated \n";
constexpr const char *kNoQuery = " No Query To be Executed \n";

// The checks every statement call makes, with its messages; the handle's provider when they
// pass (null, silently, when that provider is no longer loaded).
const DBProvider *StatementProvider(const ConnectionHandle *handle, const char *sql,
                                    const char *call, const char *noSql) {
    if (handle == nullptr) {
        LogError("ConnectionHandle NULL in %s for Query %s \n", call, sql);
        return nullptr;
    }
    if (sql == nullptr) {
        LogError("%s", noSql);
        return nullptr;
    }
    return ProviderOf(handle);
}

// A transaction holds its handle for the thread that began it: the statements of other threads
// on that handle (a name with one connection shares it) wait until it ends, so none of them
// runs inside it and is committed or rolled back with it. The key is the address of the
// handle's inTransaction field, which no other lock uses; each thread lists the handles whose
// transaction it holds.
thread_local std::vector<const ConnectionHandle *> t_heldTransactions;

const void *TransactionKey(const ConnectionHandle *handle) {
    return &handle->inTransaction;
}

bool HeldHere(const ConnectionHandle *handle) {
    return std::find(t_heldTransactions.begin(), t_heldTransactions.end(), handle) !=
           t_heldTransactions.end();
}

void Hold(const ConnectionHandle *handle) {
    LockObject(TransactionKey(handle));
    t_heldTransactions.push_back(handle);
}

void LetGo(const ConnectionHandle *handle) {
    auto held = std::find(t_heldTransactions.begin(), t_heldTransactions.end(), handle);
    if (held == t_heldTransactions.end()) return;
    t_heldTransactions.erase(held);
    UnlockObject(TransactionKey(handle));
}

// Runs for the length of one statement: waits while another thread's transaction holds the
// handle, and keeps one from beginning until the statement is done.
class StatementTurn {
  public:
    explicit StatementTurn(const ConnectionHandle *handle)
        : key_(handle != nullptr && !HeldHere(handle) ? TransactionKey(handle) : nullptr) {
        if (key_ != nullptr) LockObject(key_);
    }
    ~StatementTurn() {
        if (key_ != nullptr) UnlockObject(key_);
    }
    StatementTurn(const StatementTurn &) = delete;
    StatementTurn &operator=(const StatementTurn &) = delete;

  private:
    const void *key_;
};

ConnectionPoolEntry *FindPoolEntry(const char *connectionName) {
    if (gv_connectionPoolVect.head == nullptr) return nullptr;
    if (connectionName == nullptr) {
        // A null name means the pool's only connection name, and only when there is one.
        return gv_connectionPoolVect.count == 1
                   ? static_cast<ConnectionPoolEntry *>(gv_connectionPoolVect.head->element)
                   : nullptr;
    }
    for (VectorNode *n = gv_connectionPoolVect.head; n; n = n->next) {
        auto *entry = static_cast<ConnectionPoolEntry *>(n->element);
        if (entry->connectionName && strcmp(entry->connectionName, connectionName) == 0)
            return entry;
    }
    return nullptr;
}

int32_t OwnerKey(const ConnectionPoolEntry *entry) {
    return entry->connections.count == 1 ? CONNECTION_SHARED : int32_t(PlatCurrentThreadId());
}

ConnectionHandle *FindByOwner(ConnectionPoolEntry *entry, int32_t owner) {
    for (VectorNode *n = entry->connections.head; n; n = n->next) {
        auto *handle = static_cast<ConnectionHandle *>(n->element);
        if (handle->owner == owner) return handle;
    }
    return nullptr;
}

ConnectionPoolEntry *NewPoolEntry(const char *connectionName) {
    auto *entry = static_cast<ConnectionPoolEntry *>(calloc(1, sizeof(ConnectionPoolEntry)));
    if (entry == nullptr) return nullptr;
    InitVector(&entry->connections, nullptr);
    if (connectionName && (entry->connectionName = strdup(connectionName)) == nullptr) {
        free(entry);
        return nullptr;
    }
    return entry;
}

void FreePoolEntry(ConnectionPoolEntry *entry) {
    while (entry->connections.head != nullptr) {
        auto *handle = static_cast<ConnectionHandle *>(entry->connections.head->element);
        DeleteElementAt(&entry->connections, 0);
        CloseDBConnection(handle);
    }
    free(entry->connectionName);
    free(entry);
}

// Replaces a connection opened too long ago by a new one held by the same owner.
ConnectionHandle *Reopen(ConnectionPoolEntry *entry, ConnectionHandle *stale, int32_t owner) {
    ConnParamsEntry *params = GetConnParamsEntry(stale->connectionName);
    if (params == nullptr) {
        LogError("Cannot return connection handle. Error in fetching connection parameters.\n");
        return nullptr;
    }
    DeleteLCDVector(&entry->connections, stale);
    CloseDBConnection(stale);
    ConnectionHandle *fresh = OpenDBConnection(params);
    if (fresh == nullptr) {
        LogError(
            "Cannot return connection handle. Error in opening connection while re-establishing "
            "connection hanlde.\n");
        return nullptr;
    }
    fresh->owner = owner;
    if (!AddElementData(&entry->connections, fresh)) {
        CloseDBConnection(fresh);
        return nullptr;
    }
    LogDebug(" %s : Connection Established\n", fresh->connectionName);
    return fresh;
}

ConnectionHandle *HandOut(ConnectionPoolEntry *entry, ConnectionHandle *handle, int32_t owner,
                          uint32_t now) {
    if (uint32_t(now - handle->openedAt) <= CONNECTION_MAX_AGE) return handle;
    return Reopen(entry, handle, owner);
}

}  // namespace

extern "C" {

void SetPoolClock(PoolClock clock) {
    g_clock = clock ? clock : SystemClock;
}

void InitConnectionVectors(void) {
    InitVector(&gv_dataSourceVect, nullptr);
    InitVector(&gv_connectionPoolVect, nullptr);
}

ConnectionHandle *OpenDBConnection(ConnParamsEntry *entry) {
    LogTrace("@@@ Inside OpenDBConnection @@@\n");
    if (entry == nullptr) return nullptr;
    int index = GetDBProviderIndex(entry->providerName);
    if (index < 0) return nullptr;
    ConnectionHandle *handle = gv_dbProviders[index]->openConnection(entry);
    if (handle == nullptr) return nullptr;
    handle->providerIndex = index;
    handle->owner = CONNECTION_FREE;
    handle->inTransaction = 0;
    handle->openedAt = g_clock();
    return handle;
}

int CloseDBConnection(ConnectionHandle *handle) {
    const DBProvider *provider = ProviderOf(handle);
    if (provider == nullptr) return 0;
    // The provider gives up an open transaction; its hold on the handle goes with it.
    LetGo(handle);
    provider->closeConnection(handle);  // releases the provider's own record
    free(handle->connectionName);
    free(handle);
    return 1;
}

int EstablishDBConnections(void) {
    LogTrace("@@@ Inside EstablishDBConnections @@@\n");
    if (gv_dataSourceVect.head == nullptr) return 0;
    for (VectorNode *n = gv_dataSourceVect.head; n; n = n->next) {
        auto *params = static_cast<ConnParamsEntry *>(n->element);
        ConnectionPoolEntry *entry = NewPoolEntry(params->connectionName);
        if (entry == nullptr) {
            LogError("Unable to allocate memory for connection pool\n");
            return 0;
        }
        ConnectionHandle *handle = OpenDBConnection(params);
        if (handle == nullptr) {
            LogError("Cannot establish connection.\n");
            FreePoolEntry(entry);
            return 0;
        }
        if (!AddElementData(&entry->connections, handle) ||
            !AddElementData(&gv_connectionPoolVect, entry)) {
            LogError("Unable to allocate memory for connection pool\n");
            FreePoolEntry(entry);
            return 0;
        }
        LogDebug(" %s : Connection Established\n", handle->connectionName);
    }
    return 1;
}

int EstablishDBConnectionPool(int count) {
    LogTrace("@@@ Inside EstablishDBConnectionPool @@@\n");
    if (gv_dataSourceVect.head == nullptr) {
        LogError("There is no entry in data source vector\n");
        return 0;
    }
    if (count <= 0) count = 5;
    for (VectorNode *n = gv_dataSourceVect.head; n; n = n->next) {
        auto *params = static_cast<ConnParamsEntry *>(n->element);
        ConnectionPoolEntry *entry = NewPoolEntry(params->connectionName);
        if (entry == nullptr) {
            LogError("Unable to allocate memory for connection pool\n");
            return 0;
        }
        for (int attempt = 0; attempt < count; ++attempt) {
            ConnectionHandle *handle = OpenDBConnection(params);
            if (handle == nullptr) continue;
            if (!AddElementData(&entry->connections, handle)) {
                CloseDBConnection(handle);
                continue;
            }
            LogDebug(" %d : %s : Connection Established\n", attempt, handle->connectionName);
        }
        if (!AddElementData(&gv_connectionPoolVect, entry)) {
            LogError("Unable to allocate memory for connection pool\n");
            FreePoolEntry(entry);
            return 0;
        }
    }
    return 1;
}

ConnectionHandle *GetConnectionHandle(const char *connectionName) {
    ObjectLock lock(&g_poolLock);
    ConnectionPoolEntry *entry = FindPoolEntry(connectionName);
    if (entry == nullptr) return nullptr;
    uint32_t now = g_clock();
    int32_t owner = OwnerKey(entry);
    if (ConnectionHandle *mine = FindByOwner(entry, owner)) return HandOut(entry, mine, owner, now);
    ConnectionHandle *free = FindByOwner(entry, CONNECTION_FREE);
    if (free == nullptr) return nullptr;
    free->owner = owner;
    return HandOut(entry, free, owner, now);
}

int ReleaseConnectionHandle(const char *connectionName) {
    ObjectLock lock(&g_poolLock);
    ConnectionPoolEntry *entry =
        connectionName == nullptr && gv_connectionPoolVect.head
            ? static_cast<ConnectionPoolEntry *>(gv_connectionPoolVect.head->element)
            : FindPoolEntry(connectionName);
    if (entry == nullptr) return 0;
    ConnectionHandle *held = FindByOwner(entry, OwnerKey(entry));
    if (held == nullptr) return 0;
    held->owner = CONNECTION_FREE;
    return 1;
}

void CloseAllDBConnections(void) {
    ObjectLock lock(&g_poolLock);
    while (gv_connectionPoolVect.head != nullptr) {
        auto *entry = static_cast<ConnectionPoolEntry *>(gv_connectionPoolVect.head->element);
        DeleteElementAt(&gv_connectionPoolVect, 0);
        FreePoolEntry(entry);
    }
}

int ExecuteUpdate(ConnectionHandle *handle, const char *sql) {
    const DBProvider *provider = StatementProvider(handle, sql, "ExecuteUpdate", kNoUpdate);
    if (provider == nullptr) return 0;
    StatementTurn turn(handle);
    return provider->executeUpdate(handle, sql);
}

int ExecuteUpdateBlob(ConnectionHandle *handle, const char *sql, BlobChunkSource source,
                      void *userData) {
    const DBProvider *provider = StatementProvider(handle, sql, "ExecuteUpdateBlob", kNoUpdate);
    if (provider == nullptr) return 0;
    StatementTurn turn(handle);
    return provider->executeBlobUpdate(handle, sql, source, userData);
}

ResultSet *ExecuteQuery(ConnectionHandle *handle, const char *sql) {
    const DBProvider *provider = StatementProvider(handle, sql, "ExecuteQuery", kNoQuery);
    if (provider == nullptr) return nullptr;
    StatementTurn turn(handle);
    return provider->executeQuery(handle, sql);
}

ResultSet *ExecuteQueryBlob(ConnectionHandle *handle, const char *sql, BlobChunkSink sink,
                            void *userData) {
    const DBProvider *provider = StatementProvider(handle, sql, "ExecuteQueryBlob", kNoQuery);
    if (provider == nullptr) return nullptr;
    StatementTurn turn(handle);
    return provider->executeBlobQuery(handle, sql, sink, userData);
}

int BeginTransaction(ConnectionHandle *handle) {
    const DBProvider *provider = ProviderOf(handle);
    if (provider == nullptr) return 0;
    const bool held = HeldHere(handle);
    if (!held) Hold(handle);
    int ok = provider->beginTransaction(handle);
    if (ok) {
        handle->inTransaction = 1;
    } else if (!held) {
        LetGo(handle);
    }
    return ok;
}

namespace {

// Commits or rolls back; either way the transaction is over and the connection is let go.
int EndTransaction(ConnectionHandle *handle, bool commit) {
    const DBProvider *provider = ProviderOf(handle);
    if (provider == nullptr || handle->inTransaction != 1) return 0;
    int ok = commit ? provider->commitTransaction(handle) : provider->rollbackTransaction(handle);
    handle->inTransaction = 0;
    LetGo(handle);
    return ok;
}

}  // namespace

int CommitTransaction(ConnectionHandle *handle) {
    return EndTransaction(handle, true);
}

int RollbackTransaction(ConnectionHandle *handle) {
    return EndTransaction(handle, false);
}

int InOwnTransaction(const ConnectionHandle *handle) {
    return handle != nullptr && HeldHere(handle) ? 1 : 0;
}

}  // extern "C"
