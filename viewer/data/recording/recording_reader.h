#pragma once
// The viewer's reader of recorded-data files (".csv", and ".tbl", the same text with every
// byte shifted by a one-byte key): the shared parser of the format, filling the player's
// models.
#include <string>

#include "data/frame_model.h"
#include "data/recording/recording_set.h"
#include "recording/recording_parser.h"

namespace pelorin {

// Parses a recording and appends one PlayerModel per source to the set. False on any
// failure (reason in set.LastError()); sources read before a failure stay in the set.
bool LoadCsv(RecordingSet& set, const std::string& path);

// Chooses the reader by the name: ".csv" is parsed, ".tbl" decoded and parsed; anything
// else (".txt" too) is refused.
bool LoadRecordingFile(RecordingSet& set, const std::string& path);

}  // namespace pelorin
