// Class files that the tests make or read: a type that declares only its super types and a few
// methods; the class file a generated source carries.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace classgen_test {

// The bytes of a class file (version 52.0) that declares a class or an interface `name` with its
// super class and interfaces and, for each name of `methods`, a method name()V: public abstract
// in an interface, public native in a class (neither needs code).
inline std::vector<unsigned char> typeBytes(const std::string& name, const std::string& superName,
                                            const std::vector<std::string>& interfaces, bool isInterface,
                                            const std::vector<std::string>& methods = {}) {
  std::vector<unsigned char> b;
  auto u1 = [&b](unsigned v) { b.push_back(static_cast<unsigned char>(v)); };
  auto u2 = [&u1](unsigned v) {
    u1(v >> 8);
    u1(v & 0xff);
  };
  auto utf8 = [&](const std::string& text) {
    u1(1);
    u2(static_cast<unsigned>(text.size()));
    b.insert(b.end(), text.begin(), text.end());
  };
  std::vector<std::string> types = {name, superName};
  types.insert(types.end(), interfaces.begin(), interfaces.end());
  u2(0xcafe);
  u2(0xbabe);
  u2(0);
  u2(52);
  // Pool: per type its name and a Class entry of it, then "()V", then the method names.
  u2(static_cast<unsigned>(2 * types.size() + 1 + methods.size() + 1));
  for (std::size_t i = 0; i < types.size(); ++i) {
    utf8(types[i]);
    u1(7);
    u2(static_cast<unsigned>(2 * i + 1));
  }
  const unsigned voidDescriptor = static_cast<unsigned>(2 * types.size() + 1);
  utf8("()V");
  for (const std::string& method : methods) utf8(method);
  u2(isInterface ? 0x0601 : 0x0021);
  u2(2);
  u2(4);
  u2(static_cast<unsigned>(interfaces.size()));
  for (std::size_t i = 0; i < interfaces.size(); ++i) u2(static_cast<unsigned>(2 * (i + 2) + 2));
  u2(0);  // fields
  u2(static_cast<unsigned>(methods.size()));
  for (std::size_t i = 0; i < methods.size(); ++i) {
    u2(isInterface ? 0x0401 : 0x0101);
    u2(voidDescriptor + 1 + static_cast<unsigned>(i));
    u2(voidDescriptor);
    u2(0);
  }
  u2(0);  // attributes
  return b;
}

// The class bytes embedded in a generated source ("::bytes[] = {" ... "};").
inline std::vector<unsigned char> embeddedBytes(const std::string& source) {
  const std::size_t start = source.find("::bytes[] = {\n") + 14;
  const std::string text = source.substr(start, source.find("};", start) - start);
  std::vector<unsigned char> bytes;
  for (std::size_t pos = text.find("0x"); pos != std::string::npos; pos = text.find("0x", pos + 4))
    bytes.push_back(static_cast<unsigned char>(std::stoi(text.substr(pos + 2, 2), nullptr, 16)));
  return bytes;
}

}  // namespace classgen_test
