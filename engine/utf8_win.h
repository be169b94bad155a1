// The program carries paths as UTF-8 (text_rules.h) and hands the system UTF-16: the ANSI
// functions would turn characters outside the code page into '?'.
#pragma once

#include <windows.h>

#include <string>

namespace kestrin {

std::wstring WideText(const std::string& utf8);

// False, with the last error set, for what is not valid UTF-16 (a lone surrogate), which
// no UTF-8 path could name again.
bool Utf8Text(const wchar_t* text, size_t length, std::string* utf8);

// Messages are ANSI text (MessageBoxA, the command line's lines): characters outside the
// code page show as '?' there.
std::string AnsiText(const std::string& utf8);

}  // namespace kestrin
