// Keys: creation, opening, names, enumeration and deletion.
#include "RegistryTestSupport.h"

using Keys = RegistryTest;

TEST_F(Keys, CreateMakesMissingParentsAndTellsWhatItDid) {
  KeyHolder key;
  DWORD disposition = 0;
  ASSERT_EQ(
      create(HKEY_LOCAL_MACHINE, "SOFTWARE\\JavaSoft\\Java Runtime Environment\\17", key, KEY_ALL_ACCESS, &disposition),
      ERROR_SUCCESS);
  EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
  ASSERT_EQ(
      create(HKEY_LOCAL_MACHINE, "SOFTWARE\\JavaSoft\\Java Runtime Environment\\17", key, KEY_ALL_ACCESS, &disposition),
      ERROR_SUCCESS);
  EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);

  KeyHolder parent;
  ASSERT_EQ(open(HKEY_LOCAL_MACHINE, "SOFTWARE\\JavaSoft", parent, KEY_ALL_ACCESS), ERROR_SUCCESS);
  EXPECT_EQ(subkeys(parent.get()), std::vector<std::string>{"Java Runtime Environment"});

  // Relative to an open key.
  KeyHolder child;
  ASSERT_EQ(create(parent.get(), "Java Development Kit\\17", child, KEY_ALL_ACCESS, &disposition), ERROR_SUCCESS);
  EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
  KeyHolder reopened;
  EXPECT_EQ(open(HKEY_LOCAL_MACHINE, "SOFTWARE\\JavaSoft\\Java Development Kit\\17", reopened), ERROR_SUCCESS);
}

TEST_F(Keys, OpenOfMissingKeyFails) {
  KeyHolder key;
  EXPECT_EQ(open(HKEY_CURRENT_USER, "Nothing\\Here", key), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(key.get(), nullptr);
  EXPECT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "x", 0, KEY_READ, nullptr), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(open(reinterpret_cast<HKEY>(static_cast<intptr_t>(0x1234)), "x", key), ERROR_INVALID_HANDLE);
  // Roots are separate trees.
  KeyHolder made;
  ASSERT_EQ(create(HKEY_CURRENT_USER, "Environment", made), ERROR_SUCCESS);
  EXPECT_EQ(open(HKEY_LOCAL_MACHINE, "Environment", key), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(open(HKEY_CLASSES_ROOT, "Environment", key), ERROR_FILE_NOT_FOUND);
}

TEST_F(Keys, NamesIgnoreCaseAndKeepTheCaseTheyWereMadeWith) {
  KeyHolder key;
  ASSERT_EQ(create(HKEY_LOCAL_MACHINE, "SOFTWARE\\JavaSoft", key), ERROR_SUCCESS);
  KeyHolder again;
  DWORD disposition = 0;
  ASSERT_EQ(create(HKEY_LOCAL_MACHINE, "software\\JAVASOFT", again, KEY_ALL_ACCESS, &disposition), ERROR_SUCCESS);
  EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
  KeyHolder software;
  ASSERT_EQ(open(HKEY_LOCAL_MACHINE, "Software", software), ERROR_SUCCESS);
  EXPECT_EQ(subkeys(software.get()), std::vector<std::string>{"JavaSoft"});
  EXPECT_NE(platform_test::readText(file()).find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\JavaSoft]"), std::string::npos);
}

TEST_F(Keys, SubkeysEnumerateSortedWithoutCase) {
  KeyHolder base;
  ASSERT_EQ(create(HKEY_CURRENT_USER, "Order", base), ERROR_SUCCESS);
  for (const char* name : {"beta", "Alpha", "gamma", "ALPHA2", "Delta", "_x", "1.8"}) {
    KeyHolder k;
    ASSERT_EQ(create(base.get(), name, k), ERROR_SUCCESS);
  }
  EXPECT_EQ(subkeys(base.get()), (std::vector<std::string>{"1.8", "_x", "Alpha", "ALPHA2", "beta", "Delta", "gamma"}));

  char name[256];
  DWORD size = sizeof name;
  EXPECT_EQ(RegEnumKeyEx(base.get(), 7, name, &size, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
  // A name that does not fit: ERROR_MORE_DATA and the size to pass.
  size = 3;
  EXPECT_EQ(RegEnumKeyEx(base.get(), 2, name, &size, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
  EXPECT_EQ(size, 6u);
  EXPECT_EQ(RegEnumKeyEx(base.get(), 2, name, &size, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
  EXPECT_STREQ(name, "Alpha");
  EXPECT_EQ(size, 5u);
}

TEST_F(Keys, DeleteKeyRefusesAKeyWithSubkeys) {
  KeyHolder key;
  ASSERT_EQ(create(HKEY_LOCAL_MACHINE, "SOFTWARE\\QUENMAR\\JavaSoft\\Java2 Runtime Environment\\17", key),
            ERROR_SUCCESS);
  key.reset();
  EXPECT_EQ(RegDeleteKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\QUENMAR\\JavaSoft"), ERROR_ACCESS_DENIED);
  KeyHolder still;
  EXPECT_EQ(open(HKEY_LOCAL_MACHINE, "SOFTWARE\\QUENMAR\\JavaSoft\\Java2 Runtime Environment\\17", still),
            ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\QUENMAR\\JavaSoft\\Java2 Runtime Environment\\17"),
            ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\QUENMAR\\JavaSoft\\Java2 Runtime Environment\\17"),
            ERROR_FILE_NOT_FOUND);
  // The handle of a deleted key reports it.
  EXPECT_EQ(getString(still.get(), "JavaHome"), "<error " + std::to_string(ERROR_KEY_DELETED) + ">");
  EXPECT_EQ(RegDeleteKey(HKEY_LOCAL_MACHINE, ""), ERROR_ACCESS_DENIED);  // a root stays
}

TEST_F(Keys, DeleteTreeRemovesEverythingBelow) {
  {
    KeyHolder a;
    ASSERT_EQ(create(HKEY_CURRENT_USER, "Tree\\a\\b\\c", a), ERROR_SUCCESS);
    ASSERT_EQ(setString(a.get(), "v", "1"), ERROR_SUCCESS);
    KeyHolder d;
    ASSERT_EQ(create(HKEY_CURRENT_USER, "Tree\\d", d), ERROR_SUCCESS);
    ASSERT_EQ(setString(d.get(), "w", "2"), ERROR_SUCCESS);
    KeyHolder keep;
    ASSERT_EQ(create(HKEY_CURRENT_USER, "Treeless", keep), ERROR_SUCCESS);
  }
  EXPECT_EQ(RegDeleteTree(HKEY_CURRENT_USER, "TREE\\A"), ERROR_SUCCESS);
  KeyHolder tree;
  ASSERT_EQ(open(HKEY_CURRENT_USER, "Tree", tree), ERROR_SUCCESS);
  EXPECT_EQ(subkeys(tree.get()), std::vector<std::string>{"d"});

  // Without a subkey name the key stays, emptied.
  KeyHolder writable;
  ASSERT_EQ(open(HKEY_CURRENT_USER, "Tree", writable, KEY_ALL_ACCESS), ERROR_SUCCESS);
  ASSERT_EQ(setString(writable.get(), "own", "x"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteTree(writable.get(), nullptr), ERROR_SUCCESS);
  EXPECT_TRUE(subkeys(tree.get()).empty());
  EXPECT_TRUE(valueNames(tree.get()).empty());

  EXPECT_EQ(RegDeleteTree(HKEY_CURRENT_USER, "Tree"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteTree(HKEY_CURRENT_USER, "Tree"), ERROR_FILE_NOT_FOUND);
  KeyHolder other;
  EXPECT_EQ(open(HKEY_CURRENT_USER, "Treeless", other), ERROR_SUCCESS);
}

TEST_F(Keys, BadNamesAreRefused) {
  KeyHolder key;
  EXPECT_EQ(create(HKEY_CURRENT_USER, std::string(256, 'k').c_str(), key), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(create(HKEY_CURRENT_USER, "line\nbreak", key), ERROR_INVALID_PARAMETER);
  std::string deep;
  for (int i = 0; i < 513; ++i) deep += "d\\";
  EXPECT_EQ(create(HKEY_CURRENT_USER, deep.c_str(), key), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(create(HKEY_CURRENT_USER, "a", key), ERROR_SUCCESS);
  KeyHolder tooDeep;
  EXPECT_EQ(create(key.get(), deep.c_str(), tooDeep), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(setString(key.get(), "line\nbreak", "x"), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, "a", 0, nullptr, 0, KEY_READ, nullptr, nullptr, nullptr),
            ERROR_INVALID_PARAMETER);
}
