// printf-style formatting for log lines, with "%S" taking a UTF-16 (char16_t) string and
// writing it as UTF-8, as the Windows C runtime's "%S" takes the wide string of the caller.
// Every other conversion behaves as the host's snprintf.
#ifndef KV_LOGGING_LOG_FORMAT_H
#define KV_LOGGING_LOG_FORMAT_H

#include <cstdarg>
#include <string>

// Appends format, filled from args, to out. Never fails; an unknown conversion is copied.
void AppendFormatted(std::string &out, const char *format, va_list args);

#endif  // KV_LOGGING_LOG_FORMAT_H
