// Firmware update of an opened device through the library's C interface: announce each
// segment, send it in frames of the device's unit length, finish, wait for the chip's
// result, then check every written block against the CRC computed here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "image.h"

namespace corlink_tool {

// The firmware information carries a 16-bit length: an image goes out in segments of at
// most this many bytes, each announced on its own.
inline constexpr uint32_t kUpdateSegmentMax = 0x8000;
// Verified blocks (the chip's short block CRC covers up to 4096 bytes).
inline constexpr uint32_t kVerifyBlock = 4096;

enum ExitCode {
  kExitOk = 0,
  kExitDevice = 1,
  kExitUsage = 2,
  kExitVerify = 3,
  kExitInterrupted = 130
};

enum class FlashPhase { kWrite, kVerify };

struct FlashResult {
  int exit_code = kExitOk;
  std::string error;         // what went wrong, naming the frame or block
  size_t bytes = 0;          // image bytes written
  size_t frames = 0;         // data frames sent
  size_t segments = 0;       // firmware information commands sent
  size_t blocks = 0;         // blocks verified
  std::string verify_method; // "block-crc" or "read-back"
  size_t resent_segments = 0;  // segments sent again after a frame's answers were lost
  bool interrupted = false;    // stopped on request between two frames or blocks
};

// Called after every frame and every verified block with the bytes done of the total.
using FlashProgress = std::function<void(FlashPhase phase, size_t done, size_t total)>;

// Asked between frames and blocks: true stops the update there (the frame under way is
// finished first, so the device is never left with half a frame).
using FlashStop = std::function<bool()>;

FlashResult FlashImage(int handle, const Image& image, const FlashProgress& progress,
                       const FlashStop& stop = {});

// Why a library call gave rc: the device being gone is told first (the handle hung up);
// otherwise what the result code means, without blaming the device for what may have been
// lost on the way.
std::string Why(int handle, int rc);

// True when the handle has hung up: the device was unplugged or its emulator stopped.
bool Gone(int handle);

// The chip's CRC of [address, address + length) against the host's over `data`:
// exit code, and on a mismatch a message naming the block.
int VerifyBlock(int handle, bool block_crc, uint32_t address, const uint8_t* data, uint32_t length,
                std::string* error);

}  // namespace corlink_tool
