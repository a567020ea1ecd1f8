// From a table's tag tree to its TableDefn; see dictionary_loader.h for the contract.
#include <stdlib.h>
#include <string.h>

#include "logging/log.h"
#include "store/column_defn.h"
#include "store/dictionary_loader.h"
#include "util/strings.h"

namespace {

// What a column starts from; every column starts afresh, whatever the previous one said.
struct ColumnValues {
    const char *name = nullptr;
    const char *typeWord = nullptr;
    const char *defaultText = nullptr;
    unsigned char unique = 0;
    const char *generatorName = nullptr;
    const char *description = nullptr;
    int maxSize = 0;
    unsigned char nullable = 1;
    AllowedValues *allowed = nullptr;
};

// The list of a value record, or the range of a from record and its to sibling (which
// *record is moved onto). False, with the message logged, when the table cannot be built.
bool ReadAllowed(const char *tableName, const XmlTagInfo **record, AllowedValues **allowed) {
    const XmlTagInfo *node = *record;
    AllowedValues *made = nullptr;
    if (IsXmlTag(node, "value")) {
        made = CreateAllowedValues(node->textValues, node->textValueCount, 0);
    } else {
        const XmlTagInfo *to = node->nextSibling;
        if (!IsXmlTag(to, "to")) {
            LogError("In the allowed values attribute, 'to' tag is missing.\n");
            LogError("Table %s is not loaded.\n", tableName);
            return false;
        }
        const char *bounds[2] = {GetXmlTagText(node), GetXmlTagText(to)};
        made = CreateAllowedValues(bounds, 2, 1);
        *record = to;
    }
    if (made == nullptr) {
        LogError("Cannot copy allowed values.\n");
        return false;
    }
    FreeAllowedValues(*allowed);  // a later allowed-values element replaces an earlier one
    *allowed = made;
    return true;
}

ColumnDefn *BuildColumn(const char *tableName, const XmlTagInfo *record) {
    ColumnValues v;
    v.name = GetXmlTagAttribute(record, "name");
    if (v.name == nullptr) {
        LogError("A column of table %s has no name attribute; the table is not loaded.\n",
                 tableName);
        return nullptr;
    }
    for (const XmlTagInfo *p = record->firstChild; p != nullptr; p = p->nextSibling) {
        const char *text = GetXmlTagText(p);
        if (IsXmlTag(p, "data-type")) {
            v.typeWord = text;
        } else if (IsXmlTag(p, "nullable")) {
            v.nullable = StrCompareNoCase(text, "true") == 0 ? 1 : 0;
        } else if (IsXmlTag(p, "max-size")) {
            v.maxSize = text != nullptr ? StringToInt(text) : 0;
        } else if (IsXmlTag(p, "description")) {
            v.description = text;
        } else if (IsXmlTag(p, "default-value")) {
            v.defaultText = text;
        } else if (IsXmlTag(p, "generator-name")) {
            v.generatorName = text;
        } else if (IsXmlTag(p, "unique")) {
            v.unique = StrCompare(text, "true") == 0 ? 1 : 0;
        } else if (IsXmlTag(p, "value") || IsXmlTag(p, "from")) {
            if (!ReadAllowed(tableName, &p, &v.allowed)) {
                FreeAllowedValues(v.allowed);
                return nullptr;
            }
        }
    }
    ColumnDefn *column =
        CreateColumnDefn(v.name, GetDataTypeFromString(v.typeWord), v.defaultText,
                         v.defaultText != nullptr ? int(strlen(v.defaultText)) : 0, v.unique,
                         v.generatorName, v.description, v.maxSize, v.nullable, v.allowed);
    if (column == nullptr) FreeAllowedValues(v.allowed);
    return column;
}

bool BuildColumns(const char *tableName, const XmlTagInfo *columns, Vector *out) {
    for (const XmlTagInfo *record = columns->firstChild; record != nullptr;
         record = record->nextSibling) {
        ColumnDefn *column = BuildColumn(tableName, record);
        if (column == nullptr) return false;
        if (AddElementData(out, column) != 1) {
            FreeColumnDefn(column);
            return false;
        }
    }
    return true;
}

bool BuildPrimaryKey(const char *tableName, const XmlTagInfo *key, TableConstraints *out) {
    for (const XmlTagInfo *column = key->firstChild; column != nullptr;
         column = column->nextSibling) {
        const char *name = GetXmlTagText(column);
        if (name == nullptr) {
            LogError("A primary-key-column of table %s names no column; it is ignored.\n",
                     tableName);
            continue;
        }
        if (AddPrimaryKeyColumn(out, name) != 1) return false;
    }
    return true;
}

// The text of the named child record of pair, or null.
const char *ChildText(const XmlTagInfo *pair, const char *name) {
    for (const XmlTagInfo *child = pair->firstChild; child != nullptr; child = child->nextSibling) {
        if (IsXmlTag(child, name)) return GetXmlTagText(child);
    }
    return nullptr;
}

bool BuildForeignKey(const char *tableName, const XmlTagInfo *key, TableConstraints *out) {
    const char *referenceTable = GetXmlTagAttribute(key, "reference-table-name");
    if (referenceTable == nullptr) {
        LogError(
            "A foreign key of table %s has no reference-table-name; the table is not "
            "loaded.\n",
            tableName);
        return false;
    }
    const XmlTagInfo *pairs = key->firstChild;
    if (!IsXmlTag(pairs, "fk-columns")) {
        LogDebug("fk-columns tag not found \n");
        return true;
    }
    const XmlTagInfo *constraint = pairs->nextSibling;
    unsigned char cascade = IsXmlTag(constraint, "fk-constraints") &&
                                    StrCompare(GetXmlTagText(constraint), "ON-DELETE-CASCADE") == 0
                                ? 1
                                : 0;
    unsigned char bidirectional =
        StrCompare(GetXmlTagAttribute(key, "isbidirectional"), "true") == 0 ? 1 : 0;
    bool first = true;
    for (const XmlTagInfo *pair = pairs->firstChild; pair != nullptr; pair = pair->nextSibling) {
        const char *local = ChildText(pair, "fk-local-column");
        const char *reference = ChildText(pair, "fk-reference-column");
        if (local == nullptr || reference == nullptr) {
            // A key missing one of its pairs would silently reference the wrong columns.
            LogError(
                "A foreign key of table %s lacks its fk-local-column or "
                "fk-reference-column; the table is not loaded.\n",
                tableName);
            return false;
        }
        ForeignKeyDefn *defn = CreateForeignKeyDefn(local, reference, referenceTable, cascade,
                                                    first ? bidirectional : 0);
        if (defn == nullptr) return false;
        if (AddForeignKeyDefn(out, defn) != 1) {
            FreeForeignKeyDefn(defn);
            return false;
        }
        first = false;
    }
    return true;
}

bool BuildForeignKeys(const char *tableName, const XmlTagInfo *keys, TableConstraints *out) {
    for (const XmlTagInfo *key = keys->firstChild; key != nullptr; key = key->nextSibling) {
        if (!BuildForeignKey(tableName, key, out)) return false;
    }
    return true;
}

void FreeColumns(Vector *columns) {
    if (columns == nullptr) return;
    for (VectorNode *node = columns->head; node != nullptr; node = node->next) {
        FreeColumnDefn(static_cast<ColumnDefn *>(node->element));
    }
    FreeVector(columns);
    free(columns);
}

// The parts of a table that the build reads, in the order the dictionary gives them.
struct TableParts {
    const char *description = nullptr;
    const XmlTagInfo *columns = nullptr;
    const XmlTagInfo *primaryKey = nullptr;
    const XmlTagInfo *foreignKeys = nullptr;
};

bool FindParts(const char *tableName, const XmlTagInfo *table, TableParts *parts) {
    const XmlTagInfo *part = table->firstChild;
    if (IsXmlTag(part, "description")) {
        parts->description = GetXmlTagText(part);
        part = part->nextSibling;
    }
    if (!IsXmlTag(part, "columns")) {
        LogError("Table %s has no columns element before its keys; the table is not loaded.\n",
                 tableName);
        return false;
    }
    parts->columns = part;
    part = part->nextSibling;
    if (IsXmlTag(part, "primary-key")) {
        parts->primaryKey = part;
        part = part->nextSibling;
    }
    if (IsXmlTag(part, "foreign-keys")) {
        parts->foreignKeys = part;
        part = part->nextSibling;
    }
    for (; part != nullptr; part = part->nextSibling) {
        LogError("Element %s of table %s is out of order and is ignored.\n", part->tagName,
                 tableName);
    }
    return true;
}

}  // namespace

extern "C" {

int BuildTableDefnFromTagInfo(void) {
    LogTrace("@@@ Inside BuildTableDefnFromTagInfo @@@\n");
    const XmlTagInfo *table = GetXmlTagInfoRoot();
    if (table == nullptr) return 0;
    const char *tableName = GetXmlTagAttribute(table, "name");
    if (tableName == nullptr) {
        LogError("A table element has no name attribute; the table is not loaded.\n");
        return 0;
    }
    TableParts parts;
    if (!FindParts(tableName, table, &parts)) return 0;
    Vector *columns = NewVector();
    TableConstraints *constraints = CreateTableConstraints();
    bool built = columns != nullptr && constraints != nullptr &&
                 BuildColumns(tableName, parts.columns, columns) &&
                 (parts.primaryKey == nullptr ||
                  BuildPrimaryKey(tableName, parts.primaryKey, constraints)) &&
                 (parts.foreignKeys == nullptr ||
                  BuildForeignKeys(tableName, parts.foreignKeys, constraints));
    TableDefn *defn =
        built ? CreateTableDefn(tableName, parts.description, columns, constraints) : nullptr;
    if (defn == nullptr || AddTableDefn(defn) != 1) {
        if (defn != nullptr) {
            FreeTableDefnRecord(defn);
        } else {
            FreeColumns(columns);
            FreeTableConstraints(constraints);
        }
        return 0;
    }
    LogTrace("Table definition %s added.\n", tableName);
    return 1;
}

}  // extern "C"
