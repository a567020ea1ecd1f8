/*
 * UTF-8 <-> UTF-16 conversion, the way Windows converts with the UTF-8 code page: invalid
 * input becomes U+FFFD, never an error. Wide text is char16_t, as the registry stores it.
 *
 * Each conversion takes a source with its length in units (-1: up to and including the
 * terminating null) and returns the number of units written, or the number needed when
 * out is null. A too-small out gives 0 with last error ERROR_INSUFFICIENT_BUFFER.
 */
#ifndef KV_PLATFORM_TEXT_H
#define KV_PLATFORM_TEXT_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

int PlatUtf8ToUtf16(const char *src, int srcLen, char16_t *out, int outLen);
int PlatUtf16ToUtf8(const char16_t *src, int srcLen, char *out, int outLen);
size_t PlatWideLength(const char16_t *text);

#ifdef __cplusplus
}

#include <string>
#include <string_view>
std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);
#endif

#endif /* KV_PLATFORM_TEXT_H */
