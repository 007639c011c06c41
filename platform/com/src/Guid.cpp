// GUIDs in their registry text form "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
#include "Com.h"

#include <cstdio>

namespace com {

std::string guidToString(REFGUID g) {
  char text[39];
  std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", static_cast<unsigned>(g.Data1),
                static_cast<unsigned>(g.Data2), static_cast<unsigned>(g.Data3), g.Data4[0], g.Data4[1], g.Data4[2],
                g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
  return text;
}

bool guidFromString(const std::string& text, GUID* g) {
  if (g == nullptr || text.size() != 38 || text.front() != '{' || text.back() != '}') {
    return false;
  }
  const std::string inner = text.substr(1, 36);
  for (size_t i = 0; i < inner.size(); ++i) {
    const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
    if (dash ? inner[i] != '-' : detail::hexDigit(inner[i]) < 0) return false;
  }
  *g = guid(inner.c_str());
  return true;
}

}  // namespace com

int StringFromGUID2(REFGUID guid, LPOLESTR text, int cchMax) {
  const std::string form = com::guidToString(guid);
  if (text == nullptr || cchMax < static_cast<int>(form.size()) + 1) return 0;
  for (size_t i = 0; i < form.size(); ++i) text[i] = static_cast<OLECHAR>(form[i]);
  text[form.size()] = 0;
  return static_cast<int>(form.size()) + 1;
}

HRESULT CLSIDFromString(LPCOLESTR text, CLSID* clsid) {
  if (text == nullptr || clsid == nullptr) return E_INVALIDARG;
  std::string narrow;
  for (; *text != 0; ++text) {
    if (*text > 0x7F || narrow.size() > 38) return CO_E_CLASSSTRING;
    narrow += static_cast<char>(*text);
  }
  return com::guidFromString(narrow, clsid) ? NOERROR : CO_E_CLASSSTRING;
}
