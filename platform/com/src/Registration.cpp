// Registry entries of classes and type libraries, and the module of an address.
#include "ComServer.h"
#include "ComSupport.h"
#include "Registry.h"

#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>

#include <utility>
#include <vector>

namespace {

const char* const kAutomationMarshaller = "{00020424-0000-0000-C000-000000000046}";

std::string absolutePath(const std::string& path) {
  char resolved[PATH_MAX];
  return realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : path;
}

// Writes one REG_SZ value into HKEY_CLASSES_ROOT\subKey (the key is created when missing).
LONG setString(const std::string& subKey, const char* valueName, const std::string& value) {
  HKEY key = nullptr;
  LONG rc = RegCreateKeyEx(HKEY_CLASSES_ROOT, subKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                           nullptr, &key, nullptr);
  if (rc != ERROR_SUCCESS) return rc;
  rc = RegSetValueEx(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>(value.size() + 1));
  RegCloseKey(key);
  return rc;
}

// Applies a list of writes and stops at the first failure.
struct Writes {
  HRESULT result = S_OK;
  void set(const std::string& subKey, const char* valueName, const std::string& value) {
    if (FAILED(result)) return;
    const LONG rc = setString(subKey, valueName, value);
    if (rc != ERROR_SUCCESS) {
      result = com::reportError(HRESULT_FROM_WIN32(rc),
                                "Cannot write HKEY_CLASSES_ROOT\\" + subKey + ": registry error " + std::to_string(rc));
    }
  }
};

HRESULT removeTree(const std::string& subKey) {
  const LONG rc = RegDeleteTree(HKEY_CLASSES_ROOT, subKey.c_str());
  if (rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND) return S_OK;
  return com::reportError(HRESULT_FROM_WIN32(rc),
                          "Cannot remove HKEY_CLASSES_ROOT\\" + subKey + ": registry error " + std::to_string(rc));
}

}  // namespace

namespace com {

HRESULT registerClass(const ClassRegistration& reg, const std::string& modulePath) {
  if (modulePath.empty()) return reportError(SELFREG_E_CLASS, "No module path to register");
  const std::string clsid = guidToString(reg.clsid);
  Writes w;
  if (!reg.progId.empty()) {
    w.set(reg.progId, nullptr, reg.description);
    w.set(reg.progId + "\\CLSID", nullptr, clsid);
  }
  if (!reg.versionIndependentProgId.empty()) {
    w.set(reg.versionIndependentProgId, nullptr, reg.description);
    w.set(reg.versionIndependentProgId + "\\CLSID", nullptr, clsid);
    if (!reg.progId.empty()) w.set(reg.versionIndependentProgId + "\\CurVer", nullptr, reg.progId);
  }
  const std::string classKey = "CLSID\\" + clsid;
  w.set(classKey, nullptr, reg.description);
  if (!reg.progId.empty()) w.set(classKey + "\\ProgID", nullptr, reg.progId);
  if (!reg.versionIndependentProgId.empty()) {
    w.set(classKey + "\\VersionIndependentProgID", nullptr, reg.versionIndependentProgId);
  }
  w.set(classKey + "\\InprocServer32", nullptr, absolutePath(modulePath));
  if (!reg.threadingModel.empty()) {
    w.set(classKey + "\\InprocServer32", "ThreadingModel", reg.threadingModel);
  }
  return w.result;
}

HRESULT unregisterClass(const ClassRegistration& reg) {
  if (!reg.progId.empty()) {
    if (HRESULT hr = removeTree(reg.progId); FAILED(hr)) return hr;
  }
  if (!reg.versionIndependentProgId.empty()) {
    if (HRESULT hr = removeTree(reg.versionIndependentProgId); FAILED(hr)) return hr;
  }
  return removeTree("CLSID\\" + guidToString(reg.clsid));
}

HMODULE moduleOfAddress(const void* address) {
  Dl_info info{};
  if (address == nullptr || dladdr(address, &info) == 0 || info.dli_fname == nullptr) {
    return nullptr;
  }
  void* handle = dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD);
  if (handle == nullptr) return nullptr;
  // RTLD_NOLOAD counts a reference; the module stays loaded as long as its caller runs.
  dlclose(handle);
  return static_cast<HMODULE>(handle);
}

std::string modulePathOfAddress(const void* address) {
  Dl_info info{};
  if (address == nullptr || dladdr(address, &info) == 0 || info.dli_fname == nullptr) {
    return std::string();
  }
  return absolutePath(info.dli_fname);
}

}  // namespace com

namespace {

// The registry entries of a type library: the library's key, then one key per interface.
HRESULT writeTypeLibKeys(REFGUID libidGuid, WORD major, WORD minor, const std::string& text,
                         const std::vector<std::pair<std::string, IID>>& interfaces, const std::string& fullPath,
                         const char* helpDir) {
  const std::string path = absolutePath(fullPath);
  std::string dir = helpDir != nullptr ? std::string(helpDir) : std::string();
  if (helpDir == nullptr) {
    const size_t slash = path.rfind('/');
    dir = slash == std::string::npos ? std::string() : path.substr(0, slash);
  }
  const std::string libid = com::guidToString(libidGuid);
  const std::string version = std::to_string(major) + "." + std::to_string(minor);
  const std::string libKey = "TypeLib\\" + libid + "\\" + version;
  Writes w;
  w.set(libKey, nullptr, text);
  w.set(libKey + "\\0\\win32", nullptr, path);
  w.set(libKey + "\\FLAGS", nullptr, "0");
  w.set(libKey + "\\HELPDIR", nullptr, dir);
  for (const auto& itf : interfaces) {
    const std::string itfKey = "Interface\\" + com::guidToString(itf.second);
    w.set(itfKey, nullptr, itf.first);
    w.set(itfKey + "\\ProxyStubClsid32", nullptr, kAutomationMarshaller);
    w.set(itfKey + "\\TypeLib", nullptr, libid);
    w.set(itfKey + "\\TypeLib", "Version", version);
  }
  return w.result;
}

}  // namespace

HRESULT RegisterTypeLib(ITypeLib* library, LPCOLESTR fullPath, LPCOLESTR helpDir) {
  if (library == nullptr || fullPath == nullptr || *fullPath == 0) return E_INVALIDARG;
  TLIBATTR* attr = nullptr;
  if (HRESULT hr = library->GetLibAttr(&attr); FAILED(hr)) return hr;
  const GUID libid = attr->guid;
  const WORD major = attr->wMajorVerNum;
  const WORD minor = attr->wMinorVerNum;
  library->ReleaseTLibAttr(attr);
  _bstr_t name;
  _bstr_t help;
  if (HRESULT hr = library->GetDocumentation(-1, name.GetAddress(), help.GetAddress(), nullptr, nullptr); FAILED(hr)) {
    return hr;
  }
  std::vector<std::pair<std::string, IID>> interfaces;
  for (UINT i = 0; i < library->GetTypeInfoCount(); ++i) {
    TYPEKIND kind = TKIND_MAX;
    if (FAILED(library->GetTypeInfoType(i, &kind)) || (kind != TKIND_DISPATCH && kind != TKIND_INTERFACE)) continue;
    _bstr_t itfName;
    ITypeInfo* info = nullptr;
    TYPEATTR* type = nullptr;
    if (SUCCEEDED(library->GetDocumentation(static_cast<int>(i), itfName.GetAddress(), nullptr, nullptr, nullptr)) &&
        SUCCEEDED(library->GetTypeInfo(i, &info)) && SUCCEEDED(info->GetTypeAttr(&type))) {
      interfaces.emplace_back(itfName.utf8(), type->guid);
      info->ReleaseTypeAttr(type);
    }
    if (info != nullptr) info->Release();
  }
  const std::string dir = helpDir != nullptr ? com::toUtf8(std::u16string(helpDir)) : std::string();
  return writeTypeLibKeys(libid, major, minor, help.utf8().empty() ? name.utf8() : help.utf8(), interfaces,
                          com::toUtf8(std::u16string(fullPath)), helpDir != nullptr ? dir.c_str() : nullptr);
}

HRESULT RegisterTypeLib(const com::TypeLibrary& library, const char* fullPath, const char* helpDir) {
  if (fullPath == nullptr || *fullPath == '\0' || library.name.empty()) {
    return com::reportError(SELFREG_E_TYPELIB, "The type library has no name or no path");
  }
  std::vector<std::pair<std::string, IID>> interfaces;
  for (const com::TypeLibInterface& itf : library.interfaces) interfaces.emplace_back(itf.name, itf.iid);
  return writeTypeLibKeys(library.libid, library.majorVersion, library.minorVersion,
                          library.helpString.empty() ? library.name : library.helpString, interfaces, fullPath,
                          helpDir);
}
