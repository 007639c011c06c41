// KAVRINREG run as installation runs it: a program of its own, against a registry file and a
// journal of its own per test.
#include "JdkRegTestSupport.h"
#include "TestSupport.h"
#include "Win32.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace jdkreg_test;
using kavrin_test::CommandResult;
using kavrin_test::ScopedEnv;
using kavrin_test::TempDir;

namespace {

const char kBroadcastLine[] = "Broadcast\t26\tEnvironment";

class RegistrationTool : public ::testing::Test {
 protected:
  TempDir dir{"jdkreg"};
  const std::string registryFile = dir.file("registry.reg");
  const std::string journalFile = dir.file("journal.txt");
  ScopedEnv registryEnv{"KAVRIN_REGISTRY", registryFile};
  ScopedEnv journalEnv{"KAVRIN_JOURNAL", journalFile};
  ScopedEnv failEnv{"KAVRIN_REGISTRY_FAIL", std::nullopt};
  ScopedEnv noAdminEnv{"KAVRIN_REGISTRY_NOADMIN", std::nullopt};

  // Runs the tool, which must end with exit code 0 and print nothing.
  void runTool(const std::vector<std::string>& args = {}) {
    std::vector<std::string> argv{KAVRINREG_PROGRAM};
    argv.insert(argv.end(), args.begin(), args.end());
    const CommandResult r = kavrin_test::runCommand(argv, 60);
    ASSERT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(r.output, "");
  }

  std::vector<std::string> journalLines() const {
    std::ifstream in(journalFile);
    return kavrin_test::readLines(in);
  }

  std::string registryText() const {
    return win32::fileExists(registryFile) ? kavrin_test::readFile(registryFile) : std::string("<none>");
  }

  // A kit home with the given files (relative paths; a trailing '/' makes a folder).
  std::string makeKit(const std::string& name, const std::vector<std::string>& entries) {
    const std::string home = dir.file(name);
    std::filesystem::create_directories(home);
    for (const std::string& entry : entries) {
      if (!entry.empty() && entry.back() == '/')
        std::filesystem::create_directories(home + "/" + entry);
      else
        kavrin_test::writeFile(home + "/" + entry, std::string("ELF"));
    }
    return home;
  }

  void expectMirrored(const std::string& mirrorVersion, const std::string& javaHome, const std::string& runtimeLib) {
    SCOPED_TRACE(mirrorVersion);
    EXPECT_EQ(stringValue(mirrorVersion, "JavaHome"), javaHome);
    EXPECT_EQ(stringValue(mirrorVersion, "RuntimeLib"), runtimeLib);
  }
};

std::string exportText(const std::string& key, const std::string& file) {
  const LONG rc = registry::exportKey(key, file);
  if (rc != ERROR_SUCCESS) return "<error " + std::to_string(rc) + ">";
  return kavrin_test::readFile(file);
}

// The VM library that the runtime library's load() without arguments would take: the JavaSoft
// runtime key, else the JavaSoft mirror, else the IBM mirror; its CurrentVersion; the first
// version subkey whose name begins with it and that has a RuntimeLib.
std::optional<std::string> libraryTheRuntimeWouldLoad() {
  Key base;
  for (const char* path : {kSunRuntime, kSunMirror, kIbmMirror}) {
    if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, base.out()) == ERROR_SUCCESS) break;
  }
  if (base.get() == nullptr) return std::nullopt;
  char buffer[MAX_PATH] = {};
  DWORD size = sizeof buffer;
  if (RegQueryValueEx(base.get(), "CurrentVersion", nullptr, nullptr, reinterpret_cast<LPBYTE>(buffer), &size) !=
      ERROR_SUCCESS)
    return std::nullopt;
  const std::string version = buffer;
  for (DWORD index = 0;; ++index) {
    char name[MAX_PATH] = {};
    DWORD nameSize = sizeof name;
    if (RegEnumKeyEx(base.get(), index, name, &nameSize, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
      return std::nullopt;
    if (std::string(name).compare(0, version.size(), version) != 0) continue;
    Key sub;
    if (RegOpenKeyEx(base.get(), name, 0, KEY_READ, sub.out()) != ERROR_SUCCESS) continue;
    char library[MAX_PATH] = {};
    DWORD librarySize = sizeof library;
    if (RegQueryValueEx(sub.get(), "RuntimeLib", nullptr, nullptr, reinterpret_cast<LPBYTE>(library), &librarySize) ==
        ERROR_SUCCESS)
      return std::string(library);
  }
}

}  // namespace

TEST_F(RegistrationTool, KitWithoutRuntimeIsMirroredOnlyForItsVendor) {
  const std::string ibmHome = makeKit("ibm141", {"jre/lib/amd64/server/libjvm.so"});
  registerVendor(kIbmKit, "1.4.1", {{"1.4.1", ibmHome}});
  registerVendor(kSunRuntime, "1.4.2", {{"1.4.2", "/opt/j2re1.4.2"}});
  setString(join(kSunRuntime, "1.4.2"), "RuntimeLib", "/opt/j2re1.4.2/lib/server/libjvm.so");
  registerVendor(kSunKit, "1.4.2", {{"1.4.2", "/opt/j2sdk1.4.2"}});
  const std::string ibmBefore = exportText("HKLM\\SOFTWARE\\IBM", dir.file("ibm-before.reg"));
  const std::string sunBefore = exportText("HKLM\\SOFTWARE\\JavaSoft", dir.file("sun-before.reg"));

  runTool({"--arguments", "are ignored"});

  EXPECT_EQ(subkeys(kIbmMirror), std::vector<std::string>{"1.4.1"});
  expectMirrored(join(kIbmMirror, "1.4.1"), ibmHome + "/jre", ibmHome + "/jre/lib/amd64/server/libjvm.so");
  EXPECT_EQ(valueNames(join(kIbmMirror, "1.4.1")), (std::vector<std::string>{"JavaHome", "RuntimeLib"}));
  EXPECT_EQ(stringValue(kIbmMirror, "CurrentVersion"), "1.4.1");
  // Nothing for JavaSoft, whose runtime is registered; the vendors' keys are untouched.
  EXPECT_FALSE(keyExists("SOFTWARE\\QUENMAR\\JavaSoft"));
  EXPECT_EQ(exportText("HKLM\\SOFTWARE\\IBM", dir.file("ibm-after.reg")), ibmBefore);
  EXPECT_EQ(exportText("HKLM\\SOFTWARE\\JavaSoft", dir.file("sun-after.reg")), sunBefore);

  EXPECT_EQ(journalLines(), std::vector<std::string>{kBroadcastLine});
}

TEST_F(RegistrationTool, WithoutAnyKitNothingIsWrittenButTheBroadcastIsSent) {
  // No registry file at all.
  runTool();
  EXPECT_EQ(registryText(), "<none>");
  EXPECT_EQ(journalLines(), std::vector<std::string>{kBroadcastLine});

  // Runtimes only, of both vendors; an IBM kit key without any version.
  registerVendor(kSunRuntime, "17", {{"17", kavrin_test::kJdkHome}});
  registerVendor(kIbmRuntime, "1.4.1", {{"1.4.1", "/opt/ibm"}});
  registerVendor(kIbmKit, "1.4.1", {});
  const std::string before = registryText();
  runTool();
  EXPECT_EQ(registryText(), before);
  EXPECT_FALSE(keyExists("SOFTWARE\\QUENMAR"));

  // Without the IBM runtime, the version-less kit still gives no mirror.
  ASSERT_EQ(RegDeleteTree(HKEY_LOCAL_MACHINE, kIbmRuntime), ERROR_SUCCESS);
  const std::string withoutIbmRuntime = registryText();
  runTool();
  EXPECT_EQ(registryText(), withoutIbmRuntime);
  EXPECT_EQ(journalLines(), (std::vector<std::string>{kBroadcastLine, kBroadcastLine, kBroadcastLine}));
}

TEST_F(RegistrationTool, SecondRunLeavesTheSameRegistry) {
  registerVendor(kIbmKit, "1.4.1", {{"1.4.1", makeKit("ibm", {"jre/"})}, {"1.3.1", "/opt/ibm131"}});
  registerVendor(kSunKit, "17", {{"17", kavrin_test::kJdkHome}});
  runTool();
  const std::string once = registryText();
  ASSERT_NE(once.find("QUENMAR"), std::string::npos);
  runTool();
  EXPECT_EQ(registryText(), once);
  EXPECT_EQ(journalLines().size(), 2u);
}

TEST_F(RegistrationTool, Jdk17KitIsFoundByTheRuntimeLibrarysDefaultLookup) {
  const std::string jdk = kavrin_test::kJdkHome;
  ASSERT_FALSE(win32::isDirectory(jdk + "/jre")) << "a JDK 9 or later has no jre folder";
  registerVendor(kSunKit, "17", {{"17", jdk}});

  runTool();

  expectMirrored(join(kSunMirror, "17"), jdk, jdk + "/lib/server/libjvm.so");
  EXPECT_EQ(stringValue(kSunMirror, "CurrentVersion"), "17");
  EXPECT_FALSE(keyExists("SOFTWARE\\QUENMAR\\IBM"));

  const std::optional<std::string> library = libraryTheRuntimeWouldLoad();
  ASSERT_TRUE(library.has_value());
  EXPECT_EQ(*library, kavrin_test::kLibJvm);
  EXPECT_TRUE(win32::fileExists(*library)) << *library;
}

TEST_F(RegistrationTool, EveryKitVersionIsMirroredWithTheLayoutItHas) {
  // JDK 8 style: the runtime in jre/, the VM under lib/amd64.
  const std::string jdk8 = makeKit("jdk8", {"jre/lib/amd64/server/libjvm.so"});
  // A client VM only.
  const std::string client = makeKit("client", {"jre/lib/client/libjvm.so", "jre/lib/amd64/client/libjvm.so"});
  // Server and client: the server VM comes first.
  const std::string both = makeKit("both", {"lib/client/libjvm.so", "lib/server/libjvm.so"});
  // A jre folder without any VM library.
  const std::string empty = makeKit("empty", {"jre/"});
  // A kit installed on another machine image.
  const std::string elsewhere = dir.file("not-here");
  registerVendor(kIbmKit, "1.6.0",
                 {{"1.8.0", jdk8}, {"1.5.0", client}, {"11", both}, {"1.4.2", empty}, {"1.3.1", elsewhere}});

  runTool();

  EXPECT_EQ(subkeys(kIbmMirror), (std::vector<std::string>{"1.3.1", "1.4.2", "1.5.0", "1.8.0", "11"}));
  expectMirrored(join(kIbmMirror, "1.8.0"), jdk8 + "/jre", jdk8 + "/jre/lib/amd64/server/libjvm.so");
  expectMirrored(join(kIbmMirror, "1.5.0"), client + "/jre", client + "/jre/lib/client/libjvm.so");
  expectMirrored(join(kIbmMirror, "11"), both, both + "/lib/server/libjvm.so");
  expectMirrored(join(kIbmMirror, "1.4.2"), empty + "/jre", empty + "/jre/lib/server/libjvm.so");
  expectMirrored(join(kIbmMirror, "1.3.1"), elsewhere, elsewhere + "/lib/server/libjvm.so");
  // The kit's current version is copied even though no such version key exists.
  EXPECT_EQ(stringValue(kIbmMirror, "CurrentVersion"), "1.6.0");
}

TEST_F(RegistrationTool, KitVersionsWithoutAUsableJavaHomeGetEmptyMirrorKeys) {
  const std::string good = makeKit("good", {"lib/server/libjvm.so"});
  registerVendor(kSunKit, "", {{"1.5.0", good}});
  createKey(join(kSunKit, "1.4.2"));                  // no JavaHome
  setString(join(kSunKit, "1.4.1"), "JavaHome", "");  // empty
  const DWORD number = 42;
  setValue(join(kSunKit, "1.4.0"), "JavaHome", REG_DWORD, &number, sizeof number);  // not text
  setString(join(kSunKit, "1.3.1"), "JavaHome", "/" + std::string(1100, 'x'));      // too long to read

  runTool();

  EXPECT_EQ(subkeys(kSunMirror), (std::vector<std::string>{"1.3.1", "1.4.0", "1.4.1", "1.4.2", "1.5.0"}));
  for (const char* version : {"1.3.1", "1.4.0", "1.4.1", "1.4.2"})
    EXPECT_TRUE(valueNames(join(kSunMirror, version)).empty()) << version;
  expectMirrored(join(kSunMirror, "1.5.0"), good, good + "/lib/server/libjvm.so");
  // The kit has no CurrentVersion, so neither has the mirror.
  EXPECT_TRUE(valueNames(kSunMirror).empty());
}

TEST_F(RegistrationTool, MalformedOrUnreadableRegistryIsLeftAsItIs) {
  const std::string garbage =
      "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\JavaSoft\\Java Development Kit\n"
      "\"CurrentVersion\"=\"17\n\x01\x02\xff\n";
  kavrin_test::writeFile(registryFile, garbage);
  runTool();
  EXPECT_EQ(kavrin_test::readFile(registryFile), garbage);
  EXPECT_EQ(journalLines(), std::vector<std::string>{kBroadcastLine});

  // A folder where the file should be.
  const std::string folder = dir.file("folder.reg");
  std::filesystem::create_directories(folder);
  ScopedEnv registryIsFolder("KAVRIN_REGISTRY", folder);
  runTool();
  EXPECT_TRUE(win32::isDirectory(folder));
  EXPECT_EQ(journalLines().size(), 2u);
}

TEST_F(RegistrationTool, FailureOnAMirrorVersionKeyEndsThatVendorsEnumeration) {
  registerVendor(kIbmKit, "1.5.0", {{"1.4.1", "/opt/ibm141"}, {"1.4.2", "/opt/ibm142"}, {"1.5.0", "/opt/ibm150"}});
  registerVendor(kSunKit, "17", {{"17", kavrin_test::kJdkHome}});
  ScopedEnv fail("KAVRIN_REGISTRY_FAIL", "HKEY_LOCAL_MACHINE\\" + join(kIbmMirror, "1.4.2") + "=5");

  runTool();

  ScopedEnv noFailure("KAVRIN_REGISTRY_FAIL", std::nullopt);
  EXPECT_EQ(subkeys(kIbmMirror), std::vector<std::string>{"1.4.1"});
  expectMirrored(join(kIbmMirror, "1.4.1"), "/opt/ibm141", "/opt/ibm141/lib/server/libjvm.so");
  EXPECT_EQ(stringValue(kIbmMirror, "CurrentVersion"), "1.5.0");
  // The other vendor is not affected.
  expectMirrored(join(kSunMirror, "17"), kavrin_test::kJdkHome, kavrin_test::kLibJvm);
  EXPECT_EQ(journalLines(), std::vector<std::string>{kBroadcastLine});
}

TEST_F(RegistrationTool, FailureOnTheWholeMirrorKeyWritesNothingForThatVendor) {
  registerVendor(kIbmKit, "1.4.1", {{"1.4.1", "/opt/ibm141"}});
  registerVendor(kSunKit, "17", {{"17", kavrin_test::kJdkHome}});
  ScopedEnv fail("KAVRIN_REGISTRY_FAIL", std::string("HKEY_LOCAL_MACHINE\\") + kIbmMirror + "=5");

  runTool();

  ScopedEnv noFailure("KAVRIN_REGISTRY_FAIL", std::nullopt);
  EXPECT_FALSE(keyExists(kIbmMirror));
  EXPECT_EQ(stringValue(kSunMirror, "CurrentVersion"), "17");
  expectMirrored(join(kSunMirror, "17"), kavrin_test::kJdkHome, kavrin_test::kLibJvm);
}

TEST_F(RegistrationTool, WithoutAdministratorRightsNothingChanges) {
  registerVendor(kSunKit, "17", {{"17", kavrin_test::kJdkHome}});
  const std::string before = registryText();
  ScopedEnv noAdmin("KAVRIN_REGISTRY_NOADMIN", "1");
  runTool();
  EXPECT_EQ(registryText(), before);
  EXPECT_EQ(journalLines(), std::vector<std::string>{kBroadcastLine});
}

TEST_F(RegistrationTool, ExistingMirrorsAreRewrittenNeverRemoved) {
  // An IBM mirror from an earlier kit, and a stale value for the current one.
  setString(kIbmMirror, "CurrentVersion", "1.3.1");
  setString(join(kIbmMirror, "1.3.1"), "JavaHome", "/opt/ibm131/jre");
  setString(join(kIbmMirror, "1.4.1"), "JavaHome", "/stale");
  setString(join(kIbmMirror, "1.4.1"), "Extra", "kept");
  registerVendor(kIbmKit, "1.4.1", {{"1.4.1", "/opt/ibm141"}});
  // A JavaSoft mirror whose vendor has since registered a runtime.
  setString(kSunMirror, "CurrentVersion", "1.4.2");
  setString(join(kSunMirror, "1.4.2"), "JavaHome", "/opt/j2sdk1.4.2/jre");
  registerVendor(kSunRuntime, "1.4.2", {{"1.4.2", "/opt/j2re1.4.2"}});
  registerVendor(kSunKit, "1.4.2", {{"1.4.2", "/opt/j2sdk1.4.2"}});
  const std::string sunMirrorBefore = exportText("HKLM\\SOFTWARE\\QUENMAR\\JavaSoft", dir.file("before.reg"));

  runTool();

  EXPECT_EQ(subkeys(kIbmMirror), (std::vector<std::string>{"1.3.1", "1.4.1"}));
  EXPECT_EQ(stringValue(join(kIbmMirror, "1.3.1"), "JavaHome"), "/opt/ibm131/jre");
  expectMirrored(join(kIbmMirror, "1.4.1"), "/opt/ibm141", "/opt/ibm141/lib/server/libjvm.so");
  EXPECT_EQ(stringValue(join(kIbmMirror, "1.4.1"), "Extra"), "kept");
  EXPECT_EQ(stringValue(kIbmMirror, "CurrentVersion"), "1.4.1");
  EXPECT_EQ(exportText("HKLM\\SOFTWARE\\QUENMAR\\JavaSoft", dir.file("after.reg")), sunMirrorBefore);
}
