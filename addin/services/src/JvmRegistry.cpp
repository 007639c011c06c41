#include "JvmRegistry.h"

#include "JavaLayout.h"
#include "Registry.h"
#include "Win32.h"

#include <cstring>
#include <vector>

namespace jvmregistry {

const char* const kJavaSoftRuntimeKey = "SOFTWARE\\JavaSoft\\Java Runtime Environment";
const char* const kJavaSoftKitKey = "SOFTWARE\\JavaSoft\\Java Development Kit";
const char* const kJavaSoftMirrorKey = "SOFTWARE\\QUENMAR\\JavaSoft\\Java2 Runtime Environment";
const char* const kIbmRuntimeKey = "SOFTWARE\\IBM\\Java2 Runtime Environment";
const char* const kIbmKitKey = "SOFTWARE\\IBM\\Java Development Kit";
const char* const kIbmMirrorKey = "SOFTWARE\\QUENMAR\\IBM\\Java2 Runtime Environment";

namespace {

const char* const kCurrentVersion = "CurrentVersion";
const char* const kJavaHome = "JavaHome";
const char* const kRuntimeLib = "RuntimeLib";
const DWORD kValueBufferSize = 1024;
const DWORD kNameBufferSize = MAX_PATH;
const REGSAM kMirrorAccess = KEY_READ | KEY_CREATE_SUB_KEY | KEY_SET_VALUE;

// An open registry key, closed with the object.
class Key {
 public:
  Key() = default;
  ~Key() { Close(); }
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;

  bool Open(HKEY parent, const std::string& path, REGSAM access) {
    Close();
    if (RegOpenKeyEx(parent, path.c_str(), 0, access, &m_key) != ERROR_SUCCESS) m_key = nullptr;
    return m_key != nullptr;
  }
  bool Create(HKEY parent, const std::string& path, REGSAM access) {
    Close();
    if (RegCreateKeyEx(parent, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr, &m_key, nullptr) !=
        ERROR_SUCCESS) {
      m_key = nullptr;
    }
    return m_key != nullptr;
  }
  void Close() {
    if (m_key != nullptr) RegCloseKey(m_key);
    m_key = nullptr;
  }
  bool IsOpen() const { return m_key != nullptr; }
  HKEY Get() const { return m_key; }

  // A string value read into a zero-filled buffer of 1024 bytes.
  bool ReadString(const char* name, std::string& value) const {
    if (m_key == nullptr) return false;
    std::vector<char> buffer(kValueBufferSize, '\0');
    DWORD type = REG_NONE;
    DWORD size = kValueBufferSize - 1;
    if (RegQueryValueEx(m_key, name, nullptr, &type, reinterpret_cast<LPBYTE>(buffer.data()), &size) != ERROR_SUCCESS) {
      return false;
    }
    if (type != REG_SZ && type != REG_EXPAND_SZ) return false;
    value.assign(buffer.data(), strnlen(buffer.data(), buffer.size()));
    return true;
  }
  // Written with its terminating zero.
  bool WriteString(const char* name, const std::string& value) const {
    return m_key != nullptr && RegSetValueEx(m_key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                             static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
  }
  // The name of subkey `index`; false when the enumeration ends (or fails).
  bool SubkeyName(DWORD index, std::string& name) const {
    if (m_key == nullptr) return false;
    char buffer[kNameBufferSize] = {};
    DWORD size = kNameBufferSize;
    if (RegEnumKeyEx(m_key, index, buffer, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) return false;
    name.assign(buffer, size);
    return true;
  }

 private:
  HKEY m_key = nullptr;
};

void createMirror(const Key& kit, const std::string& mirrorKey) {
  std::string version;
  for (DWORD index = 0; kit.SubkeyName(index, version); ++index) {
    Key mirrorVersion;
    if (!mirrorVersion.Create(HKEY_LOCAL_MACHINE, mirrorKey + "\\" + version, KEY_ALL_ACCESS)) break;
    Key kitVersion;
    std::string kitHome;
    // An empty home names no runtime: the version key keeps no values.
    if (!kitVersion.Open(kit.Get(), version, KEY_READ) || !kitVersion.ReadString(kJavaHome, kitHome) ||
        kitHome.empty()) {
      continue;
    }
    const std::string runtimeHome = javalayout::embeddedRuntimeHome(kitHome);
    mirrorVersion.WriteString(kJavaHome, runtimeHome);
    mirrorVersion.WriteString(kRuntimeLib, javalayout::runtimeLibraryPath(runtimeHome));
  }
  std::string current;
  if (kit.ReadString(kCurrentVersion, current)) {
    Key mirror;
    if (mirror.Open(HKEY_LOCAL_MACHINE, mirrorKey, kMirrorAccess)) mirror.WriteString(kCurrentVersion, current);
  }
}

void removeMirror(const std::string& mirrorKey) {
  {
    Key mirror;
    if (!mirror.Open(HKEY_LOCAL_MACHINE, mirrorKey, kMirrorAccess)) return;
    std::string version;
    while (mirror.SubkeyName(0, version)) {
      if (RegDeleteTree(mirror.Get(), version.c_str()) != ERROR_SUCCESS) return;  // keep the mirror
    }
  }
  RegDeleteKey(HKEY_LOCAL_MACHINE, mirrorKey.c_str());
}

// The registered runtime versions of one vendor and the definition named by its kit's current
// version.
void scanVendor(const char* label, const char* runtimeKey, const char* kitKey, const char* mirrorKey,
                JvmDefinitionSet& installed, JvmDefinitionSet& registrations) {
  Key runtimes;
  if (!runtimes.Open(HKEY_LOCAL_MACHINE, runtimeKey, KEY_READ) &&
      !runtimes.Open(HKEY_LOCAL_MACHINE, mirrorKey, KEY_READ)) {
    return;
  }
  std::string version;
  for (DWORD index = 0; runtimes.SubkeyName(index, version); ++index) {
    Key runtime;
    JvmDefinition jvm;
    if (!runtime.Open(runtimes.Get(), version, KEY_READ) || !runtime.ReadString(kJavaHome, jvm.strJREPath)) continue;
    jvm.strName = label + version;
    if (!jvm.strJREPath.empty()) registrations.insert(jvm);
  }

  Key kits;
  if (!kits.Open(HKEY_LOCAL_MACHINE, kitKey, KEY_READ)) return;
  for (DWORD index = 0; kits.SubkeyName(index, version); ++index) {
    Key kit;
    std::string kitHome;
    if (!kit.Open(kits.Get(), version, KEY_READ) || !kit.ReadString(kJavaHome, kitHome)) continue;
    auto found = registrations.find(label + version);
    if (found == registrations.end()) continue;
    JvmDefinition jvm = *found;
    registrations.erase(found);
    if (kitHome.empty()) continue;
    jvm.strJDKPath = kitHome;
    registrations.insert(std::move(jvm));
  }
  std::string current;
  if (kits.ReadString(kCurrentVersion, current)) {
    auto found = registrations.find(label + current);
    if (found != registrations.end()) installed.insert(*found);
  }
}

}  // namespace

void mirrorJdkRegistrations(const std::string& runtimeKey, const std::string& kitKey, const std::string& mirrorKey) {
  Key runtime;
  Key kit;
  Key mirror;
  const bool runtimeRegistered = runtime.Open(HKEY_LOCAL_MACHINE, runtimeKey, KEY_READ);
  const bool kitRegistered = kit.Open(HKEY_LOCAL_MACHINE, kitKey, KEY_READ);
  std::string current;
  const bool mirrorComplete =
      mirror.Open(HKEY_LOCAL_MACHINE, mirrorKey, kMirrorAccess) && mirror.ReadString(kCurrentVersion, current);
  mirror.Close();
  if (!mirrorComplete) {
    if (!runtimeRegistered && kitRegistered) createMirror(kit, mirrorKey);
    return;
  }
  if (runtimeRegistered) removeMirror(mirrorKey);
}

void loadInstalledJvms(JvmDefinitionSet& installed, JvmDefinitionSet& registrations) {
  installed.clear();
  registrations.clear();
  scanVendor("SUN", kJavaSoftRuntimeKey, kJavaSoftKitKey, kJavaSoftMirrorKey, installed, registrations);
  scanVendor("IBM", kIbmRuntimeKey, kIbmKitKey, kIbmMirrorKey, installed, registrations);
}

}  // namespace jvmregistry
