#include "log_sink.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

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
  va_list args;
  va_start(args, format);
  char* text = nullptr;
  const int n = vasprintf(&text, format, args);
  va_end(args);
  if (n < 0) return;  // out of memory: the message is lost, not the program
  LogText(text, static_cast<size_t>(n));
  std::free(text);
}

}  // namespace corlink
