#include "transport/report_carrier.h"

#include <cerrno>
#include <cstring>

#include "hid/hid_port.h"
#include "log_sink.h"
#include "transport/timing.h"

namespace corlink::transport {

namespace {

void PrintWriteTimeout(ReportFamilyId f, int err, const uint8_t* buf) {
  if (f == ReportFamilyId::kZ2Report)
    Log("<IO_Err(W)=%x>, cmd=%02X\n", err, buf[1]);
  else
    Log("<IO_Err(W)=%x> SleepEx timeout\n", err);
}

void PrintReadTimeout(ReportFamilyId f, int err) {
  switch (f) {
    case ReportFamilyId::kZ7Tunnel: Log("<IO_Err(r)=%d>  SleepEx timeout\n", err); break;
    case ReportFamilyId::kZ2Report: Log("<IO_Err(r)=0x%04X(%d)>\n", err, err); break;
    default: Log("<IO_Err(r)=0x%04X(%d)> SleepEx timeout\n", err, err);
  }
}

}  // namespace

bool ReportWrite(ReportFamilyId family, int fd, const uint8_t* buf, size_t size, int timeout_ms) {
  errno = 0;
  int r = hid::WriteReport(fd, buf, size, WireTimeout(timeout_ms));
  int err = errno;
  if (r == 1) return true;
  if (r == 0) {
    PrintWriteTimeout(family, err, buf);
    hid::Cancel(fd);
  } else if (err != 0) {
    Log("w");
  } else {
    Log(" sth wrong...");
  }
  return false;
}

bool ReportRead(ReportFamilyId family, int fd, uint8_t* buf, size_t size, int timeout_ms,
                bool after_write) {
  errno = 0;
  int wait = WireTimeout(timeout_ms);
  int r = after_write ? hid::ReadReportAfterWrite(fd, buf, size, wait)
                      : hid::ReadReport(fd, buf, size, wait);
  int err = errno;
  if (r > 0 && static_cast<size_t>(r) >= size) return true;
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
