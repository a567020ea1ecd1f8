/*
 * Merging: the changed rows of a source data object folded into a target. Each merged
 * unit is copied into the target's pool and laid out by the target's columns for its table
 * (a column the target lacks is dropped, one the source lacks is left missing), so the
 * source's chains are never touched and the source may be freed after the merge.
 *
 * Result: the target, or null (logged at error level) when a collection cannot be added.
 * No lock: one thread per object, for both objects.
 */
#ifndef KV_DATAOBJECT_MERGE_H
#define KV_DATAOBJECT_MERGE_H

#include "dataobject/data_object.h"

#ifdef __cplusplus
extern "C" {
#endif

DataObject *MergeDataObject(DataObject *target, DataObject *source);
/* Adds to target every row of source whose key it lacks, copied with the state it has, and
 * the tables it lacks (with the source's columns); rows the target holds stay as they are.
 * For objects read apart that become one (merging would fold their stored rows in as new
 * ones). The target, or null (logged) when a collection or copy cannot be made. */
DataObject *CombineDataObjects(DataObject *target, DataObject *source);

#ifdef __cplusplus
}
#endif

#endif /* KV_DATAOBJECT_MERGE_H */
