// The check for DLLs loaded from the launcher's folder, run inside this test
// program: its own folder stands for the launcher's. The program is linked
// statically, so before a case loads its DLL nothing comes from that folder.
#include "app/app_dir_dll_check.h"

#include "framework/afx_handle.h"
#include "tests/support/test_files.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cwctype>
#include <string>

namespace {

// The folder as the check computes it: the program path up to its last backslash.
std::wstring own_folder() {
  wchar_t path[MAX_PATH + 1] = {};
  ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder = path;
  folder.resize(folder.rfind(L'\\'));
  return folder;
}

std::wstring in_other_letter_case(std::wstring text) {
  for (wchar_t& c : text) {
    c = std::iswupper(c) ? std::towlower(c) : std::towupper(c);
  }
  return text;
}

// A copy of the project's probe DLL, removed (with the folder made for it)
// when the object goes.
class planted_probe {
public:
  planted_probe(const std::wstring& folder, const std::wstring& file_name, bool new_folder)
      : folder_(folder), path_(folder + L"\\" + file_name), new_folder_(new_folder) {
    if (new_folder_) ::CreateDirectoryW(folder_.c_str(), nullptr);
    copied_ = copy_file(path_from_environment("VELORA_PROBE_DLL"), path_);
  }
  planted_probe(const planted_probe&) = delete;
  planted_probe& operator=(const planted_probe&) = delete;
  ~planted_probe() {
    ::DeleteFileW(path_.c_str());
    if (new_folder_) ::RemoveDirectoryW(folder_.c_str());
  }
  bool copied() const { return copied_; }
  const std::wstring& path() const { return path_; }

private:
  std::wstring folder_;
  std::wstring path_;
  bool new_folder_;
  bool copied_ = false;
};

struct planting_case {
  const char* name;
  const wchar_t* folder_suffix;  // after the program folder; "" is the folder itself
  const wchar_t* extension;
  bool load_folder_in_other_case;
  bool expected;
};

const planting_case kCases[] = {
    {"OwnFolder", L"", L".dll", false, true},
    {"Subfolder", L"\\probe-sub", L".dll", false, true},
    // "<folder>_probe" is a sibling, but its path begins with the folder's text.
    {"SiblingNamedLikeTheFolder", L"_probe", L".dll", false, true},
    // The extension test is case-sensitive.
    {"OwnFolderUpperCaseExtension", L"", L".DLL", false, false},
    // So is the folder test: the loader keeps the path's letters as given.
    {"OwnFolderSpelledInOtherCase", L"", L".dll", true, false},
};

class AppDirDllCheck : public ::testing::TestWithParam<planting_case> {};

TEST(AppDirDllCheckBaseline, FindsNothingWhenNoDllCameFromTheProgramFolder) {
  EXPECT_FALSE(IsExistAppDirDllVulnerability());
}

TEST_P(AppDirDllCheck, TellsWhetherALoadedDllCountsAsFromTheProgramFolder) {
  const planting_case& c = GetParam();
  ASSERT_FALSE(path_from_environment("VELORA_PROBE_DLL").empty()) << "VELORA_PROBE_DLL is not set";
  const std::wstring tag = std::to_wstring(::GetCurrentProcessId());
  const std::wstring suffix = c.folder_suffix;
  const std::wstring folder = own_folder() + (suffix.empty() ? L"" : suffix + L"-" + tag);
  planted_probe probe(folder, L"velora-probe-" + tag + c.extension, !suffix.empty());
  ASSERT_TRUE(probe.copied());

  const std::wstring load_path =
      c.load_folder_in_other_case ? in_other_letter_case(folder) + probe.path().substr(folder.size())
                                  : probe.path();
  afx_module_handle module(::LoadLibraryW(load_path.c_str()));
  ASSERT_TRUE(module.IsValid()) << "cannot load the probe, error " << ::GetLastError();
  // The check sees the path exactly as it was loaded by.
  wchar_t reported[MAX_PATH + 1] = {};
  ::GetModuleFileNameW(module.Get(), reported, MAX_PATH);
  ASSERT_EQ(std::wstring(reported), load_path);

  EXPECT_EQ(IsExistAppDirDllVulnerability(), c.expected);

  module.Close();
  EXPECT_FALSE(IsExistAppDirDllVulnerability()) << "the probe was unloaded";
}

INSTANTIATE_TEST_SUITE_P(Places, AppDirDllCheck, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
