// The library's one log channel: formatted text on standard output, nothing added.
#ifndef VIDRA_COMMON_LOG_H
#define VIDRA_COMMON_LOG_H

#if defined(__GNUC__)
#  define VIDRA_PRINTF_FORMAT(f, a) __attribute__((format(printf, f, a)))
#else
#  define VIDRA_PRINTF_FORMAT(f, a)
#endif

// Writes the formatted text to stdout: no prefix, time, level or line end.
void LogPrintf(const char* format, ...) VIDRA_PRINTF_FORMAT(1, 2);

#endif
