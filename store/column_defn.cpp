// Column definitions, their type words and permitted values; see column_defn.h.
#include "store/column_defn.h"

#include <stdlib.h>
#include <string.h>

#include "logging/log.h"
#include "util/strings.h"

namespace {

struct TypeWord {
    const char *word;
    unsigned char code;
};

// In table order: the first match wins. VEL_SQL_BIGINT, VEL_SQL_VARCHAR and VEL_SQL_BOOLEAN
// are deliberately absent; a dictionary names those codes BIGINT, CHAR/NCHAR and BOOLEAN.
constexpr TypeWord kTypeWords[] = {
    {"VEL_SQL_NOT_SUPPORTED_TYPE", VEL_SQL_NOT_SUPPORTED_TYPE},
    {"VEL_SQL_TINYINT", VEL_SQL_TINYINT},
    {"VEL_SQL_UNSIGNED_TINYINT", VEL_SQL_UNSIGNED_TINYINT},
    {"VEL_SQL_SMALLINT", VEL_SQL_SMALLINT},
    {"VEL_SQL_UNSIGNED_SMALLINT", VEL_SQL_UNSIGNED_SMALLINT},
    {"VEL_SQL_INT", VEL_SQL_INT},
    {"INTEGER", VEL_SQL_INT},
    {"LONG", VEL_SQL_INT},
    {"VEL_SQL_UNSIGNED_INT", VEL_SQL_UNSIGNED_INT},
    {"BIGINT", VEL_SQL_BIGINT},
    {"VEL_SQL_UNSIGNED_LONG_INT", VEL_SQL_UNSIGNED_LONG_INT},
    {"VEL_SQL_FLOAT", VEL_SQL_FLOAT},
    {"FLOAT", VEL_SQL_FLOAT},
    {"VEL_SQL_DOUBLE", VEL_SQL_DOUBLE},
    {"VEL_SQL_REAL", VEL_SQL_REAL},
    {"VEL_SQL_DECIMAL", VEL_SQL_DECIMAL},
    {"VEL_SQL_NUMERIC", VEL_SQL_NUMERIC},
    {"VEL_SQL_CHAR", VEL_SQL_CHAR},
    {"CHAR", VEL_SQL_VARCHAR},
    {"NCHAR", VEL_SQL_VARCHAR},
    {"VEL_SQL_DATE", VEL_SQL_DATE},
    {"DATE", VEL_SQL_DATE},
    {"VEL_SQL_TIME", VEL_SQL_TIME},
    {"TIME", VEL_SQL_TIME},
    {"VEL_SQL_DATETIME", VEL_SQL_DATETIME},
    {"DATETIME", VEL_SQL_DATETIME},
    {"TIMESTAMP", VEL_SQL_DATETIME},
    {"BOOLEAN", VEL_SQL_BOOLEAN},
    {"VEL_SQL_BLOB", VEL_SQL_BLOB},
    {"BLOB", VEL_SQL_BLOB},
    {"VEL_SQL_CLOB", VEL_SQL_CLOB},
    {"CLOB", VEL_SQL_CLOB},
    {"VEL_SQL_TEXT", VEL_SQL_TEXT},
    {"TEXT", VEL_SQL_TEXT},
};

// Character columns too wide for a character type are held as text.
constexpr int kTextPromotionSize = 256;

// Copies text into *out; a null text leaves *out null and counts as done.
bool CopyOptional(char **out, const char *text) {
    *out = nullptr;
    return text == nullptr || AllocCopyString(out, text) == 1;
}

}  // namespace

extern "C" {

unsigned char GetDataTypeFromString(const char *word) {
    if (word == nullptr) {
        LogError("Column data type not supported - Error while creating column definition.\n");
        return VEL_SQL_NOT_SUPPORTED_TYPE;
    }
    for (const TypeWord &entry : kTypeWords) {
        if (StrCompareNoCase(word, entry.word) == 0) return entry.code;
    }
    return VEL_SQL_NOT_SUPPORTED_TYPE;
}

AllowedValues *CreateAllowedValues(const char *const *values, int count, unsigned char isRange) {
    if (count < 0 || (count > 0 && values == nullptr) || (isRange && count != 2)) return nullptr;
    AllowedValues *allowed = static_cast<AllowedValues *>(calloc(1, sizeof(AllowedValues)));
    if (allowed == nullptr) return nullptr;
    allowed->isRange = isRange ? 1 : 0;
    // A list ends with a null entry; a range holds exactly its two bounds.
    size_t slots = size_t(count) + (isRange ? 0 : 1);
    allowed->values = static_cast<char **>(calloc(slots, sizeof(char *)));
    if (allowed->values == nullptr) {
        free(allowed);
        return nullptr;
    }
    for (int i = 0; i < count; ++i) {
        // An absent permitted value is the empty text, so a list is never cut short by it.
        if (AllocCopyString(&allowed->values[i], values[i] != nullptr ? values[i] : "") != 1) {
            FreeAllowedValues(allowed);
            return nullptr;
        }
    }
    return allowed;
}

void FreeAllowedValues(AllowedValues *allowed) {
    if (allowed == nullptr) return;
    if (allowed->values != nullptr) {
        if (allowed->isRange) {
            free(allowed->values[0]);
            free(allowed->values[1]);
        } else {
            for (char **value = allowed->values; *value != nullptr; ++value) free(*value);
        }
    }
    free(allowed->values);
    free(allowed);
}

ColumnDefn *CreateColumnDefn(const char *name, unsigned char dataType, const char *defaultText,
                             int defaultLength, unsigned char unique, const char *generatorName,
                             const char *description, int maxSize, unsigned char nullable,
                             AllowedValues *allowedValues) {
    if (name == nullptr) return nullptr;
    ColumnDefn *column = static_cast<ColumnDefn *>(calloc(1, sizeof(ColumnDefn)));
    if (column == nullptr) return nullptr;
    if (AllocCopyString(&column->name, name) != 1) {
        free(column);
        return nullptr;
    }
    if ((dataType == VEL_SQL_CHAR || dataType == VEL_SQL_VARCHAR) &&
        maxSize >= kTextPromotionSize) {
        dataType = VEL_SQL_TEXT;
    }
    column->dataType = dataType;
    if (defaultText != nullptr) {
        // The default is text: never copy past its end, whatever length the caller gave.
        int length = defaultLength < 0 ? int(strlen(defaultText))
                                       : int(strnlen(defaultText, size_t(defaultLength)));
        column->defaultValue = ConvertStringToColumnValue(defaultText, &length, dataType);
        column->defaultLength = column->defaultValue != nullptr ? length : 0;
    }
    column->unique = unique;
    column->maxSize = maxSize;
    column->nullable = nullable;
    if (!CopyOptional(&column->description, description) ||
        !CopyOptional(&column->generatorName, generatorName)) {
        FreeColumnDefn(column);
        return nullptr;
    }
    column->allowedValues = allowedValues;
    return column;
}

void FreeColumnDefn(ColumnDefn *column) {
    if (column == nullptr) return;
    free(column->name);
    free(column->defaultValue);
    free(column->description);
    free(column->generatorName);
    FreeAllowedValues(column->allowedValues);
    free(column);
}

}  // extern "C"
