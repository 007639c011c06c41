// Code attributes kept as their bytes by the parser: built on first read into the nodes a full
// parse makes, refused at parse time when malformed, written back as read, and freed whole.
#include "ClassCorpus.h"
#include "ClassFileWriter.hpp"
#include "LazyCodeAST.h"
#include "NodeLinks.h"
#include "ReaderTestSupport.h"
#include "../src/NodeArena.h"

#include <antlr/ASTFactory.hpp>
#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <typeinfo>

#if defined(__SANITIZE_ADDRESS__)
// From the sanitizer's runtime (its header does not come with every compiler).
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#else
#include <malloc.h>
#endif

namespace {

using namespace reader_test;
using Bytes = std::vector<uint8_t>;
using T = ClassFileTokenTypes;

antlr::RefAST parseWith(const Bytes& bytes, bool deferred) { return parseBytes(bytes, "", deferred).tree; }

// The message of the parse's failure, "" when the bytes parse.
std::string failureOf(const Bytes& bytes, bool deferred) {
  try {
    parseWith(bytes, deferred);
  } catch (antlr::ANTLRException& e) {
    return e.getMessage();
  }
  return "";
}

// Every ATTR_CODE node of the methods, found without building any.
std::vector<const antlr::AST*> codeNodes(const antlr::RefAST& tree) {
  std::vector<const antlr::AST*> out;
  const antlr::AST* methods = tree.get();
  while (methods && methods->getType() != T::METHODS) methods = NodeLinks::nextSibling(methods);
  for (const antlr::AST* m = methods ? NodeLinks::firstChild(methods) : nullptr; m; m = NodeLinks::nextSibling(m))
    for (const antlr::AST* part = NodeLinks::firstChild(m); part; part = NodeLinks::nextSibling(part))
      if (part->getType() == T::METHOD_ATTRIBUTES)
        for (const antlr::AST* a = NodeLinks::firstChild(part); a; a = NodeLinks::nextSibling(a))
          if (NodeLinks::firstChild(a)->getType() == T::ATTR_CODE) out.push_back(NodeLinks::firstChild(a));
  return out;
}

std::size_t unbuiltCount(const antlr::RefAST& tree) {
  std::size_t n = 0;
  for (const antlr::AST* code : codeNodes(tree)) n += LazyCodeAST::isUnbuilt(code) ? 1 : 0;
  return n;
}

// The node's class, a kept Code counting as the StringAST that it stands for.
const std::type_info& classOf(const antlr::AST& node) {
  return dynamic_cast<const LazyCodeAST*>(&node) ? typeid(StringAST) : typeid(node);
}

// The two sibling lists are alike node for node: class, type, text, shape.
void expectSameNodes(const antlr::RefAST& a, const antlr::RefAST& b, const std::string& where) {
  antlr::RefAST x = a, y = b;
  for (; x && y; x = x->getNextSibling(), y = y->getNextSibling()) {
    ASSERT_EQ(classOf(*x), classOf(*y)) << where << " at " << x->toString();
    ASSERT_EQ(x->getType(), y->getType()) << where;
    ASSERT_EQ(x->getText(), y->getText()) << where;
    expectSameNodes(x->getFirstChild(), y->getFirstChild(), where);
  }
  ASSERT_EQ(!x, !y) << where;
}

Bytes write(const antlr::RefAST& tree, std::size_t* errors = nullptr) {
  std::ostringstream out;
  ClassFileWriter writer(&out);
  antlr::ASTFactory factory;
  writer.setASTFactory(&factory);
  writer.classFile(tree);
  if (errors) *errors = writer.getErrorCount();
  const std::string s = out.str();
  return Bytes(s.begin(), s.end());
}

// Every tenth class of java.base and the fixtures.
std::vector<ClassFile> sample() {
  std::vector<ClassFile> out = classesUnder(kavrin_test::kFixtureClasses);
  const std::vector<ClassFile> base = javaBaseClasses();
  for (std::size_t i = 0; i < base.size(); i += 10) out.push_back(base[i]);
  return out;
}

// A class whose pool holds `texts` from index 5, with one method (name #5, descriptor #6) whose
// only attribute is a Code attribute named by pool index `codeName` with the given body.
Bytes classWithCode(const std::vector<std::string>& texts, unsigned codeName, const Bytes& body) {
  ClassBuilder pool;
  for (const std::string& t : texts) pool.utf8(t);
  ClassBuilder tail;
  tail.u2(0);                               // fields
  tail.u2(1).u2(0x0009).u2(5).u2(6).u2(1);  // one static method, one attribute
  tail.u2(codeName).u4(static_cast<uint32_t>(body.size())).raw(body);
  tail.u2(0);  // class attributes
  return minimalClass("p/C", pool.bytes(), static_cast<unsigned>(texts.size()), 0x0021, tail.bytes()).bytes();
}

// max_stack 2, max_locals 1, `code`, one exception entry, then the nested attributes.
Bytes codeBody(const Bytes& code, unsigned nestedCount, const Bytes& nested) {
  ClassBuilder b;
  b.u2(2).u2(1).u4(static_cast<uint32_t>(code.size())).raw(code);
  b.u2(1).u2(0).u2(1).u2(1).u2(0);
  b.u2(nestedCount).raw(nested);
  return b.bytes();
}

// A LineNumberTable named by `name` with one entry.
Bytes lineNumbers(unsigned name) { return ClassBuilder().u2(name).u4(6).u2(1).u2(0).u2(42).bytes(); }

TEST(CodeAttributes, AreBuiltOnFirstReadIntoTheNodesOfAFullParse) {
  std::size_t kept = 0;
  for (const ClassFile& f : sample()) {
    const antlr::RefAST deferred = parseWith(f.bytes, true);
    const antlr::RefAST full = parseWith(f.bytes, false);
    const std::size_t unbuilt = unbuiltCount(deferred);
    EXPECT_EQ(unbuilt, codeNodes(deferred).size()) << f.name;
    EXPECT_EQ(unbuiltCount(full), 0u) << f.name;
    kept += unbuilt;
    // One Code copied whole before anything else read it: an ordinary node over equal children.
    const std::vector<const antlr::AST*> codes = codeNodes(deferred);
    if (!codes.empty()) {
      antlr::ASTFactory factory;
      const antlr::RefAST copy = factory.dupTree(antlr::RefAST(const_cast<antlr::AST*>(codes.back())));
      EXPECT_EQ(typeid(*copy), typeid(StringAST)) << f.name;
      EXPECT_EQ(copy->toStringTree(), codeNodes(full).back()->toStringTree()) << f.name;
    }
    EXPECT_EQ(deferred->toStringList(), full->toStringList()) << f.name;
    expectSameNodes(deferred, full, f.name);
    EXPECT_EQ(unbuiltCount(deferred), 0u) << f.name;
  }
  EXPECT_GT(kept, 3000u);
}

TEST(CodeAttributes, NestedAttributesAreBuiltWithTheirNamesAndLinkedChildrenAreSeenThroughRawLinks) {
  // Nested: a LineNumberTable, an attribute of unknown name, a Code inside the Code.
  ClassBuilder nested;
  nested.raw(lineNumbers(7));
  nested.u2(8).u4(3).u1(1).u1(2).u1(3);
  const Bytes inner = codeBody({0xB1}, 0, {});
  nested.u2(9).u4(static_cast<uint32_t>(inner.size())).raw(inner);
  const Bytes bytes =
      classWithCode({"m", "()V", "LineNumberTable", "Custom", "Code"}, 9, codeBody({0x04, 0xAC}, 3, nested.bytes()));
  const antlr::RefAST deferred = parseWith(bytes, true);
  const antlr::RefAST full = parseWith(bytes, false);
  const antlr::AST* code = codeNodes(deferred).at(0);
  ASSERT_TRUE(LazyCodeAST::isUnbuilt(code));
  // Reached through the raw links: built then.
  const antlr::AST* first = NodeLinks::firstChild(code);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->getType(), T::MAXSTACK);
  EXPECT_FALSE(LazyCodeAST::isUnbuilt(code));
  EXPECT_EQ(code->getNumberOfChildren(), 5u);
  expectSameNodes(deferred, full, "nested");
  EXPECT_EQ(write(deferred), bytes);
}

TEST(CodeAttributes, MalformedCodeIsRefusedAtParseTimeAsByAFullParse) {
  const std::vector<std::string> texts = {"m", "()V", "LineNumberTable", "Code"};
  const std::vector<Bytes> bad = {
      // code_length beyond the attribute and the input
      ClassBuilder().u2(1).u2(1).u4(900).u1(0xB1).bytes(),
      // a nested attribute named by an index that is no Utf8 entry
      codeBody({0xB1}, 1, ClassBuilder().u2(2).u4(0).bytes()),
      // a nested line table one entry short
      codeBody({0xB1}, 1, ClassBuilder().u2(7).u4(10).u2(2).u2(0).u2(1).bytes()),
      // nested attributes announced but missing
      codeBody({0xB1}, 2, lineNumbers(7)),
  };
  for (std::size_t i = 0; i < bad.size(); ++i) {
    const Bytes bytes = classWithCode(texts, 8, bad[i]);
    const std::string message = failureOf(bytes, true);
    EXPECT_NE(message, "") << "case " << i;
    EXPECT_EQ(message, failureOf(bytes, false)) << "case " << i;
  }
  // The same parser state serves the next class after a failure.
  EXPECT_EQ(failureOf(classWithCode(texts, 8, codeBody({0xB1}, 1, lineNumbers(7))), true), "");
}

TEST(CodeAttributes, UnreadCodeIsWrittenBackAsReadAndAsItsBuiltSubtreeWrites) {
  for (const ClassFile& f : sample()) {
    const antlr::RefAST deferred = parseWith(f.bytes, true);
    const antlr::RefAST full = parseWith(f.bytes, false);
    std::size_t errors = 0;
    const Bytes written = write(deferred, &errors);
    EXPECT_EQ(errors, 0u) << f.name;
    EXPECT_EQ(unbuiltCount(deferred), codeNodes(deferred).size()) << f.name << ": the write built a Code";
    EXPECT_EQ(written, write(full)) << f.name;
    EXPECT_EQ(written, f.bytes) << f.name;
  }

  // A nested attribute whose name text stands in two pool entries: the walk writes the last
  // entry's index, not the one read, so the Code is written from its subtree.
  const Bytes twice =
      classWithCode({"m", "()V", "LineNumberTable", "Code", "LineNumberTable"}, 8, codeBody({0xB1}, 1, lineNumbers(7)));
  const antlr::RefAST deferred = parseWith(twice, true);
  const Bytes written = write(deferred);
  EXPECT_EQ(written, write(parseWith(twice, false)));
  EXPECT_NE(written, twice);
}

// The heap that the process holds (the node pool keeps what it once took).
std::size_t heapInUse() {
#if defined(__SANITIZE_ADDRESS__)
  return __sanitizer_get_current_allocated_bytes();
#else
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
#endif
}

TEST(CodeAttributes, TreesGoWholeWhetherTheirCodeWasReadOrNot) {
  Bytes code(4000, 0x00);
  code.back() = 0xB1;
  const Bytes bytes = classWithCode({"m", "()V", "LineNumberTable", "Code"}, 8, codeBody(code, 1, lineNumbers(7)));
  const std::function<void(antlr::RefAST&)> uses[] = {
      [](antlr::RefAST&) {},
      [](antlr::RefAST& tree) { tree->toStringList(); },
      [](antlr::RefAST& tree) { write(tree); },
  };
  const std::size_t kept = NodeArena::keptArenas();
  for (const auto& use : uses) {
    for (int warm = 0; warm < 3; ++warm) {
      antlr::RefAST tree = parseWith(bytes, true);
      use(tree);
    }
    const std::size_t before = heapInUse();
    for (int i = 0; i < 100; ++i) {
      antlr::RefAST tree = parseWith(bytes, true);
      use(tree);
    }
    // A body or a subtree left behind by each tree would be 400 KB and more.
    EXPECT_LT(heapInUse(), before + 100000);
  }
  EXPECT_EQ(NodeArena::keptArenas(), kept);
}

#if !defined(__SANITIZE_ADDRESS__)
TEST(CodeAttributes, ACodeHeldAfterItsTreeWentIsBuiltAndGoesWithTheTree) {
  const std::size_t kept = NodeArena::keptArenas();
  const Bytes bytes = classWithCode({"m", "()V", "LineNumberTable", "Code"}, 8, codeBody({0xB1}, 1, lineNumbers(7)));
  antlr::RefAST tree = parseWith(bytes, true);
  antlr::RefAST code(const_cast<antlr::AST*>(codeNodes(tree).at(0)));
  const std::string expected = codeNodes(parseWith(bytes, false)).at(0)->toStringTree();
  tree = antlr::nullAST;
  EXPECT_EQ(NodeArena::keptArenas(), kept + 1);
  EXPECT_EQ(code->toStringTree(), expected);
  code = antlr::nullAST;
  parseWith(bytes, true);
  EXPECT_EQ(NodeArena::keptArenas(), kept);
}
#endif

}  // namespace
