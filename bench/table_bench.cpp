// In-memory tables against SQLite's in-memory database holding the same rows of (id int,
// age int, name text): (a) adding rows, 100,000 and 1,000,000 (the pair shows how adding
// grows); (b) SelectRows of "age >= 18 and name = 'n7'" against the same SELECT stepped to
// its end; (c) loading a 100,000-row table-data XML file against libxml2 parsing it alone.
// Building the rows' values counts in both (a) sides; setting up and tearing down does not.
#include <benchmark/benchmark.h>
#include <libxml/parser.h>
#include <sqlite3.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>

#include "store/change_notify.h"
#include "store/column_defn.h"
#include "store/result_data.h"
#include "store/sequence_generator.h"
#include "store/table_data.h"
#include "store/table_xml.h"

namespace {

constexpr const char *kTable = "people";
constexpr const char *kCriteria = "age >= 18 and name = 'n7'";
constexpr const char *kSelect = "select id, age, name from people where age >= 18 and name = 'n7'";
constexpr int kSelectRows = 1000000;
constexpr int kXmlRows = 100000;

int Age(int i) {
    return (i * 7) % 100;
}

std::string Name(int i) {
    char name[16];
    snprintf(name, sizeof name, "n%d", i % 10);
    return name;
}

// The store with one table definition, (id int, age int, name varchar), and no rows.
void StartStore() {
    static bool defined = false;
    if (!defined) {
        Vector *columns = NewVector();
        AddElementData(columns, CreateColumnDefn("id", VEL_SQL_INT, nullptr, 0, 0, nullptr, nullptr,
                                                 0, 1, nullptr));
        AddElementData(columns, CreateColumnDefn("age", VEL_SQL_INT, nullptr, 0, 0, nullptr,
                                                 nullptr, 0, 1, nullptr));
        AddElementData(columns, CreateColumnDefn("name", VEL_SQL_VARCHAR, nullptr, 0, 0, nullptr,
                                                 nullptr, 64, 1, nullptr));
        AddTableDefn(CreateTableDefn(kTable, nullptr, columns, CreateTableConstraints()));
        InitNotification();
        InitSeqGenTable();
        defined = true;
    }
    InitTableDataList();
}

void StopStore() {
    Vector *tables = GetTableDataList();
    for (VectorNode *node = tables->head; node != nullptr; node = node->next) {
        FreeTableData(static_cast<TableData *>(node->element));
        free(node->element);
    }
    FreeVector(tables);
}

void *IntValue(int value) {
    int *stored = static_cast<int *>(malloc(sizeof(int)));
    *stored = value;
    return stored;
}

void AddPeople(int count) {
    char name[16];
    for (int i = 0; i < count; ++i) {
        void **values = static_cast<void **>(malloc(3 * sizeof(void *)));
        int *lengths = static_cast<int *>(malloc(3 * sizeof(int)));
        values[0] = IntValue(i);
        values[1] = IntValue(Age(i));
        int length = snprintf(name, sizeof name, "n%d", i % 10);
        values[2] = malloc(size_t(length) + 1);
        memcpy(values[2], name, size_t(length) + 1);
        lengths[0] = lengths[1] = 4;
        lengths[2] = length;
        AddNewRow(kTable, CreateNewRowObject(values, lengths));
    }
}

sqlite3 *OpenSqlite() {
    sqlite3 *db = nullptr;
    sqlite3_open(":memory:", &db);
    sqlite3_exec(db, "create table people (id int, age int, name text)", nullptr, nullptr, nullptr);
    return db;
}

void InsertPeople(sqlite3 *db, int count) {
    sqlite3_stmt *insert = nullptr;
    sqlite3_exec(db, "begin", nullptr, nullptr, nullptr);
    sqlite3_prepare_v2(db, "insert into people values (?, ?, ?)", -1, &insert, nullptr);
    char name[16];
    for (int i = 0; i < count; ++i) {
        int length = snprintf(name, sizeof name, "n%d", i % 10);
        sqlite3_bind_int(insert, 1, i);
        sqlite3_bind_int(insert, 2, Age(i));
        sqlite3_bind_text(insert, 3, name, length, SQLITE_TRANSIENT);
        sqlite3_step(insert);
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    sqlite3_exec(db, "commit", nullptr, nullptr, nullptr);
}

// ---- (a) adding rows ----

void BM_AddNewRow(benchmark::State &state) {
    const int count = int(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        StartStore();
        CreateTable(kTable);
        state.ResumeTiming();
        AddPeople(count);
        state.PauseTiming();
        StopStore();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_AddNewRow)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

void BM_SqliteInsert(benchmark::State &state) {
    const int count = int(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        sqlite3 *db = OpenSqlite();
        state.ResumeTiming();
        InsertPeople(db, count);
        state.PauseTiming();
        sqlite3_close(db);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_SqliteInsert)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// ---- (b) selecting ----

void BM_SelectRows(benchmark::State &state) {
    StartStore();
    CreateTable(kTable);
    AddPeople(kSelectRows);
    int matched = 0;
    for (auto _ : state) {
        ResultData *result = SelectRows(kTable, kCriteria);
        matched = result->rowCount;
        FreeResultData(result);
    }
    state.counters["matched"] = matched;
    state.SetItemsProcessed(state.iterations() * kSelectRows);
    StopStore();
}
BENCHMARK(BM_SelectRows)->Unit(benchmark::kMillisecond);

void BM_SqliteSelect(benchmark::State &state) {
    sqlite3 *db = OpenSqlite();
    InsertPeople(db, kSelectRows);
    int matched = 0;
    for (auto _ : state) {
        sqlite3_stmt *select = nullptr;
        sqlite3_prepare_v2(db, kSelect, -1, &select, nullptr);
        matched = 0;
        while (sqlite3_step(select) == SQLITE_ROW) ++matched;
        sqlite3_finalize(select);
    }
    state.counters["matched"] = matched;
    state.SetItemsProcessed(state.iterations() * kSelectRows);
    sqlite3_close(db);
}
BENCHMARK(BM_SqliteSelect)->Unit(benchmark::kMillisecond);

// ---- (c) loading table data from XML ----

const std::string &XmlFile() {
    static std::string path;
    if (path.empty()) {
        path = "/tmp/kv_table_bench_" + std::to_string(getpid()) + ".xml";
        FILE *file = fopen(path.c_str(), "w");
        fprintf(file, "<?xml version=\"1.0\"?>\n<Data>\n");
        for (int i = 0; i < kXmlRows; ++i) {
            fprintf(file, "  <people id=\"%d\" age=\"%d\" name=\"%s\"/>\n", i, Age(i),
                    Name(i).c_str());
        }
        fprintf(file, "</Data>\n");
        fclose(file);
        atexit([] { unlink(XmlFile().c_str()); });
    }
    return path;
}

void BM_LoadTableXml(benchmark::State &state) {
    const std::string &path = XmlFile();
    for (auto _ : state) {
        state.PauseTiming();
        StartStore();
        state.ResumeTiming();
        if (!ConstructTableDataFromXMLFile(path.c_str())) state.SkipWithError("load failed");
        state.PauseTiming();
        const TableData *table = GetTableDataByName(kTable);
        state.counters["rows"] = table != nullptr ? table->rowCount : 0;
        StopStore();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kXmlRows);
}
BENCHMARK(BM_LoadTableXml)->Unit(benchmark::kMillisecond);

void BM_ParseXmlAlone(benchmark::State &state) {
    const std::string &path = XmlFile();
    for (auto _ : state) xmlFreeDoc(xmlParseFile(path.c_str()));
    state.SetItemsProcessed(state.iterations() * kXmlRows);
}
BENCHMARK(BM_ParseXmlAlone)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
