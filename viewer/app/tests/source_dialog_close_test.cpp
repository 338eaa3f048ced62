// Leaving the source dialog without its Ok button: the title bar's close button and the
// Escape key end it with wxID_CANCEL, so the callers change nothing.
#include <gtest/gtest.h>
#include <wx/choice.h>

#include "gui_support.h"
#include "view/filter_dlg.h"
#include "view/multi_source_dlg.h"

namespace pelorin {
namespace {

// The Escape key as the dialog's key hook sees it.
void PressEscape(wxDialog& dlg) {
  wxKeyEvent key(wxEVT_CHAR_HOOK);
  key.m_keyCode = WXK_ESCAPE;
  key.SetEventObject(&dlg);
  dlg.GetEventHandler()->ProcessEvent(key);
}

TEST(DialogClose, SourceDialogClosedOrEscapedIsCancelled) {
  for (const bool escape : {false, true}) {
    CMultiSourceDlg dlg(nullptr);
    dlg.SetMode(1);
    dlg.Preset(6);
    dlg.CallAfter([&dlg, escape] {
      dlg.Combo()->SetSelection(2);  // chosen, but never confirmed
      if (escape) {
        PressEscape(dlg);
      } else {
        dlg.Close();
      }
      // Should nothing have ended the run, end it so the test fails instead of hanging.
      dlg.CallAfter([&dlg] { if (dlg.IsModal()) dlg.EndModal(12345); });
    });
    EXPECT_EQ(dlg.ShowModal(), wxID_CANCEL) << (escape ? "Escape" : "close button");
    EXPECT_EQ(dlg.Selection(), 6);
  }
}

TEST(DialogClose, FilterDialogClosedOrEscapedIsCancelled) {
  for (const bool escape : {false, true}) {
    CFilterDlg dlg(nullptr, 0, FilterKernel{});
    dlg.CallAfter([&dlg, escape] {
      if (escape) {
        PressEscape(dlg);
      } else {
        dlg.Close();
      }
      dlg.CallAfter([&dlg] { if (dlg.IsModal()) dlg.EndModal(12345); });
    });
    EXPECT_EQ(dlg.ShowModal(), wxID_CANCEL) << (escape ? "Escape" : "close button");
  }
}

}  // namespace
}  // namespace pelorin
