// Values: types, sizes, names, enumeration and deletion.
#include "RegistryTestSupport.h"

#include <cstring>

using Values = RegistryTest;

TEST_F(Values, StringComesBackWithTerminatorAndTheSizeItNeeds) {
  KeyHolder key;
  ASSERT_EQ(create(HKEY_LOCAL_MACHINE, "SOFTWARE\\JavaSoft\\Java Runtime Environment\\17", key), ERROR_SUCCESS);
  const std::string home = "/usr/lib/jvm/java-17-openjdk-amd64";
  ASSERT_EQ(setString(key.get(), "JavaHome", home), ERROR_SUCCESS);

  DWORD type = 0;
  DWORD size = 0;
  ASSERT_EQ(RegQueryValueEx(key.get(), "JavaHome", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(size, home.size() + 1);

  char small[10];
  std::memset(small, '#', sizeof small);
  size = sizeof small;
  EXPECT_EQ(RegQueryValueEx(key.get(), "JavaHome", nullptr, &type, reinterpret_cast<LPBYTE>(small), &size),
            ERROR_MORE_DATA);
  EXPECT_EQ(size, home.size() + 1);

  std::vector<char> exact(size, '#');
  EXPECT_EQ(RegQueryValueEx(key.get(), "JavaHome", nullptr, &type, reinterpret_cast<LPBYTE>(exact.data()), &size),
            ERROR_SUCCESS);
  EXPECT_EQ(std::string(exact.data()), home);
  EXPECT_EQ(exact.back(), '\0');

  // Data given without its terminator is stored as the same text.
  ASSERT_EQ(RegSetValueEx(key.get(), "Bare", 0, REG_SZ, reinterpret_cast<const BYTE*>("abc"), 3), ERROR_SUCCESS);
  EXPECT_EQ(getString(key.get(), "Bare"), "abc");
  EXPECT_EQ(getString(key.get(), "Missing"), "<error " + std::to_string(ERROR_FILE_NOT_FOUND) + ">");
}

TEST_F(Values, NamesIgnoreCaseAndKeepTheirFirstCase) {
  KeyHolder key;
  ASSERT_EQ(create(HKEY_CURRENT_USER, "Environment", key), ERROR_SUCCESS);
  ASSERT_EQ(setString(key.get(), "JAVA_HOME", "/a"), ERROR_SUCCESS);
  ASSERT_EQ(setString(key.get(), "java_home", "/b"), ERROR_SUCCESS);
  EXPECT_EQ(getString(key.get(), "Java_Home"), "/b");
  EXPECT_EQ(valueNames(key.get()), std::vector<std::string>{"JAVA_HOME"});
  EXPECT_EQ(RegDeleteValue(key.get(), "JaVa_HoMe"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteValue(key.get(), "JAVA_HOME"), ERROR_FILE_NOT_FOUND);
  EXPECT_TRUE(valueNames(key.get()).empty());
}

TEST_F(Values, DefaultDwordAndBinaryValues) {
  KeyHolder key;
  ASSERT_EQ(create(HKEY_CLASSES_ROOT, "KAVRINGEN.DSAddIn.1\\CLSID", key), ERROR_SUCCESS);
  ASSERT_EQ(setString(key.get(), nullptr, "{0000-1111}"), ERROR_SUCCESS);
  EXPECT_EQ(getString(key.get(), ""), "{0000-1111}");
  EXPECT_EQ(getString(key.get(), nullptr), "{0000-1111}");

  const DWORD number = 0xDEADBEEF;
  ASSERT_EQ(RegSetValueEx(key.get(), "Count", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number),
            ERROR_SUCCESS);
  const BYTE blob[] = {0x00, 0x01, 0xFE, 0xFF, 0x0A};
  ASSERT_EQ(RegSetValueEx(key.get(), "Blob", 0, REG_BINARY, blob, sizeof blob), ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueEx(key.get(), "Empty", 0, REG_BINARY, nullptr, 0), ERROR_SUCCESS);

  DWORD got = 0;
  DWORD type = 0;
  DWORD size = sizeof got;
  ASSERT_EQ(RegQueryValueEx(key.get(), "count", nullptr, &type, reinterpret_cast<LPBYTE>(&got), &size), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_DWORD);
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(got, number);

  BYTE back[8] = {};
  size = 2;
  EXPECT_EQ(RegQueryValueEx(key.get(), "Blob", nullptr, &type, back, &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, sizeof blob);
  size = sizeof back;
  ASSERT_EQ(RegQueryValueEx(key.get(), "Blob", nullptr, &type, back, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_BINARY);
  ASSERT_EQ(size, sizeof blob);
  EXPECT_EQ(std::memcmp(back, blob, sizeof blob), 0);
  size = sizeof back;
  ASSERT_EQ(RegQueryValueEx(key.get(), "Empty", nullptr, &type, back, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 0u);

  const std::string text = platform_test::readText(file());
  EXPECT_NE(text.find("@=\"{0000-1111}\""), std::string::npos);
  EXPECT_NE(text.find("\"Count\"=dword:deadbeef"), std::string::npos);
  EXPECT_NE(text.find("\"Blob\"=hex:00,01,fe,ff,0a"), std::string::npos);
}

TEST_F(Values, AwkwardTextSurvivesTheFile) {
  KeyHolder key;
  ASSERT_EQ(create(HKEY_CURRENT_USER, "Odd", key), ERROR_SUCCESS);
  const std::string quoted = "C:\\Program Files\\\"Java\"\\";
  const std::string lines = "first line\nsecond \"line\"\r\n[HKEY_LOCAL_MACHINE\\Injected]";
  const std::string utf8 = "J\xC3\xA4vaHome \xE2\x82\xAC";
  ASSERT_EQ(setString(key.get(), "Quoted \"name\" \\", quoted), ERROR_SUCCESS);
  ASSERT_EQ(setString(key.get(), "Lines", lines), ERROR_SUCCESS);
  ASSERT_EQ(setString(key.get(), utf8.c_str(), utf8), ERROR_SUCCESS);
  const std::string expand = "%JAVA_HOME%\\bin";
  ASSERT_EQ(RegSetValueEx(key.get(), "Path", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(expand.c_str()),
                          static_cast<DWORD>(expand.size() + 1)),
            ERROR_SUCCESS);

  // Every call reads the file again, so these come back through the file.
  EXPECT_EQ(getString(key.get(), "Quoted \"name\" \\"), quoted);
  EXPECT_EQ(getString(key.get(), "Lines"), lines);
  EXPECT_EQ(getString(key.get(), utf8.c_str()), utf8);
  char buf[64];
  DWORD size = sizeof buf;
  DWORD type = 0;
  ASSERT_EQ(RegQueryValueEx(key.get(), "Path", nullptr, &type, reinterpret_cast<LPBYTE>(buf), &size), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_EXPAND_SZ);
  EXPECT_EQ(std::string(buf), expand);

  const std::string text = platform_test::readText(file());
  EXPECT_NE(text.find("\"Quoted \\\"name\\\" \\\\\"=\"C:\\\\Program Files\\\\\\\"Java\\\"\\\\\""), std::string::npos)
      << text;
  // The text with line breaks must not open a key of its own.
  KeyHolder injected;
  EXPECT_EQ(open(HKEY_LOCAL_MACHINE, "Injected", injected), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(text.find("\n[HKEY_LOCAL_MACHINE\\Injected]"), std::string::npos);
}

TEST_F(Values, EnumerationKeepsOrderAndReportsSizes) {
  KeyHolder key;
  ASSERT_EQ(create(HKEY_CURRENT_USER, "Enum", key), ERROR_SUCCESS);
  ASSERT_EQ(setString(key.get(), "zeta", "1"), ERROR_SUCCESS);
  ASSERT_EQ(setString(key.get(), "Alpha", "22"), ERROR_SUCCESS);
  ASSERT_EQ(setString(key.get(), nullptr, "default"), ERROR_SUCCESS);
  EXPECT_EQ(valueNames(key.get()), (std::vector<std::string>{"zeta", "Alpha", ""}));

  char name[8];
  DWORD nameSize = sizeof name;
  DWORD type = 0;
  char data[2];
  DWORD dataSize = sizeof data;
  EXPECT_EQ(RegEnumValue(key.get(), 1, name, &nameSize, nullptr, &type, reinterpret_cast<LPBYTE>(data), &dataSize),
            ERROR_MORE_DATA);
  EXPECT_EQ(dataSize, 3u);
  EXPECT_STREQ(name, "Alpha");
  dataSize = 0;
  nameSize = sizeof name;
  EXPECT_EQ(RegEnumValue(key.get(), 1, name, &nameSize, nullptr, &type, nullptr, &dataSize), ERROR_SUCCESS);
  EXPECT_EQ(dataSize, 3u);
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(nameSize, 5u);
  nameSize = 3;
  EXPECT_EQ(RegEnumValue(key.get(), 1, name, &nameSize, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
  EXPECT_EQ(RegEnumValue(key.get(), 3, name, &nameSize, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
}
