/*
 * SQL generation in four dialects (PGSQL, MYSQL, FIREBIRD, SQLITE): a select from a
 * SelectQuery, an update, insert or delete for one RowObject of a table, a create-table
 * statement from a TableDefn, and the conversion of a result row back into a RowObject.
 *
 * One generator writes every dialect; an SqlDialect record holds the points in which the
 * dialects differ (sqlgen_dialects.cpp). Each dialect's operations are also reachable under
 * their own names and through its QueryGenerator table, which the connection layer
 * registers under the dialect's name.
 *
 * Ownership: every statement returned is a new malloc'd text that the caller frees; a
 * RowObject returned is the caller's (FreeRowObject). Arguments are only read. Texts of
 * CriteriaValueToText live in the given pool.
 *
 * Failures return null after logging at error level: "\nNo Tables To Be Selected\n",
 * "Invalid Join Type\n", "Unsupported Datatype Used in Query generation.\n" and the like; an
 * unknown table or one without columns gives null without a message. A statement is never
 * cut and never handed on half-written. Text values are written between single quotes with
 * the quote doubled (and, for MYSQL, the backslash doubled), so a value cannot change the
 * statement; a value that would stand bare must read as a number. An update or delete that
 * could not name its row by the whole primary key is refused rather than written to touch
 * other rows.
 *
 * Threads: the generators keep no state; they read the table definitions (loaded once) and
 * write only into their own buffers and the query's pool, so threads may generate at once
 * for different queries.
 */
#ifndef KV_DB_SQLGEN_H
#define KV_DB_SQLGEN_H

#include <stdint.h>

#include "db/provider.h"
#include "db/result_set.h"
#include "db/select_query.h"

#ifdef __cplusplus
extern "C" {
#endif

struct RowObject;

/* Where first and skip go in a select. */
enum SqlLimitStyle {
    SQL_LIMIT_OFFSET = 0,     /* tail: "limit %d", then " offset %d" only with a limit */
    SQL_LIMIT_SKIP_FIRST = 1, /* tail with a limit: "limit", " %d ," with skip, " %d" */
    SQL_FIRST_SKIP_HEAD = 2   /* head: "first %d ", "skip %d " right after "select " */
};

/* How a create-table column writes its default part (" " when there is no default). */
enum SqlDefaultStyle {
    SQL_DEFAULT_NONE = 0,
    SQL_DEFAULT_INTEGER = 1,        /* "DEFAULT " and the full decimal */
    SQL_DEFAULT_TEXT = 2,           /* "DEFAULT '%s'" */
    SQL_DEFAULT_BOOLEAN_QUOTED = 3, /* "DEFAULT 't'" / "DEFAULT 'f'" */
    SQL_DEFAULT_BOOLEAN_DIGITS = 4  /* "DEFAULT 1" / "DEFAULT 0" */
};

/* A column definition by type: form is written with "{n}" the column name, "{s}" the
 * varchar size and "{d}" the default part; a null form writes no definition. */
typedef struct SqlColumnForm {
    const char *form;
    unsigned char defaultStyle;
} SqlColumnForm;

/* The points in which one dialect differs from the others. */
typedef struct SqlDialect {
    const char *name;
    /* Names of the six operations, for the trace lines. */
    const char *operationNames[6];
    unsigned char limitStyle;
    const char *joinAliasPrefix;  /* before a join's alias, which is followed by " " */
    const char *tableAliasPrefix; /* before a listed table's alias, followed by " " */
    /* A boolean criteria value, written with " %s ". */
    const char *criteriaTrue;
    const char *criteriaFalse;
    /* 1: booleans are written 1 / 0 in updates, deletes and having values; 0: 't' / 'f'. */
    unsigned char booleanDigits;
    /* Bit n set: a key value of type n is quoted in an update's where clause. */
    uint32_t updateKeyQuotedTypes;
    const char *insertEnd;
    /* 1: an insert writes a boolean as 't' / 'f'; 0: as 1 / 0. */
    unsigned char insertBooleanQuoted;
    SqlColumnForm columnForms[23];
    int32_t varcharExtra;            /* added to the maximum size in "varchar(%d)" */
    unsigned char foreignKeyIndexes; /* "\tINDEX %s_IDX%d (%s)" after each foreign key */
    const char *createEnd;
    /* 1: result rows are read by the table's definition, date and time columns from text. */
    unsigned char readsDatesAsText;
    unsigned char escapesBackslash;
} SqlDialect;

extern const SqlDialect gv_pgsqlDialect;
extern const SqlDialect gv_mysqlDialect;
extern const SqlDialect gv_firebirdDialect;
extern const SqlDialect gv_sqliteDialect;

/* The shared generator, for any dialect record. */
char *SqlGenSelect(const SqlDialect *dialect, SelectQuery *query);
char *SqlGenUpdate(const SqlDialect *dialect, const char *tableName, struct RowObject *row);
char *SqlGenInsert(const SqlDialect *dialect, const char *tableName, struct RowObject *row);
char *SqlGenDelete(const SqlDialect *dialect, const char *tableName, struct RowObject *row);
char *SqlGenCreate(const SqlDialect *dialect, const char *tableName);
/* The set's current row as a new RowObject with state 1 (stored), or null without one. */
struct RowObject *SqlConvResultRow(const SqlDialect *dialect, ResultSet *set,
                                   const char *tableName);

/* The text of a criteria value, allocated in pool: integers and reals as printed numbers,
 * codes 12 to 15 and 20 to 22 the bytes as text, booleans "'t'" / "'f'", dates and times in
 * their text forms (from a bare VelDate of length 4, a bare VelTime of length 3, or text).
 * Null for code 0, for a value whose length is no form of its type, and for an 11-byte
 * VelDateTime record: its parts are pointers that a criterion's byte copy does not carry. */
char *CriteriaValueToText(const unsigned char *value, int32_t length, unsigned char dataType,
                          apr_pool_t *pool);

/* text between single quotes as the dialect so named (any letter case) writes a text value:
 * the quote doubled, and for MYSQL the backslash too. A new malloc'd text; null for an
 * unknown dialect, a null argument or when memory runs out. For statements written outside
 * the generator that carry a text value. */
char *QuoteSqlText(const char *dialectName, const char *text);

/* The dialects' operation tables, for the connection layer to register by name. */
const QueryGenerator *GetPgsqlGenerator(void);
const QueryGenerator *GetMysqlGenerator(void);
const QueryGenerator *GetFirebirdGenerator(void);
const QueryGenerator *GetSqliteGenerator(void);
/* The table of the dialect so named ("PGSQL", "MYSQL", "FIREBIRD", "SQLITE", any letter
 * case), or null. */
const QueryGenerator *GetDialectGenerator(const char *name);

char *PgsqlGenSelectQuery(SelectQuery *query);
char *PgsqlGenUpdateQuery(const char *tableName, struct RowObject *row);
char *PgsqlGenInsertQuery(const char *tableName, struct RowObject *row);
char *PgsqlGenDeleteQuery(const char *tableName, struct RowObject *row);
char *PgsqlGenCreateQuery(const char *tableName);
struct RowObject *PgsqlConvResultsetToRowobject(ResultSet *set, const char *tableName);

char *MysqlGenSelectQuery(SelectQuery *query);
char *MysqlGenUpdateQuery(const char *tableName, struct RowObject *row);
char *MysqlGenInsertQuery(const char *tableName, struct RowObject *row);
char *MysqlGenDelteQuery(const char *tableName, struct RowObject *row);
char *MysqlGenCreateQuery(const char *tableName);
struct RowObject *MysqlConvResultsetToRowobject(ResultSet *set, const char *tableName);

char *FirebirdGenSelectQuery(SelectQuery *query);
char *FirebirdGenUpdateQuery(const char *tableName, struct RowObject *row);
char *FirebirdGenInsertQuery(const char *tableName, struct RowObject *row);
char *FirebirdGenDeleteQuery(const char *tableName, struct RowObject *row);
char *FirebirdGenCreateQuery(const char *tableName);
struct RowObject *FirebirdConvResultsetToRowobject(ResultSet *set, const char *tableName);

char *SqliteGenSelectQuery(SelectQuery *query);
char *SqliteGenUpdateQuery(const char *tableName, struct RowObject *row);
char *SqliteGenInsertQuery(const char *tableName, struct RowObject *row);
char *SqliteGenDeleteQuery(const char *tableName, struct RowObject *row);
char *SqliteGenCreateQuery(const char *tableName);
struct RowObject *SqliteConvResultsetToRowobject(ResultSet *set, const char *tableName);

#ifdef __cplusplus
}
#endif

#endif /* KV_DB_SQLGEN_H */
