/*
 * The registries of database providers and SQL dialect generators, the two provider slots
 * that connections refer to, and the choice of a dialect for a table.
 *
 * Providers are found by name case-sensitively, generators case-insensitively. The tables
 * registered are constant and stay the registrant's. Registration and InitDBProvider happen
 * once at start-up, before other threads use the library; the registries are Vectors, whose
 * own lock guards their structure.
 */
#ifndef KV_DB_PROVIDERS_H
#define KV_DB_PROVIDERS_H

#include "db/provider.h"

#ifdef __cplusplus
extern "C" {
#endif

enum { DB_PROVIDER_SLOTS = 2 };
/* The dialect index table: 0 "MYSQL", 1 "PGSQL", 2 "FIREBIRD", 3 "SQLITE". */
extern const char *const gv_dialectNames[4];

extern const DBProvider *gv_dbProviders[DB_PROVIDER_SLOTS];
extern unsigned char gv_dsnMapValid;
extern unsigned char gv_defaultDialect;

int RegisterDBProvider(const DBProvider *provider);
const DBProvider *GetDBProvider(const char *name);
/* Slot 0 gets the ODBC provider; false (logged) when already done. */
int InitDBProvider(void);
int LoadDBProvider(const char *name);
int UnloadDBProvider(const char *name);
int GetDBProviderIndex(const char *name);
int LoadDialectDBProvider(void);
/* 1: each table's connection decides its dialect; 0: dialectIndex decides for all tables. */
void SetDSNMapValid(unsigned char status, unsigned char dialectIndex);
/* Empties the slots and the provider registry (shutdown). */
void FreeDBProviders(void);

/* Registers the PGSQL, MYSQL, SQLITE and FIREBIRD tables, in that order. */
void InitQueryGenerators(void);
int RegisterQueryGenerator(const QueryGenerator *generator);
const QueryGenerator *GetQueryGenerator(const char *name);
void FreeQueryGenerators(void);

/* The dialect a table's statements are written in, or null (logged) when it has none. */
const char *GetDialectForTable(const char *tableName);
/* The generator for a table's dialect, or null. */
const QueryGenerator *GetGeneratorForTable(const char *tableName);

#ifdef __cplusplus
}
#endif

#endif /* KV_DB_PROVIDERS_H */
