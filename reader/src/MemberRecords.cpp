#include "MemberRecords.h"

#include "StringHelpers.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace {
// Compares a + b with c + d without building the concatenations.
bool keyLess(const std::string& a, const std::string& b, const std::string& c, const std::string& d) {
  const std::size_t left = a.size() + b.size();
  const std::size_t right = c.size() + d.size();
  const std::size_t n = left < right ? left : right;
  for (std::size_t i = 0; i < n; ++i) {
    const unsigned char x = static_cast<unsigned char>(i < a.size() ? a[i] : b[i - a.size()]);
    const unsigned char y = static_cast<unsigned char>(i < c.size() ? c[i] : d[i - c.size()]);
    if (x != y) return x < y;
  }
  return left < right;
}

std::string formatFloating(double value, int precision) {
  char buf[64];
  const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, precision);
  return std::string(buf, res.ptr);
}
}  // namespace

bool MethodDescriptor::operator<(const MethodDescriptor& other) const {
  return keyLess(m_strName, m_strSignature, other.m_strName, other.m_strSignature);
}

bool FieldDescriptor::operator<(const FieldDescriptor& other) const {
  return keyLess(m_strName, m_strType, other.m_strName, other.m_strType);
}

ConstValue::ConstValue(std::string value) : m_strValue(std::move(value)), m_nKind(kString) {}

ConstValue::ConstValue(std::u16string value) : m_wstrValue(std::move(value)), m_nKind(kWString) {}

ConstValue::ConstValue(int32_t value) : m_nNumber(static_cast<uint32_t>(value)), m_nKind(kInt) {}

ConstValue::ConstValue(float value) : m_nKind(kFloat) {
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  m_nNumber = bits;
}

ConstValue::ConstValue(int64_t value) : m_nNumber(static_cast<uint64_t>(value)), m_nKind(kLong) {}

ConstValue::ConstValue(double value) : m_nKind(kDouble) { std::memcpy(&m_nNumber, &value, sizeof m_nNumber); }

ConstValue::ConstValue(const ConstValue& other)
    : m_strValue(other.m_strValue),
      m_wstrValue(other.m_wstrValue),
      m_nNumber(other.m_nNumber),
      m_nKind(other.m_nKind) {}

ConstValue& ConstValue::operator=(const ConstValue& other) {
  if (this != &other) {
    m_strValue = other.m_strValue;
    m_wstrValue = other.m_wstrValue;
    m_nNumber = other.m_nNumber;
    assignValuePart(other.m_oNormalized);
    m_nKind = other.m_nKind;
  }
  return *this;
}

int32_t ConstValue::getInt() const { return static_cast<int32_t>(static_cast<uint32_t>(m_nNumber)); }

float ConstValue::getFloat() const {
  const uint32_t bits = static_cast<uint32_t>(m_nNumber);
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

int64_t ConstValue::getLong() const { return static_cast<int64_t>(m_nNumber); }

double ConstValue::getDouble() const {
  double value;
  std::memcpy(&value, &m_nNumber, sizeof value);
  return value;
}

std::string ConstValue::toLiteral() const {
  switch (m_nKind) {
    case kString:
      return m_strValue;
    case kWString:
      return narrowText(m_wstrValue);
    case kInt: {
      char buf[16];
      const auto res = std::to_chars(buf, buf + sizeof buf, getInt());
      return std::string(buf, res.ptr);
    }
    case kFloat: {
      const float f = getFloat();
      if (!std::isfinite(f)) return std::string();
      return formatFloating(f, 9);
    }
    case kLong: {
      const int64_t v = getLong();
      // -9223372036854775808l would be the negation of a literal too large for a long.
      if (v == std::numeric_limits<int64_t>::min()) return "(-9223372036854775807l-1)";
      char buf[32];
      const auto res = std::to_chars(buf, buf + sizeof buf, v);
      return std::string(buf, res.ptr) + "l";
    }
    case kDouble: {
      const double d = getDouble();
      if (!std::isfinite(d)) return std::string();
      return formatFloating(d, 17);
    }
    default:
      return std::string();
  }
}

const ConstValue::ValuePart& ConstValue::normalize() {
  switch (m_nKind) {
    case kString:
      m_oNormalized.text = m_strValue;
      break;
    case kWString:
      m_oNormalized.wtext = m_wstrValue;
      break;
    case kInt:
      m_oNormalized.number = m_nNumber & 0xFFFFFFFFu;
      break;
    case kLong:
      m_oNormalized.number = m_nNumber;
      break;
    case kFloat:
      if (std::isfinite(getFloat())) m_oNormalized.number = m_nNumber & 0xFFFFFFFFu;
      break;
    case kDouble:
      if (std::isfinite(getDouble())) m_oNormalized.number = m_nNumber;
      break;
    default:
      break;
  }
  return m_oNormalized;
}
