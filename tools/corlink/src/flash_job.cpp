#include "flash_job.h"

#include <poll.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "corlink.h"
#include "crc16.h"

namespace corlink_tool {

namespace {

std::string Hex32(uint32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08X", v);
  return buf;
}

std::string Hex16(uint32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%04X", v);
  return buf;
}

// The Z3 families compute a block CRC on the chip; the others are read back.
bool HasBlockCrc(int type) {
  return type == CORLINK_DEV_Z3_USB || type == CORLINK_DEV_Z3_USB_BRG ||
         type == CORLINK_DEV_Z3_HID_OVER_I2C || type == CORLINK_DEV_USB_Z7SLAVE;
}

struct Piece {
  uint32_t address;
  const uint8_t* data;
  uint32_t length;
};

std::vector<Piece> UpdateSegments(const Image& image) {
  std::vector<Piece> out;
  for (const Segment& s : image.segments) {
    for (size_t off = 0; off < s.data.size(); off += kUpdateSegmentMax) {
      const uint32_t len =
          static_cast<uint32_t>(std::min<size_t>(kUpdateSegmentMax, s.data.size() - off));
      out.push_back({s.address + static_cast<uint32_t>(off), s.data.data() + off, len});
    }
  }
  return out;
}

// Reads back what the chip holds at [address, address + length).
bool ReadBack(int handle, uint32_t address, uint32_t length, std::vector<uint8_t>* out, int* rc) {
  out->clear();
  uint8_t buf[64];
  while (out->size() < length) {
    uint32_t count = 0;
    *rc = IO_ReadData(handle, address + static_cast<uint32_t>(out->size()), buf, &count);
    if (*rc != CORLINK_OK || count == 0) return false;
    const size_t take = std::min<size_t>(count, length - out->size());
    out->insert(out->end(), buf, buf + take);
  }
  return true;
}

}  // namespace

bool Gone(int handle) {
  pollfd p{handle, 0, 0};
  return ::poll(&p, 1, 0) == 1 && (p.revents & (POLLHUP | POLLERR | POLLNVAL));
}

std::string Why(int handle, int rc) {
  if (Gone(handle)) return "the device is gone (disconnected)";
  switch (rc) {
    case CORLINK_ERR_FAILED: return "refused by the device, or it could not be sent (-1)";
    case CORLINK_ERR_RETRIES:
      return "no valid answer after every try: answers lost, late or garbled, or the device kept "
             "refusing (-2)";
    case CORLINK_ERR_REFUSED: return "refused by the device (reason 1, -3)";
    default: return "result " + std::to_string(rc);
  }
}

int VerifyBlock(int handle, bool block_crc, uint32_t address, const uint8_t* data, uint32_t length,
                std::string* error) {
  const uint16_t expected = Crc16Xmodem(data, length);
  uint32_t crc = 0;
  if (block_crc) {
    const int rc = IO_GetBlockCRC(handle, address, length, 0, &crc);
    if (rc != CORLINK_OK) {
      *error = "block CRC of " + Hex32(address) + " (" + std::to_string(length) +
               " bytes) failed: " + Why(handle, rc);
      return kExitDevice;
    }
  } else {
    std::vector<uint8_t> back;
    int rc = 0;
    if (!ReadBack(handle, address, length, &back, &rc)) {
      *error = "read-back of " + Hex32(address + static_cast<uint32_t>(back.size())) + " failed: " +
               (rc == CORLINK_OK ? std::string("the device returned no data") : Why(handle, rc));
      return kExitDevice;
    }
    crc = Crc16Xmodem(back.data(), back.size());
  }
  if ((crc & 0xFFFF) != expected) {
    *error = "verify: block " + Hex32(address) + " (" + std::to_string(length) +
             " bytes): device CRC " + Hex16(crc & 0xFFFF) + ", expected " + Hex16(expected);
    return kExitVerify;
  }
  return kExitOk;
}

FlashResult FlashImage(int handle, const Image& image, const FlashProgress& progress,
                       const FlashStop& stop) {
  FlashResult r;
  auto fail = [&](int code, std::string message) {
    r.exit_code = code;
    r.error = std::move(message);
    return r;
  };
  auto stopped = [&](const char* phase) {
    if (!stop || !stop()) return false;
    r.interrupted = true;
    fail(kExitInterrupted,
         std::string("interrupted during the ") + phase + " after " + std::to_string(r.bytes) +
             " of " + std::to_string(image.Size()) + " bytes written" +
             (r.bytes < image.Size() ? "; the device holds a partial image" : ""));
    return true;
  };
  uint32_t unit_address = 0;
  uint8_t unit = 0;
  IO_GetUpdateFwUnit(&unit_address, &unit);
  if (unit == 255 || unit == 0)
    return fail(kExitDevice, "this device type takes no firmware update");

  const std::vector<Piece> pieces = UpdateSegments(image);
  const size_t total = image.Size();
  size_t done = 0;
  size_t frame_no = 0;
  std::vector<uint8_t> frame(unit);
  // One segment: its information, then its frames. A frame that got no valid answer after
  // every try (-2: the answers were lost or garbled, not refused) leaves the chip's place in
  // the segment unknown, so the segment is announced again and sent from its start, once.
  for (const Piece& p : pieces) {
    const size_t done_before = done;
    for (int round = 0;; ++round) {
      if (stopped("write")) return r;
      int rc = IO_UpdateFwInfo(handle, p.address, p.length, 1);
      if (rc != CORLINK_OK)
        return fail(kExitDevice, "firmware information for " + Hex32(p.address) + " (" +
                                     std::to_string(p.length) +
                                     " bytes) failed: " + Why(handle, rc));
      ++r.segments;
      const uint32_t frames = (p.length + unit - 1) / unit;
      bool again = false;
      for (uint32_t i = 0; i < frames; ++i) {
        if (stopped("write")) return r;
        const uint32_t off = i * unit;
        const uint32_t n = std::min<uint32_t>(unit, p.length - off);
        // The last frame is padded with erased flash; the chip keeps only the segment.
        std::fill(frame.begin(), frame.end(), 0xFF);
        std::copy_n(p.data + off, n, frame.begin());
        rc = IO_UpdateFwData(handle, frame.data(), unit, static_cast<uint16_t>(i));
        ++frame_no;
        if (rc == CORLINK_ERR_RETRIES && round == 0 && !Gone(handle)) {
          again = true;
          ++r.resent_segments;
          break;
        }
        if (rc != CORLINK_OK)
          return fail(kExitDevice, "frame " + std::to_string(frame_no) + " (id " +
                                       std::to_string(i) + ", address " + Hex32(p.address + off) +
                                       ") failed" +
                                       (round > 0 ? " after sending the segment again" : "") +
                                       ": " + Why(handle, rc));
        ++r.frames;
        done += n;
        r.bytes = done;
        if (progress) progress(FlashPhase::kWrite, done, total);
      }
      if (!again) break;
      done = done_before;
      r.bytes = done;
    }
  }
  int rc = IO_UpdateFwDataFinish_Z5(handle);
  if (rc != CORLINK_OK) return fail(kExitDevice, "finishing the update failed: " + Why(handle, rc));
  rc = IO_WaitReady(handle);
  const std::string why = rc == CORLINK_OK ? "" : Why(handle, rc);
  if (why.rfind("the device is gone", 0) == 0)
    return fail(kExitDevice, "waiting for the update result failed: " + why);
  if (rc == CORLINK_ERR_FAILED) return fail(kExitDevice, "the device reports the update failed");
  if (rc != CORLINK_OK)
    return fail(
        kExitDevice,
        "no update result from the device: none arrived within the time-out, or it was garbled (" +
            std::to_string(rc) + ")");

  const bool block_crc = HasBlockCrc(IO_GetDeviceType());
  r.verify_method = block_crc ? "block-crc" : "read-back";
  size_t verified = 0;
  for (const Piece& p : pieces) {
    for (uint32_t off = 0; off < p.length; off += kVerifyBlock) {
      if (stopped("verify")) return r;
      const uint32_t n = std::min<uint32_t>(kVerifyBlock, p.length - off);
      const int code = VerifyBlock(handle, block_crc, p.address + off, p.data + off, n, &r.error);
      if (code != kExitOk) {
        r.exit_code = code;
        return r;
      }
      ++r.blocks;
      verified += n;
      if (progress) progress(FlashPhase::kVerify, verified, total);
    }
  }
  return r;
}

}  // namespace corlink_tool
