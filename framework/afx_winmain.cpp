// The program entry of a framework application: everything happens in the
// application object (AfxWinMain).
#include "framework/afx_app.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR command_line, int show) {
  return AfxWinMain(instance, command_line, show);
}
