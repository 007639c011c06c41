// The registry file: its text, its location, bad contents, sharing between processes, and saves
// that fail.
#include "RegistryTestSupport.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <thread>

using platform_test::readText;
using platform_test::writeText;
using RegistryFile = RegistryTest;

TEST_F(RegistryFile, WritesTheRegFormat) {
  {
    KeyHolder jre;
    ASSERT_EQ(create(HKEY_LOCAL_MACHINE, "SOFTWARE\\JavaSoft\\Java Runtime Environment", jre), ERROR_SUCCESS);
    ASSERT_EQ(setString(jre.get(), "CurrentVersion", "17"), ERROR_SUCCESS);
    KeyHolder env;
    ASSERT_EQ(create(HKEY_CURRENT_USER, "Environment", env), ERROR_SUCCESS);
    ASSERT_EQ(setString(HKEY_CURRENT_USER, nullptr, "root default"), ERROR_SUCCESS);
  }
  EXPECT_EQ(readText(file()),
            "Windows Registry Editor Version 5.00\n"
            "\n"
            "[HKEY_CURRENT_USER]\n"
            "@=\"root default\"\n"
            "\n"
            "[HKEY_CURRENT_USER\\Environment]\n"
            "\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE]\n"
            "\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\JavaSoft]\n"
            "\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\JavaSoft\\Java Runtime Environment]\n"
            "\"CurrentVersion\"=\"17\"\n"
            "\n");
}

TEST_F(RegistryFile, ReadsWhatOthersWroteAndFollowsTheVariable) {
  // A text ends at its first NUL, quoted as in hex.
  const char cut[] = "\"Cut\"=\"/opt\0/ibm\"\r\n";
  writeText(file(),
            "\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n"
            "\r\n"
            "; written by hand\r\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\IBM\\Java2 Runtime Environment\\1.4]\r\n"
            "\"JavaHome\"=\"/opt/ibm\"\r\n"
            "\"Bytes\"=hex:01,02,\\\r\n"
            "  03\r\n" +
                std::string(cut, sizeof cut - 1));
  KeyHolder key;
  ASSERT_EQ(open(HKEY_LOCAL_MACHINE, "SOFTWARE\\IBM\\Java2 Runtime Environment\\1.4", key), ERROR_SUCCESS);
  EXPECT_EQ(getString(key.get(), "JavaHome"), "/opt/ibm");
  DWORD size = 0;
  ASSERT_EQ(RegQueryValueEx(key.get(), "Bytes", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 3u);
  ASSERT_EQ(RegQueryValueEx(key.get(), "Cut", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 5u) << "\"/opt\" and its terminator";

  // Another file named by the variable is used at the next call.
  const std::string second = path("second.reg");
  writeText(second, "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Only]\n");
  platform_test::ScopedEnv env("KAVRIN_REGISTRY", second.c_str());
  EXPECT_EQ(registry::registryFilePath(), second);
  KeyHolder only;
  EXPECT_EQ(open(HKEY_CURRENT_USER, "Only", only), ERROR_SUCCESS);
  EXPECT_EQ(open(HKEY_LOCAL_MACHINE, "SOFTWARE\\IBM", only), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryFile, DefaultLivesInTheUsersConfigurationFolder) {
  platform_test::ScopedEnv noFile("KAVRIN_REGISTRY", nullptr);
  {
    platform_test::ScopedEnv config("XDG_CONFIG_HOME", path("config").c_str());
    EXPECT_EQ(registry::registryFilePath(), path("config") + "/kavrin/registry.reg");
    // The folder is made at the first change.
    KeyHolder key;
    ASSERT_EQ(create(HKEY_CURRENT_USER, "Environment", key), ERROR_SUCCESS);
    EXPECT_NE(readText(path("config/kavrin/registry.reg")).find("[HKEY_CURRENT_USER\\Environment]"), std::string::npos);
  }
  platform_test::ScopedEnv config("XDG_CONFIG_HOME", nullptr);
  platform_test::ScopedEnv home("HOME", path("home").c_str());
  EXPECT_EQ(registry::registryFilePath(), path("home") + "/.config/kavrin/registry.reg");
}

namespace {

// The first line of a registry file and the blank line after it; then a key to hold values.
const std::string kHeader = "Windows Registry Editor Version 5.00\n\n";
const std::string kKeyA = kHeader + "[HKEY_CURRENT_USER\\A]\n";

struct Malformed {
  std::string text;
  const char* reasonPart;
  int line;
};

}  // namespace

TEST_F(RegistryFile, MalformedFileIsReportedAndNeverWrittenOver) {
  const Malformed cases[] = {
      {"REGEDIT5\n[HKEY_CURRENT_USER\\A]\n", "expected \"Windows Registry Editor", 1},
      {kHeader + "\"v\"=\"1\"\n", "before any [key]", 3},
      {kKeyA + "\"v\"=\"open\n", "unterminated string", 4},
      {kKeyA + "\"v\"=dword:xyz\n", "dword", 4},
      {kHeader + "[HKEY_NOWHERE\\A]\n", "bad key name", 3},
      {kHeader + "[HKEY_CURRENT_USER\\A\n", "closing ']'", 3},
      {kKeyA + "\"v\"=hex:1,zz\n", "hex data", 4},
      {kKeyA + "\"v\"=\"C:\\temp\"\n", "unknown escape", 4},
      {kKeyA + "garbage\n", "unrecognised line", 4},
      {"\xFF\xFE"
       "W\0",
       "UTF-16", 1},
  };
  for (const Malformed& c : cases) {
    SCOPED_TRACE(c.text);
    writeText(file(), c.text);
    KeyHolder key;
    EXPECT_EQ(open(HKEY_CURRENT_USER, "A", key), ERROR_BADDB);
    const std::string reason = registry::lastFileError();
    EXPECT_NE(reason.find(file()), std::string::npos) << reason;
    EXPECT_NE(reason.find("line " + std::to_string(c.line) + ":"), std::string::npos) << reason;
    EXPECT_NE(reason.find(c.reasonPart), std::string::npos) << reason;

    // Writes are refused and the file stays exactly as it was.
    EXPECT_EQ(create(HKEY_CURRENT_USER, "B", key), ERROR_BADDB);
    EXPECT_EQ(setString(HKEY_CURRENT_USER, "v", "x"), ERROR_BADDB);
    EXPECT_EQ(RegDeleteTree(HKEY_CURRENT_USER, "A"), ERROR_BADDB);
    EXPECT_EQ(readText(file()), c.text);
  }

  // Keys nested deeper than any registry holds are refused, not followed until the stack ends.
  std::string deep = kHeader + "[HKEY_CURRENT_USER";
  for (int i = 0; i < 100000; ++i) deep += "\\k";
  deep += "]\n";
  writeText(file(), deep);
  KeyHolder deepKey;
  EXPECT_EQ(open(HKEY_CURRENT_USER, "k", deepKey), ERROR_BADDB);
  EXPECT_NE(registry::lastFileError().find("512 deep"), std::string::npos);
  EXPECT_EQ(readText(file()), deep);

  // Once mended, the file works again and the error is gone.
  writeText(file(), kKeyA + "\"v\"=\"1\"\n");
  KeyHolder key;
  ASSERT_EQ(open(HKEY_CURRENT_USER, "A", key), ERROR_SUCCESS);
  EXPECT_EQ(registry::lastFileError(), "");
  EXPECT_EQ(getString(key.get(), "v"), "1");
}

TEST_F(RegistryFile, MalformedFileKeepsFailingHandlesAlreadyOpen) {
  KeyHolder key;
  ASSERT_EQ(create(HKEY_CURRENT_USER, "A", key), ERROR_SUCCESS);
  ASSERT_EQ(setString(key.get(), "v", "1"), ERROR_SUCCESS);
  const std::string good = readText(file());
  const std::string broken = good + "\"dangling\n";
  writeText(file(), broken);
  EXPECT_EQ(setString(key.get(), "w", "2"), ERROR_BADDB);
  EXPECT_EQ(getString(key.get(), "v"), "<error " + std::to_string(ERROR_BADDB) + ">");
  EXPECT_EQ(readText(file()), broken);
}

TEST_F(RegistryFile, UnreadableFileIsAnErrorNotAnEmptyRegistry) {
  // A folder where the file should be: nothing can be read, nothing is written.
  ASSERT_EQ(mkdir(file().c_str(), 0755), 0);
  KeyHolder key;
  EXPECT_NE(open(HKEY_CURRENT_USER, "A", key), ERROR_FILE_NOT_FOUND);
  EXPECT_NE(registry::lastFileError(), "");
  EXPECT_NE(create(HKEY_CURRENT_USER, "A", key), ERROR_SUCCESS);
  struct stat st;
  ASSERT_EQ(stat(file().c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));

  // A path below a regular file: there is no registry yet, and none can be made.
  const std::string below = path("plain") + "/registry.reg";
  writeText(path("plain"), "x");
  platform_test::ScopedEnv env("KAVRIN_REGISTRY", below.c_str());
  EXPECT_EQ(open(HKEY_CURRENT_USER, "A", key), ERROR_FILE_NOT_FOUND);
  EXPECT_NE(create(HKEY_CURRENT_USER, "A", key), ERROR_SUCCESS);
  EXPECT_NE(registry::lastFileError().find("plain"), std::string::npos);
}

namespace {

// Adds `count` values named "<prefix><i>" to HKCU\Shared, each in a call of its own.
bool addValues(const std::string& prefix, int count) {
  for (int i = 0; i < count; ++i) {
    HKEY key = nullptr;
    if (RegCreateKeyEx(HKEY_CURRENT_USER, "Shared", 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS) {
      return false;
    }
    const std::string name = prefix + std::to_string(i);
    const LONG rc = RegSetValueEx(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(name.c_str()),
                                  static_cast<DWORD>(name.size() + 1));
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS) return false;
  }
  return true;
}

}  // namespace

TEST_F(RegistryFile, TwoProcessesAddingAtOnceLoseNothing) {
  int gate[2];
  ASSERT_EQ(pipe(gate), 0);
  pid_t children[2];
  for (int c = 0; c < 2; ++c) {
    children[c] = fork();
    ASSERT_GE(children[c], 0);
    if (children[c] == 0) {
      close(gate[1]);
      char go;
      // Both start when the parent closes the gate.
      const bool opened = read(gate[0], &go, 1) == 0;
      _exit(opened && addValues(c == 0 ? "first_" : "second_", 200) ? 0 : 1);
    }
  }
  close(gate[0]);
  close(gate[1]);
  for (pid_t child : children) {
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }

  KeyHolder key;
  ASSERT_EQ(open(HKEY_CURRENT_USER, "Shared", key), ERROR_SUCCESS);
  const std::vector<std::string> names = valueNames(key.get());
  EXPECT_EQ(names.size(), 400u);
  for (const char* prefix : {"first_", "second_"}) {
    for (int i = 0; i < 200; ++i) {
      const std::string name = prefix + std::to_string(i);
      ASSERT_EQ(getString(key.get(), name.c_str()), name);
    }
  }
  // No temporary files are left beside the registry.
  EXPECT_EQ(std::vector<std::string>(win32::listFolder(scratch(), "")),
            (std::vector<std::string>{"registry.reg", "registry.reg.lock"}));
}

TEST_F(RegistryFile, ThreadsOfOneProcessLoseNothing) {
  std::vector<std::thread> threads;
  bool ok[4] = {};
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t, &ok] { ok[t] = addValues("t" + std::to_string(t) + "_", 30); });
  }
  for (auto& t : threads) t.join();
  for (bool b : ok) EXPECT_TRUE(b);
  KeyHolder key;
  ASSERT_EQ(open(HKEY_CURRENT_USER, "Shared", key), ERROR_SUCCESS);
  EXPECT_EQ(valueNames(key.get()).size(), 120u);
}

TEST_F(RegistryFile, AChangeThatCannotBeSavedKeepsTheFileAndAKilledSaveLeavesNothingForLong) {
  KeyHolder env;
  ASSERT_EQ(create(HKEY_CURRENT_USER, "Environment", env), ERROR_SUCCESS);
  ASSERT_EQ(setString(env.get(), "PATH", "/bin"), ERROR_SUCCESS);
  const std::string before = readText(file());

  win32::injectWriteFailure("registry.reg", ENOSPC, 10);
  EXPECT_EQ(setString(env.get(), "JAVA_HOME", "/jdk"), ERROR_DISK_FULL);
  win32::clearWriteFailures();
  EXPECT_NE(registry::lastFileError().find(file()), std::string::npos) << registry::lastFileError();
  EXPECT_EQ(readText(file()), before);

  EXPECT_EXIT(
      {
        win32::injectKillDuringWrite("registry.reg", 10);
        setString(env.get(), "JAVA_HOME", "/jdk");
      },
      ::testing::KilledBySignal(SIGKILL), "");
  EXPECT_EQ(readText(file()), before);
  EXPECT_EQ(win32::listFolder(scratch(), "").size(), 3u) << "the file, its lock and the killed save's temporary";
  ASSERT_EQ(setString(env.get(), "JAVA_HOME", "/jdk"), ERROR_SUCCESS);
  EXPECT_EQ(std::vector<std::string>(win32::listFolder(scratch(), "")),
            (std::vector<std::string>{"registry.reg", "registry.reg.lock"}));
  EXPECT_EQ(getString(env.get(), "JAVA_HOME"), "/jdk");
}
