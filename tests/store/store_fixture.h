// A loaded store for the table tests: the fixture dictionary (or one written by the test),
// empty table and listener lists, and a sequence generator whose "database" is a map in
// memory. Everything is released after each test, so leak checks see only the test's own
// faults.
#ifndef KV_TESTS_STORE_STORE_FIXTURE_H
#define KV_TESTS_STORE_STORE_FIXTURE_H

#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "store/change_notify.h"
#include "store/column_defn.h"
#include "store/dictionary_loader.h"
#include "store/result_data.h"
#include "store/row_object.h"
#include "store/sequence_generator.h"
#include "store/table_data.h"
#include "tests/support/test_support.h"

namespace kvtest {

const std::string kFixtureData = KV_SOURCE_DIR "/tests/fixtures/data";

// The batch ends of the stand-in database, per sequence; failures on request.
struct FakeSequenceStore {
    static std::map<std::string, int> &Ends() {
        static std::map<std::string, int> ends;
        return ends;
    }
    static int &Failures() {  // reservations still to fail
        static int failures = 0;
        return failures;
    }
    static int &Calls() {
        static int calls = 0;
        return calls;
    }
    static int Reserve(const char *, const char *sequence, int batchSize, int *batchEnd) {
        ++Calls();
        if (Failures() > 0) {
            --Failures();
            return 0;
        }
        int &end = Ends()[sequence];
        end += batchSize;
        *batchEnd = end;
        return 1;
    }
    static void Reset() {
        Ends().clear();
        Failures() = 0;
        Calls() = 0;
    }
};

class StoreTest : public ::testing::Test {
  protected:
    void SetUp() override {
        InitTableDefnList();
        InitTableDataList();
        InitNotification();
        FakeSequenceStore::Reset();
        SetSeqGenReserveFn(&FakeSequenceStore::Reserve);
        ASSERT_EQ(1, InitSeqGenTable());
    }
    void TearDown() override {
        Vector *tables = GetTableDataList();
        for (VectorNode *node = tables->head; node != nullptr; node = node->next) {
            FreeTableData(static_cast<TableData *>(node->element));
            free(node->element);
        }
        FreeVector(tables);
        InitTableDataList();
        DeInitNotification();
        FreeSeqGenTable();
        SetSeqGenReserveFn(nullptr);
        FreeAllTableDefns();
    }

    void LoadFixtureDictionary() { ASSERT_EQ(1, LoadDataDictFiles(kFixtureData.c_str())); }

    // Loads a dictionary given as the tables inside <data-dictionary>.
    void LoadDictionary(const std::string &tables) {
        std::string path = tmp_ / "dict.xml";
        WriteFile(path,
                  "<?xml version=\"1.0\"?>\n<data-dictionary>" + tables + "</data-dictionary>\n");
        ASSERT_EQ(1, LoadDataDictFromXMLFile(path.c_str()));
    }

    // A new row for table: the named columns converted from text, the others NULL.
    static RowObject *MakeRow(const char *table, const std::map<std::string, const char *> &texts,
                              unsigned char state = ROW_STATE_NEW) {
        TableDefn *defn = GetTableDefn(table);
        EXPECT_NE(nullptr, defn) << table;
        if (defn == nullptr) return nullptr;
        size_t count = size_t(defn->columns->count);
        void **values = static_cast<void **>(calloc(count, sizeof(void *)));
        int *lengths = static_cast<int *>(calloc(count, sizeof(int)));
        size_t i = 0;
        for (VectorNode *node = defn->columns->head; node != nullptr; node = node->next, ++i) {
            const ColumnDefn *column = static_cast<const ColumnDefn *>(node->element);
            auto found = texts.find(column->name);
            if (found == texts.end() || found->second == nullptr) continue;
            lengths[i] = int(strlen(found->second));
            values[i] = ConvertStringToColumnValue(found->second, &lengths[i], column->dataType);
            EXPECT_NE(nullptr, values[i]) << column->name << " = " << found->second;
        }
        RowObject *row = CreateNewRowObject(values, lengths);
        row->state = state;
        return row;
    }

    static int ColumnIndex(const char *table, const char *column) {
        TableDefn *defn = GetTableDefn(table);
        int i = 0;
        for (VectorNode *node = defn->columns->head; node != nullptr; node = node->next, ++i) {
            if (strcmp(static_cast<ColumnDefn *>(node->element)->name, column) == 0) return i;
        }
        ADD_FAILURE() << "no column " << column;
        return 0;
    }

    // The value of a row's column as text ("NULL" for none).
    static std::string Value(const char *table, const RowObject *row, const char *column) {
        int i = ColumnIndex(table, column);
        char *text = ConvertColumnValueToString(row->values[i], row->lengths[i],
                                                GetColumnDataType(table, column));
        std::string out = text != nullptr ? text : "<none>";
        free(text);
        return out;
    }

    static std::vector<RowObject *> Rows(const char *table) {
        std::vector<RowObject *> rows;
        TableData *data = GetTableDataByName(table);
        if (data == nullptr) return rows;
        for (RowObject *row = data->firstRow; row != nullptr; row = row->next) rows.push_back(row);
        return rows;
    }

    // A column's values over a result, in result order.
    static std::vector<std::string> Column(const char *table, ResultData *result,
                                           const char *column) {
        std::vector<std::string> out;
        ResetResultDataCursor(result);
        for (RowObject *row = GotoNextRowObject(result); row != nullptr;
             row = GotoNextRowObject(result)) {
            out.push_back(Value(table, row, column));
        }
        return out;
    }

    TempDir tmp_;
};

}  // namespace kvtest

#endif  // KV_TESTS_STORE_STORE_FIXTURE_H
