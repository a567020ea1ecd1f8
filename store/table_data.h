/*
 * In-memory tables: a TableData per loaded table (kind 1, shaped by its TableDefn) or custom
 * view (kind 2, custom_view.h), all in one global table list in creation order, and the
 * operations that add, select, update and delete their rows. Every change of a row is
 * announced through SendNotification (change_notify.h).
 *
 * Rows form a singly linked list in insertion order. lastRow is the append position, so that
 * adding a row does not walk the table: code that unlinks rows itself (the table saver)
 * keeps it right, or sets it to null, and AddNewRow then finds the end again.
 *
 * Ownership: the list owns its TableData; the TableData owns its name, its rows (with all
 * their values) and a view's CustomViewDefn; the TableDefn belongs to the definition list.
 * AddNewRow takes over the row on success only. A ResultData from SelectRows is the caller's
 * (FreeResultData) and only refers to rows: deleting a row or unloading the table leaves it
 * dangling. FreeTableData frees what the TableData holds, not the record or its list entry.
 *
 * Results: 1 / 0, or a pointer that is null on failure; messages as each function says.
 *
 * Locking: the table list is a Vector and locks itself for each change. SelectRows and
 * DeleteRowObjectByCriteria parse and evaluate under gv_criteriaLockKey. Rows and values are
 * not locked: changes to one table must not overlap with other use of that table.
 */
#ifndef KV_STORE_TABLE_DATA_H
#define KV_STORE_TABLE_DATA_H

#include "store/column_defn.h"
#include "store/custom_view.h"
#include "store/row_object.h"
#include "util/vector.h"

#ifdef __cplusplus
extern "C" {
#endif

enum { TABLE_DATA_TABLE = 1, TABLE_DATA_VIEW = 2 };

typedef struct TableData {
    char *name; /* owned; the definition's own spelling for a table */
    unsigned char kind;
    TableDefn *tableDefn;     /* kind 1 */
    CustomViewDefn *viewDefn; /* kind 2, owned */
    int columnCount;
    int rowCount;
    RowObject *firstRow;
    RowObject *lastRow; /* the append position; null: unknown, found by a walk */
} TableData;

struct ResultData;

/* Empties the table list (forgetting, not freeing, what it held). */
void InitTableDataList(void);
/* The table list, for the code that unloads tables. */
Vector *GetTableDataList(void);
/* 0 when the table has no definition, is loaded already (any case) or memory runs out. */
int CreateTable(const char *tableName);
/* The first TableData whose name equals name ignoring case; null when none. */
TableData *GetTableDataByName(const char *name);
/* Orders two table-list nodes by name, case-sensitively. */
signed char SortTableByName(const VectorNode *a, const VectorNode *b);

/* Fills still-null generated columns (a 4-byte number) and defaults, appends the row and
 * announces it. 0 when the table is unknown, has no columns, or memory runs out. */
int AddNewRow(const char *tableName, RowObject *row);
/* A new result of the matching rows in list order (every row for null criteria); null for
 * an unknown table, criteria that do not parse, criteria on a view or when memory runs
 * out. */
struct ResultData *SelectRows(const char *tableName, const char *criteria);
/* Replaces one value with a copy of length bytes of value (a null value stores SQL NULL),
 * marks the row modified and announces it. 0 for an unknown table or column, a primary-key
 * column, a null row, or when memory runs out; the row is then unchanged. */
int UpdateRowObject(const char *tableName, RowObject *row, const char *columnName,
                    const void *value, int length);
/* A stored row is only marked deleted (no announcement); another row is unlinked, announced
 * and freed. 0 for a null row, an unknown table, or a row not in the table. */
int DeleteRowObject(const char *tableName, RowObject *row);
/* DeleteRowObject for every matching row. 0 for null or unparsable criteria, an unknown
 * table, or a view. */
int DeleteRowObjectByCriteria(const char *tableName, const char *criteria);
/* DeleteRowObject for every row. 0 for a null name, an unknown table, or a view. */
int DeleteAllTableRowObjects(const char *tableName);
/* Frees the name, every row and a view's definition; null is ignored. */
void FreeTableData(TableData *tableData);

#ifdef __cplusplus
}
#endif

#endif /* KV_STORE_TABLE_DATA_H */
