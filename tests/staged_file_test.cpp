// Writing a whole file and moving it into place: each failing step says which
// one it was, with the C library's reason, and a move replaces the
// destination in one step.
#include "support/staged_file.h"
#include "tests/support/test_files.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

namespace {

const std::string kBytes = "installer bytes";

TEST(StagedFile, WrittenThenMovedOverTheDestination) {
  temp_folder root(L"staged");
  const std::wstring destination = root.path() + L"setup64.exe";
  write_file(destination, "older installer");
  const std::wstring staged = staged_path(destination);
  EXPECT_EQ(staged, destination + L".tmp");

  const file_write_result write = write_whole_file(staged, kBytes.data(), kBytes.size());
  ASSERT_TRUE(write);
  EXPECT_EQ(write.written, kBytes.size());
  EXPECT_EQ(read_file(destination), "older installer") << "the destination is untouched until the move";

  const file_move_result move = move_into_place(staged, destination);
  EXPECT_TRUE(move.moved);
  EXPECT_EQ(read_file(destination), kBytes);
  EXPECT_FALSE(file_exists(staged));

  EXPECT_FALSE(move_into_place(staged, destination).moved) << "nothing left to move";
  EXPECT_EQ(read_file(destination), kBytes);
}

// /dev/full takes the open and refuses every byte (ENOSPC), as a full disk
// does. (A body small enough for the C library's buffer would fail only in
// the close, but Wine's C library reports that flush as done.)
TEST(StagedFile, EachFailedStepIsNamed) {
  temp_folder root(L"staged-fail");
  const std::wstring full = path_from_environment("VELORA_FULL_DEVICE");
  ASSERT_FALSE(full.empty());
  const std::string large(300 * 1024, 'x');

  const file_write_result write = write_whole_file(full, large.data(), large.size());
  EXPECT_FALSE(write);
  EXPECT_EQ(write.failed, file_write_step::write);
  EXPECT_EQ(write.error, ENOSPC);
  EXPECT_LT(write.written, large.size());
  EXPECT_STREQ(file_write_step_name(write.failed), L"write");

  const file_write_result folder = write_whole_file(root.path(), kBytes.data(), kBytes.size());
  EXPECT_EQ(folder.failed, file_write_step::open) << "a folder cannot be opened as a file";
  EXPECT_STREQ(file_write_step_name(folder.failed), L"open");
}

}  // namespace
