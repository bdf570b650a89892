#pragma once
// The real launcher as a user meets it: a copy of the built vl6Launcher.exe in
// a distribution folder of its own (with its "vlr6setup" folder), started as
// a process and driven through its window: clicks on its buttons and check
// box, the please-wait window's texts read, and its message boxes read and
// answered.
//
// The texts are matched against the launcher's string table, which the test
// program links (velora_resources).
#include "tests/support/test_process.h"

#include <windows.h>

#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

// One message box the launcher showed.
struct launcher_box {
  UINT text_id = 0;      // its string; 0 when it is none of the launcher's
  std::wstring text;
  std::wstring insert;   // what stands in the string's "%s"
  std::wstring caption;
  HWND owner = nullptr;
  bool yes_no = false;   // Yes and No; otherwise OK only
  bool over_wait_window = false;  // the please-wait window was up with it
  int answer = 0;        // the button pressed, 0 while none
};

// The button to press in a box (IDYES, IDNO, IDOK), or 0 to leave it open
// for now; a box left open is asked about again. Called on the watcher's
// thread, with the driver's lock held: it must not call the driver.
using box_policy = std::function<int(const launcher_box&)>;

class launcher_driver {
public:
  // Copies the launcher into `folder` (with a trailing backslash) and makes
  // its "vlr6setup" folder there.
  explicit launcher_driver(const std::wstring& folder);
  launcher_driver(const launcher_driver&) = delete;
  launcher_driver& operator=(const launcher_driver&) = delete;
  // Ends a launcher that still runs.
  ~launcher_driver();

  // Starts the launcher (it inherits this process's environment) and waits
  // for its window. False when no window appeared.
  bool start(const std::wstring& arguments = L"");
  HWND window() const { return window_; }
  test_process& process() { return *process_; }

  // The answers to the next boxes, in order. Once they are used up a box
  // gets OK, or No when it asks; unless a policy is set, which decides alone.
  void answer(const std::vector<int>& answers);
  void set_policy(box_policy policy);

  // A click on control `id` of the launcher window (BM_CLICK, which presses
  // and releases it as the mouse does); false when the window did not handle
  // it within a second.
  bool click(int id);
  // The mouse moving onto control `id` and clicking it at its centre.
  bool mouse_click(int id);
  // A click that does not wait for the handler: the PDF reader button's
  // handler shows its box on the window's own thread.
  void post_click(int id);

  // The other ways a user closes a window: the Escape key, and the window's
  // own close command (its title bar button, Alt+F4). Both are posted.
  void press_escape();
  void close_window();

  bool enabled(int id) const;
  bool checked(int id) const;
  // Whether the window answers a message within `timeout_ms`; `took_ms` gets
  // the time it took.
  bool answers_within(DWORD timeout_ms, DWORD* took_ms = nullptr) const;

  // Clicks close, as a user would, until the launcher has ended (close is
  // refused while a workflow runs). False when it still runs after
  // `timeout_ms`; `exit_code` gets its code.
  bool close(DWORD timeout_ms, DWORD* exit_code);

  // What the watcher saw so far: each box once, in order of appearance, and
  // the string ids the please-wait window showed, each change once.
  std::vector<launcher_box> boxes() const;
  std::vector<UINT> wait_texts() const;
  bool wait_window_visible() const;
  // The boxes of `text_id` open right now.
  int open_boxes(UINT text_id) const;

private:
  void watch();
  void look_at_windows();
  void look_at_box(HWND box, bool waiting);
  int decide(const launcher_box& box);

  std::wstring folder_;
  std::wstring launcher_;
  std::unique_ptr<test_process> process_;
  HWND window_ = nullptr;

  mutable std::mutex lock_;
  std::vector<launcher_box> boxes_;
  std::vector<HWND> box_windows_;  // beside boxes_, while they are open
  std::set<HWND> answered_;
  std::deque<int> answers_;
  box_policy policy_;
  std::vector<UINT> wait_texts_;
  UINT last_wait_text_ = 0;

  std::atomic<bool> stop_{false};
  std::thread watcher_;
};

// The string of the launcher's string table `id`, from this program's copy.
std::wstring launcher_string(UINT id);
