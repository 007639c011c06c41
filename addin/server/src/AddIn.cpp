#include "AddIn.h"

#include "GeneratorDlg.h"
#include "Registry.h"
#include "UiResources.h"
#include "WizardResources.h"

#include <new>

const char* const addin::kProgId = "KAVRINGEN.DSAddIn.1";
const char* const addin::kVersionIndependentProgId = "KAVRINGEN Developer Studio Add-in";
const char* const addin::kCommandName = "KAVRIN";
const char* const addin::kCommandMethod = "StartKAVRINWizard";
const char* const addin::kErrorCaption = "KAVRIN Add-In Error";

namespace {

// The toolbar's glyphs, 16 and 32 pixels high.
#include "../images/toolbar-large.xpm"
#include "../images/toolbar-medium.xpm"

const char* const kAddInDescription = "Generates C++ Proxy Classes for JNI";
const char* const kCommandResource = "\nKAVRIN\nOpens the KAVRIN Generator\nKAVRIN";
const char* const kClassDescription = "KAVRIN Developer Studio Add-in";
const char* const kTypeLibraryHelp = "KAVRINGEN Developer Studio Add-in";

com::ClassRegistration addInRegistration() {
  return com::ClassRegistration{CLSID_DSAddIn, kClassDescription, addin::kProgId, addin::kVersionIndependentProgId,
                                "Both"};
}

HRESULT updateAddInRegistry(bool doRegister) {
  return doRegister ? com::registerClass(addInRegistration(), theAddInModule.ModulePath())
                    : com::unregisterClass(addInRegistration());
}

// The type library the module carries: the command object's interface and class.
const com::TypeLibrary& typeLibrary() {
  static const com::TypeLibrary library{
      "KAVRINGEN",
      LIBID_KAVRINGEN,
      1,
      0,
      kTypeLibraryHelp,
      {{"ICommands",
        IID_ICommands,
        {{addin::kCommandMethod, 1, [](void* itf) { return static_cast<ICommands*>(itf)->StartKAVRINWizard(); },
          "Opens the KAVRIN Generator over the active project"}},
        "The commands of the add-in"}},
      {{"Commands", CLSID_Commands, {"ICommands"}, "The add-in's command object"}}};
  return library;
}
const com::TypeLibResource gTypeLibrary(typeLibrary(), &gTypeLibrary);

CAddInModule::ObjectEntry gObjectMap[] = {
    {&CLSID_DSAddIn, &updateAddInRegistry, &com::createInstance<CDSAddIn>, nullptr},
    {nullptr, nullptr, nullptr, nullptr},
};

std::string loadString(UINT id) {
  CString text;
  text.LoadString(id);
  return text.str();
}

std::string describe(const _com_error& error) {
  // The error object's text; empty when there is none.
  return error.Description().utf8();
}

// Closes a registry key when it goes.
class KeyCloser {
 public:
  explicit KeyCloser(HKEY key) : m_key(key) {}
  ~KeyCloser() {
    if (m_key != nullptr) RegCloseKey(m_key);
  }
  KeyCloser(const KeyCloser&) = delete;
  KeyCloser& operator=(const KeyCloser&) = delete;

 private:
  HKEY m_key;
};

// Re-enables the host's windows on every way out of the command once they were disabled.
class ModelessGuard {
 public:
  explicit ModelessGuard(IApplication* application) : m_application(application) {}
  ~ModelessGuard() { EnableNow(); }
  ModelessGuard(const ModelessGuard&) = delete;
  ModelessGuard& operator=(const ModelessGuard&) = delete;
  void EnableNow() {
    if (m_application != nullptr) m_application->EnableModeless(VARIANT_TRUE);
    m_application = nullptr;
  }

 private:
  IApplication* m_application;
};

}  // namespace

// --- Resources ---------------------------------------------------------------------------------
void addin::registerResources() {
  registerWizardTemplates();
  ui::registerBitmapImage(IDB_TOOLBAR_MEDIUM, toolbar_medium, 4);
  ui::registerBitmapImage(IDB_TOOLBAR_LARGE, toolbar_large, 4);
  ui::registerString(IDS_ADDIN_DESCRIPTION, kAddInDescription);
  ui::registerString(IDS_COMMAND, kCommandResource);
}

// --- The module --------------------------------------------------------------------------------
void CAddInModule::Init(HINSTANCE instance) {
  if (m_bInitialized) return;
  m_pObjectMap = gObjectMap;
  m_hInstance = instance;
  InitializeCriticalSection(&m_csFactories);
  m_bInitialized = true;
}

void CAddInModule::Term() {
  if (!m_bInitialized) return;
  for (ObjectEntry* entry = m_pObjectMap; entry->clsid != nullptr; ++entry) {
    if (entry->classFactory != nullptr) entry->classFactory->Release();
    entry->classFactory = nullptr;
  }
  DeleteCriticalSection(&m_csFactories);
  m_bInitialized = false;
}

HRESULT CAddInModule::GetClassObject(REFCLSID clsid, REFIID riid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (!m_bInitialized) return CLASS_E_CLASSNOTAVAILABLE;
  for (ObjectEntry* entry = m_pObjectMap; entry->clsid != nullptr; ++entry) {
    if (entry->createInstance == nullptr || *entry->clsid != clsid) continue;
    if (entry->classFactory == nullptr) {
      EnterCriticalSection(&m_csFactories);
      if (entry->classFactory == nullptr) {
        com::ClassFactory* factory = new (std::nothrow) com::ClassFactory(entry->createInstance, m_lockCount);
        if (factory != nullptr) {
          factory->AddRef();
          entry->classFactory = factory;
        }
      }
      LeaveCriticalSection(&m_csFactories);
      if (entry->classFactory == nullptr) return E_OUTOFMEMORY;
    }
    return entry->classFactory->QueryInterface(riid, object);
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT CAddInModule::RegisterServer() {
  if (!m_bInitialized) return E_UNEXPECTED;
  for (ObjectEntry* entry = m_pObjectMap; entry->clsid != nullptr; ++entry) {
    if (HRESULT hr = entry->updateRegistry(true); FAILED(hr)) return hr;
  }
  // The type library, as the module carries it.
  const std::u16string path = com::toUtf16(ModulePath());
  ITypeLib* library = nullptr;
  if (HRESULT hr = LoadTypeLib(path.c_str(), &library); FAILED(hr)) return hr;
  const HRESULT registered = RegisterTypeLib(library, path.c_str(), nullptr);
  library->Release();
  if (FAILED(registered)) return registered;

  // The class's description, as the Developer Studio shows it in its list of add-ins.
  HKEY classes = nullptr;
  LONG rc = RegOpenKeyEx(HKEY_CLASSES_ROOT, "CLSID", 0, KEY_ALL_ACCESS, &classes);
  if (rc != ERROR_SUCCESS) return HRESULT_FROM_WIN32(rc);
  KeyCloser closeClasses(classes);
  HKEY clsidKey = nullptr;
  rc = RegOpenKeyEx(classes, com::guidToString(*m_pObjectMap[0].clsid).c_str(), 0, KEY_ALL_ACCESS, &clsidKey);
  if (rc != ERROR_SUCCESS) return HRESULT_FROM_WIN32(rc);
  KeyCloser closeClsid(clsidKey);
  HKEY description = nullptr;
  if (RegCreateKeyEx(clsidKey, "Description", 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                     &description, nullptr) == ERROR_SUCCESS) {
    KeyCloser closeDescription(description);
    const std::string text = loadString(addin::IDS_ADDIN_DESCRIPTION);
    RegSetValueEx(description, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                  static_cast<DWORD>(text.size() + 1));
  }
  return S_OK;
}

HRESULT CAddInModule::UnregisterServer() {
  if (!m_bInitialized) return E_UNEXPECTED;
  for (ObjectEntry* entry = m_pObjectMap; entry->clsid != nullptr; ++entry) entry->updateRegistry(false);
  return S_OK;
}

std::string CAddInModule::ModulePath() const { return com::modulePathOfAddress(this); }

CAddInModule theAddInModule;

// --- The application object --------------------------------------------------------------------
CAddinApp::CAddinApp() : CWinApp("KAVRINGEN") {}

BOOL CAddinApp::InitInstance() {
  theAddInModule.Init(com::moduleOfAddress(&theAddInModule));
  m_hInstance = theAddInModule.GetModuleInstance();
  addin::registerResources();
  return CWinApp::InitInstance();
}

int CAddinApp::ExitInstance() {
  theAddInModule.Term();
  return CWinApp::ExitInstance();
}

CAddinApp theApp;

namespace {
// Starts the module when the library is loaded and ends it when it is unloaded.
struct ModuleLifetime {
  ModuleLifetime() { theApp.InitInstance(); }
  ~ModuleLifetime() { theApp.ExitInstance(); }
};
const ModuleLifetime gModuleLifetime;
}  // namespace

// --- Exports -----------------------------------------------------------------------------------
HRESULT DllGetClassObject(REFCLSID clsid, REFIID riid, void** object) {
  AFX_MANAGE_STATE(AfxGetStaticModuleState());
  return theAddInModule.GetClassObject(clsid, riid, object);
}

HRESULT DllCanUnloadNow() {
  AFX_MANAGE_STATE(AfxGetStaticModuleState());
  return AfxDllCanUnloadNow() == S_OK && theAddInModule.LockCount().GetLockCount() == 0 ? S_OK : S_FALSE;
}

HRESULT DllRegisterServer() {
  AFX_MANAGE_STATE(AfxGetStaticModuleState());
  return theAddInModule.RegisterServer();
}

HRESULT DllUnregisterServer() {
  AFX_MANAGE_STATE(AfxGetStaticModuleState());
  return theAddInModule.UnregisterServer();
}

// --- The command object ------------------------------------------------------------------------
CCommands::CCommands() : m_pApplication(nullptr), m_lock(theAddInModule.LockCount()) {
  InitializeCriticalSection(&m_cs);
}

CCommands::~CCommands() {
  if (m_pApplication != nullptr) m_pApplication->Release();
  DeleteCriticalSection(&m_cs);
}

void CCommands::SetApplicationObject(IApplication* application) { m_pApplication = application; }

HRESULT CCommands::StartKAVRINWizard() {
  AFX_MANAGE_STATE(AfxGetStaticModuleState());
  try {
    if (m_pApplication == nullptr) com::raiseError(E_UNEXPECTED, "The add-in is not connected to the Developer Studio");
    IDispatchPtr active;
    com::check(m_pApplication->get_ActiveProject(&active));
    IBuildProjectPtr project(active);  // a failure other than E_NOINTERFACE raises
    if (!project) return S_OK;         // the wizard opens over an open build project only

    com::check(m_pApplication->EnableModeless(VARIANT_FALSE));
    ModelessGuard enableAgain(m_pApplication);
    CGeneratorDlg dialog(theApp.GetMainWnd());
    dialog.SetApplication(m_pApplication);
    dialog.DoModal();
    enableAgain.EnableNow();  // before the dialog object goes
    return S_OK;
  } catch (const _com_error& error) {
    ::MessageBox(nullptr, describe(error).c_str(), addin::kErrorCaption, MB_OK | MB_ICONERROR);
    return S_FALSE;
  }
}

// --- The add-in object -------------------------------------------------------------------------
CDSAddIn::CDSAddIn() : m_pCommands(nullptr), m_dwCookie(0), m_lock(theAddInModule.LockCount()) {
  InitializeCriticalSection(&m_cs);
}

CDSAddIn::~CDSAddIn() {
  // Normally released by OnDisconnection; a host that never disconnects must not leave it.
  if (m_pCommands != nullptr) m_pCommands->Release();
  DeleteCriticalSection(&m_cs);
}

HRESULT CDSAddIn::OnConnection(IDispatch* application, VARIANT_BOOL firstTime, LONG cookie, VARIANT_BOOL* connected) {
  AFX_MANAGE_STATE(AfxGetStaticModuleState());
  if (connected == nullptr) return E_POINTER;
  *connected = VARIANT_FALSE;
  IApplication* host = nullptr;
  if (application == nullptr ||
      FAILED(application->QueryInterface(IID_IApplication, reinterpret_cast<void**>(&host))) || host == nullptr) {
    return S_OK;
  }
  m_dwCookie = cookie;
  if (m_pCommands != nullptr) m_pCommands->Release();
  m_pCommands = new (std::nothrow) CCommands();
  if (m_pCommands == nullptr) {
    host->Release();
    return S_OK;
  }
  m_pCommands->AddRef();
  m_pCommands->SetApplicationObject(host);

  host->SetAddInInfo(reinterpret_cast<LONG_PTR>(theAddInModule.GetModuleInstance()),
                     static_cast<IDispatch*>(m_pCommands), addin::IDB_TOOLBAR_MEDIUM, addin::IDB_TOOLBAR_LARGE,
                     m_dwCookie);
  const _bstr_t command(std::string(addin::kCommandName) + loadString(addin::IDS_COMMAND));
  const _bstr_t method(addin::kCommandMethod);
  const _bstr_t commandBar(addin::kCommandName);
  VARIANT_BOOL added = VARIANT_FALSE;
  host->AddCommand(command, method, 0, m_dwCookie, &added);
  if (added != VARIANT_FALSE) {
    if (firstTime == VARIANT_TRUE) host->AddCommandBarButton(dsGlyph, commandBar, m_dwCookie);
    *connected = VARIANT_TRUE;
  } else {
    // Not connected: the host will not disconnect, so the command object goes now.
    m_pCommands->Release();
    m_pCommands = nullptr;
  }
  return S_OK;
}

HRESULT CDSAddIn::OnDisconnection(VARIANT_BOOL) {
  AFX_MANAGE_STATE(AfxGetStaticModuleState());
  if (m_pCommands != nullptr) m_pCommands->Release();
  m_pCommands = nullptr;
  return S_OK;
}
