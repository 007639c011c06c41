// The `reg` command-line tool.
#include "RegistryTestSupport.h"

using platform_test::readText;
using platform_test::run;
using platform_test::RunResult;
using platform_test::writeText;

class RegTool : public RegistryTest {
 protected:
  RunResult reg(std::vector<std::string> args) {
    args.insert(args.begin(), KAVRIN_REG_TOOL);
    return run(args, scratch());
  }
};

TEST_F(RegTool, ImportThenExportGivesTheSameText) {
  const std::string text =
      "Windows Registry Editor Version 5.00\n"
      "\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\JavaSoft]\n"
      "\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\JavaSoft\\Java Development Kit]\n"
      "\"CurrentVersion\"=\"17\"\n"
      "\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\JavaSoft\\Java Development Kit\\17]\n"
      "\"JavaHome\"=\"C:\\\\Program Files\\\\Java \\\"17\\\"\"\n"
      "@=\"default\"\n"
      "\"MicroVersion\"=dword:00000000\n"
      "\"Flags\"=hex:00,ff,10\n"
      "\"Path\"=hex(2):25,4a,25,00\n"
      "\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\JavaSoft\\Java Runtime Environment]\n"
      "\"CurrentVersion\"=\"17\"\n"
      "\n";
  writeText(path("in.reg"), text);
  RunResult r = reg({"import", path("in.reg")});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "The operation completed successfully.\n");

  r = reg({"export", "HKLM\\Software\\JAVASOFT", path("out.reg"), "/y"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(readText(path("out.reg")), text);

  // Export of a part holds only that part.
  r = reg({"export", "HKEY_LOCAL_MACHINE\\SOFTWARE\\JavaSoft\\Java Runtime Environment", path("jre.reg")});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(readText(path("jre.reg")),
            "Windows Registry Editor Version 5.00\n\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\JavaSoft\\Java Runtime Environment]\n"
            "\"CurrentVersion\"=\"17\"\n\n");
}

TEST_F(RegTool, ImportAppliesDeletionsAndMergesWithWhatIsThere) {
  ASSERT_EQ(reg({"add", "HKCU\\Keep", "/v", "a", "/d", "1"}).exitCode, 0);
  ASSERT_EQ(reg({"add", "HKCU\\Gone\\Deep", "/v", "a", "/d", "1"}).exitCode, 0);
  ASSERT_EQ(reg({"add", "HKCU\\Keep", "/v", "drop", "/d", "1"}).exitCode, 0);
  writeText(path("change.reg"),
            "Windows Registry Editor Version 5.00\n\n"
            "[-HKEY_CURRENT_USER\\Gone]\n\n"
            "[HKEY_CURRENT_USER\\Keep]\n\"drop\"=-\n\"b\"=\"2\"\n");
  ASSERT_EQ(reg({"import", path("change.reg")}).exitCode, 0);
  KeyHolder key;
  ASSERT_EQ(open(HKEY_CURRENT_USER, "Keep", key), ERROR_SUCCESS);
  EXPECT_EQ(valueNames(key.get()), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(open(HKEY_CURRENT_USER, "Gone", key), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegTool, BadImportChangesNothing) {
  ASSERT_EQ(reg({"add", "HKCU\\Keep", "/v", "a", "/d", "1"}).exitCode, 0);
  const std::string before = readText(file());
  writeText(path("bad.reg"),
            "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\New]\n\"x\"=\"1\"\n"
            "\"y\"=dword:nothex\n");
  RunResult r = reg({"import", path("bad.reg")});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("line 5"), std::string::npos) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(readText(file()), before);

  r = reg({"import", path("missing.reg")});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("missing.reg"), std::string::npos) << r.err;
}

TEST_F(RegTool, AddQueryAndDelete) {
  ASSERT_EQ(reg({"add", "HKLM\\SOFTWARE\\Test", "/ve", "/d", "root value", "/f"}).exitCode, 0);
  ASSERT_EQ(reg({"add", "HKLM\\SOFTWARE\\Test", "/v", "Count", "/t", "REG_DWORD", "/d", "42"}).exitCode, 0);
  ASSERT_EQ(reg({"add", "HKLM\\SOFTWARE\\Test", "/v", "Hex", "/t", "reg_dword", "/d", "0x10"}).exitCode, 0);
  ASSERT_EQ(reg({"add", "HKLM\\SOFTWARE\\Test\\Sub B"}).exitCode, 0);
  ASSERT_EQ(reg({"add", "HKLM\\SOFTWARE\\Test\\sub a", "-v", "x", "-d", "y"}).exitCode, 0);

  RunResult r = reg({"query", "HKEY_LOCAL_MACHINE\\software\\test"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out,
            "\nHKEY_LOCAL_MACHINE\\SOFTWARE\\Test\n"
            "    (Default)    REG_SZ    root value\n"
            "    Count    REG_DWORD    0x2a\n"
            "    Hex    REG_DWORD    0x10\n"
            "\n"
            "HKEY_LOCAL_MACHINE\\SOFTWARE\\Test\\sub a\n"
            "HKEY_LOCAL_MACHINE\\SOFTWARE\\Test\\Sub B\n");

  r = reg({"query", "HKLM\\SOFTWARE\\Test", "/v", "count"});
  ASSERT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "\nHKEY_LOCAL_MACHINE\\SOFTWARE\\Test\n    Count    REG_DWORD    0x2a\n\n");

  r = reg({"query", "HKLM\\SOFTWARE\\Test", "/s"});
  ASSERT_EQ(r.exitCode, 0);
  EXPECT_NE(r.out.find("HKEY_LOCAL_MACHINE\\SOFTWARE\\Test\\sub a\n    x    REG_SZ    y\n"), std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("End of search: 7 match(es) found."), std::string::npos) << r.out;

  r = reg({"delete", "HKLM\\SOFTWARE\\Test", "/v", "Hex", "/f"});
  ASSERT_EQ(r.exitCode, 0);
  r = reg({"query", "HKLM\\SOFTWARE\\Test", "/v", "Hex"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("unable to find"), std::string::npos);

  r = reg({"delete", "HKLM\\SOFTWARE\\Test", "/f"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  r = reg({"query", "HKLM\\SOFTWARE\\Test"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("ERROR:"), std::string::npos);
}

TEST_F(RegTool, FailuresExitWithOneAndAMessage) {
  const std::vector<std::vector<std::string>> bad = {
      {},
      {"frobnicate"},
      {"add"},
      {"add", "HKNOWHERE\\x"},
      {"add", "HKCU\\x", "/v", "n", "/t", "REG_DWORD", "/d", "twelve"},
      {"add", "HKCU\\x", "/v", "n", "/t", "REG_FANCY", "/d", "1"},
      {"add", "HKCU\\x", "/d", "data without a name"},
      {"add", "HKCU\\x", "/v"},
      {"add", "HKCU\\x", "/q"},
      {"delete", "HKCU"},
      {"delete", "HKCU\\does not exist"},
      {"export", "HKCU\\does not exist", "/tmp/never-written.reg"},
  };
  for (const auto& args : bad) {
    RunResult r = reg(args);
    std::string line;
    for (const auto& a : args) line += a + " ";
    EXPECT_EQ(r.exitCode, 1) << line;
    EXPECT_EQ(r.err.compare(0, 7, "ERROR: "), 0) << line << ": " << r.err;
    EXPECT_EQ(r.out, "") << line;
  }
  EXPECT_FALSE(win32::fileExists("/tmp/never-written.reg"));

  // A key the registry cannot hold: the message names the limit passed.
  std::string deep = "HKCU";
  for (int i = 0; i < 513; ++i) deep += "\\k";
  const struct {
    std::string key;
    std::string reason;
  } keys[] = {
      {deep, "the path nests keys more than 512 deep."},
      {"HKCU\\Software\\" + std::string(256, 'n'),
       "\"" + std::string(40, 'n') + "...\" is 256 characters long, more than 255."},
      {"HKNOWHERE\\x", "it must start with a root key: HKLM, HKCU, HKCR"},
  };
  for (const auto& k : keys) {
    RunResult r = reg({"add", k.key});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find(k.reason), std::string::npos) << r.err;
  }
  EXPECT_EQ(readText(file()).find("\\k\\k"), std::string::npos) << "nothing written";

  // The hooks reach the tool through its environment.
  setenv("KAVRIN_REGISTRY_NOADMIN", "1", 1);
  RunResult r = reg({"add", "HKLM\\SOFTWARE\\X", "/v", "a", "/d", "b"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("Access is denied"), std::string::npos) << r.err;
  EXPECT_EQ(reg({"add", "HKCU\\SOFTWARE\\X", "/v", "a", "/d", "b"}).exitCode, 0);
  unsetenv("KAVRIN_REGISTRY_NOADMIN");

  // A malformed registry file is named in the message and left alone.
  writeText(file(), "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\X\n");
  r = reg({"add", "HKCU\\Y"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("line 3"), std::string::npos) << r.err;
  EXPECT_EQ(readText(file()), "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\X\n");
}
