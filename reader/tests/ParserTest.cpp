// The class-file lexer and parser: javac's class files of every kind, JDK 17's java.base, and
// hand-made class files for the structure's edge cases and failures.
#include "ClassCorpus.h"
#include "ClassParseHost.h"
#include "ReaderTestSupport.h"
#include "TreeShape.h"

#include <gtest/gtest.h>

#include <cmath>
#include <istream>
#include <map>
#include <sstream>

using namespace reader_test;
using T = ClassFileTokenTypes;
using Bytes = std::vector<uint8_t>;

namespace {

// The attribute nodes (children of ATTRIBUTE_INFO_LENGTH) under a list node.
std::vector<antlr::RefAST> attributeKinds(const antlr::RefAST& list) {
  std::vector<antlr::RefAST> out;
  for (const antlr::RefAST& a : children(list)) out.push_back(a->getFirstChild());
  return out;
}

// The METHOD_INFO node of the named method.
antlr::RefAST findMethod(const Parsed& p, const std::string& name) {
  for (const antlr::RefAST& m : children(siblings(p.tree)[5]))
    if (utf8At(p, shortValue(child(m, T::NAME))) == name) return m;
  return antlr::RefAST();
}

antlr::RefAST findAttribute(const Parsed& p, const antlr::RefAST& list, const std::string& unknownName, int kind) {
  for (const antlr::RefAST& k : attributeKinds(list)) {
    if (k->getType() != kind) continue;
    if (kind != T::ATTR_UNKNOWN || k->getFirstChild()->getText() == unknownName) return k;
  }
  (void)p;
  return antlr::RefAST();
}

// --- javac's class files -----------------------------------------------------------------------

TEST(ParserFixtures, EveryFixtureParsesIntoTheDocumentedTree) {
  TreeShapeChecker checker;
  std::size_t count = 0;
  for (const char* root : {kavrin_test::kFixtureClasses, kavrin_test::kFixtureClassesNoDebug}) {
    for (const ClassFile& f : classesUnder(root)) {
      SCOPED_TRACE(f.name);
      Parsed p;
      ASSERT_NO_THROW(p = parseBytes(f.bytes));
      EXPECT_EQ(checker.check(p.tree), std::vector<std::string>());
      // The class's name is its path below the class folder; javac --release 8 writes 52.0.
      const std::string expected =
          f.name.substr(std::string(root).size() + 1, f.name.size() - std::string(root).size() - 7);
      EXPECT_EQ(p.className, expected);
      EXPECT_EQ(Bytes(p.version, p.version + 4), (Bytes{0x00, 0x00, 0x00, 0x34}));
      ++count;
    }
  }
  EXPECT_GT(count, 60u);
}

TEST(ParserFixtures, ClassesAndInterfacesAreToldApart) {
  Parsed named = parseBytes(fixtureBytes("fixtures/Named.class"));
  EXPECT_TRUE(named.isInterface);
  EXPECT_EQ(siblings(named.tree)[3]->getType(), T::THIS_INTERFACE);
  EXPECT_EQ(shortValue(child(siblings(named.tree)[3], T::ACCESS_FLAGS)) & 0x0601u, 0x0601u);

  Parsed members = parseBytes(fixtureBytes("fixtures/Members.class"));
  EXPECT_FALSE(members.isInterface);
  EXPECT_EQ(siblings(members.tree)[3]->getType(), T::THIS_CLASS);
  EXPECT_EQ(members.className, "fixtures/Members");
}

TEST(ParserFixtures, NativeMethodsAreNoticed) {
  EXPECT_TRUE(parseBytes(fixtureBytes("fixtures/natives/NativeMethods.class")).hasNativeMethods);
  EXPECT_TRUE(parseBytes(fixtureBytes("fixtures/Base.class")).hasNativeMethods);
  EXPECT_FALSE(parseBytes(fixtureBytes("fixtures/Members.class")).hasNativeMethods);
  EXPECT_FALSE(parseBytes(fixtureBytes("fixtures/Named.class")).hasNativeMethods);

  Parsed natives = parseBytes(fixtureBytes("fixtures/natives/NativeMethods.class"));
  bool sawNativeWithoutCode = false;
  for (const antlr::RefAST& m : children(siblings(natives.tree)[5])) {
    if (shortValue(child(m, T::ACCESS_FLAGS)) & 0x0100) {
      sawNativeWithoutCode = true;
      EXPECT_EQ(findAttribute(natives, child(m, T::METHOD_ATTRIBUTES), "", T::ATTR_CODE), antlr::RefAST());
    }
  }
  EXPECT_TRUE(sawNativeWithoutCode);
}

TEST(ParserFixtures, SuperClassAndInterfacesAreRecorded) {
  Parsed p = parseBytes(fixtureBytes("fixtures/Derived.class"));
  const antlr::RefAST info = siblings(p.tree)[3];
  EXPECT_EQ(classAt(p, shortValue(child(info, T::CLASS_INFO))), "fixtures/Derived");
  EXPECT_EQ(classAt(p, shortValue(child(info, T::EXTENDS)->getFirstChild())), "fixtures/Middle");
  std::vector<std::string> interfaces;
  for (const antlr::RefAST& i : children(child(info, T::IMPLEMENTS))) interfaces.push_back(classAt(p, shortValue(i)));
  EXPECT_EQ(interfaces, (std::vector<std::string>{"fixtures/Named", "fixtures/Sized"}));
}

TEST(ParserFixtures, EnumClassHasItsFlagSuperClassAndSignature) {
  Parsed p = parseBytes(fixtureBytes("fixtures/Color.class"));
  const antlr::RefAST info = siblings(p.tree)[3];
  EXPECT_NE(shortValue(child(info, T::ACCESS_FLAGS)) & 0x4000u, 0u);
  EXPECT_EQ(classAt(p, shortValue(child(info, T::EXTENDS)->getFirstChild())), "java/lang/Enum");
  const antlr::RefAST sig = findAttribute(p, siblings(p.tree)[6], "", T::ATTR_SIGNATURE);
  ASSERT_TRUE(sig);
  EXPECT_EQ(utf8At(p, shortValue(sig->getFirstChild())), "Ljava/lang/Enum<Lfixtures/Color;>;");
}

TEST(ParserFixtures, NestedAndAnonymousClassesCarryTheirAttributes) {
  Parsed inner = parseBytes(fixtureBytes("fixtures/Outer$Inner.class"));
  const antlr::RefAST classes = findAttribute(inner, siblings(inner.tree)[6], "", T::ATTR_INNER_CLASSES);
  ASSERT_TRUE(classes);
  bool found = false;
  for (const antlr::RefAST& e : children(classes))
    found |= classAt(inner, shortValue(child(e, T::INNER_CLASS_INFO))) == "fixtures/Outer$Inner" &&
             classAt(inner, shortValue(child(e, T::OUTER_CLASS_INFO))) == "fixtures/Outer";
  EXPECT_TRUE(found);

  for (const char* name : {"fixtures/Outer$1.class", "fixtures/Outer$1Local.class"}) {
    SCOPED_TRACE(name);
    Parsed p = parseBytes(fixtureBytes(name));
    const antlr::RefAST em = findAttribute(p, siblings(p.tree)[6], "", T::ATTR_ENCLOSINGMETHOD);
    ASSERT_TRUE(em);
    EXPECT_NE(dynamic_cast<StringAST*>(em.get()), nullptr);
    EXPECT_EQ(classAt(p, shortValue(child(em, T::CLASS_INFO))), "fixtures/Outer");
    EXPECT_NE(dynamic_cast<ShortAST*>(child(em, T::METHOD_INFO).get()), nullptr);
  }
}

TEST(ParserFixtures, GenericSignaturesAreKept) {
  Parsed p = parseBytes(fixtureBytes("fixtures/Generic.class"));
  const antlr::RefAST sig = findAttribute(p, siblings(p.tree)[6], "", T::ATTR_SIGNATURE);
  ASSERT_TRUE(sig);
  EXPECT_EQ(utf8At(p, shortValue(sig->getFirstChild())).rfind("<T::Ljava/lang/Comparable<TT;>;>", 0), 0u);
  int methodSignatures = 0;
  for (const antlr::RefAST& m : children(siblings(p.tree)[5]))
    methodSignatures += findAttribute(p, child(m, T::METHOD_ATTRIBUTES), "", T::ATTR_SIGNATURE) ? 1 : 0;
  EXPECT_GE(methodSignatures, 2);
}

TEST(ParserFixtures, ThrowsClausesAndExceptionTablesAreKept) {
  Parsed p = parseBytes(fixtureBytes("fixtures/Thrower.class"));
  const antlr::RefAST two = findMethod(p, "declaresTwo");
  ASSERT_TRUE(two);
  const antlr::RefAST exceptions = findAttribute(p, child(two, T::METHOD_ATTRIBUTES), "", T::ATTR_EXCEPTIONS);
  ASSERT_TRUE(exceptions);
  std::vector<std::string> thrown;
  for (const antlr::RefAST& e : children(exceptions)) thrown.push_back(classAt(p, shortValue(e)));
  EXPECT_EQ(thrown, (std::vector<std::string>{"java/io/IOException", "java/lang/InterruptedException"}));

  const antlr::RefAST parse = findMethod(p, "parse");
  ASSERT_TRUE(parse);
  const antlr::RefAST code = findAttribute(p, child(parse, T::METHOD_ATTRIBUTES), "", T::ATTR_CODE);
  ASSERT_TRUE(code);
  const std::vector<antlr::RefAST> table = children(child(code, T::ATTR_EXCEPTIONS));
  ASSERT_EQ(table.size(), 1u);
  EXPECT_EQ(classAt(p, shortValue(child(table[0], T::CATCH_TYPE))), "java/lang/NumberFormatException");
  EXPECT_GT(bytesOf(child(code, T::CODE_BYTES)).size(), 0u);
}

TEST(ParserFixtures, LongAndDoubleConstantsTakeTwoPoolSlots) {
  Parsed p = parseBytes(fixtureBytes("fixtures/Constants.class"));
  const std::vector<antlr::RefAST> entries = children(siblings(p.tree)[2]);
  bool sawBig = false, sawPi = false;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const int t = entries[i]->getType();
    if (t != T::CONSTANT_LONG && t != T::CONSTANT_DOUBLE) continue;
    ASSERT_LT(i + 1, entries.size());
    EXPECT_EQ(entries[i + 1]->getType(), T::CONSTANT_CONTINUED);
    EXPECT_FALSE(p.pool[i + 2]);  // the slot after the entry (pool index i + 1) is empty
    if (t == T::CONSTANT_LONG && static_cast<LongAST*>(entries[i].get())->getValue() == 6442450944LL) sawBig = true;
    if (t == T::CONSTANT_DOUBLE && static_cast<DoubleAST*>(entries[i].get())->getValue() == 3.141592653589793)
      sawPi = true;
  }
  EXPECT_TRUE(sawBig);
  EXPECT_TRUE(sawPi);
  EXPECT_FALSE(p.pool[0]);
}

TEST(ParserFixtures, LambdaPoolEntriesAreOpaqueLeavesOfOneSlot) {
  Parsed p = parseBytes(fixtureBytes("fixtures/Lambdas.class"));
  std::map<int, int> tags;
  for (const antlr::RefAST& e : children(siblings(p.tree)[2]))
    if (e->getType() == T::ATTR_UNKNOWN) ++tags[bytesOf(e)[0]];
  EXPECT_GT(tags[15], 0);
  EXPECT_GT(tags[16], 0);
  EXPECT_GT(tags[18], 0);
  EXPECT_TRUE(findAttribute(p, siblings(p.tree)[6], "BootstrapMethods", T::ATTR_UNKNOWN));
  // A MethodHandle's reference index names a method reference, so the slots line up.
  for (const antlr::RefAST& e : children(siblings(p.tree)[2])) {
    const Bytes b = bytesOf(e);
    if (e->getType() == T::ATTR_UNKNOWN && b[0] == 15) {
      const unsigned ref = (b[2] << 8) | b[3];
      ASSERT_LT(ref, p.pool.size());
      EXPECT_TRUE(p.pool[ref]->getType() == T::CONSTANT_METHODREF ||
                  p.pool[ref]->getType() == T::CONSTANT_INTERFACEMETHODREF);
    }
  }
}

TEST(ParserCorpus, EveryClassOfJavaBaseParses) {
  const std::vector<ClassFile> classes = javaBaseClasses();
  ASSERT_GT(classes.size(), 5000u);
  TreeShapeChecker checker;
  std::size_t withHandles = 0, failures = 0;
  for (const ClassFile& f : classes) {
    Parsed p;
    try {
      p = parseBytes(f.bytes);
    } catch (antlr::ANTLRException& e) {
      ADD_FAILURE() << f.name << ": " << e.getMessage();
      if (++failures > 10) return;
      continue;
    }
    const std::vector<std::string> problems = checker.check(p.tree);
    EXPECT_TRUE(problems.empty()) << f.name << ": " << problems.front();
    EXPECT_EQ("classes/" + p.className + ".class", f.name);
    for (const antlr::RefAST& e : children(siblings(p.tree)[2]))
      if (e->getType() == T::ATTR_UNKNOWN) {
        ++withHandles;
        break;
      }
  }
  EXPECT_GT(withHandles, 300u);
}

// --- Hand-made class files ---------------------------------------------------------------------

// A class whose pool holds, from index 5, the given Utf8 texts, and whose class attributes are
// the given bytes (`count` attributes).
Bytes classWithAttributes(const std::vector<std::string>& texts, unsigned count, const Bytes& attributes) {
  ClassBuilder pool;
  for (const std::string& t : texts) pool.utf8(t);
  ClassBuilder tail;
  tail.u2(0).u2(0).u2(count).raw(attributes);
  return minimalClass("p/A", pool.bytes(), static_cast<unsigned>(texts.size()), 0x0021, tail.bytes()).bytes();
}

// The kind node of the class's first attribute.
antlr::RefAST firstClassAttribute(const Parsed& p) { return siblings(p.tree)[6]->getFirstChild()->getFirstChild(); }

TEST(ParserStructure, MagicNumberIsChecked) {
  EXPECT_EQ(parseFailure({0xCA, 0xFE, 0xBA, 0xBF}).message, "ca == 0xca && fe == 0xfe && ba == 0xba && be == 0xbe");
  EXPECT_EQ(parseFailure({0xCA, 0xFE, 0xBA}).kind, "mismatch");
  EXPECT_EQ(parseFailure({}).kind, "mismatch");
}

TEST(ParserStructure, MinimalClassParses) {
  Parsed p = parseBytes(minimalClass("p/A", {}, 0, 0x0021, {0, 0, 0, 0, 0, 0}).bytes());
  EXPECT_EQ(p.className, "p/A");
  EXPECT_FALSE(p.isInterface);
  EXPECT_EQ(TreeShapeChecker().check(p.tree), std::vector<std::string>());
  const antlr::RefAST info = siblings(p.tree)[3];
  EXPECT_EQ(info->getType(), T::THIS_CLASS);
  EXPECT_EQ(children(child(info, T::IMPLEMENTS)).size(), 0u);
  EXPECT_EQ(Bytes(p.version, p.version + 4), (Bytes{0, 0, 0, 52}));
}

TEST(ParserStructure, InterfaceFlagChoosesTheRoot) {
  Parsed i = parseBytes(minimalClass("p/I", {}, 0, 0x0601, {0, 0, 0, 0, 0, 0}).bytes());
  EXPECT_TRUE(i.isInterface);
  EXPECT_EQ(siblings(i.tree)[3]->getType(), T::THIS_INTERFACE);
}

TEST(ParserStructure, LongTakesTwoSlots) {
  // Pool: 1 Utf8, 2 Class, 3 Long, (4), 5 Utf8 Object, 6 Class #5.
  ClassBuilder b;
  b.header().u2(7).utf8("p/L").u1(7).u2(1).u1(5).u4(1).u4(0x80000000u).utf8("java/lang/Object").u1(7).u2(5);
  b.u2(0x21).u2(2).u2(6).u2(0).u2(0).u2(0).u2(0);
  Parsed p = parseBytes(b.bytes());
  EXPECT_EQ(types(children(siblings(p.tree)[2])),
            (std::vector<int>{T::CONSTANT_UTF8, T::CONSTANT_CLASS, T::CONSTANT_LONG, T::CONSTANT_CONTINUED,
                              T::CONSTANT_UTF8, T::CONSTANT_CLASS}));
  ASSERT_EQ(p.pool.size(), 7u);
  EXPECT_FALSE(p.pool[0]);
  EXPECT_FALSE(p.pool[4]);
  EXPECT_EQ(static_cast<LongAST*>(p.pool[3].get())->getValue(), 6442450944LL);
  EXPECT_EQ(p.className, "p/L");
}

TEST(ParserStructure, Utf8EntriesKeepTheirBytes) {
  Parsed p = parseBytes(minimalClass("p/A", {1, 0, 0, 1, 0, 3, 0xE2, 0x82, 0xAC}, 2, 0x21, {0, 0, 0, 0, 0, 0}).bytes());
  EXPECT_EQ(p.pool[5]->getText(), "");
  EXPECT_EQ(p.pool[6]->getText(), "\xE2\x82\xAC");
}

TEST(ParserStructure, UnicodeAndNumericEntriesDecode) {
  ClassBuilder extra;
  extra.u1(2).u2(2).u2(0x0041).u2(0x20AC);      // 5 Unicode "A€"
  extra.u1(3).u4(0xFFFFFFFEu);                  // 6 Integer -2
  extra.u1(4).u4(0x7F800001u);                  // 7 Float (a signalling NaN)
  extra.u1(6).u4(0x400921FBu).u4(0x54442D18u);  // 8 Double pi, (9)
  Parsed p = parseBytes(minimalClass("p/A", extra.bytes(), 5, 0x21, {0, 0, 0, 0, 0, 0}).bytes());
  EXPECT_EQ(static_cast<WStringAST*>(p.pool[5].get())->getValue(), (std::u16string{0x41, 0x20AC}));
  EXPECT_EQ(static_cast<IntAST*>(p.pool[6].get())->getValue(), -2);
  EXPECT_TRUE(std::isnan(static_cast<FloatAST*>(p.pool[7].get())->getValue()));
  EXPECT_EQ(bytesOf(p.pool[7]), (Bytes{0x7F, 0xC0, 0, 0}));
  EXPECT_EQ(static_cast<DoubleAST*>(p.pool[8].get())->getValue(), 3.141592653589793);
  EXPECT_FALSE(p.pool[9]);
}

TEST(ParserStructure, OpaqueEntriesKeepTagAndBodyInOneSlot) {
  ClassBuilder extra;
  extra.u1(15).u1(6).u2(0x0102);  // 5 MethodHandle
  extra.u1(16).u2(0x0304);        // 6 MethodType
  extra.u1(17).u2(1).u2(2);       // 7 Dynamic
  extra.u1(18).u2(3).u2(4);       // 8 InvokeDynamic
  extra.u1(19).u2(5);             // 9 Module
  extra.u1(20).u2(6);             // 10 Package
  extra.utf8("after");            // 11
  Parsed p = parseBytes(minimalClass("p/A", extra.bytes(), 7, 0x21, {0, 0, 0, 0, 0, 0}).bytes());
  EXPECT_EQ(bytesOf(p.pool[5]), (Bytes{15, 6, 0x01, 0x02}));
  EXPECT_EQ(bytesOf(p.pool[6]), (Bytes{16, 0x03, 0x04}));
  EXPECT_EQ(bytesOf(p.pool[7]), (Bytes{17, 0, 1, 0, 2}));
  EXPECT_EQ(bytesOf(p.pool[8]), (Bytes{18, 0, 3, 0, 4}));
  EXPECT_EQ(bytesOf(p.pool[9]), (Bytes{19, 0, 5}));
  EXPECT_EQ(bytesOf(p.pool[10]), (Bytes{20, 0, 6}));
  for (int i = 5; i <= 10; ++i) {
    EXPECT_EQ(p.pool[i]->getType(), T::ATTR_UNKNOWN);
    EXPECT_NE(dynamic_cast<ByteArrayAST*>(p.pool[i].get()), nullptr);
  }
  EXPECT_EQ(p.pool[11]->getText(), "after");

  // A truncated body fails where a fixed field is missing.
  ClassBuilder cut;
  cut.header().u2(3).utf8("p/A").u1(15).u1(6);
  EXPECT_EQ(parseFailure(cut.bytes()).kind, "mismatch");
}

TEST(ParserStructure, UnknownTagOrInputEndingAfterATagIsNoViableAlternative) {
  ClassBuilder bad;
  bad.header().u2(3).utf8("p/A").u1(14).u2(0);
  EXPECT_EQ(parseFailure(bad.bytes()).kind, "noviable");
  ClassBuilder cut;
  cut.header().u2(3).utf8("p/A").u1(7);
  EXPECT_EQ(parseFailure(cut.bytes()).kind, "noviable");
}

TEST(ParserStructure, EmptyPoolAndNoSuperClass) {
  for (unsigned count : {0u, 1u}) {
    ClassBuilder b;
    b.header().u2(count).u2(0x21).u2(0).u2(0).u2(0).u2(0).u2(0).u2(0);
    Parsed p = parseBytes(b.bytes());
    EXPECT_EQ(children(siblings(p.tree)[2]).size(), 0u);
    ASSERT_EQ(p.pool.size(), 1u);
    EXPECT_FALSE(p.pool[0]);
    EXPECT_EQ(p.className, "");
    const antlr::RefAST ext = child(siblings(p.tree)[3], T::EXTENDS);
    EXPECT_EQ(types(children(ext)), std::vector<int>{T::CLASS_INFO});
    EXPECT_EQ(shortValue(ext->getFirstChild()), 0u);
  }
}

TEST(ParserStructure, NativeFlagStaysSetOnceSeen) {
  ClassBuilder extra;
  extra.utf8("m").utf8("()V");
  ClassBuilder tail;
  tail.u2(0).u2(2);
  tail.u2(0x0101).u2(5).u2(6).u2(0);
  tail.u2(0x0001).u2(5).u2(6).u2(0);
  tail.u2(0);
  Parsed p = parseBytes(minimalClass("p/A", extra.bytes(), 2, 0x21, tail.bytes()).bytes());
  EXPECT_TRUE(p.hasNativeMethods);
  const antlr::RefAST method = siblings(p.tree)[5]->getFirstChild();
  EXPECT_EQ(types(children(method)), (std::vector<int>{T::ACCESS_FLAGS, T::NAME, T::SIGNATURE, T::METHOD_ATTRIBUTES}));
}

TEST(ParserStructure, FieldsUseTypeNodes) {
  ClassBuilder extra;
  extra.utf8("f").utf8("I");
  ClassBuilder tail;
  tail.u2(1).u2(0x0002).u2(5).u2(6).u2(0).u2(0).u2(0);
  Parsed p = parseBytes(minimalClass("p/A", extra.bytes(), 2, 0x21, tail.bytes()).bytes());
  const antlr::RefAST field = siblings(p.tree)[4]->getFirstChild();
  EXPECT_EQ(types(children(field)), (std::vector<int>{T::ACCESS_FLAGS, T::NAME, T::TYPE, T::FIELD_ATTRIBUTES}));
  EXPECT_EQ(utf8At(p, shortValue(child(field, T::TYPE))), "I");
}

TEST(ParserStructure, ShortCountsFailWithTheirPredicates) {
  ClassBuilder extra;
  extra.utf8("f").utf8("I");
  ClassBuilder twoOfThreeFields;
  twoOfThreeFields.u2(3);
  for (int i = 0; i < 2; ++i) twoOfThreeFields.u2(0).u2(5).u2(6).u2(0);
  EXPECT_EQ(parseFailure(minimalClass("p/A", extra.bytes(), 2, 0x21, twoOfThreeFields.bytes()).bytes()).message,
            "fields_count==0");

  ClassBuilder methodsShort;
  methodsShort.u2(0).u2(2).u2(0).u2(5).u2(6).u2(0);
  EXPECT_EQ(parseFailure(minimalClass("p/A", extra.bytes(), 2, 0x21, methodsShort.bytes()).bytes()).message,
            "methods_count==0");

  ClassBuilder memberAttributesShort;
  memberAttributesShort.u2(1).u2(0).u2(5).u2(6).u2(1);
  EXPECT_EQ(parseFailure(minimalClass("p/A", extra.bytes(), 2, 0x21, memberAttributesShort.bytes()).bytes()).message,
            "attributes_count==0");

  EXPECT_EQ(parseFailure(classWithAttributes({}, 1, {})).message, "attributes_count == 0");
}

TEST(ParserStructure, BytesAfterTheClassAreAnError) {
  Bytes b = minimalClass("p/A", {}, 0, 0x21, {0, 0, 0, 0, 0, 0}).bytes();
  b.push_back(0);
  const Failure f = parseFailure(b);
  EXPECT_EQ(f.kind, "mismatch");
  EXPECT_NE(f.message.find("EOF"), std::string::npos) << f.message;
}

// --- Attributes --------------------------------------------------------------------------------

TEST(ParserAttributes, SourceFileNeedsLengthTwo) {
  Parsed two = parseBytes(classWithAttributes({"SourceFile", "A.java"}, 1, {0, 5, 0, 0, 0, 2, 0, 6}));
  const antlr::RefAST sf = firstClassAttribute(two);
  EXPECT_EQ(sf->getType(), T::ATTR_SOURCE_FILE);
  EXPECT_EQ(shortValue(sf), 6u);

  Parsed four = parseBytes(classWithAttributes({"SourceFile", "A.java"}, 1, {0, 5, 0, 0, 0, 4, 1, 2, 3, 4}));
  const antlr::RefAST unknown = firstClassAttribute(four);
  EXPECT_EQ(unknown->getType(), T::ATTR_UNKNOWN);
  EXPECT_EQ(bytesOf(unknown), (Bytes{1, 2, 3, 4}));
  EXPECT_EQ(unknown->getFirstChild()->getType(), T::UNKNOWN_ATTRIBUTE_NAME);
  EXPECT_EQ(unknown->getFirstChild()->getText(), "SourceFile");
  EXPECT_EQ(static_cast<IntAST*>(siblings(four.tree)[6]->getFirstChild().get())->getValue(), 4);
}

TEST(ParserAttributes, NamesAreComparedExactly) {
  Parsed p = parseBytes(classWithAttributes({"code"}, 1, {0, 5, 0, 0, 0, 1, 0xB1}));
  EXPECT_EQ(firstClassAttribute(p)->getType(), T::ATTR_UNKNOWN);
  EXPECT_EQ(firstClassAttribute(p)->getFirstChild()->getText(), "code");
}

TEST(ParserAttributes, NameIndexMustSelectAUtf8Entry) {
  const std::string text = "m_oCPNodeList[attribute_name_index]->getType() == CONSTANT_UTF8";
  // Index 2 is a CONSTANT_Class, 0 is empty, 99 lies beyond the pool; the length is not read.
  for (unsigned index : {2u, 0u, 99u}) {
    EXPECT_EQ(parseFailure(classWithAttributes({}, 1, {0, static_cast<uint8_t>(index)})).message, text) << index;
  }
  // The slot after a long.
  ClassBuilder extra;
  extra.u1(5).u4(0).u4(1);
  ClassBuilder tail;
  tail.u2(0).u2(0).u2(1).u2(6).u4(0);
  EXPECT_EQ(parseFailure(minimalClass("p/A", extra.bytes(), 2, 0x21, tail.bytes()).bytes()).message, text);
}

TEST(ParserAttributes, SyntheticAndDeprecatedMustBeEmpty) {
  for (const char* name : {"Synthetic", "Deprecated"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(parseFailure(classWithAttributes({name}, 1, {0, 5, 0, 0, 0, 1, 0})).message, "length == 0");
    // Length 0 at the very end of the input.
    Parsed p = parseBytes(classWithAttributes({name}, 1, {0, 5, 0, 0, 0, 0}));
    EXPECT_EQ(firstClassAttribute(p)->getType(),
              std::string(name) == "Synthetic" ? T::ATTR_SYNTHETIC : T::ATTR_DEPRECATED);
    EXPECT_EQ(firstClassAttribute(p)->getText(), "");
  }
}

TEST(ParserAttributes, RecognisedHeaderAtTheEndIsATruncatedFile) {
  // The dispatcher takes it for an attribute of unknown kind, whose body is missing.
  EXPECT_EQ(parseFailure(classWithAttributes({"Signature"}, 1, {0, 5, 0, 0, 0, 2})).message, "bytepos == length");
  EXPECT_EQ(parseFailure(classWithAttributes({"Custom"}, 1, {0, 5, 0, 0, 0, 3, 1, 2})).message, "bytepos == length");
  // A body of the announced length is kept whole, whatever its name.
  Parsed p = parseBytes(classWithAttributes({"Custom"}, 1, {0, 5, 0, 0, 0, 3, 1, 2, 3}));
  EXPECT_EQ(bytesOf(firstClassAttribute(p)), (Bytes{1, 2, 3}));
  EXPECT_EQ(firstClassAttribute(p)->getFirstChild()->getText(), "Custom");
}

TEST(ParserAttributes, ExceptionsRejectIndexZeroAndShortLists) {
  EXPECT_EQ(parseFailure(classWithAttributes({"Exceptions"}, 1, {0, 5, 0, 0, 0, 4, 0, 1, 0, 0})).message, "index != 0");

  Parsed p = parseBytes(classWithAttributes({"Exceptions"}, 1, {0, 5, 0, 0, 0, 6, 0, 2, 0, 2, 0, 4}));
  const antlr::RefAST e = firstClassAttribute(p);
  EXPECT_EQ(shortValue(e), 2u);
  EXPECT_EQ(types(children(e)), (std::vector<int>{T::EXCEPTION_CLASS, T::EXCEPTION_CLASS}));
  EXPECT_EQ(shortValue(children(e)[1]), 4u);

  // Lists that the end of the input cuts short.
  EXPECT_EQ(parseFailure(classWithAttributes({"Exceptions"}, 1, {0, 5, 0, 0, 0, 8, 0, 3, 0, 2, 0, 4})).message,
            "entrypos == number_of_exceptions");
  EXPECT_EQ(parseFailure(classWithAttributes({"LocalVariableTable"}, 1,
                                             {0, 5, 0, 0, 0, 12, 0, 2, 0, 0, 0, 10, 0, 4, 0, 5, 0, 1}))
                .message,
            "entrypos == local_variable_table_length");
  EXPECT_EQ(parseFailure(classWithAttributes({"LineNumberTable"}, 1, {0, 5, 0, 0, 0, 10, 0, 3, 0, 0, 0, 1, 0, 1, 0, 2}))
                .message,
            "entrypos == ((int)line_number_table_length & 0xffff)");
}

TEST(ParserAttributes, CodeAttributeAndItsChecks) {
  // max_stack 1, max_locals 1, code B1, no exception table, one nested LineNumberTable.
  const Bytes code = {0, 5, 0, 0, 0, 0x19, 0, 1, 0, 1, 0, 0, 0, 1, 0xB1, 0,
                      0, 0, 1, 0, 6, 0,    0, 0, 6, 0, 1, 0, 0, 0, 3};
  Parsed p = parseBytes(classWithAttributes({"Code", "LineNumberTable"}, 1, code));
  const antlr::RefAST c = firstClassAttribute(p);
  ASSERT_EQ(c->getType(), T::ATTR_CODE);
  EXPECT_EQ(shortValue(child(c, T::MAXSTACK)), 1u);
  EXPECT_EQ(bytesOf(child(c, T::CODE_BYTES)), (Bytes{0xB1}));
  const antlr::RefAST debug = child(c, T::DEBUG_ATTRIBUTES);
  EXPECT_EQ(debug->getFirstChild()->getFirstChild()->getType(), T::ATTR_LINE_NUMBER_TABLE);
  const antlr::RefAST entry = debug->getFirstChild()->getFirstChild()->getFirstChild();
  EXPECT_EQ(shortValue(child(entry, T::LINE_NUMBER)), 3u);

  // Code longer than the input.
  EXPECT_EQ(parseFailure(classWithAttributes({"Code"}, 1, {0, 5, 0, 0, 0, 9, 0, 1, 0, 1, 0, 0, 0, 5, 0xB1})).message,
            "codepos == code_length");
  // An exception table longer than the input.
  EXPECT_EQ(parseFailure(classWithAttributes({"Code"}, 1, {0, 5,    0, 0, 0, 9, 0, 1, 0, 1, 0, 0, 0,
                                                           1, 0xB1, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0}))
                .message,
            "exceptionpos == ((int)exception_table_length & 0xffff)");
  // Nested attributes announced but missing.
  EXPECT_EQ(parseFailure(classWithAttributes({"Code"}, 1, {0, 5, 0, 0, 0, 9, 0, 1, 0, 1, 0, 0, 0, 1, 0xB1, 0, 0, 0, 1}))
                .message,
            "attributepos == ((int)attribute_count & 0xffff)");
}

TEST(ParserAttributes, CodeInsideCodeIsParsedAsCode) {
  const Bytes inner = {0, 5, 0, 0, 0, 13, 0, 2, 0, 3, 0, 0, 0, 1, 0x00, 0, 0, 0, 0};
  Bytes outer = {0, 5, 0, 0, 0, 0, 0, 1, 0, 1, 0, 0, 0, 1, 0xB1, 0, 0, 0, 1};
  outer.insert(outer.end(), inner.begin(), inner.end());
  outer[5] = static_cast<uint8_t>(outer.size() - 6);
  Parsed p = parseBytes(classWithAttributes({"Code"}, 1, outer));
  const antlr::RefAST nested = child(firstClassAttribute(p), T::DEBUG_ATTRIBUTES)->getFirstChild()->getFirstChild();
  EXPECT_EQ(nested->getType(), T::ATTR_CODE);
  EXPECT_EQ(shortValue(child(nested, T::MAXSTACK)), 2u);
}

TEST(ParserAttributes, LongUnknownAttributesKeepEveryByte) {
  const uint32_t length = 70000;
  ClassBuilder attr;
  attr.u2(5).u4(length);
  for (uint32_t i = 0; i < length; ++i) attr.u1(i & 0xFF);
  Parsed p = parseBytes(classWithAttributes({"Custom"}, 1, attr.bytes()));
  const Bytes body = bytesOf(firstClassAttribute(p));
  ASSERT_EQ(body.size(), length);
  EXPECT_EQ(body[65537], 65537 & 0xFF);
}

TEST(ParserAttributes, StackMapFramesAndVerificationTypes) {
  // One frame: offset 12, locals Integer and Uninitialized(34), no stack items.
  const Bytes map = {0, 5, 0, 0, 0, 12, 0, 1, 0, 12, 0, 2, 1, 8, 0, 34, 0, 0};
  Parsed p = parseBytes(classWithAttributes({"StackMap"}, 1, map));
  const antlr::RefAST sm = firstClassAttribute(p);
  EXPECT_NE(dynamic_cast<ShortAST*>(sm.get()), nullptr);
  const antlr::RefAST frame = sm->getFirstChild();
  EXPECT_EQ(frame->getType(), T::ATTR_STACK_MAP);
  EXPECT_NE(dynamic_cast<StringAST*>(frame.get()), nullptr);
  const antlr::RefAST locals = child(frame, T::ATTR_STACK_MAP_LOCALS);
  EXPECT_EQ(shortValue(locals), 12u);
  EXPECT_EQ(types(children(locals)), (std::vector<int>{T::ITEM_INTEGER, T::ITEM_UNINITIALIZED}));
  EXPECT_EQ(shortValue(children(locals)[1]), 34u);
  EXPECT_EQ(children(child(frame, T::ATTR_STACK_MAP_ITEMS)).size(), 0u);

  // Tag 7 carries a constant-pool index, tag 6 nothing; tag 9 is a TYPE node and the next byte
  // is the next item's tag.
  const Bytes tags = {0, 5, 0, 0, 0, 14, 0, 1, 0, 0, 0, 4, 7, 0x01, 0x02, 6, 9, 5, 0, 0};
  Parsed q = parseBytes(classWithAttributes({"StackMap"}, 1, tags));
  const std::vector<antlr::RefAST> items =
      children(child(firstClassAttribute(q)->getFirstChild(), T::ATTR_STACK_MAP_LOCALS));
  EXPECT_EQ(types(items), (std::vector<int>{T::ITEM_OBJECT, T::ITEM_UNINITIALIZEDTHIS, T::TYPE, T::ITEM_NULL}));
  EXPECT_NE(dynamic_cast<StringAST*>(items[0].get()), nullptr);
  EXPECT_EQ(bytesOf(items[0]), (Bytes{0x01, 0x02}));
  EXPECT_NE(dynamic_cast<ShortAST*>(items[1].get()), nullptr);
  EXPECT_EQ(shortValue(items[2]), 9u);

  EXPECT_EQ(parseFailure(classWithAttributes({"StackMap"}, 1, {0, 5, 0, 0, 0, 2, 0, 2})).message,
            "entrypos == frame_count");
  EXPECT_EQ(parseFailure(classWithAttributes({"StackMap"}, 1, {0, 5, 0, 0, 0, 7, 0, 1, 0, 0, 0, 2, 1})).message,
            "entrypos == number_of_locals");
  EXPECT_EQ(parseFailure(classWithAttributes({"StackMap"}, 1, {0, 5, 0, 0, 0, 9, 0, 1, 0, 0, 0, 0, 0, 1})).message,
            "entrypos == number_of_stack_items");
}

TEST(ParserAttributes, SmallAttributes) {
  Parsed pmg = parseBytes(classWithAttributes({"PMGClass"}, 1, {0, 5, 0, 0, 0, 4, 0, 5, 0, 7}));
  const antlr::RefAST a = firstClassAttribute(pmg);
  EXPECT_EQ(a->getType(), T::ATTR_PMG);
  EXPECT_EQ(shortValue(child(a, T::NAME)), 5u);
  EXPECT_EQ(shortValue(child(a, T::CLASS_INFO)), 7u);

  Parsed inner =
      parseBytes(classWithAttributes({"InnerClasses"}, 1, {0, 5, 0, 0, 0, 10, 0, 1, 0, 2, 0, 0, 0, 1, 0, 9}));
  const antlr::RefAST entry = firstClassAttribute(inner)->getFirstChild();
  EXPECT_EQ(shortValue(child(entry, T::OUTER_CLASS_INFO)), 0u);
  EXPECT_EQ(shortValue(child(entry, T::INNER_ACCESS_FLAGS)), 9u);
  EXPECT_EQ(parseFailure(classWithAttributes({"InnerClasses"}, 1, {0, 5, 0, 0, 0, 2, 0, 1})).message,
            "entrypos == number_of_classes");

  Parsed lvt = parseBytes(
      classWithAttributes({"LocalVariableTable"}, 1, {0, 5, 0, 0, 0, 12, 0, 1, 0, 0, 0, 10, 0, 4, 0, 5, 0, 1}));
  EXPECT_EQ(shortValue(child(firstClassAttribute(lvt)->getFirstChild(), T::INDEX)), 1u);
}

// --- The path check ----------------------------------------------------------------------------

struct RecordingHost : ClassParseHost {
  std::vector<std::string> modules;
  std::vector<std::string> loads;
  // Classes that the host parses when asked for them.
  std::map<std::string, Bytes> classes;
  bool throwOnLoad = false;

  void addModule(const std::string& path) override { modules.push_back(path); }
  void loadSuperType(const std::string& name) override {
    loads.push_back(name);
    if (throwOnLoad) throw antlr::ANTLRException("cannot load " + name);
    auto it = classes.find(name);
    if (it != classes.end()) parseBytes(it->second);
  }
};

class HostTest : public ::testing::Test {
 protected:
  void SetUp() override { setClassParseHost(&host); }
  void TearDown() override { setClassParseHost(nullptr); }
  RecordingHost host;
};

TEST_F(HostTest, PathMustEndWithTheClassesOwnPath) {
  const Bytes a = minimalClass("pkg/A", {}, 0, 0x21, {0, 0, 0, 0, 0, 0}).bytes();
  EXPECT_EQ(parseBytes(a, "/work/classes/pkg/A.class").classPathRoot, "/work/classes");
  EXPECT_EQ(host.modules, std::vector<std::string>{"/work/classes"});
  // The class's path alone: the root is the whole path.
  EXPECT_EQ(parseBytes(a, "pkg/A.class").classPathRoot, "pkg/A.class");
  EXPECT_EQ(parseBytes(a, "/pkg/A.class").classPathRoot, "/");
  EXPECT_EQ(parseBytes(a).classPathRoot, "");
  for (const char* wrong :
       {"/work/other/A.class", "/work/xpkg/A.class", "/work/pkg/A.class.bak", "/work/pkg/A.class/x"}) {
    const Failure f = parseFailure(a, wrong);
    EXPECT_EQ(f.kind, "antlr") << wrong;
    EXPECT_EQ(f.message, "Wrong Path!") << wrong;
  }
}

TEST_F(HostTest, SuperClassAndInterfacesAreLoadedInOrder) {
  Parsed p = parseBytes(fixtureBytes("fixtures/Derived.class"));
  EXPECT_EQ(host.loads, (std::vector<std::string>{"fixtures/Middle", "fixtures/Named", "fixtures/Sized"}));
  EXPECT_EQ(p.className, "fixtures/Derived");
}

TEST_F(HostTest, SuperClassIndexZeroLoadsNothing) {
  ClassBuilder b;
  b.header().u2(3).utf8("java/lang/Object").u1(7).u2(1).u2(0x21).u2(2).u2(0).u2(0).u2(0).u2(0).u2(0);
  EXPECT_EQ(parseBytes(b.bytes()).className, "java/lang/Object");
  EXPECT_TRUE(host.loads.empty());
}

// A class `name` extending `super`.
Bytes classExtending(const std::string& name, const std::string& super) {
  ClassBuilder b;
  b.header().u2(5).utf8(name).u1(7).u2(1).utf8(super).u1(7).u2(3);
  b.u2(0x21).u2(2).u2(4).u2(0).u2(0).u2(0).u2(0);
  return b.bytes();
}

TEST_F(HostTest, CyclicSuperTypeChainsEnd) {
  host.classes["p/A"] = classExtending("p/A", "p/B");
  host.classes["p/B"] = classExtending("p/B", "p/A");
  EXPECT_EQ(parseBytes(host.classes["p/A"]).className, "p/A");
  EXPECT_EQ(host.loads, std::vector<std::string>{"p/B"});

  host.loads.clear();
  host.classes["p/Self"] = classExtending("p/Self", "p/Self");
  parseBytes(host.classes["p/Self"]);
  EXPECT_TRUE(host.loads.empty());

  // After the parses, the classes may be loaded again.
  host.loads.clear();
  parseBytes(host.classes["p/B"]);
  EXPECT_EQ(host.loads, std::vector<std::string>{"p/A"});
}

TEST_F(HostTest, AFailedSuperTypeLoadIsNotAnErrorOfTheParse) {
  host.throwOnLoad = true;
  EXPECT_EQ(parseBytes(fixtureBytes("fixtures/Derived.class")).className, "fixtures/Derived");
  EXPECT_EQ(host.loads.size(), 3u);
}

TEST(ParserInput, ReadsFromAStreamAsWell) {
  const Bytes bytes = fixtureBytes("fixtures/Members.class");
  std::istringstream in(std::string(bytes.begin(), bytes.end()));
  ClassFileParsing parsing(in);
  ClassFileParser& parser = parsing.parser;
  parser.classFile("");
  const Parsed direct = parseBytes(bytes);
  EXPECT_EQ(parser.getClassName(), "fixtures/Members");
  EXPECT_TRUE(parser.getAST()->equalsList(direct.tree));
}

TEST(ParserInput, ReadsThroughAntlrsTokenBufferAsWell) {
  const Bytes bytes = fixtureBytes("fixtures/Lambdas.class");
  ClassBytesInput input(bytes.data(), bytes.size());
  ClassFileLexer lexer(input);
  antlr::TokenBuffer buffer(lexer);
  ClassFileParser parser(buffer);
  antlr::ASTFactory factory;
  ClassFileParser::initializeASTFactory(factory);
  parser.setASTFactory(&factory);
  parser.classFile("");
  EXPECT_EQ(parser.getClassName(), "fixtures/Lambdas");
  EXPECT_TRUE(parser.getAST()->equalsList(parseBytes(bytes).tree));
}

TEST(ParserInput, LookingFurtherAheadKeepsTheTokensInOrder) {
  const Bytes bytes = fixtureBytes("fixtures/Members.class");
  ClassBytesInput input(bytes.data(), bytes.size());
  ClassFileParsing parsing(input);
  ClassFileParser& parser = parsing.parser;
  // The first tokens are the magic number's bytes, one token per byte.
  EXPECT_EQ(parser.LA(1), T::BYTE);
  EXPECT_EQ(static_cast<unsigned char>(parser.LT(1)->getText()[0]), 0xCA);
  EXPECT_EQ(static_cast<unsigned char>(parser.LT(3)->getText()[0]), 0xBA);
  EXPECT_EQ(parser.LT(1)->getColumn(), 1);
  parser.classFile("");
  EXPECT_TRUE(parser.getAST()->equalsList(parseBytes(bytes).tree));
  EXPECT_EQ(parser.LA(1), T::EOF_);
}

}  // namespace
