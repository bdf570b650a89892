#include "tests/support/launcher_driver.h"

#include "res/resource.h"
#include "tests/support/test_files.h"

#include <stdexcept>

namespace {

const wchar_t kLauncherClass[] = LAUNCHER_WINDOW_CLASS_W;
const wchar_t kLauncherName[] = L"vl6Launcher.exe";
const wchar_t kSetupFolder[] = L"vlr6setup";
constexpr DWORD kWindowTimeoutMs = 30000;
constexpr DWORD kClickTimeoutMs = 1000;
constexpr DWORD kWatchIntervalMs = 10;
constexpr DWORD kCloseIntervalMs = 100;
// The launcher's strings: messages 103 to 115.
constexpr UINT kFirstString = IDS_SOCKETS_INIT_FAILED;
constexpr UINT kLastString = IDS_INSTALLER_INFO_FAILED;
const wchar_t kInsertMark[] = L"%s";

// The string id whose text `text` is, with what stands for its "%s".
UINT string_of(const std::wstring& text, std::wstring* insert) {
  for (UINT id = kFirstString; id <= kLastString; ++id) {
    const std::wstring format = launcher_string(id);
    if (format.empty()) continue;
    const size_t mark = format.find(kInsertMark);
    if (mark == std::wstring::npos) {
      if (text == format) return id;
      continue;
    }
    const std::wstring before = format.substr(0, mark);
    const std::wstring after = format.substr(mark + 2);
    if (text.size() >= before.size() + after.size() && text.compare(0, before.size(), before) == 0 &&
        text.compare(text.size() - after.size(), after.size(), after) == 0) {
      if (insert) *insert = text.substr(before.size(), text.size() - before.size() - after.size());
      return id;
    }
  }
  return 0;
}

struct dialog_search {
  DWORD pid;
  std::vector<HWND> found;
};

BOOL CALLBACK match_dialog(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<dialog_search*>(parameter);
  DWORD owner = 0;
  ::GetWindowThreadProcessId(window, &owner);
  if (owner != search->pid || !::IsWindowVisible(window)) return TRUE;
  wchar_t name[64] = {};
  ::GetClassNameW(window, name, 63);
  if (std::wstring(name) == kDialogBoxClass) search->found.push_back(window);
  return TRUE;
}

// The visible dialog windows of process `pid`: message boxes and the
// please-wait window.
std::vector<HWND> top_level_dialogs(DWORD pid) {
  dialog_search search{pid, {}};
  ::EnumWindows(&match_dialog, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// A message box's text: its labels' texts (the icon's is empty).
std::wstring box_text(HWND box) {
  std::wstring text;
  for (HWND label : child_windows(box, L"Static")) text += window_text(label);
  return text;
}

bool send_within(HWND window, UINT message, WPARAM wparam, LPARAM lparam, DWORD timeout_ms) {
  DWORD_PTR result = 0;
  return window && ::SendMessageTimeoutW(window, message, wparam, lparam, SMTO_ABORTIFHUNG,
                                         timeout_ms, &result) != 0;
}

}  // namespace

std::wstring launcher_string(UINT id) {
  const wchar_t* resource = nullptr;
  const int length = ::LoadStringW(::GetModuleHandleW(nullptr), id,
                                   reinterpret_cast<LPWSTR>(&resource), 0);
  return length > 0 ? std::wstring(resource, static_cast<size_t>(length)) : std::wstring();
}

launcher_driver::launcher_driver(const std::wstring& folder)
    : folder_(folder), launcher_(folder + kLauncherName) {
  if (!copy_file(path_from_environment("VELORA_LAUNCHER"), launcher_)) {
    throw std::runtime_error("cannot copy the launcher");
  }
  ::CreateDirectoryW((folder_ + kSetupFolder).c_str(), nullptr);
}

launcher_driver::~launcher_driver() {
  stop_ = true;
  if (watcher_.joinable()) watcher_.join();
  if (process_) process_->kill();
}

bool launcher_driver::start(const std::wstring& arguments) {
  process_ = std::make_unique<test_process>(launcher_, arguments, folder_);
  window_ = wait_for_window(process_->id(), kLauncherClass, kWindowTimeoutMs);
  if (!window_) return false;
  watcher_ = std::thread([this] { watch(); });
  return true;
}

void launcher_driver::answer(const std::vector<int>& answers) {
  std::lock_guard<std::mutex> hold(lock_);
  answers_.insert(answers_.end(), answers.begin(), answers.end());
}

void launcher_driver::set_policy(box_policy policy) {
  std::lock_guard<std::mutex> hold(lock_);
  policy_ = std::move(policy);
}

bool launcher_driver::click(int id) {
  return send_within(::GetDlgItem(window_, id), BM_CLICK, 0, 0, kClickTimeoutMs);
}

bool launcher_driver::mouse_click(int id) {
  const HWND control = ::GetDlgItem(window_, id);
  RECT area{};
  if (!control || !::GetClientRect(control, &area)) return false;
  const LPARAM centre = MAKELPARAM((area.right - area.left) / 2, (area.bottom - area.top) / 2);
  return send_within(control, WM_MOUSEMOVE, 0, centre, kClickTimeoutMs) &&
         send_within(control, WM_LBUTTONDOWN, MK_LBUTTON, centre, kClickTimeoutMs) &&
         send_within(control, WM_LBUTTONUP, 0, centre, kClickTimeoutMs);
}

void launcher_driver::post_click(int id) { ::PostMessageW(::GetDlgItem(window_, id), BM_CLICK, 0, 0); }

void launcher_driver::press_escape() {
  ::PostMessageW(window_, WM_KEYDOWN, VK_ESCAPE, 0);
  ::PostMessageW(window_, WM_KEYUP, VK_ESCAPE, 0);
}

void launcher_driver::close_window() { ::PostMessageW(window_, WM_SYSCOMMAND, SC_CLOSE, 0); }

bool launcher_driver::enabled(int id) const { return ::IsWindowEnabled(::GetDlgItem(window_, id)) != FALSE; }

bool launcher_driver::checked(int id) const {
  DWORD_PTR state = 0;
  ::SendMessageTimeoutW(::GetDlgItem(window_, id), BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG,
                        kClickTimeoutMs, &state);
  return state == BST_CHECKED;
}

bool launcher_driver::answers_within(DWORD timeout_ms, DWORD* took_ms) const {
  const ULONGLONG start = ::GetTickCount64();
  const bool answered = send_within(window_, WM_NULL, 0, 0, timeout_ms);
  if (took_ms) *took_ms = static_cast<DWORD>(::GetTickCount64() - start);
  return answered;
}

bool launcher_driver::close(DWORD timeout_ms, DWORD* exit_code) {
  const ULONGLONG deadline = ::GetTickCount64() + timeout_ms;
  do {
    click(IDCANCEL);
    if (process_->wait(kCloseIntervalMs, exit_code)) return true;
  } while (::GetTickCount64() < deadline);
  return false;
}

std::vector<launcher_box> launcher_driver::boxes() const {
  std::lock_guard<std::mutex> hold(lock_);
  return boxes_;
}

std::vector<UINT> launcher_driver::wait_texts() const {
  std::lock_guard<std::mutex> hold(lock_);
  return wait_texts_;
}

bool launcher_driver::wait_window_visible() const {
  for (HWND dialog : top_level_dialogs(process_->id())) {
    if (::GetDlgItem(dialog, IDC_WAIT_TEXT)) return true;
  }
  return false;
}

int launcher_driver::open_boxes(UINT text_id) const {
  std::lock_guard<std::mutex> hold(lock_);
  int open = 0;
  for (size_t i = 0; i < boxes_.size(); ++i) {
    if (boxes_[i].text_id == text_id && boxes_[i].answer == 0 && ::IsWindow(box_windows_[i])) ++open;
  }
  return open;
}

void launcher_driver::watch() {
  while (!stop_ && process_->running()) {
    look_at_windows();
    ::Sleep(kWatchIntervalMs);
  }
}

void launcher_driver::look_at_windows() {
  bool waiting = false;
  std::vector<HWND> boxes;
  for (HWND dialog : top_level_dialogs(process_->id())) {
    HWND label = ::GetDlgItem(dialog, IDC_WAIT_TEXT);
    if (!label) {
      boxes.push_back(dialog);
      continue;
    }
    waiting = true;
    const UINT id = string_of(window_text(label), nullptr);
    std::lock_guard<std::mutex> hold(lock_);
    if (id != last_wait_text_) {
      wait_texts_.push_back(id);
      last_wait_text_ = id;
    }
  }
  if (!waiting) {
    std::lock_guard<std::mutex> hold(lock_);
    last_wait_text_ = 0;
  }
  for (HWND box : boxes) look_at_box(box, waiting);
}

void launcher_driver::look_at_box(HWND box, bool waiting) {
  std::unique_lock<std::mutex> hold(lock_);
  if (answered_.count(box)) return;
  size_t index = 0;
  while (index < box_windows_.size() && box_windows_[index] != box) ++index;
  if (index == box_windows_.size()) {
    hold.unlock();
    launcher_box seen;
    seen.text = box_text(box);
    seen.text_id = string_of(seen.text, &seen.insert);
    seen.caption = window_text(box);
    seen.owner = ::GetWindow(box, GW_OWNER);
    seen.yes_no = ::GetDlgItem(box, IDYES) != nullptr;
    seen.over_wait_window = waiting;
    hold.lock();
    boxes_.push_back(seen);
    box_windows_.push_back(box);
  }
  const int answer = decide(boxes_[index]);
  if (answer == 0) return;
  HWND button = ::GetDlgItem(box, answer);
  if (!button) button = ::GetDlgItem(box, IDOK);
  boxes_[index].answer = answer;
  answered_.insert(box);
  hold.unlock();
  ::PostMessageW(button, BM_CLICK, 0, 0);
}

int launcher_driver::decide(const launcher_box& box) {
  if (policy_) return policy_(box);
  if (!answers_.empty()) {
    const int answer = answers_.front();
    answers_.pop_front();
    return answer;
  }
  return box.yes_no ? IDNO : IDOK;
}
