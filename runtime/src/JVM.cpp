// JVM: finding the VM library through the registry, creating the VM, its class path and
// options, announced natives, attaching and detaching threads.
#include "RuntimeInternal.h"

#include "JavaLayout.h"
#include "LegacyInitArgs.h"
#include "Registry.h"
#include "Win32.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <set>

namespace jni_helpers {

EnumInstalledJRE JVM::jreTypeLoaded = JRE_DEFAULT;

namespace {

using detail::gGeneration;
using detail::gVm;
using detail::gVmGone;

const char kFailed[] = "Failed to initialize JVM";
const char kPathSeparator[] = ":";
const char kRegKeySun[] = "SOFTWARE\\JavaSoft\\Java Runtime Environment";
const char kRegKeyIbm[] = "SOFTWARE\\IBM\\Java2 Runtime Environment";
const char kRegKeyMirrorSun[] = "SOFTWARE\\QUENMAR\\JavaSoft\\Java2 Runtime Environment";
const char kRegKeyMirrorIbm[] = "SOFTWARE\\QUENMAR\\IBM\\Java2 Runtime Environment";

// The Java version text of the VM (1.4, 1.5.0_06, 1.1...); decides the JNI version.
CSmartString gStrVersion;
CSmartString gClassPath;
std::set<CSmartString> gOptions;
std::vector<NativeMethodData*> gNatives;

typedef jint(JNICALL* GetDefaultArgsFn)(void* args);
typedef jint(JNICALL* CreateJavaVMFn)(JavaVM** vm, void** env, void* args);
typedef jint(JNICALL* GetCreatedJavaVMsFn)(JavaVM** vms, jsize size, jsize* count);

std::string narrow(const CSmartString& text) {
  const char* s = text;
  return s != nullptr ? std::string(s) : std::string();
}

bool isEmpty(const CSmartString& text) { return text.length() == 0; }

class RegKey {
 public:
  RegKey() = default;
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;
  ~RegKey() { close(); }

  bool open(HKEY parent, const std::string& path) {
    close();
    HKEY key = nullptr;
    if (RegOpenKeyEx(parent, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    m_key = key;
    return true;
  }
  void close() {
    if (m_key != nullptr) RegCloseKey(m_key);
    m_key = nullptr;
  }
  HKEY get() const { return m_key; }

  // A string value; false when it is missing, not a string, or cannot be read.
  bool readString(const char* name, std::string& value) const {
    for (int attempt = 0; attempt < 4; ++attempt) {
      DWORD type = REG_NONE;
      DWORD size = 0;
      if (RegQueryValueEx(m_key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return false;
      if (type != REG_SZ && type != REG_EXPAND_SZ) return false;
      std::vector<char> buffer(static_cast<std::size_t>(size) + 1, '\0');
      DWORD got = size;
      const LONG result = RegQueryValueEx(m_key, name, nullptr, &type, reinterpret_cast<LPBYTE>(buffer.data()), &got);
      if (result == ERROR_MORE_DATA) continue;  // the value grew in between
      if (result != ERROR_SUCCESS) return false;
      value.assign(buffer.data(), strnlen(buffer.data(), got));
      return true;
    }
    return false;
  }

  // The name of the subkey at `index`; false at the end of the list or on an error.
  bool subkeyName(DWORD index, std::string& name) const {
    std::vector<char> buffer(MAX_PATH + 1, '\0');
    for (int attempt = 0; attempt < 8; ++attempt) {
      DWORD size = static_cast<DWORD>(buffer.size());
      const LONG result = RegEnumKeyEx(m_key, index, buffer.data(), &size, nullptr, nullptr, nullptr, nullptr);
      if (result == ERROR_MORE_DATA) {
        buffer.assign(buffer.size() * 4, '\0');
        continue;
      }
      if (result != ERROR_SUCCESS) return false;
      name.assign(buffer.data(), size);
      return true;
    }
    return false;
  }

 private:
  HKEY m_key = nullptr;
};

void deleteNatives() {
  for (NativeMethodData* data : gNatives) delete data;
  gNatives.clear();
}

bool vmHeld() { return gVm.load() != nullptr && !gVmGone.load(); }

// Registers the announced natives with the new VM.
void registerAnnouncedNatives() {
  for (NativeMethodData* data : gNatives) {
    const detail::LocalRef clazz(JNIEnvHelper::FindClass(data->className()));
    if (!clazz)
      throw JVMException(CSmartString("Cannot register native methods: class not found: ") + data->className());
    JNIEnvHelper::RegisterNatives(static_cast<jclass>(clazz.get()), data->methods(), data->count());
  }
}

}  // namespace

NativeMethodData::NativeMethodData(const CSmartString& className, const JNINativeMethod* methods, int count)
    : m_className(className), m_pMethods(nullptr), m_count(0) {
  if (methods != nullptr && count > 0) {
    m_pMethods = new JNINativeMethod[static_cast<std::size_t>(count)];
    std::memcpy(m_pMethods, methods, sizeof(JNINativeMethod) * static_cast<std::size_t>(count));
    m_count = count;
  }
}

NativeMethodData::~NativeMethodData() { delete[] m_pMethods; }

void JVM::load() { load(JRE_DEFAULT, CSmartString()); }

void JVM::load(EnumInstalledJRE type, CSmartString version) {
  const CSmartString savedVersion = gStrVersion;
  if (type == JRE_MICROSOFT) {
    gStrVersion = "1.1";
    try {
      load(CSmartString("msjava.dll"));
    } catch (...) {
      if (!vmHeld()) gStrVersion = savedVersion;
      throw;
    }
    jreTypeLoaded = JRE_MICROSOFT;
    return;
  }

  // The vendor's own key first; when it is missing, the maker's mirrors. A vendor key that
  // exists is the one used, even when no version matches in it.
  std::vector<const char*> keys;
  keys.push_back(type == JRE_IBM ? kRegKeyIbm : kRegKeySun);
  if (type == JRE_SUN) {
    keys.push_back(kRegKeyMirrorSun);
  } else if (type == JRE_IBM) {
    keys.push_back(kRegKeyMirrorIbm);
  } else {
    keys.push_back(kRegKeyMirrorSun);
    keys.push_back(kRegKeyMirrorIbm);
  }
  RegKey base;
  std::string basePath;
  for (const char* key : keys) {
    if (base.open(HKEY_LOCAL_MACHINE, key)) {
      basePath = key;
      break;
    }
  }
  if (base.get() == nullptr) throw InitializationException(kFailed);

  std::string wanted = narrow(version);
  if (wanted.empty() && (!base.readString("CurrentVersion", wanted) || wanted.empty()))
    throw InitializationException(kFailed);

  const bool legacy = wanted.compare(0, 3, "1.1") == 0;
  const char* valueName = legacy ? "JavaHome" : "RuntimeLib";
  std::string value;
  bool chosen = false;
  std::string name;
  for (DWORD index = 0; !chosen && base.subkeyName(index, name); ++index) {
    if (name.compare(0, wanted.size(), wanted) != 0) continue;
    RegKey subkey;
    if (subkey.open(base.get(), name) && subkey.readString(valueName, value)) chosen = true;
  }
  base.close();
  if (!chosen) throw InitializationException(kFailed);

  const std::string path = legacy ? value + "/bin/javai.dll" : value;
  gStrVersion = wanted.c_str();
  try {
    load(CSmartString(path.c_str()));
  } catch (...) {
    if (!vmHeld()) gStrVersion = savedVersion;
    throw;
  }
  jreTypeLoaded = type;
}

void JVM::load(const CSmartString& path) {
  if (vmHeld()) throw InitializationException("Failed to initialize JVM: a Java VM is already loaded");

  const std::string libraryPath = narrow(path);
  const bool versionGiven = !isEmpty(gStrVersion);
  if (!versionGiven) {
    static const std::string legacyName = "javai.dll";
    const bool legacy = libraryPath.size() >= legacyName.size() &&
                        libraryPath.compare(libraryPath.size() - legacyName.size(), legacyName.size(), legacyName) == 0;
    gStrVersion = legacy ? "1.1" : "1.2";
  }
  try {
    const long jniVersion = version();

    HMODULE library = LoadLibrary(libraryPath.c_str());
    if (library == nullptr)
      throw InitializationException(CSmartString("Cannot find JVM: \"") + path + CSmartString("\""));
    GetDefaultArgsFn getDefaults =
        reinterpret_cast<GetDefaultArgsFn>(GetProcAddress(library, "JNI_GetDefaultJavaVMInitArgs"));
    if (getDefaults == nullptr) {
      FreeLibrary(library);
      throw InitializationException(kFailed);
    }

    JavaVMInitArgs args;
    std::memset(&args, 0, sizeof args);
    args.version = static_cast<jint>(jniVersion);
    args.ignoreUnrecognized = JNI_TRUE;
    LegacyInitArgs legacyArgs;
    std::memset(&legacyArgs, 0, sizeof legacyArgs);
    legacyArgs.version = JNI_VERSION_1_1;
    const bool legacy = jniVersion == JNI_VERSION_1_1;
    if (legacy)
      getDefaults(&legacyArgs);
    else
      getDefaults(&args);

    // The class path first, then the options in their order.
    std::vector<std::string> texts;
    // The VM takes the class path as it is: "dir/*" is expanded here, as the java launcher does.
    texts.push_back("-Djava.class.path=" + javalayout::expandClassPath(narrow(gClassPath)));
    for (const CSmartString& option : gOptions) texts.push_back(narrow(option));
    std::vector<JavaVMOption> options(texts.size());
    for (std::size_t i = 0; i < texts.size(); ++i) {
      options[i].optionString = &texts[i][0];
      options[i].extraInfo = nullptr;
    }
    args.nOptions = static_cast<jint>(options.size());
    args.options = options.data();
    args.ignoreUnrecognized = JNI_FALSE;
    std::string legacyClassPath = javalayout::expandClassPath(narrow(gClassPath));
    legacyArgs.classpath = &legacyClassPath[0];

    CreateJavaVMFn create = reinterpret_cast<CreateJavaVMFn>(GetProcAddress(library, "JNI_CreateJavaVM"));
    if (create == nullptr) {
      FreeLibrary(library);
      throw InitializationException("Cannot load JNI SDK");
    }
    JavaVM* vm = nullptr;
    JNIEnv* env = nullptr;
    const jint result = create(&vm, reinterpret_cast<void**>(&env),
                               legacy ? static_cast<void*>(&legacyArgs) : static_cast<void*>(&args));
    if (result != JNI_OK || vm == nullptr || env == nullptr) {
      // The library stays loaded: a VM that failed to start may have left threads in it.
      char text[96];
      std::snprintf(text, sizeof text, "%s: JNI_CreateJavaVM returned %d", kFailed, static_cast<int>(result));
      throw InitializationException(text);
    }

    // A new VM life: environments stored before belong to an earlier one.
    gGeneration.fetch_add(1);
    gVm.store(vm);
    gVmGone.store(false);
    detail::storeEnv(env, vm);
  } catch (...) {
    if (!versionGiven) gStrVersion = CSmartString();
    throw;
  }
  registerAnnouncedNatives();
}

long JVM::version() {
  CSmartString text = gStrVersion;
  if (isEmpty(text)) {
    try {
      const detail::LocalRef systemRef(JNIEnvHelper::FindClass("java/lang/System"));
      if (systemRef) {
        const jclass system = static_cast<jclass>(systemRef.get());
        jmethodID getProperty =
            JNIEnvHelper::GetStaticMethodID(system, "getProperty", "(Ljava/lang/String;)Ljava/lang/String;");
        JStringHelper key(CSmartString("java.version"));
        const detail::LocalRef answer(
            JNIEnvHelper::CallStaticObjectMethod(system, getProperty, static_cast<jobject>(key)));
        if (answer) text = JStringHelper(answer.get());
      }
    } catch (...) {
      throw InitializationException(kFailed);
    }
    if (!isEmpty(text)) gStrVersion = text;
  }
  const std::string v = narrow(text);
  if (v.size() < 3) return JNI_VERSION_1_2;
  const std::string head = v.substr(0, 3);
  if (head == "1.6") return JNI_VERSION_1_6;
  if (head == "1.5" || head == "1.4") return JNI_VERSION_1_4;
  if (head == "1.1") return JNI_VERSION_1_1;
  return JNI_VERSION_1_2;
}

void JVM::unload() {
  // The loader and the classes the library defined go with the VM.
  _simple_class_loader::deinit();
  detail::forgetDefinedClasses();
  detail::forgetHeldClasses();
  JNIEnvHelper::deinit();
  destroyJavaVM();
  deleteNatives();
}

void JVM::initClassPath(const CSmartString& path) {
  if (isEmpty(gClassPath)) {
    std::string seed;
    gClassPath = win32::getEnv("CLASSPATH", seed) ? seed.c_str() : "";
  }
  if (!isEmpty(path)) {
    if (!isEmpty(gClassPath)) gClassPath += kPathSeparator;
    gClassPath += path;
  }
}

void JVM::clearClassPath() { gClassPath = ""; }

void JVM::addOption(CSmartString option) {
  if (!isEmpty(option)) gOptions.insert(option);
}

void JVM::clearOptions() { gOptions.clear(); }

void JVM::registerNatives(const CSmartString& className, const JNINativeMethod* methods, int count) {
  if (methods == nullptr || count <= 0) return;
  std::unique_ptr<NativeMethodData> data(new NativeMethodData(className, methods, count));
  gNatives.push_back(data.get());
  data.release();
}

long JVM::attachCurrentThread() {
  if (gVmGone.load()) return -1;
  JavaVM* vm = gVm.load();
  if (vm == nullptr) {
    // Inside Java: the VM that the program's launcher created.
    HMODULE module = GetModuleHandle("jvm.dll");
    if (module == nullptr) return -1;
    GetCreatedJavaVMsFn getCreated =
        reinterpret_cast<GetCreatedJavaVMsFn>(GetProcAddress(module, "JNI_GetCreatedJavaVMs"));
    if (getCreated == nullptr) return -1;
    JavaVM* found = nullptr;
    jsize count = 0;
    if (getCreated(&found, 1, &count) != JNI_OK || count < 1 || found == nullptr) return -1;
    JavaVM* expected = nullptr;
    if (!gVm.compare_exchange_strong(expected, found)) found = expected;
    vm = found;
  }
  if (detail::currentEnv() != nullptr) return -1;
  JNIEnv* env = nullptr;
  // A thread the application attached itself is used as it is: the library never detaches it.
  // (A JDK 1.1 VM has no GetEnv.)
  const unsigned short* version = gStrVersion;  // the wide text: reading it changes nothing
  const bool legacy = version != nullptr && version[0] == '1' && version[1] == '.' && version[2] == '1';
  if (!legacy && vm->GetEnv(reinterpret_cast<void**>(&env), JNI_VERSION_1_2) == JNI_OK && env != nullptr) {
    detail::storeEnv(env, nullptr);
    return JNI_OK;
  }
  const jint result = vm->AttachCurrentThread(reinterpret_cast<void**>(&env), nullptr);
  if (result == JNI_OK && env != nullptr) detail::storeEnv(env, vm);
  return result;
}

long JVM::detachCurrentThread() {
  JavaVM* vm = gVm.load();
  if (vm == nullptr || gVmGone.load()) return 0;
  JNIEnvHelper::deinit();
  return vm->DetachCurrentThread();
}

long JVM::destroyJavaVM() {
  JavaVM* vm = gVm.load();
  if (vm == nullptr || gVmGone.load()) return 0;
  // Threads the library attached still detach while the VM waits for them; afterwards the VM
  // pointer is cleared and no environment stored before is used again.
  const jint result = vm->DestroyJavaVM();
  gVmGone.store(true);
  gVm.store(nullptr);
  gGeneration.fetch_add(1);
  detail::forgetHeldClasses();  // their references died with the VM
  // The version belonged to that VM; a later load decides it again.
  gStrVersion = CSmartString();
  return result;
}

}  // namespace jni_helpers
