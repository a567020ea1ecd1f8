// Provider and generator registries, provider slots, and the dialect of a table.
#include "db/providers.h"

#include <string.h>
#include <strings.h>

#include <initializer_list>

#include "db/conn_params.h"
#include "db/connection_pool.h"
#include "db/odbc_provider.h"
#include "db/sqlgen.h"
#include "logging/log.h"

const char *const gv_dialectNames[4] = {"MYSQL", "PGSQL", "FIREBIRD", "SQLITE"};
const DBProvider *gv_dbProviders[DB_PROVIDER_SLOTS] = {nullptr, nullptr};
unsigned char gv_dsnMapValid = 0;
unsigned char gv_defaultDialect = 0;

namespace {

Vector g_providers = {nullptr, 0, nullptr, nullptr};
Vector g_generators = {nullptr, 0, nullptr, nullptr};

void EmptyVector(Vector *v) {
    while (v->head != nullptr) DeleteElementAt(v, 0);
}

}  // namespace

extern "C" {

int RegisterDBProvider(const DBProvider *provider) {
    return provider ? AddElementData(&g_providers, const_cast<DBProvider *>(provider)) : 0;
}

const DBProvider *GetDBProvider(const char *name) {
    if (name == nullptr) return nullptr;
    for (VectorNode *n = g_providers.head; n; n = n->next) {
        auto *provider = static_cast<const DBProvider *>(n->element);
        if (provider->name && strcmp(provider->name, name) == 0) return provider;
    }
    return nullptr;
}

int InitDBProvider(void) {
    LogTrace("@@@ Inside InitDBProvider @@@\n");
    if (gv_dbProviders[0] != nullptr) {
        LogError("InitDBProvider Failed as already initialized\n");
        return 0;
    }
    gv_dbProviders[0] = gv_dbProviders[1] = nullptr;
    RegisterODBCProvider();
    LoadDBProvider("ODBC");
    LoadDBProvider("SQLITE");  // only when such a provider was registered before
    InitConnectionVectors();
    return 1;
}

int LoadDBProvider(const char *name) {
    for (const DBProvider *&slot : gv_dbProviders) {
        if (slot == nullptr) {
            slot = GetDBProvider(name);
            return slot != nullptr;
        }
    }
    return 0;
}

int GetDBProviderIndex(const char *name) {
    if (name == nullptr) return -1;
    for (int i = 0; i < DB_PROVIDER_SLOTS && gv_dbProviders[i] != nullptr; ++i) {
        if (gv_dbProviders[i]->name && strcmp(gv_dbProviders[i]->name, name) == 0) return i;
    }
    return -1;
}

int UnloadDBProvider(const char *name) {
    int index = GetDBProviderIndex(name);
    if (index < 0) return 0;
    gv_dbProviders[index] = nullptr;
    return 1;
}

int LoadDialectDBProvider(void) {
    if (gv_dataSourceVect.head == nullptr) {
        LogError("Cannot Load DB provider.\n");
        return 0;
    }
    auto *entry = static_cast<ConnParamsEntry *>(gv_dataSourceVect.head->element);
    if (!LoadDBProvider(entry->dialect)) {
        LogError("Cannot Load %s provider.\n", entry->dialect);
        return 0;
    }
    return 1;
}

void SetDSNMapValid(unsigned char status, unsigned char dialectIndex) {
    if (status == 1) {
        gv_dsnMapValid = 1;
    } else if (status == 0) {
        if (dialectIndex >= 4) {
            LogError("\nInvalid Status\n");  // an index past the table would read beyond it
            return;
        }
        gv_dsnMapValid = 0;
        gv_defaultDialect = dialectIndex;
        LoadDBProvider(gv_dialectNames[dialectIndex]);
    } else {
        LogError("\nInvalid Status\n");
    }
}

void FreeDBProviders(void) {
    gv_dbProviders[0] = gv_dbProviders[1] = nullptr;
    EmptyVector(&g_providers);
}

void InitQueryGenerators(void) {
    EmptyVector(&g_generators);
    for (const char *name : {"PGSQL", "MYSQL", "SQLITE", "FIREBIRD"})
        RegisterQueryGenerator(GetDialectGenerator(name));
}

int RegisterQueryGenerator(const QueryGenerator *generator) {
    return generator ? AddElementData(&g_generators, const_cast<QueryGenerator *>(generator)) : 0;
}

const QueryGenerator *GetQueryGenerator(const char *name) {
    if (name == nullptr) return nullptr;
    for (VectorNode *n = g_generators.head; n; n = n->next) {
        auto *generator = static_cast<const QueryGenerator *>(n->element);
        if (generator->name && strcasecmp(generator->name, name) == 0) return generator;
    }
    return nullptr;
}

void FreeQueryGenerators(void) {
    EmptyVector(&g_generators);
}

const char *GetDialectForTable(const char *tableName) {
    if (gv_dsnMapValid == 1) return GetDialectForConnection(GetConnectionNameForTable(tableName));
    return gv_defaultDialect < 4 ? gv_dialectNames[gv_defaultDialect] : nullptr;
}

const QueryGenerator *GetGeneratorForTable(const char *tableName) {
    return GetQueryGenerator(GetDialectForTable(tableName));
}

}  // extern "C"
