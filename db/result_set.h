/*
 * The rows a query returned: column descriptions in select order and a chain of rows, each
 * a chain of value cells in column order. A cell holds a byte length and an owned buffer in
 * the binary form of its column's type, with one zero byte after it; a null buffer with
 * length 0 is SQL NULL.
 *
 * Ownership: a ResultSet owns its descriptions, rows, cells and buffers; the caller frees
 * it with FreeResultSet. Chains built with AppendResultValue/AppendResultRow belong to the
 * builder until CreateResultSet takes them over. Appending is constant time: the first link
 * of a chain remembers the last one. A set belongs to one thread at a time.
 */
#ifndef KV_DB_RESULT_SET_H
#define KV_DB_RESULT_SET_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct ResultCell {
    int32_t length;
    unsigned char *bytes; /* null: SQL NULL */
    struct ResultCell *next;
    struct ResultCell *last; /* kept in a row's first cell only */
} ResultCell;

typedef struct ResultRow {
    ResultCell *values;
    struct ResultRow *next;
    struct ResultRow *last; /* kept in a chain's first link only */
} ResultRow;

typedef struct ResultColumn {
    char *name;
    unsigned char dataType;
} ResultColumn;

typedef struct ResultSet {
    int32_t columnCount;
    int32_t rowCount;
    ResultColumn *columns;
    ResultRow *firstRow;
    ResultRow *cursor; /* null before the first step */
} ResultSet;

/* Appends a cell to the row (null starts a new row) holding a copy of length bytes, or SQL
 * NULL when bytes is null. Returns the row's first cell, or null when memory runs out (the
 * row is then unchanged). */
ResultCell *AppendResultValue(ResultCell *row, int32_t length, const void *bytes);
/* As AppendResultValue, but takes over a malloc'd buffer instead of copying bytes: the way to
 * store a value whose form holds pointers (a date or time record), which a byte copy would
 * break. The buffer is freed with free(). On failure the buffer stays the caller's. */
ResultCell *AppendResultValueOwned(ResultCell *row, int32_t length, void *buffer);
/* Appends a link holding row to the chain (null starts a new chain); the chain or null. */
ResultRow *AppendResultRow(ResultRow *rows, ResultCell *row);
/* Takes over rows and the columns array (malloc'd, names malloc'd); null when memory runs
 * out, the arguments then stay the caller's. */
ResultSet *CreateResultSet(ResultRow *rows, ResultColumn *columns, int32_t columnCount);

ResultCell *NextResultRow(ResultSet *set);
void ResetResultCursor(ResultSet *set);
/* The current row's value in the named column (case-insensitive) and its length; null for an
 * unknown column, without a current row, or for SQL NULL. */
unsigned char *GetResultValueByName(const char *columnName, int32_t *length, ResultSet *set);
/* The column's type code; 0 when no column has that name. */
unsigned char GetResultColumnType(const char *columnName, ResultSet *set);
const char *GetResultColumnName(int32_t index, ResultSet *set);
void PrintResultSet(ResultSet *set);

void FreeResultSet(ResultSet *set);
void FreeResultRows(ResultRow *rows);
void FreeResultValues(ResultCell *row);
void FreeColumnDescs(ResultColumn *columns, int32_t count);

#ifdef __cplusplus
}
#endif

#endif /* KV_DB_RESULT_SET_H */
