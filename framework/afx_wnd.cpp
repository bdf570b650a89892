#include "framework/afx_wnd.h"

#include "framework/afx_exception.h"

#include <vector>

namespace {

// Window properties: the bound object, and the procedure a subclassing
// replaced. The second outlives the first when another subclasser sits on top
// of ours and the original procedure cannot be put back.
const wchar_t kObjectProperty[] = L"Velora.CWnd";
const wchar_t kSuperProperty[] = L"Velora.CWnd.Super";

WNDPROC stored_super(HWND window) {
  return reinterpret_cast<WNDPROC>(::GetPropW(window, kSuperProperty));
}

}  // namespace

CWnd::~CWnd() {
  if (m_hWnd) Detach();
}

CWnd* CWnd::FromHandlePermanent(HWND window) {
  return window ? static_cast<CWnd*>(::GetPropW(window, kObjectProperty)) : nullptr;
}

BOOL CWnd::Attach(HWND window) {
  if (m_hWnd || !window) return FALSE;
  m_hWnd = window;
  return TRUE;
}

HWND CWnd::Detach() {
  if (m_pfnSuper) return UnsubclassWindow();
  const HWND window = m_hWnd;
  m_hWnd = nullptr;
  return window;
}

bool CWnd::BindPermanent(HWND window) {
  if (FromHandlePermanent(window)) return false;
  return ::SetPropW(window, kObjectProperty, this) != FALSE;
}

void CWnd::UnbindPermanent(HWND window) {
  if (window && FromHandlePermanent(window) == this) ::RemovePropW(window, kObjectProperty);
}

BOOL CWnd::SubclassWindow(HWND window) {
  if (m_hWnd || !::IsWindow(window)) return FALSE;
  if (!BindPermanent(window)) return FALSE;
  const auto previous = reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(window, GWLP_WNDPROC));
  if (!::SetPropW(window, kSuperProperty, reinterpret_cast<HANDLE>(previous))) {
    UnbindPermanent(window);
    return FALSE;
  }
  m_pfnSuper = previous;
  m_hWnd = window;
  ::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWnd::SubclassProc));
  return TRUE;
}

BOOL CWnd::SubclassDlgItem(UINT id, CWnd* parent) {
  if (!parent || !parent->m_hWnd) return FALSE;
  return SubclassWindow(::GetDlgItem(parent->m_hWnd, static_cast<int>(id)));
}

HWND CWnd::UnsubclassWindow() {
  const HWND window = m_hWnd;
  if (!window || !m_pfnSuper) return nullptr;
  UnbindPermanent(window);
  const auto current = reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(window, GWLP_WNDPROC));
  if (current == &CWnd::SubclassProc) {
    ::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
    ::RemovePropW(window, kSuperProperty);
  }
  // Otherwise a later subclasser calls SubclassProc, which finds no object
  // and passes everything to the stored original procedure.
  m_pfnSuper = nullptr;
  m_hWnd = nullptr;
  return window;
}

LRESULT CALLBACK CWnd::SubclassProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  CWnd* self = FromHandlePermanent(window);
  if (!self || !self->m_pfnSuper) {
    const WNDPROC super = stored_super(window);
    if (message == WM_NCDESTROY) ::RemovePropW(window, kSuperProperty);
    return super ? ::CallWindowProcW(super, window, message, wparam, lparam)
                 : ::DefWindowProcW(window, message, wparam, lparam);
  }
  if (message == WM_NCDESTROY) {
    // Let go before the original procedure tears the window down.
    const WNDPROC super = self->m_pfnSuper;
    self->UnsubclassWindow();
    return ::CallWindowProcW(super, window, message, wparam, lparam);
  }
  const current_message saved = self->m_current;
  self->m_current = {message, wparam, lparam};
  LRESULT result = 0;
  try {
    result = self->WindowProc(message, wparam, lparam);
  } catch (...) {
    AfxReportCurrentException("window procedure");
    result = 0;
  }
  self->m_current = saved;
  return result;
}

LRESULT CWnd::WindowProc(UINT /*message*/, WPARAM /*wparam*/, LPARAM /*lparam*/) {
  return Default();
}

LRESULT CWnd::Default() {
  return DefWindowProc(m_current.message, m_current.wparam, m_current.lparam);
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wparam, LPARAM lparam) {
  if (m_pfnSuper) return ::CallWindowProcW(m_pfnSuper, m_hWnd, message, wparam, lparam);
  return ::DefWindowProcW(m_hWnd, message, wparam, lparam);
}

void CWnd::DrawItem(LPDRAWITEMSTRUCT /*item*/) {}

BOOL CWnd::SetWindowPos(HWND insert_after, int x, int y, int cx, int cy, UINT flags) {
  return ::SetWindowPos(m_hWnd, insert_after, x, y, cx, cy, flags);
}

void CWnd::GetWindowRect(LPRECT rect) const { ::GetWindowRect(m_hWnd, rect); }

void CWnd::GetClientRect(LPRECT rect) const { ::GetClientRect(m_hWnd, rect); }

void CWnd::SetWindowText(LPCWSTR text) { ::SetWindowTextW(m_hWnd, text); }

int CWnd::GetWindowText(LPWSTR buffer, int max_count) const {
  return ::GetWindowTextW(m_hWnd, buffer, max_count);
}

std::wstring CWnd::GetWindowText() const {
  const int length = ::GetWindowTextLengthW(m_hWnd);
  if (length <= 0) return std::wstring();
  std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1, L'\0');
  const int copied = ::GetWindowTextW(m_hWnd, buffer.data(), static_cast<int>(buffer.size()));
  return std::wstring(buffer.data(), copied > 0 ? static_cast<size_t>(copied) : 0);
}

BOOL CWnd::ShowWindow(int show) { return ::ShowWindow(m_hWnd, show); }

BOOL CWnd::EnableWindow(BOOL enable) { return ::EnableWindow(m_hWnd, enable); }

BOOL CWnd::IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd); }

BOOL CWnd::IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }

void CWnd::MoveWindow(int x, int y, int width, int height, BOOL repaint) {
  ::MoveWindow(m_hWnd, x, y, width, height, repaint);
}

void CWnd::MoveWindow(LPCRECT rect, BOOL repaint) {
  MoveWindow(rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top, repaint);
}

BOOL CWnd::RedrawWindow(LPCRECT update, HRGN region, UINT flags) {
  return ::RedrawWindow(m_hWnd, update, region, flags);
}

void CWnd::Invalidate(BOOL erase) { ::InvalidateRect(m_hWnd, nullptr, erase); }

LRESULT CWnd::SendMessage(UINT message, WPARAM wparam, LPARAM lparam) const {
  return ::SendMessageW(m_hWnd, message, wparam, lparam);
}

BOOL CWnd::PostMessage(UINT message, WPARAM wparam, LPARAM lparam) const {
  return ::PostMessageW(m_hWnd, message, wparam, lparam);
}

UINT_PTR CWnd::SetTimer(UINT_PTR id, UINT elapse_ms, TIMERPROC timer_proc) {
  return ::SetTimer(m_hWnd, id, elapse_ms, timer_proc);
}

BOOL CWnd::KillTimer(UINT_PTR id) { return ::KillTimer(m_hWnd, id); }

HWND CWnd::GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }

HWND CWnd::GetParent() const { return ::GetParent(m_hWnd); }

BOOL CWnd::DestroyWindow() {
  const HWND window = m_hWnd;
  if (!window) return FALSE;
  const BOOL destroyed = ::DestroyWindow(window);
  // A borrowed window gets no WM_NCDESTROY through us: forget it here.
  if (destroyed && m_hWnd == window) m_hWnd = nullptr;
  return destroyed;
}

DWORD CWnd::GetStyle() const {
  return static_cast<DWORD>(::GetWindowLongPtrW(m_hWnd, GWL_STYLE));
}

DWORD CWnd::GetExStyle() const {
  return static_cast<DWORD>(::GetWindowLongPtrW(m_hWnd, GWL_EXSTYLE));
}

BOOL CWnd::ModifyStyle(DWORD remove, DWORD add, UINT swp_flags) {
  const DWORD style = GetStyle();
  const DWORD changed = (style & ~remove) | add;
  if (changed == style) return FALSE;
  ::SetWindowLongPtrW(m_hWnd, GWL_STYLE, static_cast<LONG_PTR>(changed));
  if (swp_flags) {
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0,
                   SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | swp_flags);
  }
  return TRUE;
}

void CWnd::CenterWindow(CWnd* alternate) {
  HWND centre_on = alternate ? alternate->m_hWnd : nullptr;
  if (!centre_on) {
    centre_on = (GetStyle() & WS_CHILD) ? ::GetParent(m_hWnd) : ::GetWindow(m_hWnd, GW_OWNER);
  }
  const HMONITOR monitor =
      ::MonitorFromWindow(centre_on ? centre_on : m_hWnd, MONITOR_DEFAULTTONEAREST);
  MONITORINFO info{};
  info.cbSize = sizeof(info);
  ::GetMonitorInfoW(monitor, &info);
  RECT area = info.rcWork;
  RECT target = area;
  if (centre_on && ::IsWindowVisible(centre_on) && !::IsIconic(centre_on)) {
    ::GetWindowRect(centre_on, &target);
  }
  RECT own{};
  GetWindowRect(&own);
  const int width = own.right - own.left;
  const int height = own.bottom - own.top;
  int x = (target.left + target.right - width) / 2;
  int y = (target.top + target.bottom - height) / 2;
  if (GetStyle() & WS_CHILD) {
    // Child windows are placed in their parent's client coordinates.
    POINT origin{x, y};
    ::ScreenToClient(::GetParent(m_hWnd), &origin);
    x = origin.x;
    y = origin.y;
  } else {
    if (x + width > area.right) x = area.right - width;
    if (y + height > area.bottom) y = area.bottom - height;
    if (x < area.left) x = area.left;
    if (y < area.top) y = area.top;
  }
  SetWindowPos(nullptr, x, y, -1, -1, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CWnd::CalcWindowRect(LPRECT client_rect, UINT /*adjust_type*/) {
  const BOOL has_menu = !(GetStyle() & WS_CHILD) && ::GetMenu(m_hWnd) != nullptr;
  ::AdjustWindowRectEx(client_rect, GetStyle(), has_menu, GetExStyle());
}
