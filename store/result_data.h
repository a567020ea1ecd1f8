/*
 * ResultData: the rows a select found in an in-memory table or view, as an ordered list of
 * references with a cursor, read by column name.
 *
 * Ownership: a ResultData owns its nodes, never the rows: they stay the table's, so a result
 * must not outlive them (deleting a row or unloading its table leaves the result dangling).
 * Values returned belong to the rows. Results made here are the caller's, freed with
 * FreeResultData. The nodes are cut from blocks the result holds: AddRowToResultData and
 * FreeResultData take only a result made by CreateResultData, and a node is never freed on its
 * own.
 *
 * The cursor is null before the first row. While rows are being added it holds the last
 * node (the append position); whoever adds rows resets it when done.
 *
 * Results: null / 0 on failure, with the messages given. No lock: a result belongs to one
 * thread at a time.
 */
#ifndef KV_STORE_RESULT_DATA_H
#define KV_STORE_RESULT_DATA_H

#include "store/column_defn.h"
#include "store/custom_view.h"
#include "store/row_object.h"
#include "store/table_data.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct ResultNode {
    RowObject *row; /* the table's row, not owned */
    struct ResultNode *next;
} ResultNode;

typedef struct ResultData {
    ResultNode *firstNode;
    unsigned char kind; /* TABLE_DATA_TABLE or TABLE_DATA_VIEW */
    TableDefn *tableDefn;
    CustomViewDefn *viewDefn;
    int rowCount;
    int columnCount;
    ResultNode *cursor;
} ResultData;

/* An empty result for the table or view; null for a null table or when memory runs out. */
ResultData *CreateResultData(int rowCount, int columnCount, TableData *tableData);
void FreeResultData(ResultData *result);
/* Appends a node for the row; 1, or 0 when memory runs out. */
int AddRowToResultData(RowObject *row, ResultData *result);
/* The next row (the first after the end or a reset), or null at the end. */
RowObject *GotoNextRowObject(ResultData *result);
void ResetResultDataCursor(ResultData *result);

/* The value of the named column (ignoring case) in the cursor's row, with its length; null
 * without a current row, for an unknown column, or for SQL NULL. */
void *GetColumnValueByName(const char *columnName, int *length, ResultData *result);
/* The named column's value in the first row matching criteria. */
void *GetColumnValue(const char *tableName, const char *columnName, const char *criteria,
                     int *length);
/* The data type code of the named column (for a view, of the base column so named); 0. */
unsigned char GetColumnTypeByName(const char *columnName, ResultData *result);
/* The name of the column at a zero-based position; null outside the columns. */
const char *GetColumnNameByIndex(int index, ResultData *result);
/* The table definition's name, or a view's first base table name. */
const char *GetTableNameFromResultData(ResultData *result);
/* A loaded view's first base table name, else name itself. */
const char *GetTableNameOfView(const char *name);
/* A new result holding the index-th row (counted from 1; 0 also gives the first); null when
 * the table is unknown or has fewer rows. */
ResultData *SelectRowByRowIdx(const char *tableName, int index);
/* Reorders the nodes, stably, by the named column's integer value: ascending for order 1,
 * descending otherwise; rows whose value is NULL come first either way. */
int SortResultSet(ResultData *result, const char *columnName, int order);

#ifdef __cplusplus
}
#endif

#endif /* KV_STORE_RESULT_DATA_H */
