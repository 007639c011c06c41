// The mirror of runtimes embedded in development kits and the scan of the registered JVMs, over
// registry files of the tests' own.
#include "AddinTestSupport.h"
#include "JvmRegistry.h"
#include "TestPaths.h"

#include <set>

using namespace addintest;
using namespace jvmregistry;

namespace {

const std::string kHklm = "HKEY_LOCAL_MACHINE\\";
const std::string kMirror = kJavaSoftMirrorKey;

class JvmRegistryTest : public AddinTest {
 protected:
  // A kit home with an embedded runtime (jre/lib/server/libjvm.so), or without one.
  std::string makeKit(const std::string& name, bool withJre) {
    const std::string home = path(name);
    kavrin_test::writeFile(home + "/bin/javac", "");
    if (withJre) kavrin_test::writeFile(home + "/jre/lib/server/libjvm.so", "");
    return home;
  }
  static void registerKit(const std::string& version, const std::string& home, bool current = true) {
    std::string body = "[" + kHklm + kJavaSoftKitKey + "\\" + version + "]\n\"JavaHome\"=" + regQuoted(home) + "\n\n";
    if (current) body += "[" + kHklm + kJavaSoftKitKey + "]\n\"CurrentVersion\"=" + regQuoted(version) + "\n\n";
    importReg(body);
  }
  static void registerRuntime(const char* key, const std::string& version, const std::string& home) {
    importReg("[" + kHklm + key + "\\" + version + "]\n\"JavaHome\"=" + regQuoted(home) + "\n\n[" + kHklm + key +
              "]\n\"CurrentVersion\"=" + regQuoted(version) + "\n");
  }
  static void mirrorJavaSoft() { mirrorJdkRegistrations(kJavaSoftRuntimeKey, kJavaSoftKitKey, kJavaSoftMirrorKey); }
  static std::optional<std::string> mirrorValue(const std::string& version, const char* name) {
    return value(HKEY_LOCAL_MACHINE, version.empty() ? kMirror : kMirror + "\\" + version, name);
  }
  static std::set<std::string> names(const JvmDefinitionSet& jvms) {
    std::set<std::string> out;
    for (const JvmDefinition& jvm : jvms) out.insert(jvm.strName);
    return out;
  }
};

TEST_F(JvmRegistryTest, AKitWithoutARuntimeGetsAMirrorThatTheScanLists) {
  const std::string kit = makeKit("j2sdk1.4.2", true);
  registerKit("1.4.2", kit);

  mirrorJavaSoft();
  EXPECT_EQ(mirrorValue("", "CurrentVersion"), "1.4.2");
  EXPECT_EQ(mirrorValue("1.4.2", "JavaHome"), kit + "/jre");
  EXPECT_EQ(mirrorValue("1.4.2", "RuntimeLib"), kit + "/jre/lib/server/libjvm.so");

  JvmDefinitionSet installed, registrations;
  loadInstalledJvms(installed, registrations);
  ASSERT_EQ(names(installed), std::set<std::string>{"SUN1.4.2"});
  const JvmDefinition& jvm = *installed.begin();
  EXPECT_EQ(jvm.strJREPath, kit + "/jre");
  EXPECT_EQ(jvm.strJDKPath, kit);
  EXPECT_TRUE(jvm.setLibraries.empty());
  EXPECT_EQ(names(registrations), std::set<std::string>{"SUN1.4.2"});

  // Running again changes nothing.
  const std::string before = kavrin_test::readFile(registry::registryFilePath());
  mirrorJavaSoft();
  EXPECT_EQ(kavrin_test::readFile(registry::registryFilePath()), before);
}

TEST_F(JvmRegistryTest, AModernKitIsItsOwnRuntime) {
  const std::string kit = makeKit("jdk-21", false);
  kavrin_test::writeFile(kit + "/lib/server/libjvm.so", "");
  registerKit("21", kit);
  mirrorJavaSoft();
  EXPECT_EQ(mirrorValue("21", "JavaHome"), kit);
  EXPECT_EQ(mirrorValue("21", "RuntimeLib"), kit + "/lib/server/libjvm.so");
}

TEST_F(JvmRegistryTest, TheRegistrationToolRecordsTheSameVmLibrary) {
  // A kit with several VM libraries, none where a JDK of today keeps it.
  const std::string kit = makeKit("several", false);
  for (const char* library : {"/lib/client/libjvm.so", "/lib/amd64/server/libjvm.so", "/bin/server/libjvm.so"})
    kavrin_test::writeFile(kit + library, "");
  registerKit("1.8", kit);
  mirrorJavaSoft();
  EXPECT_EQ(mirrorValue("1.8", "RuntimeLib"), kit + "/lib/amd64/server/libjvm.so");

  ASSERT_EQ(RegDeleteTree(HKEY_LOCAL_MACHINE, kJavaSoftMirrorKey), ERROR_SUCCESS);
  const kavrin_test::CommandResult tool = kavrin_test::runCommand({KAVRINREG_PROGRAM}, 60);
  ASSERT_EQ(tool.exitCode, 0) << tool.output;
  EXPECT_EQ(mirrorValue("1.8", "RuntimeLib"), kit + "/lib/amd64/server/libjvm.so");
}

TEST_F(JvmRegistryTest, TheMirrorGoesOnceARuntimeIsRegisteredAndTheVendorKeyStays) {
  const std::string kit = makeKit("j2sdk1.4.2", true);
  registerKit("1.4.2", kit);
  registerKit("1.3.1", makeKit("jdk1.3.1", true), false);
  mirrorJavaSoft();
  ASSERT_EQ(subkeys(HKEY_LOCAL_MACHINE, kMirror), (std::vector<std::string>{"1.3.1", "1.4.2"}));

  registerRuntime(kJavaSoftRuntimeKey, "1.4.2", path("jre1.4.2"));
  mirrorJavaSoft();
  EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, kMirror));
  EXPECT_TRUE(keyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\QUENMAR\\JavaSoft"));

  // The scan now takes the vendor's runtime.
  JvmDefinitionSet installed, registrations;
  loadInstalledJvms(installed, registrations);
  ASSERT_EQ(names(installed), std::set<std::string>{"SUN1.4.2"});
  EXPECT_EQ(installed.begin()->strJREPath, path("jre1.4.2"));
  EXPECT_EQ(installed.begin()->strJDKPath, kit);
}

TEST_F(JvmRegistryTest, AMirrorWithoutCurrentVersionIsFilledAgainAndACompleteOneIsNeverRefreshed) {
  const std::string kit = makeKit("jdk", true);
  registerKit("1.4", kit);
  importReg("[" + kHklm + kMirror + "\\1.4]\n\"JavaHome\"=\"stale\"\n\"Extra\"=\"kept\"\n");
  mirrorJavaSoft();
  EXPECT_EQ(mirrorValue("", "CurrentVersion"), "1.4");
  EXPECT_EQ(mirrorValue("1.4", "JavaHome"), kit + "/jre");
  EXPECT_EQ(mirrorValue("1.4", "Extra"), "kept") << "existing version keys are opened, not made anew";

  // The kit moves; the complete mirror is left as it is while no runtime is registered.
  registerKit("1.4", path("moved"));
  mirrorJavaSoft();
  EXPECT_EQ(mirrorValue("1.4", "JavaHome"), kit + "/jre");
}

TEST_F(JvmRegistryTest, KitVersionsWithoutAHomeStayWithoutValues) {
  importReg("[" + kHklm + kJavaSoftKitKey + "\\1.5]\n\"Other\"=\"x\"\n\n[" + kHklm + kJavaSoftKitKey +
            "\\1.6]\n\"JavaHome\"=\"\"\n\n[" + kHklm + kJavaSoftKitKey + "]\n\"CurrentVersion\"=\"1.5\"\n");
  mirrorJavaSoft();
  EXPECT_EQ(subkeys(HKEY_LOCAL_MACHINE, kMirror), (std::vector<std::string>{"1.5", "1.6"}));
  EXPECT_TRUE(valueNames(HKEY_LOCAL_MACHINE, kMirror + "\\1.5").empty());
  EXPECT_TRUE(valueNames(HKEY_LOCAL_MACHINE, kMirror + "\\1.6").empty()) << "an empty home names no runtime";

  // A mirror version without a home gives no JVM.
  JvmDefinitionSet installed, registrations;
  loadInstalledJvms(installed, registrations);
  EXPECT_TRUE(installed.empty());
  EXPECT_TRUE(registrations.empty());
}

TEST_F(JvmRegistryTest, AVendorWithARuntimeButNoKitIsRegisteredButNotInstalled) {
  registerRuntime(kIbmRuntimeKey, "1.4.1", path("ibm-jre"));
  mirrorJdkRegistrations(kIbmRuntimeKey, kIbmKitKey, kIbmMirrorKey);
  EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, kIbmMirrorKey));

  JvmDefinitionSet installed, registrations;
  loadInstalledJvms(installed, registrations);
  EXPECT_TRUE(installed.empty());
  ASSERT_EQ(names(registrations), std::set<std::string>{"IBM1.4.1"});
  EXPECT_EQ(registrations.begin()->strJREPath, path("ibm-jre"));
  EXPECT_EQ(registrations.begin()->strJDKPath, "");
}

TEST_F(JvmRegistryTest, TheScanPairsRuntimeAndKitVersionsOfBothVendors) {
  registerRuntime(kJavaSoftRuntimeKey, "1.4.2", "/sun/jre142");
  registerRuntime(kJavaSoftRuntimeKey, "1.3", "/sun/jre13");
  registerRuntime(kJavaSoftRuntimeKey, "1.2", "/sun/jre12");
  importReg("[" + kHklm + kJavaSoftRuntimeKey + "\\1.1]\n\"JavaHome\"=\"\"\n");  // not listed
  importReg("[" + kHklm + kJavaSoftKitKey + "\\1.4.2]\n\"JavaHome\"=\"/sun/sdk142\"\n\n[" + kHklm + kJavaSoftKitKey +
            "\\1.3]\n\"JavaHome\"=\"\"\n\n[" + kHklm + kJavaSoftKitKey + "\\9]\n\"JavaHome\"=\"/sun/sdk9\"\n\n[" +
            kHklm + kJavaSoftKitKey + "]\n\"CurrentVersion\"=\"1.4.2\"\n");
  registerRuntime(kIbmRuntimeKey, "1.4", "/ibm/jre");
  importReg("[" + kHklm + kIbmKitKey + "\\1.4]\n\"JavaHome\"=\"/ibm/sdk\"\n\n[" + kHklm + kIbmKitKey +
            "]\n\"CurrentVersion\"=\"1.4\"\n");

  JvmDefinitionSet installed, registrations;
  installed.insert(JvmDefinition{"old", "", "", {}, {}});
  loadInstalledJvms(installed, registrations);
  // 1.3's kit has an empty home: it takes the runtime of that version away; kit 9 has no
  // runtime and is ignored.
  EXPECT_EQ(names(registrations), (std::set<std::string>{"IBM1.4", "SUN1.2", "SUN1.4.2"}));
  EXPECT_EQ(names(installed), (std::set<std::string>{"IBM1.4", "SUN1.4.2"}));
  for (const JvmDefinition& jvm : installed) {
    EXPECT_EQ(jvm.strJDKPath, jvm.strName == "IBM1.4" ? "/ibm/sdk" : "/sun/sdk142");
    EXPECT_EQ(jvm.strJREPath, jvm.strName == "IBM1.4" ? "/ibm/jre" : "/sun/jre142");
  }
  EXPECT_EQ(registrations.find(std::string("SUN1.2"))->strJDKPath, "");
}

TEST_F(JvmRegistryTest, WithoutAdministratorRightsTheMirrorIsNeitherMadeNorRemoved) {
  const std::string kit = makeKit("jdk", true);
  registerKit("1.4", kit);
  registry::setNoAdminMode(true);
  mirrorJavaSoft();
  EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, kMirror));

  registry::setNoAdminMode(false);
  mirrorJavaSoft();
  ASSERT_TRUE(keyExists(HKEY_LOCAL_MACHINE, kMirror));
  registerRuntime(kJavaSoftRuntimeKey, "1.4", path("jre"));
  registry::setNoAdminMode(true);
  mirrorJavaSoft();
  EXPECT_TRUE(keyExists(HKEY_LOCAL_MACHINE, kMirror));

  // The scan works from what can be read.
  JvmDefinitionSet installed, registrations;
  loadInstalledJvms(installed, registrations);
  EXPECT_EQ(names(installed), std::set<std::string>{"SUN1.4"});
}

TEST_F(JvmRegistryTest, AVersionKeyThatCannotBeMadeEndsTheMirrorButCurrentVersionIsStillCopied) {
  registerKit("1.3", makeKit("jdk13", true), false);
  registerKit("1.4", makeKit("jdk14", true));
  registry::injectFailure(kHklm + kMirror + "\\1.4", ERROR_ACCESS_DENIED);
  mirrorJavaSoft();
  EXPECT_EQ(subkeys(HKEY_LOCAL_MACHINE, kMirror), std::vector<std::string>{"1.3"});
  EXPECT_EQ(mirrorValue("", "CurrentVersion"), "1.4");
}

TEST_F(JvmRegistryTest, AValueLongerThanItsBufferIsNotRead) {
  const std::string longHome(1100, 'x');
  registerRuntime(kJavaSoftRuntimeKey, "1.4", "/" + longHome);
  registerRuntime(kJavaSoftRuntimeKey, "1.5", "/short");
  JvmDefinitionSet installed, registrations;
  loadInstalledJvms(installed, registrations);
  EXPECT_EQ(names(registrations), std::set<std::string>{"SUN1.5"});
}

TEST_F(JvmRegistryTest, TheMachinesJdk17AsItsScriptRegistersIt) {
  const std::string script = std::string(kavrin_test::kSourceDir) + "/scripts/register-jdk.sh";
  kavrin_test::ScopedEnv tool("KAVRIN_REG_TOOL", std::string(KAVRIN_REG_TOOL));
  const kavrin_test::CommandResult r = kavrin_test::runCommand({"/bin/bash", script, kavrin_test::kJdkHome});
  ASSERT_EQ(r.exitCode, 0) << r.output;
  const std::string jdk = kavrin_test::kJdkHome;

  // A runtime is registered: no mirror is made.
  mirrorJavaSoft();
  mirrorJdkRegistrations(kIbmRuntimeKey, kIbmKitKey, kIbmMirrorKey);
  EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\QUENMAR"));

  JvmDefinitionSet installed, registrations;
  loadInstalledJvms(installed, registrations);
  ASSERT_EQ(names(installed), std::set<std::string>{"SUN17"});
  EXPECT_EQ(installed.begin()->strJREPath, jdk);
  EXPECT_EQ(installed.begin()->strJDKPath, jdk);
  EXPECT_TRUE(registrations.count(std::string("SUN17")));
  for (const JvmDefinition& jvm : registrations) EXPECT_EQ(jvm.strJDKPath, jdk) << jvm.strName;

  // Installed as a kit only, the JDK is mirrored as its own runtime.
  ASSERT_EQ(RegDeleteTree(HKEY_LOCAL_MACHINE, kJavaSoftRuntimeKey), ERROR_SUCCESS);
  mirrorJavaSoft();
  EXPECT_EQ(mirrorValue("", "CurrentVersion"), "17");
  EXPECT_EQ(mirrorValue("17", "JavaHome"), jdk);
  EXPECT_EQ(mirrorValue("17", "RuntimeLib"), jdk + "/lib/server/libjvm.so");
  loadInstalledJvms(installed, registrations);
  ASSERT_EQ(names(installed), std::set<std::string>{"SUN17"});
  EXPECT_EQ(installed.begin()->strJREPath, jdk);
  EXPECT_EQ(installed.begin()->strJDKPath, jdk);
}

}  // namespace
