#pragma once
// Worker threads the framework's way.
//
// Ownership (the one place the framework news and deletes by hand):
// - AfxBeginThread allocates the CWinThread; it is never deleted by the caller
//   while the thread runs.
// - m_bAutoDelete TRUE (the default): the object deletes itself (closing the
//   thread handle) when the thread procedure returns. Without CREATE_SUSPENDED
//   the returned pointer may be gone by the time the caller looks at it: use it
//   only to test for failure. To touch the object (keep m_hThread, turn
//   m_bAutoDelete off) create it suspended, then call ResumeThread.
// - m_bAutoDelete FALSE (set while the thread is suspended): the caller deletes
//   the object once the thread has ended (wait on m_hThread first).
#include "framework/afx_handle.h"

#include <windows.h>

using AFX_THREADPROC = UINT(__cdecl*)(LPVOID);

// The exit code of a thread whose procedure let an exception out; the
// exception itself goes to the framework's exception reporter.
constexpr UINT kAfxThreadExceptionExitCode = 0xE0FA0001u;

class CWinThread {
public:
  CWinThread(const CWinThread&) = delete;
  CWinThread& operator=(const CWinThread&) = delete;
  virtual ~CWinThread();

  // Returns the previous suspend count, or (DWORD)-1 on failure.
  DWORD ResumeThread();
  DWORD SuspendThread();
  BOOL SetThreadPriority(int priority);
  // TRUE while the thread has not ended (its exit code reads STILL_ACTIVE).
  BOOL IsRunning() const;
  int GetThreadPriority() const;

  // Borrowed view of the thread handle the object owns; valid while the
  // object lives.
  HANDLE m_hThread = nullptr;
  DWORD m_nThreadID = 0;
  BOOL m_bAutoDelete = TRUE;

private:
  friend CWinThread* AfxBeginThread(AFX_THREADPROC, LPVOID, int, UINT, DWORD,
                                    LPSECURITY_ATTRIBUTES);
  CWinThread(AFX_THREADPROC procedure, LPVOID parameter);
  static unsigned __stdcall Entry(void* self);

  AFX_THREADPROC procedure_;
  LPVOID parameter_;
  afx_kernel_handle thread_;
};

// Starts `procedure(parameter)` on a new thread; `flags` may hold
// CREATE_SUSPENDED. Returns null when the thread could not be created.
CWinThread* AfxBeginThread(AFX_THREADPROC procedure, LPVOID parameter,
                           int priority = THREAD_PRIORITY_NORMAL, UINT stack_size = 0,
                           DWORD flags = 0, LPSECURITY_ATTRIBUTES security = nullptr);
