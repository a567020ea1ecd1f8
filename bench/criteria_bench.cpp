// The criteria language: EvaluateCriteria of "age >= 18 and name = 'abc'" per row over a
// table of 1,000 rows (the literal 18 is converted again for each row), and ParseCriteria
// of the same text per call, tree freed.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "store/column_defn.h"
#include "store/criteria.h"
#include "store/row_object.h"

namespace {

constexpr const char *kCriteria = "age >= 18 and name = 'abc'";
constexpr int kRows = 1000;

void *Stored(const char *text, unsigned char type, int *length) {
    *length = int(strlen(text));
    return ConvertStringToColumnValue(text, length, type);
}

void BM_EvaluateCriteriaPerRow(benchmark::State &state) {
    Vector columns{};
    InitVector(&columns, nullptr);
    AddElementData(&columns, CreateColumnDefn("age", VEL_SQL_INT, nullptr, 0, 0, nullptr, nullptr,
                                              0, 1, nullptr));
    AddElementData(&columns, CreateColumnDefn("name", VEL_SQL_VARCHAR, nullptr, 0, 0, nullptr,
                                              nullptr, 0, 1, nullptr));
    // Ages 0 to 99 and one name in four matching: both comparisons decide some rows.
    const char *const names[] = {"abc", "abd", "ABC", "a much longer name"};
    std::vector<RowObject *> rows;
    for (int i = 0; i < kRows; ++i) {
        void **values = static_cast<void **>(calloc(2, sizeof(void *)));
        int *lengths = static_cast<int *>(calloc(2, sizeof(int)));
        values[0] = Stored(std::to_string(i % 100).c_str(), VEL_SQL_INT, &lengths[0]);
        values[1] = Stored(names[i % 4], VEL_SQL_VARCHAR, &lengths[1]);
        rows.push_back(CreateNewRowObject(values, lengths));
    }
    CriteriaNode *tree = ParseCriteria(kCriteria);
    ResolveCriteriaColumns(&columns, tree);

    int matched = 0;
    for (auto _ : state) {
        for (const RowObject *row : rows) matched += EvaluateCriteria(row, tree);
    }
    benchmark::DoNotOptimize(matched);
    state.SetItemsProcessed(state.iterations() * kRows);

    FreeCriteriaTree(tree);
    for (RowObject *row : rows) FreeRowObject(row, 2);
    for (VectorNode *node = columns.head; node != nullptr; node = node->next) {
        FreeColumnDefn(static_cast<ColumnDefn *>(node->element));
    }
    FreeVector(&columns);
}
BENCHMARK(BM_EvaluateCriteriaPerRow);

void BM_ParseCriteria(benchmark::State &state) {
    for (auto _ : state) {
        CriteriaNode *tree = ParseCriteria(kCriteria);
        benchmark::DoNotOptimize(tree);
        FreeCriteriaTree(tree);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ParseCriteria);

}  // namespace

BENCHMARK_MAIN();
