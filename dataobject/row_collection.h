/*
 * RowCollection: the rows of one table inside a data object, with the column names and
 * types its units' values follow, and the lookups and value edits over them.
 *
 * Ownership: collections, lists and value copies come from the object's pool; the arrays
 * handed to CreateRowCollection are kept, not copied. Values returned by GetFirstValue are
 * the object's own; the other getters return pool copies. Nothing here is freed alone.
 *
 * Results: 1 / 0 or null on failure, logged at error level. Cursors (the object's current
 * collection, a collection's current unit) are plain fields: one user at a time, no lock.
 */
#ifndef KV_DATAOBJECT_ROW_COLLECTION_H
#define KV_DATAOBJECT_ROW_COLLECTION_H

#include "dataobject/data_object.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Null when the names lack a primary-key column of the table. */
RowCollection *CreateRowCollection(const char *tableName, char **columnNames,
                                   unsigned char *columnTypes, apr_pool_t *pool);
int AddRowCollectionToDO(DataObject *dataObject, RowCollection *rowCollection);
/* columnNames null: every column of the table's definition. */
int AddTableToDO(DataObject *dataObject, const char *tableName, char **columnNames);
RowCollection *GetRowCollection(const char *tableName, DataObject *dataObject);
/* The collection's column names as a list from the object's pool. */
Vector *GetColumnListFromDO(const char *tableName, DataObject *dataObject);
/* The number of the collection's columns (names before the empty entry). */
int CountCollectionColumns(const RowCollection *rowCollection);

RowUnit *GetFirstRowUnit(const char *tableName, DataObject *dataObject);
RowUnit *GetLastRowUnit(const char *tableName, DataObject *dataObject);
/* n counted from 1; n <= 1 gives the first unit. */
RowUnit *GetNthRowUnit(int n, const char *tableName, DataObject *dataObject);
/* First, second, ... then null once, then the first again. */
RowUnit *GotoNextRowUnit(RowCollection *rowCollection);

void *GetFirstValue(const char *columnName, const char *tableName, DataObject *dataObject);
/* One pool copy per unit in chain order (a missing value stays null). */
void **GetColumnValuesFromDO(const char *columnName, const char *tableName, DataObject *dataObject);
void *GetColumnValueFromDO(DataObject *dataObject, const char *tableName, const char *columnName,
                           int n);
/* Copies value into the last unit (all units) of the table and marks it modified. On a
 * primary-key column the units are filed under their new key strings; a new key that another
 * unit holds (or that two of the units would share) refuses the change with "Row with keyStr
 * %s already exists.\n" and nothing is set. */
int SetValueForRowUnit(const char *columnName, const char *tableName, const void *value, int length,
                       DataObject *dataObject);
int SetValueForAllRowUnits(const char *columnName, const char *tableName, const void *value,
                           int length, DataObject *dataObject);

#ifdef __cplusplus
}
#endif

#endif /* KV_DATAOBJECT_ROW_COLLECTION_H */
