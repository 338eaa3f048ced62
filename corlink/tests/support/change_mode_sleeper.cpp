// Stands in for a mode-change program that hangs: it sleeps two minutes, far past any
// time limit a test sets, and ends by itself should nothing stop it.
#include <unistd.h>

int main() {
  sleep(120);
  return 0;
}
