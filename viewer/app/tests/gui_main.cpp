// main() of the GUI tests: GoogleTest on top of a running wx application. Without a
// display the whole binary reports "skipped" (exit status 77) to CTest; listing the tests
// needs no display.
#include <cstdio>
#include <cstdlib>

#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/image.h>
#include <wx/init.h>

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();

  const char* display = std::getenv("DISPLAY");
  if (display == nullptr || *display == '\0') {
    std::puts("no display: GUI tests skipped");
    return 77;
  }
  wxApp::SetInstance(new wxApp());
  int wxArgc = 1;
  char* wxArgv[] = {argv[0], nullptr};
  if (!wxEntryStart(wxArgc, wxArgv)) {
    std::puts("display cannot be opened: GUI tests skipped");
    return 77;
  }
  wxInitAllImageHandlers();
  const int result = RUN_ALL_TESTS();
  wxEntryCleanup();
  return result;
}
