#pragma once
// GDI owners. Owning and borrowing are different types: CBrush, CBitmap and
// the DC owners delete what they hold; a plain HBRUSH / HBITMAP / HDC (the
// brush a colour request hands out, the DC of a WM_DRAWITEM) is borrowed and
// never deleted here.
#include "framework/afx_handle.h"

#include <windows.h>

template <typename Handle>
struct afx_gdi_object_traits {
  using handle_type = Handle;
  static Handle null() noexcept { return nullptr; }
  static bool is_valid(Handle h) noexcept { return h != nullptr; }
  static void close(Handle h) noexcept { ::DeleteObject(h); }
};

struct afx_memory_dc_traits {
  using handle_type = HDC;
  static HDC null() noexcept { return nullptr; }
  static bool is_valid(HDC h) noexcept { return h != nullptr; }
  static void close(HDC h) noexcept { ::DeleteDC(h); }
};
// A DC from CreateCompatibleDC / CreateDC.
using afx_memory_dc = afx_scoped_handle<afx_memory_dc_traits>;

struct afx_icon_handle_traits {
  using handle_type = HICON;
  static HICON null() noexcept { return nullptr; }
  static bool is_valid(HICON h) noexcept { return h != nullptr; }
  static void close(HICON h) noexcept { ::DestroyIcon(h); }
};
// An icon from LoadImage without LR_SHARED, CreateIconIndirect, CopyIcon.
using afx_icon_handle = afx_scoped_handle<afx_icon_handle_traits>;

// Selects `object` into `dc` for the scope and puts the previous one back,
// so that no return path leaves a bitmap or brush selected.
class afx_scoped_select {
public:
  afx_scoped_select(HDC dc, HGDIOBJ object) noexcept
      : dc_(dc), previous_(dc && object ? ::SelectObject(dc, object) : nullptr) {}
  afx_scoped_select(const afx_scoped_select&) = delete;
  afx_scoped_select& operator=(const afx_scoped_select&) = delete;
  ~afx_scoped_select() {
    if (previous_ && previous_ != HGDI_ERROR) ::SelectObject(dc_, previous_);
  }

  // False when the selection failed (the object was of no kind the DC takes).
  bool IsValid() const noexcept { return previous_ && previous_ != HGDI_ERROR; }

private:
  HDC dc_;
  HGDIOBJ previous_;
};

// An owned solid brush.
class CBrush {
public:
  CBrush() = default;
  explicit CBrush(COLORREF colour) { CreateSolidBrush(colour); }

  // Replaces the held brush; returns FALSE (holding none) when creation fails.
  BOOL CreateSolidBrush(COLORREF colour) {
    brush_.Reset(::CreateSolidBrush(colour));
    return brush_.IsValid() ? TRUE : FALSE;
  }
  void DeleteObject() { brush_.Close(); }

  HBRUSH GetSafeHandle() const { return brush_.Get(); }
  operator HBRUSH() const { return brush_.Get(); }

private:
  afx_scoped_handle<afx_gdi_object_traits<HBRUSH>> brush_;
};

// An owned bitmap.
class CBitmap {
public:
  CBitmap() = default;

  // Loads bitmap resource `id` of the resource module, replacing the held one;
  // returns FALSE (holding none) when there is no such bitmap.
  BOOL LoadBitmap(UINT id);
  // Takes ownership of `bitmap`, deleting the held one.
  void Attach(HBITMAP bitmap) { bitmap_.Reset(bitmap); }
  HBITMAP Detach() { return bitmap_.Take(); }
  void DeleteObject() { bitmap_.Close(); }

  // Fills `info`; FALSE when no bitmap is held.
  BOOL GetBitmap(BITMAP* info) const;

  HBITMAP GetSafeHandle() const { return bitmap_.Get(); }
  operator HBITMAP() const { return bitmap_.Get(); }

private:
  afx_scoped_handle<afx_gdi_object_traits<HBITMAP>> bitmap_;
};
