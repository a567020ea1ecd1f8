// Text renderings of tables, views and results.
#include "store/row_render.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "store/datetime.h"
#include "tests/store/store_fixture.h"

namespace {

using kvtest::StoreTest;

std::string Take(char *text) {
    std::string out = text != nullptr ? text : "<null>";
    free(text);
    return out;
}

class Renderings : public StoreTest {
  protected:
    void SetUp() override {
        StoreTest::SetUp();
        std::string columns;
        for (const auto &c : kColumns) {
            columns += std::string("<column name=\"") + c.first + "\"><data-type>" + c.second +
                       "</data-type></column>";
        }
        LoadDictionary("<table name=\"r\"><columns>" + columns + "</columns></table>");
        ASSERT_EQ(1, CreateTable("r"));
    }
    static constexpr std::pair<const char *, const char *> kColumns[] = {
        {"i", "VEL_SQL_INT"},
        {"ti", "VEL_SQL_TINYINT"},
        {"ui", "VEL_SQL_UNSIGNED_INT"},
        {"bi", "BIGINT"},
        {"f", "VEL_SQL_FLOAT"},
        {"d", "VEL_SQL_DOUBLE"},
        {"t", "VEL_SQL_TEXT"},
        {"dt", "VEL_SQL_DATE"},
        {"tm", "VEL_SQL_TIME"},
        {"dtm", "VEL_SQL_DATETIME"},
        {"b", "BOOLEAN"},
        {"usi", "VEL_SQL_UNSIGNED_SMALLINT"},
        {"dec", "VEL_SQL_DECIMAL"},
        {"blob", "VEL_SQL_BLOB"},
    };
    static constexpr const char *kHeader =
        "i\tti\tui\tbi\tf\td\tt\tdt\ttm\tdtm\tb\tusi\tdec\tblob\t\n";

    RowObject *AddFull() {
        RowObject *row = MakeRow("r", {{"i", "18"},
                                       {"ti", "-5"},
                                       {"ui", "4000000000"},
                                       {"bi", "5000000000"},
                                       {"f", "1.5"},
                                       {"d", "2.25"},
                                       {"t", "abc"},
                                       {"dt", "2024-01-05"},
                                       {"tm", "10:20:30"},
                                       {"dtm", "2024-01-05 10:20:30"},
                                       {"b", "true"},
                                       {"usi", "5"},
                                       {"dec", "7"},
                                       {"blob", "xx"}});
        EXPECT_EQ(1, AddNewRow("r", row));
        return row;
    }
};

constexpr const char *kFullLine =
    "18\t-5\t4000000000\t5000000000\t1.500000\t2.250000\tabc\t2024-01-05\t10:20:30\t"
    "2024-01-05 10:20:30\t1\t\n";
constexpr const char *kNullLine =
    "NULL\tNULL\tNULL\tNULL\tNULL\tNULL\tNULL\tNULL\tNULL\tNULL\tNULL\t\n";

TEST_F(Renderings, ValuesRenderByType) {
    AddFull();
    ASSERT_EQ(1, AddNewRow("r", MakeRow("r", {})));
    EXPECT_EQ(std::string(kHeader) + kFullLine + kNullLine, Take(ToStringTableData("R")));
    EXPECT_EQ(nullptr, ToStringTableData("no_such"));
}

// The stored form picks the text: bare dates and times, and a block lacking a part.
TEST_F(Renderings, DateAndTimeByStoredForm) {
    RowObject *row = MakeRow("r", {});
    VelDate date{2023, 7, 8};
    VelTime time{9, 8, 7};
    row->values[7] = malloc(sizeof date);
    memcpy(row->values[7], &date, sizeof date);
    row->lengths[7] = VEL_DATE_LENGTH;
    row->values[8] = malloc(sizeof time);
    memcpy(row->values[8], &time, sizeof time);
    row->lengths[8] = VEL_TIME_LENGTH;
    row->values[9] = CreateDateTimeColumnValue(nullptr, &time);  // a time-only block
    row->lengths[9] = VEL_DATETIME_LENGTH;
    ASSERT_EQ(1, AddNewRow("r", row));
    EXPECT_EQ(std::string(kHeader) +
                  "NULL\tNULL\tNULL\tNULL\tNULL\tNULL\tNULL\t2023-07-08\t09:08:07\t09:08:07\t"
                  "NULL\t\n",
              Take(ToStringTableData("r")));
}

// Nothing is cut: a rendering far beyond 1024 characters comes back whole.
TEST_F(Renderings, LongTextsGrow) {
    std::string text(5000, 'x');
    RowObject *row = MakeRow("r", {{"t", text.c_str()}});
    ASSERT_EQ(1, AddNewRow("r", row));
    std::string rendering = Take(ToStringTableData("r"));
    EXPECT_NE(std::string::npos, rendering.find("\t" + text + "\t"));
    EXPECT_EQ(strlen(kHeader) + 11 * 5 - 5 + text.size() + 1 + 1, rendering.size());
}

TEST_F(Renderings, PrintResultDataLeavesOutDeletedRows) {
    AddFull();
    RowObject *gone = MakeRow("r", {{"t", "gone"}}, ROW_STATE_STORED);
    ASSERT_EQ(1, AddNewRow("r", gone));
    ASSERT_EQ(1, DeleteRowObject("r", gone));  // stored: marked only
    ResultData *result = SelectRows("r", nullptr);
    {
        kvtest::CapturedLog log(3);
        PrintResultData(result);
        EXPECT_EQ(std::string::npos, log.text().find("gone"));
        EXPECT_NE(std::string::npos, log.text().find("abc"));
    }
    {
        kvtest::CapturedLog log(3);
        PrintTableData("r");
        EXPECT_NE(std::string::npos, log.text().find("gone"));
    }
    {
        kvtest::CapturedLog log(2);  // debug lines need level 3
        PrintTableData("r");
        EXPECT_EQ(std::string::npos, log.text().find("abc"));
    }
    FreeResultData(result);
}

TEST_F(Renderings, ViewsRenderByTheirBaseColumns) {
    Vector *columns = NewVector();
    AddElementData(columns, CreateViewColumnDefn(const_cast<char *>("when"), 0, 0,
                                                 GetColumnDefnEntry("r", "dtm")));
    AddElementData(columns, CreateViewColumnDefn(const_cast<char *>("count"), 0, 0,
                                                 GetColumnDefnEntry("r", "i")));
    char **bases = static_cast<char **>(calloc(1, sizeof(char *)));
    bases[0] = strdup("r");
    ASSERT_EQ(1, CreateCustomViewData("v", CreateCustomViewDefn(1, bases, columns)));
    void **values = static_cast<void **>(calloc(2, sizeof(void *)));
    int *lengths = static_cast<int *>(calloc(2, sizeof(int)));
    values[0] = ConvertStringToColumnValue("2024-02-03 04:05:06", &lengths[0], VEL_SQL_DATETIME);
    ASSERT_EQ(1, AddNewRow("v", CreateNewRowObject(values, lengths)));
    const std::string expected = "when\tcount\t\n2024-02-03 04:05:06\tNULL\t\n";
    EXPECT_EQ(expected, Take(ToStringCustomViewData("v")));
    EXPECT_EQ(expected, Take(ToStringTableData("v")));
    kvtest::CapturedLog log(4);
    char *text = ToStringCustomViewData("v");
    free(text);
    EXPECT_NE(std::string::npos, log.text().find("String Value of Relvar Data"));
}

}  // namespace
