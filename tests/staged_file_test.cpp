// Writing a whole file and moving it into place: each failing step says which
// one it was, with the system's reason, and a move replaces the destination
// in one step; a file written new never takes or follows an existing name.
#include "support/staged_file.h"
#include "tests/support/test_files.h"
#include "tests/support/unix_links.h"

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
// does.
TEST(StagedFile, EachFailedStepIsNamed) {
  temp_folder root(L"staged-fail");
  const std::wstring full = path_from_environment("VELORA_FULL_DEVICE");
  ASSERT_FALSE(full.empty());
  const std::string large(300 * 1024, 'x');

  const file_write_result write = write_whole_file(full, large.data(), large.size());
  EXPECT_FALSE(write);
  EXPECT_EQ(write.failed, file_write_step::write);
  EXPECT_EQ(write.error, static_cast<DWORD>(ERROR_DISK_FULL));
  EXPECT_LT(write.written, large.size());
  EXPECT_STREQ(file_write_step_name(write.failed), L"write");

  const file_write_result folder = write_whole_file(root.path(), kBytes.data(), kBytes.size());
  EXPECT_EQ(folder.failed, file_write_step::open) << "a folder cannot be opened as a file";
  EXPECT_STREQ(file_write_step_name(folder.failed), L"open");
}

TEST(StagedFile, NewFileNeverTakesAnExistingName) {
  temp_folder root(L"staged-new");
  const std::wstring staged = root.path() + L"setup64.exe.tmp";
  ASSERT_TRUE(write_new_file(staged, kBytes.data(), kBytes.size()));
  EXPECT_EQ(read_file(staged), kBytes);

  const file_write_result again = write_new_file(staged, "other", 5);
  EXPECT_EQ(again.failed, file_write_step::open);
  EXPECT_EQ(again.error, static_cast<DWORD>(ERROR_FILE_EXISTS));
  EXPECT_EQ(read_file(staged), kBytes) << "the file there is left as it was";

  // A link there, even one that leads nowhere, is an existing name: it is
  // neither followed nor written through.
  const std::wstring target = root.path() + L"elsewhere.txt";
  const std::wstring linked = root.path() + L"linked.tmp";
  ASSERT_TRUE(make_unix_link(target, linked));
  EXPECT_FALSE(write_new_file(linked, kBytes.data(), kBytes.size()));
  EXPECT_FALSE(file_exists(target)) << "nothing was made where the link leads";
  EXPECT_TRUE(remove_unix_link(linked));
}

}  // namespace
