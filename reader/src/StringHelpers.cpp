#include "StringHelpers.h"

#include "Utf8.h"

std::string replaceChar(std::string text, char from, char to) {
  for (char& c : text) {
    if (c == from) c = to;
  }
  return text;
}

std::string narrowText(const std::u16string& text) {
  return kavrin::utf16ToUtf8(text.data(), text.size(), kavrin::Utf8Form::Standard, U'?');
}

std::u16string widenText(const std::string& text) {
  std::u16string out;
  out.reserve(text.size());
  kavrin::appendUtf8AsUtf16(out, text.data(), text.size(), kavrin::Utf8Form::Standard,
                            kavrin::MalformedUtf8::EachByteReplaced);
  return out;
}
