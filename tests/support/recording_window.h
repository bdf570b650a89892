#pragma once
// A launcher window for the workflows without the window: it records what the
// workflow asked of it, in order, and answers message boxes from a script (or
// shows them for real, for tests that watch the boxes themselves).
#include "framework/afx_app.h"
#include "launcher/workflow_window.h"

#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

class recording_window : public workflow_window {
public:
  // Every call as one line: "install off", "wait 113", "box 104", "open <target> <show>", ...
  std::vector<std::wstring> calls() const {
    std::lock_guard<std::mutex> hold(lock_);
    return calls_;
  }
  // The message boxes' styles (buttons and icon), in order.
  std::vector<UINT> styles() const {
    std::lock_guard<std::mutex> hold(lock_);
    return styles_;
  }

  // Only the message boxes' string ids, in order.
  std::vector<UINT> boxes() const {
    std::lock_guard<std::mutex> hold(lock_);
    return boxes_;
  }
  // The targets opened, in order.
  std::vector<std::wstring> opened() const {
    std::lock_guard<std::mutex> hold(lock_);
    return opened_;
  }
  // The show command each target was opened with, in order.
  std::vector<int> shows() const {
    std::lock_guard<std::mutex> hold(lock_);
    return shows_;
  }
  // Answers for the next message boxes, in order; IDOK once they run out.
  void answer(std::initializer_list<int> answers) {
    std::lock_guard<std::mutex> hold(lock_);
    answers_.insert(answers_.end(), answers);
  }

  bool checked = false;         // the destination check box
  bool show_real_boxes = false;  // AfxMessageBox instead of the script
  bool open_succeeds = true;     // what open_page answers
  std::wstring last_insert;      // the text given to the last box's "%s"
  // Called with each call's line after it was recorded, on the workflow's thread.
  std::function<void(const std::wstring&)> on_call;
  // Called whenever the workflow asks for the owner of a network request's
  // dialogs, that is, right before each request; not recorded as a call.
  std::function<void()> on_owner;

  HWND owner() const override {
    if (on_owner) on_owner();
    return nullptr;
  }
  void enable_install(bool enable) override { record(enable ? L"install on" : L"install off"); }
  bool choose_folder_checked() const override { return checked; }
  void enable_guide(bool enable) override { record(enable ? L"guide on" : L"guide off"); }
  void show_wait_text(UINT text_id) override { record(L"wait " + std::to_wstring(text_id)); }
  void hide_wait_text() override { record(L"wait hidden"); }
  void begin_wait_cursor() override { record(L"cursor wait"); }
  void end_wait_cursor() override { record(L"cursor arrow"); }

  int message_box(UINT text_id, UINT style, const std::wstring& insert) override {
    int answer = IDOK;
    {
      std::lock_guard<std::mutex> hold(lock_);
      boxes_.push_back(text_id);
      styles_.push_back(style);
      last_insert = insert;
      if (!show_real_boxes && !answers_.empty()) {
        answer = answers_.front();
        answers_.pop_front();
      }
    }
    record(L"box " + std::to_wstring(text_id));
    if (show_real_boxes) return AfxMessageBox(text_id, style);
    return answer;
  }

  bool open_page(HWND, const std::wstring& target, int show) override {
    {
      std::lock_guard<std::mutex> hold(lock_);
      opened_.push_back(target);
      shows_.push_back(show);
    }
    record(L"open " + target + L" " + std::to_wstring(show));
    return open_succeeds;
  }

private:
  void record(const std::wstring& call) {
    {
      std::lock_guard<std::mutex> hold(lock_);
      calls_.push_back(call);
    }
    if (on_call) on_call(call);
  }

  mutable std::mutex lock_;
  std::vector<std::wstring> calls_;
  std::vector<UINT> boxes_;
  std::vector<UINT> styles_;
  std::vector<std::wstring> opened_;
  std::vector<int> shows_;
  std::deque<int> answers_;
};
