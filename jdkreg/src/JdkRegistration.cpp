#include "JdkRegistration.h"

#include "RegKey.h"
#include "Win32.h"

namespace {

// Values are read into buffers of this size, subkey names into buffers of MAX_PATH bytes.
const DWORD kValueBufferSize = 1024;
const DWORD kNameBufferSize = MAX_PATH;

const char kJavaHome[] = "JavaHome";
const char kRuntimeLib[] = "RuntimeLib";
const char kCurrentVersion[] = "CurrentVersion";

const char* const kVmLibraries[] = {
    "/lib/server/libjvm.so",
    "/lib/amd64/server/libjvm.so",
    "/lib/client/libjvm.so",
    "/lib/amd64/client/libjvm.so",
};

}  // namespace

std::string EmbeddedRuntimeHome(const std::string& kitHome) {
    const std::string jre = kitHome + "/jre";
    return win32::isDirectory(jre) ? jre : kitHome;
}

std::string RuntimeLibraryPath(const std::string& runtimeHome) {
    for (const char* library : kVmLibraries) {
        const std::string path = runtimeHome + library;
        if (win32::fileExists(path) && !win32::isDirectory(path))
            return path;
    }
    return runtimeHome + kVmLibraries[0];
}

void RegisterJdkRuntimes(const char* runtimeKey, const char* kitKey, const char* mirrorKey) {
    RegKey runtime;
    RegKey kit;
    const bool runtimeRegistered = runtime.Open(HKEY_LOCAL_MACHINE, runtimeKey, KEY_READ) == ERROR_SUCCESS;
    const bool kitRegistered = kit.Open(HKEY_LOCAL_MACHINE, kitKey, KEY_READ) == ERROR_SUCCESS;
    if (runtimeRegistered || !kitRegistered)
        return;

    std::string version;
    for (DWORD index = 0; kit.EnumSubkey(index, version, kNameBufferSize); ++index) {
        const std::string mirrorVersionKey = std::string(mirrorKey) + "\\" + version;
        RegKey mirrorVersion;
        if (mirrorVersion.Create(HKEY_LOCAL_MACHINE, mirrorVersionKey.c_str(), KEY_ALL_ACCESS) != ERROR_SUCCESS)
            break;

        RegKey kitVersion;
        if (kitVersion.Open(kit.Get(), version.c_str(), KEY_READ) != ERROR_SUCCESS)
            continue;
        std::string kitHome;
        // An empty home would name the root folder's runtime: the version keeps no values.
        if (!kitVersion.QueryString(kJavaHome, kitHome, kValueBufferSize) || kitHome.empty())
            continue;
        const std::string runtimeHome = EmbeddedRuntimeHome(kitHome);
        mirrorVersion.SetString(kJavaHome, runtimeHome);
        mirrorVersion.SetString(kRuntimeLib, RuntimeLibraryPath(runtimeHome));
    }

    std::string currentVersion;
    if (kit.QueryString(kCurrentVersion, currentVersion, kValueBufferSize)) {
        RegKey mirror;
        if (mirror.Open(HKEY_LOCAL_MACHINE, mirrorKey, KEY_READ | KEY_CREATE_SUB_KEY | KEY_SET_VALUE) ==
            ERROR_SUCCESS)
            mirror.SetString(kCurrentVersion, currentVersion);
    }
}
