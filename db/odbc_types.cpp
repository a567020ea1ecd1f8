// The ODBC column type table and the conversion of fetched text; see odbc_types.h.
#include "db/odbc_types.h"

#include <sql.h>
#include <sqlext.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include "store/column_defn.h"

namespace {

struct TypeRow {
    int sqlType;
    unsigned char columnType;
};

// Searched for the first row with the code; a code not listed is not supported.
constexpr TypeRow kTypeTable[] = {
    {SQL_BIGINT, VEL_SQL_BIGINT},
    {SQL_SMALLINT, VEL_SQL_SMALLINT},
    {SQL_INTEGER, VEL_SQL_INT},
    // ODBC's SQL_FLOAT is double precision (PostgreSQL reports float8 with it); stored as
    // a single it would come back with half its digits.
    {SQL_FLOAT, VEL_SQL_DOUBLE},
    {SQL_DOUBLE, VEL_SQL_DOUBLE},
    {SQL_NUMERIC, VEL_SQL_NUMERIC},
    {SQL_CHAR, VEL_SQL_CHAR},
    {SQL_VARCHAR, VEL_SQL_VARCHAR},
    {SQL_LONGVARCHAR, VEL_SQL_BLOB},
    {SQL_BINARY, VEL_SQL_BLOB},
    {SQL_VARBINARY, VEL_SQL_BLOB},
    {SQL_LONGVARBINARY, VEL_SQL_BLOB},
    {SQL_DATE, VEL_SQL_DATE},
    {SQL_TIME, VEL_SQL_TIME},
    {SQL_TIMESTAMP, VEL_SQL_DATETIME},
    {SQL_TINYINT, VEL_SQL_BOOLEAN},
    // SQLite and psqlODBC (BoolsAsChar=0) report boolean columns as SQL_BIT; read as an
    // unsupported type, a saved boolean would come back as the text "1".
    {SQL_BIT, VEL_SQL_BOOLEAN},
    {SQL_REAL, VEL_SQL_NOT_SUPPORTED_TYPE},
    {SQL_DECIMAL, VEL_SQL_NOT_SUPPORTED_TYPE},
    {SQL_GUID, VEL_SQL_NOT_SUPPORTED_TYPE},
    {SQL_WCHAR, VEL_SQL_NOT_SUPPORTED_TYPE},
    {SQL_WVARCHAR, VEL_SQL_NOT_SUPPORTED_TYPE},
    {SQL_WLONGVARCHAR, VEL_SQL_NOT_SUPPORTED_TYPE},
    {SQL_INTERVAL_YEAR, VEL_SQL_NOT_SUPPORTED_TYPE},
    {SQL_INTERVAL_MONTH, VEL_SQL_NOT_SUPPORTED_TYPE},
    {SQL_INTERVAL_DAY, VEL_SQL_NOT_SUPPORTED_TYPE},
    {SQL_INTERVAL_HOUR, VEL_SQL_NOT_SUPPORTED_TYPE},
    {SQL_INTERVAL_MINUTE, VEL_SQL_NOT_SUPPORTED_TYPE},
    {SQL_INTERVAL_SECOND, VEL_SQL_NOT_SUPPORTED_TYPE},
    {SQL_INTERVAL_YEAR_TO_MONTH, VEL_SQL_NOT_SUPPORTED_TYPE},
    {SQL_INTERVAL_DAY_TO_HOUR, VEL_SQL_NOT_SUPPORTED_TYPE},
    {SQL_INTERVAL_DAY_TO_MINUTE, VEL_SQL_NOT_SUPPORTED_TYPE},
    {SQL_INTERVAL_DAY_TO_SECOND, VEL_SQL_NOT_SUPPORTED_TYPE},
    {SQL_INTERVAL_HOUR_TO_MINUTE, VEL_SQL_NOT_SUPPORTED_TYPE},
    {SQL_INTERVAL_HOUR_TO_SECOND, VEL_SQL_NOT_SUPPORTED_TYPE},
    {SQL_INTERVAL_MINUTE_TO_SECOND, VEL_SQL_NOT_SUPPORTED_TYPE},
};
static_assert(sizeof kTypeTable / sizeof kTypeTable[0] == 36, "one row per listed code");

bool IsBooleanTypeName(const char *typeName) {
    return typeName != nullptr &&
           (strcasecmp(typeName, "bool") == 0 || strcasecmp(typeName, "boolean") == 0);
}

bool IsTrueText(const char *text) {
    return strcmp(text, "1") == 0 || strcasecmp(text, "t") == 0 || strcasecmp(text, "true") == 0;
}

bool Fits(int value, int low, int high) {
    return value >= low && value <= high;
}

// A VelDateTime with the parts asked for, as one block so that free() releases it.
VelDateTime *NewDateTimeBlock(bool withDate, bool withTime) {
    struct Block {
        VelDateTime dateTime;
        VelDate date;
        VelTime time;
    };
    auto *block = static_cast<Block *>(calloc(1, sizeof(Block)));
    if (block == nullptr) return nullptr;
    if (withDate) block->dateTime.date = &block->date;
    if (withTime) block->dateTime.time = &block->time;
    return &block->dateTime;
}

}  // namespace

extern "C" {

unsigned char ODBCGetColumnType(int sqlType, const char *typeName) {
    if ((sqlType == SQL_CHAR || sqlType == SQL_VARCHAR) && IsBooleanTypeName(typeName)) {
        // psqlODBC reports boolean columns as varchar unless BoolsAsChar=0.
        return VEL_SQL_BOOLEAN;
    }
    for (const TypeRow &row : kTypeTable) {
        if (row.sqlType == sqlType) return row.columnType;
    }
    return VEL_SQL_NOT_SUPPORTED_TYPE;
}

VelDateTime *ODBCParseDateTime(const char *text, int32_t *length, unsigned char dataType) {
    if (length != nullptr) *length = VEL_DATETIME_LENGTH;
    if (text == nullptr) return nullptr;
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    bool withDate = false, withTime = false;
    switch (dataType) {
        case VEL_SQL_DATE:
            if (sscanf(text, "%d-%d-%d", &year, &month, &day) != 3) return nullptr;
            withDate = true;
            break;
        case VEL_SQL_TIME:
            if (sscanf(text, "%d:%d:%d", &hour, &minute, &second) != 3) return nullptr;
            withTime = true;
            break;
        case VEL_SQL_DATETIME: {
            int fields =
                sscanf(text, "%d-%d-%d %d:%d:%d", &year, &month, &day, &hour, &minute, &second);
            if (fields != 3 && fields != 6) return nullptr;
            withDate = withTime = true;
            break;
        }
        default:
            return nullptr;
    }
    // A field the record cannot hold would be cut into another date.
    if (!Fits(year, INT16_MIN, INT16_MAX) || !Fits(month, 0, UINT8_MAX) ||
        !Fits(day, 0, UINT8_MAX) || !Fits(hour, 0, UINT8_MAX) || !Fits(minute, 0, UINT8_MAX) ||
        !Fits(second, 0, UINT8_MAX)) {
        return nullptr;
    }
    VelDateTime *value = NewDateTimeBlock(withDate, withTime);
    if (value == nullptr) return nullptr;
    if (withDate) *value->date = VelDate{int16_t(year), uint8_t(month), uint8_t(day)};
    if (withTime) *value->time = VelTime{uint8_t(hour), uint8_t(minute), uint8_t(second)};
    return value;
}

int ODBCMakeColumnValue(const char *text, size_t length, unsigned char dataType, void **value,
                        int32_t *valueLength) {
    *value = nullptr;
    *valueLength = 0;
    if (text == nullptr || length > size_t(INT32_MAX)) return 0;
    switch (dataType) {
        case VEL_SQL_BOOLEAN: {
            int stored = 0;
            *value = ConvertStringToColumnValue(IsTrueText(text) ? "TRUE" : "FALSE", &stored,
                                                VEL_SQL_BOOLEAN);
            *valueLength = stored;
            break;
        }
        case VEL_SQL_DATE:
        case VEL_SQL_TIME:
        case VEL_SQL_DATETIME:
            *value = ODBCParseDateTime(text, valueLength, dataType);
            break;
        default: {
            // The byte-copied types keep every fetched byte, so a value is never cut at an
            // embedded zero byte; for plain text the count equals the text's length.
            int stored = int(length);
            *value = ConvertStringToColumnValue(text, &stored, dataType);
            *valueLength = stored;
            break;
        }
    }
    return *value != nullptr;
}

}  // extern "C"
