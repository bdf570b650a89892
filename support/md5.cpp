#include "support/md5.h"

#include "framework/afx_handle.h"
#include "support/text_utils.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

constexpr size_t block_size = 64;
// The padding ends at this offset of the last block; the 8-byte bit length
// fills the rest.
constexpr size_t length_offset = 56;
constexpr size_t length_size = 8;
// Files are read in blocks of this size, never whole.
constexpr DWORD file_read_size = 4096;

const unsigned char padding[block_size] = {0x80};

constexpr uint32_t initial_state[4] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};

// The compress loop below is the hot path of every installer check, so each
// round step is an inline template: shift and additive constant become
// immediates, and GCC turns the rotation into a single `rol`. MD5 is bound by
// the chain of steps, each waiting for the one before: the round functions
// are arranged so that as little as possible waits for `b`, the newest value.

template <unsigned S>
[[gnu::always_inline]] inline uint32_t rotate_left(uint32_t v) {
  return (v << S) | (v >> (32 - S));
}

// Assembled byte by byte so the result does not depend on the host's byte
// order; GCC recognises the pattern as one little-endian load.
[[gnu::always_inline]] inline uint32_t load_le32(const unsigned char* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

[[gnu::always_inline]] inline void store_le32(uint32_t v, unsigned char* p) {
  p[0] = static_cast<unsigned char>(v);
  p[1] = static_cast<unsigned char>(v >> 8);
  p[2] = static_cast<unsigned char>(v >> 16);
  p[3] = static_cast<unsigned char>(v >> 24);
}

// F picks c or d by b. In this form c ^ d does not wait for b, and it takes
// one operation fewer than (b & c) | (~b & d).
template <unsigned S, uint32_t K>
[[gnu::always_inline]] inline void step_f(uint32_t& a, uint32_t b, uint32_t c, uint32_t d,
                                          uint32_t x) {
  a += (d ^ (b & (c ^ d))) + x + K;
  a = rotate_left<S>(a) + b;
}

// G's two terms never share a set bit, so OR is addition; as separate
// additions the ~d & c half is added before b is known.
template <unsigned S, uint32_t K>
[[gnu::always_inline]] inline void step_g(uint32_t& a, uint32_t b, uint32_t c, uint32_t d,
                                          uint32_t x) {
  a += x + K + (~d & c);
  a += d & b;
  a = rotate_left<S>(a) + b;
}

// c ^ d first, so that only the last exclusive or waits for b.
template <unsigned S, uint32_t K>
[[gnu::always_inline]] inline void step_h(uint32_t& a, uint32_t b, uint32_t c, uint32_t d,
                                          uint32_t x) {
  a += (b ^ (c ^ d)) + x + K;
  a = rotate_left<S>(a) + b;
}

template <unsigned S, uint32_t K>
[[gnu::always_inline]] inline void step_i(uint32_t& a, uint32_t b, uint32_t c, uint32_t d,
                                          uint32_t x) {
  a += (c ^ (b | ~d)) + x + K;
  a = rotate_left<S>(a) + b;
}

// Digests `blocks` whole 64-byte blocks straight from `data`; the state stays
// in registers from one block to the next.
void compress(uint32_t state[4], const unsigned char* data, size_t blocks) {
  uint32_t a = state[0];
  uint32_t b = state[1];
  uint32_t c = state[2];
  uint32_t d = state[3];

  for (; blocks != 0; --blocks, data += block_size) {
    const uint32_t x0 = load_le32(data + 0), x1 = load_le32(data + 4);
    const uint32_t x2 = load_le32(data + 8), x3 = load_le32(data + 12);
    const uint32_t x4 = load_le32(data + 16), x5 = load_le32(data + 20);
    const uint32_t x6 = load_le32(data + 24), x7 = load_le32(data + 28);
    const uint32_t x8 = load_le32(data + 32), x9 = load_le32(data + 36);
    const uint32_t x10 = load_le32(data + 40), x11 = load_le32(data + 44);
    const uint32_t x12 = load_le32(data + 48), x13 = load_le32(data + 52);
    const uint32_t x14 = load_le32(data + 56), x15 = load_le32(data + 60);
    const uint32_t a0 = a, b0 = b, c0 = c, d0 = d;

    step_f<7, 0xd76aa478>(a, b, c, d, x0);
    step_f<12, 0xe8c7b756>(d, a, b, c, x1);
    step_f<17, 0x242070db>(c, d, a, b, x2);
    step_f<22, 0xc1bdceee>(b, c, d, a, x3);
    step_f<7, 0xf57c0faf>(a, b, c, d, x4);
    step_f<12, 0x4787c62a>(d, a, b, c, x5);
    step_f<17, 0xa8304613>(c, d, a, b, x6);
    step_f<22, 0xfd469501>(b, c, d, a, x7);
    step_f<7, 0x698098d8>(a, b, c, d, x8);
    step_f<12, 0x8b44f7af>(d, a, b, c, x9);
    step_f<17, 0xffff5bb1>(c, d, a, b, x10);
    step_f<22, 0x895cd7be>(b, c, d, a, x11);
    step_f<7, 0x6b901122>(a, b, c, d, x12);
    step_f<12, 0xfd987193>(d, a, b, c, x13);
    step_f<17, 0xa679438e>(c, d, a, b, x14);
    step_f<22, 0x49b40821>(b, c, d, a, x15);

    step_g<5, 0xf61e2562>(a, b, c, d, x1);
    step_g<9, 0xc040b340>(d, a, b, c, x6);
    step_g<14, 0x265e5a51>(c, d, a, b, x11);
    step_g<20, 0xe9b6c7aa>(b, c, d, a, x0);
    step_g<5, 0xd62f105d>(a, b, c, d, x5);
    step_g<9, 0x02441453>(d, a, b, c, x10);
    step_g<14, 0xd8a1e681>(c, d, a, b, x15);
    step_g<20, 0xe7d3fbc8>(b, c, d, a, x4);
    step_g<5, 0x21e1cde6>(a, b, c, d, x9);
    step_g<9, 0xc33707d6>(d, a, b, c, x14);
    step_g<14, 0xf4d50d87>(c, d, a, b, x3);
    step_g<20, 0x455a14ed>(b, c, d, a, x8);
    step_g<5, 0xa9e3e905>(a, b, c, d, x13);
    step_g<9, 0xfcefa3f8>(d, a, b, c, x2);
    step_g<14, 0x676f02d9>(c, d, a, b, x7);
    step_g<20, 0x8d2a4c8a>(b, c, d, a, x12);

    step_h<4, 0xfffa3942>(a, b, c, d, x5);
    step_h<11, 0x8771f681>(d, a, b, c, x8);
    step_h<16, 0x6d9d6122>(c, d, a, b, x11);
    step_h<23, 0xfde5380c>(b, c, d, a, x14);
    step_h<4, 0xa4beea44>(a, b, c, d, x1);
    step_h<11, 0x4bdecfa9>(d, a, b, c, x4);
    step_h<16, 0xf6bb4b60>(c, d, a, b, x7);
    step_h<23, 0xbebfbc70>(b, c, d, a, x10);
    step_h<4, 0x289b7ec6>(a, b, c, d, x13);
    step_h<11, 0xeaa127fa>(d, a, b, c, x0);
    step_h<16, 0xd4ef3085>(c, d, a, b, x3);
    step_h<23, 0x04881d05>(b, c, d, a, x6);
    step_h<4, 0xd9d4d039>(a, b, c, d, x9);
    step_h<11, 0xe6db99e5>(d, a, b, c, x12);
    step_h<16, 0x1fa27cf8>(c, d, a, b, x15);
    step_h<23, 0xc4ac5665>(b, c, d, a, x2);

    step_i<6, 0xf4292244>(a, b, c, d, x0);
    step_i<10, 0x432aff97>(d, a, b, c, x7);
    step_i<15, 0xab9423a7>(c, d, a, b, x14);
    step_i<21, 0xfc93a039>(b, c, d, a, x5);
    step_i<6, 0x655b59c3>(a, b, c, d, x12);
    step_i<10, 0x8f0ccc92>(d, a, b, c, x3);
    step_i<15, 0xffeff47d>(c, d, a, b, x10);
    step_i<21, 0x85845dd1>(b, c, d, a, x1);
    step_i<6, 0x6fa87e4f>(a, b, c, d, x8);
    step_i<10, 0xfe2ce6e0>(d, a, b, c, x15);
    step_i<15, 0xa3014314>(c, d, a, b, x6);
    step_i<21, 0x4e0811a1>(b, c, d, a, x13);
    step_i<6, 0xf7537e82>(a, b, c, d, x4);
    step_i<10, 0xbd3af235>(d, a, b, c, x11);
    step_i<15, 0x2ad7d2bb>(c, d, a, b, x2);
    step_i<21, 0xeb86d391>(b, c, d, a, x9);

    a += a0;
    b += b0;
    c += c0;
    d += d0;
  }

  state[0] = a;
  state[1] = b;
  state[2] = c;
  state[3] = d;
}

uint64_t bit_count(const md5_context& context) {
  return uint64_t(context.count[1]) << 32 | context.count[0];
}

}  // namespace

void md5_init(md5_context* context) {
  std::memcpy(context->state, initial_state, sizeof(initial_state));
  context->count[0] = 0;
  context->count[1] = 0;
}

void md5_update(md5_context* context, const unsigned char* input, size_t length) {
  if (length == 0) return;
  const size_t buffered = static_cast<size_t>(context->count[0] >> 3) % block_size;
  // The length is kept modulo 2^64 bits, as the padding encodes it.
  const uint64_t bits = bit_count(*context) + (uint64_t(length) << 3);
  context->count[0] = static_cast<uint32_t>(bits);
  context->count[1] = static_cast<uint32_t>(bits >> 32);

  if (buffered != 0) {
    const size_t room = block_size - buffered;
    if (length < room) {
      std::memcpy(context->buffer + buffered, input, length);
      return;
    }
    std::memcpy(context->buffer + buffered, input, room);
    compress(context->state, context->buffer, 1);
    input += room;
    length -= room;
  }

  const size_t blocks = length / block_size;
  compress(context->state, input, blocks);
  input += blocks * block_size;
  length -= blocks * block_size;

  if (length != 0) std::memcpy(context->buffer, input, length);
}

void md5_final(md5_context* context, unsigned char digest[md5_digest_size]) {
  unsigned char length_bytes[length_size];
  const uint64_t bits = bit_count(*context);
  store_le32(static_cast<uint32_t>(bits), length_bytes);
  store_le32(static_cast<uint32_t>(bits >> 32), length_bytes + 4);

  const size_t buffered = static_cast<size_t>(context->count[0] >> 3) % block_size;
  const size_t pad = buffered < length_offset ? length_offset - buffered
                                              : block_size + length_offset - buffered;
  md5_update(context, padding, pad);
  md5_update(context, length_bytes, length_size);

  for (size_t i = 0; i < md5_digest_size / sizeof(uint32_t); ++i) {
    store_le32(context->state[i], digest + sizeof(uint32_t) * i);
  }
  // The buffer held message bytes; leave nothing of them behind.
  std::memset(context, 0, sizeof(*context));
}

bool md5_file(const std::string& path, unsigned char* digest) {
  if (path.empty() || digest == nullptr) return false;
  return md5_file(ansi_to_wide(CP_ACP, path), digest);
}

namespace {

// The bytes of a handle's file are read through views of a mapping, never
// through the handle's file pointer: another thread may be reading the same
// handle meanwhile (the publisher check does, while a download is digested).
// Views of 8 MiB keep a 32-bit process's address space free.
constexpr SIZE_T mapped_view_size = SIZE_T{8} << 20;

class mapped_view {
public:
  mapped_view(HANDLE mapping, ULONGLONG offset, SIZE_T length)
      : data_(static_cast<const unsigned char*>(::MapViewOfFile(mapping, FILE_MAP_READ,
                                                                static_cast<DWORD>(offset >> 32),
                                                                static_cast<DWORD>(offset), length))) {}
  mapped_view(const mapped_view&) = delete;
  mapped_view& operator=(const mapped_view&) = delete;
  ~mapped_view() {
    if (data_) ::UnmapViewOfFile(data_);
  }
  const unsigned char* data() const { return data_; }

private:
  const unsigned char* data_;
};

// Digests what `file` holds from where its file pointer stands to its end.
bool digest_open_file(HANDLE file, unsigned char* digest) {
  md5_context context;
  md5_init(&context);
  unsigned char block[file_read_size];
  bool at_end = false;
  while (!at_end) {
    // A read may deliver less than asked without the file having ended (a
    // network share): only a read of nothing ends it.
    DWORD filled = 0;
    while (filled < file_read_size) {
      DWORD got = 0;
      if (!::ReadFile(file, block + filled, file_read_size - filled, &got, nullptr)) {
        // The digest of part of a file would name a file that does not
        // exist, and a caller could not tell it from the real one.
        std::memset(&context, 0, sizeof(context));
        return false;
      }
      if (got == 0) {
        at_end = true;
        break;
      }
      filled += got;
    }
    if (filled != 0) md5_update(&context, block, filled);
  }

  md5_final(&context, digest);
  return true;
}

}  // namespace

bool md5_file(const std::wstring& path, unsigned char* digest) {
  if (path.empty() || digest == nullptr) return false;

  afx_file_handle file(::CreateFileW(path.c_str(), GENERIC_READ,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file.IsValid()) return false;
  return digest_open_file(file.Get(), digest);
}

bool md5_file(HANDLE file, unsigned char* digest) {
  if (file == nullptr || file == INVALID_HANDLE_VALUE || digest == nullptr) return false;
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(file, &size) || size.QuadPart < 0) return false;
  md5_context context;
  md5_init(&context);
  // A file of no bytes cannot be mapped, and needs no reading.
  if (size.QuadPart > 0) {
    const afx_kernel_handle mapping(::CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr));
    if (!mapping.IsValid()) return false;
    for (ULONGLONG offset = 0; offset < static_cast<ULONGLONG>(size.QuadPart); offset += mapped_view_size) {
      const SIZE_T length = static_cast<SIZE_T>(
          std::min<ULONGLONG>(mapped_view_size, static_cast<ULONGLONG>(size.QuadPart) - offset));
      const mapped_view view(mapping.Get(), offset, length);
      if (!view.data()) return false;
      md5_update(&context, view.data(), length);
    }
  }
  md5_final(&context, digest);
  return true;
}

bool md5_hex(const unsigned char* digest, std::string& text) {
  if (digest == nullptr) return false;
  std::string hex;
  hex.reserve(2 * md5_digest_size);
  for (size_t i = 0; i < md5_digest_size; ++i) {
    char pair[3];
    std::snprintf(pair, sizeof(pair), "%02x", digest[i]);
    hex += pair;
  }
  text = hex;
  return true;
}

bool same_md5_text(const std::wstring& a, const std::wstring& b) {
  return _wcsicmp(a.c_str(), b.c_str()) == 0;
}

std::wstring md5_text_of(HANDLE file) {
  unsigned char digest[md5_digest_size];
  std::string text;
  if (!md5_file(file, digest) || !md5_hex(digest, text)) return std::wstring();
  return std::wstring(text.begin(), text.end());
}

std::string md5_text_of(const void* data, size_t length) {
  md5_context context;
  md5_init(&context);
  md5_update(&context, static_cast<const unsigned char*>(data), length);
  unsigned char digest[md5_digest_size];
  md5_final(&context, digest);
  std::string text;
  md5_hex(digest, text);
  return text;
}
