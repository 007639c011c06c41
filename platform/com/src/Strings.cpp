// BSTR strings and the UTF-8 / UTF-16 conversions.
//
// A BSTR is one allocation: a 32-bit byte count, the 16-bit units, a zero unit. The pointer
// handed out addresses the first unit.
#include "ComServer.h"

#include "Utf8.h"

#include <cctype>
#include <cstdlib>
#include <cstring>

namespace {

constexpr size_t kPrefix = sizeof(uint32_t);

}  // namespace

BSTR SysAllocStringLen(const OLECHAR* text, UINT length) {
  const size_t bytes = static_cast<size_t>(length) * sizeof(OLECHAR);
  if (bytes > 0xFFFFFFF0u) return nullptr;
  char* block = static_cast<char*>(std::malloc(kPrefix + bytes + sizeof(OLECHAR)));
  if (block == nullptr) return nullptr;
  const uint32_t prefix = static_cast<uint32_t>(bytes);
  std::memcpy(block, &prefix, kPrefix);
  BSTR bstr = reinterpret_cast<BSTR>(block + kPrefix);
  if (text != nullptr) {
    std::memcpy(bstr, text, bytes);
  } else {
    std::memset(bstr, 0, bytes);
  }
  bstr[length] = 0;
  return bstr;
}

BSTR SysAllocString(const OLECHAR* text) {
  if (text == nullptr) return nullptr;
  UINT length = 0;
  while (text[length] != 0) ++length;
  return SysAllocStringLen(text, length);
}

void SysFreeString(BSTR bstr) {
  if (bstr != nullptr) std::free(reinterpret_cast<char*>(bstr) - kPrefix);
}

UINT SysStringLen(BSTR bstr) {
  if (bstr == nullptr) return 0;
  uint32_t bytes = 0;
  std::memcpy(&bytes, reinterpret_cast<const char*>(bstr) - kPrefix, kPrefix);
  return bytes / sizeof(OLECHAR);
}

namespace com {

std::u16string toUtf16(const std::string& utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  kavrin::appendUtf8AsUtf16(out, utf8.data(), utf8.size(), kavrin::Utf8Form::Standard,
                            kavrin::MalformedUtf8::EachByteReplaced);
  return out;
}

std::string toUtf8(const OLECHAR* text, size_t length) {
  return kavrin::utf16ToUtf8(text, length, kavrin::Utf8Form::Standard);
}

std::string toUtf8(const std::u16string& text) { return toUtf8(text.data(), text.size()); }

BSTR allocBstr(const std::string& utf8) {
  const std::u16string wide = toUtf16(utf8);
  return SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
}

std::string fromBstr(BSTR bstr) { return bstr == nullptr ? std::string() : toUtf8(bstr, SysStringLen(bstr)); }

bool sameName(const OLECHAR* a, const std::string& b) {
  if (a == nullptr) return false;
  size_t i = 0;
  for (; a[i] != 0 && i < b.size(); ++i) {
    if (a[i] > 0x7F) return false;
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return a[i] == 0 && i == b.size();
}

}  // namespace com
