/*
 * The ODBC provider: the DBProvider named "ODBC" that opens connections through the ODBC
 * driver manager, runs statements, returns query rows as a ResultSet, streams binary
 * values in and out, and drives transactions. RegisterODBCProvider adds its table to the
 * provider registry; the connection layer calls its operations through that table.
 *
 * Connections: each ConnectionHandle (calloc'd, its name copied from the entry) carries
 * the provider's own record as providerHandle: an ODBC environment and connection of its
 * own, so closing one connection never disturbs another. ODBCCloseConnection disconnects
 * and frees that record; the ConnectionHandle itself is freed by the connection layer. The
 * environment is an ODBC 2 one, so drivers report date, time and timestamp columns as 9,
 * 10 and 11 (see odbc_types.h for the type table).
 *
 * A lost connection: when a call fails and the driver reports the connection dead (its
 * server stopped or restarted), the connection is connected again with the text it was
 * opened with, and a plain update or query that failed that way runs once more on it. Never
 * inside a transaction (the rest of it would run outside it): a transaction on a lost
 * connection fails to its end, and the next call after it connects again. While the server
 * stays away each call fails, after one refused attempt to connect. The streamed calls are
 * not run again.
 *
 * Values: every column is fetched as text and converted to the stored form of its type; a
 * value is read whole however long it is, even beyond the column size the driver reports.
 * A ResultSet returned is the caller's (FreeResultSet).
 *
 * Results and failures: 1 / 0, true / false, or a ResultSet / null, each failure logged at
 * error level where it happens; nothing is thrown. A statement counts as run when the
 * driver reports success, success with information (a notice or warning) or no data (an
 * update that touched no row). A failed query returns no rows at all. Connection strings
 * and passwords are never logged.
 *
 * Locking: ODBCExecuteUpdate and ODBCExecuteQuery hold the handle's own lock (LockObject
 * on the ConnectionHandle) for their whole run, so threads that share one connection run
 * them one after the other. The blob, transaction, open and close operations take no lock;
 * the chunk source and sink run on the caller's thread and must not use the same handle.
 */
#ifndef KV_DB_ODBC_PROVIDER_H
#define KV_DB_ODBC_PROVIDER_H

#include "db/provider.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The provider's constant operation table. */
const DBProvider *GetODBCProvider(void);
/* Adds the table to the provider registry under "ODBC"; 1, or 0 when it cannot. */
int RegisterODBCProvider(void);

/* A connected handle, or null (logged) for a null entry, an entry without a dsn (required
 * even with a connection string), or a connection the driver manager refuses. */
ConnectionHandle *ODBCOpenConnection(ConnParamsEntry *entry);
/* Runs one statement in one call (SQLExecDirect); 1, or 0 when it cannot be prepared or run
 * ("SQLPrepare failed\n" or "SQLExecute failed\n", told apart by preparing a refused text
 * again). */
int ODBCExecuteUpdate(ConnectionHandle *handle, const char *sql);
/* Runs a query; its rows, or null. */
ResultSet *ODBCExecuteQuery(ConnectionHandle *handle, const char *sql);
/* Disconnects and frees the provider's record; false for a null handle. */
int ODBCCloseConnection(ConnectionHandle *handle);
int ODBCBeginTransaction(ConnectionHandle *handle);
/* Both end the transaction and switch autocommit back on. A commit that fails also rolls
 * back, so the connection never stays in a transaction nobody will end. */
int ODBCCommitTransaction(ConnectionHandle *handle);
int ODBCRollbackTransaction(ConnectionHandle *handle);
/* Runs sql, whose one parameter marker takes the bytes source hands out, chunk by chunk,
 * until it returns 2. 1, or 0 (also when the source hands out a negative length). */
int ODBCExecuteUpdateBlob(ConnectionHandle *handle, const char *sql, BlobChunkSource source,
                          void *userData);
/* As ODBCExecuteQuery, but each binary or long-text column goes to sink in pieces of at
 * most 1024 bytes, followed by a call with null and 0, and the row holds SQL NULL for it;
 * a value that does not convert is stored as SQL NULL. A read error in the middle of a
 * streamed value fails the query without the closing call. */
ResultSet *ODBCExecuteQueryBlob(ConnectionHandle *handle, const char *sql, BlobChunkSink sink,
                                void *userData);

/* Logs the first diagnostic record of an ODBC connection handle (SQLHDBC). */
void ODBCLogDiagnostics(void *hdbc);
/* The connection string ODBCOpenConnection passes to the driver manager (new malloc'd
 * text), or null for an entry it would refuse. A value holding ";", "{" or "}" or
 * surrounding blanks is put in braces, so it cannot end early or add keywords. */
char *ODBCBuildConnectionString(const ConnParamsEntry *entry);

#ifdef __cplusplus
}
#endif

#endif /* KV_DB_ODBC_PROVIDER_H */
