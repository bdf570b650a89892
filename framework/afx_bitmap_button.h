#pragma once
// A push button drawn from up to four bitmaps, one per state.
#include "framework/afx_controls.h"
#include "framework/afx_gdi.h"

class CBitmapButton : public CButton {
public:
  // Deletes the bitmaps held, then loads the given ones (0: none for that
  // state). FALSE when the normal bitmap, or any other one asked for, could not
  // be loaded. Once the normal bitmap is loaded, the button is made owner-drawn.
  BOOL LoadBitmaps(UINT normal, UINT selected = 0, UINT focus = 0, UINT disabled = 0);

  // Sizes the button to the normal bitmap, without moving or redrawing it.
  void SizeToContent();

  // Draws the state's bitmap: selected, else focus, else disabled (each only
  // when loaded), else normal.
  void DrawItem(LPDRAWITEMSTRUCT item) override;

protected:
  // Deletes the four state bitmaps.
  void DeleteBitmaps();
  // Turns the button owner-drawn: the type bits are replaced, the rest kept.
  void SetOwnerDrawStyle();
  // Copies `bitmap` to `dc` at the rectangle's top-left corner.
  static void BlitBitmap(HDC dc, HBITMAP bitmap, const RECT& rect);

  CBitmap m_bitmap;
  CBitmap m_bitmapSel;
  CBitmap m_bitmapFocus;
  CBitmap m_bitmapDisabled;
};
