#include "view/caption_fit.h"

#include <algorithm>

#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/slider.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/window.h>

#include "view/tight_style.h"

namespace pelorin {

int RightLimit(const wxRect& control, const std::vector<wxRect>& neighbours, int bound) {
  const int right = control.x + control.width;
  int limit = std::max(bound, right);
  for (const wxRect& n : neighbours) {
    const bool sameRows = n.y < control.y + control.height && control.y < n.y + n.height;
    if (!sameRows || n.Intersects(control) || n.x < right) continue;
    limit = std::min(limit, std::max(n.x - kNeighbourGap, right));
  }
  return limit;
}

wxRect WithMinimumHeight(const wxRect& rect, int minHeight) {
  if (rect.height >= minHeight) return rect;
  const int growth = minHeight - rect.height;
  return {rect.x, rect.y - growth / 2, rect.width, minHeight};
}

namespace {

// Inside a group box the caption stays clear of the box's right border.
constexpr int kGroupBorder = 4;

bool IsCaptionControl(const wxWindow* w) {
  if (dynamic_cast<const wxCheckBox*>(w) != nullptr) return true;
  return dynamic_cast<const wxStaticText*>(w) != nullptr && w->IsShown() &&
         !w->GetLabel().empty();
}

// The width of `text` drawn in `font` at `points`.
int TextWidthAt(const wxWindow* control, const wxString& text, const wxFont& font,
                double points) {
  wxFont f(font);
  f.SetFractionalPointSize(points);
  int w = 0, h = 0;
  control->GetTextExtent(text, &w, &h, nullptr, nullptr, &f);
  return w;
}

// Gives a control whose best width `bestWidth` shows `text` a smaller font, from half a
// point below its own, at which that text fits `width` (what the control draws besides
// the text stays as it is).
void ShrinkFontToFit(wxWindow* control, const wxString& text, int bestWidth, int width) {
  const int overhead = bestWidth - control->GetTextExtent(text).x;
  wxFont font = control->GetFont();
  font.SetFractionalPointSize(
      PointsThatFit(font.GetFractionalPointSize() - 0.5, overhead, width,
                    [&](double p) { return TextWidthAt(control, text, font, p); }));
  control->SetFont(font);
}

// The rectangles of the siblings a caption must not grow into, and the right edge of the
// space it lives in (the group box around it, else the parent's client area).
struct Surroundings {
  std::vector<wxRect> neighbours;
  int bound = 0;
};

Surroundings SurroundingsOf(const wxWindow* parent, const wxWindow* control) {
  Surroundings s;
  const wxRect own = control->GetRect();
  s.bound = parent->GetClientSize().x;
  for (const wxWindow* sibling : parent->GetChildren()) {
    if (sibling == control || sibling->IsTopLevel() || !sibling->IsShown()) continue;
    const wxRect r = sibling->GetRect();
    if (dynamic_cast<const wxStaticBox*>(sibling) != nullptr) {
      if (r.Contains(own)) s.bound = std::min(s.bound, r.x + r.width - kGroupBorder);
      continue;
    }
    s.neighbours.push_back(r);
  }
  return s;
}

void FitCaption(wxWindow* parent, wxWindow* control) {
  if (auto* box = dynamic_cast<wxCheckBox*>(control)) MakeCheckBoxTight(box);
  control->InvalidateBestSize();
  const wxSize best = control->GetBestSize();
  const wxRect original = control->GetRect();
  wxRect rect = original;
  if (dynamic_cast<wxCheckBox*>(control) != nullptr) rect = WithMinimumHeight(rect, best.y);

  if (best.x > rect.width) {
    const bool centred = control->HasFlag(wxALIGN_CENTRE_HORIZONTAL);
    if (!centred) {
      const Surroundings s = SurroundingsOf(parent, control);
      rect.width = std::min(best.x, RightLimit(rect, s.neighbours, s.bound) - rect.x);
    }
    if (best.x > rect.width) {
      ShrinkFontToFit(control, control->GetLabel(), best.x, rect.width);
      control->InvalidateBestSize();
    }
  }
  if (dynamic_cast<wxCheckBox*>(control) != nullptr) {
    // The height the box needs at the font it ended with.
    const wxRect grown = WithMinimumHeight(original, control->GetBestSize().y);
    rect.y = grown.y;
    rect.height = grown.height;
  }
  control->SetSize(rect);
}

// The widest item of a drop-down list.
wxString WidestItem(const wxChoice* choice) {
  wxString widest;
  int widestWidth = -1;
  for (unsigned i = 0; i < choice->GetCount(); ++i) {
    const wxString item = choice->GetString(i);
    const int w = choice->GetTextExtent(item).x;
    if (w > widestWidth) {
      widest = item;
      widestWidth = w;
    }
  }
  return widest;
}

void FitChoice(wxWindow* parent, wxChoice* choice) {
  choice->InvalidateBestSize();
  const wxSize best = choice->GetBestSize();
  wxRect rect = choice->GetRect();
  if (best.x <= rect.width) return;
  const Surroundings s = SurroundingsOf(parent, choice);
  rect.width = std::min(best.x, RightLimit(rect, s.neighbours, s.bound) - rect.x);
  if (best.x > rect.width) ShrinkFontToFit(choice, WidestItem(choice), best.x, rect.width);
  choice->SetSize(rect);
}

}  // namespace

void FitDropDownLists(wxWindow* parent, const std::vector<int>& ids) {
  for (int id : ids) {
    auto* choice = dynamic_cast<wxChoice*>(parent->FindWindow(id));
    if (choice != nullptr && choice->GetParent() == parent) FitChoice(parent, choice);
  }
}

void FitTextToWidth(wxWindow* control, const wxFont& normal) {
  if (control == nullptr) return;
  const wxFont base = normal.IsOk() ? normal : control->GetFont();
  const wxString text = control->GetLabel();
  const double points =
      PointsThatFit(base.GetFractionalPointSize(), 0, control->GetSize().x,
                    [&](double p) { return TextWidthAt(control, text, base, p); });
  if (control->GetFont().GetFractionalPointSize() != points) {
    wxFont f(base);
    f.SetFractionalPointSize(points);
    control->SetFont(f);
  }
}

void FitCaptionsAndTracks(wxWindow* parent, const std::vector<int>& ids) {
  std::vector<wxWindow*> controls;
  for (int id : ids) {
    wxWindow* w = parent->FindWindow(id);
    if (w != nullptr && w->GetParent() == parent) controls.push_back(w);
  }
  // A control made at a given size keeps that size as its minimum, which wx then reports
  // as part of its best size; the fit asks for the toolkit's own wish instead.
  for (wxWindow* w : controls) {
    if (dynamic_cast<wxSlider*>(w) != nullptr || dynamic_cast<wxChoice*>(w) != nullptr ||
        IsCaptionControl(w)) {
      w->SetMinSize(wxDefaultSize);
      w->InvalidateBestSize();
    }
  }
  // Heights first, so that the captions see their neighbours' final rows.
  for (wxWindow* w : controls) {
    if (dynamic_cast<wxSlider*>(w) != nullptr) {
      w->SetSize(WithMinimumHeight(w->GetRect(), w->GetBestSize().y));
    }
  }
  for (wxWindow* w : controls) {
    if (IsCaptionControl(w)) FitCaption(parent, w);
    if (auto* choice = dynamic_cast<wxChoice*>(w)) MakeChoiceTight(choice);
  }
}

}  // namespace pelorin
