// Parse then write gives back the same bytes, and a walk without output finds the parser's flags:
// over the fixture classes (with and without debug information), over every class of JDK 17's
// java.base module, and over every class of a run-time image made by jlink.
#include "ClassFileWriter.hpp"
#include "ClassRepository.h"
#include "JavaImage.h"
#include "TestPaths.h"
#include "writer_corpus.h"

#include <antlr/ANTLRException.hpp>
#include <gtest/gtest.h>

#include <cstring>
#include <iostream>
#include <sstream>

using writer_corpus::ClassBytes;

namespace {

// What a pass over a corpus found.
struct Tally {
  std::size_t compared = 0;
  std::size_t identical = 0;
  std::size_t bytes = 0;
  std::size_t interfaces = 0;
  std::size_t natives = 0;
  std::size_t withRawPoolEntries = 0;
  std::vector<std::string> failures;

  void fail(const std::string& text) {
    if (failures.size() < 20)
      failures.push_back(text);
    else if (failures.size() == 20)
      failures.push_back("...");
  }
};

bool hasRawPoolEntry(const antlr::RefAST& tree) {
  antlr::RefAST pool = tree->getNextSibling()->getNextSibling();
  for (antlr::RefAST e = pool->getFirstChild(); e; e = e->getNextSibling())
    if (e->getType() == ClassFileWriterTokenTypes::ATTR_UNKNOWN) return true;
  return false;
}

// Parses the class, writes it back, walks it without output; records what differs.
void check(const ClassBytes& c, Tally& tally) {
  writer_corpus::Parsed parsed;
  try {
    parsed = writer_corpus::parse(c.bytes);
  } catch (antlr::ANTLRException& e) {
    tally.fail(c.name + ": does not parse: " + e.getMessage());
    return;
  }
  ++tally.compared;
  tally.bytes += c.bytes.size();
  if (hasRawPoolEntry(parsed.tree)) ++tally.withRawPoolEntries;

  std::ostringstream out;
  ClassFileWriter writer(&out);
  antlr::ASTFactory factory;
  writer.setASTFactory(&factory);
  writer.classFile(parsed.tree);
  const std::string written = out.str();
  if (writer.hadErrors()) tally.fail(c.name + ": " + std::to_string(writer.getErrorCount()) + " errors while writing");
  if (written.size() == c.bytes.size() && std::memcmp(written.data(), c.bytes.data(), written.size()) == 0) {
    ++tally.identical;
  } else {
    std::size_t at = 0;
    while (at < written.size() && at < c.bytes.size() && static_cast<unsigned char>(written[at]) == c.bytes[at]) ++at;
    tally.fail(c.name + ": " + std::to_string(written.size()) + " bytes written for " + std::to_string(c.bytes.size()) +
               ", first difference at offset " + std::to_string(at));
  }
  // The flags of a write match the parser's too.
  if (writer.isInterface() != parsed.isInterface || writer.hasNativeMethods() != parsed.hasNativeMethods)
    tally.fail(c.name + ": flags of the writing walk differ from the parser's");

  ClassFileWriter walker;
  walker.setASTFactory(&factory);
  walker.classFile(parsed.tree);
  if (walker.isInterface() != parsed.isInterface)
    tally.fail(c.name + ": walk-only interface flag " + std::to_string(walker.isInterface()) + ", parser " +
               std::to_string(parsed.isInterface));
  if (walker.hasNativeMethods() != parsed.hasNativeMethods)
    tally.fail(c.name + ": walk-only native flag " + std::to_string(walker.hasNativeMethods()) + ", parser " +
               std::to_string(parsed.hasNativeMethods));
  if (walker.hadErrors()) tally.fail(c.name + ": errors in the walk without output");
  tally.interfaces += walker.isInterface();
  tally.natives += walker.hasNativeMethods();
}

std::string failureList(const Tally& tally) {
  std::string text;
  for (const std::string& f : tally.failures) text += f + "\n";
  return text;
}

void report(const char* corpus, const Tally& tally) {
  std::cout << corpus << ": " << tally.compared << " classes (" << tally.bytes << " bytes) compared, "
            << tally.identical << " written back identically; walk only: " << tally.interfaces << " interfaces, "
            << tally.natives << " with native methods, " << tally.withRawPoolEntries
            << " with raw pool entries (tags 15-20)" << std::endl;
  ::testing::Test::RecordProperty("classes_compared", static_cast<int>(tally.compared));
}

Tally checkFolder(const std::string& folder) {
  Tally tally;
  for (const ClassBytes& c : writer_corpus::folderClasses(folder)) check(c, tally);
  return tally;
}

// Round trips every class of a fixture build: all of them compare equal. The fixtures hold
// classes, interfaces, enums, nested, anonymous and generic classes, lambdas and natives.
Tally checkFixtures(const std::string& folder, const char* label) {
  Tally tally = checkFolder(folder);
  report(label, tally);
  EXPECT_TRUE(tally.failures.empty()) << failureList(tally);
  EXPECT_GE(tally.compared, 20u);
  EXPECT_GT(tally.interfaces, 0u);
  EXPECT_GT(tally.natives, 0u);
  return tally;
}

}  // namespace

TEST(WriterRoundTrip, FixtureClassesWithDebugInformation) {
  const Tally tally = checkFixtures(kavrin_test::kFixtureClasses, "fixtures (-g)");
  EXPECT_GT(tally.withRawPoolEntries, 0u);
}

TEST(WriterRoundTrip, FixtureClassesWithoutDebugInformation) {
  checkFixtures(kavrin_test::kFixtureClassesNoDebug, "fixtures (-g:none)");
}

TEST(WriterRoundTrip, EveryClassOfJavaBase) {
  Tally tally;
  const std::size_t entries = writer_corpus::forEachArchiveClass(kavrin_test::kJavaBaseJmod, "classes/",
                                                                 [&](const ClassBytes& c) { check(c, tally); });
  report("java.base.jmod", tally);
  EXPECT_TRUE(tally.failures.empty()) << failureList(tally);
  EXPECT_EQ(tally.compared, entries);
  EXPECT_EQ(tally.identical, entries);
  EXPECT_GT(entries, 6000u);
  EXPECT_GT(tally.interfaces, 500u);
  EXPECT_GT(tally.natives, 50u);
  EXPECT_GT(tally.withRawPoolEntries, 200u);
}

TEST(WriterRoundTrip, EveryClassOfAJlinkImage) {
  std::shared_ptr<const JavaImage> image = JavaImage::open(std::string(kavrin_test::kJlinkImage) + "/lib/modules");
  Tally tally;
  std::size_t entries = 0;
  for (const std::string& module : image->moduleNames()) {
    for (const std::string& entry : image->classEntries(module)) {
      ClassBytes c;
      c.name = module + "/" + entry;
      ASSERT_TRUE(image->readClass(entry.substr(0, entry.size() - 6), module, ClassRepository::kMaxClassBytes, c.bytes))
          << c.name;
      ++entries;
      check(c, tally);
    }
  }
  report("jlink image (java.base, java.logging)", tally);
  EXPECT_TRUE(tally.failures.empty()) << failureList(tally);
  EXPECT_EQ(tally.identical, entries);
  EXPECT_GT(entries, 6400u);
}
