// Reading personalities into data objects; see personality_read.h for the contract.
#include "dataobject/personality_read.h"

#include <apr_pools.h>
#include <stdlib.h>
#include <string.h>

#include <new>
#include <string>
#include <vector>

#include "dataobject/data_object_read.h"
#include "dataobject/index_table.h"
#include "dataobject/merge.h"
#include "dataobject/personality_defn.h"
#include "dataobject/save_order.h"
#include "db/connection_pool.h"
#include "logging/log.h"

namespace {

const char *Shown(const char *text) {
    return text != nullptr ? text : "(null)";
}

apr_status_t FreeOwnedQuery(void *query) {
    FreeSelectQuery(static_cast<SelectQuery *>(query));
    return APR_SUCCESS;
}

// The personality of the name, after the checks every read makes; null when logged.
PersonalityDefn *NamedPersonality(const char *personalityName) {
    if (personalityName == nullptr) {
        LogError("Cannot get Personality.  personalityName is NULL\n");
        return nullptr;
    }
    PersonalityDefn *defn = GetPersonalityDefn(personalityName);
    if (defn == nullptr) LogError("No personality found for %s\n", personalityName);
    return defn;
}

// The name a table's definition gives it (the text itself when it has none).
const char *DefinedName(const char *table) {
    TableDefn *defn = GetTableDefn(table);
    return defn != nullptr ? defn->name : table;
}

// The local column of the constituent's first foreign key whose chain of references reaches
// (dominant, keyColumn), or null.
const char *LocalColumnTo(const TableDefn *constituent, const TableDefn *dominant,
                          const char *keyColumn) {
    Vector *keys =
        constituent->constraints != nullptr ? constituent->constraints->foreignKeys : nullptr;
    for (VectorNode *k = keys != nullptr ? keys->head : nullptr; k != nullptr; k = k->next) {
        const ForeignKeyDefn *key = static_cast<const ForeignKeyDefn *>(k->element);
        unsigned char found = 0;
        CompareRootRefTable(key->referenceTable, key->referenceColumn, dominant->name, keyColumn,
                            &found);
        if (found && key->localColumn != nullptr) return key->localColumn;
    }
    return nullptr;
}

// Adds the left join of one constituent to the query; false only when memory runs out.
bool JoinConstituent(SelectQuery *query, const TableDefn *dominant, Vector *baseColumns,
                     const char *table, std::vector<const TableDefn *> *joined) {
    apr_pool_t *pool = query->pool;
    const TableDefn *constituent = GetTableDefn(table);
    if (constituent == nullptr) {
        LogError("No table definition found for %s; it is not joined.\n", table);
        return true;
    }
    for (const TableDefn *t : *joined) {
        // A table joined twice without aliases would make every column of it ambiguous.
        if (t == constituent) return true;
    }
    Vector *refColumns = NewColumnList(pool);
    if (refColumns == nullptr) return false;
    for (int k = 0; k < dominant->constraints->primaryKeyCount; ++k) {
        const char *local =
            LocalColumnTo(constituent, dominant, dominant->constraints->primaryKeyColumns[k]);
        if (local == nullptr) {
            // An empty or partial column list would make the join invalid SQL or join on
            // part of the key; the constituent is left out instead.
            LogError("Constituent table %s has no foreign key to %s.%s; it is not joined.\n",
                     constituent->name, dominant->name,
                     dominant->constraints->primaryKeyColumns[k]);
            return true;
        }
        SelectColumn *column =
            CreateSelectColumn(constituent->name, nullptr, local, nullptr, 0, 5, 0, pool);
        if (column == nullptr || !AppendListColumn(pool, column, refColumns)) return false;
    }
    // Every join names the dominant table as its base: the generator writes the first join's
    // base table once and needs the others' to pair the columns.
    SelectJoin *join = CreateSelectJoin(dominant->name, nullptr, constituent->name, nullptr,
                                        LEFT_JOIN, baseColumns, refColumns, pool);
    if (join == nullptr || !AddSelectJoin(query, join)) return false;
    joined->push_back(constituent);
    return true;
}

// The select of the personality: its dominant table left-joined with its constituents, or
// the dominant table alone when none can be joined. Null (logged) when it cannot be made.
SelectQuery *PersonalityQuery(const PersonalityDefn *personality) {
    const TableDefn *dominant = GetTableDefn(personality->dominantTable);
    if (dominant == nullptr || dominant->constraints == nullptr ||
        dominant->constraints->primaryKeyCount == 0) {
        LogError("No primary keys in dominant table %s\n", Shown(personality->dominantTable));
        return nullptr;
    }
    SelectQuery *query = CreateSelectQuery();
    if (query == nullptr) return nullptr;
    apr_pool_t *pool = query->pool;
    Vector *baseColumns = NewColumnList(pool);
    bool ok = baseColumns != nullptr;
    for (int k = 0; ok && k < dominant->constraints->primaryKeyCount; ++k) {
        SelectColumn *column =
            CreateSelectColumn(dominant->name, nullptr, dominant->constraints->primaryKeyColumns[k],
                               nullptr, 0, 5, 0, pool);
        ok = column != nullptr && AppendListColumn(pool, column, baseColumns);
    }
    try {
        std::vector<const TableDefn *> joined;
        for (VectorNode *n = personality->constituentTableVect->head; ok && n != nullptr;
             n = n->next) {
            const ConstituentTable *constituent = static_cast<const ConstituentTable *>(n->element);
            // An entry without a table name stands for no table (see personality_defn.h).
            if (constituent->table == nullptr || constituent->table[0] == '\0') continue;
            ok = JoinConstituent(query, dominant, baseColumns, constituent->table, &joined);
        }
    } catch (const std::bad_alloc &) {
        ok = false;
    }
    if (ok && query->joins.count == 0) {
        SelectTable *table = CreateSelectTable(dominant->name, nullptr, pool);
        ok = table != nullptr && AddSelectTable(query, table);
    }
    if (!ok) {
        LogError("MEMORY_ALLOCATION_FAILURE\n");
        FreeSelectQuery(query);
        return nullptr;
    }
    return query;
}

// Reads the query (taken over: it goes with the object, or is freed on failure).
DataObject *ReadOwned(SelectQuery *query, const char *personalityName) {
    DataObject *dataObject = query != nullptr ? GetDataObject(query) : nullptr;
    if (dataObject == nullptr) {
        LogError("Cannot get DO for personality %s\n", personalityName);
        if (query != nullptr) FreeSelectQuery(query);
        return nullptr;
    }
    apr_pool_cleanup_register(dataObject->pool, query, FreeOwnedQuery, apr_pool_cleanup_null);
    return dataObject;
}

// The dominant table followed by every named constituent table, as a list whose nodes the
// caller frees (FreeVector); the names point into the definitions or the personality.
bool PersonalityTables(const PersonalityDefn *personality, Vector *tables) {
    InitVector(tables, nullptr);
    if (!AddElementData(tables, const_cast<char *>(DefinedName(personality->dominantTable))))
        return false;
    for (VectorNode *n = personality->constituentTableVect->head; n != nullptr; n = n->next) {
        const ConstituentTable *constituent = static_cast<const ConstituentTable *>(n->element);
        if (constituent->table == nullptr || constituent->table[0] == '\0') continue;
        if (!AddElementData(tables, const_cast<char *>(DefinedName(constituent->table)))) {
            FreeVector(tables);
            return false;
        }
    }
    return true;
}

// Reads each named personality with read and combines the objects into one.
template <typename Read>
DataObject *ReadAll(Vector *personalityNames, Read read) {
    DataObject *result = CreateDataObject();
    if (result == nullptr) {
        LogError("MEMORY_ALLOCATION_FAILURE\n");
        return nullptr;
    }
    for (VectorNode *n = personalityNames != nullptr ? personalityNames->head : nullptr;
         n != nullptr; n = n->next) {
        DataObject *one = read(static_cast<const char *>(n->element));
        // Objects read apart hold stored rows; combining keeps each row's state, where a
        // merge (which folds changes) would make them new rows to be inserted again.
        DataObject *combined = one != nullptr ? CombineDataObjects(result, one) : nullptr;
        FreeDataObject(one);
        if (combined == nullptr) {
            LogError("Cannot Merge DO's.\n");
            FreeDataObject(result);
            return nullptr;
        }
    }
    return result;
}

}  // namespace

extern "C" {

DataObject *GetDOFromPersonality(const char *personalityName) {
    LogTrace("@@@ Inside GetDOFromPersonality @@@\n");
    PersonalityDefn *personality = NamedPersonality(personalityName);
    if (personality == nullptr) return nullptr;
    return ReadOwned(PersonalityQuery(personality), personalityName);
}

DataObject *GetDOFromPersonalityByCriteria(const char *personalityName, QueryCriterion *criteria) {
    LogTrace("@@@ Inside GetDOFromPersonalityByCriteria @@@\n");
    PersonalityDefn *personality = NamedPersonality(personalityName);
    if (personality == nullptr) return nullptr;
    // The criteria restrict the personality's own joined select: a plain list of its tables
    // would pair every row of each table with every row of the others (and find nothing at
    // all once one of them is empty).
    SelectQuery *query = PersonalityQuery(personality);
    if (query != nullptr) SetCriteria(query, criteria);
    return ReadOwned(query, personalityName);
}

DataObject *GetDOFromPersonalityByRowUnit(const char *personalityName, RowUnit *rowUnit) {
    LogTrace("@@@ Inside GetDOFromPersonalityByRowUnit @@@\n");
    PersonalityDefn *personality = NamedPersonality(personalityName);
    if (personality == nullptr) return nullptr;
    Vector tables;
    if (!PersonalityTables(personality, &tables)) {
        LogError("MEMORY_ALLOCATION_FAILURE\n");
        return nullptr;
    }
    DataObject *dataObject = GetDataObjectByRowUnit(&tables, rowUnit);
    FreeVector(&tables);
    return dataObject;
}

DataObject *GetDOFromPersonalities(Vector *personalityNames) {
    LogTrace("@@@ Inside GetDOFromPersonalities @@@\n");
    return ReadAll(personalityNames, [](const char *name) { return GetDOFromPersonality(name); });
}

DataObject *GetDOFromPersonalitiesByRowUnit(Vector *personalityNames, RowUnit *rowUnit) {
    LogTrace("@@@ Inside GetDOFromPersonalitiesByRowUnit @@@\n");
    return ReadAll(personalityNames, [rowUnit](const char *name) {
        return GetDOFromPersonalityByRowUnit(name, rowUnit);
    });
}

DataObject *GetDOFromPersonalitiesByCriteria(Vector *personalityNames, QueryCriterion *criteria) {
    LogTrace("@@@ Inside GetDOFromPersonalitiesByCriteria @@@\n");
    return ReadAll(personalityNames, [criteria](const char *name) {
        return GetDOFromPersonalityByCriteria(name, criteria);
    });
}

DataObject *DeepRetrieveDO(const char *dominantTable, RowUnit *rowUnit) {
    LogTrace("@@@ Inside DeepRetrieveDO @@@\n");
    char *condition = ConstructPKValueString(dominantTable, rowUnit);
    if (condition == nullptr) {
        LogError("No primary keys in dominant table %s\n", Shown(dominantTable));
        return nullptr;
    }
    std::vector<std::string> names;
    std::string sql;
    try {
        sql = std::string("SELECT TABLENAME FROM ") + GetTableDefn(dominantTable)->name +
              "_IDX WHERE " + condition;
    } catch (const std::bad_alloc &) {
        free(condition);
        LogError("MEMORY_ALLOCATION_FAILURE\n");
        return nullptr;
    }
    free(condition);
    ConnectionHandle *handle = GetConnectionHandle(nullptr);
    ResultSet *result = handle != nullptr ? ExecuteQuery(handle, sql.c_str()) : nullptr;
    if (handle != nullptr) ReleaseConnectionHandle(nullptr);
    if (result == nullptr || result->firstRow == nullptr) {
        LogError("Query: %s. No tables indexed.  Cannot deep retrieve DO for %s\n", sql.c_str(),
                 dominantTable);
        FreeResultSet(result);
        return nullptr;
    }
    Vector tables;
    InitVector(&tables, nullptr);
    bool ok = AddElementData(&tables, const_cast<char *>(dominantTable)) == 1;
    try {
        for (ResultRow *row = result->firstRow; row != nullptr; row = row->next) {
            const ResultCell *cell = row->values;
            if (cell == nullptr || cell->bytes == nullptr) continue;
            names.emplace_back(reinterpret_cast<const char *>(cell->bytes),
                               size_t(cell->length > 0 ? cell->length : 0));
        }
    } catch (const std::bad_alloc &) {
        ok = false;
    }
    FreeResultSet(result);
    for (size_t i = 0; ok && i < names.size(); ++i) {
        ok = AddElementData(&tables, const_cast<char *>(names[i].c_str())) == 1;
    }
    DataObject *dataObject = ok ? GetDataObjectByRowUnit(&tables, rowUnit) : nullptr;
    if (!ok) LogError("MEMORY_ALLOCATION_FAILURE\n");
    FreeVector(&tables);
    return dataObject;
}

}  // extern "C"
