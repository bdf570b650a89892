// The launcher as a whole process: single instance and its log lines.
#include "res/resource.h"
#include "tests/support/test_files.h"
#include "tests/support/test_process.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

namespace {

const wchar_t kDialogClass[] = LAUNCHER_WINDOW_CLASS_W;
constexpr DWORD kWindowTimeoutMs = 30000;
constexpr DWORD kExitTimeoutMs = 15000;

const char kStartLine[] =
    "========================== begin install launcher ==========================";

std::string pid_field(DWORD pid) {
  char text[32];
  std::snprintf(text, sizeof(text), "PID:0x%lx(", pid);
  return text;
}

std::vector<std::string> lines_of(const std::string& bytes) {
  std::vector<std::string> lines;
  size_t start = 0, end;
  while ((end = bytes.find("\r\n", start)) != std::string::npos) {
    lines.push_back(bytes.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

bool ends_with(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

class Startup : public ::testing::Test {
protected:
  void SetUp() override {
    const std::wstring built = path_from_environment("VELORA_LAUNCHER");
    ASSERT_FALSE(built.empty()) << "VELORA_LAUNCHER is not set";
    launcher_ = folder_.path() + L"vl6Launcher.exe";
    ASSERT_TRUE(copy_file(built, launcher_));
  }

  // Closes the launcher's window the way the close box does and waits for the end.
  static void close_launcher(test_process& launcher, HWND window) {
    ::PostMessageW(window, WM_CLOSE, 0, 0);
    DWORD code = 99;
    ASSERT_TRUE(launcher.wait(kExitTimeoutMs, &code));
    EXPECT_EQ(code, 0u);
  }

  temp_folder folder_{L"startup"};
  std::wstring launcher_;
};

TEST_F(Startup, SecondCopyEndsAtOnceWithoutAWindowAndLogsTheLockFailure) {
  log_switch_files switches(true, false);

  test_process first(launcher_, L"");
  HWND window = wait_for_window(first.id(), kDialogClass, kWindowTimeoutMs);
  ASSERT_NE(window, nullptr) << "the first copy shows its dialog";

  test_process second(launcher_, L"");
  bool second_showed_a_window = false;
  const DWORD start = ::GetTickCount();
  while (second.running() && ::GetTickCount() - start < kExitTimeoutMs) {
    if (HWND w = find_any_window(second.id()); w && ::IsWindowVisible(w)) {
      second_showed_a_window = true;
    }
    ::Sleep(5);
  }
  DWORD code = 99;
  ASSERT_TRUE(second.wait(0, &code)) << "the second copy ends by itself";
  EXPECT_EQ(code, 0u);
  EXPECT_FALSE(second_showed_a_window);
  EXPECT_TRUE(first.running());

  const auto lines = lines_of(read_file(folder_.path() + L"system.log"));
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_NE(lines[0].find(pid_field(first.id())), std::string::npos);
  EXPECT_TRUE(ends_with(lines[0], std::string("LogLv:20/20\tLauncher\t") + kStartLine));
  EXPECT_NE(lines[1].find(pid_field(second.id())), std::string::npos);
  EXPECT_TRUE(ends_with(lines[1], kStartLine));
  EXPECT_NE(lines[2].find(pid_field(second.id())), std::string::npos);
  EXPECT_TRUE(ends_with(lines[2], "LogLv:20/10\tLauncher\terror: instance lock failure 0xb7"));

  close_launcher(first, window);

  // The lock went with the first copy: a new start runs normally.
  test_process third(launcher_, L"");
  HWND third_window = wait_for_window(third.id(), kDialogClass, kWindowTimeoutMs);
  ASSERT_NE(third_window, nullptr);
  close_launcher(third, third_window);
  const auto after = lines_of(read_file(folder_.path() + L"system.log"));
  ASSERT_EQ(after.size(), 4u);
  EXPECT_TRUE(ends_with(after[3], kStartLine));
}

TEST_F(Startup, WritesNoLogWithoutTheSwitchFile) {
  log_switch_files switches(false, false);
  test_process launcher(launcher_, L"");
  HWND window = wait_for_window(launcher.id(), kDialogClass, kWindowTimeoutMs);
  ASSERT_NE(window, nullptr);
  close_launcher(launcher, window);
  EXPECT_FALSE(file_exists(folder_.path() + L"system.log"));
}

}  // namespace
