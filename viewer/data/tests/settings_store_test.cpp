#include "data/settings_store.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "temp_dir.h"

namespace pelorin {
namespace {

using testing::ReadAll;
using testing::TempDir;
using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStdout;

std::string RoundTrip(std::string_view text) { return SettingsStore::Parse(text)->Serialize(); }

TEST(SettingsStoreHash, LowercasesAndTakesSignedBytes) {
  EXPECT_EQ(SettingsStore::Hash(""), 0u);
  EXPECT_EQ(SettingsStore::Hash("a"), 194u);
  EXPECT_EQ(SettingsStore::Hash("A"), 194u);
  EXPECT_EQ(SettingsStore::Hash("Pelorin"), 10456u);
  EXPECT_EQ(SettingsStore::Hash("DELAY_BEFORE_ENABLE_DIGNOSIS"), 1556351658u);
  EXPECT_EQ(SettingsStore::Hash("\xE9"), 4294967250u);  // -23 widened, then doubled
}

// Sections Mask and Pelorin share bucket 9, keys REVERSE and SOURCE_TYPE bucket 3: the
// newer entry of a bucket is written first. Buckets: Diff 0, DEFAULT 4, Pelorin 9;
// MIN_DATA_RANGE 20, MAX_DATA_RANGE 27; DRAW_STYLE 23.
TEST(SettingsStoreWriteBack, HashOrderByteForByte) {
  const char* sample =
      "# written by hand\n"
      "TOP=1\n"
      "[Mask]\n"
      "MASK_RX=1,2   # blanks before the comment stay\n"
      "[Pelorin]\n"
      "REVERSE = 0\n"
      "SOURCE_TYPE : 4\n"
      "\n"
      "  DRAW_STYLE=1\n"
      "[Empty]\n"
      "[Diff]\n"
      "MAX_DATA_RANGE=250\n"
      "MIN_DATA_RANGE=0";
  EXPECT_EQ(RoundTrip(sample),
            "[Diff]\nMIN_DATA_RANGE=0\nMAX_DATA_RANGE=250\n\n"
            "[DEFAULT]\nTOP=1\n\n"
            "[Pelorin]\nSOURCE_TYPE=4\nREVERSE=0\nDRAW_STYLE=1\n\n"
            "[Mask]\nMASK_RX=1,2   \n\n");
}

TEST(SettingsStoreWriteBack, DefaultSectionAlwaysWritten) {
  EXPECT_EQ(RoundTrip(""), "[DEFAULT]\n\n");
  EXPECT_EQ(RoundTrip("# only a comment\n[Lonely]\n"), "[DEFAULT]\n\n");
  // An explicit DEFAULT header is the same section as keys before the first header.
  EXPECT_EQ(RoundTrip("a=1\n[DEFAULT]\nb=2\n"), "[DEFAULT]\na=1\nb=2\n\n");
}

TEST(SettingsStoreParse, ValuesAndSeparators) {
  const auto store = SettingsStore::Parse(
      "[S]\n"
      "eq=1\n"
      "colon:2\n"
      "spaced \t =\t 3\n"
      "empty=\n"
      "commented=#gone\n"
      "inner=a b=c:d\n"
      "dup=old\n"
      "dup=new\n"
      "crlf=5\r\n"
      "lonecr=6\r7\n");
  const auto value = [&](const char* key) {
    const std::string* v = store->Find("S", key);
    return v ? *v : std::string("<missing>");
  };
  EXPECT_EQ(value("eq"), "1");
  EXPECT_EQ(value("colon"), "2");
  EXPECT_EQ(value("spaced"), "3");
  EXPECT_EQ(value("empty"), "");
  EXPECT_EQ(value("commented"), "");
  EXPECT_EQ(value("inner"), "a b=c:d");
  EXPECT_EQ(value("dup"), "new");
  EXPECT_EQ(value("crlf"), "5");
  EXPECT_EQ(value("lonecr"), "6\r7");
  EXPECT_EQ(store->Find("s", "eq"), nullptr) << "names are case-sensitive";
}

TEST(SettingsStoreParse, KeyWithoutSeparatorTakesTheNextSeparatedValue) {
  // Whatever stands between a key and its separator is skipped, across lines.
  const auto store = SettingsStore::Parse("[S]\nlonely\nnext=9\n");
  ASSERT_NE(store->Find("S", "lonely"), nullptr);
  EXPECT_EQ(*store->Find("S", "lonely"), "9");
  EXPECT_EQ(store->Find("S", "next"), nullptr);
}

TEST(SettingsStoreParse, LastLineWithoutLineFeedIsStored) {
  auto store = SettingsStore::Parse("[S]\na=1\nb=22");
  ASSERT_NE(store->Find("S", "b"), nullptr);
  EXPECT_EQ(*store->Find("S", "b"), "22");
  store = SettingsStore::Parse("[S]\nc= ");
  ASSERT_NE(store->Find("S", "c"), nullptr);
  EXPECT_EQ(*store->Find("S", "c"), "");
  store = SettingsStore::Parse("[S]\nd=4 # note");
  EXPECT_EQ(*store->Find("S", "d"), "4 ");
}

TEST(SettingsStoreParse, TextEndsAtNulByte) {
  const std::string text("[S]\na=1\n\0b=2\n", 13);
  const auto store = SettingsStore::Parse(text);
  EXPECT_NE(store->Find("S", "a"), nullptr);
  EXPECT_EQ(store->Find("S", "b"), nullptr);
  EXPECT_EQ(store->NotWholeReason(), "the file holds a NUL byte on line 3, where reading stopped");
}

TEST(SettingsStoreSetInt, ChangesOnlyExistingKeys) {
  auto store = SettingsStore::Parse("[Pelorin]\nVIEW_POINT=1\n");
  EXPECT_TRUE(store->SetInt("Pelorin", "VIEW_POINT", -2147483647 - 1));
  EXPECT_EQ(*store->Find("Pelorin", "VIEW_POINT"), "-2147483648");
  EXPECT_TRUE(store->SetInt("Pelorin", "VIEW_POINT", 3));
  EXPECT_EQ(*store->Find("Pelorin", "VIEW_POINT"), "3");

  CaptureStdout();
  EXPECT_FALSE(store->SetInt("Pelorin", "AUTO_CENTER", 1));
  EXPECT_EQ(GetCapturedStdout(), "") << "a missing key fails quietly";

  CaptureStdout();
  EXPECT_FALSE(store->SetInt("Filter", "TOP_LEFT", 1));
  EXPECT_FALSE(store->SetInt("pelorin", "VIEW_POINT", 1));
  EXPECT_EQ(GetCapturedStdout(), "do not exit section Filter\ndo not exit section pelorin\n");
  EXPECT_EQ(store->Serialize(), "[DEFAULT]\n\n[Pelorin]\nVIEW_POINT=3\n\n");
}

TEST(SettingsStoreLoad, SizeLimit) {
  TempDir dir;
  const std::string head = "[S]\nk=1\n#";
  std::string text = head + std::string(SettingsStore::kMaxFileSize - head.size(), 'x');
  auto store = SettingsStore::Load(dir.Write("fits.ini", text));
  ASSERT_NE(store, nullptr) << "exactly 65,536 bytes still load";
  EXPECT_EQ(*store->Find("S", "k"), "1");
  EXPECT_TRUE(store->HoldsWholeFile());
  store = SettingsStore::Load(dir.Write("big.ini", text + "x"));
  ASSERT_NE(store, nullptr);
  EXPECT_FALSE(store->HoldsWholeFile());
  EXPECT_EQ(store->NotWholeReason(), "the file is larger than 65536 bytes");
  EXPECT_EQ(store->Find("S", "k"), nullptr) << "nothing of a file too large is stored";
}

TEST(SettingsStoreLoad, MissingFileOrFolderGivesNone) {
  TempDir dir;
  EXPECT_EQ(SettingsStore::Load(dir.File("absent.ini")), nullptr);
  EXPECT_EQ(SettingsStore::Load(dir.Path().string()), nullptr);
}

TEST(SettingsStoreSave, ReplacesTheFileWhole) {
  TempDir dir;
  const std::string path = dir.Write("PLsetting.ini", "# old\n[S]\nk = 1 # c\n");
  std::filesystem::permissions(path, std::filesystem::perms(0640));
  auto store = SettingsStore::Load(path);
  ASSERT_NE(store, nullptr);
  ASSERT_TRUE(store->SetInt("S", "k", 12345));
  EXPECT_TRUE(store->Save(path));
  EXPECT_EQ(ReadAll(path), "[DEFAULT]\n\n[S]\nk=12345\n\n");
  EXPECT_EQ(std::filesystem::status(path).permissions(), std::filesystem::perms(0640));
  size_t files = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.Path())) ++files;
  EXPECT_EQ(files, 1u) << "no temporary file is left behind";

  // A new file is created when none exists.
  EXPECT_TRUE(store->Save(dir.File("new.ini")));
  EXPECT_EQ(ReadAll(dir.File("new.ini")), ReadAll(path));
}

}  // namespace
}  // namespace pelorin
