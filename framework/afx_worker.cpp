#include "framework/afx_worker.h"

afx_worker::afx_worker(stop_flag& stop, DWORD stop_wait_ms) : stop_(stop), stop_wait_ms_(stop_wait_ms) {}

afx_worker::~afx_worker() { End(kTerminatedExitCode); }

BOOL afx_worker::Start(AFX_THREADPROC procedure, LPVOID parameter) {
  if (IsRunning()) return TRUE;
  thread_.reset();
  stop_ = 0;
  thread_.reset(AfxBeginThread(procedure, parameter, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED));
  if (!thread_) return FALSE;
  thread_->m_bAutoDelete = FALSE;
  thread_->ResumeThread();
  return TRUE;
}

BOOL afx_worker::IsRunning() const { return thread_ && thread_->IsRunning(); }

BOOL afx_worker::Stop() {
  stop_ = 1;
  if (!IsRunning()) return TRUE;
  return ::WaitForSingleObject(thread_->m_hThread, stop_wait_ms_) == WAIT_OBJECT_0;
}

void afx_worker::End(DWORD exit_code) {
  if (!thread_) return;
  if (!Stop()) ::TerminateThread(thread_->m_hThread, exit_code);
  thread_.reset();
}
