#include "transport/report_carrier.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "hid/hid_port.h"
#include "log_sink.h"
#include "transport/timing.h"

namespace corlink::transport {

namespace {

ReportFamily g_z3_usb{ReportFamilyId::kZ3Usb, false, 0};
ReportFamily g_hid_over_i2c{ReportFamilyId::kHidOverI2c, false, 0};
ReportFamily g_z7_tunnel{ReportFamilyId::kZ7Tunnel, false, 0};
ReportFamily g_z2_report{ReportFamilyId::kZ2Report, false, 0};

void PrintWriteTimeout(const ReportFamily& f, int err, const uint8_t* buf) {
  if (f.id == ReportFamilyId::kZ2Report) {
    Log("<IO_Err(W)=%x>, cmd=%02X\n", err, buf[1]);
  } else {
    Log("<IO_Err(W)=%x> SleepEx timeout\n", err);
  }
}

void PrintReadTimeout(const ReportFamily& f, int err) {
  switch (f.id) {
    case ReportFamilyId::kZ7Tunnel: Log("<IO_Err(r)=%d>  SleepEx timeout\n", err); break;
    case ReportFamilyId::kZ2Report: Log("<IO_Err(r)=0x%04X(%d)>\n", err, err); break;
    default: Log("<IO_Err(r)=0x%04X(%d)> SleepEx timeout\n", err, err);
  }
}

}  // namespace

ReportFamily& Z3UsbFamily() { return g_z3_usb; }
ReportFamily& HidOverI2cFamily() { return g_hid_over_i2c; }
ReportFamily& Z7TunnelFamily() { return g_z7_tunnel; }
ReportFamily& Z2ReportFamily() { return g_z2_report; }

bool ReportWrite(ReportFamily& family, int fd, const uint8_t* buf, size_t size, int timeout_ms) {
  family.pending = true;
  errno = 0;
  int r = hid::WriteReport(fd, buf, size, WireTimeout(timeout_ms));
  int err = errno;
  if (r == 1) {
    family.transferred = size;
    family.pending = false;
    return true;
  }
  if (r == 0) {
    PrintWriteTimeout(family, err, buf);
    hid::Cancel(fd);
  } else if (err != 0) {
    Log("w");
  } else {
    Log(" sth wrong...");
  }
  family.pending = false;
  family.transferred = 0;
  return false;
}

bool ReportRead(ReportFamily& family, int fd, uint8_t* buf, size_t size, int timeout_ms,
                bool after_write) {
  family.pending = true;
  errno = 0;
  int wait = WireTimeout(timeout_ms);
  int r = after_write ? hid::ReadReportAfterWrite(fd, buf, size, wait)
                      : hid::ReadReport(fd, buf, size, wait);
  int err = errno;
  family.pending = false;
  if (r > 0 && static_cast<size_t>(r) >= size) {
    family.transferred = size;
    return true;
  }
  family.transferred = 0;
  std::memset(buf, 0, size);
  if (r == 0) {
    PrintReadTimeout(family, err);
    hid::Cancel(fd);
  } else {
    // A report shorter than the family's size is as broken as one that never came.
    Log("<CMD_ERR(R)=%x>\n", r > 0 ? EMSGSIZE : err);
  }
  return false;
}

}  // namespace corlink::transport
