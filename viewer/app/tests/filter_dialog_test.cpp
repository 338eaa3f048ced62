// The filter dialog as the user drives it: the radio buttons fill the nine edits, OK
// refuses an empty edit, and the modal run hands back the typed kernel and the type.
#include <gtest/gtest.h>
#include <wx/button.h>
#include <wx/radiobut.h>
#include <wx/textctrl.h>

#include <functional>
#include <memory>
#include <vector>

#include "gui_support.h"
#include "view/filter_dlg.h"
#include "view/resource.h"

namespace pelorin {
namespace {

constexpr FilterKernel kTyped = {{{1, 2, 3}, {4, -5, 6}, {7, 8, 9}}};

std::vector<wxString> Texts(const CFilterDlg& dlg) {
  std::vector<wxString> texts;
  for (int i = 0; i < 9; ++i) texts.push_back(dlg.Edit(i)->GetValue());
  return texts;
}

bool AllEditable(const CFilterDlg& dlg, bool editable) {
  for (int i = 0; i < 9; ++i)
    if (dlg.Edit(i)->IsEditable() != editable) return false;
  return true;
}

// A click on the radio button: the button turns on and tells the dialog, as GTK does.
void ClickRadio(CFilterDlg& dlg, FilterType type) {
  wxRadioButton* radio = dlg.Radio(type);
  radio->SetValue(true);
  wxCommandEvent event(wxEVT_RADIOBUTTON, radio->GetId());
  event.SetEventObject(radio);
  event.SetInt(1);
  radio->GetEventHandler()->ProcessEvent(event);
}

void Press(CFilterDlg& dlg, int id) {
  wxWindow* button = dlg.FindWindow(id);
  ASSERT_NE(button, nullptr) << id;
  wxCommandEvent event(wxEVT_BUTTON, id);
  event.SetEventObject(button);
  button->GetEventHandler()->ProcessEvent(event);
}

TEST(FilterDialog, OpensOnTheModelsKernelAndType) {
  CFilterDlg dlg(nullptr, 2, kTyped);
  dlg.InitDialog();
  EXPECT_EQ(dlg.GetTitle(), "Filter Selection");
  EXPECT_EQ(dlg.GetPosition(), wxPoint(100, 100));
  // The edits are found by their ids in reading order.
  const int ids[9] = {1108, 1109, 1110, 1111, 1112, 1113, 1114, 1115, 1116};
  for (int i = 0; i < 9; ++i) EXPECT_EQ(dlg.FindWindow(ids[i]), dlg.Edit(i)) << i;
  EXPECT_EQ(Texts(dlg),
            (std::vector<wxString>{"1", "2", "3", "4", "-5", "6", "7", "8", "9"}));
  EXPECT_TRUE(dlg.Radio(FilterType::Customize)->GetValue());
  EXPECT_TRUE(AllEditable(dlg, true));
  EXPECT_EQ(dlg.Radio(FilterType::Weight)->GetLabel(), "Weight");
  EXPECT_EQ(dlg.Radio(FilterType::HighPass)->GetLabel(), "High Pass");
  EXPECT_EQ(dlg.Radio(FilterType::Customize)->GetLabel(), "Customize");

  // High Pass keeps the stored values on show, locked; an unknown type shows as Weight.
  CFilterDlg highPass(nullptr, 1, kTyped);
  highPass.InitDialog();
  EXPECT_TRUE(highPass.Radio(FilterType::HighPass)->GetValue());
  EXPECT_EQ(highPass.Edit(4)->GetValue(), "-5");
  EXPECT_TRUE(AllEditable(highPass, false));
  CFilterDlg unknown(nullptr, 9, kTyped);
  unknown.InitDialog();
  EXPECT_TRUE(unknown.Radio(FilterType::Weight)->GetValue());
  EXPECT_TRUE(AllEditable(unknown, false));
  EXPECT_EQ(unknown.SelectedType(), 9);
}

TEST(FilterDialog, RadioButtonsFillTheEdits) {
  CFilterDlg dlg(nullptr, 2, kTyped);
  dlg.InitDialog();
  ClickRadio(dlg, FilterType::Weight);
  EXPECT_EQ(Texts(dlg), std::vector<wxString>(9, "1"));
  EXPECT_TRUE(AllEditable(dlg, false));
  EXPECT_EQ(dlg.SelectedType(), 0);

  ClickRadio(dlg, FilterType::HighPass);
  EXPECT_EQ(Texts(dlg),
            (std::vector<wxString>{"-1", "-1", "-1", "-1", "8", "-1", "-1", "-1", "-1"}));
  EXPECT_TRUE(AllEditable(dlg, false));
  EXPECT_EQ(dlg.SelectedType(), 1);

  // Customize unlocks the edits and starts from what they show.
  ClickRadio(dlg, FilterType::Customize);
  EXPECT_EQ(dlg.Edit(4)->GetValue(), "8");
  EXPECT_EQ(dlg.Edit(0)->GetValue(), "-1");
  EXPECT_TRUE(AllEditable(dlg, true));
  EXPECT_EQ(dlg.SelectedType(), 2);

  // Text typed under Customize survives a second click on Customize.
  dlg.Edit(2)->SetValue("42");
  ClickRadio(dlg, FilterType::Customize);
  EXPECT_EQ(dlg.Edit(2)->GetValue(), "42");
}

// Runs `steps` one after another inside the dialog's modal loop.
void RunInModalLoop(CFilterDlg& dlg, std::vector<std::function<void()>> steps) {
  // The queued call owns the chain; the chain only watches itself, so it is
  // freed once the last step has run.
  auto next = std::make_shared<std::function<void(size_t)>>();
  std::weak_ptr<std::function<void(size_t)>> self = next;
  *next = [&dlg, steps = std::move(steps), self](size_t i) {
    if (i >= steps.size()) return;
    steps[i]();
    auto chain = self.lock();
    if (chain && dlg.IsModal()) dlg.CallAfter([chain, i] { (*chain)(i + 1); });
  };
  dlg.CallAfter([next] { (*next)(0); });
}

TEST(FilterDialog, OkWithAnEmptyEditStaysOpenThenReturnsTheTypedKernel) {
  CFilterDlg dlg(nullptr, 0, FilterKernel{});
  bool openAfterEmptyOk = false;
  RunInModalLoop(dlg, {
      [&] {
        ClickRadio(dlg, FilterType::Customize);
        const char* typed[9] = {"3", " -2", "x", "7z", "", "10", "0", "-0", "99"};
        for (int i = 0; i < 9; ++i) dlg.Edit(i)->SetValue(typed[i]);
        Press(dlg, wxID_OK);
      },
      [&] {
        openAfterEmptyOk = dlg.IsModal();
        dlg.Edit(4)->SetValue("5");
        Press(dlg, wxID_OK);
      },
  });
  EXPECT_EQ(dlg.ShowModal(), wxID_OK);
  EXPECT_TRUE(openAfterEmptyOk);
  EXPECT_EQ(dlg.SelectedType(), 2);
  EXPECT_EQ(dlg.EditedKernel(), (FilterKernel{{{3, -2, 0}, {7, 5, 10}, {0, 0, 99}}}));
}

TEST(FilterDialog, OkAfterHighPassReturnsItsKernelAndCancelReturnsCancel) {
  {
    CFilterDlg dlg(nullptr, 0, kTyped);
    RunInModalLoop(dlg, {[&] {
      ClickRadio(dlg, FilterType::HighPass);
      Press(dlg, wxID_OK);
    }});
    EXPECT_EQ(dlg.ShowModal(), wxID_OK);
    EXPECT_EQ(dlg.SelectedType(), 1);
    EXPECT_EQ(dlg.EditedKernel(), FixedKernel(FilterType::HighPass));
  }
  CFilterDlg cancelled(nullptr, 2, kTyped);
  RunInModalLoop(cancelled, {[&] {
    ClickRadio(cancelled, FilterType::Weight);
    Press(cancelled, wxID_CANCEL);
  }});
  EXPECT_EQ(cancelled.ShowModal(), wxID_CANCEL);
}

}  // namespace
}  // namespace pelorin
