#pragma once
// Thin wrappers of the standard controls: each call is the control's message.
#include "framework/afx_wnd.h"

#include <commctrl.h>

class CButton : public CWnd {
public:
  int GetCheck() const { return static_cast<int>(SendMessage(BM_GETCHECK)); }
  void SetCheck(int check) { SendMessage(BM_SETCHECK, static_cast<WPARAM>(check)); }
  UINT GetState() const { return static_cast<UINT>(SendMessage(BM_GETSTATE)); }
  UINT GetButtonStyle() const { return GetStyle() & 0xFFFF; }
  void SetButtonStyle(UINT style, BOOL redraw = TRUE) {
    SendMessage(BM_SETSTYLE, style, redraw);
  }
  // The previous icon, which the caller now owns.
  HICON SetIcon(HICON icon) {
    return reinterpret_cast<HICON>(
        SendMessage(BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(icon)));
  }
  HICON GetIcon() const {
    return reinterpret_cast<HICON>(SendMessage(BM_GETIMAGE, IMAGE_ICON));
  }
};

class CStatic : public CWnd {
public:
  // The previous bitmap / icon, which the caller now owns.
  HBITMAP SetBitmap(HBITMAP bitmap) {
    return reinterpret_cast<HBITMAP>(
        SendMessage(STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap)));
  }
  HICON SetIcon(HICON icon) {
    return reinterpret_cast<HICON>(
        SendMessage(STM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(icon)));
  }
};

class CProgressCtrl : public CWnd {
public:
  void SetRange(short lower, short upper) { SendMessage(PBM_SETRANGE, 0, MAKELPARAM(lower, upper)); }
  void SetRange32(int lower, int upper) { SendMessage(PBM_SETRANGE32, lower, upper); }
  // Returns the previous position.
  int SetPos(int position) { return static_cast<int>(SendMessage(PBM_SETPOS, position)); }
  int GetPos() const { return static_cast<int>(SendMessage(PBM_GETPOS)); }
  int SetStep(int step) { return static_cast<int>(SendMessage(PBM_SETSTEP, step)); }
  int StepIt() { return static_cast<int>(SendMessage(PBM_STEPIT)); }
};
