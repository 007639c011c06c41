// Typed tree nodes: values, texts, class-file bytes, codecs, copies through antlr's factory,
// the token vocabulary, and the release of long sibling chains.
#include "../src/NodeArena.h"
#include "../src/NodePool.h"
#include "ReaderTestSupport.h"
#include "StringHelpers.h"
#include "TestPaths.h"

#include <antlr/ASTFactory.hpp>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <limits>
#include <map>
#include <sstream>
#include <thread>
#include <typeinfo>

using reader_test::bytesOf;
using Bytes = std::vector<uint8_t>;

namespace {

class NodeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setTokenNameTable(registrar.getTokenNames());
    ClassFileParser::initializeASTFactory(factory);
  }

  ClassFileParser registrar;  // over no token source: only its token names are used
  antlr::ASTFactory factory;
};

uint32_t floatBits(float f) {
  uint32_t b;
  std::memcpy(&b, &f, 4);
  return b;
}

float floatOfBits(uint32_t b) {
  float f;
  std::memcpy(&f, &b, 4);
  return f;
}

double doubleOfBits(uint64_t b) {
  double d;
  std::memcpy(&d, &b, 8);
  return d;
}

// The word whose bytes in memory are the given class-file bytes.
uint32_t word32(const Bytes& b) {
  uint32_t w;
  std::memcpy(&w, b.data(), 4);
  return w;
}

uint64_t word64(const Bytes& b) {
  uint64_t w;
  std::memcpy(&w, b.data(), 8);
  return w;
}

TEST_F(NodeTest, ShortNodeShowsItsValueAsSigned16BitAndWritesHighByteFirst) {
  ShortAST all(ClassFileTokenTypes::CONSTANT_POOL, 0xFFFF);
  EXPECT_EQ(all.getText(), "-1");
  EXPECT_EQ(all.getValue(), 0xFFFF);
  EXPECT_EQ(bytesOf(antlr::RefAST(all.clone())), (Bytes{0xFF, 0xFF}));

  ShortAST n(ClassFileTokenTypes::NAME, 0x0100);
  EXPECT_EQ(n.getText(), "256");
  EXPECT_EQ(n.getByteCount(), 2u);
  EXPECT_EQ(Bytes(n.getBytes(), n.getBytes() + 2), (Bytes{0x01, 0x00}));

  n.setValue(7);
  EXPECT_EQ(n.getText(), "7");
  EXPECT_EQ(Bytes(n.getBytes(), n.getBytes() + 2), (Bytes{0x00, 0x07}));
  EXPECT_TRUE(n.isShort());
  EXPECT_FALSE(n.isString() || n.isInt() || n.isLong() || n.isFloat() || n.isDouble() || n.isByteArray());
}

TEST_F(NodeTest, ByteArrayNodeTextListsSizeAndHexBytes) {
  ByteArrayAST magic(ClassFileTokenTypes::MAGIC_NUMBER, {0xCA, 0xFE, 0xBA, 0xBE});
  EXPECT_EQ(magic.getText(), "[Value Size:4]CAFEBABE");
  EXPECT_EQ(Bytes(magic.getBytes(), magic.getBytes() + magic.getByteCount()), (Bytes{0xCA, 0xFE, 0xBA, 0xBE}));

  ByteArrayAST empty(ClassFileTokenTypes::CODE_BYTES, {});
  EXPECT_EQ(empty.getText(), "[Value Size:0]");
  EXPECT_EQ(empty.getByteCount(), 0u);
  EXPECT_TRUE(empty.isByteArray());
}

TEST_F(NodeTest, StringNodeKeepsEveryByteIncludingZero) {
  const std::string value("a\0b\xFF", 4);
  StringAST s(ClassFileTokenTypes::CONSTANT_UTF8, value);
  EXPECT_EQ(s.getText(), value);
  EXPECT_EQ(s.getByteCount(), 4u);
  EXPECT_EQ(Bytes(s.getBytes(), s.getBytes() + 4), (Bytes{'a', 0, 'b', 0xFF}));
  s.setValue("xyz");
  EXPECT_EQ(s.getText(), "xyz");
  EXPECT_EQ(s.getByteCount(), 3u);
  EXPECT_TRUE(s.isString());
}

TEST_F(NodeTest, WideStringNodeWritesUnitsHighByteFirstAndNarrowsToUtf8) {
  WStringAST w(ClassFileTokenTypes::CONSTANT_UNICODE, u"ABC");
  EXPECT_EQ(w.getByteCount(), 6u);
  const unsigned char* b = w.getBytes();
  EXPECT_EQ(Bytes(b, b + 6), (Bytes{0x00, 0x41, 0x00, 0x42, 0x00, 0x43}));
  EXPECT_EQ(w.getText(), "ABC");

  // e-acute, a surrogate pair (U+1D465), and an unpaired high and low surrogate.
  WStringAST mixed(ClassFileTokenTypes::CONSTANT_UNICODE, std::u16string{0x00E9, 0xD835, 0xDC65, 0xD800, u'x', 0xDC00});
  EXPECT_EQ(mixed.getText(), "\xC3\xA9\xF0\x9D\x91\xA5?x?");
  EXPECT_EQ(mixed.getByteCount(), 12u);
  EXPECT_TRUE(mixed.isString());
}

TEST_F(NodeTest, IntAndLongNodesKeepAllTheirBits) {
  IntAST i(ClassFileTokenTypes::CONSTANT_INTEGER, -2);
  EXPECT_EQ(i.getText(), "-2");
  EXPECT_EQ(Bytes(i.getBytes(), i.getBytes() + 4), (Bytes{0xFF, 0xFF, 0xFF, 0xFE}));

  const int64_t big = (int64_t(1) << 32) + (int64_t(1) << 31);
  LongAST l(ClassFileTokenTypes::CONSTANT_LONG, big);
  EXPECT_EQ(l.getValue(), 6442450944LL);
  EXPECT_EQ(l.getText(), "6442450944l");
  EXPECT_EQ(Bytes(l.getBytes(), l.getBytes() + 8), (Bytes{0x00, 0x00, 0x00, 0x01, 0x80, 0x00, 0x00, 0x00}));

  LongAST min(ClassFileTokenTypes::CONSTANT_LONG, std::numeric_limits<int64_t>::min());
  EXPECT_EQ(min.getText(), "-9223372036854775808l");
  EXPECT_EQ(Bytes(min.getBytes(), min.getBytes() + 8), (Bytes{0x80, 0, 0, 0, 0, 0, 0, 0}));
}

TEST_F(NodeTest, FloatAndDoubleNodesWriteIeeeBitsAndCanonicalNaN) {
  FloatAST one(ClassFileTokenTypes::CONSTANT_FLOAT, 1.0f);
  EXPECT_EQ(Bytes(one.getBytes(), one.getBytes() + 4), (Bytes{0x3F, 0x80, 0x00, 0x00}));
  EXPECT_EQ(one.getText(), "1.000000e+00");

  DoubleAST d(ClassFileTokenTypes::CONSTANT_DOUBLE, 1.0);
  EXPECT_EQ(Bytes(d.getBytes(), d.getBytes() + 8), (Bytes{0x3F, 0xF0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(DoubleAST(ClassFileTokenTypes::CONSTANT_DOUBLE, 0.1).getText(), "0.1");
  EXPECT_EQ(DoubleAST(ClassFileTokenTypes::CONSTANT_DOUBLE, 1e300).getText(), "1e+300");

  // NaNs of any sign and payload, quiet or signalling, come out canonical.
  for (uint32_t bits : {0x7FC00000u, 0x7F800001u, 0xFFC00000u, 0x7FFFFFFFu, 0xFF812345u}) {
    FloatAST nan(ClassFileTokenTypes::CONSTANT_FLOAT, floatOfBits(bits));
    EXPECT_EQ(Bytes(nan.getBytes(), nan.getBytes() + 4), (Bytes{0x7F, 0xC0, 0x00, 0x00})) << std::hex << bits;
  }
  for (uint64_t bits : {0x7FF8000000000000ull, 0x7FF0000000000001ull, 0xFFF8000000000000ull, 0xFFFFFFFFFFFFFFFFull}) {
    DoubleAST nan(ClassFileTokenTypes::CONSTANT_DOUBLE, doubleOfBits(bits));
    EXPECT_EQ(Bytes(nan.getBytes(), nan.getBytes() + 8), (Bytes{0x7F, 0xF8, 0, 0, 0, 0, 0, 0})) << std::hex << bits;
  }
}

TEST_F(NodeTest, CodecsConvertBothWaysAndDecodeEveryNaNAsNaN) {
  EXPECT_EQ(swapBytes16(0x1234), 0x3412);
  EXPECT_EQ(swapBytes32(0x12345678u), 0x78563412u);
  EXPECT_EQ(swapBytes64(0x0102030405060708ull), 0x0807060504030201ull);
  EXPECT_EQ(swapBytes32(swapBytes32(0xDEADBEEFu)), 0xDEADBEEFu);

  EXPECT_EQ(floatFromClassFile(floatToClassFile(3.25f)), 3.25f);
  EXPECT_EQ(doubleFromClassFile(doubleToClassFile(-2.5e-300)), -2.5e-300);
  EXPECT_EQ(floatFromClassFile(word32({0x3F, 0x80, 0x00, 0x00})), 1.0f);
  EXPECT_TRUE(std::signbit(doubleFromClassFile(word64({0x80, 0, 0, 0, 0, 0, 0, 0}))));

  // Signalling and negative NaN patterns as they stand in a file.
  for (const Bytes& b : {Bytes{0x7F, 0x80, 0x00, 0x01}, Bytes{0xFF, 0xC0, 0x00, 0x00}, Bytes{0x7F, 0xFF, 0xFF, 0xFF}}) {
    const float f = floatFromClassFile(word32(b));
    EXPECT_TRUE(std::isnan(f));
    EXPECT_EQ(floatBits(f) & 0x7FC00000u, 0x7FC00000u);  // quiet
  }
  for (const Bytes& b : {Bytes{0x7F, 0xF0, 0, 0, 0, 0, 0, 1}, Bytes{0xFF, 0xF8, 0, 0, 0, 0, 0, 0}}) {
    EXPECT_TRUE(std::isnan(doubleFromClassFile(word64(b))));
  }
  EXPECT_TRUE(std::isinf(floatFromClassFile(word32({0x7F, 0x80, 0x00, 0x00}))));
}

TEST_F(NodeTest, TypeNameComesFromThePublishedTable) {
  ShortAST info(ClassFileTokenTypes::FIELD_INFO, 0);
  EXPECT_STREQ(info.typeName(), "FIELD_INFO");
  StringAST byte(ClassFileTokenTypes::BYTE, "x");
  EXPECT_STREQ(byte.typeName(), "BYTE");
  ShortAST odd(1000, 0);
  EXPECT_STREQ(odd.typeName(), "ValueAST");
}

// The node class that the factory registration gives each token type 4..98.
std::string expectedClass(int type) {
  static const std::map<int, std::string> others = {{4, "ByteArrayAST"}, {5, "StringAST"},    {9, "StringAST"},
                                                    {10, "WStringAST"},  {11, "IntAST"},      {12, "FloatAST"},
                                                    {13, "LongAST"},     {14, "DoubleAST"},   {42, "ByteArrayAST"},
                                                    {49, "IntAST"},      {67, "ByteArrayAST"}};
  static const std::vector<int> strings = {17, 18, 19, 20, 21, 22, 30, 31, 34, 36, 43, 44, 51, 55, 62, 63, 64,
                                           66, 69, 72, 74, 77, 78, 80, 82, 87, 88, 89, 90, 91, 92, 94, 96, 98};
  auto it = others.find(type);
  if (it != others.end()) return it->second;
  for (int s : strings)
    if (s == type) return "StringAST";
  return "ShortAST";
}

std::string classOf(const antlr::RefAST& n) {
  const antlr::AST* p = n.get();
  if (dynamic_cast<const ByteArrayAST*>(p)) return "ByteArrayAST";
  if (dynamic_cast<const ShortAST*>(p)) return "ShortAST";
  if (dynamic_cast<const StringAST*>(p)) return "StringAST";
  if (dynamic_cast<const WStringAST*>(p)) return "WStringAST";
  if (dynamic_cast<const IntAST*>(p)) return "IntAST";
  if (dynamic_cast<const FloatAST*>(p)) return "FloatAST";
  if (dynamic_cast<const LongAST*>(p)) return "LongAST";
  if (dynamic_cast<const DoubleAST*>(p)) return "DoubleAST";
  return typeid(*p).name();
}

TEST_F(NodeTest, FactoryCreatesTheRegisteredClassForEveryType) {
  for (int type = 4; type <= 98; ++type) {
    antlr::RefAST n = factory.create(type);
    ASSERT_TRUE(n);
    EXPECT_EQ(n->getType(), type);
    EXPECT_EQ(classOf(n), expectedClass(type)) << "type " << type;
  }
  // Types 0-3 and 99 keep antlr's default node.
  EXPECT_EQ(dynamic_cast<ValueAST*>(factory.create(99).get()), nullptr);
}

// One node of every class with a value that is not the default.
std::vector<antlr::RefAST> oneOfEach() {
  using T = ClassFileTokenTypes;
  return {
      antlr::RefAST(new ByteArrayAST(T::CODE_BYTES, {0x2A, 0xB7, 0x00, 0x01, 0xB1})),
      antlr::RefAST(new ShortAST(T::CLASS_INFO, 0xFFFE)),
      antlr::RefAST(new StringAST(T::CONSTANT_UTF8, std::string("java/lang/\0Object", 17))),
      antlr::RefAST(new WStringAST(T::CONSTANT_UNICODE, u"\u00e9t\u00e9")),
      antlr::RefAST(new IntAST(T::CONSTANT_INTEGER, -123456789)),
      antlr::RefAST(new FloatAST(T::CONSTANT_FLOAT, 3.1415927f)),
      antlr::RefAST(new LongAST(T::CONSTANT_LONG, (int64_t(1) << 32) + (int64_t(1) << 31))),
      antlr::RefAST(new DoubleAST(T::CONSTANT_DOUBLE, 2.718281828459045)),
  };
}

void expectSameNode(const antlr::RefAST& copy, const antlr::RefAST& original) {
  ASSERT_TRUE(copy);
  EXPECT_NE(copy.get(), original.get());
  EXPECT_EQ(classOf(copy), classOf(original));
  EXPECT_EQ(copy->getType(), original->getType());
  EXPECT_EQ(copy->getText(), original->getText());
  EXPECT_EQ(bytesOf(copy), bytesOf(original));
}

TEST_F(NodeTest, CreateDupAndDupTreeKeepClassAndValueOfEveryNodeClass) {
  for (const antlr::RefAST& n : oneOfEach()) {
    SCOPED_TRACE(classOf(n));
    expectSameNode(factory.dup(n), n);
    expectSameNode(factory.create(n), n);
    expectSameNode(factory.dupTree(n), n);
    expectSameNode(n->clone(), n);
  }
  // The long node's whole 64-bit value survives a copy.
  antlr::RefAST l(new LongAST(ClassFileTokenTypes::CONSTANT_LONG, 6442450944LL));
  EXPECT_EQ(static_cast<LongAST*>(factory.dup(l).get())->getValue(), 6442450944LL);
  // A copied CONSTANT_INTEGER is an IntAST with the same value and text.
  antlr::RefAST i(new IntAST(ClassFileTokenTypes::CONSTANT_INTEGER, 77));
  antlr::RefAST ci = factory.dup(i);
  ASSERT_NE(dynamic_cast<IntAST*>(ci.get()), nullptr);
  EXPECT_EQ(static_cast<IntAST*>(ci.get())->getValue(), 77);
  EXPECT_EQ(ci->getText(), "77");
}

TEST_F(NodeTest, CopiesOwnTheirValue) {
  antlr::RefAST original(new ByteArrayAST(ClassFileTokenTypes::CODE_BYTES, {1, 2, 3}));
  antlr::RefAST copy = factory.dup(original);
  static_cast<ByteArrayAST*>(original.get())->setValue({9});
  EXPECT_EQ(bytesOf(copy), (Bytes{1, 2, 3}));

  antlr::RefAST s(new StringAST(ClassFileTokenTypes::CONSTANT_UTF8, "abc"));
  antlr::RefAST sc = factory.create(s);
  static_cast<StringAST*>(s.get())->setValue("zzz");
  EXPECT_EQ(sc->getText(), "abc");
}

TEST_F(NodeTest, DupTreeKeepsShapeClassesAndValues) {
  using T = ClassFileTokenTypes;
  antlr::RefAST root(new StringAST(T::METHOD_INFO, ""));
  ChildAppender kids(static_cast<ValueAST*>(root.get()));
  kids.add(new ShortAST(T::ACCESS_FLAGS, 0x0109));
  kids.add(new ShortAST(T::NAME, 4));
  kids.add(new ShortAST(T::SIGNATURE, 5));
  ValueAST* list = new ShortAST(T::METHOD_ATTRIBUTES, 1);
  kids.add(list);
  ValueAST* attr = new IntAST(T::ATTRIBUTE_INFO_LENGTH, 13);
  ChildAppender(list).add(attr);
  ChildAppender(attr).add(new ByteArrayAST(T::ATTR_UNKNOWN, {0xB1}));

  antlr::RefAST copy = factory.dupTree(root);
  EXPECT_TRUE(copy->equalsTree(root));
  std::vector<antlr::RefAST> a = reader_test::children(root), b = reader_test::children(copy);
  ASSERT_EQ(a.size(), b.size());
  for (std::size_t k = 0; k < a.size(); ++k) expectSameNode(b[k], a[k]);
  antlr::RefAST copiedAttr = b[3]->getFirstChild();
  expectSameNode(copiedAttr, antlr::RefAST(attr));
  expectSameNode(copiedAttr->getFirstChild(), attr->getFirstChild());
}

TEST_F(NodeTest, NodesOfAnotherClassThanRegisteredCopyAsTheyAre) {
  using T = ClassFileTokenTypes;
  // A stack-map frame is a StringAST of type ATTR_STACK_MAP (registered: ShortAST).
  antlr::RefAST frame(new StringAST(T::ATTR_STACK_MAP, ""));
  expectSameNode(factory.dup(frame), frame);
  // The METHOD_INFO under an EnclosingMethod attribute is a ShortAST (registered: StringAST);
  // a creation of the registered class takes its class-file bytes.
  antlr::RefAST method(new ShortAST(T::METHOD_INFO, 5));
  expectSameNode(factory.dup(method), method);
  antlr::RefAST asRegistered = factory.create(method);
  EXPECT_EQ(classOf(asRegistered), "StringAST");
  EXPECT_EQ(bytesOf(asRegistered), (Bytes{0x00, 0x05}));
  // And the other way round: the registered ShortAST reads the StringAST's bytes.
  antlr::RefAST enclosing(new StringAST(T::ATTR_ENCLOSINGMETHOD, std::string("\x01\x02", 2)));
  antlr::RefAST asShort = factory.create(enclosing);
  EXPECT_EQ(classOf(asShort), "ShortAST");
  EXPECT_EQ(reader_test::shortValue(asShort), 0x0102u);
}

TEST_F(NodeTest, TextSetOnANodeBecomesItsValue) {
  antlr::RefAST s = factory.create(ClassFileTokenTypes::CONSTANT_UTF8, "hello");
  EXPECT_EQ(static_cast<StringAST*>(s.get())->getValue(), "hello");
  antlr::RefAST n = factory.create(ClassFileTokenTypes::CLASS_INFO, "-1");
  EXPECT_EQ(reader_test::shortValue(n), 0xFFFFu);
  EXPECT_EQ(n->getText(), "-1");
  antlr::RefAST l = factory.create(ClassFileTokenTypes::CONSTANT_LONG, "6442450944l");
  EXPECT_EQ(static_cast<LongAST*>(l.get())->getValue(), 6442450944LL);
}

TEST_F(NodeTest, VocabularyFileAgreesWithTheParsersTokenTable) {
  std::ifstream in(std::string(kavrin_test::kSourceDir) + "/reader/grammar/ClassFileTokenTypes.txt");
  ASSERT_TRUE(in);
  std::map<int, std::string> fromFile;
  std::string line;
  while (std::getline(in, line)) {
    const std::size_t eq = line.find('=');
    if (line.empty() || line[0] == '/' || eq == std::string::npos) continue;
    fromFile[std::stoi(line.substr(eq + 1))] = line.substr(0, eq);
  }
  EXPECT_EQ(fromFile.size(), 96u);
  EXPECT_EQ(registrar.getNumTokens(), 100);
  const char* const* names = registrar.getTokenNames();
  EXPECT_STREQ(names[0], "<0>");
  EXPECT_STREQ(names[1], "EOF");
  EXPECT_STREQ(names[2], "<2>");
  EXPECT_STREQ(names[3], "NULL_TREE_LOOKAHEAD");
  for (int t = 4; t < 100; ++t) EXPECT_EQ(fromFile[t], names[t]) << "type " << t;
  EXPECT_EQ(names[100], nullptr);
  EXPECT_STREQ(registrar.getTokenName(99), "BYTE");
  EXPECT_EQ(registrar.getTokenName(100), nullptr);
  EXPECT_EQ(registrar.getTokenName(101), nullptr);
}

TEST_F(NodeTest, LongSiblingChainsAreReleasedWithoutDeepRecursion) {
  // Far more siblings than stack frames fit into the default stack, recursively released.
  const int kCount = 400000;
  antlr::RefAST held;
  {
    antlr::RefAST root(new ShortAST(ClassFileTokenTypes::CONSTANT_POOL, 0));
    ChildAppender kids(static_cast<ValueAST*>(root.get()));
    for (int i = 0; i < kCount; ++i) {
      ValueAST* n = new ShortAST(ClassFileTokenTypes::CONSTANT_CLASS, static_cast<uint16_t>(i));
      kids.add(n);
      if (i == kCount - 10) held = antlr::RefAST(n);
    }
  }
  // A node held elsewhere keeps its own next siblings.
  ASSERT_TRUE(held);
  int after = 0;
  for (antlr::RefAST n = held->getNextSibling(); n; n = n->getNextSibling()) ++after;
  EXPECT_EQ(after, 9);
  EXPECT_EQ(reader_test::shortValue(held), static_cast<unsigned>((kCount - 10) & 0xFFFF));
}

#if defined(__SANITIZE_ADDRESS__)
TEST(NodeMemory, ANodeUsedAfterItsReleaseIsCaughtUnderTheSanitizer) {
  // Under AddressSanitizer nodes come from the ordinary allocator, not from a free list that
  // would hide the misuse.
  EXPECT_DEATH(
      {
        ShortAST* volatile node = new ShortAST(ClassFileTokenTypes::NAME, 7);
        delete node;
        std::printf("%u\n", static_cast<unsigned>(node->getValue()));
      },
      "use-after-free");
}
#endif

std::vector<uint8_t> namedClass(const std::string& name) {
  return reader_test::minimalClass(name, {}, 0, 0x21, {0, 0, 0, 0, 0, 0}).bytes();
}

// The constant-pool node of a parsed class whose pool holds its name; the rest dropped.
antlr::RefAST parsedPoolOnly(const std::string& name) {
  return reader_test::parseBytes(namedClass(name)).tree->getNextSibling()->getNextSibling();
}

#if defined(__SANITIZE_ADDRESS__)
TEST(NodeMemory, ANodeOfAParsedTreeUsedAfterTheTreeWentIsCaughtUnderTheSanitizer) {
  EXPECT_DEATH(
      {
        antlr::RefAST pool = parsedPoolOnly("p/Gone");
        std::printf("%s\n", pool->getFirstChild()->getText().c_str());
      },
      "use-after-free");
}
#else
TEST(NodeMemory, AParsedTreeStaysWhileOneOfItsNodesIsHeldAndGoesAfter) {
  const std::size_t before = NodeArena::keptArenas();
  antlr::RefAST pool = parsedPoolOnly("p/Held");
  EXPECT_EQ(NodeArena::keptArenas(), before + 1);
  // The whole tree is still there under the held node.
  EXPECT_EQ(pool->getType(), ClassFileTokenTypes::CONSTANT_POOL);
  EXPECT_EQ(pool->getFirstChild()->getText(), "p/Held");
  EXPECT_EQ(pool->getFirstChild()->getNextSibling()->getType(), ClassFileTokenTypes::CONSTANT_CLASS);

  // Grafted into a tree of its own, it lives as long as that tree.
  antlr::RefAST graft(new ShortAST(ClassFileTokenTypes::CONSTANT_POOL, 0));
  graft->setFirstChild(pool->getFirstChild());
  pool = antlr::nullAST;
  reader_test::parseBytes(namedClass("p/Other"));
  EXPECT_EQ(NodeArena::keptArenas(), before + 1);
  EXPECT_EQ(graft->getFirstChild()->getText(), "p/Held");

  // Once nothing refers to it, the next tree that goes takes it along.
  graft = antlr::nullAST;
  reader_test::parseBytes(namedClass("p/Last"));
  EXPECT_EQ(NodeArena::keptArenas(), before);
}
#endif

#if !defined(__SANITIZE_ADDRESS__)
TEST(NodeMemory, NodesReleasedOnAThreadThatMadeNoneServeTheOthersAfterIt) {
  const int kCount = 10000;
  antlr::RefAST root(new ShortAST(ClassFileTokenTypes::CONSTANT_POOL, 0));
  ChildAppender kids(static_cast<ValueAST*>(root.get()));
  for (int i = 0; i < kCount; ++i)
    kids.add(new ShortAST(ClassFileTokenTypes::CONSTANT_CLASS, static_cast<uint16_t>(i)));
  const std::size_t before = node_pool::sharedFreeNodes();
  std::thread([&root] { root = antlr::nullAST; }).join();
  EXPECT_GE(node_pool::sharedFreeNodes(), before + kCount);
}
#endif

TEST(StringHelpers, ReplaceCharReplacesEveryOccurrence) {
  EXPECT_EQ(replaceChar("java.lang.Object", '.', '/'), "java/lang/Object");
  EXPECT_EQ(replaceChar("", '.', '/'), "");
  EXPECT_EQ(replaceChar("abc", '.', '/'), "abc");
  EXPECT_EQ(replaceChar("a.b.c", '.', '_'), "a_b_c");
  EXPECT_EQ(replaceChar("java/lang/String", '/', '\\'), "java\\lang\\String");
}

TEST(StringHelpers, NarrowingAndWideningRoundTripAndMarkBadInput) {
  const std::u16string text = u"gr\u00f6\u00dfe \u03bb \u20ac \U0001D465";
  EXPECT_EQ(widenText(narrowText(text)), text);
  EXPECT_EQ(narrowText(u"plain"), "plain");
  EXPECT_EQ(narrowText(std::u16string(1, char16_t(0xD834))), "?");
  // A stray continuation byte and a truncated sequence.
  EXPECT_EQ(widenText("a\x80z"), (std::u16string{u'a', 0xFFFD, u'z'}));
  EXPECT_EQ(widenText("\xE2\x82"), (std::u16string{0xFFFD, 0xFFFD}));
  // An overlong encoding of '/'.
  EXPECT_EQ(widenText("\xC0\xAF"), (std::u16string{0xFFFD, 0xFFFD}));
}

}  // namespace
