// The help book against the window it describes: every link of its contents and index
// lands on a page and an anchor that exist, every button and check box of the main
// window is described, and so is every key the window handles.
#include <gtest/gtest.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/ffile.h>
#include <wx/filename.h>
#include <wx/html/helpdata.h>

#include <map>

#include "app/help_book.h"
#include "app/pelorin_dlg.h"
#include "gui_support.h"

namespace pelorin {
namespace {

wxString ReadPage(const wxString& dir, const wxString& name) {
  wxString text;
  wxFFile file(wxFileName(dir, name).GetFullPath(), "rb");
  if (file.IsOpened()) file.ReadAll(&text, wxConvUTF8);
  return text;
}

wxString BookDir() { return wxFileName(FindHelpBook()).GetPath(); }

TEST(Help, EveryContentsAndIndexLinkLandsOnAPageAndAnchor) {
  wxHtmlHelpData data;
  ASSERT_TRUE(data.AddBook(FindHelpBook()));
  std::vector<std::pair<wxString, wxString>> links;  // entry name, page#anchor
  const wxHtmlHelpDataItems& contents = data.GetContentsArray();
  for (size_t i = 0; i < contents.size(); ++i) links.emplace_back(contents[i].name, contents[i].page);
  const wxHtmlHelpDataItems& index = data.GetIndexArray();
  for (size_t i = 0; i < index.size(); ++i) links.emplace_back(index[i].name, index[i].page);
  EXPECT_GE(index.size(), 30u);
  for (const auto& [name, link] : links) {
    const wxString page = link.BeforeFirst('#');
    const wxString text = ReadPage(BookDir(), page);
    ASSERT_FALSE(text.empty()) << name << ": " << page;
    if (link.Contains("#")) {
      EXPECT_TRUE(text.Contains("name=\"" + link.AfterFirst('#') + "\"")) << name << ": " << link;
    }
  }
}

TEST(Help, TheMainWindowPageDescribesEveryButtonAndCheckBox) {
  test::ScratchDir dir;
  test::Window win;
  const wxString page = ReadPage(BookDir(), "controls.htm");
  ASSERT_FALSE(page.empty());
  // Controls whose caption alone says little are described under their group's title;
  // the second source button shows "2st-Source" once a choice was made.
  const std::map<wxString, wxString> underTitle = {{"1st", "Hide Display 1st / 2nd"},
                                                   {"2nd", "Hide Display 1st / 2nd"},
                                                   {"2st-Source", "2nd-Source"}};
  int described = 0;
  for (wxWindow* child : win->GetChildren()) {
    if (dynamic_cast<wxButton*>(child) == nullptr && dynamic_cast<wxCheckBox*>(child) == nullptr)
      continue;
    // A source button's caption carries the current choice on its second line.
    wxString caption = child->GetLabel().BeforeFirst('\n');
    if (const auto it = underTitle.find(caption); it != underTitle.end()) caption = it->second;
    EXPECT_TRUE(page.Contains("<b>" + caption + "</b>")) << caption;
    ++described;
  }
  EXPECT_GE(described, 20);  // the window's controls were found at all
  for (const char* other : {"DrawStyle", "Chip", "Order", "Dump Type", "Data Range", "Weight",
                            "High Pass", "Customize", "Mouse wheel", "Full screen"})
    EXPECT_TRUE(page.Contains(wxString("<b>") + other + "</b>")) << other;
}

TEST(Help, TheKeyboardPageListsEveryKey) {
  const wxString page = ReadPage(BookDir(), "keyboard.htm");
  ASSERT_FALSE(page.empty());
  for (const char* key : {"Up", "Down", "Right, Left", "Page Up, Page Down", "I", "O", "D", "X",
                          "Y", "Z", "Space", "Shift + Up, Shift + Down",
                          "Shift + Right, Shift + Left", "S", "1 ... 6", "Ctrl + F2",
                          "Ctrl + F3", "F1"})
    EXPECT_TRUE(page.Contains(wxString("<tr><td>") + key + "</td>")) << key;
}

}  // namespace
}  // namespace pelorin
