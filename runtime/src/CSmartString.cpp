// CSmartString: UTF-16 text with a narrow (UTF-8) copy made on demand; text conversions.
#include "RuntimeInternal.h"

#include "Utf8.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

namespace jni_helpers {

namespace detail {

std::vector<jchar> utf8ToUtf16(const char* text, std::size_t length) {
  std::vector<jchar> out;
  out.reserve(length + 1);
  kavrin::appendUtf8AsUtf16(out, text, length, kavrin::Utf8Form::Standard, kavrin::MalformedUtf8::SequenceReplaced);
  return out;
}

std::string utf16ToUtf8(const jchar* text, std::size_t length) {
  return kavrin::utf16ToUtf8(text, length, kavrin::Utf8Form::Standard);
}

std::string utf16ToModifiedUtf8(const jchar* text, std::size_t length) {
  return kavrin::utf16ToUtf8(text, length, kavrin::Utf8Form::Modified);
}

std::string jniText(const CSmartString& text) {
  const unsigned short* units = text;
  if (units == nullptr) return std::string();
  return utf16ToModifiedUtf8(units, text.length());
}

}  // namespace detail

struct CSmartString::Text {
  std::vector<jchar> units;  // the text and a terminating zero unit
  std::string narrow;
  bool narrowMade = false;

  explicit Text(std::vector<jchar>&& u) : units(std::move(u)) { units.push_back(0); }
  Text(const jchar* u, std::size_t n) : units(u, u + n) { units.push_back(0); }
  std::size_t size() const { return units.size() - 1; }
};

namespace {

std::size_t wideLength(const unsigned short* text) {
  std::size_t n = 0;
  while (text[n] != 0) ++n;
  return n;
}

std::uint32_t bstrByteCount(const unsigned short* bstr) {
  std::uint32_t bytes;
  std::memcpy(&bytes, reinterpret_cast<const char*>(bstr) - sizeof bytes, sizeof bytes);
  return bytes;
}

}  // namespace

CSmartString::CSmartString() : m_pText(nullptr) {}

CSmartString::CSmartString(const CSmartString& other)
    : m_pText(other.m_pText ? new Text(other.m_pText->units.data(), other.m_pText->size()) : nullptr) {}

CSmartString::CSmartString(const char* text)
    : m_pText(text ? new Text(detail::utf8ToUtf16(text, std::strlen(text))) : nullptr) {}

CSmartString::CSmartString(const unsigned short* text) : m_pText(text ? new Text(text, wideLength(text)) : nullptr) {}

CSmartString::CSmartString(const unsigned short* text, unsigned int length)
    : m_pText(text ? new Text(text, length) : nullptr) {}

CSmartString::CSmartString(unsigned short* bstr, bool copy) : m_pText(nullptr) {
  if (bstr == nullptr) return;
  m_pText = new Text(bstr, bstrByteCount(bstr) / sizeof(jchar));
  if (!copy) FreeBSTR(bstr);
}

CSmartString::~CSmartString() { delete m_pText; }

CSmartString& CSmartString::operator=(const CSmartString& other) {
  if (this != &other) {
    Text* text = other.m_pText ? new Text(other.m_pText->units.data(), other.m_pText->size()) : nullptr;
    delete m_pText;
    m_pText = text;
  }
  return *this;
}

CSmartString& CSmartString::operator=(const char* text) {
  Text* t = text ? new Text(detail::utf8ToUtf16(text, std::strlen(text))) : nullptr;
  delete m_pText;
  m_pText = t;
  return *this;
}

CSmartString& CSmartString::operator=(const unsigned short* text) {
  Text* t = text ? new Text(text, wideLength(text)) : nullptr;
  delete m_pText;
  m_pText = t;
  return *this;
}

void CSmartString::Assign(unsigned short* bstr) {
  Text* t = bstr ? new Text(bstr, bstrByteCount(bstr) / sizeof(jchar)) : nullptr;
  delete m_pText;
  m_pText = t;
}

CSmartString& CSmartString::operator+=(const CSmartString& other) {
  if (!other.m_pText) return *this;
  std::vector<jchar> units;
  const std::size_t own = m_pText ? m_pText->size() : 0;
  units.reserve(own + other.m_pText->size() + 1);
  if (m_pText) units.insert(units.end(), m_pText->units.begin(), m_pText->units.begin() + own);
  units.insert(units.end(), other.m_pText->units.begin(), other.m_pText->units.end() - 1);
  Text* t = new Text(std::move(units));
  delete m_pText;
  m_pText = t;
  return *this;
}

CSmartString CSmartString::operator+(const CSmartString& other) const {
  CSmartString result(*this);
  result += other;
  return result;
}

CSmartString::operator const unsigned short*() const { return m_pText ? m_pText->units.data() : nullptr; }

CSmartString::operator unsigned short*() { return m_pText ? m_pText->units.data() : nullptr; }

CSmartString::operator const char*() const {
  if (!m_pText) return nullptr;
  if (!m_pText->narrowMade) {
    m_pText->narrow = detail::utf16ToUtf8(m_pText->units.data(), m_pText->size());
    m_pText->narrowMade = true;
  }
  return m_pText->narrow.c_str();
}

CSmartString::operator char*() {
  const CSmartString& self = *this;
  return const_cast<char*>(static_cast<const char*>(self));
}

unsigned int CSmartString::length() const { return m_pText ? static_cast<unsigned int>(m_pText->size()) : 0; }

unsigned short* CSmartString::copy(bool) const {
  return m_pText ? AllocBSTR(m_pText->units.data(), static_cast<unsigned int>(m_pText->size())) : nullptr;
}

bool CSmartString::operator!() const { return m_pText == nullptr; }

int CSmartString::compare(const CSmartString& other) const {
  if (!m_pText) return other.m_pText ? -1 : 0;
  if (!other.m_pText) return 1;
  const std::size_t a = m_pText->size();
  const std::size_t b = other.m_pText->size();
  const std::size_t n = a < b ? a : b;
  for (std::size_t i = 0; i < n; ++i) {
    const int d = static_cast<int>(m_pText->units[i]) - static_cast<int>(other.m_pText->units[i]);
    if (d != 0) return d;
  }
  return a < b ? -1 : (a > b ? 1 : 0);
}

bool CSmartString::operator==(const CSmartString& other) const { return compare(other) == 0; }
bool CSmartString::operator!=(const CSmartString& other) const { return compare(other) != 0; }
bool CSmartString::operator<(const CSmartString& other) const { return compare(other) < 0; }
bool CSmartString::operator>(const CSmartString& other) const { return compare(other) > 0; }
bool CSmartString::operator<=(const CSmartString& other) const { return compare(other) <= 0; }
bool CSmartString::operator>=(const CSmartString& other) const { return compare(other) >= 0; }

unsigned short* CSmartString::AllocBSTR(const unsigned short* text, unsigned int length) {
  const std::uint32_t bytes = length * static_cast<std::uint32_t>(sizeof(jchar));
  char* block = static_cast<char*>(std::malloc(sizeof bytes + bytes + sizeof(jchar)));
  if (block == nullptr) throw std::bad_alloc();
  std::memcpy(block, &bytes, sizeof bytes);
  unsigned short* units = reinterpret_cast<unsigned short*>(block + sizeof bytes);
  if (text != nullptr && length > 0)
    std::memcpy(units, text, bytes);
  else if (length > 0)
    std::memset(units, 0, bytes);
  units[length] = 0;
  return units;
}

void CSmartString::FreeBSTR(unsigned short* bstr) {
  if (bstr != nullptr) std::free(reinterpret_cast<char*>(bstr) - sizeof(std::uint32_t));
}

}  // namespace jni_helpers
