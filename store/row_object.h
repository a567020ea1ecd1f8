/*
 * RowObject: one row of values as the whole library passes it around (table rows, fetched
 * rows, rows turned into SQL, rows evaluated by criteria, rows in change notifications).
 *
 * A row knows neither its table nor its column count: values[i] belongs to the i-th column
 * of the definition the caller reads it with. values[i] is a malloc'd buffer in the stored
 * form of column_defn.h, or null for SQL NULL; lengths[i] is its byte length.
 *
 * Ownership: the row owns both arrays and every value. It belongs to its creator until an
 * in-memory table takes it over; then the table frees it. FreeRowObject never follows next.
 * No lock: a row is guarded by whoever owns it.
 */
#ifndef KV_STORE_ROW_OBJECT_H
#define KV_STORE_ROW_OBJECT_H

#ifdef __cplusplus
extern "C" {
#endif

/* State flags, read by the table saver to pick the statement a row needs. */
enum {
    ROW_STATE_STORED = 1,   /* held in the database (set when built from a result set) */
    ROW_STATE_NEW = 2,      /* set by CreateNewRowObject */
    ROW_STATE_MODIFIED = 4, /* set by UpdateRowObject */
    ROW_STATE_DELETED = 8   /* set by DeleteRowObject for a stored row */
};

typedef struct RowObject {
    void **values;
    int *lengths;
    unsigned char state;
    struct RowObject *next;
} RowObject;

/* A new row taking over both arrays, state ROW_STATE_NEW, no next row. Null when memory runs
 * out; the arrays then stay the caller's. */
RowObject *CreateNewRowObject(void **values, int *lengths);
/* Frees values[0 .. columnCount-1] (null entries skipped), both arrays and the row. Null is
 * ignored. */
void FreeRowObject(RowObject *row, int columnCount);

#ifdef __cplusplus
}
#endif

#endif /* KV_STORE_ROW_OBJECT_H */
