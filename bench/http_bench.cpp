// Fetches one body over loopback and prints the throughput and peak memory:
//   http_bench client PORT PATH   through get_data_by_wininet
//   http_bench bare PORT PATH     a bare loop of 1023-byte InternetReadFile calls
//                                 with the same session and request settings,
//                                 discarding the bytes (the fastest those reads go)
//   http_bench memory PORT PATH   the same loop appending what it reads to a
//                                 vector, as a client must that keeps the body
//   http_bench save PORT PATH FILE  the same loop writing what it reads to FILE
//                                 in 1 MiB blocks: a bare download
#include "support/system_libraries.h"
#include "update/http_client.h"
#include "update/internet_handle.h"

#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

namespace {

constexpr DWORD kReadSize = 1023;
// As the client asks: nothing is copied into the WinINet cache.
constexpr DWORD kRequestFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_KEEP_CONNECTION |
                                INTERNET_FLAG_PRAGMA_NOCACHE | INTERNET_FLAG_NO_CACHE_WRITE;
constexpr double kMiB = 1024.0 * 1024.0;

std::string narrow(const wchar_t* text) {
  std::string out;
  for (; *text; ++text) out += static_cast<char>(*text);
  return out;
}

double seconds_since(const LARGE_INTEGER& start) {
  LARGE_INTEGER now, frequency;
  ::QueryPerformanceCounter(&now);
  ::QueryPerformanceFrequency(&frequency);
  return double(now.QuadPart - start.QuadPart) / double(frequency.QuadPart);
}

// Keeps what the bare loop reads, when asked to: gathered into 1 MiB blocks,
// each written as it fills, as a lean downloader does.
class body_sink {
public:
  explicit body_sink(const wchar_t* path)
      : file_(path ? ::CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr)
                   : INVALID_HANDLE_VALUE) {
    if (path) block_.reserve(kBlockSize);
  }
  ~body_sink() {
    if (file_ != INVALID_HANDLE_VALUE) ::CloseHandle(file_);
  }
  body_sink(const body_sink&) = delete;
  body_sink& operator=(const body_sink&) = delete;

  bool open() const { return file_ != INVALID_HANDLE_VALUE; }
  bool write(const char* bytes, DWORD size) {
    if (file_ == INVALID_HANDLE_VALUE) return true;
    block_.insert(block_.end(), bytes, bytes + size);
    return block_.size() < kBlockSize || flush();
  }
  bool flush() {
    if (file_ == INVALID_HANDLE_VALUE || block_.empty()) return true;
    DWORD written = 0;
    const DWORD size = static_cast<DWORD>(block_.size());
    const bool whole = ::WriteFile(file_, block_.data(), size, &written, nullptr) && written == size;
    block_.clear();
    return whole;
  }

private:
  static constexpr size_t kBlockSize = 1024 * 1024;
  HANDLE file_;
  std::vector<char> block_;
};

// The bare loop; `keep` gets each read's bytes and answers whether to go on.
template <typename Keep>
unsigned long long bare_fetch(const std::string& port, const std::string& path, Keep keep) {
  const wininet_functions* w = wininet_library();
  if (!w) return 0;
  internet_handle session(w->InternetOpenA("Velora/6.0", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  internet_handle connection(w->InternetConnectA(session.Get(), "127.0.0.1",
                                                 static_cast<INTERNET_PORT>(std::atoi(port.c_str())),
                                                 nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0));
  internet_handle request(w->HttpOpenRequestA(connection.Get(), "GET", path.c_str(), nullptr, nullptr,
                                              nullptr, kRequestFlags, 0));
  if (!request.IsValid() || !w->HttpSendRequestA(request.Get(), nullptr, 0, nullptr, 0)) return 0;
  char buffer[kReadSize + 1];
  unsigned long long total = 0;
  DWORD read = 0;
  while (w->InternetReadFile(request.Get(), buffer, kReadSize, &read) && read > 0) {
    if (!keep(buffer, read)) return 0;
    total += read;
  }
  return total;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: http_bench client|bare|memory PORT PATH | save PORT PATH FILE\n");
    return 2;
  }
  const std::wstring mode = argv[1];
  const std::string port = narrow(argv[2]);
  const std::string path = narrow(argv[3]);

  LARGE_INTEGER start;
  ::QueryPerformanceCounter(&start);
  unsigned long long bytes = 0;
  if (mode == L"client") {
    http_request request;
    request.host = "127.0.0.1";
    request.port = port;
    request.path = path;
    request.method = "GET";
    DWORD status = 0;
    std::string headers;
    std::vector<char> body;
    const DWORD result = get_data_by_wininet(nullptr, request, status, headers, body);
    if (result != 0 || status != 200) {
      std::fprintf(stderr, "request failed: ret %lu status %lu\n", result, status);
      return 1;
    }
    bytes = body.size();
    std::printf("capacity: %zu\n", body.capacity());
    std::printf("headers: %s\n", headers.c_str());
  } else if (mode == L"memory") {
    std::vector<char> body;
    bytes = bare_fetch(port, path, [&body](const char* data, DWORD size) {
      body.insert(body.end(), data, data + size);
      return true;
    });
    if (bytes != body.size()) bytes = 0;
  } else {
    const bool save = mode == L"save";
    if (save && argc < 5) {
      std::fprintf(stderr, "usage: http_bench save PORT PATH FILE\n");
      return 2;
    }
    body_sink sink(save ? argv[4] : nullptr);
    if (save && !sink.open()) {
      std::fprintf(stderr, "cannot create the file (%lu)\n", ::GetLastError());
      return 1;
    }
    bytes = bare_fetch(port, path,
                       [&sink](const char* data, DWORD size) { return sink.write(data, size); });
    if (!sink.flush()) bytes = 0;
  }
  const double elapsed = seconds_since(start);

  PROCESS_MEMORY_COUNTERS memory{};
  memory.cb = sizeof(memory);
  ::GetProcessMemoryInfo(::GetCurrentProcess(), &memory, sizeof(memory));
  std::printf("bytes: %llu\n", bytes);
  std::printf("throughput: %.1f\n", bytes / kMiB / elapsed);
  std::printf("peak private: %.1f\n", memory.PeakPagefileUsage / kMiB);
  std::printf("peak working set: %.1f\n", memory.PeakWorkingSetSize / kMiB);
  return bytes > 0 ? 0 : 1;
}
