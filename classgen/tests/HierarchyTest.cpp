// Hostile hierarchies in one jar made at build time: chains of 6,000 classes and of 6,000
// interfaces, and a "ladder" of 20 levels of two interfaces that both extend the next level's
// two. Implementations and delegators of them are refused past the depth bound with a message
// that reaches the log, are built whole up to it, and walk each type of a ladder once.
#include "ClassgenTestSupport.h"
#include "DelegatorBuilder.hpp"
#include "InterfaceImplBuilder.hpp"
#include "ProxyGenerator.h"
#include "StringHelpers.h"
#include "TestSupport.h"

#include <antlr/ANTLRException.hpp>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <set>

using namespace classgen_test;

namespace {

// The jar's hierarchies (MakeHierarchies.cpp).
const int kChain = 6000;
const int kLadder = 20;

std::string chainClass(int i) { return "hier/C" + std::to_string(i); }
std::string chainInterface(int i) { return "hier/I" + std::to_string(i); }
std::string rung(char side, int i) { return std::string("hier/") + side + std::to_string(i); }

class Hierarchies : public ::testing::Test {
 protected:
  void SetUp() override {
    // A fresh cache: every load starts at the jar.
    ClassRepository::resetModules(std::string());
    ClassRepository::addModule(CLASSGEN_HIERARCHY_JAR);
    ClassRepository::addModule(kavrin_test::kJavaBaseJmod);
  }
};

struct Walk {
  std::vector<std::string> types;
  std::vector<Method> methods;
};

template <class Builder>
Walk walk(const std::string& name) {
  ProxyGenerator generator(replaceChar(name, '/', '.'));
  const BuiltClass built = buildWith<Builder>(generator, loadTree(name));
  Walk result;
  result.types = built.walkedTypes;
  const antlr::RefAST& parsed = built.parsed;
  for (const antlr::RefAST& info : children(topLevel(parsed, T::METHODS))) {
    const std::vector<antlr::RefAST> parts = children(info);
    const std::vector<antlr::RefAST> pool = poolByIndex(parsed);
    result.methods.push_back({shortOf(parts[0]), utf8At(pool, shortOf(parts[1])), utf8At(pool, shortOf(parts[2]))});
  }
  return result;
}

TEST_F(Hierarchies, ChainsDeeperThanTheBoundAreRefusedWithAMessageInTheLog) {
  const struct {
    std::function<void()> build;
    std::string message;
  } cases[] = {
      {[] { walk<DelegatorBuilder>(chainClass(0)); },
       "the super types of hier.C0 reach deeper than 1000 levels (hier.C1001 at level 1001): the hierarchy is not "
       "walked"},
      {[] { walk<DelegatorBuilder>(chainInterface(0)); },
       "the super types of hier.I0 reach deeper than 1000 levels (hier.I1001 at level 1001): the hierarchy is not "
       "walked"},
      {[] { walk<InterfaceImplBuilder>(chainInterface(0)); },
       "the super types of hier.I0 reach deeper than 1000 levels (hier.I1001 at level 1001): the hierarchy is not "
       "walked"},
  };
  for (const auto& c : cases) EXPECT_EQ(refusalOf(c.build), c.message);

  // The file writers log it and write nothing.
  kavrin_test::TempDir out("classgen-hierarchies-out");
  ProxyGenerator delegated("hier.C0");
  EXPECT_FALSE(delegated.genDelegator(out.path() + "/", false));
  ProxyGenerator implemented("hier.I0");
  EXPECT_FALSE(implemented.genInterfaceImpl(out.path() + "/", false));
  EXPECT_EQ(kavrin_test::readFile(out.file("KAVRIN.LOG")), "DELEGATOR FAILED: hier.C0: " + cases[0].message +
                                                               "\nIMPLEMENTATION FAILED: hier.I0: " + cases[2].message +
                                                               "\n");
  EXPECT_EQ(kavrin_test::readFile(out.file("hier_C0JNIDelegator.h")), "");
}

TEST_F(Hierarchies, ProxiesOfDeepChainsAreRefusedPastTheBound) {
  // The proxy's walk of super classes: refused past the bound, logged; whole up to it.
  kavrin_test::TempDir out("classgen-hierarchies-proxies");
  ProxyGenerator tooDeep("hier.C0");
  EXPECT_FALSE(tooDeep.genProxy(out.path() + "/", false));
  EXPECT_EQ(kavrin_test::readFile(out.file("KAVRIN.LOG")),
            "PROXY FAILED: hier.C0: the super types of hier.C0 reach deeper than 1000 levels (hier.C1001 at level "
            "1001): the hierarchy is not walked\n");
  ProxyGenerator atTheBound("hier.C" + std::to_string(kChain - 1000));
  EXPECT_TRUE(atTheBound.genProxy(out.path() + "/", false));
  EXPECT_EQ(atTheBound.m_strWalkProblem, "");
  // An interface's super-interfaces are not followed by proxies.
  ProxyGenerator chain("hier.I0");
  EXPECT_TRUE(chain.genProxy(out.path() + "/", false));
}

TEST_F(Hierarchies, ChainsAtTheBoundAreWalkedWhole) {
  // C5000's super classes: C5001 to C5999, then java.lang.Object 1000 levels up.
  const int first = kChain - 1000;
  const Walk delegator = walk<DelegatorBuilder>(chainClass(first));
  ASSERT_EQ(delegator.types.size(), 1001u);
  EXPECT_EQ(delegator.types.back(), "java/lang/Object");
  EXPECT_EQ(delegator.types[999], chainClass(kChain - 1));
  EXPECT_EQ(delegator.methods.size(), 4u);  // equals and toString with their twins

  const Walk impl = walk<InterfaceImplBuilder>(chainInterface(first));
  EXPECT_EQ(impl.types.size(), 1000u);
  EXPECT_EQ(impl.types.back(), chainInterface(kChain - 1));
}

TEST_F(Hierarchies, ALadderWalksEachInterfaceOnce) {
  // A0 and, from level 1 on, both interfaces of every level: each once (2^19 paths lead to the
  // last ones); java.lang.Object once more for the delegator, whose class extends it.
  std::vector<std::string> expected = {"a0", "shared"};
  for (int i = 1; i < kLadder; ++i) {
    expected.push_back("a" + std::to_string(i));
    expected.push_back("b" + std::to_string(i));
  }
  std::sort(expected.begin(), expected.end());
  auto forwarded = [](const Walk& w) {
    std::vector<std::string> names;
    for (const Method& m : w.methods) {
      if (m.flags == 0x0001 && m.name != "<init>" && m.name != "equals" && m.name != "toString")
        names.push_back(m.name);
    }
    return names;
  };
  auto once = [](std::vector<std::string> types) {
    std::sort(types.begin(), types.end());
    return std::adjacent_find(types.begin(), types.end()) == types.end();
  };

  const Walk impl = walk<InterfaceImplBuilder>(rung('A', 0));
  EXPECT_EQ(impl.types.size(), 2u * kLadder - 1);
  EXPECT_TRUE(once(impl.types));
  EXPECT_EQ(forwarded(impl), expected);

  const Walk delegator = walk<DelegatorBuilder>(rung('A', 0));
  EXPECT_EQ(delegator.types.size(), 2u * kLadder);
  EXPECT_TRUE(once(delegator.types));
  EXPECT_EQ(forwarded(delegator), expected);
}

}  // namespace
