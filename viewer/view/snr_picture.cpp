#include "view/snr_picture.h"

#include <algorithm>

#include <wx/dcmemory.h>

namespace pelorin {

wxBitmap MakeSnrPicture(const wxSize& size) {
  const int w = std::max(size.x, 40);
  const int h = std::max(size.y, 40);
  wxBitmap bitmap(w, h);
  wxMemoryDC dc(bitmap);
  dc.SetBackground(*wxWHITE_BRUSH);
  dc.Clear();

  // The panel: first index x to the right, second index y downwards.
  const int left = w / 6, top = h / 6, right = w - w / 6, bottom = h - h / 6;
  dc.SetPen(wxPen(wxColour(160, 160, 160)));
  dc.SetBrush(wxBrush(wxColour(235, 235, 235)));
  dc.DrawRectangle(left, top, right - left, bottom - top);

  const wxColour x1(200, 40, 40), x2(40, 120, 200), y1(30, 150, 60), y2(200, 120, 0);
  const int inset = 6;
  dc.SetPen(wxPen(x1, 2));
  dc.DrawLine(left + inset, top, left + inset, bottom);
  dc.SetPen(wxPen(x2, 2));
  dc.DrawLine(right - inset, top, right - inset, bottom);
  dc.SetPen(wxPen(y1, 2));
  dc.DrawLine(left, top + inset, right, top + inset);
  dc.SetPen(wxPen(y2, 2));
  dc.DrawLine(left, bottom - inset, right, bottom - inset);

  dc.SetFont(wxFont(wxFontInfo(7).Family(wxFONTFAMILY_SWISS)));
  dc.SetTextForeground(x1);
  dc.DrawText("X1 +>", left + 2, bottom + 2);
  dc.SetTextForeground(x2);
  const wxString x2Text = "<- X2";
  dc.DrawText(x2Text, right - dc.GetTextExtent(x2Text).x, bottom + 2);
  dc.SetTextForeground(y1);
  dc.DrawText("Y1", 2, top);
  dc.SetTextForeground(y2);
  dc.DrawText("Y2", 2, bottom - dc.GetCharHeight());
  dc.SetTextForeground(*wxBLACK);
  dc.DrawText("x", right + 4, top + (bottom - top) / 2 - dc.GetCharHeight());
  dc.SelectObject(wxNullBitmap);
  return bitmap;
}

}  // namespace pelorin
