// A registry file of a test's own, named by KAVRIN_REGISTRY while the object lives, with
// helpers that write keys and values through the registry API.
#pragma once

#include "Registry.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

class TempRegistry {
 public:
  TempRegistry() : m_env("KAVRIN_REGISTRY", m_dir.file("registry.reg")) {}

  void set(const std::string& key, const std::string& name, const std::string& value) {
    HKEY k = nullptr;
    ASSERT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                             nullptr, &k, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueEx(k, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>(value.size() + 1)),
              ERROR_SUCCESS);
    RegCloseKey(k);
  }
  void key(const std::string& key) {
    HKEY k = nullptr;
    ASSERT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                             nullptr, &k, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(k);
  }
  // A runtime registration: CurrentVersion (unless empty) and one subkey per version with its
  // RuntimeLib (a subkey without the value when the path is empty).
  void runtime(const std::string& key, const std::string& current,
               const std::vector<std::pair<std::string, std::string>>& versions) {
    if (!current.empty()) set(key, "CurrentVersion", current);
    for (const auto& v : versions) {
      if (v.second.empty())
        this->key(key + "\\" + v.first);
      else
        set(key + "\\" + v.first, "RuntimeLib", v.second);
    }
  }

 private:
  kavrin_test::TempDir m_dir{"kavrin-runtime"};
  kavrin_test::ScopedEnv m_env;
};
