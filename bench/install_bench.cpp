// Runs the launcher from another process and prints what it measured:
//   install_bench LAUNCHER RECORD click   posts the Install command once the
//                                         window is painted and idle; prints
//                                         the time from that command to the
//                                         installer's start
//   install_bench LAUNCHER RECORD quiet   starts the launcher with "/q" and
//                                         asks its window a WM_NULL about every
//                                         10 ms from its first paint to the
//                                         installer's start; prints the worst
//                                         answer
//   install_bench LAUNCHER STOP idle      asks the idle window the same way
//                                         from its first paint until the file
//                                         STOP exists, while the caller loads
//                                         the platform; prints "ready" once
//                                         it asks
// RECORD is where the stand-in installer records its start (it is told so
// through VELORA_SETUP_RECORD, which the launcher passes on): the record's
// last write time is the installer's start. The temporary-folder cache is
// emptied first, so the launcher must download. Exit code 0 when the
// installer that ran was the downloaded one.
#include "bench/bench_windows.h"
#include "res/resource.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdio>
#include <cwchar>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

const wchar_t kLauncherClass[] = LAUNCHER_WINDOW_CLASS_W;
const wchar_t kRecordVariable[] = L"VELORA_SETUP_RECORD";
const wchar_t* const kCacheFiles[] = {
    L"%temp%\\vlr6setup\\setup64.exe", L"%temp%\\vlr6setup\\setup64.exe.tmp",
    L"%temp%\\vlr6setup\\setup32.exe", L"%temp%\\vlr6setup\\setup32.exe.tmp"};
const wchar_t kQuietOption[] = L"/q";
constexpr DWORD kTimeoutMs = 120000;
constexpr DWORD kSampleIntervalMs = 10;
constexpr UINT kAnswerTimeoutMs = 10000;
constexpr double kSlowAnswerMs = 10.0;
constexpr DWORD kCloseRetryMs = 100;
// The installer's start is read from its record's write time, not from when
// the record is seen: a slow look costs no precision. A look every
// millisecond would: each one is work for the Wine server, which the
// launcher's 1023-byte reads wait on (it slowed the bare loop by 7-30%).
constexpr DWORD kRecordLookIntervalMs = 50;
constexpr double kFileTimeTicksPerMs = 10000.0;

using bench::milliseconds;
using bench::now;

// Under Wine the system time has the resolution of the host's clock, and
// file times are the host's file times: the two compare to well under 1 ms.
ULONGLONG system_time() {
  FILETIME time;
  ::GetSystemTimeAsFileTime(&time);
  return (ULONGLONG(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

std::wstring expanded(const wchar_t* text) {
  wchar_t out[MAX_PATH * 2] = {};
  ::ExpandEnvironmentStringsW(text, out, MAX_PATH * 2);
  return out;
}

// The last write time of the installer's record once it exists; 0 on time-out.
ULONGLONG wait_for_record(const std::wstring& record) {
  const LARGE_INTEGER start = now();
  while (milliseconds(start, now()) < kTimeoutMs) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (::GetFileAttributesExW(record.c_str(), GetFileExInfoStandard, &data) &&
        data.nFileSizeLow > 0) {
      return (ULONGLONG(data.ftLastWriteTime.dwHighDateTime) << 32) |
             data.ftLastWriteTime.dwLowDateTime;
    }
    ::Sleep(kRecordLookIntervalMs);
  }
  return 0;
}

bool wait_until(const std::function<bool()>& done) {
  const LARGE_INTEGER start = now();
  while (milliseconds(start, now()) < kTimeoutMs) {
    if (done()) return true;
    ::Sleep(1);
  }
  return false;
}

// Asks `window` a WM_NULL every kSampleIntervalMs on a thread of its own
// until stopped, and keeps how long each answer took.
class answer_sampler {
public:
  explicit answer_sampler(HWND window)
      : thread_([this, window] {
          const LARGE_INTEGER begin = now();
          while (!stop_.load()) {
            const LARGE_INTEGER asked = now();
            DWORD_PTR result = 0;
            const bool answered = ::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL,
                                                        kAnswerTimeoutMs, &result) != 0;
            times_.push_back(answered ? milliseconds(asked, now()) : double(kAnswerTimeoutMs));
            at_.push_back(milliseconds(begin, asked));
            ::Sleep(kSampleIntervalMs);
          }
        }) {}
  ~answer_sampler() { stop(); }

  // The answer times so far; the sampling ends.
  const std::vector<double>& stop() {
    stop_.store(true);
    if (thread_.joinable()) thread_.join();
    return times_;
  }
  // When each answer was asked for, in ms from the start of the sampling.
  const std::vector<double>& asked_at() const { return at_; }

private:
  std::atomic<bool> stop_{false};
  std::vector<double> times_;
  std::vector<double> at_;
  std::thread thread_;
};

double worst(const std::vector<double>& times) {
  return times.empty() ? 0.0 : *std::max_element(times.begin(), times.end());
}

std::string record_text(const std::wstring& record) {
  std::string text;
  if (FILE* file = _wfopen(record.c_str(), L"rb")) {
    char buffer[4096];
    size_t read = 0;
    while ((read = std::fread(buffer, 1, sizeof(buffer), file)) > 0) text.append(buffer, read);
    std::fclose(file);
  }
  return text;
}

std::string narrow(const std::wstring& text) {
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string out(size > 0 ? size - 1 : 0, '\0');
  if (size > 1) ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), size, nullptr, nullptr);
  return out;
}

// True when the record names the cached installer (case as Windows pleases).
bool ran_downloaded(const std::string& record, const std::wstring& cached) {
  std::string haystack = record, needle = "path=" + narrow(cached);
  for (std::string* text : {&haystack, &needle}) {
    std::transform(text->begin(), text->end(), text->begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  }
  return haystack.find(needle) != std::string::npos;
}

// Prints the worst answer, and when the slow ones came (ms after `since`).
void print_answers(const char* label, const answer_sampler& sampler, const std::vector<double>& times) {
  std::printf("%s: %.1f ms (%zu samples)\n", label, worst(times), times.size());
  std::printf("slow answers (ms after the first paint: ms):");
  for (size_t i = 0; i < times.size(); ++i) {
    if (times[i] > kSlowAnswerMs) std::printf(" %.0f: %.1f", sampler.asked_at()[i], times[i]);
  }
  std::printf("\n");
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring mode = argc > 3 ? argv[3] : L"";
  if (mode != L"click" && mode != L"quiet" && mode != L"idle") {
    std::fprintf(stderr, "usage: install_bench LAUNCHER RECORD|STOP_FILE click|quiet|idle\n");
    return 2;
  }
  const std::wstring launcher = argv[1];
  const std::wstring record = argv[2];
  const bool quiet = mode == L"quiet";

  for (const wchar_t* file : kCacheFiles) ::DeleteFileW(expanded(file).c_str());
  ::DeleteFileW(record.c_str());
  ::SetEnvironmentVariableW(kRecordVariable, record.c_str());

  std::wstring command = L"\"" + launcher + L"\"";
  if (quiet) command += std::wstring(L" ") + kQuietOption;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(launcher.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &process)) {
    std::fprintf(stderr, "cannot start the launcher (%lu)\n", ::GetLastError());
    return 1;
  }
  ::CloseHandle(process.hThread);
  const auto fail = [&](const char* what) {
    std::fprintf(stderr, "%s\n", what);
    ::TerminateProcess(process.hProcess, 1);
    ::CloseHandle(process.hProcess);
    return 1;
  };

  const HWND window = bench::painted_window(process.dwProcessId, kLauncherClass, kTimeoutMs);
  if (!window) return fail("no painted launcher window");
  const HWND install = ::GetDlgItem(window, IDOK);
  const ULONGLONG painted = system_time();

  if (mode == L"idle") {
    // The caller loads the platform meanwhile, and makes the stop file when done.
    answer_sampler sampler(window);
    std::printf("ready\n");
    std::fflush(stdout);
    const bool stopped = wait_for_record(record) != 0;
    const std::vector<double>& times = sampler.stop();
    if (!stopped) return fail("no stop file");
    print_answers("idle worst answer", sampler, times);
  } else {
    ULONGLONG started = 0;
    if (quiet) {
      answer_sampler sampler(window);
      started = wait_for_record(record);
      const std::vector<double>& times = sampler.stop();
      if (!started) return fail("the installer did not start");
      print_answers("worst answer", sampler, times);
      std::printf("installer started %.0f ms after the first paint\n",
                  double(started - painted) / kFileTimeTicksPerMs);
    } else {
      ::WaitForInputIdle(process.hProcess, kTimeoutMs);
      const ULONGLONG clicked = system_time();
      ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                     reinterpret_cast<LPARAM>(install));
      started = wait_for_record(record);
      if (!started) return fail("the installer did not start");
      std::printf("click to installer start: %.1f ms\n",
                  double(started - clicked) / kFileTimeTicksPerMs);
    }
    // The workflow has ended when Install is enabled again.
    if (!wait_until([&] { return ::IsWindowEnabled(install) != FALSE; })) {
      return fail("the install workflow did not end");
    }
  }

  // The close is refused until the worker has returned, a moment after it
  // enabled Install: asked again until it is granted.
  const bool closed = wait_until([&] {
    ::PostMessageW(window, WM_CLOSE, 0, 0);
    return ::WaitForSingleObject(process.hProcess, kCloseRetryMs) == WAIT_OBJECT_0;
  });
  if (!closed) return fail("the launcher did not close");
  ::CloseHandle(process.hProcess);
  if (mode == L"idle") return 0;

  const std::string text = record_text(record);
  if (!ran_downloaded(text, expanded(kCacheFiles[0])) && !ran_downloaded(text, expanded(kCacheFiles[2]))) {
    std::fprintf(stderr, "the installer that ran was not the download:\n%s\n", text.c_str());
    return 1;
  }
  return 0;
}
