/*
 * Open connections and their hand-out to threads, and the statement and transaction calls
 * that dispatch to a connection's provider.
 *
 * The pool (gv_connectionPoolVect) holds, per connection name, the handles opened for it. A
 * handle is free (owner CONNECTION_FREE) or held by one thread (owner = its thread id); a
 * name with a single connection shares it among all threads (owner CONNECTION_SHARED).
 * GetConnectionHandle gives a thread the handle it holds, else claims a free one; claiming is
 * exclusive (the pool's lock guards the whole choice), so two threads never get the same free
 * handle. A handle opened more than 27,900 seconds ago is replaced (the old one closed) when it
 * is handed out. Handles stay the pool's: callers release them, never free them.
 *
 * Transactions: BeginTransaction holds the handle for the calling thread until that thread
 * commits or rolls back (or the handle is closed): the statements of other threads sharing the
 * handle wait meanwhile, so none of them becomes part of the transaction. The thread that
 * begins a transaction ends it.
 *
 * Results: 1/0 or null on failure, logged as the messages below say.
 */
#ifndef KV_DB_CONNECTION_POOL_H
#define KV_DB_CONNECTION_POOL_H

#include "db/provider.h"
#include "util/vector.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct ConnectionPoolEntry {
    char *connectionName;
    Vector connections; /* ConnectionHandle */
} ConnectionPoolEntry;

extern Vector gv_connectionPoolVect;

/* Seconds after which a connection is replaced when handed out (7 h 45 min). */
enum { CONNECTION_MAX_AGE = 27900 };

void InitConnectionVectors(void);
ConnectionHandle *OpenDBConnection(ConnParamsEntry *entry);
int CloseDBConnection(ConnectionHandle *handle);
int EstablishDBConnections(void);
/* count connections per entry; 0 means 5. */
int EstablishDBConnectionPool(int count);
ConnectionHandle *GetConnectionHandle(const char *connectionName);
int ReleaseConnectionHandle(const char *connectionName);
void CloseAllDBConnections(void);

int ExecuteUpdate(ConnectionHandle *handle, const char *sql);
int ExecuteUpdateBlob(ConnectionHandle *handle, const char *sql, BlobChunkSource source,
                      void *userData);
ResultSet *ExecuteQuery(ConnectionHandle *handle, const char *sql);
ResultSet *ExecuteQueryBlob(ConnectionHandle *handle, const char *sql, BlobChunkSink sink,
                            void *userData);
int BeginTransaction(ConnectionHandle *handle);
int CommitTransaction(ConnectionHandle *handle);
int RollbackTransaction(ConnectionHandle *handle);
/* 1 when the calling thread began a transaction on the handle that has not ended yet. */
int InOwnTransaction(const ConnectionHandle *handle);

/* The clock the pool ages connections by (seconds since 1970, 32 bits); tests replace it. */
typedef uint32_t (*PoolClock)(void);
void SetPoolClock(PoolClock clock);

#ifdef __cplusplus
}
#endif

#endif /* KV_DB_CONNECTION_POOL_H */
