/*
 * Reading a personality file. Every element below the root is visited in document order (an
 * element, its children, then its following siblings) and becomes a DoNode record of its name
 * and attributes; the records then give the index tables to create (index_table.h) and the
 * personalities to add (personality_defn.h). Element and attribute names are compared
 * ignoring case; attributes are read in document order, and that order matters (a
 * ConstituentTable's tableindex "0" ends the reading of its element).
 *
 * Only three elements count: PersonalityConfiguration (personalityname, description,
 * dominanttableid) starts a personality; the run of ConstituentTable elements (tableindex,
 * tableid, fkconstraint_id, mandatory) right after it gives its constituents, a constituent
 * naming the dominant table being dropped; DominantTableConfig (DOMINANTTABLEID, isindexed,
 * nonindexlimit) asks for an index table. A PersonalityConfiguration without a name or a
 * dominant table is refused (logged) together with its constituents.
 *
 * Ownership: records and their texts are malloc'd, owned by the list they are appended to
 * and released with FreeDoNodeVect. Results: 1, 0 for a file that does not parse or a failed
 * append, 99 when memory runs out; failures are logged at error level.
 *
 * Threads: meant for start-up, on one thread (the personality list is changed).
 */
#ifndef KV_DATAOBJECT_PERSONALITY_FILE_H
#define KV_DATAOBJECT_PERSONALITY_FILE_H

#include <libxml/tree.h>

#include "util/vector.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct DoNodeAttribute {
    char *name;
    char *value; /* "" for an attribute without text */
} DoNodeAttribute;

typedef struct DoNode {
    char *name;
    Vector attributes; /* DoNodeAttribute, in document order */
} DoNode;

/* Reads one file: creates the index tables it asks for, then adds its personalities. The
 * path may use "\" as folder separator. */
int CreatePersonalityFromXMLFile(const char *path);
/* Appends a record for first and every element after it in visiting order; always 1. */
int TraverseNodes(xmlDocPtr document, xmlNodePtr first, Vector *doNodeVect);
/* Appends the element's record; 0 when it cannot be made or appended. */
int CreateDoNodeAndSave(xmlDocPtr document, xmlNodePtr element, Vector *doNodeVect);
/* Builds the personalities of the records and adds them to gv_personalityDefnVect. */
int CreateAndAddPersonalityDefn(Vector *doNodeVect);
/* Frees the records and the list's nodes; the Vector record itself stays the caller's. */
void FreeDoNodeVect(Vector *doNodeVect);

#ifdef __cplusplus
}
#endif

#endif /* KV_DATAOBJECT_PERSONALITY_FILE_H */
