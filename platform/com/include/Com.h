// COM and OLE Automation, stood in for on POSIX.
//
// Only what the system uses is declared here, under the names the system's code calls:
// GUIDs, HRESULTs, the IUnknown / IDispatch / IClassFactory / IErrorInfo interfaces (abstract
// classes whose virtual functions sit in COM's slot order), BSTR strings and VARIANTs, the
// per-thread error object, CoInitialize, and in-process servers: shared libraries that export
// DllGetClassObject, DllCanUnloadNow, DllRegisterServer and DllUnregisterServer, found through
// HKEY_CLASSES_ROOT\CLSID\{clsid}\InprocServer32 in the registry stand-in.
//
// Wide text is 16-bit units (OLECHAR is char16_t); narrow text is UTF-8.
//
// One COM state per process: the per-thread initialisation counts, the error objects, the
// classes registered with CoRegisterClassObject and the loaded servers live behind the
// functions of this library. A program and the in-process servers it loads share that state, as
// every module shares ole32 on Windows: all of them use the platform library (libkavrinplatform),
// or, where a server carries its own copy of this library, the program exports its symbols (CMake
// ENABLE_EXPORTS) so that every module binds to the program's copy.
#pragma once

#include "Win32.h"

#include <cstddef>
#include <cstdint>
#include <string>

typedef int32_t HRESULT;
typedef HRESULT SCODE;
typedef uint32_t ULONG;
typedef int16_t SHORT;
typedef uint16_t USHORT;
typedef char16_t OLECHAR;
typedef OLECHAR* LPOLESTR;
typedef const OLECHAR* LPCOLESTR;
typedef OLECHAR* BSTR;
typedef int16_t VARIANT_BOOL;
typedef LONG DISPID;
typedef DWORD LCID;
typedef uint16_t VARTYPE;

constexpr VARIANT_BOOL VARIANT_TRUE = -1;
constexpr VARIANT_BOOL VARIANT_FALSE = 0;

// --- HRESULT ------------------------------------------------------------------------------
#define SUCCEEDED(hr) (static_cast<HRESULT>(hr) >= 0)
#define FAILED(hr) (static_cast<HRESULT>(hr) < 0)

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT NOERROR = 0;
constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001u);
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
constexpr HRESULT E_ABORT = static_cast<HRESULT>(0x80004004u);
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT E_UNEXPECTED = static_cast<HRESULT>(0x8000FFFFu);
constexpr HRESULT E_ACCESSDENIED = static_cast<HRESULT>(0x80070005u);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT CLASS_E_NOAGGREGATION = static_cast<HRESULT>(0x80040110u);
constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = static_cast<HRESULT>(0x80040111u);
constexpr HRESULT REGDB_E_READREGDB = static_cast<HRESULT>(0x80040150u);
constexpr HRESULT REGDB_E_CLASSNOTREG = static_cast<HRESULT>(0x80040154u);
constexpr HRESULT SELFREG_E_TYPELIB = static_cast<HRESULT>(0x80040200u);
constexpr HRESULT SELFREG_E_CLASS = static_cast<HRESULT>(0x80040201u);
constexpr HRESULT CO_E_NOTINITIALIZED = static_cast<HRESULT>(0x800401F0u);
constexpr HRESULT CO_E_CLASSSTRING = static_cast<HRESULT>(0x800401F3u);
constexpr HRESULT CO_E_DLLNOTFOUND = static_cast<HRESULT>(0x800401F8u);
constexpr HRESULT CO_E_ERRORINDLL = static_cast<HRESULT>(0x800401F9u);
constexpr HRESULT CO_E_OBJNOTREG = static_cast<HRESULT>(0x800401FBu);
constexpr HRESULT RPC_E_CHANGED_MODE = static_cast<HRESULT>(0x80010106u);
constexpr HRESULT DISP_E_UNKNOWNINTERFACE = static_cast<HRESULT>(0x80020001u);
constexpr HRESULT DISP_E_MEMBERNOTFOUND = static_cast<HRESULT>(0x80020003u);
constexpr HRESULT DISP_E_PARAMNOTFOUND = static_cast<HRESULT>(0x80020004u);
constexpr HRESULT DISP_E_TYPEMISMATCH = static_cast<HRESULT>(0x80020005u);
constexpr HRESULT DISP_E_UNKNOWNNAME = static_cast<HRESULT>(0x80020006u);
constexpr HRESULT DISP_E_BADVARTYPE = static_cast<HRESULT>(0x80020008u);
constexpr HRESULT DISP_E_EXCEPTION = static_cast<HRESULT>(0x80020009u);
constexpr HRESULT DISP_E_OVERFLOW = static_cast<HRESULT>(0x8002000Au);
constexpr HRESULT DISP_E_BADINDEX = static_cast<HRESULT>(0x8002000Bu);
constexpr HRESULT DISP_E_BADPARAMCOUNT = static_cast<HRESULT>(0x8002000Eu);
constexpr HRESULT DISP_E_PARAMNOTOPTIONAL = static_cast<HRESULT>(0x8002000Fu);
constexpr HRESULT TYPE_E_LIBNOTREGISTERED = static_cast<HRESULT>(0x8002801Du);
constexpr HRESULT TYPE_E_ELEMENTNOTFOUND = static_cast<HRESULT>(0x8002802Bu);
constexpr HRESULT TYPE_E_CANTLOADLIBRARY = static_cast<HRESULT>(0x80029C4Au);

// The HRESULT that carries a Win32 error code (the registry's and the kernel's).
constexpr HRESULT HRESULT_FROM_WIN32(LONG code) {
  return code <= 0 ? static_cast<HRESULT>(code)
                   : static_cast<HRESULT>((static_cast<uint32_t>(code) & 0xFFFFu) | 0x80070000u);
}

// --- GUID ----------------------------------------------------------------------------------
struct GUID {
  uint32_t Data1;
  uint16_t Data2;
  uint16_t Data3;
  uint8_t Data4[8];
};
typedef GUID IID;
typedef GUID CLSID;
typedef const GUID& REFGUID;
typedef const IID& REFIID;
typedef const CLSID& REFCLSID;

constexpr bool operator==(const GUID& a, const GUID& b) {
  if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
  for (int i = 0; i < 8; ++i) {
    if (a.Data4[i] != b.Data4[i]) return false;
  }
  return true;
}
constexpr bool operator!=(const GUID& a, const GUID& b) { return !(a == b); }
// An arbitrary but fixed order, so that GUIDs can key ordered containers.
constexpr bool operator<(const GUID& a, const GUID& b) {
  if (a.Data1 != b.Data1) return a.Data1 < b.Data1;
  if (a.Data2 != b.Data2) return a.Data2 < b.Data2;
  if (a.Data3 != b.Data3) return a.Data3 < b.Data3;
  for (int i = 0; i < 8; ++i) {
    if (a.Data4[i] != b.Data4[i]) return a.Data4[i] < b.Data4[i];
  }
  return false;
}
inline bool IsEqualGUID(REFGUID a, REFGUID b) { return a == b; }
inline bool IsEqualIID(REFIID a, REFIID b) { return a == b; }
inline bool IsEqualCLSID(REFCLSID a, REFCLSID b) { return a == b; }

namespace com {
namespace detail {
constexpr int hexDigit(char c) {
  return c >= '0' && c <= '9'   ? c - '0'
         : c >= 'a' && c <= 'f' ? c - 'a' + 10
         : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                : -1;
}
constexpr uint32_t hexField(const char* text, int from, int digits) {
  uint32_t value = 0;
  for (int i = 0; i < digits; ++i) {
    const int d = hexDigit(text[from + i]);
    if (d < 0) throw "GUID text: not a hex digit";
    value = value * 16 + static_cast<uint32_t>(d);
  }
  return value;
}
}  // namespace detail

// A GUID from its text "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX" (no braces), at compile time.
constexpr GUID guid(const char* text) {
  for (int i = 0; i < 36; ++i) {
    if (text[i] == '\0') throw "GUID text: too short";
  }
  if (text[36] != '\0' || text[8] != '-' || text[13] != '-' || text[18] != '-' || text[23] != '-') {
    throw "GUID text: not in the form XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX";
  }
  GUID g{};
  g.Data1 = detail::hexField(text, 0, 8);
  g.Data2 = static_cast<uint16_t>(detail::hexField(text, 9, 4));
  g.Data3 = static_cast<uint16_t>(detail::hexField(text, 14, 4));
  g.Data4[0] = static_cast<uint8_t>(detail::hexField(text, 19, 2));
  g.Data4[1] = static_cast<uint8_t>(detail::hexField(text, 21, 2));
  for (int i = 0; i < 6; ++i) g.Data4[2 + i] = static_cast<uint8_t>(detail::hexField(text, 24 + 2 * i, 2));
  return g;
}

// Registry form "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper-case hex.
std::string guidToString(REFGUID g);
// Reads the registry form (braces required, hex of either case). False on anything else.
bool guidFromString(const std::string& text, GUID* g);
}  // namespace com

constexpr GUID GUID_NULL{};
constexpr IID IID_NULL{};
constexpr CLSID CLSID_NULL{};

// Writes the registry form with its terminator; returns the characters written (39), or 0
// when `cchMax` is too small.
int StringFromGUID2(REFGUID guid, LPOLESTR text, int cchMax);
// NOERROR, or CO_E_CLASSSTRING when the text is not a GUID in registry form.
HRESULT CLSIDFromString(LPCOLESTR text, CLSID* clsid);

// --- Interface identities ----------------------------------------------------------------------
namespace com {
// Specialised for every interface by COM_INTERFACE_TRAITS: its IID and the interface it
// derives from (void for IUnknown). Smart pointers and QueryInterface helpers use it.
template <class Interface>
struct InterfaceTraits;

template <class Interface>
constexpr const IID& uuidof() {
  return InterfaceTraits<Interface>::iid;
}
}  // namespace com

// Declares the identity of an interface. Use at global scope, once per interface.
#define COM_INTERFACE_TRAITS(Interface, BaseInterface, iidValue) \
  template <>                                                    \
  struct com::InterfaceTraits<Interface> {                       \
    using Base = BaseInterface;                                  \
    static constexpr const IID& iid = iidValue;                  \
  };

// --- VARIANT ---------------------------------------------------------------------------------
struct IDispatch;

enum VARENUM : VARTYPE {
  VT_EMPTY = 0,
  VT_NULL = 1,
  VT_I2 = 2,
  VT_I4 = 3,
  VT_BSTR = 8,
  VT_DISPATCH = 9,
  VT_ERROR = 10,
  VT_BOOL = 11,
};

struct VARIANT {
  VARTYPE vt;
  WORD wReserved1;
  WORD wReserved2;
  WORD wReserved3;
  union {
    LONG lVal;
    SHORT iVal;
    VARIANT_BOOL boolVal;
    SCODE scode;
    BSTR bstrVal;
    IDispatch* pdispVal;
  };
};
typedef VARIANT VARIANTARG;

// VariantChangeType flag: a boolean becomes "True" or "False" instead of "-1" or "0".
#define VARIANT_ALPHABOOL 0x2

void VariantInit(VARIANT* v);
// Frees the BSTR or releases the interface a VARIANT holds and leaves it VT_EMPTY.
HRESULT VariantClear(VARIANT* v);
// A deep copy: a new BSTR, or one more reference on an interface. `dest` is cleared first.
HRESULT VariantCopy(VARIANT* dest, const VARIANT* src);
// Converts between VT_EMPTY, VT_I2, VT_I4, VT_BOOL and VT_BSTR. Text becomes a boolean from
// "true"/"false" (any case) or a number (true when not 0); VT_NULL converts to nothing but
// itself (DISP_E_TYPEMISMATCH); numbers out of range give DISP_E_OVERFLOW. `dest` may be `src`.
HRESULT VariantChangeType(VARIANT* dest, const VARIANT* src, USHORT flags, VARTYPE vt);

// --- BSTR ------------------------------------------------------------------------------------
// A BSTR points at 16-bit units preceded by their byte count (32 bits) and followed by a zero
// unit; it may hold zero units inside. A null BSTR is the empty string.
BSTR SysAllocString(const OLECHAR* text);
// `length` units from `text` (zeros included); with a null `text`, `length` zero units.
BSTR SysAllocStringLen(const OLECHAR* text, UINT length);
void SysFreeString(BSTR bstr);
UINT SysStringLen(BSTR bstr);

namespace com {
// UTF-8 <-> UTF-16. Malformed input (bad bytes, lone surrogates) becomes U+FFFD.
std::u16string toUtf16(const std::string& utf8);
std::string toUtf8(const OLECHAR* text, size_t length);
std::string toUtf8(const std::u16string& text);
// A new BSTR holding the whole of `utf8` (embedded zeros kept); free it with SysFreeString.
BSTR allocBstr(const std::string& utf8);
// The whole BSTR as UTF-8 (empty for null).
std::string fromBstr(BSTR bstr);
}  // namespace com

// --- Interfaces ------------------------------------------------------------------------------
struct IUnknown {
  virtual HRESULT QueryInterface(REFIID riid, void** object) = 0;
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;

 protected:
  ~IUnknown() = default;
};

struct ITypeInfo;  // type information: see "Type libraries" below

struct DISPPARAMS {
  VARIANTARG* rgvarg;
  DISPID* rgdispidNamedArgs;
  UINT cArgs;
  UINT cNamedArgs;
};

struct EXCEPINFO {
  WORD wCode;
  WORD wReserved;
  BSTR bstrSource;
  BSTR bstrDescription;
  BSTR bstrHelpFile;
  DWORD dwHelpContext;
  void* pvReserved;
  HRESULT (*pfnDeferredFillIn)(EXCEPINFO*);
  SCODE scode;
};

#define DISPATCH_METHOD 0x1
#define DISPATCH_PROPERTYGET 0x2
#define DISPATCH_PROPERTYPUT 0x4
constexpr DISPID DISPID_UNKNOWN = -1;
constexpr LCID LOCALE_SYSTEM_DEFAULT = 0x0800;
constexpr LCID LOCALE_USER_DEFAULT = 0x0400;

struct IDispatch : IUnknown {
  virtual HRESULT GetTypeInfoCount(UINT* count) = 0;
  virtual HRESULT GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) = 0;
  virtual HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) = 0;
  virtual HRESULT Invoke(DISPID member, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                         EXCEPINFO* excepInfo, UINT* argErr) = 0;

 protected:
  ~IDispatch() = default;
};

// --- Type libraries --------------------------------------------------------------------------
// A type library describes the interfaces and classes of a module: each interface with its
// methods and their DISPIDs, each class (coclass) with the interfaces it implements. Objects
// implement IDispatch over the type information of their interface. Methods described here
// take no arguments and return an HRESULT; variables, type comparison and marshalling
// information are not described (those calls answer E_NOTIMPL).
struct ITypeLib;
struct ITypeComp;  // not provided
struct VARDESC;    // not provided
typedef DISPID MEMBERID;
typedef DWORD HREFTYPE;
constexpr MEMBERID MEMBERID_NIL = -1;

enum TYPEKIND {
  TKIND_ENUM = 0,
  TKIND_RECORD,
  TKIND_MODULE,
  TKIND_INTERFACE,
  TKIND_DISPATCH,
  TKIND_COCLASS,
  TKIND_ALIAS,
  TKIND_UNION,
  TKIND_MAX
};
enum INVOKEKIND { INVOKE_FUNC = 1, INVOKE_PROPERTYGET = 2, INVOKE_PROPERTYPUT = 4, INVOKE_PROPERTYPUTREF = 8 };
enum FUNCKIND { FUNC_VIRTUAL = 0, FUNC_PUREVIRTUAL, FUNC_NONVIRTUAL, FUNC_STATIC, FUNC_DISPATCH };
enum SYSKIND { SYS_WIN16 = 0, SYS_WIN32, SYS_MAC, SYS_WIN64 };

// TYPEATTR::wTypeFlags
constexpr WORD TYPEFLAG_FCANCREATE = 0x2;
constexpr WORD TYPEFLAG_FHIDDEN = 0x10;
constexpr WORD TYPEFLAG_FDUAL = 0x40;
constexpr WORD TYPEFLAG_FOLEAUTOMATION = 0x100;
constexpr WORD TYPEFLAG_FDISPATCHABLE = 0x1000;
// GetImplTypeFlags
constexpr int IMPLTYPEFLAG_FDEFAULT = 0x1;

// The attributes of one type (the fields the stand-in fills).
struct TYPEATTR {
  GUID guid;  // the IID of an interface, the CLSID of a class
  LCID lcid;
  TYPEKIND typekind;  // TKIND_DISPATCH for a dual interface, TKIND_COCLASS for a class
  WORD cFuncs;        // methods described
  WORD cVars;
  WORD cImplTypes;  // interfaces a class implements
  WORD wTypeFlags;
  WORD wMajorVerNum;
  WORD wMinorVerNum;
};

// One method (the fields the stand-in fills).
struct FUNCDESC {
  MEMBERID memid;  // its DISPID
  FUNCKIND funckind;
  INVOKEKIND invkind;
  SHORT cParams;
  SHORT cParamsOpt;
  SHORT oVft;  // its slot in the interface's virtual table, in bytes
  VARTYPE vtReturn;
};

struct TLIBATTR {
  GUID guid;  // the LIBID
  LCID lcid;
  SYSKIND syskind;
  WORD wMajorVerNum;
  WORD wMinorVerNum;
  WORD wLibFlags;
};

struct ITypeInfo : IUnknown {
  virtual HRESULT GetTypeAttr(TYPEATTR** attr) = 0;
  virtual HRESULT GetTypeComp(ITypeComp** comp) = 0;
  virtual HRESULT GetFuncDesc(UINT index, FUNCDESC** desc) = 0;
  virtual HRESULT GetVarDesc(UINT index, VARDESC** desc) = 0;
  // The member's name, then its parameters' names.
  virtual HRESULT GetNames(MEMBERID memid, BSTR* names, UINT maxNames, UINT* count) = 0;
  virtual HRESULT GetRefTypeOfImplType(UINT index, HREFTYPE* ref) = 0;
  virtual HRESULT GetImplTypeFlags(UINT index, int* flags) = 0;
  virtual HRESULT GetIDsOfNames(LPOLESTR* names, UINT count, MEMBERID* ids) = 0;
  // Calls the member on `instance`, a pointer to the interface this type describes.
  virtual HRESULT Invoke(void* instance, MEMBERID memid, WORD flags, DISPPARAMS* params, VARIANT* result,
                         EXCEPINFO* excepInfo, UINT* argErr) = 0;
  // MEMBERID_NIL documents the type itself. Any of the out pointers may be null.
  virtual HRESULT GetDocumentation(MEMBERID memid, BSTR* name, BSTR* docString, DWORD* helpContext, BSTR* helpFile) = 0;
  virtual HRESULT GetDllEntry(MEMBERID memid, INVOKEKIND kind, BSTR* dllName, BSTR* name, WORD* ordinal) = 0;
  virtual HRESULT GetRefTypeInfo(HREFTYPE ref, ITypeInfo** info) = 0;
  virtual HRESULT AddressOfMember(MEMBERID memid, INVOKEKIND kind, void** address) = 0;
  virtual HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** object) = 0;
  virtual HRESULT GetMops(MEMBERID memid, BSTR* mops) = 0;
  virtual HRESULT GetContainingTypeLib(ITypeLib** library, UINT* index) = 0;
  virtual void ReleaseTypeAttr(TYPEATTR* attr) = 0;
  virtual void ReleaseFuncDesc(FUNCDESC* desc) = 0;
  virtual void ReleaseVarDesc(VARDESC* desc) = 0;

 protected:
  ~ITypeInfo() = default;
};

struct ITypeLib : IUnknown {
  virtual UINT GetTypeInfoCount() = 0;
  virtual HRESULT GetTypeInfo(UINT index, ITypeInfo** info) = 0;
  virtual HRESULT GetTypeInfoType(UINT index, TYPEKIND* kind) = 0;
  virtual HRESULT GetTypeInfoOfGuid(REFGUID guid, ITypeInfo** info) = 0;
  virtual HRESULT GetLibAttr(TLIBATTR** attr) = 0;
  virtual HRESULT GetTypeComp(ITypeComp** comp) = 0;
  // Index -1 documents the library itself. Any of the out pointers may be null.
  virtual HRESULT GetDocumentation(int index, BSTR* name, BSTR* docString, DWORD* helpContext, BSTR* helpFile) = 0;
  // Whether a type or a member has this name (case ignored); the name's spelling in the
  // library is copied back into `name`.
  virtual HRESULT IsName(LPOLESTR name, ULONG hashValue, BOOL* found) = 0;
  virtual HRESULT FindName(LPOLESTR name, ULONG hashValue, ITypeInfo** infos, MEMBERID* ids, USHORT* found) = 0;
  virtual void ReleaseTLibAttr(TLIBATTR* attr) = 0;

 protected:
  ~ITypeLib() = default;
};

// The type library of `file`: the library of a module (shared library or program) loaded into
// this process, found by the module's path. TYPE_E_CANTLOADLIBRARY when no loaded module of
// that path carries one.
HRESULT LoadTypeLib(LPCOLESTR file, ITypeLib** library);
// The library registered as TypeLib\{libid}\<major>.<minor> below HKEY_CLASSES_ROOT, loaded from
// the file its 0\win32 entry names. TYPE_E_LIBNOTREGISTERED when it is not registered.
HRESULT LoadRegTypeLib(REFGUID libid, WORD major, WORD minor, LCID lcid, ITypeLib** library);
// Registers `library` as carried by `fullPath`, below HKEY_CLASSES_ROOT:
//   TypeLib\{libid}\<major>.<minor> = help string (the name when there is none), with
//   0\win32 = fullPath, FLAGS = 0 and HELPDIR = helpDir (the file's folder when null);
//   Interface\{iid} = name, with ProxyStubClsid32 = the OLE Automation marshaller and
//   TypeLib = {libid} (Version = <major>.<minor>), for each interface.
// Classes are described by the library itself; their CLSID keys are the servers' own.
// A registry failure gives HRESULT_FROM_WIN32 of its code, with an error object naming the key.
HRESULT RegisterTypeLib(ITypeLib* library, LPCOLESTR fullPath, LPCOLESTR helpDir);

struct IClassFactory : IUnknown {
  virtual HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** object) = 0;
  virtual HRESULT LockServer(BOOL lock) = 0;

 protected:
  ~IClassFactory() = default;
};

struct IErrorInfo : IUnknown {
  virtual HRESULT GetGUID(GUID* guid) = 0;
  virtual HRESULT GetSource(BSTR* source) = 0;
  virtual HRESULT GetDescription(BSTR* description) = 0;
  virtual HRESULT GetHelpFile(BSTR* helpFile) = 0;
  virtual HRESULT GetHelpContext(DWORD* helpContext) = 0;

 protected:
  ~IErrorInfo() = default;
};

struct ICreateErrorInfo : IUnknown {
  virtual HRESULT SetGUID(REFGUID guid) = 0;
  virtual HRESULT SetSource(LPOLESTR source) = 0;
  virtual HRESULT SetDescription(LPOLESTR description) = 0;
  virtual HRESULT SetHelpFile(LPOLESTR helpFile) = 0;
  virtual HRESULT SetHelpContext(DWORD helpContext) = 0;

 protected:
  ~ICreateErrorInfo() = default;
};

inline constexpr IID IID_IUnknown = com::guid("00000000-0000-0000-C000-000000000046");
inline constexpr IID IID_IDispatch = com::guid("00020400-0000-0000-C000-000000000046");
inline constexpr IID IID_IClassFactory = com::guid("00000001-0000-0000-C000-000000000046");
inline constexpr IID IID_ITypeInfo = com::guid("00020401-0000-0000-C000-000000000046");
inline constexpr IID IID_ITypeLib = com::guid("00020402-0000-0000-C000-000000000046");
inline constexpr IID IID_IErrorInfo = com::guid("1CF2B120-547D-101B-8E65-08002B2BD119");
inline constexpr IID IID_ICreateErrorInfo = com::guid("22F03340-547D-101B-8E65-08002B2BD119");

COM_INTERFACE_TRAITS(IUnknown, void, IID_IUnknown)
COM_INTERFACE_TRAITS(IDispatch, IUnknown, IID_IDispatch)
COM_INTERFACE_TRAITS(IClassFactory, IUnknown, IID_IClassFactory)
COM_INTERFACE_TRAITS(ITypeInfo, IUnknown, IID_ITypeInfo)
COM_INTERFACE_TRAITS(ITypeLib, IUnknown, IID_ITypeLib)
COM_INTERFACE_TRAITS(IErrorInfo, IUnknown, IID_IErrorInfo)
COM_INTERFACE_TRAITS(ICreateErrorInfo, IUnknown, IID_ICreateErrorInfo)

// --- Error objects ---------------------------------------------------------------------------
// A new, empty error object.
HRESULT CreateErrorInfo(ICreateErrorInfo** info);
// The calling thread's error object: SetErrorInfo takes a reference (null clears it);
// GetErrorInfo hands the reference over and clears the slot (S_FALSE and null when empty).
HRESULT SetErrorInfo(ULONG reserved, IErrorInfo* info);
HRESULT GetErrorInfo(ULONG reserved, IErrorInfo** info);

namespace com {
// Sets a new error object with `description` and `source` on the calling thread; returns `hr`.
// Objects call it on the way out of a failing method.
HRESULT reportError(HRESULT hr, const std::string& description, const std::string& source = {});
// The text of a known HRESULT ("Unspecified error"), or "Error 0x8XXXXXXX".
std::string errorMessage(HRESULT hr);
}  // namespace com

// --- Initialisation, classes and in-process servers ------------------------------------------
enum COINIT : DWORD {
  COINIT_MULTITHREADED = 0x0,
  COINIT_APARTMENTTHREADED = 0x2,
};

enum CLSCTX : DWORD {
  CLSCTX_INPROC_SERVER = 0x1,
  CLSCTX_INPROC_HANDLER = 0x2,
  CLSCTX_LOCAL_SERVER = 0x4,
  CLSCTX_REMOTE_SERVER = 0x10,
  CLSCTX_SERVER = 0x15,
  CLSCTX_ALL = 0x17,
};

enum REGCLS : DWORD {
  REGCLS_SINGLEUSE = 0,
  REGCLS_MULTIPLEUSE = 1,
};

// Per thread: the first call gives S_OK, later ones S_FALSE (each needs its CoUninitialize);
// asking for the other threading model while initialised gives RPC_E_CHANGED_MODE.
HRESULT CoInitialize(void* reserved);
HRESULT CoInitializeEx(void* reserved, DWORD coInit);
void CoUninitialize();

// Class objects are looked up first among those registered in this process with
// CoRegisterClassObject, then (for CLSCTX_INPROC_SERVER) in the registry: the default value of
// HKEY_CLASSES_ROOT\CLSID\{clsid}\InprocServer32 names the shared library, which is loaded
// once and asked through its DllGetClassObject export. The calling thread must be initialised
// (CO_E_NOTINITIALIZED). An unknown class gives REGDB_E_CLASSNOTREG, a library that does not
// load HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND), one without the export CO_E_ERRORINDLL; each
// failure leaves an error object that says why.
HRESULT CoGetClassObject(REFCLSID clsid, DWORD clsContext, void* serverInfo, REFIID riid, void** object);
HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD clsContext, REFIID riid, void** object);
HRESULT CoRegisterClassObject(REFCLSID clsid, IUnknown* classObject, DWORD clsContext, DWORD flags, DWORD* cookie);
HRESULT CoRevokeClassObject(DWORD cookie);
// Asks every loaded server's DllCanUnloadNow and unloads those that answer S_OK.
void CoFreeUnusedLibraries();

// The exports of an in-process server. A library compiled with hidden visibility still exports
// them, through these declarations.
#define COM_SERVER_EXPORT __attribute__((visibility("default")))
extern "C" {
COM_SERVER_EXPORT HRESULT DllGetClassObject(REFCLSID clsid, REFIID riid, void** object);
COM_SERVER_EXPORT HRESULT DllCanUnloadNow();
COM_SERVER_EXPORT HRESULT DllRegisterServer();
COM_SERVER_EXPORT HRESULT DllUnregisterServer();
}
typedef HRESULT (*LPFNGETCLASSOBJECT)(REFCLSID, REFIID, void**);
typedef HRESULT (*LPFNCANUNLOADNOW)();
typedef HRESULT (*LPFNREGISTERSERVER)();
