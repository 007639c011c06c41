// The names under an open registry key, for tests: its subkeys or its values, enumerated by index
// until the enumeration stops.
#pragma once

#include "Registry.h"

#include <string>
#include <vector>

namespace kavrin_test {

// The names that `enumAt(index, name, &size)` gives from index 0 on, until it returns anything
// but ERROR_SUCCESS; that result is left in `last` when one is given.
template <typename EnumAt>
std::vector<std::string> enumeratedNames(EnumAt enumAt, LONG* last = nullptr) {
  std::vector<std::string> names;
  for (DWORD index = 0;; ++index) {
    char name[1024];
    DWORD size = sizeof name;
    const LONG rc = enumAt(index, name, &size);
    if (rc != ERROR_SUCCESS) {
      if (last != nullptr) *last = rc;
      return names;
    }
    names.emplace_back(name, size);
  }
}

inline std::vector<std::string> subkeyNames(HKEY key, LONG* last = nullptr) {
  return enumeratedNames(
      [key](DWORD i, char* name, DWORD* size) {
        return RegEnumKeyEx(key, i, name, size, nullptr, nullptr, nullptr, nullptr);
      },
      last);
}

inline std::vector<std::string> valueNames(HKEY key, LONG* last = nullptr) {
  return enumeratedNames(
      [key](DWORD i, char* name, DWORD* size) {
        return RegEnumValue(key, i, name, size, nullptr, nullptr, nullptr, nullptr);
      },
      last);
}

}  // namespace kavrin_test
