// The key owner and the registration run in this process: what stays open, what is written.
#include "JavaLayout.h"
#include "JdkRegTestSupport.h"
#include "JdkRegistration.h"
#include "RegKey.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace jdkreg_test;
using kavrin_test::ScopedEnv;
using kavrin_test::TempDir;

namespace {

class InProcess : public ::testing::Test {
 protected:
  void SetUp() override { registry::clearInjectedFailures(); }
  void TearDown() override {
    registry::clearInjectedFailures();
    EXPECT_EQ(registry::openKeyCount(), 0) << "a registry key was left open";
  }

  TempDir dir{"jdkreg"};
  ScopedEnv registryEnv{"KAVRIN_REGISTRY", dir.file("registry.reg")};
  ScopedEnv failEnv{"KAVRIN_REGISTRY_FAIL", std::nullopt};
  ScopedEnv noAdminEnv{"KAVRIN_REGISTRY_NOADMIN", std::nullopt};
};

}  // namespace

TEST_F(InProcess, KeyIsReplacedOnlyByASuccessfulOpenAndClosedOnce) {
  setString("SOFTWARE\\A", "Name", "a");
  setString("SOFTWARE\\B", "Name", "b");
  {
    RegKey key;
    ASSERT_EQ(key.Open(HKEY_LOCAL_MACHINE, "SOFTWARE\\A", KEY_READ), ERROR_SUCCESS);
    EXPECT_EQ(registry::openKeyCount(), 1);

    // A failed open keeps the key held before, still usable.
    EXPECT_EQ(key.Open(HKEY_LOCAL_MACHINE, "SOFTWARE\\Missing", KEY_READ), ERROR_FILE_NOT_FOUND);
    std::string value;
    ASSERT_TRUE(key.QueryString("Name", value, 1024));
    EXPECT_EQ(value, "a");
    EXPECT_EQ(registry::openKeyCount(), 1);

    // A successful one closes it and holds the new key.
    ASSERT_EQ(key.Open(HKEY_LOCAL_MACHINE, "SOFTWARE\\B", KEY_READ), ERROR_SUCCESS);
    EXPECT_EQ(registry::openKeyCount(), 1);
    ASSERT_TRUE(key.QueryString("Name", value, 1024));
    EXPECT_EQ(value, "b");

    // Creating is a reassignment too.
    ASSERT_EQ(key.Create(HKEY_LOCAL_MACHINE, "SOFTWARE\\C", KEY_ALL_ACCESS), ERROR_SUCCESS);
    EXPECT_EQ(registry::openKeyCount(), 1);
    EXPECT_EQ(key.SetString("Name", "c"), ERROR_SUCCESS);
    key.Close();
    EXPECT_FALSE(key.IsOpen());
    EXPECT_EQ(registry::openKeyCount(), 0);
    key.Close();
    ASSERT_EQ(key.Open(HKEY_LOCAL_MACHINE, "SOFTWARE\\A", KEY_READ), ERROR_SUCCESS);
  }
  EXPECT_EQ(registry::openKeyCount(), 0);
  EXPECT_EQ(stringValue("SOFTWARE\\C", "Name"), "c");
}

TEST_F(InProcess, StringsAreReadOnlyWhenTheyAreTextThatFits) {
  setString("SOFTWARE\\V", "Fits", std::string(1023, 'f'));
  setString("SOFTWARE\\V", "TooLong", std::string(1024, 't'));
  const DWORD number = 7;
  setValue("SOFTWARE\\V", "Number", REG_DWORD, &number, sizeof number);
  // Text stored without its terminator ends where its data ends.
  setValue("SOFTWARE\\V", "Bare", REG_SZ, "abc", 3);

  RegKey key;
  ASSERT_EQ(key.Open(HKEY_LOCAL_MACHINE, "SOFTWARE\\V", KEY_READ), ERROR_SUCCESS);
  std::string value = "untouched";
  EXPECT_FALSE(key.QueryString("TooLong", value, 1024));
  EXPECT_FALSE(key.QueryString("Number", value, 1024));
  EXPECT_FALSE(key.QueryString("Missing", value, 1024));
  EXPECT_EQ(value, "untouched");
  ASSERT_TRUE(key.QueryString("Fits", value, 1024));
  EXPECT_EQ(value, std::string(1023, 'f'));
  ASSERT_TRUE(key.QueryString("Bare", value, 1024));
  EXPECT_EQ(value, "abc");

  RegKey none;
  EXPECT_FALSE(none.QueryString("Fits", value, 1024));
  EXPECT_EQ(none.SetString("X", "y"), ERROR_INVALID_HANDLE);
  EXPECT_FALSE(none.EnumSubkey(0, value, MAX_PATH));
}

TEST_F(InProcess, SubkeyNamesEnumerateUntilTheListEndsOrANameDoesNotFit) {
  createKey("SOFTWARE\\E\\1.4");
  createKey("SOFTWARE\\E\\1.4.2_05");
  RegKey key;
  ASSERT_EQ(key.Open(HKEY_LOCAL_MACHINE, "SOFTWARE\\E", KEY_READ), ERROR_SUCCESS);
  std::string name;
  ASSERT_TRUE(key.EnumSubkey(0, name, MAX_PATH));
  EXPECT_EQ(name, "1.4");
  // Eight characters need nine bytes.
  EXPECT_FALSE(key.EnumSubkey(1, name, 8));
  ASSERT_TRUE(key.EnumSubkey(1, name, 9));
  EXPECT_EQ(name, "1.4.2_05");
  EXPECT_FALSE(key.EnumSubkey(2, name, MAX_PATH));
}

TEST_F(InProcess, RegistrationClosesEveryKeyOnEveryPath) {
  registerVendor(kIbmKit, "1.4.1", {{"1.4.1", "/opt/ibm141"}, {"1.4.2", "/opt/ibm142"}});

  // A runtime is registered: nothing is done.
  registerVendor(kIbmRuntime, "1.4.1", {{"1.4.1", "/opt/ibm-jre"}});
  RegisterJdkRuntimes(kIbmRuntime, kIbmKit, kIbmMirror);
  EXPECT_FALSE(keyExists(kIbmMirror));
  EXPECT_EQ(registry::openKeyCount(), 0);

  // The enumeration ends at a version key that cannot be created.
  const std::string otherRuntime = "SOFTWARE\\IBM\\Nothing Here";
  registry::injectFailure("HKEY_LOCAL_MACHINE\\" + join(kIbmMirror, "1.4.2"), ERROR_ACCESS_DENIED);
  RegisterJdkRuntimes(otherRuntime.c_str(), kIbmKit, kIbmMirror);
  EXPECT_EQ(registry::openKeyCount(), 0);
  registry::clearInjectedFailures();
  EXPECT_EQ(subkeys(kIbmMirror), std::vector<std::string>{"1.4.1"});
  EXPECT_EQ(stringValue(kIbmMirror, "CurrentVersion"), "1.4.1");

  // The full run.
  RegisterJdkRuntimes(otherRuntime.c_str(), kIbmKit, kIbmMirror);
  EXPECT_EQ(registry::openKeyCount(), 0);
  EXPECT_EQ(subkeys(kIbmMirror), (std::vector<std::string>{"1.4.1", "1.4.2"}));
  EXPECT_EQ(stringValue(join(kIbmMirror, "1.4.2"), "RuntimeLib"), "/opt/ibm142/lib/server/libjvm.so");
}

TEST_F(InProcess, RuntimeLibraryIsAFileNotAFolder) {
  // A folder named like the server VM does not count; the client VM beside it does.
  const std::string home = dir.file("home");
  std::filesystem::create_directories(home + "/lib/server/libjvm.so");
  kavrin_test::writeFile(home + "/lib/client/libjvm.so", std::string("ELF"));
  EXPECT_EQ(javalayout::embeddedRuntimeHome(home), home);
  EXPECT_EQ(javalayout::runtimeLibraryPath(home), home + "/lib/client/libjvm.so");
  // A file named jre is no runtime folder.
  kavrin_test::writeFile(home + "/jre", std::string());
  EXPECT_EQ(javalayout::embeddedRuntimeHome(home), home);
}
