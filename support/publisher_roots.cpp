#include "support/publisher_roots.h"

#include "velora_endpoints.h"

namespace {

const wchar_t kSeparators[] = L",;";
const wchar_t kIgnored[] = L" \t\r\n:";

int hex_digit(wchar_t c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'a' && c <= L'f') return c - L'a' + 10;
  if (c >= L'A' && c <= L'F') return c - L'A' + 10;
  return -1;
}

bool is_one_of(wchar_t c, const wchar_t* set) {
  for (; *set; ++set) {
    if (*set == c) return true;
  }
  return false;
}

}  // namespace

bool parse_publisher_roots(const std::wstring& text, publisher_roots& roots) {
  publisher_roots read;
  certificate_thumbprint current{};
  size_t digits = 0;
  const auto finish = [&]() {
    if (digits == 0) return true;  // an empty item between separators
    if (digits != current.size() * 2) return false;
    read.push_back(current);
    current = certificate_thumbprint{};
    digits = 0;
    return true;
  };
  for (const wchar_t c : text) {
    if (is_one_of(c, kIgnored)) continue;
    if (is_one_of(c, kSeparators)) {
      if (!finish()) return false;
      continue;
    }
    const int value = hex_digit(c);
    if (value < 0 || digits == current.size() * 2) return false;
    current[digits / 2] = static_cast<unsigned char>(current[digits / 2] << 4 | value);
    ++digits;
  }
  if (!finish()) return false;
  roots = std::move(read);
  return true;
}

const publisher_roots& build_publisher_roots() {
  static const publisher_roots roots = [] {
    publisher_roots parsed;
    if (!parse_publisher_roots(VELORA_PUBLISHER_ROOTS, parsed)) parsed.assign(1, certificate_thumbprint{});
    return parsed;
  }();
  return roots;
}
