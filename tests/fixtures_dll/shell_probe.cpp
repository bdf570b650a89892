// Starts a program through the launcher's two shell calls, as the workflows do
// once the window is up, for the planted-DLL tests: shell32 and the shlwapi it
// imports must come from the system folder even with copies beside this
// program.
//   shell_probe PROGRAM
// Exit code: 0 when the shell opened PROGRAM and started it as an installer
// that ended with 0, 1 when either failed, 2 for a bad call.
#include "launcher/installer_execution.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) return 2;
  if (!ShellOpen(nullptr, argv[1], SW_HIDE)) return 1;
  return ExecuteInstaller(argv[1], L"") == 0 ? 0 : 1;
}
