#include "framework/afx_dialog.h"

#include "framework/afx_app.h"
#include "framework/afx_exception.h"

CDialog::CDialog(UINT template_id, CWnd* parent)
    : m_nIDTemplate(template_id), m_pParentWnd(parent) {}

CDialog::~CDialog() {
  const HWND window = m_hWnd;
  if (!window) return;
  // No message of the teardown may reach a half-destroyed object.
  Unbind();
  ::DestroyWindow(window);
}

INT_PTR CDialog::DoModal() {
  const HWND parent = m_pParentWnd ? m_pParentWnd->GetSafeHwnd() : nullptr;
  return ::DialogBoxParamW(AfxGetResourceHandle(), MAKEINTRESOURCEW(m_nIDTemplate), parent,
                           &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
}

BOOL CDialog::Create(UINT template_id, CWnd* parent) {
  if (m_hWnd) return FALSE;
  m_nIDTemplate = template_id;
  m_pParentWnd = parent;
  const HWND window = ::CreateDialogParamW(
      AfxGetResourceHandle(), MAKEINTRESOURCEW(template_id),
      parent ? parent->GetSafeHwnd() : nullptr, &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
  return window ? TRUE : FALSE;
}

void CDialog::EndDialog(INT_PTR result) { ::EndDialog(m_hWnd, result); }

BOOL CDialog::DestroyWindow() {
  const HWND window = m_hWnd;
  if (!window) return FALSE;
  return ::DestroyWindow(window);
}

BOOL CDialog::OnInitDialog() {
  DoDataExchange();
  return TRUE;
}

void CDialog::DoDataExchange() {}

void CDialog::OnOK() { EndDialog(IDOK); }

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

HBRUSH CDialog::OnCtlColor(HDC, CWnd*, UINT) { return nullptr; }

void CDialog::OnTimer(UINT_PTR) { Default(); }

void CDialog::OnPaint() { Default(); }

bool CDialog::OnMessage(UINT, WPARAM, LPARAM, LRESULT&) { return false; }

BOOL CDialog::DDX_Control(int id, CWnd& control) {
  if (control.GetSafeHwnd()) return TRUE;
  return control.SubclassDlgItem(static_cast<UINT>(id), this);
}

LRESULT CDialog::Default() {
  m_bDefaultRequested = true;
  return 0;
}

LRESULT CDialog::WindowProc(UINT message, WPARAM wparam, LPARAM lparam) {
  LRESULT result = 0;
  if (OnMessage(message, wparam, lparam, result)) return result;
  switch (message) {
    case WM_INITDIALOG:
      return OnInitDialog();
    case WM_COMMAND:
      if (HIWORD(wparam) == BN_CLICKED && LOWORD(wparam) == IDOK) {
        OnOK();
        return 0;
      }
      if (HIWORD(wparam) == BN_CLICKED && LOWORD(wparam) == IDCANCEL) {
        OnCancel();
        return 0;
      }
      return Default();
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC: {
      const auto control_window = reinterpret_cast<HWND>(lparam);
      CWnd* control = FromHandlePermanent(control_window);
      CWnd borrowed;
      if (!control) {
        borrowed.Attach(control_window);
        control = &borrowed;
      }
      const HBRUSH brush =
          OnCtlColor(reinterpret_cast<HDC>(wparam), control, message - WM_CTLCOLORMSGBOX);
      borrowed.Detach();
      if (!brush) return Default();
      return reinterpret_cast<LRESULT>(brush);
    }
    case WM_DRAWITEM: {
      const auto* item = reinterpret_cast<LPDRAWITEMSTRUCT>(lparam);
      CWnd* control =
          item && item->CtlType != ODT_MENU ? FromHandlePermanent(item->hwndItem) : nullptr;
      if (!control || control == this) return Default();
      control->DrawItem(reinterpret_cast<LPDRAWITEMSTRUCT>(lparam));
      return TRUE;
    }
    case WM_TIMER:
      OnTimer(static_cast<UINT_PTR>(wparam));
      return 0;
    case WM_PAINT:
      OnPaint();
      return 0;
    default:
      return Default();
  }
}

void CDialog::Unbind() {
  if (!m_hWnd) return;
  if (reinterpret_cast<CDialog*>(::GetWindowLongPtrW(m_hWnd, DWLP_USER)) == this) {
    ::SetWindowLongPtrW(m_hWnd, DWLP_USER, 0);
  }
  UnbindPermanent(m_hWnd);
  m_hWnd = nullptr;
}

// The one place that knows how a dialog procedure reports its answer: most
// messages return TRUE and leave the answer in DWLP_MSGRESULT; a few return
// the answer itself.
INT_PTR CDialog::DialogResult(HWND window, UINT message, bool handled, LRESULT result) {
  if (!handled) return FALSE;
  switch (message) {
    case WM_INITDIALOG:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_QUERYDRAGICON:
      return static_cast<INT_PTR>(result);
    default:
      ::SetWindowLongPtrW(window, DWLP_MSGRESULT, result);
      return TRUE;
  }
}

INT_PTR CALLBACK CDialog::DialogProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  CDialog* self = nullptr;
  if (message == WM_INITDIALOG) {
    self = reinterpret_cast<CDialog*>(lparam);
    if (!self) return FALSE;
    self->m_hWnd = window;
    ::SetWindowLongPtrW(window, DWLP_USER, lparam);
    self->BindPermanent(window);
  } else {
    self = reinterpret_cast<CDialog*>(::GetWindowLongPtrW(window, DWLP_USER));
  }
  if (!self) return FALSE;
  if (message == WM_NCDESTROY) {
    self->Unbind();
    return FALSE;
  }

  const current_message saved_message = self->m_current;
  const bool saved_default = self->m_bDefaultRequested;
  self->m_current = {message, wparam, lparam};
  self->m_bDefaultRequested = false;
  LRESULT result = 0;
  bool handled = false;
  try {
    result = self->WindowProc(message, wparam, lparam);
    handled = !self->m_bDefaultRequested;
  } catch (...) {
    AfxReportCurrentException("dialog procedure");
  }
  self->m_current = saved_message;
  self->m_bDefaultRequested = saved_default;
  return DialogResult(window, message, handled, result);
}
