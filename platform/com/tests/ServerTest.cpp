// Initialisation, classes registered in the process, and in-process servers found through the
// registry stand-in, loaded, asked and unloaded.
#include "ComServer.h"
#include "ComSupport.h"
#include "PlatformTestUtil.h"
#include "Registry.h"
#include "TestServer.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <memory>
#include <thread>

namespace {

typedef _com_ptr_t<ICounter> ICounterPtr;

// The reason the calling thread's error object gives.
std::string lastErrorText() {
  IErrorInfo* info = nullptr;
  if (GetErrorInfo(0, &info) != S_OK) return std::string();
  BSTR text = nullptr;
  info->GetDescription(&text);
  info->Release();
  const std::string result = com::fromBstr(text);
  SysFreeString(text);
  return result;
}

std::string readDefault(const std::string& subKey, const char* value = nullptr) {
  HKEY key = nullptr;
  if (RegOpenKeyEx(HKEY_CLASSES_ROOT, subKey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return "<missing>";
  }
  char buf[1024] = {};
  DWORD size = sizeof buf;
  const LONG rc = RegQueryValueEx(key, value, nullptr, nullptr, reinterpret_cast<LPBYTE>(buf), &size);
  RegCloseKey(key);
  return rc == ERROR_SUCCESS ? std::string(buf) : "<no value>";
}

bool keyExists(const std::string& subKey) {
  HKEY key = nullptr;
  if (RegOpenKeyEx(HKEY_CLASSES_ROOT, subKey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return false;
  }
  RegCloseKey(key);
  return true;
}

void setDefault(const std::string& subKey, const std::string& value) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyEx(HKEY_CLASSES_ROOT, subKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                           nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueEx(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                static_cast<DWORD>(value.size() + 1));
  RegCloseKey(key);
}

bool serverLoaded() {
  void* handle = dlopen(KAVRIN_COM_TESTSERVER, RTLD_NOW | RTLD_NOLOAD);
  if (handle == nullptr) return false;
  dlclose(handle);
  return true;
}

// Each test gets a registry of its own and COM initialised on its thread.
class ServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::make_unique<platform_test::TempDir>();
    registry_ = std::make_unique<platform_test::ScopedEnv>("KAVRIN_REGISTRY",
                                                           dir_->file("registry.reg").c_str());
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
  }
  void TearDown() override {
    CoFreeUnusedLibraries();
    CoUninitialize();
    registry_.reset();
    dir_.reset();
  }
  // Registers the test server through its own export, as a host does.
  void registerServer() {
    HMODULE module = LoadLibrary(KAVRIN_COM_TESTSERVER);
    ASSERT_NE(module, nullptr) << win32::lastLoadError();
    auto registerServer =
        reinterpret_cast<LPFNREGISTERSERVER>(GetProcAddress(module, "DllRegisterServer"));
    ASSERT_NE(registerServer, nullptr);
    ASSERT_EQ(registerServer(), S_OK) << lastErrorText();
    FreeLibrary(module);
  }

  std::unique_ptr<platform_test::TempDir> dir_;
  std::unique_ptr<platform_test::ScopedEnv> registry_;
};

TEST_F(ServerTest, InitialisationIsCountedPerThread) {
  EXPECT_EQ(CoInitialize(nullptr), S_FALSE) << "second call on the same thread";
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), RPC_E_CHANGED_MODE);
  CoUninitialize();

  std::thread worker([] {
    void* p = nullptr;
    EXPECT_EQ(CoCreateInstance(CLSID_TestCounter, nullptr, CLSCTX_ALL, IID_ICounter, &p),
              CO_E_NOTINITIALIZED);
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
    CoUninitialize();
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK)
        << "a thread without COM may choose either model again";
    CoUninitialize();
  });
  worker.join();
}

TEST_F(ServerTest, RegistrationWritesClassAndTypeLibraryKeys) {
  registerServer();
  const std::string clsid = com::guidToString(CLSID_TestCounter);
  EXPECT_EQ(readDefault(TEST_COUNTER_PROGID "\\CLSID"), clsid);
  EXPECT_EQ(readDefault(TEST_COUNTER_VI_PROGID "\\CurVer"), TEST_COUNTER_PROGID);
  EXPECT_EQ(readDefault("CLSID\\" + clsid), "Kavrin test counter");
  EXPECT_EQ(readDefault("CLSID\\" + clsid + "\\ProgID"), TEST_COUNTER_PROGID);
  EXPECT_EQ(readDefault("CLSID\\" + clsid + "\\VersionIndependentProgID"), TEST_COUNTER_VI_PROGID);
  char real[4096];
  ASSERT_NE(realpath(KAVRIN_COM_TESTSERVER, real), nullptr);
  EXPECT_EQ(readDefault("CLSID\\" + clsid + "\\InprocServer32"), real);
  EXPECT_EQ(readDefault("CLSID\\" + clsid + "\\InprocServer32", "ThreadingModel"), "Both");

  const std::string lib = "TypeLib\\" + com::guidToString(LIBID_TestServer) + "\\1.0";
  EXPECT_EQ(readDefault(lib), "Kavrin test server");
  EXPECT_EQ(readDefault(lib + "\\0\\win32"), real);
  const std::string itf = "Interface\\" + com::guidToString(IID_ICounter);
  EXPECT_EQ(readDefault(itf), "ICounter");
  EXPECT_EQ(readDefault(itf + "\\TypeLib"), com::guidToString(LIBID_TestServer));
  EXPECT_EQ(readDefault(itf + "\\TypeLib", "Version"), "1.0");

  HMODULE module = LoadLibrary(KAVRIN_COM_TESTSERVER);
  auto unregisterServer =
      reinterpret_cast<LPFNREGISTERSERVER>(GetProcAddress(module, "DllUnregisterServer"));
  ASSERT_EQ(unregisterServer(), S_OK);
  FreeLibrary(module);
  EXPECT_FALSE(keyExists("CLSID\\" + clsid));
  EXPECT_FALSE(keyExists(TEST_COUNTER_PROGID));
  EXPECT_FALSE(keyExists(TEST_COUNTER_VI_PROGID));
  EXPECT_TRUE(keyExists(lib)) << "the type library stays registered";
}

TEST_F(ServerTest, RegistrationFailureNamesTheKey) {
  registry::injectFailure("HKEY_CLASSES_ROOT\\CLSID", ERROR_ACCESS_DENIED);
  const HRESULT hr = com::registerClass(
      com::ClassRegistration{CLSID_TestCounter, "x", "", "", ""}, KAVRIN_COM_TESTSERVER);
  registry::clearInjectedFailures();
  EXPECT_EQ(hr, HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED));
  EXPECT_NE(lastErrorText().find("CLSID\\" + com::guidToString(CLSID_TestCounter)),
            std::string::npos);
}

TEST_F(ServerTest, CreatesObjectsOfARegisteredServerAndUnloadsItWhenUnused) {
  registerServer();
  ASSERT_FALSE(serverLoaded());
  ICounterPtr counter;
  ASSERT_EQ(counter.CreateInstance(CLSID_TestCounter), S_OK) << lastErrorText();
  ASSERT_TRUE(serverLoaded());
  LONG value = 0;
  counter->Increment(&value);
  counter->Increment(&value);
  EXPECT_EQ(value, 2);

  HMODULE module = GetModuleHandle(KAVRIN_COM_TESTSERVER);
  auto canUnload = reinterpret_cast<LPFNCANUNLOADNOW>(GetProcAddress(module, "DllCanUnloadNow"));
  ASSERT_NE(canUnload, nullptr);
  EXPECT_EQ(canUnload(), S_FALSE) << "a counter is alive";
  CoFreeUnusedLibraries();
  EXPECT_TRUE(serverLoaded());

  IClassFactoryPtr factory;
  ASSERT_EQ(CoGetClassObject(CLSID_TestCounter, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                             reinterpret_cast<void**>(&factory)),
            S_OK);
  counter = nullptr;
  EXPECT_EQ(canUnload(), S_FALSE) << "a class factory is alive";
  factory = nullptr;
  EXPECT_EQ(canUnload(), S_OK);
  CoFreeUnusedLibraries();
  EXPECT_FALSE(serverLoaded());

  ASSERT_EQ(counter.CreateInstance(CLSID_TestCounter), S_OK) << "loaded again on demand";
  counter->Increment(&value);
  EXPECT_EQ(value, 1);
}

TEST_F(ServerTest, ServersShareTheProgramsComState) {
  registerServer();
  ICounterPtr counter(CLSID_TestCounter);
  ASSERT_NE(counter.GetInterfacePtr(), nullptr) << lastErrorText();

  // The server's CoCreateInstance sees this thread initialised by the program.
  ICounterPtr sibling;
  ASSERT_EQ(counter->CreateSibling(&sibling), S_OK) << lastErrorText();
  LONG value = 0;
  sibling->Increment(&value);
  EXPECT_EQ(value, 1);

  // The error object the server sets is the program's.
  _bstr_t why("the server says no");
  EXPECT_EQ(counter->Fail(why), E_FAIL);
  try {
    com::check(E_FAIL);
  } catch (const _com_error& e) {
    EXPECT_EQ(e.Description().utf8(), "the server says no");
    EXPECT_EQ(e.Source().utf8(), TEST_COUNTER_VI_PROGID);
  }
}

TEST_F(ServerTest, UnknownMissingAndBrokenServersAreReported) {
  void* p = nullptr;
  EXPECT_EQ(CoCreateInstance(CLSID_TestCounter, nullptr, CLSCTX_ALL, IID_ICounter, &p),
            REGDB_E_CLASSNOTREG);
  EXPECT_NE(lastErrorText().find("not registered"), std::string::npos);
  EXPECT_EQ(p, nullptr);

  const std::string key = "CLSID\\" + com::guidToString(CLSID_TestCounter) + "\\InprocServer32";
  setDefault(key, dir_->file("libgone.so"));
  EXPECT_EQ(CoCreateInstance(CLSID_TestCounter, nullptr, CLSCTX_ALL, IID_ICounter, &p),
            HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND));
  EXPECT_NE(lastErrorText().find("libgone.so"), std::string::npos);

  setDefault(key, KAVRIN_COM_NOTASERVER);
  EXPECT_EQ(CoCreateInstance(CLSID_TestCounter, nullptr, CLSCTX_ALL, IID_ICounter, &p),
            CO_E_ERRORINDLL);
  EXPECT_NE(lastErrorText().find("DllGetClassObject"), std::string::npos);

  setDefault(key, "");
  EXPECT_EQ(CoCreateInstance(CLSID_TestCounter, nullptr, CLSCTX_ALL, IID_ICounter, &p),
            REGDB_E_CLASSNOTREG);

  setDefault("CLSID\\" + com::guidToString(CLSID_TestNotServed) + "\\InprocServer32",
             KAVRIN_COM_TESTSERVER);
  EXPECT_EQ(CoCreateInstance(CLSID_TestNotServed, nullptr, CLSCTX_ALL, IID_ICounter, &p),
            CLASS_E_CLASSNOTAVAILABLE);

  platform_test::writeText(dir_->file("registry.reg"), "not a registry file\n");
  EXPECT_EQ(CoCreateInstance(CLSID_TestCounter, nullptr, CLSCTX_ALL, IID_ICounter, &p),
            REGDB_E_READREGDB);
}

// A class object registered by the program itself.
class LocalFactory : public com::ComObject<IClassFactory> {
 public:
  HRESULT CreateInstance(IUnknown*, REFIID riid, void** object) override {
    ++made;
    return QueryInterface(riid, object);  // hands out itself, which is enough to count calls
  }
  HRESULT LockServer(BOOL) override { return S_OK; }
  int made = 0;
};

TEST_F(ServerTest, ClassesRegisteredInTheProcessComeFirstUntilRevoked) {
  LocalFactory* factory = new LocalFactory();
  factory->AddRef();
  DWORD cookie = 0;
  ASSERT_EQ(CoRegisterClassObject(CLSID_TestCounter, factory, CLSCTX_INPROC_SERVER,
                                  REGCLS_MULTIPLEUSE, &cookie),
            S_OK);
  IUnknownPtr made;
  ASSERT_EQ(CoCreateInstance(CLSID_TestCounter, nullptr, CLSCTX_ALL, IID_IUnknown,
                             reinterpret_cast<void**>(&made)),
            S_OK);
  EXPECT_EQ(factory->made, 1);
  EXPECT_EQ(factory->refCount(), 3u) << "mine, the registration's and the object's";
  made = nullptr;
  EXPECT_EQ(CoRevokeClassObject(cookie), S_OK);
  EXPECT_EQ(factory->refCount(), 1u);
  EXPECT_EQ(CoRevokeClassObject(cookie), CO_E_OBJNOTREG);
  void* p = nullptr;
  EXPECT_EQ(CoCreateInstance(CLSID_TestCounter, nullptr, CLSCTX_ALL, IID_IUnknown, &p),
            REGDB_E_CLASSNOTREG);
  factory->Release();
}

}  // namespace
