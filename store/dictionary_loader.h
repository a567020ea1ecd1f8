/*
 * The data dictionary loader: reads the list file "datadictionary.txt" of the data folder,
 * parses each XML dictionary file it names with libxml2's text reader, collects each table
 * element into a tag tree (xml_tag_tree.h) and turns that tree into a TableDefn appended to
 * the global definition list (column_defn.h). Files load in list order, tables in document
 * order.
 *
 * Results: 1 / 0 as each function says; a file that cannot be opened or parsed is logged and
 * the tables read from it before the fault stay loaded. A table that cannot be built (no
 * columns, a "from" without "to", a table, column or foreign key without its required name
 * attribute, lack of memory) is logged and left out; the other tables are unaffected. List
 * words and composed paths longer than 255 characters are refused with a message.
 *
 * Locking: none. The tag-tree root is one global, so loads must not run concurrently; the
 * library loads once, on the thread that initialises it, before the store is used.
 */
#ifndef KV_STORE_DICTIONARY_LOADER_H
#define KV_STORE_DICTIONARY_LOADER_H

#include "store/xml_tag_tree.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Longest list word or composed path accepted, in characters. */
enum { DATA_DICT_MAX_PATH = 255 };

/* Opens "..\data\datadictionary.txt", or else "<root>/data/datadictionary.txt" under
 * gv_rootPath, and loads every file listed (from the same folder). 1 when the list file was
 * opened, 0 ("Cannot open DataDictionary File.\n") otherwise. */
int LoadAllDataDictFiles(void);
/* The same for "<folder>\datadictionary.txt"; 0 without a message when it cannot be
 * opened. */
int LoadDataDictFiles(const char *folder);
/* Parses one dictionary file; 1 for any path, 0 for a null one. */
int LoadDataDictFromXMLFile(const char *path);
/* Parses one dictionary file, adding its tables; always 1. */
int XmlDataParser(const char *path);

/* The tag tree of the table being loaded, or null between tables. */
XmlTagInfo *GetXmlTagInfoRoot(void);
/* Turns the current tag tree into a TableDefn and adds it to the list; 1, or 0 when the tree
 * is absent or cannot be built. The tree stays in place (the caller frees it). */
int BuildTableDefnFromTagInfo(void);

#ifdef __cplusplus
}
#endif

#endif /* KV_STORE_DICTIONARY_LOADER_H */
