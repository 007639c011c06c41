// Member records: ordering by member key, de-duplication, flags, and the C++ literals of
// constant values, checked against what a java run of the fixture prints.
#include "ClassCorpus.h"
#include "MemberRecords.h"
#include "ReaderTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <map>
#include <set>
#include <type_traits>

using namespace reader_test;
using T = ClassFileTokenTypes;

namespace {

// A float or double read from C++ or Java text (Java's Infinity and -Infinity included).
template <typename Real>
Real readReal(const std::string& text) {
  const char* c = text == "Infinity" ? "inf" : text == "-Infinity" ? "-inf" : text.c_str();
  if constexpr (std::is_same_v<Real, float>)
    return std::strtof(c, nullptr);
  else
    return std::strtod(c, nullptr);
}

// The literal reads back as the very bits of the value Java prints; an infinity has no literal.
template <typename Real>
void expectSameBits(const std::string& literal, const std::string& java) {
  const Real expected = readReal<Real>(java);
  if (!std::isfinite(expected)) {
    EXPECT_EQ(literal, "");
    return;
  }
  const Real got = readReal<Real>(literal);
  EXPECT_EQ(std::memcmp(&got, &expected, sizeof got), 0) << literal;
}

// A record of either kind with the name and the flags.
template <class Record>
Record named(const std::string& name, uint16_t flags) {
  Record record;
  record.setName(name);
  record.setAccessFlags(flags);
  return record;
}

MethodDescriptor method(const std::string& name, const std::string& descriptor, uint16_t flags = 0) {
  MethodDescriptor m = named<MethodDescriptor>(name, flags);
  m.setSignature(descriptor);
  return m;
}

FieldDescriptor field(const std::string& name, const std::string& type, uint16_t flags = 0) {
  FieldDescriptor f = named<FieldDescriptor>(name, flags);
  f.setType(type);
  return f;
}

TEST(MemberRecords, MethodsOrderByNameFollowedByDescriptor) {
  std::set<MethodDescriptor> set;
  set.insert(method("m", "(I)V"));
  set.insert(method("ab", "()V"));
  set.insert(method("m", "()V"));
  set.insert(method("a", "(Z)V"));
  std::vector<std::string> keys;
  for (const MethodDescriptor& m : set) keys.push_back(m.getName() + m.getSignature());
  // "a(Z)V" before "ab()V": '(' sorts before 'b'.
  EXPECT_EQ(keys, (std::vector<std::string>{"a(Z)V", "ab()V", "m()V", "m(I)V"}));
}

TEST(MemberRecords, TheFirstRecordOfAKeyStays) {
  std::set<MethodDescriptor> methods;
  EXPECT_TRUE(methods.insert(method("run", "()V", 0x0001)).second);
  EXPECT_FALSE(methods.insert(method("run", "()V", 0x0108)).second);
  ASSERT_EQ(methods.size(), 1u);
  EXPECT_EQ(methods.begin()->getAccessFlags(), 0x0001);

  std::set<FieldDescriptor> fields;
  fields.insert(field("x", "I", 0x0002));
  fields.insert(field("x", "I", 0x0001));
  fields.insert(field("x", "J"));
  ASSERT_EQ(fields.size(), 2u);
  EXPECT_EQ(fields.begin()->getAccessFlags(), 0x0002);
}

TEST(MemberRecords, FlagGettersReadTheirBits) {
  const MethodDescriptor m = method("f", "()V", 0x0100 | 0x0400 | 0x0008 | 0x0004);
  EXPECT_TRUE(m.isNative());
  EXPECT_TRUE(m.isAbstract());
  EXPECT_TRUE(m.isStatic());
  EXPECT_TRUE(m.isProtected());
  EXPECT_FALSE(m.isPublic() || m.isPrivate() || m.isFinal());
  const FieldDescriptor f = field("g", "I", 0x0001 | 0x0010);
  EXPECT_TRUE(f.isPublic());
  EXPECT_TRUE(f.isFinal());
  EXPECT_FALSE(f.isPrivate() || f.isProtected() || f.isStatic());
}

TEST(MemberRecords, CopiesCarryTheConstantValue) {
  FieldDescriptor f = field("MAX", "J", 0x0019);
  EXPECT_EQ(f.getConstValue().getKind(), ConstValue::kNone);
  f.setConstValue(ConstValue(int64_t(9223372036854775807LL)));
  FieldDescriptor copy(f);
  FieldDescriptor assigned;
  assigned = f;
  EXPECT_EQ(copy.getConstValue().toLiteral(), "9223372036854775807l");
  EXPECT_EQ(assigned.getConstValue().getKind(), ConstValue::kLong);
  EXPECT_EQ(assigned.getName(), "MAX");
}

TEST(ConstValueLiterals, EveryKind) {
  EXPECT_EQ(ConstValue().toLiteral(), "");
  EXPECT_EQ(ConstValue().getKind(), 0);
  EXPECT_EQ(ConstValue(std::string("text")).toLiteral(), "text");
  EXPECT_EQ(ConstValue(std::u16string(u"gr\u00f6\u00dfe")).toLiteral(),
            "gr\xC3\xB6\xC3\x9F"
            "e");
  EXPECT_EQ(ConstValue(int32_t(-5)).toLiteral(), "-5");
  EXPECT_EQ(ConstValue(0.5f).toLiteral(), "0.5");
  EXPECT_EQ(ConstValue(int64_t(7)).toLiteral(), "7l");
  EXPECT_EQ(ConstValue(1.0).toLiteral(), "1");
  EXPECT_EQ(ConstValue(std::numeric_limits<float>::quiet_NaN()).toLiteral(), "");
  EXPECT_EQ(ConstValue(-std::numeric_limits<float>::infinity()).toLiteral(), "");
  EXPECT_EQ(ConstValue(std::numeric_limits<double>::infinity()).toLiteral(), "");
  EXPECT_EQ(ConstValue(std::numeric_limits<double>::quiet_NaN()).toLiteral(), "");
}

TEST(ConstValueLiterals, LongsKeepAllSixtyFourBits) {
  EXPECT_EQ(ConstValue(int64_t(6442450944LL)).toLiteral(), "6442450944l");
  EXPECT_EQ(ConstValue(std::numeric_limits<int64_t>::max()).toLiteral(), "9223372036854775807l");
  EXPECT_EQ(ConstValue(std::numeric_limits<int64_t>::min()).toLiteral(), "(-9223372036854775807l-1)");
  EXPECT_EQ(ConstValue(int64_t(-1)).toLiteral(), "-1l");
  EXPECT_EQ(ConstValue(int64_t(-1)).getLong(), -1);
}

TEST(ConstValueLiterals, FloatingLiteralsReadBackExactly) {
  EXPECT_EQ(ConstValue(3.141592653589793).toLiteral(), "3.1415926535897931");
  EXPECT_EQ(ConstValue(0.1).toLiteral(), "0.10000000000000001");
  EXPECT_EQ(ConstValue(0.1f).toLiteral(), "0.100000001");
  for (double d : {3.141592653589793, 2.718281828459045, 0.1, -0.0, 4.9e-324, 1.7976931348623157e308, 123456789.0}) {
    const std::string text = ConstValue(d).toLiteral();
    const double back = std::strtod(text.c_str(), nullptr);
    EXPECT_EQ(std::memcmp(&back, &d, sizeof d), 0) << text;
  }
  for (float f : {3.1415927f, 1.4e-45f, 3.4028235e38f, 0.1f, -2.5f}) {
    const std::string text = ConstValue(f).toLiteral();
    EXPECT_EQ(std::strtof(text.c_str(), nullptr), f) << text;
  }
}

TEST(ConstValueLiterals, NormalizeCopiesTheValue) {
  ConstValue i(int32_t(-2));
  EXPECT_EQ(i.normalize().number, 0xFFFFFFFEu);
  ConstValue l(int64_t(-2));
  EXPECT_EQ(l.normalize().number, 0xFFFFFFFFFFFFFFFEull);
  ConstValue s(std::string("abc"));
  EXPECT_EQ(s.normalize().text, "abc");
  ConstValue nan(std::numeric_limits<double>::quiet_NaN());
  EXPECT_EQ(nan.normalize().number, 0u);
  // A copy starts without the normalised part; an assignment carries it over.
  ConstValue copy(s);
  EXPECT_EQ(copy.normalize().text, "abc");
  ConstValue assigned;
  assigned = i;
  EXPECT_EQ(assigned.getKind(), ConstValue::kInt);
}

// The constants of fixtures.Constants as the class-info walker builds them: each static field
// with a ConstantValue attribute, by the kind of the pool entry the attribute names.
std::map<std::string, ConstValue> constantsOf(const Parsed& p) {
  std::map<std::string, ConstValue> out;
  for (const antlr::RefAST& f : children(siblings(p.tree)[4])) {
    const std::string name = utf8At(p, shortValue(child(f, T::NAME)));
    for (const antlr::RefAST& a : children(child(f, T::FIELD_ATTRIBUTES))) {
      const antlr::RefAST k = a->getFirstChild();
      if (k->getType() != T::ATTR_CONSTANT_VALUE) continue;
      const antlr::RefAST e = p.pool.at(shortValue(k));
      switch (e->getType()) {
        case T::CONSTANT_INTEGER:
          out[name] = ConstValue(static_cast<IntAST*>(e.get())->getValue());
          break;
        case T::CONSTANT_FLOAT:
          out[name] = ConstValue(static_cast<FloatAST*>(e.get())->getValue());
          break;
        case T::CONSTANT_LONG:
          out[name] = ConstValue(static_cast<LongAST*>(e.get())->getValue());
          break;
        case T::CONSTANT_DOUBLE:
          out[name] = ConstValue(static_cast<DoubleAST*>(e.get())->getValue());
          break;
        case T::CONSTANT_STRING:
          out[name] = ConstValue(utf8At(p, shortValue(e->getFirstChild())));
          break;
        default:
          break;
      }
    }
  }
  return out;
}

TEST(ConstValueLiterals, AgreeWithTheValuesJavaPrints) {
  const kavrin_test::CommandResult run =
      kavrin_test::runJava(kavrin_test::kFixtureClasses, {"fixtures.ConstantsPrinter"});
  ASSERT_EQ(run.exitCode, 0) << run.output;
  std::map<std::string, std::string> printed;
  std::size_t start = 0;
  while (start < run.output.size()) {
    std::size_t end = run.output.find('\n', start);
    if (end == std::string::npos) end = run.output.size();
    const std::string line = run.output.substr(start, end - start);
    const std::size_t eq = line.find('=');
    if (eq != std::string::npos) printed[line.substr(0, eq)] = line.substr(eq + 1);
    start = end + 1;
  }
  const std::map<std::string, ConstValue> constants = constantsOf(parseBytes(fixtureBytes("fixtures/Constants.class")));
  ASSERT_GE(printed.size(), 30u);
  std::set<int> kinds;
  for (const auto& [name, java] : printed) {
    SCOPED_TRACE(name + "=" + java);
    auto it = constants.find(name);
    ASSERT_NE(it, constants.end());
    const ConstValue& value = it->second;
    const std::string literal = value.toLiteral();
    kinds.insert(value.getKind());
    switch (value.getKind()) {
      case ConstValue::kInt:
        EXPECT_EQ(literal, java == "true" ? "1" : java == "false" ? "0" : java);
        break;
      case ConstValue::kLong:
        if (java == "-9223372036854775808")
          EXPECT_EQ(literal, "(-9223372036854775807l-1)");
        else
          EXPECT_EQ(literal, java + "l");
        break;
      case ConstValue::kFloat:
        expectSameBits<float>(literal, java);
        break;
      case ConstValue::kDouble:
        expectSameBits<double>(literal, java);
        break;
      case ConstValue::kString:
        EXPECT_EQ(literal, java);
        break;
      default:
        ADD_FAILURE() << "kind " << int(value.getKind());
    }
  }
  EXPECT_EQ(kinds, (std::set<int>{ConstValue::kString, ConstValue::kInt, ConstValue::kFloat, ConstValue::kLong,
                                  ConstValue::kDouble}));
}

}  // namespace
