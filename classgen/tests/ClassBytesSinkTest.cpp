// The class bytes sink: the initializer text of the bytes written into it.
#include "ClassBytesSink.h"
#include "ClassgenTestSupport.h"
#include "InterfaceImplBuilder.hpp"
#include "ProxyGenerator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>

using namespace classgen_test;

namespace {

std::string textOf(const std::vector<unsigned char>& bytes)
{
    ClassBytesSink sink;
    sink.getStream()->write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return sink.toString();
}

// The bytes that initializer text stands for.
std::vector<unsigned char> parseText(const std::string& text)
{
    static const std::regex item("0x([0-9a-f]{2})");
    std::vector<unsigned char> bytes;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), item); it != std::sregex_iterator(); ++it)
        bytes.push_back(static_cast<unsigned char>(std::stoi((*it)[1].str(), nullptr, 16)));
    return bytes;
}

TEST(ClassBytesSink, FifteenItemsALine)
{
    EXPECT_EQ(textOf({}), "");

    std::vector<unsigned char> fifteen;
    for (unsigned char b = 0; b < 15; ++b)
        fifteen.push_back(b);
    EXPECT_EQ(textOf(fifteen), "0x00,0x01,0x02,0x03,0x04,0x05,0x06,0x07,0x08,0x09,0x0a,0x0b,0x0c,0x0d,0x0e");

    std::vector<unsigned char> sixteen = fifteen;
    sixteen.push_back(0x10);
    EXPECT_EQ(textOf(sixteen),
              "0x00,0x01,0x02,0x03,0x04,0x05,0x06,0x07,0x08,0x09,0x0a,0x0b,0x0c,0x0d,0x0e,\n0x10");

    const std::string thirty = textOf(std::vector<unsigned char>(31, 0x7f));
    EXPECT_EQ(std::count(thirty.begin(), thirty.end(), '\n'), 2);
    EXPECT_EQ(thirty.substr(thirty.size() - 6), ",\n0x7f");
}

TEST(ClassBytesSink, HighBytesStayUnsigned)
{
    EXPECT_EQ(textOf({0xff, 0x80, 0x7f}), "0xff,0x80,0x7f");
    EXPECT_EQ(textOf({0xca, 0xfe, 0xba, 0xbe}), "0xca,0xfe,0xba,0xbe");
    std::vector<unsigned char> all;
    for (int b = 0; b < 256; ++b)
        all.push_back(static_cast<unsigned char>(b));
    const std::string text = textOf(all);
    EXPECT_EQ(text.find("0xffff"), std::string::npos);
    EXPECT_EQ(parseText(text), all);
    EXPECT_TRUE(std::regex_match(text, std::regex("(0x[0-9a-f]{2},\n?)*0x[0-9a-f]{2}")));
}

TEST(ClassBytesSink, TheTextOfAWrittenClassReadsBackAsItsBytes)
{
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
