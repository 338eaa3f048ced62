// The rules behind the main window's source controls: the chip selector's items, the
// captions of the two source buttons, and what a closed source dialog changes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace pelorin {

// The chip index model 0 reads for an item of the chip selector ("All", "Master",
// "Slave1" .. "Slave7"): -1 all chips, 1 the master, 5 .. 11 the slaves. Any other
// item reads all chips.
int32_t ChipIndexForItem(int item);

// The two source buttons: model 0 (first) and model 1 (second).
enum class SourceSlot { First, Second };

// The button caption after a source dialog chose `type`: "1st-Source\nRaw Data" and
// "2st-Source\nRaw Data" style (the second button has always read "2st").
std::string SourceButtonCaption(SourceSlot slot, int32_t type);

// The first button's caption from a model name ("1st-Source\nRawData"), as the start-up
// and the digit keys show it.
std::string FirstSourceCaptionForName(const std::string& modelName);

// What the window does with the result of a source dialog. `chosen` is empty when the
// dialog was cancelled.
struct SourceChange {
  enum class Kind {
    Nothing,       // cancelled, or no valid type came back
    SetFirst,      // model 0 takes `type`
    RemoveSecond,  // model 1 goes (the caption says None)
    CaptionOnly,   // None for a second source that does not exist
    AddSecond,     // a new model 1 takes `type`
    SetSecond,     // the existing model 1 takes `type`
  };
  Kind kind = Kind::Nothing;
  int32_t type = 0;
  friend bool operator==(const SourceChange&, const SourceChange&) = default;
};

// The first dialog offers Loop .. Diff, the second None too; anything else that comes
// back (a dialog closed with nothing selected) changes nothing.
SourceChange DecideSourceChange(SourceSlot slot, std::optional<int32_t> chosen, bool hasSecond);

}  // namespace pelorin
