// Stands for any system DLL planted beside a program: it only leaves its mark.
#include "tests/fixtures_dll/load_marker.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) write_load_marker(self);
  return TRUE;
}
