// System DLLs planted beside a copy of the launcher, with Wine told to prefer
// a DLL found beside the program ("native,builtin"), as Windows itself does
// for any DLL that is not a known DLL.
#include "res/resource.h"
#include "tests/fixtures_dll/load_marker.h"
#include "tests/support/test_files.h"
#include "tests/support/test_process.h"
#include "velora_endpoints.h"

#include "framework/afx_handle.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <initializer_list>
#include <iterator>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace {

const wchar_t kLauncherName[] = L"vl6Launcher.exe";
const wchar_t kPlainLoaderName[] = L"plain_dll_loader.exe";
const wchar_t kSignatureProbeName[] = L"signature_probe.exe";
const wchar_t kShellProbeName[] = L"shell_probe.exe";
const wchar_t kDialogClass[] = LAUNCHER_WINDOW_CLASS_W;
const wchar_t kButtonClass[] = L"Button";
constexpr int kMessageBoxTextId = 0xFFFF;
constexpr DWORD kWindowTimeoutMs = 30000;
constexpr DWORD kExitTimeoutMs = 15000;
constexpr DWORD kNotEnded = 99;

const wchar_t kRefusalCaption[] = L"vl6Launcher.exe - Application Error";
const wchar_t kRefusalText[] =
    L"The application was unable to start correctly (0xc000007b). Click OK to close the "
    L"application.";
const char kStartLine[] =
    "========================== begin install launcher ==========================";

const wchar_t kAppDefaultsKey[] = L"Software\\Wine\\AppDefaults\\";
const wchar_t kDllOverridesKey[] = L"\\DllOverrides";
const wchar_t kNativeFirst[] = L"native,builtin";

// Wine's load order "native first" for `dlls` in one program, for the programs
// started while the object lives: HKCU "Software\Wine\AppDefaults\<program>
// \DllOverrides". Not WINEDLLOVERRIDES: Wine hands a child process the WINE*
// variables of the Unix environment that Wine itself was started with, so the
// variable put into the Windows environment (SetEnvironmentVariableW, or an
// environment block for CreateProcessW) never reaches the child.
class scoped_native_first {
public:
  scoped_native_first(const wchar_t* program, std::initializer_list<const wchar_t*> dlls)
      : program_key_(std::wstring(kAppDefaultsKey) + program),
        dlls_(dlls.begin(), dlls.end()) {
    created_program_key_ = !open(program_key_).IsValid();
    HKEY overrides = nullptr;
    DWORD disposition = 0;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, (program_key_ + kDllOverridesKey).c_str(), 0, nullptr,
                          0, KEY_SET_VALUE, nullptr, &overrides, &disposition) != ERROR_SUCCESS) {
      return;
    }
    afx_registry_key key(overrides);
    created_overrides_key_ = disposition == REG_CREATED_NEW_KEY;
    applied_ = true;
    for (const std::wstring& dll : dlls_) {
      applied_ = applied_ && ::RegSetValueExW(key.Get(), dll.c_str(), 0, REG_SZ,
                                              reinterpret_cast<const BYTE*>(kNativeFirst),
                                              sizeof(kNativeFirst)) == ERROR_SUCCESS;
    }
  }
  scoped_native_first(const scoped_native_first&) = delete;
  scoped_native_first& operator=(const scoped_native_first&) = delete;
  ~scoped_native_first() {
    const std::wstring overrides_key = program_key_ + kDllOverridesKey;
    if (afx_registry_key key = open(overrides_key, KEY_SET_VALUE); key.IsValid()) {
      for (const std::wstring& dll : dlls_) ::RegDeleteValueW(key.Get(), dll.c_str());
    }
    // Only keys this object made, and only when nothing else was put there since.
    if (created_overrides_key_ && is_empty(overrides_key)) {
      ::RegDeleteKeyW(HKEY_CURRENT_USER, overrides_key.c_str());
    }
    if (created_program_key_ && is_empty(program_key_)) {
      ::RegDeleteKeyW(HKEY_CURRENT_USER, program_key_.c_str());
    }
  }

  bool applied() const { return applied_; }

private:
  static afx_registry_key open(const std::wstring& path, REGSAM access = KEY_READ) {
    HKEY key = nullptr;
    ::RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, access, &key);
    return afx_registry_key(key);
  }
  static bool is_empty(const std::wstring& path) {
    afx_registry_key key = open(path);
    DWORD subkeys = 0, values = 0;
    return key.IsValid() &&
           ::RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                              &values, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
           subkeys == 0 && values == 0;
  }

  std::wstring program_key_;
  std::vector<std::wstring> dlls_;
  bool created_program_key_ = false;
  bool created_overrides_key_ = false;
  bool applied_ = false;
};

// A started program that is ended when the test leaves early, so that no
// window or message box outlives a failed assertion.
class owned_process : public test_process {
public:
  using test_process::test_process;
  owned_process(const owned_process&) = delete;
  owned_process& operator=(const owned_process&) = delete;
  ~owned_process() { kill(); }
};

std::set<int> visible_buttons(HWND dialog) {
  std::set<int> ids;
  for (HWND button : child_windows(dialog, kButtonClass)) {
    if (::IsWindowVisible(button)) ids.insert(::GetDlgCtrlID(button));
  }
  return ids;
}

class DllPlanting : public ::testing::Test {
protected:
  void SetUp() override {
    const std::wstring built = path_from_environment("VELORA_LAUNCHER");
    ASSERT_FALSE(built.empty()) << "VELORA_LAUNCHER is not set";
    launcher_ = folder_.path() + kLauncherName;
    ASSERT_TRUE(copy_file(built, launcher_));
  }

  // Copies the fixture named by environment variable `variable` into the
  // launcher's folder as `name`; returns the copy's path.
  std::wstring plant(const char* variable, const wchar_t* name) {
    const std::wstring fixture = path_from_environment(variable);
    EXPECT_FALSE(fixture.empty()) << variable << " is not set";
    const std::wstring path = folder_.path() + name;
    EXPECT_TRUE(copy_file(fixture, path)) << variable;
    return path;
  }

  // Whether the planted copy's own code ran in some process.
  static bool was_loaded(const std::wstring& dll) { return file_exists(dll + kLoadMarkerSuffix); }

  // Copies of the load marker planted as system DLLs (names without ".dll"),
  // with Wine's load order "native first" for them in `program` and in the
  // plain loader while the object lives.
  class planted_markers {
  public:
    planted_markers(DllPlanting& test, const wchar_t* program,
                    std::initializer_list<const wchar_t*> dlls)
        : program_order_(program, dlls), plain_order_(kPlainLoaderName, dlls) {
      for (const wchar_t* dll : dlls) {
        const std::wstring file = std::wstring(dll) + L".dll";
        paths_.push_back(test.plant("VELORA_LOAD_MARKER_DLL", file.c_str()));
        file_names_ += (file_names_.empty() ? L"" : L" ") + file;
      }
    }

    bool applied() const { return program_order_.applied() && plain_order_.applied(); }
    const std::vector<std::wstring>& paths() const { return paths_; }
    // "wininet.dll comctl32.dll": the plain loader's command line for them.
    const std::wstring& file_names() const { return file_names_; }

  private:
    scoped_native_first program_order_;
    scoped_native_first plain_order_;
    std::vector<std::wstring> paths_;
    std::wstring file_names_;
  };

  static void expect_none_loaded(const planted_markers& planted) {
    for (const std::wstring& dll : planted.paths()) EXPECT_FALSE(was_loaded(dll)) << dll;
  }

  // The same files under the same load order do load into a program that asks
  // for them by plain name without restricting its search path: what kept
  // them out of the program under test is that program's own doing, not the
  // bench's.
  void expect_plain_loader_loads(const planted_markers& planted) {
    const std::wstring loader = folder_.path() + kPlainLoaderName;
    ASSERT_TRUE(copy_file(path_from_environment("VELORA_PLAIN_DLL_LOADER"), loader));
    EXPECT_EQ(exit_code_of(loader, planted.file_names()), 0u) << "DLLs it could not load";
    for (const std::wstring& dll : planted.paths()) EXPECT_TRUE(was_loaded(dll)) << dll;
  }

  // Runs `program` with `arguments` until it ends; its exit code, or
  // kNotEnded when it did not end in time.
  static DWORD exit_code_of(const std::wstring& program, const std::wstring& arguments) {
    owned_process process(program, arguments);
    DWORD code = kNotEnded;
    EXPECT_TRUE(process.wait(kExitTimeoutMs, &code)) << program;
    return code;
  }

  temp_folder folder_{L"dll-planting"};
  std::wstring launcher_;
};

// The shell and the shlwapi it imports are known DLLs on Windows, but not to
// Wine's loader, and a launcher that imported them would load them from its
// own folder there (and fail to start on these copies, which export nothing).
TEST_F(DllPlanting, WininetComctl32AndTheShellBesideTheLauncherAreNotLoaded) {
  log_switch_files switches(true, false);
  const planted_markers planted(*this, kLauncherName,
                                {L"wininet", L"comctl32", L"shell32", L"shlwapi"});
  ASSERT_TRUE(planted.applied());

  {
    owned_process launcher(launcher_, L"");
    HWND window = wait_for_window(launcher.id(), kDialogClass, kWindowTimeoutMs);
    ASSERT_NE(window, nullptr) << "the launcher starts normally and shows its dialog";
    ::PostMessageW(window, WM_CLOSE, 0, 0);
    DWORD code = kNotEnded;
    ASSERT_TRUE(launcher.wait(kExitTimeoutMs, &code));
    EXPECT_EQ(code, 0u);
  }
  expect_none_loaded(planted);
  EXPECT_NE(read_file(folder_.path() + L"system.log").find(kStartLine), std::string::npos);
  expect_plain_loader_loads(planted);
}

// The shell calls of the workflows load shell32 when they first run, from the
// system folder only, and shell32 brings its own shlwapi from there: copies
// beside the program never run, and the program is opened and started all the
// same.
TEST_F(DllPlanting, TheShellBesideItsFirstUseIsNotLoaded) {
  const planted_markers planted(*this, kShellProbeName, {L"shell32", L"shlwapi"});
  ASSERT_TRUE(planted.applied());

  // The program started is the plain loader with nothing to load: it ends
  // with 0 at once.
  const std::wstring probe = plant("VELORA_SHELL_PROBE", kShellProbeName);
  const std::wstring started = plant("VELORA_PLAIN_DLL_LOADER", kPlainLoaderName);
  EXPECT_EQ(exit_code_of(probe, L"\"" + started + L"\""), 0u);
  expect_none_loaded(planted);
  expect_plain_loader_loads(planted);
}

// The publisher check loads wintrust and crypt32 when it first runs, from the
// system folder only: copies beside the program never run, and the check
// still tells the vendor's installer from an unsigned one.
TEST_F(DllPlanting, WintrustAndCrypt32BesideTheCheckAreNotLoaded) {
  const planted_markers planted(*this, kSignatureProbeName, {L"wintrust", L"crypt32"});
  ASSERT_TRUE(planted.applied());

  const std::wstring probe = plant("VELORA_SIGNATURE_PROBE", kSignatureProbeName);
  const std::wstring standins = path_from_environment("VELORA_BUILD_DIR") + L"\\tools\\setup_standin\\";
  const std::wstring publisher = L"\"" + std::wstring(VELORA_PUBLISHER) + L"\"";
  for (const auto& [file, expected] : {std::pair<std::wstring, DWORD>{standins + L"setup64.exe", 0},
                                       {standins + L"unsigned\\setup64.exe", 1}}) {
    EXPECT_EQ(exit_code_of(probe, L"\"" + file + L"\" " + publisher), expected) << file;
  }
  expect_none_loaded(planted);
  expect_plain_loader_loads(planted);
}

struct load_order_case {
  const char* name;
  bool native_first;
  bool planted_code_runs;
};

// Wine's user32 imports version.dll, and Wine looks for a process's imports in
// the program's folder first. With native first the planted copy itself is
// loaded. With Wine's default order (builtin first) Wine loads its own
// version.dll but names the module after the file it found beside the
// program, so the launcher sees a module from its folder all the same and
// refuses: under Wine any DLL named version.dll beside the launcher stops it.
const load_order_case kLoadOrders[] = {
    {"NativeFirst", true, true},
    {"WineDefaultOrder", false, false},
};

class VersionDllPlanting : public DllPlanting,
                           public ::testing::WithParamInterface<load_order_case> {};

TEST_P(VersionDllPlanting, MakesTheLauncherRefuseToStartWithoutALog) {
  const load_order_case& c = GetParam();
  log_switch_files switches(true, false);
  const std::wstring version = plant("VELORA_VERSION_FORWARDER_DLL", L"version.dll");
  std::optional<scoped_native_first> order;
  if (c.native_first) {
    order.emplace(kLauncherName, std::initializer_list<const wchar_t*>{L"version"});
    ASSERT_TRUE(order->applied());
  }

  owned_process launcher(launcher_, L"");
  HWND box = wait_for_window(launcher.id(), kDialogBoxClass, kWindowTimeoutMs);
  ASSERT_NE(box, nullptr) << "the launcher shows the loader-style error box";
  // Loaded with the process itself, before any of the launcher's code ran.
  EXPECT_EQ(was_loaded(version), c.planted_code_runs);
  EXPECT_EQ(window_text(box), kRefusalCaption);
  EXPECT_EQ(window_text(::GetDlgItem(box, kMessageBoxTextId)), kRefusalText);
  EXPECT_EQ(visible_buttons(box), std::set<int>{IDOK});
  EXPECT_EQ(wait_for_window(launcher.id(), kDialogClass, 0), nullptr);

  ::PostMessageW(box, WM_COMMAND, IDOK, 0);
  ASSERT_TRUE(launcher.wait(kExitTimeoutMs));
  // Refused before the log starts, even with logging switched on.
  EXPECT_FALSE(file_exists(folder_.path() + L"system.log"));
}

INSTANTIATE_TEST_SUITE_P(LoadOrders, VersionDllPlanting, ::testing::ValuesIn(kLoadOrders),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
