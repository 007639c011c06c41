// Environment variables and %NAME% expansion.
#include "PlatformTestUtil.h"
#include "Win32.h"

#include <gtest/gtest.h>

#include <string>

using platform_test::ScopedEnv;

TEST(Environment, GetReportsLengthOrNeededSize) {
  ScopedEnv v("KAVRIN_T_ENV", "hello");
  char buf[16];
  EXPECT_EQ(GetEnvironmentVariable("KAVRIN_T_ENV", buf, sizeof buf), 5u);
  EXPECT_STREQ(buf, "hello");
  // Exactly the value without room for the terminator: the size needed comes back.
  char small[5] = {'x', 'x', 'x', 'x', 'x'};
  EXPECT_EQ(GetEnvironmentVariable("KAVRIN_T_ENV", small, sizeof small), 6u);
  EXPECT_EQ(small[0], 'x');
  EXPECT_EQ(GetEnvironmentVariable("KAVRIN_T_ENV", nullptr, 0), 6u);
}

TEST(Environment, UnsetAndEmptyAreTold) {
  ScopedEnv gone("KAVRIN_T_UNSET", nullptr);
  char buf[8];
  EXPECT_EQ(GetEnvironmentVariable("KAVRIN_T_UNSET", buf, sizeof buf), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ENVVAR_NOT_FOUND));

  ScopedEnv empty("KAVRIN_T_EMPTY", "");
  EXPECT_EQ(GetEnvironmentVariable("KAVRIN_T_EMPTY", buf, sizeof buf), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
  std::string value = "unchanged";
  EXPECT_TRUE(win32::getEnv("KAVRIN_T_EMPTY", value));
  EXPECT_EQ(value, "");
  EXPECT_FALSE(win32::getEnv("KAVRIN_T_UNSET", value));
}

TEST(Environment, SetAndRemove) {
  ScopedEnv guard("KAVRIN_T_SET", nullptr);
  ASSERT_TRUE(SetEnvironmentVariable("KAVRIN_T_SET", "C:/jdk"));
  std::string value;
  ASSERT_TRUE(win32::getEnv("KAVRIN_T_SET", value));
  EXPECT_EQ(value, "C:/jdk");
  ASSERT_TRUE(SetEnvironmentVariable("KAVRIN_T_SET", nullptr));
  EXPECT_FALSE(win32::getEnv("KAVRIN_T_SET", value));

  EXPECT_FALSE(SetEnvironmentVariable("BAD=NAME", "x"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_FALSE(SetEnvironmentVariable("", "x"));
}

TEST(Environment, ExpansionKeepsUnknownNamesAsWritten) {
  ScopedEnv home("KAVRIN_T_HOME", "/opt/kavrin");
  ScopedEnv unknown("KAVRIN_T_NOPE", nullptr);
  EXPECT_EQ(win32::expandEnvironment("%KAVRIN_T_HOME%/include"), "/opt/kavrin/include");
  EXPECT_EQ(win32::expandEnvironment("%KAVRIN_T_NOPE%/lib"), "%KAVRIN_T_NOPE%/lib");
  EXPECT_EQ(win32::expandEnvironment("%KAVRIN_T_NOPE%%KAVRIN_T_HOME%"), "%KAVRIN_T_NOPE%/opt/kavrin");
  // A lone '%' does not swallow the name after it.
  EXPECT_EQ(win32::expandEnvironment("100% of %KAVRIN_T_HOME%"), "100% of /opt/kavrin");
  EXPECT_EQ(win32::expandEnvironment("50%"), "50%");
  EXPECT_EQ(win32::expandEnvironment("%%"), "%%");
  EXPECT_EQ(win32::expandEnvironment(""), "");
  // Names are not looked up without case on this system: another case is another name.
  EXPECT_EQ(win32::expandEnvironment("%kavrin_t_home%"), "%kavrin_t_home%");
}

TEST(Environment, ExpandEnvironmentStringsSizes) {
  ScopedEnv v("KAVRIN_T_V", "abc");
  char buf[32];
  EXPECT_EQ(ExpandEnvironmentStrings("x%KAVRIN_T_V%y", buf, sizeof buf), 6u);
  EXPECT_STREQ(buf, "xabcy");
  char small[4] = {'-', '-', '-', '-'};
  EXPECT_EQ(ExpandEnvironmentStrings("x%KAVRIN_T_V%y", small, sizeof small), 6u);
  EXPECT_EQ(small[0], '-');
  EXPECT_EQ(ExpandEnvironmentStrings("x%KAVRIN_T_V%y", nullptr, 0), 6u);
}
