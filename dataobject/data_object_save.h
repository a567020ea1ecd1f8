/*
 * Saving a data object: its tables in foreign-key order (save_order.h), each unit's state
 * turned into one insert, update or delete statement in the table's dialect and run on a
 * pooled connection of the table's connection.
 *
 * A unit that cannot become a full row, has nothing to save, or whose statement fails is
 * logged and skipped; the others are still saved, and nothing is rolled back. Unit states
 * are not changed by saving. The table list of a saved object is its save order from then
 * on. SaveDataObject and SaveRowCollection return 1; SaveRowUnit 1 when a statement ran.
 * Each call takes and releases a connection handle for the calling thread.
 */
#ifndef KV_DATAOBJECT_DATA_OBJECT_SAVE_H
#define KV_DATAOBJECT_DATA_OBJECT_SAVE_H

#include "dataobject/data_object.h"

#ifdef __cplusplus
extern "C" {
#endif

int SaveDataObject(DataObject *dataObject);
int SaveRowCollection(RowCollection *rowCollection, DataObject *dataObject);
int SaveRowUnit(RowUnit *rowUnit, DataObject *dataObject);

#ifdef __cplusplus
}
#endif

#endif /* KV_DATAOBJECT_DATA_OBJECT_SAVE_H */
