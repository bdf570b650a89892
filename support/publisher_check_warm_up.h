#pragma once
// The publisher check's first run in a process is its slowest: wintrust and
// crypt32 are loaded, and Wine builds its list of trusted roots (160-300 ms)
// on the first chain. A download can hide that: the downloader starts a
// warm-up when a download begins, on a thread of its own, which loads the
// libraries, builds one chain with each engine the check uses and asks
// WinVerifyTrust about the program's own file.
// The thread is the owner's: Wait() joins it before the check runs, and so
// does the destructor on every other way out. A process whose check is warm
// already starts no thread.
#include "framework/afx_handle.h"

class publisher_check_warm_up {
public:
  publisher_check_warm_up();
  publisher_check_warm_up(const publisher_check_warm_up&) = delete;
  publisher_check_warm_up& operator=(const publisher_check_warm_up&) = delete;
  ~publisher_check_warm_up() { Wait(); }

  void Wait();

private:
  afx_kernel_handle thread_;
};
