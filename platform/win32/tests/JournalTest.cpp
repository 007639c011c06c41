// Message boxes and broadcasts recorded in the journal, in memory and in a file.
#include "PlatformTestUtil.h"
#include "Win32.h"

#include <gtest/gtest.h>

#include <string>

using platform_test::ScopedEnv;
using platform_test::TempDir;

class Journal : public ::testing::Test {
 protected:
  void SetUp() override {
    win32::clearJournal();
    win32::setMessageBoxAnswer(0);
  }
  void TearDown() override { win32::setMessageBoxAnswer(0); }
};

TEST_F(Journal, MessageBoxIsRecordedAndAnsweredWithoutBlocking) {
  EXPECT_EQ(MessageBox(nullptr, "See KAVRIN.LOG", "KAVRIN", MB_OK | MB_ICONWARNING), IDOK);
  EXPECT_EQ(MessageBox(nullptr, "Replace?", "KAVRIN", MB_YESNO | MB_ICONQUESTION), IDYES);
  win32::setMessageBoxAnswer(IDNO);
  EXPECT_EQ(MessageBox(nullptr, "Replace?", "KAVRIN", MB_YESNO), IDNO);
  win32::setMessageBoxAnswer(IDCANCEL);
  EXPECT_EQ(MessageBox(nullptr, "Go on?", nullptr, MB_OKCANCEL), IDCANCEL);

  const auto entries = win32::journal();
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(entries[0].kind, "MessageBox");
  EXPECT_EQ(entries[0].caption, "KAVRIN");
  EXPECT_EQ(entries[0].text, "See KAVRIN.LOG");
  EXPECT_EQ(entries[0].type, MB_OK | MB_ICONWARNING);
  EXPECT_EQ(entries[3].caption, "Error");  // the default caption

  win32::clearJournal();
  EXPECT_TRUE(win32::journal().empty());
}

TEST_F(Journal, BroadcastOfSettingChangeIsRecorded) {
  DWORD result = 77;
  EXPECT_NE(SendMessageTimeout(HWND_BROADCAST, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>("Environment"),
                               SMTO_ABORTIFHUNG, 6000, &result),
            0);
  EXPECT_EQ(result, 0u);
  // A message to a window: there are none, nothing is recorded.
  EXPECT_EQ(SendMessageTimeout(reinterpret_cast<HWND>(0x1234), WM_SETTINGCHANGE, 0, 0, 0, 10, nullptr), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
  const auto entries = win32::journal();
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].kind, "Broadcast");
  EXPECT_EQ(entries[0].caption, "26");
  EXPECT_EQ(entries[0].text, "Environment");
}

TEST_F(Journal, EntriesAreAppendedToTheJournalFile) {
  TempDir dir;
  const std::string file = dir.file("journal.txt");
  platform_test::writeText(file, "earlier line\n");
  {
    ScopedEnv env("KAVRIN_JOURNAL", file.c_str());
    MessageBox(nullptr, "line one\nline\ttwo", "Caption", MB_OK);
    SendMessageTimeout(HWND_BROADCAST, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>("Environment"), SMTO_ABORTIFHUNG,
                       6000, nullptr);
  }
  MessageBox(nullptr, "not written", "Caption", MB_OK);  // variable gone
  EXPECT_EQ(platform_test::readText(file),
            "earlier line\n"
            "MessageBox\tCaption\tline one\\nline\\ttwo\n"
            "Broadcast\t26\tEnvironment\n");
  EXPECT_EQ(win32::journal().size(), 3u);
}
