// A check box that draws its caption closer to its box. GTK's themes leave about 28 pixels
// for the box and the space around it, where the dialog templates assume about 16; the
// tight style cuts that to about 18, so short captions such as "1st" fit their template
// width at the template's font.
#pragma once

class wxCheckBox;

namespace pelorin {

// Gives the check box the tight style. Returns false where the toolkit offers no way to
// (the check box then keeps the theme's spacing); callers measure the result with
// GetBestSize either way.
bool MakeCheckBoxTight(wxCheckBox* box);

}  // namespace pelorin
