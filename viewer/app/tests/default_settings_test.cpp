// The default settings copied into a working folder that has none.
#include "app/default_settings.h"

#include <stdlib.h>

#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

namespace pelorin {
namespace {

namespace fs = std::filesystem;

std::string Read(const fs::path& p) {
  std::ifstream in(p);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

class DefaultSettings : public testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/pelorin-defaults-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    root_ = tmpl;
    fs::create_directories(root_ / "share");
    fs::create_directories(root_ / "work");
    defaults_ = root_ / "share" / "PLsetting.ini";
    std::ofstream(defaults_) << "[Pelorin]\nMAX_DATA_RANGE=300\n";
    out_ = std::tmpfile();
    ASSERT_NE(out_, nullptr);
  }
  void TearDown() override {
    std::fclose(out_);
    fs::remove_all(root_);
  }
  std::string Printed() {
    std::fflush(out_);
    std::rewind(out_);
    std::string text;
    char buf[512];
    while (std::fgets(buf, sizeof buf, out_) != nullptr) text += buf;
    return text;
  }

  fs::path root_, defaults_;
  std::FILE* out_ = nullptr;
};

TEST_F(DefaultSettings, AFolderWithoutSettingsGetsTheDefaultsAndALineSayingSo) {
  EXPECT_TRUE(CopyDefaultSettingsIfMissing(defaults_, root_ / "work", out_));
  EXPECT_EQ(Read(root_ / "work" / "PLsetting.ini"), "[Pelorin]\nMAX_DATA_RANGE=300\n");
  const std::string line = Printed();
  EXPECT_EQ(line, "PLsetting.ini: none in " + (root_ / "work").string() +
                      "; copied the default settings from " + defaults_.string() + "\n");
  // The second start finds its own file and leaves it alone, quietly.
  std::ofstream(root_ / "work" / "PLsetting.ini") << "mine\n";
  EXPECT_FALSE(CopyDefaultSettingsIfMissing(defaults_, root_ / "work", out_));
  EXPECT_EQ(Read(root_ / "work" / "PLsetting.ini"), "mine\n");
  EXPECT_EQ(Printed(), line);
}

TEST_F(DefaultSettings, NoDefaultsOrNoFolderCopiesNothing) {
  EXPECT_FALSE(CopyDefaultSettingsIfMissing(root_ / "share" / "none.ini", root_ / "work", out_));
  EXPECT_FALSE(fs::exists(root_ / "work" / "PLsetting.ini"));
  EXPECT_EQ(Printed(), "");
  // A folder that cannot take the file: said, not fatal.
  EXPECT_FALSE(CopyDefaultSettingsIfMissing(defaults_, root_ / "missing", out_));
  EXPECT_NE(Printed().find("could not be copied"), std::string::npos);
}

TEST(DefaultSettingsPlace, BesideTheInstalledProgram) {
  EXPECT_EQ(InstalledDefaultSettings("/usr/bin/pelorin"),
            fs::path("/usr/share/pelorin/PLsetting.ini"));
  EXPECT_EQ(InstalledDefaultSettings("/opt/p/bin/pelorin"),
            fs::path("/opt/p/share/pelorin/PLsetting.ini"));
}

}  // namespace
}  // namespace pelorin
