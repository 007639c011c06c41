// The class-file writer over whole hand-built class trees: the frame of the class file, the
// constant pool, the class structure, the walk-only flags, and recovery from malformed trees.
#include "writer_tree.h"

#include <antlr/CommonAST.hpp>
#include <gtest/gtest.h>

using namespace writer_test;

namespace {

struct ClassParts {
  antlr::RefAST pool;
  antlr::RefAST classInfo;
  antlr::RefAST fields;
  antlr::RefAST methods;
  antlr::RefAST attributes;
};

antlr::RefAST classInfo(int rootType, uint16_t flags, std::initializer_list<antlr::RefAST> interfaces = {}) {
  antlr::RefAST implements = stringNode(T::IMPLEMENTS);
  tree(implements, interfaces);
  return tree(stringNode(rootType), {shortNode(T::ACCESS_FLAGS, flags), shortNode(T::CLASS_INFO, 2),
                                     tree(stringNode(T::EXTENDS), {shortNode(T::CLASS_INFO, 4)}), implements});
}

// The pool of the default class, A (class 2) extending java/lang/Object (class 4), followed by the
// given entries; its count is one more than its entries.
antlr::RefAST defaultPoolWith(std::initializer_list<antlr::RefAST> more) {
  std::vector<antlr::RefAST> entries = {stringNode(T::CONSTANT_UTF8, "A"), shortNode(T::CONSTANT_CLASS, 1),
                                        stringNode(T::CONSTANT_UTF8, "java/lang/Object"),
                                        shortNode(T::CONSTANT_CLASS, 3)};
  entries.insert(entries.end(), more);
  return withChildren(shortNode(T::CONSTANT_POOL, static_cast<uint16_t>(entries.size() + 1)), entries);
}

ClassParts defaultParts() {
  ClassParts p;
  p.pool = defaultPoolWith({});
  p.classInfo = classInfo(T::THIS_CLASS, 0x0021);
  p.fields = shortNode(T::FIELDS, 0);
  p.methods = shortNode(T::METHODS, 0);
  p.attributes = shortNode(T::ATTRIBUTES, 0);
  return p;
}

antlr::RefAST classTree(const ClassParts& p) {
  return siblings({bytesNode(T::MAGIC_NUMBER, {0xCA, 0xFE, 0xBA, 0xBE}),
                   tree(stringNode(T::VERSION), {shortNode(T::MINOR, 3), shortNode(T::MAJOR, 45)}), p.pool, p.classInfo,
                   p.fields, p.methods, p.attributes});
}

const char* const kHead = "CA FE BA BE 00 03 00 2D";
const char* const kDefaultPool =
    "00 05 01 00 01 41 07 00 01 01 00 10 6A 61 76 61 2F 6C 61 6E 67 2F 4F 62 6A 65 63 74 07 00 03";
const char* const kDefaultClassInfo = "00 21 00 02 00 04 00 00";
const char* const kNoMembers = "00 00 00 00 00 00";

std::string join(std::initializer_list<std::string> parts) {
  std::string text;
  for (const std::string& p : parts) {
    if (p.empty()) continue;
    if (!text.empty()) text += ' ';
    text += p;
  }
  return text;
}

class WriterClass : public ::testing::Test {
 protected:
  std::ostringstream out;
  RuleWriter writer{&out};

  RuleRun write(const antlr::RefAST& first) { return writeClass(first, writer, out); }
};

}  // namespace

TEST_F(WriterClass, MinimalClassIsWrittenInClassFileOrder) {
  RuleRun r = write(classTree(defaultParts()));
  EXPECT_EQ(hex(r.bytes), join({kHead, kDefaultPool, kDefaultClassInfo, kNoMembers}));
  EXPECT_EQ(r.errors, "");
  EXPECT_FALSE(writer.hadErrors());
  EXPECT_FALSE(writer.isInterface());
  EXPECT_FALSE(writer.hasNativeMethods());
}

TEST_F(WriterClass, PoolEntriesGetTheirTagsAndLengths) {
  ClassParts p = defaultParts();
  std::u16string abc = u"ABC";
  p.pool = tree(
      shortNode(T::CONSTANT_POOL, 16),
      {stringNode(T::CONSTANT_UTF8, "abc"), antlr::RefAST(new WStringAST(T::CONSTANT_UNICODE, abc)),
       intNode(T::CONSTANT_INTEGER, -2), antlr::RefAST(new FloatAST(T::CONSTANT_FLOAT, 1.0f)),
       antlr::RefAST(new LongAST(T::CONSTANT_LONG, (int64_t(1) << 32) + (int64_t(1) << 31))),
       stringNode(T::CONSTANT_CONTINUED), antlr::RefAST(new DoubleAST(T::CONSTANT_DOUBLE, 1.0)),
       stringNode(T::CONSTANT_CONTINUED), shortNode(T::CONSTANT_CLASS, 1),
       tree(stringNode(T::CONSTANT_STRING), {shortNode(T::STRING_INDEX, 1)}),
       tree(stringNode(T::CONSTANT_FIELDREF), {shortNode(T::CLASS_INDEX, 9), shortNode(T::NAME_AND_TYPE_INDEX, 14)}),
       tree(stringNode(T::CONSTANT_METHODREF), {shortNode(T::CLASS_INDEX, 9), shortNode(T::NAME_AND_TYPE_INDEX, 14)}),
       tree(stringNode(T::CONSTANT_INTERFACEMETHODREF),
            {shortNode(T::CLASS_INDEX, 9), shortNode(T::NAME_AND_TYPE_INDEX, 14)}),
       tree(stringNode(T::CONSTANT_NAMEANDTYPE), {shortNode(T::NAME, 1), shortNode(T::TYPE, 1)}),
       // An invokedynamic entry and a method handle, kept as their raw bytes.
       bytesNode(T::ATTR_UNKNOWN, {0x12, 0x00, 0x00, 0x00, 0x0E}),
       bytesNode(T::ATTR_UNKNOWN, {0x0F, 0x06, 0x00, 0x0B})});
  p.classInfo = classInfo(T::THIS_CLASS, 0x0021);
  RuleRun r = write(classTree(p));
  const std::string pool =
      "00 10 "
      "01 00 03 61 62 63 "
      "02 00 03 00 41 00 42 00 43 "
      "03 FF FF FF FE "
      "04 3F 80 00 00 "
      "05 00 00 00 01 80 00 00 00 "
      "06 3F F0 00 00 00 00 00 00 "
      "07 00 01 "
      "08 00 01 "
      "09 00 09 00 0E "
      "0A 00 09 00 0E "
      "0B 00 09 00 0E "
      "0C 00 01 00 01 "
      "12 00 00 00 0E "
      "0F 06 00 0B";
  EXPECT_EQ(hex(r.bytes), join({kHead, pool, kDefaultClassInfo, kNoMembers}));
  EXPECT_EQ(r.errors, "");
}

TEST_F(WriterClass, ContinuationSlotKeepsLaterIndicesRight) {
  // A long at index 5 takes slots 5 and 6, so "Code" stands at 7 and a Code attribute names 7.
  ClassParts p = defaultParts();
  p.pool = defaultPoolWith({antlr::RefAST(new LongAST(T::CONSTANT_LONG, 7)), stringNode(T::CONSTANT_CONTINUED),
                            stringNode(T::CONSTANT_UTF8, "Code")});
  p.attributes =
      tree(shortNode(T::ATTRIBUTES, 1),
           {attribute(13, tree(stringNode(T::ATTR_CODE),
                               {shortNode(T::MAXSTACK, 0), shortNode(T::MAXLOCALS, 0), bytesNode(T::CODE_BYTES, {0xB1}),
                                shortNode(T::ATTR_EXCEPTIONS, 0), shortNode(T::DEBUG_ATTRIBUTES, 0)}))});
  RuleRun r = write(classTree(p));
  const std::string text = hex(r.bytes);
  EXPECT_NE(text.find("05 00 00 00 00 00 00 00 07 01 00 04 43 6F 64 65"), std::string::npos) << text;
  EXPECT_NE(text.find("00 01 00 07 00 00 00 0D"), std::string::npos) << text;
  EXPECT_EQ(r.errors, "");
}

TEST_F(WriterClass, InterfaceTableIsCountedFromTheTree) {
  ClassParts p = defaultParts();
  p.classInfo = classInfo(T::THIS_INTERFACE, 0x0601,
                          {shortNode(T::CLASS_INFO, 5), shortNode(T::CLASS_INFO, 6), shortNode(T::CLASS_INFO, 7)});
  RuleRun r = write(classTree(p));
  EXPECT_EQ(hex(r.bytes), join({kHead, kDefaultPool, "06 01 00 02 00 04 00 03 00 05 00 06 00 07", kNoMembers}));
  EXPECT_TRUE(writer.isInterface());
}

TEST_F(WriterClass, ExtendsWithoutChildWritesNoSuperClass) {
  ClassParts p = defaultParts();
  p.classInfo = tree(stringNode(T::THIS_CLASS), {shortNode(T::ACCESS_FLAGS, 0x0021), shortNode(T::CLASS_INFO, 2),
                                                 stringNode(T::EXTENDS), stringNode(T::IMPLEMENTS)});
  RuleRun r = write(classTree(p));
  EXPECT_EQ(hex(r.bytes), join({kHead, kDefaultPool, "00 21 00 02 00 00", kNoMembers}));
  EXPECT_EQ(r.errors, "");
}

TEST_F(WriterClass, FieldsAreWrittenWithTheirAttributes) {
  ClassParts p = defaultParts();
  p.pool = defaultPoolWith({stringNode(T::CONSTANT_UTF8, "ConstantValue")});
  p.fields =
      tree(shortNode(T::FIELDS, 1),
           {tree(stringNode(T::FIELD_INFO),
                 {shortNode(T::ACCESS_FLAGS, 0x0019), shortNode(T::NAME, 1), shortNode(T::TYPE, 3),
                  tree(shortNode(T::FIELD_ATTRIBUTES, 1), {attribute(2, shortNode(T::ATTR_CONSTANT_VALUE, 8))})})});
  RuleRun r = write(classTree(p));
  EXPECT_NE(hex(r.bytes).find("00 01 00 19 00 01 00 03 00 01 00 05 00 00 00 02 00 08 00 00 00 00"), std::string::npos)
      << hex(r.bytes);
  EXPECT_EQ(r.errors, "");
}

TEST_F(WriterClass, WalkOnlyWritesNothingAndFindsTheFlags) {
  ClassParts iface = defaultParts();
  iface.classInfo = classInfo(T::THIS_INTERFACE, 0x0601);
  ClassParts natives = defaultParts();
  natives.methods =
      tree(shortNode(T::METHODS, 1),
           {tree(stringNode(T::METHOD_INFO), {shortNode(T::ACCESS_FLAGS, 0x0109), shortNode(T::NAME, 1),
                                              shortNode(T::SIGNATURE, 3), shortNode(T::METHOD_ATTRIBUTES, 0)})});

  RuleWriter walker;
  testing::internal::CaptureStderr();
  walker.classFile(classTree(iface));
  EXPECT_TRUE(walker.isInterface());
  EXPECT_FALSE(walker.hasNativeMethods());
  walker.classFile(classTree(natives));
  EXPECT_FALSE(walker.isInterface());
  EXPECT_TRUE(walker.hasNativeMethods());
  // The same writer on a plain class afterwards: both flags cleared again.
  walker.classFile(classTree(defaultParts()));
  EXPECT_FALSE(walker.isInterface());
  EXPECT_FALSE(walker.hasNativeMethods());
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_FALSE(walker.hadErrors());
}

TEST_F(WriterClass, UnexpectedNodeAmongPoolEntriesIsReportedAndSkipped) {
  ClassParts p = defaultParts();
  p.pool = tree(shortNode(T::CONSTANT_POOL, 6),
                {stringNode(T::CONSTANT_UTF8, "A"), shortNode(T::CONSTANT_CLASS, 1), shortNode(T::NAME, 9),
                 stringNode(T::CONSTANT_UTF8, "java/lang/Object"), shortNode(T::CONSTANT_CLASS, 3)});
  RuleRun r = write(classTree(p));
  // The entries after the foreign node are written; the error is counted.
  EXPECT_EQ(hex(r.bytes),
            join({kHead, "00 06 01 00 01 41 07 00 01 01 00 10 6A 61 76 61 2F 6C 61 6E 67 2F 4F 62 6A 65 63 74 07 00 03",
                  kDefaultClassInfo, kNoMembers}));
  EXPECT_EQ(countLines(r.errors), 1u);
  EXPECT_NE(r.errors.find("NAME"), std::string::npos);
  EXPECT_EQ(writer.getErrorCount(), 1u);

  // A node of a type outside the vocabulary ends the pool, reported as well.
  p = defaultParts();
  p.pool = tree(shortNode(T::CONSTANT_POOL, 5),
                {stringNode(T::CONSTANT_UTF8, "A"), stringNode(500, "?"), shortNode(T::CONSTANT_CLASS, 1)});
  r = write(classTree(p));
  EXPECT_EQ(countLines(r.errors), 1u);
  EXPECT_TRUE(writer.hadErrors());
  // A later clean walk starts with no errors.
  r = write(classTree(defaultParts()));
  EXPECT_FALSE(writer.hadErrors());
}

TEST_F(WriterClass, PoolWithoutEntriesIsReportedAndTheWalkGoesOn) {
  ClassParts p = defaultParts();
  p.pool = shortNode(T::CONSTANT_POOL, 1);
  RuleRun r = write(classTree(p));
  EXPECT_EQ(hex(r.bytes), join({kHead, "00 01", kDefaultClassInfo, kNoMembers}));
  EXPECT_EQ(countLines(r.errors), 1u) << r.errors;
  EXPECT_EQ(writer.getErrorCount(), 1u);
}

TEST_F(WriterClass, MissingMagicIsReportedAndTheWalkGoesOn) {
  antlr::RefAST first = classTree(defaultParts());
  // Another node in place of MAGIC_NUMBER: no magic bytes, the rest as usual.
  RuleRun r = write(siblings({bytesNode(T::CODE_BYTES, {0xCA, 0xFE, 0xBA, 0xBE}), first->getNextSibling()}));
  EXPECT_EQ(countLines(r.errors), 1u);
  EXPECT_EQ(hex(r.bytes), join({"00 03 00 2D", kDefaultPool, kDefaultClassInfo, kNoMembers}));
}

TEST_F(WriterClass, NodesThatCarryNoValueAreReported) {
  ClassParts p = defaultParts();
  // A plain antlr node where a count belongs, and a count node of the wrong width.
  antlr::RefAST plain(new antlr::CommonAST());
  plain->setType(T::FIELDS);
  p.fields = plain;
  p.methods = intNode(T::METHODS, 0);
  RuleRun r = write(classTree(p));
  EXPECT_EQ(hex(r.bytes), join({kHead, kDefaultPool, kDefaultClassInfo, "00 00 00 00 00 00"}));
  EXPECT_EQ(countLines(r.errors), 2u) << r.errors;
}

TEST_F(WriterClass, RawPoolEntryOfTheWrongSizeIsReported) {
  ClassParts p = defaultParts();
  p.pool = defaultPoolWith({bytesNode(T::ATTR_UNKNOWN, {0x10, 0x00}), bytesNode(T::ATTR_UNKNOWN, {0x2A, 0x00, 0x01})});
  RuleRun r = write(classTree(p));
  EXPECT_EQ(countLines(r.errors), 2u) << r.errors;
  // Both are written as they are.
  EXPECT_NE(hex(r.bytes).find("07 00 03 10 00 2A 00 01 00 21"), std::string::npos) << hex(r.bytes);
}

TEST_F(WriterClass, FailedOutputStreamIsReported) {
  ClassParts p = defaultParts();
  out.setstate(std::ios::badbit);
  RuleRun r = write(classTree(p));
  EXPECT_TRUE(writer.hadErrors());
  EXPECT_EQ(countLines(r.errors), 1u);
}

TEST_F(WriterClass, TokenVocabularyIsTheReadersOne) {
  EXPECT_EQ(writer.getNumTokens(), 100);
  EXPECT_STREQ(writer.getTokenName(4), "MAGIC_NUMBER");
  EXPECT_STREQ(writer.getTokenName(34), "FIELD_INFO");
  EXPECT_STREQ(writer.getTokenName(99), "BYTE");
  EXPECT_EQ(writer.getTokenName(100), nullptr);
  EXPECT_EQ(writer.getTokenName(101), nullptr);
  EXPECT_EQ(writer.getTokenNames()[100], nullptr);
  EXPECT_FALSE(writer.getAST());
}

TEST_F(WriterClass, EveryReportIsOneLine) {
  // A pool entry where an attribute belongs: its text, quoted in the report, holds line breaks.
  RuleWriter rules(&out);
  RuleRun r = runRule(
      rules, out, utf8Pool({{1, "Code"}}), [](RuleWriter& w, const antlr::RefAST& n) { w.attributeLength(n); },
      attribute(2, stringNode(T::CONSTANT_UTF8, "two\nlines\r\n")));
  EXPECT_EQ(countLines(r.errors), 1u) << r.errors;
  EXPECT_EQ(r.bytes.size(), 0u);
  EXPECT_EQ(rules.getErrorCount(), 1u);
}
