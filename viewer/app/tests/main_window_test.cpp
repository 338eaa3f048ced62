// The main window as initialisation leaves it: its controls, their state, the caption,
// the status line, the statistics, the tab pages and the view-point buttons.
#include <typeinfo>

#include <gtest/gtest.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/notebook.h>
#include <wx/slider.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "app/main_template.h"
#include "app/pelorin_dlg.h"
#include "gui_support.h"
#include "view/resource.h"
#include "view/show_dialog.h"
#include "view/snr_dialog.h"

namespace pelorin {
namespace {

using test::Label;
using test::ScratchDir;
using test::Window;

bool KindMatches(const wxWindow* w, ControlKind kind) {
  switch (kind) {
    case ControlKind::Tab: return dynamic_cast<const wxNotebook*>(w) != nullptr;
    case ControlKind::PushButton:
    case ControlKind::MultiLineButton: return dynamic_cast<const wxButton*>(w) != nullptr;
    case ControlKind::StaticText:
    case ControlKind::CentredStaticText:
    case ControlKind::StatusText:
    case ControlKind::Hidden: return dynamic_cast<const wxStaticText*>(w) != nullptr;
    case ControlKind::DropDownList: return dynamic_cast<const wxChoice*>(w) != nullptr;
    case ControlKind::GroupBox: return dynamic_cast<const wxStaticBox*>(w) != nullptr;
    case ControlKind::EditBox: return dynamic_cast<const wxTextCtrl*>(w) != nullptr;
    case ControlKind::CheckBox: return dynamic_cast<const wxCheckBox*>(w) != nullptr;
    case ControlKind::Slider: return dynamic_cast<const wxSlider*>(w) != nullptr;
    default: return false;
  }
}

TEST(MainWindow, HasEveryTemplateControlWithItsIdKindAndParent) {
  ScratchDir dir;
  dir.WriteSettings(test::DefaultSettings());
  Window win;
  const auto controls = MainTemplateControls();
  EXPECT_EQ(controls.size(), 51u);
  for (const ControlSpec& ctl : controls) {
    SCOPED_TRACE(ctl.id);
    const wxWindow* w = win->FindWindow(ctl.id);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->GetParent(), &*win);
    EXPECT_TRUE(KindMatches(w, ctl.kind));
  }
  // The child list holds exactly the template's controls, in template order.
  ASSERT_EQ(win->Placement().ChildIds().size(), controls.size());
  for (size_t i = 0; i < controls.size(); ++i)
    EXPECT_EQ(win->Placement().ChildIds()[i], controls[i].id);
}

TEST(MainWindow, CaptionsOfTheFixedControlsAreTheTemplates) {
  ScratchDir dir;
  dir.WriteSettings(test::DefaultSettings());
  Window win;
  for (const ControlSpec& ctl : MainTemplateControls()) {
    // Buttons 1096 and 1098 name their sources after initialisation.
    if (ctl.id == res::IDC_FIRST_SOURCE || ctl.id == res::IDC_SECOND_SOURCE) continue;
    if (ctl.kind == ControlKind::Tab || ctl.kind == ControlKind::DropDownList ||
        ctl.kind == ControlKind::Slider || ctl.kind == ControlKind::EditBox)
      continue;
    EXPECT_EQ(Label(*win, ctl.id), wxString::FromUTF8(ctl.caption)) << ctl.id;
  }
  EXPECT_EQ(Label(*win, res::IDC_ORDER_EXAMPLE), "(Ex:2134=>Slave1->Master->Slave2->Slave3)");
  EXPECT_EQ(Label(*win, res::IDC_STATISTICS), "Average:           Max:           Min:");
}

TEST(MainWindow, InitialisationFillsListsAndStates) {
  ScratchDir dir;
  dir.WriteSettings(test::DefaultSettings());
  Window win;
  auto* chips = static_cast<wxChoice*>(win->FindWindow(res::IDC_CHIP_SELECT));
  ASSERT_EQ(chips->GetCount(), 9u);
  EXPECT_EQ(chips->GetString(0), "All");
  EXPECT_EQ(chips->GetString(2), "Slave1");
  EXPECT_EQ(chips->GetString(8), "Slave7");
  EXPECT_EQ(chips->GetSelection(), 0);

  auto* dump = static_cast<wxChoice*>(win->FindWindow(res::IDC_DUMP_TYPE));
  ASSERT_EQ(dump->GetCount(), 2u);
  EXPECT_EQ(dump->GetString(0), "Pelorin");
  EXPECT_EQ(dump->GetString(1), "MATLAB");
  auto* style = static_cast<wxChoice*>(win->FindWindow(res::IDC_DRAW_STYLE));
  ASSERT_EQ(style->GetCount(), 2u);
  EXPECT_EQ(style->GetString(0), "Style1");
  EXPECT_EQ(style->GetString(1), "Style2");

  for (int id : {res::IDC_STOP, res::IDC_PLAY, res::IDC_PAUSE, res::IDC_PREV, res::IDC_NEXT,
                 res::IDC_PLAYER_SLIDER})
    EXPECT_FALSE(win->FindWindow(id)->IsEnabled()) << id;
  EXPECT_TRUE(win->FindWindow(res::IDC_START)->IsEnabled());

  auto* maxSlider = static_cast<wxSlider*>(win->FindWindow(res::IDC_MAX_SLIDER));
  auto* minSlider = static_cast<wxSlider*>(win->FindWindow(res::IDC_MIN_SLIDER));
  EXPECT_EQ(maxSlider->GetMin(), 0);
  EXPECT_EQ(maxSlider->GetMax(), 400);
  EXPECT_EQ(minSlider->GetMax(), 400);
  EXPECT_EQ(maxSlider->GetValue(), 350);  // Base 250 + 100
  EXPECT_EQ(minSlider->GetValue(), 200);  // Base 0 + 200

  EXPECT_TRUE(static_cast<wxCheckBox*>(win->FindWindow(res::IDC_MOUSE_ZOOM))->GetValue());
  EXPECT_FALSE(static_cast<wxCheckBox*>(win->FindWindow(res::IDC_AUTO_CENTER))->GetValue());
  EXPECT_EQ(Label(*win, res::IDC_FIRST_SOURCE), "1st-Source\nBase");
  EXPECT_EQ(Label(*win, res::IDC_SECOND_SOURCE), "2st-Source\nNone");
  EXPECT_EQ(win->Session().Mode(), RunMode::Idle);
  EXPECT_FALSE(win->Session().Settings().dumpEnabled);
  EXPECT_FALSE(win->Session().Settings().batchMode);
  ASSERT_EQ(win->Session().Models().size(), 1u);
  EXPECT_EQ(win->AuxDialog().Owner(), &*win);
}

TEST(MainWindow, CaptionCarriesTheBuildVersion) {
  ScratchDir dir;
  Window win;
  EXPECT_EQ(win->GetTitle(), wxString("Pelorin - ") + PELORIN_VERSION_TEXT);
  EXPECT_FALSE(wxString(PELORIN_VERSION_TEXT).empty());
}

TEST(MainWindow, StatusAndStatisticsGoToTheirFields) {
  // The texts are the session's; here each reaches its field.
  ScratchDir dir;
  Window win;
  win->Session().ShowStatusMessage(9, "3, 10");
  EXPECT_EQ(Label(*win, res::IDC_STATUS), "loading 3 /  10");
  win->Session().ShowStatistics(12, 59.5f, 101.25f, 180, 200, -3, -7);
  EXPECT_EQ(Label(*win, res::IDC_FRAME_COUNT), "FrameCount : 12");
  EXPECT_EQ(Label(*win, res::IDC_FRAME_RATE), "FrameRate : 59.50");
  EXPECT_EQ(Label(*win, res::IDC_STATISTICS), "Average:101.25  Max:180(200)  Min:-3(-7)");
}

TEST(MainWindow, TabSelectionShowsOnePageAtATime) {
  ScratchDir dir;
  Window win;
  wxNotebook* tab = win->TabCtrl();
  ASSERT_EQ(tab->GetPageCount(), 2u);
  EXPECT_EQ(tab->GetPageText(0), "Pelorin");
  EXPECT_EQ(tab->GetPageText(1), "SNR");
  EXPECT_EQ(tab->GetPage(0), win->MapPage());
  EXPECT_EQ(tab->GetPage(1), win->SnrPage());
  auto showing = [&](wxWindow* page) {
    return tab->GetCurrentPage() == page && page->IsShownOnScreen();
  };
  EXPECT_TRUE(showing(win->MapPage()));
  EXPECT_FALSE(win->SnrPage()->IsShownOnScreen());

  tab->SetSelection(1);  // sends the page-changed event
  EXPECT_TRUE(test::PumpUntil([&] { return showing(win->SnrPage()); }));
  EXPECT_FALSE(win->MapPage()->IsShownOnScreen());
  tab->SetSelection(0);
  EXPECT_TRUE(test::PumpUntil([&] { return showing(win->MapPage()); }));
  EXPECT_FALSE(win->SnrPage()->IsShownOnScreen());
}

TEST(MainWindow, ViewPointButtonsStoreTheViewPoint) {
  ScratchDir dir;
  Window win;
  struct Case {
    int id, viewPoint;
    double rotX, rotY, rotZ;
  };
  for (const Case& c :
       {Case{res::IDC_X_AXIS, 1, -90, 0, 0}, Case{res::IDC_Y_AXIS, 2, -90, 0, 90},
        Case{res::IDC_Z_AXIS, 3, 0, 0, 0}, Case{res::IDC_DEFAULT_VIEW, 0, -50, 15, 107}}) {
    wxCommandEvent click(wxEVT_BUTTON, c.id);
    click.SetEventObject(win->FindWindow(c.id));
    win->FindWindow(c.id)->GetEventHandler()->ProcessEvent(click);
    EXPECT_EQ(win->Session().Settings().viewPoint, c.viewPoint);
    EXPECT_EQ(win->MapPage()->View().viewPoint, c.viewPoint);
    EXPECT_EQ(win->MapPage()->View().rotX, c.rotX);
    EXPECT_EQ(win->MapPage()->View().rotY, c.rotY);
    EXPECT_EQ(win->MapPage()->View().rotZ, c.rotZ);
  }
}

TEST(MainWindow, PaintsAndOffersTheAboutEntry) {
  ScratchDir dir;
  Window win;
  win->Refresh();
  win->Update();
  test::Pump();
  EXPECT_TRUE(win->IsShown());
  EXPECT_EQ(CPelorinDlg::AboutEntryText(), wxString::FromUTF8("關於 Pelorin(&A)..."));
}

TEST(MainWindow, MapPageTakesTheModelRangeAndDefaultView) {
  ScratchDir dir;
  dir.WriteSettings(test::Replace(test::DefaultSettings(),
                                  "[Base]\nMAX_DATA_RANGE=250\nMIN_DATA_RANGE=0",
                                  "[Base]\nMAX_DATA_RANGE=180\nMIN_DATA_RANGE=-20"));
  Window win;
  const MapViewState& view = win->MapPage()->View();
  EXPECT_EQ(view.rangeMax, 180);
  EXPECT_EQ(view.rangeMin, -20);
  EXPECT_EQ(view.scaleFactor, 1.0);
  EXPECT_EQ(view.angleX, 0.0);
  EXPECT_EQ(view.drawStyle, 1);                       // DRAW_STYLE=1
  EXPECT_EQ(win->Session().Settings().viewPoint, 1);  // VIEW_POINT=1 ran the X-axis action
}

}  // namespace
}  // namespace pelorin
