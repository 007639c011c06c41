// KAVRINGEN as a Developer Studio add-in: an in-process COM server (DllGetClassObject,
// DllCanUnloadNow, DllRegisterServer, DllUnregisterServer) whose one class is the add-in object.
// On connection the add-in object hands the host its command object, adds the command
// "StartKAVRINWizard" and, on the first connection, its toolbar button; the command opens the
// generator dialog modally over the open build project.
#pragma once

#include "ComServer.h"
#include "DevStudio.h"
#include "Mfc.h"

#include <string>

// --- Identities --------------------------------------------------------------------------------
inline constexpr CLSID CLSID_DSAddIn = com::guid("05E7E155-F9CA-4F96-B5D1-E2263F039DE7");
inline constexpr GUID LIBID_KAVRINGEN = com::guid("C2E0EA7F-AEB7-42DB-AA25-D294FC6ECD86");
inline constexpr IID IID_ICommands = com::guid("66ABF42D-8BB7-4A12-A4E3-416B69758437");
inline constexpr CLSID CLSID_Commands = com::guid("3139DD49-8D98-42DC-B069-38739D1D449E");

namespace addin {
extern const char* const kProgId;                    // "KAVRINGEN.DSAddIn.1"
extern const char* const kVersionIndependentProgId;  // "KAVRINGEN Developer Studio Add-in"
extern const char* const kCommandName;               // "KAVRIN"
extern const char* const kCommandMethod;             // "StartKAVRINWizard"
extern const char* const kErrorCaption;              // "KAVRIN Add-In Error"

// Resources of the module.
constexpr UINT IDS_ADDIN_DESCRIPTION = 2;  // "Generates C++ Proxy Classes for JNI"
constexpr UINT IDS_COMMAND = 1;            // "\nKAVRIN\n<status bar text>\nKAVRIN"
constexpr UINT IDB_TOOLBAR_MEDIUM = 128;   // 32 x 16, 4 bits per pixel: glyphs of 16 x 16
constexpr UINT IDB_TOOLBAR_LARGE = 129;    // 64 x 32, 4 bits per pixel: glyphs of 32 x 32

// Registers the module's resources with the user interface: the wizard's templates and images,
// the toolbar bitmaps and the strings. Done by the module's start; harmless to repeat.
void registerResources();
}  // namespace addin

// The command object's interface: a dual interface with one method.
struct ICommands : IDispatch {
  virtual HRESULT StartKAVRINWizard() = 0;  // DISPID 1

 protected:
  ~ICommands() = default;
};
COM_INTERFACE_TRAITS(ICommands, IDispatch, IID_ICommands)

// --- The module --------------------------------------------------------------------------------
// The one module object: its object map (the add-in class), the lock count that every live object
// and every server lock raises, and the critical section that makes each class factory once.
class CAddInModule {
 public:
  struct ObjectEntry {
    const CLSID* clsid;
    HRESULT (*updateRegistry)(bool doRegister);
    com::ClassFactory::Creator createInstance;
    IClassFactory* classFactory;  // made on first use, kept until the module ends
  };

  void Init(HINSTANCE instance);
  void Term();

  HRESULT GetClassObject(REFCLSID clsid, REFIID riid, void** object);
  HRESULT RegisterServer();
  HRESULT UnregisterServer();

  com::ModuleLockCount& LockCount() { return m_lockCount; }
  HINSTANCE GetModuleInstance() const { return m_hInstance; }
  // The module's shared library (empty when it is linked into a program).
  std::string ModulePath() const;

  ObjectEntry* m_pObjectMap = nullptr;  // ended by an entry with a null clsid

 private:
  com::ModuleLockCount m_lockCount;
  CRITICAL_SECTION m_csFactories{};
  bool m_bInitialized = false;
  HINSTANCE m_hInstance = nullptr;
};

extern CAddInModule theAddInModule;

// The add-in's application object: starts and ends the module.
class CAddinApp : public CWinApp {
 public:
  CAddinApp();
  BOOL InitInstance() override;
  int ExitInstance() override;
};

extern CAddinApp theApp;

// --- The command object ------------------------------------------------------------------------
// Its IDispatch is implemented over the module's type library (library KAVRINGEN: the dual
// interface ICommands with StartKAVRINWizard as DISPID 1, and the class Commands).
class CCommands : public com::TypeLibDispatchObject<CCommands, ICommands, &LIBID_KAVRINGEN> {
 public:
  CCommands();
  ~CCommands() override;

  // Keeps the host's application; takes over the caller's reference.
  void SetApplicationObject(IApplication* application);
  IApplication* GetApplicationObject() const { return m_pApplication; }

  // Opens the generator dialog over the active build project, with the host's windows
  // disabled around it. S_OK when it ran or when no build project is open; S_FALSE after a COM
  // error, which is shown in a message box "KAVRIN Add-In Error".
  HRESULT StartKAVRINWizard() override;

 private:
  CRITICAL_SECTION m_cs;
  IApplication* m_pApplication;
  com::ModuleLock m_lock;
};

// --- The add-in object -------------------------------------------------------------------------
class CDSAddIn : public com::ComObject<IDSAddIn> {
 public:
  CDSAddIn();
  ~CDSAddIn() override;

  HRESULT OnConnection(IDispatch* application, VARIANT_BOOL firstTime, LONG cookie, VARIANT_BOOL* connected) override;
  HRESULT OnDisconnection(VARIANT_BOOL lastTime) override;

  CCommands* m_pCommands;  // one reference while connected
  LONG m_dwCookie;

 private:
  CRITICAL_SECTION m_cs;
  com::ModuleLock m_lock;
};
