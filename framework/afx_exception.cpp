#include "framework/afx_exception.h"

#include <atomic>
#include <exception>
#include <string>

namespace {

std::atomic<AfxExceptionReporter> g_reporter{nullptr};

}  // namespace

AfxExceptionReporter AfxSetExceptionReporter(AfxExceptionReporter reporter) {
  return g_reporter.exchange(reporter);
}

void AfxReportCurrentException(const char* where) noexcept {
  const char* what = "unknown exception";
  try {
    throw;
  } catch (const std::exception& e) {
    what = e.what();
  } catch (...) {
  }
  if (const AfxExceptionReporter reporter = g_reporter.load()) {
    try {
      reporter(where, what);
    } catch (...) {
    }
    return;
  }
  try {
    ::OutputDebugStringA((std::string(where) + ": " + what + "\n").c_str());
  } catch (...) {
  }
}
