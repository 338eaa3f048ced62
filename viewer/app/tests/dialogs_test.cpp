// The small dialogs and pages: source selection in both modes, the About box, the help
// book, the map page's resize rule and the SNR page's inputs.
#include <gtest/gtest.h>
#include <wx/button.h>
#include <wx/choice.h>
#include <wx/html/helpctrl.h>
#include <wx/html/helpdata.h>
#include <wx/html/helpwnd.h>
#include <wx/html/htmlwin.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "app/help_book.h"
#include "app/pelorin_dlg.h"
#include "gui_support.h"
#include "view/about_dlg.h"
#include "view/multi_source_dlg.h"
#include "view/resource.h"
#include "view/show_dialog.h"
#include "view/snr_dialog.h"

namespace pelorin {
namespace {

TEST(SourceDialog, PresetsSelectTheTypesItemInEachMode) {
  CMultiSourceDlg first(nullptr);
  first.SetMode(0);
  first.Preset(6);
  first.InitDialog();
  EXPECT_EQ(first.GetTitle(), "Source Selection");
  ASSERT_EQ(first.Combo()->GetCount(), 6u);
  EXPECT_EQ(first.Combo()->GetString(0), "Loop");
  EXPECT_EQ(first.Combo()->GetString(3), "Raw Data");
  EXPECT_EQ(first.Combo()->GetString(4), "RawDiff");
  EXPECT_EQ(first.Combo()->GetSelection(), 5);
  EXPECT_EQ(first.Combo()->GetStringSelection(), "Diff");
  EXPECT_EQ(first.GetPosition(), wxPoint(100, 100));
  EXPECT_EQ(first.GetSize(), wxSize(350, 200));
  EXPECT_EQ(first.Combo()->GetFont().GetPixelSize().y > 0, true);

  CMultiSourceDlg second(nullptr);
  second.SetMode(1);
  second.Preset(6);
  second.InitDialog();
  ASSERT_EQ(second.Combo()->GetCount(), 7u);
  EXPECT_EQ(second.Combo()->GetString(0), "None");
  EXPECT_EQ(second.Combo()->GetSelection(), 6);
  EXPECT_EQ(second.Combo()->GetStringSelection(), "Diff");
  first.Destroy();
  second.Destroy();
}

TEST(SourceDialog, ResultsAreSourceTypes) {
  CMultiSourceDlg first(nullptr);
  first.SetMode(0);
  first.Preset(3);
  first.InitDialog();
  EXPECT_EQ(first.Combo()->GetStringSelection(), "Base");
  first.Combo()->SetSelection(3);  // "Raw Data"
  first.Confirm();
  EXPECT_EQ(first.Selection(), 4);
  first.Combo()->SetSelection(wxNOT_FOUND);
  first.Confirm();
  EXPECT_EQ(first.Selection(), 0);  // no choice: None

  CMultiSourceDlg second(nullptr);
  second.SetMode(1);
  second.Preset(0);
  second.InitDialog();
  EXPECT_EQ(second.Combo()->GetStringSelection(), "None");
  second.Confirm();
  EXPECT_EQ(second.Selection(), 0);
  second.Combo()->SetSelection(5);
  second.Confirm();
  EXPECT_EQ(second.Selection(), 5);
  second.Combo()->SetSelection(wxNOT_FOUND);
  second.Confirm();
  EXPECT_EQ(second.Selection(), -1);

  // A preset with no item (type 0 has none in mode 0) leaves the list without a choice.
  CMultiSourceDlg none(nullptr);
  none.SetMode(0);
  none.Preset(0);
  none.InitDialog();
  EXPECT_EQ(none.Combo()->GetSelection(), wxNOT_FOUND);
  first.Destroy();
  second.Destroy();
  none.Destroy();
}

TEST(SourceDialog, OkButtonEndsTheModalRunWithTheChoice) {
  CMultiSourceDlg dlg(nullptr);
  dlg.SetMode(1);
  dlg.Preset(2);
  // Press Ok as soon as the modal loop runs.
  dlg.CallAfter([&dlg] {
    wxCommandEvent ok(wxEVT_BUTTON, wxID_OK);
    ok.SetEventObject(dlg.FindWindow(wxID_OK));
    dlg.FindWindow(wxID_OK)->GetEventHandler()->ProcessEvent(ok);
  });
  EXPECT_EQ(dlg.ShowModal(), wxID_OK);
  EXPECT_EQ(dlg.Selection(), 2);
  dlg.Destroy();
}

TEST(AboutBox, CarriesItsTexts) {
  CAboutDlg about(nullptr);
  EXPECT_EQ(about.GetTitle(), wxString::FromUTF8("關於 Pelorin"));
  bool version = false, button = false;
  for (wxWindow* child : about.GetChildren()) {
    if (child->GetLabel() == wxString::FromUTF8("Pelorin, 1.0 版")) version = true;
    if (dynamic_cast<wxButton*>(child) && child->GetLabel() == wxString::FromUTF8("確定")) button = true;
  }
  EXPECT_TRUE(version);
  EXPECT_TRUE(button);
  about.Show();
  test::Pump();
  about.Destroy();
}

TEST(Help, TheBookIsFoundAndLoads) {
  const wxString book = FindHelpBook();
  ASSERT_FALSE(book.empty());
  wxHtmlHelpData data;
  ASSERT_TRUE(data.AddBook(book));
  ASSERT_EQ(data.GetBookRecArray().size(), 1u);
  EXPECT_EQ(data.GetBookRecArray()[0].GetTitle(), "Pelorin Help");
  // The contents name every page of the book.
  wxArrayString pages;
  const wxHtmlHelpDataItems& contents = data.GetContentsArray();
  for (size_t i = 0; i < contents.size(); ++i) pages.Add(contents[i].name);
  for (const char* page : {"Pelorin", "The main window", "Recording and playback", "SNR analysis",
                           "The settings file", "Keyboard"})
    EXPECT_NE(pages.Index(page), wxNOT_FOUND) << page;
  EXPECT_GE(data.GetIndexArray().size(), 10u);
}

// The help window shows every page rendered: its text is the page's words, never its
// HTML source (the desktop's type table calls ".htm" XHTML, which wx alone would show as
// text).
TEST(Help, PagesRenderAsHtml) {
  test::ScratchDir dir;
  test::Window win;
  ASSERT_TRUE(win->ShowHelp());
  wxHtmlHelpWindow* help = win->Help()->GetHelpWindow();
  ASSERT_NE(help, nullptr);
  for (const char* page : {"overview.htm", "controls.htm", "snr.htm", "keyboard.htm"}) {
    ASSERT_TRUE(help->Display(page)) << page;
    test::Pump();
    const wxString text = help->GetHtmlWindow()->ToText();
    EXPECT_GT(text.length(), 200u) << page;
    // No markup left in the text (a "<recording name>" written as a text is fine).
    for (const char* tag : {"</", "<html", "<meta", "<p>", "<b>", "<td>", "<h2>", "http-equiv"})
      EXPECT_EQ(text.Lower().Find(tag), wxNOT_FOUND) << page << " shows " << tag;
  }
  EXPECT_EQ(help->GetHtmlWindow()->GetOpenedPageTitle(), "Keyboard") << "the title of the page";
  // Asked for again, the help is shown once more, not a second window.
  ASSERT_TRUE(win->ShowHelp());
  EXPECT_EQ(win->Help()->GetFrame(), help->GetParent());
}

TEST(SnrPage, EditsStartAtTheirValuesAndReadAsNumbers) {
  test::ScratchDir dir;
  test::Window win;
  CSNRDialog* snr = win->SnrPage();
  auto edit = [snr](int id) { return static_cast<wxTextCtrl*>(snr->FindWindow(id)); };
  EXPECT_EQ(edit(res::IDC_UNTOUCHED_COUNT)->GetValue(), "100");
  for (int id : {res::IDC_PIN_X1, res::IDC_PIN_X2, res::IDC_PIN_Y1, res::IDC_PIN_Y2})
    EXPECT_EQ(edit(id)->GetValue(), "0");
  for (int id : {res::IDC_SNR_X1_SIGNAL, res::IDC_SNR_Y2_NOISE, res::IDC_SNR_X2, res::IDC_SNR_Y1_INDEX,
                 res::IDC_SNR_PICTURE, res::IDC_SNR_PLOT_AREA})
    EXPECT_NE(snr->FindWindow(id), nullptr) << id;
  EXPECT_FALSE(snr->FindWindow(res::IDC_SNR_PLOT_AREA)->IsShown());

  edit(res::IDC_UNTOUCHED_COUNT)->ChangeValue("25");
  edit(res::IDC_PIN_X2)->ChangeValue("-2");
  edit(res::IDC_PIN_Y1)->ChangeValue("abc");
  edit(res::IDC_PIN_Y2)->ChangeValue(" -1x");
  const SnrInputs in = snr->ReadInputs();
  EXPECT_EQ(in.untouchedCount, 25);
  EXPECT_EQ(in.pinX1, 0);
  EXPECT_EQ(in.pinX2, -2);
  EXPECT_EQ(in.pinY1, 0);
  EXPECT_EQ(in.pinY2, -1);
}

}  // namespace
}  // namespace pelorin
