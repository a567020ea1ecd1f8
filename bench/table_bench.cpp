// In-memory tables against SQLite's in-memory database holding the same rows of (id int,
// age int, name text): adding rows; SelectRows of "age >= 18 and name = 'n7'" against the same
// SELECT stepped to its end; SortResultSet of every row by age against the same rows read
// "order by age"; loading a table-data XML file against libxml2 parsing it alone. Adding,
// selecting and loading run at 10,000, 100,000 and 1,000,000 rows, so the figures show how each
// grows. Building the rows' values counts on both sides of adding; setting up and tearing down
// does not. The big runs have fixed iteration counts: a 1,000,000-row run is slow enough to
// measure once or twice, and repeating it dozens of times would only make the run long.
#include <benchmark/benchmark.h>
#include <libxml/parser.h>
#include <malloc.h>
#include <sqlite3.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <map>
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
constexpr const char *kSorted = "select id, age, name from people order by age";
constexpr int kSortRows = 100000;

int Age(int i) {
    return (i * 7) % 100;
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

// Every run starts from the same heap: what a run freed goes back to the system, so a later
// run neither reuses a heap warmed by the one before nor picks its way through its free lists.
void ReturnFreedMemory() {
#ifdef __GLIBC__
    malloc_trim(0);
#endif
}

void StopStore() {
    Vector *tables = GetTableDataList();
    for (VectorNode *node = tables->head; node != nullptr; node = node->next) {
        FreeTableData(static_cast<TableData *>(node->element));
        free(node->element);
    }
    FreeVector(tables);
    ReturnFreedMemory();
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

// Steps a query to its end; the number of rows.
int StepAll(sqlite3 *db, const char *sql) {
    sqlite3_stmt *select = nullptr;
    sqlite3_prepare_v2(db, sql, -1, &select, nullptr);
    int rows = 0;
    while (sqlite3_step(select) == SQLITE_ROW) ++rows;
    sqlite3_finalize(select);
    return rows;
}

// Iterations for a run over rows: enough to see noise at the small sizes, few at the largest.
int64_t IterationsFor(int64_t rows) {
    return rows >= 1000000 ? 1 : rows >= 100000 ? 10 : 50;
}

// Registers one benchmark per size with its fixed iteration count.
void RegisterSized(const char *name, void (*run)(benchmark::State &)) {
    for (int64_t rows : {10000, 100000, 1000000}) {
        benchmark::RegisterBenchmark(name, run)
            ->Arg(rows)
            ->Iterations(IterationsFor(rows))
            ->Unit(benchmark::kMillisecond);
    }
}

// ---- adding rows ----

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

void BM_SqliteInsert(benchmark::State &state) {
    const int count = int(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        sqlite3 *db = OpenSqlite();
        state.ResumeTiming();
        InsertPeople(db, count);
        state.PauseTiming();
        sqlite3_close(db);
        ReturnFreedMemory();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * count);
}

// ---- selecting ----

void BM_SelectRows(benchmark::State &state) {
    const int count = int(state.range(0));
    StartStore();
    CreateTable(kTable);
    AddPeople(count);
    int matched = 0;
    for (auto _ : state) {
        ResultData *result = SelectRows(kTable, kCriteria);
        matched = result->rowCount;
        FreeResultData(result);
    }
    state.counters["matched"] = matched;
    state.SetItemsProcessed(state.iterations() * count);
    StopStore();
}

void BM_SqliteSelect(benchmark::State &state) {
    const int count = int(state.range(0));
    sqlite3 *db = OpenSqlite();
    InsertPeople(db, count);
    int matched = 0;
    for (auto _ : state) matched = StepAll(db, kSelect);
    state.counters["matched"] = matched;
    state.SetItemsProcessed(state.iterations() * count);
    sqlite3_close(db);
}

// ---- sorting ----

// Every row selected, then sorted by age (many equal keys, as real sort columns have).
void BM_SortResultSet(benchmark::State &state) {
    StartStore();
    CreateTable(kTable);
    AddPeople(kSortRows);
    for (auto _ : state) {
        ResultData *result = SelectRows(kTable, nullptr);
        if (!SortResultSet(result, "age", 1)) state.SkipWithError("sort failed");
        FreeResultData(result);
    }
    state.SetItemsProcessed(state.iterations() * kSortRows);
    StopStore();
}
BENCHMARK(BM_SortResultSet)->Unit(benchmark::kMillisecond);

void BM_SqliteOrderBy(benchmark::State &state) {
    sqlite3 *db = OpenSqlite();
    InsertPeople(db, kSortRows);
    for (auto _ : state) benchmark::DoNotOptimize(StepAll(db, kSorted));
    state.SetItemsProcessed(state.iterations() * kSortRows);
    sqlite3_close(db);
}
BENCHMARK(BM_SqliteOrderBy)->Unit(benchmark::kMillisecond);

// ---- loading table data from XML ----

// A table-data file of count rows, written once per size and removed at exit.
const std::string &XmlFile(int count) {
    static std::map<int, std::string> paths;
    std::string &path = paths[count];
    if (path.empty()) {
        path = "/tmp/kv_table_bench_" + std::to_string(getpid()) + "_" + std::to_string(count) +
               ".xml";
        FILE *file = fopen(path.c_str(), "w");
        fprintf(file, "<?xml version=\"1.0\"?>\n<Data>\n");
        for (int i = 0; i < count; ++i) {
            fprintf(file, "  <people id=\"%d\" age=\"%d\" name=\"n%d\"/>\n", i, Age(i), i % 10);
        }
        fprintf(file, "</Data>\n");
        fclose(file);
        if (paths.size() == 1) {
            atexit([] {
                for (const auto &entry : paths) unlink(entry.second.c_str());
            });
        }
    }
    return path;
}

void BM_LoadTableXml(benchmark::State &state) {
    const int count = int(state.range(0));
    const std::string &path = XmlFile(count);
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
    state.SetItemsProcessed(state.iterations() * count);
}

void BM_ParseXmlAlone(benchmark::State &state) {
    const int count = int(state.range(0));
    const std::string &path = XmlFile(count);
    for (auto _ : state) {
        xmlFreeDoc(xmlParseFile(path.c_str()));
        state.PauseTiming();
        ReturnFreedMemory();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * count);
}

}  // namespace

int main(int argc, char **argv) {
    RegisterSized("BM_AddNewRow", BM_AddNewRow);
    RegisterSized("BM_SqliteInsert", BM_SqliteInsert);
    RegisterSized("BM_SelectRows", BM_SelectRows);
    RegisterSized("BM_SqliteSelect", BM_SqliteSelect);
    RegisterSized("BM_LoadTableXml", BM_LoadTableXml);
    RegisterSized("BM_ParseXmlAlone", BM_ParseXmlAlone);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
