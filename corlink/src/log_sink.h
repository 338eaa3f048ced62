// The library's one way out for diagnostics. Every message goes to the current sink as
// one complete text; the default sink writes it to standard output and flushes. A program
// linking the shared library picks its own sink by defining corlink_log_hook (see
// corlink/host/corlink_log_hook.h); code linking the library's objects directly (the tests)
// calls SetLogSink.
#pragma once

#include <cstddef>

namespace corlink {

using LogSink = void (*)(const char* text, size_t length);

// Installs sink for every later diagnostic; nullptr goes back to the program's hook, or to
// standard output when there is none. Safe to call while another thread logs.
void SetLogSink(LogSink sink);

// Formats like printf and hands the whole text to the sink.
void Log(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Hands length bytes of text to the sink as they are.
void LogText(const char* text, size_t length);

}  // namespace corlink
