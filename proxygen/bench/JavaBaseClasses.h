// What the proxy generator's benchmarks run over: the module set of JDK 17 and the public classes
// of its java.base module.
#pragma once

#include "ClassRepository.h"
#include "JavaTypes.h"
#include "ProxyGenerator.h"
#include "StringHelpers.h"
#include "TestSupport.h"

#include <antlr/AST.hpp>

#include <optional>
#include <string>
#include <vector>

namespace {

void resetToJdk() {
  kavrin_test::ScopedEnv noClassPath("CLASSPATH", std::nullopt);
  ClassRepository::resetModules(kavrin_test::kJdkHome);
}

// Dotted names of the classes of java.base whose access flags say public, among the entries
// ("java/lang/Object.class") that `wanted` keeps. The module set is empty afterwards.
template <typename Wanted>
std::vector<std::string> publicJavaBaseClasses(Wanted wanted) {
  std::vector<std::string> entries;
  listArchiveClasses(kavrin_test::kJavaBaseJmod, &entries);
  resetToJdk();
  std::vector<std::string> out;
  for (const std::string& entry : entries) {
    if (!wanted(entry)) continue;
    const std::string name = entry.substr(0, entry.size() - 6);
    ClassRepository loader;
    antlr::RefAST tree = loader.loadClass(name, "");
    // THIS_CLASS or THIS_INTERFACE is the fourth top-level node; ACCESS_FLAGS its first child.
    antlr::RefAST node = tree;
    for (int i = 0; node && i < 3; ++i) node = node->getNextSibling();
    if (!node || !node->getFirstChild()) continue;
    if (std::stoi(node->getFirstChild()->getText()) & kAccPublic) out.push_back(replaceChar(name, '/', '.'));
  }
  ClassRepository::resetModules("");
  return out;
}

}  // namespace
