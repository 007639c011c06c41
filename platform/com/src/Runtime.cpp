// The process's COM state: per-thread initialisation and error objects, classes registered in
// the process, and the in-process servers loaded from the registry.
//
// Everything that holds state lives in this one file, so that a program exporting its symbols
// hands all of it to the modules it loads (see Com.h).
#include "Com.h"
#include "Registry.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace {

struct ThreadState {
  int initCount = 0;
  DWORD model = COINIT_APARTMENTTHREADED;
  IErrorInfo* error = nullptr;
  ~ThreadState() {
    if (error != nullptr) error->Release();
  }
};
thread_local ThreadState tState;

struct RegisteredClass {
  DWORD cookie;
  CLSID clsid;
  IUnknown* object;
  DWORD context;
};

struct Server {
  std::string path;
  HMODULE module;
};

struct ProcessState {
  std::recursive_mutex mutex;
  std::vector<RegisteredClass> classes;
  DWORD nextCookie = 1;
  std::vector<Server> servers;
};

// Never destroyed: class objects may be revoked and servers asked while statics go away.
ProcessState& process() {
  static ProcessState* state = new ProcessState;
  return *state;
}

// Reads the library path of an in-process server from the registry.
HRESULT serverPath(REFCLSID clsid, std::string& path) {
  const std::string name = com::guidToString(clsid);
  const std::string subKey = "CLSID\\" + name + "\\InprocServer32";
  HKEY key = nullptr;
  LONG rc = RegOpenKeyEx(HKEY_CLASSES_ROOT, subKey.c_str(), 0, KEY_QUERY_VALUE, &key);
  if (rc == ERROR_FILE_NOT_FOUND) {
    return com::reportError(REGDB_E_CLASSNOTREG, "Class " + name + " is not registered");
  }
  if (rc != ERROR_SUCCESS) {
    return com::reportError(REGDB_E_READREGDB,
                            "Cannot read HKEY_CLASSES_ROOT\\" + subKey + ": registry error " + std::to_string(rc));
  }
  DWORD type = 0;
  DWORD size = 0;
  rc = RegQueryValueEx(key, nullptr, nullptr, &type, nullptr, &size);
  std::string value(size, '\0');
  if (rc == ERROR_SUCCESS && size > 0) {
    rc = RegQueryValueEx(key, nullptr, nullptr, &type, reinterpret_cast<LPBYTE>(&value[0]), &size);
  }
  RegCloseKey(key);
  if (rc == ERROR_FILE_NOT_FOUND) size = 0;
  if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) {
    return com::reportError(REGDB_E_READREGDB,
                            "Cannot read HKEY_CLASSES_ROOT\\" + subKey + ": registry error " + std::to_string(rc));
  }
  value.resize(std::min<size_t>(size, value.size()));
  while (!value.empty() && value.back() == '\0') value.pop_back();
  if (value.empty() || (type != REG_SZ && type != REG_EXPAND_SZ)) {
    return com::reportError(REGDB_E_CLASSNOTREG, "Class " + name + " names no server library in InprocServer32");
  }
  path = type == REG_EXPAND_SZ ? win32::expandEnvironment(value) : value;
  return S_OK;
}

// The loaded server at `path`, loading it the first time.
HRESULT loadServer(const std::string& path, HMODULE& module) {
  ProcessState& p = process();
  for (const Server& s : p.servers) {
    if (s.path == path) {
      module = s.module;
      return S_OK;
    }
  }
  module = LoadLibrary(path.c_str());
  if (module == nullptr) {
    return com::reportError(HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND),
                            "Cannot load the server " + path + ": " + win32::lastLoadError());
  }
  if (GetProcAddress(module, "DllGetClassObject") == nullptr) {
    FreeLibrary(module);
    module = nullptr;
    return com::reportError(CO_E_ERRORINDLL, path + " does not export DllGetClassObject");
  }
  p.servers.push_back(Server{path, module});
  return S_OK;
}

}  // namespace

HRESULT CoInitializeEx(void*, DWORD coInit) {
  const DWORD model = (coInit & COINIT_APARTMENTTHREADED) ? COINIT_APARTMENTTHREADED : COINIT_MULTITHREADED;
  if (tState.initCount > 0 && tState.model != model) return RPC_E_CHANGED_MODE;
  tState.model = model;
  return ++tState.initCount == 1 ? S_OK : S_FALSE;
}

HRESULT CoInitialize(void* reserved) { return CoInitializeEx(reserved, COINIT_APARTMENTTHREADED); }

void CoUninitialize() {
  if (tState.initCount > 0) --tState.initCount;
}

HRESULT SetErrorInfo(ULONG, IErrorInfo* info) {
  if (info != nullptr) info->AddRef();
  IErrorInfo* old = tState.error;
  tState.error = info;
  if (old != nullptr) old->Release();
  return S_OK;
}

HRESULT GetErrorInfo(ULONG, IErrorInfo** info) {
  if (info == nullptr) return E_POINTER;
  *info = tState.error;
  tState.error = nullptr;
  return *info != nullptr ? S_OK : S_FALSE;
}

HRESULT CoRegisterClassObject(REFCLSID clsid, IUnknown* classObject, DWORD clsContext, DWORD, DWORD* cookie) {
  if (classObject == nullptr || cookie == nullptr) return E_INVALIDARG;
  ProcessState& p = process();
  std::lock_guard<std::recursive_mutex> lock(p.mutex);
  classObject->AddRef();
  *cookie = p.nextCookie++;
  p.classes.push_back(RegisteredClass{*cookie, clsid, classObject, clsContext});
  return S_OK;
}

HRESULT CoRevokeClassObject(DWORD cookie) {
  IUnknown* object = nullptr;
  {
    ProcessState& p = process();
    std::lock_guard<std::recursive_mutex> lock(p.mutex);
    for (auto it = p.classes.begin(); it != p.classes.end(); ++it) {
      if (it->cookie == cookie) {
        object = it->object;
        p.classes.erase(it);
        break;
      }
    }
  }
  if (object == nullptr) return CO_E_OBJNOTREG;
  object->Release();
  return S_OK;
}

HRESULT CoGetClassObject(REFCLSID clsid, DWORD clsContext, void*, REFIID riid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (tState.initCount == 0) {
    return com::reportError(CO_E_NOTINITIALIZED, "COM is not initialised on this thread");
  }
  ProcessState& p = process();
  std::lock_guard<std::recursive_mutex> lock(p.mutex);
  for (const RegisteredClass& c : p.classes) {
    if (c.clsid == clsid && (c.context & clsContext) != 0) {
      return c.object->QueryInterface(riid, object);
    }
  }
  if ((clsContext & CLSCTX_INPROC_SERVER) == 0) {
    return com::reportError(REGDB_E_CLASSNOTREG, "Class " + com::guidToString(clsid) + " is not registered");
  }
  std::string path;
  if (HRESULT hr = serverPath(clsid, path); FAILED(hr)) return hr;
  HMODULE module = nullptr;
  if (HRESULT hr = loadServer(path, module); FAILED(hr)) return hr;
  auto getClassObject = reinterpret_cast<LPFNGETCLASSOBJECT>(GetProcAddress(module, "DllGetClassObject"));
  SetErrorInfo(0, nullptr);  // a failure carries the server's own error object or none
  return getClassObject(clsid, riid, object);
}

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD clsContext, REFIID riid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  IClassFactory* factory = nullptr;
  HRESULT hr = CoGetClassObject(clsid, clsContext, nullptr, IID_IClassFactory, reinterpret_cast<void**>(&factory));
  if (FAILED(hr)) return hr;
  SetErrorInfo(0, nullptr);
  hr = factory->CreateInstance(outer, riid, object);
  factory->Release();
  return hr;
}

void CoFreeUnusedLibraries() {
  ProcessState& p = process();
  std::lock_guard<std::recursive_mutex> lock(p.mutex);
  for (auto it = p.servers.begin(); it != p.servers.end();) {
    auto canUnload = reinterpret_cast<LPFNCANUNLOADNOW>(GetProcAddress(it->module, "DllCanUnloadNow"));
    if (canUnload != nullptr && canUnload() == S_OK) {
      FreeLibrary(it->module);
      it = p.servers.erase(it);
    } else {
      ++it;
    }
  }
}
