// A second reference for the start-up benchmark: the launcher's own window
// (its class, template, background picture and controls) opened from its
// template and nothing else: no start-up checks, no button bitmaps, icons or
// layout. Set between the one-dialog program and the launcher, it splits the
// launcher's time into the cost of its window and the cost of the work it
// does before and while opening it.
//   launcher_window [/common-controls]
// With /common-controls it first starts the common controls the way the
// launcher does, the one start-up step whose cost is the platform's alone.
#include "res/resource.h"
#include "support/system_libraries.h"

#include <windows.h>

#include <cwchar>

namespace {

const wchar_t kWindowClassName[] = LAUNCHER_WINDOW_CLASS_W;
const wchar_t kCommonControlsSwitch[] = L"/common-controls";

INT_PTR CALLBACK dialog_proc(HWND window, UINT message, WPARAM wparam, LPARAM) {
  if (message == WM_INITDIALOG) return FALSE;
  if (message == WM_COMMAND && (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL)) {
    ::EndDialog(window, LOWORD(wparam));
    return TRUE;
  }
  return FALSE;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR command_line, int) {
  // The template names the launcher's class, whose record this repeats.
  WNDCLASSW dialog_class{};
  dialog_class.style = CS_DBLCLKS;
  dialog_class.lpfnWndProc = ::DefDlgProcW;
  dialog_class.cbWndExtra = DLGWINDOWEXTRA;
  dialog_class.hInstance = instance;
  dialog_class.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  dialog_class.lpszClassName = kWindowClassName;
  if (!::RegisterClassW(&dialog_class)) return 1;
  if (std::wcscmp(command_line, kCommonControlsSwitch) == 0) {
    const comctl32_functions* comctl32 = comctl32_library();
    if (!comctl32) return 1;
    INITCOMMONCONTROLSEX classes{sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES};
    comctl32->InitCommonControlsEx(&classes);
  }
  return static_cast<int>(
      ::DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_LAUNCHER), nullptr, &dialog_proc, 0));
}
