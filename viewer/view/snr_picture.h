// The picture beside the SNR inputs: a panel with its four measured lines and the
// direction in which each pin counts.
#pragma once

#include <wx/bitmap.h>

namespace pelorin {

wxBitmap MakeSnrPicture(const wxSize& size);

}  // namespace pelorin
