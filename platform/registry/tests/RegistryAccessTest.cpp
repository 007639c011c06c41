// Access rights, the no-administrator mode, injected failures and handle counting.
#include "RegistryTestSupport.h"

using Access = RegistryTest;

TEST_F(Access, KeyOpenedForReadingRefusesWrites) {
  {
    KeyHolder made;
    ASSERT_EQ(create(HKEY_CURRENT_USER, "Environment\\Sub", made), ERROR_SUCCESS);
    ASSERT_EQ(setString(made.get(), "v", "1"), ERROR_SUCCESS);
  }
  const std::string before = platform_test::readText(file());
  KeyHolder reader;
  ASSERT_EQ(open(HKEY_CURRENT_USER, "Environment", reader, KEY_READ), ERROR_SUCCESS);
  EXPECT_EQ(setString(reader.get(), "JAVA_HOME", "/x"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteValue(reader.get(), "v"), ERROR_ACCESS_DENIED);
  KeyHolder child;
  EXPECT_EQ(create(reader.get(), "New", child), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteKey(reader.get(), "Sub"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteTree(reader.get(), "Sub"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(platform_test::readText(file()), before);
  // Reading is what it may do; an existing subkey may still be opened through it.
  EXPECT_EQ(subkeys(reader.get()), std::vector<std::string>{"Sub"});
  EXPECT_EQ(create(reader.get(), "Sub", child, KEY_READ), ERROR_SUCCESS);

  KeyHolder setOnly;
  ASSERT_EQ(open(HKEY_CURRENT_USER, "Environment\\Sub", setOnly, KEY_SET_VALUE), ERROR_SUCCESS);
  EXPECT_EQ(setString(setOnly.get(), "v", "2"), ERROR_SUCCESS);
  EXPECT_EQ(getString(setOnly.get(), "v"), "<error " + std::to_string(ERROR_ACCESS_DENIED) + ">");
  char name[64];
  DWORD size = sizeof name;
  EXPECT_EQ(RegEnumKeyEx(setOnly.get(), 0, name, &size, nullptr, nullptr, nullptr, nullptr), ERROR_ACCESS_DENIED);
  KeyHolder creator;
  ASSERT_EQ(open(HKEY_CURRENT_USER, "Environment", creator, KEY_CREATE_SUB_KEY), ERROR_SUCCESS);
  EXPECT_EQ(create(creator.get(), "Made", child), ERROR_SUCCESS);
}

TEST_F(Access, NoAdminModeRefusesWritesToLocalMachineOnly) {
  {
    KeyHolder made;
    ASSERT_EQ(create(HKEY_LOCAL_MACHINE, "SOFTWARE\\JavaSoft", made), ERROR_SUCCESS);
    ASSERT_EQ(setString(made.get(), "v", "1"), ERROR_SUCCESS);
  }
  KeyHolder earlier;
  ASSERT_EQ(open(HKEY_LOCAL_MACHINE, "SOFTWARE\\JavaSoft", earlier, KEY_ALL_ACCESS), ERROR_SUCCESS);

  registry::setNoAdminMode(true);
  KeyHolder key;
  EXPECT_EQ(open(HKEY_LOCAL_MACHINE, "SOFTWARE\\JavaSoft", key, KEY_ALL_ACCESS), ERROR_ACCESS_DENIED);
  EXPECT_EQ(create(HKEY_LOCAL_MACHINE, "SOFTWARE\\QUENMAR", key, KEY_ALL_ACCESS), ERROR_ACCESS_DENIED);
  EXPECT_EQ(create(HKEY_LOCAL_MACHINE, "SOFTWARE\\QUENMAR", key, KEY_READ), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteTree(HKEY_LOCAL_MACHINE, "SOFTWARE\\JavaSoft"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(setString(HKEY_LOCAL_MACHINE, "root", "x"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(setString(earlier.get(), "v", "2"), ERROR_ACCESS_DENIED);
  // Reading goes on, and the user's own hive is writable.
  ASSERT_EQ(open(HKEY_LOCAL_MACHINE, "SOFTWARE\\JavaSoft", key, KEY_READ), ERROR_SUCCESS);
  EXPECT_EQ(getString(key.get(), "v"), "1");
  KeyHolder user;
  EXPECT_EQ(create(HKEY_CURRENT_USER, "Environment", user), ERROR_SUCCESS);
  EXPECT_EQ(setString(user.get(), "JAVA_HOME", "/jdk"), ERROR_SUCCESS);

  registry::setNoAdminMode(false);
  EXPECT_EQ(setString(earlier.get(), "v", "3"), ERROR_SUCCESS);

  // The same mode for child processes, through the environment.
  setenv("KAVRIN_REGISTRY_NOADMIN", "1", 1);
  EXPECT_EQ(open(HKEY_LOCAL_MACHINE, "SOFTWARE\\JavaSoft", key, KEY_WRITE), ERROR_ACCESS_DENIED);
  unsetenv("KAVRIN_REGISTRY_NOADMIN");
  EXPECT_EQ(open(HKEY_LOCAL_MACHINE, "SOFTWARE\\JavaSoft", key, KEY_WRITE), ERROR_SUCCESS);
}

TEST_F(Access, InjectedFailureHitsTheKeyAndWhatIsBelowIt) {
  KeyHolder key;
  ASSERT_EQ(create(HKEY_LOCAL_MACHINE, "SOFTWARE\\JavaSoft\\Java Runtime Environment\\17", key), ERROR_SUCCESS);
  key.reset();
  registry::injectFailure("HKEY_LOCAL_MACHINE\\SOFTWARE\\javasoft", ERROR_BADDB);
  EXPECT_EQ(open(HKEY_LOCAL_MACHINE, "SOFTWARE\\JavaSoft", key), ERROR_BADDB);
  EXPECT_EQ(open(HKEY_LOCAL_MACHINE, "SOFTWARE\\JavaSoft\\Java Runtime Environment\\17", key), ERROR_BADDB);
  EXPECT_EQ(create(HKEY_LOCAL_MACHINE, "SOFTWARE\\JavaSoft\\New", key), ERROR_BADDB);
  EXPECT_EQ(RegDeleteKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\JavaSoft\\Java Runtime Environment\\17"), ERROR_BADDB);
  // Deleting what holds the key deletes it too.
  EXPECT_EQ(RegDeleteTree(HKEY_LOCAL_MACHINE, "SOFTWARE"), ERROR_BADDB);
  // Keys above it and beside it are untouched; so is the same path under another root.
  EXPECT_EQ(open(HKEY_LOCAL_MACHINE, "SOFTWARE", key), ERROR_SUCCESS);
  EXPECT_EQ(subkeys(key.get()), std::vector<std::string>{"JavaSoft"});
  KeyHolder other;
  EXPECT_EQ(create(HKEY_LOCAL_MACHINE, "SOFTWARE\\JavaSoftware", other), ERROR_SUCCESS);
  EXPECT_EQ(create(HKEY_CURRENT_USER, "SOFTWARE\\JavaSoft", other), ERROR_SUCCESS);

  registry::injectFailure("HKLM\\SOFTWARE\\IBM", ERROR_ACCESS_DENIED);  // short root name
  EXPECT_EQ(create(HKEY_LOCAL_MACHINE, "SOFTWARE\\IBM\\Java2 Runtime Environment", other), ERROR_ACCESS_DENIED);

  registry::clearInjectedFailures();
  EXPECT_EQ(open(HKEY_LOCAL_MACHINE, "SOFTWARE\\JavaSoft\\Java Runtime Environment\\17", key), ERROR_SUCCESS);

  // The same for child processes, through the environment.
  setenv("KAVRIN_REGISTRY_FAIL", "HKCU\\SOFTWARE=2;HKEY_LOCAL_MACHINE\\SOFTWARE\\JavaSoft=5", 1);
  EXPECT_EQ(open(HKEY_CURRENT_USER, "SOFTWARE\\JavaSoft", other), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(open(HKEY_LOCAL_MACHINE, "SOFTWARE\\JavaSoft", other), ERROR_ACCESS_DENIED);
  unsetenv("KAVRIN_REGISTRY_FAIL");
  EXPECT_EQ(open(HKEY_CURRENT_USER, "SOFTWARE\\JavaSoft", other), ERROR_SUCCESS);
}

TEST_F(Access, OpenKeysAreCounted) {
  const int start = registry::openKeyCount();
  HKEY a = nullptr;
  HKEY b = nullptr;
  ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, "Count", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &a, nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(RegOpenKeyEx(a, nullptr, 0, KEY_READ, &b), ERROR_SUCCESS);  // a second handle
  EXPECT_EQ(registry::openKeyCount(), start + 2);
  // Failed opens leave nothing open; roots are not counted.
  HKEY c = nullptr;
  EXPECT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "Missing", 0, KEY_READ, &c), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
  EXPECT_EQ(registry::openKeyCount(), start + 2);
  EXPECT_EQ(RegCloseKey(a), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(b), ERROR_SUCCESS);
  EXPECT_EQ(registry::openKeyCount(), start);
  EXPECT_EQ(RegCloseKey(a), ERROR_INVALID_HANDLE);  // closed twice
  EXPECT_EQ(registry::openKeyCount(), start);
}
