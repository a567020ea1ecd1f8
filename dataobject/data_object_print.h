/*
 * The text listing of a data object, logged at debug level: its tables, then per table the
 * column names and one line per unit with each value and the unit's state. A missing value
 * shows as NULL. The listing grows as needed; nothing is cut.
 */
#ifndef KV_DATAOBJECT_DATA_OBJECT_PRINT_H
#define KV_DATAOBJECT_DATA_OBJECT_PRINT_H

#include <stddef.h>

#include "dataobject/data_object.h"

#ifdef __cplusplus
extern "C" {
#endif

/* 1, or 0 for a null object. */
int PrintDataObject(DataObject *dataObject);
/* The listing PrintDataObject logs, as a new malloc'd text; null for a null object. */
char *FormatDataObject(DataObject *dataObject);
/* Writes one cell (" text\t") into buffer of size bytes: 1, or 0 (buffer left empty) when
 * it does not fit or an argument is null. */
int PrintRowUnitValue(const void *value, int length, char *buffer, size_t size,
                      unsigned char dataType);

#ifdef __cplusplus
}
#endif

#endif /* KV_DATAOBJECT_DATA_OBJECT_PRINT_H */
