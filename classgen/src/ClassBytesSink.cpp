// The class bytes of a generated class as C++ initializer text.
#include "ClassBytesSink.h"


ClassBytesSink::ClassBytesSink() : m_stream(std::ios::out | std::ios::binary)
{
    m_stream.clear();
}

ClassBytesSink::~ClassBytesSink() = default;

std::vector<unsigned char> ClassBytesSink::getBytes() const
{
    const std::string bytes = m_stream.str();
    return std::vector<unsigned char>(bytes.begin(), bytes.end());
}

std::string ClassBytesSink::toString() const
{
    static const char kHex[] = "0123456789abcdef";
    const std::string bytes = m_stream.str();
    // "0x.." and a separator per byte, a line break per 15.
    std::string text(bytes.empty() ? 0 : bytes.size() * 5 - 1 + (bytes.size() - 1) / 15, '\0');
    char* out = &text[0];
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i != 0) {
            *out++ = ',';
            if (i % 15 == 0)
                *out++ = '\n';
        }
        const unsigned b = static_cast<unsigned char>(bytes[i]);
        *out++ = '0';
        *out++ = 'x';
        *out++ = kHex[b >> 4];
        *out++ = kHex[b & 0x0F];
    }
    return text;
}
