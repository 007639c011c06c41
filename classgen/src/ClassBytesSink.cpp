// The class bytes of a generated class as C++ initializer text.
#include "ClassBytesSink.h"

#include <cstdio>

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
    const std::string bytes = m_stream.str();
    std::string text;
    // "0x.." and a separator per byte, a line break per 15.
    text.reserve(bytes.size() * 5 + bytes.size() / 15);
    char item[8];
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i != 0)
            text += i % 15 != 0 ? "," : ",\n";
        std::snprintf(item, sizeof item, "0x%02x", static_cast<unsigned>(static_cast<unsigned char>(bytes[i])));
        text += item;
    }
    return text;
}
