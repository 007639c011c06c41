// The class bytes of a generated class as C++ initializer text.
#include "ClassBytesSink.h"

ClassBytesSink::ClassBytesSink() : m_stream(std::ios::out | std::ios::binary) { m_stream.clear(); }

ClassBytesSink::~ClassBytesSink() = default;

std::vector<unsigned char> ClassBytesSink::getBytes() const {
  const std::string bytes = m_stream.str();
  return std::vector<unsigned char>(bytes.begin(), bytes.end());
}

std::string ClassBytesSink::toString() const {
  std::string text;
  appendText(m_stream.str(), text);
  return text;
}

std::size_t ClassBytesSink::textSize(std::size_t count) {
  // "0x.." and a separator per byte, a line break per 15.
  return count == 0 ? 0 : count * 5 - 1 + (count - 1) / 15;
}

void ClassBytesSink::appendText(const std::string& bytes, std::string& text) {
  static const char kHex[] = "0123456789abcdef";
  const std::size_t start = text.size();
  text.resize(start + textSize(bytes.size()));
  char* out = &text[0] + start;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (i != 0) {
      *out++ = ',';
      if (i % 15 == 0) *out++ = '\n';
    }
    const unsigned b = static_cast<unsigned char>(bytes[i]);
    *out++ = '0';
    *out++ = 'x';
    *out++ = kHex[b >> 4];
    *out++ = kHex[b & 0x0F];
  }
}
