// Writes "nt6=<0|1> verb=<verb>" to the file named on its command line.
#include "launcher/installer_execution.h"

#include <cstdio>

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 2;
  FILE* out = _wfopen(argv[1], L"wb");
  if (!out) return 3;
  std::fprintf(out, "nt6=%d verb=%ls", IsNt6OrLater() ? 1 : 0, installer_verb());
  std::fclose(out);
  return 0;
}
