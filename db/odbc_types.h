/*
 * What the ODBC provider makes of a fetched column: the library's column data type for the
 * SQL type code a driver reports, and the stored value (column_defn.h) for the text the
 * driver delivered.
 *
 * Type codes are those of an ODBC 2 environment, where date, time and timestamp columns
 * report 9, 10 and 11. A code the table does not know gives VEL_SQL_NOT_SUPPORTED_TYPE.
 * Two entries differ from a plain reading of the ODBC names, because a value saved and
 * loaded back must stay the same value: SQL_BIT (-7) is a boolean, as SQLite and psqlODBC
 * (BoolsAsChar=0) report boolean columns, and SQL_FLOAT (6) is a double, as ODBC defines
 * it and PostgreSQL reports double precision with it. A character column whose database
 * type name is "bool" or "boolean" (psqlODBC by default) is a boolean as well.
 *
 * Values returned are new malloc'd blocks owned by the caller and released with free(). A
 * date or time value is ONE block (the VelDateTime record followed by the part it holds),
 * so a plain free() releases it; never pass it to FreeVelDateTime. No function keeps state
 * or takes a lock.
 */
#ifndef KV_DB_ODBC_TYPES_H
#define KV_DB_ODBC_TYPES_H

#include <stddef.h>
#include <stdint.h>

#include "store/datetime.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The library type for a reported SQL type code; typeName (may be null) is the database's
 * own name of the column type. */
unsigned char ODBCGetColumnType(int sqlType, const char *typeName);

/* A new VelDateTime read from "%d-%d-%d" (VEL_SQL_DATE: date part only), "%d:%d:%d"
 * (VEL_SQL_TIME: time part only) or "%d-%d-%d %d:%d:%d" (VEL_SQL_DATETIME: both parts; a
 * text with the date alone gets 00:00:00). *length becomes 11. Null for null text, any
 * other type, text that does not hold every field, a field that does not fit the record,
 * or lack of memory. */
VelDateTime *ODBCParseDateTime(const char *text, int32_t *length, unsigned char dataType);

/* The stored value of fetched text (length bytes, followed by a zero byte) in a column of
 * dataType: 1 with *value and *valueLength set, or 0 when the text does not convert or
 * memory runs out. A boolean is true for "1", "t" or "true" (any case), false otherwise. */
int ODBCMakeColumnValue(const char *text, size_t length, unsigned char dataType, void **value,
                        int32_t *valueLength);

#ifdef __cplusplus
}
#endif

#endif /* KV_DB_ODBC_TYPES_H */
