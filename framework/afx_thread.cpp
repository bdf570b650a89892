#include "framework/afx_thread.h"

#include "framework/afx_exception.h"

#include <process.h>

#include <new>

CWinThread::CWinThread(AFX_THREADPROC procedure, LPVOID parameter)
    : procedure_(procedure), parameter_(parameter) {}

CWinThread::~CWinThread() = default;

DWORD CWinThread::ResumeThread() { return ::ResumeThread(m_hThread); }

DWORD CWinThread::SuspendThread() { return ::SuspendThread(m_hThread); }

BOOL CWinThread::SetThreadPriority(int priority) {
  return ::SetThreadPriority(m_hThread, priority);
}

int CWinThread::GetThreadPriority() const { return ::GetThreadPriority(m_hThread); }

unsigned __stdcall CWinThread::Entry(void* self) {
  auto* thread = static_cast<CWinThread*>(self);
  UINT exit_code = kAfxThreadExceptionExitCode;
  try {
    exit_code = thread->procedure_(thread->parameter_);
  } catch (...) {
    AfxReportCurrentException("thread procedure");
  }
  if (thread->m_bAutoDelete) delete thread;
  return exit_code;
}

CWinThread* AfxBeginThread(AFX_THREADPROC procedure, LPVOID parameter, int priority,
                           UINT stack_size, DWORD flags, LPSECURITY_ATTRIBUTES security) {
  if (!procedure) return nullptr;
  auto* thread = new (std::nothrow) CWinThread(procedure, parameter);
  if (!thread) return nullptr;
  // Always start suspended: the object must be complete before the thread
  // can reach it, and the priority set before it runs.
  unsigned thread_id = 0;
  const uintptr_t handle = ::_beginthreadex(security, stack_size, &CWinThread::Entry, thread,
                                            CREATE_SUSPENDED, &thread_id);
  if (handle == 0) {
    delete thread;
    return nullptr;
  }
  thread->thread_.Reset(reinterpret_cast<HANDLE>(handle));
  thread->m_hThread = thread->thread_.Get();
  thread->m_nThreadID = thread_id;
  ::SetThreadPriority(thread->m_hThread, priority);
  if (!(flags & CREATE_SUSPENDED)) thread->ResumeThread();
  return thread;
}

BOOL CWinThread::IsRunning() const {
  DWORD code = 0;
  return ::GetExitCodeThread(m_hThread, &code) && code == STILL_ACTIVE;
}
