// Stands in for a mode-change program: appends one line to "ran.log" in its working
// directory, saying how many arguments it got, so tests can tell that (and where) it ran.
#include <cstdio>

int main(int argc, char** argv) {
  std::FILE* f = std::fopen("ran.log", "a");
  if (f == nullptr) return 1;
  std::fprintf(f, "%s args=%d\n", argv[0], argc - 1);
  std::fclose(f);
  return 0;
}
