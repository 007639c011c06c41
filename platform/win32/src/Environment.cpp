// Process environment: lookup, change and %NAME% expansion.
#include "Internal.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace {

std::recursive_mutex& environmentMutex() {
  static std::recursive_mutex m;
  return m;
}

// Copies `text` with its terminator into `buffer` when it fits into `size` bytes.
// Returns the length without terminator when it fits, the size needed otherwise.
DWORD copyOut(const std::string& text, LPSTR buffer, DWORD size) {
  const size_t needed = text.size() + 1;
  if (buffer == nullptr || size < needed) return static_cast<DWORD>(needed);
  std::memcpy(buffer, text.c_str(), needed);
  return static_cast<DWORD>(text.size());
}

bool lookup(const std::string& name, std::string& value) {
  std::lock_guard<std::recursive_mutex> lock(environmentMutex());
  const char* v = std::getenv(name.c_str());
  if (v == nullptr) return false;
  value = v;
  return true;
}

}  // namespace

namespace win32 {

bool getEnv(const std::string& name, std::string& value) {
  if (name.empty() || name.find('=') != std::string::npos) return false;
  return lookup(name, value);
}

std::string expandEnvironment(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    const size_t open = text.find('%', i);
    if (open == std::string::npos) {
      out.append(text, i, std::string::npos);
      break;
    }
    out.append(text, i, open - i);
    const size_t close = text.find('%', open + 1);
    if (close == std::string::npos) {
      out.append(text, open, std::string::npos);
      break;
    }
    const std::string name = text.substr(open + 1, close - open - 1);
    std::string value;
    if (!name.empty() && getEnv(name, value)) {
      out += value;
      i = close + 1;
    } else {
      // Unknown: keep "%NAME" as written and let the closing '%' open the next name,
      // so "100% of %HOME%" still expands HOME.
      out.append(text, open, close - open);
      i = close;
    }
  }
  return out;
}

}  // namespace win32

DWORD GetEnvironmentVariable(LPCSTR name, LPSTR buffer, DWORD size) {
  if (name == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::string value;
  if (!win32::getEnv(name, value)) {
    SetLastError(ERROR_ENVVAR_NOT_FOUND);
    return 0;
  }
  SetLastError(ERROR_SUCCESS);
  return copyOut(value, buffer, size);
}

BOOL SetEnvironmentVariable(LPCSTR name, LPCSTR value) {
  if (name == nullptr || *name == '\0' || std::strchr(name, '=') != nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::lock_guard<std::recursive_mutex> lock(environmentMutex());
  const int rc = value == nullptr ? unsetenv(name) : setenv(name, value, 1);
  if (rc != 0) return win32::detail::failWithErrno(errno, FALSE);
  return TRUE;
}

DWORD ExpandEnvironmentStrings(LPCSTR source, LPSTR dest, DWORD size) {
  if (source == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const std::string expanded = win32::expandEnvironment(source);
  copyOut(expanded, dest, size);
  return static_cast<DWORD>(expanded.size() + 1);
}
