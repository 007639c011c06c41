// The class-file writer's attribute and method rules over hand-built subtrees: the exact bytes of
// each attribute kind, where each field comes from, and how failures leave output and length stack.
#include "writer_tree.h"

#include <gtest/gtest.h>

using namespace writer_test;

namespace {

void writeAttribute(RuleWriter& w, const antlr::RefAST& node) { w.attributeLength(node); }

antlr::RefAST codeAttribute(int32_t length, Bytes code, std::initializer_list<antlr::RefAST> nested = {},
                            uint16_t debugCount = 0) {
  antlr::RefAST debug = shortNode(T::DEBUG_ATTRIBUTES, debugCount);
  tree(debug, nested);
  return attribute(length, tree(stringNode(T::ATTR_CODE),
                                {shortNode(T::MAXSTACK, 1), shortNode(T::MAXLOCALS, 1),
                                 bytesNode(T::CODE_BYTES, std::move(code)), shortNode(T::ATTR_EXCEPTIONS, 0), debug}));
}

class WriterAttributes : public ::testing::Test {
 protected:
  std::ostringstream out;
  RuleWriter writer{&out};

  RuleRun run(const antlr::RefAST& pool, const antlr::RefAST& attr) {
    return runRule(writer, out, pool, writeAttribute, attr);
  }
};

}  // namespace

TEST_F(WriterAttributes, SingleValueAttributesTakeTheirNameIndexFromThePool) {
  RuleRun r = run(utf8Pool({{14, "SourceFile"}}), attribute(2, shortNode(T::ATTR_SOURCE_FILE, 9)));
  EXPECT_EQ(hex(r.bytes), "00 0E 00 00 00 02 00 09");
  EXPECT_EQ(r.errors, "");

  r = run(utf8Pool({{3, "ConstantValue"}}), attribute(2, shortNode(T::ATTR_CONSTANT_VALUE, 0x1234)));
  EXPECT_EQ(hex(r.bytes), "00 03 00 00 00 02 12 34");

  r = run(utf8Pool({{20, "Signature"}}),
          attribute(2, tree(stringNode(T::ATTR_SIGNATURE), {shortNode(T::SIGNATURE_INDEX, 21)})));
  EXPECT_EQ(hex(r.bytes), "00 14 00 00 00 02 00 15");

  r = run(utf8Pool({{30, "Synthetic"}}), attribute(0, stringNode(T::ATTR_SYNTHETIC)));
  EXPECT_EQ(hex(r.bytes), "00 1E 00 00 00 00");

  r = run(utf8Pool({{2, "Deprecated"}}), attribute(0, stringNode(T::ATTR_DEPRECATED)));
  EXPECT_EQ(hex(r.bytes), "00 02 00 00 00 00");

  r = run(utf8Pool({{16, "PMGClass"}}),
          attribute(4, tree(stringNode(T::ATTR_PMG), {shortNode(T::NAME, 5), shortNode(T::CLASS_INFO, 7)})));
  EXPECT_EQ(hex(r.bytes), "00 10 00 00 00 04 00 05 00 07");

  // The EnclosingMethod node and its method index are built with other classes than their
  // token types register (StringAST root, ShortAST METHOD_INFO), as the parser builds them.
  r = run(utf8Pool({{6, "EnclosingMethod"}}),
          attribute(4, tree(stringNode(T::ATTR_ENCLOSINGMETHOD),
                            {shortNode(T::CLASS_INFO, 3), shortNode(T::METHOD_INFO, 0)})));
  EXPECT_EQ(hex(r.bytes), "00 06 00 00 00 04 00 03 00 00");
  EXPECT_EQ(r.errors, "");
  EXPECT_EQ(writer.lengthStackDepth(), 0u);
}

TEST_F(WriterAttributes, NameMissingFromThePoolIsWrittenAsZeroAndReported) {
  RuleRun r = run(utf8Pool({{3, "Other"}}),
                  attribute(2, tree(stringNode(T::ATTR_SIGNATURE), {shortNode(T::SIGNATURE_INDEX, 21)})));
  EXPECT_EQ(hex(r.bytes), "00 00 00 00 00 02 00 15");
  EXPECT_EQ(countLines(r.errors), 1u);
  EXPECT_NE(r.errors.find("Signature"), std::string::npos);
  EXPECT_TRUE(writer.hadErrors());
}

TEST_F(WriterAttributes, LastOfTwoEqualNamesWins) {
  RuleRun r = run(utf8Pool({{12, "Code"}, {40, "Code"}}), codeAttribute(13, {0xB1}));
  ASSERT_GE(r.bytes.size(), 2u);
  EXPECT_EQ(hex(Bytes(r.bytes.begin(), r.bytes.begin() + 2)), "00 28");
}

TEST_F(WriterAttributes, CodeAttributeCopiesItsLengthAndCountsItsCode) {
  RuleRun r = run(utf8Pool({{7, "Code"}}), codeAttribute(13, {0xB1}));
  EXPECT_EQ(hex(r.bytes), "00 07 00 00 00 0D 00 01 00 01 00 00 00 01 B1 00 00 00 00");
  EXPECT_EQ(r.errors, "");

  // The declared length is copied, not checked; code_length always follows the code bytes.
  r = run(utf8Pool({{7, "Code"}}), codeAttribute(99, {0xB1}));
  EXPECT_EQ(hex(r.bytes), "00 07 00 00 00 63 00 01 00 01 00 00 00 01 B1 00 00 00 00");
  r = run(utf8Pool({{7, "Code"}}), codeAttribute(13, {0x03, 0xAC, 0xB1}));
  EXPECT_EQ(hex(r.bytes), "00 07 00 00 00 0D 00 01 00 01 00 00 00 03 03 AC B1 00 00 00 00");
  EXPECT_EQ(writer.lengthStackDepth(), 0u);
}

TEST_F(WriterAttributes, CodeAttributeWritesItsExceptionTableAndNestedAttributes) {
  antlr::RefAST lines = attribute(
      6, tree(shortNode(T::ATTR_LINE_NUMBER_TABLE, 1),
              {tree(stringNode(T::LINE_NUMBER_ENTRY), {shortNode(T::START_PC, 0), shortNode(T::LINE_NUMBER, 3)})}));
  antlr::RefAST code = codeAttribute(31, {0xB1}, {lines}, 1);
  // One exception-table entry before the nested attributes.
  antlr::RefAST exceptions =
      code->getFirstChild()->getFirstChild()->getNextSibling()->getNextSibling()->getNextSibling();
  static_cast<ShortAST*>(exceptions.get())->setValue(1);
  tree(exceptions, {tree(stringNode(T::EXCEPTION_INFO), {shortNode(T::START_PC, 0), shortNode(T::END_PC, 1),
                                                         shortNode(T::HANDLER_PC, 1), shortNode(T::CATCH_TYPE, 0)})});

  RuleRun r = run(utf8Pool({{7, "Code"}, {8, "LineNumberTable"}}), code);
  EXPECT_EQ(hex(r.bytes),
            "00 07 00 00 00 1F 00 01 00 01 00 00 00 01 B1 "
            "00 01 00 00 00 01 00 01 00 00 "
            "00 01 00 08 00 00 00 06 00 01 00 00 00 03");
  EXPECT_EQ(r.errors, "");
  EXPECT_EQ(writer.lengthStackDepth(), 0u);
}

TEST_F(WriterAttributes, CodeInsideCodeIsWrittenAsCode) {
  antlr::RefAST inner = codeAttribute(13, {0xB1});
  RuleRun r = run(utf8Pool({{7, "Code"}}), codeAttribute(32, {0xB1}, {inner}, 1));
  EXPECT_EQ(hex(r.bytes),
            "00 07 00 00 00 20 00 01 00 01 00 00 00 01 B1 00 00 00 01 "
            "00 07 00 00 00 0D 00 01 00 01 00 00 00 01 B1 00 00 00 00");
  EXPECT_EQ(writer.lengthStackDepth(), 0u);
}

TEST_F(WriterAttributes, ListAttributesCopyTheirCountsAndWriteEveryEntry) {
  RuleRun r = run(utf8Pool({{9, "Exceptions"}}),
                  attribute(6, tree(shortNode(T::ATTR_EXCEPTIONS, 2),
                                    {shortNode(T::EXCEPTION_CLASS, 3), shortNode(T::EXCEPTION_CLASS, 4)})));
  EXPECT_EQ(hex(r.bytes), "00 09 00 00 00 06 00 02 00 03 00 04");
  // The count is the node's, the entries are all written.
  r = run(utf8Pool({{9, "Exceptions"}}),
          attribute(6, tree(shortNode(T::ATTR_EXCEPTIONS, 5),
                            {shortNode(T::EXCEPTION_CLASS, 3), shortNode(T::EXCEPTION_CLASS, 4)})));
  EXPECT_EQ(hex(r.bytes), "00 09 00 00 00 06 00 05 00 03 00 04");

  r = run(utf8Pool({{2, "LocalVariableTable"}}),
          attribute(12, tree(shortNode(T::ATTR_LOCAL_VARIABLE_TABLE, 1),
                             {tree(stringNode(T::LOCAL_VARIABLE_TABLE_ENTRY),
                                   {shortNode(T::START_PC, 0), shortNode(T::LENGTH, 10), shortNode(T::NAME, 4),
                                    shortNode(T::TYPE, 5), shortNode(T::INDEX, 1)})})));
  EXPECT_EQ(hex(r.bytes), "00 02 00 00 00 0C 00 01 00 00 00 0A 00 04 00 05 00 01");

  r = run(
      utf8Pool({{3, "InnerClasses"}}),
      attribute(10, tree(shortNode(T::ATTR_INNER_CLASSES, 1),
                         {tree(stringNode(T::INNER_CLASS),
                               {shortNode(T::INNER_CLASS_INFO, 0x11), shortNode(T::OUTER_CLASS_INFO, 0x22),
                                shortNode(T::INNER_CLASS_NAME, 0x33), shortNode(T::INNER_ACCESS_FLAGS, 0x0019)})})));
  EXPECT_EQ(hex(r.bytes), "00 03 00 00 00 0A 00 01 00 11 00 22 00 33 00 19");
  EXPECT_EQ(r.errors, "");
}

TEST_F(WriterAttributes, StackMapFramesCountTheirItems) {
  antlr::RefAST frame =
      tree(stringNode(T::ATTR_STACK_MAP), {tree(shortNode(T::ATTR_STACK_MAP_LOCALS, 12),
                                                {stringNode(T::ITEM_INTEGER), shortNode(T::ITEM_UNINITIALIZED, 34)}),
                                           stringNode(T::ATTR_STACK_MAP_ITEMS)});
  RuleRun r = run(utf8Pool({{4, "StackMap"}}), attribute(12, tree(shortNode(T::ATTR_STACK_MAP, 1), {frame})));
  EXPECT_EQ(hex(r.bytes), "00 04 00 00 00 0C 00 01 00 0C 00 02 01 08 00 22 00 00");
  EXPECT_EQ(r.errors, "");
}

TEST_F(WriterAttributes, VerificationItemsWriteTheirTagsAndOperands) {
  // Object carries the u2 that its node holds (the two bytes as read), UninitializedThis none.
  antlr::RefAST stack =
      tree(stringNode(T::ATTR_STACK_MAP_ITEMS),
           {stringNode(T::ITEM_BOGUS), stringNode(T::ITEM_FLOAT), stringNode(T::ITEM_DOUBLE), stringNode(T::ITEM_LONG),
            stringNode(T::ITEM_NULL), shortNode(T::ITEM_UNINITIALIZEDTHIS, 0),
            stringNode(T::ITEM_OBJECT, std::string("\x00\x2A", 2))});
  antlr::RefAST frame = tree(stringNode(T::ATTR_STACK_MAP), {shortNode(T::ATTR_STACK_MAP_LOCALS, 0x0102), stack});
  RuleRun r = run(utf8Pool({{4, "StackMap"}}), attribute(19, tree(shortNode(T::ATTR_STACK_MAP, 1), {frame})));
  EXPECT_EQ(hex(r.bytes), "00 04 00 00 00 13 00 01 01 02 00 00 00 07 00 02 03 04 05 06 07 00 2A");
  EXPECT_EQ(r.errors, "");

  // An Object item without its two bytes is written as it is and reported.
  antlr::RefAST bad = tree(stringNode(T::ATTR_STACK_MAP),
                           {stringNode(T::ATTR_STACK_MAP_LOCALS),  // no offset value: a StringAST
                            tree(stringNode(T::ATTR_STACK_MAP_ITEMS), {stringNode(T::ITEM_OBJECT)})});
  r = run(utf8Pool({{4, "StackMap"}}), attribute(8, tree(shortNode(T::ATTR_STACK_MAP, 1), {bad})));
  EXPECT_EQ(hex(r.bytes), "00 04 00 00 00 08 00 01 00 00 00 01 07");
  EXPECT_EQ(countLines(r.errors), 2u);
}

TEST_F(WriterAttributes, ItemLoopEndsAtAForeignChildWithoutReport) {
  antlr::RefAST frame = tree(stringNode(T::ATTR_STACK_MAP),
                             {tree(shortNode(T::ATTR_STACK_MAP_LOCALS, 5),
                                   {stringNode(T::ITEM_INTEGER), shortNode(T::TYPE, 9), stringNode(T::ITEM_NULL)}),
                              stringNode(T::ATTR_STACK_MAP_ITEMS)});
  RuleRun r = run(utf8Pool({{4, "StackMap"}}), attribute(10, tree(shortNode(T::ATTR_STACK_MAP, 1), {frame})));
  // The count is that of all three children; the items stop at TYPE; the stack list follows.
  EXPECT_EQ(hex(r.bytes), "00 04 00 00 00 0A 00 01 00 05 00 03 01 00 00");
  EXPECT_EQ(r.errors, "");
}

TEST_F(WriterAttributes, UnknownAttributeTakesItsNameFromTheUtf8Texts) {
  auto unknown = [](const std::string& name) {
    return attribute(7, tree(bytesNode(T::ATTR_UNKNOWN, {1, 2, 3}), {stringNode(T::UNKNOWN_ATTRIBUTE_NAME, name)}));
  };
  // The length is the byte count, not the declared 7.
  RuleRun r = run(utf8Pool({{5, "Custom"}}), unknown("Custom"));
  EXPECT_EQ(hex(r.bytes), "00 05 00 00 00 03 01 02 03");
  EXPECT_EQ(r.errors, "");
  EXPECT_EQ(writer.lengthStackDepth(), 0u);

  // Where a text stands twice, the last entry wins.
  r = run(utf8Pool({{5, "Custom"}, {9, "Custom"}}), unknown("Custom"));
  EXPECT_EQ(hex(r.bytes), "00 09 00 00 00 03 01 02 03");

  // A name that the pool lacks is written as 0 and reported once.
  r = run(utf8Pool({{5, "Custom"}}), unknown("Missing"));
  EXPECT_EQ(hex(r.bytes), "00 00 00 00 00 03 01 02 03");
  EXPECT_EQ(countLines(r.errors), 1u);
  EXPECT_NE(r.errors.find("Missing"), std::string::npos);
  EXPECT_EQ(writer.getErrorCount(), 1u);

  // Without its name child: also 0 and one report.
  r = run(utf8Pool({{5, "Custom"}}), attribute(7, bytesNode(T::ATTR_UNKNOWN, {1, 2, 3})));
  EXPECT_EQ(hex(r.bytes), "00 00 00 00 00 03 01 02 03");
  EXPECT_EQ(countLines(r.errors), 1u);
}

TEST_F(WriterAttributes, AFailedAttributeWritesNothingAndLeavesItsLength) {
  antlr::RefAST list =
      tree(shortNode(T::FIELD_ATTRIBUTES, 3), {attribute(2, shortNode(T::ATTR_CONSTANT_VALUE, 1)),
                                               attribute(9, shortNode(T::ATTR_RUNTIMEVISIBLEANNOTATIONS, 0)),
                                               attribute(2, shortNode(T::ATTR_CONSTANT_VALUE, 2))});
  RuleRun r = runRule(
      writer, out, utf8Pool({{3, "ConstantValue"}}),
      [](RuleWriter& w, const antlr::RefAST& n) { w.fieldAttributes(n); }, list);
  EXPECT_EQ(hex(r.bytes), "00 03 00 03 00 00 00 02 00 01 00 03 00 00 00 02 00 02");
  EXPECT_EQ(countLines(r.errors), 1u);
  ASSERT_EQ(writer.lengthStackDepth(), 1u);
  EXPECT_EQ(writer.lengthStack().back(), 9);
}

TEST_F(WriterAttributes, FailureInsideAnEntryEndsItsList) {
  antlr::RefAST table = attribute(
      10, tree(shortNode(T::ATTR_LINE_NUMBER_TABLE, 2),
               {tree(stringNode(T::LINE_NUMBER_ENTRY), {shortNode(T::START_PC, 0)}),  // LINE_NUMBER missing
                tree(stringNode(T::LINE_NUMBER_ENTRY), {shortNode(T::START_PC, 4), shortNode(T::LINE_NUMBER, 7)})}));
  RuleRun r = run(utf8Pool({{8, "LineNumberTable"}}), table);
  // Header and count are written; neither entry is.
  EXPECT_EQ(hex(r.bytes), "00 08 00 00 00 0A 00 02");
  EXPECT_EQ(countLines(r.errors), 1u);
  EXPECT_EQ(writer.lengthStackDepth(), 0u);
}

TEST_F(WriterAttributes, MethodIsWrittenAsItsFieldsAndAttributes) {
  antlr::RefAST method = tree(stringNode(T::METHOD_INFO),
                              {shortNode(T::ACCESS_FLAGS, 0x0001), shortNode(T::NAME, 4), shortNode(T::SIGNATURE, 5),
                               tree(shortNode(T::METHOD_ATTRIBUTES, 1), {codeAttribute(13, {0xB1})})});
  RuleRun r = runRule(
      writer, out, utf8Pool({{7, "Code"}}), [](RuleWriter& w, const antlr::RefAST& n) { w.methodInfo(n); }, method);
  EXPECT_EQ(hex(r.bytes), "00 01 00 04 00 05 00 01 00 07 00 00 00 0D 00 01 00 01 00 00 00 01 B1 00 00 00 00");
  EXPECT_EQ(r.errors, "");
  EXPECT_FALSE(writer.hasNativeMethods());
}

TEST_F(WriterAttributes, NativeFlagIsFoundWithAndWithoutStream) {
  auto methods = [] {
    auto method = [](uint16_t flags, uint16_t name) {
      return tree(stringNode(T::METHOD_INFO), {shortNode(T::ACCESS_FLAGS, flags), shortNode(T::NAME, name),
                                               shortNode(T::SIGNATURE, 5), shortNode(T::METHOD_ATTRIBUTES, 0)});
    };
    return tree(shortNode(T::METHODS, 2), {method(0x0109, 3), method(0x0001, 4)});
  };
  RuleRun r = runRule(
      writer, out, antlr::RefAST(), [](RuleWriter& w, const antlr::RefAST& n) { w.methods(n); }, methods());
  EXPECT_TRUE(writer.hasNativeMethods());
  EXPECT_EQ(hex(r.bytes), "00 02 01 09 00 03 00 05 00 00 00 01 00 04 00 05 00 00");

  RuleWriter walkOnly;
  walkOnly.start();
  testing::internal::CaptureStderr();
  walkOnly.methods(methods());
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_TRUE(walkOnly.hasNativeMethods());
}

TEST_F(WriterAttributes, MethodWithoutNameEndsTheMethodList) {
  antlr::RefAST broken =
      tree(stringNode(T::METHOD_INFO),
           {shortNode(T::ACCESS_FLAGS, 0x0101), shortNode(T::SIGNATURE, 5), shortNode(T::METHOD_ATTRIBUTES, 0)});
  antlr::RefAST good =
      tree(stringNode(T::METHOD_INFO), {shortNode(T::ACCESS_FLAGS, 0x0001), shortNode(T::NAME, 4),
                                        shortNode(T::SIGNATURE, 5), shortNode(T::METHOD_ATTRIBUTES, 0)});
  antlr::RefAST list = siblings({tree(shortNode(T::METHODS, 2), {broken, good}), shortNode(T::ATTRIBUTES, 0)});
  RuleRun r = runRule(
      writer, out, antlr::RefAST(), [](RuleWriter& w, const antlr::RefAST& n) { w.methods(n); }, list);
  EXPECT_EQ(hex(r.bytes), "00 02");
  EXPECT_EQ(countLines(r.errors), 1u);
  // The native test is skipped for the broken method, and the walk goes on after METHODS.
  EXPECT_FALSE(writer.hasNativeMethods());
  ASSERT_TRUE(writer.returned());
  EXPECT_EQ(writer.returned()->getType(), T::ATTRIBUTES);
}
