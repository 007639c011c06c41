#include "GeneratedText.h"

#include "CppNames.h"
#include "JavaTypes.h"
#include "TypeMapping.h"
#include "Utf8.h"

#include <algorithm>

std::string indentation(std::size_t units) {
  std::string text;
  for (std::size_t i = 0; i < units; ++i) text += indentUnit;
  return text;
}

const char* javaAccessWord(uint16_t flags) {
  if (flags & kAccPublic) return "public ";
  if (flags & kAccProtected) return "protected ";
  if (flags & kAccPrivate) return "private ";
  return "";
}

std::string staticFinalWords(uint16_t flags) {
  std::string words;
  if (flags & kAccStatic) words += "static ";
  if (flags & kAccFinal) words += "final ";
  return words;
}

std::string numberedParameters(const std::vector<std::string>& types) {
  std::string text;
  for (std::size_t i = 0; i < types.size(); ++i) {
    if (i) text += ", ";
    text += types[i] + " p" + std::to_string(i);
  }
  return text;
}

void writeClassOpening(std::ostream& out, const std::string& indent, const std::string& declaration) {
  out << "#ifdef __JNIHDLL\n";
  out << indent << "class __declspec(dllexport) " << declaration << "\n";
  out << "#elif __USEDLL\n";
  out << indent << "class __declspec(dllimport) " << declaration << "\n";
  out << "#else\n";
  out << indent << "class " << declaration << "\n";
  out << "#endif\n";
}

void appendTry(std::string& text, const std::string& indent) {
  text += indent;
  text += "try{\n";
}

void appendCatch(std::string& text, const std::string& indent, const std::string& context) {
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

std::string standardUtf8(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    // An encoded surrogate starts with ED, a byte that no other character holds but first:
    // what comes before the next one stays as it is.
    const std::size_t next = std::min(text.find('\xED', i), text.size());
    out.append(text, i, next - i);
    i = next;
    if (i == text.size()) break;
    const kavrin::Utf8Character c = kavrin::decodeUtf8(text, i, kavrin::Utf8Form::Modified);
    const std::size_t length = c.valid ? c.length : 1;
    if (length == 6)
      kavrin::appendUtf8(out, c.code);
    else
      out.append(text, i, length);
    i += length;
  }
  return out;
}
