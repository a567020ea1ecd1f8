/*
 * Table and column definitions: the column data type codes with the stored form of a value
 * of each type, ColumnDefn, AllowedValues, ForeignKeyDefn, TableConstraints and TableDefn,
 * the global definition list, the lookups on it, the two conversions between text and a
 * stored value, printing and freeing.
 *
 * Stored values: every column value is its own malloc'd buffer beside a 32-bit byte length
 * (kept by the ColumnDefn for a default, by the RowObject for a row value). Buffers copied
 * from bytes or text carry one zero byte after their length. A date or time value made here
 * is a VelDateTime with both parts, allocated as ONE block (the record followed by its
 * VelDate and VelTime) with length 11, so a plain free() releases all of it; never pass it
 * to FreeVelDateTime. A VEL_SQL_DATE value of length 4 is a bare VelDate and a VEL_SQL_TIME
 * value of length 3 a bare VelTime. Integers of codes 1 to 6 may be stored at their own width
 * (1, 2 or 4 bytes) or at 4 bytes; readers go by the stored length (ReadStoredInteger).
 *
 * Ownership: the global list owns every TableDefn added to it, with all it holds; lookups
 * return pointers into it (valid until FreeTableDefn / FreeAllTableDefns). Constructors copy
 * the texts handed in, except where "takes over" is said. Text returned by the conversions is
 * the caller's (free(), or part of the given pool).
 *
 * Results: constructors return null (or 0) when memory runs out, freeing what they had made
 * and leaving whatever they would have taken over with the caller. Lookups return null / 0
 * when nothing matches.
 *
 * Locking: the list is a Vector and locks itself for each change; definitions are loaded once
 * at start-up and then only read, so lookups take no further lock. FreeTableDefn and
 * FreeAllTableDefns must not run while other threads use the store.
 */
#ifndef KV_STORE_COLUMN_DEFN_H
#define KV_STORE_COLUMN_DEFN_H

#include "util/vector.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct apr_pool_t apr_pool_t;
struct VelDate;
struct VelTime;

/* Column data type codes (one byte). */
enum {
    VEL_SQL_NOT_SUPPORTED_TYPE = 0,
    VEL_SQL_TINYINT = 1,           /* int8, 1 byte */
    VEL_SQL_UNSIGNED_TINYINT = 2,  /* uint8, 1 byte */
    VEL_SQL_SMALLINT = 3,          /* int16, 2 bytes */
    VEL_SQL_UNSIGNED_SMALLINT = 4, /* uint16, 2 bytes */
    VEL_SQL_INT = 5,               /* int32, 4 bytes */
    VEL_SQL_UNSIGNED_INT = 6,      /* uint32, 4 bytes */
    VEL_SQL_BIGINT = 7,            /* int64, 8 bytes */
    VEL_SQL_UNSIGNED_LONG_INT = 8, /* uint64, 8 bytes */
    VEL_SQL_FLOAT = 9,             /* IEEE single, 4 bytes */
    VEL_SQL_DOUBLE = 10,           /* IEEE double, 8 bytes */
    VEL_SQL_REAL = 11,             /* IEEE single, 4 bytes */
    VEL_SQL_DECIMAL = 12,          /* the number's text, as given */
    VEL_SQL_NUMERIC = 13,          /* the number's text, as given */
    VEL_SQL_CHAR = 14,             /* NUL-terminated text */
    VEL_SQL_VARCHAR = 15,          /* NUL-terminated text */
    VEL_SQL_DATE = 16,             /* VelDateTime (11), or a bare VelDate (4) */
    VEL_SQL_TIME = 17,             /* VelDateTime (11), or a bare VelTime (3) */
    VEL_SQL_DATETIME = 18,         /* VelDateTime (11) */
    VEL_SQL_BOOLEAN = 19,          /* one byte, 1 or 0 */
    VEL_SQL_BLOB = 20,             /* the given bytes */
    VEL_SQL_CLOB = 21,             /* the given bytes */
    VEL_SQL_TEXT = 22,             /* NUL-terminated text */
    VEL_SQL_LAST_TYPE = VEL_SQL_TEXT
};

/* The length a VelDateTime value counts as. */
enum { VEL_DATETIME_LENGTH = 11, VEL_DATE_LENGTH = 4, VEL_TIME_LENGTH = 3 };

/* Permitted values of a column: a list (values[0..n-1] then a null entry) or a range
 * (values[0] the lower bound "from", values[1] the upper bound "to"). */
typedef struct AllowedValues {
    char **values;
    unsigned char isRange;
} AllowedValues;

typedef struct ColumnDefn {
    char *name;
    unsigned char dataType;
    void *defaultValue; /* stored form, or null when there is no default */
    int defaultLength;
    unsigned char unique;
    char *generatorName; /* sequence of an auto-generated column, or null */
    char *description;   /* may be null */
    int maxSize;         /* 0 when not given */
    unsigned char nullable;
    AllowedValues *allowedValues; /* null when any value is allowed */
} ColumnDefn;

/* One column pair of a foreign key; a key over n pairs is n records. */
typedef struct ForeignKeyDefn {
    char *localColumn;
    char *referenceColumn;
    char *referenceTable;
    unsigned char onDeleteCascade;
    unsigned char isBidirectional;
} ForeignKeyDefn;

typedef struct TableConstraints {
    char **primaryKeyColumns; /* in key order */
    int primaryKeyCount;
    Vector *foreignKeys; /* of ForeignKeyDefn, unsorted; null until the first is added */
} TableConstraints;

typedef struct TableDefn {
    char *name;
    char *description; /* may be null */
    Vector *columns;   /* of ColumnDefn, unsorted: position = column index */
    TableConstraints *constraints;
} TableDefn;

/* ---- type words and column definitions ---- */

/* The code of a dictionary type word, ignoring case; 0 for an unknown word (not reported),
 * 0 with an error logged for a null word. */
unsigned char GetDataTypeFromString(const char *word);

/* A new column (name copied; CHAR/VARCHAR with maxSize >= 256 promoted to TEXT; the default
 * text converted to the stored type, a default that does not convert leaving none; the
 * description and generator name copied; allowedValues taken over on success). Null when
 * the name is null or memory runs out. */
ColumnDefn *CreateColumnDefn(const char *name, unsigned char dataType, const char *defaultText,
                             int defaultLength, unsigned char unique, const char *generatorName,
                             const char *description, int maxSize, unsigned char nullable,
                             AllowedValues *allowedValues);
/* A new AllowedValues holding copies of count texts: a list (then a null entry is added) or,
 * with isRange 1, a range (count must be 2). Null on a bad argument or when memory runs out. */
AllowedValues *CreateAllowedValues(const char *const *values, int count, unsigned char isRange);
void FreeAllowedValues(AllowedValues *allowedValues);
void FreeColumnDefn(ColumnDefn *column);

/* ---- stored values ---- */

/* Text to a new buffer in the stored form of dataType. *length is the byte count to copy
 * for the byte-copied types (0, 12, 13, 20, 21) and receives the stored length. Null for
 * null text, a null length, text that is not a value of the type (a boolean other than
 * true/false, an unreadable date) or a code above 22. */
void *ConvertStringToColumnValue(const char *text, int *length, unsigned char dataType);
/* New text (malloc) of a stored value: "NULL" for a null value; null for codes 0 and above
 * 22, or when memory runs out. Booleans give "'t'" / "'f'", quotes included. */
char *ConvertColumnValueToString(const void *value, int length, unsigned char dataType);
/* The same text from pool, for codes 1 to 15 and 19; "NULL" for a null value; null for
 * the other codes or a null pool. */
char *ConvertColumnValueToPoolString(const void *value, int length, unsigned char dataType,
                                     apr_pool_t *pool);
/* An integer value of codes 1 to 8 read at its stored width (1, 2, 4 or 8 bytes; other
 * lengths, other codes and null read 0), sign- or zero-extended as the type says. A code 8
 * value comes back as the same 64 bits (cast it to unsigned long long). */
long long ReadStoredInteger(const void *value, int length, unsigned char dataType);
/* A new date or time value in the one-block form above, holding copies of the parts given
 * (either may be null: that part stays absent). Null when memory runs out. */
void *CreateDateTimeColumnValue(const struct VelDate *date, const struct VelTime *time);
/* A new copy of a stored value (the caller frees it with free()): length bytes and a zero
 * byte after them, except that a date or time value of length 11 of codes 16 to 18 is copied
 * as one new block whose parts point into the copy (a byte copy would share or lose them).
 * Null for a null value, a negative length, or when memory runs out. */
void *CopyColumnValue(const void *value, int length, unsigned char dataType);

/* ---- table definitions and the global list ---- */

/* Empties the global list (forgetting, not freeing, what it held). */
void InitTableDefnList(void);
Vector *GetTableDefnList(void);

/* A new definition with copies of name and description, taking over columns and
 * constraints on success (they stay the caller's on failure). Null when name is null or
 * memory runs out. */
TableDefn *CreateTableDefn(const char *name, const char *description, Vector *columns,
                           TableConstraints *constraints);
/* Appends to the global list, which then owns it; 1, or 0 for null / out of memory. */
int AddTableDefn(TableDefn *tableDefn);

/* Empty constraints (no key columns, no foreign keys); null when memory runs out. */
TableConstraints *CreateTableConstraints(void);
/* Appends a copy of a primary-key column name; 1, or 0 for null arguments / OOM. */
int AddPrimaryKeyColumn(TableConstraints *constraints, const char *columnName);
ForeignKeyDefn *CreateForeignKeyDefn(const char *localColumn, const char *referenceColumn,
                                     const char *referenceTable, unsigned char onDeleteCascade,
                                     unsigned char isBidirectional);
/* Appends to constraints->foreignKeys (created when absent), which then owns it; 1, or 0
 * for a null record / out of memory. */
int AddForeignKeyDefn(TableConstraints *constraints, ForeignKeyDefn *foreignKeyDefn);
void FreeForeignKeyDefn(ForeignKeyDefn *foreignKeyDefn);
void FreeTableConstraints(TableConstraints *constraints);

/* Lookups. Table names match ignoring case (the first in list order wins); column names
 * match exactly. */
TableDefn *GetTableDefn(const char *tableName);
ColumnDefn *GetColumnDefnEntry(const char *tableName, const char *columnName);
unsigned char GetColumnDataType(const char *tableName, const char *columnName);
/* The column's default (owned by the definition; null when it has none) with *found := 1;
 * null with *found untouched when the column does not exist. */
void *GetDefaultValue(const char *tableName, const char *columnName, int *found);
/* The first foreign-key pair whose local column matches ignoring case, or null. */
ForeignKeyDefn *GetForeignKeyDefn(const TableDefn *tableDefn, const char *localColumnName);

/* Frees a definition that is not in the list, with everything it owns. */
void FreeTableDefnRecord(TableDefn *tableDefn);
/* Removes the first definition so named (ignoring case) from the list and frees it; 1, or 0
 * when there is none. */
int FreeTableDefn(const char *tableName);
void FreeAllTableDefns(void);

/* Log definitions at debug level. */
void PrintTableDefn(const TableDefn *tableDefn);
void PrintAllTableDefns(void);

#ifdef __cplusplus
}
#endif

#endif /* KV_STORE_COLUMN_DEFN_H */
