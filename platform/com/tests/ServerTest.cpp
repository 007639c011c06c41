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
  ASSERT_EQ(RegCreateKeyEx(HKEY_CLASSES_ROOT, subKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
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
    dir_ = std::make_unique<platform_test::ScratchRegistry>();
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
  }
  void TearDown() override {
    CoFreeUnusedLibraries();
    CoUninitialize();
    dir_.reset();
  }
  // Registers the test server through its own export, as a host does.
  void registerServer() {
    HMODULE module = LoadLibrary(KAVRIN_COM_TESTSERVER);
    ASSERT_NE(module, nullptr) << win32::lastLoadError();
    auto registerServer = reinterpret_cast<LPFNREGISTERSERVER>(GetProcAddress(module, "DllRegisterServer"));
    ASSERT_NE(registerServer, nullptr);
    ASSERT_EQ(registerServer(), S_OK) << lastErrorText();
    FreeLibrary(module);
  }

  std::unique_ptr<platform_test::ScratchRegistry> dir_;
};

TEST_F(ServerTest, InitialisationIsCountedPerThread) {
  EXPECT_EQ(CoInitialize(nullptr), S_FALSE) << "second call on the same thread";
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), RPC_E_CHANGED_MODE);
  CoUninitialize();

  std::thread worker([] {
    void* p = nullptr;
    EXPECT_EQ(CoCreateInstance(CLSID_TestCounter, nullptr, CLSCTX_ALL, IID_ICounter, &p), CO_E_NOTINITIALIZED);
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
  auto unregisterServer = reinterpret_cast<LPFNREGISTERSERVER>(GetProcAddress(module, "DllUnregisterServer"));
  ASSERT_EQ(unregisterServer(), S_OK);
  FreeLibrary(module);
  EXPECT_FALSE(keyExists("CLSID\\" + clsid));
  EXPECT_FALSE(keyExists(TEST_COUNTER_PROGID));
  EXPECT_FALSE(keyExists(TEST_COUNTER_VI_PROGID));
  EXPECT_TRUE(keyExists(lib)) << "the type library stays registered";
}

TEST_F(ServerTest, RegistrationFailureNamesTheKey) {
  registry::injectFailure("HKEY_CLASSES_ROOT\\CLSID", ERROR_ACCESS_DENIED);
  const HRESULT hr =
      com::registerClass(com::ClassRegistration{CLSID_TestCounter, "x", "", "", ""}, KAVRIN_COM_TESTSERVER);
  registry::clearInjectedFailures();
  EXPECT_EQ(hr, HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED));
  EXPECT_NE(lastErrorText().find("CLSID\\" + com::guidToString(CLSID_TestCounter)), std::string::npos);
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
  EXPECT_EQ(CoCreateInstance(CLSID_TestCounter, nullptr, CLSCTX_ALL, IID_ICounter, &p), REGDB_E_CLASSNOTREG);
  EXPECT_NE(lastErrorText().find("not registered"), std::string::npos);
  EXPECT_EQ(p, nullptr);

  const std::string key = "CLSID\\" + com::guidToString(CLSID_TestCounter) + "\\InprocServer32";
  setDefault(key, dir_->file("libgone.so"));
  EXPECT_EQ(CoCreateInstance(CLSID_TestCounter, nullptr, CLSCTX_ALL, IID_ICounter, &p),
            HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND));
  EXPECT_NE(lastErrorText().find("libgone.so"), std::string::npos);

  setDefault(key, KAVRIN_COM_NOTASERVER);
  EXPECT_EQ(CoCreateInstance(CLSID_TestCounter, nullptr, CLSCTX_ALL, IID_ICounter, &p), CO_E_ERRORINDLL);
  EXPECT_NE(lastErrorText().find("DllGetClassObject"), std::string::npos);

  setDefault(key, "");
  EXPECT_EQ(CoCreateInstance(CLSID_TestCounter, nullptr, CLSCTX_ALL, IID_ICounter, &p), REGDB_E_CLASSNOTREG);

  setDefault("CLSID\\" + com::guidToString(CLSID_TestNotServed) + "\\InprocServer32", KAVRIN_COM_TESTSERVER);
  EXPECT_EQ(CoCreateInstance(CLSID_TestNotServed, nullptr, CLSCTX_ALL, IID_ICounter, &p), CLASS_E_CLASSNOTAVAILABLE);

  platform_test::writeText(dir_->file("registry.reg"), "not a registry file\n");
  EXPECT_EQ(CoCreateInstance(CLSID_TestCounter, nullptr, CLSCTX_ALL, IID_ICounter, &p), REGDB_E_READREGDB);
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
  ASSERT_EQ(CoRegisterClassObject(CLSID_TestCounter, factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie), S_OK);
  IUnknownPtr made;
  ASSERT_EQ(CoCreateInstance(CLSID_TestCounter, nullptr, CLSCTX_ALL, IID_IUnknown, reinterpret_cast<void**>(&made)),
            S_OK);
  EXPECT_EQ(factory->made, 1);
  EXPECT_EQ(factory->refCount(), 3u) << "mine, the registration's and the object's";
  made = nullptr;
  EXPECT_EQ(CoRevokeClassObject(cookie), S_OK);
  EXPECT_EQ(factory->refCount(), 1u);
  EXPECT_EQ(CoRevokeClassObject(cookie), CO_E_OBJNOTREG);
  void* p = nullptr;
  EXPECT_EQ(CoCreateInstance(CLSID_TestCounter, nullptr, CLSCTX_ALL, IID_IUnknown, &p), REGDB_E_CLASSNOTREG);
  factory->Release();
}

// --- Type libraries ------------------------------------------------------------------------------
struct IPlayer : IDispatch {
  virtual HRESULT Play() = 0;
  virtual HRESULT Halt() = 0;

 protected:
  ~IPlayer() = default;
};
inline constexpr IID IID_IPlayer = com::guid("5C7F7E0A-3B8E-4E55-9F57-2C0D8C6A9E11");
inline constexpr CLSID CLSID_Player = com::guid("8E1B44D0-64A2-4C2B-A6B0-7B8C0E3D2F44");
inline constexpr GUID LIBID_Player = com::guid("0F3A9B6C-1D2E-4F70-8A9B-C0D1E2F3A4B5");

}  // namespace

COM_INTERFACE_TRAITS(IPlayer, IDispatch, IID_IPlayer)

namespace {

const com::TypeLibrary& playerLibrary() {
  static const com::TypeLibrary library{
      "PlayerLib",
      LIBID_Player,
      1,
      0,
      "Player library",
      {{"IPlayer",
        IID_IPlayer,
        {{"Play", 7, [](void* itf) { return static_cast<IPlayer*>(itf)->Play(); }, "Starts"},
         {"Halt", 9, [](void* itf) { return static_cast<IPlayer*>(itf)->Halt(); }, "Stops"}},
        "A player"}},
      {{"Player", CLSID_Player, {"IPlayer"}, "The player class"}}};
  return library;
}
// The library this program carries.
const com::TypeLibResource gPlayerLibrary(playerLibrary(), &gPlayerLibrary);

class Player : public com::TypeLibDispatchObject<Player, IPlayer, &LIBID_Player> {
 public:
  HRESULT Play() override {
    ++plays;
    return S_FALSE;
  }
  HRESULT Halt() override { return com::reportError(E_FAIL, "cannot halt", "Player"); }
  int plays = 0;
};

std::string bstrText(BSTR text) {
  const std::string result = com::fromBstr(text);
  SysFreeString(text);
  return result;
}

TEST_F(ServerTest, ATypeLibraryDescribesInterfacesAndClassesAndIsRegisteredFromItsModule) {
  const std::string program = com::modulePathOfAddress(&gPlayerLibrary);
  const std::u16string path = com::toUtf16(program);
  ITypeLib* library = nullptr;
  ASSERT_EQ(LoadTypeLib(path.c_str(), &library), S_OK);
  ASSERT_EQ(library->GetTypeInfoCount(), 2u);
  TYPEKIND kinds[2] = {TKIND_MAX, TKIND_MAX};
  library->GetTypeInfoType(0, &kinds[0]);
  library->GetTypeInfoType(1, &kinds[1]);
  EXPECT_EQ(kinds[0], TKIND_DISPATCH);
  EXPECT_EQ(kinds[1], TKIND_COCLASS);

  // The class names its default interface, whose methods carry their DISPIDs.
  ITypeInfo* coclass = nullptr;
  ASSERT_EQ(library->GetTypeInfoOfGuid(CLSID_Player, &coclass), S_OK);
  BSTR name = nullptr;
  coclass->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr);
  EXPECT_EQ(bstrText(name), "Player");
  int flags = 0;
  HREFTYPE ref = 0;
  EXPECT_EQ(coclass->GetImplTypeFlags(0, &flags), S_OK);
  EXPECT_EQ(flags, IMPLTYPEFLAG_FDEFAULT);
  ASSERT_EQ(coclass->GetRefTypeOfImplType(0, &ref), S_OK);
  ITypeInfo* player = nullptr;
  ASSERT_EQ(coclass->GetRefTypeInfo(ref, &player), S_OK);
  coclass->Release();
  TYPEATTR* attr = nullptr;
  ASSERT_EQ(player->GetTypeAttr(&attr), S_OK);
  EXPECT_EQ(attr->guid, IID_IPlayer);
  EXPECT_EQ(attr->cFuncs, 2);
  EXPECT_NE(attr->wTypeFlags & TYPEFLAG_FDUAL, 0);
  player->ReleaseTypeAttr(attr);
  FUNCDESC* func = nullptr;
  ASSERT_EQ(player->GetFuncDesc(1, &func), S_OK);
  EXPECT_EQ(func->memid, 9);
  EXPECT_EQ(func->invkind, INVOKE_FUNC);
  player->ReleaseFuncDesc(func);
  BSTR names[2] = {nullptr, nullptr};
  UINT count = 0;
  ASSERT_EQ(player->GetNames(9, names, 2, &count), S_OK);
  EXPECT_EQ(count, 1u);
  EXPECT_EQ(bstrText(names[0]), "Halt");
  EXPECT_EQ(player->GetNames(8, names, 2, &count), TYPE_E_ELEMENTNOTFOUND);
  player->Release();

  // Registration writes where the library lives; loading it through the registry finds it again.
  ITypeLib* registered = nullptr;
  EXPECT_EQ(LoadRegTypeLib(LIBID_Player, 1, 0, 0, &registered), TYPE_E_LIBNOTREGISTERED);
  ASSERT_EQ(RegisterTypeLib(library, path.c_str(), nullptr), S_OK) << lastErrorText();
  library->Release();
  const std::string key = "TypeLib\\" + com::guidToString(LIBID_Player) + "\\1.0";
  EXPECT_EQ(readDefault(key), "Player library");
  EXPECT_EQ(readDefault(key + "\\0\\win32"), program);
  EXPECT_EQ(readDefault("Interface\\" + com::guidToString(IID_IPlayer)), "IPlayer");
  ASSERT_EQ(LoadRegTypeLib(LIBID_Player, 1, 0, 0, &registered), S_OK);
  ITypeInfo* again = nullptr;
  EXPECT_EQ(registered->GetTypeInfoOfGuid(CLSID_Player, &again), S_OK);
  again->Release();
  registered->Release();

  const std::u16string elsewhere = com::toUtf16(dir_->file("nothing.so"));
  EXPECT_EQ(LoadTypeLib(elsewhere.c_str(), &library), TYPE_E_CANTLOADLIBRARY);
}

TEST_F(ServerTest, DispatchOverTheTypeLibraryFindsAndCallsTheDescribedMethods) {
  Player* player = new Player();
  IDispatchPtr d(static_cast<IDispatch*>(static_cast<IPlayer*>(player)));
  UINT count = 0;
  EXPECT_EQ(d->GetTypeInfoCount(&count), S_OK);
  EXPECT_EQ(count, 1u);
  ITypeInfo* info = nullptr;
  EXPECT_EQ(d->GetTypeInfo(1, 0, &info), DISP_E_BADINDEX);
  ASSERT_EQ(d->GetTypeInfo(0, 0, &info), S_OK);
  BSTR name = nullptr;
  info->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr);
  EXPECT_EQ(bstrText(name), "IPlayer");
  info->Release();

  std::u16string play = u"pLAY";
  std::u16string other = u"Pause";
  LPOLESTR names[] = {&play[0]};
  DISPID id = 0;
  ASSERT_EQ(d->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK);
  EXPECT_EQ(id, 7);
  names[0] = &other[0];
  EXPECT_EQ(d->GetIDsOfNames(IID_NULL, names, 1, 0, &id), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(id, DISPID_UNKNOWN);

  DISPPARAMS none{nullptr, nullptr, 0, 0};
  EXPECT_EQ(d->Invoke(7, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr), S_OK);
  EXPECT_EQ(player->plays, 1);
  EXPECT_EQ(d->Invoke(8, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr), DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(d->Invoke(7, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, nullptr, nullptr, nullptr), DISP_E_MEMBERNOTFOUND);
  _variant_t arg(LONG(1));
  DISPPARAMS one{&arg, nullptr, 1, 0};
  EXPECT_EQ(d->Invoke(7, IID_NULL, 0, DISPATCH_METHOD, &one, nullptr, nullptr, nullptr), DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(player->plays, 1);
  EXCEPINFO excep{};
  EXPECT_EQ(d->Invoke(9, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, &excep, nullptr), DISP_E_EXCEPTION);
  EXPECT_EQ(excep.scode, E_FAIL);
  EXPECT_EQ(bstrText(excep.bstrDescription), "cannot halt");
  EXPECT_EQ(bstrText(excep.bstrSource), "Player");
}

}  // namespace
