// Any bytes that parse as a class file, given to the interface implementation builder (when they
// hold an interface) and to the delegator builder, with their super types found in a small class
// path (a few java.base classes, the fixtures). A build either fails with one of its documented
// exceptions or gives a class that the class-file writer writes without errors and that parses
// again; the C++ texts of both kinds of file are then written (to scratch files).
#include "ByteCodeGenerator.h"
#include "ClassBytesInput.h"
#include "ClassFileLexer.hpp"
#include "ClassFileParser.hpp"
#include "ClassFileWriter.hpp"
#include "ClassRepository.h"
#include "DelegatorBuilder.hpp"
#include "FuzzSupport.h"
#include "InterfaceImplBuilder.hpp"
#include "ProxyGenerator.h"
#include "StringHelpers.h"
#include "ValueAST.h"

#include <antlr/ANTLRException.hpp>
#include <antlr/ASTFactory.hpp>

#include <sstream>

namespace {

// The tree of class bytes, or null when they do not parse.
antlr::RefAST parse(const uint8_t* data, size_t size, std::string* className, bool* isInterface) {
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
    return antlr::nullAST;
  }
  if (className) *className = parser.getClassName();
  if (isInterface) *isInterface = parser.isInterface();
  return parser.getAST();
}

// Writes a built class and parses the bytes again.
void checkBuilt(const antlr::RefAST& built, const char* what) {
  FUZZ_CHECK(built, std::string(what) + ": a build without error gave no class");
  std::ostringstream out(std::ios::out | std::ios::binary);
  antlr::ASTFactory factory;
  ClassFileWriter writer(&out);
  writer.setASTFactory(&factory);
  writer.classFile(built);
  FUZZ_CHECK(!writer.hadErrors(), std::string(what) + ": the built class is written with errors");
  const std::string bytes = out.str();
  FUZZ_CHECK(parse(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), nullptr, nullptr),
             std::string(what) + ": the built class does not parse");
}

template <class Builder>
void build(ProxyGenerator& generator, const antlr::RefAST& tree, const char* what) {
  antlr::ASTFactory factory;
  Builder::initializeASTFactory(factory);
  Builder builder(&generator);
  builder.setASTFactory(&factory);
  try {
    builder.classFile(tree);
  } catch (const antlr::ANTLRException&) {
    return;
  } catch (const ByteCodeException&) {
    return;
  }
  checkBuilt(builder.getAST(), what);
}

// Runs a text writer of the generator into two files of the scratch folder.
template <class Write>
void writeTexts(ProxyGenerator& generator, Write write) {
  const std::string& folder = fuzz_support::scratchFolder();
  generator.m_pHeader = new GeneratedFile(folder + "/Generated.h", folder);
  generator.m_pSource = new GeneratedFile(folder + "/Generated.cpp", folder);
  try {
    write();
  } catch (const antlr::ANTLRException&) {
  } catch (const ByteCodeException&) {
  }
  generator.closeOutputFiles();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz_support::quietErrorStream();
  ClassRepository::resetModules(std::string());
  for (const char* module : {KAVRIN_FUZZ_MODULES}) ClassRepository::addModule(module);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string className;
  bool isInterface = false;
  const antlr::RefAST tree = parse(data, size, &className, &isInterface);
  if (!tree) return 0;
  const std::string dotted = replaceChar(className, '/', '.');
  if (isInterface) {
    ProxyGenerator generator(dotted);
    generator.setIsInterface(true);
    build<InterfaceImplBuilder>(generator, tree, "implementation");
    writeTexts(generator, [&] { generator.genInterfaceImplCode(tree, false); });
  }
  ProxyGenerator generator(dotted);
  generator.setIsInterface(isInterface);
  build<DelegatorBuilder>(generator, tree, "delegator");
  writeTexts(generator, [&] { generator.genDelegatorCode(tree, true); });
  return 0;
}
