/*
 * The records the database layer passes between its pieces: the operation table of a
 * database provider (DBProvider), the operation table of a dialect's SQL generator
 * (QueryGenerator), one connection's parameters (ConnParamsEntry) and an open connection
 * (ConnectionHandle).
 *
 * The operation tables are constant, one per provider and one per dialect, reached through
 * the registries of the connection layer. Text returned by a generator is malloc'd and freed
 * by the caller; a ResultSet or RowObject returned is the caller's. A ConnParamsEntry owns
 * its texts. A ConnectionHandle (malloc'd, with a malloc'd connection name) is allocated by the
 * provider that opens it; the provider's close operation releases the provider's own record,
 * and CloseDBConnection frees the name and the handle. It belongs to one thread at a time
 * (see owner).
 */
#ifndef KV_DB_PROVIDER_H
#define KV_DB_PROVIDER_H

#include <stdint.h>

#include "db/result_set.h"
#include "db/select_query.h"

#ifdef __cplusplus
extern "C" {
#endif

struct RowObject;
struct ConnParamsEntry;
struct ConnectionHandle;

/* Fills in the next chunk and returns any value but 2, or returns 2 when there is no more. */
typedef unsigned char (*BlobChunkSource)(unsigned char **chunk, int32_t *length, void *userData);
/* Called for each piece of a binary column, then once with null and 0 when it is complete. */
typedef void (*BlobChunkSink)(const unsigned char *chunk, int32_t length, void *userData);

typedef struct DBProvider {
    const char *name;
    struct ConnectionHandle *(*openConnection)(struct ConnParamsEntry *entry);
    int (*executeUpdate)(struct ConnectionHandle *handle, const char *sql);
    ResultSet *(*executeQuery)(struct ConnectionHandle *handle, const char *sql);
    int (*closeConnection)(struct ConnectionHandle *handle);
    int (*beginTransaction)(struct ConnectionHandle *handle);
    int (*commitTransaction)(struct ConnectionHandle *handle);
    int (*rollbackTransaction)(struct ConnectionHandle *handle);
    int (*executeBlobUpdate)(struct ConnectionHandle *handle, const char *sql, BlobChunkSource source,
                             void *userData);
    ResultSet *(*executeBlobQuery)(struct ConnectionHandle *handle, const char *sql, BlobChunkSink sink,
                                   void *userData);
} DBProvider;

typedef struct QueryGenerator {
    const char *name; /* "FIREBIRD", "SQLITE", "MYSQL" or "PGSQL" */
    char *(*GenSelectQuery)(SelectQuery *query);
    char *(*GenUpdateQuery)(const char *tableName, struct RowObject *row);
    char *(*GenInsertQuery)(const char *tableName, struct RowObject *row);
    char *(*GenDeleteQuery)(const char *tableName, struct RowObject *row);
    char *(*GenCreateQuery)(const char *tableName);
    struct RowObject *(*ConvResultsetToRowobject)(ResultSet *set, const char *tableName);
} QueryGenerator;

typedef struct ConnParamsEntry {
    char *firstText;      /* kept, read by nothing */
    uint16_t number;      /* kept, read by nothing */
    char *dsn;
    char *userId;
    char *password;       /* null when the file says "NULL" */
    int32_t reserved;     /* always 0 */
    char *connectionName;
    unsigned char useConnectionString;
    char *connectionString; /* present only when useConnectionString is 1 */
    char *providerName;
    char *dialect;        /* "MYSQL", "PGSQL", "FIREBIRD" or "SQLITE" */
} ConnParamsEntry;

enum { CONNECTION_FREE = -1, CONNECTION_SHARED = 1 };

typedef struct ConnectionHandle {
    void *providerHandle; /* the provider's own record */
    char *connectionName;
    int32_t providerIndex;
    int32_t owner;        /* CONNECTION_FREE, the holder's thread id, or CONNECTION_SHARED */
    unsigned char inTransaction;
    uint32_t openedAt;    /* seconds since 1970-01-01 UTC */
} ConnectionHandle;

#ifdef __cplusplus
}
#endif

#endif /* KV_DB_PROVIDER_H */
