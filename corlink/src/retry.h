// One rule for trying again: how many tries, the rest between them, and what running out
// means.
//
// Every loop of the library that repeats a transfer or a command runs through Retry, with
// the count and delay of its family (IO_SetRetryValue) or the fixed numbers of its
// protocol. What a loop returns when it runs out follows one rule too (RunOutResult): -1
// when no try got the request to the chip, -2 when the chip was reached but never gave a
// valid answer.
#pragma once

#include <optional>
#include <type_traits>

#include "corlink.h"
#include "library_state.h"
#include "transport/timing.h"

namespace corlink {

struct RetryRule {
  int tries;
  unsigned delay_ms;
  // Rest also after the last failed try (some chips need the pause before anything else).
  bool rest_after_last = false;
  // The transport clock by default (tests record instead of sleeping).
  void (*sleep_ms)(unsigned) = transport::SleepMs;
};

// The rule IO_SetRetryValue sets for a family.
inline RetryRule FamilyRule(RetryFamily family) {
  const RetrySetting& s = State().retry[family];
  return {s.count, s.delay_ms};
}

// A fixed number of tries with the family's delay between them.
inline RetryRule FixedTries(int tries, RetryFamily family) {
  return {tries, State().retry[family].delay_ms};
}

// Runs attempt(i) for i = 0, 1, ... until it returns an engaged optional, which is the
// result; std::nullopt when the tries ran out (the caller says what that means).
template <class Attempt>
auto Retry(const RetryRule& rule, Attempt&& attempt) -> std::invoke_result_t<Attempt&, int> {
  for (int i = 0; i < rule.tries; ++i) {
    if (auto done = attempt(i)) return done;
    if (i + 1 < rule.tries || rule.rest_after_last) rule.sleep_ms(rule.delay_ms);
  }
  return std::nullopt;
}

// For attempts that only succeed or fail: true once one succeeded.
template <class Attempt>
bool RetryUntil(const RetryRule& rule, Attempt&& attempt) {
  return Retry(rule,
               [&](int i) -> std::optional<bool> {
                 if (attempt(i)) return true;
                 return std::nullopt;
               })
      .has_value();
}

// What a loop that ran out returns: -2 when some try reached the chip, else -1.
inline int RunOutResult(bool reached_chip) {
  return reached_chip ? CORLINK_ERR_RETRIES : CORLINK_ERR_FAILED;
}

}  // namespace corlink
