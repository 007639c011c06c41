#include "TypeMapping.h"

#include "CppNames.h"
#include "GeneratedText.h"
#include "JavaTypes.h"
#include "Utf8.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <unordered_map>

const std::string indentUnit = "    ";
const std::string proxySuffix = "JNIProxy";
const std::string implSuffix = "JNIImpl";
const std::string delegatorSuffix = "JNIDelegator";
const std::string nativeSuffix = "_Native";
const std::string nativeMethodPrefix = "native0";
const std::string implClassPrefix = "JNIImplementationOf";
const std::string delegatorClassPrefix = "Delegator";

std::map<std::string, std::string>* nameSubstitutions = nullptr;

namespace {

bool isPrimitiveLetter(char c) { return javaPrimitive(c) != nullptr; }

// The JNI array type of a primitive element letter (not V), or "" for any other letter.
const char* primitiveArrayType(char c) {
  const JavaType* primitive = javaPrimitive(c);
  return primitive ? primitive->jniArrayType : "";
}

std::size_t leadingBrackets(const std::string& d) {
  std::size_t n = 0;
  while (n < d.size() && d[n] == '[') ++n;
  return n;
}

// The parameters of a method descriptor that starts with '('; false when it does not.
bool scanParameters(const std::string& d, std::vector<std::string>& params) {
  params.clear();
  DescriptorCursor cursor(d);
  while (cursor.hasParameter()) params.emplace_back(cursor.nextParameter().text);
  return cursor.isMethod();
}

// The text after the last ')' (the whole descriptor when it has none); lastParen is its position
// or npos.
std::string returnPart(const std::string& d, std::size_t& lastParen) {
  lastParen = d.rfind(')');
  return lastParen == std::string::npos ? d : d.substr(lastParen + 1);
}

}  // namespace

// --- Text tools -------------------------------------------------------------------------------

namespace {

// Calls part(begin, end) for every maximal run of characters of text that holds none of the
// delimiters, in order.
template <typename Part>
void forEachPart(const std::string& text, const std::string& delimiters, Part part) {
  std::size_t begin = 0;
  while (begin < text.size()) {
    begin = text.find_first_not_of(delimiters, begin);
    if (begin == std::string::npos) break;
    std::size_t end = text.find_first_of(delimiters, begin);
    if (end == std::string::npos) end = text.size();
    part(begin, end);
    begin = end;
  }
}

}  // namespace

void splitString(std::vector<std::string>* out, const std::string& text, const std::string& delimiters) {
  if (!out) return;
  out->clear();
  forEachPart(text, delimiters,
              [&](std::size_t begin, std::size_t end) { out->push_back(text.substr(begin, end - begin)); });
}

bool containsChar(const std::string& text, char c) { return text.find(c) != std::string::npos; }

std::string replaceDelimiters(const std::string& text, const std::string& delimiters, const std::string& separator) {
  std::string out;
  out.reserve(text.size());
  forEachPart(text, delimiters, [&](std::size_t begin, std::size_t end) {
    if (!out.empty())  // parts are never empty
      out += separator;
    out.append(text, begin, end - begin);
  });
  return out;
}

// --- Names ------------------------------------------------------------------------------------

std::string substituteName(const std::string& name) {
  if (nameSubstitutions) {
    auto it = nameSubstitutions->find(name);
    if (it != nameSubstitutions->end()) return it->second;
  }
  return cppIdentifier(name);
}

std::string substituteQualifiedName(const std::string& name) {
  std::vector<std::string> parts;
  splitString(&parts, name, ".;");
  if (parts.empty()) return name;
  std::string out;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i) out += ".";
    out += substituteName(parts[i]);
  }
  if (containsChar(name, ';')) out += ";";
  return out;
}

std::string simpleCppName(const std::string& dottedName) {
  const std::size_t dot = dottedName.rfind('.');
  return substituteName(dot == std::string::npos ? dottedName : dottedName.substr(dot + 1));
}

std::string namespaceName(const std::string& part) {
  std::string name = substituteName(part);
  // Inside a namespace std of the generated ones, std:: would name it, not the standard library.
  if (name == "std") name += '_';
  return name;
}

std::string cppQualifiedName(const std::string& dottedName) {
  std::string out;
  std::string part;
  forEachPart(dottedName, ".", [&](std::size_t begin, std::size_t end) {
    if (!part.empty()) out += namespaceName(part) + "::";
    part = dottedName.substr(begin, end - begin);
  });
  return part.empty() ? out : out + substituteName(part);
}

// --- Descriptor tools -------------------------------------------------------------------------

int arrayDimensions(const std::string& descriptor) { return static_cast<int>(leadingBrackets(descriptor)); }

bool isPrimitiveElement(const std::string& descriptor) {
  const std::size_t n = leadingBrackets(descriptor);
  return n < descriptor.size() && isPrimitiveLetter(descriptor[n]);
}

std::vector<char> objectParamFlags(const std::string& methodDescriptor) {
  std::vector<std::string> params;
  std::vector<char> flags;
  scanParameters(methodDescriptor, params);
  for (const std::string& p : params) flags.push_back(!p.empty() && (p[0] == 'L' || p[0] == '[') ? 1 : 0);
  return flags;
}

std::string javaTypeName(const std::string& descriptor) {
  const std::size_t dims = leadingBrackets(descriptor);
  const std::string element = descriptor.substr(dims);
  std::string text;
  const JavaType* primitive = element.empty() ? nullptr : javaPrimitive(element[0]);
  if (primitive) {
    text = primitive->javaName;
  } else if (!element.empty() && element[0] == 'L' && element.back() == ';') {
    text = replaceChar(element.substr(1, element.size() - 2), '/', '.');
  } else {
    text = element;
  }
  for (std::size_t i = 0; i < dims; ++i) text += "[]";
  return text;
}

std::string jniTypeName(const std::string& descriptor) {
  if (descriptor.empty()) return kJavaReference.jniType;
  const char c = descriptor[0];
  if (c == '[') {
    const char* array = descriptor.size() > 1 ? primitiveArrayType(descriptor[1]) : "";
    return *array ? array : kJavaReference.jniArrayType;
  }
  const JavaType* primitive = javaPrimitive(c);
  return primitive ? primitive->jniType : kJavaReference.jniType;
}

namespace {

// A C++ type made from a descriptor, with the name that it records in referencedClasses.
struct MappedType {
  MappedType(std::string text) : text(std::move(text)) {}
  MappedType(std::string text, bool records, std::string referenced)
      : text(std::move(text)), records(records), referenced(std::move(referenced)) {}

  std::string text;
  bool records = false;
  std::string referenced;
};

MappedType mapCppType(const std::string& descriptor, bool plain) {
  if (descriptor.empty()) return {descriptor};
  const char c = descriptor[0];
  if (c == '[') {
    const std::size_t dims = leadingBrackets(descriptor);
    if (plain && dims >= 2) return {"jobjectArray"};
    const char* array = dims < descriptor.size() ? primitiveArrayType(descriptor[dims]) : "";
    return {*array ? array : kJavaReference.jniArrayType};
  }
  if (const JavaType* primitive = javaPrimitive(c)) return {primitive->jniType};
  if (c == 'L') {
    if (plain || descriptor.back() != ';' || descriptor.size() < 2) return {"jobject"};
    const std::string dotted = replaceChar(descriptor.substr(1, descriptor.size() - 2), '/', '.');
    if (dotted == "java.lang.String") return {"jstring"};
    return {"CPP_Java_Bridge::" + cppQualifiedName(dotted), true, replaceChar(dotted, '$', '_')};
  }
  return {descriptor};
}

MappedType mapHelperType(const std::string& descriptor, bool plain, bool stringHelper) {
  const std::string text = replaceChar(descriptor, '/', '.');
  if (!text.empty() && text[0] == '[') {
    const std::size_t dims = leadingBrackets(text);
    const std::string element = text.substr(dims);
    std::string base;
    const JavaType* primitive = element.empty() ? nullptr : javaPrimitive(element[0]);
    if (primitive && *primitive->helperArray)
      base = primitive->helperArray;
    else if (element.size() >= 2 && element[0] == 'L' && element.back() == ';')
      base = element.substr(1, element.size() - 2) + "Array";
    else
      base = element;
    const std::string name = base + std::to_string(dims) + "D";
    return {"CPP_Java_Bridge::" + cppQualifiedName(name), !plain, plain ? std::string() : replaceChar(name, '$', '_')};
  }
  MappedType result = mapCppType(text, plain);
  if (result.text == "jstring" && (stringHelper || !plain)) result.text = "::jni_helpers::JStringHelper";
  return result;
}

// The same descriptors and names come back for every member that uses them. Without name
// substitutions what is made of them depends on the text alone, so each thread keeps what it made
// (and forgets it all when it has kept many).
bool withoutSubstitutions() { return !nameSubstitutions || nameSubstitutions->empty(); }

template <typename Value, typename Make>
const Value& remembered(std::unordered_map<std::string, Value>& memory, const std::string& key, Make make) {
  auto it = memory.find(key);
  if (it != memory.end()) return it->second;
  if (memory.size() >= 20000) memory.clear();
  return memory.emplace(key, make()).first->second;
}

// The type's text; its name goes into referencedClasses every time, as the sets may have been
// emptied since.
std::string recorded(const MappedType& type) {
  if (type.records) referencedClasses.insert(type.referenced);
  return type.text;
}

}  // namespace

std::string cppTypeName(const std::string& descriptor, bool plain) {
  if (!withoutSubstitutions()) return recorded(mapCppType(descriptor, plain));
  thread_local std::unordered_map<std::string, MappedType> memory;
  const std::string key = (plain ? "p" : "-") + descriptor;
  return recorded(remembered(memory, key, [&] { return mapCppType(descriptor, plain); }));
}

std::string helperType(const std::string& descriptor, bool plain, bool stringHelper) {
  if (!withoutSubstitutions()) return recorded(mapHelperType(descriptor, plain, stringHelper));
  thread_local std::unordered_map<std::string, MappedType> memory;
  const std::string key = std::string(plain ? "p" : "-") + (stringHelper ? "s" : "-") + descriptor;
  return recorded(remembered(memory, key, [&] { return mapHelperType(descriptor, plain, stringHelper); }));
}

// --- Return-type helpers ----------------------------------------------------------------------

std::string jmethodType(const std::string& methodDescriptor) {
  std::size_t paren;
  const std::string ret = returnPart(methodDescriptor, paren);
  if (methodDescriptor.empty() || paren == std::string::npos || paren == 0)
    return "ERROR:jmethodType(" + methodDescriptor + ")";
  return javaTypeName(ret);
}

std::string jniMethodType(const std::string& methodDescriptor) {
  std::size_t paren;
  const std::string ret = returnPart(methodDescriptor, paren);
  if (methodDescriptor.empty() || paren == 0) return "ERROR::jniMethodType(" + methodDescriptor + ")";
  return jniTypeName(ret);
}

std::string methodHelperType(const std::string& methodDescriptor, bool stringHelper) {
  std::size_t paren;
  const std::string ret = returnPart(methodDescriptor, paren);
  if (methodDescriptor.empty() || (paren == 0 && !stringHelper))
    return "ERROR::methodHelperType(" + methodDescriptor + ")";
  return helperType(ret, false, stringHelper);
}

// --- Per-parameter helpers --------------------------------------------------------------------

namespace {

// The parameter types of a method descriptor, each as `map` gives it for its descriptor; for a
// malformed descriptor the one text "ERROR:" + errorName + "(descriptor)".
template <class Map>
std::vector<std::string> mapParameters(const std::string& methodDescriptor, const char* errorName, Map map) {
  std::vector<std::string> params;
  if (!scanParameters(methodDescriptor, params))
    return {std::string("ERROR:") + errorName + "(" + methodDescriptor + ")"};
  for (std::string& p : params) p = map(p);
  return params;
}

// A type that maps to no text is passed as a plain object reference.
std::string orJobject(std::string type) { return type.empty() ? "jobject" : type; }

}  // namespace

std::vector<std::string> jmethodParams(const std::string& methodDescriptor) {
  return mapParameters(methodDescriptor, "jmethodParams", [](const std::string& p) { return javaTypeName(p); });
}

// Its error text names methodHelperParams, as it always has.
std::vector<std::string> jniMethodParams(const std::string& methodDescriptor) {
  return mapParameters(methodDescriptor, "methodHelperParams",
                       [](const std::string& p) { return orJobject(jniTypeName(p)); });
}

std::vector<std::string> methodHelperParams(const std::string& methodDescriptor) {
  return mapParameters(methodDescriptor, "methodHelperParams",
                       [](const std::string& p) { return orJobject(helperType(p, false, false)); });
}

std::vector<std::string> jvalueMembers(const std::string& methodDescriptor) {
  return mapParameters(methodDescriptor, "methodHelperParams", [](const std::string& p) {
    if (p.empty() || p[0] == 'L' || p[0] == '[') return std::string("l");
    return std::string(1, static_cast<char>(p[0] >= 'A' && p[0] <= 'Z' ? p[0] - 'A' + 'a' : p[0]));
  });
}

// --- Call words -------------------------------------------------------------------------------

std::string fieldCallType(const std::string& fieldDescriptor) {
  if (fieldDescriptor.empty()) return "ERROR:fieldCallType(" + fieldDescriptor + ")";
  // No field is void.
  const JavaType* primitive = fieldDescriptor.size() == 1 ? javaPrimitive(fieldDescriptor[0]) : nullptr;
  return primitive && primitive->letter != 'V' ? primitive->callWord : kJavaReference.callWord;
}

std::string methodCallType(const std::string& methodDescriptor) {
  std::size_t paren;
  const std::string ret = returnPart(methodDescriptor, paren);
  if (methodDescriptor.empty() || paren == std::string::npos) return "ERROR:methodCallType(" + methodDescriptor + ")";
  const JavaType* primitive = ret.size() == 1 ? javaPrimitive(ret[0]) : nullptr;
  return primitive ? primitive->callWord : kJavaReference.callWord;
}

std::string defaultReturnStatement(const std::string& methodDescriptor) {
  const std::size_t paren = methodDescriptor.find(')');
  const std::string ret = paren == std::string::npos ? methodDescriptor : methodDescriptor.substr(paren + 1);
  if (ret.size() > 1) return kJavaReference.defaultReturn;
  const JavaType* primitive = ret.size() == 1 ? javaPrimitive(ret[0]) : nullptr;
  return primitive ? primitive->defaultReturn : "";
}

std::string genNativeCallArgs(const std::string& methodDescriptor, int first) {
  const std::vector<std::string> types = methodHelperParams(methodDescriptor);
  const std::vector<char> flags = objectParamFlags(methodDescriptor);
  const std::size_t count = std::min(types.size(), flags.size());
  std::string out;
  bool any = false;
  for (std::size_t i = first < 0 ? 0 : static_cast<std::size_t>(first); i < count; ++i) {
    if (any) out += ", ";
    any = true;
    if (flags[i])
      out += types[i] + "(JObject_t(p" + std::to_string(i) + "))";
    else
      out += "p" + std::to_string(i);
  }
  return out;
}

void genTry(const std::string& indent, std::ostream& out) {
  std::string text;
  appendTry(text, indent);
  out << text;
}

void genCatch(const std::string& indent, const std::string& context, std::ostream& out) {
  std::string text;
  appendCatch(text, indent, context);
  out << text;
}

// --- JNI export names -------------------------------------------------------------------------

std::string jniUnicodeEscape(char16_t unit) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "_0%04x", static_cast<unsigned>(unit));
  return buf;
}

std::string jniUnicodeEscape(char c) { return jniUnicodeEscape(static_cast<char16_t>(static_cast<unsigned char>(c))); }

namespace {

// The UTF-16 units of text in UTF-8 or in the modified UTF-8 of class files (where U+0000 is
// C0 80 and a supplementary character is two encoded surrogates). A byte that starts no valid
// sequence stands for itself.
std::u16string utf16Units(const std::string& text) {
  std::u16string out;
  kavrin::appendUtf8AsUtf16(out, text.data(), text.size(), kavrin::Utf8Form::BitPattern,
                            kavrin::MalformedUtf8::ByteKept);
  return out;
}

}  // namespace

std::string jniMangle(std::string text) {
  std::string out;
  out.reserve(text.size());
  for (char16_t u : utf16Units(text)) {
    if ((u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9'))
      out.push_back(static_cast<char>(u));
    else if (u == '_')
      out += "_1";
    else if (u == '.' || u == '/')
      out += "_";
    else if (u == ';')
      out += "_2";
    else if (u == '[')
      out += "_3";
    else
      out += jniUnicodeEscape(u);
  }
  return out;
}

std::string jniFunctionName(const std::string& methodName, const std::string& descriptor,
                            const std::string& dottedClassName, bool overloaded) {
  std::string name = "Java_" + jniMangle(dottedClassName) + "_" + jniMangle(methodName);
  if (overloaded) {
    std::string args = descriptor.empty() ? descriptor : descriptor.substr(1);
    const std::size_t paren = args.rfind(')');
    if (paren != std::string::npos) args.erase(paren);
    name += "__" + jniMangle(replaceChar(args, '/', '.'));
  }
  return name;
}
