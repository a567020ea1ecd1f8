/*
 * The data source map: for each table, the name of the connection (a ConnParamsEntry's
 * connectionName) that stores it, read from dsn_table_map.txt at start-up.
 *
 * The map, gv_dataSourceMapVect, is an unsorted Vector of DataSourceMapEntry in file
 * order, searched by table name ignoring case; the first match wins. The map owns its
 * entries and their texts; lookups return pointers into it, valid until the entry is
 * deleted or the map freed. Entries are added at start-up and only read afterwards; the
 * Vector's own lock guards each access.
 *
 * dsn_table_map.txt holds pairs of white-space-separated tokens, a table name and its
 * connection name, normally one pair a line. A token longer than 255 characters refuses
 * its pair (logged); a table name without a connection name at the end is dropped.
 *
 * Results: 1 / 0 or a pointer / null; nothing is thrown.
 */
#ifndef KV_DB_DATA_SOURCE_MAP_H
#define KV_DB_DATA_SOURCE_MAP_H

#include "util/vector.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct DataSourceMapEntry {
    char *tableName;
    char *connectionName;
} DataSourceMapEntry;

extern Vector gv_dataSourceMapVect;

/* Empties the map (freeing any entries it still holds). */
void InitDataSourceMap(void);
/* A new entry holding copies of both names; null when either is null or memory runs out. */
DataSourceMapEntry *CreateDataSourceMapEntry(const char *tableName, const char *connectionName);
/* Appends the entry, which the map then owns; 0 for null or when memory runs out (the
 * entry then stays the caller's). */
int AddDataSourceMapEntry(DataSourceMapEntry *entry);
/* Removes and frees the first entry of the table (ignoring case); 0 when there is none. */
int DeleteDataSourceMapEntry(const char *tableName);
/* The first entry of the table (ignoring case), or null (also for a null name). */
DataSourceMapEntry *GetDataSourceMapEntry(const char *tableName);
void FreeDataSourceMapEntry(DataSourceMapEntry *entry);
/* Frees every entry and empties the map. */
void FreeAllDataSourceMapEntries(void);
/* Appends the pairs of the file at path, or, when that cannot be opened, of
 * "<root>/data/dsn_table_map.txt" under gv_rootPath. 0 when neither can be opened. */
int LoadDataSourceMapEntryFromFile(const char *path);

#ifdef __cplusplus
}
#endif

#endif /* KV_DB_DATA_SOURCE_MAP_H */
