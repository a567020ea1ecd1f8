/*
 * Reading data objects: one select over several tables, its result rows split into one row
 * collection per table, every unit in state 1 and keyed by its primary key, so that rows a
 * join repeats are held once (the first occurrence wins).
 *
 * Result positions: with named columns, a table's values sit where its columns stand in the
 * query's column list; with a select of all columns, the tables' columns follow one another
 * in the order of the object's table list (the first join's base table, the joins' reference
 * tables, then the listed tables), as the generated select text lists them. The offset of a
 * table is handed in and advanced (offset may be null with named columns), so there is no
 * shared running state and objects may be read from several threads.
 *
 * A result row whose values for a table's key are all missing (the absent side of an outer
 * join) gives that table no unit.
 *
 * Ownership: the object refers to the query (its select query); a query the caller made
 * must outlive the object, while a query made here (GetDataObjectByCriteria) is freed with
 * the object. A result set handed to CreateDataObjectFromResultSet is freed by it.
 * Results: null on failure, logged at error level.
 */
#ifndef KV_DATAOBJECT_DATA_OBJECT_READ_H
#define KV_DATAOBJECT_DATA_OBJECT_READ_H

#include "dataobject/data_object.h"
#include "db/result_set.h"

#ifdef __cplusplus
extern "C" {
#endif

DataObject *GetDataObject(SelectQuery *selectQuery);
DataObject *CreateDataObjectFromResultSet(ResultSet *resultSet, SelectQuery *selectQuery);
Vector *CreateTableListForDO(SelectQuery *selectQuery, apr_pool_t *pool);
RowCollection *CreateRowCollectionFromResultSet(const char *tableName, ResultSet *resultSet,
                                                SelectQuery *selectQuery, DataObject *dataObject,
                                                int *offset);
/* The table's value positions in a result row, count in *count; null on failure. */
int *GetResultColumnPositions(SelectQuery *selectQuery, Vector *columns, const char *tableName,
                              int *offset, int *count, apr_pool_t *pool);
RowUnit *CreateRowUnitFromResultSet(const char *tableName, ResultCell *row,
                                    const unsigned char *types, const int *resultPositions,
                                    int count, apr_pool_t *pool);
/* A select of the listed tables (names) where the criteria tree holds (null: every row). The
 * query made here goes with the object; the tree stays the caller's and must outlive it. */
DataObject *GetDataObjectByCriteria(Vector *tables, QueryCriterion *criteria);
/* The unit's row (its values in definition order) read again with the rows of the listed
 * tables that refer to its primary key through chains of foreign keys, each such table
 * left-joined to the unit's table on those keys, so a table without referring rows leaves
 * the others' rows in place. Each table is selected once; a listed table that does not refer
 * to the unit's is not read. The query made here goes with the object. */
DataObject *GetDataObjectByRowUnit(Vector *tables, RowUnit *rowUnit);

#ifdef __cplusplus
}
#endif

#endif /* KV_DATAOBJECT_DATA_OBJECT_READ_H */
