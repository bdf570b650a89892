#include "framework/afx_gdi.h"

#include "framework/afx_app.h"

BOOL CBitmap::LoadBitmap(UINT id) {
  bitmap_.Reset(::LoadBitmapW(AfxGetResourceHandle(), MAKEINTRESOURCEW(id)));
  return bitmap_.IsValid() ? TRUE : FALSE;
}

BOOL CBitmap::GetBitmap(BITMAP* info) const {
  if (!bitmap_.IsValid() || !info) return FALSE;
  return ::GetObjectW(bitmap_.Get(), sizeof(BITMAP), info) == sizeof(BITMAP) ? TRUE : FALSE;
}
