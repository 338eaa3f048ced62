// Dialog templates: controls described by id, kind, caption and a rectangle in dialog
// units, created as wx controls. Dialog units follow the dialog font, so one table gives
// the same layout on every desktop font size.
#pragma once

#include <span>

#include <wx/font.h>
#include <wx/gdicmn.h>

class wxWindow;

namespace pelorin {

enum class ControlKind {
  Tab,  // wxNotebook
  PushButton,
  MultiLineButton,  // push button whose caption holds a line break
  StaticText,
  CentredStaticText,
  StatusText,    // one line; a text too long for it is cut in the middle with an ellipsis
  DropDownList,  // the height in the template is the dropped list's; the box keeps its natural
                 // height
  GroupBox,
  EditBox,
  CheckBox,
  RadioButton,
  Slider,
  Picture,  // wxStaticBitmap; the caller sets the bitmap
  Hidden,   // an invisible static that only marks an area
};

struct ControlSpec {
  int id;
  ControlKind kind;
  const char* caption;  // UTF-8
  int x, y, w, h;       // dialog units
};

// The dialog font of the templates ("MS Shell Dlg" 9 point on the original desktop): the
// desktop's default GUI font at 9 point.
wxFont DialogFont();

// A rectangle in dialog units converted to pixels with the dialog-unit base of `window`'s
// top-level parent.
wxRect DialogUnitsToPixels(const wxWindow* window, int x, int y, int w, int h);

// Creates one control as a child of `parent` at its template rectangle.
wxWindow* CreateControl(wxWindow* parent, const ControlSpec& spec);

// Creates every control of a template, in template order (which is also tab order).
void CreateControls(wxWindow* parent, std::span<const ControlSpec> specs);

}  // namespace pelorin
