// The platform's side of the text layer: what text/ needs from the user's
// settings but cannot ask the system for itself.
#pragma once

#include <string>

// Makes "%f" of FormatLine write the decimal separator of the user's locale.
// The program's entry calls it first thing, and so does every program that
// formats report lines (the test programs, the benchmark).
void UseUserLocaleInText();

// Wide text (a path, an adapter's name) in the system's ANSI code page, as
// the program's lists and messages show it: characters the code page lacks
// become "?".
std::string WideToAnsi(const std::wstring& text);
