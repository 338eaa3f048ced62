#include <cstdio>
#include "panelsim/version.h"
int main() {
  std::printf("panelsim %s: emulator not built yet\n", panelsim::Version());
  return 0;
}
