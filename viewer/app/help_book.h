// Where the help book is: next to the program (help/pelorin.hhp), in the installed share
// folder (../share/pelorin/help/pelorin.hhp), or in the source tree the program was built
// from. And how its pages are read: as HTML, whatever type the desktop gives ".htm".
#pragma once

#include <wx/string.h>

namespace pelorin {

// The full path of the help project, or an empty text when there is none.
wxString FindHelpBook();

// Makes the HTML windows read the book's pages as HTML. The desktop's type table may
// call ".htm" "application/xhtml+xml" (Debian's does), which wx's HTML reader does not
// take: the page would show as its source text. Safe to call more than once.
void ReadHelpPagesAsHtml();

}  // namespace pelorin
