// Helpers of the reader's tests: parsing class bytes, walking trees, building class files.
#pragma once

#include "ClassBytesInput.h"
#include "ClassFileParser.hpp"
#include "ClassFileParsing.h"
#include "ClassRepository.h"
#include "TestSupport.h"
#include "ValueAST.h"

#include <antlr/MismatchedTokenException.hpp>
#include <antlr/NoViableAltException.hpp>
#include <antlr/SemanticException.hpp>
#include <antlr/TokenStreamException.hpp>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace reader_test {

// Resets the module set to the Java home `javaHome` ("" for none), with CLASSPATH left out.
inline void useModules(const std::string& javaHome) {
  kavrin_test::ScopedEnv noClassPath("CLASSPATH", std::nullopt);
  ClassRepository::resetModules(javaHome);
}

// A test that starts and ends with no modules.
class NoModulesTest : public ::testing::Test {
 protected:
  void SetUp() override { reset(); }
  void TearDown() override { reset(); }
  static void reset() { useModules(""); }
};

// What one parse yields.
struct Parsed {
  antlr::RefAST tree;
  std::string className;
  std::string classPathRoot;
  bool isInterface = false;
  bool hasNativeMethods = false;
  unsigned char version[4] = {0, 0, 0, 0};
  std::vector<antlr::RefAST> pool;  // the parser's pool nodes by index (null for empty slots)
};

// Parses class bytes the way the class repository does (or, with deferredCode false, building every
// Code attribute's nodes at once); antlr exceptions pass through.
inline Parsed parseBytes(const std::vector<uint8_t>& bytes, const std::string& path = "", bool deferredCode = true) {
  ClassBytesInput input(bytes.data(), bytes.size());
  ClassFileParsing parsing(input);
  ClassFileParser& parser = parsing.parser;
  parser.setDeferredCode(deferredCode);
  parser.classFile(path);
  Parsed out;
  out.tree = parser.getAST();
  out.className = parser.getClassName();
  out.classPathRoot = parser.getClassPathRoot();
  out.isInterface = parser.isInterface();
  out.hasNativeMethods = parser.hasNativeMethods();
  std::memcpy(out.version, parser.getVersion(), 4);
  const CPNodeList& pool = parser.getConstantPoolNodes();
  for (std::size_t i = 0; i < pool.size(); ++i) out.pool.push_back(pool.at(i));
  return out;
}

// How a parse failed: the kind of antlr exception ("semantic", "mismatch", "noviable",
// "stream", "antlr") and its message; kind "" when the bytes parse.
struct Failure {
  std::string kind;
  std::string message;
};

inline Failure parseFailure(const std::vector<uint8_t>& bytes, const std::string& path = "") {
  try {
    parseBytes(bytes, path);
  } catch (antlr::SemanticException& e) {
    return {"semantic", e.getMessage()};
  } catch (antlr::MismatchedTokenException& e) {
    return {"mismatch", e.getMessage()};
  } catch (antlr::NoViableAltException& e) {
    return {"noviable", e.getMessage()};
  } catch (antlr::TokenStreamException& e) {
    return {"stream", e.getMessage()};
  } catch (antlr::ANTLRException& e) {
    return {"antlr", e.getMessage()};
  }
  return {};
}

inline std::vector<antlr::RefAST> children(const antlr::RefAST& node) {
  std::vector<antlr::RefAST> out;
  for (antlr::RefAST c = node ? node->getFirstChild() : antlr::RefAST(); c; c = c->getNextSibling()) out.push_back(c);
  return out;
}

inline std::vector<antlr::RefAST> siblings(const antlr::RefAST& first) {
  std::vector<antlr::RefAST> out;
  for (antlr::RefAST c = first; c; c = c->getNextSibling()) out.push_back(c);
  return out;
}

inline std::vector<int> types(const std::vector<antlr::RefAST>& nodes) {
  std::vector<int> out;
  for (const antlr::RefAST& n : nodes) out.push_back(n->getType());
  return out;
}

// The first child of the given type, or null.
inline antlr::RefAST child(const antlr::RefAST& node, int type) {
  for (antlr::RefAST c = node ? node->getFirstChild() : antlr::RefAST(); c; c = c->getNextSibling())
    if (c->getType() == type) return c;
  return antlr::RefAST();
}

// The node's class-file bytes.
inline std::vector<uint8_t> bytesOf(const antlr::RefAST& node) {
  const ValueAST* v = dynamic_cast<const ValueAST*>(node.get());
  if (!v) return {};
  const unsigned char* b = v->getBytes();
  return std::vector<uint8_t>(b, b + v->getByteCount());
}

inline unsigned shortValue(const antlr::RefAST& node) {
  const ShortAST* s = dynamic_cast<const ShortAST*>(node.get());
  return s ? s->getValue() : 0xFFFFFFFFu;
}

// The text of the CONSTANT_UTF8 entry at a pool index; "" for any other entry.
inline std::string utf8At(const Parsed& p, unsigned index) {
  if (index >= p.pool.size() || !p.pool[index] || p.pool[index]->getType() != ClassFileTokenTypes::CONSTANT_UTF8)
    return std::string();
  return p.pool[index]->getText();
}

// The name of the class that a CONSTANT_CLASS entry at a pool index names.
inline std::string classAt(const Parsed& p, unsigned index) {
  if (index >= p.pool.size() || !p.pool[index] || p.pool[index]->getType() != ClassFileTokenTypes::CONSTANT_CLASS)
    return std::string();
  return utf8At(p, shortValue(p.pool[index]));
}

// Builds class-file bytes, big-endian.
class ClassBuilder {
 public:
  ClassBuilder& u1(unsigned v) {
    m_bytes.push_back(static_cast<uint8_t>(v));
    return *this;
  }
  ClassBuilder& u2(unsigned v) { return u1(v >> 8).u1(v); }
  ClassBuilder& u4(uint32_t v) { return u2(v >> 16).u2(v & 0xFFFF); }
  ClassBuilder& raw(const std::vector<uint8_t>& b) {
    m_bytes.insert(m_bytes.end(), b.begin(), b.end());
    return *this;
  }
  ClassBuilder& utf8(const std::string& s) {
    u1(1).u2(static_cast<unsigned>(s.size()));
    for (char c : s) u1(static_cast<unsigned char>(c));
    return *this;
  }
  ClassBuilder& header(unsigned minor = 0, unsigned major = 52) { return u4(0xCAFEBABE).u2(minor).u2(major); }
  std::size_t size() const { return m_bytes.size(); }
  const std::vector<uint8_t>& bytes() const { return m_bytes; }

 private:
  std::vector<uint8_t> m_bytes;
};

// A minimal class file: pool 1 Utf8 name, 2 Class #1, 3 Utf8 "java/lang/Object", 4 Class #3,
// then `extraPool` entries (indices 5 on, counted by `extraCount`), then the given tail after
// access_flags/this/super/interfaces (fields, methods and attributes).
inline ClassBuilder minimalClass(const std::string& name, const std::vector<uint8_t>& extraPool, unsigned extraCount,
                                 unsigned accessFlags, const std::vector<uint8_t>& tail) {
  ClassBuilder b;
  b.header().u2(5 + extraCount);
  b.utf8(name).u1(7).u2(1).utf8("java/lang/Object").u1(7).u2(3);
  b.raw(extraPool);
  b.u2(accessFlags).u2(2).u2(4).u2(0);
  b.raw(tail);
  return b;
}

}  // namespace reader_test
