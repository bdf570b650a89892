#include "tests/support/shell_associations.h"

#include "tests/support/setup_records.h"
#include "tests/support/test_files.h"

#include <stdexcept>

namespace {

const wchar_t kRecordVariable[] = L"VELORA_SHELL_RECORD";
const wchar_t kPdfType[] = L"VeloraTest.pdf";
const wchar_t* const kWebSchemes[] = {L"http", L"https"};
const wchar_t kOpenCommand[] = L"\\shell\\open\\command";
constexpr DWORD kPollMs = 20;

void set_default(const std::wstring& key, const std::wstring& value) {
  HKEY handle = nullptr;
  if (::RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &handle, nullptr) != ERROR_SUCCESS) {
    throw std::runtime_error("cannot write a shell association");
  }
  ::RegSetValueExW(handle, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  ::RegCloseKey(handle);
}

std::wstring recorder_command() {
  return L"\"" + path_from_environment("VELORA_BUILD_DIR") +
         L"\\tools\\shell_recorder\\shell_recorder.exe\" \"%1\"";
}

}  // namespace

void register_shell_recorder() {
  const std::wstring command = recorder_command();
  set_default(L".pdf", kPdfType);
  set_default(std::wstring(kPdfType) + kOpenCommand, command);
  for (const wchar_t* scheme : kWebSchemes) set_default(std::wstring(scheme) + kOpenCommand, command);
}

void remove_web_associations() {
  for (const wchar_t* scheme : kWebSchemes) {
    ::RegDeleteTreeW(HKEY_CLASSES_ROOT, (std::wstring(scheme) + L"\\shell").c_str());
  }
}

shell_record::shell_record(const std::wstring& path) : path_(path) {
  ::DeleteFileW(path_.c_str());
  ::SetEnvironmentVariableW(kRecordVariable, path_.c_str());
}

shell_record::~shell_record() { ::SetEnvironmentVariableW(kRecordVariable, nullptr); }

std::vector<std::wstring> shell_record::lines() const {
  std::vector<std::wstring> lines;
  const std::wstring text = widen(read_file(path_));
  size_t from = 0, end;
  while ((end = text.find(L"\r\n", from)) != std::wstring::npos) {
    lines.push_back(text.substr(from, end - from));
    from = end + 2;
  }
  return lines;
}

std::vector<std::wstring> shell_record::lines_when(size_t count, DWORD timeout_ms) const {
  const ULONGLONG deadline = ::GetTickCount64() + timeout_ms;
  std::vector<std::wstring> found = lines();
  while (found.size() < count && ::GetTickCount64() < deadline) {
    ::Sleep(kPollMs);
    found = lines();
  }
  return found;
}
