#include "RegKey.h"

#include <cstring>
#include <vector>

RegKey::~RegKey() { Close(); }

void RegKey::Assign(HKEY key) {
  Close();
  m_hKey = key;
}

LONG RegKey::Open(HKEY parent, const char* subKey, REGSAM access) {
  HKEY key = nullptr;
  const LONG result = RegOpenKeyEx(parent, subKey, 0, access, &key);
  if (result == ERROR_SUCCESS) Assign(key);
  return result;
}

LONG RegKey::Create(HKEY parent, const char* subKey, REGSAM access) {
  HKEY key = nullptr;
  DWORD disposition = 0;
  const LONG result =
      RegCreateKeyEx(parent, subKey, 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr, &key, &disposition);
  if (result == ERROR_SUCCESS) Assign(key);
  return result;
}

LONG RegKey::SetString(const char* name, const std::string& value) const {
  if (m_hKey == nullptr) return ERROR_INVALID_HANDLE;
  return RegSetValueEx(m_hKey, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>(value.size() + 1));
}

bool RegKey::QueryString(const char* name, std::string& value, DWORD bufferSize) const {
  if (m_hKey == nullptr || bufferSize == 0) return false;
  std::vector<char> buffer(bufferSize, '\0');
  DWORD type = REG_NONE;
  DWORD size = bufferSize;
  if (RegQueryValueEx(m_hKey, name, nullptr, &type, reinterpret_cast<LPBYTE>(buffer.data()), &size) != ERROR_SUCCESS)
    return false;
  // Only text is taken: the bytes of a number or of binary data are no path.
  if (type != REG_SZ && type != REG_EXPAND_SZ) return false;
  // A value stored without its terminator ends where the data ends.
  value.assign(buffer.data(), strnlen(buffer.data(), size < bufferSize ? size : bufferSize));
  return true;
}

bool RegKey::EnumSubkey(DWORD index, std::string& name, DWORD bufferSize) const {
  if (m_hKey == nullptr || bufferSize == 0) return false;
  std::vector<char> buffer(bufferSize, '\0');
  DWORD size = bufferSize;
  if (RegEnumKeyEx(m_hKey, index, buffer.data(), &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
    return false;
  name.assign(buffer.data(), strnlen(buffer.data(), size < bufferSize ? size : bufferSize));
  return true;
}

void RegKey::Close() {
  if (m_hKey != nullptr) RegCloseKey(m_hKey);
  m_hKey = nullptr;
}
