// String helpers shared by every part of the generator.
#pragma once

#include <string>

// A copy of `text` in which every character equal to `from` is replaced by `to`
// (java.lang.Object with '.' and '/' gives java/lang/Object).
std::string replaceChar(std::string text, char from, char to);

// 16-bit text (Java's UTF-16 units) narrowed to the system's 8-bit text, UTF-8. An unpaired
// surrogate becomes '?'.
std::string narrowText(const std::u16string& text);

// 8-bit UTF-8 text widened to 16-bit units. A byte that starts no valid UTF-8 sequence becomes
// U+FFFD.
std::u16string widenText(const std::string& text);
