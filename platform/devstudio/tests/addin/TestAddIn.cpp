// A small Developer Studio add-in for the host tests, built the way the real add-in is: an
// in-process server whose add-in object registers a command object with the host.
#include "ComServer.h"
#include "TestAddIn.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace {

com::ModuleLockCount gModule;

class TestCommands : public com::DispatchObject<TestCommands, ITestCommands> {
 public:
  static const com::DispatchMethod<TestCommands>* dispatchMethods() {
    static const com::DispatchMethod<TestCommands> methods[] = {
        {"AddOutputs", 1, &TestCommands::AddOutputs}, {"FailHere", 2, &TestCommands::FailHere}, {nullptr, 0, nullptr}};
    return methods;
  }
  ~TestCommands() override {
    if (application_ != nullptr) application_->Release();
  }
  // Takes over the caller's reference.
  void setApplication(IApplication* application) { application_ = application; }

  HRESULT AddOutputs() override {
    try {
      IDispatchPtr active;
      com::check(application_->get_ActiveProject(&active));
      IBuildProjectPtr project(active);
      if (!project) return S_OK;  // no project open: nothing to do
      // A test keeps the session here until it closes its end of the pipe.
      if (const char* hold = std::getenv("KAVRIN_TEST_ADDIN_HOLD")) {
        const int pipe = open(hold, O_RDONLY | O_CLOEXEC);
        char byte = 0;
        while (pipe >= 0 && read(pipe, &byte, 1) > 0) {
        }
        if (pipe >= 0) close(pipe);
      }
      com::check(application_->EnableModeless(VARIANT_FALSE));
      _bstr_t fullName;
      com::check(project->get_FullName(fullName.GetAddress()));
      std::string dir = fullName.utf8();
      dir = dir.substr(0, dir.rfind('/') + 1);
      com::check(project->AddFile(_bstr_t(dir + "a_b_CJNIProxy.h"), vtMissing));
      com::check(project->AddFile(_bstr_t(dir + "a_b_CJNIProxy.cpp"), vtMissing));
      IConfigurationsPtr configurations;
      com::check(project->get_Configurations(&configurations));
      LONG count = 0;
      com::check(configurations->get_Count(&count));
      for (LONG i = 1; i <= count; ++i) {
        IConfigurationPtr configuration;
        com::check(configurations->Item(_variant_t(i), &configuration));
        com::check(configuration->AddToolSettings(_bstr_t("cl.exe"), _bstr_t(TEST_ADDIN_SETTING_CL), vtMissing));
        com::check(configuration->AddToolSettings(_bstr_t("link.exe"), _bstr_t(TEST_ADDIN_SETTING_LINK), vtMissing));
      }
      com::check(application_->EnableModeless(VARIANT_TRUE));
      return S_OK;
    } catch (const _com_error& e) {
      return com::reportError(e.Error(), e.Description().utf8());
    }
  }
  HRESULT FailHere() override { return com::reportError(E_FAIL, TEST_ADDIN_FAILURE, "KavrinTest"); }

 private:
  com::ModuleLock lock_{gModule};
  IApplication* application_ = nullptr;
};

class TestAddIn : public com::ComObject<IDSAddIn> {
 public:
  HRESULT OnConnection(IDispatch* application, VARIANT_BOOL firstTime, LONG cookie, VARIANT_BOOL* connected) override {
    *connected = VARIANT_FALSE;
    const char* decline = std::getenv("KAVRIN_TEST_ADDIN_DECLINE");
    if (decline != nullptr && std::strcmp(decline, "1") == 0) return S_OK;
    IApplication* app = nullptr;
    if (application == nullptr ||
        FAILED(application->QueryInterface(IID_IApplication, reinterpret_cast<void**>(&app)))) {
      return S_OK;
    }
    commands_ = new TestCommands();
    commands_->AddRef();
    commands_->setApplication(app);
    app->SetAddInInfo(reinterpret_cast<LONG_PTR>(com::moduleOfAddress(&gModule)), static_cast<IDispatch*>(commands_),
                      128, 129, cookie);
    VARIANT_BOOL added = VARIANT_FALSE;
    app->AddCommand(_bstr_t("TestCmd\nTest\nRuns the test command\nTest"), _bstr_t("AddOutputs"), 0, cookie, &added);
    VARIANT_BOOL failAdded = VARIANT_FALSE;
    app->AddCommand(_bstr_t("FailCmd\nFail\nFails\nFail"), _bstr_t("FailHere"), 1, cookie, &failAdded);
    VARIANT_BOOL missing = VARIANT_FALSE;
    app->AddCommand(_bstr_t("Missing"), _bstr_t("NoSuchMethod"), 2, cookie, &missing);
    if (added == VARIANT_TRUE && firstTime == VARIANT_TRUE) {
      app->AddCommandBarButton(dsGlyph, _bstr_t("TestCmd"), cookie);
    }
    *connected = added;
    return S_OK;
  }
  HRESULT OnDisconnection(VARIANT_BOOL) override {
    if (commands_ != nullptr) commands_->Release();
    commands_ = nullptr;
    return S_OK;
  }

 private:
  com::ModuleLock lock_{gModule};
  TestCommands* commands_ = nullptr;
};

com::ClassRegistration registration() {
  return com::ClassRegistration{CLSID_TestAddIn, "Kavrin test add-in", TEST_ADDIN_PROGID,
                                "KavrinTest Developer Studio Add-in", "Both"};
}

}  // namespace

HRESULT DllGetClassObject(REFCLSID clsid, REFIID riid, void** object) {
  return com::getClassObject(clsid, CLSID_TestAddIn, riid, object,
                             [] { return new com::ClassFactory(&com::createInstance<TestAddIn>, gModule); });
}

HRESULT DllCanUnloadNow() { return gModule.GetLockCount() == 0 ? S_OK : S_FALSE; }

HRESULT DllRegisterServer() {
  const std::string path = com::modulePathOfAddress(&gModule);
  const HRESULT hr = com::registerClass(registration(), path);
  if (FAILED(hr)) return hr;
  return RegisterTypeLib(com::TypeLibrary{"KavrinTestAddIn",
                                          LIBID_TestAddIn,
                                          1,
                                          0,
                                          "KavrinTest Developer Studio Add-in",
                                          {{"ITestCommands", IID_ITestCommands, {}, {}}},
                                          {}},
                         path.c_str(), nullptr);
}

HRESULT DllUnregisterServer() { return com::unregisterClass(registration()); }
