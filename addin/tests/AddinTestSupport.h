// Shared by the add-in's tests: a registry file and a folder of its own per test, COM on the
// test thread, and small readers of the registry stand-in.
#pragma once

#include "Com.h"
#include "Registry.h"
#include "RegistryNames.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace addintest {

// A folder, a registry file and an installation folder (KAVRINVC6) of the test's own; COM
// initialised on the test thread.
class AddinTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = std::make_unique<kavrin_test::TempDir>("kavrin-addin");
    registryEnv = std::make_unique<kavrin_test::ScopedEnv>("KAVRIN_REGISTRY", dir->file("registry.reg"));
    noAdminEnv = std::make_unique<kavrin_test::ScopedEnv>("KAVRIN_REGISTRY_NOADMIN", std::nullopt);
    failEnv = std::make_unique<kavrin_test::ScopedEnv>("KAVRIN_REGISTRY_FAIL", std::nullopt);
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    openKeysAtStart = registry::openKeyCount();
  }
  void TearDown() override {
    registry::setNoAdminMode(false);
    registry::clearInjectedFailures();
    EXPECT_EQ(registry::openKeyCount(), openKeysAtStart) << "a registry key was left open";
    CoUninitialize();
    failEnv.reset();
    noAdminEnv.reset();
    registryEnv.reset();
    dir.reset();
  }

  std::string path(const std::string& relative) const { return dir->file(relative); }

  // Applies .reg text (the header is added) to the test's registry.
  static void importReg(const std::string& body) {
    static int counter = 0;
    const std::string file = registry::registryFilePath() + ".import" + std::to_string(++counter) + ".reg";
    kavrin_test::writeFile(file, "Windows Registry Editor Version 5.00\n\n" + body);
    ASSERT_EQ(registry::importFile(file), ERROR_SUCCESS) << registry::lastFileError() << "\n" << body;
  }
  // A string value, or nothing when the key or the value is missing.
  static std::optional<std::string> value(HKEY root, const std::string& key, const char* name) {
    HKEY handle = nullptr;
    if (RegOpenKeyEx(root, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return std::nullopt;
    char buffer[4096] = {};
    DWORD size = sizeof buffer - 1;
    DWORD type = REG_NONE;
    const LONG rc = RegQueryValueEx(handle, name, nullptr, &type, reinterpret_cast<LPBYTE>(buffer), &size);
    RegCloseKey(handle);
    if (rc != ERROR_SUCCESS) return std::nullopt;
    return std::string(buffer);
  }
  static bool keyExists(HKEY root, const std::string& key) {
    HKEY handle = nullptr;
    if (RegOpenKeyEx(root, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return false;
    RegCloseKey(handle);
    return true;
  }
  static std::vector<std::string> subkeys(HKEY root, const std::string& key) {
    return namesUnder(root, key, kavrin_test::subkeyNames);
  }
  static std::vector<std::string> valueNames(HKEY root, const std::string& key) {
    return namesUnder(root, key, kavrin_test::valueNames);
  }
  // The names `list` gives of the key `key` below `root` (none when it cannot be opened).
  static std::vector<std::string> namesUnder(HKEY root, const std::string& key,
                                             std::vector<std::string> (*list)(HKEY, LONG*)) {
    HKEY handle = nullptr;
    if (RegOpenKeyEx(root, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return {};
    std::vector<std::string> names = list(handle, nullptr);
    RegCloseKey(handle);
    return names;
  }

  std::unique_ptr<kavrin_test::TempDir> dir;
  std::unique_ptr<kavrin_test::ScopedEnv> registryEnv;
  std::unique_ptr<kavrin_test::ScopedEnv> noAdminEnv;
  std::unique_ptr<kavrin_test::ScopedEnv> failEnv;
  int openKeysAtStart = 0;
};

// Backslashes doubled, as .reg text writes them inside quoted strings.
inline std::string regQuoted(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return "\"" + out + "\"";
}

}  // namespace addintest
