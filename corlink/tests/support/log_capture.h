// Collects the library's diagnostics in a test: CaptureLog() starts (dropping anything
// collected before), CapturedLog() stops and returns what the library said meanwhile,
// from whichever thread it said it.
#pragma once

#include <cstddef>
#include <mutex>
#include <string>

#include "log_sink.h"

namespace corlink::test {

namespace log_capture_detail {
struct Collected {
  std::mutex mutex;
  std::string text;
};
inline Collected& Store() {
  static Collected collected;
  return collected;
}
inline void Append(const char* text, size_t length) {
  Collected& c = Store();
  std::lock_guard<std::mutex> lock(c.mutex);
  c.text.append(text, length);
}
}  // namespace log_capture_detail

inline void CaptureLog() {
  {
    log_capture_detail::Collected& c = log_capture_detail::Store();
    std::lock_guard<std::mutex> lock(c.mutex);
    c.text.clear();
  }
  SetLogSink(log_capture_detail::Append);
}

inline std::string CapturedLog() {
  SetLogSink(nullptr);
  log_capture_detail::Collected& c = log_capture_detail::Store();
  std::lock_guard<std::mutex> lock(c.mutex);
  std::string text;
  text.swap(c.text);
  return text;
}

}  // namespace corlink::test
