// Building blocks of COM objects and in-process servers, standing in for the parts of ATL that
// the system uses: reference counting and QueryInterface over a list of interfaces, IDispatch
// over a table of named methods (the stand-in for IDispatch over a type library), a class
// factory, the module lock count, and the registry entries of classes and type libraries.
#pragma once

#include "Com.h"

#include <atomic>
#include <cctype>
#include <new>
#include <string>
#include <type_traits>
#include <vector>

namespace com {

namespace detail {
// Walks `Interface` and the interfaces it derives from; on a match stores the pointer.
template <class Interface>
bool findInterface(Interface* self, REFIID riid, void** object) {
  if (IsEqualIID(riid, uuidof<Interface>())) {
    *object = self;
    return true;
  }
  using Base = typename InterfaceTraits<Interface>::Base;
  if constexpr (std::is_same_v<Base, void> || std::is_same_v<Base, IUnknown>) {
    return false;
  } else {
    return findInterface<Base>(self, riid, object);
  }
}
template <class First, class...>
struct FirstOf {
  using type = First;
};
}  // namespace detail

// A COM object implementing `Interfaces...` (and every interface they derive from). The count
// starts at 0; the object deletes itself when Release brings it back to 0. Derived classes
// implement the interfaces' own methods.
template <class... Interfaces>
class ComObject : public Interfaces... {
 public:
  HRESULT QueryInterface(REFIID riid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    using First = typename detail::FirstOf<Interfaces...>::type;
    if (IsEqualIID(riid, IID_IUnknown)) {
      *object = static_cast<IUnknown*>(static_cast<First*>(this));
    } else if (!(detail::findInterface<Interfaces>(static_cast<Interfaces*>(this), riid, object) ||
                 ...)) {
      return queryOther(riid, object);
    }
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }
  ULONG refCount() const { return refs_.load(); }

 protected:
  ComObject() = default;
  virtual ~ComObject() = default;
  // Interfaces beyond the list (E_NOINTERFACE unless overridden). An override that answers
  // stores the pointer and takes the reference itself.
  virtual HRESULT queryOther(REFIID, void**) { return E_NOINTERFACE; }

 private:
  std::atomic<ULONG> refs_{0};
};

// One method of a dispatch interface: its name, its DISPID and the member that runs it.
// Methods take no arguments and return an HRESULT.
template <class T>
struct DispatchMethod {
  const char* name;
  DISPID id;
  HRESULT (T::*method)();
};

// A COM object whose first interface derives from IDispatch, answering GetIDsOfNames (names
// compared without regard to case, as OLE Automation does) and Invoke from
// `T::dispatchMethods()`: a table ended by an entry with a null name. A method that fails makes
// Invoke return DISP_E_EXCEPTION with EXCEPINFO filled from the thread's error object.
// No type information is offered (GetTypeInfoCount gives 0).
template <class T, class... Interfaces>
class DispatchObject : public ComObject<Interfaces...> {
 public:
  HRESULT GetTypeInfoCount(UINT* count) override {
    if (count == nullptr) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  HRESULT GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    if (info != nullptr) *info = nullptr;
    return E_NOTIMPL;
  }
  HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    if (names == nullptr || ids == nullptr) return E_POINTER;
    if (count == 0) return E_INVALIDARG;
    const DispatchMethod<T>* m = find(names[0]);
    ids[0] = m != nullptr ? m->id : DISPID_UNKNOWN;
    // The methods take no arguments: no parameter name is known.
    for (UINT i = 1; i < count; ++i) ids[i] = DISPID_UNKNOWN;
    return m != nullptr && count == 1 ? S_OK : DISP_E_UNKNOWNNAME;
  }
  HRESULT Invoke(DISPID member, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                 VARIANT* result, EXCEPINFO* excepInfo, UINT*) override {
    if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    const DispatchMethod<T>* m = nullptr;
    for (const DispatchMethod<T>* e = T::dispatchMethods(); e->name != nullptr; ++e) {
      if (e->id == member) m = e;
    }
    if (m == nullptr || (flags & DISPATCH_METHOD) == 0) return DISP_E_MEMBERNOTFOUND;
    if (params != nullptr && (params->cArgs != 0 || params->cNamedArgs != 0)) {
      return DISP_E_BADPARAMCOUNT;
    }
    if (result != nullptr) VariantInit(result);
    SetErrorInfo(0, nullptr);  // only what the method itself reports
    const HRESULT hr = (static_cast<T*>(this)->*(m->method))();
    if (SUCCEEDED(hr)) return S_OK;
    if (excepInfo != nullptr) fillExcepInfo(hr, excepInfo);
    return DISP_E_EXCEPTION;
  }

 private:
  static bool sameName(const OLECHAR* a, const char* b) {
    for (; *a != 0 && *b != '\0'; ++a, ++b) {
      if (*a > 0x7F) return false;
      if (std::tolower(static_cast<unsigned char>(*a)) !=
          std::tolower(static_cast<unsigned char>(*b))) {
        return false;
      }
    }
    return *a == 0 && *b == '\0';
  }
  static const DispatchMethod<T>* find(const OLECHAR* name) {
    if (name == nullptr) return nullptr;
    for (const DispatchMethod<T>* e = T::dispatchMethods(); e->name != nullptr; ++e) {
      if (sameName(name, e->name)) return e;
    }
    return nullptr;
  }
  static void fillExcepInfo(HRESULT hr, EXCEPINFO* info) {
    *info = EXCEPINFO{};
    info->scode = hr;
    IErrorInfo* error = nullptr;
    if (GetErrorInfo(0, &error) == S_OK && error != nullptr) {
      error->GetSource(&info->bstrSource);
      error->GetDescription(&info->bstrDescription);
      error->Release();
    }
  }
};

// The lock count of a server module: raised by every live object of the module and by
// IClassFactory::LockServer; DllCanUnloadNow answers S_OK only at 0.
class ModuleLockCount {
 public:
  LONG Lock() { return ++count_; }
  LONG Unlock() { return --count_; }
  LONG GetLockCount() const { return count_.load(); }

 private:
  std::atomic<LONG> count_{0};
};

// Holds one lock on a module for its own lifetime; a member of each object class of a server.
class ModuleLock {
 public:
  explicit ModuleLock(ModuleLockCount& module) : module_(module) { module_.Lock(); }
  ~ModuleLock() { module_.Unlock(); }
  ModuleLock(const ModuleLock&) = delete;
  ModuleLock& operator=(const ModuleLock&) = delete;

 private:
  ModuleLockCount& module_;
};

// A class factory that makes objects with `create` (which answers for `riid` as
// QueryInterface does). Aggregation is refused; LockServer locks `module`. The factory itself
// does not lock the module.
class ClassFactory : public ComObject<IClassFactory> {
 public:
  typedef HRESULT (*Creator)(REFIID riid, void** object);
  ClassFactory(Creator create, ModuleLockCount& module) : create_(create), module_(module) {}

  HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    return create_(riid, object);
  }
  HRESULT LockServer(BOOL lock) override {
    if (lock) {
      module_.Lock();
    } else {
      module_.Unlock();
    }
    return S_OK;
  }

 private:
  Creator create_;
  ModuleLockCount& module_;
};

// Creates a `T` and answers for `riid`: the body of a class factory's creator.
template <class T>
HRESULT createInstance(REFIID riid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  T* instance = new (std::nothrow) T();
  if (instance == nullptr) return E_OUTOFMEMORY;
  instance->AddRef();
  const HRESULT hr = instance->QueryInterface(riid, object);
  instance->Release();
  return hr;
}

// --- Registration ----------------------------------------------------------------------------
// The registry entries of one class of an in-process server.
struct ClassRegistration {
  CLSID clsid;
  std::string description;
  std::string progId;                    // "KAVRINGEN.DSAddIn.1"; empty for none
  std::string versionIndependentProgId;  // empty for none
  std::string threadingModel;            // "Apartment", "Both", "Free"; empty for none
};

// Writes, below HKEY_CLASSES_ROOT:
//   <progId> = description, <progId>\CLSID = {clsid}
//   <versionIndependentProgId> = description, its CLSID = {clsid} and CurVer = progId
//   CLSID\{clsid} = description, with ProgID, VersionIndependentProgID and InprocServer32 =
//   the module's absolute path, with its ThreadingModel.
// A registry failure gives HRESULT_FROM_WIN32 of its code, with an error object naming the key.
HRESULT registerClass(const ClassRegistration& reg, const std::string& modulePath);
// Removes the keys above (missing ones are no error).
HRESULT unregisterClass(const ClassRegistration& reg);

// A type library, as far as its registration goes. Its interfaces are dual (OLE Automation).
struct TypeLibInterface {
  std::string name;
  IID iid;
};
struct TypeLibrary {
  std::string name;
  GUID libid;
  WORD majorVersion;
  WORD minorVersion;
  std::string helpString;
  std::vector<TypeLibInterface> interfaces;
};

// The module (shared library or program) that holds `address`; null if none. No reference is
// taken: the module is the caller's own.
HMODULE moduleOfAddress(const void* address);
// The absolute path of the module that holds `address` (empty if none).
std::string modulePathOfAddress(const void* address);

}  // namespace com

// Registers a type library that `fullPath` carries, below HKEY_CLASSES_ROOT:
//   TypeLib\{libid}\<major>.<minor> = help string, with 0\win32 = fullPath, FLAGS = 0 and
//   HELPDIR = helpDir (the module's folder when null);
//   Interface\{iid} = name, with ProxyStubClsid32 = the OLE Automation marshaller and
//   TypeLib = {libid} (Version = <major>.<minor>), for each interface.
// Failures as com::registerClass, as SELFREG_E_TYPELIB when the description is incomplete.
HRESULT RegisterTypeLib(const com::TypeLibrary& library, const char* fullPath, const char* helpDir);
