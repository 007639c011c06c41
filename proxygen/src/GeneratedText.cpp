#include "GeneratedText.h"

#include "CppNames.h"
#include "TypeMapping.h"


namespace {

// The surrogate encoded at text[i] (ED A0..BF xx), or 0.
unsigned surrogateAt(const std::string& text, std::size_t i)
{
    if (i + 2 >= text.size())
        return 0;
    const unsigned char b0 = static_cast<unsigned char>(text[i]);
    const unsigned char b1 = static_cast<unsigned char>(text[i + 1]);
    const unsigned char b2 = static_cast<unsigned char>(text[i + 2]);
    if (b0 != 0xED || (b1 & 0xE0) != 0xA0 || (b2 & 0xC0) != 0x80)
        return 0;
    return 0xD000u | ((b1 & 0x3Fu) << 6) | (b2 & 0x3Fu);
}

}  // namespace

std::string indentation(std::size_t units)
{
    std::string text;
    for (std::size_t i = 0; i < units; ++i)
        text += indentUnit;
    return text;
}

std::string numberedParameters(const std::vector<std::string>& types)
{
    std::string text;
    for (std::size_t i = 0; i < types.size(); ++i) {
        if (i)
            text += ", ";
        text += types[i] + " p" + std::to_string(i);
    }
    return text;
}

void appendTry(std::string& text, const std::string& indent)
{
    text += indent;
    text += "try{\n";
}

void appendCatch(std::string& text, const std::string& indent, const std::string& context)
{
    // Both messages start with the context: its literal without the closing quote, made once.
    std::string literal = cppStringLiteral(context);
    literal.pop_back();
    appendAll(text, indent, "}catch(::jni_helpers::JVMException e){\n");
    appendAll(text, indent, indentUnit, "throw ::jni_helpers::JVMException(::jni_helpers::CSmartString(", literal,
              ":\\n\") + e.getMessage(), e);\n");
    appendAll(text, indent, "}catch(...){\n");
    appendAll(text, indent, indentUnit, "throw ::jni_helpers::JVMException(", literal, ": System Error\");\n");
    appendAll(text, indent, "}\n");
}

std::string standardUtf8(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const unsigned high = surrogateAt(text, i);
        const unsigned low = high >= 0xD800 && high <= 0xDBFF ? surrogateAt(text, i + 3) : 0;
        if (low >= 0xDC00 && low <= 0xDFFF) {
            const unsigned cp = 0x10000u + ((high - 0xD800u) << 10) + (low - 0xDC00u);
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
            i += 6;
        } else {
            out.push_back(text[i]);
            ++i;
        }
    }
    return out;
}
