// Helpers of the classgen tests: parsing class bytes into a class-file tree, writing a tree back
// to bytes, reaching nodes of a tree, and the fixture modules.
#pragma once

#include "ClassBytesInput.h"
#include "ClassFileLexer.hpp"
#include "ClassFileParser.hpp"
#include "ClassFileWriter.hpp"
#include "ClassRepository.h"
#include "TestPaths.h"
#include "ValueAST.h"

#include <antlr/ASTFactory.hpp>

#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace classgen_test {

typedef ClassFileTokenTypes T;

// The class-file tree of class bytes (antlr exceptions on malformed bytes).
inline antlr::RefAST parseClassBytes(const std::vector<unsigned char>& bytes)
{
    ClassBytesInput input(bytes);
    ClassFileLexer lexer(input);
    ClassFileParser parser(lexer);
    antlr::ASTFactory factory;
    parser.initializeASTFactory(factory);
    parser.setASTFactory(&factory);
    setTokenNameTable(parser.getTokenNames());
    parser.classFile(std::string());
    return parser.getAST();
}

struct Written {
    std::vector<unsigned char> bytes;
    std::size_t errors = 0;
};

// The bytes the class-file writer writes for a tree.
inline Written writeTree(const antlr::RefAST& tree)
{
    std::ostringstream out(std::ios::out | std::ios::binary);
    ClassFileWriter writer(&out);
    antlr::ASTFactory factory;
    writer.setASTFactory(&factory);
    writer.classFile(tree);
    Written written;
    const std::string text = out.str();
    written.bytes.assign(text.begin(), text.end());
    written.errors = writer.getErrorCount();
    return written;
}

// The first top-level sibling of a type (the tree given by its first sibling).
inline antlr::RefAST topLevel(const antlr::RefAST& first, int type)
{
    for (antlr::RefAST node = first; node; node = node->getNextSibling()) {
        if (node->getType() == type)
            return node;
    }
    return antlr::nullAST;
}

// The children of a node, in order.
inline std::vector<antlr::RefAST> children(const antlr::RefAST& node)
{
    std::vector<antlr::RefAST> list;
    if (!node)
        return list;
    for (antlr::RefAST child = node->getFirstChild(); child; child = child->getNextSibling())
        list.push_back(child);
    return list;
}

// The child of a type (the first one), or null.
inline antlr::RefAST child(const antlr::RefAST& node, int type)
{
    for (const antlr::RefAST& c : children(node)) {
        if (c->getType() == type)
            return c;
    }
    return antlr::nullAST;
}

inline uint16_t shortOf(const antlr::RefAST& node)
{
    const ShortAST* value = node ? dynamic_cast<const ShortAST*>(node.get()) : nullptr;
    if (!value)
        throw std::runtime_error("not a ShortAST node");
    return value->getValue();
}

// The pool of a class-file tree by class-file index (entry 0 and the second slot of a long or
// double hold their own nodes, so position = index).
inline std::vector<antlr::RefAST> poolByIndex(const antlr::RefAST& tree)
{
    std::vector<antlr::RefAST> pool(1);
    for (const antlr::RefAST& entry : children(topLevel(tree, T::CONSTANT_POOL)))
        pool.push_back(entry);
    return pool;
}

// The text of the CONSTANT_UTF8 node at an index, or "<not utf8>".
inline std::string utf8At(const std::vector<antlr::RefAST>& pool, uint16_t index)
{
    if (index == 0 || index >= pool.size() || pool[index]->getType() != T::CONSTANT_UTF8)
        return "<not utf8>";
    return pool[index]->getText();
}

// The class name of the CONSTANT_CLASS node at an index, or "<not a class>".
inline std::string classAt(const std::vector<antlr::RefAST>& pool, uint16_t index)
{
    if (index == 0 || index >= pool.size() || pool[index]->getType() != T::CONSTANT_CLASS)
        return "<not a class>";
    return utf8At(pool, shortOf(pool[index]));
}

// Resets the module set to the JDK and the fixture classes.
inline void useFixtureModules()
{
    ClassRepository::resetModules(std::string());
    ClassRepository::addModule(kavrin_test::kFixtureClasses);
    ClassRepository::addModule(std::string(kavrin_test::kJdkHome) + "/jmods/java.base.jmod");
}

}  // namespace classgen_test
