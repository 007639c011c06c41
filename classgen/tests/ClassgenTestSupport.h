// Helpers of the classgen tests: parsing class bytes into a class-file tree, writing a tree back
// to bytes, reaching nodes of a tree, checking a generated class, and the fixture modules.
#pragma once

#include "ClassBytesInput.h"
#include "TypeBytes.h"
#include "ClassFileParser.hpp"
#include "ClassFileParsing.h"
#include "ClassFileWriter.hpp"
#include "ClassRepository.h"
#include "ProxyGenerator.h"
#include "TestPaths.h"
#include "TestSupport.h"
#include "ValueAST.h"

#include <antlr/ANTLRException.hpp>
#include <antlr/ASTFactory.hpp>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <ostream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace classgen_test {

typedef ClassFileTokenTypes T;

// The class-file tree of class bytes (antlr exceptions on malformed bytes).
inline antlr::RefAST parseClassBytes(const std::vector<unsigned char>& bytes) {
  ClassBytesInput input(bytes);
  ClassFileParsing parsing(input);
  parsing.parser.classFile(std::string());
  return parsing.parser.getAST();
}

struct Written {
  std::vector<unsigned char> bytes;
  std::size_t errors = 0;
};

// The bytes the class-file writer writes for a tree.
inline Written writeTree(const antlr::RefAST& tree) {
  std::ostringstream out(std::ios::out | std::ios::binary);
  ClassFileWriter writer(&out);
  antlr::ASTFactory factory;
  writer.setASTFactory(&factory);
  writer.classFile(tree);
  Written written;
  const std::string text = out.str();
  written.bytes.assign(text.begin(), text.end());
  written.errors = writer.getErrorCount();
  return written;
}

// The first top-level sibling of a type (the tree given by its first sibling).
inline antlr::RefAST topLevel(const antlr::RefAST& first, int type) {
  for (antlr::RefAST node = first; node; node = node->getNextSibling()) {
    if (node->getType() == type) return node;
  }
  return antlr::nullAST;
}

// The children of a node, in order.
inline std::vector<antlr::RefAST> children(const antlr::RefAST& node) {
  std::vector<antlr::RefAST> list;
  if (!node) return list;
  for (antlr::RefAST child = node->getFirstChild(); child; child = child->getNextSibling()) list.push_back(child);
  return list;
}

// The child of a type (the first one), or null.
inline antlr::RefAST child(const antlr::RefAST& node, int type) {
  for (const antlr::RefAST& c : children(node)) {
    if (c->getType() == type) return c;
  }
  return antlr::nullAST;
}

inline uint16_t shortOf(const antlr::RefAST& node) {
  const ShortAST* value = node ? dynamic_cast<const ShortAST*>(node.get()) : nullptr;
  if (!value) throw std::runtime_error("not a ShortAST node");
  return value->getValue();
}

// The pool of a class-file tree by class-file index (entry 0 and the second slot of a long or
// double hold their own nodes, so position = index).
inline std::vector<antlr::RefAST> poolByIndex(const antlr::RefAST& tree) {
  std::vector<antlr::RefAST> pool(1);
  for (const antlr::RefAST& entry : children(topLevel(tree, T::CONSTANT_POOL))) pool.push_back(entry);
  return pool;
}

// The text of the CONSTANT_UTF8 node at an index, or "<not utf8>".
inline std::string utf8At(const std::vector<antlr::RefAST>& pool, uint16_t index) {
  if (index == 0 || index >= pool.size() || pool[index]->getType() != T::CONSTANT_UTF8) return "<not utf8>";
  return pool[index]->getText();
}

// The class name of the CONSTANT_CLASS node at an index, or "<not a class>".
inline std::string classAt(const std::vector<antlr::RefAST>& pool, uint16_t index) {
  if (index == 0 || index >= pool.size() || pool[index]->getType() != T::CONSTANT_CLASS) return "<not a class>";
  return utf8At(pool, shortOf(pool[index]));
}

// A method of a class file: flags, name, descriptor.
struct Method {
  uint16_t flags;
  std::string name;
  std::string descriptor;
  bool operator==(const Method& o) const { return flags == o.flags && name == o.name && descriptor == o.descriptor; }
};

inline std::ostream& operator<<(std::ostream& out, const Method& m) {
  return out << m.name << m.descriptor << " 0x" << std::hex << m.flags << std::dec;
}

// Name and descriptor of a Java method.
typedef std::vector<std::pair<std::string, std::string>> Signatures;

// The key of a method: its name followed by its descriptor.
inline std::string keyOf(const Method& method) { return method.name + method.descriptor; }
inline std::string keyOf(const std::pair<std::string, std::string>& method) { return method.first + method.second; }

// Methods or signatures in key order.
template <class Methods>
Methods sortedByKey(Methods methods) {
  std::sort(methods.begin(), methods.end(), [](const auto& a, const auto& b) { return keyOf(a) < keyOf(b); });
  return methods;
}

// A forwarded method as a generated class holds it: its native twin "native0" + name, which takes
// the peer first, and then the public method itself.
inline void appendForwarded(std::vector<Method>& methods, const std::pair<std::string, std::string>& method) {
  methods.push_back({0x0101, "native0" + method.first, "(J" + method.second.substr(1)});
  methods.push_back({0x0001, method.first, method.second});
}

// Checks a generated class's tree (parsed back from its bytes): version 45.3 (52.0 when a method
// calls an interface's default method), every index names a pool entry of the right kind and
// text, flags 0x0021, the class, super class and interfaces named, the one field "peer" J; every
// constructor's body passes its arguments to the super class's constructor of the same
// descriptor, a synthetic "default0" + name method passes its arguments to the method it is
// named after, of the interface or of the super class, with invokespecial, and every other method
// without NATIVE loads the peer and invokes its twin "native0" + name on the class (the twin of
// the same parameters; it may have a narrower result), a native public method of the class.
// Returns the methods in class-file order.
inline std::vector<Method> checkGeneratedClass(const antlr::RefAST& parsed, const std::string& className,
                                               const std::string& superName,
                                               const std::vector<std::string>& interfaceNames) {
  std::vector<Method> methods;
  const std::vector<antlr::RefAST> pool = poolByIndex(parsed);
  EXPECT_EQ(shortOf(topLevel(parsed, T::CONSTANT_POOL)), pool.size());
  const std::vector<antlr::RefAST> version = children(topLevel(parsed, T::VERSION));
  bool callsInterfaces = false;

  // Every reference inside the pool names an entry of its kind.
  for (std::size_t i = 1; i < pool.size(); ++i) {
    const antlr::RefAST& entry = pool[i];
    const std::vector<antlr::RefAST> kids = children(entry);
    switch (entry->getType()) {
      case T::CONSTANT_UTF8:
        break;
      case T::CONSTANT_CLASS:
        EXPECT_NE(utf8At(pool, shortOf(entry)), "<not utf8>") << "class #" << i;
        break;
      case T::CONSTANT_NAMEANDTYPE:
        EXPECT_NE(utf8At(pool, shortOf(kids[0])), "<not utf8>") << "name and type #" << i;
        EXPECT_NE(utf8At(pool, shortOf(kids[1])), "<not utf8>") << "name and type #" << i;
        break;
      case T::CONSTANT_INTERFACEMETHODREF:
        callsInterfaces = true;
        EXPECT_NE(classAt(pool, shortOf(kids[0])), "<not a class>") << "reference #" << i;
        EXPECT_EQ(pool.at(shortOf(kids[1]))->getType(), T::CONSTANT_NAMEANDTYPE) << "reference #" << i;
        break;
      case T::CONSTANT_FIELDREF:
      case T::CONSTANT_METHODREF:
        EXPECT_NE(classAt(pool, shortOf(kids[0])), "<not a class>") << "reference #" << i;
        EXPECT_EQ(pool.at(shortOf(kids[1]))->getType(), T::CONSTANT_NAMEANDTYPE) << "reference #" << i;
        break;
      default:
        ADD_FAILURE() << "unexpected pool entry #" << i << " of type " << entry->getType();
    }
  }
  // A member reference as class.name:descriptor.
  auto member = [&](int index) {
    const std::vector<antlr::RefAST> ref = children(pool.at(index));
    const std::vector<antlr::RefAST> nat = children(pool.at(shortOf(ref[1])));
    return classAt(pool, shortOf(ref[0])) + "." + utf8At(pool, shortOf(nat[0])) + ":" + utf8At(pool, shortOf(nat[1]));
  };

  const antlr::RefAST thisClass = topLevel(parsed, T::THIS_CLASS);
  const std::vector<antlr::RefAST> head = children(thisClass);
  EXPECT_EQ(shortOf(head[0]), 0x0021);
  EXPECT_EQ(classAt(pool, shortOf(head[1])), className);
  EXPECT_EQ(classAt(pool, shortOf(head[2]->getFirstChild())), superName);
  std::vector<std::string> implemented;
  for (const antlr::RefAST& i : children(head[3])) implemented.push_back(classAt(pool, shortOf(i)));
  EXPECT_EQ(implemented, interfaceNames);

  const antlr::RefAST fields = topLevel(parsed, T::FIELDS);
  EXPECT_EQ(shortOf(fields), 1);
  const std::vector<antlr::RefAST> field = children(fields->getFirstChild());
  EXPECT_EQ(shortOf(field[0]), 0);
  EXPECT_EQ(utf8At(pool, shortOf(field[1])), "peer");
  EXPECT_EQ(utf8At(pool, shortOf(field[2])), "J");
  EXPECT_EQ(shortOf(field[3]), 0);
  EXPECT_EQ(shortOf(topLevel(parsed, T::ATTRIBUTES)), 0);

  const antlr::RefAST methodsNode = topLevel(parsed, T::METHODS);
  const std::vector<antlr::RefAST> infos = children(methodsNode);
  EXPECT_EQ(shortOf(methodsNode), infos.size());
  std::vector<std::string> invoked;  // name:descriptor of the twins the bodies invoke
  for (const antlr::RefAST& info : infos) {
    const std::vector<antlr::RefAST> parts = children(info);
    Method m{shortOf(parts[0]), utf8At(pool, shortOf(parts[1])), utf8At(pool, shortOf(parts[2]))};
    methods.push_back(m);
    const std::vector<antlr::RefAST> attributes = children(parts[3]);
    EXPECT_EQ(shortOf(parts[3]), attributes.size());
    if ((m.flags & 0x0100) != 0) {
      EXPECT_TRUE(attributes.empty()) << m;
      continue;
    }
    // One Code attribute: its body loads the peer and invokes the twin, or for a constructor
    // the super class's constructor.
    EXPECT_EQ(attributes.size(), 1u) << m;
    if (attributes.size() != 1) continue;
    const antlr::RefAST code = attributes[0]->getFirstChild();
    EXPECT_EQ(code->getType(), T::ATTR_CODE);
    const std::vector<unsigned char> bytes = dynamic_cast<ByteArrayAST&>(*children(code)[2]).value();
    EXPECT_GE(bytes.size(), 5u) << m;
    if (bytes.size() < 5) continue;
    const std::size_t invoke = bytes.size() - 4;
    const std::string target = member(bytes[invoke + 1] << 8 | bytes[invoke + 2]);
    EXPECT_EQ(bytes[0], 0x2a) << m;
    if (m.name == "<init>") {
      EXPECT_EQ(bytes[invoke], 0xb7) << m;
      EXPECT_EQ(bytes.back(), 0xb1) << m;
      EXPECT_EQ(target, superName + ".<init>:" + m.descriptor);
    } else if (m.name.compare(0, 8, "default0") == 0) {
      EXPECT_EQ(m.flags, 0x1001) << m;
      EXPECT_EQ(bytes[invoke], 0xb7) << m;
      const std::string own = m.name.substr(8) + ":" + m.descriptor;
      EXPECT_TRUE(target == superName + "." + own ||
                  (interfaceNames.size() == 1 && target == interfaceNames[0] + "." + own))
          << m << " calls " << target;
    } else {
      EXPECT_GE(bytes.size(), 9u);
      if (bytes.size() < 9) continue;
      EXPECT_EQ(bytes[2], 0xb4);
      EXPECT_EQ(member(bytes[3] << 8 | bytes[4]), className + ".peer:J");
      EXPECT_EQ(bytes[invoke], 0xb6) << m;
      // The twin of the method, or of one with the same parameters whose result fits.
      const std::string parameters = m.descriptor.substr(1, m.descriptor.rfind(')'));
      EXPECT_EQ(target.substr(0, target.rfind(')') + 1), className + ".native0" + m.name + ":(J" + parameters) << m;
      invoked.push_back(target.substr(target.find('.', className.size()) + 1));
    }
  }
  EXPECT_EQ(shortOf(version[0]), callsInterfaces ? 0 : 3);
  EXPECT_EQ(shortOf(version[1]), callsInterfaces ? 52 : 45);
  // Every invoked twin is a native method of the class.
  for (const std::string& twin : invoked) {
    const std::string name = twin.substr(0, twin.find(':'));
    const std::string descriptor = twin.substr(twin.find(':') + 1);
    const auto found = std::find_if(methods.begin(), methods.end(), [&](const Method& m) {
      return m.name == name && m.descriptor == descriptor && (m.flags & 0x0100) != 0;
    });
    EXPECT_NE(found, methods.end()) << twin;
  }
  return methods;
}

// The class-file tree of a class found in the modules; std::runtime_error when none holds it.
inline antlr::RefAST loadTree(const std::string& name) {
  ClassRepository repository;
  const antlr::RefAST tree = repository.loadClass(name, std::string());
  if (!tree) throw std::runtime_error("no class " + name);
  return tree;
}

// A class that a level-0 builder made, written and parsed again.
struct BuiltClass {
  antlr::RefAST tree;                // the builder's tree
  std::vector<unsigned char> bytes;  // the tree as the class-file writer writes it
  antlr::RefAST parsed;              // the written bytes parsed again
  std::vector<std::string> missing;  // super types no module holds
  std::vector<std::string> walkedTypes;
  std::string name;  // the generated class's name
};

// Runs a `Builder` for `generator` over the class-file tree; the written class must have no
// writer errors. Builder exceptions pass.
template <class Builder>
BuiltClass buildWith(ProxyGenerator& generator, const antlr::RefAST& tree) {
  antlr::ASTFactory factory;
  Builder::initializeASTFactory(factory);
  Builder builder(&generator);
  builder.setASTFactory(&factory);
  builder.classFile(tree);
  BuiltClass built;
  built.tree = builder.getAST();
  built.missing = builder.getMissingTypes();
  built.walkedTypes = builder.getWalkedTypes();
  built.name = builder.getDerivedClassName();
  const Written written = writeTree(built.tree);
  EXPECT_EQ(written.errors, 0u);
  built.bytes = written.bytes;
  built.parsed = parseClassBytes(written.bytes);
  return built;
}

// Resets the module set to java.base and a module that holds classgentest/Orphan.class, copied
// from the test classes, without classgentest/Gone.class, its super-interface.
inline void useModulesWithoutGone(const kavrin_test::TempDir& module, const std::string& testClasses) {
  std::filesystem::create_directories(module.file("classgentest"));
  std::filesystem::copy_file(testClasses + "/classgentest/Orphan.class", module.file("classgentest/Orphan.class"));
  ClassRepository::resetModules(std::string());
  ClassRepository::addModule(module.path());
  ClassRepository::addModule(std::string(kavrin_test::kJdkHome) + "/jmods/java.base.jmod");
}

// Resets the module set to the JDK and the fixture classes.
inline void useFixtureModules() {
  ClassRepository::resetModules(std::string());
  ClassRepository::addModule(kavrin_test::kFixtureClasses);
  ClassRepository::addModule(std::string(kavrin_test::kJdkHome) + "/jmods/java.base.jmod");
}

#ifdef CLASSGEN_TEST_CLASSES
// Tests of the builders over the fixture modules and the classgen test classes (in the test
// programs built with them).
class BuilderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    useFixtureModules();
    ClassRepository::addModule(CLASSGEN_TEST_CLASSES);
  }
};
#endif

// The message of the antlr exception that `build` ends with; a text that names no refusal when
// it ends without one.
inline std::string refusalOf(const std::function<void()>& build) {
  try {
    build();
  } catch (const antlr::ANTLRException& e) {
    return e.getMessage();
  }
  return "(built without a refusal)";
}

}  // namespace classgen_test
