/*
 * Index tables: for an indexed dominant table D, the table D_IDX(<key columns>, TABLENAME
 * VARCHAR(40)) pairs each dominant key value with the name of a table that holds a row
 * referring to it, once per referring row written. AddEntryToIndexTable keeps it in step
 * with one row's pending change; DeepRetrieveDO (personality_read.h) reads it. Index rows
 * are written for dominant tables with one integer key column only. D_IDX is named after
 * the table definition's own name, and lives on the default connection (the pool's only
 * connection name); text values in its statements are quoted for that connection's dialect.
 *
 * A referring table's foreign key leads to D when the chain of references from it reaches
 * D's key column (CompareRootRefTable of save_order.h), each key on its own: the same
 * relation by which a data object is read for a row unit, so what the index lists is what
 * a deep read can relate.
 *
 * Ownership: texts returned are malloc'd (the caller frees them); GetPKColumnInfo's vector
 * is new (FreeVector, then free) and holds the definition's own ColumnDefn records;
 * FindRootTable appends pointers into the definitions (or to the table text handed in).
 * Results: 1 / 0, or null on failure, logged at error level. Statements take and release a
 * handle of the default connection for the calling thread.
 */
#ifndef KV_DATAOBJECT_INDEX_TABLE_H
#define KV_DATAOBJECT_INDEX_TABLE_H

#include "dataobject/data_object.h"
#include "store/row_object.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Creates the index table of every DominantTableConfig record (personality_file.h) whose
 * isindexed is "true"; each is tried, and 1 comes back only when every one was created (one
 * that already exists counts as not created; the database's refusal is logged). */
int CreateIndexTable(Vector *doNodeVect);
Vector *GetPKColumnInfo(const char *tableName);
/* "<name> INT, " or "<name> VARCHAR(<max size>), " per key column; null for a null vector. */
char *ConstructPKColumnString(Vector *pkColumnInfo);
/* "<key> = <value>" per key column of the table, joined by " AND ", from a unit holding the
 * table's columns in definition order; null when a key value is missing or of a type the
 * index table cannot hold. */
char *ConstructPKValueString(const char *tableName, RowUnit *rowUnit);
/* The index rows for one row of the table, by its state: a new row (2 or 6) adds one per
 * indexed dominant table its keys lead to; a stored row marked deleted (bits 1 and 8)
 * removes one of the rows that this table holds for that key value; other states change
 * nothing. Run it before the row is saved (saving resets the state). 0 when a statement
 * fails. */
int AddEntryToIndexTable(const char *tableName, RowObject *row);
/* Appends the tables (and the columns) in which the chains of foreign keys from the table
 * end: a table without foreign keys is such a root. With a column, only the keys on that
 * column are followed. A table already on the chain is not entered again. */
void FindRootTable(const char *tableName, const char *columnName, Vector *rootTables,
                   Vector *rootColumns);
/* The column's position in the definition (looked up by table name when null), or -1. */
int GetColIndex(const char *columnName, const char *tableName, TableDefn *tableDefn);

#ifdef __cplusplus
}
#endif

#endif /* KV_DATAOBJECT_INDEX_TABLE_H */
