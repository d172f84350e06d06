// The library's one log channel: formatted text on standard output, nothing
// added. A thread may route its own messages elsewhere for the duration of a
// call (the segmenter instances do, so that they never write to stdout).
#ifndef VIDRA_COMMON_LOG_H
#define VIDRA_COMMON_LOG_H

#if defined(__GNUC__)
#  define VIDRA_PRINTF_FORMAT(f, a) __attribute__((format(printf, f, a)))
#else
#  define VIDRA_PRINTF_FORMAT(f, a)
#endif

// Writes the formatted text to stdout (the full library; the core library
// drops it): no prefix, time, level or line end.
// While a LogRedirect is active on the calling thread, the text goes to its
// sink instead (or nowhere).
void LogPrintf(const char* format, ...) VIDRA_PRINTF_FORMAT(1, 2);

// Receives one formatted message, exactly the text LogPrintf would have
// written (NUL-terminated; a message longer than the internal buffer that
// cannot be formatted in full is cut).
using LogSink = void (*)(void* context, const char* text);

// Routes the calling thread's LogPrintf messages to sink(context, text) until
// destroyed; a null sink discards them unformatted. Redirects nest: the
// previous routing comes back on destruction. Other threads are unaffected.
class LogRedirect {
public:
    LogRedirect(LogSink sink, void* context);
    ~LogRedirect();
    LogRedirect(const LogRedirect&) = delete;
    LogRedirect& operator=(const LogRedirect&) = delete;

    struct Route {
        LogSink sink;
        void* context;
    };

private:
    Route route_;
    const Route* previous_;
};

#endif
