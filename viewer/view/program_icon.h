// The program icon (resource 128): caption, task switcher, About box and minimised window.
#pragma once

#include <wx/bitmap.h>
#include <wx/icon.h>

namespace pelorin {

wxIcon ProgramIcon();

}  // namespace pelorin
