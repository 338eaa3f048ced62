// What a window manager changes about the program's windows, and how the windows hold
// their own against it: the window type the main window announces, the frame (title bar
// and borders) the manager puts around a window, the work area (the screen less its
// panels) a window must lie on, and bringing a window to the front.
#pragma once

#include <wx/gdicmn.h>

class wxTopLevelWindow;
class wxWindow;

namespace pelorin {

// The title bar and borders around a window, in pixels; all 0 without a window manager.
struct FrameExtents {
  int left = 0, right = 0, top = 0, bottom = 0;
  int Horizontal() const { return left + right; }
  int Vertical() const { return top + bottom; }
};

// True when a window manager runs on the window's screen (it announces itself on the
// root window). Under X only; false elsewhere.
bool WindowManagerRunning();

// Announces the window as a normal application window instead of a dialog, before it is
// first shown. A manager keeps a dialog without an owner above every other window of its
// program, which hides help and dialogs behind the main window.
void UseNormalWindowType(wxTopLevelWindow* window);

// The frame the window manager will put around the window, asked for before the window is
// shown (the manager answers within a moment; at most timeoutMs are waited). Zero
// extents without a manager or without an answer.
FrameExtents RequestFrameExtents(wxTopLevelWindow* window, int timeoutMs = 500);

// The work area of the screen the window is on (of the first screen for none).
wxRect WorkArea(const wxWindow* window);

// Where a rectangle (a window with its frame) goes to lie wholly on the area: moved by as
// little as possible; a rectangle larger than the area keeps to its top-left corner.
wxPoint PlaceInside(const wxRect& rect, const wxRect& area);

// Moves the window with its frame to the place (the frame's top-left corner), also where
// the window manager put it elsewhere than the toolkit believes.
void MoveFrameTo(wxTopLevelWindow* window, const wxPoint& place);

// Moves a shown top-level window so that it lies wholly on its screen's work area; a
// window already there is not touched.
void KeepOnWorkArea(wxTopLevelWindow* window);

// Raises the window above the program's other windows and gives it the focus.
void BringToFront(wxTopLevelWindow* window);

}  // namespace pelorin
