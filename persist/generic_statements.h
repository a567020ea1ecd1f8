/*
 * SQL text for one row of a table, written without regard to any dialect: an update of every
 * column, an insert of every column and a delete, the row named by its primary-key columns.
 *
 * Values are written by their column's type: missing values as a bare NULL; character, text,
 * date and time values between single quotes, a quote inside doubled; booleans as 't' / 'f'
 * in an update or a condition and as 1 / 0 in an insert; numbers bare. A row holds one value
 * per column of the definition given, in definition order.
 *
 * Results: new malloc'd text that the caller frees, or null for a null argument, a definition
 * without columns, a value whose type has no text form, or lack of memory. No state, no lock.
 */
#ifndef KV_PERSIST_GENERIC_STATEMENTS_H
#define KV_PERSIST_GENERIC_STATEMENTS_H

#include "store/column_defn.h"
#include "store/row_object.h"

#ifdef __cplusplus
extern "C" {
#endif

/* "update <table> set c1=v1,c2=v2,... where k1=v1 and ..." (key columns are set too). */
char *MakeUpdateQuery(const char *tableName, RowObject *row, TableDefn *tableDefn);
/* "insert into  <table> values(v1,v2,...)" (two blanks after "into"). */
char *MakeInsertQuery(const char *tableName, RowObject *row, TableDefn *tableDefn);
/* "delete from <table> where k1=v1 and ...". */
char *MakeDeleteQuery(const char *tableName, RowObject *row, TableDefn *tableDefn);

#ifdef __cplusplus
}
#endif

#endif /* KV_PERSIST_GENERIC_STATEMENTS_H */
