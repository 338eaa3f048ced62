// The data layer's own diagnostics follow the stream a program chose, whole and in order,
// and leave standard output alone while another stream is chosen.
#include "data/diagnostics.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>

#include "data/settings_store.h"

namespace pelorin {
namespace {

using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStdout;

std::string ReadBack(std::FILE* f) {
  std::string text;
  std::rewind(f);
  char chunk[256];
  while (size_t n = std::fread(chunk, 1, sizeof chunk, f)) text.append(chunk, n);
  return text;
}

struct Case {
  const char* name;
  std::function<void()> act;
  std::string expected;
};

TEST(Diagnostics, GoToTheChosenStreamAndBackToStandardOutput) {
  const std::string missing = "/nonexistent-pelorin-dir/PLsetting.ini";
  const Case cases[] = {
      {"a store without the section",
       [] {
         auto store = SettingsStore::Parse("[Pelorin]\nVIEW_POINT=1\n");
         (void)store->SetInt("Filter", "TOP_LEFT", 1);
       },
       "do not exit section Filter\n"},
      {"a settings file that cannot be opened", [&] { (void)SettingsStore::Load(missing); },
       "can not open " + missing + "\n"},
      {"a long formatted text", [] { Diagnostic("%s|%d\n", std::string(600, 'x').c_str(), 7); },
       std::string(600, 'x') + "|7\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::FILE* chosen = std::tmpfile();
    ASSERT_NE(chosen, nullptr);
    SetDiagnosticStream(chosen);
    CaptureStdout();
    c.act();
    EXPECT_EQ(GetCapturedStdout(), "");
    EXPECT_EQ(ReadBack(chosen), c.expected);

    SetDiagnosticStream(nullptr);
    CaptureStdout();
    c.act();
    EXPECT_EQ(GetCapturedStdout(), c.expected) << "the default is standard output";
    std::fclose(chosen);
  }
}

}  // namespace
}  // namespace pelorin
