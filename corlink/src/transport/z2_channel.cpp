#include "transport/z2_channel.h"

#include <algorithm>
#include <cstring>

#include "corlink.h"
#include "library_state.h"
#include "retry.h"
#include "transport/log.h"
#include "transport/report_carrier.h"

namespace corlink::transport {

namespace {

std::optional<Z2Report> ReadAnswer(int fd, bool after_write) {
  Z2Report report;
  if (!ReportRead(ReportFamilyId::kZ2Report, fd, report.data(), kZ2ReportSize, kZ2TimeoutMs,
                  after_write))
    return std::nullopt;
  DumpPacket("R: ", report.data(), kZ2ReportSize);
  return report;
}

// Written until it goes out: five tries, the Z2 retry delay between them.
bool WriteTried(int fd, const Z2Report& report) {
  return RetryUntil(FixedTries(kZ2Tries, kRetryZ2Report),
                    [&](int) { return Z2WriteOnce(fd, report); });
}

}  // namespace

Z2Report Z2Letter(uint8_t code) {
  Z2Report r{};
  r[0] = kZ2OutputId;
  r[1] = code;
  return r;
}

bool Z2WriteOnce(int fd, const Z2Report& report) {
  DumpPacket("W: ", report.data(), kZ2ReportSize);
  return ReportWrite(ReportFamilyId::kZ2Report, fd, report.data(), kZ2ReportSize, kZ2TimeoutMs);
}

int Z2Command(int fd, const Z2Report& report) {
  return WriteTried(fd, report) ? CORLINK_OK : CORLINK_ERR_FAILED;
}

std::optional<Z2Report> Z2CommandRead(int fd, const Z2Report& report) {
  if (!Z2WriteOnce(fd, report)) return std::nullopt;
  return ReadAnswer(fd, true);
}

bool Z2SlaveWrite(int fd, uint8_t slave, uint8_t command, const uint8_t* payload, size_t n) {
  if (n > kZ2SlaveMaxPayload) return false;
  Z2Report r = Z2Letter(0xF0);
  r[2] = slave;
  r[3] = command;
  r[4] = static_cast<uint8_t>(n);
  if (n) std::memcpy(r.data() + 5, payload, n);
  return WriteTried(fd, r);
}

bool Z2SlaveRead(int fd, uint8_t slave, uint8_t command, uint8_t* out, size_t cap,
                 size_t* out_len) {
  *out_len = 0;
  Z2Report r = Z2Letter(0x0F);
  r[2] = slave;
  r[3] = command;
  if (!Z2WriteOnce(fd, r)) return false;
  const std::optional<Z2Report> answer = ReadAnswer(fd, true);
  if (!answer || (*answer)[0] != kZ2InputId || (*answer)[1] != 0x0F) return false;
  const size_t n = std::min<size_t>({(*answer)[2], kZ2SlaveMaxPayload, cap});
  std::memcpy(out, answer->data() + 3, n);
  *out_len = n;
  return true;
}

}  // namespace corlink::transport
