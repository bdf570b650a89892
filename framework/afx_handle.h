#pragma once
// Move-only owners for the Windows handle families the launcher uses. Closing
// never disturbs GetLastError, so an owner going out of scope on an error path
// keeps the error the caller is about to report.
#include <windows.h>

#include <utility>

template <typename Traits>
class afx_scoped_handle {
public:
  using handle_type = typename Traits::handle_type;

  afx_scoped_handle() noexcept : handle_(Traits::null()) {}
  explicit afx_scoped_handle(handle_type h) noexcept : handle_(h) {}
  afx_scoped_handle(afx_scoped_handle&& other) noexcept : handle_(other.Take()) {}
  afx_scoped_handle& operator=(afx_scoped_handle&& other) noexcept {
    if (this != &other) Reset(other.Take());
    return *this;
  }
  afx_scoped_handle(const afx_scoped_handle&) = delete;
  afx_scoped_handle& operator=(const afx_scoped_handle&) = delete;
  ~afx_scoped_handle() { Close(); }

  bool IsValid() const noexcept { return Traits::is_valid(handle_); }
  handle_type Get() const noexcept { return handle_; }

  // Gives up ownership without closing.
  handle_type Take() noexcept { return std::exchange(handle_, Traits::null()); }

  void Reset(handle_type h) noexcept {
    if (h == handle_) return;
    Close();
    handle_ = h;
  }

  void Close() noexcept {
    if (!IsValid()) return;
    const DWORD saved = ::GetLastError();
    Traits::close(handle_);
    ::SetLastError(saved);
    handle_ = Traits::null();
  }

private:
  handle_type handle_;
};

// Kernel objects that use NULL for "none": mutexes, threads, processes, events.
struct afx_kernel_handle_traits {
  using handle_type = HANDLE;
  static HANDLE null() noexcept { return nullptr; }
  static bool is_valid(HANDLE h) noexcept { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void close(HANDLE h) noexcept { ::CloseHandle(h); }
};
using afx_kernel_handle = afx_scoped_handle<afx_kernel_handle_traits>;

// Files, whose "none" is INVALID_HANDLE_VALUE.
struct afx_file_handle_traits {
  using handle_type = HANDLE;
  static HANDLE null() noexcept { return INVALID_HANDLE_VALUE; }
  static bool is_valid(HANDLE h) noexcept { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void close(HANDLE h) noexcept { ::CloseHandle(h); }
};
using afx_file_handle = afx_scoped_handle<afx_file_handle_traits>;

struct afx_find_handle_traits {
  using handle_type = HANDLE;
  static HANDLE null() noexcept { return INVALID_HANDLE_VALUE; }
  static bool is_valid(HANDLE h) noexcept { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void close(HANDLE h) noexcept { ::FindClose(h); }
};
using afx_find_handle = afx_scoped_handle<afx_find_handle_traits>;

struct afx_module_handle_traits {
  using handle_type = HMODULE;
  static HMODULE null() noexcept { return nullptr; }
  static bool is_valid(HMODULE h) noexcept { return h != nullptr; }
  static void close(HMODULE h) noexcept { ::FreeLibrary(h); }
};
using afx_module_handle = afx_scoped_handle<afx_module_handle_traits>;

// Memory the system allocated for the caller with LocalAlloc (security
// descriptors, SID texts).
struct afx_local_memory_traits {
  using handle_type = HLOCAL;
  static HLOCAL null() noexcept { return nullptr; }
  static bool is_valid(HLOCAL h) noexcept { return h != nullptr; }
  static void close(HLOCAL h) noexcept { ::LocalFree(h); }
};
using afx_local_memory = afx_scoped_handle<afx_local_memory_traits>;

// An open registry key.
struct afx_registry_key_traits {
  using handle_type = HKEY;
  static HKEY null() noexcept { return nullptr; }
  static bool is_valid(HKEY key) noexcept { return key != nullptr; }
  static void close(HKEY key) noexcept { ::RegCloseKey(key); }
};
using afx_registry_key = afx_scoped_handle<afx_registry_key_traits>;
