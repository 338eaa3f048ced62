#include "hid/report_descriptor.h"

#include <algorithm>
#include <cstdio>

namespace corlink::hid {

namespace {

enum ItemType : uint8_t { kMain = 0, kGlobal = 1, kLocal = 2, kReserved = 3 };

enum MainTag : uint8_t {
  kInput = 0x8, kOutput = 0x9, kCollection = 0xA, kFeature = 0xB, kEndCollection = 0xC
};
enum GlobalTag : uint8_t {
  kLogicalMin = 0x1, kLogicalMax = 0x2, kReportSize = 0x7, kReportId = 0x8,
  kReportCount = 0x9, kPush = 0xA, kPop = 0xB
};
enum LocalTag : uint8_t { kUsage = 0x0, kUsageMin = 0x1, kUsageMax = 0x2 };

constexpr uint32_t kMainConstant = 0x01;  // padding, no capability
constexpr uint32_t kMainVariable = 0x02;  // clear: an array (always buttons)
constexpr size_t kMaxPushDepth = 16;
constexpr size_t kMaxUsageGroups = 256;

struct GlobalState {
  int32_t logical_min = 0;
  int32_t logical_max = 0;
  uint32_t report_size = 0;
  uint32_t report_count = 0;
  uint8_t report_id = 0;
};

// A usage or a usage range declared before a main item.
struct UsageGroup {
  uint32_t min = 0, max = 0;
  uint32_t size() const { return max >= min ? max - min + 1 : 1; }
};

struct LocalState {
  std::vector<UsageGroup> groups;
  bool have_min = false, have_max = false;
  uint32_t min = 0, max = 0;

  void CloseRange() {
    if (have_min && have_max && groups.size() < kMaxUsageGroups) groups.push_back({min, max});
    have_min = have_max = false;
  }
};

int32_t SignedValue(uint32_t raw, size_t bytes) {
  if (bytes == 1) return static_cast<int8_t>(raw);
  if (bytes == 2) return static_cast<int16_t>(raw);
  return static_cast<int32_t>(raw);
}

class Parser {
 public:
  ParsedDescriptor Run(const uint8_t* data, size_t size) {
    if (size > kMaxDescriptorSize) return Fail("descriptor larger than 4096 bytes");
    size_t pos = 0;
    while (pos < size) {
      const uint8_t prefix = data[pos];
      if (prefix == 0xFE) {  // long item: skipped, but its length must fit
        if (size - pos < 3) return Fail("truncated long item");
        const size_t len = data[pos + 1];
        if (size - pos - 3 < len) return Fail("truncated long item");
        pos += 3 + len;
        continue;
      }
      static constexpr size_t kSizes[4] = {0, 1, 2, 4};
      const size_t len = kSizes[prefix & 3];
      if (size - pos - 1 < len) return Fail("truncated item");
      uint32_t raw = 0;
      for (size_t i = 0; i < len; ++i) raw |= static_cast<uint32_t>(data[pos + 1 + i]) << (8 * i);
      const auto type = static_cast<ItemType>((prefix >> 2) & 3);
      const uint8_t tag = prefix >> 4;
      if (!Item(type, tag, raw, len)) return result_;
      pos += 1 + len;
    }
    if (depth_ != 0) return Fail("unbalanced collection at end of descriptor");
    result_.ok = true;
    return result_;
  }

 private:
  ParsedDescriptor Fail(const char* why) {
    result_.ok = false;
    result_.error = why;
    result_.collections.clear();
    return result_;
  }

  // The same for an item handler: false stops the parse.
  bool Refuse(const char* why) {
    Fail(why);
    return false;
  }

  bool Item(ItemType type, uint8_t tag, uint32_t raw, size_t len) {
    switch (type) {
      case kMain: return MainItem(tag, raw);
      case kGlobal: return GlobalItem(tag, raw, len);
      case kLocal: LocalItem(tag, raw); return true;
      case kReserved: return true;
    }
    return true;
  }

  bool MainItem(uint8_t tag, uint32_t flags) {
    bool ok = true;
    switch (tag) {
      case kCollection:
        if (depth_ == 0) {
          if (result_.collections.size() >= kMaxCollections)
            return Refuse("too many top-level collections");
          result_.collections.emplace_back();
        }
        if (++depth_ > 64) return Refuse("collections nested too deeply");
        break;
      case kEndCollection:
        if (depth_ == 0) return Refuse("end collection without collection");
        --depth_;
        break;
      case kInput:
      case kOutput:
      case kFeature:
        ok = Field(tag, flags);
        break;
      default:
        break;
    }
    local_ = LocalState{};  // local items apply to one main item only
    return ok;
  }

  bool Field(uint8_t tag, uint32_t flags) {
    if (depth_ == 0 || result_.collections.empty()) return true;  // outside any collection
    if (flags & kMainConstant) return true;
    if (global_.report_count == 0) return true;  // no fields, nothing to report
    Collection& c = result_.collections.back();
    std::vector<ReportEntry>& list =
        tag == kInput ? c.inputs : (tag == kOutput ? c.outputs : c.features);

    local_.CloseRange();
    const bool variable = (flags & kMainVariable) != 0;
    const bool button = !variable || (global_.report_size == 1 && global_.logical_min == 0 &&
                                      global_.logical_max == 1);
    ReportEntry e;
    e.report_id = global_.report_id;
    e.report_size = global_.report_size;
    e.is_button = button;
    if (button) {
      const size_t caps = std::max<size_t>(1, local_.groups.size());
      for (size_t i = 0; i < caps; ++i) Add(list, e);
      return true;
    }
    uint64_t usages = 0;
    for (const UsageGroup& g : local_.groups) usages += g.size();
    const uint32_t fields = global_.report_count;
    if (usages == 0) usages = 1;
    usages = std::min<uint64_t>(usages, fields);
    for (uint64_t i = 0; i + 1 < usages && list.size() < kMaxEntriesPerCollection; ++i) {
      e.report_count = 1;
      Add(list, e);
    }
    e.report_count = fields - static_cast<uint32_t>(usages - 1);
    Add(list, e);
    return true;
  }

  static void Add(std::vector<ReportEntry>& list, const ReportEntry& e) {
    if (list.size() < kMaxEntriesPerCollection) list.push_back(e);
  }

  bool GlobalItem(uint8_t tag, uint32_t raw, size_t len) {
    switch (tag) {
      case kLogicalMin: global_.logical_min = SignedValue(raw, len); break;
      case kLogicalMax: global_.logical_max = SignedValue(raw, len); break;
      case kReportSize: global_.report_size = raw; break;
      case kReportCount: global_.report_count = raw; break;
      case kReportId:
        if (raw == 0 || raw > 0xFF) return Refuse("report id out of range 1..255");
        global_.report_id = static_cast<uint8_t>(raw);
        break;
      case kPush:
        if (stack_.size() >= kMaxPushDepth) return Refuse("push stack overflow");
        stack_.push_back(global_);
        break;
      case kPop:
        if (stack_.empty()) return Refuse("pop without push");
        global_ = stack_.back();
        stack_.pop_back();
        break;
      default:
        break;
    }
    return true;
  }

  void LocalItem(uint8_t tag, uint32_t raw) {
    switch (tag) {
      case kUsage:
        if (local_.groups.size() < kMaxUsageGroups) local_.groups.push_back({raw, raw});
        break;
      case kUsageMin:
        local_.min = raw;
        local_.have_min = true;
        if (local_.have_max) local_.CloseRange();
        break;
      case kUsageMax:
        local_.max = raw;
        local_.have_max = true;
        if (local_.have_min) local_.CloseRange();
        break;
      default:
        break;
    }
  }

  ParsedDescriptor result_;
  GlobalState global_;
  LocalState local_;
  std::vector<GlobalState> stack_;
  int depth_ = 0;
};

}  // namespace

ParsedDescriptor ParseReportDescriptor(const uint8_t* data, size_t size) {
  if (data == nullptr && size != 0) return {false, "no descriptor data", {}};
  return Parser().Run(data, size);
}

}  // namespace corlink::hid
