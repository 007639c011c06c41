// Registry set-up and read-back for the registration tool's tests. Every call goes to the file
// that KAVRIN_REGISTRY names at the time of the call.
#pragma once

#include "Registry.h"
#include "RegistryNames.h"

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace jdkreg_test {

const char kIbmRuntime[] = "SOFTWARE\\IBM\\Java2 Runtime Environment";
const char kIbmKit[] = "SOFTWARE\\IBM\\Java Development Kit";
const char kIbmMirror[] = "SOFTWARE\\QUENMAR\\IBM\\Java2 Runtime Environment";
const char kSunRuntime[] = "SOFTWARE\\JavaSoft\\Java Runtime Environment";
const char kSunKit[] = "SOFTWARE\\JavaSoft\\Java Development Kit";
const char kSunMirror[] = "SOFTWARE\\QUENMAR\\JavaSoft\\Java2 Runtime Environment";

// Closes its key when it goes.
class Key {
 public:
  Key() = default;
  ~Key() { reset(); }
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;
  void reset() {
    if (key_ != nullptr) RegCloseKey(key_);
    key_ = nullptr;
  }
  PHKEY out() {
    reset();
    return &key_;
  }
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

inline std::string join(const std::string& key, const std::string& sub) { return key + "\\" + sub; }

inline void createKey(const std::string& path) {
  Key key;
  const LONG rc = RegCreateKeyEx(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                                 nullptr, key.out(), nullptr);
  if (rc != ERROR_SUCCESS) throw std::runtime_error("cannot create " + path + ": error " + std::to_string(rc));
}

inline void setValue(const std::string& path, const std::string& name, DWORD type, const void* data, DWORD size) {
  Key key;
  LONG rc = RegCreateKeyEx(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                           nullptr, key.out(), nullptr);
  if (rc == ERROR_SUCCESS) rc = RegSetValueEx(key.get(), name.c_str(), 0, type, static_cast<const BYTE*>(data), size);
  if (rc != ERROR_SUCCESS)
    throw std::runtime_error("cannot set " + path + " " + name + ": error " + std::to_string(rc));
}

inline void setString(const std::string& path, const std::string& name, const std::string& value) {
  setValue(path, name, REG_SZ, value.c_str(), static_cast<DWORD>(value.size() + 1));
}

// A vendor registration (runtime or kit): CurrentVersion and one JavaHome per version.
inline void registerVendor(const std::string& path, const std::string& currentVersion,
                           const std::vector<std::pair<std::string, std::string>>& homes) {
  if (!currentVersion.empty())
    setString(path, "CurrentVersion", currentVersion);
  else
    createKey(path);
  for (const auto& [version, home] : homes) setString(join(path, version), "JavaHome", home);
}

inline bool keyExists(const std::string& path) {
  Key key;
  return RegOpenKeyEx(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, key.out()) == ERROR_SUCCESS;
}

// A REG_SZ value as stored; nothing when the key or value is missing or not REG_SZ.
inline std::optional<std::string> stringValue(const std::string& path, const std::string& name) {
  Key key;
  if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, key.out()) != ERROR_SUCCESS) return std::nullopt;
  DWORD type = REG_NONE;
  DWORD size = 0;
  if (RegQueryValueEx(key.get(), name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_SZ)
    return std::nullopt;
  std::vector<char> buffer(size + 1, '\0');
  if (RegQueryValueEx(key.get(), name.c_str(), nullptr, &type, reinterpret_cast<LPBYTE>(buffer.data()), &size) !=
      ERROR_SUCCESS)
    return std::nullopt;
  return std::string(buffer.data());
}

inline std::vector<std::string> subkeys(const std::string& path) {
  Key key;
  if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, key.out()) != ERROR_SUCCESS) return {};
  return kavrin_test::subkeyNames(key.get());
}

inline std::vector<std::string> valueNames(const std::string& path) {
  Key key;
  if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, key.out()) != ERROR_SUCCESS) return {};
  return kavrin_test::valueNames(key.get());
}

}  // namespace jdkreg_test
