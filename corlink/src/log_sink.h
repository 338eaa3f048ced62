// The library's one way out for diagnostics. Every message goes to the current sink as
// one complete text; the default sink writes it to standard output and flushes, which is
// what hosts of the C interface get. This project's programs install their own sink
// through corlink/host/corlink_host.h, the tests with SetLogSink.
#pragma once

#include <cstddef>

namespace corlink {

using LogSink = void (*)(const char* text, size_t length);

// Installs sink for every later diagnostic; nullptr goes back to standard output. Safe to
// call while another thread logs.
void SetLogSink(LogSink sink);

// Formats like printf and hands the whole text to the sink.
void Log(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Hands length bytes of text to the sink as they are.
void LogText(const char* text, size_t length);

}  // namespace corlink
