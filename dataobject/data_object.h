/*
 * DataObject: a working copy of related rows of several tables, held apart from the
 * in-memory tables. The rows of each table form a RowCollection of RowUnits; every unit is
 * in the object's key hash under its key string (key_string.h), so no two units of one
 * object share a primary key.
 *
 * Ownership: CreateDataObject makes the record on the heap and a pool of its own (a child of
 * the root pool); collections, units, value copies, key strings, list nodes and the lists
 * that the builders return come from that pool and go with FreeDataObject. Nothing of an
 * object is freed alone. Arrays handed in (names, types, values, lengths) are kept, not
 * copied, and must live as long as the object: take them from the object's pool.
 *
 * Results: 1 / 0, or a pointer that is null on failure; each failure is logged once.
 *
 * Locking: an object belongs to one thread at a time; its hash, chains and cursors take no
 * lock. Only the criteria operations (row_unit.h) take the global criteria lock.
 */
#ifndef KV_DATAOBJECT_DATA_OBJECT_H
#define KV_DATAOBJECT_DATA_OBJECT_H

#include <stddef.h>

#include "db/select_query.h"
#include "store/column_defn.h"
#include "store/hash_table.h"
#include "util/vector.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct apr_pool_t apr_pool_t;

typedef struct RowUnit {
    char *tableName;
    int columnCount; /* set on insertion, from the collection */
    void **values;   /* in the collection's column order; null for SQL NULL */
    int *lengths;
    unsigned char state; /* ROW_STATE_* bits of row_object.h; 0 before insertion */
    struct RowUnit *next;
} RowUnit;

typedef struct RowCollection {
    char *tableName;
    TableDefn *tableDefn;
    char **columnNames; /* ends with an empty ("" or null) entry */
    unsigned char *columnTypes;
    RowUnit *firstRowUnit;
    RowUnit *currentRowUnit;
    struct RowCollection *next;
} RowCollection;

typedef struct DataObject {
    apr_pool_t *pool;
    StringHashTable *keyHash; /* key string -> RowUnit */
    int tableCount;
    Vector *tableList;        /* table names in the order added; nodes from the pool */
    SelectQuery *selectQuery; /* not owned; null for an object built by hand */
    RowCollection *firstCollection;
    RowCollection *currentCollection;
} DataObject;

DataObject *CreateDataObject(void);
/* Destroys the pool with everything taken from it; null is ignored. */
void FreeDataObject(DataObject *dataObject);

/* Appends element to a list whose node comes from pool (never FreeVector such a list). */
int AppendPoolElement(Vector *list, void *element, apr_pool_t *pool);
/* A copy of a stored value (CopyColumnValue) freed with pool; null for a null value. */
void *CopyValueIntoPool(const void *value, int length, unsigned char dataType, apr_pool_t *pool);

Vector *GetTableList(DataObject *dataObject);
int ContainsTableInDO(const char *tableName, DataObject *dataObject);
int IsDOEmpty(DataObject *dataObject);

/* List builders, from the object's pool: n copied names followed by an empty entry; n
 * copied texts (a null stays null); n lengths. Null when the object is null or n < 0. */
char **MakeColumnList(DataObject *dataObject, int n, ...);
char **MakeStringColumnValuesList(DataObject *dataObject, int n, ...);
int *MakeLengthList(DataObject *dataObject, int n, ...);

#ifdef __cplusplus
}
#endif

#endif /* KV_DATAOBJECT_DATA_OBJECT_H */
