// The raw-data commands of a device type: its family's entry, or the failure value.
#include "commands/raw_data.h"

#include "commands/family.h"
#include "corlink.h"
#include "device_type.h"
#include "log_sink.h"

namespace corlink::commands {

int SetRawMode(int32_t type, int fd, int mode) {
  const Family* f = FamilyFor(type);
  return f && f->set_raw_mode ? f->set_raw_mode(fd, mode) : CORLINK_ERR_FAILED;
}

bool ReportToOS(int32_t type, int fd, bool enable, bool skip_confirm, const char* device_path) {
  const Family* f = FamilyFor(type);
  if (f && f->report_to_os) return f->report_to_os(fd, enable, skip_confirm, device_path);
  Log("Not support, type = %s", DeviceTypeName(type));
  return false;
}

int ReadData(int32_t type, int fd, uint32_t address, uint8_t* buffer, uint32_t* count) {
  const Family* f = FamilyFor(type);
  return f && f->read_data ? f->read_data(fd, address, buffer, count) : CORLINK_ERR_FAILED;
}

int BurstReadData(int32_t type, int fd, uint32_t address, uint32_t length, uint8_t* buffer,
                  uint32_t* count) {
  *count = 0;
  const Family* f = FamilyFor(type);
  if (!f || !f->burst_read) return CORLINK_ERR_FAILED;
  // The request carries a 16-bit length: a longer read could never be answered in full.
  if (address == 0 || length > 0xFFFF) return CORLINK_ERR_FAILED;
  // Nothing to ask for; a request for 0 bytes would leave an answer nobody reads.
  if (length == 0) return 0;
  return f->burst_read(fd, address, length, buffer, count);
}

}  // namespace corlink::commands
