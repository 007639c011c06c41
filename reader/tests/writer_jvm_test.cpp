// A class file built by hand as a class-file tree, the way the implementation generator builds
// the classes it embeds, is written by the writer and then verified, loaded and run by JDK 17's
// java, and read by javap and by our own parser.
#include "ClassFileWriter.hpp"
#include "TestSupport.h"
#include "writer_corpus.h"
#include "writer_tree.h"

#include <gtest/gtest.h>

using namespace writer_test;

namespace {

const char* const kClassName = "WrittenByHand";

// class WrittenByHand (version 45.3) {
//     public static void main(String[] args) {
//         System.out.println("written by ClassFileWriter");
//         System.out.println(6442450944L);
//     }
// }
antlr::RefAST handBuiltClass() {
  auto utf8 = [](const char* text) { return stringNode(T::CONSTANT_UTF8, text); };
  auto cls = [](uint16_t name) { return shortNode(T::CONSTANT_CLASS, name); };
  auto nameAndType = [](uint16_t name, uint16_t type) {
    return tree(stringNode(T::CONSTANT_NAMEANDTYPE), {shortNode(T::NAME, name), shortNode(T::TYPE, type)});
  };
  auto ref = [](int kind, uint16_t owner, uint16_t nameAndType) {
    return tree(stringNode(kind), {shortNode(T::CLASS_INDEX, owner), shortNode(T::NAME_AND_TYPE_INDEX, nameAndType)});
  };

  antlr::RefAST pool = tree(shortNode(T::CONSTANT_POOL, 30),
                            {
                                utf8(kClassName),                                                        // 1
                                cls(1),                                                                  // 2
                                utf8("java/lang/Object"),                                                // 3
                                cls(3),                                                                  // 4
                                utf8("main"),                                                            // 5
                                utf8("([Ljava/lang/String;)V"),                                          // 6
                                utf8("Code"),                                                            // 7
                                utf8("java/lang/System"),                                                // 8
                                cls(8),                                                                  // 9
                                utf8("out"),                                                             // 10
                                utf8("Ljava/io/PrintStream;"),                                           // 11
                                nameAndType(10, 11),                                                     // 12
                                ref(T::CONSTANT_FIELDREF, 9, 12),                                        // 13
                                utf8("java/io/PrintStream"),                                             // 14
                                cls(14),                                                                 // 15
                                utf8("println"),                                                         // 16
                                utf8("(Ljava/lang/String;)V"),                                           // 17
                                nameAndType(16, 17),                                                     // 18
                                ref(T::CONSTANT_METHODREF, 15, 18),                                      // 19
                                utf8("written by ClassFileWriter"),                                      // 20
                                tree(stringNode(T::CONSTANT_STRING), {shortNode(T::STRING_INDEX, 20)}),  // 21
                                utf8("SourceFile"),                                                      // 22
                                utf8("WrittenByHand.java"),                                              // 23
                                antlr::RefAST(new LongAST(T::CONSTANT_LONG, 6442450944LL)),              // 24
                                stringNode(T::CONSTANT_CONTINUED),                                       // 25
                                utf8("(J)V"),                                                            // 26
                                nameAndType(16, 26),                                                     // 27
                                ref(T::CONSTANT_METHODREF, 15, 27),                                      // 28
                                utf8("LineNumberTable"),                                                 // 29
                            });

  const Bytes code = {
      0xB2, 0x00, 0x0D,  // getstatic System.out
      0x12, 0x15,        // ldc "written by ClassFileWriter"
      0xB6, 0x00, 0x13,  // invokevirtual println(String)
      0xB2, 0x00, 0x0D,  // getstatic System.out
      0x14, 0x00, 0x18,  // ldc2_w 6442450944L
      0xB6, 0x00, 0x1C,  // invokevirtual println(long)
      0xB1,              // return
  };
  // LineNumberTable: 2 (count) + 4 (one entry).
  antlr::RefAST lines = attribute(
      6, tree(shortNode(T::ATTR_LINE_NUMBER_TABLE, 1),
              {tree(stringNode(T::LINE_NUMBER_ENTRY), {shortNode(T::START_PC, 0), shortNode(T::LINE_NUMBER, 3)})}));
  // Code: 2 + 2 + 4 + 18 (code) + 2 (no exception table) + 2 (one attribute) + 6 + 6 (LineNumberTable).
  antlr::RefAST codeAttr =
      attribute(42, tree(stringNode(T::ATTR_CODE),
                         {shortNode(T::MAXSTACK, 3), shortNode(T::MAXLOCALS, 1), bytesNode(T::CODE_BYTES, code),
                          shortNode(T::ATTR_EXCEPTIONS, 0), tree(shortNode(T::DEBUG_ATTRIBUTES, 1), {lines})}));
  antlr::RefAST mainMethod = tree(stringNode(T::METHOD_INFO),
                                  {shortNode(T::ACCESS_FLAGS, 0x0009), shortNode(T::NAME, 5),
                                   shortNode(T::SIGNATURE, 6), tree(shortNode(T::METHOD_ATTRIBUTES, 1), {codeAttr})});

  return siblings({
      bytesNode(T::MAGIC_NUMBER, {0xCA, 0xFE, 0xBA, 0xBE}),
      tree(stringNode(T::VERSION), {shortNode(T::MINOR, 3), shortNode(T::MAJOR, 45)}),
      pool,
      tree(stringNode(T::THIS_CLASS),
           {shortNode(T::ACCESS_FLAGS, 0x0021), shortNode(T::CLASS_INFO, 2),
            tree(stringNode(T::EXTENDS), {shortNode(T::CLASS_INFO, 4)}), stringNode(T::IMPLEMENTS)}),
      shortNode(T::FIELDS, 0),
      tree(shortNode(T::METHODS, 1), {mainMethod}),
      tree(shortNode(T::ATTRIBUTES, 1), {attribute(2, shortNode(T::ATTR_SOURCE_FILE, 23))}),
  });
}

std::string writeHandBuiltClass(const kavrin_test::TempDir& dir) {
  std::ostringstream out;
  ClassFileWriter writer(&out);
  antlr::ASTFactory factory;
  writer.setASTFactory(&factory);
  writer.classFile(handBuiltClass());
  EXPECT_FALSE(writer.hadErrors());
  const std::string bytes = out.str();
  kavrin_test::writeFile(dir.file(std::string(kClassName) + ".class"), bytes);
  return bytes;
}

}  // namespace

TEST(WriterJvm, HandBuiltClassRunsUnderFullVerification) {
  kavrin_test::TempDir dir("kavrin-writer");
  writeHandBuiltClass(dir);
  kavrin_test::CommandResult r = kavrin_test::runJava(dir.path(), {"-Xverify:all", kClassName});
  EXPECT_FALSE(r.timedOut);
  EXPECT_EQ(r.exitCode, 0) << r.output;
  EXPECT_EQ(r.output, "written by ClassFileWriter\n6442450944\n");
}

TEST(WriterJvm, JavapReadsTheHandBuiltClass) {
  kavrin_test::TempDir dir("kavrin-writer");
  writeHandBuiltClass(dir);
  kavrin_test::CommandResult r = kavrin_test::runCommand({kavrin_test::kJavap, "-v", "-cp", dir.path(), kClassName});
  ASSERT_EQ(r.exitCode, 0) << r.output;
  EXPECT_NE(r.output.find("minor version: 3"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("major version: 45"), std::string::npos);
  EXPECT_NE(r.output.find("public static void main(java.lang.String[]);"), std::string::npos);
  EXPECT_NE(r.output.find("line 3: 0"), std::string::npos);
  EXPECT_NE(r.output.find("SourceFile: \"WrittenByHand.java\""), std::string::npos);
  EXPECT_NE(r.output.find("6442450944l"), std::string::npos);
  EXPECT_EQ(r.output.find("error"), std::string::npos) << r.output;
}

TEST(WriterJvm, HandBuiltClassParsesAndWritesBackTheSame) {
  kavrin_test::TempDir dir("kavrin-writer");
  const std::string bytes = writeHandBuiltClass(dir);
  writer_corpus::Parsed parsed = writer_corpus::parse(Bytes(bytes.begin(), bytes.end()));
  std::ostringstream again;
  ClassFileWriter writer(&again);
  writer.classFile(parsed.tree);
  EXPECT_EQ(again.str(), bytes);
  EXPECT_FALSE(writer.hadErrors());
}
