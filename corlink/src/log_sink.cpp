#include "log_sink.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <string>

namespace corlink {

namespace {

std::atomic<LogSink> g_sink{nullptr};

void WriteToStdout(const char* text, size_t length) {
  std::fwrite(text, 1, length, stdout);
  std::fflush(stdout);
}

LogSink CurrentSink() {
  if (LogSink sink = g_sink.load(std::memory_order_acquire)) return sink;
  return WriteToStdout;
}

}  // namespace

void SetLogSink(LogSink sink) { g_sink.store(sink, std::memory_order_release); }

void LogText(const char* text, size_t length) {
  if (length > 0) CurrentSink()(text, length);
}

void Log(const char* format, ...) {
  char small[256];
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  const int n = std::vsnprintf(small, sizeof small, format, args);
  va_end(args);
  if (n >= 0 && static_cast<size_t>(n) < sizeof small) {
    LogText(small, static_cast<size_t>(n));
  } else if (n > 0) {
    // A long message (a path, a long key) is formatted again at its full length.
    std::string text(static_cast<size_t>(n) + 1, '\0');
    std::vsnprintf(text.data(), text.size(), format, again);
    LogText(text.data(), static_cast<size_t>(n));
  }
  va_end(again);
}

}  // namespace corlink
