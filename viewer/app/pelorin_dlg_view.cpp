// The main window's side of the session: what the session tells it to show, done on the
// window's controls, the map and the SNR page.
#include <cstdio>

#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/evtloop.h>
#include <wx/msgdlg.h>
#include <wx/slider.h>
#include <wx/textctrl.h>

#include "app/pelorin_dlg.h"
#include "app/program_exit.h"
#include "app/window_placement.h"
#include "data/live_model.h"
#include "data/session/viewer_session.h"
#include "view/caption_fit.h"
#include "view/filter_dlg.h"
#include "view/map_window.h"
#include "view/mesh/live_model_mesh_sources.h"
#include "view/mesh/recording_mesh_sources.h"
#include "view/multi_source_dlg.h"
#include "view/resource.h"
#include "view/show_dialog.h"
#include "view/snr_dialog.h"

namespace pelorin {

using namespace res;

namespace {

constexpr int kFieldIds[kFieldCount] = {
    IDC_STATUS,     IDC_WIDTH,     IDC_HEIGHT,    IDC_FRAME_COUNT,  IDC_FRAME_RATE,
    IDC_STATISTICS, IDC_MAX_LABEL, IDC_MIN_LABEL, IDC_FIRST_SOURCE, IDC_SECOND_SOURCE,
};

constexpr int kControlIds[kControlCount] = {
    IDC_START,        IDC_STOP,          IDC_LOAD,          IDC_PLAY,         IDC_PAUSE,
    IDC_PREV,         IDC_NEXT,          IDC_PLAYER_SLIDER, IDC_FILTER,       IDC_DUMP,
    IDC_FIRST_SOURCE, IDC_SECOND_SOURCE, IDC_CHIP_SELECT,   IDC_HIDE_OVERLAP, IDC_HIDE_BUTTON,
};

std::vector<LiveMeshModel> MeshModelsOf(const std::vector<std::unique_ptr<PelorinModel>>& models) {
  std::vector<LiveMeshModel> live;
  for (const auto& m : models) {
    if (const auto* model = dynamic_cast<const InstantModel*>(m.get()))
      live.push_back({model, model->GetMaskOn()});
  }
  return live;
}

}  // namespace

void CPelorinDlg::ShowText(Field field, const std::string& text) {
  const int id = kFieldIds[static_cast<int>(field)];
  wxWindow* control = FindWindow(id);
  if (control == nullptr) return;
  control->SetLabel(wxString::FromUTF8(text));
  // Large or negative values make the statistics longer than their fields: they shrink
  // rather than wrap out of sight.
  if (field == Field::FrameCount || field == Field::FrameRate || field == Field::Statistics)
    FitTextToWidth(control, placement_->NormalFont());
}

void CPelorinDlg::EnableControl(Control control, bool enable) {
  wxWindow* w = FindWindow(kControlIds[static_cast<int>(control)]);
  if (w == nullptr) return;
  w->Enable(enable);
  if (control == Control::ChipSelect) w->Update();
}

void CPelorinDlg::ShowValue(Value value, int32_t v) {
  const auto slider = [this](int id) { return static_cast<wxSlider*>(FindWindow(id)); };
  const auto check = [this](int id) { return static_cast<wxCheckBox*>(FindWindow(id)); };
  switch (value) {
    case Value::MaxSlider: slider(IDC_MAX_SLIDER)->SetValue(v); break;
    case Value::MinSlider: slider(IDC_MIN_SLIDER)->SetValue(v); break;
    case Value::PlayerSlider: slider(IDC_PLAYER_SLIDER)->SetValue(v); break;
    case Value::PlayerSliderEnd: slider(IDC_PLAYER_SLIDER)->SetRange(0, v); break;
    case Value::DumpType: static_cast<wxChoice*>(FindWindow(IDC_DUMP_TYPE))->SetSelection(v); break;
    case Value::Reverse: check(IDC_REVERSE)->SetValue(v != 0); break;
    case Value::AutoCenter: check(IDC_AUTO_CENTER)->SetValue(v != 0); break;
    case Value::HideButton: check(IDC_HIDE_BUTTON)->SetValue(v != 0); break;
    case Value::DrawStyle:
      // The legend follows at once; the mesh takes the style at its next build.
      static_cast<wxChoice*>(FindWindow(IDC_DRAW_STYLE))->SetSelection(v);
      if (mapPage_ != nullptr) {
        mapPage_->View().drawStyle = v;
        mapPage_->RefreshMap();
      }
      break;
    case Value::ViewPoint:
      if (mapPage_ != nullptr) {
        static_cast<MapOrientation&>(mapPage_->View()) =
            PresetOrientation(static_cast<ViewPoint>(v));
        if (COpenGLControl* map = MapWindow()) map->ResetView();
        mapPage_->RefreshMap();
      }
      break;
    case Value::RangeMax:
      if (mapPage_ != nullptr) mapPage_->View().rangeMax = v;
      break;
    case Value::RangeMin:
      if (mapPage_ != nullptr) mapPage_->View().rangeMin = v;
      break;
  }
}

void CPelorinDlg::ShowRunFigures(const RunFigures& f) {
  mapData_.sourceNames = f.sourceNames;
  mapData_.showSD = f.showSD;
  mapData_.showFlatness = f.showFlatness;
  mapData_.standardDeviation = f.standardDeviation;
  mapData_.flatness = f.flatness;
  mapData_.showSecondPass = f.showSecondPass;
}

void CPelorinDlg::ShowFrameExtremes(int32_t frameMax, int32_t frameMin) {
  if (COpenGLControl* map = MapWindow()) {
    map->SetMaxLabel(frameMax);
    map->SetMinLabel(frameMin);
  }
}

void CPelorinDlg::UpdateMap(MapUpdate update) {
  COpenGLControl* map = MapWindow();
  switch (update) {
    case MapUpdate::SizeLive:
      if (map != nullptr)
        map->SizeMesh(LiveModelMeshSources(MeshModelsOf(session_->Models())), &snrPlotSize_);
      // The plot window takes the size the mesh sizing gave the SNR plot.
      if (snrPage_ != nullptr) snrPage_->SizeSnrPlot(snrPlotSize_.FloatCount());
      break;
    case MapUpdate::RebuildLive:
      // The frames the worker published last, each complete; the map repaints itself.
      if (map == nullptr) return;
      map->Rebuild(LiveModelMeshSources(MeshModelsOf(session_->Models())));
      mapPage_->Refresh(false);
      break;
    case MapUpdate::SizePlayback:
      // Sizing reads no frame.
      if (map != nullptr) map->SizeMesh(RecordingMeshSources(session_->Recordings(), 0));
      break;
    case MapUpdate::Repaint:
      if (mapPage_ != nullptr) mapPage_->RefreshMap();
      break;
  }
}

void CPelorinDlg::DrawRecordedFrame(int32_t i) {
  // Under the playback lock: reads only the recording and the map, which guards its own
  // arrays against the paint.
  const RecordingSet& recorded = session_->Recordings();
  COpenGLControl* map = MapWindow();
  if (map == nullptr || recorded.Count() == 0) return;
  map->Rebuild(RecordingMeshSources(recorded, i));
  if (i >= 0 && i < recorded.GetFrameCount(0)) {
    map->SetMaxLabel(recorded.FrameMax(0, i));
    map->SetMinLabel(recorded.FrameMin(0, i));
  }
}

void CPelorinDlg::PlotSnr(const LiveFrame& frame, const SnrPins& pins, const EdgeBuffers& untouched,
                          const EdgeBuffers& touched) {
  if (snrPage_ != nullptr) snrPage_->BuildSnrPlot(frame, pins, untouched, touched);
}

void CPelorinDlg::ShowSnrResults(const SnrResults& results, const PanelNoiseReport& noise) {
  if (snrPage_ == nullptr) return;
  snrPage_->ShowSnrResults(results);
  snrPage_->ShowPanelNoise(noise);
}

void CPelorinDlg::RunRefreshTimers(bool on) {
  if (on) {
    snrTimer_.Start(400);
    mapTimer_.Start(200);
  } else {
    mapTimer_.Stop();
    snrTimer_.Stop();
  }
}

StartInputs CPelorinDlg::ReadStartInputs() {
  StartInputs in;
  if (auto* order = static_cast<wxTextCtrl*>(FindWindow(IDC_CHIP_ORDER)))
    in.chipOrder = order->GetValue().utf8_string();
  if (snrPage_ != nullptr) {
    const SnrInputs s = snrPage_->ReadInputs();
    in.pins = SnrPins{s.untouchedCount, s.pinX1, s.pinX2, s.pinY1, s.pinY2};
  }
  return in;
}

std::optional<int32_t> CPelorinDlg::AskSourceType(int mode, int32_t presetType) {
  if (answers_.sourceDialog) return answers_.sourceDialog(mode, presetType);
  CMultiSourceDlg dialog(this);
  dialog.SetMode(mode);
  dialog.Preset(presetType);
  if (dialog.ShowModal() != wxID_OK) return std::nullopt;
  return dialog.Selection();
}

bool CPelorinDlg::EditFilter(int32_t& filterType, FilterKernel& kernel) {
  CFilterDlg dialog(this, filterType, kernel);
  if (dialog.ShowModal() != wxID_OK) return false;
  kernel = dialog.EditedKernel();
  filterType = dialog.SelectedType();
  return true;
}

void CPelorinDlg::ShowMessage(const std::string& text, const std::string& title) {
  const wxString t = wxString::FromUTF8(text);
  const wxString caption = wxString::FromUTF8(title);
  if (answers_.messageBox) {
    answers_.messageBox(t, caption);
  } else if (session_->Settings().batchMode) {
    // An unattended run must never wait for a click.
    std::printf("%s: %s\n", title.c_str(), text.c_str());
    std::fflush(stdout);
  } else {
    wxMessageBox(t, caption, wxOK, this);
  }
}

void CPelorinDlg::Post(std::function<void()> task) { CallAfter(std::move(task)); }

void CPelorinDlg::Repaint() {
  // Only drawing events are let through, so a click cannot start another load or a
  // playback in the middle of this one.
  if (wxEventLoopBase* loop = wxEventLoopBase::GetActive()) loop->YieldFor(wxEVT_CATEGORY_UI);
}

void CPelorinDlg::Focus(FocusTarget target) {
  if (target == FocusTarget::Window) {
    CallAfter([this] { SetFocus(); });
  } else {
    CallAfter([this] {
      if (mapPage_ != nullptr) mapPage_->SetFocus();
    });
  }
}

void CPelorinDlg::SetExitStatus(int status, const std::string& message) {
  pelorin::SetExitStatus(status, message);
}

void CPelorinDlg::RequestClose() { Close(); }

}  // namespace pelorin
