// ParseCriteria on arbitrary bytes (cut at the first zero byte, as a C string is): no input
// may crash, overrun, leak or end the process. A tree that parses is also bound to a small
// table and evaluated against one row (with a NULL value among its columns), then freed.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "store/column_defn.h"
#include "store/criteria.h"
#include "store/row_object.h"

namespace {

struct Fixture {
    Vector columns{};
    RowObject *row = nullptr;

    Fixture() {
        struct {
            const char *name;
            unsigned char type;
            const char *value;
        } const fields[] = {{"a", VEL_SQL_INT, "18"},         {"b", VEL_SQL_VARCHAR, "abc"},
                            {"c", VEL_SQL_FLOAT, "1.5"},      {"d", VEL_SQL_TINYINT, "-5"},
                            {"e", VEL_SQL_UNSIGNED_INT, "7"}, {"f", VEL_SQL_BIGINT, "5000000000"},
                            {"g", VEL_SQL_TEXT, nullptr},     {"h", VEL_SQL_INT, nullptr},
                            {"i", VEL_SQL_DATE, "2024-01-05"}};
        const int count = int(sizeof fields / sizeof fields[0]);
        InitVector(&columns, nullptr);
        void **values = static_cast<void **>(calloc(count, sizeof(void *)));
        int *lengths = static_cast<int *>(calloc(count, sizeof(int)));
        for (int i = 0; i < count; ++i) {
            AddElementData(&columns, CreateColumnDefn(fields[i].name, fields[i].type, nullptr, 0, 0,
                                                      nullptr, nullptr, 0, 1, nullptr));
            if (fields[i].value != nullptr) {
                lengths[i] = int(strlen(fields[i].value));
                values[i] =
                    ConvertStringToColumnValue(fields[i].value, &lengths[i], fields[i].type);
            }
        }
        row = CreateNewRowObject(values, lengths);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static Fixture fixture;  // lives for the whole run
    const std::string text(reinterpret_cast<const char *>(data), size);
    CriteriaNode *tree = ParseCriteria(text.c_str());
    if (tree != nullptr) {
        ResolveCriteriaColumns(&fixture.columns, tree);
        EvaluateCriteria(fixture.row, tree);
        FreeCriteriaTree(tree);
    }
    return 0;
}
