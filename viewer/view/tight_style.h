// Tighter GTK spacing for two kinds of template control. GTK's themes leave about 28
// pixels for a check box's box and the space around it, where the dialog templates assume
// about 16; the tight style cuts that to about 18, so short captions such as "1st" fit
// their template width at the template's font. A drop-down list's button padding and
// arrow take about 40 pixels besides its text; tight, about 17, so "Style1" fits the room
// the main window has for it.
#pragma once

class wxCheckBox;
class wxChoice;
class wxStaticText;

namespace pelorin {

// Give the control the tight style. They return false where the toolkit offers no way
// to (the control then keeps the theme's spacing); callers measure the result with
// GetBestSize either way. GTK applies the drop-down list's style when the window is
// shown; until then its best size is the theme's.
bool MakeCheckBoxTight(wxCheckBox* box);
bool MakeChoiceTight(wxChoice* choice);

// Lets an ellipsized static text wrap over up to `lines` lines before the ellipsis cuts
// the last one (GTK shows an ellipsized label on one line otherwise). False where the
// toolkit offers no way to; the text then stays on one line.
bool WrapEllipsizedText(wxStaticText* text, int lines);

}  // namespace pelorin
