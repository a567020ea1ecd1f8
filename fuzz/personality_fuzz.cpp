// The personality file reader on arbitrary file contents: no input may crash, overrun or
// leak. The example data folder's dictionary is loaded; no connection is open, so an index
// table a file asks for fails at its statement and only the reading runs. The personalities
// read are looked up and printed, then freed before the next input.
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>

#include "dataobject/personality_defn.h"
#include "dataobject/personality_file.h"
#include "fuzz/fuzz_support.h"
#include "store/column_defn.h"
#include "store/dictionary_loader.h"

namespace {

struct Setup {
    kvfuzz::TempFolder folder;

    Setup() {
        kvfuzz::QuietLog();
        InitTableDefnList();
        kvfuzz::LoadExampleDictionary("personality_fuzz", {"system.xml", "inventory.xml"});
    }
};

void UsePersonalities() {
    char **names = GetPersonalityNames();
    for (char **name = names; name != nullptr && **name != '\0'; ++name) {
        GetPersonalityDefn(*name);
        PrintPersonalityDefn(*name);
        FreeNameList(GetConstituentTables(*name));
    }
    FreeNameList(names);
    char **dominant = GetDominantTables();
    for (char **table = dominant; table != nullptr && **table != '\0'; ++table) {
        IsDominantTable(*table);
    }
    FreeNameList(dominant);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static Setup setup;
    InitPersonality();
    CreatePersonalityFromXMLFile(setup.folder.Write("personality.xml", data, size).c_str());
    UsePersonalities();
    FreePersonalityDefns();
    return 0;
}
