// File attributes, deletion, folder scans and whole-file saves.
#include "PlatformTestUtil.h"
#include "Win32.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>

#include <string>
#include <vector>

using platform_test::readText;
using platform_test::TempDir;
using platform_test::writeText;

namespace {

std::vector<std::string> findAll(const std::string& pattern, DWORD* firstError = nullptr) {
  std::vector<std::string> names;
  WIN32_FIND_DATA data;
  HANDLE h = FindFirstFile(pattern.c_str(), &data);
  if (h == INVALID_HANDLE_VALUE) {
    if (firstError != nullptr) *firstError = GetLastError();
    return names;
  }
  do {
    names.push_back(data.cFileName);
  } while (FindNextFile(h, &data));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
  EXPECT_TRUE(FindClose(h));
  return names;
}

}  // namespace

TEST(Files, AttributesFollowWritePermission) {
  TempDir dir;
  const std::string file = dir.file("a.txt");
  writeText(file, "12345");
  EXPECT_EQ(GetFileAttributes(file.c_str()), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(GetFileAttributes(dir.path().c_str()), FILE_ATTRIBUTE_DIRECTORY);

  ASSERT_TRUE(SetFileAttributes(file.c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(GetFileAttributes(file.c_str()), FILE_ATTRIBUTE_READONLY);
  struct stat st;
  ASSERT_EQ(stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0222, 0u);

  ASSERT_TRUE(SetFileAttributes(file.c_str(), FILE_ATTRIBUTE_NORMAL));
  EXPECT_EQ(GetFileAttributes(file.c_str()), FILE_ATTRIBUTE_NORMAL);
  ASSERT_EQ(stat(file.c_str(), &st), 0);
  EXPECT_NE(st.st_mode & S_IWUSR, 0u);

  EXPECT_EQ(GetFileAttributes(dir.file("missing").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_FALSE(SetFileAttributes(dir.file("missing").c_str(), FILE_ATTRIBUTE_NORMAL));
  EXPECT_EQ(GetFileAttributes(dir.file("a.txt/below").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

TEST(Files, DeleteRefusesReadOnlyFilesAndFolders) {
  TempDir dir;
  const std::string file = dir.file("gen.h");
  writeText(file, "x");
  ASSERT_TRUE(SetFileAttributes(file.c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_FALSE(DeleteFile(file.c_str()));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_TRUE(win32::fileExists(file));

  ASSERT_TRUE(SetFileAttributes(file.c_str(), FILE_ATTRIBUTE_NORMAL));
  EXPECT_TRUE(DeleteFile(file.c_str()));
  EXPECT_FALSE(win32::fileExists(file));
  EXPECT_FALSE(DeleteFile(file.c_str()));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

  EXPECT_FALSE(DeleteFile(dir.path().c_str()));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_TRUE(win32::isDirectory(dir.path()));
}

TEST(Files, SuffixScanIgnoresCaseAndSkipsDanglingLinks) {
  TempDir dir;
  writeText(dir.file("b.jar"), "1");
  writeText(dir.file("A.JAR"), "22");
  writeText(dir.file("c.Jar"), "333");
  writeText(dir.file("notes.txt"), "");
  writeText(dir.file("jar"), "");
  ASSERT_EQ(mkdir(dir.file("sub.jar").c_str(), 0755), 0);
  ASSERT_EQ(symlink(dir.file("gone.jar").c_str(), dir.file("dangling.jar").c_str()), 0);
  ASSERT_EQ(symlink(dir.file("b.jar").c_str(), dir.file("link.jar").c_str()), 0);

  const std::vector<std::string> expected{"A.JAR", "b.jar", "c.Jar", "link.jar", "sub.jar"};
  EXPECT_EQ(findAll(dir.path() + "/*.jar"), expected);
  EXPECT_EQ(win32::listFolder(dir.path(), ".JAR"), expected);

  // Attributes and sizes come with each entry; a link reports its target.
  WIN32_FIND_DATA data;
  HANDLE h = FindFirstFile((dir.path() + "/*.jar").c_str(), &data);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_STREQ(data.cFileName, "A.JAR");
  EXPECT_EQ(data.nFileSize, 2u);
  ASSERT_TRUE(FindNextFile(h, &data));
  ASSERT_TRUE(FindNextFile(h, &data));
  ASSERT_TRUE(FindNextFile(h, &data));
  EXPECT_STREQ(data.cFileName, "link.jar");
  EXPECT_EQ(data.nFileSize, 1u);
  ASSERT_TRUE(FindNextFile(h, &data));
  EXPECT_EQ(data.dwFileAttributes, FILE_ATTRIBUTE_DIRECTORY);
  ASSERT_TRUE(FindClose(h));
  EXPECT_FALSE(FindNextFile(h, &data));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_FALSE(FindClose(h));
}

TEST(Files, StarListsEverythingButDotEntriesAndExactNamesMatchExactly) {
  TempDir dir;
  writeText(dir.file("Only.class"), "x");
  writeText(dir.file("other"), "x");
  EXPECT_EQ(findAll(dir.path() + "/*"), (std::vector<std::string>{"Only.class", "other"}));
  EXPECT_EQ(findAll(dir.path() + "/Only.class"), std::vector<std::string>{"Only.class"});
  EXPECT_EQ(findAll(dir.path() + "/O?ly.*"), std::vector<std::string>{"Only.class"});
  EXPECT_EQ(win32::listFolder(dir.path(), ""), (std::vector<std::string>{"Only.class", "other"}));

  DWORD error = 0;
  EXPECT_TRUE(findAll(dir.path() + "/only.class", &error).empty());
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_TRUE(findAll(dir.path() + "/*.zip", &error).empty());
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_TRUE(findAll(dir.file("missing") + "/*.jar", &error).empty());
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_TRUE(win32::listFolder(dir.file("missing"), ".jar").empty());
}

// --- Whole-file saves -------------------------------------------------------------------------

TEST(FileSave, AFailedOrKilledSaveLeavesTheFormerFileAndTheNextSaveClearsWhatAKilledOneLeft) {
  TempDir dir;
  const std::string file = dir.file("App.jniprj");
  ASSERT_EQ(win32::replaceFile(file, win32::TempName::Hidden, "first"), 0);
  EXPECT_EQ(readText(file), "first");
  chmod(file.c_str(), 0600);
  const std::string big(100000, 'x');

  // A full disk part of the way: the file is as it was, and no temporary is left.
  win32::injectWriteFailure("App.jniprj", ENOSPC, 4096);
  EXPECT_EQ(win32::replaceFile(file, win32::TempName::Hidden, big), ENOSPC);
  win32::clearWriteFailures();
  EXPECT_EQ(readText(file), "first");
  EXPECT_EQ(win32::listFolder(dir.path(), ""), std::vector<std::string>{"App.jniprj"});

  // Killed in the middle of writing: the file is whole, the temporary stays behind.
  EXPECT_EXIT(
      {
        win32::injectKillDuringWrite("App.jniprj", 4096);
        win32::replaceFile(file, win32::TempName::Hidden, big);
      },
      ::testing::KilledBySignal(SIGKILL), "");
  EXPECT_EQ(readText(file), "first");
  const std::vector<std::string> left = win32::listFolder(dir.path(), "");
  ASSERT_EQ(left.size(), 2u);
  const std::string leftover = left[0] == "App.jniprj" ? left[1] : left[0];
  EXPECT_EQ(leftover.rfind(".App.jniprj.", 0), 0u) << leftover;
  EXPECT_EQ(leftover.size(), std::string(".App.jniprj.XXXXXX").size());

  // A temporary some other save is writing now (it holds its lock) is not touched; the
  // leftover of the killed one is removed by the next save, which keeps the file's mode.
  const std::string busy = dir.file(".App.jniprj.busy01");
  const int fd = open(busy.c_str(), O_WRONLY | O_CREAT, 0600);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(flock(fd, LOCK_EX), 0);
  writeText(dir.file("App.jniprj.other1"), "not a temporary of this file");
  ASSERT_EQ(win32::replaceFile(file, win32::TempName::Hidden, "second"), 0);
  close(fd);
  EXPECT_EQ(readText(file), "second");
  struct stat st {};
  ASSERT_EQ(stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(win32::listFolder(dir.path(), ""),
            (std::vector<std::string>{".App.jniprj.busy01", "App.jniprj", "App.jniprj.other1"}));

  // The other naming: "registry.reg.XXXXXX"; a folder in the way is refused.
  const std::string reg = dir.file("registry.reg");
  ASSERT_EQ(win32::replaceFile(reg, win32::TempName::Beside, "r"), 0);
  writeText(reg + ".AbC123", "left by a killed save");
  ASSERT_EQ(win32::replaceFile(reg, win32::TempName::Beside, "r2"), 0);
  EXPECT_FALSE(win32::fileExists(reg + ".AbC123"));
  EXPECT_EQ(win32::replaceFile(dir.path(), win32::TempName::Beside, "x"), EISDIR);
}
