#pragma once
// One worker thread together with its stop request: started suspended and then
// resumed, stopped by raising the flag and waiting up to a limit, and
// terminated when it does not end in time. The dialogs that run workflows or
// animations own one each, so thread ownership is written once.
#include "framework/afx_thread.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>

// A stop request: raised by the owning window's thread, polled by the worker
// between steps. Atomic, so that the worker never reads a stale or torn value.
using stop_flag = std::atomic<std::int32_t>;
static_assert(stop_flag::is_always_lock_free, "the stop flag must never take a lock");

class afx_worker {
public:
  // `stop` is the flag the worker polls; it outlives this object.
  // `stop_wait_ms` is how long Stop waits for the thread to end.
  afx_worker(stop_flag& stop, DWORD stop_wait_ms);
  afx_worker(const afx_worker&) = delete;
  afx_worker& operator=(const afx_worker&) = delete;
  // End(kTerminatedExitCode).
  virtual ~afx_worker();

  // Starts procedure(parameter): lowers the flag, creates the thread
  // suspended, keeps its object (no auto-delete) and resumes it. When a thread
  // of this owner still runs, does nothing and returns TRUE. FALSE when the
  // thread could not be created; GetLastError then tells why.
  BOOL Start(AFX_THREADPROC procedure, LPVOID parameter);
  // TRUE while the thread has not ended.
  BOOL IsRunning() const;
  // Raises the flag; TRUE when there is no running thread or it ended within
  // the limit, FALSE when the wait timed out or failed.
  BOOL Stop();
  // Stop, then TerminateThread with `exit_code` when the thread did not end;
  // releases the thread object.
  void End(DWORD exit_code);

  // The thread object, or null before the first start and after End.
  CWinThread* thread() const { return thread_.get(); }

  static constexpr DWORD kTerminatedExitCode = 0xFFFFFFFF;

private:
  stop_flag& stop_;
  const DWORD stop_wait_ms_;
  std::unique_ptr<CWinThread> thread_;
};
