#include "transport/z3_protocol.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "library_state.h"
#include "log_sink.h"
#include "retry.h"
#include "transport/bytes.h"
#include "transport/crc.h"
#include "transport/log.h"
#include "transport/report_carrier.h"
#include "transport/timing.h"

namespace corlink::transport {

namespace {

// What tells the carriers apart besides their byte layouts.
struct CarrierRules {
  ReportFamilyId report;
  size_t wire_size;       // bytes of every report written and read
  size_t max_payload;     // payload bytes a packet holds
  RetryFamily retry;      // whose IO_SetRetryValue numbers apply
  int timeout_ms;         // data and maintenance time-out
  int send_tries;         // tries of a write that must go out
  int exchange_attempts;  // write + status rounds of an exchange
  uint8_t result_at;      // 16-bit result field of an answer
  uint8_t data_at;        // first data byte of an answer
};

// By Z3Carrier. The tunnel's every write is itself up to five tries, and one exchange is
// one round.
constexpr CarrierRules kRules[] = {
    {ReportFamilyId::kZ3Usb, 64, 60, kRetryZ3Usb, 3000, 3, kZ3Attempts, 6, 8},
    {ReportFamilyId::kHidOverI2c, 58, 54, kRetryHidOverI2c, 200, 3, kZ3Attempts, 4, 6},
    {ReportFamilyId::kZ7Tunnel, 64, 56, kRetryZ7Tunnel, kZ7TimeoutMs, 5, 1, 10, 12},
};

const CarrierRules& RulesOf(Z3Carrier c) { return kRules[static_cast<size_t>(c)]; }

bool IsAck(const uint8_t* status) { return status[0] == 0xEF && status[1] == 0xBE; }
bool IsRefusal(const uint8_t* status) { return status[0] == 0xAD && status[1] == 0xDE; }

// One judged report: a result decides, nothing means read again.
using Verdict = std::optional<int>;

// The status word at `status`: acknowledged, refused (-3 when the chip gives reason 1), or
// not yet an answer.
Verdict StatusVerdict(const uint8_t* status, bool reason1) {
  if (IsAck(status)) return CORLINK_OK;
  if (IsRefusal(status)) return reason1 ? CORLINK_ERR_REFUSED : CORLINK_ERR_FAILED;
  return std::nullopt;
}

// Low byte of the CRC over buf[from..to); an empty range gives 0.
uint8_t Crc8(const uint8_t* buf, size_t from, size_t to) {
  return to > from ? static_cast<uint8_t>(Crc16(buf + from, to - from)) : 0;
}

void PrintMismatch(uint8_t predict, uint8_t receive) {
  Log("crc mismatch: predict = %02x, receive = %02x\n", predict, receive);
}

// Checks the CRC-8 in byte 3 of a 64-byte answer over bytes 4..L-1. An answer claiming
// more than the report holds cannot match.
bool AnswerCrcOk(const uint8_t* buf) {
  size_t len = static_cast<size_t>(buf[1]) + 1;
  uint8_t predict = Crc8(buf, 4, std::min(len, kZ3ReportSize));
  if (len > kZ3ReportSize || predict != buf[3]) {
    PrintMismatch(predict, buf[3]);
    return false;
  }
  return true;
}

Verdict JudgeUsb(const uint8_t* a) {
  if (!AnswerCrcOk(a)) return CORLINK_ERR_RETRIES;
  return StatusVerdict(a + 4, a[6] == 1);
}

Verdict JudgeHidOverI2c(const uint8_t* a) {
  const uint8_t predict = Crc8(a, 2, kHidOverI2cReportSize);
  if (predict != a[1]) {
    PrintMismatch(predict, a[1]);
    return CORLINK_ERR_RETRIES;
  }
  return StatusVerdict(a + 2, a[4] == 1);
}

Verdict JudgeTunnel(const uint8_t* a) {
  if (!AnswerCrcOk(a)) return CORLINK_ERR_RETRIES;
  const size_t len = static_cast<size_t>(a[1]) + 1;
  if (len < 12) {
    // The master answered for itself: the slave never saw the command.
    if (IsAck(a + 4)) {
      Log("slave cmd ack length error\n");
      return CORLINK_ERR_FAILED;
    }
    return StatusVerdict(a + 4, false);
  }
  const size_t inner_len = static_cast<size_t>(a[4] | a[5] << 8);
  if (4 + inner_len > kZ3ReportSize) {
    PrintMismatch(Crc8(a, 8, kZ3ReportSize), a[7]);
    return CORLINK_ERR_RETRIES;
  }
  const uint8_t predict = Crc8(a, 8, 4 + inner_len);
  if (predict != a[7]) {
    PrintMismatch(predict, a[7]);
    return CORLINK_ERR_RETRIES;
  }
  return StatusVerdict(a + 8, a[10] == 0x00 && a[11] == 0x01);
}

// How much data an answer carries: the rest of the report on HID-over-I2C, else up to L
// by its length byte (the tunnel's data starting at byte 12), within the report.
uint8_t DataSize(Z3Carrier c, const uint8_t* a) {
  const size_t at = RulesOf(c).data_at;
  if (c == Z3Carrier::kHidOverI2c) return static_cast<uint8_t>(kHidOverI2cReportSize - at);
  const size_t end = static_cast<size_t>(a[1]) + 1;
  return static_cast<uint8_t>(end > at ? std::min(end - at, kZ3ReportSize - at) : 0);
}

}  // namespace

int Z3Timeout(Z3Carrier carrier) { return RulesOf(carrier).timeout_ms; }

Z3Link SelectedLink(Z3Carrier carrier, int fd) {
  return {fd, carrier, carrier == Z3Carrier::kZ7Tunnel ? State().z7_slave_index : uint8_t{0}};
}

Z3Request Z3Build(const Z3Link& link, uint8_t command, const uint8_t* payload, size_t n) {
  Z3Request r;
  if (n > RulesOf(link.carrier).max_payload) return r;
  uint8_t* b = r.bytes.data();
  const bool tunnel = link.carrier == Z3Carrier::kZ7Tunnel;
  const size_t header = tunnel ? 8 : 4;
  b[0] = 0x09;
  b[2] = command;
  // HID-over-I2C always sends the whole report and leaves byte 1 alone.
  r.length = link.carrier == Z3Carrier::kHidOverI2c ? kHidOverI2cReportSize : header + n;
  if (link.carrier != Z3Carrier::kHidOverI2c) b[1] = static_cast<uint8_t>(r.length - 1);
  if (n) std::memcpy(b + header, payload, n);
  if (tunnel) {
    b[2] = 0xB0;
    b[4] = 0x09;
    b[5] = link.slave;
    b[6] = command;
    // The inner packet's check byte first: the outer one covers it.
    InsertZ3Crc(b + 4, r.length - 4);
  }
  InsertZ3Crc(b, r.length);
  DumpPacketShort("W: ", b, r.length);
  return r;
}

bool Z3Write(const Z3Link& link, const Z3Request& request, int write_ms) {
  const CarrierRules& rules = RulesOf(link.carrier);
  if (link.carrier != Z3Carrier::kZ7Tunnel)
    return ReportWrite(rules.report, link.fd, request.bytes.data(), rules.wire_size, write_ms);
  return RetryUntil(FixedTries(rules.send_tries, rules.retry), [&](int) {
    return ReportWrite(rules.report, link.fd, request.bytes.data(), rules.wire_size, kZ7TimeoutMs);
  });
}

bool Z3Send(const Z3Link& link, const Z3Request& request, int write_ms) {
  if (!request.built()) return false;
  if (link.carrier == Z3Carrier::kZ7Tunnel) return Z3Write(link, request, write_ms);
  const CarrierRules& rules = RulesOf(link.carrier);
  return RetryUntil(FixedTries(rules.send_tries, rules.retry),
                    [&](int) { return Z3Write(link, request, write_ms); });
}

Z3Answer Z3ReadStatus(const Z3Link& link, int read_ms, bool after_write) {
  const CarrierRules& rules = RulesOf(link.carrier);
  Z3Answer answer;
  answer.result_at = rules.result_at;
  answer.data_at = rules.data_at;
  uint8_t* a = answer.bytes.data();
  RetryRule rule = FamilyRule(rules.retry);  // the tunnel reads its retry count of times
  Verdict (*judge)(const uint8_t*) = JudgeTunnel;
  if (link.carrier != Z3Carrier::kZ7Tunnel) {
    // Two reads; the short mode command rests 20 ms between them on the 64-byte carrier.
    rule.tries = 2;
    if (link.carrier == Z3Carrier::kUsb && read_ms == 20) rule.delay_ms = 20;
    judge = link.carrier == Z3Carrier::kUsb ? JudgeUsb : JudgeHidOverI2c;
  } else {
    read_ms = kZ7TimeoutMs;
  }
  const Verdict verdict = Retry(rule, [&](int) -> Verdict {
    const bool ok = ReportRead(rules.report, link.fd, a, rules.wire_size, read_ms, after_write);
    if (ok) DumpPacketShort("R: ", a, rules.wire_size);
    // A failed read, or not an answer (our own id 09 included): read again.
    if (!ok || a[0] != 0x0A) return std::nullopt;
    return judge(a);
  });
  answer.result = verdict.value_or(CORLINK_ERR_RETRIES);
  answer.data_size = DataSize(link.carrier, a);
  return answer;
}

namespace {

// The one exchange loop of the Z3 carriers: rounds of write + status read until an answer
// is accepted, the carrier's rest between rounds.
template <class Accept>
Z3Answer ExchangeLoop(const Z3Link& link, const Z3Request& request, const Z3Timing& timing,
                      Accept&& accept) {
  Z3Answer last;
  bool written = false;
  const CarrierRules& rules = RulesOf(link.carrier);
  const int rounds = timing.attempts > 0 ? timing.attempts : rules.exchange_attempts;
  const std::optional<Z3Answer> decided = Retry(
      FixedTries(request.built() ? rounds : 0, rules.retry), [&](int) -> std::optional<Z3Answer> {
        if (!Z3Write(link, request, timing.write_ms)) return std::nullopt;
        written = true;
        if (timing.pause_before_status_ms > 0)
          SleepMs(static_cast<unsigned>(timing.pause_before_status_ms));
        last = Z3ReadStatus(link, timing.read_ms, true);
        if (accept(last)) return last;
        return std::nullopt;
      });
  if (decided) return *decided;
  if (!written) last.result = RunOutResult(false);
  return last;
}

}  // namespace

Z3Answer Z3Exchange(const Z3Link& link, const Z3Request& request, const Z3Timing& timing) {
  return ExchangeLoop(link, request, timing,
                      [](const Z3Answer& a) { return a.result != CORLINK_ERR_RETRIES; });
}

Z3Answer Z3ExchangeUntil(const Z3Link& link, const Z3Request& request, const Z3Timing& timing,
                         uint16_t result) {
  return ExchangeLoop(link, request, timing, [result](const Z3Answer& a) {
    return a.acknowledged() && a.Result() == result;
  });
}

Z3Answer Z3Exchange(const Z3Link& link, uint8_t command, const uint8_t* payload, size_t n,
                    const Z3Timing& timing) {
  return Z3Exchange(link, Z3Build(link, command, payload, n), timing);
}

void Z3ReadPayload(uint32_t address, uint16_t count, uint8_t payload[6]) {
  PutLe32(payload, address);
  PutLe16(payload + 4, count);
}

}  // namespace corlink::transport
