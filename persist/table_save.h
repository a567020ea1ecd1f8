/*
 * Writing the pending changes of in-memory tables back to the database, one statement per
 * changed row, and storing default rows from table-data XML files.
 *
 * SaveTable walks a table's rows in order and picks each row's statement by its state byte:
 * 5 (stored, modified) an update; stored and deleted (9, 11, 13, 15) a delete; 2 or 6 (new) an
 * insert; any other state nothing. The statements are written in the table's dialect and run
 * on the table's connection from the data source map, in row order, in transactions of up to
 * 10,000 rows. A row's state changes only once its statement is committed: an updated or
 * inserted row turns into state 1, a deleted row leaves memory. When the database refuses a
 * statement, its transaction is rolled back and the rows of that transaction are written again
 * one statement each, as if no transaction existed: a refused statement is logged ("Error in
 * executing update query \n", "QUERY : %s\n") and leaves the row's state as it was, so the
 * next save tries it again, and every other row is written. A connection that cannot begin a
 * transaction, or on which the calling thread has a transaction open already, runs every
 * statement on its own and changes the row's state at once.
 *
 * The lists: savetableslist.txt (one table a line, the name before the first blank; looked
 * for under the root folder only) and defaultdata.txt (names of table-data XML files in the
 * same data folder, separated by white space; looked for as "..\data\defaultdata.txt" first,
 * then under the root folder). Empty lines are skipped.
 *
 * Locking: SaveTable holds the global criteria lock (gv_criteriaLockKey) for its whole walk, so
 * no selection by criteria sees a row between its statement and its state change. Its
 * transactions hold the connection (connection_pool.h): another thread's statement on a shared
 * connection waits until the transaction ends. The list operations take no lock of their own.
 *
 * Results: 1 / 0 as each function says; failures are logged; nothing is thrown.
 */
#ifndef KV_PERSIST_TABLE_SAVE_H
#define KV_PERSIST_TABLE_SAVE_H

#ifdef __cplusplus
extern "C" {
#endif

/* 0 when the table is not loaded, has no data source map entry or its connection has no free
 * handle; 1 otherwise, also when some rows were refused. */
int SaveTable(const char *tableName);
/* SaveTable for every loaded table and view in list order; 1. */
int SaveAllTables(void);
/* SaveTable for every table of savetableslist.txt; 1, also when the list is missing ("No
 * tables to be saved.\n"). */
int SaveTablesFromList(void);
/* SaveDataInXML for every file of defaultdata.txt in order; the last call's result, or 1
 * when the list is missing ("No default data to be prepopulated.\n") or names no file. */
int SaveDefaultData(void);
/* Adds the file's rows to the in-memory tables (new rows) and saves every table named by an
 * element directly under the document's root, in order of first appearance, at most 50 at a
 * time. 0 when the rows cannot be added ("Cannot create DO from %s.\n") or the file does not
 * parse ("Error: could not parse file : %s\n"); 1 otherwise, whatever the saves gave. */
int SaveDataInXML(const char *path);

#ifdef __cplusplus
}
#endif

#endif /* KV_PERSIST_TABLE_SAVE_H */
