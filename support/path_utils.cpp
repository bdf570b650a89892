#include "support/path_utils.h"

#include "support/text_utils.h"

std::wstring normalize_path(const std::wstring& path) {
  std::wstring result = replace_all(path, L"/", L"\\");
  result = replace_all(result, L"\\\\", L"\\");
  return expand_environment(result);
}

std::wstring parent_directory(const std::wstring& path) {
  const std::wstring normalized = normalize_path(path);
  const size_t slash = normalized.rfind(L'\\');
  if (slash == std::wstring::npos) return std::wstring();
  return normalized.substr(0, slash + 1);
}

std::wstring file_name_of(const std::wstring& path) {
  const std::wstring normalized = normalize_path(path);
  const size_t slash = normalized.rfind(L'\\');
  if (slash == std::wstring::npos) return normalized;
  return normalized.substr(slash + 1);
}

std::wstring parent_of_directory(const std::wstring& path) {
  const std::wstring normalized = normalize_path(path);
  const std::wstring directory = parent_directory(normalized);
  if (directory != normalized) return directory;
  if (normalized.empty()) return std::wstring();
  // A directory with its trailing backslash: walk up past its own name.
  const std::wstring without_last = normalized.substr(0, normalized.size() - 1);
  const size_t slash = without_last.rfind(L'\\');
  if (slash == std::wstring::npos) return std::wstring();
  return normalized.substr(0, slash + 1);
}
