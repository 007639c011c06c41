// LoadLibrary, GetProcAddress, GetModuleHandle, FreeLibrary over the dynamic linker.
#include "Win32.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

TEST(Modules, MissingLibraryFailsWithText) {
  EXPECT_EQ(LoadLibrary("/nonexistent/libkavrin_nothing.so"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
  EXPECT_NE(win32::lastLoadError().find("libkavrin_nothing.so"), std::string::npos);

  EXPECT_EQ(LoadLibrary("kavrin_nothing.dll"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
  EXPECT_FALSE(win32::lastLoadError().empty());
  EXPECT_EQ(LoadLibrary(nullptr), nullptr);
}

TEST(Modules, LoadsLibmAndCallsAnExport) {
  HMODULE m = LoadLibrary("libm.so.6");
  ASSERT_NE(m, nullptr) << win32::lastLoadError();
  typedef double (*Cos)(double);
  auto cosine = reinterpret_cast<Cos>(GetProcAddress(m, "cos"));
  ASSERT_NE(cosine, nullptr);
  EXPECT_DOUBLE_EQ(cosine(0.0), 1.0);

  EXPECT_EQ(GetProcAddress(m, "kavrin_no_such_symbol"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
  EXPECT_NE(win32::lastLoadError().find("kavrin_no_such_symbol"), std::string::npos);

  char path[MAX_PATH];
  const DWORD n = GetModuleFileName(m, path, sizeof path);
  ASSERT_GT(n, 0u);
  EXPECT_EQ(std::strlen(path), n);
  EXPECT_NE(std::string(path).find("libm.so.6"), std::string::npos);
  char tiny[4];
  EXPECT_EQ(GetModuleFileName(m, tiny, sizeof tiny), 4u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(tiny[3], '\0');
  EXPECT_TRUE(FreeLibrary(m));
}

TEST(Modules, GetModuleHandleNeverLoads) {
  // libc is loaded into every program; GetModuleHandle finds it without a new reference.
  HMODULE libc = GetModuleHandle("libc.so.6");
  ASSERT_NE(libc, nullptr);
  EXPECT_NE(GetProcAddress(libc, "strlen"), nullptr);

  // zlib is installed but this test program does not use it.
  ASSERT_EQ(GetModuleHandle("libz.so.1"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
  HMODULE z = LoadLibrary("libz.so.1");
  ASSERT_NE(z, nullptr) << win32::lastLoadError();
  EXPECT_EQ(GetModuleHandle("libz.so.1"), z);
  // The Windows spelling finds the same module.
  EXPECT_EQ(GetModuleHandle("z.dll"), z);
  EXPECT_TRUE(FreeLibrary(z));
  EXPECT_EQ(GetModuleHandle("libz.so.1"), nullptr);

  char path[4096];
  ASSERT_GT(GetModuleFileName(nullptr, path, sizeof path), 0u);
  EXPECT_NE(std::string(path).find("kavrin_win32_tests"), std::string::npos);
}
