// An in-process server for the COM tests. Every live counter and every class factory holds a
// lock on the module, so DllCanUnloadNow answers S_OK only once all of them are gone.
#include "ComServer.h"
#include "TestServer.h"

namespace {

com::ModuleLockCount gModule;

class Counter : public com::ComObject<ICounter> {
 public:
  HRESULT Increment(LONG* value) override {
    if (value == nullptr) return E_POINTER;
    *value = ++count_;
    return S_OK;
  }
  HRESULT Fail(BSTR description) override {
    return com::reportError(E_FAIL, com::fromBstr(description), TEST_COUNTER_VI_PROGID);
  }
  HRESULT CreateSibling(ICounter** sibling) override {
    return CoCreateInstance(CLSID_TestCounter, nullptr, CLSCTX_INPROC_SERVER, IID_ICounter,
                            reinterpret_cast<void**>(sibling));
  }

 private:
  com::ModuleLock lock_{gModule};
  LONG count_ = 0;
};

class LockingFactory : public com::ClassFactory {
 public:
  LockingFactory() : ClassFactory(&com::createInstance<Counter>, gModule) {}

 private:
  com::ModuleLock lock_{gModule};
};

com::ClassRegistration registration() {
  return com::ClassRegistration{CLSID_TestCounter, "Kavrin test counter", TEST_COUNTER_PROGID, TEST_COUNTER_VI_PROGID,
                                "Both"};
}

}  // namespace

HRESULT DllGetClassObject(REFCLSID clsid, REFIID riid, void** object) {
  return com::getClassObject(clsid, CLSID_TestCounter, riid, object, [] { return new LockingFactory(); });
}

HRESULT DllCanUnloadNow() { return gModule.GetLockCount() == 0 ? S_OK : S_FALSE; }

HRESULT DllRegisterServer() {
  const std::string path = com::modulePathOfAddress(reinterpret_cast<const void*>(&DllRegisterServer));
  HRESULT hr = com::registerClass(registration(), path);
  if (FAILED(hr)) return hr;
  com::TypeLibrary library{
      "KavrinTestServer", LIBID_TestServer, 1, 0, "Kavrin test server", {{"ICounter", IID_ICounter, {}, {}}}, {}};
  return RegisterTypeLib(library, path.c_str(), nullptr);
}

HRESULT DllUnregisterServer() { return com::unregisterClass(registration()); }
