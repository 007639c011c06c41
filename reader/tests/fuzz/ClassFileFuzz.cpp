// Any bytes as a class file: a parse either fails with an antlr exception or gives a tree that
// the class-file writer writes back byte for byte without errors, and a walk of it without
// output finds the flags that the parser found.
#include "ClassBytesInput.h"
#include "ClassFileLexer.hpp"
#include "ClassFileParser.hpp"
#include "ClassFileWriter.hpp"
#include "FuzzSupport.h"
#include "ValueAST.h"

#include <antlr/ANTLRException.hpp>
#include <antlr/ASTFactory.hpp>

#include <cstring>
#include <sstream>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ClassBytesInput input(data, size);
    ClassFileLexer lexer(input);
    ClassFileParser parser(lexer);
    antlr::ASTFactory factory;
    parser.initializeASTFactory(factory);
    parser.setASTFactory(&factory);
    setTokenNameTable(parser.getTokenNames());
    try {
        parser.classFile(std::string());
    } catch (const antlr::ANTLRException&) {
        return 0;
    }
    const antlr::RefAST tree = parser.getAST();
    FUZZ_CHECK(tree, "a parse without error gave no tree");

    std::ostringstream out(std::ios::out | std::ios::binary);
    antlr::ASTFactory writerFactory;
    ClassFileWriter writer(&out);
    writer.setASTFactory(&writerFactory);
    writer.classFile(tree);
    FUZZ_CHECK(!writer.hadErrors(), std::to_string(writer.getErrorCount()) + " errors writing a parsed class");
    const std::string written = out.str();
    std::size_t at = 0;
    while (at < written.size() && at < size && static_cast<unsigned char>(written[at]) == data[at])
        ++at;
    FUZZ_CHECK(written.size() == size && at == size,
               std::to_string(written.size()) + " bytes written for " + std::to_string(size) +
                   ", the first difference at offset " + std::to_string(at));
    FUZZ_CHECK(writer.isInterface() == parser.isInterface() && writer.hasNativeMethods() == parser.hasNativeMethods(),
               "the writer's flags differ from the parser's");

    ClassFileWriter walker;
    walker.setASTFactory(&writerFactory);
    walker.classFile(tree);
    FUZZ_CHECK(!walker.hadErrors(), "errors in a walk without output");
    FUZZ_CHECK(walker.isInterface() == parser.isInterface() && walker.hasNativeMethods() == parser.hasNativeMethods(),
               "the flags of a walk without output differ from the parser's");
    return 0;
}
