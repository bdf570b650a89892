#pragma once
// MD5 (RFC 1321) of files, and the text form the manifest carries: 32
// lower-case hexadecimal digits, two per digest byte in digest order.
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>

constexpr size_t md5_digest_size = 16;

// The running state of one digest, laid out as in RFC 1321's reference code.
struct md5_context {
  uint32_t state[4];     // A, B, C, D
  uint32_t count[2];     // message length in bits, low word first
  unsigned char buffer[64];
};

void md5_init(md5_context* context);
void md5_update(md5_context* context, const unsigned char* input, size_t length);
// Pads, appends the bit length and writes the 16-byte digest.
void md5_final(md5_context* context, unsigned char digest[md5_digest_size]);

// Digests the file at `path` (narrow text in the ANSI code page) into `digest`.
// False for an empty path, a null digest, a file that cannot be opened (a
// directory, a missing file, one held without read sharing) or one whose
// reading fails part way; `digest` is then left unchanged. Other processes
// may read and write the file meanwhile.
bool md5_file(const std::string& path, unsigned char* digest);

// The same for a wide path, so that any path that names a file can be
// digested, whatever the ANSI code page can represent.
bool md5_file(const std::wstring& path, unsigned char* digest);

// The same for the file open as `file` (with read access), from its first
// byte, whatever its name leads to now: the bytes of a held file. Read
// through a mapping, so the handle's file pointer is neither used nor moved,
// and others may read through the same handle meanwhile.
bool md5_file(HANDLE file, unsigned char* digest);

// The MD5 text of the file open as `file`, as md5_file(HANDLE) reads it;
// empty when it cannot be read.
std::wstring md5_text_of(HANDLE file);

// Two MD5 texts name the same file when they are equal but for the case of
// the letters A to Z (a manifest may give its digest in capitals).
bool same_md5_text(const std::wstring& a, const std::wstring& b);

// The MD5 text of `length` bytes in memory.
std::string md5_text_of(const void* data, size_t length);

// The text form of `digest`, replacing `text`. False (text unchanged) for a
// null digest.
bool md5_hex(const unsigned char* digest, std::string& text);
