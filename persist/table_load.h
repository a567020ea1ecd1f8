/*
 * Moving whole tables from the database into the in-memory store: loading a table completely
 * or through a select text, filling an in-memory view from a select text, the start-up list
 * loadtablelist.txt, and dropping loaded tables again.
 *
 * A load takes the table's connection from the data source map when the map decides dialects
 * (gv_dsnMapValid 1), else the default connection with the default dialect, and releases it
 * as soon as the statement has run. Rows read from the database are added in state 1
 * (stored). A table is loaded once: loading a loaded name fails and leaves it as it was.
 *
 * loadtablelist.txt holds one table a line: a name alone loads the whole table; a name, a
 * blank and a text containing "select" or "SELECT" loads the rows that text selects; any other
 * text after the blank is ignored. It is looked for as "..\data\loadtablelist.txt" and then
 * under the root folder (data_folder.h). Empty lines are skipped.
 *
 * Ownership: loaded tables belong to the store's table list (table_data.h); unloading frees
 * them with every row, saved or not. A row from MakeRowObjectFromResultSet is the caller's.
 *
 * Results: 1 / 0 or a pointer that is null on failure, logged at error level with the
 * messages given; nothing is thrown. Loading and unloading take no lock: they run while no
 * other thread uses the tables concerned (start-up and shutdown do so).
 */
#ifndef KV_PERSIST_TABLE_LOAD_H
#define KV_PERSIST_TABLE_LOAD_H

#include "db/result_set.h"
#include "store/row_object.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Loads every table of loadtablelist.txt; a table that fails is logged and skipped. 0 only
 * when the list cannot be opened ("Cannot open LoadTableList Entry File.\n"). */
int LoadAllTables(void);
/* The same for a list file at path, without a fallback; 0 (no message) when it does not
 * open. */
int LoadTablesFromList(const char *path);
/* "select * from <name>" into a new in-memory table. 0 when the statement fails, the table
 * has no definition, the database table's column count differs from the definition's (the
 * table is then not created), the table is loaded already, or a row cannot be converted or
 * added (the rows added before it stay). */
int LoadTable(const char *tableName);
/* The rows that query selects into a new in-memory table; the query must return the
 * definition's columns in order. A query the database refuses is logged and gives an empty
 * table (1). 0 when no connection can be had, the table cannot be created, or a row cannot be
 * converted or added. */
int LoadTableByQuery(const char *tableName, const char *query);
/* The rows that query selects, laid out as rows of tableName, into a new in-memory view
 * named viewName whose columns are the table's. A refused query gives an empty view (1). 0
 * when no connection can be had, the table has no definition, or a table or view of that
 * name is loaded already. */
int LoadViewByQuery(const char *viewName, const char *tableName, const char *query);
/* Drops a loaded table or view with its rows; 0 when none is loaded by that name. */
int UnLoadTable(const char *tableName);
/* Drops every loaded table and view; 1. */
int UnLoadAllTable(void);
/* UnLoadAllTable, then LoadAllTables (whose result it returns). */
int ReloadTableData(void);

/* A new row (state 1, linked to no table) holding copies of the result set's current row,
 * one value per result column (SQL NULL stays null); null without a current row or when
 * memory runs out. Free it with FreeRowObject(row, set->columnCount). */
RowObject *MakeRowObjectFromResultSet(ResultSet *set);

#ifdef __cplusplus
}
#endif

#endif /* KV_PERSIST_TABLE_LOAD_H */
