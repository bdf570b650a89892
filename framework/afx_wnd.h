#pragma once
// The framework's window object: a C++ object bound to one window handle.
//
// Binding kinds:
// - Attach: borrows the handle, nothing more (no messages reach the object,
//   the window is not destroyed with it).
// - SubclassWindow / SubclassDlgItem: the window's procedure is replaced and
//   every message goes to the virtual WindowProc; Default() hands it on to the
//   original procedure. The binding ends on WM_NCDESTROY (before the original
//   procedure tears the window down, the object lets go: m_hWnd becomes null
//   and no later message reaches it) or when the object is destroyed first (the
//   original procedure is put back).
// - CDialog binds its own dialog windows (see afx_dialog.h).
#include <windows.h>

#include <string>

class CWnd {
public:
  CWnd() = default;
  CWnd(const CWnd&) = delete;
  CWnd& operator=(const CWnd&) = delete;
  virtual ~CWnd();

  HWND GetSafeHwnd() const { return m_hWnd; }
  operator HWND() const { return m_hWnd; }

  // The object a window is bound to by subclassing or as a dialog; null for
  // any other window.
  static CWnd* FromHandlePermanent(HWND window);

  // Borrows `window`; FALSE when the object already holds a window.
  BOOL Attach(HWND window);
  // Ends a borrow (or a subclassing, like UnsubclassWindow); returns the handle.
  HWND Detach();

  // FALSE when `window` is not a window, this object already holds one, or
  // `window` is bound to another object already.
  BOOL SubclassWindow(HWND window);
  BOOL SubclassDlgItem(UINT id, CWnd* parent);
  // Puts the original procedure back; returns the handle.
  HWND UnsubclassWindow();
  bool IsSubclassed() const { return m_pfnSuper != nullptr; }

  // Every message of a subclassed window. The default hands it to Default().
  virtual LRESULT WindowProc(UINT message, WPARAM wparam, LPARAM lparam);
  // The original procedure's answer to the message being handled.
  virtual LRESULT Default();
  // The original procedure's answer to any message.
  LRESULT DefWindowProc(UINT message, WPARAM wparam, LPARAM lparam);

  // Owner-drawn controls: the owner dialog routes WM_DRAWITEM here. The DC in
  // `item` is borrowed.
  virtual void DrawItem(LPDRAWITEMSTRUCT item);

  // Thin helpers: the Windows call of the same name on m_hWnd.
  BOOL SetWindowPos(HWND insert_after, int x, int y, int cx, int cy, UINT flags);
  void GetWindowRect(LPRECT rect) const;
  void GetClientRect(LPRECT rect) const;
  void SetWindowText(LPCWSTR text);
  int GetWindowText(LPWSTR buffer, int max_count) const;
  std::wstring GetWindowText() const;
  BOOL ShowWindow(int show);
  BOOL EnableWindow(BOOL enable = TRUE);
  BOOL IsWindowEnabled() const;
  BOOL IsWindowVisible() const;
  void MoveWindow(int x, int y, int width, int height, BOOL repaint = TRUE);
  void MoveWindow(LPCRECT rect, BOOL repaint = TRUE);
  BOOL RedrawWindow(LPCRECT update = nullptr, HRGN region = nullptr,
                    UINT flags = RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE);
  void Invalidate(BOOL erase = TRUE);
  LRESULT SendMessage(UINT message, WPARAM wparam = 0, LPARAM lparam = 0) const;
  BOOL PostMessage(UINT message, WPARAM wparam = 0, LPARAM lparam = 0) const;
  UINT_PTR SetTimer(UINT_PTR id, UINT elapse_ms, TIMERPROC timer_proc = nullptr);
  BOOL KillTimer(UINT_PTR id);
  HWND GetDlgItem(int id) const;
  HWND GetParent() const;
  virtual BOOL DestroyWindow();
  DWORD GetStyle() const;
  DWORD GetExStyle() const;
  // Returns FALSE when the style was already so. Non-zero `swp_flags` also
  // calls SetWindowPos so that frame changes take effect.
  BOOL ModifyStyle(DWORD remove, DWORD add, UINT swp_flags = 0);
  // Centres over `alternate` (or the owner / parent when null, else the
  // monitor's work area), kept inside the work area.
  void CenterWindow(CWnd* alternate = nullptr);
  // Grows a client rectangle to the window rectangle for this window's styles.
  virtual void CalcWindowRect(LPRECT client_rect, UINT adjust_type = 0);

  HWND m_hWnd = nullptr;

protected:
  // Binds `window` to this object for FromHandlePermanent.
  bool BindPermanent(HWND window);
  void UnbindPermanent(HWND window);

  // The message being handled, for Default().
  struct current_message {
    UINT message = 0;
    WPARAM wparam = 0;
    LPARAM lparam = 0;
  };
  current_message m_current;

private:
  static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

  WNDPROC m_pfnSuper = nullptr;
};
