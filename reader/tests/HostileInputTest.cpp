// Malformed and hostile class files: the parser fails with an antlr exception and never crashes,
// reads outside its data, recurses without bound or allocates what the input only claims.
#include "ClassCorpus.h"
#include "ReaderTestSupport.h"
#include "TreeShape.h"

#include <antlr/ASTFactory.hpp>
#include <gtest/gtest.h>

#include <random>
#include <set>

using namespace reader_test;
using T = ClassFileTokenTypes;
using Bytes = std::vector<uint8_t>;

namespace {

// Positions in a well-formed class file that the flip tests aim at: the bytes of the constant
// pool, and every u2 field that holds a constant-pool index or a count, and every u4 length.
struct Targets {
  std::size_t poolBegin = 10;
  std::size_t poolEnd = 10;
  std::vector<std::size_t> fields;  // first byte of each index, count or length field
};

class Scanner {
 public:
  explicit Scanner(const Bytes& b) : m_b(b) {}

  Targets scan() {
    m_pos = 8;
    const unsigned count = u2(true);
    m_t.poolBegin = m_pos;
    std::vector<std::string> utf8(count);
    for (unsigned i = 1; i < count; ++i) {
      const unsigned tag = u1();
      switch (tag) {
        case 1: {
          const unsigned n = u2(true);
          utf8[i].assign(reinterpret_cast<const char*>(&m_b[m_pos]), n);
          m_pos += n;
          break;
        }
        case 3:
        case 4:
          m_pos += 4;
          break;
        case 5:
        case 6:
          m_pos += 8;
          ++i;
          break;
        case 7:
        case 8:
        case 16:
        case 19:
        case 20:
          u2(true);
          break;
        case 9:
        case 10:
        case 11:
        case 12:
        case 17:
        case 18:
          u2(true);
          u2(true);
          break;
        case 15:
          u1();
          u2(true);
          break;
        default:
          throw std::runtime_error("scanner: tag " + std::to_string(tag));
      }
    }
    m_t.poolEnd = m_pos;
    u2(true);  // access flags
    u2(true);
    u2(true);
    for (unsigned n = u2(true); n > 0; --n) u2(true);
    for (int list = 0; list < 2; ++list) {
      for (unsigned n = u2(true); n > 0; --n) {
        u2(true);
        u2(true);
        u2(true);
        attributes(utf8);
      }
    }
    attributes(utf8);
    return m_t;
  }

 private:
  void attributes(const std::vector<std::string>& utf8) {
    for (unsigned n = u2(true); n > 0; --n) {
      const unsigned nameIndex = u2(true);
      m_t.fields.push_back(m_pos);
      const uint32_t length = u4();
      const std::size_t end = m_pos + length;
      const std::string& name = nameIndex < utf8.size() ? utf8[nameIndex] : std::string();
      if (name == "Code") {
        u2(true);
        u2(true);
        m_t.fields.push_back(m_pos);
        m_pos += u4();
        for (unsigned e = u2(true); e > 0; --e)
          for (int k = 0; k < 4; ++k) u2(true);
        attributes(utf8);
      } else if (name == "ConstantValue" || name == "Signature" || name == "SourceFile") {
        u2(true);
      } else if (name == "Exceptions") {
        for (unsigned e = u2(true); e > 0; --e) u2(true);
      } else if (name == "InnerClasses") {
        for (unsigned e = u2(true); e > 0; --e)
          for (int k = 0; k < 4; ++k) u2(true);
      } else if (name == "LocalVariableTable" || name == "LineNumberTable") {
        const int width = name == "LineNumberTable" ? 2 : 5;
        for (unsigned e = u2(true); e > 0; --e)
          for (int k = 0; k < width; ++k) u2(true);
      }
      m_pos = end;
    }
  }

  unsigned u1() { return m_b.at(m_pos++); }
  unsigned u2(bool target) {
    if (target) m_t.fields.push_back(m_pos);
    const unsigned v = (m_b.at(m_pos) << 8) | m_b.at(m_pos + 1);
    m_pos += 2;
    return v;
  }
  uint32_t u4() {
    const uint32_t v =
        (uint32_t(m_b.at(m_pos)) << 24) | (m_b.at(m_pos + 1) << 16) | (m_b.at(m_pos + 2) << 8) | m_b.at(m_pos + 3);
    m_pos += 4;
    return v;
  }

  const Bytes& m_b;
  std::size_t m_pos = 0;
  Targets m_t;
};

// Uses everything a parsed tree offers, so that a bad value shows up here rather than later.
void exerciseTree(const antlr::RefAST& tree) {
  antlr::ASTFactory factory;
  ClassFileParser::initializeASTFactory(factory);
  std::vector<antlr::RefAST> stack = siblings(tree);
  std::size_t bytes = 0;
  while (!stack.empty()) {
    antlr::RefAST n = stack.back();
    stack.pop_back();
    bytes += n->getText().size();
    bytes += std::string(n->typeName()).size();
    if (const ValueAST* v = dynamic_cast<const ValueAST*>(n.get())) {
      const unsigned char* b = v->getBytes();
      for (std::size_t i = 0; i < v->getByteCount(); ++i) bytes += b[i];
    }
    for (const antlr::RefAST& c : children(n)) stack.push_back(c);
  }
  antlr::RefAST copy = factory.dupList(tree);
  EXPECT_TRUE(copy->equalsList(tree));
  EXPECT_GT(bytes, 0u);
}

// Parses the bytes; true when they parse, false on an antlr exception. Anything else fails.
bool parsesOrFailsCleanly(const Bytes& bytes, std::string* message = nullptr) {
  try {
    Parsed p = parseBytes(bytes);
    exerciseTree(p.tree);
    return true;
  } catch (antlr::ANTLRException& e) {
    if (message) *message = e.getMessage();
    return false;
  }
}

// Among them classes that end in an attribute of a kind the parser does not know (Lambdas:
// BootstrapMethods or InnerClasses) and in a SourceFile attribute.
const char* const kFixtures[] = {"fixtures/Lambdas.class", "fixtures/Members.class", "fixtures/Generic.class",
                                 "fixtures/Constants.class", "fixtures/Outer$1.class"};

TEST(HostileInput, EveryPrefixOfAClassFileFails) {
  std::size_t prefixes = 0;
  for (const char* name : kFixtures) {
    SCOPED_TRACE(name);
    const Bytes whole = fixtureBytes(name);
    ASSERT_TRUE(parsesOrFailsCleanly(whole));
    for (std::size_t n = 0; n < whole.size(); ++n) {
      const Bytes prefix(whole.begin(), whole.begin() + n);
      EXPECT_FALSE(parsesOrFailsCleanly(prefix)) << "prefix of " << n << " bytes parsed";
      ++prefixes;
    }
  }
  EXPECT_GT(prefixes, 5000u);
}

TEST(HostileInput, RandomFlipsInPoolAndIndexFieldsNeverCrash) {
  std::mt19937 random(20261209);
  std::size_t parsed = 0, failed = 0;
  std::set<std::string> messages;
  for (const char* name : kFixtures) {
    SCOPED_TRACE(name);
    const Bytes original = fixtureBytes(name);
    const Targets targets = Scanner(original).scan();
    ASSERT_GT(targets.fields.size(), 20u);
    ASSERT_GT(targets.poolEnd, targets.poolBegin);
    for (int round = 0; round < 1200; ++round) {
      Bytes bytes = original;
      const int flips = 1 + static_cast<int>(random() % 3);
      for (int k = 0; k < flips; ++k) {
        std::size_t at;
        if (random() % 2 == 0) {
          at = targets.poolBegin + random() % (targets.poolEnd - targets.poolBegin);
        } else {
          at = targets.fields[random() % targets.fields.size()] + random() % 2;
        }
        switch (random() % 3) {
          case 0:
            bytes[at] = static_cast<uint8_t>(random());
            break;
          case 1:
            bytes[at] ^= static_cast<uint8_t>(1u << (random() % 8));
            break;
          default:
            bytes[at] = (random() % 2) ? 0xFF : 0x00;
            break;
        }
      }
      std::string message;
      if (parsesOrFailsCleanly(bytes, &message)) {
        ++parsed;
      } else {
        ++failed;
        messages.insert(message);
      }
    }
  }
  // Both outcomes occur, and the failures are of many kinds.
  EXPECT_GT(parsed, 100u);
  EXPECT_GT(failed, 1000u);
  EXPECT_GT(messages.size(), 5u);
}

TEST(HostileInput, RandomBytesAfterTheMagicNumberNeverCrash) {
  std::mt19937 random(7);
  for (int round = 0; round < 2000; ++round) {
    Bytes bytes = {0xCA, 0xFE, 0xBA, 0xBE};
    const std::size_t n = random() % 300;
    for (std::size_t i = 0; i < n; ++i)
      bytes.push_back(static_cast<uint8_t>(random() % 4 == 0 ? random() % 4 : random()));
    parsesOrFailsCleanly(bytes);
  }
}

TEST(HostileInput, ClaimedLengthsAreNotAllocatedUpFront) {
  // A code_length of 0xFFFFFFF0 in a short file.
  ClassBuilder pool;
  pool.utf8("Code");
  ClassBuilder tail;
  tail.u2(0).u2(0).u2(1).u2(5).u4(0xFFFFFFFFu).u2(1).u2(1).u4(0xFFFFFFF0u).u1(0xB1);
  const Bytes code = minimalClass("p/A", pool.bytes(), 1, 0x21, tail.bytes()).bytes();
  EXPECT_EQ(parseFailure(code).message, "codepos == code_length");

  // An unknown attribute that claims 4 GB.
  ClassBuilder upool;
  upool.utf8("Huge");
  ClassBuilder utail;
  utail.u2(0).u2(0).u2(1).u2(5).u4(0xFFFFFFFFu).u1(1).u1(2).u1(3);
  EXPECT_EQ(parseFailure(minimalClass("p/A", upool.bytes(), 1, 0x21, utail.bytes()).bytes()).message,
            "bytepos == length");

  // Counts of 65535 with nothing behind them.
  ClassBuilder fields;
  fields.u2(0xFFFF);
  EXPECT_EQ(parseFailure(minimalClass("p/A", {}, 0, 0x21, fields.bytes()).bytes()).message, "fields_count==0");
}

// A Code attribute nested `depth` levels deep (name index 5).
Bytes nestedCode(int depth) {
  Bytes inner;  // the innermost Code attribute, complete with its header
  for (int level = 0; level < depth; ++level) {
    ClassBuilder body;
    body.u2(1).u2(1).u4(1).u1(0xB1).u2(0).u2(inner.empty() ? 0 : 1).raw(inner);
    ClassBuilder attr;
    attr.u2(5).u4(static_cast<uint32_t>(body.size())).raw(body.bytes());
    inner = attr.bytes();
  }
  ClassBuilder pool;
  pool.utf8("Code");
  ClassBuilder tail;
  tail.u2(0).u2(0).u2(1).raw(inner);
  return minimalClass("p/A", pool.bytes(), 1, 0x21, tail.bytes()).bytes();
}

TEST(HostileInput, CodeNestingIsBounded) {
  EXPECT_EQ(parseFailure(nestedCode(16)).kind, "");
  EXPECT_EQ(parseFailure(nestedCode(17)).message, "m_nCodeNesting <= kMaxCodeNesting");
  EXPECT_EQ(parseFailure(nestedCode(2000)).message, "m_nCodeNesting <= kMaxCodeNesting");
}

TEST(HostileInput, AFullConstantPoolParsesAndIsReleased) {
  ClassBuilder b;
  b.header().u2(0xFFFF).utf8("p/A").u1(7).u2(1).utf8("java/lang/Object").u1(7).u2(3);
  for (unsigned i = 5; i < 0xFFFF; ++i) b.utf8("");
  b.u2(0x21).u2(2).u2(4).u2(0).u2(0).u2(0).u2(0);
  {
    Parsed p = parseBytes(b.bytes());
    EXPECT_EQ(children(siblings(p.tree)[2]).size(), 0xFFFEu);
    EXPECT_EQ(p.className, "p/A");
  }
  // A second parse after the first tree was released.
  EXPECT_EQ(parseBytes(b.bytes()).className, "p/A");
}

TEST(HostileInput, ClassNamesThatResolveToNothingAreEmpty) {
  // this_class names a Utf8 entry, a slot beyond the pool, and a Class entry naming a Class.
  for (unsigned thisIndex : {1u, 200u, 5u}) {
    ClassBuilder b;
    b.header().u2(6).utf8("p/A").u1(7).u2(1).utf8("java/lang/Object").u1(7).u2(3).u1(7).u2(2);
    b.u2(0x21).u2(thisIndex).u2(4).u2(0).u2(0).u2(0).u2(0);
    EXPECT_EQ(parseBytes(b.bytes()).className, "") << thisIndex;
  }
}

}  // namespace
