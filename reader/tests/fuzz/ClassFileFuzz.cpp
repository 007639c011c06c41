// Any bytes as a class file: a parse either fails with an antlr exception or gives a tree that
// the class-file writer writes back without errors (but the report of a constant pool without
// entries, which the parser takes), and a walk of it without output finds the flags that the
// parser found. The bytes written are the input's, but for two changes the writer makes: it names
// attributes by the last pool entry holding the name (the tree keeps no name index), and writes
// NaN constants as the canonical NaN. A file where either can apply is written at its size, and
// the bytes written are written again as they are. Method code that the parse keeps as bytes
// becomes, once read, the nodes of a parse that builds it at once.
#include "ClassFileTokenTypes.hpp"
#include "ClassFileWriter.hpp"
#include "FuzzSupport.h"
#include "ReaderTestSupport.h"
#include "ValueAST.h"

#include <antlr/ANTLRException.hpp>
#include <antlr/ASTFactory.hpp>

#include <cmath>
#include <set>
#include <sstream>

namespace {

struct Parsed {
  antlr::RefAST tree;
  unsigned expectedErrors = 0;  // 1 for a constant pool without entries
  bool isInterface = false;
  bool hasNativeMethods = false;
};

// The CONSTANT_POOL node among the top-level nodes.
antlr::RefAST poolOf(const antlr::RefAST& tree) {
  antlr::RefAST node = tree;
  while (node && node->getType() != ClassFileTokenTypes::CONSTANT_POOL) node = node->getNextSibling();
  return node;
}

bool parse(const uint8_t* data, size_t size, Parsed& parsed, bool deferredCode = true) {
  reader_test::Parsed out;
  try {
    out = reader_test::parseBytes(std::vector<uint8_t>(data, data + size), "", deferredCode);
  } catch (const antlr::ANTLRException&) {
    return false;
  }
  parsed.tree = out.tree;
  FUZZ_CHECK(parsed.tree, "a parse without error gave no tree");
  const antlr::RefAST pool = poolOf(parsed.tree);
  parsed.expectedErrors = pool && !pool->getFirstChild() ? 1 : 0;
  parsed.isInterface = out.isInterface;
  parsed.hasNativeMethods = out.hasNativeMethods;
  return true;
}

// Writes the tree; checks that the writer reports no error and finds the parser's flags.
std::string write(const Parsed& parsed) {
  std::ostringstream out(std::ios::out | std::ios::binary);
  antlr::ASTFactory factory;
  ClassFileWriter writer(&out);
  writer.setASTFactory(&factory);
  writer.classFile(parsed.tree);
  FUZZ_CHECK(writer.getErrorCount() == parsed.expectedErrors,
             std::to_string(writer.getErrorCount()) + " errors writing a parsed class");
  FUZZ_CHECK(writer.isInterface() == parsed.isInterface && writer.hasNativeMethods() == parsed.hasNativeMethods,
             "the writer's flags differ from the parser's");
  return out.str();
}

// Whether the writer may write the tree's pool otherwise than it was read: two CONSTANT_Utf8
// entries hold the same text, or a float or double constant is a NaN.
bool writerMayChangePool(const antlr::RefAST& tree) {
  const antlr::RefAST pool = poolOf(tree);
  std::set<std::string> texts;
  for (antlr::RefAST entry = pool ? pool->getFirstChild() : antlr::nullAST; entry; entry = entry->getNextSibling()) {
    const StringAST* utf8 = dynamic_cast<const StringAST*>(entry.get());
    if (entry->getType() == ClassFileTokenTypes::CONSTANT_UTF8 && utf8 && !texts.insert(utf8->value()).second)
      return true;
    const FloatAST* f = dynamic_cast<const FloatAST*>(entry.get());
    const DoubleAST* d = dynamic_cast<const DoubleAST*>(entry.get());
    if ((f && std::isnan(f->getValue())) || (d && std::isnan(d->getValue()))) return true;
  }
  return false;
}

std::size_t firstDifference(const std::string& written, const uint8_t* data, size_t size) {
  std::size_t at = 0;
  while (at < written.size() && at < size && static_cast<unsigned char>(written[at]) == data[at]) ++at;
  return at;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz_support::quietErrorStream();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Parsed parsed;
  if (!parse(data, size, parsed)) return 0;
  const std::string written = write(parsed);
  const std::size_t at = firstDifference(written, data, size);
  FUZZ_CHECK(written.size() == size, std::to_string(written.size()) + " bytes written for " + std::to_string(size));
  if (at != size) {
    FUZZ_CHECK(writerMayChangePool(parsed.tree), "the first difference at offset " + std::to_string(at));
    Parsed again;
    FUZZ_CHECK(parse(reinterpret_cast<const uint8_t*>(written.data()), written.size(), again),
               "the bytes written do not parse");
    FUZZ_CHECK(write(again) == written, "the bytes written are written otherwise");
  }

  ClassFileWriter walker;
  antlr::ASTFactory factory;
  walker.setASTFactory(&factory);
  walker.classFile(parsed.tree);
  FUZZ_CHECK(walker.getErrorCount() == parsed.expectedErrors, "errors in a walk without output");
  FUZZ_CHECK(walker.isInterface() == parsed.isInterface && walker.hasNativeMethods() == parsed.hasNativeMethods,
             "the flags of a walk without output differ from the parser's");

  // Method code kept as bytes is built on first read into what a parse that builds it at once makes.
  Parsed full;
  FUZZ_CHECK(parse(data, size, full, false), "a parse building all code fails where the parse keeping it passed");
  FUZZ_CHECK(parsed.tree->toStringList() == full.tree->toStringList(), "code built on first read differs");
  return 0;
}
