// The reference for the start-up benchmark: a program that shows one dialog
// from a template and nothing else.
#include <windows.h>

namespace {

INT_PTR CALLBACK dialog_proc(HWND window, UINT message, WPARAM wparam, LPARAM) {
  if (message == WM_INITDIALOG) return TRUE;
  if (message == WM_COMMAND && (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL)) {
    ::EndDialog(window, LOWORD(wparam));
    return TRUE;
  }
  return FALSE;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
  return static_cast<int>(::DialogBoxParamW(instance, MAKEINTRESOURCEW(1), nullptr, &dialog_proc, 0));
}
