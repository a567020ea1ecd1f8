/*
 * Custom views: the definition of a view over base tables (CustomViewDefn with its
 * ViewColumnDefn columns) and the in-memory view itself, a TableData of kind 2 in the table
 * list (table_data.h) whose rows hold one value per view column, in view column order. The
 * persistence layer fills a view's rows from a database query.
 *
 * Ownership: CreateCustomViewDefn takes over the base-name array (malloc'd, with malloc'd
 * names) and the column Vector (malloc'd, of malloc'd ViewColumnDefn). A ViewColumnDefn
 * points at, and does not own, its column name and its base ColumnDefn. A view's TableData
 * owns its CustomViewDefn from a successful CreateCustomViewData on; FreeTableData frees it.
 * FreeCustomViewDefn frees what the definition holds but not the record itself (free() it,
 * or let FreeTableData do it).
 *
 * Results: null / 0 on failure with the messages given. No lock of its own: the table list
 * locks itself for each change.
 */
#ifndef KV_STORE_CUSTOM_VIEW_H
#define KV_STORE_CUSTOM_VIEW_H

#include "store/column_defn.h"
#include "util/vector.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct ViewColumnDefn {
    char *columnName;       /* the name the view shows; not owned */
    int value;              /* kept, not read */
    unsigned char flag;     /* kept, not read */
    ColumnDefn *columnDefn; /* the base column shown; gives the type; not owned */
} ViewColumnDefn;

typedef struct CustomViewDefn {
    unsigned char baseTableCount;
    char **baseTableNames; /* the first is the view's base table */
    Vector *columns;       /* of ViewColumnDefn, unsorted, in view column order */
} CustomViewDefn;

/* Logs "Could not allocate memory for CustomViewDefn\n" and returns null when memory runs
 * out (the array and vector then stay the caller's). */
CustomViewDefn *CreateCustomViewDefn(unsigned char baseTableCount, char **baseTableNames,
                                     Vector *columns);
/* Logs "Could not allocate memory for ViewColumnDefn\n" and returns null when memory runs
 * out. */
ViewColumnDefn *CreateViewColumnDefn(char *columnName, int value, unsigned char flag,
                                     ColumnDefn *columnDefn);
/* Appends a view named viewName to the table list; 0 when a table or view of that name is
 * loaded already, the definition is null, or memory runs out. */
int CreateCustomViewData(const char *viewName, CustomViewDefn *viewDefn);
/* Frees the ViewColumnDefn records, the column vector, the base names and their array. */
void FreeCustomViewDefn(CustomViewDefn *viewDefn);

#ifdef __cplusplus
}
#endif

#endif /* KV_STORE_CUSTOM_VIEW_H */
