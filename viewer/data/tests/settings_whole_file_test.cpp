// PLsetting.ini is the user's file: a load that did not read all of it never leads to a
// save that shrinks it, and a save that fails leaves it byte for byte as it was.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <functional>
#include <optional>

#include "data/settings_file.h"
#include "data/whole_file.h"
#include "temp_dir.h"

namespace pelorin {
namespace {

using testing::ReadAll;
using testing::TempDir;
using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStdout;

std::string DefaultFile() { return ReadAll(PELORIN_DEFAULT_SETTINGS); }

// The default file with Base's maximum changed, so that reading [Base] shows.
std::string DefaultWithBaseMax(int32_t max) {
  std::string text = DefaultFile();
  const size_t at = text.find("MAX_DATA_RANGE=250");
  return text.replace(at, 18, "MAX_DATA_RANGE=" + std::to_string(max));
}

std::string Inserted(std::string text, std::string_view before, std::string_view what) {
  return text.insert(text.find(before), what);
}

SettingsToSave Changed() {
  SettingsToSave v;
  v.viewPoint = 2;
  for (int32_t t = 1; t <= 6; ++t) v.ranges.For(t) = {240, 3};
  v.displayRangeShift = 9;
  return v;
}

size_t FilesIn(const TempDir& dir) {
  size_t n = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.Path())) ++n;
  return n;
}

struct LoadCase {
  const char* name;
  std::string text;
  bool saved;          // false: the file must stay byte for byte
  const char* reason;  // in the line printed when not saved
};

TEST(SettingsNotReadWhole, NeverRewrittenWithLess) {
  const std::string longPoints(5000, '1');
  const LoadCase cases[] = {
      {"NUL byte before [Pelorin]",
       Inserted(DefaultWithBaseMax(111), "[Pelorin]", std::string_view("\0", 1)), false,
       "the file holds a NUL byte on line 29, where reading stopped"},
      {"UTF-16 text", std::string("\xFF\xFE[\0B\0a\0s\0e\0]\0\n\0", 16), false,
       "the file is UTF-16 text (byte-order mark FF FE)"},
      {"larger than the store takes",
       DefaultWithBaseMax(111) + "#" + std::string(SettingsStore::kMaxFileSize, '-') + "\n", false,
       "the file is larger than 65536 bytes"},
      {"UTF-8 byte-order mark", "\xEF\xBB\xBF" + DefaultWithBaseMax(111), true, ""},
      {"a value line longer than the reader keeps",
       Inserted(DefaultWithBaseMax(111), "MASK_POINT=", "MASK_POINT=" + longPoints + "\n#"), true,
       ""},
  };
  for (const LoadCase& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string path = dir.Write("PLsetting.ini", c.text);
    SettingsSnapshot loaded = LoadSettings(path);
    if (!c.text.starts_with("\xFF\xFE")) {
      // The values are read all the same, [Base] at the byte-order mark included.
      EXPECT_EQ(loaded.ranges.For(kSourceBase).max, 111);
      EXPECT_EQ(loaded.stage, LoadStage::kAllRead);
    }
    CaptureStdout();
    const SaveOutcome out = SaveSettings(loaded.store, path, Changed());
    const std::string printed = GetCapturedStdout();
    EXPECT_EQ(out.saved, c.saved);
    EXPECT_TRUE(out.failedTitles.empty()) << out.failedTitles.front();
    EXPECT_EQ(FilesIn(dir), 1u) << "no temporary file is left";
    const std::string written = ReadAll(path);
    if (!c.saved) {
      EXPECT_EQ(written, c.text) << "the file is left byte for byte";
      EXPECT_EQ(printed, "settings not saved, " + path + " is left as it was: " + c.reason + "\n");
      continue;
    }
    EXPECT_EQ(printed, "");
    EXPECT_EQ(written.starts_with("\xEF\xBB\xBF"), c.text.starts_with("\xEF\xBB\xBF"))
        << "a byte-order mark is written back as it was read";
    for (const char* kept : {"[Base]", "[Pelorin]", "[Hide]", "[Mask]", "[Filter]",
                             "VIEW_POINT=2\n", "DISPLAY_RANGE_SHIFT=9\n", "MAX_DATA_RANGE=240\n"})
      EXPECT_NE(written.find(kept), std::string::npos) << kept;
    if (c.text.find(longPoints) != std::string::npos) {
      EXPECT_NE(written.find("MASK_POINT=" + longPoints + "\n"), std::string::npos);
    }
    const SettingsSnapshot again = LoadSettings(path);
    EXPECT_EQ(again.viewPoint, 2);
    EXPECT_EQ(again.ranges.For(kSourceBase).max, 240);
  }
}

// A read that ends before the size the file had (it shrank, or the disk failed) gives a
// store that will not write back.
TEST(SettingsNotReadWhole, TruncatedReadIsNotSaved) {
  TempDir dir;
  const std::string original = DefaultFile();
  const std::string path = dir.Write("PLsetting.ini", original);
  int pipe[2];
  ASSERT_EQ(::pipe(pipe), 0);
  ASSERT_EQ(::write(pipe[1], original.data(), 500), 500);
  ::close(pipe[1]);
  const FileRead read = ReadWholeDescriptor(pipe[0], original.size(), SettingsStore::kMaxFileSize);
  ::close(pipe[0]);
  ASSERT_EQ(read.status, FileReadStatus::kShortRead);

  std::unique_ptr<SettingsStore> store = SettingsStore::FromRead(read);
  CaptureStdout();
  const SaveOutcome out = SaveSettings(store, path, Changed());
  EXPECT_EQ(GetCapturedStdout(), "settings not saved, " + path +
                                     " is left as it was: only 500 of " +
                                     std::to_string(original.size()) + " bytes could be read\n");
  EXPECT_FALSE(out.saved);
  EXPECT_TRUE(out.failedTitles.empty()) << "no message box for keys in the part not read";
  EXPECT_EQ(ReadAll(path), original);
}

// Sets RLIMIT_FSIZE for the scope: a write past it fails with EFBIG as on a full disk.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    ::getrlimit(RLIMIT_FSIZE, &old_);
    oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit lower = old_;
    lower.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &lower);
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &old_);
    std::signal(SIGXFSZ, oldHandler_);
  }

 private:
  rlimit old_{};
  void (*oldHandler_)(int) = nullptr;
};

struct SaveFailure {
  const char* name;
  std::function<std::string(const TempDir&)> prepare;  // gives the path to save to
  const char* printed;                                 // the line, after the path
  bool needsPermissions = false;                       // root writes anyway
};

TEST(SettingsSaveFails, TheOriginalStaysByteForByte) {
  const std::string original = DefaultFile();
  const auto settings = [&](const TempDir& d) { return d.Write("PLsetting.ini", original); };
  const SaveFailure cases[] = {
      {"no such folder", [](const TempDir& d) { return d.File("missing/PLsetting.ini"); },
       "can not open {} to write: No such file or directory"},
      {"the folder is a file",
       [](const TempDir& d) { return d.Write("folder", "x") + "/PLsetting.ini"; },
       "can not open {} to write: Not a directory"},
      {"the settings path is a folder",
       [](const TempDir& d) {
         std::filesystem::create_directory(d.File("PLsetting.ini"));
         return d.File("PLsetting.ini");
       },
       "can not open {} to write: Is a directory"},
      {"the write fails part way (file size limit, as a full disk)", settings,
       "can not write {}: File too large; the file is left as it was"},
      {"a read-only file",
       [&](const TempDir& d) {
         const std::string p = settings(d);
         ::chmod(p.c_str(), 0444);
         return p;
       },
       "can not open {} to write: Permission denied", true},
      {"a read-only folder",
       [&](const TempDir& d) {
         const std::string p = settings(d);
         ::chmod(d.Path().c_str(), 0555);
         return p;
       },
       "can not open {} to write: Permission denied", true},
  };
  for (const SaveFailure& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.needsPermissions && ::geteuid() == 0) continue;  // permissions do not bind root
    TempDir dir;
    const std::string path = c.prepare(dir);
    const size_t files = FilesIn(dir);
    std::unique_ptr<SettingsStore> store = SettingsStore::Parse(original);
    CaptureStdout();
    SaveOutcome out;
    {
      std::optional<FileSizeLimit> limit;
      if (std::string_view(c.printed).find("File too large") != std::string_view::npos)
        limit.emplace(original.size() / 2);
      out = SaveSettings(store, path, Changed());
    }
    std::string expected = c.printed;
    expected.replace(expected.find("{}"), 2, path);
    EXPECT_EQ(GetCapturedStdout(), expected + "\n");
    EXPECT_FALSE(out.saved);
    ::chmod(dir.Path().c_str(), 0755);
    EXPECT_EQ(FilesIn(dir), files) << "the temporary file is removed";
    if (std::filesystem::is_regular_file(path)) {
      EXPECT_EQ(ReadAll(path), original);
    }
  }
}

// Through a symbolic link, the file it points to is replaced and the link stays.
TEST(SettingsSave, ThroughALinkReplacesItsTarget) {
  TempDir dir;
  const std::string target = dir.Write("kept.ini", DefaultFile());
  const std::string link = dir.File("PLsetting.ini");
  std::filesystem::create_symlink(target, link);
  SettingsSnapshot loaded = LoadSettings(link);
  EXPECT_TRUE(SaveSettings(loaded.store, link, Changed()).saved);
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_NE(ReadAll(target).find("VIEW_POINT=2\n"), std::string::npos);
}

struct ReadCase {
  const char* name;
  std::function<FileRead(const TempDir&)> read;
  FileReadStatus status;
  const char* reason;
};

TEST(WholeFile, TellsWhatWasNotRead) {
  const ReadCase cases[] = {
      {"whole", [](const TempDir& d) { return ReadWholeFile(d.Write("f", "abc"), 3); },
       FileReadStatus::kWhole, ""},
      {"missing", [](const TempDir& d) { return ReadWholeFile(d.File("f"), 9); },
       FileReadStatus::kNotOpened, "No such file or directory"},
      {"folder", [](const TempDir& d) { return ReadWholeFile(d.Path().string(), 9); },
       FileReadStatus::kNotRegular, "is a folder"},
      {"FIFO, refused without waiting for a writer",
       [](const TempDir& d) {
         ::mkfifo(d.File("fifo").c_str(), 0600);
         return ReadWholeFile(d.File("fifo"), 9);
       },
       FileReadStatus::kNotRegular, "is not a regular file"},
      {"one byte over the limit",
       [](const TempDir& d) { return ReadWholeFile(d.Write("f", "abcd"), 3); },
       FileReadStatus::kTooLarge, "is larger than 3 bytes"},
      {"read error",
       [](const TempDir& d) {
         const int fd = ::open(d.Write("f", "abc").c_str(), O_WRONLY);
         FileRead r = ReadWholeDescriptor(fd, 3, 9);
         ::close(fd);
         return r;
       },
       FileReadStatus::kReadError, "reading failed after 0 bytes: Bad file descriptor"},
  };
  for (const ReadCase& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const FileRead r = c.read(dir);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.reason, c.reason);
    EXPECT_EQ(r.Whole(), c.status == FileReadStatus::kWhole);
    if (c.status == FileReadStatus::kTooLarge) {
      EXPECT_EQ(r.text, "abc") << "the part that fits";
    }
  }
}

}  // namespace
}  // namespace pelorin
