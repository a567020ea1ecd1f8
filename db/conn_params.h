/*
 * Connection parameters: the entries of connparams.txt, kept in file order in the
 * library-wide vector gv_dataSourceVect and found by connection name (case-sensitive).
 *
 * connparams.txt holds, per entry, ten white-space-separated tokens (a token may continue on
 * the next line) and the rest of the tenth token's line: first text, number, DSN, user,
 * password ("NULL" for none), an ignored token, connection name, provider name, dialect,
 * "YES" (any case) when the rest of the line is the connection string. A token longer than
 * 255 characters or a rest of line longer than 254 refuses that entry (logged), never
 * overruns.
 *
 * Ownership: the vector owns its entries; lookups return pointers into it, valid until the
 * entry is deleted. Loading happens once at start-up, before other threads use the library.
 */
#ifndef KV_DB_CONN_PARAMS_H
#define KV_DB_CONN_PARAMS_H

#include "db/provider.h"
#include "util/vector.h"

#ifdef __cplusplus
extern "C" {
#endif

extern Vector gv_dataSourceVect;

/* 1, also when the file holds no entry; 0 when neither path nor "<root>/data/connparams.txt"
 * can be opened. */
int LoadConnParamsEntryFromFile(const char *path);

/* Copies every text; a password of exactly "NULL" stays absent. Null when memory runs out. */
ConnParamsEntry *CreateConnParamsEntry(const char *firstText, uint16_t number, const char *dsn,
                                       const char *userId, const char *password, int32_t reserved,
                                       const char *connectionName,
                                       unsigned char useConnectionString,
                                       const char *connectionString, const char *providerName,
                                       const char *dialect);
int InsertConnParamsEntry(ConnParamsEntry *entry);
int DeleteConnParamsEntry(const char *connectionName);
ConnParamsEntry *GetConnParamsEntry(const char *connectionName);
void FreeConnParamsEntry(ConnParamsEntry *entry);
void FreeAllConnParamsEntries(void);

const char *GetDefaultConnectionName(void);
const char *GetProviderNameForConnection(const char *connectionName);
const char *GetDialectForConnection(const char *connectionName);
/* The connection that stores the table, from the data source map; null (logged) when none. */
const char *GetConnectionNameForTable(const char *tableName);

#ifdef __cplusplus
}
#endif

#endif /* KV_DB_CONN_PARAMS_H */
