/*
 * The tag tree: while the dictionary loader reads one table element, it collects the
 * element's content into XmlTagInfo records (first child / next sibling), which it then
 * turns into a TableDefn. One tree exists at a time; see dictionary_loader.h.
 *
 * Ownership: a record owns its texts, its arrays, its first-child subtree and its sibling
 * chain; FreeXmlTagInfoList releases all of them. Every text is a malloc'd copy.
 *
 * Results: constructors return null when memory runs out; the copy helpers return 1, or 99
 * when memory runs out (0 for absent arguments). No lock: the tree belongs to the one thread
 * that loads the dictionary.
 */
#ifndef KV_STORE_XML_TAG_TREE_H
#define KV_STORE_XML_TAG_TREE_H

#ifdef __cplusplus
extern "C" {
#endif

struct _xmlTextReader; /* libxml2's xmlTextReader */

typedef struct XmlTagInfo {
    char *tagName;
    char **attributeNames;
    char **attributeValues; /* parallel to attributeNames */
    int attributeCount;
    char **textValues; /* the element's text; several for a value list */
    int textValueCount;
    struct XmlTagInfo *firstChild;
    struct XmlTagInfo *nextSibling;
} XmlTagInfo;

/* A new zero-filled record, or null. */
XmlTagInfo *CreateandInitXmlTagInfo(void);
/* Frees node, its first-child subtree and its sibling chain; 1, or 0 for null. */
int FreeXmlTagInfoList(XmlTagInfo *node);

/* Copies the attributes name, system, reference-table-name and isbidirectional (in that
 * order, those present) of the reader's current element into node, logging
 * "\n Not all Attributes were read\n" when the element has others too. 1, or 99 on OOM. */
int AllocateAndStrcpyAttrib(struct _xmlTextReader *reader, XmlTagInfo *node);

/* Appends a copy of text (null: the empty text) to node's text values; 1, or 99 on OOM. */
int AppendXmlTagText(XmlTagInfo *node, const char *text);
/* The value of the named attribute (exact name), or null. */
const char *GetXmlTagAttribute(const XmlTagInfo *node, const char *name);
/* The first text value, or null when there is none. */
const char *GetXmlTagText(const XmlTagInfo *node);
/* Whether node is a record with this tag name (compared ignoring case). */
int IsXmlTag(const XmlTagInfo *node, const char *name);

#ifdef __cplusplus
}
#endif

#endif /* KV_STORE_XML_TAG_TREE_H */
