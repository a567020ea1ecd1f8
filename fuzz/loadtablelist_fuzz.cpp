// The start-up table list on arbitrary file contents: no input may crash, overrun or leak.
// No connection is open, so every listed table's statement fails at once: what runs is the
// reading of the lines and, for a line with a select text, the empty table it creates.
// Tables created are unloaded after each input.
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>

#include "fuzz/fuzz_support.h"
#include "persist/table_load.h"
#include "store/change_notify.h"
#include "store/column_defn.h"
#include "store/dictionary_loader.h"
#include "store/table_data.h"

namespace {

struct Setup {
    kvfuzz::TempFolder folder;

    Setup() {
        kvfuzz::QuietLog();
        InitTableDefnList();
        InitTableDataList();
        InitNotification();
        kvfuzz::LoadExampleDictionary("loadtablelist_fuzz", {"system.xml", "inventory.xml"});
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static Setup setup;
    LoadTablesFromList(setup.folder.Write("loadtablelist.txt", data, size).c_str());
    UnLoadAllTable();
    return 0;
}
