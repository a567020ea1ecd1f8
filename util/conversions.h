/*
 * Conversions between the encoded forms of network-management values and their text: hex
 * digits, integers and booleans, Counter64, object identifiers (OIDs), IPv4 addresses, the
 * RFC 2579 DateAndTime, the three date forms of RFC 2616; plus a received-message queue and
 * a one-byte XOR transform.
 *
 * Ownership: returned strings, arrays and records are new malloc'd blocks that the caller
 * releases with free(). Functions writing into a caller's buffer say how much they write.
 *
 * Failures: null (or the result named below) with an ERROR line where one is given; bad
 * input never makes a function read or write outside the buffers it was given.
 *
 * An OID is an array of unsigned 32-bit sub-identifiers with a count; its text form puts "."
 * before each sub-identifier (".1.3.6.1"). An IPv4 address is four sub-identifiers 0 to 255
 * written "10.0.0.1". No lock is taken except the queue's (LockObject on the queue).
 */
#ifndef KV_UTIL_CONVERSIONS_H
#define KV_UTIL_CONVERSIONS_H

#include <stdint.h>
#include <time.h>

#include "util/vector.h"

#ifdef __cplusplus
extern "C" {
#endif

/* A 64-bit counter as two 32-bit words, high word first. */
typedef struct Counter64 {
    uint32_t high;
    uint32_t low;
} Counter64;

/* Hexadecimal. */
char GetHexValue(char c);             /* 0 to 15 for a hex digit, else c itself */
int ConvertToDecimalFromHexa(char c); /* 0 to 15 for a hex digit, else 0 */
/* Packs length hex digits, two per byte, high digit first, into length / 2 bytes over the
 * start of text; a character that is no hex digit counts as 0. Returns the byte count. */
int ConvertToHexValue(char *text, int length);
/* out gets 2 * length values 0 to 15 (high then low half of each byte), not characters. */
void ConvertToStringFromHex(char *out, const unsigned char *bytes, int length);

/* Integers, booleans, counters. */
/* kind 0: *(const int *)value in decimal; kind 1: "TRUE"/"FALSE" for value non-null (the
 * length is ignored); other kinds null. Logs "Unable to allocate buffer !!! \n" on OOM. */
char *ToString(const void *value, int length, int kind);
char *ConvertToStringFromInteger(const int *value);
char *ConvertToStringFromUnsignedInteger(const uint32_t *value, int *length);
char *Counter64ToString(const Counter64 *counter);
unsigned long long ConvertToULongLongFromCounter64(uint32_t high, uint32_t low);
Counter64 ConvertToCounter64FromULongLong(unsigned long long value);
/* Decodes 1 to 9 content octets (most significant first; with 9 the first is skipped) into
 * *counter and returns its low word. Other lengths store 0 and return 0. */
uint32_t ConvertToCounter64(Counter64 *counter, const unsigned char *bytes, int length);

/* Object identifiers. */
int GetOidLength(const char *text, int length); /* "." among the first length characters */
int IsValidOid(const char *text, int length);
/* *out := new array of sub-identifiers (count + 1 slots); returns the count, -1 for bad
 * text (every part must be 0 to 4294967295 and an OID must start with "."). */
int ConvertToOidOrIpFromString(uint32_t **out, const char *text, int isIp);
/* Text of an OID given with its size in bytes (4 per sub-identifier) through *length;
 * *length then receives the text's length. */
char *ConvertToStringFromOID(const uint32_t *values, int *length);
/* Writes the text form into out, which holds size bytes: 1, or 0 (out empty) when it does
 * not fit. 11 bytes per sub-identifier plus 1 always suffice. */
int ConvertToStringFromOid(const uint32_t *values, int count, char *out, int size);
int CompareOid(const uint32_t *a, int aCount, const uint32_t *b, int bCount);
void CopyOid(uint32_t *destination, const uint32_t *source, int count);
void SetNOid(uint32_t *destination, const uint32_t *source, int offset, int count);
uint32_t GetNextSubId(uint32_t value, const uint32_t *values, int count);
/* Replace *target with a new copy; 1, or 99 (target unchanged) when memory runs out. */
int ReallocateAndSetOID(uint32_t **target, int *targetCount, const uint32_t *source, int count);
int ReallocateAndSetString(char **target, const char *bytes, int n);
void CopyStringToOid(uint32_t *destination, const char *text); /* characters as signed bytes */
void CopyStringToOID(uint32_t *destination, const unsigned char *bytes, int length);
/* out gets values[offset] .. values[length - 1], each modulo 255, then a zero byte. */
void ConvertToCharArray(char *out, const uint32_t *values, int offset, int length);
void PrintStream(const unsigned char *bytes, int length, const char *format);
void PrintOid(const uint32_t *values, int count);

/* IPv4 addresses. */
int IsValidIPAddress(const char *text, int length);
/* Writes values[from] .. values[to - 1] joined by "." into out (16 bytes suffice). A range
 * of more than four values, or a value above 255, is refused: 0 with out empty. */
int ConvertToIpAddressFromOid(char *out, const uint32_t *values, int from, int to);

/* Dates and times. */
/* *length: octet count in (8, or 11 and more), text length out; null for other counts. */
char *ConvertToStringFromDateTime(const unsigned char *octets, int *length);
/* Octets of "y-m-d,h:m:s.d" (8) or "y-m-d,h:m:s.d,+h:m" (11); *length gets the count. */
unsigned char *ConvertToDateTimeFromString(const char *text, int *length);
int ParseMonth(const char *name); /* "Jan" .. "Dec" in any case: 0 .. 11, else -1 */
/* A new zeroed struct tm from an RFC 1123, RFC 850 or asctime date; null otherwise. */
struct tm *ParseDateTime(const char *text);
int CompareTime(const struct tm *a, const struct tm *b); /* 1 when a >= b */
/* Current local time as "%04d-%02d-%02d %02d:%02d:%02d". */
char *GetCurrentDateTimeString(void);

/* Other services. */
char *ToLowerCopy(const char *text);
char *ToUpperCopy(const char *text);
int IsDirectory(const char *path);
/* XORs length bytes with one key byte derived from n; applying it twice restores them. */
int EncryptDecryptKey(unsigned char *buffer, int length, int n);
/* Appends message to queue (a Vector without comparison function): 1, or 0. */
int AddRcvdMsgToQueue(Vector *queue, void *message);
/* Removes and returns the oldest message, or null for an empty or null queue. */
void *ReadMsgFromQueueForProcessing(Vector *queue);

#ifdef __cplusplus
}
#endif

#endif /* KV_UTIL_CONVERSIONS_H */
