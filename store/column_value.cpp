// Column values: text to stored form and back; see column_defn.h for the contract.
#include <apr_pools.h>
#include <apr_strings.h>
#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "store/column_defn.h"
#include "store/datetime.h"
#include "store/number_text.h"
#include "util/strings.h"

namespace {

using numbertext::IsDigit;
using numbertext::ParseInteger;
using numbertext::ParseReal;

int IntegerWidth(unsigned char type) {
    switch (type) {
        case VEL_SQL_TINYINT:
        case VEL_SQL_UNSIGNED_TINYINT:
            return 1;
        case VEL_SQL_SMALLINT:
        case VEL_SQL_UNSIGNED_SMALLINT:
            return 2;
        case VEL_SQL_INT:
        case VEL_SQL_UNSIGNED_INT:
            return 4;
        default:
            return 8;
    }
}

bool IsSignedInteger(unsigned char type) {
    return type == VEL_SQL_TINYINT || type == VEL_SQL_SMALLINT || type == VEL_SQL_INT ||
           type == VEL_SQL_BIGINT;
}

// Little-endian, whatever the host.
void *StoreInteger(uint64_t bits, int width) {
    unsigned char *buffer = static_cast<unsigned char *>(malloc(size_t(width)));
    if (buffer == nullptr) return nullptr;
    for (int i = 0; i < width; ++i) buffer[i] = static_cast<unsigned char>(bits >> (8 * i));
    return buffer;
}

// The integer at its stored width; false for a width that is no integer form.
bool ReadInteger(const void *value, int length, unsigned char type, uint64_t *bits) {
    if (length != 1 && length != 2 && length != 4 && length != 8) return false;
    const unsigned char *bytes = static_cast<const unsigned char *>(value);
    uint64_t raw = 0;
    for (int i = 0; i < length; ++i) raw |= uint64_t(bytes[i]) << (8 * i);
    if (IsSignedInteger(type) && length < 8 && (bytes[length - 1] & 0x80) != 0) {
        raw |= ~uint64_t(0) << (8 * length);  // sign extension
    }
    *bits = raw;
    return true;
}

bool ReadReal(const void *value, int length, double *out) {
    if (length == 4) {
        float f;
        memcpy(&f, value, sizeof f);
        *out = f;
        return true;
    }
    if (length == 8) {
        memcpy(out, value, sizeof *out);
        return true;
    }
    return false;
}

// One block, so that the owner of a row value frees it with a plain free().
struct DateTimeBlock {
    VelDateTime dateTime;
    VelDate date;
    VelTime time;
};

void *StoreDateTime(const char *text) {
    VelDateTime *parsed = ConvertStringToVelDateTime(text);
    if (parsed == nullptr) return nullptr;
    void *block = CreateDateTimeColumnValue(parsed->date, parsed->time);
    FreeVelDateTime(parsed);
    return block;
}

std::string Printed(const char *format, ...) __attribute__((format(printf, 1, 2)));
std::string Printed(const char *format, ...) {
    va_list args;
    va_start(args, format);
    char small[64];
    int needed = vsnprintf(small, sizeof small, format, args);
    va_end(args);
    if (needed < int(sizeof small)) return std::string(small, size_t(needed < 0 ? 0 : needed));
    std::string text(size_t(needed) + 1, '\0');
    va_start(args, format);
    vsnprintf(text.data(), text.size(), format, args);
    va_end(args);
    text.resize(size_t(needed));
    return text;
}

char *DateTimeText(const void *value, int length, unsigned char type) {
    if (length == VEL_DATETIME_LENGTH) {
        return VelDateTimeToString(static_cast<const VelDateTime *>(value));
    }
    if (type == VEL_SQL_DATE && length == VEL_DATE_LENGTH) {
        return VelDateToString(static_cast<const VelDate *>(value));
    }
    if (type == VEL_SQL_TIME && length == VEL_TIME_LENGTH) {
        return VelTimeToString(static_cast<const VelTime *>(value));
    }
    return nullptr;
}

// The text of a non-null value of codes 1 to 15 and 19 to 22 (dates go elsewhere); false
// when the type has no text form or the stored length is not one of the type's forms.
bool ValueText(const void *value, int length, unsigned char type, std::string *text) {
    switch (type) {
        case VEL_SQL_TINYINT:
        case VEL_SQL_UNSIGNED_TINYINT:
        case VEL_SQL_SMALLINT:
        case VEL_SQL_UNSIGNED_SMALLINT:
        case VEL_SQL_INT:
        case VEL_SQL_UNSIGNED_INT:
        case VEL_SQL_BIGINT:
        case VEL_SQL_UNSIGNED_LONG_INT: {
            uint64_t bits;
            if (!ReadInteger(value, length, type, &bits)) return false;
            *text = IsSignedInteger(type) ? Printed("%lld", static_cast<long long>(bits))
                                          : Printed("%llu", static_cast<unsigned long long>(bits));
            return true;
        }
        case VEL_SQL_FLOAT:
        case VEL_SQL_DOUBLE:
        case VEL_SQL_REAL: {
            double real;
            if (!ReadReal(value, length, &real)) return false;
            *text = Printed("%f", real);
            return true;
        }
        case VEL_SQL_DECIMAL:
        case VEL_SQL_NUMERIC:
        case VEL_SQL_CHAR:
        case VEL_SQL_VARCHAR:
        case VEL_SQL_BLOB:
        case VEL_SQL_CLOB:
        case VEL_SQL_TEXT:
            if (length < 0) return false;
            text->assign(static_cast<const char *>(value), size_t(length));
            return true;
        case VEL_SQL_BOOLEAN:
            if (length < 1) return false;
            *text = *static_cast<const unsigned char *>(value) == 1 ? "'t'" : "'f'";
            return true;
        default:
            return false;
    }
}

char *HeapCopy(const std::string &text) {
    char *copy = nullptr;
    return AllocCopyBytes(&copy, text.data(), text.size()) == 1 ? copy : nullptr;
}

}  // namespace

extern "C" {

void *ConvertStringToColumnValue(const char *text, int *length, unsigned char dataType) {
    if (text == nullptr || length == nullptr) return nullptr;
    switch (dataType) {
        case VEL_SQL_NOT_SUPPORTED_TYPE:
        case VEL_SQL_DECIMAL:
        case VEL_SQL_NUMERIC:
        case VEL_SQL_BLOB:
        case VEL_SQL_CLOB: {
            if (*length < 0) return nullptr;
            char *copy = nullptr;
            AllocCopyBytes(&copy, text, size_t(*length));
            return copy;
        }
        case VEL_SQL_TINYINT:
        case VEL_SQL_UNSIGNED_TINYINT:
        case VEL_SQL_SMALLINT:
        case VEL_SQL_UNSIGNED_SMALLINT:
        case VEL_SQL_INT:
        case VEL_SQL_UNSIGNED_INT: {
            int width = IntegerWidth(dataType);
            void *value = StoreInteger(ParseInteger<uint32_t>(text), width);
            if (value != nullptr) *length = width;
            return value;
        }
        case VEL_SQL_BIGINT:
        case VEL_SQL_UNSIGNED_LONG_INT: {
            void *value = StoreInteger(ParseInteger<uint64_t>(text), 8);
            if (value != nullptr) *length = 8;
            return value;
        }
        case VEL_SQL_FLOAT:
        case VEL_SQL_REAL:
        case VEL_SQL_DOUBLE: {
            double real = ParseReal(text);
            size_t size = dataType == VEL_SQL_DOUBLE ? sizeof(double) : sizeof(float);
            void *value = malloc(size);
            if (value == nullptr) return nullptr;
            if (dataType == VEL_SQL_DOUBLE) {
                memcpy(value, &real, size);
            } else {
                float single = static_cast<float>(real);
                memcpy(value, &single, size);
            }
            *length = int(size);
            return value;
        }
        case VEL_SQL_CHAR:
        case VEL_SQL_VARCHAR:
        case VEL_SQL_TEXT: {
            char *copy = nullptr;
            if (AllocCopyString(&copy, text) != 1) return nullptr;
            *length = int(strlen(copy));
            return copy;
        }
        case VEL_SQL_DATE:
        case VEL_SQL_TIME:
        case VEL_SQL_DATETIME: {
            void *value = StoreDateTime(text);
            if (value != nullptr) *length = VEL_DATETIME_LENGTH;
            return value;
        }
        case VEL_SQL_BOOLEAN: {
            unsigned char flag;
            if (StrCompareNoCase(text, "TRUE") == 0) {
                flag = 1;
            } else if (StrCompareNoCase(text, "FALSE") == 0) {
                flag = 0;
            } else {
                return nullptr;
            }
            unsigned char *value = static_cast<unsigned char *>(malloc(1));
            if (value == nullptr) return nullptr;
            *value = flag;
            *length = 1;
            return value;
        }
        default:
            return nullptr;
    }
}

char *ConvertColumnValueToString(const void *value, int length, unsigned char dataType) {
    if (value == nullptr) return HeapCopy("NULL");
    if (dataType == VEL_SQL_DATE || dataType == VEL_SQL_TIME || dataType == VEL_SQL_DATETIME) {
        return DateTimeText(value, length, dataType);
    }
    std::string text;
    if (!ValueText(value, length, dataType, &text)) return nullptr;
    return HeapCopy(text);
}

char *ConvertColumnValueToPoolString(const void *value, int length, unsigned char dataType,
                                     apr_pool_t *pool) {
    if (pool == nullptr) return nullptr;
    if (value == nullptr) return apr_pstrdup(pool, "NULL");
    bool covered =
        (dataType >= VEL_SQL_TINYINT && dataType <= VEL_SQL_VARCHAR) || dataType == VEL_SQL_BOOLEAN;
    std::string text;
    if (!covered || !ValueText(value, length, dataType, &text)) return nullptr;
    return apr_pstrmemdup(pool, text.data(), text.size());
}

void *CreateDateTimeColumnValue(const struct VelDate *date, const struct VelTime *time) {
    DateTimeBlock *block = static_cast<DateTimeBlock *>(calloc(1, sizeof(DateTimeBlock)));
    if (block == nullptr) return nullptr;
    if (date != nullptr) {
        block->date = *date;
        block->dateTime.date = &block->date;
    }
    if (time != nullptr) {
        block->time = *time;
        block->dateTime.time = &block->time;
    }
    return block;
}

void *CopyColumnValue(const void *value, int length, unsigned char dataType) {
    if (value == nullptr || length < 0) return nullptr;
    if (length == VEL_DATETIME_LENGTH && dataType >= VEL_SQL_DATE && dataType <= VEL_SQL_DATETIME) {
        const VelDateTime *source = static_cast<const VelDateTime *>(value);
        return CreateDateTimeColumnValue(source->date, source->time);
    }
    char *copy = nullptr;
    AllocCopyBytes(&copy, value, size_t(length));
    return copy;
}

long long ReadStoredInteger(const void *value, int length, unsigned char dataType) {
    uint64_t bits = 0;
    if (value == nullptr || dataType < VEL_SQL_TINYINT || dataType > VEL_SQL_UNSIGNED_LONG_INT ||
        !ReadInteger(value, length, dataType, &bits)) {
        return 0;
    }
    return static_cast<long long>(bits);
}

}  // extern "C"
