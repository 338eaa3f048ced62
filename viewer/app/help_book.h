// Where the help book is: next to the program (help/pelorin.hhp), in the installed share
// folder (../share/pelorin/help/pelorin.hhp), or in the source tree the program was built
// from.
#pragma once

#include <wx/string.h>

namespace pelorin {

// The full path of the help project, or an empty text when there is none.
wxString FindHelpBook();

}  // namespace pelorin
