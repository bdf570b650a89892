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

struct registry_key_traits {
  using handle_type = HKEY;
  static HKEY null() noexcept { return nullptr; }
  static bool is_valid(HKEY key) noexcept { return key != nullptr; }
  static void close(HKEY key) noexcept { ::RegCloseKey(key); }
};
using registry_key = afx_scoped_handle<registry_key_traits>;

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
    registry_key key(overrides);
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
    if (registry_key key = open(overrides_key, KEY_SET_VALUE); key.IsValid()) {
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
  static registry_key open(const std::wstring& path, REGSAM access = KEY_READ) {
    HKEY key = nullptr;
    ::RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, access, &key);
    return registry_key(key);
  }
  static bool is_empty(const std::wstring& path) {
    registry_key key = open(path);
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

  // The planted `dlls` do run in a program that loads `names` by plain name
  // without restricting its search path, under the same load order.
  void expect_plain_loader_loads(std::initializer_list<std::wstring> dlls, const wchar_t* names) {
    const std::wstring loader = folder_.path() + kPlainLoaderName;
    ASSERT_TRUE(copy_file(path_from_environment("VELORA_PLAIN_DLL_LOADER"), loader));
    owned_process plain(loader, names);
    DWORD failures = kNotEnded;
    ASSERT_TRUE(plain.wait(kExitTimeoutMs, &failures));
    EXPECT_EQ(failures, 0u);
    for (const std::wstring& dll : dlls) EXPECT_TRUE(was_loaded(dll)) << dll;
  }

  temp_folder folder_{L"dll-planting"};
  std::wstring launcher_;
};

// The shell and the shlwapi it imports are known DLLs on Windows, but not to
// Wine's loader, and a launcher that imported them would load them from its
// own folder there (and fail to start on these copies, which export nothing).
TEST_F(DllPlanting, WininetComctl32AndTheShellBesideTheLauncherAreNotLoaded) {
  log_switch_files switches(true, false);
  const std::wstring wininet = plant("VELORA_LOAD_MARKER_DLL", L"wininet.dll");
  const std::wstring comctl32 = plant("VELORA_LOAD_MARKER_DLL", L"comctl32.dll");
  const std::wstring shell32 = plant("VELORA_LOAD_MARKER_DLL", L"shell32.dll");
  const std::wstring shlwapi = plant("VELORA_LOAD_MARKER_DLL", L"shlwapi.dll");
  const std::initializer_list<const wchar_t*> planted = {L"wininet", L"comctl32", L"shell32",
                                                         L"shlwapi"};
  scoped_native_first launcher_order(kLauncherName, planted);
  scoped_native_first plain_order(kPlainLoaderName, planted);
  ASSERT_TRUE(launcher_order.applied() && plain_order.applied());

  {
    owned_process launcher(launcher_, L"");
    HWND window = wait_for_window(launcher.id(), kDialogClass, kWindowTimeoutMs);
    ASSERT_NE(window, nullptr) << "the launcher starts normally and shows its dialog";
    ::PostMessageW(window, WM_CLOSE, 0, 0);
    DWORD code = kNotEnded;
    ASSERT_TRUE(launcher.wait(kExitTimeoutMs, &code));
    EXPECT_EQ(code, 0u);
  }
  for (const std::wstring& dll : {wininet, comctl32, shell32, shlwapi}) {
    EXPECT_FALSE(was_loaded(dll)) << dll;
  }
  EXPECT_NE(read_file(folder_.path() + L"system.log").find(kStartLine), std::string::npos);

  // The same files under the same load order do load into a program that asks
  // for them by plain name without restricting its search path: what kept
  // them out of the launcher is the launcher's own doing, not the bench's.
  expect_plain_loader_loads({wininet, comctl32, shell32, shlwapi},
                            L"wininet.dll comctl32.dll shell32.dll shlwapi.dll");
}

// The shell calls of the workflows load shell32 when they first run, from the
// system folder only, and shell32 brings its own shlwapi from there: copies
// beside the program never run, and the program is opened and started all the
// same.
TEST_F(DllPlanting, TheShellBesideItsFirstUseIsNotLoaded) {
  const std::wstring shell32 = plant("VELORA_LOAD_MARKER_DLL", L"shell32.dll");
  const std::wstring shlwapi = plant("VELORA_LOAD_MARKER_DLL", L"shlwapi.dll");
  scoped_native_first probe_order(kShellProbeName, {L"shell32", L"shlwapi"});
  scoped_native_first plain_order(kPlainLoaderName, {L"shell32", L"shlwapi"});
  ASSERT_TRUE(probe_order.applied() && plain_order.applied());

  // The program started is the plain loader with nothing to load: it ends
  // with 0 at once.
  const std::wstring probe = folder_.path() + kShellProbeName;
  ASSERT_TRUE(copy_file(path_from_environment("VELORA_SHELL_PROBE"), probe));
  const std::wstring started = folder_.path() + kPlainLoaderName;
  ASSERT_TRUE(copy_file(path_from_environment("VELORA_PLAIN_DLL_LOADER"), started));
  owned_process shell(probe, L"\"" + started + L"\"");
  DWORD code = kNotEnded;
  ASSERT_TRUE(shell.wait(kExitTimeoutMs, &code));
  EXPECT_EQ(code, 0u);
  EXPECT_FALSE(was_loaded(shell32));
  EXPECT_FALSE(was_loaded(shlwapi));

  expect_plain_loader_loads({shell32, shlwapi}, L"shell32.dll shlwapi.dll");
}

// The publisher check loads wintrust and crypt32 when it first runs, from the
// system folder only: copies beside the program never run, and the check
// still tells the vendor's installer from an unsigned one.
TEST_F(DllPlanting, WintrustAndCrypt32BesideTheCheckAreNotLoaded) {
  const std::wstring wintrust = plant("VELORA_LOAD_MARKER_DLL", L"wintrust.dll");
  const std::wstring crypt32 = plant("VELORA_LOAD_MARKER_DLL", L"crypt32.dll");
  scoped_native_first probe_order(kSignatureProbeName, {L"wintrust", L"crypt32"});
  scoped_native_first plain_order(kPlainLoaderName, {L"wintrust", L"crypt32"});
  ASSERT_TRUE(probe_order.applied() && plain_order.applied());

  const std::wstring probe = folder_.path() + kSignatureProbeName;
  ASSERT_TRUE(copy_file(path_from_environment("VELORA_SIGNATURE_PROBE"), probe));
  const std::wstring standins = path_from_environment("VELORA_BUILD_DIR") + L"\\tools\\setup_standin\\";
  const std::wstring publisher = L"\"" + std::wstring(VELORA_PUBLISHER) + L"\"";
  for (const auto& [file, expected] : {std::pair<std::wstring, DWORD>{standins + L"setup64.exe", 0},
                                       {standins + L"unsigned\\setup64.exe", 1}}) {
    owned_process check(probe, L"\"" + file + L"\" " + publisher);
    DWORD code = kNotEnded;
    ASSERT_TRUE(check.wait(kExitTimeoutMs, &code));
    EXPECT_EQ(code, expected) << file;
  }
  EXPECT_FALSE(was_loaded(wintrust));
  EXPECT_FALSE(was_loaded(crypt32));

  // A program that asks by plain name does load them.
  expect_plain_loader_loads({wintrust, crypt32}, L"wintrust.dll crypt32.dll");
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
