// The data source map; see data_source_map.h.
#include "db/data_source_map.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include <new>
#include <string>

#include "logging/log.h"
#include "util/lock.h"

Vector gv_dataSourceMapVect = {nullptr, 0, nullptr, nullptr};

namespace {

constexpr size_t kLongestToken = 255;

DataSourceMapEntry *EntryOf(const VectorNode *node) {
    return static_cast<DataSourceMapEntry *>(node->element);
}

DataSourceMapEntry *FindEntry(const char *tableName) {
    if (tableName == nullptr) return nullptr;
    ObjectLock lock(&gv_dataSourceMapVect);
    for (VectorNode *node = gv_dataSourceMapVect.head; node != nullptr; node = node->next) {
        DataSourceMapEntry *entry = EntryOf(node);
        if (entry != nullptr && entry->tableName != nullptr &&
            strcasecmp(entry->tableName, tableName) == 0) {
            return entry;
        }
    }
    return nullptr;
}

// One white-space-separated token of any length; false at the end of the file.
bool ReadToken(FILE *file, std::string *out) {
    out->clear();
    int c;
    while ((c = getc(file)) != EOF &&
           (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f')) {
    }
    for (; c != EOF && !(c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f');
         c = getc(file)) {
        *out += char(c);
    }
    return !out->empty();
}

void LoadPairs(FILE *file) {
    std::string table, connection;
    while (ReadToken(file, &table) && ReadToken(file, &connection)) {
        if (table.size() > kLongestToken || connection.size() > kLongestToken) {
            LogError("DataSourceMap token longer than %d characters, entry skipped.\n",
                     int(kLongestToken));
            continue;
        }
        DataSourceMapEntry *entry = CreateDataSourceMapEntry(table.c_str(), connection.c_str());
        if (entry != nullptr && !AddDataSourceMapEntry(entry)) FreeDataSourceMapEntry(entry);
    }
}

}  // namespace

extern "C" {

void InitDataSourceMap(void) {
    LogTrace("@@@ Inside InitDataSourceMap @@@\n");
    FreeAllDataSourceMapEntries();
    InitVector(&gv_dataSourceMapVect, nullptr);
}

DataSourceMapEntry *CreateDataSourceMapEntry(const char *tableName, const char *connectionName) {
    LogTrace("@@@ Inside CreateDataSourceMapEntry @@@\n");
    if (tableName == nullptr || connectionName == nullptr) return nullptr;
    auto *entry = static_cast<DataSourceMapEntry *>(calloc(1, sizeof(DataSourceMapEntry)));
    if (entry == nullptr) return nullptr;
    entry->tableName = strdup(tableName);
    entry->connectionName = strdup(connectionName);
    if (entry->tableName == nullptr || entry->connectionName == nullptr) {
        FreeDataSourceMapEntry(entry);
        return nullptr;
    }
    return entry;
}

int AddDataSourceMapEntry(DataSourceMapEntry *entry) {
    LogTrace("@@@ Inside AddDataSourceMapEntry @@@\n");
    if (entry == nullptr) return 0;
    return AddElementData(&gv_dataSourceMapVect, entry) == 1 ? 1 : 0;
}

int DeleteDataSourceMapEntry(const char *tableName) {
    LogTrace("@@@ Inside DeleteDataSourceMapEntry @@@\n");
    DataSourceMapEntry *entry = FindEntry(tableName);
    // Only the caller that takes the entry out of the map frees it.
    if (entry == nullptr || DeleteLCDVector(&gv_dataSourceMapVect, entry) != 1) return 0;
    FreeDataSourceMapEntry(entry);
    return 1;
}

DataSourceMapEntry *GetDataSourceMapEntry(const char *tableName) {
    LogTrace("@@@ Inside GetDataSourceMapEntry @@@\n");
    return FindEntry(tableName);
}

void FreeDataSourceMapEntry(DataSourceMapEntry *entry) {
    if (entry == nullptr) return;
    free(entry->tableName);
    free(entry->connectionName);
    free(entry);
}

void FreeAllDataSourceMapEntries(void) {
    LogTrace("@@@ Inside FreeAllDataSourceMapEntries @@@\n");
    for (VectorNode *node = gv_dataSourceMapVect.head; node != nullptr; node = node->next) {
        FreeDataSourceMapEntry(EntryOf(node));
        node->element = nullptr;
    }
    FreeVector(&gv_dataSourceMapVect);
}

int LoadDataSourceMapEntryFromFile(const char *path) {
    LogTrace("@@@ Inside LoadDataSourceMapEntryFromFile @@@\n");
    FILE *file = path ? fopen(path, "r") : nullptr;
    try {
        if (file == nullptr && gv_rootPath != nullptr) {
            std::string fallback = std::string(gv_rootPath) + "/data/dsn_table_map.txt";
            LogDebug("Opening %s\n", fallback.c_str());
            file = fopen(fallback.c_str(), "r");
        }
        if (file == nullptr) {
            LogError("Cannot open DataSourceMap Entry File.\n");
            return 0;
        }
        LoadPairs(file);
    } catch (const std::bad_alloc &) {
        LogError("Unable to allocate memory\n");
        if (file == nullptr) return 0;
    }
    fclose(file);
    return 1;
}

}  // extern "C"
