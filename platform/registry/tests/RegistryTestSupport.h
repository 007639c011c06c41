// Fixture of the registry tests: each test gets a registry file of its own.
#pragma once

#include "PlatformTestUtil.h"
#include "Registry.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

// Closes the key when it goes.
class KeyHolder {
 public:
  KeyHolder() = default;
  explicit KeyHolder(HKEY key) : key_(key) {}
  ~KeyHolder() { reset(); }
  KeyHolder(const KeyHolder&) = delete;
  KeyHolder& operator=(const KeyHolder&) = delete;
  void reset() {
    if (key_ != nullptr) RegCloseKey(key_);
    key_ = nullptr;
  }
  HKEY get() const { return key_; }
  PHKEY out() {
    reset();
    return &key_;
  }

 private:
  HKEY key_ = nullptr;
};

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::make_unique<platform_test::TempDir>();
    file_ = dir_->file("registry.reg");
    setenv("KAVRIN_REGISTRY", file_.c_str(), 1);
    unsetenv("KAVRIN_REGISTRY_NOADMIN");
    unsetenv("KAVRIN_REGISTRY_FAIL");
    openAtStart_ = registry::openKeyCount();
  }
  void TearDown() override {
    registry::setNoAdminMode(false);
    registry::clearInjectedFailures();
    unsetenv("KAVRIN_REGISTRY_NOADMIN");
    unsetenv("KAVRIN_REGISTRY_FAIL");
    EXPECT_EQ(registry::openKeyCount(), openAtStart_) << "a key handle was left open";
    unsetenv("KAVRIN_REGISTRY");
    dir_.reset();
  }

  const std::string& file() const { return file_; }
  std::string scratch() const { return dir_->path(); }
  std::string path(const std::string& name) const { return dir_->file(name); }

  static LONG create(HKEY root, const char* subKey, KeyHolder& key, REGSAM access = KEY_ALL_ACCESS,
                     DWORD* disposition = nullptr) {
    return RegCreateKeyEx(root, subKey, 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr, key.out(), disposition);
  }
  static LONG open(HKEY root, const char* subKey, KeyHolder& key, REGSAM access = KEY_READ) {
    return RegOpenKeyEx(root, subKey, 0, access, key.out());
  }
  static LONG setString(HKEY key, const char* name, const std::string& value) {
    return RegSetValueEx(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                         static_cast<DWORD>(value.size() + 1));
  }
  // The REG_SZ value, or "<error N>" when it cannot be read.
  static std::string getString(HKEY key, const char* name) {
    char buf[1024];
    DWORD size = sizeof buf;
    DWORD type = 0;
    const LONG rc = RegQueryValueEx(key, name, nullptr, &type, reinterpret_cast<LPBYTE>(buf), &size);
    if (rc != ERROR_SUCCESS) return "<error " + std::to_string(rc) + ">";
    if (type != REG_SZ) return "<type " + std::to_string(type) + ">";
    return std::string(buf);
  }
  static std::vector<std::string> subkeys(HKEY key) {
    return enumeratedNames([key](DWORD i, char* name, DWORD* size) {
      return RegEnumKeyEx(key, i, name, size, nullptr, nullptr, nullptr, nullptr);
    });
  }
  static std::vector<std::string> valueNames(HKEY key) {
    return enumeratedNames([key](DWORD i, char* name, DWORD* size) {
      return RegEnumValue(key, i, name, size, nullptr, nullptr, nullptr, nullptr);
    });
  }
  // The names an enumeration call gives for index 0, 1, ... until it has no more.
  template <typename EnumAt>
  static std::vector<std::string> enumeratedNames(EnumAt enumAt) {
    std::vector<std::string> names;
    for (DWORD i = 0;; ++i) {
      char name[256];
      DWORD size = sizeof name;
      const LONG rc = enumAt(i, name, &size);
      if (rc == ERROR_NO_MORE_ITEMS) break;
      EXPECT_EQ(rc, ERROR_SUCCESS);
      if (rc != ERROR_SUCCESS) break;
      names.push_back(name);
    }
    return names;
  }

 private:
  std::unique_ptr<platform_test::TempDir> dir_;
  std::string file_;
  int openAtStart_ = 0;
};
