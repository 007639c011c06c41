// The compiler's COM support, stood in for: the COM error exception `_com_error` and the
// helpers that raise it, the string and variant wrappers `_bstr_t` and `_variant_t`, and the
// smart interface pointer `_com_ptr_t`.
//
// Failures raise `_com_error` by value; handlers catch it by reference and show its
// Description(), the text of the error object that came with the failure.
#pragma once

#include "Com.h"

#include <memory>
#include <string>
#include <utility>

// --- _com_error ----------------------------------------------------------------------------
class _bstr_t;

class _com_error {
 public:
  // Keeps `info` (takes its own reference when `addRef`, else adopts the caller's).
  explicit _com_error(HRESULT hr, IErrorInfo* info = nullptr, bool addRef = false);
  _com_error(const _com_error& other);
  _com_error& operator=(const _com_error& other);
  ~_com_error();

  HRESULT Error() const { return hr_; }
  // The error object's description and source (empty when there is none).
  _bstr_t Description() const;
  _bstr_t Source() const;
  // The error object with a new reference, or null.
  IErrorInfo* ErrorInfo() const;
  // The text of the HRESULT itself ("Unspecified error").
  const char* ErrorMessage() const;

 private:
  HRESULT hr_;
  IErrorInfo* info_;
  mutable std::string message_;
};

// Raise `_com_error`: without an error object; with the calling thread's error object (taken
// and cleared, as the failing object left it); with a given one (its reference is adopted).
[[noreturn]] void _com_issue_error(HRESULT hr);
[[noreturn]] void _com_issue_errorex(HRESULT hr, IUnknown* source, REFIID riid);
[[noreturn]] void _com_raise_error(HRESULT hr, IErrorInfo* info = nullptr);

namespace com {
// Raises `_com_error` for a failed `hr`, with the calling thread's error object.
inline void check(HRESULT hr) {
  if (FAILED(hr)) _com_issue_errorex(hr, nullptr, IID_NULL);
}
// Raises `_com_error` with a new error object that carries `description`.
[[noreturn]] void raiseError(HRESULT hr, const std::string& description);
// What went wrong, as the user is told: the error object's description, or the text of the
// HRESULT when there is none.
std::string describe(const _com_error& error);
}  // namespace com

// --- _bstr_t -------------------------------------------------------------------------------
// Owns one BSTR; copies are deep. Narrow text is UTF-8.
class _bstr_t {
 public:
  _bstr_t() noexcept = default;
  _bstr_t(const char* utf8);         // null gives the null string
  _bstr_t(const std::string& utf8);  // the whole string, zeros included
  _bstr_t(const OLECHAR* text);      // up to the first zero unit
  _bstr_t(BSTR bstr, bool copy);     // copy, or adopt `bstr`
  _bstr_t(const _bstr_t& other);
  _bstr_t(_bstr_t&& other) noexcept;
  _bstr_t& operator=(const _bstr_t& other);
  _bstr_t& operator=(_bstr_t&& other) noexcept;
  ~_bstr_t();

  operator BSTR() const { return bstr_; }
  // UTF-8, kept until the string changes; stops at an embedded zero.
  operator const char*() const;
  // The whole text as UTF-8 (not in the original class).
  std::string utf8() const;

  UINT length() const { return SysStringLen(bstr_); }
  bool operator!() const { return bstr_ == nullptr; }
  // A new BSTR that the caller frees (copy), or the one held (no copy).
  BSTR copy(bool copy = true) const;
  BSTR GetBSTR() const { return bstr_; }
  // Frees the string held and gives its address, for an out parameter.
  BSTR* GetAddress();
  void Attach(BSTR bstr);
  BSTR Detach() noexcept;

  bool operator==(const _bstr_t& other) const;
  bool operator!=(const _bstr_t& other) const { return !(*this == other); }
  bool operator<(const _bstr_t& other) const;
  bool operator==(const char* utf8) const { return *this == _bstr_t(utf8); }
  bool operator!=(const char* utf8) const { return !(*this == _bstr_t(utf8)); }

 private:
  void reset(BSTR bstr);
  BSTR bstr_ = nullptr;
  mutable std::string narrow_;
  mutable bool narrowValid_ = false;
};

// --- _variant_t ----------------------------------------------------------------------------
// Owns one VARIANT. The extractors convert with VariantChangeType and raise `_com_error` when
// the value does not convert.
class _variant_t : public VARIANT {
 public:
  _variant_t() noexcept;
  _variant_t(const VARIANT& other);  // deep copy
  _variant_t(const _variant_t& other);
  _variant_t(_variant_t&& other) noexcept;
  _variant_t(bool value);                               // VT_BOOL
  _variant_t(SHORT value);                              // VT_I2
  _variant_t(LONG value, VARTYPE vt = VT_I4);           // VT_I4, VT_BOOL or VT_ERROR
  _variant_t(const char* utf8);                         // VT_BSTR
  _variant_t(const std::string& utf8);                  // VT_BSTR
  _variant_t(const OLECHAR* text);                      // VT_BSTR
  _variant_t(const _bstr_t& text);                      // VT_BSTR
  _variant_t(IDispatch* dispatch, bool addRef = true);  // VT_DISPATCH
  _variant_t& operator=(const _variant_t& other);
  _variant_t& operator=(_variant_t&& other) noexcept;
  ~_variant_t();

  operator bool() const;
  operator SHORT() const;
  operator LONG() const;
  operator _bstr_t() const;

  void Clear();
  // Converts in place (or from `src` into this).
  void ChangeType(VARTYPE vt, const _variant_t* src = nullptr);
  void Attach(VARIANT& v);
  VARIANT Detach();
};

// An optional argument left out: VT_ERROR with DISP_E_PARAMNOTFOUND.
inline const _variant_t vtMissing(DISP_E_PARAMNOTFOUND, VT_ERROR);

// --- _com_ptr_t ----------------------------------------------------------------------------
// Holds one reference on an interface. Constructing or assigning from another interface type
// queries for this one: E_NOINTERFACE leaves it null, other failures raise `_com_error`.
// operator-> on a null pointer raises `_com_error` with E_POINTER.
template <class Interface>
class _com_ptr_t {
 public:
  _com_ptr_t() noexcept = default;
  _com_ptr_t(std::nullptr_t) noexcept {}
  _com_ptr_t(Interface* p) : p_(p) {
    if (p_ != nullptr) p_->AddRef();
  }
  _com_ptr_t(Interface* p, bool addRef) : p_(p) {
    if (p_ != nullptr && addRef) p_->AddRef();
  }
  _com_ptr_t(const _com_ptr_t& other) : _com_ptr_t(other.p_) {}
  _com_ptr_t(_com_ptr_t&& other) noexcept : p_(other.p_) { other.p_ = nullptr; }
  template <class Other>
  _com_ptr_t(Other* p) {
    queryFrom(p);
  }
  template <class Other>
  _com_ptr_t(const _com_ptr_t<Other>& other) {
    queryFrom(other.GetInterfacePtr());
  }
  // Creates an instance of `clsid`; stays null when that fails (CreateInstance tells why).
  explicit _com_ptr_t(REFCLSID clsid, IUnknown* outer = nullptr, DWORD context = CLSCTX_ALL) {
    CreateInstance(clsid, outer, context);
  }
  ~_com_ptr_t() { Release(); }

  _com_ptr_t& operator=(const _com_ptr_t& other) {
    if (this != std::addressof(other)) {
      Interface* old = p_;
      p_ = other.p_;
      if (p_ != nullptr) p_->AddRef();
      if (old != nullptr) old->Release();
    }
    return *this;
  }
  _com_ptr_t& operator=(_com_ptr_t&& other) noexcept {
    if (this != std::addressof(other)) {
      Interface* old = p_;
      p_ = other.p_;
      other.p_ = nullptr;
      if (old != nullptr) old->Release();
    }
    return *this;
  }
  _com_ptr_t& operator=(Interface* p) { return *this = _com_ptr_t(p); }
  template <class Other>
  _com_ptr_t& operator=(Other* p) {
    return *this = _com_ptr_t(p);
  }
  template <class Other>
  _com_ptr_t& operator=(const _com_ptr_t<Other>& other) {
    return *this = _com_ptr_t(other);
  }
  _com_ptr_t& operator=(std::nullptr_t) {
    Release();
    return *this;
  }

  HRESULT CreateInstance(REFCLSID clsid, IUnknown* outer = nullptr, DWORD context = CLSCTX_ALL) {
    Release();
    return CoCreateInstance(clsid, outer, context, com::uuidof<Interface>(), reinterpret_cast<void**>(&p_));
  }
  template <class Other>
  HRESULT QueryInterface(REFIID riid, Other** out) const {
    if (p_ == nullptr) return E_POINTER;
    return p_->QueryInterface(riid, reinterpret_cast<void**>(out));
  }

  Interface* operator->() const {
    if (p_ == nullptr) _com_issue_error(E_POINTER);
    return p_;
  }
  Interface& operator*() const {
    if (p_ == nullptr) _com_issue_error(E_POINTER);
    return *p_;
  }
  // For an out parameter: the interface held is released first.
  Interface** operator&() {
    Release();
    return &p_;
  }
  operator Interface*() const noexcept { return p_; }
  Interface* GetInterfacePtr() const noexcept { return p_; }

  void Attach(Interface* p, bool addRef = false) {
    Interface* old = p_;
    p_ = p;
    if (p_ != nullptr && addRef) p_->AddRef();
    if (old != nullptr) old->Release();
  }
  Interface* Detach() noexcept {
    Interface* p = p_;
    p_ = nullptr;
    return p;
  }
  void AddRef() {
    if (p_ == nullptr) _com_issue_error(E_POINTER);
    p_->AddRef();
  }
  void Release() {
    Interface* old = p_;
    p_ = nullptr;
    if (old != nullptr) old->Release();
  }

 private:
  template <class Other>
  void queryFrom(Other* p) {
    if (p == nullptr) return;
    const HRESULT hr = p->QueryInterface(com::uuidof<Interface>(), reinterpret_cast<void**>(&p_));
    if (FAILED(hr)) {
      p_ = nullptr;
      if (hr != E_NOINTERFACE) _com_issue_error(hr);
    }
  }

  Interface* p_ = nullptr;
};

typedef _com_ptr_t<IUnknown> IUnknownPtr;
typedef _com_ptr_t<IDispatch> IDispatchPtr;
typedef _com_ptr_t<IClassFactory> IClassFactoryPtr;
typedef _com_ptr_t<IErrorInfo> IErrorInfoPtr;
typedef _com_ptr_t<ICreateErrorInfo> ICreateErrorInfoPtr;
