// Helpers of the GUI tests: a scratch working directory with a settings file, the main
// window built and initialised as the application builds it, event pumping with a time
// limit, and the message boxes the window would have shown.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <wx/gdicmn.h>
#include <wx/string.h>

#include "app/window_placement.h"
#include "data/session/viewer_session.h"

namespace pelorin {
class CPelorinDlg;
}

namespace pelorin::test {

// The default settings file: every key, SECOND_SOURCE_TYPE 0.
std::string DefaultSettings();
// The text with the first occurrence of `from` replaced by `to` (it must occur).
std::string Replace(std::string text, const std::string& from, const std::string& to);

// A fresh folder made the working directory for the object's lifetime.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  void WriteSettings(const std::string& text) const;
  std::string ReadSettings() const;
  bool HasSettings() const;

 private:
  std::filesystem::path path_;
  std::filesystem::path previous_;
};

struct MessageBoxCall {
  wxString text;
  wxString title;
};

// The main window, initialised in the current working directory and shown; message boxes
// are recorded instead of shown unless `recordBoxes` is false.
class Window {
 public:
  explicit Window(std::vector<std::string> args = {}, bool recordBoxes = true);
  ~Window();
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  CPelorinDlg* operator->() const { return dlg_; }
  CPelorinDlg& operator*() const { return *dlg_; }
  const std::vector<MessageBoxCall>& Boxes() const { return boxes_; }
  // Sends the close request, as the caption's close button does.
  void Close();

 private:
  CPelorinDlg* dlg_ = nullptr;
  std::vector<MessageBoxCall> boxes_;
};

// A click on the enabled button with the id, as the user makes it.
void Click(const Window& win, int id);

// Processes pending events until `done` holds or `timeoutMs` passes; returns done().
bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 3000);
// Processes pending events for a short while.
void Pump(int ms = 50);

// The frame counter of the window's first source.
int32_t FrameCount(const Window& win);

// The recordings in a folder: every .csv but the temporary file and the panel noise
// reports written beside Diff recordings.
std::vector<std::filesystem::path> Recordings(const std::filesystem::path& dir);

// The label of the control with the id in the window.
wxString Label(const CPelorinDlg& dlg, int id);
// A template rectangle in dialog units as the window converts it.
wxRect TemplateRect(const CPelorinDlg& dlg, int x, int y, int w, int h);

}  // namespace pelorin::test
