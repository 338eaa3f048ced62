#include "data/diagnostics.h"

#include <atomic>
#include <cstdarg>

namespace pelorin {

namespace {

std::atomic<std::FILE*> g_stream{nullptr};

}  // namespace

void SetDiagnosticStream(std::FILE* stream) { g_stream.store(stream, std::memory_order_release); }

void Diagnostic(const char* format, ...) {
  std::FILE* stream = g_stream.load(std::memory_order_acquire);
  if (stream == nullptr) stream = stdout;
  va_list args;
  va_start(args, format);
  std::vfprintf(stream, format, args);
  va_end(args);
  std::fflush(stream);
}

}  // namespace pelorin
