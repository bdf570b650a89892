#include "support/ascii.h"

namespace {

constexpr int kDecimalDigits = 10;

template <typename Char>
Char lower_of(Char c) {
  return (c >= Char('A') && c <= Char('Z')) ? static_cast<Char>(c - Char('A') + Char('a')) : c;
}

}  // namespace

char ascii_lower(char c) { return lower_of(c); }

wchar_t ascii_lower(wchar_t c) { return lower_of(c); }

std::string ascii_lower(std::string text) {
  for (char& c : text) c = lower_of(c);
  return text;
}

std::wstring ascii_lower(std::wstring text) {
  for (wchar_t& c : text) c = lower_of(c);
  return text;
}

bool is_ascii_upper(char c) { return c >= 'A' && c <= 'Z'; }

bool equals_ascii_lower(const std::string& text, const std::string& lower) {
  if (text.size() != lower.size()) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    if (lower_of(text[i]) != lower[i]) return false;
  }
  return true;
}

int hex_digit_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + kDecimalDigits;
  if (c >= 'A' && c <= 'F') return c - 'A' + kDecimalDigits;
  return -1;
}

bool is_hex_digit(char c) { return hex_digit_value(c) >= 0; }
