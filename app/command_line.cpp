// The launcher's command line: "/q" and "/v<options>".
#include "app/launcher_app.h"

#include <vector>

namespace {

const wchar_t kWhiteSpace[] = L" \t\r\n\v\f";
const wchar_t kQuotes[] = L"'\"";
const wchar_t kQuietOption[] = L"/q";
const wchar_t kPassThroughOption[] = L"/v";
const wchar_t kInstallerQuietOption[] = L"/qn";
constexpr size_t kOptionLength = 2;

// Blanks inside quotes become tabs so that quoted text stays one token;
// hyphens outside quotes become slashes.
void mark_quoted_text(std::wstring& text) {
  bool in_apostrophes = false;
  bool in_double_quotes = false;
  for (wchar_t& c : text) {
    if (c == L' ' && (in_apostrophes || in_double_quotes)) {
      c = L'\t';
    } else if (c == L'-' && !in_apostrophes && !in_double_quotes) {
      c = L'/';
    } else if (c == L'\'' && !in_double_quotes) {
      in_apostrophes = !in_apostrophes;
    } else if (c == L'"' && !in_apostrophes) {
      in_double_quotes = !in_double_quotes;
    }
  }
}

std::vector<std::wstring> split_at_blanks(const std::wstring& text) {
  std::vector<std::wstring> tokens;
  size_t start = 0;
  while ((start = text.find_first_not_of(L' ', start)) != std::wstring::npos) {
    const size_t end = text.find(L' ', start);
    tokens.push_back(text.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start));
    start = end;
  }
  return tokens;
}

void trim_left(std::wstring& text, const wchar_t* characters) {
  text.erase(0, text.find_first_not_of(characters));
}

void trim_right(std::wstring& text, const wchar_t* characters) {
  const size_t last = text.find_last_not_of(characters);
  text.erase(last == std::wstring::npos ? 0 : last + 1);
}

}  // namespace

void CLauncherApp::ParseLauncherCommandLine(std::wstring& command_line) {
  m_strInstallerOptions.clear();
  m_bQuietMode = 0;

  mark_quoted_text(command_line);
  for (std::wstring token : split_at_blanks(command_line)) {
    trim_left(token, kWhiteSpace);
    trim_right(token, kWhiteSpace);
    if (token.find(kQuietOption) != std::wstring::npos) m_bQuietMode = 1;
    if (token.find(kPassThroughOption) != std::wstring::npos) {
      // The first two characters go, wherever "/v" stands in the token.
      std::wstring options = token.size() > kOptionLength ? token.substr(kOptionLength) : L"";
      trim_right(options, kQuotes);
      trim_left(options, kQuotes);
      for (wchar_t& c : options) {
        if (c == L'\t') c = L' ';
      }
      m_strInstallerOptions = options;
    }
  }

  if (m_bQuietMode && m_strInstallerOptions.find(kInstallerQuietOption) == std::wstring::npos) {
    if (!m_strInstallerOptions.empty()) m_strInstallerOptions += L' ';
    m_strInstallerOptions += kInstallerQuietOption;
  }
}
