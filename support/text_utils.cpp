#include "support/text_utils.h"

#include <vector>

namespace {

constexpr unsigned char kFirstPrintable = 0x20;
constexpr unsigned char kDelete = 0x7F;
constexpr char kControlReplacement = '?';

}  // namespace

std::wstring ansi_to_wide(UINT code_page, const std::string& text) {
  const int needed = ::MultiByteToWideChar(code_page, 0, text.c_str(), -1, nullptr, 0);
  if (needed <= 0) return std::wstring();
  std::vector<wchar_t> buffer(static_cast<size_t>(needed) + 2, L'\0');
  const int converted = ::MultiByteToWideChar(code_page, 0, text.c_str(), -1, buffer.data(),
                                              static_cast<int>(buffer.size()));
  if (converted <= 0) return std::wstring();
  buffer[static_cast<size_t>(converted)] = L'\0';
  return std::wstring(buffer.data());
}

std::string wide_to_ansi(const std::wstring& text) {
  const int length = static_cast<int>(text.size());
  const int needed =
      ::WideCharToMultiByte(CP_ACP, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return std::string();
  std::vector<char> buffer(static_cast<size_t>(needed) + 1, '\0');
  const int converted = ::WideCharToMultiByte(CP_ACP, 0, text.data(), length, buffer.data(),
                                              needed, nullptr, nullptr);
  if (converted <= 0) return std::string();
  buffer[static_cast<size_t>(converted)] = '\0';
  return std::string(buffer.data());
}

std::wstring expand_environment(const std::wstring& text) {
  std::wstring result;
  const DWORD needed = ::ExpandEnvironmentStringsW(text.c_str(), nullptr, 0);
  if (needed != 0) {
    std::vector<wchar_t> buffer(static_cast<size_t>(needed) + 1, L'\0');
    ::ExpandEnvironmentStringsW(text.c_str(), buffer.data(), needed + 1);
    result = buffer.data();
  }
  return result.empty() ? text : result;
}

std::wstring replace_all(const std::wstring& text, const std::wstring& find,
                         const std::wstring& replacement) {
  std::wstring result = text;
  if (find.empty()) return result;
  size_t position = 0;
  while ((position = result.find(find, position)) != std::wstring::npos) {
    result.replace(position, find.size(), replacement);
    position += replacement.size();
  }
  return result;
}

void make_log_safe(char* text) {
  for (; *text != '\0'; ++text) {
    const auto byte = static_cast<unsigned char>(*text);
    if (byte < kFirstPrintable || byte == kDelete) *text = kControlReplacement;
  }
}
