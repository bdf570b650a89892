#pragma once
// Dialogs from templates. The dialog procedure binds the object on
// WM_INITDIALOG (DWLP_USER) and hands every later message to the virtual
// WindowProc; the binding ends on WM_NCDESTROY, before the window is torn down.
// A handler that wants the system's default processing calls Default().
#include "framework/afx_wnd.h"

class CDialog : public CWnd {
public:
  CDialog() = default;
  CDialog(UINT template_id, CWnd* parent);
  // A modeless dialog still open is destroyed (after the object let go).
  ~CDialog() override;

  // Runs the dialog modally; returns EndDialog's value, or -1 when the
  // dialog could not be created.
  virtual INT_PTR DoModal();
  // Creates the modeless dialog; FALSE when creation failed.
  virtual BOOL Create(UINT template_id, CWnd* parent = nullptr);
  void EndDialog(INT_PTR result);

  // Returns the focus flag: TRUE lets the system focus the first control.
  virtual BOOL OnInitDialog();
  virtual void DoDataExchange();
  virtual void OnOK();
  virtual void OnCancel();
  // `kind` is the message minus WM_CTLCOLORMSGBOX: CTLCOLOR_MSGBOX (0) ..
  // CTLCOLOR_STATIC (6); check boxes and radio buttons ask as static controls.
  // `control` is valid for the call only.
  // Null means "not handled": the system's default colours apply. The brush
  // returned stays owned by the dialog.
  virtual HBRUSH OnCtlColor(HDC dc, CWnd* control, UINT kind);
  virtual void OnTimer(UINT_PTR id);
  virtual void OnPaint();
  // Any other message: return true with `result` set when handled. Called
  // before the handlers above, so it can take over any message.
  virtual bool OnMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result);

  // Binds `control` to dialog item `id` by subclassing, unless it is bound
  // already. FALSE when there is no such item or it cannot be bound.
  BOOL DDX_Control(int id, CWnd& control);

  LRESULT WindowProc(UINT message, WPARAM wparam, LPARAM lparam) override;
  // Asks for the system's default processing of the message being handled.
  LRESULT Default() override;
  BOOL DestroyWindow() override;

protected:
  UINT m_nIDTemplate = 0;
  CWnd* m_pParentWnd = nullptr;

private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  static INT_PTR DialogResult(HWND window, UINT message, bool handled, LRESULT result);
  void Unbind();

  bool m_bDefaultRequested = false;
};
