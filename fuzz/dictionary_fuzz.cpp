// The data dictionary loader on arbitrary file contents: no input may crash, overrun or leak.
// Each input is written to a private temporary file and loaded; whatever tables come out are
// printed, their defaults rendered and their keys looked up, then everything is freed.
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "fuzz/fuzz_support.h"
#include "logging/log.h"
#include "store/column_defn.h"
#include "store/dictionary_loader.h"

namespace {

struct Setup {
    std::string path;

    Setup() {
        std::random_device random;
        path = (std::filesystem::temp_directory_path() /
                ("kv_dictionary_fuzz_" + std::to_string(random()) + ".xml"))
                   .string();
        // Every message is formatted (into nowhere), so the log lines' arguments are used too.
        kvfuzz::QuietLog();
        InitTableDefnList();
    }
    ~Setup() { std::filesystem::remove(path); }
};

void UseDefinitions() {
    PrintAllTableDefns();
    for (VectorNode *t = GetTableDefnList()->head; t != nullptr; t = t->next) {
        const TableDefn *table = static_cast<const TableDefn *>(t->element);
        for (VectorNode *c = table->columns->head; c != nullptr; c = c->next) {
            const ColumnDefn *column = static_cast<const ColumnDefn *>(c->element);
            free(ConvertColumnValueToString(column->defaultValue, column->defaultLength,
                                            column->dataType));
            GetColumnDefnEntry(table->name, column->name);
        }
        if (table->constraints->foreignKeys == nullptr) continue;
        for (VectorNode *k = table->constraints->foreignKeys->head; k != nullptr; k = k->next) {
            GetForeignKeyDefn(table, static_cast<ForeignKeyDefn *>(k->element)->localColumn);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static Setup setup;
    {
        std::ofstream out(setup.path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char *>(data), std::streamsize(size));
    }
    LoadDataDictFromXMLFile(setup.path.c_str());
    UseDefinitions();
    FreeAllTableDefns();
    return 0;
}
