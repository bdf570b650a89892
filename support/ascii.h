#pragma once
// Case and hexadecimal digits of ASCII alone. Bytes and characters outside it
// (a Shift_JIS byte, a full-width letter) never change and never match, and
// nothing depends on the process locale.
#include <string>

// 'A' to 'Z' become 'a' to 'z'; everything else stays.
char ascii_lower(char c);
wchar_t ascii_lower(wchar_t c);
std::string ascii_lower(std::string text);
std::wstring ascii_lower(std::wstring text);

bool is_ascii_upper(char c);

// True when `text` equals `lower` (written in lower case) but for the case
// of the letters A to Z in `text`.
bool equals_ascii_lower(const std::string& text, const std::string& lower);

// The value of a hexadecimal digit, in either case; -1 for any other byte.
int hex_digit_value(char c);
bool is_hex_digit(char c);
