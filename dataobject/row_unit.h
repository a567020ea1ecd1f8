/*
 * RowUnit: one row of a table inside a data object, and the edits that keep the object's
 * key hash in step: insertion (defaults and generated ids filled in, duplicates refused),
 * update by key, marking deleted, lookups by key or by criteria, conversion to a full
 * RowObject laid out by the table definition.
 *
 * Ownership: units and the arrays handed in are kept, not copied; use the object's pool.
 * A refused unit stays outside the object. GetRowObjectFromRowUnit's row belongs to the
 * object's pool (never FreeRowObject it). FreeRowUnit is only for units whose parts the
 * caller malloc'd.
 *
 * Locking: the criteria operations hold the global criteria lock while they parse and
 * evaluate; everything else takes none (one thread per object).
 */
#ifndef KV_DATAOBJECT_ROW_UNIT_H
#define KV_DATAOBJECT_ROW_UNIT_H

#include "dataobject/data_object.h"
#include "store/row_object.h"

#ifdef __cplusplus
extern "C" {
#endif

RowUnit *CreateRowUnit(const char *tableName, void **values, int *lengths, apr_pool_t *pool);
int AddRowUnitToRowCollection(RowUnit *rowUnit, RowCollection *rowCollection);
int InsertRowUnit(RowUnit *rowUnit, DataObject *dataObject);
int UpdateRowUnit(RowUnit *rowUnit, DataObject *dataObject);
int DeleteRowUnit(RowUnit *rowUnit, DataObject *dataObject);
int DeleteRowUnitOnCriteria(const char *tableName, DataObject *dataObject, const char *criteria);
RowUnit *FindRowUnitOnCriteria(const char *tableName, DataObject *dataObject, const char *criteria);
RowUnit *FindRowUnit(RowUnit *rowUnit, DataObject *dataObject);
RowObject *GetRowObjectFromRowUnit(RowUnit *rowUnit, DataObject *dataObject);
void FreeRowUnit(RowUnit *rowUnit);
int InsertRowIntoDO(DataObject *dataObject, const char *tableName, void **values, int *lengths);
int InsertStringRowIntoDO(DataObject *dataObject, const char *tableName, char **texts);

#ifdef __cplusplus
}
#endif

#endif /* KV_DATAOBJECT_ROW_UNIT_H */
