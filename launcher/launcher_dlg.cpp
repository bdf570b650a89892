// For now the window only shows itself with its title and closes on Install or
// close; the buttons' workflows and the artwork come with the full dialog.
#include "launcher/launcher_dlg.h"

#include "framework/afx_app.h"
#include "res/resource.h"

#include <string>

namespace {

std::wstring load_string(UINT id) {
  const wchar_t* resource = nullptr;
  const int length =
      ::LoadStringW(AfxGetResourceHandle(), id, reinterpret_cast<LPWSTR>(&resource), 0);
  return length > 0 ? std::wstring(resource, length) : std::wstring();
}

}  // namespace

CLauncherDlg::CLauncherDlg(CWnd* parent) : parent_(parent) {}

CLauncherDlg::~CLauncherDlg() = default;

INT_PTR CLauncherDlg::DoModal() {
  return ::DialogBoxParamW(AfxGetResourceHandle(), MAKEINTRESOURCEW(IDD),
                           parent_ ? parent_->GetSafeHwnd() : nullptr,
                           &CLauncherDlg::DialogProc, reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK CLauncherDlg::DialogProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG: {
      auto* self = reinterpret_cast<CLauncherDlg*>(lparam);
      self->m_hWnd = window;
      ::SetWindowLongPtrW(window, DWLP_USER, lparam);
      ::SetWindowTextW(window, load_string(IDS_WINDOW_TITLE).c_str());
      ::SetDlgItemTextW(window, IDC_CHOOSE_FOLDER, load_string(IDS_CHOOSE_FOLDER).c_str());
      return FALSE;
    }
    case WM_COMMAND:
      if (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL) {
        ::EndDialog(window, LOWORD(wparam));
        return TRUE;
      }
      return FALSE;
    case WM_NCDESTROY:
      if (auto* self = reinterpret_cast<CLauncherDlg*>(::GetWindowLongPtrW(window, DWLP_USER))) {
        self->m_hWnd = nullptr;
      }
      return FALSE;
    default:
      return FALSE;
  }
}
