// The add-in as a COM server and a Developer Studio add-in: its class objects and unload test,
// its registration, the connection that adds its command and toolbar button, and the command that
// opens the generator dialog modally over the open build project.
#include "AddIn.h"
#include "AddinTestSupport.h"
#include "DevStudioHost.h"
#include "UiDriver.h"
#include "WizardControls.h"
#include "WizardResources.h"

#include <sys/stat.h>

using namespace addintest;

namespace {

// An application object that records what the add-in asks of it.
class FakeApplication : public com::DispatchObject<FakeApplication, IApplication> {
 public:
  static const com::DispatchMethod<FakeApplication>* dispatchMethods() {
    static const com::DispatchMethod<FakeApplication> none[] = {{nullptr, 0, nullptr}};
    return none;
  }
  ~FakeApplication() override {
    if (commandObject != nullptr) commandObject->Release();
    if (project != nullptr) project->Release();
  }

  HRESULT get_ActiveProject(IDispatch** out) override {
    calls.push_back("ActiveProject");
    if (FAILED(activeProjectResult)) return com::reportError(activeProjectResult, "The host is busy", "Test host");
    *out = project;
    if (project != nullptr) project->AddRef();
    return S_OK;
  }
  HRESULT SetAddInInfo(LONG_PTR, IDispatch* commands, LONG medium, LONG large, LONG cookie) override {
    calls.push_back("SetAddInInfo " + std::to_string(medium) + " " + std::to_string(large) + " " +
                    std::to_string(cookie));
    if (commands != nullptr) commands->AddRef();
    if (commandObject != nullptr) commandObject->Release();
    commandObject = commands;
    return S_OK;
  }
  HRESULT AddCommand(BSTR command, BSTR method, LONG glyph, LONG cookie, VARIANT_BOOL* added) override {
    calls.push_back("AddCommand " + com::fromBstr(command) + " " + com::fromBstr(method) + " " + std::to_string(glyph) +
                    " " + std::to_string(cookie));
    *added = acceptCommand ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
  }
  HRESULT AddCommandBarButton(LONG type, BSTR name, LONG cookie) override {
    calls.push_back("AddCommandBarButton " + std::to_string(type) + " " + com::fromBstr(name) + " " +
                    std::to_string(cookie));
    return S_OK;
  }
  HRESULT EnableModeless(VARIANT_BOOL enable) override {
    calls.push_back(enable != VARIANT_FALSE ? "EnableModeless true" : "EnableModeless false");
    return S_OK;
  }

  std::vector<std::string> calls;
  bool acceptCommand = true;
  HRESULT activeProjectResult = S_OK;
  IDispatch* project = nullptr;
  IDispatch* commandObject = nullptr;
};

// A dispatch object that is no build project.
class PlainObject : public com::DispatchObject<PlainObject, IDispatch> {
 public:
  static const com::DispatchMethod<PlainObject>* dispatchMethods() {
    static const com::DispatchMethod<PlainObject> none[] = {{nullptr, 0, nullptr}};
    return none;
  }
};

template <class T>
T* made() {
  T* object = new T();
  object->AddRef();
  return object;
}

class AddInTest : public AddinTest {
 protected:
  void SetUp() override {
    AddinTest::SetUp();
    ui::resetDriver();
    win32::clearJournal();
    mkdir(path("install").c_str(), 0755);
  }
  void TearDown() override {
    for (HWND w : ui::topLevelWindows()) DestroyWindow(w);
    ui::pumpMessages();
    EXPECT_EQ(ui::pendingScripts(), 0u);
    ui::resetDriver();
    AddinTest::TearDown();
  }
  static IDSAddIn* createAddIn() {
    IClassFactory* factory = nullptr;
    EXPECT_EQ(DllGetClassObject(CLSID_DSAddIn, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
    IDSAddIn* addIn = nullptr;
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IDSAddIn, reinterpret_cast<void**>(&addIn)), S_OK);
    factory->Release();
    return addIn;
  }
  // Runs the command object's one method by name, as the host does.
  static HRESULT invoke(IDispatch* commands) {
    std::u16string name = com::toUtf16("StartKAVRINWizard");
    LPOLESTR names[] = {&name[0]};
    DISPID id = 0;
    HRESULT hr = commands->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) return hr;
    EXPECT_EQ(id, 1);
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    return commands->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr);
  }
  static std::vector<std::string> journalLines(const devstudio::Host& host, const std::string& prefix) {
    std::vector<std::string> lines;
    for (const std::string& line : host.journal()) {
      if (line.compare(0, prefix.size(), prefix) == 0) lines.push_back(line);
    }
    return lines;
  }

  kavrin_test::ScopedEnv installFolder{"KAVRINVC6", std::string("/nonexistent-install")};
};

TEST_F(AddInTest, TheServerMakesOneClassFactoryAndCanUnloadOnlyWhenNothingLives) {
  EXPECT_EQ(DllGetClassObject(CLSID_DSAddIn, IID_IClassFactory, nullptr), E_POINTER);
  void* object = reinterpret_cast<void*>(1);
  EXPECT_EQ(DllGetClassObject(CLSID_Commands, IID_IClassFactory, &object), CLASS_E_CLASSNOTAVAILABLE)
      << "only the add-in object makes command objects";
  EXPECT_EQ(object, nullptr);

  IClassFactory* first = nullptr;
  IClassFactory* second = nullptr;
  ASSERT_EQ(DllGetClassObject(CLSID_DSAddIn, IID_IClassFactory, reinterpret_cast<void**>(&first)), S_OK);
  ASSERT_EQ(DllGetClassObject(CLSID_DSAddIn, IID_IClassFactory, reinterpret_cast<void**>(&second)), S_OK);
  EXPECT_EQ(first, second) << "made once and kept";
  second->Release();
  EXPECT_EQ(DllCanUnloadNow(), S_OK);

  IDSAddIn* addIn = nullptr;
  ASSERT_EQ(first->CreateInstance(nullptr, IID_IDSAddIn, reinterpret_cast<void**>(&addIn)), S_OK);
  EXPECT_EQ(DllCanUnloadNow(), S_FALSE) << "the add-in object lives";
  addIn->Release();
  EXPECT_EQ(DllCanUnloadNow(), S_OK);
  first->LockServer(TRUE);
  EXPECT_EQ(DllCanUnloadNow(), S_FALSE) << "a server lock";
  first->LockServer(FALSE);
  EXPECT_EQ(DllCanUnloadNow(), S_OK);
  first->Release();
}

TEST_F(AddInTest, RegistrationWritesTheClassTheTypeLibraryAndTheDescription) {
  ASSERT_EQ(DllRegisterServer(), S_OK);
  const std::string clsid = "CLSID\\{05E7E155-F9CA-4F96-B5D1-E2263F039DE7}";
  EXPECT_EQ(value(HKEY_CLASSES_ROOT, "KAVRINGEN.DSAddIn.1\\CLSID", nullptr), "{05E7E155-F9CA-4F96-B5D1-E2263F039DE7}");
  EXPECT_EQ(value(HKEY_CLASSES_ROOT, "KAVRINGEN Developer Studio Add-in\\CLSID", nullptr),
            "{05E7E155-F9CA-4F96-B5D1-E2263F039DE7}");
  EXPECT_EQ(value(HKEY_CLASSES_ROOT, clsid + "\\ProgID", nullptr), "KAVRINGEN.DSAddIn.1");
  EXPECT_EQ(value(HKEY_CLASSES_ROOT, clsid + "\\VersionIndependentProgID", nullptr),
            "KAVRINGEN Developer Studio Add-in");
  EXPECT_EQ(value(HKEY_CLASSES_ROOT, clsid + "\\InprocServer32", "ThreadingModel"), "Both");
  EXPECT_EQ(value(HKEY_CLASSES_ROOT, clsid + "\\InprocServer32", nullptr), theAddInModule.ModulePath());
  EXPECT_EQ(value(HKEY_CLASSES_ROOT, clsid + "\\Description", nullptr), "Generates C++ Proxy Classes for JNI");
  const std::string typeLib = "TypeLib\\{C2E0EA7F-AEB7-42DB-AA25-D294FC6ECD86}";
  EXPECT_EQ(value(HKEY_CLASSES_ROOT, typeLib + "\\1.0", nullptr), "KAVRINGEN Developer Studio Add-in");
  EXPECT_EQ(value(HKEY_CLASSES_ROOT, "Interface\\{66ABF42D-8BB7-4A12-A4E3-416B69758437}", nullptr), "ICommands");
  EXPECT_EQ(value(HKEY_CLASSES_ROOT, typeLib + "\\1.0\\0\\win32", nullptr), theAddInModule.ModulePath());

  // The registered library describes the command interface and the class that implements it.
  ITypeLib* library = nullptr;
  ASSERT_EQ(LoadRegTypeLib(LIBID_KAVRINGEN, 1, 0, 0, &library), S_OK);
  EXPECT_EQ(library->GetTypeInfoCount(), 2u);
  ITypeInfo* coclass = nullptr;
  ASSERT_EQ(library->GetTypeInfoOfGuid(CLSID_Commands, &coclass), S_OK);
  library->Release();
  HREFTYPE ref = 0;
  ITypeInfo* commands = nullptr;
  ASSERT_EQ(coclass->GetRefTypeOfImplType(0, &ref), S_OK);
  ASSERT_EQ(coclass->GetRefTypeInfo(ref, &commands), S_OK);
  coclass->Release();
  std::u16string method = u"StartKAVRINWizard";
  LPOLESTR names[] = {&method[0]};
  MEMBERID id = 0;
  EXPECT_EQ(commands->GetIDsOfNames(names, 1, &id), S_OK);
  EXPECT_EQ(id, 1);
  TYPEATTR* attr = nullptr;
  ASSERT_EQ(commands->GetTypeAttr(&attr), S_OK);
  EXPECT_EQ(attr->guid, IID_ICommands);
  EXPECT_NE(attr->wTypeFlags & TYPEFLAG_FDUAL, 0);
  commands->ReleaseTypeAttr(attr);
  commands->Release();

  ASSERT_EQ(DllUnregisterServer(), S_OK);
  EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, clsid));
  EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, "KAVRINGEN.DSAddIn.1"));
  EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, "KAVRINGEN Developer Studio Add-in"));
  EXPECT_TRUE(keyExists(HKEY_CLASSES_ROOT, typeLib)) << "the type library stays registered";
}

TEST_F(AddInTest, RegistrationReportsAClassKeyThatCannotBeOpened) {
  registry::injectFailure("HKEY_CLASSES_ROOT\\CLSID\\{05E7E155-F9CA-4F96-B5D1-E2263F039DE7}", ERROR_ACCESS_DENIED);
  EXPECT_EQ(DllRegisterServer(), HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED));
}

TEST_F(AddInTest, ConnectingAddsTheCommandAndTheButtonOnTheFirstConnectionOnly) {
  FakeApplication* application = made<FakeApplication>();
  IDSAddIn* addIn = createAddIn();
  VARIANT_BOOL connected = VARIANT_FALSE;
  ASSERT_EQ(addIn->OnConnection(application, VARIANT_TRUE, 7, &connected), S_OK);
  EXPECT_EQ(connected, VARIANT_TRUE);
  EXPECT_EQ(
      application->calls,
      (std::vector<std::string>{"SetAddInInfo 128 129 7",
                                "AddCommand KAVRIN\nKAVRIN\nOpens the KAVRIN Generator\nKAVRIN StartKAVRINWizard 0 7",
                                "AddCommandBarButton 1 KAVRIN 7"}));
  ASSERT_NE(application->commandObject, nullptr);
  ICommands* commands = nullptr;
  EXPECT_EQ(application->commandObject->QueryInterface(IID_ICommands, reinterpret_cast<void**>(&commands)), S_OK);
  if (commands != nullptr) commands->Release();

  ASSERT_EQ(addIn->OnDisconnection(VARIANT_FALSE), S_OK);
  application->calls.clear();
  ASSERT_EQ(addIn->OnConnection(application, VARIANT_FALSE, 8, &connected), S_OK);
  EXPECT_EQ(connected, VARIANT_TRUE);
  EXPECT_EQ(application->calls.size(), 2u) << "no second button";
  addIn->OnDisconnection(VARIANT_TRUE);
  EXPECT_EQ(DllCanUnloadNow(), S_FALSE) << "the host still holds the command object it was given";
  application->commandObject->Release();
  application->commandObject = nullptr;
  addIn->Release();
  EXPECT_EQ(application->refCount(), 1u);
  application->Release();
  EXPECT_EQ(DllCanUnloadNow(), S_OK);
}

TEST_F(AddInTest, ARefusedCommandOrAnApplicationWithoutItsInterfaceLeavesTheAddInUnconnected) {
  FakeApplication* application = made<FakeApplication>();
  application->acceptCommand = false;
  IDSAddIn* addIn = createAddIn();
  VARIANT_BOOL connected = VARIANT_TRUE;
  ASSERT_EQ(addIn->OnConnection(application, VARIANT_TRUE, 3, &connected), S_OK);
  EXPECT_EQ(connected, VARIANT_FALSE);
  EXPECT_EQ(application->calls.size(), 2u) << "no button without the command";
  application->commandObject->Release();
  application->commandObject = nullptr;
  EXPECT_EQ(application->refCount(), 1u) << "the command object gave the application back";

  PlainObject* plain = made<PlainObject>();
  connected = VARIANT_TRUE;
  ASSERT_EQ(addIn->OnConnection(plain, VARIANT_TRUE, 4, &connected), S_OK);
  EXPECT_EQ(connected, VARIANT_FALSE);
  ASSERT_EQ(addIn->OnConnection(nullptr, VARIANT_TRUE, 5, &connected), S_OK);
  EXPECT_EQ(connected, VARIANT_FALSE);
  addIn->Release();
  plain->Release();
  application->Release();
  EXPECT_EQ(DllCanUnloadNow(), S_OK);
}

TEST_F(AddInTest, WithoutABuildProjectTheCommandDoesNothing) {
  devstudio::Host noProject(nullptr);
  CCommands* commands = made<CCommands>();
  noProject.application()->AddRef();
  commands->SetApplicationObject(noProject.application());
  EXPECT_EQ(invoke(commands), S_OK);
  EXPECT_TRUE(journalLines(noProject, "EnableModeless").empty());
  // Its IDispatch answers from the type library.
  UINT count = 0;
  EXPECT_EQ(commands->GetTypeInfoCount(&count), S_OK);
  EXPECT_EQ(count, 1u);
  ITypeInfo* info = nullptr;
  ASSERT_EQ(commands->GetTypeInfo(0, 0, &info), S_OK);
  BSTR name = nullptr;
  info->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr);
  EXPECT_EQ(com::fromBstr(name), "ICommands");
  SysFreeString(name);
  info->Release();

  FakeApplication* application = made<FakeApplication>();
  application->project = made<PlainObject>();
  CCommands* overPlain = made<CCommands>();
  overPlain->SetApplicationObject(application);  // takes the reference
  EXPECT_EQ(overPlain->StartKAVRINWizard(), S_OK);
  EXPECT_EQ(application->calls, std::vector<std::string>{"ActiveProject"});
  EXPECT_TRUE(ui::modalRecords().empty()) << "no dialog";
  overPlain->Release();
  commands->Release();
}

TEST_F(AddInTest, TheCommandRunsTheDialogModallyWithTheHostsWindowsDisabled) {
  kavrin_test::ScopedEnv install("KAVRINVC6", path("install"));
  auto project = std::make_shared<devstudio::Project>();
  project->fullName = path("App.dsp");
  project->fullNameGiven = true;
  devstudio::Host host(project);
  CCommands* commands = made<CCommands>();
  host.application()->AddRef();
  commands->SetApplicationObject(host.application());
  bool modelessDuringDialog = true;
  ui::onModalDialog(
      [&](CDialog& dialog) {
        modelessDuringDialog = host.modelessEnabled();
        ui::pumpMessages();
        ui::clickButton(::GetDlgItem(dialog.m_hWnd, IDCANCEL));
      },
      IDD_GENERATOR_DIALOG);
  EXPECT_EQ(invoke(commands), S_OK);
  EXPECT_FALSE(modelessDuringDialog);
  EXPECT_TRUE(host.modelessEnabled());
  EXPECT_EQ(journalLines(host, "EnableModeless"),
            (std::vector<std::string>{"EnableModeless false", "EnableModeless true"}));
  const std::vector<ui::ModalRecord> modals = ui::modalRecords();
  ASSERT_EQ(modals.size(), 1u);
  EXPECT_EQ(modals[0].templateId, IDD_GENERATOR_DIALOG);
  EXPECT_EQ(modals[0].caption, "KAVRIN Generator");
  EXPECT_EQ(theGeneratorDlg, nullptr) << "the dialog is gone";
  commands->Release();
}

TEST_F(AddInTest, AComErrorIsShownUnderTheAddInsCaption) {
  FakeApplication* application = made<FakeApplication>();
  application->activeProjectResult = E_FAIL;
  CCommands* commands = made<CCommands>();
  commands->SetApplicationObject(application);
  EXPECT_EQ(commands->StartKAVRINWizard(), S_FALSE);
  std::vector<win32::JournalEntry> boxes;
  for (const win32::JournalEntry& e : win32::journal()) {
    if (e.kind == "MessageBox") boxes.push_back(e);
  }
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, "KAVRIN Add-In Error");
  EXPECT_EQ(boxes[0].text, "The host is busy");
  EXPECT_EQ(boxes[0].type & MB_ICONERROR, MB_ICONERROR);
  EXPECT_EQ(application->calls, std::vector<std::string>{"ActiveProject"}) << "the windows were never disabled";
  EXPECT_EQ(invoke(commands), S_OK) << "a reported error is no failure of the call";
  commands->Release();
}

}  // namespace
