// The connection-parameters reader on arbitrary file contents: no input may crash, overrun or
// leak. Nothing connects: the entries are only read, looked up by name and freed again.
#include <stddef.h>
#include <stdint.h>

#include "db/conn_params.h"
#include "fuzz/fuzz_support.h"

namespace {

struct Setup {
    kvfuzz::TempFolder folder;
    Setup() { kvfuzz::QuietLog(); }
};

void UseEntries() {
    GetDefaultConnectionName();
    for (VectorNode *node = gv_dataSourceVect.head; node != nullptr; node = node->next) {
        const ConnParamsEntry *entry = static_cast<const ConnParamsEntry *>(node->element);
        GetConnParamsEntry(entry->connectionName);
        GetProviderNameForConnection(entry->connectionName);
        GetDialectForConnection(entry->connectionName);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static Setup setup;
    LoadConnParamsEntryFromFile(setup.folder.Write("connparams.txt", data, size).c_str());
    UseEntries();
    FreeAllConnParamsEntries();
    return 0;
}
