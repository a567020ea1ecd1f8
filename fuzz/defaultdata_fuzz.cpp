// The default-data list on arbitrary file contents: no input may crash, overrun or leak. The
// root folder's data folder holds the list and the example folder's two table-data files, so
// a word naming one of them loads its rows (saving them then fails: no table has a
// connection). The rows are unloaded after each input.
//
// The list is trusted configuration that may name any file; inputs holding a folder
// separator are skipped, so that a word never names a device or a file outside the folder
// (a read of /dev/stdin would only stall the run). For the same reason the working folder
// must have no ../data/defaultdata.txt, which the reader would try first.
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "fuzz/fuzz_support.h"
#include "persist/table_load.h"
#include "persist/table_save.h"
#include "store/change_notify.h"
#include "store/column_defn.h"
#include "store/dictionary_loader.h"
#include "store/sequence_generator.h"
#include "store/table_data.h"

namespace {

struct Setup {
    kvfuzz::TempFolder folder;

    Setup() {
        kvfuzz::QuietLog();
        if (access("../data/defaultdata.txt", F_OK) == 0) {
            fprintf(stderr, "defaultdata_fuzz: run it where ../data/defaultdata.txt is absent\n");
            abort();
        }
        InitTableDefnList();
        InitTableDataList();
        InitNotification();
        SetSeqGenReserveFn(&kvfuzz::ReserveInMemory);
        const std::string examples = std::string(KV_SOURCE_DIR) + "/examples/data";
        std::filesystem::create_directory(folder.File("data"));
        for (const char *name : {"inventory-defaults.xml", "storedqueries-defaults.xml"}) {
            std::filesystem::copy_file(examples + "/" + name, folder.File("data/") + name);
        }
        kvfuzz::LoadExampleDictionary("defaultdata_fuzz",
                                      {"system.xml", "inventory.xml", "storedqueries.xml"});
        gv_rootPath = strdup(folder.path().c_str());
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static Setup setup;
    if (memchr(data, '/', size) != nullptr || memchr(data, '\\', size) != nullptr) return 0;
    setup.folder.Write("data/defaultdata.txt", data, size);
    kvfuzz::BatchEnds().clear();
    InitSeqGenTable();
    SequenceGenerator();
    SaveDefaultData();
    UnLoadAllTable();
    FreeSeqGenTable();
    return 0;
}
