// The class bytes sink: the initializer text of the bytes written into it.
#include "ClassBytesSink.h"
#include "ClassgenTestSupport.h"
#include "InterfaceImplBuilder.hpp"
#include "ProxyGenerator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

using namespace classgen_test;

namespace {

std::string textOf(const std::vector<unsigned char>& bytes) {
  ClassBytesSink sink;
  sink.getStream()->write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return sink.toString();
}

bool isHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); }

// The bytes that initializer text stands for; throws when the text is not items of "0x" and two
// lower-case hexadecimal digits, separated by "," or ",\n".
std::vector<unsigned char> parseText(const std::string& text) {
  std::vector<unsigned char> bytes;
  std::size_t pos = 0;
  while (pos < text.size()) {
    if (!bytes.empty()) {
      if (text[pos] != ',') throw std::runtime_error("no comma at " + std::to_string(pos));
      ++pos;
      if (pos < text.size() && text[pos] == '\n') ++pos;
    }
    if (text.compare(pos, 2, "0x") != 0 || pos + 4 > text.size() || !isHexDigit(text[pos + 2]) ||
        !isHexDigit(text[pos + 3]))
      throw std::runtime_error("no item at " + std::to_string(pos));
    bytes.push_back(static_cast<unsigned char>(std::stoi(text.substr(pos + 2, 2), nullptr, 16)));
    pos += 4;
  }
  return bytes;
}

TEST(ClassBytesSink, FifteenItemsALine) {
  EXPECT_EQ(textOf({}), "");

  std::vector<unsigned char> fifteen;
  for (unsigned char b = 0; b < 15; ++b) fifteen.push_back(b);
  EXPECT_EQ(textOf(fifteen), "0x00,0x01,0x02,0x03,0x04,0x05,0x06,0x07,0x08,0x09,0x0a,0x0b,0x0c,0x0d,0x0e");

  std::vector<unsigned char> sixteen = fifteen;
  sixteen.push_back(0x10);
  EXPECT_EQ(textOf(sixteen), "0x00,0x01,0x02,0x03,0x04,0x05,0x06,0x07,0x08,0x09,0x0a,0x0b,0x0c,0x0d,0x0e,\n0x10");

  const std::string thirty = textOf(std::vector<unsigned char>(31, 0x7f));
  EXPECT_EQ(std::count(thirty.begin(), thirty.end(), '\n'), 2);
  EXPECT_EQ(thirty.substr(thirty.size() - 6), ",\n0x7f");
}

TEST(ClassBytesSink, HighBytesStayUnsigned) {
  EXPECT_EQ(textOf({0xff, 0x80, 0x7f}), "0xff,0x80,0x7f");
  EXPECT_EQ(textOf({0xca, 0xfe, 0xba, 0xbe}), "0xca,0xfe,0xba,0xbe");
  std::vector<unsigned char> all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<unsigned char>(b));
  const std::string text = textOf(all);
  EXPECT_EQ(text.find("0xffff"), std::string::npos);
  EXPECT_EQ(parseText(text), all);
  // A line break follows every 15th item only.
  std::size_t lineStart = 0;
  for (std::size_t end = text.find('\n'); end != std::string::npos; end = text.find('\n', lineStart)) {
    EXPECT_EQ(end - lineStart, 15u * 5u);
    lineStart = end + 1;
  }
}

TEST(ClassBytesSink, TheTextOfAWrittenClassReadsBackAsItsBytes) {
  useFixtureModules();
  ClassRepository repository;
  const antlr::RefAST tree = repository.loadClass("fixtures/impl/Everything", std::string());
  ASSERT_TRUE(tree);
  ProxyGenerator generator("fixtures.impl.Everything");
  antlr::ASTFactory factory;
  InterfaceImplBuilder builder(&generator);
  builder.setASTFactory(&factory);
  builder.classFile(tree);

  ClassBytesSink sink;
  ClassFileWriter writer(sink.getStream());
  writer.setASTFactory(&factory);
  writer.classFile(builder.getAST());
  ASSERT_FALSE(writer.hadErrors());

  const std::string text = sink.toString();
  EXPECT_EQ(sink.toString(), text);
  EXPECT_EQ(text.compare(0, 19, "0xca,0xfe,0xba,0xbe"), 0);
  EXPECT_EQ(parseText(text), sink.getBytes());
  EXPECT_EQ(sink.getBytes(), writeTree(builder.getAST()).bytes);
  EXPECT_GT(sink.getBytes().size(), 1000u);
}

}  // namespace
