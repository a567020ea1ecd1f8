#include "dataobject/save_order.h"

#include <apr_pools.h>
#include <apr_strings.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "logging/log.h"

namespace {

using Chain = std::vector<std::string>;

bool OnChain(const Chain &chain, const char *name) {
    for (const std::string &entry : chain) {
        if (entry == name) return true;
    }
    return false;
}

int PlaceTable(const char *tableName, Vector *remaining, Vector *result, apr_pool_t *pool,
               Chain &chain) {
    chain.push_back(tableName);
    TableDefn *defn = GetTableDefn(tableName);
    if (defn == nullptr) LogError("No Table Definition found for table %s.\n", tableName);
    Vector *keys =
        defn != nullptr && defn->constraints != nullptr ? defn->constraints->foreignKeys : nullptr;
    for (VectorNode *k = keys != nullptr ? keys->head : nullptr; k != nullptr; k = k->next) {
        const char *reference = static_cast<ForeignKeyDefn *>(k->element)->referenceTable;
        if (reference == nullptr || OnChain(chain, reference)) continue;
        for (VectorNode *r = remaining->head; r != nullptr; r = r->next) {
            const char *candidate = static_cast<const char *>(r->element);
            if (candidate != nullptr && strcmp(candidate, reference) == 0) {
                return PlaceTable(candidate, remaining, result, pool, chain);
            }
        }
    }
    char *copy = apr_pstrdup(pool, tableName);
    if (copy == nullptr || !AppendPoolElement(result, copy, pool)) return 0;
    for (VectorNode *r = remaining->head; r != nullptr; r = r->next) {
        char *candidate = static_cast<char *>(r->element);
        if (candidate != nullptr && strcmp(candidate, copy) == 0) {
            DeleteElement(remaining, r);
            free(candidate);
            break;
        }
    }
    return 1;
}

// The walk may reach back to any table on the chain through several paths; the chain keeps
// the search finite whatever the references look like.
void CompareOnChain(const char *tableName, const char *columnName, const char *targetTable,
                    const char *targetColumn, unsigned char *found, Chain &chain) {
    if (strcmp(tableName, targetTable) == 0 && strcmp(columnName, targetColumn) == 0) {
        *found = 1;
        return;
    }
    TableDefn *defn = GetTableDefn(tableName);
    Vector *keys =
        defn != nullptr && defn->constraints != nullptr ? defn->constraints->foreignKeys : nullptr;
    if (keys == nullptr || *found || OnChain(chain, tableName)) return;
    chain.push_back(tableName);
    for (VectorNode *k = keys->head; k != nullptr && !*found; k = k->next) {
        ForeignKeyDefn *key = static_cast<ForeignKeyDefn *>(k->element);
        // Only a key on this very column carries its value on; following every key of the
        // table would tie unrelated columns (an interface number to a host id).
        if (key->referenceTable == nullptr || key->referenceColumn == nullptr ||
            key->localColumn == nullptr || strcmp(key->localColumn, columnName) != 0) {
            continue;
        }
        CompareOnChain(key->referenceTable, key->referenceColumn, targetTable, targetColumn, found,
                       chain);
    }
    chain.pop_back();
}

}  // namespace

extern "C" {

int SortTablesForDO(const char *tableName, Vector *remaining, Vector *result, apr_pool_t *pool) {
    LogTrace("@@@ Inside SortTablesForDO @@@\n");
    if (tableName == nullptr || remaining == nullptr || result == nullptr || pool == nullptr)
        return 0;
    Chain chain;
    return PlaceTable(tableName, remaining, result, pool, chain);
}

Vector *SortTableByFK(Vector *tables, apr_pool_t *pool) {
    LogTrace("@@@ Inside SortTableByFK @@@\n");
    if (pool == nullptr) return nullptr;
    Vector *result = static_cast<Vector *>(apr_palloc(pool, sizeof(Vector)));
    if (result == nullptr) return nullptr;
    InitVector(result, nullptr);
    Vector *remaining = CloneVector(tables);
    if (remaining == nullptr) {
        LogError("CloneVector Failed.\n");
        return nullptr;
    }
    bool ok = true;
    while (ok && remaining->head != nullptr) {
        const char *first = static_cast<const char *>(remaining->head->element);
        if (first == nullptr) {
            DeleteElement(remaining, remaining->head);
            continue;
        }
        // The name is copied first: placing the table frees the list's own copy.
        std::string name = first;
        ok = SortTablesForDO(name.c_str(), remaining, result, pool) == 1;
    }
    for (VectorNode *r = remaining->head; r != nullptr; r = r->next) free(r->element);
    FreeVector(remaining);
    free(remaining);
    return ok ? result : nullptr;
}

int CompareRootRefTable(const char *tableName, const char *columnName, const char *targetTable,
                        const char *targetColumn, unsigned char *found) {
    LogTrace("@@@ Inside CompareRootRefTable @@@\n");
    if (tableName == nullptr || columnName == nullptr || targetTable == nullptr ||
        targetColumn == nullptr || found == nullptr) {
        return 0;
    }
    if (strcmp(tableName, targetTable) == 0 && strcmp(columnName, targetColumn) == 0) {
        *found = 1;
        return 1;
    }
    Chain chain;
    CompareOnChain(tableName, columnName, targetTable, targetColumn, found, chain);
    return 0;
}

}  // extern "C"
