#include "app/help_book.h"

#include <string>

#include <wx/filename.h>
#include <wx/filesys.h>
#include <wx/html/htmlfilt.h>
#include <wx/html/htmlwin.h>
#include <wx/stdpaths.h>
#include <wx/stream.h>

namespace pelorin {

namespace {

// Takes an HTML page by its name or its XHTML type and gives the HTML window its text.
// The book's pages are UTF-8, as their heads declare; a page that is not is read as
// Latin-1 rather than shown empty.
class HtmlPageByName : public wxHtmlFilter {
 public:
  bool CanRead(const wxFSFile& file) const override {
    const wxString mime = file.GetMimeType().Lower();
    if (mime == "text/html" || mime == "application/xhtml+xml") return true;
    const wxString ext = wxFileName(file.GetLocation().BeforeFirst('#')).GetExt().Lower();
    return ext == "htm" || ext == "html";
  }
  wxString ReadFile(const wxFSFile& file) const override {
    wxInputStream* in = file.GetStream();
    if (in == nullptr) return {};
    std::string bytes;
    char buffer[4096];
    while (in->Read(buffer, sizeof buffer).LastRead() > 0) bytes.append(buffer, in->LastRead());
    const wxString text = wxString::FromUTF8(bytes.data(), bytes.size());
    if (!text.empty() || bytes.empty()) return text;
    return wxString(bytes.data(), wxConvISO8859_1, bytes.size());
  }
};

}  // namespace

void ReadHelpPagesAsHtml() {
  static bool added = false;
  if (added) return;
  added = true;
  wxHtmlWindow::AddFilter(new HtmlPageByName);  // wx owns and deletes its filters
}

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
