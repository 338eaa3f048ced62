#pragma once
// Reader of recorded-data files (".csv", and ".tbl", the same text with every byte
// shifted by a one-byte key).
#include <cstdint>
#include <string>

#include "data/recording/recording_set.h"

namespace pelorin {

// A ".tbl" file stores each byte of the text plus this key, modulo 256.
inline constexpr uint8_t kTblKey = 0x4D;
inline constexpr uint8_t kTblDecode = static_cast<uint8_t>(256 - kTblKey);

// Limits that keep a damaged or hostile file from exhausting memory.
inline constexpr int64_t kMaxFrameCells = 16 * 1024 * 1024;  // per source and frame
inline constexpr int32_t kMaxSources = 16;

// Parses a recording and appends one PlayerModel per source to the set. False on any
// failure (reason in set.LastError()); sources read before a failure stay in the set.
bool LoadCsv(RecordingSet& set, const std::string& path);

// Decodes a ".tbl" file into a fresh temporary file (never an existing one) and returns
// its path in decodedPath; the caller removes it. False when the path has no ".", the
// source cannot be read or the copy cannot be written.
bool DecodeTbl(const std::string& path, std::string& decodedPath);

// Chooses the reader by the name: ".csv" is parsed, ".tbl" decoded and parsed; anything
// else (".txt" too) is refused.
bool LoadRecordingFile(RecordingSet& set, const std::string& path);

}  // namespace pelorin
