// Texts of the main window's status line and statistics fields, built without any window
// so the worker, the player and the tests can compute them; the window only shows them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace pelorin {

// Status codes of the status line.
enum StatusCode : int32_t {
  kStatusOpenDeviceError = 0,
  kStatusSecondSourceUnreadable = 1,
  kStatusCantLoadSettings = 2,
  kStatusCantOpenFile = 3,
  kStatusSourceSettingWrong = 4,
  kStatusReadChipDataFail = 5,
  kStatusPrepareFrameBufFail = 6,
  kStatusReadChipInfoFail = 7,
  kStatusFirmwareNotReady = 8,
  kStatusLoading = 9,
  kStatusIllegalSelection = 10,
};

// The text pattern of a code, with its "%s" place holders; "unkonw massage" for a code
// without an entry.
std::string_view StatusTemplate(int32_t code);

// Splits the argument at commas (empty pieces are dropped, blanks kept) and puts each
// piece, in turn, in place of the first "%s" left in the pattern, until the pieces or
// the place holders run out.
std::string FillStatusArguments(std::string_view pattern, std::string_view argument);

// StatusTemplate filled with the argument: the status line's text.
std::string StatusMessageText(int32_t code, std::string_view argument = {});

// The three statistics fields of the main window.
struct StatisticsTexts {
  std::string frameCount;  // "FrameCount : %d"
  std::string frameRate;   // "FrameRate : %.2f"
  std::string values;      // "Average:%.2f  Max:%d(%d)  Min:%d(%d)"
};

// overallMax and overallMin are the model's extremes since it was last cleared.
StatisticsTexts FormatStatistics(int32_t frameCount, float frameRate, float average, int32_t frameMax,
                                 int32_t overallMax, int32_t frameMin, int32_t overallMin);

}  // namespace pelorin
