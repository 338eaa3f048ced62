#include "transport/z3_protocol.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "corlink.h"
#include "library_state.h"
#include "log_sink.h"
#include "transport/crc.h"
#include "transport/log.h"
#include "transport/report_carrier.h"
#include "transport/timing.h"

namespace corlink::transport {

namespace {

uint8_t g_z3[kZ3ReportSize];
uint8_t g_hoi[60];
// The request as built: a retried attempt sends it again, not the answer that overwrote
// the family buffer.
uint8_t g_z3_request[kZ3ReportSize];
uint8_t g_hoi_request[kHidOverI2cReportSize];

const RetrySetting& Retry(RetryFamily f) { return State().retry[f]; }

bool IsAck(const uint8_t* status) { return status[0] == 0xEF && status[1] == 0xBE; }
bool IsRefusal(const uint8_t* status) { return status[0] == 0xAD && status[1] == 0xDE; }

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

template <class Write, class Status>
int RunAttempts(const Z3Timing& t, unsigned delay_ms, Write&& write, Status&& status) {
  int result = CORLINK_ERR_FAILED;
  for (int a = 0; a < t.attempts; ++a) {
    if (write()) {
      if (t.pause_before_status_ms > 0) SleepMs(static_cast<unsigned>(t.pause_before_status_ms));
      result = status();
      if (result != CORLINK_ERR_RETRIES) return result;
    }
    if (a + 1 < t.attempts) SleepMs(delay_ms);
  }
  return result;
}

}  // namespace

// --- 64-byte carrier -------------------------------------------------------------------

uint8_t* Z3Buffer() { return g_z3; }

size_t Z3Build(uint8_t command, const uint8_t* payload, size_t n) {
  if (n > kZ3MaxPayload) return 0;
  std::memset(g_z3, 0, sizeof g_z3);
  size_t len = 4 + n;
  g_z3[0] = 0x09;
  g_z3[1] = static_cast<uint8_t>(len - 1);
  g_z3[2] = command;
  if (n) std::memcpy(g_z3 + 4, payload, n);
  InsertZ3Crc(g_z3, len);
  std::memcpy(g_z3_request, g_z3, sizeof g_z3);
  DumpPacketShort("W: ", g_z3, len);
  return len;
}

bool Z3Write(int fd, int timeout_ms) {
  return ReportWrite(Z3UsbFamily(), fd, g_z3_request, kZ3ReportSize, timeout_ms);
}

namespace {

int Z3StatusRead(int fd, int read_timeout_ms, uint16_t* value, bool after_write) {
  for (int i = 0; i < 2; ++i) {
    bool ok = ReportRead(Z3UsbFamily(), fd, g_z3, kZ3ReportSize, read_timeout_ms, after_write);
    if (ok) DumpPacketShort("R: ", g_z3, kZ3ReportSize);
    if (ok && g_z3[0] == 0x0A) {
      if (!AnswerCrcOk(g_z3)) return CORLINK_ERR_RETRIES;
      if (IsAck(g_z3 + 4)) {
        if (value) *value = static_cast<uint16_t>(g_z3[6] | g_z3[7] << 8);
        return 0;
      }
      if (IsRefusal(g_z3 + 4)) return g_z3[6] == 1 ? CORLINK_ERR_REFUSED : CORLINK_ERR_FAILED;
    }
    if (i == 0) SleepMs(read_timeout_ms == 20 ? 20u : Retry(kRetryZ3Usb).delay_ms);
  }
  return CORLINK_ERR_RETRIES;
}

}  // namespace

int Z3ReadStatus(int fd, int read_timeout_ms, uint16_t* value) {
  return Z3StatusRead(fd, read_timeout_ms, value, false);
}

int Z3Exchange(int fd, uint8_t command, const uint8_t* payload, size_t n, const Z3Timing& timing,
               uint16_t* value) {
  if (Z3Build(command, payload, n) == 0) return CORLINK_ERR_FAILED;
  return RunAttempts(
      timing, Retry(kRetryZ3Usb).delay_ms, [&] { return Z3Write(fd, timing.write_ms); },
      [&] { return Z3StatusRead(fd, timing.read_ms, value, true); });
}

// --- 58-byte HID-over-I2C carrier ------------------------------------------------------

uint8_t* HidOverI2cBuffer() { return g_hoi; }

size_t HidOverI2cBuild(uint8_t command, const uint8_t* payload, size_t n) {
  if (n > kHidOverI2cMaxPayload) return 0;
  std::memset(g_hoi, 0, sizeof g_hoi);
  g_hoi[0] = 0x09;
  g_hoi[1] = 0x00;
  g_hoi[2] = command;
  if (n) std::memcpy(g_hoi + 4, payload, n);
  InsertZ3Crc(g_hoi, kHidOverI2cReportSize);
  std::memcpy(g_hoi_request, g_hoi, kHidOverI2cReportSize);
  DumpPacketShort("W: ", g_hoi, kHidOverI2cReportSize);
  return kHidOverI2cReportSize;
}

bool HidOverI2cWrite(int fd, int timeout_ms) {
  return ReportWrite(HidOverI2cFamily(), fd, g_hoi_request, kHidOverI2cReportSize, timeout_ms);
}

namespace {

int HidOverI2cStatusRead(int fd, int read_timeout_ms, uint16_t* value, bool after_write) {
  for (int i = 0; i < 2; ++i) {
    bool ok = ReportRead(HidOverI2cFamily(), fd, g_hoi, kHidOverI2cReportSize, read_timeout_ms,
                         after_write);
    if (ok) DumpPacketShort("R: ", g_hoi, kHidOverI2cReportSize);
    if (ok && g_hoi[0] == 0x0A) {
      uint8_t predict = Crc8(g_hoi, 2, kHidOverI2cReportSize);
      if (predict != g_hoi[1]) {
        PrintMismatch(predict, g_hoi[1]);
        return CORLINK_ERR_RETRIES;
      }
      if (IsAck(g_hoi + 2)) {
        if (value) *value = static_cast<uint16_t>(g_hoi[4] | g_hoi[5] << 8);
        return 0;
      }
      if (IsRefusal(g_hoi + 2)) return g_hoi[4] == 1 ? CORLINK_ERR_REFUSED : CORLINK_ERR_FAILED;
    }
    if (i == 0) SleepMs(Retry(kRetryHidOverI2c).delay_ms);
  }
  return CORLINK_ERR_RETRIES;
}

}  // namespace

int HidOverI2cReadStatus(int fd, int read_timeout_ms, uint16_t* value) {
  return HidOverI2cStatusRead(fd, read_timeout_ms, value, false);
}

int HidOverI2cExchange(int fd, uint8_t command, const uint8_t* payload, size_t n,
                       const Z3Timing& timing, uint16_t* value) {
  if (HidOverI2cBuild(command, payload, n) == 0) return CORLINK_ERR_FAILED;
  return RunAttempts(
      timing, Retry(kRetryHidOverI2c).delay_ms,
      [&] { return HidOverI2cWrite(fd, timing.write_ms); },
      [&] { return HidOverI2cStatusRead(fd, timing.read_ms, value, true); });
}

// --- Z7 slave tunnel -------------------------------------------------------------------

size_t Z7Build(uint8_t slave, uint8_t command, const uint8_t* payload, size_t n) {
  if (n > kZ7MaxPayload) return 0;
  std::memset(g_z3, 0, sizeof g_z3);
  size_t len = 8 + n;
  g_z3[0] = 0x09;
  g_z3[1] = static_cast<uint8_t>(len - 1);
  g_z3[2] = 0xB0;
  g_z3[4] = 0x09;
  g_z3[5] = slave;
  g_z3[6] = command;
  if (n) std::memcpy(g_z3 + 8, payload, n);
  // The inner packet's check byte first: the outer one covers it.
  InsertZ3Crc(g_z3 + 4, len - 4);
  InsertZ3Crc(g_z3, len);
  std::memcpy(g_z3_request, g_z3, sizeof g_z3);
  DumpPacketShort("W: ", g_z3, len);
  return len;
}

bool Z7Write(int fd) {
  for (int i = 0; i < kZ7WriteTries; ++i) {
    if (ReportWrite(Z7TunnelFamily(), fd, g_z3_request, kZ3ReportSize, kZ7TimeoutMs)) return true;
    if (i + 1 < kZ7WriteTries) SleepMs(Retry(kRetryZ7Tunnel).delay_ms);
  }
  return false;
}

namespace {

int Z7StatusRead(int fd, uint16_t* value, bool after_write) {
  const int reads = Retry(kRetryZ7Tunnel).count;
  for (int i = 0; i < reads; ++i) {
    if (i > 0) SleepMs(Retry(kRetryZ7Tunnel).delay_ms);
    bool ok = ReportRead(Z7TunnelFamily(), fd, g_z3, kZ3ReportSize, kZ7TimeoutMs, after_write);
    if (ok) DumpPacketShort("R: ", g_z3, kZ3ReportSize);
    if (!ok || g_z3[0] != 0x0A)
      continue;  // a failed read, or not an answer (our own id 09 included)
    if (!AnswerCrcOk(g_z3)) return CORLINK_ERR_RETRIES;
    size_t len = static_cast<size_t>(g_z3[1]) + 1;
    if (len < 12) {
      // The master answered for itself: the slave never saw the command.
      if (IsAck(g_z3 + 4)) {
        Log("slave cmd ack length error\n");
        return CORLINK_ERR_FAILED;
      }
      if (IsRefusal(g_z3 + 4)) return CORLINK_ERR_FAILED;
      continue;
    }
    size_t inner_len = static_cast<size_t>(g_z3[4] | g_z3[5] << 8);
    if (4 + inner_len > kZ3ReportSize) {
      PrintMismatch(Crc8(g_z3, 8, kZ3ReportSize), g_z3[7]);
      return CORLINK_ERR_RETRIES;
    }
    uint8_t predict = Crc8(g_z3, 8, 4 + inner_len);
    if (predict != g_z3[7]) {
      PrintMismatch(predict, g_z3[7]);
      return CORLINK_ERR_RETRIES;
    }
    if (IsAck(g_z3 + 8)) {
      if (value) *value = static_cast<uint16_t>(g_z3[10] | g_z3[11] << 8);
      return 0;
    }
    if (IsRefusal(g_z3 + 8))
      return (g_z3[10] == 0x00 && g_z3[11] == 0x01) ? CORLINK_ERR_REFUSED : CORLINK_ERR_FAILED;
  }
  return CORLINK_ERR_RETRIES;
}

}  // namespace

int Z7ReadStatus(int fd, uint16_t* value) { return Z7StatusRead(fd, value, false); }

int Z7Exchange(int fd, uint8_t slave, uint8_t command, const uint8_t* payload, size_t n,
               uint16_t* value) {
  if (Z7Build(slave, command, payload, n) == 0) return CORLINK_ERR_FAILED;
  if (!Z7Write(fd)) return CORLINK_ERR_FAILED;
  return Z7StatusRead(fd, value, true);
}

void Z3ReadPayload(uint32_t address, uint16_t count, uint8_t payload[6]) {
  payload[0] = static_cast<uint8_t>(address);
  payload[1] = static_cast<uint8_t>(address >> 8);
  payload[2] = static_cast<uint8_t>(address >> 16);
  payload[3] = static_cast<uint8_t>(address >> 24);
  payload[4] = static_cast<uint8_t>(count);
  payload[5] = static_cast<uint8_t>(count >> 8);
}

}  // namespace corlink::transport
