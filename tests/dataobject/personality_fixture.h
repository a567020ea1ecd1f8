// Helpers of the personality tests: dictionary tables and personality files written from a
// few words, and the rows of a data object as text.
#ifndef KV_TESTS_DATAOBJECT_PERSONALITY_FIXTURE_H
#define KV_TESTS_DATAOBJECT_PERSONALITY_FIXTURE_H

#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "dataobject/personality_defn.h"
#include "dataobject/row_collection.h"
#include "store/column_defn.h"
#include "store/row_object.h"

namespace kvtest {

struct ForeignKeyPair {
    const char *local, *table, *column;
};

// A dictionary table: columns as "NAME" (an integer) or "NAME:size" (text of that size); the
// key columns are not nullable; each foreign-key pair is a key of its own (pairs to one table
// in a row make one key of several columns when the table is created).
inline std::string Table(const std::string &name, const std::vector<std::string> &columns,
                         const std::vector<std::string> &key,
                         const std::vector<ForeignKeyPair> &foreignKeys = {}) {
    std::string text = "<table name=\"" + name + "\"><columns>";
    for (const std::string &column : columns) {
        const size_t colon = column.find(':');
        const std::string columnName = column.substr(0, colon);
        const bool keyed = std::find(key.begin(), key.end(), columnName) != key.end();
        text += "<column name=\"" + columnName + "\">";
        text += colon == std::string::npos ? "<data-type>INTEGER</data-type>"
                                           : "<data-type>CHAR</data-type><max-size>" +
                                                 column.substr(colon + 1) + "</max-size>";
        text += std::string("<nullable>") + (keyed ? "false" : "true") + "</nullable></column>";
    }
    text += "</columns>";
    if (!key.empty()) {
        text += "<primary-key>";
        for (const std::string &column : key) {
            text += "<primary-key-column>" + column + "</primary-key-column>";
        }
        text += "</primary-key>";
    }
    if (!foreignKeys.empty()) {
        text += "<foreign-keys>";
        int i = 0;
        for (const ForeignKeyPair &fk : foreignKeys) {
            text += "<foreign-key name=\"fk_" + name + std::to_string(++i) +
                    "\" reference-table-name=\"" + fk.table +
                    "\"><fk-columns><fk-column><fk-local-column>" + fk.local +
                    "</fk-local-column><fk-reference-column>" + fk.column +
                    "</fk-reference-column></fk-column></fk-columns></foreign-key>";
        }
        text += "</foreign-keys>";
    }
    return text + "</table>";
}

// The tables of the tests without a database: Resource with two referring tables, a table
// whose first key leads nowhere (OsPatch), a text-keyed Tag, a self-reference (Node), a cycle
// (CycleA, CycleB), two keys to one table (Link to Host) and a table without a key (Loose).
inline std::string PersonalityTables() {
    return Table("Resource", {"RESOURCE_ID", "NAME:20"}, {"RESOURCE_ID"}) +
           Table("ResourceOS", {"OS_ID", "RESOURCE_ID", "OS_NAME:20"}, {"OS_ID"},
                 {{"RESOURCE_ID", "Resource", "RESOURCE_ID"}}) +
           Table("ResourceHW", {"HW_ID", "RESOURCE_ID"}, {"HW_ID"},
                 {{"RESOURCE_ID", "Resource", "RESOURCE_ID"}}) +
           Table("OsPatch", {"OS_ID", "RESOURCE_ID", "PATCH"}, {"OS_ID", "PATCH"},
                 {{"OS_ID", "ResourceOS", "OS_ID"}, {"RESOURCE_ID", "ResourceOS", "RESOURCE_ID"}}) +
           Table("Tag", {"CODE:10", "LABEL:20"}, {"CODE"}) +
           Table("TaggedRes", {"RESOURCE_ID", "CODE:10"}, {"RESOURCE_ID", "CODE"},
                 {{"RESOURCE_ID", "Resource", "RESOURCE_ID"}, {"CODE", "Tag", "CODE"}}) +
           Table("Node", {"ID", "PARENT_ID"}, {"ID"}, {{"PARENT_ID", "Node", "ID"}}) +
           Table("CycleA", {"ID", "B_ID"}, {"ID"}, {{"B_ID", "CycleB", "ID"}}) +
           Table("CycleB", {"ID", "A_ID"}, {"ID"}, {{"A_ID", "CycleA", "ID"}}) +
           Table("Host", {"ID", "NAME:20"}, {"ID"}) +
           Table("Link", {"ID", "FROM_ID", "TO_ID"}, {"ID"},
                 {{"FROM_ID", "Host", "ID"}, {"TO_ID", "Host", "ID"}}) +
           Table("Loose", {"A"}, {});
}

// A row of the table in the given state, every column from its text (null: SQL NULL) in
// definition order; free it with FreeRowObject.
inline RowObject *RowOf(const char *table, const std::vector<const char *> &texts,
                        unsigned char state) {
    TableDefn *defn = GetTableDefn(table);
    if (defn == nullptr) return nullptr;
    const size_t count = size_t(defn->columns->count);
    void **values = static_cast<void **>(calloc(count + 1, sizeof(void *)));
    int *lengths = static_cast<int *>(calloc(count + 1, sizeof(int)));
    size_t i = 0;
    for (VectorNode *n = defn->columns->head; n != nullptr && i < texts.size(); n = n->next, ++i) {
        if (texts[i] == nullptr) continue;
        lengths[i] = int(strlen(texts[i]));
        values[i] = ConvertStringToColumnValue(texts[i], &lengths[i],
                                               static_cast<ColumnDefn *>(n->element)->dataType);
    }
    RowObject *row = CreateNewRowObject(values, lengths);
    row->state = state;
    return row;
}

// "v:v:...:state" for every unit of the table in chain order, sorted; {"<none>"} when the
// object lacks the table.
inline std::vector<std::string> UnitTexts(DataObject *dataObject, const char *table) {
    RowCollection *collection = GetRowCollection(table, dataObject);
    if (collection == nullptr) return {"<none>"};
    std::vector<std::string> out;
    for (RowUnit *u = collection->firstRowUnit; u != nullptr; u = u->next) {
        std::string line;
        for (int i = 0; i < CountCollectionColumns(collection); ++i) {
            char *text =
                ConvertColumnValueToString(u->values[i], u->lengths[i], collection->columnTypes[i]);
            line += std::string(text != nullptr ? text : "?") + ":";
            free(text);
        }
        out.push_back(line + std::to_string(u->state));
    }
    std::sort(out.begin(), out.end());
    return out;
}

// The entries of a name array before its empty end entry ({"<null>"} for none), then frees it.
inline std::vector<std::string> TakeNames(char **names) {
    if (names == nullptr) return {"<null>"};
    std::vector<std::string> out;
    int i = 0;
    for (; names[i][0] != '\0'; ++i) out.emplace_back(names[i]);
    FreeNameList(names);
    return out;
}

}  // namespace kvtest

#endif  // KV_TESTS_DATAOBJECT_PERSONALITY_FIXTURE_H
