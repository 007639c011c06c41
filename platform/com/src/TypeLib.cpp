// Type libraries: the library and type-information objects over a library's description, the
// libraries that modules carry, loading them by path and through their registration, and
// IDispatch's helpers.
#include "ComServer.h"
#include "Registry.h"

#include <limits.h>
#include <stdlib.h>

#include <map>
#include <memory>

namespace com {

namespace {

constexpr VARTYPE kVtHresult = 25;
constexpr WORD kInterfaceFlags = TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDISPATCHABLE;
// Slots of IUnknown and IDispatch that precede a dual interface's own methods.
constexpr int kDispatchSlots = 7;

using Library = std::shared_ptr<const TypeLibrary>;

void setBstr(BSTR* out, const std::string& text) {
  if (out != nullptr) *out = allocBstr(text);
}

// Index of the interface named `name` in the library, or -1.
int interfaceIndex(const TypeLibrary& library, const std::string& name) {
  for (size_t i = 0; i < library.interfaces.size(); ++i) {
    if (library.interfaces[i].name == name) return static_cast<int>(i);
  }
  return -1;
}

HRESULT makeTypeInfo(const Library& library, size_t index, ITypeInfo** out);
HRESULT makeTypeLib(const Library& library, ITypeLib** out);

// The type information of entry `index` of a library: an interface, or (after them) a class.
class TypeInfoObject : public ComObject<ITypeInfo> {
 public:
  TypeInfoObject(Library library, size_t index) : library_(std::move(library)), index_(index) {}

  HRESULT GetTypeAttr(TYPEATTR** attr) override {
    if (attr == nullptr) return E_POINTER;
    TYPEATTR* made = new (std::nothrow) TYPEATTR{};
    if (made == nullptr) return E_OUTOFMEMORY;
    made->wMajorVerNum = library_->majorVersion;
    made->wMinorVerNum = library_->minorVersion;
    if (const TypeLibInterface* itf = asInterface()) {
      made->guid = itf->iid;
      made->typekind = TKIND_DISPATCH;
      made->cFuncs = static_cast<WORD>(itf->methods.size());
      made->wTypeFlags = kInterfaceFlags;
    } else {
      const TypeLibCoclass& coclass = *asCoclass();
      made->guid = coclass.clsid;
      made->typekind = TKIND_COCLASS;
      made->cImplTypes = static_cast<WORD>(coclass.interfaces.size());
      made->wTypeFlags = TYPEFLAG_FCANCREATE;
    }
    *attr = made;
    return S_OK;
  }
  HRESULT GetTypeComp(ITypeComp** comp) override {
    if (comp != nullptr) *comp = nullptr;
    return E_NOTIMPL;
  }
  HRESULT GetFuncDesc(UINT index, FUNCDESC** desc) override {
    if (desc == nullptr) return E_POINTER;
    *desc = nullptr;
    const TypeLibInterface* itf = asInterface();
    if (itf == nullptr || index >= itf->methods.size()) return TYPE_E_ELEMENTNOTFOUND;
    FUNCDESC* made = new (std::nothrow) FUNCDESC{};
    if (made == nullptr) return E_OUTOFMEMORY;
    made->memid = itf->methods[index].id;
    made->funckind = FUNC_PUREVIRTUAL;
    made->invkind = INVOKE_FUNC;
    made->oVft = static_cast<SHORT>((kDispatchSlots + static_cast<int>(index)) * static_cast<int>(sizeof(void*)));
    made->vtReturn = kVtHresult;
    *desc = made;
    return S_OK;
  }
  HRESULT GetVarDesc(UINT, VARDESC** desc) override {
    if (desc != nullptr) *desc = nullptr;
    return E_NOTIMPL;
  }
  HRESULT GetNames(MEMBERID memid, BSTR* names, UINT maxNames, UINT* count) override {
    if (names == nullptr || count == nullptr) return E_POINTER;
    *count = 0;
    const TypeLibMethod* method = find(memid);
    if (method == nullptr) return TYPE_E_ELEMENTNOTFOUND;
    if (maxNames > 0) {
      names[0] = allocBstr(method->name);
      *count = 1;  // the methods have no parameters
    }
    return S_OK;
  }
  HRESULT GetRefTypeOfImplType(UINT index, HREFTYPE* ref) override {
    if (ref == nullptr) return E_POINTER;
    const TypeLibCoclass* coclass = asCoclass();
    if (coclass == nullptr || index >= coclass->interfaces.size()) return TYPE_E_ELEMENTNOTFOUND;
    const int found = interfaceIndex(*library_, coclass->interfaces[index]);
    if (found < 0) return TYPE_E_ELEMENTNOTFOUND;
    *ref = static_cast<HREFTYPE>(found);
    return S_OK;
  }
  HRESULT GetImplTypeFlags(UINT index, int* flags) override {
    if (flags == nullptr) return E_POINTER;
    const TypeLibCoclass* coclass = asCoclass();
    if (coclass == nullptr || index >= coclass->interfaces.size()) return TYPE_E_ELEMENTNOTFOUND;
    *flags = index == 0 ? IMPLTYPEFLAG_FDEFAULT : 0;
    return S_OK;
  }
  HRESULT GetIDsOfNames(LPOLESTR* names, UINT count, MEMBERID* ids) override {
    if (names == nullptr || ids == nullptr) return E_POINTER;
    if (count == 0) return E_INVALIDARG;
    const TypeLibMethod* method = nullptr;
    if (const TypeLibInterface* itf = asInterface()) {
      for (const TypeLibMethod& m : itf->methods) {
        if (sameName(names[0], m.name)) method = &m;
      }
    }
    ids[0] = method != nullptr ? method->id : DISPID_UNKNOWN;
    for (UINT i = 1; i < count; ++i) ids[i] = DISPID_UNKNOWN;  // no method has parameters
    return method != nullptr && count == 1 ? S_OK : DISP_E_UNKNOWNNAME;
  }
  HRESULT Invoke(void* instance, MEMBERID memid, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* excepInfo,
                 UINT*) override {
    if (instance == nullptr) return E_INVALIDARG;
    const TypeLibMethod* method = find(memid);
    if (method == nullptr || method->call == nullptr || (flags & DISPATCH_METHOD) == 0) {
      return DISP_E_MEMBERNOTFOUND;
    }
    if (params != nullptr && (params->cArgs != 0 || params->cNamedArgs != 0)) return DISP_E_BADPARAMCOUNT;
    if (result != nullptr) VariantInit(result);
    SetErrorInfo(0, nullptr);  // only what the method itself reports
    const HRESULT hr = method->call(instance);
    if (SUCCEEDED(hr)) return S_OK;
    if (excepInfo != nullptr) fillExcepInfo(hr, excepInfo);
    return DISP_E_EXCEPTION;
  }
  HRESULT GetDocumentation(MEMBERID memid, BSTR* name, BSTR* docString, DWORD* helpContext, BSTR* helpFile) override {
    std::string itemName;
    std::string help;
    if (memid == MEMBERID_NIL) {
      const TypeLibInterface* itf = asInterface();
      itemName = itf != nullptr ? itf->name : asCoclass()->name;
      help = itf != nullptr ? itf->helpString : asCoclass()->helpString;
    } else {
      const TypeLibMethod* method = find(memid);
      if (method == nullptr) return TYPE_E_ELEMENTNOTFOUND;
      itemName = method->name;
      help = method->helpString;
    }
    setBstr(name, itemName);
    setBstr(docString, help);
    if (helpContext != nullptr) *helpContext = 0;
    setBstr(helpFile, std::string());
    return S_OK;
  }
  HRESULT GetDllEntry(MEMBERID, INVOKEKIND, BSTR*, BSTR*, WORD*) override { return TYPE_E_ELEMENTNOTFOUND; }
  HRESULT GetRefTypeInfo(HREFTYPE ref, ITypeInfo** info) override {
    if (info == nullptr) return E_POINTER;
    *info = nullptr;
    if (ref >= library_->interfaces.size()) return TYPE_E_ELEMENTNOTFOUND;
    return makeTypeInfo(library_, ref, info);
  }
  HRESULT AddressOfMember(MEMBERID, INVOKEKIND, void** address) override {
    if (address != nullptr) *address = nullptr;
    return E_NOTIMPL;
  }
  HRESULT CreateInstance(IUnknown*, REFIID, void** object) override {
    if (object != nullptr) *object = nullptr;
    return E_NOTIMPL;
  }
  HRESULT GetMops(MEMBERID, BSTR* mops) override {
    setBstr(mops, std::string());
    return S_OK;
  }
  HRESULT GetContainingTypeLib(ITypeLib** library, UINT* index) override {
    if (library == nullptr) return E_POINTER;
    if (index != nullptr) *index = static_cast<UINT>(index_);
    return makeTypeLib(library_, library);
  }
  void ReleaseTypeAttr(TYPEATTR* attr) override { delete attr; }
  void ReleaseFuncDesc(FUNCDESC* desc) override { delete desc; }
  void ReleaseVarDesc(VARDESC*) override {}

 private:
  const TypeLibInterface* asInterface() const {
    return index_ < library_->interfaces.size() ? &library_->interfaces[index_] : nullptr;
  }
  const TypeLibCoclass* asCoclass() const {
    return index_ < library_->interfaces.size() ? nullptr : &library_->coclasses[index_ - library_->interfaces.size()];
  }
  const TypeLibMethod* find(MEMBERID memid) const {
    const TypeLibInterface* itf = asInterface();
    if (itf == nullptr) return nullptr;
    for (const TypeLibMethod& m : itf->methods) {
      if (m.id == memid) return &m;
    }
    return nullptr;
  }

  Library library_;
  size_t index_;
};

class TypeLibObject : public ComObject<ITypeLib> {
 public:
  explicit TypeLibObject(Library library) : library_(std::move(library)) {}

  UINT GetTypeInfoCount() override { return static_cast<UINT>(count()); }
  HRESULT GetTypeInfo(UINT index, ITypeInfo** info) override {
    if (info == nullptr) return E_POINTER;
    *info = nullptr;
    if (index >= count()) return TYPE_E_ELEMENTNOTFOUND;
    return makeTypeInfo(library_, index, info);
  }
  HRESULT GetTypeInfoType(UINT index, TYPEKIND* kind) override {
    if (kind == nullptr) return E_POINTER;
    if (index >= count()) return TYPE_E_ELEMENTNOTFOUND;
    *kind = index < library_->interfaces.size() ? TKIND_DISPATCH : TKIND_COCLASS;
    return S_OK;
  }
  HRESULT GetTypeInfoOfGuid(REFGUID guid, ITypeInfo** info) override {
    if (info == nullptr) return E_POINTER;
    *info = nullptr;
    for (size_t i = 0; i < count(); ++i) {
      const bool match = i < library_->interfaces.size()
                             ? library_->interfaces[i].iid == guid
                             : library_->coclasses[i - library_->interfaces.size()].clsid == guid;
      if (match) return makeTypeInfo(library_, i, info);
    }
    return TYPE_E_ELEMENTNOTFOUND;
  }
  HRESULT GetLibAttr(TLIBATTR** attr) override {
    if (attr == nullptr) return E_POINTER;
    TLIBATTR* made = new (std::nothrow) TLIBATTR{};
    if (made == nullptr) return E_OUTOFMEMORY;
    made->guid = library_->libid;
    made->syskind = sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32;
    made->wMajorVerNum = library_->majorVersion;
    made->wMinorVerNum = library_->minorVersion;
    *attr = made;
    return S_OK;
  }
  HRESULT GetTypeComp(ITypeComp** comp) override {
    if (comp != nullptr) *comp = nullptr;
    return E_NOTIMPL;
  }
  HRESULT GetDocumentation(int index, BSTR* name, BSTR* docString, DWORD* helpContext, BSTR* helpFile) override {
    if (index == -1) {
      if (helpContext != nullptr) *helpContext = 0;
      setBstr(name, library_->name);
      setBstr(docString, library_->helpString);
      setBstr(helpFile, std::string());
      return S_OK;
    }
    if (index < 0 || static_cast<size_t>(index) >= count()) return TYPE_E_ELEMENTNOTFOUND;
    TypeInfoObject info(library_, static_cast<size_t>(index));
    return info.GetDocumentation(MEMBERID_NIL, name, docString, helpContext, helpFile);
  }
  HRESULT IsName(LPOLESTR name, ULONG, BOOL* found) override {
    if (name == nullptr || found == nullptr) return E_POINTER;
    *found = FALSE;
    auto check = [&](const std::string& candidate) {
      if (*found || !sameName(name, candidate)) return;
      for (size_t i = 0; i < candidate.size(); ++i) name[i] = static_cast<OLECHAR>(candidate[i]);
      *found = TRUE;
    };
    for (const TypeLibInterface& itf : library_->interfaces) {
      check(itf.name);
      for (const TypeLibMethod& m : itf.methods) check(m.name);
    }
    for (const TypeLibCoclass& coclass : library_->coclasses) check(coclass.name);
    return S_OK;
  }
  HRESULT FindName(LPOLESTR, ULONG, ITypeInfo**, MEMBERID*, USHORT* found) override {
    if (found != nullptr) *found = 0;
    return E_NOTIMPL;
  }
  void ReleaseTLibAttr(TLIBATTR* attr) override { delete attr; }

 private:
  size_t count() const { return library_->interfaces.size() + library_->coclasses.size(); }

  Library library_;
};

template <class Object, class Interface>
HRESULT handOut(Object* made, Interface** out) {
  if (made == nullptr) return E_OUTOFMEMORY;
  made->AddRef();
  *out = made;
  return S_OK;
}

HRESULT makeTypeInfo(const Library& library, size_t index, ITypeInfo** out) {
  return handOut(new (std::nothrow) TypeInfoObject(library, index), out);
}

HRESULT makeTypeLib(const Library& library, ITypeLib** out) {
  return handOut(new (std::nothrow) TypeLibObject(library), out);
}

// The libraries of the modules loaded into the process, by an address in each module.
struct Resources {
  struct Entry {
    std::string modulePath;
    Library library;
  };
  std::mutex mutex;
  std::map<const void*, Entry> byAddress;
};

Resources& resources() {
  static Resources* all = new Resources();  // kept for the process: modules unload late
  return *all;
}

std::string canonicalPath(const std::string& path) {
  char resolved[PATH_MAX];
  return realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : path;
}

// The library that the module of `path` carries; null when none.
Library resourceOfModule(const std::string& path) {
  const std::string wanted = canonicalPath(path);
  Resources& all = resources();
  std::lock_guard<std::mutex> lock(all.mutex);
  for (const auto& entry : all.byAddress) {
    if (entry.second.modulePath == wanted) return entry.second.library;
  }
  return nullptr;
}

}  // namespace

HRESULT createTypeLib(const TypeLibrary& library, ITypeLib** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  return makeTypeLib(Library(new TypeLibrary(library)), out);
}

TypeLibResource::TypeLibResource(const TypeLibrary& library, const void* addressInModule) : address_(addressInModule) {
  Resources::Entry entry{modulePathOfAddress(addressInModule), Library(new TypeLibrary(library))};
  Resources& all = resources();
  std::lock_guard<std::mutex> lock(all.mutex);
  all.byAddress[address_] = std::move(entry);
}

TypeLibResource::~TypeLibResource() {
  Resources& all = resources();
  std::lock_guard<std::mutex> lock(all.mutex);
  all.byAddress.erase(address_);
}

HRESULT loadTypeInfo(REFGUID libid, WORD major, WORD minor, REFIID iid, const void* addressInModule, ITypeInfo** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  ITypeLib* library = nullptr;
  HRESULT hr = LoadRegTypeLib(libid, major, minor, LOCALE_SYSTEM_DEFAULT, &library);
  if (FAILED(hr)) {
    const std::string own = modulePathOfAddress(addressInModule);
    const Library carried = own.empty() ? nullptr : resourceOfModule(own);
    if (carried == nullptr || carried->libid != libid) {
      return reportError(hr, "The type library " + guidToString(libid) + " is neither registered nor carried by " +
                                 (own.empty() ? std::string("the module") : own));
    }
    hr = makeTypeLib(carried, &library);
    if (FAILED(hr)) return hr;
  }
  hr = library->GetTypeInfoOfGuid(iid, out);
  library->Release();
  if (FAILED(hr))
    return reportError(hr, "The type library " + guidToString(libid) + " does not describe " + guidToString(iid));
  return S_OK;
}

}  // namespace com

HRESULT LoadTypeLib(LPCOLESTR file, ITypeLib** library) {
  if (library == nullptr) return E_POINTER;
  *library = nullptr;
  if (file == nullptr || *file == 0) return E_INVALIDARG;
  const std::string path = com::toUtf8(std::u16string(file));
  const com::Library carried = com::resourceOfModule(path);
  if (carried == nullptr) {
    return com::reportError(TYPE_E_CANTLOADLIBRARY, "No module loaded from " + path + " carries a type library");
  }
  return com::makeTypeLib(carried, library);
}

HRESULT LoadRegTypeLib(REFGUID libid, WORD major, WORD minor, LCID, ITypeLib** library) {
  if (library == nullptr) return E_POINTER;
  *library = nullptr;
  const std::string key = "TypeLib\\" + com::guidToString(libid) + "\\" + std::to_string(major) + "." +
                          std::to_string(minor) + "\\0\\win32";
  HKEY opened = nullptr;
  if (RegOpenKeyEx(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) {
    return com::reportError(TYPE_E_LIBNOTREGISTERED, "The type library " + com::guidToString(libid) + " " +
                                                         std::to_string(major) + "." + std::to_string(minor) +
                                                         " is not registered");
  }
  char path[4096] = {};
  DWORD size = sizeof path - 1;
  DWORD type = 0;
  const LONG rc = RegQueryValueEx(opened, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(path), &size);
  RegCloseKey(opened);
  if (rc != ERROR_SUCCESS || type != REG_SZ || path[0] == '\0') {
    return com::reportError(TYPE_E_LIBNOTREGISTERED,
                            "The registration of the type library " + com::guidToString(libid) + " names no file");
  }
  const std::u16string wide = com::toUtf16(path);
  return LoadTypeLib(wide.c_str(), library);
}
