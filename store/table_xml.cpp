// Table data from XML documents; see table_xml.h for the contract.
#include "store/table_xml.h"
#include "store/number_text.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <new>
#include <string>
#include <vector>

#include "logging/log.h"
#include "store/column_defn.h"
#include "store/datetime.h"
#include "store/row_object.h"
#include "store/sequence_generator.h"
#include "store/table_data.h"
#include "util/strings.h"

namespace {

constexpr int kReferenceBuckets = 50;
// A foreign-key walk longer than this has met a cycle of keys without a generator.
constexpr int kMaxForeignKeySteps = 64;

const char *Text(const xmlChar *text) {
    return reinterpret_cast<const char *>(text);
}

bool SameName(const char *a, const char *b) {
    return a != nullptr && b != nullptr && StrCompareNoCase(a, b) == 0;
}

bool IsTextType(unsigned char type) {
    return type == VEL_SQL_CHAR || type == VEL_SQL_VARCHAR || type == VEL_SQL_TEXT;
}

bool IsDateType(unsigned char type) {
    return type >= VEL_SQL_DATE && type <= VEL_SQL_DATETIME;
}

using numbertext::ParseInteger;
using numbertext::ParseReal;

bool StoreBytes(void **value, int *length, const void *bytes, int size) {
    char *copy = nullptr;
    if (AllocCopyBytes(&copy, bytes, size_t(size)) != 1) return false;
    *value = copy;
    *length = size;
    return true;
}

int CountColons(const char *text) {
    int count = 0;
    for (; *text != '\0'; ++text) count += *text == ':';
    return count;
}

// The non-empty ":"-separated pieces of a reference, as strtok finds them.
std::vector<std::string> ReferenceParts(const char *text) {
    std::vector<std::string> parts;
    for (const char *p = text; *p != '\0';) {
        const char *end = strchr(p, ':');
        size_t n = end != nullptr ? size_t(end - p) : strlen(p);
        if (n > 0) parts.emplace_back(p, n);
        p += n;
        if (*p == ':') ++p;
    }
    return parts;
}

std::string Key(const std::string &table, const std::string &column, const std::string &part) {
    return table + ":" + column + ":" + part;
}

// ---- the reference memory ----

bool Recall(const StringHashTable *memory, const std::string &key, int *number) {
    const int *stored = static_cast<const int *>(GetHashValue(memory, key.c_str()));
    if (stored == nullptr) return false;
    *number = *stored;
    return true;
}

void Remember(StringHashTable *memory, const std::string &key, int number) {
    if (int *stored = static_cast<int *>(GetHashValue(memory, key.c_str()))) {
        *stored = number;
        return;
    }
    int *value = static_cast<int *>(malloc(sizeof(int)));
    if (value == nullptr) throw std::bad_alloc();
    *value = number;
    if (PutHashEntry(memory, key.c_str(), value) != 1) {
        free(value);
        throw std::bad_alloc();
    }
}

// ---- definitions ----

ColumnDefn *FindColumn(const TableDefn *defn, const char *name) {
    if (defn == nullptr || defn->columns == nullptr) return nullptr;
    for (VectorNode *node = defn->columns->head; node != nullptr; node = node->next) {
        ColumnDefn *column = static_cast<ColumnDefn *>(node->element);
        if (column != nullptr && SameName(column->name, name)) return column;
    }
    return nullptr;
}

// The first foreign key whose local column is named so; quiet when the table has none.
const ForeignKeyDefn *FindForeignKey(const TableDefn *defn, const char *localColumn) {
    if (defn == nullptr || defn->constraints == nullptr ||
        defn->constraints->foreignKeys == nullptr) {
        return nullptr;
    }
    for (VectorNode *node = defn->constraints->foreignKeys->head; node != nullptr;
         node = node->next) {
        const ForeignKeyDefn *key = static_cast<const ForeignKeyDefn *>(node->element);
        if (key != nullptr && SameName(key->localColumn, localColumn)) return key;
    }
    return nullptr;
}

// A generated number of the named column, or -1 when the table or column is unknown or has
// no generator.
int GenerateFor(const char *tableName, const char *columnName) {
    const TableDefn *defn = GetTableDefn(tableName);
    const ColumnDefn *column = FindColumn(defn, columnName);
    if (column == nullptr || column->generatorName == nullptr) return -1;
    return GenerateID(defn->name, column);
}

// ---- elements ----

// An element's attributes as (name, text) without copying when the text is a plain text
// node, which it is for every attribute without entity references.
class Attributes {
  public:
    Attributes(xmlDoc *document, xmlNode *element) {
        try {
            Read(document, element);
        } catch (...) {
            for (xmlChar *text : owned_) xmlFree(text);
            throw;
        }
    }
    ~Attributes() {
        for (xmlChar *text : owned_) xmlFree(text);
    }
    Attributes(const Attributes &) = delete;
    Attributes &operator=(const Attributes &) = delete;

    // The value of the first attribute named so (ignoring case), or null.
    const char *Find(const char *name) const {
        for (const auto &pair : pairs_) {
            if (SameName(pair.first, name)) return pair.second;
        }
        return nullptr;
    }

  private:
    void Read(xmlDoc *document, xmlNode *element) {
        pairs_.reserve(8);
        for (xmlAttr *attr = element->properties; attr != nullptr; attr = attr->next) {
            const char *value = nullptr;
            xmlNode *child = attr->children;
            if (child == nullptr) {
                value = "";
            } else if (child->next == nullptr && child->type == XML_TEXT_NODE &&
                       child->content != nullptr) {
                value = Text(child->content);
            } else {
                owned_.reserve(owned_.size() + 1);  // so that keeping the text cannot throw
                xmlChar *joined = xmlNodeListGetString(document, child, 1);
                if (joined == nullptr) {
                    value = "";
                } else {
                    owned_.push_back(joined);
                    value = Text(joined);
                }
            }
            pairs_.push_back({Text(attr->name), value});
        }
    }

    std::vector<std::pair<const char *, const char *>> pairs_;
    std::vector<xmlChar *> owned_;
};

bool IsElement(const xmlNode *node) {
    return node != nullptr && node->type == XML_ELEMENT_NODE;
}

xmlNode *FirstElementChild(xmlNode *node) {
    for (xmlNode *child = node->children; child != nullptr; child = child->next) {
        if (IsElement(child)) return child;
    }
    return nullptr;
}

// ---- key values ----

struct KeyValue {
    std::string referenceTable;
    std::string referenceColumn;
    std::string localColumn;
    bool resolved = false;
    std::string value;
};

std::vector<KeyValue> CollectForeignKeys(const TableDefn *defn, bool log) {
    std::vector<KeyValue> keys;
    if (defn == nullptr || defn->constraints == nullptr ||
        defn->constraints->foreignKeys == nullptr) {
        return keys;
    }
    for (VectorNode *node = defn->constraints->foreignKeys->head; node != nullptr;
         node = node->next) {
        const ForeignKeyDefn *key = static_cast<const ForeignKeyDefn *>(node->element);
        if (key == nullptr || key->localColumn == nullptr || key->referenceColumn == nullptr ||
            key->referenceTable == nullptr) {
            continue;
        }
        if (log) {
            LogTrace("Column Name : %s\n", key->localColumn);
            LogTrace("Ref Column  : %s\n", key->referenceColumn);
            LogTrace("Tablename : %s\n", key->referenceTable);
        }
        keys.push_back({key->referenceTable, key->referenceColumn, key->localColumn, false, {}});
    }
    return keys;
}

// Foreign-key values from the elements enclosing element, innermost first: an attribute
// named like the referenced column, else, in an element of the referenced table, that
// element's own foreign-key value for the column (resolved from its enclosing elements in
// turn). Only ever climbs, so it ends.
void ResolveFromEnclosing(xmlDoc *document, xmlNode *element, std::vector<KeyValue> &keys) {
    if (keys.empty()) return;
    for (xmlNode *outer = element->parent; IsElement(outer); outer = outer->parent) {
        Attributes attributes(document, outer);
        std::vector<KeyValue> outerKeys;
        bool outerCollected = false;
        for (KeyValue &key : keys) {
            if (key.resolved) continue;
            if (const char *value = attributes.Find(key.referenceColumn.c_str())) {
                key.value = value;
                key.resolved = true;
                continue;
            }
            if (!SameName(Text(outer->name), key.referenceTable.c_str())) continue;
            if (!outerCollected) {
                outerKeys = CollectForeignKeys(GetTableDefn(Text(outer->name)), false);
                ResolveFromEnclosing(document, outer, outerKeys);
                outerCollected = true;
            }
            for (const KeyValue &outerKey : outerKeys) {
                if (outerKey.resolved &&
                    SameName(outerKey.localColumn.c_str(), key.referenceColumn.c_str())) {
                    key.value = outerKey.value;
                    key.resolved = true;
                    break;
                }
            }
        }
    }
}

// A missing foreign-key value from the elements nested in element, following the first
// nested element at each level.
void SearchBelow(xmlDoc *document, xmlNode *element, KeyValue &key) {
    for (xmlNode *node = FirstElementChild(element); node != nullptr;
         node = FirstElementChild(node)) {
        if (!SameName(Text(node->name), key.referenceTable.c_str())) continue;
        Attributes attributes(document, node);
        if (const char *value = attributes.Find(key.referenceColumn.c_str())) {
            key.value = value;
            key.resolved = true;
            return;
        }
        const TableDefn *defn = GetTableDefn(Text(node->name));
        const ForeignKeyDefn *own = FindForeignKey(defn, key.referenceColumn.c_str());
        if (own == nullptr) continue;
        std::vector<KeyValue> nested{
            {own->referenceTable, own->referenceColumn, own->localColumn, false, {}}};
        ResolveFromEnclosing(document, node, nested);
        if (nested[0].resolved) {
            key.value = nested[0].value;
            key.resolved = true;
            return;
        }
    }
}

// The primary-key columns no foreign key covers, with their trace lines.
std::vector<KeyValue> CollectPrimaryKeys(const TableDefn *defn) {
    std::vector<KeyValue> keys;
    const TableConstraints *constraints = defn->constraints;
    if (constraints == nullptr) return keys;
    const Vector *foreignKeys = constraints->foreignKeys;
    const bool hasForeignKeys = foreignKeys != nullptr && foreignKeys->head != nullptr;
    for (int i = 0; i < constraints->primaryKeyCount; ++i) {
        const char *column = constraints->primaryKeyColumns[i];
        if (column == nullptr) continue;
        LogTrace("Primary key : %s\n\n", column);
        bool covered = false;
        if (hasForeignKeys) {
            LogTrace("Foreign key Constraints\n");
            LogTrace("********************************\n");
            for (VectorNode *node = foreignKeys->head; node != nullptr; node = node->next) {
                const ForeignKeyDefn *key = static_cast<const ForeignKeyDefn *>(node->element);
                if (key == nullptr) continue;
                LogTrace("Column Name : %s\n", key->localColumn);
                if (SameName(key->localColumn, column)) {
                    covered = true;
                    break;
                }
            }
        }
        if (!covered) keys.push_back({{}, {}, column, false, {}});
    }
    return keys;
}

void ResolvePrimaryKeys(xmlDoc *document, xmlNode *element, std::vector<KeyValue> &keys) {
    if (keys.empty()) return;
    for (xmlNode *outer = element->parent; IsElement(outer); outer = outer->parent) {
        Attributes attributes(document, outer);
        for (KeyValue &key : keys) {
            if (key.resolved) continue;
            if (const char *value = attributes.Find(key.localColumn.c_str())) {
                key.value = value;
                key.resolved = true;
            }
        }
    }
}

// ---- values ----

enum class Outcome { kValue, kNone, kNoReference };

struct RowContext {
    StringHashTable *memory;
    const TableDefn *defn;
    bool workflowStatements;
};

// A reference table:column:key to its number; false when it names no column to follow.
bool ResolveReference(const RowContext &row, const ColumnDefn *column, const char *text,
                      int *number) {
    StringHashTable *memory = row.memory;
    const std::string thisTable = row.defn->name;
    const std::string thisColumn = column->name;
    const std::vector<std::string> parts = ReferenceParts(text);
    const bool hasKey = parts.size() >= 3;
    int v = -1;
    if (Recall(memory, text, &v)) {
        if (hasKey) Remember(memory, Key(thisTable, thisColumn, parts[2]), v);
    } else if (column->generatorName != nullptr) {
        v = GenerateID(row.defn->name, column);
    } else {
        if (parts.size() < 2) {
            LogError("Unable to get Column details for AutoID generation \n");
            return false;
        }
        std::string table = parts[0];
        std::string columnName = parts[1];
        v = GenerateFor(table.c_str(), columnName.c_str());
        int steps = 0;
        while (v == -1 && steps < kMaxForeignKeySteps) {
            const ForeignKeyDefn *key =
                FindForeignKey(GetTableDefn(table.c_str()), columnName.c_str());
            if (key == nullptr || key->referenceTable == nullptr ||
                key->referenceColumn == nullptr) {
                break;
            }
            table = key->referenceTable;
            columnName = key->referenceColumn;
            ++steps;
            v = GenerateFor(table.c_str(), columnName.c_str());
        }
        const bool generated = v != -1;
        if (!generated) v = hasKey ? int(ParseInteger<uint32_t>(parts[2].c_str())) : 0;
        if (generated && steps > 0 && hasKey) {
            // Every table and column along the walk names the same number.
            table = parts[0];
            columnName = parts[1];
            for (int step = 0; step < steps; ++step) {
                const ForeignKeyDefn *key =
                    FindForeignKey(GetTableDefn(table.c_str()), columnName.c_str());
                if (key == nullptr || key->referenceTable == nullptr ||
                    key->referenceColumn == nullptr) {
                    break;
                }
                table = key->referenceTable;
                columnName = key->referenceColumn;
                const std::string along = Key(table, columnName, parts[2]);
                int known;
                if (Recall(memory, along, &known)) {
                    v = known;
                    break;
                }
                Remember(memory, along, v);
            }
        }
        if (hasKey) Remember(memory, Key(thisTable, thisColumn, parts[2]), v);
    }
    Remember(memory, text, v);
    *number = v;
    return true;
}

// One text in the column's value form. kNone: no value (an unresolved reference);
// kNoReference: the Workflow_Statements "0", stored as 0 but counting as no value.
Outcome ConvertText(const RowContext &row, const ColumnDefn *column, const char *text, void **value,
                    int *length) {
    *value = nullptr;
    *length = 0;
    const unsigned char type = column->dataType;
    const int colons = CountColons(text);
    const char *converted = text;
    if (colons >= 2 && (IsTextType(type) || type == VEL_SQL_BLOB)) {
        converted = strchr(strchr(text, ':') + 1, ':') + 1;  // after the second ":"
    } else if (colons >= 2 && !IsDateType(type)) {
        int number = 0;
        if (row.workflowStatements && SameName(column->name, "NEXT_STATEMENT_ID")) {
            std::vector<std::string> parts = ReferenceParts(text);
            if (parts.size() >= 3 && parts[2] == "0") {
                if (!StoreBytes(value, length, &number, int(sizeof number))) {
                    throw std::bad_alloc();
                }
                return Outcome::kNoReference;
            }
        }
        if (!ResolveReference(row, column, text, &number)) return Outcome::kNone;
        if (!StoreBytes(value, length, &number, int(sizeof number))) throw std::bad_alloc();
        return Outcome::kValue;
    }
    if (!AllocateAndCopyColumnValue(value, length, type, converted)) throw std::bad_alloc();
    return Outcome::kValue;
}

void ReplaceValue(void **slot, int *lengthSlot, void *value, int length) {
    free(*slot);
    *slot = value;
    *lengthSlot = length;
}

const KeyValue *FindLocal(const std::vector<KeyValue> &keys, const char *column) {
    for (const KeyValue &key : keys) {
        if (SameName(key.localColumn.c_str(), column)) return &key;
    }
    return nullptr;
}

// Builds the row of a table's element and adds it; false when it cannot be added. Throws
// std::bad_alloc when memory runs out (values made so far are freed on the way out).
bool BuildRow(xmlDoc *document, xmlNode *element, TableData *table, StringHashTable *memory) {
    const TableDefn *defn = table->tableDefn;
    if (defn == nullptr || defn->columns == nullptr) return false;
    RowContext row{memory, defn, SameName(defn->name, "Workflow_Statements")};

    std::vector<KeyValue> foreignKeys = CollectForeignKeys(defn, true);
    ResolveFromEnclosing(document, element, foreignKeys);
    for (KeyValue &key : foreignKeys) {
        if (!key.resolved) SearchBelow(document, element, key);
    }
    std::vector<KeyValue> primaryKeys = CollectPrimaryKeys(defn);
    ResolvePrimaryKeys(document, element, primaryKeys);

    const int count = table->columnCount;
    void **values = static_cast<void **>(calloc(size_t(count > 0 ? count : 1), sizeof(void *)));
    int *lengths = static_cast<int *>(calloc(size_t(count > 0 ? count : 1), sizeof(int)));
    RowObject *made =
        values != nullptr && lengths != nullptr ? CreateNewRowObject(values, lengths) : nullptr;
    if (made == nullptr) {
        free(values);
        free(lengths);
        throw std::bad_alloc();
    }
    try {
        Attributes attributes(document, element);
        int i = 0;
        for (VectorNode *node = defn->columns->head; node != nullptr && i < count;
             node = node->next, ++i) {
            const ColumnDefn *column = static_cast<const ColumnDefn *>(node->element);
            if (column == nullptr) continue;
            const char *text = attributes.Find(column->name);
            Outcome outcome = Outcome::kNone;
            if (text != nullptr) outcome = ConvertText(row, column, text, &values[i], &lengths[i]);
            if (outcome != Outcome::kValue || values[i] == nullptr) {
                if (column->defaultValue != nullptr) {
                    void *copy = CopyColumnValue(column->defaultValue, column->defaultLength,
                                                 column->dataType);
                    if (copy == nullptr) throw std::bad_alloc();
                    ReplaceValue(&values[i], &lengths[i], copy, column->defaultLength);
                }
            }
            if (text != nullptr && outcome != Outcome::kNoReference) continue;
            const KeyValue *key = FindLocal(foreignKeys, column->name);
            if (key == nullptr) key = FindLocal(primaryKeys, column->name);
            if (key == nullptr || !key->resolved) continue;
            void *value = nullptr;
            int length = 0;
            if (ConvertText(row, column, key->value.c_str(), &value, &length) == Outcome::kValue &&
                value != nullptr) {
                ReplaceValue(&values[i], &lengths[i], value, length);
            } else {
                free(value);
            }
        }
    } catch (...) {
        FreeRowObject(made, count);
        throw;
    }
    if (!AddNewRow(table->name, made)) {
        FreeRowObject(made, count);
        return false;
    }
    return true;
}

// Depth first over a node list; false at the first row that fails.
bool Walk(xmlDoc *document, xmlNode *first, StringHashTable *memory) {
    for (xmlNode *node = first; node != nullptr; node = node->next) {
        if (IsElement(node) && !CreateRowFromXMLElement(document, node, memory)) return false;
        if (node->children != nullptr && !Walk(document, node->children, memory)) return false;
    }
    return true;
}

StringHashTable *NewMemory() {
    StringHashTable *memory = static_cast<StringHashTable *>(calloc(1, sizeof(StringHashTable)));
    if (memory == nullptr) return nullptr;
    if (CreateHashTable(memory, kReferenceBuckets) != 1) {
        free(memory);
        return nullptr;
    }
    return memory;
}

// The rows of a parsed document; frees the document and the memory on every path.
int LoadDocument(xmlDoc *document, const char *failure) {
    StringHashTable *memory = NewMemory();
    xmlNode *root = xmlDocGetRootElement(document);
    int ok = memory != nullptr &&
             (root == nullptr || CreateAndAddRows(document, root->children, memory));
    if (!ok) LogError("%s", failure);
    FreeXmlReferenceMemory(memory);
    xmlFreeDoc(document);
    return ok ? 1 : 0;
}

}  // namespace

extern "C" {

int ConstructTableDataFromXMLFile(const char *path) {
    LogTrace("@@@ Inside ConstructTableDataFromXMLFile @@@\n");
    xmlDoc *document = path != nullptr ? xmlParseFile(path) : nullptr;
    if (document == nullptr) {
        LogError("error: could not parse file file.xml\n");
        return 0;
    }
    return LoadDocument(document, "Cannot construct table data from XML file.\n");
}

int ConstructTableDataFromXMLBuffer(const char *buffer, int size) {
    LogTrace("@@@ Inside ConstructTableDataFromXMLBuffer @@@\n");
    xmlDoc *document = buffer != nullptr && size > 0 ? xmlParseMemory(buffer, size) : nullptr;
    if (document == nullptr) {
        LogError("error: could not parse file file.xml\n");
        return 0;
    }
    return LoadDocument(document, "Cannot construct table data from XML buffer.\n");
}

StringHashTable *ConstructTableDataFromXMLNode(xmlDoc *document, xmlNode *node) {
    LogTrace("@@@ Inside ConstructTableDataFromXMLNode @@@\n");
    StringHashTable *memory = node != nullptr ? NewMemory() : nullptr;
    if (memory == nullptr || !CreateAndAddRows(document, node->children, memory)) {
        LogError("Cannot construct table data from buffer node.\n");
        FreeXmlReferenceMemory(memory);
        return nullptr;
    }
    return memory;
}

void FreeXmlReferenceMemory(StringHashTable *memory) {
    if (memory == nullptr) return;
    for (int i = 0; memory->buckets != nullptr && i < memory->bucketCount; ++i) {
        for (HashEntry *entry = memory->buckets[i]; entry != nullptr; entry = entry->next) {
            free(entry->value);
        }
    }
    FreeHashTable(memory);
    free(memory);
}

int CreateAndAddRows(xmlDoc *document, xmlNode *firstNode, StringHashTable *memory) {
    if (!Walk(document, firstNode, memory)) {
        LogError("Cannot create and add a new row while constructing tabledata from XML file.\n");
        return 0;
    }
    return 1;
}

int CreateRowFromXMLElement(xmlDoc *document, xmlNode *element, StringHashTable *memory) {
    if (!IsElement(element) || element->name == nullptr || memory == nullptr) return 0;
    const char *name = Text(element->name);
    TableData *table = GetTableDataByName(name);
    if (table == nullptr && CreateTable(name)) table = GetTableDataByName(name);
    if (table == nullptr) return strstr(name, "List") != nullptr ? 1 : 0;
    if (table->kind != TABLE_DATA_TABLE) return 0;
    try {
        return BuildRow(document, element, table, memory) ? 1 : 0;
    } catch (const std::bad_alloc &) {
        return 0;
    }
}

XmlRowElement *ReadXmlRowElement(xmlDoc *document, xmlNode *element) {
    if (!IsElement(element) || element->name == nullptr) return nullptr;
    XmlRowElement *row = static_cast<XmlRowElement *>(calloc(1, sizeof(XmlRowElement)));
    if (row == nullptr) return nullptr;
    row->attributes = NewVector();
    bool ok = row->attributes != nullptr && AllocCopyString(&row->name, Text(element->name)) == 1;
    for (xmlAttr *attr = element->properties; ok && attr != nullptr; attr = attr->next) {
        XmlAttributePair *pair =
            static_cast<XmlAttributePair *>(calloc(1, sizeof(XmlAttributePair)));
        if (pair == nullptr) {
            ok = false;
            break;
        }
        xmlChar *text = xmlNodeListGetString(document, attr->children, 1);
        ok = AllocCopyString(&pair->name, Text(attr->name)) == 1 &&
             AllocCopyString(&pair->value, text != nullptr ? Text(text) : "") == 1 &&
             AddElementData(row->attributes, pair) == 1;
        if (text != nullptr) xmlFree(text);
        if (!ok) {
            free(pair->name);
            free(pair->value);
            free(pair);
        }
    }
    if (!ok) {
        FreeXmlRowElement(row);
        return nullptr;
    }
    return row;
}

void FreeXmlRowElement(XmlRowElement *element) {
    if (element == nullptr) return;
    if (element->attributes != nullptr) {
        for (VectorNode *node = element->attributes->head; node != nullptr; node = node->next) {
            XmlAttributePair *pair = static_cast<XmlAttributePair *>(node->element);
            free(pair->name);
            free(pair->value);
            free(pair);
        }
        FreeVector(element->attributes);
        free(element->attributes);
    }
    free(element->name);
    free(element);
}

int AllocateAndCopyColumnValue(void **value, int *length, unsigned char dataType,
                               const char *text) {
    if (value == nullptr || length == nullptr) return 0;
    *value = nullptr;
    *length = 0;
    if (text == nullptr) {
        LogTrace("value parameter in AllocateAndCopyColumnValue is NULL \n");
        return 0;
    }
    switch (dataType) {
        case VEL_SQL_TINYINT:
        case VEL_SQL_UNSIGNED_TINYINT:
        case VEL_SQL_SMALLINT:
        case VEL_SQL_UNSIGNED_SMALLINT:
        case VEL_SQL_INT:
        case VEL_SQL_UNSIGNED_INT: {
            uint32_t number = ParseInteger<uint32_t>(text);
            return StoreBytes(value, length, &number, 4);
        }
        case VEL_SQL_BIGINT:
        case VEL_SQL_UNSIGNED_LONG_INT: {
            uint64_t number = ParseInteger<uint64_t>(text);
            return StoreBytes(value, length, &number, 8);
        }
        case VEL_SQL_FLOAT:
        case VEL_SQL_REAL: {
            float single = static_cast<float>(ParseReal(text));
            return StoreBytes(value, length, &single, 4);
        }
        case VEL_SQL_DOUBLE: {
            double real = ParseReal(text);
            return StoreBytes(value, length, &real, 8);
        }
        case VEL_SQL_DECIMAL:
        case VEL_SQL_NUMERIC:
        case VEL_SQL_CHAR:
        case VEL_SQL_VARCHAR:
        case VEL_SQL_BLOB:
        case VEL_SQL_CLOB:
        case VEL_SQL_TEXT:
            return StoreBytes(value, length, text, int(strlen(text)));
        case VEL_SQL_DATE: {
            int year = 0, month = 0, day = 0;
            ScanText(text, "%d-%d-%d", &year, &month, &day);
            VelDate date{int16_t(year), uint8_t(month), uint8_t(day)};
            return StoreBytes(value, length, &date, VEL_DATE_LENGTH);
        }
        case VEL_SQL_TIME: {
            int hour = 0, minute = 0, second = 0;
            ScanText(text, "%d:%d:%d", &hour, &minute, &second);
            VelTime time{uint8_t(hour), uint8_t(minute), uint8_t(second)};
            return StoreBytes(value, length, &time, VEL_TIME_LENGTH);
        }
        case VEL_SQL_DATETIME: {
            int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
            ScanText(text, "%d-%d-%d %d:%d:%d", &year, &month, &day, &hour, &minute, &second);
            VelDate date{int16_t(year), uint8_t(month), uint8_t(day)};
            VelTime time{uint8_t(hour), uint8_t(minute), uint8_t(second)};
            *value = CreateDateTimeColumnValue(&date, &time);
            if (*value == nullptr) return 0;
            *length = VEL_DATETIME_LENGTH;
            return 1;
        }
        case VEL_SQL_BOOLEAN: {
            unsigned char flag = StrCompareNoCase(text, "false") == 0 ? 0 : 1;
            return StoreBytes(value, length, &flag, 1);
        }
        default:
            return 1;
    }
}

void PrintForeignKeyValues(Vector *list) {
    if (list == nullptr) return;
    for (VectorNode *node = list->head; node != nullptr; node = node->next) {
        const ForeignKeyValue *key = static_cast<const ForeignKeyValue *>(node->element);
        if (key == nullptr) continue;
        LogDebug("FK  Table: %s\n", key->referenceTable ? key->referenceTable : "(null)");
        LogDebug("FK  Column: %s\n", key->referenceColumn ? key->referenceColumn : "(null)");
        LogDebug("FK colName: %s\n", key->value ? key->value : "(null)");
    }
}

}  // extern "C"
