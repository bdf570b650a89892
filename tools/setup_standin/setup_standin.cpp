// Stand-in for the product installer (built as setup32.exe and setup64.exe),
// for tests and the demo; it is not the product. It records how it was
// started, then does what it is told.
//
// Record (UTF-8, appended): "command_line=...", "working_folder=...",
// "path=..." and "end", to the file named by VELORA_SETUP_RECORD, else to
// setup-record.txt beside itself.
//
// Behaviour, from VELORA_SETUP_BEHAVIOUR, else the first line of
// setup-control.txt beside itself, else "exit 0":
//   exit N   end at once with exit code N (5 and 1223 mean no administrator rights)
//   run MS   keep running for MS milliseconds, then end with 0
//   show     show a small "installing" message box until it is closed
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

// Each build carries the name it was built as. Without it setup32.exe and
// setup64.exe are the same bytes, and signed in the same second they would
// share one MD5 text: a test could not tell which of them a run took.
__attribute__((used)) const char kBuiltAs[] = "Velora installer stand-in, built as " VELORA_STANDIN_NAME;

const wchar_t kRecordVariable[] = L"VELORA_SETUP_RECORD";
const wchar_t kBehaviourVariable[] = L"VELORA_SETUP_BEHAVIOUR";
const wchar_t kRecordFile[] = L"setup-record.txt";
const wchar_t kControlFile[] = L"setup-control.txt";

std::wstring own_path() {
  wchar_t path[MAX_PATH * 4] = {};
  ::GetModuleFileNameW(nullptr, path, MAX_PATH * 4);
  return path;
}

std::wstring beside_me(const wchar_t* name) {
  std::wstring path = own_path();
  path.erase(path.rfind(L'\\') + 1);
  return path + name;
}

std::wstring variable(const wchar_t* name) {
  wchar_t value[MAX_PATH * 4] = {};
  const DWORD length = ::GetEnvironmentVariableW(name, value, MAX_PATH * 4);
  return length > 0 && length < MAX_PATH * 4 ? value : L"";
}

std::string utf8(const std::wstring& text) {
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<size_t>(size > 0 ? size : 0), '\0');
  if (size > 0) {
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(),
                          size, nullptr, nullptr);
  }
  return bytes;
}

void append_record() {
  std::wstring target = variable(kRecordVariable);
  if (target.empty()) target = beside_me(kRecordFile);
  wchar_t folder[MAX_PATH * 4] = {};
  ::GetCurrentDirectoryW(MAX_PATH * 4, folder);
  const std::string record = "command_line=" + utf8(::GetCommandLineW()) + "\r\n" +
                             "working_folder=" + utf8(folder) + "\r\n" + "path=" +
                             utf8(own_path()) + "\r\n" + "end\r\n";
  HANDLE file = ::CreateFileW(target.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  ::WriteFile(file, record.data(), static_cast<DWORD>(record.size()), &written, nullptr);
  ::CloseHandle(file);
}

std::wstring behaviour() {
  std::wstring told = variable(kBehaviourVariable);
  if (!told.empty()) return told;
  FILE* control = _wfopen(beside_me(kControlFile).c_str(), L"rb");
  if (!control) return L"exit 0";
  char line[128] = {};
  std::fgets(line, sizeof(line), control);
  std::fclose(control);
  std::wstring text;
  for (const char* c = line; *c && *c != '\r' && *c != '\n'; ++c) text += static_cast<wchar_t>(*c);
  return text;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
  append_record();
  const std::wstring told = behaviour();
  unsigned long value = 0;
  if (std::swscanf(told.c_str(), L"exit %lu", &value) == 1) return static_cast<int>(value);
  if (std::swscanf(told.c_str(), L"run %lu", &value) == 1) {
    ::Sleep(value);
    return 0;
  }
  if (told == L"show") {
    ::MessageBoxW(nullptr, L"Velora をインストールしています。\n（デモ用の代役インストーラーです）",
                  L"Velora セットアップ", MB_ICONINFORMATION);
  }
  return 0;
}
