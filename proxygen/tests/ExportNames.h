// The JNI export names that a C or C++ text declares, as generated stubs and `javac -h` headers
// write them: "JNICALL " followed by the name.
#pragma once

#include <cctype>
#include <set>
#include <string>

namespace proxygen_test {

inline std::set<std::string> exportNames(const std::string& text) {
  static const std::string kBefore = "JNICALL ";
  std::set<std::string> names;
  for (std::size_t pos = text.find(kBefore + "Java_"); pos != std::string::npos;
       pos = text.find(kBefore + "Java_", pos + 1)) {
    const std::size_t start = pos + kBefore.size();
    std::size_t end = start;
    while (end < text.size() && (std::isalnum(static_cast<unsigned char>(text[end])) || text[end] == '_')) ++end;
    names.insert(text.substr(start, end - start));
  }
  return names;
}

}  // namespace proxygen_test
