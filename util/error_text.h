/*
 * Readable texts for Windows error codes and for the installer and agent status codes that
 * Windows has no text for, and the log lines that report them.
 *
 * None of these fail their callers: a code without a system text gets the status table's
 * text, and a code the table does not list "Unknown Error. Code : <code>". While no log is
 * open the lines are dropped but the texts are still returned.
 */
#ifndef KV_UTIL_ERROR_TEXT_H
#define KV_UTIL_ERROR_TEXT_H

#ifdef __cplusplus
extern "C" {
#endif

/* The status table's text. Known codes give a constant; any other code gives the
 * "Unknown Error. Code : %d" text in a buffer of the calling thread, valid until its next
 * call. The caller never frees the result. */
const char *GetStatusText(unsigned int code);

/* A new heap string (UTF-8, one line) with the code's text, also logged; the caller frees it.
 * Null only when memory runs out. */
char *GetErrorMessage(int code);
void LogErrorCode(int code);
/* The same line as LogErrorCode, from the narrow text with blanks trimmed. Returns 0. */
int LogErrorText(int code);
/* Logs the text of the calling thread's last system error. */
void LogLastError(void);

/* *out receives a new heap buffer with the UTF-8 text, owned by the caller. 1, or 0 on a
 * null argument or a failed conversion (*out then holds a zeroed buffer or null). */
int ChangeWideStrToUtf8(const char16_t *wide, char **out);

#ifdef __cplusplus
}
#endif

#endif /* KV_UTIL_ERROR_TEXT_H */
