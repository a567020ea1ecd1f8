// The library's start-up and shutdown; see tamber_init.h for the contract.
#include "persist/tamber_init.h"

#include <new>
#include <string>

#include "db/conn_params.h"
#include "db/connection_pool.h"
#include "db/data_source_map.h"
#include "db/providers.h"
#include "db/sequence_store.h"
#include "db/statements.h"
#include "logging/log.h"
#include "persist/data_folder.h"
#include "persist/table_load.h"
#include "persist/table_save.h"
#include "platform/files.h"
#include "store/column_defn.h"
#include "store/dictionary_loader.h"
#include "store/sequence_generator.h"
#include "util/lock.h"
#include "util/mempool.h"
#include "util/strings.h"

namespace {

const char *gv_initFailure = nullptr;

// Layers above persist/ release their registries through these, so the library keeps its
// place below them and still leaves nothing behind when it stops.
TamberShutdownHook gv_shutdownHooks[TAMBER_SHUTDOWN_HOOKS] = {};
int gv_shutdownHookCount = 0;

void RunShutdownHooks() {
    while (gv_shutdownHookCount > 0) {
        TamberShutdownHook hook = gv_shutdownHooks[--gv_shutdownHookCount];
        gv_shutdownHooks[gv_shutdownHookCount] = nullptr;
        hook();
    }
}

int Fail(const char *step, const char *message) {
    if (message != nullptr) LogError("%s", message);
    gv_initFailure = step;
    return 0;
}

// The first-try path of a data file, in the form the platform opens.
std::string RelativeDataPath(const char *fileName) {
    return PlatNativePath((std::string(DATA_FOLDER_RELATIVE) + fileName).c_str());
}

// The dialect index of the first connection entry's dialect, or -1 for another name.
int FirstEntryDialect() {
    if (gv_dataSourceVect.head == nullptr) return -1;
    const auto *entry = static_cast<const ConnParamsEntry *>(gv_dataSourceVect.head->element);
    for (int i = 0; i < 4; ++i) {
        if (entry->dialect != nullptr &&
            StrCompareNoCase(entry->dialect, gv_dialectNames[i]) == 0) {
            return i;
        }
    }
    return -1;
}

int Start(const char *root) {
    SetTamberRoot(root);
    if (!InitLogSettings() || !OpenLogAppend()) return Fail("OpenLogAppend", nullptr);
    LogTrace("@@@ Inside InitTamber @@@\n");
    if (!InitializeMemPool()) return Fail("InitializeMemPool", "InitializeMemPool failed.\n");
    if (!InitDBProvider()) LogError("InitDBProvider failed. Already initialized.\n");
    InitTableDefnList();
    InitQueryGenerators();
    InitSeqGenTable();
    // The sequence generator reserves its batches through the database layer.
    RegisterSequenceStore();
    if (!LoadAllDataDictFiles()) {
        return Fail("LoadAllDataDictFiles", "LoadAllDataDictFiles failed.\n");
    }
    if (!LoadDataSourceMapEntryFromFile(RelativeDataPath("dsn_table_map.txt").c_str())) {
        return Fail("LoadDataSourceMapEntryFromFile", "LoadDataSourceMapEntryFromFile failed.\n");
    }
    if (!LoadConnParamsEntryFromFile(RelativeDataPath("connparams.txt").c_str())) {
        return Fail("LoadConnParamsEntryFromFile", "LoadConnParamsEntryFromFile failed.\n");
    }
    if (gv_dataSourceVect.head == nullptr) {
        return Fail("ConnParamsEntry", "No entires in data source vector. InitTamber failed.\n");
    }
    // A connection string says how to connect, not what the database speaks: the entry's
    // dialect decides in both cases, or statements in MYSQL would go to any database.
    const int dialect = FirstEntryDialect();
    if (dialect >= 0) SetDSNMapValid(1, static_cast<unsigned char>(dialect));
    if (!EstablishDBConnections()) {
        return Fail("EstablishDBConnections", "EstablishDBConnections failed.\n");
    }
    const bool created = CreateAllTables() != 0;
    if (!SequenceGenerator()) return Fail("SequenceGenerator", "SequenceGenerator failed.\n");
    if (!LoadAllTables()) {
        LogError(
            "Error in loading tables from loadtablelist.txt.  Please check if there are any "
            "entries in your loadtablelist.txt or load the required tables manually.\n");
    }
    if (created && !SaveDefaultData()) {
        return Fail("SaveDefaultData", "Cannot save default data.\n");
    }
    LogDebug(
        "\nWelcome to Tamber.  You have successfully initialised the appropriate parameters, "
        "loaded the mentioned files/tables and established connection with the DB.\n");
    return 1;
}

}  // namespace

extern "C" {

void SetTamberRoot(const char *path) {
    LogTrace("@@@ Inside SetTamberRoot @@@\n");
    if (path == nullptr) {
        LogDebug("Default Path Used");
        return;
    }
    gv_rootPath = const_cast<char *>(path);
}

int InitTamber(const char *root) {
    gv_initFailure = nullptr;
    // The lock works from program start; this only marks the start of its use.
    InitMutex();
    try {
        return Start(root);
    } catch (const std::bad_alloc &) {
        LogError("Unable to allocate memory\n");
        return Fail("InitTamber", nullptr);
    }
}

void DeInitTamber(void) {
    LogTrace("@@@ Inside DeInitTamber @@@\n");
    RunShutdownHooks();
    UnLoadAllTable();
    FreeSeqGenTable();
    CloseAllDBConnections();
    FreeAllConnParamsEntries();
    FreeAllDataSourceMapEntries();
    FreeAllTableDefns();
    FreeQueryGenerators();
    TerminateMemPool();
    CloseLog();
    FreeLogSettings();
}

const char *GetInitTamberFailure(void) {
    return gv_initFailure;
}

int RegisterTamberShutdownHook(TamberShutdownHook hook) {
    if (hook == nullptr) return 0;
    for (int i = 0; i < gv_shutdownHookCount; ++i) {
        if (gv_shutdownHooks[i] == hook) return 1;
    }
    if (gv_shutdownHookCount >= TAMBER_SHUTDOWN_HOOKS) return 0;
    gv_shutdownHooks[gv_shutdownHookCount++] = hook;
    return 1;
}

}  // extern "C"
