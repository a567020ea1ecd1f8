// The generators' growable text; see string_buffer.h for the contract.
#include "db/string_buffer.h"

#include <stdlib.h>
#include <string.h>

namespace {

// Capacities are 32-bit and the text needs one byte more than its capacity.
constexpr uint64_t kMaxCapacity = UINT32_MAX - 1u;

}  // namespace

extern "C" {

int InitStringBuffer(StringBuffer *buffer, uint32_t capacity, uint32_t step) {
    if (buffer == nullptr) return 0;
    *buffer = StringBuffer{};
    if (capacity > kMaxCapacity) return 99;
    char *text = static_cast<char *>(calloc(size_t(capacity) + 1, 1));
    if (text == nullptr) return 99;
    buffer->text = text;
    buffer->capacity = capacity;
    buffer->step = step;
    return 1;
}

int AppendBytesToStringBuffer(StringBuffer *buffer, const char *bytes, size_t n) {
    if (buffer == nullptr || buffer->text == nullptr || bytes == nullptr) return 0;
    const uint64_t needed = uint64_t(buffer->length) + n;
    if (n > kMaxCapacity || needed > kMaxCapacity) return 99;
    if (needed > buffer->capacity) {
        const uint64_t missing = needed - buffer->capacity;
        uint64_t growth = missing;
        if (buffer->step != 0) {
            const uint64_t steps = (missing + buffer->step - 1) / buffer->step;  // k >= 1
            growth = steps * buffer->step;
        }
        const uint64_t capacity = uint64_t(buffer->capacity) + growth;
        if (capacity > kMaxCapacity) return 99;
        char *text = static_cast<char *>(calloc(size_t(capacity) + 1, 1));
        if (text == nullptr) return 99;
        memcpy(text, buffer->text, buffer->length);
        free(buffer->text);
        buffer->text = text;
        buffer->capacity = uint32_t(capacity);
    }
    memcpy(buffer->text + buffer->length, bytes, n);
    buffer->length = uint32_t(needed);
    buffer->text[buffer->length] = '\0';
    return 1;
}

int AppendToStringBuffer(StringBuffer *buffer, const char *text) {
    if (text == nullptr) return 0;
    return AppendBytesToStringBuffer(buffer, text, strlen(text));
}

void FreeStringBuffer(StringBuffer *buffer) {
    if (buffer == nullptr) return;
    free(buffer->text);
    *buffer = StringBuffer{};
}

}  // extern "C"
