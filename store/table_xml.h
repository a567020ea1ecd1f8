/*
 * Table data from XML: every element below a document's root is a row of the table named
 * like the element (ignoring case), its attributes the column values (attributes named like
 * no column are ignored). An element that names no table and whose name contains "List" only
 * groups other elements. Rows are added in document order, each element before its
 * children, creating a table that is not loaded yet (table_data.h).
 *
 * Values: an attribute with two or more ":" in a column of a type other than text, blob and
 * date/time is a reference table:column:key to a generated number; the reference memory, a
 * string hash table of 50 buckets per load, makes each reference name one number throughout
 * the load (values: malloc'd ints owned by the memory). Key columns left out take their
 * values from the enclosing or nested elements through the table's foreign keys.
 *
 * Ownership: the loaders free the parsed document (on every path) and, except for
 * ConstructTableDataFromXMLNode, whose caller owns the memory it returns and frees it with
 * FreeXmlReferenceMemory, the reference memory. Rows added before a failure stay in their
 * tables. Records returned by ReadXmlRowElement are the caller's (FreeXmlRowElement).
 *
 * Results: 1 / 0 or a pointer that is null on failure, logged at error level with the
 * messages given. A load runs on one thread; the table operations and the sequence
 * generator take their own locks.
 */
#ifndef KV_STORE_TABLE_XML_H
#define KV_STORE_TABLE_XML_H

#include "store/hash_table.h"
#include "util/vector.h"

#ifdef __cplusplus
extern "C" {
#endif

struct _xmlDoc;
struct _xmlNode;

typedef struct XmlAttributePair {
    char *name;  /* owned */
    char *value; /* owned; the text of the attribute's content */
} XmlAttributePair;

typedef struct XmlRowElement {
    char *name;         /* owned */
    Vector *attributes; /* of XmlAttributePair, in document order; owned */
} XmlRowElement;

/* One pending key value of the row being built; all texts owned. A primary-key column that
 * is no foreign key uses only localColumn and value. */
typedef struct ForeignKeyValue {
    char *referenceTable;
    char *referenceColumn;
    char *localColumn;
    char *value; /* null until resolved */
} ForeignKeyValue;

/* 0 with "error: could not parse file file.xml\n" when the file does not parse, or with
 * "Cannot construct table data from XML file.\n" when a row fails. */
int ConstructTableDataFromXMLFile(const char *path);
/* The same for size bytes of buffer ("... from XML buffer.\n"). */
int ConstructTableDataFromXMLBuffer(const char *buffer, int size);
/* Adds the rows below node; returns the reference memory (the caller's), or null after
 * "Cannot construct table data from buffer node.\n". The document stays the caller's. */
StringHashTable *ConstructTableDataFromXMLNode(struct _xmlDoc *document, struct _xmlNode *node);
/* Frees a reference memory with its numbers and the record; null is ignored. */
void FreeXmlReferenceMemory(StringHashTable *memory);

/* Adds a row for every element of the node list and, depth first, of their descendants. */
int CreateAndAddRows(struct _xmlDoc *document, struct _xmlNode *firstNode, StringHashTable *memory);
/* Builds and adds the row of one element; 1 also for a grouping "List" element. */
int CreateRowFromXMLElement(struct _xmlDoc *document, struct _xmlNode *element,
                            StringHashTable *memory);

XmlRowElement *ReadXmlRowElement(struct _xmlDoc *document, struct _xmlNode *element);
void FreeXmlRowElement(XmlRowElement *element);

/* Converts one attribute text to the stored form of dataType: *value gets the new buffer
 * (null for the types stored as nothing: 0, 11, 12, 13, 20, 21) and *length its length.
 * 0 when text is null or memory runs out. */
int AllocateAndCopyColumnValue(void **value, int *length, unsigned char dataType, const char *text);

/* Logs each ForeignKeyValue of the Vector at debug level. */
void PrintForeignKeyValues(Vector *list);

#ifdef __cplusplus
}
#endif

#endif /* KV_STORE_TABLE_XML_H */
