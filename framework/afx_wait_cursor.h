#pragma once
// The hourglass while a slow step runs on the window thread.
#include <windows.h>

class CWaitCursor {
public:
  // Shows IDC_WAIT until the object goes away.
  CWaitCursor();
  CWaitCursor(const CWaitCursor&) = delete;
  CWaitCursor& operator=(const CWaitCursor&) = delete;
  // Puts back the cursor shown before.
  ~CWaitCursor();

  // Shows IDC_WAIT again (after a message box or a window reset the cursor).
  void Restore();

  // True while any CWaitCursor of the process lives: a window answering
  // WM_SETCURSOR should then leave the cursor alone.
  static bool IsActive();

private:
  HCURSOR previous_;
};
