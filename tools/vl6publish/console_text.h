#pragma once
// The tool's text output. On a console it is written as UTF-16 (WriteConsoleW),
// which reads right in any console code page, Wine's included; redirected to
// a file or pipe it is UTF-8, which is what Linux programs reading Wine's
// output and current Windows tools expect.
#include <string>

void write_out(const std::wstring& text);
void write_error(const std::wstring& text);
