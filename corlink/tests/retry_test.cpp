// The retry rule every loop of the library runs through: how many tries, which rests, and
// what running out gives.
#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "retry.h"

namespace corlink {
namespace {

std::vector<unsigned>& Rests() {
  static std::vector<unsigned> rests;
  return rests;
}
void Rest(unsigned ms) { Rests().push_back(ms); }

TEST(Retry, TriesRestsAndResults) {
  struct Case {
    int tries;
    bool rest_after_last;
    int succeeds_at;  // the try that returns a result; -1: none does
    std::optional<int> result;
    int calls;
    std::vector<unsigned> rests;
  };
  const Case cases[] = {
      {0, false, 0, std::nullopt, 0, {}},         // no tries allowed: nothing is tried
      {0, true, 0, std::nullopt, 0, {}},          // and nothing rests
      {1, false, 0, 100, 1, {}},                  // the first try decides: no rest
      {3, false, 2, 102, 3, {7, 7}},              // rests between tries only
      {3, false, -1, std::nullopt, 3, {7, 7}},    // running out: no rest after the last
      {3, true, -1, std::nullopt, 3, {7, 7, 7}},  // unless the chip wants one
      {3, true, 1, 101, 2, {7}},                  // a result ends at once, rest or not
      {5, false, 4, 104, 5, {7, 7, 7, 7}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.tries << " tries, success at " << c.succeeds_at);
    Rests().clear();
    int calls = 0;
    const RetryRule rule{c.tries, 7, c.rest_after_last, Rest};
    const std::optional<int> r = Retry(rule, [&](int i) -> std::optional<int> {
      EXPECT_EQ(i, calls) << "tries are numbered from 0";
      ++calls;
      if (i == c.succeeds_at) return 100 + i;
      return std::nullopt;
    });
    EXPECT_EQ(r, c.result);
    EXPECT_EQ(calls, c.calls);
    EXPECT_EQ(Rests(), c.rests);
  }
}

TEST(Retry, RunningOutSaysWhetherTheChipWasReached) {
  EXPECT_EQ(RunOutResult(false), CORLINK_ERR_FAILED);
  EXPECT_EQ(RunOutResult(true), CORLINK_ERR_RETRIES);
  Rests().clear();
  int calls = 0;
  EXPECT_TRUE(RetryUntil({4, 3, false, Rest}, [&](int) { return ++calls == 2; }));
  EXPECT_EQ(calls, 2);
  EXPECT_FALSE(RetryUntil({2, 3, false, Rest}, [](int) { return false; }));
  EXPECT_EQ(Rests(), (std::vector<unsigned>{3, 3}));
}

}  // namespace
}  // namespace corlink
