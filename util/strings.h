/*
 * String and byte-buffer helpers used across the library.
 *
 * Ownership: every function that returns char * or char ** hands back a new heap block
 * (malloc, zero-filled) that the caller releases with free() (arrays of pieces with
 * FreeStringArray); nothing returned aliases an argument. Functions that take a caller's
 * buffer never write past the size they are given.
 *
 * Results: the allocation helpers return 1 when done and 99 when memory runs out. Null
 * arguments never crash: comparisons order null before any text, searches report "absent",
 * and the functions that build new strings return null. An empty pattern never occurs in a
 * text (a search for it finds nothing, so no loop can spin on it).
 *
 * Comparisons return signed 8-bit values; bytes are compared as unsigned (0 to 255) and a
 * difference that does not fit in 8 bits is clamped, so the sign is always right.
 *
 * No function takes a lock; all are safe to call from several threads on distinct data.
 */
#ifndef KV_UTIL_STRINGS_H
#define KV_UTIL_STRINGS_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Copies: *out gets a new zero-terminated block; 1, or 99 with *out null. A null text gives
 * 0 with *out null. AllocCopyBytes logs "Unable to allocate memory\n" when out of memory. */
int AllocCopyString(char **out, const char *text);
int AllocCopyBytes(char **out, const void *bytes, size_t n);
/* A new string holding first then second; null when either is null or memory runs out. */
char *ConcatStrings(const char *first, const char *second);

/* Null-safe (both null: 0; only a null: -1; only b null: 1). */
signed char StrCompare(const char *a, const char *b);
signed char StrNCompare(const char *a, const char *b, size_t n);
signed char StrCompareNoCase(const char *a, const char *b);
/* 1, -1 or 0 over min(len a, len b, n) bytes; bytes equal when they differ by 0 or 32. */
signed char StrNCompareNoCase(const char *a, const char *b, size_t n);
signed char CompareBytes(const void *a, const void *b, size_t n);

/* Optional sign then digits only, else -1; "" or a lone sign gives 0. A value outside the
 * 32-bit signed range is refused with -1 as well, so the result never wraps. */
int StringToInt(const char *text);
/* Digits with at most one "." (no sign), else 0. */
double StringToDouble(const char *text);
/* Validity over the first length bytes (stopping at a zero byte); length 0 is valid. */
int IsInteger(const char *text, int length);
int IsDecimal(const char *text, int length);
/* Repeated multiplication, wrapping modulo 2^64; an exponent of 0 or below gives 1. */
long long IntPower(int base, int exponent);
/* Big-endian two's complement of 1 to 4 bytes; 0 for no bytes; -1 for more than 4. */
int ConvertToInteger(const unsigned char *bytes, int length);
/* Big-endian unsigned; with more than 4 bytes only the last 4 count. */
unsigned int BytesToUnsigned(const unsigned char *bytes, int length);
void ReverseString(char *text, int n);

/* Searches. The ones returning pointers return null when absent. */
char *LocateChar(const char *text, int c);
void *FindByte(const void *bytes, int c, size_t n);
/* Index of c among the first n bytes (the scan stops after a zero byte), or -1. */
int GetIndex(const char *text, int n, char c);
char *FindAnyOf(const char *text, const char *set);
size_t SpanOf(const char *text, const char *set);
char *SubString(const char *text, const char *pattern);
int FindSubString(const char *text, const char *pattern);
/* -1 for a null argument; otherwise index of the first occurrence, 0 when absent. */
int IndexOfSubstring(const char *text, const char *pattern);
/* Occurrences are found left to right without overlap: -1 for null or absent. */
int LastIndexOfSubstring(const char *text, const char *pattern);
/* -1 for a null argument. */
int CountSubstring(const char *text, const char *pattern);
int StartsWith(const void *bytes, int length, const void *prefix, int prefixLength);

/* New strings from old; null for a null argument or when memory runs out. */
char *SubstringBefore(const char *text, const char *pattern);      /* "" when absent */
char *SubstringAfter(const char *text, const char *pattern);       /* null when absent */
char *SubstringAfterLast(const char *text, const char *pattern);   /* copy of text when absent */
char *RemoveFirstSubstring(const char *text, const char *pattern); /* null when absent */
char *RemoveLastSubstring(const char *text, const char *pattern);  /* null when absent */
char *RemoveAllSubstrings(const char *text, const char *pattern);
char *KeepLetters(const char *text);
char *KeepAlphanumerics(const char *text);
char *RemoveAlphanumerics(const char *text);
char *TrimLeading(const char *text, char c); /* null for an empty text */
char *TrimTrailing(const char *text, char c);
char *TrimChar(const char *text, char c); /* null for an empty text */
/* CountSubstring + 1 new pieces and a null entry; free with FreeStringArray(array, count). */
char **SplitString(const char *text, const char *separator);

/* strtok_r: *cursor is null once the text is used up. */
char *StrTokenize(char *text, const char *delimiters, char **cursor);
/* Pieces between separator bytes (separators + 1 of them) and their lengths (a new int
 * array through lengths, freed by the caller); null when memory runs out. */
char **SplitBuffer(const char *bytes, int length, char separator, int *count, int **lengths);
int CountChar(const char *bytes, int length, char c);
/* 1-based position of the first c with *found = 1; else length with *found = 0. */
int FindSeparator(const char *bytes, int length, char c, int *found);
/* Whether one ","-separated piece of list equals the item's first itemLength bytes. */
int IsStringMatched(const char *list, int listLength, const char *item, int itemLength);
/* Frees count strings and the array; null entries are skipped. */
void FreeStringArray(char **strings, int count);

/* Bounded copies in the BSD manner: the length of the text they tried to make. */
int StrLCopy(char *destination, const char *source, int size);
int StrLCat(char *destination, const char *source, int size);

/* sscanf for the fixed formats the library reads, without its undefined cases: "%d" skips
 * white space and takes an optional sign and digits, a value beyond the int range becoming
 * INT_MAX or INT_MIN; "%c" takes one character; "%Ns" needs its width N (a missing width
 * stops the scan) and stores at most N bytes plus a zero; "%%", white space (any amount,
 * also none) and other characters match as in sscanf. Returns the number of fields
 * stored (0, not EOF, for an empty text). */
int ScanText(const char *text, const char *format, ...);

void CopyBytes(void *destination, const void *source, size_t n);
void FillBytes(void *bytes, int c, size_t n);
size_t StrLength(const char *text);

#ifdef __cplusplus
}
#endif

#endif /* KV_UTIL_STRINGS_H */
