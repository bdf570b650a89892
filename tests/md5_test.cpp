// MD5 of text and files, and its hexadecimal form.
#include "support/md5.h"

#include "framework/afx_handle.h"
#include "support/text_utils.h"
#include "tests/support/test_files.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <array>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using digest_bytes = std::array<unsigned char, md5_digest_size>;

// What a digest must still hold when a call fails.
constexpr unsigned char kUntouched = 0xA5;

constexpr const char* kNeedsUnicodeNames =
    "Wine cannot name this folder: the machine needs the ja_JP.UTF-8 locale (scripts/setup)";

digest_bytes untouched_digest() {
  digest_bytes digest;
  digest.fill(kUntouched);
  return digest;
}

bool is_untouched(const digest_bytes& digest) {
  return std::all_of(digest.begin(), digest.end(), [](unsigned char b) { return b == kUntouched; });
}

std::string hex_of(const digest_bytes& digest) {
  std::string text;
  md5_hex(digest.data(), text);
  return text;
}

// Feeds `message` in pieces of the given sizes, used in turn, then the rest.
std::string digest_in_pieces(const std::string& message, const std::vector<size_t>& pieces) {
  md5_context context;
  md5_init(&context);
  const auto* bytes = reinterpret_cast<const unsigned char*>(message.data());
  size_t done = 0;
  for (size_t i = 0; done < message.size(); ++i) {
    const size_t piece = pieces.empty() ? message.size() : pieces[i % pieces.size()];
    const size_t length = std::min(piece, message.size() - done);
    md5_update(&context, bytes + done, length);
    done += length;
  }
  digest_bytes digest;
  md5_final(&context, digest.data());
  return hex_of(digest);
}

std::string digest_of(const std::string& message) { return digest_in_pieces(message, {}); }

// Small and prime sizes, and an empty update, so that pieces straddle the
// 64-byte block edge in every position.
const std::vector<size_t> kOddPieces = {1, 7, 0, 13, 31, 2};

struct text_case {
  std::string message;
  const char* expected;
};

std::ostream& operator<<(std::ostream& out, const text_case& c) {
  return out << c.message.size() << " bytes";
}

// RFC 1321's test suite.
const text_case kRfcSuite[] = {
    {"", "d41d8cd98f00b204e9800998ecf8427e"},
    {"a", "0cc175b9c0f1b6a831c399e269772661"},
    {"abc", "900150983cd24fb0d6963f7d28e17f72"},
    {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
    {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
    {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
     "d174ab98d277d9f5a5611c2c9f419d9f"},
    {"1234567890123456789012345678901234567890123456789012345678901234567890"
     "1234567890",
     "57edf4a22be3c955ac49da2e2107b67a"},
};

const std::string kAlnumTwice =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

// Where the padding and the length stop fitting in the last block; the
// digests are md5sum's.
const text_case kBoundaries[] = {
    {kAlnumTwice.substr(0, 55), "b76972fe0dff4baac395b531646f738e"},
    {kAlnumTwice.substr(0, 56), "27eca74a76daae63f472b250b5bcff9d"},
    {kAlnumTwice.substr(0, 63), "42640af78b2a7deb4b5715b00ef31073"},
    {kAlnumTwice.substr(0, 64), "de177f066db0af24bbfe5877a3a9c951"},
    {kAlnumTwice.substr(0, 65), "4fd7447f192485b99e9d46b0586ccccb"},
};

class TextDigest : public ::testing::TestWithParam<text_case> {};

TEST_P(TextDigest, MatchesTheReferenceInOneUpdateAndInOddPieces) {
  const text_case& c = GetParam();
  EXPECT_EQ(digest_of(c.message), c.expected);
  EXPECT_EQ(digest_in_pieces(c.message, kOddPieces), c.expected);
}

INSTANTIATE_TEST_SUITE_P(RfcSuite, TextDigest, ::testing::ValuesIn(kRfcSuite));
INSTANTIATE_TEST_SUITE_P(BlockBoundaries, TextDigest, ::testing::ValuesIn(kBoundaries));

TEST(TextDigest, LengthBeyond2To32BitsKeepsItsHighWord) {
  // 2^29 + 3 bytes of zeros: the bit count no longer fits in 32 bits.
  const std::string mebibyte(1 << 20, '\0');
  md5_context context;
  md5_init(&context);
  for (int i = 0; i < 512; ++i) {
    md5_update(&context, reinterpret_cast<const unsigned char*>(mebibyte.data()),
               mebibyte.size());
  }
  md5_update(&context, reinterpret_cast<const unsigned char*>(mebibyte.data()), 3);
  digest_bytes digest;
  md5_final(&context, digest.data());
  EXPECT_EQ(hex_of(digest), "f477dd2300ffb741b990c4eac208d915");
}

// The files md5_reference_files.py wrote, with md5sum's digests of them.
class ReferenceFiles : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    folder_ = path_from_environment("VELORA_MD5_FILES") + L"\\";
    std::istringstream sums(read_file(folder_ + L"md5sums.txt"));
    std::string hex, name;
    while (sums >> hex >> name) expected_[name] = hex;
  }

  static std::wstring folder_;
  static std::map<std::string, std::string> expected_;
};

std::wstring ReferenceFiles::folder_;
std::map<std::string, std::string> ReferenceFiles::expected_;

TEST_F(ReferenceFiles, EachSizeAroundTheReadBlockMatchesMd5sum) {
  const char* const names[] = {"md5-0.bin", "md5-4095.bin", "md5-4096.bin", "md5-4097.bin",
                               "md5-1000000.bin"};
  for (const char* name : names) {
    SCOPED_TRACE(name);
    ASSERT_EQ(expected_.count(name), 1u) << "md5sums.txt lacks the file";
    const std::wstring path = folder_ + ansi_to_wide(CP_ACP, name);

    digest_bytes wide;
    ASSERT_TRUE(md5_file(path, wide.data()));
    EXPECT_EQ(hex_of(wide), expected_[name]);

    digest_bytes narrow;
    ASSERT_TRUE(md5_file(wide_to_ansi(path), narrow.data()));
    EXPECT_EQ(hex_of(narrow), expected_[name]);
  }
}

TEST_F(ReferenceFiles, UpdatesThatSplitBlocksUnevenlyAgreeWithTheFile) {
  // After a partial block is buffered, whole blocks come straight from the
  // caller's data and a remainder is buffered again.
  const std::string bytes = read_file(folder_ + L"md5-1000000.bin");
  ASSERT_EQ(bytes.size(), 1000000u);
  EXPECT_EQ(digest_in_pieces(bytes, {1, 4099, 63, 65, 128}), expected_["md5-1000000.bin"]);
}

// Through a handle, the whole file is digested whatever its file pointer, and
// the pointer stays where it was: another reader of the same handle (the
// publisher check, beside a download's digest) goes on undisturbed.
TEST_F(ReferenceFiles, HandleDigestsNeitherUseNorMoveTheFilePointer) {
  for (const char* name : {"md5-0.bin", "md5-4097.bin", "md5-1000000.bin"}) {
    SCOPED_TRACE(name);
    const std::wstring path = folder_ + ansi_to_wide(CP_ACP, name);
    afx_file_handle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                                       nullptr));
    ASSERT_TRUE(file.IsValid());
    LARGE_INTEGER middle{};
    middle.QuadPart = 17;
    ASSERT_TRUE(::SetFilePointerEx(file.Get(), middle, nullptr, FILE_BEGIN));

    digest_bytes digest;
    ASSERT_TRUE(md5_file(file.Get(), digest.data()));
    EXPECT_EQ(hex_of(digest), expected_[name]);
    LARGE_INTEGER now{};
    ASSERT_TRUE(::SetFilePointerEx(file.Get(), LARGE_INTEGER{}, &now, FILE_CURRENT));
    EXPECT_EQ(now.QuadPart, 17);
  }
}

// A file larger than one view of the handle's mapping (8 MiB) and not a
// whole number of them: the same digest as the file read by name.
TEST(FileDigest, HandleDigestOfAFileOfManyViews) {
  temp_folder folder(L"md5");
  const std::wstring path = folder.path() + L"large.bin";
  std::string bytes((size_t{8} << 20) * 2 + 4097, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>((i * 2654435761u) >> 13);
  write_file(path, bytes);
  afx_file_handle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                                     nullptr));
  ASSERT_TRUE(file.IsValid());
  digest_bytes by_handle;
  digest_bytes by_name;
  ASSERT_TRUE(md5_file(file.Get(), by_handle.data()));
  ASSERT_TRUE(md5_file(path, by_name.data()));
  EXPECT_EQ(hex_of(by_handle), hex_of(by_name));
  EXPECT_EQ(hex_of(by_handle), md5_text_of(bytes.data(), bytes.size()));
}

TEST(FileDigest, WorksWhileAnotherHandleWritesWithReadSharing) {
  temp_folder folder(L"md5");
  const std::wstring path = folder.path() + L"held.txt";
  write_file(path, "abc");
  afx_file_handle writer(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                       OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(writer.IsValid());

  digest_bytes digest;
  ASSERT_TRUE(md5_file(path, digest.data()));
  EXPECT_EQ(hex_of(digest), "900150983cd24fb0d6963f7d28e17f72");
}

TEST(FileDigest, FailsWithoutTouchingTheDigestWhenTheFileCannotBeOpened) {
  temp_folder folder(L"md5");
  const std::wstring locked = folder.path() + L"locked.txt";
  write_file(locked, "abc");
  afx_file_handle holder(
      ::CreateFileW(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(holder.IsValid());
  const std::wstring subfolder = folder.path() + L"sub";
  ASSERT_TRUE(::CreateDirectoryW(subfolder.c_str(), nullptr));

  const struct {
    const char* what;
    std::wstring path;
  } cases[] = {
      {"held without read sharing", locked},
      {"a directory", subfolder},
      {"a missing file", folder.path() + L"missing.txt"},
      {"an empty path", L""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    digest_bytes wide = untouched_digest();
    EXPECT_FALSE(md5_file(c.path, wide.data()));
    EXPECT_TRUE(is_untouched(wide));

    digest_bytes narrow = untouched_digest();
    EXPECT_FALSE(md5_file(wide_to_ansi(c.path), narrow.data()));
    EXPECT_TRUE(is_untouched(narrow));
  }
}

// A pipe whose writer sends `bytes`, waits until they are read, and hangs up:
// the reader's next ReadFile fails. (Under Wine a byte-range lock does not
// fail a read, so a locked file cannot stand in for a read error.)
class pipe_that_breaks {
public:
  pipe_that_breaks(const std::wstring& name, std::string bytes)
      : pipe_(::CreateNamedPipeW(name.c_str(), PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE | PIPE_WAIT, 1,
                                 kBuffer, kBuffer, 0, nullptr)),
        writer_([this, bytes = std::move(bytes)] {
          if (!::ConnectNamedPipe(pipe_.Get(), nullptr) && ::GetLastError() != ERROR_PIPE_CONNECTED) {
            return;
          }
          DWORD written = 0;
          ::WriteFile(pipe_.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
          ::FlushFileBuffers(pipe_.Get());
          ::DisconnectNamedPipe(pipe_.Get());
        }) {}
  pipe_that_breaks(const pipe_that_breaks&) = delete;
  pipe_that_breaks& operator=(const pipe_that_breaks&) = delete;
  ~pipe_that_breaks() { writer_.join(); }
  bool valid() const { return pipe_.IsValid(); }

private:
  static constexpr DWORD kBuffer = 65536;
  afx_kernel_handle pipe_;
  std::thread writer_;
};

// The bytes before a failed read must not pass for the digest of the whole.
TEST(FileDigest, FailsWithoutTouchingTheDigestWhenAReadFailsPartWay) {
  const std::wstring name = L"\\\\.\\pipe\\velora-md5-" + std::to_wstring(::GetCurrentProcessId());
  const struct {
    const char* what;
    bool narrow;
  } cases[] = {{"wide path", false}, {"narrow path", true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    digest_bytes digest = untouched_digest();
    {
      pipe_that_breaks pipe(name, std::string(4096 + 904, 'x'));
      ASSERT_TRUE(pipe.valid());
      EXPECT_FALSE(c.narrow ? md5_file(wide_to_ansi(name), digest.data())
                            : md5_file(name, digest.data()));
    }
    EXPECT_TRUE(is_untouched(digest));
  }
}

TEST(FileDigest, FailsForANullDigest) {
  temp_folder folder(L"md5");
  const std::wstring path = folder.path() + L"file.txt";
  write_file(path, "abc");
  EXPECT_FALSE(md5_file(path, nullptr));
  EXPECT_FALSE(md5_file(wide_to_ansi(path), nullptr));
}

TEST(FileDigest, NarrowPathReachesJapaneseNamesOfTheAnsiCodePage) {
  ASSERT_EQ(::GetACP(), 932u);
  temp_folder folder(L"md5");
  const std::wstring subfolder = folder.path() + L"インストール";
  ASSERT_TRUE(::CreateDirectoryW(subfolder.c_str(), nullptr)) << kNeedsUnicodeNames;
  const std::wstring path = subfolder + L"\\file.txt";
  write_file(path, "abc");

  digest_bytes digest;
  ASSERT_TRUE(md5_file(wide_to_ansi(path), digest.data()));
  EXPECT_EQ(hex_of(digest), "900150983cd24fb0d6963f7d28e17f72");
}

TEST(FileDigest, WidePathReachesNamesTheAnsiCodePageCannotHold) {
  ASSERT_EQ(::GetACP(), 932u);
  temp_folder folder(L"md5");
  const std::wstring subfolder = folder.path() + L"José-é";
  ASSERT_TRUE(::CreateDirectoryW(subfolder.c_str(), nullptr)) << kNeedsUnicodeNames;
  const std::wstring path = subfolder + L"\\file.txt";
  write_file(path, "abc");

  digest_bytes wide;
  ASSERT_TRUE(md5_file(path, wide.data()));
  EXPECT_EQ(hex_of(wide), "900150983cd24fb0d6963f7d28e17f72");

  // The ANSI form has lost the "é" and names nothing.
  const std::string narrow_path = wide_to_ansi(path);
  ASSERT_NE(ansi_to_wide(CP_ACP, narrow_path), path);
  digest_bytes narrow = untouched_digest();
  EXPECT_FALSE(md5_file(narrow_path, narrow.data()));
  EXPECT_TRUE(is_untouched(narrow));
}

TEST(HexText, KeepsLeadingZerosInDigestOrder) {
  const digest_bytes digest = {0x0a, 0x00, 0xff, 0x10, 0x01, 0x23, 0x45, 0x67,
                               0x89, 0xab, 0xcd, 0xef, 0xf0, 0x0f, 0x7e, 0x80};
  std::string text = "previous text";
  ASSERT_TRUE(md5_hex(digest.data(), text));
  EXPECT_EQ(text, "0a00ff100123456789abcdeff00f7e80");
}

TEST(HexText, NullDigestLeavesTheTextAsItWas) {
  std::string text = "previous text";
  EXPECT_FALSE(md5_hex(nullptr, text));
  EXPECT_EQ(text, "previous text");
}

}  // namespace
