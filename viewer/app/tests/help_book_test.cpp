// The help book against the window it describes: every link of its contents and index
// lands on a page and an anchor that exist, every button and check box of the main
// window is described, and so is every key the window handles.
#include <gtest/gtest.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/ffile.h>
#include <wx/filename.h>
#include <wx/html/helpdata.h>

#include <cstring>
#include <map>
#include <regex>
#include <set>
#include <string>

#include "app/help_book.h"
#include "app/pelorin_dlg.h"
#include "gui_support.h"
#include "view/key_table.h"

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

// The name the keyboard page gives a key of the window's table.
std::string KeyName(int key) {
  switch (key) {
    case vk::kUp: return "Up";
    case vk::kDown: return "Down";
    case vk::kLeft: return "Left";
    case vk::kRight: return "Right";
    case vk::kPrior: return "Page Up";
    case vk::kNext: return "Page Down";
    case vk::kSpace: return "Space";
    case vk::kF2: return "F2";
    case vk::kF3: return "F3";
    case vk::kF9: return "F9";
    case vk::kF10: return "F10";
    case vk::kF11: return "F11";
    case vk::kNumpad4: return "Keypad 4";
    case vk::kNumpad9: return "Keypad 9";
    case vk::kDivide: return "Keypad /";
    default: break;
  }
  if (key >= vk::kDigit1 && key <= vk::kDigit6) return "1 ... 6";
  return std::string(1, static_cast<char>(key));  // a letter
}

TEST(Help, TheKeyboardPageListsEveryKey) {
  const wxString page = ReadPage(BookDir(), "keyboard.htm");
  ASSERT_FALSE(page.empty());
  // The first cell of every row names its keys, separated by commas.
  std::set<std::string> named;
  const std::regex row("<tr><td>([^<]*)</td>");
  const std::string text = page.utf8_string();
  for (auto it = std::sregex_iterator(text.begin(), text.end(), row); it != std::sregex_iterator();
       ++it) {
    std::string cell = (*it)[1];
    for (size_t start = 0; start <= cell.size();) {
      size_t comma = cell.find(", ", start);
      if (comma == std::string::npos) comma = cell.size();
      std::string name = cell.substr(start, comma - start);
      for (const char* prefix : {"Shift + ", "Ctrl + "})
        if (name.rfind(prefix, 0) == 0) name.erase(0, std::strlen(prefix));
      named.insert(name);
      start = comma + 2;
    }
  }
  // Every key of the table the window and the map share, so a key added there must be
  // described here.
  for (const KeyBinding& b : KeyTable()) {
    EXPECT_TRUE(named.count(KeyName(b.key))) << KeyName(b.key);
  }
  EXPECT_TRUE(named.count("F1"));  // the help itself
  EXPECT_TRUE(page.Contains("text field has the focus"));
}

}  // namespace
}  // namespace pelorin
