#pragma once
// What the install and manual workflows ask of the launcher window. The dialog
// implements it for the real window; the workflows' decisions are tested
// against an implementation that records the calls and answers the questions.
// Every operation may be called from a worker thread.
#include <windows.h>

#include <string>

class workflow_window {
public:
  virtual ~workflow_window() = default;

  // The window that owns the network dialogs (proxy credentials).
  virtual HWND owner() const = 0;

  // Install and the destination-folder check box, each changed only when it
  // is not in the wanted state already.
  virtual void enable_install(bool enable) = 0;
  // Whether the user ticked "choose the destination folder".
  virtual bool choose_folder_checked() const = 0;
  // The guide button, changed only when it is not in the wanted state.
  virtual void enable_guide(bool enable) = 0;

  // The please-wait window with string `text_id`, shown; or hidden. Nothing
  // happens when there is no such window.
  virtual void show_wait_text(UINT text_id) = 0;
  virtual void hide_wait_text() = 0;
  virtual void begin_wait_cursor() = 0;
  virtual void end_wait_cursor() = 0;

  // Message box with string `text_id` (its "%s" filled with `insert` when
  // given) and `style`; returns the button pressed (IDOK, IDYES, IDNO).
  virtual int message_box(UINT text_id, UINT style, const std::wstring& insert = std::wstring()) = 0;

  // Opens a document or web page with the shell (ShellOpen); false when the
  // shell could not.
  virtual bool open_page(HWND owner, const std::wstring& target, int show) = 0;
};
