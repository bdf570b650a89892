#pragma once
// The launcher's bitmap button: the framework's bitmap button plus a hover
// bitmap (while the mouse is over the button), the hand cursor, an optional
// icon drawn over the bitmap, and the button's own image (BM_SETIMAGE icon)
// drawn at a set place and size.
#include "framework/afx_bitmap_button.h"
#include "framework/afx_gdi.h"

#include <commctrl.h>

class CzBitmapButton : public CBitmapButton {
public:
  static constexpr int kDefaultImageSize = 16;

  CzBitmapButton();
  // Destroys m_hIcon and the last image seen (when it is another icon) once
  // each, and the five bitmaps.
  ~CzBitmapButton() override;

  // Deletes the five bitmaps, then loads the given ones (0: none for that
  // state). FALSE at once when the normal bitmap or an asked-for hover bitmap
  // cannot be loaded; FALSE after loading the rest when another asked-for one
  // is missing. Only when TRUE is the button made owner-drawn.
  BOOL LoadBitmaps(UINT normal, UINT selected, UINT focus, UINT disabled, UINT hover);

  // Picks the bitmap for the item's state (selected, hover, focus, disabled,
  // each only when loaded; else normal) and draws it with DrawButton.
  void DrawItem(LPDRAWITEMSTRUCT item) override;
  // Draws `bitmap` at `rect`, then the icon (when m_bDrawIcon) and the
  // button's image. `dc` is borrowed.
  virtual void DrawButton(HDC dc, HBITMAP bitmap, RECT rect);

  // No tool tips come from the button.
  virtual INT_PTR OnToolHitTest(POINT point, TOOLINFOW* info) const;

  LRESULT WindowProc(UINT message, WPARAM wparam, LPARAM lparam) override;

  // Drawn at (0, 0) in its own size when m_bDrawIcon is set.
  afx_icon_handle m_hIcon;
  BOOL m_bDrawIcon = FALSE;
  CBitmap m_bitmapHover;
  TRACKMOUSEEVENT m_trackMouseEvent;
  BOOL m_bHover = FALSE;
  // The button's image as last seen by DrawButton.
  HICON m_hImage = nullptr;
  POINT m_ptImage{0, 0};
  SIZE m_sizeImage{kDefaultImageSize, kDefaultImageSize};
  // Shared system cursor: never destroyed.
  HCURSOR m_hHandCursor;

private:
  LRESULT OnMouseMove();
  LRESULT OnMouseLeave();
  LRESULT OnSetCursor();
  void RedrawHoverChange();
  // Asks for a leave notice; when afterwards no leave is tracked for the
  // button (the mouse is elsewhere), posts the notice itself.
  void TrackMouseLeave();
};
