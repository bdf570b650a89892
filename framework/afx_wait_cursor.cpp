#include "framework/afx_wait_cursor.h"

#include <atomic>

namespace {

std::atomic<int> g_wait_cursors{0};

HCURSOR wait_cursor() { return ::LoadCursorW(nullptr, IDC_WAIT); }

}  // namespace

CWaitCursor::CWaitCursor() : previous_(::SetCursor(wait_cursor())) { ++g_wait_cursors; }

CWaitCursor::~CWaitCursor() {
  --g_wait_cursors;
  ::SetCursor(previous_);
}

void CWaitCursor::Restore() { ::SetCursor(wait_cursor()); }

bool CWaitCursor::IsActive() { return g_wait_cursors.load() > 0; }

void AfxBeginWaitCursor() {
  ++g_wait_cursors;
  ::SetCursor(wait_cursor());
}

void AfxEndWaitCursor() {
  if (--g_wait_cursors <= 0) {
    g_wait_cursors = 0;
    ::SetCursor(::LoadCursorW(nullptr, IDC_ARROW));
  }
}
