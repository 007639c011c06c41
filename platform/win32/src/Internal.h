// Helpers shared by the kernel-service sources.
#pragma once

#include "Win32.h"

#include <string>

namespace win32 {
namespace detail {

// Sets the calling thread's last error from errno and returns `result`.
template <typename T>
T failWithErrno(int err, T result) {
  SetLastError(errorFromErrno(err));
  return result;
}

// ASCII case folding; bytes of 0x80 and more (UTF-8) stay as they are.
inline char foldChar(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
std::string fold(const std::string& text);

}  // namespace detail
}  // namespace win32
