// scripts/register-jdk.sh: the JDK registered as its installer does it on Windows.
#include "RegistryTestSupport.h"

#include <sys/stat.h>

using platform_test::readText;
using platform_test::run;
using platform_test::RunResult;

class RegisterJdk : public RegistryTest {
 protected:
  RunResult script(const std::vector<std::string>& args) {
    std::vector<std::string> argv{"/bin/bash", std::string(KAVRIN_SOURCE_DIR) + "/scripts/register-jdk.sh"};
    argv.insert(argv.end(), args.begin(), args.end());
    platform_test::ScopedEnv tool("KAVRIN_REG_TOOL", KAVRIN_REG_TOOL);
    return run(argv, scratch());
  }
};

TEST_F(RegisterJdk, RecordsRuntimeAndDevelopmentKit) {
  const std::string jdk = KAVRIN_JDK_HOME;
  RunResult r = script({jdk});
  ASSERT_EQ(r.exitCode, 0) << r.err;

  for (const char* vendorKey :
       {"SOFTWARE\\JavaSoft\\Java Runtime Environment", "SOFTWARE\\JavaSoft\\Java Development Kit"}) {
    SCOPED_TRACE(vendorKey);
    KeyHolder key;
    ASSERT_EQ(open(HKEY_LOCAL_MACHINE, vendorKey, key), ERROR_SUCCESS);
    EXPECT_EQ(getString(key.get(), "CurrentVersion"), "17");
    const std::vector<std::string> versions = subkeys(key.get());
    ASSERT_FALSE(versions.empty());
    EXPECT_EQ(versions[0], "17");
    for (const std::string& v : versions) {
      EXPECT_EQ(v.compare(0, 2, "17"), 0) << v;
      KeyHolder version;
      ASSERT_EQ(open(key.get(), v.c_str(), version), ERROR_SUCCESS);
      EXPECT_EQ(getString(version.get(), "JavaHome"), jdk);
    }
  }
  KeyHolder runtime;
  ASSERT_EQ(open(HKEY_LOCAL_MACHINE, "SOFTWARE\\JavaSoft\\Java Runtime Environment\\17", runtime), ERROR_SUCCESS);
  const std::string lib = getString(runtime.get(), "RuntimeLib");
  EXPECT_EQ(lib, jdk + "/lib/server/libjvm.so");
  EXPECT_TRUE(win32::fileExists(lib));

  KeyHolder env;
  EXPECT_EQ(open(HKEY_CURRENT_USER, "Environment", env), ERROR_SUCCESS);

  // Running it again changes nothing.
  const std::string once = readText(file());
  ASSERT_EQ(script({jdk + "/"}).exitCode, 0);
  EXPECT_EQ(readText(file()), once);
}

TEST_F(RegisterJdk, RefusesWhatIsNotAJdkAndRegistersOtherVersionsAsTheirOwn) {
  RunResult r = script({scratch()});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("not a JDK home"), std::string::npos) << r.err;
  EXPECT_FALSE(win32::fileExists(file()));

  // JDKs of other versions: each under its own version, the last one current.
  const auto fakeJdk = [this](const std::string& name, const std::string& version) {
    const std::string fake = path(name);
    EXPECT_EQ(system(("mkdir -p '" + fake + "/bin' '" + fake + "/lib/server' && touch '" + fake +
                      "/lib/server/libjvm.so' && printf '#!/bin/sh\\n' > '" + fake + "/bin/java' && chmod +x '" + fake +
                      "/bin/java' && echo 'JAVA_VERSION=\"" + version + "\"' > '" + fake + "/release'")
                         .c_str()),
              0);
    return fake;
  };
  const std::string jdk11 = fakeJdk("jdk11", "11.0.2");
  const std::string jdk8 = fakeJdk("jdk8", "1.8.0_402");
  const std::string odd = fakeJdk("odd", "x.y");
  ASSERT_EQ(script({jdk11}).exitCode, 0);
  ASSERT_EQ(script({jdk8}).exitCode, 0);
  r = script({odd});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("not a Java version"), std::string::npos) << r.err;
  {
    KeyHolder key;
    ASSERT_EQ(open(HKEY_LOCAL_MACHINE, "SOFTWARE\\JavaSoft\\Java Runtime Environment", key), ERROR_SUCCESS);
    EXPECT_EQ(getString(key.get(), "CurrentVersion"), "1.8");
    for (const auto& [version, home] :
         {std::pair<std::string, std::string>{"11", jdk11}, {"11.0.2", jdk11}, {"1.8", jdk8}, {"1.8.0_402", jdk8}}) {
      KeyHolder held;
      ASSERT_EQ(open(key.get(), version.c_str(), held), ERROR_SUCCESS) << version;
      EXPECT_EQ(getString(held.get(), "JavaHome"), home);
    }
  }

  // In no-administrator mode the machine keys cannot be written.
  setenv("KAVRIN_REGISTRY_NOADMIN", "1", 1);
  r = script({KAVRIN_JDK_HOME});
  EXPECT_NE(r.exitCode, 0);
  unsetenv("KAVRIN_REGISTRY_NOADMIN");
}
