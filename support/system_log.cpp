#include "support/system_log.h"

#include "support/file_exists.h"
#include "support/text_utils.h"

#include <boost/format.hpp>

#include <algorithm>
#include <iterator>

#include <cstdarg>
#include <cstdio>
#include <cwchar>

my_system_log g_system_log;

namespace {

const wchar_t kMutexName[] = L"Global\\VLR5_SYSTEM_LOG_MUTEX_KEY";
const wchar_t kFullSwitchFile[] = L"C:\\temp\\vlr6_launcher_syslog_full.txt";
const wchar_t kBoosterSwitchFile[] = L"C:\\temp\\vlr6_launcher_syslog_booster30.txt";
const wchar_t kProgramName[] = L"Launcher";
const wchar_t kGenerationFormat[] = L"%s\\system.%02d.log";
const char kLineFormat[] = "%04d/%02d/%02d %02d:%02d:%02d\tPID:0x%x(%s)\tLogLv:%d/%d\t%s\t%s\r\n";
const char kLineEnd[] = "\r\n";

constexpr unsigned int kThresholdFull = 20;
constexpr unsigned int kThresholdBooster = 30;
constexpr DWORD kUserNameBufferSize = 512;
constexpr int kOpenAttempts = 3;
constexpr DWORD kOpenRetryDelayMs = 10;

// Length of the longest prefix of `text` that is at most `limit` bytes and
// does not split a double-byte character of the ANSI code page.
size_t ansi_prefix_length(const char* text, size_t length, size_t limit) {
  size_t end = 0;
  while (end < length) {
    const size_t step = ::IsDBCSLeadByte(static_cast<BYTE>(text[end])) ? 2 : 1;
    if (end + step > limit) break;
    end += step;
  }
  return end;
}

}  // namespace

my_system_log::my_system_log() = default;

my_system_log::~my_system_log() {
  if (mutex_.IsValid()) ::ReleaseMutex(mutex_.Get());
  mutex_.Close();
  std::fill(std::begin(line_buffer_), std::end(line_buffer_), '\0');
}

bool my_system_log::init(const wchar_t* directory) {
  mutex_.Reset(::OpenMutexW(MUTEX_ALL_ACCESS, FALSE, kMutexName));
  if (!mutex_.IsValid()) {
    if (::GetLastError() != ERROR_FILE_NOT_FOUND) return false;
    // A null access list lets processes of every account open the mutex.
    SECURITY_DESCRIPTOR descriptor;
    ::InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
    ::SetSecurityDescriptorDacl(&descriptor, TRUE, nullptr, FALSE);
    SECURITY_ATTRIBUTES attributes{sizeof(attributes), &descriptor, FALSE};
    mutex_.Reset(::CreateMutexW(&attributes, FALSE, kMutexName));
    if (!mutex_.IsValid()) return false;
  }
  if (!directory) return false;

  directory_ = directory;
  path_ = directory_ + file_name_;
  program_name_ = wide_to_ansi(kProgramName);
  process_id_ = ::GetCurrentProcessId();

  char user[kUserNameBufferSize] = {};
  DWORD user_size = kUserNameBufferSize;
  user_name_ = ::GetUserNameA(user, &user_size) ? user : "";

  if (!path_exists(kFullSwitchFile)) return true;
  threshold_ = path_exists(kBoosterSwitchFile) ? kThresholdBooster : kThresholdFull;
  return true;
}

bool my_system_log::write_w(unsigned int level, const wchar_t* format, ...) {
  if (level > threshold_) return false;

  wchar_t wide[line_buffer_size];
  va_list args;
  va_start(args, format);
  // The C runtime's own wide formatter: "%s" takes a wide string.
  _vsnwprintf(wide, line_buffer_size - 1, format, args);
  va_end(args);
  wide[line_buffer_size - 1] = L'\0';

  char narrow[line_buffer_size];
  const int converted =
      ::WideCharToMultiByte(CP_ACP, 0, wide, static_cast<int>(std::wcslen(wide)), narrow,
                            static_cast<int>(line_buffer_size), nullptr, nullptr);
  if (converted <= 0 || converted >= static_cast<int>(line_buffer_size)) return false;
  narrow[converted] = '\0';
  return write_line(narrow, level);
}

bool my_system_log::write_a(unsigned int level, const char* format, ...) {
  if (level > threshold_) return false;

  char text[line_buffer_size];
  va_list args;
  va_start(args, format);
  _vsnprintf(text, line_buffer_size - 1, format, args);
  va_end(args);
  text[line_buffer_size - 1] = '\0';
  return write_line(text, level);
}

bool my_system_log::write_line(char* text, unsigned int level) {
  // A message is one column of one line. Its arguments are often what the
  // network chose (URLs, MD5 texts, redirect targets, a signer's names), and
  // a tab or a line end among them would forge columns or whole lines; the
  // launcher's own formats hold no control character, so the whole message
  // is cleaned here rather than each argument where it is logged. In place:
  // a line may be written when memory is short.
  make_log_safe(text);
  SYSTEMTIME now;
  ::GetLocalTime(&now);

  // Each write waits on a duplicate of its own, so that a handle shared by all
  // threads is never released by a thread that did not wait on it.
  afx_kernel_handle duplicate;
  HANDLE waited = nullptr;
  if (mutex_.IsValid()) {
    HANDLE copy = nullptr;
    if (::DuplicateHandle(::GetCurrentProcess(), mutex_.Get(), ::GetCurrentProcess(), &copy, 0,
                          FALSE, DUPLICATE_SAME_ACCESS)) {
      duplicate.Reset(copy);
      waited = copy;
    } else {
      waited = mutex_.Get();
    }
    // An abandoned mutex (a writer died holding it) is as good as a free one.
    ::WaitForSingleObject(waited, INFINITE);
  }

  bool written = false;
  if (open_for_append() && rotate_if_needed()) {
    const size_t room = line_buffer_size - 1;
    const int formatted = _snprintf(line_buffer_, room, kLineFormat, now.wYear, now.wMonth,
                                    now.wDay, now.wHour, now.wMinute, now.wSecond,
                                    static_cast<unsigned int>(process_id_), user_name_.c_str(),
                                    threshold_, level, program_name_.c_str(), text);
    line_buffer_[room] = '\0';
    size_t length = static_cast<size_t>(formatted);
    if (formatted < 0) {
      // Too long for the buffer: cut the message on a character boundary and
      // keep the line end, so that the next line starts on a line of its own.
      const size_t line_end = sizeof(kLineEnd) - 1;
      length = ansi_prefix_length(line_buffer_, room, room - line_end);
      std::copy(kLineEnd, kLineEnd + line_end, line_buffer_ + length);
      length += line_end;
      line_buffer_[length] = '\0';
    }
    DWORD bytes = 0;
    ::WriteFile(stream_.Get(), line_buffer_, static_cast<DWORD>(length), &bytes, nullptr);
    written = true;
  }
  stream_.Close();

  if (waited) ::ReleaseMutex(waited);
  return written;
}

bool my_system_log::open_for_append() {
  open_attempts_ = 0;
  for (;;) {
    if (stream_.IsValid()) return true;
    stream_.Reset(::CreateFileW(path_.c_str(), FILE_APPEND_DATA,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (stream_.IsValid()) return true;
    ::Sleep(kOpenRetryDelayMs);
    if (++open_attempts_ >= kOpenAttempts) return false;
  }
}

bool my_system_log::rotate_if_needed() {
  LARGE_INTEGER size{};
  const LARGE_INTEGER zero{};
  if (!::SetFilePointerEx(stream_.Get(), zero, &size, FILE_END)) size.QuadPart = 0;
  if (size.QuadPart < size_limit_) return true;

  // Oldest first: 8 onto 9, ... 1 onto 2. The previous oldest is lost.
  for (int m = 1; generation_count_ - m > 1; ++m) {
    const std::wstring target = generation_path(generation_count_ - m);
    const std::wstring source = generation_path(generation_count_ - m - 1);
    if (path_exists(source) &&
        !::MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) {
      stream_.Close();
      return false;
    }
  }
  stream_.Close();

  path_ = directory_ + file_name_;
  if (!::MoveFileW(path_.c_str(), generation_path(1).c_str())) return false;
  return open_for_append();
}

std::wstring my_system_log::generation_path(int generation) const {
  return boost::str(boost::wformat(kGenerationFormat) % directory_ % generation);
}
