#pragma once
// Conversions between the launcher's UTF-16 text and the narrow text of the
// ANSI code page, and two small text helpers. None of them keeps state or
// reports errors: a failure shows as an empty result or the input unchanged.
#include <windows.h>

#include <string>

// Narrow text in code page `code_page` to UTF-16. Stops at an embedded NUL;
// a failed conversion gives an empty text.
std::wstring ansi_to_wide(UINT code_page, const std::string& text);

// UTF-16 to the ANSI code page. Characters without a mapping are replaced by a
// similar character or the code page's default character.
std::string wide_to_ansi(const std::wstring& text);

// Expands %NAME% references; undefined ones stay as written. Returns the input
// unchanged when the expansion is empty or fails.
std::wstring expand_environment(const std::wstring& text);

// Replaces every occurrence of `find` (not empty) by `replacement`, scanning on
// behind each inserted replacement, which is never searched again.
std::wstring replace_all(const std::wstring& text, const std::wstring& find,
                         const std::wstring& replacement);

// Replaces every control character (below 0x20, and 0x7F) of the NUL-ended
// narrow `text` by "?", in place. Byte by byte: no lead or trail byte of a
// double-byte ANSI code page is one.
void make_log_safe(char* text);
