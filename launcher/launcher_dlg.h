#pragma once
// The launcher's one window (dialog template 102).
#include "framework/afx_wnd.h"

class CLauncherDlg : public CWnd {
public:
  enum { IDD = 102 };

  explicit CLauncherDlg(CWnd* parent = nullptr);
  ~CLauncherDlg() override;

  // Shows the dialog modally; returns the id it was ended with.
  INT_PTR DoModal();

private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

  CWnd* parent_;
};
