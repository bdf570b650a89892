// The rotating log: line bytes, switch files, rotation and concurrent writers.
#include "support/system_log.h"
#include "tests/support/test_files.h"
#include "tests/support/test_process.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr size_t kRotationSize = 1048576;

std::vector<std::string> lines_of(const std::string& bytes) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < bytes.size()) {
    size_t end = bytes.find("\r\n", start);
    if (end == std::string::npos) {
      lines.push_back(bytes.substr(start));  // a torn tail
      break;
    }
    lines.push_back(bytes.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

std::string user_name() {
  char name[512] = {};
  DWORD size = sizeof(name);
  ::GetUserNameA(name, &size);
  return name;
}

// The fixed part before the message: "YYYY/MM/DD hh:mm:ss\tPID:0x..(user)\tLogLv:t/l\tLauncher\t".
std::string line_head(unsigned threshold, unsigned level) {
  char pid[32];
  std::snprintf(pid, sizeof(pid), "%lx", ::GetCurrentProcessId());
  return std::string("\\d{4}/\\d{2}/\\d{2} \\d{2}:\\d{2}:\\d{2}\\tPID:0x") + pid + "\\(" +
         user_name() + "\\)\\tLogLv:" + std::to_string(threshold) + "/" +
         std::to_string(level) + "\\tLauncher\\t";
}

class SystemLog : public ::testing::Test {
protected:
  std::wstring log_path() const { return folder_.path() + L"system.log"; }
  std::wstring generation(int n) const {
    wchar_t name[32];
    std::swprintf(name, 32, L"system.%02d.log", n);
    return folder_.path() + name;
  }
  std::string log_bytes() const { return read_file(log_path()); }

  temp_folder folder_{L"log"};
};

TEST_F(SystemLog, WritesNothingBeforeInitOrWithoutTheFullSwitchFile) {
  my_system_log log;
  EXPECT_FALSE(log.write_a(5, "before init"));

  {
    log_switch_files switches(false, false);
    ASSERT_TRUE(log.init(folder_.path().c_str()));
    EXPECT_FALSE(log.write_a(5, "no switch file"));
  }
  {
    log_switch_files switches(false, true);
    my_system_log booster_only;
    ASSERT_TRUE(booster_only.init(folder_.path().c_str()));
    EXPECT_FALSE(booster_only.write_a(5, "booster file alone"));
  }
  EXPECT_FALSE(file_exists(log_path()));
}

TEST_F(SystemLog, FullSwitchWritesUpToLevelTwenty) {
  log_switch_files switches(true, false);
  my_system_log log;
  ASSERT_TRUE(log.init(folder_.path().c_str()));
  EXPECT_TRUE(log.write_a(10, "step %s ret %d err 0x%x", "download", -1, 0xb7));
  EXPECT_TRUE(log.write_w(20, L"milestone"));
  EXPECT_FALSE(log.write_a(30, "tracing"));

  const std::regex expected(line_head(20, 10) + "step download ret -1 err 0xb7\\r\\n" +
                            line_head(20, 20) + "milestone\\r\\n");
  EXPECT_TRUE(std::regex_match(log_bytes(), expected)) << log_bytes();
}

TEST_F(SystemLog, BoosterSwitchAddsLevelThirty) {
  log_switch_files switches(true, true);
  my_system_log log;
  ASSERT_TRUE(log.init(folder_.path().c_str()));
  EXPECT_TRUE(log.write_a(30, "trace"));
  EXPECT_TRUE(std::regex_match(log_bytes(), std::regex(line_head(30, 30) + "trace\\r\\n")))
      << log_bytes();
}

TEST_F(SystemLog, WideTextIsWrittenInTheAnsiCodePage) {
  log_switch_files switches(true, false);
  my_system_log log;
  ASSERT_TRUE(log.init(folder_.path().c_str()));
  // Thai has no mapping in code page 932 and becomes the default character.
  EXPECT_TRUE(log.write_w(10, L"%s [%s] %d", L"インストール", L"\x0e01", 7));

  const std::string lines = log_bytes();
  const std::string message = "\x83\x43\x83\x93\x83\x58\x83\x67\x81\x5b\x83\x8b [?] 7\r\n";
  ASSERT_GE(lines.size(), message.size());
  EXPECT_EQ(lines.substr(lines.size() - message.size()), message);
  EXPECT_EQ(lines.find('\n'), lines.size() - 1) << "one line only";
}

// A message is one column of one line: whatever its arguments hold, its
// control characters come out as "?", narrow or wide, and double-byte
// characters stay whole.
TEST_F(SystemLog, ControlCharactersInMessagesBecomeQuestionMarks) {
  log_switch_files switches(true, false);
  my_system_log log;
  ASSERT_TRUE(log.init(folder_.path().c_str()));
  EXPECT_TRUE(log.write_a(10, "url %s end", "a\tb\r\nLogLv:20/5\x7f\x1b[2J\x01"));
  EXPECT_TRUE(log.write_w(10, L"url %s end", L"a\tb\r\n\x7f\x1f\u8868"));

  const auto lines = lines_of(log_bytes());
  ASSERT_EQ(lines.size(), 2u) << log_bytes();
  EXPECT_TRUE(std::regex_match(lines[0], std::regex(line_head(20, 10) + "url a\\?b\\?\\?LogLv:20/5\\?\\?\\[2J\\? end")))
      << lines[0];
  // U+8868 is 0x95 0x5C in code page 932: its trail byte is a backslash, not a control character.
  EXPECT_TRUE(std::regex_match(lines[1], std::regex(line_head(20, 10) + "url a\\?b\\?\\?\\?\\?\x95\\\\ end")))
      << lines[1];
}

TEST_F(SystemLog, EmptyMessages) {
  log_switch_files switches(true, false);
  my_system_log log;
  ASSERT_TRUE(log.init(folder_.path().c_str()));
  EXPECT_FALSE(log.write_w(10, L"%s", L""));  // converts to nothing: no line
  EXPECT_TRUE(log.write_a(10, "%s", ""));     // an empty message field
  EXPECT_TRUE(std::regex_match(log_bytes(), std::regex(line_head(20, 10) + "\\r\\n")))
      << log_bytes();
}

TEST_F(SystemLog, WideMessageLimits) {
  log_switch_files switches(true, false);
  my_system_log log;
  ASSERT_TRUE(log.init(folder_.path().c_str()));
  // 2048 bytes in code page 932 leave no room for the terminator; 2200 do not fit.
  EXPECT_FALSE(log.write_w(10, L"%s", std::wstring(1024, L'ア').c_str()));
  EXPECT_FALSE(log.write_w(10, L"%s", std::wstring(1100, L'ア').c_str()));
  EXPECT_FALSE(file_exists(log_path()));

  // 2047 bytes are written; the line is cut to the buffer but keeps its line end
  // and no half of a double-byte character (so it may come out one byte short).
  EXPECT_TRUE(log.write_w(10, L"a%s", std::wstring(1023, L'ア').c_str()));
  const std::string line = log_bytes();
  EXPECT_GE(line.size(), 2046u);
  EXPECT_LE(line.size(), 2047u);
  ASSERT_GE(line.size(), 4u);
  EXPECT_EQ(line.substr(line.size() - 4), "\x83\x41\r\n");
  EXPECT_TRUE(std::regex_search(line, std::regex(line_head(20, 10) + "a(\x83\x41)+\r\n")));
}

TEST_F(SystemLog, NarrowMessageIsCutAtTheBufferButKeepsItsLineEnd) {
  log_switch_files switches(true, false);
  my_system_log log;
  ASSERT_TRUE(log.init(folder_.path().c_str()));
  EXPECT_TRUE(log.write_a(10, "%s", std::string(3000, 'n').c_str()));
  EXPECT_TRUE(log.write_a(10, "next"));
  const auto lines = lines_of(log_bytes());
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].size() + 2, 2047u);
  EXPECT_TRUE(std::regex_match(lines[1], std::regex(line_head(20, 10) + "next")));
}

TEST_F(SystemLog, RotatesOnlyFromOneMebibyte) {
  log_switch_files switches(true, false);
  my_system_log log;
  ASSERT_TRUE(log.init(folder_.path().c_str()));

  const std::string just_below(kRotationSize - 1, 'o');
  write_file(log_path(), just_below);
  ASSERT_TRUE(log.write_a(10, "first"));
  EXPECT_FALSE(file_exists(generation(1))) << "1048575 bytes are not rotated";
  const std::string grown = log_bytes();
  EXPECT_GT(grown.size(), kRotationSize) << "the file may exceed the limit by one line";

  ASSERT_TRUE(log.write_a(10, "second"));
  EXPECT_EQ(read_file(generation(1)), grown);
  EXPECT_TRUE(std::regex_match(log_bytes(), std::regex(line_head(20, 10) + "second\\r\\n")));
}

TEST_F(SystemLog, RotationShiftsNineGenerationsAndDropsTheOldest) {
  log_switch_files switches(true, false);
  my_system_log log;
  ASSERT_TRUE(log.init(folder_.path().c_str()));
  for (int n = 1; n <= 9; ++n) write_file(generation(n), "generation " + std::to_string(n));
  const std::string full(kRotationSize, 'c');
  write_file(log_path(), full);

  ASSERT_TRUE(log.write_a(10, "fresh"));
  for (int n = 2; n <= 9; ++n) {
    EXPECT_EQ(read_file(generation(n)), "generation " + std::to_string(n - 1)) << n;
  }
  EXPECT_EQ(read_file(generation(1)), full);
  EXPECT_FALSE(file_exists(generation(10)));
  EXPECT_TRUE(std::regex_match(log_bytes(), std::regex(line_head(20, 10) + "fresh\\r\\n")));
}

TEST_F(SystemLog, TwoProcessesWritingAtOnceLoseAndTearNoLine) {
  log_switch_files switches(true, false);
  const std::wstring writer = path_from_environment("VELORA_BUILD_DIR") + L"\\tests\\log_writer.exe";
  constexpr int kLines = 1500;
  // Long lines, so that the writers also meet at rotations.
  const std::wstring arguments = L" " + std::to_wstring(kLines) + L" 600";
  // No trailing backslash: it would escape the closing quote.
  const std::wstring folder = folder_.path().substr(0, folder_.path().size() - 1);
  test_process a(writer, L"\"" + folder + L"\" A" + arguments);
  test_process b(writer, L"\"" + folder + L"\" B" + arguments);
  DWORD code_a = 99, code_b = 99;
  ASSERT_TRUE(a.wait(120000, &code_a));
  ASSERT_TRUE(b.wait(120000, &code_b));
  ASSERT_EQ(code_a, 0u);
  ASSERT_EQ(code_b, 0u);

  const std::regex line(
      "\\d{4}/\\d{2}/\\d{2} \\d{2}:\\d{2}:\\d{2}\\tPID:0x[0-9a-f]+\\([^)]*\\)\\tLogLv:20/10\\t"
      "Launcher\\twriter ([AB]) line (\\d+) x{600}");
  std::set<std::string> seen;
  std::string all = log_bytes();
  for (int n = 1; n <= 9; ++n) all = read_file(generation(n)) + all;
  ASSERT_EQ(all.substr(all.size() - 2), "\r\n");
  for (const std::string& text : lines_of(all)) {
    std::smatch match;
    ASSERT_TRUE(std::regex_match(text, match, line)) << "torn line: " << text.substr(0, 120);
    EXPECT_TRUE(seen.insert(match[1].str() + match[2].str()).second) << "twice: " << text;
  }
  EXPECT_EQ(seen.size(), 2u * kLines);
  EXPECT_TRUE(file_exists(generation(1))) << "the writers crossed a rotation";
}

}  // namespace
