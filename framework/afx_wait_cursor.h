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

// The wait cursor the framework's windows begin and end around a long step
// that runs on another thread: begin and end calls pair up, and the arrow
// comes back when the last one has ended.
void AfxBeginWaitCursor();
void AfxEndWaitCursor();
