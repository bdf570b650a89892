#include "framework/afx_gdi.h"

#include "framework/afx_app.h"

BOOL CBitmap::LoadBitmap(UINT id) {
  // Kept as the resource's own device-independent bitmap: drawn the same, and
  // under Wine several times faster both to load and to draw than a copy
  // converted to the screen's format. The launcher's first paint waits for
  // sixteen such loads.
  bitmap_.Reset(static_cast<HBITMAP>(::LoadImageW(AfxGetResourceHandle(), MAKEINTRESOURCEW(id),
                                                  IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
  return bitmap_.IsValid() ? TRUE : FALSE;
}

BOOL CBitmap::GetBitmap(BITMAP* info) const {
  if (!bitmap_.IsValid() || !info) return FALSE;
  return ::GetObjectW(bitmap_.Get(), sizeof(BITMAP), info) == sizeof(BITMAP) ? TRUE : FALSE;
}
