// Throughput of md5_file on one file, for bench/run:
//   md5_bench FILE
// prints "md5_file: <MiB/s> MiB/s" and "digest: <hex>", then the two halves
// of that time measured apart: the 4096-byte read loop alone and the digest
// of the same amount of data already in memory.
#include "framework/afx_handle.h"
#include "support/md5.h"

#include <windows.h>

#include <cstdio>
#include <string>

namespace {

constexpr DWORD read_size = 4096;
constexpr double mebibyte = 1024.0 * 1024.0;

class stopwatch {
public:
  stopwatch() {
    ::QueryPerformanceFrequency(&frequency_);
    ::QueryPerformanceCounter(&start_);
  }
  double seconds() const {
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart - start_.QuadPart) /
           static_cast<double>(frequency_.QuadPart);
  }

private:
  LARGE_INTEGER frequency_;
  LARGE_INTEGER start_;
};

double mib_per_second(unsigned long long bytes, double seconds) {
  return seconds > 0 ? static_cast<double>(bytes) / mebibyte / seconds : 0.0;
}

// The read pattern of md5_file without the digest. Returns the bytes read,
// or -1 when the file cannot be opened.
long long read_loop(const std::wstring& path) {
  afx_file_handle file(::CreateFileW(path.c_str(), GENERIC_READ,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file.IsValid()) return -1;
  unsigned char block[read_size];
  long long total = 0;
  for (;;) {
    DWORD got = 0;
    if (!::ReadFile(file.Get(), block, read_size, &got, nullptr) || got == 0) break;
    total += got;
  }
  return total;
}

// The digest of `bytes` bytes fed in read-sized pieces from one hot buffer.
void digest_in_memory(unsigned long long bytes) {
  unsigned char block[read_size];
  for (DWORD i = 0; i < read_size; ++i) block[i] = static_cast<unsigned char>(i * 131u + 7u);
  md5_context context;
  md5_init(&context);
  for (unsigned long long done = 0; done < bytes; done += read_size) {
    md5_update(&context, block, read_size);
  }
  unsigned char digest[md5_digest_size];
  md5_final(&context, digest);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: md5_bench FILE\n");
    return 2;
  }
  const std::wstring path = argv[1];

  unsigned char digest[md5_digest_size];
  const stopwatch whole;
  if (!md5_file(path, digest)) {
    std::fprintf(stderr, "md5_bench: cannot digest the file\n");
    return 1;
  }
  const double whole_seconds = whole.seconds();

  const stopwatch reading;
  const long long bytes = read_loop(path);
  const double reading_seconds = reading.seconds();
  if (bytes < 0) return 1;

  const stopwatch computing;
  digest_in_memory(static_cast<unsigned long long>(bytes));
  const double computing_seconds = computing.seconds();

  std::string hex;
  md5_hex(digest, hex);
  const auto size = static_cast<unsigned long long>(bytes);
  std::printf("md5_file: %.1f MiB/s\n", mib_per_second(size, whole_seconds));
  std::printf("digest: %s\n", hex.c_str());
  std::printf("read loop alone: %.1f MiB/s\n", mib_per_second(size, reading_seconds));
  std::printf("digest in memory: %.1f MiB/s\n", mib_per_second(size, computing_seconds));
  return 0;
}
