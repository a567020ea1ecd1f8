/*
 * Cloning a data object: a new, independent object with the same tables, rows, values and
 * states, everything copied into the clone's own pool (the select query, which the object
 * only refers to, is shared). The clone may outlive the source only if the query does.
 *
 * Results: null on failure, logged at error level; what the clone had made is released with
 * it (CloneDataObject frees a half-made clone). No lock: one thread per object.
 */
#ifndef KV_DATAOBJECT_CLONE_H
#define KV_DATAOBJECT_CLONE_H

#include "dataobject/data_object.h"

#ifdef __cplusplus
extern "C" {
#endif

DataObject *CloneDataObject(DataObject *source);
RowCollection *CloneRowCollection(RowCollection *rowCollection, DataObject *clone,
                                  DataObject *source);
/* The copy is entered in the clone's key hash (not yet in any chain). */
RowUnit *CloneRowUnit(RowUnit *rowUnit, DataObject *clone, DataObject *source);

#ifdef __cplusplus
}
#endif

#endif /* KV_DATAOBJECT_CLONE_H */
