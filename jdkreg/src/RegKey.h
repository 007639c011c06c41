// A registry key held by an object: closed when the object goes or takes another key.
#pragma once

#include "Registry.h"

#include <string>

class RegKey {
 public:
  RegKey() = default;
  ~RegKey();
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;

  // Opens `subKey` below `parent` with `access`. The key held before is closed only when the
  // open succeeds; on a failure the object keeps it.
  LONG Open(HKEY parent, const char* subKey, REGSAM access);
  // Creates `subKey` below `parent`, or opens it when it exists; the key held before is
  // treated as by Open.
  LONG Create(HKEY parent, const char* subKey, REGSAM access);
  // Writes a REG_SZ value, its terminating zero included.
  LONG SetString(const char* name, const std::string& value) const;
  // Reads a string value into a zero-filled buffer of `bufferSize` bytes. False when the
  // value is missing, is not a string, or does not fit.
  bool QueryString(const char* name, std::string& value, DWORD bufferSize) const;
  // The name of the subkey at `index` (names up to `bufferSize` bytes, terminator included).
  // False when the enumeration fails, at its end among other reasons.
  bool EnumSubkey(DWORD index, std::string& name, DWORD bufferSize) const;
  void Close();

  HKEY Get() const { return m_hKey; }
  bool IsOpen() const { return m_hKey != nullptr; }

 private:
  void Assign(HKEY key);

  HKEY m_hKey = nullptr;
};
