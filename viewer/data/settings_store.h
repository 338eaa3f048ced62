// SettingsStore: PLsetting.ini held in memory as loaded, so the window can change the
// integer values it saves at close and write the file back. Only keys the file already
// has can be changed; the write-back lists sections and keys in the store's hash order
// and drops comments. A file that could not be read whole (a NUL byte, UTF-16 text, too
// large, a read error) is never written back: the store would hold less than the file.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace pelorin {

struct FileRead;

class SettingsStore {
 public:
  static constexpr size_t kMaxFileSize = 65536;
  static constexpr uint32_t kBucketCount = 31;
  // Keys before the first section header belong to this section; it always exists.
  static constexpr std::string_view kDefaultSection = "DEFAULT";

  // h = (lowercase(c) XOR h) * 2 over the name's characters taken as signed 8-bit
  // values, in unsigned 32-bit arithmetic. The bucket is Hash % 31.
  static uint32_t Hash(std::string_view name);

  // Reads and parses the file. None when it cannot be opened or is not a regular file
  // (this prints "can not open <path>"); a file read only in part gives a store that
  // refuses to be saved (FromRead).
  static std::unique_ptr<SettingsStore> Load(const std::string& path);

  // The store of a file as ReadWholeFile gave it. Unless the read was whole and fits in
  // kMaxFileSize, the store is empty and refuses to be saved, naming the reason.
  static std::unique_ptr<SettingsStore> FromRead(const FileRead& read);

  // Parses file contents (CR LF line ends count as one line feed). A UTF-8 byte-order
  // mark is read past and written back. A NUL byte ends the text, and UTF-16 text is not
  // read: such a store refuses to be saved. Every input gives a store.
  static std::unique_ptr<SettingsStore> Parse(std::string_view text);

  // Whether the store holds everything the file had, so that writing it back loses
  // nothing but comments. When not, NotWholeReason() says why, as in "the file holds a
  // NUL byte on line 12, where reading stopped".
  bool HoldsWholeFile() const { return notWhole_.empty(); }
  const std::string& NotWholeReason() const { return notWhole_; }

  // Replaces the value of an existing key with the decimal text of value. False (and a
  // message for a missing section) when the section or the key does not exist.
  bool SetInt(std::string_view section, std::string_view key, int32_t value);

  // The file as it is written back.
  std::string Serialize() const;

  // Writes Serialize() to a temporary file next to path (next to the file a symbolic
  // link points to), flushes it to the disk and renames it over path, so the old file
  // stays whole when anything fails. False, with a line on standard output naming the
  // file and the cause, when the store does not hold the whole file (nothing is written)
  // or when the file cannot be written ("can not open <path> to write: <cause>").
  bool Save(const std::string& path) const;

  bool HasSection(std::string_view section) const { return FindSection(section) != nullptr; }
  // The stored value text of a key, or nullptr.
  const std::string* Find(std::string_view section, std::string_view key) const;
  size_t SectionCount() const;

 private:
  struct Entry {
    std::string name;
    std::string value;
  };
  struct Section {
    std::string name;
    // Each chain is kept back to front: the newest entry, the chain's head, is last.
    std::array<std::vector<Entry>, kBucketCount> keys;
  };

  SettingsStore();
  Section& SectionNamed(std::string_view name);  // creates it when missing
  Section* FindSection(std::string_view name);
  const Section* FindSection(std::string_view name) const;
  void Store(std::string_view section, std::string_view key, std::string_view value);

  std::array<std::vector<Section>, kBucketCount> sections_;
  bool utf8Mark_ = false;  // the file began with a UTF-8 byte-order mark
  std::string notWhole_;   // empty when the store holds the whole file
};

// Releases the store; the pointer becomes none.
void Release(std::unique_ptr<SettingsStore>& store);

}  // namespace pelorin
