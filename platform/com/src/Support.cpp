// The string and variant wrappers of the compiler's COM support.
#include "ComSupport.h"

#include <cstring>

namespace {

BSTR copyOrRaise(const OLECHAR* text, UINT length) {
  BSTR copy = SysAllocStringLen(text, length);
  if (copy == nullptr) _com_issue_error(E_OUTOFMEMORY);
  return copy;
}

BSTR fromUtf8OrRaise(const std::string& utf8) {
  BSTR bstr = com::allocBstr(utf8);
  if (bstr == nullptr) _com_issue_error(E_OUTOFMEMORY);
  return bstr;
}

}  // namespace

// --- _bstr_t -------------------------------------------------------------------------------

_bstr_t::_bstr_t(const char* utf8) {
  if (utf8 != nullptr) bstr_ = fromUtf8OrRaise(utf8);
}

_bstr_t::_bstr_t(const std::string& utf8) : bstr_(fromUtf8OrRaise(utf8)) {}

_bstr_t::_bstr_t(const OLECHAR* text) {
  if (text != nullptr) {
    bstr_ = SysAllocString(text);
    if (bstr_ == nullptr) _com_issue_error(E_OUTOFMEMORY);
  }
}

_bstr_t::_bstr_t(BSTR bstr, bool copy) {
  if (copy) {
    if (bstr != nullptr) bstr_ = copyOrRaise(bstr, SysStringLen(bstr));
  } else {
    bstr_ = bstr;
  }
}

_bstr_t::_bstr_t(const _bstr_t& other) {
  if (other.bstr_ != nullptr) bstr_ = copyOrRaise(other.bstr_, other.length());
}

_bstr_t::_bstr_t(_bstr_t&& other) noexcept : bstr_(other.bstr_) { other.bstr_ = nullptr; }

_bstr_t& _bstr_t::operator=(const _bstr_t& other) {
  if (this != &other) {
    reset(other.bstr_ != nullptr ? copyOrRaise(other.bstr_, other.length()) : nullptr);
  }
  return *this;
}

_bstr_t& _bstr_t::operator=(_bstr_t&& other) noexcept {
  if (this != &other) {
    reset(other.bstr_);
    other.bstr_ = nullptr;
  }
  return *this;
}

_bstr_t::~_bstr_t() { SysFreeString(bstr_); }

void _bstr_t::reset(BSTR bstr) {
  SysFreeString(bstr_);
  bstr_ = bstr;
  narrowValid_ = false;
  narrow_.clear();
}

_bstr_t::operator const char*() const {
  if (bstr_ == nullptr) return nullptr;
  if (!narrowValid_) {
    narrow_ = utf8();
    narrowValid_ = true;
  }
  return narrow_.c_str();
}

std::string _bstr_t::utf8() const { return com::fromBstr(bstr_); }

BSTR _bstr_t::copy(bool copy) const {
  if (!copy || bstr_ == nullptr) return bstr_;
  return copyOrRaise(bstr_, length());
}

BSTR* _bstr_t::GetAddress() {
  reset(nullptr);
  return &bstr_;
}

void _bstr_t::Attach(BSTR bstr) { reset(bstr); }

BSTR _bstr_t::Detach() noexcept {
  BSTR bstr = bstr_;
  bstr_ = nullptr;
  narrowValid_ = false;
  narrow_.clear();
  return bstr;
}

bool _bstr_t::operator==(const _bstr_t& other) const {
  const UINT n = length();
  return n == other.length() && (n == 0 || std::memcmp(bstr_, other.bstr_, n * sizeof(OLECHAR)) == 0);
}

bool _bstr_t::operator<(const _bstr_t& other) const {
  const UINT a = length();
  const UINT b = other.length();
  for (UINT i = 0; i < a && i < b; ++i) {
    if (bstr_[i] != other.bstr_[i]) return bstr_[i] < other.bstr_[i];
  }
  return a < b;
}

// --- _variant_t ----------------------------------------------------------------------------

_variant_t::_variant_t() noexcept { VariantInit(this); }

_variant_t::_variant_t(const VARIANT& other) {
  VariantInit(this);
  const HRESULT hr = VariantCopy(this, &other);
  if (FAILED(hr)) _com_issue_error(hr);
}

_variant_t::_variant_t(const _variant_t& other) : _variant_t(static_cast<const VARIANT&>(other)) {}

_variant_t::_variant_t(_variant_t&& other) noexcept : VARIANT(other) { VariantInit(&other); }

_variant_t::_variant_t(bool value) {
  VariantInit(this);
  vt = VT_BOOL;
  boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
}

_variant_t::_variant_t(SHORT value) {
  VariantInit(this);
  vt = VT_I2;
  iVal = value;
}

_variant_t::_variant_t(LONG value, VARTYPE type) {
  VariantInit(this);
  if (type == VT_BOOL) {
    vt = VT_BOOL;
    boolVal = value != 0 ? VARIANT_TRUE : VARIANT_FALSE;
  } else if (type == VT_ERROR) {
    vt = VT_ERROR;
    scode = value;
  } else if (type == VT_I4) {
    vt = VT_I4;
    lVal = value;
  } else {
    _com_issue_error(E_INVALIDARG);
  }
}

_variant_t::_variant_t(const char* utf8) {
  VariantInit(this);
  if (utf8 == nullptr) _com_issue_error(E_POINTER);
  bstrVal = fromUtf8OrRaise(utf8);
  vt = VT_BSTR;
}

_variant_t::_variant_t(const std::string& utf8) {
  VariantInit(this);
  bstrVal = fromUtf8OrRaise(utf8);
  vt = VT_BSTR;
}

_variant_t::_variant_t(const OLECHAR* text) {
  VariantInit(this);
  if (text == nullptr) _com_issue_error(E_POINTER);
  bstrVal = SysAllocString(text);
  if (bstrVal == nullptr) _com_issue_error(E_OUTOFMEMORY);
  vt = VT_BSTR;
}

_variant_t::_variant_t(const _bstr_t& text) {
  VariantInit(this);
  bstrVal = text.copy();
  vt = VT_BSTR;
}

_variant_t::_variant_t(IDispatch* dispatch, bool addRef) {
  VariantInit(this);
  vt = VT_DISPATCH;
  pdispVal = dispatch;
  if (dispatch != nullptr && addRef) dispatch->AddRef();
}

_variant_t& _variant_t::operator=(const _variant_t& other) {
  const HRESULT hr = VariantCopy(this, &other);
  if (FAILED(hr)) _com_issue_error(hr);
  return *this;
}

_variant_t& _variant_t::operator=(_variant_t&& other) noexcept {
  if (this != &other) {
    VariantClear(this);
    static_cast<VARIANT&>(*this) = other;
    VariantInit(&other);
  }
  return *this;
}

_variant_t::~_variant_t() { VariantClear(this); }

namespace {
_variant_t converted(const VARIANT& v, VARTYPE vt) {
  _variant_t out;
  const HRESULT hr = VariantChangeType(&out, &v, 0, vt);
  if (FAILED(hr)) _com_issue_error(hr);
  return out;
}
}  // namespace

_variant_t::operator bool() const {
  if (vt == VT_BOOL) return boolVal != 0;
  return converted(*this, VT_BOOL).boolVal != 0;
}

_variant_t::operator SHORT() const {
  if (vt == VT_I2) return iVal;
  return converted(*this, VT_I2).iVal;
}

_variant_t::operator LONG() const {
  if (vt == VT_I4) return lVal;
  return converted(*this, VT_I4).lVal;
}

_variant_t::operator _bstr_t() const {
  if (vt == VT_BSTR) return _bstr_t(bstrVal, true);
  _variant_t text = converted(*this, VT_BSTR);
  return _bstr_t(text.bstrVal, true);
}

void _variant_t::Clear() {
  const HRESULT hr = VariantClear(this);
  if (FAILED(hr)) _com_issue_error(hr);
}

void _variant_t::ChangeType(VARTYPE type, const _variant_t* src) {
  const HRESULT hr = VariantChangeType(this, src != nullptr ? src : this, 0, type);
  if (FAILED(hr)) _com_issue_error(hr);
}

void _variant_t::Attach(VARIANT& v) {
  Clear();
  static_cast<VARIANT&>(*this) = v;
  VariantInit(&v);
}

VARIANT _variant_t::Detach() {
  VARIANT v = *this;
  VariantInit(this);
  return v;
}
