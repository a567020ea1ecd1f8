/*
 * StringBuffer: a growable, NUL-terminated text in which the SQL generators write their
 * statements.
 *
 * The buffer owns its text (malloc'd); FreeStringBuffer releases it and leaves the record
 * empty. Appending never writes past the capacity: a text that does not fit makes the buffer
 * grow by the smallest whole number of steps that holds it (by exactly what is missing when
 * the step is 0). A buffer is not locked; it belongs to the one thread that fills it.
 *
 * Results: 1 done; 99 when memory runs out or the text would pass 4 GiB (the buffer is then
 * unchanged); 0 for a null or unprepared buffer or a null text.
 */
#ifndef KV_DB_STRING_BUFFER_H
#define KV_DB_STRING_BUFFER_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct StringBuffer {
    uint32_t length;   /* characters used */
    char *text;        /* capacity + 1 bytes, zero after the used part */
    uint32_t capacity; /* characters that fit without growing */
    uint32_t step;     /* growth step */
} StringBuffer;

enum { STRING_BUFFER_DEFAULT_CAPACITY = 10000, STRING_BUFFER_DEFAULT_STEP = 1000 };

/* Allocates capacity + 1 zeroed bytes; 1, or 99 (with the record empty) when memory runs out. */
#ifdef __cplusplus
int InitStringBuffer(StringBuffer *buffer, uint32_t capacity = STRING_BUFFER_DEFAULT_CAPACITY,
                     uint32_t step = STRING_BUFFER_DEFAULT_STEP);
#else
int InitStringBuffer(StringBuffer *buffer, uint32_t capacity, uint32_t step);
#endif
/* Appends a NUL-terminated text. */
int AppendToStringBuffer(StringBuffer *buffer, const char *text);
/* Appends n bytes (which should hold no zero byte, or the text reads shorter than length). */
int AppendBytesToStringBuffer(StringBuffer *buffer, const char *bytes, size_t n);
/* Frees the text and empties the record; an empty or null record is ignored. */
void FreeStringBuffer(StringBuffer *buffer);

#ifdef __cplusplus
}
#endif

#endif /* KV_DB_STRING_BUFFER_H */
