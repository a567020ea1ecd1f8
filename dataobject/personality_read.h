/*
 * Reading a personality's data object (data_object_read.h): its dominant table left-joined
 * with each constituent table, every row of the dominant table with the rows that refer to
 * it; or the rows related to one row unit; or the joined rows where a criteria tree holds.
 * Several personalities read one by one are combined into one object, each row once with the
 * state it was read in. DeepRetrieveDO reads one entity with exactly the tables its index
 * table (index_table.h) lists.
 *
 * Joins: a constituent is joined on the local columns of its first foreign keys whose chains
 * lead to each key column of the dominant table (CompareRootRefTable); a constituent without
 * such a key for every key column, or without a definition, is not joined (logged at error
 * level) and the others still are. Tables are named as their definitions name them.
 *
 * Ownership: a data object returned is the caller's (FreeDataObject); the select query made
 * here goes with it. A criteria tree handed in stays the caller's and must outlive the
 * object. Results: null on failure, logged at error level. Each read takes and releases
 * connection handles on the calling thread.
 */
#ifndef KV_DATAOBJECT_PERSONALITY_READ_H
#define KV_DATAOBJECT_PERSONALITY_READ_H

#include "dataobject/data_object.h"

#ifdef __cplusplus
extern "C" {
#endif

DataObject *GetDOFromPersonality(const char *personalityName);
DataObject *GetDOFromPersonalityByRowUnit(const char *personalityName, RowUnit *rowUnit);
DataObject *GetDOFromPersonalityByCriteria(const char *personalityName, QueryCriterion *criteria);
/* personalityNames: a Vector of names, read in order into one object. */
DataObject *GetDOFromPersonalities(Vector *personalityNames);
DataObject *GetDOFromPersonalitiesByRowUnit(Vector *personalityNames, RowUnit *rowUnit);
DataObject *GetDOFromPersonalitiesByCriteria(Vector *personalityNames, QueryCriterion *criteria);
/* The unit (of the dominant table, its values in definition order) read again with the rows
 * of the tables that the dominant table's index lists for its key. */
DataObject *DeepRetrieveDO(const char *dominantTable, RowUnit *rowUnit);

#ifdef __cplusplus
}
#endif

#endif /* KV_DATAOBJECT_PERSONALITY_READ_H */
