#pragma once
// Helpers of the window tests: a 32-bpp drawing surface whose pixels can be
// read, and a message pump that waits for a condition.
#include "framework/afx_gdi.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>

// A COLORREF as a pixel of a 32-bpp DIB reads (0x00RRGGBB).
inline std::uint32_t dib_colour(COLORREF colour) {
  return (static_cast<std::uint32_t>(GetRValue(colour)) << 16) |
         (static_cast<std::uint32_t>(GetGValue(colour)) << 8) | GetBValue(colour);
}

// A top-down 32-bpp DIB selected into a memory DC.
class dib_canvas {
public:
  dib_canvas(int width, int height)
      : width_(width), height_(height), dc_(::CreateCompatibleDC(nullptr)) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    bitmap_.Attach(::CreateDIBSection(dc_.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    bits_ = static_cast<std::uint32_t*>(bits);
    selection_ = std::make_unique<afx_scoped_select>(dc_.Get(), bitmap_.GetSafeHandle());
  }

  HDC dc() const { return dc_.Get(); }
  int width() const { return width_; }
  int height() const { return height_; }
  bool valid() const { return bits_ && selection_->IsValid(); }

  // 0x00RRGGBB.
  std::uint32_t pixel(int x, int y) const {
    ::GdiFlush();
    return bits_[y * width_ + x] & 0x00FFFFFFu;
  }

  void fill(COLORREF colour) {
    CBrush brush(colour);
    RECT all{0, 0, width_, height_};
    ::FillRect(dc_.Get(), &all, brush);
  }

  // Copies bitmap resource `id` of this program to (0, 0).
  void draw_resource(UINT id) {
    CBitmap source;
    if (!source.LoadBitmap(id)) return;
    afx_memory_dc memory(::CreateCompatibleDC(dc_.Get()));
    afx_scoped_select selected(memory.Get(), source.GetSafeHandle());
    ::BitBlt(dc_.Get(), 0, 0, width_, height_, memory.Get(), 0, 0, SRCCOPY);
  }

  // The first pixel (x, y) where the two differ inside the rectangle; x is -1
  // when none does.
  POINT first_difference(const dib_canvas& other, RECT area) const {
    for (int y = area.top; y < area.bottom; ++y) {
      for (int x = area.left; x < area.right; ++x) {
        if (pixel(x, y) != other.pixel(x, y)) return POINT{x, y};
      }
    }
    return POINT{-1, -1};
  }
  bool same_as(const dib_canvas& other) const {
    return first_difference(other, RECT{0, 0, width_, height_}).x < 0;
  }

private:
  int width_;
  int height_;
  afx_memory_dc dc_;
  CBitmap bitmap_;
  std::uint32_t* bits_ = nullptr;
  std::unique_ptr<afx_scoped_select> selection_;
};

// Dispatches this thread's messages until `done` holds or `timeout_ms` passes.
inline bool pump_until(const std::function<bool()>& done, DWORD timeout_ms) {
  const ULONGLONG deadline = ::GetTickCount64() + timeout_ms;
  for (;;) {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
    if (done()) return true;
    const ULONGLONG now = ::GetTickCount64();
    if (now >= deadline) return false;
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(deadline - now),
                                QS_ALLINPUT);
  }
}

// Dispatches what is queued now.
inline void pump_pending() {
  pump_until([] { return true; }, 0);
}
