#include "controls/bitmap_button.h"

#include "support/system_libraries.h"

namespace {

constexpr UINT kHoverRedrawFlags = RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW;

// comctl32 is never imported: its function comes from the system folder, and
// user32's own serves when comctl32 cannot be had.
bool track_mouse_event(TRACKMOUSEEVENT* request) {
  if (const comctl32_functions* comctl32 = comctl32_library()) {
    return comctl32->_TrackMouseEvent(request) != FALSE;
  }
  return ::TrackMouseEvent(request) != FALSE;
}

}  // namespace

CzBitmapButton::CzBitmapButton() : m_hHandCursor(::LoadCursorW(nullptr, IDC_HAND)) {
  m_trackMouseEvent.cbSize = sizeof(TRACKMOUSEEVENT);
  m_trackMouseEvent.dwFlags = TME_LEAVE;
  m_trackMouseEvent.hwndTrack = nullptr;
  m_trackMouseEvent.dwHoverTime = 0;
}

CzBitmapButton::~CzBitmapButton() {
  // The image may be the very icon m_hIcon holds: that one goes only once.
  afx_icon_handle image(m_hImage != m_hIcon.Get() ? m_hImage : nullptr);
  m_hImage = nullptr;
}

BOOL CzBitmapButton::LoadBitmaps(UINT normal, UINT selected, UINT focus, UINT disabled,
                                 UINT hover) {
  DeleteBitmaps();
  m_bitmapHover.DeleteObject();
  if (!m_bitmap.LoadBitmap(normal)) return FALSE;
  BOOL result = TRUE;
  if (selected && !m_bitmapSel.LoadBitmap(selected)) result = FALSE;
  if (focus && !m_bitmapFocus.LoadBitmap(focus)) result = FALSE;
  if (disabled && !m_bitmapDisabled.LoadBitmap(disabled)) result = FALSE;
  if (hover && !m_bitmapHover.LoadBitmap(hover)) return FALSE;
  if (result) SetOwnerDrawStyle();
  return result;
}

void CzBitmapButton::DrawItem(LPDRAWITEMSTRUCT item) {
  if (!item || !m_bitmap.GetSafeHandle()) return;
  const UINT state = item->itemState;
  HBITMAP bitmap = m_bitmap;
  if ((state & ODS_SELECTED) && m_bitmapSel.GetSafeHandle()) {
    bitmap = m_bitmapSel;
  } else if (m_bHover && m_bitmapHover.GetSafeHandle()) {
    bitmap = m_bitmapHover;
  } else if ((state & ODS_FOCUS) && m_bitmapFocus.GetSafeHandle()) {
    bitmap = m_bitmapFocus;
  } else if ((state & ODS_DISABLED) && m_bitmapDisabled.GetSafeHandle()) {
    bitmap = m_bitmapDisabled;
  }
  DrawButton(item->hDC, bitmap, item->rcItem);
}

void CzBitmapButton::DrawButton(HDC dc, HBITMAP bitmap, RECT rect) {
  if (!dc) return;
  BlitBitmap(dc, bitmap, rect);
  if (m_bDrawIcon) ::DrawIconEx(dc, 0, 0, m_hIcon.Get(), 0, 0, 0, nullptr, DI_NORMAL);
  m_hImage = GetIcon();
  if (m_hImage) {
    ::DrawIconEx(dc, m_ptImage.x, m_ptImage.y, m_hImage, m_sizeImage.cx, m_sizeImage.cy, 0,
                 nullptr, DI_NORMAL);
  }
}

INT_PTR CzBitmapButton::OnToolHitTest(POINT, TOOLINFOW*) const { return 0; }

LRESULT CzBitmapButton::WindowProc(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_MOUSEMOVE:
      return OnMouseMove();
    case WM_MOUSELEAVE:
      return OnMouseLeave();
    case WM_SETCURSOR:
      return OnSetCursor();
    case WM_LBUTTONDOWN:
      // The pressed look takes over; the button redraws itself for it.
      m_bHover = FALSE;
      return Default();
    case WM_ERASEBKGND:
      // The bitmap covers the whole button: erasing would only flicker.
      return TRUE;
    default:
      return CBitmapButton::WindowProc(message, wparam, lparam);
  }
}

LRESULT CzBitmapButton::OnMouseMove() {
  if (!m_bHover && m_bitmapHover.GetSafeHandle()) {
    TrackMouseLeave();
    m_bHover = TRUE;
    RedrawHoverChange();
  }
  return Default();
}

LRESULT CzBitmapButton::OnMouseLeave() {
  if (m_bHover) {
    m_bHover = FALSE;
    RedrawHoverChange();
  }
  return 0;
}

LRESULT CzBitmapButton::OnSetCursor() {
  if (m_hWnd && IsWindowEnabled()) {
    ::SetCursor(m_hHandCursor);
    return TRUE;
  }
  return Default();
}

void CzBitmapButton::RedrawHoverChange() { RedrawWindow(nullptr, nullptr, kHoverRedrawFlags); }

void CzBitmapButton::TrackMouseLeave() {
  m_trackMouseEvent.hwndTrack = m_hWnd;
  track_mouse_event(&m_trackMouseEvent);
  // A move can reach the button while the mouse is elsewhere: under the
  // capture of a press dragged off the button, or handled after the mouse
  // went on. Windows then reports the leave at once; Wine neither tracks nor
  // reports it, and the hover look would stay until the mouse came back. The
  // button posts that notice itself whenever no leave is being tracked for it.
  TRACKMOUSEEVENT tracking{sizeof(TRACKMOUSEEVENT), TME_QUERY, nullptr, 0};
  const bool tracked = track_mouse_event(&tracking) && tracking.hwndTrack == m_hWnd &&
                       (tracking.dwFlags & TME_LEAVE) != 0;
  if (!tracked) PostMessage(WM_MOUSELEAVE);
}
