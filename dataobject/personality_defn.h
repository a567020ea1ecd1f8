/*
 * Personalities: named groups of related tables around one dominant table (the entity) and
 * its constituent tables (rows that refer to it through foreign keys), kept in the
 * library-wide list gv_personalityDefnVect in the order their files were read
 * (personality_file.h).
 *
 * Ownership: the list owns its records and everything they hold (malloc'd); lookups return
 * pointers into it, valid until FreePersonalityDefns. A constituent's dominant table name is
 * the personality's own text, not a copy. The name arrays of GetConstituentTables,
 * GetDominantTables and GetPersonalityNames are new malloc'd copies ending with an empty ("")
 * entry; release them with FreeNameList. A constituent whose element gave no table name holds
 * a null table: it is kept in the record, but no name array lists it.
 *
 * Lifetime: InitPersonality makes the list and has DeInitTamber free it (so a process that
 * stops the library holds nothing of it); a host that never starts the library calls
 * FreePersonalityDefns itself. Results: 1 / 0, 99 when memory runs out, or a pointer that is
 * null on failure, each failure logged at error level.
 *
 * Threads: the list is filled at start-up and then only read; the Vector guards its own
 * changes. Reading files while other threads look personalities up is not supported.
 */
#ifndef KV_DATAOBJECT_PERSONALITY_DEFN_H
#define KV_DATAOBJECT_PERSONALITY_DEFN_H

#include "util/vector.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct ConstituentTable {
    char *dominantTable; /* the personality's text, not owned */
    char *table;         /* null when the element's reading stopped before its tableid */
    int index;
    unsigned char mandatory;
    char *foreignKey;
} ConstituentTable;

typedef struct PersonalityDefn {
    char *name;
    char *dominantTable;
    char *description;
    Vector *constituentTableVect; /* ConstituentTable, in file order */
} PersonalityDefn;

extern Vector *gv_personalityDefnVect;

/* Makes the empty list (an existing one is kept); 1, or 99 when memory runs out. */
int InitPersonality(void);
/* Frees every personality and the list; InitPersonality may make it again. */
void FreePersonalityDefns(void);

/* A new record with copies of the texts (each may be null) and an empty constituent list;
 * null (logged) when memory runs out. */
PersonalityDefn *CreatePersonalityDefn(const char *name, const char *description,
                                       const char *dominantTable);
/* Frees a record that is not in the list, with its constituents. */
void FreePersonalityDefn(PersonalityDefn *personalityDefn);
/* Appends the record, which the list then owns; 0 (the record stays the caller's) without a
 * list or when memory runs out. */
int AddPersonalityDefn(PersonalityDefn *personalityDefn);

/* The first personality of that name (case-sensitive), or null. */
PersonalityDefn *GetPersonalityDefn(const char *personalityName);
/* Logs the personality at debug level; 1, 0 when it is not found, 99 when memory runs out. */
int PrintPersonalityDefn(const char *personalityName);

char **GetConstituentTables(const char *personalityName);
/* One entry per personality, in list order (a table that dominates two personalities is
 * listed twice); null when there are no personalities. */
char **GetDominantTables(void);
char **GetPersonalityNames(void);
/* 1 when some personality has the table as its dominant table (exact match). */
int IsDominantTable(const char *tableName);
/* Frees an array of the three above (null is ignored). */
void FreeNameList(char **names);

#ifdef __cplusplus
}
#endif

#endif /* KV_DATAOBJECT_PERSONALITY_DEFN_H */
