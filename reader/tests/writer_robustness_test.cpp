// Malformed trees never crash the writer: seeded random damage to parsed fixture trees (node types
// changed to any number or to another node's type, children cut off, sibling chains cut, nodes
// without values spliced in), walked with and without output.
#include "ClassFileWriter.hpp"
#include "TestPaths.h"
#include "writer_corpus.h"

#include <antlr/CommonAST.hpp>
#include <gtest/gtest.h>

#include <random>
#include <sstream>

namespace {

void collect(const antlr::RefAST& first, std::vector<antlr::RefAST>& nodes) {
  for (antlr::RefAST n = first; n; n = n->getNextSibling()) {
    nodes.push_back(n);
    collect(n->getFirstChild(), nodes);
  }
}

void damage(std::vector<antlr::RefAST>& nodes, std::mt19937& random) {
  antlr::RefAST node = nodes[random() % nodes.size()];
  switch (random() % 5) {
    case 0:
      node->setType(static_cast<int>(random() % 130) - 10);
      break;
    case 1:
      node->setFirstChild(antlr::RefAST());
      break;
    case 2:
      node->setNextSibling(antlr::RefAST());
      break;
    case 3: {
      // A node that carries no class-file value, of a type that the writer matches.
      antlr::RefAST plain(new antlr::CommonAST());
      plain->setType(static_cast<int>(random() % 96) + 4);
      plain->setNextSibling(node->getFirstChild());
      node->setFirstChild(plain);
      break;
    }
    default:
      // The type of another node of the tree.
      node->setType(nodes[random() % nodes.size()]->getType());
      break;
  }
}

}  // namespace

TEST(WriterRobustness, DamagedTreesAreWalkedWithoutCrashing) {
  const std::vector<writer_corpus::ClassBytes> classes = writer_corpus::folderClasses(kavrin_test::kFixtureClasses);
  ASSERT_FALSE(classes.empty());
  std::mt19937 random(20240611);
  std::size_t reported = 0;
  const int rounds = 3000;
  testing::internal::CaptureStderr();
  for (int round = 0; round < rounds; ++round) {
    const writer_corpus::ClassBytes& c = classes[static_cast<std::size_t>(round) % classes.size()];
    writer_corpus::Parsed parsed = writer_corpus::parse(c.bytes);
    std::vector<antlr::RefAST> nodes;
    collect(parsed.tree, nodes);
    const int hits = 1 + static_cast<int>(random() % 4);
    for (int h = 0; h < hits; ++h) damage(nodes, random);
    nodes.clear();

    std::ostringstream out;
    ClassFileWriter writer(&out);
    writer.classFile(parsed.tree);
    reported += writer.hadErrors();
    ClassFileWriter walker;
    walker.classFile(parsed.tree);
    // The same tree, written twice, gives the same bytes.
    std::ostringstream again;
    ClassFileWriter second(&again);
    second.classFile(parsed.tree);
    ASSERT_EQ(out.str(), again.str()) << c.name << " round " << round;
    ASSERT_EQ(writer.getErrorCount(), second.getErrorCount());
  }
  testing::internal::GetCapturedStderr();
  // Most damage is noticed (the rest, such as a cut list, only changes what is written).
  EXPECT_GT(reported, static_cast<std::size_t>(rounds / 2));
}
