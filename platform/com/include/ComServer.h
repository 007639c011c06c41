// Building blocks of COM objects and in-process servers, standing in for the parts of ATL that
// the system uses: reference counting and QueryInterface over a list of interfaces, IDispatch
// over a table of named methods or over a type library, type libraries themselves, a class
// factory, the module lock count, and the registry entries of classes and type libraries.
#pragma once

#include "Com.h"

#include <atomic>
#include <cctype>
#include <mutex>
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
    } else if (!(detail::findInterface<Interfaces>(static_cast<Interfaces*>(this), riid, object) || ...)) {
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

// OLE Automation's comparison of names: ASCII letters without regard to case.
bool sameName(const OLECHAR* a, const std::string& b);
// Fills `info` from `hr` and the calling thread's error object (which it takes).
void fillExcepInfo(HRESULT hr, EXCEPINFO* info);

// A COM object whose first interface derives from IDispatch, answering GetIDsOfNames (names
// compared without regard to case, as OLE Automation does) and Invoke from
// `T::dispatchMethods()`: a table ended by an entry with a null name. A method that fails makes
// Invoke return DISP_E_EXCEPTION with EXCEPINFO filled from the thread's error object.
// No type information is offered (GetTypeInfoCount gives 0): objects of a server that carries
// a type library use TypeLibDispatchObject.
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
  HRESULT Invoke(DISPID member, REFIID riid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                 EXCEPINFO* excepInfo, UINT*) override {
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
  static const DispatchMethod<T>* find(const OLECHAR* name) {
    if (name == nullptr) return nullptr;
    for (const DispatchMethod<T>* e = T::dispatchMethods(); e->name != nullptr; ++e) {
      if (sameName(name, e->name)) return e;
    }
    return nullptr;
  }
};

// --- Type libraries ----------------------------------------------------------------------------
// The description of a type library, as a module carries it.
struct TypeLibMethod {
  std::string name;
  DISPID id;
  // Calls the method through a pointer to its interface: the stand-in for the virtual-table
  // slot through which ITypeInfo::Invoke calls. Null for a method that cannot be called.
  HRESULT (*call)(void* itf) = nullptr;
  std::string helpString;
};
// A dual interface (derived from IDispatch).
struct TypeLibInterface {
  std::string name;
  IID iid;
  std::vector<TypeLibMethod> methods;
  std::string helpString;
};
// A class and the interfaces it implements, named as in the library (the default one first).
struct TypeLibCoclass {
  std::string name;
  CLSID clsid;
  std::vector<std::string> interfaces;
  std::string helpString;
};
// Type information comes in this order: the interfaces, then the classes.
struct TypeLibrary {
  std::string name;
  GUID libid;
  WORD majorVersion;
  WORD minorVersion;
  std::string helpString;
  std::vector<TypeLibInterface> interfaces;
  std::vector<TypeLibCoclass> coclasses;
};

// A new type library object over a copy of `library`.
HRESULT createTypeLib(const TypeLibrary& library, ITypeLib** out);

// The type library a module carries, as a resource of the module: made a static object of the
// module, it is found by LoadTypeLib with the module's path while the module is loaded.
class TypeLibResource {
 public:
  TypeLibResource(const TypeLibrary& library, const void* addressInModule);
  ~TypeLibResource();
  TypeLibResource(const TypeLibResource&) = delete;
  TypeLibResource& operator=(const TypeLibResource&) = delete;

 private:
  const void* address_;
};

// The type information of interface `iid` from the library registered as libid major.minor,
// or, while that cannot be loaded, from the library of the module that holds
// `addressInModule`.
HRESULT loadTypeInfo(REFGUID libid, WORD major, WORD minor, REFIID iid, const void* addressInModule, ITypeInfo** out);

// A COM object whose first interface, `Interface`, is a dual interface described by the type
// library `*libid`: IDispatch is implemented over that type information (as ATL's
// IDispatchImpl), which loadTypeInfo finds once per class. GetIDsOfNames and Invoke go through
// ITypeInfo; without type information they fail with its error.
template <class T, class Interface, const GUID* libid, WORD major = 1, WORD minor = 0, class... Others>
class TypeLibDispatchObject : public ComObject<Interface, Others...> {
 public:
  HRESULT GetTypeInfoCount(UINT* count) override {
    if (count == nullptr) return E_POINTER;
    *count = 1;
    return S_OK;
  }
  HRESULT GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
    if (info == nullptr) return E_POINTER;
    *info = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    ITypeInfo* held = nullptr;
    const HRESULT hr = typeInfo(&held);
    if (FAILED(hr)) return hr;
    held->AddRef();
    *info = held;
    return S_OK;
  }
  HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    ITypeInfo* held = nullptr;
    const HRESULT hr = typeInfo(&held);
    return FAILED(hr) ? hr : held->GetIDsOfNames(names, count, ids);
  }
  HRESULT Invoke(DISPID member, REFIID riid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                 EXCEPINFO* excepInfo, UINT* argErr) override {
    if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    ITypeInfo* held = nullptr;
    const HRESULT hr = typeInfo(&held);
    if (FAILED(hr)) return hr;
    return held->Invoke(static_cast<Interface*>(this), member, flags, params, result, excepInfo, argErr);
  }

 private:
  // The class's type information, loaded on first use and kept while the module is loaded.
  static HRESULT typeInfo(ITypeInfo** out) {
    static Holder holder;
    return holder.get(out);
  }
  class Holder {
   public:
    Holder() = default;
    ~Holder() {
      if (info_ != nullptr) info_->Release();
    }
    HRESULT get(ITypeInfo** out) {
      std::lock_guard<std::mutex> lock(mutex_);
      if (info_ == nullptr) {
        const HRESULT hr = loadTypeInfo(*libid, major, minor, uuidof<Interface>(), this, &info_);
        if (FAILED(hr)) return hr;
      }
      *out = info_;
      return S_OK;
    }

   private:
    std::mutex mutex_;
    ITypeInfo* info_ = nullptr;
  };
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

// Hands a new object (one nobody holds yet) out as `riid`; an object that does not answer for
// `riid` is gone again.
template <class T>
HRESULT handOutNew(T* made, REFIID riid, void** object) {
  made->AddRef();
  const HRESULT hr = made->QueryInterface(riid, object);
  made->Release();
  return hr;
}

// Creates a `T` and answers for `riid`: the body of a class factory's creator.
template <class T>
HRESULT createInstance(REFIID riid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  T* instance = new (std::nothrow) T();
  if (instance == nullptr) return E_OUTOFMEMORY;
  return handOutNew(instance, riid, object);
}

// The DllGetClassObject of a server of one class, `served`: a new class object from
// `makeFactory`, answering for `riid`.
template <class MakeFactory>
HRESULT getClassObject(REFCLSID clsid, REFCLSID served, REFIID riid, void** object, MakeFactory makeFactory) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (clsid != served) return CLASS_E_CLASSNOTAVAILABLE;
  return handOutNew(makeFactory(), riid, object);
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

// The module (shared library or program) that holds `address`; null if none. No reference is
// taken: the module is the caller's own.
HMODULE moduleOfAddress(const void* address);
// The absolute path of the module that holds `address` (empty if none).
std::string modulePathOfAddress(const void* address);

}  // namespace com

// RegisterTypeLib of a library described by `library`; SELFREG_E_TYPELIB when the description
// has no name or there is no path.
HRESULT RegisterTypeLib(const com::TypeLibrary& library, const char* fullPath, const char* helpDir);
