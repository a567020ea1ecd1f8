// The data source map reader on arbitrary file contents: no input may crash, overrun or leak.
// Every pair read is looked up by its table name (ignoring case), then the map is emptied.
#include <stddef.h>
#include <stdint.h>

#include "db/conn_params.h"
#include "db/data_source_map.h"
#include "fuzz/fuzz_support.h"

namespace {

struct Setup {
    kvfuzz::TempFolder folder;
    Setup() {
        kvfuzz::QuietLog();
        InitDataSourceMap();
    }
};

void UseEntries() {
    for (VectorNode *node = gv_dataSourceMapVect.head; node != nullptr; node = node->next) {
        const DataSourceMapEntry *entry = static_cast<const DataSourceMapEntry *>(node->element);
        GetDataSourceMapEntry(entry->tableName);
        GetConnectionNameForTable(entry->tableName);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static Setup setup;
    LoadDataSourceMapEntryFromFile(setup.folder.Write("dsn_table_map.txt", data, size).c_str());
    UseEntries();
    FreeAllDataSourceMapEntries();
    return 0;
}
