#include "JdkRegistration.h"

#include "JavaLayout.h"
#include "RegKey.h"
#include "Win32.h"

namespace {

// Values are read into buffers of this size, subkey names into buffers of MAX_PATH bytes.
const DWORD kValueBufferSize = 1024;
const DWORD kNameBufferSize = MAX_PATH;

const char kJavaHome[] = "JavaHome";
const char kRuntimeLib[] = "RuntimeLib";
const char kCurrentVersion[] = "CurrentVersion";

}  // namespace

void RegisterJdkRuntimes(const char* runtimeKey, const char* kitKey, const char* mirrorKey) {
  RegKey runtime;
  RegKey kit;
  const bool runtimeRegistered = runtime.Open(HKEY_LOCAL_MACHINE, runtimeKey, KEY_READ) == ERROR_SUCCESS;
  const bool kitRegistered = kit.Open(HKEY_LOCAL_MACHINE, kitKey, KEY_READ) == ERROR_SUCCESS;
  if (runtimeRegistered || !kitRegistered) return;

  std::string version;
  for (DWORD index = 0; kit.EnumSubkey(index, version, kNameBufferSize); ++index) {
    const std::string mirrorVersionKey = std::string(mirrorKey) + "\\" + version;
    RegKey mirrorVersion;
    if (mirrorVersion.Create(HKEY_LOCAL_MACHINE, mirrorVersionKey.c_str(), KEY_ALL_ACCESS) != ERROR_SUCCESS) break;

    RegKey kitVersion;
    if (kitVersion.Open(kit.Get(), version.c_str(), KEY_READ) != ERROR_SUCCESS) continue;
    std::string kitHome;
    // An empty home would name the root folder's runtime: the version keeps no values.
    if (!kitVersion.QueryString(kJavaHome, kitHome, kValueBufferSize) || kitHome.empty()) continue;
    const std::string runtimeHome = javalayout::embeddedRuntimeHome(kitHome);
    mirrorVersion.SetString(kJavaHome, runtimeHome);
    mirrorVersion.SetString(kRuntimeLib, javalayout::runtimeLibraryPath(runtimeHome));
  }

  std::string currentVersion;
  if (kit.QueryString(kCurrentVersion, currentVersion, kValueBufferSize)) {
    RegKey mirror;
    if (mirror.Open(HKEY_LOCAL_MACHINE, mirrorKey, KEY_READ | KEY_CREATE_SUB_KEY | KEY_SET_VALUE) == ERROR_SUCCESS)
      mirror.SetString(kCurrentVersion, currentVersion);
  }
}
