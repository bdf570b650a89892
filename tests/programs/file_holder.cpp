// Holds a file open without sharing it, as another program that is using an
// installer would, until it is ended:
//   file_holder FILE READY
// writes the file READY once FILE is open; exits 3 when FILE cannot be opened.
#include "framework/afx_handle.h"

#include <windows.h>

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) return 2;
  afx_file_handle held(::CreateFileW(argv[1], GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!held.IsValid()) return 3;
  afx_file_handle ready(::CreateFileW(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!ready.IsValid()) return 4;
  ready.Close();
  ::Sleep(INFINITE);
  return 0;
}
