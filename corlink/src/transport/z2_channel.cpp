#include "transport/z2_channel.h"

#include <algorithm>
#include <cstring>

#include "corlink.h"
#include "library_state.h"
#include "transport/log.h"
#include "transport/report_carrier.h"
#include "transport/timing.h"

namespace corlink::transport {

namespace {

uint8_t g_report[kZ2ReportSize];
uint8_t g_answer[kZ2ReportSize];

unsigned RetryDelay() { return State().retry[kRetryZ2Report].delay_ms; }

}  // namespace

uint8_t* Z2Report() { return g_report; }

uint8_t* Z2ClearReport(uint8_t code) {
  std::memset(g_report, 0, sizeof g_report);
  g_report[0] = kZ2OutputId;
  g_report[1] = code;
  return g_report;
}

bool Z2WriteOnce(int fd, const uint8_t* report) {
  DumpPacket("W: ", report, kZ2ReportSize);
  return ReportWrite(Z2ReportFamily(), fd, report, kZ2ReportSize, kZ2TimeoutMs);
}

namespace {
bool ReadAnswer(int fd, uint8_t* report, bool after_write) {
  bool ok = ReportRead(Z2ReportFamily(), fd, report, kZ2ReportSize, kZ2TimeoutMs, after_write);
  if (ok) DumpPacket("R: ", report, kZ2ReportSize);
  return ok;
}
}  // namespace

bool Z2ReadOnce(int fd, uint8_t* report) { return ReadAnswer(fd, report, false); }

int Z2Command(int fd, const uint8_t* report) {
  for (int i = 0; i < kZ2Tries; ++i) {
    if (Z2WriteOnce(fd, report)) return 0;
    if (i + 1 < kZ2Tries) SleepMs(RetryDelay());
  }
  return CORLINK_ERR_FAILED;
}

int Z2CommandRead(int fd, const uint8_t* report, uint8_t* answer) {
  if (!Z2WriteOnce(fd, report)) return CORLINK_ERR_FAILED;
  return ReadAnswer(fd, answer, true) ? 0 : CORLINK_ERR_FAILED;
}

bool Z2SlaveWrite(int fd, uint8_t slave, uint8_t command, const uint8_t* payload, size_t n) {
  if (n > kZ2SlaveMaxPayload) return false;
  uint8_t* r = Z2ClearReport(0xF0);
  r[2] = slave;
  r[3] = command;
  r[4] = static_cast<uint8_t>(n);
  if (n) std::memcpy(r + 5, payload, n);
  for (int i = 0; i < kZ2Tries; ++i) {
    if (Z2WriteOnce(fd, r)) return true;
    if (i + 1 < kZ2Tries) SleepMs(RetryDelay());
  }
  return false;
}

bool Z2SlaveRead(int fd, uint8_t slave, uint8_t command, uint8_t* out, size_t cap, size_t* out_len) {
  *out_len = 0;
  uint8_t* r = Z2ClearReport(0x0F);
  r[2] = slave;
  r[3] = command;
  if (!Z2WriteOnce(fd, r)) return false;
  if (!ReadAnswer(fd, g_answer, true)) return false;
  if (g_answer[0] != kZ2InputId || g_answer[1] != 0x0F) return false;
  size_t n = std::min<size_t>({g_answer[2], kZ2SlaveMaxPayload, cap});
  std::memcpy(out, g_answer + 3, n);
  *out_len = n;
  return true;
}

}  // namespace corlink::transport
