#include "panelsim/faults.h"

#include <cerrno>
#include <cstdlib>

namespace panelsim {
namespace {

const struct {
  FaultKind kind;
  const char* name;
} kKinds[] = {
    {FaultKind::Drop, "drop"},           {FaultKind::Late, "late"},
    {FaultKind::BadCrc, "bad-crc"},      {FaultKind::BadInnerCrc, "bad-inner-crc"},
    {FaultKind::Nack, "nack"},           {FaultKind::NackReason1, "nack-reason1"},
    {FaultKind::WrongLength, "wrong-length"}, {FaultKind::Garbage, "garbage"},
    {FaultKind::Unplug, "unplug"},       {FaultKind::NeverReady, "never-ready"},
    {FaultKind::UpdateFailed, "update-failed"},
};

bool ParseInt(const std::string& text, long lo, long hi, int* out) {
  if (text.empty() || text.size() > 12) return false;
  errno = 0;
  char* end = nullptr;
  long v = std::strtol(text.c_str(), &end, 0);
  if (errno != 0 || end == nullptr || *end != '\0' || v < lo || v > hi) return false;
  *out = static_cast<int>(v);
  return true;
}

}  // namespace

const char* FaultKindName(FaultKind kind) {
  for (const auto& k : kKinds)
    if (k.kind == kind) return k.name;
  return "?";
}

const std::vector<FaultKind>& AllFaultKinds() {
  static const std::vector<FaultKind> kinds = [] {
    std::vector<FaultKind> v;
    for (const auto& k : kKinds) v.push_back(k.kind);
    return v;
  }();
  return kinds;
}

std::string FaultKindList() {
  std::string out;
  for (const auto& k : kKinds) out += (out.empty() ? "" : ", ") + std::string(k.name);
  return out;
}

std::optional<Fault> ParseFault(const std::string& text, std::string* error) {
  std::string head = text.substr(0, text.find(':'));
  Fault fault;
  bool known = false;
  for (const auto& k : kKinds)
    if (head == k.name) {
      fault.kind = k.kind;
      known = true;
    }
  if (!known) {
    if (error) *error = "unknown fault kind \"" + head + "\"";
    return std::nullopt;
  }
  if (fault.kind == FaultKind::NeverReady) fault.count = -1;
  if (fault.kind == FaultKind::Late) fault.delay_ms = 4000;
  size_t pos = text.find(':');
  while (pos != std::string::npos) {
    size_t next = text.find(',', pos + 1);
    std::string item = text.substr(pos + 1, next == std::string::npos ? std::string::npos : next - pos - 1);
    size_t eq = item.find('=');
    std::string key = item.substr(0, eq);
    std::string value = eq == std::string::npos ? "" : item.substr(eq + 1);
    bool ok = false;
    if (key == "cmd") ok = ParseInt(value, -1, 255, &fault.command);
    else if (key == "skip") ok = ParseInt(value, 0, 1000000, &fault.skip);
    else if (key == "count") ok = ParseInt(value, -1, 1000000, &fault.count);
    else if (key == "delay") ok = ParseInt(value, 0, 600000, &fault.delay_ms);
    if (!ok) {
      if (error) *error = "bad fault option \"" + item + "\" in \"" + text + "\"";
      return std::nullopt;
    }
    pos = next;
  }
  return fault;
}

void FaultPlan::Add(const Fault& fault) {
  std::lock_guard<std::mutex> lock(mutex_);
  armed_.push_back({fault, 0, 0});
}

void FaultPlan::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  armed_.clear();
}

std::optional<Fault> FaultPlan::Take(int command, std::optional<FaultKind> only) {
  std::lock_guard<std::mutex> lock(mutex_);
  for (auto& a : armed_) {
    if (a.fault.kind == FaultKind::NeverReady) continue;
    if (only && a.fault.kind != *only) continue;
    // An update result is spoiled only where the result is given.
    if (!only && a.fault.kind == FaultKind::UpdateFailed) continue;
    if (a.fault.command != -1 && a.fault.command != command) continue;
    if (a.fault.count != -1 && a.used >= a.fault.count) continue;
    if (a.skipped < a.fault.skip) {
      ++a.skipped;
      continue;
    }
    ++a.used;
    ++applied_;
    return a.fault;
  }
  return std::nullopt;
}

bool FaultPlan::NeverReady() const {
  std::lock_guard<std::mutex> lock(mutex_);
  for (const auto& a : armed_)
    if (a.fault.kind == FaultKind::NeverReady) return true;
  return false;
}

int FaultPlan::Applied() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return applied_;
}

}  // namespace panelsim
