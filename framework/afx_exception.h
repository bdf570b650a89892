#pragma once
// Exceptions stop at the framework's boundaries (window procedures, thread
// procedures); what stopped them is handed to one reporter the application
// installs, since the framework sits below the log.
#include <windows.h>

using AfxExceptionReporter = void (*)(const char* where, const char* what);

// Installs the reporter (null: report to the debugger only); returns the previous one.
AfxExceptionReporter AfxSetExceptionReporter(AfxExceptionReporter reporter);

// Call from inside a catch block only: reports the exception being handled.
void AfxReportCurrentException(const char* where) noexcept;
