// The personality command; see personality_command.h for the contract.
#include "tamber/personality_command.h"

#include <apr_pools.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <fstream>
#include <string>
#include <vector>

#include "dataobject/data_object_print.h"
#include "dataobject/personality_defn.h"
#include "dataobject/personality_file.h"
#include "dataobject/personality_read.h"
#include "store/column_defn.h"
#include "tamber/query_criteria.h"
#include "util/mempool.h"
#include "util/strings.h"

namespace {

int Failed(const std::string &message) {
    fprintf(stderr, "tamber: %s\n", message.c_str());
    return 1;
}

// The file names of the list, or false when it cannot be read.
bool ListedFiles(std::vector<std::string> *files) {
    std::ifstream list(kPersonalityList);
    if (!list) return false;
    for (std::string line; std::getline(list, line);) {
        const size_t end = line.find_last_not_of(" \t\r");
        const size_t start = line.find_first_not_of(" \t");
        if (end == std::string::npos || line[start] == '#') continue;
        files->push_back(line.substr(start, end + 1 - start));
    }
    return true;
}

// Whether the table is the personality's dominant table or one of its constituents.
bool OfPersonality(const PersonalityDefn *personality, const char *table) {
    const TableDefn *defn = GetTableDefn(table);
    if (defn == nullptr) return false;
    if (GetTableDefn(personality->dominantTable) == defn) return true;
    for (VectorNode *n = personality->constituentTableVect->head; n != nullptr; n = n->next) {
        const ConstituentTable *c = static_cast<const ConstituentTable *>(n->element);
        if (c->table != nullptr && GetTableDefn(c->table) == defn) return true;
    }
    return false;
}

int Print(DataObject *dataObject, const std::string &name) {
    if (dataObject == nullptr) return Failed("cannot read personality " + name + " (see the log)");
    char *text = FormatDataObject(dataObject);
    FreeDataObject(dataObject);
    if (text == nullptr) return Failed("out of memory");
    fputs(text, stdout);
    free(text);
    return 0;
}

}  // namespace

int PersonalityCommand(const std::string &name, const char *criteriaTable, const char *criteria) {
    std::vector<std::string> files;
    if (!ListedFiles(&files)) {
        return Failed(std::string("cannot open data/") + kPersonalityList +
                      " (the list of personality files)");
    }
    if (InitPersonality() != 1) return Failed("out of memory");
    for (const std::string &file : files) {
        if (CreatePersonalityFromXMLFile(file.c_str()) != 1) {
            return Failed("cannot read the personality file data/" + file + " (see the log)");
        }
    }
    const PersonalityDefn *personality = GetPersonalityDefn(name.c_str());
    if (personality == nullptr) {
        return Failed("no personality " + name + " in the files of data/" + kPersonalityList);
    }
    if (criteriaTable == nullptr) return Print(GetDOFromPersonality(name.c_str()), name);
    if (!OfPersonality(personality, criteriaTable)) {
        return Failed(std::string("table ") + criteriaTable + " is not a table of personality " +
                      name);
    }
    apr_pool_t *pool = nullptr;
    if (!CreateChildMemPool(&pool)) return Failed("out of memory");
    std::string error;
    QueryCriterion *tree = QueryCriteriaFromText(criteriaTable, criteria, pool, &error);
    int exit = tree == nullptr ? Failed("cannot select from personality " + name + ": " + error)
                               : Print(GetDOFromPersonalityByCriteria(name.c_str(), tree), name);
    apr_pool_destroy(pool);
    return exit;
}
