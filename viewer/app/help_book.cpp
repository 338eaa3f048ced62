#include "app/help_book.h"

#include <wx/filename.h>
#include <wx/stdpaths.h>

namespace pelorin {

wxString FindHelpBook() {
  const wxFileName exe(wxStandardPaths::Get().GetExecutablePath());
  const wxString dir = exe.GetPath();
  wxString candidates[] = {
      dir + "/help/pelorin.hhp",
      dir + "/../share/pelorin/help/pelorin.hhp",
#ifdef PELORIN_HELP_SOURCE_DIR
      wxString(PELORIN_HELP_SOURCE_DIR) + "/pelorin.hhp",
#endif
  };
  for (const wxString& path : candidates) {
    if (wxFileName::FileExists(path)) {
      wxFileName name(path);
      name.Normalize(wxPATH_NORM_DOTS | wxPATH_NORM_ABSOLUTE);
      return name.GetFullPath();
    }
  }
  return {};
}

}  // namespace pelorin
