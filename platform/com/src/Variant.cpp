// VARIANTs: initialisation, clearing, deep copies and the conversions the system relies on.
#include "Com.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <limits>

namespace {

bool knownType(VARTYPE vt) {
  switch (vt) {
    case VT_EMPTY:
    case VT_NULL:
    case VT_I2:
    case VT_I4:
    case VT_BSTR:
    case VT_DISPATCH:
    case VT_ERROR:
    case VT_BOOL:
      return true;
    default:
      return false;
  }
}

std::string lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string trim(const std::string& text) { return win32::trim(text, " \t\r\n"); }

// A number from text: an optional sign, digits, an optional fraction (rounded half away from
// zero). False when the text is not such a number.
bool parseNumber(const std::string& text, long double& value) {
  const std::string t = trim(text);
  if (t.empty()) return false;
  size_t i = 0;
  if (t[i] == '+' || t[i] == '-') ++i;
  bool digits = false;
  bool point = false;
  for (; i < t.size(); ++i) {
    if (std::isdigit(static_cast<unsigned char>(t[i]))) {
      digits = true;
    } else if (t[i] == '.' && !point) {
      point = true;
    } else {
      return false;
    }
  }
  if (!digits) return false;
  errno = 0;
  value = std::strtold(t.c_str(), nullptr);
  return errno == 0;
}

// The source value as an integer; DISP_E_TYPEMISMATCH when it has none.
HRESULT toInteger(const VARIANT& src, long double& value) {
  switch (src.vt) {
    case VT_EMPTY:
      value = 0;
      return S_OK;
    case VT_I2:
      value = src.iVal;
      return S_OK;
    case VT_I4:
      value = src.lVal;
      return S_OK;
    case VT_BOOL:
      value = src.boolVal != 0 ? -1 : 0;
      return S_OK;
    case VT_BSTR: {
      if (!parseNumber(com::fromBstr(src.bstrVal), value)) return DISP_E_TYPEMISMATCH;
      // Rounded half away from zero; values too large for that overflow every target anyway.
      if (value > -9e18L && value < 9e18L) {
        value = value < 0 ? -static_cast<long double>(static_cast<long long>(-value + 0.5L))
                          : static_cast<long double>(static_cast<long long>(value + 0.5L));
      }
      return S_OK;
    }
    default:
      return DISP_E_TYPEMISMATCH;
  }
}

HRESULT toBool(const VARIANT& src, bool& value) {
  if (src.vt == VT_BOOL) {
    value = src.boolVal != 0;
    return S_OK;
  }
  if (src.vt == VT_BSTR) {
    const std::string text = lower(trim(com::fromBstr(src.bstrVal)));
    if (text == "true" || text == "#true#") {
      value = true;
      return S_OK;
    }
    if (text == "false" || text == "#false#") {
      value = false;
      return S_OK;
    }
    long double number = 0;
    if (!parseNumber(text, number)) return DISP_E_TYPEMISMATCH;
    value = number != 0;
    return S_OK;
  }
  long double number = 0;
  const HRESULT hr = toInteger(src, number);
  value = number != 0;
  return hr;
}

HRESULT toText(const VARIANT& src, USHORT flags, std::string& text) {
  switch (src.vt) {
    case VT_EMPTY:
      text.clear();
      return S_OK;
    case VT_I2:
      text = std::to_string(src.iVal);
      return S_OK;
    case VT_I4:
      text = std::to_string(src.lVal);
      return S_OK;
    case VT_BOOL:
      if (flags & VARIANT_ALPHABOOL) {
        text = src.boolVal != 0 ? "True" : "False";
      } else {
        text = src.boolVal != 0 ? "-1" : "0";
      }
      return S_OK;
    default:
      return DISP_E_TYPEMISMATCH;
  }
}

}  // namespace

void VariantInit(VARIANT* v) {
  if (v == nullptr) return;
  v->vt = VT_EMPTY;
  v->wReserved1 = v->wReserved2 = v->wReserved3 = 0;
  v->bstrVal = nullptr;
}

HRESULT VariantClear(VARIANT* v) {
  if (v == nullptr) return E_INVALIDARG;
  if (!knownType(v->vt)) return DISP_E_BADVARTYPE;
  if (v->vt == VT_BSTR) {
    SysFreeString(v->bstrVal);
  } else if (v->vt == VT_DISPATCH && v->pdispVal != nullptr) {
    v->pdispVal->Release();
  }
  VariantInit(v);
  return S_OK;
}

HRESULT VariantCopy(VARIANT* dest, const VARIANT* src) {
  if (dest == nullptr || src == nullptr) return E_INVALIDARG;
  if (dest == src) return S_OK;
  if (!knownType(src->vt)) return DISP_E_BADVARTYPE;
  VARIANT copy = *src;
  if (src->vt == VT_BSTR && src->bstrVal != nullptr) {
    copy.bstrVal = SysAllocStringLen(src->bstrVal, SysStringLen(src->bstrVal));
    if (copy.bstrVal == nullptr) return E_OUTOFMEMORY;
  } else if (src->vt == VT_DISPATCH && src->pdispVal != nullptr) {
    src->pdispVal->AddRef();
  }
  const HRESULT hr = VariantClear(dest);
  if (FAILED(hr)) {
    VariantClear(&copy);
    return hr;
  }
  *dest = copy;
  return S_OK;
}

HRESULT VariantChangeType(VARIANT* dest, const VARIANT* src, USHORT flags, VARTYPE vt) {
  if (dest == nullptr || src == nullptr) return E_INVALIDARG;
  if (!knownType(src->vt) || !knownType(vt)) return DISP_E_BADVARTYPE;
  VARIANT result;
  VariantInit(&result);
  if (src->vt == vt) {
    const HRESULT hr = VariantCopy(&result, src);
    if (FAILED(hr)) return hr;
  } else if (src->vt == VT_NULL || vt == VT_NULL || vt == VT_ERROR || vt == VT_DISPATCH || src->vt == VT_ERROR ||
             src->vt == VT_DISPATCH) {
    return DISP_E_TYPEMISMATCH;
  } else if (vt == VT_EMPTY) {
    // Anything but null may be emptied.
  } else if (vt == VT_BOOL) {
    bool value = false;
    const HRESULT hr = toBool(*src, value);
    if (FAILED(hr)) return hr;
    result.vt = VT_BOOL;
    result.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
  } else if (vt == VT_I2 || vt == VT_I4) {
    long double value = 0;
    const HRESULT hr = toInteger(*src, value);
    if (FAILED(hr)) return hr;
    if (vt == VT_I2) {
      if (value < std::numeric_limits<SHORT>::min() || value > std::numeric_limits<SHORT>::max()) {
        return DISP_E_OVERFLOW;
      }
      result.vt = VT_I2;
      result.iVal = static_cast<SHORT>(value);
    } else {
      if (value < std::numeric_limits<LONG>::min() || value > std::numeric_limits<LONG>::max()) {
        return DISP_E_OVERFLOW;
      }
      result.vt = VT_I4;
      result.lVal = static_cast<LONG>(value);
    }
  } else {  // VT_BSTR
    std::string text;
    const HRESULT hr = toText(*src, flags, text);
    if (FAILED(hr)) return hr;
    result.vt = VT_BSTR;
    result.bstrVal = com::allocBstr(text);
    if (result.bstrVal == nullptr) return E_OUTOFMEMORY;
  }
  const HRESULT hr = VariantClear(dest);
  if (FAILED(hr)) {
    VariantClear(&result);
    return hr;
  }
  *dest = result;
  return S_OK;
}
