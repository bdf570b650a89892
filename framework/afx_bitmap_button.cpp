#include "framework/afx_bitmap_button.h"

namespace {

// Loads `id` into `bitmap` when asked for; false only when asked and missing.
bool load_optional(CBitmap& bitmap, UINT id) { return id == 0 || bitmap.LoadBitmap(id); }

}  // namespace

void CBitmapButton::DeleteBitmaps() {
  m_bitmap.DeleteObject();
  m_bitmapSel.DeleteObject();
  m_bitmapFocus.DeleteObject();
  m_bitmapDisabled.DeleteObject();
}

void CBitmapButton::SetOwnerDrawStyle() {
  if (m_hWnd) ModifyStyle(BS_TYPEMASK, BS_OWNERDRAW);
}

BOOL CBitmapButton::LoadBitmaps(UINT normal, UINT selected, UINT focus, UINT disabled) {
  DeleteBitmaps();
  if (!m_bitmap.LoadBitmap(normal)) return FALSE;
  bool all_loaded = load_optional(m_bitmapSel, selected);
  all_loaded = load_optional(m_bitmapFocus, focus) && all_loaded;
  all_loaded = load_optional(m_bitmapDisabled, disabled) && all_loaded;
  SetOwnerDrawStyle();
  return all_loaded ? TRUE : FALSE;
}

void CBitmapButton::SizeToContent() {
  BITMAP info{};
  if (!m_bitmap.GetBitmap(&info)) return;
  SetWindowPos(nullptr, -1, -1, info.bmWidth, info.bmHeight,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOREDRAW | SWP_NOACTIVATE);
}

void CBitmapButton::BlitBitmap(HDC dc, HBITMAP bitmap, const RECT& rect) {
  if (!dc || !bitmap) return;
  afx_memory_dc memory(::CreateCompatibleDC(dc));
  if (!memory.IsValid()) return;
  afx_scoped_select selection(memory.Get(), bitmap);
  if (!selection.IsValid()) return;
  ::BitBlt(dc, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, memory.Get(),
           0, 0, SRCCOPY);
}

void CBitmapButton::DrawItem(LPDRAWITEMSTRUCT item) {
  if (!item || !m_bitmap.GetSafeHandle()) return;
  const UINT state = item->itemState;
  HBITMAP bitmap = m_bitmap;
  if ((state & ODS_SELECTED) && m_bitmapSel.GetSafeHandle()) {
    bitmap = m_bitmapSel;
  } else if ((state & ODS_FOCUS) && m_bitmapFocus.GetSafeHandle()) {
    bitmap = m_bitmapFocus;
  } else if ((state & ODS_DISABLED) && m_bitmapDisabled.GetSafeHandle()) {
    bitmap = m_bitmapDisabled;
  }
  BlitBitmap(item->hDC, bitmap, item->rcItem);
}
