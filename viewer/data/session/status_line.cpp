#include "data/session/status_line.h"

#include <filesystem>

#include "data/status_text.h"

namespace pelorin {

std::string LoadFailedText(const std::string& path, const std::string& why) {
  std::string text = StatusMessageText(kStatusCantLoadSettings, path);
  if (!why.empty()) text += ": " + why;
  return text;
}

std::string LoadedText(const std::string& path, int32_t frames) {
  return "loaded " + path + " (" + std::to_string(frames) + (frames == 1 ? " frame)" : " frames)");
}

std::string RecordedText(const std::string& path, const std::string& matPath) {
  // The folder is the working folder the user started in; the names are what differ.
  std::string text = "recorded to " + std::filesystem::path(path).filename().string();
  if (!matPath.empty()) text += " (and .mat)";
  return text;
}

}  // namespace pelorin
