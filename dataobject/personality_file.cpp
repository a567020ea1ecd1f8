// Reading personality files; see personality_file.h for the contract.
#include "dataobject/personality_file.h"

#include <libxml/parser.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "dataobject/index_table.h"
#include "dataobject/personality_defn.h"
#include "logging/log.h"
#include "platform/files.h"
#include "util/strings.h"

namespace {

const char *Shown(const char *text) {
    return text != nullptr ? text : "(null)";
}

bool Named(const DoNode *node, const char *name) {
    return node != nullptr && node->name != nullptr && StrCompareNoCase(node->name, name) == 0;
}

bool Present(const char *text) {
    return text != nullptr && text[0] != '\0';
}

void FreeDoNode(DoNode *node) {
    if (node == nullptr) return;
    for (VectorNode *a = node->attributes.head; a != nullptr; a = a->next) {
        DoNodeAttribute *attribute = static_cast<DoNodeAttribute *>(a->element);
        free(attribute->name);
        free(attribute->value);
        free(attribute);
    }
    FreeVector(&node->attributes);
    free(node->name);
    free(node);
}

// Replaces *field with a copy of value; false when memory runs out (the field unchanged).
bool SetText(char **field, const char *value) {
    char *copy = strdup(value);
    if (copy == nullptr) return false;
    free(*field);
    *field = copy;
    return true;
}

// A number as the file writes it: leading blanks, an optional sign, digits; what follows is
// ignored and a text without digits reads 0.
int LeadingNumber(const char *text) {
    char *end = nullptr;
    long value = strtol(text, &end, 10);
    if (value > 2147483647L) return 2147483647;
    if (value < -2147483647L - 1) return -2147483647 - 1;
    return static_cast<int>(value);
}

// Fills the constituent from the element's attributes in document order; false when memory
// runs out. A tableindex that reads 0 ends the reading.
bool ReadConstituent(const DoNode *node, ConstituentTable *constituent) {
    for (VectorNode *a = node->attributes.head; a != nullptr; a = a->next) {
        const DoNodeAttribute *attribute = static_cast<const DoNodeAttribute *>(a->element);
        if (StrCompareNoCase(attribute->name, "tableindex") == 0) {
            constituent->index = LeadingNumber(attribute->value);
            if (constituent->index == 0) break;
        } else if (StrCompareNoCase(attribute->name, "tableid") == 0) {
            if (!SetText(&constituent->table, attribute->value)) return false;
        } else if (StrCompareNoCase(attribute->name, "fkconstraint_id") == 0) {
            if (!SetText(&constituent->foreignKey, attribute->value)) return false;
        } else if (StrCompareNoCase(attribute->name, "mandatory") == 0) {
            constituent->mandatory = StrCompareNoCase(attribute->value, "false") == 0 ? 0 : 1;
        }
    }
    return true;
}

bool ReadPersonality(const DoNode *node, PersonalityDefn *defn) {
    for (VectorNode *a = node->attributes.head; a != nullptr; a = a->next) {
        const DoNodeAttribute *attribute = static_cast<const DoNodeAttribute *>(a->element);
        char **field = nullptr;
        if (StrCompareNoCase(attribute->name, "personalityname") == 0) field = &defn->name;
        if (StrCompareNoCase(attribute->name, "description") == 0) field = &defn->description;
        if (StrCompareNoCase(attribute->name, "dominanttableid") == 0) field = &defn->dominantTable;
        if (field != nullptr && !SetText(field, attribute->value)) return false;
    }
    return true;
}

void FreeConstituent(ConstituentTable *constituent) {
    free(constituent->table);
    free(constituent->foreignKey);
    free(constituent);
}

// Reads the run of ConstituentTable records from *cursor on into defn, leaving *cursor on the
// first record after the run. 1, 0 for a failed append, 99 when memory runs out.
int ReadConstituents(VectorNode **cursor, PersonalityDefn *defn) {
    for (;
         *cursor != nullptr && Named(static_cast<DoNode *>((*cursor)->element), "ConstituentTable");
         *cursor = (*cursor)->next) {
        ConstituentTable *constituent =
            static_cast<ConstituentTable *>(calloc(1, sizeof(ConstituentTable)));
        if (constituent == nullptr) {
            LogError("MEMORY_ALLOCATION_FAILURE\n");
            return 99;
        }
        constituent->dominantTable = defn->dominantTable;
        if (!ReadConstituent(static_cast<DoNode *>((*cursor)->element), constituent)) {
            FreeConstituent(constituent);
            LogError("MEMORY_ALLOCATION_FAILURE\n");
            return 99;
        }
        // The dominant table is the personality itself, never one of its constituents.
        if (constituent->table != nullptr && defn->dominantTable != nullptr &&
            StrCompareNoCase(constituent->table, defn->dominantTable) == 0) {
            FreeConstituent(constituent);
            continue;
        }
        if (AddElementData(defn->constituentTableVect, constituent) != 1) {
            LogError("Cannot Add constituent table %s into constituentTableVect.\n",
                     Shown(constituent->table));
            FreeConstituent(constituent);
            return 0;
        }
    }
    return 1;
}

}  // namespace

extern "C" {

int CreateDoNodeAndSave(xmlDocPtr document, xmlNodePtr element, Vector *doNodeVect) {
    LogTrace("@@@ Inside CreateDoNodeAndSave @@@\n");
    if (element == nullptr || element->name == nullptr || doNodeVect == nullptr) return 0;
    DoNode *node = static_cast<DoNode *>(calloc(1, sizeof(DoNode)));
    if (node == nullptr) return 0;
    InitVector(&node->attributes, nullptr);
    node->name = strdup(reinterpret_cast<const char *>(element->name));
    bool ok = node->name != nullptr;
    for (xmlAttrPtr a = element->properties; a != nullptr && ok; a = a->next) {
        DoNodeAttribute *attribute =
            static_cast<DoNodeAttribute *>(calloc(1, sizeof(DoNodeAttribute)));
        if (attribute == nullptr) {
            ok = false;
            break;
        }
        xmlChar *value = xmlNodeListGetString(document, a->children, 1);
        attribute->name = strdup(a->name != nullptr ? reinterpret_cast<const char *>(a->name) : "");
        attribute->value = strdup(value != nullptr ? reinterpret_cast<const char *>(value) : "");
        xmlFree(value);
        ok = attribute->name != nullptr && attribute->value != nullptr &&
             AddElementData(&node->attributes, attribute) == 1;
        if (!ok) {
            free(attribute->name);
            free(attribute->value);
            free(attribute);
        }
    }
    if (ok && AddElementData(doNodeVect, node) == 1) return 1;
    FreeDoNode(node);
    return 0;
}

int TraverseNodes(xmlDocPtr document, xmlNodePtr first, Vector *doNodeVect) {
    LogTrace("@@@ Inside TraverseNodes @@@\n");
    // A walk without recursion: however deep the document, the stack stays flat.
    xmlNodePtr top = first != nullptr ? first->parent : nullptr;
    xmlNodePtr node = first;
    while (node != nullptr) {
        if (node->type == XML_ELEMENT_NODE) {
            if (!CreateDoNodeAndSave(document, node, doNodeVect)) {
                LogError("Cannot Add doNode into doNodeVect.\n");
            }
            if (node->children != nullptr) {
                node = node->children;
                continue;
            }
        }
        while (node != nullptr && node->next == nullptr) {
            node = node->parent;
            if (node == top) node = nullptr;
        }
        if (node != nullptr) node = node->next;
    }
    return 1;
}

int CreateAndAddPersonalityDefn(Vector *doNodeVect) {
    LogTrace("@@@ Inside CreateAndAddPersonalityDefn @@@\n");
    if (doNodeVect == nullptr) return 0;
    VectorNode *cursor = doNodeVect->head;
    while (cursor != nullptr) {
        const DoNode *node = static_cast<const DoNode *>(cursor->element);
        cursor = cursor->next;
        if (!Named(node, "PersonalityConfiguration")) continue;
        PersonalityDefn *defn = CreatePersonalityDefn(nullptr, nullptr, nullptr);
        if (defn == nullptr) return 99;
        if (!ReadPersonality(node, defn)) {
            LogError("MEMORY_ALLOCATION_FAILURE\n");
            FreePersonalityDefn(defn);
            return 99;
        }
        int read = ReadConstituents(&cursor, defn);
        if (read != 1) {
            FreePersonalityDefn(defn);
            return read;
        }
        // Lookups go by name and reads start at the dominant table: without either the
        // personality could never be used, and its empty texts would end the name arrays.
        if (!Present(defn->name) || !Present(defn->dominantTable)) {
            LogError("Personality %s without personalityname or dominanttableid is ignored.\n",
                     Shown(defn->name));
            FreePersonalityDefn(defn);
            continue;
        }
        if (!AddPersonalityDefn(defn)) {
            LogError("Cannot Add personality %s into gv_personalityDefnVect.\n", defn->name);
            FreePersonalityDefn(defn);
            return 0;
        }
    }
    return 1;
}

void FreeDoNodeVect(Vector *doNodeVect) {
    if (doNodeVect == nullptr) return;
    for (VectorNode *n = doNodeVect->head; n != nullptr; n = n->next) {
        FreeDoNode(static_cast<DoNode *>(n->element));
    }
    FreeVector(doNodeVect);
}

int CreatePersonalityFromXMLFile(const char *path) {
    LogTrace("@@@ Inside CreatePersonalityFromXMLFile @@@\n");
    xmlDocPtr document = path != nullptr ? xmlParseFile(PlatNativePath(path).c_str()) : nullptr;
    if (document == nullptr) {
        LogError("Could not parse file %s\n", Shown(path));
        return 0;
    }
    Vector records;
    InitVector(&records, nullptr);
    xmlNodePtr root = xmlDocGetRootElement(document);
    TraverseNodes(document, root != nullptr ? root->children : nullptr, &records);
    xmlFreeDoc(document);
    // A table that cannot be indexed is logged there; the personalities are still added.
    CreateIndexTable(&records);
    int result = CreateAndAddPersonalityDefn(&records);
    FreeDoNodeVect(&records);
    return result;
}

}  // extern "C"
