// Personality records and their list; see personality_defn.h for the contract.
#include "dataobject/personality_defn.h"

#include <stdlib.h>
#include <string.h>

#include <new>
#include <string>

#include "logging/log.h"
#include "persist/tamber_init.h"

Vector *gv_personalityDefnVect = nullptr;

namespace {

const char *Shown(const char *text) {
    return text != nullptr ? text : "(null)";
}

// A copy of text, or null for null text; *failed is set when memory runs out.
char *CopyText(const char *text, bool *failed) {
    if (text == nullptr) return nullptr;
    char *copy = strdup(text);
    if (copy == nullptr) *failed = true;
    return copy;
}

void FreeConstituents(Vector *constituents) {
    if (constituents == nullptr) return;
    for (VectorNode *n = constituents->head; n != nullptr; n = n->next) {
        ConstituentTable *constituent = static_cast<ConstituentTable *>(n->element);
        if (constituent == nullptr) continue;
        free(constituent->table);
        free(constituent->foreignKey);
        free(constituent);
    }
    FreeVector(constituents);
    free(constituents);
}

bool Named(const char *name) {
    return name != nullptr && name[0] != '\0';
}

// A new name array of the texts that pick gives for each element of list, ending with an
// empty entry; null when memory runs out. Null or empty texts are left out: an empty entry
// in the middle would end the array for every reader.
template <typename Pick>
char **NameArray(Vector *list, Pick pick) {
    size_t count = 0;
    for (VectorNode *n = list->head; n != nullptr; n = n->next) {
        if (n->element != nullptr && Named(pick(n->element))) ++count;
    }
    char **names = static_cast<char **>(calloc(count + 1, sizeof(char *)));
    if (names == nullptr) {
        LogError("MEMORY_ALLOCATION_FAILURE\n");
        return nullptr;
    }
    size_t i = 0;
    for (VectorNode *n = list->head; n != nullptr && i < count; n = n->next) {
        const char *name = n->element != nullptr ? pick(n->element) : nullptr;
        if (!Named(name)) continue;
        names[i] = strdup(name);
        if (names[i++] == nullptr) {
            FreeNameList(names);
            LogError("MEMORY_ALLOCATION_FAILURE\n");
            return nullptr;
        }
    }
    names[count] = strdup("");
    if (names[count] == nullptr) {
        FreeNameList(names);
        LogError("MEMORY_ALLOCATION_FAILURE\n");
        return nullptr;
    }
    return names;
}

bool HasPersonalities() {
    return gv_personalityDefnVect != nullptr && gv_personalityDefnVect->head != nullptr;
}

}  // namespace

extern "C" {

int InitPersonality(void) {
    LogTrace("@@@ Inside InitPersonality @@@\n");
    if (gv_personalityDefnVect == nullptr) {
        gv_personalityDefnVect = static_cast<Vector *>(malloc(sizeof(Vector)));
        if (gv_personalityDefnVect == nullptr) {
            LogError("MEMORY_ALLOCATION_FAILURE\n");
            return 99;
        }
        InitVector(gv_personalityDefnVect, nullptr);
    }
    // The list belongs to the library's run: stopping the library releases it.
    RegisterTamberShutdownHook(FreePersonalityDefns);
    return 1;
}

void FreePersonalityDefns(void) {
    LogTrace("@@@ Inside FreePersonalityDefns @@@\n");
    if (gv_personalityDefnVect == nullptr) return;
    for (VectorNode *n = gv_personalityDefnVect->head; n != nullptr; n = n->next) {
        FreePersonalityDefn(static_cast<PersonalityDefn *>(n->element));
    }
    FreeVector(gv_personalityDefnVect);
    free(gv_personalityDefnVect);
    gv_personalityDefnVect = nullptr;
}

PersonalityDefn *CreatePersonalityDefn(const char *name, const char *description,
                                       const char *dominantTable) {
    PersonalityDefn *defn = static_cast<PersonalityDefn *>(calloc(1, sizeof(PersonalityDefn)));
    bool failed = defn == nullptr;
    if (!failed) {
        defn->name = CopyText(name, &failed);
        defn->description = CopyText(description, &failed);
        defn->dominantTable = CopyText(dominantTable, &failed);
        defn->constituentTableVect = static_cast<Vector *>(malloc(sizeof(Vector)));
        if (defn->constituentTableVect == nullptr) {
            failed = true;
        } else {
            InitVector(defn->constituentTableVect, nullptr);
        }
    }
    if (failed) {
        LogError("MEMORY_ALLOCATION_FAILURE\n");
        FreePersonalityDefn(defn);
        return nullptr;
    }
    return defn;
}

void FreePersonalityDefn(PersonalityDefn *personalityDefn) {
    if (personalityDefn == nullptr) return;
    FreeConstituents(personalityDefn->constituentTableVect);
    free(personalityDefn->name);
    free(personalityDefn->description);
    free(personalityDefn->dominantTable);
    free(personalityDefn);
}

int AddPersonalityDefn(PersonalityDefn *personalityDefn) {
    LogTrace("@@@ Inside AddPersonalityDefn @@@\n");
    if (personalityDefn == nullptr || gv_personalityDefnVect == nullptr) return 0;
    return AddElementData(gv_personalityDefnVect, personalityDefn) == 1 ? 1 : 0;
}

PersonalityDefn *GetPersonalityDefn(const char *personalityName) {
    LogTrace("@@@ Inside GetPersonalityDefn @@@\n");
    if (personalityName == nullptr) {
        LogError("Cannot get personality.  Personality name is NULL\n");
        return nullptr;
    }
    for (VectorNode *n = gv_personalityDefnVect != nullptr ? gv_personalityDefnVect->head : nullptr;
         n != nullptr; n = n->next) {
        PersonalityDefn *defn = static_cast<PersonalityDefn *>(n->element);
        if (defn != nullptr && defn->name != nullptr && strcmp(defn->name, personalityName) == 0)
            return defn;
    }
    LogError("Personality %s not found in gv_personalityDefnVect\n", personalityName);
    return nullptr;
}

int PrintPersonalityDefn(const char *personalityName) {
    LogTrace("@@@ Inside PrintPersonalityDefn @@@\n");
    if (personalityName == nullptr) {
        LogError("Cannot print personality definition.  PersonalityName is NULL\n");
        return 0;
    }
    PersonalityDefn *defn = GetPersonalityDefn(personalityName);
    if (defn == nullptr) {
        LogError("Cannot print PersonalityDefn.  personalityDefnPtr is NULL\n");
        return 0;
    }
    std::string text;
    try {
        text = std::string("\nPersonality Name: ") + Shown(defn->name) + "\n";
        text += std::string("Description: ") + Shown(defn->description) + "\n";
        text += std::string("Dominant Table: ") + Shown(defn->dominantTable) + "\n\n";
        text += "Constituent Table Information\n";
        for (VectorNode *n = defn->constituentTableVect->head; n != nullptr; n = n->next) {
            const ConstituentTable *c = static_cast<const ConstituentTable *>(n->element);
            text += std::string("Constituent Table Name: ") + Shown(c->table) + "\n";
            text += "Constituent Table Index: " + std::to_string(c->index) + "\n";
            text += std::string("Foreign Key: ") + Shown(c->foreignKey) + "\n";
            text += "Mandatory Status: " + std::to_string(unsigned(c->mandatory)) + "\n\n";
        }
    } catch (const std::bad_alloc &) {
        LogError("MEMORY_ALLOCATION_FAILURE\n");
        return 99;
    }
    LogDebug("\n%s\n", text.c_str());
    return 1;
}

char **GetConstituentTables(const char *personalityName) {
    LogTrace("@@@ Inside GetConstituentTables @@@\n");
    if (personalityName == nullptr) {
        LogError("Cannot get constituent tables list.  PersonalityName is NULL\n");
        return nullptr;
    }
    PersonalityDefn *defn = GetPersonalityDefn(personalityName);
    if (defn == nullptr) {
        LogError("Cannot get constituent tables list.  PersonalityDefn is NULL\n");
        return nullptr;
    }
    if (defn->constituentTableVect == nullptr) {
        LogError("Cannot get constituent tables list.  ConstituentTableVect is NULL\n");
        return nullptr;
    }
    return NameArray(defn->constituentTableVect, [](void *element) -> const char * {
        return static_cast<ConstituentTable *>(element)->table;
    });
}

char **GetDominantTables(void) {
    LogTrace("@@@ Inside GetDominantTables @@@\n");
    if (!HasPersonalities()) return nullptr;
    return NameArray(gv_personalityDefnVect, [](void *element) -> const char * {
        return static_cast<PersonalityDefn *>(element)->dominantTable;
    });
}

char **GetPersonalityNames(void) {
    LogTrace("@@@ Inside GetPersonalityNames @@@\n");
    if (!HasPersonalities()) return nullptr;
    return NameArray(gv_personalityDefnVect, [](void *element) -> const char * {
        return static_cast<PersonalityDefn *>(element)->name;
    });
}

int IsDominantTable(const char *tableName) {
    LogTrace("@@@ Inside IsDominantTable @@@\n");
    if (tableName == nullptr) return 0;
    char **dominants = GetDominantTables();
    int found = 0;
    for (int i = 0; dominants != nullptr && dominants[i][0] != '\0' && !found; ++i) {
        found = strcmp(dominants[i], tableName) == 0;
    }
    FreeNameList(dominants);
    return found;
}

void FreeNameList(char **names) {
    if (names == nullptr) return;
    size_t i = 0;
    for (; names[i] != nullptr && names[i][0] != '\0'; ++i) free(names[i]);
    free(names[i]);  // the empty end entry (or null when the array was cut short)
    free(names);
}

}  // extern "C"
