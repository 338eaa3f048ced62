// SettingsStore: PLsetting.ini held in memory as loaded, so the window can change the
// integer values it saves at close and write the file back. Only keys the file already
// has can be changed; the write-back lists sections and keys in the store's hash order
// and drops comments.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace pelorin {

class SettingsStore {
 public:
  static constexpr size_t kMaxFileSize = 65536;
  static constexpr uint32_t kBucketCount = 31;
  // Keys before the first section header belong to this section; it always exists.
  static constexpr std::string_view kDefaultSection = "DEFAULT";

  // h = (lowercase(c) XOR h) * 2 over the name's characters taken as signed 8-bit
  // values, in unsigned 32-bit arithmetic. The bucket is Hash % 31.
  static uint32_t Hash(std::string_view name);

  // Reads and parses the file. None when its size cannot be determined or exceeds
  // kMaxFileSize, or when it cannot be opened (this prints "can not open <path>").
  static std::unique_ptr<SettingsStore> Load(const std::string& path);

  // Parses file contents (CR LF line ends count as one line feed; a NUL byte ends the
  // text). Every input gives a store.
  static std::unique_ptr<SettingsStore> Parse(std::string_view text);

  // Replaces the value of an existing key with the decimal text of value. False (and a
  // message for a missing section) when the section or the key does not exist.
  bool SetInt(std::string_view section, std::string_view key, int32_t value);

  // The file as it is written back.
  std::string Serialize() const;

  // Writes Serialize() to a temporary file next to path and renames it over path, so
  // the old file stays whole when anything fails; then prints
  // "can not open <path> to write" and returns false.
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
};

// Releases the store; the pointer becomes none.
void Release(std::unique_ptr<SettingsStore>& store);

}  // namespace pelorin
