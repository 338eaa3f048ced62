// Helpers shared by the export shims: no C++ exception may cross the C boundary.
#pragma once

namespace corlink {

// Runs body; any exception becomes the export's failure value.
template <class R, class F>
R Guarded(R failure, F&& body) noexcept {
  try {
    return body();
  } catch (...) {
    return failure;
  }
}

template <class F>
void GuardedVoid(F&& body) noexcept {
  try {
    body();
  } catch (...) {
  }
}

}  // namespace corlink
